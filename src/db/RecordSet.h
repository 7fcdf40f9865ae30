#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "db/DbError.h"

namespace Qd::Core::Db {

namespace Internal {
class Column;
}

enum class FieldType : std::uint8_t {
    Integer,   // 32-bit
    BigInt,    // 64-bit
    Float,     // double
    Currency,  // fixed point, 4 decimals, exact
    Boolean,
    Text,
    DateTime,  // local time without zone, millisecond precision
    Blob,
};

QString fieldTypeName(FieldType type);
bool isNumeric(FieldType type);

struct FieldDef {
    QString name;
    FieldType type = FieldType::Text;
    int size = 0;           // declared width of a text field; 0 = unbounded
    int places = -1;        // places a number shows at least (a decimal's scale); -1 as it has
    bool required = false;  // post refuses a NULL
    bool readOnly = false;  // views do not edit it
    bool visible = true;
    QString displayLabel;  // column caption; the name when empty

    QString label() const { return displayLabel.isEmpty() ? name : displayLabel; }
};

enum class DataSetState { Inactive, Browse, Insert, Edit };

enum class ChangeKind : std::uint8_t { Inserted, Modified, Deleted };

// One changed row of the change log. `row` holds the current values (inserted, modified);
// `original` the values as loaded or last merged (modified, deleted). Both are row handles for
// RecordSet::valueAt / isNullAt.
struct RowChange {
    ChangeKind kind;
    std::uint32_t row;
    std::uint32_t original;
};

// A stable handle of a record, valid while the record exists.
struct Bookmark {
    std::uint32_t row = UINT32_MAX;
    bool isValid() const { return row != UINT32_MAX; }
    bool operator==(const Bookmark&) const = default;
};

class RecordSet;

// Typed access to one field of the current record. A light handle: copy it freely, but it is
// tied to its record set and reads whatever record is current when it is used.
class Field {
public:
    Field(RecordSet* rs, int index) : m_rs(rs), m_index(index) {}

    int index() const { return m_index; }
    const FieldDef& def() const;
    const QString& name() const { return def().name; }
    FieldType type() const { return def().type; }

    bool isNull() const;
    QVariant value() const;  // typed: int, qlonglong, double, bool, QString, QDateTime, QByteArray
    QString asString() const;  // the value as text (empty for NULL)
    int asInteger() const;
    qint64 asLargeInt() const;
    double asFloat() const;
    double asCurrency() const;
    bool asBoolean() const;
    QDateTime asDateTime() const;
    // The date and the time of day of the value, without the local-time work of a QDateTime
    // (labels that show them apart); invalid for NULL.
    QDate asDate() const;
    QTime asTime() const;
    QByteArray asBytes() const;
    // The value before the current edit began (the record as it was in browse state).
    QVariant oldValue() const;

    // Writes need the record set in insert or edit state. A value that does not convert to the
    // field's type throws DbError naming the field and the value.
    void setValue(const QVariant& v) const;
    void setAsString(const QString& s) const { setValue(s); }
    void clear() const { setValue(QVariant()); }

private:
    RecordSet* m_rs;
    int m_index;
};

// Told of every change a view must show. The begin/end pairs bracket structural changes so that
// a Qt model can forward them exactly.
class RecordSetObserver {
public:
    virtual ~RecordSetObserver() = default;
    virtual void beginReset() {}
    virtual void endReset() {}
    virtual void beginInsertRow(int /*pos*/) {}
    virtual void endInsertRow() {}
    // Rows first..last were appended at once (RecordSet::appendRows). An observer that does not
    // follow them is told of a reset.
    virtual void beginAppendRows(int /*first*/, int /*last*/) { beginReset(); }
    virtual void endAppendRows(int /*first*/, int /*last*/) { endReset(); }
    virtual void beginRemoveRow(int /*pos*/) {}
    virtual void endRemoveRow() {}
    virtual void rowChanged(int /*pos*/) {}
    virtual void currentChanged(int /*pos*/) {}
    virtual void stateChanged(DataSetState) {}
    // The record set is being destroyed; drop every reference to it.
    virtual void recordSetDestroyed() {}
};

// An in-memory table of named, typed fields with a cursor, browse / insert / edit states,
// events and a change log. Columns are stored typed and compact (no QVariant per cell): text
// and blobs as UTF-8 / bytes in one arena per column, numbers in plain vectors.
class RecordSet {
public:
    using Event = std::function<void(RecordSet&)>;
    using FieldEvent = std::function<void(RecordSet&, int field)>;

