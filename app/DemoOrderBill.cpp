#include "DemoOrderBill.h"

#include <QApplication>
#include <QDate>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QScopeGuard>
#include <QToolButton>
#include <QVBoxLayout>
#include <cmath>
#include <optional>

#include "bill/uCustBillRuleObj.h"
#include "core/ColumnBuilder.h"
#include "core/FormHost.h"
#include "db/DataServices.h"
#include "report/ubasicsamplefilterform.h"
#include "report/uquickfilterform.h"
#include "sys/uAuth.h"
#include "ui/editors/Editors.h"
#include "ui/grid/Grid.h"

namespace Qd::App {

using namespace Core;

namespace {

__extension__ typedef __int128 Wide;  // a product of three 4-place amounts

QString F(const char* text) {
    return QString::fromUtf8(text);
}

constexpr char kNoCustomer[] = "请选择客户。";
constexpr char kNoLines[] = "请至少录入一行明细。";

// A number as a count of 0.0001, rounded half away from zero: a stored amount is a whole count
// that the double misses by far less than half a unit (19.99 is 199900, never 199899.99...).
std::optional<qint64> currencyUnits(double v) {
    const double scaled = v * 10000.0;
    if (!std::isfinite(scaled) || std::abs(scaled) > 9e15)
        return std::nullopt;
    return std::llround(scaled);
}

// The same of a stored value at a row of a record set; none for NULL.
std::optional<qint64> currencyUnitsAt(const Db::RecordSet& rs, std::uint32_t row, int field) {
    if (rs.isNullAt(row, field))
        return std::nullopt;
    return currencyUnits(rs.floatAt(row, field));
}

// A value as a count of 0.0001 as above; a text by its number (none when it is not one).
std::optional<qint64> currencyUnits(const QVariant& v) {
    if (!v.isValid() || v.isNull())
        return std::nullopt;
    bool ok = false;
    const double number =
        v.typeId() == QMetaType::QString ? v.toString().trimmed().toDouble(&ok) : v.toDouble(&ok);
    return ok ? currencyUnits(number) : std::nullopt;
}

// The statement text of an insert into `table` with `billno` given by the variable @billno.
// The column list holds names only, so the first ") values(" ends it; no literal is touched.
QString withBillnoVariable(const QString& insert) {
    const qsizetype open = insert.indexOf(QLatin1Char('('));
    if (open < 0)  // "insert into t default values"
        return insert.left(insert.indexOf(QLatin1String(" default values"))) +
               QStringLiteral("(billno) values(@billno)");
    QString s = insert;
    s.insert(open + 1, QStringLiteral("billno, "));
    const QString values = QStringLiteral(") values(");
    const qsizetype at = s.indexOf(values, open);
    s.insert(at + values.size(), QStringLiteral("@billno, "));
    return s;
}

QString catchRaise() {
    return F(
        "end try\r\nbegin catch\r\nif (@@trancount>0) rollback tran\r\n"
        "declare @err nvarchar(2048)\r\nset @err = error_message()\r\n"
        "raiserror('%s', 16, 1, @err)\r\nend catch\r\n"
        "if (@@trancount>0) commit tran");
}

// A text editor read-only or not; read-only it is grey like the disabled editors beside it,
// so that a browsed bill does not look open for typing.
void setTextReadOnly(QLineEdit* edit, bool readOnly) {
    const QBrush base =
        readOnly ? edit->parentWidget()->palette().window() : QApplication::palette(edit).base();
    if (edit->isReadOnly() == readOnly && edit->palette().base() == base)
        return;
    edit->setReadOnly(readOnly);
    QPalette palette = edit->palette();
    palette.setBrush(QPalette::Base, base);
    edit->setPalette(palette);
}

Db::Params sessionParams() {
    const Sys::TAuth* auth = Sys::sysAuth();
    return {{F("orgid"), auth ? auth->orgId : QString()},
            {F("kdr_id"), auth ? auth->userId : 0},
            {F("ck_id"), auth ? auth->storeId : 0}};
}

}  // namespace

qint64 lineAmountUnits(const QVariant& quantity, const QVariant& price, const QVariant& discount) {
    const Wide sl = currencyUnits(quantity).value_or(0);
    const Wide dj = currencyUnits(price).value_or(0);
    const Wide zk = currencyUnits(discount).value_or(10000);
    // 12 places; to 2 places is a division by 10^10, rounded half away from zero.
    const Wide product = sl * dj * zk;
    constexpr Wide step = 10000000000LL;
    const Wide magnitude = product < 0 ? -product : product;
    Wide cents = (magnitude + step / 2) / step;
    if (product < 0)
        cents = -cents;
    return qint64(cents * 100);
}

QString billNumberStem(const QString& prefix, int rule, const QDate& billDate,
                       const QString& storeTag) {
    return prefix + (rule == 0 ? billDate.toString(QStringLiteral("yyMMdd")) : QString()) +
           storeTag;
}

// ---- the window ---------------------------------------------------------------------------

void TSampleBillEditRibbonForm::_init() {
    TBaseBillEditRibbonForm::_init();
    m_masterSql = dataPart("master").value(F("sql")).toString();
    m_detailSql = dataPart("detail").value(F("sql")).toString();
    m_detailTable = dataPart("detail").value(F("tablename")).toString();

    auto* page = new QWidget(this);
    auto* layout = new QVBoxLayout(page);
    buildHeader(page);
    cxgDetail = new Ui::Grid(F("cxgDetail"), page);
    gridDetail = cxgDetail->addLevel(F("cxgDetailView"));
    gridDetail->setEnterMovesToNextCell(true);
    gridDetail->setNewItemRowText(F("点击这里添加明细"));
    layout->addWidget(cxgDetail, 1);
    setCentralWidget(page);

    cdsDetail.onDataChange = [this](Db::RecordSet&, int field) { detailChanged(field); };
    cdsDetail.afterDelete = [this](Db::RecordSet&) { recomputeTotal(); };
    cdsDetail.afterCancel = [this](Db::RecordSet&) { recomputeTotal(); };

    OpenBillData(openParams().trimmed());
    _initColumns(moduleCode(), cxgDetail);
    ComponentReadOnly(true);
}

QJsonObject TSampleBillEditRibbonForm::dataPart(const char* name) const {
    return pluginfo.value(F("data")).toObject().value(F(name)).toObject();
}

void TSampleBillEditRibbonForm::buildHeader(QWidget* page) {
    auto* grid = new QGridLayout;
    static_cast<QVBoxLayout*>(page->layout())->addLayout(grid);
    int cell = 0;
    auto place = [&](const char* caption, QWidget* editor, int span = 1) {
        const int row = cell / 4;
        const int column = (cell % 4) * 2;
        auto* label = new QLabel(F(caption), page);
        label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        grid->addWidget(label, row, column);
        grid->addWidget(editor, row, column + 1, 1, span * 2 - 1);
        cell += span;
    };
    auto bound = [&](const char* field, Ui::EditorKind kind) {
        Ui::EditorProps props;
        props.kind = kind;
        if (kind == Ui::EditorKind::Money) {
            props.decimals = 2;
            props.displayFormat = F("#,##0.00");
        }
        QWidget* editor = Ui::createEditor(props, page);
        editor->setObjectName(F(field));
        new Ui::FieldBinding(&cdsMaster, F(field), editor);
        return editor;
    };
    // The number is shown, never edited; a new bill's temporary number is not.
    edtBillno = new QLineEdit(page);
    edtBillno->setObjectName(F("billno"));
    setTextReadOnly(edtBillno, true);
    edtBillno->setPlaceholderText(F("保存后生成"));
    place("单号：", edtBillno);
    edtBilldate = bound("billdate", Ui::EditorKind::Date);
    place("日期：", edtBilldate);
    lblState = new QLabel(page);
    lblState->setObjectName(F("lblState"));
    QFont bold = lblState->font();
    bold.setBold(true);
    lblState->setFont(bold);
    place("状态：", lblState);
    edtTotal = static_cast<Ui::CurrencyEdit*>(bound("je", Ui::EditorKind::Money));
    setTextReadOnly(edtTotal, true);
    place("合计：", edtTotal);

    // The customer: its lookup, and a find button opening the quick filter under it.
    auto* customer = new QWidget(page);
    auto* customerRow = new QHBoxLayout(customer);
    customerRow->setContentsMargins(0, 0, 0, 0);
    customerRow->setSpacing(2);
    lcbCustomer = headerLookup("kh_id", customer);
    btnFindCustomer = new QToolButton(customer);
    btnFindCustomer->setObjectName(F("btnFindCustomer"));
    btnFindCustomer->setText(F("查找"));
    btnFindCustomer->setToolTip(F("按编号、拼音或名称查找客户"));
    connect(btnFindCustomer, &QToolButton::clicked, this, [this] { findCustomer(); });
    customerRow->addWidget(lcbCustomer, 1);
    customerRow->addWidget(btnFindCustomer);
    place("客户：", customer);
    lcbSalesman = headerLookup("ywy_id", page);
    place("业务员：", lcbSalesman);
    // The project name: typed, or picked from the names the organisation's orders used.
    edtProject = static_cast<QLineEdit*>(bound("gcxmmc", Ui::EditorKind::Button));
    connect(static_cast<Ui::ButtonEdit*>(edtProject), &Ui::ButtonEdit::buttonClicked, this,
            [this] { pickProjectName(); });
    place("工程项目名称：", edtProject, 2);
    edtSummary = static_cast<QLineEdit*>(bound("zy", Ui::EditorKind::Text));
    place("摘要：", edtSummary, 2);
    edtRemark = static_cast<QLineEdit*>(bound("beizhu", Ui::EditorKind::Text));
    place("备注：", edtRemark, 2);
    for (int column = 1; column < 8; column += 2)
        grid->setColumnStretch(column, 1);
}

bool TSampleBillEditRibbonForm::headerEditable() const {
    return FDataOperateState != Sys::TOperateState::browse && billShown();
}

void TSampleBillEditRibbonForm::pickProjectName() {
    if (!headerEditable())
        return;
    const QString name = Report::opengcxmmcfilterform(this);
    if (!name.isEmpty())
        cdsMaster.field(F("gcxmmc")).setValue(name);
}

void TSampleBillEditRibbonForm::findCustomer() {
    Sys::TPlugItem* customers = Sys::plugsPool().plugbyName(F("客户资料"), false);
    if (!headerEditable() || !customers)
        return;
    const QPoint under = lcbCustomer->mapToGlobal(QPoint(0, lcbCustomer->height()));
    Report::showQuickFilter(this, customers, under, [this](QObject*, const QString& json) {
        // The chosen row, as a one-row array.
        const QJsonValue id =
            QJsonDocument::fromJson(json.toUtf8()).array().at(0).toObject().value(F("id"));
        if (!headerEditable() || id.isUndefined())
            return;
        cdsMaster.field(F("kh_id")).setValue(id.toVariant());
    });
}

// A header lookup of the descriptor's "properties": bound to its master column, which its
// tool tip names for the lookup's handler.
Ui::LookupComboBox* TSampleBillEditRibbonForm::headerLookup(const char* field, QWidget* parent) {
    auto* combo = new Ui::LookupComboBox(Ui::EditorProps{}, parent);
    combo->setObjectName(F(field));
    combo->setToolTip(F(field));
    new Ui::FieldBinding(&cdsMaster, F(field), combo);
    BindLookupComboboxProperties(combo, F(field));
    return combo;
}

// ---- loading ------------------------------------------------------------------------------

bool TSampleBillEditRibbonForm::LoadBillData(const QString& no, Db::RecordSet& master,
                                             Db::RecordSet& detail) {
    QString number = no;
    if (number.isEmpty()) {
        // The user's newest bill in the store: what a save has just written.
        Db::DataPacket newest = Db::dataServices().openData(
            F("select top 1 billno from ") + masterTableName +
                F(" where orgid = :orgid and kdr_id = :kdr_id and ck_id = :ck_id order by id desc"),
            sessionParams());
        if (newest.active() && !newest.isEmpty())
            number = newest.field(0).asString();
    }
    // The number is bound, so that both statements read the same from bill to bill and their
    // translations and prepared statements are made once.
    const Db::Params params = {sessionParams().front(), {F("billno"), number}};
    return Db::dataServices().openDataToCDS(master, m_masterSql, params) &&
           Db::dataServices().openDataToCDS(detail, m_detailSql, params);
}

void TSampleBillEditRibbonForm::OpenBillData(const QString& no) {
    if (!descriptorProblem().isEmpty())
        return;
    m_computing = true;
    const bool loaded = LoadBillData(no, cdsMaster, cdsDetail);
    m_computing = false;
    if (loaded && billShown()) {
        fillMasterData();
    } else {
        billno.clear();
        prevBillno.clear();
        nextBillno.clear();
        version = 0;
        if (cdsDetail.active())
            cdsDetail.emptyDataSet();
        if (lblState)
            lblState->clear();
        if (edtBillno)
            edtBillno->clear();
    }
    ComponentReadOnly(true);
    updateActions();
}

void TSampleBillEditRibbonForm::fillMasterData() {
    TBaseBillEditRibbonForm::fillMasterData();
    const bool audited = cdsMaster.field(F("status")).asInteger() >= auditstate;
    showState(audited);
    actAudit->setText(audited ? F("草稿") : F("审核"));
    edtBillno->setText(billno);
}

void TSampleBillEditRibbonForm::BeforeAppend() {
    TBaseBillEditRibbonForm::BeforeAppend();
    edtBillno->clear();
    showState(false);
}

void TSampleBillEditRibbonForm::showState(bool audited) {
    const QString text = audited ? F("已审核") : F("未审核");
    if (lblState->text() == text)
        return;  // a style sheet set again costs a repolish of the label
    lblState->setText(text);
    lblState->setStyleSheet(audited ? F("color: #1a7f37;") : F("color: #b35900;"));
}

void TSampleBillEditRibbonForm::ComponentReadOnly(bool readOnly) {
    for (QLineEdit* edit : {edtProject, edtSummary, edtRemark})
        if (edit)
            setTextReadOnly(edit, readOnly);
    for (QWidget* editor :
         {edtBilldate, static_cast<QWidget*>(lcbCustomer), static_cast<QWidget*>(lcbSalesman),
          static_cast<QWidget*>(btnFindCustomer)})
        if (editor)
            editor->setEnabled(!readOnly);
    if (gridDetail) {
        gridDetail->setEditTriggers(
            readOnly ? QAbstractItemView::NoEditTriggers
                     : QAbstractItemView::DoubleClicked | QAbstractItemView::SelectedClicked |
                           QAbstractItemView::EditKeyPressed | QAbstractItemView::AnyKeyPressed);
        gridDetail->setNewItemRowVisible(!readOnly);
    }
}

// ---- lines and total ------------------------------------------------------------------------

void TSampleBillEditRibbonForm::detailChanged(int field) {
    if (m_computing || field < 0)
        return;
    const QString name = cdsDetail.fieldDef(field).name.toLower();
    if (name != QLatin1String("sl") && name != QLatin1String("dj") && name != QLatin1String("zk")) {
        if (name == QLatin1String("je"))
            recomputeTotal();
        return;
    }
    const qint64 units =
        lineAmountUnits(cdsDetail.field(F("sl")).value(), cdsDetail.field(F("dj")).value(),
                        cdsDetail.field(F("zk")).value());
    cdsDetail.field(F("je")).setValue(double(units) / 10000.0);  // exact: whole cents
}

void TSampleBillEditRibbonForm::recomputeTotal() {
    if (m_computing || !cdsDetail.active() || !billShown() ||
        FDataOperateState == Sys::TOperateState::browse)
        return;
    const int je = cdsDetail.fieldIndex(F("je"));
    qint64 total = 0;
    for (int pos = 0; pos < cdsDetail.recordCount(); ++pos)
        total += currencyUnitsAt(cdsDetail, cdsDetail.rowAt(pos), je).value_or(0);
    const double value = double(total) / 10000.0;
    Db::Field field = cdsMaster.field(F("je"));
    if (!field.isNull() && currencyUnits(field.value()) == total)
        return;
    if (cdsMaster.state() == Db::DataSetState::Browse)
        cdsMaster.edit();
    field.setValue(value);
}

// ---- merging a conflicting save -----------------------------------------------------------

Core::Bill::MergeOptions TSampleBillEditRibbonForm::mergeOptions() const {
    Core::Bill::MergeOptions options = TBaseBillEditRibbonForm::mergeOptions();
    options.derived = {F("je")};  // a line's amount and the order's total follow the lines
    options.lineCaption = F("gcxmmc");
    return options;
}

void TSampleBillEditRibbonForm::afterMerge() {
    cdsDetail.disableControls();
    m_computing = true;  // the total once, at the end
    {
        const auto enable = qScopeGuard([this] {
            m_computing = false;
            cdsDetail.enableControls();
        });
        computeLineAmounts();
    }
    recomputeTotal();
    cdsMaster.checkBrowseMode();
}

void TSampleBillEditRibbonForm::computeLineAmounts() {
    const int sl = cdsDetail.fieldIndex(F("sl"));
    const int dj = cdsDetail.fieldIndex(F("dj"));
    const int zk = cdsDetail.fieldIndex(F("zk"));
    const int je = cdsDetail.fieldIndex(F("je"));
    for (int pos = 0; pos < cdsDetail.recordCount(); ++pos) {
        const std::uint32_t row = cdsDetail.rowAt(pos);
        const qint64 units = lineAmountUnits(cdsDetail.valueAt(row, sl), cdsDetail.valueAt(row, dj),
                                             cdsDetail.valueAt(row, zk));
        if (currencyUnitsAt(cdsDetail, row, je) == units)
            continue;
        cdsDetail.moveTo(pos);
        cdsDetail.edit();
        cdsDetail.field(je).setValue(double(units) / 10000.0);
        cdsDetail.post();
    }
}

// ---- checks and writes --------------------------------------------------------------------

bool TSampleBillEditRibbonForm::CheckBillError(QString& message) {
    if (TBaseBillEditRibbonForm::CheckBillError(message))
        return true;
    if (cdsMaster.field(F("kh_id")).asInteger() <= 0) {
        message = F(kNoCustomer);
        return true;
    }
    if (cdsDetail.isEmpty()) {
        message = F(kNoLines);
        return true;
    }
    return false;
}

bool TSampleBillEditRibbonForm::runBatch(const QString& declarations,
                                         const QStringList& statements) {
    QString script = declarations + F("begin tran\r\nbegin try\r\n");
    for (const QString& s : statements)
        script += s + F("\r\n");
    script += catchRaise();
    return Db::dataServices().execSQL(script);  // traced by the data services as sent
}

QStringList TSampleBillEditRibbonForm::detailStatements(const QStringList& ignored) const {
    QStringList out;
    Db::GetUpDataSQLList(m_detailTable, F("id"), ignored, cdsDetail, out, 0);
    return out;
}

int TSampleBillEditRibbonForm::_Insert() {
    if (!descriptorProblem().isEmpty() || !CustBillRule)
        return -1;
    if (cdsDetail.active() && cdsDetail.state() != Db::DataSetState::Browse)
        cdsDetail.post();
    const int ckId = cdsMaster.field(F("ck_id")).asInteger();
    const QString orgId = cdsMaster.field(F("orgid")).asString();
    const QString prefix =
        billNumberStem(CustBillRule->Ftag, CustBillRule->Fistyle,
                       cdsMaster.field(F("billdate")).asDateTime().date(), QString());
    const int width = qMax(CustBillRule->Fseekcount, 1);
    const QString where = F("orgid = %1 and ck_id = %2 and billcode = %3 and seqkey = @stem")
                              .arg(orgId.toInt())
                              .arg(ckId)
                              .arg(Db::quotedSql(moduleCode()));

    QStringList statements;
    // The stem takes the store's tag; the serial is the next of this store, bill and stem,
    // passing over a number some other way already gave.
    statements << F("select @stem = %1 + isnull(billtag, '') from qd_b_ckbmk where id = %2")
                      .arg(Db::quotedSql(prefix))
                      .arg(ckId);
    statements << F("if not exists(select 1 from qd_sys_billnoseq where %1) insert into "
                    "qd_sys_billnoseq(orgid, ck_id, billcode, seqkey, lastno) values(%2, %3, "
                    "%4, @stem, 0)")
                      .arg(where)
                      .arg(orgId.toInt())
                      .arg(ckId)
                      .arg(Db::quotedSql(moduleCode()));
    statements << F("select @serial = lastno from qd_sys_billnoseq where %1").arg(where);
    statements << F("set @billno = ''");
    statements << F("while @billno = '' or exists(select 1 from %1 where orgid = %2 and billno "
                    "= @billno)\r\nbegin\r\nset @serial = @serial + 1\r\n"
                    "set @s = cast(@serial as varchar(10))\r\n"
                    "set @billno = @stem + case when len(@s) >= %3 then @s else "
                    "right(replicate('0', %3) + @s, %3) end\r\nend")
                      .arg(masterTableName)
                      .arg(orgId.toInt())
                      .arg(width);
    statements << F("update qd_sys_billnoseq set lastno = @serial, lastupdate = getdate() where "
                    "%1")
                      .arg(where);

    // Master and lines from their change logs, the real number in place of the temporary one.
    QStringList ignored = MasterIgnorefields;
    ignored << F("id") << F("billno");
    QStringList writes;
    Db::GetUpDataSQLList(masterTableName, F("id"), ignored, cdsMaster, writes, 0);
    writes << detailStatements({F("id"), F("billno")});
    for (const QString& s : writes)
        statements << (s.startsWith(QLatin1String("insert into ")) ? withBillnoVariable(s) : s);
    return runBatch(F("declare @billno varchar(50), @stem varchar(30), @serial int, "
                      "@s varchar(10)\r\n"),
                    statements)
               ? 0
               : -1;
}

int TSampleBillEditRibbonForm::_Update() {
    if (!descriptorProblem().isEmpty())
        return -1;
    if (cdsDetail.active() && cdsDetail.state() != Db::DataSetState::Browse)
        cdsDetail.post();
    QStringList statements;
    Db::GetUpDataSQLList(masterTableName, F("id"), MasterIgnorefields, cdsMaster, statements, 0);
    statements << detailStatements({F("id")});
    return runBatch(QString(), statements) ? 0 : -1;
}

int TSampleBillEditRibbonForm::_delete() {
    if (!descriptorProblem().isEmpty() || !billShown())
        return -1;
    const qint64 id = cdsMaster.field(F("id")).asLargeInt();
    // Only the loaded draft goes: a bill audited or saved elsewhere since stays whole.
    const QStringList statements = {
        F("delete from %1 where id = %2 and status < %3 and version = %4")
            .arg(masterTableName)
            .arg(id)
            .arg(auditstate)
            .arg(version),
        F("if @@rowcount > 0 delete from %1 where orgid = %2 and billno = %3")
            .arg(m_detailTable)
            .arg(cdsMaster.field(F("orgid")).asInteger())
            .arg(Db::quotedSql(billno))};
    if (!runBatch(QString(), statements))
        return -1;
    Db::DataPacket left = Db::dataServices().openData(
        F("select count(*) from %1 where id = %2").arg(masterTableName).arg(id));
    return left.active() && left.field(0).asInteger() == 0 ? 0 : 1;
}

QString TSampleBillEditRibbonForm::generateSqlAuditing_1() {
    // 项目订单自动完工: the order's open work records are done once it is audited.
    return F("update qd_sys_doworks set isdone = 1 where xmzzk_id = %1 and isdone = 0")
        .arg(cdsMaster.field(F("id")).asLargeInt());
}

void TSampleBillEditRibbonForm::SelectedxmbmkToDetail(const QString& selection) {
    const QJsonArray rows = QJsonDocument::fromJson(selection.toUtf8()).array();
    for (const QJsonValue& v : rows) {
        const QJsonObject item = v.toObject();
        cdsDetail.append();
        cdsDetail.field(F("xm_id")).setValue(item.value(F("id")).toVariant());
        cdsDetail.field(F("gcxmmc")).setValue(item.value(F("name")).toString());
        cdsDetail.field(F("itemno")).setValue(item.value(F("itemno")).toString());
        cdsDetail.field(F("baseunit")).setValue(item.value(F("baseunit")).toString());
        cdsDetail.field(F("dj")).setValue(item.value(F("dj")).toVariant());
        cdsDetail.field(F("sl")).setValue(1);  // the amount follows (detailChanged)
        cdsDetail.post();
    }
}

void registerDemoBills() {
    Base::registerDockedForm(F("TSampleBillEditRibbonForm"),
                             [](QWidget* owner, Sys::TPlugItem* data) -> Base::TBaseRibbonForm* {
                                 return new TSampleBillEditRibbonForm(owner, data);
                             });
}

}  // namespace Qd::App
