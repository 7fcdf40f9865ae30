// The template properties dialog: sharing stores, type switching, OK and cancel on the list row.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QSpinBox>

#include "db/RecordSet.h"
#include "print/uRptDocsPropForm.h"
#include "printui/PrintUiTest.h"
#include "support/Render.h"
#include "sys/uAuth.h"

using namespace Qd::Core;
using Fr4::TRptDocsPropForm;
using Sys::TOperateState;

namespace {

// Stores 3, 5, 6 and 7 of organisation 1 (all sort number 0, so listed by id), a deleted store
// and one of another organisation; template 1 "01 标准" of module 1002, shared (owner 2) with
// stores 7 and 3, a deleted store and a store that no longer exists; template 2 private.
class RptDocsProp : public Qd::Test::PrintUiTest {
protected:
    void SetUp() override {
        PrintUiTest::SetUp();
        ASSERT_TRUE(db().execSQL(QStringLiteral(
            "insert into qd_b_ckbmk(orgid, code, name, isdel) values(1, 'MD09', N'已撤店', 1)\n"
            "update qd_b_ckbmk set id = 9 where code = 'MD09'\n"
            "insert into qd_b_ckbmk(orgid, code, name) values(2, 'X01', N'他家店')\n"
            "insert into qd_sys_printdocs(orgid, modulecode, code, docname, owner, ck_id, isort)"
            " values(1, '1002', '01', N'标准', 2, 5, 4)\n"
            "insert into qd_sys_printdocs(orgid, modulecode, code, docname, owner, ck_id, isort)"
            " values(1, '1002', '02', N'简易', 1, 5, 0)\n"
            "insert into qd_sys_printdocs_ck(orgid, rpt_id, ck_id) values(1, 1, 7), (1, 1, 3), "
            "(1, 1, 9), (1, 1, 42)")));
        openList();
    }

    // The template list as the print dialog holds it, with its append handler.
    void openList() {
        ASSERT_TRUE(db().openDataToCDS(
            list,
            QStringLiteral("select id, orgid, modulecode, code, docname, owner, ck_id, isort,"
                           " cast('' as varchar(50)) as ck_ids from qd_sys_printdocs"
                           " where orgid = 1 and modulecode = '1002' order by isort desc, id")));
        list.afterInsert = [](Db::RecordSet& rs) {
            rs.field(QStringLiteral("orgid")).setValue(Sys::sysAuth()->orgId);
            rs.field(QStringLiteral("modulecode")).setValue(QStringLiteral("1002"));
            rs.field(QStringLiteral("ck_id")).setValue(Sys::sysAuth()->storeId);
            rs.field(QStringLiteral("isort")).setValue(0);
        };
    }

    std::unique_ptr<TRptDocsPropForm> open(TOperateState state) {
        return std::make_unique<TRptDocsPropForm>(nullptr, &list, QStringLiteral("1002"), state);
    }

    // Opens template `id` for editing.
    std::unique_ptr<TRptDocsPropForm> edit(int id) {
        EXPECT_TRUE(list.locate(QStringLiteral("id"), id));
        return open(TOperateState::edit);
    }

    static QStringList storeTexts(const TRptDocsPropForm& f) {
        QStringList out;
        for (int i = 0; i < f.lstStores->count(); ++i)
            out << f.lstStores->item(i)->text();
        return out;
    }

    QString value(const char* field) { return list.field(QString::fromLatin1(field)).asString(); }

