// The module pickers on the demo items and customers: categories, picking one and several, the
// quick search, the keyboard, layouts, the select entries and the query panels' button rows.
#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QTest>

#include "basic/uMultiBasicRibbonForm.h"
#include "core/uBaseRibbonForm.h"
#include "db/Trace.h"
#include "report/PickerTest.h"
#include "report/uModuleFilterForm.h"
#include "support/Render.h"
#include "ui/editors/Editors.h"
#include "ui/grid/Grid.h"

using namespace Qd::Core;
using Report::fmMulti;
using Report::fmSingle;
using Report::TModuleFilterForm;

namespace {

QStringList codesOf(const QString& json) {
    QStringList codes;
    for (const QJsonValue& v : QJsonDocument::fromJson(json.toUtf8()).array())
        codes << v.toObject().value(QStringLiteral("code")).toString();
    return codes;
}

class Pickers : public Qd::Test::PickerTest {
protected:
    std::unique_ptr<TModuleFilterForm> picker(Report::TFilterModel model,
                                              const char* name = "项目资料") {
        auto p = std::make_unique<TModuleFilterForm>(nullptr, module(name), model);
        p->show();
        p->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(p.get()));
        return p;
    }
    // Types into the quick-search box and waits for the search to run.
    static void search(TModuleFilterForm& p, const QString& text) {
        p.edtQuickSearch->setText(text);
        ASSERT_TRUE(p.searchPending());
        QTRY_VERIFY(!p.searchPending());
    }
    static QStringList listed(TModuleFilterForm& p) { return column(p.cdsMain, "code"); }
    static void key(QWidget* w, Qt::Key k) { QTest::keyClick(w, k); }
};

TEST_F(Pickers, CategoriesNarrowTheListTopLevelToItsSubtree) {
    auto p = picker(fmMulti);
    // No category chosen yet: every item of the module.
    EXPECT_EQ(p->cdsMain.recordCount(), 12);
    ASSERT_TRUE(p->dbtCategory->selectKey(1));  // 数码快印, top level
    EXPECT_EQ(p->category_p1, 1);
    EXPECT_EQ(p->category_p2, 0);
    EXPECT_EQ(listed(*p), (QStringList{"XM001", "XM002", "XM003", "XM004", "XM011"}));
    EXPECT_EQ(p->categoryCondition(), QStringLiteral(" and p1=1 "));
    p->cdsMain.moveTo(4);                       // XM011, also under 单页折页
    ASSERT_TRUE(p->dbtCategory->selectKey(3));  // 单页折页 under it
    EXPECT_EQ(p->categoryCondition(), QStringLiteral(" and p1=1  and p2=3 "));
    EXPECT_EQ(listed(*p), (QStringList{"XM003", "XM004", "XM011"}));
    EXPECT_EQ(p->cdsMain.field("code").asString(), QStringLiteral("XM011"));  // still on it
    EXPECT_TRUE(traced().contains(QStringLiteral("\r\n and p1=1  and p2=3  order by t1.code")));
    // The search keeps the category.
    search(*p, QStringLiteral("XM00"));
    EXPECT_EQ(listed(*p), (QStringList{"XM003", "XM004"}));
}

TEST_F(Pickers, SinglePickReturnsOneRowAndCloses) {
    auto p = picker(fmSingle);
    EXPECT_FALSE(p->cxgSelected->isVisibleTo(p.get()));
    p->cdsMain.moveTo(4);
    const QModelIndex cell = p->cxgMainView->model()->index(4, p->cdsMain.fieldIndex("code"));
    emit p->cxgMainView->doubleClicked(cell);
    EXPECT_EQ(p->result(), QDialog::Accepted);
    EXPECT_EQ(codesOf(p->FreturnJson), QStringList{"XM005"});
    // The whole row goes back, keyed by field name, with a writable id.
    const QJsonObject row =
        QJsonDocument::fromJson(p->FreturnJson.toUtf8()).array().first().toObject();
    EXPECT_EQ(row.value("name").toString(), QStringLiteral("户外喷绘布"));
    EXPECT_EQ(row.value("id").toInt(), 5);
    EXPECT_FALSE(p->cdsSelected.fieldDef(p->cdsSelected.fieldIndex("id")).readOnly);
}

