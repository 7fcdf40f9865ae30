#include "ui/QueryProgress.h"

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

namespace Qd::Core::Ui {

namespace {

QString readText(qint64 read) {
    return QStringLiteral("正在查询… 已读取 %1 行").arg(read);
}

}  // namespace

QueryProgressWindow::QueryProgressWindow(Clock clock) : m_clock(std::move(clock)) {
    if (!m_clock)
        m_clock = [timer = [] {
            QElapsedTimer t;
            t.start();
            return t;
        }()] { return timer.elapsed(); };
}

QueryProgressWindow::~QueryProgressWindow() {
    delete m_window.data();
}

void QueryProgressWindow::begin() {
    m_started = m_lastEvents = m_clock();
    m_cancelled = false;
    m_shown = false;
}

bool QueryProgressWindow::rows(qint64 read) {
    if (m_cancelled)
        return false;
    const qint64 now = m_clock();
    if (now - m_lastEvents < kEventsEveryMs)
        return true;
    if (!m_shown) {
        // Until the window shows no events are taken: the form must not act meanwhile.
        if (now - m_started < kShowAfterMs ||
            !qobject_cast<QApplication*>(QCoreApplication::instance()))
            return true;
        show();
    }
    m_lastEvents = now;
    m_text->setText(readText(read));
    QCoreApplication::processEvents();
    return !m_cancelled;
}

void QueryProgressWindow::end() {
    if (m_shown)
        m_window->hide();
    m_shown = false;
}

QDialog* QueryProgressWindow::window() const {
    return m_shown ? m_window.data() : nullptr;
}

void QueryProgressWindow::show() {
    if (!m_window) {
        m_window = new QDialog;
        m_window->setObjectName(QStringLiteral("queryProgress"));
        m_window->setWindowTitle(QStringLiteral("查询"));
        m_window->setWindowModality(Qt::ApplicationModal);
        auto* layout = new QHBoxLayout(m_window);
        m_text = new QLabel;
        m_text->setObjectName(QStringLiteral("read"));
        // Wide enough for a count of millions without the window changing size.
        m_text->setMinimumWidth(m_text->fontMetrics().horizontalAdvance(readText(99999999)));
        auto* cancel = new QPushButton(QStringLiteral("取消"));
        cancel->setObjectName(QStringLiteral("cancel"));
        layout->setContentsMargins(16, 16, 16, 16);
        layout->setSpacing(16);
        layout->addWidget(m_text, 1);
        layout->addWidget(cancel);
        m_window->setMinimumWidth(360);
        // The button and closing the window both cancel.
        QObject::connect(m_window, &QDialog::rejected, [this] { m_cancelled = true; });
        QObject::connect(cancel, &QPushButton::clicked, m_window, &QDialog::reject);
    }
    m_text->setText(readText(0));
    m_window->show();
    m_shown = true;
}

}  // namespace Qd::Core::Ui
