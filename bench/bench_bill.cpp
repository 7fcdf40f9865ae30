// The bill windows' data paths, one group per concern, each against a raw baseline measured in
// the same run:
//   - attachments' file store: a 256 MiB file stored (MD5File + putFile) and fetched
//     (downloadFile), against an MD5 pass and an incremental blob write / a blob read and a file
//     write with raw sqlite3 calls; with the growth of the peak resident size of each.
//   bench_bill [--benchmark_filter=...]
#include <sqlite3.h>

#include <QCryptographicHash>
#include <QFile>
#include <QTemporaryDir>
#include <cstdio>
#include <memory>

#include "BenchDatabase.h"
#include "BenchMain.h"
#include "base/ProgramHome.h"
#include "db/DataServices.h"

using namespace Qd::Core::Db;

namespace {

// ---- memory ------------------------------------------------------------------------------

// A figure of /proc/self/status in KiB ("VmHWM", "VmRSS"); 0 where there is none.
qint64 statusKiB(const char* key) {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith(key))
            return line.mid(int(qstrlen(key)) + 1).trimmed().split(' ').value(0).toLongLong();
    return 0;
}

// The growth of the peak resident size while it lives: the peak is reset when it starts (Linux's
// clear_refs), so what it reports is the most memory the measured step held beyond what was
// resident before it.
class PeakGrowth {
public:
    PeakGrowth() {
        QFile clear(QStringLiteral("/proc/self/clear_refs"));
        if (clear.open(QIODevice::WriteOnly))
            clear.write("5");
        m_before = statusKiB("VmRSS:");
    }
    double mib() const { return double(statusKiB("VmHWM:") - m_before) / 1024.0; }

private:
    qint64 m_before;
};

// ---- attachments' file store ----------------------------------------------------------------

constexpr qint64 kFileBytes = qint64(256) << 20;
constexpr qint64 kChunk = qint64(1) << 20;

// A 256 MiB file in a temporary folder under /tmp, the data services' database beside it (also
// the program home, for the downloaded copies), and a raw connection to a database of its own
// in the same mode, for the baselines. Made once for the group, removed at exit.
struct FileStoreBench {
    QTemporaryDir dir{QStringLiteral("/tmp/qd_bench_bill_XXXXXX")};
    QString source;
    QString name;  // as the attachment list names it: MD5 hex + extension
    std::unique_ptr<Qd::Bench::BenchDatabase> services;
    sqlite3* raw = nullptr;

    FileStoreBench() {
        Qd::Core::Sys::setProgramHome(dir.path());
        source = dir.filePath(QStringLiteral("scan.tif"));
        QFile out(source);
        out.open(QIODevice::WriteOnly);
        QByteArray chunk(int(kChunk), Qt::Uninitialized);
        for (qint64 done = 0; done < kFileBytes; done += kChunk) {
            for (int i = 0; i < chunk.size(); i += 64)
                chunk[i] = char((done + i) / 4096);
            out.write(chunk);
        }
        out.close();
        name = MD5Print(MD5File(source)) + QStringLiteral(".tif");
        services = std::make_unique<Qd::Bench::BenchDatabase>();
        setDataServices(services->db.get());
        sqlite3_open(dir.filePath(QStringLiteral("raw.db")).toUtf8().constData(), &raw);
        sqlite3_exec(raw,
                     "PRAGMA journal_mode=WAL;"
                     "create table files(id integer primary key, md5 text, size integer,"
                     " content blob)",
                     nullptr, nullptr, nullptr);
    }
    ~FileStoreBench() { sqlite3_close(raw); }

    static FileStoreBench& get() {
        static FileStoreBench bench;
        return bench;
    }
};

// Writes the rest of `file` (kFileBytes) into a new row of the raw table with raw calls:
// insert a zeroblob, then the blob written chunk by chunk, in one transaction. Its rowid, or -1.
qint64 rawStore(sqlite3* db, QFile& file, const QByteArray& md5Hex, QByteArray& chunk) {
    sqlite3_exec(db, "begin immediate", nullptr, nullptr, nullptr);
    sqlite3_stmt* insert = nullptr;
    sqlite3_prepare_v2(db, "insert into files(md5, size, content) values(?1, ?2, zeroblob(?2))", -1,
                       &insert, nullptr);
    sqlite3_bind_text(insert, 1, md5Hex.constData(), int(md5Hex.size()), SQLITE_TRANSIENT);
    sqlite3_bind_int64(insert, 2, kFileBytes);
    sqlite3_step(insert);
    sqlite3_finalize(insert);
    const qint64 row = sqlite3_last_insert_rowid(db);
    sqlite3_blob* blob = nullptr;
    sqlite3_blob_open(db, "main", "files", "content", row, 1, &blob);
    qint64 offset = 0;
    for (qint64 n; (n = file.read(chunk.data(), chunk.size())) > 0; offset += n)
        sqlite3_blob_write(blob, chunk.constData(), int(n), int(offset));
    sqlite3_blob_close(blob);
    const bool done = sqlite3_exec(db, "commit", nullptr, nullptr, nullptr) == SQLITE_OK;
    return done && offset == kFileBytes ? row : -1;
}

