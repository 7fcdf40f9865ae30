// The export wizard on a banded grid of the demo's order lines (订单明细表): the pages each
// source visits, the field list built once from the grid's columns, the preview and the written
// file following it, and the save question with its proposed name, filter and extension.
#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <QHeaderView>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>

#include "app/DemoSession.h"
#include "report/uDataset2ExcelWizardForm.h"
#include "support/Render.h"
#include "ui/export/ExportProgress.h"
#include "ui/grid/Grid.h"

using namespace Qd::Core;
using Report::Tdataset2excelwizardform;
using Button = Ui::WizardControl::Button;
using Wizard = Tdataset2excelwizardform;

namespace {

QString sheetXml(const QString& xlsx) {
    QProcess p;
    p.start(QStringLiteral("unzip"), {"-p", xlsx, "xl/worksheets/sheet1.xml"});
    p.waitForFinished(30000);
    return QString::fromUtf8(p.readAllStandardOutput());
}

class ExportWizard : public Qd::Test::DemoSession {
protected:
    void SetUp() override {
        DemoSession::SetUp();
        ASSERT_TRUE(demo->openDataToCDS(
            lines,
            "select d.billno, m.billdate, k.name as kh_name, d.gcxmmc, d.itemno, "
            "d.baseunit, d.sl, d.je, d.beizhu from qd_x_xmzzk_mx d join qd_x_xmzzk m on "
            "m.orgid = d.orgid and m.billno = d.billno left join qd_b_khbmk k on k.id = "
            "m.kh_id where d.orgid = 1 order by d.billno, d.id"));
        lines.fieldDef(lines.fieldIndex("beizhu")).displayLabel = QStringLiteral("备注");
        // Every field but beizhu has a column; baseunit's is hidden.
        const int band = view->addBand(QStringLiteral("订单"));
        for (auto [field, caption, width] : {std::tuple{"billno", "单号", 110},
                                             {"billdate", "日期", 90},
                                             {"kh_name", "客户", 150},
                                             {"gcxmmc", "项目名称", 120},
                                             {"itemno", "规格", 140},
                                             {"baseunit", "单位", 60},
                                             {"sl", "数量", 70},
                                             {"je", "金额", 90}})
            view->addFieldColumn(field, QString::fromUtf8(caption), width)->band = band;
        view->columnByField("baseunit")->visible = false;
        view->setRecordSet(&lines);
        view->applyColumns();
        w = std::make_unique<Wizard>(nullptr, &grid, QStringLiteral("订单明细表"));
    }
    void TearDown() override {
        w.reset();
        view->setRecordSet(nullptr);
        DemoSession::TearDown();
    }

    void press(Button b) { w->dxWizardControl1->click(b); }
    int page() const { return w->dxWizardControl1->activePageIndex(); }
    // The field list, one "id fieldname caption length" per row, with " +" when checked.
    QStringList listRows() const {
        QStringList rows;
        const Db::RecordSet& md = w->mdColumns;
        for (int i = 0; i < md.recordCount(); ++i) {
            const std::uint32_t r = md.rowAt(i);
            rows << QStringLiteral("%1 %2 %3 %4")
                            .arg(md.textAt(r, 0), md.textAt(r, 1), md.textAt(r, 2),
                                 md.textAt(r, 3)) +
                        (md.intAt(r, 4) ? " +" : "");
        }
        return rows;
    }
    // The preview's columns as "caption:field:width".
    QStringList previewColumns() const {
        QStringList out;
        for (const Ui::GridColumn* c : w->cxgPreviewView->columns())
            out << QStringLiteral("%1:%2:%3").arg(c->caption, c->fieldName).arg(c->width);
        return out;
    }
    // Sets a field of the list row of `fieldname` as the grid's editor does, leaving it in edit.
    void editRow(const char* fieldname, const char* field, const QVariant& value) {
        ASSERT_TRUE(w->mdColumns.locate("fieldname", fieldname));
        w->mdColumns.edit();
        w->mdColumns.field(field).setValue(value);
    }

