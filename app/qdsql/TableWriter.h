#pragma once

// Result sets as qdsql prints them: aligned tables for a terminal, CSV for other programs.

#include <QString>
#include <QStringList>
#include <QStringView>
#include <QVariant>
#include <vector>

namespace Qd::Tools {

// True for a character a terminal draws two columns wide (CJK, Hangul, full-width forms and
// the supplementary ideographs from U+20000 on).
bool isWide(char32_t codePoint);
// The number of terminal columns `text` takes.
int displayWidth(QStringView text);

// The text of a value: integers as they are, doubles with up to 15 significant digits (and a
// ".0" when integral, so that they read as reals), blobs as 0x followed by hex digits, NULL as
// "NULL". A number shows at least `places` digits after the point (a decimal(18,2) column's 10
// is 10.00).
QString valueText(const QVariant& value, int places = -1);

// One result set, collected whole for the aligned form.
struct ResultTable {
    QStringList columns;
    std::vector<QVariantList> rows;
    std::vector<int> places;  // digits after the point a column's numbers show at least
};

// The aligned form: the header, a line of dashes under each column, the rows, then "(N 行)".
// Columns are two spaces apart; a column whose values are all numbers (ignoring NULL) is aligned
// to the right. Line breaks and tabs inside a value show as spaces.
QString formatAligned(const ResultTable& table);

// One CSV record, ending in "\n". A field holding a comma, a quote, CR or LF is quoted, with its
// quotes doubled; NULL is an empty field.
QString csvRecord(const QVariantList& values, const std::vector<int>& places = {});
QString csvRecord(const QStringList& values);

}  // namespace Qd::Tools
