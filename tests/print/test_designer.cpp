// The report designer: a bill template made from nothing through the document and through the
// dialog's own actions, mouse and keys, undo and redo, and what saving and closing ask.
#include <gtest/gtest.h>

#include <QApplication>
#include <QGraphicsSceneMouseEvent>
#include <QGraphicsView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QTreeWidget>

#include "print/designer/Designer.h"
#include "print/designer/DesignerView.h"
#include "print/engine/Engine.h"
#include "support/ScriptedPrompter.h"
#include "ui/editors/Editors.h"

using namespace Qd::Print;
using Qd::Test::ScriptedPrompter;
namespace Ui = Qd::Core::Ui;

namespace {

// A bill: one header row and its lines.
struct BillData {
    MemoryDataset head{{"billno", "khmc"}, {{"D001", QStringLiteral("华信公司")}}};
    MemoryDataset lines{{"xmmc", "je"},
                        {{QStringLiteral("名片"), 120.5}, {QStringLiteral("画册"), 300}}};
    ReportData data;
    BillData() {
        data.addDataset(QStringLiteral("表头数据"), &head);
        data.addDataset(QStringLiteral("明细数据"), &lines);
    }
};

QStringList bandNames(const ReportTemplate& t) {
    QStringList out;
    for (const Band& b : t.bands)
        out << b.name;
    return out;
}

}  // namespace

TEST(DesignerDocument, ABillTemplateMadeFromNothingPrints) {
    BillData bill;
    DesignerDocument doc(ReportTemplate{}, bill.data.datasetNames());
    // Bands go where they print, whatever order they are added in.
    doc.addBand(BandKind::ReportSummary);
    doc.addBand(BandKind::DetailData);
    doc.addBand(BandKind::MasterData);
    doc.addBand(BandKind::PageHeader);
    EXPECT_EQ(bandNames(doc.report()),
              QStringList({"PageHeader1", "MasterData1", "DetailData1", "ReportSummary1"}));
    // Data bands take the datasets in turn, and the template lists them.
    EXPECT_EQ(doc.report().findBand("MasterData1")->dataset, QStringLiteral("明细数据"));
    EXPECT_EQ(doc.report().findBand("DetailData1")->dataset, QStringLiteral("表头数据"));
    doc.change([](ReportTemplate& r) {
        r.findBand("MasterData1")->dataset = QStringLiteral("表头数据");
        r.findBand("DetailData1")->dataset = QStringLiteral("明细数据");
    });

    doc.select("MasterData1");
    ASSERT_TRUE(doc.insertText(QStringLiteral("单号：[表头数据.\"billno\"]")));
    // With the band selected again, the next one goes along the row, after the first.
    doc.select("MasterData1");
    ASSERT_TRUE(doc.insertText(QStringLiteral("[表头数据.\"khmc\"]")));
    EXPECT_EQ(doc.selectedObject()->rectMm.left(), 30);
    doc.select("DetailData1");
    doc.insertText(QStringLiteral("[明细数据.\"xmmc\"]"));
    // A second insertion with the text selected goes into that text.
    doc.insertText(QStringLiteral(" [明细数据.\"je\"]"));
    doc.select("ReportSummary1");
    doc.insertText(QStringLiteral("合计：[SUM([明细数据.\"je\"])]"));
    EXPECT_TRUE(doc.report().validate().empty());

    const PreparedReport out = prepare(doc.report(), bill.data);
    EXPECT_EQ(out.pageText(0), QStringLiteral("单号：D001\n华信公司\n名片 120.5\n画册 300\n"
                                              "合计：420.5"));
}

