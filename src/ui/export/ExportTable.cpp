#include "ui/export/ExportTable.h"

#include <QDate>
#include <algorithm>
#include <charconv>

#include "db/ColumnStore.h"
#include "db/RecordSet.h"
#include "ui/export/Export.h"
#include "ui/grid/Grid.h"

namespace Qd::Core::Ui::Internal {

namespace {

using Db::FieldType;

constexpr qint64 kMsPerDay = 86400000;
const qint64 kSheetEpoch = QDate(1899, 12, 30).toJulianDay();
const qint64 kFirstSerialDay = QDate(1900, 3, 1).toJulianDay();
const qint64 kUnixEpoch = QDate(1970, 1, 1).toJulianDay();

qint64 floorDiv(qint64 a, qint64 b) {
    return a / b - (a % b != 0 && (a < 0) != (b < 0));
}

void appendDigits(std::string& out, qint64 value, int width) {
    char buf[24];
    const auto end = std::to_chars(buf, buf + sizeof buf, value).ptr;
    out.append(std::size_t(std::max<qint64>(width - (end - buf), 0)), '0');
    out.append(buf, end);
}

CellKind kindOfField(FieldType type) {
    switch (type) {
        case FieldType::Integer:
        case FieldType::BigInt:
        case FieldType::Float:
        case FieldType::Currency:
            return CellKind::Number;
        case FieldType::Boolean:
            return CellKind::Boolean;
        case FieldType::DateTime:
            return CellKind::Date;
        default:
            return CellKind::Text;
    }
}

// Whether a cell shows its editor's text rather than the stored value.
bool showsEditorText(const EditorProps& props) {
    switch (props.kind) {
        case EditorKind::LookupCombo:
        case EditorKind::LookupComboL2:
        case EditorKind::Color:
        case EditorKind::RichText:
            return true;
        default:
            return bool(props.shownText);
    }
}

// A colour value (integer RGB or "#rrggbb" text) as "#RRGGBB".
QString colourText(const QVariant& value) {
    if (value.typeId() == QMetaType::QString)
        return value.toString().toUpper();
    return QStringLiteral("#%1")
        .arg(value.toLongLong() & 0xFFFFFF, 6, 16, QLatin1Char('0'))
        .toUpper();
}

// The value of a footer text as the grid shows it ("1,234.50", "¥-5.00"): its digits, point and
// sign; false when it holds no number.
bool footerNumber(const QString& text, double* value) {
    std::string digits;
    for (const QChar c : text) {
        if (c.isDigit() || c == u'.')
            digits += char(c.unicode());
        else if ((c == u'-' || c == u'(') && digits.empty())
            digits += '-';
    }
    if (digits.empty() || digits == "-")
        return false;
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), *value);
    return ec == std::errc() && end == digits.data() + digits.size();
}

}  // namespace

// How a column's cells are read from the field's storage (see ColumnStore.h).
ExportTable::Read ExportTable::readOf(const ExportColumn& column, FieldType type) {
    using Db::Internal::Storage;
    if (column.shownBy)
        return Read::Shown;
    const Storage storage = Db::Internal::storageOf(type);
    switch (column.kind) {
        case CellKind::Number:
            if (storage == Storage::Reals)
                return Read::Real;
            return type == FieldType::Currency ? Read::Currency : Read::Int;
        case CellKind::Boolean:
            return storage == Storage::Ints && type != FieldType::Currency ? Read::Flag
                                                                           : Read::Converted;
        case CellKind::Date:
            return Read::Key;
        case CellKind::Text:
            return type == FieldType::Text ? Read::Utf8 : Read::Converted;
    }
    return Read::Converted;
}

QString ExportColumn::sheetFormat() const {
    switch (kind) {
        case CellKind::Number:
            if (!displayFormat.isEmpty())
                return displayFormat;
            if (decimals < 0)
                return {};
            return decimals == 0 ? QStringLiteral("0")
                                 : QStringLiteral("0.") + QString(decimals, QLatin1Char('0'));
        case CellKind::Date:
            return withTime ? QStringLiteral("yyyy-mm-dd hh:mm") : QStringLiteral("yyyy-mm-dd");
        default:
            return {};
    }
}

bool hasSheetSerial(qint64 msecs) {
    return floorDiv(msecs, kMsPerDay) >= kFirstSerialDay;
}

