#pragma once

// Renderers of a prepared report. Each replays the lines and boxes the layout pass placed, so a
// page looks the same in the preview, in a PDF, on paper and in a PNG.

#include <QDateTime>
#include <QImage>
#include <QString>

#include "print/engine/Engine.h"

class QPainter;
class QPrinter;

namespace Qd::Print {

// Draws page `page` (0-based) with the sheet's top-left corner at the painter's origin, at
// `pixelsPerMm` device pixels per millimetre. Does nothing for a page that does not exist.
void renderPage(const PreparedReport& report, int page, QPainter& painter, double pixelsPerMm);

// The page on a white sheet at `dpi`; a null image for a page that does not exist.
QImage toImage(const PreparedReport& report, int page, double dpi = 150);

// Writes every page to a PDF at `path`, text as text. The document's dates are `creationDate`,
// so the same report and date give the same file. Returns false and sets `error` when the file
// cannot be written.
bool toPdf(const PreparedReport& report, const QString& path, const QDateTime& creationDate,
           QString* error = nullptr);

// Prints every page on `printer`, each on its own sheet. False when the printer cannot start.
bool print(const PreparedReport& report, QPrinter& printer);

}  // namespace Qd::Print
