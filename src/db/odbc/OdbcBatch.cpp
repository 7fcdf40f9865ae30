#include "db/odbc/OdbcBatch.h"

#include "db/tsql/TsqlBatch.h"
#include "db/tsql/TsqlLexer.h"

namespace Qd::Core::Db::Odbc {

QString withMarkers(const QString& text, QStringList& markers) {
    QString out;
    out.reserve(text.size());
    for (const Tsql::Token& t : Tsql::tokenize(text)) {
        if (t.kind == Tsql::Token::Param) {
            markers << text.mid(t.offset + 1, t.length - 1).toLower();
            out += QLatin1Char('?');
        } else {
            out += QStringView(text).mid(t.offset, t.length);
        }
    }
    return out;
}

namespace {

// A small cache of prepared batches by text; cleared whole when full.
class BatchCache {
public:
    std::shared_ptr<const Batch> find(const QString& text) const {
        const auto it = m_batches.constFind(text);
        return it == m_batches.cend() ? nullptr : *it;
    }
    void insert(const QString& text, std::shared_ptr<const Batch> batch) {
        if (m_batches.size() > 512)
            m_batches.clear();
        m_batches.insert(text, std::move(batch));
    }
    void clear() { m_batches.clear(); }

private:
    QHash<QString, std::shared_ptr<const Batch>> m_batches;
};

// ---- the server --------------------------------------------------------------------------------

class ServerDialect : public Dialect {
public:
    std::shared_ptr<const Batch> prepare(const QString& text) override {
        if (auto hit = m_cache.find(text))
            return hit;
        auto batch = std::make_shared<Batch>();
        Step step;
        step.source = text;
        step.sql = withMarkers(text, step.markers);
        for (const QString& name : step.markers)
            batch->params.insert(name);
        // Which words the batch holds, outside strings and comments.
        QString previous;
        for (const Tsql::Token& t : Tsql::tokenize(text)) {
            if (t.kind != Tsql::Token::Word)
                continue;
            const QString word = text.mid(t.offset, t.length).toLower();
            if (word == QLatin1String("commit") || word == QLatin1String("rollback") ||
                ((word == QLatin1String("tran") || word == QLatin1String("transaction")) &&
                 (previous == QLatin1String("begin") || previous == QLatin1String("save"))))
                batch->managesTransactions = true;
            if (word == QLatin1String("create") || word == QLatin1String("alter") ||
                word == QLatin1String("drop"))
                batch->hasDdl = true;
            // Statements that may change data (a procedure or dynamic SQL among them); a batch
            // of queries alone runs without a transaction of its own.
            static const QSet<QString> writing = {
                QStringLiteral("insert"),  QStringLiteral("update"),   QStringLiteral("delete"),
                QStringLiteral("merge"),   QStringLiteral("truncate"), QStringLiteral("exec"),
                QStringLiteral("execute"), QStringLiteral("into")};
            if (batch->hasDdl || writing.contains(word))
                batch->writes = true;
            previous = word;
        }
        batch->steps.push_back(std::move(step));
        m_cache.insert(text, batch);
        return batch;
    }
    ColumnSizes columnSizes() const override { return ColumnSizes::Exact; }
    QString savepoint() const override { return QStringLiteral("save transaction qd_batch"); }
    QString rollbackToSavepoint() const override {
        return QStringLiteral("rollback transaction qd_batch");
    }
    QString releaseSavepoint() const override { return QString(); }
    void clearCaches() override { m_cache.clear(); }

private:
    BatchCache m_cache;
};

// ---- the embedded database behind its driver ---------------------------------------------------

class OdbcSchema : public Tsql::ISchema {
public:
    explicit OdbcSchema(SchemaQuery query) : m_query(std::move(query)) {}

    std::optional<Tsql::SqlType> columnType(const QString& table,
                                            const QString& column) const override {
        const Columns& c = columnsOf(table);
        const auto it = c.types.constFind(column.toLower());
        if (it == c.types.cend())
            return std::nullopt;
        return Tsql::parseTypeName(*it);
    }
    QStringList columnNames(const QString& table) const override { return columnsOf(table).names; }
    QString declared(const QString& table, const QString& column) const {
        return columnsOf(table).types.value(column.toLower());
    }
    std::optional<QString> viewDefinition(const QString& name) const override {
        const RecordSet rs = m_query(
            QStringLiteral("select sql from sqlite_master where type = 'view' and lower(name) = "
                           "lower(?)"),
            name);
        if (!rs.active() || rs.isEmpty())
            return std::nullopt;
        return rs.textAt(rs.rowAt(0), 0);
    }
    void clear() { m_tables.clear(); }

private:
    struct Columns {
        QStringList names;
        QHash<QString, QString> types;  // lower-case name -> declared type
    };
    const Columns& columnsOf(const QString& table) const {
        const QString key = table.toLower();
        auto it = m_tables.find(key);
        if (it != m_tables.end())
            return *it;
        Columns c;
        const RecordSet rs =
            m_query(QStringLiteral("select name, type from pragma_table_info(?)"), table);
        if (rs.active())
            for (int r = 0; r < rs.recordCount(); ++r) {
                const QString name = rs.textAt(rs.rowAt(r), 0);
                c.names << name;
                c.types.insert(name.toLower(), rs.textAt(rs.rowAt(r), 1).toLower());
            }
        return *m_tables.insert(key, c);
    }

