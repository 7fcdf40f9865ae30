// Printing a bill: the gates before the print window, what the window is given, and what each
// printed job leaves behind (the print log row, the print count, the automatic audit).
#include <gtest/gtest.h>

#include <QFile>
#include <QPrinter>
#include <QTemporaryDir>

#include "bill/TestBill.h"
#include "bill/uCustBillRuleObj.h"
#include "core/RightsGate.h"
#include "print/engine/Expression.h"
#include "print/engine/Preview.h"
#include "print/engine/TemplateFile.h"
#include "print/uPrinterForm.h"
#include "support/Render.h"
#include "sys/uAuth.h"

using namespace Qd::Test::Bills;
using Qd::Test::S;
namespace Print = Qd::Print;

namespace {

// A bill template: number, the window's variables, the total in words, the lines; a reprint is
// stamped 重印.
Print::ReportTemplate billTemplate() {
    using namespace Print;
    ReportTemplate t;
    t.name = S("测试单");
    t.reprintStamp = S("重印");
    t.datasets = {S("表头数据"), S("明细数据")};
    const auto text = [](const char* name, double top, const char* content) {
        return ReportObject{.name = name,
                            .rectMm = QRectF(0, top, 180, 7),
                            .content = TextObject{.text = S(content)}};
    };
    t.bands.push_back(Band{.kind = BandKind::MasterData,
                           .name = "MasterData1",
                           .heightMm = 24,
                           .dataset = S("表头数据"),
                           .objects = {text("Bill", 0, "单号：[表头数据.\"billno\"]"),
                                       text("Module", 8, "[表单编号] [表单名称]"),
                                       text("Words", 16, "大写：[MoneyCn([表头数据.\"je\"])]")}});
    t.bands.push_back(Band{.kind = BandKind::DetailData,
                           .name = "DetailData1",
                           .heightMm = 7,
                           .dataset = S("明细数据"),
                           .objects = {text("Line", 0, "行：[明细数据.\"uid\"]")}});
    return t;
}

// The test bill with its print count, a template of module TB for every store, and every
// print going to a PDF file.
class BillPrint : public BillTest {
protected:
    void SetUp() override {
        BillTest::SetUp();
        ASSERT_TRUE(db().execSQL(
            S("insert into qd_sys_printdocs(orgid, modulecode, code, docname, owner, ck_id, "
              "isort, docfile) values(1, 'TB', '01', N'标准', 0, 5, 0, :f)"),
            {{S("f"), Print::TemplateFile::toBytes(billTemplate())}}));
        item.name = S("测试单据（注册名）");  // the title, not this, is the bill's name
        // A file of its own for every printer made (one per print window's job or preview).
        Fr4::TPrinterForm::defaultPrinterFactory = [this] {
            auto p = std::make_unique<QPrinter>(QPrinter::HighResolution);
            p->setOutputFormat(QPrinter::PdfFormat);
            ++m_printers;
            p->setOutputFileName(pdfPath());
            return p;
        };
    }
    void TearDown() override {
        Fr4::TPrinterForm::defaultPrinterFactory = {};
        BillTest::TearDown();
    }

    // The file the printer made last writes to.
    QString pdfPath() const { return m_out.filePath(S("job-%1.pdf").arg(m_printers)); }
    std::unique_ptr<TTestBill> open(const QString& no, const QString& flag = S("000")) {
        auto form = openOn(item, no, [](TTestBill& f) { f.extraColumns = S(", b.printcount"); });
        form->CustBillRule->Fflag = flag;
        return form;
    }
    QString logRows() {
        const Db::RecordSet log =
            db().query(S("select orgid, modulecode, billtype, billno, ck_id, czy_id from "
                         "qd_sys_billpirnt_logs order by id"));
        return Qd::Test::rowTexts(log, {}, S(" | ")).join(S("\n"));
    }
    QString count(const char* no) {
        return scalar(
            S("select isnull(printcount, -1) from t_bill where billno = '%1'").arg(S(no)));
    }

