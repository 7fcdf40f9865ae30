// The layout pass (bands over data rows, pages, groups, aggregates, growing texts) and the
// renderers that replay it as an image and a PDF.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QPainter>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <numeric>
#include <set>

#include "print/engine/Engine.h"
#include "print/engine/Expression.h"
#include "print/engine/Render.h"
#include "print/engine/TemplateFile.h"
#include "support/Render.h"
#include "support/TestEnv.h"

using namespace Qd::Print;

namespace {

const QString kCjkFont = QStringLiteral("WenQuanYi Micro Hei");

ReportObject text(const QString& name, QRectF rect, const QString& content) {
    TextObject t{.text = content};
    t.font.family = kCjkFont;
    return {name, rect, t};
}

Band band(BandKind kind, const QString& name, double height, std::vector<ReportObject> objects,
          const QString& dataset = {}) {
    Band b{.kind = kind, .name = name, .heightMm = height, .dataset = dataset};
    b.objects = std::move(objects);
    return b;
}

// An A4 list of dataset "d" (fields no, grp, je): page header and footer, one 10 mm row each.
ReportTemplate listReport() {
    ReportTemplate t;
    t.name = QStringLiteral("销售清单");
    t.datasets = {QStringLiteral("d")};
    t.bands = {
        band(BandKind::PageHeader, "PageHeader1", 10, {text("Head", {0, 0, 100, 8}, "页眉")}),
        band(BandKind::MasterData, "MasterData1", 10,
             {text("Row", {0, 0, 100, 8}, "行 [d.\"no\"]")}, "d"),
        band(BandKind::PageFooter, "PageFooter1", 10,
             {text("Foot", {0, 0, 100, 8}, "[Page#]/[TotalPages#]")}),
    };
    return t;
}

MemoryDataset rows(int n, const QStringList& groups = {}) {
    MemoryDataset d({"no", "grp", "je"});
    for (int i = 1; i <= n; ++i)
        d.appendRow({i, groups.isEmpty() ? QString() : groups[(i - 1) % groups.size()], i * 10});
    return d;
}

QStringList lines(const PreparedReport& r, int page) {
    return r.pageText(page).split(u'\n');
}

double baselineOf(const PreparedReport& r, int page, const QString& line) {
    for (const auto& item : r.pages[size_t(page)].items) {
        if (const auto* t = std::get_if<PreparedText>(&item)) {
            for (const auto& run : t->lines) {
                if (run.text == line)
                    return run.baselineMm.y();
            }
        }
    }
    return -1;
}

}  // namespace

TEST(LayoutPages, RowsPaginateWithHeaderAndFooterOnEveryPage) {
    // 277 mm of printable height, less 10 mm header and footer: 25 rows a page
    const ReportTemplate t = listReport();
    const MemoryDataset d = rows(60);
    ReportData data;
    data.addDataset("d", &d);
    const PreparedReport r = prepare(t, data);
    ASSERT_EQ(r.pageCount(), 3);
    for (int p = 0; p < 3; ++p) {
        const QStringList l = lines(r, p);
        EXPECT_EQ(l.front(), "页眉") << p;
        EXPECT_EQ(l.back(), QStringLiteral("%1/3").arg(p + 1)) << p;
        EXPECT_EQ(r.pages[size_t(p)].sizeMm, QSizeF(210, 297));
    }
    EXPECT_EQ(lines(r, 0)[1], "行 1");
    EXPECT_EQ(lines(r, 0).size(), 27);  // header, 25 rows, footer
    EXPECT_EQ(lines(r, 1)[1], "行 26");
    EXPECT_EQ(lines(r, 2).size(), 12);
    // The footer sits at the page bottom, whatever the data above it.
    EXPECT_GT(baselineOf(r, 2, "3/3"), 277);
    EXPECT_DOUBLE_EQ(baselineOf(r, 2, "3/3"), baselineOf(r, 0, "1/3"));

    // A report that never names the count is laid out once; through a caller's variable it
    // still must be counted first.
    ReportTemplate viaVariable = t;
    viaVariable.bands.back().objects[0] = text("Foot", {0, 0, 100, 8}, "[Page#]/[页数]");
    data.setVariable("系统", "页数", "[TotalPages#]");
    EXPECT_EQ(lines(prepare(viaVariable, data), 1).back(), "2/3");
}

