#pragma once

// The ribbon of the client's main window: tabs of captioned groups of large buttons, and
// contexts (coloured captions over the tabs of one working form) that show only while their
// form is the active page.

#include <QColor>
#include <QTabWidget>
#include <QToolBar>

class QAction;

namespace Qd::Core::Ui {

class RibbonTab;

// A context: a caption and colour that mark the tabs attached to it.
class RibbonContext : public QObject {
    Q_OBJECT
public:
    RibbonContext(const QString& caption, const QColor& color, QObject* parent);
    QString caption() const { return m_caption; }  // identifies the context
    // What the band over its tabs reads; the caption when not set.
    QString title() const { return m_title.isEmpty() ? m_caption : m_title; }
    void setTitle(const QString& title) { m_title = title; }
    QColor color() const { return m_color; }
    bool isVisible() const { return m_visible; }
    void setVisible(bool on);
Q_SIGNALS:
    void visibilityChanged(bool on);

private:
    QString m_caption;
    QString m_title;
    QColor m_color;
    bool m_visible = true;
};

// A group of a tab: its caption under a row of large buttons, the actions of its toolbar.
class RibbonGroup : public QWidget {
    Q_OBJECT
public:
    RibbonGroup(const QString& caption, QWidget* parent);
    QString caption() const;
    void addLargeButton(QAction* action);
    // Shows the actions of `toolbar` (not owned) as large buttons, following it when actions
    // are added or removed.
    void setToolBar(QToolBar* toolbar);
    QToolBar* toolBar() const;
    QList<QAction*> actions() const;

private:
    struct Impl;
    std::shared_ptr<Impl> d;
};

class RibbonTab : public QWidget {
    Q_OBJECT
public:
    RibbonTab(const QString& name, QWidget* parent);
    RibbonGroup* addGroup(const QString& caption);
    QList<RibbonGroup*> groups() const;
    void setContext(RibbonContext* context);  // not owned
    RibbonContext* context() const;
    QObject* tag = nullptr;  // what the tab belongs to (a working form); not owned

Q_SIGNALS:
    void contextChanged(Qd::Core::Ui::RibbonContext* context);

private:
    QList<RibbonGroup*> m_groups;
    RibbonContext* m_context = nullptr;
};

class Ribbon : public QTabWidget {
    Q_OBJECT
public:
    explicit Ribbon(QWidget* parent = nullptr);

    // A new tab; tabs get unique component names ("RibbonTab1", ...) when `name` is empty.
    RibbonTab* addRibbonTab(const QString& caption, const QString& name = QString());
    void removeRibbonTab(RibbonTab* tab);  // deletes it
    RibbonTab* ribbonTab(const QString& caption) const;
    QList<RibbonTab*> ribbonTabs() const;

    RibbonContext* addContext(const QString& caption, const QColor& color = QColor());
    void removeContext(RibbonContext* context);  // deletes it
    RibbonContext* contextByCaption(const QString& caption) const;
    QList<RibbonContext*> contexts() const;
    // Hides every context, then shows `context` (null: none); tabs of hidden contexts hide.
    void showOnlyContext(RibbonContext* context);

private:
    void updateTabVisibility();
    QList<RibbonContext*> m_contexts;  // owned (children)
};

// The toolbars of the client (the bar manager a working form is docked with).
class BarManager : public QObject {
    Q_OBJECT
public:
    explicit BarManager(QObject* parent = nullptr);
    ~BarManager() override;
    QToolBar* addToolBar(const QString& caption);
    void removeToolBar(QToolBar* bar);  // deletes it
    QList<QToolBar*> toolBars() const;

private:
    QList<QToolBar*> m_bars;  // owned
};

}  // namespace Qd::Core::Ui
