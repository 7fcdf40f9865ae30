#include "db/ChunkedLoad.h"

#include <QElapsedTimer>

#include "db/QueryProgress.h"

namespace Qd::Core::Db {

ChunkedLoad::ChunkedLoad(RecordSet& rs, std::unique_ptr<RowSource> source,
                         std::function<void(const DbError&)> report)
    : m_rs(rs), m_source(std::move(source)), m_report(std::move(report)) {
    if (!m_source)
        return;
    m_rs.setPendingRows(this);
    m_timer.setInterval(0);
    QObject::connect(&m_timer, &QTimer::timeout, [this] { step(); });
    m_timer.start();
}

ChunkedLoad::~ChunkedLoad() {
    if (m_source)
        m_rs.setPendingRows(nullptr);
}

void ChunkedLoad::step() {
    QElapsedTimer clock;
    clock.start();
    bool more = true;
    try {
        while (more && clock.elapsed() < kStepMs)
            more = read(kRowsPerRead);
    } catch (const QueryBusy&) {
        return;  // another statement is being read: the next turn goes on
    }
    if (onProgress)
        onProgress(m_rs.recordCount(), !more);
}

void ChunkedLoad::finish() {
    if (!m_source)
        return;
    try {
        while (read(kRowsPerRead)) {
        }
    } catch (const QueryBusy&) {
        m_rs.setPendingRows(this);  // still to come
        throw;
    }
    if (onProgress)
        onProgress(m_rs.recordCount(), true);
}

bool ChunkedLoad::read(int rows) {
    if (!m_source)
        return false;
    try {
        if (m_source->readMore(m_rs, rows))
            return true;
    } catch (const QueryBusy&) {
        throw;
    } catch (const DbError& e) {
        m_failed = true;
        stop();
        if (m_report)
            m_report(e);
        return false;
    }
    stop();
    return false;
}

void ChunkedLoad::abandon() {
    m_timer.stop();
    m_source.reset();  // the record set already forgot this load
}

void ChunkedLoad::stop() {
    m_timer.stop();
    m_source.reset();
    m_rs.setPendingRows(nullptr);
}

}  // namespace Qd::Core::Db
