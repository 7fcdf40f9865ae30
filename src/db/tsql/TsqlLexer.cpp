#include "db/tsql/TsqlLexer.h"

namespace Qd::Core::Db::Tsql {

namespace {

bool isWordStart(QChar c) {
    return c.isLetter() || c == QLatin1Char('_') || c == QLatin1Char('#');
}

bool isWordChar(QChar c) {
    return c.isLetterOrNumber() || c == QLatin1Char('_') || c == QLatin1Char('#') ||
           c == QLatin1Char('$') || c == QLatin1Char('@');
}

bool isDigit(QChar c) {
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

bool isHexDigit(QChar c) {
    return isDigit(c) || (c >= QLatin1Char('a') && c <= QLatin1Char('f')) ||
           (c >= QLatin1Char('A') && c <= QLatin1Char('F'));
}

// Scans a quoted run starting at s[i] == open, where a doubled close character stands for
// itself. Returns the end offset (past the closing character), or -1 when unterminated.
int scanQuoted(QStringView s, int i, QChar close) {
    const int n = int(s.size());
    for (++i; i < n; ++i) {
        if (s[i] == close) {
            if (i + 1 < n && s[i + 1] == close) {
                ++i;
                continue;
            }
            return i + 1;
        }
    }
    return -1;
}

}  // namespace

std::vector<Token> tokenize(QStringView s) {
    std::vector<Token> out;
    out.reserve(std::size_t(s.size() / 4 + 1));
    const int n = int(s.size());
    int line = 1;
    int lineStart = 0;
    int i = 0;
    while (i < n) {
        const int start = i;
        const int startLine = line;
        const int startCol = i - lineStart + 1;
        const QChar c = s[i];
        const QChar next = i + 1 < n ? s[i + 1] : QChar();
        Token::Kind kind = Token::Op;

        if (c.isSpace()) {
            kind = Token::Space;
            while (i < n && s[i].isSpace())
                ++i;
        } else if (c == QLatin1Char('-') && next == QLatin1Char('-')) {
            kind = Token::Comment;
            while (i < n && s[i] != QLatin1Char('\n'))
                ++i;
        } else if (c == QLatin1Char('/') && next == QLatin1Char('*')) {
            // Block comments nest in T-SQL.
            kind = Token::Comment;
            int depth = 0;
            while (i < n) {
                if (s[i] == QLatin1Char('/') && i + 1 < n && s[i + 1] == QLatin1Char('*')) {
                    ++depth;
                    i += 2;
                } else if (s[i] == QLatin1Char('*') && i + 1 < n && s[i + 1] == QLatin1Char('/')) {
                    i += 2;
                    if (--depth == 0)
                        break;
                } else {
                    ++i;
                }
            }
            if (depth > 0)
                kind = Token::Illegal;
        } else if (c == QLatin1Char('\'')) {
            const int end = scanQuoted(s, i, QLatin1Char('\''));
            kind = end < 0 ? Token::Illegal : Token::String;
            i = end < 0 ? n : end;
        } else if ((c == QLatin1Char('N') || c == QLatin1Char('n')) && next == QLatin1Char('\'')) {
            const int end = scanQuoted(s, i + 1, QLatin1Char('\''));
            kind = end < 0 ? Token::Illegal : Token::NString;
            i = end < 0 ? n : end;
        } else if (c == QLatin1Char('[')) {
            const int end = scanQuoted(s, i, QLatin1Char(']'));
            kind = end < 0 ? Token::Illegal : Token::Quoted;
            i = end < 0 ? n : end;
        } else if (c == QLatin1Char('"')) {
            const int end = scanQuoted(s, i, QLatin1Char('"'));
            kind = end < 0 ? Token::Illegal : Token::Quoted;
            i = end < 0 ? n : end;
        } else if (c == QLatin1Char('0') &&
                   (next == QLatin1Char('x') || next == QLatin1Char('X'))) {
            kind = Token::Hex;
            i += 2;
            while (i < n && isHexDigit(s[i]))
                ++i;
        } else if (isDigit(c) || (c == QLatin1Char('.') && isDigit(next))) {
            kind = Token::Number;
            while (i < n && isDigit(s[i]))
                ++i;
            if (i < n && s[i] == QLatin1Char('.')) {
                ++i;
                while (i < n && isDigit(s[i]))
                    ++i;
            }
            if (i < n && (s[i] == QLatin1Char('e') || s[i] == QLatin1Char('E'))) {
                int j = i + 1;
                if (j < n && (s[j] == QLatin1Char('+') || s[j] == QLatin1Char('-')))
                    ++j;
                if (j < n && isDigit(s[j])) {
                    i = j;
                    while (i < n && isDigit(s[i]))
                        ++i;
                }
            }
        } else if (c == QLatin1Char('@')) {
            kind = next == QLatin1Char('@') ? Token::Global : Token::Variable;
            i += kind == Token::Global ? 2 : 1;
            const int nameStart = i;
            while (i < n && isWordChar(s[i]))
                ++i;
            if (i == nameStart)
                kind = Token::Illegal;
        } else if (c == QLatin1Char(':') && (next.isLetter() || next == QLatin1Char('_'))) {
            kind = Token::Param;
            ++i;
            while (i < n && (s[i].isLetterOrNumber() || s[i] == QLatin1Char('_')))
                ++i;
        } else if (isWordStart(c)) {
            kind = Token::Word;
            while (i < n && isWordChar(s[i]))
                ++i;
        } else {
            static const char* const twoCharOps[] = {"<=", ">=", "<>", "!=", "!<", "!>", "||"};
            kind = Token::Op;
            i += 1;
            for (const char* op : twoCharOps) {
                if (c == QLatin1Char(op[0]) && next == QLatin1Char(op[1])) {
                    i = start + 2;
                    break;
                }
            }
            if (i == start + 1 && !QStringView(u"(),.;+-*/%=<>&|^~!").contains(c))
                kind = Token::Illegal;
        }

        if (i <= start)  // never stall on a character no rule took
            i = start + 1;
        for (int k = start; k < i; ++k) {
            if (s[k] == QLatin1Char('\n')) {
                ++line;
                lineStart = k + 1;
            }
        }
        out.push_back({kind, start, i - start, startLine, startCol});
    }
    return out;
}

QString unquote(QStringView text, const Token& t) {
    QStringView body = tokenText(text, t);
    QChar quote = QLatin1Char('\'');
    if (t.kind == Token::NString) {
        body = body.mid(1);
    } else if (t.kind == Token::Quoted) {
        quote = body.front() == QLatin1Char('[') ? QLatin1Char(']') : QLatin1Char('"');
    } else if (t.kind != Token::String) {
        return body.toString();
    }
    body = body.mid(1, body.size() - 2);
    QString out;
    out.reserve(body.size());
    for (qsizetype i = 0; i < body.size(); ++i) {
        out += body[i];
        if (body[i] == quote && i + 1 < body.size() && body[i + 1] == quote)
            ++i;
    }
    return out;
}

}  // namespace Qd::Core::Db::Tsql
