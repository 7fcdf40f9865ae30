#pragma once

// The demo organisation with its items' and customers' pinyin initials filled in, for the
// filter dialogs.
#include <QStringList>

#include <QFile>
#include "app/DemoSession.h"

#include "db/RecordSet.h"
#include "db/Trace.h"
#include "sys/SystemServices.h"

namespace Qd::Test {

class PickerTest : public DemoSession {
protected:
    void SetUp() override {
        DemoSession::SetUp();
        // helpcode from the names, as the lists fill it when a name is typed.
        for (const char* table : {"qd_b_xmbmk", "qd_b_khbmk"}) {
            Core::Db::DataPacket rows =
                demo->openData(QStringLiteral("select id, name from %1").arg(table));
            for (rows.first(); !rows.eof(); rows.next())
                ASSERT_TRUE(demo->execSQL(
                    QStringLiteral("update %1 set helpcode = :h where id = :id").arg(table),
                    {{QStringLiteral("h"), Core::Sys::HZtoPY(rows.field(1).asString())},
                     {QStringLiteral("id"), rows.field(0).asInteger()}}));
        }
    }
    Core::Sys::TPlugItem* module(const char* name) {
        return Core::Sys::plugsPool().plugbyName(QString::fromUtf8(name), false);
    }
    // Everything the trace holds so far.
    static QString traced() {
        Core::Db::flushTrace();
        QFile file(Core::Db::traceFilePath());
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    }
    // A field of every row of a record set, in order.
    static QStringList column(const Core::Db::RecordSet& rs, const char* field) {
        QStringList values;
        const int f = rs.fieldIndex(QString::fromLatin1(field));
        for (int i = 0; i < rs.recordCount(); ++i)
            values << rs.textAt(rs.rowAt(i), f);
        return values;
    }
};

}  // namespace Qd::Test
