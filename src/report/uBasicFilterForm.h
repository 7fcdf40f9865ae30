#pragma once

#include <QJsonObject>

#include "core/uBaseForm.h"
#include "db/DataServices.h"
#include "db/RecordSet.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QTabWidget;

namespace Qd::Core::Sys {
class TPlugItem;
}
namespace Qd::Core::Ui {
class Grid;
class GridTreeView;
class GridView;
class PropertyGrid;
}  // namespace Qd::Core::Ui

namespace Qd::Core::Report {

// How a picker picks: one row, closing at once, or rows collected until 确定.
enum TFilterModel { fmSingle = 0, fmMulti = 1 };

// A picker for one master-data module ("基础资料选择基窗体", captioned with the module's name): its
// category tree, its list, a quick-search box and, picking several, the list of chosen rows.
// Modal, freed by its caller; after OK the chosen rows are in FreturnJson (a JSON array text).
// Derived pickers give the quick search its meaning through LocateData and QuickSearch.
// _init and loadCategory run from the constructor, where C++ calls this class's own; a derived
// picker's overrides of them take effect when it calls them again.
class TBasicFilterForm : public Base::TBaseForm {
    Q_OBJECT
public:
    TBasicFilterForm(QWidget* AOwner, Sys::TPlugItem* Data, TFilterModel model);
    ~TBasicFilterForm() override;

    // Reads the descriptor and loads the tree (and with it the list); shows the chosen rows'
    // list only for fmMulti.
    virtual void _init();
    // Called on every change of the quick-search text; nothing here.
    virtual void LocateData();
    // With a quick-search text and exactly one row listed: picks it and, picking several,
    // closes with it. True when it picked.
    virtual bool QuickSearch();
    // The module's categories into the tree; without any, the list shows every row.
    virtual void loadCategory();
    // The list: "filter.mainsql" + "\r\n" + `where` (+ " order by " + "sort"), the
    // organisation bound, back on the row it was on.
    void getMainData(const QString& where);

    // The condition of the chosen category: " and p1=<p1> " then " and p2=<p2> " for the levels
    // that are not 0.
    QString categoryCondition() const;
    // Picks the list's current row (a double click or Enter): appended to the chosen rows;
    // picking one, the dialog closes with OK. Nothing when the list has no rows.
    void pickCurrent();
    // Removes the current chosen row (a double click in the chosen rows).
    void removeSelected();
    // 确定: picking several, closes with the chosen rows (nothing when none is chosen); picking
    // one, picks the current row.
    void actokExecute();

    TFilterModel _model;
    QString FreturnJson;
    int category_p1 = 0;
    int category_p2 = 0;
    QString p1Field;
    QString p2Field;
    QJsonObject pluginfo;
    QJsonObject filterInfo;
    Sys::TPlugItem* PlugItem;  // not owned: the registry's

    Db::RecordSet cdsCategory;
    Db::RecordSet cdsMain;
    Db::RecordSet cdsSelected;

    QTabWidget* dxTabContainer;     // owned by the dialog: pages 分类 and 查询
    Ui::GridTreeView* dbtCategory;  // owned by dxTabContainer
    Ui::PropertyGrid* cxgParams;    // owned by dxTabContainer
    QPushButton* btnFind;           // owned by dxTabContainer; not wired here
    QLineEdit* edtQuickSearch;      // owned by the dialog
    QPushButton* btnQuickSearch;    // owned by the dialog; does nothing here
    Ui::Grid* cxgMain;              // owned by the dialog
    Ui::GridView* cxgMainView;      // owned by cxgMain
    QLabel* lblSelected;            // owned by the dialog
    Ui::Grid* cxgSelected;          // owned by the dialog
    Ui::GridView* cxgSelectedView;  // owned by cxgSelected
    QAction* actok;
    QAction* actcancel;

protected:
    // The list statement of the descriptor: {"mainsql": "filter.mainsql" + "\r\n", "sort"}.
    QJsonObject listStatement() const;
    // Loads `statement` (as listStatement gives it) with `where` appended and `params` bound
    // besides :orgid; the chosen rows take the list's fields the first time it opens.
    void loadList(const QJsonObject& statement, const QString& where, const Db::Params& params);
    // The list of the chosen category again (a category was chosen).
    virtual void refreshList();
    // Enter in the quick-search box: to the list.
    virtual void quickSearchEntered();
    bool eventFilter(QObject* watched, QEvent* e) override;
    void done(int r) override;

private:
    void categoryChosen(const QVariant& key);
    // The chosen rows take the list's fields (all writable) once the list has them.
    void prepareSelected();
    void storeLayouts();

    bool m_loadingCategories = false;
    bool m_layoutsRestored = false;
};

}  // namespace Qd::Core::Report
