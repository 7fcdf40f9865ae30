// Grid columns from column descriptors: every type, lookups with their tables, value copy.
#include <gtest/gtest.h>

#include <cctype>
#include <optional>

#include "core/ColumnBuilder.h"
#include "support/CoreTest.h"
#include "ui/editors/Editors.h"

using namespace Qd::Core;

namespace {

class ColumnBuilding : public Qd::Test::CoreTest {
protected:
    void SetUp() override {
        CoreTest::SetUp();
        ASSERT_TRUE(
            db().execSQL("insert into qd_b_category(orgid, pid, code, name, iclass) values"
                         "(1, 0, '01', N'数码快印', 'XM'), (1, 0, '02', N'喷绘写真', 'XM'), "
                         "(1, 0, '09', N'别的模块', 'KH')"));
        login("1001", 5);
        list.addField("id", Db::FieldType::Integer);
        list.addField("p1", Db::FieldType::Integer);
        list.addField("p1_code", Db::FieldType::Text);
        list.addField("p1_name", Db::FieldType::Text);
        list.addField("unit", Db::FieldType::Text);
        list.addField("price", Db::FieldType::Currency);
        list.addField("made", Db::FieldType::DateTime);
        list.addField("active", Db::FieldType::Boolean);
        list.addField("colour", Db::FieldType::Integer);
        list.createDataSet();
        list.append();
        list.field("p1").setValue(1);
        list.post();
        view = std::make_unique<Ui::GridView>("cxgMainDBTableView1");
        view->setRecordSet(&list);
    }

    Base::ColumnBuilder builder(QStringList* changed = nullptr) {
        Base::ColumnBuilder::Options o;
        o.moduleCode = "XM";
        o.types = Base::ColumnBuilder::listTypes();
        o.joinTableList = &tables;
        o.onEditValueChange = [this, changed](QWidget* editor) {
            if (changed)
                *changed << "changed";
            Base::copyLookupValues(tables, editor, list);
        };
        return Base::ColumnBuilder(o);
    }

    Db::RecordSet list;
    Base::JoinTableList tables;
    std::unique_ptr<Ui::GridView> view;
};

const char* kColumns = R"([
  {"fieldname":"p1","label":"一级分类","width":"120","type":"lookupcombobox",
   "join":{"sql":"select id, code, name from qd_b_category where orgid=':orgid' and iclass=':iclass' order by code",
           "keyfieldnames":"id","listfieldnames":"name",
           "fields":[{"fieldname":"code","caption":"编号","width":"60","target":"p1_code"},
                     {"fieldname":"name","caption":"名称","target":"p1_name"},
                     {"fieldname":"id","caption":"","visiable":"false","target":"p1"}]}},
  {"fieldname":"unit","label":"单位","width":"8.5","type":"combo","items":["个","盒","张"]},
  {"fieldname":"price","label":"单价","width":"90","type":"money","decimal":"2","format":"#,##0.00"},
  {"fieldname":"made","label":"日期","width":"100","type":"date","editing":"0"},
  {"fieldname":"active","label":"启用","width":"40","type":"check","visiable":"maybe"},
  {"fieldname":"colour","label":"颜色","width":"40","type":"color","visiable":"0"},
  {"fieldname":"id","label":"ID","width":"40","type":"Money"}
])";

}  // namespace

