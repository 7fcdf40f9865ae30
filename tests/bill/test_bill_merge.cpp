// The merge of a bill edited here with the one another user saved meanwhile: the conflicts it
// finds, the record sets it leaves (theirs as the originals, what is left to write as the change
// log), and the dialog that lets the user choose.
#include <gtest/gtest.h>

#include <QKeyEvent>
#include <QTest>

#include "bill/BillMerge.h"
#include "bill/uBillMergeForm.h"
#include "db/DataServices.h"
#include "db/DbError.h"
#include "support/CoreTest.h"
#include "support/Render.h"
#include "support/Rows.h"
#include "support/ScriptedPrompter.h"
#include "ui/grid/Grid.h"

using namespace Qd::Core;
using Bill::BillMerge;
using Bill::MergeConflict;
using Bill::MergeSide;
using Db::FieldType;
using Db::RecordSet;
using Qd::Test::S;

namespace {

// One bill as loaded: master 1 (customer 7 张三) and three lines u1..u3.
struct BillSets {
    RecordSet master;
    RecordSet detail;

    BillSets() {
        define(master, "id:I billno:T version:I kh_id:I kh_name:T xmmc:T memo:T total:C ck_name:T");
        define(detail, "uid:T id:I sp_id:I sp_name:T qty:F price:C amount:C note:T");
        add(master, {1, S("D001"), 3, 7, S("张三"), S("项目A"), S("备注"), 30, S("一店")});
        add(detail, {S("u1"), 11, 101, S("螺丝"), 1, 10, 10, QVariant()});
        add(detail, {S("u2"), 12, 102, S("螺母"), 2, 5, 10, S("")});
        add(detail, {S("u3"), 13, 103, S("垫片"), 10, 1, 10, S("x")});
        master.mergeChangeLog();
        detail.mergeChangeLog();
        master.first();
        detail.first();
    }

    // Fields written as "name:type", the type I(nteger), T(ext), F(loat) or C(urrency).
    static void define(RecordSet& rs, const char* fields) {
        const QHash<QString, FieldType> types{{S("I"), FieldType::Integer},
                                              {S("T"), FieldType::Text},
                                              {S("F"), FieldType::Float},
                                              {S("C"), FieldType::Currency}};
        for (const QString& field : S(fields).split(' '))
            rs.addField(field.section(':', 0, 0), types.value(field.section(':', 1)));
        rs.createDataSet();
    }

    static void add(RecordSet& rs, const QVariantList& values) {
        rs.append();
        for (int f = 0; f < values.size(); ++f)
            rs.field(f).setValue(values[f]);
        rs.post();
    }

