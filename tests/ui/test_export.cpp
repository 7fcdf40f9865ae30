// The exporter: one grid (bands, a lookup, money, dates, checks, footer summaries, and the values
// that break files: Chinese, quotes, commas, line breaks, markup, 40,000 characters, NULLs, a
// date of 1899) written in every format and read back: csv byte for byte, html as XML, xlsx by
// xlrd. Then what must leave nothing behind: cancelling, a target that cannot be written, a
// closed record set; and the progress window.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QThread>
#include <QXmlStreamReader>

#include "base/OwnerOnly.h"
#include "support/Render.h"
#include "support/TestEnv.h"
#include "ui/export/Export.h"
#include "ui/export/ExportProgress.h"
#include "ui/export/SheetWriter.h"
#include "ui/grid/Grid.h"

using namespace Qd::Core;
using Ui::ExportFormat;
using Ui::ExportOutcome;

static void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}

namespace {

const QString kLong(40000, QChar(0x957F));  // 长

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Every sheet of a workbook as xlrd reads it: name, merged ranges, column widths (xls) and cells
// as [type, value] (xlrd's types: 0 empty, 1 text, 2 number, 3 date, 4 boolean), and the number
// formats it holds.
QJsonObject readWorkbook(const QString& path) {
    static const char* script = R"py(
import json, sys, xlrd
xls = sys.argv[1].endswith(".xls")  # xlrd reads formatting (merges, widths) of xls only
book = xlrd.open_workbook(sys.argv[1], formatting_info=xls)
out = {"sheets": [], "formats": [f.format_str for f in book.format_map.values()]}
for s in book.sheets():
    out["sheets"].append({"name": s.name, "merged": [list(m) for m in s.merged_cells],
        "widths": [s.colinfo_map[c].width if c in s.colinfo_map else 0 for c in range(s.ncols)],
        "rows": [[[c.ctype, c.value] for c in s.row(r)] for r in range(s.nrows)]})
print(json.dumps(out))
)py";
    QProcess p;
    p.start(QStringLiteral("/usr/bin/python3"), {QStringLiteral("-c"), script, path});
    EXPECT_TRUE(p.waitForFinished(60000));
    const QByteArray err = p.readAllStandardError();
    EXPECT_EQ(p.exitCode(), 0) << err.toStdString();
    return QJsonDocument::fromJson(p.readAllStandardOutput()).object();
}

// A cell of a workbook read by readWorkbook: its type and its value.
struct SheetCell {
    int type;
    QJsonValue value;
};
SheetCell cellAt(const QJsonObject& sheet, int row, int column) {
    const QJsonArray c = sheet["rows"].toArray()[row].toArray()[column].toArray();
    return {c[0].toInt(), c[1]};
}

// The html page as rows of cell texts per section ("thead", "tbody", "tfoot"), each cell written
// "text" or "text|colspan" or "text|n" for a number cell; the title apart.
struct Page {
    QString title;
    QMap<QString, QList<QStringList>> rows;
    bool wellFormed = false;
};
Page readPage(const QString& path) {
    QFile f(path);
    Page page;
    if (!f.open(QIODevice::ReadOnly))
        return page;
    QXmlStreamReader xml(&f);
    QString section;
    while (!xml.atEnd()) {
        xml.readNext();
        if (!xml.isStartElement())
            continue;
        const QString name = xml.name().toString();
        if (name == QLatin1String("title")) {
            page.title = xml.readElementText();
        } else if (name == QLatin1String("thead") || name == QLatin1String("tbody") ||
                   name == QLatin1String("tfoot")) {
            section = name;
        } else if (name == QLatin1String("tr")) {
            page.rows[section].append(QStringList());
        } else if (name == QLatin1String("td") || name == QLatin1String("th")) {
            QString mark;
            if (xml.attributes().hasAttribute(QStringLiteral("colspan")))
                mark =
                    QLatin1Char('|') + xml.attributes().value(QStringLiteral("colspan")).toString();
            if (xml.attributes().value(QStringLiteral("class")) == QLatin1String("n"))
                mark = QStringLiteral("|n");
            page.rows[section].last().append(xml.readElementText() + mark);
        }
    }
    page.wellFormed = !xml.hasError();
    EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString();
    return page;
}

