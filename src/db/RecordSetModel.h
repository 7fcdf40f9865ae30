#pragma once

#include <QAbstractTableModel>
#include <functional>

#include "db/RecordSet.h"

namespace Qd::Core::Db {

// The one Qt model over a record set that every grid view shares: a row per record, a column
// per field. Edits go through the record set's own cycle: setData moves the cursor to the row
// (posting a pending edit elsewhere), puts the record into edit state and sets the field; the
// record is posted when the cursor leaves it or on submit().
class RecordSetModel : public QAbstractTableModel, private RecordSetObserver {
    Q_OBJECT
public:
    enum Roles {
        // True for the record set's current record.
        IsCurrentRole = Qt::UserRole + 1,
        // DataSetState (as int) of the row: the record set's state on the current row, Browse
        // elsewhere.
        RowStateRole,
        // The field name of a column (header data, horizontal).
        FieldNameRole,
    };

    // `rs` is not owned and may be null; the model forgets it when it is destroyed.
    explicit RecordSetModel(RecordSet* rs = nullptr, QObject* parent = nullptr);
    ~RecordSetModel() override;

    void setRecordSet(RecordSet* rs);
    RecordSet* recordSet() const { return m_rs; }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    bool submit() override;
    // A lookup's cache (LookupRows) fetches its next page as a view scrolls to its end; the
    // rows come as rows inserted at the end.
    bool canFetchMore(const QModelIndex& parent) const override;
    void fetchMore(const QModelIndex& parent) override;
    void revert() override;

Q_SIGNALS:
    // The record set's cursor moved to `row` (-1: no record).
    void currentRowChanged(int row);
    void recordStateChanged(Qd::Core::Db::DataSetState state);

private:
    bool guarded(const std::function<void()>& change);
    void beginReset() override;
    void endReset() override;
    void beginInsertRow(int pos) override;
    void endInsertRow() override;
    void beginAppendRows(int first, int last) override;
    void endAppendRows(int first, int last) override;
    void beginRemoveRow(int pos) override;
    void endRemoveRow() override;
    void rowChanged(int pos) override;
    void currentChanged(int pos) override;
    void stateChanged(DataSetState state) override;
    void recordSetDestroyed() override;

    RecordSet* m_rs = nullptr;  // not owned
    int m_resetDepth = 0;
};

}  // namespace Qd::Core::Db
