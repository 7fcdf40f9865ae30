#include "core/ModuleList.h"

#include "core/uMyCxGrid.h"
#include "db/ChunkedLoad.h"
#include "db/DataServices.h"
#include "sys/SystemServices.h"
#include "sys/uAuth.h"
#include "ui/grid/Grid.h"

namespace Qd::Core::Base {

namespace {

// The descriptor's list statement with `conditions` and its sort, and its parameters with the
// organisation; an empty statement when there is no "mainsql".
std::pair<QString, Db::Params> moduleQuery(const QJsonObject& pluginfo, const QString& conditions,
                                           const Db::Params& params) {
    QString sql = pluginfo.value(QStringLiteral("mainsql")).toString();
    if (sql.isEmpty())
        return {};
    sql += conditions;
    const QString sort = pluginfo.value(QStringLiteral("sort")).toString();
    if (!sort.isEmpty())
        sql += QStringLiteral(" order by ") + sort;
    const Sys::TAuth* auth = Sys::sysAuth();
    Db::Params bound = params;
    bound.push_back({QStringLiteral("orgid"), auth ? auth->orgId : QString()});
    return {sql, bound};
}

}  // namespace

std::unique_ptr<Db::ChunkedLoad> openModuleRows(Db::RecordSet& cds, const QJsonObject& pluginfo) {
    const auto [sql, params] = moduleQuery(pluginfo, {}, {});
    if (sql.isEmpty())
        return nullptr;
    return Db::dataServices().openDataInChunks(cds, sql, params);
}

bool loadModuleRows(Db::RecordSet& cds, const QJsonObject& pluginfo, const QString& conditions,
                    const Db::Params& params) {
    const auto [sql, bound] = moduleQuery(pluginfo, conditions, params);
    if (sql.isEmpty())
        return false;
    // The record to come back to: by its id, or by its code while it has no id yet (a row
    // just inserted).
    QString keyField;
    QVariant key;
    if (cds.active() && !cds.isEmpty()) {
        for (const QString& field : {QStringLiteral("id"), QStringLiteral("code")}) {
            if (cds.hasField(field) && !cds.field(field).isNull()) {
                keyField = field;
                key = cds.field(field).value();
                break;
            }
        }
    }
    if (!Db::dataServices().openDataToCDS(cds, sql, bound))
        return false;
    if (!key.isNull() && !cds.locate(keyField, key))
        cds.first();
    return true;
}

bool loadCategoryRows(Db::RecordSet& cds, const QJsonObject& pluginfo, int p1, int p2) {
    QString conditions;
    Db::Params params;
    if (p1 != 0) {
        conditions += QStringLiteral(" and p1=:p1");
        params.push_back({QStringLiteral("p1"), p1});
    }
    if (p2 != 0) {
        conditions += QStringLiteral(" and p2=:p2");
        params.push_back({QStringLiteral("p2"), p2});
    }
    return loadModuleRows(cds, pluginfo, conditions, params);
}

bool loadCategoryTree(Db::RecordSet& cds, const QString& moduleCode) {
    static const char* const sql =
        "SELECT     *,0 as imageindex FROM qd_b_category where 1=1 and orgid=:orgid and "
        "iclass=:iclass and isDel = 0 order by pid, isort desc, code";
    const Sys::TAuth* auth = Sys::sysAuth();
    if (!Db::dataServices().openDataToCDS(
            cds, QString::fromLatin1(sql),
            {{QStringLiteral("orgid"), auth ? auth->orgId : QString()},
             {QStringLiteral("iclass"), moduleCode}}))
        return false;
    for (const auto& [field, caption] : {std::pair{"code", "编号"}, std::pair{"name", "名称"}})
        if (const int i = cds.fieldIndex(QString::fromLatin1(field)); i >= 0)
            cds.fieldDef(i).displayLabel = QString::fromUtf8(caption);
    return true;
}

void buildListColumns(Ui::Grid* grid, Ui::GridView* view, const Sys::TPlugItemSingleBasic* item,
                      const QString& moduleCode, JoinTableList& tables,
                      const ListLookupHooks& hooks) {
    ColumnBuilder::Options options;
    options.moduleCode = moduleCode;
    options.types = ColumnBuilder::listTypes();
    options.joinTableList = &tables;
    options.onEditValueChange = hooks.valueChanged;
    options.onInitPopupL2 = hooks.initPopupL2;
    ColumnBuilder builder(options);
    builder.build(view, item ? item->GetColumnsJson() : QString());
    builder.reportProblems();
    TMyCxGrid::restoreGridColumnStyle(grid, moduleCode);
}

}  // namespace Qd::Core::Base
