#include "base/OwnerOnly.h"

#include <fcntl.h>
#include <unistd.h>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringList>
#include <QTemporaryFile>

#include <cerrno>
#include <cstring>
#include <filesystem>

namespace Qd::Core::Sys {

bool ownerOnly(const QString& path) {
    const QFileInfo info(path);
    if (!info.exists())
        return false;
    QFile::Permissions owner = QFile::ReadOwner | QFile::WriteOwner;
    if (info.isDir())
        owner |= QFile::ExeOwner;
    return QFile::setPermissions(path, owner);
}

bool ownerOnlyFolder(const QString& folder) {
    // The missing folders, outermost first: only these are made (and restricted) here.
    QStringList missing;
    for (QString path = QDir::cleanPath(QDir(folder).absolutePath()); !QFileInfo::exists(path);) {
        missing.prepend(path);
        const QString parent = QFileInfo(path).path();
        if (parent == path)
            break;
        path = parent;
    }
    for (const QString& path : missing) {
        if (!QDir().mkdir(path) && !QFileInfo(path).isDir())
            return false;
        ownerOnly(path);
    }
    return QFileInfo(folder).isDir();
}

bool ownerOnlyFolderOf(const QString& file) {
    return ownerOnlyFolder(QFileInfo(file).absolutePath());
}

bool writeOwnerOnlyFile(const QString& file, const QByteArray& bytes) {
    // A copy that holds these bytes already stays as it is: templates and layouts are written
    // out again on every use, and reading is far cheaper than replacing.
    if (QFile existing(file); existing.size() == bytes.size() &&
                              existing.open(QIODevice::ReadOnly) && existing.readAll() == bytes)
        return ownerOnly(file);
    return writeOwnerOnlyFile(file,
                              [&](QIODevice& out) { return out.write(bytes) == bytes.size(); });
}

bool writeOwnerOnlyFile(const QString& file, const std::function<bool(QIODevice&)>& write,
                        bool synced) {
    if (!ownerOnlyFolderOf(file))
        return false;
    if (synced) {
        QSaveFile out(file);
        if (!out.open(QIODevice::WriteOnly))
            return false;
        if (!write(out)) {
            out.cancelWriting();
            return false;
        }
        return out.commit() && ownerOnly(file);
    }
    // Beside the file (one file system, so the rename replaces it at once), owner-only from
    // the start, removed unless it became the file.
    QTemporaryFile out(file + QStringLiteral(".XXXXXX"));
    if (!out.open() || !write(out) || !out.flush())
        return false;
    std::error_code error;
    std::filesystem::rename(out.fileName().toStdString(), file.toStdString(), error);
    if (error)
        return false;
    out.setAutoRemove(false);
    return ownerOnly(file);
}

// ---- PendingFile ------------------------------------------------------------------------------

PendingFile::PendingFile(const QString& target) : m_target(target) {
    const QByteArray native = QFile::encodeName(target);
    // An existing target that cannot be written is refused now, not replaced behind its back.
    if (const int fd = ::open(native.constData(), O_WRONLY | O_APPEND | O_NONBLOCK | O_CLOEXEC);
        fd >= 0) {
        ::close(fd);
    } else if (errno != ENOENT) {
        fail();
        return;
    }
    // Hidden, in the target's folder (one file system: the rename replaces at once), created
    // owner-only by mkstemp.
    const QFileInfo info(target);
    QByteArray name = QFile::encodeName(info.absolutePath() + QStringLiteral("/.") +
                                        info.fileName() + QStringLiteral(".XXXXXX"));
    m_fd = ::mkostemp(name.data(), O_CLOEXEC);
    if (m_fd < 0) {
        fail();
        return;
    }
    m_path = QFile::decodeName(name);
}

PendingFile::~PendingFile() {
    if (m_fd >= 0)
        ::close(m_fd);
    if (!m_committed && !m_path.isEmpty())
        ::unlink(QFile::encodeName(m_path).constData());
}

bool PendingFile::fail() {
    m_error = QString::fromLocal8Bit(std::strerror(errno));
    return false;
}

bool PendingFile::write(std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(m_fd, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return fail();
        }
        bytes.remove_prefix(std::size_t(n));
    }
    return true;
}

bool PendingFile::commit() {
    if (::fsync(m_fd) != 0 || ::close(std::exchange(m_fd, -1)) != 0)
        return fail();
    if (::rename(QFile::encodeName(m_path).constData(), QFile::encodeName(m_target).constData()) !=
        0)
        return fail();
    m_committed = true;
    return true;
}

}  // namespace Qd::Core::Sys