    Db::RecordSet lines;
    Ui::Grid grid{"cxgMain"};
    Ui::GridView* view = grid.addLevel("cxgMainDBBandedTableView1");
    std::unique_ptr<Wizard> w;
};

TEST_F(ExportWizard, EachSourceVisitsItsPagesAndCancelCloses) {
    EXPECT_EQ(w->FDataSet, &lines);
    press(Button::Next);
    EXPECT_EQ(page(), Wizard::pgFormat);
    EXPECT_EQ(w->exportSource(), view);
    press(Button::Back);
    EXPECT_EQ(page(), Wizard::pgSource);
    // The source chosen counts at the next button, both ways.
    w->rbFromDataSet->setChecked(true);
    press(Button::Next);
    EXPECT_EQ(page(), Wizard::pgColumns);
    press(Button::Back);
    w->rbFromGrid->setChecked(true);
    press(Button::Next);
    EXPECT_EQ(page(), Wizard::pgFormat);
    press(Button::Cancel);
    EXPECT_EQ(w->result(), QDialog::Rejected);
}

TEST_F(ExportWizard, FieldListIsBuiltOnceAndThePreviewOnEveryEntry) {
    w->rbFromDataSet->setChecked(true);
    press(Button::Next);
    // The grid's titles and widths; a hidden column's caption unchecked; a field without a
    // column with its own label and the default width, unchecked.
    EXPECT_EQ(listRows(),
              (QStringList{"1 billno 单号 110 +", "2 billdate 日期 90 +", "3 kh_name 客户 150 +",
                           "4 gcxmmc 项目名称 120 +", "5 itemno 规格 140 +", "6 baseunit 单位 60",
                           "7 sl 数量 70 +", "8 je 金额 90 +", "9 beizhu 备注 100"}));
    editRow("gcxmmc", "caption", "品名");
    w->mdColumns.post();
    editRow("itemno", "checked", false);
    press(Button::Next);
    EXPECT_EQ(previewColumns(),
              (QStringList{"单号:billno:110", "日期:billdate:90", "客户:kh_name:150",
                           "品名:gcxmmc:120", "数量:sl:70", "金额:je:90"}));
    // The caller's record set, neither edited nor sorted from here.
    EXPECT_EQ(w->cxgPreviewView->recordSet(), &lines);
    EXPECT_EQ(w->cxgPreviewView->editTriggers(), QAbstractItemView::NoEditTriggers);
    EXPECT_FALSE(w->cxgPreviewView->horizontalHeader()->sectionsClickable());
    Qd::Test::keepRender(*w, "export_wizard_page2.png");
    press(Button::Next);
    EXPECT_EQ(w->exportSource(), w->cxgPreviewView);

    // Back to the start and in again: the edits survive, the preview follows new ones.
    for (Button b : {Button::Back, Button::Back, Button::Back, Button::Next})
        press(b);
    EXPECT_TRUE(listRows().contains("4 gcxmmc 品名 120 +") &&
                listRows().contains("5 itemno 规格 140"));
    editRow("beizhu", "checked", true);
    press(Button::Next);
    EXPECT_EQ(previewColumns().last(), "备注:beizhu:100");
    press(Button::Back);
    w->btnSelectAll->click();  // 全部取消 below, on the way to an empty file
    press(Button::Next);
    EXPECT_EQ(previewColumns().size(), lines.fieldCount());
    EXPECT_TRUE(prompts.asked().empty());
}

TEST_F(ExportWizard, WrittenFileHasTheRenamedTitleOrNothingChecked) {
    const QString named = dir.filePath("明细"), empty = dir.filePath("空.xlsx");
    prompts.answerDialog([&](QDialog&) {
        w->rbFromDataSet->setChecked(true);
        press(Button::Next);
        editRow("gcxmmc", "caption", "品名");
        press(Button::Next);
        press(Button::Next);
        press(Button::Finish);
        return w->result();
    });
    prompts.answerText(named);
    prompts.answer(Ui::mrOk);
    EXPECT_EQ(Ui::prompter().exec(*w), QDialog::Accepted);
    EXPECT_EQ(prompts.last().text + prompts.last().title, "导出成功提示");
    EXPECT_EQ(prompts.last().kind, int(Ui::MsgKind::Information));
    // The extension the name lacked was added; the header has the title as renamed.
    const QString sheet = sheetXml(named + ".xlsx");
    EXPECT_TRUE(sheet.contains("品名") && sheet.contains("户外喷绘布"));
    EXPECT_FALSE(sheet.contains("项目名称") || sheet.contains("单位"));

    for (Button b : {Button::Back, Button::Back})
        press(b);
    w->btnSelectNone->click();
    press(Button::Next);
    press(Button::Next);
    prompts.answerText(empty);
    prompts.answer(Ui::mrOk);
    press(Button::Finish);
    EXPECT_TRUE(sheetXml(empty).contains("<sheetData") && !sheetXml(empty).contains("<c "));
}

TEST_F(ExportWizard, SaveQuestionForEachFormatCancelledOrFailing) {
    sys->settings().dateFormat = QStringLiteral("yyyy/MM/dd");
    EXPECT_EQ(Wizard::proposedFileName("收/付", QDate(2026, 1, 2)), "收_付_2026-01-02");
    press(Button::Next);
    const char* expected[][2] = {{"Microsoft Excel 97-2003 工作表 (.xls) (*.xls)", "xls"},
                                 {"Microsoft Excel 工作表 (.xlsx) (*.xlsx)", "xlsx"},
                                 {"CSV文件 (.csv) (*.csv)", "csv"},
                                 {"网页格式 (.html) (*.html)", "html"}};
    for (int i = 0; i < 4; ++i) {
        w->rbFormats[i]->setChecked(true);
        prompts.answerText(QString());  // cancelled: nothing written, no message, stays
        press(Button::Finish);
        EXPECT_EQ(prompts.last().text, "订单明细表_" + QDate::currentDate().toString("yyyy-MM-dd"));
        EXPECT_EQ(prompts.last().filter + " " + prompts.last().suffix,
                  QString::fromUtf8(expected[i][0]) + " " + expected[i][1]);
    }
    EXPECT_EQ(prompts.asked().size(), 4u);
    EXPECT_TRUE(QDir(dir.path()).entryList({"订单明细表*"}).isEmpty());

    w->rbFormats[1]->setChecked(true);
    prompts.answerText(dir.filePath("无此目录/明细.xlsx"));
    prompts.answer(Ui::mrOk);
    press(Button::Finish);
    EXPECT_EQ(prompts.messages().size(), 1);
    EXPECT_TRUE(prompts.last().text.startsWith("导出失败："));
    EXPECT_EQ(prompts.last().kind, int(Ui::MsgKind::Error));
    EXPECT_EQ(page(), Wizard::pgFormat);
    EXPECT_NE(w->result(), QDialog::Accepted);
}

TEST_F(ExportWizard, ClosedRecordSetIsNoSource) {
    lines.close();
    w->rbFromDataSet->setChecked(true);
    prompts.answer(Ui::mrOk);
    press(Button::Next);
    EXPECT_EQ(w->mdColumns.recordCount(), lines.fieldCount());  // still listed
    for (Button b : {Button::Next, Button::Next})
        press(b);
    prompts.answer(Ui::mrOk);
    press(Button::Finish);  // no save question
    EXPECT_EQ(prompts.messages(), (QStringList{"无效数据源", "无效数据源"}));
    EXPECT_EQ(prompts.last().title, "提示");
    EXPECT_EQ(prompts.last().kind, int(Ui::MsgKind::Error));
    EXPECT_NE(w->result(), QDialog::Accepted);
}

}  // namespace

