#include "ClientIcons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <cmath>

namespace Qd::App {

namespace {

const QColor kBlue(0x2f, 0x7b, 0xd0);
const QColor kRed(0xd9, 0x3b, 0x3b);
const QColor kGreen(0x2e, 0x9d, 0x5b);
const QColor kOutline(0x6b, 0x7a, 0x8c);

// A sheet of paper with a folded corner in the box.
void drawSheet(QPainter& p, const QRectF& box) {
    const qreal fold = box.width() * 0.3;
    QPainterPath sheet;
    sheet.moveTo(box.topLeft());
    sheet.lineTo(box.right() - fold, box.top());
    sheet.lineTo(box.right(), box.top() + fold);
    sheet.lineTo(box.bottomRight());
    sheet.lineTo(box.bottomLeft());
    sheet.closeSubpath();
    p.setPen(QPen(kOutline, 1.2));
    p.setBrush(Qt::white);
    p.drawPath(sheet);
    QPainterPath corner;
    corner.moveTo(box.right() - fold, box.top());
    corner.lineTo(box.right() - fold, box.top() + fold);
    corner.lineTo(box.right(), box.top() + fold);
    p.setBrush(QColor(0xe4, 0xe9, 0xf0));
    p.drawPath(corner);
    p.setPen(QPen(QColor(0xa9, 0xb8, 0xca), 1.2));
    for (qreal y = box.top() + fold + 3; y < box.bottom() - 2; y += 3.5)
        p.drawLine(QPointF(box.left() + 3, y), QPointF(box.right() - 3, y));
}

// A round red badge with a white cross, centred on `c`.
void drawCrossBadge(QPainter& p, QPointF c, qreal r) {
    p.setPen(Qt::NoPen);
    p.setBrush(kRed);
    p.drawEllipse(c, r, r);
    p.setPen(QPen(Qt::white, 2.0, Qt::SolidLine, Qt::RoundCap));
    const qreal d = r * 0.45;
    p.drawLine(c + QPointF(-d, -d), c + QPointF(d, d));
    p.drawLine(c + QPointF(-d, d), c + QPointF(d, -d));
}

void drawRefresh(QPainter& p) {
    const QPointF c(16, 16);
    const qreal r = 10;
    p.setPen(QPen(kBlue, 3.2, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    // Two arcs with a gap each, every arc ending in an arrow head.
    for (int half = 0; half < 2; ++half) {
        const qreal start = 20 + half * 180;
        const qreal span = 130;
        p.drawArc(QRectF(c.x() - r, c.y() - r, 2 * r, 2 * r), int(start * 16), int(span * 16));
        const qreal end = (start + span) * M_PI / 180;
        const QPointF tip(c.x() + r * std::cos(end), c.y() - r * std::sin(end));
        const QPointF along(-std::sin(end), -std::cos(end));  // direction of travel
        const QPointF out(std::cos(end), -std::sin(end));     // away from the centre
        QPolygonF head;
        head << tip + along * 5.0 << tip + out * 4.5 << tip - out * 4.5;
        p.setPen(Qt::NoPen);
        p.setBrush(kBlue);
        p.drawPolygon(head);
        p.setPen(QPen(kBlue, 3.2, Qt::SolidLine, Qt::RoundCap));
        p.setBrush(Qt::NoBrush);
    }
}

void drawExit(QPainter& p) {
    // A door frame and an arrow leaving it.
    p.setPen(QPen(kOutline, 1.6));
    p.setBrush(QColor(0xf3, 0xf5, 0xf8));
    p.drawRect(QRectF(5, 4, 14, 24));
    QPolygonF door;
    door << QPointF(5, 4) << QPointF(14, 7) << QPointF(14, 31) << QPointF(5, 28);
    p.setBrush(QColor(0xb9, 0x8a, 0x5a));
    p.drawPolygon(door);
    p.setPen(Qt::NoPen);
    p.setBrush(kGreen);
    QPolygonF arrow;
    arrow << QPointF(17, 13.5) << QPointF(23, 13.5) << QPointF(23, 9) << QPointF(30, 16)
          << QPointF(23, 23) << QPointF(23, 18.5) << QPointF(17, 18.5);
    p.drawPolygon(arrow);
}

void drawGroup(QPainter& p) {
    p.setPen(QPen(QColor(0xc0, 0x8a, 0x1e), 1.2));
    p.setBrush(QColor(0xf6, 0xc3, 0x4f));
    QPainterPath folder;
    folder.moveTo(3, 8);
    folder.lineTo(12, 8);
    folder.lineTo(15, 11);
    folder.lineTo(29, 11);
    folder.lineTo(29, 27);
    folder.lineTo(3, 27);
    folder.closeSubpath();
    p.drawPath(folder);
    p.setBrush(QColor(0xfb, 0xd7, 0x7a));
    p.drawRect(QRectF(3, 14, 26, 13));
}

QPixmap render(ClientIcon which, int size) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 32.0, size / 32.0);
    switch (which) {
        case ClientIcon::Refresh:
            drawRefresh(p);
            break;
        case ClientIcon::ClosePage:
            drawSheet(p, QRectF(5, 3, 18, 24));
            drawCrossBadge(p, QPointF(23, 23), 7);
            break;
        case ClientIcon::CloseAll:
            drawSheet(p, QRectF(9, 2, 17, 22));
            drawSheet(p, QRectF(4, 6, 17, 22));
            drawCrossBadge(p, QPointF(23, 24), 7);
            break;
        case ClientIcon::Exit:
            drawExit(p);
            break;
        case ClientIcon::Module:
            drawSheet(p, QRectF(7, 3, 18, 26));
            break;
        case ClientIcon::Group:
            drawGroup(p);
            break;
    }
    return pixmap;
}

}  // namespace

QIcon clientIcon(ClientIcon which) {
    QIcon icon;
    for (int size : {16, 32, 64})
        icon.addPixmap(render(which, size));
    return icon;
}

}  // namespace Qd::App
