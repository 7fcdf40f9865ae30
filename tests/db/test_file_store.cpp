// The file store of the data services: stored names shared by several attachment rows (counted
// references), content replaced under its name, streaming in chunks both ways (on each
// backend: the embedded database's own services and the ODBC ones on its driver), the embedded
// database's blob limit, and a store made before references were counted.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <QBuffer>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "base/ProgramHome.h"
#include "db/FileStore.h"
#include "support/BackendTest.h"
#include "support/Rows.h"
#include "support/TestEnv.h"

using namespace Qd::Core::Db;

namespace {

// Content of `size` bytes that differs at every offset a chunk could start at.
QByteArray pattern(qint64 size, int seed = 0) {
    QByteArray bytes(size, Qt::Uninitialized);
    for (qint64 i = 0; i < size; ++i)
        bytes[i] = char((i * 131 + i / 4093 + seed) & 0xff);
    return bytes;
}

QString md5Of(const QByteArray& bytes) {
    return MD5Print(QCryptographicHash::hash(bytes, QCryptographicHash::Md5));
}

// A stream that hands out at most `step` bytes a read (sequential or not), counting what it
// hands out; it may claim a size of its own without holding the bytes.
class Trickle : public QIODevice {
public:
    Trickle(QByteArray content, qint64 step, bool sequential, qint64 claimedSize = -1)
        : m_content(std::move(content)),
          m_step(step),
          m_sequential(sequential),
          m_claimed(claimedSize) {
        open(QIODevice::ReadOnly | QIODevice::Unbuffered);
    }
    bool isSequential() const override { return m_sequential; }
    qint64 size() const override { return m_claimed >= 0 ? m_claimed : m_content.size(); }
    bool seek(qint64 to) override {
        m_at = to;
        return QIODevice::seek(to);
    }
    qint64 handedOut = 0;
    qint64 largestRequest = 0;  // the most bytes asked for at once

protected:
    qint64 readData(char* data, qint64 max) override {
        largestRequest = std::max(largestRequest, max);
        const qint64 n = std::min({max, m_step, qint64(m_content.size()) - m_at});
        if (n <= 0)
            return m_sequential ? -1 : 0;
        memcpy(data, m_content.constData() + m_at, size_t(n));
        m_at += n;
        handedOut += n;
        return n;
    }
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    QByteArray m_content;
    qint64 m_step;
    bool m_sequential;
    qint64 m_claimed;
    qint64 m_at = 0;
};

// A stream that says it is far larger than the database keeps, and holds nothing.
class Huge : public QIODevice {
public:
    explicit Huge(qint64 size) : m_size(size) { open(QIODevice::ReadOnly); }
    qint64 size() const override { return m_size; }
    qint64 bytesRead = 0;

protected:
    qint64 readData(char* data, qint64 max) override {
        memset(data, 0, size_t(max));
        bytesRead += max;
        return max;
    }
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    qint64 m_size;
};

class FileStoreTest : public Qd::Test::DbTest {
protected:
    void SetUp() override {
        DbTest::SetUp();
        prompts().acceptAllMessages(true);
    }
    bool put(const QString& name, const QByteArray& content) {
        QByteArray copy = content;
        QBuffer buffer(&copy);
        return dataServices().putFile(name, buffer);
    }
    QByteArray downloaded(const QString& name) {
        QFile file(dataServices().downloadFile(name));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<none>");
    }
    QString scalar(const QString& sql, const Params& params = {}) {
        RecordSet rs = db().query(sql, params);
        return rs.isEmpty() ? QStringLiteral("<none>") : rs.textAt(rs.rowAt(0), 0);
    }
    // "name refcount md5 size" of every stored file, by name.
    QStringList stored() {
        return Qd::Test::rowTexts(
            db().query("select name, refcount, md5, size from qd_sys_filestore order by name"), {},
            " ");
    }
};

// The store's contract, on each backend: the stored rows are read back through the embedded
// backend on the same file.
using StoreContract = Qd::Test::OnEachBackend<FileStoreTest>;

TEST_P(StoreContract, OneStoredFileServesEveryRowThatNamesItUntilTheLastLetsGo) {
    // Given the same file attached twice under its content name
    const QByteArray content = pattern(70000);
    const QString name = md5Of(content) + ".pdf";
    ASSERT_TRUE(put(name, content));
    ASSERT_TRUE(put(name, content));
    EXPECT_EQ(stored(), QStringList{name + " 2 " + md5Of(content) + " 70000"});

    // When one attachment is deleted, the other still downloads its file
    EXPECT_TRUE(dataServices().delAttachFile(name));
    EXPECT_EQ(downloaded(name), content);
    EXPECT_EQ(stored(), QStringList{name + " 1 " + md5Of(content) + " 70000"});

    // and with the second the stored file goes; a third delete finds nothing.
    EXPECT_TRUE(dataServices().delAttachFile(name));
    EXPECT_TRUE(stored().isEmpty());
    EXPECT_TRUE(dataServices().downloadFile(name).isEmpty());
    EXPECT_FALSE(dataServices().delAttachFile(name));
    EXPECT_FALSE(dataServices().delAttachFile(QStringLiteral("never-stored.png")));

    // A stored name cannot write outside the cache.
    ASSERT_TRUE(put("../../逃逸.txt", "x"));
    EXPECT_TRUE(dataServices()
                    .downloadFile("../../逃逸.txt")
                    .startsWith(Qd::Core::Sys::programPath("cache/files/")));

    // Other names are not touched by any of it.
    ASSERT_TRUE(put("a.txt", "A"));
    ASSERT_TRUE(put("b.txt", "B"));
    EXPECT_TRUE(dataServices().delAttachFile("a.txt"));
    EXPECT_EQ(downloaded("b.txt"), QByteArray("B"));
    EXPECT_TRUE(prompts().asked().empty());
}

TEST_P(StoreContract, OtherContentUnderAStoredNameReplacesItAndCountsOneMoreReference) {
    const QByteArray first = pattern(5000, 1), second = pattern(5000, 2), longer = pattern(9000);
    ASSERT_TRUE(put("合同.pdf", first));
    ASSERT_TRUE(put("合同.pdf", second));  // the same size, other bytes
    EXPECT_EQ(stored(), QStringList{"合同.pdf 2 " + md5Of(second) + " 5000"});
    EXPECT_EQ(downloaded("合同.pdf"), second);
    ASSERT_TRUE(put("合同.pdf", longer));
    EXPECT_EQ(stored(), QStringList{"合同.pdf 3 " + md5Of(longer) + " 9000"});
    EXPECT_EQ(downloaded("合同.pdf"), longer);

    // A copy changed where it was opened is replaced by the stored content on the next fetch,
    // and nothing is left beside it.
    const QString copy = dataServices().downloadFile("合同.pdf");
    {
        QFile edited(copy);
        ASSERT_TRUE(edited.open(QIODevice::WriteOnly));
        edited.write("edited");
    }
    EXPECT_EQ(downloaded("合同.pdf"), longer);
    EXPECT_EQ(QDir(QFileInfo(copy).path()).entryList(QDir::Files), QStringList{"合同.pdf"});

    // Each put is one reference to let go of.
    for (int k = 0; k < 3; ++k)
        EXPECT_TRUE(dataServices().delAttachFile("合同.pdf"));
    EXPECT_FALSE(dataServices().delAttachFile("合同.pdf"));
    EXPECT_TRUE(prompts().asked().empty());
}

TEST_P(StoreContract, ContentStreamsThroughInChunksOfAnySize) {
    // Sizes around the chunk, read in steps that never meet it, seekable and sequential.
    const qint64 chunk = FileStore::kChunkBytes;
    const struct {
        qint64 size;
        qint64 step;
        bool sequential;
    } cases[] = {{0, 1, false},
                 {1, 1, true},
                 {chunk, 4096, false},
                 {chunk + 1, 777, true},
                 {2 * chunk + 12345, 65537, false},
                 {3 * chunk - 1, chunk + 3, true}};
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(QStringLiteral("%1 bytes by %2").arg(c.size).arg(c.step).toStdString());
        const QByteArray content = pattern(c.size, ++n);
        const QString name = md5Of(content) + QStringLiteral(".bin");
        Trickle stream(content, c.step, c.sequential);
        ASSERT_TRUE(dataServices().putFile(name, stream)) << prompts().last().text.toStdString();
        EXPECT_EQ(stream.handedOut, c.size);  // read once: hashed while written
        EXPECT_LE(stream.largestRequest, FileStore::kChunkBytes);  // never the whole at once
        const QByteArray back = downloaded(name);
        EXPECT_EQ(back.size(), content.size());
        EXPECT_TRUE(back == content);
        EXPECT_EQ(scalar("select md5 from qd_sys_filestore where name = :n", {{"n", name}}),
                  md5Of(content));
    }
    // A download replaces an older copy in the cache whole.
    ASSERT_TRUE(put("same.txt", "新的内容"));
    QFile old(Qd::Core::Sys::programPath("cache/files/same.txt"));
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write(pattern(300000));
    old.close();
    EXPECT_EQ(downloaded("same.txt"), QByteArray("新的内容"));
    EXPECT_TRUE(prompts().asked().empty());
}

