#pragma once
// What the batch writer (batch_writer.cpp) writes and what the crash and race tests check: the
// tables, the size of each kind of batch, and the words of the writer's protocol on its
// standard streams.
namespace Qd::Test::Workload {

// A list save inserts this many rows; a transaction batch writes a bill with this many lines.
inline constexpr int kListRows = 10;
inline constexpr int kBillLines = 5;

// Batch numbers run 1, 2, 3, ... without holes: odd numbers are list saves (rows of crash_list),
// even numbers transaction batches (a crash_bill row, its lines, and the running totals).
inline constexpr char kCrashSchema[] =
    "create table crash_list(id int identity(1,1) primary key, batch int not null,"
    " seq int not null, code varchar(20) not null unique, name nvarchar(50), price money)\n"
    "create index ix_crash_list_batch on crash_list(batch)\n"
    "create table crash_bill(batch int primary key, lines int not null, amount money not null)\n"
    "create table crash_bill_line(id int identity(1,1) primary key, batch int not null,"
    " seq int not null, qty int not null, price money not null)\n"
    "create index ix_crash_bill_line_batch on crash_bill_line(batch)\n"
    "create table crash_totals(id int primary key, bills int not null, amount money not null)\n"
    "insert into crash_totals values(1, 0, 0)";

// One counter that both racing writers raise; `version` goes up with every change of `n`.
inline constexpr char kRaceSchema[] =
    "create table race_counter(id int primary key, n int not null, version int not null)\n"
    "insert into race_counter values(1, 0, 0)";

// The refusal of a save whose row another user changed after it was read.
inline constexpr char kStaleMessage[] = "当前数据状态已改变，请刷新数据后请重试.";

// Lines the writer prints on standard output, each flushed at once.
inline constexpr char kOpening[] = "opening";    // about to open the database
inline constexpr char kReady[] = "ready";        // opened the database
inline constexpr char kBegin[] = "begin ";       // + number: a batch is being written
inline constexpr char kCommitted[] = "batch ";   // + number and ms taken: that batch is stored
inline constexpr char kHolding[] = "holding";    // holds the write lock until a line comes in
inline constexpr char kReleased[] = "released";  // committed and let go of it
inline constexpr char kDone[] = "done ";         // + "conflicts=C failures=F"

}  // namespace Qd::Test::Workload
