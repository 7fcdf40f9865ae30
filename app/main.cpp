// The client program: opens the database (creating the demo organisation on first start),
// logs in (with the login dialog, or from the command line) and shows the main window.
//
//   qdclient [--db FILE] [--user CODE --password PW [--store CODE]] [--module NAME]
//            [--screenshot FILE.png | --login-screenshot FILE.png] [--trace]
// The password may come from the environment (QD_PASSWORD) instead: --password shows in the
// process list. The program home (demo.db, settings, caches, trace) follows the rule in
// docs/install.md: QD_HOME, a portable copy's own folder, or the user's data folder.
#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include "ClientHome.h"
#include "ClientOptions.h"
#include "ClientStart.h"
#include "base/ProgramHome.h"
#include "db/Trace.h"

using namespace Qd;
using App::printLine;

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("qdclient"));
    // Qt's own texts (standard buttons, the file system model's types, the editors' menus) and
    // the names of months and days in Chinese, whatever the machine's locale.
    QLocale::setDefault(QLocale(QLocale::Chinese, QLocale::China));
    QTranslator qtTexts;
    if (qtTexts.load(QLocale(), QStringLiteral("qtbase"), QStringLiteral("_"),
                     QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtTexts);

    // The home comes first: the database defaults to demo.db in it.
    Core::Sys::settleProgramHome();
    const App::ParsedClientOptions parsed = App::parseClientOptions(QApplication::arguments());
    if (parsed.help) {
        printLine(stdout, parsed.helpText);
        return 0;
    }
    if (!parsed.error.isEmpty()) {
        printLine(stderr, parsed.error);
        return 1;
    }
    if (!App::checkProgramHome(Core::Sys::programHome()))
        return 1;
    Core::Db::setTraceToStderr(parsed.options.trace);
    if (parsed.options.trace)
        Core::Db::setTraceDetail(true);
    return App::runClient(parsed.options);
}
