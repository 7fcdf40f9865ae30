#include "db/RecordSetModel.h"

#include "base/Dispatch.h"
#include "db/DataServices.h"
#include "db/LookupRows.h"

namespace Qd::Core::Db {

RecordSetModel::RecordSetModel(RecordSet* rs, QObject* parent) : QAbstractTableModel(parent) {
    setRecordSet(rs);
}

RecordSetModel::~RecordSetModel() {
    if (m_rs)
        m_rs->removeObserver(this);
}

void RecordSetModel::setRecordSet(RecordSet* rs) {
    beginResetModel();
    if (m_rs)
        m_rs->removeObserver(this);
    m_rs = rs;
    if (m_rs)
        m_rs->addObserver(this);
    endResetModel();
}

int RecordSetModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() || !m_rs ? 0 : m_rs->recordCount();
}

bool RecordSetModel::canFetchMore(const QModelIndex& parent) const {
    const LookupRows* rows = lookupRowsOf(m_rs);
    return !parent.isValid() && rows && rows->canFetchMore();
}

void RecordSetModel::fetchMore(const QModelIndex& parent) {
    if (LookupRows* rows = lookupRowsOf(m_rs); rows && !parent.isValid())
        rows->fetchMore();
}

int RecordSetModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() || !m_rs ? 0 : m_rs->fieldCount();
}

QVariant RecordSetModel::data(const QModelIndex& index, int role) const {
    if (!m_rs || !index.isValid() || index.row() >= m_rs->recordCount())
        return QVariant();
    const std::uint32_t row = m_rs->rowAt(index.row());
    const int field = index.column();
    const FieldType type = m_rs->fieldDef(field).type;
    switch (role) {
        case Qt::DisplayRole:
            if (type == FieldType::Boolean)
                return QVariant();  // shown as a check box
            return m_rs->textAt(row, field);
        case Qt::EditRole:
            return m_rs->valueAt(row, field);
        case Qt::CheckStateRole:
            if (type != FieldType::Boolean)
                return QVariant();
            return m_rs->intAt(row, field) ? Qt::Checked : Qt::Unchecked;
        case Qt::TextAlignmentRole:
            if (isNumeric(type))
                return QVariant(Qt::AlignRight | Qt::AlignVCenter);
            return QVariant(Qt::AlignLeft | Qt::AlignVCenter);
        case IsCurrentRole:
            return index.row() == m_rs->recNo();
        case RowStateRole:
            return int(index.row() == m_rs->recNo() ? m_rs->state() : DataSetState::Browse);
        default:
            return QVariant();
    }
}

QVariant RecordSetModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (!m_rs)
        return QVariant();
    if (orientation == Qt::Horizontal) {
        if (section < 0 || section >= m_rs->fieldCount())
            return QVariant();
        if (role == Qt::DisplayRole)
            return m_rs->fieldDef(section).label();
        if (role == FieldNameRole)
            return m_rs->fieldDef(section).name;
        return QVariant();
    }
    if (role == Qt::DisplayRole)
        return section + 1;
    if (role == IsCurrentRole)
        return section == m_rs->recNo();
    if (role == RowStateRole)
        return int(section == m_rs->recNo() ? m_rs->state() : DataSetState::Browse);
    return QVariant();
}

Qt::ItemFlags RecordSetModel::flags(const QModelIndex& index) const {
    if (!m_rs || !index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    const FieldDef& def = m_rs->fieldDef(index.column());
    if (!m_rs->readOnly() && !def.readOnly) {
        f |= Qt::ItemIsEditable;
        if (def.type == FieldType::Boolean)
            f |= Qt::ItemIsUserCheckable;
    }
    return f;
}

bool RecordSetModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (!m_rs || !index.isValid() || !(flags(index) & Qt::ItemIsEditable))
        return false;
    if (role != Qt::EditRole && role != Qt::CheckStateRole)
        return false;
    const QVariant v = role == Qt::CheckStateRole ? QVariant(value.toInt() == Qt::Checked) : value;
    return guarded([&] {
        if (m_rs->recNo() != index.row())
            m_rs->moveTo(index.row());
        if (m_rs->state() == DataSetState::Browse)
            m_rs->edit();
        m_rs->field(index.column()).setValue(v);
    });
}

bool RecordSetModel::submit() {
    if (!m_rs || !m_rs->active())
        return true;
    return guarded([&] {
        if (m_rs->state() == DataSetState::Edit || m_rs->state() == DataSetState::Insert)
            m_rs->post();
    });
}

// Runs a change the view asked for. A refused change ends silently (its handler has said why);
// a value the record set rejects is shown. Either way the view learns it did not happen.
bool RecordSetModel::guarded(const std::function<void()>& change) {
    return Sys::dispatch(change);
}

void RecordSetModel::revert() {
    if (m_rs && m_rs->active())
        m_rs->cancel();
}

// ---- observer -------------------------------------------------------------------------------

void RecordSetModel::beginReset() {
    if (m_resetDepth++ == 0)
        beginResetModel();
}

void RecordSetModel::endReset() {
    if (m_resetDepth > 0 && --m_resetDepth == 0)
        endResetModel();
}

void RecordSetModel::beginInsertRow(int pos) {
    beginInsertRows(QModelIndex(), pos, pos);
}
void RecordSetModel::endInsertRow() {
    endInsertRows();
}
void RecordSetModel::beginAppendRows(int first, int last) {
    beginInsertRows(QModelIndex(), first, last);
}
void RecordSetModel::endAppendRows(int, int) {
    endInsertRows();
}
void RecordSetModel::beginRemoveRow(int pos) {
    beginRemoveRows(QModelIndex(), pos, pos);
}
void RecordSetModel::endRemoveRow() {
    endRemoveRows();
}

void RecordSetModel::rowChanged(int pos) {
    if (pos < 0 || !m_rs || m_rs->fieldCount() == 0)
        return;
    Q_EMIT dataChanged(index(pos, 0), index(pos, m_rs->fieldCount() - 1));
    Q_EMIT headerDataChanged(Qt::Vertical, pos, pos);
}

void RecordSetModel::currentChanged(int pos) {
    Q_EMIT currentRowChanged(pos);
}

void RecordSetModel::stateChanged(DataSetState state) {
    if (m_rs && m_rs->recNo() >= 0)
        Q_EMIT headerDataChanged(Qt::Vertical, m_rs->recNo(), m_rs->recNo());
    Q_EMIT recordStateChanged(state);
}

void RecordSetModel::recordSetDestroyed() {
    beginResetModel();
    m_rs = nullptr;
    m_resetDepth = 0;
    endResetModel();
}

}  // namespace Qd::Core::Db
