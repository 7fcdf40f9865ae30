// The record editor: captions by state, stepping with a pending edit answered OK or Cancel,
// the code check, the extended information kept as JSON, and lookups bound for descendants.
#include <gtest/gtest.h>

#include <QJsonDocument>
#include <QTabWidget>

#include "basic/uBasicPropEditForm.h"
#include "support/CoreTest.h"
#include "support/FaultWalk.h"
#include "ui/editors/Editors.h"

using namespace Qd::Core;
using Base::TBasicPropEditForm;

namespace {

QJsonObject descriptor(bool withExpand) {
    QJsonObject d = QJsonDocument::fromJson(R"({
      "mainsql": "select t1.* from qd_b_khbmk t1 where t1.orgid = :orgid and t1.isdel = 0",
      "sort": "t1.code", "tablename": "qd_b_khbmk", "key": "id", "ignoreFields": [],
      "validation": [],
      "columns": [{"fieldname": "ck_id", "label": "门店", "type": "lookupcombobox",
        "join": {"sql": "select id, code, name from qd_b_ckbmk where orgid = :orgid",
                 "keyfieldnames": "id", "listfieldnames": "name",
                 "fields": [{"fieldname": "code", "caption": "编号", "target": "x"},
                            {"fieldname": "name", "caption": "名称", "width": "120", "target": "y"}]}}]})")
                        .object();
    if (withExpand)
        d.insert("expand",
                 QJsonDocument::fromJson(R"([{"key": "税号"}, {"key": "开户行"}])").array());
    return d;
}

class PropEditor : public Qd::Test::CoreTest {
protected:
    void SetUp() override {
        CoreTest::SetUp();
        ASSERT_TRUE(db().execSQL(
            "insert into qd_b_khbmk(orgid, ck_id, p1, p2, code, name, extend, isdel) values"
            "(1, 5, 7, 0, 'K1', N'甲公司', N'{\"税号\":\"91110\",\"旧键\":\"x\"}', 0), "
            "(1, 5, 7, 0, 'K2', N'乙公司', null, 0), (1, 6, 7, 0, 'K3', N'丙公司', null, 0), "
            "(1, 6, 7, 0, 'K9', N'已删', null, 1)"));
        ASSERT_NO_FATAL_FAILURE(login(QStringLiteral("1001"), 5));
        for (const char* s : {"_01", "_02"})
            grant(11, QStringLiteral("KH") + s);
    }
    std::unique_ptr<TBasicPropEditForm> open(int id, bool withExpand = true,
                                             Db::DataSetState state = Db::DataSetState::Browse,
                                             int p1 = 7) {
        return std::make_unique<TBasicPropEditForm>(nullptr, "KH", id, p1, 0,
                                                    descriptor(withExpand), state);
    }
    int idOf(const char* code) {
        return scalar(QStringLiteral("select id from qd_b_khbmk where code = '%1'").arg(code))
            .toInt();
    }
};

}  // namespace

