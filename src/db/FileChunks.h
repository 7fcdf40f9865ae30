#pragma once

// A file on its way into the database's file store, read in chunks: its size known before
// anything is stored, its content read once per pass, never whole in memory.

#include <QString>
#include <QTemporaryFile>
#include <functional>
#include <memory>
#include <optional>

#include "db/DbError.h"

class QIODevice;

namespace Qd::Core::Db {

inline constexpr qint64 kFileChunkBytes = 1 << 20;

// "too large" naming the file, its size when known and the database's limit of one value.
DbError tooLarge(const QString& label, std::optional<qint64> size, qint64 limit);
DbError readFailed(const QString& label, const QIODevice& in);

// A sequential stream (a pipe, a socket) copied to a temporary file, so that its size is known
// before anything is stored; refused once it passes `largest` (the database's `limit` less its
// row).
std::unique_ptr<QTemporaryFile> spool(QIODevice& in, qint64 largest, const QString& label,
                                      qint64 limit);

// Reads `size` bytes of `in` in chunks, handing each (data, bytes, offset) to `take`; throws
// when the stream ends early or holds more than it said.
using ChunkTaker = std::function<void(const char* data, qint64 bytes, qint64 offset)>;
void readChunks(QIODevice& in, qint64 size, const QString& label, const ChunkTaker& take);

// Where the local copy of a stored file goes: under the program home's "cache/files/", each
// part of the stored name made safe for the file system, none climbing out of the cache.
QString localCopyPath(const QString& storedName);

}  // namespace Qd::Core::Db
