// The categorised list: the two-level tree and its rules, rows filed by p1/p2, the category
// delete batch, the query panel, the checks before a post, and the batch copy dialog.
#include <gtest/gtest.h>

#include <QFile>
#include <QItemSelectionModel>
#include <QTabWidget>
#include <QTest>

#include "basic/uBasicPropEditForm.h"
#include "basic/uDataCopyForm.h"
#include "basic/uMultiBasicRibbonForm.h"
#include "db/Trace.h"
#include "support/CoreTest.h"
#include "support/FaultWalk.h"
#include "support/Render.h"
#include "support/Rows.h"
#include "sys/uPlugItem.h"
#include "ui/DockPanel.h"
#include "ui/editors/Editors.h"
#include "ui/grid/Grid.h"

using namespace Qd::Core;
using Base::TMultiBasicRibbonForm;

namespace {

const QString kRefusal = QStringLiteral("对不起，您没有该功能的操作权限，访问被拒绝。");

const char* kDescriptor = R"({
  "mainsql": "select t1.* from qd_b_xmbmk t1 where t1.orgid = :orgid and t1.isdel = 0",
  "sort": "t1.code", "tablename": "qd_b_xmbmk", "key": "id", "ignoreFields": [],
  "validation": [{"datatype": "unique", "ele": "code", "errormsg": "编号已存在",
    "checksql": "select id from qd_b_xmbmk where orgid = '%s' and code = '%s' and id <> %d"}],
  "params": [
    {"name": "name", "title": "名称", "type": "text", "paramsql": "and t1.name like N'%%%s%%'"},
    {"name": "unit", "title": "单位", "type": "combo", "items": ["盒", "张"],
     "deftype": "str", "defvalue": "盒", "paramsql": "and t1.baseunit = N'%s'"}],
  "filter": {"mainsql": "select t1.* from qd_b_xmbmk t1 where t1.orgid = :orgid and t1.isdel = 0"}})";

const char* kColumns = R"([
  {"fieldname": "code", "label": "编号"}, {"fieldname": "name", "label": "名称"},
  {"fieldname": "baseunit", "label": "单位"}, {"fieldname": "id", "label": "ID", "visiable": "false"}])";

class CategorisedList : public Qd::Test::CoreTest {
protected:
    void SetUp() override {
        CoreTest::SetUp();
        // Categories of module XM: A (1) with child A1 (2), B (3); another module's C (4).
        ASSERT_TRUE(db().execSQL(
            "insert into qd_b_category(orgid, pid, code, name, iclass) values(1, 0, '01', N'甲', "
            "'XM'), (1, 1, '0101', N'甲一', 'XM'), (1, 0, '02', N'乙', 'XM'), "
            "(1, 0, '09', N'别的', 'KH')\n"
            "insert into qd_b_xmbmk(orgid, p1, p2, code, name, baseunit) values"
            "(1, 1, 2, 'A0097', N'名片', N'盒'), (1, 1, 2, 'A0098', N'卡片', N'张'), "
            "(1, 1, 0, 'A0099', N'海报', N'张'), (1, 3, 0, 'A0050', N'条幅', N'米')"));
        ASSERT_NO_FATAL_FAILURE(login(QStringLiteral("1001"), 5));
        for (const char* s : {"_01", "_02", "_03"})
            grant(11, QStringLiteral("XM") + s);
    }
    std::unique_ptr<TMultiBasicRibbonForm> open(const QString& module = QStringLiteral("XM"),
                                                const QString& descriptor = kDescriptor,
                                                const QString& columns = kColumns) {
        plug.code = module;
        plug.name = plug.title = QStringLiteral("项目资料");
        plug.setTexts(descriptor, columns, QString());
        return std::unique_ptr<TMultiBasicRibbonForm>(
            static_cast<TMultiBasicRibbonForm*>(Base::TBaseRibbonForm::create(
                nullptr,
                [](QWidget* o, Sys::TPlugItem* d) { return new TMultiBasicRibbonForm(o, d); },
                &plug)));
    }
    static QStringList codes(const Db::RecordSet& rs) { return Qd::Test::rowTexts(rs, {"code"}); }
    static void post(TMultiBasicRibbonForm& f) { f.cxgMainDBTableView1->model()->submit(); }

