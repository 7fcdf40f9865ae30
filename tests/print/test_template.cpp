// Report templates: the model's lookups, names and validation, and the template file read back
// and written again.
#include <gtest/gtest.h>

#include <QBuffer>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>

#include "print/engine/TemplateFile.h"
#include "support/TestEnv.h"

using namespace Qd::Print;

namespace {

QByteArray smallPng() {
    QImage image(4, 3, QImage::Format_ARGB32);
    image.fill(QColor(200, 30, 30, 128));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

ReportObject text(const QString& name, QRectF rect, const QString& content) {
    return {name, rect, TextObject{.text = content}};
}

// A sales bill with every band kind and every object kind, most properties off their defaults.
ReportTemplate salesBill() {
    ReportTemplate t;
    t.name = QStringLiteral("销售单");
    t.page.setCustomSize(139.7, 241);
    t.page.orientation = Orientation::Landscape;
    t.page.margins = {5, 6.5, 5, 8};
    t.datasets = {QStringLiteral("表头数据"), QStringLiteral("明细数据")};
    t.variables = {{QStringLiteral("公司"),
                    {{QStringLiteral("company"), QStringLiteral("'上海“鼎新”总店'")},
                     {QStringLiteral("taxRate"), QStringLiteral("0.13")}}},
                   {QStringLiteral("空类"), {}}};
    t.functions = {{QStringLiteral("function MoneyCn(x: Double): String"), QStringLiteral("金额"),
                    QStringLiteral("金额的中文大写")}};

    TextObject title{.text = QStringLiteral("[company] 销售单\n\"第二行\"\t\\ \x01"),
                     .font = {QStringLiteral("微软雅黑"), 16.5, true, true, true},
                     .color = QColor(0x12, 0x34, 0x56),
                     .hAlign = HAlign::Center,
                     .vAlign = VAlign::Bottom,
                     .wordWrap = false,
                     .canGrow = true,
                     .border = {LeftSide | BottomSide, 0.5, QColor(255, 0, 0, 100), LineStyle::Dot},
                     .fill = QColor(Qt::yellow),
                     .displayFormat = QStringLiteral("#,##0.00")};
    const QString billNo = QStringLiteral("[表头数据.\"billno\"]");
    t.bands = {
        {.kind = BandKind::ReportTitle,
         .name = "ReportTitle1",
         .heightMm = 20,
         .objects = {{QStringLiteral("Memo1"), QRectF(0, 0, 150, 12), title}}},
        {.kind = BandKind::PageHeader,
         .name = "PageHeader1",
         .heightMm = 8,
         .objects = {{QStringLiteral("Line1"), QRectF(100, 7, -100, 0), LineObject{}},
                     {QStringLiteral("Line2"), QRectF(0, 0, 30, 7.5),
                      LineObject{1.25, QColor(Qt::blue), LineStyle::DashDot}}}},
        {.kind = BandKind::MasterData,
         .name = "MasterData1",
         .heightMm = 30,
         .dataset = QStringLiteral("表头数据"),
         .canGrow = true,
         .canShrink = true,
         .keepTogether = true,
         .startNewPage = true,
         .objects = {{QStringLiteral("Barcode1"), QRectF(0, 0, 60, 15),
                      BarcodeObject{billNo, false}},
                     {QStringLiteral("Picture1"), QRectF(200, 0, 31, 30),
                      PictureObject{smallPng(), false, false}}}},
        {.kind = BandKind::GroupHeader,
         .name = "GroupHeader1",
         .heightMm = 6,
         .condition = QStringLiteral("[明细数据.\"lb\"]"),
         .keepTogether = true},
        {.kind = BandKind::DetailData,
         .name = "DetailData1",
         .heightMm = 6,
         .dataset = QStringLiteral("明细数据"),
         .masterKey = QStringLiteral("orgid;billno"),
         .detailKey = QStringLiteral("orgid; djbh"),
         .canGrow = true,
         .objects = {text(QStringLiteral("Memo2"), QRectF(0, 0, 40, 6),
                          QStringLiteral("[明细数据.\"spmc\"]"))}},
        {.kind = BandKind::GroupFooter,
         .name = "GroupFooter1",
         .heightMm = 6,
         .objects = {{QStringLiteral("Shape1"), QRectF(0, 0, 231, 6),
                      RectangleObject{{TopSide, 0.3, QColor(Qt::gray), LineStyle::Double},
                                      QColor(240, 240, 240)}}}},
        {.kind = BandKind::ColumnFooter, .name = "ColumnFooter1", .heightMm = 5},
        {.kind = BandKind::ReportSummary,
         .name = "ReportSummary1",
         .heightMm = 10,
         .startNewPage = true,
         .objects = {text(QStringLiteral("Memo3"), QRectF(0, 0, 231, 10),
                          QStringLiteral("合计：[MoneyCn(SUM([明细数据.\"je\"]))]"))}},
        {.kind = BandKind::PageFooter,
         .name = "PageFooter1",
         .heightMm = 5,
         .objects = {text(QStringLiteral("Memo4"), QRectF(0, 0, 50, 5),
                          QStringLiteral("第 [Page#] 页 共 [TotalPages#] 页"))}},
    };
    return t;
}

QByteArray readAll(const QString& path) {
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
    return file.readAll();
}

// The reason of the error reading `json`, or "(read)" when it reads.
QString readError(const QByteArray& json, const QString& source = {}) {
    try {
        TemplateFile::fromBytes(json, source);
        return QStringLiteral("(read)");
    } catch (const TemplateError& e) {
        return e.message();
    }
}

QString describe(const std::vector<TemplateProblem>& problems) {
    QStringList lines;
    for (const TemplateProblem& p : problems)
        lines << p.where + QStringLiteral(": ") + p.message;
    return lines.join(QLatin1Char('\n'));
}

TEST(TemplateFile, RoundTripKeepsEveryBandAndObjectKindByteForByte) {
    // Given a template with every kind of band and object, saved under a name of its own
    const ReportTemplate original = salesBill();
    ASSERT_EQ(describe(original.validate()), QString());
    QTemporaryDir dir;
    const QString first = dir.filePath(QStringLiteral("单据.fr3"));
    const QString second = dir.filePath(QStringLiteral("单据-副本.json"));
    TemplateFile::save(original, first);

    // When it is loaded and saved again
    const ReportTemplate loaded = TemplateFile::load(first);
    TemplateFile::save(loaded, second);

    // Then the model is the same and so are the bytes
    EXPECT_EQ(loaded, original);
    EXPECT_EQ(loaded.bands.at(2).objects.at(1), original.bands.at(2).objects.at(1));  // picture
    EXPECT_EQ(readAll(second), readAll(first));
    EXPECT_EQ(TemplateFile::toBytes(loaded), readAll(first));
    EXPECT_EQ(TemplateFile::fromBytes(TemplateFile::toBytes(original)), original);

    // Saving over an existing file replaces it
    ReportTemplate renamed = original;
    renamed.name = QStringLiteral("退货单");
    TemplateFile::save(renamed, first);
    EXPECT_EQ(TemplateFile::load(first).name, QStringLiteral("退货单"));
    EXPECT_TRUE(Qd::Test::isOwnerOnly(first));
    EXPECT_TRUE(Qd::Test::isOwnerOnly(second));

    // The reprint stamp is a key added without a version change: a template without a stamp is
    // written without the key, and one with a stamp reads back with it.
    EXPECT_FALSE(TemplateFile::toBytes(original).contains("reprintStamp"));
    ReportTemplate stamped = original;
    stamped.reprintStamp = QStringLiteral("重印");
    EXPECT_EQ(TemplateFile::fromBytes(TemplateFile::toBytes(stamped)), stamped);
}

TEST(TemplateFile, IsReadableUtf8WithTheFormatFirst) {
    const QByteArray bytes = TemplateFile::toBytes(salesBill());
    EXPECT_TRUE(
        bytes.startsWith("{\n  \"format\": \"qd-report\",\n  \"version\": 1,\n"
                         "  \"name\": \"销售单\",\n"))
        << bytes.left(120).toStdString();
    EXPECT_TRUE(bytes.contains("\"family\": \"微软雅黑\""));
    EXPECT_TRUE(bytes.contains("\"start\": [100, 7],\n"));
    EXPECT_TRUE(bytes.contains("\"sides\": [\"left\", \"bottom\"],\n"));
    EXPECT_TRUE(bytes.contains("\\n\\\"第二行\\\"\\t\\\\ \\u0001"));
    EXPECT_TRUE(bytes.contains("\"masterKey\": \"orgid;billno\",\n"));
    EXPECT_EQ(bytes.count("\"masterKey\""), 1);  // written only where set
    EXPECT_TRUE(bytes.endsWith("}\n"));
}

TEST(TemplateFile, RefusesWhatItCannotRead) {
    struct Case {
        const char* json;
        const char* error;
    };
    const Case cases[] = {
        {"", "不是报表模板文件（内容为空）"},
        {"销售单,2024-01-01\n", "不是报表模板文件（第 "},
        {"{\n\"name\": \"销售", "不是报表模板文件（第 2 行第 11 列："},
        {"{\"format\": \"qd-report\",\n \"version\": 1,, }", "不是报表模板文件（第 2 行第 15 列："},
        {"[1, 2]", "不是报表模板文件（没有 \"format\": \"qd-report\"）"},
        {"{\"format\": \"qd-forms\", \"version\": 1}", "不是报表模板文件（没有"},
        {"{\"format\": \"qd-report\", \"version\": 2}", "不支持的模板版本 2（本程序读取版本 1）"},
        {"{\"format\": \"qd-report\", \"version\": \"1\"}", "不支持的模板版本 \"1\""},
        {"{\"format\": \"qd-report\"}", "不支持的模板版本 （缺失）"},
        // Values of the wrong type or unknown, named by the key that leads to them
        {R"({"format": "qd-report", "version": 1, "bands": [{"kind": "masterData", "height": "10"}]})",
         "bands[0].height: 应为数值"},
        {R"({"format": "qd-report", "version": 1, "bands": [{"kind": "subreport"}]})",
         "bands[0].kind: 未知的取值 \"subreport\""},
        {R"({"format": "qd-report", "version": 1, "bands": [{"kind": "pageHeader", "objects": [
             {"kind": "text"}, {"kind": "text", "hAlign": "middle"}]}]})",
         "bands[0].objects[1].hAlign: 未知的取值 \"middle\""},
        {R"({"format": "qd-report", "version": 1, "bands": [{"kind": "pageHeader", "objects": [
             {"name": "Memo1"}]}]})",
         "bands[0].objects[0].kind: 缺少对象类型"},
        {R"({"format": "qd-report", "version": 1, "bands": [{"kind": "pageHeader", "objects": [
             {"kind": "text", "border": {"sides": ["left", "middle"]}}]}]})",
         "bands[0].objects[0].border.sides: 未知的边 \"middle\""},
        {R"({"format": "qd-report", "version": 1, "bands": [{"kind": "pageHeader", "objects": [
             {"kind": "picture", "png": "not base64!"}]}]})",
         "bands[0].objects[0].png: 不是有效的 base64"},
        {R"({"format": "qd-report", "version": 1, "bands": [{"kind": "pageHeader", "objects": [
             {"kind": "barcode", "type": "qr"}]}]})",
         "bands[0].objects[0].type: 不支持的条码类型 \"qr\""},
        {R"({"format": "qd-report", "version": 1, "bands": [{"kind": "pageHeader", "objects": [
             {"kind": "line", "start": [1, 2, 3]}]}]})",
         "bands[0].objects[0].start: 应为 [x, y]"},
        {R"({"format": "qd-report", "version": 1, "page": {"margins": {"left": true}}})",
         "page.margins.left: 应为数值"},
        {R"({"format": "qd-report", "version": 1, "datasets": "表头数据"})", "datasets: 应为数组"},
        {R"({"format": "qd-report", "version": 1, "bands": [3]})", "bands[0]: 应为对象"},
    };
    for (const Case& c : cases) {
        const QString error = readError(QByteArray(c.json));
        EXPECT_TRUE(error.startsWith(QString::fromUtf8(c.error)))
            << c.json << "\n  gave: " << error.toStdString();
    }
    // Bytes from the database name their source as the path, and a missing file its path.
    EXPECT_EQ(readError("{}", QStringLiteral("报表/单据")),
              QStringLiteral("报表/单据: 不是报表模板文件（没有 \"format\": \"qd-report\"）"));
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("不存在.fr3"));
    try {
        TemplateFile::load(path);
        FAIL() << "loaded a file that does not exist";
    } catch (const TemplateError& e) {
        EXPECT_EQ(e.path(), path);
        EXPECT_EQ(e.message(), path + QStringLiteral(": 文件不存在"));
        EXPECT_NE(std::string(e.what()).find(path.toStdString()), std::string::npos);
    }
}

