#include "db/tsql/TsqlSession.h"

#include <sqlite3.h>

#include <QRegularExpression>
#include <algorithm>
#include <cmath>
#include <optional>

#include "base/TextFormat.h"
#include "base/VectorState.h"
#include "db/SqliteValues.h"
#include "db/Trace.h"
#include "db/TraceMask.h"

namespace Qd::Core::Db::Tsql {

TsqlExecError::TsqlExecError(const QString& message, int number, int severity, int state, int line,
                             const QString& statement, bool raised, int dbCode)
    : DbError(message, dbCode),
      m_number(number),
      m_severity(severity),
      m_state(state),
      m_line(line),
      m_statement(statement),
      m_raised(raised) {}

QString TsqlExecError::serverMessage() const {
    const QString prefix = QStringLiteral("第 %1 行：").arg(m_line);
    return m_line > 0 && message().startsWith(prefix) ? message().mid(prefix.size()) : message();
}

namespace {

// The T-SQL type of each result column: the declared type of a table's column, else the type
// the translator computed for the expression, else empty.
QStringList resultTypes(sqlite3_stmt* stmt, const QStringList& computed) {
    const int count = sqlite3_column_count(stmt);
    const bool matches = computed.size() == count;
    QStringList types;
    for (int c = 0; c < count; ++c) {
        const char* declared = sqlite3_column_decltype(stmt, c);
        types << (declared ? QString::fromUtf8(declared) : matches ? computed[c] : QString());
    }
    return types;
}

constexpr int kUserErrorNumber = 50000;      // raiserror with a message text
constexpr int kNoSuchMessageNumber = 18054;  // raiserror with a number not in the catalogue
constexpr int kMaxLoopIterations = 10'000'000;

enum class Flow { Normal, Break, Continue, Return };

struct Variable {
    SqlType type;
    QVariant value;
};

// A translated batch with what running it needs to know.
struct Prepared {
    std::unique_ptr<Batch> batch;
    bool writes = false;  // changes data (so runs inside a transaction of its own)
    TracedText traced;    // the text as the trace shows it, secrets masked
};

void collect(const NodeList& nodes, Prepared& p) {
    for (const auto& n : nodes) {
        if (!n)
            continue;
        if ((n->kind == Node::Sql && (!n->returnsRows || n->changesData)) ||
            n->kind == Node::DeclareTable)
            p.writes = true;
        collect(n->children, p);
    }
}

// One argument of raiserror as its placeholder asks: flags - (left), 0 (zeros), + and blank
// (sign), # (0x / 0 prefix), a width, a precision (the most characters of %s, the fewest digits
// of a number), and the type s, d / i, u, o, x / X.
QString formatRaisedArgument(const QVariant& v, const QString& flags, int width, int precision,
                             QChar type) {
    if (v.isNull())
        return QStringLiteral("(null)");
    QString text;
    QString sign;
    if (type == QLatin1Char('s')) {
        text = v.toString();
        if (precision >= 0)
            text.truncate(precision);
    } else {
        const qlonglong n = v.toLongLong();
        const int base = type == QLatin1Char('o')             ? 8
                         : type.toLower() == QLatin1Char('x') ? 16
                                                              : 10;
        text = base == 10 && type != QLatin1Char('u') ? QString::number(qAbs(n))
                                                      : QString::number(qulonglong(n), base);
        if (type == QLatin1Char('X'))
            text = text.toUpper();
        if (precision >= 0 && text.size() < precision)
            text = QString(precision - text.size(), QLatin1Char('0')) + text;
        if (n < 0 && base == 10 && type != QLatin1Char('u'))
            sign = QStringLiteral("-");
        else if (base == 10 && flags.contains(QLatin1Char('+')))
            sign = QStringLiteral("+");
        else if (base == 10 && flags.contains(QLatin1Char(' ')))
            sign = QStringLiteral(" ");
        if (flags.contains(QLatin1Char('#')) && base != 10 && n != 0)
            sign = base == 8 ? QStringLiteral("0") : QStringLiteral("0") + type;
    }
    const qsizetype pad = width - sign.size() - text.size();
    if (pad <= 0)
        return sign + text;
    if (flags.contains(QLatin1Char('-')))
        return sign + text + QString(pad, QLatin1Char(' '));
    if (flags.contains(QLatin1Char('0')) && type != QLatin1Char('s'))
        return sign + QString(pad, QLatin1Char('0')) + text;
    return QString(pad, QLatin1Char(' ')) + sign + text;
}

QString formatRaised(const QString& format, const QVariantList& args) {
    static const QRegularExpression placeholder(
        QStringLiteral("%([-+ 0#]*)(\\d*)(?:\\.(\\d+))?([sdiuxXo%])"));
    int next = 0;
    return Sys::substitute(format, placeholder, [&](const QRegularExpressionMatch& m) {
        const QChar type = m.captured(4).front();
        if (type == QLatin1Char('%'))
            return QStringLiteral("%");
        const QVariant v = next < args.size() ? args[next++] : QVariant();
        return formatRaisedArgument(v, m.captured(1), m.captured(2).toInt(),
                                    m.captured(3).isEmpty() ? -1 : m.captured(3).toInt(),
                                    type == QLatin1Char('i') ? QLatin1Char('d') : type);
    });
}

// True for a statement that computes the value of a secret variable ("set @pwd = ...").
bool computesSecret(const Node& n) {
    if (n.kind == Node::Set || n.kind == Node::Declare)
        return isSecretName(n.name);
    return n.kind == Node::SelectAssign &&
           std::any_of(n.targets.cbegin(), n.targets.cend(),
                       [](const QString& t) { return isSecretName(t); });
}

}  // namespace

struct Session::Impl {
    sqlite3* db;
    int tranCount = 0;
    qint64 lastIdentity = 0;
    QStringList savepoints;
    QHash<QString, std::shared_ptr<Prepared>> translations;
    // A prepared statement with what is learnt of it once: its parameter names, and the sink's
    // notes on its columns.
    struct Statement {
        sqlite3_stmt* stmt = nullptr;
        QStringList params;        // in binding order, without ':'
        QStringList foldedParams;  // the same, case-folded: keys of Run::paramIndex
        std::shared_ptr<void> layout;
        std::optional<QStringList> columnTypes;  // see ResultSink::columns, once learnt
        ~Statement() { sqlite3_finalize(stmt); }
    };
    QHash<QString, std::shared_ptr<Statement>> statements;
    // What the database declares of a table: its columns in order, and their types.
    struct TableColumns {
        QStringList names;
        QHash<QString, SqlType> types;  // by lower-case name
    };
    mutable QHash<QString, TableColumns> tableColumns;
    // Whether a name is a view, and its definition: asked for the target of every insert,
    // update and delete, so read once per name (until the session's schema changes).
    mutable QHash<QString, std::optional<QString>> views;

