#pragma once
// What the print template tests share: the session with two more stores, and the template
// properties dialog filled in as a user fills it.
#include <QLineEdit>
#include <QListWidget>
#include <functional>

#include "print/uRptDocsPropForm.h"
#include "support/CoreTest.h"

namespace Qd::Test {

// Checks exactly the stores `ids` in the dialog's share list; an id it does not list fails.
inline void shareWith(Core::Fr4::TRptDocsPropForm& p, const QList<int>& ids) {
    QList<int> missing = ids;
    for (int i = 0; i < p.lstStores->count(); ++i) {
        QListWidgetItem* item = p.lstStores->item(i);
        const bool shared = missing.removeAll(item->data(Qt::UserRole).toInt()) > 0;
        item->setCheckState(shared ? Qt::Checked : Qt::Unchecked);
    }
    EXPECT_TRUE(missing.isEmpty()) << "stores not listed: " << missing.size();
}

// The fixture's stores 5 and 6 and the manager logged in at 5, with stores 7 (MD07) and 3
// (MD03) added.
class PrintUiTest : public LoggedInTest {
protected:
    void SetUp() override {
        LoggedInTest::SetUp();
        ASSERT_TRUE(db().execSQL(QStringLiteral(
            "insert into qd_b_ckbmk(orgid, code, name) values(1, 'MD07', N'七号店')\n"
            "update qd_b_ckbmk set id = 7 where code = 'MD07'\n"
            "insert into qd_b_ckbmk(orgid, code, name) values(1, 'MD03', N'三号店')\n"
            "update qd_b_ckbmk set id = 3 where code = 'MD03'")));
    }

    // The next template properties dialog is filled by `fill` and confirmed.
    void answerProperties(std::function<void(Core::Fr4::TRptDocsPropForm&)> fill) {
        prompts().answerDialog([fill = std::move(fill)](QDialog& d) {
            auto& p = static_cast<Core::Fr4::TRptDocsPropForm&>(d);
            fill(p);
            p.actOK->trigger();
            return d.result();
        });
    }
};

}  // namespace Qd::Test
