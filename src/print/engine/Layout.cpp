// The layout pass: bands over the rows of their datasets, broken into pages. Text is measured
// and broken into lines here, once, at kLayoutDpi; renderers only replay the result.

#include <QHash>
#include <algorithm>
#include <functional>
#include <map>
#include <numeric>

#include "base/VectorState.h"
#include "print/engine/Engine.h"
#include "print/engine/Expression.h"
#include "print/engine/LayoutText.h"
#include "print/engine/TemplateFile.h"

namespace Qd::Print {

namespace {

using Internal::TextBlock;

constexpr double kTextPaddingMm = 0.5;
constexpr double kBarcodeTextPt = 8;

// The engine's expression context: the current row of every dataset, the report's variables
// (the caller's before the template's) and functions, page and line numbers.
class RunContext final : public IExpressionContext {
public:
    RunContext(const ReportTemplate& report, const ReportData& data, int totalPages)
        : m_report(report), m_data(data), m_totalPages(totalPages) {
        for (const QString& name : data.datasetNames())
            m_sources.push_back({name, data.dataset(name)});
        m_rows.assign(m_sources.size(), 0);
    }

    std::optional<QVariant> field(const QString& dataset, const QString& field) const override {
        const int s = sourceOf(dataset);
        if (s < 0 || !m_sources[size_t(s)].data->hasField(field))
            return std::nullopt;
        return m_sources[size_t(s)].data->value(m_rows[size_t(s)], field);
    }

    int fieldSlot(const QString& dataset, const QString& field) const override {
        const int s = sourceOf(dataset);
        const int column = s < 0 ? -1 : m_sources[size_t(s)].data->fieldIndex(field);
        if (column < 0)
            return -1;
        m_slots.push_back({s, column});
        return int(m_slots.size()) - 1;
    }

    QVariant fieldAt(int slot) const override {
        const Slot& at = m_slots[size_t(slot)];
        return m_sources[size_t(at.source)].data->valueAt(m_rows[size_t(at.source)], at.column);
    }

    std::optional<QVariant> variable(const QString& name) const override {
        if (auto v = m_data.variable(name))
            return v;
        if (const Variable* v = m_report.findVariable(name))
            return QVariant(v->expression);
        return std::nullopt;
    }

    std::optional<QVariant> callFunction(const QString& name, const QVariantList& args) override {
        const UserFunction* f = m_data.function(name);
        if (!f || !f->call)
            return std::nullopt;
        return f->call(args);
    }

    int pageNumber() const override { return m_page; }
    int totalPages() const override { return m_totalPages; }
    int lineNumber() const override { return m_line; }

    const IDataset* dataset(const QString& name) const { return m_data.dataset(name); }
    void setRow(const QString& dataset, int row) {
        if (const int s = sourceOf(dataset); s >= 0)
            m_rows[size_t(s)] = row;
    }
    void setPage(int page) { m_page = page; }
    void setLine(int line) { m_line = line; }

    // The current rows and line number, to go back to after looking ahead.
    struct Cursor {
        std::vector<int> rows;
        int line = 0;
    };
    Cursor cursor() const { return {m_rows, m_line}; }
    void setCursor(Cursor c) {
        m_rows = std::move(c.rows);
        m_line = c.line;
    }

private:
    // The first of the data's datasets by that name, as ReportData::dataset finds it.
    int sourceOf(const QString& name) const {
        for (size_t i = 0; i < m_sources.size(); ++i) {
            if (m_sources[i].name.compare(name, Qt::CaseInsensitive) == 0)
                return int(i);
        }
        return -1;
    }

    struct Source {
        QString name;
        const IDataset* data;  // not owned
    };
    struct Slot {
        int source;
        int column;
    };
    const ReportTemplate& m_report;
    const ReportData& m_data;
    std::vector<Source> m_sources;
    std::vector<int> m_rows;  // the current row of each source; 0 until one is set
    mutable std::vector<Slot> m_slots;
    int m_page = 1;
    int m_totalPages;
    int m_line = 0;
};

// A band ready to print again and again: its texts parsed once, their aggregates kept.
struct BandRun {
    const Band* band = nullptr;                      // in the template; not owned
    std::vector<std::optional<TextTemplate>> texts;  // per object: text and barcode objects

