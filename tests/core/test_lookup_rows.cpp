// Lookup rows on demand over 10^4 items: a page on opening, more as the drop-down scrolls, keys
// beyond it in cells and header editors, typed texts searched in the whole table, the statement's
// order kept, statements loaded whole, recent picks first.
#include <gtest/gtest.h>

#include <QApplication>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTableView>
#include <QTest>

#include "core/ColumnBuilder.h"
#include "db/Schema.h"
#include "support/CoreTest.h"
#include "support/Render.h"
#include "sys/uAuth.h"
#include "ui/editors/Editors.h"

using namespace Qd::Core;

namespace {

constexpr int kItems = 10000;
const QString kItemsSql = QStringLiteral(
    "select id, code, name, helpcode, dj from qd_b_xmbmk where orgid = 1 and "
    "isdel = 0 order by code");

// Keys a cell may ask with find the rows they mean, and no other.
TEST(LookupKey, NumbersAreOneKeyByValueDateTimesByTimeTextsAsTyped) {
    using K = Db::LookupKey;
    using T = Db::FieldType;
    const std::pair<K, K> same[] = {{K(T::Integer, 5), K(T::Integer, 5.0)},
                                    {K(T::Integer, 5), K(T::Integer, QStringLiteral(" 5 "))},
                                    {K(T::Currency, 0.0), K(T::Currency, -0.0)},
                                    {K(T::Boolean, true), K(T::Boolean, 1)},
                                    {K(T::BigInt, 7), K(T::BigInt, QStringLiteral("7"))},
                                    {K(T::DateTime, QStringLiteral("2026-11-03")),
                                     K(T::DateTime, QDateTime(QDate(2026, 11, 3), QTime(0, 0)))}};
    for (const auto& [a, b] : same) {
        EXPECT_EQ(a, b) << a.text().toStdString();
        EXPECT_EQ(qHash(a), qHash(b)) << a.text().toStdString();
    }
    EXPECT_NE(K(T::Float, 0.5), K(T::Float, 0.25));
    EXPECT_NE(K(T::Text, QStringLiteral("5")), K(T::Text, QStringLiteral("5.0")));
    EXPECT_NE(K(T::Text, QStringLiteral("a")), K(T::Text, QStringLiteral("A")));
    for (const K& none : {K(T::Integer, QStringLiteral("5x")), K(T::Integer, QVariant()),
                          K(T::DateTime, QStringLiteral("3 Nov"))})
        EXPECT_TRUE(none.isNull());
    EXPECT_FALSE(K(T::Text, QString()).isNull());  // an empty code is a key of its own
    EXPECT_EQ(K(T::Integer, 12.0).text(), "12");
    EXPECT_EQ(K(T::Float, 0.1).value().toDouble(), 0.1);
}

class LookupRowsTest : public Qd::Test::LoggedInTest {
protected:
    void SetUp() override {
        LoggedInTest::SetUp();
        // I00001 项目1 XM1 ... I10000; then items a search must take literally, and two of the
        // demo's items, whose codes sort after every generated one.
        ASSERT_TRUE(db().execSQL(
            QStringLiteral(
                "declare @i int = 1\n"
                "while @i <= %1\n"
                "begin\n"
                "  insert into qd_b_xmbmk(orgid, p1, code, name, helpcode, dj) values(1, 1, "
                "'I' + right('0000' + cast(@i as varchar(5)), 5), N'项目' + cast(@i as "
                "nvarchar(10)), "
                "'XM' + cast(@i as varchar(10)), @i)\n"
                "  set @i = @i + 1\n"
                "end\n"
                "insert into qd_b_xmbmk(orgid, code, name) values(1, 'Q1', N'引号''项目')\n"
                "insert into qd_b_xmbmk(orgid, code, name) values(1, 'Q2', N'折扣50%')\n"
                "insert into qd_b_xmbmk(orgid, code, name) values(1, 'Q3', N'下_划线')\n"
                "insert into qd_b_xmbmk(orgid, code, name) values(1, 'Q4', N'50折')\n"
                "insert into qd_b_xmbmk(orgid, code, name, dj) values(1, 'XM005', N'户外喷绘布', "
                "18)\n"
                "insert into qd_b_xmbmk(orgid, code, name, dj) values(1, 'XM008', N'易拉宝', 120)")
                .arg(kItems)));
    }

