#include "db/odbc/OdbcDataServices.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileDevice>
#include <QTemporaryFile>
#include <limits>

#include "base/OwnerOnly.h"
#include "db/FileChunks.h"
#include "db/Trace.h"
#include "db/TraceMask.h"
#include "db/odbc/Odbc.h"
#include "db/odbc/OdbcBatch.h"
#include "db/odbc/OdbcLoader.h"
#include "db/odbc/OdbcParams.h"
#include "db/tsql/TsqlBatch.h"

namespace Qd::Core::Db {

using namespace Odbc;

namespace {

// Where the rows of a batch go.
struct Results {
    enum Which { None, First, Last, All };
    Which which = None;
    std::vector<DataPacket> sets;  // First / Last: at most one
};

// The server's words for the statement at fault, as the embedded backend words them.
QString statementError(const OdbcError& e, const QString& statement) {
    return QStringLiteral("数据库错误：") + diagText(e.diags()) + QLatin1Char('\n') +
           statement.trimmed();
}

}  // namespace

namespace {

struct StoredFile {
    qint64 id = 0;
    QString md5;
    qint64 size = -1;
    qint64 refcount = 0;
};

// Reads `size` bytes of a stream for the driver, hashing them as they pass.
class HashingReader : public QIODevice {
public:
    HashingReader(QIODevice& in, qint64 size)
        : m_in(in), m_size(size), m_hash(QCryptographicHash::Md5) {
        open(QIODevice::ReadOnly | QIODevice::Unbuffered);
    }
    qint64 size() const override { return m_size; }
    bool isSequential() const override { return true; }
    QString md5() const { return MD5Print(m_hash.result()); }

protected:
    qint64 readData(char* data, qint64 max) override {
        const qint64 n = m_in.read(data, std::min(max, m_size - m_read));
        if (n > 0) {
            m_hash.addData({data, n});
            m_read += n;
        }
        return n;
    }
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    QIODevice& m_in;
    qint64 m_size;
    qint64 m_read = 0;
    QCryptographicHash m_hash;
};

// The largest value the server takes (varbinary(max)).
constexpr qint64 kLargestContent = std::numeric_limits<std::int32_t>::max();

}  // namespace

struct OdbcDataServices::Impl {
    QString connection;
    Options options;
    Handle env;
    Handle dbc;
    QString dbms;
    std::unique_ptr<Dialect> dialect;
    enum class Wrap { None, Transaction, Savepoint };
    int tranCount = 0;            // transactions the caller's batches left open
    bool reconnectFirst = false;  // the link broke: connect again before the next statement

    // ---- connecting ----

    QString target() const { return connectionTarget(connection); }

    // A message that may repeat the connection string: its secrets out.
    QString withoutSecrets(QString text) const {
        for (const QString& key : {QStringLiteral("PWD"), QStringLiteral("Password")}) {
            const QString secret = connectionValue(connection, key);
            if (!secret.isEmpty())
                text.replace(secret, QStringLiteral("***"));
        }
        return text;
    }

    void connect() {
        dbc.reset();
        if (!env) {
            env = Handle(SQL_HANDLE_ENV, SQL_NULL_HANDLE);
            check(SQLSetEnvAttr(env.get(), SQL_ATTR_ODBC_VERSION, SQLPOINTER(SQL_OV_ODBC3), 0),
                  SQL_HANDLE_ENV, env.get(), QString());
        }
        dbc = Handle(SQL_HANDLE_DBC, env.get());
        SQLSetConnectAttr(dbc.get(), SQL_ATTR_LOGIN_TIMEOUT,
                          SQLPOINTER(SQLULEN(std::max(1, options.loginTimeoutSeconds))), 0);
        SQLSetConnectAttr(dbc.get(), SQL_ATTR_CONNECTION_TIMEOUT,
                          SQLPOINTER(SQLULEN(std::max(1, options.loginTimeoutSeconds))), 0);
        SQLWCHAR out[1024];
        SQLSMALLINT outLength = 0;
        const SQLRETURN rc =
            SQLDriverConnectW(dbc.get(), nullptr, wide(connection), SQLSMALLINT(connection.size()),
                              out, SQLSMALLINT(std::size(out)), &outLength, SQL_DRIVER_NOPROMPT);
        if (!succeeded(rc)) {
            std::vector<Diag> diags = diagnostics(SQL_HANDLE_DBC, dbc.get());
            dbc.reset();
            const QString why =
                diags.empty() ? QStringLiteral("驱动没有说明原因") : diagText(diags);
            const QString message = QStringLiteral("无法连接数据库 %1：%2").arg(target(), why);
            throw OdbcError(withoutSecrets(message), std::move(diags));
        }
        reconnectFirst = false;
        tranCount = 0;
        SQLWCHAR name[128] = {};
        SQLSMALLINT nameBytes = 0;
        SQLGetInfoW(dbc.get(), SQL_DBMS_NAME, name, sizeof(name), &nameBytes);
        dbms = fromWide(name, std::min<qsizetype>(nameBytes / 2, 127));
    }

