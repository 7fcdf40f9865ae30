// Grid views over real record sets: column binding, edits and cursor through the record set,
// indicator, empty text, footer, layout text, sorting, bands, column chooser, auto width, the
// new-item row, the tree view and the grid's levels.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAbstractItemModelTester>
#include <QApplication>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QSignalSpy>
#include <QStackedWidget>
#include <QTabBar>
#include <QTest>

#include "base/EAbort.h"
#include "support/Render.h"
#include "support/TestEnv.h"
#include "ui/grid/Grid.h"

using namespace Qd::Core;
using Db::RecordSet;
using Ui::GridColumn;
using Ui::GridView;
using Ui::SummaryKind;

namespace {

const char* kGoods =
    "create table goods(id int, code varchar(20), name nvarchar(50), unit nvarchar(10), "
    "qty int, price money, amount money, memo nvarchar(100))\n"
    "insert into goods values (1, 'A001', N'可口可乐', N'瓶', 24, 3.5, 84, N'畅销')\n"
    "insert into goods values (2, 'A002', N'农夫山泉', N'瓶', 48, 2, 96, null)\n"
    "insert into goods values (3, 'B001', N'康师傅方便面', N'袋', 10, 4.5, 45, N'促销')\n"
    "insert into goods values (4, 'B002', N'旺旺雪饼', N'包', 5, 12.8, 64, null)\n"
    "insert into goods values (5, 'C001', N'蓝月亮洗衣液', N'瓶', 3, 39.9, 119.7, N'新品')\n";

class GridViewTest : public Qd::Test::DbTest {
protected:
    void SetUp() override {
        DbTest::SetUp();
        ASSERT_TRUE(db().execSQL(kGoods));
        ASSERT_TRUE(db().openDataToCDS(rs, "select * from goods order by id"));
        view = std::make_unique<GridView>("tvGoods");
        view->resize(700, 260);
        view->setRecordSet(&rs);
        tester = std::make_unique<QAbstractItemModelTester>(
            view->recordSetModel(), QAbstractItemModelTester::FailureReportingMode::Fatal);
    }
    void TearDown() override {
        tester.reset();
        view.reset();
        DbTest::TearDown();
    }

    GridColumn* add(const QString& field, const QString& caption, int width = 100) {
        GridColumn* c = view->addColumn("tvGoods" + field);
        c->fieldName = field;
        c->caption = caption;
        c->width = width;
        return c;
    }
    void addStandardColumns() {
        add("code", "编码", 80);
        add("name", "商品名称", 160);
        add("qty", "数量", 70);
        add("amount", "金额", 100);
        add("memo", "备注", 120);
        view->applyColumns();
    }
    int field(const char* name) const { return rs.fieldIndex(name); }
    QHeaderView* header() const { return view->horizontalHeader(); }
    QModelIndex cell(int row, const char* name) const {
        return view->recordSetModel()->index(row, field(name));
    }
    // What the header shows, left to right: "field:caption:width" of each visible section.
    QString shownColumns() const {
        QStringList out;
        for (int visual = 0; visual < header()->count(); ++visual) {
            const int logical = header()->logicalIndex(visual);
            if (header()->isSectionHidden(logical))
                continue;
            const GridColumn* c = view->columnAt(logical);
            out << QStringLiteral("%1:%2:%3")
                       .arg(rs.fieldDef(logical).name, c ? c->caption : QStringLiteral("?"))
                       .arg(header()->sectionSize(logical));
        }
        return out.join('|');
    }
    // A field of every record, in record order.
    QString columnValues(const char* name) const {
        QStringList out;
        for (int pos = 0; pos < rs.recordCount(); ++pos)
            out << rs.textAt(rs.rowAt(pos), field(name));
        return out.join(',');
    }
    void clickHeader(const char* name, Qt::KeyboardModifiers mods = Qt::NoModifier) {
        const int logical = field(name);
        const QPoint at(
            header()->sectionViewportPosition(logical) + header()->sectionSize(logical) / 2,
            header()->height() - 4);
        QTest::mouseClick(header()->viewport(), Qt::LeftButton, mods, at);
    }
    void showView() {
        view->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(view.get()));
    }

    RecordSet rs;
    std::unique_ptr<GridView> view;
    std::unique_ptr<QAbstractItemModelTester> tester;
};

}  // namespace