TEST_F(Pickers, MultiKeepsDuplicatesRemovesByDoubleClickAndOkNeedsARow) {
    auto p = picker(fmMulti);
    EXPECT_TRUE(p->cxgSelected->isVisibleTo(p.get()));
    // 确定 with nothing chosen does nothing.
    p->actok->trigger();
    EXPECT_TRUE(p->FreturnJson.isEmpty());
    EXPECT_EQ(p->result(), 0);
    p->cdsMain.moveTo(1);
    p->pickCurrent();
    p->pickCurrent();
    p->cdsMain.moveTo(7);
    p->pickCurrent();
    EXPECT_EQ(column(p->cdsSelected, "code"), (QStringList{"XM002", "XM002", "XM008"}));
    Qd::Test::keepRender(*p, QStringLiteral("picker_items_multi.png"));
    const QModelIndex first =
        p->cxgSelectedView->model()->index(0, p->cdsSelected.fieldIndex("code"));
    p->cxgSelectedView->setCurrentIndex(first);
    emit p->cxgSelectedView->doubleClicked(first);
    EXPECT_EQ(column(p->cdsSelected, "code"), (QStringList{"XM002", "XM008"}));
    p->actok->trigger();
    EXPECT_EQ(p->result(), QDialog::Accepted);
    EXPECT_EQ(codesOf(p->FreturnJson), (QStringList{"XM002", "XM008"}));
}

TEST_F(Pickers, QuickSearchFindsByCodePinyinAndNameWithTextBoundNotPasted) {
    auto p = picker(fmMulti);
    search(*p, QStringLiteral("XM01"));
    EXPECT_EQ(listed(*p), (QStringList{"XM010", "XM011", "XM012"}));
    search(*p, QStringLiteral("ylb"));  // 易拉宝, by its initials in any case
    EXPECT_EQ(listed(*p), QStringList{"XM008"});
    search(*p, QStringLiteral("画册"));
    EXPECT_EQ(listed(*p), QStringList{"XM009"});
    // Quotes, "%" and "_" are text to find, not SQL or wildcards.
    for (const char* hostile : {"O'Brien", "%", "_", "'; delete from qd_b_xmbmk --"}) {
        search(*p, QString::fromUtf8(hostile));
        EXPECT_EQ(p->cdsMain.recordCount(), 0) << hostile;
    }
    EXPECT_TRUE(prompts.messages().isEmpty()) << prompts.messages().join("\n").toStdString();
    EXPECT_FALSE(traced().contains(QStringLiteral("O'Brien%")));
    EXPECT_EQ(demo->openData("select count(1) from qd_b_xmbmk").field(0).asInteger(), 12);
    search(*p, QString());
    EXPECT_EQ(p->cdsMain.recordCount(), 12);
}

TEST_F(Pickers, EnterInTheSearchBoxPicksTheOneRowFoundOnceInBothModels) {
    for (const auto model : {fmSingle, fmMulti}) {
        auto p = picker(model);
        p->edtQuickSearch->setText(QStringLiteral("XM008"));  // still waiting to search
        key(p->edtQuickSearch, Qt::Key_Return);
        EXPECT_EQ(p->result(), QDialog::Accepted) << model;
        EXPECT_EQ(codesOf(p->FreturnJson), QStringList{"XM008"}) << model;
        EXPECT_EQ(p->cdsSelected.recordCount(), 1) << model;
    }
    // Several rows found: Enter moves to the list instead.
    auto p = picker(fmSingle);
    search(*p, QStringLiteral("XM00"));
    p->edtQuickSearch->setFocus();
    EXPECT_FALSE(p->QuickSearch());
    key(p->edtQuickSearch, Qt::Key_Return);
    EXPECT_EQ(p->result(), 0);
    EXPECT_TRUE(p->cxgMainView->hasFocus());
}