    bool translates() const {
        return dbms.startsWith(QLatin1String("SQLite"), Qt::CaseInsensitive);
    }

    // True when the driver says the link is gone (or the last statement found it so).
    bool linkLost() {
        if (reconnectFirst)
            return true;
        SQLUINTEGER dead = SQL_CD_FALSE;
        return succeeded(
                   SQLGetConnectAttr(dbc.get(), SQL_ATTR_CONNECTION_DEAD, &dead, 0, nullptr)) &&
               dead == SQL_CD_TRUE;
    }

    // ---- statements of our own: no parameters of the caller, no trace ----

    Handle statement() {
        Handle stmt(SQL_HANDLE_STMT, dbc.get());
        if (options.queryTimeoutSeconds > 0)
            SQLSetStmtAttr(stmt.get(), SQL_ATTR_QUERY_TIMEOUT,
                           SQLPOINTER(SQLULEN(options.queryTimeoutSeconds)), 0);
        return stmt;
    }

    // Runs `sql` (the database's own SQL, ? markers) with `values`; the first result set goes
    // to `rs` when given.
    // `names` name the values in errors (a stream's file).
    void raw(const QString& sql, const std::vector<QVariant>& values = {}, RecordSet* rs = nullptr,
             const QStringList& names = {}) {
        Handle stmt = statement();
        BoundParams bound(stmt.get(), values, names);
        SQLRETURN rc = SQLExecDirectW(stmt.get(), wide(sql), SQLINTEGER(sql.size()));
        if (rc == SQL_NEED_DATA)
            rc = bound.putLongData(stmt.get());
        check(rc, SQL_HANDLE_STMT, stmt.get(), QString());
        if (rs) {
            SQLSMALLINT columns = 0;
            SQLNumResultCols(stmt.get(), &columns);
            if (columns > 0) {
                loadResult(stmt.get(), *rs, {}, dialect->columnSizes());
                rs->open();
            }
        }
    }

    // The declared types of tables' columns, where the driver describes only base types.
    DeclaredType declaredTypes() const {
        if (!translates())
            return {};
        return [this](const QString& table, const QString& column) {
            return dialect->declaredType(table, column);
        };
    }

    void setAutocommit(bool on) {
        check(SQLSetConnectAttr(dbc.get(), SQL_ATTR_AUTOCOMMIT,
                                SQLPOINTER(on ? SQL_AUTOCOMMIT_ON : SQL_AUTOCOMMIT_OFF), 0),
              SQL_HANDLE_DBC, dbc.get(), QString());
    }

    void endTransaction(bool commit) {
        check(SQLEndTran(SQL_HANDLE_DBC, dbc.get(), commit ? SQL_COMMIT : SQL_ROLLBACK),
              SQL_HANDLE_DBC, dbc.get(), QString());
    }

    // The transactions open on the server after a batch that manages its own.
    int openTransactions() {
        if (translates())
            return tranCount;  // the steps counted them
        RecordSet rs;
        raw(QStringLiteral("select @@trancount"), {}, &rs);
        return rs.active() && !rs.isEmpty() ? int(rs.valueAt(rs.rowAt(0), 0).toInt()) : 0;
    }

    // ---- batches of the caller ----

