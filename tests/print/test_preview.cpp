// The print preview: turning pages, zooming, exporting, printing and page setup, with every
// dialog and file choice answered by the scripted prompter.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPageSetupDialog>
#include <QPrinter>
#include <QRegularExpression>
#include <QScrollArea>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include "print/engine/Preview.h"
#include "print/engine/PrintDialog.h"
#include "print/engine/Render.h"
#include "support/Render.h"
#include "support/ScriptedPrompter.h"

using namespace Qd::Print;
using Qd::Test::ScriptedPrompter;

namespace {

// `count` A4 pages, each with a framed title "第 N 页" and a rule; page N's box is N cm wide,
// so that the pages draw differently.
PreparedReport pages(int count, QSizeF sizeMm = {210, 297}) {
    PreparedReport r{QStringLiteral("门店日报"), {}};
    for (int i = 1; i <= count; ++i) {
        PreparedPage page{sizeMm, {}};
        PreparedText title{{20, 20, 120, 12}, {}, Qt::black, {}};
        title.font.family = QStringLiteral("WenQuanYi Micro Hei");
        title.font.pointSize = 16;
        title.lines.push_back({{22, 30}, QStringLiteral("第 %1 页").arg(i)});
        page.items.emplace_back(title);
        page.items.emplace_back(
            PreparedBox{{20, 50, 10.0 * i, 20}, QColor(200, 220, 255), Border{AllSides}});
        page.items.emplace_back(PreparedLine{{{20, 80}, {190, 80}}, 0.5});
        r.pages.push_back(std::move(page));
    }
    return r;
}

int pdfPageCount(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    static const QRegularExpression page(QStringLiteral(R"(/Type\s*/Page(?!s))"));
    int count = 0;
    for (auto it = page.globalMatch(QString::fromLatin1(file.readAll())); it.hasNext(); it.next())
        ++count;
    return count;
}

QString labelText(const PreviewDialog& d) {
    return d.findChild<QLabel*>(QStringLiteral("pageLabel"))->text();
}

std::unique_ptr<QPrinter> pdfPrinter(const QString& path) {
    auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    printer->setOutputFormat(QPrinter::PdfFormat);
    printer->setOutputFileName(path);
    return printer;
}

}  // namespace

TEST(PreviewNavigation, ButtonsAndKeysTurnPagesAndTheLabelFollows) {
    // Given: a preview of three pages
    PreviewDialog d(pages(3));
    EXPECT_EQ(labelText(d), QStringLiteral("第 1 / 3 页"));
    EXPECT_FALSE(d.action("first")->isEnabled());
    EXPECT_FALSE(d.action("previous")->isEnabled());
    EXPECT_TRUE(d.action("next")->isEnabled());

    // When/Then: the toolbar's actions
    d.action("next")->trigger();
    EXPECT_EQ(d.currentPage(), 1);
    EXPECT_EQ(labelText(d), QStringLiteral("第 2 / 3 页"));
    d.action("last")->trigger();
    EXPECT_EQ(labelText(d), QStringLiteral("第 3 / 3 页"));
    EXPECT_FALSE(d.action("last")->isEnabled());
    d.action("first")->trigger();
    EXPECT_EQ(d.currentPage(), 0);

    // When/Then: keys sent where the focus is (the scroll area) turn pages, not scroll
    auto* scroll = d.findChild<QScrollArea*>();
    QTest::keyClick(scroll, Qt::Key_PageDown);
    EXPECT_EQ(d.currentPage(), 1);
    QTest::keyClick(scroll, Qt::Key_End);
    EXPECT_EQ(d.currentPage(), 2);
    QTest::keyClick(scroll, Qt::Key_PageDown);  // past the end: stays
    EXPECT_EQ(d.currentPage(), 2);
    QTest::keyClick(&d, Qt::Key_Home);
    EXPECT_EQ(labelText(d), QStringLiteral("第 1 / 3 页"));
}

