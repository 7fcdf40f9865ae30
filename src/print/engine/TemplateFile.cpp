#include "print/engine/TemplateFile.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <algorithm>
#include <cmath>
#include <optional>
#include <span>
#include <utility>

#include "base/OwnerOnly.h"

namespace Qd::Print {

TemplateError::TemplateError(const QString& path, const QString& reason)
    : std::runtime_error(
          (path.isEmpty() ? reason : path + QStringLiteral(": ") + reason).toStdString()),
      m_path(path),
      m_reason(reason) {}

QString TemplateError::message() const {
    return m_path.isEmpty() ? m_reason : m_path + QStringLiteral(": ") + m_reason;
}

namespace {

// ---- names of enumerated values in the file

template <typename E>
struct Named {
    E value;
    const char* name;
};

constexpr Named<PaperSize> kPapers[] = {
    {PaperSize::A3, "A3"},         {PaperSize::A4, "A4"},         {PaperSize::A5, "A5"},
    {PaperSize::B5, "B5"},         {PaperSize::Letter, "Letter"}, {PaperSize::Legal, "Legal"},
    {PaperSize::Custom, "custom"},
};
constexpr Named<Orientation> kOrientations[] = {
    {Orientation::Portrait, "portrait"},
    {Orientation::Landscape, "landscape"},
};
constexpr Named<BandKind> kBandKinds[] = {
    {BandKind::ReportTitle, "reportTitle"},   {BandKind::PageHeader, "pageHeader"},
    {BandKind::MasterData, "masterData"},     {BandKind::DetailData, "detailData"},
    {BandKind::GroupHeader, "groupHeader"},   {BandKind::GroupFooter, "groupFooter"},
    {BandKind::ColumnFooter, "columnFooter"}, {BandKind::ReportSummary, "reportSummary"},
    {BandKind::PageFooter, "pageFooter"},
};
constexpr Named<ObjectKind> kObjectKinds[] = {
    {ObjectKind::Text, "text"},           {ObjectKind::Line, "line"},
    {ObjectKind::Rectangle, "rectangle"}, {ObjectKind::Picture, "picture"},
    {ObjectKind::Barcode, "barcode"},
};
constexpr Named<LineStyle> kLineStyles[] = {
    {LineStyle::Solid, "solid"},     {LineStyle::Dash, "dash"},     {LineStyle::Dot, "dot"},
    {LineStyle::DashDot, "dashDot"}, {LineStyle::Double, "double"},
};
constexpr Named<HAlign> kHAligns[] = {
    {HAlign::Left, "left"},
    {HAlign::Center, "center"},
    {HAlign::Right, "right"},
    {HAlign::Justify, "justify"},
};
constexpr Named<VAlign> kVAligns[] = {
    {VAlign::Top, "top"},
    {VAlign::Center, "center"},
    {VAlign::Bottom, "bottom"},
};
// In the order they are written.
constexpr Named<BorderSide> kSides[] = {
    {LeftSide, "left"},
    {TopSide, "top"},
    {RightSide, "right"},
    {BottomSide, "bottom"},
};

template <typename E>
QString nameOf(std::span<const Named<E>> table, E value) {
    for (const auto& entry : table) {
        if (entry.value == value)
            return QString::fromLatin1(entry.name);
    }
    return {};
}

// ---- writing

// A JSON value whose object keys keep the order they were added in; QJsonObject sorts them,
// which would put "format" and "version" somewhere in the middle of the file.
struct Node {
    enum class Type { Null, Bool, Number, String, Array, Object };
    Type type = Type::Null;
    bool flag = false;
    double number = 0;
    QString text;
    std::vector<Node> items;
    std::vector<std::pair<QString, Node>> members;

    explicit Node(Type t = Type::Null) : type(t) {}
    static Node object() { return Node(Type::Object); }
    static Node array() { return Node(Type::Array); }

    Node& add(const char* key, Node value) {
        members.emplace_back(QString::fromLatin1(key), std::move(value));
        return *this;
    }
    Node& add(const char* key, double value) {
        Node n(Type::Number);
        n.number = value;
        return add(key, std::move(n));
    }
    Node& add(const char* key, int value) { return add(key, double(value)); }
    Node& add(const char* key, bool value) {
        Node n(Type::Bool);
        n.flag = value;
        return add(key, std::move(n));
    }
    Node& add(const char* key, const QString& value) { return add(key, string(value)); }
    Node& add(const char* key, const char* value) = delete;  // would pick bool