    Sys::TPlugItemSingleBasic plug;
};

}  // namespace

TEST_F(CategorisedList, TheTreeFilesRowsByLevelAndItsActionsFollowTheSelection) {
    auto f = open();
    // The first category is chosen: a top level lists the rows of its children too.
    EXPECT_EQ(f->category_p1, 1);
    EXPECT_EQ(f->category_p2, 0);
    EXPECT_EQ(codes(f->cdsMain), QStringList({"A0097", "A0098", "A0099"}));
    EXPECT_EQ(f->dxDockPanel1->caption(), QStringLiteral("当前分类：甲  当前记录数：3"));
    EXPECT_TRUE(f->actCategory_AddChild->isVisible());
    f->actAdd->trigger();
    EXPECT_EQ(f->cdsMain.field("p1").asInteger(), 1);
    EXPECT_EQ(f->cdsMain.field("p2").asInteger(), 0);
    f->cdsMain.cancel();

    // A second level: no child below it, and new rows go under both levels.
    ASSERT_TRUE(f->dbtCategory->selectKey(2));
    EXPECT_EQ(f->category_p1, 1);
    EXPECT_EQ(f->category_p2, 2);
    EXPECT_EQ(codes(f->cdsMain), QStringList({"A0097", "A0098"}));
    EXPECT_FALSE(f->actCategory_AddChild->isVisible());
    f->actAdd->trigger();
    EXPECT_EQ(f->cdsMain.field("p1").asInteger(), 1);
    EXPECT_EQ(f->cdsMain.field("p2").asInteger(), 2);
    // The checks before a post come first, as errors.
    prompts().answer(Ui::mrOk);
    post(*f);
    EXPECT_EQ(prompts().last().text, QStringLiteral("请输入编号"));
    EXPECT_EQ(prompts().last().kind, int(Ui::MsgKind::Error));
    f->cdsMain.field("code").setValue("A0098");
    f->cdsMain.field("name").setValue(QStringLiteral("贺卡"));
    prompts().answer(Ui::mrOk);
    post(*f);
    EXPECT_EQ(prompts().last().text, QStringLiteral("编号已存在"));
    f->cdsMain.field("code").setValue("A0100");
    post(*f);
    EXPECT_EQ(codes(f->cdsMain), QStringList({"A0097", "A0098", "A0100"}));
    EXPECT_EQ(prompts().pending(), 0);
}