// A progress that cancels once `cancelAt` rows are written, recording what it was told.
class CancellingProgress : public Ui::IExportProgress {
public:
    explicit CancellingProgress(int cancelAt) : m_cancelAt(cancelAt) {
        m_previous = Ui::setExportProgress(this);
    }
    ~CancellingProgress() override { Ui::setExportProgress(m_previous); }
    void begin(const QString&, int rows) override {
        total = rows;
        ++begun;
    }
    bool advance(int done) override {
        reported.push_back(done);
        return done < m_cancelAt;
    }
    void end() override { ++ended; }

    int total = 0, begun = 0, ended = 0;
    std::vector<int> reported;

private:
    int m_cancelAt;
    Ui::IExportProgress* m_previous;
};

class Export : public Qd::Test::DbTest {
protected:
    void SetUp() override {
        DbTest::SetUp();
        ASSERT_TRUE(db().execSQL(
            "create table stores(id int, name nvarchar(20))\n"
            "insert into stores values (1, N'总店')\n"
            "insert into stores values (2, N'东城分店')\n"
            "create table orders(id int, name nvarchar(max), store int, amount money, "
            "made datetime, paid bit, memo nvarchar(20))\n"
            "insert into orders values (1, N'张伟', 2, 1234.5, '2024-03-01 09:30', 1, '=1+2')\n"
            "insert into orders values (2, N'He said \"hi\", ok', 1, -56.78, "
            "'1899-12-31 08:00', 0, '-5')\n"
            "insert into orders values (3, N'line1\nline2', null, null, null, null, '@x')\n"
            "insert into orders values (4, N'<script>alert(1)</script>', 2, 0, "
            "'2025-11-15', 1, null)\n"
            "insert into orders values (5, N'" +
            kLong + "', null, null, null, null, null)"));
        ASSERT_TRUE(db().openDataToCDS(stores, "select * from stores"));
        ASSERT_TRUE(db().openDataToCDS(rs, "select * from orders order by id"));
        view.setRecordSet(&rs);
        const int basic = view.addBand(QStringLiteral("基本信息"));
        const int money = view.addBand(QStringLiteral("金额"));
        Ui::GridColumn* id = add("id", "序号", 50, basic);
        id->footerKind = Ui::SummaryKind::Count;
        add("name", "名称", 160, basic);
        Ui::GridColumn* store = add("store", "门店", 90, basic);
        store->props.kind = Ui::EditorKind::LookupCombo;
        store->props.listSource = &stores;
        store->props.keyField = "id";
        store->props.listFields = "name";
        Ui::GridColumn* amount = add("amount", "金额", 100, money);
        amount->props.kind = Ui::EditorKind::Money;
        amount->props.displayFormat = "#,##0.00";
        amount->footerKind = Ui::SummaryKind::Sum;
        amount->footerFormat = "#,##0.00";
        add("made", "下单时间", 120, money)->props.displayFormat = "yyyy-mm-dd hh:MM";
        add("paid", "已付", 40)->props.kind = Ui::EditorKind::Check;
        add("memo", "备注", 80);
        view.applyColumns();
    }

    Ui::GridColumn* add(const char* field, const char* caption, int width, int band = -1) {
        Ui::GridColumn* c = view.addColumn(QStringLiteral("tv") + field);
        c->fieldName = field;
        c->caption = QString::fromUtf8(caption);
        c->width = width;
        c->band = band;
        return c;
    }

    ExportOutcome write(const QString& file, ExportFormat format, Ui::ExportOptions options = {}) {
        options.showProgress = false;
        error.clear();
        return Ui::exportGrid(view, dir.filePath(file), format, &error, options);
    }

    // The files in the export folder, hidden ones (a temporary file) included.
    QStringList files() const {
        return QDir(dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot);
    }

    Db::RecordSet rs, stores;
    Ui::GridView view{"tvOrders"};
    QTemporaryDir dir;
    QString error;
};

}  // namespace