TEST_F(ColumnBuilding, EveryTypeGetsItsEditorAndTheCommonKeysApply) {
    Base::ColumnBuilder b = builder();
    b.build(view.get(), QString::fromUtf8(kColumns));
    EXPECT_TRUE(b.problems().isEmpty()) << b.problems().join('\n').toStdString();
    ASSERT_EQ(view->columns().size(), 7);
    const auto col = [&](const char* f) { return view->columnByField(f); };
    EXPECT_EQ(col("p1")->width, 120);
    EXPECT_EQ(col("unit")->width, 100);  // not a whole number
    EXPECT_EQ(col("unit")->props.items, QStringList({"个", "盒", "张"}));
    EXPECT_EQ(col("price")->props.decimals, 2);
    EXPECT_FALSE(col("made")->editing);
    EXPECT_TRUE(col("active")->visible);  // not a Boolean: shown
    EXPECT_FALSE(col("colour")->visible);
    using K = Ui::EditorKind;
    EXPECT_EQ((std::vector{col("p1")->props.kind, col("unit")->props.kind, col("price")->props.kind,
                           col("made")->props.kind, col("active")->props.kind,
                           col("colour")->props.kind, col("id")->props.kind}),
              (std::vector{K::LookupCombo, K::Combo, K::Money, K::Date, K::Check, K::Color,
                           K::Text}));  // type values match exactly: "Money" is text

    // The lookup: placeholders filled inside their quotes, hidden entries left out of the
    // drop-down, the table loaded and kept under the field name.
    ASSERT_EQ(tables.count("p1"), 1u);
    Base::TjoinTableObject& t = *tables.at("p1");
    EXPECT_TRUE(t.FautoFix);
    EXPECT_EQ(
        t.Fsql,
        "select id, code, name from qd_b_category where orgid='1' and iclass='XM' order by code");
    EXPECT_EQ(t.Fcds->recordCount(), 2);
    EXPECT_EQ(t.updatefields.size(), 3);
    ASSERT_EQ(col("p1")->props.dropDownColumns.size(), 2);
    EXPECT_EQ(col("p1")->props.dropDownColumns[0].width, 60);
    EXPECT_EQ(col("p1")->props.dropDownColumns[1].width, 80);  // no width: 80
    EXPECT_EQ(col("p1")->props.listSource, t.Fcds.get());
}

TEST_F(ColumnBuilding, PickingOrClearingALookupCopiesOrResetsItsTargets) {
    QStringList changed;
    Base::ColumnBuilder b = builder(&changed);
    b.build(view.get(), QString::fromUtf8(kColumns));
    Ui::LookupComboBox editor(view->columnByField("p1")->props);
    editor.choose(1);  // 喷绘写真
    EXPECT_EQ(changed.size(), 1);
    EXPECT_EQ(list.field("p1_code").asString(), "02");
    EXPECT_EQ(list.field("p1_name").asString(), QStringLiteral("喷绘写真"));
    EXPECT_EQ(list.field("p1").asInteger(), 2);  // a hidden entry is copied too

    editor.clear();
    EXPECT_EQ(list.field("p1").asInteger(), 0);  // integers to 0
    EXPECT_EQ(list.field("p1_name").asString(), "");
    EXPECT_FALSE(list.field("p1_name").isNull());  // text to empty text

    // The refresh reopens auto-fix tables: a new category shows up.
    ASSERT_TRUE(
        db().execSQL("insert into qd_b_category(orgid, pid, code, name, iclass) values(1, 0, '03', "
                     "N'装订', 'XM')"));
    Base::refreshJoinTables(tables);
    EXPECT_EQ(tables.at("p1")->Fcds->recordCount(), 3);
}

TEST_F(ColumnBuilding, BadDescriptorsAreNamedAndTheRestIsBuilt) {
    Base::ColumnBuilder b = builder();
    b.build(view.get(), QStringLiteral(R"([
        {"fieldname":"unit","label":"单位"},
        {"fieldname":"price"},
        {"label":"无字段"},
        {"fieldname":"p1","label":"分类","type":"lookupcombobox",
         "join":{"sql":"select id, name from qd_b_category","keyfieldnames":"id","listfieldnames":"name",
                 "fields":[{"fieldname":"name","caption":"名称"}]}},
        {"fieldname":"p1","label":"again","type":"lookupcombobox","join":{"sql":"select 1"}},
        "not an object"])"));
    EXPECT_EQ(view->columns().size(), 3);  // unit and both p1 columns, the second as plain text
    const QString all = b.problems().join('\n');
    EXPECT_TRUE(all.contains(QStringLiteral("模块 XM 的第 2 个列定义缺少 \"label\"")))
        << all.toStdString();
    EXPECT_TRUE(all.contains(QStringLiteral("缺少 \"fieldname\"")));
    EXPECT_TRUE(all.contains(QStringLiteral("列 \"p1\" 的查询字段缺少 \"target\"")));
    EXPECT_TRUE(all.contains(QStringLiteral("列 \"p1\" 重复定义了查询")));
    EXPECT_TRUE(all.contains(QStringLiteral("第 6 个列定义不是 JSON 对象")));

    prompts().answer(Ui::mrOk);
    b.reportProblems();  // shown once, in one box
    EXPECT_EQ(prompts().asked().size(), 1u);
    EXPECT_TRUE(b.problems().isEmpty());

    Base::ColumnBuilder broken = builder();
    broken.build(view.get(), QStringLiteral("[{\"fieldname\":"));
    ASSERT_EQ(broken.problems().size(), 1);
    EXPECT_TRUE(broken.problems()[0].contains(QStringLiteral("模块 XM 的列定义不是 JSON 数组")));
    EXPECT_TRUE(view->columns().isEmpty());
}