TEST_F(CategorisedList, CategoriesAreAddedEditedAndDeletedByTheirRules) {
    // A module without categories: a sibling is a top level; no child, no edit or delete.
    auto empty = open(QStringLiteral("ZZ"));
    EXPECT_FALSE(empty->actCategory_AddChild->isVisible());
    EXPECT_FALSE(empty->actCategory_Edit->isEnabled());
    EXPECT_FALSE(empty->actCategory_Del->isEnabled());
    EXPECT_EQ(empty->cdsMain.recordCount(), 4);  // nothing chosen: every row
    grant(11, QStringLiteral("ZZ_01"));
    empty->actCategory_Add->trigger();
    ASSERT_EQ(empty->cdsCategory.state(), Db::DataSetState::Insert);
    EXPECT_EQ(empty->cdsCategory.field("pid").asInteger(), 0);
    empty->cdsCategory.field("code").setValue("01");
    empty->cdsCategory.field("name").setValue(QStringLiteral("新类"));
    empty->cdsCategory.post();
    EXPECT_EQ(scalar("select pid, orgid, isort, isdel from qd_b_category where iclass = 'ZZ'"),
              "0 | 1 | 0 | False");
    EXPECT_EQ(empty->cdsCategory.recordCount(), 1);
    EXPECT_TRUE(empty->actCategory_AddChild->isVisible());

    auto f = open();
    // A top level with a child cannot go, even with an empty list.
    prompts().answer(Ui::mrOk);
    f->actCategory_Del->trigger();
    EXPECT_EQ(prompts().last().text, QStringLiteral("请先删除该分类下面的子分类"));
    // Nor a category whose list has rows.
    ASSERT_TRUE(f->dbtCategory->selectKey(3));
    prompts().answer(Ui::mrOk);
    f->actCategory_Del->trigger();
    EXPECT_EQ(prompts().last().text, QStringLiteral("请先删除该分类下面的明细数据"));
    prompts().answer(Ui::mrOk);
    f->actDel->trigger();
    EXPECT_TRUE(f->cdsMain.isEmpty());
    prompts().answer(Ui::mrOk);
    f->actCategory_Del->trigger();
    EXPECT_EQ(prompts().last().text, QStringLiteral("是否确认删除选中的分类"));
    EXPECT_TRUE(
        traced().contains("[MSG] update qd_b_xmbmk set isDel = 1 where 1 = 1  and p1 = 3\r\n"
                          "delete from qd_b_category where id = 3"));
    EXPECT_EQ(scalar("select count(*) from qd_b_category where id = 3"), "0");
    EXPECT_EQ(f->cdsCategory.recordCount(), 2);
    EXPECT_EQ(prompts().pending(), 0);
}

TEST_F(CategorisedList, TheQueryPanelAddsTheConditionsOfFilledParameters) {
    auto f = open();
    ASSERT_EQ(f->paramsList().size(), 2u);
    EXPECT_EQ(f->cxgParams->value("unit").toString(), QStringLiteral("盒"));  // its default
    f->cxgParams->setValue("unit", QVariant());
    f->actFindSQL->trigger();
    EXPECT_EQ(f->cdsMain.recordCount(), 4);  // the category is not a condition
    f->cxgParams->setValue("unit", QStringLiteral("张"));
    f->cxgParams->setValue("name", QStringLiteral("片"));
    f->actFindSQL->trigger();
    EXPECT_EQ(codes(f->cdsMain), QStringList({"A0098"}));
    if (!Qd::Test::renderDir().isEmpty()) {
        f->dxTabContainer->setCurrentIndex(1);
        f->resize(900, 420);
        Qd::Test::keepRender(*f, "query-panel.png");
    }
    // The rows are the search's, not the category's.
    EXPECT_EQ(f->dxDockPanel1->caption(), QStringLiteral("当前分类：查询结果  当前记录数：1"));

    // "%" and "_" stay the user's wildcards (quotes: test_injection.cpp).
    f->cxgParams->setValue("unit", QVariant());
    f->cxgParams->setValue("name", QStringLiteral("_片"));
    f->actFindSQL->trigger();
    EXPECT_EQ(codes(f->cdsMain), QStringList({"A0097", "A0098"}));

    // Enter in a field of the panel runs the query; choosing a category shows its rows again.
    f->cxgParams->setValue("name", QStringLiteral("海"));
    QTest::keyClick(f->cxgParams->editor("name"), Qt::Key_Return);
    EXPECT_EQ(codes(f->cdsMain), QStringList({"A0099"}));
    ASSERT_TRUE(f->dbtCategory->selectKey(3));
    EXPECT_EQ(f->dxDockPanel1->caption(), QStringLiteral("当前分类：乙  当前记录数：1"));
    EXPECT_EQ(prompts().pending(), 0);
}

