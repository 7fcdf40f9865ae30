// The system's small utility functions: identifiers, pinyin initials, elapsed time, code
// numbering and password hashing. docs/system-services.md ("Utility functions") explains the
// choices made here.
#include <openssl/crypto.h>
#include <openssl/evp.h>

#include <QRandomGenerator>
#include <QUuid>
#include <array>
#include <optional>
#include <string>

#include "sys/PinyinTable.h"
#include "sys/SystemServices.h"

namespace Qd::Core::Sys {

// Also called by the tests with the published PBKDF2 vectors, hence not in the anonymous
// namespace.
QByteArray pbkdf2HmacSha256(const QByteArray& password, const QByteArray& salt, int iterations,
                            int length);

namespace {

constexpr int kPasswordHashBytes = 32;
constexpr int kSaltBytes = 16;
const QString kHashScheme = QStringLiteral("pbkdf2-sha256");

int& targetIterations() {
    static int n = kPasswordIterations;
    return n;
}

// A stored password hash: "pbkdf2-sha256$<iterations>$<64 hex digits>", or the 64 hex digits
// alone, which were made with kLegacyPasswordIterations before the count was stored.
struct StoredHash {
    int iterations = 0;
    QByteArray digest;
};

std::optional<StoredHash> parseStoredHash(const QString& stored) {
    const QStringList parts = stored.split(QLatin1Char('$'));
    const QString hex = parts.back();
    if (hex.size() != kPasswordHashBytes * 2 ||
        QByteArray::fromHex(hex.toLatin1()).toHex() != hex.toLatin1())
        return std::nullopt;
    StoredHash out{kLegacyPasswordIterations, QByteArray::fromHex(hex.toLatin1())};
    if (parts.size() == 1)
        return out;
    bool ok = false;
    out.iterations = parts.size() == 3 ? parts[1].toInt(&ok) : 0;
    if (parts[0] != kHashScheme || !ok || out.iterations <= 0)
        return std::nullopt;
    return out;
}

QByteArray derive(const QString& password, const QString& salt, int iterations) {
    return pbkdf2HmacSha256(password.toUtf8(), salt.toUtf8(), iterations, kPasswordHashBytes);
}

// Two-character words whose customary reading differs from the most common reading of one of
// their characters: place names, banking and trade words that show up in customer, supplier
// and store names. Checked before the per-character table; keep the list short and add a word
// only when the table gives it a wrong initial.
struct WordInitials {
    char32_t first;
    char32_t second;
    char initials[3];
};
constexpr WordInitials kWordInitials[] = {
    {U'重', U'庆', "CQ"}, {U'长', U'沙', "CS"}, {U'长', U'春', "CC"}, {U'长', U'江', "CJ"},
    {U'长', U'城', "CC"}, {U'长', U'安', "CA"}, {U'厦', U'门', "XM"}, {U'西', U'藏', "XZ"},
    {U'番', U'禺', "PY"}, {U'银', U'行', "YH"}, {U'分', U'行', "FH"}, {U'支', U'行', "ZH"},
    {U'总', U'行', "ZH"}, {U'商', U'行', "SH"}, {U'车', U'行', "CH"}, {U'行', U'业', "HY"},
    {U'行', U'长', "HZ"}, {U'会', U'计', "KJ"}, {U'空', U'调', "KT"}, {U'调', U'价', "TJ"},
    {U'调', U'整', "TZ"}, {U'便', U'宜', "PY"}, {U'音', U'乐', "YY"},
};

const WordInitials* wordAt(const QList<uint>& text, qsizetype at) {
    if (at + 1 >= text.size())
        return nullptr;
    for (const auto& w : kWordInitials) {
        if (text[at] == w.first && text[at + 1] == w.second)
            return &w;
    }
    return nullptr;
}

bool isAsciiDigit(QChar c) {
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

}  // namespace

QString newid() {
    return QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
}

// Compatibility normalisation first: full-width letters and digits count as their ASCII forms
// and compatibility ideographs as the unified ideograph they stand for.
QString HZtoPY(const QString& text) {
    const QList<uint> cps = text.normalized(QString::NormalizationForm_KC).toUcs4();
    QString out;
    out.reserve(cps.size());
    for (qsizetype i = 0; i < cps.size(); ++i) {
        if (const WordInitials* w = wordAt(cps, i)) {
            out += QLatin1String(w->initials);
            ++i;
            continue;
        }
        const uint cp = cps[i];
        if ((cp >= 'A' && cp <= 'Z') || (cp >= '0' && cp <= '9')) {
            out += QChar(cp);
        } else if (cp >= 'a' && cp <= 'z') {
            out += QChar(cp - 'a' + 'A');
        } else if (const char letter = pinyinInitial(static_cast<char32_t>(cp))) {
            out += QLatin1Char(letter);
        }
    }
    return out;
}

// Whole minutes of elapsed time (seconds are dropped, a day is 24 hours). Units are written
// from the first non-zero one down to the minutes, inner zeros included ("3天0小时5分"), so a
// column of such texts reads alike; any positive span shorter than a minute is "0分".
QString diffBetween(const QDateTime& from, const QDateTime& to) {
    if (!from.isValid() || !to.isValid())
        return {};
    const qint64 ms = from.msecsTo(to);
    if (ms <= 0)
        return {};
    const qint64 minutes = ms / 60000;
    const qint64 days = minutes / (24 * 60);
    const qint64 hours = minutes / 60 % 24;
    const qint64 mins = minutes % 60;
    if (days > 0)
        return QStringLiteral("%1天%2小时%3分").arg(days).arg(hours).arg(mins);
    if (hours > 0)
        return QStringLiteral("%1小时%2分").arg(hours).arg(mins);
    return QStringLiteral("%1分").arg(mins);
}

// The trailing ASCII digits are added to as a decimal string, so runs longer than any integer
// type work. Blanks around the code are ignored (codes read from fixed-width columns come
// padded). n below 1 counts as 1: the result is always a code after the given one.
QString iteratorNextS(const QString& code, int n) {
    const QString trimmed = code.trimmed();
    qsizetype start = trimmed.size();
    while (start > 0 && isAsciiDigit(trimmed[start - 1]))
        --start;
    std::string digits = trimmed.mid(start).toStdString();
    unsigned long long carry = n < 1 ? 1 : static_cast<unsigned long long>(n);
    for (auto it = digits.rbegin(); it != digits.rend() && carry > 0; ++it) {
        const unsigned long long v = static_cast<unsigned long long>(*it - '0') + carry;
        *it = static_cast<char>('0' + v % 10);
        carry = v / 10;
    }
    std::string head;
    for (; carry > 0; carry /= 10)
        head.insert(head.begin(), static_cast<char>('0' + carry % 10));
    return trimmed.left(start) + QString::fromLatin1(head + digits);
}

QByteArray pbkdf2HmacSha256(const QByteArray& password, const QByteArray& salt, int iterations,
                            int length) {
    QByteArray out;
    if (length <= 0 || iterations <= 0)
        return out;
    out.resize(length);
    if (PKCS5_PBKDF2_HMAC(password.constData(), int(password.size()),
                          reinterpret_cast<const unsigned char*>(salt.constData()),
                          int(salt.size()), iterations, EVP_sha256(), length,
                          reinterpret_cast<unsigned char*>(out.data())) != 1)
        out.clear();
    return out;
}

int passwordIterations() {
    return targetIterations();
}

void setPasswordIterationsForTests(int iterations) {
    targetIterations() = iterations > 0 ? iterations : kPasswordIterations;
}

// The salt takes part as its text (UTF-8), the form in which it is stored.
QString passwordHash(const QString& password, const QString& salt, int iterations) {
    return kHashScheme + QLatin1Char('$') + QString::number(iterations) + QLatin1Char('$') +
           QString::fromLatin1(derive(password, salt, iterations).toHex());
}

QString passwordHash(const QString& password, const QString& salt) {
    return passwordHash(password, salt, passwordIterations());
}

// A stored text that is no hash at all (none set, or damaged) costs as much as a real one, so
// that the time taken does not tell it apart; so does the hash of an unknown user.
bool passwordMatches(const QString& password, const QString& salt, const QString& stored) {
    const std::optional<StoredHash> hash = parseStoredHash(stored);
    const QByteArray derived =
        derive(password, salt, hash ? hash->iterations : passwordIterations());
    return hash && derived.size() == hash->digest.size() &&
           CRYPTO_memcmp(derived.constData(), hash->digest.constData(), derived.size()) == 0;
}

bool passwordNeedsRehash(const QString& stored) {
    const std::optional<StoredHash> hash = parseStoredHash(stored);
    return !hash || !stored.startsWith(kHashScheme) || hash->iterations < passwordIterations();
}

QString newSalt() {
    std::array<quint32, kSaltBytes / 4> words;
    QRandomGenerator::system()->fillRange(words.data(), words.size());
    return QString::fromLatin1(
        QByteArray(reinterpret_cast<const char*>(words.data()), kSaltBytes).toHex());
}

}  // namespace Qd::Core::Sys
