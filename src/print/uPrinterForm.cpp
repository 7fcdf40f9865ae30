#include "print/uPrinterForm.h"

#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <QToolButton>
#include <QVBoxLayout>
#include <exception>

#include "base/Dispatch.h"
#include "base/EAbort.h"
#include "base/OwnerOnly.h"
#include "base/ProgramHome.h"
#include "base/Prompter.h"
#include "base/SafeName.h"
#include "core/Messages.h"
#include "core/RightsGate.h"
#include "db/DataServices.h"
#include "db/Trace.h"
#include "print/designer/Designer.h"
#include "print/engine/TemplateFile.h"
#include "print/uRptDocsPropForm.h"
#include "sys/SystemServices.h"
#include "sys/uAuth.h"
#include "ui/grid/Grid.h"

namespace Qd::Core::Fr4 {

namespace {

QString F(const char* name) {
    return QString::fromLatin1(name);
}

// Shows the stored sharing value of a template as its text.
class OwnerDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QString displayText(const QVariant& value, const QLocale& locale) const override {
        static const QStringList texts = {QStringLiteral("共享（所有门店）"),
                                          QStringLiteral("私有（当前门店）"),
                                          QStringLiteral("分享（指定门店）")};
        bool ok = false;
        const int owner = value.toInt(&ok);
        if (ok && owner >= 0 && owner < texts.size())
            return texts.at(owner);
        return QStyledItemDelegate::displayText(value, locale);
    }
    // Shown as words, so aligned as text.
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
        QStyledItemDelegate::initStyleOption(option, index);
        option->displayAlignment = Qt::AlignLeft | Qt::AlignVCenter;
    }
};

}  // namespace

TPrinterForm::TPrinterForm(QWidget* AOwner, const QString& AModuleCode,
                           TDataSetCollection* DataSets, const TUserVariables* _userVar)
    : Base::TBaseForm(AOwner),
      FModuleCode(AModuleCode),
      Fdatasets(DataSets),
      FuserVariables(_userVar),
      designer(defaultDesigner),
      printerFactory(defaultPrinterFactory) {
    setObjectName(QStringLiteral("TPrinterForm"));  // its section in the placement ini
    setWindowTitle(QStringLiteral("打印模板选择"));
    // The design size: the template list with room for about a dozen templates.
    resize(640, 420);

    struct ActionDef {
        QAction** target;
        const char* caption;
        void (TPrinterForm::*handler)();
    };
    const ActionDef defs[] = {
        {&actPreview, "&1、预览后再打印", &TPrinterForm::actPreviewExecute},
        {&actPrint, "&2、直接打印", &TPrinterForm::actPrintExecute},
        {&actExit, "&3、什么都不做", &TPrinterForm::actExitExecute},
        {&actDesign, "设计", &TPrinterForm::actDesignExecute},
        {&actAdd, "添加", &TPrinterForm::actAddExecute},
        {&actEdit, "修改", &TPrinterForm::actEditExecute},
        {&actDel, "删除", &TPrinterForm::actDelExecute},
    };
    for (const ActionDef& d : defs) {
        auto* a = new QAction(QString::fromUtf8(d.caption), this);
        connect(a, &QAction::triggered, this, [this, h = d.handler] { run(h); });
        *d.target = a;
        actList << a;
    }

    // Report functions and the engine datasets, one per collection item with a record set.
    static const TDataSetCollection noDatasets;
    m_printData = std::make_unique<PrintData>(Fdatasets ? *Fdatasets : noDatasets);
    m_printData->_AddUserFunc();

    cdsMain.afterInsert = [this](Db::RecordSet&) { cdsMainAfterInsert(); };
    cdsMain.beforePost = [this](Db::RecordSet&) { cdsMainBeforePost(); };
    cdsMain.afterPost = [this](Db::RecordSet&) { cdsMainAfterPost(); };

    qx = Base::rightProbe(FModuleCode, QStringLiteral("_061"));

    auto* caption = new QLabel(QStringLiteral("请在列表中选择打印样式(&C)：   "), this);
    cxgMain = new Ui::GridView(QStringLiteral("cxgMain"), this);
    caption->setBuddy(cxgMain);
    cxgMain->setEmptyText(QStringLiteral("<未找到相关记录>"));

    loadRptDocs();
    struct ColumnDef {
        const char* field;
        const char* caption;
        int width;
    };
    for (const ColumnDef& c : {ColumnDef{"code", "编号", 80}, ColumnDef{"docname", "模板名称", 280},
                               ColumnDef{"owner", "类型", 140}, ColumnDef{"isort", "排序", 60}}) {
        Ui::GridColumn* col =
            cxgMain->addColumn(QStringLiteral("cxgMainDBTableView1") + F(c.field));
        col->fieldName = F(c.field);
        col->caption = QString::fromUtf8(c.caption);
        col->width = c.width;
        // The type is chosen in the properties dialog, where sharing stores go with it.
        col->editing = qx && col->fieldName != F("owner");
    }
    cxgMain->applyColumns();
    // Bound after its columns are in: the binding's reset places them once.
    cxgMain->setRecordSet(&cdsMain);
    const int ownerColumn = cdsMain.fieldIndex(F("owner"));
    if (ownerColumn >= 0)
        cxgMain->setItemDelegateForColumn(ownerColumn, new OwnerDelegate(cxgMain));
    if (qx) {
        cxgMain->setContextMenuPolicy(Qt::ActionsContextMenu);
        cxgMain->addActions({actAdd, actEdit, actDel});
    } else {
        cxgMain->setContextMenuPolicy(Qt::NoContextMenu);
        cxgMain->setEditTriggers(QAbstractItemView::NoEditTriggers);
    }

    auto* design = new QToolButton(this);
    design->setDefaultAction(actDesign);
    design->setToolTip(QStringLiteral("设计"));

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(design);
    buttons->addStretch();
    QPushButton* preview = Base::buttonFor(actPreview, this);
    preview->setDefault(true);
    buttons->addWidget(preview);
    buttons->addWidget(Base::buttonFor(actPrint, this));
    buttons->addWidget(Base::buttonFor(actExit, this));

    auto* main = new QVBoxLayout(this);
    main->addWidget(caption);
    main->addWidget(cxgMain);
    main->addLayout(buttons);

    updateActions();
    FormCreate();
}

