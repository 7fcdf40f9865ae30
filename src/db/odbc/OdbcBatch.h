#pragma once

// A batch as an ODBC connection sends it: its statements with parameter markers, in the SQL of
// the database behind the driver.

#include <QHash>
#include <QSet>
#include <QStringList>
#include <functional>
#include <memory>
#include <vector>

#include "db/RecordSet.h"
#include "db/odbc/OdbcLoader.h"

namespace Qd::Core::Db::Odbc {

// One statement of a batch.
struct Step {
    enum Kind { Sql, Begin, Commit, Rollback };
    Kind kind = Sql;
    QString sql;              // with ? in place of each :name
    QStringList markers;      // the parameter of each ?, lower case
    QStringList columnTypes;  // T-SQL types of result columns where the translator knows them
    int line = 1;             // where the statement starts in the batch
    QString source;           // the statement as written (the whole batch on a server)
};

struct Batch {
    std::vector<Step> steps;
    bool managesTransactions = false;  // begins, commits or rolls back itself
    bool hasDdl = false;               // may change tables (the schema caches are dropped)
    bool writes = false;               // may change data: runs inside a transaction
    QSet<QString> params;              // the caller's parameters it refers to, lower case
};

// How batches become statements for one kind of database.
class Dialect {
public:
    virtual ~Dialect() = default;
    // The statements of `text`; throws DbError when the dialect cannot run it (naming line
    // and column, and what to write instead).
    virtual std::shared_ptr<const Batch> prepare(const QString& text) = 0;
    virtual ColumnSizes columnSizes() const = 0;
    // The declared type of a table's column, for drivers that describe result columns only by
    // their base type; empty where the driver's description is to be used.
    virtual QString declaredType(const QString& /*table*/, const QString& /*column*/) const {
        return {};
    }
    // The statements around a batch inside an open transaction, so that a failure undoes only
    // the batch.
    virtual QString savepoint() const = 0;
    virtual QString rollbackToSavepoint() const = 0;
    virtual QString releaseSavepoint() const = 0;  // empty when nothing needs releasing
    // Schema or settings changed: prepared batches may translate differently now.
    virtual void clearCaches() {}
};

// A server that speaks T-SQL itself: the batch goes as written, each :name (outside strings,
// names and comments) a marker.
std::unique_ptr<Dialect> serverDialect();

// The embedded database behind its ODBC driver (tests and benchmarks): batches pass the T-SQL
// translator first, which reads column types through `query` (a statement of the embedded
// database's SQL run on the same connection). Only batches of plain statements run this way;
// variables and control flow need the server (or the embedded database's own data services).
using SchemaQuery = std::function<RecordSet(const QString& sql, const QString& table)>;
std::unique_ptr<Dialect> embeddedDialect(SchemaQuery query);

// `text` with each :name parameter (outside strings, quoted names and comments) replaced by ?,
// and the names in marker order, lower case.
QString withMarkers(const QString& text, QStringList& markers);

}  // namespace Qd::Core::Db::Odbc