// ---- the formats --------------------------------------------------------------------------------

TEST_F(Export, CsvIsPlainValuesByteForByte) {
    ASSERT_EQ(write("订单明细表.csv", ExportFormat::Csv), ExportOutcome::Written)
        << error.toStdString();
    const QByteArray expected =
        QStringLiteral(
            "\uFEFF序号,名称,门店,金额,下单时间,已付,备注\r\n"
            "1,张伟,东城分店,1234.50,2024-03-01 09:30,1,'=1+2\r\n"
            "2,\"He said \"\"hi\"\", ok\",总店,-56.78,1899-12-31 08:00,0,'-5\r\n"
            "3,\"line1\nline2\",,,,,'@x\r\n"
            "4,<script>alert(1)</script>,东城分店,0.00,2025-11-15 00:00,1,\r\n"
            "5,%1,,,,,\r\n")
            .arg(kLong)
            .toUtf8();
    EXPECT_EQ(readAll(dir.filePath("订单明细表.csv")), expected);
    EXPECT_TRUE(Qd::Test::isOwnerOnly(dir.filePath("订单明细表.csv")));
}

TEST_F(Export, HtmlIsOneWellFormedTableWithBandsAndFooter) {
    ASSERT_EQ(write("订单明细表.html", ExportFormat::Html), ExportOutcome::Written)
        << error.toStdString();
    const QByteArray bytes = readAll(dir.filePath("订单明细表.html"));
    EXPECT_TRUE(bytes.contains("<meta charset=\"utf-8\"/>"));
    EXPECT_TRUE(bytes.contains("&lt;script&gt;alert(1)&lt;/script&gt;"));
    EXPECT_FALSE(bytes.contains("<script>"));
    EXPECT_TRUE(bytes.contains("<col style=\"width: 160px\"/>"));

    const Page page = readPage(dir.filePath("订单明细表.html"));
    ASSERT_TRUE(page.wellFormed);
    EXPECT_EQ(page.title, QStringLiteral("订单明细表"));
    const QList<QStringList> head = page.rows["thead"];
    ASSERT_EQ(head.size(), 2);
    EXPECT_EQ(head[0].join(u';'), QStringLiteral("基本信息|3;金额|2;;"));
    EXPECT_EQ(head[1].join(u';'), QStringLiteral("序号;名称;门店;金额;下单时间;已付;备注"));
    const QList<QStringList> body = page.rows["tbody"];
    ASSERT_EQ(body.size(), 5);
    EXPECT_EQ(body[0].join(u';'),
              QStringLiteral("1|n;张伟;东城分店;1,234.50|n;2024-03-01 09:30;是;=1+2"));
    EXPECT_EQ(body[1].join(u';'),
              QStringLiteral("2|n;He said \"hi\", ok;总店;-56.78|n;1899-12-31 08:00;否;-5"));
    EXPECT_EQ(body[2].join(u';'), QStringLiteral("3|n;line1\nline2;;;;;@x"));
    EXPECT_EQ(body[4][1], kLong);
    ASSERT_EQ(page.rows["tfoot"].size(), 1);
    EXPECT_EQ(page.rows["tfoot"][0].join(u';'), QStringLiteral("5|n;;;1,177.72|n;;;"));
}

