#include "ui/DockPanel.h"

#include <QAction>
#include <QHBoxLayout>
#include <QLabel>
#include <QToolButton>
#include <QVBoxLayout>

namespace Qd::Core::Ui {

DockPanel::DockPanel(const QString& name, QWidget* parent) : QFrame(parent) {
    setObjectName(name);
    setFrameShape(QFrame::StyledPanel);
    auto* bar = new QWidget(this);
    bar->setObjectName(QStringLiteral("dockCaption"));
    bar->setAttribute(Qt::WA_StyledBackground);
    bar->setStyleSheet(QStringLiteral(
        "#dockCaption { background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #eef3fa,"
        " stop:1 #d9e4f2); border-bottom: 1px solid #b8c7da; }"
        "#dockCaption QLabel { color: #1f3b5c; font-weight: bold; }"));
    m_bar = new QHBoxLayout(bar);
    m_bar->setContentsMargins(6, 2, 2, 2);
    m_caption = new QLabel(bar);
    m_bar->addWidget(m_caption, 1);
    m_layout = new QVBoxLayout(this);
    m_layout->setContentsMargins(0, 0, 0, 0);
    m_layout->setSpacing(0);
    m_layout->addWidget(bar);
}

QString DockPanel::caption() const {
    return m_caption->text();
}

void DockPanel::setCaption(const QString& text) {
    m_caption->setText(text);
}

QToolButton* DockPanel::addCaptionButton(QAction* action) {
    auto* button = new QToolButton(m_caption->parentWidget());
    button->setAutoRaise(true);
    button->setText(QStringLiteral("+"));
    button->setToolTip(action->text());
    connect(button, &QToolButton::clicked, action, &QAction::trigger);
    m_bar->addWidget(button);
    return button;
}

void DockPanel::setContent(QWidget* content) {
    content->setParent(this);
    m_layout->addWidget(content, 1);
}

}  // namespace Qd::Core::Ui