TEST_F(PropEditor, StepsThroughTheCategoryAndAsksAboutAPendingEdit) {
    auto f = open(idOf("K2"));
    EXPECT_EQ(f->cdsMain.recordCount(), 3);  // the category's records, the deleted one left out
    EXPECT_EQ(f->cdsMain.field("code").asString(), "K2");
    f->cdsMain.edit();
    f->cdsMain.field("name").setValue(QStringLiteral("乙公司二部"));
    EXPECT_EQ(f->windowTitle(), QStringLiteral("详细信息[编辑]"));
    // Cancel drops the edit and stays; the next press moves.
    prompts().answer(Ui::mrCancel);
    f->actPrev->trigger();
    EXPECT_EQ(prompts().last().text, QStringLiteral("数据未保存，是否保存？"));
    EXPECT_EQ(f->cdsMain.field("name").asString(), QStringLiteral("乙公司"));
    EXPECT_EQ(f->cdsMain.field("code").asString(), "K2");
    f->actPrev->trigger();
    EXPECT_EQ(f->cdsMain.field("code").asString(), "K1");
    EXPECT_FALSE(f->actPrev->isEnabled());
    // OK saves the edit (and the help code of the name) before anything else.
    f->cdsMain.edit();
    f->cdsMain.field("name").setValue(QStringLiteral("甲集团"));
    prompts().answer(Ui::mrOk);
    f->actNext->trigger();
    EXPECT_EQ(scalar("select name, helpcode from qd_b_khbmk where code = 'K1'"),
              QStringLiteral("甲集团 | JJT"));

    // 复制 adds a copy to be coded and saved; 取消 drops it after asking.
    f->actCopy->trigger();
    EXPECT_EQ(f->windowTitle(), QStringLiteral("详细信息[新增]"));
    EXPECT_TRUE(f->cdsMain.field("id").isNull());
    EXPECT_EQ(f->findChild<Ui::AlertWindow*>()->text(),
              QStringLiteral("复制成功，请修改编号后保存。"));
    prompts().answer(Ui::mrOk);
    f->actcancel->trigger();
    EXPECT_EQ(prompts().last().text, QStringLiteral("数据未保存，是否确定要取消"));
    EXPECT_EQ(f->cdsMain.recordCount(), 3);

    // 保存后编辑 follows a code changed in the same edit.
    f->cdsMain.edit();
    f->cdsMain.field("code").setValue("K1A");
    f->actSaveEdit->trigger();
    EXPECT_EQ(f->cdsMain.field("code").asString(), "K1A");
    EXPECT_EQ(prompts().pending(), 0);
}

TEST_F(PropEditor, TheCodeCheckCountsDeletedRecordsButNotItsOwn) {
    auto f = open(idOf("K1"));
    EXPECT_TRUE(f->cxDBTextEdit1PropertiesValidate("K1"));
    prompts().answer(Ui::mrOk);
    EXPECT_FALSE(f->cxDBTextEdit1PropertiesValidate("K9"));
    EXPECT_EQ(prompts().last().text, QStringLiteral("编号不能重复"));
    prompts().answer(Ui::mrOk);
    EXPECT_FALSE(f->cxDBTextEdit1PropertiesValidate(QString()));
    EXPECT_EQ(prompts().last().text, QStringLiteral("编号不能为空"));
    // Hostile codes: test_injection.cpp.

    // Opened to add on an empty category: a new record, and its checks before saving.
    auto g = open(0, false, Db::DataSetState::Insert, 99);
    EXPECT_EQ(g->cdsMain.state(), Db::DataSetState::Insert);
    EXPECT_FALSE(g->cxPageControl1->isTabVisible(1));  // no "expand": no 扩展信息 page
    prompts().answer(Ui::mrOk);
    g->actSaveAndNew->trigger();
    EXPECT_EQ(prompts().last().text, QStringLiteral("请输入编号"));
    EXPECT_EQ(prompts().pending(), 0);
}

TEST_F(PropEditor, ExtendedInformationIsKeptAsJsonOfTheGridRows) {
    auto f = open(idOf("K1"));
    ASSERT_TRUE(f->cxPageControl1->isTabVisible(1));
    EXPECT_EQ(f->cxgextend->value("extend0").toString(), "91110");
    EXPECT_TRUE(f->cxgextend->value("extend1").toString().isEmpty());
    // A key no longer in "expand" is not shown and is dropped by the next save.
    f->cxgextend->setValue("extend1", QStringLiteral("工商银行"));
    f->doSave();
    EXPECT_EQ(
        QJsonDocument::fromJson(scalar("select extend from qd_b_khbmk where code = 'K1'").toUtf8())
            .object(),
        QJsonDocument::fromJson(R"({"税号": "91110", "开户行": "工商银行"})").object());
    // Rows without a value are written as empty texts.
    f->actNext->trigger();
    f->doSave();
    EXPECT_EQ(scalar("select extend from qd_b_khbmk where code = 'K2'"),
              QStringLiteral(R"({"开户行":"","税号":""})"));

    // An extend text that is not JSON is named, not shown.
    ASSERT_TRUE(db().execSQL("update qd_b_khbmk set extend = N'税号=1' where code = 'K3'"));
    prompts().answer(Ui::mrOk);
    auto g = open(idOf("K3"));
    EXPECT_TRUE(prompts().last().text.contains(QStringLiteral("“K3”的扩展信息不是 JSON 对象")));
    EXPECT_TRUE(g->cxgextend->value("extend0").toString().isEmpty());
    EXPECT_EQ(prompts().pending(), 0);
}

