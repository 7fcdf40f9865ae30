#pragma once

#include <QFrame>
#include <QImage>

namespace Qd::Core::Ui {

// A picture box: shows its picture scaled down to fit (aspect kept, centred; a picture smaller
// than the box at its own size, never enlarged), or its placeholder picture while it holds none.
// Its hint is its tooltip. A picture loaded from a file is decoded at the size it is shown at, so
// a photo of many megapixels costs a fraction of a full decode; the box decodes it again when it
// grows well beyond that size.
class ImageBox : public QFrame {
    Q_OBJECT
public:
    explicit ImageBox(QWidget* parent = nullptr);

    // Loads the picture in `path` (its format read from the content, not the name), turned as
    // its EXIF orientation says and decoded at the box's size. False, and the placeholder shown,
    // when the file holds no picture that can be read (a document: the caller opens it instead).
    bool loadFile(const QString& path);
    // Shows `image` as it is; a null image shows the placeholder.
    void setImage(const QImage& image);
    void clear();                             // the placeholder
    QImage image() const { return m_image; }  // null while the placeholder shows
    bool hasImage() const { return !m_image.isNull(); }

    // The picture shown while the box holds none (a drawn picture frame unless set).
    void setPlaceholder(const QImage& picture);
    QImage placeholder() const { return m_placeholder; }

    void setHint(const QString& hint);
    QString hint() const { return m_hint; }

    // Where the picture, or the placeholder, is drawn (in the box's coordinates).
    QRect pictureRect() const;

    QSize sizeHint() const override;

Q_SIGNALS:
    void doubleClicked();

protected:
    void paintEvent(QPaintEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;

private:
    QSize decodeSize() const;  // the contents' size in device pixels
    bool decode();

    QImage m_image;
    QImage m_placeholder;
    QString m_hint;
    QString m_path;       // the file m_image came from; empty for a set image
    QSize m_pictureSize;  // that file's picture, turned, at full size
};

}  // namespace Qd::Core::Ui
