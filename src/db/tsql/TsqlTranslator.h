#pragma once

// Internal to the T-SQL layer: the translator that walks a token stream once, building the
// procedural structure of a batch and translating every statement and expression as it goes
// (syntax-directed: each expression comes back as embedded SQL text with its inferred type).
// Its methods are split by case: procedural statements (TsqlProcedural.cpp), queries and DML
// (TsqlStatements.cpp), expressions (TsqlExpressions.cpp) and DDL (TsqlDdl.cpp).

#include <QDateTime>
#include <QHash>
#include <QSet>
#include <functional>

#include "db/tsql/TsqlBatch.h"
#include "db/tsql/TsqlLexer.h"

namespace Qd::Core::Db::Tsql::Internal {

// The type an expression is known to have, as far as '+' and '-' need to know.
enum class VType { Unknown, Number, Text, Time };

struct Expr {
    QString sql;
    VType type = VType::Unknown;
    int intBits = 0;  // 32 for an int, 64 for a bigint, 0 for anything else or not known
    int scale = -1;   // places of a decimal or money (declared, cast or computed); -1 not known
    bool money = false;
    int precision = 0;  // digits of a decimal or money, its places included; 0 not known (38)
    // SQL that gives a decimal result as its exact text where `sql` gives the nearest double, for
    // the next step of decimal arithmetic; empty when `sql` loses nothing (a column, a literal).
    QString exact{};
    bool date = false;  // a date without a time of day (a date column or variable)
    // The T-SQL type a result column of this expression has, as written ("varchar(50)", "bit"):
    // a cast's target type, a column's declared type, also read through a derived table or a
    // common table expression. Empty where only the kind of value is known.
    QString declared{};
};

VType vtypeOf(const SqlType& t);
int intBitsOf(const SqlType& t);
Expr typedExpr(const QString& sql, const SqlType& t);  // an expression of a declared type
// Text as the conversions to datetime read it ("2025-01-02", "20250102", "2025/1/2 08:00",
// "2025-01-02T08:00:00.5"); invalid when it is no date.
QDateTime dateTimeOfText(QString text);
// The T-SQL type of a result column computed by `e`, as far as the record set's field needs it:
// its declared type, else "money" or "decimal(38,2)" of a computed decimal, else empty.
QString resultTypeOf(const Expr& e);
// A decimal literal as its text ('1.005'), so that a conversion or rounding sees the decimal
// and not the double nearest to it; any other expression unchanged.
QString exactLiteral(const QString& sql);
// The SQL of e's exact decimal value for a further step: e.exact, or the literal as its text.
QString exactSql(const Expr& e);
// `value` converted to a decimal or money `type` as cast does: rounded half away from zero to
// its scale, then checked for its precision (8115); with `asText` the exact text of the result.
QString decimalConversion(const QString& value, const SqlType& type, bool asText = false);

// Tables a statement names, for the types of its columns: alias -> table (both lower case),
// and the tables in order of appearance.
struct TableScope {
    QHash<QString, QString> aliases;
    QStringList tables;
    QHash<QString, int> derived;  // alias of a derived table (lower case) -> its '(' token
};

class Translator {
public:
    Translator(QStringView text, const ISchema& schema);
    std::unique_ptr<Batch> run();

    // ---- tokens ----
    int size() const { return int(m_t.size()); }
    const Token& tok(int i) const;
    QStringView text(int i) const;
    QString lower(int i) const;     // the token's text in lower case ("" past the end)
    QString nameText(int i) const;  // a name as written, without the quotes of [x] or "x"
    bool isName(int i) const;       // a quoted name, or a word that is not reserved
    bool isWord(int i, QLatin1StringView w) const;
    bool isOp(int i, QLatin1StringView op) const;
    int matchingParen(int open, int end) const;  // index of the ')' closing tok(open)
    [[noreturn]] void fail(int i, const QString& what) const;
    QString source(int begin, int end) const;  // the original text of tokens [begin, end)

    // ---- procedural (TsqlProcedural.cpp) ----
    void parseStatements(NodeList& out, int stopAt, QLatin1StringView endWord);
    void parseStatement(NodeList& out);
    int statementEnd(int start) const;

