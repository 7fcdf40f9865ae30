// The xls workbook writer, read back by an independent reader (python3-xlrd through
// tests/tools/xls_dump.py): cells, formats, sheet layout, long texts, full sheets, the container's
// sector tables, and refusals.
#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QVariant>
#include <QtEndian>
#include <cmath>

#include "support/TestEnv.h"
#include "ui/export/XlsWorkbook.h"

using namespace Qd::Core::Ui;

namespace {

// What the reader sees in `files`: one object for one file, an array for several. Cells of the
// first `rows` rows and of the last row of each sheet are listed.
QJsonDocument readBack(const QStringList& files, int rows = -1) {
    QStringList args{QStringLiteral(QD_XLS_DUMP)};
    args += files;
    if (rows >= 0)
        args += {"--rows", QString::number(rows)};
    QProcess p;
    p.start(QStringLiteral("/usr/bin/python3"), args);
    p.waitForFinished(120000);
    EXPECT_EQ(p.exitCode(), 0) << "the reader failed (python3-xlrd is needed): "
                               << p.readAllStandardError().toStdString();
    return QJsonDocument::fromJson(p.readAllStandardOutput());
}

QJsonObject readBook(const QString& file, int rows = -1) {
    return readBack({file}, rows).object();
}

QJsonObject sheetOf(const QJsonObject& book, int index) {
    return book["sheets"].toArray().at(index).toObject();
}

// One cell as one line: kind, value, number format, and "bold" when it is.
QString cell(const QJsonObject& sheet, int row, int column) {
    const QJsonArray c =
        sheet["cells"].toObject()[QString::number(row)].toArray().at(column).toArray();
    if (c.isEmpty())
        return QStringLiteral("(none)");
    QString shown = c[0].toString() + ' ' + c[1].toVariant().toString() + ' ' + c[2].toString();
    return c[3].toBool() ? shown + QStringLiteral(" bold") : shown;
}

QString text(const QJsonObject& sheet, int row, int column) {
    return sheet["cells"].toObject()[QString::number(row)].toArray().at(column)[1].toString();
}

class XlsWorkbook : public ::testing::Test {
protected:
    QString path(const char* name) const { return dir.filePath(QString::fromUtf8(name)); }
    QTemporaryDir dir;
};

}  // namespace

