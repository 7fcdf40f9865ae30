#pragma once

#include <memory>
#include <utility>
#include <vector>

#include "base/Prompter.h"
#include "core/ColumnBuilder.h"
#include "core/uBaseRibbonForm.h"

namespace Qd::Core::Ui {
class Grid;
class GridView;
}  // namespace Qd::Core::Ui

namespace Qd::Core::Db {
class ChunkedLoad;
}

namespace Qd::Core::Base {

// The common base of the master-data lists: the list toolbar (添加, 修改, 删除 │ 回收站 │ 刷新 │
// 复制 │ 列设置 │ 导出, 打印 │ 退出), every record action behind the rights gate, the recycle bin,
// and the lookup tables of the list's lookup columns. The record set and the grid are the
// subclasses'; what the lists do alike (rules before a post, saving the change log, soft
// delete, copy, help code, export, print, the layout) is done here for the list a subclass
// binds, after each action's gate.
class TBasicRibbonForm : public TBaseRibbonForm {
    Q_OBJECT
public:
    TBasicRibbonForm(QWidget* owner, Sys::TPlugItem* data);
    ~TBasicRibbonForm() override;

    // The module code the rights and the saved layouts are named by.
    QString moduleCode() const;

    // Builds a grid's columns from the plug item's column descriptors (lookups go into
    // joinTableList, bound to the lookup hooks below) and restores its saved layout.
    void _initColumns(const QString& code, Ui::Grid* grid);
    // Reopens the lookup tables that ask for it (after their source tables changed).
    void _refreshJoinTableData();

    // A lookup cell's value changed: the lookup row's values go into their target fields of
    // the bound list's current record (cleared: 0 or empty text).
    virtual void onDbLookupComboBoxEditValueChange(QWidget* Sender);
    // A popup hook no builder binds; nothing here.
    virtual void OnDbLookupComboBoxInitPopup(QWidget* Sender);
    // A second-level lookup drops down: it lists the children of the current record's "p1".
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
    // Each runs the rights gate of its action (EAbort on refusal), then does its work on the
    // bound list, if any: 回收站 opens the bin, 添加 a new row, 修改 edits the current one, 删除
    // soft-deletes the selected ones, 复制 copies (copySelection), 刷新 reloads, 列设置 stores
    // the layout, 导出 writes xlsx, 打印 opens the print templates (printDatasets).
    virtual void actAddExecute();
    virtual void actEditExecute();
    virtual void actDelExecute();
    virtual void actRecycleExecute();
    virtual void actRefExecute();
    virtual void actCopyExecute();
    virtual void actColSetExecute();
    virtual void actExportExecute();
    virtual void actPrintExecute();
    // Stores the layout of the bound list's grid, then closes.
    void closeEvent(QCloseEvent* e) override;

    // A new row was appended to the list (添加, 复制 or the grid's new-item row); a subclass
    // files it (categories, defaults).
    virtual void fileNewRow();
    // 复制 on a list with rows: the current row copied in place (copyListRow).
    virtual void copySelection();
    // The record sets 打印 hands over, by name: the list as "列表".
    virtual std::vector<std::pair<QString, Db::RecordSet*>> printDatasets();

    // A row typed but not posted, before the list is left or loaded again: asks
    // "数据未保存，是否保存？"; 是 posts it, 否 drops it, 取消 stays. True when the list may go on
    // (nothing pending, posted and saved, or dropped).
    bool settlePendingRow();
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
    // "_01" as probed when the list opened: new rows may be typed in.
    bool canInsertRows() const { return m_canInsert; }
    QString tableName() const;

    // Loads the list again after a save or a delete, the subclass's way.
    virtual void reloadList();
    // Takes the load of a list opened in chunks: while rows come, showListProgress is told
    // their count; export, print and saving read the rest first, as sorting does.
    void followListLoad(std::unique_ptr<Db::ChunkedLoad> load);
    // Rows the list shows so far, and whether every row is in; the list's caption says so.
    virtual void showListProgress(int rows, bool finished);
    // Before a row is posted: the organisation, then the rules. EAbort refuses the post.
    virtual void listBeforePost();
    // The descriptor's "validation" rules on the current row; the first that fails is shown as
    // a message of `kind` and refuses the post (EAbort).
    void applyValidationRules(Ui::MsgKind kind);

    // The current row copied into a new one; with a code column, that cell focused and the
    // notice shown.
    void copyListRow();

    Db::RecordSet cdsCheck;  // rows found by a "unique" rule's statement

private:
    // The work of the list actions, after their gates.
    void appendListRow();  // a new row, typing starting in its first shown cell
    void editListRow();    // the current row into edit state
    void deleteSelectedRows();  // after "是否确认删除选中的数据？", one statement, then a reload
    void exportList();
    // The print template window for the module with these record sets by name.
    void printList(const std::vector<std::pair<QString, Db::RecordSet*>>& datasets);
    void storeListLayout();

    // Runs an action's handler; a refusal or an abort ends it silently.
    void run(void (TBasicRibbonForm::*handler)());
    void listAfterPost();
    // Saves the change log with `ignored` left out; reloads on success.
    bool saveListChanges(const QStringList& ignored);

    Ui::Grid* m_grid = nullptr;       // not owned
    Db::RecordSet* m_list = nullptr;  // not owned
    // Destroyed after the subclass's record set, which ends the load first.
    std::unique_ptr<Db::ChunkedLoad> m_load;
    bool m_ready = false;      // the descriptor has everything the list needs
    bool m_canEdit = false;    // "_02": cells of saved rows may be edited in the grid
    bool m_canInsert = false;  // "_01": new rows may be typed in
    bool m_reEditing = false;  // a failed save puts the row back into edit state
};

}  // namespace Qd::Core::Base
