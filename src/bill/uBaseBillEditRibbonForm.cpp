#include "bill/uBaseBillEditRibbonForm.h"

#include <QCloseEvent>
#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QMenu>
#include <QScopeGuard>
#include <QStyle>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>
#include <span>

#include "base/Dispatch.h"
#include "base/EAbort.h"
#include "bill/BillDialogs.h"
#include "bill/uAuditingDataForm.h"
#include "bill/uBillMergeForm.h"
#include "bill/uCustBillRuleObj.h"
#include "core/GridHelpers.h"
#include "core/Messages.h"
#include "core/RightsGate.h"
#include "db/DataServices.h"
#include "db/DbError.h"
#include "db/Trace.h"
#include "sys/uPlugItem.h"
#include "ui/ActionIcons.h"
#include "ui/editors/Editors.h"

namespace Qd::Core::Bill {

namespace {

QString F(const char* name) {
    return QString::fromLatin1(name);
}

constexpr char kStaleReloaded[] = "当前数据状态已改变，已为您刷新数据，请重试.";
constexpr char kStaleSave[] = "当前数据状态已改变，请刷新数据后请重试.";
constexpr char kSaveFailed[] = "单据保存错误，请重试。";
constexpr char kAuditedNoEdit[] =
    "对不起，您不能修改已审核单据。\r\n\r\n提示：您可以点击【草稿】按钮后再进行修改。.";
constexpr char kAuditedNoDelete[] =
    "对不起，您不能删除已审核单据。\r\n\r\n提示：您可以点击【草稿】按钮后再删除。.";
constexpr char kAskDelete[] = "是否确定要删除该单据?";
constexpr char kAskCancel[] = "是否确定放弃本次操作？";
constexpr int kMergeRounds = 5;
// clang-format off
constexpr char kAuditLogInsert[] = "insert into qd_sys_billaudit_logs(orgid, modulecode,billtype,billno,ck_id,czy_id,auditmsg,auditstate)\r\n values(:orgid, :modulecode,:billtype,:billno,:ck_id,:czy_id,:auditmsg,:auditstate)";
// clang-format on

// The master columns an audit leaves out of its update: the key, then code and name of the
// customer, the store, the bill maker and the salesperson.
const QStringList& auditIgnoredColumns() {
    static const QStringList columns = {F("id"),       F("kh_code"),  F("kh_name"),
                                        F("ck_code"),  F("ck_name"),  F("kdr_code"),
                                        F("kdr_name"), F("ywy_code"), F("ywy_name")};
    return columns;
}

// When an action is enabled.
enum When : int {
    Always,
    Browse,          // browse state
    BrowseWithBill,  // browse state and a bill is shown
    BrowseWithPrev,  // browse state and a bill before this one
    BrowseWithNext,  // browse state and a bill after this one
    Editing,         // add or edit state
};

// Where an action is placed.
enum class Place { Bar, GroupedBar, ListMenu };

// Sets a field when the record set has it.
void setIfPresent(Db::RecordSet& rs, const char* name, const QVariant& value) {
    if (rs.hasField(F(name)))
        rs.field(F(name)).setValue(value);
}

}  // namespace

// One row of the action table: what the action is called and shows, what guards it, when it is
// enabled, and what it does.
struct TBaseBillEditRibbonForm::ActionDef {
    QAction* TBaseBillEditRibbonForm::*target;
    const char* name;
    const char* caption;
    bool administratorBlock;
    const char* rightSuffix;  // gate before the handler; null for none
    When when;
    void (TBaseBillEditRibbonForm::*handler)();
    Place place;
    QStyle::StandardPixmap icon;
};

TBaseBillEditRibbonForm::TBaseBillEditRibbonForm(QWidget* owner, Sys::TPlugItem* data)
    : TBaseRibbonForm(owner, data) {
    resize(1000, 640);
    createActions();

    cdsMaster.afterInsert = [this](Db::RecordSet& rs) { masterAfterInsert(rs); };
    cdsDetail.afterInsert = [this](Db::RecordSet& rs) { detailAfterInsert(rs); };

    // Any change of the master (a bill loaded, a row added or removed, a state change) sets
    // the actions again once the window is idle.
    struct MasterWatch : Db::RecordSetObserver {
        explicit MasterWatch(TBaseBillEditRibbonForm* f) : form(f) {}
        void endReset() override { form->scheduleActionUpdate(); }
        void endInsertRow() override { form->scheduleActionUpdate(); }
        void endRemoveRow() override { form->scheduleActionUpdate(); }
        void stateChanged(Db::DataSetState) override { form->scheduleActionUpdate(); }
        TBaseBillEditRibbonForm* form;
    };
    m_masterWatch = std::make_unique<MasterWatch>(this);
    cdsMaster.addObserver(m_masterWatch.get());
}

TBaseBillEditRibbonForm::~TBaseBillEditRibbonForm() {
    cdsMaster.removeObserver(m_masterWatch.get());
    joinTableList.clear();
    CustBillRule.reset();
}

// The actions in ribbon order.
std::span<const TBaseBillEditRibbonForm::ActionDef> TBaseBillEditRibbonForm::actionTable() {
    using Form = TBaseBillEditRibbonForm;
    using S = QStyle::StandardPixmap;
    static const ActionDef defs[] = {
        {&Form::actlist, "actlist", "查询", false, nullptr, Always, &Form::actlistExecute,
         Place::Bar, S::SP_FileDialogContentsView},
        {&Form::dxbarBtnmxlist, "dxbarBtnmxlist", "明细查询", false, nullptr, Always,
         &Form::dxbarBtnmxlistExecute, Place::ListMenu, S::SP_FileDialogDetailedView},
        {&Form::actAudit_logs, "actAudit_logs", "审核日志", false, nullptr, BrowseWithBill,
         &Form::actAudit_logsExecute, Place::ListMenu, S::SP_FileDialogInfoView},
        {&Form::actprev, "actprev", "前单", false, nullptr, BrowseWithPrev, &Form::actprevExecute,
         Place::Bar, S::SP_ArrowBack},
        {&Form::actnext, "actnext", "后单", false, nullptr, BrowseWithNext, &Form::actnextExecute,
         Place::Bar, S::SP_ArrowForward},
        {&Form::actAdd, "actAdd", "添加", true, "_01", Browse, &Form::actAddExecute,
         Place::GroupedBar, S::SP_FileIcon},
        {&Form::actEdit, "actEdit", "修改", true, "_02", BrowseWithBill, &Form::actEditExecute,
         Place::Bar, S::SP_FileDialogListView},
        {&Form::actDel, "actDel", "删除", true, "_03", BrowseWithBill, &Form::actDelExecute,
         Place::Bar, S::SP_DialogDiscardButton},
        {&Form::actRef, "actRef", "刷新", false, nullptr, Browse, &Form::actRefExecute, Place::Bar,
         S::SP_BrowserReload},
        {&Form::actSave, "actSave", "保存", false, nullptr, Editing, &Form::actSaveExecute,
         Place::GroupedBar, S::SP_DialogSaveButton},
        {&Form::actCancel, "actCancel", "取消", false, nullptr, Editing, &Form::actCancelExecute,
         Place::Bar, S::SP_DialogCancelButton},
        {&Form::actAudit, "actAudit", "审核", true, nullptr, BrowseWithBill, &Form::actAuditExecute,
         Place::GroupedBar, S::SP_DialogApplyButton},
        {&Form::actAttach, "actAttach", "附件", false, "_10", BrowseWithBill,
         &Form::actAttachExecute, Place::GroupedBar, S::SP_DirIcon},
        {&Form::actPrint, "actPrint", "打印", true, "_06", BrowseWithBill, &Form::actPrintExecute,
         Place::GroupedBar, S::SP_CustomBase},
        {&Form::actbilloption, "actbilloption", "设置", false, "_20", Always,
         &Form::actbilloptionExecute, Place::GroupedBar, S::SP_FileDialogDetailedView},
        {&Form::acttickets, "acttickets", "反馈", false, nullptr, BrowseWithBill,
         &Form::actticketsExecute, Place::Bar, S::SP_MessageBoxInformation},
    };
    return defs;
}

const TBaseBillEditRibbonForm::ActionDef& TBaseBillEditRibbonForm::actionDef(
    QAction* TBaseBillEditRibbonForm::*target) {
    for (const ActionDef& d : actionTable()) {
        if (d.target == target)
            return d;
    }
    Q_UNREACHABLE();
}

void TBaseBillEditRibbonForm::createActions() {
    // The close action the base made goes last, in a group of its own.
    BarManagerBar1->removeAction(actclose);
    auto* listMenu = new QMenu(this);
    for (const ActionDef& d : actionTable()) {
        QAction* a = nullptr;
        if (d.place == Place::ListMenu) {
            a = new QAction(QString::fromUtf8(d.caption), this);
            a->setObjectName(F(d.name));
            actlst << a;
            listMenu->addAction(a);
        } else {
            if (d.place == Place::GroupedBar)
                BarManagerBar1->addSeparator();
            a = addAction(F(d.name), QString::fromUtf8(d.caption));
        }
        a->setIcon(d.icon == QStyle::SP_CustomBase ? Ui::printIcon()
                                                   : style()->standardIcon(d.icon));
        connect(a, &QAction::triggered, this, [this, &d] { runAction(d); });
        this->*d.target = a;
    }
    actlist->setMenu(listMenu);
    if (auto* button = qobject_cast<QToolButton*>(BarManagerBar1->widgetForAction(actlist)))
        button->setPopupMode(QToolButton::MenuButtonPopup);
    m_closeGroup = BarManagerBar1->addSeparator();
    BarManagerBar1->addAction(actclose);
    actRef->setShortcut(QKeySequence(Qt::Key_F5));
    actSave->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    updateActions();
}

void TBaseBillEditRibbonForm::runAction(const ActionDef& def) {
    Sys::dispatch([&] { runGuarded(def); });
    updateActions();
}

void TBaseBillEditRibbonForm::runGuarded(const ActionDef& def) {
    if (def.administratorBlock)
        Base::administratorBlock();
    if (def.rightSuffix)
        Base::rightsGate(moduleCode(), F(def.rightSuffix));
    if (def.when != Always && !m_descriptorProblem.isEmpty()) {
        Base::showError(m_descriptorProblem);
        Sys::Abort();
    }
    (this->*def.handler)();
}

bool TBaseBillEditRibbonForm::enabledBy(int when) const {
    const bool browsing = FDataOperateState == Sys::TOperateState::browse;
    switch (When(when)) {
        case Always:
            return true;
        case Browse:
            return browsing;
        case BrowseWithBill:
            return browsing && billShown();
        case BrowseWithPrev:
            return browsing && !prevBillno.isEmpty();
        case BrowseWithNext:
            return browsing && !nextBillno.isEmpty();
        case Editing:
            return !browsing;
    }
    return false;
}

void TBaseBillEditRibbonForm::updateActions() {
    m_updateScheduled = false;
    for (const ActionDef& d : actionTable())
        (this->*d.target)->setEnabled(enabledBy(d.when));
    for (QAction* a : m_ownActions)
        a->setEnabled(enabledBy(BrowseWithBill));
}

QAction* TBaseBillEditRibbonForm::addBillAction(const char* name, const QString& caption,
                                                const QIcon& icon, const char* rightSuffix,
                                                std::function<void()> handler) {
    if (m_ownActions.empty())
        BarManagerBar1->insertSeparator(m_closeGroup);
    auto* a = new QAction(icon, caption, this);
    a->setObjectName(F(name));
    BarManagerBar1->insertAction(m_closeGroup, a);
    actlst << a;
    m_ownActions.push_back(a);
    connect(a, &QAction::triggered, this, [this, rightSuffix, handler = std::move(handler)] {
        Sys::dispatch([&] {
            if (rightSuffix)
                Base::rightsGate(moduleCode(), F(rightSuffix));
            handler();
        });
        updateActions();
    });
    a->setEnabled(enabledBy(BrowseWithBill));
    return a;
}

void TBaseBillEditRibbonForm::scheduleActionUpdate() {
    if (m_updateScheduled)
        return;
    m_updateScheduled = true;
    // One call pending at a time: an update done meanwhile (updateActions clears the flag)
    // leaves it nothing to do, and a change after that needs no second call.
    if (m_updatePending)
        return;
    m_updatePending = true;
    QTimer::singleShot(0, this, [this] {
        m_updatePending = false;
        if (m_updateScheduled)
            updateActions();
    });
}

// ---- creation ----------------------------------------------------------------------------

void TBaseBillEditRibbonForm::_init() {
    TBaseRibbonForm::_init();
    CustBillRule = std::make_unique<TCustBillRule>(moduleCode());
    auditstate = 1;
    const QJsonObject master = pluginfo.value(F("data")).toObject().value(F("master")).toObject();
    masterTableName = master.value(F("tablename")).toString().trimmed();
    MasterIgnorefields.clear();
    for (const QJsonValue& v : master.value(F("ignorefields")).toArray())
        MasterIgnorefields << v.toString();
    requireDescriptorKey(F("data/master/tablename"), false);
}

void TBaseBillEditRibbonForm::requireDescriptorKey(const QString& path, bool mayBeEmpty) {
    if (!m_descriptorProblem.isEmpty())
        return;
    QJsonValue value = pluginfo;
    for (const QString& key : path.split(u'/'))
        value = value.toObject().value(key);
    if (mayBeEmpty ? !value.isUndefined() : !value.toString().trimmed().isEmpty())
        return;
    m_descriptorProblem = QStringLiteral("模块“%1”（%2）的描述缺少“%3”，不能读写单据。")
                              .arg(moduleTitle(), moduleCode(), path);
    Base::showError(m_descriptorProblem);
}

QString TBaseBillEditRibbonForm::moduleCode() const {
    return PlugItem ? PlugItem->code : QString();
}

QString TBaseBillEditRibbonForm::moduleTitle() const {
    return PlugItem ? PlugItem->title : QString();
}

void TBaseBillEditRibbonForm::requireMasterColumns() const {
    // Asked in lower case, the way the record set keeps its names; said as modules write them.
    static const QString required[][2] = {
        {QStringLiteral("id"), QStringLiteral("id")},
        {QStringLiteral("billno"), QStringLiteral("billno")},
        {QStringLiteral("version"), QStringLiteral("version")},
        {QStringLiteral("prevbillno"), QStringLiteral("prevBillNo")},
        {QStringLiteral("nextbillno"), QStringLiteral("NextBillNo")},
        {QStringLiteral("status"), QStringLiteral("status")},
        {QStringLiteral("billdate"), QStringLiteral("billdate")},
        {QStringLiteral("orgid"), QStringLiteral("orgid")}};
    for (const auto& [key, column] : required)
        if (!cdsMaster.hasField(key))
            throw Db::DbError(QStringLiteral("模块“%1”（%2）的主表查询缺少列“%3”。")
                                  .arg(moduleTitle(), moduleCode(), column));
}

bool TBaseBillEditRibbonForm::billShown() const {
    return cdsMaster.active() && !cdsMaster.isEmpty();
}

int TBaseBillEditRibbonForm::auditImageIndex() const {
    return std::max(m_auditImage, 0);
}

// ---- record defaults ---------------------------------------------------------------------

void TBaseBillEditRibbonForm::masterAfterInsert(Db::RecordSet& rs) {
    const Sys::TAuth* auth = Sys::sysAuth();
    rs.field(F("id")).setValue(0);
    rs.field(F("orgid")).setValue(auth ? auth->orgId : QString());
    rs.field(F("billdate")).setValue(QDateTime::currentDateTime());
    rs.field(F("status")).setValue(0);
    if (!auth)
        return;
    setIfPresent(rs, "kdr_id", auth->userId);
    setIfPresent(rs, "kdr_name", auth->userName);
    setIfPresent(rs, "ck_id", auth->storeId);
    setIfPresent(rs, "ck_name", auth->storeName);
}

void TBaseBillEditRibbonForm::detailAfterInsert(Db::RecordSet& rs) {
    // A copied line arrives with its uid and keeps every value.
    if (!rs.field(F("uid")).asString().isEmpty())
        return;
    const Sys::TAuth* auth = Sys::sysAuth();
    rs.field(F("id")).setValue(0);
    rs.field(F("orgid")).setValue(auth ? auth->orgId : QString());
    rs.field(F("uid")).setValue(Sys::newid());
    rs.field(F("billno")).setValue(tempBillno);
}

// ---- hooks -------------------------------------------------------------------------------

void TBaseBillEditRibbonForm::BeforeAppend() {
    requireMasterColumns();
    cdsMaster.setReadOnly(false);
    cdsMaster.append();
    tempBillno = Sys::newid();
    cdsDetail.emptyDataSet();
    ComponentReadOnly(false);
    cdsMaster.field(F("billno")).setValue(tempBillno);
    actAudit->setText(QStringLiteral("审核"));
    setAuditImage(0);
}

bool TBaseBillEditRibbonForm::CheckBillError(QString& message) {
    // A money editor left blank means 0; telling its binding so writes the 0 into the record.
    for (Ui::CurrencyEdit* edit : findChildren<Ui::CurrencyEdit*>()) {
        if (edit->text().trimmed().isEmpty()) {
            edit->setValue(0);
            Q_EMIT edit->editingFinished();
        }
    }
    if (cdsDetail.active() && cdsDetail.state() != Db::DataSetState::Browse)
        cdsDetail.post();
    if (FDataOperateState == Sys::TOperateState::edit && !versionCurrent()) {
        message = QString::fromUtf8(kStaleSave);
        m_staleSave = true;
        return true;
    }
    return false;
}

void TBaseBillEditRibbonForm::fillMasterData() {
    requireMasterColumns();
    version = cdsMaster.field(F("version")).asInteger();
    prevBillno = cdsMaster.field(F("prevbillno")).asString();
    nextBillno = cdsMaster.field(F("nextbillno")).asString();
    billno = cdsMaster.field(F("billno")).asString();
    setAuditImage(cdsMaster.field(F("status")).asInteger() >= auditstate ? 1 : 0);
}

void TBaseBillEditRibbonForm::setAuditImage(int index) {
    if (m_auditImage == index)
        return;
    m_auditImage = index;
    // Made once: a style's icon is read from its image file each time it is asked for.
    static const QStyle::StandardPixmap images[] = {QStyle::SP_DialogApplyButton,
                                                    QStyle::SP_DialogResetButton};
    if (m_auditIcons[index].isNull())
        m_auditIcons[index] = style()->standardIcon(images[index]);
    actAudit->setIcon(m_auditIcons[index]);
}

int TBaseBillEditRibbonForm::_Insert() {
    return 0;
}
int TBaseBillEditRibbonForm::_Update() {
    return 0;
}
int TBaseBillEditRibbonForm::_delete() {
    return 0;
}
int TBaseBillEditRibbonForm::AuditingData_0() {
    return auditStep(false);
}
int TBaseBillEditRibbonForm::AuditingData_1() {
    return auditStep(true);
}
void TBaseBillEditRibbonForm::SelectedxmbmkToDetail(const QString&) {}
QString TBaseBillEditRibbonForm::generateSqlAuditing_0() {
    return {};
}
QString TBaseBillEditRibbonForm::generateSqlAuditing_1() {
    return {};
}
bool TBaseBillEditRibbonForm::LoadBillData(const QString&, Db::RecordSet&, Db::RecordSet&) {
    return false;
}

// ---- version -----------------------------------------------------------------------------

bool TBaseBillEditRibbonForm::versionCurrent() const {
    const qint64 id =
        billShown()
            ? cdsMaster.valueAt(cdsMaster.rowAt(cdsMaster.recNo()), cdsMaster.fieldIndex(F("id")))
                  .toLongLong()
            : 0;
    return Db::dataServices().checkBillVersion(masterTableName, id, version);
}

void TBaseBillEditRibbonForm::requireCurrentVersion() {
    if (versionCurrent())
        return;
    Base::showHint(QString::fromUtf8(kStaleReloaded));
    OpenBillData(billno);
    Sys::Abort();
}

// ---- the actions -------------------------------------------------------------------------

void TBaseBillEditRibbonForm::actlistExecute() {
    Base::showReportForm(nullptr, moduleTitle() + QStringLiteral("查询"), QString());
}

void TBaseBillEditRibbonForm::dxbarBtnmxlistExecute() {
    Base::showReportForm(nullptr, moduleTitle() + QStringLiteral("明细查询"), QString());
}

void TBaseBillEditRibbonForm::actAudit_logsExecute() {
    if (billShown() && FDataOperateState == Sys::TOperateState::browse)
        showAuditLog(this, moduleCode(), billno);
}

void TBaseBillEditRibbonForm::actprevExecute() {
    OpenBillData(prevBillno);
}

void TBaseBillEditRibbonForm::actnextExecute() {
    OpenBillData(nextBillno);
}

void TBaseBillEditRibbonForm::actAddExecute() {
    FDataOperateState = Sys::TOperateState::add;
    BeforeAppend();
}

void TBaseBillEditRibbonForm::actEditExecute() {
    if (!billShown())
        return;
    if (cdsMaster.field(F("status")).asInteger() >= auditstate) {
        Base::showHint(QString::fromUtf8(kAuditedNoEdit));
        return;
    }
    requireCurrentVersion();
    cdsMaster.setReadOnly(false);
    beforeeditdata = Db::TJsonDB::ClientDataSetToJSON(cdsMaster, true);
    cdsMaster.edit();
    FDataOperateState = Sys::TOperateState::edit;
    tempBillno = cdsMaster.field(F("billno")).asString();
    cdsMaster.field(F("version")).setValue(cdsMaster.field(F("version")).asInteger() + 1);
    ComponentReadOnly(false);
}

void TBaseBillEditRibbonForm::actDelExecute() {
    if (!billShown())
        return;
    if (cdsMaster.field(F("status")).asInteger() >= auditstate) {
        Base::showHint(QString::fromUtf8(kAuditedNoDelete));
        Sys::Abort();
    }
    if (!Base::confirmOk(QString::fromUtf8(kAskDelete)))
        return;
    requireCurrentVersion();
    const QString deleted = billno;
    const QString image = Db::TJsonDB::ClientDataSetToJSON(cdsMaster, true);
    if (_delete() == 0) {
        Sys::logger(moduleCode(), moduleTitle(), deleted, QStringLiteral("删除"), image);
        Base::showHint(QStringLiteral("删除成功"));
    }
    OpenBillData(nextBillno);
}

void TBaseBillEditRibbonForm::actRefExecute() {
    OpenBillData(billno);
}

void TBaseBillEditRibbonForm::actSaveExecute() {
    // A merge makes the stored bill the base of this edit; should yet another save land before
    // this one, the next round merges with that (a few rounds at most, then the refusal stands).
    for (int round = 0; round < kMergeRounds; ++round) {
        QString message;
        m_staleSave = false;
        if (!CheckBillError(message)) {
            SaveData();
            return;
        }
        Base::showError(message);
        if (!m_staleSave || !mergeStoredBill())
            return;
    }
}

MergeOptions TBaseBillEditRibbonForm::mergeOptions() const {
    MergeOptions options;
    options.ignored = MasterIgnorefields;
    const QJsonObject data = pluginfo.value(F("data")).toObject();
    // A lookup is one unit with the fields it fills; labels name the fields in the dialog.
    const auto read = [&options](const QJsonArray& columns, QList<QStringList>& units) {
        for (const QJsonValue& v : columns) {
            const QJsonObject column = v.toObject();
            const QString field = column.value(F("fieldname")).toString();
            if (field.isEmpty())
                continue;
            if (const QString label = column.value(F("label")).toString(); !label.isEmpty())
                options.captions.insert(field, label);
            QStringList unit = {field};
            for (const QJsonValue& f :
                 column.value(F("join")).toObject().value(F("fields")).toArray()) {
                const QString target = f.toObject().value(F("target")).toString();
                if (!target.isEmpty() && !unit.contains(target, Qt::CaseInsensitive))
                    unit << target;
            }
            if (unit.size() > 1)
                units << unit;
        }
    };
    read(data.value(F("master")).toObject().value(F("lookups")).toArray(), options.units);
    read(data.value(F("detail")).toObject().value(F("columns")).toArray(), options.lineUnits);
    return options;
}

void TBaseBillEditRibbonForm::afterMerge() {}

bool TBaseBillEditRibbonForm::mergeStoredBill() {
    if (FDataOperateState != Sys::TOperateState::edit)
        return false;
    Db::RecordSet theirMaster;
    Db::RecordSet theirDetail;
    if (!LoadBillData(billno, theirMaster, theirDetail) || theirMaster.recordCount() != 1 ||
        theirMaster.field(F("status")).asInteger() >= auditstate)
        return false;  // removed or audited meanwhile: nothing to merge with
    cdsMaster.checkBrowseMode();
    cdsDetail.checkBrowseMode();
    if (!BillMerge::linesHaveKeys(cdsDetail, theirDetail))
        return false;
    const int stored = theirMaster.field(F("version")).asInteger();
    const QString theirImage = Db::TJsonDB::ClientDataSetToJSON(theirMaster, true);
    BillMerge merge(cdsMaster, cdsDetail, std::move(theirMaster), std::move(theirDetail),
                    mergeOptions());
    if (!merge.conflicts().empty() && !resolveConflicts(this, merge.conflicts()))
        return false;
    try {
        merge.apply(cdsMaster, cdsDetail);
    } catch (...) {
        // Half merged is neither side: back to the stored bill.
        FDataOperateState = Sys::TOperateState::browse;
        OpenBillData(billno);
        throw;
    }
    // The stored bill is now what this edit started from.
    version = stored;
    cdsMaster.edit();
    cdsMaster.field(F("version")).setValue(stored + 1);
    cdsMaster.post();
    beforeeditdata = theirImage;
    afterMerge();
    return true;
}

void TBaseBillEditRibbonForm::SaveData() {
    cdsDetail.disableControls();
    const auto enable = qScopeGuard([this] { cdsDetail.enableControls(); });
    // The header editors write into the master row; the hooks write what it holds.
    if (cdsMaster.active())
        cdsMaster.checkBrowseMode();
    int result = -1;
    const bool editing = FDataOperateState == Sys::TOperateState::edit;
    if (FDataOperateState == Sys::TOperateState::add) {
        result = _Insert();
        billno.clear();
    } else if (editing) {
        const QString oldBillno = billno;
        result = _Update();
        if (result == 0)
            Sys::logger(moduleCode(), moduleTitle(), oldBillno, QStringLiteral("修改前"),
                        beforeeditdata);
        billno = cdsMaster.field(F("billno")).asString();
    }
    if (result != 0) {
        Base::showError(QString::fromUtf8(kSaveFailed));
        return;
    }
    OpenBillData(billno);
    if (editing)
        Sys::logger(moduleCode(), moduleTitle(), billno, QStringLiteral("修改后"),
                    Db::TJsonDB::ClientDataSetToJSON(cdsMaster, true));
    FDataOperateState = Sys::TOperateState::browse;
    updateActions();
    if (CustBillRule && CustBillRule->switchOn(TCustBillRule::kAuditAfterSave))
        runAudit();
}

void TBaseBillEditRibbonForm::actCancelExecute() {
    if (!Base::confirmOk(QString::fromUtf8(kAskCancel)))
        return;
    FDataOperateState = Sys::TOperateState::browse;
    if (cdsMaster.active())
        cdsMaster.cancel();
    OpenBillData(billno);
}

void TBaseBillEditRibbonForm::runAudit() {
    runAction(actionDef(&TBaseBillEditRibbonForm::actAudit));
}

void TBaseBillEditRibbonForm::actAuditExecute() {
    if (!billShown())
        return;
    requireCurrentVersion();
    TAuditingDataForm dialog(this);
    if (Ui::prompter().exec(dialog) != QDialog::Accepted)
        return;
    const QString note = dialog.note();
    const bool audited = cdsMaster.field(F("status")).asInteger() >= auditstate;
    const QString word = audited ? QStringLiteral("草稿") : QStringLiteral("审核");
    if ((audited ? AuditingData_0() : AuditingData_1()) != 0)
        return;
    Sys::logger(moduleCode(), moduleTitle(), billno, word,
                Db::TJsonDB::ClientDataSetToJSON(cdsMaster, true));
    const Sys::TAuth* auth = Sys::sysAuth();
    Db::dataServices().execSQL(QString::fromUtf8(kAuditLogInsert),
                               {{F("orgid"), auth ? auth->orgId : QString()},
                                {F("modulecode"), moduleCode()},
                                {F("billtype"), moduleTitle()},
                                {F("billno"), cdsMaster.field(F("billno")).asString()},
                                {F("ck_id"), auth ? auth->storeId : 0},
                                {F("czy_id"), auth ? auth->userId : 0},
                                {F("auditmsg"), note},
                                {F("auditstate"), word}});
    OpenBillData(billno);
}

int TBaseBillEditRibbonForm::auditStep(bool audit) {
    Base::rightsGate(moduleCode(), audit ? QStringLiteral("_04") : QStringLiteral("_05"));
    int result = -1;
    const Sys::TAuth* auth = Sys::sysAuth();
    cdsMaster.setReadOnly(false);
    cdsMaster.edit();
    cdsMaster.field(F("status")).setValue(audit ? auditstate : 0);
    cdsMaster.field(F("version")).setValue(cdsMaster.field(F("version")).asInteger() + 1);
    cdsMaster.field(F("auditdate")).setValue(QDateTime::currentDateTime());
    cdsMaster.field(F("shy_id")).setValue(audit && auth ? auth->userId : 0);
    cdsMaster.post();
    if (cdsMaster.changeCount() == 0)
        return result;

    QStringList lines;
    Db::GetUpDataSQLList(masterTableName, F("id"), auditIgnoredColumns(), cdsMaster, lines, 0);
    QString update;
    for (const QString& line : lines)
        update += line + QStringLiteral("\r\n");
    if (!audit)
        Db::LogMsg(QStringLiteral("[草稿] ") + update);
    const QString script =
        QStringLiteral("begin tran\r\nbegin try\r\n") + update + QStringLiteral("\r\n") +
        (audit ? generateSqlAuditing_1() : generateSqlAuditing_0()) + QStringLiteral("\r\n") +
        QStringLiteral("end try") + QStringLiteral("\r\n") + QStringLiteral("begin catch") +
        QStringLiteral("\r\n") + QStringLiteral("if (@@trancount>0) rollback tran") +
        QStringLiteral("\r\n") + QStringLiteral("raiserror('数据错误异常.', 16, 1)") +
        QStringLiteral("\r\n") + QStringLiteral("end catch") + QStringLiteral("\r\n") +
        QStringLiteral("if (@@trancount>0) commit tran");
    // The data services trace the script as sent.
    if (Db::dataServices().execSQL(script))
        result = 0;
    return result;
}

void TBaseBillEditRibbonForm::actAttachExecute() {
    if (billShown())
        showAttachments(this, moduleCode(), billno);
}

void TBaseBillEditRibbonForm::actbilloptionExecute() {
    showBillOptions(this, moduleCode(),
                    QString::fromUtf8(QJsonDocument(pluginfo).toJson(QJsonDocument::Compact)));
}

void TBaseBillEditRibbonForm::actticketsExecute() {
    if (billShown() && FDataOperateState == Sys::TOperateState::browse)
        showTickets(this, moduleTitle(), cdsMaster.field(F("id")).asLargeInt());
}

void TBaseBillEditRibbonForm::closeEvent(QCloseEvent* e) {
    if (FDataOperateState != Sys::TOperateState::browse) {
        switch (Base::askSavePending()) {
            case Base::PendingAnswer::Save:
                runAction(actionDef(&TBaseBillEditRibbonForm::actSave));
                if (FDataOperateState != Sys::TOperateState::browse) {
                    e->ignore();
                    return;
                }
                break;
            case Base::PendingAnswer::Discard:
                FDataOperateState = Sys::TOperateState::browse;
                break;
            case Base::PendingAnswer::Stay:
                e->ignore();
                return;
        }
    }
    TBaseRibbonForm::closeEvent(e);
}

}  // namespace Qd::Core::Bill
