// The item picker's quick search over 10^5 generated items (Chinese names, pinyin initials by
// HZtoPY, two-level categories): from the text set to the list shown, by code prefix, by pinyin
// initials and by a Chinese part of the name, each against a raw prepared sqlite3 query with the
// same LIKE condition and columns, stepped to its end reading every column, in the same run.
//   bench_pickers [--benchmark_filter=...]
#include <sqlite3.h>

#include <QApplication>
#include <QLineEdit>
#include <memory>

#include "BenchMain.h"
#include "DemoBench.h"
#include "RawSqlite.h"
#include "db/SqliteDataServices.h"
#include "report/ListSearch.h"
#include "report/uModuleFilterForm.h"
#include "sys/SystemServices.h"
#include "ui/grid/Grid.h"

using namespace Qd::Core;
using Qd::Bench::exec;
using Qd::Bench::readAll;

namespace {

constexpr int kItems = 100000;
constexpr int kTop = 10;     // top-level categories
constexpr int kSecond = 10;  // second-level ones under each

const char* const kAdjectives[] = {"彩色", "精装", "加厚", "环保", "高清", "防水", "磨砂",
                                   "覆膜", "烫金", "异形", "双面", "单面", "特种", "经典",
                                   "豪华", "简约", "标准", "加急", "户外", "室内"};
const char* const kProducts[] = {
    "名片",   "会员卡", "宣传单", "三折页", "喷绘布", "条幅",   "写真",   "易拉宝", "画册",
    "标书",   "海报",   "展架",   "台历",   "挂历",   "手提袋", "信封",   "信纸",   "便签",
    "贴纸",   "不干胶", "吊旗",   "灯箱片", "门头",   "背景墙", "展板",   "桌牌",   "胸牌",
    "工作证", "邀请函", "贺卡",   "明信片", "书签",   "折页",   "菜单",   "价目表", "说明书",
    "合格证", "吊牌",   "封套",   "档案袋", "纸杯",   "杯垫",   "鼠标垫", "日历",   "笔记本",
    "证书",   "奖状",   "票据",   "彩页",   "样本"};

struct PickerBench {
    Qd::Bench::DemoBench demo{QStringLiteral("/tmp/qd_bench_pickers_XXXXXX")};
    Db::SqliteDataServices& db = *demo.db;
    sqlite3* raw = demo.raw;
    std::unique_ptr<Sys::SystemServices> sys;
    std::unique_ptr<Report::TModuleFilterForm> picker;
    sqlite3_stmt* rawSearch = nullptr;

    PickerBench() {
        generate();

        sys = std::make_unique<Sys::SystemServices>(db);
        Sys::setSystemServices(sys.get());
        sys->login(QStringLiteral("1001"), QStringLiteral("123456"), sys->stores().front().id);
        picker = std::make_unique<Report::TModuleFilterForm>(
            nullptr, sys->plugs().plugbyName(QStringLiteral("项目资料"), false), Report::fmMulti);
        picker->resize(1000, 700);
        picker->show();
        qAddPostRoutine([] { get().picker.reset(); });

        // The list statement of the module with the search's condition on the item's columns.
        const char* sql =
            "select t1.*, c1.code as p1_code, c1.name as p1_name, c2.code as p2_code, c2.name as "
            "p2_name from qd_b_xmbmk t1 left join qd_b_category c1 on t1.p1 = c1.id left join "
            "qd_b_category c2 on t1.p2 = c2.id where t1.orgid = '1' and t1.isdel = 0 and "
            "(t1.code like ?1 escape '\\' or t1.helpcode like ?1 escape '\\' or t1.name like ?2 "
            "escape '\\') order by t1.code";
        sqlite3_prepare_v2(raw, sql, -1, &rawSearch, nullptr);
    }
    ~PickerBench() {
        sqlite3_finalize(rawSearch);
        Sys::setSystemServices(nullptr);
    }

