#pragma once

#include <QDate>
#include <QString>
#include <QStringList>

namespace Qd::Core::Bill {

class TBaseBillEditRibbonForm;

// The writes a simple bill module needs, each one batch (begin tran ... commit, rolled back and
// raised on error) over the window's master table and its lines table: a new bill numbered by
// the store's rule, an edited bill, the loaded draft deleted. Master and lines are written from
// their change logs. The window calls them only with a sound descriptor.

// The number stem of a new bill: prefix, then (rule 0) the bill date as yyMMdd, then the
// store's tag; the serial follows it.
QString billNumberStem(const QString& prefix, int rule, const QDate& billDate,
                       const QString& storeTag);

// An insert statement of the change log with `billno` taken from the batch's @billno.
QString withBillnoVariable(const QString& insert);

// Runs the statements as one batch after the declarations; false when it failed.
bool runBillBatch(const QString& declarations, const QStringList& statements);

// Numbers the new bill (the next serial of its store, bill and stem, passing over numbers
// already taken) and writes master and lines under that number: 0 done, -1 failed.
int insertNumberedBill(TBaseBillEditRibbonForm& form, const QString& detailTable);
// Writes the changes of master and lines: 0 done, -1 failed.
int updateBill(TBaseBillEditRibbonForm& form, const QString& detailTable);
// Deletes the loaded draft with its lines while it is unchanged (not audited, same version):
// 0 deleted, 1 still there, -1 failed.
int deleteDraftBill(TBaseBillEditRibbonForm& form, const QString& detailTable);

}  // namespace Qd::Core::Bill
