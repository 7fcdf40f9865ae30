#include "core/uJoinTableObject.h"

#include "db/Trace.h"
#include "sys/SystemServices.h"
#include "sys/uAuth.h"

namespace Qd::Core::Base {

namespace {

using Db::Tsql::bracketed;

QString F(const char* text) {
    return QString::fromLatin1(text);
}

// A typed text as a LIKE pattern matches it literally: the escape character "\" before each of
// "\", "%", "_" and "[" (a character class on the server).
QString likeLiteral(const QString& text) {
    QString out;
    out.reserve(text.size() + 4);
    for (const QChar c : text) {
        if (c == u'\\' || c == u'%' || c == u'_' || c == u'[')
            out += u'\\';
        out += c;
    }
    return out;
}

const QString kRecentSql = QStringLiteral(
    "select keyvalue from (select top 10 keyvalue, pickcount, lasttime from qd_sys_lookuppicks "
    "where orgid = :orgid and userid = :userid and lookupname = :name order by lasttime desc) r "
    "order by pickcount desc, lasttime desc");

const QString kPickSql = QStringLiteral(
    "update qd_sys_lookuppicks set pickcount = pickcount + 1, lasttime = getdate() "
    "where orgid = :orgid and userid = :userid and lookupname = :name and keyvalue = :keyvalue\n"
    "if @@rowcount = 0\n"
    "  insert into qd_sys_lookuppicks(orgid, userid, lookupname, keyvalue, pickcount, lasttime) "
    "values(:orgid, :userid, :name, :keyvalue, 1, getdate())");

}  // namespace

TjoinTableObject::TjoinTableObject(bool _autoFix)
    : FautoFix(_autoFix),
      Fcds(std::make_unique<Db::RecordSet>()),
      Fdatasource(std::make_unique<Db::RecordSetModel>(Fcds.get())) {
    Fcds->setLogChanges(false);  // rows are added, never saved
    Db::setLookupRows(Fcds.get(), this);
}

TjoinTableObject::~TjoinTableObject() {
    Db::setLookupRows(Fcds.get(), nullptr);
    Fdatasource.reset();  // the model lets go of the record set before it goes
    Fcds->close();
}

Db::DataPacket TjoinTableObject::query(const QString& sql, Db::Params params) const {
    Db::DataPacket rows = Db::dataServices().openData(sql, params);
    if (!rows.active())
        throw Db::DbError(QStringLiteral("查询失败：") + Fsql);
    return rows;
}

QString TjoinTableObject::derived(const QString& select, const QString& rest) const {
    return select + F(" from (\n") + m_parts.body + F("\n) t") + rest;
}

void TjoinTableObject::open(const Db::Params* params) {
    m_ordered.clear();
    m_positions.clear();
    Fcds->close();
    m_params = params ? *params : Db::Params();
    m_keyField = jo.value(F("keyfieldnames")).toString().trimmed();
    m_listFields.clear();
    for (const QString& f :
         jo.value(F("listfieldnames")).toString().split(u';', Qt::SkipEmptyParts))
        m_listFields << f.trimmed();
    m_ordered.clear();
    m_positions.clear();
    m_absent.clear();
    m_more = false;
    m_orderBy.clear();

    m_parts = Db::Tsql::splitOuterOrderBy(Fsql);
    QString why = m_parts.refusal;
    if (why.isEmpty() && (m_keyField.isEmpty() || m_keyField.contains(u';')))
        why = QStringLiteral("没有单一的键字段");
    if (!why.isEmpty())
        return loadWhole(why);

    Db::Params page = m_params;
    page.push_back({F("qd_page"), kPageSize});
    Db::DataPacket rows =
        query(Fsql.left(m_parts.topAt) + F(" top (:qd_page)") + Fsql.mid(m_parts.topAt), page);
    const QStringList columns = rows.fieldNames();
    if (!columns.contains(m_keyField, Qt::CaseInsensitive))
        why = QStringLiteral("结果中没有键字段 ") + m_keyField;
    else
        m_orderBy = Db::Tsql::orderByOutside(m_parts, columns, &why);
    if (!why.isEmpty())
        return loadWhole(why);
    m_more = rows.recordCount() == kPageSize;
    take(std::move(rows));
}

void TjoinTableObject::loadWhole(const QString& why) {
    Db::LogMsg(QStringLiteral("查询整表载入（%1）：%2").arg(why, Fsql));
    m_more = false;
    take(query(Fsql, m_params));
}

void TjoinTableObject::take(Db::DataPacket&& rows) {
    // Indexed first: views reset by setData list the rows in order at once.
    const int keyField = rows.fieldIndex(m_keyField);
    for (int pos = 0; pos < rows.recordCount(); ++pos) {
        m_ordered.push_back(pos);
        if (keyField < 0)
            continue;
        if (Db::LookupKey key = Db::LookupKey::at(rows, rows.rowAt(pos), keyField);
            !m_positions.contains(key))
            m_positions.insert(std::move(key), pos);
    }
    Fcds->setData(std::move(rows));
}

void TjoinTableObject::fetchMore() {
    if (!m_more)
        return;
    Db::Params params = m_params;
    params.push_back({F("qd_offset"), qint64(m_ordered.size())});
    params.push_back({F("qd_page"), kPageSize});
    const QString order = m_orderBy.isEmpty() ? F("(select null)") : m_orderBy;
    Db::DataPacket rows;
    try {
        rows = query(
            derived(F("select *"), F(" order by ") + order +
                                       F(" offset :qd_offset rows fetch next :qd_page rows only")),
            params);
    } catch (const Db::DbError&) {
        m_more = false;  // shown by the data services; the list stays as far as it came
        return;
    }
    m_more = rows.recordCount() == kPageSize;
    const std::vector<int> positions = adopt(rows);
    m_ordered.insert(m_ordered.end(), positions.begin(), positions.end());
}

std::vector<int> TjoinTableObject::adopt(const Db::DataPacket& packet) {
    std::vector<int> positions;
    if (!packet.active() || packet.isEmpty())
        return positions;
    // Keys new to the cache are indexed at the positions their rows get at the end of it (the
    // views hear of the rows only once all are in).
    const int keyField = packet.fieldIndex(m_keyField);
    std::vector<std::uint32_t> added;
    m_positions.reserve(m_positions.size() + packet.recordCount());
    for (int pos = 0; pos < packet.recordCount(); ++pos) {
        const std::uint32_t row = packet.rowAt(pos);
        Db::LookupKey key =
            keyField >= 0 ? Db::LookupKey::at(packet, row, keyField) : Db::LookupKey();
        auto it = m_positions.constFind(key);
        if (it == m_positions.constEnd()) {
            it = m_positions.insert(std::move(key), Fcds->recordCount() + int(added.size()));
            added.push_back(row);
        }
        positions.push_back(*it);
    }
    Fcds->appendRows(packet, added);
    return positions;
}

Db::LookupKey TjoinTableObject::keyOf(const QVariant& value) const {
    const int f = Fcds->fieldIndex(m_keyField);
    return f < 0 ? Db::LookupKey() : Db::LookupKey(Fcds->fieldDef(f).type, value);
}

bool TjoinTableObject::mayResolve(const Db::LookupKey& key) const {
    return m_more && !key.isNull() && !m_positions.contains(key) && !m_absent.contains(key);
}

int TjoinTableObject::position(const Db::LookupKey& key) const {
    return m_positions.value(key, -1);
}

int TjoinTableObject::resolve(const QList<Db::LookupKey>& keys) {
    if (!m_more)
        return 0;
    QSet<Db::LookupKey> wanted;
    QVariantList values;
    for (const Db::LookupKey& key : keys) {
        if (!mayResolve(key) || wanted.contains(key))
            continue;
        wanted.insert(key);
        values << key.value();
    }
    const int before = Fcds->recordCount();
    // The keyed query's parameters, qd_k0 ... (made once: a bill's scroll asks thousands).
    static const QStringList kKeyNames = [] {
        QStringList names;
        for (int i = 0; i < kKeysPerQuery; ++i)
            names << F("qd_k") + QString::number(i);
        return names;
    }();
    for (qsizetype first = 0; first < values.size(); first += kKeysPerQuery) {
        const qsizetype count = std::min<qsizetype>(values.size() - first, kKeysPerQuery);
        Db::Params params = m_params;
        params.reserve(params.size() + std::size_t(count));
        for (qsizetype i = 0; i < count; ++i)
            params.push_back({kKeyNames[i], values[first + i]});
        try {
            adopt(
                query(derived(F("select *"), F(" where t.") + bracketed(m_keyField) + F(" in (:") +
                                                 kKeyNames.mid(0, count).join(F(", :")) + u')'),
                      params));
        } catch (const Db::DbError&) {
            // Shown by the data services; the keys count as not found, so no paint asks again.
        }
    }
    for (const Db::LookupKey& key : std::as_const(wanted))
        if (!m_positions.contains(key))
            m_absent.insert(key);
    return Fcds->recordCount() - before;
}

QStringList TjoinTableObject::prefixFields() const {
    return {F("code"), F("helpcode")};
}

QString TjoinTableObject::searchCondition(const QString& text, Db::Params& params) const {
    if (text.isEmpty())
        return QString();
    const QString literal = likeLiteral(text);
    params.push_back({F("qd_prefix"), literal + u'%'});
    params.push_back({F("qd_contains"), u'%' + literal + u'%'});
    QStringList tests;
    const auto test = [&](const QString& field, const char* pattern) {
        if (Fcds->hasField(field))
            tests << F("t.") + bracketed(field) + F(" like ") + F(pattern) + F(" escape '\\'");
    };
    for (const QString& f : prefixFields())
        test(f, ":qd_prefix");
    for (const QString& f : m_listFields)
        test(f, ":qd_contains");
    return tests.isEmpty() ? F("1 = 0") : u'(' + tests.join(F(" or ")) + u')';
}

Db::DataPacket TjoinTableObject::search(const QString& text, int limit) {
    Db::DataPacket out;
    if (!Fcds->active())
        return out;
    if (complete()) {
        out.cloneStructure(*Fcds);
        out.createDataSet();
        out.setLogChanges(false);
        std::vector<int> found = m_ordered;
        if (!text.isEmpty())
            found = Db::matchingRows(*Fcds, m_ordered, text, prefixFields(), m_listFields, limit);
        std::vector<std::uint32_t> rows;
        for (std::size_t i = 0; i < found.size() && int(i) < limit; ++i)
            rows.push_back(Fcds->rowAt(found[i]));
        out.appendRows(*Fcds, rows);
        return out;
    }
    Db::Params params = m_params;
    params.push_back({F("qd_page"), limit});
    const QString condition = searchCondition(text, params);
    try {
        out = query(derived(F("select top (:qd_page) *"),
                            (condition.isEmpty() ? QString() : F(" where ") + condition) +
                                (m_orderBy.isEmpty() ? QString() : F(" order by ") + m_orderBy)),
                    params);
    } catch (const Db::DbError&) {
        // Shown by the data services; nothing found.
    }
    return out;
}

std::vector<int> TjoinTableObject::searchPositions(const QString& text, int limit) {
    if (complete())
        return Db::matchingRows(*Fcds, m_ordered, text, prefixFields(), m_listFields, limit);
    return adopt(search(text, limit));
}

std::vector<int> TjoinTableObject::recentPositions() {
    const Sys::TAuth* auth = Sys::sysAuth();
    std::vector<int> positions;
    if (m_name.isEmpty() || !auth || !Fcds->active())
        return positions;
    const Db::Params params = {
        {F("orgid"), auth->orgId.toInt()}, {F("userid"), auth->userId}, {F("name"), m_name}};
    Db::DataPacket rows = Db::dataServices().openData(kRecentSql, params);
    QList<Db::LookupKey> keys;
    for (int pos = 0; rows.active() && pos < rows.recordCount(); ++pos)
        keys << keyOf(rows.textAt(rows.rowAt(pos), 0));
    resolve(keys);
    for (const Db::LookupKey& key : std::as_const(keys)) {
        const int pos = position(key);
        if (pos >= 0 && int(positions.size()) < kRecentPicks)
            positions.push_back(pos);
    }
    return positions;
}

void TjoinTableObject::picked(int pos) {
    const Sys::TAuth* auth = Sys::sysAuth();
    if (m_name.isEmpty() || !auth || pos < 0 || pos >= Fcds->recordCount())
        return;
    const int keyField = Fcds->fieldIndex(m_keyField);
    const QString key =
        keyField < 0 ? QString() : Db::LookupKey::at(*Fcds, Fcds->rowAt(pos), keyField).text();
    if (key.isEmpty())
        return;
    Db::dataServices().execSQL(kPickSql, {{F("orgid"), auth->orgId.toInt()},
                                          {F("userid"), auth->userId},
                                          {F("name"), m_name},
                                          {F("keyvalue"), key}});
}

}  // namespace Qd::Core::Base
