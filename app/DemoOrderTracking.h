#pragma once

#include "core/uGridRibbonForm.h"

namespace Qd::App {

// The demo's order tracking (订单跟踪): the order lines of the organisation, newest first, with
// the flow of the current line's order (流程跟踪) and the customer's earlier prices of its item
// (历史价格).
class TOrderTrackingForm : public Core::Base::TGridRibbonForm {
    Q_OBJECT
public:
    TOrderTrackingForm(QWidget* owner, Core::Sys::TPlugItem* data);

    QAction* actFlow;     // 流程跟踪
    QAction* actHistory;  // 历史价格

private:
    // A field of the current line as an integer; 0 without a current line.
    qint64 currentId(const char* field);
};

// Registers TOrderTrackingForm with the plug-in pool.
void registerDemoOrderTracking();

}  // namespace Qd::App