    // Runs one step; result sets go to `results` as it asks.
    void runStep(const Step& step, const Params& params, const QHash<QString, qsizetype>& index,
                 Results& results, bool firstTaken) {
        switch (step.kind) {
            case Step::Begin:
                if (tranCount++ == 0)
                    raw(QStringLiteral("begin"));
                return;
            case Step::Commit:
                if (tranCount > 0 && --tranCount == 0)
                    raw(QStringLiteral("commit"));
                return;
            case Step::Rollback:
                if (tranCount > 0)
                    raw(QStringLiteral("rollback"));
                tranCount = 0;
                return;
            case Step::Sql:
                break;
        }
        std::vector<QVariant> values;
        values.reserve(std::size_t(step.markers.size()));
        for (const QString& name : step.markers)
            values.push_back(params[std::size_t(index.value(name))].value);
        Handle stmt = statement();
        BoundParams bound(stmt.get(), values, step.markers);
        SQLRETURN rc = SQLExecDirectW(stmt.get(), wide(step.sql), SQLINTEGER(step.sql.size()));
        if (rc == SQL_NEED_DATA)
            rc = bound.putLongData(stmt.get());
        bool first = true;
        for (;;) {
            check(rc, SQL_HANDLE_STMT, stmt.get(), QString());
            if (rc == SQL_NO_DATA)
                break;
            SQLSMALLINT columns = 0;
            check(SQLNumResultCols(stmt.get(), &columns), SQL_HANDLE_STMT, stmt.get(), QString());
            if (columns > 0) {
                const bool wanted = results.which == Results::All ||
                                    results.which == Results::Last ||
                                    (results.which == Results::First && !firstTaken);
                if (wanted) {
                    DataPacket rs;
                    loadResult(stmt.get(), rs, first ? step.columnTypes : QStringList(),
                               dialect->columnSizes(), declaredTypes());
                    rs.open();
                    if (results.which == Results::All)
                        results.sets.push_back(std::move(rs));
                    else {
                        results.sets.clear();
                        results.sets.push_back(std::move(rs));
                    }
                    firstTaken = true;
                }
                first = false;
            }
            rc = SQLMoreResults(stmt.get());
        }
    }

    void run(const QString& text, const Params& params, Results& results) {
        std::shared_ptr<const Batch> batch;
        try {
            batch = dialect->prepare(text);
        } catch (const Tsql::TsqlError& e) {
            const QString head = QStringLiteral("T-SQL 错误：") + e.message() + QLatin1Char('\n');
            LogError(head + maskSecrets(text.trimmed()).text);
            throw DbError(head + text.trimmed());
        } catch (const DbError& e) {
            LogError(e.message());
            throw;
        }
        QHash<QString, qsizetype> index;
        for (qsizetype i = 0; i < qsizetype(params.size()); ++i)
            index.insert(params[std::size_t(i)].name.toLower(), i);
        for (const QString& name : batch->params)
            if (!index.contains(name))
                fail(QStringLiteral("参数 \"%1\" 没有赋值").arg(name), text);
        for (const Param& p : params)
            if (!batch->params.contains(p.name.toLower()))
                fail(QStringLiteral("参数 \"%1\" 没有被语句使用").arg(p.name), text);

        const TracedText traced = maskSecrets(text);
        LogSql(traced.text + tracedParams(params, traced.secretParams));

        if (linkLost()) {
            // The link broke while nothing was under way: connect again, then run.
            LogMsg(QStringLiteral("与数据库 %1 的连接已断开，重新连接").arg(target()));
            connect();
        }
        // A batch that does not manage transactions applies whole or not at all: in a
        // transaction of its own, or inside an open one behind a savepoint.
        Wrap wrap = Wrap::None;
        if (batch->writes && !batch->managesTransactions)
            wrap = tranCount > 0 ? Wrap::Savepoint : Wrap::Transaction;
        const Step* current = nullptr;
        try {
            if (wrap == Wrap::Transaction) {
                if (translates())
                    raw(dialect->savepoint());
                else
                    setAutocommit(false);
            } else if (wrap == Wrap::Savepoint) {
                raw(dialect->savepoint());
            }
            bool firstTaken = false;
            for (const Step& step : batch->steps) {
                current = &step;
                runStep(step, params, index, results, firstTaken);
                firstTaken = firstTaken || !results.sets.empty();
            }
            current = nullptr;
            if (wrap == Wrap::Transaction) {
                if (translates()) {
                    raw(dialect->releaseSavepoint());
                } else {
                    endTransaction(true);
                    setAutocommit(true);
                }
            } else if (wrap == Wrap::Savepoint && !dialect->releaseSavepoint().isEmpty()) {
                raw(dialect->releaseSavepoint());
            } else if (batch->managesTransactions) {
                tranCount = openTransactions();
            }
        } catch (const OdbcError& e) {
            undo(wrap, *batch, e.connectionLost());
            const QString statement = current ? current->source : text;
            if (e.connectionLost()) {
                reconnectFirst = true;
                const QString message =
                    QStringLiteral("与数据库 %1 的连接已断开，本次操作没有完成：").arg(target()) +
                    diagText(e.diags()) + QLatin1Char('\n') + statement.trimmed();
                LogError(message);
                throw DbError(message, e.native());
            }
            LogError(QStringLiteral("数据库错误：") + diagText(e.diags()) + QLatin1Char('\n') +
                     maskSecrets(statement.trimmed()).text);
            throw DbError(statementError(e, statement), e.native());
        } catch (const DbError& e) {
            undo(wrap, *batch, false);
            LogError(e.message());
            throw;
        }
        if (batch->hasDdl)
            dialect->clearCaches();
    }

