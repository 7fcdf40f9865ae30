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
#include "sys/SystemServices.h"
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
    // The footer item: a sum, or (bills and reports) a cell without aggregate; none when absent.
    std::optional<Ui::SummaryKind> footer;
    QJsonObject raw;  // the whole descriptor, for a builder's own keys
};

// A store's own setting of one column, laid over its descriptor (bill details): caption,
// whether it shows, a field type ("默认", "字符", "整数", "小数", "金额", "日期", "文件"), decimal
// places and display format.
struct ColumnOverride {
    QString caption;
    bool visible = true;
    QString fieldType;
    int decimalCount = 0;
    QString displayFormat;
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

        // Where the members differ; the defaults are the lists'.
        bool requireWidth = false;   // a column without "width" is a descriptor error
        bool readVisible = true;     // "visiable" read (bills: only the store's setting hides)
        bool footerAnyKind = false;  // "footer" "true" in any case; "kind" absent or "sum" in
                                     // any case sums, another kind gives a cell without sum
        bool shareLookups = false;   // columns on one field share one lookup table, which is
                                     // opened again for each (lists refuse the second)
        Sys::LookupValues lookupValues = Sys::LookupValues::Quoted;
        bool editButtonsAlways = false;  // every editable column shows its edit button
        int defaultMoneyDecimals = -1;   // money without "decimal" (-1: the editor's own)
        bool readDateFormat = false;     // a date column's "format" (else `dateFormat`)
        // The store's setting of a field's column; null when it keeps none.
        std::function<const ColumnOverride*(const QString& field)> columnOverride;
        // A button column's click, with the column's descriptor as JSON text; a "文件" column's
        // click with its descriptor. Unset: no button columns.
        std::function<void(QWidget* editor, const QString& descriptor)> onButtonClick;
        std::function<void(QWidget* editor, const QString& descriptor)> onFileClick;
    };

    // The reference member's types: lookupcombobox, lookupcomboboxl2, combo, money, date,
    // check, color.
    static QSet<QString> listTypes();
    // The bill details' member: lookupcombobox, combo, money (also "金额"), date (also "日期"),
    // button, color, with the store's settings over them.
    static Options billDetailOptions();
    // The reports' member: combo, money, date (shown "yyyy-MM-dd hh:mm"), color; footers as
    // bills write them; no lookups, nothing editable.
    static Options reportOptions();

    explicit ColumnBuilder(Options options);

    // Parses one descriptor; a missing "fieldname" or "label" is a problem (returns nullopt).
    std::optional<ColumnDescriptor> parse(const QJsonValue& v, int position);
    // Replaces the view's columns with those of `columns` (a JSON array text), binding lookups.
    // What cannot be built is left out and reported in problems(); the rest is built.
    void build(Ui::GridView* view, const QString& columnsText);
    void build(Ui::GridView* view, const QJsonArray& columns);
    // A report's banded columns: a band per element of `bands` ({"band", "columns"}), its
    // columns in it; band captions show only with two bands or more. Returns the number of
    // columns built.
    int buildBands(Ui::GridView* view, const QJsonArray& bands);
    // Makes the lookup table of one lookup column (also used without a grid, by property
    // editors). Returns null and records a problem when it cannot.
    TjoinTableObject* bindLookup(const ColumnDescriptor& c, Ui::EditorProps& props);

    // Problems met, each naming the module code and the key; empty when all went well.
    const QStringList& problems() const { return m_problems; }
    // Shows the problems once (an error box titled "提示") and forgets them.
    void reportProblems();

private:
    void problem(const QString& text);
    void addColumn(Ui::GridView* view, const ColumnDescriptor& c, int band);
    void setEditor(Ui::GridColumn* column, const ColumnDescriptor& c,
                   const ColumnOverride* override);
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
// Makes `props` a lookup editor over `table`: key and list fields from `definition`
// ("keyfieldnames", "listfieldnames"), the visible entries of `columns` as its drop-down, the
// table's rows as its list, fetched as needed, the drop-down sized to its columns. Every
// lookup editor of the framework is made here.
void setLookupProps(Ui::EditorProps& props, const TjoinTableObject& table,
                    const QJsonObject& definition, const QJsonArray& columns);
// Opens a lookup table, leaving it empty when its statement fails (the data services have
// shown why).
void openQuietly(TjoinTableObject& table, const Db::Params* params = nullptr);

}  // namespace Qd::Core::Base
