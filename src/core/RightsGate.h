#pragma once

#include <QString>

namespace Qd::Core::Base {

// Every action that changes data or opens a guarded dialog passes through these first.

// The rights gate: the right code is the module code followed by the action suffix ("_01" add,
// "_02" edit, "_03" delete, ...). When the user does not hold it, the refusal is shown and the
// action ends silently (EAbort).
void rightsGate(const QString& moduleCode, const QString& suffix);
// The gate for opening a report by its catalogue code: right "2100_" + code.
void reportRightsGate(const QString& reportCode);
// The same check without a message, for switching capabilities when a window opens.
bool rightProbe(const QString& moduleCode, const QString& suffix);
// The reprint right of a document printed before: module code + "_062". Refused with
// kReprintRefusalText ("用户授权") and a silent abort.
void reprintGate(const QString& moduleCode);
// The administrator block of bill actions: the administrator login may not add, edit, delete,
// audit or print bills. Runs before the rights gate.
void administratorBlock();

// The texts the gate and the block show.
inline constexpr const char* kRefusalText = "对不起，您没有该功能的操作权限，访问被拒绝。";
inline constexpr const char* kAdministratorText = "当前用户为系统管理员，不能用于业务单据操作。";
inline constexpr const char* kReprintRefusalText = "该单据已打印过，您没有重印单据的权限。";
inline constexpr const char* kRightsTitle = "用户授权";

}  // namespace Qd::Core::Base
