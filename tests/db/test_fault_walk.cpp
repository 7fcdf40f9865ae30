// Every save walked over every file-system step it takes, each failing in turn (see
// support/FaultWalk.h). A save path joins with one SaveCase in the list below.
#include <gtest/gtest.h>

#include <QBuffer>

#include "db/RecordSet.h"
#include "support/FaultWalk.h"
#include "support/Rows.h"
#include "support/TestEnv.h"

using namespace Qd::Core::Db;

namespace {

class FaultWalk : public Qd::Test::DbTest {
protected:
    void SetUp() override {
        DbTest::SetUp();
        prompts().acceptAllMessages(true);
        ASSERT_TRUE(db().execSQL(
            "create table goods(id integer primary key, code varchar(20) not null unique,"
            " name nvarchar(50), price money);"
            "insert into goods values(1, 'A1', N'苹果', 2.5);"
            "insert into goods values(2, 'A2', N'香蕉', 3.75)"));
    }

    static QString recordSetText(const RecordSet& rs) {
        return Qd::Test::rowTexts(rs).join('\n') +
               QStringLiteral("\nchanges: %1").arg(rs.changeCount());
    }

    RecordSet m_goods;
};

// A record set's change log saved through the data services in one batch: the path every
// list window's save takes.
TEST_F(FaultWalk, ChangeLogSaveOfAList) {
    const Qd::Test::SaveCase save{
        "list save",
        [&] {
            m_goods = RecordSet();
            ASSERT_TRUE(dataServices().openDataToCDS(m_goods, "select * from goods order by id"));
            m_goods.edit();
            m_goods.field("name").setValue(QStringLiteral("红苹果"));
            m_goods.post();
            for (int k = 0; k < 10; ++k) {
                m_goods.append();
                m_goods.field("id").setValue(10 + k);
                m_goods.field("code").setValue(QStringLiteral("N%1").arg(k));
                m_goods.field("price").setValue(1.005 + k);
                m_goods.post();
            }
        },
        [&] {
            QStringList sql;
            GetUpDataSQLList("goods", "id", {}, m_goods, sql, 0);
            return dataServices().execSQL(sql.join(";\n"));
        },
        [&] { return recordSetText(m_goods); },
    };
    EXPECT_GT(Qd::Test::walkFaults(db().handle(), prompts(), save), 5);
}

// A batch that saves and then reads back what it saved, as a window saving a new row and
// learning its id does: a failure leaves nothing, and the batch run again stores the whole.
TEST_F(FaultWalk, SaveThatReadsBackWhatItSaved) {
    const Qd::Test::SaveCase save{
        "save and read back",
        [] {},
        [&] {
            RecordSet saved;
            return dataServices().openDataToCDS(
                       saved,
                       "insert into goods(code, name, price) values('B1', N'梨', 4)\r\n"
                       "declare @id bigint = (select max(id) from goods where code = 'B1')\r\n"
                       "update goods set price = price + @id where id = @id\r\n"
                       "select @id") &&
                   saved.recordCount() == 1;
        },
        [] { return QString(); },
    };
    EXPECT_GT(Qd::Test::walkFaults(db().handle(), prompts(), save), 5);
}

// `content` put into the file store under `name`, as a save the walk goes over.
Qd::Test::SaveCase upload(const char* what, const QString& name, QByteArray& content) {
    return {what, [] {},
            [&content, name] {
                QBuffer buffer(&content);
                return dataServices().putFile(name, buffer);
            },
            [] { return QString(); }};
}

// A file replacing one of the same name in the file store: the old content stays until the new
// one is whole.
TEST_F(FaultWalk, FileStoreUpload) {
    QByteArray old(20000, 'a'), replacement(60000, 'b');  // pages of their own
    QBuffer first(&old);
    ASSERT_TRUE(dataServices().putFile(QStringLiteral("logo.png"), first));
    EXPECT_GT(Qd::Test::walkFaults(db().handle(), prompts(),
                                   upload("file upload", "logo.png", replacement)),
              5);
}

// A new file streamed into the store, and the same file put again as a second attachment of
// it (one more reference): whole or not at all. (Files of several chunks take the same steps,
// only more of them: test_file_store.cpp streams those.)
TEST_F(FaultWalk, FileStoreNewAndSharedFile) {
    QByteArray content(30000, 'c');
    for (int i = 0; i < content.size(); i += 997)
        content[i] = char(i);
    EXPECT_GT(
        Qd::Test::walkFaults(db().handle(), prompts(), upload("new file", "new.bin", content)), 5);
    QBuffer first(&content);
    ASSERT_TRUE(dataServices().putFile(QStringLiteral("shared.bin"), first));
    EXPECT_GT(Qd::Test::walkFaults(db().handle(), prompts(),
                                   upload("shared file", "shared.bin", content)),
              3);
}

}  // namespace
