// The order tracking views: the flow of an order in every branch (a missing order and steps of
// the same minute included), the elapsed time on a pinned clock, the row styles; the customer's
// history of an item with whole days at both ends of the range, and its closing.
#include <gtest/gtest.h>

#include <QLabel>
#include <QTest>

#include "support/CoreTest.h"
#include "support/Render.h"
#include "support/Rows.h"
#include "support/ScriptedPrompter.h"
#include "tools/uxmzzkflowviewform.h"
#include "tools/uxmzzkhistoryviewbykhform.h"
#include "ui/editors/Editors.h"
#include "ui/grid/Grid.h"

using namespace Qd::Core;
using Qd::Test::S;
using Tools::Txmzzkflowviewform;
using Tools::Txmzzkhistoryviewbykhform;

namespace {

// Flow nodes 设计 (1), 印刷 (2), 后道 (3); workers 李师傅 (12) and 张师傅 (13); orders taken by
// 王经理 (11), the user.
class OrderFlow : public Qd::Test::LoggedInTest {
protected:
    void SetUp() override {
        LoggedInTest::SetUp();
        db().exec(
            S("insert into qd_b_flow(orgid, code, name) values(1, 'F1', N'设计')\n"
              "insert into qd_b_flow(orgid, code, name) values(1, 'F2', N'印刷')\n"
              "insert into qd_b_flow(orgid, code, name) values(1, 'F3', N'后道')\n"
              "insert into qd_b_ygbmk(orgid, code, name) values(1, 'Y12', N'李师傅')\n"
              "insert into qd_b_ygbmk(orgid, code, name) values(1, 'Y13', N'张师傅')\n"
              "update qd_b_ygbmk set id = 12 where code = 'Y12'\n"
              "update qd_b_ygbmk set id = 13 where code = 'Y13'"));
    }

    struct Work {
        int flow;
        const char* bt;
        const char* et;  // null: not ended
        int czy;
        bool done;
    };

    // A new order of 2026-03-02 09:00 with its work records, in the order given.
    qint64 addOrder(int status, int flow, std::initializer_list<Work> works) {
        db().exec(S("insert into qd_x_xmzzk(orgid, ck_id, billno, billdate, status, kdr_id, "
                    "flow_id) values(1, 5, :b, '2026-03-02 09:00:00', :s, 11, :f)"),
                  {{S("b"), S("X%1").arg(++m_orders)}, {S("s"), status}, {S("f"), flow}});
        const qint64 id = scalar(S("select max(id) from qd_x_xmzzk")).toLongLong();
        for (const Work& w : works)
            db().exec(S("insert into qd_sys_doworks(orgid, xmzzk_id, flow_id, bt, et, czy_id, "
                        "isdone) values(1, :o, :f, :bt, :et, :c, :d)"),
                      {{S("o"), id},
                       {S("f"), w.flow},
                       {S("bt"), S(w.bt)},
                       {S("et"), w.et ? QVariant(S(w.et)) : QVariant()},
                       {S("c"), w.czy},
                       {S("d"), w.done}});
        return id;
    }

    int m_orders = 0;

