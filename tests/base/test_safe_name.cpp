// Names from data made into file names: nothing that moves to another folder survives, the name
// fits every file system, and a path built with it stays in its folder.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "base/SafeName.h"

using Qd::Core::Sys::fileUnder;
using Qd::Core::Sys::isInside;
using Qd::Core::Sys::safeFileName;

namespace {

struct NameCase {
    const char* what;
    QString text;
    QString expected;
};

TEST(SafeFileName, SeparatorsForbiddenCharactersAndEdgesAreNeutralised) {
    const NameCase cases[] = {
        {"climbing out", "x/../../../escaped", "x_.._.._.._escaped"},
        {"a slash in a template name", QStringLiteral("A4/横版"), QStringLiteral("A4_横版")},
        {"the other system's separators", "..\\..\\win", "_.._win"},
        {"a drive", "C:\\Windows", "C__Windows"},
        {"characters no file system takes", "a:b*c?d\"e<f>g|h", "a_b_c_d_e_f_g_h"},
        {"control characters", QStringLiteral("a\tb\nc\x7f"), "a_b_c_"},
        {"only dots", "..", "_"},
        {"nothing", "", "_"},
        {"dots and blanks", QStringLiteral("  . \u3000"), "_"},
        {"a hidden file", ".bashrc", "bashrc"},
        {"trailing dot and blank", QStringLiteral("报表. "), QStringLiteral("报表")},
        {"a date with slashes", QStringLiteral("员工资料_2026/12/05"),
         QStringLiteral("员工资料_2026_12_05")},
        {"reserved", "CON", "_CON"},
        {"reserved with an extension", "nul.txt", "_nul.txt"},
        {"reserved port", "LPT9.fr3", "_LPT9.fr3"},
        {"not reserved", "CONSOLE", "CONSOLE"},
        {"not a port", "COM", "COM"},
    };
    for (const NameCase& c : cases)
        EXPECT_EQ(safeFileName(c.text), c.expected) << c.what;
}

TEST(SafeFileName, LongNamesAreCutByCharactersAndByUtf8Bytes) {
    // ASCII: 120 characters.
    EXPECT_EQ(safeFileName(QString(200, QLatin1Char('a'))), QString(120, QLatin1Char('a')));
    // Chinese takes 3 bytes a character: 80 of them fill the 240 bytes.
    const QString chinese = QString(100, QChar(0x6a21));  // 模
    EXPECT_EQ(safeFileName(chinese), chinese.left(80));
    // Characters outside the basic plane: never cut in half, 4 bytes each.
    QString faces;
    for (int i = 0; i < 70; ++i)
        faces += QStringLiteral("\U0001F600");
    const QString cutFaces = safeFileName(faces);
    EXPECT_EQ(cutFaces.size(), 120);  // 60 characters of two UTF-16 units
    EXPECT_FALSE(cutFaces.back().isHighSurrogate());
    // A cut that ends on a dot drops it, as at any end.
    EXPECT_EQ(safeFileName(QString(119, QLatin1Char('a')) + QStringLiteral(".bbb")),
              QString(119, QLatin1Char('a')));
    // Leading dots do not count.
    EXPECT_EQ(safeFileName(QStringLiteral("....") + QString(130, QLatin1Char('c'))),
              QString(120, QLatin1Char('c')));
}

TEST(FileUnder, StaysInItsFolderKeepsTheSuffixAndCanBeWritten) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString folder = dir.filePath(QStringLiteral("reports"));
    ASSERT_TRUE(QDir().mkpath(folder));
    QString longest;
    for (int i = 0; i < 300; ++i)
        longest += QChar(0x6807);  // 标
    const QString names[] = {
        "x/../../../escaped",      "..",   "../", "/etc/passwd", "a\\..\\..\\b",
        QStringLiteral("A4/横版"), longest};
    for (const QString& name : names) {
        const QString path = fileUnder(folder, name, QStringLiteral(".fr3"));
        EXPECT_TRUE(isInside(path, folder)) << path.toStdString();
        EXPECT_EQ(QFileInfo(path).absolutePath(), QFileInfo(folder).absoluteFilePath());
        EXPECT_TRUE(path.endsWith(QStringLiteral(".fr3"))) << path.toStdString();
        // The file system takes the name: no missing folder, no name too long.
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly)) << file.errorString().toStdString();
    }
    EXPECT_EQ(fileUnder(folder, QStringLiteral("1002_01_标准"), QStringLiteral(".fr3")),
              folder + QStringLiteral("/1002_01_标准.fr3"));
}

TEST(IsInside, ComparesCleanAbsolutePathsByWholeFolders) {
    EXPECT_TRUE(isInside("/srv/qd/reports", "/srv/qd/reports"));
    EXPECT_TRUE(isInside("/srv/qd/reports/a.fr3", "/srv/qd/reports/"));
    EXPECT_TRUE(isInside("/srv/qd/reports/sub/../a.fr3", "/srv/qd/reports"));
    EXPECT_FALSE(isInside("/srv/qd/reports/../a.fr3", "/srv/qd/reports"));
    EXPECT_FALSE(isInside("/srv/qd/reportsx/a.fr3", "/srv/qd/reports"));  // not a prefix match
    EXPECT_TRUE(isInside("/etc/passwd", "/"));
}

}  // namespace
