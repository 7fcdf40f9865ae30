// The exporter over a grid of 10^6 rows x 10 columns (three texts with Chinese, four numbers of
// which two are money, a date, a check and a combo), each format against a plain loop writing the
// same output from values prepared in arrays: libxlsxwriter's constant-memory loop for xlsx, the
// xls workbook's own calls for xls, and for csv and html a loop appending the same bytes to a
// buffer. Every loop writes through the exporter's temporary file (waiting for the disk, then
// renaming it over the target), so that the ratios weigh the exporter's own work. Also the cost of
// the progress and cancel checks (the csv export with and without them), and the peak memory each
// export takes above the loaded record set, at 10^5 and at 10^6 rows: streaming keeps it the same.
#include <xlsxwriter.h>

#include <QDate>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <map>
#include <set>

#include "BenchMain.h"
#include "PeakMemory.h"
#include "base/OwnerOnly.h"
#include "ui/export/Export.h"
#include "ui/export/XlsWorkbook.h"
#include "ui/grid/Grid.h"

using namespace Qd::Core;

namespace {

constexpr int kBig = 1000000;
constexpr int kSmall = 100000;

// ---- memory ------------------------------------------------------------------------------------

using Qd::Bench::peakMemoryMiB;
using Qd::Bench::resetPeakMemory;
using Qd::Bench::statusMiB;

// Peak memory above the resident memory before the export, per benchmark, for the report.
std::map<std::string, double>& peaks() {
    static std::map<std::string, double> p;
    return p;
}

// ---- the data ----------------------------------------------------------------------------------

const char* kCombo[] = {"现金", "刷卡", "转账", "挂账"};

struct Data {
    explicit Data(int rows) : rows(rows) {
        const char* texts[] = {"code", "name", "memo"};
        for (const char* f : texts)
            rs.addField(f, Db::FieldType::Text);
        rs.addField("qty", Db::FieldType::Integer);
        rs.addField("weight", Db::FieldType::Float);
        rs.addField("price", Db::FieldType::Currency);
        rs.addField("amount", Db::FieldType::Currency);
        rs.addField("made", Db::FieldType::DateTime);
        rs.addField("paid", Db::FieldType::Boolean);
        rs.addField("pay", Db::FieldType::Text);
        rs.reserveRows(std::size_t(rows));
        const qint64 day0 = QDate(2026, 1, 1).toJulianDay();
        for (int i = 0; i < rows; ++i) {
            const std::uint32_t r = rs.loadRow();
            const QByteArray t[] = {
                QByteArray("B") + QByteArray::number(1000000 + i),
                QByteArray("北京朝阳商品") + QByteArray::number(i),
                QByteArray("第") + QByteArray::number(i % 977) + QByteArray("批到货，请核对")};
            for (int f = 0; f < 3; ++f)
                rs.setTextAt(r, f, t[f].constData(), std::size_t(t[f].size()));
            rs.setIntAt(r, 3, i % 100);
            rs.setFloatAt(r, 4, (i % 37) * 0.125);
            rs.setFloatAt(r, 5, (i % 500) * 0.25 + 0.5);
            rs.setFloatAt(r, 6, i % 7 == 0 ? -(i % 5000) * 1.25 : (i % 5000) * 1.25);
            rs.setIntAt(r, 7, (day0 + i % 365) * 86400000LL);
            rs.setIntAt(r, 8, i % 3 == 0);
            rs.setTextAt(r, 9, kCombo[i % 4], std::strlen(kCombo[i % 4]));
        }
        rs.open();
        view.setRecordSet(&rs);
        const char* captions[] = {"编号", "名称", "备注", "数量", "重量",
                                  "单价", "金额", "日期", "已付", "付款方式"};
        for (int f = 0; f < rs.fieldCount(); ++f) {
            Ui::GridColumn* c = view.addColumn(QStringLiteral("tv") + rs.fieldDef(f).name);
            c->fieldName = rs.fieldDef(f).name;
            c->caption = QString::fromUtf8(captions[f]);
            if (rs.fieldDef(f).type == Db::FieldType::Currency) {
                c->props.kind = Ui::EditorKind::Money;
                c->props.displayFormat = QStringLiteral("#,##0.00");
            }
        }
        view.columns()[8]->props.kind = Ui::EditorKind::Check;
        Ui::GridColumn* pay = view.columns()[9];
        pay->props.kind = Ui::EditorKind::Combo;
        for (const char* item : kCombo)
            pay->props.items << QString::fromUtf8(item);
        view.columns()[7]->props.kind = Ui::EditorKind::Date;
        view.applyColumns();
    }