TEST_F(Export, WorkbooksKeepKindsFormatsBandsAndFooterAsXlrdReadsThem) {
    for (const auto& [name, format] : {std::pair{"订单明细表.xlsx", ExportFormat::Xlsx},
                                       std::pair{"订单明细表.xls", ExportFormat::Xls}}) {
        SCOPED_TRACE(name);
        ASSERT_EQ(write(QString::fromUtf8(name), format), ExportOutcome::Written)
            << error.toStdString();
        const QJsonObject book = readWorkbook(dir.filePath(QString::fromUtf8(name)));
        const QJsonArray sheets = book["sheets"].toArray();
        ASSERT_EQ(sheets.size(), 1);
        const QJsonObject sheet = sheets[0].toObject();
        EXPECT_EQ(sheet["name"].toString(), QStringLiteral("订单明细表"));
        // Bands merged over their columns (rows 0..1, columns 0..3 and 3..5), captions under.
        EXPECT_EQ(QJsonDocument(sheet["merged"].toArray()).toJson(QJsonDocument::Compact),
                  "[[0,1,0,3],[0,1,3,5]]");
        EXPECT_EQ(cellAt(sheet, 0, 0).value.toString(), QStringLiteral("基本信息"));
        EXPECT_EQ(cellAt(sheet, 1, 4).value.toString(), QStringLiteral("下单时间"));
        // Kinds: number, text, lookup text, money, date with its time, boolean; text as stored.
        EXPECT_EQ(cellAt(sheet, 2, 0).type, 2);
        EXPECT_EQ(cellAt(sheet, 2, 1).value.toString(), QStringLiteral("张伟"));
        EXPECT_EQ(cellAt(sheet, 2, 2).value.toString(), QStringLiteral("东城分店"));
        EXPECT_EQ(cellAt(sheet, 2, 3).value.toDouble(), 1234.5);
        EXPECT_EQ(cellAt(sheet, 2, 4).type, 3);
        EXPECT_NEAR(cellAt(sheet, 2, 4).value.toDouble(), 45352 + 9.5 / 24, 1e-9);
        EXPECT_EQ(cellAt(sheet, 2, 5).type, 4);
        EXPECT_EQ(cellAt(sheet, 2, 6).value.toString(), QStringLiteral("=1+2"));
        EXPECT_EQ(cellAt(sheet, 3, 6).type, 1);  // text that reads as a number stays text
        EXPECT_EQ(cellAt(sheet, 3, 3).value.toDouble(), -56.78);
        // A date no serial number holds goes out as text; NULL as an empty cell.
        EXPECT_EQ(cellAt(sheet, 3, 4).type, 1);
        EXPECT_EQ(cellAt(sheet, 3, 4).value.toString(), QStringLiteral("1899-12-31 08:00"));
        EXPECT_EQ(cellAt(sheet, 4, 1).value.toString(), QStringLiteral("line1\nline2"));
        EXPECT_EQ(cellAt(sheet, 4, 3).type, 0);
        EXPECT_EQ(cellAt(sheet, 5, 1).value.toString(),
                  QStringLiteral("<script>alert(1)</script>"));
        // Text beyond what a cell holds is cut there, and the trace says so.
        EXPECT_EQ(cellAt(sheet, 6, 1).value.toString(), kLong.left(Ui::Internal::kMaxTextLength));
        EXPECT_TRUE(traced().contains(QStringLiteral("已截断")));
        // The footer: values, not formulas.
        EXPECT_EQ(cellAt(sheet, 7, 0).value.toDouble(), 5);
        EXPECT_NEAR(cellAt(sheet, 7, 3).value.toDouble(), 1177.72, 1e-9);
        EXPECT_EQ(sheet["rows"].toArray().size(), 8);
        const QJsonArray formats = book["formats"].toArray();
        EXPECT_TRUE(formats.contains(QStringLiteral("#,##0.00")));
        EXPECT_TRUE(formats.contains(QStringLiteral("yyyy-mm-dd hh:mm")));
        if (format == ExportFormat::Xls) {  // 160 pixels, in 1/256 of a character
            EXPECT_NEAR(sheet["widths"].toArray()[1].toDouble() / 256, (160 - 5) / 7.0, 0.01);
        }
    }
    // xlsx widths and frozen rows, as the sheet itself holds them.
    QProcess unzip;
    unzip.start(QStringLiteral("unzip"),
                {"-p", dir.filePath("订单明细表.xlsx"), "xl/worksheets/sheet1.xml"});
    unzip.waitForFinished(30000);
    const QString xml = QString::fromUtf8(unzip.readAllStandardOutput());
    EXPECT_TRUE(xml.contains(QStringLiteral("<col min=\"2\" max=\"2\" width=\"22.85")));
    EXPECT_TRUE(xml.contains(QStringLiteral("<pane ySplit=\"2\"")));

    // The shown columns in the grid's order, whatever the fields' order; a hidden one left out.
    view.clearColumns();
    add("name", "名称", 160);
    add("id", "序号", 50);
    add("memo", "备注", 80)->visible = false;
    view.applyColumns();
    ASSERT_EQ(write("两列.xlsx", ExportFormat::Xlsx), ExportOutcome::Written);
    const QJsonObject two =
        readWorkbook(dir.filePath("两列.xlsx"))["sheets"].toArray()[0].toObject();
    EXPECT_EQ(two["rows"].toArray()[1].toArray().size(), 2);  // under the (empty) band row
    EXPECT_EQ(cellAt(two, 1, 0).value.toString(), QStringLiteral("名称"));
    EXPECT_EQ(cellAt(two, 2, 0).value.toString(), QStringLiteral("张伟"));
    EXPECT_EQ(cellAt(two, 2, 1).value.toDouble(), 1);
    EXPECT_TRUE(Qd::Test::isOwnerOnly(dir.filePath("两列.xlsx")));
}

