#pragma once
// A file system for the embedded database that can fail: it wraps the default one and passes
// every call through, until it is armed to fail the n-th write, sync, lock or read from then on.
// Tests walk n over every step of a save to prove that a failure at any of them loses nothing;
// disarmed, it costs an atomic load and an increment per call.
#include <QtGlobal>

namespace Qd::Core::Db::FaultVfs {

enum class Step { Write, Sync, Lock, Read };
enum class Fault {
    IoError,    // SQLITE_IOERR (the step's own kind: write, fsync, lock, read)
    DiskFull,   // SQLITE_FULL
    Busy,       // SQLITE_BUSY
    ShortRead,  // fewer bytes than asked, the rest zero (a read only)
};

// The name to open a database with (sqlite3_open_v2's zVfs); registers it on first use.
const char* name();

// Fails the n-th `step` from now (1 for the next) with `fault`, and with `sticky` every such
// step after it too (a full disk stays full).
void arm(Step step, qint64 n, Fault fault, bool sticky = false);
void disarm();
bool fired();  // whether the armed fault has happened

// Steps of each kind since the last reset (counted armed or not).
qint64 count(Step step);
void resetCounts();

}  // namespace Qd::Core::Db::FaultVfs
