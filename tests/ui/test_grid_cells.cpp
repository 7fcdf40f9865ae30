// What grid cells show: one line with the whole text in the tooltip, a column's own display
// text (sorting still by value), and the drop-down memo of a read-only list.
#include <gtest/gtest.h>

#include <QApplication>
#include <QHeaderView>
#include <QHelpEvent>
#include <QPlainTextEdit>
#include <QTest>
#include <QTextDocumentFragment>
#include <QToolTip>

#include "support/Render.h"
#include "support/TestEnv.h"
#include "ui/editors/Editors.h"
#include "ui/grid/Grid.h"

using namespace Qd::Core;
using Db::RecordSet;
using Ui::EditorKind;
using Ui::GridColumn;
using Ui::GridView;
using Ui::MemoPopup;

namespace {

// Three messages of a conversation: a short one, one of two lines, one long line.
const char* kNotes =
    "create table notes(id int, who nvarchar(20), msg nvarchar(4000), bytes int)\n"
    "insert into notes values (1, N'张伟', N'收到', 1152)\n"
    "insert into notes values (2, N'李娜', N'第一行\r\n第二行', 900)\n"
    "insert into notes values (3, N'王芳', N'这是一条很长很长的反馈内容，说明了订单的交货时间、"
    "数量和包装要求，需要仔细阅读', 2048000)\n";

const QString kTwoLines = QStringLiteral("第一行\n第二行");

// The size texts of the attachment list, as a column hook would give them.
QString sizeText(const QVariant& v) {
    const qlonglong n = v.toLongLong();
    if (n < 1024)
        return QStringLiteral("%1B").arg(n);
    if (n < 1024 * 1024)
        return QString::number(n / 1024.0, 'f', 2) + QStringLiteral("KB");
    return QString::number(n / 1024.0 / 1024.0, 'f', 2) + QStringLiteral("M");
}

class GridCellsTest : public Qd::Test::DbTest {
protected:
    void SetUp() override {
        DbTest::SetUp();
        ASSERT_TRUE(db().execSQL(kNotes));
        ASSERT_TRUE(db().openDataToCDS(rs, "select * from notes order by id"));
        rs.setReadOnly(true);
        view = std::make_unique<GridView>("tvNotes");
        view->resize(520, 220);
        view->setRecordSet(&rs);
        add("who", "操作员", 80);
        add("msg", "反馈内容", 200);
        add("bytes", "文件大小", 90);
        view->applyColumns();
    }
    void TearDown() override {
        view.reset();
        DbTest::TearDown();
    }

    GridColumn* add(const QString& field, const QString& caption, int width) {
        GridColumn* c = view->addColumn("tvNotes" + field + caption);
        c->fieldName = field;
        c->caption = caption;
        c->width = width;
        return c;
    }
    QModelIndex cell(int row, const char* field) const {
        return view->recordSetModel()->index(row, rs.fieldIndex(field));
    }
    // The message column as the ticket list has it: "查看", a drop-down memo.
    void makeMemoColumn() {
        GridColumn* memo = view->columnByField("msg");
        memo->caption = QStringLiteral("查看");
        memo->width = 160;
        memo->props.kind = EditorKind::PopupMemo;
        view->applyColumns();
    }
    void showView() {
        view->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(view.get()));
    }
    // The tooltip a hover over a cell brings up, as plain text; empty when none shows.
    QString toolTipOver(int row, const char* field) {
        // A tip hidden by QToolTip stays up a moment; the one up from the last hover goes now.
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->inherits("QTipLabel"))
                w->hide();
        const QRect r = view->visualRect(cell(row, field));
        QHelpEvent help(QEvent::ToolTip, r.center(), view->viewport()->mapToGlobal(r.center()));
        QApplication::sendEvent(view->viewport(), &help);
        if (!QToolTip::isVisible())
            return QString();
        QString text = QTextDocumentFragment::fromHtml(QToolTip::text()).toPlainText();
        text.replace(QChar::LineSeparator, u'\n');
        return text;
    }
    MemoPopup* popup() const { return view->viewport()->findChild<MemoPopup*>(); }
    bool popupShown() const { return popup() && popup()->isVisible(); }

    RecordSet rs;
    std::unique_ptr<GridView> view;
};