    explicit BandRun(const Band* b) : band(b) {
        if (!band)
            return;
        for (const auto& object : band->objects) {
            const QString* source = nullptr;
            if (const auto* t = std::get_if<TextObject>(&object.content))
                source = &t->text;
            else if (const auto* c = std::get_if<BarcodeObject>(&object.content))
                source = &c->text;
            if (!source) {
                texts.emplace_back();
                continue;
            }
            try {
                texts.emplace_back(TextTemplate::parse(*source));
            } catch (const ExpressionError& e) {
                throw located(object, e);
            }
        }
    }

    ExpressionError located(const ReportObject& object, const ExpressionError& e) const {
        return ExpressionError(
            QStringLiteral("%1.%2：%3").arg(band->name, object.name, e.message()), e.expression(),
            e.position());
    }

    void forEachExpression(const std::function<void(Expression&)>& f) {
        for (auto& t : texts) {
            if (t) {
                for (Expression* e : t->expressions())
                    f(*e);
            }
        }
    }
    void accumulate(IExpressionContext& context) {
        forEachExpression([&](Expression& e) {
            if (e.aggregateCount() > 0)
                e.accumulate(context);
        });
    }
    void reset() {
        forEachExpression([](Expression& e) { e.resetAggregates(); });
    }
};

QImage decodePicture(const PictureObject& picture) {
    return QImage::fromData(picture.png, "PNG");
}

QRectF pictureRect(const QRectF& box, const QImage& image, const PictureObject& picture) {
    if (image.isNull())
        return box;
    QSizeF size = box.size();
    if (!picture.stretch) {
        const double dpm = image.dotsPerMeterX() > 0 ? image.dotsPerMeterX() : 96 / 0.0254;
        size = QSizeF(image.width(), image.height()) * (1000.0 / dpm);
        size = size.boundedTo(box.size());
    }
    if (picture.keepAspect)
        size = QSizeF(image.size()).scaled(size, Qt::KeepAspectRatio);
    return {box.left() + (box.width() - size.width()) / 2,
            box.top() + (box.height() - size.height()) / 2, size.width(), size.height()};
}

// Every way of taking one key from each list, in order: {a, b}, {c} gives {a, c} and {b, c}.
std::vector<QStringList> combinations(const std::vector<QStringList>& choices) {
    std::vector<QStringList> out{QStringList()};
    for (const QStringList& choice : choices) {
        std::vector<QStringList> next;
        for (const QStringList& head : out) {
            for (const QString& key : choice)
                next.push_back(head + QStringList{key});
        }
        out = std::move(next);
    }
    return out;
}

// How far up the objects of a shrinking band move once its empty texts are left out: the
// height above them that only those texts spanned. Where another object sits beside an empty
// text, its height stays.
class FreedHeight {
public:
    FreedHeight(const std::vector<QRectF>& omitted, const std::vector<QRectF>& kept) {
        if (omitted.empty())
            return;
        std::vector<double> cuts;
        for (const auto* boxes : {&omitted, &kept}) {
            for (const QRectF& box : *boxes)
                cuts.insert(cuts.end(), {box.top(), box.bottom()});
        }
        std::sort(cuts.begin(), cuts.end());
        auto covers = [](const std::vector<QRectF>& boxes, double y) {
            return std::any_of(boxes.begin(), boxes.end(),
                               [&](const QRectF& b) { return b.top() < y && y < b.bottom(); });
        };
        for (size_t i = 0; i + 1 < cuts.size(); ++i) {
            const double middle = (cuts[i] + cuts[i + 1]) / 2;
            if (cuts[i + 1] > cuts[i] && covers(omitted, middle) && !covers(kept, middle))
                m_spans.push_back({cuts[i], cuts[i + 1]});
        }
    }

