// The single-table list driven through its actions with a scripted prompter: rights, the
// validation rules, saving from the change log, soft delete, copy, help code, export and print,
// and a descriptor that lacks what the list needs.
#include <gtest/gtest.h>

#include <sqlite3.h>

#include <QCoreApplication>
#include <QFile>
#include <QItemSelectionModel>

#include "basic/uSingleBasicRibbonForm.h"
#include "db/ChunkedLoad.h"
#include "db/Trace.h"
#include "print/uPrinterForm.h"
#include "support/CoreTest.h"
#include "support/FaultWalk.h"
#include "support/Render.h"
#include "support/Rows.h"
#include "sys/uPlugItem.h"
#include "ui/DockPanel.h"
#include "ui/editors/Editors.h"
#include "ui/grid/Grid.h"

using namespace Qd::Core;
using Base::TSingleBasicRibbonForm;

namespace {

const char* kDescriptor = R"({
  "mainsql": "select t1.*, c.name as ck_name from qd_b_ygbmk t1 left join qd_b_ckbmk c on t1.ck_id = c.id where t1.orgid = :orgid and t1.isdel = 0",
  "sort": "t1.code desc",
  "tablename": "qd_b_ygbmk", "key": "id", "ignoreFields": ["ck_name", "ISDEL"],
  "validation": [
    {"datatype": "required", "ele": "code", "errormsg": "请输入编号"},
    {"datatype": "required", "ele": "name", "errormsg": "请输入姓名"},
    {"datatype": "ignored", "ele": "memo", "errormsg": "never"},
    {"datatype": "unique", "ele": "code", "errormsg": "编号已存在",
     "checksql": "select id from qd_b_ygbmk where orgid = '%s' and code = '%s' and id <> %d"}]})";

const char* kColumns = R"([
  {"fieldname": "code", "label": "编号", "width": "70"},
  {"fieldname": "name", "label": "姓名", "width": "80"},
  {"fieldname": "helpcode", "label": "助记码", "width": "70"},
  {"fieldname": "isdel", "label": "停用", "width": "50", "type": "check"},
  {"fieldname": "id", "label": "ID", "width": "40", "visiable": "false"}])";

class SingleList : public Qd::Test::CoreTest {
protected:
    void SetUp() override {
        CoreTest::SetUp();
        ASSERT_TRUE(db().execSQL(
            "insert into qd_b_ygbmk(orgid, ck_id, code, name) values(1, 5, 'A01', N'张三')\n"
            "insert into qd_b_ygbmk(orgid, ck_id, code, name) values(1, 6, 'A02', N'李四')\n"
            "insert into qd_b_ygbmk(orgid, ck_id, code, name) values(1, 5, 'A03', N'王五')\n"
            "insert into qd_b_ygbmk(orgid, ck_id, code, name) values(2, 5, 'B01', N'别家')"));
        ASSERT_NO_FATAL_FAILURE(login(QStringLiteral("1001"), 5));
    }

    std::unique_ptr<TSingleBasicRibbonForm> open(const QString& descriptor = kDescriptor,
                                                 const QString& columns = kColumns) {
        plug.code = QStringLiteral("YG");
        plug.name = plug.title = QStringLiteral("员工资料");
        plug.setTexts(descriptor, columns, QString());
        return std::unique_ptr<TSingleBasicRibbonForm>(
            static_cast<TSingleBasicRibbonForm*>(Base::TBaseRibbonForm::create(
                nullptr,
                [](QWidget* o, Sys::TPlugItem* d) { return new TSingleBasicRibbonForm(o, d); },
                &plug)));
    }
    void grantAll(const QStringList& suffixes) {
        for (const QString& s : suffixes)
            grant(11, QStringLiteral("YG") + s);
    }
    static QStringList codes(TSingleBasicRibbonForm& f) {
        return Qd::Test::rowTexts(f.cdsMain, {"code"});
    }
    // Posts the row as the grid does when the row is left.
    static void post(TSingleBasicRibbonForm& f) { f.cxgMainDBTableView1->model()->submit(); }
    void typeRow(TSingleBasicRibbonForm& f, const QString& code, const QString& name) {
        f.cdsMain.field("code").setValue(code);
        f.cdsMain.field("name").setValue(name);
    }

    Sys::TPlugItemSingleBasic plug;
};

}  // namespace

