// Editors of the widget kit over real record sets: number formats, the lookup combo box and its
// drop-down, typed editor values, the grid delegate and the alert window.
#include <gtest/gtest.h>

#include <QAction>
#include <QColorDialog>
#include <QDateTimeEdit>
#include <QHeaderView>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableView>
#include <QTest>
#include <QTextEdit>
#include <QToolButton>
#include <cmath>

#include "support/TestEnv.h"
#include "ui/editors/Editors.h"
#include "ui/grid/Grid.h"

using namespace Qd::Core;
using Db::RecordSet;
using Ui::EditorKind;
using Ui::EditorProps;
using Ui::LookupColumn;
using Ui::LookupComboBox;

namespace {

// ---- formatNumber ----------------------------------------------------------------------------

struct FormatCase {
    double value;
    const char* format;
    int decimals;
    const char* expected;
};

void PrintTo(const FormatCase& c, std::ostream* os) {
    *os << c.value << " with \"" << c.format << "\" (" << c.decimals << ")";
}

class FormatNumberTest : public ::testing::TestWithParam<FormatCase> {};

TEST_P(FormatNumberTest, Formats) {
    const FormatCase& c = GetParam();
    EXPECT_EQ(Ui::formatNumber(c.value, QString::fromUtf8(c.format), c.decimals).toStdString(),
              c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, FormatNumberTest,
    ::testing::Values(
        // grouping and fixed decimals
        FormatCase{1234567.891, "#,##0.00", -1, "1,234,567.89"},
        FormatCase{999.995, "#,##0.00", -1, "1,000.00"},
        FormatCase{123456789012.34, "#,##0.00", -1, "123,456,789,012.34"},
        // optional decimals
        FormatCase{1234.5, "#,##0.##", -1, "1,234.5"}, FormatCase{1234, "#,##0.##", -1, "1,234"},
        FormatCase{0.5, "#.##", -1, ".5"},
        // rounding half away from zero, in decimal
        FormatCase{0.125, "0.00", -1, "0.13"}, FormatCase{-0.125, "0.00", -1, "-0.13"},
        FormatCase{2.675, "0.00", -1, "2.68"}, FormatCase{1.005, "0.00", -1, "1.01"},
        FormatCase{-2.5, "0", -1, "-3"}, FormatCase{-0.001, "#,##0.00", -1, "0.00"},
        // literals and sections
        FormatCase{5, "¥#,##0.00", -1, "¥5.00"}, FormatCase{1234.5, "#,##0.00元", -1, "1,234.50元"},
        FormatCase{-5, "#,##0.00;(#,##0.00)", -1, "(5.00)"},
        FormatCase{0, "#,##0.00;-#,##0.00;'零'", -1, "零"},
        // no format: the decimals asked for, or the shortest text
        FormatCase{12.5, "", 2, "12.50"}, FormatCase{12.5, "", 0, "13"},
        FormatCase{0.1 + 0.2, "", -1, "0.3"}, FormatCase{1e6, "", -1, "1000000"}));

// ---- fixtures --------------------------------------------------------------------------------

const char* kSchema =
    "create table customer(id int, code varchar(10), name nvarchar(40), region nvarchar(10))\n"
    "insert into customer values (1, 'K001', N'张三百货', N'华东')\n"
    "insert into customer values (2, 'K002', N'李四商行', N'华北')\n"
    "insert into customer values (3, 'K003', N'王五超市', N'华东')\n"
    "insert into customer values (4, 'M001', N'赵六便利店', N'华南')\n"
    "create table bill(id int, customer int, amount money, billdate datetime, paid bit, "
    "colour int, pay nvarchar(10), memo nvarchar(200))\n"
    "insert into bill values (1, 1, 1234.5, '2024-03-01', 0, 255, N'现金', N'首单')\n"
    "insert into bill values (2, 3, 88, '2024-03-02 14:30', 1, null, null, null)\n";

class EditorTest : public Qd::Test::DbTest {
protected:
    void SetUp() override {
        DbTest::SetUp();
        ASSERT_TRUE(db().execSQL(kSchema));
        ASSERT_TRUE(db().openDataToCDS(customers, "select * from customer order by id"));
    }

    EditorProps lookupProps() {
        EditorProps p;
        p.kind = EditorKind::LookupCombo;
        p.listSource = &customers;
        p.keyField = "id";
        p.listFields = "code;name";
        p.dropDownColumns = {
            {"code", "编码", 70}, {"name", "客户名称", 150}, {"region", "地区", 60}};
        return p;
    }

    RecordSet customers;
};

// ---- lookup combo box ------------------------------------------------------------------------

TEST_F(EditorTest, LookupChoosingSetsKeyShowsListTextAndTellsOnce) {
    // Given a lookup with a hook
    EditorProps props = lookupProps();
    QList<QVariant> hookSaw;
    LookupComboBox* hookEditor = nullptr;
    props.onEditValueChanged = [&](QWidget* editor) {
        hookEditor = qobject_cast<LookupComboBox*>(editor);
        hookSaw << hookEditor->keyValue();
    };
    LookupComboBox box(props);
    QSignalSpy changed(&box, &LookupComboBox::editValueChanged);

    // When the second row is chosen
    box.choose(1);

    // Then the key, the text, the list's cursor and one notice
    EXPECT_EQ(box.keyValue().toInt(), 2);
    EXPECT_EQ(box.text(), "K002 李四商行");
    EXPECT_EQ(box.findChild<QLineEdit*>()->text(), "K002 李四商行");
    EXPECT_EQ(customers.recNo(), 1);
    EXPECT_EQ(changed.count(), 1);
    EXPECT_EQ(hookEditor, &box);
    EXPECT_EQ(hookSaw, QList<QVariant>{2});

    // Choosing the same row again changes nothing; rows out of range are ignored
    box.choose(1);
    box.choose(17);
    EXPECT_EQ(changed.count(), 1);

    // Clearing sets NULL and tells once; clearing again is no change
    box.clear();
    EXPECT_TRUE(box.keyValue().isNull());
    EXPECT_TRUE(box.text().isEmpty());
    EXPECT_EQ(changed.count(), 2);
    EXPECT_EQ(hookSaw.size(), 2);
    EXPECT_TRUE(hookSaw.last().isNull());
    box.clear();
    EXPECT_EQ(changed.count(), 2);
}

TEST_F(EditorTest, LookupSetKeyShowsTextQuietlyAndEmptiedTextClears) {
    LookupComboBox box(lookupProps());
    QSignalSpy changed(&box, &LookupComboBox::editValueChanged);

    box.setKeyValue(4);
    EXPECT_EQ(box.text(), "M001 赵六便利店");
    box.setKeyValue(99);  // kept, though no list row shows it
    EXPECT_EQ(box.keyValue().toInt(), 99);
    EXPECT_TRUE(box.text().isEmpty());
    EXPECT_EQ(changed.count(), 0);

    // Emptying the text and leaving it clears the key, with a notice
    box.setKeyValue(1);
    auto* edit = box.findChild<QLineEdit*>();
    edit->clear();
    Q_EMIT edit->editingFinished();
    EXPECT_TRUE(box.keyValue().isNull());
    EXPECT_EQ(changed.count(), 1);

    // Text that matches no row is undone
    box.setKeyValue(2);
    edit->setText("xyz");
    Q_EMIT edit->editingFinished();
    EXPECT_EQ(edit->text(), "K002 李四商行");
    EXPECT_EQ(box.keyValue().toInt(), 2);
}

TEST_F(EditorTest, LookupPopupShowsTheDropDownColumnsAtTheirWidths) {
    bool visibleInHook = true;
    int hookCalls = 0;
    // The hook runs before the drop-down opens
    EditorProps hooked = lookupProps();
    hooked.onInitPopup = [&](QWidget* editor) {
        ++hookCalls;
        visibleInHook = static_cast<LookupComboBox*>(editor)->popupVisible();
    };
    LookupComboBox hookedBox(hooked);
    hookedBox.resize(200, 24);
    hookedBox.show();
    hookedBox.setKeyValue(3);
    hookedBox.showPopup();
    EXPECT_EQ(hookCalls, 1);
    EXPECT_FALSE(visibleInHook);
    ASSERT_TRUE(hookedBox.popupVisible());

    QTableView* popup = hookedBox.popupView();
    ASSERT_EQ(popup->model()->columnCount(), 3);
    QStringList captions;
    for (int c = 0; c < 3; ++c)
        captions << popup->model()->headerData(c, Qt::Horizontal).toString() + ":" +
                        QString::number(popup->columnWidth(c));
    EXPECT_EQ(captions.join(" "), "编码:70 客户名称:150 地区:60");
    EXPECT_EQ(popup->model()->rowCount(), 4);
    EXPECT_EQ(popup->model()->index(3, 1).data().toString(), "赵六便利店");
    // Sized to the columns; the current row is the key's
    EXPECT_EQ(popup->width(), 70 + 150 + 60 + 2 * popup->frameWidth());
    EXPECT_EQ(popup->currentIndex().row(), 2);
    // Below the box
    EXPECT_EQ(popup->geometry().top(), hookedBox.mapToGlobal(QPoint(0, hookedBox.height())).y());

    // A click on a row chooses it and closes the drop-down
    QSignalSpy changed(&hookedBox, &LookupComboBox::editValueChanged);
    const QRect row0 = popup->visualRect(popup->model()->index(0, 1));
    QTest::mouseClick(popup->viewport(), Qt::LeftButton, {}, row0.center());
    EXPECT_FALSE(hookedBox.popupVisible());
    EXPECT_EQ(hookedBox.keyValue().toInt(), 1);
    EXPECT_EQ(changed.count(), 1);
}

TEST_F(EditorTest, LookupSecondLevelListIsReloadedBeforeItOpens) {
    // Given a second-level lookup whose hook narrows the list to one region
    EditorProps props = lookupProps();
    props.kind = EditorKind::LookupComboL2;
    props.onInitPopup = [this](QWidget*) {
        ASSERT_TRUE(db().openDataToCDS(
            customers, "select * from customer where region = N'华东' order by id"));
    };
    LookupComboBox box(props);
    box.show();
    box.showPopup();
    EXPECT_EQ(box.popupView()->model()->rowCount(), 2);
    EXPECT_EQ(box.popupView()->model()->index(1, 1).data().toString(), "王五超市");
    box.choose(1);
    EXPECT_EQ(box.keyValue().toInt(), 3);
}

TEST_F(EditorTest, LookupTypingSearchesTheFirstListFieldAndEnterChooses) {
    LookupComboBox box(lookupProps());
    box.show();
    auto* edit = box.findChild<QLineEdit*>();
    QTest::keyClicks(edit, "k00");
    ASSERT_TRUE(box.popupVisible());
    EXPECT_EQ(box.popupView()->currentIndex().row(), 0);
    QTest::keyClicks(edit, "3");
    EXPECT_EQ(box.popupView()->currentIndex().row(), 2);
    // Keys typed into the open drop-down go on into the text
    QTest::keyClick(box.popupView(), Qt::Key_Backspace);
    EXPECT_EQ(edit->text(), "k00");
    QTest::keyClick(box.popupView(), Qt::Key_Down);
    QTest::keyClick(box.popupView(), Qt::Key_Return);
    EXPECT_FALSE(box.popupVisible());
    EXPECT_EQ(box.keyValue().toInt(), 2);
    EXPECT_EQ(edit->text(), "K002 李四商行");
}

TEST_F(EditorTest, LookupDisplayTextFollowsTheList) {
    const EditorProps props = lookupProps();
    EXPECT_EQ(Ui::displayText(props, 3), "K003 王五超市");
    EXPECT_EQ(Ui::displayText(props, 3.0), "K003 王五超市");
    EXPECT_EQ(Ui::displayText(props, QString("3")), "K003 王五超市");
    EXPECT_EQ(Ui::displayText(props, 42), "");
    EXPECT_EQ(Ui::displayText(props, QVariant()), "");

    // A renamed row and a new row show at once
    customers.moveTo(2);
    customers.edit();
    customers.field("name").setValue("王五大超市");
    customers.post();
    EXPECT_EQ(Ui::displayText(props, 3), "K003 王五大超市");
    customers.append();
    customers.field("id").setValue(5);
    customers.field("code").setValue("M002");
    customers.field("name").setValue("钱七");
    customers.post();
    EXPECT_EQ(Ui::displayText(props, 5), "M002 钱七");

    // Rows with the same key show the first one
    customers.append();
    customers.field("id").setValue(5);
    customers.field("code").setValue("M003");
    customers.post();
    EXPECT_EQ(Ui::displayText(props, 5), "M002 钱七");

    // A list that goes away takes its index with it
    {
        RecordSet temporary;
        ASSERT_TRUE(db().openDataToCDS(temporary, "select id, name from customer"));
        EditorProps p = props;
        p.listSource = &temporary;
        p.listFields = "name";
        EXPECT_EQ(Ui::displayText(p, 1), "张三百货");
    }
    EXPECT_EQ(Ui::displayText(props, 1), "K001 张三百货");
}

// ---- typed editors ---------------------------------------------------------------------------

TEST_F(EditorTest, EditorsPerKindRoundTripTypedValues) {
    struct Case {
        EditorKind kind;
        const char* widget;
        QVariant in;
        QVariant out;
    };
    EditorProps base;
    base.items = QStringList{"现金", "刷卡", "转账"};
    const QDate day(2024, 3, 5);
    const std::vector<Case> cases = {
        {EditorKind::Text, "QLineEdit", QString("甲乙丙"), QString("甲乙丙")},
        {EditorKind::Integer, "QLineEdit", 42, qlonglong(42)},
        {EditorKind::Integer, "QLineEdit", QVariant(), QVariant()},
        {EditorKind::Decimal, "QLineEdit", 3.25, 3.25},
        {EditorKind::Money, "Qd::Core::Ui::CurrencyEdit", 1234.5, 1234.5},
        {EditorKind::Money, "Qd::Core::Ui::CurrencyEdit", QVariant(), QVariant()},
        {EditorKind::Date, "QDateTimeEdit", QDateTime(day, QTime(0, 0)), day},
        {EditorKind::Date, "QDateTimeEdit", QVariant(), QVariant()},
        {EditorKind::DateTime, "QDateTimeEdit", QDateTime(day, QTime(14, 30, 15)),
         QDateTime(day, QTime(14, 30))},
        {EditorKind::Check, "QCheckBox", 1, true},
        {EditorKind::Check, "QCheckBox", QString("false"), false},
        {EditorKind::Combo, "QComboBox", QString("刷卡"), QString("刷卡")},
        {EditorKind::Combo, "QComboBox", QString("支票"), QVariant()},
        {EditorKind::Color, "Qd::Core::Ui::ColorEdit", 0x3366FF, 0x3366FF},
        {EditorKind::Color, "Qd::Core::Ui::ColorEdit", QVariant(), QVariant()},
        {EditorKind::Memo, "QPlainTextEdit", QString("第一行\n第二行"), QString("第一行\n第二行")},
        {EditorKind::Button, "Qd::Core::Ui::ButtonEdit", QString("C:\\a"), QString("C:\\a")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.widget) + " " + c.in.toString().toStdString());
        EditorProps props = base;
        props.kind = c.kind;
        std::unique_ptr<QWidget> editor(Ui::createEditor(props, nullptr));
        EXPECT_STREQ(editor->metaObject()->className(), c.widget);
        Ui::setEditorValue(editor.get(), c.in);
        const QVariant out = Ui::editorValue(editor.get());
        EXPECT_EQ(out.isNull(), c.out.isNull());
        if (!c.out.isNull()) {
            EXPECT_EQ(out.typeId(), c.out.typeId());
            EXPECT_EQ(out, c.out);
        }
    }

    // Rich text keeps its formatting
    EditorProps rich;
    rich.kind = EditorKind::RichText;
    std::unique_ptr<QWidget> editor(Ui::createEditor(rich, nullptr));
    Ui::setEditorValue(editor.get(), "<b>加粗</b>文字");
    EXPECT_TRUE(Ui::editorValue(editor.get()).toString().contains("font-weight"));
    EXPECT_EQ(static_cast<QTextEdit*>(editor.get())->toPlainText(), "加粗文字");
}

TEST_F(EditorTest, DisplayTextPerKind) {
    EditorProps p;
    p.kind = EditorKind::Money;
    EXPECT_EQ(Ui::displayText(p, 1234.5), "1234.50");
    p.kind = EditorKind::Date;
    EXPECT_EQ(Ui::displayText(p, QDateTime(QDate(2024, 3, 5), QTime(9, 7))), "2024-03-05");
    p.kind = EditorKind::DateTime;  // a text as stored, shown to the minute
    EXPECT_EQ(Ui::displayText(p, QString("2024-03-05 09:07:33")), "2024-03-05 09:07");
    p.kind = EditorKind::Memo;
    EXPECT_EQ(Ui::displayText(p, QString("一\n二")), "一 二");
}

TEST_F(EditorTest, CurrencyEditShowsDisplayFormatUnlessFocused) {
    Ui::CurrencyEdit edit(2, "#,##0.00");
    edit.setValue(1234.5);
    EXPECT_EQ(edit.text(), "1,234.50");
    EXPECT_DOUBLE_EQ(edit.value().toDouble(), 1234.5);

    QFocusEvent in(QEvent::FocusIn, Qt::TabFocusReason);
    QApplication::sendEvent(&edit, &in);
    EXPECT_EQ(edit.text(), "1234.50");
    edit.setText("-2.675");  // rounded as shown, half away from zero
    EXPECT_DOUBLE_EQ(edit.value().toDouble(), -2.68);
    QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
    QApplication::sendEvent(&edit, &out);
    EXPECT_EQ(edit.text(), "-2.68");

    edit.setText("");
    EXPECT_TRUE(edit.value().isNull());
    edit.setValue(QVariant());
    EXPECT_TRUE(edit.text().isEmpty());

    // The validator takes digits, one point and the decimals there are
    edit.clear();
    QTest::keyClicks(&edit, "12a.345");
    EXPECT_EQ(edit.text(), "12.34");
}

TEST_F(EditorTest, ButtonEditsRunTheirHookOrPickAFile) {
    EditorProps props;
    props.kind = EditorKind::Button;
    QWidget* clickedWith = nullptr;
    props.onButtonClick = [&](QWidget* editor) { clickedWith = editor; };
    std::unique_ptr<QWidget> editor(Ui::createEditor(props, nullptr));
    auto* edit = qobject_cast<Ui::ButtonEdit*>(editor.get());
    ASSERT_TRUE(edit);
    QSignalSpy clicked(edit, &Ui::ButtonEdit::buttonClicked);
    auto* ellipsis = edit->findChild<QAction*>("ellipsisButton");
    ASSERT_TRUE(ellipsis);
    ellipsis->trigger();
    EXPECT_EQ(clicked.count(), 1);
    EXPECT_EQ(clickedWith, edit);

    // A file edit without a hook asks for a file
    EditorProps file;
    file.kind = EditorKind::File;
    std::unique_ptr<QWidget> fileEditor(Ui::createEditor(file, nullptr));
    prompts().answerText("/data/报表/月报.fr3");
    fileEditor->findChild<QAction*>("ellipsisButton")->trigger();
    EXPECT_EQ(prompts().last().what, "open");
    EXPECT_EQ(Ui::editorValue(fileEditor.get()).toString(), "/data/报表/月报.fr3");
}

TEST_F(EditorTest, ColorEditPaletteAndOtherColours) {
    Ui::ColorEdit edit;
    QSignalSpy changed(&edit, &Ui::ColorEdit::colorChanged);
    edit.show();
    edit.showPopup();
    ASSERT_TRUE(edit.popup()->isVisible());
    const QList<QToolButton*> cells = edit.popup()->findChildren<QToolButton*>("colorCell");
    ASSERT_EQ(cells.size(), 40);

    // A cell sets its colour and closes the palette
    QToolButton* red = *std::find_if(cells.begin(), cells.end(),
                                     [](QToolButton* b) { return b->toolTip() == "红色"; });
    red->click();
    EXPECT_FALSE(edit.popup()->isVisible());
    EXPECT_EQ(edit.color(), QColor(Qt::red));
    EXPECT_EQ(changed.count(), 1);

    // "其他颜色…" runs the colour dialog through the prompter
    prompts().answerDialog([](QDialog& d) {
        static_cast<QColorDialog&>(d).setCurrentColor(QColor(0x12, 0x34, 0x56));
        return int(QDialog::Accepted);
    });
    edit.popup()->findChild<QPushButton*>("moreColors")->click();
    EXPECT_EQ(prompts().last().what, "exec");
    EXPECT_EQ(edit.color(), QColor(0x12, 0x34, 0x56));
    EXPECT_EQ(edit.findChild<QToolButton*>("colorButton")->text(), "#123456");
    prompts().answerDialog([](QDialog& d) {
        static_cast<QColorDialog&>(d).setCurrentColor(Qt::green);
        return int(QDialog::Rejected);
    });
    edit.popup()->findChild<QPushButton*>("moreColors")->click();
    EXPECT_EQ(edit.color(), QColor(0x12, 0x34, 0x56));
    EXPECT_EQ(changed.count(), 2);
}

// ---- the grid delegate -----------------------------------------------------------------------

class DelegateTest : public EditorTest {
protected:
    void SetUp() override {
        EditorTest::SetUp();
        ASSERT_TRUE(db().openDataToCDS(bills, "select * from bill order by id"));
        view = std::make_unique<Ui::GridView>("tvBill");
        view->resize(800, 200);
        view->setRecordSet(&bills);
        add("customer")->props = lookupProps();
        Ui::GridColumn* amount = add("amount");
        amount->props.kind = EditorKind::Money;
        amount->props.displayFormat = "#,##0.00";
        add("billdate");  // no kind: the field's type decides
        add("paid")->props.kind = EditorKind::Check;
        add("colour")->props.kind = EditorKind::Color;
        Ui::GridColumn* pay = add("pay");
        pay->props.kind = EditorKind::Combo;
        pay->props.items = QStringList{"现金", "刷卡", "转账"};
        add("memo")->props.kind = EditorKind::Memo;
        view->applyColumns();
        delegate = qobject_cast<Ui::ColumnDelegate*>(view->itemDelegate());
        ASSERT_TRUE(delegate);
    }
    void TearDown() override {
        view.reset();
        EditorTest::TearDown();
    }
    Ui::GridColumn* add(const QString& field) {
        Ui::GridColumn* c = view->addColumn("tvBill" + field);
        c->fieldName = field;
        c->caption = field;
        return c;
    }
    QModelIndex cell(int row, const char* field) const {
        return view->recordSetModel()->index(row, bills.fieldIndex(field));
    }
    std::unique_ptr<QWidget> editorFor(const QModelIndex& index) {
        QStyleOptionViewItem option;
        return std::unique_ptr<QWidget>(delegate->createEditor(view->viewport(), option, index));
    }
    QStyleOptionViewItem styleOf(const QModelIndex& index) {
        QStyleOptionViewItem option;
        option.rect = view->visualRect(index);
        delegate->initStyleOption(&option, index);
        return option;
    }

