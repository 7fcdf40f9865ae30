#include "base/ProgramHome.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryFile>

#include "base/OwnerOnly.h"

namespace Qd::Core::Sys {

namespace {
QString& overriddenHome() {
    static QString home;
    return home;
}
int& generation() {
    static int g = 0;
    return g;
}
QString executableFolder() {
    return QCoreApplication::instance() ? QCoreApplication::applicationDirPath()
                                        : QDir::currentPath();
}
}  // namespace

QString programHome() {
    if (!overriddenHome().isEmpty())
        return overriddenHome();
    const QString env = qEnvironmentVariable("QD_HOME");
    if (!env.isEmpty())
        return QDir(env).absolutePath();
    return executableFolder();
}

void setProgramHome(const QString& path) {
    overriddenHome() = path.isEmpty() ? QString() : QDir(path).absolutePath();
    ++generation();
}

int programHomeGeneration() {
    return generation();
}

QString programPath(const QString& relative) {
    QString rel = relative;
    rel.replace(QLatin1Char('\\'), QLatin1Char('/'));
    return QDir::cleanPath(programHome() + QLatin1Char('/') + rel);
}

bool canWriteIn(const QString& folder) {
    if (!QFileInfo(folder).isDir())
        return false;
    QTemporaryFile probe(QDir(folder).filePath(QStringLiteral(".write-probe-XXXXXX")));
    return probe.open();
}

bool isPortableCopy(const QString& executableFolder) {
    return QFileInfo(QDir(executableFolder).filePath(QLatin1String(kPortableMarker))).isFile() &&
           canWriteIn(executableFolder);
}

QString chooseProgramHome(const HomePlaces& places) {
    if (!places.qdHome.isEmpty())
        return QDir(places.qdHome).absolutePath();
    if (places.portableCopy)
        return QDir(places.executableFolder).absolutePath();
    return QDir(places.dataFolder).absolutePath();
}

QString settleProgramHome() {
    const QString executable = executableFolder();
    const QString home =
        chooseProgramHome({qEnvironmentVariable("QD_HOME"), executable, isPortableCopy(executable),
                           QStandardPaths::writableLocation(QStandardPaths::AppDataLocation)});
    ownerOnlyFolder(home);
    setProgramHome(home);
    return home;
}

}  // namespace Qd::Core::Sys