    int rows;
    Db::RecordSet rs;
    Ui::GridView view{"tvBench"};
};

// Made once and kept to the end: the views must not outlive the application.
Data& data(int rows) {
    static auto* big = new Data(kBig);
    static auto* small = new Data(kSmall);
    return rows == kBig ? *big : *small;
}

// The same values, ready for the plain loops (10^6 rows).
struct Prepared {
    std::vector<std::string> text[3];
    std::vector<int> qty;
    std::vector<double> weight, price, amount, serial;
    std::vector<std::string> date;  // "yyyy-mm-dd"
    std::vector<bool> paid;
    std::vector<const char*> pay;

    Prepared() {
        const Db::RecordSet& rs = data(kBig).rs;
        for (int i = 0; i < kBig; ++i) {
            const std::uint32_t r = rs.rowAt(i);
            for (int f = 0; f < 3; ++f)
                text[f].emplace_back(rs.utf8At(r, f));
            qty.push_back(int(rs.intAt(r, 3)));
            weight.push_back(rs.floatAt(r, 4));
            price.push_back(rs.floatAt(r, 5));
            amount.push_back(rs.floatAt(r, 6));
            const qint64 ms = rs.intAt(r, 7);
            serial.push_back(double(ms) / 86400000.0 - double(QDate(1899, 12, 30).toJulianDay()));
            date.push_back(QDate::fromJulianDay(ms / 86400000).toString(Qt::ISODate).toStdString());
            paid.push_back(rs.intAt(r, 8) != 0);
            pay.push_back(kCombo[i % 4]);
        }
    }
};

Prepared& prepared() {
    static auto* p = new Prepared;
    return *p;
}

// ---- plain loops -------------------------------------------------------------------------------

void appendNumber(std::string& out, double v, int decimals, bool grouping) {
    char buf[64];
    const auto end =
        decimals < 0
            ? std::to_chars(buf, buf + sizeof buf, v).ptr
            : std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, decimals).ptr;
    if (!grouping) {
        out.append(buf, end);
        return;
    }
    const char* digits = buf + (buf[0] == '-');
    const char* point = std::find(digits, static_cast<const char*>(end), '.');
    out.append(buf, std::size_t(digits - buf));
    for (const char* p = digits; p < point; ++p) {
        if (p > digits && (point - p) % 3 == 0)
            out += ',';
        out += *p;
    }
    out.append(point, std::size_t(end - point));
}

// Writes the buffer out once it holds a chunk, as the exporter does.
struct Sink {
    Sys::PendingFile file;
    std::string buffer;
    explicit Sink(const QString& path) : file(path) { buffer.reserve(2 << 20); }
    void rowDone() {
        if (buffer.size() >= (1 << 20)) {
            file.write(buffer);
            buffer.clear();
        }
    }
    void finish() {
        file.write(buffer);
        file.commit();
    }
};

void rawCsv(const QString& path) {
    const Prepared& p = prepared();
    Sink out(path);
    out.buffer += "\xEF\xBB\xBF编号,名称,备注,数量,重量,单价,金额,日期,已付,付款方式\r\n";
    for (int i = 0; i < kBig; ++i) {
        std::string& b = out.buffer;
        for (int f = 0; f < 3; ++f) {
            b += p.text[f][std::size_t(i)];
            b += ',';
        }
        appendNumber(b, p.qty[std::size_t(i)], 0, false);
        b += ',';
        appendNumber(b, p.weight[std::size_t(i)], -1, false);
        b += ',';
        appendNumber(b, p.price[std::size_t(i)], 2, false);
        b += ',';
        appendNumber(b, p.amount[std::size_t(i)], 2, false);
        b += ',';
        b += p.date[std::size_t(i)];
        b += p.paid[std::size_t(i)] ? ",1," : ",0,";
        b += p.pay[std::size_t(i)];
        b += "\r\n";
        out.rowDone();
    }
    out.finish();
}

