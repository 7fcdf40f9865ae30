#include "ui/WizardControl.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStackedWidget>
#include <QVBoxLayout>

namespace Qd::Core::Ui {

WizardPage::WizardPage(const QString& title, QWidget* parent) : QWidget(parent), m_title(title) {}

WizardControl::WizardControl(const QString& name, QWidget* parent) : QWidget(parent) {
    setObjectName(name);

    // The title band: the active page's title on a light ground, a rule under it.
    auto* header = new QWidget(this);
    header->setObjectName(QStringLiteral("wizardHeader"));
    header->setAttribute(Qt::WA_StyledBackground);
    header->setStyleSheet(
        QStringLiteral("#wizardHeader { background: #ffffff; border-bottom: 1px solid #c9d3df; }"));
    auto* headerLayout = new QHBoxLayout(header);
    headerLayout->setContentsMargins(16, 12, 16, 12);
    m_title = new QLabel(header);
    m_title->setObjectName(QStringLiteral("wizardTitle"));
    QFont titleFont = m_title->font();
    titleFont.setBold(true);
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.25);
    m_title->setFont(titleFont);
    headerLayout->addWidget(m_title);

    m_pages = new QStackedWidget(this);
    m_pages->setContentsMargins(16, 10, 16, 6);

    auto* rule = new QFrame(this);
    rule->setFrameShape(QFrame::HLine);
    rule->setFrameShadow(QFrame::Sunken);

    auto* buttons = new QHBoxLayout;
    buttons->setContentsMargins(16, 6, 16, 10);
    buttons->setSpacing(6);
    buttons->addStretch(1);
    const char* captions[] = {"< 上一步", "下一步 >", "开始", "取消"};
    const char* names[] = {"btnBack", "btnNext", "btnFinish", "btnCancel"};
    for (int i = 0; i < 4; ++i) {
        auto* b = new QPushButton(QString::fromUtf8(captions[i]), this);
        b->setObjectName(QString::fromLatin1(names[i]));
        b->setAutoDefault(false);
        b->setMinimumWidth(80);
        const auto which = Button(i);
        connect(b, &QPushButton::clicked, this, [this, which] { click(which); });
        buttons->addWidget(b);
        if (which == Button::Next)
            buttons->addSpacing(12);  // back and next go together, apart from finish and cancel
        m_buttons << b;
    }

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(header);
    layout->addWidget(m_pages, 1);
    layout->addWidget(rule);
    layout->addLayout(buttons);
    updateButtons();
}

WizardPage* WizardControl::addPage(const QString& title) {
    auto* page = new WizardPage(title);
    m_pages->addWidget(page);
    if (m_pages->count() == 1)
        m_title->setText(title);
    updateButtons();
    return page;
}

int WizardControl::pageCount() const {
    return m_pages->count();
}

WizardPage* WizardControl::page(int index) const {
    return qobject_cast<WizardPage*>(m_pages->widget(index));
}

void WizardControl::setPageVisible(int index, bool on) {
    if (WizardPage* p = page(index)) {
        p->m_pageVisible = on;
        updateButtons();
    }
}

bool WizardControl::pageVisible(int index) const {
    const WizardPage* p = page(index);
    return p && p->pageVisible();
}

int WizardControl::activePageIndex() const {
    return m_pages->currentIndex();
}

void WizardControl::setActivePageIndex(int index) {
    WizardPage* p = page(index);
    if (!p)
        return;
    m_title->setText(p->title());
    const bool moved = index != m_pages->currentIndex();
    m_pages->setCurrentIndex(index);
    updateButtons();
    if (moved)
        Q_EMIT pageChanged(index);
}

int WizardControl::priorPageIndex(int index) const {
    for (int i = index - 1; i >= 0; --i)
        if (pageVisible(i))
            return i;
    return -1;
}

int WizardControl::nextPageIndex(int index) const {
    for (int i = index + 1; i < pageCount(); ++i)
        if (pageVisible(i))
            return i;
    return -1;
}

QPushButton* WizardControl::button(Button which) const {
    return m_buttons.value(int(which));
}

void WizardControl::click(Button which) {
    if (!button(which)->isEnabled())
        return;
    bool handled = false;
    Q_EMIT buttonClick(which, &handled);
    if (!handled && (which == Button::Back || which == Button::Next)) {
        // The handler may have hidden or shown pages: the target is found afterwards.
        const int target = which == Button::Back ? priorPageIndex(activePageIndex())
                                                 : nextPageIndex(activePageIndex());
        if (target >= 0)
            setActivePageIndex(target);
    }
    updateButtons();
}

void WizardControl::updateButtons() {
    const int active = activePageIndex();
    const bool last = nextPageIndex(active) < 0;
    button(Button::Back)->setEnabled(priorPageIndex(active) >= 0);
    button(Button::Next)->setEnabled(!last);
    button(Button::Finish)->setEnabled(last);
    button(Button::Cancel)->setEnabled(true);
}

}  // namespace Qd::Core::Ui
