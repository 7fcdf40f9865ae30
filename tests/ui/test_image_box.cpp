// The image box: pictures decoded at the size shown, turned by their EXIF orientation, centred
// and never enlarged; the placeholder for anything that is no picture; hint and double click.
#include <gtest/gtest.h>

#include <QBuffer>
#include <QFile>
#include <QImageWriter>
#include <QPainter>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include "support/Render.h"
#include "ui/ImageBox.h"

using Qd::Core::Ui::ImageBox;

namespace {

// A picture whose left half is red and right half blue.
QImage halves(int w, int h) {
    QImage image(w, h, QImage::Format_RGB32);
    QPainter p(&image);
    p.fillRect(0, 0, w / 2, h, Qt::red);
    p.fillRect(w / 2, 0, w - w / 2, h, Qt::blue);
    return image;
}

QByteArray jpeg(const QImage& image) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpeg");
    writer.setQuality(90);
    EXPECT_TRUE(writer.write(image));
    return bytes;
}

// The JPEG with an EXIF segment right after its start marker saying how the camera was held
// (orientation 6: to be shown turned a quarter clockwise).
QByteArray withOrientation(QByteArray jpegBytes, quint8 orientation) {
    const QByteArray tiff = QByteArray("MM\x00\x2A\x00\x00\x00\x08", 8)  // big-endian, IFD at 8
                            + QByteArray("\x00\x01", 2)                  // one entry
                            + QByteArray("\x01\x12\x00\x03\x00\x00\x00\x01", 8)  // Orientation
                            + QByteArray(1, '\0') + QByteArray(1, char(orientation)) +
                            QByteArray(2, '\0') + QByteArray(4, '\0');  // no next IFD
    const QByteArray payload = QByteArray("Exif\0\0", 6) + tiff;
    const int length = int(payload.size()) + 2;
    QByteArray segment("\xFF\xE1", 2);
    segment += char(length >> 8);
    segment += char(length & 0xFF);
    segment += payload;
    return jpegBytes.insert(2, segment);
}

bool isReddish(QRgb c) {
    return qRed(c) > 180 && qBlue(c) < 90;
}
bool isBluish(QRgb c) {
    return qBlue(c) > 180 && qRed(c) < 90;
}

class ImageBoxTest : public ::testing::Test {
protected:
    void SetUp() override { box.show(); }  // a hidden box hears of its new size only when shown
    QString write(const QString& name, const QByteArray& bytes) {
        const QString path = dir.filePath(name);
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        return path;
    }
    QString writeImage(const QString& name, const QImage& image, const char* format) {
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        EXPECT_TRUE(image.save(&buffer, format));
        return write(name, bytes);
    }
    // Sizes the box so that its contents (inside the frame) are w x h.
    void setContents(int w, int h) {
        box.resize(w + 2 * box.frameWidth(), h + 2 * box.frameWidth());
        ASSERT_EQ(box.contentsRect().size(), QSize(w, h));
    }

    QTemporaryDir dir;
    ImageBox box;
};

}  // namespace

// A large photo comes decoded at the box's size; a small picture at its own; both centred.
TEST_F(ImageBoxTest, PicturesAreDecodedAtTheSizeShownAndCentred) {
    setContents(400, 300);
    const QString photo = write("photo.jpg", jpeg(halves(1600, 1000)));
    ASSERT_TRUE(box.loadFile(photo));
    EXPECT_EQ(box.image().size(), QSize(400, 250));
    EXPECT_EQ(box.pictureRect(),
              QRect(box.contentsRect().topLeft() + QPoint(0, 25), QSize(400, 250)));

    const QString icon = writeImage("icon.png", halves(40, 30), "PNG");
    ASSERT_TRUE(box.loadFile(icon));
    EXPECT_EQ(box.image().size(), QSize(40, 30));  // not enlarged
    EXPECT_EQ(box.pictureRect(),
              QRect(box.contentsRect().topLeft() + QPoint(180, 135), QSize(40, 30)));

    const QImage shot = box.grab().toImage();
    const QPoint centre = box.pictureRect().center();
    EXPECT_TRUE(isReddish(shot.pixel(centre - QPoint(10, 0))));
    EXPECT_TRUE(isBluish(shot.pixel(centre + QPoint(10, 0))));
    EXPECT_EQ(shot.pixel(box.contentsRect().topLeft() + QPoint(5, 5)),
              box.palette().color(QPalette::Base).rgb());

    ASSERT_TRUE(box.loadFile(photo));
    Qd::Test::keepRender(box, "image_box_photo.png");
}

