#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>
#include <vector>

namespace Qd::Core::Db::Tsql {

// One select statement taken apart by the lexer, so that it can be read as a derived table
// (`select ... from (<body>) t where ... order by <order by>`): T-SQL refuses an ORDER BY inside a
// derived table without TOP, so the outer one is taken off and applied outside.
// An item of a select list: what it names in the result, and the column it reads when it is
// a plain column reference (`code`, `t1.code`, `t1.code as c`).
struct SelectItem {
    QString output;     // the result column's name; empty for `*` / `t.*`
    QString qualifier;  // t1 of t1.code or t1.*; empty when none
    QString column;     // code of t1.code; empty when the item is not a plain column
    bool star = false;  // * or t.*
};

struct DerivedSelect {
    QString body;     // the statement without its outer order by (and without a closing ";")
    QString orderBy;  // the outer order by's items as written; empty when there is none
    int topAt = -1;   // where `top (n)` goes in the body: after "select" and "distinct" / "all"
    std::vector<SelectItem> items;  // the outer select list
    QString refusal;  // why the statement cannot be read as a derived table; empty when it can
};

// Takes `sql` apart. Refused: anything but one select (a batch, `with`, a top-level union /
// except / intersect), `select ... into`, an outer `top`, `offset`, `for`, `option`, a select
// list item without a name or two items of one name.
DerivedSelect splitOuterOrderBy(QStringView sql);

// The order by of `parts` rewritten to name the columns of the derived table, whose columns are
// `columns` (the statement's result columns in their order): a name of the result stays, a
// qualified name (t1.code) becomes the result column its select list item gives it, a position
// (order by 2) the column's name; functions, keywords and literals stay. Empty when there is no
// order by. A name it cannot place sets `refusal` (the caller then loads the statement whole).
QString orderByOutside(const DerivedSelect& parts, const QStringList& columns, QString* refusal);

// A name as a bracketed T-SQL identifier: [name], a "]" in it doubled.
QString bracketed(const QString& name);

}  // namespace Qd::Core::Db::Tsql
