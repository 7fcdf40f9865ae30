// qdsql: runs a T-SQL batch against an embedded database file through the same translator and
// executor the client uses, or on the server an ODBC connection reaches, and prints every
// result set. For module authors trying out their statements, for scripts, and for setting up a
// server's database (--schema, then the seed script).
//
//   qdsql [options] DATABASE [SCRIPT]
//   qdsql --export FORMAT FILE [options] DATABASE [SCRIPT]
//   qdsql --check-descriptor FILE [--as KIND]
//
// DATABASE is a file, or "odbc:" and a connection string, as the client's --db takes it.
// --explain and --timing look into the embedded database's own statements: files only.
//
// The batches come from SCRIPT and the -i files in order, from -c, or from standard input; a
// line "go" (or "go N", run N times) ends a batch, as the server's tools read scripts. With
// --export the last result set goes to FILE (xlsx, xls, csv or html) through the client's
// exporter, every field under its name, instead of being printed. Exit
// status: 0 on success, 1 when a batch (or opening the database) fails, at the first one that
// fails, 2 on a usage error. --check-descriptor checks a module's descriptor (a JSON file)
// against the framework's schemas and prints each key path that breaks a rule, with the rule;
// exit status 1 when any does.
#include <sqlite3.h>

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <cstdio>
#include <optional>
#include <vector>

#include "TableWriter.h"
#include "base/ProgramHome.h"
#include "db/DataSource.h"
#include "db/Schema.h"
#include "db/SqliteDataServices.h"
#include "db/SqliteValues.h"
#include "db/odbc/OdbcDataServices.h"
#include "db/tsql/TsqlDecimal.h"
#include "db/tsql/TsqlSession.h"
#include "sys/DescriptorCheck.h"
#include "ui/export/Export.h"

using namespace Qd::Core;

namespace {

void write(std::FILE* to, const QString& text) {
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, std::size_t(bytes.size()), to);
}

struct UsageError {
    QString message;
};

// A --param value: NULL, an integer, a decimal, or text ('quoted' is always text).
QVariant paramValue(const QString& text) {
    if (text.size() >= 2 && text.startsWith(QLatin1Char('\'')) && text.endsWith(QLatin1Char('\'')))
        return text.mid(1, text.size() - 2);
    if (text == QLatin1String("NULL"))
        return QVariant();
    static const QRegularExpression integer(QStringLiteral("^[+-]?[0-9]+$"));
    static const QRegularExpression decimal(
        QStringLiteral("^[+-]?([0-9]+\\.?[0-9]*|\\.[0-9]+)([eE][+-]?[0-9]+)?$"));
    if (integer.match(text).hasMatch()) {
        bool ok = false;
        const qlonglong n = text.toLongLong(&ok);
        if (ok)
            return n;  // too large for 64 bits: taken as a decimal below
    }
    if (decimal.match(text).hasMatch())
        return text.toDouble();
    return text;
}

Db::Params parseParams(const QStringList& assignments) {
    Db::Params params;
    for (const QString& written : assignments) {
        const qsizetype eq = written.indexOf(QLatin1Char('='));
        QString name = eq < 0 ? QString() : written.left(eq).trimmed();
        if (name.startsWith(QLatin1Char(':')))
            name.remove(0, 1);
        if (name.isEmpty())
            throw UsageError{QStringLiteral("参数应写成 name=value：%1").arg(written)};
        params.push_back({name, paramValue(written.mid(eq + 1))});
    }
    return params;
}

QString readBatch(QFile& file, const QString& what) {
    if (!file.isOpen() && !file.open(QIODevice::ReadOnly))
        throw Db::DbError(QStringLiteral("无法读取 %1：%2").arg(what, file.errorString()));
    QString text = QString::fromUtf8(file.readAll());
    if (text.startsWith(QChar(0xFEFF)))
        text.remove(0, 1);
    return text;
}

