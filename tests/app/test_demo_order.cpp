// The demo order bill (订单): opening by number, the store's chain, numbering, saving new and
// edited orders in one batch, a failed save kept whole, deleting a draft, the audit's work
// records, the line amount, and what the window looks like. QD_RENDER_DIR keeps the pictures.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <QCoreApplication>
#include <QDate>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QScopeGuard>
#include <QTabWidget>
#include <QToolButton>
#include <memory>

#include "DemoOrderBill.h"
#include "DemoSession.h"
#include "report/ubasicsamplefilterform.h"
#include "report/uquickfilterform.h"
#include "support/Render.h"
#include "support/Rows.h"
#include "sys/uPlugItem.h"
#include "tools/ufileExplorerform.h"
#include "tools/uxmzzkflowviewform.h"
#include "uMainForm.h"
#include "ui/editors/Editors.h"
#include "ui/grid/Grid.h"

using namespace Qd::Core;
using Qd::App::TOrderBillForm;

using Qd::Test::S;

namespace {

// The session is 王建国 (employee 2) in the head store MD01 (id 1, tag "Z", rule prefix "Z",
// date rule, four-digit serial). Its audit-after-save switch is off unless a test wants it.
class DemoOrder : public Qd::Test::DemoSession {
protected:
    void SetUp() override {
        DemoSession::SetUp();
        demo->exec("update qd_sys_billnorule_user set flag = '0' where billcode = 'XMZZK'");
    }
    void TearDown() override {
        form.reset();
        DemoSession::TearDown();
    }

    TOrderBillForm& open(const QString& no) {
        openBill(form, S("订单"), no, QSize(1100, 620));
        return *form;
    }

    QString text(const char* sql) { return demo->query(S(sql)).field(0).asString(); }
    int number(const QString& sql) { return demo->query(sql).field(0).asInteger(); }
    int number(const char* sql) { return number(S(sql)); }

    // Adds a line of the order being edited.
    void addLine(const char* name, const QVariant& sl, const QVariant& dj,
                 const QVariant& zk = QVariant(), int item = 11) {
        Db::RecordSet& d = form->cdsDetail;
        d.append();
        d.field(S("xm_id")).setValue(item);
        d.field(S("gcxmmc")).setValue(S(name));
        d.field(S("sl")).setValue(sl);
        d.field(S("dj")).setValue(dj);
        if (zk.isValid())
            d.field(S("zk")).setValue(zk);
        d.post();
    }

    // 添加 with customer 3 and the given lines' names; leaves the window in add mode.
    void startOrder(std::initializer_list<const char*> lines) {
        form->actAdd->trigger();
        form->cdsMaster.field(S("kh_id")).setValue(3);
        for (const char* name : lines)
            addLine(name, 2, 5);
    }

    std::unique_ptr<TOrderBillForm> form;
};

QString newStem() {
    return S("Z") + QDate::currentDate().toString(S("yyMMdd")) + S("Z");
}

}  // namespace

// ---- the line amount -------------------------------------------------------------------------

TEST(OrderLineAmount, IsExactAndRoundsHalfAwayFromZeroToCents) {
    using Qd::App::lineAmountUnits;
    struct Case {
        QVariant sl, dj, zk;
        qint64 units;
    };
    const Case cases[] = {
        {3, 19.99, 0.85, 509700},                     // 50.9745
        {1, 0.125, QVariant(), 1300},                 // a NULL discount counts 1; half up
        {-1, 0.125, 1, -1300},                        // half away from zero below 0 too
        {1, 2.675, S(""), 26800},                     // 2.675 as written, not its double
        {1, 0.0049, 1, 0},                            // below half a cent
        {3, S("0.1"), S("0.5"), 1500},                // text as stored values arrive
        {1000000, 99999.9999, 1, 999999999000000LL},  // no overflow on large lines
        {S("abc"), 5, 1, 0},                          // not a number: nothing
    };
    for (const Case& c : cases)
        EXPECT_EQ(lineAmountUnits(c.sl, c.dj, c.zk), c.units)
            << c.sl.toString().toStdString() << " x " << c.dj.toString().toStdString();
}

// ---- opening ---------------------------------------------------------------------------------