TEST(DesignerDocument, UndoRedoAndMergedSteps) {
    DesignerDocument doc(ReportTemplate{});
    EXPECT_FALSE(doc.canUndo());
    doc.addBand(BandKind::MasterData);
    const QString memo = doc.addObject(ObjectKind::Text);
    EXPECT_TRUE(doc.isModified());
    // Typing a text character by character is one step to undo.
    for (const char* typed : {"a", "ab", "abc"}) {
        doc.change(
            [&](ReportTemplate& r) {
                std::get<TextObject>(r.findObject(memo)->content).text = typed;
            },
            memo + ".text");
    }
    // A change that changes nothing is no step.
    EXPECT_FALSE(doc.change([](ReportTemplate&) {}));
    ASSERT_TRUE(doc.undo());
    EXPECT_EQ(std::get<TextObject>(doc.report().findObject(memo)->content).text, QString());
    ASSERT_TRUE(doc.undo());
    EXPECT_EQ(doc.report().findObject(memo), nullptr);
    EXPECT_EQ(doc.selectedObject(), nullptr);  // the selection reads as gone
    ASSERT_TRUE(doc.undo());
    EXPECT_FALSE(doc.isModified());
    EXPECT_FALSE(doc.undo());
    ASSERT_TRUE(doc.redo() && doc.redo() && doc.redo());
    EXPECT_EQ(std::get<TextObject>(doc.report().findObject(memo)->content).text, "abc");
    // A new change drops what could be redone.
    doc.undo();
    doc.select("MasterData1");
    doc.removeSelection();
    EXPECT_FALSE(doc.canRedo());
    EXPECT_TRUE(doc.report().bands.empty());
}

TEST(DesignerDocument, GroupFootersPairWithTheNewestHeaderAndObjectsStayInBands) {
    DesignerDocument doc(ReportTemplate{}, {QStringLiteral("d")});
    doc.addBand(BandKind::MasterData);
    doc.addBand(BandKind::GroupHeader);
    doc.addBand(BandKind::GroupFooter);
    doc.addBand(BandKind::GroupHeader);
    doc.addBand(BandKind::GroupFooter);
    // The first footer closes the last (innermost) header.
    EXPECT_EQ(bandNames(doc.report()), QStringList({"GroupHeader1", "GroupHeader2", "MasterData1",
                                                    "GroupFooter2", "GroupFooter1"}));
    doc.select("MasterData1");
    const QString memo = doc.addObject(ObjectKind::Text);
    // Dragged past the band's right and bottom edges: kept inside the band it lands in.
    ASSERT_TRUE(doc.placeObject(memo, "GroupFooter1", QRectF(500, 50, 30, 6)));
    const double width = doc.report().page.printableWidthMm();
    EXPECT_EQ(doc.report().findObject(memo)->rectMm, QRectF(width - 30, 2, 30, 6));
    EXPECT_TRUE(doc.report().findBand("MasterData1")->objects.empty());
    EXPECT_EQ(doc.selectedBandName(), QStringLiteral("GroupFooter1"));
}

// ---- the dialog --------------------------------------------------------------------------------

class Designer : public ::testing::Test {
protected:
    ScriptedPrompter prompts;
    BillData bill;

    // Clicks, drags or releases on the view at a scene point.
    static void mouse(DesignerDialog& d, QEvent::Type type, const QPointF& scenePos,
                      Qt::MouseButtons buttons) {
        QWidget* viewport = d.view()->viewport();
        const QPointF at = d.view()->mapFromScene(scenePos);
        QMouseEvent e(type, at, viewport->mapToGlobal(at), Qt::LeftButton, buttons, Qt::NoModifier);
        QApplication::sendEvent(viewport, &e);
    }
    static void drag(DesignerDialog& d, const QPointF& from, const QPointF& to) {
        mouse(d, QEvent::MouseButtonPress, from, Qt::LeftButton);
        mouse(d, QEvent::MouseMove, (from + to) / 2, Qt::LeftButton);
        mouse(d, QEvent::MouseMove, to, Qt::LeftButton);
        mouse(d, QEvent::MouseButtonRelease, to, Qt::NoButton);
        QCoreApplication::processEvents();
    }
    static void key(DesignerDialog& d, int k, Qt::KeyboardModifiers m = Qt::NoModifier) {
        QKeyEvent e(QEvent::KeyPress, k, m);
        QApplication::sendEvent(d.view(), &e);
    }
    static QTreeWidgetItem* leaf(QTreeWidget* tree, const QString& caption) {
        const auto found = tree->findItems(caption, Qt::MatchExactly | Qt::MatchRecursive);
        return found.isEmpty() ? nullptr : found.first();
    }
};

