#pragma once

#include "db/DataServices.h"

namespace Qd::Core::Db {

// What the two backends share: the contract's calls that show their errors (openData,
// openDataToCDS, queryData, execSQL, checkBillVersion), written once over the calls each backend
// implements and that throw DbError instead.
class BackendDataServices : public IDataServices {
public:
    DataPacket openData(const QString& sql, const Params& params = {}) override;
    bool openDataToCDS(RecordSet& rs, const QString& sql, const Params& params = {}) override;
    DataPacket queryData(const QString& sql) override;
    bool execSQL(const QString& sql, const Params& params = {}) override;
    bool checkBillVersion(const QString& table, qint64 id, int version) override;

    // The first result set of a batch; throws DbError (with the message a user is shown).
    virtual DataPacket query(const QString& sql, const Params& params = {}) = 0;
    virtual void exec(const QString& sql, const Params& params = {}) = 0;
    // The last result set of a batch (what a script ends with), closed when it returns none.
    virtual DataPacket queryLast(const QString& sql, const Params& params = {}) = 0;

protected:
    // Shows an error in a message box ("提示"); a cancelled query is none.
    static void report(const DbError& e);
};

}  // namespace Qd::Core::Db