    static Node string(const QString& value) {
        Node n(Type::String);
        n.text = value;
        return n;
    }
    static Node numbers(std::initializer_list<double> values) {
        Node n = array();
        for (double v : values) {
            Node item(Type::Number);
            item.number = v;
            n.items.push_back(std::move(item));
        }
        return n;
    }
    static Node strings(const QStringList& values) {
        Node n = array();
        for (const QString& v : values)
            n.items.push_back(string(v));
        return n;
    }
    bool isScalar() const { return type != Type::Array && type != Type::Object; }
};

void writeString(QByteArray& out, const QString& text) {
    // Escapes only what JSON requires; Chinese text stays readable as UTF-8.
    QString escaped;
    escaped.reserve(text.size() + 2);
    escaped += QLatin1Char('"');
    for (const QChar c : text) {
        switch (c.unicode()) {
            case '"':
                escaped += QLatin1String("\\\"");
                break;
            case '\\':
                escaped += QLatin1String("\\\\");
                break;
            case '\n':
                escaped += QLatin1String("\\n");
                break;
            case '\r':
                escaped += QLatin1String("\\r");
                break;
            case '\t':
                escaped += QLatin1String("\\t");
                break;
            default:
                if (c.unicode() < 0x20)
                    escaped +=
                        QStringLiteral("\\u%1").arg(int(c.unicode()), 4, 16, QLatin1Char('0'));
                else
                    escaped += c;
        }
    }
    escaped += QLatin1Char('"');
    out += escaped.toUtf8();
}

QByteArray numberText(double value) {
    if (!std::isfinite(value))
        return "0";
    // The shortest text that reads back as the same double: 210, 0.2, 12.7.
    return QByteArray::number(value, 'g', QLocale::FloatingPointShortest);
}

// Objects one member a line, indented by two spaces a level; arrays of plain values on one line.
void write(QByteArray& out, const Node& node, int depth) {
    const QByteArray indent(2 * (depth + 1), ' ');
    const QByteArray closing(2 * depth, ' ');
    switch (node.type) {
        case Node::Type::Null:
            out += "null";
            return;
        case Node::Type::Bool:
            out += node.flag ? "true" : "false";
            return;
        case Node::Type::Number:
            out += numberText(node.number);
            return;
        case Node::Type::String:
            writeString(out, node.text);
            return;
        case Node::Type::Array: {
            if (node.items.empty()) {
                out += "[]";
                return;
            }
            const bool inline_ = std::all_of(node.items.begin(), node.items.end(),
                                             [](const Node& item) { return item.isScalar(); });
            out += inline_ ? "[" : "[\n";
            for (size_t i = 0; i < node.items.size(); ++i) {
                if (!inline_)
                    out += indent;
                write(out, node.items[i], depth + 1);
                if (i + 1 < node.items.size())
                    out += inline_ ? ", " : ",\n";
            }
            out += inline_ ? "]" : "\n" + closing + "]";
            return;
        }
        case Node::Type::Object: {
            if (node.members.empty()) {
                out += "{}";
                return;
            }
            out += "{\n";
            for (size_t i = 0; i < node.members.size(); ++i) {
                out += indent;
                writeString(out, node.members[i].first);
                out += ": ";
                write(out, node.members[i].second, depth + 1);
                out += i + 1 < node.members.size() ? ",\n" : "\n";
            }
            out += closing + "}";
            return;
        }
    }
}

Node colorNode(const QColor& color) {
    if (!color.isValid())
        return Node();
    return Node::string(color.alpha() == 255 ? color.name(QColor::HexRgb)
                                             : color.name(QColor::HexArgb));
}

Node borderNode(const Border& border) {
    QStringList sides;
    for (const auto& side : kSides) {
        if (border.sides & side.value)
            sides << QString::fromLatin1(side.name);
    }
    Node n = Node::object();
    n.add("sides", Node::strings(sides));
    n.add("width", border.widthMm);
    n.add("color", colorNode(border.color));
    n.add("style", nameOf<LineStyle>(kLineStyles, border.style));
    return n;
}

Node fontNode(const Font& font) {
    Node n = Node::object();
    n.add("family", font.family);
    n.add("size", font.pointSize);
    n.add("bold", font.bold);
    n.add("italic", font.italic);
    n.add("underline", font.underline);
    return n;
}

void addContent(Node& n, const TextObject& text) {
    n.add("text", text.text);
    n.add("font", fontNode(text.font));
    n.add("color", colorNode(text.color));
    n.add("hAlign", nameOf<HAlign>(kHAligns, text.hAlign));
    n.add("vAlign", nameOf<VAlign>(kVAligns, text.vAlign));
    n.add("wordWrap", text.wordWrap);
    n.add("canGrow", text.canGrow);
    n.add("border", borderNode(text.border));
    if (text.fill.isValid())
        n.add("fill", colorNode(text.fill));
    if (!text.displayFormat.isEmpty())
        n.add("format", text.displayFormat);
}

void addContent(Node& n, const LineObject& line) {
    n.add("width", line.widthMm);
    n.add("color", colorNode(line.color));
    n.add("style", nameOf<LineStyle>(kLineStyles, line.style));
}

void addContent(Node& n, const RectangleObject& rectangle) {
    n.add("border", borderNode(rectangle.border));
    if (rectangle.fill.isValid())
        n.add("fill", colorNode(rectangle.fill));
}

void addContent(Node& n, const PictureObject& picture) {
    n.add("stretch", picture.stretch);
    n.add("keepAspect", picture.keepAspect);
    n.add("png", QString::fromLatin1(picture.png.toBase64()));
}

void addContent(Node& n, const BarcodeObject& barcode) {
    n.add("type", QStringLiteral("code128"));
    n.add("text", barcode.text);
    n.add("showText", barcode.showText);
}

Node objectNode(const ReportObject& object) {
    Node n = Node::object();
    n.add("kind", nameOf<ObjectKind>(kObjectKinds, object.kind()));
    n.add("name", object.name);
    const QRectF& r = object.rectMm;
    if (object.kind() == ObjectKind::Line) {
        // Where a line starts and ends reads better than a rectangle that may run backwards.
        n.add("start", Node::numbers({r.left(), r.top()}));
        n.add("end", Node::numbers({r.left() + r.width(), r.top() + r.height()}));
    } else {
        n.add("x", r.x());
        n.add("y", r.y());
        n.add("width", r.width());
        n.add("height", r.height());
    }
    std::visit([&](const auto& content) { addContent(n, content); }, object.content);
    return n;
}

Node bandNode(const Band& band) {
    Node n = Node::object();
    n.add("kind", nameOf<BandKind>(kBandKinds, band.kind));
    n.add("name", band.name);
    n.add("height", band.heightMm);
    if (!band.dataset.isEmpty())
        n.add("dataset", band.dataset);
    if (!band.condition.isEmpty())
        n.add("condition", band.condition);
    if (!band.masterKey.isEmpty())
        n.add("masterKey", band.masterKey);
    if (!band.detailKey.isEmpty())
        n.add("detailKey", band.detailKey);
    n.add("canGrow", band.canGrow);
    n.add("canShrink", band.canShrink);
    n.add("keepTogether", band.keepTogether);
    n.add("startNewPage", band.startNewPage);
    Node objects = Node::array();
    for (const ReportObject& object : band.objects)
        objects.items.push_back(objectNode(object));
    n.add("objects", std::move(objects));
    return n;
}

Node templateNode(const ReportTemplate& report) {
    Node root = Node::object();
    root.add("format", QString::fromLatin1(TemplateFile::kFormatName));
    root.add("version", TemplateFile::kVersion);
    root.add("name", report.name);
    // Only when set, so that a template without it is written as before.
    if (!report.reprintStamp.isEmpty())
        root.add("reprintStamp", report.reprintStamp);

    const PageSetup& page = report.page;
    Node margins = Node::object();
    margins.add("left", page.margins.left);
    margins.add("top", page.margins.top);
    margins.add("right", page.margins.right);
    margins.add("bottom", page.margins.bottom);
    Node pageNode = Node::object();
    pageNode.add("paper", nameOf<PaperSize>(kPapers, page.paper));
    pageNode.add("width", page.widthMm);
    pageNode.add("height", page.heightMm);
    pageNode.add("orientation", nameOf<Orientation>(kOrientations, page.orientation));
    pageNode.add("margins", std::move(margins));
    root.add("page", std::move(pageNode));

    root.add("datasets", Node::strings(report.datasets));

    Node categories = Node::array();
    for (const VariableCategory& category : report.variables) {
        Node variables = Node::array();
        for (const Variable& variable : category.variables) {
            Node v = Node::object();
            v.add("name", variable.name);
            v.add("expression", variable.expression);
            variables.items.push_back(std::move(v));
        }
        Node c = Node::object();
        c.add("category", category.name);
        c.add("variables", std::move(variables));
        categories.items.push_back(std::move(c));
    }
    root.add("variables", std::move(categories));

    Node functions = Node::array();
    for (const FunctionDeclaration& function : report.functions) {
        Node f = Node::object();
        f.add("declaration", function.declaration);
        f.add("category", function.category);
        f.add("description", function.description);
        functions.items.push_back(std::move(f));
    }
    root.add("functions", std::move(functions));

    Node bands = Node::array();
    for (const Band& band : report.bands)
        bands.items.push_back(bandNode(band));
    root.add("bands", std::move(bands));
    return root;
}

// ---- reading

// A value as it appears in the file, for error messages.
QString shown(const QJsonValue& value) {
    return QString::fromUtf8(
        QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Compact).mid(1).chopped(1));
}

// A JSON object being read, with the path of keys that leads to it for error messages.
// Missing keys and nulls give the default; a value of the wrong type is an error.
class Reader {
public:
    Reader(const QString* source, QJsonObject object, QString where)
        : m_source(source), m_object(std::move(object)), m_where(std::move(where)) {}

