#include "bill/uCustBillRuleObj.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>

#include "db/DataServices.h"
#include "db/Json.h"
#include "db/Trace.h"
#include "sys/SystemServices.h"
#include "sys/uAuth.h"

namespace Qd::Core::Bill {

namespace {

QString F(const char* text) {
    return QString::fromUtf8(text);
}

Db::Params ruleKeys(const QString& billcode) {
    const Sys::TAuth* auth = Sys::sysAuth();
    return {{F("orgid"), auth->orgId}, {F("ck_id"), auth->storeId}, {F("billcode"), billcode}};
}

// "display" as other clients write it: a JSON Boolean, "true"/"false" in any case, or a number
// (0 off, anything else on). Missing or unreadable: shown.
bool displayValue(const QJsonValue& v) {
    if (v.isBool())
        return v.toBool();
    if (v.isDouble())
        return v.toDouble() != 0;
    if (v.isString()) {
        const QString s = v.toString().trimmed().toLower();
        if (s == QLatin1String("false"))
            return false;
        bool ok = false;
        const double n = s.toDouble(&ok);
        if (ok)
            return n != 0;
    }
    return true;
}

// "decimalcount": a number or numeric text; anything else counts 0.
int decimalCountValue(const QJsonValue& v) {
    if (v.isDouble())
        return v.toInt();
    if (v.isString())
        return int(v.toString().trimmed().toDouble());
    return 0;
}

}  // namespace

QStringList billNumberRules() {
    return {F("前缀+年月日+分店标识+流水号"), F("前缀+分店标识+流水号")};
}

TCustBillRule::TCustBillRule(const QString& _billcode) : Fbillcode(_billcode) {
    initData();
}

TCustBillRule::~TCustBillRule() = default;

bool TCustBillRule::openStoreRow() {
    if (!Db::dataServices().openDataToCDS(
            cds,
            F("select * from qd_sys_billnorule_user where orgid=:orgid and ck_id=:ck_id and "
              "billcode=:billcode"),
            ruleKeys(Fbillcode)))
        return false;
    // Two clients opening a module at once may each have copied the default; both then keep
    // to the older copy.
    if (cds.recordCount() > 1) {
        const int id = cds.fieldIndex(F("id"));
        int oldest = 0;
        for (int pos = 1; pos < cds.recordCount(); ++pos)
            if (cds.intAt(cds.rowAt(pos), id) < cds.intAt(cds.rowAt(oldest), id))
                oldest = pos;
        cds.moveTo(oldest);
    }
    return true;
}

void TCustBillRule::initData() {
    m_loaded = false;
    m_gridconfigError.clear();
    Fgrids.clear();
    if (openStoreRow() && cds.isEmpty() &&
        Db::dataServices().execSQL(
            F("insert into qd_sys_billnorule_user(orgid, "
              "billcode,caption,tag,istyle,seekcount,ck_id)\r\nselect :orgid, "
              ":billcode,caption,tag,istyle,seekcount,:ck_id from qd_sys_billnorule where "
              "billcode=:billcode"),
            ruleKeys(Fbillcode)))
        openStoreRow();
    m_loaded = cds.active();
    readFields();
    readGridConfig();
}

void TCustBillRule::readFields() {
    const bool row = m_loaded && !cds.isEmpty();
    auto text = [&](const char* name) { return row ? cds.field(F(name)).asString() : QString(); };
    auto number = [&](const char* name) { return row ? cds.field(F(name)).asInteger() : 0; };
    Fcaption = text("caption");
    Fgridconfig = text("gridconfig");
    Ftag = text("tag");
    Fseekcount = number("seekcount");
    Fistyle = number("istyle");
    Fautowidth = row && cds.field(F("autowidth")).asBoolean();
    Fflag = text("flag").left(kFlagLength);
    // An empty flag, and a rule that could not be read, switch nothing on.
    if (Fflag.isEmpty())
        Fflag = QString(kFlagLength, QLatin1Char('0'));
}

void TCustBillRule::readGridConfig() {
    if (Fgridconfig.trimmed().isEmpty())
        return;
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(Fgridconfig.toUtf8(), &error);
    if (error.error != QJsonParseError::NoError)
        m_gridconfigError = error.errorString() + F("（位置 %1）").arg(error.offset);
    else if (!doc.isArray())
        m_gridconfigError = F("不是 JSON 数组");
    if (!m_gridconfigError.isEmpty()) {
        Db::LogError(F("单据 %1 在门店 %2 的列设置无法读取：%3")
                         .arg(Fbillcode)
                         .arg(Sys::sysAuth()->storeId)
                         .arg(m_gridconfigError));
        return;
    }
    for (const QJsonValue& element : doc.array()) {
        const QJsonObject o = element.toObject();
        const QJsonValue name = o.value(F("fieldname"));
        if (!name.isString() || name.toString().isEmpty())
            continue;
        auto config = std::make_unique<TcustBIllRuleGridConfig>();
        config->Ffieldname = name.toString();
        const Db::JObject texts(o);
        config->Fcusttitle = texts.S(F("custtitle"));
        config->Fdeftitle = texts.S(F("deftitle"));
        config->Fdispformat = texts.S(F("dispformat"));
        config->Ffieldtype = texts.S(F("fieldtype"));
        config->Fdecimalcount = decimalCountValue(o.value(F("decimalcount")));
        config->Fdisplay = displayValue(o.value(F("display")));
        Fgrids[config->Ffieldname] = std::move(config);  // a repeated field: the last wins
    }
}

bool TCustBillRule::switchOn(int pos) const {
    return pos >= 1 && pos <= Fflag.size() && Fflag.at(pos - 1) == QLatin1Char('1');
}

const TcustBIllRuleGridConfig* TCustBillRule::gridConfig(const QString& field) const {
    const auto it = Fgrids.find(field);
    return it == Fgrids.end() ? nullptr : it->second.get();
}

bool TCustBillRule::insertStoreRow() {
    // No default to copy from: the store's row is written whole, keys included.
    Db::Params params = ruleKeys(Fbillcode);
    params.push_back({F("caption"), Fcaption});
    params.push_back({F("tag"), Ftag});
    params.push_back({F("istyle"), Fistyle});
    params.push_back({F("seekcount"), Fseekcount});
    params.push_back({F("gridconfig"), Fgridconfig});
    params.push_back({F("autowidth"), Fautowidth});
    params.push_back({F("flag"), Fflag});
    if (!Db::dataServices().execSQL(
            F("insert into qd_sys_billnorule_user(orgid, ck_id, billcode, caption, tag, istyle, "
              "seekcount, gridconfig, autowidth, flag)\r\nvalues(:orgid, :ck_id, :billcode, "
              ":caption, :tag, :istyle, :seekcount, :gridconfig, :autowidth, :flag)"),
            params))
        return false;
    openStoreRow();
    return true;
}

bool TCustBillRule::save() {
    if (!m_loaded)
        return false;
    if (cds.isEmpty())
        return insertStoreRow();
    cds.edit();
    cds.field(F("caption")).setValue(Fcaption);
    cds.field(F("tag")).setValue(Ftag);
    cds.field(F("seekcount")).setValue(Fseekcount);
    cds.field(F("istyle")).setValue(Fistyle);
    cds.field(F("gridconfig")).setValue(Fgridconfig);
    cds.field(F("autowidth")).setValue(Fautowidth);
    cds.field(F("flag")).setValue(Fflag);
    cds.post();
    // The change log leaves out a row written back as it was stored: nothing to write is a
    // successful save.
    QStringList statements;
    Db::GetUpDataSQLList(F("qd_sys_billnorule_user"), F("id"), {F("id")}, cds, statements, 0);
    if (statements.isEmpty())
        return true;
    if (!Db::dataServices().execSQL(statements.join(F("\r\n"))))
        return false;
    cds.mergeChangeLog();
    return true;
}

}  // namespace Qd::Core::Bill
