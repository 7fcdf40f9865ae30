// The data checkup window: verdicts by rule, the run and its stop, a failing statement, a close
// during the run, the grouped list and its row colours, and the detail and repair of a check.
#include <gtest/gtest.h>

#include "db/Trace.h"

#include <QAction>
#include <QMovie>
#include <QPointer>
#include <QProgressBar>
#include <QTimer>

#include "support/CoreTest.h"
#include "support/Render.h"
#include "support/ScriptedPrompter.h"
#include "tools/uDataCheckupForm.h"
#include "ui/grid/Grid.h"

using namespace Qd::Core;
using Tools::Tdatacheckupform;

namespace {

// Two categories: 单据 holds a passing and a finding check (rule 0), 资料 a rule-1 check that
// passes, one that finds nothing to pass, one without a statement and one with an unknown rule.
const char* kCatalogue =
    "create table parts(id int, unit nvarchar(10))\n"
    "insert into parts values (1, N'件')\n"
    "insert into parts values (2, null)\n"
    "insert into parts values (3, null)\n"
    "insert into qd_sys_checkitems(category, title, isort, checksql, resultrule, severity, "
    "detailsql, fixsql) values (N'单据', N'缺少单位', 9, N'select count(*) from parts where unit "
    "is null', 0, 2, N'select id from parts where unit is null', N'update parts set unit = N''个'' "
    "where unit is null')\n"
    "insert into qd_sys_checkitems(category, title, isort, checksql, resultrule) values (N'单据', "
    "N'编号重复', 1, N'select count(*) from (select id from parts group by id having count(*) > "
    "1) t', 0)\n"
    "insert into qd_sys_checkitems(category, title, isort, checksql, resultrule) values (N'资料', "
    "N'有资料', 5, N'select count(*) from parts', 1)\n"
    "insert into qd_sys_checkitems(category, title, isort, checksql, resultrule) values (N'资料', "
    "N'有十条', 4, N'select count(*) - 3 from parts', 1)\n"
    "insert into qd_sys_checkitems(category, title, isort, checksql, resultrule) values (N'资料', "
    "N'待补充', 3, N'', 0)\n"
    "insert into qd_sys_checkitems(category, title, isort, checksql, resultrule) values (N'资料', "
    "N'规则九', 2, N'select 0', 9)\n";

class DataCheckupTest : public Qd::Test::LoggedInTest {
protected:
    void SetUp() override {
        LoggedInTest::SetUp();
        ASSERT_TRUE(db().execSQL(kCatalogue));
    }
    Qd::Test::ScriptedPrompter& prompter() { return prompts(); }
    void TearDown() override {
        form.reset();
        LoggedInTest::TearDown();
    }
    void open() {
        form = std::make_unique<Tdatacheckupform>(nullptr, QStringLiteral("CHK"));
        form->checkWaitMs = 0;
    }
    // The checks' titles with their results, in the list's order: "title:checkcount:status".
    QStringList results() {
        QStringList out;
        RecordSet& rs = form->cdsCheck;
        for (int pos = 0; pos < rs.recordCount(); ++pos) {
            const auto row = rs.rowAt(pos);
            out << rs.textAt(row, rs.fieldIndex("title")) + ":" +
                       rs.textAt(row, rs.fieldIndex("checkcount")) + ":" +
                       rs.textAt(row, rs.fieldIndex("status"));
        }
        return out;
    }
    bool locateTitle(const char* title) {
        return form->cdsCheck.locate(QStringList{"title"}, QVariantList{QString::fromUtf8(title)});
    }
    QString caption() const { return form->actdoStart->text(); }

    using RecordSet = Db::RecordSet;
    std::unique_ptr<Tdatacheckupform> form;
};

}  // namespace

