#pragma once

#include <QString>

namespace Qd::App {

// Whether the client can start in its program home (demo.db, the ini files, the caches, report
// files, config.ini and the trace): a home it cannot write in is reported once, in a message
// box and on standard error, and the client does not start (false).
bool checkProgramHome(const QString& home);

}  // namespace Qd::App
