// Grid layouts in the database, the grids' common look, and the small shared helpers.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QPainter>

#include "base/ProgramHome.h"
#include "core/GridHelpers.h"
#include "core/uMyCxGrid.h"
#include "support/CoreTest.h"
#include "support/FaultWalk.h"
#include "support/TestEnv.h"
#include "ui/grid/Grid.h"

using namespace Qd::Core;
using Qd::Test::CoreTest;

namespace {

class GridLayouts : public CoreTest {
protected:
    void SetUp() override {
        CoreTest::SetUp();
        rs.addField("code", Db::FieldType::Text);
        rs.addField("name", Db::FieldType::Text);
        rs.createDataSet();
        grid = std::make_unique<Ui::Grid>("cxgMain");
        for (const char* viewName : {"tvMain", "tvSecond"}) {
            Ui::GridView* view = grid->addLevel(viewName);
            view->setRecordSet(&rs);
            for (const char* field : {"code", "name"}) {
                Ui::GridColumn* c = view->addColumn(QString(viewName) + field);
                c->fieldName = field;
                c->caption = field;
                c->width = 100;
            }
            view->applyColumns();
        }
    }
    int width(int level, const char* field) {
        return grid->view(level)->columnByField(field)->width;
    }
    void setWidth(int level, const char* field, int w) {
        grid->view(level)->columnByField(field)->width = w;
        grid->view(level)->applyColumns();
    }

    Db::RecordSet rs;
    std::unique_ptr<Ui::Grid> grid;
};

}  // namespace

TEST_F(GridLayouts, SavedPerStoreAndViewAndRestoredInTheSameStoreOnly) {
    login("1001", 5);
    setWidth(0, "name", 240);
    setWidth(1, "code", 55);
    Base::TMyCxGrid::storeGridColumnStyle(grid.get(), "KH");
    EXPECT_EQ(
        scalar("select count(*) from qd_sys_columnconfig where billcode = 'KH' and ck_id = 5"),
        "2");
    EXPECT_EQ(scalar("select count(*) from qd_sys_columnconfig where cxgname = 'cxgMain.tvSecond'"),
              "1");
    EXPECT_TRUE(Qd::Test::isOwnerOnly(Base::TMyCxGrid::cacheFile("KH", "cxgMain.tvMain")));
    EXPECT_TRUE(Qd::Test::isOwnerOnly(QDir(dir()).filePath("cache/grid")));
    Base::TMyCxGrid::storeGridColumnStyle(grid.get(), "KH");  // saving again keeps one row per view
    EXPECT_EQ(scalar("select count(*) from qd_sys_columnconfig"), "2");

    setWidth(0, "name", 100);
    setWidth(1, "code", 100);
    Base::TMyCxGrid::restoreGridColumnStyle(grid.get(), "KH");
    EXPECT_EQ(width(0, "name"), 240);
    EXPECT_EQ(width(1, "code"), 55);

    // Another store does not see it...
    login("1001", 6);
    setWidth(0, "name", 100);
    Base::TMyCxGrid::restoreGridColumnStyle(grid.get(), "KH");
    EXPECT_EQ(width(0, "name"), 100);

    // ...until an all-stores row exists; a store's own row still wins over it.
    ASSERT_TRUE(db().execSQL(
        "insert into qd_sys_columnconfig(orgid, billcode, ck_id, cxgname, columnstyle) "
        "select orgid, billcode, 0, cxgname, columnstyle from qd_sys_columnconfig"));
    ASSERT_TRUE(
        db().execSQL("update qd_sys_columnconfig set columnstyle = :s where ck_id = 0 and cxgname "
                     "= 'cxgMain.tvMain'",
                     {{"s", grid->view(0)->saveLayout()}}));  // width 100 for everyone
    login("1001", 6);
    setWidth(0, "name", 300);
    Base::TMyCxGrid::restoreGridColumnStyle(grid.get(), "KH");
    EXPECT_EQ(width(0, "name"), 100);
    login("1001", 5);
    Base::TMyCxGrid::restoreGridColumnStyle(grid.get(), "KH");
    EXPECT_EQ(width(0, "name"), 240);
}

