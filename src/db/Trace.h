#pragma once

#include <QString>

namespace Qd::Core::Db {

// The diagnostic trace. Every statement the framework runs is written to it, and so is every
// error the data services report. It never changes behaviour. Lines go to "trace.log" in the
// program home (opened on first use; written in batches, at most 200 ms late, errors at once);
// with tracing to stderr on (setTraceToStderr, or the
// environment variable QD_TRACE=stderr) they are echoed there as well.
void LogMsg(const QString& text);
void LogError(const QString& text);
void LogSql(const QString& sql);
// Writes out lines still held back (lines reach the file within 200 ms, errors at once).
void flushTrace();

void setTraceToStderr(bool on);
// Redirects the trace file (tests); empty reopens the default under the program home.
void setTraceFile(const QString& path);
QString traceFilePath();

}  // namespace Qd::Core::Db
