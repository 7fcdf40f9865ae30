#include "db/QueryProgress.h"

#include <utility>

namespace Qd::Core::Db {

namespace {

IQueryProgress* g_progress = nullptr;  // not owned
int g_scopes = 0;                      // CancellableQuery objects alive

}  // namespace

IQueryProgress* queryProgress() {
    return g_progress;
}

IQueryProgress* setQueryProgress(IQueryProgress* progress) {
    return std::exchange(g_progress, progress);
}

CancellableQuery::CancellableQuery() {
    ++g_scopes;
}

CancellableQuery::~CancellableQuery() {
    --g_scopes;
}

bool CancellableQuery::active() {
    return g_scopes > 0;
}

QueryCancelled::QueryCancelled(const QString& statement)
    : DbError(QStringLiteral("查询已取消：") +
              statement.trimmed().section(QLatin1Char('\n'), 0, 0)) {}

}  // namespace Qd::Core::Db
