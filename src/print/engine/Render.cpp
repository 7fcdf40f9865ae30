#include "print/engine/Render.h"

#include <QFile>
#include <QFontMetricsF>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QPrinter>
#include <optional>

#include "base/OwnerOnly.h"
#include "print/engine/LayoutText.h"

namespace Qd::Print {

namespace {

constexpr double kPdfDpi = 1200;
const QString kCreator = QStringLiteral("QD 报表");

Qt::PenStyle penStyle(LineStyle style) {
    switch (style) {
        case LineStyle::Dash:
            return Qt::DashLine;
        case LineStyle::Dot:
            return Qt::DotLine;
        case LineStyle::DashDot:
            return Qt::DashDotLine;
        case LineStyle::Solid:
        case LineStyle::Double:
            return Qt::SolidLine;
    }
    return Qt::SolidLine;
}

QRectF scaled(const QRectF& r, double k) {
    return {r.left() * k, r.top() * k, r.width() * k, r.height() * k};
}

// The pen last given to the painter, so that the lines and texts of a page, which take the same
// few pens in turn, build a QPen only when it changes. A text's pen is its colour alone.
class PenState {
public:
    void set(QPainter& painter, const QColor& color, double width, Qt::PenStyle style) {
        if (m_set && color == m_color && width == m_width && style == m_style)
            return;
        painter.setPen(width < 0 ? QPen(color) : QPen(color, width, style, Qt::FlatCap));
        m_set = true;
        m_color = color;
        m_width = width;
        m_style = style;
    }
    void setText(QPainter& painter, const QColor& color) { set(painter, color, -1, Qt::SolidLine); }

private:
    bool m_set = false;
    QColor m_color;
    double m_width = 0;
    Qt::PenStyle m_style = Qt::SolidLine;
};

// A double line is two lines a third of the width thick, a third apart.
void drawLine(QPainter& painter, PenState& pen, const QLineF& line, double widthMm,
              const QColor& color, LineStyle style, double k) {
    if (style != LineStyle::Double) {
        pen.set(painter, color, widthMm * k, penStyle(style));
        painter.drawLine(QLineF(line.p1() * k, line.p2() * k));
        return;
    }
    const QLineF unit = line.normalVector().unitVector();
    const QPointF offset = (unit.p2() - unit.p1()) * (widthMm / 3);
    pen.set(painter, color, widthMm / 3 * k, Qt::SolidLine);
    painter.drawLine(QLineF((line.p1() - offset) * k, (line.p2() - offset) * k));
    painter.drawLine(QLineF((line.p1() + offset) * k, (line.p2() + offset) * k));
}

void drawBox(QPainter& painter, PenState& pen, const PreparedBox& box, double k) {
    if (box.fill.isValid())
        painter.fillRect(scaled(box.rectMm, k), box.fill);
    const QRectF r = box.rectMm;
    const Border& b = box.border;
    if (b.sides & TopSide)
        drawLine(painter, pen, {r.topLeft(), r.topRight()}, b.widthMm, b.color, b.style, k);
    if (b.sides & BottomSide)
        drawLine(painter, pen, {r.bottomLeft(), r.bottomRight()}, b.widthMm, b.color, b.style, k);
    if (b.sides & LeftSide)
        drawLine(painter, pen, {r.topLeft(), r.bottomLeft()}, b.widthMm, b.color, b.style, k);
    if (b.sides & RightSide)
        drawLine(painter, pen, {r.topRight(), r.bottomRight()}, b.widthMm, b.color, b.style, k);
}

// Text is drawn in layout units (kLayoutDpi), with the font sized so that the device's own
// point-to-pixel conversion comes out at the size the lines were measured at.
// Fonts of one page's replay by their description, with their ascent and descent in mm:
// building a font and its metrics for every text would cost more than drawing it.
class FontCache {
public:
    struct Entry {
        QFont font;
        double ascentMm;
        double descentMm;
    };
    const Entry& get(const Font& f, double pixelsPerMm, const QPaintDevice* device) {
        for (const auto& [key, entry] : m_entries)
            if (key == f)
                return entry;
        const QFont layout = Internal::layoutFont(f);
        const QFontMetricsF metrics(layout, Internal::layoutDevice());
        const double unitsPerMm = kLayoutDpi / 25.4;
        QFont font = layout;
        // The size the text has on the page, whatever the device's own resolution.
        const int deviceDpi = device ? device->logicalDpiY() : 72;
        font.setPointSizeF(layout.pointSizeF() * pixelsPerMm * 25.4 / deviceDpi);
        m_entries.emplace_back(
            f, Entry{font, metrics.ascent() / unitsPerMm, metrics.descent() / unitsPerMm});
        return m_entries.back().second;
    }

