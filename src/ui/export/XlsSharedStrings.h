#pragma once

// The shared-string table of an xls workbook, collected while the sheets are written.

#include <QString>
#include <QStringView>
#include <QTemporaryFile>
#include <array>
#include <memory>
#include <vector>

#include "ui/export/XlsRecords.h"

namespace Qd::Core::Ui::Xls {

class CompoundFile;

// Holds the texts too long for a cell record of their own. The table belongs to the globals,
// which are written after the sheets, so the texts are laid out in their final records as they
// come (split across CONTINUE records, a split text repeating its flag byte) and every record
// but the first and the current one goes to a temporary file: memory does not grow with the
// texts. Each text is an entry of its own; repeated texts are not looked up.
class SharedStrings {
public:
    SharedStrings();
    ~SharedStrings();

    // Adds `text` (<= 32,767 characters); its index in the table.
    quint32 add(QStringView text);
    quint32 count() const { return m_count; }
    // Bytes of the table's records (none while it is empty), and of its index record.
    qint64 size() const;
    qint64 indexSize() const;

    // Writes the table's records to `out`, then its index record given the stream position of
    // the table's first record.
    void writeTo(CompoundFile& out, qint64 position);

    // False once the temporary file failed; error() tells why.
    bool ok() const { return m_error.isEmpty(); }
    QString error() const { return m_error; }

private:
    struct Mark {
        qint64 position;  // of a text from the table's first record
        quint16 offset;   // of that text in its record, the record's header included
    };
    void endRecord();
    int bucketSize() const;
    void spill(const char* data, qsizetype n);

    std::array<char, Biff::kMaxRecordData> m_record{};  // the current record's data
    qsizetype m_fill = 8;                     // the first record opens with the two counts
    qint64 m_recordPosition = 0;              // of the current record from the table's start
    QByteArray m_first;                       // the first record's data once it is full
    std::unique_ptr<QTemporaryFile> m_spill;  // the records after the first
    quint32 m_count = 0;
    // Where every m_stride-th text starts, for the index record; the stride doubles when the
    // list is full so that it stays small.
    std::vector<Mark> m_marks;
    int m_stride = 8;
    QString m_error;
};

}  // namespace Qd::Core::Ui::Xls
