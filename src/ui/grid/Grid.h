#pragma once

// The data grid of the widget kit: a grid component holds one or more top-level levels, each
// showing one view of a record set (a table view, optionally banded, or a tree view). Columns
// are built at run time (from column descriptors) and their editors are described by
// EditorProps; the editors themselves live in src/ui/editors.

#include <QColor>
#include <QPointer>
#include <QTableView>
#include <QTreeView>
#include <functional>

#include "db/RecordSet.h"
#include "db/RecordSetModel.h"

class QTabBar;
class QStackedWidget;

namespace Qd::Core::Ui {

enum class EditorKind {
    Text,
    LookupCombo,    // a lookup combo box over a list record set
    LookupComboL2,  // the same, for a second-level list (re-opened on popup)
    Combo,          // a drop-down list of fixed items
    Money,          // currency: decimals and display format
    Integer,
    Decimal,
    Date,
    DateTime,
    Check,
    Color,
    Button,  // a text with an ellipsis button
    File,    // a button edit that picks a file
    Memo,
    RichText,
    // A drop-down memo for reading: the cell shows the text on one line; a click on it, F4 or
    // Alt+Down drops down the whole text, read-only and selectable, with a vertical scroll bar
    // (Escape or a click elsewhere closes it). It opens in read-only grids too and never edits
    // the cell in place; on a form it is a read-only memo.
    PopupMemo,
};

// A drop-down column of a lookup combo box.
struct LookupColumn {
    QString fieldName;
    QString caption;
    int width = 80;
};

// How a column's (or a form field's) values are edited and shown.
struct EditorProps {
    EditorKind kind = EditorKind::Text;

    // Lookups: the list rows, the field stored in the edited field, the field(s) shown.
    Db::RecordSet* listSource = nullptr;  // not owned (a TjoinTableObject's record set)
    QString keyField;
    QString listFields;
    int listFieldIndex = -1;  // the one list field (by position) the box shows; -1: all of them
    QList<LookupColumn> dropDownColumns;
    bool alwaysShowButton = true;
    bool gridMode = true;  // rows fetched as needed
    bool autoSize = true;  // drop-down sized to its columns

    // Combo: the fixed choices; only these can be chosen.
    QStringList items;

    // Money / decimal: decimal places (-1: the editor's default) and display format such as
    // "#,##0.00" or "0.0000" (empty: plain).
    int decimals = -1;
    QString displayFormat;

    // What a cell shows for a value (NULL included) instead of the kind's own text, such as
    // "1.13KB" for a stored byte count. Only the text changes: sorting, editing and the footer
    // still use the value. Unset: the kind's text.
    std::function<QString(const QVariant& value)> shownText;
    // A note on a cell (by row position), such as the default a value differs from: a cell with a
    // note is marked (bold, in the marked colour, on a tinted ground) and the note is its
    // tooltip. Unset or empty: no mark.
    std::function<QString(int row)> cellNote;

    // Hooks: the value of a lookup editor changed (the editor widget is passed); the popup of a
    // second-level lookup is about to open; the ellipsis button of a button edit was clicked.
    std::function<void(QWidget* editor)> onEditValueChanged;
    std::function<void(QWidget* editor)> onInitPopup;
    std::function<void(QWidget* editor)> onButtonClick;
};

// A model role true for a group row of a grouped view (GridView::groupBy).
inline constexpr int GroupRowRole = Qt::UserRole + 0x100;

enum class SummaryKind { None, Sum, Count, Min, Max, Average };

class GridView;

// How a whole row is drawn: its font weight and text colour (an invalid colour: the view's).
struct RowStyle {
    bool bold = false;
    QColor color;
};

// One column of a view: the field it shows, its caption and width, whether it is shown and
// editable, its editor, its footer summary and, in a banded view, its band.
class GridColumn : public QObject {
    Q_OBJECT
public:
    GridColumn(GridView* view, const QString& name);

    QString name() const { return objectName(); }  // component name, e.g. cxgMainDBTableView1code
    GridView* view() const { return m_view; }
    int index() const;  // position among the view's columns (display order)

