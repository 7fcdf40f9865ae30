#pragma once

// The parts a grid view is assembled from: the column header with its band row, the row
// indicator, the footer bar, the summaries, the layout text and the tree model. Internal to
// src/ui/grid.

#include <QAbstractItemModel>
#include <QAbstractProxyModel>
#include <QHash>
#include <QHeaderView>
#include <QList>
#include <QMap>
#include <functional>
#include <optional>
#include <vector>

#include "ui/grid/Grid.h"

namespace Qd::Core::Ui::Internal {

// The horizontal header of a grid view: column captions from the view's columns, one sort
// arrow per sorted column, and, when the view has bands, a row of band captions above them.
// Clicks on the band row neither sort nor resize.
class ColumnHeader : public QHeaderView {
    Q_OBJECT
public:
    explicit ColumnHeader(GridView* view);

    void setRowHeight(int h);  // height of the column caption row; 0: the style's
    int bandHeight() const;    // 0 when no band row is shown
    // Keyboard modifiers of the last click on a caption (Ctrl adds a column to the sort).
    Qt::KeyboardModifiers clickModifiers() const { return m_clickModifiers; }
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* e) override;
    void paintSection(QPainter* p, const QRect& rect, int logicalIndex) const override;
    void initStyleOptionForIndex(QStyleOptionHeader* option, int logicalIndex) const override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;

private:
    int naturalRowHeight() const;
    void paintBands(QPainter& p) const;

    GridView* m_view;  // not owned: the view owns this header
    int m_rowHeight = 0;
    bool m_pressInBands = false;  // a press on the band row: its release is swallowed too
    Qt::KeyboardModifiers m_clickModifiers;
};

// The vertical header of a grid view: the row indicator. With a painter installed every cell,
// and the corner cell above it, is drawn by the painter.
class IndicatorHeader : public QHeaderView {
    Q_OBJECT
public:
    explicit IndicatorHeader(GridView* view);

    void setPainter(GridView::IndicatorPainter painter);
    bool hasPainter() const { return bool(m_painter); }
    // Paints the corner button of the view through the painter (installed as its event filter).
    bool eventFilter(QObject* watched, QEvent* e) override;

protected:
    void paintSection(QPainter* p, const QRect& rect, int logicalIndex) const override;

private:
    GridView* m_view;  // not owned: the view owns this header
    GridView::IndicatorPainter m_painter;
};

// The row under a view's cells showing each visible column's summary, aligned with the column
// headers (it reads their positions, so it follows scrolling and resizing).
class FooterBar : public QWidget {
    Q_OBJECT
public:
    explicit FooterBar(GridView* view);
    int preferredHeight() const;

protected:
    void paintEvent(QPaintEvent* e) override;

private:
    GridView* m_view;  // not owned: the view owns this bar
};

// The new-item row of a view: a row under the records, as wide as the footer, with its text
// where the cells would be. A click or a typed key appends a record through the view; typed
// text goes on into the new record's first cell.
class NewItemBar : public QWidget {
    Q_OBJECT
public:
    explicit NewItemBar(GridView* view);
    QString text;

protected:
    void paintEvent(QPaintEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;

private:
    GridView* m_view;  // not owned: the view owns this bar
};

// The summary of a column over every record of `rs` (field `field`), formatted with the
// column's footer format; empty for SummaryKind::None or when there is nothing to summarise.
QString summaryText(const Db::RecordSet& rs, int field, const GridColumn& column);

// A plain number: integers without decimals, others with `decimals` places, or (when
// negative) up to four places without trailing zeros.
QString plainNumber(double value, int decimals);

// One section of a layout text: the column's component name and its keys.
struct LayoutSection {
    QString name;
    QMap<QString, QString> keys;
};

// Layout text: "[name]" lines, each followed by "key=value" lines; ';' and '#' start comments.
// Names and values escape backslash, CR, LF and NUL, so that any caption or field name reads
// back as it was written.
QByteArray writeLayoutText(const QList<LayoutSection>& sections);
// nullopt when the text is not of that form or holds no section.
std::optional<QList<LayoutSection>> readLayoutText(const QByteArray& text);

// A tree over the records of a record set: each record is a node whose parent is the record
// whose key equals its parent field. Records whose parent field names no other record (or that
// would close a cycle) are roots. Node ids are record positions; rebuilt when the record set's
// rows change. Edits go through the record set (a RecordSetModel of its own).
class RecordTreeModel : public QAbstractItemModel {
    Q_OBJECT
public:
    explicit RecordTreeModel(QObject* parent = nullptr);

    void setSource(Db::RecordSet* rs, const QString& keyField, const QString& parentField,
                   const QStringList& displayFields);
    Db::RecordSet* recordSet() const { return m_source.recordSet(); }
    Db::RecordSetModel* sourceModel() { return &m_source; }
    void rebuild();
    // True while the tree is rebuilt because the record set's rows changed (then the record
    // set itself reports where its cursor went).
    bool rebuildingFromSource() const { return m_resetting || m_settingSource; }

    QModelIndex indexOfPosition(int pos) const;      // column 0; invalid for no record
    int positionOf(const QModelIndex& index) const;  // -1 for an invalid index
    QModelIndex indexOfKey(const QVariant& key) const;
    QVariant keyAt(const QModelIndex& index) const;  // the typed key value

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;

private:
    struct Node {
        int parent = -1;  // position of the parent record; -1 for a root
        int row = 0;      // place among its parent's children
        std::vector<int> children;
        QString key, parentKey;  // as built, to tell a re-parenting edit from a plain one
    };
    void build();
    void sourceRowsChanged(int first, int last);
    QString keyText(int pos) const;
    QString parentText(int pos) const;

    Db::RecordSetModel m_source;
    QString m_keyName, m_parentName;
    QStringList m_displayNames;
    int m_keyField = -1;
    int m_parentField = -1;
    std::vector<int> m_fields;  // displayed fields
    std::vector<Node> m_nodes;  // by record position
    std::vector<int> m_roots;
    QHash<QString, int> m_byKey;
    bool m_resetting = false;  // between a source's about-to and done signals
    bool m_settingSource = false;
};

// The rows of a view grouped by one field: before the records of each value (in the order the
// values first appear) a group row holding the value and the number of its records; every
// group expanded. Columns, record rows and their data are the source's; group rows are
// enabled but not selectable. Rebuilt whenever the source's rows change; settle() finishes a
// rebuild at once for a handler of the source that runs before this model's own.
class GroupedRows : public QAbstractProxyModel {
    Q_OBJECT
public:
    GroupedRows(Db::RecordSetModel* source, int field, QObject* parent);

    int field() const { return m_field; }
    void settle();
    int recordAt(int row) const;  // -1 for a group row
    int rowOfRecord(int record) const;
    bool isGroupRow(int row) const { return recordAt(row) < 0 && row >= 0 && row < rowCount(); }

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QModelIndex mapToSource(const QModelIndex& proxyIndex) const override;
    QModelIndex mapFromSource(const QModelIndex& sourceIndex) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    void beginRebuild();
    void rebuild();

    Db::RecordSetModel* m_records;  // not owned: the view's model
    int m_field;
    std::vector<int> m_rows;         // per row: the record, or -1 - group number
    std::vector<int> m_rowOfRecord;  // per record: its row
    QStringList m_groupTexts;        // per group: "value (count)"
    bool m_rebuilding = false;
};

}  // namespace Qd::Core::Ui::Internal