// The text a cell paints.
QString cellText(GridView* view, const QModelIndex& index) {
    QStyleOptionViewItem option;
    option.initFrom(view);
    static_cast<Ui::ColumnDelegate*>(view->itemDelegate())->initStyleOption(&option, index);
    return option.text;
}

// The font and text colour a cell paints with.
QStyleOptionViewItem cellStyle(GridView* view, const QModelIndex& index) {
    QStyleOptionViewItem option;
    option.initFrom(view);
    static_cast<Ui::ColumnDelegate*>(view->itemDelegate())->initStyleOption(&option, index);
    return option;
}

}  // namespace

// A value of several lines shows on one line, line breaks as blanks; the tooltip holds the whole
// text, lines kept, for such a cell and for a cell whose text is cut; a text that fits has none.
TEST_F(GridCellsTest, CellsShowOneLineAndTheWholeTextInTheirTooltip) {
    showView();
    EXPECT_EQ(cellText(view.get(), cell(1, "msg")), QStringLiteral("第一行 第二行"));
    EXPECT_EQ(toolTipOver(1, "msg"), kTwoLines);

    const QString longText = rs.textAt(rs.rowAt(2), rs.fieldIndex("msg"));
    EXPECT_EQ(cellText(view.get(), cell(2, "msg")), longText);  // cut with "…" when painted
    EXPECT_EQ(toolTipOver(2, "msg"), longText);

    EXPECT_EQ(toolTipOver(0, "msg"), QString());
    EXPECT_EQ(toolTipOver(0, "who"), QString());
    Qd::Test::keepRender(*view, "grid_one_line_cells.png");

    // Markup in a value is shown as typed, in the cell and in the tooltip.
    rs.setReadOnly(false);
    rs.moveTo(1);
    rs.edit();
    rs.field("msg").setValue(QStringLiteral("<b>加粗</b>\r\n第二行"));
    rs.post();
    EXPECT_EQ(cellText(view.get(), cell(1, "msg")), QStringLiteral("<b>加粗</b> 第二行"));
    EXPECT_EQ(toolTipOver(1, "msg"), QStringLiteral("<b>加粗</b>\n第二行"));
}

// A column's display hook gives the text of every cell (and its tooltip when cut); sorting by its
// header still orders by the stored numbers, not by the texts.
TEST_F(GridCellsTest, DisplayHookGivesTheTextAndSortingStaysByValue) {
    GridColumn* bytes = view->columnByField("bytes");
    bytes->props.shownText = sizeText;
    view->applyColumns();
    showView();
    EXPECT_EQ(cellText(view.get(), cell(0, "bytes")), QStringLiteral("1.13KB"));
    EXPECT_EQ(cellText(view.get(), cell(1, "bytes")), QStringLiteral("900B"));
    EXPECT_EQ(cellText(view.get(), cell(2, "bytes")), QStringLiteral("1.95M"));

    // By text the order would be 1.13KB, 1.95M, 900B.
    const int section = rs.fieldIndex("bytes");
    QTest::mouseClick(view->horizontalHeader()->viewport(), Qt::LeftButton, {},
                      QPoint(view->horizontalHeader()->sectionViewportPosition(section) + 10, 5));
    QStringList order;
    for (int pos = 0; pos < rs.recordCount(); ++pos)
        order << cellText(view.get(), cell(pos, "bytes"));
    EXPECT_EQ(order, QStringList({"900B", "1.13KB", "1.95M"}));

    bytes->width = 20;
    view->applyColumns();
    EXPECT_EQ(toolTipOver(0, "bytes"), QStringLiteral("900B"));
}

