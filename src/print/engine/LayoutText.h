#pragma once

// Internal to the engine: text measured and broken into lines at the layout resolution, and
// the font that both the layout pass and the renderers build from a template's Font.

#include <QFont>
#include <QString>
#include <vector>

#include "print/engine/Template.h"

class QPaintDevice;

namespace Qd::Print::Internal {

struct TextLine {
    QString text;
    double widthMm = 0;     // of the ink, trailing spaces left out
    double baselineMm = 0;  // from the top of the block
};

struct TextBlock {
    std::vector<TextLine> lines;
    double heightMm = 0;
};

// The font as measured: its point size at kLayoutDpi, hinting off so that advances scale with
// the size and do not depend on the device.
QFont layoutFont(const Font& font);

// A 1x1 device at kLayoutDpi that every measurement is made against.
const QPaintDevice* layoutDevice();

// `text` broken at its newlines and, when `wrap`, wherever a line would pass `widthMm`.
TextBlock breakText(const QString& text, const Font& font, double widthMm, bool wrap);

}  // namespace Qd::Print::Internal
