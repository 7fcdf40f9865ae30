#include "ui/ActionIcons.h"

#include <QPainter>
#include <QPixmap>

namespace Qd::Core::Ui {

QIcon printIcon() {
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor outline(0x4a, 0x58, 0x6a);
    p.setPen(QPen(outline, 1.2));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(9.5, 3.5, 13, 9));  // the sheet going in
    p.setBrush(QColor(0x8c, 0x9b, 0xae));
    p.drawRoundedRect(QRectF(3.5, 11.5, 25, 11), 2, 2);  // the body
    p.setBrush(QColor(0x2e, 0x9d, 0x5b));
    p.setPen(Qt::NoPen);
    p.drawEllipse(QPointF(24.5, 15.5), 1.4, 1.4);  // the power light
    p.setPen(QPen(outline, 1.2));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(8.5, 19.5, 15, 10));  // the sheet coming out
    p.setPen(QPen(QColor(0xa9, 0xb8, 0xca), 1.2));
    for (double y = 22.5; y < 28; y += 2.5)
        p.drawLine(QPointF(11, y), QPointF(21, y));
    p.end();
    return QIcon(pixmap);
}

}  // namespace Qd::Core::Ui