    Db::RecordSet list;
};

TEST_F(RptDocsProp, StoreListHoldsLiveStoresOfTheOrganisationBySortNumberThenId) {
    // Given store 6 sorted first
    ASSERT_TRUE(db().execSQL(QStringLiteral("update qd_b_ckbmk set isort = 9 where id = 6")));

    auto f = open(TOperateState::add);

    EXPECT_EQ(storeTexts(*f),
              QStringList({QStringLiteral("MD06 - 六号店"), QStringLiteral("MD03 - 三号店"),
                           QStringLiteral("MD05 - 五号店"), QStringLiteral("MD07 - 七号店")}));
    EXPECT_EQ(f->getck_ids(), QString());

    // Checking all of them gives the ids in list order, not id order.
    Qd::Test::shareWith(*f, {3, 5, 6, 7});
    EXPECT_EQ(f->getck_ids(), QStringLiteral("6,3,5,7"));
}

TEST_F(RptDocsProp, AddAppendsARowThatOkFillsWithoutPosting) {
    const int before = list.recordCount();
    auto f = open(TOperateState::add);

    // The appended row is current, filled by the list's own handler.
    ASSERT_EQ(list.state(), Db::DataSetState::Insert);
    EXPECT_EQ(list.recordCount(), before + 1);
    EXPECT_EQ(f->cbbType->currentIndex(), 0);

    f->edtCode->setText(QStringLiteral("03"));
    f->edtDocName->setText(QStringLiteral("带'引号"));
    f->edtSort->setValue(12);
    f->cbbType->setCurrentIndex(2);
    Qd::Test::shareWith(*f, {7, 3});
    prompts().answerDialog([](QDialog& d) {
        static_cast<TRptDocsPropForm&>(d).actOK->trigger();
        return d.result();
    });
    EXPECT_EQ(Ui::prompter().exec(*f), QDialog::Accepted);

    EXPECT_EQ(list.state(), Db::DataSetState::Insert);
    EXPECT_EQ(value("code"), QStringLiteral("03"));
    EXPECT_EQ(value("docname"), QStringLiteral("带'引号"));
    EXPECT_EQ(value("isort"), QStringLiteral("12"));
    EXPECT_EQ(value("owner"), QStringLiteral("2"));
    EXPECT_EQ(value("ck_ids"), QStringLiteral("3,7"));
    EXPECT_EQ(scalar(QStringLiteral("select count(*) from qd_sys_printdocs")), QStringLiteral("2"));
}

TEST_F(RptDocsProp, EditOfASharedTemplateChecksExactlyItsListedStores) {
    auto f = edit(1);

    EXPECT_EQ(list.state(), Db::DataSetState::Edit);
    EXPECT_EQ(f->edtCode->text(), QStringLiteral("01"));
    EXPECT_EQ(f->edtDocName->text(), QStringLiteral("标准"));
    EXPECT_EQ(f->edtSort->value(), 4);
    EXPECT_EQ(f->cbbType->currentIndex(), 2);
    // Shares with the deleted store 9 and the vanished store 42 are skipped.
    QList<Qt::CheckState> states;
    for (int i = 0; i < f->lstStores->count(); ++i)
        states << f->lstStores->item(i)->checkState();
    EXPECT_EQ(states,
              QList<Qt::CheckState>({Qt::Checked, Qt::Unchecked, Qt::Unchecked, Qt::Checked}));
    EXPECT_EQ(f->getck_ids(), QStringLiteral("3,7"));
}

TEST_F(RptDocsProp, TheStoreListShowsForSpecifiedStoresAndItsHiddenChecksAreKept) {
    auto added = open(TOperateState::add);
    EXPECT_TRUE(added->lstStores->isHidden());
    added->actCancel->trigger();

    auto f = edit(2);  // private
    EXPECT_EQ(f->cbbType->currentIndex(), 1);
    EXPECT_TRUE(f->lstStores->isHidden());
    f->cbbType->setCurrentIndex(2);
    EXPECT_FALSE(f->lstStores->isHidden());
    f->cbbType->setCurrentIndex(0);
    EXPECT_TRUE(f->lstStores->isHidden());
    f->actCancel->trigger();

    // Switching a shared template away from its stores keeps the checks it no longer shows.
    auto g = edit(1);
    g->cbbType->setCurrentIndex(0);
    ASSERT_TRUE(g->lstStores->isHidden());
    g->actOK->trigger();
    EXPECT_EQ(g->result(), QDialog::Accepted);
    EXPECT_EQ(value("owner"), QStringLiteral("0"));
    EXPECT_EQ(value("ck_ids"), QStringLiteral("3,7"));
    // Not posted: the row is still being edited and the table unchanged.
    EXPECT_EQ(list.state(), Db::DataSetState::Edit);
    EXPECT_EQ(scalar(QStringLiteral("select owner from qd_sys_printdocs where id = 1")),
              QStringLiteral("2"));
    list.cancel();

    // No store checked gives empty ids.
    ASSERT_TRUE(db().execSQL(QStringLiteral("delete from qd_sys_printdocs_ck")));
    auto h = edit(1);
    EXPECT_EQ(h->cbbType->currentIndex(), 2);
    h->actOK->trigger();
    EXPECT_EQ(value("owner"), QStringLiteral("2"));
    EXPECT_TRUE(value("ck_ids").isEmpty());
}

TEST_F(RptDocsProp, ASharingValueBeyondTheListIsKeptUnlessATypeIsChosen) {
    ASSERT_TRUE(db().execSQL(QStringLiteral("update qd_sys_printdocs set owner = 3 where id = 2")));
    openList();
    auto f = edit(2);
    EXPECT_EQ(f->cbbType->currentIndex(), -1);
    EXPECT_EQ(f->cbbType->placeholderText(), QStringLiteral("其他（3）"));
    EXPECT_TRUE(f->lstStores->isHidden());
    Qd::Test::keepRender(*f, "template-properties-other.png");
    f->edtDocName->setText(QStringLiteral("简易二"));
    f->actOK->trigger();
    EXPECT_EQ(value("owner"), QStringLiteral("3"));
    EXPECT_EQ(value("docname"), QStringLiteral("简易二"));
    list.cancel();

    // A type chosen is written as any other.
    auto g = edit(2);
    g->cbbType->setCurrentIndex(1);
    g->actOK->trigger();
    EXPECT_EQ(value("owner"), QStringLiteral("1"));
}

TEST_F(RptDocsProp, CancelRestoresTheList) {
    const int before = list.recordCount();

    // After adding: no new row, and the cursor back in browse state.
    auto f = open(TOperateState::add);
    f->edtCode->setText(QStringLiteral("09"));
    f->actCancel->trigger();
    EXPECT_EQ(f->result(), QDialog::Rejected);
    EXPECT_EQ(list.state(), Db::DataSetState::Browse);
    EXPECT_EQ(list.recordCount(), before);

    // After editing: the stored values are back, even for values OK would have written.
    auto g = edit(1);
    g->edtCode->setText(QStringLiteral("99"));
    g->cbbType->setCurrentIndex(0);
    g->actCancel->trigger();
    EXPECT_EQ(list.state(), Db::DataSetState::Browse);
    EXPECT_EQ(value("code"), QStringLiteral("01"));
    EXPECT_EQ(value("owner"), QStringLiteral("2"));

    // Escape or the close box cancels the same way.
    auto h = open(TOperateState::add);
    h->reject();
    EXPECT_EQ(h->result(), QDialog::Rejected);
    EXPECT_EQ(list.recordCount(), before);
}

}  // namespace