    // ---- statements (TsqlStatements.cpp) ----
    // Translates the statement tokens [begin, end). Assignment selects report their target
    // variables in `targets`; `returnsRows` tells whether the statement yields a result set.
    QString translateStatement(int begin, int end, QStringList* targets, bool* returnsRows);
    QString translateSubquery(int open, int& i);  // tok(open) is '(' before select/with
    QString offsetFetch(int& i, int end, const TableScope& scope);
    QString commonTableExpressions(int& i, int end);
    QString applyJoin(int& i, int end, const TableScope& scope);
    QString topCount(int& i, int end, const TableScope& scope);
    struct JoinTarget {
        QString table;  // the table changed
        QString rowid;  // its rowid inside the from clause
        QString from;   // the translated from clause, where and all
        QString key;    // the table's name in lower case, for the types of its columns
    };
    int ownFromClause(int begin, int end) const;
    JoinTarget joinTarget(int& i, int from, int end);
    QString translateUpdateFrom(int begin, int from, int end);
    QString translateDeleteFrom(int begin, int from, int end);
    QString topLimit(const QString& out, const QString& n, bool percent, int withTiesAt,
                     qsizetype fromPos, qsizetype orderPos,
                     const QHash<QString, QString>& aliases) const;
    QString tableRef(int& i, int end);  // a table name, temp table or table variable
    // The declared type of a column of a table the batch made or the database has.
    std::optional<SqlType> columnTypeIn(const QString& table, const QString& column) const;
    void tableAlias(int& i, int end, QString& out);
    int aliasAt(int i, int end) const;  // the alias token after a table name at i, or -1

    // ---- values stored into columns (TsqlStore.cpp) ----
    // `value`, from tokens [begin, end) when known, as it is stored into a column of type
    // `column`: converted as cast converts it when the column is a decimal or money, unchanged
    // otherwise.
    QString storedValue(const Expr& value, const std::optional<SqlType>& column, int begin = -1,
                        int end = -1) const;
    std::optional<QString> storedLiteral(int begin, int end, const SqlType& column) const;
    QString timeText(const Expr& value, bool date, int begin, int end, bool stored) const;
    // Both sides of a comparison in one text form where one is a date-time (see timeText);
    // [lb, le) and [rb, re) are their tokens.
    void alignTimes(Expr& l, int lb, int le, Expr& r, int rb, int re) const;
    // The key of the table written at tok(at), whose reference ends before tok(after): its
    // name in lower case, or the temp table of a table variable.
    QString tableKey(int at, int after) const;
    // The types of `columns` of `table` (all its columns in order when empty), by position;
    // empty when none of them is a decimal or money, so that nothing needs converting.
    QList<std::optional<SqlType>> storedTypes(const QString& table,
                                              const QStringList& columns) const;
    // The types of the columns the insert among tokens [begin, end) writes, by position.
    QList<std::optional<SqlType>> insertTypes(int begin, int end);
    // An update's "column = value, ..." from tok(i) with each value as `table` stores it; stops
    // before anything else, at its comma.
    QString setList(int& i, int end, const QString& table, const TableScope& scope);

    // ---- recursive common table expressions (TsqlRecursion.cpp) ----
    // "name [(columns)] as (anchor union all recursive member)" with the body in tokens
    // (open, close), kept to `limit` levels (0: none).
    QString recursiveCte(const QString& name, QStringList columns, int open, int close, int limit);
    int selfReference(const QString& name, int begin, int end) const;  // its token, or -1
    int maxRecursion(int begin, int end) const;  // from "option (maxrecursion n)"; 100 without
    int skipQueryOption(int i, int end) const;   // past "option (maxrecursion n)" at tok(i)
    // The first token in [begin, end) outside parentheses where `stop` holds, or end.
    int outsideParens(int begin, int end, const std::function<bool(int)>& stop) const;
    QString m_extraItem;      // appended to the select list of the next query level translated
    QString m_recursiveName;  // the recursive expression whose self-reference is being renamed
    TableScope scanTables(int begin, int end) const;

