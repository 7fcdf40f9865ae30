// The conversation on a bill and the audit and print log viewers: order, names, who sees what,
// submitting, and the dialogs' closing.
#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QTextEdit>

#include "bill/BillDialogs.h"
#include "bill/ubilllogviewform.h"
#include "bill/uticketeditform.h"
#include "support/CoreTest.h"
#include "support/Rows.h"
#include "support/ScriptedPrompter.h"
#include "ui/grid/Grid.h"

using namespace Qd::Core;
using Bill::Tticketeditform;
using Qd::Test::S;

namespace {

// Employees 11 (王经理, the user) and 12 (李会计, soft-deleted); stores 5 and 6. The user works
// in store 5.
class BillTalk : public Qd::Test::CoreTest {
protected:
    void SetUp() override {
        CoreTest::SetUp();
        ASSERT_NO_FATAL_FAILURE(login(S("1001"), 5));
        db().exec(
            S("insert into qd_b_ygbmk(orgid, code, name, isdel) values(1, 'Y02', N'李会计', 1)\n"
              "update qd_b_ygbmk set id = 12 where code = 'Y02'"));
        prompts().acceptAllMessages(true);
    }

    void addTicket(const QString& biztype, int bizid, int czy, const QString& msg, int org = 1) {
        db().exec(
            S("insert into qd_sys_tickets(orgid, biztype, bizid, czy_id, lastupdate, msg) "
              "values(:o, :t, :b, :c, getdate(), :m)"),
            {{S("o"), org}, {S("t"), biztype}, {S("b"), bizid}, {S("c"), czy}, {S("m"), msg}});
    }

