// A store's bill rule and the 单据设置 dialog: the copy from the module's default, the switches,
// the column settings other clients wrote, saving, and what the dialog shows and stores.
#include <gtest/gtest.h>

#include <sqlite3.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>
#include <QTabWidget>
#include <QTest>
#include <QToolButton>

#include "bill/BillDialogs.h"
#include "bill/uCustBillRuleObj.h"
#include "bill/ubilloptionsform.h"
#include "support/CoreTest.h"
#include "support/Rows.h"
#include "support/ScriptedPrompter.h"
#include "ui/editors/Editors.h"
#include "ui/grid/Grid.h"

using namespace Qd::Core;
using Bill::Tbilloptionsform;
using Bill::TCustBillRule;
using Qd::Test::S;

namespace {

// The order descriptor's detail columns: name, quantity, price.
const char kDescriptor[] =
    R"({"title": "订单", "data": {"master": {"tablename": "qd_x_xmzzk"}, "detail": {"columns": [)"
    R"({"fieldname": "gcxmmc", "label": "项目名称"}, {"fieldname": "sl", "label": "数量", "format": "0.##"},)"
    R"({"fieldname": "dj", "label": "单价", "format": "#,##0.00"}]}}})";

// Module XMZZK has a default rule (订单, prefix D, rule 0, serial 4); the user works in store 5.
class BillRule : public Qd::Test::CoreTest {
protected:
    void SetUp() override {
        CoreTest::SetUp();
        ASSERT_NO_FATAL_FAILURE(login(S("1001"), 5));
        db().exec(
            S("insert into qd_sys_billnorule(orgid, billcode, caption, tag, istyle, seekcount)"
              " values(1, 'XMZZK', N'订单', 'D', 0, 4)"));
        prompts().acceptAllMessages(true);
    }

    // Sets a column of the store's row (made first from the default).
    void setStored(const char* column, const QVariant& value) {
        TCustBillRule make(S("XMZZK"));
        db().exec(S("update qd_sys_billnorule_user set %1 = :v where ck_id = 5").arg(S(column)),
                  {{S("v"), value}});
    }

    int storeRows() { return scalar(S("select count(*) from qd_sys_billnorule_user")).toInt(); }

