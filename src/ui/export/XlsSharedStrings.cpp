#include "ui/export/XlsSharedStrings.h"

#include <QDir>
#include <algorithm>

#include "ui/export/CompoundFile.h"

namespace Qd::Core::Ui::Xls {

namespace {

constexpr qsizetype kTextHeader = 3;  // character count and flags
constexpr size_t kMaxMarks = 1024;
constexpr quint32 kMaxBuckets = 128;

}  // namespace

SharedStrings::SharedStrings() = default;
SharedStrings::~SharedStrings() = default;

quint32 SharedStrings::add(QStringView text) {
    const bool oneByte = Biff::fitsOneByte(text);
    const int width = Biff::charSize(oneByte);
    // A text's header and its first character stay in one record.
    if (Biff::kMaxRecordData - m_fill < kTextHeader + width)
        endRecord();
    if (m_count % m_stride == 0) {
        if (m_marks.size() == kMaxMarks) {
            for (size_t i = 0; i < kMaxMarks / 2; ++i)
                m_marks[i] = m_marks[2 * i];
            m_marks.resize(kMaxMarks / 2);
            m_stride *= 2;
        }
        if (m_count % m_stride == 0)
            m_marks.push_back({m_recordPosition + Biff::kRecordHeader + m_fill,
                               quint16(Biff::kRecordHeader + m_fill)});
    }
    Biff::put16(m_record.data() + m_fill, quint16(text.size()));
    Biff::put8(m_record.data() + m_fill + 2, Biff::charFlags(oneByte));
    m_fill += kTextHeader;
    while (!text.isEmpty()) {
        const qsizetype room = (Biff::kMaxRecordData - m_fill) / width;
        if (room == 0) {
            // The text goes on in the next record, which repeats its flags.
            endRecord();
            Biff::put8(m_record.data(), Biff::charFlags(oneByte));
            m_fill = 1;
            continue;
        }
        const QStringView piece = text.first(std::min(room, text.size()));
        Biff::putChars(m_record.data() + m_fill, piece, oneByte);
        m_fill += piece.size() * width;
        text = text.sliced(piece.size());
    }
    return m_count++;
}

void SharedStrings::endRecord() {
    if (m_recordPosition == 0) {
        m_first = QByteArray(m_record.data(), m_fill);
    } else {
        char header[Biff::kRecordHeader];
        Biff::put16(header, Biff::kContinue);
        Biff::put16(header + 2, quint16(m_fill));
        spill(header, sizeof header);
        spill(m_record.data(), m_fill);
    }
    m_recordPosition += Biff::kRecordHeader + m_fill;
    m_fill = 0;
}

void SharedStrings::spill(const char* data, qsizetype n) {
    if (!ok())
        return;
    if (!m_spill) {
        m_spill = std::make_unique<QTemporaryFile>(QDir::temp().filePath("qd-xls-XXXXXX"));
        if (!m_spill->open()) {
            m_error = m_spill->errorString();
            return;
        }
    }
    if (m_spill->write(data, n) != n)
        m_error = m_spill->errorString();
}

qint64 SharedStrings::size() const {
    return m_count == 0 ? 0 : m_recordPosition + Biff::kRecordHeader + m_fill;
}

int SharedStrings::bucketSize() const {
    const quint32 least = (m_count + kMaxBuckets - 1) / kMaxBuckets;
    return std::max<int>(m_stride, int((least + m_stride - 1) / m_stride) * m_stride);
}

qint64 SharedStrings::indexSize() const {
    if (m_count == 0)
        return 0;
    const qint64 buckets = (m_count + bucketSize() - 1) / bucketSize();
    return Biff::kRecordHeader + 2 + 8 * buckets;
}

void SharedStrings::writeTo(CompoundFile& out, qint64 position) {
    if (m_count == 0)
        return;
    const bool oneRecord = m_recordPosition == 0;
    QByteArray first = oneRecord ? QByteArray(m_record.data(), m_fill) : m_first;
    Biff::put32(first.data(), m_count);      // references
    Biff::put32(first.data() + 4, m_count);  // entries
    std::memcpy(Biff::record(out, Biff::kSst, first.size()), first.constData(), first.size());
    if (m_spill && ok()) {
        m_spill->seek(0);
        std::array<char, CompoundFile::kMaxAppend> chunk;
        for (qint64 n; (n = m_spill->read(chunk.data(), chunk.size())) > 0;)
            out.write(chunk.data(), n);
    }
    if (!oneRecord)
        std::memcpy(Biff::record(out, Biff::kContinue, m_fill), m_record.data(), m_fill);

    const int bucket = bucketSize();
    const qsizetype buckets = (m_count + bucket - 1) / bucket;
    char* p = Biff::record(out, Biff::kExtSst, 2 + 8 * buckets);
    p = Biff::put16(p, quint16(bucket));
    for (qsizetype i = 0; i < buckets; ++i) {
        const Mark& mark = m_marks[size_t(i * (bucket / m_stride))];
        p = Biff::put32(p, quint32(position + mark.position));
        p = Biff::put16(p, mark.offset);
        p = Biff::put16(p, 0);
    }
}

}  // namespace Qd::Core::Ui::Xls
