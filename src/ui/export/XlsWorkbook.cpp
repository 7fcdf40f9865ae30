#include "ui/export/XlsWorkbook.h"

#include <QDir>
#include <QFile>
#include <array>
#include <cmath>
#include <optional>
#include <vector>

#include "base/OwnerOnly.h"
#include "ui/export/CompoundFile.h"
#include "ui/export/XlsRecords.h"
#include "ui/export/XlsSharedStrings.h"

namespace Qd::Core::Ui::Xls {

namespace {

using namespace Biff;

// Cell formats: 15 style formats and the default cell format come first, ours after them.
constexpr int kStyleXfs = 15;
constexpr quint16 kDefaultXf = 15;
constexpr quint16 kFirstCellXf = 16;
constexpr quint16 kFirstCustomFormat = 164;
// Fonts: four copies of the default font, then bold as the fifth record, which readers number
// 5 (font index 4 is never used).
constexpr quint16 kBoldFont = 5;
constexpr quint16 kFontHeight = 220;  // 11 points, in twentieths of a point
constexpr quint8 kChineseCharset = 134;
// Cell texts up to this length are cell records of their own; longer ones are shared strings.
constexpr int kMaxLabelLength = 255;
constexpr int kMaxMergesPerRecord = 1026;
constexpr quint16 kBookKind = 0x0005;
constexpr quint16 kSheetKind = 0x0010;
constexpr quint8 kNumError = 0x24;  // #NUM!, for values the format cannot hold (NaN, infinity)

// Number formats readers know by their index, so they need no record.
struct BuiltInFormat {
    const char* code;
    quint16 index;
};
constexpr BuiltInFormat kBuiltInFormats[] = {
    {"0", 1},  {"0.00", 2},   {"#,##0", 3},     {"#,##0.00", 4},
    {"0%", 9}, {"0.00%", 10}, {"0.00E+00", 11}, {"@", 49},
};

QString defaultFontName() {
    return QStringLiteral("宋体");
}

// The 4-byte form of a number, when it holds the value exactly: a 30-bit integer, a double
// whose low 34 bits are zero, or either of them divided by 100.
std::optional<quint32> compactNumber(double value) {
    constexpr double kLimit = 536870912.0;  // 2^29
    constexpr quint32 kInteger = 2;
    constexpr quint32 kHundredths = 1;
    if (value >= -kLimit && value < kLimit && double(qint32(value)) == value)
        return (quint32(qint32(value)) << 2) | kInteger;
    quint64 bits;
    std::memcpy(&bits, &value, sizeof bits);
    if ((bits & 0x3FFFFFFFFull) == 0)
        return quint32(bits >> 32);
    const double scaled = value * 100;
    if (scaled >= -kLimit && scaled < kLimit) {
        const qint32 hundredths = qint32(scaled + (scaled < 0 ? -0.5 : 0.5));
        const double off = scaled - hundredths;  // far from 0: no need for the exact test
        if (off < 1e-6 && off > -1e-6 && double(hundredths) / 100 == value)
            return (quint32(hundredths) << 2) | kInteger | kHundredths;
    }
    return std::nullopt;
}

template <class Sink>
void putBof(Sink& sink, quint16 kind) {
    char* p = record(sink, kBof, 16);
    p = put16(p, 0x0600);  // the 97-2003 format
    p = put16(p, kind);
    p = put16(p, 0x0DBB);  // build
    p = put16(p, 0x07CC);  // year
    p = put32(p, 0);       // file history
    put32(p, 0x00000006);  // lowest version that reads the file
}

template <class Sink>
void putFont(Sink& sink, QStringView name, bool bold) {
    char* p = record(sink, kFont, 14 + shortTextSize(name));
    p = put16(p, kFontHeight);
    p = put16(p, 0);       // not italic, not struck out
    p = put16(p, 0x7FFF);  // automatic colour
    p = put16(p, bold ? 700 : 400);
    p = put16(p, 0);  // no super- or subscript
    p = put8(p, 0);   // not underlined
    p = put8(p, 0);   // family
    p = put8(p, kChineseCharset);
    p = put8(p, 0);
    putShortText(p, name);
}

// Fonts nobody uses, `bytes` in all (0 or at least 26), that make the globals end on a
// sector's end; see fontPadding().
template <class Sink>
void putPaddingFonts(Sink& sink, qint64 bytes) {
    constexpr int kLeast = 26, kMost = 51;  // a font record with a 6 to 31 character name
    const qint64 fonts = (bytes + kMost - 1) / kMost;
    for (qint64 i = 0; i < fonts; ++i) {
        const qint64 size = bytes / fonts + (i < bytes % fonts ? 1 : 0);
        Q_ASSERT(size >= kLeast && size <= kMost);
        putFont(sink, QStringLiteral("SimSun").leftJustified(int(size - 20)), false);
    }
}

// Bytes of padding fonts that bring `globals` bytes to a whole number of sectors.
qint64 fontPadding(qint64 globals) {
    const qint64 sector = CompoundFile::kSectorSize;
    const qint64 padding = (sector - globals % sector) % sector;
    return padding > 0 && padding < 26 ? padding + sector : padding;
}

// A cell format record: font, number format and which of them differ from the style's.
template <class Sink>
void putXf(Sink& sink, quint16 font, quint16 format, quint16 kind, quint8 used) {
    char* p = record(sink, kXf, 20);
    p = put16(p, font);
    p = put16(p, format);
    p = put16(p, kind);
    p = put8(p, 0x20);  // aligned to the bottom
    p = put8(p, 0);     // not rotated
    p = put8(p, 0);     // not indented
    p = put8(p, used);
    p = put32(p, 0);               // no borders
    p = put32(p, 0);               // no fill
    put16(p, 0x40 | (0x41 << 7));  // automatic pattern colours
}

struct CellFormat {
    QString numberFormat;
    bool bold;
    quint16 formatIndex;
};

struct Merge {
    quint16 firstRow, lastRow, firstColumn, lastColumn;
};

struct SheetEntry {
    QString name;
    qint64 offset;  // of its first record from the first sheet's
};

// The sheet being written.
struct Sheet {
    std::array<int, kMaxColumns> widths;  // in 1/256 of a character; -1 for the default
    int frozenRows = 0;
    std::vector<Merge> merges;
    bool started = false;     // its records up to the cells are written
    qint64 dimensionsAt = 0;  // where its extent goes once known
    // Cells as row * 256 + column, which grows along the order cells must come in.
    int firstCell = -1, lastCell = -1;
    int firstColumn = kMaxColumns, lastColumn = -1;