// The "查看" column of a read-only list: a click drops the whole text down under the cell,
// read-only; Escape closes it; F4 and Alt+Down open
// it from the keyboard; other columns do not; the record is never edited.
TEST_F(GridCellsTest, PopupMemoDropsDownTheWholeTextInAReadOnlyList) {
    makeMemoColumn();
    view->columnByField("msg")->editing = false;
    showView();
    QApplication::setActiveWindow(view.get());
    EXPECT_EQ(cellText(view.get(), cell(1, "msg")), QStringLiteral("第一行 第二行"));

    const QRect r = view->visualRect(cell(1, "msg"));
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, r.center());
    ASSERT_TRUE(popupShown());
    EXPECT_EQ(popup()->text(), kTwoLines);
    QPlainTextEdit* text = popup()->memo();
    EXPECT_TRUE(text->isReadOnly());
    EXPECT_GE(popup()->geometry().top(), view->viewport()->mapToGlobal(r.bottomLeft()).y());
    EXPECT_GE(popup()->width(), r.width());
    QTest::keyClick(text, Qt::Key_Escape);
    EXPECT_FALSE(popupShown());

    view->setCurrentIndex(cell(2, "msg"));
    QTest::keyClick(view.get(), Qt::Key_F4);
    ASSERT_TRUE(popupShown());
    EXPECT_EQ(popup()->text(), rs.textAt(rs.rowAt(2), rs.fieldIndex("msg")));
    popup()->hide();
    view->setCurrentIndex(cell(0, "msg"));
    QTest::keyClick(view.get(), Qt::Key_Down, Qt::AltModifier);
    ASSERT_TRUE(popupShown());
    EXPECT_EQ(popup()->text(), QStringLiteral("收到"));
    EXPECT_EQ(view->currentIndex().row(), 0);  // Alt+Down did not move to the next row
    popup()->hide();

    QTest::mouseClick(view->viewport(), Qt::LeftButton, {},
                      view->visualRect(cell(2, "who")).center());
    QTest::keyClick(view.get(), Qt::Key_F4);
    EXPECT_FALSE(popupShown());
    EXPECT_FALSE(view->showMemoPopup(cell(1, "who")));
    EXPECT_EQ(rs.state(), Db::DataSetState::Browse);
}

// In an editable list the memo column still only drops down: a double click opens no editor
// over it, and a very long text comes whole into the drop-down while the tooltip is cut.
TEST_F(GridCellsTest, PopupMemoNeverEditsInPlaceAndHoldsAnyLength) {
    rs.setReadOnly(false);
    makeMemoColumn();
    showView();

    const QString huge = QString(100000, u'长') + QStringLiteral("😀'\"");
    rs.moveTo(0);
    rs.edit();
    rs.field("msg").setValue(huge);
    rs.post();
    QTest::mouseDClick(view->viewport(), Qt::LeftButton, {},
                       view->visualRect(cell(1, "msg")).center());
    EXPECT_FALSE(view->isEditing());

    ASSERT_TRUE(view->showMemoPopup(cell(0, "msg")));
    EXPECT_EQ(popup()->text(), huge);
    popup()->hide();
    const QString tip = toolTipOver(0, "msg");
    EXPECT_EQ(tip.size(), 2001);
    EXPECT_TRUE(tip.endsWith(QStringLiteral("长…")));
}