    RecordSet();
    ~RecordSet();
    RecordSet(RecordSet&&) noexcept;
    RecordSet& operator=(RecordSet&&) noexcept;
    RecordSet(const RecordSet&) = delete;
    RecordSet& operator=(const RecordSet&) = delete;

    // ---- structure ------------------------------------------------------------------------
    // Fields can be added while the record set is closed.
    int addField(const FieldDef& def);
    int addField(const QString& name, FieldType type, int size = 0);
    void clearFields();
    // Replaces the fields of a closed record set at once; the names must be unique (loaders).
    void setFields(std::vector<FieldDef> defs);
    int fieldCount() const;
    const FieldDef& fieldDef(int index) const;
    FieldDef& fieldDef(int index);
    // Index of a field by name (case-insensitive), -1 when there is none.
    int fieldIndex(const QString& name) const;
    bool hasField(const QString& name) const { return fieldIndex(name) >= 0; }
    QStringList fieldNames() const;
    // A field by name; throws DbError naming it when it does not exist.
    Field field(const QString& name);
    Field field(int index);
    Field fieldByName(const QString& name) { return field(name); }
    // Copies the field structure of `other` (no rows); this record set is closed first.
    void cloneStructure(const RecordSet& other);

    // ---- opening and data packets ---------------------------------------------------------
    // Opens an empty record set on the defined fields.
    void createDataSet();
    void open();
    void close();
    bool active() const;
    // Takes fields and rows of a data packet (another record set, typically from openData),
    // drops this one's rows and change log, and opens on the first row.
    void setData(RecordSet&& packet);
    // Removes every row and forgets the change log; stays open.
    void emptyDataSet();

    // ---- bulk loading (data services) -----------------------------------------------------
    // Appends one row of NULLs to a record set under construction (closed, no events) and
    // returns its handle; fill it with the set*At functions, then open().
    std::uint32_t loadRow();
    void setIntAt(std::uint32_t row, int field, qint64 v);
    void setFloatAt(std::uint32_t row, int field, double v);
    void setTextAt(std::uint32_t row, int field, const char* utf8, std::size_t len);
    void setBlobAt(std::uint32_t row, int field, const void* data, std::size_t len);
    // Changes the type of a field while loading, converting the values loaded so far.
    void retypeField(int field, FieldType type);
    // The storage of a field, for loaders that write values in their stored form (see
    // ColumnStore.h). Stays valid until fields are added or removed.
    Internal::Column& columnForLoad(int field);
    // The same for readers that walk every row (exporters): values read in their stored form,
    // without a call per value. Valid while the fields stay.
    const Internal::Column& storedColumn(int field) const;
    void reserveRows(std::size_t n);

    // Appends copies of rows of `from` (row handles) at the end of this open record set, at
    // once: each field takes the value of the field of `from` with its name (NULL when it has
    // none), converted when the types differ. The rows count as loaded, not inserted: no events
    // run, the change log does not see them, and views are told once (rows appended). A record
    // being edited is posted first, as append does; the current record stays (an empty record
    // set comes to the first row). A value that does not convert throws DbError, nothing
    // appended.
    void appendRows(const RecordSet& from, const std::vector<std::uint32_t>& rows);

    // ---- rows still coming (IDataServices::openDataInChunks) -------------------------------
    // A load that appends to an open record set a chunk at a time: it adds rows with
    // newLoadedRow, fills them as loadRow's, then shows them to views at once (appended, not
    // inserted: no events, no change log). The cursor stays; an empty record set comes to its
    // first row.
    std::uint32_t newLoadedRow();
    void showLoadedRows(std::uint32_t firstRow, std::uint32_t count);

    // The load that still has rows to add, as the record set drives it.
    class PendingRows {
    public:
        virtual ~PendingRows() = default;
        // Reads every remaining row now.
        virtual void finish() = 0;
        // The record set is closed, reloaded or destroyed: stop, adding nothing more.
        virtual void abandon() = 0;
    };
    // Registers the load (not owned; null: none). Closing, reloading, emptying or destroying
    // the record set abandons it.
    void setPendingRows(PendingRows* load);
    bool rowsPending() const;
    // What needs every row calls this first: sorting and locating do, and so must export,
    // filters, footers and saving.
    void finishPendingRows();

