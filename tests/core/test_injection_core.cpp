// Hostile values through the frame's own statements: a grid layout stored and restored under
// the module's code and the grid's name, and a report found by its title. See
// support/HostileValues.h.
#include <gtest/gtest.h>

#include "base/EAbort.h"
#include "core/GridHelpers.h"
#include "core/uMyCxGrid.h"
#include "support/CoreTest.h"
#include "support/HostileValues.h"
#include "ui/grid/Grid.h"

using namespace Qd::Core;
using namespace Qd::Test;

namespace {

class Injection : public LoggedInTest {
protected:
    void SetUp() override {
        LoggedInTest::SetUp();
        rs.addField("code", Db::FieldType::Text);
        rs.createDataSet();
    }
    int registryWidth() { return columnWidth(dbPath(), "qd_sys_plugins", "code"); }

    Db::RecordSet rs;
};

}  // namespace

TEST_F(Injection, AGridLayoutIsKeptUnderAnyModuleCodeAndGridName) {
    forEachHostileValue([&](const HostileValue& v) {
        if (!v.fits(registryWidth()))
            return;  // no module has such a code, no grid such a name
        Ui::Grid grid(v.text);
        Ui::GridView* view = grid.addLevel("tvMain");
        view->setRecordSet(&rs);
        Ui::GridColumn* column = view->addColumn("code");
        column->fieldName = "code";
        column->width = 240;
        view->applyColumns();
        const DbSnapshot before(dbPath());
        Base::TMyCxGrid::storeGridColumnStyle(&grid, v.text);
        EXPECT_EQ(freshText(dbPath(), "select billcode from qd_sys_columnconfig where cxgname = :g",
                            {{"g", v.stored() + ".tvMain"}}),
                  v.stored());
        EXPECT_EQ(DbSnapshot(dbPath()).changesSince(before), "qd_sys_columnconfig: 1 added");

        column->width = 100;
        view->applyColumns();
        Base::TMyCxGrid::restoreGridColumnStyle(&grid, v.text);
        EXPECT_EQ(view->columnByField("code")->width, 240);
    });
    EXPECT_EQ(prompts().pending(), 0);
}

// A report is found by its title, which is pasted between the quotes of the catalogue's
// statement: found, it asks for its right (which the user lacks).
TEST_F(Injection, AReportIsFoundByItsTitle) {
    const int titleWidth = columnWidth(dbPath(), "qd_sys_rptmain", "title");
    forEachHostileValue([&](const HostileValue& v) {
        if (!v.fits(titleWidth))
            return;
        ASSERT_TRUE(db().execSQL(
            "insert into qd_sys_rptmain(orgid, code, title) values(1, 'R', :t)", {{"t", v.text}}));
        const DbSnapshot before(dbPath());
        prompts().answer(Ui::mrOk);
        EXPECT_THROW(Base::showReportForm(nullptr, v.text, QString()), Sys::EAbort);
        EXPECT_EQ(prompts().last().title, QStringLiteral("用户授权"));
        EXPECT_EQ(DbSnapshot(dbPath()).changesSince(before), QString());
        ASSERT_TRUE(db().execSQL("delete from qd_sys_rptmain"));
    });
    EXPECT_EQ(prompts().pending(), 0);
}
