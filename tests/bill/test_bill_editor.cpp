// The bill window: which actions a state allows, adding, editing, deleting, saving and
// cancelling around a module's hooks, the version protocol, the rights, and audit / un-audit.
#include <gtest/gtest.h>

#include <QApplication>
#include <QPlainTextEdit>
#include <QRegularExpression>

#include "bill/TestBill.h"
#include "bill/uBillMergeForm.h"
#include "bill/uCustBillRuleObj.h"
#include "core/RightsGate.h"
#include "db/DataServices.h"
#include "support/Render.h"

using namespace Qd::Core;
using Bill::TAuditingDataForm;
using Bill::TBaseBillEditRibbonForm;
using Qd::Test::S;
using Sys::TOperateState;
using Ui::mrCancel;
using Ui::mrNo;
using Ui::mrOk;

using namespace Qd::Test::Bills;

namespace {

const char* const kActions[] = {"actlist",   "dxbarBtnmxlist", "actAudit_logs", "actprev",
                                "actnext",   "actAdd",         "actEdit",       "actDel",
                                "actRef",    "actSave",        "actCancel",     "actAudit",
                                "actAttach", "actPrint",       "actbilloption", "acttickets"};

class BillEditor : public BillTest {
protected:
    static QStringList enabled(TBaseBillEditRibbonForm& form) {
        QStringList out;
        for (const char* name : kActions) {
            auto* a = form.findChild<QAction*>(S(name));
            if (a && a->isEnabled())
                out << S(name);
        }
        return out;
    }
};

TEST_F(BillEditor, EachStateEnablesItsActions) {
    const QStringList browseNoBill = {"actlist", "dxbarBtnmxlist", "actAdd", "actRef",
                                      "actbilloption"};
    const QStringList editing = {"actlist", "dxbarBtnmxlist", "actSave", "actCancel",
                                 "actbilloption"};
    QStringList all;
    for (const char* name : kActions)
        all << S(name);
    QStringList browseBill = all;
    browseBill.removeAll("actSave");
    browseBill.removeAll("actCancel");

    auto form = openOn(item, S("B002"));
    EXPECT_EQ(enabled(*form), browseBill);  // idle after opening: the middle of the chain
    Qd::Test::keepRender(*form, S("bill-toolbar.png"));
    form->actprev->trigger();
    QStringList first = browseBill;
    first.removeAll("actprev");
    EXPECT_EQ(enabled(*form), first);
    form->actEdit->trigger();
    ASSERT_EQ(form->FDataOperateState, TOperateState::edit);
    EXPECT_EQ(enabled(*form), editing);
    prompts().answer(mrCancel);  // 是否确定放弃本次操作？ -> stays
    form->actCancel->trigger();
    EXPECT_EQ(form->FDataOperateState, TOperateState::edit);
    prompts().answer(mrOk);
    form->actCancel->trigger();
    EXPECT_EQ(form->FDataOperateState, TOperateState::browse);
    form->actAdd->trigger();
    EXPECT_EQ(enabled(*form), editing);

    ASSERT_TRUE(db().execSQL(S("delete from t_bill_mx; delete from t_bill")));
    auto empty = openOn(item, QString());
    EXPECT_EQ(enabled(*empty), browseNoBill);
    EXPECT_EQ(empty->readOnly, QList<bool>{true});
}

TEST_F(BillEditor, AddStartsANewBillWithDefaultsAndATemporaryNumber) {
    auto form = openOn(item, S("B001"));
    form->actAdd->trigger();
    ASSERT_EQ(form->FDataOperateState, TOperateState::add);
    Db::RecordSet& m = form->cdsMaster;
    EXPECT_EQ(m.recordCount(), 2);  // the shown bill's row stays until the reload
    EXPECT_EQ(m.field(S("status")).asInteger(), 0);
    EXPECT_LE(qAbs(m.field(S("billdate")).asDateTime().secsTo(QDateTime::currentDateTime())), 5);
    EXPECT_EQ(m.field(S("kdr_id")).asInteger(), 11);
    EXPECT_EQ(m.field(S("kdr_name")).asString(), S("王经理"));
    EXPECT_EQ(m.field(S("ck_id")).asInteger(), 5);
    EXPECT_EQ(m.field(S("ck_name")).asString(), S("五号店"));
    EXPECT_FALSE(form->tempBillno.isEmpty());
    EXPECT_EQ(m.field(S("billno")).asString(), form->tempBillno);
    EXPECT_TRUE(form->cdsDetail.isEmpty());
    EXPECT_EQ(form->readOnly.last(), false);

    // A new line joins the new bill; a copied line (with its uid) keeps every value.
    form->cdsDetail.append();
    EXPECT_EQ(form->cdsDetail.field(S("billno")).asString(), form->tempBillno);
    EXPECT_EQ(form->cdsDetail.field(S("id")).asInteger(), 0);
    const QString uid = form->cdsDetail.field(S("uid")).asString();
    EXPECT_FALSE(uid.isEmpty());
    form->cdsDetail.post();
    form->cdsDetail.append();
    EXPECT_NE(form->cdsDetail.field(S("uid")).asString(), uid);
    form->cdsDetail.cancel();

    // Cancel goes back to the bill shown before.
    prompts().answer(mrOk);
    form->actCancel->trigger();
    EXPECT_EQ(form->opened.last(), S("B001"));
    EXPECT_EQ(form->billno, S("B001"));

    // Without maker and store columns the defaults leave them out; from an empty window too.
    ASSERT_TRUE(db().execSQL(S("delete from t_bill_mx; delete from t_bill")));
    auto bare = openOn(item, QString(), [](TTestBill& f) { f.makerAndStore = false; });
    bare->actAdd->trigger();
    ASSERT_EQ(bare->FDataOperateState, TOperateState::add);
    EXPECT_FALSE(bare->cdsMaster.hasField(S("kdr_id")));
    EXPECT_EQ(bare->cdsMaster.recordCount(), 1);
    prompts().answer(mrOk);
    bare->actCancel->trigger();
    EXPECT_EQ(bare->opened.last(), QString());
    EXPECT_FALSE(bare->billShown());
}

TEST_F(BillEditor, EditIsRefusedOnAnAuditedOrMovedBillAndLinesGetTheRealNumber) {
    auto form = openOn(item, S("B002"));  // status 1 = the threshold: audited
    form->actEdit->trigger();
    EXPECT_EQ(
        prompts().messages().last(),
        S("对不起，您不能修改已审核单据。\r\n\r\n提示：您可以点击【草稿】按钮后再进行修改。."));
    EXPECT_EQ(form->FDataOperateState, TOperateState::browse);

    form->actprev->trigger();  // B001, version 1
    bumpVersion("B001");
    const int loads = form->opened.size();
    form->actEdit->trigger();
    EXPECT_EQ(prompts().messages().last(), S("当前数据状态已改变，已为您刷新数据，请重试."));
    EXPECT_EQ(form->FDataOperateState, TOperateState::browse);
    EXPECT_EQ(form->opened.size(), loads + 1);
    EXPECT_EQ(form->version, 2);

    form->actEdit->trigger();
    ASSERT_EQ(form->FDataOperateState, TOperateState::edit);
    EXPECT_EQ(form->version, 2);  // the loaded version, for the checks
    EXPECT_EQ(form->cdsMaster.field(S("version")).asInteger(), 3);  // what the save writes
    EXPECT_TRUE(form->beforeeditdata.contains(S("\"version\":2")));
    form->cdsDetail.append();
    EXPECT_EQ(form->cdsDetail.field(S("billno")).asString(), S("B001"));
}

TEST_F(BillEditor, DeleteAsksChecksAndLoadsTheNextBill) {
    auto form = openOn(item, S("B001"));
    prompts().answer(mrCancel);
    form->actDel->trigger();
    EXPECT_EQ(stored("select count(*) from t_bill"), "3");

    bumpVersion("B001");
    prompts().answer(mrOk);
    form->actDel->trigger();
    EXPECT_EQ(prompts().messages().last(), S("当前数据状态已改变，已为您刷新数据，请重试."));
    EXPECT_EQ(stored("select count(*) from t_bill"), "3");

    form->failDeletes = 1;  // fails silently, and still moves on
    prompts().clear();
    prompts().answer(mrOk);
    form->actDel->trigger();
    EXPECT_EQ(prompts().messages(), QStringList{S("是否确定要删除该单据?")});
    EXPECT_EQ(form->billno, S("B002"));

    form->actnext->trigger();  // B003, the last
    prompts().answer(mrOk);
    form->actDel->trigger();
    EXPECT_EQ(prompts().messages().last(), S("删除成功"));
    EXPECT_EQ(form->opened.last(), QString());
    EXPECT_EQ(stored("select action, billno from qd_sys_operlog"), S("删除 | B003"));

    form->actprev->trigger();
    EXPECT_EQ(form->billno, S("B001"));
    form->actnext->trigger();  // B002: audited
    form->actDel->trigger();
    EXPECT_EQ(prompts().messages().last(),
              S("对不起，您不能删除已审核单据。\r\n\r\n提示：您可以点击【草稿】按钮后再删除。."));
    EXPECT_EQ(stored("select count(*) from t_bill"), "2");
}

TEST_F(BillEditor, AFailedSaveKeepsTheInputAndTheNextSaveStoresItOnce) {
    auto form = openOn(item, S("B003"));
    form->actAdd->trigger();
    form->cdsMaster.field(S("beizhu")).setValue(S("O'Brien\r\n第二行"));
    form->cdsDetail.append();
    form->cdsDetail.field(S("sl")).setValue(1);
    form->cdsDetail.post();
    form->cdsDetail.append();
    form->cdsDetail.field(S("sl")).setValue(2);  // still being typed: the save posts it
    form->failInserts = 1;
    prompts().clear();
    form->actSave->trigger();
    EXPECT_EQ(prompts().messages(), QStringList{S("单据保存错误，请重试。")});
    EXPECT_EQ(form->FDataOperateState, TOperateState::add);
    EXPECT_EQ(form->cdsDetail.recordCount(), 2);
    EXPECT_EQ(form->cdsDetail.changeCount(), 2);

    form->failingStatement = S("select cast('abc' as int)");  // the database refuses the batch
    form->actSave->trigger();
    EXPECT_EQ(form->FDataOperateState, TOperateState::add);
    EXPECT_EQ(stored("select count(*) from t_bill"), "3");
    EXPECT_EQ(stored("select count(*) from t_bill_mx"), "3");

    form->actSave->trigger();
    ASSERT_EQ(form->FDataOperateState, TOperateState::browse);
    EXPECT_EQ(form->billno, S("B004"));
    EXPECT_EQ(stored("select count(*) from t_bill where billno = 'B004'"), "1");
    EXPECT_EQ(stored("select count(*), sum(sl) from t_bill_mx where billno = 'B004'"),
              "2 | 3.0000");
    EXPECT_EQ(stored("select count(*) from t_bill_mx where billno not like 'B00_'"), "0");
    EXPECT_EQ(stored("select beizhu from t_bill where billno = 'B004'"), S("O'Brien\r\n第二行"));
    // The money editor left blank is saved as 0.
    EXPECT_EQ(stored("select count(*) from t_bill where billno = 'B004' and je = 0"), "1");
    EXPECT_EQ(stored("select count(*) from qd_sys_operlog"), "0");  // an insert logs nothing
}

TEST_F(BillEditor, SavingAnEditChecksTheVersionAndLogsBothImages) {
    auto form = openOn(item, S("B001"));
    form->actEdit->trigger();
    form->cdsMaster.field(S("beizhu")).setValue(S("mine"));
    form->cdsDetail.first();
    form->cdsDetail.deleteRecord();
    // Another user audited it meanwhile: nothing to merge with, the save is refused.
    ASSERT_TRUE(db().execSQL(S("update t_bill set version = 2, status = 1 where billno = 'B001'")));
    const int loads = form->opened.size();
    form->actSave->trigger();
    EXPECT_EQ(prompts().messages().last(), S("当前数据状态已改变，请刷新数据后请重试."));
    EXPECT_EQ(prompts().last().kind, int(Ui::MsgKind::Error));
    EXPECT_EQ(form->FDataOperateState, TOperateState::edit);
    EXPECT_EQ(form->opened.size(), loads);
    EXPECT_EQ(form->cdsMaster.field(S("beizhu")).asString(), S("mine"));
    EXPECT_EQ(form->cdsDetail.recordCount(), 1);

    ASSERT_TRUE(db().execSQL(S("update t_bill set version = 1, status = 0 where billno = 'B001'")));
    form->failUpdates = 1;
    form->actSave->trigger();
    EXPECT_EQ(prompts().messages().last(), S("单据保存错误，请重试。"));
    EXPECT_EQ(stored("select count(*) from qd_sys_operlog"), "0");
    form->actSave->trigger();
    ASSERT_EQ(form->FDataOperateState, TOperateState::browse);
    EXPECT_EQ(stored("select beizhu, version from t_bill where billno = 'B001'"), "mine | 2");
    EXPECT_EQ(stored("select count(*) from t_bill_mx where billno = 'B001'"), "1");
    EXPECT_EQ(form->version, 2);
    Db::DataPacket log =
        db().query(S("select action, billno, data from qd_sys_operlog order by id"));
    ASSERT_EQ(log.recordCount(), 2);
    EXPECT_EQ(log.field(S("action")).asString(), S("修改前"));
    EXPECT_TRUE(log.field(S("data")).asString().contains(S("\"version\":1")));
    log.next();
    EXPECT_EQ(log.field(S("action")).asString(), S("修改后"));
    EXPECT_TRUE(log.field(S("data")).asString().contains(S("\"beizhu\":\"mine\"")));
}

TEST_F(BillEditor, AuditAfterSaveFollowsTheStoresSwitch) {
    for (const char* flag : {"01", "00"}) {
        SCOPED_TRACE(flag);
        auto form = openOn(item, S("B003"));
        form->CustBillRule->Fflag = S(flag);
        form->actEdit->trigger();
        form->cdsMaster.field(S("beizhu")).setValue(S("x"));
        int dialogs = 0;
        if (flag[1] == '1')
            prompts().answerDialog([&](QDialog&) { return ++dialogs, int(QDialog::Accepted); });
        form->actSave->trigger();
        EXPECT_EQ(dialogs, flag[1] == '1' ? 1 : 0);
        EXPECT_EQ(stored("select status from t_bill where billno = 'B003'"),
                  flag[1] == '1' ? "1" : "0");
        ASSERT_TRUE(db().execSQL(S("update t_bill set status = 0 where billno = 'B003'")));
    }
}

TEST_F(BillEditor, TheAdministratorAndUsersWithoutTheRightChangeNothing) {
    auto form = openOn(item, S("B001"));
    Sys::sysAuth()->isAdmin = true;
    for (QAction* a : {form->actAdd, form->actEdit, form->actDel, form->actAudit, form->actPrint}) {
        prompts().clear();
        a->trigger();
        EXPECT_EQ(prompts().messages(), QStringList{S(Base::kAdministratorText)})
            << a->text().toStdString();
        EXPECT_EQ(form->FDataOperateState, TOperateState::browse);
    }
    Sys::sysAuth()->isAdmin = false;
    ASSERT_TRUE(
        db().execSQL(S("delete from qd_sys_userrights where rightcode in ('TB_01', 'TB_05')")));
    prompts().clear();
    form->actAdd->trigger();
    EXPECT_EQ(prompts().messages(), QStringList{S(Base::kRefusalText)});
    EXPECT_EQ(form->FDataOperateState, TOperateState::browse);

    // "_04" without "_05": the dialog, then the refusal, and the audited bill stays so.
    form->actnext->trigger();
    int dialogs = 0;
    prompts().clear();
    prompts().answerDialog([&](QDialog&) { return ++dialogs, int(QDialog::Accepted); });
    form->actAudit->trigger();
    EXPECT_EQ(dialogs, 1);
    EXPECT_EQ(prompts().messages(), QStringList{S(Base::kRefusalText)});
    EXPECT_EQ(stored("select status, version from t_bill where billno = 'B002'"), "1 | 3");
}

TEST_F(BillEditor, AuditAndUnauditWriteTheMasterAndTheLogInOneScript) {
    auto form = openOn(item, S("B001"));
    prompts().answerDialog([](QDialog& d) {
        Qd::Test::keepRender(d, S("bill-audit.png"));
        return int(QDialog::Accepted);
    });
    form->actAudit->trigger();
    EXPECT_EQ(stored("select status, version, shy_id, auditdate is not null from t_bill where "
                     "billno = 'B001'"),
              "1 | 2 | 11 | 1");
    EXPECT_EQ(stored("select orgid, modulecode, billtype, billno, ck_id, czy_id, auditmsg, "
                     "auditstate from qd_sys_billaudit_logs"),
              S("1 | TB | 测试单 | B001 | 5 | 11 | 这是审核的说明 | 审核"));
    EXPECT_EQ(stored("select action from qd_sys_operlog"), S("审核"));
    EXPECT_EQ(form->auditImageIndex(), 1);
    EXPECT_EQ(form->version, 2);
    // The script as sent: the guarded update and the hook inside one try block.
    const QRegularExpression script(
        QRegularExpression::escape(
            S("begin tran\r\nbegin try\r\nupdate t_bill set status=1, version=2, auditdate=")) +
        S("'[-0-9: .]+'") +
        QRegularExpression::escape(
            S(", shy_id=11 where id=1 and version=1\r\nif @@rowcount=0 raiserror(N'当前数据状态已"
              "改变，请刷新数据后请重试.', 16, 1)\r\n\r\n\r\nend try\r\nbegin catch\r\nif "
              "(@@trancount>0) rollback tran\r\nraiserror('数据错误异常.', 16, 1)\r\nend "
              "catch\r\nif (@@trancount>0) commit tran")));
    EXPECT_TRUE(script.match(traced()).hasMatch());

    // Un-audit from a status above the threshold, the note emptied.
    ASSERT_TRUE(db().execSQL(S("update t_bill set status = 2 where billno = 'B001'")));
    form->actRef->trigger();
    const QString empty;
    confirmAudit(&empty);
    form->actAudit->trigger();
    EXPECT_EQ(stored("select status, version, shy_id from t_bill where billno = 'B001'"),
              "0 | 3 | 0");
    EXPECT_EQ(stored("select auditmsg, auditstate from qd_sys_billaudit_logs order by id desc"),
              S(" | 草稿"));
    EXPECT_TRUE(traced().contains(S("[草稿] update t_bill set status=0, version=3")));

    // A cancelled dialog changes nothing.
    prompts().answerDialog([](QDialog&) { return int(QDialog::Rejected); });
    form->actAudit->trigger();
    EXPECT_EQ(stored("select count(*) from qd_sys_billaudit_logs"), "2");
}

TEST_F(BillEditor, AFailedAuditScriptChangesNothing) {
    auto form = openOn(item, S("B001"));
    form->auditHook = S("select cast('abc' as int)");
    confirmAudit();
    const int loads = form->opened.size();
    form->actAudit->trigger();
    EXPECT_EQ(stored("select status, version from t_bill where billno = 'B001'"), "0 | 1");
    EXPECT_EQ(form->opened.size(), loads);  // no reload: the record set shows the posted values

    // Another client's save between the check and the write fails the guarded update.
    form->auditHook.clear();
    form->actRef->trigger();
    confirmAudit(nullptr, [this] { bumpVersion("B001"); });
    form->actAudit->trigger();
    EXPECT_EQ(stored("select status, version from t_bill where billno = 'B001'"), "0 | 2");
    EXPECT_EQ(stored("select count(*) from qd_sys_billaudit_logs"), "0");
    EXPECT_EQ(stored("select count(*) from qd_sys_operlog"), "0");
}

TEST_F(BillEditor, ADescriptorWithoutTheMasterTableOrAQueryWithoutAColumnIsNamed) {
    item.setTexts(S(R"({"title": "测试单", "data": {"master": {"ignorefields": "x"}}})"), QString(),
                  QString());
    prompts().clear();
    auto form = openOn(item, S("B001"));
    const QString problem =
        S("模块“测试单”（TB）的描述缺少“data/master/tablename”，不能读写单据。");
    ASSERT_FALSE(prompts().messages().isEmpty());
    EXPECT_EQ(prompts().messages().first(), problem);
    EXPECT_TRUE(form->MasterIgnorefields.isEmpty());
    prompts().clear();
    form->actAdd->trigger();
    EXPECT_EQ(prompts().messages(), QStringList{problem});
    EXPECT_EQ(form->FDataOperateState, TOperateState::browse);

    item.setTexts(S(kDescriptor), QString(), QString());
    prompts().clear();
    openOn(item, S("B001"), [](TTestBill& f) { f.withNeighbours = false; });
    EXPECT_EQ(prompts().messages(),
              QStringList{S("模块“测试单”（TB）的主表查询缺少列“prevBillNo”。")});
}

TEST_F(BillEditor, ClosingWhileAddingAsksFirst) {
    auto form = openOn(item, S("B001"));
    form->show();
    form->actAdd->trigger();
    prompts().answer(Ui::mrCancel);  // stay
    EXPECT_FALSE(form->close());
    EXPECT_EQ(form->FDataOperateState, TOperateState::add);
    prompts().answer(mrNo);  // drop the input
    EXPECT_TRUE(form->close());
    EXPECT_EQ(stored("select count(*) from t_bill"), "3");
    form.release();  // closing deletes the window
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

// 保存 after another user saved the draft: the Part's refusal, then the two edits merged and
// saved at once; where both changed one value the user chooses, or cancels and keeps editing.
TEST_F(BillEditor, ASaveThatMeetsAnotherUsersSaveMergesWithIt) {
    auto form = openOn(item, S("B001"));
    form->actEdit->trigger();
    form->cdsMaster.field(S("beizhu")).setValue(S("mine"));
    form->cdsDetail.first();  // u1
    form->cdsDetail.edit();
    form->cdsDetail.field(S("sl")).setValue(7);
    form->cdsDetail.append();
    form->cdsDetail.field(S("sl")).setValue(1);
    form->cdsDetail.post();
    const QString myLine = form->cdsDetail.field(S("uid")).asString();
    // Theirs: the total, another line's quantity, a line of their own.
    ASSERT_TRUE(db().execSQL(
        S("update t_bill set version = 2, je = 99 where billno = 'B001';"
          "update t_bill_mx set sl = 5 where uid = 'u2';"
          "insert into t_bill_mx(orgid, billno, uid, sl, je) values(1, 'B001', 'u9', 9, 0)")));
    prompts().clear();
    form->actSave->trigger();
    EXPECT_EQ(prompts().messages(), QStringList{S("当前数据状态已改变，请刷新数据后请重试.")});
    ASSERT_EQ(form->FDataOperateState, TOperateState::browse);
    EXPECT_EQ(stored("select beizhu, je, version from t_bill where billno = 'B001'"),
              "mine | 99.00 | 3");
    const Db::RecordSet lines = db().query(
        S("select uid, cast(sl as int) from t_bill_mx where billno = 'B001' order by id"));
    EXPECT_EQ(Qd::Test::rowTexts(lines, {}, S("=")),
              QStringList({S("u1=7"), S("u2=5"), S("u9=9"), myLine + S("=1")}));
    // The image before is the stored bill this save was merged onto.
    EXPECT_TRUE(stored("select data from qd_sys_operlog where action = N'修改前'")
                    .contains(S("\"version\":2")));

    // Both change the note: the user is asked; 取消 keeps the edit as it was.
    form->actEdit->trigger();
    form->cdsMaster.field(S("beizhu")).setValue(S("mine again"));
    ASSERT_TRUE(
        db().execSQL(S("update t_bill set version = 4, beizhu = N'theirs' where billno = 'B001'")));
    prompts().answerDialog([](QDialog&) { return int(QDialog::Rejected); });
    form->actSave->trigger();
    EXPECT_EQ(form->FDataOperateState, TOperateState::edit);
    EXPECT_EQ(form->cdsMaster.field(S("beizhu")).asString(), S("mine again"));
    EXPECT_EQ(stored("select beizhu from t_bill where billno = 'B001'"), S("theirs"));

    // 全部用对方的 then 确定: theirs stays, and the save goes through.
    prompts().answerDialog([](QDialog& d) {
        dynamic_cast<Bill::TBillMergeForm&>(d).chooseAll(Bill::MergeSide::Theirs);
        dynamic_cast<Bill::TBillMergeForm&>(d).actok->trigger();
        return d.result();
    });
    form->actSave->trigger();
    ASSERT_EQ(form->FDataOperateState, TOperateState::browse);
    EXPECT_EQ(stored("select beizhu, version from t_bill where billno = 'B001'"), S("theirs | 5"));
}

}  // namespace