    RecordSet bills;
    std::unique_ptr<Ui::GridView> view;
    Ui::ColumnDelegate* delegate = nullptr;
};

TEST_F(DelegateTest, EditorsComeFromTheColumns) {
    auto className = [&](const char* field) -> std::string {
        const std::unique_ptr<QWidget> editor = editorFor(cell(0, field));
        return editor ? editor->metaObject()->className() : "none";
    };
    EXPECT_EQ(className("customer"), "Qd::Core::Ui::LookupComboBox");
    EXPECT_EQ(className("billdate"), "QDateTimeEdit");  // no kind: the field's type decides
    EXPECT_EQ(className("memo"), "QPlainTextEdit");
    EXPECT_EQ(className("id"), "QLineEdit");  // no column: an integer edit for the field
    EXPECT_EQ(className("paid"), "none");     // check boxes change in place

    // A column that is not editing, or a read-only record set, gives no editor
    view->columnByField("memo")->editing = false;
    EXPECT_EQ(className("memo"), "none");
    bills.setReadOnly(true);
    EXPECT_EQ(className("amount"), "none");
}

TEST_F(DelegateTest, SetModelDataWritesTypedValuesIntoTheRecordSet) {
    const auto write = [&](int row, const char* field, const QVariant& value) {
        const std::unique_ptr<QWidget> editor = editorFor(cell(row, field));
        delegate->setEditorData(editor.get(), cell(row, field));
        Ui::setEditorValue(editor.get(), value);
        delegate->setModelData(editor.get(), view->recordSetModel(), cell(row, field));
    };

    // An unchanged value leaves the record alone
    write(0, "amount", 1234.5);
    write(0, "customer", 1);
    EXPECT_EQ(bills.state(), Db::DataSetState::Browse);

    write(0, "customer", 4);
    write(0, "amount", 99.125);
    write(0, "billdate", QDate(2024, 4, 1));
    write(0, "colour", 0x00FF00);
    write(0, "pay", "转账");
    write(0, "memo", "改过\n两行");
    ASSERT_EQ(bills.state(), Db::DataSetState::Edit);
    bills.post();
    bills.first();
    EXPECT_EQ(bills.field("customer").value(), QVariant(4));
    EXPECT_DOUBLE_EQ(bills.field("amount").asCurrency(), 99.13);
    EXPECT_EQ(bills.field("billdate").asDateTime(), QDateTime(QDate(2024, 4, 1), QTime(0, 0)));
    EXPECT_EQ(bills.field("colour").asInteger(), 0x00FF00);
    EXPECT_EQ(bills.field("pay").asString(), "转账");
    EXPECT_EQ(bills.field("memo").asString(), "改过\n两行");

    // Emptied editors write NULL
    write(1, "amount", QVariant());
    write(1, "billdate", QVariant());
    bills.post();
    EXPECT_TRUE(bills.field("amount").isNull());
    EXPECT_TRUE(bills.field("billdate").isNull());
}

TEST_F(DelegateTest, ChoosingInAnOpenLookupEditorReachesTheRecordAtOnce) {
    view->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(view.get()));
    view->setCurrentIndex(cell(1, "customer"));
    view->edit(cell(1, "customer"));
    auto* box = view->viewport()->findChild<LookupComboBox*>();
    ASSERT_TRUE(box);
    EXPECT_EQ(box->text(), "K003 王五超市");
    box->choose(1);
    EXPECT_EQ(bills.recNo(), 1);
    EXPECT_EQ(bills.state(), Db::DataSetState::Edit);
    EXPECT_EQ(bills.field("customer").asInteger(), 2);
}