    std::unique_ptr<Base::TjoinTableObject> table(const QString& sql = kItemsSql) {
        auto t = std::make_unique<Base::TjoinTableObject>(true);
        t->Fsql = sql;
        t->jo = QJsonObject{{"keyfieldnames", "id"}, {"listfieldnames", "name"}};
        t->setName("xm_id");
        t->open();
        return t;
    }

    static Ui::EditorProps props(Base::TjoinTableObject& t) {
        Ui::EditorProps p;
        p.kind = Ui::EditorKind::LookupCombo;
        p.listSource = t.Fcds.get();
        p.keyField = "id";
        p.listFields = "name";
        p.dropDownColumns = {{"code", "编号", 70}, {"name", "项目", 120}};
        p.autoSize = true;
        return p;
    }

    static Db::LookupKey key(const QVariant& id) { return {Db::FieldType::Integer, id}; }

    int idOf(const QString& code) {
        return scalar("select id from qd_b_xmbmk where code = '" + code + "'").toInt();
    }

    static QStringList codes(const Db::RecordSet& rs, const std::vector<int>& positions) {
        QStringList out;
        const int f = rs.fieldIndex("code");
        for (int pos : positions)
            out << rs.textAt(rs.rowAt(pos), f);
        return out;
    }

    QStringList wholeCodes(const QString& sql) {
        Db::DataPacket rows = db().query(sql);
        QStringList out;
        for (int pos = 0; pos < rows.recordCount(); ++pos)
            out << rows.textAt(rows.rowAt(pos), rows.fieldIndex("code"));
        return out;
    }

