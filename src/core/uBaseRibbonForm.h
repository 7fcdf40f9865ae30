#pragma once

#include <QAction>
#include <QEvent>
#include <QJsonObject>
#include <QMainWindow>
#include <QMap>
#include <QToolBar>
#include <functional>

class QTabWidget;

namespace Qd::Core::Sys {
class TPlugItem;
class TPlugItemSingleBasic;
}  // namespace Qd::Core::Sys

namespace Qd::Core::Ui {
class BarManager;
class Ribbon;
class RibbonTab;
}  // namespace Qd::Core::Ui

namespace Qd::Core::Base {

class TBaseRibbonForm;

// Makes a working form of one class for a plug item (the class a module names).
using RibbonFormClass = std::function<TBaseRibbonForm*(QWidget* owner, Sys::TPlugItem* data)>;

// The message a docked form sends its host's main window before it takes its ribbon items
// away: message 1281, sent synchronously as an event of type kFormClosingEvent.
inline constexpr int kFormClosingMessage = 1281;
inline const QEvent::Type kFormClosingEvent =
    QEvent::Type(QEvent::User + kFormClosingMessage - 1024);
// The host's main window (target of kFormClosingMessage); set by the client.
QWidget*& vaMainFormHand();

// The base of every working form: a module's main window, created for one plug item, shown as
// a page of the client's page control with its toolbar on a ribbon tab of its own.
class TBaseRibbonForm : public QMainWindow {
    Q_OBJECT
public:
    TBaseRibbonForm(QWidget* owner, Sys::TPlugItem* data);
    ~TBaseRibbonForm() override;

    // Creates a form of the class for the plug item and docks it into the host: a new page of
    // `pageControl`, and with a bar manager a toolbar holding the form's toolbar items on a new
    // ribbon tab with a context of its own. Returns the form (owned by the page control).
    static TBaseRibbonForm* generateForm(QWidget* AOwner, const RibbonFormClass& RibbonFormClass,
                                         QTabWidget* pageControl, Ui::BarManager* barManager,
                                         Ui::Ribbon* ribbon, Sys::TPlugItem* data);
    // Creates an undocked form of the class (runs the creation steps).
    static TBaseRibbonForm* create(QWidget* owner, const RibbonFormClass& formClass,
                                   Sys::TPlugItem* data);

    // The creation steps: _init, the caption it was opened with, placement (when not docked),
    // the controls' common look. generateForm and create run them once the object is complete.
    void FormCreate();
    // The destruction step: a form never given a ribbon tab saves its placement through
    // WriteIniSettings; a docked one saves nothing. Runs once, when the form closes, while the
    // object is whole; a form deleted without being closed runs it from the destructor, where
    // only this class's WriteIniSettings is left to run.
    void FormDestroy();

    // What the module's open entry was given, set before the creation steps: a title that
    // replaces the module title as caption, and a parameters text (a report's incoming
    // values) for the form to read from _init on. Both empty when none was given.
    void setOpening(const QString& title, const QString& params);
    // A new caption for the window, its page and its ribbon tab (a form that learns its title
    // after being docked).
    void setCaption(const QString& title);
    const QString& openTitle() const { return m_openTitle; }
    const QString& openParams() const { return m_openParams; }

    virtual void ReadIniSettings();
    virtual void WriteIniSettings();
    // Reads the descriptor of the plug item; subclasses extend it and call the base first.
    virtual void _init();
    // Normalises the owned controls: grids get the common grid look.
    virtual void setComponentsProp();

    Sys::TPlugItemSingleBasic* descriptorItem() const;  // PlugItem when it carries texts

    QString FRibbonContextCaption;
    Ui::RibbonTab* FRibbonTab = nullptr;  // not owned: the host's ribbon tab of this form
    Sys::TPlugItem* PlugItem = nullptr;   // not owned: the module
    QJsonObject pluginfo;                 // the parsed descriptor
    bool hasPluginfo = false;             // false: no descriptor, or not a JSON object

    QToolBar* BarManagerBar1;         // owned: the form's toolbar, "工具栏"
    QList<QAction*> actlst;           // the form's actions (owned by the form)
    QAction* actclose;                // "退出": closes the form
    QMap<QString, QString> SQLStore;  // SQL texts a subclass keeps

protected:
    void closeEvent(QCloseEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    // Adds an action to the form's action list and toolbar.
    QAction* addAction(const QString& name, const QString& caption);

private:
    void removeFromHost();
    QTabWidget* m_pageControl = nullptr;     // not owned
    Ui::BarManager* m_barManager = nullptr;  // not owned
    Ui::Ribbon* m_ribbon = nullptr;          // not owned
    QToolBar* m_hostBar = nullptr;           // owned by the bar manager
    QString m_openTitle;
    QString m_openParams;
    bool m_created = false;
    bool m_docked = false;     // given a ribbon tab by generateForm
    bool m_destroyed = false;  // FormDestroy has run
};

}  // namespace Qd::Core::Base
