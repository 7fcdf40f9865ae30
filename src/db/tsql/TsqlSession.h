#pragma once

#include <QHash>
#include <QVariant>
#include <functional>
#include <memory>

#include "db/DataServices.h"
#include "db/tsql/TsqlBatch.h"

struct sqlite3;
struct sqlite3_stmt;

namespace Qd::Core::Db::Tsql {

// An error raised while a batch runs: by the database, or by the batch itself (raiserror,
// throw). `line` is the batch line of the failing statement.
class TsqlExecError : public DbError {
public:
    // `dbCode`: the embedded database's own result code when it refused the statement.
    TsqlExecError(const QString& message, int number, int severity, int state, int line,
                  const QString& statement, bool raised, int dbCode = 0);
    int number() const { return m_number; }
    int severity() const { return m_severity; }
    int state() const { return m_state; }
    int line() const { return m_line; }
    const QString& statement() const { return m_statement; }
    // True for an error the batch raised itself: its message is meant for the user as it is.
    bool raised() const { return m_raised; }
    // The message as the server words it (error_message()): without the batch line in front.
    QString serverMessage() const;

private:
    int m_number;
    int m_severity;
    int m_state;
    int m_line;
    QString m_statement;
    bool m_raised;
};

// A built-in that fails as the server would marks its message with the server's error number;
// the session takes the two apart again for TsqlExecError (error_number(), error_message()).
QString serverErrorText(int number, const QString& message);
bool splitServerError(const QString& text, int* number, QString* message);

// The server's errors for a value that does not convert, marked with their numbers: text that is
// no number of an int type (245), no date (241), no decimal or float (8114), and a value too
// large for its decimal precision (8115; `from` is int, bigint, numeric or varchar).
QString conversionFailed(const QString& value, const QString& typeName);
QString dateConversionFailed();
QString numberConversionFailed(const QString& typeName);
QString decimalOverflow(const QString& from);
// Whether a value (rounded to the scale already) fits decimal(precision, scale).
bool decimalFits(double value, int precision, int scale);

// Runs T-SQL batches on one connection of the embedded database, as the server would run them:
// variables, table variables and #temp tables, if / while, try / catch, raiserror, and
// transactions counted in @@trancount (a nested begin only counts; commit takes effect at the
// outermost level; rollback undoes everything; save tran sets a savepoint). A batch that does
// not manage transactions itself and changes data runs inside one transaction of its own (a
// savepoint when one is open already), so it either applies whole or not at all. Translations
// and prepared statements are cached by text. Every statement run goes to the trace with the
// values bound to it.
class Session : public ISchema {
public:
    // Receives the rows of a result set: its columns once, then each row, on the statement.
    // `types` holds each column's T-SQL type: the declared type of a table's column, or the
    // type computed for an expression where the translator knows it ("decimal(38,2)",
    // "money": the places a value shows), else empty. `layout` is kept with the prepared
    // statement for the sink's own use: what it learnt of the columns the first time, so that
    // a repeated query need not learn it again.
    class ResultSink {
    public:
        virtual ~ResultSink() = default;
        virtual void columns(sqlite3_stmt* stmt, const QStringList& types,
                             std::shared_ptr<void>& layout) = 0;
        virtual void row(sqlite3_stmt* stmt) = 0;
    };

    explicit Session(sqlite3* db);
    ~Session() override;
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // Runs `text` with the caller's :name parameters. The first result set goes to `sink`, or
    // every result set with `allResults` (others are read and dropped). Throws TsqlError
    // (translation) or TsqlExecError.
    void run(const QString& text, const Params& params, ResultSink* sink = nullptr,
             bool allResults = false);
    // Rows of a batch that is one plain query, read a few at a time while other statements run
    // on the connection. The statement stays open until its last row is read or the cursor
    // goes; the cursor must not outlive the session.
    class Cursor {
    public:
        ~Cursor();
        Cursor(const Cursor&) = delete;
        Cursor& operator=(const Cursor&) = delete;
        // Hands up to `rows` more rows to `sink` (its columns before the first); false once the
        // query has no more. Throws TsqlExecError when the database fails.
        bool fetch(ResultSink& sink, qint64 rows);

    private:
        friend class Session;
        struct State;
        explicit Cursor(std::unique_ptr<State> state);
        std::unique_ptr<State> d;
    };
    // A cursor over `text` when it is one query that changes nothing (no variables, no
    // procedural statements, no output clause); nullptr otherwise: run it as a batch. Throws
    // as run() does for a batch that does not translate or binds wrongly.
    std::unique_ptr<Cursor> openCursor(const QString& text, const Params& params);

    // The translated statements of a batch, without running it.
    QStringList explain(const QString& text);
    // The parameter names the batch refers to (lower case, without ':').
    QStringList parameterNames(const QString& text);

    int tranCount() const;
    std::optional<SqlType> columnType(const QString& table, const QString& column) const override;
    QStringList columnNames(const QString& table) const override;
    std::optional<QString> viewDefinition(const QString& name) const override;
    void clearCaches();

    // Registers the T-SQL built-ins (qd_datediff, qd_dateadd, ...) on a connection.
    static void registerFunctions(sqlite3* db);
    // Registers the server's rules the embedded database lacks (int overflow, division by zero,
    // text meeting a number, the text collation) on a connection.
    static void registerServerRules(sqlite3* db);

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

}  // namespace Qd::Core::Db::Tsql