    // Whether `f` differs from the font the painter was given last (and notes it as given).
    bool select(const Font& f) {
        if (m_selected && *m_selected == f)
            return false;
        m_selected = f;
        return true;
    }

private:
    std::vector<std::pair<Font, Entry>> m_entries;
    std::optional<Font> m_selected;
};

void drawText(QPainter& painter, PenState& pen, const PreparedText& text, double k,
              FontCache& fonts) {
    if (text.lines.empty())
        return;
    const FontCache::Entry& font = fonts.get(text.font, k, painter.device());
    // Only a text whose lines run past its box is clipped: most stay inside, and in a PDF every
    // clip is a path of its own.
    const double top = text.lines.front().baselineMm.y() - font.ascentMm;
    const double bottom = text.lines.back().baselineMm.y() + font.descentMm;
    const bool clip = top < text.clipMm.top() - 0.05 || bottom > text.clipMm.bottom() + 0.05;
    // Set before a clip's save, so that its restore keeps them; the font only when it changes,
    // as every change is state written into the page.
    if (fonts.select(text.font))
        painter.setFont(font.font);
    pen.setText(painter, text.color);
    if (clip) {
        painter.save();
        painter.setClipRect(scaled(text.clipMm, k), Qt::IntersectClip);
    }
    for (const auto& run : text.lines)
        painter.drawText(run.baselineMm * k, run.text);
    if (clip)
        painter.restore();
}

// Pages are turned when they are wider than tall, as the template's orientation made them.
QPageLayout pageLayout(const QSizeF& sizeMm) {
    const bool landscape = sizeMm.width() > sizeMm.height();
    const QSizeF upright = landscape ? sizeMm.transposed() : sizeMm;
    return QPageLayout(QPageSize(upright, QPageSize::Millimeter),
                       landscape ? QPageLayout::Landscape : QPageLayout::Portrait,
                       QMarginsF(0, 0, 0, 0), QPageLayout::Millimeter);
}

// QPdfWriter stamps /CreationDate from the clock, in UTC ("D:yyyyMMddHHmmssZ"), and that is the
// only part of its output that changes from run to run. Overwrites it with `date`, keeping the
// length so that the cross-reference offsets stay right.
void pinDates(QByteArray& pdf, const QDateTime& date) {
    const QByteArray marker = "/CreationDate (D:";
    const qsizetype at = pdf.indexOf(marker);
    if (at < 0)
        return;
    const qsizetype start = at + marker.size();
    const qsizetype end = pdf.indexOf(')', start);
    if (end < 0)
        return;
    QByteArray stamp = date.toUTC().toString(QStringLiteral("yyyyMMddHHmmss")).toLatin1();
    const qsizetype length = end - start;
    if (stamp.size() > length)
        stamp.truncate(length);
    pdf.replace(start, stamp.size(), stamp);
}

QByteArray xmpMetadata(const QString& title, const QDateTime& date) {
    const QString iso = date.toString(Qt::ISODate);
    return QStringLiteral(
               "<?xpacket begin='' id='W5M0MpCehiHzreSzNTczkc9d'?>\n"
               "<x:xmpmeta xmlns:x='adobe:ns:meta/'>\n"
               "<rdf:RDF xmlns:rdf='http://www.w3.org/1999/02/22-rdf-syntax-ns#'>\n"
               "<rdf:Description rdf:about='' xmlns:dc='http://purl.org/dc/elements/1.1/' "
               "xmlns:xmp='http://ns.adobe.com/xap/1.0/'>\n"
               "<dc:title><rdf:Alt><rdf:li xml:lang='x-default'>%1</rdf:li></rdf:Alt></dc:title>\n"
               "<xmp:CreatorTool>%2</xmp:CreatorTool>\n"
               "<xmp:CreateDate>%3</xmp:CreateDate>\n"
               "<xmp:ModifyDate>%3</xmp:ModifyDate>\n"
               "</rdf:Description>\n</rdf:RDF>\n</x:xmpmeta>\n<?xpacket end='w'?>")
        .arg(title.toHtmlEscaped(), kCreator, iso)
        .toUtf8();
}

}  // namespace

void renderPage(const PreparedReport& report, int page, QPainter& painter, double pixelsPerMm) {
    if (page < 0 || page >= report.pageCount())
        return;
    painter.save();
    painter.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing |
                           QPainter::SmoothPixmapTransform);
    painter.setBrush(Qt::NoBrush);
    FontCache fonts;
    PenState pen;
    for (const auto& item : report.pages[size_t(page)].items) {
        if (const auto* box = std::get_if<PreparedBox>(&item)) {
            drawBox(painter, pen, *box, pixelsPerMm);
        } else if (const auto* line = std::get_if<PreparedLine>(&item)) {
            drawLine(painter, pen, line->lineMm, line->widthMm, line->color, line->style,
                     pixelsPerMm);
        } else if (const auto* text = std::get_if<PreparedText>(&item)) {
            drawText(painter, pen, *text, pixelsPerMm, fonts);
        } else if (const auto* picture = std::get_if<PreparedPicture>(&item)) {
            if (!picture->image.isNull())
                painter.drawImage(scaled(picture->rectMm, pixelsPerMm), picture->image);
        }
    }
    painter.restore();
}

