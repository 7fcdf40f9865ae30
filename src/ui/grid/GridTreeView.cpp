// The tree view of a record set whose records name their parents, and its model.
#include <QScopedValueRollback>
#include <QSet>
#include <QStyledItemDelegate>

#include "base/Dispatch.h"
#include "ui/grid/GridInternal.h"

namespace Qd::Core::Ui {

namespace Internal {

// ---- RecordTreeModel ------------------------------------------------------------------------

RecordTreeModel::RecordTreeModel(QObject* parent) : QAbstractItemModel(parent) {
    // Any change of the record set's rows rebuilds the tree: begun before the rows change,
    // finished after, so that views never see the tree out of step with the records.
    auto begin = [this] {
        if (!m_resetting && !m_settingSource) {
            m_resetting = true;
            beginResetModel();
        }
    };
    auto end = [this] {
        if (m_resetting && !m_settingSource) {
            build();
            endResetModel();
            m_resetting = false;
        }
    };
    connect(&m_source, &QAbstractItemModel::modelAboutToBeReset, this, begin);
    connect(&m_source, &QAbstractItemModel::rowsAboutToBeInserted, this, begin);
    connect(&m_source, &QAbstractItemModel::rowsAboutToBeRemoved, this, begin);
    connect(&m_source, &QAbstractItemModel::modelReset, this, end);
    connect(&m_source, &QAbstractItemModel::rowsInserted, this, end);
    connect(&m_source, &QAbstractItemModel::rowsRemoved, this, end);
    connect(&m_source, &QAbstractItemModel::dataChanged, this,
            [this](const QModelIndex& topLeft, const QModelIndex& bottomRight) {
                sourceRowsChanged(topLeft.row(), bottomRight.row());
            });
}

void RecordTreeModel::setSource(Db::RecordSet* rs, const QString& keyField,
                                const QString& parentField, const QStringList& displayFields) {
    beginResetModel();
    m_settingSource = true;  // the source's own reset is part of this one
    m_source.setRecordSet(rs);
    m_settingSource = false;
    m_keyName = keyField;
    m_parentName = parentField;
    m_displayNames = displayFields;
    build();
    endResetModel();
}

void RecordTreeModel::rebuild() {
    beginResetModel();
    build();
    endResetModel();
}

QString RecordTreeModel::keyText(int pos) const {
    const Db::RecordSet* rs = recordSet();
    return m_keyField >= 0 ? rs->textAt(rs->rowAt(pos), m_keyField) : QString();
}

QString RecordTreeModel::parentText(int pos) const {
    const Db::RecordSet* rs = recordSet();
    return m_parentField >= 0 ? rs->textAt(rs->rowAt(pos), m_parentField) : QString();
}

void RecordTreeModel::build() {
    m_nodes.clear();
    m_roots.clear();
    m_byKey.clear();
    m_fields.clear();
    const Db::RecordSet* rs = recordSet();
    if (!rs || !rs->active())
        return;
    m_keyField = rs->fieldIndex(m_keyName);
    m_parentField = rs->fieldIndex(m_parentName);
    for (const QString& name : m_displayNames)
        if (const int f = rs->fieldIndex(name); f >= 0)
            m_fields.push_back(f);
    if (m_fields.empty() && m_keyField >= 0)
        m_fields.push_back(m_keyField);

    const int n = rs->recordCount();
    m_nodes.resize(n);
    for (int pos = 0; pos < n; ++pos) {
        Node& node = m_nodes[pos];
        node.key = keyText(pos);
        node.parentKey = parentText(pos);
        if (!node.key.isEmpty() && !m_byKey.contains(node.key))
            m_byKey.insert(node.key, pos);
    }
    for (int pos = 0; pos < n; ++pos) {
        Node& node = m_nodes[pos];
        node.parent = node.parentKey.isEmpty() ? -1 : m_byKey.value(node.parentKey, -1);
        if (node.parent == pos)
            node.parent = -1;
    }
    // A chain of parents that comes back to itself would hang below no root: the record where
    // the walk first meets its own path becomes a root.
    std::vector<char> state(n, 0);  // 0 unseen, 1 on the current walk, 2 done
    std::vector<int> path;
    for (int pos = 0; pos < n; ++pos) {
        path.clear();
        int cur = pos;
        while (cur >= 0 && state[cur] == 0) {
            state[cur] = 1;
            path.push_back(cur);
            cur = m_nodes[cur].parent;
        }
        if (cur >= 0 && state[cur] == 1)
            m_nodes[cur].parent = -1;
        for (int p : path)
            state[p] = 2;
    }
    for (int pos = 0; pos < n; ++pos) {
        Node& node = m_nodes[pos];
        std::vector<int>& siblings = node.parent < 0 ? m_roots : m_nodes[node.parent].children;
        node.row = int(siblings.size());
        siblings.push_back(pos);
    }
}

// An edit of a record: a changed key or parent moves nodes, so the tree is rebuilt; any other
// change repaints the record's node.
void RecordTreeModel::sourceRowsChanged(int first, int last) {
    if (m_resetting || m_settingSource)
        return;
    for (int pos = first; pos <= last; ++pos) {
        if (pos < 0 || pos >= int(m_nodes.size()) || keyText(pos) != m_nodes[pos].key ||
            parentText(pos) != m_nodes[pos].parentKey) {
            rebuild();
            return;
        }
    }
    const int lastColumn = columnCount() - 1;
    if (lastColumn < 0)
        return;
    for (int pos = first; pos <= last; ++pos) {
        const QModelIndex left = indexOfPosition(pos);
        Q_EMIT dataChanged(left, left.siblingAtColumn(lastColumn));
    }
}

QModelIndex RecordTreeModel::indexOfPosition(int pos) const {
    if (pos < 0 || pos >= int(m_nodes.size()))
        return QModelIndex();
    return createIndex(m_nodes[pos].row, 0, quintptr(pos));
}

int RecordTreeModel::positionOf(const QModelIndex& index) const {
    return index.isValid() && index.model() == this ? int(index.internalId()) : -1;
}

QModelIndex RecordTreeModel::indexOfKey(const QVariant& key) const {
    if (key.isNull())
        return QModelIndex();
    return indexOfPosition(m_byKey.value(key.toString(), -1));
}

QVariant RecordTreeModel::keyAt(const QModelIndex& index) const {
    const int pos = positionOf(index);
    const Db::RecordSet* rs = recordSet();
    if (pos < 0 || m_keyField < 0 || !rs || pos >= rs->recordCount())
        return QVariant();
    return rs->valueAt(rs->rowAt(pos), m_keyField);
}

QModelIndex RecordTreeModel::index(int row, int column, const QModelIndex& parent) const {
    if (!hasIndex(row, column, parent))
        return QModelIndex();
    const std::vector<int>& list =
        parent.isValid() ? m_nodes[parent.internalId()].children : m_roots;
    return createIndex(row, column, quintptr(list[row]));
}

QModelIndex RecordTreeModel::parent(const QModelIndex& child) const {
    if (!child.isValid())
        return QModelIndex();
    const int p = m_nodes[child.internalId()].parent;
    return p < 0 ? QModelIndex() : createIndex(m_nodes[p].row, 0, quintptr(p));
}

int RecordTreeModel::rowCount(const QModelIndex& parent) const {
    if (parent.column() > 0)
        return 0;
    return int(parent.isValid() ? m_nodes[parent.internalId()].children.size() : m_roots.size());
}

int RecordTreeModel::columnCount(const QModelIndex&) const {
    return int(m_fields.size());
}

QVariant RecordTreeModel::data(const QModelIndex& index, int role) const {
    const Db::RecordSet* rs = recordSet();
    const int pos = positionOf(index);
    if (!rs || pos < 0 || pos >= rs->recordCount() || index.column() >= int(m_fields.size()))
        return QVariant();
    const std::uint32_t row = rs->rowAt(pos);
    const int field = m_fields[index.column()];
    switch (role) {
        case Qt::DisplayRole:
            return rs->textAt(row, field);
        case Qt::EditRole:
            return rs->valueAt(row, field);
        case Db::RecordSetModel::IsCurrentRole:
            return pos == rs->recNo();
        default:
            return QVariant();
    }
}

QVariant RecordTreeModel::headerData(int section, Qt::Orientation orientation, int role) const {
    const Db::RecordSet* rs = recordSet();
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || !rs || section < 0 ||
        section >= int(m_fields.size()))
        return QVariant();
    return rs->fieldDef(m_fields[section]).label();
}

Qt::ItemFlags RecordTreeModel::flags(const QModelIndex& index) const {
    const Db::RecordSet* rs = recordSet();
    if (!rs || !index.isValid() || index.column() >= int(m_fields.size()))
        return Qt::NoItemFlags;
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (!rs->readOnly() && !rs->fieldDef(m_fields[index.column()]).readOnly)
        f |= Qt::ItemIsEditable;
    return f;
}

bool RecordTreeModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    const int pos = positionOf(index);
    if (pos < 0 || role != Qt::EditRole || index.column() >= int(m_fields.size()))
        return false;
    return m_source.setData(m_source.index(pos, m_fields[index.column()]), value, role);
}

}  // namespace Internal