    double above(double top) const {
        double freed = 0;
        for (const auto& [from, to] : m_spans) {
            if (to <= top + 1e-6)
                freed += to - from;
        }
        return freed;
    }

private:
    std::vector<std::pair<double, double>> m_spans;
};

class Layouter {
public:
    Layouter(const ReportTemplate& report, const ReportData& data, int totalPages)
        : m_report(report), m_context(report, data, totalPages) {
        auto first = [&](BandKind kind) -> const Band* {
            for (const auto& b : report.bands) {
                if (b.kind == kind)
                    return &b;
            }
            return nullptr;
        };
        m_title = std::make_unique<BandRun>(first(BandKind::ReportTitle));
        m_pageHeader = std::make_unique<BandRun>(first(BandKind::PageHeader));
        m_pageFooter = std::make_unique<BandRun>(first(BandKind::PageFooter));
        m_columnFooter = std::make_unique<BandRun>(first(BandKind::ColumnFooter));
        m_summary = std::make_unique<BandRun>(first(BandKind::ReportSummary));
        m_master = std::make_unique<BandRun>(first(BandKind::MasterData));
        m_detail = std::make_unique<BandRun>(first(BandKind::DetailData));
        if (!m_master->band)  // a report with detail data alone runs it as its master
            std::swap(m_master, m_detail);
        std::vector<const Band*> footers;
        for (const auto& b : report.bands) {
            if (b.kind == BandKind::GroupHeader)
                m_groups.push_back({std::make_unique<BandRun>(&b), nullptr, {}});
            else if (b.kind == BandKind::GroupFooter)
                footers.push_back(&b);
        }
        // Group footers close innermost first: the first footer belongs to the last header.
        for (size_t i = 0; i < m_groups.size(); ++i) {
            auto& g = m_groups[m_groups.size() - 1 - i];
            g.footer = std::make_unique<BandRun>(i < footers.size() ? footers[i] : nullptr);
            try {
                g.condition = Expression::parse(g.header->band->condition);
            } catch (const ExpressionError& e) {
                throw ExpressionError(
                    QStringLiteral("%1：%2").arg(g.header->band->name, e.message()), e.expression(),
                    e.position());
            }
        }
        m_masterData = datasetOf(*m_master);
        m_detailData = datasetOf(*m_detail);
        if (m_master->band && m_detail->band)
            indexDetailRows();
        const QSizeF page = report.page.pageSizeMm();
        m_pageSize = page;
        m_contentTop = report.page.margins.top;
        m_pageBottom = page.height() - report.page.margins.bottom;
    }

    PreparedReport run() {
        m_out.name = m_report.name;
        startPage(true);
        const int masterRows = m_masterData ? m_masterData->rowCount() : 0;
        m_groupStarts = groupStarts(masterRows);
        if (masterRows > 0)
            printRows(0, masterRows - 1, 0, 0);
        place(*m_columnFooter, /*reserved=*/true);
        m_columnFooterDone = true;
        place(*m_summary, true);
        finishPage();
        return std::move(m_out);
    }

private:
    struct Group {
        std::unique_ptr<BandRun> header;
        std::unique_ptr<BandRun> footer;
        Expression condition;
    };

    // For each master row, the outermost group that starts at it; m_groups.size() for none.
    std::vector<size_t> groupStarts(int masterRows) {
        std::vector<size_t> starts(size_t(masterRows), m_groups.size());
        std::vector<QVariant> previous;
        for (int r = 0; r < masterRows && !m_groups.empty(); ++r) {
            setMasterRow(r);
            std::vector<QVariant> values;
            for (auto& g : m_groups)
                values.push_back(evaluate(g.condition, *g.header->band));
            for (size_t i = 0; i < m_groups.size(); ++i) {
                if (r == 0 || values[i] != previous[i]) {
                    starts[size_t(r)] = i;
                    break;
                }
            }
            previous = std::move(values);
        }
        return starts;
    }

    void setMasterRow(int r) {
        m_context.setRow(m_master->band->dataset, r);
        m_context.setLine(r + 1);
    }

    // Master rows first to last with their details and groups: at `first` the groups open from
    // level `openFrom` in, after it wherever they change; at `last` those from `closeFrom` in
    // close.
    void printRows(int first, int last, size_t openFrom, size_t closeFrom) {
        for (int r = first; r <= last; ++r) {
            const size_t opens = r == first ? openFrom : m_groupStarts[size_t(r)];
            if (r > first)
                closeGroups(r - 1, opens);
            setMasterRow(r);
            if (!m_measuring)
                keepTogether(r, opens);
            for (size_t i = opens; i < m_groups.size(); ++i) {
                m_groups[i].header->reset();
                if (m_groups[i].footer)
                    m_groups[i].footer->reset();
                place(*m_groups[i].header);
            }
            place(*m_master);
            printDetails(r);
        }
        closeGroups(last, closeFrom);
    }