TEST_F(ColumnBuilding, SecondLevelLookupsStartWithAnEmptyParent) {
    Base::ColumnBuilder b = builder();
    b.build(view.get(),
            QStringLiteral(R"([{"fieldname":"p1","label":"二级","type":"lookupcomboboxl2",
        "join":{"sql":"select id, name from qd_b_category where pid = :p1","keyfieldnames":"id","listfieldnames":"name",
                "fields":[{"fieldname":"name","caption":"名称","target":"p1_name"}]}}])"));
    ASSERT_EQ(tables.count("p1"), 1u);
    EXPECT_FALSE(tables.at("p1")->FautoFix);
    EXPECT_EQ(tables.at("p1")->Fcds->recordCount(), 3);  // pid = 0: the top level, none chosen yet
    EXPECT_EQ(view->columnByField("p1")->props.kind, Ui::EditorKind::LookupComboL2);
    ASSERT_TRUE(db().execSQL("update qd_b_category set pid = 9"));
    Base::refreshJoinTables(tables);  // second-level tables stay as they are
    EXPECT_EQ(tables.at("p1")->Fcds->recordCount(), 3);
}

TEST(ColumnDescriptors, BooleansAsDescriptorsWriteThem) {
    for (const char* yes : {"true", "True", "1"})
        EXPECT_TRUE(Base::descriptorBool(yes, false)) << yes;
    for (const char* no : {"0", "FALSE"})
        EXPECT_FALSE(Base::descriptorBool(no, true)) << no;
    EXPECT_TRUE(Base::descriptorBool("maybe", true));
    EXPECT_FALSE(Base::descriptorBool("maybe", false));
}

// ---- the bill details' member ---------------------------------------------------------------

