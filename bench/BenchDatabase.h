#pragma once

// An empty embedded database in a temporary folder, its trace beside it, for benchmarks of the
// data layer that make their own tables.

#include <QTemporaryDir>
#include <memory>

#include "db/SqliteDataServices.h"
#include "db/Trace.h"

namespace Qd::Bench {

struct BenchDatabase {
    QTemporaryDir dir;
    std::unique_ptr<Core::Db::SqliteDataServices> db;

    // `vfs`: the file system to open it with (the default when null).
    explicit BenchDatabase(const char* vfs = nullptr) {
        Core::Db::setTraceFile(dir.filePath(QStringLiteral("trace.log")));
        db = std::make_unique<Core::Db::SqliteDataServices>(
            dir.filePath(QStringLiteral("bench.db")), 5000, vfs);
    }
};

}  // namespace Qd::Bench
