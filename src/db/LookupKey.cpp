#include "db/LookupKey.h"

#include <QDateTime>
#include <cmath>

namespace Qd::Core::Db {

namespace {

bool isWhole(double d) {
    return d >= -9.0e15 && d <= 9.0e15 && d == double(qint64(d));
}

bool isNumberKey(FieldType type) {
    return isNumeric(type) || type == FieldType::Boolean;
}

QDateTime dateTimeOf(const QVariant& v) {
    switch (v.typeId()) {
        case QMetaType::QDateTime:
            return v.toDateTime();
        case QMetaType::QDate:
            return QDateTime(v.toDate(), QTime(0, 0));
        default:
            return parseDateTime(v.toString().trimmed());
    }
}

}  // namespace

LookupKey LookupKey::ofNumber(double d) {
    LookupKey k;
    if (std::isnan(d))
        return k;
    k.m_kind = Kind::Number;
    k.m_number = d == 0 ? 0.0 : d;  // -0 and 0 are one key
    return k;
}

LookupKey LookupKey::ofText(QString s) {
    LookupKey k;
    k.m_kind = Kind::Text;
    k.m_text = std::move(s);
    return k;
}

LookupKey::LookupKey(FieldType type, const QVariant& value) {
    if (value.isNull())
        return;
    if (isNumberKey(type)) {
        bool ok = false;
        double d = 0;
        switch (value.typeId()) {
            case QMetaType::Bool:
                d = value.toBool() ? 1 : 0;
                ok = true;
                break;
            case QMetaType::QString:
                d = value.toString().trimmed().toDouble(&ok);
                break;
            default:
                d = value.toDouble(&ok);
                break;
        }
        if (ok)
            *this = ofNumber(d);
        return;
    }
    if (type == FieldType::DateTime) {
        if (const QDateTime dt = dateTimeOf(value); dt.isValid())
            *this = ofText(formatDateTime(dt));
        return;
    }
    *this = ofText(value.toString());
}

LookupKey LookupKey::at(const RecordSet& rs, std::uint32_t row, int field) {
    if (rs.isNullAt(row, field))
        return {};
    return isNumberKey(rs.fieldDef(field).type) ? ofNumber(rs.floatAt(row, field))
                                                : ofText(rs.textAt(row, field));
}

QVariant LookupKey::value() const {
    switch (m_kind) {
        case Kind::Number:  // ids bound as integers, as their columns hold them
            return isWhole(m_number) ? QVariant(qint64(m_number)) : QVariant(m_number);
        case Kind::Text:
            return m_text;
        default:
            return {};
    }
}

QString LookupKey::text() const {
    if (m_kind != Kind::Number)
        return m_text;
    if (isWhole(m_number))
        return QString::number(qint64(m_number));
    return QString::number(m_number, 'g', 17);
}

}  // namespace Qd::Core::Db
