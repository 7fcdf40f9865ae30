#include "db/Trace.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <mutex>

#include "base/OwnerOnly.h"
#include "base/ProgramHome.h"

namespace Qd::Core::Db {

namespace {

struct TraceState {
    std::mutex mutex;
    QString overridePath;  // set by setTraceFile; empty = trace.log under the program home
    QString openedPath;    // what `file` was opened as
    int homeGeneration = -1;
    QFile file;            // opened on the first line written
    bool refused = false;  // the file could not be opened: not tried again for every line
    QString reported;      // the last file said to be unwritable
    QByteArray pending;    // lines not yet written to the file
    qint64 lastFlushMs = 0;
    qint64 stampSecond = -1;  // the second `stamp` was made for
    QByteArray stamp;         // "yyyy-MM-dd HH:mm:ss." of that second
    // QD_TRACE=stderr echoes the lines and adds the detail; any other value adds the detail.
    bool toStderr =
        qEnvironmentVariable("QD_TRACE").compare(QLatin1String("stderr"), Qt::CaseInsensitive) == 0;
    std::atomic<bool> detail = !qEnvironmentVariable("QD_TRACE").isEmpty();
    qint64 maxBytes = kDefaultMaxBytes;
    int files = kDefaultFiles;

    ~TraceState() { flush(); }

    // Lines are written at most this long after they were traced, errors at once; whatever is
    // pending is written when the program ends.
    static constexpr qint64 kFlushMs = 200;
    static constexpr qsizetype kFlushBytes = 64 * 1024;
    static constexpr qint64 kDefaultMaxBytes = 10 * 1024 * 1024;
    static constexpr int kDefaultFiles = 5;

    void flush() {
        if (!pending.isEmpty() && file.isOpen()) {
            file.write(pending);
            file.flush();
            if (file.size() >= maxBytes)
                rotate();
        }
        pending.clear();
    }

    // The full file becomes "<name>.1", the older ones move up by one, and the oldest beyond
    // `files` is dropped; writing goes on in a new, empty file.
    void rotate() {
        const QString path = openedPath;
        file.close();
        const auto numbered = [&](int n) {
            return n == 0 ? path : path + QLatin1Char('.') + QString::number(n);
        };
        QFile::remove(numbered(files - 1));
        for (int n = files - 2; n >= 0; --n)
            QFile::rename(numbered(n), numbered(n + 1));
        openAt(path);
    }

    void openAt(const QString& path) {
        file.setFileName(path);
        Sys::ownerOnlyFolderOf(path);
        if (file.open(QIODevice::WriteOnly | QIODevice::Append,
                      QFile::ReadOwner | QFile::WriteOwner)) {
            Sys::ownerOnly(path);  // a file an earlier version made readable by all
            openedPath = path;
            refused = false;
        } else {
            openedPath.clear();
            refused = true;
            reportRefused(path);
        }
    }

    // Said once per file, on standard error only: the trace is for whoever looks into a fault,
    // and a message box about it would stop every start of a client whose program folder is
    // read-only (an install may keep it so). The program goes on without the trace.
    void reportRefused(const QString& path) {
        if (path == reported)
            return;
        reported = path;
        const QString text =
            QStringLiteral(
                "无法写入跟踪文件“%1”（%2），本次运行不再记录跟踪。如需跟踪，请让该"
                "文件夹允许写入，或用环境变量 QD_HOME 指定另一个程序文件夹。\n")
                .arg(path, file.errorString());
        const QByteArray bytes = text.toLocal8Bit();
        std::fwrite(bytes.constData(), 1, std::size_t(bytes.size()), stderr);
        std::fflush(stderr);
    }

    void openIfNeeded() {
        // The program home can move (tests, installs), so the default file follows it; a file
        // that could not be opened is tried again only then.
        if (homeGeneration == Sys::programHomeGeneration() && (file.isOpen() || refused))
            return;
        homeGeneration = Sys::programHomeGeneration();
        const QString path =
            overridePath.isEmpty() ? Sys::programPath(QStringLiteral("trace.log")) : overridePath;
        if (file.isOpen() && path == openedPath)
            return;
        flush();
        file.close();
        openAt(path);
    }

    // The local time of a line, to the millisecond; the date part is formatted once a second.
    qint64 appendStamp(QByteArray& line) {
        const qint64 ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                              std::chrono::system_clock::now().time_since_epoch())
                              .count();
        if (ms / 1000 != stampSecond) {
            stampSecond = ms / 1000;
            const std::time_t t = std::time_t(stampSecond);
            std::tm local{};
            localtime_r(&t, &local);
            char buf[32];
            std::strftime(buf, sizeof buf, "%Y-%m-%d %H:%M:%S.", &local);
            stamp = buf;
        }
        line += stamp;
        const int milli = int(ms % 1000);
        line += char('0' + milli / 100);
        line += char('0' + milli / 10 % 10);
        line += char('0' + milli % 10);
        return ms;
    }
};

TraceState& state() {
    static TraceState s;
    return s;
}

QString currentPath(const TraceState& s) {
    return s.overridePath.isEmpty() ? Sys::programPath(QStringLiteral("trace.log"))
                                    : s.overridePath;
}

void write(const char* tag, const QString& text, bool urgent) noexcept {
    try {
        TraceState& s = state();
        const std::lock_guard lock(s.mutex);
        QByteArray line;
        line.reserve(text.size() * 3 + 40);
        const qint64 now = s.appendStamp(line);
        line += ' ';
        line += tag;
        line += ' ';
        line += text.toUtf8();
        line += '\n';

        s.openIfNeeded();
        s.pending += line;
        if (urgent || s.pending.size() >= TraceState::kFlushBytes ||
            now - s.lastFlushMs >= TraceState::kFlushMs) {
            s.flush();
            s.lastFlushMs = now;
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
    write("[MSG]", text, false);
}

void LogError(const QString& text) {
    write("[ERROR]", text, true);
}

void LogSql(const QString& sql) {
    write("[SQL]", sql, false);
}

void LogTranslation(const QString& sql) {
    write("[SQLITE]", sql, false);
}

void flushTrace() {
    TraceState& s = state();
    const std::lock_guard lock(s.mutex);
    s.flush();
}

void setTraceToStderr(bool on) {
    TraceState& s = state();
    const std::lock_guard lock(s.mutex);
    s.toStderr = on;
}

void setTraceDetail(bool on) {
    state().detail = on;
}

bool traceDetail() {
    return state().detail;
}

void setTraceRotation(qint64 maxBytes, int files) {
    TraceState& s = state();
    const std::lock_guard lock(s.mutex);
    s.maxBytes = maxBytes > 0 ? maxBytes : TraceState::kDefaultMaxBytes;
    s.files = files > 0 ? files : TraceState::kDefaultFiles;
}

void setTraceFile(const QString& path) {
    TraceState& s = state();
    const std::lock_guard lock(s.mutex);
    s.flush();
    s.file.close();
    s.refused = false;
    s.overridePath = path.isEmpty() ? QString() : QFileInfo(path).absoluteFilePath();
}

QString traceFilePath() {
    TraceState& s = state();
    const std::lock_guard lock(s.mutex);
    return currentPath(s);
}

}  // namespace Qd::Core::Db