TEST_F(CategorisedList, ARowTypedIntoACategoryIsNotLostWhenAnotherIsChosen) {
    auto f = open();
    f->actAdd->trigger();
    f->cdsMain.field("code").setValue("A0200");
    f->cdsMain.field("name").setValue(QStringLiteral("信封"));
    // 取消: the tree goes back to the category of the row, which stays as typed.
    prompts().answer(Ui::mrCancel);
    f->dbtCategory->selectKey(3);
    EXPECT_EQ(prompts().last().text, QStringLiteral("数据未保存，是否保存？"));
    EXPECT_EQ(f->dbtCategory->currentKey().toInt(), 1);
    EXPECT_EQ(f->category_p1, 1);
    EXPECT_EQ(f->cdsMain.state(), Db::DataSetState::Insert);
    EXPECT_EQ(f->cdsMain.field("code").asString(), QStringLiteral("A0200"));
    // 是: saved under the category it was typed in, then the other category is shown.
    prompts().answer(Ui::mrYes);
    f->dbtCategory->selectKey(3);
    EXPECT_EQ(scalar("select p1 from qd_b_xmbmk where code = 'A0200'"), "1");
    EXPECT_EQ(codes(f->cdsMain), QStringList({"A0050"}));
    // 否: dropped.
    f->actAdd->trigger();
    f->cdsMain.field("code").setValue("A0201");
    prompts().answer(Ui::mrNo);
    f->dbtCategory->selectKey(1);
    EXPECT_EQ(scalar("select count(*) from qd_b_xmbmk where code = 'A0201'"), "0");
    EXPECT_EQ(f->category_p1, 1);
    EXPECT_EQ(prompts().pending(), 0);
}

TEST_F(CategorisedList, TheDoubleClickIsEditAndTheEditorGatesEverySave) {
    Base::registerPropEditForm("XM", [](QWidget* owner, const QString& code, int id, int p1, int p2,
                                        const QJsonObject& info, Db::DataSetState state) {
        return new Base::TBasicPropEditForm(owner, code, id, p1, p2, info, state);
    });
    ASSERT_TRUE(db().execSQL("delete from qd_sys_userrights where rightcode = 'XM_02'"));
    auto f = open();
    const QModelIndex row = f->cxgMainDBTableView1->model()->index(0, 0);
    prompts().answer(Ui::mrOk);
    emit f->cxgMainDBTableView1->doubleClicked(row);
    EXPECT_EQ(prompts().last().text, kRefusal);
    EXPECT_EQ(f->findChild<Base::TBasicPropEditForm*>(), nullptr);

    grant(11, "XM_02");
    emit f->cxgMainDBTableView1->doubleClicked(row);
    auto* editor = f->findChild<Base::TBasicPropEditForm*>();
    ASSERT_NE(editor, nullptr);
    // The right taken away while the editor is open: a change is not saved, by any path.
    editor->cdsMain.edit();
    editor->cdsMain.field("name").setValue(QStringLiteral("改名"));
    ASSERT_TRUE(db().execSQL("delete from qd_sys_userrights where rightcode = 'XM_02'"));
    for (QAction* save : {editor->actSaveEdit, editor->actSaveAndNew}) {
        prompts().answer(Ui::mrOk);
        save->trigger();
        EXPECT_EQ(prompts().last().text, kRefusal) << save->text().toStdString();
    }
    EXPECT_EQ(scalar("select name from qd_b_xmbmk where code = 'A0097'"), QStringLiteral("名片"));
    editor->cdsMain.cancel();
    // Copying is adding: without "_01" nothing is appended.
    ASSERT_TRUE(db().execSQL("delete from qd_sys_userrights where rightcode = 'XM_01'"));
    const int rows = editor->cdsMain.recordCount();
    prompts().answer(Ui::mrOk);
    editor->actCopy->trigger();
    EXPECT_EQ(prompts().last().text, kRefusal);
    EXPECT_EQ(editor->cdsMain.recordCount(), rows);
    // Without the right to change, the record is shown but takes no edit.
    editor->cdsMain.first();
    EXPECT_THROW(editor->cdsMain.edit(), Sys::EAbort);
    EXPECT_EQ(prompts().pending(), 0);
    Base::registerPropEditForm("XM", nullptr);
}