    const TableColumns& columnsOf(const QString& table) const {
        auto it = tableColumns.find(table);
        if (it != tableColumns.end())
            return *it;
        TableColumns cols;
        sqlite3_stmt* stmt = nullptr;
        const QByteArray sql =
            QStringLiteral("pragma table_info(\"%1\")")
                .arg(QString(table).replace(QLatin1Char('"'), QLatin1String("\"\"")))
                .toUtf8();
        if (sqlite3_prepare_v2(db, sql.constData(), -1, &stmt, nullptr) == SQLITE_OK) {
            while (sqlite3_step(stmt) == SQLITE_ROW) {
                const QString name =
                    QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 1)));
                const QString type =
                    QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 2)));
                cols.names << name;
                if (auto t = parseTypeName(type))
                    cols.types.insert(name.toLower(), *t);
            }
        }
        sqlite3_finalize(stmt);
        return *tableColumns.insert(table, cols);
    }

    // State of one run.
    struct Run {
        const Params* params = nullptr;
        // The caller's parameters by case-folded name (the last of a name wins), so that a
        // statement with many of them binds in linear time.
        QHash<QString, qsizetype> paramIndex;
        ResultSink* sink = nullptr;
        bool allResults = false;
        bool sinkUsed = false;
        QHash<QString, Variable> vars;
        qint64 rowCount = 0;
        qint64 identity = 0;
        int error = 0;
        // The error being handled in a catch block.
        std::optional<TsqlExecError> caught;
        const QSet<QString>* secretParams = nullptr;  // of the batch, for the trace's detail
    };
    void startRun(Run& r, const Prepared& p, const QString& text, const Params& params);

    // The trace gets the failing statement as the database ran it, whatever the detail. An
    // interrupted one did not fail: its caller cancelled it and traces that.
    [[noreturn]] void dbFail(const Node& n, const QString& message) const {
        const int code = sqlite3_extended_errcode(db);
        if (code != SQLITE_INTERRUPT)
            LogError(QStringLiteral("SQLite：") + maskSecrets(n.sql).text);
        int number = code;
        QString text = message;
        const bool ours = splitServerError(message, &number, &text);  // a built-in's error
        throw TsqlExecError(QStringLiteral("第 %1 行：%2").arg(n.line).arg(text), number, 16, 1,
                            n.line, n.source, false, ours ? 0 : code);
    }

    // The embedded database parses a chain of operators (a long "or" or "+" chain) only so
    // deep; its own words for that name neither the cause nor the way out.
    static QString explainedPrepareError(const QString& message) {
        if (!message.startsWith(QLatin1String("Expression tree is too large")) &&
            message != QLatin1String("parser stack overflow"))
            return message;
        return QStringLiteral(
                   "语句太复杂，嵌入式数据库无法解析（%1）：请把长的 or 或 + 链改写为 "
                   "in (...)、临时表或几个语句")
            .arg(message);
    }

    std::shared_ptr<Prepared> prepareBatch(const QString& text, const ISchema& schema) {
        const auto it = translations.constFind(text);
        if (it != translations.cend())
            return *it;
        auto p = std::make_shared<Prepared>();
        p->batch = translate(text, schema);
        collect(p->batch->nodes, *p);
        p->traced = maskSecrets(text);
        if (translations.size() > 512)
            translations.clear();
        translations.insert(text, p);
        return p;
    }

    Statement& statement(const Node& n) {
        const auto it = statements.constFind(n.sql);
        if (it != statements.cend()) {
            sqlite3_reset((*it)->stmt);
            sqlite3_clear_bindings((*it)->stmt);
            return **it;
        }
        std::shared_ptr<Statement> st = prepare(n);
        if (statements.size() > 256)
            statements.clear();
        statements.insert(n.sql, st);
        return *st;
    }

    // A statement of its own, outside the cache (a cursor keeps it open while others run).
    std::shared_ptr<Statement> prepare(const Node& n) {
        auto st = std::make_shared<Statement>();
        const QByteArray utf8 = n.sql.toUtf8();
        if (sqlite3_prepare_v2(db, utf8.constData(), int(utf8.size()), &st->stmt, nullptr) !=
            SQLITE_OK)
            dbFail(n, explainedPrepareError(QString::fromUtf8(sqlite3_errmsg(db))));
        for (int k = 1; k <= sqlite3_bind_parameter_count(st->stmt); ++k) {
            const char* raw = sqlite3_bind_parameter_name(st->stmt, k);
            if (!raw)
                dbFail(n, QStringLiteral("语句中有未命名的参数 ?"));
            st->params << QString::fromUtf8(raw + 1);
            st->foldedParams << st->params.last().toCaseFolded();
        }
        return st;
    }

    QVariant global(const QString& name, const Run& r) const {
        if (name == QLatin1String("trancount"))
            return tranCount;
        if (name == QLatin1String("xact_state"))
            return tranCount > 0 ? 1 : 0;
        if (name == QLatin1String("rowcount"))
            return r.rowCount;
        if (name == QLatin1String("identity"))  // the connection's last identity, any batch
            return lastIdentity ? QVariant(lastIdentity) : QVariant();
        if (name == QLatin1String("scope_identity"))  // this batch's
            return r.identity ? QVariant(r.identity) : QVariant();
        if (name == QLatin1String("error") || name == QLatin1String("error_number"))
            return name == QLatin1String("error")
                       ? r.error
                       : (r.caught ? QVariant(r.caught->number()) : QVariant());
        if (name == QLatin1String("fetch_status") || name == QLatin1String("spid"))
            return 0;
        if (name == QLatin1String("version") || name == QLatin1String("servername"))
            return QString::fromLatin1(sqlite3_libversion());
        if (!r.caught)
            return QVariant();
        if (name == QLatin1String("error_message"))
            return r.caught->serverMessage();
        if (name == QLatin1String("error_severity"))
            return r.caught->severity();
        if (name == QLatin1String("error_state"))
            return r.caught->state();
        if (name == QLatin1String("error_line"))
            return r.caught->line();
        return QVariant();
    }

    // Binds every parameter of a statement; with the trace's detail on, writes the statement
    // as the database runs it with the values bound.
    void bind(const Statement& st, const Node& n, const Run& r) {
        Params bound;
        const bool detail = traceDetail();
        for (int k = 1; k <= st.params.size(); ++k) {
            const QString& name = st.params[k - 1];
            QVariant value;
            if (name.startsWith(QLatin1String("_v_"))) {
                value = r.vars.value(name.mid(3)).value;
            } else if (name.startsWith(QLatin1String("_g_"))) {
                value = global(name.mid(3), r);
            } else if (const auto it = r.paramIndex.constFind(st.foldedParams[k - 1]);
                       it != r.paramIndex.cend()) {
                value = (*r.params)[*it].value;
            }
            if (bindVariant(st.stmt, k, value) != SQLITE_OK)
                dbFail(n, QStringLiteral("参数 \"%1\" 的值类型 %2 不能用于语句")
                              .arg(name, QString::fromLatin1(value.typeName())));
            if (detail)
                bound.push_back({name, value});
        }
        if (detail) {
            const TracedText traced = maskSecrets(n.sql, computesSecret(n));
            QSet<QString> secret = traced.secretParams;
            if (r.secretParams)
                secret.unite(*r.secretParams);
            LogTranslation(traced.text + tracedParams(bound, secret));
        }
    }

    // Runs a statement to its end, its rows going to the sink when it takes them.
    void runStatement(const Node& n, Run& r, bool yieldsRows) {
        Statement& st = statement(n);
        sqlite3_stmt* stmt = st.stmt;
        bind(st, n, r);
        const sqlite3_int64 before = sqlite3_last_insert_rowid(db);
        ResultSink* sink = yieldsRows && r.sink && (r.allResults || !r.sinkUsed) ? r.sink : nullptr;
        if (sink) {
            r.sinkUsed = true;
            if (!st.columnTypes)
                st.columnTypes = resultTypes(stmt, n.columnTypes);
            sink->columns(stmt, *st.columnTypes, st.layout);
        }
        Statement* into = n.outputInto.isEmpty() ? nullptr : &outputInto(n);
        qint64 rows = 0;
        int rc;
        Sys::resetVectorState();  // the row loop is SSE code: start it from a clean state
        while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
            ++rows;
            if (sink)
                sink->row(stmt);
            if (into) {
                for (int c = 0; c < sqlite3_column_count(stmt); ++c)
                    sqlite3_bind_value(into->stmt, c + 1, sqlite3_column_value(stmt, c));
                const int done = sqlite3_step(into->stmt);
                sqlite3_reset(into->stmt);
                if (done != SQLITE_DONE) {
                    const QString message = QString::fromUtf8(sqlite3_errmsg(db));
                    sqlite3_reset(stmt);
                    dbFail(n, message);
                }
            }
        }
        if (rc != SQLITE_DONE)
            dbFail(n, QString::fromUtf8(sqlite3_errmsg(db)));
        if (sqlite3_column_count(stmt) == 0)
            rows = sqlite3_changes(db);
        sqlite3_reset(stmt);
        r.rowCount = rows;
        r.error = 0;
        if (sqlite3_last_insert_rowid(db) != before)
            r.identity = lastIdentity = sqlite3_last_insert_rowid(db);
    }

    // The insert that takes the rows of a statement with "output ... into", with one parameter
    // for each column the statement returns.
    Statement& outputInto(const Node& n) {
        const QString& sql = n.outputInto;
        const auto it = statements.constFind(sql);
        if (it != statements.cend())
            return **it;
        auto st = std::make_shared<Statement>();
        const QByteArray utf8 = sql.toUtf8();
        if (sqlite3_prepare_v2(db, utf8.constData(), int(utf8.size()), &st->stmt, nullptr) !=
            SQLITE_OK)
            dbFail(n, QString::fromUtf8(sqlite3_errmsg(db)));
        statements.insert(sql, st);
        return *st;
    }

    // Runs the steps of one statement inside a savepoint: on an error the steps done so far go
    // back, and the error goes on to the batch (or its catch block).
    void runSteps(const Node& n, Run& r) {
        exec("savepoint qd_statement");
        qint64 total = 0;
        try {
            for (const auto& step : n.children) {
                runStatement(*step, r, step->returnsRows);
                if (!step->helper)
                    total += r.rowCount;
            }
        } catch (...) {
            sqlite3_exec(db, "rollback to qd_statement; release qd_statement", nullptr, nullptr,
                         nullptr);
            throw;
        }
        exec("release qd_statement");
        r.rowCount = total;
    }

    // The first column of the first row of a "select <expression>" node.
    QVariant scalar(const Node& n, Run& r, int column = 0) {
        QVariantList row = firstRow(n, r);
        return column < row.size() ? row[column] : QVariant();
    }

    QVariantList firstRow(const Node& n, Run& r) {
        const Statement& st = statement(n);
        sqlite3_stmt* stmt = st.stmt;
        bind(st, n, r);
        const int rc = sqlite3_step(stmt);
        QVariantList row;
        if (rc == SQLITE_ROW)
            for (int c = 0; c < sqlite3_column_count(stmt); ++c)
                row << columnVariant(stmt, c);
        else if (rc != SQLITE_DONE)
            dbFail(n, QString::fromUtf8(sqlite3_errmsg(db)));
        sqlite3_reset(stmt);
        return row;
    }

    void assign(Variable& var, const QVariant& v, const Node& n) {
        var.value = convertTo(var.type, v, n);
    }

    QVariant convertTo(const SqlType& type, const QVariant& v, const Node& n) {
        if (v.isNull())
            return QVariant();
        // The server's error for the value and the type, with the statement's line.
        auto fail = [&](const QString& marked) {
            int number = 0;
            QString message;
            splitServerError(marked, &number, &message);
            throw TsqlExecError(QStringLiteral("第 %1 行：%2").arg(n.line).arg(message), number, 16,
                                1, n.line, n.source, false);
        };
        auto conversionFailed = [&]() { fail(Tsql::conversionFailed(v.toString(), type.name)); };
        const bool isText = v.typeId() == QMetaType::QString;
        bool ok = true;
        switch (type.base) {
            case SqlType::Char: {
                QString s = v.typeId() == QMetaType::Double
                                ? QString::number(v.toDouble(), 'g', QLocale::FloatingPointShortest)
                                : v.toString();
                if (type.length > 0)
                    s.truncate(type.length);
                return s;
            }
            case SqlType::Int: {
                if (isText) {
                    const qlonglong i = v.toString().trimmed().toLongLong(&ok);
                    if (!ok)
                        conversionFailed();
                    return i;
                }
                return qlonglong(std::trunc(v.toDouble()));
            }
            case SqlType::Bit: {
                if (isText) {
                    const QString s = v.toString().trimmed().toLower();
                    if (s == QLatin1String("true"))
                        return 1;
                    if (s == QLatin1String("false"))
                        return 0;
                    const double d = s.toDouble(&ok);
                    if (!ok)
                        conversionFailed();
                    return d != 0.0 ? 1 : 0;
                }
                return v.toDouble() != 0.0 ? 1 : 0;
            }
            case SqlType::Decimal:
            case SqlType::Float: {
                double d = isText ? v.toString().trimmed().toDouble(&ok) : v.toDouble(&ok);
                if (!ok)
                    fail(numberConversionFailed(type.base == SqlType::Decimal
                                                    ? QStringLiteral("numeric")
                                                    : QStringLiteral("float")));
                if (type.base == SqlType::Decimal && type.scale >= 0) {
                    const double f = std::pow(10.0, type.scale);
                    d = std::round(d * f) / f;
                    if (!decimalFits(d, type.precision, type.scale))
                        fail(decimalOverflow(isText ? QStringLiteral("varchar")
                                             : v.typeId() == QMetaType::Double
                                                 ? QStringLiteral("numeric")
                                                 : QStringLiteral("int")));
                }
                return d;
            }
            case SqlType::DateTime:
            case SqlType::Date: {
                QDateTime dt;
                if (isText) {
                    QString s = v.toString().trimmed();
                    if (s.size() == 8 && s.toLongLong(&ok) && ok)  // yyyymmdd
                        s = s.left(4) + QLatin1Char('-') + s.mid(4, 2) + QLatin1Char('-') +
                            s.mid(6);
                    s.replace(QLatin1Char('/'), QLatin1Char('-'));
                    dt = parseDateTime(s);
                } else {
                    dt = QDateTime(QDate(1900, 1, 1), QTime(0, 0))
                             .addMSecs(qint64(std::llround(v.toDouble() * 86400000.0)));
                }
                if (!dt.isValid())
                    fail(dateConversionFailed());
                return type.base == SqlType::Date ? dt.date().toString(QStringLiteral("yyyy-MM-dd"))
                                                  : formatDateTime(dt);
            }
            case SqlType::Binary:
                return v.typeId() == QMetaType::QByteArray ? v : QVariant(v.toString().toUtf8());
            case SqlType::Unknown:
                break;
        }
        return v;
    }

    void exec(const char* sql) {
        char* err = nullptr;
        if (sqlite3_exec(db, sql, nullptr, nullptr, &err) != SQLITE_OK) {
            const QString msg = QString::fromUtf8(err ? err : sqlite3_errmsg(db));
            sqlite3_free(err);
            const int code = sqlite3_extended_errcode(db);
            throw TsqlExecError(msg, code, 16, 1, 0, QString::fromUtf8(sql), false, code);
        }
    }

    void syncTransaction() {
        // A failure the database could not contain may have rolled the transaction back.
        if (tranCount > 0 && sqlite3_get_autocommit(db)) {
            tranCount = 0;
            savepoints.clear();
        }
    }

    Flow runList(const NodeList& nodes, Run& r) {
        for (const auto& n : nodes) {
            if (!n)
                continue;
            const Flow f = runNode(*n, r);
            if (f != Flow::Normal)
                return f;
        }
        return Flow::Normal;
    }

    Flow runNode(const Node& n, Run& r) {
        switch (n.kind) {
            case Node::Sql:
                runStatement(n, r, n.returnsRows);
                if (n.isDdl)
                    tableColumns.clear();
                return Flow::Normal;
            case Node::Steps:
                runSteps(n, r);
                return Flow::Normal;
            case Node::SelectAssign: {
                const Statement& st = statement(n);
                sqlite3_stmt* stmt = st.stmt;
                bind(st, n, r);
                int rc;
                qint64 rows = 0;
                while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
                    ++rows;
                    for (int c = 0; c < n.targets.size(); ++c)
                        assign(r.vars[n.targets[c]], columnVariant(stmt, c), n);
                }
                sqlite3_reset(stmt);
                if (rc != SQLITE_DONE)
                    dbFail(n, QString::fromUtf8(sqlite3_errmsg(db)));
                r.rowCount = rows;
                return Flow::Normal;
            }
            case Node::Declare: {
                Variable& var = r.vars[n.name];
                var.type = n.type;
                var.value = QVariant();
                if (!n.sql.isEmpty())
                    assign(var, scalar(n, r), n);
                return Flow::Normal;
            }
            case Node::DeclareTable: {
                const QString temp = n.sql.section(QLatin1Char(' '), 3, 3);
                exec(QStringLiteral("drop table if exists temp.%1").arg(temp).toUtf8().constData());
                runStatement(n, r, false);
                return Flow::Normal;
            }
            case Node::Set:
                assign(r.vars[n.name], scalar(n, r), n);
                return Flow::Normal;
            case Node::If: {
                const QVariant c = scalar(n, r);
                if (!c.isNull() && c.toDouble() != 0.0)
                    return runNode(*n.children[0], r);
                if (n.children.size() > 1 && n.children[1])
                    return runNode(*n.children[1], r);
                return Flow::Normal;
            }
            case Node::While: {
                for (int k = 0;; ++k) {
                    if (k >= kMaxLoopIterations)
                        dbFail(n, QStringLiteral("while 循环次数超过上限"));
                    const QVariant c = scalar(n, r);
                    if (c.isNull() || c.toDouble() == 0.0)
                        break;
                    const Flow f = n.children[0] ? runNode(*n.children[0], r) : Flow::Normal;
                    if (f == Flow::Break)
                        break;
                    if (f == Flow::Return)
                        return f;
                }
                return Flow::Normal;
            }
            case Node::Break:
                return Flow::Break;
            case Node::Continue:
                return Flow::Continue;
            case Node::Block:
                return runList(n.children, r);
            case Node::Try: {
                try {
                    return runNode(*n.children[0], r);
                } catch (const TsqlExecError& e) {
                    syncTransaction();
                    LogError(QStringLiteral("catch: ") + e.message());
                    std::optional<TsqlExecError> outer = r.caught;
                    r.caught = e;
                    r.error = e.number();
                    const Flow f = runNode(*n.children[1], r);
                    r.caught = outer;
                    return f;
                }
            }
            case Node::BeginTran:
                if (tranCount == 0)
                    exec("begin immediate");
                ++tranCount;
                return Flow::Normal;
            case Node::Commit:
                if (tranCount == 0)
                    dbFail(n,
                           QStringLiteral("COMMIT TRANSACTION 请求没有对应的 BEGIN TRANSACTION。"));
                if (tranCount == 1) {
                    exec("commit");
                    savepoints.clear();
                }
                --tranCount;
                return Flow::Normal;
            case Node::Rollback:
                if (tranCount == 0)
                    dbFail(n, QStringLiteral(
                                  "ROLLBACK TRANSACTION 请求没有对应的 BEGIN TRANSACTION。"));
                if (!n.name.isEmpty() && savepoints.contains(n.name)) {
                    exec(QStringLiteral("rollback to savepoint %1")
                             .arg(n.name)
                             .toUtf8()
                             .constData());
                    return Flow::Normal;
                }
                exec("rollback");
                tranCount = 0;
                savepoints.clear();
                return Flow::Normal;
            case Node::SaveTran:
                if (tranCount == 0)
                    dbFail(n, QStringLiteral("save tran 需要在事务中执行"));
                exec(QStringLiteral("savepoint %1").arg(n.name).toUtf8().constData());
                savepoints << n.name;
                return Flow::Normal;
            case Node::Raiserror: {
                const QVariantList a = firstRow(n, r);
                const QVariantList args = a.mid(3);
                const int severity = a[1].toInt();
                const bool hasText = a[0].typeId() == QMetaType::QString;
                // A message number needs a message added to the server's catalogue, which the
                // embedded database has none of: the server then raises 18054 instead.
                const QString message =
                    hasText ? formatRaised(a[0].toString(), args)
                            : QStringLiteral(
                                  "Error %1, severity %2, state %3 was raised, but no "
                                  "message with that error number was found in "
                                  "sys.messages. If error is larger than 50000, make "
                                  "sure the user-defined message is added using "
                                  "sp_addmessage.")
                                  .arg(a[0].toString())
                                  .arg(severity)
                                  .arg(a[2].toInt());
                if (severity <= 10) {
                    LogMsg(message);
                    return Flow::Normal;
                }
                throw TsqlExecError(message, hasText ? kUserErrorNumber : kNoSuchMessageNumber,
                                    severity, a[2].toInt(), n.line, n.source, true);
            }
            case Node::Throw: {
                if (n.sql.isEmpty()) {
                    if (!r.caught)
                        dbFail(n, QStringLiteral("不带参数的 throw 只能在 catch 块中使用"));
                    throw *r.caught;
                }
                const QVariantList a = firstRow(n, r);
                throw TsqlExecError(a[1].toString(), a[0].toInt(), 16, a[2].toInt(), n.line,
                                    n.source, true);
            }
            case Node::Print:
                LogMsg(QStringLiteral("PRINT ") + scalar(n, r).toString());
                return Flow::Normal;
            case Node::Return:
                return Flow::Return;
        }
        return Flow::Normal;
    }
};

