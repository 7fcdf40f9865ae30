// Files written owner-only in pieces: the whole lands at once, a writer that gives up leaves the
// old file as it was and nothing beside it.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QIODevice>
#include <QTemporaryDir>

#include "base/OwnerOnly.h"

using Qd::Core::Sys::writeOwnerOnlyFile;

namespace {

QByteArray contentOf(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<none>");
}

TEST(OwnerOnlyFile, PiecesLandWholeAndAWriterThatGivesUpKeepsTheOldFile) {
    QTemporaryDir dir;
    const QString path = dir.filePath("sub/copy.bin");

    // Given a file written in three pieces, in a folder made for it
    ASSERT_TRUE(writeOwnerOnlyFile(path, [](QIODevice& out) {
        return out.write("one ") == 4 && out.write("two ") == 4 && out.write("three") == 5;
    }));
    EXPECT_EQ(contentOf(path), QByteArray("one two three"));
    EXPECT_EQ(QFile::permissions(path) & (QFile::ReadGroup | QFile::ReadOther), 0);

    // When a later writer stops half-way
    EXPECT_FALSE(writeOwnerOnlyFile(path, [](QIODevice& out) {
        out.write(QByteArray(100000, 'x'));
        return false;
    }));

    // Then the old file is whole and alone in its folder.
    EXPECT_EQ(contentOf(path), QByteArray("one two three"));
    EXPECT_EQ(QDir(dir.filePath("sub")).entryList(QDir::Files | QDir::Hidden),
              QStringList{"copy.bin"});
}

}  // namespace