TEST_F(SingleList, LoadsSortedAndRightsGateEveryAction) {
    grantAll({"_01"});  // add (and copy), not edit
    auto f = open();
    // "sort" appended to "mainsql"; another organisation's rows are not there.
    EXPECT_EQ(codes(*f), QStringList({"Y01", "A03", "A02", "A01"}));
    EXPECT_TRUE(traced().contains("t1.isdel = 0 order by t1.code desc"));

    // Saved rows cannot be edited in the grid or through 修改; a new row can be typed in.
    const QModelIndex saved = f->cxgMainDBTableView1->model()->index(1, 0);
    f->cxgMainDBTableView1->edit(saved);
    EXPECT_FALSE(f->cxgMainDBTableView1->isEditing());
    prompts().answer(Ui::mrOk);
    f->actEdit->trigger();
    EXPECT_EQ(prompts().last().text,
              QStringLiteral("对不起，您没有该功能的操作权限，访问被拒绝。"));
    EXPECT_EQ(f->cdsMain.state(), Db::DataSetState::Browse);
    f->actAdd->trigger();
    EXPECT_EQ(f->cdsMain.state(), Db::DataSetState::Insert);
    EXPECT_EQ(f->cxgMainDBTableView1->currentIndex().row(), f->cdsMain.recNo());
    f->cxgMainDBTableView1->edit(f->cxgMainDBTableView1->currentIndex());
    EXPECT_TRUE(f->cxgMainDBTableView1->isEditing());
    f->cdsMain.cancel();
    // Copy goes by the add right; the recycle bin, export and print by their own.
    f->actCopy->trigger();
    EXPECT_EQ(f->cdsMain.state(), Db::DataSetState::Insert);
    f->cdsMain.cancel();
    for (QAction* refused : {f->actRecycle, f->actExport, f->actPrint, f->actDel}) {
        prompts().answer(Ui::mrOk);
        refused->trigger();
        EXPECT_EQ(prompts().last().title, QStringLiteral("用户授权"))
            << refused->text().toStdString();
    }
    EXPECT_EQ(prompts().pending(), 0);
}

TEST_F(SingleList, RulesRefuseAPostAndKeepTheRowUntilItSaves) {
    grantAll({"_01", "_02"});
    auto f = open();
    f->actAdd->trigger();
    // A field holding a space passes "required"; an empty one fails.
    typeRow(*f, QString(), QStringLiteral(" "));
    prompts().answer(Ui::mrOk);
    post(*f);
    EXPECT_EQ(prompts().last().text, QStringLiteral("请输入编号"));
    EXPECT_EQ(f->cdsMain.state(), Db::DataSetState::Insert);
    // A code another record has.
    typeRow(*f, QStringLiteral("A02"), QStringLiteral("张三丰"));
    prompts().answer(Ui::mrOk);
    post(*f);
    EXPECT_EQ(prompts().last().text, QStringLiteral("编号已存在"));
    EXPECT_EQ(f->cdsMain.state(), Db::DataSetState::Insert);
    EXPECT_EQ(f->cdsMain.field("name").asString(), QStringLiteral("张三丰"));
    // Corrected: saved with the organisation and the help code of the name, and the list
    // comes back on the new row.
    f->cdsMain.field("code").setValue(QStringLiteral("A09"));
    post(*f);
    EXPECT_EQ(f->cdsMain.state(), Db::DataSetState::Browse);
    EXPECT_EQ(scalar("select orgid, name, helpcode from qd_b_ygbmk where code = 'A09'"),
              QStringLiteral("1 | 张三丰 | ZSF"));
    EXPECT_EQ(f->cdsMain.field("code").asString(), QStringLiteral("A09"));
    EXPECT_EQ(f->cdsMain.changeCount(), 0);

    // Editing a saved row and keeping its code passes the rule that excludes its own id;
    // clearing the name keeps the help code.
    ASSERT_TRUE(f->cdsMain.locate("code", "A01"));
    f->actEdit->trigger();
    f->cdsMain.field("helpcode").setValue(QStringLiteral("ZS"));
    f->cdsMain.field("name").setValue(QString());
    EXPECT_EQ(f->cdsMain.field("helpcode").asString(), QStringLiteral("ZS"));
    f->cdsMain.field("name").setValue(QStringLiteral("张珊"));
    post(*f);
    EXPECT_EQ(scalar("select name, helpcode from qd_b_ygbmk where code = 'A01'"),
              QStringLiteral("张珊 | ZS"));
    EXPECT_EQ(prompts().pending(), 0);
}