// One batch of a script: its text (led by blank lines, so that the lines an error names are the
// script's own) and how many times "go N" runs it.
struct Batch {
    QString text;
    int times = 1;
};

// Splits a script at its "go" lines. A batch of blanks and comments only is left out.
std::vector<Batch> splitBatches(const QString& script) {
    static const QRegularExpression go(QStringLiteral("^\\s*go(?:\\s+(\\d+))?\\s*(?:--.*)?$"),
                                       QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression blank(QStringLiteral("^\\s*(?:--.*)?$"));
    std::vector<Batch> batches;
    QString current;
    int firstLine = 0;
    const QStringList lines = script.split(QLatin1Char('\n'));
    const auto close = [&](int times, int nextLine) {
        bool empty = true;
        for (const QString& line : current.split(QLatin1Char('\n')))
            empty = empty && blank.match(line).hasMatch();
        if (!empty)
            batches.push_back({QString(firstLine, QLatin1Char('\n')) + current, times});
        current.clear();
        firstLine = nextLine;
    };
    for (int i = 0; i < lines.size(); ++i) {
        const QRegularExpressionMatch m = go.match(lines[i]);
        if (m.hasMatch()) {
            close(m.captured(1).isEmpty() ? 1 : std::max(1, m.captured(1).toInt()), i + 1);
            continue;
        }
        if (!current.isEmpty())
            current += QLatin1Char('\n');
        current += lines[i];
    }
    close(1, int(lines.size()));
    return batches;
}

// SQLite's plan of one translated statement, as comment lines ("-- 计划：SCAN e"), indented by
// the plan's nesting; a statement SQLite cannot plan yet (a table the batch makes first) says so.
QString queryPlan(sqlite3* db, const QString& statement) {
    sqlite3_stmt* stmt = nullptr;
    const QByteArray sql = (QStringLiteral("explain query plan ") + statement).toUtf8();
    if (sqlite3_prepare_v2(db, sql.constData(), int(sql.size()), &stmt, nullptr) != SQLITE_OK) {
        const QString why = QString::fromUtf8(sqlite3_errmsg(db));
        sqlite3_finalize(stmt);
        return QStringLiteral("-- 计划不可得：") + why + QLatin1Char('\n');
    }
    QString text;
    std::vector<std::pair<int, int>> depthOf;  // plan node id -> depth
    while (sqlite3_step(stmt) == SQLITE_ROW) {
        const int id = sqlite3_column_int(stmt, 0);
        const int parent = sqlite3_column_int(stmt, 1);
        int depth = 0;
        for (const auto& [node, d] : depthOf)
            if (node == parent)
                depth = d + 1;
        depthOf.emplace_back(id, depth);
        text += QStringLiteral("-- 计划：") + QString(depth * 2, QLatin1Char(' ')) +
                QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 3))) +
                QLatin1Char('\n');
    }
    sqlite3_finalize(stmt);
    return text;
}

// Reports each statement SQLite finishes, with its time, on standard error (--timing). The time
// is taken here from the statement's start, since SQLite's own is counted in whole milliseconds.
int profileStatement(unsigned kind, void* context, void* stmt, void*) {
    auto& started = *static_cast<std::vector<std::pair<void*, qint64>>*>(context);
    static QElapsedTimer clock;
    if (!clock.isValid())
        clock.start();
    if (kind == SQLITE_TRACE_STMT) {
        started.emplace_back(stmt, clock.nsecsElapsed());
        return 0;
    }
    qint64 from = clock.nsecsElapsed();
    for (auto it = started.begin(); it != started.end(); ++it) {
        if (it->first == stmt) {
            from = it->second;
            started.erase(it);
            break;
        }
    }
    const double ms = double(clock.nsecsElapsed() - from) / 1e6;
    QString sql = QString::fromUtf8(sqlite3_sql(static_cast<sqlite3_stmt*>(stmt))).simplified();
    if (sql.size() > 80)
        sql = sql.left(77) + QStringLiteral("...");
    write(stderr, QStringLiteral("-- 语句 %1 ms：%2\n").arg(ms, 0, 'f', 3).arg(sql));
    return 0;
}

