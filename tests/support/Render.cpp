#include "support/Render.h"

#include <QDir>
#include <QImage>
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

}  // namespace Qd::Test