void BM_StoreFile(benchmark::State& state) {
    FileStoreBench& b = FileStoreBench::get();
    double growth = 0;
    for (auto _ : state) {
        PeakGrowth peak;
        const QString name = MD5Print(MD5File(b.source)) + QStringLiteral(".tif");
        QFile file(b.source);
        if (!dataServices().putFile(name, file))
            state.SkipWithError("putFile failed");
        growth = std::max(growth, peak.mib());
        state.PauseTiming();
        dataServices().delAttachFile(name);
        state.ResumeTiming();
    }
    state.counters["rss_growth_MiB"] = growth;
}

// Baseline: one MD5 pass over the file, then the file written into a blob with raw calls.
void BM_StoreFileRaw(benchmark::State& state) {
    FileStoreBench& b = FileStoreBench::get();
    QByteArray chunk(int(kChunk), Qt::Uninitialized);
    double growth = 0;
    for (auto _ : state) {
        PeakGrowth peak;
        QFile file(b.source);
        file.open(QIODevice::ReadOnly);
        QCryptographicHash md5(QCryptographicHash::Md5);
        for (qint64 n; (n = file.read(chunk.data(), chunk.size())) > 0;)
            md5.addData(QByteArrayView(chunk.constData(), n));
        const QByteArray hex = md5.result().toHex();
        file.seek(0);
        if (rawStore(b.raw, file, hex, chunk) < 0)
            state.SkipWithError("raw store failed");
        growth = std::max(growth, peak.mib());
        state.PauseTiming();
        sqlite3_exec(b.raw, "delete from files", nullptr, nullptr, nullptr);
        state.ResumeTiming();
    }
    state.counters["rss_growth_MiB"] = growth;
}

void BM_DownloadFile(benchmark::State& state) {
    FileStoreBench& b = FileStoreBench::get();
    QFile file(b.source);
    if (!dataServices().putFile(b.name, file)) {
        state.SkipWithError("putFile failed");
        return;
    }
    double growth = 0;
    for (auto _ : state) {
        PeakGrowth peak;
        if (dataServices().downloadFile(b.name).isEmpty())
            state.SkipWithError("downloadFile failed");
        growth = std::max(growth, peak.mib());
    }
    state.counters["rss_growth_MiB"] = growth;
    dataServices().delAttachFile(b.name);
}

// Baseline: the blob read in chunks with raw calls and written to a file.
void BM_DownloadFileRaw(benchmark::State& state) {
    FileStoreBench& b = FileStoreBench::get();
    QByteArray chunk(int(kChunk), Qt::Uninitialized);
    QFile file(b.source);
    file.open(QIODevice::ReadOnly);
    const qint64 row = rawStore(b.raw, file, QByteArray(), chunk);
    const QString copy = b.dir.filePath(QStringLiteral("raw-copy.tif"));
    double growth = 0;
    for (auto _ : state) {
        PeakGrowth peak;
        sqlite3_blob* blob = nullptr;
        sqlite3_blob_open(b.raw, "main", "files", "content", row, 0, &blob);
        const qint64 size = sqlite3_blob_bytes(blob);
        QFile out(copy);
        out.open(QIODevice::WriteOnly);
        for (qint64 done = 0; done < size; done += kChunk) {
            const int n = int(std::min(kChunk, size - done));
            sqlite3_blob_read(blob, chunk.data(), n, int(done));
            out.write(chunk.constData(), n);
        }
        sqlite3_blob_close(blob);
        if (!out.flush() || out.size() != kFileBytes)
            state.SkipWithError("raw download failed");
        out.close();
        growth = std::max(growth, peak.mib());
    }
    state.counters["rss_growth_MiB"] = growth;
    sqlite3_exec(b.raw, "delete from files", nullptr, nullptr, nullptr);
}

}  // namespace

// Each run moves 256 MiB: a few, and the fastest counts (BenchMain.h).
void fewRuns(benchmark::internal::Benchmark* b) {
    b->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2)->Repetitions(3);
}

BENCHMARK(BM_StoreFileRaw)->Apply(fewRuns);
BENCHMARK(BM_StoreFile)->Apply(fewRuns);
BENCHMARK(BM_DownloadFileRaw)->Apply(fewRuns);
BENCHMARK(BM_DownloadFile)->Apply(fewRuns);

int main(int argc, char** argv) {
    return Qd::Bench::runWithRatios(
        argc, argv,
        {{"BM_StoreFile", "BM_StoreFileRaw", 1.3}, {"BM_DownloadFile", "BM_DownloadFileRaw", 1.3}});
}
