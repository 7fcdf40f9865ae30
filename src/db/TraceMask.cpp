#include "db/TraceMask.h"

#include <QRegularExpression>
#include <algorithm>
#include <vector>

#include "db/tsql/TsqlLexer.h"

namespace Qd::Core::Db {

namespace {

using Tsql::Token;

const QString kMasked = QStringLiteral("'***'");

bool isLiteral(const Token& t) {
    return t.kind == Token::String || t.kind == Token::NString || t.kind == Token::Number ||
           t.kind == Token::Hex;
}

bool isName(const Token& t) {
    return t.kind == Token::Word || t.kind == Token::Quoted || t.kind == Token::Variable;
}

bool isOp(QStringView text, const Token& t, QStringView op) {
    return t.kind == Token::Op && Tsql::tokenText(text, t) == op;
}

bool isWord(QStringView text, const Token& t, QStringView word) {
    return t.kind == Token::Word &&
           Tsql::tokenText(text, t).compare(word, Qt::CaseInsensitive) == 0;
}

// The name a Word, [Quoted] or @variable token stands for.
QString nameOf(QStringView text, const Token& t) {
    if (t.kind == Token::Quoted)
        return Tsql::unquote(text, t);
    if (t.kind == Token::Variable)
        return Tsql::tokenText(text, t).mid(1).toString();
    return Tsql::tokenText(text, t).toString();
}

bool isSecretToken(QStringView text, const Token& t) {
    return isName(t) && isSecretName(nameOf(text, t));
}

// Collects what a value token given to a secret column or variable hides: a literal to mask,
// a parameter to hide.
struct Masker {
    QStringView text;
    std::vector<Token> tokens;  // without blanks and comments
    std::vector<const Token*> literals;
    QSet<QString> params;

    void secretValue(const Token& t) {
        if (isLiteral(t))
            literals.push_back(&t);
        else if (t.kind == Token::Param)
            params.insert(Tsql::tokenText(text, t).mid(1).toString().toLower());
    }

    // "name = value" and "value = name".
    void assignments() {
        for (std::size_t i = 1; i + 1 < tokens.size(); ++i) {
            if (!isOp(text, tokens[i], u"="))
                continue;
            if (isSecretToken(text, tokens[i - 1]))
                secretValue(tokens[i + 1]);
            else if (isSecretToken(text, tokens[i + 1]))
                secretValue(tokens[i - 1]);
        }
    }

    // "insert into t (c1, c2) values (v1, v2), (...)": the values in the places of secret
    // columns, where a value is a single token.
    void inserts() {
        for (std::size_t i = 0; i < tokens.size(); ++i) {
            if (!isWord(text, tokens[i], u"insert"))
                continue;
            // insert [into] name[.name...] (
            std::size_t k = i + 1;
            if (k < tokens.size() && isWord(text, tokens[k], u"into"))
                ++k;
            while (k < tokens.size() && (isName(tokens[k]) || isOp(text, tokens[k], u".")))
                ++k;
            if (k >= tokens.size() || !isOp(text, tokens[k], u"("))
                continue;
            std::vector<bool> secretColumns;
            for (++k; k < tokens.size() && !isOp(text, tokens[k], u")"); ++k)
                if (isName(tokens[k]) && k + 1 < tokens.size() &&
                    (isOp(text, tokens[k + 1], u",") || isOp(text, tokens[k + 1], u")")))
                    secretColumns.push_back(isSecretToken(text, tokens[k]));
            if (++k >= tokens.size() || !isWord(text, tokens[k], u"values"))
                continue;
            ++k;
            while (k < tokens.size() && isOp(text, tokens[k], u"(")) {
                k = valueRow(k + 1, secretColumns);
                if (k + 1 < tokens.size() && isOp(text, tokens[k], u","))
                    ++k;
                else
                    break;
            }
        }
    }

    // One parenthesised row of values from `k` (after its "("); returns the index after ")".
    std::size_t valueRow(std::size_t k, const std::vector<bool>& secretColumns) {
        std::size_t column = 0;
        std::size_t first = k;
        int depth = 0;
        for (; k < tokens.size(); ++k) {
            const Token& t = tokens[k];
            if (isOp(text, t, u"(")) {
                ++depth;
            } else if (depth > 0 && isOp(text, t, u")")) {
                --depth;
            } else if (depth == 0 && (isOp(text, t, u",") || isOp(text, t, u")"))) {
                if (k == first + 1 && column < secretColumns.size() && secretColumns[column])
                    secretValue(tokens[first]);
                ++column;
                first = k + 1;
                if (isOp(text, t, u")"))
                    return k + 1;
            }
        }
        return k;
    }
};

}  // namespace

bool isSecretName(QStringView name) {
    static const QRegularExpression secret(
        QStringLiteral("password|passwd|pwd|hash|salt|secret|token|"
                       "(^|_)key$|(api|app|access|private|sign|auth|license)_?key$"),
        QRegularExpression::CaseInsensitiveOption);
    return secret.match(name.toString()).hasMatch();
}

TracedText maskSecrets(const QString& sql, bool everyLiteral) {
    Masker m;
    m.text = sql;
    for (const Token& t : Tsql::tokenize(sql))
        if (t.kind != Token::Space && t.kind != Token::Comment)
            m.tokens.push_back(t);
    m.assignments();
    m.inserts();
    for (const Token& t : m.tokens)
        if (everyLiteral ||
            (t.kind == Token::Param && isSecretName(Tsql::tokenText(sql, t).mid(1))))
            m.secretValue(t);

    TracedText out;
    out.secretParams = std::move(m.params);
    if (m.literals.empty()) {
        out.text = sql;
        return out;
    }
    std::sort(m.literals.begin(), m.literals.end(),
              [](const Token* a, const Token* b) { return a->offset < b->offset; });
    int at = 0;
    for (const Token* t : m.literals) {
        if (t->offset < at)
            continue;  // found twice
        out.text += QStringView(sql).mid(at, t->offset - at);
        out.text += kMasked;
        at = t->offset + t->length;
    }
    out.text += QStringView(sql).mid(at);
    return out;
}

QString tracedParams(const Params& params, const QSet<QString>& secret) {
    // Appended piece by piece: a keyed query traces hundreds of them.
    QString note;
    for (const Param& p : params) {
        const QVariant& v = p.value;
        note += note.isEmpty() ? QLatin1StringView("\n-- :") : QLatin1StringView(", :");
        note += p.name;
        note += QLatin1StringView(" = ");
        if (!secret.isEmpty() && secret.contains(p.name.toLower()))
            note += QLatin1StringView("***");
        else if (v.typeId() == QMetaType::QByteArray && v.toByteArray().size() > 32)
            note += QStringLiteral("<%1 字节>").arg(v.toByteArray().size());
        else
            note += sqlLiteral(v);
    }
    return note;
}

}  // namespace Qd::Core::Db
