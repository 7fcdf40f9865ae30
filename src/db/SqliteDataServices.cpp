#include "db/SqliteDataServices.h"

#include <sqlite3.h>

#include <QElapsedTimer>
#include <QFileDevice>
#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <cmath>
#include <limits>
#include <utility>

#include "base/OwnerOnly.h"
#include "db/ChunkedLoad.h"
#include "db/ColumnStore.h"
#include "db/FileChunks.h"
#include "db/FileStore.h"
#include "db/QueryProgress.h"
#include "db/SqliteValues.h"
#include "db/Trace.h"
#include "db/TraceMask.h"
#include "db/tsql/TsqlDecimal.h"
#include "db/tsql/TsqlSession.h"

namespace Qd::Core::Db {

namespace {

// ---- loading rows --------------------------------------------------------------------------

// Fills a data packet from the rows of one statement. Fields are typed from the declared column
// types; a column without one (an expression) takes the type of its first non-NULL value. A
// value that does not fit its field widens the field: Integer -> BigInt -> Float, anything else
// -> Text.
class Loader {
public:
    Loader(sqlite3_stmt* s, const QStringList& types, RecordSet& rs,
           std::shared_ptr<void>& layoutSlot)
        : m_rs(&rs) {
        // The fields a statement gives are the same each time it runs: learnt once, kept with
        // the prepared statement.
        if (!layoutSlot)
            layoutSlot = std::make_shared<Layout>(learn(s, types));
        const Layout& layout = *static_cast<const Layout*>(layoutSlot.get());
        m_rs->setFields(layout.defs);
        m_cols = layout.cols;
        bindColumns();
    }

    // From now on rows go to `rs`, which took the rows loaded so far (RecordSet::setData).
    void appendTo(RecordSet& rs) {
        m_rs = &rs;
        bindColumns();
    }
    // Rows are added hidden, a value at a time; this shows those added since the last call, at
    // once (to the views of an open record set).
    void showRows() { m_rs->showLoadedRows(m_firstAdded, std::exchange(m_added, 0)); }

