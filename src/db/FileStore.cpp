#include "db/FileStore.h"

#include <QFile>

#include <sqlite3.h>

#include <QCryptographicHash>
#include <QIODevice>
#include <QTemporaryFile>
#include <algorithm>
#include <memory>
#include <optional>

#include "base/OwnerOnly.h"
#include "db/DataServices.h"
#include "db/DbError.h"
#include "db/FileChunks.h"
#include "db/Trace.h"

namespace Qd::Core::Db {

namespace {

DbError databaseError(sqlite3* db, const QString& statement) {
    return DbError(QStringLiteral("数据库错误：") + QString::fromUtf8(sqlite3_errmsg(db)) +
                       QLatin1Char('\n') + statement,
                   sqlite3_extended_errcode(db));
}

void execute(sqlite3* db, const char* sql) {
    if (sqlite3_exec(db, sql, nullptr, nullptr, nullptr) != SQLITE_OK)
        throw databaseError(db, QString::fromUtf8(sql));
}

// A prepared statement of our own, finalized when it goes.
class Statement {
public:
    Statement(sqlite3* db, const char* sql) : m_db(db), m_sql(sql) {
        if (sqlite3_prepare_v2(db, sql, -1, &m_stmt, nullptr) != SQLITE_OK)
            throw databaseError(db, QString::fromUtf8(sql));
    }
    ~Statement() { sqlite3_finalize(m_stmt); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    Statement& bind(int index, const QString& text) {
        const QByteArray utf8 = text.toUtf8();
        sqlite3_bind_text(m_stmt, index, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
        return *this;
    }
    Statement& bind(int index, qint64 value) {
        sqlite3_bind_int64(m_stmt, index, value);
        return *this;
    }
    // True while it gives a row; throws when the database refuses.
    bool step() {
        const int rc = sqlite3_step(m_stmt);
        if (rc == SQLITE_ROW)
            return true;
        if (rc != SQLITE_DONE)
            throw databaseError(m_db, QString::fromUtf8(m_sql));
        return false;
    }
    qint64 integer(int column) const { return sqlite3_column_int64(m_stmt, column); }
    QString text(int column) const {
        return QString::fromUtf8(
            reinterpret_cast<const char*>(sqlite3_column_text(m_stmt, column)));
    }

private:
    sqlite3* m_db;
    const char* m_sql;
    sqlite3_stmt* m_stmt = nullptr;
};

// One transaction around a change of the store, or a savepoint when the connection is inside
// one already; rolled back unless committed.
class Transaction {
public:
    explicit Transaction(sqlite3* db) : m_db(db), m_outer(sqlite3_get_autocommit(db) != 0) {
        // "immediate": the write lock first, so that two clients never deadlock on upgrading.
        execute(m_db, m_outer ? "begin immediate" : "savepoint qd_filestore");
    }
    ~Transaction() {
        if (m_done)
            return;
        // After some I/O errors the database has rolled back by itself: the statements may fail.
        if (m_outer)
            sqlite3_exec(m_db, "rollback", nullptr, nullptr, nullptr);
        else
            sqlite3_exec(m_db, "rollback to qd_filestore; release qd_filestore", nullptr, nullptr,
                         nullptr);
    }
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;
    void commit() {
        execute(m_db, m_outer ? "commit" : "release qd_filestore");
        m_done = true;
    }

private:
    sqlite3* m_db;
    bool m_outer;
    bool m_done = false;
};

class Blob {
public:
    Blob(sqlite3* db, qint64 row, bool write) : m_db(db) {
        if (sqlite3_blob_open(db, "main", "qd_sys_filestore_content", "content", row, write ? 1 : 0,
                              &m_blob) != SQLITE_OK)
            throw databaseError(
                db, QStringLiteral("sqlite3_blob_open qd_sys_filestore_content.content"));
    }
    ~Blob() { sqlite3_blob_close(m_blob); }
    Blob(const Blob&) = delete;
    Blob& operator=(const Blob&) = delete;
    qint64 size() const { return sqlite3_blob_bytes(m_blob); }
    void write(const char* data, qint64 bytes, qint64 offset) {
        if (sqlite3_blob_write(m_blob, data, int(bytes), int(offset)) != SQLITE_OK)
            throw databaseError(m_db,
                                QStringLiteral("sqlite3_blob_write qd_sys_filestore.content"));
    }
    bool read(char* data, qint64 bytes, qint64 offset) {
        return sqlite3_blob_read(m_blob, data, int(bytes), int(offset)) == SQLITE_OK;
    }

private:
    sqlite3* m_db;
    sqlite3_blob* m_blob = nullptr;
};

struct StoredFile {
    qint64 id = 0;
    QString md5;
    qint64 size = 0;
    qint64 refcount = 0;
};

std::optional<StoredFile> find(sqlite3* db, const QString& name) {
    Statement st(db, "select id, md5, size, refcount from qd_sys_filestore where name = ?1");
    st.bind(1, name);
    if (!st.step())
        return std::nullopt;
    return StoredFile{st.integer(0), st.text(1), st.integer(2), st.integer(3)};
}

bool hasColumn(sqlite3* db, const char* table, const char* column) {
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db, "select 1 from pragma_table_info(?1) where name = ?2", -1, &st, nullptr);
    sqlite3_bind_text(st, 1, table, -1, SQLITE_STATIC);
    sqlite3_bind_text(st, 2, column, -1, SQLITE_STATIC);
    const bool found = sqlite3_step(st) == SQLITE_ROW;
    sqlite3_finalize(st);
    return found;
}

}  // namespace

bool FileStore::prepare(sqlite3* db) {
    // The content has a table of its own, as its only column besides the key: changing a row
    // rewrites all of it, so a reference counted or a hash written beside a large file would
    // copy the whole file each time; and the database writes a zeroblob without making it in
    // memory only when it is a row's last column.
    static const char create[] =
        "create table if not exists qd_sys_filestore(id integer primary key autoincrement,"
        " orgid integer default 0, name text not null unique, md5 text, size integer,"
        " created datetime default (datetime('now','localtime')),"
        " refcount integer not null default 1);"
        "create table if not exists qd_sys_filestore_content(id integer primary key,"
        " content blob)";
    if (sqlite3_exec(db, create, nullptr, nullptr, nullptr) != SQLITE_OK)
        return false;
    if (hasColumn(db, "qd_sys_filestore", "refcount") &&
        !hasColumn(db, "qd_sys_filestore", "content"))
        return true;
    // A store made before files were shared: each row it holds is one reference, and its
    // content moves to the content table.
    try {
        Transaction transaction(db);
        if (!hasColumn(db, "qd_sys_filestore", "refcount"))
            execute(db,
                    "alter table qd_sys_filestore add column refcount integer not null"
                    " default 1");
        if (hasColumn(db, "qd_sys_filestore", "content")) {
            execute(db,
                    "insert or replace into qd_sys_filestore_content(id, content)"
                    " select id, content from qd_sys_filestore");
            execute(db, "alter table qd_sys_filestore drop column content");
        }
        transaction.commit();
        return true;
    } catch (const DbError& e) {
        LogError(e.message());
        return false;
    }
}

qint64 FileStore::limit() const {
    return sqlite3_limit(m_db, SQLITE_LIMIT_LENGTH, -1);
}

qint64 FileStore::largestContent(const QString& name) const {
    return limit() - name.toUtf8().size() - kRowBytes;
}

void FileStore::put(const QString& name, QIODevice& stream, const QString& label) {
    if (!stream.isOpen() && !stream.open(QIODevice::ReadOnly))
        throw DbError(QStringLiteral("无法读取文件 \"%1\"：%2").arg(label, stream.errorString()));
    std::unique_ptr<QTemporaryFile> spooled;
    QIODevice* in = &stream;
    const qint64 largest = largestContent(name);
    if (stream.isSequential()) {
        spooled = spool(stream, largest, label, limit());
        in = spooled.get();
    }
    const qint64 size = in->size() - in->pos();
    if (size > largest)
        throw tooLarge(label, size, limit());
    LogMsg(QStringLiteral("文件库：保存 %1（%2 字节）").arg(name).arg(size));

    Transaction transaction(m_db);
    const std::optional<StoredFile> stored = find(m_db, name);
    if (stored && stored->size == size && !stored->md5.isEmpty()) {
        // Most likely the same file again: compare before writing anything.
        const qint64 start = in->pos();
        QCryptographicHash hash(QCryptographicHash::Md5);
        readChunks(*in, size, label, [&](const char* data, qint64 n, qint64) {
            hash.addData({data, n});
        });
        if (MD5Print(hash.result()) == stored->md5) {
            Statement(m_db, "update qd_sys_filestore set refcount = refcount + 1 where id = ?1")
                .bind(1, stored->id)
                .step();
            transaction.commit();
            return;
        }
        if (!in->seek(start))
            throw readFailed(label, *in);
    }

    qint64 id = 0;
    if (stored) {
        Statement(m_db,
                  "update qd_sys_filestore set size = ?2, md5 = null, refcount = refcount + 1"
                  " where id = ?1")
            .bind(1, stored->id)
            .bind(2, size)
            .step();
        id = stored->id;
    } else {
        Statement(m_db, "insert into qd_sys_filestore(name, size, refcount) values(?1, ?2, 1)")
            .bind(1, name)
            .bind(2, size)
            .step();
        id = sqlite3_last_insert_rowid(m_db);
    }
    Statement(
        m_db,
        "insert or replace into qd_sys_filestore_content(id, content) values(?1, zeroblob(?2))")
        .bind(1, id)
        .bind(2, size)
        .step();
    QCryptographicHash hash(QCryptographicHash::Md5);
    {
        Blob blob(m_db, id, true);
        readChunks(*in, size, label, [&](const char* data, qint64 n, qint64 offset) {
            hash.addData({data, n});
            blob.write(data, n, offset);
        });
    }
    Statement(m_db, "update qd_sys_filestore set md5 = ?2 where id = ?1")
        .bind(1, id)
        .bind(2, MD5Print(hash.result()))
        .step();
    transaction.commit();
}

bool FileStore::download(const QString& name, const QString& path) {
    const std::optional<StoredFile> stored = find(m_db, name);
    if (!stored)
        return false;
    // The open blob keeps one read transaction: the copy is of one version of the content.
    Blob blob(m_db, stored->id, false);
    const qint64 size = blob.size();
    // An earlier copy goes first: renaming the new one over it would have the file system
    // write the new one out at once (its guard for files replaced by rename), doubling the cost.
    // The name then holds the old copy, nothing, or the new one whole.
    QFile::remove(path);
    const bool written = Sys::writeOwnerOnlyFile(
        path,
        [&](QIODevice& out) {
            QByteArray chunk(int(std::min(std::max<qint64>(size, 1), kChunkBytes)),
                             Qt::Uninitialized);
            for (qint64 done = 0; done < size;) {
                const qint64 n = std::min<qint64>(chunk.size(), size - done);
                if (!blob.read(chunk.data(), n, done) || out.write(chunk.constData(), n) != n)
                    return false;
                done += n;
            }
            return true;
        },
        /*synced=*/false);  // a copy the store can give again
    if (!written)
        throw DbError(QStringLiteral("无法写入文件 \"%1\"").arg(path));
    return true;
}

bool FileStore::release(const QString& name) {
    Transaction transaction(m_db);
    const std::optional<StoredFile> stored = find(m_db, name);
    if (!stored)
        return false;
    if (stored->refcount > 1) {
        Statement(m_db, "update qd_sys_filestore set refcount = refcount - 1 where id = ?1")
            .bind(1, stored->id)
            .step();
    } else {
        Statement(m_db, "delete from qd_sys_filestore_content where id = ?1")
            .bind(1, stored->id)
            .step();
        Statement(m_db, "delete from qd_sys_filestore where id = ?1").bind(1, stored->id).step();
    }
    transaction.commit();
    LogMsg(QStringLiteral("文件库：释放 %1").arg(name));
    return true;
}

}  // namespace Qd::Core::Db