    static int count(const QString& text, const QString& part) { return int(text.count(part)); }
};

TEST_F(LookupRowsTest, OpensOnePageAndScrollingToTheEndFetchesEachRowOnce) {
    auto t = table();
    EXPECT_EQ(t->Fcds->recordCount(), Base::TjoinTableObject::kPageSize);
    EXPECT_TRUE(t->canFetchMore());
    EXPECT_EQ(t->Fcds->field("code").asString(), "I00001");

    // A key beyond the page joins the cache before the drop-down reaches it
    ASSERT_EQ(t->resolve({key(idOf("I09000"))}), 1);

    Ui::LookupComboBox box(props(*t));
    box.show();
    box.showPopup();
    QTableView* popup = box.popupView();
    for (int i = 0; i < 200 && popup->model()->canFetchMore({}); ++i) {
        popup->scrollToBottom();
        QApplication::processEvents();
    }
    EXPECT_FALSE(t->canFetchMore());
    const int all = kItems + 6;
    EXPECT_EQ(popup->model()->rowCount(), all);
    EXPECT_EQ(t->Fcds->recordCount(), all);  // I09000 not twice
    EXPECT_EQ(codes(*t->Fcds, t->ordered()), wholeCodes(kItemsSql));
    EXPECT_EQ(popup->model()->index(8999, 0).data().toString(), "I09000");

    // Opening again starts over at page one
    t->open();
    EXPECT_EQ(t->Fcds->recordCount(), Base::TjoinTableObject::kPageSize);
    EXPECT_EQ(popup->model()->rowCount(), Base::TjoinTableObject::kPageSize);
}

TEST_F(LookupRowsTest, KeysBeyondThePageShowInGridCellsByOneQueryAfterThePaint) {
    auto t = table();
    Db::RecordSet lines;
    lines.addField("id", Db::FieldType::Integer);
    lines.addField("xm_id", Db::FieldType::Integer);
    lines.createDataSet();
    for (int i = 0; i < 20; ++i) {
        lines.append();
        lines.field("id").setValue(i + 1);
        lines.field("xm_id").setValue(idOf(QStringLiteral("I%1").arg(9001 + i, 5, 10, QChar('0'))));
        lines.post();
    }
    lines.append();  // a key no item has
    lines.field("id").setValue(99);
    lines.field("xm_id").setValue(999999);
    lines.post();

    Ui::GridView view("tvLines");
    view.resize(400, 700);
    view.setRecordSet(&lines);
    Ui::GridColumn* item = view.addColumn("tvLinesxm_id");
    item->fieldName = "xm_id";
    item->caption = "项目";
    item->props = props(*t);
    view.applyColumns();
    view.show();
    const QString before = traced();

    // The paint asks for every key and fetches none
    view.grab();
    EXPECT_EQ(t->Fcds->recordCount(), Base::TjoinTableObject::kPageSize);
    // After it, one keyed query brings them all
    QApplication::processEvents();
    const QString sent = traced().mid(before.size());
    EXPECT_EQ(count(sent, " in (:qd_k0"), 1) << sent.toStdString();
    EXPECT_EQ(count(sent, ":qd_k20)"), 1);  // the missing key was asked with them
    EXPECT_EQ(t->Fcds->recordCount(), Base::TjoinTableObject::kPageSize + 20);
    const QModelIndex cell = view.recordSetModel()->index(4, lines.fieldIndex("xm_id"));
    QStyleOptionViewItem option;
    qobject_cast<Ui::ColumnDelegate*>(view.itemDelegate())->initStyleOption(&option, cell);
    EXPECT_EQ(option.text, "项目9005");

    // Painting again asks nothing: the rows are there, the missing key is known missing
    const QString again = traced();
    view.grab();
    QApplication::processEvents();
    EXPECT_EQ(count(traced().mid(again.size()), "qd_k0"), 0);
    Qd::Test::keepRender(view, "lookup_cells_beyond_page.png");
}

TEST_F(LookupRowsTest, ManyKeysComeInBatchesEachJoiningTheCacheAsOneInsert) {
    auto t = table();
    // A header editor shows a key beyond the page at once, fetched once whatever its type.
    Ui::LookupComboBox header(props(*t));
    header.setKeyValue(idOf("I08000"));
    EXPECT_EQ(header.text(), "项目8000");
    header.setKeyValue(idOf("I08000") + 0.0);
    EXPECT_EQ(t->Fcds->recordCount(), Base::TjoinTableObject::kPageSize + 1);

    Ui::EditorProps p = props(*t);
    EXPECT_EQ(Ui::displayText(p, idOf("I00001")), "项目1");  // the cell index is built
    const int first = idOf("I05001");
    QList<Db::LookupKey> keys{key(idOf("I00002"))};  // in the cache already
    const int wanted = Base::TjoinTableObject::kKeysPerQuery + 100;
    for (int k = 0; k < wanted; ++k)
        keys << key(first + k) << key(QString::number(first + k));  // each twice
    QSignalSpy inserted(t->Fdatasource.get(), &QAbstractItemModel::rowsInserted);
    const QString before = traced();
    EXPECT_EQ(t->resolve(keys), wanted);
    EXPECT_EQ(count(traced().mid(before.size()), " in (:qd_k0"), 2);
    const int cached = Base::TjoinTableObject::kPageSize + 1;
    ASSERT_EQ(inserted.count(), 2);
    EXPECT_EQ(inserted[0][1].toInt(), cached);
    EXPECT_EQ(inserted[1][2].toInt(), cached + wanted - 1);
    EXPECT_EQ(t->Fcds->recordCount(), cached + wanted);
    EXPECT_EQ(Ui::displayText(p, first), "项目5001");
    EXPECT_EQ(Ui::displayText(p, first + wanted - 1), QStringLiteral("项目%1").arg(5000 + wanted));
    EXPECT_FALSE(t->mayResolve(key(first + 1)));
}

TEST_F(LookupRowsTest, ASearchFindsAnUnfetchedRowWhosePickFillsTheTargets) {
    // Given a bill line and a lookup column built as the bill details build theirs
    Db::RecordSet line;
    line.addField("xm_id", Db::FieldType::Integer);
    line.addField("gcxmmc", Db::FieldType::Text);
    line.addField("dj", Db::FieldType::Currency);
    line.createDataSet();
    line.append();
    line.post();
    Base::JoinTableList tables;
    QString currentInHook;
    Base::ColumnBuilder::Options o;
    o.moduleCode = "XMZZK";
    o.types = Base::ColumnBuilder::listTypes();
    o.joinTableList = &tables;
    o.onEditValueChange = [&](QWidget* editor) {
        currentInHook = tables.at("xm_id")->Fcds->field("code").asString();
        Base::copyLookupValues(tables, editor, line);
    };
    Base::ColumnBuilder builder(o);
    Ui::GridView view("tvDetail");
    view.setRecordSet(&line);
    builder.build(&view, QStringLiteral(
                             R"([{"fieldname":"xm_id","label":"项目","width":"120",
        "type":"lookupcombobox","join":{"sql":"select id, code, name, helpcode, dj from qd_b_xmbmk where orgid = :orgid and isdel = 0 order by code",
        "keyfieldnames":"id","listfieldnames":"name","fields":[
        {"fieldname":"name","caption":"项目","width":"120","target":"gcxmmc"},
        {"fieldname":"dj","caption":"单价","width":"70","target":"dj"}]}}])"));
    ASSERT_TRUE(builder.problems().isEmpty());
    Base::TjoinTableObject& t = *tables.at("xm_id");
    ASSERT_TRUE(t.canFetchMore());

