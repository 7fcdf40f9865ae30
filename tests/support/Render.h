#pragma once
// Pictures of windows, to look at: with QD_RENDER_DIR naming a folder, each is saved there as a
// PNG under the name given; without it nothing is drawn or written.
#include <QString>

class QImage;
class QWidget;

namespace Qd::Test {

// The folder QD_RENDER_DIR names; empty when pictures are not kept.
QString renderDir();
// Saves `image` as `fileName` in the render folder, when there is one.
void keepRender(const QImage& image, const QString& fileName);
// The text of a PDF file as pdftotext reads it; empty when the tool is not installed.
QString pdfText(const QString& pdf);
// Saves what `widget` shows, as the user would see it: a widget not yet on screen is shown first.
void keepRender(QWidget& widget, const QString& fileName);

}  // namespace Qd::Test
