#pragma once

#include <memory>
#include <utility>
#include <vector>

#include "basic/uBasicPropEditForm.h"
#include "basic/uBasicRibbonForm.h"
#include "core/ParamsPanel.h"
#include "db/RecordSet.h"

class QMenu;
class QPushButton;
class QTabWidget;

namespace Qd::Core::Ui {
class DockPanel;
class Grid;
class GridTreeView;
class GridView;
class PropertyGrid;
}  // namespace Qd::Core::Ui

namespace Qd::Core::Base {

// The list of a master-data module whose records are filed under a two-level category tree
// (qd_b_category, told apart by the module code in `iclass`): the tree and a query panel on the
// left, the rows of the selected category on the right. Saving, rules, soft delete, export and
// the help code work as in the single-table list; rows carry their place in "p1" (top level)
// and "p2" (second level, or 0).
class TMultiBasicRibbonForm : public TBasicRibbonForm {
    Q_OBJECT
public:
    TMultiBasicRibbonForm(QWidget* owner, Sys::TPlugItem* data);
    ~TMultiBasicRibbonForm() override;

    void _init() override;
    // The module's categories, the tree selecting the first, whose rows it loads.
    virtual void loadCategory();
    // The rows of category (p1, p2); 0 leaves a level out.
    virtual void getMainData(int p1, int p2);
    // The query panel from the descriptor's "params".
    void _initParamsList();
    // A "button" parameter's button: the picker of the plug-in it names, single choice.
    void OnButtonEditClick(const QString& param);
    // A double click on a row, which is 修改: the module's record editor on that row when it
    // has one, behind the right "_02" (EAbort on refusal; shown as a modal window, the list
    // reloads when it closes), else 修改 in the list. Returns the editor opened, if any.
    TBasicPropEditForm* openRecordEditor();

    int category_p1 = 0;  // the top level of the selected category (itself, or its parent)
    int category_p2 = 0;  // the selected category when it is second-level, else 0
    QString p1Field;
    QString p2Field;
    // Each parameter of "params" with the name of its editor row in cxgParams.
    const std::vector<ParamRow>& paramsList() const { return m_params->rows(); }

    QTabWidget* dxTabContainer;         // owned by the form: pages 分类 and 查询
    Ui::GridTreeView* dbtCategory;      // owned by dxTabContainer
    Ui::PropertyGrid* cxgParams;        // owned by dxTabContainer
    QPushButton* btnFind;               // owned by dxTabContainer
    Ui::DockPanel* dxDockPanel1;        // owned by the form
    Ui::Grid* cxgMain;                  // owned by dxDockPanel1
    Ui::GridView* cxgMainDBTableView1;  // owned by cxgMain
    Db::RecordSet cdsCategory;
    Db::RecordSet cdsMain;

    QAction* actCategory_Add;
    QAction* actCategory_AddChild;
    QAction* actCategory_Edit;
    QAction* actCategory_Del;
    QAction* actCategory_Ref;
    QAction* actFindSQL;

protected:
    // Besides the list's keys: "mainsql" must end inside its where clause, since the category
    // conditions are appended to it.
    QStringList descriptorProblems() const override;
    void reloadList() override { getMainData(category_p1, category_p2); }
    void listBeforePost() override;
    // New rows are filed under the chosen category.
    void fileNewRow() override;
    // Several selected rows go to the batch copy dialog; one is copied in place.
    void copySelection() override;
    // The list as "列表" and the categories as "分类".
    std::vector<std::pair<QString, Db::RecordSet*>> printDatasets() override;

private:
    void dbtCategorySelectionChanged();
    void actCategory_AddExecute();
    void actCategory_AddChildExecute();
    void actCategory_EditExecute();
    void actCategory_DelExecute();
    void actFindSQLExecute();
    void cdsCategoryBeforePost();
    void cdsCategoryAfterPost();
    // The tree's cells take typing only while a category is being added or edited.
    void setCategoryEditing(bool on);
    // Reloads the tree and the lookups that list categories, after the categories changed.
    void categoriesChanged();
    void updateCategoryActions();
    void updateCaption();
    void runCategory(void (TMultiBasicRibbonForm::*handler)());
    bool eventFilter(QObject* watched, QEvent* e) override;

    std::unique_ptr<ParamsPanel> m_params;  // owned: the rows of cxgParams
    bool m_loadingCategories = false;
    QVariant m_shownCategory;      // the id of the category whose rows the list shows
    bool m_showingSearch = false;  // the list shows the query panel's rows
};

}  // namespace Qd::Core::Base