TPrinterForm::~TPrinterForm() {
    // The grid goes before the record set it shows.
    delete cxgMain;
}

QString TPrinterForm::templateFileName(const QString& moduleCode, const QString& code,
                                       const QString& docName) {
    const QString folder = Sys::programPath(QStringLiteral("reports\\"));
    Sys::ownerOnlyFolder(folder);
    // Number and name are typed by users: "/" or "../" in them must not reach another folder.
    return Sys::fileUnder(folder, moduleCode + QLatin1Char('_') + code + QLatin1Char('_') + docName,
                          QStringLiteral(".fr3"));
}

void TPrinterForm::run(void (TPrinterForm::*handler)()) {
    Sys::dispatch([&] { (this->*handler)(); });
    updateActions();
}

void TPrinterForm::updateActions() {
    const bool any = cdsMain.active() && !cdsMain.isEmpty();
    actAdd->setEnabled(qx);
    actEdit->setEnabled(qx && any);
    actDel->setEnabled(qx && any);
}

bool TPrinterForm::loadRptDocs() {
    const int pos = cdsMain.active() ? cdsMain.recNo() : -1;
    auto* auth = Sys::sysAuth();
    const QString store = QString::number(auth->storeId);
    const QString sql =
        QStringLiteral(
            "select *, cast('' as varchar(50)) as ck_ids from qd_sys_printdocs where "
            "orgid = ") +
        Db::quotedSql(auth->orgId) + QStringLiteral(" and modulecode = ") +
        Db::quotedSql(FModuleCode) + QStringLiteral("\r\nand (owner = 0 or (ck_id = ") + store +
        QStringLiteral(
            ") or (owner = 2 and id in(select rpt_id from qd_sys_printdocs_ck where "
            "ck_id = ") +
        store + QStringLiteral(")))\r\norder by isort desc, id");
    cdsMain.setReadOnly(false);
    if (!Db::dataServices().openDataToCDS(cdsMain, sql))
        return false;
    if (pos >= 0 && !cdsMain.isEmpty())
        cdsMain.moveTo(std::min(pos, cdsMain.recordCount() - 1));
    cdsMain.setReadOnly(!qx);
    if (actAdd)
        updateActions();
    return true;
}

