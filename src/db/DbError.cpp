#include "db/DbError.h"

#include <sqlite3.h>

namespace Qd::Core::Db {

FileFault DbError::fileFault() const {
    switch (m_dbCode & 0xff) {
        case SQLITE_NOTADB:
            return FileFault::NotADatabase;
        case SQLITE_CORRUPT:
            return FileFault::Damaged;
        case SQLITE_FULL:
            return FileFault::DiskFull;
        case SQLITE_CANTOPEN:
        case SQLITE_PERM:
        case SQLITE_READONLY:
        case SQLITE_IOERR:
            return FileFault::CannotOpen;
        default:
            return FileFault::None;
    }
}

QString DbError::dbText() const {
    return m_dbCode == 0 ? QString() : QString::fromUtf8(sqlite3_errstr(m_dbCode));
}

}  // namespace Qd::Core::Db