TEST(TemplateFile, MissingKeysTakeDefaultsAndUnknownKeysAreSkipped) {
    // Given a file from a newer program, with keys this one does not know and most keys left out
    const ReportTemplate report = TemplateFile::fromBytes(
        "\xEF\xBB\xBF"
        R"({
      "format": "qd-report", "version": 1, "watermark": {"text": "样本"},
      "page": {"paper": "A5", "width": 999, "gutter": 3, "margins": null},
      "bands": [{"kind": "masterData", "objects": [
        {"kind": "text", "rotation": 90},
        {"kind": "line", "dash": [1, 2]},
        {"kind": "rectangle"},
        {"kind": "picture"},
        {"kind": "barcode"}]}]})");

    // Then what is missing takes its default and the rest is ignored
    PageSetup a5;
    a5.setPaper(PaperSize::A5);
    EXPECT_EQ(report.page, a5);
    EXPECT_EQ(report.page.pageSizeMm(), QSizeF(148, 210));
    EXPECT_EQ(report.name, QString());
    EXPECT_EQ(report.reprintStamp, QString());
    EXPECT_TRUE(report.datasets.isEmpty());
    ASSERT_EQ(report.bands.size(), 1u);
    const Band& band = report.bands[0];
    EXPECT_EQ(band.heightMm, Band{}.heightMm);
    EXPECT_FALSE(band.canGrow || band.canShrink || band.keepTogether || band.startNewPage);
    ASSERT_EQ(band.objects.size(), 5u);
    EXPECT_EQ(band.objects[0].content, ReportObject::Content(TextObject{}));
    EXPECT_EQ(band.objects[1].content, ReportObject::Content(LineObject{}));
    EXPECT_EQ(band.objects[2].content, ReportObject::Content(RectangleObject{}));
    EXPECT_EQ(band.objects[3].content, ReportObject::Content(PictureObject{}));
    EXPECT_EQ(band.objects[4].content, ReportObject::Content(BarcodeObject{}));
    EXPECT_EQ(std::get<RectangleObject>(band.objects[2].content).border.sides, AllSides);
}