// Prints each result set as it completes: a table collected whole (its widths need every row),
// or CSV record by record.
class PrintingSink : public Db::Tsql::Session::ResultSink {
public:
    explicit PrintingSink(bool csv) : m_csv(csv) {}

    void columns(sqlite3_stmt* stmt, const QStringList& types, std::shared_ptr<void>&) override {
        finish();
        m_table = Qd::Tools::ResultTable();
        const int count = sqlite3_column_count(stmt);
        for (int c = 0; c < count; ++c) {
            m_table.columns << QString::fromUtf8(sqlite3_column_name(stmt, c));
            m_table.places.push_back(Db::Tsql::shownPlaces(types.value(c)));
        }
        m_open = true;
        if (m_csv) {
            if (m_printed++ > 0)
                write(stdout, QStringLiteral("\n"));
            write(stdout, Qd::Tools::csvRecord(m_table.columns));
        }
    }

    void row(sqlite3_stmt* stmt) override {
        QVariantList values;
        const int count = int(m_table.columns.size());
        values.reserve(count);
        for (int c = 0; c < count; ++c)
            values << Db::columnVariant(stmt, c);
        if (m_csv)
            write(stdout, Qd::Tools::csvRecord(values, m_table.places));
        else
            m_table.rows.push_back(std::move(values));
    }

    // Prints a result set that came whole (an ODBC connection's).
    void packet(const Db::DataPacket& rs) {
        finish();
        m_table = Qd::Tools::ResultTable();
        for (int c = 0; c < rs.fieldCount(); ++c) {
            m_table.columns << rs.fieldDef(c).name;
            m_table.places.push_back(rs.fieldDef(c).places);
        }
        m_open = true;
        if (m_csv) {
            if (m_printed++ > 0)
                write(stdout, QStringLiteral("\n"));
            write(stdout, Qd::Tools::csvRecord(m_table.columns));
        }
        for (qsizetype r = 0; r < rs.recordCount(); ++r) {
            const auto row = rs.rowAt(r);
            QVariantList values;
            for (int c = 0; c < rs.fieldCount(); ++c)
                values << (rs.isNullAt(row, c) ? QVariant() : rs.valueAt(row, c));
            if (m_csv)
                write(stdout, Qd::Tools::csvRecord(values, m_table.places));
            else
                m_table.rows.push_back(std::move(values));
        }
        finish();
    }

    // Prints the result set still being collected.
    void finish() {
        if (!m_open || m_csv)
            return;
        m_open = false;
        if (m_printed++ > 0)
            write(stdout, QStringLiteral("\n"));
        write(stdout, Qd::Tools::formatAligned(m_table));
        m_table = Qd::Tools::ResultTable();
    }

private:
    bool m_csv;
    bool m_open = false;
    int m_printed = 0;
    Qd::Tools::ResultTable m_table;
};

// The message for a failed batch, worded as the data services word it for the client; the
// whole batch is left out (a script can be long): the messages name the line at fault.
QString failureText(const Db::Tsql::TsqlExecError& e) {
    if (e.raised())
        return e.message();
    const QString statement = e.statement().trimmed();
    return QStringLiteral("数据库错误：") + e.message() +
           (statement.isEmpty() ? QString() : QLatin1Char('\n') + statement);
}