TEST_F(GridViewTest, ColumnsShowTheirFieldsInListOrderAndOtherFieldsStayHidden) {
    QSignalSpy changed(view.get(), &GridView::columnsChanged);
    add("name", "商品名称", 160);
    add("code", "编码", 80);
    add("qty", "数量", 70)->visible = false;
    GridColumn* amount = add("AMOUNT", "金额", 120);  // field names are not case-sensitive
    view->applyColumns();

    EXPECT_EQ(shownColumns(), "name:商品名称:160|code:编码:80|amount:金额:120");
    EXPECT_EQ(changed.count(), 1);

    // Given the list reordered and a column removed, the header follows.
    view->removeColumn(view->columnByField("name"));
    amount->width = 90;
    view->applyColumns();
    EXPECT_EQ(shownColumns(), "code:编码:80|amount:金额:90");

    // A column added but never applied still appears once the event loop runs.
    add("unit", "单位", 50);
    QCoreApplication::processEvents();
    EXPECT_EQ(shownColumns(), "code:编码:80|amount:金额:90|unit:单位:50");

    // Reloading the record set keeps the binding: the same statement again, after a close, and
    // another statement with as many fields under other names.
    ASSERT_TRUE(db().openDataToCDS(rs, "select memo, unit, amount, code from goods"));
    EXPECT_EQ(shownColumns(), "code:编码:80|amount:金额:90|unit:单位:50");
    rs.close();
    ASSERT_TRUE(db().openDataToCDS(rs, "select memo, unit, amount, code from goods"));
    EXPECT_EQ(shownColumns(), "code:编码:80|amount:金额:90|unit:单位:50");
    ASSERT_TRUE(db().openDataToCDS(rs, "select code, memo, name, unit from goods"));
    EXPECT_EQ(shownColumns(), "code:编码:80|unit:单位:50");
}

TEST_F(GridViewTest, EditsGoThroughTheRecordSetAndArePostedWhenTheRowIsLeft) {
    addStandardColumns();
    view->setCurrentIndex(cell(1, "name"));
    ASSERT_TRUE(view->model()->setData(cell(1, "name"), QStringLiteral("农夫山泉 550ml")));
    EXPECT_EQ(rs.state(), Db::DataSetState::Edit);
    EXPECT_EQ(rs.field("name").asString(), QStringLiteral("农夫山泉 550ml"));

    view->setCurrentIndex(cell(3, "name"));
    EXPECT_EQ(rs.state(), Db::DataSetState::Browse);
    EXPECT_EQ(rs.recNo(), 3);
    ASSERT_EQ(rs.changeCount(), 1);
    EXPECT_EQ(rs.textAt(rs.rowAt(1), field("name")), QStringLiteral("农夫山泉 550ml"));

    // A column whose editing is off opens no editor; the others do.
    showView();
    view->columnByField("code")->editing = false;
    view->edit(cell(3, "code"));
    EXPECT_FALSE(view->isEditing());
    view->edit(cell(3, "name"));
    EXPECT_TRUE(view->isEditing());

    // Enter ends the cell's edit, not the record's: the record is posted when the row is left.
    auto* editor = view->viewport()->findChild<QLineEdit*>();
    ASSERT_NE(editor, nullptr);
    editor->setText(QStringLiteral("旺旺仙贝"));
    QTest::keyClick(editor, Qt::Key_Return);
    QCoreApplication::processEvents();  // the delegate commits and closes queued
    EXPECT_FALSE(view->isEditing());
    EXPECT_EQ(rs.state(), Db::DataSetState::Edit);
    EXPECT_EQ(rs.field("name").asString(), QStringLiteral("旺旺仙贝"));
    view->setCurrentIndex(cell(0, "name"));
    EXPECT_EQ(rs.state(), Db::DataSetState::Browse);
    EXPECT_EQ(rs.changeCount(), 2);
}

