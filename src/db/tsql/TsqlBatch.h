#pragma once

// A T-SQL batch parsed into its procedural structure, with every SQL statement and expression
// already translated to the embedded database's SQL. Variables become parameters named
// ":_v_<name>", @@globals ":_g_<name>", and the caller's :name parameters stay as they are
// (lower-cased).

#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>
#include <vector>

#include "db/DbError.h"

namespace Qd::Core::Db::Tsql {

// An error in a T-SQL text: where it is and the token near it.
class TsqlError : public DbError {
public:
    TsqlError(const QString& what, int line, int column, const QString& near);
    int line() const { return m_line; }
    int column() const { return m_column; }
    const QString& problem() const { return m_what; }

private:
    QString m_what;
    int m_line;
    int m_column;
};

// The collation of text columns (registered on each connection by the session): case and
// trailing blanks do not count, as on the server.
inline constexpr char kTextCollation[] = "qd_text";

// A declared T-SQL type.
struct SqlType {
    enum Base {
        Unknown,
        Int,  // int, bigint, smallint, tinyint
        Bit,
        Decimal,   // decimal, numeric, money, smallmoney (scale kept)
        Float,     // float, real
        Char,      // char, varchar, nchar, nvarchar, text, ntext, uniqueidentifier, sysname
        DateTime,  // datetime, smalldatetime, datetime2
        Date,
        Binary,  // binary, varbinary, image
    };
    Base base = Unknown;
    int length = 0;     // characters of a char type; 0 = max / unbounded
    int scale = -1;     // decimal places of a decimal type
    int precision = 0;  // digits of a decimal type, those places included
    QString name;       // as written, lower case: "nvarchar(50)"
    // Inferred from an expression's kind (text, a number, a time) rather than declared or cast:
    // good for the translator's own rules, not for the type a result column shows.
    bool guessed = false;

    bool isText() const { return base == Char; }
    bool isNumber() const { return base == Int || base == Bit || base == Decimal || base == Float; }
    bool isTime() const { return base == DateTime || base == Date; }
};

// What the translator knows of the database: the declared type of a column.
class ISchema {
public:
    virtual ~ISchema() = default;
    // The declared type of table.column, or nullopt when the table or column is unknown.
    virtual std::optional<SqlType> columnType(const QString& table,
                                              const QString& column) const = 0;
    // The embedded database's definition ("create view v as select ...") of a view of that
    // name, or nullopt when the name is not a view.
    virtual std::optional<QString> viewDefinition(const QString&) const { return std::nullopt; }
    // The names of a table's columns in their order, empty when the table is unknown.
    virtual QStringList columnNames(const QString&) const { return {}; }
};

struct Node;
using NodeList = std::vector<std::unique_ptr<Node>>;

struct Node {
    enum Kind {
        Sql,           // sql: a statement; returnsRows when it yields a result set
        SelectAssign,  // sql: select of the values; targets: variables assigned from its last row
        Declare,       // name, type; sql: "select <initial value>" or empty
        DeclareTable,  // name, sql: "create temp table ..."
        Set,           // name; sql: "select <value>"
        If,     // sql: "select <condition>"; children[0] then, children[1] else (may be null)
        While,  // sql: condition; children[0] body
        Break,
        Continue,
        Block,  // children
        Try,    // children[0] try block, children[1] catch block
        BeginTran,
        Commit,
        Rollback,   // name: savepoint, or empty for the whole transaction
        SaveTran,   // name
        Raiserror,  // args: "select <message>, <severity>, <state>[, <argument>...]"
        Throw,      // sql: "select <number>, <message>, <state>", or empty to rethrow
        Print,      // sql: "select <value>"
        Return,
        // children: the Sql nodes one statement runs as (merge, output of old values), inside a
        // savepoint of their own, so that the statement applies whole or not at all.
        // @@rowcount is the total of the children that are not helpers.
        Steps,
    };
    Kind kind;
    int line = 0;
    QString source;  // the statement as written
    QString sql;
    QString name;
    SqlType type;
    QStringList targets;
    bool returnsRows = false;
    // The T-SQL type of each result column the translator computes ("decimal(38,2)", "money"),
    // empty where the column's own declared type or its values tell; a list that does not
    // match the statement's column count (a "*" among the items) says nothing.
    QStringList columnTypes;
    bool isDdl = false;
    bool changesData = false;  // returns rows and changes data too (output)
    bool helper = false;       // a step of a Steps node that @@rowcount does not count
    // The rows the statement returns go into a table instead of to the caller: "insert into t
    // [(a, b)] values (?1, ...)", one parameter for each of the statement's columns.
    QString outputInto;
    NodeList children;
};

struct Batch {
    NodeList nodes;
    bool managesTransactions = false;  // the batch begins, commits or rolls back itself
    bool hasDdl = false;
    QStringList tempTables;  // table variables to drop when the batch ends
    QSet<QString> params;    // the caller's :name parameters it refers to, lower case

    // The translated statements, one per line group, for --explain and the trace.
    QStringList explain() const;
};

// Parses and translates a batch. Throws TsqlError naming the construct, its line and the token
// near it when the text is not valid or uses T-SQL outside the supported subset.
std::unique_ptr<Batch> translate(QStringView text, const ISchema& schema);

// Maps a T-SQL type as written ("nvarchar(50)", "money", "varchar(max)") to its kind.
std::optional<SqlType> parseTypeName(const QString& text);

}  // namespace Qd::Core::Db::Tsql
