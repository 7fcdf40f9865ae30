#pragma once

// Shared by the units of the editors; not part of the widget kit's API.

#include <QEvent>
#include <QIcon>
#include <QModelIndex>
#include <QObject>
#include <QRect>
#include <QString>
#include <QVariant>
#include <QWidget>
#include <functional>

#include "db/RecordSet.h"
#include "ui/grid/Grid.h"

namespace Qd::Core::Ui::Internal {

// The dynamic property that records which EditorKind createEditor made a widget for.
inline constexpr char kEditorKindProperty[] = "qdEditorKind";

// Display formats of dates in editors and cells.
inline const QString kDateFormat = QStringLiteral("yyyy-MM-dd");
inline const QString kDateTimeFormat = QStringLiteral("yyyy-MM-dd HH:mm");

// The position of the list row whose key field holds `key`; -1 when there is none. Uses an
// index kept per record set and key field, rebuilt after the list changes. A key a list that
// fetches on demand lacks is fetched first (see DeferLookupKeys).
int lookupRow(Db::RecordSet* list, const QString& keyField, const QVariant& key);
// While alive on its thread, keys that lookupRow misses in lists that fetch rows on demand
// (Db::LookupRows) are not fetched one by one: they are collected, and fetched after the event
// loop's current round in one keyed query per list, then `widget` (a view's viewport) is
// repainted. Open one around the paint of a cell: a key the cell misses brings with it the
// keys of the kReadAhead cells below it in its column, so that scrolling down a long bill
// queries once per so many lines rather than once per screen.
class DeferLookupKeys {
public:
    static constexpr int kReadAhead = 200;
    DeferLookupKeys(QWidget* widget, const QModelIndex& cell = {});
    ~DeferLookupKeys();
    DeferLookupKeys(const DeferLookupKeys&) = delete;
    DeferLookupKeys& operator=(const DeferLookupKeys&) = delete;

    QWidget* widget() const { return m_widget; }
    // The keys of the cells below the cell painted.
    QVariantList keysAhead() const;

private:
    QWidget* m_widget;   // not owned
    QModelIndex m_cell;  // the cell painted, valid while the paint lasts
    DeferLookupKeys* m_outer;
};

// The list text of the row at `pos`: the fields of `listFields` (separated by ";") joined by
// a space; the key field's text when `listFields` is empty.
// The list fields a lookup shows: all of `listFields`, or the one at `listFieldIndex` (the
// first when the index is past the end).
QString shownListFields(const EditorProps& props);
QString lookupRowText(Db::RecordSet* list, int pos, const QString& listFields,
                      const QString& keyField);

// The kind a column edits with: its own, or, for a plain Text column over a typed field, the
// kind that suits the field's type.
EditorKind kindForField(EditorKind kind, Db::FieldType type);

// A value read as a check box reads it (NULL, 0, "0", "false" are unchecked).
bool isChecked(const QVariant& v);

// A date or date-time value from what record sets and editors hold (QDate, QDateTime, text).
QDateTime toDateTime(const QVariant& v);

// True when two values of a field are the same for an edit: NULL and empty text are the same,
// numbers compare as numbers, dates as date-times.
bool sameValue(const QVariant& a, const QVariant& b);

// A text on one line: each line break ("\r\n", "\r", "\n", U+2028, U+2029) becomes one blank.
QString oneLine(QString text);

// Where a drop-down of `size` opens for the rectangle `under` of `anchor` (in its coordinates):
// below it, or above it when there is no room below but room above; kept on the screen.
QPoint dropDownPosition(const QWidget* anchor, const QRect& under, const QSize& size);

// Runs a hook of the props on its editor. A hook that refuses (EAbort) ends silently; a data
// error is shown; neither escapes into Qt's signal dispatch.
void runHook(const std::function<void(QWidget*)>& hook, QWidget* editor);

// Small glyphs drawn in the palette's text colour, for the buttons inside edits.
enum class Glyph { DropDown, Ellipsis };
QIcon glyphIcon(Glyph glyph, const QColor& color);

// An event filter made of a function: returns true to stop the event. Owned by its parent.
class EventHook : public QObject {
public:
    using Filter = std::function<bool(QObject* watched, QEvent* event)>;
    EventHook(QObject* parent, Filter filter) : QObject(parent), m_filter(std::move(filter)) {}
    bool eventFilter(QObject* watched, QEvent* event) override { return m_filter(watched, event); }

private:
    Filter m_filter;
};

}  // namespace Qd::Core::Ui::Internal