    void printDetails(int masterRow) {
        if (!m_detail->band || !m_detailData) {
            accumulateAll();
            return;
        }
        const std::vector<int> rows = detailRows(masterRow);
        for (size_t i = 0; i < rows.size(); ++i) {
            m_context.setRow(m_detail->band->dataset, rows[i]);
            m_context.setLine(int(i) + 1);
            place(*m_detail);
            accumulateAll();
        }
        m_context.setLine(masterRow + 1);
    }

    // Keys the detail rows by the values of their detailKey fields, once, so that each master
    // row finds its own without reading them all.
    void indexDetailRows() {
        const Band& band = *m_detail->band;
        if (const QString problem = band.keyProblem(); !problem.isEmpty())
            throw TemplateError(QString(), QStringLiteral("%1：%2").arg(band.name, problem));
        m_masterKeys = keyFields(band.masterKey);
        const QStringList detailKeys = keyFields(band.detailKey);
        auto check = [&](const IDataset* data, const QString& dataset, const QStringList& fields) {
            for (const QString& field : fields) {
                if (!data->hasField(field))
                    throw TemplateError(
                        QString(),
                        QStringLiteral("%1：数据集 %2 没有字段 %3").arg(band.name, dataset, field));
            }
        };
        check(m_masterData, m_master->band->dataset, m_masterKeys);
        check(m_detailData, band.dataset, detailKeys);
        for (int row = 0; row < m_detailData->rowCount(); ++row) {
            std::vector<QStringList> filed;
            for (const QString& field : detailKeys)
                filed.push_back(equalityKeys(m_detailData->value(row, field)).filed);
            for (QStringList& key : combinations(filed))
                m_detailIndex[std::move(key)].push_back(row);
        }
    }

    // The detail rows that print under a master row, in their order.
    std::vector<int> detailRows(int masterRow) const {
        std::vector<int> rows;
        if (m_masterKeys.isEmpty()) {
            rows.resize(size_t(m_detailData->rowCount()));
            std::iota(rows.begin(), rows.end(), 0);
            return rows;
        }
        std::vector<QStringList> sought;
        for (const QString& field : m_masterKeys)
            sought.push_back(equalityKeys(m_masterData->value(masterRow, field)).sought);
        // A row is filed under at most one of the keys sought, so none comes twice.
        for (const QStringList& key : combinations(sought)) {
            const auto it = m_detailIndex.constFind(key);
            if (it != m_detailIndex.constEnd())
                rows.insert(rows.end(), it->begin(), it->end());
        }
        std::sort(rows.begin(), rows.end());
        return rows;
    }

    // Called before master row r and the group headers that open at it: moves to a new page
    // when what is to stay together does not fit in what is left of this one but would fit on
    // an empty page. A group kept together that is longer than a page keeps at least its
    // header with its first row.
    void keepTogether(int r, size_t opens) {
        if (m_y <= m_pageTop + 1e-6)
            return;
        const double room = dataBottom() - m_y + 1e-6;
        const double emptyPage = dataBottom() - m_nextPageTop + 1e-6;
        bool keepFirstRow = m_master->band->keepTogether;
        for (size_t i = opens; i < m_groups.size(); ++i) {
            if (!m_groups[i].header->band->keepTogether)
                continue;
            int last = r;
            while (last + 1 < int(m_groupStarts.size()) && m_groupStarts[size_t(last) + 1] > i)
                ++last;
            const double height = measure(r, last, opens, i);
            if (height <= emptyPage) {
                if (height > room)
                    breakPage();
                return;
            }
            keepFirstRow = true;
        }
        if (!keepFirstRow)
            return;
        const double height = measure(r, r, opens, m_groups.size());
        if (height > room && height <= emptyPage)
            breakPage();
    }

    // The height printRows would take, laid out but not placed: no page breaks, no aggregates
    // fed, and the current rows left as they were.
    double measure(int first, int last, size_t openFrom, size_t closeFrom) {
        RunContext::Cursor cursor = m_context.cursor();
        m_measuring = true;
        m_measured = 0;
        printRows(first, last, openFrom, closeFrom);
        m_measuring = false;
        m_context.setCursor(std::move(cursor));
        return m_measured;
    }

    const IDataset* datasetOf(const BandRun& run) const {
        if (!run.band)
            return nullptr;
        const IDataset* d = m_context.dataset(run.band->dataset);
        if (!d)
            throw TemplateError(
                QString(),
                QStringLiteral("%1：没有数据集 %2").arg(run.band->name, run.band->dataset));
        return d;
    }

