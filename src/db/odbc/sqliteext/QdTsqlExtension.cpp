// The framework's T-SQL built-ins (qd_datediff, ...), its text collation and the server's rules
// as a loadable extension of the embedded database. Its ODBC driver loads it per connection
// (LoadExt=<path>/libqdtsql.so), so that statements the T-SQL translator wrote run there as they
// run on the framework's own connections. The extension calls the same library the driver
// uses, loaded once in the process.
#include <sqlite3.h>

#include "db/tsql/TsqlSession.h"

extern "C" __attribute__((visibility("default"))) int sqlite3_qdtsql_init(
    sqlite3* db, char** /*error*/, const sqlite3_api_routines* /*api*/) {
    Qd::Core::Db::Tsql::Session::registerFunctions(db);
    Qd::Core::Db::Tsql::Session::registerServerRules(db);
    return SQLITE_OK;
}