    Sheet() { widths.fill(-1); }
};

}  // namespace

struct Workbook::State {
    QString path;
    QFile file;
    std::unique_ptr<CompoundFile> out;  // null when the file could not be created
    QString error;
    bool closed = false;
    bool written = false;  // close() completed the file
    std::vector<CellFormat> formats;
    std::vector<QString> customFormats;  // number format 164 + i
    std::vector<SheetEntry> sheets;
    std::optional<Sheet> sheet;
    SharedStrings strings;

    bool refuse(const QString& why) {
        error = why;
        return false;
    }
    bool writable();
    // The cell format record of a cell about to be written, after checking its place; none when
    // the cell is refused. Inline, and every refusal out of line: it runs for every cell.
    std::optional<quint16> cellXf(int row, int column, int format) {
        static_assert(kMaxColumns == 256);
        const int at = int(quint32(row) * 256 + quint32(column));  // used once both fit
        const bool fits = sheet && out->ok() && quint32(row) < quint32(kMaxRows) &&
                          quint32(column) < quint32(kMaxColumns) && at > sheet->lastCell &&
                          quint32(format + 1) <= quint32(formats.size());
        if (!fits) [[unlikely]] {
            refuseCell(row, column, format);
            return std::nullopt;
        }
        Sheet& sh = *sheet;
        if (!sh.started) [[unlikely]] {
            startSheet();
            sh.firstCell = at;
        }
        sh.lastCell = at;
        sh.firstColumn = std::min(sh.firstColumn, column);
        sh.lastColumn = std::max(sh.lastColumn, column);
        return format < 0 ? kDefaultXf : quint16(kFirstCellXf + format);
    }
    void refuseCell(int row, int column, int format);
    void startSheet();
    void endSheet();
    void writeGlobals();
    quint16 numberFormatIndex(const QString& code);
};

Workbook::Workbook(const QString& path) : m_state(std::make_unique<State>()) {
    State& s = *m_state;
    s.path = path;
    s.file.setFileName(path);
    if (!s.file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered,
                     QFileDevice::ReadOwner | QFileDevice::WriteOwner)) {
        s.error = QStringLiteral("无法创建文件“%1”：%2")
                      .arg(QDir::toNativeSeparators(path), s.file.errorString());
        return;
    }
    Sys::ownerOnly(path);  // a file that was there keeps its old permissions otherwise
    s.out = std::make_unique<CompoundFile>(s.file);
}

