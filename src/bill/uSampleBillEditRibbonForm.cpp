#include "bill/uSampleBillEditRibbonForm.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QDateTime>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QJsonObject>
#include <QLabel>
#include <QVBoxLayout>

#include "base/Dispatch.h"
#include "bill/BillDialogs.h"
#include "bill/uCustBillRuleObj.h"
#include "core/uMyCxGrid.h"
#include "db/DataServices.h"
#include "db/Trace.h"
#include "db/tsql/TsqlLexer.h"
#include "report/ubasicsamplefilterform.h"
#include "sys/uAuth.h"
#include "ui/editors/Editors.h"

namespace Qd::Core::Bill {

namespace {

QString F(const char* text) {
    return QString::fromUtf8(text);
}

const QColor kDraftColor(0, 128, 128);
const QColor kAuditedColor(255, 0, 0);

QLabel* stripLabel(const char* name, const char* text, QWidget* parent) {
    auto* label = new QLabel(F(text), parent);
    label->setObjectName(F(name));
    return label;
}

}  // namespace

TSampleBillEditRibbonForm::TSampleBillEditRibbonForm(QWidget* owner, Sys::TPlugItem* data)
    : TBaseBillEditRibbonForm(owner, data) {
    auto* page = new QWidget(this);
    auto* layout = new QVBoxLayout(page);
    auto* top = new QHBoxLayout;
    layout->addLayout(top);
    top->addWidget(buildStrip(page));
    headerArea = new QWidget(page);
    headerArea->setObjectName(F("headerArea"));
    headerArea->setLayout(new QGridLayout);
    headerArea->layout()->setContentsMargins(0, 0, 0, 0);
    top->addWidget(headerArea, 1);

    gDetail = new Ui::Grid(F("gDetail"), page);
    gDetailView = gDetail->addLevel(F("gDetailView"));
    gDetailView->setEnterMovesToNextCell(true);
    gDetailView->setNewItemRowText(F("点击这里添加明细"));
    layout->addWidget(gDetail, 1);
    setCentralWidget(page);
    createDetailActions();

    cdsDetail.onDataChange = [this](Db::RecordSet&, int field) { dsDetailDataChange(field); };
    cdsDetail.beforePost = [this](Db::RecordSet&) { cdsDetailBeforePost(); };
}

TSampleBillEditRibbonForm::~TSampleBillEditRibbonForm() {
    // The record sets are the base's and outlive this part of the window: what they report
    // while they go must not reach it.
    disconnect(gDetailView->model(), nullptr, this, nullptr);
    cdsDetail.onDataChange = nullptr;
    cdsDetail.beforePost = nullptr;
}

QWidget* TSampleBillEditRibbonForm::buildStrip(QWidget* page) {
    auto* strip = new QWidget(page);
    strip->setObjectName(F("billStrip"));
    auto* column = new QVBoxLayout(strip);
    column->setContentsMargins(0, 0, 12, 0);
    column->setSpacing(4);
    cxLabel1 = stripLabel("cxLabel1", "项目订单", strip);
    QFont title = cxLabel1->font();
    title.setPointSizeF(title.pointSizeF() * 1.6);
    title.setBold(true);
    cxLabel1->setFont(title);
    cxLabel2 = stripLabel("cxLabel2", "未审核", strip);
    cxLabel2->setAlignment(Qt::AlignCenter);
    cxLabel3 = stripLabel("cxLabel3", "单号：X201501010001", strip);
    cxLabel3->setToolTip(F("双击复制单号"));
    cxLabel4 = stripLabel("cxLabel4", "日期：2015-08-17", strip);
    cxLabel5 = stripLabel("cxLabel5", "时间：18:15:22", strip);
    lblPrintCount = stripLabel("lblPrintCount", "打印次数：0 次", strip);
    lblPrintCount->setStyleSheet(F("color: rgb(255, 0, 0); font-weight: bold;"));
    lblPrintCount->setToolTip(F("双击查看打印日志"));
    column->addWidget(cxLabel1);
    auto* stampRow = new QHBoxLayout;
    stampRow->addWidget(cxLabel2);
    stampRow->addStretch(1);
    column->addLayout(stampRow);
    for (QLabel* label : {cxLabel3, cxLabel4, cxLabel5, lblPrintCount})
        column->addWidget(label);
    column->addStretch(1);
    setStamp(cxLabel2->text(), kDraftColor);
    for (QLabel* label : {cxLabel1, cxLabel3, lblPrintCount})
        label->installEventFilter(this);
    return strip;
}

void TSampleBillEditRibbonForm::createDetailActions() {
    const auto make = [this](const char* name, const char* caption, void (*run)(Self*)) {
        auto* action = new QAction(F(caption), this);
        action->setObjectName(F(name));
        connect(action, &QAction::triggered, this,
                [this, run] { Sys::dispatch([&] { run(this); }); });
        gDetailView->addAction(action);
        return action;
    };
    actDetail_Add = make("actDetail_Add", "新增明细", [](Self* f) {
        if (f->editing())
            f->cdsDetail.append();
    });
    actDetail_Edit = make("actDetail_Edit", "修改", [](Self* f) {
        if (f->editing() && !f->cdsDetail.isEmpty())
            f->cdsDetail.edit();
    });
    actDetail_Del = make("actDetail_Del", "删除", [](Self* f) {
        if (f->editing() && !f->cdsDetail.isEmpty())
            f->cdsDetail.deleteRecord();
    });
    actDetail_DelAll = make("actDetail_DelAll", "删除全部", [](Self* f) { f->deleteAllLines(); });
    gDetailView->setContextMenuPolicy(Qt::ActionsContextMenu);
    // The actions follow the state and the lines.
    const auto follow = [this] { updateDetailActions(); };
    connect(gDetailView->model(), &QAbstractItemModel::modelReset, this, follow);
    connect(gDetailView->model(), &QAbstractItemModel::rowsInserted, this, follow);
    connect(gDetailView->model(), &QAbstractItemModel::rowsRemoved, this, follow);
    updateDetailActions();
}

bool TSampleBillEditRibbonForm::editing() const {
    return FDataOperateState != Sys::TOperateState::browse && billShown();
}

void TSampleBillEditRibbonForm::updateDetailActions() {
    const bool on = editing();
    const bool lines = on && cdsDetail.active() && !cdsDetail.isEmpty();
    actDetail_Add->setEnabled(on);
    for (QAction* a : {actDetail_Edit, actDetail_Del, actDetail_DelAll})
        a->setEnabled(lines);
}

void TSampleBillEditRibbonForm::deleteAllLines() {
    if (!editing() || !cdsDetail.active())
        return;
    // One reset for the grid at the end, not one removal per line.
    cdsDetail.disableControls();
    try {
        cdsDetail.first();
        while (!cdsDetail.isEmpty())
            cdsDetail.deleteRecord();
    } catch (...) {
        cdsDetail.enableControls();
        throw;
    }
    cdsDetail.enableControls();
}

// ---- creation and showing -------------------------------------------------------------------

void TSampleBillEditRibbonForm::_init() {
    TBaseBillEditRibbonForm::_init();
    requireDescriptorKey(F("title"), true);
    requireDescriptorKey(F("data/master/sql"), true);
    requireDescriptorKey(F("data/detail/sql"), true);
    cxLabel1->setText(pluginfo.value(F("title")).toString());
    if (CustBillRule && !CustBillRule->Fcaption.isEmpty())
        cxLabel1->setText(CustBillRule->Fcaption);
    const QJsonObject data = pluginfo.value(F("data")).toObject();
    masterSQL = data.value(F("master")).toObject().value(F("sql")).toString();
    detailSQL = data.value(F("detail")).toObject().value(F("sql")).toString();
    if (detailSQL.isEmpty())
        detailSQL = cdsDetail.commandText;
    _initColumns(moduleCode(), gDetail);
    genDetailColumns();
    ComponentReadOnly(true);
}

QWidget* TSampleBillEditRibbonForm::addHeaderEditor(const QString& field,
                                                    const Ui::EditorProps& props, QWidget* parent) {
    QWidget* editor = Ui::createEditor(props, parent ? parent : headerArea);
    editor->setObjectName(field);
    m_headerEditors.append({field, editor});
    if (props.kind == Ui::EditorKind::Button && field.compare(F("zy"), Qt::CaseInsensitive) == 0)
        connect(static_cast<Ui::ButtonEdit*>(editor), &Ui::ButtonEdit::buttonClicked, this,
                [this] { Sys::dispatch([this] { pickSummary(); }); });
    if (m_shown)
        new Ui::FieldBinding(&cdsMaster, field, editor);
    ComponentReadOnly(!editing());
    return editor;
}

QWidget* TSampleBillEditRibbonForm::addHeaderEditor(const QString& field, Ui::EditorKind kind,
                                                    QWidget* parent) {
    Ui::EditorProps props;
    props.kind = kind;
    return addHeaderEditor(field, props, parent);
}

QWidget* TSampleBillEditRibbonForm::headerEditor(const QString& field) const {
    for (const auto& [name, editor] : m_headerEditors)
        if (name.compare(field, Qt::CaseInsensitive) == 0)
            return editor;
    return nullptr;
}

void TSampleBillEditRibbonForm::FormShow() {
    if (std::exchange(m_shown, true))
        return;
    for (const auto& [field, editor] : std::as_const(m_headerEditors))
        if (editor)
            new Ui::FieldBinding(&cdsMaster, field, editor);
    Db::LogMsg(F("模块显示"));
}

void TSampleBillEditRibbonForm::showEvent(QShowEvent* e) {
    TBaseBillEditRibbonForm::showEvent(e);
    FormShow();
}

void TSampleBillEditRibbonForm::closeEvent(QCloseEvent* e) {
    TBaseBillEditRibbonForm::closeEvent(e);
    if (e->isAccepted())
        Base::TMyCxGrid::storeGridColumnStyle(gDetail, moduleCode());
}

// ---- loading ----------------------------------------------------------------------------------

// The values of ":billno" and ":userCode" where a load statement has them. They are bound, not
// pasted: the same as the quoted literals pasting would give (a quote in a number loads its
// bill), but the statement's text stays the same from bill to bill, so it is translated and
// prepared once, not once per bill.
Db::Params TSampleBillEditRibbonForm::placeholderValues(const QString& sql,
                                                        const QString& no) const {
    // The names as the statement writes them, found once per statement text.
    auto names = m_placeholders.constFind(sql);
    if (names == m_placeholders.constEnd()) {
        QStringList found;
        for (const Db::Tsql::Token& t : Db::Tsql::tokenize(sql)) {
            if (t.kind != Db::Tsql::Token::Param)
                continue;
            const QString name = Db::Tsql::tokenText(sql, t).mid(1).toString();
            const bool known = name.compare(F("billno"), Qt::CaseInsensitive) == 0 ||
                               name.compare(F("userCode"), Qt::CaseInsensitive) == 0;
            if (known && !found.contains(name, Qt::CaseInsensitive))
                found << name;
        }
        if (m_placeholders.size() > 16)
            m_placeholders.clear();
        names = m_placeholders.insert(sql, found);
    }
    const Sys::TAuth* auth = Sys::sysAuth();
    Db::Params params;
    for (const QString& name : *names)
        params.push_back({name, name.compare(F("billno"), Qt::CaseInsensitive) == 0
                                    ? no
                                    : (auth ? auth->userCode : QString())});
    return params;
}

bool TSampleBillEditRibbonForm::LoadBillData(const QString& no, Db::RecordSet& master,
                                             Db::RecordSet& detail) {
    if (!descriptorProblem().isEmpty())
        return false;
    const auto statement = [this](const QString& sql) {
        QString text = sql;
        fillOwnPlaceholders(text);
        return Sys::sqlTemplate(text);
    };
    const QString masterText = statement(masterSQL);
    if (!Db::dataServices().openDataToCDS(master, masterText, placeholderValues(masterText, no)))
        return false;
    // The lines are the loaded bill's, whatever number was asked for.
    const QString loaded = master.isEmpty() ? QString() : master.field(F("billno")).asString();
    const QString detailText = statement(detailSQL);
    return Db::dataServices().openDataToCDS(detail, detailText,
                                            placeholderValues(detailText, loaded));
}

void TSampleBillEditRibbonForm::OpenBillData(const QString& no) {
    if (!LoadBillData(no, cdsMaster, cdsDetail) || !billShown()) {
        // No bill shown: never one bill's header over another's lines.
        for (Db::RecordSet* rs : {&cdsMaster, &cdsDetail})
            if (rs->active())
                rs->emptyDataSet();
        billno.clear();
        prevBillno.clear();
        nextBillno.clear();
        version = 0;
        for (QLabel* label : {cxLabel3, cxLabel4, cxLabel5, lblPrintCount})
            label->clear();
        ComponentReadOnly(true);
    } else {
        fillMasterData();
    }
    opendataEx(no);
    updateActions();
    updateDetailActions();
    Db::LogMsg(F("数据集已准备就绪"));
}

void TSampleBillEditRibbonForm::fillMasterData() {
    TBaseBillEditRibbonForm::fillMasterData();
    switch (cdsMaster.field(F("status")).asInteger()) {
        case 0:
            setStamp(F("未审核"), kDraftColor);
            actAudit->setText(F("审核"));
            break;
        case 1:
            setStamp(F("已审核"), kAuditedColor);
            actAudit->setText(F("草稿"));
            break;
        default:
            break;  // the stamp and caption of the bill shown before stay
    }
    showStripTexts(false);
    ComponentReadOnly(true);
}

void TSampleBillEditRibbonForm::BeforeAppend() {
    TBaseBillEditRibbonForm::BeforeAppend();
    setStamp(F("未审核"), kDraftColor);
    showStripTexts(true);
    updateDetailActions();
}

void TSampleBillEditRibbonForm::setStamp(const QString& text, const QColor& color) {
    if (cxLabel2->text() == text && cxLabel2->property("stampColor") == color)
        return;  // a style sheet set again repolishes the label
    cxLabel2->setProperty("stampColor", color);
    cxLabel2->setText(text);
    cxLabel2->setStyleSheet(F("color: %1; border: 2px solid %1; padding: 2px 8px; "
                              "font-weight: bold;")
                                .arg(color.name()));
}

void TSampleBillEditRibbonForm::showStripTexts(bool newBill) {
    const Sys::TGlobalSettings& formats = Sys::VaGlobalmtSettings();
    const QDateTime now = newBill ? QDateTime::currentDateTime() : QDateTime();
    const Db::Field billdate = cdsMaster.field(F("billdate"));
    cxLabel3->setText(newBill ? F("单号：N/a") : F("单号：%1").arg(billno));
    cxLabel4->setText(F("日期：") +
                      (newBill ? now.date() : billdate.asDate()).toString(formats.dateFormat));
    cxLabel5->setText(F("时间：") +
                      (newBill ? now.time() : billdate.asTime()).toString(formats.timeFormat));
    if (newBill || !cdsMaster.hasField(F("printcount")))
        lblPrintCount->clear();
    else
        lblPrintCount->setText(
            F("单据已打印 %1 次").arg(cdsMaster.field(F("printcount")).asInteger()));
}

// ---- read-only switch ---------------------------------------------------------------------------

void TSampleBillEditRibbonForm::ComponentReadOnly(bool readOnly) {
    for (const auto& [field, editor] : std::as_const(m_headerEditors))
        if (editor)
            Ui::setEditorReadOnly(editor, readOnly);
    for (Db::RecordSet* rs : {&cdsMaster, &cdsDetail})
        rs->setReadOnly(readOnly);
    gDetailView->setEditTriggers(
        readOnly ? QAbstractItemView::NoEditTriggers
                 : QAbstractItemView::DoubleClicked | QAbstractItemView::SelectedClicked |
                       QAbstractItemView::EditKeyPressed | QAbstractItemView::AnyKeyPressed);
    gDetailView->setNewItemRowVisible(!readOnly);
    updateDetailActions();
}

// ---- the strip's double clicks and the summary button ------------------------------------------

bool TSampleBillEditRibbonForm::eventFilter(QObject* watched, QEvent* e) {
    if (e->type() == QEvent::MouseButtonDblClick) {
        if (watched == cxLabel3)
            Sys::dispatch([this] { copyBillno(); });
        else if (watched == lblPrintCount)
            Sys::dispatch([this] { showPrintLog(); });
    } else if (e->type() == QEvent::MouseButtonRelease && watched == cxLabel1) {
        Sys::dispatch([this] { cxLabel1Click(); });
    }
    return TBaseBillEditRibbonForm::eventFilter(watched, e);
}

void TSampleBillEditRibbonForm::copyBillno() {
    QApplication::clipboard()->setText(cdsMaster.active() && !cdsMaster.isEmpty()
                                           ? cdsMaster.field(F("billno")).asString()
                                           : QString());
    Ui::AlertWindow::showAlert(this, F("提示"), F("单号复制成功。"), 3000);
}

void TSampleBillEditRibbonForm::showPrintLog() {
    if (FDataOperateState != Sys::TOperateState::browse || !billShown())
        return;
    Bill::showPrintLog(this, moduleCode(), cdsMaster.field(F("billno")).asString());
}

void TSampleBillEditRibbonForm::pickSummary() {
    if (!editing())
        return;
    const QString name = Report::openzybmkfilterform(this);
    if (name.isEmpty())
        return;
    if (QWidget* editor = headerEditor(F("zy")))
        Ui::setEditorValue(editor, name);
    Db::Field zy = cdsMaster.field(F("zy"));
    if (cdsMaster.state() == Db::DataSetState::Browse)
        cdsMaster.edit();
    zy.setValue(name);
    cdsMaster.post();
}

// ---- hooks a module fills -----------------------------------------------------------------------

void TSampleBillEditRibbonForm::genDetailColumns() {}
void TSampleBillEditRibbonForm::opendataEx(const QString&) {}
void TSampleBillEditRibbonForm::fillOwnPlaceholders(QString&) const {}
void TSampleBillEditRibbonForm::cxLabel1Click() {}
void TSampleBillEditRibbonForm::dsDetailDataChange(int) {}
void TSampleBillEditRibbonForm::cdsDetailBeforePost() {}
void TSampleBillEditRibbonForm::edtwldwPropertiesButtonClick() {}

}  // namespace Qd::Core::Bill