TEST_F(GridViewTest, CursorFollowsTheViewAndTheViewFollowsTheCursor) {
    addStandardColumns();
    EXPECT_EQ(view->currentIndex().row(), 0);  // bound on the record set's current record

    rs.moveTo(4);
    EXPECT_EQ(view->currentIndex().row(), 4);
    EXPECT_TRUE(view->selectionModel()->isRowSelected(4, {}));
    view->setCurrentIndex(cell(2, "qty"));
    EXPECT_EQ(rs.recNo(), 2);

    rs.append();
    EXPECT_EQ(view->currentIndex().row(), 5);
    rs.cancel();
    EXPECT_EQ(view->currentIndex().row(), rs.recNo());

    rs.moveTo(2);
    rs.deleteRecord();
    EXPECT_EQ(rs.recordCount(), 4);
    EXPECT_EQ(view->currentIndex().row(), rs.recNo());
    EXPECT_EQ(rs.field("id").asInteger(), 4);

    // When the record set refuses to scroll, the view goes back to its record.
    rs.moveTo(1);
    rs.beforeScroll = [](RecordSet&) { Sys::Abort(); };
    view->setCurrentIndex(cell(3, "qty"));
    EXPECT_EQ(rs.recNo(), 1);
    EXPECT_EQ(view->currentIndex().row(), 1);
}

TEST_F(GridViewTest, IndicatorPainterSeesTheFocusedRowAndOpenEditors) {
    addStandardColumns();
    struct Call {
        int row;
        bool focused, editing;
    };
    std::vector<Call> calls;
    view->setIndicatorPainter([&](QPainter&, const QRect&, int row, bool focused, bool editing) {
        calls.push_back({row, focused, editing});
    });
    view->setIndicatorWidth(40);
    showView();
    EXPECT_EQ(view->verticalHeader()->width(), 40);

    auto paintedRows = [&] {
        calls.clear();
        view->grab();
        QStringList out;
        for (const Call& c : calls)
            out << QStringLiteral("%1%2%3")
                       .arg(c.row)
                       .arg(c.focused ? "F" : "")
                       .arg(c.editing ? "E" : "");
        out.removeDuplicates();
        return out.join(' ');
    };
    rs.moveTo(1);
    EXPECT_EQ(paintedRows(), "-1 0 1F 2 3 4");

    view->setCurrentIndex(cell(1, "name"));
    view->edit(cell(1, "name"));
    ASSERT_TRUE(view->isEditing());
    EXPECT_EQ(paintedRows(), "-1E 0E 1FE 2E 3E 4E");

    view->setCurrentIndex(cell(2, "name"));  // closes the editor
    EXPECT_FALSE(view->isEditing());
    EXPECT_EQ(paintedRows(), "-1 0 1 2F 3 4");
}

TEST_F(GridViewTest, FooterSummarisesAllRecordsAndFollowsChanges) {
    addStandardColumns();
    view->columnByField("qty")->footerKind = SummaryKind::Sum;
    GridColumn* amount = view->columnByField("amount");
    amount->footerKind = SummaryKind::Sum;
    amount->footerFormat = "#,##0.00";
    view->columnByField("memo")->footerKind = SummaryKind::Count;
    view->columnByField("code")->footerKind = SummaryKind::Max;
    GridColumn* price = add("price", "单价", 60);
    price->footerKind = SummaryKind::Average;
    GridColumn* name = view->columnByField("name");
    name->footerKind = SummaryKind::Sum;  // no sum of text: an empty cell
    view->setFooterVisible(true);
    view->applyColumns();

    auto footer = [&](const char* f) { return view->footerText(view->columnByField(f)); };
    EXPECT_EQ(footer("qty"), "90");
    EXPECT_EQ(footer("amount"), "408.70");
    EXPECT_EQ(footer("memo"), "3");
    EXPECT_EQ(footer("code"), "C001");
    EXPECT_EQ(footer("price"), "12.54");
    EXPECT_EQ(footer("name"), "");

    rs.moveTo(0);
    rs.edit();
    rs.field("qty").setValue(1024);
    rs.field("amount").setValue(1000000);
    rs.post();
    EXPECT_EQ(footer("qty"), "1090");
    EXPECT_EQ(footer("amount"), "1,000,324.70");
    rs.append();
    rs.field("memo").setValue(QStringLiteral("补货"));
    rs.post();
    EXPECT_EQ(footer("memo"), "4");

    // The footer sits under the cells: scrolled to the end, the last row is wholly visible.
    view->resize(700, 150);
    showView();
    QWidget* bar = view->findChild<QWidget*>("footer");
    ASSERT_NE(bar, nullptr);
    EXPECT_TRUE(bar->isVisible());
    EXPECT_EQ(bar->geometry().top(), view->viewport()->geometry().bottom() + 1);
    view->scrollToBottom();
    EXPECT_LE(view->visualRect(cell(rs.recordCount() - 1, "qty")).bottom(),
              view->viewport()->height());
}