    void row(sqlite3_stmt* s) {
        const std::uint32_t r = m_rs->newLoadedRow();
        m_row = r;
        if (m_added++ == 0)
            m_firstAdded = r;
        if (r >> Internal::Column::kShift != m_block)
            enterBlock(r);
        const std::uint32_t at = r & Internal::Column::kMask;
        const int count = int(m_cols.size());
        for (int c = 0; c < count; ++c) {
            // One fetch per cell; the value functions after it take no locks.
            sqlite3_value* v = sqlite3_column_value(s, c);
            Col& col = m_cols[std::size_t(c)];
            if (col.type == FieldType::Text && col.settled) {
                // Any value is stored as its text, and the text of a value is never a null
                // pointer unless the value is NULL (or memory ran out): a call less per text.
                const auto* text = reinterpret_cast<const char*>(sqlite3_value_text(v));
                if (!text) {
                    if (sqlite3_value_type(v) != SQLITE_NULL)
                        throw DbError(QStringLiteral("内存不足，无法读取查询结果"));
                    continue;
                }
                putBytes(col, at, text, sqlite3_value_bytes(v));  // after the text: its length
                continue;
            }
            const int st = sqlite3_value_type(v);
            if (st == SQLITE_NULL)
                continue;
            if (!col.settled)
                settle(c, st, v);
            // The common cases write straight into the column in its stored form.
            switch (col.type) {
                case FieldType::Integer:
                    if (st == SQLITE_INTEGER) {
                        const qint64 i = sqlite3_value_int64(v);
                        if (i < std::numeric_limits<int>::min() ||
                            i > std::numeric_limits<int>::max()) {
                            retype(c, FieldType::BigInt);
                            m_rs->setIntAt(r, c, i);
                        } else {
                            putInt(col, at, i);
                        }
                        continue;
                    }
                    break;
                case FieldType::BigInt:
                    if (st == SQLITE_INTEGER) {
                        putInt(col, at, sqlite3_value_int64(v));
                        continue;
                    }
                    break;
                case FieldType::Boolean:
                    if (st == SQLITE_INTEGER) {
                        putInt(col, at, sqlite3_value_int64(v) != 0);
                        continue;
                    }
                    break;
                case FieldType::Float:
                    if (st == SQLITE_INTEGER || st == SQLITE_FLOAT) {
                        putReal(col, at, sqlite3_value_double(v));
                        continue;
                    }
                    break;
                case FieldType::Currency:
                    if (st == SQLITE_INTEGER) {
                        putInt(col, at, sqlite3_value_int64(v) * Internal::kCurrencyScale);
                        continue;
                    }
                    if (st == SQLITE_FLOAT) {
                        putInt(col, at, Internal::currencyUnits(sqlite3_value_double(v)));
                        continue;
                    }
                    break;
                case FieldType::DateTime:
                    if (st == SQLITE_TEXT) {
                        // Parsed here rather than by the record set, so that text that is no
                        // date-time can turn the field into text instead of becoming NULL.
                        const auto* text = reinterpret_cast<const char*>(sqlite3_value_text(v));
                        const int bytes = sqlite3_value_bytes(v);
                        std::int64_t key = 0;
                        if (col.dates.parse(std::string_view(text ? text : "", std::size_t(bytes)),
                                            key)) {
                            putInt(col, at, key);
                            continue;
                        }
                    }
                    break;
                case FieldType::Text:
                case FieldType::Blob: {
                    const void* data = col.type == FieldType::Text
                                           ? static_cast<const void*>(sqlite3_value_text(v))
                                           : sqlite3_value_blob(v);
                    putBytes(col, at, data ? static_cast<const char*>(data) : "",
                             sqlite3_value_bytes(v));  // after the text: its UTF-8 length
                    continue;
                }
            }
            widen(v, r, c, st);
        }
    }

private:
    struct Col {
        Internal::Column* store = nullptr;
        FieldType type = FieldType::Text;
        bool settled = false;  // declared, or typed by a value already
        // The segments of the block being loaded (enterBlock).
        void* values = nullptr;
        std::uint8_t* flags = nullptr;
        Internal::DateTimeKeyParser dates;
    };

    // Each column's segments of the block `r` is in, looked up once per block, not per cell.
    void enterBlock(std::uint32_t r) {
        m_block = r >> Internal::Column::kShift;
        for (Col& col : m_cols) {
            col.values = col.store->valuesOf(r);
            col.flags = col.store->flagsOf(r);
        }
    }
    static void putInt(Col& col, std::uint32_t at, std::int64_t v) {
        static_cast<std::int64_t*>(col.values)[at] = v;
        col.flags[at] = 1;
    }
    static void putReal(Col& col, std::uint32_t at, double v) {
        static_cast<double*>(col.values)[at] = v;
        col.flags[at] = 1;
    }
    static void putBytes(Col& col, std::uint32_t at, const char* data, int bytes) {
        static_cast<Internal::Slice*>(col.values)[at] =
            col.store->appendBytes(data, std::size_t(bytes));
        col.flags[at] = 1;
    }
    struct Layout {
        std::vector<FieldDef> defs;
        std::vector<Col> cols;
    };

    static Layout learn(sqlite3_stmt* s, const QStringList& types) {
        Layout layout;
        const int count = sqlite3_column_count(s);
        layout.cols.resize(std::size_t(count));
        QSet<QString> taken;
        for (int c = 0; c < count; ++c) {
            const QString base = QString::fromUtf8(sqlite3_column_name(s, c));
            QString name = base;
            for (int k = 1; taken.contains(name.toLower()); ++k)
                name = base + QLatin1Char('_') + QString::number(k);
            taken.insert(name.toLower());
            Col& col = layout.cols[std::size_t(c)];
            FieldDef def;
            def.name = name;
            if (const QString& decl = types.value(c); !decl.isEmpty()) {
                typeField(def, decl);
                col.settled = true;
            } else {
                def.type = FieldType::Text;  // until the first value says otherwise
            }
            col.type = def.type;
            layout.defs.push_back(def);
        }
        return layout;
    }