// ---- GridTreeView ---------------------------------------------------------------------------

namespace {
// Cells of the style's look in rows of a set height.
class RowHeightDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    int rowHeight = 0;  // 0: the style's
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        QSize size = QStyledItemDelegate::sizeHint(option, index);
        if (rowHeight > 0)
            size.setHeight(rowHeight);
        return size;
    }
};
}  // namespace

struct GridTreeView::Impl {
    explicit Impl(GridTreeView* view) : q(view) {}

    void followCursor(int pos);
    void onCurrentChanged(const QModelIndex& current);
    void emitKey();

    GridTreeView* q;
    Internal::RecordTreeModel* model = nullptr;  // owned by q
    RowHeightDelegate* delegate = nullptr;       // owned by q
    bool followingCursor = false;
    bool expandAll = true;  // the next build shows every node (a new or refreshed tree)
    bool keyEmitted = false;
    QVariant lastKey;
    QSet<QString> expandedKeys;  // kept across rebuilds caused by edits
};

void GridTreeView::Impl::followCursor(int pos) {
    const QModelIndex index = model->indexOfPosition(pos);
    if (index.isValid() && model->positionOf(q->currentIndex()) == pos)
        return;
    QScopedValueRollback guard(followingCursor, true);
    if (!index.isValid()) {
        q->selectionModel()->clearSelection();
        q->selectionModel()->clearCurrentIndex();
        emitKey();
        return;
    }
    for (QModelIndex p = index.parent(); p.isValid(); p = p.parent())
        q->expand(p);
    q->selectionModel()->setCurrentIndex(
        index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    q->scrollTo(index);
}

// The record set's cursor follows the selected node; when it cannot leave its record (a post
// was refused) the selection goes back to it.
void GridTreeView::Impl::onCurrentChanged(const QModelIndex& current) {
    Db::RecordSet* rs = model->recordSet();
    const int pos = model->positionOf(current);
    if (!followingCursor && rs && rs->active() && pos >= 0 && rs->recNo() != pos &&
        !Sys::dispatch([&] { rs->moveTo(pos); })) {
        followCursor(rs->recNo());
        return;
    }
    emitKey();
}

void GridTreeView::Impl::emitKey() {
    const QVariant key = q->currentKey();
    if (keyEmitted && key == lastKey)
        return;
    keyEmitted = true;
    lastKey = key;
    Q_EMIT q->currentKeyChanged(key);
}

GridTreeView::GridTreeView(const QString& name, QWidget* parent)
    : QTreeView(parent), d(std::make_unique<Impl>(this)) {
    setObjectName(name);
    d->model = new Internal::RecordTreeModel(this);
    setModel(d->model);
    d->delegate = new RowHeightDelegate(this);
    setItemDelegate(d->delegate);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setUniformRowHeights(true);
    setAllColumnsShowFocus(true);

    connect(d->model, &QAbstractItemModel::modelAboutToBeReset, this, [this] {
        d->expandedKeys.clear();
        const Db::RecordSet* rs = d->model->recordSet();
        for (int pos = 0, n = rs ? rs->recordCount() : 0; pos < n; ++pos) {
            const QModelIndex index = d->model->indexOfPosition(pos);
            if (index.isValid() && isExpanded(index))
                d->expandedKeys.insert(d->model->keyAt(index).toString());
        }
    });
    connect(d->model, &QAbstractItemModel::modelReset, this, [this] {
        if (d->expandAll) {
            d->expandAll = false;
            expandAll();
        } else {
            for (const QString& key : std::as_const(d->expandedKeys))
                expand(d->model->indexOfKey(key));
        }
        // After inserted or removed rows the record set reports where its cursor went; after
        // a rebuild of our own (an edited key or parent) the tree goes back to it here.
        if (!d->model->rebuildingFromSource() && d->model->recordSet())
            d->followCursor(d->model->recordSet()->recNo());
    });
    // A reset of the record set (a reload, a sort) does not report the cursor either.
    Db::RecordSetModel* source = d->model->sourceModel();
    connect(source, &QAbstractItemModel::modelReset, this, [this] {
        const Db::RecordSet* rs = d->model->recordSet();
        if (rs && !d->model->rebuildingFromSource())
            d->followCursor(rs->recNo());
    });
    connect(source, &Db::RecordSetModel::currentRowChanged, this,
            [this](int pos) { d->followCursor(pos); });
    connect(selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& current) { d->onCurrentChanged(current); });
}