TEST_F(XlsWorkbook, CellsKeepTheirKindsFormatsAndSheetLayout) {
    const QString file = path("员工.xls");
    {
        Xls::Workbook book(file);
        ASSERT_TRUE(book.ok()) << book.error().toStdString();
        const int header = book.addFormat(QString(), true);
        const int money = book.addFormat("#,##0.00");
        const int date = book.addFormat("yyyy-mm-dd");
        const int time = book.addFormat("yyyy-mm-dd hh:mm");
        const int fraction = book.addFormat("0.000");
        EXPECT_EQ(book.addFormat("yyyy-mm-dd"), date);  // same arguments, same format
        EXPECT_NE(book.addFormat("yyyy-mm-dd", true), date);

        book.addSheet(QString::fromUtf8("员工名单"));
        book.setColumnWidth(0, 15.5);
        book.setColumnWidth(3, 10);
        book.freezeRows(2);
        // A band over the first two columns, above their captions.
        book.mergeCells(0, 0, 0, 1);
        EXPECT_TRUE(book.writeString(0, 0, QString::fromUtf8("基本信息"), header));
        EXPECT_TRUE(book.writeString(1, 0, QString::fromUtf8("姓名"), header));
        EXPECT_TRUE(book.writeString(1, 1, QStringLiteral("Code"), header));
        const QString name = QString::fromUtf8("张伟");
        EXPECT_TRUE(book.writeString(2, 0, name));
        EXPECT_TRUE(book.writeString(2, 1, QStringLiteral("0001")));
        EXPECT_TRUE(book.writeNumber(2, 2, 5200.5, money));
        EXPECT_TRUE(book.writeNumber(2, 3, 45352, date));
        EXPECT_TRUE(book.writeNumber(2, 4, 45976.395833333336, time));
        EXPECT_TRUE(book.writeBoolean(2, 5, true));
        EXPECT_TRUE(book.writeNumber(2, 6, -1234567890123.25));
        // Row 3: column 0 skipped (NULL), then values the compact number form cannot hold.
        EXPECT_TRUE(book.writeNumber(3, 1, 0.1));
        EXPECT_TRUE(book.writeNumber(3, 2, 1.0 / 3, fraction));
        EXPECT_TRUE(book.writeNumber(3, 3, -536870912.0));
        EXPECT_TRUE(book.writeNumber(3, 4, 12.34));
        EXPECT_TRUE(book.writeBoolean(3, 5, false));
        EXPECT_TRUE(book.writeNumber(3, 6, std::nan("")));
        EXPECT_TRUE(book.writeString(3, 7, QString(), money));
        EXPECT_TRUE(book.writeString(3, 8, QString::fromUtf8("Café ü")));

        book.addSheet(QStringLiteral("Sheet2"));
        EXPECT_TRUE(book.writeNumber(0, 0, 7));
        EXPECT_TRUE(book.close()) << book.error().toStdString();
    }
    EXPECT_TRUE(Qd::Test::isOwnerOnly(file));

    const QJsonObject book = readBook(file);
    EXPECT_EQ(book["log"].toString(), QString());
    EXPECT_EQ(book["datemode"].toInt(), 0);
    EXPECT_EQ(book["codepage"].toInt(), 1200);
    ASSERT_EQ(book["sheets"].toArray().size(), 2);
    const QJsonObject first = sheetOf(book, 0);
    EXPECT_EQ(first["name"].toString(), QString::fromUtf8("员工名单"));
    EXPECT_EQ(first["nrows"].toInt(), 4);
    EXPECT_EQ(first["ncols"].toInt(), 9);

    EXPECT_EQ(cell(first, 0, 0), QString::fromUtf8("text 基本信息 General bold"));
    EXPECT_EQ(cell(first, 2, 0), QString::fromUtf8("text 张伟 General"));
    EXPECT_EQ(cell(first, 2, 1), QString::fromUtf8("text 0001 General"));
    EXPECT_EQ(cell(first, 2, 2), QString::fromUtf8("number 5200.5 #,##0.00"));
    EXPECT_EQ(cell(first, 2, 3), QString::fromUtf8("date 45352 yyyy-mm-dd"));
    EXPECT_EQ(cell(first, 2, 4), QString::fromUtf8("date 45976.395833333336 yyyy-mm-dd hh:mm"));
    EXPECT_EQ(cell(first, 2, 5), QString::fromUtf8("boolean 1 General"));
    EXPECT_EQ(cell(first, 2, 6), QString::fromUtf8("number -1234567890123.25 General"));
    EXPECT_EQ(cell(first, 3, 0), QString::fromUtf8("empty  General"));
    EXPECT_EQ(cell(first, 3, 1), QString::fromUtf8("number 0.1 General"));
    EXPECT_EQ(cell(first, 3, 2), QString::fromUtf8("number 0.3333333333333333 0.000"));
    EXPECT_EQ(cell(first, 3, 3), QString::fromUtf8("number -536870912 General"));
    EXPECT_EQ(cell(first, 3, 5), QString::fromUtf8("boolean 0 General"));
    EXPECT_EQ(cell(first, 3, 6), QString::fromUtf8("error 36 General"));  // #NUM!
    EXPECT_EQ(cell(first, 3, 7), QString::fromUtf8("blank  #,##0.00"));
    EXPECT_EQ(cell(first, 3, 8), QString::fromUtf8("text Café ü General"));

    EXPECT_EQ(first["widths"].toObject()["0"].toInt(), 3968);  // 15.5 characters in 1/256
    EXPECT_EQ(first["widths"].toObject()["3"].toInt(), 2560);
    EXPECT_FALSE(first["widths"].toObject().contains("1"));
    EXPECT_EQ(QJsonDocument(first["merged"].toArray()).toJson(QJsonDocument::Compact),
              "[[0,1,0,2]]");
    EXPECT_TRUE(first["frozen"].toBool());
    EXPECT_EQ(first["frozen_rows"].toInt(), 2);

    const QJsonObject second = sheetOf(book, 1);
    EXPECT_EQ(second["name"].toString(), QStringLiteral("Sheet2"));
    EXPECT_EQ(cell(second, 0, 0), QStringLiteral("number 7 General"));
    EXPECT_FALSE(second["frozen"].toBool());
    EXPECT_TRUE(second["merged"].toArray().isEmpty());
}