TEST(LayoutPages, TitleOnFirstPageOnlyAndEmptyDataStillGivesAPage) {
    ReportTemplate t = listReport();
    t.bands.insert(t.bands.begin(),
                   band(BandKind::ReportTitle, "Title", 20, {text("T", {0, 0, 100, 8}, "标题")}));
    const MemoryDataset full = rows(30);
    const MemoryDataset empty = rows(0);
    ReportData data;
    data.addDataset("d", &full);

    const PreparedReport r = prepare(t, data);
    ASSERT_EQ(r.pageCount(), 2);
    EXPECT_EQ(lines(r, 0).mid(0, 3), QStringList({"标题", "页眉", "行 1"}));
    EXPECT_EQ(lines(r, 1).front(), "页眉");
    EXPECT_EQ(lines(r, 1)[1], "行 24");  // 277 - 20 title - 10 header - 10 footer: 23 rows

    data.addDataset("d", &empty);
    const PreparedReport none = prepare(t, data);
    ASSERT_EQ(none.pageCount(), 1);
    EXPECT_EQ(lines(none, 0), QStringList({"标题", "页眉", "1/1"}));
}

TEST(LayoutGroups, FootersCarryPerGroupSumsAndSummaryTheGrandTotal) {
    ReportTemplate t = listReport();
    t.bands = {
        band(BandKind::GroupHeader, "GroupHeader1", 8,
             {text("G", {0, 0, 100, 8}, "组 [d.\"grp\"]")}),
        band(BandKind::MasterData, "MasterData1", 8, {text("R", {0, 0, 100, 8}, "[d.\"je\"]")},
             "d"),
        band(BandKind::GroupFooter, "GroupFooter1", 8,
             {text("S", {0, 0, 100, 8}, "小计 [SUM([d.\"je\"])] 共 [COUNT()] 行 末行 [d.\"no\"]")}),
        band(BandKind::ReportSummary, "Summary", 8,
             {text("T", {0, 0, 100, 8}, "合计 [SUM([d.\"je\"])] [MoneyCn(SUM([d.\"je\"]))]")}),
    };
    t.bands[0].condition = "[d.\"grp\"]";
    MemoryDataset d({"no", "grp", "je"});
    d.appendRow({1, "甲", 10});
    d.appendRow({2, "甲", 20});
    d.appendRow({3, "乙", 5});
    d.appendRow({4, "丙", 1});
    d.appendRow({5, "丙", 2});
    ReportData data;
    data.addDataset("d", &d);

    const PreparedReport r = prepare(t, data);

    ASSERT_EQ(r.pageCount(), 1);
    EXPECT_EQ(lines(r, 0), QStringList({
                               "组 甲",
                               "10",
                               "20",
                               "小计 30 共 2 行 末行 2",
                               "组 乙",
                               "5",
                               "小计 5 共 1 行 末行 3",
                               "组 丙",
                               "1",
                               "2",
                               "小计 3 共 2 行 末行 5",
                               "合计 38 叁拾捌元整",
                           }));
}

TEST(LayoutData, DetailRowsPrintUnderEachMasterRowWithLineNumbers) {
    ReportTemplate t;
    t.datasets = {"head", "items"};
    t.bands = {
        band(BandKind::MasterData, "M", 8, {text("H", {0, 0, 100, 8}, "单号 [head.\"billno\"]")},
             "head"),
        band(BandKind::DetailData, "D", 8, {text("I", {0, 0, 100, 8}, "[Line#]. [items.\"name\"]")},
             "items"),
        band(BandKind::ReportSummary, "S", 8,
             {text("T", {0, 0, 100, 8}, "[COUNT()] [MAX([items.\"name\"])]")}),
    };
    MemoryDataset head({"billno"}, {{"A01"}, {"A02"}});
    MemoryDataset items({"NAME"}, {{"笔"}, {"纸"}});
    ReportData data;
    data.addDataset("HEAD", &head);
    data.addDataset("items", &items);

    const PreparedReport r = prepare(t, data);
    EXPECT_EQ(lines(r, 0),
              QStringList({"单号 A01", "1. 笔", "2. 纸", "单号 A02", "1. 笔", "2. 纸", "4 纸"}));
}

