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

}  // namespace Qd::Core::Base
