#pragma once

#include <QString>

namespace Qd::Core::Sys {

// The "folder of the running program": ini files, the grid cache, report files, config.ini and
// the trace live under it. Until a program settles it (settleProgramHome), the executable's
// folder; the environment variable QD_HOME or setProgramHome() moves it (tests).
QString programHome();
void setProgramHome(const QString& path);
// Changes with every setProgramHome, so that users of derived paths know to look again.
int programHomeGeneration();

// A path under the program home, from a relative path written with either separator
// ("cache\\grid\\" and "cache/grid/" name the same folder).
QString programPath(const QString& relative);

// The file beside the executable that makes a copy of the program portable.
inline constexpr char kPortableMarker[] = "portable";

// Whether a file can be made in `folder` (tried, not read from its permissions: the write
// right does not stop every user). False when the folder is missing.
bool canWriteIn(const QString& folder);

// Whether the program in `executableFolder` is a portable copy: the folder holds the portable
// marker and can be written.
bool isPortableCopy(const QString& executableFolder);

// What the choice of a program home looks at.
struct HomePlaces {
    QString qdHome;             // the environment's QD_HOME, empty when unset
    QString executableFolder;   // the folder of the running program
    bool portableCopy = false;  // isPortableCopy(executableFolder)
    QString dataFolder;         // the user's data folder for the program
};

// The program home of an installed program: QD_HOME when set; else the executable's folder of a
// portable copy; else the user's data folder.
QString chooseProgramHome(const HomePlaces& places);

// Settles the running program's home by chooseProgramHome, with the user's data folder of
// QStandardPaths::AppDataLocation, and makes it (owner-only) when missing. Programs call it
// once at start, after naming their application; returns the home.
QString settleProgramHome();

}  // namespace Qd::Core::Sys