// --check-descriptor FILE [--as KIND]: 0 when the descriptor holds to its schema, 1 when it
// breaks rules (each printed "FILE: path: rule") or is no JSON, 2 for an unknown kind.
int checkDescriptorFile(const QString& path, QString kind) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        write(stderr, QStringLiteral("无法读取 %1：%2\n").arg(path, file.errorString()));
        return 1;
    }
    QJsonParseError parseError;
    const QJsonDocument doc = QJsonDocument::fromJson(file.readAll(), &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        write(stderr, QStringLiteral("%1: 不是有效的 JSON：%2（位置 %3）\n")
                          .arg(path, parseError.errorString())
                          .arg(parseError.offset));
        return 1;
    }
    const QJsonValue descriptor =
        doc.isArray() ? QJsonValue(doc.array()) : QJsonValue(doc.object());
    if (kind.isEmpty())
        kind = Sys::guessDescriptorKind(descriptor);
    const Sys::DescriptorCheck check = Sys::checkDescriptor(descriptor, kind);
    if (!check.error.isEmpty()) {
        write(stderr, QStringLiteral("qdsql: ") + check.error + QLatin1Char('\n'));
        return 2;
    }
    for (const QString& problem : check.problems)
        write(stdout, path + QStringLiteral(": ") + problem + QLatin1Char('\n'));
    write(check.problems.isEmpty() ? stdout : stderr,
          QStringLiteral("%1：按 %2 检查，%3\n")
              .arg(path, check.schema,
                   check.problems.isEmpty()
                       ? QStringLiteral("符合")
                       : QStringLiteral("有 %1 处不符合").arg(check.problems.size())));
    return check.problems.isEmpty() ? 0 : 1;
}

struct Options {
    QCommandLineOption command, param, schema, csv, explain, input, timing;
};

// --export FORMAT FILE: two values, which the parser's options cannot take, so they are taken
// out of the arguments before it reads them.
struct ExportRequest {
    Ui::ExportFormat format = Ui::ExportFormat::Xlsx;
    QString file;
};

// Runs the batches and exports the last result set any of them returned.
void exportLast(Db::Database& db, const std::vector<Batch>& batches, const Db::Params& params,
                const ExportRequest& request) {
    Db::DataPacket last;
    for (const Batch& b : batches) {
        for (int time = 0; time < b.times; ++time) {
            Db::DataPacket result = db.queryLast(b.text, params);
            if (result.active())
                last = std::move(result);
        }
    }
    if (!last.active())
        throw Db::DbError(QStringLiteral("批处理没有返回结果集，没有可导出的数据"));
    QList<Ui::ExportField> fields;
    for (int f = 0; f < last.fieldCount(); ++f)
        fields.push_back({last.fieldDef(f).name, last.fieldDef(f).name});
    Ui::ExportOptions options;
    options.showProgress = false;
    QString error;
    if (Ui::exportRecordSet(last, fields, request.file, request.format, &error, options) !=
        Ui::ExportOutcome::Written)
        throw Db::DbError(error);
    write(stdout, QStringLiteral("已导出 %1 行到 %2\n").arg(last.recordCount()).arg(request.file));
}

