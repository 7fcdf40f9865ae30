#include "base/Dispatch.h"

#include <QString>
#include <exception>

#include "base/EAbort.h"
#include "base/Prompter.h"

namespace Qd::Core::Sys {

namespace {
void showFailure(const QString& text) {
    Ui::prompter().message(text, QStringLiteral("提示"), Ui::MsgKind::Error, Ui::MsgButtons::Ok);
}
}  // namespace

bool dispatch(const std::function<void()>& handler) {
    try {
        handler();
        return true;
    } catch (const EAbort&) {
    } catch (const std::exception& e) {
        // The errors of every layer carry the text a user sees, in UTF-8.
        showFailure(QString::fromUtf8(e.what()));
    } catch (...) {
        showFailure(QStringLiteral("操作失败：发生了未知错误。"));
    }
    return false;
}

}  // namespace Qd::Core::Sys