    QVariant evaluate(const Expression& e, const Band& band) {
        try {
            return e.evaluate(m_context);
        } catch (const ExpressionError& err) {
            throw ExpressionError(QStringLiteral("%1：%2").arg(band.name, err.message()),
                                  err.expression(), err.position());
        }
    }

    std::vector<BandRun*> allRuns() {
        std::vector<BandRun*> runs{m_title.get(),        m_pageHeader.get(), m_pageFooter.get(),
                                   m_columnFooter.get(), m_summary.get(),    m_master.get(),
                                   m_detail.get()};
        for (auto& g : m_groups) {
            runs.push_back(g.header.get());
            runs.push_back(g.footer.get());
        }
        return runs;
    }

    void accumulateAll() {
        if (m_measuring)
            return;
        for (BandRun* run : allRuns()) {
            if (run && run->band)
                run->accumulate(m_context);
        }
    }

    // Footers print with the group's last row current.
    void closeGroups(int lastRow, size_t from) {
        if (from < m_groups.size())
            setMasterRow(lastRow);
        for (size_t i = m_groups.size(); i-- > from;) {
            if (m_groups[i].footer)
                place(*m_groups[i].footer);
        }
    }

    // The lowest point data may reach on a page: above the column and page footers.
    double dataBottom() const {
        double bottom = m_pageBottom;
        if (m_pageFooter->band)
            bottom -= m_pageFooter->band->heightMm;
        if (m_columnFooter->band && !m_columnFooterDone)
            bottom -= m_columnFooter->band->heightMm;
        return bottom;
    }

    void startPage(bool first) {
        m_out.pages.push_back({m_pageSize, {}});
        m_context.setPage(int(m_out.pages.size()));
        m_y = m_contentTop;
        for (BandRun* run : {m_pageHeader.get(), m_pageFooter.get(), m_columnFooter.get()}) {
            if (run->band)
                run->reset();
        }
        if (first && m_title->band)
            place(*m_title);
        const double headerTop = m_y;
        if (m_pageHeader->band)
            place(*m_pageHeader, true);
        m_pageTop = m_y;
        m_nextPageTop = m_contentTop + (m_y - headerTop);
    }

    void finishPage() {
        if (m_pageFooter->band) {
            double height = 0;
            auto items = layoutBand(*m_pageFooter, height);
            emitItems(std::move(items), m_pageBottom - height);
        }
    }

    void breakPage() {
        if (m_columnFooter->band && !m_columnFooterDone)
            place(*m_columnFooter, true);
        finishPage();
        startPage(false);
    }

    // Places a band at the current position, first moving to a new page when it does not fit
    // there; a band taller than an empty page prints anyway, cut at the bottom.
    void place(BandRun& run, bool noBreak = false) {
        if (!run.band)
            return;
        if (m_measuring) {
            double height = 0;
            layoutBand(run, height);
            m_measured += height;
            return;
        }
        if (!noBreak && run.band->startNewPage && m_y > m_pageTop + 1e-6)
            breakPage();
        double height = 0;
        auto items = layoutBand(run, height);
        if (!noBreak && m_y + height > dataBottom() + 1e-6 && m_y > m_pageTop + 1e-6) {
            breakPage();
            items = layoutBand(run, height);  // page numbers have moved on
        }
        emitItems(std::move(items), m_y);
        m_y += height;
    }

    void emitItems(std::vector<PreparedItem> items, double top) {
        const QPointF offset(m_report.page.margins.left, top);
        auto& page = m_out.pages.back().items;
        for (auto& item : items) {
            std::visit(
                [&](auto& it) {
                    using T = std::decay_t<decltype(it)>;
                    if constexpr (std::is_same_v<T, PreparedBox> ||
                                  std::is_same_v<T, PreparedPicture>) {
                        it.rectMm.translate(offset);
                    } else if constexpr (std::is_same_v<T, PreparedLine>) {
                        it.lineMm.translate(offset);
                    } else {
                        it.clipMm.translate(offset);
                        for (auto& run : it.lines)
                            run.baselineMm += offset;
                    }
                },
                item);
            page.push_back(std::move(item));
        }
    }