GridTreeView::~GridTreeView() {
    d->model->disconnect(this);
    d->model->sourceModel()->disconnect(this);
    selectionModel()->disconnect(this);
}

void GridTreeView::setRecordSet(Db::RecordSet* rs, const QString& keyField,
                                const QString& parentField, const QStringList& displayFields) {
    d->expandAll = true;
    d->keyEmitted = false;
    d->model->setSource(rs, keyField, parentField, displayFields);
    d->followCursor(rs ? rs->recNo() : -1);
}

void GridTreeView::refresh() {
    d->expandAll = true;
    d->keyEmitted = false;
    d->model->rebuild();
    const Db::RecordSet* rs = d->model->recordSet();
    d->followCursor(rs ? rs->recNo() : -1);
}

bool GridTreeView::selectKey(const QVariant& key) {
    const QModelIndex index = d->model->indexOfKey(key);
    if (!index.isValid())
        return false;
    for (QModelIndex p = index.parent(); p.isValid(); p = p.parent())
        expand(p);
    selectionModel()->setCurrentIndex(
        index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    scrollTo(index);
    return d->model->positionOf(currentIndex()) == d->model->positionOf(index);
}

QVariant GridTreeView::currentKey() const {
    return d->model->keyAt(currentIndex());
}

void GridTreeView::setDataRowHeight(int h) {
    d->delegate->rowHeight = qMax(0, h);
    doItemsLayout();  // uniform rows: the height is measured again
}

}  // namespace Qd::Core::Ui
