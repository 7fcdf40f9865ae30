#pragma once

#include <QString>
#include <QStringView>
#include <vector>

namespace Qd::Core::Db::Tsql {

// One lexical token of a T-SQL text. Offsets and lengths are in UTF-16 units of the text;
// line and column are 1-based (the column counts UTF-16 units).
struct Token {
    enum Kind : unsigned char {
        Word,      // identifier or keyword: select, qd_b_khbmk, #temp (a leading # belongs to it)
        Quoted,    // [name] or "name"
        String,    // 'text' with '' for a quote
        NString,   // N'text'
        Number,    // 12, 1.5, .5, 1e3
        Hex,       // 0x1F (binary literal)
        Variable,  // @name
        Global,    // @@name
        Param,     // :name
        Op,  // punctuation and operators: ( ) , . ; + - * / % = < > <= >= <> != !< !> & | ^ ~ ||
        Comment,  // -- to end of line, or /* ... */ (nested)
        Space,    // blanks and line breaks
        Illegal,  // an unterminated string, name or comment, or a character that starts nothing
    };
    Kind kind;
    int offset;
    int length;
    int line;
    int column;
};

// Splits `text` into tokens, comments and blanks included, covering the text without gaps.
// Never throws: bad input becomes an Illegal token for the caller to report.
std::vector<Token> tokenize(QStringView text);

// The characters of a token.
inline QStringView tokenText(QStringView text, const Token& t) {
    return text.mid(t.offset, t.length);
}

// The value of a String or NString token (quotes removed, doubled quotes made single), or the
// name inside a Quoted token.
QString unquote(QStringView text, const Token& t);

}  // namespace Qd::Core::Db::Tsql
