#include "print/designer/DesignerView.h"

#include <QDragEnterEvent>
#include <QGraphicsSceneMouseEvent>
#include <QMimeData>
#include <QPainter>
#include <QStyleOptionGraphicsItem>
#include <cmath>

#include "print/designer/DesignerDocument.h"
#include "print/engine/Render.h"

namespace Qd::Print::Internal {

namespace {

constexpr double kHandlePx = 7;
constexpr double kEdgePx = 4;
const QColor kSelection(0x1e, 0x6f, 0xd9);

QPointF toMm(const QPointF& scene) {
    return scene / kScenePerMm;
}

}  // namespace

double snapped(double mm) {
    return std::round(mm / kSnapMm) * kSnapMm;
}

PreparedReport designImage(const ReportObject& object) {
    // The object alone in a one-band report on a sheet without margins, its text served as a
    // literal by a function, so the engine measures, breaks and draws it as it would print.
    const QRectF bounds = object.boundsMm();
    ReportTemplate report;
    report.page.setCustomSize(std::max(bounds.right(), 1.0) + 1,
                              std::max(bounds.bottom(), 1.0) + 1);
    report.page.margins = {0, 0, 0, 0};
    Band band;
    band.kind = BandKind::ReportTitle;
    band.name = QStringLiteral("Design");
    band.heightMm = std::max(0.0, bounds.bottom());
    ReportObject shown = object;
    QString literal;
    const QString call = QStringLiteral("[DesignText()]");
    if (auto* text = std::get_if<TextObject>(&shown.content)) {
        literal = std::exchange(text->text, call);
        text->canGrow = false;
    } else if (auto* code = std::get_if<BarcodeObject>(&shown.content)) {
        literal = std::exchange(code->text, call);
    }
    band.objects.push_back(std::move(shown));
    report.bands.push_back(std::move(band));
    ReportData data;
    data.addFunction({QStringLiteral("DesignText"), {}, {}, {}, [literal](const QVariantList&) {
                          return QVariant(literal);
                      }});
    try {
        return prepare(report, data);
    } catch (const std::exception&) {
        return {};  // drawn as its frame alone
    }
}

// ---- BandItem ----------------------------------------------------------------------------------

BandItem::BandItem(const Band& band, double widthMm, std::function<void(double)> heightDragged)
    : m_name(band.name), m_heightMm(band.heightMm), m_heightDragged(std::move(heightDragged)) {
    m_caption = QStringLiteral("%1：%2").arg(DesignerDocument::kindCaption(band.kind), band.name);
    if (band.isDataBand() && !band.dataset.isEmpty())
        m_caption += QStringLiteral("（%1）").arg(band.dataset);
    if (band.kind == BandKind::GroupHeader && !band.condition.isEmpty())
        m_caption += QStringLiteral("  分组条件：%1").arg(band.condition);
    setRect(0, 0, widthMm * kScenePerMm, (kCaptionMm + m_heightMm) * kScenePerMm);
    setFlag(ItemIsSelectable);
    setAcceptHoverEvents(true);
    setData(0, m_name);
}

void BandItem::paint(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget*) {
    const QRectF r = rect();
    const double caption = kCaptionMm * kScenePerMm;
    const bool selected = option->state & QStyle::State_Selected;
    const QRectF strip(r.left(), r.top(), r.width(), caption);
    painter->fillRect(strip, selected ? QColor(0xc5, 0xdb, 0xf7) : QColor(0xe8, 0xee, 0xf6));
    painter->setPen(QColor(0x33, 0x47, 0x5e));
    QFont f = painter->font();
    f.setPointSizeF(8);
    painter->setFont(f);
    painter->drawText(strip.adjusted(4, 0, -4, 0), Qt::AlignLeft | Qt::AlignVCenter, m_caption);
    const QRectF area(r.left(), r.top() + caption, r.width(), r.height() - caption);
    painter->fillRect(area, Qt::white);
    painter->setPen(QPen(selected ? kSelection : QColor(0xb8, 0xc4, 0xd4), 0, Qt::DashLine));
    painter->drawRect(area);
}

bool BandItem::onBottomEdge(const QPointF& local) const {
    return std::abs(local.y() - rect().bottom()) <= kEdgePx;
}

void BandItem::setAreaHeight(double mm) {
    prepareGeometryChange();
    m_heightMm = std::max(0.0, mm);
    setRect(0, 0, rect().width(), (kCaptionMm + m_heightMm) * kScenePerMm);
}

void BandItem::hoverMoveEvent(QGraphicsSceneHoverEvent* event) {
    setCursor(onBottomEdge(event->pos()) ? Qt::SizeVerCursor : Qt::ArrowCursor);
}

void BandItem::mousePressEvent(QGraphicsSceneMouseEvent* event) {
    m_resizing = event->button() == Qt::LeftButton && onBottomEdge(event->pos());
    QGraphicsRectItem::mousePressEvent(event);
}

void BandItem::mouseMoveEvent(QGraphicsSceneMouseEvent* event) {
    if (m_resizing)
        setAreaHeight(event->pos().y() / kScenePerMm - kCaptionMm);
    else
        QGraphicsRectItem::mouseMoveEvent(event);
}

void BandItem::mouseReleaseEvent(QGraphicsSceneMouseEvent* event) {
    QGraphicsRectItem::mouseReleaseEvent(event);
    if (!std::exchange(m_resizing, false))
        return;
    if (m_heightDragged)
        m_heightDragged(snapped(m_heightMm));
}

// ---- ObjectItem --------------------------------------------------------------------------------

ObjectItem::ObjectItem(const ReportObject& object, std::function<void(const QRectF&)> changed)
    : m_name(object.name),
      m_framed(object.kind() == ObjectKind::Text || object.kind() == ObjectKind::Picture),
      m_line(object.kind() == ObjectKind::Line),
      m_startMm(object.rectMm.topLeft() - object.boundsMm().topLeft()),
      m_sizeMm(object.rectMm.size()),
      m_boundsTopLeftMm(object.boundsMm().topLeft()),
      m_image(designImage(object)),
      m_changed(std::move(changed)) {
    setFlags(ItemIsSelectable | ItemIsMovable | ItemIsFocusable);
    setAcceptHoverEvents(true);
    setZValue(1);
    setData(0, m_name);
}

QRectF ObjectItem::rectMm() const {
    return QRectF(toMm(pos()) + m_startMm, m_sizeMm);
}

QPointF ObjectItem::handle() const {
    return (m_startMm + QPointF(m_sizeMm.width(), m_sizeMm.height())) * kScenePerMm;
}

bool ObjectItem::onHandle(const QPointF& local) const {
    const QPointF d = local - handle();
    return isSelected() && std::abs(d.x()) <= kHandlePx && std::abs(d.y()) <= kHandlePx;
}

QRectF ObjectItem::boundingRect() const {
    const QRectF r = QRectF(m_startMm * kScenePerMm, m_sizeMm * kScenePerMm).normalized();
    return r.adjusted(-kHandlePx, -kHandlePx, kHandlePx, kHandlePx);
}

void ObjectItem::paint(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget*) {
    const QRectF box = QRectF(m_startMm * kScenePerMm, m_sizeMm * kScenePerMm).normalized();
    if (!m_image.pages.empty()) {
        painter->save();
        painter->translate(-m_boundsTopLeftMm * kScenePerMm);
        renderPage(m_image, 0, *painter, kScenePerMm);
        painter->restore();
    }
    const bool selected = option->state & QStyle::State_Selected;
    if (m_framed && !selected) {
        painter->setPen(QPen(QColor(0xa0, 0xa0, 0xa0), 0, Qt::DotLine));
        painter->setBrush(Qt::NoBrush);
        painter->drawRect(box);
    }
    if (selected) {
        painter->setPen(QPen(kSelection, 0, Qt::DashLine));
        painter->setBrush(Qt::NoBrush);
        painter->drawRect(box);
        painter->setPen(QPen(kSelection, 0));
        painter->setBrush(Qt::white);
        const QPointF h = handle();
        painter->drawRect(
            QRectF(h - QPointF(kHandlePx / 2, kHandlePx / 2), QSizeF(kHandlePx, kHandlePx)));
    }
}

void ObjectItem::hoverMoveEvent(QGraphicsSceneHoverEvent* event) {
    setCursor(onHandle(event->pos()) ? Qt::SizeFDiagCursor : Qt::SizeAllCursor);
}

void ObjectItem::mousePressEvent(QGraphicsSceneMouseEvent* event) {
    m_pressPos = pos();
    m_resizing = event->button() == Qt::LeftButton && onHandle(event->pos());
    QGraphicsItem::mousePressEvent(event);
}

void ObjectItem::mouseMoveEvent(QGraphicsSceneMouseEvent* event) {
    if (!m_resizing) {
        QGraphicsItem::mouseMoveEvent(event);
        return;
    }
    prepareGeometryChange();
    const QPointF size = toMm(event->pos()) - m_startMm;
    // A line's end goes anywhere; a box keeps at least the grid step each way.
    m_sizeMm = m_line ? QSizeF(size.x(), size.y())
                      : QSizeF(std::max(kSnapMm, size.x()), std::max(kSnapMm, size.y()));
    update();
}

void ObjectItem::mouseReleaseEvent(QGraphicsSceneMouseEvent* event) {
    QGraphicsItem::mouseReleaseEvent(event);
    const bool resized = std::exchange(m_resizing, false);
    if ((resized || pos() != m_pressPos) && m_changed)
        m_changed(rectMm());
}

// ---- DesignView --------------------------------------------------------------------------------

DesignView::DesignView(QGraphicsScene* scene, QWidget* parent) : QGraphicsView(scene, parent) {
    setAcceptDrops(true);
    setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    setBackgroundBrush(QColor(0xd8, 0xdd, 0xe4));
    setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing);
}

void DesignView::setZoom(double zoom) {
    m_zoom = std::clamp(zoom, 0.25, 4.0);
    setTransform(QTransform::fromScale(m_zoom, m_zoom));
}

void DesignView::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasText())
        event->acceptProposedAction();
}

void DesignView::dragMoveEvent(QDragMoveEvent* event) {
    if (event->mimeData()->hasText())
        event->acceptProposedAction();
}

void DesignView::dropEvent(QDropEvent* event) {
    if (!event->mimeData()->hasText() || !dropped)
        return;
    event->acceptProposedAction();
    dropped(mapToScene(event->position().toPoint()), event->mimeData()->text());
}

}  // namespace Qd::Print::Internal