    // ---- pivot and unpivot (TsqlPivot.cpp) ----
    struct SourceColumn {
        QString name;
        SqlType type;
    };
    // The columns of the table source at tok(source) in order: of a table from the schema, of a
    // derived table from its select list. Fails where they cannot be known.
    QList<SourceColumn> sourceColumns(int source, int end);
    // `named` false: an item without a name is no error (the caller names the columns).
    QList<SourceColumn> selectListColumns(int open, int close, bool named = true);

    // ---- the columns of queries used as tables (TsqlQueryColumns.cpp) ----
    // The columns a derived table or a common table expression gives, in order, with the types
    // of their expressions (its select list at tok(open), named by `names` when the expression
    // lists them), so that a column read from it keeps its type; empty when not known.
    const QList<SourceColumn>& queryColumns(int open, const QStringList& names = {});
    std::optional<SqlType> derivedColumnType(const QString& alias, const QString& column,
                                             const TableScope& scope);
    static std::optional<SqlType> typeOfColumn(const QList<SourceColumn>& columns,
                                               const QString& column);  // any letter case
    // The result types of "*" (no qualifier) or "q.*" in the query of tokens [begin, end), one
    // per column it stands for; nullopt when a source's columns are not known.
    std::optional<QStringList> starTypes(int begin, int end, const QString& qualifier);
    QHash<int, QList<SourceColumn>> m_queryColumns;    // by the query's '(' token
    QHash<QString, QList<SourceColumn>> m_cteColumns;  // of this statement's with, lower-case
    QStringList tableColumnNames(const QString& table) const;  // in order; empty when unknown
    // tok(i) is "pivot" or "unpivot" after the table source at tok(source), which translated to
    // `sourceSql`; returns the derived table that stands for both, i past its alias.
    QString pivotTable(int source, const QString& sourceSql, int& i, int end);

    // ---- output on insert, update and delete (TsqlOutput.cpp) ----
    // Where a data change's output clause lies, set aside while the statement translates.
    struct OutputClause {
        int begin = -1;           // the token "output"
        int end = -1;             // the token after the clause ("values", "where", ...)
        qsizetype wherePos = -1;  // where the statement's where clause starts in its translation
    };
    OutputClause m_output;
    // The output clause of the data change [begin, end) at parenthesis depth 0, or -1.
    OutputClause outputClause(int begin, int end) const;
    // The node of a data change whose output clause translateStatement set aside: its rows
    // returned (or put into a table) by "returning", the old values of an update through a
    // snapshot of the rows it changes.
    std::unique_ptr<Node> withOutput(std::unique_ptr<Node> n, int begin, int end);

    // ---- merge (TsqlMerge.cpp) ----
    // merge [into] target using source on ... when ...; the statement [begin, end) without its
    // ';'. Returns the Steps node that decides every row first and then applies the decisions.
    std::unique_ptr<Node> translateMerge(int begin, int end);

    // ---- expressions (TsqlExpressions.cpp) ----
    Expr parseExpr(int& i, int end, const TableScope& scope);
    Expr parseStandalone(int& i, int end);  // an expression outside any statement
    // Whether the '(' at tok(open), met while walking a statement, starts an expression rather
    // than a column list, a values row, a derived table or a window.
    bool opensExpression(int open, int begin, int end) const;
    SqlType parseType(int& i, int end);  // a type name with its (length[, scale])

    // ---- calls with clauses after them (TsqlCalls.cpp) ----
    Expr parseFunction(const QString& name, int& i, int end, const TableScope& s);
    QString overClause(int& i, int end, const TableScope& s);
    QString orderBy(int& i, int end, const TableScope& s);
    void orderKeys(int& i, int end, const TableScope& s, QStringList& keys,
                   QList<bool>& descending);

