#pragma once

// Internal to the engine: text measured and broken into lines at the layout resolution, and
// the font that both the layout pass and the renderers build from a template's Font.

#include <QFont>
#include <QString>
#include <memory>
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

// Breaks texts into lines for one layout pass, building each font and its metrics once. Only
// a text that wraps or is placed by its width is shaped, and each such text once per font and
// box width: a report prints the same codes, names and amounts again and again.
class TextBreaker {
public:
    TextBreaker();
    ~TextBreaker();
    TextBreaker(const TextBreaker&) = delete;
    TextBreaker& operator=(const TextBreaker&) = delete;

    // `text` broken at its newlines and, when `wrap`, wherever a line would pass `widthMm`.
    // Without `needsWidth` (a left-aligned text) a single line that does not wrap is not
    // measured: its widthMm stays 0.
    TextBlock breakText(const QString& text, const Font& font, double widthMm, bool wrap,
                        bool needsWidth = true);

private:
    struct Measure;
    Measure& measureOf(const Font& font);
    std::vector<std::unique_ptr<Measure>> m_fonts;
};

// One text broken as TextBreaker does, widths measured.
TextBlock breakText(const QString& text, const Font& font, double widthMm, bool wrap);

}  // namespace Qd::Print::Internal
