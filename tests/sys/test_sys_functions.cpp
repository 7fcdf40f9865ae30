// The system's utility functions: pinyin initials, code numbering, elapsed time, password
// hashing and identifiers.
#include <gtest/gtest.h>

#include <QSet>
#include <QTimeZone>
#include <QUuid>

#include "sys/SystemServices.h"

namespace Qd::Core::Sys {
// Internal to SysFunctions.cpp; declared here to check it against the published vectors.
QByteArray pbkdf2HmacSha256(const QByteArray& password, const QByteArray& salt, int iterations,
                            int length);
}  // namespace Qd::Core::Sys

using namespace Qd::Core::Sys;

namespace {

struct TextCase {
    const char* input;
    const char* expected;
};

TEST(HZtoPY, NamesCompaniesAndAddresses) {
    const TextCase cases[] = {
        // personal names
        {"张三", "ZS"},
        {"欧阳娜娜", "OYNN"},
        {"诸葛亮", "ZGL"},
        // companies and shops, with the words whose reading differs from their characters'
        {"招商银行股份有限公司", "ZSYHGFYXGS"},
        {"重庆百货大楼", "CQBHDL"},
        {"长沙市开福区", "CSSKFQ"},
        {"厦门航空", "XMHK"},
        {"蚌埠医学院", "BBYXY"},
        {"格力空调专卖店", "GLKTZMD"},
        {"财务会计部", "CWKJB"},
        {"调价单", "TJD"},
        {"调拨单", "DBD"},
        {"自行车行", "ZXCH"},
        {"华夏银行行长", "HXYHHZ"},
        {"金茂大厦", "JMDS"},
        {"重要客户", "ZYKH"},
        // addresses
        {"北京市朝阳区", "BJSCYQ"},
        {"广州市番禺区", "GZSPYQ"},
        {"西藏自治区拉萨市", "XZZZQLSS"},
        {"广东省东莞市", "GDSDGS"},
        {"深圳市南山区科技园路18号B栋1201室", "SZSNSQKJYL18HBD1201S"},
        {"（北京）有限公司，", "BJYXGS"},
        {"abc-123 xyz", "ABC123XYZ"},
        {"北京の店", "BJD"},
        {"", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.input);
        EXPECT_EQ(HZtoPY(QString::fromUtf8(c.input)), QString::fromLatin1(c.expected));
    }
}

// One row per block of ideographs, and the forms that are normalised before the lookup.
TEST(HZtoPY, EveryBlockAndCompatibilityForms) {
    const TextCase cases[] = {
        {"刘䶮", "LY"},          // Extension A
        {"㐀", "Q"},             // first of Extension A
        {"鿏", "M"},            // late addition to the main block
        {"𠀀", "H"},             // first of Extension B
        {"𪚥", "Z"},             // Extension B
        {"赵孟𫖯", "ZMF"},       // Extension C
        {"咬𬌗", "YH"},       // Extension E
        {"\U0002D016", "L"},     // Extension F
        {"𰻝𰻞面", "BBM"},  // Extension G
        {"𠮷野家", "YJ"},        // 𠮷 has no reading
        {"\uF900", "Q"},         // compatibility ideograph, read as U+8C48
        {"\uFA18", "L"},         // compatibility ideograph with a reading of its own
        {"Ａ座３楼", "AZ3L"},    // full-width letters and digits
        {"二〇二四年", "EESN"},  // 〇 is a symbol, not an ideograph
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.input);
        EXPECT_EQ(HZtoPY(QString::fromUtf8(c.input)), QString::fromLatin1(c.expected));
    }
}