TEST_F(PropEditor, LookupsAreBoundToTheFieldAndItsJoinTable) {
    auto f = open(idOf("K3"));
    Ui::LookupComboBox combo(Ui::EditorProps{});
    f->BindLookupComboboxProperties(&combo, "ck_id");
    EXPECT_EQ(combo.text(), QStringLiteral("六号店"));
    f->actPrev->trigger();
    EXPECT_EQ(combo.text(), QStringLiteral("五号店"));
    // Choosing in the editor edits the record.
    combo.setKeyValue(6);
    emit combo.editValueChanged();
    EXPECT_EQ(f->cdsMain.state(), Db::DataSetState::Edit);
    EXPECT_EQ(f->cdsMain.field("ck_id").asInteger(), 6);
    EXPECT_THROW(f->BindLookupComboboxProperties(&combo, "nosuch"), Db::DbError);
}

TEST_F(PropEditor, ALookupKeyedByCodeStoresTheIdOfTheChosenRow) {
    QJsonObject info = descriptor(false);
    // The editor keeps the store's code in "memo"; its hint names "ck_id" for the store's id.
    info.insert("columns", QJsonDocument::fromJson(R"([{"fieldname": "memo", "label": "门店",
        "type": "lookupcombobox",
        "join": {"sql": "select id, code, name from qd_b_ckbmk where orgid = :orgid order by code",
                 "keyfieldnames": "code", "listfieldnames": "name",
                 "fields": [{"fieldname": "code", "caption": "编号", "visiable": "0", "target": "x"},
                            {"fieldname": "name", "caption": "名称", "visiable": "False", "target": "y"},
                            {"fieldname": "id", "caption": "ID", "target": "z"}]}}])")
                               .array());
    TBasicPropEditForm f(nullptr, "KH", idOf("K1"), 7, 0, info, Db::DataSetState::Browse);
    Ui::LookupComboBox combo(Ui::EditorProps{});
    f.BindLookupComboboxProperties(&combo, "memo");
    combo.setToolTip("ck_id");
    // "visiable" "0" and "False" leave their entries out of the drop-down.
    ASSERT_EQ(combo.popupView()->model()->columnCount(), 1);
    f.cdsMain.edit();
    combo.choose(1);  // MD06, whose id is not its row number
    EXPECT_EQ(f.cdsMain.field("memo").asString(), "MD06");
    EXPECT_EQ(f.cdsMain.field("ck_id").asInteger(),
              scalar("select id from qd_b_ckbmk where code = 'MD06'").toInt());
    f.cdsMain.cancel();
}

// The editor's save walked over every file-system step failing in turn: the edit stays posted
// in the change log, shown, and the next save sends it whole.
TEST_F(PropEditor, ASaveSurvivesAFailureAtEveryStep) {
    std::unique_ptr<TBasicPropEditForm> f;
    const Qd::Test::SaveCase save{
        "record editor save",
        [&] {
            f = open(idOf("K2"));
            f->cdsMain.edit();
            f->cdsMain.field("name").setValue(QStringLiteral("乙集团"));
        },
        [&] {
            f->actSaveEdit->trigger();
            return f->cdsMain.state() == Db::DataSetState::Browse && f->cdsMain.changeCount() == 0;
        },
        [&] {
            return f->cdsMain.field("code").asString() + "/" + f->cdsMain.field("name").asString();
        }};
    EXPECT_GT(Qd::Test::walkFaults(db().handle(), prompts(), save), 5);
}
