// Editors made from EditorProps, their typed values and display texts; the small edits
// (button, currency, colour).

#include "ui/editors/Editors.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QColorDialog>
#include <QDateEdit>
#include <QFileInfo>
#include <QFocusEvent>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QScopedValueRollback>
#include <QScreen>
#include <QTextDocumentFragment>
#include <QTextEdit>
#include <QToolButton>
#include <algorithm>

#include "base/Dispatch.h"
#include "base/Prompter.h"
#include "db/DataServices.h"
#include "ui/editors/EditorsInternal.h"
#include "ui/grid/GridInternal.h"

namespace Qd::Core::Ui {

// ---- shared helpers --------------------------------------------------------------------------

namespace Internal {

EditorKind kindForField(EditorKind kind, Db::FieldType type) {
    if (kind != EditorKind::Text)
        return kind;
    switch (type) {
        case Db::FieldType::Integer:
        case Db::FieldType::BigInt:
            return EditorKind::Integer;
        case Db::FieldType::Float:
            return EditorKind::Decimal;
        case Db::FieldType::Currency:
            return EditorKind::Money;
        case Db::FieldType::Boolean:
            return EditorKind::Check;
        case Db::FieldType::DateTime:
            return EditorKind::DateTime;
        default:
            return EditorKind::Text;
    }
}

bool isChecked(const QVariant& v) {
    if (v.isNull())
        return false;
    if (v.typeId() == QMetaType::QString) {
        const QString s = v.toString().trimmed().toLower();
        return s == QLatin1String("1") || s == QLatin1String("true");
    }
    return v.toBool();
}

QDateTime toDateTime(const QVariant& v) {
    switch (v.typeId()) {
        case QMetaType::QDateTime:
            return v.toDateTime();
        case QMetaType::QDate:
            return QDateTime(v.toDate(), QTime(0, 0));
        case QMetaType::QString:
            return Db::parseDateTime(v.toString().trimmed());
        default:
            return QDateTime();
    }
}

bool sameValue(const QVariant& a, const QVariant& b) {
    const bool aEmpty = a.isNull() || (a.typeId() == QMetaType::QString && a.toString().isEmpty());
    const bool bEmpty = b.isNull() || (b.typeId() == QMetaType::QString && b.toString().isEmpty());
    if (aEmpty || bEmpty)
        return aEmpty == bEmpty;
    const auto isDate = [](const QVariant& v) {
        return v.typeId() == QMetaType::QDate || v.typeId() == QMetaType::QDateTime;
    };
    if (isDate(a) || isDate(b))
        return toDateTime(a) == toDateTime(b);
    const auto isNumber = [](const QVariant& v) {
        return v.typeId() != QMetaType::QString && v.canConvert<double>();
    };
    if (isNumber(a) && isNumber(b))
        return a.toDouble() == b.toDouble();
    return a.toString() == b.toString();
}

QString oneLine(QString text) {
    const auto isBreak = [](QChar c) {
        return c == u'\n' || c == u'\r' || c == QChar::LineSeparator ||
               c == QChar::ParagraphSeparator;
    };
    // Cells ask on every paint: a text without breaks is given back as it is, not copied.
    if (std::none_of(text.cbegin(), text.cend(), isBreak))
        return text;
    text.replace(QLatin1String("\r\n"), QLatin1String(" "));
    for (QChar& c : text)
        if (isBreak(c))
            c = u' ';
    return text;
}

QPoint dropDownPosition(const QWidget* anchor, const QRect& under, const QSize& size) {
    QPoint at = anchor->mapToGlobal(under.bottomLeft() + QPoint(0, 1));
    const int above = anchor->mapToGlobal(under.topLeft()).y() - size.height();
    if (const QScreen* screen = anchor->screen()) {
        const QRect area = screen->availableGeometry();
        if (at.y() + size.height() > area.bottom() && above >= area.top())
            at.setY(above);
        at.setX(
            std::clamp(at.x(), area.left(), std::max(area.left(), area.right() - size.width())));
    }
    return at;
}

void runHook(const std::function<void(QWidget*)>& hook, QWidget* editor) {
    Sys::dispatch([&] { hook(editor); });
}

QIcon glyphIcon(Glyph glyph, const QColor& color) {
    constexpr int kSize = 16;
    QIcon icon;
    for (const qreal ratio : {1.0, 2.0}) {
        QPixmap pm(int(kSize * ratio), int(kSize * ratio));
        pm.setDevicePixelRatio(ratio);
        pm.fill(Qt::transparent);
        QPainter p(&pm);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(Qt::NoPen);
        p.setBrush(color);
        if (glyph == Glyph::DropDown) {
            QPainterPath path;
            path.moveTo(4.5, 6.5);
            path.lineTo(11.5, 6.5);
            path.lineTo(8, 10.5);
            path.closeSubpath();
            p.drawPath(path);
        } else {
            for (const qreal x : {4.0, 8.0, 12.0})
                p.drawEllipse(QPointF(x, 10.5), 1.2, 1.2);
        }
        icon.addPixmap(pm);
    }
    return icon;
}

}  // namespace Internal

namespace {

using Internal::kDateFormat;
using Internal::kDateTimeFormat;
using Internal::kEditorKindProperty;

constexpr char kDecimalsProperty[] = "qdDecimals";

EditorKind kindOf(const QWidget* editor) {
    const QVariant kind = editor->property(kEditorKindProperty);
    return kind.isValid() ? EditorKind(kind.toInt()) : EditorKind::Text;
}

// The earliest date stands for NULL in date edits (shown blank).
const QDate kNullDate(1900, 1, 1);

// A date edit that can be empty: NULL is its minimum, shown blank; opening the calendar on an
// empty date starts at today.
class NullableDateEdit : public QDateTimeEdit {
public:
    NullableDateEdit(bool withTime, QWidget* parent) : QDateTimeEdit(parent) {
        setCalendarPopup(true);
        setDisplayFormat(withTime ? kDateTimeFormat : kDateFormat);
        setMinimumDateTime(QDateTime(kNullDate, QTime(0, 0)));
        setSpecialValueText(QStringLiteral(" "));
        setDateTime(minimumDateTime());
    }
    bool isNull() const { return dateTime() == minimumDateTime(); }

protected:
    void mousePressEvent(QMouseEvent* e) override {
        if (isNull())
            setDateTime(QDateTime(QDate::currentDate(), QTime(0, 0)));
        QDateTimeEdit::mousePressEvent(e);
    }
    void keyPressEvent(QKeyEvent* e) override {
        // Delete or Backspace over the whole text empties the date.
        if ((e->key() == Qt::Key_Delete || e->key() == Qt::Key_Backspace) &&
            currentSectionIndex() >= 0 && lineEdit()->selectedText() == lineEdit()->text()) {
            setDateTime(minimumDateTime());
            return;
        }
        QDateTimeEdit::keyPressEvent(e);
    }
};

QLineEdit* makeNumberEdit(EditorKind kind, int decimals, QWidget* parent) {
    auto* edit = new QLineEdit(parent);
    edit->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    QString pattern = QStringLiteral("-?\\d{0,18}");
    if (kind == EditorKind::Decimal && decimals != 0)
        pattern += decimals > 0 ? QStringLiteral("(\\.\\d{0,%1})?").arg(decimals)
                                : QStringLiteral("(\\.\\d*)?");
    edit->setValidator(new QRegularExpressionValidator(QRegularExpression(pattern), edit));
    edit->setProperty(kDecimalsProperty, decimals);
    return edit;
}

QColor colorFromValue(const QVariant& v) {
    if (v.isNull())
        return QColor();
    if (v.typeId() == QMetaType::QColor)
        return v.value<QColor>();
    if (v.typeId() == QMetaType::QString && v.toString().startsWith(u'#'))
        return QColor(v.toString());
    bool ok = false;
    const qlonglong rgb = v.toLongLong(&ok);
    return ok ? QColor::fromRgb(QRgb(rgb & 0xFFFFFF)) : QColor();
}

}  // namespace

// ---- editors from props ----------------------------------------------------------------------

QWidget* createEditor(const EditorProps& props, QWidget* parent) {
    QWidget* editor = nullptr;
    switch (props.kind) {
        case EditorKind::LookupCombo:
        case EditorKind::LookupComboL2:
            editor = new LookupComboBox(props, parent);
            break;
        case EditorKind::Combo: {
            auto* combo = new QComboBox(parent);
            combo->setEditable(false);
            combo->addItems(props.items);
            combo->setCurrentIndex(-1);
            editor = combo;
            break;
        }
        case EditorKind::Money:
            editor = new CurrencyEdit(props.decimals, props.displayFormat, parent);
            break;
        case EditorKind::Integer:
        case EditorKind::Decimal:
            editor = makeNumberEdit(props.kind, props.decimals, parent);
            break;
        case EditorKind::Date:
        case EditorKind::DateTime:
            editor = new NullableDateEdit(props.kind == EditorKind::DateTime, parent);
            break;
        case EditorKind::Check:
            editor = new QCheckBox(parent);
            break;
        case EditorKind::Color:
            editor = new ColorEdit(parent);
            break;
        case EditorKind::Button:
        case EditorKind::File: {
            auto* edit = new ButtonEdit(parent);
            const bool pickFile = props.kind == EditorKind::File && !props.onButtonClick;
            QObject::connect(edit, &ButtonEdit::buttonClicked, edit, [edit, props, pickFile] {
                if (!pickFile) {
                    if (props.onButtonClick)
                        Internal::runHook(props.onButtonClick, edit);
                    return;
                }
                const QString file = prompter().openFileName(QStringLiteral("选择文件"),
                                                             QFileInfo(edit->text()).absolutePath(),
                                                             QStringLiteral("所有文件 (*)"));
                if (!file.isEmpty())
                    edit->setText(file);
            });
            editor = edit;
            break;
        }
        case EditorKind::Memo:
        case EditorKind::PopupMemo: {
            auto* memo = new QPlainTextEdit(parent);
            memo->setTabChangesFocus(true);
            memo->setReadOnly(props.kind == EditorKind::PopupMemo);
            editor = memo;
            break;
        }
        case EditorKind::RichText: {
            auto* rich = new QTextEdit(parent);
            rich->setTabChangesFocus(true);
            rich->setAcceptRichText(true);
            editor = rich;
            break;
        }
        case EditorKind::Text:
            editor = new QLineEdit(parent);
            break;
    }
    editor->setProperty(kEditorKindProperty, int(props.kind));
    return editor;
}

void setEditorValue(QWidget* editor, const QVariant& value) {
    if (auto* lookup = qobject_cast<LookupComboBox*>(editor)) {
        lookup->setKeyValue(value);
    } else if (auto* money = qobject_cast<CurrencyEdit*>(editor)) {
        money->setValue(value);
    } else if (auto* color = qobject_cast<ColorEdit*>(editor)) {
        color->setColor(colorFromValue(value));
    } else if (auto* check = qobject_cast<QCheckBox*>(editor)) {
        check->setChecked(Internal::isChecked(value));
    } else if (auto* combo = qobject_cast<QComboBox*>(editor)) {
        combo->setCurrentIndex(value.isNull() ? -1 : combo->findText(value.toString()));
    } else if (auto* date = qobject_cast<QDateTimeEdit*>(editor)) {
        const QDateTime v = Internal::toDateTime(value);
        date->setDateTime(v.isValid() && v >= date->minimumDateTime() ? v
                                                                      : date->minimumDateTime());
    } else if (auto* memo = qobject_cast<QPlainTextEdit*>(editor)) {
        memo->setPlainText(value.toString());
    } else if (auto* rich = qobject_cast<QTextEdit*>(editor)) {
        const QString text = value.toString();
        if (Qt::mightBeRichText(text))
            rich->setHtml(text);
        else
            rich->setPlainText(text);
    } else if (auto* edit = qobject_cast<QLineEdit*>(editor)) {
        const EditorKind kind = kindOf(editor);
        if (value.isNull())
            edit->clear();
        else if (kind == EditorKind::Integer)
            edit->setText(QString::number(value.toLongLong()));
        else if (kind == EditorKind::Decimal)
            edit->setText(formatNumber(value.toDouble(), QString(),
                                       edit->property(kDecimalsProperty).toInt()));
        else
            edit->setText(value.toString());
        edit->setCursorPosition(0);
    }
}

QVariant editorValue(QWidget* editor) {
    if (auto* lookup = qobject_cast<LookupComboBox*>(editor))
        return lookup->keyValue();
    if (auto* money = qobject_cast<CurrencyEdit*>(editor))
        return money->value();
    if (auto* color = qobject_cast<ColorEdit*>(editor))
        return color->color().isValid() ? QVariant(int(color->color().rgb() & 0xFFFFFF))
                                        : QVariant();
    if (auto* check = qobject_cast<QCheckBox*>(editor))
        return check->isChecked();
    if (auto* combo = qobject_cast<QComboBox*>(editor))
        return combo->currentIndex() < 0 ? QVariant() : QVariant(combo->currentText());
    if (auto* date = qobject_cast<QDateTimeEdit*>(editor)) {
        if (date->dateTime() == date->minimumDateTime())
            return QVariant();
        if (kindOf(editor) == EditorKind::Date)
            return date->date();
        const QDateTime dt = date->dateTime();
        return QDateTime(dt.date(), QTime(dt.time().hour(), dt.time().minute()));
    }
    if (auto* memo = qobject_cast<QPlainTextEdit*>(editor))
        return memo->toPlainText();
    if (auto* rich = qobject_cast<QTextEdit*>(editor))
        return rich->document()->isEmpty() ? QString() : rich->toHtml();
    if (auto* edit = qobject_cast<QLineEdit*>(editor)) {
        const QString text = edit->text().trimmed();
        switch (kindOf(editor)) {
            case EditorKind::Integer:
                return text.isEmpty() || text == u'-' ? QVariant() : QVariant(text.toLongLong());
            case EditorKind::Decimal:
                return text.isEmpty() || text == u'-' ? QVariant() : QVariant(text.toDouble());
            default:
                return edit->text();
        }
    }
    return QVariant();
}

void setEditorReadOnly(QWidget* editor, bool readOnly) {
    auto* edit = qobject_cast<QLineEdit*>(editor);
    if (!edit) {
        editor->setEnabled(!readOnly);
        return;
    }
    const QBrush base = readOnly && edit->parentWidget() ? edit->parentWidget()->palette().window()
                                                         : QApplication::palette(edit).base();
    edit->setReadOnly(readOnly);
    if (edit->palette().base() != base) {
        QPalette palette = edit->palette();
        palette.setBrush(QPalette::Base, base);
        edit->setPalette(palette);
    }
    for (QAction* button : edit->actions())
        button->setEnabled(!readOnly);
}

QString displayText(const EditorProps& props, const QVariant& value) {
    return Internal::oneLine(wholeText(props, value));
}

namespace {
// A value's text by the props, line breaks as stored.
QString textOf(const EditorProps& props, const QVariant& value) {
    if (props.shownText)
        return props.shownText(value);
    if (value.isNull())
        return QString();
    switch (props.kind) {
        case EditorKind::LookupCombo:
        case EditorKind::LookupComboL2:
            return Internal::lookupRowText(
                props.listSource, Internal::lookupRow(props.listSource, props.keyField, value),
                Internal::shownListFields(props), props.keyField);
        case EditorKind::Money:
            return formatNumber(value.toDouble(), props.displayFormat,
                                props.decimals < 0 ? 2 : props.decimals);
        case EditorKind::Decimal:
            return formatNumber(value.toDouble(), props.displayFormat, props.decimals);
        case EditorKind::Integer:
            return props.displayFormat.isEmpty()
                       ? QString::number(value.toLongLong())
                       : formatNumber(value.toDouble(), props.displayFormat, 0);
        case EditorKind::Date:
            return Internal::toDateTime(value).toString(kDateFormat);
        case EditorKind::DateTime:
            return Internal::toDateTime(value).toString(kDateTimeFormat);
        case EditorKind::Check:
        case EditorKind::Color:
            return QString();
        case EditorKind::RichText:
            return QTextDocumentFragment::fromHtml(value.toString()).toPlainText();
        default:
            return value.toString();
    }
}
}  // namespace

QString wholeText(const EditorProps& props, const QVariant& value) {
    QString text = textOf(props, value);
    if (text.contains(u'\r')) {
        text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
        text.replace(u'\r', u'\n');
    }
    return text;
}

// ---- MemoPopup -------------------------------------------------------------------------------

namespace {
constexpr int kMemoPopupLines = 10;
constexpr int kMemoPopupMinWidth = 320;
}  // namespace

MemoPopup::MemoPopup(QWidget* anchor)
    : QFrame(anchor, Qt::Popup), m_anchor(anchor), m_memo(new QPlainTextEdit(this)) {
    setObjectName(QStringLiteral("memoPopup"));
    setFrameShape(QFrame::Box);
    setLineWidth(1);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(1, 1, 1, 1);
    layout->addWidget(m_memo);
    m_memo->setObjectName(QStringLiteral("memo"));
    m_memo->setReadOnly(true);
    m_memo->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    m_memo->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    m_memo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_memo->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_memo->setFrameShape(QFrame::NoFrame);
    setFocusProxy(m_memo);
}

void MemoPopup::showText(const QString& text, const QRect& under) {
    m_memo->setFont(m_anchor->font());
    m_memo->setPlainText(text);
    const int lines = m_memo->fontMetrics().lineSpacing() * kMemoPopupLines;
    const QSize size(std::max(under.width(), kMemoPopupMinWidth),
                     lines + 2 * int(m_memo->document()->documentMargin()) + 2 * frameWidth() + 2);
    setGeometry(QRect(Internal::dropDownPosition(m_anchor, under, size), size));
    show();
    m_memo->moveCursor(QTextCursor::Start);
    m_memo->setFocus(Qt::PopupFocusReason);
}

QString MemoPopup::text() const {
    return m_memo->toPlainText();
}

// ---- ButtonEdit ------------------------------------------------------------------------------

ButtonEdit::ButtonEdit(QWidget* parent) : QLineEdit(parent) {
    QAction* button =
        addAction(Internal::glyphIcon(Internal::Glyph::Ellipsis, palette().color(QPalette::Text)),
                  QLineEdit::TrailingPosition);
    button->setObjectName(QStringLiteral("ellipsisButton"));
    connect(button, &QAction::triggered, this, &ButtonEdit::buttonClicked);
}

// ---- CurrencyEdit ----------------------------------------------------------------------------

CurrencyEdit::CurrencyEdit(int decimals, const QString& displayFormat, QWidget* parent)
    : QLineEdit(parent), m_decimals(decimals < 0 ? 2 : decimals), m_format(displayFormat) {
    setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    // Grouping commas are allowed: the display form is what the edit holds until focused.
    QString pattern = QStringLiteral("-?[\\d,]{0,24}");
    if (m_decimals > 0)
        pattern += QStringLiteral("(\\.\\d{0,%1})?").arg(m_decimals);
    setValidator(new QRegularExpressionValidator(QRegularExpression(pattern), this));
}

QVariant CurrencyEdit::value() const {
    QString digits;
    for (const QChar c : text())
        if (c.isDigit() || c == u'-' || c == u'.')
            digits += c;
    bool ok = false;
    const double v = digits.toDouble(&ok);
    if (!ok)
        return QVariant();
    // Rounded in decimal, as it is shown.
    return formatNumber(v, QString(), m_decimals).toDouble();
}

void CurrencyEdit::setValue(const QVariant& v) {
    bool ok = false;
    const double x = v.toDouble(&ok);
    if (v.isNull() || !ok)
        clear();
    else
        setText(formatNumber(x, hasFocus() ? QString() : m_format, m_decimals));
}

void CurrencyEdit::focusInEvent(QFocusEvent* e) {
    if (e->reason() != Qt::PopupFocusReason) {
        const QVariant v = value();
        setText(v.isNull() ? QString() : formatNumber(v.toDouble(), QString(), m_decimals));
    }
    QLineEdit::focusInEvent(e);
}

void CurrencyEdit::focusOutEvent(QFocusEvent* e) {
    QLineEdit::focusOutEvent(e);
    if (e->reason() != Qt::PopupFocusReason) {
        const QVariant v = value();
        setText(v.isNull() ? QString() : formatNumber(v.toDouble(), m_format, m_decimals));
    }
}

// ---- ColorEdit -------------------------------------------------------------------------------

namespace {

struct StandardColor {
    QRgb rgb;
    const char* name;
};

// Five rows of eight, dark to light.
constexpr StandardColor kStandardColors[] = {
    {0x000000, "黑色"},   {0x993300, "褐色"}, {0x333300, "橄榄绿"}, {0x003300, "深绿"},
    {0x003366, "深青"},   {0x000080, "深蓝"}, {0x333399, "靛蓝"},   {0x333333, "深灰"},
    {0x800000, "深红"},   {0xFF6600, "橙色"}, {0x808000, "深黄"},   {0x008000, "绿色"},
    {0x008080, "青色"},   {0x0000FF, "蓝色"}, {0x666699, "蓝灰"},   {0x808080, "灰色"},
    {0xFF0000, "红色"},   {0xFF9900, "浅橙"}, {0x99CC00, "酸橙"},   {0x339966, "海绿"},
    {0x33CCCC, "水绿"},   {0x3366FF, "浅蓝"}, {0x800080, "紫色"},   {0x969696, "中灰"},
    {0xFF00FF, "粉红"},   {0xFFCC00, "金色"}, {0xFFFF00, "黄色"},   {0x00FF00, "鲜绿"},
    {0x00FFFF, "青绿"},   {0x00CCFF, "天蓝"}, {0x993366, "梅红"},   {0xC0C0C0, "浅灰"},
    {0xFF99CC, "玫瑰红"}, {0xFFCC99, "茶色"}, {0xFFFF99, "浅黄"},   {0xCCFFCC, "浅绿"},
    {0xCCFFFF, "浅青绿"}, {0x99CCFF, "淡蓝"}, {0xCC99FF, "淡紫"},   {0xFFFFFF, "白色"},
};
constexpr int kPaletteColumns = 8;

QString colorName(const QColor& c) {
    if (!c.isValid())
        return QStringLiteral("无");
    for (const StandardColor& s : kStandardColors)
        if ((c.rgb() & 0xFFFFFF) == s.rgb)
            return QString::fromUtf8(s.name);
    return c.name(QColor::HexRgb).toUpper();
}

QIcon swatchIcon(const QColor& c, QSize size) {
    QPixmap pm(size * 2);
    pm.setDevicePixelRatio(2);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    const QRectF r(0.5, 0.5, size.width() - 1, size.height() - 1);
    if (c.isValid()) {
        p.fillRect(r, c);
    } else {
        p.setPen(QPen(QColor(0xC0, 0x30, 0x30), 1));
        p.drawLine(r.bottomLeft(), r.topRight());
    }
    p.setPen(QColor(0x80, 0x80, 0x80));
    p.drawRect(r);
    return QIcon(pm);
}

}  // namespace

ColorEdit::ColorEdit(QWidget* parent) : QWidget(parent) {
    // Framed like an edit: the swatch with the colour's name, and a drop-down arrow.
    auto* frame = new QFrame(this);
    frame->setObjectName(QStringLiteral("colorFrame"));
    frame->setFrameShape(QFrame::StyledPanel);
    frame->setFrameShadow(QFrame::Sunken);
    frame->setAutoFillBackground(true);
    frame->setBackgroundRole(QPalette::Base);
    m_button = new QToolButton(frame);
    m_button->setObjectName(QStringLiteral("colorButton"));
    m_button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    m_button->setIconSize(QSize(28, 14));
    m_button->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    m_button->setStyleSheet(
        QStringLiteral("QToolButton { border: none; background: transparent; text-align: left;"
                       " padding: 1px 3px; }"));
    auto* arrow = new QToolButton(frame);
    arrow->setObjectName(QStringLiteral("colorDropDown"));
    arrow->setIcon(Internal::glyphIcon(Internal::Glyph::DropDown, palette().color(QPalette::Text)));
    arrow->setStyleSheet(
        QStringLiteral("QToolButton { border: none; background: transparent; padding: 1px; }"));
    auto* inner = new QHBoxLayout(frame);
    inner->setContentsMargins(1, 1, 1, 1);
    inner->setSpacing(0);
    inner->addWidget(m_button, 1);
    inner->addWidget(arrow);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(frame);
    setFocusProxy(m_button);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    connect(m_button, &QToolButton::clicked, this, &ColorEdit::showPopup);
    connect(arrow, &QToolButton::clicked, this, &ColorEdit::showPopup);
    m_button->setIcon(swatchIcon(m_color, m_button->iconSize()));
    m_button->setText(colorName(m_color));
}

QColor ColorEdit::color() const {
    return m_color;
}

void ColorEdit::setColor(const QColor& c) {
    const QColor value = c.isValid() ? QColor(c.rgb() | 0xFF000000) : QColor();
    if (value == m_color)
        return;
    m_color = value;
    m_button->setIcon(swatchIcon(m_color, m_button->iconSize()));
    m_button->setText(colorName(m_color));
    Q_EMIT colorChanged(m_color);
}

QWidget* ColorEdit::popup() const {
    if (m_popup)
        return m_popup;
    auto* self = const_cast<ColorEdit*>(this);
    m_popup = new QFrame(self, Qt::Popup | Qt::FramelessWindowHint);
    m_popup->setObjectName(QStringLiteral("colorPopup"));
    m_popup->setFrameShape(QFrame::Box);
    auto* grid = new QGridLayout(m_popup);
    grid->setContentsMargins(6, 6, 6, 6);
    grid->setSpacing(3);
    int i = 0;
    for (const StandardColor& s : kStandardColors) {
        auto* cell = new QToolButton(m_popup);
        cell->setObjectName(QStringLiteral("colorCell"));
        const QColor c = QColor::fromRgb(s.rgb);
        cell->setProperty("color", c);
        cell->setToolTip(QString::fromUtf8(s.name));
        cell->setIcon(swatchIcon(c, QSize(14, 14)));
        cell->setIconSize(QSize(14, 14));
        cell->setAutoRaise(true);
        connect(cell, &QToolButton::clicked, self, [self, c] {
            self->hidePopup();
            self->setColor(c);
        });
        grid->addWidget(cell, i / kPaletteColumns, i % kPaletteColumns);
        ++i;
    }
    auto* more = new QPushButton(QStringLiteral("其他颜色…"), m_popup);
    more->setObjectName(QStringLiteral("moreColors"));
    more->setFlat(true);
    connect(more, &QPushButton::clicked, self, [self] {
        self->hidePopup();
        QColorDialog dialog(self->m_color.isValid() ? self->m_color : QColor(Qt::white), self);
        dialog.setWindowTitle(QStringLiteral("颜色"));
        if (prompter().exec(dialog) == QDialog::Accepted)
            self->setColor(dialog.currentColor());
    });
    grid->addWidget(more, i / kPaletteColumns + 1, 0, 1, kPaletteColumns);
    return m_popup;
}

void ColorEdit::showPopup() {
    QWidget* p = popup();
    p->adjustSize();
    p->move(Internal::dropDownPosition(this, rect(), p->size()));
    p->show();
}

void ColorEdit::hidePopup() {
    if (m_popup)
        m_popup->hide();
}

void onEditorChanged(QWidget* editor, QObject* context, const std::function<void()>& changed) {
    if (auto* lookup = qobject_cast<LookupComboBox*>(editor))
        QObject::connect(lookup, &LookupComboBox::editValueChanged, context, changed);
    else if (auto* color = qobject_cast<ColorEdit*>(editor))
        QObject::connect(color, &ColorEdit::colorChanged, context, changed);
    else if (auto* check = qobject_cast<QCheckBox*>(editor))
        QObject::connect(check, &QCheckBox::toggled, context, changed);
    else if (auto* combo = qobject_cast<QComboBox*>(editor))
        QObject::connect(combo, &QComboBox::currentIndexChanged, context, changed);
    else if (auto* memo = qobject_cast<QPlainTextEdit*>(editor))
        QObject::connect(memo, &QPlainTextEdit::textChanged, context, changed);
    else if (auto* edit = qobject_cast<QLineEdit*>(editor))
        QObject::connect(edit, &QLineEdit::editingFinished, context, changed);
    else if (auto* date = qobject_cast<QDateTimeEdit*>(editor))
        QObject::connect(date, &QDateTimeEdit::editingFinished, context, changed);
}

// ---- FieldBinding ------------------------------------------------------------------------------

FieldBinding::FieldBinding(Db::RecordSet* rs, const QString& field, QWidget* editor)
    : QObject(editor), m_rs(rs), m_field(field), m_editor(editor) {
    m_rs->addObserver(this);
    onEditorChanged(editor, this, [this] { write(); });
    refresh();
}

FieldBinding::~FieldBinding() {
    if (m_rs)
        m_rs->removeObserver(this);
}

void FieldBinding::refresh() {
    if (!m_rs || m_writing)
        return;
    const bool has = m_rs->active() && !m_rs->isEmpty() && m_rs->hasField(m_field);
    const QVariant value = has ? m_rs->field(m_field).value() : QVariant();
    // Set only when it differs: a memo lays its whole text out again when set.
    if (editorValue(m_editor) == value)
        return;
    QScopedValueRollback guard(m_showing, true);
    setEditorValue(m_editor, value);
}

void FieldBinding::write() {
    if (!m_rs || m_showing || !m_rs->active() || !m_rs->hasField(m_field))
        return;
    QScopedValueRollback guard(m_writing, true);
    const QVariant value = editorValue(m_editor);
    if (m_rs->field(m_field).value() == value)
        return;
    // Typing into a record that is only shown starts editing it.
    Sys::dispatch([&] {
        if (m_rs->state() == Db::DataSetState::Browse)
            m_rs->edit();
        m_rs->field(m_field).setValue(value);
    });
}

// Inside a reset (which may hold a closing, new rows and an opening) the editor waits for its
// end and shows the outcome once.
void FieldBinding::beginReset() {
    ++m_resetDepth;
}
void FieldBinding::endReset() {
    if (m_resetDepth > 0)
        --m_resetDepth;
    if (m_resetDepth == 0)
        refresh();
}
void FieldBinding::rowChanged(int pos) {
    if (m_resetDepth == 0 && m_rs && pos == m_rs->recNo())  // other rows are not shown
        refresh();
}
void FieldBinding::currentChanged(int) {
    if (m_resetDepth == 0)
        refresh();
}
void FieldBinding::stateChanged(Db::DataSetState) {
    if (m_resetDepth == 0)
        refresh();
}
void FieldBinding::recordSetDestroyed() {
    m_rs = nullptr;
}

}  // namespace Qd::Core::Ui
