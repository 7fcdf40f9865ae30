#include "print/engine/LayoutText.h"

#include <QFontMetricsF>
#include <QImage>
#include <QTextLayout>
#include <algorithm>
#include <unordered_map>

#include "print/engine/Engine.h"

namespace Qd::Print::Internal {

namespace {

constexpr double kMmPerUnit = 25.4 / kLayoutDpi;

}  // namespace

QFont layoutFont(const Font& font) {
    QFont f(font.family);
    f.setPointSizeF(font.pointSize > 0 ? font.pointSize : 9);
    f.setBold(font.bold);
    f.setItalic(font.italic);
    f.setUnderline(font.underline);
    f.setHintingPreference(QFont::PreferNoHinting);
    f.setKerning(false);
    return f;
}

const QPaintDevice* layoutDevice() {
    static const QImage device = [] {
        QImage image(1, 1, QImage::Format_ARGB32);
        const int dotsPerMeter = qRound(kLayoutDpi / 0.0254);
        image.setDotsPerMeterX(dotsPerMeter);
        image.setDotsPerMeterY(dotsPerMeter);
        return image;
    }();
    return &device;
}

struct TextBreaker::Measure {
    explicit Measure(const Font& f)
        : font(f),
          qfont(layoutFont(f), layoutDevice()),
          metrics(qfont, layoutDevice()),
          lineHeight(metrics.lineSpacing() * kMmPerUnit),
          ascent(metrics.ascent() * kMmPerUnit) {}

    struct Key {
        QString text;
        double width;  // 0 when not wrapped
        bool operator==(const Key&) const = default;
    };
    struct KeyHash {
        size_t operator()(const Key& k) const noexcept {
            return qHash(k.text) ^ std::hash<double>()(k.width);
        }
    };

    // The lines of `text` as QTextLayout breaks them.
    TextBlock shape(const QString& text, double widthMm, bool wrap) const {
        const double width = std::max(0.0, widthMm / kMmPerUnit);
        TextBlock block;
        QString plain = text;
        plain.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        const QStringList paragraphs = plain.split(u'\n');
        for (const QString& paragraph : paragraphs) {
            QTextLayout layout(paragraph, qfont, layoutDevice());
            QTextOption option;
            option.setWrapMode(wrap ? QTextOption::WrapAtWordBoundaryOrAnywhere
                                    : QTextOption::NoWrap);
            option.setUseDesignMetrics(true);
            layout.setTextOption(option);
            layout.beginLayout();
            bool any = false;
            for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
                line.setLineWidth(wrap ? width : 1e9);
                block.lines.push_back(
                    {withoutTrailingSpace(paragraph.mid(line.textStart(), line.textLength())),
                     line.naturalTextWidth() * kMmPerUnit, block.heightMm + ascent});
                block.heightMm += lineHeight;
                any = true;
            }
            layout.endLayout();
            if (!any) {  // an empty paragraph still takes its line
                block.lines.push_back({QString(), 0, block.heightMm + ascent});
                block.heightMm += lineHeight;
            }
        }
        return block;
    }

    static QString withoutTrailingSpace(QString s) {
        while (!s.isEmpty() && s.back().isSpace())
            s.chop(1);
        return s;
    }

    Font font;
    QFont qfont;
    QFontMetricsF metrics;
    double lineHeight;
    double ascent;
    std::unordered_map<Key, TextBlock, KeyHash> shaped;
};

namespace {

// Whether QTextLayout would start a new line in `text` without being asked to wrap.
bool breaksLines(const QString& text) {
    return std::any_of(text.begin(), text.end(), [](QChar c) {
        const char16_t u = c.unicode();
        return u < 0x20 || u == 0x85 || u == QChar::LineSeparator || u == QChar::ParagraphSeparator;
    });
}

// Shaped blocks kept per font before the cache starts over: bounds the memory of a report
// whose every text differs.
constexpr size_t kShapedPerFont = 20000;

}  // namespace

TextBreaker::TextBreaker() = default;
TextBreaker::~TextBreaker() = default;

TextBreaker::Measure& TextBreaker::measureOf(const Font& font) {
    for (const auto& m : m_fonts) {
        if (m->font == font)
            return *m;
    }
    return *m_fonts.emplace_back(std::make_unique<Measure>(font));
}

TextBlock TextBreaker::breakText(const QString& text, const Font& font, double widthMm, bool wrap,
                                 bool needsWidth) {
    Measure& m = measureOf(font);
    if (!wrap && !needsWidth && !breaksLines(text))
        return {{{Measure::withoutTrailingSpace(text), 0, m.ascent}}, m.lineHeight};
    Measure::Key key{text, wrap ? widthMm : 0};
    if (const auto it = m.shaped.find(key); it != m.shaped.end())
        return it->second;
    if (m.shaped.size() >= kShapedPerFont)
        m.shaped.clear();
    TextBlock block = m.shape(text, widthMm, wrap);
    m.shaped.emplace(std::move(key), block);
    return block;
}

TextBlock breakText(const QString& text, const Font& font, double widthMm, bool wrap) {
    return TextBreaker().breakText(text, font, widthMm, wrap);
}

}  // namespace Qd::Print::Internal
