#pragma once

// Editors of the widget kit, for grid cells and for form fields alike, and the delegate that
// puts them into grid views. What each editor does is described by EditorProps (grid/Grid.h).

#include <QComboBox>
#include <QFrame>
#include <QLineEdit>
#include <QStyledItemDelegate>
#include <array>
#include <string>

#include "ui/grid/Grid.h"

class QLabel;
class QPlainTextEdit;
class QTableView;
class QTimer;
class QToolButton;

namespace Qd::Core::Ui {

// Creates the editor the props ask for (a plain line edit for Text).
QWidget* createEditor(const EditorProps& props, QWidget* parent);
// Puts a value into / takes it out of an editor made by createEditor (typed: the key value for
// lookups, a double for money, a QDate/QDateTime for dates, a bool for checks, a colour as
// integer RGB, text otherwise).
void setEditorValue(QWidget* editor, const QVariant& value);
QVariant editorValue(QWidget* editor);
// The text a cell shows for a value, on one line: the props' shownText when set, else a lookup's
// list field for its key, money in its display format, dates in the client's format, a memo's
// plain text, empty for NULL.
QString displayText(const EditorProps& props, const QVariant& value);
// The same text whole, its line breaks kept (as "\n"): what a cell's tooltip and drop-down
// memo show.
QString wholeText(const EditorProps& props, const QVariant& value);
// Switches an editor made by createEditor (or a lookup box) between read-only and editable. A
// line edit stays selectable and turns the grey of the window behind it, so that a shown record
// does not look open for typing (a button edit's button does nothing meanwhile); any other
// editor is disabled.
void setEditorReadOnly(QWidget* editor, bool readOnly);
// Calls `changed` (in `context`) whenever the user changes the editor's value: a line edit when
// its editing ends, a memo as it is typed, a choice, a check, a colour or a lookup when made.
void onEditorChanged(QWidget* editor, QObject* context, const std::function<void()>& changed);

// A number in a display format of the kind "#,##0.00", "0.0000", "0.##" (grouping with ",",
// required digits "0", optional digits "#"); plain when the format is empty (then `decimals`
// places when not negative).
QString formatNumber(double value, const QString& displayFormat, int decimals = -1);

// A display format read once, for formatting many numbers (an export's cells): the texts of
// formatNumber, appended as UTF-8 without allocating. `plain` keeps only the digits, the point
// and a minus sign (no grouping, no literals, no section of its own for negatives), for files
// that other programs read back.
class NumberFormatter {
public:
    explicit NumberFormatter(const QString& displayFormat = {}, int decimals = -1,
                             bool plain = false);
    void append(double value, std::string& out) const;
    QString text(double value) const;

    // One section of a display format: literal text around the digit placeholders.
    struct Pattern {
        std::string prefix;
        std::string suffix;
        int minInt = 1;  // integer digits always written ("0" placeholders left of the point)
        int minDec = 0;  // decimals always written
        int maxDec = 0;  // decimals written when not zero ("0" and "#" right of the point)
        bool grouping = false;
        bool empty = false;  // the section's text is empty (taken as absent)
    };

private:
    std::array<Pattern, 3> m_sections;  // positive; negative; zero
    int m_count = 1;
};

// A lookup combo box: the edited value is a key of the list rows; the box shows the list
// field(s) of that row; its drop-down is a grid of the drop-down columns over the list source.
class LookupComboBox : public QWidget {
    Q_OBJECT
public:
    explicit LookupComboBox(const EditorProps& props, QWidget* parent = nullptr);
    // Another list, key, shown fields and drop-down columns; the key value is kept.
    void setProps(const EditorProps& props);
    QVariant keyValue() const;
    void setKeyValue(const QVariant& key);
    QString text() const;  // the displayed list text, empty when no row is chosen
    Db::RecordSet* listSource() const;
    void showPopup();
    void hidePopup();
    bool popupVisible() const;
    QTableView* popupView() const;
    // Chooses the list row at `row` as a click in the drop-down would.
    void choose(int row);
    void clear();

Q_SIGNALS:
    void editValueChanged();

private:
    struct Impl;
    std::shared_ptr<Impl> d;
};

// A text with an ellipsis button at its end.
class ButtonEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit ButtonEdit(QWidget* parent = nullptr);
Q_SIGNALS:
    void buttonClicked();
};

// A number edit for money: fixed decimals, display format when not focused.
class CurrencyEdit : public QLineEdit {
    Q_OBJECT
public:
    CurrencyEdit(int decimals, const QString& displayFormat, QWidget* parent = nullptr);
    QVariant value() const;  // null when empty
    void setValue(const QVariant& v);

protected:
    // Focused it holds the plain number; otherwise the display form.
    void focusInEvent(QFocusEvent* e) override;
    void focusOutEvent(QFocusEvent* e) override;

private:
    int m_decimals;
    QString m_format;
};

