#include "core/RightsGate.h"

#include "base/EAbort.h"
#include "db/DataServices.h"
#include "sys/SystemServices.h"

namespace Qd::Core::Base {

namespace {

bool holds(const QString& code) {
    const Sys::TAuth* auth = Sys::sysAuth();
    return auth && auth->check({code}, Sys::TrelationType::rtAnd);
}

[[noreturn]] void refuse(const char* text) {
    Db::MessageMyDlg(QString::fromUtf8(text), QString::fromUtf8(kRightsTitle),
                     int(Ui::MsgKind::Information), Ui::MsgButtons::Ok);
    Sys::Abort();
}

}  // namespace

void rightsGate(const QString& moduleCode, const QString& suffix) {
    if (!holds(moduleCode + suffix))
        refuse(kRefusalText);
}

void reportRightsGate(const QString& reportCode) {
    if (!holds(QStringLiteral("2100_") + reportCode))
        refuse(kRefusalText);
}

void reprintGate(const QString& moduleCode) {
    if (!holds(moduleCode + QStringLiteral("_062")))
        refuse(kReprintRefusalText);
}

bool rightProbe(const QString& moduleCode, const QString& suffix) {
    return holds(moduleCode + suffix);
}

void administratorBlock() {
    const Sys::TAuth* auth = Sys::sysAuth();
    if (auth && auth->isAdmin)
        refuse(kAdministratorText);
}

}  // namespace Qd::Core::Base
