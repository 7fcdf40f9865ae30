#include "support/TestEnv.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "base/ProgramHome.h"
#include "db/FaultVfs.h"
#include "db/Trace.h"

namespace Qd::Test {

bool isOwnerOnly(const QString& path) {
    const QFileInfo info(path);
    QFileDevice::Permissions owner = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
    if (info.isDir())
        owner |= QFileDevice::ExeOwner;
    const QFileDevice::Permissions all =
        QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner |
        QFileDevice::ReadGroup | QFileDevice::WriteGroup | QFileDevice::ExeGroup |
        QFileDevice::ReadOther | QFileDevice::WriteOther | QFileDevice::ExeOther;
    return info.exists() && (info.permissions() & all) == owner;
}

QString unwritableFolder(const QString& parent, QString* how) {
    const QString folder = parent + QStringLiteral("/read-only");
    QDir().mkpath(folder);
    QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner);
    QFile probe(folder + QStringLiteral("/probe"));
    if (!probe.open(QIODevice::WriteOnly)) {
        if (how)
            *how = QStringLiteral("a folder without the write right");
        return folder;
    }
    probe.close();
    probe.remove();
    QDir().rmdir(folder);
    QFile standIn(folder);
    standIn.open(QIODevice::WriteOnly);
    if (how)
        *how = QStringLiteral(
            "a file where the folder would be (the write right does not stop "
            "this user)");
    return folder;
}

void DbTest::SetUp() {
    ASSERT_TRUE(m_dir.isValid());
    Core::Sys::setProgramHome(m_dir.path());
    Core::Db::setTraceFile(m_dir.filePath(QStringLiteral("trace.log")));
    m_prompter = std::make_unique<ScriptedPrompter>();
    // Through the file system that can fail, disarmed: every test also proves it passes all
    // through unchanged, and a fault walk can arm it.
    m_db =
        std::make_unique<Core::Db::SqliteDataServices>(dbPath(), 5000, Core::Db::FaultVfs::name());
    Core::Db::setDataServices(m_db.get());
}

void DbTest::TearDown() {
    Core::Db::setDataServices(nullptr);
    m_db.reset();
    m_prompter.reset();
    Core::Db::setTraceFile(QString());
    Core::Sys::setProgramHome(QString());
}

QString DbTest::traced() {
    Core::Db::flushTrace();
    QFile file(Core::Db::traceFilePath());
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

QString DbTest::dbPath() const {
    return m_dir.filePath(QStringLiteral("test.db"));
}

}  // namespace Qd::Test