    [[noreturn]] void fail(const QString& key, const QString& reason) const {
        throw TemplateError(*m_source, keyPath(key) + QStringLiteral(": ") + reason);
    }

    double number(const char* key, double fallback) const {
        const QJsonValue v = value(key);
        if (v.isUndefined())
            return fallback;
        if (!v.isDouble())
            fail(key, QStringLiteral("应为数值"));
        return v.toDouble();
    }

    QString text(const char* key, const QString& fallback = {}) const {
        const QJsonValue v = value(key);
        if (v.isUndefined())
            return fallback;
        if (!v.isString())
            fail(key, QStringLiteral("应为字符串"));
        return v.toString();
    }

    bool flag(const char* key, bool fallback) const {
        const QJsonValue v = value(key);
        if (v.isUndefined())
            return fallback;
        if (!v.isBool())
            fail(key, QStringLiteral("应为 true 或 false"));
        return v.toBool();
    }

    QColor color(const char* key, const QColor& fallback) const {
        const QJsonValue v = value(key);
        if (v.isUndefined())
            return fallback;
        const QColor c = v.isString() ? QColor::fromString(v.toString()) : QColor();
        if (!c.isValid())
            fail(key, QStringLiteral("应为颜色，如 \"#ff0000\""));
        return c;
    }

