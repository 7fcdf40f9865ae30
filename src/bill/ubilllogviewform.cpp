#include "bill/ubilllogviewform.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

#include "db/DataServices.h"
#include "sys/SystemServices.h"
#include "sys/uAuth.h"
#include "ui/grid/Grid.h"

namespace Qd::Core::Bill {

namespace {

QString F(const char* text) {
    return QString::fromUtf8(text);
}

QString logSql(const char* table) {
    return QStringList{
        F("SELECT     t1.*, t2.code czy_code, t2.name czy_name, t3.code ck_code, t3.name ck_name"),
        F("FROM         %1 AS t1 LEFT OUTER JOIN").arg(F(table)),
        F("                      qd_b_ygbmk AS t2 ON t1.orgid = t2.orgid AND t1.czy_id = t2.id "
          "LEFT OUTER JOIN"),
        F("                      qd_b_ckbmk AS t3 ON t1.orgid = t3.orgid AND t1.ck_id = t3.id"),
        F("WHERE     (t1.orgid = :orgid) AND (t1.modulecode = :modulecode) AND (t1.billno = "
          ":billno)")}
        .join(F("\r\n"));
}

}  // namespace

TBillLogViewForm::TBillLogViewForm(QWidget* AOwner, const QString& _modulecode,
                                   const QString& _billno, const char* objectName,
                                   const char* caption, const char* table,
                                   std::initializer_list<LogColumn> columns)
    : TBaseForm(AOwner), billno(_billno), modulecode(_modulecode) {
    setObjectName(F(objectName));
    setWindowTitle(F(caption));
    resize(640, 360);
    SQLStore.insert(F("log"), logSql(table));

    actok = new QAction(F("确定"), this);
    connect(actok, &QAction::triggered, this, [this] { done(QDialog::Accepted); });
    actList << actok;

    cxgResult = new Ui::Grid(F("cxgResult"), this);
    cxgResultView = cxgResult->addLevel(F("cxgResultDBTableView1"));
    for (const LogColumn& c : columns)
        cxgResultView->addFieldColumn(F(c.field), F(c.caption), c.width);
    cxgResultView->setSelectionBehavior(QAbstractItemView::SelectRows);
    cxgResultView->setEditTriggers(QAbstractItemView::NoEditTriggers);
    cxgResultView->setTextElideMode(Qt::ElideRight);

    QHBoxLayout* buttons = Base::closingButtons(this, actok);
    auto* main = new QVBoxLayout(this);
    main->addWidget(cxgResult, 1);
    main->addLayout(buttons);

    FormCreate();
    cxgResultView->setEmptyText(F("<未找到相关记录>"));  // after the grids' common look
    m_loaded = Db::dataServices().openDataToCDS(cdsResult, SQLStore.value(F("log")),
                                                {{F("orgid"), Sys::sysAuth()->orgId},
                                                 {F("modulecode"), modulecode},
                                                 {F("billno"), billno}});
    cdsResult.setReadOnly(true);
    cxgResultView->setRecordSet(&cdsResult);
    cxgResultView->applyColumns();
}

TBillLogViewForm::~TBillLogViewForm() {
    cxgResultView->setRecordSet(nullptr);
}

void TBillLogViewForm::reject() {
    done(QDialog::Accepted);  // Escape answers as 确定 does
}

Tbillauditlogviewform::Tbillauditlogviewform(QWidget* AOwner, const QString& _modulecode,
                                             const QString& _billno)
    : TBillLogViewForm(AOwner, _modulecode, _billno, "Tbillauditlogviewform", "单据审核日志查询",
                       "qd_sys_billaudit_logs",
                       {{"auditstate", "审核状态", 70},
                        {"createtime", "操作时间", 140},
                        {"czy_name", "操作员", 80},
                        {"ck_name", "操作门店", 100},
                        {"auditmsg", "描述", 200}}) {}

Tbillprintlogviewform::Tbillprintlogviewform(QWidget* AOwner, const QString& _modulecode,
                                             const QString& _billno)
    : TBillLogViewForm(AOwner, _modulecode, _billno, "Tbillprintlogviewform", "单据打印日志查询",
                       "qd_sys_billpirnt_logs",
                       {{"createtime", "操作时间", 140},
                        {"czy_name", "操作员", 100},
                        {"ck_name", "操作门店", 140}}) {}

}  // namespace Qd::Core::Bill