TEST(LayoutData, DetailRowsPrintOnlyUnderTheMasterRowTheirKeysMatch) {
    // Given: bills grouped by organisation; their items keyed by organisation (as text) and
    // bill number, one item belonging to no bill, bill 1/A02 having none
    ReportTemplate t;
    t.datasets = {"head", "items"};
    t.bands = {
        band(BandKind::GroupHeader, "G", 8, {text("G", {0, 0, 100, 8}, "组 [head.\"orgid\"]")}),
        band(BandKind::MasterData, "M", 8, {text("H", {0, 0, 100, 8}, "单号 [head.\"billno\"]")},
             "head"),
        band(BandKind::DetailData, "D", 8,
             {text("I", {0, 0, 100, 8}, "[Line#]. [items.\"name\"] [items.\"je\"]")}, "items"),
        band(BandKind::GroupFooter, "F", 8,
             {text("F", {0, 0, 100, 8}, "小计 [SUM([items.\"je\"])]")}),
        band(BandKind::ReportSummary, "S", 8,
             {text("T", {0, 0, 100, 8}, "合计 [SUM([items.\"je\"])] 共 [COUNT()] 行")}),
    };
    t.bands[0].condition = "[head.\"orgid\"]";
    t.bands[2].masterKey = "orgid;billno";
    t.bands[2].detailKey = "ORGID; djbh";
    MemoryDataset head({"orgid", "billno"}, {{1, "A01"}, {1, "A02"}, {2, "A01"}});
    MemoryDataset items({"orgid", "djbh", "name", "je"}, {{"2", "A01", "钉", 5},
                                                          {"1", "A01", "笔", 10},
                                                          {"2", "A02", "无主", 100},
                                                          {"1.0", "A01", "纸", 20}});
    ReportData data;
    data.addDataset("head", &head);
    data.addDataset("items", &items);

    EXPECT_EQ(lines(prepare(t, data), 0),
              QStringList({"组 1", "单号 A01", "1. 笔 10", "2. 纸 20", "单号 A02", "小计 30",
                           "组 2", "单号 A01", "1. 钉 5", "小计 5", "合计 35 共 3 行"}));

    // A key field the dataset does not have is named with its band.
    t.bands[2].detailKey = "orgid;billno";
    try {
        prepare(t, data);
        FAIL() << "a missing key field must fail";
    } catch (const TemplateError& e) {
        EXPECT_EQ(e.message(), QStringLiteral("D：数据集 items 没有字段 billno"));
    }
}

TEST(LayoutData, VariablesAndFunctionsResolveCallerFirstAndIgnoringCase) {
    ReportTemplate t;
    t.variables = {{"公司", {{"company", "'模板里的公司'"}, {"rate", "0.5"}}}};
    t.bands = {band(
        BandKind::ReportTitle, "T", 10,
        {text("A", {0, 0, 190, 8}, "[COMPANY]|[rate * 4]|[double(21)]|[moneycn_2(12.5)]|[门店]")})};
    ReportData data;
    data.setVariable("公司", "company", "'上海总店'");
    data.setVariable("门店", "门店", 7);
    data.addFunction({"Double", "function Double(x: Integer): Integer", "数", "两倍",
                      [](const QVariantList& a) { return QVariant(a.value(0).toInt() * 2); }});

    EXPECT_EQ(prepare(t, data).pageText(0), "上海总店|2|42|壹贰伍零|7");
    EXPECT_EQ(data.categories(), QStringList({"公司", "门店"}));
    EXPECT_NE(data.function("MONEYCN"), nullptr);
}