    // After a failure: the batch's changes go. A batch that began its own transaction leaves
    // none open; one inside an open transaction undoes only itself.
    void undo(Wrap wrap, const Batch& batch, bool linkBroken) {
        if (linkBroken) {
            tranCount = 0;  // the server rolled back whatever was open
            return;
        }
        try {
            if (wrap == Wrap::Transaction && !translates()) {
                endTransaction(false);
                setAutocommit(true);
            } else if (wrap == Wrap::Transaction || wrap == Wrap::Savepoint) {
                raw(dialect->rollbackToSavepoint());
                if (!dialect->releaseSavepoint().isEmpty())
                    raw(dialect->releaseSavepoint());
            } else if (batch.managesTransactions) {
                if (translates()) {
                    if (tranCount > 0)
                        raw(QStringLiteral("rollback"));
                } else {
                    raw(QStringLiteral("if @@trancount > 0 rollback"));
                }
                tranCount = 0;
            }
        } catch (const OdbcError& e) {
            LogError(QStringLiteral("撤销失败的批处理时出错：") + diagText(e.diags()));
        }
        if (batch.hasDdl)
            dialect->clearCaches();
    }

    // ---- the file store ----

    // Runs `change` in a transaction of its own, or inside the caller's open one; a failure
    // undoes it whole.
    template <typename Change>
    void storeChange(Change change) {
        const bool own = tranCount == 0;
        if (own)
            setAutocommit(false);
        try {
            change();
            if (own) {
                endTransaction(true);
                setAutocommit(true);
            }
        } catch (...) {
            if (own) {
                SQLEndTran(SQL_HANDLE_DBC, dbc.get(), SQL_ROLLBACK);
                SQLSetConnectAttr(dbc.get(), SQL_ATTR_AUTOCOMMIT, SQLPOINTER(SQL_AUTOCOMMIT_ON), 0);
            }
            throw;
        }
    }

    // A failure of the store: traced and shown, naming the file.
    template <typename Call>
    bool storeCall(const QString& what, Call call) {
        try {
            call();
            return true;
        } catch (const OdbcError& e) {
            const QString message = what + QStringLiteral("：") + diagText(e.diags());
            LogError(message);
            OdbcDataServices::report(DbError(message, e.native()));
        } catch (const DbError& e) {
            LogError(e.message());
            OdbcDataServices::report(e);
        }
        return false;
    }

    std::optional<StoredFile> findStored(const QString& name) {
        RecordSet rs;
        raw(QStringLiteral("select id, md5, size, refcount from qd_sys_filestore where name = ?"),
            {QVariant(name)}, &rs);
        if (!rs.active() || rs.isEmpty())
            return std::nullopt;
        const auto r = rs.rowAt(0);
        return StoredFile{rs.valueAt(r, 0).toLongLong(), rs.textAt(r, 1),
                          rs.isNullAt(r, 2) ? -1 : rs.valueAt(r, 2).toLongLong(),
                          rs.valueAt(r, 3).toLongLong()};
    }

