// The ribbon: tabs of captioned groups of large buttons, with coloured contexts over the tabs
// of the working form in front.

#include "ui/Ribbon.h"

#include <QAction>
#include <QActionEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QStyleOptionTab>
#include <QStylePainter>
#include <QTabBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <functional>

#include "ui/editors/EditorsInternal.h"

namespace Qd::Core::Ui {

namespace {

// Height of the band above the tabs that carries the contexts' captions.
constexpr int kContextBand = 18;

// Colours of contexts added without one, in turn.
const QColor kContextColors[] = {
    QColor(0xE0, 0x8A, 0x1E), QColor(0x3C, 0x9A, 0x5F), QColor(0x8E, 0x5B, 0xB5),
    QColor(0x2F, 0x7F, 0xC1), QColor(0xC0, 0x45, 0x45),
};

QToolButton* makeLargeButton(QAction* action, QWidget* parent) {
    auto* button = new QToolButton(parent);
    button->setDefaultAction(action);
    button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    button->setIconSize(QSize(32, 32));
    button->setAutoRaise(true);
    button->setMinimumWidth(64);
    if (!action->isVisible())
        button->hide();
    // A tool button follows its action's text, icon and state, but not its visibility.
    QObject::connect(action, &QAction::visibleChanged, button,
                     [button, action] { button->setVisible(action->isVisible()); });
    return button;
}

QFrame* makeSeparator(const QString& name, QWidget* parent) {
    auto* line = new QFrame(parent);
    line->setObjectName(name);
    line->setFrameShape(QFrame::VLine);
    return line;
}

// The ribbon's tab bar: when a shown tab belongs to a context, a band above the tabs carries
// each context's caption in its colour over the run of its tabs.
class RibbonTabBar final : public QTabBar {
public:
    explicit RibbonTabBar(QWidget* parent) : QTabBar(parent) {}

    std::function<RibbonContext*(int)> contextOf;

    // Tab sizes depend on the contexts: lays the tabs out anew.
    void relayout() {
        setIconSize(iconSize());
        updateGeometry();
        update();
    }

protected:
    QSize tabSizeHint(int index) const override {
        QSize size = QTabBar::tabSizeHint(index);
        if (!hasBand())
            return size;
        size.rheight() += kContextBand;
        if (RibbonContext* context = contextOf(index)) {
            // The caption must fit over the run of the context's tabs.
            int run = 0;
            for (int i = 0; i < count(); ++i)
                run += isTabVisible(i) && contextOf(i) == context ? 1 : 0;
            const int needed = QFontMetrics(bandFont()).horizontalAdvance(context->title()) + 16;
            size.setWidth(std::max(size.width(), (needed + run - 1) / std::max(run, 1)));
        }
        return size;
    }
    QSize minimumTabSizeHint(int index) const override { return tabSizeHint(index); }

    void paintEvent(QPaintEvent*) override {
        QStylePainter p(this);
        const int band = hasBand() ? kContextBand : 0;
        if (band)
            paintBand(p);
        const int current = currentIndex();
        for (int i = 0; i < count(); ++i)
            if (i != current && isTabVisible(i))
                paintTab(p, i, band);
        if (current >= 0 && isTabVisible(current))
            paintTab(p, current, band);
    }

private:
    QFont bandFont() const {
        QFont f = font();
        f.setBold(true);
        f.setPointSizeF(f.pointSizeF() * 0.9);
        return f;
    }

    bool hasBand() const {
        if (!contextOf)
            return false;
        for (int i = 0; i < count(); ++i)
            if (isTabVisible(i) && contextOf(i))
                return true;
        return false;
    }

    void paintTab(QStylePainter& p, int index, int band) {
        QStyleOptionTab tab;
        initStyleOption(&tab, index);
        tab.rect.setTop(tab.rect.top() + band);
        if (RibbonContext* context = contextOf(index)) {
            // A wash of the context's colour behind its tabs.
            QColor wash = context->color();
            wash.setAlpha(index == currentIndex() ? 0 : 40);
            p.fillRect(tab.rect.adjusted(1, 2, -1, 0), wash);
        }
        p.drawControl(QStyle::CE_TabBarTab, tab);
    }

