// Composing a text message (counts, placeholders, gateway parameters) and the two SMS dialogs
// on a real database with the demo gateway.
#include <QComboBox>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>

#include "support/CoreTest.h"
#include "support/Render.h"
#include "support/SmsTestServer.h"
#include "sys/uPlugItem.h"
#include "tools/SmsCompose.h"
#include "tools/uAlidayusmsSendForm.h"
#include "ui/editors/Editors.h"

namespace {

using namespace Qd::Core;
using namespace Qd::Core::Tools;

const QString kPrefix = QStringLiteral("【业务提醒】");

TEST(SmsCompose, CountsUtf16UnitsOfTheComposedText) {
    struct Case {
        QString text;
        int length;
        int count;
    };
    const QString han = QStringLiteral("字");
    const QString emoji = QString::fromUtf8("\xF0\x9F\x98\x80");  // two UTF-16 units
    const Case cases[] = {
        {QString(), 0, 1},
        {han.repeated(70), 70, 1},
        {han.repeated(71), 71, 2},
        {han.repeated(135), 135, 3},
        {han.repeated(68) + emoji, 70, 1},
        {han.repeated(69) + emoji, 71, 2},
        {han.repeated(70) + QLatin1Char('\n'), 71, 2},
        {QStringLiteral("a").repeated(201), 201, 3},
        {QStringLiteral("a").repeated(202), 202, 4},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.length);
        EXPECT_EQ(calccount(int(c.text.size())), c.count);
        EXPECT_EQ(smsCounterText(c.text),
                  QStringLiteral("当前短信共%1字，预计将发送%2条短信").arg(c.length).arg(c.count));
    }
    // The prefix counts: 64 characters of text make a preview of exactly 70.
    const TplParams none;
    EXPECT_EQ(calccount(int(generateSMS(han.repeated(64), none, {}).size())), 1);
    EXPECT_EQ(calccount(int(generateSMS(han.repeated(65), none, {}).size())), 2);
}