void TPrinterForm::cdsMainAfterInsert() {
    auto* auth = Sys::sysAuth();
    cdsMain.field(F("orgid")).setValue(auth->orgId);
    cdsMain.field(F("modulecode")).setValue(FModuleCode);
    cdsMain.field(F("ck_id")).setValue(auth->storeId);
    cdsMain.field(F("isort")).setValue(0);
}

void TPrinterForm::cdsMainBeforePost() {
    // The right of the moment of the save, not of when the window opened.
    Base::rightsGate(FModuleCode, QStringLiteral("_061"));
    if (cdsMain.field(F("code")).asString().isEmpty()) {
        Base::showHint(QStringLiteral("模板编号不能为空"));
        Sys::Abort();
    }
    if (cdsMain.field(F("docname")).asString().isEmpty()) {
        Base::showHint(QStringLiteral("模板名称不能为空"));
        Sys::Abort();
    }
}

void TPrinterForm::cdsMainAfterPost() {
    if (cdsMain.changeCount() == 0)
        return;
    const QString ckIds = cdsMain.field(F("ck_ids")).asString();
    const QString code = cdsMain.field(F("code")).asString();
    const QString docName = cdsMain.field(F("docname")).asString();
    qint64 id = cdsMain.field(F("id")).isNull() ? 0 : cdsMain.field(F("id")).asLargeInt();

    QStringList statements;
    Db::GetUpDataSQLList(F("qd_sys_printdocs"), F("id"), {F("docfile"), F("ck_ids")}, cdsMain,
                         statements, 0);
    if (statements.isEmpty())
        return;
    // The template (a new one found by its module, number and name, bound) and its share rows
    // in one batch: saved whole or not at all.
    Db::Params found;
    if (id == 0)
        found = {{F("rpt_orgid"), Sys::sysAuth()->orgId},
                 {F("rpt_module"), FModuleCode},
                 {F("rpt_code"), code},
                 {F("rpt_docname"), docName}};
    statements << QStringLiteral("declare @rpt bigint = ") +
                      (id != 0 ? QString::number(id)
                               : QStringLiteral("(select max(id) from qd_sys_printdocs where orgid "
                                                "= :rpt_orgid and modulecode = :rpt_module and "
                                                "code = :rpt_code and docname = :rpt_docname)"));
    if (!ckIds.isEmpty()) {
        statements << QStringLiteral("delete from qd_sys_printdocs_ck where rpt_id = @rpt");
        for (const QString& store : ckIds.split(QLatin1Char(','), Qt::SkipEmptyParts))
            statements << QStringLiteral(
                              "insert into qd_sys_printdocs_ck(rpt_id, ck_id) values(@rpt, ") +
                              Db::quotedSql(store.trimmed()) + QLatin1Char(')');
    }
    statements << QStringLiteral("select @rpt");
    Db::RecordSet saved;
    if (!Db::dataServices().openDataToCDS(saved, statements.join(F("\r\n")), found))
        return;
    if (id == 0 && !saved.isEmpty())
        id = saved.field(0).asLargeInt();
    if (!loadRptDocs())
        return;  // saved, but the list could not be read again: its message is enough
    if (id != 0)
        cdsMain.locate(F("id"), id);

    if (Base::askYesNo(QStringLiteral("模板信息修改成功，是否进入模板设计器？"))) {
        try {
            DesignReport();
        } catch (const Sys::EAbort&) {
        }
    }
}

bool TPrinterForm::postDocsFile(qint64 _id, const QByteArray& ms) {
    return Db::dataServices().execSQL(
        QStringLiteral("update qd_sys_printdocs set docfile=:docfile where id=:id"),
        {{F("docfile"), ms}, {F("id"), _id}});
}

