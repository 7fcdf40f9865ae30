#pragma once

namespace Qd::Core::Sys {
class SystemServices;
}

namespace Qd::App {

struct ClientOptions;

// --module M --bill ID --dialog NAME: opens one dialog of one bill of a bill module, as the
// bill window would (with its rights gate), and returns when it closes; with --screenshot the
// dialog is saved as a picture once shown and closed. Refusals and unknown modules, bills or
// dialogs are written to stderr and give 1.
int runBillDialog(Core::Sys::SystemServices& sys, const ClientOptions& options);

}  // namespace Qd::App