TEST_F(CategorisedList, ADatabaseErrorInAnActionIsShownAndTheWindowStays) {
    // A lookup whose table goes away after the list opened: the reopen after a category
    // change fails.
    ASSERT_TRUE(
        db().execSQL("create table unit_list (id int, code varchar(10), name nvarchar(20))"));
    auto f = open("XM", kDescriptor,
                  R"([{"fieldname": "code", "label": "编号"},
                      {"fieldname": "baseunit", "label": "单位", "type": "lookupcombobox",
                       "join": {"sql": "select id, code, name from unit_list",
                                "keyfieldnames": "code", "listfieldnames": "name",
                                "fields": [{"fieldname": "name", "caption": "名称",
                                            "target": "baseunit"}]}}])");
    ASSERT_TRUE(db().execSQL("drop table unit_list"));
    ASSERT_TRUE(f->dbtCategory->selectKey(3));
    ASSERT_TRUE(db().execSQL("update qd_b_xmbmk set isdel = 1 where p1 = 3"));
    f->actRef->trigger();
    prompts().answer(Ui::mrOk);  // 是否确认删除选中的分类
    prompts().acceptAllMessages(true);
    f->actCategory_Del->trigger();  // deleted; then the lookup cannot be reopened
    prompts().acceptAllMessages(false);
    EXPECT_EQ(scalar("select count(*) from qd_b_category where id = 3"), "0");
    EXPECT_EQ(prompts().last().kind, int(Ui::MsgKind::Error));
    EXPECT_TRUE(prompts().last().text.contains("unit_list")) << prompts().last().text.toStdString();
    // The window goes on working.
    f->actAdd->trigger();
    EXPECT_EQ(f->cdsMain.state(), Db::DataSetState::Insert);
    f->cdsMain.cancel();
}

TEST_F(CategorisedList, SeveralRowsCopyThroughTheBatchDialogWithFreshCodes) {
    auto f = open();
    QItemSelectionModel* selection = f->cxgMainDBTableView1->selectionModel();
    for (int row : {2, 0, 1})
        selection->select(
            f->cxgMainDBTableView1->model()->index(row, 0),
            (row == 2 ? QItemSelectionModel::ClearAndSelect : QItemSelectionModel::Select) |
                QItemSelectionModel::Rows);
    prompts().answerDialog([&](QDialog& d) {
        auto& copy = static_cast<Base::Tdatacopyform&>(d);
        EXPECT_EQ(copy.fromID, R"(["A0099","A0097","A0098"])");
        // The codes go on from the table's highest; the ids are not copied.
        EXPECT_EQ(codes(copy.cdsMain), QStringList({"A0100", "A0101", "A0102"}));
        EXPECT_TRUE(copy.cdsMain.field("id").isNull());
        // Only a first level chosen: every copy moves there with no second level.
        copy.cxLookupComboBox1->setKeyValue("02");
        copy.actedtLevel->trigger();
        EXPECT_EQ(copy.cdsMain.field("p1").asInteger(), 3);
        EXPECT_EQ(copy.cdsMain.field("p2").asInteger(), 0);
        // A code that is taken is named and nothing is saved.
        copy.cdsMain.last();
        copy.cdsMain.edit();
        copy.cdsMain.field("code").setValue("A0050");
        prompts().answer(Ui::mrOk);
        copy.actok->trigger();
        EXPECT_EQ(prompts().last().text, QStringLiteral("编号A0050重复，请重新输入"));
        EXPECT_EQ(copy.cdsMain.field("code").asString(), "A0050");
        copy.cdsMain.edit();
        copy.cdsMain.field("code").setValue("A0102");
        Qd::Test::keepRender(copy, "batch-copy.png");
        copy.actok->trigger();
        return d.result();
    });
    f->actCopy->trigger();
    EXPECT_EQ(
        scalar("select count(*) from qd_b_xmbmk where p1 = 3 and p2 = 0 and code like 'A01%'"),
        "3");
    EXPECT_EQ(prompts().pending(), 0);
}

