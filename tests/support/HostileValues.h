#pragma once
// Hostile values: texts a user may type (or paste, or a module may carry) that would break or
// rewrite a statement if they were ever pasted into one unescaped. Every place that puts a value
// into statement text drives the whole corpus through its window action (see the Injection
// tests) and checks that the value comes back exactly and that nothing else in the database
// changed. A new value is one line in HostileValues.cpp.
#include <QString>
#include <QVariant>
#include <functional>
#include <map>
#include <vector>

namespace Qd::Test {

struct HostileValue {
    const char* name;  // names the value in a failure
    QString text;

    // The text as the database keeps it and every later read shows it: the text through UTF-8,
    // where a lone surrogate (which no character encodes) becomes "?".
    QString stored() const;
    // Whether the text fits a column declared `width` characters wide (0: unbounded). A longer
    // text is refused whole, as the server refuses it.
    bool fits(int width) const;
};

const std::vector<HostileValue>& hostileValues();

// Runs `f` for every value of the corpus, each failure naming the value.
void forEachHostileValue(const std::function<void(const HostileValue&)>& f);

// Every row of every table of a database file, read over a connection of its own: what a save
// changed is the difference of two snapshots.
class DbSnapshot {
public:
    explicit DbSnapshot(const QString& dbPath);
    // What changed from `before` to this one, table by table in name order
    // ("qd_b_ygbmk: 1 added, 1 changed"); empty when nothing did.
    QString changesSince(const DbSnapshot& before) const;

private:
    std::map<QString, std::map<qint64, QByteArray>> m_rows;  // table -> rowid -> digest
};

// The first column of the first row of `sql` (with `:name` parameters bound from `params`),
// read over a connection of its own; "<no row>" or "<null>" when there is none.
QString freshText(const QString& dbPath, const QString& sql,
                  const std::map<QString, QVariant>& params = {});

// The declared width of a text column (varchar(30): 30); 0 when it has none (max, text).
int columnWidth(const QString& dbPath, const QString& table, const QString& column);

}  // namespace Qd::Test
