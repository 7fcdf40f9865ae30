// The recycle bin: the module's soft-deleted rows, checked and restored or deleted for good in
// one batch, last row first.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QFile>
#include <QJsonObject>
#include <QTreeWidget>

#include "basic/uRecycleBinForm.h"
#include "db/Trace.h"
#include "support/CoreTest.h"
#include "support/FaultWalk.h"
#include "support/Render.h"

using namespace Qd::Core;
using Base::TRecycleBinForm;

namespace {

class RecycleBin : public Qd::Test::CoreTest {
protected:
    void SetUp() override {
        CoreTest::SetUp();
        ASSERT_TRUE(db().execSQL(
            "insert into qd_b_zybmk(orgid, code, name, isdel) values(1, 'Z1', N'定金', 1), "
            "(1, 'Z2', N'尾款', 0), (1, 'Z3', N'运费', 1), (2, 'Z4', N'别家', 1)"));
        ASSERT_NO_FATAL_FAILURE(login(QStringLiteral("1001"), 5));
    }
    static QStringList rows(const TRecycleBinForm& bin) {
        QStringList out;
        for (int i = 0; i < bin.lstData->topLevelItemCount(); ++i)
            out << bin.lstData->topLevelItem(i)->text(0) + "/" +
                       bin.lstData->topLevelItem(i)->text(1);
        return out;
    }

    QJsonObject descriptor{{"tablename", "qd_b_zybmk"}};
};

}  // namespace

TEST_F(RecycleBin, RestoresAndDeletesTheCheckedRowsLastFirst) {
    TRecycleBinForm bin(nullptr, &descriptor);
    EXPECT_EQ(rows(bin), QStringList({"定金/Z1", "运费/Z3"}));
    EXPECT_TRUE(bin.lstData->topLevelItem(0)->text(2).isEmpty());

    // 全选 then restore: one line per row, the last row first; nothing runs without OK.
    bin.cxCheckBox1->click();
    prompts().answer(Ui::mrCancel);
    bin.actRestore->trigger();
    EXPECT_EQ(prompts().last().text, QStringLiteral("是否确定要恢复选中的项目"));
    EXPECT_EQ(scalar("select count(*) from qd_b_zybmk where isdel = 1"), "3");
    prompts().answer(Ui::mrOk);
    bin.actRestore->trigger();
    const QString z1 = scalar("select id from qd_b_zybmk where code = 'Z1'");
    const QString z3 = scalar("select id from qd_b_zybmk where code = 'Z3'");
    EXPECT_TRUE(traced().contains("update qd_b_zybmk set isDel = 0 where id=" + z3 +
                                  "\r\nupdate qd_b_zybmk set isDel = 0 where id=" + z1 + "\r\n"));
    EXPECT_TRUE(rows(bin).isEmpty());
    EXPECT_EQ(scalar("select count(*) from qd_b_zybmk where isdel = 1"), "1");  // another org's

    // An empty bin: both actions ask to choose first and send nothing.
    prompts().answer(Ui::mrOk);
    bin.actRestore->trigger();
    EXPECT_EQ(prompts().last().text, QStringLiteral("请选择要恢复的项目"));
    prompts().answer(Ui::mrOk);
    bin.actDel->trigger();
    EXPECT_EQ(prompts().last().text, QStringLiteral("请选择要删除的项目"));

    // Deleted for good: only the checked row; unchecking 全选 clears rows checked by hand.
    ASSERT_TRUE(db().execSQL("update qd_b_zybmk set isdel = 1 where orgid = 1"));
    bin._init();
    ASSERT_EQ(bin.lstData->topLevelItemCount(), 3);
    bin.lstData->topLevelItem(1)->setCheckState(0, Qt::Checked);
    bin.cxCheckBox1->setChecked(true);
    bin.cxCheckBox1->click();  // unchecked: every row
    EXPECT_EQ(bin.lstData->topLevelItem(1)->checkState(0), Qt::Unchecked);
    bin.lstData->topLevelItem(1)->setCheckState(0, Qt::Checked);
    const QString z2 = scalar("select id from qd_b_zybmk where code = 'Z2'");
    prompts().answer(Ui::mrOk);
    bin.actDel->trigger();
    EXPECT_EQ(prompts().last().text, QStringLiteral("是否确定要删除选中的项目"));
    EXPECT_TRUE(traced().contains("delete from qd_b_zybmk  where id=" + z2 + "\r\n"));
    EXPECT_EQ(scalar("select count(*) from qd_b_zybmk where code = 'Z2'"), "0");
    EXPECT_EQ(rows(bin), QStringList({"定金/Z1", "运费/Z3"}));
    EXPECT_EQ(prompts().pending(), 0);
}

// Restore and delete for good are one batch each: a failure at any step keeps every checked row
// in the bin, still checked, and changes no row.
TEST_F(RecycleBin, RestoreAndDeleteSurviveAFailureAtEveryStep) {
    std::unique_ptr<TRecycleBinForm> bin;
    const auto checked = [&] {
        QStringList out;
        for (int i = 0; i < bin->lstData->topLevelItemCount(); ++i)
            out << bin->lstData->topLevelItem(i)->text(1) +
                       (bin->lstData->topLevelItem(i)->checkState(0) == Qt::Checked ? "+" : "-");
        return out.join(' ');
    };
    const auto walk = [&](const char* name, QAction* TRecycleBinForm::*action) {
        const Qd::Test::SaveCase c{name,
                                   [&] {
                                       bin =
                                           std::make_unique<TRecycleBinForm>(nullptr, &descriptor);
                                       bin->cxCheckBox1->click();
                                   },
                                   [&] {
                                       prompts().answer(Ui::mrOk);
                                       ((*bin).*action)->trigger();
                                       return bin->lstData->topLevelItemCount() == 0;
                                   },
                                   checked, 1};
        EXPECT_GT(Qd::Test::walkFaults(db().handle(), prompts(), c), 3) << name;
    };
    walk("recycle bin restore", &TRecycleBinForm::actRestore);
    walk("recycle bin delete", &TRecycleBinForm::actDel);
}
