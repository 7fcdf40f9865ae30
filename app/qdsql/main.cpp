// qdsql: runs a T-SQL batch against an embedded database file through the same translator and
// executor the client uses, and prints every result set. For module authors trying out their
// statements, and for scripts.
//
//   qdsql [options] DATABASE [SCRIPT]
//
// The batch comes from SCRIPT, from -c, or from standard input. Exit status: 0 on success, 1
// when the batch (or opening the database) fails, 2 on a usage error.
#include <sqlite3.h>

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QRegularExpression>
#include <cstdio>

#include "TableWriter.h"
#include "db/Schema.h"
#include "db/SqliteDataServices.h"
#include "db/SqliteValues.h"
#include "db/tsql/TsqlSession.h"

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

// Prints each result set as it completes: a table collected whole (its widths need every row),
// or CSV record by record.
class PrintingSink : public Db::Tsql::Session::ResultSink {
public:
    explicit PrintingSink(bool csv) : m_csv(csv) {}

    void columns(sqlite3_stmt* stmt, std::shared_ptr<void>&) override {
        finish();
        m_table = Qd::Tools::ResultTable();
        const int count = sqlite3_column_count(stmt);
        for (int c = 0; c < count; ++c)
            m_table.columns << QString::fromUtf8(sqlite3_column_name(stmt, c));
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
            write(stdout, Qd::Tools::csvRecord(values));
        else
            m_table.rows.push_back(std::move(values));
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

int run(const QCommandLineParser& parser, const QCommandLineOption& command,
        const QCommandLineOption& param, const QCommandLineOption& schema,
        const QCommandLineOption& csv, const QCommandLineOption& explain) {
    const QStringList args = parser.positionalArguments();
    if (args.isEmpty())
        throw UsageError{QStringLiteral("缺少数据库文件")};
    if (args.size() > 2)
        throw UsageError{QStringLiteral("多余的参数：%1").arg(args.mid(2).join(QLatin1Char(' ')))};
    if (args.size() == 2 && parser.isSet(command))
        throw UsageError{QStringLiteral("-c 与脚本文件只能给一个")};
    const Db::Params params = parseParams(parser.values(param));

    QString batch;
    if (parser.isSet(command)) {
        batch = parser.value(command);
    } else if (args.size() == 2) {
        QFile file(args[1]);
        batch = readBatch(file, args[1]);
    } else {
        QFile in;
        if (!in.open(stdin, QIODevice::ReadOnly))
            throw Db::DbError(QStringLiteral("无法读取标准输入"));
        batch = readBatch(in, QStringLiteral("标准输入"));
    }

    Db::SqliteDataServices db(args[0]);
    if (parser.isSet(schema))
        Db::ensureFrameworkSchema(db);
    if (parser.isSet(explain)) {
        for (const QString& statement : db.session().explain(batch))
            write(stdout, statement + QLatin1Char('\n'));
        return 0;
    }
    PrintingSink sink(parser.isSet(csv));
    try {
        db.session().run(batch, params, &sink, true);
    } catch (...) {
        sink.finish();  // what the batch printed before it failed
        throw;
    }
    sink.finish();
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("qdsql"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "在嵌入式数据库上运行 T-SQL 批处理（与客户端相同的翻译与执行），打印每个结果集。\n"
        "批处理取自 SCRIPT、-c 或标准输入；数据库文件不存在时新建。"));
    const QCommandLineOption helpOption = parser.addHelpOption();
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
    const QCommandLineOption explain(QStringLiteral("explain"),
                                     QStringLiteral("只打印翻译后的语句，不运行。"));
    parser.addOptions({command, param, schema, csv, explain});
    parser.addPositionalArgument(QStringLiteral("DATABASE"), QStringLiteral("数据库文件。"));
    parser.addPositionalArgument(QStringLiteral("SCRIPT"),
                                 QStringLiteral("T-SQL 脚本文件（可省略）。"),
                                 QStringLiteral("[SCRIPT]"));

    const auto usage = [&](const QString& error) {
        write(stderr,
              QStringLiteral("qdsql: ") + error + QStringLiteral("\n\n") + parser.helpText());
        return 2;
    };
    if (!parser.parse(QCoreApplication::arguments()))
        return usage(parser.errorText());
    if (parser.isSet(helpOption) || parser.isSet(QStringLiteral("help-all"))) {
        write(stdout, parser.helpText());
        return 0;
    }
    int status = 0;
    try {
        status = run(parser, command, param, schema, csv, explain);
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
