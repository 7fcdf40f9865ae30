// The layout pass's output pinned to the last digit: a report covering alignments, wrapping,
// display formats, negative and null values and odd strings is prepared and written out item
// by item (positions at full precision), together with the PDF's digest, and compared with the
// recorded file. Any change to how texts are measured, broken, placed, formatted or drawn shows
// up here as a difference. Set QD_UPDATE_GOLDEN=1 to record the file again after a change that
// is meant to alter the output.
#include <gtest/gtest.h>

#include <QCryptographicHash>
#include <QDateTime>
#include <QFile>
#include <QHashSeed>
#include <QTemporaryDir>
#include <QTextStream>

#include "print/engine/Engine.h"
#include "print/engine/Render.h"

using namespace Qd::Print;

namespace {

const QString kGolden = QStringLiteral(QD_PRINT_DATA_DIR "/prepared_pages.txt");

ReportObject textObject(const QString& name, QRectF rect, const QString& text, HAlign h, bool wrap,
                        const QString& format = {}, const QString& family = {}) {
    TextObject t{.text = text};
    t.font.family = family.isEmpty() ? QStringLiteral("WenQuanYi Micro Hei") : family;
    t.font.pointSize = 9;
    t.hAlign = h;
    t.wordWrap = wrap;
    t.displayFormat = format;
    return {name, rect, t};
}

// One data row per odd case: each column shows it through another alignment or format.
MemoryDataset cases() {
    MemoryDataset d({"txt", "num", "note"});
    const QVariantList numbers = {
        0,     1,          -1, 1234.5,     -1234.567,      0.005, -0.004, 1.005,  2.675,   1e15,
        -1e-9, QVariant(), 42, 999999.995, 123456789012LL, 0.125, -0.5,   "12.5", "-3.25", 7.0};
    const QStringList texts = {
        QString(),
        QStringLiteral("   "),
        QStringLiteral("  两头空格  "),
        QStringLiteral("B000123"),
        QStringLiteral("北京朝阳商品12"),
        QStringLiteral("office fi fl ffi"),
        QStringLiteral("tab\there"),
        QStringLiteral("line one\r\nline two\nline three"),
        QStringLiteral("sep\u2028arated"),
        QStringLiteral("cafe\u0301 na\u00efve"),
        QStringLiteral("emoji \U0001F600 end"),
        QStringLiteral("\u0645\u0631\u062d\u0628\u0627 arabic"),
        QStringLiteral("\u0e2a\u0e27\u0e31\u0e2a\u0e14\u0e35 thai"),
        QStringLiteral("全角，标点。（括号）：“引号”"),
        QStringLiteral("a very long text that has to wrap over several lines in a narrow box "
                       "一段很长的中文文字需要在窄框里换行显示多次才可以全部显示出来"),
        QStringLiteral("Superlongwordwithoutanyspacesthatmustbreakanywhere"),
        QStringLiteral("1,234.50"),
        QStringLiteral("¥12.00元"),
        QStringLiteral("trailing spaces   "),
        QStringLiteral("mixed 中文 and Latin 123"),
    };
    for (int i = 0; i < int(texts.size()); ++i)
        d.appendRow({texts[i], numbers[i], QStringLiteral("第%1行").arg(i + 1)});
    return d;
}

ReportTemplate casesReport() {
    ReportTemplate t;
    t.name = QStringLiteral("版面");
    t.datasets = {QStringLiteral("d")};
    const QString txt = QStringLiteral("[d.\"txt\"]");
    const QString num = QStringLiteral("[d.\"num\"]");
    Band header{.kind = BandKind::PageHeader, .name = "PageHeader1", .heightMm = 8};
    header.objects = {textObject("H1", {0, 1, 60, 6}, "左对齐标题", HAlign::Left, false),
                      textObject("H2", {60, 1, 60, 6}, "居中标题", HAlign::Center, false),
                      textObject("H3", {120, 1, 60, 6}, "右对齐标题", HAlign::Right, false)};
    Band data{.kind = BandKind::MasterData, .name = "MasterData1", .heightMm = 7};
    data.dataset = QStringLiteral("d");
    data.objects = {
        textObject("L", {0, 0, 30, 6}, txt, HAlign::Left, false),
        textObject("C", {30, 0, 30, 6}, txt, HAlign::Center, false),
        textObject("R", {60, 0, 30, 6}, txt, HAlign::Right, false),
        textObject("J", {90, 0, 30, 6}, txt, HAlign::Justify, false),
        textObject("W", {120, 0, 25, 6}, txt, HAlign::Left, true),
        textObject("WR", {145, 0, 25, 6}, txt, HAlign::Right, true),
        textObject("N1", {0, 6, 25, 1}, num, HAlign::Right, false, "#,##0.00"),
        textObject("N2", {25, 6, 25, 1}, num, HAlign::Right, false, "%10.2n"),
        textObject("N3", {50, 6, 25, 1}, num, HAlign::Right, false, "¥#,##0.00元"),
        textObject("N4", {75, 6, 25, 1}, num, HAlign::Center, false, "0.###"),
        textObject("N5", {100, 6, 25, 1}, num, HAlign::Right, false, "%d"),
        textObject("N6", {125, 6, 25, 1}, num, HAlign::Left, false, "%.3f"),
        textObject("N7", {150, 6, 25, 1}, "[d.\"note\"]：" + num, HAlign::Right, false, "#.#",
                   QStringLiteral("DejaVu Sans")),
    };
    auto* grow = std::get_if<TextObject>(&data.objects[4].content);
    grow->canGrow = true;
    data.objects.push_back({"Rule", {0, 7, 180, 0}, LineObject{}});
    Band summary{.kind = BandKind::ReportSummary, .name = "Summary1", .heightMm = 8};
    summary.objects = {textObject("S", {90, 1, 90, 6}, "合计 [SUM(" + num + ")]", HAlign::Right,
                                  false, "#,##0.00")};
    t.bands = {header, data, summary};
    return t;
}

QString number(double v) {
    return QString::number(v, 'g', 17);
}

// Every item of every page, positions at full precision.
QString dump(const PreparedReport& report) {
    QString out;
    QTextStream s(&out);
    for (int p = 0; p < report.pageCount(); ++p) {
        const PreparedPage& page = report.pages[size_t(p)];
        s << "page " << p + 1 << ' ' << number(page.sizeMm.width()) << 'x'
          << number(page.sizeMm.height()) << '\n';
        for (const PreparedItem& item : page.items) {
            if (const auto* t = std::get_if<PreparedText>(&item)) {
                s << "text " << number(t->clipMm.x()) << ' ' << number(t->clipMm.y()) << ' '
                  << number(t->clipMm.width()) << ' ' << number(t->clipMm.height()) << ' '
                  << t->font.family << '\n';
                for (const TextRun& run : t->lines)
                    s << "  " << number(run.baselineMm.x()) << ' ' << number(run.baselineMm.y())
                      << " |" << run.text << "|\n";
            } else if (const auto* l = std::get_if<PreparedLine>(&item)) {
                s << "line " << number(l->lineMm.x1()) << ' ' << number(l->lineMm.y1()) << ' '
                  << number(l->lineMm.x2()) << ' ' << number(l->lineMm.y2()) << '\n';
            } else if (const auto* b = std::get_if<PreparedBox>(&item)) {
                s << "box " << number(b->rectMm.x()) << ' ' << number(b->rectMm.y()) << ' '
                  << number(b->rectMm.width()) << ' ' << number(b->rectMm.height()) << '\n';
            }
        }
    }
    return out;
}

}  // namespace

