// The print template window: which templates a store sees, deleting by owner and store, saving
// with share rows, validation, the design right, and the print-done notification.
#include <gtest/gtest.h>

#include <sqlite3.h>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QPageSetupDialog>
#include <QPrinter>
#include <QSettings>
#include <QTemporaryDir>

#include "base/ProgramHome.h"
#include "base/Prompter.h"
#include "base/SafeName.h"
#include "core/GridHelpers.h"
#include "db/RecordSet.h"
#include "print/designer/Designer.h"
#include "print/engine/Preview.h"
#include "print/engine/TemplateFile.h"
#include "print/uPrinterForm.h"
#include "print/uRptDocsPropForm.h"
#include "printui/PrintUiTest.h"
#include "support/FaultWalk.h"
#include "support/Render.h"
#include "support/ScriptedPrompter.h"
#include "support/TestEnv.h"
#include "sys/uAuth.h"
#include "ui/grid/Grid.h"

using namespace Qd::Core;
using Fr4::TPrinterForm;

namespace {

// Stores 5 and 6 of the fixture plus 3 and 7. Templates of module 1002 (id, owner, creator):
// 1 "01 标准" shared with all stores by 5; 2 "02 私有" private to 5; 3 "03 分享" by 5 shared with
// 6; 4 "04 六号" private to 6; and template 5 of another module.
class PrinterForm : public Qd::Test::PrintUiTest {
protected:
    void SetUp() override {
        PrintUiTest::SetUp();
        ASSERT_TRUE(db().execSQL(QStringLiteral(
            "insert into qd_sys_printdocs(orgid, modulecode, code, docname, owner, ck_id, isort)"
            " values(1, '1002', '01', N'标准', 0, 5, 0), (1, '1002', '02', N'私有', 1, 5, 0),"
            " (1, '1002', '03', N'分享', 2, 5, 9), (1, '1002', '04', N'六号', 1, 6, 0),"
            " (1, '2001', '01', N'别的模块', 0, 5, 0)\n"
            "insert into qd_sys_printdocs_ck(orgid, rpt_id, ck_id) values(1, 3, 6)")));
    }

    void atStore(qint32 store) { Sys::sysAuth()->storeId = store; }

    std::unique_ptr<TPrinterForm> open(const QString& module = QStringLiteral("1002")) {
        auto f = std::make_unique<TPrinterForm>(nullptr, module, &datasets, &variables);
        return f;
    }

    static QStringList codes(TPrinterForm& f) {
        QStringList out;
        for (f.cdsMain.first(); !f.cdsMain.eof(); f.cdsMain.next())
            out << f.cdsMain.field(QStringLiteral("code")).asString();
        return out;
    }
    QStringList visibleAt(qint32 store) {
        atStore(store);
        auto f = open();
        return codes(*f);
    }
    static void select(TPrinterForm& f, int id) {
        ASSERT_TRUE(f.cdsMain.locate(QStringLiteral("id"), id));
    }
    // 删除 on template `id`, its confirmation answered `answer`.
    void remove(TPrinterForm& f, int id, int answer = Ui::mrOk) {
        select(f, id);
        prompts().answer(answer);
        f.actDel->trigger();
    }
    // Stores template `id` as a one-page template.
    void storeTemplate(int id) {
        using namespace Qd::Print;
        ReportTemplate t;
        t.name = QStringLiteral("出库单");
        Band title{.kind = BandKind::ReportTitle, .name = "Title", .heightMm = 10};
        title.objects.push_back(
            ReportObject{.name = "Memo1",
                         .rectMm = QRectF(0, 0, 80, 8),
                         .content = TextObject{.text = QStringLiteral("出库单")}});
        t.bands.push_back(title);
        ASSERT_TRUE(db().execSQL(
            QStringLiteral("update qd_sys_printdocs set docfile=:f where id=:i"),
            {{QStringLiteral("f"), TemplateFile::toBytes(t)}, {QStringLiteral("i"), id}}));
    }
    // The next properties dialog gets the template name `name` and is confirmed.
    void renameInDialog(const QString& name) {
        answerProperties([name](Fr4::TRptDocsPropForm& p) { p.edtDocName->setText(name); });
    }
    // The next properties dialog adds template "05" `name`, shared with `stores`.
    void addInDialog(const QString& name, const QList<int>& stores) {
        answerProperties([=](Fr4::TRptDocsPropForm& p) {
            p.edtCode->setText(QStringLiteral("05"));
            p.edtDocName->setText(name);
            p.cbbType->setCurrentIndex(2);
            Qd::Test::shareWith(p, stores);
        });
    }
    // The next properties dialog shares the template with store 7 alone.
    void shareWith7InDialog() {
        answerProperties([](Fr4::TRptDocsPropForm& p) { Qd::Test::shareWith(p, {7}); });
    }
    std::unique_ptr<QPrinter> pdfPrinter(const QString& name) {
        auto p = std::make_unique<QPrinter>(QPrinter::HighResolution);
        p->setOutputFormat(QPrinter::PdfFormat);
        p->setOutputFileName(m_out.filePath(name));
        return p;
    }