QImage toImage(const PreparedReport& report, int page, double dpi) {
    if (page < 0 || page >= report.pageCount())
        return {};
    const double k = dpi / 25.4;
    const QSizeF size = report.pages[size_t(page)].sizeMm * k;
    QImage image(qCeil(size.width()), qCeil(size.height()), QImage::Format_RGB32);
    image.setDotsPerMeterX(qRound(dpi / 0.0254));
    image.setDotsPerMeterY(qRound(dpi / 0.0254));
    image.fill(Qt::white);
    QPainter painter(&image);
    renderPage(report, page, painter, k);
    return image;
}

bool toPdf(const PreparedReport& report, const QString& path, const QDateTime& creationDate,
           QString* error) {
    auto fail = [&](const QString& why) {
        if (error)
            *error = QStringLiteral("%1：%2").arg(path, why);
        return false;
    };
    {
        QPdfWriter writer(path);
        writer.setResolution(int(kPdfDpi));
        writer.setCreator(kCreator);
        writer.setTitle(report.name);
        writer.setDocumentXmpMetadata(xmpMetadata(report.name, creationDate));
        if (report.pageCount() > 0)
            writer.setPageLayout(pageLayout(report.pages.front().sizeMm));
        QPainter painter;
        if (!painter.begin(&writer))
            return fail(QStringLiteral("无法写入文件"));
        for (int i = 0; i < report.pageCount(); ++i) {
            if (i > 0) {
                writer.setPageLayout(pageLayout(report.pages[size_t(i)].sizeMm));
                writer.newPage();
            }
            renderPage(report, i, painter, kPdfDpi / 25.4);
        }
        painter.end();
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite))
        return fail(file.errorString());
    QByteArray bytes = file.readAll();
    pinDates(bytes, creationDate);
    file.seek(0);
    if (file.write(bytes) != bytes.size())
        return fail(file.errorString());
    Core::Sys::ownerOnly(path);
    return true;
}

bool print(const PreparedReport& report, QPrinter& printer) {
    printer.setFullPage(true);
    printer.setDocName(report.name);
    printer.setCreator(kCreator);
    if (report.pageCount() > 0)
        printer.setPageLayout(pageLayout(report.pages.front().sizeMm));
    QPainter painter;
    if (!painter.begin(&printer))
        return false;
    const double k = printer.resolution() / 25.4;
    for (int i = 0; i < report.pageCount(); ++i) {
        if (i > 0) {
            printer.setPageLayout(pageLayout(report.pages[size_t(i)].sizeMm));
            printer.newPage();
        }
        renderPage(report, i, painter, k);
    }
    return painter.end();
}

}  // namespace Qd::Print
