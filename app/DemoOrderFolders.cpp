#include "DemoOrderFolders.h"

#include <QDir>
#include <QFile>

#include "DemoAttachments.h"
#include "db/DataServices.h"
#include "db/SqliteDataServices.h"
#include "db/Trace.h"
#include "tools/ExplorerFolders.h"

namespace Qd::App {

namespace {

// Writes `bytes` to `folder`/`name` unless that file exists; false when it cannot.
bool writeSample(const QString& folder, const QString& name, const QByteArray& bytes) {
    QFile file(QDir(folder).filePath(name));
    if (file.exists())
        return true;
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// The local folders of the stored paths the statement lists in its first column.
QStringList foldersOf(Core::Db::SqliteDataServices& db, const QString& sql) {
    QStringList out;
    Core::Db::DataPacket rows = db.query(sql);
    for (rows.first(); !rows.eof(); rows.next())
        if (const QString stored = rows.field(0).asString(); !stored.trimmed().isEmpty())
            out << Core::Tools::localFolder(stored);
    return out;
}

void makeFolder(const QString& folder, const QList<QPair<QString, QByteArray>>& files) {
    bool ok = QDir().mkpath(folder);
    for (const auto& [name, bytes] : files)
        ok = ok && writeSample(folder, name, bytes);
    if (!ok)
        Core::Db::LogError(QStringLiteral("无法创建演示文件夹 %1").arg(folder));
}

}  // namespace

void addDemoOrderFolders(Core::Db::SqliteDataServices& db) {
    const QByteArray note = QStringLiteral(
                                "本文件夹是门店的默认路径，用于存放订单的设计稿、报价单等文件。\r\n"
                                "在订单跟踪中选择“订单文件”，可以为订单选择或新建文件夹。\r\n")
                                .toUtf8();
    for (const QString& folder :
         foldersOf(db, QStringLiteral("select rootdir from qd_b_ckbmk where orgid = 1")))
        makeFolder(folder, {{QStringLiteral("说明.txt"), note}});
    for (const QString& folder :
         foldersOf(db, QStringLiteral("select filedir from qd_x_xmzzk where orgid = 1")))
        makeFolder(folder, {{QStringLiteral("设计稿.png"), demoProofPng()},
                            {QStringLiteral("报价单.pdf"), demoQuotationPdf()}});
}

}  // namespace Qd::App