TEST(ReportTemplate, ValidationNamesEachProblem) {
    // Given an A4 landscape page: bands are 277 mm wide
    ReportTemplate t;
    t.page.orientation = Orientation::Landscape;
    t.datasets = {QStringLiteral("表头数据")};
    t.variables = {{QStringLiteral("公司"),
                    {{QStringLiteral("company"), QStringLiteral("'总店'")},
                     {QStringLiteral("Company"), QStringLiteral("'分店'")}}}};
    t.bands = {
        {.kind = BandKind::MasterData,
         .name = "MasterData1",
         .objects = {text(QStringLiteral("Memo1"), QRectF(250, 0, 27, 10),
                          {}),  // touches both edges
                     {QStringLiteral("Line1"), QRectF(277, 10, -277, -10),
                      LineObject{}},  // drawn backwards
                     text(QStringLiteral("Memo2"), QRectF(260, 2, 20, 5),
                          {}),                                                // 3 mm past the right
                     text(QStringLiteral("Memo3"), QRectF(0, 8, 10, 5), {}),  // past the bottom
                     {QStringLiteral("Picture1"), QRectF(0, 0, 5, 5), PictureObject{"GIF89a"}}}},
        {.kind = BandKind::DetailData,
         .name = "DetailData1",
         .dataset = QStringLiteral("明细数据"),
         .masterKey = QStringLiteral("billno"),
         .objects = {text(QStringLiteral("memo1"), QRectF(0, -1, 5, 5), {})}},
        {.kind = BandKind::GroupHeader,
         .heightMm = 5,
         .condition = QStringLiteral("  "),
         .masterKey = QStringLiteral("orgid;billno"),
         .detailKey = QStringLiteral("billno"),
         .objects = {text(QString(), QRectF(0, 0, 5, 5), {})}},
    };

    EXPECT_EQ(describe(t.validate()),
              QStringLiteral("MasterData1: 数据区没有指定数据集\n"
                             "Memo1: 名称重复\n"
                             "Memo2: 超出所在区 MasterData1（277 × 10 mm）\n"
                             "Memo3: 超出所在区 MasterData1（277 × 10 mm）\n"
                             "Picture1: 图片不是 PNG 格式\n"
                             "DetailData1: 数据集“明细数据”不在报表的数据集中\n"
                             "DetailData1: 主表关联字段与明细关联字段应同时设置\n"
                             "memo1: 超出所在区 DetailData1（277 × 10 mm）\n"
                             "第 3 个区: 没有名称\n"
                             "第 3 个区: 主表关联字段有 2 个，明细关联字段有 1 个，个数应相同\n"
                             "第 3 个区: 分组头没有分组条件\n"
                             "第 3 个区 的第 1 个对象: 没有名称\n"
                             "Company: 变量名称重复"));

    // Margins wider than the sheet leave no room for any band
    ReportTemplate cramped;
    cramped.page.margins = {110, 10, 110, 10};
    EXPECT_EQ(describe(cramped.validate()), QStringLiteral("页面: 页边距超出纸张"));
}