    // ---- cursor ---------------------------------------------------------------------------
    int recordCount() const;
    int recNo() const;  // 0-based position of the current record, -1 when empty
    bool isEmpty() const { return recordCount() == 0; }
    bool eof() const;
    bool bof() const;
    void first();
    void last();
    void next();
    void prior();
    // Moves to the record at `pos` (0-based), clamped to the rows there are.
    void moveTo(int pos);
    // Moves to the first record whose field equals value (text compared case-sensitively unless
    // caseInsensitive; partial: text starts with value). Returns false and stays when none.
    bool locate(const QString& fieldName, const QVariant& value, bool caseInsensitive = false,
                bool partial = false);
    bool locate(const QStringList& fieldNames, const QVariantList& values);
    // Orders the records by fields (stable: equal records keep their order), NULLs first; the
    // current record stays current. Views are reset.
    struct SortKey {
        int field;
        bool descending = false;
    };
    void sortBy(const std::vector<SortKey>& keys);
    Bookmark bookmark() const;
    bool bookmarkValid(Bookmark b) const;
    void gotoBookmark(Bookmark b);

    // ---- states ---------------------------------------------------------------------------
    DataSetState state() const;
    bool readOnly() const;
    void setReadOnly(bool on);
    // Adds a record at the end (append) or before the current one (insert) in insert state.
    void append();
    void insert();
    void edit();
    // Commits the record being inserted or edited. BeforePost may throw (EAbort or DbError):
    // then the state and the edited values stay. A required field that is NULL throws DbError.
    void post();
    void cancel();
    void deleteRecord();
    // Posts a modified record, cancels an unmodified one; nothing in browse state.
    void checkBrowseMode();
    // True when a field of the record being inserted or edited was set.
    bool modified() const;

    // ---- change log -----------------------------------------------------------------------
    bool logChanges() const;
    void setLogChanges(bool on);
    int changeCount() const;
    const std::vector<RowChange>& changes() const;
    // Accepts every change: the current values become the originals.
    void mergeChangeLog();
    // Undoes every change since the last merge: inserted rows go, deleted rows return,
    // modified rows get their original values.
    void cancelUpdates();

    // ---- raw access by row handle (used by the change log, the model, exporters) -------------
    std::uint32_t rowAt(int pos) const;  // handle of the record at a position
    bool isNullAt(std::uint32_t row, int field) const;
    QVariant valueAt(std::uint32_t row, int field) const;
    QString textAt(std::uint32_t row, int field) const;  // value as text, empty for NULL
    // The stored UTF-8 bytes of a text field (no copy); empty for NULL or another type.
    std::string_view utf8At(std::uint32_t row, int field) const;
    qint64 intAt(std::uint32_t row, int field) const;    // Integer, BigInt, Boolean, DateTime
    double floatAt(std::uint32_t row, int field) const;  // any numeric type as double

    // ---- events ---------------------------------------------------------------------------
    // Handlers run on the thread of the caller; a Before handler may throw EAbort to refuse.
    Event beforeOpen, afterOpen, beforeClose, afterClose;
    Event beforeInsert, afterInsert, beforeEdit, afterEdit;
    Event beforePost, afterPost, beforeCancel, afterCancel;
    Event beforeDelete, afterDelete, beforeScroll, afterScroll;
    // A field of the current record was set (field >= 0), or the record as a whole changed
    // (field = -1: scrolled, opened, cancelled).
    FieldEvent onDataChange;

    // A statement kept with the record set for the code that opens it (a bill's detail query
    // set by its module); the record set itself never runs it. Stays with the object on a move.
    QString commandText;

    // Views: observers are told of changes unless controls are disabled; enabling them again
    // (as often as they were disabled) resets every observer once.
    void addObserver(RecordSetObserver* o);
    void removeObserver(RecordSetObserver* o);
    void disableControls();
    void enableControls();
    bool controlsDisabled() const;

    // Memory held by the stored values, for diagnostics and benchmarks.
    std::size_t storageBytes() const;

private:
    void insertRecord(bool atEnd);

    friend class Field;
    struct Impl;
    std::unique_ptr<Impl> d;
};

// Whether a field holds the same stored value in two rows, of one record set or of two with the
// same field types: NULL equals only NULL, an empty text is not NULL, currency compares exactly.
bool sameValue(const RecordSet& a, std::uint32_t rowA, const RecordSet& b, std::uint32_t rowB,
               int field);

// Formats a date-time as the data layer writes it: "yyyy-MM-dd HH:mm:ss.zzz" (the milliseconds
// left out when zero).
QString formatDateTime(const QDateTime& dt);
// Parses "yyyy-MM-dd", "yyyy-MM-dd HH:mm[:ss[.zzz]]" or the ISO form with 'T'; invalid on
// anything else.
QDateTime parseDateTime(QStringView text);

}  // namespace Qd::Core::Db