    // ---- DDL (TsqlDdl.cpp) ----
    QString translateCreateTable(int begin, int end);
    QString translateAlterTable(int begin, int end);
    // A column of table `table` (for error messages) as the embedded database declares it.
    QString columnDefinition(const QString& table, int& i, int end, bool* isIdentity, QString* name,
                             SqlType* type);
    // Views: remembers the views the batch creates, and refuses an insert, update or delete
    // whose target is a view (the embedded database's views are read-only), naming the base
    // table to change instead.
    void checkViewTarget(int begin, int end);

    // ---- what the batch has declared so far ----
    QString variableParam(int i) const;  // ":_v_name" of a declared variable at tok(i)
    const ISchema& schema() const { return m_schema; }
    QHash<QString, SqlType> m_vars;                         // variable (lower, no @) -> type
    QHash<QString, QString> m_tableVars;                    // table variable -> temp table
    QHash<QString, QHash<QString, SqlType>> m_localTables;  // tables made by the batch
    QHash<QString, QStringList> m_localColumnNames;         // their columns in order
    QHash<QString, QString> m_localViews;                   // views made by the batch -> base
    // The types of the result columns of the statement translated last (see Node::columnTypes).
    QStringList m_columnTypes;
    Batch* m_batch = nullptr;
    int m_pos = 0;  // the procedural parser's position

private:
    Expr parseOr(int& i, int end, const TableScope& s);
    Expr parseAnd(int& i, int end, const TableScope& s);
    Expr parseNot(int& i, int end, const TableScope& s);
    Expr parsePredicate(int& i, int end, const TableScope& s);
    Expr parseAdditive(int& i, int end, const TableScope& s);
    Expr parseMultiplicative(int& i, int end, const TableScope& s);
    Expr parseUnary(int& i, int end, const TableScope& s);
    Expr parsePrimary(int& i, int end, const TableScope& s);
    Expr parseCase(int& i, int end, const TableScope& s);
    // How many '(' from tok(open) on only wrap what the ')' at tok(close) closes: "((x))" is 2.
    int redundantParens(int open, int close) const;
    Expr parseCall(const QString& name, int& i, int end, const TableScope& s);
    Expr parseName(int& i, int end, const TableScope& s);
    Expr castTo(const Expr& e, const SqlType& type, int style, int at);
    Expr conversion(bool isConvert, bool orNull, int& i, int close, const TableScope& s);
    Expr choose(int& i, int close, const TableScope& s);
    QString datePartArg(int& i, int end);

    static constexpr int kMaxExprDepth = 200;
    int m_exprDepth = 0;  // expressions being parsed inside one another
    QStringView m_text;
    const ISchema& m_schema;
    std::vector<Token> m_t;  // significant tokens only (no blanks or comments)
};

// One step of a statement run as several (Node::Steps), at the statement's line; a helper step
// is not counted in @@rowcount.
std::unique_ptr<Node> statementStep(const Node& statement, const QString& sql, bool helper);

// Words that start a T-SQL statement, and words an expression never starts with.
bool isStatementStart(const QString& lowerWord);
bool isReserved(const QString& lowerWord);
// Reserved words that nevertheless start an expression (not, exists, case, null, cast, convert).
bool startsExpression(const QString& lowerWord);

// How to write a refused construct (": ..." to append to the error), or empty.
QString rewriteFor(const QString& lowerWord);

// The one place emitted SQL is put together. Pieces are joined with single blanks, none after
// '(' or before ')' and ','; a blank always separates two pieces whose meeting characters would
// read as one token ("-" and "-1" as the comment "--1", "/" and "*", two words).
bool wouldJoin(QChar last, QChar next);
void appendSql(QString& out, const QString& piece);
QString joinSql(std::initializer_list<QString> pieces);
// Appends "op right" to `left` in place, spaced as appendSql does: a long chain (a or b or c ...)
// grows one string instead of copying the whole left side at every step.
void appendOperation(QString& left, const QString& op, const QString& right);
QString prefixSql(const QString& op, const QString& operand);  // a unary operator, "-x", "- -1"

// An identifier as the embedded database needs it: plain when it is a simple word, else quoted.
QString sqlName(const QString& name);

// Literal of the current local time with milliseconds, as getdate() gives it.
extern const char* const kNowSql;

}  // namespace Qd::Core::Db::Tsql::Internal