Workbook::~Workbook() {
    if (!m_state->closed)
        close();
}

bool Workbook::ok() const {
    return m_state->out && m_state->out->ok() && m_state->strings.ok();
}

QString Workbook::error() const {
    return m_state->error;
}

bool Workbook::State::writable() {
    if (closed)
        return refuse(QStringLiteral("工作簿“%1”已关闭").arg(QDir::toNativeSeparators(path)));
    if (!out)
        return false;  // the error tells why the file was not created
    if (!out->ok() || !strings.ok()) {
        const QString why = strings.ok() ? file.errorString() : strings.error();
        return refuse(
            QStringLiteral("无法写入文件“%1”：%2").arg(QDir::toNativeSeparators(path), why));
    }
    if (!sheet)
        return refuse(QStringLiteral("工作簿“%1”还没有工作表").arg(QDir::toNativeSeparators(path)));
    return true;
}

int Workbook::addFormat(const QString& numberFormat, bool bold) {
    State& s = *m_state;
    for (size_t i = 0; i < s.formats.size(); ++i)
        if (s.formats[i].numberFormat == numberFormat && s.formats[i].bold == bold)
            return int(i);
    s.formats.push_back({numberFormat, bold, s.numberFormatIndex(numberFormat)});
    return int(s.formats.size() - 1);
}

quint16 Workbook::State::numberFormatIndex(const QString& code) {
    if (code.isEmpty() || code.compare(QLatin1String("General"), Qt::CaseInsensitive) == 0)
        return 0;
    for (const BuiltInFormat& builtIn : kBuiltInFormats)
        if (code == QLatin1String(builtIn.code))
            return builtIn.index;
    for (size_t i = 0; i < customFormats.size(); ++i)
        if (customFormats[i] == code)
            return quint16(kFirstCustomFormat + i);
    customFormats.push_back(code);
    return quint16(kFirstCustomFormat + customFormats.size() - 1);
}

void Workbook::addSheet(const QString& name) {
    State& s = *m_state;
    if (s.closed || !s.out)
        return;
    if (s.sheet)
        s.endSheet();
    s.sheets.push_back({name, s.out->runBytes()});
    s.sheet.emplace();
}

void Workbook::setColumnWidth(int column, double characters) {
    State& s = *m_state;
    if (!s.writable())
        return;
    if (s.sheet->started) {
        s.refuse(QStringLiteral("列宽须在工作表的第一个单元格之前设置"));
        return;
    }
    if (column < 0 || column >= kMaxColumns) {
        s.refuse(QStringLiteral("第 %1 列超出 xls 工作表的范围（最多 %2 列）")
                     .arg(column + 1)
                     .arg(kMaxColumns));
        return;
    }
    s.sheet->widths[size_t(column)] = int(std::clamp(std::round(characters * 256), 0.0, 65535.0));
}

