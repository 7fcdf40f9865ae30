// Grouping the rows of a grid view by a field: the proxy between the record set's model and
// the view.

#include "ui/grid/GridInternal.h"

namespace Qd::Core::Ui::Internal {

GroupedRows::GroupedRows(Db::RecordSetModel* source, int field, QObject* parent)
    : QAbstractProxyModel(parent), m_records(source), m_field(field) {
    setSourceModel(source);
    auto begin = [this] { beginRebuild(); };
    auto end = [this] { settle(); };
    connect(source, &QAbstractItemModel::modelAboutToBeReset, this, begin);
    connect(source, &QAbstractItemModel::rowsAboutToBeInserted, this, begin);
    connect(source, &QAbstractItemModel::rowsAboutToBeRemoved, this, begin);
    connect(source, &QAbstractItemModel::layoutAboutToBeChanged, this, begin);
    connect(source, &QAbstractItemModel::modelReset, this, end);
    connect(source, &QAbstractItemModel::rowsInserted, this, end);
    connect(source, &QAbstractItemModel::rowsRemoved, this, end);
    connect(source, &QAbstractItemModel::layoutChanged, this, end);
    connect(source, &QAbstractItemModel::dataChanged, this,
            [this](const QModelIndex& from, const QModelIndex& to) {
                if (m_rebuilding)
                    return;
                if (from.column() <= m_field && m_field <= to.column()) {
                    beginRebuild();  // a record may move to another group
                    settle();
                    return;
                }
                for (int r = from.row(); r <= to.row(); ++r)
                    Q_EMIT dataChanged(mapFromSource(m_records->index(r, from.column())),
                                       mapFromSource(m_records->index(r, to.column())));
            });
    connect(source, &QAbstractItemModel::headerDataChanged, this,
            [this](Qt::Orientation o, int first, int last) {
                if (o == Qt::Horizontal) {
                    Q_EMIT headerDataChanged(o, first, last);
                    return;
                }
                for (int r = first; r <= last; ++r)
                    if (const int row = rowOfRecord(r); row >= 0)
                        Q_EMIT headerDataChanged(o, row, row);
            });
    rebuild();
}

void GroupedRows::beginRebuild() {
    if (m_rebuilding)
        return;
    m_rebuilding = true;
    beginResetModel();
}

void GroupedRows::settle() {
    if (!m_rebuilding)
        return;
    rebuild();
    m_rebuilding = false;
    endResetModel();
}

void GroupedRows::rebuild() {
    const int records = m_records->rowCount();
    QStringList values;  // per group, in the order they first appear
    std::vector<std::vector<int>> members;
    QHash<QString, int> groupOf;
    for (int r = 0; r < records; ++r) {
        const QString value = m_records->index(r, m_field).data(Qt::DisplayRole).toString();
        auto it = groupOf.find(value);
        if (it == groupOf.end()) {
            it = groupOf.insert(value, int(values.size()));
            values << value;
            members.emplace_back();
        }
        members[std::size_t(*it)].push_back(r);
    }
    m_rows.clear();
    m_rowOfRecord.assign(std::size_t(records), -1);
    m_groupTexts.clear();
    for (int g = 0; g < values.size(); ++g) {
        const std::vector<int>& rows = members[std::size_t(g)];
        m_groupTexts << QStringLiteral("%1 (%2)").arg(values[g]).arg(rows.size());
        m_rows.push_back(-1 - g);
        for (int r : rows) {
            m_rowOfRecord[std::size_t(r)] = int(m_rows.size());
            m_rows.push_back(r);
        }
    }
}

int GroupedRows::recordAt(int row) const {
    return row >= 0 && row < int(m_rows.size()) ? std::max(m_rows[std::size_t(row)], -1) : -1;
}

int GroupedRows::rowOfRecord(int record) const {
    return record >= 0 && record < int(m_rowOfRecord.size()) ? m_rowOfRecord[std::size_t(record)]
                                                             : -1;
}

QModelIndex GroupedRows::index(int row, int column, const QModelIndex& parent) const {
    return hasIndex(row, column, parent) ? createIndex(row, column) : QModelIndex();
}

QModelIndex GroupedRows::parent(const QModelIndex&) const {
    return QModelIndex();
}

int GroupedRows::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(m_rows.size());
}

int GroupedRows::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : m_records->columnCount();
}

QModelIndex GroupedRows::mapToSource(const QModelIndex& proxyIndex) const {
    const int record = proxyIndex.isValid() ? recordAt(proxyIndex.row()) : -1;
    return record < 0 ? QModelIndex() : m_records->index(record, proxyIndex.column());
}

QModelIndex GroupedRows::mapFromSource(const QModelIndex& sourceIndex) const {
    const int row = sourceIndex.isValid() ? rowOfRecord(sourceIndex.row()) : -1;
    return row < 0 ? QModelIndex() : createIndex(row, sourceIndex.column());
}

QVariant GroupedRows::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || !isGroupRow(index.row()))
        return QAbstractProxyModel::data(index, role);
    if (role == GroupRowRole)
        return true;
    if (role == Qt::DisplayRole || role == Qt::EditRole)
        return m_groupTexts.value(-1 - m_rows[std::size_t(index.row())]);
    return QVariant();
}

QVariant GroupedRows::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Horizontal)
        return m_records->headerData(section, orientation, role);
    const int record = recordAt(section);
    return record < 0 ? QVariant() : m_records->headerData(record, orientation, role);
}

Qt::ItemFlags GroupedRows::flags(const QModelIndex& index) const {
    if (index.isValid() && isGroupRow(index.row()))
        return Qt::ItemIsEnabled;
    return QAbstractProxyModel::flags(index);
}

}  // namespace Qd::Core::Ui::Internal
