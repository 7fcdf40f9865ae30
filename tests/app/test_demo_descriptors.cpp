// Every descriptor of the demo holds to the framework's JSON Schemas, as a module author's would
// be checked (qdsql --check-descriptor): the plug-in rows by the kind their window class reads,
// the column lists, the extended properties and the reports.
#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "DemoSession.h"
#include "support/Rows.h"
#include "sys/DescriptorCheck.h"
#include "uMainForm.h"

using namespace Qd::Core;

using Qd::Test::S;

namespace {

class DemoDescriptors : public Qd::Test::DemoSession {
protected:
    // The problems of one descriptor text, each prefixed with where it was found.
    QStringList problems(const QString& where, const QString& text, const QString& kind) {
        if (text.trimmed().isEmpty())
            return {};
        QJsonParseError error;
        const QJsonDocument doc = QJsonDocument::fromJson(text.toUtf8(), &error);
        if (error.error != QJsonParseError::NoError)
            return {where + S(": 不是有效的 JSON")};
        if (kind.isEmpty())
            return {where + S(": 窗口类没有登记描述种类")};
        const Sys::DescriptorCheck check = Sys::checkDescriptor(
            doc.isArray() ? QJsonValue(doc.array()) : QJsonValue(doc.object()), kind);
        QStringList out;
        if (!check.error.isEmpty())
            out << where + S(": ") + check.error;
        for (const QString& p : check.problems)
            out << where + S(" ") + p;
        return out;
    }
};

TEST_F(DemoDescriptors, EveryDescriptorHoldsToItsSchema) {
    QStringList broken;
    Db::RecordSet modules = demo->query(
        "select code, formclass, plugininfo, columnsjson, expandinfo from qd_sys_plugins "
        "where isdel = 0 order by code");
    ASSERT_GE(modules.recordCount(), 15);
    for (modules.first(); !modules.eof(); modules.next()) {
        const QString code = modules.field("code").asString();
        broken << problems(code + S(".plugininfo"), modules.field("plugininfo").asString(),
                           Sys::descriptorKindOf(modules.field("formclass").asString()))
               << problems(code + S(".columnsjson"), modules.field("columnsjson").asString(),
                           S("columns"))
               << problems(code + S(".expandinfo"), modules.field("expandinfo").asString(),
                           S("form:Expand"));
    }
    Db::RecordSet reports = demo->query("select code, pluginfo from qd_sys_rptmain order by code");
    ASSERT_GE(reports.recordCount(), 5);
    for (reports.first(); !reports.eof(); reports.next())
        broken << problems(reports.field("code").asString() + S(".pluginfo"),
                           reports.field("pluginfo").asString(), S("report"));
    EXPECT_TRUE(broken.isEmpty()) << broken.join('\n').toStdString();
}

TEST_F(DemoDescriptors, AMisspeltKeyOrAWidthInPixelsIsNamedWithItsPath) {
    const QString columns = demo->query("select columnsjson from qd_sys_plugins where code = 'KH'")
                                .field("columnsjson")
                                .asString();
    QString broken = columns;
    broken.replace(S("\"visiable\": \"false\""), S("\"visible\": \"false\""));
    broken.replace(S("\"width\": \"70\""), S("\"width\": \"70px\""));
    const QStringList found = problems(S("KH"), broken, S("columns"));
    // Either way a width may be written, and why this one is neither.
    EXPECT_TRUE(std::any_of(found.begin(), found.end(), [](const QString& p) {
        return p.startsWith(S("KH $[0].width: 类型应为 integer")) && p.contains(S("；或 应匹配"));
    })) << found.join('\n').toStdString();
    EXPECT_TRUE(std::any_of(found.begin(), found.end(), [](const QString& p) {
        return p.endsWith(S(".visible: 不允许的键 \"visible\""));
    })) << found.join('\n').toStdString();
}

}  // namespace