TEST_F(DelegateTest, TypingInALookupCellAndLeavingItWritesTheFoundRow) {
    // Given an open lookup editor with the focus
    view->show();
    QApplication::setActiveWindow(view.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(view.get()));
    view->setCurrentIndex(cell(0, "customer"));
    view->edit(cell(0, "customer"));
    auto* box = view->viewport()->findChild<LookupComboBox*>();
    ASSERT_TRUE(box);
    auto* text = box->findChild<QLineEdit*>();
    ASSERT_TRUE(text->hasFocus());

    // When a code is typed, its drop-down closed, and the focus goes elsewhere
    QTest::keyClicks(text, "m0");
    ASSERT_TRUE(box->popupVisible());
    box->hidePopup();
    QLineEdit elsewhere;
    elsewhere.show();
    QApplication::setActiveWindow(&elsewhere);
    elsewhere.setFocus();

    // Then the found row is written and the editor is gone
    EXPECT_EQ(bills.field("customer").asInteger(), 4);
    QTRY_VERIFY(!view->isEditing());
}

TEST_F(DelegateTest, CellsShowTextsFromTheirColumns) {
    const QStyleOptionViewItem customer = styleOf(cell(0, "customer"));
    EXPECT_EQ(customer.text, "K001 张三百货");
    EXPECT_EQ(customer.displayAlignment, Qt::AlignLeft | Qt::AlignVCenter);
    const QStyleOptionViewItem amount = styleOf(cell(0, "amount"));
    EXPECT_EQ(amount.text, "1,234.50");
    EXPECT_EQ(amount.displayAlignment, Qt::AlignRight | Qt::AlignVCenter);
    // A date-time field without a column kind: the date alone at midnight
    EXPECT_EQ(styleOf(cell(0, "billdate")).text, "2024-03-01");
    EXPECT_EQ(styleOf(cell(1, "billdate")).text, "2024-03-02 14:30");
    const QStyleOptionViewItem paid = styleOf(cell(1, "paid"));
    EXPECT_TRUE(paid.text.isEmpty());
    EXPECT_FALSE(paid.features & QStyleOptionViewItem::HasCheckIndicator);
    EXPECT_TRUE(styleOf(cell(0, "colour")).text.isEmpty());
    EXPECT_EQ(styleOf(cell(0, "pay")).text, "现金");
}

