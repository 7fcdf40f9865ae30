#pragma once

#include "core/uGridRibbonForm.h"

namespace Qd::App {

// The demo's order tracking (订单跟踪): the order lines of the organisation, newest first, with
// the flow of the current line's order (流程跟踪), the customer's earlier prices of its item
// (历史价格), the order's folder (订单文件, stored behind "_02"), the file explorer without an
// order (文件选择器) and a notice to the customer from the group 1 SMS templates (短信通知).
class TOrderTrackingForm : public Core::Base::TGridRibbonForm {
    Q_OBJECT
public:
    TOrderTrackingForm(QWidget* owner, Core::Sys::TPlugItem* data);

    QAction* actFlow;      // 流程跟踪
    QAction* actHistory;   // 历史价格
    QAction* actFiles;     // 订单文件
    QAction* actExplorer;  // 文件选择器
    QAction* actSms;       // 短信通知

    // The values a notice about the current line's order offers its template: the customer
    // (name), the order number (billno) and its store (store).
    QMap<QString, QString> noticeValues();

private:
    // A field of the current line as an integer; 0 without a current line.
    qint64 currentId(const char* field);
    QString currentText(const char* field);
    // Adds a toolbar action whose handler runs through the dispatcher.
    QAction* addTool(const char* name, const char* caption, int icon,
                     std::function<void()> handler);
};

// Registers TOrderTrackingForm with the plug-in pool.
void registerDemoOrderTracking();

}  // namespace Qd::App
