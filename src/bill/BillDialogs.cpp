#include "bill/BillDialogs.h"

#include <QDialog>

#include "base/Prompter.h"
#include "bill/uImgAttachListForm.h"
#include "bill/ubilllogviewform.h"
#include "bill/ubilloptionsform.h"
#include "bill/uticketeditform.h"

namespace Qd::Core::Bill {

namespace {

template <class Dialog, class... Args>
int run(QWidget* owner, Args&&... args) {
    Dialog dialog(owner, std::forward<Args>(args)...);
    if (!dialog.loaded())
        return QDialog::Rejected;
    return Ui::prompter().exec(dialog);
}

}  // namespace

int showBillOptions(QWidget* owner, const QString& moduleCode, const QString& pluginfo) {
    return run<Tbilloptionsform>(owner, moduleCode, pluginfo);
}

int showAttachments(QWidget* owner, const QString& moduleCode, const QString& billno) {
    return run<TImgAttachListForm>(owner, moduleCode, billno);
}

int showTickets(QWidget* owner, const QString& moduleTitle, qint64 billId) {
    return run<Tticketeditform>(owner, moduleTitle, billId);
}

int showAuditLog(QWidget* owner, const QString& moduleCode, const QString& billno) {
    return run<Tbillauditlogviewform>(owner, moduleCode, billno);
}

int showPrintLog(QWidget* owner, const QString& moduleCode, const QString& billno) {
    return run<Tbillprintlogviewform>(owner, moduleCode, billno);
}

}  // namespace Qd::Core::Bill
