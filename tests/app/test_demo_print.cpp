// The demo's print templates, stored in the demo database, printed with the demo's data: a
// golden test renders the item list to PDF, turns page 1 into a PNG with pdftoppm and compares
// it with the committed image (tests/app/golden/), within a small tolerance.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTreeWidget>

#include "DemoSession.h"
#include "GoldenPage.h"
#include "print/designer/Designer.h"
#include "print/designer/DesignerView.h"
#include "print/engine/Engine.h"
#include "print/engine/Expression.h"
#include "print/engine/TemplateFile.h"
#include "print/uDataSetCollection.h"
#include "support/Render.h"

using namespace Qd::Core;
namespace Print = Qd::Print;

using DemoPrint = Qd::Test::DemoSession;

TEST_F(DemoPrint, ItemListMatchesItsGoldenPage) {
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

    Qd::Test::expectGoldenPage(report, dir.path(), "demo-items-page1.png");

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
