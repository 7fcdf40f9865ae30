#include "core/Messages.h"

#include "base/Prompter.h"
#include "db/DataServices.h"

namespace Qd::Core::Base {

namespace {

int ask(const QString& text, Ui::MsgKind kind, Ui::MsgButtons buttons) {
    return Db::MessageMyDlg(text, QString::fromUtf8(kHintTitle), int(kind), buttons);
}

}  // namespace

void showHint(const QString& text) {
    ask(text, Ui::MsgKind::Information, Ui::MsgButtons::Ok);
}

void showError(const QString& text) {
    ask(text, Ui::MsgKind::Error, Ui::MsgButtons::Ok);
}

bool confirmOk(const QString& text) {
    return ask(text, Ui::MsgKind::Confirmation, Ui::MsgButtons::OkCancel) == Ui::mrOk;
}

bool askYesNo(const QString& text) {
    return ask(text, Ui::MsgKind::Confirmation, Ui::MsgButtons::YesNo) == Ui::mrYes;
}

PendingAnswer askSavePending() {
    switch (ask(QStringLiteral("数据未保存，是否保存？"), Ui::MsgKind::Confirmation,
                Ui::MsgButtons::YesNoCancel)) {
        case Ui::mrYes:
            return PendingAnswer::Save;
        case Ui::mrNo:
            return PendingAnswer::Discard;
        default:
            return PendingAnswer::Stay;
    }
}

}  // namespace Qd::Core::Base