TEST_F(SingleList, AFailedSaveKeepsWhatWasTypedAndIsDelIsAlwaysWritten) {
    grantAll({"_01", "_02", "_03"});
    auto f = open();
    // A trigger stands in for a server that refuses the update.
    sqlite3_exec(db().handle(),
                 "create trigger refuse before update on qd_b_ygbmk begin "
                 "select raise(abort, '记录被锁定'); end",
                 nullptr, nullptr, nullptr);
    ASSERT_TRUE(f->cdsMain.locate("code", "A02"));
    f->actEdit->trigger();
    f->cdsMain.field("name").setValue(QStringLiteral("李四海"));
    f->cdsMain.field("isdel").setValue(true);
    prompts().answer(Ui::mrOk);  // the data services' error
    post(*f);
    EXPECT_TRUE(prompts().last().text.contains(QStringLiteral("记录被锁定")));
    EXPECT_EQ(f->cdsMain.state(), Db::DataSetState::Edit);
    EXPECT_EQ(f->cdsMain.field("name").asString(), QStringLiteral("李四海"));
    EXPECT_EQ(f->cdsMain.changeCount(), 1);

    sqlite3_exec(db().handle(), "drop trigger refuse", nullptr, nullptr, nullptr);
    post(*f);
    // "ISDEL" among the ignored fields: the flag is written all the same.
    EXPECT_EQ(scalar("select name, isdel from qd_b_ygbmk where code = 'A02'"),
              QStringLiteral("李四海 | True"));
    EXPECT_FALSE(codes(*f).contains("A02"));
}

TEST_F(SingleList, DeleteCopyAndAStatementThatCannotRun) {
    grantAll({"_01", "_02", "_03"});
    auto f = open();
    // Three rows selected: one statement, the ids in selection order.
    QItemSelectionModel* selection = f->cxgMainDBTableView1->selectionModel();
    QAbstractItemModel* model = f->cxgMainDBTableView1->model();
    QStringList ids;
    for (int row : {3, 1, 2}) {
        selection->select(model->index(row, 0), (ids.isEmpty() ? QItemSelectionModel::ClearAndSelect
                                                               : QItemSelectionModel::Select) |
                                                    QItemSelectionModel::Rows);
        ids << f->cdsMain.textAt(f->cdsMain.rowAt(row), f->cdsMain.fieldIndex("id"));
    }
    prompts().answer(Ui::mrCancel);
    f->actDel->trigger();
    EXPECT_EQ(prompts().last().text, QStringLiteral("是否确认删除选中的数据？"));
    EXPECT_EQ(codes(*f).size(), 4);
    prompts().answer(Ui::mrOk);
    f->actDel->trigger();
    EXPECT_TRUE(
        traced().contains("update qd_b_ygbmk set isDel = 1 where id in(" + ids.join(',') + ")"));
    EXPECT_EQ(codes(*f), QStringList({"Y01"}));

    // Copy: a new row with every value but the id, the code cell focused and the notice.
    f->actCopy->trigger();
    EXPECT_EQ(f->cdsMain.state(), Db::DataSetState::Insert);
    EXPECT_TRUE(f->cdsMain.field("id").isNull());
    EXPECT_EQ(f->cdsMain.field("name").asString(), QStringLiteral("王经理"));
    EXPECT_EQ(f->cxgMainDBTableView1->currentIndex().column(), f->cdsMain.fieldIndex("code"));
    auto* notice = f->findChild<Ui::AlertWindow*>();
    ASSERT_NE(notice, nullptr);
    EXPECT_EQ(notice->text(), QStringLiteral("复制成功，请修改编号后保存。"));
    f->cdsMain.cancel();

    // Without a code column: copied silently. A "unique" statement that cannot run is
    // reported and the post refused.
    auto g = open(QString(kDescriptor).replace("code = '%s'", "nosuch = '%s'"),
                  R"([{"fieldname": "name", "label": "姓名"}])");
    g->actCopy->trigger();
    EXPECT_EQ(g->findChild<Ui::AlertWindow*>(), nullptr);
    g->cdsMain.field("code").setValue(QStringLiteral("C01"));
    prompts().answer(Ui::mrOk);
    post(*g);
    EXPECT_EQ(prompts().last().kind, int(Ui::MsgKind::Error));
    EXPECT_EQ(g->cdsMain.state(), Db::DataSetState::Insert);
    EXPECT_EQ(scalar("select count(*) from qd_b_ygbmk where code = 'C01'"), "0");
    g->cdsMain.cancel();
    EXPECT_EQ(prompts().pending(), 0);
}