    // Edits written as "field=value" (master), "u1.field=value" (a line), "-u2" (delete a
    // line) or "+u4" (append one); the value NULL is a NULL.
    void change(const QStringList& edits) {
        for (const QString& e : edits) {
            if (e.startsWith('+')) {
                add(detail, {e.mid(1), 0, 104, S("新品"), 1, 1, 1, S("新")});
                continue;
            }
            const bool line = e.startsWith('-') || e.section('=', 0, 0).contains('.');
            RecordSet& rs = line ? detail : master;
            if (line) {
                ASSERT_TRUE(detail.locate(S("uid"), e.section('.', 0, 0).remove('-')))
                    << e.toStdString();
            }
            if (e.startsWith('-')) {
                detail.deleteRecord();
                continue;
            }
            const QString value = e.section('=', 1);
            rs.edit();
            rs.field(e.section('=', 0, 0).section('.', -1))
                .setValue(value == S("NULL") ? QVariant() : QVariant(value));
            rs.post();
        }
    }
};

Bill::MergeOptions options() {
    Bill::MergeOptions o;
    o.ignored = {S("ck_name")};
    o.units = {{S("kh_id"), S("kh_name")}};
    o.lineUnits = {{S("sp_id"), S("sp_name")}};
    o.derived = {S("total"), S("amount")};
    o.captions = {{S("KH_ID"), S("客户")},
                  {S("memo"), S("备注")},
                  {S("qty"), S("数量")},
                  {S("price"), S("单价")},
                  {S("note"), S("备注")}};
    o.lineCaption = S("sp_name");
    return o;
}

// Every row, its fields joined by "|", NULL as "∅".
QStringList rows(const RecordSet& rs) {
    return Qd::Test::rowTexts(rs, {}, S("|"), S("∅"));
}

QStringList shown(const std::vector<MergeConflict>& conflicts) {
    QStringList out;
    for (const MergeConflict& c : conflicts)
        out << QStringList{c.where, c.what, c.base, c.mine, c.theirs}.join('|');
    return out;
}

// What is left to write over theirs.
QStringList statements(const BillSets& b) {
    QStringList out;
    Db::GetUpDataSQLList(S("m"), S("id"), {}, b.master, out);
    Db::GetUpDataSQLList(S("d"), S("uid"), {}, b.detail, out);
    return out;
}

// Lists are written with ';' between their items.
struct MergeCase {
    const char* name;
    const char* mine;
    const char* theirs;
    const char* conflicts;      // where|what|base|mine|theirs each
    const char* keepingMine;    // the statements left with every choice 我的
    const char* keepingTheirs;  // ... with 对方的 (cases with conflicts)
};

void PrintTo(const MergeCase& c, std::ostream* os) {
    *os << c.name;
}

QStringList list(const char* text) {
    return S(text).split(';', Qt::SkipEmptyParts);
}

#define INSERT_D "insert into d(uid, id, sp_id, sp_name, qty, price, amount, note) values"
const MergeCase kCases[] = {
    // ---- master ----
    {"master field changed here", "memo=我的", "", "", "update m set memo=N'我的' where id=1", ""},
    {"master field changed there", "", "memo=对方", "", "", ""},
    {"master field changed both ways alike", "memo=同", "memo=同", "", "", ""},
    {"master field changed both ways, and a line here", "memo=我的;u1.qty=2", "memo=对方",
     "主单|备注|备注|我的|对方",
     "update m set memo=N'我的' where id=1;update d set qty=2 where uid=N'u1'",
     "update d set qty=2 where uid=N'u1'"},
    {"empty text against NULL is a difference", "memo=", "memo=NULL", "主单|备注|备注||",
     "update m set memo=N'' where id=1", ""},
    {"one side's field and the other's both kept", "memo=我的", "xmmc=项目B", "",
     "update m set memo=N'我的' where id=1", ""},
    {"a lookup key and its name are one unit", "kh_id=8;kh_name=李四", "kh_name=张三丰",
     "主单|客户|张三|李四|张三丰", "update m set kh_id=8, kh_name=N'李四' where id=1", ""},
    {"key, version and ignored columns stay theirs", "version=4;ck_name=二店;id=2", "version=5", "",
     "", ""},
    {"a derived total never conflicts", "total=40", "total=35", "", "", ""},
    // ---- lines ----
    {"line added here", "+u4", "", "", INSERT_D "(N'u4', 0, 104, N'新品', 1, 1, 1, N'新')", ""},
    {"line added there", "", "+u5", "", "", ""},
    {"lines added on both sides: mine after theirs", "+u4", "+u5", "",
     INSERT_D "(N'u4', 0, 104, N'新品', 1, 1, 1, N'新')", ""},
    {"line deleted here, untouched there", "-u2", "", "", "delete from d where uid=N'u2'", ""},
    {"line deleted there, untouched here", "", "-u2", "", "", ""},
    {"line deleted on both sides", "-u2", "-u2", "", "", ""},
    {"line deleted here, changed there", "-u2", "u2.qty=3",
     "明细 2 螺母|删除/修改|数量=2|（已删除）|数量=3", "delete from d where uid=N'u2'", ""},
    {"line changed here, deleted there", "u2.note=改", "-u2",
     "明细 3 螺母|删除/修改|备注=|备注=改|（已删除）",
     INSERT_D "(N'u2', 12, 102, N'螺母', 2, 5, 10, N'改')", ""},
    {"a line's field emptied to NULL here, another line changed there", "u2.sp_name=NULL",
     "u3.note=对方", "", "update d set sp_name=NULL where uid=N'u2'", ""},
    {"line changed in different fields", "u1.qty=2", "u1.note=对方", "",
     "update d set qty=2 where uid=N'u1'", ""},
    {"line field changed both ways alike", "u1.qty=3", "u1.qty=3", "", "", ""},
    {"line field changed both ways", "u1.qty=2", "u1.qty=4", "明细 1 螺丝|数量|1|2|4",
     "update d set qty=2 where uid=N'u1'", ""},
    {"currency compares exactly", "u3.price=1.0001", "u3.price=1.0002",
     "明细 3 垫片|单价|1|1.0001|1.0002", "update d set price=1.0001 where uid=N'u3'", ""},
    {"a derived amount follows no side", "u1.qty=2;u1.amount=20", "u1.price=12;u1.amount=12", "",
     "update d set qty=2 where uid=N'u1'", ""},
    {"a line's lookup unit against a change of its name", "u1.sp_id=105;u1.sp_name=钉子",
     "u1.sp_name=螺丝钉", "明细 1 钉子|sp_id|螺丝|钉子|螺丝钉",
     "update d set sp_id=105, sp_name=N'钉子' where uid=N'u1'", ""},
};
#undef INSERT_D

// A view of the lines: the merge tells it once, at the end, that everything changed.
class CountingView : public Db::RecordSetObserver {
public:
    void endReset() override { ++resets; }
    void rowChanged(int) override { ++rowChanges; }
    void endInsertRow() override { ++rowChanges; }
    int resets = 0;
    int rowChanges = 0;
};

class BillMergeCases : public ::testing::TestWithParam<MergeCase> {};

TEST_P(BillMergeCases, FindsTheConflictsAndLeavesWhatIsLeftToWrite) {
    const MergeCase& c = GetParam();
    for (MergeSide side : {MergeSide::Mine, MergeSide::Theirs}) {
        if (side == MergeSide::Theirs && list(c.conflicts).isEmpty())
            break;
        SCOPED_TRACE(side == MergeSide::Mine ? "keeping mine" : "keeping theirs");
        BillSets mine, theirs;
        ASSERT_NO_FATAL_FAILURE(mine.change(list(c.mine)));
        ASSERT_NO_FATAL_FAILURE(theirs.change(list(c.theirs)));
        theirs.master.mergeChangeLog();
        theirs.detail.mergeChangeLog();
        const QStringList stored = rows(theirs.master) + rows(theirs.detail);
        // A window's defaults for a new line, and a handler that fills the price when a line
        // changes: neither may overwrite merged values (the statements and rows would show it).
        mine.detail.afterInsert = [](RecordSet& rs) {
            rs.field(S("uid")).setValue(S("默认"));
            rs.field(S("note")).setValue(S("默认"));
        };
        int handled = 0;
        mine.detail.onDataChange = [&handled](RecordSet& rs, int) {
            rs.field(S("price")).setValue(99);
            ++handled;
        };
        CountingView view;
        mine.detail.addObserver(&view);

        BillMerge merge(mine.master, mine.detail, std::move(theirs.master),
                        std::move(theirs.detail), options());
        EXPECT_EQ(shown(merge.conflicts()), list(c.conflicts));
        for (MergeConflict& conflict : merge.conflicts())
            conflict.choice = side;
        merge.apply(mine.master, mine.detail);

        EXPECT_EQ(statements(mine),
                  list(side == MergeSide::Mine ? c.keepingMine : c.keepingTheirs));
        EXPECT_EQ(handled, 0);
        EXPECT_TRUE(mine.detail.onDataChange);  // given back
        mine.detail.onDataChange = nullptr;
        EXPECT_EQ(view.resets, 1);
        EXPECT_EQ(view.rowChanges, 0);
        mine.detail.removeObserver(&view);
        // Undoing what is left to write gives theirs back, in theirs' order.
        mine.master.cancelUpdates();
        mine.detail.cancelUpdates();
        EXPECT_EQ(rows(mine.master) + rows(mine.detail), stored);
        EXPECT_THROW(merge.apply(mine.master, mine.detail), Db::DbError);  // theirs were taken
    }
}

INSTANTIATE_TEST_SUITE_P(Bill, BillMergeCases, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<MergeCase>& info) {
                             QString name = QString::fromLatin1(info.param.name);
                             name.replace(QRegularExpression(S("[^A-Za-z0-9]+")), S("_"));
                             return name.toStdString();
                         });

