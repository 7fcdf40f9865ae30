// Hostile values as the names of stored files: the file store keeps each name exactly, gives
// the file back under it and removes it by it, touching no other row. See
// support/HostileValues.h.
#include <gtest/gtest.h>

#include <QBuffer>
#include <QDir>
#include <QFile>

#include "support/HostileValues.h"
#include "support/TestEnv.h"

using namespace Qd::Test;

namespace {

class Injection : public DbTest {};

}  // namespace

TEST_F(Injection, AStoredFileKeepsItsName) {
    QBuffer first;
    ASSERT_TRUE(db().putFile("first", first));  // the store's table exists from here on
    const int nameWidth = columnWidth(dbPath(), "qd_sys_filestore", "name");
    forEachHostileValue([&](const HostileValue& v) {
        QByteArray content = v.text.toUtf8();
        QBuffer stream(&content);
        const DbSnapshot before(dbPath());
        if (!v.fits(nameWidth)) {
            prompts().answer(Qd::Core::Ui::mrOk);
            EXPECT_FALSE(db().putFile(v.text, stream));
            EXPECT_TRUE(prompts().last().text.contains("would be truncated"));
            EXPECT_EQ(DbSnapshot(dbPath()).changesSince(before), QString());
            return;
        }
        ASSERT_TRUE(db().putFile(v.text, stream));
        const DbSnapshot stored(dbPath());
        EXPECT_EQ(stored.changesSince(before),
                  "qd_sys_filestore: 1 added; qd_sys_filestore_content: 1 added");
        EXPECT_EQ(freshText(dbPath(),
                            "select name from qd_sys_filestore where id = (select "
                            "max(id) from qd_sys_filestore)"),
                  v.stored());

        const QString path = db().downloadFile(v.text);
        ASSERT_FALSE(path.isEmpty());
        EXPECT_TRUE(QDir::cleanPath(path).startsWith(QDir(dir()).filePath("cache/files/")));
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        EXPECT_EQ(file.readAll(), content);

        EXPECT_TRUE(db().delAttachFile(v.text));
        EXPECT_EQ(DbSnapshot(dbPath()).changesSince(stored),
                  "qd_sys_filestore: 1 removed; qd_sys_filestore_content: 1 removed");
    });
    EXPECT_EQ(prompts().pending(), 0);
}