Session::Session(sqlite3* db) : d(std::make_unique<Impl>()) {
    d->db = db;
    registerFunctions(db);
    registerServerRules(db);
}

Session::~Session() = default;

int Session::tranCount() const {
    return d->tranCount;
}

void Session::clearCaches() {
    d->translations.clear();
    d->tableColumns.clear();
    d->views.clear();
    d->statements.clear();
}

std::optional<QString> Session::viewDefinition(const QString& name) const {
    const QString key = name.toLower();
    if (const auto it = d->views.constFind(key); it != d->views.cend())
        return *it;
    sqlite3_stmt* stmt = nullptr;
    sqlite3_prepare_v2(d->db,
                       "select sql from sqlite_master where type = 'view' and name = ?1 "
                       "collate nocase union all select sql from sqlite_temp_master "
                       "where type = 'view' and name = ?1 collate nocase",
                       -1, &stmt, nullptr);
    const QByteArray n = name.toUtf8();
    sqlite3_bind_text(stmt, 1, n.constData(), int(n.size()), SQLITE_TRANSIENT);
    std::optional<QString> sql;
    if (sqlite3_step(stmt) == SQLITE_ROW)
        sql = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0)));
    sqlite3_finalize(stmt);
    d->views.insert(key, sql);
    return sql;
}

