#include "base/OwnerOnly.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringList>
#include <QTemporaryFile>
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

}  // namespace Qd::Core::Sys
