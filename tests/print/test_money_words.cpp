// Amounts in Chinese capital numerals: MoneyCn with units and zero suppression, MoneyCn_2 as
// plain digits; the two round a half fen differently.
#include <gtest/gtest.h>

#include "print/engine/Expression.h"

using namespace Qd::Print;

namespace {

struct MoneyCase {
    double amount;
    const char* withUnits;   // MoneyCn
    const char* digitsOnly;  // MoneyCn_2
};

TEST(MoneyWords, BothSpellingsOfBillAmounts) {
    const MoneyCase cases[] = {
        // bill amounts
        {0.00, "整", "零"},
        {0.05, "伍分", "伍"},
        {1.00, "壹元整", "壹零零"},
        {1.05, "壹元零伍分", "壹零伍"},
        {20.07, "贰拾元零柒分", "贰零零柒"},
        {1234.56, "壹仟贰佰叁拾肆元伍角陆分", "壹贰叁肆伍陆"},
        {10005.00, "壹万零伍元整", "壹零零零伍零零"},
        {100010000.10, "壹亿零壹万元壹角整", "壹零零零壹零零零零壹零"},
        {1000000000000.00, "壹万亿元整", ""},
        // zeros inside and before the big units
        {101.10, "壹佰零壹元壹角整", "壹零壹壹零"},
        {1000.01, "壹仟元零壹分", "壹零零零零壹"},
        {100001.00, "壹拾万零壹元整", "壹零零零零壹零零"},
        {200000001.00, "贰亿零壹元整", "贰零零零零零零零壹零零"},
        {987654321.98, "玖亿捌仟柒佰陆拾伍万肆仟叁佰贰拾壹元玖角捌分", "玖捌柒陆伍肆叁贰壹玖捌"},
        // a half fen: MoneyCn takes it up, MoneyCn_2 to the even neighbour
        {0.125, "壹角叁分", "壹贰"},
        {0.005, "壹分", "零"},
        {0.015, "贰分", "贰"},
        {2.345, "贰元叁角伍分", "贰叁肆"},
        {0.0051, "壹分", "壹"},
        {9.995, "壹拾元整", "壹零零零"},
        // the largest amounts
        // thirteen digits of fen is the most MoneyCn_2 spells
        {99999999999.99, "玖佰玖拾玖亿玖仟玖佰玖拾玖万玖仟玖佰玖拾玖元玖角玖分",
         "玖玖玖玖玖玖玖玖玖玖玖玖玖"},
        {100000000000.00, "壹仟亿元整", ""},
        // fifteen digits of fen is the most MoneyCn spells
        {9999999999999.99, "玖万玖仟玖佰玖拾玖亿玖仟玖佰玖拾玖万玖仟玖佰玖拾玖元玖角玖分", ""},
        {10000000000000.00, "", ""},
        {1e300, "", ""},
        // outside the bills' domain; the sign is spelled 负 rather than dropped
        {-1234.56, "负壹仟贰佰叁拾肆元伍角陆分", "负壹贰叁肆伍陆"},
    };
    for (const MoneyCase& c : cases) {
        SCOPED_TRACE(QString::number(c.amount, 'f', 4).toStdString());
        EXPECT_EQ(MoneyCn(c.amount), QString::fromUtf8(c.withUnits));
        EXPECT_EQ(MoneyCn_2(c.amount), QString::fromUtf8(c.digitsOnly));
    }
}

}  // namespace
