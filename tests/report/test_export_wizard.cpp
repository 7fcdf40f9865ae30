// The export wizard on a grid of the demo's order lines (订单明细表): the pages each source
// visits, the field list built once from the grid's columns, the preview and the written file
// following the list, and the save question with its proposed name, filter and extension.
#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <QHeaderView>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QStandardPaths>

#include "app/DemoSession.h"
#include "report/uDataset2ExcelWizardForm.h"
#include "support/Render.h"
#include "ui/grid/Grid.h"

using namespace Qd::Core;
using Report::Tdataset2excelwizardform;
using Button = Ui::WizardControl::Button;

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
            "select d.billno, m.billdate, kh.name as kh_name, d.gcxmmc, d.itemno, d.baseunit, "
            "d.sl, d.dj, d.je, d.beizhu from qd_x_xmzzk_mx d join qd_x_xmzzk m on m.orgid = "
            "d.orgid and m.billno = d.billno left join qd_b_khbmk kh on kh.id = m.kh_id "
            "where d.orgid = 1 order by d.billno, d.id"));
        lines.fieldDef(lines.fieldIndex("beizhu")).displayLabel = QStringLiteral("备注");
        // The report's banded view: every field but beizhu has a column, baseunit's is hidden.
        view = grid.addLevel("cxgMainDBBandedTableView1");
        const int order = view->addBand(QStringLiteral("订单"));
        const int line = view->addBand(QStringLiteral("明细"));
        const struct {
            const char* field;
            const char* caption;
            int width;
            int band;
        } columns[] = {{"billno", "单号", 110, order},  {"billdate", "日期", 90, order},
                       {"kh_name", "客户", 150, order}, {"gcxmmc", "项目名称", 120, line},
                       {"itemno", "规格", 140, line},   {"baseunit", "单位", 60, line},
                       {"sl", "数量", 70, line},        {"dj", "单价", 80, line},
                       {"je", "金额", 90, line}};
        for (const auto& c : columns)
            view->addFieldColumn(c.field, QString::fromUtf8(c.caption), c.width)->band = c.band;
        view->columnByField("baseunit")->visible = false;
        view->setRecordSet(&lines);
        view->applyColumns();
    }
    void TearDown() override {
        view->setRecordSet(nullptr);
        DemoSession::TearDown();
    }

    // The field list, one "id fieldname caption length" text per row, ending in "+" when checked.
    static QStringList listRows(const Tdataset2excelwizardform& w) {
        QStringList rows;
        const Db::RecordSet& md = w.mdColumns;
        const int checked = md.fieldIndex("checked");
        for (int i = 0; i < md.recordCount(); ++i) {
            QStringList values;
            for (const char* f : {"id", "fieldname", "caption", "length"})
                values << md.textAt(md.rowAt(i), md.fieldIndex(f));
            rows << values.join(u' ') + (md.intAt(md.rowAt(i), checked) ? " +" : "");
        }
        return rows;
    }
    // The preview's columns as "caption:field:width".
    static QStringList previewColumns(const Tdataset2excelwizardform& w) {
        QStringList out;
        for (const Ui::GridColumn* c : w.cxgPreviewView->columns())
            out << QStringLiteral("%1:%2:%3").arg(c->caption, c->fieldName).arg(c->width);
        return out;
    }
    // Sets a field of the list row of `fieldname`, as an edit in the grid does.
    static void editRow(Tdataset2excelwizardform& w, const char* fieldname, const char* field,
                        const QVariant& value) {
        ASSERT_TRUE(w.mdColumns.locate("fieldname", fieldname));
        w.mdColumns.edit();
        w.mdColumns.field(field).setValue(value);  // left in edit: the preview posts it
    }
    static void press(Tdataset2excelwizardform& w, Button b) { w.dxWizardControl1->click(b); }
    static void fromDataSet(Tdataset2excelwizardform& w) { w.rbFromDataSet->setChecked(true); }
    void chooseFormat(Tdataset2excelwizardform& w, int index) {
        w.rbFormats[index]->setChecked(true);
    }

    Db::RecordSet lines;
    Ui::Grid grid{"cxgMain"};
    Ui::GridView* view = nullptr;
    const QString title = QStringLiteral("订单明细表");
};