double sheetSerial(qint64 msecs) {
    return double(msecs) / double(kMsPerDay) - double(kSheetEpoch);
}

void appendDate(std::string& out, qint64 msecs, bool withTime) {
    const qint64 julianDay = floorDiv(msecs, kMsPerDay);
    const qint64 msOfDay = msecs - julianDay * kMsPerDay;
    // Days since 1970-01-01 to the civil date, in 400-year eras of 146097 days.
    const qint64 z = julianDay - kUnixEpoch + 719468;
    const qint64 era = floorDiv(z, 146097);
    const qint64 doe = z - era * 146097;
    const qint64 yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const qint64 doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const qint64 mp = (5 * doy + 2) / 153;
    const qint64 day = doy - (153 * mp + 2) / 5 + 1;
    const qint64 month = mp < 10 ? mp + 3 : mp - 9;
    const qint64 year = yoe + era * 400 + (month <= 2);
    appendDigits(out, year, 4);
    out += '-';
    appendDigits(out, month, 2);
    out += '-';
    appendDigits(out, day, 2);
    if (withTime) {
        out += ' ';
        appendDigits(out, msOfDay / 3600000, 2);
        out += ':';
        appendDigits(out, msOfDay / 60000 % 60, 2);
    }
}

// ---- ExportTable ------------------------------------------------------------------------------

ExportTable ExportTable::ofGrid(const GridView& view) {
    ExportTable t;
    t.m_rs = view.recordSet();
    t.m_name = view.objectName();
    if (!t.valid())
        return t;
    view.recordSet()->finishPendingRows();  // an export holds every row, not those read so far
    const bool banded = view.bandHeaderVisible() && !view.bands().isEmpty();
    std::vector<const GridColumn*> shown;
    for (const GridColumn* c : view.columns()) {
        const int field = t.m_rs->fieldIndex(c->fieldName);
        if (!c->visible || field < 0)
            continue;
        shown.push_back(c);
        const EditorProps& props = c->props;
        ExportColumn col;
        col.caption = c->caption;
        col.width = c->width;
        col.band = banded ? c->band : -1;
        col.field = field;
        col.displayFormat = props.displayFormat;
        col.footerFormat = c->footerFormat;
        switch (props.kind) {
            case EditorKind::Money:
                col.decimals = props.decimals < 0 ? 2 : props.decimals;
                break;
            case EditorKind::Integer:
                col.decimals = 0;
                break;
            case EditorKind::Decimal:
                col.decimals = props.decimals;
                break;
            default:
                break;
        }
        col.withTime = props.kind == EditorKind::DateTime ||
                       props.displayFormat.contains(QLatin1Char('h'), Qt::CaseInsensitive);
        const bool check = props.kind == EditorKind::Check;
        t.addColumn(std::move(col), check ? nullptr : &props);
        if (check)
            t.m_columns.back().kind = CellKind::Boolean;
    }
    if (banded)
        t.setBands(view.bands());
    const bool anyFooter = std::any_of(shown.begin(), shown.end(), [](const GridColumn* c) {
        return c->footerKind != SummaryKind::None;
    });
    if (!anyFooter)
        return t;
    // The footer as the grid shows it; a count, or a summary of numbers, as a number too.
    t.m_footerText.resize(shown.size());
    t.m_footer.resize(shown.size());
    for (std::size_t i = 0; i < shown.size(); ++i) {
        t.m_footerText[i] = view.footerText(shown[i]).toStdString();
        Cell& cell = t.m_footer[i];
        cell.null = t.m_footerText[i].empty();
        const bool numeric =
            shown[i]->footerKind == SummaryKind::Count || t.m_columns[i].kind == CellKind::Number;
        const bool isNumber =
            numeric && footerNumber(QString::fromStdString(t.m_footerText[i]), &cell.number);
        cell.kind = isNumber ? CellKind::Number : CellKind::Text;
    }
    return t;
}

ExportTable ExportTable::ofRecordSet(const Db::RecordSet& rs, const QList<ExportField>& fields) {
    ExportTable t;
    t.m_rs = &rs;
    if (!t.valid())
        return t;
    for (const ExportField& f : fields) {
        const int field = rs.fieldIndex(f.fieldName);
        if (field < 0)
            continue;
        ExportColumn col;
        col.caption = f.caption;
        col.width = f.width;
        col.field = field;
        t.addColumn(std::move(col), nullptr);
    }
    return t;
}

