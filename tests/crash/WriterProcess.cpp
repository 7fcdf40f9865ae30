#include "crash/WriterProcess.h"

#include <QDeadlineTimer>
#include <QProcessEnvironment>

namespace Qd::Test {

WriterProcess::WriterProcess(const QString& home, const QString& mode, const QString& database,
                             const QStringList& more)
    : WriterProcess(QStringLiteral(QD_BATCH_WRITER_PATH), home,
                    QStringList{mode, database} + more) {}

WriterProcess::WriterProcess(const QString& program, const QString& home,
                             const QStringList& arguments) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QD_HOME"), home);
    m_process.setProcessEnvironment(env);
    m_process.start(program, arguments);
    m_process.waitForStarted(30000);
}

WriterProcess::~WriterProcess() {
    if (m_process.state() != QProcess::NotRunning)
        kill();
}

void WriterProcess::readLines() {
    m_partial += m_process.readAllStandardOutput();
    m_errors += m_process.readAllStandardError();
    for (qsizetype end; (end = m_partial.indexOf('\n')) >= 0;) {
        m_lines << QString::fromUtf8(m_partial.left(end));
        m_partial.remove(0, end + 1);
    }
}

std::optional<QString> WriterProcess::waitForLine(const QString& prefix, int ms) {
    const QDeadlineTimer deadline(ms);
    for (;;) {
        readLines();
        while (m_waited < m_lines.size()) {
            const QString& line = m_lines[m_waited++];
            if (line.startsWith(prefix))
                return line.mid(prefix.size());
        }
        if (m_process.state() == QProcess::NotRunning || deadline.hasExpired())
            return std::nullopt;
        m_process.waitForReadyRead(int(qMax<qint64>(1, deadline.remainingTime())));
    }
}

bool WriterProcess::runFor(int ms) {
    return !m_process.waitForFinished(ms) && m_process.state() != QProcess::NotRunning;
}

void WriterProcess::send(const QString& line) {
    m_process.write((line + QLatin1Char('\n')).toUtf8());
    m_process.waitForBytesWritten(10000);
}

void WriterProcess::kill() {
    m_process.kill();
    m_process.waitForFinished(30000);
    readLines();
}

int WriterProcess::finish(int ms) {
    const bool ended = m_process.waitForFinished(ms);
    readLines();
    return ended && m_process.exitStatus() == QProcess::NormalExit ? m_process.exitCode() : -1;
}

const QStringList& WriterProcess::lines() {
    readLines();
    return m_lines;
}

QString WriterProcess::errors() {
    readLines();
    return QString::fromUtf8(m_errors);
}

}  // namespace Qd::Test