    QString fieldName;
    QString caption;
    int width = 100;
    bool visible = true;
    bool editing = true;  // the column's own editing option
    EditorProps props;
    SummaryKind footerKind = SummaryKind::None;
    QString footerFormat;  // display format of the footer value
    int band = -1;         // index of its band in a banded view; -1 none
    Qt::SortOrder sortOrder = Qt::AscendingOrder;
    int sortIndex = -1;  // -1: not sorted by this column

private:
    GridView* m_view;  // not owned: the view owns its columns
};

// A data-bound table view over a record set. Every cell shows its text on one line (line breaks
// as blanks), ending with an ellipsis where it is cut; the tooltip of such a cell holds the whole
// text with its line breaks. Its vertical header is the row indicator, drawn
// by the installed indicator painter (TMyCxGrid.DrawIndicatorCell installs one); its footer
// shows column summaries; with bands it shows a row of band captions above the column
// headers. Edits go through the record set (RecordSetModel).
class GridView : public QTableView {
    Q_OBJECT
public:
    GridView(const QString& name, QWidget* parent = nullptr);
    ~GridView() override;

    void setRecordSet(Db::RecordSet* rs);  // not owned
    Db::RecordSet* recordSet() const;
    Db::RecordSetModel* recordSetModel() const;

    // ---- columns ----
    GridColumn* addColumn(const QString& name);
    // A column of `field`, named after the view and the field (cxgMainDBTableView1code), with its
    // caption, width and editor kind; read-only unless `editing`.
    GridColumn* addFieldColumn(const QString& field, const QString& caption, int width,
                               EditorKind kind = EditorKind::Text, bool editing = false);
    void removeColumn(GridColumn* column);
    void clearColumns();
    const QList<GridColumn*>& columns() const;
    GridColumn* columnByName(const QString& name) const;
    GridColumn* columnByField(const QString& fieldName) const;
    // The column showing a model column (a field of the record set); null when none shows it.
    GridColumn* columnAt(int modelColumn) const;
    // Applies the columns' settings (order, captions, widths, visibility, editors, sort) to the
    // view; call after changing columns.
    void applyColumns();

    // ---- bands ----
    int addBand(const QString& caption);
    QStringList bands() const;
    void clearBands();  // columns keep their band numbers; call applyColumns after
    // The band caption row shows when there are bands and this is on (the default).
    void setBandHeaderVisible(bool on);
    bool bandHeaderVisible() const;

    // ---- look ----
    void setDataRowHeight(int h);
    void setHeaderHeight(int h);
    void setIndicatorVisible(bool on);
    void setIndicatorWidth(int w);
    int indicatorWidth() const;
    // Draws one indicator cell: the header corner cell (row -1) or a row's cell.
    using IndicatorPainter =
        std::function<void(QPainter& p, const QRect& cell, int row, bool focused, bool editing)>;
    void setIndicatorPainter(IndicatorPainter painter);
    void setEmptyText(const QString& text);  // shown when the view has no rows
    QString emptyText() const;
    void setColumnChooserEnabled(bool on);  // header context menu listing the columns
    void setFooterVisible(bool on);
    bool footerVisible() const;
    void setAutoWidth(bool on);  // columns share the view's width
    bool autoWidth() const;
    // True while a cell editor is open.
    bool isEditing() const;
    // Enter (in a cell editor or on a cell) moves to the next cell, from the last column on to
    // the next row, instead of ending the edit there.
    void setEnterMovesToNextCell(bool on);
    // Several rows can be selected (Ctrl and Shift clicks); selectedRowPositions lists them in
    // the order they were selected, the current row alone when none is.
    void setMultiSelect(bool on);
    // Whether the cells of a row (by position) may be edited; unset, every row may.
    void setRowEditable(std::function<bool(int row)> editable);
    // Row styles: the hook gives the style of a record (by position) for every cell of its row;
    // a cell note still marks its own cell. Unset, every row is drawn plainly.
    void setRowStyle(std::function<RowStyle(int row)> style);
    RowStyle rowStyle(int row) const;  // the hook's style of a record; plain when unset
    QList<int> selectedRowPositions() const;
    // Rows and rectangular ranges of cells can be selected (a row by its indicator cell, ranges
    // by dragging, Ctrl and Shift adding to them).
    void setCellSelection(bool on);
    // What is selected as a block: every row holding a selected cell, in grid order, and every
    // column holding one, in the order the ranges were selected (within a range from left to
    // right as shown, whichever way it was dragged). The current cell alone when nothing is
    // selected; nothing without a current cell.
    struct CellBlock {
        QList<int> rows;     // row positions, ascending
        QList<int> columns;  // model columns
    };
    CellBlock selectedBlock() const;
    // Drops down the memo of a cell of a PopupMemo column under the cell (what a click, F4 or
    // Alt+Down on it does); false when the cell is not one.
    bool showMemoPopup(const QModelIndex& index);