TEST_F(FileStoreTest, FilesOverTheBlobLimitAreRefusedBeforeTheyAreRead) {
    // A file that says it is larger than the database's limit: refused unread, named.
    Huge huge(2'000'000'000);
    EXPECT_FALSE(dataServices().putFile(QStringLiteral("录像.mp4"), huge));
    EXPECT_EQ(huge.bytesRead, 0);
    ASSERT_EQ(prompts().asked().size(), 1u);
    EXPECT_EQ(prompts().last().kind, 1);
    EXPECT_TRUE(prompts().last().text.contains("录像.mp4")) << prompts().last().text.toStdString();
    EXPECT_TRUE(prompts().last().text.contains("1000000000"))
        << prompts().last().text.toStdString();
    EXPECT_TRUE(stored().isEmpty());

    // A lower limit of the connection is the one that counts. It holds the whole row: the
    // largest content under a name is stored (with a name as long as the server's column
    // takes), one byte more is refused by the store, never half-written by the database.
    prompts().clear();
    sqlite3_limit(db().handle(), SQLITE_LIMIT_LENGTH, 100000);
    const FileStore store(db().handle());
    const QString longName = QString(251, QChar(0x6587)) + QStringLiteral(".bin");  // 757 bytes
    ASSERT_TRUE(put(longName, pattern(store.largestContent(longName))));
    EXPECT_EQ(downloaded(longName).size(), store.largestContent(longName));
    EXPECT_FALSE(put("over.bin", pattern(store.largestContent("over.bin") + 1)));
    EXPECT_TRUE(prompts().last().text.contains("over.bin"));
    EXPECT_TRUE(prompts().last().text.contains("100000"));
    Trickle endless(pattern(5'000'000), 4096, true);
    EXPECT_FALSE(dataServices().putFile("pipe.bin", endless));
    EXPECT_LE(endless.handedOut, 100000 + FileStore::kChunkBytes);
    EXPECT_TRUE(prompts().last().text.contains("pipe.bin"));
    EXPECT_EQ(stored().size(), 1);
}

TEST_P(StoreContract, AStreamThatEndsEarlyStoresNothing) {
    // It says 50000 bytes and has 30000: nothing of it stays, the message names it.
    Trickle shortStream(pattern(30000), 4096, false, 50000);
    EXPECT_FALSE(dataServices().putFile(QStringLiteral("断了.png"), shortStream));
    EXPECT_TRUE(prompts().last().text.contains("断了.png")) << prompts().last().text.toStdString();
    EXPECT_TRUE(stored().isEmpty());

    // Over a stored name, the stored file stays as it was, its references too.
    ASSERT_TRUE(put("kept.png", "旧的"));
    Trickle broken(pattern(30000), 4096, false, 50000);
    EXPECT_FALSE(dataServices().putFile(QStringLiteral("kept.png"), broken));
    EXPECT_EQ(stored(), QStringList{"kept.png 1 " + md5Of("旧的") + " 6"});
    EXPECT_EQ(downloaded("kept.png"), QByteArray("旧的"));
}

TEST_F(FileStoreTest, AStoreMadeBeforeSharingCountsOneReferencePerFile) {
    // Given a database whose store has no reference count
    const QString path = dir() + "/old.db";
    {
        sqlite3* raw = nullptr;
        ASSERT_EQ(sqlite3_open(path.toUtf8().constData(), &raw), SQLITE_OK);
        ASSERT_EQ(sqlite3_exec(raw,
                               "create table qd_sys_filestore(id integer primary key "
                               "autoincrement, orgid integer default 0, name text not null "
                               "unique, content blob, md5 text, size integer, created datetime);"
                               "insert into qd_sys_filestore(name, content, md5, size) "
                               "values('a.txt', x'4142', '', 2), ('b.txt', x'43', '', 1)",
                               nullptr, nullptr, nullptr),
                  SQLITE_OK);
        sqlite3_close(raw);
    }
    // When the data services open it
    SqliteDataServices old(path);
    setDataServices(&old);
    // Then each stored file counts one reference, and sharing works from here on.
    EXPECT_EQ(stored(), QStringList());  // the test's own database is not this one
    const auto refcounts = [&] {
        return Qd::Test::rowTexts(
            old.query("select name, refcount from qd_sys_filestore order by name"), {}, " ");
    };
    EXPECT_EQ(refcounts(), (QStringList{"a.txt 1", "b.txt 1"}));
    QBuffer again;
    again.setData("AB");
    EXPECT_TRUE(old.putFile("a.txt", again));
    EXPECT_TRUE(old.delAttachFile("a.txt"));
    EXPECT_TRUE(old.delAttachFile("b.txt"));
    EXPECT_EQ(refcounts(), QStringList{"a.txt 1"});
    EXPECT_TRUE(old.delAttachFile("a.txt"));
    EXPECT_FALSE(old.delAttachFile("a.txt"));
    setDataServices(&db());
    EXPECT_TRUE(prompts().asked().empty());
}

}  // namespace

INSTANTIATE_TEST_SUITE_P(Backends, StoreContract, ::testing::Bool(), Qd::Test::backendName);
