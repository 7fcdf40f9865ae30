#include "base/SafeName.h"

#include <QDir>
#include <QFileInfo>

namespace Qd::Core::Sys {

namespace {
constexpr int kMaxLength = 120;
// File systems allow 255 bytes to a name; the rest is left for the caller's suffix.
constexpr int kMaxBytes = 240;

bool forbidden(char32_t c) {
    static const QString kForbidden = QStringLiteral("/\\:*?\"<>|");
    return c < 0x20 || c == 0x7f || (c < 0x80 && kForbidden.contains(QChar(c)));
}

// Bytes of a code point in UTF-8.
int utf8Bytes(char32_t c) {
    return c < 0x80 ? 1 : c < 0x800 ? 2 : c < 0x10000 ? 3 : 4;
}

bool trimmable(QChar c) {
    return c == QLatin1Char('.') || c.isSpace();
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
    // Leading dots and blanks go before the length is counted, trailing ones after the cut, so
    // that a cut never leaves a name ending in a dot (which the other system drops silently).
    QString name;
    name.reserve(text.size());
    int chars = 0;
    int bytes = 0;
    for (char32_t c : QStringView(text).toUcs4()) {
        if (forbidden(c))
            c = U'_';
        const QString piece = QString::fromUcs4(&c, 1);
        if (name.isEmpty() && trimmable(piece.front()))
            continue;
        if (chars + 1 > kMaxLength || bytes + utf8Bytes(c) > kMaxBytes)
            break;
        name += piece;
        ++chars;
        bytes += utf8Bytes(c);
    }
    while (!name.isEmpty() && trimmable(name.back()))
        name.chop(1);
    if (name.isEmpty())
        return QStringLiteral("_");
    if (reserved(name))
        name.prepend(QLatin1Char('_'));
    return name;
}

QString fileUnder(const QString& folder, const QString& name, const QString& suffix) {
    return QDir(folder).filePath(safeFileName(name) + suffix);
}

bool isInside(const QString& path, const QString& folder) {
    const QString base = QDir::cleanPath(QFileInfo(folder).absoluteFilePath());
    const QString full = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    if (full == base)
        return true;
    // The root folder already ends in its separator.
    return full.startsWith(base.endsWith(QLatin1Char('/')) ? base : base + QLatin1Char('/'));
}

}  // namespace Qd::Core::Sys
