#include "db/DataServices.h"

#include <QCryptographicHash>
#include <QFile>
#include <QLocale>
#include <QSet>
#include <charconv>
#include <cmath>
#include <string>

#include "db/ChunkedLoad.h"
#include "db/Trace.h"

namespace Qd::Core::Db {

namespace {

IDataServices*& installedServices() {
    static IDataServices* services = nullptr;  // not owned
    return services;
}

QString floatLiteral(double v) {
    if (!std::isfinite(v))
        return QStringLiteral("NULL");
    // Plain digits for every amount a user types; the exponent form only at the extremes,
    // where the plain form would be hundreds of digits long.
    const double a = std::fabs(v);
    const char format = (a == 0 || (a >= 1e-6 && a < 1e15)) ? 'f' : 'g';
    return QString::number(v, format, QLocale::FloatingPointShortest);
}

// Fixed point with at most four decimals, trailing zeros dropped (the Currency scale).
void appendCurrency(std::string& out, double v) {
    const long long scaled = std::llround(v * 10000.0);
    unsigned long long a = scaled < 0 ? 0ULL - static_cast<unsigned long long>(scaled)
                                      : static_cast<unsigned long long>(scaled);
    if (scaled < 0)
        out += '-';
    char buf[32];
    out.append(buf, std::to_chars(buf, buf + sizeof buf, a / 10000).ptr);
    unsigned frac = unsigned(a % 10000);
    if (frac == 0)
        return;
    int digits = 4;
    while (frac % 10 == 0) {
        frac /= 10;
        --digits;
    }
    out += '.';
    for (int i = digits - 1; i >= 0; --i) {
        unsigned p = 1;
        for (int k = 0; k < i; ++k)
            p *= 10;
        out += char('0' + frac / p % 10);
    }
}

QString currencyLiteral(double v) {
    if (!std::isfinite(v) || std::fabs(v) > 9e14)
        return floatLiteral(v);
    std::string s;
    appendCurrency(s, v);
    return QString::fromLatin1(s.data(), qsizetype(s.size()));
}

QString textLiteral(QStringView text) {
    QString s;
    s.reserve(text.size() + 3);
    s += QLatin1String("N'");
    for (QChar c : text) {
        if (c == QLatin1Char('\''))
            s += QLatin1Char('\'');
        s += c;
    }
    s += QLatin1Char('\'');
    return s;
}

// The literal of one stored value, by the field's type (a Currency is not a plain double).
QString fieldLiteral(const RecordSet& rs, std::uint32_t row, int field) {
    if (rs.isNullAt(row, field))
        return QStringLiteral("NULL");
    switch (rs.fieldDef(field).type) {
        case FieldType::Integer:
        case FieldType::BigInt:
            return QString::number(rs.intAt(row, field));
        case FieldType::Boolean:
            return rs.intAt(row, field) ? QStringLiteral("1") : QStringLiteral("0");
        case FieldType::Float:
            return floatLiteral(rs.floatAt(row, field));
        case FieldType::Currency:
            return currencyLiteral(rs.floatAt(row, field));
        case FieldType::Text:
            return textLiteral(QString::fromUtf8(rs.utf8At(row, field)));
        case FieldType::DateTime:
        case FieldType::Blob:
            break;
    }
    return sqlLiteral(rs.valueAt(row, field));
}

// ---- JSON text ---------------------------------------------------------------------------

void appendJsonString(std::string& out, std::string_view utf8) {
    static const char hex[] = "0123456789abcdef";
    out += '"';
    for (char ch : utf8) {
        const auto c = static_cast<unsigned char>(ch);
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            case '\b':
                out += "\\b";
                break;
            case '\f':
                out += "\\f";
                break;
            default:
                if (c < 0x20) {
                    out += "\\u00";
                    out += hex[c >> 4];
                    out += hex[c & 15];
                } else {
                    out += ch;  // UTF-8 passes through: Chinese text stays readable
                }
        }
    }
    out += '"';
}

template <typename T>
void appendNumber(std::string& out, T v) {
    char buf[32];
    const auto r = std::to_chars(buf, buf + sizeof buf, v);
    out.append(buf, r.ptr);
}

void appendTwoDigits(std::string& out, int v) {
    out += char('0' + v / 10);
    out += char('0' + v % 10);
}

void appendJsonValue(std::string& out, const RecordSet& rs, std::uint32_t row, int field,
                     FieldType type) {
    if (rs.isNullAt(row, field)) {
        out += "null";
        return;
    }
    switch (type) {
        case FieldType::Integer:
        case FieldType::BigInt:
            appendNumber(out, rs.intAt(row, field));
            return;
        case FieldType::Boolean:
            out += rs.intAt(row, field) ? "true" : "false";
            return;
        case FieldType::Float: {
            const double v = rs.floatAt(row, field);
            if (std::isfinite(v))
                appendNumber(out, v);  // shortest text that reads back to the same double
            else
                out += "null";
            return;
        }
        case FieldType::Currency: {
            const double v = rs.floatAt(row, field);
            if (!std::isfinite(v))
                out += "null";
            else if (std::fabs(v) <= 9e14)
                appendCurrency(out, v);
            else
                appendNumber(out, v);
            return;
        }
        case FieldType::Text:
            appendJsonString(out, rs.utf8At(row, field));
            return;
        case FieldType::DateTime: {
            // Decoded from the stored key (milliseconds since the start of julian day 0):
            // building a local QDateTime per value would cost a time-zone lookup each.
            constexpr std::int64_t msPerDay = 86400000;
            const std::int64_t key = rs.intAt(row, field);
            std::int64_t day = key / msPerDay;
            std::int64_t ms = key % msPerDay;
            if (ms < 0) {
                ms += msPerDay;
                --day;
            }
            int y = 0, mo = 0, d = 0;
            QDate::fromJulianDay(day).getDate(&y, &mo, &d);
            const int secs = int(ms / 1000);
            out += '"';
            appendNumber(out, y);
            out += '-';
            appendTwoDigits(out, mo);
            out += '-';
            appendTwoDigits(out, d);
            out += ' ';
            appendTwoDigits(out, secs / 3600);
            out += ':';
            appendTwoDigits(out, secs / 60 % 60);
            out += ':';
            appendTwoDigits(out, secs % 60);
            out += '"';
            return;
        }
        case FieldType::Blob: {
            const QByteArray b64 = rs.valueAt(row, field).toByteArray().toBase64();
            out += '"';
            out.append(b64.constData(), std::size_t(b64.size()));
            out += '"';
            return;
        }
    }
}

}  // namespace