// The print template window, for the module, with the list as dataset "列表".
TEST_F(SingleList, PrintTheList) {
    grantAll({"_06"});
    auto f = open();
    QStringList names;
    prompts().answerDialog([&](QDialog& d) {
        auto& printer = static_cast<Fr4::TPrinterForm&>(d);
        EXPECT_EQ(printer.FModuleCode, QStringLiteral("YG"));
        for (int i = 0; i < printer.Fdatasets->Count(); ++i)
            names << printer.Fdatasets->GetItem(i).FuserName;
        return int(QDialog::Rejected);
    });
    f->actPrint->trigger();
    EXPECT_EQ(names, QStringList({QStringLiteral("列表")}));
}

// A descriptor that lacks what the list needs, or whose statement fails, is named once; the
// actions then find nothing to work on and say nothing.
TEST_F(SingleList, AnIncompleteDescriptorOrAFailedStatementIsNamedOnceAndNothingRuns) {
    grantAll({"_01", "_02", "_03"});
    const struct {
        QString descriptor, message;
    } cases[] = {
        {R"({"mainsql": "select * from qd_b_ygbmk", "key": "id", "validation": {}})",
         QStringLiteral("模块“员工资料”（YG）的描述不完整：缺少“tablename”；缺少“ignoreFields”；"
                        "“validation”应为 JSON 数组。列表无法打开。")},
        {QString(kDescriptor).replace("from qd_b_ygbmk t1", "from nosuch t1"),
         QStringLiteral("nosuch")},
    };
    for (const auto& c : cases) {
        prompts().clear();
        prompts().answer(Ui::mrOk);
        auto f = open(c.descriptor);
        EXPECT_TRUE(prompts().last().text.contains(c.message))
            << prompts().last().text.toStdString();
        for (QAction* a : {f->actAdd, f->actEdit, f->actDel, f->actCopy})
            a->trigger();
        EXPECT_FALSE(f->cdsMain.active());
        EXPECT_EQ(prompts().pending(), 0);
        EXPECT_EQ(prompts().asked().size(), 1u);
    }
}

const QString kRefusal = QStringLiteral("对不起，您没有该功能的操作权限，访问被拒绝。");

TEST_F(SingleList, RightsAreThoseOfTheMomentOfTheChange) {
    grantAll({"_01", "_02"});
    auto f = open();
    // The edit right taken away after the list opened: the row being edited is not saved.
    ASSERT_TRUE(f->cdsMain.locate("code", "A02"));
    f->actEdit->trigger();
    f->cdsMain.field("name").setValue(QStringLiteral("李四海"));
    ASSERT_TRUE(db().execSQL("delete from qd_sys_userrights where rightcode = 'YG_02'"));
    prompts().answer(Ui::mrOk);
    post(*f);
    EXPECT_EQ(prompts().last().text, kRefusal);
    EXPECT_EQ(scalar("select name from qd_b_ygbmk where code = 'A02'"), QStringLiteral("李四"));
    f->cdsMain.cancel();
    // Nor does a cell of a saved row take a value any more.
    QAbstractItemModel* model = f->cxgMainDBTableView1->model();
    const int row = f->cdsMain.recNo();
    EXPECT_FALSE(model->setData(model->index(row, f->cdsMain.fieldIndex("name")), "X"));
    EXPECT_EQ(f->cdsMain.state(), Db::DataSetState::Browse);

    // 停用 is the soft-delete flag: setting it through an edit is deleting, which takes "_03".
    grantAll({"_02"});
    f->actEdit->trigger();
    f->cdsMain.field("isdel").setValue(true);
    prompts().answer(Ui::mrOk);
    post(*f);
    EXPECT_EQ(prompts().last().text, kRefusal);
    EXPECT_EQ(scalar("select isdel from qd_b_ygbmk where code = 'A02'"), QStringLiteral("False"));
    grantAll({"_03"});
    post(*f);
    EXPECT_EQ(scalar("select isdel from qd_b_ygbmk where code = 'A02'"), QStringLiteral("True"));
    EXPECT_EQ(prompts().pending(), 0);
}

