#include "base/ProgramHome.h"

#include <QCoreApplication>
#include <QDir>

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
}  // namespace

QString programHome() {
    if (!overriddenHome().isEmpty())
        return overriddenHome();
    const QString env = qEnvironmentVariable("QD_HOME");
    if (!env.isEmpty())
        return QDir(env).absolutePath();
    if (QCoreApplication::instance())
        return QCoreApplication::applicationDirPath();
    return QDir::currentPath();
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

}  // namespace Qd::Core::Sys