namespace {

// One descriptor column (and the store's setting of its field, if any) and what it becomes.
struct BillColumnCase {
    const char* name;
    const char* descriptor;
    std::optional<Base::ColumnOverride> setting;
    Ui::EditorKind kind;
    int decimals = -1;
    const char* format = "";
    const char* caption = "列";
    bool visible = true;
    bool button = true;  // the edit button shows
    std::optional<Ui::SummaryKind> footer = std::nullopt;
    bool clicks = false;  // a button that runs the click hook
};

Base::ColumnOverride setting(const char* type, int decimals = 0, const char* format = "",
                             bool visible = true, const char* caption = "门店列") {
    return {QString::fromUtf8(caption), visible, QString::fromUtf8(type), decimals,
            QString::fromUtf8(format)};
}

const BillColumnCase kBillColumns[] = {
    {"plain text; visiable is not read",
     R"({"fieldname":"f","label":"列","width":"9","visiable":"false"})", std::nullopt,
     Ui::EditorKind::Text},
    {"read-only column shows no button",
     R"({"fieldname":"f","label":"列","width":"9","type":"combo","items":["a"],"editing":"false"})",
     std::nullopt, Ui::EditorKind::Combo, -1, "", "列", true, false},
    {"money defaults to 4 places and 0.0000",
     R"({"fieldname":"f","label":"列","width":"9","type":"money"})", std::nullopt,
     Ui::EditorKind::Money, 4, "0.0000"},
    {"money written 金额, own decimals",
     R"({"fieldname":"f","label":"列","width":"9","type":"金额","decimal":"x","format":"#,##0.00"})",
     std::nullopt, Ui::EditorKind::Money, 4, "#,##0.00"},
    {"a store setting: max(2, count) and its format, even empty",
     R"({"fieldname":"f","label":"列","width":"9","type":"money","decimal":"3","format":"0.000"})",
     setting("默认", 1, "", false), Ui::EditorKind::Money, 2, "", "门店列", false},
    {"金额 in the setting makes a text column money",
     R"({"fieldname":"f","label":"列","width":"9"})", setting("金额", 3, "0.000"),
     Ui::EditorKind::Money, 3, "0.000", "门店列"},
    {"money then 整数 is an integer editor",
     R"({"fieldname":"f","label":"列","width":"9","type":"money","format":"0.00"})",
     setting("整数", 3, "0.00"), Ui::EditorKind::Money, 0, "", "门店列"},
    {"小数 takes the setting's places",
     R"({"fieldname":"f","label":"列","width":"9","type":"combo","items":["a"]})",
     setting("小数", 3, "0.000"), Ui::EditorKind::Money, 3, "0.000", "门店列"},
    {"日期 in the setting, its format",
     R"({"fieldname":"f","label":"列","width":"9","format":"yy"})",
     setting("日期", 0, "yyyy/MM/dd"), Ui::EditorKind::Date, -1, "yyyy/MM/dd", "门店列"},
    {"默认 and 字符 change nothing but caption",
     R"({"fieldname":"f","label":"列","width":"9","type":"color"})", setting("字符"),
     Ui::EditorKind::Color, -1, "", "门店列"},
    {"文件 over a combo: a file button",
     R"({"fieldname":"f","label":"列","width":"9","type":"combo","items":["a"]})", setting("文件"),
     Ui::EditorKind::Button, -1, "", "门店列", true, true, std::nullopt, true},
    {"button keeps its descriptor",
     R"({"fieldname":"f","label":"列","width":"9","type":"button","event":"select","target":"项目资料"})",
     std::nullopt, Ui::EditorKind::Button, -1, "", "列", true, true, std::nullopt, true},
    {"footer in capitals without kind sums",
     R"({"fieldname":"f","label":"列","width":"9","footer":"TRUE"})", std::nullopt,
     Ui::EditorKind::Text, -1, "", "列", true, true, Ui::SummaryKind::Sum},
    {"another kind: a footer cell without sum",
     R"({"fieldname":"f","label":"列","width":"9","footer":"True","kind":"count"})", std::nullopt,
     Ui::EditorKind::Text, -1, "", "列", true, true, Ui::SummaryKind::None},
    {"footer 1 is not true", R"({"fieldname":"f","label":"列","width":"9","footer":"1"})",
     std::nullopt, Ui::EditorKind::Text},
};

class BillColumns : public ColumnBuilding, public testing::WithParamInterface<BillColumnCase> {};

}  // namespace