// A whole run judges each count by its rule and shows the list grouped by category, group rows
// first, with passed rows green and the others maroon.
TEST_F(DataCheckupTest, RunJudgesEveryCheckByItsRule) {
    open();
    form->actdoStart->trigger();
    EXPECT_EQ(caption(), "开始检测");
    EXPECT_FALSE(form->bStart);
    EXPECT_TRUE(form->tvCheckItems->isEnabled());
    EXPECT_EQ(form->pbProgress->value(), 100);
    EXPECT_EQ(results(),
              QStringList({"缺少单位:检测2条数据:发现异常", "编号重复:检测0条数据:检测通过",
                           "有资料:检测3条数据:检测通过", "有十条:检测0条数据:发现异常",
                           "待补充::", "规则九:检测0条数据:规则无效"}));

    // Rows: a group row before each category, records in the list's order.
    Ui::GridView* view = form->tvCheckItems;
    EXPECT_EQ(view->groupField(), "category");
    ASSERT_EQ(view->model()->rowCount(), 8);
    EXPECT_TRUE(view->model()->index(0, 0).data(Ui::GroupRowRole).toBool());
    EXPECT_EQ(view->model()->index(0, 0).data().toString(), "单据 (2)");
    EXPECT_EQ(view->model()->index(3, 0).data().toString(), "资料 (4)");
    EXPECT_EQ(QList<int>({view->recordAt(0), view->recordAt(1), view->recordAt(3),
                          view->recordAt(4), view->recordAt(7)}),
              QList<int>({-1, 0, -1, 2, 5}));
    // Moving the view's cursor to a record row moves the record set to that record.
    view->setCurrentIndex(view->model()->index(5, 1));
    EXPECT_EQ(form->cdsCheck.recNo(), 3);

    EXPECT_EQ(view->rowStyle(0).color, QColor(128, 0, 0));
    EXPECT_EQ(view->rowStyle(1).color, QColor(0, 128, 0));
    EXPECT_EQ(view->rowStyle(5).color, QColor(128, 0, 0));  // 规则无效
    EXPECT_FALSE(view->rowStyle(4).color.isValid());        // no statement, no verdict
    form->resize(640, 560);
    Qd::Test::keepRender(*form, "data_checkup_after_run.png");
}

// 停止检测 ends the run after the check in hand; 开始检测 starts over from a reloaded list.
TEST_F(DataCheckupTest, StopKeepsResultsAndRestartClearsThem) {
    open();
    form->checkWaitMs = 30;
    int seen = 0;
    QTimer stopper;
    QObject::connect(&stopper, &QTimer::timeout, [&] {
        if (form->bStart && ++seen == 1) {
            EXPECT_EQ(caption(), "停止检测");
            EXPECT_FALSE(form->tvCheckItems->isEnabled());
            form->actdoStart->trigger();
        }
    });
    stopper.start(5);
    form->actdoStart->trigger();
    stopper.stop();
    EXPECT_EQ(caption(), "开始检测");
    EXPECT_TRUE(form->tvCheckItems->isEnabled());
    const QStringList stopped = results();
    EXPECT_EQ(stopped.first(), "缺少单位:检测2条数据:发现异常");
    EXPECT_EQ(stopped.last(), "规则九::") << "the run ended early";
    EXPECT_LT(form->pbProgress->value(), 100);

    ASSERT_TRUE(db().execSQL("update parts set unit = N'件'"));
    form->checkWaitMs = 0;
    form->actdoStart->trigger();
    EXPECT_EQ(results().first(), "缺少单位:检测0条数据:检测通过");
    EXPECT_EQ(results().last(), "规则九:检测0条数据:规则无效");
}

// A statement that fails, or counts with something not an integer, ends the loop at its check
// and leaves the window running until the button is clicked; the trace names the check.
TEST_F(DataCheckupTest, FailingCheckEndsTheLoopButStaysRunning) {
    for (const char* broken : {"select count(*) from no_such_table", "select N'很多'"}) {
        SCOPED_TRACE(broken);
        ASSERT_TRUE(
            db().execSQL("update qd_sys_checkitems set checksql = :s where title = N'有资料'",
                         {{"s", QString::fromUtf8(broken)}}));
        open();
        prompter().acceptAllMessages(true);
        form->actdoStart->trigger();
        EXPECT_EQ(caption(), "停止检测");
        EXPECT_TRUE(form->bStart);
        EXPECT_FALSE(form->tvCheckItems->isEnabled());
        const QStringList after = results();
        EXPECT_EQ(after[1], "编号重复:检测0条数据:检测通过");
        EXPECT_EQ(after[2], "有资料::");
        EXPECT_EQ(after[3], "有十条::") << "no check after the failing one";
        EXPECT_FALSE(prompter().messages().isEmpty());
        Db::flushTrace();
        const QString id = db().openData("select id from qd_sys_checkitems where title = N'有资料'")
                               .field(0)
                               .asString();
        EXPECT_TRUE(
            traced().contains(QString::fromUtf8("[ERROR] 数据检测项目 %1「有资料」").arg(id)))
            << traced().toStdString();
        form->actdoStart->trigger();
        EXPECT_EQ(caption(), "开始检测");
        EXPECT_TRUE(form->tvCheckItems->isEnabled());
        prompter().clear();
    }
}

// An empty catalogue: a start reloads the empty list and nothing else happens.
TEST_F(DataCheckupTest, EmptyCatalogueDoesNothing) {
    ASSERT_TRUE(db().execSQL("delete from qd_sys_checkitems"));
    open();
    form->actdoStart->trigger();
    EXPECT_EQ(caption(), "开始检测");
    EXPECT_FALSE(form->bStart);
    EXPECT_EQ(form->cdsCheck.recordCount(), 0);
    EXPECT_EQ(form->tvCheckItems->model()->rowCount(), 0);
}

