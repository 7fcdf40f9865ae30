#pragma once

#include <QIcon>
#include <QStringList>
#include <functional>
#include <memory>
#include <span>

#include "bill/BillMerge.h"
#include "core/ColumnBuilder.h"
#include "core/uBaseRibbonForm.h"
#include "db/RecordSet.h"
#include "sys/SystemServices.h"

namespace Qd::Core::Ui {
class Grid;
class LookupComboBox;
}  // namespace Qd::Core::Ui

namespace Qd::Core::Bill {

class TCustBillRule;

// The base window of every bill: one master row (cdsMaster) and its lines (cdsDetail), shown one
// bill at a time. It browses bills (前单, 后单, 刷新), adds, edits and deletes drafts, saves or
// cancels, audits and un-audits, and opens the bill's dialogs, each action behind the
// administrator block and the rights gate and every change behind the bill's version. What a
// bill's tables hold is the descendant's: it loads a bill (OpenBillData) and writes one
// (_Insert, _Update, _delete, the audit's extra SQL); this class runs those hooks in order.
class TBaseBillEditRibbonForm : public Base::TBaseRibbonForm {
    Q_OBJECT
public:
    TBaseBillEditRibbonForm(QWidget* owner, Sys::TPlugItem* data);
    ~TBaseBillEditRibbonForm() override;

    // The creation steps after the inherited ones: the store's rule, the audit threshold, the
    // master table and its ignored columns from the descriptor. A descriptor without
    // "data"/"master"/"tablename" is named once; the data actions then refuse with it.
    void _init() override;

    // ---- hooks, in the order a bill runs them ------------------------------------------
    // Starts a new bill: a master row with its defaults, a temporary number, no lines.
    virtual void BeforeAppend();
    // The checks before a save; true (and `message` set) when the bill must not be saved.
    virtual bool CheckBillError(QString& message);
    // Takes version, neighbours and number from the loaded master row and shows its audit state.
    virtual void fillMasterData();
    // Loads the bill with this number into cdsMaster and cdsDetail; then fillMasterData, or
    // ComponentReadOnly(true) when there is none. What an empty number loads is the bill's own.
    virtual void OpenBillData(const QString& billno) = 0;
    // Write the new bill, the edited bill, delete the bill: 0 = success.
    virtual int _Insert();
    virtual int _Update();
    virtual int _delete();
    // Un-audit and audit: 0 = success, -1 = failure.
    virtual int AuditingData_0();
    virtual int AuditingData_1();
    // The rows a picker returned (JSON array text), turned into lines.
    virtual void SelectedxmbmkToDetail(const QString& selection);
    // Extra statements run inside the un-audit / audit transaction after the master update.
    virtual QString generateSqlAuditing_0();
    virtual QString generateSqlAuditing_1();
    // Switches the header editors between read-only and editable.
    virtual void ComponentReadOnly(bool readOnly) = 0;
    // Loads the stored bill with this number into the given record sets (which get the
    // structure of cdsMaster / cdsDetail) without touching the window; false when the bill
    // cannot load a bill that way. Used to merge a conflicting save instead of retyping it.
    virtual bool LoadBillData(const QString& billno, Db::RecordSet& master, Db::RecordSet& detail);
    // How this edit merges with the stored bill: the descriptor's ignored master columns, its
    // lookups as units (a key with the fields it fills) and its labels as captions. A module
    // adds the fields it computes (`derived`) and the line's caption.
    virtual MergeOptions mergeOptions() const;
    // After a merge the derived fields (amounts, totals) are computed again here.
    virtual void afterMerge();

    // ---- the detail grid and the header lookups -------------------------------------------
    // Rebuilds the columns of the grid's first view from the descriptor's "data"/"detail"/
    // "columns", the store's column settings over them, then the user's saved layout. `name`
    // is not read: the columns are always the window's own module's.
    void _initColumns(const QString& name, Ui::Grid* grid);
    // Makes `editor` the header lookup of the descriptor's "properties" member `name` (nothing
    // when there is none). Its tool tip names the master column that takes the row's "id".
    void BindLookupComboboxProperties(Ui::LookupComboBox* editor, const QString& name);

    // The handlers the two above wire: a header lookup, a detail lookup changed; a button
    // cell's and a file cell's button clicked (with the column's descriptor as JSON text).
    void onDbLookupComboBoxEditValueChange(QWidget* Sender);
    void onDetailDbLookupComboBoxEditValueChange(QWidget* Sender);
    void onButtonEditClick(QWidget* Sender, const QString& descriptor);
    void onFileButtonEditClick(QWidget* Sender, const QString& descriptor);

    // ---- the fields of the window --------------------------------------------------------
    QString beforeeditdata;                       // master JSON as editing started
    std::unique_ptr<TCustBillRule> CustBillRule;  // the store's rule of this module
    QStringList MasterIgnorefields;               // "data"/"master"/"ignorefields"
    int auditstate = 1;                           // status at or above it: audited
    QString masterTableName;                      // "data"/"master"/"tablename"
    Sys::TOperateState FDataOperateState = Sys::TOperateState::browse;
    QString billno;                     // the bill shown
    QString prevBillno;                 // empty: none before it
    QString nextBillno;                 // empty: none after it
    int version = 0;                    // the version the bill was loaded with; checks compare it
    QString tempBillno;                 // the number new lines receive
    Base::JoinTableList joinTableList;  // lookup tables by detail field or header name

    Db::RecordSet cdsMaster;
    Db::RecordSet cdsDetail;