std::unique_ptr<ChunkedLoad> IDataServices::openDataInChunks(RecordSet& rs, const QString& sql,
                                                             const Params& params) {
    if (!openDataToCDS(rs, sql, params))
        return nullptr;
    return std::make_unique<ChunkedLoad>(rs, nullptr);
}

IDataServices& dataServices() {
    if (!installedServices())
        throw DbError(QStringLiteral("数据服务未初始化"));
    return *installedServices();
}

void setDataServices(IDataServices* services) {
    installedServices() = services;
}

Params boundParams(const QString& sql, const Params& all) {
    const QStringList named = dataServices().parameterNames(sql);
    Params bound;
    QStringList dropped;
    for (const Param& p : all) {
        if (named.contains(p.name, Qt::CaseInsensitive))
            bound.push_back(p);
        else
            dropped << p.name;
    }
    if (!dropped.isEmpty())
        LogMsg(QStringLiteral("语句未使用的参数未绑定：") + dropped.join(QStringLiteral(", ")));
    return bound;
}

// ---- change log to SQL ---------------------------------------------------------------------

// The line after a guarded update: no row written means another client's save came first.
constexpr char kStaleRowGuard[] =
    "if @@rowcount=0 raiserror(N'当前数据状态已改变，请刷新数据后请重试.', 16, 1)";