TEST(LayoutData, ErrorsNameTheBandAndObject) {
    ReportTemplate t = listReport();
    t.bands[1].objects[0] = text("Row", {0, 0, 100, 8}, "[d.\"nosuch\"]");
    const MemoryDataset d = rows(1);
    ReportData data;
    EXPECT_THROW(prepare(t, data), TemplateError);  // the data band's dataset is missing

    data.addDataset("d", &d);
    try {
        prepare(t, data);
        FAIL() << "an unknown field must fail";
    } catch (const ExpressionError& e) {
        EXPECT_TRUE(e.message().startsWith("MasterData1.Row：")) << e.message().toStdString();
        EXPECT_TRUE(e.message().contains("nosuch"));
    }

    // A syntax error does not stop the template loading (the designer must be able to open it
    // to fix it); preparing names where it is.
    t.bands[1].objects[0] = text("Row", {0, 0, 100, 8}, "合计 [1 +] 元");
    const ReportTemplate loaded = TemplateFile::fromBytes(TemplateFile::toBytes(t));
    try {
        prepare(loaded, data);
        FAIL() << "a syntax error must fail";
    } catch (const ExpressionError& e) {
        EXPECT_TRUE(e.message().startsWith("MasterData1.Row：")) << e.message().toStdString();
        EXPECT_EQ(e.expression(), "合计 [1 +] 元");
    }
}

TEST(LayoutGrow, WrappedTextGrowsItsBandAndPushesTheRestDown) {
    // Given: a 20 mm wide text that holds a few characters a line
    ReportTemplate t = listReport();
    ReportObject memo = text("Row", {0, 0, 20, 6}, "[d.\"grp\"]");
    std::get<TextObject>(memo.content).canGrow = true;
    t.bands[1].objects = {memo, text("Below", {0, 7, 100, 3}, "下 [d.\"no\"]")};
    MemoryDataset d({"no", "grp", "je"});
    d.appendRow({1, "短", 0});
    d.appendRow({2, QString(60, QChar(u'长')), 0});
    d.appendRow({3, "短", 0});
    ReportData data;
    data.addDataset("d", &d);

    const PreparedReport r = prepare(t, data);

    // Then: row 2 wraps into several lines, pushing down the text below it and so row 3
    const double row1 = baselineOf(r, 0, "下 1");
    const double row2 = baselineOf(r, 0, "下 2");
    const double row3 = baselineOf(r, 0, "下 3");
    EXPECT_GT(row2 - row1, 20);
    EXPECT_NEAR(row3 - row2, 10, 1e-6);
    const QStringList wrapped = lines(r, 0).filter(QStringLiteral("长"));
    EXPECT_GT(wrapped.size(), 3);
    EXPECT_EQ(wrapped.join(QString()), QString(60, QChar(u'长')));

    // When the grown band no longer fits above the footer, it starts the next page.
    MemoryDataset many = rows(24);
    many.appendRow({25, QString(60, QChar(u'长')), 0});
    data.addDataset("d", &many);
    const PreparedReport paged = prepare(t, data);
    ASSERT_EQ(paged.pageCount(), 2);
    EXPECT_EQ(lines(paged, 1)[0], "页眉");
    EXPECT_TRUE(lines(paged, 1)[1].startsWith(QStringLiteral("长")));
    EXPECT_EQ(lines(paged, 0).back(), "1/2");
}

TEST(LayoutKeep, MasterRowStaysWithItsDetailsWhenAPageCanHoldThem) {
    // Given: 257 mm for data a page; bills of 10 mm with 10 mm items, kept together
    ReportTemplate t = listReport();
    t.datasets = {"head", "items"};
    t.bands[1] = band(BandKind::MasterData, "M", 10,
                      {text("H", {0, 0, 100, 8}, "单 [head.\"no\"] 页 [Page#]")}, "head");
    t.bands[1].keepTogether = true;
    t.bands.push_back(band(BandKind::DetailData, "D", 10,
                           {text("I", {0, 0, 100, 8}, "项 [items.\"no\"]")}, "items"));
    t.bands.back().masterKey = "no";
    t.bands.back().detailKey = "bill";
    t.bands.push_back(band(BandKind::ReportSummary, "S", 10,
                           {text("T", {0, 0, 100, 8}, "合计 [SUM([items.\"je\"])] [COUNT()]")}));
    MemoryDataset head({"no"});
    MemoryDataset items({"bill", "no", "je"});
    auto bill = [&](int no, int itemCount) {
        head.appendRow({no});
        for (int i = 1; i <= itemCount; ++i)
            items.appendRow({no, no * 100 + i, 1});
    };
    for (int no = 1; no <= 7; ++no)
        bill(no, 3);  // 40 mm each: six fit a page, the seventh's last items would not
    bill(8, 30);      // 310 mm: no page holds it, so it follows at once and breaks
    ReportData data;
    data.addDataset("head", &head);
    data.addDataset("items", &items);

    const PreparedReport r = prepare(t, data);

    ASSERT_EQ(r.pageCount(), 3);
    EXPECT_EQ(lines(r, 0).mid(lines(r, 0).size() - 3), QStringList({"项 602", "项 603", "1/3"}));
    EXPECT_EQ(lines(r, 1).mid(0, 3), QStringList({"页眉", "单 7 页 2", "项 701"}));
    EXPECT_EQ(lines(r, 1)[5], "单 8 页 2");
    EXPECT_EQ(lines(r, 2).mid(lines(r, 2).size() - 2), QStringList({"合计 51 51", "3/3"}));
}

