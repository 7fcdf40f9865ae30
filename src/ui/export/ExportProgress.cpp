#include "ui/export/ExportProgress.h"

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLabel>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace Qd::Core::Ui {

namespace {

constexpr qint64 kEventsEveryMs = 100;

// The window: what is exported, how far it is, and the button that stops it. Closing the window
// cancels as the button does.
class ExportProgressWindow : public QDialog {
public:
    explicit ExportProgressWindow(bool* cancelled) : m_cancelled(cancelled) {
        setObjectName(QStringLiteral("exportProgress"));
        setWindowTitle(QStringLiteral("正在导出…"));
        setWindowModality(Qt::ApplicationModal);  // nothing changes the data meanwhile
        auto* layout = new QVBoxLayout(this);
        m_what = new QLabel;
        m_what->setObjectName(QStringLiteral("what"));
        m_bar = new QProgressBar;
        m_bar->setTextVisible(false);
        m_count = new QLabel;
        m_count->setObjectName(QStringLiteral("count"));
        auto* cancel = new QPushButton(QStringLiteral("取消"));
        cancel->setObjectName(QStringLiteral("cancel"));
        connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
        layout->addWidget(m_what);
        layout->addWidget(m_bar);
        layout->addWidget(m_count);
        layout->addWidget(cancel, 0, Qt::AlignRight);
        setMinimumWidth(360);
    }

    // An export of `rows` rows to `file` begins.
    void start(const QString& file, int rows) {
        m_rows = rows;
        m_what->setText(QStringLiteral("正在导出…\n%1").arg(QFileInfo(file).fileName()));
        m_bar->setRange(0, std::max(rows, 1));
        showDone(0);
    }

    void showDone(int done) {
        m_bar->setValue(done);
        m_count->setText(QStringLiteral("%1 / %2 行").arg(done).arg(m_rows));
    }

    void reject() override { *m_cancelled = true; }

private:
    int m_rows = 0;
    bool* m_cancelled;    // the progress's flag
    QLabel* m_what;       // owned by the layout
    QProgressBar* m_bar;  // owned by the layout
    QLabel* m_count;      // owned by the layout
};

// Shows the window once an export has run for 100 ms (a short one never flashes it), and takes
// the events waiting every 100 ms after. The window is made once and hidden between exports.
class WindowProgress : public IExportProgress {
public:
    void begin(const QString& file, int rows) override {
        m_file = file;
        m_rows = rows;
        m_cancelled = false;
        m_shown = false;
        m_clock.start();
        m_lastEvents = 0;
    }

    bool advance(int done) override {
        const qint64 now = m_clock.elapsed();
        if (now - m_lastEvents < kEventsEveryMs)
            return !m_cancelled;
        m_lastEvents = now;
        if (!m_shown && qobject_cast<QApplication*>(QCoreApplication::instance())) {
            if (!m_window)
                m_window = new ExportProgressWindow(&m_cancelled);
            m_window->start(m_file, m_rows);
            m_window->show();
            m_shown = true;
        }
        if (m_shown)
            m_window->showDone(done);
        QCoreApplication::processEvents();
        return !m_cancelled;
    }

    void end() override {
        if (m_shown)
            m_window->hide();
        m_shown = false;
    }

private:
    QString m_file;
    int m_rows = 0;
    bool m_cancelled = false;
    QElapsedTimer m_clock;
    qint64 m_lastEvents = 0;
    bool m_shown = false;
    // Owned, kept for the next export; left to the end of the program (a window cannot outlive
    // the application object, which a static would).
    QPointer<ExportProgressWindow> m_window;
};

IExportProgress* g_installed = nullptr;

}  // namespace

IExportProgress& exportProgress() {
    static WindowProgress window;
    return g_installed ? *g_installed : window;
}

IExportProgress* setExportProgress(IExportProgress* progress) {
    return std::exchange(g_installed, progress);
}

}  // namespace Qd::Core::Ui
