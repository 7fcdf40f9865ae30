// The master-data list: exporting a grid of 10^5 rows x 10 columns to xlsx against a plain
// libxlsxwriter constant-memory loop writing the same values (peak memory of each reported),
// and opening the employee list over 10^5 employees to its first painted screen.
#include <sqlite3.h>
#include <xlsxwriter.h>

#include <QFile>
#include <QTabWidget>
#include <QTemporaryDir>

#include "BenchMain.h"
#include "BenchSession.h"
#include "PeakMemory.h"
#include "base/ProgramHome.h"
#include "basic/uSingleBasicRibbonForm.h"
#include "db/Schema.h"
#include "db/SqliteDataServices.h"
#include "sys/SystemServices.h"
#include "ui/Ribbon.h"
#include "ui/export/XlsxExport.h"
#include "ui/grid/Grid.h"

using namespace Qd::Core;

namespace {

constexpr int kRows = 100000;

using Qd::Bench::peakMemoryMiB;
using Qd::Bench::resetPeakMemory;

// ---- export ------------------------------------------------------------------------------------

struct ExportData {
    Db::RecordSet rs;
    Ui::GridView view{"tvExport"};
    // The same values, ready for the plain loop.
    std::vector<std::string> text[4];
    std::vector<double> number[5];
    std::vector<double> serial;

    ExportData() {
        const char* texts[] = {"code", "name", "store", "memo"};
        for (const char* f : texts)
            rs.addField(f, Db::FieldType::Text);
        for (const char* f : {"qty", "cartons", "points"})
            rs.addField(f, Db::FieldType::Integer);
        for (const char* f : {"price", "amount"})
            rs.addField(f, Db::FieldType::Currency);
        rs.addField("made", Db::FieldType::DateTime);
        rs.createDataSet();
        const QDateTime base(QDate(2026, 1, 1), QTime(9, 30));
        for (int i = 0; i < kRows; ++i) {
            const QString values[] = {QStringLiteral("B%1").arg(i, 6, 10, QLatin1Char('0')),
                                      QStringLiteral("北京朝阳商品%1").arg(i),
                                      QStringLiteral("门店%1").arg(i % 20),
                                      QStringLiteral("备注第%1行").arg(i)};
            rs.append();
            for (int t = 0; t < 4; ++t) {
                rs.field(t).setValue(values[t]);
                text[t].push_back(values[t].toStdString());
            }
            const double n[] = {double(i % 100), double(i % 7), double(i % 1000), (i % 500) * 0.25,
                                (i % 5000) * 1.25};
            for (int k = 0; k < 5; ++k) {
                rs.field(4 + k).setValue(n[k]);
                number[k].push_back(n[k]);
            }
            const QDateTime made = base.addSecs(qint64(i) * 60);
            rs.field(9).setValue(made);
            serial.push_back(made.date().toJulianDay() - QDate(1899, 12, 30).toJulianDay() +
                             made.time().msecsSinceStartOfDay() / 86400000.0);
            rs.post();
        }
        rs.mergeChangeLog();
        view.setRecordSet(&rs);
        for (int f = 0; f < rs.fieldCount(); ++f) {
            Ui::GridColumn* c = view.addColumn(QStringLiteral("tv") + rs.fieldDef(f).name);
            c->fieldName = rs.fieldDef(f).name;
            c->caption = rs.fieldDef(f).name;
            if (rs.fieldDef(f).type == Db::FieldType::Currency)
                c->props.displayFormat = QStringLiteral("#,##0.00");
        }
        view.applyColumns();
    }
};

// Made once and kept to the end: its grid view must not outlive the application.
ExportData& exportData() {
    static auto* d = new ExportData;
    return *d;
}

void BM_ExportGridXlsx(benchmark::State& state) {
    ExportData& d = exportData();
    QTemporaryDir dir;
    double peak = 0;
    for (auto _ : state) {
        resetPeakMemory();
        if (!Ui::exportToXlsx(d.view, dir.filePath("grid.xlsx")))
            state.SkipWithError("export failed");
        peak = std::max(peak, peakMemoryMiB());
    }
    state.counters["peak_MiB"] = peak;
}

void BM_RawXlsxwriterLoop(benchmark::State& state) {
    ExportData& d = exportData();
    QTemporaryDir dir;
    const QByteArray path = dir.filePath("raw.xlsx").toUtf8();
    double peak = 0;
    for (auto _ : state) {
        resetPeakMemory();
        lxw_workbook_options options{};
        options.constant_memory = LXW_TRUE;
        lxw_workbook* book = workbook_new_opt(path.constData(), &options);
        lxw_worksheet* sheet = workbook_add_worksheet(book, nullptr);
        lxw_format* money = workbook_add_format(book);
        format_set_num_format(money, "#,##0.00");
        lxw_format* date = workbook_add_format(book);
        format_set_num_format(date, "yyyy-mm-dd");
        lxw_format* bold = workbook_add_format(book);
        format_set_bold(bold);
        for (lxw_col_t c = 0; c < 10; ++c)
            worksheet_write_string(sheet, 0, c, "caption", bold);
        for (int i = 0; i < kRows; ++i) {
            const lxw_row_t r = lxw_row_t(i + 1);
            for (lxw_col_t t = 0; t < 4; ++t)
                worksheet_write_string(sheet, r, t, d.text[t][size_t(i)].c_str(), nullptr);
            for (lxw_col_t k = 0; k < 5; ++k)
                worksheet_write_number(sheet, r, 4 + k, d.number[k][size_t(i)],
                                       k >= 3 ? money : nullptr);
            worksheet_write_number(sheet, r, 9, d.serial[size_t(i)], date);
        }
        workbook_close(book);
        peak = std::max(peak, peakMemoryMiB());
    }
    state.counters["peak_MiB"] = peak;
}

// ---- the employee list -------------------------------------------------------------------------

struct Employees : Qd::Bench::BenchSession {
    Sys::TPlugItemSingleBasic item;