TEST_F(Export, XlsContinuesAtItsRealLimitAndRefusesMoreThan256Columns) {
    // 65,536 rows: 65,535 under the header row of the first sheet, one on the second.
    Db::RecordSet rows;
    rows.addField("n", Db::FieldType::Integer);
    for (int i = 0; i < 65536; ++i)
        rows.setIntAt(rows.loadRow(), 0, i + 1);
    rows.open();
    const QString file = dir.filePath("流水.xls");
    ASSERT_EQ(
        Ui::exportRecordSet(rows, {{"n", QStringLiteral("序号")}}, file, ExportFormat::Xls, &error),
        ExportOutcome::Written)
        << error.toStdString();
    const QJsonArray sheets = readWorkbook(file)["sheets"].toArray();
    ASSERT_EQ(sheets.size(), 2);
    EXPECT_EQ(sheets[0].toObject()["rows"].toArray().size(), 65536);
    EXPECT_EQ(cellAt(sheets[0].toObject(), 65535, 0).value.toDouble(), 65535);
    EXPECT_EQ(sheets[1].toObject()["name"].toString(), QStringLiteral("流水 (2)"));
    EXPECT_EQ(cellAt(sheets[1].toObject(), 0, 0).value.toString(), QStringLiteral("序号"));
    EXPECT_EQ(cellAt(sheets[1].toObject(), 1, 0).value.toDouble(), 65536);

    QList<Ui::ExportField> wide;
    for (int i = 0; i < 257; ++i)
        wide.push_back({"n", QStringLiteral("列%1").arg(i)});
    EXPECT_EQ(Ui::exportRecordSet(rows, wide, dir.filePath("宽.xls"), ExportFormat::Xls, &error),
              ExportOutcome::Failed);
    EXPECT_EQ(error, QStringLiteral("共 257 列，超过 xls 工作表的上限 256 列，请导出为 xlsx"));
    EXPECT_EQ(files(), QStringList{QStringLiteral("流水.xls")});
}

TEST_F(Export, AFullSheetContinuesOnAFurtherOneWithTheHeaderRepeated) {
    Ui::ExportOptions options;
    options.sheetRows = 2;
    const QString title = QStringLiteral("订单明细表").repeated(6);  // 30 characters
    ASSERT_EQ(write(title + ".xlsx", ExportFormat::Xlsx, options), ExportOutcome::Written)
        << error.toStdString();
    const QJsonArray sheets = readWorkbook(dir.filePath(title + ".xlsx"))["sheets"].toArray();
    // Five rows, two a sheet; the names within 31 characters.
    ASSERT_EQ(sheets.size(), 3);
    QStringList names, firstIds;
    for (const QJsonValue& s : sheets) {
        const QJsonObject sheet = s.toObject();
        names << sheet["name"].toString();
        EXPECT_EQ(cellAt(sheet, 0, 0).value.toString(), QStringLiteral("基本信息"));
        EXPECT_EQ(cellAt(sheet, 1, 0).value.toString(), QStringLiteral("序号"));
        firstIds << QString::number(cellAt(sheet, 2, 0).value.toDouble());
    }
    EXPECT_EQ(names, (QStringList{title, title.left(27) + " (2)", title.left(27) + " (3)"}));
    EXPECT_EQ(firstIds, (QStringList{"1", "3", "5"}));
    EXPECT_NEAR(cellAt(sheets[2].toObject(), 3, 3).value.toDouble(), 1177.72, 1e-9);

    // The footer after a full sheet goes on a further one, under the header.
    options.sheetRows = 5;
    ASSERT_EQ(write("满.xlsx", ExportFormat::Xlsx, options), ExportOutcome::Written);
    const QJsonArray full = readWorkbook(dir.filePath("满.xlsx"))["sheets"].toArray();
    ASSERT_EQ(full.size(), 2);
    EXPECT_EQ(full[0].toObject()["rows"].toArray().size(), 7);
    const QJsonObject last = full[1].toObject();
    EXPECT_EQ(last["rows"].toArray().size(), 3);
    EXPECT_EQ(cellAt(last, 1, 3).value.toString(), QStringLiteral("金额"));
    EXPECT_NEAR(cellAt(last, 2, 3).value.toDouble(), 1177.72, 1e-9);
}

