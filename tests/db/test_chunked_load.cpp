// A query's rows coming into a shown record set a chunk at a time: the same record set as a
// load of every row at once, views told of appended rows, what needs every row waiting for
// them, and no statement left open when the load ends early.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QSignalSpy>
#include <optional>

#include "db/ChunkedLoad.h"
#include "db/ColumnStore.h"
#include "db/QueryProgress.h"
#include "db/RecordSetModel.h"
#include "support/TestEnv.h"

using namespace Qd::Core::Db;

namespace {

constexpr int kRows = 12 * ChunkedLoad::kRowsPerRead + 123;
// The digest of ALoadGivesTheRecordedValuesCellForCell's dump of the table as loaded.
const std::string kRecordedLoad =
    "f4c142b2a20077c8fde06e238a8e27e821e355435f4cac5d99a3a94537458329";
const QString kSelect =
    QStringLiteral("select id, n, big, ratio, amount, made, code, photo, flag, price, day from t");

class ChunkedLoadTest : public Qd::Test::DbTest {
protected:
    void SetUp() override {
        DbTest::SetUp();
        // Every type, NULLs spread over every column, and a big integer in an int column late
        // in the rows: the field must widen after rows were shown.
        ASSERT_TRUE(db().execSQL(QStringLiteral(
            "create table t(id int primary key, n int, big bigint, ratio float, amount money, "
            "made datetime, code nvarchar(20), photo varbinary(max), flag bit, "
            "price decimal(18,4), day date)")));
        sqlite3* h = db().handle();
        sqlite3_exec(h, "begin", nullptr, nullptr, nullptr);
        sqlite3_stmt* st = nullptr;
        sqlite3_prepare_v2(h, "insert into t values(?,?,?,?,?,?,?,?,?,?,?)", -1, &st, nullptr);
        for (int i = 1; i <= kRows; ++i) {
            sqlite3_bind_int(st, 1, i);
            if (i == kRows - 5)
                sqlite3_bind_int64(st, 2, 1LL << 40);
            else
                i % 7 ? sqlite3_bind_int(st, 2, i % 1000 - 500) : sqlite3_bind_null(st, 2);
            sqlite3_bind_int64(st, 3, i);
            i % 11 ? sqlite3_bind_double(st, 4, i / 8.0) : sqlite3_bind_null(st, 4);
            sqlite3_bind_double(st, 5, (i % 10000) / 100.0);
            const QByteArray made = QStringLiteral("2026-%1-03 09:05:00")
                                        .arg(1 + i % 12, 2, 10, QLatin1Char('0'))
                                        .toUtf8();
            i % 13 ? sqlite3_bind_text(st, 6, made.constData(), -1, SQLITE_TRANSIENT)
                   : sqlite3_bind_null(st, 6);
            const QByteArray code = (i % 101 == 0   ? QStringLiteral("")
                                     : i % 103 == 0 ? QStringLiteral("O'Brien \U0001F600 %1")
                                                    : QStringLiteral("编号%1"))
                                        .arg(i)
                                        .toUtf8();
            sqlite3_bind_text(st, 7, code.constData(), -1, SQLITE_TRANSIENT);
            i % 97 ? sqlite3_bind_null(st, 8) : sqlite3_bind_blob(st, 8, "\0\1\2", 3, nullptr);
            i % 5 ? sqlite3_bind_int(st, 9, i % 2) : sqlite3_bind_null(st, 9);
            sqlite3_bind_double(st, 10, i * 0.0001 - 1.5);
            const QByteArray day =
                QStringLiteral("2026-02-%1").arg(1 + i % 28, 2, 10, QLatin1Char('0')).toUtf8();
            i % 17 ? sqlite3_bind_text(st, 11, day.constData(), -1, SQLITE_TRANSIENT)
                   : sqlite3_bind_null(st, 11);
            sqlite3_step(st);
            sqlite3_reset(st);
        }
        sqlite3_finalize(st);
        sqlite3_exec(h, "commit", nullptr, nullptr, nullptr);
    }

    static void untilFinished(const ChunkedLoad& load) {
        while (!load.finished())
            QCoreApplication::processEvents();
    }