TEST_F(DemoOrder, OpensByNumberNewestOrNone) {
    TOrderBillForm& f = open(S("Z202611004"));
    EXPECT_EQ(f.billno, S("Z202611004"));
    EXPECT_EQ(f.cdsMaster.field(S("kh_name")).asString(),
              text("select name from qd_b_khbmk where id = 4"));
    EXPECT_EQ(f.cdsMaster.field(S("ck_name")).asString(), S("总店"));
    EXPECT_EQ(f.cdsMaster.field(S("kdr_name")).asString(), S("王建国"));
    ASSERT_EQ(f.cdsDetail.recordCount(), 2);
    EXPECT_EQ(f.cdsDetail.field(S("uid")).asString(), S("Z202611004-1"));  // by id

    // "": the newest order this user made in this store, printed twice.
    open(QString());
    EXPECT_EQ(form->billno, S("Z202611017"));
    EXPECT_EQ(form->lblPrintCount->text(), S("单据已打印 2 次"));
    // Another store's newest: its own, not the head store's.
    sys->session()->storeId = 2;
    sys->session()->userCode = S("2001");
    open(QString());
    EXPECT_EQ(form->billno, S("D202611018"));

    // A number that is not there (quotes and all): an empty, read-only window.
    open(S("X' or '1'='1"));
    EXPECT_TRUE(form->cdsMaster.isEmpty());
    EXPECT_TRUE(form->cdsDetail.isEmpty());
    EXPECT_TRUE(form->billno.isEmpty());
    QCoreApplication::processEvents();
    EXPECT_FALSE(form->actEdit->isEnabled());
    EXPECT_TRUE(form->actAdd->isEnabled());
}

TEST_F(DemoOrder, PrevAndNextWalkTheStoreByNumberAndStopAtTheEnds) {
    QStringList numbers;  // the head store's orders by number
    Db::RecordSet all =
        demo->query(S("select billno from qd_x_xmzzk where ck_id = 1 order by billno"));
    for (all.first(); !all.eof(); all.next())
        numbers << all.field(0).asString();
    ASSERT_GT(numbers.size(), 5);
    open(numbers.front());
    QStringList walked = {form->billno};
    EXPECT_TRUE(form->prevBillno.isEmpty());
    QCoreApplication::processEvents();
    EXPECT_FALSE(form->actprev->isEnabled());
    while (!form->nextBillno.isEmpty()) {
        form->actnext->trigger();
        walked << form->billno;
    }
    EXPECT_EQ(walked, numbers);
    QCoreApplication::processEvents();
    EXPECT_FALSE(form->actnext->isEnabled());
    form->actprev->trigger();
    EXPECT_EQ(form->billno, numbers[numbers.size() - 2]);
}

// ---- lines -----------------------------------------------------------------------------------

TEST_F(DemoOrder, LineAmountsAndTheTotalFollowTheLines) {
    open(S("Z202611017"));
    form->actEdit->trigger();
    addLine("海报", 3, 19.99, 0.85);
    EXPECT_EQ(form->cdsDetail.field(S("je")).asCurrency(), 50.97);
    const double before = form->cdsMaster.field(S("je")).asCurrency();

    // The item lookup fills name and price, and the amount follows.
    Ui::GridColumn* item = form->gDetailView->columnByField(S("xm_id"));
    ASSERT_NE(item, nullptr);
    ASSERT_EQ(item->props.kind, Ui::EditorKind::LookupCombo);
    form->cdsDetail.edit();
    Ui::LookupComboBox box(item->props);
    const int row = [&] {
        Db::RecordSet* list = box.listSource();
        for (int pos = 0; pos < list->recordCount(); ++pos) {
            list->moveTo(pos);
            if (list->field(S("name")).asString() == S("易拉宝"))
                return pos;
        }
        return -1;
    }();
    ASSERT_GE(row, 0);
    box.choose(row);
    form->cdsDetail.field(S("xm_id")).setValue(box.keyValue());
    form->cdsDetail.post();
    EXPECT_EQ(form->cdsDetail.field(S("gcxmmc")).asString(), S("易拉宝"));
    EXPECT_EQ(form->cdsDetail.field(S("dj")).asCurrency(), 120.0);  // hidden, copied all the same
    EXPECT_EQ(form->cdsDetail.field(S("je")).asCurrency(), 306.0);  // 3 x 120 x 0.85
    EXPECT_DOUBLE_EQ(form->cdsMaster.field(S("je")).asCurrency(), before - 50.97 + 306.0);
    QCoreApplication::processEvents();
    Qd::Test::keepRender(*form, S("bill-order-edit.png"));

    // A line deleted leaves the total; the lookup cleared empties what it filled.
    form->cdsDetail.deleteRecord();
    EXPECT_DOUBLE_EQ(form->cdsMaster.field(S("je")).asCurrency(), before - 50.97);
    form->cdsDetail.append();
    Ui::LookupComboBox editor(item->props);
    editor.choose(0);  // XM001 名片
    EXPECT_EQ(form->cdsDetail.field(S("itemno")).asString(), S("90x54mm 300g铜版纸"));
    EXPECT_EQ(form->cdsDetail.field(S("baseunit")).asString(), S("盒"));
    editor.clear();
    EXPECT_EQ(form->cdsDetail.field(S("gcxmmc")).asString(), S(""));
    EXPECT_EQ(form->cdsDetail.field(S("itemno")).asString(), S(""));
}

