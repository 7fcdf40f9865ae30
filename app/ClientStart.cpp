#include "ClientStart.h"

#include <QApplication>
#include <QScopeGuard>
#include <QTimer>
#include <optional>

#include "BillDialogCommand.h"
#include "DemoDatabase.h"
#include "base/Prompter.h"
#include "core/ModulePlugins.h"
#include "db/DataServices.h"
#include "db/DataSource.h"
#include "db/DbError.h"
#include "db/QueryProgress.h"
#include "db/Schema.h"
#include "db/SqliteDataServices.h"
#include "sys/SystemServices.h"
#include "uLoginForm.h"
#include "uMainForm.h"
#include "ui/QueryProgress.h"

namespace Qd::App {

namespace {

// How long after the window is shown its picture is taken: 300 ms, or QD_SCREENSHOT_DELAY_MS (the
// start-up benchmark takes it at once, to time the start to the first painted window).
int screenshotDelayMs() {
    bool ok = false;
    const int ms = qEnvironmentVariableIntValue("QD_SCREENSHOT_DELAY_MS", &ok);
    return ok && ms >= 0 ? ms : 300;
}

// Saves a picture of `window` once the event loop has laid it out and painted it, then ends the
// program: 0 when the file was written.
void screenshotAndQuit(QWidget& window, const QString& file) {
    QTimer::singleShot(screenshotDelayMs(), &window,
                       [&window, file] { QApplication::exit(savePicture(window, file) ? 0 : 1); });
}

// The window a screenshot after opening a module shows: the dialog the module runs (its modal
// loop is still open when the picture is taken), else a tool window it opened, else the main
// window with the module's page.
QWidget& shownWindow(QWidget& main) {
    if (QWidget* modal = QApplication::activeModalWidget())
        return *modal;
    QWidget* latest = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w != &main && w->isVisible() && w->isWindow() &&
            !w->windowFlags().testFlag(Qt::Popup) && !w->windowFlags().testFlag(Qt::ToolTip))
            latest = w;
    return latest ? *latest : main;
}

// A screenshot taken after a module was opened. It is armed before the module opens, since a
// module that runs a dialog does not return before the dialog closes: the picture is taken
// inside the dialog's loop, which the program's exit then ends.
struct ModuleScreenshot {
    std::optional<int> exitCode;

    void arm(QWidget& main, const QString& file) {
        QTimer::singleShot(screenshotDelayMs(), &main, [this, &main, file] {
            exitCode = savePicture(shownWindow(main), file) ? 0 : 1;
            QApplication::exit(*exitCode);
        });
    }
};

// The store a command-line login goes to: by code, or the first one.
std::optional<Core::Sys::StoreInfo> storeFor(Core::Sys::SystemServices& sys, const QString& code) {
    const std::vector<Core::Sys::StoreInfo> stores = sys.stores();
    for (const Core::Sys::StoreInfo& s : stores)
        if (code.isEmpty() || s.code.compare(code, Qt::CaseInsensitive) == 0)
            return s;
    return std::nullopt;
}

// The database the client starts on: a file becomes (or stays) the demo; a server must hold
// the framework's tables already, since the client never changes a server's schema.
std::unique_ptr<Core::Db::Database> openSource(const QString& where, const char* vfs) {
    const Core::Db::DataSource source = Core::Db::parseDataSource(where);
    if (!source.isOdbc())
        return Core::Db::databaseOver(openDemoDatabase(source.file, vfs));
    const ServerTimeouts timeouts = configuredTimeouts();
    std::unique_ptr<Core::Db::Database> db =
        Core::Db::openDataSource(source, timeouts.login, timeouts.query);
    const QStringList missing = Core::Db::missingFrameworkTables(*db);
    if (!missing.isEmpty()) {
        const bool none = missing.size() == Core::Db::frameworkTables().size();
        throw Core::Db::DbError(Core::Db::foreignDatabaseMessage(
            db->displayName(), none ? QStringList() : missing,
            QStringLiteral("请检查启动时给出的数据库（--db），或由系统管理员用 qdsql --schema "
                           "在该数据库中建立本系统的数据表。")));
    }
    return db;
}

std::unique_ptr<Core::Db::Database> openClientDatabase(const QString& where, const char* vfs) {
    try {
        return openSource(where, vfs);
    } catch (const Core::Db::DbError& e) {
        printLine(stderr, e.message());
        Core::Db::MessageMyDlg(e.message(), QStringLiteral("提示"), 1, Core::Ui::MsgButtons::Ok);
        return nullptr;
    }
}

}  // namespace

bool savePicture(QWidget& window, const QString& file) {
    const bool saved = window.grab().save(file, "PNG");
    if (!saved)
        printLine(stderr, QStringLiteral("无法保存图片 %1").arg(file));
    return saved;
}

void printLine(std::FILE* to, const QString& text) {
    std::fprintf(to, "%s\n", text.toLocal8Bit().constData());
}

void loadPlugins() {
    // A plug-in that cannot be loaded is told once, by name; the other modules open.
    for (const QString& failure :
         Core::Base::loadModulePlugins(Core::Base::modulePluginFolders()).failures) {
        printLine(stderr, failure);
        Core::Db::MessageMyDlg(failure, QStringLiteral("提示"), 1, Core::Ui::MsgButtons::Ok);
    }
}

int runClient(const ClientOptions& options, const char* vfs) {
    const std::unique_ptr<Core::Db::Database> db = openClientDatabase(options.database, vfs);
    if (!db)
        return 1;
    Core::Db::setDataServices(&db->services());
    Core::Sys::SystemServices sys(db->services());
    Core::Sys::setSystemServices(&sys);
    // Long queries the forms mark cancellable show their progress and a cancel button.
    Core::Ui::QueryProgressWindow queryProgress;
    Core::Db::setQueryProgress(&queryProgress);
    const auto uninstall = qScopeGuard([] {
        Core::Db::setQueryProgress(nullptr);
        Core::Sys::setSystemServices(nullptr);
        Core::Db::setDataServices(nullptr);
    });

    if (!options.loginScreenshot.isEmpty()) {
        TLoginForm login(sys);
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
        TLoginForm login(sys);
        if (Core::Ui::prompter().exec(login) != QDialog::Accepted)
            return 0;
        QApplication::setQuitOnLastWindowClosed(true);
    }

    loadPlugins();
    if (!options.dialog.isEmpty())
        return runBillDialog(sys, options);

    TMainForm window(sys);
    window.show();
    ModuleScreenshot shot;
    if (!options.screenshot.isEmpty())
        shot.arm(window, options.screenshot);
    if (!options.module.isEmpty() && !window.openModule(options.module, true)) {
        if (!sys.plugs().plugbyName(options.module, true)) {
            printLine(stderr, QStringLiteral("没有名为 %1 的模块").arg(options.module));
            return 1;
        }
    }
    if (shot.exitCode)  // taken inside the module's dialog
        return *shot.exitCode;
    return QApplication::exec();
}

}  // namespace Qd::App
