#pragma once

// A query's rows coming into a shown record set a chunk at a time, from the event loop: the
// first rows are there when the window first paints, the rest follow between events while the
// statement stays open on the window's one connection. What needs every row (sorting, locating,
// export, saving) reads the rest first (RecordSet::finishPendingRows); closing, reloading or
// destroying the record set ends the load and closes the statement.

#include <QTimer>
#include <functional>
#include <memory>

#include "db/DbError.h"
#include "db/RecordSet.h"

namespace Qd::Core::Db {

// Where a chunked load's rows come from: a backend's open query, closed when it goes.
class RowSource {
public:
    virtual ~RowSource() = default;
    // Appends up to `rows` more rows to `rs` and shows them to its views; false once the query
    // has no more. Throws DbError (traced) when the database fails, QueryBusy when the
    // connection is in the middle of another statement (nothing read: ask again later).
    virtual bool readMore(RecordSet& rs, int rows) = 0;
};

class ChunkedLoad final : private RecordSet::PendingRows {
public:
    // Rows read before the record set is first shown: a window's first screens and then some.
    static constexpr int kFirstRows = 2000;
    // Rows read at a time, each lot shown to views at once.
    static constexpr int kRowsPerRead = 4096;
    // How long a turn of the event loop reads for: short enough for the window to stay
    // responsive, long enough that repainting as rows come costs little of the whole load.
    static constexpr int kStepMs = 50;

    // Reads the rest of `source` into `rs`, which holds the first rows already; a null source:
    // every row is in. `report` shows a failure (the data services' message box).
    ChunkedLoad(RecordSet& rs, std::unique_ptr<RowSource> source,
                std::function<void(const DbError&)> report = {});
    // Stops a load not finished: its query is closed, the rows read so far stay.
    ~ChunkedLoad() override;
    ChunkedLoad(const ChunkedLoad&) = delete;
    ChunkedLoad& operator=(const ChunkedLoad&) = delete;

    // Every row is in, or the load stopped (a failure, the record set closed or reloaded).
    bool finished() const { return !m_source; }
    bool failed() const { return m_failed; }
    // Reads every remaining row now; throws QueryBusy (the load going on) while the connection
    // is in the middle of another statement.
    void finish() override;

    // After each step: the rows the record set shows and whether the load has finished.
    std::function<void(int rows, bool finished)> onProgress;

private:
    void abandon() override;
    void step();
    // Reads up to `rows` rows; false once there are no more or reading failed.
    bool read(int rows);
    void stop();

    RecordSet& m_rs;
    std::unique_ptr<RowSource> m_source;
    std::function<void(const DbError&)> m_report;
    QTimer m_timer;
    bool m_failed = false;
};

}  // namespace Qd::Core::Db
