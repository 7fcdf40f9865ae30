#pragma once

// The query parameter panel shared by the report window and the categorised list: one editor
// row per element of a descriptor's "params", their defaults, lookups and pickers, the
// date-range presets, incoming values, and the values as named parameters of a query.

#include <QDate>
#include <QGroupBox>
#include <QJsonArray>
#include <QJsonObject>
#include <QStringList>
#include <functional>
#include <optional>
#include <vector>

#include "core/ColumnBuilder.h"
#include "db/DataServices.h"

class QAbstractButton;
class QButtonGroup;

namespace Qd::Core::Ui {
class PropertyGrid;
}

namespace Qd::Core::Base {

// One row of a parameter panel: its descriptor (an element of "params") and the name of its
// editor row in the property grid (the descriptor's "name").
struct ParamRow {
    QJsonObject descriptor;
    QString name;
};

class ParamsPanel {
public:
    struct Options {
        QString moduleCode;  // lookup table names, problem messages
        QString title;       // module or report title, in problem messages
        // "bt"/"et" rows make a date range; "ck_code"/"kdr_code" lookups list the stores (and
        // their employees) the user may access, locked to the session's own by its data scope.
        bool reportSpecials = false;
        QWidget* pickerOwner = nullptr;  // owner of the pickers (null: the editor's window)
    };
    // Neither the grid nor the lookup table list is owned; both must outlive the panel.
    ParamsPanel(Ui::PropertyGrid* grid, JoinTableList* joinTables, Options options);

    // Clears the grid's rows and rows(), then builds a row per element in array order. Lookup
    // tables are cached in the list under the parameter name: made once, reused unchanged on
    // a rebuild, reopened each time. A malformed element is named in problems() with its
    // position (1-based); an element without a name gets no row, the others are built as far
    // as they can be.
    void build(const QJsonArray& params);
    const std::vector<ParamRow>& rows() const { return m_rows; }
    // The rows of the range's start ("bt") and end ("et") in report panels; null when absent.
    const ParamRow* btRow() const;
    const ParamRow* etRow() const;
    // Both "bt" and "et" rows exist (report panels only).
    bool hasDateRange() const { return btRow() && etRow(); }
    // The first row of that name, as text (a date in the client's short date format, a lookup
    // its key); null when empty or when there is no such row.
    QVariant value(const QString& name) const;
    void setValue(const QString& name, const QVariant& v);
    // Preset `index` (0..7, see dateRangePreset) for `today` into the "bt" and "et" rows, in
    // the client's short date format. Runs no query.
    void applyDateRange(int index, const QDate& today);
    // Values handed in with the window: a JSON array text of {"name", "value"}; the first row
    // of each name takes the value as text, a locked row too. Unknown names are dropped;
    // malformed text is ignored (and traced).
    void applyIncoming(const QString& json);
    // Moves the focus to the first row, so that an editor still in hand commits its value;
    // when that row takes no focus (a locked one), the editor in hand lets go all the same.
    void commitEditorInHand();
    // The values as query parameters: the editor in hand commits first, then one text
    // parameter per row in array order, NULL when empty. A row whose "required" is "true"
    // without a value is named in a notice ("请输入" + title), and nullopt is returned.
    std::optional<Db::Params> sqlParams();
    // The picker of the "button" row `name`: the plug-in named by its "event", single choice,
    // shown over `owner`; the first chosen row's "code" becomes the value. An unknown plug-in
    // or an empty choice changes nothing.
    void pick(const QString& name, QWidget* owner);

    // Problems met by the last build, each naming the module and the element's position.
    const QStringList& problems() const { return m_problems; }
    // Shows the problems once (an error box titled "提示") and forgets them.
    void reportProblems();

private:
    const ParamRow* row(const QString& name) const;
    // A row's editor, by its descriptor; returns false when the element is malformed.
    bool describeEditor(const QJsonObject& p, int position, Ui::EditorProps& props);
    void bindLookup(const QString& name, QJsonObject join, Ui::EditorProps& props);
    // The lock of "ck_code" / "kdr_code" by the session's data scope.
    void applyScopeLock(const QString& name);
    void problem(int position, const QString& what);

    Ui::PropertyGrid* m_grid;     // not owned
    JoinTableList* m_joinTables;  // not owned
    Options m_opt;
    std::vector<ParamRow> m_rows;
    QStringList m_problems;
};

// A date range of the preset group.
struct DateRange {
    QDate bt, et;
};
// The presets by index: 今天, 一星期内, 本周, 本月, 昨天, 一个月内, 上周, 上月. Weeks run Monday
// to Sunday; a month back keeps the day, or takes that month's last day when it has no such day.
// Invalid dates for an index outside 0..7.
DateRange dateRangePreset(int index, const QDate& today);
// "Today" for the presets; QDate::currentDate unless replaced.
QDate panelToday();
// Replaces "today" (tests); an empty function restores the default.
void setPanelToday(std::function<QDate()> today);

// The group "选择时间范围": the eight presets in two columns, initially "一个月内" (index 5),
// which matches the defaults of "bt" and "et". Every click is told, also a click on the item
// already chosen, so that choosing it again writes the range again.
class DateRangeGroup : public QGroupBox {
    Q_OBJECT
public:
    static constexpr int kInitialIndex = 5;
    explicit DateRangeGroup(QWidget* parent = nullptr);
    int itemIndex() const;
    void setItemIndex(int index);
    // The item's button, for tests and for the window's layout.
    QAbstractButton* item(int index) const;

Q_SIGNALS:
    void itemClicked(int index);

private:
    QButtonGroup* m_items;  // child
};

}  // namespace Qd::Core::Base
