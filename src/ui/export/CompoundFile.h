#pragma once

// A compound document (the container of 97-2003 Office files) holding one stream, written front
// to back in constant memory.

#include <QFile>
#include <QString>
#include <QtGlobal>
#include <memory>
#include <vector>

namespace Qd::Core::Ui::Xls {

// The stream's bytes go out in runs. A run starts on a fresh sector and is appended to as the
// bytes come; finish() then chains the runs in the order it is given, so a run written last can
// open the stream (the workbook's globals, known only once its sheets are written). Every run but
// the stream's last must fill whole sectors. A stream under the mini-stream cutoff is padded with
// zero sectors at its end, so the file never needs a mini stream. The header, the directory and
// the sector tables go out in finish(); the header's sector is reserved at the start.
class CompoundFile {
public:
    static constexpr int kSectorSize = 512;
    static constexpr qint64 kMiniStreamCutoff = 4096;
    // Room asked of append() at most; larger blocks go through write().
    static constexpr qsizetype kMaxAppend = 64 * 1024;

    struct Run {
        quint32 firstSector = 0;
        quint32 sectors = 0;
        qint64 bytes = 0;
    };

    // `file` is open for writing, empty, and outlives this object.
    explicit CompoundFile(QFile& file);

    // Room for `n` (<= kMaxAppend) bytes at the end of the current run, now part of it; the
    // caller fills all of it before the next call.
    char* append(qsizetype n) {
        if (m_used + n > kBufferSize) [[unlikely]]
            flush();
        char* room = m_buffer.get() + m_used;
        m_used += n;
        return room;
    }
    void write(const char* data, qint64 n);
    // Bytes of the current run so far.
    qint64 runBytes() const { return m_flushed + m_used - m_runStart; }
    // Overwrites bytes already appended to the current run, at `offset` in it.
    void patch(qint64 offset, const char* data, qsizetype n);
    // Pads the current run to its sector's end and starts the next one.
    Run endRun();

    // Writes the directory (the root and one stream named `streamName`, the runs chained in
    // `order`), the sector tables and the header. False when the file could not be written.
    bool finish(const QString& streamName, const std::vector<Run>& order);

    // False once a write failed; the reason is the file's error string.
    bool ok() const { return m_ok; }

private:
    void flush();
    void writeAt(qint64 position, const char* data, qint64 n);
    qint64 sectorPosition(quint32 sector) const { return qint64(sector + 1) * kSectorSize; }

    static constexpr qsizetype kBufferSize = 1024 * 1024;

    QFile& m_file;
    std::unique_ptr<char[]> m_buffer;  // the bytes after m_flushed, not yet written
    qsizetype m_used = 0;
    qint64 m_flushed = 0;   // bytes in the file
    qint64 m_runStart = 0;  // file position of the current run
    quint32 m_sectors = 0;  // sectors written so far, the header's not counted
    bool m_ok = true;
};

}  // namespace Qd::Core::Ui::Xls