TEST_F(SingleList, ATypedRowIsSavedDroppedOrKeptBeforeTheListGoes) {
    grantAll({"_01"});
    auto f = open();
    // 刷新 with a typed row: 取消 stays on it, 否 drops it, 是 saves it.
    f->actAdd->trigger();
    typeRow(*f, "A09", QStringLiteral("赵六"));
    prompts().answer(Ui::mrCancel);
    f->actRef->trigger();
    EXPECT_EQ(prompts().last().text, QStringLiteral("数据未保存，是否保存？"));
    EXPECT_EQ(f->cdsMain.state(), Db::DataSetState::Insert);
    EXPECT_EQ(f->cdsMain.field("code").asString(), QStringLiteral("A09"));
    prompts().answer(Ui::mrYes);
    f->actRef->trigger();
    EXPECT_EQ(scalar("select name from qd_b_ygbmk where code = 'A09'"), QStringLiteral("赵六"));
    f->actAdd->trigger();
    typeRow(*f, "A10", QStringLiteral("钱七"));
    prompts().answer(Ui::mrNo);
    f->actRef->trigger();
    EXPECT_EQ(f->cdsMain.state(), Db::DataSetState::Browse);
    EXPECT_EQ(scalar("select count(*) from qd_b_ygbmk where code = 'A10'"), "0");

    // Closing the page: 是 with a row its rules refuse keeps the page open on the row.
    f->actAdd->trigger();
    typeRow(*f, "A11", QString());
    prompts().answer(Ui::mrYes);
    prompts().answer(Ui::mrOk);  // 请输入姓名
    EXPECT_FALSE(f->close());
    EXPECT_EQ(f->cdsMain.state(), Db::DataSetState::Insert);
    prompts().answer(Ui::mrNo);
    EXPECT_TRUE(f->close());
    EXPECT_EQ(prompts().pending(), 0);
    f.release();  // closing frees the form
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

TEST_F(SingleList, ExportAsksBeforeOverwritingAndProposesAFileName) {
    ASSERT_TRUE(
        db().execSQL("insert into qd_sys_config(orgid, cfgkey, cfgvalue) values(1, 'dateformat', "
                     "'yyyy/MM/dd')"));
    ASSERT_NO_FATAL_FAILURE(login(QStringLiteral("1001"), 5));
    grantAll({"_05"});
    auto f = open();
    // The proposed name is a file name, whatever the date format holds.
    const QString file = dir() + QStringLiteral("/员工");
    prompts().answerText(file);  // the extension is added
    prompts().answer(Ui::mrOk);
    f->actExport->trigger();
    EXPECT_EQ(prompts().last().text, QStringLiteral("导出成功"));
    const auto& asked = prompts().asked();
    EXPECT_EQ(asked[asked.size() - 2].what, QStringLiteral("save"));
    const QString proposed = asked[asked.size() - 2].text;
    EXPECT_TRUE(proposed.startsWith(QStringLiteral("员工资料_"))) << proposed.toStdString();
    EXPECT_FALSE(proposed.contains('/')) << proposed.toStdString();
    EXPECT_TRUE(proposed.endsWith(".xlsx"));
    ASSERT_TRUE(QFile::exists(file + ".xlsx"));

    // The same name again: the dialog asks about the file that is written, and No keeps it.
    QFile existing(file + ".xlsx");
    ASSERT_TRUE(existing.open(QIODevice::WriteOnly | QIODevice::Truncate));
    existing.write("keep");
    existing.close();
    prompts().answerText(file);
    prompts().answer(Ui::mrNo);
    f->actExport->trigger();
    EXPECT_EQ(prompts().last().what, QStringLiteral("overwrite"));
    EXPECT_EQ(prompts().last().text, file + ".xlsx");
    QFile kept(file + ".xlsx");
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), QByteArray("keep"));
    EXPECT_EQ(prompts().pending(), 0);
}