    // Runs the dialog through the prompter; `act` works in it, its result is the dialog's.
    int runOptions(const QString& code, std::function<void(Tbilloptionsform&)> act,
                   const QString& descriptor = S(kDescriptor)) {
        prompts().answerDialog([&](QDialog& d) {
            auto& form = static_cast<Tbilloptionsform&>(d);
            act(form);
            return form.result();
        });
        return Bill::showBillOptions(nullptr, code, descriptor);
    }
};

TEST_F(BillRule, FirstUseCopiesTheDefaultIntoOneStoreRow) {
    {
        TCustBillRule rule(S("XMZZK"));
        EXPECT_EQ(rule.Fcaption, S("订单"));
        EXPECT_EQ(rule.Ftag, S("D"));
        EXPECT_EQ(rule.Fseekcount, 4);
        EXPECT_EQ(rule.Fflag, QString(30, QLatin1Char('0')));
        EXPECT_TRUE(rule.Fgrids.empty());
    }
    TCustBillRule again(S("XMZZK"));
    EXPECT_EQ(storeRows(), 1);
    EXPECT_EQ(scalar(S("select orgid, ck_id, billcode, caption, tag, istyle, seekcount, "
                       "gridconfig is null, flag is null from qd_sys_billnorule_user")),
              S("1 | 5 | XMZZK | 订单 | D | 0 | 4 | 1 | 1"));
}

TEST_F(BillRule, SwitchesReadTheFlagAsStored) {
    setStored("flag", S("01"));
    TCustBillRule shortFlag(S("XMZZK"));
    EXPECT_EQ(shortFlag.Fflag, S("01"));
    EXPECT_FALSE(shortFlag.switchOn(1));
    EXPECT_TRUE(shortFlag.switchOn(TCustBillRule::kAuditAfterSave));
    EXPECT_FALSE(shortFlag.switchOn(TCustBillRule::kAuditAfterPrint));  // past the end
    EXPECT_FALSE(shortFlag.switchOn(0));

    // A flag longer than the switches (a wider column elsewhere; written past the width check).
    TCustBillRule make(S("XMZZK"));
    ASSERT_EQ(sqlite3_exec(db().handle(),
                           "pragma ignore_check_constraints = 1;"
                           "update qd_sys_billnorule_user set flag = "
                           "'00000000000000000000000000000111111';"
                           "pragma ignore_check_constraints = 0",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    TCustBillRule longFlag(S("XMZZK"));
    EXPECT_EQ(longFlag.Fflag.size(), 30);
    EXPECT_TRUE(longFlag.switchOn(30));
    EXPECT_FALSE(longFlag.switchOn(31));
}

TEST_F(BillRule, ColumnSettingsAsOtherClientsWriteThem) {
    setStored("gridconfig",
              S(R"([{"fieldname":"a","display":false,"decimalcount":2,"custtitle":"甲"},)"
                R"({"fieldname":"b","display":"True","decimalcount":"3"},)"
                R"({"fieldname":"c","display":"0","decimalcount":null},)"
                R"({"fieldname":"d","display":"-1"},)"
                R"({"fieldname":"e","display":"不知道"},)"
                R"({"custtitle":"没有字段名"},)"
                R"({"fieldname":"a","display":true,"custtitle":"后来的"}])"));
    TCustBillRule rule(S("XMZZK"));
    EXPECT_EQ(rule.Fgrids.size(), 5u);
    ASSERT_NE(rule.gridConfig(S("a")), nullptr);
    EXPECT_EQ(rule.gridConfig(S("a"))->Fcusttitle, S("后来的"));  // the last wins
    EXPECT_TRUE(rule.gridConfig(S("a"))->Fdisplay);
    EXPECT_TRUE(rule.gridConfig(S("b"))->Fdisplay);
    EXPECT_EQ(rule.gridConfig(S("b"))->Fdecimalcount, 3);
    EXPECT_FALSE(rule.gridConfig(S("c"))->Fdisplay);
    EXPECT_EQ(rule.gridConfig(S("c"))->Fdecimalcount, 0);
    EXPECT_TRUE(rule.gridConfig(S("d"))->Fdisplay);
    EXPECT_TRUE(rule.gridConfig(S("e"))->Fdisplay);
    EXPECT_EQ(rule.gridConfig(S("x")), nullptr);
    EXPECT_TRUE(rule.gridconfigError().isEmpty());

    setStored("gridconfig", S("[{\"fieldname\":"));
    TCustBillRule broken(S("XMZZK"));
    EXPECT_TRUE(broken.Fgrids.empty());
    EXPECT_FALSE(broken.gridconfigError().isEmpty());
    EXPECT_TRUE(traced().contains(S("单据 XMZZK 在门店 5 的列设置无法读取")));

    // The dialog replaces them with the descriptor's, after one warning.
    prompts().clear();
    runOptions(S("XMZZK"), [](Tbilloptionsform& f) { f.actok->trigger(); });
    const QStringList said = prompts().messages();
    ASSERT_EQ(said.size(), 2);
    EXPECT_TRUE(said[0].contains(S("将被替换")));
    TCustBillRule replaced(S("XMZZK"));
    EXPECT_EQ(replaced.Fgrids.size(), 3u);
}

TEST_F(BillRule, SavingWritesOnlyTheChangedColumnsAndNothingIsASuccess) {
    TCustBillRule rule(S("XMZZK"));
    EXPECT_TRUE(rule.save());  // as stored: nothing to write
    rule.Fcaption = S("项目订单");
    rule.Fflag[1] = QLatin1Char('1');
    const qsizetype before = traced().size();
    ASSERT_TRUE(rule.save());
    const QString sql = traced().mid(before);
    EXPECT_TRUE(sql.contains(S("caption")));
    EXPECT_FALSE(sql.contains(S("seekcount")));
    EXPECT_EQ(scalar(S("select caption, flag from qd_sys_billnorule_user")),
              S("项目订单 | 010000000000000000000000000000"));
    EXPECT_TRUE(rule.save());  // saved again unchanged
    EXPECT_EQ(storeRows(), 1);
}

TEST_F(BillRule, AModuleWithoutADefaultGetsItsRowWholeOnSave) {
    TCustBillRule rule(S("SKD"));
    EXPECT_TRUE(rule.loaded());
    EXPECT_FALSE(rule.hasStoreRow());
    EXPECT_FALSE(rule.switchOn(2));
    EXPECT_EQ(storeRows(), 0);
    rule.Fcaption = S("收款单");
    rule.Fflag = S("001");
    ASSERT_TRUE(rule.save());
    EXPECT_TRUE(rule.hasStoreRow());
    EXPECT_EQ(scalar(S("select orgid, ck_id, billcode, caption, flag from qd_sys_billnorule_user")),
              S("1 | 5 | SKD | 收款单 | 001"));
    TCustBillRule reread(S("SKD"));
    EXPECT_TRUE(reread.switchOn(3));
}

TEST_F(BillRule, TwoCopiesMadeAtOnceBothKeepToTheOlder) {
    db().exec(
        S("insert into qd_sys_billnorule_user(orgid, ck_id, billcode, caption, tag) "
          "values(1, 5, 'XMZZK', N'先', 'A')\n"
          "insert into qd_sys_billnorule_user(orgid, ck_id, billcode, caption, tag) "
          "values(1, 5, 'XMZZK', N'后', 'B')\n"
          "update qd_sys_billnorule_user set id = 10 - id"));  // the older gets the higher id
    TCustBillRule rule(S("XMZZK"));
    EXPECT_EQ(rule.Fcaption, S("后"));  // id 8, the lower
    rule.Ftag = S("C");
    ASSERT_TRUE(rule.save());
    EXPECT_EQ(scalar(S("select tag from qd_sys_billnorule_user where id = 8")), S("C"));
    EXPECT_EQ(scalar(S("select tag from qd_sys_billnorule_user where id = 9")), S("A"));
}

TEST_F(BillRule, AnUnreadableRuleSwitchesNothingAndIsNotSaved) {
    setStored("flag", S("111"));
    db().exec(S("drop table qd_sys_billnorule_user"));
    TCustBillRule rule(S("XMZZK"));
    EXPECT_FALSE(rule.loaded());
    EXPECT_FALSE(rule.switchOn(1));
    EXPECT_FALSE(rule.save());
    EXPECT_EQ(Bill::showBillOptions(nullptr, S("XMZZK"), S(kDescriptor)), QDialog::Rejected);
    for (const auto& q : prompts().asked())
        EXPECT_NE(q.what, S("exec"));  // the dialog did not open
}

// ---- the dialog -----------------------------------------------------------------------------

// Ok saves even without an edit (each time); Cancel writes nothing of what was changed.
TEST_F(BillRule, OkSavesEveryTimeAndCancelWritesNothing) {
    for (int round = 0; round < 2; ++round)
        EXPECT_EQ(runOptions(S("XMZZK"), [](Tbilloptionsform& f) { f.actok->trigger(); }),
                  QDialog::Accepted);
    EXPECT_EQ(prompts().messages(), (QStringList{S("保存成功"), S("保存成功")}));
    EXPECT_EQ(storeRows(), 1);

    const QString before = scalar(S("select * from qd_sys_billnorule_user"));
    EXPECT_EQ(runOptions(S("XMZZK"),
                         [](Tbilloptionsform& f) {
                             f.edtCaption->setText(S("改了"));
                             f.switches[1]->setChecked(true);
                             f.actCancel->trigger();
                         }),
              QDialog::Rejected);
    EXPECT_EQ(scalar(S("select * from qd_sys_billnorule_user")), before);

    // Module 1101 has no numbering: the dialog opens on its column page.
    runOptions(S("1101"), [](Tbilloptionsform& f) {
        EXPECT_FALSE(f.pages->isTabVisible(f.pages->indexOf(f.tabGeneral)));
        EXPECT_EQ(f.pages->currentWidget(), f.tabColumns);
    });
}

TEST_F(BillRule, OkStoresTheGeneralPageAndTheSwitches) {
    setStored("flag", S("000111111111111111111111111111"));  // positions 4 to 30 set elsewhere
    runOptions(S("XMZZK"), [](Tbilloptionsform& f) {
        EXPECT_TRUE(f.pages->isTabVisible(f.pages->indexOf(f.tabGeneral)));
        EXPECT_EQ(f.pages->currentWidget(), f.tabGeneral);
        EXPECT_EQ(f.lblSample->text(), S("D17030101AA001"));
        f.edtCaption->setText(S("项目订单"));
        f.edtTag->setText(S("XM"));
        f.cbbRule->setCurrentIndex(1);
        f.edtSeekcount->setValue(8);
        f.switches[2]->setChecked(true);
        f.chkAutowidth->setChecked(true);
        f.actok->trigger();
    });
    EXPECT_EQ(scalar(S("select caption, tag, istyle, seekcount, cast(autowidth as int), flag from "
                       "qd_sys_billnorule_user")),
              S("项目订单 | XM | 1 | 8 | 1 | 001000000000000000000000000000"));
}

TEST_F(BillRule, TheColumnTableHasTypedFieldsAndListsHiddenColumns) {
    setStored("gridconfig", S(R"([{"fieldname":"sl","custtitle":"件数","fieldtype":"小数",)"
                              R"("dispformat":"0.0","decimalcount":1,"display":false}])"));
    runOptions(S("XMZZK"), [](Tbilloptionsform& f) {
        Db::RecordSet& t = f.cdsColumns;
        EXPECT_EQ(t.field(S("display")).type(), Db::FieldType::Boolean);
        EXPECT_EQ(t.field(S("decimalcount")).type(), Db::FieldType::Integer);
        EXPECT_EQ(t.field(S("custtitle")).def().size, 50);
        ASSERT_EQ(t.recordCount(), 3);
        ASSERT_TRUE(t.locate(S("fieldname"), S("sl")));
        EXPECT_EQ(t.field(S("deftitle")).asString(), S("数量"));  // always the label
        EXPECT_EQ(t.field(S("custtitle")).asString(), S("件数"));
        EXPECT_FALSE(t.field(S("display")).asBoolean());
        EXPECT_EQ(t.field(S("decimalcount")).asInteger(), 1);
        EXPECT_FALSE(f.cxgColumnsView->columnByField(S("deftitle"))->editing);
        f.actok->trigger();
    });
    TCustBillRule rule(S("XMZZK"));
    ASSERT_NE(rule.gridConfig(S("sl")), nullptr);
    EXPECT_FALSE(rule.gridConfig(S("sl"))->Fdisplay);
    EXPECT_EQ(rule.gridConfig(S("sl"))->Fdecimalcount, 1);
    ASSERT_NE(rule.gridConfig(S("dj")), nullptr);
    EXPECT_EQ(rule.gridConfig(S("dj"))->Fdispformat, S("#,##0.00"));
    EXPECT_TRUE(scalar(S("select gridconfig from qd_sys_billnorule_user"))
                    .contains(S(R"("display":false)")));
}

TEST_F(BillRule, OkTakesTheValueStillInACellEditor) {
    runOptions(S("XMZZK"), [](Tbilloptionsform& f) {
        f.show();
        Ui::GridView* v = f.cxgColumnsView;
        const QModelIndex cell = v->model()->index(0, f.cdsColumns.fieldIndex(S("custtitle")));
        v->setCurrentIndex(cell);
        v->edit(cell);
        ASSERT_TRUE(v->isEditing());
        const QList<QLineEdit*> editors = v->viewport()->findChildren<QLineEdit*>();
        ASSERT_EQ(editors.size(), 1);
        QLineEdit* editor = editors.front();
        EXPECT_EQ(editor->maxLength(), 50);  // the column's width
        editor->selectAll();
        editor->insert(S("新名称"));  // typed, not yet in the record
        f.actok->trigger();           // by its mnemonic: focus stays in the cell
    });
    TCustBillRule rule(S("XMZZK"));
    ASSERT_NE(rule.gridConfig(S("gcxmmc")), nullptr);
    EXPECT_EQ(rule.gridConfig(S("gcxmmc"))->Fcusttitle, S("新名称"));
}

TEST_F(BillRule, ANumberRuleThisDialogDoesNotOfferIsKept) {
    setStored("istyle", 7);
    runOptions(S("XMZZK"), [](Tbilloptionsform& f) {
        EXPECT_EQ(f.cbbRule->currentIndex(), -1);
        f.actok->trigger();
    });
    EXPECT_EQ(scalar(S("select istyle from qd_sys_billnorule_user")), S("7"));
}

TEST_F(BillRule, ABrokenDescriptorKeepsTheStoredColumnSettings) {
    const QString stored = S(R"([{"fieldname":"sl","custtitle":"件数","display":true}])");
    setStored("gridconfig", stored);
    for (const QString& descriptor : {S("不是 JSON"), S(R"({"data": {"detail": {}}})")}) {
        prompts().clear();
        EXPECT_EQ(runOptions(
                      S("XMZZK"),
                      [](Tbilloptionsform& f) {
                          EXPECT_EQ(f.cdsColumns.recordCount(), 0);
                          f.edtCaption->setText(S("仍可保存"));
                          f.actok->trigger();
                      },
                      descriptor),
                  QDialog::Accepted);
        const QStringList said = prompts().messages();
        ASSERT_EQ(said.size(), 2);
        EXPECT_TRUE(said[0].contains(S("XMZZK")) && said[0].contains(S("data/detail/columns")))
            << said[0].toStdString();
        EXPECT_EQ(scalar(S("select gridconfig, caption from qd_sys_billnorule_user")),
                  stored + S(" | 仍可保存"));
    }
}

// ---- a store's overrides at a glance -------------------------------------------------------

TEST_F(BillRule, OverridesAreMarkedAndResetToTheDefault) {
    setStored("tag", S("Z"));
    setStored("flag", S("01"));
    setStored("gridconfig", S(R"([{"fieldname":"gcxmmc","custtitle":"制作项目","fieldtype":"默认",)"
                              R"("dispformat":"","decimalcount":0,"display":true},)"
                              R"({"fieldname":"dj","custtitle":"单价","fieldtype":"默认",)"
                              R"("dispformat":"#,##0.00","decimalcount":0,"display":false}])"));
    runOptions(S("XMZZK"), [](Tbilloptionsform& f) {
        QStringList marked;
        const QList<QToolButton*> resets = f.tabGeneral->findChildren<QToolButton*>();
        for (QToolButton* b : resets)
            if (!b->isHidden())
                marked << b->toolTip();
        marked.sort();
        EXPECT_EQ(marked, (QStringList{S("默认：D"), S("默认：关")}));
        QStringList cells;
        for (int pos = 0; pos < f.cdsColumns.recordCount(); ++pos)
            for (const char* field :
                 {"custtitle", "fieldtype", "dispformat", "decimalcount", "display"})
                if (f.columnCellOverridden(pos, S(field)))
                    cells << QStringLiteral("%1.%2").arg(pos).arg(S(field));
        EXPECT_EQ(cells, (QStringList{S("0.custtitle"), S("2.display")}));
        auto* delegate = qobject_cast<Ui::ColumnDelegate*>(f.cxgColumnsView->itemDelegate());
        ASSERT_NE(delegate, nullptr);
        const QAbstractItemModel* m = f.cxgColumnsView->model();
        EXPECT_EQ(delegate->cellNote(m->index(0, f.cdsColumns.fieldIndex(S("custtitle")))),
                  S("默认：项目名称"));
        EXPECT_EQ(delegate->cellNote(m->index(2, f.cdsColumns.fieldIndex(S("display")))),
                  S("默认：显示"));
        EXPECT_TRUE(
            delegate->cellNote(m->index(1, f.cdsColumns.fieldIndex(S("custtitle")))).isEmpty());

        for (QToolButton* b : resets)
            if (!b->isHidden())
                b->click();
        for (int pos : {0, 2}) {
            f.cdsColumns.moveTo(pos);
            f.actResetColumn->trigger();
        }
        f.actok->trigger();
    });
    EXPECT_EQ(scalar(S("select tag, flag from qd_sys_billnorule_user")),
              S("D | 000000000000000000000000000000"));
    TCustBillRule rule(S("XMZZK"));
    EXPECT_EQ(rule.gridConfig(S("gcxmmc"))->Fcusttitle, S("项目名称"));
    EXPECT_TRUE(rule.gridConfig(S("dj"))->Fdisplay);
}

}  // namespace