    static FieldType typeOfValue(sqlite3_value* v, int st) {
        switch (st) {
            case SQLITE_INTEGER: {
                const qint64 i = sqlite3_value_int64(v);
                return i >= std::numeric_limits<int>::min() && i <= std::numeric_limits<int>::max()
                           ? FieldType::Integer
                           : FieldType::BigInt;
            }
            case SQLITE_FLOAT:
                return FieldType::Float;
            case SQLITE_BLOB:
                return FieldType::Blob;
            default:
                return FieldType::Text;
        }
    }

    void settle(int c, int st, sqlite3_value* v) {
        Col& col = m_cols[std::size_t(c)];
        col.settled = true;
        const FieldType t = typeOfValue(v, st);
        if (t != col.type)
            retype(c, t);
    }

    void retype(int c, FieldType t) {
        m_cols[std::size_t(c)].type = t;
        m_rs->retypeField(c, t);
        enterBlock(m_row);  // the field has new segments
    }

    void bindColumns() {
        for (int c = 0; c < int(m_cols.size()); ++c)
            m_cols[std::size_t(c)].store = &m_rs->columnForLoad(c);
        m_block = kNoBlock;
    }

    void setText(sqlite3_value* v, std::uint32_t r, int c) {
        const auto* text = reinterpret_cast<const char*>(sqlite3_value_text(v));
        const int bytes = sqlite3_value_bytes(v);  // after value_text: the UTF-8 length
        m_rs->setTextAt(r, c, text ? text : "", std::size_t(bytes));
    }

    // A value that its field's type cannot hold.
    void widen(sqlite3_value* v, std::uint32_t r, int c, int st) {
        const FieldType t = m_cols[std::size_t(c)].type;
        const bool wholeNumber = t == FieldType::Integer || t == FieldType::BigInt;
        if (st == SQLITE_FLOAT && wholeNumber) {
            retype(c, FieldType::Float);
            m_rs->setFloatAt(r, c, sqlite3_value_double(v));
            return;
        }
        retype(c, FieldType::Text);
        setText(v, r, c);
    }

    static constexpr std::uint32_t kNoBlock = UINT32_MAX;
    RecordSet* m_rs;
    std::vector<Col> m_cols;
    std::uint32_t m_block = kNoBlock;  // of the last row added
    std::uint32_t m_row = 0;           // the last row added
    std::uint32_t m_firstAdded = 0;
    std::uint32_t m_added = 0;  // rows added and not shown yet
};

// A lock another connection held for longer than the busy timeout.
bool isBusy(int code) {
    return code == SQLITE_BUSY || code == SQLITE_BUSY_RECOVERY || code == SQLITE_BUSY_SNAPSHOT ||
           code == SQLITE_BUSY_TIMEOUT;
}

}  // namespace

// ---- the service ---------------------------------------------------------------------------

struct SqliteDataServices::Impl {
    sqlite3* db = nullptr;
    QString path;
    int busyTimeoutMs = 0;
    QElapsedTimer busySince;  // since the lock now waited for was first refused

    // Waits for a lock another connection holds: tries again every millisecond until the busy
    // timeout has passed. The embedded database's own handler sleeps longer and longer (up to
    // 100 ms at a time), so a client waiting behind another that commits back to back could
    // miss every short gap between its transactions and fail after the whole timeout, although
    // no lock was held for more than a few milliseconds.
    static int waitForLock(void* self, int tries) {
        Impl* d = static_cast<Impl*>(self);
        if (tries == 0)
            d->busySince.start();
        if (d->busySince.elapsed() >= d->busyTimeoutMs)
            return 0;
        sqlite3_sleep(1);
        return 1;
    }

    std::unique_ptr<Tsql::Session> session;  // runs every batch; lives as long as db

    // Runs SQL of our own (no parameters, no trace); false on failure.
    bool execRaw(const char* sql) { return sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == 0; }