    Ui::LookupComboBox box(view.columnByField("xm_id")->props);
    box.show();
    auto* edit = box.findChild<QLineEdit*>();
    // Pinyin initials and codes are prefixes: XM987 is I00987 and I09870..I09879
    QTest::keyClicks(edit, "XM987");
    ASSERT_TRUE(box.popupVisible());
    EXPECT_EQ(box.popupView()->model()->rowCount(), 11);
    EXPECT_EQ(box.popupView()->model()->index(0, 0).data().toString(), "项目987");
    edit->clear();
    QTest::keyClicks(edit, "I0998");
    EXPECT_EQ(box.popupView()->model()->rowCount(), 10);

    // When a name's part is typed and the found row taken
    edit->clear();
    QInputMethodEvent typed;  // Chinese comes from the input method
    typed.setCommitString("目9876");
    QApplication::sendEvent(edit, &typed);
    ASSERT_EQ(box.popupView()->model()->rowCount(), 1);
    QTest::keyClick(box.popupView(), Qt::Key_Return);

    // Then the row was current in the cache when the hook ran, and the targets are filled
    EXPECT_EQ(currentInHook, "I09876");
    EXPECT_EQ(line.field("gcxmmc").asString(), "项目9876");
    EXPECT_EQ(line.field("dj").asCurrency(), 9876.0);
    EXPECT_EQ(box.text(), "项目9876");
    // The typed text is gone with the pick: the drop-down lists the pick, now a recent one,
    // and then the statement's order again
    box.showPopup();
    EXPECT_EQ(box.popupView()->model()->index(0, 0).data().toString(), "项目9876");
    EXPECT_EQ(box.popupView()->model()->index(1, 0).data().toString(), "项目1");
}

TEST_F(LookupRowsTest, QuotesPercentAndUnderscoreInATypedTextAreTakenLiterally) {
    auto t = table();
    const auto found = [&](const QString& text) {
        return codes(*t->Fcds, t->searchPositions(text, 50)).join(' ');
    };
    EXPECT_EQ(found("'"), "Q1");
    EXPECT_EQ(found("引号'"), "Q1");
    EXPECT_EQ(found("50%"), "Q2");  // not 50折
    EXPECT_EQ(found("_"), "Q3");
    EXPECT_EQ(found("["), "");
    EXPECT_EQ(found("%"), "Q2");
    // The picker's search: rows of their own, the cache left alone
    const int cached = t->Fcds->recordCount();
    Db::DataPacket rows = t->search("项目12", 3);
    ASSERT_EQ(rows.recordCount(), 3);
    EXPECT_EQ(rows.field("code").asString(), "I00012");
    EXPECT_EQ(t->Fcds->recordCount(), cached);
}

TEST_F(LookupRowsTest, PagesFollowTheStatementsOrder) {
    const char* statements[] = {
        "select id, code, name from qd_b_xmbmk where orgid = 1 order by code desc",
        "select t1.id, t1.code, t1.name, c.name as cname from qd_b_xmbmk t1 left join "
        "qd_b_category c on c.id = t1.p1 where t1.orgid = 1 order by c.name, t1.code desc",
        "select id, code, name from qd_b_xmbmk where orgid = 1 order by len(name) desc, code",
    };
    for (const char* sql : statements) {
        auto t = table(QString::fromUtf8(sql));
        EXPECT_EQ(t->Fcds->recordCount(), Base::TjoinTableObject::kPageSize) << sql;
        while (t->canFetchMore())
            t->fetchMore();
        EXPECT_EQ(codes(*t->Fcds, t->ordered()), wholeCodes(QString::fromUtf8(sql))) << sql;
    }
}

