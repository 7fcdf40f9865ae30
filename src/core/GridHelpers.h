#pragma once

#include <QDate>
#include <QString>
#include <QVariantList>

class QWidget;

namespace Qd::Core::Ui {
class GridView;
}

namespace Qd::Core::Db {
class RecordSet;
}

namespace Qd::Core::Base {

// The default value of a query parameter: "str" gives `defvalue` as written; "var" with
// "usercode" the session's user code; "fun" with "bt" the date a calendar month before today,
// with "et" today ("yyyy-MM-dd"); anything else, letter case included, gives empty.
QString getDefValue(const QString& deftype, const QString& defvalue);
// The same, counting from `today`.
QString getDefValue(const QString& deftype, const QString& defvalue, const QDate& today);

// Appends a copy of the current record of `cds`, every field but the one named exactly "id",
// and leaves it unposted in insert state.
void copyRecord(Db::RecordSet& cds);

// Opens the report whose catalogue title is `title`, behind the right "2100_" + its code, in
// the module registered under that title or else in the generic "报表查询" module.
void showReportForm(QWidget* owner, const QString& title, const QString& params);

// Fills a statement pattern of the system's kind: %s and %d take the next argument, %0:s and
// %1:d the numbered one; %% is a percent sign. The pattern supplies the quotes around a %s, and
// the value goes in with its own quotes doubled, so a typed value can never end the literal and
// become SQL; %d takes the whole number of its value (0 when it is none), %f the number.
QString Format(const QString& format, const QVariantList& args);

// 导出 of a list or report straight to xlsx: the save dialog ("导出excel (*.xlsx)", asking
// before overwriting) proposes `title` and today's date as the file name; the view is written
// as shown, then "导出成功" (or the reason it failed).
void exportViewToXlsx(const Ui::GridView& view, const QString& title);

// The window-settings file: "mainlayout_" + the screen's horizontal logical dpi + ".ini" in the
// program home.
QString GetIniFilePath();

}  // namespace Qd::Core::Base