// ---- saving ----------------------------------------------------------------------------------

TEST_F(DemoOrder, InsertNumbersPerStoreAndStemAndNeverStoresTheTemporaryNumber) {
    open(QString());
    startOrder({"海报", "名片"});
    const QString temp = form->tempBillno;
    form->actSave->trigger();
    EXPECT_EQ(form->FDataOperateState, Sys::TOperateState::browse);
    EXPECT_EQ(form->billno, newStem() + S("0001"));
    EXPECT_EQ(form->cdsDetail.recordCount(), 2);

    startOrder({"条幅"});
    form->actSave->trigger();
    EXPECT_EQ(form->billno, newStem() + S("0002"));
    EXPECT_EQ(number(S("select lastno from qd_sys_billnoseq where ck_id = 1 and billcode = "
                       "'XMZZK' and seqkey = '%1'")
                         .arg(newStem())),
              2);
    for (const auto& [serial, lines] : {std::pair{"0001", 2}, std::pair{"0002", 1}})
        EXPECT_EQ(number(S("select count(*) from qd_x_xmzzk_mx where billno = '%1'")
                             .arg(newStem() + S(serial))),
                  lines);
    EXPECT_EQ(number(S("select count(*) from qd_x_xmzzk where billno = '%1'").arg(temp)) +
                  number(S("select count(*) from qd_x_xmzzk_mx where billno = '%1'").arg(temp)),
              0);
    // The master holds the lines' total, and 前单 reaches the store's earlier order.
    EXPECT_EQ(form->cdsMaster.field(S("je")).asCurrency(), 10.0);
    EXPECT_EQ(form->prevBillno, newStem() + S("0001"));
}

TEST_F(DemoOrder, UpdateWritesMasterAndAddedChangedAndDeletedLinesOnce) {
    open(S("Z202611017"));
    const int id = form->cdsMaster.field(S("id")).asInteger();
    const int lines = form->cdsDetail.recordCount();
    ASSERT_GE(lines, 2);
    form->actEdit->trigger();
    form->cdsMaster.field(S("zy")).setValue(S("改过"));
    form->cdsDetail.first();
    form->cdsDetail.edit();
    form->cdsDetail.field(S("sl")).setValue(7);
    form->cdsDetail.post();
    const int changedId = form->cdsDetail.field(S("id")).asInteger();
    form->cdsDetail.last();
    const int deletedId = form->cdsDetail.field(S("id")).asInteger();
    form->cdsDetail.deleteRecord();
    addLine("新加", 4, 2.5);
    form->actSave->trigger();

    EXPECT_EQ(form->FDataOperateState, Sys::TOperateState::browse);
    EXPECT_EQ(number(S("select version from qd_x_xmzzk where id = %1").arg(id)), 2);
    EXPECT_EQ(text("select zy from qd_x_xmzzk where billno = 'Z202611017'"), S("改过"));
    EXPECT_EQ(number("select count(*) from qd_x_xmzzk_mx where billno = 'Z202611017'"), lines);
    EXPECT_EQ(number(S("select sl from qd_x_xmzzk_mx where id = %1").arg(changedId)), 7);
    EXPECT_EQ(number(S("select count(*) from qd_x_xmzzk_mx where id = %1").arg(deletedId)), 0);
    EXPECT_EQ(number("select count(*) from qd_x_xmzzk_mx where billno = 'Z202611017' and "
                     "gcxmmc = N'新加' and je = 10"),
              1);
    // The stored total is the lines' sum.
    EXPECT_EQ(
        demo->query("select je from qd_x_xmzzk where billno = 'Z202611017'").field(0).asCurrency(),
        demo->query("select sum(je) from qd_x_xmzzk_mx where billno = 'Z202611017'")
            .field(0)
            .asCurrency());
}

