#include "TableWriter.h"

#include <QByteArray>
#include <algorithm>
#include <cmath>

#include "base/TextFormat.h"

namespace Qd::Tools {

bool isWide(char32_t c) {
    return (c >= 0x1100 && c <= 0x115F) || (c >= 0x2E80 && c <= 0xA4CF) ||
           (c >= 0xAC00 && c <= 0xD7A3) || (c >= 0xF900 && c <= 0xFAFF) ||
           (c >= 0xFE30 && c <= 0xFE4F) || (c >= 0xFF00 && c <= 0xFF60) ||
           (c >= 0xFFE0 && c <= 0xFFE6) || c >= 0x20000;
}

int displayWidth(QStringView text) {
    int width = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        char32_t c = text[i].unicode();
        if (QChar::isHighSurrogate(c) && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            c = QChar::surrogateToUcs4(text[i].unicode(), text[i + 1].unicode());
            ++i;
        }
        width += isWide(c) ? 2 : 1;
    }
    return width;
}

namespace {

bool isNumber(const QVariant& value) {
    const int id = value.typeId();
    return id == QMetaType::LongLong || id == QMetaType::Int || id == QMetaType::Double;
}

// A value inside an aligned table keeps to one line.
QString oneLine(QString text) {
    text.replace(QLatin1String("\r\n"), QLatin1String(" "));
    for (QChar& ch : text)
        if (ch == QLatin1Char('\n') || ch == QLatin1Char('\r') || ch == QLatin1Char('\t'))
            ch = QLatin1Char(' ');
    return text;
}

void pad(QString& line, const QString& text, int width, bool right, bool last) {
    const QString fill(std::max(0, width - displayWidth(text)), QLatin1Char(' '));
    if (right)
        line += fill + text;
    else
        line += last ? text : text + fill;
}

QString csvField(const QString& text) {
    static const QString special = QStringLiteral(",\"\r\n");
    if (std::none_of(text.begin(), text.end(), [](QChar ch) { return special.contains(ch); }))
        return text;
    QString quoted = text;
    quoted.replace(QLatin1String("\""), QLatin1String("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

int placesOf(const std::vector<int>& places, qsizetype column) {
    return std::size_t(column) < places.size() ? places[std::size_t(column)] : -1;
}

}  // namespace

QString valueText(const QVariant& value, int places) {
    if (value.isNull())
        return QStringLiteral("NULL");
    if (places > 0 && isNumber(value) && value.typeId() != QMetaType::Double)
        return Qd::Core::Sys::withPlaces(value.toString(), places);
    switch (value.typeId()) {
        case QMetaType::Double: {
            const double d = value.toDouble();
            QString text = QString::number(d, 'g', 15);
            if (std::isfinite(d) && !text.contains(QLatin1Char('.')) &&
                !text.contains(QLatin1Char('e')))
                text += QLatin1String(".0");
            return Qd::Core::Sys::withPlaces(text, places);
        }
        case QMetaType::QByteArray:
            return QLatin1String("0x") + QString::fromLatin1(value.toByteArray().toHex().toUpper());
        default:
            return value.toString();
    }
}

QString formatAligned(const ResultTable& table) {
    const qsizetype count = table.columns.size();
    std::vector<int> widths(std::size_t(count), 1);
    std::vector<bool> right(std::size_t(count), false);
    std::vector<std::vector<QString>> cells;
    cells.reserve(table.rows.size());
    for (qsizetype c = 0; c < count; ++c)
        widths[std::size_t(c)] = std::max(1, displayWidth(table.columns[c]));
    for (qsizetype c = 0; c < count; ++c) {
        bool numbers = false;
        bool other = false;
        for (const QVariantList& row : table.rows) {
            const QVariant& v = row.at(c);
            if (v.isNull())
                continue;
            (isNumber(v) ? numbers : other) = true;
        }
        right[std::size_t(c)] = numbers && !other;
    }
    for (const QVariantList& row : table.rows) {
        std::vector<QString>& texts = cells.emplace_back();
        texts.reserve(std::size_t(count));
        for (qsizetype c = 0; c < count; ++c) {
            texts.push_back(oneLine(valueText(row.at(c), placesOf(table.places, c))));
            widths[std::size_t(c)] = std::max(widths[std::size_t(c)], displayWidth(texts.back()));
        }
    }

    const auto line = [&](const auto& textOf) {
        QString out;
        for (qsizetype c = 0; c < count; ++c) {
            if (c > 0)
                out += QLatin1String("  ");
            pad(out, textOf(c), widths[std::size_t(c)], right[std::size_t(c)], c == count - 1);
        }
        return out + QLatin1Char('\n');
    };
    QString out = line([&](qsizetype c) { return oneLine(table.columns[c]); });
    out += line([&](qsizetype c) { return QString(widths[std::size_t(c)], QLatin1Char('-')); });
    for (const std::vector<QString>& texts : cells)
        out += line([&](qsizetype c) { return texts[std::size_t(c)]; });
    out += QStringLiteral("(%1 行)\n").arg(table.rows.size());
    return out;
}

QString csvRecord(const QVariantList& values, const std::vector<int>& places) {
    QStringList fields;
    fields.reserve(values.size());
    for (qsizetype c = 0; c < values.size(); ++c)
        fields << (values[c].isNull() ? QString() : valueText(values[c], placesOf(places, c)));
    return csvRecord(fields);
}

QString csvRecord(const QStringList& values) {
    QString out;
    for (qsizetype i = 0; i < values.size(); ++i) {
        if (i > 0)
            out += QLatin1Char(',');
        out += csvField(values[i]);
    }
    return out + QLatin1Char('\n');
}

}  // namespace Qd::Tools
