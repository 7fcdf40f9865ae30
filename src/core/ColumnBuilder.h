#pragma once

#include <QHash>
#include <QJsonArray>
#include <QJsonObject>
#include <QSet>
#include <QStringList>
#include <map>
#include <memory>
#include <optional>

#include "core/uJoinTableObject.h"
#include "ui/grid/Grid.h"

namespace Qd::Core::Base {

// A form's lookup tables by the field name of their column; the form owns them.
using JoinTableList = std::map<QString, std::unique_ptr<TjoinTableObject>>;

// The keys every column descriptor shares, read in one place for every builder (lists, bill
// details, reports, filters): "fieldname", "label", "width", "visiable", "editing", "type",
// "join", "items", "decimal", "format", and the footer keys "footer" / "kind".
struct ColumnDescriptor {
    QString fieldName;
    QString label;
    int width = 100;              // 100 when "width" is not a whole number
    std::optional<bool> visible;  // absent: the column's default
    std::optional<bool> editing;
    QString type;      // "" when absent; compared exactly
    QJsonObject join;  // empty when absent
    bool hasJoin = false;
    QStringList items;
    std::optional<int> decimal;  // 4 when present but not a whole number
    QString format;
    bool footerSum = false;  // "footer" "true" with "kind" "sum"
    QJsonObject raw;         // the whole descriptor, for a builder's own keys
};

// A Boolean as descriptors write it ("true"/"false", "1"/"0", "True"/"False"); `fallback`
// when the text is none of these.
bool descriptorBool(const QJsonValue& v, bool fallback);

// Builds grid columns from column descriptors. One builder serves every member of the
// family; each member says which type values it turns into editors and supplies its hooks.
class ColumnBuilder {
public:
    struct Options {
        QString moduleCode;                      // ":iclass" in lookup queries; named in errors
        QSet<QString> types;                     // the type values turned into editors
        QHash<QString, QString> typeAliases;     // e.g. "金额" -> "money" (bill details)
        QString defaultMoneyFormat;              // "" for lists, "0.0000" for bill details
        QString dateFormat;                      // display format of date columns
        JoinTableList* joinTableList = nullptr;  // where lookup tables go (null: no lookups)
        std::function<void(QWidget*)> onEditValueChange;  // lookup value changed
        std::function<void(QWidget*)> onInitPopupL2;      // second-level lookup drops down
    };

    // The reference member's types: lookupcombobox, lookupcomboboxl2, combo, money, date,
    // check, color.
    static QSet<QString> listTypes();

    explicit ColumnBuilder(Options options);

    // Parses one descriptor; a missing "fieldname" or "label" is a problem (returns nullopt).
    std::optional<ColumnDescriptor> parse(const QJsonValue& v, int position);
    // Replaces the view's columns with those of `columns` (a JSON array text), binding lookups.
    // What cannot be built is left out and reported in problems(); the rest is built.
    void build(Ui::GridView* view, const QString& columnsText);
    void build(Ui::GridView* view, const QJsonArray& columns);
    // Makes the lookup table of one lookup column (also used without a grid, by property
    // editors). Returns null and records a problem when it cannot.
    TjoinTableObject* bindLookup(const ColumnDescriptor& c, Ui::EditorProps& props);

    // Problems met, each naming the module code and the key; empty when all went well.
    const QStringList& problems() const { return m_problems; }
    // Shows the problems once (an error box titled "提示") and forgets them.
    void reportProblems();

private:
    void problem(const QString& text);
    Options m_opt;
    QStringList m_problems;
};

// The value copy of a lookup column when its value changes: a row picked copies the lookup
// row's "fieldname" values into the "target" fields of `target`'s current record; a cleared
// value sets 32-bit integer targets to 0 and the others to empty text.
void copyLookupValues(JoinTableList& tables, QWidget* editor, Db::RecordSet& target);
// Reopens every lookup table whose auto-fix is on; second-level tables stay as they are.
void refreshJoinTables(JoinTableList& tables);
// The lookup table whose rows `editor` (a lookup combo box) lists; null when none.
TjoinTableObject* joinTableOf(JoinTableList& tables, QWidget* editor);
// A second-level lookup about to drop down: its table reopened with :p1 = `p1`, so that it
// lists the children of the record's first level.
void reopenSecondLevel(JoinTableList& tables, QWidget* editor, int p1);

// The drop-down columns of a lookup's "fields": the entries whose "visiable" does not read
// false, with "caption", "fieldname" and "width" (80 when not a whole number).
QList<Ui::LookupColumn> dropDownColumns(const QJsonArray& fields);

}  // namespace Qd::Core::Base
