// The delegate of grid views: the column of a cell gives its editor and display text.

#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QSignalBlocker>
#include <QTextDocument>
#include <QToolTip>

#include "ui/editors/Editors.h"
#include "ui/editors/EditorsInternal.h"

namespace Qd::Core::Ui {

namespace {

QString fieldNameOf(const QModelIndex& index) {
    return index.model()
        ->headerData(index.column(), Qt::Horizontal, Db::RecordSetModel::FieldNameRole)
        .toString();
}

const GridColumn* columnOf(const GridView* view, const QModelIndex& index) {
    if (!view || !index.isValid())
        return nullptr;
    const QString field = fieldNameOf(index);
    return field.isEmpty() ? nullptr : view->columnByField(field);
}

// What a cell is edited and shown with. `inferred` tells that the kind came from the field's
// type rather than from the column.
EditorProps propsOf(const GridView* view, const QModelIndex& index, bool* inferred = nullptr) {
    const GridColumn* column = columnOf(view, index);
    EditorProps props = column ? column->props : EditorProps();
    const Db::RecordSet* rs = view ? view->recordSet() : nullptr;
    const int field = rs && index.isValid() ? rs->fieldIndex(fieldNameOf(index)) : -1;
    const EditorKind declared = props.kind;
    if (field >= 0)
        props.kind = Internal::kindForField(props.kind, rs->fieldDef(field).type);
    if (inferred)
        *inferred = props.kind != declared;
    return props;
}

QStyle* styleOf(const QStyleOptionViewItem& option) {
    return option.widget ? option.widget->style() : QApplication::style();
}

QRect checkRect(const QStyleOptionViewItem& option) {
    QStyle* style = styleOf(option);
    const QSize size(style->pixelMetric(QStyle::PM_IndicatorWidth, &option, option.widget),
                     style->pixelMetric(QStyle::PM_IndicatorHeight, &option, option.widget));
    return QStyle::alignedRect(option.direction, Qt::AlignCenter, size, option.rect);
}

// The drop-down button at the right end of a PopupMemo cell.
QRect memoButtonRect(const QRect& cell) {
    constexpr int kButtonWidth = 16;
    return QRect(cell.right() - kButtonWidth + 1, cell.top(), kButtonWidth, cell.height());
}

// A tooltip longer than this is cut (the drop-down memo shows any length).
constexpr int kMaxToolTipLength = 2000;

// How a cell with a note is marked.
const QColor kMarkedColor(0x1f, 0x5f, 0xbf);
const QBrush kMarkedGround(QColor(0xdc, 0xe8, 0xfb));

}  // namespace

ColumnDelegate::ColumnDelegate(GridView* view) : QStyledItemDelegate(view), m_view(view) {}

QWidget* ColumnDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem&,
                                      const QModelIndex& index) const {
    const GridColumn* column = columnOf(m_view, index);
    if (column && !column->editing)
        return nullptr;
    const Db::RecordSet* rs = m_view ? m_view->recordSet() : nullptr;
    if ((rs && rs->readOnly()) || !(index.flags() & Qt::ItemIsEditable))
        return nullptr;
    const EditorProps props = propsOf(m_view, index);
    // Check boxes change in place (editorEvent); an editor over one would only hide it. A
    // drop-down memo is for reading (GridView::showMemoPopup).
    if (props.kind == EditorKind::Check || props.kind == EditorKind::PopupMemo)
        return nullptr;

    QWidget* editor = Ui::createEditor(props, parent);
    editor->setAutoFillBackground(true);
    // Text stops at the field's declared width, which the database would refuse beyond.
    if (auto* line = qobject_cast<QLineEdit*>(editor);
        line && rs && props.kind == EditorKind::Text && index.column() < rs->fieldCount())
        if (const int width = rs->fieldDef(index.column()).size; width > 0)
            line->setMaxLength(width);
    auto* self = const_cast<ColumnDelegate*>(this);
    // Choices made in a drop-down reach the record at once, as a click on a check box does.
    if (auto* lookup = qobject_cast<LookupComboBox*>(editor))
        connect(lookup, &LookupComboBox::editValueChanged, self,
                [self, editor] { Q_EMIT self->commitData(editor); });
    else if (auto* color = qobject_cast<ColorEdit*>(editor))
        connect(color, &ColorEdit::colorChanged, self,
                [self, editor] { Q_EMIT self->commitData(editor); });
    else if (auto* combo = qobject_cast<QComboBox*>(editor))
        connect(combo, &QComboBox::activated, self,
                [self, editor] { Q_EMIT self->commitData(editor); });
    return editor;
}

void ColumnDelegate::setEditorData(QWidget* editor, const QModelIndex& index) const {
    const QSignalBlocker quiet(editor);
    setEditorValue(editor, index.data(Qt::EditRole));
}

