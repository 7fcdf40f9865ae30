// The client program: opens the database (creating the demo organisation on first start),
// logs in (with the login dialog, or from the command line) and shows the main window.
//
//   qdclient [--db FILE] [--user CODE --password PW [--store CODE]] [--module NAME]
//            [--screenshot FILE.png | --login-screenshot FILE.png] [--trace]
// The password may come from the environment (QD_PASSWORD) instead: --password shows in the
// process list.
#include <QApplication>
#include <QScopeGuard>
#include <QTimer>
#include <cstdio>
#include <optional>

#include "ClientOptions.h"
#include "DemoDatabase.h"
#include "base/Prompter.h"
#include "db/DbError.h"
#include "db/SqliteDataServices.h"
#include "db/Trace.h"
#include "sys/SystemServices.h"
#include "uLoginForm.h"
#include "uMainForm.h"

using namespace Qd;

namespace {

void printLine(FILE* to, const QString& text) {
    std::fprintf(to, "%s\n", text.toLocal8Bit().constData());
}

// Saves a picture of `window` once the event loop has laid it out and painted it, then ends the
// program: 0 when the file was written.
void screenshotAndQuit(QWidget& window, const QString& file) {
    QTimer::singleShot(300, &window, [&window, file] {
        const bool saved = window.grab().save(file, "PNG");
        if (!saved)
            printLine(stderr, QStringLiteral("无法保存图片 %1").arg(file));
        QApplication::exit(saved ? 0 : 1);
    });
}

// The store a command-line login goes to: by code, or the first one.
std::optional<Core::Sys::StoreInfo> storeFor(Core::Sys::SystemServices& sys, const QString& code) {
    const std::vector<Core::Sys::StoreInfo> stores = sys.stores();
    for (const Core::Sys::StoreInfo& s : stores)
        if (code.isEmpty() || s.code.compare(code, Qt::CaseInsensitive) == 0)
            return s;
    return std::nullopt;
}

int run(const App::ClientOptions& options) {
    std::unique_ptr<Core::Db::SqliteDataServices> db;
    try {
        db = App::openDemoDatabase(options.dbPath);
    } catch (const Core::Db::DbError& e) {
        printLine(stderr, e.message());
        return 1;
    }
    Core::Db::setDataServices(db.get());
    Core::Sys::SystemServices sys(*db);
    Core::Sys::setSystemServices(&sys);
    const auto uninstall = qScopeGuard([] {
        Core::Sys::setSystemServices(nullptr);
        Core::Db::setDataServices(nullptr);
    });

    if (!options.loginScreenshot.isEmpty()) {
        App::TLoginForm login(sys);
        if (!options.userCode.isEmpty())
            login.setUserCode(options.userCode);
        login.show();
        screenshotAndQuit(login, options.loginScreenshot);
        return QApplication::exec();
    }

    if (options.autoLogin()) {
        const std::optional<Core::Sys::StoreInfo> store = storeFor(sys, options.storeCode);
        if (!store) {
            printLine(stderr, options.storeCode.isEmpty()
                                  ? QStringLiteral("数据库中没有门店")
                                  : QStringLiteral("没有编号为 %1 的门店").arg(options.storeCode));
            return 1;
        }
        const Core::Sys::LoginResult result =
            sys.login(options.userCode, options.password, store->id);
        if (!result.ok) {
            printLine(stderr, result.message);
            return 1;
        }
    } else {
        // Closing the dialog must not end the program before the main window is shown.
        QApplication::setQuitOnLastWindowClosed(false);
        App::TLoginForm login(sys);
        if (Core::Ui::prompter().exec(login) != QDialog::Accepted)
            return 0;
        QApplication::setQuitOnLastWindowClosed(true);
    }

    App::TMainForm window(sys);
    window.show();
    if (!options.module.isEmpty() && !window.openModule(options.module, true)) {
        if (!sys.plugs().plugbyName(options.module, true)) {
            printLine(stderr, QStringLiteral("没有名为 %1 的模块").arg(options.module));
            return 1;
        }
    }
    if (!options.screenshot.isEmpty())
        screenshotAndQuit(window, options.screenshot);
    return QApplication::exec();
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("qdclient"));

    const App::ParsedClientOptions parsed = App::parseClientOptions(QApplication::arguments());
    if (parsed.help) {
        printLine(stdout, parsed.helpText);
        return 0;
    }
    if (!parsed.error.isEmpty()) {
        printLine(stderr, parsed.error);
        return 1;
    }
    Core::Db::setTraceToStderr(parsed.options.trace);
    if (parsed.options.trace)
        Core::Db::setTraceDetail(true);
    return run(parsed.options);
}