TEST_F(XlsWorkbook, LongTextsCrossRecordBoundariesIntact) {
    // A text's characters differ along it, so a lost, doubled or misplaced piece shows.
    auto varied = [](int length, char16_t base, int span) {
        QString t(length, Qt::Uninitialized);
        for (int i = 0; i < length; ++i)
            t[i] = QChar(char16_t(base + i % span));
        return t;
    };
    const QString chinese = varied(9000, u'\u4E00', 2000);  // over two records of UTF-16
    const QString latin = varied(300, u'a', 26);            // the shared table's one-byte form
    const QString accented = varied(20000, u'\u00C0', 64);  // one byte a character, split
    const QString longest = varied(Xls::kMaxTextLength, u'\u4E00', 5000);
    const QString at255 = varied(255, u'\u4E00', 100);  // still a cell record of its own
    const QString file = path("long.xls");
    {
        Xls::Workbook book(file);
        book.addSheet(QStringLiteral("texts"));
        EXPECT_TRUE(book.writeString(0, 0, chinese));
        EXPECT_TRUE(book.writeString(0, 1, latin));
        EXPECT_TRUE(book.writeString(0, 2, at255));
        EXPECT_TRUE(book.writeString(0, 3, QStringLiteral("short")));
        // Many long texts in a row: the table spills to its temporary file and crosses records
        // with one-byte and two-byte texts alternating at the boundaries.
        for (int row = 1; row <= 40; ++row) {
            EXPECT_TRUE(book.writeString(row, 0, row % 2 ? accented : chinese));
            EXPECT_TRUE(book.writeString(row, 1, varied(256 + row * 37, u'A', 50)));
        }
        EXPECT_TRUE(book.writeString(41, 0, longest));
        EXPECT_FALSE(book.writeString(41, 1, longest + 'x'));
        EXPECT_TRUE(book.error().contains(QString::number(Xls::kMaxTextLength)));
        ASSERT_TRUE(book.close()) << book.error().toStdString();
    }
    const QJsonObject book = readBook(file);
    EXPECT_EQ(book["log"].toString(), QString());
    const QJsonObject sheet = sheetOf(book, 0);
    EXPECT_TRUE(text(sheet, 0, 0) == chinese);
    EXPECT_TRUE(text(sheet, 0, 1) == latin);
    EXPECT_TRUE(text(sheet, 0, 2) == at255);
    EXPECT_EQ(text(sheet, 0, 3), QStringLiteral("short"));
    for (int row = 1; row <= 40; ++row) {
        EXPECT_TRUE(text(sheet, row, 0) == (row % 2 ? accented : chinese)) << "row " << row;
        EXPECT_TRUE(text(sheet, row, 1) == varied(256 + row * 37, u'A', 50)) << "row " << row;
    }
    EXPECT_TRUE(text(sheet, 41, 0) == longest);
    EXPECT_EQ(cell(sheet, 41, 1), QStringLiteral("empty  General"));  // the refused text
}

TEST_F(XlsWorkbook, AFullSheetInAFileThatNeedsMoreSectorTables) {
    // Values with no short form, so that every cell takes its full size.
    auto value = [](int row, int column) { return row * 1.5 + column / 10.0 + 1e-7; };
    const QString file = path("full.xls");
    {
        Xls::Workbook book(file);
        book.addSheet(QString::fromUtf8("明细"));
        for (int row = 0; row < Xls::kMaxRows; ++row)
            for (int column = 0; column < 8; ++column)
                ASSERT_TRUE(book.writeNumber(row, column, value(row, column)));
        EXPECT_FALSE(book.writeNumber(Xls::kMaxRows, 0, 1));
        EXPECT_TRUE(book.error().contains("65537")) << book.error().toStdString();
        ASSERT_TRUE(book.close()) << book.error().toStdString();
    }
    // Over 109 sectors of the allocation table: the header's list of them is not enough.
    EXPECT_GT(QFileInfo(file).size(), 7 * 1024 * 1024);
    QFile raw(file);
    ASSERT_TRUE(raw.open(QIODevice::ReadOnly));
    const QByteArray header = raw.read(512);
    EXPECT_GT(qFromLittleEndian<quint32>(header.constData() + 44), 109u);  // table sectors
    EXPECT_GT(qFromLittleEndian<quint32>(header.constData() + 72), 0u);    // sectors listing them

    const QJsonObject book = readBook(file, 1);
    EXPECT_EQ(book["log"].toString(), QString());
    const QJsonObject sheet = sheetOf(book, 0);
    EXPECT_EQ(sheet["nrows"].toInt(), Xls::kMaxRows);
    EXPECT_EQ(sheet["ncols"].toInt(), 8);
    const QJsonObject cells = sheet["cells"].toObject();
    EXPECT_EQ(cells["0"][1][1].toDouble(), value(0, 1));
    EXPECT_EQ(cells["65535"][7][1].toDouble(), value(65535, 7));
}

