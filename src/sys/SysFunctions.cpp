// The system's small utility functions: identifiers, pinyin initials, elapsed time, code
// numbering and password hashing. docs/system-services.md ("Utility functions") explains the
// choices made here.
#include <QCryptographicHash>
#include <QMessageAuthenticationCode>
#include <QRandomGenerator>
#include <QUuid>
#include <array>
#include <string>

#include "sys/PinyinTable.h"
#include "sys/SystemServices.h"

namespace Qd::Core::Sys {

// Also called by the tests with the published PBKDF2 vectors, hence not in the anonymous
// namespace.
QByteArray pbkdf2HmacSha256(const QByteArray& password, const QByteArray& salt, int iterations,
                            int length);

namespace {

constexpr int kPasswordIterations = 10000;
constexpr int kPasswordHashBytes = 32;
constexpr int kSaltBytes = 16;

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
    constexpr int kBlock = 32;  // SHA-256 output
    QByteArray out;
    if (length <= 0)
        return out;
    out.reserve(length);
    QMessageAuthenticationCode mac(QCryptographicHash::Sha256, password);
    for (quint32 block = 1; out.size() < length; ++block) {
        const std::array<char, 4> index = {static_cast<char>(block >> 24),
                                           static_cast<char>(block >> 16),
                                           static_cast<char>(block >> 8), static_cast<char>(block)};
        mac.reset();
        mac.addData(salt);
        mac.addData(index.data(), index.size());
        QByteArray u = mac.result();
        QByteArray t = u;
        for (int i = 1; i < iterations; ++i) {
            mac.reset();
            mac.addData(u);
            u = mac.result();
            for (int k = 0; k < kBlock; ++k)
                t[k] = static_cast<char>(t[k] ^ u[k]);
        }
        out += t;
    }
    out.truncate(length);
    return out;
}

// The salt takes part as its text (UTF-8), the form in which it is stored.
QString passwordHash(const QString& password, const QString& salt) {
    return QString::fromLatin1(
        pbkdf2HmacSha256(password.toUtf8(), salt.toUtf8(), kPasswordIterations, kPasswordHashBytes)
            .toHex());
}

QString newSalt() {
    std::array<quint32, kSaltBytes / 4> words;
    QRandomGenerator::system()->fillRange(words.data(), words.size());
    return QString::fromLatin1(
        QByteArray(reinterpret_cast<const char*>(words.data()), kSaltBytes).toHex());
}

}  // namespace Qd::Core::Sys