    void paintBand(QStylePainter& p) {
        p.save();
        p.setFont(bandFont());
        for (int i = 0; i < count();) {
            RibbonContext* context = isTabVisible(i) ? contextOf(i) : nullptr;
            if (!context) {
                ++i;
                continue;
            }
            QRect run = tabRect(i);
            int j = i + 1;
            for (; j < count(); ++j) {
                if (!isTabVisible(j))
                    continue;
                if (contextOf(j) != context)
                    break;
                run = run.united(tabRect(j));
            }
            const QRect area(run.left(), run.top(), run.width(), kContextBand);
            QColor fill = context->color();
            fill.setAlpha(48);
            p.fillRect(area.adjusted(1, 0, -1, 0), fill);
            p.fillRect(QRect(area.left() + 1, area.top(), area.width() - 2, 3), context->color());
            p.setPen(context->color().darker(140));
            p.drawText(area.adjusted(4, 3, -4, 0), Qt::AlignCenter, context->title());
            i = j;
        }
        p.restore();
    }
};

}  // namespace

// ---- RibbonContext ---------------------------------------------------------------------------

RibbonContext::RibbonContext(const QString& caption, const QColor& color, QObject* parent)
    : QObject(parent), m_caption(caption), m_color(color) {}

void RibbonContext::setVisible(bool on) {
    if (m_visible == on)
        return;
    m_visible = on;
    Q_EMIT visibilityChanged(on);
}

// ---- RibbonGroup -----------------------------------------------------------------------------

struct RibbonGroup::Impl {
    RibbonGroup* q = nullptr;
    QLabel* caption = nullptr;       // owned by the widget tree
    QHBoxLayout* buttons = nullptr;  // the row of buttons
    QList<QToolButton*> own;         // added by addLargeButton, first in the row
    QPointer<QToolBar> toolbar;      // not owned
    // The toolbar's actions in its order with the widget that shows each (a button or, for a
    // separator, a line).
    QList<QPair<QAction*, QWidget*>> mirrored;
    Internal::EventHook* follower = nullptr;  // child; filters the toolbar's action events
    QMetaObject::Connection toolbarGone;

    int mirroredIndex(const QAction* action) const {
        for (int i = 0; i < mirrored.size(); ++i)
            if (mirrored[i].first == action)
                return i;
        return -1;
    }

    void mirror(QAction* action, QAction* before) {
        if (mirroredIndex(action) >= 0)
            return;
        int at = before ? mirroredIndex(before) : -1;
        if (at < 0)
            at = int(mirrored.size());
        QWidget* w =
            action->isSeparator()
                ? static_cast<QWidget*>(makeSeparator(QStringLiteral("ribbonGroupSeparator"), q))
                : makeLargeButton(action, q);
        if (action->isSeparator() && !action->isVisible())
            w->hide();
        buttons->insertWidget(int(own.size()) + at, w);
        mirrored.insert(at, {action, w});
    }

    void unmirror(QAction* action) {
        const int at = mirroredIndex(action);
        if (at < 0)
            return;
        delete mirrored[at].second;
        mirrored.removeAt(at);
    }