TEST_F(ExportWizard, FromTheGridGoesStraightToTheFormatsAndBack) {
    Tdataset2excelwizardform w(nullptr, &grid, title);
    EXPECT_EQ(w.windowTitle(), QStringLiteral("导出向导"));
    EXPECT_EQ(w.FDataSet, &lines);
    EXPECT_TRUE(w.rbFromGrid->isChecked());
    QStringList formats;
    for (const QRadioButton* rb : w.rbFormats)
        formats << rb->text() + (rb->isChecked() ? "*" : "");
    EXPECT_EQ(formats, (QStringList{"Microsoft Excel 97-2003 工作表 (.xls)",
                                    "Microsoft Excel 工作表 (.xlsx)*", "CSV文件 (.csv)",
                                    "网页格式 (.html)"}));

    press(w, Button::Next);
    EXPECT_EQ(w.dxWizardControl1->activePageIndex(), Tdataset2excelwizardform::pgFormat);
    EXPECT_EQ(w.exportSource(), view);
    press(w, Button::Back);
    EXPECT_EQ(w.dxWizardControl1->activePageIndex(), Tdataset2excelwizardform::pgSource);
    EXPECT_FALSE(w.FColumnsBuilt);

    // Switching the source counts at the next button, both ways.
    fromDataSet(w);
    press(w, Button::Next);
    EXPECT_EQ(w.dxWizardControl1->activePageIndex(), Tdataset2excelwizardform::pgColumns);
    press(w, Button::Back);
    w.rbFromGrid->setChecked(true);
    press(w, Button::Next);
    EXPECT_EQ(w.dxWizardControl1->activePageIndex(), Tdataset2excelwizardform::pgFormat);

    press(w, Button::Cancel);
    EXPECT_EQ(w.result(), QDialog::Rejected);
    EXPECT_TRUE(prompts.asked().empty());
}

TEST_F(ExportWizard, FieldListIsBuiltOnceAndThePreviewOnEveryEntry) {
    Tdataset2excelwizardform w(nullptr, &grid, title);
    Qd::Test::keepRender(w, "export_wizard_page0.png");
    fromDataSet(w);
    press(w, Button::Next);
    ASSERT_EQ(w.dxWizardControl1->activePageIndex(), Tdataset2excelwizardform::pgColumns);
    // Shown columns checked with the grid's titles and widths; the hidden column keeps its
    // caption, unchecked; the field without a column has its own label and the default width.
    EXPECT_EQ(
        listRows(w),
        (QStringList{"1 billno 单号 110 +", "2 billdate 日期 90 +", "3 kh_name 客户 150 +",
                     "4 gcxmmc 项目名称 120 +", "5 itemno 规格 140 +", "6 baseunit 单位 60",
                     "7 sl 数量 70 +", "8 dj 单价 80 +", "9 je 金额 90 +", "10 beizhu 备注 100"}));
    // Only the title and the choice are edited in the list.
    QStringList editable;
    for (const Ui::GridColumn* c : w.cxgColumnsView->columns())
        if (c->editing)
            editable << c->caption;
    EXPECT_EQ(editable, (QStringList{"标题", "选择"}));
    Qd::Test::keepRender(w, "export_wizard_page1.png");

    editRow(w, "gcxmmc", "caption", "品名");
    w.mdColumns.post();
    editRow(w, "itemno", "checked", false);
    press(w, Button::Next);
    ASSERT_EQ(w.dxWizardControl1->activePageIndex(), Tdataset2excelwizardform::pgPreview);
    EXPECT_EQ(previewColumns(w),
              (QStringList{"单号:billno:110", "日期:billdate:90", "客户:kh_name:150",
                           "品名:gcxmmc:120", "数量:sl:70", "单价:dj:80", "金额:je:90"}));
    // The caller's record set, read only and never sorted from here.
    EXPECT_EQ(w.cxgPreviewView->recordSet(), &lines);
    EXPECT_EQ(w.cxgPreviewView->editTriggers(), QAbstractItemView::NoEditTriggers);
    EXPECT_FALSE(w.cxgPreviewView->horizontalHeader()->sectionsClickable());
    Qd::Test::keepRender(w, "export_wizard_page2.png");

    press(w, Button::Next);
    EXPECT_EQ(w.dxWizardControl1->activePageIndex(), Tdataset2excelwizardform::pgFormat);
    EXPECT_EQ(w.exportSource(), w.cxgPreviewView);
    Qd::Test::keepRender(w, "export_wizard_page3.png");

    // Back to the start and in again: the user's edits survive, the preview follows new ones.
    press(w, Button::Back);
    press(w, Button::Back);
    press(w, Button::Back);
    ASSERT_EQ(w.dxWizardControl1->activePageIndex(), Tdataset2excelwizardform::pgSource);
    press(w, Button::Next);
    EXPECT_TRUE(listRows(w).contains("4 gcxmmc 品名 120 +"));
    EXPECT_TRUE(listRows(w).contains("5 itemno 规格 140"));
    editRow(w, "beizhu", "checked", true);
    editRow(w, "billno", "checked", false);
    press(w, Button::Next);
    EXPECT_EQ(previewColumns(w).first(), "日期:billdate:90");
    EXPECT_EQ(previewColumns(w).last(), "备注:beizhu:100");
    EXPECT_TRUE(prompts.asked().empty());
}

