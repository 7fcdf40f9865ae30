#pragma once

#include <QString>

namespace Qd::Core::Db {

// The diagnostic trace. Every batch the framework sends is written to it as sent (T-SQL, with its
// parameter values), and so is every error the data services report. It never changes
// behaviour. Values of secrets (passwords, hashes, salts, keys) are masked (TraceMask.h). Lines
// go to "trace.log" in the program home (opened on first use, owner-only; written in batches,
// at most 200 ms late, errors at once); a file that reaches 10 MiB becomes "trace.log.1" (the
// older ones move up, five files in all). With tracing to stderr on (setTraceToStderr, or the
// environment variable QD_TRACE=stderr) lines are echoed there as well. A trace file that
// cannot be written (a read-only program folder) is said so once on standard error, and the
// program goes on without it until the program home or the trace file is set again.
void LogMsg(const QString& text);
void LogError(const QString& text);
void LogSql(const QString& sql);
// A statement as the embedded database runs it (the trace's detail).
void LogTranslation(const QString& sql);
// Writes out lines still held back (lines reach the file within 200 ms, errors at once).
void flushTrace();

void setTraceToStderr(bool on);
// The detail: each statement as the embedded database runs it (the translation) with the values
// bound to it. Off unless switched on here (the client's --trace) or by QD_TRACE (any value);
// the translation of a failing statement is traced with its error in any case.
void setTraceDetail(bool on);
bool traceDetail();
// How large a trace file grows before it is rotated, and how many files are kept (tests); 0
// restores the default of 10 MiB and 5 files.
void setTraceRotation(qint64 maxBytes, int files);
// Redirects the trace file (tests); empty reopens the default under the program home.
void setTraceFile(const QString& path);
QString traceFilePath();

}  // namespace Qd::Core::Db