    SchemaQuery m_query;
    mutable QHash<QString, Columns> m_tables;
};

class EmbeddedDialect : public Dialect {
public:
    explicit EmbeddedDialect(SchemaQuery query) : m_schema(std::move(query)) {}

    std::shared_ptr<const Batch> prepare(const QString& text) override {
        if (auto hit = m_cache.find(text))
            return hit;
        const std::unique_ptr<Tsql::Batch> translated = Tsql::translate(text, m_schema);
        auto batch = std::make_shared<Batch>();
        batch->managesTransactions = translated->managesTransactions;
        batch->hasDdl = translated->hasDdl;
        batch->writes = translated->hasDdl || writesData(translated->nodes);
        batch->params = translated->params;
        add(translated->nodes, *batch);
        m_cache.insert(text, batch);
        return batch;
    }
    ColumnSizes columnSizes() const override { return ColumnSizes::Declared; }
    QString declaredType(const QString& table, const QString& column) const override {
        return m_schema.declared(table, column);
    }
    QString savepoint() const override { return QStringLiteral("savepoint qd_batch"); }
    QString rollbackToSavepoint() const override { return QStringLiteral("rollback to qd_batch"); }
    QString releaseSavepoint() const override { return QStringLiteral("release qd_batch"); }
    void clearCaches() override {
        m_cache.clear();
        m_schema.clear();
    }

private:
    void add(const Tsql::NodeList& nodes, Batch& batch) {
        for (const auto& n : nodes) {
            if (!n)
                continue;
            switch (n->kind) {
                case Tsql::Node::Sql:
                    batch.steps.push_back(statement(*n));
                    break;
                case Tsql::Node::Steps:
                case Tsql::Node::Block:
                    add(n->children, batch);
                    break;
                case Tsql::Node::BeginTran:
                    batch.steps.push_back(
                        {Step::Begin, QStringLiteral("begin"), {}, {}, n->line, n->source});
                    break;
                case Tsql::Node::Commit:
                    batch.steps.push_back(
                        {Step::Commit, QStringLiteral("commit"), {}, {}, n->line, n->source});
                    break;
                case Tsql::Node::Rollback:
                    if (!n->name.isEmpty())
                        refuse(*n);
                    batch.steps.push_back(
                        {Step::Rollback, QStringLiteral("rollback"), {}, {}, n->line, n->source});
                    break;
                default:
                    refuse(*n);
            }
        }
    }

    Step statement(const Tsql::Node& n) {
        if (!n.outputInto.isEmpty())
            refuse(n);
        Step step;
        step.line = n.line;
        step.source = n.source;
        step.columnTypes = n.columnTypes;
        step.sql = withMarkers(n.sql, step.markers);
        for (const QString& name : step.markers)
            if (name.startsWith(QLatin1String("_v_")) || name.startsWith(QLatin1String("_g_")))
                refuse(n);
        return step;
    }

    static bool writesData(const Tsql::NodeList& nodes) {
        for (const auto& n : nodes)
            if (n && ((n->kind == Tsql::Node::Sql && (!n->returnsRows || n->changesData)) ||
                      writesData(n->children)))
                return true;
        return false;
    }

    [[noreturn]] static void refuse(const Tsql::Node& n) {
        throw DbError(QStringLiteral("第 %1 行：经 ODBC 驱动连接嵌入式数据库时只能执行普通语句，"
                                     "变量、流程控制、output 和命名的回滚需要 SQL Server，"
                                     "或改用嵌入式数据库自己的数据服务：\n%2")
                          .arg(n.line)
                          .arg(n.source.trimmed()));
    }

    OdbcSchema m_schema;
    BatchCache m_cache;
};

}  // namespace

std::unique_ptr<Dialect> serverDialect() {
    return std::make_unique<ServerDialect>();
}

std::unique_ptr<Dialect> embeddedDialect(SchemaQuery query) {
    return std::make_unique<EmbeddedDialect>(std::move(query));
}

}  // namespace Qd::Core::Db::Odbc