// A save the database refuses fails whole and keeps the window's input, the number unused; the
// next save stores it once. Refused: a line insert (a trigger of another connection, while a
// flag row exists), or the write lock another client holds past the busy timeout.
TEST_F(DemoOrder, AFailedSaveKeepsEverythingAndTheNextSaveStoresOnce) {
    Db::SqliteDataServices quick(demo->path(), 300);
    Db::setDataServices(&quick);
    const auto restore = qScopeGuard([this] { Db::setDataServices(demo.get()); });
    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open(demo->path().toUtf8().constData(), &other), SQLITE_OK);
    const auto closeOther = qScopeGuard([&] { sqlite3_close(other); });
    const auto run = [&](const char* sql) {
        char* error = nullptr;
        EXPECT_EQ(sqlite3_exec(other, sql, nullptr, nullptr, &error), SQLITE_OK)
            << (error ? error : "");
        sqlite3_free(error);
    };
    run("create table refuse_lines(x int);"
        "create trigger refuse_line before insert on qd_x_xmzzk_mx "
        "when exists(select 1 from refuse_lines) begin select raise(abort, 'refused'); end;");

    enum class Fault { LineOnAdd, LineOnEdit, HeldLock };
    for (const Fault fault : {Fault::LineOnAdd, Fault::LineOnEdit, Fault::HeldLock}) {
        SCOPED_TRACE(int(fault));
        const bool adding = fault == Fault::LineOnAdd;
        if (adding) {
            open(QString());
            startOrder({"海报", "名片"});
        } else {
            open(S("Z202611017"));
            form->actEdit->trigger();
            form->cdsMaster.field(S("beizhu")).setValue(S("失败后改的"));
            addLine("再加一行", 1, 1);
        }
        const int version = number("select version from qd_x_xmzzk where billno = 'Z202611017'");
        run(fault == Fault::HeldLock ? "begin immediate" : "insert into refuse_lines values(1)");
        const int detailChanges = form->cdsDetail.changeCount();
        const int lines = form->cdsDetail.recordCount();
        prompts.acceptAllMessages(true);
        form->actSave->trigger();
        EXPECT_TRUE(prompts.messages().contains(S("单据保存错误，请重试。")));
        if (fault == Fault::HeldLock) {
            EXPECT_TRUE(prompts.messages().first().startsWith(S("数据库正被其他用户占用")));
        }
        EXPECT_NE(form->FDataOperateState, Sys::TOperateState::browse);
        EXPECT_EQ(form->cdsMaster.changeCount(), 1);  // the new or edited master row
        EXPECT_EQ(form->cdsDetail.changeCount(), detailChanges);
        EXPECT_EQ(form->cdsDetail.recordCount(), lines);
        if (adding) {
            EXPECT_EQ(number("select count(*) from qd_sys_billnoseq"), 0);
        }
        EXPECT_EQ(number("select version from qd_x_xmzzk where billno = 'Z202611017'"), version);
        prompts.clear();

        run(fault == Fault::HeldLock ? "commit" : "delete from refuse_lines");
        form->actSave->trigger();
        EXPECT_EQ(form->FDataOperateState, Sys::TOperateState::browse);
        EXPECT_TRUE(prompts.messages().isEmpty()) << prompts.messages().join('|').toStdString();
        EXPECT_EQ(
            number(S("select count(*) from qd_x_xmzzk_mx where billno = '%1'").arg(form->billno)),
            lines);
        prompts.acceptAllMessages(false);
    }
    EXPECT_EQ(form->billno, S("Z202611017"));
    EXPECT_EQ(text("select beizhu from qd_x_xmzzk where billno = 'Z202611017'"), S("失败后改的"));
    EXPECT_EQ(number(S("select lastno from qd_sys_billnoseq where seqkey = '%1'").arg(newStem())),
              1);
    EXPECT_EQ(number("select version from qd_x_xmzzk where billno = 'Z202611017'"), 3);
}

TEST_F(DemoOrder, QuotesLineBreaksAndChineseRoundTrip) {
    open(QString());
    startOrder({});
    form->cdsMaster.field(S("beizhu")).setValue(S("O'Brien"));
    form->cdsMaster.field(S("gcxmmc")).setValue(S("第一行\r\n第二行"));
    addLine("O'Brien's \"海报\"\r\n第二行", 1, 1);
    form->actSave->trigger();
    ASSERT_EQ(form->FDataOperateState, Sys::TOperateState::browse);
    open(form->billno);
    EXPECT_EQ(form->cdsMaster.field(S("beizhu")).asString(), S("O'Brien"));
    EXPECT_EQ(form->cdsMaster.field(S("gcxmmc")).asString(), S("第一行\r\n第二行"));
    EXPECT_EQ(form->cdsDetail.field(S("gcxmmc")).asString(), S("O'Brien's \"海报\"\r\n第二行"));
}

