#include "print/designer/DesignerProperties.h"

#include <QColor>
#include <QFontDatabase>

namespace Qd::Print::Internal {

namespace {

using Core::Ui::EditorKind;
using Core::Ui::EditorProps;

// Finds the part of the template a row edits; null when it is gone.
template <class T>
using Reach = std::function<T*(ReportTemplate&)>;

template <class T>
Property row(Reach<T> reach, const QString& name, const QString& caption, EditorProps editor,
             std::function<QVariant(const T&)> get, std::function<void(T&, const QVariant&)> set) {
    return {name, caption, std::move(editor),
            [=](const ReportTemplate& r) {
                const T* t = reach(const_cast<ReportTemplate&>(r));
                return t ? get(*t) : QVariant();
            },
            [=](ReportTemplate& r, const QVariant& v) {
                if (T* t = reach(r))
                    set(*t, v);
            }};
}

EditorProps editorOf(EditorKind kind, int decimals = -1) {
    EditorProps p;
    p.kind = kind;
    p.decimals = decimals;
    return p;
}

// Lengths are edited in millimetres to two places; an emptied field keeps the value.
template <class T>
Property length(Reach<T> reach, const QString& name, const QString& caption, double T::*member) {
    return row<T>(
        reach, name, caption, editorOf(EditorKind::Decimal, 2),
        [member](const T& t) { return QVariant(t.*member); },
        [member](T& t, const QVariant& v) {
            if (!v.isNull())
                t.*member = v.toDouble();
        });
}

template <class T>
Property flag(Reach<T> reach, const QString& name, const QString& caption, bool T::*member) {
    return row<T>(
        reach, name, caption, editorOf(EditorKind::Check),
        [member](const T& t) { return QVariant(t.*member); },
        [member](T& t, const QVariant& v) { t.*member = v.toBool(); });
}

template <class T>
Property text(Reach<T> reach, const QString& name, const QString& caption, QString T::*member,
              EditorKind kind = EditorKind::Text) {
    return row<T>(
        reach, name, caption, editorOf(kind), [member](const T& t) { return QVariant(t.*member); },
        [member](T& t, const QVariant& v) { t.*member = v.toString(); });
}

// An empty colour row clears the colour (no fill); `keep` refuses that for colours that must be.
template <class T>
Property color(Reach<T> reach, const QString& name, const QString& caption, QColor T::*member,
               bool keep = true) {
    return row<T>(
        reach, name, caption, editorOf(EditorKind::Color),
        [member](const T& t) { return (t.*member).isValid() ? QVariant(t.*member) : QVariant(); },
        [member, keep](T& t, const QVariant& v) {
            if (v.isNull() && keep)
                return;
            t.*member = v.isNull() ? QColor() : QColor::fromRgb(QRgb(v.toInt()));
        });
}

// An enumeration shown as its captions, which are in the order of the enumerators.
template <class T, class E>
Property choice(Reach<T> reach, const QString& name, const QString& caption,
                const QStringList& captions, E T::*member) {
    EditorProps p = editorOf(EditorKind::Combo);
    p.items = captions;
    return row<T>(
        reach, name, caption, p,
        [member, captions](const T& t) { return QVariant(captions.value(int(t.*member))); },
        [member, captions](T& t, const QVariant& v) {
            const int i = int(captions.indexOf(v.toString()));
            if (i >= 0)
                t.*member = E(i);
        });
}

const QStringList kPapers{"A3", "A4", "A5", "B5", "Letter", "Legal", "自定义"};
const QStringList kOrientations{"纵向", "横向"};
const QStringList kHAligns{"左对齐", "居中", "右对齐", "两端对齐"};
const QStringList kVAligns{"顶端", "居中", "底端"};
const QStringList kLineStyles{"实线", "虚线", "点线", "点划线", "双线"};

struct SidesChoice {
    const char* caption;
    int sides;
};
const SidesChoice kSides[] = {
    {"无", NoSides},
    {"四周", AllSides},
    {"上", TopSide},
    {"下", BottomSide},
    {"上下", TopSide | BottomSide},
    {"左右", LeftSide | RightSide},
    {"左", LeftSide},
    {"右", RightSide},
};

std::vector<Property> borderRows(Reach<Border> border) {
    EditorProps sides = editorOf(EditorKind::Combo);
    for (const SidesChoice& s : kSides)
        sides.items << QString::fromUtf8(s.caption);
    return {
        row<Border>(
            border, "border.sides", "边框", sides,
            [](const Border& b) {
                for (const SidesChoice& s : kSides) {
                    if (s.sides == b.sides)
                        return QVariant(QString::fromUtf8(s.caption));
                }
                return QVariant();
            },
            [](Border& b, const QVariant& v) {
                for (const SidesChoice& s : kSides) {
                    if (v.toString() == QString::fromUtf8(s.caption))
                        b.sides = s.sides;
                }
            }),
        length(border, "border.width", "边框宽度", &Border::widthMm),
        color(border, "border.color", "边框颜色", &Border::color),
        choice(border, "border.style", "边框线型", kLineStyles, &Border::style),
    };
}

template <class T>
Reach<T> content(const QString& object) {
    return [object](ReportTemplate& r) -> T* {
        ReportObject* o = r.findObject(object);
        return o ? std::get_if<T>(&o->content) : nullptr;
    };
}

std::vector<Property> geometryRows(const QString& object) {
    const Reach<ReportObject> reach = [object](ReportTemplate& r) { return r.findObject(object); };
    auto coordinate = [&](const char* name, const char* caption, auto get, auto set) {
        return row<ReportObject>(
            reach, QString::fromUtf8(name), QString::fromUtf8(caption),
            editorOf(EditorKind::Decimal, 2),
            [get](const ReportObject& o) { return QVariant(get(o.rectMm)); },
            [set](ReportObject& o, const QVariant& v) {
                if (!v.isNull())
                    set(o.rectMm, v.toDouble());
            });
    };
    return {
        text(reach, "name", "名称", &ReportObject::name),
        coordinate(
            "x", "左", [](const QRectF& r) { return r.x(); },
            [](QRectF& r, double v) { r.moveLeft(v); }),
        coordinate(
            "y", "上", [](const QRectF& r) { return r.y(); },
            [](QRectF& r, double v) { r.moveTop(v); }),
        coordinate(
            "width", "宽", [](const QRectF& r) { return r.width(); },
            [](QRectF& r, double v) { r.setWidth(v); }),
        coordinate(
            "height", "高", [](const QRectF& r) { return r.height(); },
            [](QRectF& r, double v) { r.setHeight(v); }),
    };
}

std::vector<Property> textRows(const QString& object) {
    const auto reach = content<TextObject>(object);
    const Reach<Font> font = [reach](ReportTemplate& r) -> Font* {
        TextObject* t = reach(r);
        return t ? &t->font : nullptr;
    };
    const Reach<Border> border = [reach](ReportTemplate& r) -> Border* {
        TextObject* t = reach(r);
        return t ? &t->border : nullptr;
    };
    EditorProps families = editorOf(EditorKind::Combo);
    families.items = QFontDatabase::families();
    if (!families.items.contains(Font().family))
        families.items.prepend(Font().family);
    std::vector<Property> rows{
        text(reach, "text", "文本", &TextObject::text, EditorKind::Memo),
        row<Font>(
            font, "font.family", "字体", families, [](const Font& f) { return QVariant(f.family); },
            [](Font& f, const QVariant& v) {
                if (!v.toString().isEmpty())
                    f.family = v.toString();
            }),
        length(font, "font.size", "字号（磅）", &Font::pointSize),
        flag(font, "font.bold", "粗体", &Font::bold),
        flag(font, "font.italic", "斜体", &Font::italic),
        flag(font, "font.underline", "下划线", &Font::underline),
        color(reach, "color", "文字颜色", &TextObject::color),
        choice(reach, "hAlign", "水平对齐", kHAligns, &TextObject::hAlign),
        choice(reach, "vAlign", "垂直对齐", kVAligns, &TextObject::vAlign),
        flag(reach, "wordWrap", "自动换行", &TextObject::wordWrap),
        flag(reach, "canGrow", "自动伸展", &TextObject::canGrow),
        text(reach, "format", "显示格式", &TextObject::displayFormat),
        color(reach, "fill", "填充颜色", &TextObject::fill, false),
    };
    for (Property& p : borderRows(border))
        rows.push_back(std::move(p));
    return rows;
}

}  // namespace

std::vector<Property> pageProperties() {
    const Reach<ReportTemplate> report = [](ReportTemplate& r) { return &r; };
    const Reach<PageSetup> page = [](ReportTemplate& r) { return &r.page; };
    const Reach<Margins> margins = [](ReportTemplate& r) { return &r.page.margins; };
    EditorProps papers = editorOf(EditorKind::Combo);
    papers.items = kPapers;
    auto size = [&](const char* name, const char* caption, double PageSetup::*member) {
        // Setting a size makes the paper a custom one.
        return row<PageSetup>(
            page, QString::fromUtf8(name), QString::fromUtf8(caption),
            editorOf(EditorKind::Decimal, 1),
            [member](const PageSetup& p) { return QVariant(p.*member); },
            [member](PageSetup& p, const QVariant& v) {
                if (v.isNull() || v.toDouble() == p.*member)
                    return;
                PageSetup custom = p;
                custom.*member = v.toDouble();
                p.setCustomSize(custom.widthMm, custom.heightMm);
            });
    };
    return {
        text(report, "reportName", "报表名称", &ReportTemplate::name),
        text(report, "reprintStamp", "重印标记", &ReportTemplate::reprintStamp),
        row<PageSetup>(
            page, "paper", "纸张", papers,
            [](const PageSetup& p) { return QVariant(kPapers.value(int(p.paper))); },
            [](PageSetup& p, const QVariant& v) {
                const int i = int(kPapers.indexOf(v.toString()));
                if (i >= 0)
                    p.setPaper(PaperSize(i));
            }),
        size("paperWidth", "纸宽（毫米）", &PageSetup::widthMm),
        size("paperHeight", "纸高（毫米）", &PageSetup::heightMm),
        choice(page, "orientation", "方向", kOrientations, &PageSetup::orientation),
        length(margins, "margins.left", "左边距", &Margins::left),
        length(margins, "margins.top", "上边距", &Margins::top),
        length(margins, "margins.right", "右边距", &Margins::right),
        length(margins, "margins.bottom", "下边距", &Margins::bottom),
    };
}

std::vector<Property> bandProperties(const Band& band, const QStringList& datasets) {
    const QString name = band.name;
    const Reach<Band> reach = [name](ReportTemplate& r) { return r.findBand(name); };
    std::vector<Property> rows{
        text(reach, "name", "名称", &Band::name),
        length(reach, "height", "高度", &Band::heightMm),
    };
    if (band.isDataBand()) {
        EditorProps choices = editorOf(EditorKind::Combo);
        choices.items = datasets;
        rows.push_back({"dataset", "数据集", choices,
                        [name](const ReportTemplate& r) {
                            const Band* b = r.findBand(name);
                            return b ? QVariant(b->dataset) : QVariant();
                        },
                        [name](ReportTemplate& r, const QVariant& v) {
                            Band* b = r.findBand(name);
                            if (!b || v.toString().isEmpty())
                                return;
                            b->dataset = v.toString();
                            if (!r.datasets.contains(b->dataset, Qt::CaseInsensitive))
                                r.datasets << b->dataset;
                        }});
    }
    if (band.kind == BandKind::GroupHeader)
        rows.push_back(text(reach, "condition", "分组条件", &Band::condition));
    if (band.kind == BandKind::DetailData) {
        // Fields separated by ";", paired in order: which detail rows print under a master row.
        rows.push_back(text(reach, "masterKey", "主数据关联字段", &Band::masterKey));
        rows.push_back(text(reach, "detailKey", "明细关联字段", &Band::detailKey));
    }
    rows.push_back(flag(reach, "canGrow", "自动伸展", &Band::canGrow));
    rows.push_back(flag(reach, "canShrink", "自动收缩", &Band::canShrink));
    rows.push_back(flag(reach, "keepTogether", "保持在同一页", &Band::keepTogether));
    rows.push_back(flag(reach, "startNewPage", "从新页开始", &Band::startNewPage));
    return rows;
}

std::vector<Property> objectProperties(const ReportObject& object,
                                       std::function<void()> pickPicture) {
    std::vector<Property> rows = geometryRows(object.name);
    auto append = [&rows](std::vector<Property> more) {
        for (Property& p : more)
            rows.push_back(std::move(p));
    };
    const QString name = object.name;
    switch (object.kind()) {
        case ObjectKind::Text:
            append(textRows(name));
            break;
        case ObjectKind::Line: {
            const auto reach = content<LineObject>(name);
            append({length(reach, "lineWidth", "线宽", &LineObject::widthMm),
                    color(reach, "color", "颜色", &LineObject::color),
                    choice(reach, "lineStyle", "线型", kLineStyles, &LineObject::style)});
            break;
        }
        case ObjectKind::Rectangle: {
            const auto reach = content<RectangleObject>(name);
            const Reach<Border> border = [reach](ReportTemplate& r) -> Border* {
                RectangleObject* t = reach(r);
                return t ? &t->border : nullptr;
            };
            append(borderRows(border));
            rows.push_back(color(reach, "fill", "填充颜色", &RectangleObject::fill, false));
            break;
        }
        case ObjectKind::Picture: {
            const auto reach = content<PictureObject>(name);
            EditorProps button = editorOf(EditorKind::Button);
            button.onButtonClick = [pickPicture](QWidget*) {
                if (pickPicture)
                    pickPicture();
            };
            rows.push_back(row<PictureObject>(
                reach, "picture", "图片", button,
                [](const PictureObject& p) {
                    return QVariant(p.png.isEmpty() ? QStringLiteral("（无）")
                                                    : QStringLiteral("（已嵌入）"));
                },
                [](PictureObject&, const QVariant&) {}));
            append({flag(reach, "stretch", "拉伸", &PictureObject::stretch),
                    flag(reach, "keepAspect", "保持比例", &PictureObject::keepAspect)});
            break;
        }
        case ObjectKind::Barcode: {
            const auto reach = content<BarcodeObject>(name);
            append({text(reach, "text", "条码内容", &BarcodeObject::text),
                    flag(reach, "showText", "显示文字", &BarcodeObject::showText)});
            break;
        }
    }
    return rows;
}

}  // namespace Qd::Print::Internal