TEST_F(Pickers, KeyboardMovesBetweenBoxListAndChosenRows) {
    auto p = picker(fmMulti);
    p->edtQuickSearch->setFocus();
    key(p->edtQuickSearch, Qt::Key_Down);
    ASSERT_TRUE(p->cxgMainView->hasFocus());
    p->cxgMainView->setCurrentIndex(p->cxgMainView->model()->index(0, 0));
    key(p->cxgMainView, Qt::Key_Return);  // picks; the base form's Enter does not move on
    EXPECT_TRUE(p->cxgMainView->hasFocus());
    EXPECT_EQ(column(p->cdsSelected, "code"), QStringList{"XM001"});
    key(p->cxgMainView, Qt::Key_Down);
    EXPECT_EQ(p->cdsMain.recNo(), 1);
    key(p->cxgMainView, Qt::Key_Up);
    EXPECT_TRUE(p->cxgMainView->hasFocus());  // not yet on the first row
    key(p->cxgMainView, Qt::Key_Up);
    EXPECT_TRUE(p->edtQuickSearch->hasFocus());
    key(p->edtQuickSearch, Qt::Key_Return);
    EXPECT_TRUE(p->cxgMainView->hasFocus());
    p->cxgSelectedView->setFocus();
    p->cxgSelectedView->setCurrentIndex(p->cxgSelectedView->model()->index(0, 0));
    key(p->cxgSelectedView, Qt::Key_Up);
    EXPECT_TRUE(p->cxgMainView->hasFocus());
}

TEST_F(Pickers, LayoutsComeBackPerModuleAndLookupsShowText) {
    {
        auto p = picker(fmMulti);
        Ui::GridColumn* name = p->cxgMainView->columnByName("cxgMainDBTableView1名称");
        ASSERT_NE(name, nullptr);
        name->width = 233;
        p->cxgMainView->applyColumns();
        // The category column shows the category's name, not its id.
        Ui::GridColumn* category = p->cxgMainView->columnByName("cxgMainDBTableView1一级分类");
        ASSERT_NE(category, nullptr);
        EXPECT_EQ(category->fieldName, QStringLiteral("p1_name"));
        p->actcancel->trigger();
    }
    auto again = picker(fmMulti);
    EXPECT_EQ(again->cxgMainView->columnByName("cxgMainDBTableView1名称")->width, 233);
    auto customers = picker(fmMulti, "客户资料");
    EXPECT_NE(customers->cxgMainView->columnByName("cxgMainDBTableView1名称")->width, 233);
    EXPECT_EQ(customers->cxgMainView->columnByName("cxgMainDBTableView1所属门店")->fieldName,
              QStringLiteral("ck_name"));
}

TEST_F(Pickers, BadDescriptorsAreNamedOnce) {
    // A module whose descriptor has no "filter": one error naming it, an empty list.
    prompts.answer(Ui::mrOk);
    auto staff = picker(fmSingle, "员工资料");
    ASSERT_EQ(prompts.messages().size(), 1);
    EXPECT_TRUE(prompts.messages().first().contains(QStringLiteral("员工资料")));
    EXPECT_TRUE(prompts.messages().first().contains(QStringLiteral("filter")));
    EXPECT_FALSE(staff->cdsMain.active());
    staff->actok->trigger();
    EXPECT_EQ(staff->result(), 0);
    // A label given twice is reported; both columns are built.
    auto* item = dynamic_cast<Sys::TPlugItemSingleBasic*>(module("项目资料"));
    item->setTexts(
        item->getplugInfo(),
        R"([{"fieldname": "code", "label": "编号"}, {"fieldname": "itemno", "label": "编号"}])",
        {});
    prompts.answer(Ui::mrOk);
    auto twice = picker(fmSingle);
    ASSERT_EQ(prompts.messages().size(), 2);
    EXPECT_TRUE(prompts.messages().last().contains(QStringLiteral("\"编号\" 重复")));
    EXPECT_EQ(twice->cxgMainView->columns().size(), 2);
}