    // Statements of the connection still in the middle of a result.
    int busyStatements() {
        int busy = 0;
        for (sqlite3_stmt* s = sqlite3_next_stmt(db().handle(), nullptr); s;
             s = sqlite3_next_stmt(db().handle(), s))
            busy += sqlite3_stmt_busy(s) ? 1 : 0;
        return busy;
    }
};

void expectSameRows(RecordSet& a, RecordSet& b) {
    ASSERT_EQ(a.fieldCount(), b.fieldCount());
    for (int f = 0; f < a.fieldCount(); ++f)
        EXPECT_EQ(a.fieldDef(f).type, b.fieldDef(f).type) << a.fieldDef(f).name.toStdString();
    ASSERT_EQ(a.recordCount(), b.recordCount());
    for (int pos = 0; pos < a.recordCount(); ++pos) {
        for (int f = 0; f < a.fieldCount(); ++f) {
            const QVariant x = a.valueAt(a.rowAt(pos), f), y = b.valueAt(b.rowAt(pos), f);
            if (x != y || x.isNull() != y.isNull())
                FAIL() << "row " << pos << " field " << a.fieldDef(f).name.toStdString();
        }
    }
}

}  // namespace

TEST_F(ChunkedLoadTest, GivesTheFirstRowsAtOnceAndEndsAsAWholeLoadWouldTellingViewsOfAppends) {
    RecordSet whole;
    ASSERT_TRUE(db().openDataToCDS(whole, kSelect));

    RecordSet rs;
    RecordSetModel model(&rs);
    std::unique_ptr<ChunkedLoad> load = db().openDataInChunks(rs, kSelect);
    ASSERT_TRUE(load);
    EXPECT_FALSE(load->finished());
    EXPECT_TRUE(rs.rowsPending());
    EXPECT_EQ(rs.recordCount(), ChunkedLoad::kFirstRows);
    EXPECT_EQ(model.rowCount(), ChunkedLoad::kFirstRows);
    EXPECT_EQ(rs.recNo(), 0);
    EXPECT_EQ(busyStatements(), 1);

    QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
    QSignalSpy resets(&model, &QAbstractItemModel::modelReset);
    std::vector<int> progress;
    load->onProgress = [&](int rows, bool) { progress.push_back(rows); };
    untilFinished(*load);

    EXPECT_FALSE(load->failed());
    EXPECT_FALSE(rs.rowsPending());
    EXPECT_EQ(busyStatements(), 0);
    expectSameRows(rs, whole);
    EXPECT_EQ(model.rowCount(), kRows);
    EXPECT_GE(inserted.count(), 11);  // one per lot read
    EXPECT_EQ(resets.count(), 1);     // the big integer widened a shown field once
    EXPECT_EQ(rs.fieldDef(rs.fieldIndex("n")).type, FieldType::BigInt);
    ASSERT_FALSE(progress.empty());
    EXPECT_TRUE(std::is_sorted(progress.begin(), progress.end()));
    EXPECT_EQ(progress.back(), kRows);
}

TEST_F(ChunkedLoadTest, SortingAndLocatingMidLoadReadTheRestFirst) {
    RecordSet rs;
    std::unique_ptr<ChunkedLoad> load = db().openDataInChunks(rs, kSelect);
    ASSERT_TRUE(load && !load->finished());
    // The last row is not loaded yet: locating it must still find it.
    EXPECT_TRUE(rs.locate(QStringLiteral("id"), kRows));
    EXPECT_TRUE(load->finished());
    EXPECT_EQ(rs.recordCount(), kRows);

    RecordSet sorted;
    load = db().openDataInChunks(sorted, kSelect);
    ASSERT_TRUE(load && !load->finished());
    sorted.sortBy({{sorted.fieldIndex("id"), true}});
    EXPECT_EQ(sorted.recordCount(), kRows);
    sorted.first();
    EXPECT_EQ(sorted.field("id").asInteger(), kRows);
    EXPECT_EQ(busyStatements(), 0);
}

TEST_F(ChunkedLoadTest, TheConnectionServesOtherStatementsWhileRowsAreStillComing) {
    RecordSet rs;
    std::unique_ptr<ChunkedLoad> load = db().openDataInChunks(rs, kSelect);
    ASSERT_TRUE(load && !load->finished());
    QCoreApplication::processEvents();
    ASSERT_TRUE(db().execSQL(QStringLiteral("create table other(x int)")));
    ASSERT_TRUE(db().execSQL(QStringLiteral("insert into other values(1)")));
    RecordSet other;
    ASSERT_TRUE(db().openDataToCDS(other, QStringLiteral("select x from other")));
    EXPECT_EQ(other.recordCount(), 1);
    // A batch that fails rolls back its own transaction: the read goes on.
    prompts().answer(1);
    EXPECT_FALSE(db().execSQL(QStringLiteral("insert into other values(2)\nselect 1 / 0")));
    untilFinished(*load);
    EXPECT_FALSE(load->failed());
    EXPECT_EQ(rs.recordCount(), kRows);
}