    // The band's items relative to its top-left corner, and its height after growing.
    std::vector<PreparedItem> layoutBand(BandRun& run, double& height) {
        const Band& band = *run.band;
        struct Measured {
            QRectF box;
            TextBlock block;
            QString text;
            bool omitted = false;  // an empty text in a shrinking band
        };
        std::vector<Measured> measured(band.objects.size());
        // Texts first: a growing text pushes down the objects below it.
        struct Growth {
            double bottom;
            double delta;
        };
        std::vector<Growth> growths;
        for (size_t i = 0; i < band.objects.size(); ++i) {
            const ReportObject& object = band.objects[i];
            measured[i].box = object.boundsMm();
            if (!run.texts[i])
                continue;
            try {
                const auto* t = std::get_if<TextObject>(&object.content);
                measured[i].text =
                    run.texts[i]->evaluate(m_context, t ? t->displayFormat : QString());
            } catch (const ExpressionError& e) {
                throw run.located(object, e);
            }
            if (const auto* t = std::get_if<TextObject>(&object.content)) {
                if (band.canShrink && measured[i].text.trimmed().isEmpty()) {
                    measured[i].omitted = true;
                    continue;
                }
                const double width = measured[i].box.width() - 2 * kTextPaddingMm;
                const bool byWidth = t->hAlign == HAlign::Center || t->hAlign == HAlign::Right;
                measured[i].block =
                    m_breaker.breakText(measured[i].text, t->font, width, t->wordWrap, byWidth);
                const double needed = measured[i].block.heightMm + 2 * kTextPaddingMm;
                if (t->canGrow && needed > measured[i].box.height()) {
                    growths.push_back(
                        {measured[i].box.bottom(), needed - measured[i].box.height()});
                    measured[i].box.setHeight(needed);
                }
            }
        }
        std::vector<QRectF> omitted, kept;
        for (const auto& m : measured)
            (m.omitted ? omitted : kept).push_back(m.box);
        const FreedHeight freed(omitted, kept);
        double lowest = 0;
        for (auto& m : measured) {
            if (m.omitted)
                continue;
            double shift = 0;
            for (const auto& g : growths) {
                if (m.box.top() >= g.bottom - 1e-6)
                    shift = std::max(shift, g.delta);
            }
            m.box.translate(0, shift - freed.above(m.box.top()));
            lowest = std::max(lowest, m.box.bottom());
        }
        height = band.canShrink ? std::min(band.heightMm, lowest) : band.heightMm;
        if (band.canGrow || !growths.empty())
            height = std::max(height, lowest);

        std::vector<PreparedItem> items;
        for (size_t i = 0; i < band.objects.size(); ++i) {
            if (measured[i].omitted)
                continue;
            const ReportObject& object = band.objects[i];
            const QRectF box = measured[i].box;
            std::visit(
                [&](const auto& content) {
                    using T = std::decay_t<decltype(content)>;
                    if constexpr (std::is_same_v<T, TextObject>) {
                        if (content.fill.isValid() || content.border.sides != NoSides)
                            items.push_back(PreparedBox{box, content.fill, content.border});
                        items.push_back(placeText(measured[i].block, box, content));
                    } else if constexpr (std::is_same_v<T, LineObject>) {
                        const QPointF start =
                            object.rectMm.topLeft() + (box.topLeft() - object.boundsMm().topLeft());
                        items.push_back(PreparedLine{
                            QLineF(start,
                                   start + QPointF(object.rectMm.width(), object.rectMm.height())),
                            content.widthMm, content.color, content.style});
                    } else if constexpr (std::is_same_v<T, RectangleObject>) {
                        items.push_back(PreparedBox{box, content.fill, content.border});
                    } else if constexpr (std::is_same_v<T, PictureObject>) {
                        const QImage image = decodePicture(content);
                        items.push_back(PreparedPicture{pictureRect(box, image, content), image});
                    } else {
                        layoutBarcode(measured[i].text, box, content, items);
                    }
                },
                object.content);
        }
        return items;
    }

    static PreparedText placeText(const TextBlock& block, const QRectF& box, const TextObject& t) {
        PreparedText out{box, t.font, t.color, {}};
        const QRectF inner =
            box.adjusted(kTextPaddingMm, kTextPaddingMm, -kTextPaddingMm, -kTextPaddingMm);
        double top = inner.top();
        if (t.vAlign == VAlign::Center)
            top += (inner.height() - block.heightMm) / 2;
        else if (t.vAlign == VAlign::Bottom)
            top += inner.height() - block.heightMm;
        for (const auto& line : block.lines) {
            double x = inner.left();
            if (t.hAlign == HAlign::Center)
                x += (inner.width() - line.widthMm) / 2;
            else if (t.hAlign == HAlign::Right)
                x += inner.width() - line.widthMm;
            out.lines.push_back({QPointF(x, top + line.baselineMm), line.text});
        }
        return out;
    }

