#pragma once

#include <QHash>
#include <QJsonArray>
#include <QJsonObject>
#include <QSet>
#include <QString>
#include <memory>

#include "db/DataServices.h"
#include "db/LookupRows.h"
#include "db/RecordSetModel.h"
#include "db/tsql/TsqlDerivedTable.h"

namespace Qd::Core::Base {

// The cached rows of one lookup (join) table, kept by a working form per lookup field
// (joinTableList). Lookup editors use its record set as their list source.
//
// Rows come on demand (docs/lookups.md): `open` fetches the first page in the statement's
// order, a drop-down fetches more as it scrolls, keys a cell shows and rows a typed text finds
// are fetched by queries that read the statement as a derived table. A statement that cannot be
// read so (a union, a common table expression, ...) is loaded whole, and the trace says why.
class TjoinTableObject : public Db::LookupRows {
public:
    static constexpr int kPageSize = 200;
    // Keys per keyed query.
    static constexpr int kKeysPerQuery = 500;
    // Recent picks a drop-down shows first.
    static constexpr int kRecentPicks = 10;

    explicit TjoinTableObject(bool _autoFix);
    ~TjoinTableObject() override;

    // Queries the first page of Fsql (with `params`, or none) into the record set; every call
    // queries again and forgets what was fetched. The key and list fields come from jo
    // ("keyfieldnames", "listfieldnames"). A failing query throws DbError with the data
    // services' message.
    void open(const Db::Params* params = nullptr);

    // The rows of the whole table a typed text finds (see LookupRows::searchPositions), at most
    // `limit`, in the statement's order, as a data packet of their own; an empty text finds the
    // first rows. The cache is left as it is.
    Db::DataPacket search(const QString& text, int limit);

    // The name recent picks are counted under (the module code, ".", the cache's name in its
    // form, e.g. "XMZZK.xm_id"); none: not counted.
    void setName(const QString& name) { m_name = name; }
    const QString& name() const { return m_name; }
    // True when the whole table is in the record set (loaded whole, or every page fetched).
    bool complete() const { return !m_more; }

    // ---- rows on demand (Db::LookupRows)
    QString keyField() const override { return m_keyField; }
    const std::vector<int>& ordered() const override { return m_ordered; }
    bool canFetchMore() const override { return m_more; }
    void fetchMore() override;
    bool mayResolve(const Db::LookupKey& key) const override;
    int position(const Db::LookupKey& key) const override;
    int resolve(const QList<Db::LookupKey>& keys) override;
    std::vector<int> searchPositions(const QString& text, int limit) override;
    std::vector<int> recentPositions() override;
    void picked(int pos) override;

    bool FautoFix;                                    // reopened by the form's lookup refresh
    std::unique_ptr<Db::RecordSet> Fcds;              // owned: the lookup rows
    std::unique_ptr<Db::RecordSetModel> Fdatasource;  // owned: bound to Fcds
    QString Fsql;             // the lookup query, ":orgid" and ":iclass" already substituted
    QJsonObject jo;           // a copy of the column's "join" object (empty when none)
    QJsonArray updatefields;  // a copy of the join's "fields" (empty when none)

private:
    Db::DataPacket query(const QString& sql, Db::Params params) const;
    // `sql` of the derived table: select ... from (<statement>) t <rest>.
    QString derived(const QString& select, const QString& rest) const;
    void loadWhole(const QString& why);
    // Makes `rows` the cache, in their order.
    void take(Db::DataPacket&& rows);
    // Adds the rows of `packet` the cache lacks; returns the cache positions of all of them.
    std::vector<int> adopt(const Db::DataPacket& packet);
    // `value` as a key of the cache's key field.
    Db::LookupKey keyOf(const QVariant& value) const;
    // The search condition over t's columns, its patterns added to `params`; empty for none.
    QString searchCondition(const QString& text, Db::Params& params) const;
    QStringList prefixFields() const;

    QString m_name;
    QString m_keyField;
    QStringList m_listFields;
    Db::Params m_params;  // the statement's own parameters (:p1 of second levels)
    Db::Tsql::DerivedSelect m_parts;
    QString m_orderBy;                      // the outer order by, as the derived table's columns
    bool m_more = false;                    // pages remain to be fetched
    std::vector<int> m_ordered;             // cache positions in the statement's order
    QHash<Db::LookupKey, int> m_positions;  // cache position by key
    QSet<Db::LookupKey> m_absent;           // keys a keyed query did not find
};

}  // namespace Qd::Core::Base