void Workbook::freezeRows(int rows) {
    State& s = *m_state;
    if (!s.writable())
        return;
    if (rows < 0 || rows >= kMaxRows) {
        s.refuse(QStringLiteral("冻结的行数 %1 超出 xls 工作表的范围").arg(rows));
        return;
    }
    s.sheet->frozenRows = rows;
}

void Workbook::mergeCells(int firstRow, int firstColumn, int lastRow, int lastColumn) {
    State& s = *m_state;
    if (!s.writable())
        return;
    if (firstRow < 0 || firstRow > lastRow || lastRow >= kMaxRows || firstColumn < 0 ||
        firstColumn > lastColumn || lastColumn >= kMaxColumns) {
        s.refuse(QStringLiteral("合并区域（第 %1 至 %2 行，第 %3 至 %4 列）超出 xls 工作表的范围")
                     .arg(firstRow + 1)
                     .arg(lastRow + 1)
                     .arg(firstColumn + 1)
                     .arg(lastColumn + 1));
        return;
    }
    s.sheet->merges.push_back(
        {quint16(firstRow), quint16(lastRow), quint16(firstColumn), quint16(lastColumn)});
}

// Why the cell cannot be written, in error.
void Workbook::State::refuseCell(int row, int column, int format) {
    if (!writable())
        return;
    if (row < 0 || row >= kMaxRows || column < 0 || column >= kMaxColumns)
        refuse(QStringLiteral("第 %1 行第 %2 列超出 xls 工作表的范围（最多 %3 行、%4 列）")
                   .arg(row + 1)
                   .arg(column + 1)
                   .arg(kMaxRows)
                   .arg(kMaxColumns));
    else if (format < -1 || format >= int(formats.size()))
        refuse(QStringLiteral("未知的单元格格式 %1").arg(format));
    else
        refuse(QStringLiteral("单元格须按行、列的顺序写入：第 %1 行第 %2 列在已写的单元格之前")
                   .arg(row + 1)
                   .arg(column + 1));
}

bool Workbook::writeNumber(int row, int column, double value, int format) {
    State& s = *m_state;
    const std::optional<quint16> xf = s.cellXf(row, column, format);
    if (!xf)
        return false;
    if (!std::isfinite(value)) {
        char* p = cellRecord(*s.out, kBoolErr, 2, row, column, *xf);
        p = put8(p, kNumError);
        put8(p, 1);
        return true;
    }
    if (const std::optional<quint32> compact = compactNumber(value)) {
        char* p = cellRecord(*s.out, kRk, 4, row, column, *xf);
        put32(p, *compact);
        return true;
    }
    char* p = cellRecord(*s.out, kNumber, 8, row, column, *xf);
    putDouble(p, value);
    return true;
}

bool Workbook::writeString(int row, int column, QStringView text, int format) {
    State& s = *m_state;
    if (text.size() > kMaxTextLength)
        return s.refuse(QStringLiteral("第 %1 行第 %2 列的文本超过 %3 个字符")
                            .arg(row + 1)
                            .arg(column + 1)
                            .arg(kMaxTextLength));
    const std::optional<quint16> xf = s.cellXf(row, column, format);
    if (!xf)
        return false;
    if (text.isEmpty()) {
        cellRecord(*s.out, kBlank, 0, row, column, *xf);
    } else if (text.size() <= kMaxLabelLength) {
        const bool oneByte = fitsOneByte(text);
        char* p = cellRecord(*s.out, kLabel, textSize(text, oneByte), row, column, *xf);
        putText(p, text, oneByte);
    } else {
        const quint32 index = s.strings.add(text);
        char* p = cellRecord(*s.out, kLabelSst, 4, row, column, *xf);
        put32(p, index);
    }
    return true;
}