TEST_F(LookupRowsTest, StatementsThatCannotBeTakenApartLoadWholeAndSaySo) {
    const QString before = traced();
    auto u = table(
        "select id, code, name from qd_b_xmbmk where id <= 300 union all "
        "select id, code, name from qd_b_xmbmk where id > 9990");
    EXPECT_EQ(u->Fcds->recordCount(), 300 + 16);
    EXPECT_FALSE(u->canFetchMore());
    // An order by a column the result lacks cannot be applied outside
    auto o = table("select id, code, name from qd_b_xmbmk where orgid = 1 order by dj desc");
    EXPECT_EQ(o->Fcds->recordCount(), kItems + 6);
    EXPECT_EQ(o->Fcds->field("code").asString(), "I10000");
    const QString sent = traced().mid(before.size());
    EXPECT_EQ(count(sent, "查询整表载入（外层有 union）"), 1) << sent.toStdString();
    EXPECT_EQ(count(sent, "查询整表载入（order by 的列 dj 不在结果中）"), 1);
    // Searching a whole list needs no query
    EXPECT_EQ(codes(*u->Fcds, u->searchPositions("项目30", 20)).join(' '), "I00030 I00300");
}

TEST_F(LookupRowsTest, RecentPicksComeFirstForTheUserWhoPickedThem) {
    auto t = table();
    {
        Ui::LookupComboBox box(props(*t));
        box.show();
        auto* edit = box.findChild<QLineEdit*>();
        for (const char* code : {"XM005", "XM008", "XM005"}) {
            edit->clear();
            QTest::keyClicks(edit, code);
            ASSERT_EQ(box.popupView()->model()->rowCount(), 1) << code;
            box.choose(0);
        }
    }
    t->open();  // the two rows are beyond page one again
    Ui::LookupComboBox box(props(*t));
    box.resize(200, 24);
    box.show();
    box.showPopup();
    QAbstractItemModel* list = box.popupView()->model();
    const auto row = [&](int r) {
        return list->index(r, 0).data().toString() + ":" +
               list->index(r, 0).data(Qt::ToolTipRole).toString();
    };
    EXPECT_EQ(row(0), "XM005:最近选过");
    EXPECT_EQ(row(1), "XM008:最近选过");
    EXPECT_EQ(row(2), "I00001:");
    EXPECT_TRUE(list->index(0, 1).data(Qt::BackgroundRole).isValid());
    Qd::Test::keepRender(*box.popupView(), "lookup_recent_picks.png");
    // Typing hides them
    QTest::keyClicks(box.findChild<QLineEdit*>(), "I0000");
    EXPECT_EQ(row(0), "I00001:");
    box.hidePopup();

    // Another user sees none
    Sys::sysAuth()->userId += 1;
    Ui::LookupComboBox other(props(*t));
    other.show();
    other.showPopup();
    EXPECT_EQ(other.popupView()->model()->index(0, 0).data().toString(), "I00001");
    Sys::sysAuth()->userId -= 1;

    // A row the statement no longer returns never shows
    ASSERT_TRUE(db().execSQL("update qd_b_xmbmk set isdel = 1 where code = 'XM005'"));
    t->open();
    Ui::LookupComboBox after(props(*t));
    after.show();
    after.showPopup();
    EXPECT_EQ(after.popupView()->model()->index(0, 0).data().toString(), "XM008");
    EXPECT_EQ(after.popupView()->model()->index(1, 0).data().toString(), "I00001");
}

TEST_F(LookupRowsTest, AnOlderDatabaseGetsThePicksTableOnOpen) {
    db().exec("drop table qd_sys_lookuppicks");
    EXPECT_FALSE(Db::ensureFrameworkSchema(db()));
    EXPECT_EQ(scalar("select count(*) from qd_sys_lookuppicks"), "0");
}

}  // namespace