    // The print window opens and `inWindow` works it; the window's result is kept.
    void whenTheWindowOpens(std::function<void(Fr4::TPrinterForm&)> inWindow) {
        prompts().answerDialog([this, inWindow = std::move(inWindow)](QDialog& d) {
            auto& window = dynamic_cast<Fr4::TPrinterForm&>(d);
            inWindow(window);
            m_windowResult = window.result();
            return window.result();
        });
    }
    // 打印 on the window, then 直接打印 with its print dialog confirmed; `afterJob` queues what
    // the job asks after it was printed (the audit dialog).
    void printDirectly(TTestBill& form, const std::function<void()>& afterJob = {}) {
        whenTheWindowOpens([&](Fr4::TPrinterForm& w) {
            prompts().answer(QDialog::Accepted);
            if (afterJob)
                afterJob();
            w.actPrint->trigger();
        });
        form.actPrint->trigger();
    }
    // 打印, then 预览后再打印 and `jobs` prints from the preview before it is closed.
    void printFromPreview(TTestBill& form, int jobs,
                          const std::function<void(int)>& afterJob = {}) {
        whenTheWindowOpens([&](Fr4::TPrinterForm& w) {
            prompts().answerDialog([&](QDialog& d) {
                auto& preview = dynamic_cast<Print::PreviewDialog&>(d);
                for (int i = 0; i < jobs; ++i) {
                    prompts().answer(QDialog::Accepted);
                    if (afterJob)
                        afterJob(i);
                    preview.action(S("print"))->trigger();
                }
                return int(QDialog::Rejected);
            });
            w.actPreview->trigger();
        });
        form.actPrint->trigger();
    }
    // The next audit dialog is answered `result`; `meanwhile` runs before it closes.
    void answerAudit(int result, std::function<void()> meanwhile = {}) {
        prompts().answerDialog([this, result, meanwhile](QDialog& d) {
            EXPECT_NE(dynamic_cast<TAuditingDataForm*>(&d), nullptr);
            ++m_auditDialogs;
            if (meanwhile)
                meanwhile();
            return result;
        });
    }
    QStringList dialogsAsked() {
        QStringList out;
        for (const auto& q : prompts().asked())
            if (q.what == S("exec"))
                out << q.title;
        return out;
    }

