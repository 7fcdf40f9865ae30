#include "ui/ImageBox.h"

#include <QImageReader>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

namespace Qd::Core::Ui {

namespace {

// `picture` scaled down to fit into `room`, aspect kept; as it is when it fits.
QSize fitted(const QSize& picture, const QSize& room) {
    if (picture.isEmpty() || room.isEmpty())
        return picture;
    if (picture.width() <= room.width() && picture.height() <= room.height())
        return picture;
    return picture.scaled(room, Qt::KeepAspectRatio).expandedTo(QSize(1, 1));
}

// A picture frame with hills and a sun, in greys: what a box shows while it holds no picture.
QImage drawnPlaceholder() {
    QImage image(96, 72, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(0xA0, 0xA0, 0xA0), 2));
    p.setBrush(QColor(0xF2, 0xF2, 0xF2));
    p.drawRoundedRect(QRectF(2, 2, 92, 68), 6, 6);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xC8, 0xC8, 0xC8));
    p.drawEllipse(QPointF(68, 22), 8, 8);
    QPainterPath hills;
    hills.moveTo(6, 64);
    hills.lineTo(34, 30);
    hills.lineTo(52, 50);
    hills.lineTo(62, 40);
    hills.lineTo(90, 64);
    hills.closeSubpath();
    p.setBrush(QColor(0xB4, 0xB4, 0xB4));
    p.drawPath(hills);
    return image;
}

}  // namespace

ImageBox::ImageBox(QWidget* parent) : QFrame(parent), m_placeholder(drawnPlaceholder()) {
    setObjectName(QStringLiteral("imageBox"));
    setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    setBackgroundRole(QPalette::Base);
    setAutoFillBackground(true);
}

bool ImageBox::loadFile(const QString& path) {
    m_path = path;
    if (decode())
        return true;
    clear();
    return false;
}

// Reads m_path at the box's size. The reader scales before it turns the picture, so the size
// that fits is found on the turned picture and handed to the reader turned back.
bool ImageBox::decode() {
    QImageReader reader(m_path);
    reader.setDecideFormatFromContent(true);
    reader.setAutoTransform(true);
    const QSize stored = reader.size();
    const bool quarterTurn =
        reader.transformation().testFlag(QImageIOHandler::TransformationRotate90);
    m_pictureSize = quarterTurn ? stored.transposed() : stored;
    const QSize target = fitted(m_pictureSize, decodeSize());
    if (stored.isValid() && target != m_pictureSize)
        reader.setScaledSize(quarterTurn ? target.transposed() : target);
    QImage image = reader.read();
    if (image.isNull())
        return false;
    if (!stored.isValid())
        m_pictureSize = image.size();
    image.setDevicePixelRatio(devicePixelRatioF());
    m_image = std::move(image);
    update();
    return true;
}

void ImageBox::setImage(const QImage& image) {
    m_path.clear();
    m_image = image;
    update();
}

void ImageBox::clear() {
    setImage(QImage());
}

void ImageBox::setPlaceholder(const QImage& picture) {
    m_placeholder = picture;
    update();
}

void ImageBox::setHint(const QString& hint) {
    m_hint = hint;
    setToolTip(hint);
}

QSize ImageBox::decodeSize() const {
    return contentsRect().size() * devicePixelRatioF();
}

QRect ImageBox::pictureRect() const {
    const QImage& shown = m_image.isNull() ? m_placeholder : m_image;
    if (shown.isNull())
        return QRect();
    const QRect room = contentsRect();
    const QSize size = fitted(shown.deviceIndependentSize().toSize(), room.size());
    return QRect(room.topLeft() +
                     QPoint((room.width() - size.width()) / 2, (room.height() - size.height()) / 2),
                 size);
}

QSize ImageBox::sizeHint() const {
    return QSize(400, 300);
}

void ImageBox::paintEvent(QPaintEvent* e) {
    QFrame::paintEvent(e);
    const QImage& shown = m_image.isNull() ? m_placeholder : m_image;
    if (shown.isNull())
        return;
    QPainter p(this);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    p.drawImage(pictureRect(), shown);
}

void ImageBox::mouseDoubleClickEvent(QMouseEvent* e) {
    if (e->button() == Qt::LeftButton)
        Q_EMIT doubleClicked();
    QFrame::mouseDoubleClickEvent(e);
}

// A picture decoded small, shown in a box grown well beyond it, is decoded again at the new
// size; growing by a few pixels at a time (a dragged window edge) does not decode each time.
void ImageBox::resizeEvent(QResizeEvent* e) {
    QFrame::resizeEvent(e);
    if (m_path.isEmpty() || m_image.isNull())
        return;
    const QSize now = m_image.size();
    const QSize wanted = fitted(m_pictureSize, decodeSize());
    if (wanted.width() > now.width() + now.width() / 8 ||
        wanted.height() > now.height() + now.height() / 8)
        decode();
}

}  // namespace Qd::Core::Ui