TEST_F(Designer, BuildsATemplateThroughItsActionsTreeGridMouseAndKeys) {
    DesignerDialog d(ReportTemplate{}, &bill.data);
    d.show();
    d.action("addBand.MasterData")->trigger();
    // The data tree puts a field in with a double-click.
    QTreeWidgetItem* field = leaf(d.dataTree(), "billno");
    ASSERT_NE(field, nullptr);
    emit d.dataTree()->itemDoubleClicked(field, 0);
    const QString memo = d.document().selectedObjectName();
    EXPECT_EQ(std::get<TextObject>(d.document().report().findObject(memo)->content).text,
              QStringLiteral("[表头数据.\"billno\"]"));
    // The property grid edits the selected object; typing is one undo step.
    auto* text = qobject_cast<QPlainTextEdit*>(d.properties()->editor("text"));
    ASSERT_NE(text, nullptr);
    text->setPlainText(QStringLiteral("单号：[表头数据.\"billno\"]"));
    d.properties()->setValue("x", 12.5);  // filled by code: not a user change
    QCoreApplication::processEvents();
    EXPECT_EQ(std::get<TextObject>(d.document().report().findObject(memo)->content).text,
              QStringLiteral("单号：[表头数据.\"billno\"]"));
    EXPECT_EQ(d.document().report().findObject(memo)->rectMm.left(), 0);
    EXPECT_EQ(d.properties()->value("x").toDouble(), 0);  // the grid shows the kept value

    // Dragged 20 mm right and 1 mm down (onto the grid), then nudged with the arrow keys.
    // At twice the real size a pixel is well under the grid step.
    d.view()->setZoom(2);
    const QPointF origin = d.bandOrigin("MasterData1");
    const double k = Internal::kScenePerMm;
    drag(d, origin + QPointF(5, 5) * k, origin + QPointF(25, 6) * k);
    EXPECT_EQ(d.document().report().findObject(memo)->rectMm.topLeft(), QPointF(20, 1));
    EXPECT_EQ(d.properties()->value("x").toDouble(), 20);
    key(d, Qt::Key_Right);
    key(d, Qt::Key_Right);
    key(d, Qt::Key_Down, Qt::ShiftModifier);  // Shift: taller
    EXPECT_EQ(d.document().report().findObject(memo)->rectMm, QRectF(21, 1, 30, 6.5));
    // The band's bottom edge drags its height.
    const double bottom = origin.y() + 8 * k;
    drag(d, QPointF(origin.x() + 150 * k, bottom), QPointF(origin.x() + 150 * k, bottom + 4 * k));
    EXPECT_EQ(d.document().report().findBand("MasterData1")->heightMm, 12);

    d.action("undo")->trigger();  // the height
    d.action("undo")->trigger();  // both nudges and the resize, one step
    EXPECT_EQ(d.document().report().findObject(memo)->rectMm, QRectF(20, 1, 30, 6));
    d.action("redo")->trigger();
    EXPECT_EQ(d.document().report().findObject(memo)->rectMm, QRectF(21, 1, 30, 6.5));

    // A name already used is refused; Delete on the page removes the object.
    d.document().selectObject(memo);
    d.refresh();
    auto* name = qobject_cast<QLineEdit*>(d.properties()->editor("name"));
    name->setText("MasterData1");
    prompts.answer(Ui::mrOk);
    emit name->editingFinished();
    EXPECT_EQ(prompts.last().text, QStringLiteral("名称“MasterData1”已被使用。"));
    EXPECT_NE(d.document().report().findObject(memo), nullptr);
    key(d, Qt::Key_Delete);
    EXPECT_EQ(d.document().report().findObject(memo), nullptr);

    // Fields dropped on a band make a text, dropped on a text go into it.
    d.action("addBand.DetailData")->trigger();
    const QPointF detail = d.bandOrigin("DetailData1");
    ASSERT_TRUE(d.dropText(detail + QPointF(40.2, 1) * k, "[明细数据.\"xmmc\"]"));
    const ReportObject* added = d.document().selectedObject();
    ASSERT_NE(added, nullptr);
    EXPECT_EQ(added->rectMm, QRectF(40, 1, 30, 6));
    d.refresh();
    ASSERT_TRUE(d.dropText(detail + QPointF(45, 3) * k, "[明细数据.\"je\"]"));
    EXPECT_EQ(std::get<TextObject>(d.document().report().findObject(added->name)->content).text,
              "[明细数据.\"xmmc\"][明细数据.\"je\"]");
    // Outside every band's area: nothing is made.
    EXPECT_FALSE(d.dropText(detail - QPointF(0, 300) * k, "[Page#]"));
}

