#include "db/Json.h"

#include <QJsonDocument>
#include <QLocale>
#include <cmath>

namespace Qd::Core::Db {

namespace {

QString valueText(const QJsonValue& v) {
    switch (v.type()) {
        case QJsonValue::String:
            return v.toString();
        case QJsonValue::Double: {
            // Descriptors write counts and ids; they read back without a fraction.
            const double d = v.toDouble();
            if (std::trunc(d) == d && std::fabs(d) < 9007199254740992.0)
                return QString::number(qint64(d));
            return QString::number(d, 'g', QLocale::FloatingPointShortest);
        }
        case QJsonValue::Bool:
            return v.toBool() ? QStringLiteral("true") : QStringLiteral("false");
        case QJsonValue::Object:
            return QString::fromUtf8(QJsonDocument(v.toObject()).toJson(QJsonDocument::Compact));
        case QJsonValue::Array:
            return QString::fromUtf8(QJsonDocument(v.toArray()).toJson(QJsonDocument::Compact));
        default:
            return {};
    }
}

}  // namespace

QJsonValue JObject::member(const QString& key) const {
    const QJsonValue v = m_object.value(key);
    if (!v.isUndefined())
        return v;
    // Qt's object looks a key up in an order that differs from the one it keeps its keys in
    // when some are outside the basic plane (an emoji, a rare Han character): a key it holds
    // may be missed. Looked for one by one then.
    for (auto it = m_object.constBegin(); it != m_object.constEnd(); ++it)
        if (it.key() == key)
            return it.value();
    return v;
}

bool JObject::contains(const QString& key) const {
    return !member(key).isUndefined();
}

QString JObject::S(const QString& key) const {
    return valueText(member(key));
}

JObject JObject::O(const QString& key) const {
    const QJsonValue v = member(key);
    if (v.isObject())
        return JObject(v.toObject());
    return v.isString() ? SO(v.toString()) : JObject();  // an object written as a string
}

JArray JObject::A(const QString& key) const {
    const QJsonValue v = member(key);
    if (v.isArray())
        return JArray(v.toArray());
    return v.isString() ? SA(v.toString()) : JArray();
}

void JObject::PutS(const QString& key, const QString& value) {
    if (m_valid)
        m_object.insert(key, value);
}

void JObject::PutO(const QString& key, const JObject& value) {
    if (m_valid)
        m_object.insert(key, value.json());
}

void JObject::PutA(const QString& key, const JArray& value) {
    if (m_valid)
        m_object.insert(key, value.json());
}

QString JObject::AsJSon() const {
    if (!m_valid)
        return {};
    return QString::fromUtf8(QJsonDocument(m_object).toJson(QJsonDocument::Compact));
}

JObject JArray::GetO(int i) const {
    const QJsonValue v = m_array.at(i);
    if (v.isObject())
        return JObject(v.toObject());
    return v.isString() ? SO(v.toString()) : JObject();
}

QString JArray::GetS(int i) const {
    return valueText(m_array.at(i));
}

void JArray::Add(const JObject& o) {
    if (m_valid)
        m_array.append(o.json());
}

void JArray::AddS(const QString& s) {
    if (m_valid)
        m_array.append(s);
}

QString JArray::AsJSon() const {
    if (!m_valid)
        return {};
    return QString::fromUtf8(QJsonDocument(m_array).toJson(QJsonDocument::Compact));
}

JObject SO(const QString& text) {
    if (text.trimmed().isEmpty())
        return JObject(QJsonObject());
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(text.toUtf8(), &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject())
        return JObject();
    return JObject(doc.object());
}

JArray SA(const QString& text) {
    if (text.trimmed().isEmpty())
        return JArray(QJsonArray());
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(text.toUtf8(), &error);
    if (error.error != QJsonParseError::NoError || !doc.isArray())
        return JArray();
    return JArray(doc.array());
}

}  // namespace Qd::Core::Db
