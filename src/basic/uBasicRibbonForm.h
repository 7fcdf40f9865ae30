#pragma once

#include "core/ColumnBuilder.h"
#include "core/uBaseRibbonForm.h"

namespace Qd::Core::Ui {
class Grid;
}

namespace Qd::Core::Base {

// The common base of the master-data lists: the list toolbar (添加, 修改, 删除 │ 回收站 │ 刷新 │
// 复制 │ 列设置 │ 导出, 打印 │ 退出), every record action behind the rights gate, the recycle bin,
// and the lookup tables of the list's lookup columns. The record set and the grid are the
// subclasses'; their handlers call these first.
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

private:
    // Runs an action's handler; a refusal or an abort ends it silently.
    void run(void (TBasicRibbonForm::*handler)());
};

}  // namespace Qd::Core::Base
