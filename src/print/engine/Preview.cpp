#include "print/engine/Preview.h"

#include <QAction>
#include <QComboBox>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPageSetupDialog>
#include <QPainter>
#include <QPrinter>
#include <QScrollArea>
#include <QScrollBar>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <algorithm>
#include <array>

#include "base/OwnerOnly.h"
#include "base/Prompter.h"
#include "base/SafeName.h"
#include "print/engine/PrintJob.h"
#include "print/engine/Render.h"

namespace Qd::Print {

namespace Internal {

// The current page on a white sheet, as large as the zoom makes it.
class PageView : public QWidget {
public:
    explicit PageView(QWidget* parent) : QWidget(parent) { setAttribute(Qt::WA_OpaquePaintEvent); }

    void show(const PreparedReport* report, int page, double pixelsPerMm) {
        m_report = report;
        m_page = page;
        m_pixelsPerMm = pixelsPerMm;
        const QSizeF mm =
            page < report->pageCount() ? report->pages[size_t(page)].sizeMm : QSizeF(210, 297);
        setFixedSize((mm * pixelsPerMm).toSize());
        update();
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.fillRect(rect(), Qt::white);
        if (m_report)
            renderPage(*m_report, m_page, painter, m_pixelsPerMm);
    }

private:
    const PreparedReport* m_report = nullptr;  // not owned: the dialog's
    int m_page = 0;
    double m_pixelsPerMm = 1;
};

}  // namespace Internal

namespace {

using Core::Ui::prompter;

// The zoom steps 放大 and 缩小 move between, and the combo box offers.
constexpr std::array kZoomSteps{0.25, 0.5, 0.75, 1.0, 1.25, 1.5, 2.0, 3.0, 4.0};

// Room left around the sheet when fitting, so that no scroll bar appears for a whole page.
constexpr int kFitMarginPx = 24;

constexpr std::pair<PaperSize, QPageSize::PageSizeId> kPapers[] = {
    {PaperSize::A3, QPageSize::A3},         {PaperSize::A4, QPageSize::A4},
    {PaperSize::A5, QPageSize::A5},         {PaperSize::B5, QPageSize::B5},
    {PaperSize::Letter, QPageSize::Letter}, {PaperSize::Legal, QPageSize::Legal},
};

}  // namespace

QPageLayout toPageLayout(const PageSetup& page) {
    QPageSize size(QSizeF(page.widthMm, page.heightMm), QPageSize::Millimeter);
    for (const auto& [paper, id] : kPapers) {
        if (paper == page.paper)
            size = QPageSize(id);
    }
    const Margins& m = page.margins;
    return QPageLayout(
        size,
        page.orientation == Orientation::Landscape ? QPageLayout::Landscape : QPageLayout::Portrait,
        QMarginsF(m.left, m.top, m.right, m.bottom), QPageLayout::Millimeter);
}

void applyPageLayout(const QPageLayout& layout, PageSetup& page) {
    const QPageSize size = layout.pageSize();
    const auto named = std::find_if(std::begin(kPapers), std::end(kPapers),
                                    [&](const auto& p) { return p.second == size.id(); });
    if (named != std::end(kPapers)) {
        page.setPaper(named->first);
    } else {
        const QSizeF mm = size.size(QPageSize::Millimeter);
        page.setCustomSize(mm.width(), mm.height());
    }
    page.orientation = layout.orientation() == QPageLayout::Landscape ? Orientation::Landscape
                                                                      : Orientation::Portrait;
    const QMarginsF m = layout.margins(QPageLayout::Millimeter);
    page.margins = {m.left(), m.top(), m.right(), m.bottom()};
}

PreviewDialog::PreviewDialog(PreparedReport report, QWidget* parent)
    : QDialog(parent), m_report(std::move(report)), m_job(new PrintJob(this)) {
    connect(m_job, &PrintJob::printStarting, this, &PreviewDialog::printStarting);
    connect(m_job, &PrintJob::printed, this, &PreviewDialog::printed);
    setWindowTitle(QStringLiteral("打印预览"));
    setWindowFlag(Qt::WindowMaximizeButtonHint);
    resize(900, 700);

    m_scroll = new QScrollArea(this);
    m_scroll->setAlignment(Qt::AlignCenter);
    m_scroll->setBackgroundRole(QPalette::Dark);
    m_view = new Internal::PageView(m_scroll);
    m_scroll->setWidget(m_view);
    m_scroll->installEventFilter(this);
    m_scroll->viewport()->installEventFilter(this);

    buildActions();
    buildToolBar();
    auto* toolBar = findChild<QToolBar*>();
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(toolBar);
    layout->addWidget(m_scroll, 1);
    m_scroll->setFocus();
    refresh();
}

PreviewDialog::~PreviewDialog() = default;

// Every action once: name, caption, shortcut, when it is enabled, what it does.
void PreviewDialog::buildActions() {
    struct Entry {
        const char* name;
        QString caption;
        QKeySequence key;
        std::function<bool()> enabled;
        std::function<void()> run;
    };
    auto hasPages = [this] { return m_report.pageCount() > 0; };
    auto notFirst = [this] { return m_page > 0; };
    auto notLast = [this] { return m_page + 1 < m_report.pageCount(); };
    auto always = [] { return true; };
    const Entry entries[] = {
        {"first", QStringLiteral("首页"), {}, notFirst, [this] { setCurrentPage(0); }},
        {"previous",
         QStringLiteral("上一页"),
         {},
         notFirst,
         [this] { setCurrentPage(m_page - 1); }},
        {"next", QStringLiteral("下一页"), {}, notLast, [this] { setCurrentPage(m_page + 1); }},
        {"last",
         QStringLiteral("末页"),
         {},
         notLast,
         [this] { setCurrentPage(m_report.pageCount() - 1); }},
        {"zoomIn", QStringLiteral("放大"), QKeySequence::ZoomIn,
         [this] { return m_zoom < kMaxZoom; }, [this] { zoomIn(); }},
        {"zoomOut", QStringLiteral("缩小"), QKeySequence::ZoomOut,
         [this] { return m_zoom > kMinZoom; }, [this] { zoomOut(); }},
        {"fitWidth", QStringLiteral("适合宽度"), {}, always, [this] { setFit(Fit::Width); }},
        {"fitPage", QStringLiteral("整页"), {}, always, [this] { setFit(Fit::WholePage); }},
        {"print", QStringLiteral("打印"), QKeySequence::Print, hasPages, [this] { printReport(); }},
        {"exportPdf", QStringLiteral("导出 PDF"), {}, hasPages, [this] { exportPdf(); }},
        {"exportImage", QStringLiteral("导出图片"), {}, hasPages, [this] { exportImages(false); }},
        {"exportAllImages",
         QStringLiteral("导出全部页为图片"),
         {},
         hasPages,
         [this] { exportImages(true); }},
        {"pageSetup", QStringLiteral("页面设置"), {}, always, [this] { pageSetup(); }},
        {"close", QStringLiteral("关闭"), {}, always, [this] { reject(); }},
    };
    for (const Entry& e : entries) {
        auto* action = new QAction(e.caption, this);
        action->setObjectName(QString::fromLatin1(e.name));
        action->setShortcut(e.key);
        action->setShortcutContext(Qt::WidgetWithChildrenShortcut);
        addAction(action);
        connect(action, &QAction::triggered, this, e.run);
        m_actions.push_back({action, e.enabled});
    }
}

void PreviewDialog::buildToolBar() {
    auto* bar = new QToolBar(this);
    bar->setToolButtonStyle(Qt::ToolButtonTextOnly);
    for (const char* name : {"first", "previous"})
        bar->addAction(action(QString::fromLatin1(name)));
    m_pageLabel = new QLabel(bar);
    m_pageLabel->setObjectName(QStringLiteral("pageLabel"));
    m_pageLabel->setContentsMargins(8, 0, 8, 0);
    bar->addWidget(m_pageLabel);
    for (const char* name : {"next", "last"})
        bar->addAction(action(QString::fromLatin1(name)));
    bar->addSeparator();
    bar->addAction(action(QStringLiteral("zoomOut")));
    m_zoomBox = new QComboBox(bar);
    m_zoomBox->setObjectName(QStringLiteral("zoomBox"));
    m_zoomBox->setEditable(true);
    m_zoomBox->setInsertPolicy(QComboBox::NoInsert);
    for (double step : kZoomSteps)
        m_zoomBox->addItem(QStringLiteral("%1%").arg(qRound(step * 100)), step);
    // A typed "130" or "130%" is taken as a percentage; anything else puts the zoom back.
    connect(m_zoomBox, &QComboBox::activated, this,
            [this](int index) { setZoom(m_zoomBox->itemData(index).toDouble()); });
    connect(m_zoomBox->lineEdit(), &QLineEdit::editingFinished, this, [this] {
        QString text = m_zoomBox->currentText().trimmed();
        text.remove(u'%');
        bool ok = false;
        const double percent = text.toDouble(&ok);
        if (ok && percent > 0)
            setZoom(percent / 100);
        else
            refresh();
    });
    bar->addWidget(m_zoomBox);
    for (const char* name : {"zoomIn", "fitWidth", "fitPage"})
        bar->addAction(action(QString::fromLatin1(name)));
    bar->addSeparator();
    bar->addAction(action(QStringLiteral("print")));
    bar->addAction(action(QStringLiteral("exportPdf")));
    auto* imageMenu = new QMenu(bar);
    imageMenu->addAction(action(QStringLiteral("exportImage")));
    imageMenu->addAction(action(QStringLiteral("exportAllImages")));
    auto* imageButton = new QToolButton(bar);
    imageButton->setDefaultAction(action(QStringLiteral("exportImage")));
    imageButton->setMenu(imageMenu);
    imageButton->setPopupMode(QToolButton::MenuButtonPopup);
    bar->addWidget(imageButton);
    bar->addAction(action(QStringLiteral("pageSetup")));
    bar->addSeparator();
    bar->addAction(action(QStringLiteral("close")));
}

QAction* PreviewDialog::action(const QString& name) const {
    for (const ActionEntry& e : m_actions) {
        if (e.action->objectName() == name)
            return e.action;
    }
    return nullptr;
}

void PreviewDialog::setReport(PreparedReport report) {
    m_report = std::move(report);
    m_page = std::clamp(m_page, 0, std::max(0, m_report.pageCount() - 1));
    applyFit();
    refresh();
}

void PreviewDialog::setCurrentPage(int page) {
    const int clamped = std::clamp(page, 0, std::max(0, m_report.pageCount() - 1));
    if (clamped == m_page)
        return;
    m_page = clamped;
    applyFit();  // pages of another size fit differently
    refresh();
    m_scroll->verticalScrollBar()->setValue(0);
}

QString PreviewDialog::pageLabel() const {
    const int count = m_report.pageCount();
    return QStringLiteral("第 %1 / %2 页").arg(count > 0 ? m_page + 1 : 0).arg(count);
}

void PreviewDialog::setZoom(double zoom) {
    m_fit = Fit::None;
    m_zoom = std::clamp(zoom, kMinZoom, kMaxZoom);
    refresh();
}

void PreviewDialog::setFit(Fit fit) {
    m_fit = fit;
    applyFit();
    refresh();
}

void PreviewDialog::zoomIn() {
    const auto* next = std::upper_bound(kZoomSteps.begin(), kZoomSteps.end(), m_zoom + 1e-6);
    setZoom(next != kZoomSteps.end() ? *next : m_zoom * 1.25);
}

void PreviewDialog::zoomOut() {
    const auto* below = std::lower_bound(kZoomSteps.begin(), kZoomSteps.end(), m_zoom - 1e-6);
    setZoom(below != kZoomSteps.begin() ? *(below - 1) : m_zoom / 1.25);
}

QSize PreviewDialog::pageSizePx() const {
    return m_view->size();
}

double PreviewDialog::pixelsPerMm() const {
    return logicalDpiX() / 25.4 * m_zoom;
}

void PreviewDialog::applyFit() {
    if (m_fit == Fit::None || m_report.pageCount() == 0)
        return;
    const QSizeF mm = m_report.pages[size_t(m_page)].sizeMm;
    const QSize room = m_scroll->maximumViewportSize() - QSize(kFitMarginPx, kFitMarginPx);
    const double perMm = logicalDpiX() / 25.4;
    double zoom = room.width() / (mm.width() * perMm);
    if (m_fit == Fit::WholePage)
        zoom = std::min(zoom, room.height() / (mm.height() * perMm));
    m_zoom = std::clamp(zoom, kMinZoom, kMaxZoom);
}

void PreviewDialog::refresh() {
    m_view->show(&m_report, m_page, pixelsPerMm());
    m_pageLabel->setText(pageLabel());
    m_zoomBox->setEditText(QStringLiteral("%1%").arg(qRound(m_zoom * 100)));
    for (const ActionEntry& e : m_actions)
        e.action->setEnabled(e.enabled());
}

void PreviewDialog::setPrinterFactory(PrinterFactory factory) {
    m_job->setPrinterFactory(std::move(factory));
}

void PreviewDialog::setPrintGuard(std::function<bool()> guard) {
    m_job->setPrintGuard(std::move(guard));
}

QPrinter& PreviewDialog::printer() {
    return m_job->printer(m_report.page);
}

bool PreviewDialog::printReport() {
    return m_job->print(m_report, m_page);
}

bool PreviewDialog::exportPdf() {
    if (m_report.pageCount() == 0)
        return false;
    const QString path = prompter().saveFileName(
        QStringLiteral("导出 PDF"), Core::Sys::safeFileName(m_report.name + ".pdf"),
        QStringLiteral("PDF 文件 (*.pdf)"), QStringLiteral("pdf"));
    if (path.isEmpty())
        return false;
    QString error;
    if (!toPdf(m_report, path, QDateTime::currentDateTime(), &error)) {
        prompter().message(QStringLiteral("导出 PDF 失败：%1").arg(error), windowTitle(),
                           Core::Ui::MsgKind::Error, Core::Ui::MsgButtons::Ok);
        return false;
    }
    return true;
}

bool PreviewDialog::exportImages(bool allPages) {
    if (m_report.pageCount() == 0)
        return false;
    const QString path = prompter().saveFileName(
        allPages ? QStringLiteral("导出全部页为图片") : QStringLiteral("导出图片"),
        Core::Sys::safeFileName(m_report.name + ".png"), QStringLiteral("PNG 图片 (*.png)"),
        QStringLiteral("png"));
    if (path.isEmpty())
        return false;
    std::vector<std::pair<int, QString>> files;
    if (!allPages) {
        files.emplace_back(m_page, path);
    } else {
        // Numbers as wide as the last one, so that the files sort in page order.
        const QFileInfo info(path);
        const QString stem = info.dir().filePath(info.completeBaseName());
        const int digits = int(QString::number(m_report.pageCount()).size());
        for (int i = 0; i < m_report.pageCount(); ++i)
            files.emplace_back(
                i, QStringLiteral("%1-%2.png").arg(stem).arg(i + 1, digits, 10, QLatin1Char('0')));
    }
    for (const auto& [page, file] : files) {
        if (!toImage(m_report, page, kImageDpi).save(file, "PNG")) {
            prompter().message(QStringLiteral("无法写入图片：%1").arg(file), windowTitle(),
                               Core::Ui::MsgKind::Error, Core::Ui::MsgButtons::Ok);
            return false;
        }
        Core::Sys::ownerOnly(file);
    }
    return true;
}

bool PreviewDialog::pageSetup() {
    QPrinter& target = printer();
    target.setPageLayout(toPageLayout(m_report.page));
    QPageSetupDialog dialog(&target, this);
    dialog.setWindowTitle(QStringLiteral("页面设置"));
    if (prompter().exec(dialog) != QDialog::Accepted)
        return false;
    emit pageSetupChanged(target.pageLayout());
    return true;
}

bool PreviewDialog::turnPageByKey(int key) {
    switch (key) {
        case Qt::Key_PageUp:
            setCurrentPage(m_page - 1);
            return true;
        case Qt::Key_PageDown:
            setCurrentPage(m_page + 1);
            return true;
        case Qt::Key_Home:
            setCurrentPage(0);
            return true;
        case Qt::Key_End:
            setCurrentPage(m_report.pageCount() - 1);
            return true;
        default:
            return false;
    }
}

// The scroll area would take PgUp/PgDn/Home/End to scroll within the sheet; here they turn
// pages. Ctrl+wheel zooms, and a fit follows the viewport as it is resized.
bool PreviewDialog::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->modifiers() == Qt::NoModifier && turnPageByKey(key->key()))
            return true;
    } else if (event->type() == QEvent::Wheel && watched == m_scroll->viewport()) {
        const auto* wheel = static_cast<QWheelEvent*>(event);
        if (wheel->modifiers() & Qt::ControlModifier) {
            if (wheel->angleDelta().y() > 0)
                zoomIn();
            else if (wheel->angleDelta().y() < 0)
                zoomOut();
            return true;
        }
    } else if (event->type() == QEvent::Resize && watched == m_scroll && m_fit != Fit::None) {
        applyFit();
        refresh();
    }
    return QDialog::eventFilter(watched, event);
}

void PreviewDialog::keyPressEvent(QKeyEvent* event) {
    if (event->modifiers() == Qt::NoModifier && turnPageByKey(event->key()))
        return;
    QDialog::keyPressEvent(event);
}

}  // namespace Qd::Print
