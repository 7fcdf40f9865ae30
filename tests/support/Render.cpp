#include "support/Render.h"

#include <QDir>
#include <QImage>
#include <QProcess>
#include <QStandardPaths>
#include <QWidget>

namespace Qd::Test {

QString renderDir() {
    return qEnvironmentVariable("QD_RENDER_DIR");
}

void keepRender(const QImage& image, const QString& fileName) {
    if (const QString dir = renderDir(); !dir.isEmpty())
        image.save(QDir(dir).filePath(fileName));
}

void keepRender(QWidget& widget, const QString& fileName) {
    if (renderDir().isEmpty())
        return;
    if (!widget.isVisible())
        widget.show();
    keepRender(widget.grab().toImage(), fileName);
}

QString pdfText(const QString& pdf) {
    const QString tool = QStandardPaths::findExecutable(QStringLiteral("pdftotext"));
    if (tool.isEmpty())
        return QString();
    QProcess p;
    p.start(tool, {pdf, QStringLiteral("-")});
    p.waitForFinished(30000);
    return QString::fromUtf8(p.readAllStandardOutput());
}

}  // namespace Qd::Test
