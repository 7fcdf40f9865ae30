// The demo's data checkup: 数据检查 opens the checkup window, and a run over the demo catalogue
// finds the seeded fault, passes the check that counts what must exist, leaves the check
// without a statement blank and fails none. QD_RENDER_DIR keeps the picture.
#include <gtest/gtest.h>

#include <QCoreApplication>

#include "DemoSession.h"
#include "support/Render.h"
#include "tools/uDataCheckupForm.h"
#include "uMainForm.h"

using namespace Qd::Core;

using DemoCheckup = Qd::Test::DemoSession;

TEST_F(DemoCheckup, FindsTheSeededFault) {
    Qd::App::TMainForm main(*sys);
    ASSERT_TRUE(main.openModule(QStringLiteral("数据检查")));
    Tools::Tdatacheckupform* form = Tools::datacheckupform;
    ASSERT_NE(form, nullptr);
    form->checkWaitMs = 0;
    form->actdoStart->trigger();
    EXPECT_EQ(form->actdoStart->text(), QStringLiteral("开始检测")) << "no check failed";

    Db::RecordSet& rs = form->cdsCheck;
    ASSERT_GE(rs.recordCount(), 12);
    QSet<QString> categories;
    QMap<QString, QString> status;
    for (int pos = 0; pos < rs.recordCount(); ++pos) {
        const auto row = rs.rowAt(pos);
        categories << rs.textAt(row, rs.fieldIndex("category"));
        status[rs.textAt(row, rs.fieldIndex("title"))] = rs.textAt(row, rs.fieldIndex("status"));
    }
    EXPECT_EQ(categories.size(), 4);
    EXPECT_EQ(status.value(QStringLiteral("门店资料缺少助记码")), QStringLiteral("发现异常"));
    EXPECT_EQ(status.value(QStringLiteral("客户资料名称重复")), QStringLiteral("发现异常"));
    EXPECT_EQ(status.value(QStringLiteral("订单金额与明细合计不符")), QStringLiteral("检测通过"));
    EXPECT_EQ(status.value(QStringLiteral("存在可用的项目资料")), QStringLiteral("检测通过"));
    EXPECT_EQ(status.value(QStringLiteral("备份设置（待补充）")), QString());
    EXPECT_FALSE(status.values().contains(QStringLiteral("规则无效")));
    ASSERT_TRUE(
        rs.locate(QStringList{"title"}, QVariantList{QStringLiteral("门店资料缺少助记码")}));
    EXPECT_TRUE(form->actDetail->isEnabled());
    EXPECT_TRUE(form->actFix->isEnabled());
    Qd::Test::keepRender(*form, "data_checkup_demo.png");

    form->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(Tools::datacheckupform, nullptr);
}
