// Grid export to xlsx, read back from the workbook's own XML (unzip): header, column order and
// widths, and each cell's kind and format.
#include <gtest/gtest.h>

#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>

#include "support/TestEnv.h"
#include "ui/export/XlsxExport.h"
#include "ui/grid/Grid.h"

using namespace Qd::Core;

namespace {

QString unzipped(const QString& xlsx, const QString& member) {
    QProcess p;
    p.start(QStringLiteral("unzip"), {"-p", xlsx, member});
    p.waitForFinished(30000);
    return QString::fromUtf8(p.readAllStandardOutput());
}

class XlsxExport : public Qd::Test::DbTest {
protected:
    void SetUp() override {
        DbTest::SetUp();
        if (QStandardPaths::findExecutable("unzip").isEmpty())
            GTEST_SKIP() << "unzip is not installed";
        ASSERT_TRUE(db().execSQL(
            "create table staff(id int, code varchar(20), name nvarchar(50), ck_id int, "
            "salary money, hired datetime, active bit, memo nvarchar(50))\n"
            "insert into staff values (1, '0001', N'张伟', 2, 5200.5, '2024-03-01', 1, null)\n"
            "insert into staff values (2, '0002', N'李娜', 1, 4800, '2025-11-15 09:30', 0, "
            "N'试用')\n"
            "create table stores(id int, name nvarchar(20))\n"
            "insert into stores values (1, N'总店')\n"
            "insert into stores values (2, N'东城分店')"));
        ASSERT_TRUE(db().openDataToCDS(rs, "select * from staff order by id"));
        ASSERT_TRUE(db().openDataToCDS(stores, "select * from stores"));
        view.setRecordSet(&rs);
    }
    Ui::GridColumn* add(const char* field, const char* caption, int width = 100) {
        Ui::GridColumn* c = view.addColumn(QStringLiteral("tv") + field);
        c->fieldName = field;
        c->caption = QString::fromUtf8(caption);
        c->width = width;
        return c;
    }

    Db::RecordSet rs, stores;
    Ui::GridView view{"tvStaff"};
    QTemporaryDir dir;
};

}  // namespace

TEST_F(XlsxExport, CellsKeepTheirKindsAndTheGridsOrder) {
    add("name", "姓名", 110);
    add("code", "编号", 75);
    Ui::GridColumn* store = add("ck_id", "门店");
    store->props.kind = Ui::EditorKind::LookupCombo;
    store->props.listSource = &stores;
    store->props.keyField = "id";
    store->props.listFields = "name";
    add("salary", "工资")->props.displayFormat = "#,##0.00";
    add("hired", "入职日期");
    add("active", "在职")->props.kind = Ui::EditorKind::Check;
    add("memo", "备注")->visible = false;
    view.applyColumns();

    const QString file = dir.filePath("员工.xlsx");
    QString error;
    ASSERT_TRUE(Ui::exportToXlsx(view, file, &error)) << error.toStdString();
    EXPECT_TRUE(Qd::Test::isOwnerOnly(file));
    const QString sheet = unzipped(file, "xl/worksheets/sheet1.xml");
    auto cell = [&](const char* ref) {
        const QRegularExpression re(QStringLiteral("<c r=\"%1\"[^>]*?(/>|>.*?</c>)").arg(ref));
        return re.match(sheet).captured(0);
    };
    // Header in display order, the hidden column left out; widths from pixels.
    EXPECT_TRUE(cell("A1").contains(QStringLiteral("姓名")));
    EXPECT_TRUE(cell("B1").contains(QStringLiteral("编号")));
    EXPECT_TRUE(cell("G1").isEmpty());
    EXPECT_TRUE(sheet.contains(QStringLiteral("<col min=\"1\" max=\"1\" width=\"15")));
    // Text stays text even when it reads as a number; the lookup shows the store's name.
    EXPECT_TRUE(cell("B2").contains(QStringLiteral("0001")) && cell("B2").contains("inlineStr"));
    EXPECT_TRUE(cell("C2").contains(QStringLiteral("东城分店")));
    // Numbers, dates and booleans are native values with their formats.
    EXPECT_TRUE(cell("D2").contains("<v>5200.5</v>"));
    EXPECT_TRUE(cell("E2").contains("<v>45352</v>"));    // 2024-03-01
    EXPECT_TRUE(cell("E3").contains("<v>45976.39583"));  // 2025-11-15 09:30
    EXPECT_TRUE(cell("F2").contains("t=\"b\"") && cell("F2").contains("<v>1</v>"));
    EXPECT_TRUE(cell("F3").contains("<v>0</v>"));
    const QString styles = unzipped(file, "xl/styles.xml");
    EXPECT_TRUE(styles.contains("formatCode=\"#,##0.00\""));
    EXPECT_TRUE(styles.contains("formatCode=\"yyyy-mm-dd\""));

    // A folder that does not exist: the reason, and no file.
    EXPECT_FALSE(Ui::exportToXlsx(view, dir.filePath("无此目录/x.xlsx"), &error));
    EXPECT_FALSE(error.isEmpty());
}