// A close arriving inside the run ends the run; the window goes only after the loop unwound,
// and the global reference with it. A second open while it is open gives the same window.
TEST_F(DataCheckupTest, CloseDuringRunEndsTheRunBeforeTheWindowGoes) {
    QPointer<Tdatacheckupform> w = Tools::openDataCheckup(nullptr, QStringLiteral("CHK"));
    ASSERT_TRUE(w);
    EXPECT_EQ(Tools::openDataCheckup(nullptr, QStringLiteral("CHK")), w.data());
    w->checkWaitMs = 20;
    int closes = 0;
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, [&] {
        if (w && w->bStart && closes++ == 0) {
            w->close();
            EXPECT_TRUE(w) << "still there while the loop runs";
        }
    });
    closer.start(5);
    w->actdoStart->trigger();
    closer.stop();
    ASSERT_EQ(closes, 1);
    ASSERT_TRUE(w) << "deleted later, not inside the loop";
    EXPECT_FALSE(w->bStart);
    EXPECT_FALSE(w->isVisible());
    EXPECT_TRUE(w->cdsCheck.locate(QStringList{"title"}, QVariantList{QStringLiteral("规则九")}));
    EXPECT_TRUE(w->cdsCheck.field("status").isNull()) << "the run ended early";
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(w);
    EXPECT_EQ(Tools::datacheckupform, nullptr);
}

// The repair of a check: refused without the right, nothing done on Cancel, committed when the
// check then passes (logged, the row re-checked), rolled back whole when it still finds rows.
TEST_F(DataCheckupTest, RepairCommitsOnlyWhenTheCheckThenPasses) {
    open();
    form->actdoStart->trigger();
    ASSERT_TRUE(locateTitle("缺少单位"));
    EXPECT_TRUE(form->actDetail->isEnabled());
    ASSERT_TRUE(form->actFix->isEnabled());
    ASSERT_TRUE(locateTitle("编号重复"));
    EXPECT_FALSE(form->actDetail->isEnabled()) << "passed: nothing to show";
    ASSERT_TRUE(locateTitle("缺少单位"));
    auto unitsMissing = [&] { return scalar("select count(*) from parts where unit is null"); };

    prompter().answer(Ui::mrOk);  // the refusal
    form->actFix->trigger();
    EXPECT_EQ(prompter().last().text, "对不起，您没有该功能的操作权限，访问被拒绝。");
    EXPECT_EQ(unitsMissing(), "2");

    grant(11, "CHK_02");
    int shownRows = -1;
    prompter().answerDialog([&](QDialog& d) {
        shownRows = d.findChild<Ui::GridView*>()->recordSet()->recordCount();
        Qd::Test::keepRender(d, "data_checkup_fix_preview.png");
        return 0;  // Cancel the preview
    });
    form->actFix->trigger();
    EXPECT_EQ(shownRows, 2);
    EXPECT_EQ(unitsMissing(), "2");

    // A repair that leaves one row behind goes back whole.
    ASSERT_TRUE(db().execSQL(
        "update qd_sys_checkitems set fixsql = N'update parts set unit = N''个'' where id = 2' "
        "where title = N'缺少单位'"));
    form->actdoStart->trigger();
    ASSERT_TRUE(locateTitle("缺少单位"));
    prompter().answer(1);         // the preview's 修复
    prompter().answer(Ui::mrOk);  // the confirmation with the count
    prompter().answer(Ui::mrOk);  // the message that it was undone
    form->actFix->trigger();
    EXPECT_EQ(unitsMissing(), "2");
    EXPECT_TRUE(prompter().messages().last().contains("撤销"));
    EXPECT_EQ(scalar("select count(*) from qd_sys_operlog where action = N'数据修复'"), "0");

    ASSERT_TRUE(db().execSQL(
        "update qd_sys_checkitems set fixsql = N'update parts set unit = N''个'' where unit is "
        "null' where title = N'缺少单位'"));
    form->actdoStart->trigger();
    ASSERT_TRUE(locateTitle("缺少单位"));
    prompter().answer(1);
    prompter().answer(Ui::mrOk);
    form->actFix->trigger();
    EXPECT_EQ(unitsMissing(), "0");
    EXPECT_TRUE(prompter().messages().last().contains("2条"));
    EXPECT_EQ(scalar("select count(*) from qd_sys_operlog where action = N'数据修复'"), "1");
    EXPECT_EQ(results().first(), "缺少单位:检测0条数据:检测通过") << "the row is checked again";
    EXPECT_FALSE(form->actFix->isEnabled());
    EXPECT_EQ(scalar("select @@trancount"), "0");
}
