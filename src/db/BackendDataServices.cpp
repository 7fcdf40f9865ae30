#include "db/BackendDataServices.h"

#include "db/QueryProgress.h"

namespace Qd::Core::Db {

void BackendDataServices::report(const DbError& e) {
    if (dynamic_cast<const QueryCancelled*>(&e))
        return;
    MessageMyDlg(e.message(), QStringLiteral("提示"), 1, Ui::MsgButtons::Ok);
}

DataPacket BackendDataServices::openData(const QString& sql, const Params& params) {
    try {
        return query(sql, params);
    } catch (const DbError& e) {
        report(e);
        return DataPacket();
    }
}

bool BackendDataServices::openDataToCDS(RecordSet& rs, const QString& sql, const Params& params) {
    DataPacket packet;
    try {
        packet = query(sql, params);
    } catch (const DbError& e) {
        report(e);
        return false;
    }
    rs.setData(std::move(packet));
    return true;
}

DataPacket BackendDataServices::queryData(const QString& sql) {
    return openData(sql);
}

bool BackendDataServices::execSQL(const QString& sql, const Params& params) {
    try {
        exec(sql, params);
        return true;
    } catch (const DbError& e) {
        report(e);
        return false;
    }
}

bool BackendDataServices::checkBillVersion(const QString& table, qint64 id, int version) {
    try {
        const DataPacket r = query(QStringLiteral("select version from %1 where id=:id").arg(table),
                                   {{QStringLiteral("id"), id}});
        if (r.isEmpty() || r.isNullAt(r.rowAt(0), 0))
            return false;
        bool ok = false;
        const qint64 stored = r.valueAt(r.rowAt(0), 0).toLongLong(&ok);
        return ok && stored == version;
    } catch (const DbError& e) {
        report(e);
        return false;
    }
}

}  // namespace Qd::Core::Db