// A failure of the file system at any step of a save or of a soft delete loses nothing: the
// list says so once, keeps the row as typed (or the rows as shown), and the database holds all
// of the change or none of it.
TEST_F(SingleList, SaveAndSoftDeleteSurviveAFailureAtEveryStep) {
    grantAll({"_01", "_02", "_03"});
    std::unique_ptr<TSingleBasicRibbonForm> f;
    // What the user typed or sees in the list (the save itself fills in the organisation).
    const auto shown = [&] {
        return Qd::Test::rowTexts(f->cdsMain, {"code", "name", "helpcode"}).join('\n');
    };
    const Qd::Test::SaveCase add{"list add",
                                 [&] {
                                     f = open();
                                     f->actAdd->trigger();
                                     typeRow(*f, QStringLiteral("A09"), QStringLiteral("张三丰"));
                                 },
                                 [&] {
                                     post(*f);
                                     return f->cdsMain.state() == Db::DataSetState::Browse;
                                 },
                                 shown};
    EXPECT_GT(Qd::Test::walkFaults(db().handle(), prompts(), add), 5);

    const Qd::Test::SaveCase softDelete{
        "soft delete",
        [&] {
            f = open();
            f->cxgMainDBTableView1->selectionModel()->select(
                f->cxgMainDBTableView1->model()->index(1, 0),
                QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        },
        [&] {
            const int before = f->cdsMain.recordCount();
            prompts().answer(Ui::mrOk);
            f->actDel->trigger();
            return f->cdsMain.recordCount() < before;
        },
        shown, 1};
    EXPECT_GT(Qd::Test::walkFaults(db().handle(), prompts(), softDelete), 3);
}

TEST_F(SingleList, AListOfManyRowsShowsTheFirstAtOnceAndTheRestAsTheyComeWithoutAWrongFooter) {
    ASSERT_TRUE(
        db().execSQL("with n(i) as (select 1 union all select i + 1 from n where i < 12000)\n"
                     "insert into qd_b_ygbmk(orgid, ck_id, code, name) "
                     "select 1, 5, 'C' + right('00000' + cast(i as varchar(10)), 5), N'员工' from "
                     "n option (maxrecursion 0)"));
    const int all = db().openData("select count(*) from qd_b_ygbmk where orgid = 1 and isdel = 0")
                        .field(0)
                        .asInteger();
    grantAll({"_01", "_02"});
    auto f = open();
    Ui::GridView* view = f->cxgMainDBTableView1;
    view->columnByField("id")->footerKind = Ui::SummaryKind::Count;
    const Ui::GridColumn* counted = view->columnByField("id");

    // The first rows are there; the caption counts them, the footer does not guess.
    EXPECT_EQ(f->cdsMain.recordCount(), Db::ChunkedLoad::kFirstRows);
    EXPECT_TRUE(f->cdsMain.rowsPending());
    EXPECT_EQ(f->dxDockPanel1->caption(),
              QStringLiteral("[员工资料] - 列表（正在读取，已读 2000 行）"));
    EXPECT_EQ(view->footerText(counted), QStringLiteral("…"));
    view->setFooterVisible(true);
    f->resize(900, 500);
    Qd::Test::keepRender(*f, "list-loading.png");

    while (f->cdsMain.rowsPending())
        QCoreApplication::processEvents();
    EXPECT_EQ(f->cdsMain.recordCount(), all);
    EXPECT_EQ(f->dxDockPanel1->caption(), QStringLiteral("[员工资料] - 列表"));
    EXPECT_EQ(view->footerText(counted), QString::number(all));
    // Once in, the list is the list read whole: a change to a row read late saves, and the
    // list comes back to it.
    ASSERT_TRUE(f->cdsMain.locate(QStringLiteral("code"), QStringLiteral("C00007")));
    f->cdsMain.edit();
    f->cdsMain.field("name").setValue(QStringLiteral("改名"));
    post(*f);
    EXPECT_EQ(scalar("select name from qd_b_ygbmk where code = 'C00007'"), QStringLiteral("改名"));
    EXPECT_EQ(f->cdsMain.field("code").asString(), QStringLiteral("C00007"));
    EXPECT_EQ(f->cdsMain.recordCount(), all);

    // A list closed before its rows are all in leaves nothing reading the table; one exported
    // before then exports every row.
    f.reset();
    grantAll({"_05"});
    f = open();
    ASSERT_TRUE(f->cdsMain.rowsPending());
    prompts().answerText(dir() + QStringLiteral("/all"));
    prompts().answer(Ui::mrOk);
    f->actExport->trigger();
    EXPECT_EQ(prompts().last().text, QStringLiteral("导出成功"));
    EXPECT_FALSE(f->cdsMain.rowsPending());
    EXPECT_EQ(f->cdsMain.recordCount(), all);
    f.reset();
    f = open();
    ASSERT_TRUE(f->cdsMain.rowsPending());
    f.reset();
    QCoreApplication::processEvents();
    EXPECT_TRUE(db().execSQL("drop table qd_b_ygbmk"));
}