// A row style reaches every cell of its row and follows the record it is asked about; rows it
// leaves plain, and every row of a view without the hook, keep the view's font and colour; a
// cell note still marks its own cell over the row's colour.
TEST_F(GridCellsTest, RowStyleDrawsWholeRowsAndLeavesOthersPlain) {
    const QColor plain = cellStyle(view.get(), cell(0, "who")).palette.color(QPalette::Text);
    const bool plainBold = cellStyle(view.get(), cell(0, "who")).font.bold();
    view->setRowStyle([this](int row) {
        Ui::RowStyle style;
        if (rs.intAt(rs.rowAt(row), rs.fieldIndex("bytes")) > 1000) {  // the large attachments
            style.bold = true;
            style.color = Qt::darkRed;
        }
        return style;
    });
    for (const char* field : {"who", "msg", "bytes"}) {
        for (int row : {0, 2}) {
            const QStyleOptionViewItem large = cellStyle(view.get(), cell(row, field));
            EXPECT_TRUE(large.font.bold()) << field << row;
            EXPECT_EQ(large.palette.color(QPalette::Text), QColor(Qt::darkRed)) << field << row;
        }
        const QStyleOptionViewItem small = cellStyle(view.get(), cell(1, field));
        EXPECT_EQ(small.font.bold(), plainBold) << field;
        EXPECT_EQ(small.palette.color(QPalette::Text), plain) << field;
    }
    view->columnByField("msg")->props.cellNote = [](int row) {
        return row == 0 ? QStringLiteral("已改") : QString();
    };
    EXPECT_NE(cellStyle(view.get(), cell(0, "msg")).palette.color(QPalette::Text),
              QColor(Qt::darkRed));
    EXPECT_EQ(cellStyle(view.get(), cell(0, "who")).palette.color(QPalette::Text),
              QColor(Qt::darkRed));

    view->setRowStyle({});
    EXPECT_EQ(cellStyle(view.get(), cell(2, "who")).palette.color(QPalette::Text), plain);
    EXPECT_EQ(cellStyle(view.get(), cell(2, "who")).font.bold(), plainBold);
}

// Grouping by a field: a group row before each value's records (in the order the values first
// appear), the cursor moving between view rows and records both ways, group rows neither
// editable nor counted as selected rows; a record whose value changes moves to its new group,
// an appended one joins its group, and clearing the grouping shows the records plainly again.
TEST_F(GridCellsTest, GroupingPutsAGroupRowBeforeEachValue) {
    rs.setReadOnly(false);
    ASSERT_TRUE(view->groupBy("who", {true, Qt::red}));
    EXPECT_FALSE(view->groupBy("nosuchfield"));
    QAbstractItemModel* m = view->model();
    auto shown = [&] {
        QStringList rows;
        for (int r = 0; r < m->rowCount(); ++r)
            rows << (m->index(r, 0).data(Ui::GroupRowRole).toBool()
                         ? "[" + m->index(r, 0).data().toString() + "]"
                         : QString::number(view->recordAt(r)));
        return rows.join(' ');
    };
    EXPECT_EQ(shown(), "[张伟 (1)] 0 [李娜 (1)] 1 [王芳 (1)] 2");

    rs.moveTo(2);
    EXPECT_EQ(view->currentIndex().row(), 5);
    view->setCurrentIndex(m->index(3, rs.fieldIndex("who")));
    EXPECT_EQ(rs.recNo(), 1);
    EXPECT_EQ(view->selectedRowPositions(), QList<int>({1}));
    view->setCurrentIndex(m->index(2, rs.fieldIndex("who")));  // a group row
    EXPECT_EQ(rs.recNo(), 1);
    EXPECT_FALSE(m->flags(m->index(2, 0)) & Qt::ItemIsEditable);
    EXPECT_FALSE(m->flags(m->index(2, 0)) & Qt::ItemIsSelectable);

    rs.moveTo(2);
    rs.edit();
    rs.field("who").setValue(QStringLiteral("张伟"));
    rs.post();
    EXPECT_EQ(shown(), "[张伟 (2)] 0 2 [李娜 (1)] 1");
    rs.append();
    rs.field("who").setValue(QStringLiteral("李娜"));
    rs.post();
    EXPECT_EQ(shown(), "[张伟 (2)] 0 2 [李娜 (2)] 1 3");
    EXPECT_EQ(view->recordAt(view->currentIndex().row()), 3);

    view->clearGrouping();
    EXPECT_EQ(view->model(), view->recordSetModel());
    EXPECT_EQ(view->currentIndex().row(), 3);
    EXPECT_EQ(view->recordAt(1), 1);
}
