#include "db/RecordSet.h"

#include <QScopeGuard>

#include <QHash>
#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>
#include <unordered_map>

#include "base/TextFormat.h"
#include "db/ColumnStore.h"

namespace Qd::Core::Db {

using namespace Internal;

namespace {
constexpr std::uint32_t kNoRow = UINT32_MAX;

QString floatText(double v) {
    if (!std::isfinite(v) || std::fabs(v) >= 1e15)
        return QString::number(v, 'g', 17);
    return QString::number(v, 'g', QLocale::FloatingPointShortest);
}

QString currencyText(std::int64_t scaled) {
    const bool negative = scaled < 0;
    const std::uint64_t a = negative ? std::uint64_t(-(scaled + 1)) + 1 : std::uint64_t(scaled);
    QString s = QString::number(a / kCurrencyScale);
    std::uint64_t frac = a % kCurrencyScale;
    if (frac) {
        QString f = QString::number(frac).rightJustified(4, QLatin1Char('0'));
        while (f.endsWith(QLatin1Char('0')))
            f.chop(1);
        s += QLatin1Char('.') + f;
    }
    return negative ? QLatin1Char('-') + s : s;
}

[[noreturn]] void badValue(const FieldDef& def, const QVariant& v) {
    throw DbError(QStringLiteral("字段 \"%1\" 不能接受值 \"%2\"：需要%3")
                      .arg(def.name, v.toString(), fieldTypeName(def.type)));
}

bool isTextual(const QVariant& v) {
    return v.typeId() == QMetaType::QString || v.typeId() == QMetaType::QByteArray;
}

// Converts a value to the integer form kept for Ints storage; throws naming the field.
std::int64_t toStoredInt(const FieldDef& def, const QVariant& v) {
    bool ok = false;
    switch (def.type) {
        case FieldType::Boolean: {
            if (v.typeId() == QMetaType::Bool)
                return v.toBool() ? 1 : 0;
            if (isTextual(v)) {
                const QString s = v.toString().trimmed().toLower();
                if (s == QLatin1String("true") || s == QLatin1String("1"))
                    return 1;
                if (s == QLatin1String("false") || s == QLatin1String("0"))
                    return 0;
                badValue(def, v);
            }
            const double d = v.toDouble(&ok);
            if (!ok)
                badValue(def, v);
            return d != 0.0 ? 1 : 0;
        }
        case FieldType::DateTime: {
            if (v.typeId() == QMetaType::QDateTime)
                return dateTimeKey(v.toDateTime());
            if (v.typeId() == QMetaType::QDate)
                return dateTimeKey(QDateTime(v.toDate(), QTime(0, 0)));
            std::int64_t key = 0;
            const QByteArray utf8 = v.toString().trimmed().toUtf8();
            if (!parseDateTimeKey(std::string_view(utf8.constData(), utf8.size()), key))
                badValue(def, v);
            return key;
        }
        case FieldType::Currency: {
            const double d = isTextual(v) ? v.toString().trimmed().toDouble(&ok) : v.toDouble(&ok);
            if (!ok || !std::isfinite(d) || std::fabs(d) > 9.2e14)
                badValue(def, v);
            return currencyUnits(d);
        }
        default: {  // Integer, BigInt
            std::int64_t i = 0;
            if (v.typeId() == QMetaType::Double || v.typeId() == QMetaType::Float) {
                const double d = v.toDouble();
                if (d != std::trunc(d) || std::fabs(d) > 9.2e18)
                    badValue(def, v);
                i = std::int64_t(d);
            } else if (v.typeId() == QMetaType::Bool) {
                i = v.toBool() ? 1 : 0;
            } else {
                i = isTextual(v) ? v.toString().trimmed().toLongLong(&ok) : v.toLongLong(&ok);
                if (!ok)
                    badValue(def, v);
            }
            if (def.type == FieldType::Integer && (i < std::numeric_limits<std::int32_t>::min() ||
                                                   i > std::numeric_limits<std::int32_t>::max()))
                badValue(def, v);
            return i;
        }
    }
}

// Writes a value into a row of a column of the given field, converting it to the field's type.
// An empty text clears a non-text field. Throws DbError naming the field when it does not fit.
void storeValue(Column& c, const FieldDef& def, std::uint32_t row, const QVariant& v) {
    if (v.isNull() || (isTextual(v) && v.toString().isEmpty() && def.type != FieldType::Text &&
                       def.type != FieldType::Blob)) {
        c.setNull(row);
        return;
    }
    switch (c.storage()) {
        case Storage::Ints:
            c.setInt(row, toStoredInt(def, v));
            break;
        case Storage::Reals: {
            bool ok = false;
            const double x = isTextual(v) ? v.toString().trimmed().toDouble(&ok) : v.toDouble(&ok);
            if (!ok)
                badValue(def, v);
            c.setReal(row, x);
            break;
        }
        case Storage::Bytes: {
            QByteArray b;
            if (v.typeId() == QMetaType::QByteArray)
                b = v.toByteArray();
            else if (v.typeId() == QMetaType::QDateTime)
                b = formatDateTime(v.toDateTime()).toUtf8();
            else if (v.typeId() == QMetaType::Double)
                b = floatText(v.toDouble()).toUtf8();
            else
                b = v.toString().toUtf8();
            c.setBytes(row, b.constData(), std::size_t(b.size()));
            break;
        }
    }
}
}  // namespace

QString fieldTypeName(FieldType type) {
    switch (type) {
        case FieldType::Integer:
            return QStringLiteral("整数");
        case FieldType::BigInt:
            return QStringLiteral("长整数");
        case FieldType::Float:
            return QStringLiteral("浮点数");
        case FieldType::Currency:
            return QStringLiteral("金额");
        case FieldType::Boolean:
            return QStringLiteral("布尔值");
        case FieldType::Text:
            return QStringLiteral("文本");
        case FieldType::DateTime:
            return QStringLiteral("日期时间");
        case FieldType::Blob:
            return QStringLiteral("二进制数据");
    }
    return QString();
}

bool isNumeric(FieldType type) {
    return type == FieldType::Integer || type == FieldType::BigInt || type == FieldType::Float ||
           type == FieldType::Currency;
}

QString formatDateTime(const QDateTime& dt) {
    return dt.toString(dt.time().msec() ? QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz")
                                        : QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

QDateTime parseDateTime(QStringView text) {
    std::int64_t key = 0;
    const QByteArray utf8 = text.trimmed().toUtf8();
    if (!parseDateTimeKey(std::string_view(utf8.constData(), utf8.size()), key))
        return QDateTime();
    return dateTimeFromKey(key);
}

// ---------------------------------------------------------------------------------------------

struct RecordSet::Impl {
    std::vector<FieldDef> defs;
    std::vector<Column> cols;
    // Lower-case name -> index, built when a name is first looked up: loading a query's rows
    // into a fresh record set should not pay for it.
    mutable QHash<QString, int> byName;
    mutable bool namesValid = false;
    std::uint32_t physRows = 0;
    std::uint32_t capacityRows = 0;    // rows every column has room for
    std::vector<std::uint32_t> order;  // visible records, by position

    bool active = false;
    DataSetState state = DataSetState::Inactive;
    int cur = -1;
    bool eof = true;
    bool bof = true;
    bool readOnly = false;
    bool logChanges = true;

    // The record being edited: its values before the edit, for cancel and the change log.
    std::vector<QVariant> snapshot;
    bool modified = false;
    int posBeforeInsert = -1;

    std::vector<RowChange> changes;
    std::unordered_map<std::uint32_t, std::size_t> changeOf;  // row -> index in changes
    // Structural steps since the last merge, undone in reverse by cancelUpdates.
    struct Step {
        bool inserted;
        std::uint32_t row;
        int pos;
    };
    std::vector<Step> journal;

    std::vector<RecordSetObserver*> observers;  // not owned
    int controlsDisabled = 0;
    PendingRows* pending = nullptr;  // not owned: the load still adding rows

    void abandonPending() {
        if (PendingRows* p = std::exchange(pending, nullptr))
            p->abandon();
    }

    template <typename F>
    void notify(F f) {
        if (controlsDisabled)
            return;
        for (RecordSetObserver* o : std::vector<RecordSetObserver*>(observers))
            f(o);
    }

    // A new physical row, all NULL. Columns grow for many rows at a time, so that loading
    // costs one store per value.
    std::uint32_t newRow() {
        if (physRows == capacityRows)
            reserve(std::size_t(capacityRows) + Column::kRows);
        return physRows++;
    }
    void reserve(std::size_t rows) {
        if (rows <= capacityRows)
            return;
        if (rows > UINT32_MAX - 1)
            throw DbError(QStringLiteral("记录集的行数超出上限"));
        capacityRows = std::uint32_t(rows);
        for (Column& c : cols)
            c.resize(capacityRows);
    }
    // Gives back the last physical row (an insert that was cancelled).
    void dropLastRow() {
        --physRows;
        for (Column& c : cols)
            c.setNull(physRows);
    }
    void copyRow(std::uint32_t to, std::uint32_t from) {
        for (Column& c : cols)
            c.copyFrom(to, c, from);
    }
    std::uint32_t currentRow() const { return cur >= 0 ? order[cur] : kNoRow; }

    void rebuildNames() const {
        namesValid = true;
        byName.clear();
        for (int i = 0; i < int(defs.size()); ++i)
            byName.insert(defs[i].name.toLower(), i);
    }
    void clearRows() {
        for (Column& c : cols)
            c.clear();
        physRows = 0;
        capacityRows = 0;
        order.clear();
        changes.clear();
        changeOf.clear();
        journal.clear();
        snapshot.clear();
        modified = false;
        cur = -1;
        eof = bof = true;
    }
    void forgetChange(std::size_t index) {
        changes.erase(changes.begin() + index);
        changeOf.clear();
        for (std::size_t i = 0; i < changes.size(); ++i)
            changeOf[changes[i].row] = i;
    }
    void resetCursor() {
        cur = order.empty() ? -1 : std::clamp(cur, 0, int(order.size()) - 1);
        bof = eof = order.empty();
    }
};

RecordSet::RecordSet() : d(std::make_unique<Impl>()) {}

RecordSet::~RecordSet() {
    if (!d)
        return;
    d->abandonPending();
    d->notify([](RecordSetObserver* o) { o->recordSetDestroyed(); });
}

// Views observe an object, not its contents: the observers stay where they were registered
// and are told that the rows they showed have changed.
RecordSet::RecordSet(RecordSet&& other) noexcept : d(std::make_unique<Impl>()) {
    *this = std::move(other);
}

RecordSet& RecordSet::operator=(RecordSet&& other) noexcept {
    if (this == &other)
        return *this;
    d->abandonPending();
    other.d->abandonPending();
    d->notify([](RecordSetObserver* o) { o->beginReset(); });
    other.d->notify([](RecordSetObserver* o) { o->beginReset(); });
    std::vector<RecordSetObserver*> mine = std::move(d->observers);
    std::vector<RecordSetObserver*> theirs = std::move(other.d->observers);
    const int mineDisabled = d->controlsDisabled;
    const int theirsDisabled = other.d->controlsDisabled;
    d = std::move(other.d);
    other.d = std::make_unique<Impl>();
    d->observers = std::move(mine);
    d->controlsDisabled = mineDisabled;
    other.d->observers = std::move(theirs);
    other.d->controlsDisabled = theirsDisabled;
    other.d->notify([](RecordSetObserver* o) { o->endReset(); });
    d->notify([](RecordSetObserver* o) { o->endReset(); });
    return *this;
}

// ---- structure ------------------------------------------------------------------------------

int RecordSet::addField(const FieldDef& def) {
    if (d->active)
        throw DbError(QStringLiteral("记录集已打开，不能添加字段 \"%1\"").arg(def.name));
    if (def.name.isEmpty())
        throw DbError(QStringLiteral("字段名不能为空"));
    if (hasField(def.name))
        throw DbError(QStringLiteral("字段 \"%1\" 重复").arg(def.name));
    d->defs.push_back(def);
    d->cols.emplace_back(def.type);
    d->cols.back().resize(d->capacityRows);
    d->namesValid = false;
    return int(d->defs.size()) - 1;
}

void RecordSet::setFields(std::vector<FieldDef> defs) {
    clearFields();
    d->cols.reserve(defs.size());
    for (const FieldDef& def : defs)
        d->cols.emplace_back(def.type);
    d->defs = std::move(defs);
    d->namesValid = false;
}

int RecordSet::addField(const QString& name, FieldType type, int size) {
    FieldDef def;
    def.name = name;
    def.type = type;
    def.size = size;
    return addField(def);
}

void RecordSet::clearFields() {
    close();
    d->defs.clear();
    d->cols.clear();
    d->namesValid = false;
    d->clearRows();
}

int RecordSet::fieldCount() const {
    return int(d->defs.size());
}
const FieldDef& RecordSet::fieldDef(int index) const {
    return d->defs.at(index);
}
FieldDef& RecordSet::fieldDef(int index) {
    return d->defs.at(index);
}

int RecordSet::fieldIndex(const QString& name) const {
    if (!d->namesValid)
        d->rebuildNames();
    // Names are kept in lower case; most callers ask in it already.
    if (const auto it = d->byName.constFind(name); it != d->byName.constEnd())
        return *it;
    return d->byName.value(name.toLower(), -1);
}

QStringList RecordSet::fieldNames() const {
    QStringList names;
    for (const FieldDef& def : d->defs)
        names << def.name;
    return names;
}

Field RecordSet::field(const QString& name) {
    const int i = fieldIndex(name);
    if (i < 0)
        throw DbError(QStringLiteral("字段 \"%1\" 不存在").arg(name));
    return Field(this, i);
}

Field RecordSet::field(int index) {
    if (index < 0 || index >= fieldCount())
        throw DbError(QStringLiteral("字段序号 %1 超出范围").arg(index));
    return Field(this, index);
}

void RecordSet::cloneStructure(const RecordSet& other) {
    clearFields();
    for (const FieldDef& def : other.d->defs)
        addField(def);
}

// ---- opening --------------------------------------------------------------------------------

void RecordSet::createDataSet() {
    if (d->defs.empty())
        throw DbError(QStringLiteral("记录集没有字段，不能创建"));
    close();
    d->clearRows();
    open();
}

void RecordSet::open() {
    if (d->active)
        return;
    if (beforeOpen)
        beforeOpen(*this);
    d->notify([](RecordSetObserver* o) { o->beginReset(); });
    d->active = true;
    d->state = DataSetState::Browse;
    d->cur = d->order.empty() ? -1 : 0;
    d->bof = true;
    d->eof = d->order.empty();
    d->notify([](RecordSetObserver* o) { o->endReset(); });
    d->notify([this](RecordSetObserver* o) { o->stateChanged(d->state); });
    if (afterOpen)
        afterOpen(*this);
    if (!d->order.empty() && afterScroll)
        afterScroll(*this);
    if (onDataChange)
        onDataChange(*this, -1);
}

void RecordSet::close() {
    d->abandonPending();
    if (!d->active) {
        d->clearRows();
        return;
    }
    if (beforeClose)
        beforeClose(*this);
    d->notify([](RecordSetObserver* o) { o->beginReset(); });
    d->clearRows();
    d->active = false;
    d->state = DataSetState::Inactive;
    d->notify([](RecordSetObserver* o) { o->endReset(); });
    d->notify([this](RecordSetObserver* o) { o->stateChanged(d->state); });
    if (afterClose)
        afterClose(*this);
}

bool RecordSet::active() const {
    return d->active;
}

void RecordSet::setData(RecordSet&& packet) {
    // Views see the closing, the new rows and the opening as one reset (the state changes are
    // told inside it).
    d->notify([](RecordSetObserver* o) { o->beginReset(); });
    const auto end =
        qScopeGuard([this] { d->notify([](RecordSetObserver* o) { o->endReset(); }); });
    close();
    // The same statement opened again brings the same names: their index stays.
    const bool sameNames =
        d->namesValid &&
        std::equal(d->defs.begin(), d->defs.end(), packet.d->defs.begin(), packet.d->defs.end(),
                   [](const FieldDef& a, const FieldDef& b) { return a.name == b.name; });
    d->defs = std::move(packet.d->defs);
    d->cols = std::move(packet.d->cols);
    d->physRows = packet.d->physRows;
    d->capacityRows = packet.d->capacityRows;
    d->order = std::move(packet.d->order);
    d->namesValid = sameNames;
    packet.d = std::make_unique<Impl>();
    open();
}

void RecordSet::emptyDataSet() {
    d->abandonPending();
    if (!d->active)
        return;
    d->notify([](RecordSetObserver* o) { o->beginReset(); });
    d->clearRows();
    d->state = DataSetState::Browse;
    d->notify([](RecordSetObserver* o) { o->endReset(); });
    if (onDataChange)
        onDataChange(*this, -1);
}

// ---- bulk loading ---------------------------------------------------------------------------

std::uint32_t RecordSet::newLoadedRow() {
    return d->newRow();
}

void RecordSet::showLoadedRows(std::uint32_t firstRow, std::uint32_t count) {
    if (count == 0)
        return;
    const int first = int(d->order.size());
    const int last = first + int(count) - 1;
    d->notify([=](RecordSetObserver* o) { o->beginAppendRows(first, last); });
    d->order.resize(d->order.size() + count);
    std::iota(d->order.end() - count, d->order.end(), firstRow);
    d->notify([=](RecordSetObserver* o) { o->endAppendRows(first, last); });
    if (d->cur < 0) {  // an empty record set comes to its first row, as opening does
        d->cur = 0;
        d->bof = d->eof = false;
        d->notify([](RecordSetObserver* o) { o->currentChanged(0); });
        if (onDataChange)
            onDataChange(*this, -1);
    }
}

void RecordSet::setPendingRows(PendingRows* load) {
    d->pending = load;
}

bool RecordSet::rowsPending() const {
    return d->pending != nullptr;
}

void RecordSet::finishPendingRows() {
    if (PendingRows* p = std::exchange(d->pending, nullptr))
        p->finish();
}

std::uint32_t RecordSet::loadRow() {
    const std::uint32_t row = d->newRow();
    d->order.push_back(row);
    return row;
}

void RecordSet::setIntAt(std::uint32_t row, int field, qint64 v) {
    Column& c = d->cols[field];
    switch (c.storage()) {
        case Storage::Ints:
            c.setInt(row, c.type() == FieldType::Currency ? v * kCurrencyScale : v);
            break;
        case Storage::Reals:
            c.setReal(row, double(v));
            break;
        case Storage::Bytes: {
            const QByteArray s = QByteArray::number(v);
            c.setBytes(row, s.constData(), std::size_t(s.size()));
            break;
        }
    }
}

void RecordSet::setFloatAt(std::uint32_t row, int field, double v) {
    Column& c = d->cols[field];
    switch (c.storage()) {
        case Storage::Ints:
            c.setInt(row, c.type() == FieldType::Currency ? currencyUnits(v)
                                                          : std::int64_t(std::llround(v)));
            break;
        case Storage::Reals:
            c.setReal(row, v);
            break;
        case Storage::Bytes: {
            const QByteArray s = floatText(v).toUtf8();
            c.setBytes(row, s.constData(), std::size_t(s.size()));
            break;
        }
    }
}

void RecordSet::setTextAt(std::uint32_t row, int field, const char* utf8, std::size_t len) {
    Column& c = d->cols[field];
    if (c.storage() == Storage::Bytes) {
        c.setBytes(row, utf8, len);
        return;
    }
    if (c.type() == FieldType::DateTime) {
        std::int64_t key = 0;
        if (parseDateTimeKey(std::string_view(utf8, len), key))
            c.setInt(row, key);
        else
            c.setNull(row);
        return;
    }
    const QVariant v = QString::fromUtf8(utf8, qsizetype(len));
    if (c.storage() == Storage::Reals) {
        bool ok = false;
        const double x = v.toString().toDouble(&ok);
        if (ok)
            c.setReal(row, x);
        else
            c.setNull(row);
    } else {
        c.setInt(row, toStoredInt(d->defs[field], v));
    }
}

void RecordSet::setBlobAt(std::uint32_t row, int field, const void* data, std::size_t len) {
    Column& c = d->cols[field];
    if (c.storage() != Storage::Bytes)
        throw DbError(QStringLiteral("字段 \"%1\" 不能接受二进制数据").arg(d->defs[field].name));
    c.setBytes(row, static_cast<const char*>(data), len);
}

void RecordSet::retypeField(int field, FieldType type) {
    if (d->defs.at(field).type == type)
        return;
    // Rows still coming can change a shown field's type: views start over with it.
    if (d->active)
        d->notify([](RecordSetObserver* o) { o->beginReset(); });
    const auto shown = qScopeGuard([this] {
        if (d->active)
            d->notify([](RecordSetObserver* o) { o->endReset(); });
    });
    std::vector<QVariant> values(d->physRows);
    for (std::uint32_t r = 0; r < d->physRows; ++r)
        values[r] = valueAt(r, field);
    d->defs[field].type = type;
    d->cols[field] = Column(type);
    Column& c = d->cols[field];
    c.resize(d->capacityRows);
    for (std::uint32_t r = 0; r < d->physRows; ++r)
        storeValue(c, d->defs[field], r, values[r]);
}

Internal::Column& RecordSet::columnForLoad(int field) {
    return d->cols.at(std::size_t(field));
}

const Internal::Column& RecordSet::storedColumn(int field) const {
    return d->cols.at(std::size_t(field));
}

void RecordSet::reserveRows(std::size_t n) {
    d->reserve(n);
    d->order.reserve(n);
}

// ---- cursor ---------------------------------------------------------------------------------

int RecordSet::recordCount() const {
    return d->active ? int(d->order.size()) : 0;
}
int RecordSet::recNo() const {
    return d->cur;
}
bool RecordSet::eof() const {
    return d->eof;
}
bool RecordSet::bof() const {
    return d->bof;
}

namespace {
void checkActive(const RecordSet& rs) {
    if (!rs.active())
        throw DbError(QStringLiteral("记录集未打开"));
}
}  // namespace

void RecordSet::moveTo(int pos) {
    checkActive(*this);
    checkBrowseMode();
    if (beforeScroll)
        beforeScroll(*this);
    const int n = int(d->order.size());
    d->cur = n == 0 ? -1 : std::clamp(pos, 0, n - 1);
    // As after a failed step: a position before the first or past the last record.
    d->bof = n == 0 || pos < 0;
    d->eof = n == 0 || pos >= n;
    d->notify([this](RecordSetObserver* o) { o->currentChanged(d->cur); });
    if (afterScroll)
        afterScroll(*this);
    if (onDataChange)
        onDataChange(*this, -1);
}

void RecordSet::first() {
    moveTo(0);
    d->bof = true;
}

void RecordSet::last() {
    moveTo(int(d->order.size()) - 1);
    d->eof = true;
}

void RecordSet::next() {
    checkActive(*this);
    checkBrowseMode();
    if (d->cur + 1 >= int(d->order.size())) {
        d->eof = true;
        return;
    }
    moveTo(d->cur + 1);
}

void RecordSet::prior() {
    checkActive(*this);
    checkBrowseMode();
    if (d->cur <= 0) {
        d->bof = true;
        return;
    }
    moveTo(d->cur - 1);
}

namespace {
// True when the stored value equals `wanted` under the locate options.
bool matches(const RecordSet& rs, std::uint32_t row, int field, const QVariant& wanted,
             bool caseInsensitive, bool partial) {
    if (wanted.isNull() || (isTextual(wanted) && wanted.toString().isEmpty() &&
                            rs.fieldDef(field).type != FieldType::Text))
        return rs.isNullAt(row, field);
    if (rs.isNullAt(row, field))
        return false;
    const FieldDef& def = rs.fieldDef(field);
    if (def.type == FieldType::Text) {
        const QString have = rs.textAt(row, field);
        const QString want = wanted.toString();
        const Qt::CaseSensitivity cs = caseInsensitive ? Qt::CaseInsensitive : Qt::CaseSensitive;
        return partial ? have.startsWith(want, cs) : have.compare(want, cs) == 0;
    }
    const QVariant have = rs.valueAt(row, field);
    if (def.type == FieldType::Float || def.type == FieldType::Currency) {
        bool ok = false;
        const double w = wanted.toDouble(&ok);
        return ok && std::fabs(have.toDouble() - w) < 1e-9;
    }
    if (def.type == FieldType::Blob)
        return have.toByteArray() == wanted.toByteArray();
    try {
        return rs.intAt(row, field) == toStoredInt(def, wanted);
    } catch (const DbError&) {
        return false;
    }
}
}  // namespace

bool RecordSet::locate(const QString& fieldName, const QVariant& value, bool caseInsensitive,
                       bool partial) {
    checkActive(*this);
    finishPendingRows();
    const int f = field(fieldName).index();
    for (int pos = 0; pos < int(d->order.size()); ++pos) {
        if (matches(*this, d->order[pos], f, value, caseInsensitive, partial)) {
            moveTo(pos);
            return true;
        }
    }
    return false;
}

bool RecordSet::locate(const QStringList& names, const QVariantList& values) {
    checkActive(*this);
    finishPendingRows();
    if (names.size() != values.size())
        throw DbError(QStringLiteral("定位字段与值的个数不一致"));
    std::vector<int> fields;
    for (const QString& n : names)
        fields.push_back(field(n).index());
    for (int pos = 0; pos < int(d->order.size()); ++pos) {
        bool all = true;
        for (std::size_t i = 0; i < fields.size() && all; ++i)
            all = matches(*this, d->order[pos], fields[i], values[qsizetype(i)], false, false);
        if (all) {
            moveTo(pos);
            return true;
        }
    }
    return false;
}

namespace {
// Three-way comparison of two stored values of one field, NULL first.
int compareAt(const RecordSet& rs, std::uint32_t a, std::uint32_t b, int field) {
    const bool na = rs.isNullAt(a, field), nb = rs.isNullAt(b, field);
    if (na || nb)
        return na == nb ? 0 : (na ? -1 : 1);
    switch (rs.fieldDef(field).type) {
        case FieldType::Text:
            return QString::localeAwareCompare(rs.textAt(a, field), rs.textAt(b, field));
        case FieldType::Float:
        case FieldType::Currency: {
            const double x = rs.floatAt(a, field), y = rs.floatAt(b, field);
            return x < y ? -1 : (x > y ? 1 : 0);
        }
        case FieldType::Blob:
            return rs.valueAt(a, field).toByteArray().compare(rs.valueAt(b, field).toByteArray());
        default: {
            const qint64 x = rs.intAt(a, field), y = rs.intAt(b, field);
            return x < y ? -1 : (x > y ? 1 : 0);
        }
    }
}
}  // namespace

void RecordSet::sortBy(const std::vector<SortKey>& keys) {
    checkActive(*this);
    finishPendingRows();
    checkBrowseMode();
    for (const SortKey& k : keys)
        if (k.field < 0 || k.field >= fieldCount())
            throw DbError(QStringLiteral("排序字段序号 %1 超出范围").arg(k.field));
    const Bookmark current = bookmark();
    d->notify([](RecordSetObserver* o) { o->beginReset(); });
    std::stable_sort(d->order.begin(), d->order.end(), [&](std::uint32_t a, std::uint32_t b) {
        for (const SortKey& k : keys) {
            const int c = compareAt(*this, a, b, k.field);
            if (c != 0)
                return k.descending ? c > 0 : c < 0;
        }
        return false;
    });
    if (current.isValid())
        d->cur = int(std::find(d->order.begin(), d->order.end(), current.row) - d->order.begin());
    d->notify([](RecordSetObserver* o) { o->endReset(); });
    d->notify([this](RecordSetObserver* o) { o->currentChanged(d->cur); });
}

Bookmark RecordSet::bookmark() const {
    return Bookmark{d->currentRow()};
}

bool RecordSet::bookmarkValid(Bookmark b) const {
    return b.isValid() && std::find(d->order.begin(), d->order.end(), b.row) != d->order.end();
}

void RecordSet::gotoBookmark(Bookmark b) {
    const auto it = std::find(d->order.begin(), d->order.end(), b.row);
    if (!b.isValid() || it == d->order.end())
        throw DbError(QStringLiteral("书签指向的记录已不存在"));
    moveTo(int(it - d->order.begin()));
}

// ---- states ---------------------------------------------------------------------------------

DataSetState RecordSet::state() const {
    return d->state;
}
bool RecordSet::readOnly() const {
    return d->readOnly;
}
void RecordSet::setReadOnly(bool on) {
    d->readOnly = on;
}
bool RecordSet::modified() const {
    return d->modified;
}

namespace {
void checkCanModify(const RecordSet& rs) {
    checkActive(rs);
    if (rs.readOnly())
        throw DbError(QStringLiteral("记录集为只读，不能修改"));
}
}  // namespace

void RecordSet::checkBrowseMode() {
    checkActive(*this);
    if (d->state == DataSetState::Insert || d->state == DataSetState::Edit) {
        if (d->modified)
            post();
        else
            cancel();
    }
}

void RecordSet::append() {
    insertRecord(true);
}
void RecordSet::insert() {
    insertRecord(false);
}

void RecordSet::appendRows(const RecordSet& from, const std::vector<std::uint32_t>& rows) {
    checkBrowseMode();
    if (rows.empty())
        return;
    std::vector<int> source(d->defs.size());
    for (std::size_t f = 0; f < source.size(); ++f)
        source[f] = from.fieldIndex(d->defs[f].name);
    const std::uint32_t firstRow = d->physRows;
    d->reserve(std::size_t(firstRow) + rows.size());
    try {
        for (const std::uint32_t src : rows) {
            const std::uint32_t row = d->newRow();
            for (std::size_t f = 0; f < source.size(); ++f) {
                const int g = source[f];
                if (g < 0 || from.isNullAt(src, g))
                    continue;
                const Column& in = from.d->cols[std::size_t(g)];
                if (in.type() == d->cols[f].type())
                    d->cols[f].copyFrom(row, in, src);
                else
                    storeValue(d->cols[f], d->defs[f], row, from.valueAt(src, g));
            }
        }
    } catch (...) {
        while (d->physRows > firstRow)
            d->dropLastRow();
        throw;
    }
    showLoadedRows(firstRow, std::uint32_t(rows.size()));
}

void RecordSet::insertRecord(bool atEnd) {
    checkCanModify(*this);
    checkBrowseMode();
    if (beforeInsert)
        beforeInsert(*this);
    if (beforeScroll)
        beforeScroll(*this);
    const std::uint32_t row = d->newRow();
    const int pos = atEnd || d->cur < 0 ? int(d->order.size()) : d->cur;
    d->posBeforeInsert = d->cur;
    d->notify([pos](RecordSetObserver* o) { o->beginInsertRow(pos); });
    d->order.insert(d->order.begin() + pos, row);
    d->notify([](RecordSetObserver* o) { o->endInsertRow(); });
    d->cur = pos;
    d->bof = d->eof = false;
    d->state = DataSetState::Insert;
    d->modified = false;
    d->snapshot.clear();
    d->notify([pos](RecordSetObserver* o) { o->currentChanged(pos); });
    d->notify([](RecordSetObserver* o) { o->stateChanged(DataSetState::Insert); });
    if (afterInsert)
        afterInsert(*this);
    if (afterScroll)
        afterScroll(*this);
    if (onDataChange)
        onDataChange(*this, -1);
}

void RecordSet::edit() {
    checkCanModify(*this);
    if (d->state == DataSetState::Edit || d->state == DataSetState::Insert)
        return;
    if (d->order.empty()) {
        append();
        return;
    }
    if (beforeEdit)
        beforeEdit(*this);
    const std::uint32_t row = d->currentRow();
    d->snapshot.resize(d->defs.size());
    for (int f = 0; f < fieldCount(); ++f)
        d->snapshot[f] = valueAt(row, f);
    d->modified = false;
    d->state = DataSetState::Edit;
    d->notify([](RecordSetObserver* o) { o->stateChanged(DataSetState::Edit); });
    if (afterEdit)
        afterEdit(*this);
}

void RecordSet::post() {
    checkActive(*this);
    if (d->state != DataSetState::Insert && d->state != DataSetState::Edit)
        throw DbError(QStringLiteral("记录集不在编辑或插入状态，不能提交"));
    if (beforePost)
        beforePost(*this);
    const std::uint32_t row = d->currentRow();
    for (int f = 0; f < fieldCount(); ++f)
        if (d->defs[f].required && isNullAt(row, f))
            throw DbError(QStringLiteral("字段 \"%1\" 必须有值").arg(d->defs[f].label()));

    if (d->logChanges && d->state == DataSetState::Insert) {
        d->changeOf[row] = d->changes.size();
        d->changes.push_back({ChangeKind::Inserted, row, kNoRow});
        d->journal.push_back({true, row, d->cur});
    } else if (d->logChanges && d->state == DataSetState::Edit &&
               d->changeOf.find(row) == d->changeOf.end()) {
        bool differs = false;
        for (int f = 0; f < fieldCount() && !differs; ++f)
            differs = valueAt(row, f) != d->snapshot[f];
        if (differs) {
            // Keep the values as they were before the edit in a row of their own.
            const std::uint32_t original = d->newRow();
            for (int f = 0; f < fieldCount(); ++f)
                storeValue(d->cols[f], d->defs[f], original, d->snapshot[f]);
            d->changeOf[row] = d->changes.size();
            d->changes.push_back({ChangeKind::Modified, row, original});
        }
    }
    d->state = DataSetState::Browse;
    d->snapshot.clear();
    d->modified = false;
    const int pos = d->cur;
    d->notify([pos](RecordSetObserver* o) { o->rowChanged(pos); });
    d->notify([](RecordSetObserver* o) { o->stateChanged(DataSetState::Browse); });
    if (afterPost)
        afterPost(*this);
}

void RecordSet::cancel() {
    checkActive(*this);
    if (d->state != DataSetState::Insert && d->state != DataSetState::Edit)
        return;
    if (beforeCancel)
        beforeCancel(*this);
    const std::uint32_t row = d->currentRow();
    if (d->state == DataSetState::Insert) {
        const int pos = d->cur;
        d->notify([pos](RecordSetObserver* o) { o->beginRemoveRow(pos); });
        d->order.erase(d->order.begin() + pos);
        if (row + 1 == d->physRows)
            d->dropLastRow();
        d->notify([](RecordSetObserver* o) { o->endRemoveRow(); });
        d->cur = d->posBeforeInsert;
        d->resetCursor();
        d->bof = d->cur <= 0;
    } else {
        for (int f = 0; f < fieldCount(); ++f)
            storeValue(d->cols[f], d->defs[f], row, d->snapshot[f]);
        const int pos = d->cur;
        d->notify([pos](RecordSetObserver* o) { o->rowChanged(pos); });
    }
    d->state = DataSetState::Browse;
    d->snapshot.clear();
    d->modified = false;
    d->notify([this](RecordSetObserver* o) { o->currentChanged(d->cur); });
    d->notify([](RecordSetObserver* o) { o->stateChanged(DataSetState::Browse); });
    if (afterCancel)
        afterCancel(*this);
    if (onDataChange)
        onDataChange(*this, -1);
}

void RecordSet::deleteRecord() {
    checkCanModify(*this);
    if (d->state == DataSetState::Insert) {
        cancel();
        return;
    }
    if (d->order.empty())
        throw DbError(QStringLiteral("记录集为空，没有可删除的记录"));
    if (d->state == DataSetState::Edit)
        cancel();
    if (beforeDelete)
        beforeDelete(*this);
    if (beforeScroll)
        beforeScroll(*this);
    const int pos = d->cur;
    const std::uint32_t row = d->order[pos];
    if (d->logChanges) {
        const auto it = d->changeOf.find(row);
        if (it == d->changeOf.end()) {
            d->changeOf[row] = d->changes.size();
            d->changes.push_back({ChangeKind::Deleted, row, row});
        } else if (d->changes[it->second].kind == ChangeKind::Inserted) {
            d->forgetChange(it->second);
        } else {
            d->changes[it->second].kind = ChangeKind::Deleted;
        }
        d->journal.push_back({false, row, pos});
    }
    d->notify([pos](RecordSetObserver* o) { o->beginRemoveRow(pos); });
    d->order.erase(d->order.begin() + pos);
    d->notify([](RecordSetObserver* o) { o->endRemoveRow(); });
    d->resetCursor();
    d->notify([this](RecordSetObserver* o) { o->currentChanged(d->cur); });
    if (afterDelete)
        afterDelete(*this);
    if (afterScroll)
        afterScroll(*this);
    if (onDataChange)
        onDataChange(*this, -1);
}

// ---- change log -----------------------------------------------------------------------------

bool RecordSet::logChanges() const {
    return d->logChanges;
}
void RecordSet::setLogChanges(bool on) {
    d->logChanges = on;
}
int RecordSet::changeCount() const {
    return int(d->changes.size());
}
const std::vector<RowChange>& RecordSet::changes() const {
    return d->changes;
}

void RecordSet::mergeChangeLog() {
    d->changes.clear();
    d->changeOf.clear();
    d->journal.clear();
}

void RecordSet::cancelUpdates() {
    if (!d->active)
        return;
    cancel();
    d->notify([](RecordSetObserver* o) { o->beginReset(); });
    for (auto step = d->journal.rbegin(); step != d->journal.rend(); ++step) {
        if (step->inserted) {
            auto it = std::find(d->order.begin(), d->order.end(), step->row);
            if (it != d->order.end())
                d->order.erase(it);
        } else {
            const int pos = std::clamp(step->pos, 0, int(d->order.size()));
            d->order.insert(d->order.begin() + pos, step->row);
        }
    }
    for (const RowChange& c : d->changes)
        if (c.original != kNoRow && c.original != c.row)
            d->copyRow(c.row, c.original);
    mergeChangeLog();
    d->resetCursor();
    d->notify([](RecordSetObserver* o) { o->endReset(); });
    if (onDataChange)
        onDataChange(*this, -1);
}

// ---- raw access -----------------------------------------------------------------------------

std::uint32_t RecordSet::rowAt(int pos) const {
    return d->order.at(std::size_t(pos));
}

bool RecordSet::isNullAt(std::uint32_t row, int field) const {
    return d->cols[field].isNull(row);
}

QVariant RecordSet::valueAt(std::uint32_t row, int field) const {
    const Column& c = d->cols[field];
    if (c.isNull(row))
        return QVariant();
    switch (c.type()) {
        case FieldType::Integer:
            return int(c.intAt(row));
        case FieldType::BigInt:
            return qlonglong(c.intAt(row));
        case FieldType::Float:
            return c.realAt(row);
        case FieldType::Currency:
            return double(c.intAt(row)) / kCurrencyScale;
        case FieldType::Boolean:
            return c.intAt(row) != 0;
        case FieldType::Text: {
            const std::string_view s = c.bytesAt(row);
            return QString::fromUtf8(s.data(), qsizetype(s.size()));
        }
        case FieldType::DateTime:
            return dateTimeFromKey(c.intAt(row));
        case FieldType::Blob: {
            const std::string_view s = c.bytesAt(row);
            return QByteArray(s.data(), qsizetype(s.size()));
        }
    }
    return QVariant();
}

QString RecordSet::textAt(std::uint32_t row, int field) const {
    const Column& c = d->cols[field];
    if (c.isNull(row))
        return QString();
    switch (c.type()) {
        case FieldType::Integer:
        case FieldType::BigInt:
            return QString::number(c.intAt(row));
        case FieldType::Float:
            return Sys::withPlaces(floatText(c.realAt(row)), d->defs[std::size_t(field)].places);
        case FieldType::Currency:
            return Sys::withPlaces(currencyText(c.intAt(row)), d->defs[std::size_t(field)].places);
        case FieldType::Boolean:
            return c.intAt(row) ? QStringLiteral("True") : QStringLiteral("False");
        case FieldType::Text: {
            const std::string_view s = c.bytesAt(row);
            return QString::fromUtf8(s.data(), qsizetype(s.size()));
        }
        case FieldType::DateTime:
            return formatDateTime(dateTimeFromKey(c.intAt(row)));
        case FieldType::Blob: {
            const std::string_view s = c.bytesAt(row);
            return QString::fromLatin1(QByteArray(s.data(), qsizetype(s.size())).toBase64());
        }
    }
    return QString();
}

std::string_view RecordSet::utf8At(std::uint32_t row, int field) const {
    const Column& c = d->cols[field];
    if (c.type() != FieldType::Text || c.isNull(row))
        return {};
    return c.bytesAt(row);
}

qint64 RecordSet::intAt(std::uint32_t row, int field) const {
    const Column& c = d->cols[field];
    if (c.isNull(row))
        return 0;
    switch (c.storage()) {
        case Storage::Ints:
            return c.type() == FieldType::Currency ? c.intAt(row) / kCurrencyScale : c.intAt(row);
        case Storage::Reals:
            return qint64(c.realAt(row));
        case Storage::Bytes:
            return textAt(row, field).toLongLong();
    }
    return 0;
}

double RecordSet::floatAt(std::uint32_t row, int field) const {
    const Column& c = d->cols[field];
    if (c.isNull(row))
        return 0.0;
    switch (c.storage()) {
        case Storage::Ints:
            return c.type() == FieldType::Currency ? double(c.intAt(row)) / kCurrencyScale
                                                   : double(c.intAt(row));
        case Storage::Reals:
            return c.realAt(row);
        case Storage::Bytes:
            return textAt(row, field).toDouble();
    }
    return 0.0;
}

bool sameValue(const RecordSet& a, std::uint32_t rowA, const RecordSet& b, std::uint32_t rowB,
               int field) {
    const bool nullA = a.isNullAt(rowA, field);
    const bool nullB = b.isNullAt(rowB, field);
    if (nullA || nullB)
        return nullA == nullB;
    switch (a.fieldDef(field).type) {
        case FieldType::Integer:
        case FieldType::BigInt:
        case FieldType::Boolean:
        case FieldType::DateTime:
            return a.intAt(rowA, field) == b.intAt(rowB, field);
        case FieldType::Float:
        case FieldType::Currency:
            return a.floatAt(rowA, field) == b.floatAt(rowB, field);
        case FieldType::Text:
            return a.utf8At(rowA, field) == b.utf8At(rowB, field);
        case FieldType::Blob:
            break;
    }
    return a.valueAt(rowA, field).toByteArray() == b.valueAt(rowB, field).toByteArray();
}

// ---- observers ------------------------------------------------------------------------------

void RecordSet::addObserver(RecordSetObserver* o) {
    if (std::find(d->observers.begin(), d->observers.end(), o) == d->observers.end())
        d->observers.push_back(o);
}

void RecordSet::removeObserver(RecordSetObserver* o) {
    d->observers.erase(std::remove(d->observers.begin(), d->observers.end(), o),
                       d->observers.end());
}

void RecordSet::disableControls() {
    d->notify([](RecordSetObserver* o) { o->beginReset(); });
    ++d->controlsDisabled;
}

void RecordSet::enableControls() {
    if (d->controlsDisabled == 0)
        return;
    if (--d->controlsDisabled == 0) {
        d->notify([](RecordSetObserver* o) { o->endReset(); });
        d->notify([this](RecordSetObserver* o) { o->currentChanged(d->cur); });
    }
}

bool RecordSet::controlsDisabled() const {
    return d->controlsDisabled > 0;
}

std::size_t RecordSet::storageBytes() const {
    std::size_t n = d->order.capacity() * sizeof(std::uint32_t);
    for (const Column& c : d->cols)
        n += c.bytes();
    return n;
}

// ---- Field ----------------------------------------------------------------------------------

const FieldDef& Field::def() const {
    return m_rs->fieldDef(m_index);
}

namespace {
std::uint32_t currentOf(const RecordSet& rs, const FieldDef& def) {
    if (!rs.active() || rs.recNo() < 0)
        throw DbError(QStringLiteral("没有当前记录，不能读取字段 \"%1\"").arg(def.name));
    return rs.rowAt(rs.recNo());
}
}  // namespace

bool Field::isNull() const {
    return m_rs->isNullAt(currentOf(*m_rs, def()), m_index);
}
QVariant Field::value() const {
    return m_rs->valueAt(currentOf(*m_rs, def()), m_index);
}
QString Field::asString() const {
    return m_rs->textAt(currentOf(*m_rs, def()), m_index);
}
int Field::asInteger() const {
    return int(asLargeInt());
}
qint64 Field::asLargeInt() const {
    return m_rs->intAt(currentOf(*m_rs, def()), m_index);
}
double Field::asFloat() const {
    return m_rs->floatAt(currentOf(*m_rs, def()), m_index);
}
double Field::asCurrency() const {
    return asFloat();
}

bool Field::asBoolean() const {
    const QVariant v = value();
    if (v.typeId() == QMetaType::QString) {
        const QString s = v.toString().trimmed().toLower();
        return s == QLatin1String("true") || s == QLatin1String("1");
    }
    return v.toBool();
}

QDateTime Field::asDateTime() const {
    const QVariant v = value();
    if (v.typeId() == QMetaType::QDateTime)
        return v.toDateTime();
    return v.isNull() ? QDateTime() : parseDateTime(v.toString());
}

QDate Field::asDate() const {
    if (type() != FieldType::DateTime)
        return asDateTime().date();
    return isNull() ? QDate() : dateAndTimeFromKey(asLargeInt()).first;
}

QTime Field::asTime() const {
    if (type() != FieldType::DateTime)
        return asDateTime().time();
    return isNull() ? QTime() : dateAndTimeFromKey(asLargeInt()).second;
}

QByteArray Field::asBytes() const {
    const QVariant v = value();
    return v.typeId() == QMetaType::QByteArray ? v.toByteArray() : v.toString().toUtf8();
}

QVariant Field::oldValue() const {
    RecordSet::Impl& d = *m_rs->d;
    if (d.state == DataSetState::Edit && !d.snapshot.empty())
        return d.snapshot[m_index];
    if (d.state == DataSetState::Insert)
        return QVariant();
    return value();
}

void Field::setValue(const QVariant& v) const {
    RecordSet::Impl& d = *m_rs->d;
    const FieldDef& fd = def();
    if (d.state != DataSetState::Insert && d.state != DataSetState::Edit)
        throw DbError(QStringLiteral("记录集不在编辑或插入状态，不能修改字段 \"%1\"").arg(fd.name));
    const std::uint32_t row = d.currentRow();
    storeValue(d.cols[m_index], fd, row, v);
    d.modified = true;
    const int pos = d.cur;
    d.notify([pos](RecordSetObserver* o) { o->rowChanged(pos); });
    if (m_rs->onDataChange)
        m_rs->onDataChange(*m_rs, m_index);
}

}  // namespace Qd::Core::Db