std::optional<SqlType> Session::columnType(const QString& table, const QString& column) const {
    const auto& types = d->columnsOf(table).types;
    const auto c = types.constFind(column);
    if (c == types.cend())
        return std::nullopt;
    return *c;
}

QStringList Session::columnNames(const QString& table) const {
    return d->columnsOf(table).names;
}

QStringList Session::explain(const QString& text) {
    return d->prepareBatch(text, *this)->batch->explain();
}

QStringList Session::parameterNames(const QString& text) {
    QStringList names = d->prepareBatch(text, *this)->batch->params.values();
    names.sort();
    return names;
}

// The caller's parameters for a run of the batch; every one the batch names must be given and
// every one given must be used.
void Session::Impl::startRun(Run& r, const Prepared& p, const QString& text, const Params& params) {
    r.params = &params;
    r.paramIndex.reserve(qsizetype(params.size()));
    for (qsizetype i = 0; i < qsizetype(params.size()); ++i)
        r.paramIndex.insert(params[i].name.toCaseFolded(), i);
    for (const QString& name : p.batch->params) {
        if (!r.paramIndex.contains(name.toCaseFolded()))
            throw TsqlExecError(QStringLiteral("参数 \"%1\" 没有赋值").arg(name), 0, 16, 1, 0, text,
                                false);
    }
    for (const Param& prm : params)
        if (!p.batch->params.contains(prm.name.toLower()))
            throw TsqlExecError(QStringLiteral("参数 \"%1\" 没有被语句使用").arg(prm.name), 0, 16,
                                1, 0, text, false);

    LogSql(p.traced.text + tracedParams(params, p.traced.secretParams));
    r.secretParams = &p.traced.secretParams;
}