TEST_F(ChunkedLoadTest, EndingEarlyInAnyWayLeavesNoStatementOpen) {
    {  // the load goes (the window closes)
        RecordSet rs;
        std::unique_ptr<ChunkedLoad> load = db().openDataInChunks(rs, kSelect);
        ASSERT_TRUE(load && !load->finished());
        load.reset();
        EXPECT_FALSE(rs.rowsPending());
        EXPECT_EQ(busyStatements(), 0);
        EXPECT_EQ(rs.recordCount(), ChunkedLoad::kFirstRows);
    }
    for (int how = 0; how < 3; ++how) {  // the record set closes, reloads or goes first
        auto rs = std::make_unique<RecordSet>();
        std::unique_ptr<ChunkedLoad> load = db().openDataInChunks(*rs, kSelect);
        ASSERT_TRUE(load && !load->finished());
        if (how == 0)
            rs->close();
        else if (how == 1)
            ASSERT_TRUE(db().openDataToCDS(*rs, QStringLiteral("select 1 as one")));
        else
            rs.reset();
        EXPECT_TRUE(load->finished()) << how;
        EXPECT_EQ(busyStatements(), 0) << how;
        QCoreApplication::processEvents();  // no step may run on what is gone
    }
    // Nothing holds the table: it can go.
    EXPECT_TRUE(db().execSQL(QStringLiteral("drop table t")));
}

TEST_F(ChunkedLoadTest, ABatchThatIsMoreThanOneQueryLoadsWhole) {
    RecordSet rs;
    std::unique_ptr<ChunkedLoad> load = db().openDataInChunks(
        rs, QStringLiteral("declare @n int = 5\nselect id from t where id > @n"));
    ASSERT_TRUE(load);
    EXPECT_TRUE(load->finished());
    EXPECT_EQ(rs.recordCount(), kRows - 5);

    // A failing query shows its error and leaves the record set as it was.
    prompts().answer(1);
    EXPECT_FALSE(db().openDataInChunks(rs, QStringLiteral("select nosuch from t")));
    ASSERT_EQ(prompts().messages().size(), 1);
    EXPECT_TRUE(prompts().messages().front().contains(QStringLiteral("nosuch")));
    EXPECT_EQ(rs.recordCount(), kRows - 5);
}

// A progress window takes events while a long query runs: the load waits for the connection
// instead of failing, and what would need every row at that moment is refused, not cut short.
TEST_F(ChunkedLoadTest, WaitsWhileAnotherQueryOfTheConnectionShowsItsProgress) {
    RecordSet rs;
    std::unique_ptr<ChunkedLoad> load = db().openDataInChunks(rs, kSelect);
    ASSERT_TRUE(load && !load->finished());

    struct EventTakingProgress : IQueryProgress {
        RecordSet* rs = nullptr;
        int turns = 0;
        bool sortRefused = false;
        void begin() override {}
        bool rows(qint64) override {
            ++turns;
            QCoreApplication::processEvents();
            try {
                rs->sortBy({{0, true}});
            } catch (const QueryBusy&) {
                sortRefused = true;
            }
            return true;
        }
        void end() override {}
    } progress;
    progress.rs = &rs;
    IQueryProgress* previous = setQueryProgress(&progress);
    {
        CancellableQuery cancellable;
        RecordSet counted;
        ASSERT_TRUE(db().openDataToCDS(
            counted, QStringLiteral("select count(*) from t a join t b on b.id <= 40")));
    }
    setQueryProgress(previous);
    ASSERT_GT(progress.turns, 0);
    EXPECT_TRUE(progress.sortRefused);
    EXPECT_FALSE(load->failed());
    EXPECT_TRUE(rs.rowsPending());
    EXPECT_TRUE(prompts().messages().isEmpty());
    untilFinished(*load);
    EXPECT_FALSE(load->failed());
    EXPECT_EQ(rs.recordCount(), kRows);
}