TEST_F(Designer, SavingNamesTheProblemsAndClosingAsksAboutChanges) {
    ReportTemplate report;
    report.name = QStringLiteral("出库单");
    {
        DesignerDialog d(report, &bill.data);
        d.action("addBand.MasterData")->trigger();
        d.document().insertText(QStringLiteral("[表头数据.\"billno\""));
        prompts.answer(Ui::mrNo);
        EXPECT_FALSE(d.save());
        EXPECT_TRUE(prompts.last().text.startsWith(QStringLiteral("模板有以下问题：\nMemo1：")))
            << prompts.last().text.toStdString();
        EXPECT_FALSE(d.wasSaved());
        // Closing with changes: 否 leaves without saving.
        prompts.answer(Ui::mrNo);
        d.action("close")->trigger();
        EXPECT_EQ(prompts.last().text, QStringLiteral("模板已修改，是否保存？"));
        EXPECT_FALSE(d.wasSaved());
    }
    // Through designTemplate: changes, 是 to saving on close, and the caller gets them.
    prompts.answerDialog([](QDialog& dialog) {
        auto& d = static_cast<DesignerDialog&>(dialog);
        d.action("addBand.PageFooter")->trigger();
        d.document().insertText("[Page#]");
        dialog.reject();
        return int(QDialog::Rejected);
    });
    prompts.answer(Ui::mrYes);
    EXPECT_TRUE(designTemplate(report, &bill.data));
    ASSERT_EQ(report.bands.size(), 1u);
    EXPECT_EQ(report.name, QStringLiteral("出库单"));
    EXPECT_EQ(std::get<TextObject>(report.bands[0].objects[0].content).text, "[Page#]");
    // Closed unchanged: no question, nothing saved.
    prompts.answerDialog([](QDialog& dialog) {
        dialog.reject();
        return int(QDialog::Rejected);
    });
    const ReportTemplate before = report;
    EXPECT_FALSE(designTemplate(report, &bill.data));
    EXPECT_EQ(report, before);
    EXPECT_EQ(prompts.pending(), 0);
}

TEST_F(Designer, TheReprintStampIsEditedWithTheReportsProperties) {
    DesignerDialog d(ReportTemplate{}, &bill.data);
    d.document().select(QString());
    d.refresh();
    auto* stamp = qobject_cast<QLineEdit*>(d.properties()->editor("reprintStamp"));
    ASSERT_NE(stamp, nullptr);
    stamp->setText(QStringLiteral("重印"));
    emit stamp->editingFinished();
    EXPECT_EQ(d.document().report().reprintStamp, QStringLiteral("重印"));
}
