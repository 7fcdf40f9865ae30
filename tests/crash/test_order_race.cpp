// Two users editing one draft order at once, each a client process driving the order window
// (order_worker.cpp) on one database file: a save either lands or, refused because the other
// saved first, is merged with the stored order and lands then. Nothing saved is lost unless a
// later save overrode it by an explicit choice, the version rises by exactly the saves, each
// save logs one image after it, and no line is lost or doubled.
#include <gtest/gtest.h>

#include <QRegularExpression>
#include <QTemporaryDir>
#include <iostream>
#include <map>

#include "DemoDatabase.h"
#include "crash/WriterProcess.h"
#include "db/DataServices.h"
#include "db/SqliteDataServices.h"

using namespace Qd::Core;
using namespace Qd::Test;

// Failures show the text of a QString rather than its bytes.
static void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}

namespace {

QString F(const char* text) {
    return QString::fromUtf8(text);
}

// One stored round of a worker.
struct Save {
    QString role;
    int round;
    int version;  // the version the save wrote
    bool note;    // it wrote 备注
};

std::vector<Save> savesOf(WriterProcess& worker, const QString& role) {
    static const QRegularExpression line(F("^saved (\\d+) version=(\\d+) note=([01])$"));
    std::vector<Save> saves;
    for (const QString& text : worker.lines()) {
        const QRegularExpressionMatch m = line.match(text);
        if (m.hasMatch())
            saves.push_back(
                {role, m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3) == "1"});
    }
    return saves;
}

class OrderRace : public ::testing::Test {
protected:
    void SetUp() override {
        demo = Qd::App::openDemoDatabase(dir.filePath(F("demo.db")));
        billno = text("select top 1 billno from qd_x_xmzzk where status = 0 order by id");
        ASSERT_FALSE(billno.isEmpty());
        ASSERT_TRUE(demo->execSQL(
            F("insert into qd_x_xmzzk_mx(orgid, billno, uid, gcxmmc, sl, dj, zk, je) values"
              "(1, :no, 'race-A', 'A', 0, 1, 1, 0), (1, :no, 'race-B', 'B', 0, 1, 1, 0)"),
            {{F("no"), billno}}));
    }

    QString text(const QString& sql, const Db::Params& params = {}) {
        Db::DataPacket rows = demo->openData(sql, params);
        return rows.active() && !rows.isEmpty() ? rows.field(0).asString() : QString();
    }
    int number(const char* sql) { return text(F(sql), {{F("no"), billno}}).toInt(); }

    QTemporaryDir dir;
    std::unique_ptr<Db::SqliteDataServices> demo;
    QString billno;
};

TEST_F(OrderRace, TwoUsersEditingOneDraftLoseNothing) {
    bool ok = false;
    int rounds = qEnvironmentVariableIntValue("QD_ORDER_RACE_ROUNDS", &ok);
    if (!ok || rounds < 1)
        rounds = 200;
    const int version0 = number("select version from qd_x_xmzzk where billno = :no");
    const int lines0 = number("select count(*) from qd_x_xmzzk_mx where billno = :no");
    const int images0 =
        number("select count(*) from qd_sys_operlog where billno = :no and action = N'修改后'");
    const QString note0 = text(F("select isnull(beizhu, '') from qd_x_xmzzk where billno = :no"),
                               {{F("no"), billno}});

    const QString database = dir.filePath(F("demo.db"));
    std::map<QString, std::unique_ptr<WriterProcess>> workers;
    for (const char* role : {"A", "B"}) {
        workers[F(role)] = std::make_unique<WriterProcess>(
            F(QD_ORDER_WORKER_PATH), dir.path(),
            QStringList{database, F(role), QString::number(rounds), billno});
        ASSERT_TRUE(workers[F(role)]->waitForLine(F("ready"), 60000))
            << workers[F(role)]->errors().toStdString();
    }
    for (auto& [role, w] : workers)
        w->send(QString());
    for (auto& [role, w] : workers) {
        ASSERT_EQ(w->finish(600000), 0) << w->errors().toStdString();
        const std::optional<QString> done = w->waitForLine(F("done "));
        ASSERT_TRUE(done) << w->errors().toStdString();
        std::cout << "[ race ] " << done->toStdString() << '\n';
    }

    // Every save raised the version by one, one after the other.
    std::vector<Save> all;
    std::map<QString, std::vector<Save>> saves;
    for (auto& [role, w] : workers) {
        saves[role] = savesOf(*w, role);
        ASSERT_FALSE(saves[role].empty()) << role.toStdString();
        all.insert(all.end(), saves[role].begin(), saves[role].end());
    }
    std::sort(all.begin(), all.end(),
              [](const Save& a, const Save& b) { return a.version < b.version; });
    for (std::size_t i = 0; i < all.size(); ++i)
        ASSERT_EQ(all[i].version, version0 + 1 + int(i));
    EXPECT_EQ(number("select version from qd_x_xmzzk where billno = :no"),
              version0 + int(all.size()));
    EXPECT_EQ(number("select count(*) from qd_sys_operlog where billno = :no and action = "
                     "N'修改后'"),
              images0 + int(all.size()));

    // Each worker's own field and line hold its last save; its added lines are there once each.
    const Db::Params bill = {{F("no"), billno}};
    for (const char* role : {"A", "B"}) {
        const std::vector<Save>& mine = saves[F(role)];
        const int last = mine.back().round;
        const QString own = *role == 'A' ? F("zy") : F("gcxmmc");
        EXPECT_EQ(text(F("select %1 from qd_x_xmzzk where billno = :no").arg(own), bill),
                  F("%1-%2").arg(F(role)).arg(last));
        EXPECT_EQ(text(F("select cast(sl as int) from qd_x_xmzzk_mx where billno = :no and uid = "
                         "'race-%1'")
                           .arg(F(role)),
                       bill),
                  QString::number(last));
        QStringList expected;
        for (const Save& s : mine)
            expected << F("%1-%2").arg(F(role)).arg(s.round);
        QStringList stored;
        Db::DataPacket rows = demo->openData(
            F("select uid from qd_x_xmzzk_mx where billno = :no and uid like '%1-%' order by id")
                .arg(F(role)),
            bill);
        for (rows.first(); !rows.eof(); rows.next())
            stored << rows.field(0).asString();
        EXPECT_EQ(stored, expected) << role;
    }
    EXPECT_EQ(number("select count(*) from qd_x_xmzzk_mx where billno = :no"),
              lines0 + int(all.size()));

    // 备注 holds the last save that wrote it (each side keeps its own in a conflict).
    QString note = note0;
    for (const Save& s : all) {
        if (s.note)
            note = s.role + F("-") + QString::number(s.round);
    }
    EXPECT_EQ(text(F("select isnull(beizhu, '') from qd_x_xmzzk where billno = :no"), bill), note);
}

}  // namespace
