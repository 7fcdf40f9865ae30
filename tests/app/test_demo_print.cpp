// The demo's print templates, stored in the demo database, printed with the demo's data: a
// golden test renders the item list to PDF, turns page 1 into a PNG with pdftoppm and compares
// it with the committed image (tests/app/golden/), within a small tolerance.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QImage>
#include <QProcess>
#include <QStandardPaths>
#include <QTreeWidget>

#include "DemoSession.h"
#include "print/designer/Designer.h"
#include "print/designer/DesignerView.h"
#include "print/engine/Engine.h"
#include "print/engine/Expression.h"
#include "print/engine/Render.h"
#include "print/engine/TemplateFile.h"
#include "print/uDataSetCollection.h"
#include "support/Render.h"

using namespace Qd::Core;
namespace Print = Qd::Print;

namespace {

// The share of pixels whose grey differs by more than a quarter between two images.
double differing(const QImage& a, const QImage& b) {
    if (a.size() != b.size())
        return 1.0;
    qint64 n = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            n += std::abs(qGray(a.pixel(x, y)) - qGray(b.pixel(x, y))) > 64;
    return double(n) / (a.width() * a.height());
}

}  // namespace

using DemoPrint = Qd::Test::DemoSession;

TEST_F(DemoPrint, ItemListMatchesItsGoldenPage) {
    const QString pdftoppm = QStandardPaths::findExecutable("pdftoppm");
    if (pdftoppm.isEmpty())
        GTEST_SKIP() << "pdftoppm is not installed";

    Db::DataPacket file =
        demo->query("select docfile from qd_sys_printdocs where modulecode = 'XM' and code = '01'");
    ASSERT_EQ(file.recordCount(), 1);
    Print::ReportTemplate tmpl = Print::TemplateFile::fromBytes(file.field(0).asBytes(), "XM");
    Db::RecordSet items;
    items.setData(
        demo->query("select code, name, itemno, baseunit, dj from qd_b_xmbmk order by code"));
    Fr4::TDataSetCollection collection;
    collection.Add() =
        Fr4::TDataSetCollectionItem(&collection, QStringLiteral("列表"), "XM", &items);
    Fr4::PrintData print(collection);
    print._AddUserFunc();
    print._AddVariables(tmpl);
    const Print::PreparedReport report = Print::prepare(tmpl, print.data());
    EXPECT_TRUE(report.pageText(0).contains(QStringLiteral("京华印务连锁有限公司 项目清单")));
    EXPECT_TRUE(report.pageText(0).contains(QStringLiteral("共 12 项")));

    const QString pdf = dir.filePath("items.pdf");
    ASSERT_TRUE(Print::toPdf(report, pdf, QDateTime(QDate(2026, 1, 1), QTime(0, 0), Qt::UTC)));
    QProcess p;
    p.start(pdftoppm,
            {"-png", "-r", "40", "-f", "1", "-l", "1", "-singlefile", pdf, dir.filePath("page")});
    ASSERT_TRUE(p.waitForFinished(30000));
    const QImage page(dir.filePath("page.png"));
    ASSERT_FALSE(page.isNull());
    const QString golden = QStringLiteral(QD_GOLDEN_DIR "/demo-items-page1.png");
    if (!qEnvironmentVariableIsEmpty("QD_UPDATE_GOLDEN"))
        page.save(golden);
    const QImage expected(golden);
    ASSERT_FALSE(expected.isNull()) << "missing " << golden.toStdString();
    EXPECT_LT(differing(page, expected), 0.01);

    // The order: its header, its lines and the total in capitals.
    Db::DataPacket order = demo->query(
        "select docfile from qd_sys_printdocs where modulecode = 'XMZZK' and code = '01'");
    Print::ReportTemplate bill = Print::TemplateFile::fromBytes(order.field(0).asBytes(), "XMZZK");
    Db::RecordSet head, lines;
    head.setData(demo->query("select billno, billdate, je from qd_x_xmzzk where id = 1"));
    lines.setData(
        demo->query("select gcxmmc, sl, dj, je from qd_x_xmzzk_mx "
                    "where billno = (select billno from qd_x_xmzzk where id = 1)"));
    Fr4::TDataSetCollection billSets;
    billSets.Add() =
        Fr4::TDataSetCollectionItem(&billSets, QStringLiteral("表头数据"), "XMZZK", &head);
    billSets.Add() =
        Fr4::TDataSetCollectionItem(&billSets, QStringLiteral("明细数据"), "XMZZK", &lines);
    Fr4::PrintData billPrint(billSets);
    billPrint._AddUserFunc();
    billPrint._AddVariables(bill);
    const QString text = Print::prepare(bill, billPrint.data()).pageText(0);
    EXPECT_TRUE(text.contains(QStringLiteral("单号：") + head.field("billno").asString()))
        << text.toStdString();
    EXPECT_TRUE(
        text.contains(QStringLiteral("大写：") + Print::MoneyCn(head.field("je").asFloat())))
        << text.toStdString();

    // The designer opens the bill with its fields and functions to put in, every object drawn.
    Print::DesignerDialog designer(bill, &billPrint.data());
    designer.resize(1280, 800);
    designer.show();
    const QTreeWidget* tree = designer.dataTree();
    EXPECT_FALSE(tree->findItems("gcxmmc", Qt::MatchExactly | Qt::MatchRecursive).isEmpty());
    EXPECT_FALSE(tree->findItems("MoneyCn", Qt::MatchExactly | Qt::MatchRecursive).isEmpty());
    int objects = 0;
    for (const Print::Band& band : bill.bands)
        objects += int(band.objects.size());
    int drawn = 0;
    for (QGraphicsItem* item : designer.scene()->items())
        drawn += dynamic_cast<Print::Internal::ObjectItem*>(item) != nullptr;
    EXPECT_EQ(drawn, objects);
    designer.document().selectObject(bill.bands.back().objects.front().name);
    designer.refresh();
    QCoreApplication::processEvents();
    Qd::Test::keepRender(designer, "designer-order.png");
}