TEST(LayoutKeep, GroupMovesWholeOrAtLeastKeepsItsHeaderWithTheFirstRow) {
    // Given: groups of 10 mm header, rows and footer; the header kept together
    ReportTemplate t = listReport();
    t.bands.insert(t.bands.begin() + 1, band(BandKind::GroupHeader, "G", 10,
                                             {text("G", {0, 0, 100, 8}, "组 [d.\"grp\"]")}));
    t.bands[1].condition = "[d.\"grp\"]";
    t.bands[1].keepTogether = true;
    t.bands.push_back(band(BandKind::GroupFooter, "F", 10,
                           {text("F", {0, 0, 100, 8}, "[d.\"grp\"] 共 [COUNT()] 行")}));
    MemoryDataset d({"no", "grp", "je"});
    // A fills 220 mm of page 1 and B (50 mm) no longer fits; C (190 mm) joins B on page 2,
    // leaving 17 mm: room for D's header but not its first row, and D is longer than a page.
    for (const auto& [group, count] : {std::pair{"A", 20}, {"B", 3}, {"C", 17}, {"D", 30}}) {
        for (int i = 0; i < count; ++i)
            d.appendRow({d.rowCount() + 1, group, 0});
    }
    ReportData data;
    data.addDataset("d", &d);

    const PreparedReport r = prepare(t, data);

    ASSERT_EQ(r.pageCount(), 4);
    EXPECT_EQ(lines(r, 0).mid(lines(r, 0).size() - 2), QStringList({"A 共 20 行", "1/4"}));
    EXPECT_EQ(lines(r, 1)[1], "组 B");
    EXPECT_EQ(lines(r, 1).mid(lines(r, 1).size() - 2), QStringList({"C 共 17 行", "2/4"}));
    EXPECT_EQ(lines(r, 2).mid(0, 3), QStringList({"页眉", "组 D", "行 41"}));
    EXPECT_EQ(lines(r, 3).mid(lines(r, 3).size() - 2), QStringList({"D 共 30 行", "4/4"}));
}

TEST(LayoutShrink, EmptyTextsGiveUpTheHeightNoOtherObjectSpans) {
    // Given: a shrinking row of three stacked 5 mm texts in a 16 mm band, the middle one with a
    // text beside it
    ReportTemplate t = listReport();
    t.bands[1].canShrink = true;
    t.bands[1].heightMm = 16;
    t.bands[1].objects = {text("Top", {0, 0, 40, 5}, "上 [d.\"no\"]"),
                          text("Middle", {0, 5, 40, 5}, "[d.\"grp\"]"),
                          text("Side", {50, 5, 40, 5}, "[d.\"je\"]"),
                          text("Bottom", {0, 10, 40, 5}, "下 [d.\"no\"]")};
    // And a title whose only text prints empty
    t.bands.insert(t.bands.begin(),
                   band(BandKind::ReportTitle, "Title", 20, {text("T", {0, 0, 100, 8}, "[备注]")}));
    t.bands[0].canShrink = true;
    MemoryDataset d({"no", "grp", "je"},
                    {{1, "中", QVariant()}, {2, "", QVariant()}, {3, "", "旁"}});
    ReportData data;
    data.addDataset("d", &d);
    data.setVariable("备注", "备注", "''");

    const PreparedReport r = prepare(t, data);
    auto y = [&](const QString& line) { return baselineOf(r, 0, line); };

    // Then: row 1 shrinks to its lowest text; in row 2 the empty middle gives up its 5 mm and
    // the bottom text moves up; in row 3 the side text keeps that height
    EXPECT_NEAR(y("下 1") - y("上 1"), 10, 1e-6);
    EXPECT_NEAR(y("上 2") - y("上 1"), 15, 1e-6);
    EXPECT_NEAR(y("下 2") - y("上 2"), 5, 1e-6);
    EXPECT_NEAR(y("上 3") - y("上 2"), 10, 1e-6);
    EXPECT_NEAR(y("下 3") - y("上 3"), 10, 1e-6);
    // And the title takes no height at all: the page header is where it is without one
    t.bands.erase(t.bands.begin());
    EXPECT_NEAR(y("页眉"), baselineOf(prepare(t, data), 0, "页眉"), 1e-6);
}