bool Workbook::writeBoolean(int row, int column, bool value, int format) {
    State& s = *m_state;
    const std::optional<quint16> xf = s.cellXf(row, column, format);
    if (!xf)
        return false;
    char* p = cellRecord(*s.out, kBoolErr, 2, row, column, *xf);
    p = put8(p, value ? 1 : 0);
    put8(p, 0);  // a boolean, not an error
    return true;
}

// The sheet's records before its cells: the column widths, and room for its extent.
void Workbook::State::startSheet() {
    Sheet& sh = *sheet;
    putBof(*out, kSheetKind);
    for (int column = 0; column < kMaxColumns; ++column) {
        if (sh.widths[size_t(column)] < 0)
            continue;
        char* p = record(*out, kColInfo, 12);
        p = put16(p, quint16(column));
        p = put16(p, quint16(column));
        p = put16(p, quint16(sh.widths[size_t(column)]));
        p = put16(p, kDefaultXf);
        p = put16(p, 0);  // shown
        put16(p, 0);
    }
    sh.dimensionsAt = out->runBytes();
    std::memset(record(*out, kDimensions, 14), 0, 14);
    sh.started = true;
}

// The sheet's records after its cells: its extent, window, frozen rows and merged ranges.
void Workbook::State::endSheet() {
    Sheet& sh = *sheet;
    if (!sh.started)
        startSheet();
    char dimensions[14] = {};
    if (sh.firstCell >= 0) {
        char* p = put32(dimensions, quint32(sh.firstCell / 256));
        p = put32(p, quint32(sh.lastCell / 256 + 1));
        p = put16(p, quint16(sh.firstColumn));
        put16(p, quint16(sh.lastColumn + 1));
    }
    out->patch(sh.dimensionsAt + kRecordHeader, dimensions, sizeof dimensions);

    const bool first = sheets.size() == 1;
    quint16 options = 0x00B6;  // grid lines, headings, zeros, default header colour, outline
    if (first)
        options |= 0x0600;  // selected and shown: the workbook opens on it
    if (sh.frozenRows > 0)
        options |= 0x0108;  // frozen panes, not a split
    char* p = record(*out, kWindow2, 18);
    p = put16(p, options);
    p = put16(p, 0);   // top row
    p = put16(p, 0);   // left column
    p = put32(p, 64);  // header colour: automatic
    p = put16(p, 0);   // zoom of the page-break preview: default
    p = put16(p, 0);   // zoom: default
    put32(p, 0);

    if (sh.frozenRows > 0) {
        p = record(*out, kPane, 10);
        p = put16(p, 0);  // no frozen columns
        p = put16(p, quint16(sh.frozenRows));
        p = put16(p, quint16(sh.frozenRows));  // first row of the lower pane
        p = put16(p, 0);
        p = put8(p, 2);  // the lower pane is active
        put8(p, 0);
    }

    for (size_t at = 0; at < sh.merges.size(); at += kMaxMergesPerRecord) {
        const size_t n = std::min<size_t>(kMaxMergesPerRecord, sh.merges.size() - at);
        p = record(*out, kMergedCells, 2 + 8 * qsizetype(n));
        p = put16(p, quint16(n));
        for (size_t i = at; i < at + n; ++i) {
            const Merge& m = sh.merges[i];
            p = put16(p, m.firstRow);
            p = put16(p, m.lastRow);
            p = put16(p, m.firstColumn);
            p = put16(p, m.lastColumn);
        }
    }
    record(*out, kEof, 0);
    sheet.reset();
}