void rawHtml(const QString& path) {
    const Prepared& p = prepared();
    Sink out(path);
    out.buffer +=
        "<!DOCTYPE html>\n<html>\n<head>\n<meta charset=\"utf-8\"/>\n<title>raw</title>"
        "</head>\n<body>\n<table>\n<thead><tr><th>编号</th><th>名称</th><th>备注</th>"
        "<th>数量</th><th>重量</th><th>单价</th><th>金额</th><th>日期</th><th>已付"
        "</th><th>付款方式</th></tr></thead>\n<tbody>\n";
    for (int i = 0; i < kBig; ++i) {
        std::string& b = out.buffer;
        b += "<tr>";
        for (int f = 0; f < 3; ++f) {
            b += "<td>";
            b += p.text[f][std::size_t(i)];
            b += "</td>";
        }
        b += "<td class=\"n\">";
        appendNumber(b, p.qty[std::size_t(i)], 0, false);
        b += "</td><td class=\"n\">";
        appendNumber(b, p.weight[std::size_t(i)], -1, false);
        b += "</td><td class=\"n\">";
        appendNumber(b, p.price[std::size_t(i)], 2, true);
        b += "</td><td class=\"n\">";
        appendNumber(b, p.amount[std::size_t(i)], 2, true);
        b += "</td><td>";
        b += p.date[std::size_t(i)];
        b += p.paid[std::size_t(i)] ? "</td><td>是</td><td>" : "</td><td>否</td><td>";
        b += p.pay[std::size_t(i)];
        b += "</td></tr>\n";
        out.rowDone();
    }
    out.buffer += "</tbody>\n</table>\n</body>\n</html>\n";
    out.finish();
}

void rawXlsx(const QString& path) {
    const Prepared& p = prepared();
    Sys::PendingFile file(path);
    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE;
    lxw_workbook* book = workbook_new_opt(file.path().toUtf8().constData(), &options);
    lxw_worksheet* sheet = workbook_add_worksheet(book, "raw");
    lxw_format* money = workbook_add_format(book);
    format_set_num_format(money, "#,##0.00");
    lxw_format* date = workbook_add_format(book);
    format_set_num_format(date, "yyyy-mm-dd");
    lxw_format* integer = workbook_add_format(book);
    format_set_num_format(integer, "0");
    lxw_format* bold = workbook_add_format(book);
    format_set_bold(bold);
    for (lxw_col_t c = 0; c < 10; ++c) {
        worksheet_set_column(sheet, c, c, 13.57, nullptr);
        worksheet_write_string(sheet, 0, c, "标题", bold);
    }
    worksheet_freeze_panes(sheet, 1, 0);
    for (int i = 0; i < kBig; ++i) {
        const lxw_row_t r = lxw_row_t(i + 1);
        const std::size_t k = std::size_t(i);
        for (lxw_col_t t = 0; t < 3; ++t)
            worksheet_write_string(sheet, r, t, p.text[t][k].c_str(), nullptr);
        worksheet_write_number(sheet, r, 3, p.qty[k], integer);
        worksheet_write_number(sheet, r, 4, p.weight[k], nullptr);
        worksheet_write_number(sheet, r, 5, p.price[k], money);
        worksheet_write_number(sheet, r, 6, p.amount[k], money);
        worksheet_write_number(sheet, r, 7, p.serial[k], date);
        worksheet_write_boolean(sheet, r, 8, p.paid[k], nullptr);
        worksheet_write_string(sheet, r, 9, p.pay[k], nullptr);
    }
    workbook_close(book);
    file.commit();
}

void rawXls(const QString& path) {
    const Prepared& p = prepared();
    Sys::PendingFile file(path);
    Ui::Xls::Workbook book(file.path());
    const int money = book.addFormat(QStringLiteral("#,##0.00"));
    const int date = book.addFormat(QStringLiteral("yyyy-mm-dd"));
    const int integer = book.addFormat(QStringLiteral("0"));
    const int bold = book.addFormat({}, true);
    int sheets = 0, row = 0;
    const QString pay[] = {QString::fromUtf8(kCombo[0]), QString::fromUtf8(kCombo[1]),
                           QString::fromUtf8(kCombo[2]), QString::fromUtf8(kCombo[3])};
    QString text;
    for (int i = 0; i < kBig; ++i, ++row) {
        if (i % (Ui::Xls::kMaxRows - 1) == 0) {
            book.addSheet(QStringLiteral("raw %1").arg(++sheets));
            for (int c = 0; c < 10; ++c) {
                book.setColumnWidth(c, 13.57);
                book.writeString(0, c, QStringLiteral("标题"), bold);
            }
            book.freezeRows(1);
            row = 1;
        }
        const std::size_t k = std::size_t(i);
        for (int t = 0; t < 3; ++t) {
            text = QString::fromUtf8(p.text[t][k].data(), qsizetype(p.text[t][k].size()));
            book.writeString(row, t, text);
        }
        book.writeNumber(row, 3, p.qty[k], integer);
        book.writeNumber(row, 4, p.weight[k]);
        book.writeNumber(row, 5, p.price[k], money);
        book.writeNumber(row, 6, p.amount[k], money);
        book.writeNumber(row, 7, p.serial[k], date);
        book.writeBoolean(row, 8, p.paid[k]);
        book.writeString(row, 9, pay[i % 4]);
    }
    book.close();
    file.commit();
}