    // Categories and items through raw inserts: item i under top i % kTop, second (i / kTop) %
    // kSecond; its name an adjective, a product and its number.
    void generate() {
        exec(raw, "begin");
        std::vector<int> top, second;
        sqlite3_stmt* category = nullptr;
        sqlite3_prepare_v2(raw,
                           "insert into qd_b_category(orgid, pid, code, name, iclass) "
                           "values(1, ?1, ?2, ?3, 'XM')",
                           -1, &category, nullptr);
        auto addCategory = [&](int pid, const QByteArray& code, const QByteArray& name) {
            sqlite3_bind_int(category, 1, pid);
            sqlite3_bind_text(category, 2, code.constData(), int(code.size()), SQLITE_TRANSIENT);
            sqlite3_bind_text(category, 3, name.constData(), int(name.size()), SQLITE_TRANSIENT);
            sqlite3_step(category);
            sqlite3_reset(category);
            return int(sqlite3_last_insert_rowid(raw));
        };
        for (int t = 0; t < kTop; ++t) {
            top.push_back(addCategory(0, "T" + QByteArray::number(t),
                                      QStringLiteral("大类%1").arg(t).toUtf8()));
            for (int s = 0; s < kSecond; ++s)
                second.push_back(addCategory(top.back(), "T" + QByteArray::number(t * 100 + s),
                                             QStringLiteral("小类%1").arg(s).toUtf8()));
        }
        sqlite3_finalize(category);
        sqlite3_stmt* item = nullptr;
        sqlite3_prepare_v2(raw,
                           "insert into qd_b_xmbmk(orgid, p1, p2, code, name, helpcode, itemno, "
                           "baseunit, dj) values(1, ?1, ?2, ?3, ?4, ?5, 'A4', '张', 1.5)",
                           -1, &item, nullptr);
        for (int i = 1; i <= kItems; ++i) {
            const int t = i % kTop, s = (i / kTop) % kSecond;
            const QString name = QString::fromUtf8(kAdjectives[i % 20]) +
                                 QString::fromUtf8(kProducts[(i / 20) % 50]) + QString::number(i);
            const QByteArray code = "XM" + QByteArray::number(i).rightJustified(6, '0');
            const QByteArray n = name.toUtf8(), h = Sys::HZtoPY(name).toUtf8();
            sqlite3_bind_int(item, 1, top[t]);
            sqlite3_bind_int(item, 2, second[t * kSecond + s]);
            sqlite3_bind_text(item, 3, code.constData(), int(code.size()), SQLITE_TRANSIENT);
            sqlite3_bind_text(item, 4, n.constData(), int(n.size()), SQLITE_TRANSIENT);
            sqlite3_bind_text(item, 5, h.constData(), int(h.size()), SQLITE_TRANSIENT);
            sqlite3_step(item);
            sqlite3_reset(item);
        }
        sqlite3_finalize(item);
        exec(raw, "commit");
        exec(raw, "analyze");
    }

    static PickerBench& get() {
        static PickerBench bench;
        return bench;
    }
};

// The text set in the box, the search run, the list shown (painted).
void pickerSearch(benchmark::State& state, const QString& text) {
    PickerBench& b = PickerBench::get();
    for (auto _ : state) {
        b.picker->edtQuickSearch->setText(text);
        b.picker->searchNow();
        b.picker->cxgMainView->viewport()->repaint();
    }
    state.counters["rows"] = b.picker->cdsMain.recordCount();
    // Back to every row, untimed, so that each run starts from the same list.
    b.picker->edtQuickSearch->setText(QString());
    b.picker->searchNow();
}

void rawSearch(benchmark::State& state, const QString& text) {
    PickerBench& b = PickerBench::get();
    const QString literal = Report::likeLiteral(text);
    const QByteArray prefix = (literal + QLatin1Char('%')).toUtf8();
    const QByteArray contains = (QLatin1Char('%') + literal + QLatin1Char('%')).toUtf8();
    int rows = 0;
    for (auto _ : state) {
        sqlite3_reset(b.rawSearch);
        sqlite3_bind_text(b.rawSearch, 1, prefix.constData(), int(prefix.size()), SQLITE_STATIC);
        sqlite3_bind_text(b.rawSearch, 2, contains.constData(), int(contains.size()),
                          SQLITE_STATIC);
        rows = readAll(b.rawSearch);
    }
    state.counters["rows"] = rows;
}

const QString kCode = QStringLiteral("XM0123");     // 100 items
const QString kPinyin = QStringLiteral("JZHC");     // 精装画册: 100 items
const QString kChinese = QStringLiteral("易拉宝");  // 2000 items

void BM_SearchCode(benchmark::State& s) {
    pickerSearch(s, kCode);
}
void BM_SearchCodeRaw(benchmark::State& s) {
    rawSearch(s, kCode);
}
void BM_SearchPinyin(benchmark::State& s) {
    pickerSearch(s, kPinyin);
}
void BM_SearchPinyinRaw(benchmark::State& s) {
    rawSearch(s, kPinyin);
}
void BM_SearchChinese(benchmark::State& s) {
    pickerSearch(s, kChinese);
}
void BM_SearchChineseRaw(benchmark::State& s) {
    rawSearch(s, kChinese);
}

}  // namespace

BENCHMARK(BM_SearchCodeRaw)->Unit(benchmark::kMillisecond)->Repetitions(3);
BENCHMARK(BM_SearchCode)->Unit(benchmark::kMillisecond)->Repetitions(3);
BENCHMARK(BM_SearchPinyinRaw)->Unit(benchmark::kMillisecond)->Repetitions(3);
BENCHMARK(BM_SearchPinyin)->Unit(benchmark::kMillisecond)->Repetitions(3);
BENCHMARK(BM_SearchChineseRaw)->Unit(benchmark::kMillisecond)->Repetitions(3);
BENCHMARK(BM_SearchChinese)->Unit(benchmark::kMillisecond)->Repetitions(3);

int main(int argc, char** argv) {
    return Qd::Bench::runWithRatios(argc, argv,
                                    {{"BM_SearchCode", "BM_SearchCodeRaw", 1.5},
                                     {"BM_SearchPinyin", "BM_SearchPinyinRaw", 1.5},
                                     {"BM_SearchChinese", "BM_SearchChineseRaw", 1.5}});
}
