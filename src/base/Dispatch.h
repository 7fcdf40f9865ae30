#pragma once

#include <functional>

namespace Qd::Core::Sys {

// Runs what a user action or an event handler does, where actions, event handlers and
// record-set posts are dispatched. A silent abort ends it quietly (its thrower has said why);
// any other error is shown once, as an error message titled "提示", and ends it. Nothing leaves
// the handler, so the window stays usable. True when the handler ran to its end.
bool dispatch(const std::function<void()>& handler);

}  // namespace Qd::Core::Sys