TEST_F(GridViewTest, LayoutTextRoundTripsOrderWidthVisibilityAndSort) {
    addStandardColumns();
    view->columnByField("name")->width = 222;
    view->columnByField("memo")->visible = false;
    GridColumn* qty = view->columnByField("qty");
    qty->sortIndex = 0;
    qty->sortOrder = Qt::DescendingOrder;
    view->applyColumns();
    header()->moveSection(header()->visualIndex(field("amount")), 0);  // the user drags a column
    const QByteArray saved = view->saveLayout();

    // Restored onto a view built afresh, with one column the text does not name.
    view->clearColumns();
    addStandardColumns();
    GridColumn* price = add("price", "单价", 60);
    view->applyColumns();
    ASSERT_TRUE(view->restoreLayout(saved));
    EXPECT_EQ(shownColumns(),
              "amount:金额:100|code:编码:80|name:商品名称:222|qty:数量:70|price:单价:60");
    EXPECT_FALSE(view->columnByField("memo")->visible);
    EXPECT_EQ(view->columnByField("qty")->sortIndex, 0);
    EXPECT_EQ(view->columnByField("qty")->sortOrder, Qt::DescendingOrder);
    EXPECT_EQ(columnValues("qty"), "48,24,10,5,3");  // sorted as restored
    EXPECT_EQ(view->columns().last(), price);
    EXPECT_EQ(view->saveLayout().left(saved.size()), saved);

    // A column the text names and the view lacks is created from it.
    view->clearColumns();
    add("code", "编码", 80);
    view->applyColumns();
    ASSERT_TRUE(
        view->restoreLayout("[tvGoodsunit]\nIndex=0\nFieldName=unit\nCaption=单位\n"
                            "Width=44\nVisible=True\n"));
    EXPECT_EQ(shownColumns(), "unit:单位:44|code:编码:80");
}

// Captions and field names come from module descriptors: whatever characters they hold, the
// layout saved reads back to itself (found by fuzzing: a U+FFFD or a NUL in a caption, a line
// break or blanks in a field name made the saved layout unreadable or renamed a column).
TEST_F(GridViewTest, LayoutTextReadsBackAnyCaptionOrFieldName) {
    const QString awkward[] = {QStringLiteral("替换\uFFFD字符"), QString::fromUtf16(u"空\0字", 3),
                               QStringLiteral("a\nb\r\\n]"), QStringLiteral(" 前后空格 "),
                               QStringLiteral("[x]=y;#")};
    for (const QString& text : awkward) {
        view->clearColumns();
        add(text, text, 90)->visible = false;
        add("code", text, 80);
        view->applyColumns();
        const QByteArray saved = view->saveLayout();

        view->clearColumns();
        view->applyColumns();
        ASSERT_TRUE(view->restoreLayout(saved)) << saved.toStdString();
        ASSERT_EQ(view->columns().size(), 2);
        EXPECT_EQ(view->columns().at(0)->fieldName, text);
        EXPECT_EQ(view->columns().at(1)->caption, text);
        EXPECT_EQ(view->saveLayout(), saved);
    }

    // Unreadable text, bytes that are no UTF-8 among it, is refused and changes nothing.
    const QByteArray before = view->saveLayout();
    for (const QByteArray& bad :
         {QByteArray(), QByteArray("not a layout"), QByteArray("Width=10\n[tvGoodscode]\n"),
          QByteArray("[tvGoodscode\nWidth=10\n"), QByteArray("[tvGoodscode]\nWidth 10\n"),
          QByteArray("\xff\xfe[\x00t\x00]\x00", 8),
          QByteArray("[tvGoodscode]\nCaption=\xe5\xba\x0f\n")}) {
        EXPECT_FALSE(view->restoreLayout(bad)) << bad.constData();
        EXPECT_EQ(view->saveLayout(), before);
    }
}