TEST(ExportSheetNames, FromTheFileNameWithinTheRules) {
    using Ui::Internal::sheetName;
    EXPECT_EQ(sheetName(QStringLiteral("a:b\\c/d?e*f[g]"), 1), QStringLiteral("abcdefg"));
    EXPECT_EQ(sheetName(QStringLiteral("'quoted'"), 1), QStringLiteral("quoted"));
    EXPECT_EQ(sheetName(QStringLiteral("[]"), 12), QStringLiteral("Sheet (12)"));
    EXPECT_EQ(sheetName(QString(40, QLatin1Char('x')), 10),
              QString(26, QLatin1Char('x')) + " (10)");
    // A character outside the basic plane is not cut in half.
    const QString wide = QString(30, QLatin1Char('x')) + QStringLiteral("𠀀𠀀");
    EXPECT_EQ(sheetName(wide, 1), QString(30, QLatin1Char('x')));
}

TEST_F(Export, NoColumnGivesFilesWithoutDataThatReadersOpen) {
    for (Ui::GridColumn* c : view.columns())
        c->visible = false;
    view.applyColumns();
    ASSERT_EQ(write("空.csv", ExportFormat::Csv), ExportOutcome::Written);
    EXPECT_EQ(readAll(dir.filePath("空.csv")), QByteArray("\xEF\xBB\xBF"));
    ASSERT_EQ(write("空.html", ExportFormat::Html), ExportOutcome::Written);
    const Page page = readPage(dir.filePath("空.html"));
    EXPECT_TRUE(page.wellFormed);
    EXPECT_TRUE(page.rows["tbody"].isEmpty());
    for (const char* name : {"空.xlsx", "空.xls"}) {
        ExportFormat format;
        ASSERT_TRUE(Ui::exportFormatOf(QString::fromUtf8(name), &format));
        ASSERT_EQ(write(QString::fromUtf8(name), format), ExportOutcome::Written) << name;
        const QJsonArray sheets =
            readWorkbook(dir.filePath(QString::fromUtf8(name)))["sheets"].toArray();
        ASSERT_EQ(sheets.size(), 1);
        EXPECT_TRUE(sheets[0].toObject()["rows"].toArray().isEmpty());
    }
}

// ---- what leaves nothing behind ---------------------------------------------------------------