TEST_F(CategorisedList, ADescriptorItCannotFileByAndRowsWithoutCodesAreNamed) {
    prompts().answer(Ui::mrOk);
    auto f = open(
        "XM", QString(kDescriptor).replace("t1.isdel = 0\",", "t1.isdel = 0 order by t1.name\","));
    EXPECT_TRUE(prompts().last().text.contains(QStringLiteral("“mainsql”须以 where 条件结尾")))
        << prompts().last().text.toStdString();
    EXPECT_FALSE(f->cdsMain.active());

    auto g = open("XM", kDescriptor, R"([{"fieldname": "name", "label": "名称"}])");
    g->cxgMainDBTableView1->selectAll();
    prompts().answer(Ui::mrOk);
    g->actCopy->trigger();
    EXPECT_EQ(prompts().last().text, QStringLiteral("模块“XM”的列表没有“code”列，不能批量复制。"));
    EXPECT_EQ(prompts().pending(), 0);
}

namespace {

// A list that counts what its lookup hooks are told.
class HookedList : public TMultiBasicRibbonForm {
public:
    using TMultiBasicRibbonForm::TMultiBasicRibbonForm;
    int valueChanges = 0;
    void onDbLookupComboBoxEditValueChange(QWidget* sender) override {
        ++valueChanges;
        TMultiBasicRibbonForm::onDbLookupComboBoxEditValueChange(sender);
    }
};

}  // namespace

TEST_F(CategorisedList, LookupsCallTheFormsHooksAndASecondLevelListsTheRecordsChildren) {
    plug.code = "XM";
    plug.name = plug.title = QStringLiteral("项目资料");
    plug.setTexts(kDescriptor, R"([{"fieldname": "code", "label": "编号"},
        {"fieldname": "p1", "label": "一级", "type": "lookupcombobox",
         "join": {"sql": "select id, code, name from qd_b_category where iclass = ':iclass' and pid = 0",
                  "keyfieldnames": "id", "listfieldnames": "name",
                  "fields": [{"fieldname": "name", "caption": "名称", "target": "memo"}]}},
        {"fieldname": "p2", "label": "二级", "type": "lookupcomboboxl2",
         "join": {"sql": "select id, code, name from qd_b_category where pid = :p1",
                  "keyfieldnames": "id", "listfieldnames": "name",
                  "fields": [{"fieldname": "code", "caption": "编号", "target": "itemno"}]}}])",
                  QString());
    std::unique_ptr<HookedList> f(static_cast<HookedList*>(Base::TBaseRibbonForm::create(
        nullptr, [](QWidget* o, Sys::TPlugItem* d) { return new HookedList(o, d); }, &plug)));
    Ui::GridView* view = f->cxgMainDBTableView1;
    Ui::LookupComboBox first(view->columnAt(f->cdsMain.fieldIndex("p1"))->props);
    Ui::LookupComboBox second(view->columnAt(f->cdsMain.fieldIndex("p2"))->props);
    // The second level drops down on the children of the record's first level.
    ASSERT_TRUE(f->cdsMain.locate("code", "A0097"));  // filed under 甲 (1)
    second.showPopup();
    EXPECT_EQ(codes(*second.listSource()), QStringList({"0101"}));
    second.hidePopup();

    // A value chosen reaches the form's own hook, which copies the lookup's fields.
    f->cdsMain.edit();
    first.choose(1);  // 乙
    EXPECT_EQ(f->valueChanges, 1);
    EXPECT_EQ(f->cdsMain.field("memo").asString(), QStringLiteral("乙"));
    f->cdsMain.cancel();
}

