#pragma once

// The search the framework's pickers and quick filters run over a module's list statement.

#include <QString>
#include <QStringList>

#include "db/DataServices.h"

namespace Qd::Core::Report {

// A condition to append to a where clause, starting with " and ", with the values it binds.
struct ListSearch {
    QString condition;
    Db::Params params;
    bool isEmpty() const { return condition.isEmpty(); }
};

// What a typed text finds in a list: a "code" starting with it, a "helpcode" (pinyin initials)
// starting with it, or a "name" containing it; only the fields of `fields` take part (none of
// the three: nothing is found). Columns are written `qualifier` + name ("q.code"). The text is
// bound, never pasted: quotes are plain characters, and "%", "_", "[" and "\" are found as
// typed, not taken for wildcards. An empty (or blank) text gives no condition.
ListSearch listSearch(const QStringList& fields, const QString& qualifier, const QString& text);

// The text as a LIKE pattern that matches it literally, with "\" as the escape character.
QString likeLiteral(const QString& text);

}  // namespace Qd::Core::Report
