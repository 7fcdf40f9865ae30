#pragma once

// The report engine's run time: the data a report prints (ReportData), and the layout pass that
// turns a template and its data into pages of absolutely placed items (prepare). Renderers
// (Render.h) replay a PreparedReport; they never lay out again, so the preview, the PDF and the
// printer show the same lines on the same pages.

#include <QColor>
#include <QImage>
#include <QLineF>
#include <QPointF>
#include <QRectF>
#include <QSizeF>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <variant>
#include <vector>

#include "print/engine/Template.h"

namespace Qd::Print {

// A row source the engine iterates. Field names compare without case.
class IDataset {
public:
    virtual ~IDataset() = default;
    virtual int rowCount() const = 0;
    virtual QStringList fieldNames() const = 0;
    // Null for a field the dataset does not have; callers ask hasField first.
    virtual QVariant value(int row, const QString& field) const = 0;
    bool hasField(const QString& field) const;
    // A field's place, -1 when the dataset does not have it; valueAt reads by that place, as
    // the engine does for every row once it has found a field.
    virtual int fieldIndex(const QString& field) const;
    virtual QVariant valueAt(int row, int column) const;
};

// Rows held in memory, for tests and for data built by hand.
class MemoryDataset : public IDataset {
public:
    explicit MemoryDataset(QStringList fields, std::vector<QVariantList> rows = {});
    void appendRow(QVariantList row);

    int rowCount() const override { return int(m_rows.size()); }
    QStringList fieldNames() const override { return m_fields; }
    QVariant value(int row, const QString& field) const override;
    int fieldIndex(const QString& field) const override;
    QVariant valueAt(int row, int column) const override;

private:
    QStringList m_fields;
    std::vector<QVariantList> m_rows;
};

// A function templates may call, beyond the expression language's own.
struct UserFunction {
    QString name{};
    QString declaration{};  // "function MoneyCn(x: Double): String"
    QString category{};
    QString description{};
    std::function<QVariant(const QVariantList&)> call{};
};

// What a report prints: named datasets, variables in categories and user functions. Names
// compare without case, as in expressions. MoneyCn and MoneyCn_2 are always there.
class ReportData {
public:
    ReportData();

    // Not owned: the dataset must outlive every prepare() that reads it.
    void addDataset(const QString& name, const IDataset* dataset);
    const IDataset* dataset(const QString& name) const;
    QStringList datasetNames() const;

    // A text value is an expression ("'上海总店'", "[税率] * 2"); anything else is taken as is.
    // Replaces a variable of that name in the same category; one of that name in another
    // category stays, listed under its own. Both hide the template's own of that name.
    void setVariable(const QString& category, const QString& name, const QVariant& value);
    void clearVariables();
    // The value of the first variable of that name in the order they were set.
    std::optional<QVariant> variable(const QString& name) const;
    QStringList categories() const;
    QStringList variableNames(const QString& category) const;

    // Replaces a function of that name.
    void addFunction(UserFunction function);
    const UserFunction* function(const QString& name) const;
    const std::vector<UserFunction>& functions() const { return m_functions; }

private:
    struct NamedDataset {
        QString name;
        const IDataset* dataset;  // not owned
    };
    struct NamedVariable {
        QString category;
        QString name;
        QVariant value;
    };
    std::vector<NamedDataset> m_datasets;
    std::vector<NamedVariable> m_variables;
    std::vector<UserFunction> m_functions;
};

// ---- The prepared report: pages of items in millimetres from the sheet's top-left corner ----

// A filled and/or bordered box; barcode bars are boxes too.
struct PreparedBox {
    QRectF rectMm{};
    QColor fill{};  // invalid: none
    Border border{};
};

struct PreparedLine {
    QLineF lineMm{};
    double widthMm = 0.2;
    QColor color = Qt::black;
    LineStyle style = LineStyle::Solid;
};

// One line of a text, already broken: drawn at its baseline, never wrapped again.
struct TextRun {
    QPointF baselineMm{};
    QString text{};
};

struct PreparedText {
    QRectF clipMm{};  // the text object's box; lines do not print outside it
    Font font{};
    QColor color = Qt::black;
    std::vector<TextRun> lines{};
};

struct PreparedPicture {
    QRectF rectMm{};  // where the image goes, its aspect already kept when asked
    QImage image{};
};

using PreparedItem = std::variant<PreparedBox, PreparedLine, PreparedText, PreparedPicture>;

struct PreparedPage {
    QSizeF sizeMm{};
    std::vector<PreparedItem> items{};
};

struct PreparedReport {
    QString name{};
    PageSetup page{};  // the template's, for printers and page setup dialogs to start from
    std::vector<PreparedPage> pages{};
    int pageCount() const { return int(pages.size()); }
    // Every line of text on a page joined with "\n", in the order placed; for tests and search.
    QString pageText(int page) const;
};

// Lays out `report` over `data`. Throws ExpressionError (its message naming the band and the
// object) when a text cannot be parsed or computed, TemplateError when a data band's dataset
// is missing from `data`, or a detail band's key fields do not pair up or are missing from their
// datasets.
PreparedReport prepare(const ReportTemplate& report, const ReportData& data);

// Puts `text` on every page at its top right inside the margins: bold and red in a red frame,
// over whatever is printed there (a reprint's mark). An empty text changes nothing.
void stampPages(PreparedReport& report, const QString& text);

// The resolution text is measured and broken at, whatever it is later drawn on.
inline constexpr double kLayoutDpi = 300.0;

// Code 128 (set B) of `text`: bar and space widths in modules, alternating and starting with a
// bar, start, check and stop symbols included. Characters outside printable ASCII are dropped.
std::vector<int> code128Widths(const QString& text);

}  // namespace Qd::Print
