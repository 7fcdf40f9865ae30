// Runs a fuzz target's checks over inputs kept on disk, without the fuzzer: the seeds and every
// input a fuzzer once failed on (fuzz/corpus/<target>/) replay in the ordinary test suite.
//
//   replay_<target> FILE|FOLDER...
// Exits 0 when every input passed; a failing check ends the program as it ends the fuzzer's.
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QStringList>
#include <cstdint>
#include <cstdio>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

int main(int argc, char** argv) {
    QStringList files;
    for (int i = 1; i < argc; ++i) {
        const QString path = QString::fromLocal8Bit(argv[i]);
        if (!QFileInfo(path).isDir()) {
            files << path;
            continue;
        }
        QDirIterator it(path, QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext())
            files << it.next();
    }
    files.sort();
    for (const QString& path : files) {
        QFile f(path);
        if (!f.open(QIODevice::ReadOnly)) {
            std::fprintf(stderr, "cannot read %s\n", qPrintable(path));
            return 2;
        }
        const QByteArray bytes = f.readAll();
        // Named first: a crash leaves the input that caused it as the last line printed.
        std::fprintf(stderr, "%s\n", qPrintable(path));
        LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                               std::size_t(bytes.size()));
    }
    std::printf("%lld inputs passed\n", static_cast<long long>(files.size()));
    return files.isEmpty() ? 2 : 0;
}