TEST_F(DemoOrder, SaveChecksCustomerAndLines) {
    open(QString());
    form->actAdd->trigger();
    prompts.answer(Ui::mrOk);
    form->actSave->trigger();
    EXPECT_EQ(prompts.last().text, S("请选择客户。"));
    form->cdsMaster.field(S("kh_id")).setValue(3);
    prompts.answer(Ui::mrOk);
    form->actSave->trigger();
    EXPECT_EQ(prompts.last().text, S("请至少录入一行明细。"));
    EXPECT_EQ(form->FDataOperateState, Sys::TOperateState::add);
}

// ---- deleting and auditing -------------------------------------------------------------------

TEST_F(DemoOrder, DeleteTakesTheLoadedDraftOnlyWhileItIsUnchanged) {
    open(S("Z202611017"));
    const int id = form->cdsMaster.field(S("id")).asInteger();
    // Saved elsewhere since it was loaded: nothing goes.
    demo->exec(S("update qd_x_xmzzk set version = version + 1 where id = %1").arg(id));
    EXPECT_NE(form->_delete(), 0);
    EXPECT_EQ(number(S("select count(*) from qd_x_xmzzk where id = %1").arg(id)), 1);
    EXPECT_EQ(number("select count(*) from qd_x_xmzzk_mx where billno = 'Z202611017'"), 3);

    open(S("Z202611017"));
    prompts.answer(Ui::mrOk);  // 是否确定要删除该单据?
    prompts.answer(Ui::mrOk);  // 删除成功
    form->actDel->trigger();
    EXPECT_EQ(prompts.messages().last(), S("删除成功"));
    EXPECT_EQ(number(S("select count(*) from qd_x_xmzzk where id = %1").arg(id)), 0);
    EXPECT_EQ(number("select count(*) from qd_x_xmzzk_mx where billno = 'Z202611017'"), 0);
}

TEST_F(DemoOrder, AuditMarksTheOrdersOpenWorkDone) {
    open(S("Z202611017"));
    const int id = form->cdsMaster.field(S("id")).asInteger();
    const int mine =
        number(S("select count(*) from qd_sys_doworks where xmzzk_id = %1 and isdone = 0").arg(id));
    const int allOpen = number("select count(*) from qd_sys_doworks where isdone = 0");
    prompts.answer(QDialog::Accepted);
    form->actAudit->trigger();
    EXPECT_EQ(number("select status from qd_x_xmzzk where billno = 'Z202611017'"), 1);
    ASSERT_GT(mine, 0);
    EXPECT_EQ(number("select count(*) from qd_sys_doworks where isdone = 0"), allOpen - mine);
}

// ---- the window ------------------------------------------------------------------------------

// ---- lines: lookups, buttons, files ------------------------------------------------------------

namespace {

// Registers a select entry for the window class of the item picker for the test's duration,
// recording what it was asked and answering `rows`.
class PickerStandIn {
public:
    PickerStandIn(const QString& formClass, QString rows) : m_class(formClass) {
        const Sys::SelectEntry* before = Sys::TPlugsPool::selectEntry(formClass);
        m_before = before ? *before : Sys::SelectEntry();
        Sys::TPlugsPool::registerSelectEntry(
            formClass, [this, rows](QWidget* owner, Sys::TPlugItem& item, const QString& text,
                                    const QString& options) {
                asked << QStringList{owner ? owner->metaObject()->className() : "", item.name, text,
                                     options};
                return rows;
            });
    }
    ~PickerStandIn() { Sys::TPlugsPool::registerSelectEntry(m_class, m_before); }
    QList<QStringList> asked;

private:
    QString m_class;
    Sys::SelectEntry m_before;
};

}  // namespace

