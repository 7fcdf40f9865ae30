#pragma once

#include <QString>

class QIODevice;
struct sqlite3;

namespace Qd::Core::Db {

// The file store inside the database: table qd_sys_filestore, one row per stored name with its
// MD5, size and the number of references to it, and its content in qd_sys_filestore_content
// under the same id. Stored names are content hashes (MD5
// hex and extension), so several attachment rows share one stored file; each put counts one
// reference and each release drops one, and the content goes with the last. Content moves in
// chunks both ways through the database's incremental blob I/O, so a file never has to fit in
// memory. Every change runs in one transaction (a savepoint inside an open one): a failure
// leaves nothing half-stored. Errors throw DbError with the message a user is shown and the
// database's result code.
class FileStore {
public:
    static constexpr qint64 kChunkBytes = 1 << 20;  // = kFileChunkBytes

    explicit FileStore(sqlite3* db) : m_db(db) {}

    // Makes the tables, or brings a store made before files were shared up to date: its rows
    // count one reference each and their content moves to the content table. False when the
    // database refuses.
    static bool prepare(sqlite3* db);

    // Stores the rest of `stream` (opened for reading here when it is not open) under `name`:
    // a new name gets a row; a name stored with the same MD5 one more reference and its content
    // is not written again; a name stored with other content gets the new content and one more
    // reference as well. A stream larger than largestContent is refused before it is read (a
    // sequential one once the limit is passed), naming `label` and the limit.
    void put(const QString& name, QIODevice& stream, const QString& label);

    // Writes the content stored under `name` to the owner-only file `path`, replacing a file
    // there only once the new one is whole. False when nothing is stored under the name.
    bool download(const QString& name, const QString& path);

    // Drops one reference to `name`, and the stored file with its last. False when nothing is
    // stored under the name.
    bool release(const QString& name);

    // The database's limit of one value, in bytes (its blob limit: 10^9 unless lowered).
    qint64 limit() const;
    // The largest content storable under `name`: the limit holds the whole row, so the name and
    // the other columns (at most kRowBytes besides the name) come off it.
    qint64 largestContent(const QString& name) const;
    static constexpr qint64 kRowBytes = 256;

private:
    sqlite3* m_db;
};

}  // namespace Qd::Core::Db
