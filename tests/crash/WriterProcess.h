#pragma once
// The batch writer (batch_writer.cpp), or another program that writes as a client (the order
// worker), run by a test: started on a database, read line by line,
// and killed when the test says or when it goes out of scope (so that a failing assertion
// never leaves one running).
#include <QProcess>
#include <QString>
#include <QStringList>
#include <optional>

namespace Qd::Test {

class WriterProcess {
public:
    // Starts the writer: `mode`, the database, then `more` arguments. Its program home (and
    // trace) is `home`.
    WriterProcess(const QString& home, const QString& mode, const QString& database,
                  const QStringList& more = {});
    // Starts another such program with its arguments.
    WriterProcess(const QString& program, const QString& home, const QStringList& arguments);
    ~WriterProcess();
    WriterProcess(const WriterProcess&) = delete;
    WriterProcess& operator=(const WriterProcess&) = delete;

    // Waits up to `ms` for an output line starting with `prefix` after the line the last wait
    // found, and returns the rest of it; nothing when none came (the writer ended, or the time
    // ran out).
    std::optional<QString> waitForLine(const QString& prefix, int ms = 30000);
    // Lets `ms` pass unless the writer ends first; true when it is still running.
    bool runFor(int ms);
    void send(const QString& line);
    // SIGKILL, then waits until it is gone; the lines it wrote before are read.
    void kill();
    // Waits for the writer to end; its exit code, -1 when it did not end normally in time.
    int finish(int ms = 60000);

    const QStringList& lines();  // every output line so far
    QString errors();            // everything written to standard error so far

private:
    void readLines();

    QProcess m_process;
    QByteArray m_partial;
    QStringList m_lines;
    qsizetype m_waited = 0;  // lines the waits have looked at
    QByteArray m_errors;
};

}  // namespace Qd::Test
