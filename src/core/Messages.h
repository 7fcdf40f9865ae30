#pragma once

// The message conventions every window follows: what kind of box, which buttons and which
// title each purpose takes, and which answer lets the caller go on.

#include <QString>

namespace Qd::Core::Base {

inline constexpr const char* kHintTitle = "提示";

// A notice, a success, or nothing to do: information, OK, "提示".
void showHint(const QString& text);
// A failed step or invalid input found by a check: error, OK, "提示".
void showError(const QString& text);
// Before a destructive or costly step: confirmation, OK and Cancel; true only for OK.
bool confirmOk(const QString& text);
// A yes/no question: confirmation, Yes and No; true only for Yes.
bool askYesNo(const QString& text);

// What to do with input not yet saved when the user leaves it: save it, drop it, or stay.
enum class PendingAnswer { Save, Discard, Stay };
// "数据未保存，是否保存？" with 是 (save), 否 (drop) and 取消 (stay): confirmation, "提示".
PendingAnswer askSavePending();

}  // namespace Qd::Core::Base
