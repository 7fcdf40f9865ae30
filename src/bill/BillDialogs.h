#pragma once

#include <QString>

class QWidget;

namespace Qd::Core::Bill {

// The dialogs a bill window opens, each created with the window as owner, run modally through
// the prompter and freed on return. Their rights are the caller's to check first. Each returns
// the dialog's result (QDialog::Accepted or Rejected); a dialog whose data could not be read
// (the error was shown) is not opened and gives Rejected.

// 单据设置 of a module (`pluginfo`: the bill window's form descriptor as JSON text).
int showBillOptions(QWidget* owner, const QString& moduleCode, const QString& pluginfo);
// 附件列表 of a bill.
int showAttachments(QWidget* owner, const QString& moduleCode, const QString& billno);
// The conversation on a bill (`moduleTitle`: the module's title; `billId`: the master id).
int showTickets(QWidget* owner, const QString& moduleTitle, qint64 billId);
// 单据审核日志查询 / 单据打印日志查询 of a bill.
int showAuditLog(QWidget* owner, const QString& moduleCode, const QString& billno);
int showPrintLog(QWidget* owner, const QString& moduleCode, const QString& billno);

}  // namespace Qd::Core::Bill