TEST_F(Export, CancelAtARowLeavesNoFileAndTheOldOneUntouched) {
    // Enough rows for several reports: 1,000 of them.
    Db::RecordSet many;
    many.addField("n", Db::FieldType::Integer);
    many.addField("t", Db::FieldType::Text);
    many.createDataSet();
    for (int i = 0; i < 1000; ++i) {
        many.append();
        many.field(0).setValue(i);
        many.field(1).setValue(QStringLiteral("第%1行").arg(i));
        many.post();
    }
    const QList<Ui::ExportField> fields{{"n", QStringLiteral("序号")},
                                        {"t", QStringLiteral("文本")}};
    for (const auto& [name, format] :
         {std::pair{"旧.xlsx", ExportFormat::Xlsx}, std::pair{"旧.csv", ExportFormat::Csv},
          std::pair{"旧.html", ExportFormat::Html}}) {
        SCOPED_TRACE(name);
        const QString target = dir.filePath(QString::fromUtf8(name));
        ASSERT_TRUE(Sys::writeOwnerOnlyFile(target, QByteArray("the old file")));
        CancellingProgress progress(512);
        EXPECT_EQ(Ui::exportRecordSet(many, fields, target, format, &error),
                  ExportOutcome::Cancelled);
        EXPECT_EQ(progress.total, 1000);
        EXPECT_EQ(progress.reported, (std::vector<int>{256, 512}));
        EXPECT_EQ(progress.ended, 1);
        EXPECT_EQ(readAll(target), QByteArray("the old file"));
        EXPECT_EQ(files(), QStringList{QString::fromUtf8(name)});
        QFile::remove(target);

        // Not cancelled: the progress hears of every 256 rows, and the file replaces none.
        CancellingProgress patient(100000);
        EXPECT_EQ(Ui::exportRecordSet(many, fields, target, format, &error),
                  ExportOutcome::Written);
        EXPECT_EQ(patient.reported, (std::vector<int>{256, 512, 768}));
        EXPECT_EQ(files(), QStringList{QString::fromUtf8(name)});
        QFile::remove(target);
    }
}

TEST_F(Export, ATargetThatCannotBeWrittenIsNamedWithTheSystemsReason) {
    for (const auto& [name, format] :
         {std::pair{"订单.xlsx", ExportFormat::Xlsx}, std::pair{"订单.csv", ExportFormat::Csv},
          std::pair{"订单.html", ExportFormat::Html}}) {
        SCOPED_TRACE(name);
        const QString missing = QStringLiteral("无此目录/") + QString::fromUtf8(name);
        EXPECT_EQ(write(missing, format), ExportOutcome::Failed);
        EXPECT_EQ(error, QStringLiteral("无法写入文件“%1”：No such file or directory")
                             .arg(dir.filePath(missing)));
        // A folder standing where the file would go.
        ASSERT_TRUE(QDir(dir.path()).mkdir(QString::fromUtf8(name)));
        EXPECT_EQ(write(QString::fromUtf8(name), format), ExportOutcome::Failed);
        EXPECT_TRUE(error.endsWith(QStringLiteral("：Is a directory"))) << error.toStdString();
        EXPECT_TRUE(files().isEmpty()) << files().join(' ').toStdString();
        QDir(dir.path()).rmdir(QString::fromUtf8(name));
    }
}

TEST_F(Export, AClosedRecordSetIsAnInvalidSource) {
    rs.close();
    EXPECT_EQ(write("订单.xlsx", ExportFormat::Xlsx), ExportOutcome::Failed);
    EXPECT_EQ(error, QStringLiteral("无效数据源"));
    EXPECT_TRUE(files().isEmpty());
}

// ---- progress ---------------------------------------------------------------------------------

TEST_F(Export, TheProgressWindowShowsAfterATenthOfASecondAndItsButtonCancels) {
    Ui::IExportProgress& progress = Ui::exportProgress();
    progress.begin(dir.filePath("订单明细表.xlsx"), 1000000);
    EXPECT_TRUE(progress.advance(256));  // too soon: no window, no events
    QWidget* window = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets())
        window = w->objectName() == QLatin1String("exportProgress") ? w : window;
    EXPECT_EQ(window, nullptr);
    QThread::msleep(110);
    EXPECT_TRUE(progress.advance(361472));
    for (QWidget* w : QApplication::topLevelWidgets())
        window = w->objectName() == QLatin1String("exportProgress") && w->isVisible() ? w : window;
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->findChild<QLabel*>("count")->text(), QStringLiteral("361472 / 1000000 行"));
    Qd::Test::keepRender(*window, QStringLiteral("export_progress.png"));
    window->findChild<QPushButton*>("cancel")->click();
    QThread::msleep(110);
    EXPECT_FALSE(progress.advance(361728));
    progress.end();
}