TEST(SmsCompose, PlaceholdersAreReplacedAsLiteralTextOnce) {
    const TplParams params{
        {"name", "name", "客户"}, {"billno", "no", "单号"}, {"store", "store", "门店"}};
    struct Case {
        const char* what;
        QString tpltxt;
        SmsValues values;
        QString expected;
    };
    const Case cases[] = {
        {"twice",
         "${name}您好，${name}的订单${no}",
         {{"name", "张三"}, {"billno", "X1"}},
         "张三您好，张三的订单X1"},
        {"key missing: kept", "${name}在${store}取件", {{"name", "张三"}}, "张三在${store}取件"},
        {"empty value replaces", "${name}在${store}取件", {{"name", ""}, {"store", ""}}, "在取件"},
        {"quotes and backslash",
         "${name}",
         {{"name", "O'Brien \"A\" C:\\d"}},
         "O'Brien \"A\" C:\\d"},
        {"dollar digits", "${name}", {{"name", "$1 $0 \\1"}}, "$1 $0 \\1"},
        {"placeholder in a value",
         "${name}|${no}",
         {{"name", "${no}"}, {"billno", "X1"}},
         "${no}|X1"},
        {"unknown placeholder", "${x}${name", {{"name", "张三"}}, "${x}${name"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(generateSMS(c.tpltxt, params, c.values), kPrefix + c.expected);
    }
}

TEST(SmsCompose, GatewayParametersLeaveOutOrSendEmpty) {
    const TplParams params{{"name", "name", ""}, {"billno", "no", ""}, {"store", "store", ""}};
    const SmsValues values{{"name", "O'Brien \"A\" \\ 张"}, {"store", ""}};
    const QJsonObject single =
        QJsonDocument::fromJson(generateSMSParams(params, values, MissingValues::LeaveOut).toUtf8())
            .object();
    EXPECT_EQ(single.keys(), (QStringList{"name", "store"}));
    EXPECT_EQ(single.value("name").toString(), values["name"]);
    const QJsonObject bulk =
        QJsonDocument::fromJson(
            generateSMSParams(params, values, MissingValues::SendEmpty).toUtf8())
            .object();
    EXPECT_EQ(bulk.keys(), (QStringList{"name", "no", "store"}));
    EXPECT_EQ(bulk.value("no").toString(""), "");
    EXPECT_EQ(generateSMSParams({}, values, MissingValues::SendEmpty), "{}");
}

TEST(SmsCompose, ParameterListFaultsAreNamed) {
    const std::pair<QString, QString> faults[] = {
        {"", QStringLiteral("参数列表不是JSON数组")},
        {R"({"key":"a","param":"a"})", QStringLiteral("参数列表不是JSON数组")},
        {R"([{"key":"a","param":"a"},{"param":"b"}])", QStringLiteral("第2个参数缺少key或param")},
        {R"(["a"])", QStringLiteral("第1个参数缺少key或param")},
        {R"([{"key":"a","param":"a"},{"key":"a","param":"b"}])", QStringLiteral("参数key“a”重复")},
    };
    for (const auto& [json, fault] : faults) {
        QString why;
        EXPECT_FALSE(parseTplParams(json, &why)) << json.toStdString();
        EXPECT_EQ(why, fault);
    }
    const auto ok = parseTplParams(R"([{"key":"k","param":"p","desc":"说明"}])", nullptr);
    ASSERT_TRUE(ok);
    EXPECT_EQ(ok->front().desc, QStringLiteral("说明"));
    EXPECT_TRUE(parseTplParams("[]", nullptr)->empty());
}

// The dialogs on the demo gateway, with the company settings and templates of two groups.
class SmsDialogTest : public Qd::Test::LoggedInTest {
protected:
    void SetUp() override {
        LoggedInTest::SetUp();
        db().exec(QStringLiteral(
            "insert into qd_sys_config(orgid, cfgkey, cfgvalue) values(1, 'company', N'京华印务')\n"
            "insert into qd_sys_config(orgid, cfgkey, cfgvalue) values(1, 'tel', '010-65001001')\n"
            "insert into qd_sys_config(orgid, cfgkey, cfgvalue) values(1, 'addr', N'建国路88号')\n"
            "insert into qd_sys_config(orgid, cfgkey, cfgvalue) values(1, 'sms.gateway', 'log')"));
        sys->config().clear();
    }

    void addTemplate(int group, const QString& name, const QString& code, const QString& text,
                     const QString& params) {
        ASSERT_TRUE(db().execSQL(
            QStringLiteral("insert into qd_sys_alidayu(orgid, tpltype, tplname, tplid, tpltxt, "
                           "tplparams) values(1, :g, :n, :c, :t, :p)"),
            {{"g", group}, {"n", name}, {"c", code}, {"t", text}, {"p", params}}));
    }

    // Each outbox row as "mobiles template params".
    QStringList outbox() {
        QStringList out;
        Db::DataPacket rows = db().query(
            QStringLiteral("select mobiles, tplcode, params from qd_sys_smsoutbox order by id"));
        for (rows.first(); !rows.eof(); rows.next())
            out << rows.field(0).asString() + QLatin1Char(' ') + rows.field(1).asString() +
                       QLatin1Char(' ') + rows.field(2).asString();
        return out;
    }
};

const QString kNoticeParams = QStringLiteral(
    R"json([{"key":"name","param":"name","desc":"客户"},{"key":"company_name","param":"company","desc":"公司"},{"key":"billno","param":"no","desc":"单号"}])json");

TEST_F(SmsDialogTest, SingleDialogComposesFromTheCallersValuesAndSends) {
    addTemplate(1, QStringLiteral("完工通知"), "SMS_A",
                QStringLiteral("${name}您好，${company}提醒"), kNoticeParams);
    addTemplate(1, QStringLiteral("完工通知"), "SMS_B",
                QStringLiteral("${name}：订单${no}已完工。${company}"), kNoticeParams);
    addTemplate(2, QStringLiteral("其他组"), "SMS_C", "x", "[]");
    SmsValues values{{"name", QStringLiteral("张三")}, {"company_name", QStringLiteral("别家")}};

    TAlidayusmsSendForm form(nullptr, 1, QStringLiteral("13912345678"), &values);
    ASSERT_EQ(form.cbbtplList->count(), 2);
    EXPECT_EQ(form.ftplid, "SMS_A");
    // The configured company wins over the caller's value and is added to the caller's map.
    EXPECT_EQ(values.value("company_name"), QStringLiteral("京华印务"));
    EXPECT_EQ(values.value("company_tel"), "010-65001001");

    form.cbbtplList->setCurrentIndex(1);  // the same name: the entry's id tells them apart
    EXPECT_EQ(form.ftplid, "SMS_B");
    const QString preview = kPrefix + QStringLiteral("张三：订单${no}已完工。京华印务");
    EXPECT_EQ(form.mmoPreview->toPlainText(), preview);
    EXPECT_EQ(form.lblCount->text(), smsCounterText(preview));
    Qd::Test::keepRender(form, "sms-single.png");

    prompts().answer(Ui::mrOk);
    form.actOK->trigger();
    EXPECT_EQ(prompts().last().text, QStringLiteral("发送成功"));
    EXPECT_EQ(form.result(), QDialog::Accepted);
    // Only the parameters with a value go to the gateway.
    EXPECT_EQ(outbox(), QStringList{QStringLiteral(
                            R"json(13912345678 SMS_B {"company":"京华印务","name":"张三"})json")});
}

TEST_F(SmsDialogTest, SingleDialogFailuresKeepItOpen) {
    addTemplate(1, QStringLiteral("坏模板"), "SMS_X", "${a}", R"json([{"key":"a"}])json");
    addTemplate(1, QStringLiteral("好模板"), "SMS_Y", "${a}",
                R"json([{"key":"a","param":"a"}])json");
    prompts().answer(Ui::mrOk);  // the first template is chosen on opening: its fault is named
    SmsValues values{{"a", "1"}};
    TAlidayusmsSendForm form(nullptr, 1, QStringLiteral("13912345678"), &values);
    EXPECT_EQ(prompts().last().text,
              QStringLiteral("短信模板“坏模板”的参数有误：第1个参数缺少key或param"));
    prompts().answer(Ui::mrOk);
    form.actOK->trigger();
    EXPECT_EQ(prompts().messages().size(), 2);
    EXPECT_TRUE(outbox().isEmpty());

    // The gateway cannot be reached: "发送失败", the dialog stays, the message waits.
    form.cbbtplList->setCurrentIndex(1);
    db().execSQL(
        QStringLiteral("update qd_sys_config set cfgvalue = 'http' where cfgkey = "
                       "'sms.gateway'"));
    db().exec(QStringLiteral("insert into qd_sys_config(orgid, cfgkey, cfgvalue) values(1, "
                             "'sms.url', '") +
              Qd::Test::SmsTestServer::refusingUrl() +
              QStringLiteral("')\ninsert into qd_sys_config(orgid, cfgkey, cfgvalue) values(1, "
                             "'sms.appkey', 'k')\ninsert into qd_sys_config(orgid, cfgkey, "
                             "cfgvalue) values(1, 'sms.secret', 's')"));
    sys->config().clear();
    prompts().answer(Ui::mrOk);
    form.actOK->trigger();
    EXPECT_EQ(prompts().last().text, QStringLiteral("发送失败"));
    EXPECT_EQ(prompts().last().kind, int(Ui::MsgKind::Error));
    EXPECT_NE(form.result(), QDialog::Accepted);
    EXPECT_EQ(scalar("select status from qd_sys_smsoutbox"), "0");

    // A group without templates: 发送 says so and sends nothing.
    TAlidayusmsSendForm empty(nullptr, 7, QStringLiteral("13912345678"), nullptr);
    EXPECT_EQ(empty.cbbtplList->count(), 0);
    EXPECT_TRUE(empty.mmoPreview->toPlainText().isEmpty());
    prompts().answer(Ui::mrOk);
    empty.actOK->trigger();
    EXPECT_EQ(prompts().last().text, QStringLiteral("没有可用的短信模板，短信未发送。"));
    EXPECT_EQ(scalar("select count(*) from qd_sys_smsoutbox"), "1");
}

TEST_F(SmsDialogTest, BulkDialogBuildsRowsPerTemplateAndSendsEveryParameter) {
    TAlidayusmsSendMutilForm none(nullptr);
    EXPECT_FALSE(none.actOK->isEnabled());  // no template of group 99

    addTemplate(
        99, QStringLiteral("店庆"), "SMS_99A",
        QStringLiteral("${company}店庆：${content}，电话${tel}"),
        R"json([{"key":"company_name","param":"company","desc":"公司"},{"key":"content","param":"content","desc":"内容"},{"key":"company_tel","param":"tel","desc":"电话"}])json");
    addTemplate(99, QStringLiteral("通知"), "SMS_99B", QStringLiteral("${text}"),
                R"json([{"key":"text","param":"text","desc":"正文"}])json");
    TAlidayusmsSendMutilForm form(nullptr);
    EXPECT_TRUE(form.actOK->isEnabled());
    EXPECT_EQ(form.vgParams->names(), (QStringList{"p0", "p1", "p2"}));
    EXPECT_EQ(form.vgParams->value("p0").toString(), QStringLiteral("京华印务"));
    EXPECT_EQ(form.vgParams->value("p1").toString(), "");
    EXPECT_EQ(form.vgParams->value("p2").toString(), "010-65001001");
    // The raw text until a parameter is edited.
    EXPECT_EQ(form.mmoPreview->toPlainText(),
              QStringLiteral("${company}店庆：${content}，电话${tel}"));

    auto* content = qobject_cast<QLineEdit*>(form.vgParams->editor("p1"));
    ASSERT_NE(content, nullptr);
    content->setText(QStringLiteral("全场八折"));
    emit content->editingFinished();
    const QString composed = kPrefix + QStringLiteral("京华印务店庆：全场八折，电话010-65001001");
    EXPECT_EQ(form.mmoPreview->toPlainText(), composed);
    EXPECT_EQ(form.lblCount->text(), smsCounterText(composed));
    Qd::Test::keepRender(form, "sms-bulk.png");

    // Another template: its own rows and raw text.
    form.cbbtplList->setCurrentIndex(1);
    EXPECT_EQ(form.vgParams->names(), QStringList{"p0"});
    EXPECT_EQ(form.mmoPreview->toPlainText(), "${text}");
    EXPECT_EQ(form.ftplid, "SMS_99B");

    // Empty rows are sent as "".
    form.edtMobile->setText(QStringLiteral("13912345678,13887654321"));
    prompts().answer(Ui::mrOk);
    form.actOK->trigger();
    EXPECT_EQ(form.result(), QDialog::Accepted);
    EXPECT_EQ(
        outbox(),
        QStringList{QStringLiteral(R"json(13912345678,13887654321 SMS_99B {"text":""})json")});
}

TEST_F(SmsDialogTest, TheModuleNamingTheBulkDialogOpensIt) {
    QObject client;
    registerSmsTools(&client);
    db().exec(QStringLiteral(
        "insert into qd_sys_plugins(orgid, code, name, title, groupname, formclass, plugininfo, "
        "isort) values(1, 'SMS', N'短信发送', N'短信发送', N'系统工具', "
        "'TAlidayusmsSendMutilForm', '{}', 40)"));
    sys->plugs().load();
    QString opened;
    prompts().answerDialog([&](QDialog& d) {
        opened = d.objectName();
        return int(QDialog::Rejected);
    });
    QString result;
    Sys::TPlugItem* item = Sys::plugsPool().plugbyName(QStringLiteral("短信发送"), false);
    ASSERT_NE(item, nullptr);
    item->open(nullptr, QString(), result);
    EXPECT_EQ(opened, "TAlidayusmsSendMutilForm");
}

}  // namespace