void GetUpDataSQLList(const QString& table, const QString& keyField,
                      const QStringList& ignoredFields, const RecordSet& delta, QStringList& out,
                      int /*reserved*/) {
    const std::vector<RowChange>& changes = delta.changes();
    if (changes.empty())
        return;

    QSet<QString> ignored;
    for (const QString& name : ignoredFields) {
        const QString n = name.trimmed().toLower();
        if (!n.isEmpty())
            ignored.insert(n);
    }
    const int fieldCount = delta.fieldCount();
    std::vector<char> skip(static_cast<std::size_t>(fieldCount), 0);
    for (int f = 0; f < fieldCount; ++f)
        skip[std::size_t(f)] = ignored.contains(delta.fieldDef(f).name.toLower());

    const int key = delta.fieldIndex(keyField);
    const int version = delta.fieldIndex(QStringLiteral("version"));
    const auto keyCondition = [&](std::uint32_t original) {
        if (key < 0)
            throw DbError(QStringLiteral("表 %1 的关键字段 \"%2\" 不存在").arg(table, keyField));
        return QStringLiteral(" where ") + keyField + QLatin1Char('=') +
               fieldLiteral(delta, original, key);
    };

    // The column a row changed only where nothing is written sets to itself: the first that
    // could be written. Callers read an empty list as "nothing changed" and skip their after-save
    // steps, which for such a row must still run (the print dialog's share stores live in an
    // ignored column). -1 when the table has no such column.
    int touchField = -1;
    for (int f = 0; f < fieldCount && touchField < 0; ++f) {
        if (f != key && !skip[std::size_t(f)])
            touchField = f;
    }

    out.reserve(out.size() + qsizetype(changes.size()));
    for (const RowChange& change : changes) {
        switch (change.kind) {
            case ChangeKind::Modified: {
                QString assignments;
                bool changed = false;
                for (int f = 0; f < fieldCount; ++f) {
                    if (sameValue(delta, change.row, delta, change.original, f))
                        continue;
                    changed = true;
                    if (f == key || skip[std::size_t(f)])
                        continue;
                    if (!assignments.isEmpty())
                        assignments += QLatin1String(", ");
                    assignments += delta.fieldDef(f).name;
                    assignments += QLatin1Char('=');
                    assignments += fieldLiteral(delta, change.row, f);
                }
                if (changed && assignments.isEmpty() && touchField >= 0)
                    assignments = delta.fieldDef(touchField).name + QLatin1Char('=') +
                                  delta.fieldDef(touchField).name;
                if (assignments.isEmpty())
                    break;
                QString update = QStringLiteral("update ") + table + QStringLiteral(" set ") +
                                 assignments + keyCondition(change.original);
                // A row whose version this update raises is written only over the version it
                // was read with: another client's save in between fails the whole batch.
                const bool guarded = version >= 0 && !skip[std::size_t(version)] &&
                                     !sameValue(delta, change.row, delta, change.original, version);
                if (guarded)
                    update +=
                        QStringLiteral(" and ") + delta.fieldDef(version).name +
                        (delta.isNullAt(change.original, version)
                             ? QStringLiteral(" is null")
                             : QLatin1Char('=') + fieldLiteral(delta, change.original, version));
                out << update;
                if (guarded)
                    out << QString::fromUtf8(kStaleRowGuard);
                break;
            }
            case ChangeKind::Inserted: {
                QString columns;
                QString values;
                for (int f = 0; f < fieldCount; ++f) {
                    if (skip[std::size_t(f)] || delta.isNullAt(change.row, f))
                        continue;
                    if (!columns.isEmpty()) {
                        columns += QLatin1String(", ");
                        values += QLatin1String(", ");
                    }
                    columns += delta.fieldDef(f).name;
                    values += fieldLiteral(delta, change.row, f);
                }
                if (columns.isEmpty())
                    out << QStringLiteral("insert into ") + table +
                               QStringLiteral(" default values");
                else
                    out << QStringLiteral("insert into ") + table + QLatin1Char('(') + columns +
                               QStringLiteral(") values(") + values + QLatin1Char(')');
                break;
            }
            case ChangeKind::Deleted:
                out << QStringLiteral("delete from ") + table + keyCondition(change.original);
                break;
        }
    }
}

QString quotedSql(const QString& text) {
    return QLatin1Char('\'') + quoteSql(text) + QLatin1Char('\'');
}