TEST_F(GridViewTest, HeaderClicksSortTheRecordSetAndReverseIt) {
    addStandardColumns();
    showView();
    rs.moveTo(2);  // 康师傅方便面 stays current through every sort
    GridColumn* qty = view->columnByField("qty");
    GridColumn* name = view->columnByField("name");

    clickHeader("qty");
    EXPECT_EQ(columnValues("qty"), "3,5,10,24,48");
    EXPECT_EQ(qty->sortIndex, 0);
    EXPECT_EQ(qty->sortOrder, Qt::AscendingOrder);
    EXPECT_EQ(rs.field("id").asInteger(), 3);
    EXPECT_EQ(view->currentIndex().row(), rs.recNo());

    clickHeader("qty");
    EXPECT_EQ(columnValues("qty"), "48,24,10,5,3");
    EXPECT_EQ(qty->sortOrder, Qt::DescendingOrder);

    // Ctrl adds a column behind the first; a plain click sorts by that column alone.
    clickHeader("name", Qt::ControlModifier);
    EXPECT_EQ(qty->sortIndex, 0);
    EXPECT_EQ(name->sortIndex, 1);
    clickHeader("code");
    EXPECT_EQ(qty->sortIndex, -1);
    EXPECT_EQ(name->sortIndex, -1);
    EXPECT_EQ(columnValues("code"), "A001,A002,B001,B002,C001");
    EXPECT_EQ(rs.field("id").asInteger(), 3);

    // Reloaded rows come in the order the header shows.
    clickHeader("code");
    ASSERT_TRUE(db().openDataToCDS(rs, "select * from goods order by id"));
    EXPECT_EQ(columnValues("code"), "C001,B002,B001,A002,A001");
    EXPECT_EQ(rs.recNo(), 0);
    EXPECT_EQ(view->currentIndex().row(), 0);
}

TEST_F(GridViewTest, BandsKeepTheirColumnsTogetherUnderACaptionRow) {
    const int plainHeight = header()->sizeHint().height();
    const int basic = view->addBand("基本信息");
    const int money = view->addBand("数量金额");
    add("code", "编码", 80)->band = basic;
    add("qty", "数量", 70)->band = money;
    add("memo", "备注", 120);
    add("name", "商品名称", 160)->band = basic;
    add("amount", "金额", 100)->band = money;
    view->applyColumns();

    EXPECT_EQ(shownColumns(),
              "code:编码:80|name:商品名称:160|qty:数量:70|amount:金额:100|memo:备注:120");
    EXPECT_EQ(header()->sizeHint().height(), 2 * plainHeight);

    // A click on the band row does not sort; one on the caption row does.
    showView();
    const int x = header()->sectionViewportPosition(field("qty")) + 10;
    QTest::mouseClick(header()->viewport(), Qt::LeftButton, {}, QPoint(x, 3));
    EXPECT_EQ(view->columnByField("qty")->sortIndex, -1);
    clickHeader("qty");
    EXPECT_EQ(view->columnByField("qty")->sortIndex, 0);

    // A column dragged out of its band goes back among its band's columns.
    header()->moveSection(header()->visualIndex(field("name")), 4);
    EXPECT_EQ(shownColumns(),
              "code:编码:80|name:商品名称:160|qty:数量:70|amount:金额:100|memo:备注:120");

    view->setBandHeaderVisible(false);
    view->applyColumns();
    EXPECT_EQ(header()->sizeHint().height(), plainHeight);
}

TEST_F(GridViewTest, ColumnChooserListsTheColumnsAndTogglesThem) {
    addStandardColumns();
    view->columnByField("memo")->visible = false;
    view->applyColumns();
    view->setColumnChooserEnabled(true);
    Q_EMIT header()->customContextMenuRequested(QPoint(5, 5));
    auto* menu = view->findChild<QMenu*>("columnChooser");
    ASSERT_NE(menu, nullptr);
    QStringList items;
    for (QAction* a : menu->actions())
        items << a->text() + (a->isChecked() ? "+" : "-");
    EXPECT_EQ(items.join(' '), "编码+ 商品名称+ 数量+ 金额+ 备注-");

    menu->actions()[1]->trigger();
    menu->actions()[4]->trigger();
    EXPECT_FALSE(view->columnByField("name")->visible);
    EXPECT_EQ(shownColumns(), "code:编码:80|qty:数量:70|amount:金额:100|memo:备注:120");
    menu->close();
}

