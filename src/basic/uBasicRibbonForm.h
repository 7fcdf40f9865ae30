#pragma once

#include <utility>
#include <vector>

#include "core/ColumnBuilder.h"
#include "core/uBaseRibbonForm.h"
#include "ui/Prompter.h"

namespace Qd::Core::Ui {
class Grid;
class GridView;
}  // namespace Qd::Core::Ui

namespace Qd::Core::Base {

// The common base of the master-data lists: the list toolbar (添加, 修改, 删除 │ 回收站 │ 刷新 │
// 复制 │ 列设置 │ 导出, 打印 │ 退出), every record action behind the rights gate, the recycle bin,
// and the lookup tables of the list's lookup columns. The record set and the grid are the
// subclasses'; their handlers call these first. What the lists do alike (rules before a post,
// saving the change log, soft delete, copy, help code, export, print) is done here for the list
// a subclass binds.
class TBasicRibbonForm : public TBaseRibbonForm {
    Q_OBJECT
public:
    TBasicRibbonForm(QWidget* owner, Sys::TPlugItem* data);
    ~TBasicRibbonForm() override;

    // The module code the rights and the saved layouts are named by.
    QString moduleCode() const;

    // Builds a grid's columns from the plug item's column descriptors (lookups go into
    // joinTableList and copy their values into `cds`) and restores its saved layout.
    void _initColumns(const QString& code, Ui::Grid* grid, Db::RecordSet& cds);
    // Reopens the lookup tables that ask for it (after their source tables changed).
    void _refreshJoinTableData();

    // A lookup cell's value changed; nothing here.
    virtual void onDbLookupComboBoxEditValueChange(QWidget* Sender);
    // Popup hooks the column builder can bind; nothing here.
    virtual void OnDbLookupComboBoxInitPopup(QWidget* Sender);
    virtual void OnDbLookupComboBoxInitPopupL2(QWidget* Sender);

    // The client area below the toolbar; subclasses dock their list panels into it.
    QWidget* dxDockSite1;

    QAction* actAdd;
    QAction* actEdit;
    QAction* actDel;
    QAction* actRecycle;
    QAction* actRef;
    QAction* actCopy;
    QAction* actColSet;
    QAction* actExport;
    QAction* actPrint;

    JoinTableList joinTableList;

protected:
    // The base handlers: each runs the rights gate of its action (EAbort on refusal); the
    // recycle bin's then opens the bin. Subclasses call them first.
    virtual void actAddExecute();
    virtual void actEditExecute();
    virtual void actDelExecute();
    virtual void actRecycleExecute();
    virtual void actRefExecute();
    virtual void actCopyExecute();
    virtual void actColSetExecute();
    virtual void actExportExecute();
    virtual void actPrintExecute();

    // Asks where to export with the save dialog, proposing the caption and today's date;
    // empty when cancelled. The name always ends in ".xlsx".
    QString askExportFile();
    // Shows a transient notice in the corner of the form for three seconds.
    void alert(const QString& caption, const QString& text);

    // ---- the list a subclass binds (neither owned) ----
    // Takes over the record set's handlers: before edit (the edit right), before post
    // (listBeforePost), after post and after delete (saving), data change (help code).
    void bindList(Ui::Grid* grid, Db::RecordSet* cds);
    Ui::GridView* listView() const;
    // What the descriptor lacks for a list ("缺少“tablename”", ...); empty when complete.
    virtual QStringList descriptorProblems() const;
    // Shows the problems with the module named and returns false when there are any; then the
    // list stays closed and its data actions do nothing. Otherwise probes the edit rights.
    bool checkDescriptor();
    bool listReady() const { return m_ready; }
    QString tableName() const;

    // Loads the list again after a save or a delete, the subclass's way.
    virtual void reloadList();
    // Before a row is posted: the organisation, then the rules. EAbort refuses the post.
    virtual void listBeforePost();
    // The descriptor's "validation" rules on the current row; the first that fails is shown as
    // a message of `kind` and refuses the post (EAbort).
    void applyValidationRules(Ui::MsgKind kind);

    // The work of the list actions, after their gates.
    void appendListRow();  // a new row, typing starting in its first shown cell
    void editListRow();    // the current row into edit state
    void deleteSelectedRows();  // after "是否确认删除选中的数据？", one statement, then a reload
    // The current row copied into a new one; with a code column, that cell focused and the
    // notice shown.
    void copyListRow();
    void exportList();
    // The print template window for the module with these record sets by name.
    void printList(const std::vector<std::pair<QString, Db::RecordSet*>>& datasets);
    void storeListLayout();

    Db::RecordSet cdsCheck;  // rows found by a "unique" rule's statement

private:
    // Runs an action's handler; a refusal or an abort ends it silently.
    void run(void (TBasicRibbonForm::*handler)());
    void listAfterPost();
    // Saves the change log with `ignored` left out; reloads on success.
    bool saveListChanges(const QStringList& ignored);

    Ui::Grid* m_grid = nullptr;       // not owned
    Db::RecordSet* m_list = nullptr;  // not owned
    bool m_ready = false;             // the descriptor has everything the list needs
    bool m_canEdit = false;           // "_02": cells of saved rows may be edited in the grid
    bool m_canInsert = false;         // "_01": new rows may be typed in
    bool m_reEditing = false;         // a failed save puts the row back into edit state
};

}  // namespace Qd::Core::Base
