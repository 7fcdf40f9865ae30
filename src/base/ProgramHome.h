#pragma once

#include <QString>

namespace Qd::Core::Sys {

// The "folder of the running program": ini files, the grid cache, report files and config.ini
// live under it. By default the executable's folder; the environment variable QD_HOME or
// setProgramHome() moves it (tests, installs that keep the program read-only).
QString programHome();
void setProgramHome(const QString& path);
// Changes with every setProgramHome, so that users of derived paths know to look again.
int programHomeGeneration();

// A path under the program home, from a relative path written with either separator
// ("cache\\grid\\" and "cache/grid/" name the same folder).
QString programPath(const QString& relative);

}  // namespace Qd::Core::Sys