void Session::run(const QString& text, const Params& params, ResultSink* sink, bool allResults) {
    const std::shared_ptr<Prepared> p = d->prepareBatch(text, *this);

    Impl::Run r;
    d->startRun(r, *p, text, params);
    r.sink = sink;
    r.allResults = allResults;
    const bool outer = !sqlite3_get_autocommit(d->db);
    const bool wrap = p->writes && !p->batch->managesTransactions;
    auto dropTableVariables = [&] {
        for (const QString& t : p->batch->tempTables)
            sqlite3_exec(d->db,
                         QStringLiteral("drop table if exists temp.%1").arg(t).toUtf8().constData(),
                         nullptr, nullptr, nullptr);
    };
    try {
        if (wrap)
            d->exec(outer ? "savepoint qd_batch" : "begin immediate");
        d->runList(p->batch->nodes, r);
        if (wrap)
            d->exec(outer ? "release qd_batch" : "commit");
    } catch (...) {
        // Nothing of a failed batch stays: its own transaction or savepoint goes back, and so
        // does a transaction the batch began and left open.
        if (wrap && outer) {
            sqlite3_exec(d->db, "rollback to qd_batch; release qd_batch", nullptr, nullptr,
                         nullptr);
        } else if (!sqlite3_get_autocommit(d->db) && (!outer || p->batch->managesTransactions)) {
            sqlite3_exec(d->db, "rollback", nullptr, nullptr, nullptr);
            d->tranCount = 0;
            d->savepoints.clear();
        }
        d->syncTransaction();
        dropTableVariables();
        if (p->batch->hasDdl)
            clearCaches();
        throw;
    }
    dropTableVariables();
    if (p->batch->hasDdl)
        clearCaches();
}

