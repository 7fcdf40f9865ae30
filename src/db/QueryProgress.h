#pragma once

// The progress of a long query. A statement run inside a CancellableQuery scope tells the
// installed progress how many rows it has read so far, every few thousand steps of the
// database's engine, and stops when the progress says so: the call then returns as a failure
// that is not an error (no message box, one trace line "查询已取消"). Everything run outside such
// a scope, or with no progress installed, runs as it always did. The client installs its
// progress window at start; tests install their own to cancel at a given call.

#include <QtGlobal>

#include "db/DbError.h"

namespace Qd::Core::Db {

class IQueryProgress {
public:
    virtual ~IQueryProgress() = default;
    // A statement begins.
    virtual void begin() = 0;
    // `read` rows have been read so far; false cancels the statement.
    virtual bool rows(qint64 read) = 0;
    // The statement ended (ran, was cancelled or failed).
    virtual void end() = 0;
};

// The progress in force; null when none is installed.
IQueryProgress* queryProgress();
// Installs a progress (not owned) and returns the previous one; nullptr removes it.
IQueryProgress* setQueryProgress(IQueryProgress* progress);

// Opts the statements run while it lives into progress and cancelling:
//     Db::CancellableQuery guard;
//     dataServices().openDataToCDS(cdsMain, sql, params);
// Scopes nest; the statements count as cancellable while any of them lives.
class CancellableQuery {
public:
    CancellableQuery();
    ~CancellableQuery();
    CancellableQuery(const CancellableQuery&) = delete;
    CancellableQuery& operator=(const CancellableQuery&) = delete;

    // True inside at least one scope.
    static bool active();
};

// A statement the user cancelled: the data services turn it into a plain false (or an inactive
// packet) without a message; the calls that throw DbError throw this one.
class QueryCancelled : public DbError {
public:
    explicit QueryCancelled(const QString& statement);
};

// A statement asked for while the connection is still in the middle of another, whose progress
// takes events meanwhile: nothing ran; the same call later will.
class QueryBusy : public DbError {
public:
    using DbError::DbError;
};

}  // namespace Qd::Core::Db
