#include "support/HostileValues.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <QCryptographicHash>
#include <QRegularExpression>
#include <QStringList>
#include <cstring>

namespace Qd::Test {

namespace {

// 4,000 characters with a quote and a wildcard in every group of three.
QString longText() {
    QString s;
    while (s.size() < 4000)
        s += QStringLiteral("长'%");
    s.truncate(4000);
    return s;
}

// A read-only connection of its own on the file, closed when it goes.
class Connection {
public:
    explicit Connection(const QString& path) {
        if (sqlite3_open_v2(path.toUtf8().constData(), &m_db, SQLITE_OPEN_READONLY, nullptr) !=
            SQLITE_OK)
            ADD_FAILURE() << "cannot open " << path.toStdString() << ": " << sqlite3_errmsg(m_db);
        // Text columns are declared with the session's collation; a read here compares exactly.
        sqlite3_create_collation(m_db, "qd_text", SQLITE_UTF8, nullptr,
                                 [](void*, int n1, const void* s1, int n2, const void* s2) {
                                     const int c =
                                         std::memcmp(s1, s2, std::size_t(std::min(n1, n2)));
                                     return c != 0 ? c : n1 - n2;
                                 });
    }
    ~Connection() { sqlite3_close(m_db); }
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    // Runs `sql`, calling `row` for each row; false (with a test failure) when it cannot run.
    bool each(const QString& sql, const std::map<QString, QVariant>& params,
              const std::function<void(sqlite3_stmt*)>& row) {
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(m_db, sql.toUtf8().constData(), -1, &st, nullptr) != SQLITE_OK) {
            ADD_FAILURE() << sql.toStdString() << ": " << sqlite3_errmsg(m_db);
            return false;
        }
        for (const auto& [name, value] : params) {
            const int at =
                sqlite3_bind_parameter_index(st, (QLatin1Char(':') + name).toUtf8().constData());
            if (value.typeId() == QMetaType::QString)
                sqlite3_bind_text(st, at, value.toString().toUtf8().constData(), -1,
                                  SQLITE_TRANSIENT);
            else
                sqlite3_bind_int64(st, at, value.toLongLong());
        }
        int rc;
        while ((rc = sqlite3_step(st)) == SQLITE_ROW)
            row(st);
        if (rc != SQLITE_DONE)
            ADD_FAILURE() << sql.toStdString() << ": " << sqlite3_errmsg(m_db);
        sqlite3_finalize(st);
        return rc == SQLITE_DONE;
    }

private:
    sqlite3* m_db = nullptr;
};

QString textAt(sqlite3_stmt* st, int column) {
    return QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, column)),
                             sqlite3_column_bytes(st, column));
}

}  // namespace

QString HostileValue::stored() const {
    return QString::fromUtf8(text.toUtf8());
}

bool HostileValue::fits(int width) const {
    return width <= 0 || stored().size() <= width;
}

const std::vector<HostileValue>& hostileValues() {
    static const std::vector<HostileValue> values = {
        {"quote", QStringLiteral("O'Brien")},
        {"statement", QStringLiteral("'; drop table qd_b_ygbmk;--")},
        {"unicode_literal", QStringLiteral("N'x'")},
        {"backslash", QStringLiteral("C:\\单据\\")},
        {"bracket", QStringLiteral("名]")},
        {"percent", QStringLiteral("50%")},
        {"underscore", QStringLiteral("A_1")},
        {"line_comment", QStringLiteral("--")},
        {"block_comment", QStringLiteral("/*")},
        {"placeholders", QStringLiteral(":orgid :iclass :p1")},
        {"format", QStringLiteral("%s%d%1")},
        {"long", longText()},
        {"fullwidth_quotes", QStringLiteral("Ｏ＇Ｂｒｉｅｎ＂")},
        {"emoji", QStringLiteral("客户😀👍🏽")},
        {"lone_surrogate", QString(QChar(0xD83D)) + QStringLiteral("x")},
    };
    return values;
}

