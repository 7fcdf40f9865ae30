#include "db/Trace.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cstdio>
#include <mutex>

#include "sys/ProgramHome.h"

namespace Qd::Core::Db {

namespace {

struct TraceState {
    std::mutex mutex;
    QString overridePath;  // set by setTraceFile; empty = trace.log under the program home
    QFile file;            // opened on the first line written
    bool toStderr =
        qEnvironmentVariable("QD_TRACE").compare(QLatin1String("stderr"), Qt::CaseInsensitive) == 0;
};

TraceState& state() {
    static TraceState s;
    return s;
}

QString currentPath(const TraceState& s) {
    return s.overridePath.isEmpty() ? Sys::programPath(QStringLiteral("trace.log"))
                                    : s.overridePath;
}

void write(const char* tag, const QString& text) noexcept {
    try {
        TraceState& s = state();
        const std::lock_guard lock(s.mutex);
        QByteArray line = QDateTime::currentDateTime()
                              .toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz"))
                              .toUtf8();
        line += ' ';
        line += tag;
        line += ' ';
        line += text.toUtf8();
        line += '\n';

        // The program home can move (tests, installs), so the default file follows it.
        const QString path = currentPath(s);
        if (s.file.isOpen() && s.file.fileName() != path)
            s.file.close();
        if (!s.file.isOpen()) {
            s.file.setFileName(path);
            QDir().mkpath(QFileInfo(path).absolutePath());
            if (!s.file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text))
                s.file.setFileName(QString());  // try again on the next line
        }
        if (s.file.isOpen()) {
            s.file.write(line);
            s.file.flush();  // a crash must not lose the statements that led to it
        }
        if (s.toStderr) {
            std::fwrite(line.constData(), 1, std::size_t(line.size()), stderr);
            std::fflush(stderr);
        }
    } catch (...) {
        // The trace never changes behaviour, not even by failing.
    }
}

}  // namespace

void LogMsg(const QString& text) {
    write("[MSG]", text);
}

void LogError(const QString& text) {
    write("[ERROR]", text);
}

void LogSql(const QString& sql) {
    write("[SQL]", sql);
}

void setTraceToStderr(bool on) {
    TraceState& s = state();
    const std::lock_guard lock(s.mutex);
    s.toStderr = on;
}

void setTraceFile(const QString& path) {
    TraceState& s = state();
    const std::lock_guard lock(s.mutex);
    s.file.close();
    s.overridePath = path.isEmpty() ? QString() : QFileInfo(path).absoluteFilePath();
}

QString traceFilePath() {
    TraceState& s = state();
    const std::lock_guard lock(s.mutex);
    return currentPath(s);
}

}  // namespace Qd::Core::Db