TEST_F(DemoOrder, HeaderLookupsWriteTheIdOfTheRowOnlyWhileEditing) {
    open(S("Z202611017"));
    Ui::LookupComboBox* customer = form->lcbCustomer;
    const int before = form->cdsMaster.field(S("kh_id")).asInteger();
    EXPECT_EQ(customer->text(), text("select name from qd_b_khbmk where id = 12"));  // name only
    EXPECT_FALSE(customer->isEnabled());  // browsing: not to be changed
    customer->listSource()->moveTo(2);
    form->onDbLookupComboBoxEditValueChange(customer);  // and the handler writes nothing
    EXPECT_EQ(form->cdsMaster.field(S("kh_id")).asInteger(), before);
    EXPECT_EQ(form->cdsMaster.state(), Db::DataSetState::Browse);

    form->actEdit->trigger();
    customer->choose(2);  // K0003
    EXPECT_EQ(form->cdsMaster.field(S("kh_id")).asInteger(),
              number("select id from qd_b_khbmk where code = 'K0003'"));
    customer->clear();
    EXPECT_EQ(form->cdsMaster.field(S("kh_id")).asInteger(), 0);
    EXPECT_FALSE(form->cdsMaster.field(S("kh_id")).isNull());
}

TEST_F(DemoOrder, TheNameButtonHandsTheTypedTextToThePickerAndItsRowsBecomeLines) {
    PickerStandIn picker(
        S("TMultiBasicRibbonForm"),
        S(R"([{"id": 5, "code": "XM005", "name": "户外喷绘布", "itemno": "520加厚", "baseunit": "平方米", "dj": 18},
              {"id": 8, "code": "XM008", "name": "易拉宝", "itemno": "80x200cm", "baseunit": "套", "dj": 120}])"));
    open(S("Z202611017"));
    const Ui::GridColumn* name = form->gDetailView->columnByField(S("gcxmmc"));
    ASSERT_EQ(name->props.kind, Ui::EditorKind::Button);
    std::unique_ptr<QWidget> cell(Ui::createEditor(name->props, nullptr));
    static_cast<QLineEdit*>(cell.get())->setText(S("喷绘"));

    name->props.onButtonClick(cell.get());  // browsing: nothing asked
    EXPECT_TRUE(picker.asked.isEmpty());
    EXPECT_TRUE(prompts.asked().empty());

    form->actEdit->trigger();
    const int lines = form->cdsDetail.recordCount();
    form->cdsDetail.append();  // an unfinished new line
    form->cdsDetail.field(S("gcxmmc")).setValue(S("未完成"));
    name->props.onButtonClick(cell.get());
    ASSERT_EQ(picker.asked.size(), 1);
    EXPECT_EQ(picker.asked[0],
              (QStringList{"Qd::App::TOrderBillForm", S("项目资料"), S("喷绘"), ""}));
    ASSERT_EQ(form->cdsDetail.recordCount(), lines + 2);  // the unfinished line gone, two added
    form->cdsDetail.last();
    EXPECT_EQ(form->cdsDetail.field(S("gcxmmc")).asString(), S("易拉宝"));
    EXPECT_EQ(form->cdsDetail.field(S("xm_id")).asInteger(), 8);
    EXPECT_EQ(form->cdsDetail.field(S("sl")).asFloat(), 1.0);
    EXPECT_EQ(form->cdsDetail.field(S("je")).asFloat(), 120.0);
    form->cdsDetail.first();
    for (; !form->cdsDetail.eof(); form->cdsDetail.next())
        EXPECT_NE(form->cdsDetail.field(S("gcxmmc")).asString(), S("未完成"));
}

TEST_F(DemoOrder, AButtonNamingNoModuleIsOneErrorNamingColumnAndModule) {
    demo->exec(
        "update qd_sys_plugins set plugininfo = replace(plugininfo, '\"target\": \"项目资料\"', "
        "'\"target\": \"没有的模块\"') where code = 'XMZZK'");
    sys->plugs().load();
    open(S("Z202611017"));
    form->actEdit->trigger();
    const Ui::GridColumn* name = form->gDetailView->columnByField(S("gcxmmc"));
    std::unique_ptr<QWidget> cell(Ui::createEditor(name->props, nullptr));
    prompts.answer(Ui::mrOk);
    name->props.onButtonClick(cell.get());
    ASSERT_EQ(prompts.asked().size(), 1u);
    EXPECT_TRUE(prompts.asked()[0].text.contains(S("模块 XMZZK 的列 \"gcxmmc\"")));
    EXPECT_TRUE(prompts.asked()[0].text.contains(S("没有的模块")));
}

