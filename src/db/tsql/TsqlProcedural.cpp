// The procedural layer of a batch: statement boundaries, declare / set / if / while, blocks,
// transactions, try / catch, raiserror, print and return.
#include <QRegularExpression>

#include "db/tsql/TsqlTranslator.h"

namespace Qd::Core::Db::Tsql {

TsqlError::TsqlError(const QString& what, int line, int column, const QString& near)
    : DbError(near.isEmpty() ? QStringLiteral("第 %1 行：%2").arg(line).arg(what)
                             : QStringLiteral("第 %1 行第 %2 列 \"%3\" 附近：%4")
                                   .arg(line)
                                   .arg(column)
                                   .arg(near, what)),
      m_what(what),
      m_line(line),
      m_column(column) {}

QStringList Batch::explain() const {
    QStringList out;
    std::function<void(const NodeList&)> walk = [&](const NodeList& nodes) {
        for (const auto& n : nodes) {
            if (!n)
                continue;
            if (!n->sql.isEmpty())
                out << n->sql;
            walk(n->children);
        }
    };
    walk(nodes);
    return out;
}

namespace Internal {

namespace {
const QSet<QString>& statementStarts() {
    static const QSet<QString> words = {
        "select",    "insert", "update",     "delete",      "declare",  "set",        "if",
        "else",      "while",  "begin",      "end",         "commit",   "rollback",   "save",
        "raiserror", "print",  "return",     "create",      "drop",     "alter",      "truncate",
        "with",      "go",     "throw",      "break",       "continue", "exec",       "execute",
        "use",       "merge",  "open",       "fetch",       "close",    "deallocate", "waitfor",
        "goto",      "grant",  "revoke",     "deny",        "dbcc",     "bulk",       "backup",
        "restore",   "kill",   "checkpoint", "reconfigure", "shutdown"};
    return words;
}

bool isTranWord(const QString& w) {
    return w == QLatin1String("tran") || w == QLatin1String("transaction") ||
           w == QLatin1String("work");
}
}  // namespace

bool isStatementStart(const QString& w) {
    return statementStarts().contains(w);
}

Translator::Translator(QStringView text, const ISchema& schema) : m_text(text), m_schema(schema) {
    for (const Token& t : tokenize(text)) {
        if (t.kind == Token::Space || t.kind == Token::Comment)
            continue;
        m_t.push_back(t);
    }
}

const Token& Translator::tok(int i) const {
    static const Token none{Token::Space, 0, 0, 0, 0};
    return i >= 0 && i < size() ? m_t[std::size_t(i)] : none;
}

QStringView Translator::text(int i) const {
    return i >= 0 && i < size() ? tokenText(m_text, m_t[std::size_t(i)]) : QStringView();
}

QString Translator::lower(int i) const {
    const Token& t = tok(i);
    return t.kind == Token::Word ? text(i).toString().toLower() : QString();
}

QString Translator::nameText(int i) const {
    return tok(i).kind == Token::Quoted ? unquote(m_text, tok(i)) : text(i).toString();
}

bool Translator::isName(int i) const {
    return tok(i).kind == Token::Quoted || (tok(i).kind == Token::Word && !isReserved(lower(i)));
}

bool Translator::isWord(int i, QLatin1StringView w) const {
    return tok(i).kind == Token::Word && text(i).compare(w, Qt::CaseInsensitive) == 0;
}

bool Translator::isOp(int i, QLatin1StringView op) const {
    return tok(i).kind == Token::Op && text(i) == op;
}

int Translator::matchingParen(int open, int end) const {
    int depth = 0;
    for (int i = open; i < end; ++i) {
        if (isOp(i, QLatin1StringView("(")))
            ++depth;
        else if (isOp(i, QLatin1StringView(")")) && --depth == 0)
            return i;
    }
    fail(open, QStringLiteral("括号没有闭合"));
}

void Translator::fail(int i, const QString& what) const {
    if (i >= size()) {
        const Token& last = m_t.empty() ? Token{Token::Space, 0, 0, 1, 1} : m_t.back();
        throw TsqlError(what + QStringLiteral("（语句意外结束）"), last.line, last.column,
                        QString());
    }
    const Token& t = tok(i);
    throw TsqlError(what, t.line, t.column, text(i).left(40).toString());
}

QString Translator::source(int begin, int end) const {
    if (begin >= end || begin >= size())
        return QString();
    const Token& a = tok(begin);
    const Token& b = tok(std::min(end, size()) - 1);
    return m_text.mid(a.offset, b.offset + b.length - a.offset).toString();
}

std::unique_ptr<Batch> Translator::run() {
    auto batch = std::make_unique<Batch>();
    m_batch = batch.get();
    for (int i = 0; i < size(); ++i)
        if (tok(i).kind == Token::Illegal)
            fail(i, QStringLiteral("无法识别的字符或未闭合的字符串、名称、注释"));
    m_pos = 0;
    parseStatements(batch->nodes, size(), QLatin1StringView());
    return batch;
}

// Parses statements until `endWord` (not consumed) or the end of the batch.
void Translator::parseStatements(NodeList& out, int stopAt, QLatin1StringView endWord) {
    while (m_pos < stopAt) {
        if (isOp(m_pos, QLatin1StringView(";"))) {
            ++m_pos;
            continue;
        }
        if (!endWord.isEmpty() && isWord(m_pos, endWord))
            return;
        parseStatement(out);
    }
    if (!endWord.isEmpty())
        fail(m_pos, QStringLiteral("缺少 %1").arg(endWord));
}

// The end (exclusive) of the SQL statement starting at `start`: the next statement start at
// parenthesis depth 0 that does not continue this one.
int Translator::statementEnd(int start) const {
    const QString kind = lower(start);
    int depth = 0;
    int caseDepth = 0;
    bool seenSet = false;
    bool seenBody = kind == QLatin1String("select");  // insert's select/values, with's main part
    for (int i = start + 1; i < size(); ++i) {
        if (isOp(i, QLatin1StringView("("))) {
            ++depth;
            continue;
        }
        if (isOp(i, QLatin1StringView(")"))) {
            if (--depth < 0)
                return i;
            continue;
        }
        if (depth > 0)
            continue;
        if (isOp(i, QLatin1StringView(";")))
            return i;
        if (tok(i).kind != Token::Word)
            continue;
        const QString w = lower(i);
        if (w == QLatin1String("case")) {
            ++caseDepth;
            continue;
        }
        if (caseDepth > 0) {
            if (w == QLatin1String("end"))
                --caseDepth;
            continue;
        }
        if (w == QLatin1String("values")) {
            seenBody = true;
            continue;
        }
        if (!isStatementStart(w))
            continue;
        if (w == QLatin1String("select")) {
            const QString prev = lower(i - 1);
            if (prev == QLatin1String("union") || prev == QLatin1String("all") ||
                prev == QLatin1String("except") || prev == QLatin1String("intersect"))
                continue;
            // insert ... select, with ... select, create view ... as select
            const bool createsView =
                kind == QLatin1String("create") && (isWord(start + 1, QLatin1StringView("view")) ||
                                                    isWord(i - 1, QLatin1StringView("as")));
            if ((kind == QLatin1String("insert") || kind == QLatin1String("with") || createsView) &&
                !seenBody) {
                seenBody = true;
                continue;
            }
            return i;
        }
        if (w == QLatin1String("drop") && kind == QLatin1String("alter") &&
            isWord(i + 1, QLatin1StringView("column")))
            continue;  // alter table t drop column c
        if (w == QLatin1String("set") && kind == QLatin1String("update") && !seenSet) {
            seenSet = true;
            continue;
        }
        if (w == QLatin1String("with") && isOp(i + 1, QLatin1StringView("(")))
            continue;  // table hint
        if (w == QLatin1String("with") && isWord(i + 1, QLatin1StringView("ties")))
            continue;  // top n with ties
        if (w == QLatin1String("fetch") &&
            (isWord(i - 1, QLatin1StringView("row")) || isWord(i - 1, QLatin1StringView("rows"))))
            continue;  // offset n rows fetch next m rows only
        if (kind == QLatin1String("with") && !seenBody &&
            (w == QLatin1String("insert") || w == QLatin1String("update") ||
             w == QLatin1String("delete"))) {
            seenBody = w != QLatin1String("insert");  // an insert's select is its own
            continue;
        }
        return i;
    }
    return size();
}

namespace {
std::unique_ptr<Node> makeNode(Node::Kind kind, int line) {
    auto n = std::make_unique<Node>();
    n->kind = kind;
    n->line = line;
    return n;
}
}  // namespace

void Translator::parseStatement(NodeList& out) {
    const int start = m_pos;
    if (tok(start).kind != Token::Word)
        fail(start, QStringLiteral("语法错误，这里应是一条语句"));
    const QString w = lower(start);
    const int line = tok(start).line;

    if (w == QLatin1String("select") || w == QLatin1String("insert") ||
        w == QLatin1String("update") || w == QLatin1String("delete") ||
        w == QLatin1String("with") || w == QLatin1String("create") || w == QLatin1String("drop") ||
        w == QLatin1String("alter") || w == QLatin1String("truncate")) {
        const int end = statementEnd(start);
        QStringList targets;
        bool rows = false;
        auto n = makeNode(Node::Sql, line);
        n->sql = translateStatement(start, end, &targets, &rows);
        n->source = source(start, end);
        n->returnsRows = rows;
        n->columnTypes = m_columnTypes;
        n->isDdl = w == QLatin1String("create") || w == QLatin1String("drop") ||
                   w == QLatin1String("alter");
        if (n->isDdl)
            m_batch->hasDdl = true;
        if (m_output.begin >= 0)
            n = withOutput(std::move(n), start, end);
        if (!targets.isEmpty()) {
            n->kind = Node::SelectAssign;
            n->targets = targets;
            n->returnsRows = false;
        }
        out.push_back(std::move(n));
        m_pos = end;
        return;
    }

    if (w == QLatin1String("merge")) {
        // The server requires the ';' after a merge (error 10713); it ends the statement here.
        int end = start + 1;
        for (int depth = 0; end < size() && !(depth == 0 && isOp(end, QLatin1StringView(";")));
             ++end) {
            if (isOp(end, QLatin1StringView("(")))
                ++depth;
            else if (isOp(end, QLatin1StringView(")")))
                --depth;
        }
        if (end >= size())
            fail(start, QStringLiteral("merge 语句必须以分号 ; 结束"));
        auto n = makeNode(Node::Steps, line);
        n->source = source(start, end);
        NodeList steps = std::move(translateMerge(start, end)->children);
        for (auto& step : steps) {
            step->line = line;
            step->source = n->source;
        }
        n->children = std::move(steps);
        out.push_back(std::move(n));
        m_pos = end + 1;
        return;
    }

    if (w == QLatin1String("declare")) {
        ++m_pos;
        for (;;) {
            if (tok(m_pos).kind != Token::Variable)
                fail(m_pos, QStringLiteral("declare 后应是变量名"));
            const QString name = text(m_pos).mid(1).toString().toLower();
            const int varAt = m_pos++;
            if (isWord(m_pos, QLatin1StringView("as")))
                ++m_pos;
            if (isWord(m_pos, QLatin1StringView("table"))) {
                ++m_pos;
                if (!isOp(m_pos, QLatin1StringView("(")))
                    fail(m_pos, QStringLiteral("表变量的定义应以 ( 开始"));
                const int close = matchingParen(m_pos, size());
                const QString temp =
                    QStringLiteral("qd_tv_%1_%2").arg(name).arg(m_batch->tempTables.size() + 1);
                m_tableVars.insert(name, temp);
                m_batch->tempTables << temp;
                QHash<QString, SqlType>& cols = m_localTables[temp.toLower()];
                QStringList defs;
                int i = m_pos + 1;
                while (i < close) {
                    bool identity = false;
                    QString colName;
                    SqlType colType;
                    defs << columnDefinition(QLatin1Char('@') + name, i, close, &identity, &colName,
                                             &colType);
                    cols.insert(colName.toLower(), colType);
                    m_localColumnNames[temp.toLower()] << colName;
                    if (isOp(i, QLatin1StringView(",")))
                        ++i;
                }
                auto n = makeNode(Node::DeclareTable, tok(varAt).line);
                n->name = name;
                n->sql = QStringLiteral("create temp table %1 (%2)")
                             .arg(temp, defs.join(QStringLiteral(", ")));
                n->source = source(varAt, close + 1);
                out.push_back(std::move(n));
                m_pos = close + 1;
            } else {
                const SqlType type = parseType(m_pos, size());
                m_vars.insert(name, type);
                auto n = makeNode(Node::Declare, tok(varAt).line);
                n->name = name;
                n->type = type;
                if (isOp(m_pos, QLatin1StringView("="))) {
                    ++m_pos;
                    n->sql = QStringLiteral("select ") + parseStandalone(m_pos, size()).sql;
                }
                n->source = source(varAt, m_pos);
                out.push_back(std::move(n));
            }
            if (!isOp(m_pos, QLatin1StringView(",")))
                break;
            ++m_pos;
        }
        return;
    }

    if (w == QLatin1String("set")) {
        ++m_pos;
        if (tok(m_pos).kind == Token::Variable) {
            const QString name = text(m_pos).mid(1).toString().toLower();
            if (!m_vars.contains(name))
                fail(m_pos, QStringLiteral("必须先声明变量 @%1").arg(name));
            const int varAt = m_pos++;
            QString op = text(m_pos).toString();
            if (tok(m_pos).kind == Token::Op &&
                (op == QLatin1String("+") || op == QLatin1String("-") || op == QLatin1String("*") ||
                 op == QLatin1String("/")) &&
                isOp(m_pos + 1, QLatin1StringView("="))) {
                ++m_pos;
            } else if (!isOp(m_pos, QLatin1StringView("="))) {
                fail(m_pos, QStringLiteral("set 变量后应是 ="));
            } else {
                op.clear();
            }
            ++m_pos;
            Expr value = parseStandalone(m_pos, size());
            if (!op.isEmpty()) {
                const bool text = m_vars.value(name).isText() || value.type == VType::Text;
                const QString var = variableParam(varAt);
                value.sql = (op == QLatin1String("+") && text)
                                ? QStringLiteral("%1 || (%2)").arg(var, value.sql)
                                : QStringLiteral("%1 %2 (%3)").arg(var, op, value.sql);
            }
            auto n = makeNode(Node::Set, line);
            n->name = name;
            n->sql = QStringLiteral("select ") + value.sql;
            n->source = source(start, m_pos);
            out.push_back(std::move(n));
            return;
        }
        // Session options that change nothing here.
        static const QSet<QString> options = {"nocount",
                                              "xact_abort",
                                              "ansi_nulls",
                                              "quoted_identifier",
                                              "ansi_warnings",
                                              "arithabort",
                                              "ansi_padding",
                                              "concat_null_yields_null",
                                              "numeric_roundabort",
                                              "implicit_transactions",
                                              "deadlock_priority",
                                              "lock_timeout",
                                              "rowcount",
                                              "transaction",
                                              "dateformat",
                                              "language",
                                              "datefirst",
                                              "noexec",
                                              "statistics"};
        if (!options.contains(lower(m_pos)))
            fail(m_pos, QStringLiteral("不支持的 set 选项"));
        if (lower(m_pos) == QLatin1String("rowcount") &&
            !(isOp(m_pos + 1, QLatin1StringView("0")) || text(m_pos + 1) == QLatin1String("0")))
            fail(m_pos, QStringLiteral("不支持 set rowcount（请用 top）"));
        ++m_pos;
        while (m_pos < size() && !isStatementStart(lower(m_pos)) &&
               !isOp(m_pos, QLatin1StringView(";")))
            ++m_pos;
        return;
    }

    if (w == QLatin1String("if") || w == QLatin1String("while")) {
        ++m_pos;
        auto n = makeNode(w == QLatin1String("if") ? Node::If : Node::While, line);
        n->sql = QStringLiteral("select ") + parseStandalone(m_pos, size()).sql;
        n->source = source(start, m_pos);
        NodeList body;
        parseStatement(body);
        n->children.push_back(body.size() == 1 ? std::move(body[0]) : nullptr);
        if (body.size() > 1) {  // a declare of several variables
            auto block = makeNode(Node::Block, line);
            block->children = std::move(body);
            n->children[0] = std::move(block);
        }
        if (n->kind == Node::If) {
            while (isOp(m_pos, QLatin1StringView(";")))
                ++m_pos;
            if (isWord(m_pos, QLatin1StringView("else"))) {
                ++m_pos;
                NodeList elseBody;
                parseStatement(elseBody);
                auto block = makeNode(Node::Block, line);
                block->children = std::move(elseBody);
                n->children.push_back(std::move(block));
            } else {
                n->children.push_back(nullptr);
            }
        }
        out.push_back(std::move(n));
        return;
    }

    if (w == QLatin1String("else"))
        fail(start, QStringLiteral("else 没有对应的 if"));
    if (w == QLatin1String("end"))
        fail(start, QStringLiteral("end 没有对应的 begin"));

    if (w == QLatin1String("begin")) {
        const QString next = lower(start + 1);
        if (isTranWord(next)) {
            m_pos = start + 2;
            if (tok(m_pos).kind == Token::Word && !isStatementStart(lower(m_pos)))
                ++m_pos;  // transaction name
            out.push_back(makeNode(Node::BeginTran, line));
            m_batch->managesTransactions = true;
            return;
        }
        if (next == QLatin1String("try")) {
            m_pos = start + 2;
            auto n = makeNode(Node::Try, line);
            auto tryBlock = makeNode(Node::Block, line);
            parseStatements(tryBlock->children, size(), QLatin1StringView("end"));
            if (!isWord(m_pos + 1, QLatin1StringView("try")))
                fail(m_pos, QStringLiteral("begin try 应以 end try 结束"));
            m_pos += 2;
            if (!isWord(m_pos, QLatin1StringView("begin")) ||
                !isWord(m_pos + 1, QLatin1StringView("catch")))
                fail(m_pos, QStringLiteral("end try 后应是 begin catch"));
            m_pos += 2;
            auto catchBlock = makeNode(Node::Block, tok(m_pos).line);
            parseStatements(catchBlock->children, size(), QLatin1StringView("end"));
            if (!isWord(m_pos + 1, QLatin1StringView("catch")))
                fail(m_pos, QStringLiteral("begin catch 应以 end catch 结束"));
            m_pos += 2;
            n->children.push_back(std::move(tryBlock));
            n->children.push_back(std::move(catchBlock));
            out.push_back(std::move(n));
            return;
        }
        if (next == QLatin1String("distributed"))
            fail(start, QStringLiteral("不支持分布式事务"));
        m_pos = start + 1;
        auto block = makeNode(Node::Block, line);
        parseStatements(block->children, size(), QLatin1StringView("end"));
        ++m_pos;  // end
        out.push_back(std::move(block));
        return;
    }

    if (w == QLatin1String("commit") || w == QLatin1String("rollback") ||
        w == QLatin1String("save")) {
        m_pos = start + 1;
        const bool hasTranWord = isTranWord(lower(m_pos));
        if (hasTranWord)
            ++m_pos;
        else if (w == QLatin1String("save"))
            fail(m_pos, QStringLiteral("save 后应是 tran"));
        QString name;
        if ((tok(m_pos).kind == Token::Word && !isStatementStart(lower(m_pos))) ||
            tok(m_pos).kind == Token::Variable) {
            if (tok(m_pos).kind == Token::Variable)
                fail(m_pos, QStringLiteral("不支持以变量命名的事务"));
            name = lower(m_pos++);
        }
        auto n = makeNode(w == QLatin1String("commit")     ? Node::Commit
                          : w == QLatin1String("rollback") ? Node::Rollback
                                                           : Node::SaveTran,
                          line);
        // Only a savepoint name matters to rollback; commit ignores its name as the server does.
        n->name = name;
        if (n->kind == Node::SaveTran && name.isEmpty())
            fail(m_pos, QStringLiteral("save tran 需要保存点名称"));
        m_batch->managesTransactions = true;
        out.push_back(std::move(n));
        return;
    }

    if (w == QLatin1String("raiserror") || w == QLatin1String("throw")) {
        m_pos = start + 1;
        auto n = makeNode(w == QLatin1String("raiserror") ? Node::Raiserror : Node::Throw, line);
        QStringList args;
        const bool paren = isOp(m_pos, QLatin1StringView("("));
        if (w == QLatin1String("raiserror") && !paren)
            fail(m_pos, QStringLiteral("raiserror 后应是 ("));
        const int close = paren ? matchingParen(m_pos, size()) : size();
        if (paren)
            ++m_pos;
        const bool empty = !paren && (m_pos >= size() || isOp(m_pos, QLatin1StringView(";")) ||
                                      isStatementStart(lower(m_pos)));
        while (!empty && m_pos < close) {
            args << parseStandalone(m_pos, close).sql;
            if (!isOp(m_pos, QLatin1StringView(",")))
                break;
            ++m_pos;
        }
        if (paren) {
            if (m_pos != close)
                fail(m_pos, QStringLiteral("参数列表有误"));
            m_pos = close + 1;
        }
        if (isWord(m_pos, QLatin1StringView("with"))) {  // with nowait, log, seterror
            ++m_pos;
            while (tok(m_pos).kind == Token::Word && !isStatementStart(lower(m_pos))) {
                ++m_pos;
                if (isOp(m_pos, QLatin1StringView(",")))
                    ++m_pos;
            }
        }
        if (n->kind == Node::Raiserror && args.size() < 3)
            fail(start, QStringLiteral("raiserror 需要消息、严重级别和状态"));
        if (n->kind == Node::Throw && !args.isEmpty() && args.size() != 3)
            fail(start, QStringLiteral("throw 需要错误号、消息和状态"));
        if (!args.isEmpty())
            n->sql = QStringLiteral("select ") + args.join(QStringLiteral(", "));
        n->source = source(start, m_pos);
        out.push_back(std::move(n));
        return;
    }

    if (w == QLatin1String("print") || w == QLatin1String("return")) {
        m_pos = start + 1;
        auto n = makeNode(w == QLatin1String("print") ? Node::Print : Node::Return, line);
        const bool hasValue = m_pos < size() && !isOp(m_pos, QLatin1StringView(";")) &&
                              !isStatementStart(lower(m_pos));
        if (hasValue)
            n->sql = QStringLiteral("select ") + parseStandalone(m_pos, size()).sql;
        else if (n->kind == Node::Print)
            fail(m_pos, QStringLiteral("print 需要一个值"));
        n->source = source(start, m_pos);
        out.push_back(std::move(n));
        return;
    }

    if (w == QLatin1String("break") || w == QLatin1String("continue")) {
        ++m_pos;
        out.push_back(makeNode(w == QLatin1String("break") ? Node::Break : Node::Continue, line));
        return;
    }

    if (w == QLatin1String("go")) {  // a batch separator line: the batch simply goes on
        ++m_pos;
        if (tok(m_pos).kind == Token::Number && tok(m_pos).line == line)
            fail(m_pos, QStringLiteral("不支持 go <次数>"));
        return;
    }

    if (isStatementStart(w))
        fail(start, QStringLiteral("不支持的语句 %1").arg(w) + rewriteFor(w));
    fail(start, QStringLiteral("无法识别的语句"));
}

QString Translator::variableParam(int i) const {
    const QString name = text(i).mid(1).toString().toLower();
    if (!m_vars.contains(name))
        fail(i, QStringLiteral("必须先声明变量 @%1").arg(name));
    return QStringLiteral(":_v_") + name;
}

}  // namespace Internal

std::unique_ptr<Batch> translate(QStringView text, const ISchema& schema) {
    return Internal::Translator(text, schema).run();
}

}  // namespace Qd::Core::Db::Tsql
