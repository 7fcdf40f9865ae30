#include "core/uJoinTableObject.h"

namespace Qd::Core::Base {

TjoinTableObject::TjoinTableObject(bool _autoFix)
    : FautoFix(_autoFix),
      Fcds(std::make_unique<Db::RecordSet>()),
      Fdatasource(std::make_unique<Db::RecordSetModel>(Fcds.get())) {}

TjoinTableObject::~TjoinTableObject() {
    Fdatasource.reset();  // the model lets go of the record set before it goes
    Fcds->close();
}

void TjoinTableObject::open(const Db::Params* params) {
    Fcds->close();
    Db::IDataServices& db = Db::dataServices();
    Db::DataPacket rows = db.openData(Fsql, params ? *params : Db::Params());
    if (!rows.active())
        throw Db::DbError(QStringLiteral("查询失败：") + Fsql);
    Fcds->setData(std::move(rows));
}

}  // namespace Qd::Core::Base