    // The footer's value of a column (its summary over all rows), formatted; empty for none,
    // "…" while rows are still coming into the record set.
    QString footerText(const GridColumn* column) const;
    // Computes the footers again (rows that came in without the view being told one by one).
    void refreshFooter();

    // ---- grouping ----
    // Groups the rows by a field of the record set: a group row before the records of each
    // value (in the order the values first appear), spanning the width and showing the value
    // and the number of its records in `style` (bold when unset); every group is expanded.
    // False when the record set has no such field. clearGrouping shows the records plainly.
    bool groupBy(const QString& fieldName, RowStyle style = {true, QColor()});
    void clearGrouping();
    QString groupField() const;  // empty when not grouped
    // The record (by position) a row of the view shows; -1 for a group row. Row hooks
    // (setRowStyle, setRowEditable, cell notes) are asked by record.
    int recordAt(int viewRow) const;

    // ---- new-item row ----
    // A row under the records, showing its text ("点击这里添加新记录" unless set), where a click
    // or a key typed appends a record (appendNewItem). Off by default; a form shows it where
    // the user may insert rows. The Down key on the last record moves into it.
    void setNewItemRowVisible(bool on);
    bool newItemRowVisible() const;
    void setNewItemRowText(const QString& text);
    QString newItemRowText() const;
    // Appends a record through the record set's append (its insert events run; a refusal
    // there ends it silently, a data error is shown) and makes the first shown cell of the new
    // record current. False when the record set is closed or refused.
    bool appendNewItem();

    // ---- layout ----
    // The view's column layout (order, width, visibility, sort) as ini text: one section per
    // column named by its component name with keys Index, FieldName, Caption, Width, Visible,
    // SortOrder, SortIndex. No filter or summary settings.
    QByteArray saveLayout() const;
    // Restores a layout: columns the text names and the view lacks are created, columns it does
    // not name are kept; unreadable text changes nothing. Returns false when nothing was read.
    bool restoreLayout(const QByteArray& ini);

    // Sorts by the columns whose sortIndex is set (clicking a header sorts by that column).
    void applySort();

    using QTableView::edit;

Q_SIGNALS:
    void columnsChanged();

protected:
    void paintEvent(QPaintEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void showEvent(QShowEvent* e) override;
    void updateGeometries() override;
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
    void keyPressEvent(QKeyEvent* e) override;
    bool edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) override;
    void closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) override;

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

// A tree view of a record set whose rows name their parent (key and parent fields), as the
// category tree shows them.
class GridTreeView : public QTreeView {
    Q_OBJECT
public:
    GridTreeView(const QString& name, QWidget* parent = nullptr);
    ~GridTreeView() override;
    // Shows the records of `rs` as a tree: a record whose parent field holds no key of another
    // record is a root. `displayFields` are the columns shown.
    void setRecordSet(Db::RecordSet* rs, const QString& keyField, const QString& parentField,
                      const QStringList& displayFields);
    // Rebuilds the tree from the record set (after it was reloaded).
    void refresh();
    // Selects the node of the record whose key is `key`; false when there is none.
    bool selectKey(const QVariant& key);
    QVariant currentKey() const;
    // Every row is `h` pixels high (0: as high as the style makes it).
    void setDataRowHeight(int h);

Q_SIGNALS:
    void currentKeyChanged(const QVariant& key);

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

// The grid component (cxgMain, ...): its top-level levels, each with one view. With more than
// one level, tabs above the views switch between them.
class Grid : public QWidget {
    Q_OBJECT
public:
    explicit Grid(const QString& name, QWidget* parent = nullptr);

    GridView* addLevel(const QString& viewName, const QString& caption = QString());
    QList<GridView*> views() const;  // the views of the top-level levels, in order
    GridView* view(int level = 0) const;
    void setActiveLevel(int level);

private:
    QTabBar* m_tabs;           // owned by the widget tree
    QStackedWidget* m_stack;   // owned by the widget tree
    QList<GridView*> m_views;  // owned by m_stack
};

}  // namespace Qd::Core::Ui
