#include "DemoAttachments.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QImage>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>

#include "db/DataServices.h"
#include "db/FileStore.h"
#include "db/SqliteDataServices.h"

namespace Qd::App {

namespace {

QString F(const char* text) {
    return QString::fromUtf8(text);
}

}  // namespace

QByteArray demoProofPng() {
    QImage image(800, 500, QImage::Format_RGB32);
    image.fill(QColor(0x1f, 0x4e, 0x8c));
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.fillRect(QRect(40, 40, 720, 420), QColor(0xf4, 0xf1, 0xe8));
    p.setPen(QColor(0xc0, 0x2b, 0x2b));
    QFont title = p.font();
    title.setPixelSize(56);
    title.setBold(true);
    p.setFont(title);
    p.drawText(QRect(40, 90, 720, 90), Qt::AlignCenter, F("2026 年会"));
    QFont body = p.font();
    body.setPixelSize(28);
    body.setBold(false);
    p.setFont(body);
    p.setPen(QColor(0x33, 0x33, 0x33));
    p.drawText(QRect(40, 200, 720, 60), Qt::AlignCenter, F("户外喷绘布 设计稿（哑光）"));
    p.drawText(QRect(40, 260, 720, 60), Qt::AlignCenter, F("尺寸 9m × 10m"));
    p.setPen(QPen(QColor(0xc0, 0x2b, 0x2b), 6));
    p.drawLine(160, 360, 640, 360);
    p.end();
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

QByteArray demoQuotationPdf() {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QPdfWriter pdf(&buffer);
    pdf.setPageSize(QPageSize(QPageSize::A5));
    pdf.setResolution(150);
    pdf.setTitle(F("报价单 D202611001"));
    QPainter p(&pdf);
    QFont font = p.font();
    font.setPixelSize(40);
    p.setFont(font);
    p.drawText(QRect(0, 40, pdf.width(), 80), Qt::AlignCenter, F("报价单"));
    font.setPixelSize(22);
    p.setFont(font);
    const char* const lines[] = {"订单：D202611001  年会物料",
                                 "户外喷绘布（哑光） 90 平方米 × 20.00", "条幅 140 米 × 8.00",
                                 "合计：2,920.00 元"};
    int y = 180;
    for (const char* line : lines) {
        p.drawText(80, y, F(line));
        y += 50;
    }
    p.end();
    return bytes;
}

void addDemoAttachments(Core::Db::SqliteDataServices& db) {
    struct File {
        const char* name;
        const char* suffix;
        QByteArray content;
    };
    const File files[] = {{"年会物料设计稿.png", ".png", demoProofPng()},
                          {"报价单 D202611001.pdf", ".pdf", demoQuotationPdf()}};
    for (const File& f : files) {
        const QString realName =
            Core::Db::MD5Print(QCryptographicHash::hash(f.content, QCryptographicHash::Md5)) +
            F(f.suffix);
        QBuffer content;
        content.setData(f.content);
        // The throwing store: the demo's making reports its one failure itself.
        Core::Db::FileStore(db.handle()).put(realName, content, F(f.name));
        db.exec(F("insert into qd_sys_attachList(orgid, billcode, billno, fileName, realName, "
                  "filesize, suffix, suffixInfo, remark) values(1, 'XMZZK', 'D202611001', :name, "
                  ":real, :size, :suffix, :suffix, :name)"),
                {{F("name"), F(f.name)},
                 {F("real"), realName},
                 {F("size"), qlonglong(f.content.size())},
                 {F("suffix"), F(f.suffix)}});
    }
}

}  // namespace Qd::App