// Completes a column from its field: the kind of its cells, and the decimals of a plain number.
void ExportTable::addColumn(ExportColumn column, const EditorProps* props) {
    const Db::FieldDef& def = m_rs->fieldDef(column.field);
    column.shownBy = props && showsEditorText(*props) ? props : nullptr;
    column.kind = column.shownBy ? CellKind::Text : kindOfField(def.type);
    if (column.kind == CellKind::Number && column.decimals < 0 && column.displayFormat.isEmpty()) {
        if (def.type == FieldType::Integer || def.type == FieldType::BigInt)
            column.decimals = 0;
        else if (def.places >= 0)
            column.decimals = def.places;
    }
    m_stored.push_back(&m_rs->storedColumn(column.field));
    m_reads.push_back(readOf(column, def.type));
    m_columns.push_back(std::move(column));
    m_shown.emplace_back();
}

void ExportTable::setBands(const QStringList& captions) {
    for (int i = 0; i < int(m_columns.size()); ++i) {
        const int band = m_columns[std::size_t(i)].band;
        const bool known = band >= 0 && band < captions.size();
        if (known && !m_bands.empty() &&
            m_columns[std::size_t(m_bands.back().first)].band == band) {
            m_bands.back().last = i;
            continue;
        }
        m_bands.push_back({known ? captions[band] : QString(), i, i});
    }
}

std::vector<Cell> ExportTable::footer() const {
    std::vector<Cell> cells = m_footer;
    for (std::size_t i = 0; i < cells.size(); ++i)
        cells[i].text = m_footerText[i];
    return cells;
}

bool ExportTable::valid() const {
    return m_rs && m_rs->active();
}

int ExportTable::rowCount() const {
    return valid() && !m_columns.empty() ? m_rs->recordCount() : 0;
}

void ExportTable::readRow(int pos, std::vector<Cell>& cells) {
    const std::uint32_t row = m_rs->rowAt(pos);
    cells.resize(m_columns.size());
    for (std::size_t c = 0; c < m_columns.size(); ++c) {
        Cell& cell = cells[c];
        const Read read = m_reads[c];
        if (read == Read::Shown) {
            readShown(c, row, cell);
            continue;
        }
        // Read in the stored form: this runs for every cell of an export.
        const Db::Internal::Column& stored = *m_stored[c];
        cell.kind = m_columns[c].kind;
        cell.null = stored.isNull(row);
        if (cell.null)
            continue;
        switch (read) {
            case Read::Real:
                cell.number = stored.realAt(row);
                break;
            case Read::Currency:
                cell.number = double(stored.intAt(row)) / Db::Internal::kCurrencyScale;
                break;
            case Read::Int:
                cell.number = double(stored.intAt(row));
                break;
            case Read::Flag:
                cell.number = stored.intAt(row) != 0;
                break;
            case Read::Key:
                cell.msecs = stored.intAt(row);
                break;
            case Read::Utf8:
                cell.text = stored.bytesAt(row);
                break;
            case Read::Converted:
                readConverted(c, row, cell);
                break;
            case Read::Shown:
                break;
        }
    }
}

// A cell showing its editor's text.
void ExportTable::readShown(std::size_t c, std::uint32_t row, Cell& cell) {
    const EditorProps& props = *m_columns[c].shownBy;
    const QVariant value = m_rs->valueAt(row, m_columns[c].field);
    m_shown[c] = (props.kind == EditorKind::Color && !props.shownText
                      ? (value.isNull() ? QString() : colourText(value))
                      : wholeText(props, value))
                     .toStdString();
    cell.kind = CellKind::Text;
    cell.text = m_shown[c];
    cell.null = cell.text.empty();
}

// A value whose stored form is not the cell's: a check on a text, a number or blob as text.
void ExportTable::readConverted(std::size_t c, std::uint32_t row, Cell& cell) {
    const int field = m_columns[c].field;
    if (cell.kind == CellKind::Boolean) {
        cell.number = m_rs->intAt(row, field) != 0;
        return;
    }
    m_shown[c] = m_rs->textAt(row, field).toStdString();
    cell.text = m_shown[c];
}

}  // namespace Qd::Core::Ui::Internal
