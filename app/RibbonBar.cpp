#include "RibbonBar.h"

#include <QAction>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QToolButton>
#include <QVBoxLayout>

namespace Qd::App {

namespace {
// Groups and their button rows are found again by object name, so the ribbon keeps no index
// of its own next to the widget tree.
const QString kGroupPrefix = QStringLiteral("ribbonGroup_");
const QString kRowName = QStringLiteral("ribbonButtons");
}  // namespace

RibbonBar::RibbonBar(QWidget* parent) : QTabWidget(parent) {
    setObjectName(QStringLiteral("ribbon"));
    setDocumentMode(true);
    setUsesScrollButtons(false);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    setStyleSheet(QStringLiteral(
        "#ribbon QWidget#ribbonPage { background: #f7f9fc; border-bottom: 1px solid #c9d3e0; }"
        "#ribbon QLabel#ribbonCaption { color: #5a6b80; }"
        "#ribbon QFrame#ribbonSeparator { color: #d3dbe6; }"
        "#ribbon QToolButton { border: 1px solid transparent; border-radius: 3px;"
        " padding: 3px 6px; }"
        "#ribbon QToolButton:hover { background: #e3edf9; border-color: #a8c4e6; }"
        "#ribbon QToolButton:pressed { background: #cfe0f5; }"
        "#ribbon QToolButton:disabled { color: #a0a8b3; }"));
}

QWidget* RibbonBar::tabPage(const QString& tab) {
    for (int i = 0; i < count(); ++i)
        if (tabText(i) == tab)
            return widget(i);
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("ribbonPage"));
    page->setAttribute(Qt::WA_StyledBackground);
    auto* row = new QHBoxLayout(page);
    row->setContentsMargins(6, 4, 6, 2);
    row->setSpacing(4);
    row->addStretch(1);
    addTab(page, tab);
    return page;
}

QWidget* RibbonBar::group(const QString& tab, const QString& group) {
    QWidget* page = tabPage(tab);
    if (auto* found = page->findChild<QWidget*>(kGroupPrefix + group, Qt::FindDirectChildrenOnly))
        return found;

    auto* pageRow = static_cast<QHBoxLayout*>(page->layout());
    const int stretchAt = pageRow->count() - 1;
    if (stretchAt > 0) {
        auto* separator = new QFrame(page);
        separator->setObjectName(QStringLiteral("ribbonSeparator"));
        separator->setFrameShape(QFrame::VLine);
        pageRow->insertWidget(stretchAt, separator);
    }

    auto* box = new QWidget(page);
    box->setObjectName(kGroupPrefix + group);
    auto* column = new QVBoxLayout(box);
    column->setContentsMargins(2, 0, 2, 0);
    column->setSpacing(2);
    auto* buttons = new QHBoxLayout;
    buttons->setObjectName(kRowName);
    buttons->setSpacing(2);
    column->addLayout(buttons, 1);
    auto* caption = new QLabel(group, box);
    caption->setObjectName(QStringLiteral("ribbonCaption"));
    caption->setAlignment(Qt::AlignHCenter);
    column->addWidget(caption);
    pageRow->insertWidget(pageRow->count() - 1, box);
    return box;
}

QHBoxLayout* RibbonBar::buttonRow(QWidget* group) const {
    return group->layout()->findChild<QHBoxLayout*>(kRowName);
}

void RibbonBar::addLargeButton(const QString& tab, const QString& groupName, QAction* action) {
    QWidget* box = group(tab, groupName);
    auto* button = new QToolButton(box);
    button->setDefaultAction(action);
    button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    button->setIconSize(QSize(32, 32));
    button->setAutoRaise(true);
    button->setMinimumWidth(64);
    buttonRow(box)->addWidget(button);
}

}  // namespace Qd::App