TEST_P(BillColumns, DescriptorAndStoreSettingMakeTheColumn) {
    const BillColumnCase& c = GetParam();
    Base::ColumnBuilder::Options o = Base::ColumnBuilder::billDetailOptions();
    o.moduleCode = "XM";
    o.dateFormat = "yyyy-MM-dd";
    o.columnOverride = [&c](const QString& field) -> const Base::ColumnOverride* {
        return field == "f" && c.setting ? &*c.setting : nullptr;
    };
    QStringList clicked;
    o.onButtonClick = [&](QWidget*, const QString& d) { clicked << "button " + d; };
    o.onFileClick = [&](QWidget*, const QString&) { clicked << "file"; };
    Base::ColumnBuilder b(o);
    const QString columns = QString::fromUtf8("[") + QString::fromUtf8(c.descriptor) +
                            QString::fromUtf8(R"(, {"fieldname":"g","label":"乙","width":"9"}])");
    b.build(view.get(), columns);
    EXPECT_TRUE(b.problems().isEmpty()) << b.problems().join('\n').toStdString();
    const Ui::GridColumn* col = view->columnByField("f");
    ASSERT_NE(col, nullptr);
    EXPECT_EQ(col->props.kind, c.kind);
    if (c.kind == Ui::EditorKind::Money || c.kind == Ui::EditorKind::Date) {
        EXPECT_EQ(col->props.decimals, c.decimals);
        EXPECT_EQ(col->props.displayFormat, QString::fromUtf8(c.format));
    }
    EXPECT_EQ(col->caption, QString::fromUtf8(c.caption));
    EXPECT_EQ(col->visible, c.visible);
    EXPECT_EQ(col->props.alwaysShowButton, c.button);
    EXPECT_EQ(view->footerVisible(), c.footer.has_value());
    EXPECT_EQ(col->footerKind, c.footer.value_or(Ui::SummaryKind::None));
    EXPECT_EQ(col->width, 9);
    // The setting of f leaves the column after it alone.
    const Ui::GridColumn* g = view->columnByField("g");
    EXPECT_EQ(g->caption, QStringLiteral("乙"));
    EXPECT_EQ(g->props.kind, Ui::EditorKind::Text);
    EXPECT_TRUE(g->visible);

    ASSERT_EQ(bool(col->props.onButtonClick), c.clicks);
    if (c.clicks) {
        col->props.onButtonClick(nullptr);
        ASSERT_EQ(clicked.size(), 1);
        EXPECT_TRUE(clicked[0] == "file" ||
                    clicked[0].contains(QStringLiteral("\"target\":\"项目资料\"")))
            << clicked[0].toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(Bill, BillColumns, testing::ValuesIn(kBillColumns),
                         [](const testing::TestParamInfo<BillColumnCase>& info) {
                             std::string n = info.param.name;
                             for (char& ch : n)
                                 if (!std::isalnum(static_cast<unsigned char>(ch)))
                                     ch = '_';
                             return n;
                         });

TEST_F(ColumnBuilding, BillLookupsAreSharedByFieldAndTakeTheirValuesAsPlainText) {
    Base::ColumnBuilder::Options o = Base::ColumnBuilder::billDetailOptions();
    o.moduleCode = "XM";
    o.joinTableList = &tables;
    Base::ColumnBuilder b(o);
    const QString join = QStringLiteral(
        R"("join":{"sql":"select id, code, name from qd_b_category where orgid = :orgid and iclass = ':iclass' order by code",
           "keyfieldnames":"id","listfieldnames":"name",
           "fields":[{"fieldname":"name","caption":"名称","target":"p1_name"}]})");
    const qsizetype before = traced().size();
    b.build(view.get(),
            "[{\"fieldname\":\"p1\",\"label\":\"甲\",\"width\":\"9\",\"type\":"
            "\"lookupcombobox\"," +
                join +
                "}, {\"fieldname\":\"p1\",\"label\":\"乙\","
                "\"width\":\"9\",\"type\":\"lookupcombobox\"," +
                join +
                "}, "
                "{\"fieldname\":\"unit\",\"label\":\"无宽度\"}]");
    ASSERT_EQ(b.problems().size(), 1);
    EXPECT_EQ(b.problems()[0], QStringLiteral("模块 XM 的第 3 个列定义缺少 \"width\""));
    ASSERT_EQ(tables.size(), 1u);
    ASSERT_EQ(view->columns().size(), 2);
    EXPECT_EQ(view->columns()[0]->props.listSource, view->columns()[1]->props.listSource);
    EXPECT_EQ(tables.at("p1")->Fcds->recordCount(), 2);
    EXPECT_EQ(tables.at("p1")->Fsql,
              "select id, code, name from qd_b_category where orgid = 1 and iclass = 'XM' order "
              "by code");
    const QString sent = traced().mid(before);
    EXPECT_TRUE(sent.contains("orgid = 1 and")) << sent.toStdString();
    EXPECT_FALSE(sent.contains(":orgid")) << sent.toStdString();
    EXPECT_FALSE(sent.contains("'1'")) << sent.toStdString();
    EXPECT_FALSE(sent.contains("''XM''")) << sent.toStdString();
}
