#include "basic/uSingleBasicRibbonForm.h"

#include <QCloseEvent>
#include <QHeaderView>
#include <QJsonObject>
#include <QLayout>

#include "core/GridHelpers.h"
#include "core/Messages.h"
#include "core/ModuleList.h"
#include "core/RightsGate.h"
#include "core/uMyCxGrid.h"
#include "db/DataServices.h"
#include "db/Trace.h"
#include "print/uDataSetCollection.h"
#include "print/uPrinterForm.h"
#include "sys/EAbort.h"
#include "sys/SystemServices.h"
#include "sys/uPlugItem.h"
#include "ui/DockPanel.h"
#include "ui/export/XlsxExport.h"
#include "ui/grid/Grid.h"

namespace Qd::Core::Base {

namespace {

QString F(const char* name) {
    return QString::fromLatin1(name);
}

// The descriptor keys this form needs, and the kind each must have.
struct RequiredKey {
    const char* name;
    bool array;
};
constexpr RequiredKey kRequiredKeys[] = {
    {"mainsql", false},     {"tablename", false}, {"key", false},
    {"ignoreFields", true}, {"validation", true},
};

}  // namespace

TSingleBasicRibbonForm::TSingleBasicRibbonForm(QWidget* owner, Sys::TPlugItem* data)
    : TBasicRibbonForm(owner, data) {
    setObjectName(QStringLiteral("TSingleBasicRibbonForm"));
    dxDockPanel1 = new Ui::DockPanel(QStringLiteral("dxDockPanel1"), dxDockSite1);
    dxDockPanel1->addCaptionButton(actAdd);
    dxDockSite1->layout()->addWidget(dxDockPanel1);
    cxgMain = new Ui::Grid(QStringLiteral("cxgMain"));
    dxDockPanel1->setContent(cxgMain);
    cxgMainDBTableView1 = cxgMain->addLevel(QStringLiteral("cxgMainDBTableView1"));
    cxgMainDBTableView1->setRecordSet(&cdsMain);
    cxgMainDBTableView1->setMultiSelect(true);
    cxgMainDBTableView1->setAutoWidth(true);
    cxgMainDBTableView1->setEnterMovesToNextCell(true);
    cxgMainDBTableView1->setRowEditable([this](int row) {
        const bool inserting =
            cdsMain.state() == Db::DataSetState::Insert && row == cdsMain.recNo();
        return inserting ? m_canInsert : m_canEdit;
    });

    cdsMain.beforePost = [this](Db::RecordSet&) { cdsMainBeforePost(); };
    cdsMain.afterPost = [this](Db::RecordSet&) { cdsMainAfterPost(); };
    cdsMain.afterDelete = [this](Db::RecordSet&) { cdsMainAfterDelete(); };
    cdsMain.beforeEdit = [this](Db::RecordSet&) {
        if (!m_canEdit && !m_reEditing)
            Sys::Abort();
    };
    cdsMain.onDataChange = [this](Db::RecordSet&, int field) { dsMainDataChange(field); };
}

TSingleBasicRibbonForm::~TSingleBasicRibbonForm() {
    cxgMainDBTableView1->setRecordSet(nullptr);
}

QString TSingleBasicRibbonForm::tableName() const {
    return pluginfo.value(F("tablename")).toString();
}

QStringList TSingleBasicRibbonForm::descriptorProblems() const {
    QStringList problems;
    for (const RequiredKey& k : kRequiredKeys) {
        const QJsonValue v = pluginfo.value(QString::fromLatin1(k.name));
        if (v.isUndefined() || v.isNull() || (!k.array && v.toString().trimmed().isEmpty()))
            problems << QStringLiteral("缺少“%1”").arg(QString::fromLatin1(k.name));
        else if (k.array && !v.isArray())
            problems << QStringLiteral("“%1”应为 JSON 数组").arg(QString::fromLatin1(k.name));
    }
    return problems;
}

void TSingleBasicRibbonForm::_init() {
    TBasicRibbonForm::_init();
    const QString title = PlugItem ? PlugItem->title : QString();
    dxDockPanel1->setCaption(QStringLiteral("[%1] - 列表").arg(title));
    if (const QStringList problems = descriptorProblems(); !problems.isEmpty()) {
        showError(QStringLiteral("模块“%1”（%2）的描述不完整：%3。列表无法打开。")
                      .arg(title, moduleCode(), problems.join(QStringLiteral("；"))));
        return;
    }
    m_ready = true;
    m_canEdit = rightProbe(moduleCode(), F("_02"));
    m_canInsert = rightProbe(moduleCode(), F("_01"));
    _initColumns(moduleCode(), cxgMain, cdsMain);
    getMainData();
}

void TSingleBasicRibbonForm::getMainData() {
    if (m_ready && loadModuleRows(cdsMain, pluginfo))
        cxgMainDBTableView1->applyColumns();
}

// ---- posting and saving --------------------------------------------------------------------

void TSingleBasicRibbonForm::validate() {
    const Sys::TAuth* auth = Sys::sysAuth();
    for (const QJsonValue& v : pluginfo.value(F("validation")).toArray()) {
        const QJsonObject rule = v.toObject();
        const QString kind = rule.value(F("datatype")).toString();
        if (kind != F("required") && kind != F("unique"))
            continue;
        const QString message = rule.value(F("errormsg")).toString();
        // A rule on a field the list does not have names it, rather than passing unseen.
        const QString ele = rule.value(F("ele")).toString();
        if (!cdsMain.hasField(ele)) {
            showError(
                QStringLiteral("模块“%1”的验证规则字段“%2”不在列表中。").arg(moduleCode(), ele));
            Sys::Abort();
        }
        const QString text = cdsMain.field(ele).asString();
        bool failed = false;
        if (kind == F("required")) {
            failed = text.isEmpty();
        } else {
            const qint64 id = cdsMain.hasField(F("id")) ? cdsMain.field(F("id")).asLargeInt() : 0;
            const QString sql = Format(rule.value(F("checksql")).toString(),
                                       {auth ? auth->orgId : QString(), text, id});
            Db::DataPacket found = Db::dataServices().queryData(sql);
            // A statement that cannot run has been reported; the post is refused, not passed.
            if (!found.active())
                Sys::Abort();
            cdsCheck.setData(std::move(found));
            failed = !cdsCheck.isEmpty();
        }
        if (failed) {
            showHint(message);
            Sys::Abort();
        }
    }
}

void TSingleBasicRibbonForm::cdsMainBeforePost() {
    if (!m_ready)
        Sys::Abort();
    const Sys::TAuth* auth = Sys::sysAuth();
    cdsMain.field(F("orgid")).setValue(auth ? auth->orgId : QString());
    validate();
}

bool TSingleBasicRibbonForm::saveChanges(const QStringList& ignored) {
    QStringList statements;
    Db::GetUpDataSQLList(tableName(), pluginfo.value(F("key")).toString(), ignored, cdsMain,
                         statements, 0);
    const QString sql = statements.join(F("\r\n"));
    if (sql.isEmpty())
        return true;
    Db::LogMsg(sql);
    if (!Db::dataServices().execSQL(sql))
        return false;
    cdsMain.mergeChangeLog();
    getMainData();
    return true;
}

void TSingleBasicRibbonForm::cdsMainAfterPost() {
    if (cdsMain.changeCount() == 0)
        return;
    // The soft-delete flag is always written, whatever the descriptor leaves out.
    QStringList ignored;
    for (const QJsonValue& v : pluginfo.value(F("ignoreFields")).toArray()) {
        const QString name = v.toString();
        ignored << (name.compare(F("isdel"), Qt::CaseInsensitive) == 0 ? QString() : name);
    }
    if (saveChanges(ignored))
        return;
    // Not saved: the row goes back to editing with what was typed, its change log kept.
    m_reEditing = true;
    cdsMain.edit();
    m_reEditing = false;
}

void TSingleBasicRibbonForm::cdsMainAfterDelete() {
    saveChanges({});
}

void TSingleBasicRibbonForm::dsMainDataChange(int field) {
    if (field < 0 || cdsMain.fieldDef(field).name.compare(F("name"), Qt::CaseInsensitive) != 0)
        return;
    const QString name = cdsMain.field(field).asString();
    if (!name.isEmpty() && cdsMain.hasField(F("helpcode")))
        cdsMain.field(F("helpcode")).setValue(Sys::HZtoPY(name));
}

// ---- actions -----------------------------------------------------------------------------------

void TSingleBasicRibbonForm::actAddExecute() {
    TBasicRibbonForm::actAddExecute();
    if (!m_ready)
        return;
    cdsMain.append();
    // Typing starts in the first shown cell of the new row.
    const QHeaderView* header = cxgMainDBTableView1->horizontalHeader();
    for (int visual = 0; visual < header->count(); ++visual) {
        const int column = header->logicalIndex(visual);
        if (cxgMainDBTableView1->isColumnHidden(column))
            continue;
        cxgMainDBTableView1->setCurrentIndex(
            cxgMainDBTableView1->model()->index(cdsMain.recNo(), column));
        cxgMainDBTableView1->setFocus();
        break;
    }
}

void TSingleBasicRibbonForm::actEditExecute() {
    TBasicRibbonForm::actEditExecute();
    if (cdsMain.active() && !cdsMain.isEmpty())
        cdsMain.edit();
}

void TSingleBasicRibbonForm::actDelExecute() {
    TBasicRibbonForm::actDelExecute();
    if (!m_ready || !cdsMain.active() || cdsMain.isEmpty())
        return;
    if (!confirmOk(QStringLiteral("是否确认删除选中的数据？")))
        return;
    QStringList ids;
    for (int pos : cxgMainDBTableView1->selectedRowPositions()) {
        cdsMain.moveTo(pos);
        ids << QString::number(cdsMain.field(F("id")).asLargeInt());
    }
    const QString sql = QStringLiteral("update ") + tableName() +
                        QStringLiteral(" set isDel = 1 where id in(") + ids.join(u',') +
                        QStringLiteral(")");
    Db::LogMsg(sql);
    if (Db::dataServices().execSQL(sql))
        getMainData();
}

void TSingleBasicRibbonForm::actRefExecute() {
    getMainData();
}

void TSingleBasicRibbonForm::actCopyExecute() {
    TBasicRibbonForm::actCopyExecute();
    if (!m_ready || !cdsMain.active() || cdsMain.isEmpty())
        return;
    copyRecord(cdsMain);
    const int code = cdsMain.fieldIndex(F("code"));
    if (code < 0 || !cxgMainDBTableView1->columnAt(code))
        return;
    const QModelIndex cell = cxgMainDBTableView1->model()->index(cdsMain.recNo(), code);
    cxgMainDBTableView1->scrollTo(cell);
    cxgMainDBTableView1->setCurrentIndex(cell);
    cxgMainDBTableView1->setFocus();
    alert(QStringLiteral("提示"), QStringLiteral("复制成功，请修改编号后保存。"));
}

void TSingleBasicRibbonForm::actColSetExecute() {
    TMyCxGrid::storeGridColumnStyle(cxgMain, moduleCode());
}

void TSingleBasicRibbonForm::actExportExecute() {
    TBasicRibbonForm::actExportExecute();
    const QString file = askExportFile();
    if (file.isEmpty())
        return;
    QString error;
    if (!Ui::exportToXlsx(*cxgMainDBTableView1, file, &error)) {
        showError(QStringLiteral("导出失败：%1").arg(error));
        return;
    }
    showHint(QStringLiteral("导出成功"));
}

void TSingleBasicRibbonForm::actPrintExecute() {
    TBasicRibbonForm::actPrintExecute();
    Fr4::TDataSetCollection datasets;
    datasets.Add() =
        Fr4::TDataSetCollectionItem(&datasets, QStringLiteral("列表"), moduleCode(), &cdsMain);
    Fr4::OpenSetPrintReportForm(this, moduleCode(), &datasets);
}

void TSingleBasicRibbonForm::closeEvent(QCloseEvent* e) {
    TMyCxGrid::storeGridColumnStyle(cxgMain, moduleCode());
    TBasicRibbonForm::closeEvent(e);
}

}  // namespace Qd::Core::Base
