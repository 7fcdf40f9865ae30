#include "db/SqliteDataServices.h"

#include <sqlite3.h>

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <cstring>
#include <limits>

#include "db/ColumnStore.h"
#include "db/Trace.h"
#include "sys/ProgramHome.h"

namespace Qd::Core::Db {

namespace {

// ---- lexical pre-pass ----------------------------------------------------------------------

// A batch as SQLite runs it, with what the pre-pass learnt about it on the way.
struct ScannedBatch {
    QByteArray text;           // UTF-8 SQLite SQL
    QSet<QString> parameters;  // names referenced as :name or @name, lower case
    bool ownsTransactions =
        false;            // it begins or ends transactions itself, or must run outside one
    bool writes = false;  // some statement starts with a writing verb
};

bool isIdentStart(unsigned char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c >= 0x80;
}
bool isIdentChar(unsigned char c) {
    return isIdentStart(c) || (c >= '0' && c <= '9') || c == '$';
}
bool isHexDigit(unsigned char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

bool wordIn(QByteArrayView word, std::initializer_list<const char*> words) {
    for (const char* w : words)
        if (word.compare(QByteArrayView(w), Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

// The literals the system's SQL writes that SQLite reads differently: N'text' (drop the N) and
// 0xABCD binary literals (SQLite reads 0x as an integer; they become X'ABCD'). Strings, quoted
// names and comments pass untouched. This is the only step between the system's SQL and
// SQLite; the T-SQL translator takes its place.
ScannedBatch scanBatch(const QString& sql) {
    const QByteArray in = sql.toUtf8();
    const char* p = in.constData();
    const qsizetype n = in.size();
    ScannedBatch out;
    out.text.reserve(n + 16);

    bool statementStart = true;
    qsizetype i = 0;
    const auto at = [&](qsizetype k) -> unsigned char { return k < n ? p[k] : 0; };
    const auto copyTo = [&](qsizetype end) {
        out.text.append(p + i, end - i);
        i = end;
    };
    // Up to and including the closing character; a doubled closing character stays inside.
    const auto quotedEnd = [&](char close) {
        qsizetype j = i + 1;
        while (j < n) {
            if (p[j] == close) {
                if (at(j + 1) == static_cast<unsigned char>(close)) {
                    j += 2;
                    continue;
                }
                return j + 1;
            }
            ++j;
        }
        return n;  // unterminated: SQLite reports it
    };

    while (i < n) {
        const unsigned char c = at(i);
        const unsigned char next = at(i + 1);
        if (c == '\'' || c == '"' || c == '`') {
            copyTo(quotedEnd(char(c)));
            statementStart = false;
        } else if (c == '[') {
            copyTo(quotedEnd(']'));
            statementStart = false;
        } else if (c == '-' && next == '-') {
            const char* nl = static_cast<const char*>(std::memchr(p + i, '\n', std::size_t(n - i)));
            copyTo(nl ? nl - p : n);
        } else if (c == '/' && next == '*') {
            const qsizetype end = in.indexOf("*/", i + 2);
            copyTo(end < 0 ? n : end + 2);
        } else if ((c == 'N' || c == 'n') && next == '\'') {
            ++i;  // N'...': identifiers are consumed whole, so this N starts a token
        } else if (isIdentStart(c)) {
            qsizetype j = i + 1;
            while (j < n && isIdentChar(at(j)))
                ++j;
            if (statementStart) {
                const QByteArrayView word(p + i, j - i);
                if (wordIn(word, {"begin", "commit", "rollback", "savepoint", "release", "vacuum",
                                  "pragma", "attach", "detach"}))
                    out.ownsTransactions = true;
                if (wordIn(word,
                           {"insert", "update", "delete", "replace", "create", "drop", "alter"}))
                    out.writes = true;
                statementStart = false;
            }
            copyTo(j);
        } else if (c >= '0' && c <= '9') {
            qsizetype j = i + 1;
            if (c == '0' && (next == 'x' || next == 'X')) {
                j = i + 2;
                while (j < n && isHexDigit(at(j)))
                    ++j;
                if (!isIdentChar(at(j))) {
                    out.text += "X'";
                    if ((j - i) % 2)  // an odd digit count means a leading zero nibble
                        out.text += '0';
                    out.text.append(p + i + 2, j - i - 2);
                    out.text += '\'';
                    i = j;
                    statementStart = false;
                    continue;
                }
            }
            while (j < n && (isIdentChar(at(j)) || at(j) == '.'))
                ++j;
            copyTo(j);
            statementStart = false;
        } else if ((c == ':' || c == '@') && isIdentChar(next)) {
            qsizetype j = i + 1;
            while (j < n && isIdentChar(at(j)))
                ++j;
            out.parameters.insert(QString::fromUtf8(p + i + 1, j - i - 1).toLower());
            copyTo(j);
            statementStart = false;
        } else {
            if (c == ';')
                statementStart = true;
            else if (c != ' ' && c != '\t' && c != '\r' && c != '\n')
                statementStart = false;
            out.text += char(c);
            ++i;
        }
    }
    return out;
}

// ---- statements ----------------------------------------------------------------------------

struct StmtDeleter {
    void operator()(sqlite3_stmt* s) const { sqlite3_finalize(s); }
};
using Stmt = std::unique_ptr<sqlite3_stmt, StmtDeleter>;

QString statementText(sqlite3_stmt* s) {
    return QString::fromUtf8(sqlite3_sql(s)).trimmed();
}

DbError sqliteError(sqlite3* db, const QString& statement) {
    return DbError(QStringLiteral("数据库错误：") + QString::fromUtf8(sqlite3_errmsg(db)) +
                   QLatin1Char('\n') + statement);
}

// The statements of a batch, prepared one at a time as the previous one has run: a statement
// may refer to a table that an earlier one of the same batch creates.
class Batch {
public:
    Batch(sqlite3* db, QByteArray text)
        : m_db(db), m_text(std::move(text)), m_tail(m_text.constData()) {}

    // The next statement; null at the end. Throws DbError when it does not prepare.
    Stmt next() {
        const char* end = m_text.constData() + m_text.size();
        while (m_tail < end) {
            const char* start = m_tail;
            sqlite3_stmt* s = nullptr;
            const char* tail = nullptr;
            if (sqlite3_prepare_v2(m_db, start, int(end - start), &s, &tail) != SQLITE_OK) {
                sqlite3_finalize(s);
                throw sqliteError(m_db, failedText(start, end));
            }
            m_tail = tail;
            if (s)  // null for a stretch of only blanks and comments
                return Stmt(s);
        }
        return nullptr;
    }

private:
    // The statement that failed to prepare: from its start to the first ';' after the error.
    QString failedText(const char* start, const char* end) const {
        const int offset = sqlite3_error_offset(m_db);
        const char* from = start + (offset >= 0 && offset < end - start ? offset : 0);
        const char* semi =
            static_cast<const char*>(std::memchr(from, ';', std::size_t(end - from)));
        return QString::fromUtf8(start, (semi ? semi : end) - start).trimmed();
    }

    sqlite3* m_db;
    QByteArray m_text;
    const char* m_tail;
};

// ---- parameters ----------------------------------------------------------------------------

QString traceValue(const QVariant& v) {
    if (v.typeId() == QMetaType::QByteArray && v.toByteArray().size() > 32)
        return QStringLiteral("<%1 字节>").arg(v.toByteArray().size());
    return sqlLiteral(v);
}

class Binder {
public:
    explicit Binder(const Params& params) : m_params(params) {
        for (int i = 0; i < int(params.size()); ++i)
            m_index.insert(bareName(params[std::size_t(i)].name), i);
    }

    static QString bareName(const QString& name) {
        const QString n = name.trimmed();
        return (n.startsWith(QLatin1Char(':')) || n.startsWith(QLatin1Char('@')) ? n.mid(1) : n)
            .toLower();
    }

    // A given value that no statement of the batch refers to is a caller's mistake.
    void checkAllUsed(const ScannedBatch& batch, const QString& sql) const {
        for (const Param& p : m_params)
            if (!batch.parameters.contains(bareName(p.name)))
                throw DbError(
                    QStringLiteral("参数 \"%1\" 没有被语句使用\n%2").arg(p.name, sql.trimmed()));
    }

    // Binds every parameter of `s`; returns the values as the trace shows them.
    QString bind(sqlite3_stmt* s, const QString& text) const {
        QString note;
        const int count = sqlite3_bind_parameter_count(s);
        for (int i = 1; i <= count; ++i) {
            const char* raw = sqlite3_bind_parameter_name(s, i);
            const QString name = raw ? QString::fromUtf8(raw + 1) : QStringLiteral("?");
            const auto it = m_index.constFind(name.toLower());
            if (!raw || it == m_index.constEnd())
                throw DbError(QStringLiteral("参数 \"%1\" 没有赋值\n%2").arg(name, text));
            const QVariant& v = m_params[std::size_t(*it)].value;
            bindValue(s, i, v, name, text);
            note += (note.isEmpty() ? QStringLiteral("\n-- ") : QStringLiteral(", ")) +
                    QLatin1Char(':') + name + QStringLiteral(" = ") + traceValue(v);
        }
        return note;
    }

private:
    static void bindText(sqlite3_stmt* s, int i, const QString& text) {
        const QByteArray utf8 = text.toUtf8();
        sqlite3_bind_text(s, i, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
    }

    static void bindValue(sqlite3_stmt* s, int i, const QVariant& v, const QString& name,
                          const QString& text) {
        if (!v.isValid() || v.isNull()) {
            sqlite3_bind_null(s, i);
            return;
        }
        switch (v.typeId()) {
            case QMetaType::Bool:
                sqlite3_bind_int(s, i, v.toBool() ? 1 : 0);
                return;
            case QMetaType::Int:
            case QMetaType::UInt:
            case QMetaType::LongLong:
            case QMetaType::ULongLong:
            case QMetaType::Short:
            case QMetaType::UShort:
            case QMetaType::Long:
            case QMetaType::ULong:
            case QMetaType::Char:
            case QMetaType::SChar:
            case QMetaType::UChar:
                sqlite3_bind_int64(s, i, v.toLongLong());
                return;
            case QMetaType::Double:
            case QMetaType::Float:
                sqlite3_bind_double(s, i, v.toDouble());
                return;
            case QMetaType::QString:
                bindText(s, i, v.toString());
                return;
            case QMetaType::QByteArray: {
                const QByteArray b = v.toByteArray();
                if (b.isEmpty())
                    sqlite3_bind_zeroblob(s, i, 0);  // an empty blob, not NULL
                else
                    sqlite3_bind_blob(s, i, b.constData(), int(b.size()), SQLITE_TRANSIENT);
                return;
            }
            case QMetaType::QDateTime: {
                const QDateTime dt = v.toDateTime();
                if (dt.isValid())
                    bindText(s, i, formatDateTime(dt));
                else
                    sqlite3_bind_null(s, i);
                return;
            }
            case QMetaType::QDate: {
                const QDate d = v.toDate();
                if (d.isValid())
                    bindText(s, i, d.toString(QStringLiteral("yyyy-MM-dd")));
                else
                    sqlite3_bind_null(s, i);
                return;
            }
            case QMetaType::QTime:
                bindText(s, i, v.toTime().toString(QStringLiteral("HH:mm:ss.zzz")));
                return;
            default:
                break;
        }
        if (!v.canConvert<QString>())
            throw DbError(QStringLiteral("参数 \"%1\" 的值类型 %2 不能用于语句\n%3")
                              .arg(name, QString::fromLatin1(v.typeName()), text));
        bindText(s, i, v.toString());
    }

    const Params& m_params;
    QHash<QString, int> m_index;  // bare lower-case name -> position in m_params
};

// ---- loading rows --------------------------------------------------------------------------

// The field type of a declared column type, and the width of a text field.
FieldType typeFromDecl(const char* decl, int* size) {
    const QByteArray d = QByteArray(decl).toUpper();
    *size = 0;
    int scale = 0;
    if (const qsizetype open = d.indexOf('('); open >= 0) {
        const qsizetype close = d.indexOf(')', open);
        const QList<QByteArray> parts = d.mid(open + 1, close - open - 1).split(',');
        *size = parts.value(0).trimmed().toInt();  // 0 for MAX
        scale = parts.value(1).trimmed().toInt();
    }
    const auto has = [&](const char* s) { return d.contains(s); };
    if (has("BIGINT"))
        return FieldType::BigInt;
    if (has("INT") && !has("POINT"))
        return FieldType::Integer;
    if (has("BIT") || has("BOOL"))
        return FieldType::Boolean;
    if (has("MONEY") || has("DECIMAL") || has("NUMERIC"))
        return scale > 4 ? FieldType::Float : FieldType::Currency;  // Currency keeps 4 decimals
    if (has("REAL") || has("FLOA") || has("DOUB"))
        return FieldType::Float;
    if (has("DATE") || has("TIME"))
        return FieldType::DateTime;
    if (has("BLOB") || has("BINARY") || has("IMAGE"))
        return FieldType::Blob;
    return FieldType::Text;
}

// Fills a data packet from the rows of one statement. Fields are typed from the declared column
// types; a column without one (an expression) takes the type of its first non-NULL value. A
// value that does not fit its field widens the field: Integer -> BigInt -> Float, anything else
// -> Text.
class Loader {
public:
    Loader(sqlite3_stmt* s, RecordSet& rs) : m_rs(rs) {
        const int count = sqlite3_column_count(s);
        m_cols.resize(std::size_t(count));
        for (int c = 0; c < count; ++c) {
            const QString base = QString::fromUtf8(sqlite3_column_name(s, c));
            QString name = base;
            for (int k = 1; m_rs.hasField(name); ++k)
                name = base + QLatin1Char('_') + QString::number(k);
            Col& col = m_cols[std::size_t(c)];
            FieldDef def;
            def.name = name;
            if (const char* decl = sqlite3_column_decltype(s, c)) {
                def.type = typeFromDecl(decl, &def.size);
                if (def.type != FieldType::Text)
                    def.size = 0;
                col.settled = true;
            } else {
                def.type = FieldType::Text;  // until the first value says otherwise
            }
            col.type = def.type;
            m_rs.addField(def);
        }
    }

    void row(sqlite3_stmt* s) {
        const std::uint32_t r = m_rs.loadRow();
        const int count = int(m_cols.size());
        for (int c = 0; c < count; ++c) {
            const int st = sqlite3_column_type(s, c);
            if (st == SQLITE_NULL)
                continue;
            Col& col = m_cols[std::size_t(c)];
            if (!col.settled)
                settle(c, st, s);
            switch (col.type) {
                case FieldType::Integer:
                    if (st == SQLITE_INTEGER) {
                        const qint64 v = sqlite3_column_int64(s, c);
                        if (v < std::numeric_limits<int>::min() ||
                            v > std::numeric_limits<int>::max())
                            retype(c, FieldType::BigInt);
                        m_rs.setIntAt(r, c, v);
                        continue;
                    }
                    break;
                case FieldType::BigInt:
                    if (st == SQLITE_INTEGER) {
                        m_rs.setIntAt(r, c, sqlite3_column_int64(s, c));
                        continue;
                    }
                    break;
                case FieldType::Boolean:
                    if (st == SQLITE_INTEGER) {
                        m_rs.setIntAt(r, c, sqlite3_column_int64(s, c) != 0);
                        continue;
                    }
                    break;
                case FieldType::Float:
                case FieldType::Currency:
                    if (st == SQLITE_INTEGER || st == SQLITE_FLOAT) {
                        m_rs.setFloatAt(r, c, sqlite3_column_double(s, c));
                        continue;
                    }
                    break;
                case FieldType::DateTime:
                    if (st == SQLITE_TEXT) {
                        // Parsed here rather than by the record set, so that text that is no
                        // date-time can turn the field into text instead of becoming NULL.
                        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(s, c));
                        const int bytes = sqlite3_column_bytes(s, c);
                        std::int64_t key = 0;
                        if (Internal::parseDateTimeKey(
                                std::string_view(text ? text : "", std::size_t(bytes)), key)) {
                            m_rs.setIntAt(r, c, key);
                            continue;
                        }
                    }
                    break;
                case FieldType::Text:
                    setText(s, r, c);
                    continue;
                case FieldType::Blob: {
                    const void* data = sqlite3_column_blob(s, c);
                    const int bytes = sqlite3_column_bytes(s, c);
                    m_rs.setBlobAt(r, c, data ? data : "", std::size_t(bytes));
                    continue;
                }
            }
            widen(s, r, c, st);
        }
    }

private:
    struct Col {
        FieldType type = FieldType::Text;
        bool settled = false;  // declared, or typed by a value already
    };

    static FieldType typeOfValue(sqlite3_stmt* s, int c, int st) {
        switch (st) {
            case SQLITE_INTEGER: {
                const qint64 v = sqlite3_column_int64(s, c);
                return v >= std::numeric_limits<int>::min() && v <= std::numeric_limits<int>::max()
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

    void settle(int c, int st, sqlite3_stmt* s) {
        Col& col = m_cols[std::size_t(c)];
        col.settled = true;
        const FieldType t = typeOfValue(s, c, st);
        if (t != col.type)
            retype(c, t);
    }

    void retype(int c, FieldType t) {
        m_cols[std::size_t(c)].type = t;
        m_rs.retypeField(c, t);
    }

    void setText(sqlite3_stmt* s, std::uint32_t r, int c) {
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(s, c));
        const int bytes = sqlite3_column_bytes(s, c);  // after column_text: the UTF-8 length
        m_rs.setTextAt(r, c, text ? text : "", std::size_t(bytes));
    }

    // A value that its field's type cannot hold.
    void widen(sqlite3_stmt* s, std::uint32_t r, int c, int st) {
        const FieldType t = m_cols[std::size_t(c)].type;
        const bool wholeNumber = t == FieldType::Integer || t == FieldType::BigInt;
        if (st == SQLITE_FLOAT && wholeNumber) {
            retype(c, FieldType::Float);
            m_rs.setFloatAt(r, c, sqlite3_column_double(s, c));
            return;
        }
        retype(c, FieldType::Text);
        setText(s, r, c);
    }

    RecordSet& m_rs;
    std::vector<Col> m_cols;
};

}  // namespace

// ---- the service ---------------------------------------------------------------------------

struct SqliteDataServices::Impl {
    sqlite3* db = nullptr;
    QString path;

    // Runs SQL of our own (no parameters, no trace); false on failure.
    bool execRaw(const char* sql) { return sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == 0; }

    void execOrThrow(const char* sql) {
        if (!execRaw(sql))
            throw sqliteError(db, QString::fromUtf8(sql));
    }

    // Runs a batch. The rows of the last statement that returns columns go to `result` when
    // given. Unless the batch handles transactions itself, it runs as one transaction (a
    // savepoint when one is open already): a failure leaves nothing of it behind.
    void run(const QString& sql, const Params& params, RecordSet* result) {
        try {
            runBatch(sql, params, result);
        } catch (const DbError& e) {
            LogError(e.message());
            throw;
        }
    }

    void runBatch(const QString& sql, const Params& params, RecordSet* result) {
        const ScannedBatch scanned = scanBatch(sql);
        const Binder binder(params);
        binder.checkAllUsed(scanned, sql);

        const bool outerTransaction = !sqlite3_get_autocommit(db);
        const bool wrap = !scanned.ownsTransactions;
        if (wrap) {
            if (outerTransaction)
                execOrThrow("SAVEPOINT qd_batch");
            else
                execOrThrow(scanned.writes ? "BEGIN IMMEDIATE" : "BEGIN");
        }
        try {
            Batch batch(db, scanned.text);
            bool loaded = false;
            while (Stmt s = batch.next()) {
                const QString text = statementText(s.get());
                LogSql(text + binder.bind(s.get(), text));
                const bool rows = result && sqlite3_column_count(s.get()) > 0;
                std::unique_ptr<Loader> loader;
                if (rows) {
                    *result = RecordSet();
                    loader = std::make_unique<Loader>(s.get(), *result);
                    loaded = true;
                }
                int rc;
                while ((rc = sqlite3_step(s.get())) == SQLITE_ROW)
                    if (loader)
                        loader->row(s.get());
                if (rc != SQLITE_DONE)
                    throw sqliteError(db, text);
            }
            if (result && !loaded)
                throw DbError(QStringLiteral("语句没有返回数据集\n") + sql.trimmed());
            if (wrap)
                execOrThrow(outerTransaction ? "RELEASE qd_batch" : "COMMIT");
        } catch (...) {
            if (wrap && outerTransaction) {
                execRaw("ROLLBACK TO qd_batch");
                execRaw("RELEASE qd_batch");
            } else if (!outerTransaction && !sqlite3_get_autocommit(db)) {
                execRaw("ROLLBACK");  // ours, or one the batch began and did not finish
            }
            throw;
        }
    }

    void report(const DbError& e) {
        MessageMyDlg(e.message(), QStringLiteral("提示"), 1, Ui::MsgButtons::Ok);
    }
};

SqliteDataServices::SqliteDataServices(const QString& path, int busyTimeoutMs)
    : d(std::make_unique<Impl>()) {
    d->path = path;
    const auto fail = [&](const QString& why) {
        sqlite3_close_v2(d->db);
        d->db = nullptr;
        throw DbError(QStringLiteral("无法打开数据库 \"%1\"：%2").arg(path, why));
    };
    const int rc = sqlite3_open_v2(path.toUtf8().constData(), &d->db,
                                   SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    if (rc != SQLITE_OK)
        fail(d->db ? QString::fromUtf8(sqlite3_errmsg(d->db))
                   : QString::fromUtf8(sqlite3_errstr(rc)));
    sqlite3_extended_result_codes(d->db, 1);
    sqlite3_busy_timeout(d->db, busyTimeoutMs);
    // The file store lives in the database itself, so one file (and its backups) holds
    // everything a client shares.
    static const char setup[] =
        "PRAGMA journal_mode=WAL;"
        "PRAGMA foreign_keys=OFF;"
        "create table if not exists qd_sys_filestore(id integer primary key autoincrement,"
        " orgid integer default 0, name text not null unique, content blob, md5 text,"
        " size integer, created datetime default (datetime('now','localtime')));";
    if (!d->execRaw(setup))
        fail(QString::fromUtf8(sqlite3_errmsg(d->db)));
    LogMsg(QStringLiteral("打开数据库 ") + path);
}

SqliteDataServices::~SqliteDataServices() {
    if (d->db)
        sqlite3_close_v2(d->db);
}

DataPacket SqliteDataServices::query(const QString& sql, const Params& params) {
    DataPacket packet;
    d->run(sql, params, &packet);
    packet.open();
    return packet;
}

void SqliteDataServices::exec(const QString& sql, const Params& params) {
    d->run(sql, params, nullptr);
}

DataPacket SqliteDataServices::openData(const QString& sql, const Params& params) {
    try {
        return query(sql, params);
    } catch (const DbError& e) {
        d->report(e);
        return DataPacket();
    }
}

bool SqliteDataServices::openDataToCDS(RecordSet& rs, const QString& sql, const Params& params) {
    DataPacket packet;
    try {
        packet = query(sql, params);
    } catch (const DbError& e) {
        d->report(e);
        return false;
    }
    rs.setData(std::move(packet));
    return true;
}

DataPacket SqliteDataServices::queryData(const QString& sql) {
    return openData(sql);
}

bool SqliteDataServices::execSQL(const QString& sql, const Params& params) {
    try {
        exec(sql, params);
        return true;
    } catch (const DbError& e) {
        d->report(e);
        return false;
    }
}

bool SqliteDataServices::checkBillVersion(const QString& table, qint64 id, int version) {
    try {
        const DataPacket r = query(QStringLiteral("select version from %1 where id=:id").arg(table),
                                   {{QStringLiteral("id"), id}});
        if (r.isEmpty() || r.isNullAt(r.rowAt(0), 0))
            return false;
        bool ok = false;
        const qint64 stored = r.valueAt(r.rowAt(0), 0).toLongLong(&ok);
        return ok && stored == version;
    } catch (const DbError& e) {
        d->report(e);
        return false;
    }
}

bool SqliteDataServices::putFile(const QString& name, QIODevice& stream) {
    if (!stream.isOpen() && !stream.open(QIODevice::ReadOnly)) {
        const DbError e(QStringLiteral("无法读取文件 \"%1\"：%2").arg(name, stream.errorString()));
        LogError(e.message());
        d->report(e);
        return false;
    }
    const QByteArray content = stream.readAll();
    const QString md5 = MD5Print(QCryptographicHash::hash(content, QCryptographicHash::Md5));
    return execSQL(QStringLiteral("delete from qd_sys_filestore where name=:name;\n"
                                  "insert into qd_sys_filestore(name, content, md5, size)"
                                  " values(:name, :content, :md5, :size)"),
                   {{QStringLiteral("name"), name},
                    {QStringLiteral("content"), content},
                    {QStringLiteral("md5"), md5},
                    {QStringLiteral("size"), qlonglong(content.size())}});
}

QString SqliteDataServices::downloadFile(const QString& name) {
    try {
        const DataPacket r =
            query(QStringLiteral("select content from qd_sys_filestore where name=:name"),
                  {{QStringLiteral("name"), name}});
        if (r.isEmpty())
            return {};
        const QByteArray content = r.valueAt(r.rowAt(0), 0).toByteArray();

        // The stored name may hold folders; none of its parts may climb out of the cache.
        QStringList parts;
        for (const QString& part : QString(name)
                                       .replace(QLatin1Char('\\'), QLatin1Char('/'))
                                       .split(QLatin1Char('/'), Qt::SkipEmptyParts))
            if (part != QLatin1String(".") && part != QLatin1String(".."))
                parts << part;
        if (parts.isEmpty())
            parts << QStringLiteral("file");
        const QString path = Sys::programPath(QStringLiteral("cache/files/") + parts.join('/'));
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
            file.write(content) != content.size()) {
            const DbError e(
                QStringLiteral("无法写入文件 \"%1\"：%2").arg(path, file.errorString()));
            LogError(e.message());
            throw e;
        }
        return path;
    } catch (const DbError& e) {
        d->report(e);
        return {};
    }
}

bool SqliteDataServices::delAttachFile(const QString& name) {
    const int before = sqlite3_total_changes(d->db);
    return execSQL(QStringLiteral("delete from qd_sys_filestore where name=:name"),
                   {{QStringLiteral("name"), name}}) &&
           sqlite3_total_changes(d->db) > before;
}

const QString& SqliteDataServices::path() const {
    return d->path;
}

sqlite3* SqliteDataServices::handle() const {
    return d->db;
}

}  // namespace Qd::Core::Db
