// The names dialog: the search text quoted into the statement, its wildcards, and the order of
// the project names.
#include <gtest/gtest.h>

#include <QLineEdit>

#include "report/PickerTest.h"
#include "report/ubasicsamplefilterform.h"
#include "support/Render.h"
#include "ui/grid/Grid.h"

using namespace Qd::Core;
using Report::Tbasicsamplefilterform;

namespace {

class SimpleFilter : public Qd::Test::PickerTest {
protected:
    void SetUp() override {
        PickerTest::SetUp();
        // Only these names: 开业宣传 on three orders, 年会物料 on two, two others once.
        ASSERT_TRUE(demo->execSQL("update qd_x_xmzzk set gcxmmc = null"));
        const char* names[] = {"开业宣传", "年会物料", "开业宣传", "O'Brien 店招",
                               "年会物料", "开业宣传", "产品画册", ""};
        int n = 0;
        for (const char* name : names)
            ASSERT_TRUE(demo->execSQL(
                "insert into qd_x_xmzzk(orgid, ck_id, billno, gcxmmc) values(1, 1, :no, :name)",
                {{"no", QStringLiteral("X%1").arg(++n)}, {"name", QString::fromUtf8(name)}}));
        ASSERT_TRUE(demo->execSQL(
            "insert into qd_x_xmzzk(orgid, ck_id, billno, gcxmmc) values(2, 1, 'Y1', N'别家的')"));
    }
};

TEST_F(SimpleFilter, ProjectNamesMostUsedFirstSearchedWithQuotesAndWildcards) {
    Tbasicsamplefilterform d(nullptr, 1);
    EXPECT_EQ(d.windowTitle(), QStringLiteral("历史工程项目名称"));
    // Three orders, then two; the rest once each by name. No empty names, no other organisation.
    EXPECT_EQ(column(d.cdsMain, "name"),
              (QStringList{"开业宣传", "年会物料", "O'Brien 店招", "产品画册"}));
    d.edtSearch->setText(QStringLiteral("O'Brien"));
    EXPECT_EQ(column(d.cdsMain, "name"), QStringList{"O'Brien 店招"});
    EXPECT_TRUE(traced().contains(QStringLiteral(" where name like N'%O''Brien%' ")));
    d.edtSearch->setText(QStringLiteral("开_宣"));  // "_" is any one character
    EXPECT_EQ(column(d.cdsMain, "name"), QStringList{"开业宣传"});
    d.edtSearch->setText(QStringLiteral("年%料"));
    EXPECT_EQ(column(d.cdsMain, "name"), QStringList{"年会物料"});
    EXPECT_TRUE(prompts.messages().isEmpty());
    d.edtSearch->setText(QString());
    Qd::Test::keepRender(d, QStringLiteral("history_project_names.png"));
}

TEST_F(SimpleFilter, OpenFunctionsReturnTheChosenNameOrNothing) {
    prompts.answerDialog([](QDialog& dialog) {
        auto& d = dynamic_cast<Tbasicsamplefilterform&>(dialog);
        d.cdsMain.moveTo(1);
        d.actok->trigger();
        return d.result();
    });
    EXPECT_EQ(Report::opengcxmmcfilterform(nullptr), QStringLiteral("年会物料"));
    prompts.answer(QDialog::Rejected);
    EXPECT_EQ(Report::opengcxmmcfilterform(nullptr), QString());
    // The summaries (deleted ones too), one row per name, in name order.
    ASSERT_TRUE(demo->execSQL(
        "insert into qd_b_zybmk(orgid, code, name, isdel) values(1, 'Z98', N'已删摘要', 1)\n"
        "insert into qd_b_zybmk(orgid, code, name) values(1, 'Z99', N'已删摘要')"));
    prompts.answerDialog([](QDialog& dialog) {
        auto& d = dynamic_cast<Tbasicsamplefilterform&>(dialog);
        EXPECT_EQ(d.windowTitle(), QStringLiteral("摘要查询"));
        d.edtSearch->setText(QStringLiteral("已删"));
        EXPECT_EQ(d.cdsMain.recordCount(), 1);
        d.actok->trigger();
        return d.result();
    });
    EXPECT_EQ(Report::openzybmkfilterform(nullptr), QStringLiteral("已删摘要"));
    // OK on an empty list does not close.
    prompts.answerDialog([](QDialog& dialog) {
        auto& d = dynamic_cast<Tbasicsamplefilterform&>(dialog);
        d.edtSearch->setText(QStringLiteral("没有这个"));
        d.actok->trigger();
        EXPECT_EQ(d.result(), 0);
        return int(QDialog::Rejected);
    });
    EXPECT_EQ(Report::openzybmkfilterform(nullptr), QString());
}

}  // namespace