TEST_F(DelegateTest, ACheckCellTogglesOnAClickOnItsBox) {
    view->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(view.get()));
    const QRect rect = view->visualRect(cell(0, "paid"));
    ASSERT_TRUE(rect.isValid());
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, rect.center());
    EXPECT_TRUE(bills.field("paid").asBoolean());
    EXPECT_EQ(bills.state(), Db::DataSetState::Edit);
    // A click beside the box selects without toggling
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {},
                      QPoint(rect.left() + 2, rect.center().y()));
    EXPECT_TRUE(bills.field("paid").asBoolean());
    // A column that is not editing keeps its value
    view->columnByField("paid")->editing = false;
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, rect.center());
    EXPECT_TRUE(bills.field("paid").asBoolean());
}

// ---- alert window ----------------------------------------------------------

TEST_F(EditorTest, AlertsStackInTheCornerAndCloseThemselves) {
    QWidget window;
    window.resize(600, 400);
    window.show();
    QPointer<Ui::AlertWindow> first =
        Ui::AlertWindow::showAlert(&window, "提示", "单据已保存。", 150);
    QPointer<Ui::AlertWindow> second =
        Ui::AlertWindow::showAlert(&window, "库存预警", "可口可乐库存不足 10 瓶。", 5000);
    // Bottom-right, the newer one above the older
    EXPECT_GT(first->geometry().right(), 560);
    EXPECT_GT(first->geometry().bottom(), 360);
    EXPECT_LE(first->geometry().bottom(), 400);
    EXPECT_LT(second->geometry().bottom(), first->geometry().top());

    QTRY_VERIFY_WITH_TIMEOUT(first.isNull(), 2000);
    // The rest close up; the close button closes at once
    EXPECT_GT(second->geometry().bottom(), 360);
    second->findChild<QToolButton*>("alertClose")->click();
    QTRY_VERIFY_WITH_TIMEOUT(second.isNull(), 1000);
}

}  // namespace