void ColumnDelegate::setModelData(QWidget* editor, QAbstractItemModel* model,
                                  const QModelIndex& index) const {
    const QVariant value = editorValue(editor);
    // An unchanged value must not put the record into edit state.
    if (Internal::sameValue(value, index.data(Qt::EditRole)))
        return;
    model->setData(index, value, Qt::EditRole);
}

QString ColumnDelegate::displayText(const QVariant& value, const QLocale& locale) const {
    switch (value.typeId()) {
        case QMetaType::QDate:
            return value.toDate().toString(Internal::kDateFormat);
        case QMetaType::QDateTime: {
            const QDateTime dt = value.toDateTime();
            return dt.toString(dt.time() == QTime(0, 0) ? Internal::kDateFormat
                                                        : Internal::kDateTimeFormat);
        }
        case QMetaType::Bool:
            return QString();
        case QMetaType::Double:
            return formatNumber(value.toDouble(), QString(), -1);
        default:
            return QStyledItemDelegate::displayText(value, locale);
    }
}

void ColumnDelegate::initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const {
    QStyledItemDelegate::initStyleOption(option, index);
    if (index.data(GroupRowRole).toBool()) {
        option->text.clear();  // the view draws the group's text across the row
        option->features &= ~QStyleOptionViewItem::HasCheckIndicator;
        return;
    }
    if (m_view) {
        const RowStyle row = m_view->rowStyle(m_view->recordAt(index.row()));
        if (row.bold)
            option->font.setBold(true);
        if (row.color.isValid())
            option->palette.setColor(QPalette::Text, row.color);
    }
    if (!cellNote(index).isEmpty()) {
        option->font.setBold(true);
        option->palette.setColor(QPalette::Text, kMarkedColor);
        option->backgroundBrush = kMarkedGround;
    }
    switch (propsOf(m_view, index).kind) {
        case EditorKind::Check:
        case EditorKind::Color:
            option->text.clear();
            option->features &= ~QStyleOptionViewItem::HasCheckIndicator;
            option->displayAlignment = Qt::AlignCenter;
            return;
        case EditorKind::Text:
            break;  // the record set's own alignment
        case EditorKind::Money:
        case EditorKind::Integer:
        case EditorKind::Decimal:
            option->displayAlignment = Qt::AlignRight | Qt::AlignVCenter;
            break;
        default:
            // A lookup over an integer key shows text, not the number the field holds.
            option->displayAlignment = Qt::AlignLeft | Qt::AlignVCenter;
            break;
    }
    option->text = Internal::oneLine(wholeText(index));
}

QString ColumnDelegate::cellNote(const QModelIndex& index) const {
    const GridColumn* column = columnOf(m_view, index);
    const int record = m_view ? m_view->recordAt(index.row()) : -1;
    return column && column->props.cellNote && record >= 0 ? column->props.cellNote(record)
                                                           : QString();
}

QString ColumnDelegate::wholeText(const QModelIndex& index) const {
    bool inferred = false;
    EditorProps props = propsOf(m_view, index, &inferred);
    if (props.kind == EditorKind::Text && !props.shownText)
        return Ui::wholeText(props, index.data(Qt::DisplayRole));  // the record set's own text
    const QVariant value = index.data(Qt::EditRole);
    // Date-time fields shown without a column kind: dates alone when they carry no time.
    if (inferred && props.kind == EditorKind::DateTime &&
        Internal::toDateTime(value).time() == QTime(0, 0))
        props.kind = EditorKind::Date;
    return Ui::wholeText(props, value);
}

bool ColumnDelegate::helpEvent(QHelpEvent* event, QAbstractItemView* view,
                               const QStyleOptionViewItem& option, const QModelIndex& index) {
    if (event->type() != QEvent::ToolTip || !index.isValid() ||
        index.data(Qt::ToolTipRole).isValid())
        return QStyledItemDelegate::helpEvent(event, view, option, index);
    if (const QString note = cellNote(index); !note.isEmpty()) {
        QToolTip::showText(event->globalPos(), note, view->viewport(), view->visualRect(index));
        return true;
    }
    QStyleOptionViewItem opt(option);
    initStyleOption(&opt, index);
    if (propsOf(m_view, index).kind == EditorKind::PopupMemo)
        opt.rect.setRight(memoButtonRect(opt.rect).left() - 1);
    QStyle* style = styleOf(opt);
    const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, opt.widget) + 1;
    const int room =
        style->subElementRect(QStyle::SE_ItemViewItemText, &opt, opt.widget).width() - 2 * margin;
    QString whole = wholeText(index);
    const bool cut = opt.fontMetrics.horizontalAdvance(opt.text) > room;
    if (whole.isEmpty() || (!cut && !whole.contains(u'\n'))) {
        QToolTip::hideText();
        return true;
    }
    if (whole.size() > kMaxToolTipLength)
        whole = whole.left(kMaxToolTipLength) + QStringLiteral("…");
    // As rich text, so that a long tip wraps and markup in the value shows as typed.
    QToolTip::showText(event->globalPos(), Qt::convertFromPlainText(whole, Qt::WhiteSpaceNormal),
                       view->viewport(), view->visualRect(index));
    return true;
}

void ColumnDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                           const QModelIndex& index) const {
    // Lookup keys the lists have not fetched yet are fetched after the paint, all at once.
    const Internal::DeferLookupKeys deferKeys(m_view ? m_view->viewport() : nullptr, index);
    const EditorKind kind = propsOf(m_view, index).kind;
    if ((kind != EditorKind::Check && kind != EditorKind::Color && kind != EditorKind::PopupMemo) ||
        index.data(GroupRowRole).toBool()) {
        QStyledItemDelegate::paint(painter, option, index);
        return;
    }
    QStyleOptionViewItem opt(option);
    initStyleOption(&opt, index);
    QStyle* style = styleOf(opt);
    if (kind == EditorKind::PopupMemo) {
        // The text left of a drop-down button, cut with an ellipsis before it.
        QStyleOptionViewItem background(opt);
        background.text.clear();
        style->drawControl(QStyle::CE_ItemViewItem, &background, painter, opt.widget);
        const QRect button = memoButtonRect(opt.rect);
        QStyleOptionViewItem text(opt);
        text.rect.setRight(button.left() - 1);
        text.state &= ~QStyle::State_HasFocus;
        text.backgroundBrush = Qt::NoBrush;
        style->drawControl(QStyle::CE_ItemViewItem, &text, painter, opt.widget);
        const bool selected = opt.state & QStyle::State_Selected;
        Internal::glyphIcon(
            Internal::Glyph::DropDown,
            opt.palette.color(selected ? QPalette::HighlightedText : QPalette::Text))
            .paint(painter, button);
        return;
    }
    style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, opt.widget);  // background
    const QVariant value = index.data(Qt::EditRole);
    if (kind == EditorKind::Check) {
        QStyleOptionViewItem check(opt);
        check.rect = checkRect(opt);
        check.state &= ~QStyle::State_HasFocus;
        check.state |= Internal::isChecked(value) ? QStyle::State_On : QStyle::State_Off;
        style->drawPrimitive(QStyle::PE_IndicatorItemViewItemCheck, &check, painter, opt.widget);
        return;
    }
    QColor color;
    bool ok = false;
    const qlonglong rgb = value.toLongLong(&ok);
    if (value.isNull() || !ok)
        return;
    color = QColor::fromRgb(QRgb(rgb & 0xFFFFFF));
    const QRect swatch = opt.rect.adjusted(4, 3, -4, -3);
    painter->save();
    painter->fillRect(swatch, color);
    painter->setPen(QColor(0x80, 0x80, 0x80));
    painter->drawRect(swatch.adjusted(0, 0, -1, -1));
    painter->restore();
}

bool ColumnDelegate::editorEvent(QEvent* event, QAbstractItemModel* model,
                                 const QStyleOptionViewItem& option, const QModelIndex& index) {
    if (propsOf(m_view, index).kind != EditorKind::Check)
        return QStyledItemDelegate::editorEvent(event, model, option, index);
    const GridColumn* column = columnOf(m_view, index);
    const bool editable = (index.flags() & Qt::ItemIsEditable) && (!column || column->editing);
    const auto toggle = [&] {
        if (editable)
            model->setData(index, !Internal::isChecked(index.data(Qt::EditRole)), Qt::EditRole);
        return true;
    };
    switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick:
        case QEvent::MouseButtonRelease: {
            const auto* mouse = static_cast<QMouseEvent*>(event);
            QStyleOptionViewItem opt(option);
            initStyleOption(&opt, index);
            const bool onBox =
                mouse->button() == Qt::LeftButton &&
                checkRect(opt).adjusted(-3, -3, 3, 3).contains(mouse->position().toPoint());
            if (!onBox)
                return false;
            // Press and double click are taken so that no editor opens over the box.
            return event->type() == QEvent::MouseButtonRelease ? toggle() : true;
        }
        case QEvent::KeyPress: {
            const int key = static_cast<QKeyEvent*>(event)->key();
            return key == Qt::Key_Space || key == Qt::Key_Select ? toggle() : false;
        }
        default:
            return false;
    }
}

}  // namespace Qd::Core::Ui