void forEachHostileValue(const std::function<void(const HostileValue&)>& f) {
    for (const HostileValue& v : hostileValues()) {
        SCOPED_TRACE(v.name);
        try {
            f(v);
        } catch (const std::exception& e) {
            ADD_FAILURE() << "exception: " << e.what();
        }
    }
}

DbSnapshot::DbSnapshot(const QString& dbPath) {
    Connection c(dbPath);
    QStringList tables;
    c.each(QStringLiteral("select name from sqlite_master where type = 'table' and name not "
                          "like 'sqlite%'"),
           {}, [&](sqlite3_stmt* st) { tables << textAt(st, 0); });
    for (const QString& table : tables) {
        auto& rows = m_rows[table];
        c.each(QStringLiteral("select rowid, * from \"%1\"").arg(table), {}, [&](sqlite3_stmt* st) {
            QCryptographicHash digest(QCryptographicHash::Sha1);
            for (int i = 1; i < sqlite3_column_count(st); ++i) {
                const char type = char(sqlite3_column_type(st, i));
                digest.addData(QByteArrayView(&type, 1));
                const auto* bytes = static_cast<const char*>(sqlite3_column_blob(st, i));
                digest.addData(QByteArrayView(bytes, sqlite3_column_bytes(st, i)));
            }
            rows[sqlite3_column_int64(st, 0)] = digest.result();
        });
    }
}

QString DbSnapshot::changesSince(const DbSnapshot& before) const {
    static const std::map<qint64, QByteArray> none;
    QStringList out;
    std::map<QString, int> tables;
    for (const auto& [t, rows] : before.m_rows)
        tables[t];
    for (const auto& [t, rows] : m_rows)
        tables[t];
    for (const auto& [table, unused] : tables) {
        const auto was = before.m_rows.find(table);
        const auto is = m_rows.find(table);
        const auto& old = was == before.m_rows.end() ? none : was->second;
        const auto& now = is == m_rows.end() ? none : is->second;
        int added = 0, changed = 0, removed = 0;
        for (const auto& [rowid, digest] : now) {
            const auto o = old.find(rowid);
            if (o == old.end())
                ++added;
            else if (o->second != digest)
                ++changed;
        }
        for (const auto& [rowid, digest] : old)
            removed += now.count(rowid) ? 0 : 1;
        QStringList parts;
        for (const auto& [count, what] : {std::pair{added, "added"}, std::pair{changed, "changed"},
                                          std::pair{removed, "removed"}})
            if (count)
                parts << QStringLiteral("%1 %2").arg(count).arg(QLatin1String(what));
        if (!parts.isEmpty())
            out << table + QStringLiteral(": ") + parts.join(QStringLiteral(", "));
    }
    return out.join(QStringLiteral("; "));
}

QString freshText(const QString& dbPath, const QString& sql,
                  const std::map<QString, QVariant>& params) {
    Connection c(dbPath);
    QString out = QStringLiteral("<no row>");
    bool first = true;
    c.each(sql, params, [&](sqlite3_stmt* st) {
        if (!first)
            return;
        first = false;
        out = sqlite3_column_type(st, 0) == SQLITE_NULL ? QStringLiteral("<null>") : textAt(st, 0);
    });
    return out;
}

int columnWidth(const QString& dbPath, const QString& table, const QString& column) {
    static const QRegularExpression width(QStringLiteral("\\((\\d+)\\)"));
    Connection c(dbPath);
    int out = -1;
    c.each(QStringLiteral("select type from pragma_table_info(:t) where name = :c"),
           {{QStringLiteral("t"), table}, {QStringLiteral("c"), column}}, [&](sqlite3_stmt* st) {
               const QRegularExpressionMatch m = width.match(textAt(st, 0));
               out = m.hasMatch() ? m.captured(1).toInt() : 0;
           });
    if (out < 0)
        ADD_FAILURE() << "no column " << table.toStdString() << "." << column.toStdString();
    return std::max(out, 0);
}

}  // namespace Qd::Test
