// The text form of a view's column layout: ini sections, written and read by hand so that the
// bytes stored in the database are exactly these (UTF-8, no platform escaping).
#include <QStringDecoder>

#include "ui/grid/GridInternal.h"

namespace Qd::Core::Ui::Internal {

namespace {

QString escaped(const QString& value) {
    QString out;
    out.reserve(value.size());
    for (const QChar ch : value) {
        if (ch == QLatin1Char('\\'))
            out += QLatin1String("\\\\");
        else if (ch == QLatin1Char('\n'))
            out += QLatin1String("\\n");
        else if (ch == QLatin1Char('\r'))
            out += QLatin1String("\\r");
        else if (ch.isNull())
            out += QLatin1String("\\0");
        else
            out += ch;
    }
    return out;
}

QString unescaped(QStringView value) {
    QString out;
    out.reserve(value.size());
    for (qsizetype i = 0; i < value.size(); ++i) {
        const QChar ch = value[i];
        if (ch != QLatin1Char('\\') || i + 1 == value.size()) {
            out += ch;
            continue;
        }
        const QChar next = value[++i];
        out += next == QLatin1Char('n')   ? QChar(QLatin1Char('\n'))
               : next == QLatin1Char('r') ? QChar(QLatin1Char('\r'))
               : next == QLatin1Char('0') ? QChar()
                                          : next;
    }
    return out;
}

}  // namespace

QByteArray writeLayoutText(const QList<LayoutSection>& sections) {
    QString text;
    for (const LayoutSection& s : sections) {
        text += QLatin1Char('[') + escaped(s.name) + QLatin1String("]\n");
        for (auto it = s.keys.cbegin(); it != s.keys.cend(); ++it)
            text += it.key() + QLatin1Char('=') + escaped(it.value()) + QLatin1Char('\n');
        text += QLatin1Char('\n');
    }
    return text.toUtf8();
}

std::optional<QList<LayoutSection>> readLayoutText(const QByteArray& bytes) {
    QByteArray data = bytes;
    if (data.startsWith("\xEF\xBB\xBF"))
        data.remove(0, 3);
    // Bytes that are no UTF-8 are refused; a U+FFFD written as UTF-8 is a character like any.
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = decoder(data);
    if (decoder.hasError() || text.contains(QChar(0)))
        return std::nullopt;
    QList<LayoutSection> sections;
    for (QStringView line : QStringView(text).split(QLatin1Char('\n'))) {
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        const QStringView trimmed = line.trimmed();
        if (trimmed.isEmpty() || trimmed.startsWith(QLatin1Char(';')) ||
            trimmed.startsWith(QLatin1Char('#')))
            continue;
        if (trimmed.startsWith(QLatin1Char('['))) {
            if (!trimmed.endsWith(QLatin1Char(']')))
                return std::nullopt;
            // The name as written, blanks included: it is a column's name, escaped as values are.
            sections << LayoutSection{unescaped(trimmed.mid(1, trimmed.size() - 2)), {}};
            continue;
        }
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        const QStringView key = eq > 0 ? line.left(eq).trimmed() : QStringView();
        if (key.isEmpty() || sections.isEmpty())
            return std::nullopt;
        sections.last().keys.insert(key.toString(), unescaped(line.mid(eq + 1)));
    }
    if (sections.isEmpty())
        return std::nullopt;
    return sections;
}

}  // namespace Qd::Core::Ui::Internal
