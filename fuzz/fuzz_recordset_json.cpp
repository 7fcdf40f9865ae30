// A record set as JSON (ClientDataSetToJSON, the log images and what a picker returns) and back
// into a record set as module code reads it (SA / GetO / S, each value set as text into a field
// of the same type). Fields, types and values come from the input: texts of any characters,
// floats of any bits, dates far away, NULLs. The JSON must parse, hold every row, and bring
// texts and whole numbers back exactly.
#include <cstring>

#include "FuzzSupport.h"
#include "db/DataServices.h"
#include "db/Json.h"
#include "db/RecordSet.h"

using namespace Qd::Core::Db;

namespace {

constexpr int kTypes = int(FieldType::Blob) + 1;
// Milliseconds in 9999 years: dates both sides of the epoch that a date field can hold.
constexpr std::int64_t kDateSpan = 9999LL * 365 * 24 * 3600 * 1000;

QVariant fuzzValue(Qd::Fuzz::Bytes& in, FieldType type) {
    if (in.byte() % 8 == 0)
        return QVariant();
    switch (type) {
        case FieldType::Integer:
            return int(in.int64());
        case FieldType::BigInt:
            return qlonglong(in.int64());
        case FieldType::Float: {
            const std::int64_t bits = in.int64();
            double d;
            std::memcpy(&d, &bits, sizeof d);
            return d;
        }
        case FieldType::Currency:
            return double(in.int64() % 100'000'000'000'000) / 10000.0;
        case FieldType::Boolean:
            return bool(in.byte() & 1);
        case FieldType::Text:
            return in.text(40);
        case FieldType::DateTime:
            return QDateTime::fromMSecsSinceEpoch(in.int64() % kDateSpan);
        case FieldType::Blob:
            return in.text(16).toUtf8();
    }
    return QVariant();
}

bool exactInJson(FieldType type) {
    return type == FieldType::Text || type == FieldType::Integer;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Qd::Fuzz::initOnce();
    Qd::Fuzz::Bytes in(data, size);
    RecordSet rs;
    const int fields = 1 + in.byte() % 6;
    for (int f = 0; f < fields; ++f) {
        const auto type = FieldType(in.byte() % kTypes);
        // No NUL in a name: Qt's JSON object then misses keys it holds (a key with NULs beside
        // one that differs from it in the order of UTF-16 units and of code points), which
        // is Qt's to fix; a database column name never holds one.
        QString name = in.text(8).remove(QChar(0));
        for (int k = f; name.isEmpty() || rs.hasField(name); ++k)
            name = QStringLiteral("f%1").arg(k);  // a record set refuses a name twice
        rs.addField(name, type);
    }
    rs.createDataSet();
    const int rows = in.byte() % 5;
    for (int r = 0; r < rows; ++r) {
        rs.append();
        for (int f = 0; f < fields; ++f) {
            try {
                rs.field(f).setValue(fuzzValue(in, rs.fieldDef(f).type));
            } catch (const DbError&) {
                // A value the field cannot hold (a date out of its range) is refused.
            }
        }
        rs.post();
    }

    const JArray json = SA(TJsonDB::ClientDataSetToJSON(rs, false));
    if (json.isNull() || json.Length() != rows)
        __builtin_trap();
    if (rows > 0 && SA(TJsonDB::ClientDataSetToJSON(rs, true)).Length() != 1)
        __builtin_trap();

    RecordSet back;
    back.setFields([&] {
        std::vector<FieldDef> defs;
        for (int f = 0; f < fields; ++f)
            defs.push_back(rs.fieldDef(f));
        return defs;
    }());
    back.createDataSet();
    rs.first();
    for (int r = 0; r < rows; ++r, rs.next()) {
        const JObject row = json.GetO(r);
        back.append();
        for (int f = 0; f < fields; ++f) {
            const QString text = row.S(rs.fieldDef(f).name);
            try {
                back.field(f).setAsString(text);
            } catch (const DbError&) {
                continue;  // JSON's form of a value need not be the one a field reads
            }
            if (exactInJson(rs.fieldDef(f).type) &&
                back.field(f).asString() != rs.field(f).asString())
                __builtin_trap();
        }
        back.post();
    }
    return 0;
}
