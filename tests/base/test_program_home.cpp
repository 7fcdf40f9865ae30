// The program home of an installed program: QD_HOME, a portable copy's own folder, or the
// user's data folder; and the running program settled in it.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QScopeGuard>
#include <QTemporaryDir>

#include "base/ProgramHome.h"

using namespace Qd::Core::Sys;

namespace {

void touch(const QString& path) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
}

// Takes the write right from `folder`; for a user the right does not stop (root), makes it
// immutable. False when neither keeps a file from being made there.
bool makeUnwritable(const QString& folder) {
    QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner);
    if (!canWriteIn(folder))
        return true;
    QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("+i"), folder});
    return !canWriteIn(folder);
}

void makeWritable(const QString& folder) {
    QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("-i"), folder});
    QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

TEST(ProgramHome, QdHomeWinsThenAPortableCopyThenTheUsersDataFolder) {
    const QString exe = QStringLiteral("/opt/qd/bin");
    const QString data = QStringLiteral("/home/u/.local/share/qdclient");
    struct Row {
        const char* name;
        HomePlaces places;
        QString home;
    };
    const Row rows[] = {
        {"QD_HOME, even beside a portable copy",
         {QStringLiteral("/srv/qd"), exe, true, data},
         QStringLiteral("/srv/qd")},
        {"a relative QD_HOME, from the working folder",
         {QStringLiteral("qdhome"), exe, false, data},
         QDir::current().absoluteFilePath(QStringLiteral("qdhome"))},
        {"a portable copy", {QString(), exe, true, data}, exe},
        {"an installed program", {QString(), exe, false, data}, data},
    };
    for (const Row& row : rows)
        EXPECT_EQ(chooseProgramHome(row.places), row.home) << row.name;
}

TEST(ProgramHome, APortableCopyHoldsTheMarkerAndCanBeWritten) {
    QTemporaryDir dir;
    const QString folder = dir.path();
    EXPECT_FALSE(isPortableCopy(folder));  // no marker

    QDir(folder).mkdir(QLatin1String(kPortableMarker));
    EXPECT_FALSE(isPortableCopy(folder)) << "a folder of that name is no marker";
    QDir(folder).rmdir(QLatin1String(kPortableMarker));

    touch(QDir(folder).filePath(QLatin1String(kPortableMarker)));
    EXPECT_TRUE(isPortableCopy(folder));
    EXPECT_EQ(QDir(folder).entryList(QDir::Files | QDir::Hidden).size(), 1)
        << "the write probe leaves nothing behind";

    // An installed program's folder with the marker left in it, but read-only.
    const auto restore = qScopeGuard([&] { makeWritable(folder); });
    if (!makeUnwritable(folder))
        GTEST_SKIP() << "no way to keep this user from writing in a folder";
    EXPECT_FALSE(isPortableCopy(folder));
}

TEST(ProgramHome, NothingIsWrittenInAFolderThatIsMissingOrAFile) {
    QTemporaryDir dir;
    EXPECT_TRUE(canWriteIn(dir.path()));
    EXPECT_FALSE(canWriteIn(dir.filePath(QStringLiteral("missing"))));
    touch(dir.filePath(QStringLiteral("file")));
    EXPECT_FALSE(canWriteIn(dir.filePath(QStringLiteral("file"))));
}

// The test program is no portable copy (no marker beside it): without QD_HOME it settles in the
// user's data folder, made owner-only; with QD_HOME, there.
TEST(ProgramHome, TheRunningProgramSettlesInTheUsersDataFolderOrQdHome) {
    ASSERT_FALSE(isPortableCopy(QCoreApplication::applicationDirPath()));
    QTemporaryDir dir;
    const QByteArray oldData = qgetenv("XDG_DATA_HOME");
    const QByteArray oldHome = qgetenv("QD_HOME");
    const auto restore = qScopeGuard([&] {
        oldData.isNull() ? qunsetenv("XDG_DATA_HOME") : qputenv("XDG_DATA_HOME", oldData);
        oldHome.isNull() ? qunsetenv("QD_HOME") : qputenv("QD_HOME", oldHome);
        setProgramHome(QString());
    });
    qputenv("XDG_DATA_HOME", dir.filePath(QStringLiteral("data")).toLocal8Bit());
    qunsetenv("QD_HOME");

    const QString data =
        dir.filePath(QStringLiteral("data/") + QCoreApplication::applicationName());
    EXPECT_EQ(settleProgramHome(), data);
    EXPECT_EQ(programHome(), data);
    EXPECT_EQ(programPath(QStringLiteral("demo.db")), data + QStringLiteral("/demo.db"));
    EXPECT_EQ(QFile::permissions(data) &
                  (QFile::ReadGroup | QFile::ReadOther | QFile::WriteGroup | QFile::WriteOther),
              0);

    qputenv("QD_HOME", dir.filePath(QStringLiteral("elsewhere")).toLocal8Bit());
    EXPECT_EQ(settleProgramHome(), dir.filePath(QStringLiteral("elsewhere")));
    EXPECT_TRUE(QFileInfo(dir.filePath(QStringLiteral("elsewhere"))).isDir());
}

}  // namespace