TEST_F(CategorisedList, TheNewItemRowFilesARowUnderTheCategoryOnlyWithTheAddRight) {
    auto f = open();
    Ui::GridView* view = f->cxgMainDBTableView1;
    EXPECT_TRUE(view->newItemRowVisible());
    ASSERT_TRUE(f->dbtCategory->selectKey(2));
    ASSERT_TRUE(view->appendNewItem());
    EXPECT_EQ(f->cdsMain.state(), Db::DataSetState::Insert);
    EXPECT_EQ(f->cdsMain.field("p1").asInteger(), 1);
    EXPECT_EQ(f->cdsMain.field("p2").asInteger(), 2);
    f->cdsMain.cancel();
    // The add right taken away: the row adds nothing; a list opened without it has no row.
    ASSERT_TRUE(db().execSQL("delete from qd_sys_userrights where rightcode = 'XM_01'"));
    const int rows = f->cdsMain.recordCount();
    EXPECT_FALSE(view->appendNewItem());
    EXPECT_EQ(f->cdsMain.recordCount(), rows);
    auto g = open();
    EXPECT_FALSE(g->cxgMainDBTableView1->newItemRowVisible());
    EXPECT_EQ(prompts().pending(), 0);
}

// A category's save and delete, and the batch copy, each walked over every file-system step
// failing in turn: what was typed stays to be saved again, and no part of a batch is stored.
TEST_F(CategorisedList, CategoryAndCopySavesSurviveAFailureAtEveryStep) {
    std::unique_ptr<TMultiBasicRibbonForm> f;
    const auto categoryTyped = [&] {
        return f->cdsCategory.field("code").asString() + "/" +
               f->cdsCategory.field("name").asString();
    };
    const auto post = [&] {
        try {
            f->cdsCategory.post();
        } catch (const Sys::EAbort&) {
            return false;
        }
        return f->cdsCategory.changeCount() == 0;
    };
    const Qd::Test::SaveCase add{"category add",
                                 [&] {
                                     f = open();
                                     f->actCategory_Add->trigger();
                                     f->cdsCategory.field("code").setValue("03");
                                     f->cdsCategory.field("name").setValue(QStringLiteral("丙"));
                                 },
                                 post, categoryTyped};
    EXPECT_GT(Qd::Test::walkFaults(db().handle(), prompts(), add), 5);

    // A category with no rows, deleted with its (empty) list in one batch.
    ASSERT_TRUE(
        db().execSQL("insert into qd_b_category(orgid, pid, code, name, iclass) "
                     "values(1, 0, '03', N'丙', 'XM')"));
    const QVariant empty = scalar("select id from qd_b_category where code = '03'").toInt();
    const Qd::Test::SaveCase del{"category delete",
                                 [&] {
                                     f = open();
                                     ASSERT_TRUE(f->dbtCategory->selectKey(empty));
                                 },
                                 [&] {
                                     prompts().answer(Ui::mrOk);
                                     f->actCategory_Del->trigger();
                                     return !f->cdsCategory.locate("id", empty);
                                 },
                                 categoryTyped, 1};
    EXPECT_GT(Qd::Test::walkFaults(db().handle(), prompts(), del), 3);

    // The copy dialog keeps its rows and codes when the save fails, to be confirmed again.
    const Qd::Test::SaveCase copy{
        "batch copy",
        [&] {
            f = open();
            f->cxgMainDBTableView1->selectionModel()->select(
                f->cxgMainDBTableView1->model()->index(0, 0),
                QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
            f->cxgMainDBTableView1->selectionModel()->select(
                f->cxgMainDBTableView1->model()->index(1, 0),
                QItemSelectionModel::Select | QItemSelectionModel::Rows);
        },
        [&] {
            prompts().answerDialog([&](QDialog& d) {
                auto& dialog = static_cast<Base::Tdatacopyform&>(d);
                const QStringList before = codes(dialog.cdsMain);
                dialog.actok->trigger();
                if (d.result() != QDialog::Accepted) {
                    EXPECT_EQ(codes(dialog.cdsMain), before) << "the copies typed are lost";
                    EXPECT_GT(dialog.cdsMain.changeCount(), 0);
                }
                return d.result();
            });
            f->actCopy->trigger();
            return scalar("select count(*) from qd_b_xmbmk where code like 'A01%'") == "2";
        },
        [] { return QString(); },  // typed in the dialog: checked there
        1};
    EXPECT_GT(Qd::Test::walkFaults(db().handle(), prompts(), copy), 3);
}
