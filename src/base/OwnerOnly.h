#pragma once

#include <QString>
#include <functional>
#include <string_view>

class QIODevice;

namespace Qd::Core::Sys {

// Files the client writes (the database, the trace, caches, settings, templates, exports) hold
// business data and secrets, so they are readable and writable by their owner only. Every
// writer that creates a file or a folder passes it through here.

// Makes an existing file owner-only (0600) or an existing folder owner-only (0700). True when
// done; false when `path` does not exist or its permissions cannot be changed.
bool ownerOnly(const QString& path);

// Creates `folder` with the folders above it that are missing; each folder made here is
// owner-only, folders that were there keep their permissions (the program's own folder may be
// shared on purpose). True when the folder exists afterwards.
bool ownerOnlyFolder(const QString& folder);

// ownerOnlyFolder for the folder that holds `file`.
bool ownerOnlyFolderOf(const QString& file);

// Writes `bytes` to an owner-only `file` (its folder made as by ownerOnlyFolderOf), replacing
// the old file only once the new one is whole. False when it cannot; the old file is kept.
bool writeOwnerOnlyFile(const QString& file, const QByteArray& bytes);

// The same for content written in pieces: `write` writes it to the device it is given, as many
// pieces as it likes (a large file never has to be in memory whole), and returns false to give
// up. The old file is replaced only once `write` succeeded and the new one is whole. A copy that
// can be made again (a cache) may skip waiting for the disk (`synced` false): a crash may then
// lose the new file, but never leaves a part of it under the name.
bool writeOwnerOnlyFile(const QString& file, const std::function<bool(QIODevice&)>& write,
                        bool synced = true);

// A file written under a temporary name beside its target and put in the target's place only
// once it is whole: a large file written piece by piece (an export), by us or by a library that
// takes a path. The temporary file is owner-only from its creation and is removed unless
// committed, so a failure or a cancel leaves no part of the file behind and an existing target
// as it was. Errors are the system's reasons, as it words them.
class PendingFile {
public:
    // Creates the temporary file; error() says why when it could not (the folder is missing or
    // not writable, the target exists and cannot be written).
    explicit PendingFile(const QString& target);
    ~PendingFile();
    PendingFile(const PendingFile&) = delete;
    PendingFile& operator=(const PendingFile&) = delete;

    bool ok() const { return m_fd >= 0 && m_error.isEmpty(); }
    QString error() const { return m_error; }
    // The temporary file, for a writer that opens files by path.
    const QString& path() const { return m_path; }
    // Appends bytes to the temporary file; false (with error()) when they could not be written.
    bool write(std::string_view bytes);
    // Waits for the disk, then renames the temporary file over the target (an existing one is
    // replaced at once). False (with error()) when it could not; the temporary file is gone.
    bool commit();

private:
    bool fail();  // takes errno's reason

    QString m_target;
    QString m_path;
    int m_fd = -1;
    bool m_committed = false;
    QString m_error;
};

}  // namespace Qd::Core::Sys
