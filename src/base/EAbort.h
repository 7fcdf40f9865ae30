#pragma once

#include <exception>

namespace Qd::Core::Sys {

// The silent abort: thrown by a gate or a validation that has already told the user why, and
// caught where an action, an event handler or a record-set post is dispatched. It carries no
// message on purpose: whoever throws it has shown one already.
class EAbort : public std::exception {
public:
    const char* what() const noexcept override { return "EAbort"; }
};

// Ends the current action silently (the caller has shown its message).
[[noreturn]] inline void Abort() {
    throw EAbort();
}

}  // namespace Qd::Core::Sys