int run(const QCommandLineParser& parser, const Options& o,
        const std::optional<ExportRequest>& exportTo) {
    const QStringList args = parser.positionalArguments();
    if (args.isEmpty())
        throw UsageError{QStringLiteral("缺少数据库（文件，或 odbc: 连接字符串）")};
    if (args.size() > 2)
        throw UsageError{QStringLiteral("多余的参数：%1").arg(args.mid(2).join(QLatin1Char(' ')))};
    QStringList files = args.mid(1) + parser.values(o.input);
    if (!files.isEmpty() && parser.isSet(o.command))
        throw UsageError{QStringLiteral("-c 与脚本文件只能给一个")};
    const Db::Params params = parseParams(parser.values(o.param));

    std::vector<Batch> batches;
    if (parser.isSet(o.command)) {
        batches = splitBatches(parser.value(o.command));
    } else if (!files.isEmpty()) {
        for (const QString& name : files) {
            QFile file(name);
            for (Batch& b : splitBatches(readBatch(file, name)))
                batches.push_back(std::move(b));
        }
    } else {
        QFile in;
        if (!in.open(stdin, QIODevice::ReadOnly))
            throw Db::DbError(QStringLiteral("无法读取标准输入"));
        batches = splitBatches(readBatch(in, QStringLiteral("标准输入")));
    }

    const Db::DataSource source = Db::parseDataSource(args[0]);
    for (const QCommandLineOption* fileOnly : {&o.explain, &o.timing})
        if (source.isOdbc() && parser.isSet(*fileOnly))
            throw UsageError{QStringLiteral("--%1 只能用于数据库文件，不能用于 ODBC 连接")
                                 .arg(fileOnly->names().constLast())};
    const std::unique_ptr<Db::Database> opened = Db::openDataSource(source);
    if (parser.isSet(o.schema))
        Db::ensureFrameworkSchema(*opened);
    if (exportTo) {
        exportLast(*opened, batches, params, *exportTo);
        return 0;
    }
    PrintingSink sink(parser.isSet(o.csv));
    if (Db::OdbcDataServices* odbc = opened->odbc()) {
        for (const Batch& b : batches)
            for (int time = 0; time < b.times; ++time)
                for (const Db::DataPacket& rs : odbc->queryAll(b.text, params))
                    sink.packet(rs);
        return 0;
    }
    Db::SqliteDataServices& db = *opened->sqlite();
    if (parser.isSet(o.explain)) {
        for (const Batch& b : batches) {
            for (const QString& statement : db.session().explain(b.text)) {
                write(stdout, statement + QLatin1Char('\n'));
                write(stdout, queryPlan(db.handle(), statement));
            }
        }
        return 0;
    }
    const bool timing = parser.isSet(o.timing);
    std::vector<std::pair<void*, qint64>> started;  // statements running, with their start
    if (timing)
        sqlite3_trace_v2(db.handle(), SQLITE_TRACE_STMT | SQLITE_TRACE_PROFILE, profileStatement,
                         &started);
    int number = 0;
    for (const Batch& b : batches) {
        ++number;
        for (int time = 0; time < b.times; ++time) {
            QElapsedTimer clock;
            clock.start();
            try {
                db.session().run(b.text, params, &sink, true);
            } catch (...) {
                sink.finish();  // what the batch printed before it failed
                throw;
            }
            sink.finish();
            if (timing)
                write(stderr, QStringLiteral("-- 批处理 %1：%2 ms\n")
                                  .arg(number)
                                  .arg(double(clock.nsecsElapsed()) / 1e6, 0, 'f', 3));
        }
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("qdsql"));
    QCoreApplication::setApplicationVersion(QStringLiteral(QD_VERSION));
    Sys::settleProgramHome();  // where its trace goes

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "在嵌入式数据库上运行 T-SQL 批处理（与客户端相同的翻译与执行），或在 ODBC 连接的\n"
        "数据库上运行（DATABASE 写作 odbc: 加连接字符串），打印每个结果集。\n"
        "批处理取自 SCRIPT 与 -i 文件（按顺序）、-c 或标准输入；单独一行 go（或 go N，运行 N 次）\n"
        "结束一个批处理，遇到第一个失败的批处理即停止；数据库文件不存在时新建。\n"
        "--export FORMAT FILE：把最后一个结果集导出到 FILE（FORMAT 为 xlsx、xls、csv 或 "
        "html），字段名为标题，不打印。"));
    const QCommandLineOption helpOption = parser.addHelpOption();
    const QCommandLineOption versionOption = parser.addVersionOption();
    const QCommandLineOption command(QStringList{QStringLiteral("c"), QStringLiteral("command")},
                                     QStringLiteral("运行这条语句（批处理）。"),
                                     QStringLiteral("STATEMENT"));
    const QCommandLineOption param(
        QStringLiteral("param"),
        QStringLiteral(
            "命名参数 :name 的值（可重复）：NULL、整数、小数，其余为文本；'带引号' 的总是文本。"),
        QStringLiteral("name=value"));
    const QCommandLineOption schema(QStringLiteral("schema"),
                                    QStringLiteral("先建立框架的表（已有时不动）。"));
    const QCommandLineOption csv(QStringLiteral("csv"),
                                 QStringLiteral("以 CSV 输出结果集（含标题行，NULL 为空）。"));
    const QCommandLineOption explain(
        QStringLiteral("explain"),
        QStringLiteral(
            "只打印翻译后的语句及 SQLite 的执行计划（-- 计划：...），不运行（仅数据库文件）。"));
    const QCommandLineOption input(QStringList{QStringLiteral("i"), QStringLiteral("input")},
                                   QStringLiteral("运行这个脚本文件（可重复，按顺序）。"),
                                   QStringLiteral("FILE"));
    const QCommandLineOption timing(
        QStringLiteral("timing"),
        QStringLiteral("在标准错误上报告每条语句和每个批处理的用时（仅数据库文件）。"));
    const QCommandLineOption checkDescriptor(
        QStringLiteral("check-descriptor"),
        QStringLiteral(
            "按框架的 JSON 模式检查模块的描述（JSON 文件），列出不符合之处（键的路径与规则）。"),
        QStringLiteral("FILE"));
    const QCommandLineOption as(
        QStringLiteral("as"),
        QStringLiteral(
            "--check-descriptor 的描述种类：form、columns、bill、report、params，或其中的"
            "定义（如 form:CategorisedList、bill:SimpleBill）；省略时按内容推断。"),
        QStringLiteral("KIND"));
    parser.addOptions({command, param, schema, csv, explain, input, timing, checkDescriptor, as});
    parser.addPositionalArgument(
        QStringLiteral("DATABASE"),
        QStringLiteral("数据库文件，或 odbc: 加 ODBC 连接字符串（如 \"odbc:DSN=qd\"）。"));
    parser.addPositionalArgument(QStringLiteral("SCRIPT"),
                                 QStringLiteral("T-SQL 脚本文件（可省略）。"),
                                 QStringLiteral("[SCRIPT]"));

    const auto usage = [&](const QString& error) {
        write(stderr,
              QStringLiteral("qdsql: ") + error + QStringLiteral("\n\n") + parser.helpText());
        return 2;
    };
    QStringList arguments = QCoreApplication::arguments();
    std::optional<ExportRequest> exportTo;
    if (const qsizetype at = arguments.indexOf(QStringLiteral("--export")); at >= 0) {
        ExportRequest request;
        if (at + 2 >= arguments.size())
            return usage(QStringLiteral("--export 需要格式与文件名：--export FORMAT FILE"));
        if (!Ui::exportFormatOf(arguments[at + 1], &request.format))
            return usage(QStringLiteral("不认识的导出格式：%1（可用 xlsx、xls、csv、html）")
                             .arg(arguments[at + 1]));
        request.file = arguments[at + 2];
        arguments.remove(at, 3);
        exportTo = request;
    }
    if (!parser.parse(arguments))
        return usage(parser.errorText());
    if (parser.isSet(helpOption) || parser.isSet(QStringLiteral("help-all"))) {
        write(stdout, parser.helpText());
        return 0;
    }
    if (parser.isSet(versionOption)) {
        write(stdout, QStringLiteral("qdsql %1\n").arg(QCoreApplication::applicationVersion()));
        return 0;
    }
    if (parser.isSet(checkDescriptor))
        return checkDescriptorFile(parser.value(checkDescriptor), parser.value(as));
    int status = 0;
    try {
        status = run(parser, {command, param, schema, csv, explain, input, timing}, exportTo);
    } catch (const UsageError& e) {
        status = usage(e.message);
    } catch (const Db::Tsql::TsqlExecError& e) {
        write(stderr, failureText(e) + QLatin1Char('\n'));
        status = 1;
    } catch (const Db::Tsql::TsqlError& e) {
        write(stderr, QStringLiteral("T-SQL 错误：") + e.message() + QLatin1Char('\n'));
        status = 1;
    } catch (const Db::DbError& e) {
        write(stderr, e.message() + QLatin1Char('\n'));
        status = 1;
    }
    std::fflush(stdout);
    return status;
}
