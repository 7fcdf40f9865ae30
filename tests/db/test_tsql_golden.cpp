// Golden cases of the T-SQL layer: plain-text files under tests/db/tsql/, one feature per file.
// Adding a case needs no C++. A case:
//
//   === name of the case
//   --- setup            (optional) a batch run first, which must succeed
//   --- params           (optional) one "name = value" a line: 'text', 12, 1.5 or NULL
//   --- batch            the batch under test
//   --- rows             (optional) the rows of its first result set, columns joined by " | "
//   --- types            (optional) the record set's fields for that result set, with or
//                        without rows: Boolean, Integer, BigInt, Float, Currency(places),
//                        Text(width) or Text, DateTime, Blob; "-" where the values decide
//   --- error            (optional) a text the error message must contain
//   --- translated       (optional) the translated statements, one a line
//   --- after: QUERY     (optional, repeatable) the rows QUERY returns afterwards
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <QDir>
#include <QFile>
#include <QRegularExpression>

#include "TsqlMemoryDb.h"
#include "base/TextFormat.h"
#include "db/RecordSet.h"
#include "db/SqliteValues.h"
#include "db/tsql/TsqlDecimal.h"
#include "db/tsql/TsqlSession.h"

using namespace Qd::Core::Db;

namespace {

struct GoldenCase {
    std::string name;  // file_case, for the test's name
    QString file;
    int line = 0;
    QString setup;
    Params params;
    QString batch;
    std::optional<QStringList> rows;
    std::optional<QString> types;
    std::optional<QString> error;
    std::optional<QStringList> translated;
    std::vector<std::pair<QString, QStringList>> after;
};

// A value as the case files write it; a number of a decimal or money column shows its places.
QString renderValue(const QVariant& v, const QString& type) {
    if (v.isNull())
        return QStringLiteral("NULL");
    const int places = Tsql::shownPlaces(type);
    if (v.typeId() == QMetaType::Double)
        return Qd::Core::Sys::withPlaces(QString::number(v.toDouble(), 'g', 15), places);
    if (v.typeId() == QMetaType::LongLong)
        return Qd::Core::Sys::withPlaces(v.toString(), places);
    if (v.typeId() == QMetaType::QByteArray)
        return QStringLiteral("0x") + QString::fromLatin1(v.toByteArray().toHex().toUpper());
    return v.toString();
}

// The fields a record set loading the result gets, as the case files write them.
QString renderFields(const QStringList& types) {
    QStringList out;
    for (const QString& type : types) {
        if (type.isEmpty()) {
            out << QStringLiteral("-");
            continue;
        }
        FieldDef def;
        typeField(def, type);
        static const char* const names[] = {"Integer", "BigInt", "Float",    "Currency",
                                            "Boolean", "Text",   "DateTime", "Blob"};
        QString name = QLatin1String(names[int(def.type)]);
        if (def.type == FieldType::Currency)
            name += QStringLiteral("(%1)").arg(def.places);
        else if (def.type == FieldType::Text && def.size > 0)
            name += QStringLiteral("(%1)").arg(def.size);
        out << name;
    }
    return out.join(QStringLiteral(" | "));
}

QVariant parseValue(const QString& text) {
    const QString t = text.trimmed();
    if (t.compare(QLatin1String("NULL"), Qt::CaseInsensitive) == 0)
        return QVariant();
    if (t.startsWith(QLatin1Char('\'')) && t.endsWith(QLatin1Char('\'')) && t.size() >= 2)
        return t.mid(1, t.size() - 2);
    bool ok = false;
    const qlonglong i = t.toLongLong(&ok);
    if (ok)
        return i;
    const double d = t.toDouble(&ok);
    if (ok)
        return d;
    return t;
}

std::vector<GoldenCase> loadCases() {
    std::vector<GoldenCase> cases;
    const QDir dir(QStringLiteral(QD_TSQL_CASES_DIR));
    for (const QString& file : dir.entryList({QStringLiteral("*.test")}, QDir::Files, QDir::Name)) {
        QFile f(dir.filePath(file));
        if (!f.open(QIODevice::ReadOnly))
            continue;
        const QStringList lines = QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'));
        GoldenCase* c = nullptr;
        QString section;
        QStringList body;
        auto flush = [&] {
            if (!c)
                return;
            while (!body.isEmpty() && body.last().trimmed().isEmpty())
                body.removeLast();
            const QString text = body.join(QLatin1Char('\n'));
            if (section == QLatin1String("setup"))
                c->setup = text;
            else if (section == QLatin1String("batch"))
                c->batch = text;
            else if (section == QLatin1String("rows"))
                c->rows = body;
            else if (section == QLatin1String("types"))
                c->types = text.trimmed();
            else if (section == QLatin1String("error"))
                c->error = text.trimmed();
            else if (section == QLatin1String("translated"))
                c->translated = body;
            else if (section.startsWith(QLatin1String("after:")))
                c->after.push_back({section.mid(6).trimmed(), body});
            else if (section == QLatin1String("params"))
                for (const QString& l : body)
                    if (l.contains(QLatin1Char('=')))
                        c->params.push_back({l.section(QLatin1Char('='), 0, 0).trimmed(),
                                             parseValue(l.section(QLatin1Char('='), 1))});
            body.clear();
        };
        for (int n = 0; n < lines.size(); ++n) {
            QString l = lines[n];
            if (l.endsWith(QLatin1Char('\r')))
                l.chop(1);
            if (l.startsWith(QLatin1String("#")) && section.isEmpty())
                continue;
            if (l.startsWith(QLatin1String("=== "))) {
                flush();
                section.clear();
                cases.emplace_back();
                c = &cases.back();
                c->file = file;
                c->line = n + 1;
                QString id =
                    file.section(QLatin1Char('.'), 0, 0) + QLatin1Char('_') + l.mid(4).trimmed();
                id.replace(QRegularExpression(QStringLiteral("[^A-Za-z0-9]+")),
                           QStringLiteral("_"));
                c->name = id.toStdString() + "_L" + std::to_string(n + 1);
                continue;
            }
            if (l.startsWith(QLatin1String("--- "))) {
                flush();
                section = l.mid(4).trimmed();
                continue;
            }
            body << l;
        }
        flush();
    }
    return cases;
}

struct Db : TsqlMemoryDb {
    QStringList rows(const QString& batch, const Params& params = {}) {
        QStringList out;
        for (const QVariantList& row : values(batch, params)) {
            QStringList cells;
            for (qsizetype c = 0; c < row.size(); ++c)
                cells << renderValue(row[c], columnTypes.value(c));
            out << cells.join(QStringLiteral(" | "));
        }
        return out;
    }
};

class TsqlGolden : public ::testing::TestWithParam<GoldenCase> {};

TEST_P(TsqlGolden, Case) {
    const GoldenCase& c = GetParam();
    SCOPED_TRACE(QStringLiteral("%1:%2").arg(c.file).arg(c.line).toStdString());
    Db db;
    if (!c.setup.isEmpty()) {
        ASSERT_NO_THROW(db.rows(c.setup)) << "setup failed";
    }
    if (c.translated) {
        QStringList got;
        try {
            got = db.session->explain(c.batch);
        } catch (const DbError& e) {
            FAIL() << "translation failed: " << e.message().toStdString();
        }
        EXPECT_EQ(got.join(QLatin1Char('\n')).toStdString(),
                  c.translated->join(QLatin1Char('\n')).toStdString());
    }
    QStringList rows;
    try {
        rows = db.rows(c.batch, c.params);
        if (c.error) {
            FAIL() << "expected an error containing: " << c.error->toStdString();
        }
    } catch (const DbError& e) {
        if (!c.error) {
            FAIL() << "unexpected error: " << e.message().toStdString();
        }
        EXPECT_TRUE(e.message().contains(*c.error)) << e.message().toStdString();
    }
    if (c.rows) {
        EXPECT_EQ(rows.join(QLatin1Char('\n')).toStdString(),
                  c.rows->join(QLatin1Char('\n')).toStdString());
    }
    if (c.types) {
        EXPECT_EQ(renderFields(db.columnTypes).toStdString(), c.types->toStdString());
    }
    for (const auto& [query, expected] : c.after)
        EXPECT_EQ(db.rows(query).join(QLatin1Char('\n')).toStdString(),
                  expected.join(QLatin1Char('\n')).toStdString())
            << "after: " << query.toStdString();
}

INSTANTIATE_TEST_SUITE_P(Files, TsqlGolden, ::testing::ValuesIn(loadCases()),
                         [](const auto& info) { return info.param.name; });

}  // namespace