    static QStringList steps(const Txmzzkflowviewform& form) {
        return Qd::Test::rowTexts(form.cdsflowlist,
                                  {S("flow_name"), S("dt"), S("czy_name"), S("status")}, S(" | "));
    }
};

TEST_F(OrderFlow, EachBranchListsItsStepsInTheOrderTheyHappened) {
    struct Case {
        const char* name;
        int status;
        int flow;
        std::initializer_list<Work> works;
        QStringList expected;
    };
    const QString taken = S("下单 | 2026-03-02 09:00:00 | 王经理 | 下单完成");
    const Case cases[] = {
        {"a new order waits at its current node",
         0,
         1,
         {},
         {taken, S("设计 | 2026-03-02 09:00:00 |  | 待处理")}},
        // The next node waits from the minute the last one ended, after that end.
        {"in production, latest record done",
         1,
         2,
         {{1, "2026-03-02 10:00:00", "2026-03-02 12:00:00", 12, true}},
         {taken, S("设计 | 2026-03-02 10:00:00 | 李师傅 | 处理中"),
          S("设计 | 2026-03-02 12:00:00 | 李师傅 | 完成"),
          S("印刷 | 2026-03-02 12:00:00 |  | 待处理")}},
        {"in production, latest record running",
         1,
         2,
         {{1, "2026-03-02 10:00:00", "2026-03-02 12:00:00", 12, true},
          {2, "2026-03-02 13:00:00", nullptr, 13, false}},
         {taken, S("设计 | 2026-03-02 10:00:00 | 李师傅 | 处理中"),
          S("设计 | 2026-03-02 12:00:00 | 李师傅 | 完成"),
          S("印刷 | 2026-03-02 13:00:00 | 张师傅 | 处理中")}},
        // Equal times keep the batch's order: starts before ends, the finish last of all.
        {"finished in the minute its last record ended",
         2,
         3,
         {{1, "2026-03-02 10:00:00", "2026-03-02 12:00:00", 12, true},
          {2, "2026-03-02 12:00:00", "2026-03-02 15:30:00", 13, true}},
         {taken, S("设计 | 2026-03-02 10:00:00 | 李师傅 | 处理中"),
          S("印刷 | 2026-03-02 12:00:00 | 张师傅 | 处理中"),
          S("设计 | 2026-03-02 12:00:00 | 李师傅 | 完成"),
          S("印刷 | 2026-03-02 15:30:00 | 张师傅 | 完成"),
          S("完工 | 2026-03-02 15:30:00 | 张师傅 | 订单完工")}},
        {"finished without work records",
         2,
         3,
         {},
         {taken, S("完工 | 2026-03-02 09:00:00 | 王经理 | 订单完工")}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Txmzzkflowviewform form(nullptr, addOrder(c.status, c.flow, c.works));
        EXPECT_EQ(steps(form), c.expected);
    }
    // An order that does not exist still shows where it would have started, and nothing waits.
    Txmzzkflowviewform missing(nullptr, 9999);
    EXPECT_EQ(steps(missing), QStringList{S("下单 |  |  | 下单完成")});
}

TEST_F(OrderFlow, TheElapsedTimeEndsAtTheFinishOrAtNow) {
    Txmzzkflowviewform finished(
        nullptr, addOrder(2, 3,
                          {{1, "2026-03-02 10:00:00", "2026-03-02 12:00:00", 12, true},
                           {2, "2026-03-02 12:00:00", "2026-03-04 15:30:00", 13, true}}));
    finished.m_now = [] { return QDateTime(QDate(2027, 1, 1), QTime(8, 0)); };
    finished.openflowdata();
    EXPECT_EQ(finished.lblDiff->text(), S("2天6小时30分"));
    EXPECT_FALSE(finished.pnlDiff->isHidden());
    EXPECT_TRUE(finished.lblAdvice->isHidden());

    Txmzzkflowviewform running(
        nullptr, addOrder(1, 2, {{1, "2026-03-02 10:00:00", "2026-03-02 12:00:00", 12, true}}));
    running.m_now = [] { return QDateTime(QDate(2026, 3, 2), QTime(10, 45, 59)); };
    running.openflowdata();
    EXPECT_EQ(running.lblDiff->text(), S("1小时45分"));
    EXPECT_FALSE(running.lblAdvice->isHidden());

    // Without a start (a missing order) the whole sentence goes.
    Txmzzkflowviewform missing(nullptr, 9999);
    EXPECT_TRUE(missing.pnlDiff->isHidden());
    Qd::Test::keepRender(running, S("flow_running.png"));

    // The latest step is bold, the finish bold and green.
    const int last = running.cdsflowlist.recordCount() - 1;
    for (int row = 0; row <= last; ++row) {
        const Ui::RowStyle style = running.cxgflowlistView->rowStyle(row);
        EXPECT_EQ(style.bold, row == last) << row;
        EXPECT_FALSE(style.color.isValid()) << row;
    }
    const Ui::RowStyle end =
        finished.cxgflowlistView->rowStyle(finished.cdsflowlist.recordCount() - 1);
    EXPECT_TRUE(end.bold);
    EXPECT_EQ(end.color, QColor(0, 128, 0));
    EXPECT_FALSE(finished.cxgflowlistView->rowStyle(1).bold);
}

TEST_F(OrderFlow, EscapeAnswersAsOkAndTheWindowOpensThroughThePrompter) {
    Txmzzkflowviewform form(nullptr, addOrder(0, 1, {}));
    form.show();
    QTest::keyClick(&form, Qt::Key_Escape);
    EXPECT_EQ(form.result(), QDialog::Accepted);

    prompts().answer(QDialog::Accepted);
    Tools::showflowview(9999);
    EXPECT_EQ(prompts().last().title, S("生产流程跟踪"));
}

// Customer 7 buys item 3 (名片); the range is March 2026.
class CustomerHistory : public Qd::Test::LoggedInTest {
protected:
    void SetUp() override {
        LoggedInTest::SetUp();
        db().exec(
            S("insert into qd_b_xmbmk(orgid, code, name, itemno, baseunit) "
              "values(1, 'XM1', N'名片', N'90x54mm', N'盒')\n"
              "insert into qd_b_xmbmk(orgid, code, name) values(1, 'XM2', N'海报')\n"
              "update qd_b_xmbmk set id = id + 2"));
    }

    void addLine(const QString& billno, const QString& billdate, int kh = 7, int xm = 3,
                 bool voided = false, int org = 1) {
        db().exec(S("insert into qd_x_xmzzk(orgid, billno, billdate, kh_id, zfflag) "
                    "values(:o, :b, :d, :k, :z)\n"
                    "insert into qd_x_xmzzk_mx(orgid, billno, xm_id, gcxmmc, sl, dj, je) "
                    "values(:o, :b, :x, N'宣传册', 2, 35, 70)"),
                  {{S("o"), org},
                   {S("b"), billno},
                   {S("d"), billdate},
                   {S("k"), kh},
                   {S("x"), xm},
                   {S("z"), voided}});
    }

    static void setRange(Txmzzkhistoryviewbykhform& form, const QVariant& bt, const QVariant& et) {
        Ui::setEditorValue(form.edtbt, bt);
        Ui::setEditorValue(form.edtet, et);
        form.actsearch->trigger();
    }

    static QStringList billnos(const Txmzzkhistoryviewbykhform& form) {
        return Qd::Test::rowTexts(form.cdsResult, {S("billno")});
    }
};

TEST_F(CustomerHistory, WholeDaysAtBothEndsAndOnlyValidOrdersOfTheCustomersItem) {
    addLine(S("IN-LAST"), S("2026-03-31 23:59:00"));
    addLine(S("IN-FIRST"), S("2026-03-01 00:00:00"));
    addLine(S("OUT-AFTER"), S("2026-04-01 00:00:00"));
    addLine(S("OUT-BEFORE"), S("2026-02-28 23:59:00"));
    addLine(S("OUT-VOID"), S("2026-03-10 10:00:00"), 7, 3, true);
    addLine(S("OUT-KH"), S("2026-03-10 10:00:00"), 8);
    addLine(S("OUT-XM"), S("2026-03-10 10:00:00"), 7, 4);
    addLine(S("OUT-ORG"), S("2026-03-10 10:00:00"), 7, 3, false, 2);
    Txmzzkhistoryviewbykhform form(nullptr, 7, 3);
    setRange(form, QDate(2026, 3, 1), QDate(2026, 3, 31));
    EXPECT_EQ(billnos(form), (QStringList{S("IN-FIRST"), S("IN-LAST")}));
    EXPECT_EQ(Qd::Test::rowTexts(form.cdsResult, {S("xm_code"), S("xm_name"), S("xm_itemno"),
                                                  S("xm_baseunit"), S("gcxmmc"), S("dj")})
                  .first(),
              S("XM1|名片|90x54mm|盒|宣传册|35.0000"));
    Qd::Test::keepRender(form, S("history.png"));
}

TEST_F(CustomerHistory, EmptyEditorsMeanTheLastYearUpToNow) {
    db().exec(
        S("insert into qd_x_xmzzk(orgid, billno, billdate, kh_id) values(1, 'RECENT', "
          "dateadd(day, -10, getdate()), 7)\n"
          "insert into qd_x_xmzzk(orgid, billno, billdate, kh_id) values(1, 'OLD', "
          "dateadd(day, -400, getdate()), 7)\n"
          "insert into qd_x_xmzzk(orgid, billno, billdate, kh_id) values(1, 'AHEAD', "
          "dateadd(day, 3, getdate()), 7)\n"
          "insert into qd_x_xmzzk_mx(orgid, billno, xm_id) select 1, billno, 3 from "
          "qd_x_xmzzk"));
    Txmzzkhistoryviewbykhform form(nullptr, 7, 3);
    EXPECT_EQ(billnos(form), QStringList{S("RECENT")});  // the year up to today, as opened
    setRange(form, QVariant(), QVariant());
    EXPECT_EQ(billnos(form), QStringList{S("RECENT")});
    setRange(form, QVariant(), QDate::currentDate().addDays(5));
    EXPECT_EQ(billnos(form), (QStringList{S("RECENT"), S("AHEAD")}));
}

TEST_F(CustomerHistory, ChoosingNeedsARowAndTheLayoutIsKeptUnderTheWindowsName) {
    addLine(S("D1"), QDate::currentDate().toString(Qt::ISODate));
    {
        Txmzzkhistoryviewbykhform empty(nullptr, 8, 3);
        empty.actok->trigger();
        EXPECT_EQ(empty.result(), QDialog::Rejected);
    }
    {
        Txmzzkhistoryviewbykhform form(nullptr, 7, 3);
        form.cxgResultView->columnByField(S("beizhu"))->visible = false;
        form.cxgResultView->applyColumns();
        form.actok->trigger();
        EXPECT_EQ(form.result(), QDialog::Accepted);
        EXPECT_EQ(form.cdsResult.field(S("billno")).asString(), S("D1"));
    }
    EXPECT_EQ(scalar(S("select count(*) from qd_sys_columnconfig "
                       "where billcode = 'Txmzzkhistoryviewbykhform'")),
              S("1"));
    Txmzzkhistoryviewbykhform again(nullptr, 7, 3);
    EXPECT_FALSE(again.cxgResultView->columnByField(S("beizhu"))->visible);
    again.actcancel->trigger();
    EXPECT_EQ(again.result(), QDialog::Rejected);
}

}  // namespace