TEST_F(DemoOrder, TheFileCellKeepsTheFileNameOfADeepPath) {
    open(S("Z202611017"));
    const Ui::GridColumn* file = form->gDetailView->columnByField(S("filename"));
    ASSERT_EQ(file->props.kind, Ui::EditorKind::Button);  // the store's rule: 文件
    std::unique_ptr<QWidget> cell(Ui::createEditor(file->props, nullptr));
    file->props.onButtonClick(cell.get());  // browsing: no dialog
    EXPECT_TRUE(prompts.asked().empty());

    form->actEdit->trigger();
    prompts.answerText(S("/home/设计/2026/十二月/海报 终稿.pdf"));
    file->props.onButtonClick(cell.get());
    ASSERT_EQ(prompts.asked().size(), 1u);
    EXPECT_EQ(prompts.asked()[0].text, S("所有文件 (*)"));
    EXPECT_EQ(form->cdsDetail.field(S("filename")).asString(), S("海报 终稿.pdf"));
    EXPECT_EQ(form->cdsDetail.state(), Db::DataSetState::Browse);  // posted
    EXPECT_EQ(static_cast<QLineEdit*>(cell.get())->text(), S("海报 终稿.pdf"));
}

TEST_F(DemoOrder, HeaderLookupDescriptorErrorsAreNamedOnce) {
    demo->exec(
        "update qd_sys_plugins set plugininfo = replace(plugininfo, '\"listfieldindex\": \"0\", "
        "\"columns\": [{\"fieldname\": \"code\", \"caption\": \"编号\", \"width\": \"70\"}', "
        "'\"columns\": [{\"fieldname\": \"code\", \"caption\": \"编号\", \"width\": \"70\"}') "
        "where code = 'XMZZK'");
    sys->plugs().load();
    prompts.answer(Ui::mrOk);
    open(S("Z202611017"));
    ASSERT_EQ(prompts.asked().size(), 1u);
    EXPECT_EQ(prompts.asked()[0].text,
              S("模块 XMZZK 的 \"properties\" 成员 \"kh_id\" 缺少 \"listfieldindex\""));
    EXPECT_EQ(form->lcbCustomer->text(), text("select name from qd_b_khbmk where id = 12"));
}

// ---- the header's pickers and what the lines look like ------------------------------------------

namespace {

// What the user sees of the window with its pop-ups (drop-downs, the quick filter) over it.
QImage withPopups(QWidget& window, std::initializer_list<QWidget*> popups) {
    QImage shot = window.grab().toImage();
    QPainter p(&shot);
    for (QWidget* popup : popups)
        if (popup && popup->isVisible())
            p.drawImage(window.mapFromGlobal(popup->mapToGlobal(QPoint(0, 0))),
                        popup->grab().toImage());
    return shot;
}

}  // namespace

TEST_F(DemoOrder, ProjectNameComesFromTheNamesOrdersUsedWhileEditing) {
    open(S("Z202611017"));
    auto* project = qobject_cast<Ui::ButtonEdit*>(form->edtProject);
    ASSERT_NE(project, nullptr);
    Q_EMIT project->buttonClicked();  // browsing: no dialog
    EXPECT_TRUE(prompts.asked().empty());
    form->actEdit->trigger();
    prompts.answerDialog([](QDialog& dialog) {
        auto& d = dynamic_cast<Report::Tbasicsamplefilterform&>(dialog);
        EXPECT_EQ(d.cdsMain.field(S("name")).asString(), S("年会物料"));  // on three orders
        d.actok->trigger();
        return d.result();
    });
    Q_EMIT project->buttonClicked();
    EXPECT_EQ(form->cdsMaster.field(S("gcxmmc")).asString(), S("年会物料"));
    EXPECT_EQ(project->text(), S("年会物料"));
}

TEST_F(DemoOrder, TheQuickFilterUnderTheCustomerSetsTheCustomer) {
    open(S("Z202611017"));
    form->show();
    EXPECT_FALSE(form->btnFindCustomer->isEnabled());
    form->actEdit->trigger();
    ASSERT_TRUE(form->btnFindCustomer->isEnabled());
    form->btnFindCustomer->click();
    auto* quick = form->findChild<Report::Tquickfilterform*>();
    ASSERT_NE(quick, nullptr);
    EXPECT_EQ(quick->pos, form->lcbCustomer->mapToGlobal(QPoint(0, form->lcbCustomer->height())));
    quick->edtKeyword->setText(S("华星"));
    quick->searchNow();
    ASSERT_EQ(quick->cdsMain.recordCount(), 1);
    QCoreApplication::processEvents();
    Qd::Test::keepRender(withPopups(*form, {quick}), S("bill-order-quick-filter.png"));
    quick->actokExecute();
    EXPECT_EQ(form->cdsMaster.field(S("kh_id")).asInteger(),
              number("select id from qd_b_khbmk where code = 'K0001'"));
    EXPECT_EQ(form->lcbCustomer->text(), S("北京华星科技有限公司"));
}

