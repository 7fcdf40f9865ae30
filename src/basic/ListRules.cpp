#include "basic/ListRules.h"

#include <QJsonArray>

#include "base/EAbort.h"
#include "core/GridHelpers.h"
#include "core/Messages.h"
#include "core/RightsGate.h"
#include "db/DataServices.h"
#include "sys/SystemServices.h"

namespace Qd::Core::Base {

namespace {

QString F(const char* name) {
    return QString::fromLatin1(name);
}

}  // namespace

void gateRowChange(Db::RecordSet& cds, const QString& moduleCode) {
    if (cds.state() == Db::DataSetState::Insert) {
        rightsGate(moduleCode, F("_01"));
        return;
    }
    rightsGate(moduleCode, F("_02"));
    if (const int isdel = cds.fieldIndex(F("isdel")); isdel >= 0) {
        const Db::Field flag = cds.field(isdel);
        if (flag.asBoolean() != flag.oldValue().toBool())
            rightsGate(moduleCode, F("_03"));
    }
}

void checkFiledRecord(Db::RecordSet& cds, const std::function<void(int field)>& focus) {
    struct Required {
        const char* field;
        const char* message;
        bool text;  // missing when its text is empty, else when it is 0
    };
    const Required required[] = {
        {"code", "请输入编号", true},
        {"name", "请输入名称", true},
        {"p1", "请设置一级分类", false},
        {"ck_id", "请设置所属门店", false},
    };
    for (const Required& r : required) {
        const int field = cds.fieldIndex(F(r.field));
        if (field < 0)
            continue;
        const bool missing =
            r.text ? cds.field(field).asString().isEmpty() : cds.field(field).asInteger() == 0;
        if (!missing)
            continue;
        showError(QString::fromUtf8(r.message));
        if (focus)
            focus(field);
        Sys::Abort();
    }
}

void applyValidationRules(const QJsonObject& pluginfo, const QString& moduleCode,
                          Db::RecordSet& cds, Db::RecordSet& scratch, Ui::MsgKind kind) {
    const Sys::TAuth* auth = Sys::sysAuth();
    auto refuse = [kind](const QString& text) {
        if (kind == Ui::MsgKind::Error)
            showError(text);
        else
            showHint(text);
        Sys::Abort();
    };
    for (const QJsonValue& v : pluginfo.value(F("validation")).toArray()) {
        const QJsonObject rule = v.toObject();
        const QString type = rule.value(F("datatype")).toString();
        if (type != F("required") && type != F("unique"))
            continue;
        // A rule on a field the record does not have names it, rather than passing unseen.
        const QString ele = rule.value(F("ele")).toString();
        if (!cds.hasField(ele))
            refuse(QStringLiteral("模块“%1”的验证规则字段“%2”不在列表中。").arg(moduleCode, ele));
        const QString text = cds.field(ele).asString();
        bool failed = text.isEmpty();
        if (type == F("unique")) {
            const qint64 id = cds.hasField(F("id")) ? cds.field(F("id")).asLargeInt() : 0;
            Db::DataPacket found = Db::dataServices().queryData(Format(
                rule.value(F("checksql")).toString(), {auth ? auth->orgId : QString(), text, id}));
            // A statement that cannot run has been reported; the post is refused, not passed.
            if (!found.active())
                Sys::Abort();
            scratch.setData(std::move(found));
            failed = !scratch.isEmpty();
        }
        if (failed)
            refuse(rule.value(F("errormsg")).toString());
    }
}

void fillHelpCode(Db::RecordSet& cds, int field) {
    if (field < 0 || cds.fieldDef(field).name.compare(F("name"), Qt::CaseInsensitive) != 0)
        return;
    const QString name = cds.field(field).asString();
    if (!name.isEmpty() && cds.hasField(F("helpcode")))
        cds.field(F("helpcode")).setValue(Sys::HZtoPY(name));
}

}  // namespace Qd::Core::Base