// Cancelled while the file is written: back on the format page, no file and no message.
TEST_F(ExportWizard, CancelledWhileWritingLeavesNoFileAndStays) {
    for (int i = 0; i < 600; ++i) {  // enough rows for the export to ask its progress
        lines.append();
        lines.field("billno").setValue(QStringLiteral("X%1").arg(i));
        lines.post();
    }
    struct CancelAtOnce : Ui::IExportProgress {
        int asked = 0;
        void begin(const QString&, int) override {}
        bool advance(int) override {
            ++asked;
            return false;
        }
        void end() override {}
    } cancel;
    Ui::IExportProgress* before = Ui::setExportProgress(&cancel);
    press(Button::Next);
    w->rbFormats[2]->setChecked(true);
    const QString target = dir.filePath("明细.csv");
    prompts.answerText(target);
    press(Button::Finish);
    Ui::setExportProgress(before);
    EXPECT_EQ(cancel.asked, 1);
    EXPECT_TRUE(QDir(dir.path())
                    .entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot)
                    .filter(QStringLiteral("明细"))
                    .isEmpty());
    EXPECT_TRUE(prompts.messages().isEmpty());
    EXPECT_EQ(page(), Wizard::pgFormat);
    EXPECT_NE(w->result(), QDialog::Accepted);
}