    // ---- cancellable statements ----
    // The engine calls the progress back every this many steps of its machine: a few
    // microseconds of work, so a cancel is taken at once and the call costs nothing measurable.
    static constexpr int kStepsPerProgress = 4096;
    IQueryProgress* progress = nullptr;  // while a cancellable statement runs
    bool inProgressCall = false;         // while the progress has control (it takes events)
    bool cancelled = false;              // the progress said stop during the running statement
    qint64 rowsRead = 0;                 // rows of the running statement read so far

    static int onProgress(void* self) {
        Impl* d = static_cast<Impl*>(self);
        if (!d->cancelled) {
            d->inProgressCall = true;
            d->cancelled = !d->progress->rows(d->rowsRead);
            d->inProgressCall = false;
        }
        return d->cancelled ? 1 : 0;  // non-zero interrupts the statement
    }

    // Hands a statement run inside a CancellableQuery scope to the installed progress.
    class ProgressScope {
    public:
        explicit ProgressScope(Impl& d) : m_d(d) {
            d.cancelled = false;
            d.rowsRead = 0;
            IQueryProgress* p = CancellableQuery::active() ? queryProgress() : nullptr;
            if (!p)
                return;
            d.progress = p;
            p->begin();
            sqlite3_progress_handler(d.db, kStepsPerProgress, &Impl::onProgress, &d);
        }
        ~ProgressScope() {
            if (!m_d.progress)
                return;
            sqlite3_progress_handler(m_d.db, 0, nullptr, nullptr);
            std::exchange(m_d.progress, nullptr)->end();
        }
        ProgressScope(const ProgressScope&) = delete;
        ProgressScope& operator=(const ProgressScope&) = delete;

    private:
        Impl& m_d;
    };

    // The rows of a result set into a record set.
    struct Sink : Tsql::Session::ResultSink {
        RecordSet* rs = nullptr;
        qint64* read = nullptr;
        std::unique_ptr<Loader> loader;
        void columns(sqlite3_stmt* s, const QStringList& types,
                     std::shared_ptr<void>& layout) override {
            *rs = RecordSet();
            loader = std::make_unique<Loader>(s, types, *rs, layout);
        }
        void row(sqlite3_stmt* s) override {
            loader->row(s);
            ++*read;
        }
    };

    // The progress takes events while the engine is in the middle of a statement; the
    // connection must not be used again until it returns.
    void checkNotInProgress(const QString& sql) const {
        if (!inProgressCall)
            return;
        const QueryBusy busy(QStringLiteral("正在查询，请等查询结束后再试。\n") + sql.trimmed());
        LogError(busy.message());
        throw busy;
    }

    // Runs a batch through the T-SQL session. The rows of its first result set (its last with
    // `lastResult`; then a batch without one leaves `result` closed) go to `result` when given.
    // Errors come back as DbError with the text the user is shown; a cancelled statement as
    // QueryCancelled.
    void run(const QString& sql, const Params& params, RecordSet* result, bool lastResult = false) {
        checkNotInProgress(sql);
        Sink sink;
        sink.rs = result;
        sink.read = &rowsRead;
        const ProgressScope progressScope(*this);
        translated(sql, [&] {
            // A batch may catch the interruption itself: the cancel holds all the same.
            try {
                session->run(sql, params, result ? &sink : nullptr, lastResult);
            } catch (...) {
                if (cancelled)
                    throw QueryCancelled(maskSecrets(sql).text);
                throw;
            }
            if (cancelled)
                throw QueryCancelled(maskSecrets(sql).text);
            if (result && !sink.loader && !lastResult)
                throw DbError(QStringLiteral("语句没有返回数据集\n") + sql.trimmed());
            if (sink.loader)
                sink.loader->showRows();
        });
    }

