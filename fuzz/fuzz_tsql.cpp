// The T-SQL a module author writes: the lexer's promise (tokens cover the text without gaps,
// lines and columns count as the text does) and the translator against the framework's tables,
// where any input must either translate or fail with a TsqlError, never crash.
#include <QDir>

#include "FuzzSupport.h"
#include "db/Schema.h"
#include "db/SqliteDataServices.h"
#include "db/tsql/TsqlBatch.h"
#include "db/tsql/TsqlLexer.h"
#include "db/tsql/TsqlSession.h"

using namespace Qd::Core::Db;

namespace {

void checkTokens(QStringView text) {
    int offset = 0;
    int line = 1;
    int column = 1;
    for (const Tsql::Token& t : Tsql::tokenize(text)) {
        if (t.offset != offset || t.length <= 0 || t.line != line || t.column != column)
            __builtin_trap();
        for (QChar c : Tsql::tokenText(text, t)) {
            if (c == u'\n') {
                ++line;
                column = 1;
            } else {
                ++column;
            }
        }
        offset += t.length;
        if (t.kind == Tsql::Token::String || t.kind == Tsql::Token::NString ||
            t.kind == Tsql::Token::Quoted)
            (void)Tsql::unquote(text, t);
    }
    if (offset != text.size())
        __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Qd::Fuzz::initOnce();
    // The schema a session sees: the framework's tables, built once by the schema code.
    static SqliteDataServices* db = [] {
        auto* s = new SqliteDataServices(QStringLiteral(":memory:"));
        ensureFrameworkSchema(*s);
        return s;
    }();
    const QString text = Qd::Fuzz::text(data, size);
    checkTokens(text);
    try {
        const std::unique_ptr<Tsql::Batch> batch = Tsql::translate(text, db->session());
        (void)batch->explain();
    } catch (const Tsql::TsqlError&) {
    }
    return 0;
}
