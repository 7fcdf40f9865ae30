// The data services' text builders: a change log as SQL, and record sets as JSON; a bill's
// lines saved through them into the embedded database; and a large query read with the progress
// of a cancellable one against the same query without it.
//   bench_dataservices [--benchmark_filter=...]
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>
#include <cstdio>
#include <cstring>
#include <optional>

#include "BenchDatabase.h"
#include "BenchMain.h"
#include "GoodsLines.h"
#include "db/DataServices.h"
#include "db/QueryProgress.h"

using namespace Qd::Core::Db;

namespace {

constexpr int kEditedRows = 10000;
constexpr int kJsonRows = 100000;

// A goods list of `n` rows: id, code, name (Chinese), qty, price, amount, made, ok, note.
RecordSet makeGoods(int n) {
    RecordSet rs;
    rs.addField("id", FieldType::Integer);
    rs.addField("code", FieldType::Text, 20);
    rs.addField("name", FieldType::Text, 40);
    rs.addField("qty", FieldType::Integer);
    rs.addField("price", FieldType::Currency);
    rs.addField("amount", FieldType::Float);
    rs.addField("made", FieldType::DateTime);
    rs.addField("ok", FieldType::Boolean);
    rs.addField("note", FieldType::Text);
    rs.reserveRows(std::size_t(n));
    const QString chars = QStringLiteral("北京上海广州深圳杭州成都苹果香蕉橙子电脑手机");
    for (int i = 1; i <= n; ++i) {
        const std::uint32_t r = rs.loadRow();
        const QByteArray code = QByteArray("SP") + QByteArray::number(i).rightJustified(8, '0');
        QString name;
        for (int k = 0; k < 8; ++k)
            name += chars[(i * 7 + k * 3) % chars.size()];
        const QByteArray nameUtf8 = name.toUtf8();
        char made[32];
        std::snprintf(made, sizeof made, "2026-%02d-15 10:30:00", 1 + i % 12);
        rs.setIntAt(r, 0, i);
        rs.setTextAt(r, 1, code.constData(), std::size_t(code.size()));
        rs.setTextAt(r, 2, nameUtf8.constData(), std::size_t(nameUtf8.size()));
        rs.setIntAt(r, 3, i % 1000);
        rs.setFloatAt(r, 4, (i % 10000) / 100.0);
        rs.setFloatAt(r, 5, i * 1.25);
        rs.setTextAt(r, 6, made, std::strlen(made));
        rs.setIntAt(r, 7, i % 2);
        if (i % 3 == 0)
            rs.setTextAt(r, 8, "备注 \"引号\"", std::strlen("备注 \"引号\""));
    }
    rs.open();
    return rs;
}

void BM_GetUpDataSQLList(benchmark::State& state) {
    RecordSet rs = makeGoods(kEditedRows);
    rs.setLogChanges(true);
    for (int pos = 0; pos < rs.recordCount(); ++pos) {
        rs.moveTo(pos);
        rs.edit();
        rs.field("name").setValue(rs.field("name").asString() + QStringLiteral("'改"));
        rs.field("price").setValue(rs.field("price").asCurrency() + 1);
        rs.post();
    }
    for (auto _ : state) {
        QStringList sql;
        GetUpDataSQLList("goods", "id", {"", "note"}, rs, sql, 0);
        benchmark::DoNotOptimize(sql);
        state.counters["statements"] = double(sql.size());
    }
}

// Baseline: the same rows through QJsonDocument.
void BM_QJsonDocumentBaseline(benchmark::State& state) {
    const RecordSet rs = makeGoods(kJsonRows);
    const QStringList names = rs.fieldNames();
    for (auto _ : state) {
        QJsonArray rows;
        for (int pos = 0; pos < rs.recordCount(); ++pos) {
            const std::uint32_t row = rs.rowAt(pos);
            QJsonObject o;
            for (int f = 0; f < rs.fieldCount(); ++f)
                o.insert(names[f], QJsonValue::fromVariant(rs.valueAt(row, f)));
            rows.append(o);
        }
        const QString text = QString::fromUtf8(QJsonDocument(rows).toJson(QJsonDocument::Compact));
        benchmark::DoNotOptimize(text);
    }
}

void BM_ClientDataSetToJSON(benchmark::State& state) {
    const RecordSet rs = makeGoods(kJsonRows);
    for (auto _ : state) {
        const QString text = TJsonDB::ClientDataSetToJSON(rs, false);
        benchmark::DoNotOptimize(text);
        state.counters["MiB"] = double(text.size()) * 2 / (1 << 20);
    }
}

// Saves 10 new bill lines per iteration, as a bill editor does: the change log as statements,
// run as one batch. The amounts are computed in doubles, as the editor computes them, so most
// carry binary noise beyond their places. `amountType` is the type of the four amount columns.
void saveBillLines(benchmark::State& state, const char* amountType) {
    Qd::Bench::BenchDatabase base;
    base.db->exec(QStringLiteral("create table bill_lines (id int identity(1,1) primary key, "
                                 "bill_id int, goods_id int, qty %1, price %1, discount %1, "
                                 "amount %1, note nvarchar(50))")
                      .arg(QLatin1String(amountType)));
    RecordSet rs;
    for (const char* name : {"bill_id", "goods_id"})
        rs.addField(name, FieldType::Integer);
    for (const char* name : {"qty", "price", "discount", "amount"})
        rs.addField(name, FieldType::Float);
    rs.addField("note", FieldType::Text, 50);
    rs.open();
    rs.setLogChanges(true);
    int bill = 0;
    for (auto _ : state) {
        ++bill;
        for (int k = 1; k <= 10; ++k) {
            const double qty = k * 1.5, price = (bill % 1000) / 100.0 + k * 0.1, discount = 0.95;
            rs.append();
            rs.field("bill_id").setValue(bill);
            rs.field("goods_id").setValue(k);
            rs.field("qty").setValue(qty);
            rs.field("price").setValue(price);
            rs.field("discount").setValue(discount);
            rs.field("amount").setValue(qty * price * discount);
            rs.field("note").setValue(QStringLiteral("第%1行").arg(k));
            rs.post();
        }
        QStringList sql;
        GetUpDataSQLList("bill_lines", "id", {}, rs, sql, 0);
        if (!base.db->execSQL(sql.join(QStringLiteral("\r\n"))))
            state.SkipWithError("save failed");
        rs.mergeChangeLog();
        rs.emptyDataSet();  // the next bill starts empty
    }
}
void BM_SaveBillLines10(benchmark::State& state) {
    saveBillLines(state, "decimal(18,2)");
}
// Baseline: the same lines into float columns, which keep what they are given.
void BM_SaveBillLines10Float(benchmark::State& state) {
    saveBillLines(state, "float");
}

// A progress that never cancels, as the window is until its user clicks.
struct NeverCancel : IQueryProgress {
    qint64 reports = 0;
    void begin() override {}
    bool rows(qint64) override { return ++reports > 0; }
    void end() override {}
};

void readLargeQuery(benchmark::State& state, bool cancellable) {
    SqliteDataServices& db = *Qd::Bench::goodsLines().db;
    NeverCancel progress;
    IQueryProgress* before = setQueryProgress(&progress);
    for (auto _ : state) {
        RecordSet rs;
        std::optional<CancellableQuery> guard;
        if (cancellable)
            guard.emplace();
        if (!db.openDataToCDS(rs, "select * from lines") ||
            rs.recordCount() != Qd::Bench::kGoodsLines)
            state.SkipWithError("query failed");
    }
    state.counters["reports"] = double(progress.reports) / double(state.iterations());
    setQueryProgress(before);
}
void BM_LargeQueryCancellable(benchmark::State& state) {
    readLargeQuery(state, true);
}
// Baseline: the same query outside a cancellable scope, with no progress handler.
void BM_LargeQueryPlain(benchmark::State& state) {
    readLargeQuery(state, false);
}

}  // namespace

BENCHMARK(BM_GetUpDataSQLList)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_QJsonDocumentBaseline)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ClientDataSetToJSON)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SaveBillLines10)->Unit(benchmark::kMicrosecond)->MinTime(2.0);
BENCHMARK(BM_SaveBillLines10Float)->Unit(benchmark::kMicrosecond)->MinTime(2.0);
BENCHMARK(BM_LargeQueryPlain)->Unit(benchmark::kMillisecond)->Iterations(2)->Repetitions(9);
BENCHMARK(BM_LargeQueryCancellable)->Unit(benchmark::kMillisecond)->Iterations(2)->Repetitions(9);

int main(int argc, char** argv) {
    return Qd::Bench::runWithRatios(argc, argv,
                                    {{"BM_ClientDataSetToJSON", "BM_QJsonDocumentBaseline", 0},
                                     {"BM_SaveBillLines10", "BM_SaveBillLines10Float", 0},
                                     {"BM_LargeQueryCancellable", "BM_LargeQueryPlain", 1.05}});
}
