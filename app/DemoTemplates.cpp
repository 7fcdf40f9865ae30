#include "DemoTemplates.h"

#include "db/SqliteDataServices.h"
#include "print/engine/TemplateFile.h"

namespace Qd::App {

using namespace Print;

namespace {

// The demo's font: its embedded glyphs extract back to the same Chinese from a PDF.
const QString kFont = QStringLiteral("WenQuanYi Micro Hei");

ReportObject text(const QString& name, QRectF mm, const QString& content, double size = 9,
                  HAlign align = HAlign::Left, bool bold = false, int borders = NoSides,
                  const QString& format = QString()) {
    TextObject t{.text = content};
    t.font.family = kFont;
    t.font.pointSize = size;
    t.font.bold = bold;
    t.hAlign = align;
    t.vAlign = VAlign::Center;
    t.border.sides = borders;
    t.displayFormat = format;
    return {name, mm, t};
}

Band band(BandKind kind, const QString& name, double heightMm, std::vector<ReportObject> objects,
          const QString& dataset = QString()) {
    Band b{.kind = kind, .name = name, .heightMm = heightMm, .dataset = dataset};
    b.objects = std::move(objects);
    return b;
}

// A row of cells across the page: captions or values, each (x, width, text, alignment).
struct Cell {
    double x;
    double width;
    QString text;
    HAlign align = HAlign::Left;
    QString format{};
};

std::vector<ReportObject> row(const QString& prefix, const std::vector<Cell>& cells, double h,
                              bool bold = false) {
    std::vector<ReportObject> out;
    int n = 0;
    for (const Cell& c : cells)
        out.push_back(text(prefix + QString::number(++n), QRectF(c.x, 0, c.width, h), c.text, 9,
                           c.align, bold, AllSides, c.format));
    return out;
}

// A column of a list print: its width, caption, field of dataset "列表", alignment, format.
struct ListColumn {
    double width;
    QString caption;
    QString field;
    HAlign align = HAlign::Left;
    QString format{};
};

// A list of `dataset` ("列表" for the master-data lists): the organisation's name and the title,
// a line under it when given (a report's parameters), a caption row repeated on every page, a
// row per record, the count, and the page footer.
ReportTemplate listTemplate(const QString& title, const std::vector<ListColumn>& columns,
                            const QString& dataset = QStringLiteral("列表"),
                            const QString& subtitle = QString()) {
    ReportTemplate t;
    t.name = title;
    t.datasets = {dataset};
    std::vector<Cell> captions, values;
    double x = 0;
    for (const ListColumn& c : columns) {
        captions.push_back({x, c.width, c.caption, c.align});
        values.push_back(
            {x, c.width, QStringLiteral("[%1.\"%2\"]").arg(dataset, c.field), c.align, c.format});
        x += c.width;
    }
    std::vector<ReportObject> heading = {
        text("Title", {0, 2, 190, 10}, "[公司名称] " + title, 15, HAlign::Center, true)};
    if (!subtitle.isEmpty())
        heading.push_back(text("Subtitle", {0, 13, 190, 6}, subtitle, 9, HAlign::Center));
    t.bands = {
        band(BandKind::ReportTitle, "ReportTitle1", subtitle.isEmpty() ? 16 : 21, heading),
        band(BandKind::PageHeader, "PageHeader1", 8, row("Caption", captions, 8, true)),
        band(BandKind::MasterData, "MasterData1", 7, row("Value", values, 7), dataset),
        band(BandKind::ReportSummary, "ReportSummary1", 10,
             {text("Total", {0, 2, 190, 7}, "共 [COUNT()] 项", 9, HAlign::Right)}),
        band(BandKind::PageFooter, "PageFooter1", 8,
             {text("Footer", {0, 1, 140, 6}, "[通用页尾]", 8),
              text("PageNo", {140, 1, 50, 6}, "第 [Page#] / [TotalPages#] 页", 8, HAlign::Right)}),
    };
    return t;
}

}  // namespace

ReportTemplate demoItemListTemplate() {
    return listTemplate(QStringLiteral("项目清单"),
                        {{25, "编号", "code"},
                         {45, "名称", "name"},
                         {55, "规格", "itemno"},
                         {20, "单位", "baseunit", HAlign::Center},
                         {45, "单价", "dj", HAlign::Right, "#,##0.00"}});
}

ReportTemplate demoEmployeeListTemplate() {
    return listTemplate(QStringLiteral("员工名册"), {{25, "编号", "code"},
                                                     {35, "姓名", "name"},
                                                     {40, "所属门店", "ck_name"},
                                                     {40, "手机", "mobile"},
                                                     {50, "备注", "memo"}});
}

ReportTemplate demoSummaryListTemplate() {
    return listTemplate(QStringLiteral("摘要清单"),
                        {{30, "编号", "code"}, {120, "摘要", "name"}, {40, "助记码", "helpcode"}});
}

// 订单明细表 printed with the values of its parameters.
ReportTemplate demoOrderLinesReportTemplate() {
    return listTemplate(QStringLiteral("订单明细表"),
                        {{24, "单号", "billno"},
                         {26, "日期", "billdate", HAlign::Left, "yyyy-mm-dd"},
                         {18, "门店", "ck_name"},
                         {16, "开单人", "kdr_name"},
                         {36, "客户", "kh_name"},
                         {28, "项目", "gcxmmc"},
                         {16, "数量", "sl", HAlign::Right, "#,##0.##"},
                         {26, "金额", "je", HAlign::Right, "#,##0.00"}},
                        QStringLiteral("订单明细表"),
                        QStringLiteral("[开始日期] 至 [结束日期]  门店：[门店]  开单人：[开单人]  "
                                       "客户：[客户]"));
}

ReportTemplate demoOrderTemplate() {
    ReportTemplate t;
    t.name = QStringLiteral("订单");
    t.reprintStamp = QStringLiteral("重印");
    t.datasets = {QStringLiteral("表头数据"), QStringLiteral("明细数据")};
    const std::vector<Cell> captions = {{0, 60, "项目"},
                                        {60, 35, "数量", HAlign::Right},
                                        {95, 45, "单价", HAlign::Right},
                                        {140, 50, "金额", HAlign::Right}};
    const std::vector<Cell> values = {{0, 60, "[明细数据.\"gcxmmc\"]"},
                                      {60, 35, "[明细数据.\"sl\"]", HAlign::Right, "#,##0.##"},
                                      {95, 45, "[明细数据.\"dj\"]", HAlign::Right, "#,##0.00"},
                                      {140, 50, "[明细数据.\"je\"]", HAlign::Right, "#,##0.00"}};
    auto header = row("Caption", captions, 8, true);
    header.insert(
        header.begin(),
        {text("Bill", {0, 0, 95, 7}, "单号：[表头数据.\"billno\"]"),
         text("Date", {95, 0, 95, 7},
              "日期：[FormatDateTime('yyyy-mm-dd', [表头数据.\"billdate\"])]", 9, HAlign::Right)});
    for (auto it = header.begin() + 2; it != header.end(); ++it)
        it->rectMm.translate(0, 8);
    t.bands = {
        band(BandKind::ReportTitle, "ReportTitle1", 14,
             {text("Title", {0, 2, 190, 10}, "[公司名称] 订单", 15, HAlign::Center, true)}),
        band(BandKind::MasterData, "MasterData1", 16, header, "表头数据"),
        band(BandKind::DetailData, "DetailData1", 7, row("Value", values, 7), "明细数据"),
        band(BandKind::ReportSummary, "ReportSummary1", 16,
             {text("Sum", {0, 1, 190, 7}, "合计：[SUM([明细数据.\"je\"])]", 9, HAlign::Right, true,
                   NoSides, "#,##0.00"),
              text("Words", {0, 8, 190, 7}, "大写：[MoneyCn(SUM([明细数据.\"je\"]))]", 9,
                   HAlign::Right)}),
        band(BandKind::PageFooter, "PageFooter1", 8,
             {text("Footer", {0, 1, 140, 6}, "[通用页尾]", 8),
              text("PageNo", {140, 1, 50, 6}, "第 [Page#] / [TotalPages#] 页", 8, HAlign::Right)}),
    };
    return t;
}

ReportTemplate demoReceiptTemplate() {
    ReportTemplate t;
    t.name = QStringLiteral("收款单");
    t.datasets = {QStringLiteral("表头数据"), QStringLiteral("明细数据")};
    const std::vector<Cell> captions = {{0, 32, "订单"},
                                        {32, 58, "项目名称"},
                                        {90, 32, "订单金额", HAlign::Right},
                                        {122, 32, "本次收款", HAlign::Right},
                                        {154, 36, "备注"}};
    const std::vector<Cell> values = {{0, 32, "[明细数据.\"xmzzk_billno\"]"},
                                      {32, 58, "[明细数据.\"gcxmmc\"]"},
                                      {90, 32, "[明细数据.\"ddje\"]", HAlign::Right, "#,##0.00"},
                                      {122, 32, "[明细数据.\"je\"]", HAlign::Right, "#,##0.00"},
                                      {154, 36, "[明细数据.\"beizhu\"]"}};
    auto header = row("Caption", captions, 8, true);
    for (ReportObject& caption : header)
        caption.rectMm.translate(0, 16);
    header.insert(
        header.begin(),
        {text("Bill", {0, 0, 95, 7}, "单号：[表头数据.\"billno\"]"),
         text("Date", {95, 0, 95, 7},
              "日期：[FormatDateTime('yyyy-mm-dd', [表头数据.\"billdate\"])]", 9, HAlign::Right),
         text("Customer", {0, 7, 95, 7}, "付款客户：[表头数据.\"kh_name\"]"),
         text("Payment", {95, 7, 95, 7}, "收款方式：[表头数据.\"skfs\"]", 9, HAlign::Right)});
    t.bands = {
        band(BandKind::ReportTitle, "ReportTitle1", 14,
             {text("Title", {0, 2, 190, 10}, "[公司名称] 收款单", 15, HAlign::Center, true)}),
        band(BandKind::MasterData, "MasterData1", 24, header, "表头数据"),
        band(BandKind::DetailData, "DetailData1", 7, row("Value", values, 7), "明细数据"),
        band(
            BandKind::ReportSummary, "ReportSummary1", 32,
            {text("Sum", {0, 1, 190, 7}, "合计：[SUM([明细数据.\"je\"])]", 9, HAlign::Right, true,
                  NoSides, "#,##0.00"),
             text("Words", {0, 8, 190, 7}, "大写：[MoneyCn(SUM([明细数据.\"je\"]))]", 9,
                  HAlign::Right),
             text("Summary", {0, 16, 120, 7}, "摘要：[表头数据.\"zy\"]"),
             text("Payee", {120, 16, 70, 7}, "收款人：[表头数据.\"kdr_name\"]", 9, HAlign::Right)}),
        band(BandKind::PageFooter, "PageFooter1", 8,
             {text("Footer", {0, 1, 140, 6}, "[通用页尾]", 8),
              text("PageNo", {140, 1, 50, 6}, "第 [Page#] / [TotalPages#] 页", 8, HAlign::Right)}),
    };
    return t;
}

std::vector<DemoTemplate> demoTemplates() {
    return {{QStringLiteral("XM"), demoItemListTemplate()},
            {QStringLiteral("YG"), demoEmployeeListTemplate()},
            {QStringLiteral("ZY"), demoSummaryListTemplate()},
            {QStringLiteral("XMZZK"), demoOrderTemplate()},
            {QStringLiteral("SKD"), demoReceiptTemplate()},
            {QStringLiteral("RPT01_RPT01"), demoOrderLinesReportTemplate()}};
}

void addDemoTemplates(Core::Db::SqliteDataServices& db) {
    for (const DemoTemplate& t : demoTemplates())
        db.exec(QStringLiteral(
                    "insert into qd_sys_printdocs(orgid, modulecode, code, docname, docfile, "
                    "owner, ck_id, isort) values(1, :module, '01', :name, :file, 0, 1, 0)"),
                {{QStringLiteral("module"), t.moduleCode},
                 {QStringLiteral("name"), t.report.name},
                 {QStringLiteral("file"), TemplateFile::toBytes(t.report)}});
}

}  // namespace Qd::App
