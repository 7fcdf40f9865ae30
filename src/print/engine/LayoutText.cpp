#include "print/engine/LayoutText.h"

#include <QFontMetricsF>
#include <QImage>
#include <QTextLayout>
#include <algorithm>

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

TextBlock breakText(const QString& text, const Font& font, double widthMm, bool wrap) {
    const QFont qfont(layoutFont(font), layoutDevice());
    const QFontMetricsF metrics(qfont, layoutDevice());
    const double lineHeight = metrics.lineSpacing() * kMmPerUnit;
    const double ascent = metrics.ascent() * kMmPerUnit;
    const double width = std::max(0.0, widthMm / kMmPerUnit);

    TextBlock block;
    QString plain = text;
    plain.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    const QStringList paragraphs = plain.split(u'\n');
    for (const QString& paragraph : paragraphs) {
        QTextLayout layout(paragraph, qfont, layoutDevice());
        QTextOption option;
        option.setWrapMode(wrap ? QTextOption::WrapAtWordBoundaryOrAnywhere : QTextOption::NoWrap);
        option.setUseDesignMetrics(true);
        layout.setTextOption(option);
        layout.beginLayout();
        bool any = false;
        for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
            line.setLineWidth(wrap ? width : 1e9);
            QString part = paragraph.mid(line.textStart(), line.textLength());
            while (!part.isEmpty() && part.back().isSpace())
                part.chop(1);
            block.lines.push_back(
                {part, line.naturalTextWidth() * kMmPerUnit, block.heightMm + ascent});
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

}  // namespace Qd::Print::Internal