// No syllable starts with i, u or ü, so those letters show a tone mark read wrongly; and the
// main block is covered but for a handful of characters Unihan gives no reading.
TEST(HZtoPY, TableIsWellFormed) {
    const std::pair<char32_t, char32_t> blocks[] = {
        {0x3400, 0x4DBF},   {0x4E00, 0x9FFF},   {0xF900, 0xFAFF},   {0x20000, 0x2A6DF},
        {0x2A700, 0x2B73F}, {0x2B740, 0x2B81F}, {0x2B820, 0x2CEAF}, {0x2CEB0, 0x2EBEF},
        {0x30000, 0x3134F}, {0x31350, 0x323AF}};
    int withInitial = 0;
    for (const auto& [first, last] : blocks) {
        for (char32_t cp = first; cp <= last; ++cp) {
            const QString py = HZtoPY(QString::fromUcs4(&cp, 1));
            ASSERT_LE(py.size(), 1) << std::hex << static_cast<unsigned>(cp);
            if (py.isEmpty())
                continue;
            ++withInitial;
            const QChar letter = py[0];
            EXPECT_TRUE(letter >= QLatin1Char('A') && letter <= QLatin1Char('Z') &&
                        letter != QLatin1Char('I') && letter != QLatin1Char('U') &&
                        letter != QLatin1Char('V'))
                << std::hex << static_cast<unsigned>(cp) << " " << py.toStdString();
        }
    }
    EXPECT_GT(withInitial, 41000);

    int missing = 0;
    for (char32_t cp = 0x4E00; cp <= 0x9FA5; ++cp)
        missing += HZtoPY(QString::fromUcs4(&cp, 1)).isEmpty() ? 1 : 0;
    EXPECT_LE(missing, 16);
}