// A colour chooser: a swatch button with a drop-down of standard colours.
class ColorEdit : public QWidget {
    Q_OBJECT
public:
    explicit ColorEdit(QWidget* parent = nullptr);
    QColor color() const;
    void setColor(const QColor& c);
    // The palette: 40 standard colours and "其他颜色…" (a colour dialog run by the prompter).
    void showPopup();
    void hidePopup();
    QWidget* popup() const;
Q_SIGNALS:
    void colorChanged(const QColor& c);

private:
    QColor m_color;
    QToolButton* m_button = nullptr;    // owned by the widget tree
    mutable QFrame* m_popup = nullptr;  // child window, made on first use
};

// The drop-down of a PopupMemo cell: a read-only, selectable text with a vertical scroll bar in
// a popup window; Escape or a click outside closes it. Owned by its anchor widget.
class MemoPopup : public QFrame {
    Q_OBJECT
public:
    explicit MemoPopup(QWidget* anchor);
    // Shows `text` under the rectangle `under` of the anchor (in its coordinates), at least as
    // wide as it, scrolled to the top.
    void showText(const QString& text, const QRect& under);
    QString text() const;
    QPlainTextEdit* memo() const { return m_memo; }

private:
    QWidget* m_anchor;       // not owned: the parent
    QPlainTextEdit* m_memo;  // owned by the widget tree
};

// The delegate of grid views: editors, display text and check boxes from the columns' props.
class ColumnDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    explicit ColumnDelegate(GridView* view);

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override;
    void setEditorData(QWidget* editor, const QModelIndex& index) const override;
    void setModelData(QWidget* editor, QAbstractItemModel* model,
                      const QModelIndex& index) const override;
    QString displayText(const QVariant& value, const QLocale& locale) const override;
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override;
    // Check boxes are painted centred and toggled by a click on them; colours as swatches.
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    bool editorEvent(QEvent* event, QAbstractItemModel* model, const QStyleOptionViewItem& option,
                     const QModelIndex& index) override;
    // A cell whose text is cut or has line breaks shows the whole text as its tooltip.
    bool helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                   const QModelIndex& index) override;

    // The whole text of a cell, line breaks kept; empty for check and colour cells.
    QString wholeText(const QModelIndex& index) const;
    // The column's note on a cell (EditorProps::cellNote); empty for none.
    QString cellNote(const QModelIndex& index) const;

private:
    GridView* m_view;  // not owned
};

// A transient notice in the corner of its parent window: caption, text and a close button;
// it closes itself after `ms` milliseconds.
class AlertWindow : public QWidget {
    Q_OBJECT
public:
    static AlertWindow* showAlert(QWidget* parent, const QString& caption, const QString& text,
                                  int ms = 3000);
    AlertWindow(QWidget* parent, const QString& caption, const QString& text, int ms);
    QString caption() const;
    QString text() const;

private:
    QLabel* m_caption;  // owned by the widget tree
    QLabel* m_text;     // owned by the widget tree
    QTimer* m_timer;    // child
};

// Keeps an editor made by createEditor showing one field of a record set's current record, and
// writes what the user enters back into that field, starting an edit of the record first when
// it is only shown (automatic edit). Owned by the editor; the record set must outlive it or
// tell it of its destruction.
class FieldBinding : public QObject, public Db::RecordSetObserver {
    Q_OBJECT
public:
    FieldBinding(Db::RecordSet* rs, const QString& field, QWidget* editor);
    ~FieldBinding() override;
    // Shows the field's value of the current record (empty when there is none).
    void refresh();

    void beginReset() override;
    void endReset() override;
    void rowChanged(int pos) override;
    void currentChanged(int pos) override;
    void stateChanged(Db::DataSetState state) override;
    void recordSetDestroyed() override;

private:
    void write();

    Db::RecordSet* m_rs;  // not owned
    QString m_field;
    QWidget* m_editor;  // the parent
    bool m_showing = false;
    bool m_writing = false;
    int m_resetDepth = 0;  // resets begun and not yet ended
};

// A vertical property grid: one row per property, its caption on the left and its editor on
// the right. valueChanged tells of what the user changed (a line edit when its editing ends, a
// memo as it is typed, a choice, a check or a colour when made), never of setValue.
class PropertyGrid : public QWidget {
    Q_OBJECT
public:
    explicit PropertyGrid(QWidget* parent = nullptr);
    ~PropertyGrid() override;
    // The width and alignment of the captions of rows added from now on (110 px, left aligned).
    void setCaptionLayout(int width, Qt::Alignment alignment);
    // The height of one-line rows added from now on (at least 24 px by default, or what the
    // editor needs); memo rows keep their own height.
    void setRowHeight(int height);
    // Adds a row and returns its editor (made by createEditor).
    QWidget* addRow(const QString& name, const QString& caption, const EditorProps& props);
    // Adds a heading: a bold text across the whole width, not a property.
    void addHeading(const QString& text);
    QWidget* editor(const QString& name) const;
    QStringList names() const;
    QVariant value(const QString& name) const;
    void setValue(const QString& name, const QVariant& value);
    // A read-only row shows its value greyed and the user cannot change it; setValue still
    // does.
    void setReadOnly(const QString& name, bool readOnly);
    bool isReadOnly(const QString& name) const;
    void clear();

Q_SIGNALS:
    void valueChanged(const QString& name);

private:
    void watch(const QString& name, QWidget* editor);

    struct Impl;
    std::unique_ptr<Impl> d;
};

}  // namespace Qd::Core::Ui