// ---- the record sets around the merge -------------------------------------------------------

// A merge refuses record sets it cannot rebase: lines without a unique key on some side, a
// master not posted, lines of another shape, or a bill removed meanwhile.
TEST(BillMergeRecordSets, RefusesRecordSetsThatDoNotFit) {
    const struct {
        const char* name;
        std::function<void(BillSets& mine, BillSets& theirs)> prepare;
        bool keysFit;
    } cases[] = {
        {"a line of theirs without a key", [](BillSets&, BillSets& t) { t.change({S("u3.uid=")}); },
         false},
        {"a key twice among mine", [](BillSets& m, BillSets&) { m.change({S("u3.uid=u1")}); },
         false},
        {"a line loaded without a key: the base has none",
         [](BillSets& m, BillSets&) {
             m.detail.setLogChanges(false);
             m.change({S("u3.uid=")});
             m.detail.setLogChanges(true);
             m.change({S(".uid=u9")});
         },
         false},
        {"the master not posted: its base is not in the log yet",
         [](BillSets& m, BillSets&) { m.master.edit(); }, true},
        {"their lines of another shape",
         [](BillSets&, BillSets& t) {
             RecordSet other;
             other.addField(S("uid"), FieldType::Text);
             other.createDataSet();
             t.detail = std::move(other);
         },
         true},
        {"the bill removed meanwhile",
         [](BillSets&, BillSets& t) {
             t.master.first();
             t.master.deleteRecord();
         },
         true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        BillSets mine, theirs;
        ASSERT_NO_FATAL_FAILURE(c.prepare(mine, theirs));
        EXPECT_EQ(BillMerge::linesHaveKeys(mine.detail, theirs.detail), c.keysFit);
        EXPECT_THROW(BillMerge(mine.master, mine.detail, std::move(theirs.master),
                               std::move(theirs.detail), options()),
                     Db::DbError);
    }
    BillSets mine, theirs;
    EXPECT_TRUE(BillMerge::linesHaveKeys(mine.detail, theirs.detail));
    EXPECT_FALSE(BillMerge::linesHaveKeys(mine.detail, theirs.detail, S("lineno")));
}

// ---- the dialog -------------------------------------------------------------------------------

class BillMergeDialog : public Qd::Test::LoggedInTest {
protected:
    std::vector<MergeConflict> conflicts{
        {QString(), {S("memo")}, S("主单"), S("备注"), S("旧"), S("第一行\r\n第二行"), S("对方")},
        {S("u1"), {S("qty")}, S("明细 1 螺丝"), S("数量"), S("1"), S("2"), S("4")},
        {S("u2"),
         {S("qty")},
         S("明细 2 螺母"),
         S("删除/修改"),
         S("数量=2"),
         S("（已删除）"),
         S("数量=3")},
    };

    static std::vector<MergeSide> choices(const std::vector<MergeConflict>& list) {
        std::vector<MergeSide> out;
        for (const MergeConflict& c : list)
            out.push_back(c.choice);
        return out;
    }
};

TEST_F(BillMergeDialog, ChoicesReachTheConflictsOnlyOnOk) {
    prompts().answerDialog([](QDialog& d) {
        auto& form = dynamic_cast<Bill::TBillMergeForm&>(d);
        Qd::Test::keepRender(form, S("bill_merge.png"));
        form.actAllTheirs->trigger();
        // The user picks 我的 for the second row, as the cell's drop-down does.
        Db::RecordSetModel* model = form.cxgConflictsView->recordSetModel();
        const QModelIndex cell = model->index(1, form.cdsConflicts.fieldIndex(S("choice")));
        EXPECT_TRUE(model->setData(cell, S("我的")));
        form.actok->trigger();
        return d.result();
    });
    EXPECT_TRUE(Bill::resolveConflicts(nullptr, conflicts));
    EXPECT_EQ(choices(conflicts),
              (std::vector{MergeSide::Theirs, MergeSide::Mine, MergeSide::Theirs}));

    // Cancel and Escape leave the choices as they were.
    const auto before = choices(conflicts);
    prompts().answerDialog([](QDialog& d) {
        auto& form = dynamic_cast<Bill::TBillMergeForm&>(d);
        EXPECT_EQ(form.cdsConflicts.textAt(form.cdsConflicts.rowAt(0), 5), S("对方的"));
        form.actAllMine->trigger();
        form.actcancel->trigger();
        return d.result();
    });
    EXPECT_FALSE(Bill::resolveConflicts(nullptr, conflicts));
    prompts().answerDialog([](QDialog& d) {
        auto& form = dynamic_cast<Bill::TBillMergeForm&>(d);
        form.actAllMine->trigger();
        form.show();
        QTest::keyClick(&form, Qt::Key_Escape);
        return d.result();
    });
    EXPECT_FALSE(Bill::resolveConflicts(nullptr, conflicts));
    EXPECT_EQ(choices(conflicts), before);

    prompts().answerDialog([](QDialog& d) {
        auto& form = dynamic_cast<Bill::TBillMergeForm&>(d);
        form.actAllMine->trigger();
        form.actok->trigger();
        return d.result();
    });
    EXPECT_TRUE(Bill::resolveConflicts(nullptr, conflicts));
    EXPECT_EQ(choices(conflicts), std::vector<MergeSide>(3, MergeSide::Mine));
}

}  // namespace
