// The query parameter panel: the date-range presets and their group, the store and clerk
// lookups locked by the data scope, incoming values, and the values handed to a query.
#include <gtest/gtest.h>

#include <QApplication>
#include <QJsonDocument>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>

#include "core/ParamsPanel.h"
#include "support/CoreTest.h"
#include "support/Render.h"
#include "support/Rows.h"
#include "ui/editors/Editors.h"

using namespace Qd::Core;
using Base::DateRange;
using Base::ParamsPanel;

namespace {

// A click on a preset's round mark, where the user aims.
void clickPreset(Base::DateRangeGroup& group, int index) {
    QAbstractButton* item = group.item(index);
    QTest::mouseClick(item, Qt::LeftButton, {}, QPoint(6, item->height() / 2));
}

struct PresetCase {
    const char* today;
    int index;
    const char* bt;
    const char* et;
};

TEST(DateRangePresets, FollowTheirTableOnWeekAndMonthEdges) {
    const PresetCase cases[] = {
        // Friday 2026-12-04, every preset.
        {"2026-12-04", 0, "2026-12-04", "2026-12-04"},
        {"2026-12-04", 1, "2026-11-27", "2026-12-04"},
        {"2026-12-04", 2, "2026-11-30", "2026-12-04"},
        {"2026-12-04", 3, "2026-12-01", "2026-12-04"},
        {"2026-12-04", 4, "2026-12-03", "2026-12-03"},
        {"2026-12-04", 5, "2026-11-04", "2026-12-04"},
        {"2026-12-04", 6, "2026-11-23", "2026-11-29"},
        {"2026-12-04", 7, "2026-11-01", "2026-11-30"},
        // A Monday starts its own week; a Sunday ends it.
        {"2026-11-30", 2, "2026-11-30", "2026-11-30"},
        {"2026-12-06", 2, "2026-11-30", "2026-12-06"},
        {"2026-11-30", 6, "2026-11-23", "2026-11-29"},
        // A month back from a day the earlier month lacks: its last day.
        {"2026-12-31", 5, "2026-11-30", "2026-12-31"},
        {"2026-03-31", 7, "2026-02-01", "2026-02-28"},
        {"2028-03-31", 7, "2028-02-01", "2028-02-29"},
        {"2027-01-15", 7, "2026-12-01", "2026-12-31"},
    };
    for (const PresetCase& c : cases) {
        const DateRange r = Base::dateRangePreset(c.index, QDate::fromString(c.today, Qt::ISODate));
        EXPECT_EQ(r.bt.toString(Qt::ISODate) + " .. " + r.et.toString(Qt::ISODate),
                  QString(c.bt) + " .. " + c.et)
            << c.today << " preset " << c.index;
    }
    EXPECT_FALSE(Base::dateRangePreset(8, QDate(2026, 12, 4)).bt.isValid());
}

TEST(DateRangeGroup, TellsEveryClickEvenOnTheChosenItem) {
    Base::DateRangeGroup group;
    group.show();
    EXPECT_EQ(group.itemIndex(), 5);
    QSignalSpy clicks(&group, &Base::DateRangeGroup::itemClicked);
    clickPreset(group, 5);
    clickPreset(group, 5);
    clickPreset(group, 7);
    ASSERT_EQ(clicks.count(), 3);
    EXPECT_EQ(clicks[1][0].toInt(), 5);
    EXPECT_EQ(clicks[2][0].toInt(), 7);
    EXPECT_EQ(group.itemIndex(), 7);
}

// A report's parameters: the store and clerk lookups (whose statements the panel replaces),
// the date range, a picker, a required choice and two texts.
const char* kParams = R"json([
  {"name": "ck_code", "title": "门店", "type": "lookupcombobox", "deftype": "str", "defvalue": "",
   "join": {"sql": "select 1 as code", "keyfieldnames": "code", "listfieldnames": "name",
            "fields": [{"fieldname": "code", "caption": "编号", "visiable": "0"},
                       {"fieldname": "name", "caption": "门店", "width": "100"}]}},
  {"name": "kdr_code", "title": "开单人", "type": "lookupcombobox", "deftype": "", "defvalue": "",
   "join": {"sql": "select 1 as code", "keyfieldnames": "code", "listfieldnames": "name",
            "fields": [{"fieldname": "code", "caption": "编号", "visiable": "abc"},
                       {"fieldname": "name", "caption": "姓名", "visiable": "false"}]}},
  {"name": "bt", "title": "开始日期", "type": "date", "deftype": "fun", "defvalue": "bt"},
  {"name": "et", "title": "结束日期", "type": "date", "deftype": "fun", "defvalue": "et"},
  {"name": "kh_code", "title": "客户", "type": "button", "event": "客户资料", "deftype": "str",
   "defvalue": ""},
  {"name": "zt", "title": "状态", "type": "combo", "items": ["草稿", "已审核"], "deftype": "str",
   "defvalue": "", "required": "true"},
  {"name": "memo", "title": "备注", "type": "memo", "deftype": "str", "defvalue": "x"},
  {"name": "note", "title": "说明", "type": "text", "deftype": "str", "defvalue": ""}])json";