TEST(Barcode, Code128SymbolsAreWellFormed) {
    const std::vector<int> w = code128Widths("A1");
    // start, two symbols and the check at 11 modules, the stop at 13
    ASSERT_EQ(w.size(), 4 * 6 + 7);
    int modules = 0;
    for (int x : w)
        modules += x;
    EXPECT_EQ(modules, 4 * 11 + 13);
    // start B is 211214; "A" is 33 and "1" is 17: check (104 + 33 + 2 * 17) % 103 = 68
    EXPECT_EQ(std::vector<int>(w.begin(), w.begin() + 6), std::vector<int>({2, 1, 1, 2, 1, 4}));
    EXPECT_EQ(std::vector<int>(w.begin() + 18, w.begin() + 24),
              std::vector<int>({1, 4, 1, 2, 2, 1}));

    // Every printable character encodes to eleven modules, no two alike.
    QString all;
    for (char16_t c = 32; c < 127; ++c)
        all += QChar(c);
    const std::vector<int> every = code128Widths(all);
    std::set<std::vector<int>> seen;
    for (size_t i = 0; i + 7 < every.size(); i += 6) {
        const std::vector<int> symbol(every.begin() + long(i), every.begin() + long(i) + 6);
        EXPECT_EQ(std::accumulate(symbol.begin(), symbol.end(), 0), 11) << i / 6;
        seen.insert(symbol);
    }
    EXPECT_EQ(seen.size(), all.size() + 1);  // plus the start symbol; the check may repeat one
}

namespace {

// One title text in 16 pt, a barcode and a rectangle on an A5 page.
PreparedReport renderedReport() {
    ReportTemplate t;
    t.name = QStringLiteral("出库单");
    t.page.setPaper(PaperSize::A5);
    ReportObject title = text("T", {0, 0, 120, 12}, "出库单 ABC 上海总店");
    std::get<TextObject>(title.content).font.pointSize = 16;
    t.bands = {band(BandKind::ReportTitle, "Title", 60,
                    {title,
                     {"B", {0, 20, 60, 15}, BarcodeObject{"NO123"}},
                     {"R", {70, 20, 40, 15}, RectangleObject{}}})};
    ReportData data;
    return prepare(t, data);
}

int inkedPixels(const QImage& image, const QRect& area) {
    int dark = 0;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x)
            dark += qGray(image.pixel(x, y)) < 224;
    }
    return dark;
}

}  // namespace

TEST(Render, ImageHasInkWhereTextAndBarsAreAndNowhereElse) {
    const PreparedReport r = renderedReport();
    const QImage image = toImage(r, 0, 100);
    const double k = 100 / 25.4;
    ASSERT_EQ(image.size(), QSize(qCeil(148 * k), qCeil(210 * k)));
    auto at = [&](QRectF mm) { return QRectF(mm.topLeft() * k, mm.size() * k).toRect(); };
    EXPECT_GT(inkedPixels(image, at({10, 10, 60, 10})), 100);  // the title
    EXPECT_GT(inkedPixels(image, at({10, 30, 60, 10})), 300);  // the bars
    EXPECT_GT(inkedPixels(image, at({80, 30, 40, 15})), 50);   // the rectangle's border
    EXPECT_EQ(inkedPixels(image, at({10, 80, 120, 100})), 0);
    EXPECT_TRUE(toImage(r, 1).isNull());
}

