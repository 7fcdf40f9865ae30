// The categorised list: the two-level tree and its rules, rows filed by p1/p2, the category
// delete batch, the query panel, the checks before a post, and the batch copy dialog.
#include <gtest/gtest.h>

#include <QFile>
#include <QItemSelectionModel>
#include <QTabWidget>

#include "basic/uDataCopyForm.h"
#include "basic/uMultiBasicRibbonForm.h"
#include "db/Trace.h"
#include "support/CoreTest.h"
#include "sys/uPlugItem.h"
#include "ui/DockPanel.h"
#include "ui/editors/Editors.h"
#include "ui/grid/Grid.h"

using namespace Qd::Core;
using Base::TMultiBasicRibbonForm;

namespace {

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
        ASSERT_TRUE(
            db().execSQL("insert into qd_b_category(orgid, pid, code, name, iclass) values(1, 0, "
                         "'01', N'甲', 'XM')\n"
                         "insert into qd_b_category(orgid, pid, code, name, iclass) values(1, 1, "
                         "'0101', N'甲一', 'XM')\n"
                         "insert into qd_b_category(orgid, pid, code, name, iclass) values(1, 0, "
                         "'02', N'乙', 'XM')\n"
                         "insert into qd_b_category(orgid, pid, code, name, iclass) values(1, 0, "
                         "'09', N'别的', 'KH')\n"
                         "insert into qd_b_xmbmk(orgid, p1, p2, code, name, baseunit) values(1, 1, "
                         "2, 'A0097', N'名片', N'盒')\n"
                         "insert into qd_b_xmbmk(orgid, p1, p2, code, name, baseunit) values(1, 1, "
                         "2, 'A0098', N'卡片', N'张')\n"
                         "insert into qd_b_xmbmk(orgid, p1, p2, code, name, baseunit) values(1, 1, "
                         "0, 'A0099', N'海报', N'张')\n"
                         "insert into qd_b_xmbmk(orgid, p1, p2, code, name, baseunit) values(1, 3, "
                         "0, 'A0050', N'条幅', N'米')"));
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
    static QStringList codes(const Db::RecordSet& rs) {
        QStringList out;
        for (int pos = 0; pos < rs.recordCount(); ++pos)
            out << rs.textAt(rs.rowAt(pos), rs.fieldIndex("code"));
        return out;
    }
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
    EXPECT_EQ(prompts().last().kind, int(Ui::MsgKind::Error));
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
    ASSERT_EQ(f->paramsList.size(), 2u);
    EXPECT_EQ(f->cxgParams->value("unit").toString(), QStringLiteral("盒"));  // its default
    f->cxgParams->setValue("unit", QVariant());
    f->actFindSQL->trigger();
    EXPECT_EQ(f->cdsMain.recordCount(), 4);  // the category is not a condition
    f->cxgParams->setValue("unit", QStringLiteral("张"));
    f->cxgParams->setValue("name", QStringLiteral("片"));
    f->actFindSQL->trigger();
    EXPECT_EQ(codes(f->cdsMain), QStringList({"A0098"}));
    if (const QString keep = qEnvironmentVariable("QD_RENDER_DIR"); !keep.isEmpty()) {
        f->dxTabContainer->setCurrentIndex(1);
        f->resize(900, 420);
        f->show();
        f->grab().save(keep + "/query-panel.png");
    }
    EXPECT_EQ(f->dxDockPanel1->caption(), QStringLiteral("当前分类：甲  当前记录数：1"));
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
        if (const QString keep = qEnvironmentVariable("QD_RENDER_DIR"); !keep.isEmpty()) {
            copy.show();
            copy.grab().save(keep + "/batch-copy.png");
        }
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