    template <typename E>
    E choice(const char* key, std::span<const Named<E>> table, E fallback) const {
        const QJsonValue v = value(key);
        if (v.isUndefined())
            return fallback;
        const QString name = v.toString();
        for (const auto& entry : table) {
            if (name == QLatin1String(entry.name))
                return entry.value;
        }
        fail(key, QStringLiteral("未知的取值 %1").arg(shown(v)));
    }

    QStringList strings(const char* key) const {
        QStringList list;
        const QJsonArray items = array(key);
        for (qsizetype i = 0; i < items.size(); ++i) {
            if (!items[i].isString())
                fail(QStringLiteral("%1[%2]").arg(QLatin1String(key)).arg(i),
                     QStringLiteral("应为字符串"));
            list << items[i].toString();
        }
        return list;
    }

    std::vector<double> numbers(const char* key) const {
        std::vector<double> list;
        const QJsonArray items = array(key);
        for (qsizetype i = 0; i < items.size(); ++i) {
            if (!items[i].isDouble())
                fail(QStringLiteral("%1[%2]").arg(QLatin1String(key)).arg(i),
                     QStringLiteral("应为数值"));
            list.push_back(items[i].toDouble());
        }
        return list;
    }

    // A missing object reads as an empty one, so that all its keys take their defaults.
    Reader object(const char* key) const {
        const QJsonValue v = value(key);
        if (!v.isUndefined() && !v.isObject())
            fail(key, QStringLiteral("应为对象"));
        return Reader(m_source, v.toObject(), keyPath(key));
    }

