#pragma once

#include <QMainWindow>

class QAction;
class QLabel;
class QTabWidget;
class QTreeWidget;
class QTreeWidgetItem;

namespace Qd::Core::Sys {
class SystemServices;
class TPlugItemSingleBasic;
}  // namespace Qd::Core::Sys

namespace Qd::Core::Ui {
class Ribbon;
class BarManager;
}  // namespace Qd::Core::Ui

namespace Qd::App {

// The main window of a session: the ribbon on top, the navigator of the registered modules on
// the left, and the page control with the home page and one page per opened module.
class TMainForm : public QMainWindow {
    Q_OBJECT
public:
    // Needs a session (sys.session() not null) for its whole life.
    explicit TMainForm(Core::Sys::SystemServices& sys, QWidget* parent = nullptr);

    // Opens the module registered under `name` (with `byTitle` also one titled `name`): its
    // page comes to the front if it is open, else its window is opened. False when there is no
    // such module, or when it could not be opened (the user has been told why).
    ~TMainForm() override;
    bool openModule(const QString& name, bool byTitle = false);
    void showRibbonOfCurrentPage();
    // The open page of the module registered under `name`; null when there is none.
    QWidget* modulePage(const QString& name) const;
    // Closes the page at `index`; the home page (index 0) stays.
    void closePage(int index);

    QTreeWidget* navigator() const { return m_navigator; }
    QTabWidget* pageControl() const { return m_pages; }
    Core::Ui::Ribbon* ribbon() const { return m_ribbon; }

    // The form's actions, declared in one table in the constructor. Owned by the form.
    QAction* actRefreshModules = nullptr;  // 刷新模块: reads the registry anew
    QAction* actClosePage = nullptr;       // 关闭页面: the current page, never the home page
    QAction* actCloseAll = nullptr;        // 关闭全部: every page but the home page
    QAction* actExit = nullptr;            // 退出

    void actRefreshModulesExecute();
    void actClosePageExecute();
    void actCloseAllExecute();
    void actExitExecute();

protected:
    void closeEvent(QCloseEvent* e) override;

private:
    QRect roomOnScreen() const;
    void fitToScreen();
    void declareActions();
    void updateActions();
    void fillNavigator();
    void navigatorActivated(QTreeWidgetItem* node);
    QWidget* makeHomePage();
    QWidget* makePlaceholderPage(const Core::Sys::TPlugItemSingleBasic& item);
    void addModulePage(QWidget* page, const Core::Sys::TPlugItemSingleBasic& item);

    Core::Sys::SystemServices& m_sys;
    // The widgets below are owned by the window.
    Core::Ui::Ribbon* m_ribbon = nullptr;
    Core::Ui::BarManager* m_bars = nullptr;  // owned by the window: working forms' toolbars
    QTreeWidget* m_navigator = nullptr;
    QTabWidget* m_pages = nullptr;
    QLabel* m_moduleCount = nullptr;  // on the home page
};

}  // namespace Qd::App