// A view's layout is saved whole or not at all: the failed save leaves the layout shown, to be
// saved again.
TEST_F(GridLayouts, ASaveSurvivesAFailureAtEveryStep) {
    login("1001", 5);
    Ui::Grid single("cxgMain");
    Ui::GridView* view = single.addLevel("tvMain");
    view->setRecordSet(&rs);
    for (const char* field : {"code", "name"}) {
        Ui::GridColumn* c = view->addColumn(field);
        c->fieldName = field;
        c->width = 100;
    }
    view->applyColumns();
    const Qd::Test::SaveCase save{
        "grid layout save",
        [&] {
            view->columnByField("name")->width = 180;
            view->applyColumns();
        },
        [&] { return Base::TMyCxGrid::storeGridColumnStyle(&single, "KH"); },
        [&] { return QString::fromUtf8(view->saveLayout()); }};
    EXPECT_GT(Qd::Test::walkFaults(db().handle(), prompts(), save), 5);
}

// The cache folder holds only copies: in a read-only program folder a layout is stored and
// restored whole, and nobody is told about the cache.
using BadInput = GridLayouts;
TEST_F(BadInput, LayoutsAreStoredAndRestoredWithoutTheirCacheFolder) {
    login("1001", 5);
    QString how;
    Sys::setProgramHome(Qd::Test::unwritableFolder(dir(), &how));
    SCOPED_TRACE(how.toStdString());
    setWidth(0, "name", 240);
    setWidth(1, "code", 55);
    const QByteArray shown = grid->view(0)->saveLayout();
    ASSERT_TRUE(Base::TMyCxGrid::storeGridColumnStyle(grid.get(), "KH"));
    EXPECT_EQ(db().query("select columnstyle from qd_sys_columnconfig where cxgname = "
                         "'cxgMain.tvMain'")
                  .field(0)
                  .asBytes(),
              shown);
    EXPECT_FALSE(QFileInfo::exists(Base::TMyCxGrid::cacheFile("KH", "cxgMain.tvMain")));

    setWidth(0, "name", 100);
    setWidth(1, "code", 100);
    Base::TMyCxGrid::restoreGridColumnStyle(grid.get(), "KH");
    EXPECT_EQ(width(0, "name"), 240);
    EXPECT_EQ(width(1, "code"), 55);
    EXPECT_TRUE(prompts().asked().empty());
}

TEST_F(GridLayouts, CommonLookAndIndicatorCells) {
    Base::TMyCxGrid::setGridProp(grid.get());
    const QFontMetrics fm(grid->font());
    for (Ui::GridView* view : grid->views()) {
        EXPECT_EQ(view->indicatorWidth(), fm.horizontalAdvance("99999") + 5);
    }

    // The indicator: a number normally, a red "*" while a cell is edited.
    auto draw = [](int row, bool focused, bool editing) {
        QImage image(40, 24, QImage::Format_ARGB32);
        image.fill(Qt::white);
        QPainter p(&image);
        Base::TMyCxGrid::DrawIndicatorCell(p, image.rect(), row, focused, editing);
        return image;
    };
    auto redPixels = [](const QImage& image) {
        int n = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x) {
                const QColor c = image.pixelColor(x, y);
                n += c.red() > 180 && c.green() < 90 && c.blue() < 90;
            }
        return n;
    };
    EXPECT_EQ(redPixels(draw(3, false, false)), 0);
    EXPECT_GT(redPixels(draw(3, true, false)), 0);  // the focused row's number is red
    EXPECT_GT(redPixels(draw(3, false, true)), 0);  // "*" while editing
    EXPECT_NE(draw(3, false, true), draw(3, true, false));
    EXPECT_EQ(redPixels(draw(-1, false, true)), 0);  // the corner cell stays empty
}

TEST_F(CoreTest, DefaultValues) {
    login("1001", 5);
    EXPECT_EQ(Base::getDefValue("var", "usercode"), "Y01");
    const QDate march31(2025, 3, 31);
    EXPECT_EQ(Base::getDefValue("fun", "bt", march31), "2025-02-28");
    EXPECT_EQ(Base::getDefValue("fun", "bt", QDate(2024, 3, 31)), "2024-02-29");
    EXPECT_EQ(Base::getDefValue("fun", "et", march31), "2025-03-31");
    EXPECT_EQ(Base::getDefValue("fun", "xx", march31), "");
    EXPECT_EQ(Base::getDefValue("str", "甲", march31), QStringLiteral("甲"));
    EXPECT_EQ(Base::getDefValue("STR", "甲", march31), "");  // type names are lower case
    EXPECT_EQ(Base::getDefValue("var", "other", march31), "");
}

