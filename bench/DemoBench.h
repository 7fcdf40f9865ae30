#pragma once

// The demo database for the benchmarks that run the client's windows: a folder of its own (the
// program home), the data services on the seeded demo file, a raw connection to the same file
// with the translator's functions for the raw baselines, and no questions asked.

#include <sqlite3.h>

#include <QTemporaryDir>
#include <memory>

#include "DemoDatabase.h"
#include "base/ProgramHome.h"
#include "base/UnattendedPrompter.h"
#include "db/DataServices.h"
#include "db/SqliteDataServices.h"
#include "db/tsql/TsqlSession.h"

namespace Qd::Bench {

struct DemoBench {
    // Nothing here should ask anything: a question is printed and answered, a dialog
    // rejected, so that a run never waits for a user.
    Core::Ui::UnattendedPrompter prompter;
    QTemporaryDir dir;
    std::unique_ptr<Core::Db::SqliteDataServices> db;
    sqlite3* raw = nullptr;

    // `folder`: a QTemporaryDir pattern, e.g. "/tmp/qd_bench_order_XXXXXX".
    explicit DemoBench(const QString& folder) : dir(folder) {
        Core::Ui::setPrompter(&prompter);
        Core::Sys::setProgramHome(dir.path());
        const QString file = dir.filePath(QStringLiteral("demo.db"));
        db = Qd::App::openDemoDatabase(file);
        Core::Db::setDataServices(db.get());
        sqlite3_open_v2(file.toUtf8().constData(), &raw, SQLITE_OPEN_READWRITE, nullptr);
        sqlite3_busy_timeout(raw, 5000);
        Core::Db::Tsql::Session::registerFunctions(raw);
        Core::Db::Tsql::Session::registerServerRules(raw);
    }
    ~DemoBench() {
        sqlite3_close(raw);
        Core::Db::setDataServices(nullptr);
        Core::Ui::setPrompter(nullptr);
    }
    DemoBench(const DemoBench&) = delete;
    DemoBench& operator=(const DemoBench&) = delete;
};

}  // namespace Qd::Bench