    int m_printers = 0;
    int m_windowResult = -1;
    int m_auditDialogs = 0;
    QTemporaryDir m_out;
};

TEST_F(BillPrint, TheRightAndAMovedVersionKeepThePrintWindowShut) {
    auto form = open(S("B001"));  // the administrator's block: BillEditor's rights test
    ASSERT_TRUE(db().execSQL(S("delete from qd_sys_userrights where rightcode = 'TB_06'")));
    prompts().clear();
    form->actPrint->trigger();
    EXPECT_EQ(prompts().messages(), QStringList{S(Base::kRefusalText)});
    grant(11, S("TB_06"));

    bumpVersion("B001");
    const int loads = form->opened.size();
    prompts().clear();
    form->actPrint->trigger();
    EXPECT_EQ(prompts().messages(), QStringList{S("当前数据状态已改变，已为您刷新数据，请重试.")});
    EXPECT_EQ(form->opened.size(), loads + 1);
    EXPECT_EQ(form->version, 2);
    EXPECT_TRUE(dialogsAsked().isEmpty());
    EXPECT_EQ(logRows(), QString());
}

TEST_F(BillPrint, TheWindowGetsTheBillsRecordSetsAndVariablesAndPrintsThem) {
    auto form = open(S("B001"));
    QStringList names;
    QList<const Db::RecordSet*> sets;
    Fr4::TUserVariables variables;
    QString module;
    whenTheWindowOpens([&](Fr4::TPrinterForm& w) {
        module = w.FModuleCode;
        for (int i = 0; i < w.Fdatasets->Count(); ++i) {
            names << w.Fdatasets->GetItem(i).FuserName;
            sets << w.Fdatasets->GetItem(i).Fdataset;
        }
        variables = *w.FuserVariables;
        prompts().answer(QDialog::Accepted);
        w.actPrint->trigger();
    });
    form->actPrint->trigger();
    EXPECT_EQ(module, S("TB"));
    EXPECT_EQ(names, QStringList({S("表头数据"), S("明细数据")}));
    EXPECT_EQ(sets, (QList<const Db::RecordSet*>{&form->cdsMaster, &form->cdsDetail}));
    EXPECT_EQ(variables,
              (Fr4::TUserVariables{{S("表单编号"), S("TB")}, {S("表单名称"), S("测试单")}}));
    EXPECT_EQ(m_windowResult, QDialog::Accepted);

    const QString text = Qd::Test::pdfText(pdfPath());
    if (text.isEmpty())
        GTEST_SKIP() << "pdftotext is not installed";
    EXPECT_TRUE(text.contains(S("单号：B001"))) << text.toStdString();
    EXPECT_TRUE(text.contains(S("TB 测试单"))) << text.toStdString();
    EXPECT_TRUE(text.contains(S("大写：") + Print::MoneyCn(30))) << text.toStdString();
    EXPECT_TRUE(text.contains(S("行：u2"))) << text.toStdString();
    EXPECT_FALSE(text.contains(S("重印")));
}

// Each job logs and counts once, with the values of the moment; the window keeps what it loaded.
TEST_F(BillPrint, TwoJobsFromOnePreviewWriteTwoRowsAndCountTwo) {
    auto form = open(S("B001"));
    printFromPreview(*form, 2);
    EXPECT_EQ(logRows(), S("1 | TB | 测试单 | B001 | 5 | 11\n1 | TB | 测试单 | B001 | 5 | 11"));
    EXPECT_EQ(count("B001"), "2");
    EXPECT_TRUE(QFile::exists(pdfPath()));
    // The batch as traced: the log row, a line break, the count.
    const QString batch =
        S("[打印] insert into qd_sys_billpirnt_logs(orgid,modulecode, billtype,billno,ck_id,"
          "czy_id) values('1', 'TB', '测试单', 'B001',5, 11)\r\nupdate t_bill set printcount = "
          "isnull(printcount,0) + 1 where id=1");
    EXPECT_EQ(traced().count(batch), 2);
    // Not reloaded: the count shows at the next load.
    EXPECT_TRUE(form->cdsMaster.field(S("printcount")).isNull());
    form->actRef->trigger();
    EXPECT_EQ(form->cdsMaster.field(S("printcount")).asInteger(), 2);

    printDirectly(*form);
    EXPECT_EQ(count("B001"), "3");
    EXPECT_EQ(count("B003"), "-1");
}

TEST_F(BillPrint, NothingIsWrittenWithoutAPrintedJob) {
    auto form = open(S("B001"));
    printFromPreview(*form, 0);  // the preview closed unprinted
    whenTheWindowOpens([this](Fr4::TPrinterForm& w) {
        prompts().answer(QDialog::Rejected);  // the print dialog cancelled
        w.actPrint->trigger();
    });
    form->actPrint->trigger();
    whenTheWindowOpens([this](Fr4::TPrinterForm& w) { w.actExit->trigger(); });
    form->actPrint->trigger();
    EXPECT_EQ(m_windowResult, QDialog::Rejected);

    ASSERT_TRUE(db().execSQL(S("delete from qd_sys_printdocs")));
    prompts().clear();
    whenTheWindowOpens([this](Fr4::TPrinterForm& w) {
        w.actPrint->trigger();
        w.actExit->trigger();
    });
    form->actPrint->trigger();
    EXPECT_EQ(prompts().messages(), QStringList{S("未定义打印样式。")});
    EXPECT_EQ(logRows(), QString());
    EXPECT_EQ(count("B001"), "-1");
    EXPECT_EQ(prompts().pending(), 0);
}

TEST_F(BillPrint, WithoutTheColumnOnlyTheRowIsWrittenAndAFailingCountWritesNeither) {
    // The table has the column, the window's query does not: the record set decides.
    auto form = openOn(item, S("B001"));
    printDirectly(*form);
    EXPECT_EQ(logRows(), S("1 | TB | 测试单 | B001 | 5 | 11"));
    EXPECT_EQ(count("B001"), "-1");
    EXPECT_FALSE(traced().contains(S("set printcount")));

    // A count at the top of its type cannot be raised: the batch fails whole.
    ASSERT_TRUE(db().execSQL(S("update t_bill set printcount = 2147483647 where billno = 'B003'")));
    auto full = open(S("B003"));
    prompts().acceptAllMessages(true);
    printDirectly(*full);
    EXPECT_EQ(count("B003"), "2147483647");
    EXPECT_EQ(scalar(S("select count(*) from qd_sys_billpirnt_logs where billno = 'B003'")), "0");
    EXPECT_EQ(m_windowResult, QDialog::Accepted);
}

// The store's switch 3: a printed draft is audited as if 审核 were pressed, after the job.
TEST_F(BillPrint, ADraftIsAuditedAfterItsFirstJobWhenTheStoreSaysSo) {
    auto form = open(S("B001"), S("001"));
    printFromPreview(*form, 2, [this](int job) {
        if (job == 0)
            answerAudit(QDialog::Accepted);
    });
    EXPECT_EQ(m_auditDialogs, 1);
    // The print dialog first, the audit dialog after it; the second job finds the bill audited.
    const QStringList dialogs = dialogsAsked();
    ASSERT_EQ(dialogs.size(), 5);
    EXPECT_EQ(dialogs.at(3), S("单据审核"));
    EXPECT_EQ(scalar(S("select status, version from t_bill where billno = 'B001'")), "1 | 2");
    EXPECT_EQ(scalar(S("select auditstate from qd_sys_billaudit_logs")), S("审核"));
    EXPECT_EQ(count("B001"), "2");
    EXPECT_EQ(form->version, 2);
    EXPECT_EQ(form->cdsMaster.field(S("status")).asInteger(), 1);
}

TEST_F(BillPrint, NoAuditDialogForAnAuditedBillOrWithTheSwitchOff) {
    struct Case {
        const char* bill;
        const char* flag;
    };
    for (const Case c : {Case{"B002", "001"}, Case{"B001", "010"}, Case{"B001", "00"}}) {
        SCOPED_TRACE(std::string(c.bill) + " " + c.flag);
        auto form = open(S(c.bill), S(c.flag));
        prompts().clear();
        printDirectly(*form);
        EXPECT_FALSE(dialogsAsked().contains(S("单据审核")));
        EXPECT_EQ(scalar(S("select count(*) from qd_sys_billaudit_logs")), "0");
    }
    EXPECT_EQ(count("B001"), "2");
    EXPECT_EQ(count("B002"), "1");
}

TEST_F(BillPrint, ACancelledAuditStillLogsTheJob) {
    auto form = open(S("B001"), S("001"));
    printDirectly(*form, [this] { answerAudit(QDialog::Rejected); });
    EXPECT_EQ(m_auditDialogs, 1);
    EXPECT_EQ(scalar(S("select status from t_bill where billno = 'B001'")), "0");
    EXPECT_EQ(logRows(), S("1 | TB | 测试单 | B001 | 5 | 11"));
    EXPECT_EQ(count("B001"), "1");
}

// A refused audit ends that job's bookkeeping, inside the callback: the print window and its
// preview go on as if the job had simply been printed.
TEST_F(BillPrint, ARefusedAuditWritesNothingAndThePrintWindowGoesOn) {
    ASSERT_TRUE(db().execSQL(S("delete from qd_sys_userrights where rightcode = 'TB_04'")));
    auto form = open(S("B001"), S("001"));
    prompts().clear();
    printFromPreview(*form, 2, [this](int) { answerAudit(QDialog::Accepted); });
    EXPECT_EQ(m_auditDialogs, 2);
    EXPECT_EQ(prompts().messages(), QStringList({S(Base::kRefusalText), S(Base::kRefusalText)}));
    EXPECT_EQ(logRows(), QString());
    EXPECT_EQ(count("B001"), "-1");
    EXPECT_TRUE(QFile::exists(pdfPath()));

    // Direct print: the window still closes as printed.
    printDirectly(*form, [this] { answerAudit(QDialog::Accepted); });
    EXPECT_EQ(m_windowResult, QDialog::Accepted);
    EXPECT_EQ(logRows(), QString());

    // Moved by another user while the job printed: reloaded, nothing written.
    grant(11, S("TB_04"));
    const int loads = form->opened.size();
    prompts().clear();
    printDirectly(*form, [this] { bumpVersion("B001"); });
    EXPECT_EQ(prompts().messages(), QStringList{S("当前数据状态已改变，已为您刷新数据，请重试.")});
    EXPECT_EQ(form->opened.size(), loads + 1);
    EXPECT_EQ(logRows(), QString());
    EXPECT_EQ(scalar(S("select status, version from t_bill where billno = 'B001'")), "0 | 2");
    EXPECT_EQ(m_windowResult, QDialog::Accepted);
}

// ---- reprints ------------------------------------------------------------------------------

// A job is a reprint when the log holds the bill or the window printed it already; its pages
// carry the template's stamp, and the preview shows what the next job prints.
TEST_F(BillPrint, AReprintsPagesCarryTheTemplatesStamp) {
    auto form = open(S("B001"));
    QStringList shown;
    whenTheWindowOpens([&](Fr4::TPrinterForm& w) {
        prompts().answerDialog([&](QDialog& d) {
            auto& preview = dynamic_cast<Print::PreviewDialog&>(d);
            for (int job = 0; job < 2; ++job) {
                shown << preview.report().pageText(0);
                prompts().answer(QDialog::Accepted);
                preview.action(S("print"))->trigger();
            }
            shown << preview.report().pageText(0);
            return int(QDialog::Rejected);
        });
        w.actPreview->trigger();
    });
    form->actPrint->trigger();
    ASSERT_EQ(shown.size(), 3);
    EXPECT_FALSE(shown[0].contains(S("重印")));
    EXPECT_EQ(shown[1].count(S("重印")), 1);
    EXPECT_EQ(shown[2].count(S("重印")), 1);
    EXPECT_EQ(count("B001"), "2");

    // A later opening finds the bill in the log: its first job is a reprint.
    auto other = open(S("B003"));
    printDirectly(*other);
    const QString first = Qd::Test::pdfText(pdfPath());
    form->actRef->trigger();
    printDirectly(*form);
    const QString again = Qd::Test::pdfText(pdfPath());
    if (first.isEmpty())
        GTEST_SKIP() << "pdftotext is not installed";
    EXPECT_TRUE(first.contains(S("单号：B003")));
    EXPECT_FALSE(first.contains(S("重印")));
    EXPECT_TRUE(again.contains(S("单号：B001")));
    EXPECT_TRUE(again.contains(S("重印")));
}

// "reprintright": a printed bill needs the reprint right, asked at 打印 and at every later job.
TEST_F(BillPrint, WithTheReprintRightRequiredAPrintedBillPrintsOnceForAClerk) {
    item.setTexts(S(R"({"title": "测试单", "reprintright": "true",
                        "data": {"master": {"tablename": "t_bill"}}})"),
                  QString(), QString());
    auto form = open(S("B001"));
    printDirectly(*form);
    EXPECT_EQ(count("B001"), "1");