class ParamsPanelTest : public Qd::Test::LoggedInTest {
protected:
    void SetUp() override {
        LoggedInTest::SetUp();
        // Store 7 and its clerk are outside the manager's access list.
        ASSERT_TRUE(db().execSQL(
            "insert into qd_b_ckbmk(orgid, code, name) values(1, 'MD07', N'七号店')\n"
            "update qd_b_ckbmk set id = 7 where code = 'MD07'\n"
            "update qd_b_ygbmk set ck_id = 5 where code = 'Y01'\n"
            "insert into qd_b_ygbmk(orgid, ck_id, code, name) values(1, 6, 'Y02', N'李会计'), "
            "(1, 7, 'Y07', N'赵店员')"));
        Base::setPanelToday([] { return QDate(2026, 12, 4); });
        layout->addWidget(group);
        layout->addWidget(grid, 1);
        layout->addWidget(new QPushButton(QStringLiteral("查询")));
        window.resize(260, 420);
        // As the report window wires them.
        QObject::connect(group, &Base::DateRangeGroup::itemClicked, &window,
                         [this](int index) { panel.applyDateRange(index, Base::panelToday()); });
    }
    void TearDown() override {
        Base::setPanelToday({});
        LoggedInTest::TearDown();
    }
    void build(int dataScope, const QString& params = kParams) {
        Sys::sysAuth()->dataScope = dataScope;
        panel.build(QJsonDocument::fromJson(params.toUtf8()).array());
    }
    QLineEdit* typed(const QString& name) {
        return grid->editor(name)->findChild<QLineEdit*>(QStringLiteral("lookupText"));
    }

    Base::JoinTableList tables;  // outlives the editors listing its rows
    QWidget window;
    QVBoxLayout* layout = new QVBoxLayout(&window);
    Base::DateRangeGroup* group = new Base::DateRangeGroup;
    Ui::PropertyGrid* grid = new Ui::PropertyGrid;
    ParamsPanel panel{grid, &tables, {QStringLiteral("RPT01"), QStringLiteral("销售日报"), true}};
};

}  // namespace

TEST_F(ParamsPanelTest, TheDataScopeLocksTheStoreAndClerkToTheSession) {
    // Scope 0: both locked to the session's own store and code, shown by their names.
    build(0);
    EXPECT_TRUE(grid->isReadOnly("ck_code"));
    EXPECT_TRUE(grid->isReadOnly("kdr_code"));
    EXPECT_EQ(panel.value("ck_code").toString(), QStringLiteral("MD05"));
    EXPECT_EQ(panel.value("kdr_code").toString(), QStringLiteral("Y01"));
    EXPECT_EQ(qobject_cast<Ui::LookupComboBox*>(grid->editor("ck_code"))->text(),
              QStringLiteral("五号店"));
    if (!Qd::Test::renderDir().isEmpty())
        Qd::Test::keepRender(window, "params-panel-locked.png");
    // Scope 1: only the store. The lookup tables are kept across rebuilds.
    const Base::TjoinTableObject* stores = tables.at("ck_code").get();
    build(1);
    EXPECT_EQ(tables.at("ck_code").get(), stores);
    EXPECT_TRUE(grid->isReadOnly("ck_code"));
    EXPECT_FALSE(grid->isReadOnly("kdr_code"));
    EXPECT_TRUE(panel.value("kdr_code").isNull());
    // Scope 2: both free, each listing only what the access list allows.
    build(2);
    EXPECT_FALSE(grid->isReadOnly("ck_code"));
    EXPECT_TRUE(panel.value("ck_code").isNull());
    EXPECT_EQ(Qd::Test::rowTexts(*stores->Fcds, {"code"}), QStringList({"MD05", "MD06"}));
    EXPECT_EQ(Qd::Test::rowTexts(*tables.at("kdr_code")->Fcds, {"code"}),
              QStringList({"Y01", "Y02"}));
    EXPECT_TRUE(panel.problems().isEmpty());
}

