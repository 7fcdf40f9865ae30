// The batch writer: a session of the data services on one database file, started by the crash
// and race tests (test_crash_loop.cpp, test_race.cpp) to write as a client writes.
//
//   batch_writer crash DATABASE    list saves and transaction batches in turn, numbered on from
//                                  the highest number stored, until killed
//   batch_writer count DATABASE N  after a line on standard input, N increments of the race
//                                  counter, by a statement and by a record set's save in turn
//   batch_writer hold DATABASE     holds the write lock until a line comes in on standard input
//
// Progress goes to standard output (Workload.h), every message box to standard error.
#include <QCoreApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>
#include <thread>

#include "base/UnattendedPrompter.h"
#include "crash/Workload.h"
#include "db/DataServices.h"
#include "db/SqliteDataServices.h"

using namespace Qd::Core;
using namespace Qd::Test;

namespace {

void say(const QString& line) {
    std::fputs((line + QLatin1Char('\n')).toUtf8().constData(), stdout);
    std::fflush(stdout);
}

void waitForLine() {
    std::string line;
    std::getline(std::cin, line);
}

qint64 highestStored(const char* table) {
    const Db::DataPacket r =
        Db::dataServices().openData(QStringLiteral("select max(batch) as b from %1").arg(table));
    return r.active() && !r.isEmpty() ? r.valueAt(r.rowAt(0), 0).toLongLong() : -1;
}

// ---- crash: the two kinds of batch ----------------------------------------------------------

// New rows of a master-data list saved as the list window saves them: the record set's change
// log becomes one statement per row, joined into one batch.
bool saveList(qint64 batch) {
    Db::RecordSet rs;
    if (!Db::dataServices().openDataToCDS(rs, "select * from crash_list where batch = -1"))
        return false;
    for (int seq = 1; seq <= Workload::kListRows; ++seq) {
        rs.append();
        rs.field("batch").setValue(batch);
        rs.field("seq").setValue(seq);
        rs.field("code").setValue(QStringLiteral("L%1-%2").arg(batch).arg(seq));
        rs.field("name").setValue(QStringLiteral("门店商品 %1-%2").arg(batch).arg(seq));
        rs.field("price").setValue(double(batch % 1000) + seq / 100.0);
        rs.post();
    }
    QStringList statements;
    Db::GetUpDataSQLList("crash_list", "id", {}, rs, statements, 0);
    if (!Db::dataServices().execSQL(statements.join(QStringLiteral("\r\n"))))
        return false;
    rs.mergeChangeLog();
    return true;
}

// A bill with its lines and the running totals, in a batch that begins and commits its own
// transaction and rolls it back in its catch block.
bool saveBill(qint64 batch) {
    QString lines;
    double amount = 0;
    for (int seq = 1; seq <= Workload::kBillLines; ++seq) {
        const double price = double(batch % 100) + seq / 4.0;
        amount += seq * price;
        lines += QStringLiteral(
                     "insert into crash_bill_line(batch, seq, qty, price)"
                     " values(:batch, %1, %1, %2)\r\n")
                     .arg(seq)
                     .arg(price);
    }
    const QString script =
        QStringLiteral("begin tran\r\nbegin try\r\n") +
        QStringLiteral(
            "insert into crash_bill(batch, lines, amount) values(:batch, %1, :amount)\r\n")
            .arg(Workload::kBillLines) +
        lines +
        QStringLiteral(
            "update crash_totals set bills = bills + 1, amount = amount + :amount where id = 1\r\n"
            "end try\r\nbegin catch\r\nif (@@trancount>0) rollback tran\r\n"
            "raiserror('数据错误异常.', 16, 1)\r\nend catch\r\n"
            "if (@@trancount>0) commit tran");
    return Db::dataServices().execSQL(
        script, {{QStringLiteral("batch"), batch}, {QStringLiteral("amount"), amount}});
}

int crash() {
    // A writer whose test is gone (killed, so that it could not kill the writer) ends when its
    // standard input closes, instead of writing on for ever.
    std::thread([] {
        waitForLine();
        std::_Exit(3);
    }).detach();
    qint64 batch = std::max(highestStored("crash_list"), highestStored("crash_bill"));
    if (batch < 0)
        return 1;
    say(QString::fromLatin1(Workload::kReady));
    QElapsedTimer taken;
    for (;;) {
        ++batch;
        say(QString::fromLatin1(Workload::kBegin) + QString::number(batch));
        taken.start();
        if (!(batch % 2 ? saveList(batch) : saveBill(batch)))
            return 1;
        say(QString::fromLatin1(Workload::kCommitted) +
            QStringLiteral("%1 %2").arg(batch).arg(taken.nsecsElapsed() / 1e6, 0, 'f', 2));
    }
}

// ---- count: two ways of raising one counter ------------------------------------------------

// The counter raised by one statement that reads and writes it.
bool incrementBySql() {
    return Db::dataServices().execSQL(
        "update race_counter set n = n + 1, version = version + 1 where id = 1");
}

// The counter read into a record set, raised there, and saved from the change log with the
// version it was read at checked in the same batch: a row changed in between is refused (and
// read again), never overwritten. Returns false on any other failure; counts the refusals.
bool incrementByRecordSet(Ui::UnattendedPrompter& prompter, int& conflicts) {
    for (;;) {
        Db::RecordSet rs;
        if (!Db::dataServices().openDataToCDS(
                rs, "select id, n, version from race_counter where id = 1") ||
            rs.isEmpty())
            return false;
        const int version = rs.field("version").asInteger();
        rs.edit();
        rs.field("n").setValue(rs.field("n").asInteger() + 1);
        rs.field("version").setValue(version + 1);
        rs.post();
        QStringList statements;
        Db::GetUpDataSQLList("race_counter", "id", {}, rs, statements, 0);
        const QString check =
            QStringLiteral(
                "if (select version from race_counter where id = 1) <> %1 raiserror(N'%2', 16, 1)")
                .arg(version)
                .arg(QString::fromUtf8(Workload::kStaleMessage));
        if (Db::dataServices().execSQL(check + QStringLiteral("\r\n") +
                                       statements.join(QStringLiteral("\r\n")))) {
            rs.mergeChangeLog();
            return true;
        }
        if (prompter.lastMessage != QString::fromUtf8(Workload::kStaleMessage))
            return false;
        ++conflicts;
    }
}

int count(Ui::UnattendedPrompter& prompter, int increments) {
    say(QString::fromLatin1(Workload::kReady));
    waitForLine();
    int conflicts = 0;
    int failures = 0;
    for (int i = 0; i < increments; ++i) {
        if (!(i % 2 ? incrementByRecordSet(prompter, conflicts) : incrementBySql()))
            ++failures;
    }
    say(QString::fromLatin1(Workload::kDone) +
        QStringLiteral("conflicts=%1 failures=%2").arg(conflicts).arg(failures));
    return failures == 0 ? 0 : 1;
}

// ---- hold: a transaction left open ----------------------------------------------------------

int hold() {
    if (!Db::dataServices().execSQL(
            "begin tran\r\nupdate race_counter set version = version where id = 1"))
        return 1;
    say(QString::fromLatin1(Workload::kHolding));
    waitForLine();
    if (!Db::dataServices().execSQL("commit tran"))
        return 1;
    say(QString::fromLatin1(Workload::kReleased));
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 3) {
        std::fputs("usage: batch_writer crash|count|hold DATABASE [INCREMENTS]\n", stderr);
        return 2;
    }
    Ui::UnattendedPrompter prompter;
    Ui::setPrompter(&prompter);
    try {
        say(QString::fromLatin1(Workload::kOpening));
        // The busy timeout the client opens with.
        Db::SqliteDataServices db(args[2]);
        Db::setDataServices(&db);
        const QString& mode = args[1];
        if (mode == QLatin1String("crash"))
            return crash();
        if (mode == QLatin1String("count"))
            return count(prompter, args.value(3).toInt());
        if (mode == QLatin1String("hold"))
            return hold();
    } catch (const Db::DbError& e) {
        std::fprintf(stderr, "%s\n", e.message().toUtf8().constData());
        return 1;
    }
    std::fputs("usage: batch_writer crash|count|hold DATABASE [INCREMENTS]\n", stderr);
    return 2;
}