// The workbook's globals, which open the stream but are written after the sheets: fonts
// (padded so that the globals fill whole sectors), number formats, cell formats, the style,
// the sheets' names and positions, the shared strings.
void Workbook::State::writeGlobals() {
    const CompoundFile::Run sheetRun = out->endRun();

    Bytes head;
    putBof(head, kBookKind);
    put16(record(head, kCodePage, 2), 1200);  // texts are UTF-16
    char* p = record(head, kWindow1, 18);
    p = put16(p, 0);
    p = put16(p, 0);
    p = put16(p, 0x4000);  // window size
    p = put16(p, 0x2000);
    p = put16(p, 0x0038);  // scroll bars and sheet tabs shown
    p = put16(p, 0);       // the first sheet is active
    p = put16(p, 0);
    p = put16(p, 1);                       // one sheet selected
    put16(p, 600);                         // width of the tab bar, in thousandths of the window
    put16(record(head, kDate1904, 2), 0);  // dates count from 1899-12-30
    for (int i = 0; i < 4; ++i)
        putFont(head, defaultFontName(), false);
    putFont(head, defaultFontName(), true);

    Bytes body;
    for (size_t i = 0; i < customFormats.size(); ++i) {
        const QString& code = customFormats[i];
        const bool oneByte = fitsOneByte(code);
        p = record(body, kFormat, 2 + textSize(code, oneByte));
        p = put16(p, quint16(kFirstCustomFormat + i));
        putText(p, code, oneByte);
    }
    constexpr quint16 kStyleFormat = 0xFFF5;  // locked, a style, no parent
    constexpr quint16 kCellFormat = 0x0001;   // locked, child of the Normal style
    putXf(body, 0, 0, kStyleFormat, 0);
    for (int i = 1; i < kStyleXfs; ++i)
        putXf(body, 0, 0, kStyleFormat, 0xF4);
    putXf(body, 0, 0, kCellFormat, 0);
    for (const CellFormat& f : formats)
        putXf(body, f.bold ? kBoldFont : 0, f.formatIndex, kCellFormat,
              quint8((f.formatIndex ? 0x04 : 0) | (f.bold ? 0x08 : 0)));
    p = record(body, kStyle, 4);
    p = put16(p, 0x8000);  // built in, on cell format 0
    p = put8(p, 0);        // Normal
    put8(p, 0xFF);
    std::vector<qsizetype> sheetPositions;
    for (const SheetEntry& sheetEntry : sheets) {
        p = record(body, kBoundSheet, 6 + shortTextSize(sheetEntry.name));
        sheetPositions.push_back(p - body.data.data());
        p = put32(p, 0);  // known below
        p = put8(p, 0);   // visible
        p = put8(p, 0);   // a worksheet
        putShortText(p, sheetEntry.name);
    }

    const qint64 unpadded =
        head.size() + body.size() + strings.size() + strings.indexSize() + kRecordHeader;
    const qint64 padding = fontPadding(unpadded);
    const qint64 globals = unpadded + padding;
    for (size_t i = 0; i < sheets.size(); ++i)
        put32(body.data.data() + sheetPositions[i], quint32(globals + sheets[i].offset));

    out->write(head.data.constData(), head.size());
    putPaddingFonts(*out, padding);
    out->write(body.data.constData(), body.size());
    strings.writeTo(*out, head.size() + padding + body.size());
    record(*out, kEof, 0);
    const CompoundFile::Run globalsRun = out->endRun();
    Q_ASSERT(globalsRun.bytes == globals && globals % CompoundFile::kSectorSize == 0);
    written = out->finish(QStringLiteral("Workbook"), {globalsRun, sheetRun});
}

bool Workbook::close() {
    State& s = *m_state;
    if (s.closed)
        return s.written;
    if (!s.out) {
        s.closed = true;
        return false;
    }
    if (s.sheets.empty())
        addSheet(QStringLiteral("Sheet1"));
    if (s.sheet)
        s.endSheet();
    s.writeGlobals();
    s.closed = true;
    s.written = s.written && s.strings.ok() && s.file.error() == QFileDevice::NoError;
    const QString why = s.strings.ok() ? s.file.errorString() : s.strings.error();
    s.file.close();
    if (!s.written) {
        s.error = QStringLiteral("无法写入文件“%1”：%2").arg(QDir::toNativeSeparators(s.path), why);
        s.file.remove();
    }
    return s.written;
}

}  // namespace Qd::Core::Ui::Xls
