#pragma once

#include <QString>
#include <functional>

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

}  // namespace Qd::Core::Sys
