#include "base/SafeName.h"

#include <QDir>
#include <QFileInfo>

namespace Qd::Core::Sys {

namespace {
constexpr int kMaxLength = 120;

bool forbidden(QChar c) {
    static const QString kForbidden = QStringLiteral("/\\:*?\"<>|");
    return c.unicode() < 0x20 || c.unicode() == 0x7f || kForbidden.contains(c);
}

// Names that the other desktop system refuses whatever their extension; a file made here may be
// copied there.
bool reserved(const QString& name) {
    const QString stem = name.section(QLatin1Char('.'), 0, 0).toUpper();
    static const QStringList kNames = {QStringLiteral("CON"), QStringLiteral("PRN"),
                                       QStringLiteral("AUX"), QStringLiteral("NUL")};
    if (kNames.contains(stem))
        return true;
    return stem.size() == 4 &&
           (stem.startsWith(QLatin1String("COM")) || stem.startsWith(QLatin1String("LPT"))) &&
           stem.at(3).isDigit();
}
}  // namespace

QString safeFileName(const QString& text) {
    QString name;
    name.reserve(text.size());
    for (QChar c : text)
        name += forbidden(c) ? QLatin1Char('_') : c;
    qsizetype start = 0;
    while (start < name.size() && (name.at(start) == QLatin1Char('.') || name.at(start).isSpace()))
        ++start;
    qsizetype end = name.size();
    while (end > start && (name.at(end - 1) == QLatin1Char('.') || name.at(end - 1).isSpace()))
        --end;
    name = name.mid(start, end - start);
    if (name.size() > kMaxLength) {
        name.truncate(kMaxLength);
        // A surrogate pair is not cut in half.
        if (name.back().isHighSurrogate())
            name.chop(1);
    }
    if (name.isEmpty())
        return QStringLiteral("_");
    if (reserved(name))
        name.prepend(QLatin1Char('_'));
    return name;
}

QString fileUnder(const QString& folder, const QString& name) {
    return QDir(folder).filePath(safeFileName(name));
}

bool isInside(const QString& path, const QString& folder) {
    const QString base = QDir::cleanPath(QFileInfo(folder).absoluteFilePath());
    const QString full = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    return full == base || full.startsWith(base + QLatin1Char('/'));
}

}  // namespace Qd::Core::Sys