TEST(PreviewNavigation, ReportWithoutPagesOrReplacedKeepsSensiblePage) {
    PreviewDialog empty(PreparedReport{});
    EXPECT_EQ(labelText(empty), QStringLiteral("第 0 / 0 页"));
    for (const char* name : {"print", "exportPdf", "exportImage", "next", "last"})
        EXPECT_FALSE(empty.action(name)->isEnabled()) << name;
    EXPECT_FALSE(empty.printReport());
    EXPECT_FALSE(empty.exportPdf());

    // A report prepared again with fewer pages: the preview stays on the last one there is
    PreviewDialog d(pages(5));
    d.setCurrentPage(4);
    d.setReport(pages(2));
    EXPECT_EQ(d.currentPage(), 1);
    EXPECT_EQ(labelText(d), QStringLiteral("第 2 / 2 页"));
    d.setReport(pages(4));
    EXPECT_EQ(d.currentPage(), 1);
    EXPECT_TRUE(d.action("next")->isEnabled());
}

TEST(PreviewZoom, ZoomChangesTheDrawnSize) {
    PreviewDialog d(pages(2));
    d.setZoom(1.0);
    const QSize actual = d.pageSizePx();
    const double perMm = d.logicalDpiX() / 25.4;
    EXPECT_NEAR(actual.width(), 210 * perMm, 1);
    EXPECT_NEAR(actual.height(), 297 * perMm, 1);

    d.setZoom(2.0);
    EXPECT_NEAR(d.pageSizePx().width(), 2 * actual.width(), 2);
    EXPECT_EQ(d.findChild<QComboBox*>(QStringLiteral("zoomBox"))->currentText(),
              QStringLiteral("200%"));

    // 放大 and 缩小 step through the combo's steps; limits hold
    d.setZoom(1.0);
    d.action("zoomIn")->trigger();
    EXPECT_DOUBLE_EQ(d.zoom(), 1.25);
    d.action("zoomOut")->trigger();
    d.action("zoomOut")->trigger();
    EXPECT_DOUBLE_EQ(d.zoom(), 0.75);
    d.setZoom(100);
    EXPECT_DOUBLE_EQ(d.zoom(), PreviewDialog::kMaxZoom);
    EXPECT_FALSE(d.action("zoomIn")->isEnabled());

    // A typed percentage
    auto* box = d.findChild<QComboBox*>(QStringLiteral("zoomBox"));
    box->setEditText(QStringLiteral("130%"));
    emit box->lineEdit()->editingFinished();
    EXPECT_DOUBLE_EQ(d.zoom(), 1.3);

    // What is drawn is the page: the sheet is as large as the zoom and page 2's box shows
    d.setZoom(0.5);
    d.setCurrentPage(1);
    auto* view = d.findChild<QScrollArea*>()->widget();
    const QImage drawn = view->grab().toImage();
    EXPECT_EQ(drawn.size(), d.pageSizePx());
    const QPoint inBox((20 + 15) * perMm * 0.5, (50 + 10) * perMm * 0.5);
    EXPECT_EQ(QColor(drawn.pixel(inBox)), QColor(200, 220, 255));
    EXPECT_EQ(QColor(drawn.pixel(5, 5)), QColor(Qt::white));
}

TEST(PreviewZoom, FitsFollowTheWindow) {
    PreviewDialog d(pages(1));
    d.resize(800, 600);
    d.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&d));
    auto* scroll = d.findChild<QScrollArea*>();

    d.action("fitWidth")->trigger();
    EXPECT_EQ(d.fit(), PreviewDialog::Fit::Width);
    EXPECT_LE(d.pageSizePx().width(), scroll->maximumViewportSize().width());
    EXPECT_GT(d.pageSizePx().width(), scroll->maximumViewportSize().width() - 40);

    d.action("fitPage")->trigger();
    EXPECT_LE(d.pageSizePx().height(), scroll->maximumViewportSize().height());
    EXPECT_GT(d.pageSizePx().height(), scroll->maximumViewportSize().height() - 40);

    // Resizing keeps the whole page in view; an explicit zoom ends the fit
    d.resize(1000, 900);
    QCoreApplication::processEvents();
    EXPECT_GT(d.pageSizePx().height(), scroll->maximumViewportSize().height() - 40);
    d.setZoom(1);
    EXPECT_EQ(d.fit(), PreviewDialog::Fit::None);
}