QString sqlLiteral(const QVariant& value) {
    if (!value.isValid() || value.isNull())
        return QStringLiteral("NULL");
    switch (value.typeId()) {
        case QMetaType::Bool:
            return value.toBool() ? QStringLiteral("1") : QStringLiteral("0");
        case QMetaType::Int:
        case QMetaType::Short:
        case QMetaType::Long:
        case QMetaType::LongLong:
        case QMetaType::SChar:
        case QMetaType::Char:
            return QString::number(value.toLongLong());
        case QMetaType::UInt:
        case QMetaType::UShort:
        case QMetaType::ULong:
        case QMetaType::ULongLong:
        case QMetaType::UChar:
            return QString::number(value.toULongLong());
        case QMetaType::Double:
        case QMetaType::Float:
            return floatLiteral(value.toDouble());
        case QMetaType::QDateTime: {
            const QDateTime dt = value.toDateTime();
            return dt.isValid() ? QLatin1Char('\'') + formatDateTime(dt) + QLatin1Char('\'')
                                : QStringLiteral("NULL");
        }
        case QMetaType::QDate: {
            const QDate d = value.toDate();
            return d.isValid() ? QLatin1Char('\'') + d.toString(QStringLiteral("yyyy-MM-dd")) +
                                     QLatin1Char('\'')
                               : QStringLiteral("NULL");
        }
        case QMetaType::QTime: {
            const QTime t = value.toTime();
            return t.isValid() ? QLatin1Char('\'') + t.toString(QStringLiteral("HH:mm:ss.zzz")) +
                                     QLatin1Char('\'')
                               : QStringLiteral("NULL");
        }
        case QMetaType::QByteArray:
            return QStringLiteral("0x") + QString::fromLatin1(value.toByteArray().toHex());
        default:
            break;
    }
    return textLiteral(value.toString());
}

QString quoteSql(const QString& text) {
    QString s = text;
    s.replace(QLatin1Char('\''), QLatin1String("''"));
    return s;
}

QString TJsonDB::ClientDataSetToJSON(const RecordSet& rs, bool currentRowOnly) {
    if (!rs.active() || rs.isEmpty())
        return QStringLiteral("[]");

    // Each key written once, with its quotes and colon, ahead of the row loop.
    const int fieldCount = rs.fieldCount();
    std::vector<std::string> keys(static_cast<std::size_t>(fieldCount));
    std::vector<FieldType> types(static_cast<std::size_t>(fieldCount));
    for (int f = 0; f < fieldCount; ++f) {
        std::string& k = keys[std::size_t(f)];
        k.assign(1, f == 0 ? '{' : ',');
        const QByteArray name = rs.fieldDef(f).name.toUtf8();
        appendJsonString(k, std::string_view(name.constData(), std::size_t(name.size())));
        k += ':';
        types[std::size_t(f)] = rs.fieldDef(f).type;
    }

    int first = 0;
    int last = rs.recordCount() - 1;
    if (currentRowOnly) {
        first = last = rs.recNo();
        if (first < 0)
            return QStringLiteral("[]");
    }

    std::string out;
    out.reserve(std::size_t(last - first + 1) * std::size_t(fieldCount) * 16 + 2);
    out += '[';
    for (int pos = first; pos <= last; ++pos) {
        if (pos != first)
            out += ',';
        const std::uint32_t row = rs.rowAt(pos);
        for (int f = 0; f < fieldCount; ++f) {
            out += keys[std::size_t(f)];
            appendJsonValue(out, rs, row, f, types[std::size_t(f)]);
        }
        out += fieldCount == 0 ? "{}" : "}";
    }
    out += ']';
    return QString::fromUtf8(out.data(), qsizetype(out.size()));
}

int MessageMyDlg(const QString& text, const QString& title, int kind, Ui::MsgButtons buttons,
                 bool /*modal*/) {
    Ui::MsgKind k = Ui::MsgKind::Information;
    if (kind == 1)
        k = Ui::MsgKind::Error;
    else if (kind == 3)
        k = Ui::MsgKind::Confirmation;
    return Ui::prompter().message(text, title, k, buttons);
}

QByteArray MD5File(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QCryptographicHash hash(QCryptographicHash::Md5);
    if (!hash.addData(&file))
        return {};
    return hash.result();
}

QString MD5Print(const QByteArray& digest) {
    return QString::fromLatin1(digest.toHex());
}

}  // namespace Qd::Core::Db
