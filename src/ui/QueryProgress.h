#pragma once

// The window of a long query: "正在查询… 已读取 %1 行" and "取消". Queries run on the
// user-interface thread; the window appears only once a query has run for 300 ms (a short one
// never flashes it), then takes the waiting events at most every 100 ms so that it paints and
// its button works. It is application-modal: while it shows, no window closes or queries.
// The client installs one at start (Db::setQueryProgress); only queries run inside a
// Db::CancellableQuery scope reach it.

#include <QPointer>
#include <QtGlobal>
#include <functional>

#include "db/QueryProgress.h"

class QDialog;
class QLabel;

namespace Qd::Core::Ui {

class QueryProgressWindow : public Db::IQueryProgress {
public:
    // Milliseconds since any fixed moment; tests pass their own clock.
    using Clock = std::function<qint64()>;

    static constexpr qint64 kShowAfterMs = 300;
    static constexpr qint64 kEventsEveryMs = 100;

    explicit QueryProgressWindow(Clock clock = {});
    ~QueryProgressWindow() override;
    QueryProgressWindow(const QueryProgressWindow&) = delete;
    QueryProgressWindow& operator=(const QueryProgressWindow&) = delete;

    void begin() override;
    bool rows(qint64 read) override;
    void end() override;

    // The window while it shows, else null.
    QDialog* window() const;

private:
    void show();

    Clock m_clock;
    qint64 m_started = 0;
    qint64 m_lastEvents = 0;
    bool m_cancelled = false;
    bool m_shown = false;
    // Made on first use and hidden between queries.
    QPointer<QDialog> m_window;
    QLabel* m_text = nullptr;  // owned by the window
};

}  // namespace Qd::Core::Ui
