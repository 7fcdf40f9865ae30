#include "ui/export/XlsxExport.h"

#include <xlsxwriter.h>

#include <string>
#include <vector>

#include "ui/export/Export.h"
#include "ui/export/SheetWriter.h"

namespace Qd::Core::Ui {

namespace Internal {

namespace {

// An xlsx workbook in the writer library's constant-memory mode: rows go to the file as they
// are written, so memory does not grow with them. Every return code is checked.
class XlsxBook : public SheetBook {
public:
    explicit XlsxBook(const QString& path) {
        lxw_workbook_options options{};
        options.constant_memory = LXW_TRUE;
        m_book = workbook_new_opt(path.toUtf8().constData(), &options);
        if (!m_book)
            throw ExportError{QStringLiteral("无法创建工作簿")};
    }
    ~XlsxBook() override {
        if (m_book)
            lxw_workbook_free(m_book);  // abandoned: nothing more is written
    }

    QString formatName() const override { return QStringLiteral("xlsx"); }
    int maxRows() const override { return int(LXW_ROW_MAX); }
    int maxColumns() const override { return int(LXW_COL_MAX); }

    int addFormat(const QString& numberFormat, bool bold) override {
        if (numberFormat.isEmpty() && !bold)
            return -1;
        lxw_format* f = workbook_add_format(m_book);
        if (!f)
            throw ExportError{QStringLiteral("无法添加单元格格式")};
        if (!numberFormat.isEmpty())
            format_set_num_format(f, numberFormat.toUtf8().constData());
        if (bold)
            format_set_bold(f);
        m_formats.push_back(f);
        return int(m_formats.size()) - 1;
    }

    void addSheet(const QString& name) override {
        m_sheet = workbook_add_worksheet(m_book, name.toUtf8().constData());
        if (!m_sheet)
            throw ExportError{QStringLiteral("无法添加工作表“%1”").arg(name)};
    }

    void setColumnWidth(int column, double characters) override {
        check(worksheet_set_column(m_sheet, lxw_col_t(column), lxw_col_t(column), characters,
                                   nullptr));
    }

    void freezeRows(int rows) override { worksheet_freeze_panes(m_sheet, lxw_row_t(rows), 0); }

    void mergeCells(int row, int first, int last, std::string_view text, int format) override {
        check(worksheet_merge_range(m_sheet, lxw_row_t(row), lxw_col_t(first), lxw_row_t(row),
                                    lxw_col_t(last), terminated(text), formatAt(format)));
    }

    void writeNumber(int row, int column, double value, int format) override {
        check(worksheet_write_number(m_sheet, lxw_row_t(row), lxw_col_t(column), value,
                                     formatAt(format)));
    }

    void writeText(int row, int column, std::string_view text, int format) override {
        check(worksheet_write_string(m_sheet, lxw_row_t(row), lxw_col_t(column), terminated(text),
                                     formatAt(format)));
    }

    void writeBoolean(int row, int column, bool value, int format) override {
        check(worksheet_write_boolean(m_sheet, lxw_row_t(row), lxw_col_t(column), value,
                                      formatAt(format)));
    }

    void close() override { check(workbook_close(std::exchange(m_book, nullptr))); }

private:
    static void check(lxw_error e) {
        if (e != LXW_NO_ERROR)
            throw ExportError{QString::fromUtf8(lxw_strerror(e))};
    }
    lxw_format* formatAt(int format) const {
        return format < 0 ? nullptr : m_formats[std::size_t(format)];
    }
    // The library wants terminated strings.
    const char* terminated(std::string_view text) {
        m_text.assign(text);
        return m_text.c_str();
    }

    lxw_workbook* m_book = nullptr;      // owned until closed
    lxw_worksheet* m_sheet = nullptr;    // owned by m_book
    std::vector<lxw_format*> m_formats;  // owned by m_book
    std::string m_text;
};

}  // namespace

std::unique_ptr<ExportWriter> xlsxWriter(const QString& path, const QString& title, int sheetRows) {
    return sheetWriter(std::make_unique<XlsxBook>(path), title, sheetRows);
}

}  // namespace Internal

bool exportToXlsx(const GridView& view, const QString& path, QString* error) {
    return exportGrid(view, path, ExportFormat::Xlsx, error) == ExportOutcome::Written;
}

}  // namespace Qd::Core::Ui