TEST(PreviewExport, PdfAndImagesAreWrittenUnderTheChosenNames) {
    QTemporaryDir dir;
    ScriptedPrompter prompter;
    PreviewDialog d(pages(3));
    d.setCurrentPage(1);

    // PDF: the suffix is added when missing; every page is in it
    prompter.answerText(dir.filePath("日报"));
    EXPECT_TRUE(d.exportPdf());
    EXPECT_EQ(prompter.last().what, QStringLiteral("save"));
    EXPECT_EQ(pdfPageCount(dir.filePath("日报.pdf")), 3);

    // The current page as one PNG, at the export resolution, the same as toImage draws it
    prompter.answerText(dir.filePath("当前.png"));
    d.action("exportImage")->trigger();
    const QImage current(dir.filePath("当前.png"));
    ASSERT_FALSE(current.isNull());
    EXPECT_EQ(current.convertToFormat(QImage::Format_RGB32),
              toImage(d.report(), 1, PreviewDialog::kImageDpi));

    // Every page, numbered; page 3's file holds page 3
    prompter.answerText(dir.filePath("全部.png"));
    d.action("exportAllImages")->trigger();
    for (const char* name : {"全部-1.png", "全部-2.png", "全部-3.png"})
        EXPECT_TRUE(QFile::exists(dir.filePath(QString::fromUtf8(name)))) << name;
    EXPECT_EQ(QImage(dir.filePath("全部-3.png")).convertToFormat(QImage::Format_RGB32),
              toImage(d.report(), 2, PreviewDialog::kImageDpi));
    EXPECT_FALSE(QFile::exists(dir.filePath("全部.png")));

    // Cancelled choices write nothing
    prompter.answerText({});
    EXPECT_FALSE(d.exportPdf());
    EXPECT_EQ(prompter.pending(), 0);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 5);

    // Page numbers are as wide as the last page's.
    PreviewDialog ten(pages(10, {100, 50}));
    prompter.answerText(dir.filePath("标签"));
    EXPECT_TRUE(ten.exportImages(true));
    EXPECT_TRUE(QFile::exists(dir.filePath("标签-01.png")));
    EXPECT_TRUE(QFile::exists(dir.filePath("标签-10.png")));
}

TEST(PreviewPrint, PrintingEmitsPrintedOnceAndPrintsThePagesChosen) {
    QTemporaryDir dir;
    const QString out = dir.filePath("printed.pdf");
    ScriptedPrompter prompter;
    PreviewDialog d(pages(4));
    int made = 0;
    d.setPrinterFactory([&] {
        ++made;
        return pdfPrinter(out);
    });
    QSignalSpy printed(&d, &PreviewDialog::printed);

    prompter.answer(QDialog::Accepted);
    d.action("print")->trigger();

    EXPECT_EQ(prompter.last().what, QStringLiteral("exec"));
    EXPECT_EQ(prompter.last().title, QStringLiteral("打印"));
    EXPECT_EQ(printed.count(), 1);
    EXPECT_EQ(pdfPageCount(out), 4);

    // The same printer serves the next job
    prompter.answer(QDialog::Accepted);
    EXPECT_TRUE(d.printReport());
    EXPECT_EQ(printed.count(), 2);
    EXPECT_EQ(made, 1);

    // The pages chosen in the print dialog are the ones printed.
    d.setPrinterFactory([&] { return pdfPrinter(dir.filePath("range.pdf")); });
    prompter.answerDialog([](QDialog& dialog) {
        auto& printDialog = dynamic_cast<PrintDialog&>(dialog);
        printDialog.choosePages(2, 3);
        printDialog.accept();
        return printDialog.result();
    });
    EXPECT_TRUE(d.printReport());
    EXPECT_EQ(pdfPageCount(dir.filePath("range.pdf")), 2);

    // The range does not stick to the next job; 当前页 prints one page
    d.setPrinterFactory([&] { return pdfPrinter(dir.filePath("current.pdf")); });
    d.setCurrentPage(3);
    prompter.answerDialog([](QDialog& dialog) {
        auto& printDialog = dynamic_cast<PrintDialog&>(dialog);
        printDialog.chooseCurrentPage();
        printDialog.accept();
        return printDialog.result();
    });
    EXPECT_TRUE(d.printReport());
    EXPECT_EQ(pdfPageCount(dir.filePath("current.pdf")), 1);
}