    void layoutBarcode(const QString& text, const QRectF& box, const BarcodeObject& code,
                       std::vector<PreparedItem>& items) {
        const std::vector<int> widths = code128Widths(text);
        int modules = 0;
        for (int w : widths)
            modules += w;
        Font font;
        font.pointSize = kBarcodeTextPt;
        TextBlock caption;
        if (code.showText)
            caption = m_breaker.breakText(text, font, box.width(), false);
        const double barHeight = std::max(0.0, box.height() - caption.heightMm);
        const double module = box.width() / modules;
        double x = box.left();
        for (size_t i = 0; i < widths.size(); ++i) {
            const double w = widths[i] * module;
            if (i % 2 == 0)
                items.push_back(PreparedBox{QRectF(x, box.top(), w, barHeight), Qt::black, {}});
            x += w;
        }
        if (code.showText) {
            TextObject t;
            t.font = font;
            t.hAlign = HAlign::Center;
            t.vAlign = VAlign::Bottom;
            items.push_back(placeText(
                caption, box.adjusted(-kTextPaddingMm, 0, kTextPaddingMm, kTextPaddingMm), t));
        }
    }

    const ReportTemplate& m_report;
    RunContext m_context;
    Internal::TextBreaker m_breaker;
    PreparedReport m_out;
    std::unique_ptr<BandRun> m_title, m_pageHeader, m_pageFooter, m_columnFooter, m_summary,
        m_master, m_detail;
    std::vector<Group> m_groups;             // outermost first
    const IDataset* m_masterData = nullptr;  // not owned
    const IDataset* m_detailData = nullptr;  // not owned
    QStringList m_masterKeys;                // empty: every detail row under every master row
    QHash<QStringList, std::vector<int>> m_detailIndex;  // detail rows by equalityKeys().filed
    std::vector<size_t> m_groupStarts;                   // see groupStarts()
    QSizeF m_pageSize;
    double m_contentTop = 0;
    double m_pageBottom = 0;
    double m_pageTop = 0;      // below the page header (and title): where data starts
    double m_nextPageTop = 0;  // where data will start on the next page, without the title
    double m_y = 0;
    bool m_columnFooterDone = false;
    bool m_measuring = false;  // bands only add their height to m_measured
    double m_measured = 0;
};

// Whether anything the report prints could show the page count: a text, a barcode, a group
// condition or a variable (the template's or the caller's) that names TotalPages#.
bool printsPageCount(const ReportTemplate& report, const ReportData& data) {
    static const QString kTotalPages = QStringLiteral("TotalPages#");
    auto names = [](const QString& text) {
        return text.contains(kTotalPages, Qt::CaseInsensitive);
    };
    for (const Band& band : report.bands) {
        if (names(band.condition))
            return true;
        for (const ReportObject& object : band.objects) {
            if (const auto* t = std::get_if<TextObject>(&object.content); t && names(t->text))
                return true;
            if (const auto* c = std::get_if<BarcodeObject>(&object.content); c && names(c->text))
                return true;
        }
    }
    for (const VariableCategory& category : report.variables) {
        for (const Variable& v : category.variables) {
            if (names(v.expression))
                return true;
        }
    }
    for (const QString& category : data.categories()) {
        for (const QString& name : data.variableNames(category)) {
            const std::optional<QVariant> value = data.variable(name);
            if (value && value->typeId() == QMetaType::QString && names(value->toString()))
                return true;
        }
    }
    return false;
}

}  // namespace

PreparedReport prepare(const ReportTemplate& report, const ReportData& data) {
    Core::Sys::resetVectorState();
    // A first pass counts the pages that [TotalPages#] prints in the second; a report that
    // never prints the count is laid out once.
    const int pages =
        printsPageCount(report, data) ? Layouter(report, data, 0).run().pageCount() : 0;
    PreparedReport out = Layouter(report, data, pages).run();
    out.page = report.page;
    return out;
}

}  // namespace Qd::Print
