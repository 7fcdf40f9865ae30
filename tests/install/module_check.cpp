// Links the installed library and calls into it: the path a module's grid cache goes under.
#include <QCoreApplication>
#include <cstdio>

#include "base/ProgramHome.h"

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    Qd::Core::Sys::setProgramHome(QStringLiteral("/srv/module"));
    const QString grid = Qd::Core::Sys::programPath(QStringLiteral("cache\\grid\\"));
    if (grid != QStringLiteral("/srv/module/cache/grid")) {
        std::fprintf(stderr, "programPath: %s\n", grid.toLocal8Bit().constData());
        return 1;
    }
    std::puts("module_check: linked and ran");
    return 0;
}