struct Session::Cursor::State {
    Session::Impl* session;
    std::shared_ptr<Prepared> prepared;  // keeps the node and the masked names alive
    std::shared_ptr<Impl::Statement> statement;
    const Node* node;
    bool started = false;
    bool done = false;
};

Session::Cursor::Cursor(std::unique_ptr<State> state) : d(std::move(state)) {}
Session::Cursor::~Cursor() = default;

bool Session::Cursor::fetch(ResultSink& sink, qint64 rows) {
    if (d->done)
        return false;
    Impl::Statement& st = *d->statement;
    if (!d->started) {
        d->started = true;
        st.columnTypes = resultTypes(st.stmt, d->node->columnTypes);
        sink.columns(st.stmt, *st.columnTypes, st.layout);
    }
    int rc = SQLITE_ROW;
    Sys::resetVectorState();
    for (qint64 i = 0; i < rows && (rc = sqlite3_step(st.stmt)) == SQLITE_ROW; ++i)
        sink.row(st.stmt);
    if (rc == SQLITE_ROW)
        return true;
    d->done = true;
    if (rc != SQLITE_DONE) {
        const QString message = QString::fromUtf8(sqlite3_errmsg(d->session->db));
        const int code = sqlite3_extended_errcode(d->session->db);
        d->statement.reset();
        throw TsqlExecError(message, 0, 16, 1, d->node->line, d->node->source, false, code);
    }
    d->statement.reset();  // finalized: the read ends here, not when the cursor goes
    return false;
}

std::unique_ptr<Session::Cursor> Session::openCursor(const QString& text, const Params& params) {
    const std::shared_ptr<Prepared> p = d->prepareBatch(text, *this);
    const Batch& batch = *p->batch;
    if (p->writes || batch.nodes.size() != 1 || !batch.tempTables.isEmpty())
        return nullptr;
    const Node& n = *batch.nodes.front();
    if (n.kind != Node::Sql || !n.returnsRows || n.changesData || !n.outputInto.isEmpty())
        return nullptr;
    Impl::Run r;
    d->startRun(r, *p, text, params);
    auto state = std::make_unique<Cursor::State>();
    state->session = d.get();
    state->prepared = p;
    state->node = &n;
    state->statement = d->prepare(n);
    d->bind(*state->statement, n, r);
    return std::unique_ptr<Cursor>(new Cursor(std::move(state)));
}

}  // namespace Qd::Core::Db::Tsql