    // The rows a dialog lists: the named fields of each, joined by " | ".
    static QStringList rows(Db::RecordSet& rs, const QStringList& fields) {
        return Qd::Test::rowTexts(rs, fields, S(" | "));
    }
};

TEST_F(BillTalk, MessagesComeOldestFirstWithTheirWritersNames) {
    addTicket(S("订单"), 7, 12, S("先问一句"));
    Tticketeditform talk(nullptr, S("订单"), 7);
    talk.edtReply->setPlainText(S("第一行\n第二行"));
    talk.actsubmit->trigger();
    EXPECT_EQ(prompts().last().text, S("提示成功"));
    EXPECT_TRUE(talk.edtReply->toPlainText().isEmpty());  // reloaded, which clears the reply
    addTicket(S("订单"), 7, 99, S("没有这个员工"));
    talk._initData();
    EXPECT_EQ(rows(talk.cdsResult, {S("czy_name"), S("msg")}),
              (QStringList{S("李会计 | 先问一句"), S("王经理 | 第一行\r\n第二行"),
                           S(" | 没有这个员工")}));
    // 查看 holds each message again.
    talk.cdsResult.moveTo(1);
    EXPECT_EQ(talk.cdsResult.field(S("msg_view")).asString(), S("第一行\r\n第二行"));
    EXPECT_EQ(scalar(S("select czy_id, bizid, biztype, orgid from qd_sys_tickets where id = 2")),
              S("11 | 7 | 订单 | 1"));
}

TEST_F(BillTalk, EveryStoreSeesTheSameConversationButNotOthers) {
    addTicket(S("订单"), 7, 11, S("本单"));
    addTicket(S("订单"), 8, 11, S("别的单"));
    addTicket(S("收款单"), 7, 11, S("别的模块"));
    addTicket(S("订单"), 7, 11, S("别的机构"), 2);
    for (qint32 store : {5, 6}) {
        ASSERT_NO_FATAL_FAILURE(login(S("1001"), store));
        Tticketeditform talk(nullptr, S("订单"), 7);
        EXPECT_EQ(rows(talk.cdsResult, {S("msg")}), QStringList{S("本单")});
    }
}

// An empty reply is sent like any other; a long, quoted one comes back as typed, and when the
// submit fails it stays in the editor.
TEST_F(BillTalk, RepliesEmptyLongAndQuotedAreSentAsTypedAndKeptWhenTheSubmitFails) {
    Tticketeditform talk(nullptr, S("订单"), 7);
    talk.actsubmit->trigger();
    EXPECT_EQ(scalar(S("select count(*), max(msg) from qd_sys_tickets")), S("1 | "));

    const QString reply = S("引号 ' \" 和表情 😀\n") + QString(100000, QChar(0x5b57));
    talk.edtReply->setPlainText(reply);
    talk.actsubmit->trigger();
    talk.cdsResult.last();
    EXPECT_EQ(talk.cdsResult.field(S("msg")).asString(),
              QString(reply).replace(S("\n"), S("\r\n")));

    talk.edtReply->setPlainText(reply);
    db().exec(S("drop table qd_sys_tickets"));
    prompts().clear();
    talk.actsubmit->trigger();
    EXPECT_EQ(talk.edtReply->toPlainText(), reply);
    EXPECT_FALSE(prompts().messages().contains(S("提示成功")));
}

// ---- log viewers ----------------------------------------------------------------------------

class BillLogs : public BillTalk {
protected:
    void SetUp() override {
        BillTalk::SetUp();
        for (const char* table : {"qd_sys_billaudit_logs", "qd_sys_billpirnt_logs"})
            db().exec(
                S("insert into %1(orgid, modulecode, billno, ck_id, czy_id, createtime) values"
                  "(1, 'XMZZK', 'D1', 5, 12, '2026-11-02 10:00:00')\n"
                  "insert into %1(orgid, modulecode, billno, ck_id, czy_id, createtime) values"
                  "(1, 'XMZZK', 'D1', 9, 99, '2026-11-03 10:00:00')\n"
                  "insert into %1(orgid, modulecode, billno, ck_id, czy_id) values"
                  "(1, 'XMZZK', 'D2', 5, 11)\n"
                  "insert into %1(orgid, modulecode, billno, ck_id, czy_id) values"
                  "(2, 'XMZZK', 'D1', 5, 11)")
                    .arg(S(table)));
        db().exec(
            S("update qd_sys_billaudit_logs set auditstate = N'审核', auditmsg = N'第一行' + "
              "char(13) + char(10) + N'第二行'"));
    }
};

TEST_F(BillLogs, RowsOfTheBillWithNamesEvenOfThoseWhoLeftOrNeverWere) {
    Bill::Tbillauditlogviewform audit(nullptr, S("XMZZK"), S("D1"));
    EXPECT_EQ(
        rows(audit.cdsResult, {S("createtime"), S("czy_name"), S("ck_name"), S("auditstate")}),
        (QStringList{S("2026-11-02 10:00:00 | 李会计 | 五号店 | 审核"),
                     S("2026-11-03 10:00:00 |  |  | 审核")}));
    Bill::Tbillprintlogviewform print(nullptr, S("XMZZK"), S("D1"));
    EXPECT_EQ(print.cdsResult.recordCount(), 2);
}

TEST_F(BillLogs, ABillWithoutRowsSaysSoAndEscapeAnswersOk) {
    Bill::Tbillprintlogviewform print(nullptr, S("XMZZK"), S("D9"));
    EXPECT_EQ(print.cdsResult.recordCount(), 0);
    EXPECT_EQ(print.cxgResultView->emptyText(), S("<未找到相关记录>"));
    prompts().answerDialog([](QDialog& d) {
        QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
        QApplication::sendEvent(&d, &escape);
        return d.result();
    });
    EXPECT_EQ(Bill::showAuditLog(nullptr, S("XMZZK"), S("D9")), QDialog::Accepted);
    prompts().answerDialog([](QDialog& d) {
        static_cast<Bill::TBillLogViewForm&>(d).actok->trigger();
        return d.result();
    });
    EXPECT_EQ(Bill::showPrintLog(nullptr, S("XMZZK"), S("D1")), QDialog::Accepted);
}

}  // namespace