    [[noreturn]] void fail(const QString& message, const QString& text) {
        const QString full = message + QLatin1Char('\n') + text.trimmed();
        LogError(message + QLatin1Char('\n') + maskSecrets(text.trimmed()).text);
        throw DbError(full);
    }
};

OdbcDataServices::OdbcDataServices(const QString& connection)
    : OdbcDataServices(connection, Options{}) {}

OdbcDataServices::OdbcDataServices(const QString& connection, Options options)
    : d(std::make_unique<Impl>()) {
    d->connection = connection;
    d->options = options;
    d->connect();
    if (d->translates())
        d->dialect = embeddedDialect([this](const QString& sql, const QString& table) {
            RecordSet rs;
            try {
                d->raw(sql, {QVariant(table)}, &rs);
            } catch (const OdbcError&) {
                return RecordSet();
            }
            return rs;
        });
    else
        d->dialect = serverDialect();
    LogMsg(QStringLiteral("打开数据库 %1（%2）").arg(d->target(), d->dbms));
}

OdbcDataServices::~OdbcDataServices() = default;

DataPacket OdbcDataServices::query(const QString& sql, const Params& params) {
    Results r;
    r.which = Results::First;
    d->run(sql, params, r);
    if (r.sets.empty())
        throw DbError(QStringLiteral("语句没有返回数据集\n") + sql.trimmed());
    return std::move(r.sets.front());
}

DataPacket OdbcDataServices::queryLast(const QString& sql, const Params& params) {
    Results r;
    r.which = Results::Last;
    d->run(sql, params, r);
    return r.sets.empty() ? DataPacket() : std::move(r.sets.front());
}

std::vector<DataPacket> OdbcDataServices::queryAll(const QString& sql, const Params& params) {
    Results r;
    r.which = Results::All;
    d->run(sql, params, r);
    return std::move(r.sets);
}

void OdbcDataServices::exec(const QString& sql, const Params& params) {
    Results r;
    d->run(sql, params, r);
}

QStringList OdbcDataServices::parameterNames(const QString& sql) {
    try {
        QStringList names = d->dialect->prepare(sql)->params.values();
        names.sort();
        return names;
    } catch (const DbError&) {
        return {};
    }
}

// ---- the file store ----------------------------------------------------------------------------
// The same tables as the embedded backend's (qd_sys_filestore, qd_sys_filestore_content), through
// statements both databases take as written. Content moves in chunks both ways: a file is read
// once to hash it (a repeated one is only counted again) and once more into the database, never
// whole in memory; a copy is written out as the driver hands it over.

bool OdbcDataServices::putFile(const QString& name, QIODevice& stream) {
    const auto* file = qobject_cast<const QFileDevice*>(&stream);
    const QString label = file && !file->fileName().isEmpty() ? file->fileName() : name;
    return d->storeCall(QStringLiteral("文件库：无法保存 %1").arg(label), [&] {
        if (!stream.isOpen() && !stream.open(QIODevice::ReadOnly))
            throw DbError(
                QStringLiteral("无法读取文件 \"%1\"：%2").arg(label, stream.errorString()));
        std::unique_ptr<QTemporaryFile> spooled;
        QIODevice* in = &stream;
        if (stream.isSequential()) {
            spooled = spool(stream, kLargestContent, label, kLargestContent);
            in = spooled.get();
        }
        const qint64 start = in->pos();
        const qint64 size = in->size() - start;
        if (size > kLargestContent)
            throw tooLarge(label, size, kLargestContent);
        LogMsg(QStringLiteral("文件库：保存 %1（%2 字节）").arg(name).arg(size));
        d->storeChange([&] {
            const std::optional<StoredFile> stored = d->findStored(name);
            if (stored && stored->size == size && !stored->md5.isEmpty()) {
                // Most likely the same file again: compare before writing anything.
                QCryptographicHash hash(QCryptographicHash::Md5);
                readChunks(*in, size, label, [&](const char* data, qint64 n, qint64) {
                    hash.addData({data, n});
                });
                if (MD5Print(hash.result()) == stored->md5) {
                    d->raw(QStringLiteral("update qd_sys_filestore set refcount = refcount + 1 "
                                          "where id = ?"),
                           {QVariant(stored->id)});
                    return;
                }
                if (!in->seek(start))
                    throw readFailed(label, *in);
            }
            qint64 id = 0;
            if (stored) {
                id = stored->id;
                d->raw(QStringLiteral("update qd_sys_filestore set size = ?, md5 = null, "
                                      "refcount = refcount + 1 where id = ?"),
                       {QVariant(size), QVariant(id)});
            } else {
                d->raw(QStringLiteral("insert into qd_sys_filestore(name, size, refcount) "
                                      "values(?, ?, 1)"),
                       {QVariant(name), QVariant(size)});
                id = d->findStored(name)->id;
            }
            d->raw(QStringLiteral("delete from qd_sys_filestore_content where id = ?"),
                   {QVariant(id)});
            // Hashed while it goes in: the file is read once.
            HashingReader content(*in, size);
            d->raw(QStringLiteral("insert into qd_sys_filestore_content(id, content) values(?, ?)"),
                   {QVariant(id), QVariant::fromValue(static_cast<QIODevice*>(&content))}, nullptr,
                   {QStringLiteral("id"), label});
            d->raw(QStringLiteral("update qd_sys_filestore set md5 = ? where id = ?"),
                   {QVariant(content.md5()), QVariant(id)});
        });
    });
}

QString OdbcDataServices::downloadFile(const QString& name) {
    const QString path = localCopyPath(name);
    bool stored = false;
    const bool ok = d->storeCall(QStringLiteral("文件库：无法读取 %1").arg(name), [&] {
        Handle stmt = d->statement();
        const QString sql = QStringLiteral(
            "select c.content from qd_sys_filestore f join qd_sys_filestore_content c on c.id = "
            "f.id where f.name = ?");
        BoundParams bound(stmt.get(), {QVariant(name)}, {QStringLiteral("name")});
        check(SQLExecDirectW(stmt.get(), wide(sql), SQLINTEGER(sql.size())), SQL_HANDLE_STMT,
              stmt.get(), QString());
        const SQLRETURN fetched = SQLFetch(stmt.get());
        check(fetched, SQL_HANDLE_STMT, stmt.get(), QString());
        if (fetched == SQL_NO_DATA)
            return;
        // An earlier copy goes first; the name then holds nothing or the new copy whole.
        QFile::remove(path);
        QString readError;
        const bool written = Sys::writeOwnerOnlyFile(
            path,
            [&](QIODevice& out) {
                QByteArray chunk(int(kFileChunkBytes), Qt::Uninitialized);
                for (;;) {
                    SQLLEN length = 0;
                    const SQLRETURN got = SQLGetData(stmt.get(), 1, SQL_C_BINARY, chunk.data(),
                                                     SQLLEN(chunk.size()), &length);
                    if (got == SQL_NO_DATA || length == SQL_NULL_DATA)
                        return true;
                    if (!succeeded(got)) {
                        readError = diagText(diagnostics(SQL_HANDLE_STMT, stmt.get()));
                        return false;
                    }
                    const qint64 part = got == SQL_SUCCESS_WITH_INFO &&
                                                (length == SQL_NO_TOTAL || length > chunk.size())
                                            ? chunk.size()
                                            : qint64(length);
                    if (out.write(chunk.constData(), part) != part)
                        return false;
                    if (got == SQL_SUCCESS)
                        return true;
                }
            },
            /*synced=*/false);  // a copy the store can give again
        if (!written)
            throw DbError(readError.isEmpty() ? QStringLiteral("无法写入文件 \"%1\"").arg(path)
                                              : readError);
        stored = true;
    });
    return ok && stored ? path : QString();
}

bool OdbcDataServices::delAttachFile(const QString& name) {
    bool released = false;
    const bool ok = d->storeCall(QStringLiteral("文件库：无法释放 %1").arg(name), [&] {
        d->storeChange([&] {
            const std::optional<StoredFile> stored = d->findStored(name);
            if (!stored)
                return;
            if (stored->refcount > 1) {
                d->raw(QStringLiteral("update qd_sys_filestore set refcount = refcount - 1 where "
                                      "id = ?"),
                       {QVariant(stored->id)});
            } else {
                d->raw(QStringLiteral("delete from qd_sys_filestore_content where id = ?"),
                       {QVariant(stored->id)});
                d->raw(QStringLiteral("delete from qd_sys_filestore where id = ?"),
                       {QVariant(stored->id)});
            }
            released = true;
        });
    });
    if (ok && released)
        LogMsg(QStringLiteral("文件库：释放 %1").arg(name));
    return ok && released;
}

QString OdbcDataServices::target() const {
    return d->target();
}

QString OdbcDataServices::maskedConnection() const {
    return maskConnectionString(d->connection);
}

QString OdbcDataServices::dbmsName() const {
    return d->dbms;
}

bool OdbcDataServices::translates() const {
    return d->translates();
}

}  // namespace Qd::Core::Db
