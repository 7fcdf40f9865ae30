// Grid columns from column descriptors: every type, lookups with their tables, value copy.
#include <gtest/gtest.h>

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
            db().execSQL("insert into qd_b_category(orgid, pid, code, name, iclass) values(1, 0, "
                         "'01', N'数码快印', 'XM')\n"
                         "insert into qd_b_category(orgid, pid, code, name, iclass) values(1, 0, "
                         "'02', N'喷绘写真', 'XM')\n"
                         "insert into qd_b_category(orgid, pid, code, name, iclass) values(1, 0, "
                         "'09', N'别的模块', 'KH')"));
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
    EXPECT_EQ(col("p1")->name(), "cxgMainDBTableView1p1");
    EXPECT_EQ(col("p1")->caption, QStringLiteral("一级分类"));
    EXPECT_EQ(col("p1")->width, 120);
    EXPECT_EQ(col("unit")->width, 100);  // not a whole number
    EXPECT_EQ(col("p1")->props.kind, Ui::EditorKind::LookupCombo);
    EXPECT_EQ(col("unit")->props.kind, Ui::EditorKind::Combo);
    EXPECT_EQ(col("unit")->props.items, QStringList({"个", "盒", "张"}));
    EXPECT_EQ(col("price")->props.kind, Ui::EditorKind::Money);
    EXPECT_EQ(col("price")->props.decimals, 2);
    EXPECT_EQ(col("price")->props.displayFormat, "#,##0.00");
    EXPECT_EQ(col("made")->props.kind, Ui::EditorKind::Date);
    EXPECT_FALSE(col("made")->editing);
    EXPECT_EQ(col("active")->props.kind, Ui::EditorKind::Check);
    EXPECT_TRUE(col("active")->visible);  // not a Boolean: shown
    EXPECT_FALSE(col("colour")->visible);
    EXPECT_EQ(col("colour")->props.kind, Ui::EditorKind::Color);
    EXPECT_EQ(col("id")->props.kind, Ui::EditorKind::Text);  // type values match exactly

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
    EXPECT_TRUE(Base::descriptorBool("true", false));
    EXPECT_TRUE(Base::descriptorBool("True", false));
    EXPECT_TRUE(Base::descriptorBool("1", false));
    EXPECT_FALSE(Base::descriptorBool("0", true));
    EXPECT_FALSE(Base::descriptorBool("FALSE", true));
    EXPECT_TRUE(Base::descriptorBool("maybe", true));
    EXPECT_FALSE(Base::descriptorBool("maybe", false));
}