    prompts().clear();
    form->actPrint->trigger();
    EXPECT_EQ(prompts().messages(), QStringList{S(Base::kReprintRefusalText)});
    EXPECT_EQ(prompts().last().title, S(Base::kRightsTitle));
    EXPECT_TRUE(dialogsAsked().isEmpty());

    // A bill never printed: its first job prints, the second one of the same preview is refused
    // before its print dialog.
    auto fresh = open(S("B003"));
    prompts().clear();
    whenTheWindowOpens([&](Fr4::TPrinterForm& w) {
        prompts().answerDialog([&](QDialog& d) {
            auto& preview = dynamic_cast<Print::PreviewDialog&>(d);
            prompts().answer(QDialog::Accepted);
            preview.action(S("print"))->trigger();
            preview.action(S("print"))->trigger();
            return int(QDialog::Rejected);
        });
        w.actPreview->trigger();
    });
    fresh->actPrint->trigger();
    EXPECT_EQ(prompts().messages(), QStringList{S(Base::kReprintRefusalText)});
    EXPECT_EQ(prompts().pending(), 0);
    EXPECT_EQ(logRows(), S("1 | TB | 测试单 | B001 | 5 | 11\n1 | TB | 测试单 | B003 | 5 | 11"));

    // The right held: reprinted, logged and counted.
    grant(11, S("TB_062"));
    printDirectly(*form);
    EXPECT_EQ(count("B001"), "2");
}

}  // namespace