// The print dialog writes its choices into the printer only when accepted; a PDF target needs
// a file.
TEST(PreviewPrint, PrintDialogChoicesReachThePrinterOnAccept) {
    QTemporaryDir dir;
    ScriptedPrompter prompter;
    auto printer = pdfPrinter(dir.filePath("first.pdf"));
    PrintDialog dialog(*printer, 5);
    Qd::Test::keepRender(dialog, QStringLiteral("print-dialog.png"));
    dialog.choosePdfFile(dir.filePath("other.pdf"));
    dialog.setCopies(2);
    dialog.choosePages(4, 9);
    EXPECT_EQ(printer->outputFileName(), dir.filePath("first.pdf"));  // nothing applied yet

    dialog.accept();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(printer->outputFileName(), dir.filePath("other.pdf"));
    EXPECT_EQ(printer->copyCount(), 2);
    EXPECT_EQ(printer->printRange(), QPrinter::PageRange);
    EXPECT_EQ(printer->fromPage(), 4);
    EXPECT_EQ(printer->toPage(), 5);

    PrintDialog again(*printer, 5);
    again.choosePdfFile(QStringLiteral("  "));
    prompter.answer(Qd::Core::Ui::mrOk);
    again.accept();
    EXPECT_NE(again.result(), QDialog::Accepted);
    EXPECT_EQ(prompter.messages(), QStringList{QStringLiteral("请输入要打印到的文件。")});
    EXPECT_EQ(printer->outputFileName(), dir.filePath("other.pdf"));
}

TEST(PreviewPageSetup, AcceptedLayoutIsSignalledForTheCallerToPrepareAgain) {
    QTemporaryDir dir;
    ScriptedPrompter prompter;
    PreviewDialog d(pages(1));
    d.setPrinterFactory([&] { return pdfPrinter(dir.filePath("x.pdf")); });
    QSignalSpy changed(&d, &PreviewDialog::pageSetupChanged);

    // The dialog opens on the report's own paper; the user turns it to A5 landscape
    QPageLayout opened;
    prompter.answerDialog([&](QDialog& dialog) {
        QPrinter* p = static_cast<QPageSetupDialog&>(dialog).printer();
        opened = p->pageLayout();
        p->setPageSize(QPageSize(QPageSize::A5));
        p->setPageOrientation(QPageLayout::Landscape);
        return int(QDialog::Accepted);
    });
    d.action("pageSetup")->trigger();
    EXPECT_EQ(prompter.last().title, QStringLiteral("页面设置"));
    EXPECT_EQ(opened.pageSize().id(), QPageSize::A4);
    EXPECT_EQ(opened.orientation(), QPageLayout::Portrait);
    ASSERT_EQ(changed.count(), 1);
    const auto layout = changed.at(0).at(0).value<QPageLayout>();
    EXPECT_EQ(layout.pageSize().id(), QPageSize::A5);
    EXPECT_EQ(layout.orientation(), QPageLayout::Landscape);

    // Cancelled: no signal
    prompter.answer(QDialog::Rejected);
    EXPECT_FALSE(d.pageSetup());
    EXPECT_EQ(changed.count(), 1);
}
