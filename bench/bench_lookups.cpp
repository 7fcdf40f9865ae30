// Lookups over 10^6 items (Chinese names, pinyin initials by HZtoPY, two-level categories), each
// step against raw sqlite3 calls on the same file in the same run:
//   - typing into an item lookup until the first page of what it finds is listed in the open
//     drop-down, against the same condition, order and limit as one raw prepared query
//     (a Chinese part of the name, and pinyin initials);
//   - a 10^4-line bill scrolled through screen by screen, every line's item text asked as the
//     grid's cells ask for it (keys beyond the lookup's first page fetched by keyed queries
//     after each screen), against a raw query joining the lines to their item names. The same
//     with the screens painted is reported beside it.
//   bench_lookups [--benchmark_filter=...]
#include <sqlite3.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QLineEdit>
#include <QScrollBar>
#include <QTableView>
#include <QTemporaryDir>
#include <memory>

#include "BenchMain.h"
#include "RawSqlite.h"
#include "base/ProgramHome.h"
#include "base/UnattendedPrompter.h"
#include "core/uJoinTableObject.h"
#include "db/Schema.h"
#include "db/SqliteDataServices.h"
#include "db/Trace.h"
#include "db/tsql/TsqlSession.h"
#include "sys/SystemServices.h"
#include "ui/editors/Editors.h"
#include "ui/editors/EditorsInternal.h"

using namespace Qd::Core;

