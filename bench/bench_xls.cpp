// The xls workbook: 10^6 rows x 10 columns (numbers of each stored form, short Latin and Chinese
// texts, dates, booleans; a sheet per 65,536 rows) written through Xls::Workbook, against a
// plain loop writing the same cell records to a file through a buffer of the same size, with no
// checks, no globals and no container, and knowing each column's record type beforehand. The
// workbook's extra work per cell (its checks, choosing a number's form, one call) is what the
// ratio shows; the limit is kept at 2.0 for the writer alone, the exporter's own benchmark
// compares a whole export.
#include <QFile>
#include <QTemporaryDir>
#include <vector>

#include "BenchMain.h"
#include "ui/export/XlsRecords.h"
#include "ui/export/XlsWorkbook.h"

namespace {

using namespace Qd::Core::Ui;
namespace Biff = Xls::Biff;

constexpr int kRows = 1000000;
constexpr int kColumns = 10;
constexpr int kDataRowsPerSheet = Xls::kMaxRows - 1;  // under a header row

// Texts made once, so that both loops measure writing, not making strings.
struct Texts {
    std::vector<QString> codes, names;
    Texts() {
        for (int i = 0; i < 1000; ++i) {
            codes.push_back(QStringLiteral("C%1").arg(i, 6, 10, QLatin1Char('0')));
            names.push_back(QString::fromUtf8("商品名称%1号").arg(i));
        }
    }
};
const Texts& texts() {
    static const Texts t;
    return t;
}

double price(int row) {
    return (row % 100000) / 100.0;  // two decimals: the compact form
}
double ratio(int row) {
    return (row + 0.5) / 7.0;  // the full form
}

void BM_XlsWorkbook(benchmark::State& state) {
    const Texts& t = texts();
    QTemporaryDir dir;
    for (auto _ : state) {
        Xls::Workbook book(dir.filePath("bench.xls"));
        const int header = book.addFormat(QString(), true);
        const int money = book.addFormat("#,##0.00");
        const int date = book.addFormat("yyyy-mm-dd");
        int sheetRow = 0;
        for (int row = 0; row < kRows; ++row) {
            if (row % kDataRowsPerSheet == 0) {
                book.addSheet(QStringLiteral("Sheet%1").arg(row / kDataRowsPerSheet + 1));
                for (int c = 0; c < kColumns; ++c)
                    book.writeString(0, c, t.codes[size_t(c)], header);
                sheetRow = 1;
            }
            const size_t k = size_t(row % 1000);
            book.writeNumber(sheetRow, 0, row);
            book.writeString(sheetRow, 1, t.codes[k]);
            book.writeString(sheetRow, 2, t.names[k]);
            book.writeNumber(sheetRow, 3, price(row), money);
            book.writeNumber(sheetRow, 4, ratio(row));
            book.writeNumber(sheetRow, 5, 45000 + row % 1000, date);
            book.writeBoolean(sheetRow, 6, row % 3 == 0);
            book.writeNumber(sheetRow, 7, row % 50);
            book.writeString(sheetRow, 8, t.names[999 - k]);
            book.writeNumber(sheetRow, 9, ratio(row) * 3);
            ++sheetRow;
        }
        if (!book.close())
            state.SkipWithError(qPrintable(book.error()));
    }
}
BENCHMARK(BM_XlsWorkbook)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1)
    ->Repetitions(3);

// The same cell records, encoded inline and written through a 1 MiB buffer.
class RawFile {
public:
    explicit RawFile(const QString& path) : m_file(path), m_buffer(1024 * 1024) {
        m_file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered);
    }
    ~RawFile() { flush(); }
    char* append(qsizetype n) {
        if (m_used + n > qsizetype(m_buffer.size()))
            flush();
        char* p = m_buffer.data() + m_used;
        m_used += n;
        return p;
    }

private:
    void flush() {
        m_file.write(m_buffer.data(), m_used);
        m_used = 0;
    }
    QFile m_file;
    std::vector<char> m_buffer;
    qsizetype m_used = 0;
};

void integer(RawFile& out, int row, int column, int value, quint16 xf = 15) {
    Biff::put32(Biff::cellRecord(out, Biff::kRk, 4, row, column, xf), (quint32(value) << 2) | 2);
}
void label(RawFile& out, int row, int column, const QString& text, quint16 xf = 15) {
    const bool oneByte = Biff::fitsOneByte(text);
    Biff::putText(
        Biff::cellRecord(out, Biff::kLabel, Biff::textSize(text, oneByte), row, column, xf), text,
        oneByte);
}

void BM_RawCellLoop(benchmark::State& state) {
    const Texts& t = texts();
    QTemporaryDir dir;
    for (auto _ : state) {
        RawFile out(dir.filePath("raw.bin"));
        int sheetRow = 0;
        for (int row = 0; row < kRows; ++row) {
            if (row % kDataRowsPerSheet == 0) {
                for (int c = 0; c < kColumns; ++c)
                    label(out, 0, c, t.codes[size_t(c)], 16);
                sheetRow = 1;
            }
            const size_t k = size_t(row % 1000);
            integer(out, sheetRow, 0, row);
            label(out, sheetRow, 1, t.codes[k]);
            label(out, sheetRow, 2, t.names[k]);
            Biff::put32(Biff::cellRecord(out, Biff::kRk, 4, sheetRow, 3, 17),
                        (quint32(qRound(price(row) * 100)) << 2) | 3);
            Biff::putDouble(Biff::cellRecord(out, Biff::kNumber, 8, sheetRow, 4, 15), ratio(row));
            integer(out, sheetRow, 5, 45000 + row % 1000, 18);
            char* p = Biff::cellRecord(out, Biff::kBoolErr, 2, sheetRow, 6, 15);
            Biff::put8(Biff::put8(p, row % 3 == 0), 0);
            integer(out, sheetRow, 7, row % 50);
            label(out, sheetRow, 8, t.names[999 - k]);
            Biff::putDouble(Biff::cellRecord(out, Biff::kNumber, 8, sheetRow, 9, 15),
                            ratio(row) * 3);
            ++sheetRow;
        }
    }
}
BENCHMARK(BM_RawCellLoop)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1)
    ->Repetitions(3);

}  // namespace

int main(int argc, char** argv) {
    return Qd::Bench::runWithRatios(argc, argv, {{"BM_XlsWorkbook", "BM_RawCellLoop", 2.0}});
}