TEST(GridHelpers, CopyRecordLeavesOnlyTheFieldNamedIdBehind) {
    for (const char* key : {"id", "ID"}) {
        Db::RecordSet rs;
        rs.addField(key, Db::FieldType::Integer);
        rs.addField("code", Db::FieldType::Text);
        rs.createDataSet();
        rs.append();
        rs.field(0).setValue(7);
        rs.field("code").setValue(QStringLiteral("甲001"));
        rs.post();
        Base::copyRecord(rs);
        EXPECT_EQ(rs.state(), Db::DataSetState::Insert);
        EXPECT_EQ(rs.recordCount(), 2);
        EXPECT_EQ(rs.field("code").asString(), QStringLiteral("甲001"));
        EXPECT_EQ(rs.field(0).isNull(), QString(key) == "id") << key;
    }
}

TEST(GridHelpers, FormatFillsTheSystemsPlaceholders) {
    EXPECT_EQ(Base::Format("a='%s' and b=%d and c='%s'", {"x", 5, "y"}), "a='x' and b=5 and c='y'");
    EXPECT_EQ(Base::Format("%0:s/%1:d/%0:s 100%%", {"k", 2}), "k/2/k 100%");
    // A typed value stays inside the literal the pattern quotes, and %d takes numbers only.
    EXPECT_EQ(Base::Format("code = '%s' and id <> %d",
                           {"K9'; update qd_sys_users set isadmin = 1; --", "1; drop table x"}),
              "code = 'K9''; update qd_sys_users set isadmin = 1; --' and id <> 0");
    EXPECT_EQ(Base::Format("name like N'%%%s%%'", {"50%_"}), "name like N'%50%_%'");
}

TEST_F(GridLayouts, AModuleCodeNamesACacheFileNeverAPath) {
    const QString folder = QDir(dir()).filePath("cache/grid");
    for (const char* code : {"../../../x", "a/b", "..\\..\\y", "KH"}) {
        const QString file = Base::TMyCxGrid::cacheFile(code, "cxgMain.tvMain");
        EXPECT_EQ(QFileInfo(file).absolutePath(), QFileInfo(folder).absoluteFilePath()) << code;
    }
    login("1001", 5);
    Base::TMyCxGrid::storeGridColumnStyle(grid.get(), "../../../escaped");
    EXPECT_FALSE(QFile::exists(QDir(dir()).filePath("../escaped_cxgMain.tvMain.ini")));
    EXPECT_EQ(QDir(folder).entryList(QDir::Files).size(), 2);
}

TEST_F(CoreTest, ShowReportFormChecksTheCatalogueAndTheRight) {
    ASSERT_TRUE(db().execSQL(
        "insert into qd_sys_rptmain(orgid, code, title) values(1, 'R1', N'订单明细表')\n"
        "insert into qd_sys_plugins(orgid, code, name, title, formclass) values(1, 'RPT', "
        "N'报表查询', N'报表查询', 'TestReport')"));
    QStringList opened;
    Sys::TPlugsPool::registerOpenEntry(
        "TestReport", [&](QWidget*, Sys::TPlugItem& item, const QString& title,
                          const QString& params, QString&, int mode) {
            opened << item.code + "|" + title + "|" + params + "|" + QString::number(mode);
        });
    login("1001", 5);

    prompts().answer(Ui::mrOk);
    Base::showReportForm(nullptr, QStringLiteral("没有的报表"), "");
    EXPECT_EQ(prompts().last().text, QStringLiteral("该功能正在开发，尽请期待"));

    prompts().answer(Ui::mrOk);
    EXPECT_THROW(Base::showReportForm(nullptr, QStringLiteral("订单明细表"), "p"), Sys::EAbort);
    EXPECT_EQ(prompts().last().title, QStringLiteral("用户授权"));
    EXPECT_TRUE(opened.isEmpty());

    grant(11, "2100_R1");
    Base::showReportForm(nullptr, QStringLiteral("订单明细表"), "bill=1");
    EXPECT_EQ(opened, QStringList({QStringLiteral("RPT|订单明细表|bill=1|-1")}));
}