QString TPrinterForm::LoaddingPrintDocs() {
    if (!cdsMain.active() || cdsMain.isEmpty()) {
        Base::showHint(QStringLiteral("未定义打印样式。"));
        Sys::Abort();
    }
    const QString file = templateFileName(cdsMain.field(F("modulecode")).asString(),
                                          cdsMain.field(F("code")).asString(),
                                          cdsMain.field(F("docname")).asString());
    // The template stored in the database is the one printed and designed; the file is a copy
    // of it, and one that cannot be written (a read-only program folder) changes nothing. A
    // template with nothing stored yet starts from the file when there is one.
    const QByteArray stored = cdsMain.field(F("docfile")).asBytes();
    try {
        if (!stored.isEmpty()) {
            frxReport1 = Print::TemplateFile::fromBytes(stored, file);
            Sys::writeOwnerOnlyFile(file, stored);
        } else {
            frxReport1 =
                QFileInfo::exists(file) ? Print::TemplateFile::load(file) : Print::ReportTemplate();
        }
    } catch (const Print::TemplateError& e) {
        Base::showError(e.message());
        Sys::Abort();
    }
    m_printData->_AddVariables(frxReport1, FuserVariables ? *FuserVariables : TUserVariables());
    return file;
}

bool TPrinterForm::prepareReport(Print::PreparedReport& out) {
    try {
        out = Print::prepare(frxReport1, m_printData->data());
        if (nextJobIsReprint())
            Print::stampPages(out, frxReport1.reprintStamp);
        return true;
    } catch (const Print::TemplateError& e) {
        Base::showError(e.message());
    } catch (const std::exception& e) {
        Base::showError(QString::fromUtf8(e.what()));
    }
    return false;
}

void TPrinterForm::connectJob(Print::PrintJob& job) {
    if (printerFactory)
        job.setPrinterFactory(printerFactory);
    job.setPrintGuard([this] { return mayPrintNextJob(); });
    connect(&job, &Print::PrintJob::printStarting, this, &TPrinterForm::frxReport1BeginDoc);
    connect(&job, &Print::PrintJob::printed, this, &TPrinterForm::frxReport1AfterPrintReport);
}

void TPrinterForm::frxReport1BeginDoc() {
    Db::LogMsg(QStringLiteral("开始打印"));
}

bool TPrinterForm::nextJobIsReprint() const {
    return reprintPolicy && (reprintPolicy->printedBefore || m_jobsPrinted > 0);
}

bool TPrinterForm::mayPrintNextJob() {
    if (!nextJobIsReprint() || !reprintPolicy->needsRight)
        return true;
    try {
        Base::reprintGate(FModuleCode);
        return true;
    } catch (const Sys::EAbort&) {
        return false;
    }
}

void TPrinterForm::frxReport1AfterPrintReport() {
    ++m_jobsPrinted;
    Db::LogMsg(QStringLiteral("打印完成"));
    if (FonPrintDone)
        FonPrintDone();
}

void TPrinterForm::actPreviewExecute() {
    LoaddingPrintDocs();
    Print::PreparedReport report;
    if (!prepareReport(report))
        return;
    Print::PreviewDialog preview(std::move(report), this);
    connectJob(preview.printJob());
    // The preview shows the pages as the next job prints them: after the first job of a
    // document never printed before (counted by the connection above), stamped.
    connect(&preview.printJob(), &Print::PrintJob::printed, this, [this, &preview] {
        if (reprintPolicy && !reprintPolicy->printedBefore && m_jobsPrinted == 1) {
            Print::PreparedReport stamped = preview.report();
            Print::stampPages(stamped, frxReport1.reprintStamp);
            preview.setReport(std::move(stamped));
        }
    });
    // Another paper, orientation or margins: laid out again for this job only; the stored
    // template keeps its own page setup (the designer is where that changes).
    connect(&preview, &Print::PreviewDialog::pageSetupChanged, this,
            [this, &preview](const QPageLayout& layout) {
                Print::applyPageLayout(layout, frxReport1.page);
                Print::PreparedReport again;
                if (prepareReport(again))
                    preview.setReport(std::move(again));
            });
    Ui::prompter().exec(preview);
    done(QDialog::Accepted);
}

