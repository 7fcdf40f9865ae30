// Opening a working form: from generateForm to the first painted screen, for a descriptor of
// 20 columns over 10^5 rows, with 3 lookup columns and without them, in one run.
#include <sqlite3.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTabWidget>
#include <QTemporaryDir>

#include "BenchMain.h"
#include "BenchSession.h"
#include "base/ProgramHome.h"
#include "core/uGridRibbonForm.h"
#include "db/Schema.h"
#include "db/SqliteDataServices.h"
#include "db/Trace.h"
#include "sys/SystemServices.h"
#include "ui/Ribbon.h"

using namespace Qd::Core;

namespace {

constexpr int kRows = 100000;

struct Fixture : Qd::Bench::BenchSession {
    Fixture() {
        QString columns;
        for (int c = 1; c <= 11; ++c)
            columns += QStringLiteral(", t%1 nvarchar(20)").arg(c);
        db->exec(
            QStringLiteral("create table bench_rows (id int identity(1,1) primary key, orgid int, "
                           "code varchar(20), name nvarchar(40), cat1 int, cat2 int, cat3 int, "
                           "qty int, price money, made datetime%1)")
                .arg(columns));
        for (int i = 1; i <= 50; ++i)
            db->exec(QStringLiteral("insert into qd_b_category(orgid, code, name, iclass) "
                                    "values(1, 'C%1', N'分类%1', 'B')")
                         .arg(i));
        sqlite3* h = db->handle();
        sqlite3_exec(h, "begin", nullptr, nullptr, nullptr);
        sqlite3_stmt* st = nullptr;
        sqlite3_prepare_v2(
            h,
            "insert into bench_rows(orgid, code, name, cat1, cat2, cat3, qty, price, made, "
            "t1, t2, t3, t4, t5, t6, t7, t8, t9, t10, t11) values(1, ?, ?, ?, ?, ?, ?, ?, "
            "'2026-11-05 10:00:00', '甲乙丙', '丁戊', '己庚', '辛壬', '癸子', '丑寅', "
            "'卯辰', '巳午', '未申', '酉戌', '亥')",
            -1, &st, nullptr);
        for (int i = 1; i <= kRows; ++i) {
            const QByteArray code = QStringLiteral("B%1").arg(i, 6, 10, QLatin1Char('0')).toUtf8();
            const QByteArray name = QStringLiteral("北京朝阳商品%1").arg(i).toUtf8();
            sqlite3_bind_text(st, 1, code.constData(), -1, SQLITE_TRANSIENT);
            sqlite3_bind_text(st, 2, name.constData(), -1, SQLITE_TRANSIENT);
            sqlite3_bind_int(st, 3, 1 + i % 50);
            sqlite3_bind_int(st, 4, 1 + i * 7 % 50);
            sqlite3_bind_int(st, 5, 1 + i * 13 % 50);
            sqlite3_bind_int(st, 6, i % 100);
            sqlite3_bind_double(st, 7, (i % 1000) / 10.0);
            sqlite3_step(st);
            sqlite3_reset(st);
        }
        sqlite3_finalize(st);
        sqlite3_exec(h, "commit", nullptr, nullptr, nullptr);
        login();
    }
};

Fixture& fixture() {
    static Fixture f;
    return f;
}

// A module of 20 columns; with lookups, cat1..cat3 are lookup columns over the categories.
Sys::TPlugItemSingleBasic module(bool lookups) {
    QJsonArray cols;
    const auto add = [&](const QString& field, const QString& type = QString()) {
        QJsonObject c{{"fieldname", field}, {"label", field}, {"width", "90"}};
        if (!type.isEmpty())
            c.insert("type", type);
        cols.append(c);
    };
    add("code");
    add("name");
    for (const char* cat : {"cat1", "cat2", "cat3"}) {
        if (!lookups) {
            add(cat);
            continue;
        }
        QJsonObject c{
            {"fieldname", cat}, {"label", cat}, {"width", "90"}, {"type", "lookupcombobox"}};
        c.insert("join", QJsonObject{{"sql",
                                      "select id, code, name from qd_b_category where orgid = "
                                      ":orgid and iclass = ':iclass'"},
                                     {"keyfieldnames", "id"},
                                     {"listfieldnames", "name"},
                                     {"fields", QJsonArray{QJsonObject{{"fieldname", "name"},
                                                                       {"caption", "名称"},
                                                                       {"target", "t11"}}}}});
        cols.append(c);
    }
    add("qty");
    add("price", "money");
    add("made", "date");
    for (int c = 1; c <= 12 && cols.size() < 20; ++c)
        add(QStringLiteral("t%1").arg(c));
    Sys::TPlugItemSingleBasic item;
    item.code = "B";
    item.name = item.title = QStringLiteral("基准");
    item.setTexts(QStringLiteral(R"({"mainsql":"select * from bench_rows where orgid = :orgid"})"),
                  QString::fromUtf8(QJsonDocument(cols).toJson(QJsonDocument::Compact)), QString());
    return item;
}

void openForm(benchmark::State& state, bool lookups) {
    fixture();
    Sys::TPlugItemSingleBasic item = module(lookups);
    Qd::Bench::openDockedForm<Base::TGridRibbonForm>(state, item);
}

void BM_OpenForm20Columns3Lookups(benchmark::State& state) {
    openForm(state, true);
}
void BM_OpenForm20ColumnsNoLookups(benchmark::State& state) {
    openForm(state, false);
}

}  // namespace

BENCHMARK(BM_OpenForm20ColumnsNoLookups)
    ->Unit(benchmark::kMillisecond)
    ->MinWarmUpTime(1.0)
    ->MinTime(2.0);
BENCHMARK(BM_OpenForm20Columns3Lookups)
    ->Unit(benchmark::kMillisecond)
    ->MinWarmUpTime(1.0)
    ->MinTime(2.0);

int main(int argc, char** argv) {
    return Qd::Bench::runWithRatios(
        argc, argv, {{"BM_OpenForm20Columns3Lookups", "BM_OpenForm20ColumnsNoLookups", 0}});
}
