#include "tools/uxmzzkhistoryviewbykhform.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "core/uMyCxGrid.h"
#include "db/DataServices.h"
#include "sys/SystemServices.h"
#include "sys/uAuth.h"
#include "ui/editors/Editors.h"
#include "ui/grid/Grid.h"

namespace Qd::Core::Tools {

namespace {

QString F(const char* text) {
    return QString::fromUtf8(text);
}

const QString kQuery = QStringLiteral("query");

// Whole days at both ends: an order of 23:59 on the last day is in, one of 00:00 the day after
// is not.
const char* const kHistorySql =
    "declare @orgid varchar(20), @kh_id int, @xm_id int, @bt datetime, @et datetime\n"
    "set @orgid = :orgid\n"
    "set @kh_id = :kh_id\n"
    "set @xm_id = :xm_id\n"
    "set @bt = :bt\n"
    "set @et = :et\n"
    "if @bt is null set @bt = getdate() - 365\n"
    "if @et is null set @et = getdate()\n"
    "select m.billdate, d.*, x.code as xm_code, x.name as xm_name, x.itemno as xm_itemno,\n"
    "  x.baseunit as xm_baseunit\n"
    "from qd_x_xmzzk m\n"
    "  join qd_x_xmzzk_mx d on d.orgid = m.orgid and d.billno = m.billno\n"
    "  left join qd_b_xmbmk x on x.id = d.xm_id\n"
    "where m.orgid = @orgid and m.kh_id = @kh_id and d.xm_id = @xm_id and m.zfflag = 0\n"
    "  and datediff(day, billdate, @bt) <= 0 and datediff(day, billdate, @et) >= 0\n"
    "order by m.billdate, m.billno";

struct HistoryColumn {
    const char* field;
    const char* caption;
    int width;
    Ui::EditorKind kind;
    const char* format;
};

const HistoryColumn kColumns[] = {
    {"billdate", "单据日期", 90, Ui::EditorKind::Date, ""},
    {"billno", "单号", 100, Ui::EditorKind::Text, ""},
    {"gcxmmc", "文件名称", 110, Ui::EditorKind::Text, ""},
    {"xm_name", "项目名称", 100, Ui::EditorKind::Text, ""},
    {"xm_itemno", "规格", 110, Ui::EditorKind::Text, ""},
    {"xm_baseunit", "单位", 50, Ui::EditorKind::Text, ""},
    {"sl", "数量", 60, Ui::EditorKind::Money, "0.##"},
    {"n", "份数", 50, Ui::EditorKind::Integer, ""},
    {"x", "长", 50, Ui::EditorKind::Money, "0.##"},
    {"y", "宽", 50, Ui::EditorKind::Money, "0.##"},
    {"dj", "单价", 70, Ui::EditorKind::Money, "#,##0.00"},
    {"zk", "折扣", 50, Ui::EditorKind::Money, "0.00"},
    {"je", "金额", 80, Ui::EditorKind::Money, "#,##0.00"},
    {"beizhu", "备注", 120, Ui::EditorKind::Text, ""},
};

// A date editor's day as the start of that day; NULL when the editor is empty.
QVariant dayOf(QWidget* editor) {
    const QVariant v = Ui::editorValue(editor);
    return v.isNull() ? QVariant() : QVariant(QDateTime(v.toDate(), QTime(0, 0)));
}

}  // namespace

Txmzzkhistoryviewbykhform::Txmzzkhistoryviewbykhform(QWidget* AOwner, qint64 _kh_id, qint64 _xm_id)
    : TBaseForm(AOwner), kh_id(_kh_id), xm_id(_xm_id) {
    setObjectName(F("Txmzzkhistoryviewbykhform"));
    setWindowTitle(F("客户历史项目订单价格查询"));
    resize(1160, 460);
    SQLStore.insert(kQuery, F(kHistorySql));

    actsearch = new QAction(F("查询(&F)"), this);
    connect(actsearch, &QAction::triggered, this, [this] { actsearchExecute(); });
    actok = new QAction(F("选择"), this);
    connect(actok, &QAction::triggered, this,
            [this] { done(cdsResult.isEmpty() ? QDialog::Rejected : QDialog::Accepted); });
    actcancel = new QAction(F("取消"), this);
    connect(actcancel, &QAction::triggered, this, [this] { done(QDialog::Rejected); });
    actList << actsearch << actok << actcancel;

    Ui::EditorProps date;
    date.kind = Ui::EditorKind::Date;
    edtbt = Ui::createEditor(date, this);
    edtet = Ui::createEditor(date, this);
    edtbt->setObjectName(F("edtbt"));
    edtet->setObjectName(F("edtet"));
    auto* range = new QHBoxLayout;
    range->addWidget(new QLabel(F("订单日期："), this));
    range->addWidget(edtbt);
    range->addWidget(new QLabel(F(" - "), this));
    range->addWidget(edtet);
    range->addWidget(Base::buttonFor(actsearch, this));
    range->addStretch(1);

    cxgResult = new Ui::Grid(F("cxgResult"), this);
    cxgResultView = cxgResult->addLevel(F("cxgResultDBTableView1"));
    for (const HistoryColumn& c : kColumns) {
        Ui::GridColumn* column =
            cxgResultView->addFieldColumn(F(c.field), F(c.caption), c.width, c.kind);
        column->props.displayFormat = F(c.format);
    }
    cxgResultView->setSelectionBehavior(QAbstractItemView::SelectRows);
    cxgResultView->setEditTriggers(QAbstractItemView::NoEditTriggers);
    connect(cxgResultView, &QAbstractItemView::doubleClicked, actok, &QAction::trigger);

    auto* main = new QVBoxLayout(this);
    main->addLayout(range);
    main->addWidget(new QLabel(F("历史订单明细列表："), this));
    main->addWidget(cxgResult, 1);
    main->addLayout(Base::closingButtons(this, actok, actcancel));

    FormCreate();
    cxgResultView->setEmptyText(F("<未找到相关记录>"));
    const QDate today = QDate::currentDate();
    Ui::setEditorValue(edtbt, today.addYears(-1));
    Ui::setEditorValue(edtet, today);
    cxgResultView->applyColumns();
    Base::TMyCxGrid::restoreGridColumnStyle(cxgResult, objectName());
    actsearchExecute();
}

Txmzzkhistoryviewbykhform::~Txmzzkhistoryviewbykhform() {
    cxgResultView->setRecordSet(nullptr);
}

void Txmzzkhistoryviewbykhform::actsearchExecute() {
    cxgResultView->setRecordSet(nullptr);
    Db::dataServices().openDataToCDS(cdsResult, SQLStore.value(kQuery),
                                     {{F("orgid"), Sys::sysAuth()->orgId},
                                      {F("kh_id"), kh_id},
                                      {F("xm_id"), xm_id},
                                      {F("bt"), dayOf(edtbt)},
                                      {F("et"), dayOf(edtet)}});
    cdsResult.setReadOnly(true);
    cxgResultView->setRecordSet(&cdsResult);
}

void Txmzzkhistoryviewbykhform::WriteIniSettings() {
    TBaseForm::WriteIniSettings();
    Base::TMyCxGrid::storeGridColumnStyle(cxgResult, objectName());
}

}  // namespace Qd::Core::Tools
