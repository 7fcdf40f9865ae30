// Printing a long detail report to PDF: 10,000 rows of three text and two number columns with a
// SUM at the end, through the report engine (prepare + toPdf) and, as the baseline, the same
// texts and lines drawn straight onto a QPdfWriter with the same rows on each page.
#include <QDateTime>
#include <QFontMetricsF>
#include <QLocale>
#include <QPainter>
#include <QPdfWriter>
#include <QTemporaryDir>

#include "BenchMain.h"
#include "print/engine/Engine.h"
#include "print/engine/Render.h"

using namespace Qd::Print;

namespace {

constexpr int kRows = 10000;
const QString kFontFamily = QStringLiteral("WenQuanYi Micro Hei");
constexpr double kFontPt = 9;

// The sheet: A4 with 10 mm margins; a 10 mm page header, 6 mm rows, an 8 mm summary.
constexpr double kMargin = 10;
constexpr double kHeaderMm = 10;
constexpr double kRowMm = 6;
constexpr double kSummaryMm = 8;
constexpr double kWidthMm = 190;
constexpr int kRowsPerPage = int((297 - 2 * kMargin - kHeaderMm) / kRowMm);

struct Column {
    const char* field;
    const char* title;
    double left;
    double width;
    bool number;
};
constexpr Column kColumns[] = {
    {"code", "编号", 0, 30, false},    {"name", "商品名称", 30, 70, false},
    {"store", "门店", 100, 30, false}, {"qty", "数量", 130, 25, true},
    {"je", "金额", 155, 35, true},
};

MemoryDataset& rows() {
    static MemoryDataset d = [] {
        MemoryDataset m({"code", "name", "store", "qty", "je"});
        for (int i = 1; i <= kRows; ++i)
            m.appendRow({QStringLiteral("B%1").arg(i, 6, 10, QLatin1Char('0')),
                         QStringLiteral("北京朝阳商品%1").arg(i),
                         QStringLiteral("门店%1").arg(1 + i % 20), i % 100, (i % 1000) * 1.25});
        return m;
    }();
    return d;
}

ReportObject textObject(const QString& name, QRectF rect, const QString& text, bool number) {
    TextObject t{.text = text};
    t.font.family = kFontFamily;
    t.font.pointSize = kFontPt;
    t.hAlign = number ? HAlign::Right : HAlign::Left;
    t.wordWrap = false;
    if (number)
        t.displayFormat = QStringLiteral("#,##0.00");
    return {name, rect, t};
}

ReportTemplate detailReport() {
    ReportTemplate t;
    t.name = QStringLiteral("销售明细");
    t.datasets = {QStringLiteral("d")};
    Band header{.kind = BandKind::PageHeader, .name = "PageHeader1", .heightMm = kHeaderMm};
    Band data{.kind = BandKind::MasterData, .name = "MasterData1", .heightMm = kRowMm};
    data.dataset = QStringLiteral("d");
    for (const Column& c : kColumns) {
        const QString field = QString::fromLatin1(c.field);
        header.objects.push_back(
            textObject("H" + field, {c.left, 2, c.width, 6}, QString::fromUtf8(c.title), false));
        data.objects.push_back(textObject("D" + field, {c.left, 0.5, c.width, 5},
                                          QStringLiteral("[d.\"%1\"]").arg(field), c.number));
    }
    header.objects.push_back({"HLine", {0, kHeaderMm, kWidthMm, 0}, LineObject{}});
    data.objects.push_back({"DLine", {0, kRowMm, kWidthMm, 0}, LineObject{}});
    Band summary{.kind = BandKind::ReportSummary, .name = "Summary1", .heightMm = kSummaryMm};
    summary.objects.push_back(
        textObject("Total", {100, 1, 90, 6}, QStringLiteral("合计 [SUM([d.\"je\"])]"), false));
    t.bands = {header, data, summary};
    return t;
}

void BM_EnginePdf(benchmark::State& state) {
    const ReportTemplate t = detailReport();
    ReportData data;
    data.addDataset(QStringLiteral("d"), &rows());
    QTemporaryDir dir;
    const QString path = dir.filePath("engine.pdf");
    int pages = 0;
    for (auto _ : state) {
        const PreparedReport report = prepare(t, data);
        if (!toPdf(report, path, QDateTime::currentDateTime()))
            state.SkipWithError("toPdf failed");
        pages = report.pageCount();
    }
    state.counters["pages"] = pages;
    state.counters["pages/s"] = benchmark::Counter(
        double(pages), benchmark::Counter::kIsRate | benchmark::Counter::kIsIterationInvariant);
}

// The layout pass alone, to tell how much of the engine's time is layout and how much drawing.
void BM_EnginePrepareOnly(benchmark::State& state) {
    const ReportTemplate t = detailReport();
    ReportData data;
    data.addDataset(QStringLiteral("d"), &rows());
    for (auto _ : state)
        benchmark::DoNotOptimize(prepare(t, data).pageCount());
}

// The same page: header titles and rule, then kRowsPerPage rows, each its five texts and a rule.
void BM_DirectPainterPdf(benchmark::State& state) {
    QTemporaryDir dir;
    const QString path = dir.filePath("direct.pdf");
    const QLocale locale(QLocale::C);
    int pages = 0;
    for (auto _ : state) {
        QPdfWriter writer(path);
        writer.setResolution(1200);
        writer.setPageSize(QPageSize(QPageSize::A4));
        writer.setPageMargins({0, 0, 0, 0});
        QPainter painter(&writer);
        const double k = writer.resolution() / 25.4;
        QFont font(kFontFamily);
        font.setPointSizeF(kFontPt);
        painter.setFont(font);
        const QFontMetricsF metrics(font, &writer);
        painter.setPen(QPen(Qt::black, 0.2 * k));
        auto text = [&](const Column& c, double topMm, const QString& s) {
            const double x = (kMargin + c.left) * k;
            const double y = (kMargin + topMm) * k + metrics.ascent();
            if (c.number)
                painter.drawText(QPointF(x + c.width * k - metrics.horizontalAdvance(s), y), s);
            else
                painter.drawText(QPointF(x, y), s);
        };
        auto rule = [&](double yMm) {
            painter.drawLine(QPointF(kMargin * k, (kMargin + yMm) * k),
                             QPointF((kMargin + kWidthMm) * k, (kMargin + yMm) * k));
        };
        const MemoryDataset& d = rows();
        double total = 0;
        double y = 0;
        pages = 1;
        for (int r = 0; r < kRows; ++r) {
            if (r % kRowsPerPage == 0) {
                if (r > 0) {
                    writer.newPage();
                    ++pages;
                }
                for (const Column& c : kColumns)
                    text(c, 2, QString::fromUtf8(c.title));
                rule(kHeaderMm);
                y = kHeaderMm;
            }
            for (const Column& c : kColumns) {
                const QVariant v = d.value(r, QString::fromLatin1(c.field));
                text(c, y + 0.5, c.number ? locale.toString(v.toDouble(), 'f', 2) : v.toString());
            }
            total += d.value(r, QStringLiteral("je")).toDouble();
            y += kRowMm;
            rule(y);
        }
        if (y + kSummaryMm > 297 - 2 * kMargin) {
            writer.newPage();
            ++pages;
            y = 0;
        }
        text({"je", "", 100, 90, false}, y + 1, QStringLiteral("合计 %1").arg(total));
        painter.end();
    }
    state.counters["pages"] = pages;
    state.counters["pages/s"] = benchmark::Counter(
        double(pages), benchmark::Counter::kIsRate | benchmark::Counter::kIsIterationInvariant);
}

}  // namespace

BENCHMARK(BM_EnginePdf)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_EnginePrepareOnly)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_DirectPainterPdf)->Unit(benchmark::kMillisecond)->Iterations(3);

int main(int argc, char** argv) {
    return Qd::Bench::runWithRatios(argc, argv,
                                    {{"BM_EnginePdf", "BM_DirectPainterPdf", 1.2},
                                     {"BM_EnginePrepareOnly", "BM_DirectPainterPdf", 0}});
}
