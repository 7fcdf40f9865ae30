#pragma once

#include <QSet>
#include <QString>
#include <QStringView>

#include "db/DataServices.h"

namespace Qd::Core::Db {

// What the trace may show of a statement: secrets never reach it. A secret is the value of a
// column, parameter or variable named like one (isSecretName), or a value given to such a
// column: "pwdhash = 'x'", "pwdhash = :h", "insert into t(pwdsalt) values('x')".

// True for a name that names a secret: it contains "password", "passwd", "pwd", "hash", "salt",
// "secret" or "token", or it names a key ("key", "api_key", "appkey", "accesskey", ...), though
// not a lookup key such as "cfgkey" or "seqkey".
bool isSecretName(QStringView name);

struct TracedText {
    QString text;                // the statement, each secret literal written as '***'
    QSet<QString> secretParams;  // parameters that carry secrets: lower case, without ':'
};

// Masks the literals given to secret columns and variables in `sql` (T-SQL, or its
// translation) and names the parameters given to them; with `everyLiteral`, every literal (a
// statement that computes a secret's value).
TracedText maskSecrets(const QString& sql, bool everyLiteral = false);

// The values bound to a statement as the trace writes them after it: "\n-- :name = value, ..."
// (empty without parameters). Secret values are written as ***, long binary values as their
// size. `secret` as maskSecrets found it (the parameters given to secrets, and those named like
// secrets).
QString tracedParams(const Params& params, const QSet<QString>& secret);

}  // namespace Qd::Core::Db
