// `qdclient --module M --bill ID --dialog NAME` on the demo: the dialog of that bill opens with the
// demo's data, behind the rights its action needs; what cannot be opened is said on stderr.
#include <gtest/gtest.h>

#include <QDialog>
#include <QTabWidget>

#include "ClientOptions.h"
#include "ClientStart.h"
#include "bill/uImgAttachListForm.h"
#include "bill/ubilllogviewform.h"
#include "bill/ubilloptionsform.h"
#include "bill/uticketeditform.h"
#include "support/Render.h"
#include "support/Rows.h"
#include "support/ScriptedPrompter.h"
#include "support/TestEnv.h"

using namespace Qd::Core;
using namespace Qd::App;

using Qd::Test::S;

namespace {

class BillDialogCommand : public Qd::Test::DbTest {
protected:
    // With QD_RENDER_DIR set, the dialog as the user first sees it is kept, and so are
    // 单据设置's column page and 附件列表 previewing its picture.
    static void render(QDialog& d, const char* name) {
        if (Qd::Test::renderDir().isEmpty())
            return;
        const QString stem = S("dialog-%1").arg(S(name));
        Qd::Test::keepRender(d, stem + S(".png"));
        if (auto* f = qobject_cast<Bill::Tbilloptionsform*>(&d)) {
            f->pages->setCurrentWidget(f->tabColumns);
            f->cdsColumns.last();  // the marked first row not hidden under the selection
            Qd::Test::keepRender(d, stem + S("-列设置.png"));
        } else if (auto* f = qobject_cast<Bill::TImgAttachListForm*>(&d)) {
            f->cdsResult.locate(S("suffix"), S(".png"));
            f->actpreview->trigger();
            Qd::Test::keepRender(d, stem + S("-预览.png"));
        }
        d.hide();
    }

    struct Run {
        int exitCode = 0;
        QString printed;  // standard error
        int rows = -1;    // what the dialog listed
        QString dialog;   // its object name
    };

    Run run(const char* module, const char* bill, const char* dialog, const char* user = "1001") {
        ClientOptions o;
        o.database = dir() + S("/demo.db");
        o.userCode = S(user);
        o.password = S("123456");
        o.storeCode = S("MD01");
        o.module = S(module);
        o.bill = S(bill);
        o.dialog = S(dialog);
        Run r;
        prompts().clear();
        prompts().acceptAllMessages(true);
        prompts().answerDialog([&r, dialog](QDialog& d) {
            r.dialog = d.objectName();
            render(d, dialog);
            if (auto* f = qobject_cast<Bill::TImgAttachListForm*>(&d))
                r.rows = f->cdsResult.recordCount();
            else if (auto* f = qobject_cast<Bill::Tticketeditform*>(&d))
                r.rows = f->cdsResult.recordCount();
            else if (auto* f = qobject_cast<Bill::TBillLogViewForm*>(&d))
                r.rows = f->cdsResult.recordCount();
            else if (auto* f = qobject_cast<Bill::Tbilloptionsform*>(&d))
                r.rows = f->cdsColumns.recordCount();
            return int(QDialog::Rejected);
        });
        testing::internal::CaptureStderr();
        r.exitCode = runClient(o);
        r.printed =
            QString::fromLocal8Bit(testing::internal::GetCapturedStderr().c_str()).trimmed();
        return r;
    }
};

TEST_F(BillDialogCommand, EachDialogOpensOnTheDemoBill) {
    struct Row {
        const char* bill;
        const char* dialog;
        const char* objectName;
        int rows;
    };
    const Row rows[] = {
        {"1", "单据设置", "Tbilloptionsform", 10},  // the order's detail columns
        {"1", "附件", "TImgAttachListForm", 2},
        {"1", "反馈", "Tticketeditform", 3},
        {"3", "审核日志", "Tbillauditlogviewform", 2},
        {"3", "打印日志", "Tbillprintlogviewform", 2},
        {"1", "打印日志", "Tbillprintlogviewform", 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.dialog);
        const Run r = run("订单", row.bill, row.dialog);
        EXPECT_EQ(r.exitCode, 0) << r.printed.toStdString();
        EXPECT_EQ(r.dialog, S(row.objectName));
        EXPECT_EQ(r.rows, row.rows);
    }
}

TEST_F(BillDialogCommand, WhatCannotBeOpenedIsSaidOnStderr) {
    struct Row {
        const char* module;
        const char* bill;
        const char* dialog;
        const char* user;
        const char* says;
    };
    const Row rows[] = {
        {"订单", "1", "附件", "3001", "对不起，您没有该功能的操作权限，访问被拒绝。"},
        {"订单", "1", "单据设置", "3001", "对不起，您没有该功能的操作权限，访问被拒绝。"},
        {"没有的模块", "1", "反馈", "1001", "没有名为 没有的模块 的模块"},
        {"订单", "999", "反馈", "1001", "模块 订单 中没有 id 为 999 的单据"},
        {"订单", "1 or 1=1", "反馈", "1001", "模块 订单 中没有 id 为 1 or 1=1 的单据"},
        {"客户资料", "1", "反馈", "1001", "模块 客户资料 的描述中没有可用的主表名"},
        {"收款单", "999", "反馈", "1001", "模块 收款单 中没有 id 为 999 的单据"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.says);
        const Run r = run(row.module, row.bill, row.dialog, row.user);
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_TRUE(r.printed.startsWith(S(row.says))) << r.printed.toStdString();
        EXPECT_TRUE(r.dialog.isEmpty());
    }
    // 3001 may see the conversation: it needs no right.
    EXPECT_EQ(run("订单", "1", "反馈", "3001").dialog, S("Tticketeditform"));
}

}  // namespace
