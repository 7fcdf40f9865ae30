#pragma once

// Internal to the designer: the page as a scene of bands and objects. Objects are drawn by the
// engine itself (their texts as written, not computed), so what the designer shows is what
// prints; the items only report what the mouse did, and the dialog turns that into changes of
// the document.

#include <QGraphicsItem>
#include <QGraphicsView>
#include <functional>

#include "print/engine/Engine.h"

namespace Qd::Print::Internal {

// Scene units per millimetre: a pixel at 96 dpi, so that fonts in points show at their size.
inline constexpr double kScenePerMm = 96 / 25.4;
// Moves and sizes made with the mouse land on this grid (millimetres, in band coordinates).
inline constexpr double kSnapMm = 0.5;

double snapped(double mm);

// The items the engine prints for `object` alone, in band coordinates, its text as written.
PreparedReport designImage(const ReportObject& object);

// A band: its caption strip above, its printing area below; the area's bottom edge drags the
// band's height.
class BandItem : public QGraphicsRectItem {
public:
    static constexpr double kCaptionMm = 5;

    BandItem(const Band& band, double widthMm, std::function<void(double)> heightDragged);
    const QString& name() const { return m_name; }
    // The top-left corner of the printing area, in scene units.
    QPointF areaOrigin() const { return pos() + QPointF(0, kCaptionMm * kScenePerMm); }
    double areaHeightMm() const { return m_heightMm; }

    void paint(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget* widget) override;

protected:
    void hoverMoveEvent(QGraphicsSceneHoverEvent* event) override;
    void mousePressEvent(QGraphicsSceneMouseEvent* event) override;
    void mouseMoveEvent(QGraphicsSceneMouseEvent* event) override;
    void mouseReleaseEvent(QGraphicsSceneMouseEvent* event) override;

private:
    bool onBottomEdge(const QPointF& local) const;
    void setAreaHeight(double mm);

    QString m_name;
    QString m_caption;
    double m_heightMm;
    bool m_resizing = false;
    std::function<void(double)> m_heightDragged;
};

// An object: moved by dragging it, sized by the handle at its bottom-right corner (a line's end).
class ObjectItem : public QGraphicsItem {
public:
    // `changed` receives the object's new rectangle in scene millimetres (unnormalised for a
    // line) after a move or a resize with the mouse.
    ObjectItem(const ReportObject& object, std::function<void(const QRectF&)> changed);
    const QString& name() const { return m_name; }
    // The object's rectangle in scene millimetres, as the mouse has left it.
    QRectF rectMm() const;

    QRectF boundingRect() const override;
    void paint(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget* widget) override;

protected:
    void mousePressEvent(QGraphicsSceneMouseEvent* event) override;
    void mouseMoveEvent(QGraphicsSceneMouseEvent* event) override;
    void mouseReleaseEvent(QGraphicsSceneMouseEvent* event) override;
    void hoverMoveEvent(QGraphicsSceneHoverEvent* event) override;

private:
    QPointF handle() const;  // local scene units
    bool onHandle(const QPointF& local) const;

    QString m_name;
    bool m_framed;  // texts show their box even when empty and borderless
    bool m_line;
    QPointF m_startMm;          // rect's top-left less the bounds' top-left
    QSizeF m_sizeMm;            // may be negative for a line
    QPointF m_boundsTopLeftMm;  // in band coordinates
    PreparedReport m_image;     // band coordinates
    QPointF m_pressPos;         // item position when the mouse went down
    bool m_resizing = false;
    std::function<void(const QRectF&)> m_changed;
};

// The view of the page: zoom, and fields dropped on it from the data tree.
class DesignView : public QGraphicsView {
    Q_OBJECT
public:
    explicit DesignView(QGraphicsScene* scene, QWidget* parent = nullptr);
    double zoom() const { return m_zoom; }
    void setZoom(double zoom);

    // A text dropped at a scene point.
    std::function<void(const QPointF&, const QString&)> dropped;

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    double m_zoom = 1.0;
};

}  // namespace Qd::Print::Internal
