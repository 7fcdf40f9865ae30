#include "print/engine/Engine.h"

#include <algorithm>
#include <array>

#include "print/engine/Expression.h"
#include "print/engine/LayoutText.h"

namespace Qd::Print {

namespace {

bool sameName(const QString& a, const QString& b) {
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

double toDouble(const QVariantList& args) {
    return args.isEmpty() ? 0.0 : args.front().toDouble();
}

}  // namespace

bool IDataset::hasField(const QString& field) const {
    const QStringList names = fieldNames();
    return std::any_of(names.begin(), names.end(),
                       [&](const QString& n) { return sameName(n, field); });
}

int IDataset::fieldIndex(const QString& field) const {
    const QStringList names = fieldNames();
    for (int i = 0; i < names.size(); ++i) {
        if (sameName(names[i], field))
            return i;
    }
    return -1;
}

QVariant IDataset::valueAt(int row, int column) const {
    const QStringList names = fieldNames();
    return column >= 0 && column < names.size() ? value(row, names[column]) : QVariant();
}

MemoryDataset::MemoryDataset(QStringList fields, std::vector<QVariantList> rows)
    : m_fields(std::move(fields)), m_rows(std::move(rows)) {}

void MemoryDataset::appendRow(QVariantList row) {
    m_rows.push_back(std::move(row));
}

QVariant MemoryDataset::value(int row, const QString& field) const {
    return valueAt(row, fieldIndex(field));
}

int MemoryDataset::fieldIndex(const QString& field) const {
    for (int i = 0; i < m_fields.size(); ++i) {
        if (sameName(m_fields[i], field))
            return i;
    }
    return -1;
}

QVariant MemoryDataset::valueAt(int row, int column) const {
    if (row < 0 || row >= rowCount() || column < 0)
        return {};
    const QVariantList& values = m_rows[size_t(row)];
    return column < values.size() ? values[column] : QVariant();
}

ReportData::ReportData() {
    addFunction({QStringLiteral("MoneyCn"), QStringLiteral("function MoneyCn(x: Double): String"),
                 QStringLiteral("金额"), QStringLiteral("金额的中文大写"),
                 [](const QVariantList& a) { return QVariant(MoneyCn(toDouble(a))); }});
    addFunction({QStringLiteral("MoneyCn_2"),
                 QStringLiteral("function MoneyCn_2(x: Double): String"), QStringLiteral("金额"),
                 QStringLiteral("金额各位的中文大写数字"),
                 [](const QVariantList& a) { return QVariant(MoneyCn_2(toDouble(a))); }});
}

void ReportData::addDataset(const QString& name, const IDataset* dataset) {
    for (auto& d : m_datasets) {
        if (sameName(d.name, name)) {
            d.dataset = dataset;
            return;
        }
    }
    m_datasets.push_back({name, dataset});
}

const IDataset* ReportData::dataset(const QString& name) const {
    for (const auto& d : m_datasets) {
        if (sameName(d.name, name))
            return d.dataset;
    }
    return nullptr;
}

QStringList ReportData::datasetNames() const {
    QStringList out;
    for (const auto& d : m_datasets)
        out << d.name;
    return out;
}

void ReportData::setVariable(const QString& category, const QString& name, const QVariant& value) {
    for (NamedVariable& v : m_variables) {
        if (v.category == category && sameName(v.name, name)) {
            v.value = value;
            return;
        }
    }
    m_variables.push_back({category, name, value});
}

void ReportData::clearVariables() {
    m_variables.clear();
}

std::optional<QVariant> ReportData::variable(const QString& name) const {
    for (const auto& v : m_variables) {
        if (sameName(v.name, name))
            return v.value;
    }
    return std::nullopt;
}

QStringList ReportData::categories() const {
    QStringList out;
    for (const auto& v : m_variables) {
        if (!out.contains(v.category))
            out << v.category;
    }
    return out;
}

QStringList ReportData::variableNames(const QString& category) const {
    QStringList out;
    for (const auto& v : m_variables) {
        if (v.category == category)
            out << v.name;
    }
    return out;
}

void ReportData::addFunction(UserFunction function) {
    for (auto& f : m_functions) {
        if (sameName(f.name, function.name)) {
            f = std::move(function);
            return;
        }
    }
    m_functions.push_back(std::move(function));
}

const UserFunction* ReportData::function(const QString& name) const {
    for (const auto& f : m_functions) {
        if (sameName(f.name, name))
            return &f;
    }
    return nullptr;
}

QString PreparedReport::pageText(int page) const {
    QStringList lines;
    if (page < 0 || page >= pageCount())
        return {};
    for (const auto& item : pages[size_t(page)].items) {
        if (const auto* text = std::get_if<PreparedText>(&item)) {
            for (const auto& run : text->lines)
                lines << run.text;
        }
    }
    return lines.join(u'\n');
}

void stampPages(PreparedReport& report, const QString& text) {
    if (text.isEmpty())
        return;
    const Font font{.pointSize = 14, .bold = true};
    const Internal::TextBlock block = Internal::breakText(text, font, 0, false);
    double width = 0;
    for (const Internal::TextLine& line : block.lines)
        width = std::max(width, line.widthMm);
    constexpr double kPadMm = 2;
    const QColor red(Qt::red);
    const Margins& margins = report.page.margins;
    for (PreparedPage& page : report.pages) {
        const QRectF frame(page.sizeMm.width() - margins.right - width - 2 * kPadMm, margins.top,
                           width + 2 * kPadMm, block.heightMm + 2 * kPadMm);
        PreparedText stamp{.clipMm = frame, .font = font, .color = red};
        for (const Internal::TextLine& line : block.lines)
            stamp.lines.push_back(
                {QPointF(frame.left() + kPadMm, frame.top() + kPadMm + line.baselineMm),
                 line.text});
        page.items.emplace_back(PreparedBox{
            .rectMm = frame, .border = Border{.sides = AllSides, .widthMm = 0.5, .color = red}});
        page.items.emplace_back(std::move(stamp));
    }
}

std::vector<int> code128Widths(const QString& text) {
    // Bar/space widths of symbols 0..105, each six elements summing to eleven modules.
    static constexpr std::array<const char*, 106> kSymbols = {
        "212222", "222122", "222221", "121223", "121322", "131222", "122213", "122312", "132212",
        "221213", "221312", "231212", "112232", "122132", "122231", "113222", "123122", "123221",
        "223211", "221132", "221231", "213212", "223112", "312131", "311222", "321122", "321221",
        "312212", "322112", "322211", "212123", "212321", "232121", "111323", "131123", "131321",
        "112313", "132113", "132311", "211313", "231113", "231311", "112133", "112331", "132131",
        "113123", "113321", "133121", "313121", "211331", "231131", "213113", "213311", "213131",
        "311123", "311321", "331121", "312113", "312311", "332111", "314111", "221411", "431111",
        "111224", "111422", "121124", "121421", "141122", "141221", "112214", "112412", "122114",
        "122411", "142112", "142211", "241211", "221114", "413111", "241112", "134111", "111242",
        "121142", "121241", "114212", "124112", "124211", "411212", "421112", "421211", "212141",
        "214121", "412121", "111143", "111341", "131141", "114113", "114311", "411113", "411311",
        "113141", "114131", "311141", "411131", "211412", "211214", "211232"};
    constexpr int kStartB = 104;
    constexpr const char* kStop = "2331112";

    std::vector<int> codes{kStartB};
    for (const QChar c : text) {
        if (c.unicode() >= 32 && c.unicode() < 127)
            codes.push_back(c.unicode() - 32);
    }
    int check = kStartB;
    for (size_t i = 1; i < codes.size(); ++i)
        check += int(i) * codes[i];
    codes.push_back(check % 103);

    std::vector<int> widths;
    for (const int code : codes) {
        for (const char* p = kSymbols[size_t(code)]; *p; ++p)
            widths.push_back(*p - '0');
    }
    for (const char* p = kStop; *p; ++p)
        widths.push_back(*p - '0');
    return widths;
}

}  // namespace Qd::Print