TEST_F(GridViewTest, AutoWidthSharesTheViewportInProportion) {
    add("code", "编码", 100);
    add("name", "商品名称", 200);
    add("qty", "数量", 100);
    view->setAutoWidth(true);
    view->applyColumns();
    showView();
    auto widths = [&] {
        return std::vector<int>{header()->sectionSize(field("code")),
                                header()->sectionSize(field("name")),
                                header()->sectionSize(field("qty"))};
    };
    auto total = [&](const std::vector<int>& w) { return w[0] + w[1] + w[2]; };
    std::vector<int> w = widths();
    EXPECT_EQ(total(w), view->viewport()->width());
    EXPECT_NEAR(w[1], 2 * w[0], 1);
    EXPECT_EQ(header()->length(), view->viewport()->width());

    view->resize(420, 200);
    QCoreApplication::processEvents();
    w = widths();
    EXPECT_EQ(total(w), view->viewport()->width());
    EXPECT_NEAR(w[1], 2 * w[2], 1);
}

// The new-item row: under the records, as high as a row, its text painted; a click or a typed
// key appends exactly one record through the record set (its insert events run), a refusal or a
// closed record set none; off, there is no row and the records have its room.
TEST_F(GridViewTest, NewItemRowAppendsOneRecordWhenClickedOrTypedInto) {
    addStandardColumns();
    view->setDataRowHeight(24);
    showView();
    QApplication::setActiveWindow(view.get());
    auto* bar = view->findChild<QWidget*>("newItemRow");
    ASSERT_NE(bar, nullptr);
    const int fullHeight = view->viewport()->height();
    EXPECT_TRUE(bar->isHidden());

    view->setNewItemRowVisible(true);
    EXPECT_EQ(view->viewport()->height(), fullHeight - 24);
    EXPECT_EQ(bar->geometry().top(), view->viewport()->geometry().bottom() + 1);
    Qd::Test::keepRender(*view, "grid_new_item_row.png");

    // A click: one record, current in its first shown cell.
    int inserts = 0;
    rs.beforeInsert = [&](RecordSet&) { ++inserts; };
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->rect().center());
    EXPECT_EQ(inserts, 1);
    EXPECT_EQ(rs.recordCount(), 6);
    EXPECT_EQ(rs.state(), Db::DataSetState::Insert);
    EXPECT_EQ(view->currentIndex(), cell(5, "code"));

    // Down on the last record moves into the row, Up back; a key typed there posts the record
    // before, appends one and goes on into its first cell.
    rs.field("code").setValue("N001");
    view->setFocus();
    QTest::keyClick(view.get(), Qt::Key_Down);
    EXPECT_TRUE(bar->hasFocus());
    QTest::keyClick(bar, Qt::Key_Up);
    EXPECT_TRUE(view->hasFocus());
    QTest::keyClick(view.get(), Qt::Key_Down);
    QTest::keyClicks(bar, "X");
    EXPECT_EQ(inserts, 2);
    EXPECT_EQ(rs.recordCount(), 7);
    EXPECT_EQ(rs.textAt(rs.rowAt(5), field("code")), "N001");
    ASSERT_TRUE(view->isEditing());
    view->setCurrentIndex(cell(0, "code"));  // commits the editor and posts
    EXPECT_EQ(rs.textAt(rs.rowAt(6), field("code")), "X");
    EXPECT_EQ(rs.state(), Db::DataSetState::Browse);

    // Refused, or on a closed record set, nothing is appended.
    rs.beforeInsert = [](RecordSet&) { Sys::Abort(); };
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->rect().center());
    EXPECT_EQ(rs.recordCount(), 7);
    EXPECT_EQ(rs.state(), Db::DataSetState::Browse);
    rs.beforeInsert = nullptr;
    rs.close();
    EXPECT_FALSE(view->appendNewItem());

    view->setNewItemRowVisible(false);
    EXPECT_TRUE(bar->isHidden());
    EXPECT_EQ(view->viewport()->height(), fullHeight);
}

// ---- the tree view --------------------------------------------------------------------------