TEST_F(ExportWizard, RenamedTitleReachesTheWrittenFile) {
    if (QStandardPaths::findExecutable("unzip").isEmpty())
        GTEST_SKIP() << "unzip is not installed";
    Tdataset2excelwizardform w(nullptr, &grid, title);
    const QString chosen = dir.filePath("明细");
    prompts.answerDialog([&](QDialog&) {
        fromDataSet(w);
        press(w, Button::Next);
        editRow(w, "gcxmmc", "caption", "品名");
        press(w, Button::Next);
        press(w, Button::Next);
        press(w, Button::Finish);
        return w.result();
    });
    prompts.answerText(chosen);
    prompts.answer(Ui::mrOk);
    EXPECT_EQ(Ui::prompter().exec(w), QDialog::Accepted);
    EXPECT_EQ(prompts.last().text, QStringLiteral("导出成功"));
    EXPECT_EQ(prompts.last().title, QStringLiteral("提示"));
    EXPECT_EQ(prompts.last().kind, int(Ui::MsgKind::Information));

    // The extension the chosen name lacked was added; the header has the title as renamed.
    const QString sheet = sheetXml(chosen + ".xlsx");
    EXPECT_TRUE(sheet.contains(QStringLiteral("品名")));
    EXPECT_FALSE(sheet.contains(QStringLiteral("项目名称")));
    EXPECT_TRUE(sheet.contains(QStringLiteral("户外喷绘布")));
    EXPECT_FALSE(sheet.contains(QStringLiteral("单位")));  // its column is hidden in the grid
}

TEST_F(ExportWizard, CheckingAllOrNoneAndExportingNothingChecked) {
    if (QStandardPaths::findExecutable("unzip").isEmpty())
        GTEST_SKIP() << "unzip is not installed";
    Tdataset2excelwizardform w(nullptr, &grid, title);
    fromDataSet(w);
    press(w, Button::Next);
    w.btnSelectAll->click();
    EXPECT_EQ(listRows(w).filter(QRegularExpression(" \\+$")).size(), lines.fieldCount());
    w.btnSelectNone->click();
    EXPECT_TRUE(listRows(w).filter(QRegularExpression(" \\+$")).isEmpty());
    EXPECT_EQ(w.mdColumns.recordCount(), lines.fieldCount());
    press(w, Button::Next);
    EXPECT_TRUE(previewColumns(w).isEmpty());
    press(w, Button::Next);
    prompts.answerText(dir.filePath("空.xlsx"));
    prompts.answer(Ui::mrOk);
    press(w, Button::Finish);
    EXPECT_EQ(w.result(), QDialog::Accepted);
    const QString sheet = sheetXml(dir.filePath("空.xlsx"));
    EXPECT_FALSE(sheet.isEmpty());
    EXPECT_FALSE(sheet.contains("<c "));  // no cell: no header, no data
}

