#include "base/Prompter.h"

#include <cstdio>
#include <cstdlib>

namespace Qd::Core::Ui {

namespace {
IPrompter*& installed() {
    static IPrompter* p = nullptr;
    return p;
}
IPrompter*& fallback() {
    static IPrompter* p = nullptr;
    return p;
}
}  // namespace

QString qtFileFilter(const FileFilter& filter) {
    QStringList patterns;
    for (const QString& part : filter.mask.split(u';', Qt::SkipEmptyParts)) {
        const QString pattern = part.trimmed();
        if (!pattern.isEmpty())
            patterns << (pattern == QLatin1String("*.*") ? QStringLiteral("*") : pattern);
    }
    if (patterns.isEmpty())
        patterns << QStringLiteral("*");
    return filter.caption + QLatin1String(" (") + patterns.join(u' ') + u')';
}

QString qtFileFilter(const QString& captionsAndMasks) {
    const QStringList parts = captionsAndMasks.split(u'|');
    QStringList types;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2)
        types << qtFileFilter(FileFilter{parts[i], parts[i + 1]});
    return types.join(QLatin1String(";;"));
}

IPrompter& prompter() {
    if (installed())
        return *installed();
    if (!fallback()) {
        // Only a program built without the widget kit gets here: a question nobody can answer.
        std::fputs("qdcore: no prompter installed\n", stderr);
        std::abort();
    }
    return *fallback();
}

IPrompter* setPrompter(IPrompter* p) {
    IPrompter* previous = installed();
    installed() = p;
    return previous;
}

void setDefaultPrompter(IPrompter* p) {
    fallback() = p;
}

}  // namespace Qd::Core::Ui