namespace {

class GridTreeTest : public Qd::Test::DbTest {
protected:
    void SetUp() override {
        DbTest::SetUp();
        ASSERT_TRUE(db().execSQL(
            "create table category(id int, pid int, code varchar(10), name nvarchar(20))\n"
            "insert into category values (1, 0, '01', N'食品')\n"
            "insert into category values (2, 0, '02', N'日用品')\n"
            "insert into category values (3, 1, '0101', N'饮料')\n"
            "insert into category values (4, 1, '0102', N'零食')\n"
            "insert into category values (5, 2, '0201', N'洗护')\n"
            "insert into category values (6, 99, '09', N'无主分类')\n"
            "insert into category values (7, 8, '07', N'甲')\n"
            "insert into category values (8, 7, '08', N'乙')\n"));
        ASSERT_TRUE(db().openDataToCDS(rs, "select * from category order by id"));
        tree.setRecordSet(&rs, "id", "pid", {"code", "name"});
    }
    // The tree as text: each node's name, its children in parentheses.
    QString shape(const QModelIndex& parent = {}) const {
        const QAbstractItemModel* m = tree.model();
        QStringList out;
        for (int r = 0; r < m->rowCount(parent); ++r) {
            const QModelIndex node = m->index(r, 1, parent);
            const QModelIndex first = m->index(r, 0, parent);
            const QString children = shape(first);
            out << node.data().toString() + (children.isEmpty() ? "" : "(" + children + ")");
        }
        return out.join(' ');
    }

    RecordSet rs;
    Ui::GridTreeView tree{"dbtCategory"};
    QAbstractItemModelTester tester{tree.model(),
                                    QAbstractItemModelTester::FailureReportingMode::Fatal};
};

}  // namespace

TEST_F(GridTreeTest, RecordsHangUnderTheirParentsAndFollowTheCursor) {
    EXPECT_EQ(shape(), "食品(饮料 零食) 日用品(洗护) 无主分类 甲(乙)");
    EXPECT_TRUE(tree.isExpanded(tree.model()->index(0, 0)));

    // A new child appears under its parent and becomes current with the record set's cursor.
    rs.append();
    rs.field("id").setValue(9);
    rs.field("pid").setValue(2);
    rs.field("name").setValue(QStringLiteral("纸品"));
    rs.post();
    EXPECT_EQ(shape(), "食品(饮料 零食) 日用品(洗护 纸品) 无主分类 甲(乙)");
    EXPECT_EQ(tree.currentKey().toInt(), 9);

    // A rename repaints; a reload rebuilds.
    ASSERT_TRUE(tree.model()->setData(tree.model()->index(1, 1), QStringLiteral("日化")));
    rs.post();
    EXPECT_EQ(shape(), "食品(饮料 零食) 日化(洗护 纸品) 无主分类 甲(乙)");
    ASSERT_TRUE(db().openDataToCDS(rs, "select * from category where id <= 3"));
    EXPECT_EQ(shape(), "食品(饮料) 日用品");
    ASSERT_TRUE(db().openDataToCDS(rs, "select * from category order by id"));

    // Selection and cursor follow each other.
    QSignalSpy keys(&tree, &Ui::GridTreeView::currentKeyChanged);
    ASSERT_TRUE(tree.selectKey(4));
    EXPECT_EQ(tree.currentKey().toInt(), 4);
    EXPECT_EQ(rs.field("name").asString(), QStringLiteral("零食"));
    ASSERT_EQ(keys.count(), 1);
    EXPECT_EQ(keys[0][0].toInt(), 4);
    EXPECT_FALSE(tree.selectKey(42));
    EXPECT_EQ(keys.count(), 1);

    ASSERT_TRUE(rs.locate("id", 5));
    EXPECT_EQ(tree.currentKey().toInt(), 5);
    EXPECT_EQ(keys.count(), 2);

    // A record that cannot be left keeps the selection on it.
    rs.beforeScroll = [](RecordSet&) { Sys::Abort(); };
    EXPECT_FALSE(tree.selectKey(1));
    EXPECT_EQ(tree.currentKey().toInt(), 5);
    EXPECT_EQ(keys.count(), 2);
}

// ---- the grid -------------------------------------------------------------------------------

TEST(Grid, ShowsTabsOnlyWithSeveralLevels) {
    Ui::Grid grid("cxgMain");
    GridView* first = grid.addLevel("cxgMainDBTableView1");
    EXPECT_TRUE(grid.findChild<QTabBar*>()->isHidden());
    GridView* second = grid.addLevel("cxgMainDBTableView2", "明细");
    EXPECT_FALSE(grid.findChild<QTabBar*>()->isHidden());
    EXPECT_EQ(grid.view(2), nullptr);

    grid.setActiveLevel(1);
    EXPECT_EQ(grid.findChild<QStackedWidget*>()->currentWidget(), second);
    grid.findChild<QTabBar*>()->setCurrentIndex(0);
    EXPECT_EQ(grid.findChild<QStackedWidget*>()->currentWidget(), first);
}
