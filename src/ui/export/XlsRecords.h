#pragma once

// The byte level of an xls workbook stream: record types, little-endian fields and texts.

#include <QByteArray>
#include <QStringView>
#include <QtEndian>
#include <cstring>

namespace Qd::Core::Ui::Xls::Biff {

enum RecordType : quint16 {
    kBof = 0x0809,
    kEof = 0x000A,
    kCodePage = 0x0042,
    kWindow1 = 0x003D,
    kDate1904 = 0x0022,
    kFont = 0x0031,
    kFormat = 0x041E,
    kXf = 0x00E0,
    kStyle = 0x0293,
    kBoundSheet = 0x0085,
    kSst = 0x00FC,
    kExtSst = 0x00FF,
    kContinue = 0x003C,
    kColInfo = 0x007D,
    kDimensions = 0x0200,
    kBlank = 0x0201,
    kNumber = 0x0203,
    kLabel = 0x0204,
    kBoolErr = 0x0205,
    kRk = 0x027E,
    kLabelSst = 0x00FD,
    kWindow2 = 0x023E,
    kPane = 0x0041,
    kMergedCells = 0x00E5,
};

// Data of one record at most; longer data goes on in CONTINUE records.
constexpr int kMaxRecordData = 8224;
constexpr int kRecordHeader = 4;

inline char* put8(char* p, quint8 v) {
    *p = char(v);
    return p + 1;
}
inline char* put16(char* p, quint16 v) {
    qToLittleEndian(v, p);
    return p + 2;
}
inline char* put32(char* p, quint32 v) {
    qToLittleEndian(v, p);
    return p + 4;
}
inline char* putDouble(char* p, double v) {
    quint64 bits;
    std::memcpy(&bits, &v, sizeof bits);
    qToLittleEndian(bits, p);
    return p + 8;
}

// Opens a record of `size` data bytes in `sink` (anything with `char* append(n)`); returns
// where its data goes.
template <class Sink>
char* record(Sink& sink, quint16 type, qsizetype size) {
    char* p = sink.append(kRecordHeader + size);
    put16(p, type);
    put16(p + 2, quint16(size));
    return p + kRecordHeader;
}

// Opens a cell record: `size` data bytes after the cell's row, column and format; returns where
// they go.
template <class Sink>
char* cellRecord(Sink& sink, quint16 type, qsizetype size, int row, int column, quint16 xf) {
    char* p = record(sink, type, 6 + size);
    p = put16(p, quint16(row));
    p = put16(p, quint16(column));
    return put16(p, xf);
}

// Texts go out as UTF-16LE, or one byte a character ("compressed") when every character is
// below U+0100; the option flag byte before the characters tells which.
inline bool fitsOneByte(QStringView text) {
    for (QChar c : text)
        if (c.unicode() > 0xFF)
            return false;
    return true;
}
inline int charSize(bool oneByte) {
    return oneByte ? 1 : 2;
}
inline quint8 charFlags(bool oneByte) {
    return oneByte ? 0 : 1;
}
inline char* putChars(char* p, QStringView text, bool oneByte) {
    if (oneByte) {
        for (QChar c : text)
            *p++ = char(c.unicode());
        return p;
    }
#if Q_BYTE_ORDER == Q_LITTLE_ENDIAN
    std::memcpy(p, text.utf16(), size_t(text.size()) * 2);
    return p + text.size() * 2;
#else
    for (QChar c : text)
        p = put16(p, c.unicode());
    return p;
#endif
}
// A text with a one-byte length (sheet and font names).
inline qsizetype shortTextSize(QStringView text) {
    return 2 + text.size() * charSize(fitsOneByte(text));
}
inline char* putShortText(char* p, QStringView text) {
    const bool oneByte = fitsOneByte(text);
    p = put8(p, quint8(text.size()));
    p = put8(p, charFlags(oneByte));
    return putChars(p, text, oneByte);
}
// A text with a two-byte length (cell texts and number formats).
inline qsizetype textSize(QStringView text, bool oneByte) {
    return 3 + text.size() * charSize(oneByte);
}
inline char* putText(char* p, QStringView text, bool oneByte) {
    p = put16(p, quint16(text.size()));
    p = put8(p, charFlags(oneByte));
    return putChars(p, text, oneByte);
}

// Records assembled in memory (the globals).
struct Bytes {
    QByteArray data;
    char* append(qsizetype n) {
        const qsizetype at = data.size();
        data.resize(at + n);
        return data.data() + at;
    }
    qsizetype size() const { return data.size(); }
};

}  // namespace Qd::Core::Ui::Xls::Biff
