#include "DemoDatabase.h"

#include "DemoAttachments.h"
#include "DemoOrderFolders.h"
#include "DemoTemplates.h"

#include <QCryptographicHash>
#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "base/OwnerOnly.h"
#include "db/DataServices.h"
#include "db/DataSource.h"
#include "db/DatabaseFile.h"
#include "db/DbError.h"
#include "db/Schema.h"
#include "db/SqliteDataServices.h"
#include "print/engine/TemplateFile.h"
#include "sys/SystemServices.h"

namespace Qd::App {

QString demoSeedScript() {
    const QString path = QStringLiteral(":/demo/seed.sql");
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        throw Core::Db::DbError(QStringLiteral("缺少资源 %1").arg(path));
    return QString::fromUtf8(f.readAll());
}

QString demoEdition(const QString& seedSql) {
    QCryptographicHash hash(QCryptographicHash::Md5);
    hash.addData(Core::Db::frameworkSchemaScript().toUtf8());
    hash.addData(seedSql.toUtf8());
    for (const auto& t : {demoItemListTemplate(), demoEmployeeListTemplate(),
                          demoSummaryListTemplate(), demoOrderTemplate(), demoReceiptTemplate()})
        hash.addData(Print::TemplateFile::toBytes(t));
    hash.addData(kDemoAttachmentsEdition);
    return QString::fromLatin1(hash.result().toHex());
}

// The pinyin initials of the seeded items and customers, as saving them in their lists would
// have written.
void addDemoHelpcodes(Core::Db::SqliteDataServices& db) {
    for (const char* table : {"qd_b_xmbmk", "qd_b_khbmk"}) {
        const QString name = QString::fromLatin1(table);
        Core::Db::DataPacket rows =
            db.query(QStringLiteral("select id, name from %1 where helpcode is null").arg(name));
        for (rows.first(); !rows.eof(); rows.next())
            db.exec(QStringLiteral("update %1 set helpcode = :helpcode where id = :id").arg(name),
                    {{QStringLiteral("helpcode"), Core::Sys::HZtoPY(rows.field(1).asString())},
                     {QStringLiteral("id"), rows.field(0).asInteger()}});
    }
}

bool seedIfNew(Core::Db::SqliteDataServices& db, const QString& seedSql) {
    if (!Core::Db::ensureFrameworkSchema(db))
        return false;
    db.exec(seedSql);
    addDemoHelpcodes(db);
    addDemoTemplates(db);
    addDemoAttachments(db);
    db.exec(QStringLiteral("insert into qd_sys_config(orgid, cfgkey, cfgvalue) "
                           "values(1, 'demo.edition', :edition)"),
            {{QStringLiteral("edition"), demoEdition(seedSql)}});
    return true;
}

namespace {

using Core::Db::DbError;

// The edition a demo database file was seeded with; empty when it has none.
QString editionOf(const QString& path, const char* vfs) {
    Core::Db::SqliteDataServices db(path, 5000, vfs);
    return db
        .query(QStringLiteral("select cfgvalue from qd_sys_config where orgid = 1 and "
                              "cfgkey = 'demo.edition'"))
        .field(0)
        .asString();
}

void removeDatabase(const QString& path) {
    for (const char* suffix : {"", "-wal", "-shm", "-journal"})
        QFile::remove(path + QLatin1String(suffix));
}

// Moves a demo of another edition aside (with a write-ahead log its last connection left, if
// any); throws DbError when it cannot, so that nothing is lost.
QString keepAsBackup(const QString& path) {
    const QString backup = demoBackupName(path, QDate::currentDate());
    if (!QFile::rename(path, backup))
        throw DbError(QStringLiteral("无法把旧版本的演示数据库“%1”另存为“%2”").arg(path, backup));
    Core::Sys::ownerOnly(backup);
    if (QFileInfo::exists(path + QLatin1String("-wal")))
        QFile::rename(path + QLatin1String("-wal"), backup + QLatin1String("-wal"));
    QFile::remove(path + QLatin1String("-shm"));
    return backup;
}

// A demo made by an earlier version of the program is made again, so that the demo shows what
// this version offers; the old file is kept beside it and the user is told where. Changes made
// to a demo of this edition stay as they are.
void replaceOtherEdition(const QString& path, const QString& seed, const char* vfs) {
    const QString edition = editionOf(path, vfs);
    if (edition.isEmpty() || edition == demoEdition(seed))
        return;
    const QString backup = keepAsBackup(path);
    Core::Db::MessageMyDlg(
        QStringLiteral("演示数据库已更新为新的版本。原来的数据库（含您所做的修改）已保存为"
                       "“%1”。")
            .arg(QDir::toNativeSeparators(backup)),
        QStringLiteral("提示"), 2, Core::Ui::MsgButtons::Ok);
}

std::unique_ptr<Core::Db::SqliteDataServices> openOrMake(const QString& path, const QString& seed,
                                                         const char* vfs) {
    // Only the framework's own databases are written to: another program's file, or one that
    // is no database or is damaged, is left exactly as it is (the inspection throws for the
    // latter two).
    switch (Core::Db::inspectDatabaseFile(path, vfs)) {
        case Core::Db::DatabaseContent::Foreign:
            throw DbError(Core::Db::foreignDatabaseMessage(
                QDir::toNativeSeparators(path), {},
                QStringLiteral("请检查启动时给出的数据库文件（--db），或给出一个新的文件名以创建"
                               "演示数据库。")));
        case Core::Db::DatabaseContent::Framework:
            replaceOtherEdition(path, seed, vfs);
            break;
        case Core::Db::DatabaseContent::Nothing:
            break;
    }
    // A file made now (or one that held nothing) and left half seeded would never be seeded
    // again: it is removed on failure, so that the next start begins afresh.
    const bool made = !QFileInfo::exists(path) || QFileInfo(path).size() == 0;
    std::unique_ptr<Core::Db::SqliteDataServices> db;
    try {
        db = std::make_unique<Core::Db::SqliteDataServices>(path, 5000, vfs);
        if (seedIfNew(*db, seed))
            addDemoOrderFolders(*db);
    } catch (const DbError&) {
        if (made) {
            db.reset();
            removeDatabase(path);
        }
        throw;
    }
    return db;
}

// What the user is told when the client cannot start on `path`: what is wrong with the file and
// what to do, in a sentence of our own; the embedded database's words follow in brackets.
QString cannotStart(const QString& path, const DbError& e) {
    const QString file = QDir::toNativeSeparators(path);
    QString sentence;
    switch (e.fileFault()) {
        case Core::Db::FileFault::None:
            return e.message();
        case Core::Db::FileFault::NotADatabase:
            sentence = QStringLiteral(
                "“%1”不是数据库文件，程序没有改动它。请检查启动时给出的"
                "数据库文件（--db），或给出一个新的文件名以创建演示数据库。");
            break;
        case Core::Db::FileFault::Damaged:
            sentence = QStringLiteral(
                "数据库文件“%1”已损坏，程序没有改动它。请用备份的数据库"
                "文件换下它，或把它交给系统管理员修复。");
            break;
        case Core::Db::FileFault::DiskFull:
            sentence = QStringLiteral(
                "磁盘空间不足，无法写入数据库“%1”。请腾出磁盘空间后再启动"
                "程序。");
            break;
        case Core::Db::FileFault::CannotOpen:
            sentence = QStringLiteral(
                "无法读写数据库文件“%1”。请检查该文件和它所在的文件夹是否"
                "存在、是否允许本程序读写。");
            break;
    }
    return sentence.arg(file) + QStringLiteral("（%1）").arg(e.dbText());
}

}  // namespace

QString demoBackupName(const QString& path, const QDate& day) {
    const QString stem = path + QStringLiteral(".bak-") + day.toString(QStringLiteral("yyyyMMdd"));
    QString name = stem;
    for (int n = 2; QFileInfo::exists(name); ++n)
        name = stem + QLatin1Char('-') + QString::number(n);
    return name;
}

std::unique_ptr<Core::Db::SqliteDataServices> openDemoDatabase(const QString& path,
                                                               const char* vfs) {
    const QString seed = demoSeedScript();
    try {
        return openOrMake(path, seed, vfs);
    } catch (const DbError& e) {
        throw DbError(cannotStart(path, e), e.dbCode());
    }
}

}  // namespace Qd::App