TEST_F(ParamsPanelTest, IncomingValuesOverrideLocksAndDropUnknownNames) {
    build(0);
    panel.applyIncoming(R"([{"name": "ck_code", "value": "MD06"}, {"name": "nosuch", "value": 1},
                            {"name": "zt", "value": "已审核"}, {"name": "note", "value": 12}])");
    EXPECT_EQ(panel.value("ck_code").toString(), QStringLiteral("MD06"));
    EXPECT_TRUE(grid->isReadOnly("ck_code"));
    EXPECT_EQ(panel.value("zt").toString(), QStringLiteral("已审核"));
    EXPECT_EQ(panel.value("note").toString(), QStringLiteral("12"));
    EXPECT_EQ(panel.rows().size(), 8u);
    // Malformed text changes nothing and is traced.
    panel.applyIncoming(R"([{"name": "zt", "value": "草稿"})");
    EXPECT_EQ(panel.value("zt").toString(), QStringLiteral("已审核"));
    EXPECT_TRUE(traced().contains(QStringLiteral("未采用")));
    EXPECT_TRUE(prompts().asked().empty());
}

TEST_F(ParamsPanelTest, ValuesReachTheQueryAsTextOrNullAfterTheRequiredCheck) {
    sys->settings().dateFormat = QStringLiteral("yyyy/MM/dd");
    build(2);
    EXPECT_TRUE(panel.hasDateRange());
    window.show();
    clickPreset(*group, 6);  // 上周
    // 状态 is required and empty: named in a notice, no parameters.
    prompts().answer(Ui::mrOk);
    EXPECT_FALSE(panel.sqlParams().has_value());
    EXPECT_EQ(prompts().last().text, QStringLiteral("请输入状态"));

    panel.setValue("zt", QStringLiteral("草稿"));
    panel.setValue("memo", QString());  // emptied: NULL, as the never-filled 说明
    const std::optional<Db::Params> params = panel.sqlParams();
    ASSERT_TRUE(params.has_value());
    QStringList sent;
    for (const Db::Param& p : *params)
        sent << p.name + "=" + (p.value.isNull() ? QStringLiteral("NULL") : p.value.toString());
    EXPECT_EQ(sent.join(", ").toStdString(),
              QStringLiteral("ck_code=NULL, kdr_code=NULL, bt=2026/11/23, "
                             "et=2026/11/29, kh_code=NULL, zt=草稿, "
                             "memo=NULL, note=NULL")
                  .toStdString());
    if (!Qd::Test::renderDir().isEmpty())
        Qd::Test::keepRender(window, "params-panel.png");
}

TEST_F(ParamsPanelTest, TheEditorInHandCommitsEvenBehindALockedFirstRow) {
    build(1);  // the first row, 门店, is locked and takes no focus
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    QLineEdit* clerk = typed("kdr_code");
    clerk->setFocus();
    QTest::keyClicks(clerk, "Y02");
    // The drop-down of what was found closes, as a click outside it does; the text stays typed.
    qobject_cast<Ui::LookupComboBox*>(grid->editor("kdr_code"))->hidePopup();
    ASSERT_EQ(QApplication::focusWidget(), clerk);
    EXPECT_TRUE(panel.value("kdr_code").isNull());
    panel.setValue("zt", QStringLiteral("草稿"));
    const std::optional<Db::Params> params = panel.sqlParams();
    ASSERT_TRUE(params.has_value());
    EXPECT_EQ(params->at(1).value.toString(), QStringLiteral("Y02"));
}

TEST_F(ParamsPanelTest, MalformedElementsAreNamedByPositionAndTheRestIsBuilt) {
    build(2, R"json([{"name": "a", "title": "甲", "type": "text"},
                     {"title": "乙", "type": "text"},
                     {"name": "c", "type": "text"},
                     {"name": "d", "title": "丁", "type": "lookupcombobox"},
                     "e",
                     {"name": "bt", "title": "开始", "type": "date"}])json");
    QStringList names;
    for (const Base::ParamRow& r : panel.rows())
        names << r.name;
    EXPECT_EQ(names, QStringList({"a", "c", "d", "bt"}));
    EXPECT_FALSE(panel.hasDateRange());  // "bt" without "et"
    ASSERT_EQ(panel.problems().size(), 4);
    EXPECT_TRUE(panel.problems()[0].contains(QStringLiteral("第 2 个")));
    EXPECT_TRUE(panel.problems()[0].contains(QStringLiteral("“name”")));
    EXPECT_TRUE(panel.problems()[2].contains(QStringLiteral("“join”")));
    prompts().answer(Ui::mrOk);
    panel.reportProblems();
    panel.reportProblems();  // once only
    ASSERT_EQ(prompts().asked().size(), 1u);
    EXPECT_TRUE(prompts().last().text.contains(QStringLiteral("销售日报（RPT01）的第 5 个")));
}
