#pragma once

// The report template: a page setup and a list of bands, each holding the objects it prints.
// Plain values, compared with ==, so that a template read back from its file can be checked
// against the one that was written. Lengths are millimetres (font sizes are points); an
// object's position is relative to the top-left corner of its band, and a band is as wide as
// the printable width of the page.

#include <QByteArray>
#include <QColor>
#include <QRectF>
#include <QSizeF>
#include <QString>
#include <QStringList>
#include <variant>
#include <vector>

namespace Qd::Print {

enum class PaperSize { A3, A4, A5, B5, Letter, Legal, Custom };
enum class Orientation { Portrait, Landscape };

struct Margins {
    double left = 10;
    double top = 10;
    double right = 10;
    double bottom = 10;
    bool operator==(const Margins&) const = default;
};

struct PageSetup {
    PaperSize paper = PaperSize::A4;
    // The sheet as it comes out of the printer, upright; for a named paper, its standard size.
    double widthMm = 210;
    double heightMm = 297;
    Orientation orientation = Orientation::Portrait;
    Margins margins{};

    // A named paper with its standard size; Custom keeps the current width and height.
    void setPaper(PaperSize size);
    void setCustomSize(double widthMm, double heightMm);
    // The sheet as laid out, turned when landscape.
    QSizeF pageSizeMm() const;
    // The width of every band: the laid-out sheet less the left and right margins.
    double printableWidthMm() const;
    bool operator==(const PageSetup&) const = default;
};

// Standard size of a named paper, upright; an empty size for Custom.
QSizeF paperSizeMm(PaperSize size);

// Which sides of a box have a line; combine with |.
enum BorderSide : int {
    NoSides = 0,
    LeftSide = 1,
    TopSide = 2,
    RightSide = 4,
    BottomSide = 8,
    AllSides = LeftSide | TopSide | RightSide | BottomSide,
};

enum class LineStyle { Solid, Dash, Dot, DashDot, Double };
enum class HAlign { Left, Center, Right, Justify };
enum class VAlign { Top, Center, Bottom };

struct Border {
    int sides = NoSides;  // BorderSide flags
    double widthMm = 0.2;
    QColor color = Qt::black;
    LineStyle style = LineStyle::Solid;
    bool operator==(const Border&) const = default;
};

struct Font {
    QString family = QStringLiteral("宋体");
    double pointSize = 9;
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool operator==(const Font&) const = default;
};

// A text with embedded [expressions] (see TextTemplate in Expression.h).
struct TextObject {
    QString text{};
    Font font{};
    QColor color = Qt::black;
    HAlign hAlign = HAlign::Left;
    VAlign vAlign = VAlign::Top;
    bool wordWrap = true;
    bool canGrow = false;
    Border border{};
    QColor fill{};  // invalid: no fill
    // How numbers and dates in the text are shown ("#,##0.00", "yyyy-mm-dd"); see formatValue.
    QString displayFormat{};
    bool operator==(const TextObject&) const = default;
};

// A line from the top-left to the bottom-right corner of its object's rectangle, which may have
// a negative width or height: the rectangle's top-left is where the line starts.
struct LineObject {
    double widthMm = 0.2;
    QColor color = Qt::black;
    LineStyle style = LineStyle::Solid;
    bool operator==(const LineObject&) const = default;
};

struct RectangleObject {
    Border border{AllSides};
    QColor fill{};  // invalid: no fill
    bool operator==(const RectangleObject&) const = default;
};

struct PictureObject {
    QByteArray png{};  // the image file's bytes, as embedded
    bool stretch = true;
    bool keepAspect = true;
    bool operator==(const PictureObject&) const = default;
};

// A Code 128 barcode of a text with embedded [expressions].
struct BarcodeObject {
    QString text{};
    bool showText = true;
    bool operator==(const BarcodeObject&) const = default;
};

// In the order of ReportObject::Content's alternatives.
enum class ObjectKind { Text, Line, Rectangle, Picture, Barcode };

struct ReportObject {
    using Content =
        std::variant<TextObject, LineObject, RectangleObject, PictureObject, BarcodeObject>;

