#include "ClientOptions.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSettings>

#include "base/ProgramHome.h"

namespace Qd::App {

QStringList billDialogNames() {
    return {QStringLiteral("单据设置"), QStringLiteral("附件"), QStringLiteral("反馈"),
            QStringLiteral("审核日志"), QStringLiteral("打印日志")};
}

ServerTimeouts configuredTimeouts() {
    ServerTimeouts t;
    const QSettings ini(Core::Sys::programPath(QStringLiteral("config.ini")), QSettings::IniFormat);
    bool ok = false;
    if (const int v = ini.value(QStringLiteral("database/logintimeout")).toInt(&ok); ok && v > 0)
        t.login = v;
    if (const int v = ini.value(QStringLiteral("database/querytimeout")).toInt(&ok); ok && v >= 0)
        t.query = v;
    return t;
}

QString configuredDatabase() {
    QFile ini(Core::Sys::programPath(QStringLiteral("config.ini")));
    if (!ini.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    static const QRegularExpression section(QStringLiteral("^\\[\\s*(.*?)\\s*\\]$"));
    static const QRegularExpression entry(QStringLiteral("^connection\\s*=(.*)$"),
                                          QRegularExpression::CaseInsensitiveOption);
    bool inDatabase = false;
    for (const QString& raw : QString::fromUtf8(ini.readAll()).split(QLatin1Char('\n'))) {
        const QString line = raw.trimmed();
        if (const QRegularExpressionMatch m = section.match(line); m.hasMatch()) {
            inDatabase = m.captured(1).compare(QLatin1String("database"), Qt::CaseInsensitive) == 0;
            continue;
        }
        const QRegularExpressionMatch m = entry.match(line);
        if (!inDatabase || !m.hasMatch())
            continue;
        QString value = m.captured(1).trimmed();
        if (value.size() >= 2 && value.startsWith(QLatin1Char('"')) &&
            value.endsWith(QLatin1Char('"')))
            value = value.mid(1, value.size() - 2);
        if (value.isEmpty() || value.startsWith(QLatin1String("odbc:"), Qt::CaseInsensitive) ||
            QDir::isAbsolutePath(value))
            return value;
        return Core::Sys::programPath(value);
    }
    return {};
}

ParsedClientOptions parseClientOptions(const QStringList& args) {
    QCommandLineParser cli;
    cli.setApplicationDescription(QStringLiteral("多门店业务管理系统客户端"));
    const QCommandLineOption help = cli.addHelpOption();
    const QCommandLineOption db(
        QStringLiteral("db"),
        QStringLiteral("数据库文件，或 odbc: 加 ODBC 连接字符串（如 \"odbc:DSN=qd\"）。"
                       "默认：程序数据目录下 config.ini 的 [database] connection，否则该目录下的 "
                       "demo.db"),
        QStringLiteral("file|odbc:..."));
    const QCommandLineOption user(QStringLiteral("user"),
                                  QStringLiteral("以该用户编号直接登录，不显示登录窗口"),
                                  QStringLiteral("code"));
    const QCommandLineOption password(
        QStringLiteral("password"),
        QStringLiteral("直接登录时使用的密码（会显示在进程列表中，可改用环境变量 QD_PASSWORD）"),
        QStringLiteral("password"));
    const QCommandLineOption store(QStringLiteral("store"),
                                   QStringLiteral("直接登录的门店编号（默认：第一个门店）"),
                                   QStringLiteral("code"));
    const QCommandLineOption module(QStringLiteral("module"),
                                    QStringLiteral("启动后打开的模块（注册名称或标题）"),
                                    QStringLiteral("name"));
    const QCommandLineOption shot(
        QStringLiteral("screenshot"),
        QStringLiteral("启动后把主窗口（或 --module 打开的对话框、工具窗口）保存为 PNG 图片并退出"),
        QStringLiteral("png"));
    const QCommandLineOption loginShot(QStringLiteral("login-screenshot"),
                                       QStringLiteral("把登录窗口保存为 PNG 图片并退出"),
                                       QStringLiteral("png"));
    const QCommandLineOption bill(QStringLiteral("bill"),
                                  QStringLiteral("与 --dialog 一同使用：模块中单据的主表 id"),
                                  QStringLiteral("id"));
    const QCommandLineOption dialog(QStringLiteral("dialog"),
                                    QStringLiteral("只打开该单据的对话框：%1")
                                        .arg(billDialogNames().join(QStringLiteral("、"))),
                                    QStringLiteral("name"));
    const QCommandLineOption trace(
        QStringLiteral("trace"),
        QStringLiteral("诊断日志同时输出到标准错误，并写出每条语句在数据库中执行的形式"));
    cli.addOptions({db, user, password, store, module, shot, loginShot, bill, dialog, trace});

    ParsedClientOptions out;
    if (!cli.parse(args)) {
        // The parser's own texts are English; say the two usual mistakes in the client's words.
        static const QRegularExpression missing(QStringLiteral("^Missing value after '(.*)'\\.$"));
        const QRegularExpressionMatch m = missing.match(cli.errorText());
        QStringList unknown;
        for (const QString& name : cli.unknownOptionNames())
            unknown << (name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) + name;
        if (!unknown.isEmpty())
            out.error = QStringLiteral("未知的选项：%1").arg(unknown.join(' '));
        else if (m.hasMatch())
            out.error = QStringLiteral("%1 需要给出参数值").arg(m.captured(1));
        else
            out.error = cli.errorText();
        return out;
    }
    if (cli.isSet(help)) {
        out.help = true;
        out.helpText = cli.helpText();
        return out;
    }
    if (!cli.positionalArguments().isEmpty()) {
        out.error = QStringLiteral("多余的参数：%1").arg(cli.positionalArguments().join(' '));
        return out;
    }

    ClientOptions& o = out.options;
    o.database = cli.isSet(db) ? cli.value(db) : configuredDatabase();
    if (!cli.isSet(db) && o.database.isEmpty())
        o.database = Core::Sys::programPath(QStringLiteral("demo.db"));
    o.userCode = cli.value(user).trimmed();
    // The environment keeps the password out of the process list.
    const bool passwordGiven = cli.isSet(password) || qEnvironmentVariableIsSet("QD_PASSWORD");
    o.password = cli.isSet(password) ? cli.value(password) : qEnvironmentVariable("QD_PASSWORD");
    o.storeCode = cli.value(store).trimmed();
    o.module = cli.value(module).trimmed();
    o.screenshot = cli.value(shot);
    o.loginScreenshot = cli.value(loginShot);
    o.trace = cli.isSet(trace);
    o.bill = cli.value(bill).trimmed();
    o.dialog = cli.value(dialog).trimmed();

    if (o.database.trimmed().isEmpty())
        out.error = QStringLiteral("--db 需要给出数据库文件或 odbc: 连接字符串");
    else if (cli.isSet(user) && o.userCode.isEmpty())
        out.error = QStringLiteral("--user 需要给出用户编号");
    else if (o.autoLogin() && !passwordGiven)
        out.error = QStringLiteral("--user 需要同时给出 --password（或环境变量 QD_PASSWORD）");
    else if (!o.autoLogin() && (cli.isSet(password) || cli.isSet(store)))
        out.error = QStringLiteral("--password 和 --store 只能与 --user 一同使用");
    else if (cli.isSet(module) && o.module.isEmpty())
        out.error = QStringLiteral("--module 需要给出模块名称");
    else if (cli.isSet(shot) && o.screenshot.isEmpty())
        out.error = QStringLiteral("--screenshot 需要给出图片文件");
    else if (cli.isSet(loginShot) && o.loginScreenshot.isEmpty())
        out.error = QStringLiteral("--login-screenshot 需要给出图片文件");
    else if (!o.screenshot.isEmpty() && !o.loginScreenshot.isEmpty())
        out.error = QStringLiteral("--screenshot 与 --login-screenshot 不能同时使用");
    else if ((cli.isSet(dialog) || cli.isSet(bill)) &&
             (o.dialog.isEmpty() || o.bill.isEmpty() || o.module.isEmpty()))
        out.error = QStringLiteral("--dialog 需要同时给出 --module 和 --bill");
    else if (!o.dialog.isEmpty() && !billDialogNames().contains(o.dialog))
        out.error =
            QStringLiteral("--dialog 只能是：%1").arg(billDialogNames().join(QStringLiteral("、")));
    return out;
}

}  // namespace Qd::App