// ---- benchmarks --------------------------------------------------------------------------------

// Exports run once per repetition, the fastest counting (BenchMain.h): the text formats, quick
// enough, are repeated more, so that other work on the machine weighs less.

// Runs `body` once per iteration, keeping the peak memory it took above what was resident.
template <typename Body>
void measured(benchmark::State& state, const char* name, Body body) {
    QTemporaryDir dir;
    // The first run of a process makes the allocations later ones reuse (the writers' buffers,
    // the library's own): one run before the measured ones keeps them out of the figures.
    static std::set<std::string> warm;
    if (warm.insert(name).second && !body(dir))
        state.SkipWithError("export failed");
    double peak = 0;
    for (auto _ : state) {
        const double before = statusMiB("VmRSS:");
        resetPeakMemory();
        if (!body(dir))
            state.SkipWithError("export failed");
        peak = std::max(peak, peakMemoryMiB() - before);
    }
    state.counters["peak_MiB"] = peak;
    peaks()[name] = std::max(peaks()[name], peak);  // over the repetitions
}

template <Ui::ExportFormat format>
bool exported(const QTemporaryDir& dir, int rows, bool watched) {
    Ui::ExportOptions options;
    options.showProgress = watched;
    return Ui::exportGrid(data(rows).view, dir.filePath("export.out"), format, nullptr, options) ==
           Ui::ExportOutcome::Written;
}

#define QD_EXPORT_BENCH(name, format, rows, watched, repeats)                                \
    void name(benchmark::State& state) {                                                     \
        data(rows);                                                                          \
        measured(state, #name,                                                               \
                 [](const QTemporaryDir& d) { return exported<format>(d, rows, watched); }); \
    }                                                                                        \
    BENCHMARK(name)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(repeats);

QD_EXPORT_BENCH(BM_ExportXlsx, Ui::ExportFormat::Xlsx, kBig, true, 2)
QD_EXPORT_BENCH(BM_ExportXls, Ui::ExportFormat::Xls, kBig, true, 3)
QD_EXPORT_BENCH(BM_ExportCsv, Ui::ExportFormat::Csv, kBig, true, 5)
QD_EXPORT_BENCH(BM_ExportCsvUnwatched, Ui::ExportFormat::Csv, kBig, false, 5)
QD_EXPORT_BENCH(BM_ExportHtml, Ui::ExportFormat::Html, kBig, true, 5)
QD_EXPORT_BENCH(BM_ExportXlsxSmall, Ui::ExportFormat::Xlsx, kSmall, true, 2)
QD_EXPORT_BENCH(BM_ExportXlsSmall, Ui::ExportFormat::Xls, kSmall, true, 3)
QD_EXPORT_BENCH(BM_ExportCsvSmall, Ui::ExportFormat::Csv, kSmall, true, 5)
QD_EXPORT_BENCH(BM_ExportHtmlSmall, Ui::ExportFormat::Html, kSmall, true, 5)

#define QD_RAW_BENCH(name, loop, repeats)                   \
    void name(benchmark::State& state) {                    \
        prepared();                                         \
        measured(state, #name, [](const QTemporaryDir& d) { \
            loop(d.filePath("raw.out"));                    \
            return true;                                    \
        });                                                 \
    }                                                       \
    BENCHMARK(name)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(repeats);

QD_RAW_BENCH(BM_RawXlsx, rawXlsx, 2)
QD_RAW_BENCH(BM_RawXls, rawXls, 3)
QD_RAW_BENCH(BM_RawCsv, rawCsv, 5)
QD_RAW_BENCH(BM_RawHtml, rawHtml, 5)

}  // namespace

int main(int argc, char** argv) {
    const int status = Qd::Bench::runWithRatios(argc, argv,
                                                {{"BM_ExportXlsx", "BM_RawXlsx", 1.3},
                                                 {"BM_ExportXls", "BM_RawXls", 1.5},
                                                 {"BM_ExportCsv", "BM_RawCsv", 1.5},
                                                 {"BM_ExportHtml", "BM_RawHtml", 1.5},
                                                 {"BM_ExportCsv", "BM_ExportCsvUnwatched", 1.05}});
    std::printf("\nPeak memory above the loaded record set (MiB), 10^5 -> 10^6 rows:\n");
    for (const char* format : {"Xlsx", "Xls", "Csv", "Html"}) {
        const std::string big = std::string("BM_Export") + format;
        const auto b = peaks().find(big), s = peaks().find(big + "Small");
        if (b != peaks().end() && s != peaks().end())
            std::printf("  %-5s %8.1f -> %8.1f\n", format, s->second, b->second);
    }
    return status;
}
