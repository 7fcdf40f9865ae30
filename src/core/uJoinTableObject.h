#pragma once

#include <QJsonArray>
#include <QJsonObject>
#include <QString>
#include <memory>

#include "db/DataServices.h"
#include "db/RecordSetModel.h"

namespace Qd::Core::Base {

// The cached rows of one lookup (join) table, kept by a working form per lookup field
// (joinTableList). Lookup editors use its record set as their list source.
class TjoinTableObject {
public:
    explicit TjoinTableObject(bool _autoFix);
    ~TjoinTableObject();

    // Re-queries Fsql (with `params`, or none) into the record set. Every call queries again; a
    // failing query throws DbError with the data services' message.
    void open(const Db::Params* params = nullptr);

    bool FautoFix;                                    // reopened by the form's lookup refresh
    std::unique_ptr<Db::RecordSet> Fcds;              // owned: the lookup rows
    std::unique_ptr<Db::RecordSetModel> Fdatasource;  // owned: bound to Fcds
    QString Fsql;             // the lookup query, ":orgid" and ":iclass" already substituted
    QJsonObject jo;           // a copy of the column's "join" object (empty when none)
    QJsonArray updatefields;  // a copy of the join's "fields" (empty when none)
};

}  // namespace Qd::Core::Base