void TPrinterForm::actPrintExecute() {
    LoaddingPrintDocs();
    Print::PreparedReport report;
    if (!prepareReport(report))
        return;
    // The preview's print path without building the preview: the print dialog, the printer.
    Print::PrintJob job(this);
    connectJob(job);
    job.print(report);
    done(QDialog::Accepted);
}

void TPrinterForm::actExitExecute() {
    done(QDialog::Rejected);
}

void TPrinterForm::actDesignExecute() {
    // The gate's refusal (information, "用户授权"); asked now, since the design is uploaded.
    Base::rightsGate(FModuleCode, QStringLiteral("_061"));
    DesignReport();
}

void TPrinterForm::DesignReport() {
    const QString file = LoaddingPrintDocs();
    if (designer)
        designer(frxReport1);
    else
        Print::designTemplate(frxReport1, &m_printData->data(), this);
    // Uploaded whether or not anything changed; the file keeps a copy.
    const qint64 id = cdsMain.field(F("id")).asLargeInt();
    const QByteArray designed = Print::TemplateFile::toBytes(frxReport1);
    Sys::writeOwnerOnlyFile(file, designed);
    if (postDocsFile(id, designed)) {
        // The list must hold the new bytes, or the next use would write the old ones back.
        loadRptDocs();
        cdsMain.locate(F("id"), id);
    }
}

void TPrinterForm::editRow(bool adding) {
    if (!qx)
        Sys::Abort();
    Base::rightsGate(FModuleCode, QStringLiteral("_061"));
    if (!adding && cdsMain.isEmpty())
        return;
    TRptDocsPropForm dlg(this, &cdsMain, FModuleCode,
                         adding ? Sys::TOperateState::add : Sys::TOperateState::edit);
    if (dlg.loaded() && Ui::prompter().exec(dlg) == QDialog::Accepted)
        cdsMain.post();
}

void TPrinterForm::actAddExecute() {
    editRow(true);
}

void TPrinterForm::actEditExecute() {
    editRow(false);
}

void TPrinterForm::actDelExecute() {
    if (!qx || cdsMain.isEmpty())
        return;
    Base::rightsGate(FModuleCode, QStringLiteral("_061"));
    if (!Base::confirmOk(QStringLiteral("是否确定删除该模板？")))
        return;
    const QString id = QString::number(cdsMain.field(F("id")).asLargeInt());
    const QString store = QString::number(Sys::sysAuth()->storeId);
    const int owner = cdsMain.field(F("owner")).asInteger();
    QString sql;
    if (owner == 0 || owner == 1)
        sql =
            QStringLiteral("delete from qd_sys_printdocs where id=") + id +
            QStringLiteral(" and orgid=:orgid\r\ndelete from qd_sys_printdocs_ck where rpt_id = ") +
            id;
    else if (owner == 2 && cdsMain.field(F("ck_id")).asInteger() == Sys::sysAuth()->storeId)
        sql = QStringLiteral("delete from qd_sys_printdocs_ck where rpt_id = ") + id +
              QStringLiteral(" and ck_id = ") + store +
              QStringLiteral("\r\ndelete from qd_sys_printdocs where id=") + id +
              QStringLiteral(" and orgid=:orgid");
    else if (owner == 2)
        sql = QStringLiteral("delete from qd_sys_printdocs_ck where rpt_id = ") + id +
              QStringLiteral(" and ck_id = ") + store;
    else
        return;
    Db::dataServices().execSQL(Sys::sqlTemplate(sql));
    loadRptDocs();
}

int OpenSetPrintReportForm(QWidget* AOwner, const QString& ModuleCode, TDataSetCollection* DataSets,
                           const TUserVariables* _userVar, onPrintDoneEvent onPrintDone,
                           const TReprintPolicy* reprint) {
    TPrinterForm form(AOwner, ModuleCode, DataSets, _userVar);
    form.FonPrintDone = std::move(onPrintDone);
    form.reprintPolicy = reprint;
    return Ui::prompter().exec(form) == QDialog::Accepted ? 1 : 2;
}

}  // namespace Qd::Core::Fr4
