// Printing a bill: the print window over the bill shown, and what each printed job leaves
// behind (the automatic audit, the print log row, the print count).
#include "base/Dispatch.h"
#include "bill/uBaseBillEditRibbonForm.h"
#include "bill/uCustBillRuleObj.h"
#include "core/GridHelpers.h"
#include "core/RightsGate.h"
#include "db/DataServices.h"
#include "db/Trace.h"
#include "print/uDataSetCollection.h"
#include "print/uPrinterForm.h"
#include "sys/uAuth.h"

namespace Qd::Core::Bill {

namespace {

// The descriptor's "reprintright": "true" (or true) makes a reprint need the reprint right.
bool reprintNeedsRight(const QJsonObject& descriptor) {
    const QJsonValue v = descriptor.value(QStringLiteral("reprintright"));
    return v.toBool() || v.toString().compare(QStringLiteral("true"), Qt::CaseInsensitive) == 0;
}

}  // namespace

bool TBaseBillEditRibbonForm::printedBefore() {
    const Sys::TAuth* auth = Sys::sysAuth();
    const Db::DataPacket row = Db::dataServices().openData(
        QStringLiteral("select top 1 id from qd_sys_billpirnt_logs where orgid = :orgid and "
                       "modulecode = :modulecode and billno = :billno"),
        {{QStringLiteral("orgid"), auth ? auth->orgId : QString()},
         {QStringLiteral("modulecode"), moduleCode()},
         {QStringLiteral("billno"), cdsMaster.field(QStringLiteral("billno")).asString()}});
    return row.active() && !row.isEmpty();
}

void TBaseBillEditRibbonForm::actPrintExecute() {
    if (!billShown())
        return;
    requireCurrentVersion();
    const Fr4::TReprintPolicy reprint{.printedBefore = printedBefore(),
                                      .needsRight = reprintNeedsRight(pluginfo)};
    if (reprint.printedBefore && reprint.needsRight)
        Base::reprintGate(moduleCode());
    // The print window's engine reads cdsMaster and cdsDetail themselves, for as long as it is
    // open: an audit's reload after a job refills them in place.
    Fr4::TDataSetCollection datasets;
    datasets.Add() = Fr4::TDataSetCollectionItem(&datasets, QStringLiteral("表头数据"),
                                                 moduleCode(), &cdsMaster);
    datasets.Add() = Fr4::TDataSetCollectionItem(&datasets, QStringLiteral("明细数据"),
                                                 moduleCode(), &cdsDetail);
    const Fr4::TUserVariables variables = {{QStringLiteral("表单编号"), moduleCode()},
                                           {QStringLiteral("表单名称"), moduleTitle()}};
    Fr4::OpenSetPrintReportForm(
        this, moduleCode(), &datasets, &variables, [this] { onPrintDone(); }, &reprint);
}

void TBaseBillEditRibbonForm::onPrintDone() {
    // This runs inside the print window's and its preview's event handling, where no exception
    // may unwind: a refused audit (its gate or the version check has said why) ends this job's
    // bookkeeping here, and the print window goes on.
    Sys::dispatch([this] {
        if (!billShown())
            return;
        if (CustBillRule && CustBillRule->switchOn(TCustBillRule::kAuditAfterPrint) &&
            cdsMaster.field(QStringLiteral("status")).asInteger() < auditstate) {
            // As if 审核 were pressed; a cancelled dialog still counts the print.
            runGuarded(actionDef(&TBaseBillEditRibbonForm::actAudit));
            if (!billShown())
                return;
        }
        const QString batch = printLogBatch();
        Db::LogMsg(QStringLiteral("[打印] ") + batch);
        // One batch, so one transaction: a failing count leaves no log row either. The window
        // is not reloaded; a count it shows changes with the next load.
        Db::dataServices().execSQL(batch);
    });
    updateActions();
}

QString TBaseBillEditRibbonForm::printLogBatch() {
    const Sys::TAuth* auth = Sys::sysAuth();
    // Format pastes each %s with its quotes doubled (the one escape), so a quote in a number or
    // a title stays the value it is.
    // clang-format off
    const QString log = QStringLiteral("insert into qd_sys_billpirnt_logs(orgid,modulecode, billtype,billno,ck_id,czy_id) values('%s', '%s', '%s', '%s',%d, %d)");
    // clang-format on
    QString batch = Base::Format(log, {auth ? auth->orgId : QString(), moduleCode(), moduleTitle(),
                                       cdsMaster.field(QStringLiteral("billno")).asString(),
                                       auth ? auth->storeId : 0, auth ? auth->userId : 0});
    // The record set decides, not the table: a module whose query leaves the column out keeps
    // its count untouched.
    if (cdsMaster.hasField(QStringLiteral("printcount")))
        batch +=
            QStringLiteral("\r\n") +
            Base::Format(QStringLiteral("update %s set printcount = isnull(printcount,0) + 1 "
                                        "where id=%d"),
                         {masterTableName, cdsMaster.field(QStringLiteral("id")).asLargeInt()});
    return batch;
}

}  // namespace Qd::Core::Bill