    // 修改 confirmed with nothing changed: what a failed save kept in the list is saved again.
    bool confirmAgain(TPrinterForm& f) {
        answerProperties([](Fr4::TRptDocsPropForm&) {});
        prompts().answer(Ui::mrNo);  // no designer afterwards
        f.actEdit->trigger();
        return f.cdsMain.changeCount() == 0;
    }

    Fr4::TDataSetCollection datasets;
    Fr4::TUserVariables variables;
    QTemporaryDir m_out;
};

TEST_F(PrinterForm, EachStoreSeesSharedOwnAndSharedWithItTemplates) {
    auto f = open();
    // Sort number first, then id.
    EXPECT_EQ(codes(*f), QStringList({"03", "01", "02"}));
    Qd::Test::keepRender(*f, "printer-form.png");
    EXPECT_EQ(visibleAt(6), QStringList({"03", "01", "04"}));
    EXPECT_EQ(visibleAt(7), QStringList({"01"}));
    // A quote in the module key cannot break the statement.
    atStore(5);
    EXPECT_TRUE(codes(*open(QStringLiteral("10'02"))).isEmpty());
}

TEST_F(PrinterForm, DeleteRemovesByOwnerAndStore) {
    grant(11, QStringLiteral("1002_061"));
    // In store 6 the template shared by store 5 only loses store 6's share row.
    atStore(6);
    auto f = open();
    remove(*f, 3, Ui::mrCancel);
    EXPECT_EQ(scalar(QStringLiteral("select count(*) from qd_sys_printdocs_ck")), "1");
    EXPECT_EQ(prompts().last().text, QStringLiteral("是否确定删除该模板？"));
    remove(*f, 3);
    EXPECT_EQ(scalar(QStringLiteral("select count(*) from qd_sys_printdocs_ck")), "0");
    EXPECT_EQ(scalar(QStringLiteral("select count(*) from qd_sys_printdocs where id = 3")), "1");
    EXPECT_EQ(codes(*f), QStringList({"01", "04"}));
    EXPECT_EQ(visibleAt(5), QStringList({"03", "01", "02"}));

    // In the creating store an owner-2 template goes with its share rows.
    ASSERT_TRUE(db().execSQL(
        QStringLiteral("insert into qd_sys_printdocs_ck(orgid, rpt_id, ck_id) values(1, 3, 6)\n"
                       "insert into qd_sys_printdocs_ck(orgid, rpt_id, ck_id) values(1, 3, 7)")));
    atStore(5);
    auto g = open();
    remove(*g, 3);
    EXPECT_EQ(scalar(QStringLiteral("select count(*) from qd_sys_printdocs where id = 3")), "0");
    // Only this store's share row is named by the statement.
    EXPECT_EQ(scalar(QStringLiteral("select count(*) from qd_sys_printdocs_ck")), "2");

    // A private template is deleted with every share row it has.
    ASSERT_TRUE(db().execSQL(
        QStringLiteral("insert into qd_sys_printdocs_ck(orgid, rpt_id, ck_id) values(1, 2, 6)")));
    remove(*g, 2);
    EXPECT_EQ(scalar(QStringLiteral("select count(*) from qd_sys_printdocs where id = 2")), "0");
    EXPECT_EQ(scalar(QStringLiteral("select count(*) from qd_sys_printdocs_ck where rpt_id = 2")),
              "0");
    EXPECT_EQ(codes(*g), QStringList({"01"}));
}

TEST_F(PrinterForm, AddingWritesTheRowAndItsShareRows) {
    grant(11, QStringLiteral("1002_061"));
    auto f = open();
    ASSERT_TRUE(f->qx);
    addInDialog(QStringLiteral("带'引号"), {3, 7});
    prompts().answer(Ui::mrNo);  // no designer afterwards
    f->actAdd->trigger();
    EXPECT_EQ(prompts().pending(), 0);
    EXPECT_EQ(prompts().last().text, QStringLiteral("模板信息修改成功，是否进入模板设计器？"));
    const QString id = scalar(QStringLiteral("select id from qd_sys_printdocs where code = '05'"));
    ASSERT_FALSE(id.isEmpty());
    EXPECT_EQ(scalar(QStringLiteral("select orgid, modulecode, docname, owner, ck_id, isort from "
                                    "qd_sys_printdocs where id = ") +
                     id),
              QStringLiteral("1 | 1002 | 带'引号 | 2 | 5 | 0"));
    EXPECT_EQ(scalar(QStringLiteral("select count(*), min(ck_id), max(ck_id) from "
                                    "qd_sys_printdocs_ck where rpt_id = ") +
                     id),
              QStringLiteral("2 | 3 | 7"));
    // The list is reloaded, on the new template, and store 7 now sees it.
    EXPECT_EQ(f->cdsMain.field(QStringLiteral("id")).asString(), id);
    EXPECT_EQ(f->cdsMain.changeCount(), 0);
    EXPECT_TRUE(visibleAt(7).contains(QStringLiteral("05")));
    EXPECT_FALSE(visibleAt(6).contains(QStringLiteral("05")));
}

// A new template and its share rows are saved whole or not at all, whichever file-system step
// fails.
TEST_F(PrinterForm, ANewTemplateAndItsSharesSurviveAFailureAtEveryStep) {
    grant(11, QStringLiteral("1002_061"));
    std::unique_ptr<TPrinterForm> f;
    // Saved: the list, read again, holds the new template and nothing waits to be saved.
    const auto savedNew = [&] {
        return f->cdsMain.changeCount() == 0 &&
               f->cdsMain.locate(QStringLiteral("code"), QStringLiteral("05"));
    };
    Qd::Test::SaveCase add;
    add = {"template add",
           [&] { f = open(); },
           [&] {
               addInDialog(QStringLiteral("分享单"), {3, 6, 7});
               prompts().answer(Ui::mrNo);  // no designer afterwards
               f->actAdd->trigger();
               return savedNew();
           },
           [] { return QString(); },  // typed in the dialog; the row it made stays in the list
           1,
           [&] {
               // A row whose save failed stays in the list for 修改 to save again; when the
               // failure came before the dialog opened, nothing was typed: add again.
               return f->cdsMain.changeCount() > 0 ? confirmAgain(*f) && savedNew() : add.save();
           }};
    EXPECT_GT(Qd::Test::walkFaults(db().handle(), prompts(), add), 5);
}

TEST_F(PrinterForm, ChangedSharesSurviveAFailureAtEveryStep) {
    grant(11, QStringLiteral("1002_061"));
    std::unique_ptr<TPrinterForm> f;
    // Saved: the designer is offered, which follows only a save that went through, and the
    // share rows are rewritten to store 7 alone.
    const auto saved = [&] {
        return f->cdsMain.changeCount() == 0 && !prompts().asked().empty() &&
               prompts().asked().back().text ==
                   QStringLiteral("模板信息修改成功，是否进入模板设计器？") &&
               f->cdsMain.field(QStringLiteral("id")).asInteger() == 3 &&
               scalar(QStringLiteral("select count(*), min(ck_id) from qd_sys_printdocs_ck "
                                     "where rpt_id = 3")) == QStringLiteral("1 | 7");
    };
    Qd::Test::SaveCase share;
    share = {
        "template share",
        [&] {
            f = open();
            select(*f, 3);  // shared with store 6
        },
        [&] {
            shareWith7InDialog();
            prompts().answer(Ui::mrNo);
            f->actEdit->trigger();
            return saved();
        },
        [] { return QString(); },  // typed in the dialog: kept in the row, saved by the retry
        1,
        [&] { return f->cdsMain.changeCount() > 0 ? confirmAgain(*f) && saved() : share.save(); }};
    EXPECT_GT(Qd::Test::walkFaults(db().handle(), prompts(), share), 5);
}

TEST_F(PrinterForm, WithoutDesignRightTheListIsReadOnlyAndDesignIsRefused) {
    auto f = open();
    EXPECT_FALSE(f->qx);
    EXPECT_TRUE(f->cdsMain.readOnly());
    EXPECT_FALSE(f->actAdd->isEnabled());
    int designed = 0;
    f->designer = [&](Qd::Print::ReportTemplate&) { return ++designed, true; };
    prompts().answer(Ui::mrOk);
    f->actDesign->trigger();
    EXPECT_EQ(designed, 0);
    EXPECT_EQ(prompts().last().text,
              QStringLiteral("对不起，您没有该功能的操作权限，访问被拒绝。"));
    EXPECT_EQ(prompts().last().title, QStringLiteral("用户授权"));
    EXPECT_EQ(f->result(), 0);

    // A right taken away while the window is open is missing at the design too.
    grant(11, QStringLiteral("1002_061"));
    auto g = open();
    ASSERT_TRUE(g->qx);
    ASSERT_TRUE(db().execSQL(QStringLiteral("delete from qd_sys_userrights")));
    g->designer = f->designer;
    prompts().answer(Ui::mrOk);
    g->actDesign->trigger();
    EXPECT_EQ(designed, 0);
    EXPECT_EQ(prompts().last().title, QStringLiteral("用户授权"));
}

TEST_F(PrinterForm, DesigningUploadsTheTemplateEvenUnchanged) {
    grant(11, QStringLiteral("1002_061"));
    Db::RecordSet rows;
    datasets.Add() = Fr4::TDataSetCollectionItem(&datasets, QStringLiteral("单据"), "1002", &rows);
    auto f = open();
    EXPECT_FALSE(f->cdsMain.readOnly());
    select(*f, 1);
    // The report designer, closed without a change.
    prompts().answerDialog([](QDialog& d) {
        EXPECT_NE(dynamic_cast<Qd::Print::DesignerDialog*>(&d), nullptr);
        d.reject();
        return d.result();
    });
    f->actDesign->trigger();
    EXPECT_EQ(prompts().pending(), 0);
    QFile in(TPrinterForm::templateFileName("1002", "01", QStringLiteral("标准")));
    ASSERT_TRUE(in.open(QIODevice::ReadOnly));
    EXPECT_EQ(
        scalar(QStringLiteral("select datalength(docfile) from qd_sys_printdocs where id = 1")),
        QString::number(in.size()));

    // Designed with this window's datasets in the data tree; what was saved is uploaded.
    prompts().answerDialog([](QDialog& d) {
        auto& designer = static_cast<Qd::Print::DesignerDialog&>(d);
        EXPECT_EQ(designer.document().datasets(), QStringList({QStringLiteral("单据")}));
        designer.action("addBand.MasterData")->trigger();
        designer.document().insertText(QStringLiteral("[单据.\"code\"]"));
        designer.save();
        d.reject();
        return d.result();
    });
    f->actDesign->trigger();
    const auto stored = Qd::Print::TemplateFile::fromBytes(f->cdsMain.field("docfile").asBytes());
    ASSERT_EQ(stored.bands.size(), 1u);
    EXPECT_EQ(stored.bands[0].dataset, QStringLiteral("单据"));
}

TEST_F(PrinterForm, InGridEditsAreSavedAndReSortedOrRefusedAndKept) {
    grant(11, QStringLiteral("1002_061"));
    auto f = open();
    QAbstractItemModel* model = f->cxgMain->model();
    auto setCell = [&](int id, const char* field, const QVariant& value) {
        select(*f, id);
        const int row = f->cdsMain.recNo();
        return model->setData(model->index(row, f->cdsMain.fieldIndex(field)), value) &&
               model->submit();
    };
    // Each saved edit offers the designer, as the properties dialog does.
    prompts().answer(Ui::mrNo);
    ASSERT_TRUE(setCell(1, "docname", QStringLiteral("标准版")));
    EXPECT_EQ(prompts().last().text, QStringLiteral("模板信息修改成功，是否进入模板设计器？"));
    EXPECT_EQ(scalar(QStringLiteral("select docname from qd_sys_printdocs where id = 1")),
              QStringLiteral("标准版"));
    // A higher sort number moves the template to the top of the list.
    prompts().answer(Ui::mrNo);
    ASSERT_TRUE(setCell(1, "isort", 20));
    EXPECT_EQ(f->cdsMain.field(QStringLiteral("id")).asInteger(), 1);  // still on it
    EXPECT_EQ(codes(*f), QStringList({"01", "03", "02"}));
    // An emptied number or name is refused and the row keeps the edit for another try.
    for (const auto& [field, message] :
         {std::pair{"code", "模板编号不能为空"}, std::pair{"docname", "模板名称不能为空"}}) {
        prompts().answer(Ui::mrOk);
        EXPECT_FALSE(setCell(1, field, QString()));
        EXPECT_EQ(prompts().last().text, QString::fromUtf8(message));
        EXPECT_EQ(f->cdsMain.state(), Db::DataSetState::Edit);
        EXPECT_EQ(scalar(QStringLiteral("select code, docname from qd_sys_printdocs where id = 1")),
                  QStringLiteral("01 | 标准版"));
        f->cdsMain.cancel();
    }

    // The design right taken away while the window is open: no save, no add, no delete.
    ASSERT_TRUE(db().execSQL(QStringLiteral("delete from qd_sys_userrights")));
    for (QAction* refused : {f->actAdd, f->actEdit}) {
        prompts().answer(Ui::mrOk);
        refused->trigger();
        EXPECT_EQ(prompts().last().title, QStringLiteral("用户授权"))
            << refused->text().toStdString();
    }
    prompts().answer(Ui::mrOk);
    EXPECT_FALSE(setCell(1, "docname", QStringLiteral("改名")));
    EXPECT_EQ(prompts().last().title, QStringLiteral("用户授权"));
    f->cdsMain.cancel();
    EXPECT_EQ(scalar(QStringLiteral("select docname from qd_sys_printdocs where id = 1")),
              QStringLiteral("标准版"));
    const QString templates = scalar(QStringLiteral("select count(*) from qd_sys_printdocs"));
    prompts().answer(Ui::mrOk);
    f->actDel->trigger();
    EXPECT_EQ(prompts().last().title, QStringLiteral("用户授权"));  // before any confirmation
    EXPECT_EQ(scalar(QStringLiteral("select count(*) from qd_sys_printdocs")), templates);
    EXPECT_EQ(prompts().pending(), 0);
}

TEST_F(PrinterForm, EditingRenamesAndYesOpensTheDesignerOnTheSavedRow) {
    grant(11, QStringLiteral("1002_061"));
    storeTemplate(1);
    auto f = open();
    select(*f, 1);
    renameInDialog(QStringLiteral("标准二"));
    prompts().answer(Ui::mrYes);
    QString seenName;
    f->designer = [&](Qd::Print::ReportTemplate& t) {
        seenName = t.name;
        t.name = QStringLiteral("设计后");
        return true;
    };
    f->actEdit->trigger();
    EXPECT_EQ(prompts().pending(), 0);
    // The designer opened on the stored template of the renamed row, and what it changed is
    // both in the database and in the list, so the next use does not write the old bytes back.
    EXPECT_EQ(seenName, QStringLiteral("出库单"));
    EXPECT_EQ(scalar(QStringLiteral("select docname from qd_sys_printdocs where id = 1")),
              QStringLiteral("标准二"));
    EXPECT_EQ(scalar(QStringLiteral("select count(*) from qd_sys_printdocs")), "5");
    EXPECT_EQ(f->cdsMain.field(QStringLiteral("id")).asInteger(), 1);
    EXPECT_EQ(
        Qd::Print::TemplateFile::fromBytes(f->cdsMain.field(QStringLiteral("docfile")).asBytes())
            .name,
        QStringLiteral("设计后"));
    EXPECT_TRUE(
        QFile::exists(TPrinterForm::templateFileName("1002", "01", QStringLiteral("标准二"))));
}

TEST_F(PrinterForm, ASaveTheDatabaseRefusesIsReportedAndKeepsTheEdit) {
    grant(11, QStringLiteral("1002_061"));
    // A trigger stands in for a server that refuses the update (a lock, a constraint).
    ASSERT_EQ(sqlite3_exec(db().handle(),
                           "create trigger printdocs_locked before update on qd_sys_printdocs "
                           "begin select raise(abort, 'locked'); end",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    auto f = open();
    select(*f, 1);
    renameInDialog(QStringLiteral("改不了"));
    prompts().answer(Ui::mrOk);
    f->actEdit->trigger();
    // The error is shown, the designer is not offered, and the edit is still in the list to
    // save again.
    EXPECT_EQ(prompts().pending(), 0);
    EXPECT_TRUE(prompts().last().text.contains(QStringLiteral("locked")));
    EXPECT_EQ(scalar(QStringLiteral("select docname from qd_sys_printdocs where id = 1")),
              QStringLiteral("标准"));
    EXPECT_EQ(f->cdsMain.field(QStringLiteral("docname")).asString(), QStringLiteral("改不了"));
    EXPECT_GT(f->cdsMain.changeCount(), 0);
}

// The reports folder holds only copies of the templates stored in the database: in a read-only
// program folder a template still previews, and what the designer made is still uploaded.
using BadInput = PrinterForm;
TEST_F(BadInput, TemplatesPreviewAndDesignInAReadOnlyProgramFolder) {
    grant(11, QStringLiteral("1002_061"));
    storeTemplate(1);
    QString how;
    Sys::setProgramHome(Qd::Test::unwritableFolder(dir(), &how));
    SCOPED_TRACE(how.toStdString());

    auto f = open();
    select(*f, 1);
    int pages = 0;
    prompts().answerDialog([&](QDialog& d) {
        pages = static_cast<Qd::Print::PreviewDialog&>(d).report().pageCount();
        return int(QDialog::Rejected);
    });
    f->actPreview->trigger();
    EXPECT_EQ(pages, 1);

    auto g = open();
    select(*g, 1);
    g->designer = [](Qd::Print::ReportTemplate& t) {
        t.name = QStringLiteral("只读文件夹中设计");
        return true;
    };
    g->actDesign->trigger();
    const QByteArray stored =
        db().query(QStringLiteral("select docfile from qd_sys_printdocs where id = 1"))
            .field(0)
            .asBytes();
    EXPECT_EQ(Qd::Print::TemplateFile::fromBytes(stored).name, QStringLiteral("只读文件夹中设计"));
    EXPECT_EQ(g->cdsMain.field(QStringLiteral("docfile")).asBytes(), stored);
    for (const auto& q : prompts().asked())
        EXPECT_NE(q.what, QStringLiteral("message")) << q.text.toStdString();
    EXPECT_EQ(prompts().pending(), 0);
}

TEST_F(PrinterForm, StartOfPrintingIsTracedWhenTheJobStartsAndCompletionAfterIt) {
    storeTemplate(1);
    int done = 0;
    auto printTo = [&](const QString& file) {
        auto f = open();
        f->FonPrintDone = [&] { ++done; };
        f->printerFactory = [this, file] { return pdfPrinter(file); };
        select(*f, 1);
        prompts().answer(QDialog::Accepted);  // the print dialog
        f->actPrint->trigger();
    };
    // A job the printer cannot take (its output folder is missing): it started, so the start is
    // traced; it was never printed, so neither completion nor notification follow.
    prompts().answer(Ui::mrOk);
    printTo(QStringLiteral("missing/job.pdf"));
    EXPECT_TRUE(prompts().last().text.contains(QStringLiteral("无法开始打印")));
    EXPECT_EQ(traced().count(QStringLiteral("开始打印")), 1);
    EXPECT_FALSE(traced().contains(QStringLiteral("打印完成")));
    EXPECT_EQ(done, 0);

    printTo(QStringLiteral("job.pdf"));
    const QString trace = traced();
    EXPECT_EQ(trace.count(QStringLiteral("开始打印")), 2);
    EXPECT_GT(trace.indexOf(QStringLiteral("打印完成")),
              trace.lastIndexOf(QStringLiteral("开始打印")));
    EXPECT_EQ(done, 1);
    EXPECT_EQ(prompts().pending(), 0);
}

TEST_F(PrinterForm, PageSetupInThePreviewLaysOutAgainForThisJobOnly) {
    storeTemplate(1);
    auto f = open();
    f->printerFactory = [this] { return pdfPrinter(QStringLiteral("setup.pdf")); };
    select(*f, 1);
    QSizeF before, after;
    prompts().answerDialog([&](QDialog& d) {
        auto& preview = static_cast<Qd::Print::PreviewDialog&>(d);
        before = preview.report().pages.at(0).sizeMm;
        preview.action(QStringLiteral("pageSetup"))->trigger();
        after = preview.report().pages.at(0).sizeMm;
        return int(QDialog::Rejected);
    });
    QMarginsF opened;
    prompts().answerDialog([&](QDialog& d) {
        QPrinter* p = static_cast<QPageSetupDialog&>(d).printer();
        opened = p->pageLayout().margins(QPageLayout::Millimeter);
        p->setPageOrientation(QPageLayout::Landscape);
        return int(QDialog::Accepted);
    });
    f->actPreview->trigger();
    EXPECT_EQ(opened, QMarginsF(10, 10, 10, 10));  // the template's own margins
    EXPECT_EQ(before, QSizeF(210, 297));
    EXPECT_EQ(after, QSizeF(297, 210));
    const auto stored = Qd::Print::TemplateFile::fromBytes(f->cdsMain.field("docfile").asBytes());
    EXPECT_EQ(stored.page.orientation, Qd::Print::Orientation::Portrait);
}

TEST_F(PrinterForm, TemplateNamesWithSlashesStayInTheReportsFolderAndPrint) {
    // The program home one level down, so that a path climbing out of it is still seen.
    const QString home = dir() + QStringLiteral("/home");
    Sys::setProgramHome(home);
    const QString reports = home + QStringLiteral("/reports");
    // A folder an earlier name could have left behind lets "x/../../.." climb out of reports.
    ASSERT_TRUE(QDir().mkpath(reports + QStringLiteral("/1002_01_x")));
    ASSERT_TRUE(db().execSQL(
        QStringLiteral("update qd_sys_printdocs set docname = N'x/../../../escaped' where id = 1\n"
                       "update qd_sys_printdocs set docname = N'A4/横版' where id = 2")));
    storeTemplate(1);
    storeTemplate(2);
    int printed = 0;
    for (int id : {1, 2}) {
        auto f = open();
        f->FonPrintDone = [&] { ++printed; };
        f->printerFactory = [this] { return pdfPrinter(QStringLiteral("slash.pdf")); };
        select(*f, id);
        prompts().answer(QDialog::Accepted);  // the print dialog
        f->actPrint->trigger();
        EXPECT_EQ(f->result(), QDialog::Accepted) << id;
    }
    EXPECT_EQ(printed, 2);
    EXPECT_EQ(prompts().pending(), 0);
    EXPECT_FALSE(QFile::exists(dir() + QStringLiteral("/escaped.fr3")));
    EXPECT_TRUE(QFile::exists(reports + QStringLiteral("/1002_01_x_.._.._.._escaped.fr3")));
    EXPECT_TRUE(QFile::exists(reports + QStringLiteral("/1002_02_A4_横版.fr3")));
    EXPECT_TRUE(Qd::Test::isOwnerOnly(reports + QStringLiteral("/1002_02_A4_横版.fr3")));
    EXPECT_TRUE(Sys::isInside(
        TPrinterForm::templateFileName("..", "/..", QStringLiteral("../../etc/passwd")), reports));
}

TEST_F(PrinterForm, OpensAtItsDesignSizeAndKeepsItsPlacementUnderItsOwnName) {
    // Opened from the main window, as every caller does.
    QWidget owner;
    owner.resize(1200, 800);
    {
        TPrinterForm f(&owner, QStringLiteral("1002"), &datasets, &variables);
        f.show();
        EXPECT_GE(f.width(), 640);
        EXPECT_GE(f.height(), 420);
        // Every template of the list is in sight.
        const QRect last = f.cxgMain->visualRect(
            f.cxgMain->model()->index(2, f.cdsMain.fieldIndex(QStringLiteral("code"))));
        ASSERT_FALSE(last.isEmpty());
        EXPECT_TRUE(f.cxgMain->viewport()->rect().contains(last));
        Qd::Test::keepRender(f, "print-templates.png");
        f.resize(700, 450);
    }
    QSettings ini(Base::GetIniFilePath(), QSettings::IniFormat);
    EXPECT_EQ(ini.value(QStringLiteral("TPrinterForm/Width")).toInt(), 700);
    EXPECT_FALSE(ini.contains(QStringLiteral("General/Width")));
    TPrinterForm again(&owner, QStringLiteral("1002"), &datasets, &variables);
    EXPECT_EQ(again.size(), QSize(700, 450));
}

TEST_F(PrinterForm, CancelReturnsTwoWithoutANotification) {
    int done = 0;
    prompts().answerDialog([](QDialog& d) {
        static_cast<TPrinterForm&>(d).actExit->trigger();
        return d.result();
    });
    EXPECT_EQ(Fr4::OpenSetPrintReportForm(nullptr, QStringLiteral("1002"), &datasets, nullptr,
                                          [&] { ++done; }),
              2);
    EXPECT_EQ(done, 0);
}

}  // namespace