// The load itself pinned: every cell of the generated table with its field's type, digested and
// compared with the digest recorded when the loader was last changed on purpose. A change to how
// values are stored (widening, dates, money, text copies, NULL flags) shows up here.
TEST_F(ChunkedLoadTest, ALoadGivesTheRecordedValuesCellForCell) {
    RecordSet rs;
    ASSERT_TRUE(db().openDataToCDS(rs, kSelect + QStringLiteral(" order by id")));
    QCryptographicHash digest(QCryptographicHash::Sha256);
    for (int f = 0; f < rs.fieldCount(); ++f)
        digest.addData(fieldTypeName(rs.fieldDef(f).type).toUtf8());
    for (int pos = 0; pos < rs.recordCount(); ++pos) {
        for (int f = 0; f < rs.fieldCount(); ++f) {
            const std::uint32_t row = rs.rowAt(pos);
            const QVariant v = rs.valueAt(row, f);
            digest.addData(rs.isNullAt(row, f)
                               ? QByteArray("\x01null")
                               : (QByteArray(v.typeName()) + ':' +
                                  (v.typeId() == QMetaType::QByteArray ? v.toByteArray().toHex()
                                                                       : v.toString().toUtf8())));
        }
    }
    EXPECT_EQ(digest.result().toHex().toStdString(), kRecordedLoad);
}

// The loader parses date-times straight from the stored bytes: every form a date-time is stored
// in gives the key of its value, and what is no date is refused (the field then becomes text).
TEST(DateTimeKeys, EveryStoredFormGivesItsValueAndWhatIsNoDateIsRefused) {
    using Internal::dateTimeKey;
    using Internal::parseDateTimeKey;
    const auto keyOf = [](const char* text) -> std::optional<std::int64_t> {
        std::int64_t key = 0;
        return parseDateTimeKey(text, key) ? std::optional(key) : std::nullopt;
    };
    EXPECT_EQ(keyOf("2024-02-29 23:59:59"),
              dateTimeKey(QDateTime(QDate(2024, 2, 29), QTime(23, 59, 59))));
    EXPECT_EQ(keyOf("2024-02-29T23:59:59"), keyOf("2024-02-29 23:59:59"));
    EXPECT_EQ(*keyOf("2024-02-29 23:59:59.5"), *keyOf("2024-02-29 23:59:59") + 500);
    EXPECT_EQ(keyOf("2024-03-01 00:00"), keyOf("2024-03-01 00:00:00"));
    EXPECT_EQ(keyOf("2024-03-01"), keyOf("2024-03-01 00:00:00"));
    for (const char* bad : {"2023-02-29 00:00:00", "2024-13-01 00:00:00", "2024-01-00 00:00:00",
                            "2024-01-01 24:00:00", "2024-01-01 10:60:00", "2024-01-01 10:20:60",
                            "2024-01-0a 10:20:30", "2024/01/01 10:20:30", "2024-01-01x10:20:30",
                            "0000-01-01 00:00:00", "不是日期"})
        EXPECT_FALSE(keyOf(bad)) << bad;

    // A column's parser remembers the months it has met: going back and forth between years and
    // months, leap years included, it gives what parsing each value alone gives.
    Internal::DateTimeKeyParser column;
    for (const char* text :
         {"2024-02-29 08:00:00", "2023-02-29 08:00:00", "2023-02-28 08:00:00", "2024-02-29",
          "2024-02-30", "1900-02-29", "2000-02-29 12:00", "2024-12-31 23:59:59.999",
          "2025-12-31 00:00:00", "2025-12-32 00:00:00", "2025-12-31 24:00:00", "2024-02-01"}) {
        std::int64_t key = 0;
        const bool parsed = column.parse(text, key);
        EXPECT_EQ(parsed ? std::optional(key) : std::nullopt, keyOf(text)) << text;
    }
}

// Money is kept as a count of 1/10000, rounded half away from zero as llround rounds.
TEST(CurrencyUnits, RoundLikeLlroundOverTheWholeRange) {
    for (const double v : {0.0, 1.00005, -1.00005, 0.00004999, 2.675, -2.675, 123456789.12345,
                           -0.00005, 0.49999999999999994 / 10000, 9.2e14, -9.2e14, 1e300, -1e300})
        EXPECT_EQ(Internal::currencyUnits(v), std::llround(v * Internal::kCurrencyScale)) << v;
}
