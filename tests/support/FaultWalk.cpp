#include "support/FaultWalk.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <QRegularExpression>

#include "base/Prompter.h"
#include "db/FaultVfs.h"

namespace Qd::Test {

namespace {

using Core::Db::FaultVfs::Fault;
using Core::Db::FaultVfs::Step;

// The database's pages copied to or from memory: the walk's starting point, restored whole.
class Snapshot {
public:
    explicit Snapshot(sqlite3* db) : m_db(db) {
        sqlite3_open(":memory:", &m_copy);
        copy(m_db, m_copy);
    }
    ~Snapshot() { sqlite3_close(m_copy); }
    void restore() { copy(m_copy, m_db); }

private:
    static void copy(sqlite3* from, sqlite3* to) {
        sqlite3_backup* b = sqlite3_backup_init(to, "main", from, "main");
        ASSERT_NE(b, nullptr) << sqlite3_errmsg(to);
        sqlite3_backup_step(b, -1);
        ASSERT_EQ(sqlite3_backup_finish(b), SQLITE_OK) << sqlite3_errmsg(to);
    }
    sqlite3* m_db;
    sqlite3* m_copy = nullptr;
};

QString integrity(sqlite3* db) {
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db, "pragma integrity_check", -1, &st, nullptr);
    QString result;
    while (sqlite3_step(st) == SQLITE_ROW)
        result += QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)));
    sqlite3_finalize(st);
    return result;
}

// Every row of every table as a fresh connection reads it from the file: what is really
// stored, not what the saving connection's cache holds.
QString storedRows(sqlite3* db) {
    sqlite3* fresh = nullptr;
    sqlite3_open_v2(sqlite3_db_filename(db, "main"), &fresh, SQLITE_OPEN_READONLY, nullptr);
    QStringList tables;
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(fresh, "select name from sqlite_master where type = 'table' order by name",
                       -1, &st, nullptr);
    while (sqlite3_step(st) == SQLITE_ROW)
        tables << QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)));
    sqlite3_finalize(st);
    QString text;
    for (const QString& table : tables) {
        const QByteArray sql = QStringLiteral("select * from \"%1\" order by rowid")
                                   .arg(QString(table).replace('"', QLatin1String("\"\"")))
                                   .toUtf8();
        sqlite3_prepare_v2(fresh, sql.constData(), -1, &st, nullptr);
        text += table + QLatin1Char('\n');
        while (sqlite3_step(st) == SQLITE_ROW) {
            for (int c = 0; c < sqlite3_column_count(st); ++c)
                text +=
                    QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, c))) +
                    QLatin1Char('|');
            text += QLatin1Char('\n');
        }
        sqlite3_finalize(st);
    }
    sqlite3_close(fresh);
    // The times a save stamps (getdate() defaults) differ from run to run.
    static const QRegularExpression stamp(
        QStringLiteral("\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d(\\.\\d+)?"));
    return text.replace(stamp, QStringLiteral("<time>"));
}

const char* stepName(Step s) {
    switch (s) {
        case Step::Write:
            return "write";
        case Step::Sync:
            return "sync";
        case Step::Lock:
            return "lock";
        case Step::Read:
            return "read";
    }
    return "";
}

}  // namespace

int walkFaults(sqlite3* db, ScriptedPrompter& prompts, const SaveCase& c) {
    namespace Vfs = Core::Db::FaultVfs;
    prompts.acceptAllMessages(true);  // the failure's message is answered OK
    Snapshot start(db);
    const QString before = storedRows(db);

    // The clean run: what a whole save stores, and how many steps of each kind it takes.
    c.prepare();
    Vfs::resetCounts();
    EXPECT_TRUE(c.save()) << c.name << ": the save fails without a fault";
    const qint64 steps[] = {Vfs::count(Step::Write), Vfs::count(Step::Sync), Vfs::count(Step::Lock),
                            Vfs::count(Step::Read)};
    const QString after = storedRows(db);
    EXPECT_NE(after, before) << c.name << ": the save changes nothing";

    const std::pair<Step, Fault> faults[] = {
        {Step::Write, Fault::IoError}, {Step::Write, Fault::DiskFull},
        {Step::Sync, Fault::IoError},  {Step::Lock, Fault::Busy},
        {Step::Lock, Fault::IoError},  {Step::Read, Fault::ShortRead},
    };
    int runs = 0;
    for (const auto& [step, fault] : faults) {
        for (qint64 n = 1; n <= steps[int(step)]; ++n) {
            start.restore();
            prompts.clear();
            prompts.acceptAllMessages(true);
            c.prepare();
            const QString typed = c.typed();
            Vfs::arm(step, n, fault);
            const bool saved = c.save();
            const bool fired = Vfs::fired();
            Vfs::disarm();
            if (!fired)
                continue;  // the step was not reached this time (a cache served it)
            ++runs;
            SCOPED_TRACE(
                QStringLiteral("%1: %2 %3 fails").arg(c.name, stepName(step)).arg(n).toStdString());
            EXPECT_EQ(integrity(db), QStringLiteral("ok"));
            const QString rows = storedRows(db);
            EXPECT_TRUE(rows == before || rows == after) << "a part of the save was stored";
            if (saved) {
                // A failure the database recovered from by itself (a retried lock, a read
                // served again): the save is whole.
                EXPECT_EQ(rows.toStdString(), after.toStdString()) << "said saved, but is not";
                continue;
            }
            // One message says it failed; the questions before it may not have been reached.
            QStringList messages;
            for (const auto& q : prompts.asked())
                messages << q.text;
            EXPECT_TRUE(!messages.isEmpty() && messages.size() <= c.questions + 1 &&
                        prompts.asked().back().kind != int(Core::Ui::MsgKind::Confirmation))
                << "one message for a failed save: " << messages.join(" / ").toStdString();
            if (rows == after)
                continue;  // stored whole; what failed came after it (reading the list again)
            EXPECT_EQ(c.typed().toStdString(), typed.toStdString()) << "what was typed is lost";
            // Saving again, the disk well again, stores the whole change (the answers the
            // failed save did not reach are dropped).
            prompts.clear();
            prompts.acceptAllMessages(true);
            EXPECT_TRUE(c.retry ? c.retry() : c.save()) << "the save cannot be done again";
            EXPECT_EQ(storedRows(db).toStdString(), after.toStdString());
        }
    }
    start.restore();
    return runs;
}

}  // namespace Qd::Test