// A workbook closed by its destructor with no sheet added still holds one, empty; its stream,
// too short for the regular sectors, is padded to 4,096 bytes.
TEST_F(XlsWorkbook, AWorkbookWithoutASheetGetsAnEmptyOne) {
    const QString noSheet = path("none.xls");
    { Xls::Workbook book(noSheet); }
    EXPECT_GE(QFileInfo(noSheet).size(), 512 + 4096);
    const QJsonObject book = readBook(noSheet);
    EXPECT_EQ(book["log"].toString(), QString());
    ASSERT_EQ(book["sheets"].toArray().size(), 1);
    EXPECT_EQ(sheetOf(book, 0)["nrows"].toInt(), 0);
}

// The globals are padded to whole sectors whatever their length: one more byte of number
// format at a time walks them through every remainder of the sector size.
TEST_F(XlsWorkbook, GlobalsOfEveryLengthReadBack) {
    QStringList files;
    for (int extra = 0; extra < 512; ++extra) {
        files << path("g") + QString::number(extra) + ".xls";
        Xls::Workbook book(files.back());
        const int a = book.addFormat(QString(std::min(extra, 250) + 1, QLatin1Char('0')));
        const int b = book.addFormat(QStringLiteral("0.") +
                                     QString(std::max(0, extra - 250) + 1, QLatin1Char('#')));
        book.addSheet(QStringLiteral("s"));
        EXPECT_TRUE(book.writeNumber(0, 0, extra, a));
        EXPECT_TRUE(book.writeNumber(0, 1, 0.5, b));
        ASSERT_TRUE(book.close());
    }
    const QJsonArray books = readBack(files, 1).array();
    ASSERT_EQ(books.size(), 512);
    for (int extra = 0; extra < 512; ++extra) {
        const QJsonObject book = books[extra].toObject();
        EXPECT_EQ(book["log"].toString(), QString()) << extra;
        EXPECT_EQ(sheetOf(book, 0)["cells"].toObject()["0"][0][1].toInt(), extra);
    }
}

TEST_F(XlsWorkbook, RefusedCallsLeaveTheWorkbookUsable) {
    const QString file = path("refused.xls");
    {
        Xls::Workbook book(file);
        EXPECT_FALSE(book.writeNumber(0, 0, 1));  // no sheet yet
        EXPECT_FALSE(book.error().isEmpty());
        book.addSheet(QStringLiteral("s"));
        EXPECT_TRUE(book.writeNumber(1, 1, 1));
        EXPECT_FALSE(book.writeNumber(1, 1, 2));  // the same cell again
        EXPECT_FALSE(book.writeNumber(1, 0, 2));  // behind the last cell of the row
        EXPECT_FALSE(book.writeNumber(0, 5, 2));  // a row above
        EXPECT_FALSE(book.writeNumber(2, Xls::kMaxColumns, 2));
        EXPECT_FALSE(book.writeBoolean(2, -1, true));
        EXPECT_FALSE(book.writeString(2, 0, QStringLiteral("x"), 3));  // no such format
        book.setColumnWidth(0, 30);                                    // after the first cell
        book.mergeCells(2, 3, 1, 3);                                   // upside down
        EXPECT_TRUE(book.error().contains(QString::fromUtf8("合并")));
        EXPECT_TRUE(book.ok());
        EXPECT_TRUE(book.writeNumber(2, 0, 3));
        EXPECT_TRUE(book.close()) << book.error().toStdString();
    }
    const QJsonObject sheet = sheetOf(readBook(file), 0);
    EXPECT_EQ(sheet["nrows"].toInt(), 3);
    EXPECT_EQ(sheet["ncols"].toInt(), 2);
    EXPECT_EQ(cell(sheet, 1, 1), QStringLiteral("number 1 General"));
    EXPECT_EQ(cell(sheet, 2, 0), QStringLiteral("number 3 General"));
    EXPECT_TRUE(sheet["widths"].toObject().isEmpty());
    EXPECT_TRUE(sheet["merged"].toArray().isEmpty());
}

TEST_F(XlsWorkbook, AFileThatCannotBeWrittenIsNamed) {
    const QString file = Qd::Test::unwritableFolder(dir.path()) + QStringLiteral("/导出.xls");
    Xls::Workbook book(file);
    EXPECT_FALSE(book.ok());
    EXPECT_TRUE(book.error().contains(QString::fromUtf8("导出.xls"))) << book.error().toStdString();
    book.addSheet(QStringLiteral("s"));
    EXPECT_FALSE(book.writeNumber(0, 0, 1));
    EXPECT_FALSE(book.close());
    EXPECT_FALSE(QFileInfo::exists(file));
}