TEST(PreparedPages, StayAsRecordedDownToTheLastDigitAndTheirPdfToTheByte) {
    const MemoryDataset d = cases();
    ReportData data;
    // Enough rows for three pages: the cases over and over, each pass another page position.
    MemoryDataset many({"txt", "num", "note"});
    for (int pass = 0; pass < 4; ++pass) {
        for (int r = 0; r < d.rowCount(); ++r)
            many.appendRow({d.value(r, "txt"), d.value(r, "num"), d.value(r, "note")});
    }
    data.addDataset(QStringLiteral("d"), &many);
    const PreparedReport report = prepare(casesReport(), data);
    ASSERT_GE(report.pageCount(), 3);

    // The PDF writer lists the embedded fonts' glyphs in hash order: a fixed seed fixes it.
    QHashSeed::setDeterministicGlobalSeed();
    QTemporaryDir dir;
    const QString pdf = dir.filePath("cases.pdf");
    ASSERT_TRUE(toPdf(report, pdf, QDateTime(QDate(2026, 12, 7), QTime(9, 5), Qt::UTC)));
    QHashSeed::resetRandomGlobalSeed();
    QFile pdfFile(pdf);
    ASSERT_TRUE(pdfFile.open(QIODevice::ReadOnly));
    const QString actual =
        dump(report) + "pdf sha256 " +
        QCryptographicHash::hash(pdfFile.readAll(), QCryptographicHash::Sha256).toHex() + '\n';

    QFile golden(kGolden);
    if (qEnvironmentVariableIntValue("QD_UPDATE_GOLDEN") == 1) {
        ASSERT_TRUE(golden.open(QIODevice::WriteOnly | QIODevice::Truncate));
        golden.write(actual.toUtf8());
        return;
    }
    ASSERT_TRUE(golden.open(QIODevice::ReadOnly)) << kGolden.toStdString();
    const QStringList want = QString::fromUtf8(golden.readAll()).split(u'\n');
    const QStringList got = actual.split(u'\n');
    for (qsizetype i = 0; i < std::min(want.size(), got.size()); ++i)
        ASSERT_EQ(got[i].toStdString(), want[i].toStdString()) << "line " << i + 1;
    EXPECT_EQ(got.size(), want.size());
}
