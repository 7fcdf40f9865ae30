#include "base/UnattendedPrompter.h"

#include <cstdio>

namespace Qd::Core::Ui {

int UnattendedPrompter::message(const QString& text, const QString&, MsgKind, MsgButtons buttons) {
    lastMessage = text;
    ++messages;
    if (m_echo)
        std::fprintf(stderr, "message: %s\n", text.toUtf8().constData());
    const bool yesNo = buttons == MsgButtons::YesNo || buttons == MsgButtons::YesNoCancel;
    if (m_answer == Answer::Accept)
        return yesNo ? mrYes : mrOk;
    switch (buttons) {
        case MsgButtons::Ok:
            return mrOk;
        case MsgButtons::OkCancel:
            return mrCancel;
        case MsgButtons::YesNo:
        case MsgButtons::YesNoCancel:
            return mrNo;
    }
    return mrCancel;
}

}  // namespace Qd::Core::Ui