TEST(IteratorNextS, TrailingNumberAdvances) {
    struct Case {
        const char* code;
        int n;
        const char* expected;
    };
    const Case cases[] = {
        {"A0099", 1, "A0100"},
        {"A99", 1, "A100"},
        {"0000", 1, "0001"},
        {"", 1, "1"},
        {"ABC", 1, "ABC1"},
        {"A1B", 1, "A1B1"},
        {"XS20240101-0009", 1, "XS20240101-0010"},
        {"门店A-009", 1, "门店A-010"},
        {"2024年001", 25, "2024年026"},
        {" A0099 ", 1, "A0100"},
        {"A0099", 0, "A0100"},
        {"P99999999999999999999999", 1, "P100000000000000000000000"},
        {"12345678901234567890", 2147483647, "12345678903382051537"},
        {"X1", 2147483647, "X2147483648"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(
            QStringLiteral("%1 + %2").arg(QString::fromUtf8(c.code)).arg(c.n).toStdString());
        EXPECT_EQ(iteratorNextS(QString::fromUtf8(c.code), c.n), QString::fromUtf8(c.expected));
    }
}

TEST(DiffBetween, ElapsedTimeText) {
    const QDateTime base(QDate(2024, 3, 1), QTime(8, 0));
    struct Case {
        qint64 seconds;
        const char* expected;
    };
    const Case cases[] = {
        {0, ""},
        {-60, ""},
        {30, "0分"},
        {60, "1分"},
        {4 * 3600 + 5 * 60, "4小时5分"},
        {3 * 86400 + 5 * 60, "3天0小时5分"},
        {3 * 86400 + 4 * 3600 + 5 * 60, "3天4小时5分"},
        {400 * 86400 + 23 * 3600 + 59 * 60 + 59, "400天23小时59分"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.seconds);
        EXPECT_EQ(diffBetween(base, base.addSecs(c.seconds)), QString::fromUtf8(c.expected));
    }
    EXPECT_EQ(diffBetween(QDateTime(), base), QString());
    EXPECT_EQ(diffBetween(base, QDateTime()), QString());
    // Elapsed time, not the difference of the wall clocks: 00:00 UTC to 09:30 in UTC+8.
    const QDateTime utc(QDate(2024, 3, 1), QTime(0, 0), QTimeZone::utc());
    const QDateTime beijing(QDate(2024, 3, 1), QTime(9, 30), QTimeZone(8 * 3600));
    EXPECT_EQ(diffBetween(utc, beijing), QStringLiteral("1小时30分"));
    // Across a leap day.
    EXPECT_EQ(diffBetween(QDateTime(QDate(2024, 2, 28), QTime(12, 0)),
                          QDateTime(QDate(2024, 3, 1), QTime(12, 0))),
              QStringLiteral("2天0小时0分"));
}

TEST(PasswordHash, Pbkdf2Vectors) {
    struct Case {
        const char* password;
        const char* salt;
        int iterations;
        int length;
        const char* hex;
    };
    const Case cases[] = {
        // RFC 7914, section 11
        {"passwd", "salt", 1, 64,
         "55ac046e56e3089fec1691c22544b605f94185216dde0465e68b9d57c20dacbc"
         "49ca9cccf179b645991664b39d77ef317c71b845b1e30bd509112041d3a19783"},
        {"Password", "NaCl", 80000, 64,
         "4ddcd8f60b98be21830cee5ef22701f9641a4418d04c0414aeff08876b34ab56"
         "a1d425a1225833549adb841b51c9b3176a272bdebba1d078478f62b397f33c8d"},
        // a length that is not a whole number of blocks
        {"password", "salt", 2, 20, "ae4d0c95af6b46d32d0adff928f06dd02a303f8e"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.password);
        EXPECT_EQ(pbkdf2HmacSha256(c.password, c.salt, c.iterations, c.length).toHex(),
                  QByteArray(c.hex));
    }
}

// The password and the salt text as UTF-8, 32 bytes; the digest is the one the stored hashes of
// earlier versions (10 000 iterations, no count) hold.
TEST(PasswordHash, StoredFormsOfEitherAgeMatchTheirPasswordAndNothingElse) {
    const QString salt = QStringLiteral("0f1e2d3c4b5a69788796a5b4c3d2e1f0");
    const QString password = QStringLiteral("密码Abc123");
    const QString legacy =
        QStringLiteral("7b934afa9c4025fef991fea47a9ac5d73c563999fe1cde5a068008ab40a7ca9c");
    EXPECT_EQ(passwordHash(password, salt, 10000), QStringLiteral("pbkdf2-sha256$10000$") + legacy);
    EXPECT_EQ(passwordHash(QString(), QStringLiteral("salt"), 10000),
              QStringLiteral("pbkdf2-sha256$10000$"
                             "3858d46c99e991ceab06675533e2e2c301d2a5ba558c4cd7eda2a8b02cc28f47"));
    // New hashes get the target count (the tests' lowered one here).
    const QString current = passwordHash(password, salt);
    EXPECT_TRUE(current.startsWith(QStringLiteral("pbkdf2-sha256$%1$").arg(passwordIterations())));
    EXPECT_TRUE(passwordMatches(password, salt, legacy));
    EXPECT_TRUE(passwordMatches(password, salt, current));
    EXPECT_FALSE(passwordMatches(QStringLiteral("密码Abc124"), salt, legacy));
    EXPECT_FALSE(passwordMatches(password, QStringLiteral("other"), current));
    const QString damaged[] = {
        QString(),
        legacy.toUpper() + QStringLiteral("0"),
        QStringLiteral("pbkdf2-sha256$x$") + legacy,
        QStringLiteral("pbkdf2-sha256$0$") + legacy,
        QStringLiteral("pbkdf2-sha1$10000$") + legacy,
        QStringLiteral("pbkdf2-sha256$10000$") + legacy.left(62),
        QStringLiteral("10000$") + legacy,
    };
    for (const QString& stored : damaged) {
        SCOPED_TRACE(stored.toStdString());
        EXPECT_FALSE(passwordMatches(password, salt, stored));
        EXPECT_TRUE(passwordNeedsRehash(stored));
    }

    // A hash with fewer iterations than the target is made again at the next login.
    EXPECT_TRUE(passwordNeedsRehash(legacy));
    EXPECT_FALSE(passwordNeedsRehash(current));
    setPasswordIterationsForTests(passwordIterations() * 2);
    EXPECT_TRUE(passwordNeedsRehash(current));
    EXPECT_TRUE(passwordMatches(password, salt, current));  // its own count still checks it
    setPasswordIterationsForTests(passwordIterations() / 2);
}

TEST(NewIds, SaltsAreLowerHexAndIdsUpperCaseGuidsNewEachTime) {
    QSet<QString> seen;
    for (int i = 0; i < 500; ++i) {
        const QString salt = newSalt(), id = newid();
        EXPECT_EQ(salt.size(), 32);
        EXPECT_EQ(QByteArray::fromHex(salt.toLatin1()).toHex(), salt.toLatin1());
        ASSERT_EQ(id.size(), 36) << id.toStdString();
        EXPECT_EQ(id, id.toUpper());
        EXPECT_FALSE(QUuid::fromString(id).isNull()) << id.toStdString();
        seen << salt << id;
    }
    EXPECT_EQ(seen.size(), 1000);
}

}  // namespace