    QString name{};
    QRectF rectMm{};  // relative to the band
    Content content{};

    ObjectKind kind() const { return static_cast<ObjectKind>(content.index()); }
    // The area the object covers: its rectangle, normalised (a line's may run backwards).
    QRectF boundsMm() const { return rectMm.normalized(); }
    bool operator==(const ReportObject&) const = default;
};

enum class BandKind {
    ReportTitle,
    PageHeader,
    MasterData,
    DetailData,
    GroupHeader,
    GroupFooter,
    ColumnFooter,
    ReportSummary,
    PageFooter,
};

struct Band {
    BandKind kind = BandKind::MasterData;
    QString name{};
    double heightMm = 10;
    QString dataset{};    // data bands: the dataset whose rows it prints
    QString condition{};  // group headers: the expression whose change starts a new group
    // Detail bands: the fields, separated by ';', that tie a detail row to its master row.
    // Under each master row print only the detail rows whose detailKey fields equal the
    // master's masterKey fields, pair by pair, as `=` compares them. Both empty: every row.
    QString masterKey{};
    QString detailKey{};
    bool canGrow = false;
    bool canShrink = false;
    bool keepTogether = false;
    bool startNewPage = false;
    std::vector<ReportObject> objects{};

    bool isDataBand() const { return kind == BandKind::MasterData || kind == BandKind::DetailData; }
    // What keeps masterKey and detailKey from pairing up (one set without the other, or
    // different numbers of fields); empty when they pair or are both empty.
    QString keyProblem() const;
    bool operator==(const Band&) const = default;
};

// A variable's value is an expression; a text value is a quoted literal: 'Shanghai'.
struct Variable {
    QString name{};
    QString expression{};
    bool operator==(const Variable&) const = default;
};

struct VariableCategory {
    QString name{};
    std::vector<Variable> variables{};
    bool operator==(const VariableCategory&) const = default;
};

// A user function as the designer listed it when the template was saved; the function itself
// is answered by the expression context at run time.
struct FunctionDeclaration {
    QString declaration{};  // "function MoneyCn(x: Double): String"
    QString category{};
    QString description{};
    bool operator==(const FunctionDeclaration&) const = default;
};

// Something wrong with a template, found by validate(): `where` names the band, object or
// variable at fault.
struct TemplateProblem {
    QString where{};
    QString message{};
    bool operator==(const TemplateProblem&) const = default;
};

struct ReportTemplate {
    static constexpr int kFormatVersion = 1;

    int formatVersion = kFormatVersion;  // of the file it was read from
    QString name{};
    PageSetup page;
    // Stamped on the pages of a reprint (a caller tells the print window which jobs are);
    // empty: none.
    QString reprintStamp{};
    std::vector<Band> bands{};  // in the order the designer shows them
    QStringList datasets{};
    std::vector<VariableCategory> variables{};
    std::vector<FunctionDeclaration> functions{};

    // Lookups by name ignore case, as expressions do. Null when absent.
    Band* findBand(const QString& name);
    const Band* findBand(const QString& name) const;
    ReportObject* findObject(const QString& name);
    const ReportObject* findObject(const QString& name) const;
    const Variable* findVariable(const QString& name) const;

    // `base` followed by the smallest number from 1 that no band or object has yet:
    // "Memo1", "Memo2", ...
    QString uniqueName(const QString& base) const;

    // Everything that would make the template print wrongly or not at all; empty when sound.
    std::vector<TemplateProblem> validate() const;

    bool operator==(const ReportTemplate&) const = default;
};

// The fields of a masterKey or detailKey: "orgid; billno" gives orgid and billno.
QStringList keyFields(const QString& key);

// The base of the names the designer gives new objects and bands: "Memo", "MasterData".
QString nameBase(ObjectKind kind);
QString nameBase(BandKind kind);

}  // namespace Qd::Print