    Employees() {
        db->exec(QStringLiteral(
            "insert into qd_b_ckbmk(orgid, code, name) values(1, 'MD02', N'东城分店')"));
        sqlite3* h = db->handle();
        sqlite3_exec(h, "begin", nullptr, nullptr, nullptr);
        sqlite3_stmt* st = nullptr;
        sqlite3_prepare_v2(h,
                           "insert into qd_b_ygbmk(orgid, ck_id, code, name, helpcode, mobile, "
                           "memo, isort) values(1, ?, ?, ?, 'ZS', ?, '', 0)",
                           -1, &st, nullptr);
        for (int i = 1; i <= kRows; ++i) {
            const QByteArray code = QStringLiteral("E%1").arg(i, 6, 10, QLatin1Char('0')).toUtf8();
            const QByteArray name = QStringLiteral("员工%1").arg(i).toUtf8();
            const QByteArray mobile =
                QStringLiteral("139%1").arg(i, 8, 10, QLatin1Char('0')).toUtf8();
            sqlite3_bind_int(st, 1, 1 + i % 2);
            sqlite3_bind_text(st, 2, code.constData(), -1, SQLITE_TRANSIENT);
            sqlite3_bind_text(st, 3, name.constData(), -1, SQLITE_TRANSIENT);
            sqlite3_bind_text(st, 4, mobile.constData(), -1, SQLITE_TRANSIENT);
            sqlite3_step(st);
            sqlite3_reset(st);
        }
        sqlite3_finalize(st);
        sqlite3_exec(h, "commit", nullptr, nullptr, nullptr);
        login();
        item.code = "YG";
        item.name = item.title = QStringLiteral("员工资料");
        item.setTexts(
            QStringLiteral(
                R"({"mainsql": "select t1.*, c.code as ck_code, c.name as ck_name from qd_b_ygbmk t1 left join qd_b_ckbmk c on t1.ck_id = c.id where t1.orgid = :orgid and t1.isdel = 0",
                    "sort": "t1.code", "tablename": "qd_b_ygbmk", "key": "id",
                    "ignoreFields": ["ck_code", "ck_name"], "validation": []})"),
            QStringLiteral(
                R"([{"fieldname": "code", "label": "编号", "width": "70"},
                    {"fieldname": "name", "label": "姓名", "width": "80"},
                    {"fieldname": "ck_id", "label": "所属门店", "width": "110", "type": "lookupcombobox",
                     "join": {"sql": "select id, code, name from qd_b_ckbmk where orgid = :orgid",
                              "keyfieldnames": "id", "listfieldnames": "name",
                              "fields": [{"fieldname": "code", "caption": "编号", "target": "ck_code"},
                                         {"fieldname": "name", "caption": "门店", "target": "ck_name"}]}},
                    {"fieldname": "mobile", "label": "手机", "width": "110"},
                    {"fieldname": "helpcode", "label": "助记码", "width": "70"},
                    {"fieldname": "isort", "label": "排序", "width": "50"},
                    {"fieldname": "memo", "label": "备注", "width": "180"},
                    {"fieldname": "lastupdate", "label": "更新日期", "width": "90", "type": "date"}])"),
            QString());
    }
};

void BM_OpenEmployeeList(benchmark::State& state) {
    static auto* employees = new Employees;  // kept, as exportData()
    Qd::Bench::openDockedForm<Base::TSingleBasicRibbonForm>(state, employees->item);
}

}  // namespace

BENCHMARK(BM_RawXlsxwriterLoop)->Unit(benchmark::kMillisecond)->MinWarmUpTime(0.5)->MinTime(3.0);
BENCHMARK(BM_ExportGridXlsx)->Unit(benchmark::kMillisecond)->MinWarmUpTime(0.5)->MinTime(3.0);
BENCHMARK(BM_OpenEmployeeList)->Unit(benchmark::kMillisecond)->MinWarmUpTime(1.0)->MinTime(2.0);

int main(int argc, char** argv) {
    return Qd::Bench::runWithRatios(argc, argv,
                                    {{"BM_ExportGridXlsx", "BM_RawXlsxwriterLoop", 1.3}});
}
