#include "ui/export/XlsxExport.h"

#include <xlsxwriter.h>

#include <QDate>
#include <string>
#include <vector>

#include "base/OwnerOnly.h"
#include "db/RecordSet.h"
#include "ui/editors/Editors.h"
#include "ui/grid/Grid.h"

namespace Qd::Core::Ui {

namespace {

constexpr double kMsPerDay = 86400000.0;
constexpr int kMaxRows = 1048576;  // of a worksheet, the header row included
// Excel counts days from 1899-12-30; stored date-times count milliseconds from julian day 0.
const double kExcelEpochJulianDay = double(QDate(1899, 12, 30).toJulianDay());

enum class CellKind { Text, Number, Date, Boolean, Shown };

struct ExportColumn {
    int field;
    CellKind kind;
    lxw_format* format;        // owned by the workbook; may be null
    const EditorProps* props;  // of the grid column, for the text a lookup shows
};

// The Excel number format of a column: its display format, else its decimal places.
QString numberFormat(const EditorProps& props) {
    if (!props.displayFormat.isEmpty())
        return props.displayFormat;
    const int decimals = props.kind == EditorKind::Money && props.decimals < 0 ? 2 : props.decimals;
    if (decimals < 0)
        return {};
    return decimals == 0 ? QStringLiteral("0")
                         : QStringLiteral("0.") + QString(decimals, QLatin1Char('0'));
}

CellKind kindOf(Db::FieldType type, const EditorProps& props) {
    switch (props.kind) {
        case EditorKind::LookupCombo:
        case EditorKind::LookupComboL2:
            return CellKind::Shown;
        case EditorKind::Check:
            return CellKind::Boolean;
        default:
            break;
    }
    switch (type) {
        case Db::FieldType::Integer:
        case Db::FieldType::BigInt:
        case Db::FieldType::Float:
        case Db::FieldType::Currency:
            return CellKind::Number;
        case Db::FieldType::Boolean:
            return CellKind::Boolean;
        case Db::FieldType::DateTime:
            return CellKind::Date;
        default:
            return CellKind::Text;
    }
}

// Excel column width in characters from a width in pixels.
double characters(int pixels) {
    return std::max(1.0, (pixels - 5) / 7.0);
}

class Writer {
public:
    explicit Writer(const QString& path) {
        lxw_workbook_options options{};
        options.constant_memory = LXW_TRUE;
        m_book = workbook_new_opt(path.toUtf8().constData(), &options);
        if (m_book)
            m_sheet = workbook_add_worksheet(m_book, nullptr);
    }
    ~Writer() {
        if (m_book)
            workbook_close(m_book);
    }
    bool ok() const { return m_sheet != nullptr; }

    lxw_format* format(const QString& numberFormat) {
        if (numberFormat.isEmpty())
            return nullptr;
        lxw_format* f = workbook_add_format(m_book);
        format_set_num_format(f, numberFormat.toUtf8().constData());
        return f;
    }
    lxw_format* bold() {
        lxw_format* f = workbook_add_format(m_book);
        format_set_bold(f);
        return f;
    }
    lxw_worksheet* sheet() { return m_sheet; }
    // Closes the file; the error's text, empty when it was written.
    QString close() {
        const lxw_error e = workbook_close(std::exchange(m_book, nullptr));
        return e == LXW_NO_ERROR ? QString() : QString::fromUtf8(lxw_strerror(e));
    }

private:
    lxw_workbook* m_book = nullptr;    // owned
    lxw_worksheet* m_sheet = nullptr;  // owned by m_book
};

}  // namespace

bool exportToXlsx(const GridView& view, const QString& path, QString* error) {
    auto fail = [error](const QString& why) {
        if (error)
            *error = why;
        return false;
    };
    const Db::RecordSet* rs = view.recordSet();
    if (!rs || !rs->active())
        return fail(QStringLiteral("没有可导出的数据"));
    if (rs->recordCount() + 1 > kMaxRows)
        return fail(QStringLiteral("共 %1 行，超过 xlsx 工作表的上限 %2 行")
                        .arg(rs->recordCount())
                        .arg(kMaxRows - 1));
    Writer out(path);
    if (!out.ok())
        return fail(QStringLiteral("无法创建文件“%1”").arg(path));

    std::vector<const GridColumn*> shown;
    for (const GridColumn* c : view.columns()) {
        if (c->visible && rs->fieldIndex(c->fieldName) >= 0)
            shown.push_back(c);
    }
    std::sort(shown.begin(), shown.end(),
              [](const GridColumn* a, const GridColumn* b) { return a->index() < b->index(); });

    lxw_worksheet* sheet = out.sheet();
    lxw_format* header = out.bold();
    const QString dateFormat = QStringLiteral("yyyy-mm-dd");
    std::vector<ExportColumn> columns;
    for (lxw_col_t c = 0; c < shown.size(); ++c) {
        const GridColumn* g = shown[c];
        const int field = rs->fieldIndex(g->fieldName);
        const CellKind kind = kindOf(rs->fieldDef(field).type, g->props);
        lxw_format* format = nullptr;
        if (kind == CellKind::Number)
            format = out.format(numberFormat(g->props));
        else if (kind == CellKind::Date)
            format = out.format(g->props.kind == EditorKind::DateTime
                                    ? dateFormat + QStringLiteral(" hh:mm")
                                    : dateFormat);
        columns.push_back({field, kind, format, &g->props});
        worksheet_set_column(sheet, c, c, characters(g->width), nullptr);
        worksheet_write_string(sheet, 0, c, g->caption.toUtf8().constData(), header);
    }
    worksheet_freeze_panes(sheet, 1, 0);

    std::string text;  // reused: the writer wants terminated strings
    const int rows = rs->recordCount();
    for (int pos = 0; pos < rows; ++pos) {
        const std::uint32_t row = rs->rowAt(pos);
        const lxw_row_t r = lxw_row_t(pos + 1);
        for (lxw_col_t c = 0; c < columns.size(); ++c) {
            const ExportColumn& col = columns[c];
            if (rs->isNullAt(row, col.field))
                continue;
            switch (col.kind) {
                case CellKind::Number:
                    worksheet_write_number(sheet, r, c, rs->floatAt(row, col.field), col.format);
                    break;
                case CellKind::Date:
                    worksheet_write_number(
                        sheet, r, c,
                        double(rs->intAt(row, col.field)) / kMsPerDay - kExcelEpochJulianDay,
                        col.format);
                    break;
                case CellKind::Boolean:
                    worksheet_write_boolean(sheet, r, c, rs->intAt(row, col.field) != 0, nullptr);
                    break;
                case CellKind::Shown:
                    text = displayText(*col.props, rs->valueAt(row, col.field)).toStdString();
                    worksheet_write_string(sheet, r, c, text.c_str(), nullptr);
                    break;
                case CellKind::Text:
                    text.assign(rs->utf8At(row, col.field));
                    worksheet_write_string(sheet, r, c, text.c_str(), nullptr);
                    break;
            }
        }
    }
    const QString closing = out.close();
    if (!closing.isEmpty())
        return fail(QStringLiteral("无法写入文件“%1”：%2").arg(path, closing));
    Sys::ownerOnly(path);
    return true;
}

}  // namespace Qd::Core::Ui
