#pragma once

#include <QJsonArray>
#include <QJsonObject>
#include <QString>

namespace Qd::Core::Db {

class JArray;

// A JSON object as module code reads and writes it: string values by key, nested objects and
// arrays. Keys are case-sensitive. A null object (from text that is not an object) reads as
// empty and ignores writes.
class JObject {
public:
    JObject() = default;
    explicit JObject(QJsonObject o) : m_object(std::move(o)), m_valid(true) {}

    bool isNull() const { return !m_valid; }
    bool contains(const QString& key) const;
    QStringList keys() const { return m_object.keys(); }

    // The value as text: strings as they are, numbers and booleans written out, nested
    // objects and arrays as JSON text; empty when missing or null.
    QString S(const QString& key) const;
    JObject O(const QString& key) const;
    JArray A(const QString& key) const;

    void PutS(const QString& key, const QString& value);
    void PutO(const QString& key, const JObject& value);
    void PutA(const QString& key, const JArray& value);

    QString AsJSon() const;
    const QJsonObject& json() const { return m_object; }

private:
    QJsonValue member(const QString& key) const;  // undefined when there is none

    QJsonObject m_object;
    bool m_valid = false;
};

class JArray {
public:
    JArray() = default;
    explicit JArray(QJsonArray a) : m_array(std::move(a)), m_valid(true) {}

    bool isNull() const { return !m_valid; }
    int Length() const { return int(m_array.size()); }
    JObject GetO(int i) const;
    QString GetS(int i) const;
    void Add(const JObject& o);
    void AddS(const QString& s);

    QString AsJSon() const;
    const QJsonArray& json() const { return m_array; }

private:
    QJsonArray m_array;
    bool m_valid = false;
};

// Parses an object; empty text gives an empty object to fill, text that is not a JSON object
// a null one.
JObject SO(const QString& text = QString());
// Parses an array, likewise.
JArray SA(const QString& text = QString());

}  // namespace Qd::Core::Db
