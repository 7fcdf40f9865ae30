// Arbitrary input to the lexer and the translator: never a crash or a hang, only a translation
// or a clear error; the tokens always cover the text exactly.
#include <gtest/gtest.h>

#include <QRandomGenerator>

#include "db/tsql/TsqlBatch.h"
#include "db/tsql/TsqlLexer.h"

using namespace Qd::Core::Db;
using namespace Qd::Core::Db::Tsql;

namespace {

class NoSchema : public ISchema {
public:
    std::optional<SqlType> columnType(const QString&, const QString&) const override {
        return std::nullopt;
    }
};

// Text made of T-SQL fragments, stray characters and Chinese, so that both valid-looking and
// broken batches come up.
QString randomBatch(QRandomGenerator& rng) {
    // Pieces apart by blanks, then those that are blanks themselves.
    static const QStringList pieces =
        QStringLiteral(
            "select from where top ( ) , ' '' N' [ ] \" -- /* */ @v @@trancount :p declare set = + "
            "- * if else begin end tran try catch commit rollback raiserror case when then insert "
            "into values update delete create table int varchar(10) identity(1,1) getdate() isnull "
            "datediff day 1 2.5 0x1f 北京 名称 ; t t1.code dbo. with(nolock) union while exists "
            "not null is in like between and or #tmp cast as convert go print return ! ? { \\")
            .split(QLatin1Char(' ')) +
        QStringList{"\n", " ", "\t"};
    QString s;
    const int n = int(rng.bounded(1, 40));
    for (int i = 0; i < n; ++i) {
        s += pieces[int(rng.bounded(pieces.size()))];
        if (rng.bounded(3) != 0)
            s += QLatin1Char(' ');
    }
    return s;
}

}  // namespace

TEST(TsqlRandomInput, TokensCoverTheTextWithoutGaps) {
    QRandomGenerator rng(20261205);
    for (int round = 0; round < 20000; ++round) {
        QString text = randomBatch(rng);
        if (round % 7 == 0)  // raw characters too, surrogates and controls included
            for (int k = 0; k < 8; ++k)
                text += QChar(char16_t(rng.bounded(1, 0xFFFF)));
        const std::vector<Token> tokens = tokenize(text);
        int at = 0;
        for (const Token& t : tokens) {
            ASSERT_EQ(t.offset, at) << text.toStdString();
            ASSERT_GT(t.length, 0);
            at += t.length;
        }
        ASSERT_EQ(at, text.size());
    }
}

TEST(TsqlRandomInput, TranslationSucceedsOrFailsWithALocatedError) {
    QRandomGenerator rng(7);
    NoSchema schema;
    int translated = 0;
    for (int round = 0; round < 20000; ++round) {
        const QString text = randomBatch(rng);
        try {
            translate(text, schema);
            ++translated;
        } catch (const TsqlError& e) {
            ASSERT_GE(e.line(), 1) << text.toStdString();
            ASSERT_TRUE(e.message().startsWith(QStringLiteral("第 "))) << e.message().toStdString();
        }
    }
    // Some random batches are valid T-SQL; a translator that refused everything would fail here.
    EXPECT_GT(translated, 100);
}