    void dropToolbar() {
        if (toolbar && follower)
            toolbar->removeEventFilter(follower);
        QObject::disconnect(toolbarGone);
        for (const auto& m : std::as_const(mirrored))
            delete m.second;
        mirrored.clear();
        toolbar = nullptr;
    }
};

RibbonGroup::RibbonGroup(const QString& caption, QWidget* parent)
    : QWidget(parent), d(std::make_shared<Impl>()) {
    d->q = this;
    setObjectName(QStringLiteral("ribbonGroup"));
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(2, 0, 2, 0);
    column->setSpacing(2);
    d->buttons = new QHBoxLayout;
    d->buttons->setSpacing(2);
    column->addLayout(d->buttons, 1);
    d->caption = new QLabel(caption, this);
    d->caption->setObjectName(QStringLiteral("ribbonCaption"));
    d->caption->setAlignment(Qt::AlignHCenter);
    column->addWidget(d->caption);
    d->follower = new Internal::EventHook(this, [impl = d.get()](QObject*, QEvent* e) {
        switch (e->type()) {
            case QEvent::ActionAdded: {
                auto* ae = static_cast<QActionEvent*>(e);
                impl->mirror(ae->action(), ae->before());
                break;
            }
            case QEvent::ActionRemoved:
                impl->unmirror(static_cast<QActionEvent*>(e)->action());
                break;
            case QEvent::ActionChanged: {
                QAction* action = static_cast<QActionEvent*>(e)->action();
                const int at = impl->mirroredIndex(action);
                if (at >= 0 && action->isSeparator())
                    impl->mirrored[at].second->setVisible(action->isVisible());
                break;
            }
            default:
                break;
        }
        return false;
    });
}

QString RibbonGroup::caption() const {
    return d->caption->text();
}

void RibbonGroup::addLargeButton(QAction* action) {
    QToolButton* button = makeLargeButton(action, this);
    d->buttons->insertWidget(int(d->own.size()), button);
    d->own << button;
    // A button whose action goes away goes too.
    connect(action, &QObject::destroyed, button, [impl = d.get(), button] {
        impl->own.removeOne(button);
        button->deleteLater();
    });
}

void RibbonGroup::setToolBar(QToolBar* toolbar) {
    if (toolbar == d->toolbar)
        return;
    d->dropToolbar();
    d->toolbar = toolbar;
    if (!toolbar)
        return;
    const QList<QAction*> present = toolbar->actions();
    for (QAction* action : present)
        d->mirror(action, nullptr);
    toolbar->installEventFilter(d->follower);
    d->toolbarGone = connect(toolbar, &QObject::destroyed, this, [impl = d.get()] {
        for (const auto& m : std::as_const(impl->mirrored))
            delete m.second;
        impl->mirrored.clear();
    });
}

QToolBar* RibbonGroup::toolBar() const {
    return d->toolbar;
}

QList<QAction*> RibbonGroup::actions() const {
    QList<QAction*> out;
    for (const QToolButton* b : std::as_const(d->own))
        out << b->defaultAction();
    for (const auto& m : std::as_const(d->mirrored))
        if (!m.first->isSeparator())
            out << m.first;
    return out;
}

// ---- RibbonTab -------------------------------------------------------------------------------

RibbonTab::RibbonTab(const QString& name, QWidget* parent) : QWidget(parent) {
    setObjectName(name);
    setAttribute(Qt::WA_StyledBackground);
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(6, 4, 6, 2);
    row->setSpacing(4);
    row->addStretch(1);
}

RibbonGroup* RibbonTab::addGroup(const QString& caption) {
    auto* row = static_cast<QHBoxLayout*>(layout());
    if (!m_groups.isEmpty())
        row->insertWidget(row->count() - 1, makeSeparator(QStringLiteral("ribbonSeparator"), this));
    auto* group = new RibbonGroup(caption, this);
    row->insertWidget(row->count() - 1, group);
    m_groups << group;
    return group;
}

QList<RibbonGroup*> RibbonTab::groups() const {
    return m_groups;
}

void RibbonTab::setContext(RibbonContext* context) {
    if (context == m_context)
        return;
    m_context = context;
    Q_EMIT contextChanged(context);
}

RibbonContext* RibbonTab::context() const {
    return m_context;
}

// ---- Ribbon ----------------------------------------------------------------------------------

Ribbon::Ribbon(QWidget* parent) : QTabWidget(parent) {
    auto* bar = new RibbonTabBar(this);
    bar->contextOf = [this](int index) -> RibbonContext* {
        auto* tab = qobject_cast<RibbonTab*>(widget(index));
        return tab ? tab->context() : nullptr;
    };
    setTabBar(bar);
    setDocumentMode(true);
    setUsesScrollButtons(false);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    setStyleSheet(QStringLiteral(
        "Qd--Core--Ui--RibbonTab { background: #f7f9fc; border-bottom: 1px solid #c9d3e0; }"
        "QLabel#ribbonCaption { color: #5a6b80; }"
        "QFrame#ribbonSeparator, QFrame#ribbonGroupSeparator { color: #d3dbe6; }"
        "QToolButton { border: 1px solid transparent; border-radius: 3px; padding: 3px 6px; }"
        "QToolButton:hover { background: #e3edf9; border-color: #a8c4e6; }"
        "QToolButton:pressed { background: #cfe0f5; }"
        "QToolButton:disabled { color: #a0a8b3; }"));
}

RibbonTab* Ribbon::addRibbonTab(const QString& caption, const QString& name) {
    QString component = name;
    for (int n = 1; component.isEmpty(); ++n) {
        const QString candidate = QStringLiteral("RibbonTab%1").arg(n);
        const QList<RibbonTab*> tabs = ribbonTabs();
        if (std::none_of(tabs.begin(), tabs.end(),
                         [&](const RibbonTab* t) { return t->objectName() == candidate; }))
            component = candidate;
    }
    auto* tab = new RibbonTab(component, this);
    connect(tab, &RibbonTab::contextChanged, this, &Ribbon::updateTabVisibility);
    addTab(tab, caption);
    updateTabVisibility();
    return tab;
}

void Ribbon::removeRibbonTab(RibbonTab* tab) {
    const int at = indexOf(tab);
    if (at < 0)
        return;
    removeTab(at);
    delete tab;
    updateTabVisibility();
}

RibbonTab* Ribbon::ribbonTab(const QString& caption) const {
    for (int i = 0; i < count(); ++i)
        if (tabText(i) == caption)
            if (auto* tab = qobject_cast<RibbonTab*>(widget(i)))
                return tab;
    return nullptr;
}

QList<RibbonTab*> Ribbon::ribbonTabs() const {
    QList<RibbonTab*> out;
    for (int i = 0; i < count(); ++i)
        if (auto* tab = qobject_cast<RibbonTab*>(widget(i)))
            out << tab;
    return out;
}

RibbonContext* Ribbon::addContext(const QString& caption, const QColor& color) {
    const QColor c =
        color.isValid() ? color : kContextColors[m_contexts.size() % std::size(kContextColors)];
    auto* context = new RibbonContext(caption, c, this);
    connect(context, &RibbonContext::visibilityChanged, this, &Ribbon::updateTabVisibility);
    m_contexts << context;
    return context;
}

void Ribbon::removeContext(RibbonContext* context) {
    if (!m_contexts.removeOne(context))
        return;
    for (RibbonTab* tab : ribbonTabs())
        if (tab->context() == context)
            tab->setContext(nullptr);
    delete context;
    updateTabVisibility();
}

RibbonContext* Ribbon::contextByCaption(const QString& caption) const {
    for (RibbonContext* c : m_contexts)
        if (c->caption() == caption)
            return c;
    return nullptr;
}

QList<RibbonContext*> Ribbon::contexts() const {
    return m_contexts;
}

void Ribbon::showOnlyContext(RibbonContext* context) {
    // Shown first, so that a current tab that hides gives way to the context's tab.
    if (context)
        context->setVisible(true);
    for (RibbonContext* c : std::as_const(m_contexts))
        if (c != context)
            c->setVisible(false);
}

void Ribbon::updateTabVisibility() {
    std::vector<int> hide;
    for (int i = 0; i < count(); ++i) {
        const auto* tab = qobject_cast<RibbonTab*>(widget(i));
        const RibbonContext* context = tab ? tab->context() : nullptr;
        if (!context || context->isVisible())
            setTabVisible(i, true);
        else
            hide.push_back(i);
        tabBar()->setTabTextColor(i, context ? context->color().darker(150) : QColor());
    }
    // Hidden after the others are shown: a hidden current tab gives way to a shown neighbour.
    for (const int i : hide)
        setTabVisible(i, false);
    static_cast<RibbonTabBar*>(tabBar())->relayout();
}

// ---- BarManager ------------------------------------------------------------------------------

BarManager::BarManager(QObject* parent) : QObject(parent) {}

BarManager::~BarManager() {
    qDeleteAll(std::exchange(m_bars, {}));
}

QToolBar* BarManager::addToolBar(const QString& caption) {
    auto* bar = new QToolBar(caption);
    QString name;
    for (int n = 1; name.isEmpty(); ++n) {
        const QString candidate = QStringLiteral("Bar%1").arg(n);
        if (std::none_of(m_bars.begin(), m_bars.end(),
                         [&](const QToolBar* b) { return b->objectName() == candidate; }))
            name = candidate;
    }
    bar->setObjectName(name);
    m_bars << bar;
    // A bar deleted elsewhere (with a window that docked it) leaves the list.
    connect(bar, &QObject::destroyed, this, [this, bar] { m_bars.removeOne(bar); });
    return bar;
}

void BarManager::removeToolBar(QToolBar* bar) {
    if (m_bars.removeOne(bar))
        delete bar;
}

QList<QToolBar*> BarManager::toolBars() const {
    return m_bars;
}

}  // namespace Qd::Core::Ui