TEST_F(Pickers, SelectEntriesOfBothListWindows) {
    Report::registerFrameworkPickers();
    // Single: the text seeds the search; the pick comes back.
    prompts.answerDialog([](QDialog& d) {
        auto& p = dynamic_cast<TModuleFilterForm&>(d);
        EXPECT_EQ(p._model, fmSingle);
        EXPECT_EQ(listed(p), QStringList{"XM008"});
        p.pickCurrent();
        return p.result();
    });
    EXPECT_EQ(codesOf(module("项目资料")->select(nullptr, "XM008", R"({"model":"single"})")),
              QStringList{"XM008"});
    // Any other option picks several; cancel gives the empty text.
    prompts.answerDialog([](QDialog& d) {
        auto& p = dynamic_cast<TModuleFilterForm&>(d);
        EXPECT_EQ(p._model, fmMulti);
        EXPECT_EQ(p.cdsMain.recordCount(), 12);
        p.pickCurrent();
        return int(QDialog::Rejected);
    });
    EXPECT_EQ(module("项目资料")->select(nullptr, QString(), "multi"), QString());
    // The flat list's modules have the entry too (员工资料 has no filter: named, empty).
    prompts.acceptAllMessages(true);
    prompts.answerDialog([](QDialog&) { return int(QDialog::Rejected); });
    EXPECT_EQ(module("员工资料")->select(nullptr, QString(), QString()), QString());
}

TEST_F(Pickers, QueryPanelsPickFromTheOtherModule) {
    Report::registerFrameworkPickers();
    auto openList = [&](const char* name) {
        return std::unique_ptr<Base::TMultiBasicRibbonForm>(
            static_cast<Base::TMultiBasicRibbonForm*>(Base::TBaseRibbonForm::create(
                nullptr,
                [](QWidget* o, Sys::TPlugItem* d) { return new Base::TMultiBasicRibbonForm(o, d); },
                module(name))));
    };
    auto pick = [&](const char* code) {
        prompts.answerDialog([code](QDialog& d) {
            auto& p = dynamic_cast<TModuleFilterForm&>(d);
            p.seedSearch(QString::fromLatin1(code));
            p.pickCurrent();
            return p.result();
        });
    };
    auto items = openList("项目资料");
    // Who ordered 易拉宝 (XM008): the customer of order H202611002.
    auto customers = openList("客户资料");
    customers->cxgParams->setValue("createdate", QVariant());
    pick("XM008");
    customers->OnButtonEditClick("xm_code");
    EXPECT_EQ(customers->cxgParams->value("xm_code").toString(), QStringLiteral("XM008"));
    customers->actFindSQL->trigger();
    // The codes of one side of the orders' lines, as the other side filters them, sorted.
    const auto ordered = [&](const char* codes, const char* where) {
        return column(
            demo->openData(QStringLiteral("select distinct %1.code from qd_x_xmzzk_mx d join "
                                          "qd_x_xmzzk m on m.billno = d.billno join qd_b_khbmk k "
                                          "on k.id = m.kh_id join qd_b_xmbmk x on x.id = d.xm_id "
                                          "where %2 order by %1.code")
                               .arg(codes, where)),
            "code");
    };
    const auto sorted = [](QStringList codes) {
        codes.sort();
        return codes;
    };
    EXPECT_EQ(sorted(column(customers->cdsMain, "code")), ordered("k", "x.code = 'XM008'"));
    EXPECT_TRUE(column(customers->cdsMain, "code").contains("K0002"));
    // What K0001 ordered: the lines of D202611001.
    pick("K0001");
    items->OnButtonEditClick("kh_code");
    EXPECT_EQ(items->cxgParams->value("kh_code").toString(), QStringLiteral("K0001"));
    items->actFindSQL->trigger();
    EXPECT_EQ(sorted(column(items->cdsMain, "code")), ordered("x", "k.code = 'K0001'"));
    EXPECT_TRUE(column(items->cdsMain, "code").contains("XM005"));
}

}  // namespace