TEST(ReportTemplate, UniqueNamesAndLookupsIgnoreCase) {
    ReportTemplate t;
    EXPECT_EQ(t.uniqueName(nameBase(ObjectKind::Text)), QStringLiteral("Memo1"));
    EXPECT_EQ(t.findBand(QStringLiteral("MasterData1")), nullptr);

    t.bands = {
        {.kind = BandKind::MasterData,
         .name = "MasterData1",
         .objects = {text(QStringLiteral("Memo1"), {}, {}), text(QStringLiteral("MEMO3"), {}, {}),
                     text(QStringLiteral("Memo0"), {}, {}), text(QStringLiteral("MemoX"), {}, {}),
                     text(QStringLiteral("Memo"), {}, {})}},
        {BandKind::PageFooter, QStringLiteral("Memo2"), 5}};
    t.variables = {
        {QStringLiteral("公司"), {{QStringLiteral("company"), QStringLiteral("'总店'")}}}};

    // Bands and objects share the numbering; gaps are filled first
    EXPECT_EQ(t.uniqueName(QStringLiteral("Memo")), QStringLiteral("Memo4"));
    EXPECT_EQ(t.uniqueName(nameBase(BandKind::MasterData)), QStringLiteral("MasterData2"));
    EXPECT_EQ(t.uniqueName(nameBase(ObjectKind::Rectangle)), QStringLiteral("Shape1"));

    ASSERT_NE(t.findObject(QStringLiteral("memo3")), nullptr);
    EXPECT_EQ(t.findObject(QStringLiteral("memo3"))->name, QStringLiteral("MEMO3"));
    EXPECT_EQ(t.findObject(QStringLiteral("Memo2")), nullptr);  // a band, not an object
    EXPECT_EQ(t.findBand(QStringLiteral("memo2")), &t.bands[1]);
    ASSERT_NE(t.findVariable(QStringLiteral("COMPANY")), nullptr);
    EXPECT_EQ(t.findVariable(QStringLiteral("COMPANY"))->expression, QStringLiteral("'总店'"));
}

TEST(PageSetup, PaperSizesAndOrientation) {
    PageSetup page;
    EXPECT_EQ(page.pageSizeMm(), QSizeF(210, 297));
    EXPECT_EQ(page.printableWidthMm(), 190);
    page.orientation = Orientation::Landscape;
    EXPECT_EQ(page.pageSizeMm(), QSizeF(297, 210));
    EXPECT_EQ(page.printableWidthMm(), 277);
    page.setCustomSize(241, 93.1);
    EXPECT_EQ(page.paper, PaperSize::Custom);
    EXPECT_EQ(page.pageSizeMm(), QSizeF(93.1, 241));
    page.setPaper(PaperSize::Custom);  // keeps the custom size
    page.setPaper(PaperSize::Letter);
    EXPECT_EQ(page.pageSizeMm(), QSizeF(279.4, 215.9));
}

}  // namespace