    std::vector<Reader> objects(const char* key) const {
        std::vector<Reader> list;
        const QJsonArray items = array(key);
        for (qsizetype i = 0; i < items.size(); ++i) {
            const QString where = keyPath(key) + QStringLiteral("[%1]").arg(i);
            if (!items[i].isObject())
                throw TemplateError(*m_source, where + QStringLiteral(": 应为对象"));
            list.emplace_back(m_source, items[i].toObject(), where);
        }
        return list;
    }

    bool has(const char* key) const { return !value(key).isUndefined(); }

private:
    QJsonValue value(const char* key) const {
        const QJsonValue v = m_object.value(QLatin1String(key));
        return v.isNull() ? QJsonValue(QJsonValue::Undefined) : v;
    }

    QJsonArray array(const char* key) const {
        const QJsonValue v = value(key);
        if (!v.isUndefined() && !v.isArray())
            fail(key, QStringLiteral("应为数组"));
        return v.toArray();
    }

    QString keyPath(const QString& key) const {
        return m_where.isEmpty() ? key : m_where + QLatin1Char('.') + key;
    }

    const QString* m_source;  // not owned: the path errors name
    QJsonObject m_object;
    QString m_where;
};

// Missing sides keep the default's: none for a text, all four for a rectangle.
Border readBorder(const Reader& r, const Border& defaults) {
    Border border = defaults;
    if (r.has("sides")) {
        border.sides = NoSides;
        for (const QString& name : r.strings("sides")) {
            const auto side =
                std::find_if(std::begin(kSides), std::end(kSides),
                             [&](const auto& s) { return name == QLatin1String(s.name); });
            if (side == std::end(kSides))
                r.fail("sides", QStringLiteral("未知的边 \"%1\"").arg(name));
            border.sides |= side->value;
        }
    }
    border.widthMm = r.number("width", defaults.widthMm);
    border.color = r.color("color", defaults.color);
    border.style = r.choice<LineStyle>("style", kLineStyles, defaults.style);
    return border;
}

TextObject readText(const Reader& r) {
    const TextObject d;
    TextObject text;
    text.text = r.text("text");
    const Reader font = r.object("font");
    text.font.family = font.text("family", d.font.family);
    text.font.pointSize = font.number("size", d.font.pointSize);
    text.font.bold = font.flag("bold", d.font.bold);
    text.font.italic = font.flag("italic", d.font.italic);
    text.font.underline = font.flag("underline", d.font.underline);
    text.color = r.color("color", d.color);
    text.hAlign = r.choice<HAlign>("hAlign", kHAligns, d.hAlign);
    text.vAlign = r.choice<VAlign>("vAlign", kVAligns, d.vAlign);
    text.wordWrap = r.flag("wordWrap", d.wordWrap);
    text.canGrow = r.flag("canGrow", d.canGrow);
    text.border = readBorder(r.object("border"), d.border);
    text.fill = r.color("fill", d.fill);
    text.displayFormat = r.text("format");
    return text;
}

LineObject readLine(const Reader& r) {
    const LineObject d;
    return LineObject{
        .widthMm = r.number("width", d.widthMm),
        .color = r.color("color", d.color),
        .style = r.choice<LineStyle>("style", kLineStyles, d.style),
    };
}

RectangleObject readRectangle(const Reader& r) {
    const RectangleObject d;
    return RectangleObject{
        .border = readBorder(r.object("border"), d.border),
        .fill = r.color("fill", d.fill),
    };
}

PictureObject readPicture(const Reader& r) {
    const PictureObject d;
    PictureObject picture;
    picture.stretch = r.flag("stretch", d.stretch);
    picture.keepAspect = r.flag("keepAspect", d.keepAspect);
    const auto decoded = QByteArray::fromBase64Encoding(r.text("png").toLatin1(),
                                                        QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded)
        r.fail("png", QStringLiteral("不是有效的 base64"));
    picture.png = *decoded;
    return picture;
}

BarcodeObject readBarcode(const Reader& r) {
    const BarcodeObject d;
    const QString type = r.text("type", QStringLiteral("code128"));
    if (type != QLatin1String("code128"))
        r.fail("type", QStringLiteral("不支持的条码类型 \"%1\"").arg(type));
    return BarcodeObject{.text = r.text("text"), .showText = r.flag("showText", d.showText)};
}

// A point written as [x, y].
QPointF readPoint(const Reader& r, const char* key) {
    const std::vector<double> xy = r.numbers(key);
    if (xy.empty())
        return {};
    if (xy.size() != 2)
        r.fail(key, QStringLiteral("应为 [x, y]"));
    return {xy[0], xy[1]};
}

ReportObject readObject(const Reader& r) {
    ReportObject object;
    // Kind first: a file without it is not one we can place.
    if (!r.has("kind"))
        r.fail("kind", QStringLiteral("缺少对象类型"));
    const ObjectKind kind = r.choice<ObjectKind>("kind", kObjectKinds, ObjectKind::Text);
    object.name = r.text("name");
    if (kind == ObjectKind::Line) {
        const QPointF start = readPoint(r, "start");
        const QPointF end = readPoint(r, "end");
        object.rectMm = QRectF(start.x(), start.y(), end.x() - start.x(), end.y() - start.y());
    } else {
        object.rectMm =
            QRectF(r.number("x", 0), r.number("y", 0), r.number("width", 0), r.number("height", 0));
    }
    switch (kind) {
        case ObjectKind::Text:
            object.content = readText(r);
            break;
        case ObjectKind::Line:
            object.content = readLine(r);
            break;
        case ObjectKind::Rectangle:
            object.content = readRectangle(r);
            break;
        case ObjectKind::Picture:
            object.content = readPicture(r);
            break;
        case ObjectKind::Barcode:
            object.content = readBarcode(r);
            break;
    }
    return object;
}

Band readBand(const Reader& r) {
    const Band d;
    if (!r.has("kind"))
        r.fail("kind", QStringLiteral("缺少区类型"));
    Band band;
    band.kind = r.choice<BandKind>("kind", kBandKinds, d.kind);
    band.name = r.text("name");
    band.heightMm = r.number("height", d.heightMm);
    band.dataset = r.text("dataset");
    band.condition = r.text("condition");
    band.masterKey = r.text("masterKey");
    band.detailKey = r.text("detailKey");
    band.canGrow = r.flag("canGrow", d.canGrow);
    band.canShrink = r.flag("canShrink", d.canShrink);
    band.keepTogether = r.flag("keepTogether", d.keepTogether);
    band.startNewPage = r.flag("startNewPage", d.startNewPage);
    for (const Reader& object : r.objects("objects"))
        band.objects.push_back(readObject(object));
    return band;
}

PageSetup readPage(const Reader& r) {
    const PageSetup d;
    PageSetup page;
    page.paper = r.choice<PaperSize>("paper", kPapers, d.paper);
    if (page.paper == PaperSize::Custom) {
        page.widthMm = r.number("width", d.widthMm);
        page.heightMm = r.number("height", d.heightMm);
    } else {
        // A named paper is its standard size, whatever the file says.
        page.setPaper(page.paper);
    }
    page.orientation = r.choice<Orientation>("orientation", kOrientations, d.orientation);
    const Reader margins = r.object("margins");
    page.margins.left = margins.number("left", d.margins.left);
    page.margins.top = margins.number("top", d.margins.top);
    page.margins.right = margins.number("right", d.margins.right);
    page.margins.bottom = margins.number("bottom", d.margins.bottom);
    return page;
}

// Where a parse error is, as "line L, column C". The parser's offset is just past the byte it
// stopped at; columns count characters, not bytes.
QString lineAndColumn(const QByteArray& bytes, qsizetype offset) {
    const qsizetype at =
        std::clamp<qsizetype>(offset - 1, 0, std::max<qsizetype>(bytes.size() - 1, 0));
    const qsizetype lineStart = bytes.lastIndexOf('\n', at - 1) + 1;
    const int line = int(bytes.left(lineStart).count('\n')) + 1;
    int column = 0;
    for (qsizetype i = lineStart; i <= at && i < bytes.size(); ++i) {
        if ((uchar(bytes[i]) & 0xC0) != 0x80)  // not a continuation byte: a character starts
            ++column;
    }
    return QStringLiteral("第 %1 行第 %2 列").arg(line).arg(std::max(column, 1));
}

}  // namespace