// A photo taken upright is stored on its side with an EXIF orientation: it is shown turned, and
// the size it fits at is found on the turned picture (in a wide box a tall picture is limited by
// the box's height, not by its width).
TEST_F(ImageBoxTest, ExifOrientationTurnsThePictureBeforeItIsFitted) {
    setContents(200, 100);
    const QString photo = write("upright.jpg", withOrientation(jpeg(halves(400, 200)), 6));
    ASSERT_TRUE(box.loadFile(photo));
    ASSERT_EQ(box.image().size(), QSize(50, 100));
    // The stored left half (red) is now on top.
    EXPECT_TRUE(isReddish(box.image().pixel(25, 20)));
    EXPECT_TRUE(isBluish(box.image().pixel(25, 80)));
}

// A box that grows well beyond the decoded picture decodes it again; a few pixels more do not.
TEST_F(ImageBoxTest, AGrownBoxDecodesAgainOnlyWhenMuchLarger) {
    setContents(200, 150);
    ASSERT_TRUE(box.loadFile(write("photo.jpg", jpeg(halves(1600, 1200)))));
    EXPECT_EQ(box.image().size(), QSize(200, 150));
    setContents(204, 153);
    EXPECT_EQ(box.image().size(), QSize(200, 150));
    setContents(800, 600);
    EXPECT_EQ(box.image().size(), QSize(800, 600));

    // A picture set directly is never replaced.
    box.setImage(halves(10, 10));
    setContents(900, 700);
    EXPECT_EQ(box.image().size(), QSize(10, 10));
}

// What is no picture (text named like one, a PDF, a missing file) is refused with the
// placeholder shown; the format comes from the content, so a PNG under another name loads.
TEST_F(ImageBoxTest, AnythingButAPictureShowsThePlaceholder) {
    setContents(300, 200);
    const QImage placeholder = box.placeholder();
    ASSERT_FALSE(placeholder.isNull());
    const QString png = writeImage("picture.dat", halves(60, 40), "PNG");
    const struct {
        QString path;
        bool picture;
    } cases[] = {
        {png, true},
        {write("not-a-picture.png", "just some text\n"), false},
        {write("报价 单.pdf", "%PDF-1.4\n%\xE2\xE3\xCF\xD3\n1 0 obj\n<<>>\nendobj\n"), false},
        {write("empty.jpg", QByteArray()), false},
        {dir.filePath("missing.png"), false},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(box.loadFile(png));
        EXPECT_EQ(box.loadFile(c.path), c.picture) << c.path.toStdString();
        EXPECT_EQ(box.hasImage(), c.picture) << c.path.toStdString();
        if (!c.picture) {
            EXPECT_EQ(box.pictureRect().size(), placeholder.size());
        }
    }
    Qd::Test::keepRender(box, "image_box_placeholder.png");

    // A placeholder of the caller's own.
    box.setPlaceholder(halves(30, 20));
    EXPECT_TRUE(isBluish(box.grab().toImage().pixel(box.pictureRect().center() + QPoint(5, 0))));
}

// A left double click is told (the caller opens the file its hint names); another is not.
TEST_F(ImageBoxTest, ALeftDoubleClickIsTold) {
    QSignalSpy doubleClicks(&box, &ImageBox::doubleClicked);
    QTest::mouseDClick(&box, Qt::LeftButton, {}, QPoint(20, 20));
    QTest::mouseDClick(&box, Qt::RightButton, {}, QPoint(20, 20));
    EXPECT_EQ(doubleClicks.count(), 1);
}
