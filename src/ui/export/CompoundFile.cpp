#include "ui/export/CompoundFile.h"

#include <QtEndian>
#include <algorithm>
#include <array>
#include <cstring>

namespace Qd::Core::Ui::Xls {

namespace {

constexpr quint32 kFreeSector = 0xFFFFFFFF;
constexpr quint32 kEndOfChain = 0xFFFFFFFE;
constexpr quint32 kFatSector = 0xFFFFFFFD;
constexpr quint32 kDifatSector = 0xFFFFFFFC;
constexpr quint32 kNoEntry = 0xFFFFFFFF;
constexpr int kEntriesPerSector = CompoundFile::kSectorSize / 4;
constexpr int kHeaderDifatEntries = 109;
constexpr int kDirectoryEntrySize = 128;

using Sector = std::array<char, CompoundFile::kSectorSize>;

void put16(char* p, quint16 v) {
    qToLittleEndian(v, p);
}
void put32(char* p, quint32 v) {
    qToLittleEndian(v, p);
}

enum class EntryType : quint8 { Stream = 2, Root = 5 };

// One directory entry: its name, type, only child, first sector and size.
void putEntry(char* p, const QString& name, EntryType type, quint32 child, quint32 start,
              quint64 size) {
    for (qsizetype i = 0; i < name.size(); ++i)
        put16(p + 2 * i, name.at(i).unicode());
    put16(p + 64, quint16((name.size() + 1) * 2));
    p[66] = char(type);
    p[67] = 1;  // black: each entry is alone at its level of the tree
    put32(p + 68, kNoEntry);
    put32(p + 72, kNoEntry);
    put32(p + 76, child);
    put32(p + 116, start);
    qToLittleEndian(size, p + 120);
}

}  // namespace

CompoundFile::CompoundFile(QFile& file)
    : m_file(file), m_buffer(std::make_unique<char[]>(kBufferSize)) {
    const Sector header{};  // written in finish()
    write(header.data(), header.size());
    m_runStart = kSectorSize;
}

void CompoundFile::write(const char* data, qint64 n) {
    while (n > 0) {
        const qsizetype piece = qsizetype(std::min<qint64>(n, kMaxAppend));
        std::memcpy(append(piece), data, size_t(piece));
        data += piece;
        n -= piece;
    }
}

void CompoundFile::flush() {
    if (m_ok && m_used > 0 && m_file.write(m_buffer.get(), m_used) != m_used)
        m_ok = false;
    m_flushed += m_used;
    m_used = 0;
}

void CompoundFile::writeAt(qint64 position, const char* data, qint64 n) {
    const qint64 end = m_file.pos();
    m_ok = m_ok && m_file.seek(position) && m_file.write(data, n) == n && m_file.seek(end);
}

void CompoundFile::patch(qint64 offset, const char* data, qsizetype n) {
    // The bytes before m_flushed are in the file already, the rest still in the buffer.
    const qint64 position = m_runStart + offset;
    const qint64 inFile = std::clamp<qint64>(m_flushed - position, 0, n);
    if (inFile > 0)
        writeAt(position, data, inFile);
    if (inFile < n)
        std::memcpy(m_buffer.get() + (position + inFile - m_flushed), data + inFile,
                    size_t(n - inFile));
}

CompoundFile::Run CompoundFile::endRun() {
    const qint64 bytes = runBytes();
    const Run run{m_sectors, quint32((bytes + kSectorSize - 1) / kSectorSize), bytes};
    const qint64 padding = qint64(run.sectors) * kSectorSize - bytes;
    std::memset(append(padding), 0, size_t(padding));
    m_sectors += run.sectors;
    m_runStart += qint64(run.sectors) * kSectorSize;
    return run;
}

bool CompoundFile::finish(const QString& streamName, const std::vector<Run>& order) {
    std::vector<Run> chain = order;
    qint64 streamSize = 0;
    quint32 chainSectors = 0;
    for (const Run& run : chain) {
        Q_ASSERT(streamSize == qint64(chainSectors) * kSectorSize);  // only the last run is short
        streamSize += run.bytes;
        chainSectors += run.sectors;
    }
    // A short stream would belong in the mini stream: zeros make it long enough.
    if (streamSize < kMiniStreamCutoff) {
        const quint32 missing = quint32(kMiniStreamCutoff / kSectorSize) - chainSectors;
        if (missing > 0) {
            const qint64 bytes = qint64(missing) * kSectorSize;
            std::memset(append(bytes), 0, size_t(bytes));
            chain.push_back(endRun());
        }
        streamSize = kMiniStreamCutoff;
    }

    // The directory: the root and the stream; the sector's other two entries are unused.
    const quint32 directory = m_sectors;
    Sector entries{};
    for (int i = 0; i < 4; ++i) {
        char* entry = entries.data() + i * kDirectoryEntrySize;
        put32(entry + 68, kNoEntry);
        put32(entry + 72, kNoEntry);
        put32(entry + 76, kNoEntry);
    }
    putEntry(entries.data(), QStringLiteral("Root Entry"), EntryType::Root, 1, kEndOfChain, 0);
    putEntry(entries.data() + kDirectoryEntrySize, streamName, EntryType::Stream, kNoEntry,
             chain.empty() ? kEndOfChain : chain.front().firstSector, quint64(streamSize));
    write(entries.data(), entries.size());
    endRun();

    // The sector tables count themselves: grow them until they cover every sector.
    quint32 fatSectors = 0;
    quint32 difatSectors = 0;
    for (;;) {
        const quint32 total = m_sectors + fatSectors + difatSectors;
        const quint32 fat = (total + kEntriesPerSector - 1) / kEntriesPerSector;
        const quint32 difat =
            fat > kHeaderDifatEntries
                ? (fat - kHeaderDifatEntries + kEntriesPerSector - 2) / (kEntriesPerSector - 1)
                : 0;
        if (fat == fatSectors && difat == difatSectors)
            break;
        fatSectors = fat;
        difatSectors = difat;
    }
    const quint32 firstFat = m_sectors;
    const quint32 firstDifat = firstFat + fatSectors;
    const quint32 end = firstDifat + difatSectors;

    auto next = [&](quint32 sector) -> quint32 {
        if (sector == directory)
            return kEndOfChain;
        if (sector >= firstFat && sector < firstDifat)
            return kFatSector;
        if (sector >= firstDifat && sector < end)
            return kDifatSector;
        for (size_t i = 0; i < chain.size(); ++i) {
            const Run& run = chain[i];
            if (sector < run.firstSector || sector >= run.firstSector + run.sectors)
                continue;
            if (sector + 1 < run.firstSector + run.sectors)
                return sector + 1;
            return i + 1 < chain.size() ? chain[i + 1].firstSector : kEndOfChain;
        }
        return kFreeSector;
    };
    Sector table;
    for (quint32 s = 0; s < fatSectors; ++s) {
        for (int i = 0; i < kEntriesPerSector; ++i)
            put32(table.data() + 4 * i, next(s * kEntriesPerSector + i));
        write(table.data(), table.size());
    }
    // The FAT sectors past the header's 109, 127 to a sector, each sector naming the next.
    for (quint32 d = 0; d < difatSectors; ++d) {
        for (int i = 0; i < kEntriesPerSector - 1; ++i) {
            const quint32 fat = kHeaderDifatEntries + d * (kEntriesPerSector - 1) + i;
            put32(table.data() + 4 * i, fat < fatSectors ? firstFat + fat : kFreeSector);
        }
        put32(table.data() + kSectorSize - 4,
              d + 1 < difatSectors ? firstDifat + d + 1 : kEndOfChain);
        write(table.data(), table.size());
    }
    endRun();
    flush();

    Sector header{};
    static constexpr unsigned char kSignature[] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
    std::memcpy(header.data(), kSignature, sizeof kSignature);
    put16(header.data() + 24, 0x003E);  // minor version
    put16(header.data() + 26, 3);       // major version: 512-byte sectors
    put16(header.data() + 28, 0xFFFE);  // little-endian
    put16(header.data() + 30, 9);       // sector size 2^9
    put16(header.data() + 32, 6);       // mini sector size 2^6
    put32(header.data() + 44, fatSectors);
    put32(header.data() + 48, directory);
    put32(header.data() + 56, quint32(kMiniStreamCutoff));
    put32(header.data() + 60, kEndOfChain);  // no mini FAT
    put32(header.data() + 68, difatSectors > 0 ? firstDifat : kEndOfChain);
    put32(header.data() + 72, difatSectors);
    for (quint32 i = 0; i < kHeaderDifatEntries; ++i)
        put32(header.data() + 76 + 4 * i, i < fatSectors ? firstFat + i : kFreeSector);
    writeAt(0, header.data(), header.size());
    return m_ok && m_file.flush();
}

}  // namespace Qd::Core::Ui::Xls