TEST(Render, PdfHasOnePagePerPageAndIsRepeatable) {
    QTemporaryDir dir;
    const QString a = dir.filePath("a.pdf");
    const QString b = dir.filePath("b.pdf");
    const QDateTime when(QDate(2024, 3, 1), QTime(9, 30), Qt::UTC);
    const MemoryDataset d = rows(60);
    ReportData data;
    data.addDataset("d", &d);
    const PreparedReport r = prepare(listReport(), data);

    QString error;
    ASSERT_TRUE(toPdf(r, a, when, &error)) << error.toStdString();
    ASSERT_TRUE(toPdf(r, b, when, &error)) << error.toStdString();

    QFile fa(a), fb(b);
    ASSERT_TRUE(fa.open(QIODevice::ReadOnly));
    ASSERT_TRUE(fb.open(QIODevice::ReadOnly));
    const QByteArray bytes = fa.readAll();
    EXPECT_EQ(bytes.count("/Type /Page\n") + bytes.count("/Type /Page\r") +
                  bytes.count("/Type /Page/") + bytes.count("/Type /Page "),
              3);
    EXPECT_TRUE(bytes.contains("D:20240301093000"));
    EXPECT_EQ(bytes, fb.readAll());
    EXPECT_TRUE(Qd::Test::isOwnerOnly(a));  // an export is its owner's alone
    EXPECT_FALSE(toPdf(r, dir.filePath("no/such/dir/c.pdf"), when));

    if (!Qd::Test::renderDir().isEmpty())
        Qd::Test::keepRender(toImage(r, 0, 100), "report-page1.png");
}

TEST(Render, PdfTextExtractsAsTheSameChinese) {
    const QString pdftotext = QStandardPaths::findExecutable("pdftotext");
    if (pdftotext.isEmpty())
        GTEST_SKIP() << "pdftotext (poppler-utils) is not installed";
    QTemporaryDir dir;
    const QString path = dir.filePath("出库单.pdf");
    ASSERT_TRUE(toPdf(renderedReport(), path, QDateTime(QDate(2024, 1, 1), QTime(0, 0))));

    QProcess p;
    p.start(pdftotext, {"-enc", "UTF-8", path, "-"});
    ASSERT_TRUE(p.waitForFinished(30000));
    const QString extracted = QString::fromUtf8(p.readAllStandardOutput());
    EXPECT_TRUE(extracted.contains(QStringLiteral("出库单 ABC 上海总店")))
        << extracted.toStdString();
    EXPECT_TRUE(extracted.contains("NO123"));
}

// A reprint's stamp goes on every page, at its top right inside the margins, red in a red frame.
TEST(Stamp, EveryPageGetsItAtItsTopRightInsideTheMargins) {
    PreparedReport report;
    report.page.margins = {.left = 10, .top = 12, .right = 15, .bottom = 10};
    report.pages = {PreparedPage{.sizeMm = QSizeF(210, 297)},
                    PreparedPage{.sizeMm = QSizeF(297, 210)}};
    stampPages(report, QString());
    EXPECT_TRUE(report.pages[0].items.empty());

    stampPages(report, QStringLiteral("重印"));
    for (const PreparedPage& page : report.pages) {
        ASSERT_EQ(page.items.size(), 2u);
        const auto& box = std::get<PreparedBox>(page.items[0]);
        EXPECT_DOUBLE_EQ(box.rectMm.right(), page.sizeMm.width() - 15);
        EXPECT_DOUBLE_EQ(box.rectMm.top(), 12);
        EXPECT_GT(box.rectMm.width(), 8);
        EXPECT_EQ(box.border.sides, AllSides);
        EXPECT_EQ(box.border.color, QColor(Qt::red));
        const auto& text = std::get<PreparedText>(page.items[1]);
        EXPECT_EQ(text.color, QColor(Qt::red));
        ASSERT_EQ(text.lines.size(), 1u);
        EXPECT_TRUE(box.rectMm.contains(text.lines[0].baselineMm));
    }
    EXPECT_EQ(report.pageText(1), QStringLiteral("重印"));
}