QByteArray TemplateFile::toBytes(const ReportTemplate& report) {
    QByteArray out;
    write(out, templateNode(report), 0);
    out += '\n';
    return out;
}

namespace {

// The templates read last, by their bytes: printing bills one after another reads the same
// stored template every time, and comparing its bytes is far cheaper than reading it again.
struct ParsedTemplates {
    static constexpr std::size_t kKept = 4;
    std::vector<std::pair<QByteArray, ReportTemplate>> entries;  // most recent first

    const ReportTemplate* find(const QByteArray& bytes) {
        for (std::size_t i = 0; i < entries.size(); ++i)
            if (entries[i].first == bytes) {
                std::rotate(entries.begin(), entries.begin() + std::ptrdiff_t(i),
                            entries.begin() + std::ptrdiff_t(i) + 1);
                return &entries.front().second;
            }
        return nullptr;
    }
    void keep(const QByteArray& bytes, const ReportTemplate& report) {
        if (entries.size() == kKept)
            entries.pop_back();
        // A copy of its own: the caller's bytes may be a view of memory it frees.
        entries.insert(entries.begin(), {QByteArray(bytes.constData(), bytes.size()), report});
    }
};

ParsedTemplates& parsedTemplates() {
    thread_local ParsedTemplates cache;
    return cache;
}

}  // namespace