// The order seen from 东城分店, which keeps no column settings: the descriptor's captions,
// decimals and editors.
TEST_F(DemoOrder, AnotherStoreWithoutColumnSettingsGetsTheDescriptorsColumns) {
    const int east = number("select id from qd_b_ckbmk where code = 'MD02'");
    ASSERT_TRUE(sys->login(S("1001"), S("123456"), east).ok);
    open(S("Z202611017"));
    form->show();
    QCoreApplication::processEvents();
    EXPECT_EQ(form->gDetailView->columnByField(S("gcxmmc"))->caption, S("项目名称"));
    EXPECT_TRUE(form->gDetailView->columnByField(S("zk"))->visible);
    EXPECT_EQ(form->gDetailView->columnByField(S("sl"))->props.decimals, 2);
    EXPECT_EQ(form->gDetailView->columnByField(S("filename"))->props.kind, Ui::EditorKind::Text);
    Qd::Test::keepRender(*form, S("bill-order-east-store.png"));
}

TEST_F(DemoOrder, AFailingLookupStatementIsShownOnceAndTheKeysStay) {
    demo->exec(
        "update qd_sys_plugins set plugininfo = replace(plugininfo, 'select id, code, name, "
        "helpcode, itemno, baseunit, dj from qd_b_xmbmk', 'select id, code, name, helpcode, "
        "itemno, baseunit, dj from qd_b_no_such_table') where code = 'XMZZK'");
    sys->plugs().load();
    prompts.acceptAllMessages(true);
    open(S("Z202611017"));
    form->show();
    QCoreApplication::processEvents();
    form->gDetailView->viewport()->repaint();
    QCoreApplication::processEvents();
    const auto& asked = prompts.asked();
    int errors = 0;
    for (const auto& q : asked)
        errors += q.text.contains(S("qd_b_no_such_table")) ? 1 : 0;
    EXPECT_EQ(errors, 1) << asked.size();
    const QModelIndex cell =
        form->gDetailView->model()->index(0, form->cdsDetail.fieldIndex(S("xm_id")));
    EXPECT_EQ(Ui::displayText(form->gDetailView->columnByField(S("xm_id"))->props,
                              cell.data(Qt::EditRole)),
              S(""));
    form->actEdit->trigger();
    form->cdsDetail.first();
    form->cdsDetail.edit();
    form->cdsDetail.field(S("beizhu")).setValue(S("改"));
    form->cdsDetail.post();
    form->actSave->trigger();
    EXPECT_EQ(
        number("select count(*) from qd_x_xmzzk_mx where billno = 'Z202611017' and xm_id = 0"), 0);
}

TEST_F(DemoOrder, FlowAndOrderFilesWorkOnTheShownOrderWhileBrowsing) {
    TOrderBillForm& f = open(S("Z202611004"));
    ASSERT_TRUE(f.actFlow->isEnabled());
    QStringList flow;
    prompts.answerDialog([&](QDialog& dialog) {
        flow = Qd::Test::rowTexts(dynamic_cast<Tools::Txmzzkflowviewform&>(dialog).cdsflowlist,
                                  {S("flow_name")});
        return int(QDialog::Accepted);
    });
    f.actFlow->trigger();
    ASSERT_FALSE(flow.isEmpty());
    EXPECT_EQ(flow.front(), S("下单"));

    prompts.answerDialog([&](QDialog& dialog) {
        auto& explorer = dynamic_cast<Tools::TfileExplorerform&>(dialog);
        EXPECT_TRUE(explorer.edtPath->text().isEmpty());  // no folder stored yet
        explorer.edtPath->setText(S("D:\\订单文件\\总店\\Z202611004"));
        return int(QDialog::Accepted);
    });
    f.actFiles->trigger();
    EXPECT_EQ(text("select filedir from qd_x_xmzzk where billno = 'Z202611004'"),
              S("D:\\订单文件\\总店\\Z202611004"));

    f.actAdd->trigger();
    EXPECT_FALSE(f.actFlow->isEnabled());
    EXPECT_FALSE(f.actFiles->isEnabled());
}