TEST_F(ExportWizard, SaveQuestionForEachFormatAndCancellingIt) {
    // A date format with "/" gives "-" in the name; a "/" in the title is no folder either.
    sys->settings().dateFormat = QStringLiteral("yyyy/MM/dd");
    const QString today = QDate::currentDate().toString("yyyy-MM-dd");
    EXPECT_EQ(Tdataset2excelwizardform::proposedFileName("收/付", QDate(2026, 1, 2)),
              QStringLiteral("收_付_2026-01-02"));

    Tdataset2excelwizardform w(nullptr, &grid, title);
    press(w, Button::Next);
    const QStringList expected[] = {
        {"Microsoft Excel 97-2003 工作表 (.xls) (*.xls)", "xls"},
        {"Microsoft Excel 工作表 (.xlsx) (*.xlsx)", "xlsx"},
        {"CSV文件 (.csv) (*.csv)", "csv"},
        {"网页格式 (.html) (*.html)", "html"},
    };
    for (int i = 0; i < 4; ++i) {
        chooseFormat(w, i);
        prompts.answerText(QString());  // cancelled
        press(w, Button::Finish);
        ASSERT_EQ(prompts.asked().size(), std::size_t(i + 1));
        const auto& q = prompts.last();
        EXPECT_EQ(q.what, "save");
        EXPECT_EQ(q.text, title + "_" + today);
        EXPECT_EQ(q.filter, expected[i][0]);
        EXPECT_EQ(q.suffix, expected[i][1]);
    }
    // Nothing written, no message, still open on the format page.
    EXPECT_TRUE(prompts.messages().isEmpty());
    EXPECT_TRUE(QDir(dir.path()).entryList({"订单明细表*"}).isEmpty());
    EXPECT_NE(w.result(), QDialog::Accepted);
    EXPECT_EQ(w.dxWizardControl1->activePageIndex(), Tdataset2excelwizardform::pgFormat);
}

TEST_F(ExportWizard, FailedExportShowsTheReasonAndStaysOpen) {
    Tdataset2excelwizardform w(nullptr, &grid, title);
    press(w, Button::Next);
    const QString target = dir.filePath("无此目录/明细.xlsx");
    prompts.answerText(target);
    prompts.answer(Ui::mrOk);
    press(w, Button::Finish);
    ASSERT_EQ(prompts.messages().size(), 1);
    EXPECT_TRUE(prompts.last().text.startsWith(QStringLiteral("导出失败：")));
    EXPECT_EQ(prompts.last().kind, int(Ui::MsgKind::Error));
    EXPECT_NE(w.result(), QDialog::Accepted);
    EXPECT_FALSE(QFileInfo::exists(target));
}

TEST_F(ExportWizard, ClosedRecordSetIsNoSource) {
    lines.close();
    Tdataset2excelwizardform w(nullptr, &grid, title);
    fromDataSet(w);
    prompts.answer(Ui::mrOk);
    press(w, Button::Next);
    EXPECT_EQ(prompts.messages(), QStringList{"无效数据源"});
    EXPECT_EQ(prompts.last().title, QStringLiteral("提示"));
    EXPECT_EQ(prompts.last().kind, int(Ui::MsgKind::Error));
    // The list is still made from the fields.
    EXPECT_EQ(w.mdColumns.recordCount(), lines.fieldCount());
    press(w, Button::Next);
    press(w, Button::Next);
    prompts.answer(Ui::mrOk);
    press(w, Button::Finish);
    EXPECT_EQ(prompts.messages(), (QStringList{"无效数据源", "无效数据源"}));
    EXPECT_NE(w.result(), QDialog::Accepted);
}

}  // namespace