ReportTemplate TemplateFile::fromBytes(const QByteArray& input, const QString& sourceName) {
    if (const ReportTemplate* known = parsedTemplates().find(input))
        return *known;
    ReportTemplate report = parse(input, sourceName);
    parsedTemplates().keep(input, report);
    return report;
}

ReportTemplate TemplateFile::parse(const QByteArray& input, const QString& sourceName) {
    const QString notOurs = QStringLiteral("不是报表模板文件");
    QByteArray bytes = input;
    if (bytes.startsWith("\xEF\xBB\xBF"))  // editors on Windows add a byte-order mark
        bytes.remove(0, 3);
    if (bytes.trimmed().isEmpty())
        throw TemplateError(sourceName, notOurs + QStringLiteral("（内容为空）"));

    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        throw TemplateError(sourceName, notOurs + QStringLiteral("（%1：%2）")
                                                      .arg(lineAndColumn(bytes, parseError.offset),
                                                           parseError.errorString()));
    }
    if (!document.isObject() ||
        document.object().value(QLatin1String("format")).toString() != QLatin1String(kFormatName)) {
        throw TemplateError(
            sourceName,
            notOurs +
                QStringLiteral("（没有 \"format\": \"%1\"）").arg(QLatin1String(kFormatName)));
    }

    const QJsonObject root = document.object();
    const QJsonValue version = root.value(QLatin1String("version"));
    const double v = version.toDouble(-1);
    if (!version.isDouble() || v != std::floor(v) || v < 1 || v > kVersion) {
        throw TemplateError(sourceName, QStringLiteral("不支持的模板版本 %1（本程序读取版本 %2）")
                                            .arg(version.isUndefined() ? QStringLiteral("（缺失）")
                                                                       : shown(version))
                                            .arg(kVersion));
    }

    const Reader r(&sourceName, root, QString());
    ReportTemplate report;
    report.formatVersion = int(v);
    report.name = r.text("name");
    report.reprintStamp = r.text("reprintStamp");
    report.page = readPage(r.object("page"));
    report.datasets = r.strings("datasets");
    for (const Reader& c : r.objects("variables")) {
        VariableCategory category;
        category.name = c.text("category");
        for (const Reader& variable : c.objects("variables"))
            category.variables.push_back({variable.text("name"), variable.text("expression")});
        report.variables.push_back(std::move(category));
    }
    for (const Reader& f : r.objects("functions")) {
        report.functions.push_back(
            {f.text("declaration"), f.text("category"), f.text("description")});
    }
    for (const Reader& band : r.objects("bands"))
        report.bands.push_back(readBand(band));
    return report;
}

void TemplateFile::save(const ReportTemplate& report, const QString& path) {
    // Written aside and renamed over the old file, so a failed save leaves the old one whole.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        throw TemplateError(path, QStringLiteral("无法写入：%1").arg(file.errorString()));
    const QByteArray bytes = toBytes(report);
    if (file.write(bytes) != bytes.size() || !file.commit())
        throw TemplateError(path, QStringLiteral("无法写入：%1").arg(file.errorString()));
    Core::Sys::ownerOnly(path);
}

ReportTemplate TemplateFile::load(const QString& path) {
    QFile file(path);
    if (!QFileInfo::exists(path))
        throw TemplateError(path, QStringLiteral("文件不存在"));
    if (!file.open(QIODevice::ReadOnly))
        throw TemplateError(path, QStringLiteral("无法读取：%1").arg(file.errorString()));
    return fromBytes(file.readAll(), path);
}

}  // namespace Qd::Print