namespace {

constexpr int kItems = 1000000;
constexpr int kLines = 10000;
constexpr int kCategories = 10;  // top levels, each with as many second levels

QString F(const char* text) {
    return QString::fromUtf8(text);
}

const QString kItemsSql =
    F("select id, code, name, helpcode, dj from qd_b_xmbmk "
      "where orgid = 1 and isdel = 0 order by code");

using Qd::Bench::exec;
using Qd::Bench::readAll;

void bindText(sqlite3_stmt* st, const char* name, const QByteArray& text) {
    sqlite3_bind_text(st, sqlite3_bind_parameter_index(st, name), text.constData(),
                      int(text.size()), SQLITE_TRANSIENT);
}

// Items I0000001.. named from a few words and their number, filed under two levels of
// categories, and the 10^4 lines of bill B1 over items spread across the whole table.
void addData(sqlite3* raw) {
    static const char* const kinds[] = {"彩色", "黑白", "加厚", "高清",
                                        "防水", "磨砂", "亮面", "环保"};
    static const char* const goods[] = {"名片",   "海报", "画册",   "条幅",   "展架",
                                        "喷绘布", "写真", "宣传单", "不干胶", "易拉宝"};
    exec(raw, "begin");
    sqlite3_stmt* cat = nullptr;
    sqlite3_prepare_v2(raw,
                       "insert into qd_b_category(id, orgid, pid, code, name, iclass) "
                       "values(?1, 1, ?2, ?3, ?4, 'XM')",
                       -1, &cat, nullptr);
    for (int top = 1; top <= kCategories; ++top) {
        for (int sub = 0; sub <= kCategories; ++sub) {
            const int id = top * 100 + sub;
            const QByteArray code = QByteArray::number(id);
            const QByteArray name = (F(goods[top - 1]) + QString::number(sub)).toUtf8();
            sqlite3_bind_int(cat, 1, id);
            sqlite3_bind_int(cat, 2, sub ? top * 100 : 0);
            sqlite3_bind_text(cat, 3, code.constData(), int(code.size()), SQLITE_TRANSIENT);
            sqlite3_bind_text(cat, 4, name.constData(), int(name.size()), SQLITE_TRANSIENT);
            sqlite3_step(cat);
            sqlite3_reset(cat);
        }
    }
    sqlite3_finalize(cat);

    sqlite3_stmt* item = nullptr;
    sqlite3_prepare_v2(raw,
                       "insert into qd_b_xmbmk(orgid, p1, p2, code, name, helpcode, dj) "
                       "values(1, ?1, ?2, ?3, ?4, ?5, ?6)",
                       -1, &item, nullptr);
    for (int i = 1; i <= kItems; ++i) {
        const int top = 1 + i % kCategories;
        const QString name = F(kinds[i % 8]) + F(goods[(i / 8) % 10]) + QString::number(i);
        const QByteArray code = "I" + QByteArray::number(i).rightJustified(7, '0');
        const QByteArray utf8 = name.toUtf8();
        const QByteArray help = Sys::HZtoPY(name).toUtf8();
        sqlite3_bind_int(item, 1, top * 100);
        sqlite3_bind_int(item, 2, top * 100 + 1 + (i / kCategories) % kCategories);
        sqlite3_bind_text(item, 3, code.constData(), int(code.size()), SQLITE_TRANSIENT);
        sqlite3_bind_text(item, 4, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
        sqlite3_bind_text(item, 5, help.constData(), int(help.size()), SQLITE_TRANSIENT);
        sqlite3_bind_double(item, 6, 1 + i % 100);
        sqlite3_step(item);
        sqlite3_reset(item);
    }
    sqlite3_finalize(item);

    sqlite3_stmt* line = nullptr;
    sqlite3_prepare_v2(raw,
                       "insert into qd_x_xmzzk_mx(orgid, billno, uid, xm_id, sl, dj, je) "
                       "values(1, 'B1', ?1, ?2, 1, 1, 1)",
                       -1, &line, nullptr);
    quint32 seed = 12345;
    for (int l = 0; l < kLines; ++l) {
        seed = seed * 1103515245u + 12345u;
        const QByteArray uid = "B1-" + QByteArray::number(l);
        sqlite3_bind_text(line, 1, uid.constData(), int(uid.size()), SQLITE_TRANSIENT);
        sqlite3_bind_int(line, 2, 1 + int((seed >> 8) % kItems));
        sqlite3_step(line);
        sqlite3_reset(line);
    }
    sqlite3_finalize(line);
    exec(raw, "commit");
    exec(raw, "analyze");
}

struct LookupBench {
    Ui::UnattendedPrompter prompter;
    QTemporaryDir dir{QStringLiteral("/tmp/qd_bench_lookups_XXXXXX")};
    std::unique_ptr<Db::SqliteDataServices> db;
    sqlite3* raw = nullptr;
    Db::RecordSet lines;

    LookupBench() {
        Ui::setPrompter(&prompter);
        Sys::setProgramHome(dir.path());
        Db::setTraceFile(dir.filePath(F("trace.log")));
        const QString file = dir.filePath(F("lookups.db"));
        db = std::make_unique<Db::SqliteDataServices>(file, 5000);
        Db::ensureFrameworkSchema(*db);
        Db::setDataServices(db.get());
        sqlite3_open_v2(file.toUtf8().constData(), &raw, SQLITE_OPEN_READWRITE, nullptr);
        sqlite3_busy_timeout(raw, 5000);
        Db::Tsql::Session::registerFunctions(raw);
        Db::Tsql::Session::registerServerRules(raw);
        addData(raw);
        db->openDataToCDS(lines, F("select id, xm_id from qd_x_xmzzk_mx where billno = 'B1' "
                                   "order by id"));
    }
    ~LookupBench() {
        sqlite3_close(raw);
        Db::setDataServices(nullptr);
        Ui::setPrompter(nullptr);
    }
    static LookupBench& get() {
        static LookupBench bench;
        // Rows go back to their thread's pool while the thread is there.
        static const bool once = [] {
            qAddPostRoutine([] { bench.lines.close(); });
            return true;
        }();
        Q_UNUSED(once);
        return bench;
    }

    std::unique_ptr<Base::TjoinTableObject> itemLookup() {
        auto t = std::make_unique<Base::TjoinTableObject>(true);
        t->Fsql = kItemsSql;
        t->jo = QJsonObject{{F("keyfieldnames"), F("id")}, {F("listfieldnames"), F("name")}};
        t->open();
        return t;
    }
    static Ui::EditorProps props(Base::TjoinTableObject& t) {
        Ui::EditorProps p;
        p.kind = Ui::EditorKind::LookupCombo;
        p.listSource = t.Fcds.get();
        p.keyField = F("id");
        p.listFields = F("name");
        p.dropDownColumns = {{F("code"), F("编号"), 80}, {F("name"), F("项目"), 140}};
        p.autoSize = true;
        return p;
    }
    // A statement translated as the session runs it.
    QByteArray translated(const QString& tsql) {
        return db->session().explain(tsql).join(F(";\n")).toUtf8();
    }
};

// Typing `text` into an item lookup until the first page it finds is in the open drop-down.
void typeIntoLookup(benchmark::State& state, const QString& text) {
    LookupBench& b = LookupBench::get();
    auto t = b.itemLookup();
    Ui::LookupComboBox box(LookupBench::props(*t));
    box.resize(220, 24);
    box.show();
    auto* edit = box.findChild<QLineEdit*>();
    int shown = 0;
    for (auto _ : state) {
        box.setKeyValue(QVariant());  // back to the list, the text gone
        edit->setText(text);
        Q_EMIT edit->textEdited(text);
        shown = box.popupView()->model()->rowCount();
        box.hidePopup();
    }
    state.counters["rows"] = shown;
}

// The same condition, order and limit as one raw prepared query.
void rawSearch(benchmark::State& state, const QString& text) {
    LookupBench& b = LookupBench::get();
    const QByteArray sql = b.translated(
        F("select top (:qd_page) id, code, name, helpcode, dj from qd_b_xmbmk where orgid = 1 "
          "and isdel = 0 and (code like :qd_prefix escape '\\' or helpcode like :qd_prefix "
          "escape '\\' or name like :qd_contains escape '\\') order by code"));
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(b.raw, sql.constData(), int(sql.size()), &st, nullptr);
    int rows = 0;
    for (auto _ : state) {
        bindText(st, ":qd_prefix", (text + u'%').toUtf8());
        bindText(st, ":qd_contains", (u'%' + text + u'%').toUtf8());
        sqlite3_bind_int(st, sqlite3_bind_parameter_index(st, ":qd_page"), 200);
        rows = readAll(st);
        sqlite3_reset(st);
    }
    sqlite3_finalize(st);
    state.counters["rows"] = rows;
}

const QString kChinese = F("磨砂画册9");
const QString kPinyin = F("GQMP12");  // 高清名片12...

void BM_SearchChinese(benchmark::State& state) {
    typeIntoLookup(state, kChinese);
}
void BM_SearchChineseRaw(benchmark::State& state) {
    rawSearch(state, kChinese);
}
void BM_SearchPinyin(benchmark::State& state) {
    typeIntoLookup(state, kPinyin);
}
void BM_SearchPinyinRaw(benchmark::State& state) {
    rawSearch(state, kPinyin);
}

// The bill's lines in a grid with the item lookup column, scrolled a screen at a time from top
// to bottom; each screen's cells ask for their texts as a paint does (`paint`: the screen is
// painted), and the keys they miss are fetched before the next screen.
void scrollBill(benchmark::State& state, bool paint) {
    LookupBench& b = LookupBench::get();
    Ui::GridView view(F("tvLines"));
    view.resize(400, 800);
    view.setRecordSet(&b.lines);
    Ui::GridColumn* item = view.addColumn(F("tvLinesxm_id"));
    item->fieldName = F("xm_id");
    item->caption = F("项目");
    view.applyColumns();
    if (paint)
        view.show();
    const int field = b.lines.fieldIndex(F("xm_id"));
    int shown = 0;
    qint64 fetchNs = 0;
    for (auto _ : state) {
        auto t = b.itemLookup();
        item->props = LookupBench::props(*t);
        const int perScreen =
            view.viewport()->height() / view.verticalHeader()->defaultSectionSize();
        shown = 0;
        for (int first = 0; first < b.lines.recordCount(); first += perScreen) {
            if (paint) {
                view.scrollTo(view.recordSetModel()->index(first, field),
                              QAbstractItemView::PositionAtTop);
                view.viewport()->grab();
            } else {
                for (int r = first; r < std::min(first + perScreen, b.lines.recordCount()); ++r) {
                    const QModelIndex cell = view.recordSetModel()->index(r, field);
                    const Ui::Internal::DeferLookupKeys asked(view.viewport(), cell);
                    Ui::displayText(item->props, cell.data(Qt::EditRole));
                }
            }
            QElapsedTimer et;
            et.start();
            QApplication::processEvents();  // the keyed query after the screen
            fetchNs += et.nsecsElapsed();
        }
        for (int r = 0; r < b.lines.recordCount(); ++r)
            shown +=
                !Ui::displayText(item->props, b.lines.valueAt(b.lines.rowAt(r), field)).isEmpty();
        item->props = Ui::EditorProps();
    }
    state.counters["texts"] = shown;
    state.counters["fetchms"] = fetchNs / 1e6 / state.iterations();
}

void BM_ScrollBill(benchmark::State& state) {
    scrollBill(state, false);
}
void BM_ScrollBillPainted(benchmark::State& state) {
    scrollBill(state, true);
}

void BM_ScrollBillRaw(benchmark::State& state) {
    LookupBench& b = LookupBench::get();
    const QByteArray sql =
        b.translated(F("select l.id, i.name from qd_x_xmzzk_mx l join qd_b_xmbmk i on i.id = "
                       "l.xm_id where l.billno = 'B1' order by l.id"));
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(b.raw, sql.constData(), int(sql.size()), &st, nullptr);
    int rows = 0;
    for (auto _ : state) {
        rows = readAll(st);
        sqlite3_reset(st);
    }
    sqlite3_finalize(st);
    state.counters["texts"] = rows;
}

}  // namespace

BENCHMARK(BM_SearchChineseRaw)->Unit(benchmark::kMillisecond)->Repetitions(3);
BENCHMARK(BM_SearchChinese)->Unit(benchmark::kMillisecond)->Repetitions(3);
BENCHMARK(BM_SearchPinyinRaw)->Unit(benchmark::kMillisecond)->Repetitions(3);
BENCHMARK(BM_SearchPinyin)->Unit(benchmark::kMillisecond)->Repetitions(3);
BENCHMARK(BM_ScrollBillRaw)->Unit(benchmark::kMillisecond)->Repetitions(3);
BENCHMARK(BM_ScrollBill)->Unit(benchmark::kMillisecond)->Iterations(3)->Repetitions(3);
BENCHMARK(BM_ScrollBillPainted)->Unit(benchmark::kMillisecond)->Iterations(1);

int main(int argc, char** argv) {
    return Qd::Bench::runWithRatios(argc, argv,
                                    {{"BM_SearchChinese", "BM_SearchChineseRaw", 1.5},
                                     {"BM_SearchPinyin", "BM_SearchPinyinRaw", 1.5},
                                     {"BM_ScrollBill", "BM_ScrollBillRaw", 2.0},
                                     {"BM_ScrollBillPainted", "BM_ScrollBillRaw", 0}});
}