    // Runs `body`, which reaches the database for `sql`, with its errors traced and turned into
    // the DbError a user is shown.
    template <typename Body>
    void translated(const QString& sql, Body body) {
        try {
            body();
        } catch (const QueryCancelled& e) {
            LogMsg(e.message());
            throw;
        } catch (const Tsql::TsqlExecError& e) {
            // An error the batch raised itself is meant for the user as it stands.
            const QString statement = (e.statement().isEmpty() ? sql : e.statement()).trimmed();
            if (!e.raised() && isBusy(e.number())) {
                // Another client kept the database locked for the whole busy timeout. What
                // the user can do is wait and try again; the statement is for the trace.
                LogError(busyMessage() + QLatin1Char('\n') + e.message() + QLatin1Char('\n') +
                         maskSecrets(sql.trimmed()).text);
                throw DbError(busyMessage());
            }
            const QString head =
                e.raised() ? e.message() : QStringLiteral("数据库错误：") + e.message();
            LogError(head + QLatin1Char('\n') +
                     maskSecrets(e.raised() ? sql.trimmed() : statement).text);
            throw DbError(e.raised() ? head : head + QLatin1Char('\n') + statement, e.dbCode());
        } catch (const Tsql::TsqlError& e) {
            const QString head = QStringLiteral("T-SQL 错误：") + e.message() + QLatin1Char('\n');
            LogError(head + maskSecrets(sql.trimmed()).text);
            throw DbError(head + sql.trimmed());
        } catch (const DbError& e) {
            LogError(e.message());
            throw;
        }
    }

    QString busyMessage() const {
        return QStringLiteral(
                   "数据库正被其他用户占用，等待 %1 秒后仍未释放，本次操作没有执行，"
                   "请稍后重试。")
            .arg(busyTimeoutMs / 1000.0);
    }

    // Runs a call of the file store: its error is traced and shown as a batch's would be.
    template <typename Call>
    bool storeCall(Call call) {
        try {
            call(FileStore(db));
            return true;
        } catch (const DbError& e) {
            LogError(e.message());
            SqliteDataServices::report(isBusy(e.dbCode()) ? DbError(busyMessage()) : e);
            return false;
        }
    }
};

namespace {

// The rows of one plain query read from an open cursor: the first into a data packet, the rest
// appended to the record set that took it.
class CursorRows final : public RowSource {
public:
    CursorRows(SqliteDataServices::Impl& d, QString sql,
               std::unique_ptr<Tsql::Session::Cursor> cursor)
        : m_d(d), m_sql(std::move(sql)), m_cursor(std::move(cursor)) {
        m_sink.read = &m_read;
    }

    // Reads the first `rows` rows into `packet`; false when they were all there are.
    bool readFirst(DataPacket& packet, int rows) {
        m_sink.rs = &packet;
        bool more = false;
        m_d.translated(m_sql, [&] { more = m_cursor->fetch(m_sink, rows); });
        if (!m_sink.loader)
            throw DbError(QStringLiteral("语句没有返回数据集\n") + m_sql.trimmed());
        m_sink.loader->showRows();
        return more;
    }

