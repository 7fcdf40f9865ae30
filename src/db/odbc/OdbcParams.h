#pragma once

// The values of a statement's parameter markers, bound by their type.

#include <QIODevice>
#include <QVariant>
#include <memory>
#include <vector>

#include "db/odbc/Odbc.h"

namespace Qd::Core::Db::Odbc {

// The buffers of one statement's parameters: they must live until the statement has run.
// Values bind by type: NULL (typed by the driver's description of the marker where it can
// tell, so that a NULL meets a binary column as binary), integers as 64-bit, floats as
// doubles, Booleans as bit, date-times as timestamps, dates as dates, text as UTF-16 and byte
// arrays as binary. Text over 4000 units and binaries over 8000 bytes are sent at execution in
// chunks (putLongData), so that a value never has to be copied whole into the driver; a
// QIODevice* value is read from where it stands to its end in chunks, never whole in memory.
class BoundParams {
public:
    // Binds `values` to markers 1..n of `stmt`; throws OdbcError naming the parameter.
    BoundParams(SQLHSTMT stmt, const std::vector<QVariant>& values, const QStringList& names);
    ~BoundParams();
    BoundParams(const BoundParams&) = delete;
    BoundParams& operator=(const BoundParams&) = delete;

    // After SQLExecute / SQLExecDirect returned SQL_NEED_DATA: sends each long value in chunks
    // and returns what the last SQLParamData returned (the statement's own result).
    SQLRETURN putLongData(SQLHSTMT stmt);

    static constexpr qsizetype kLongText = 4000;    // UTF-16 units
    static constexpr qsizetype kLongBinary = 8000;  // bytes
    static constexpr qsizetype kChunk = 1 << 20;    // bytes per SQLPutData

private:
    struct Slot;
    std::vector<std::unique_ptr<Slot>> m_slots;
};

}  // namespace Qd::Core::Db::Odbc
