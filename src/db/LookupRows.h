#pragma once

#include <QString>
#include <QStringList>
#include <QVariant>
#include <vector>

#include "db/LookupKey.h"
#include "db/RecordSet.h"

namespace Qd::Core::Db {

// The rows of a lookup fetched on demand into one record set (its cache), for the widgets that
// show it: pages in the statement's order as a drop-down scrolls, rows of keys a cell shows,
// rows a typed text finds, and the user's recent picks. The cache only grows (until it is
// opened again): a row's position in it never changes, and no key is in it twice.
class LookupRows {
public:
    virtual ~LookupRows() = default;

    // The key field the cache is keyed by (keys of other fields are not resolved).
    virtual QString keyField() const = 0;
    // The positions of the cache's rows in the statement's order, as far as fetched.
    virtual const std::vector<int>& ordered() const = 0;
    virtual bool canFetchMore() const = 0;
    // Adds the next page to the cache.
    virtual void fetchMore() = 0;
    // Keys are of the key field's type: `LookupKey(type of keyField(), value)`.
    // Whether a keyed query could still find `key` (not asked in vain before, the whole table
    // not yet in the cache).
    virtual bool mayResolve(const LookupKey& key) const = 0;
    // The position in the cache of the row of `key`; -1 when it is not in the cache.
    virtual int position(const LookupKey& key) const = 0;
    // Adds the rows of `keys` that are not in the cache yet, by keyed queries; returns how many
    // rows came.
    virtual int resolve(const QList<LookupKey>& keys) = 0;
    // The positions in the cache of the rows the whole table has for a typed text (code or
    // pinyin initials starting with it, or a list field containing it), at most `limit`, in
    // the statement's order; the rows join the cache.
    virtual std::vector<int> searchPositions(const QString& text, int limit) = 0;
    // The positions of the user's recent picks (most used first); the rows join the cache.
    virtual std::vector<int> recentPositions() = 0;
    // The user picked the row at `pos`.
    virtual void picked(int pos) = 0;
};

// The lookup rows behind a record set; null when it is a plain list. Kept by the object that
// owns both (it registers and unregisters itself).
LookupRows* lookupRowsOf(const RecordSet* rs);
void setLookupRows(const RecordSet* rs, LookupRows* rows);

// The positions among `order` (positions of `rs`, in the order to search them) of the rows a
// typed text finds, as lookups search: fields named `prefixFields` starting with it, or named
// `containFields` containing it (case-insensitive); at most `limit`.
std::vector<int> matchingRows(const RecordSet& rs, const std::vector<int>& order,
                              const QString& text, const QStringList& prefixFields,
                              const QStringList& containFields, int limit);

}  // namespace Qd::Core::Db