    bool readMore(RecordSet& rs, int rows) override {
        m_d.checkNotInProgress(m_sql);
        if (!m_appending) {
            m_sink.loader->appendTo(rs);
            m_appending = true;
        }
        bool more = false;
        const auto shown = qScopeGuard([&] { m_sink.loader->showRows(); });
        m_d.translated(m_sql, [&] { more = m_cursor->fetch(m_sink, rows); });
        return more;
    }

private:
    SqliteDataServices::Impl& m_d;
    QString m_sql;
    std::unique_ptr<Tsql::Session::Cursor> m_cursor;
    SqliteDataServices::Impl::Sink m_sink;
    qint64 m_read = 0;
    bool m_appending = false;
};

}  // namespace

std::unique_ptr<ChunkedLoad> SqliteDataServices::openDataInChunks(RecordSet& rs, const QString& sql,
                                                                  const Params& params) {
    try {
        d->checkNotInProgress(sql);
        std::unique_ptr<Tsql::Session::Cursor> cursor;
        d->translated(sql, [&] { cursor = d->session->openCursor(sql, params); });
        if (!cursor)
            return IDataServices::openDataInChunks(rs, sql, params);
        auto rows = std::make_unique<CursorRows>(*d, sql, std::move(cursor));
        DataPacket packet;
        const bool more = rows->readFirst(packet, ChunkedLoad::kFirstRows);
        packet.open();
        rs.setData(std::move(packet));
        return std::make_unique<ChunkedLoad>(rs, more ? std::move(rows) : nullptr,
                                             [](const DbError& e) { report(e); });
    } catch (const DbError& e) {
        report(e);
        return nullptr;
    }
}

SqliteDataServices::SqliteDataServices(const QString& path, int busyTimeoutMs, const char* vfs)
    : d(std::make_unique<Impl>()) {
    d->path = path;
    // `code`: the result to report when there is no connection to ask for its own.
    const auto fail = [&](int code) {
        const QString why = d->db ? QString::fromUtf8(sqlite3_errmsg(d->db))
                                  : QString::fromUtf8(sqlite3_errstr(code));
        const int extended = d->db ? sqlite3_extended_errcode(d->db) : code;
        sqlite3_close_v2(d->db);
        d->db = nullptr;
        throw DbError(QStringLiteral("无法打开数据库 \"%1\"：%2").arg(path, why), extended);
    };
    // A database made here is its owner's alone; its journal files take its permissions.
    const bool existed = QFileInfo::exists(path);
    // No connection mutex: a connection is used by the thread that made it (the UI thread), and
    // the mutex would cost a lock per column read while loading.
    const int rc =
        sqlite3_open_v2(path.toUtf8().constData(), &d->db,
                        SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, vfs);
    if (rc != SQLITE_OK)
        fail(rc);
    if (!existed)
        Sys::ownerOnly(path);
    sqlite3_extended_result_codes(d->db, 1);
    d->busyTimeoutMs = busyTimeoutMs;
    if (busyTimeoutMs > 0)
        sqlite3_busy_handler(d->db, &Impl::waitForLock, d.get());
    // The file store lives in the database itself, so one file (and its backups) holds
    // everything a client shares.
    if (!d->execRaw("PRAGMA journal_mode=WAL; PRAGMA foreign_keys=OFF;") ||
        !FileStore::prepare(d->db))
        fail(SQLITE_ERROR);
    d->session = std::make_unique<Tsql::Session>(d->db);
    LogMsg(QStringLiteral("打开数据库 ") + path);
}

SqliteDataServices::~SqliteDataServices() {
    d->session.reset();  // finalizes its statements before the connection closes
    if (d->db)
        sqlite3_close_v2(d->db);
}

DataPacket SqliteDataServices::query(const QString& sql, const Params& params) {
    DataPacket packet;
    d->run(sql, params, &packet);
    packet.open();
    return packet;
}

DataPacket SqliteDataServices::queryLast(const QString& sql, const Params& params) {
    DataPacket packet;
    d->run(sql, params, &packet, true);
    if (packet.fieldCount() > 0)
        packet.open();
    return packet;
}

void SqliteDataServices::exec(const QString& sql, const Params& params) {
    d->run(sql, params, nullptr);
}

QStringList SqliteDataServices::parameterNames(const QString& sql) {
    try {
        return d->session->parameterNames(sql);
    } catch (const DbError&) {
        return {};  // running the statement reports why it does not translate
    }
}

bool SqliteDataServices::putFile(const QString& name, QIODevice& stream) {
    // The file the user chose, where the stream is one, else the stored name.
    const auto* file = qobject_cast<const QFileDevice*>(&stream);
    const QString label = file && !file->fileName().isEmpty() ? file->fileName() : name;
    return d->storeCall([&](FileStore store) { store.put(name, stream, label); });
}

QString SqliteDataServices::downloadFile(const QString& name) {
    const QString path = localCopyPath(name);
    bool stored = false;
    if (!d->storeCall([&](FileStore store) { stored = store.download(name, path); }))
        return {};
    return stored ? path : QString();
}

bool SqliteDataServices::delAttachFile(const QString& name) {
    bool released = false;
    return d->storeCall([&](FileStore store) { released = store.release(name); }) && released;
}

const QString& SqliteDataServices::path() const {
    return d->path;
}

sqlite3* SqliteDataServices::handle() const {
    return d->db;
}

Tsql::Session& SqliteDataServices::session() {
    return *d->session;
}

}  // namespace Qd::Core::Db