    // ---- actions, in ribbon order --------------------------------------------------------
    QAction* actlist;         // 查询, with a menu:
    QAction* dxbarBtnmxlist;  //   明细查询
    QAction* actAudit_logs;   //   审核日志
    QAction* actprev;         // 前单
    QAction* actnext;         // 后单
    QAction* actAdd;          // 添加 "_01"
    QAction* actEdit;         // 修改 "_02"
    QAction* actDel;          // 删除 "_03"
    QAction* actRef;          // 刷新
    QAction* actSave;         // 保存
    QAction* actCancel;       // 取消
    QAction* actAudit;        // 审核 ("_04" / "_05" once the dialog is confirmed)
    QAction* actAttach;       // 附件 "_10"
    QAction* actPrint;        // 打印 "_06"
    QAction* actbilloption;   // 设置 "_20"
    QAction* acttickets;      // 反馈

    // The image the audit action shows: 0 draft (审核), 1 audited (草稿).
    int auditImageIndex() const;
    // True when the master record set holds a row.
    bool billShown() const;
    QString moduleCode() const;
    QString moduleTitle() const;
    // Sets every action's enabled state from the operate state and the bill shown.
    void updateActions();
    // Adds a module's own action to the toolbar, in a group before 退出. It is enabled while a
    // bill is browsed, like 修改, and runs like the window's actions: through the dispatcher,
    // after the rights gate of the module code + `rightSuffix` (none when null).
    QAction* addBillAction(const char* name, const QString& caption, const QIcon& icon,
                           const char* rightSuffix, std::function<void()> handler);

protected:
    // The actions' work, each after its block and gate (see the table in the source).
    virtual void actlistExecute();
    virtual void dxbarBtnmxlistExecute();
    virtual void actAudit_logsExecute();
    virtual void actprevExecute();
    virtual void actnextExecute();
    virtual void actAddExecute();
    virtual void actEditExecute();
    virtual void actDelExecute();
    virtual void actRefExecute();
    virtual void actSaveExecute();
    virtual void actCancelExecute();
    virtual void actAuditExecute();
    virtual void actAttachExecute();
    // The print window over this bill (BillPrinting.cpp): its master and lines as "表头数据"
    // and "明细数据", the module's code and title as "表单编号" and "表单名称".
    virtual void actPrintExecute();
    virtual void actbilloptionExecute();
    virtual void actticketsExecute();

    // Writes the bill through _Insert / _Update and, on success, reloads and logs it.
    void SaveData();
    // After the stale-save refusal: the stored bill, still a draft with keyed lines, merged
    // with this edit (the user deciding the conflicts); false when it cannot be or the user
    // cancelled, and the edit stays as it was.
    bool mergeStoredBill();
    // Runs the audit action as if the user had pressed it (block, then its handler).
    void runAudit();
    // Called by the print window after each job of this bill it printed (not after a preview
    // alone): the automatic audit when the store's rule asks for it, then the print log row and
    // the print count in one batch. A refused audit ends it silently; nothing leaves it.
    void onPrintDone();
    // Closing while adding or editing asks before the input is dropped.
    void closeEvent(QCloseEvent* e) override;

    // True when the stored version of the bill is still the one loaded.
    bool versionCurrent() const;
    // Before changing a stored bill: on a moved version
    // "当前数据状态已改变，已为您刷新数据，请重试.", the bill reloaded and the action ended
    // (EAbort).
    void requireCurrentVersion();
    // The descriptor's problem ("模块…缺少…"); empty when the window can run its data actions.
    const QString& descriptorProblem() const { return m_descriptorProblem; }
    // Throws DbError naming the module and the first required master column the loaded
    // record set lacks.
    void requireMasterColumns() const;
    // Names a descriptor key the window needs and the descriptor lacks ("data/master/sql"; with
    // `mayBeEmpty` being there is enough, else it must hold a non-blank value). The first one
    // missing is shown once and kept as the descriptor's problem.
    void requireDescriptorKey(const QString& path, bool mayBeEmpty);

private:
    struct ActionDef;
    static std::span<const ActionDef> actionTable();
    static const ActionDef& actionDef(QAction* TBaseBillEditRibbonForm::*target);
    void createActions();
    void runAction(const ActionDef& def);
    // The action's block, gate and handler, a silent abort left to the caller.
    void runGuarded(const ActionDef& def);
    // The print log row and, when the master record set has `printcount`, its raise.
    QString printLogBatch();
    // True when the print log holds a row for the bill shown.
    bool printedBefore();
    bool enabledBy(int when) const;
    void scheduleActionUpdate();
    int auditStep(bool audit);  // AuditingData_1 (true) / AuditingData_0 (false)
    void setAuditImage(int index);
    void masterAfterInsert(Db::RecordSet& rs);
    void detailAfterInsert(Db::RecordSet& rs);

    QString m_descriptorProblem;
    bool m_updateScheduled = false;
    bool m_updatePending = false;  // a scheduled update's call is queued
    bool m_staleSave = false;      // the last CheckBillError found the version moved
    QIcon m_auditIcons[2];         // draft, audited
    int m_auditImage = -1;         // of m_auditIcons, shown on 审核; -1 none yet
    std::unique_ptr<Db::RecordSetObserver> m_masterWatch;  // schedules updateActions
    QAction* m_closeGroup = nullptr;                       // the separator before 退出
    std::vector<QAction*> m_ownActions;                    // addBillAction's, in toolbar order
};

}  // namespace Qd::Core::Bill
