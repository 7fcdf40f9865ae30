// Hostile values through the master-data windows: every place a list, the category tree, the
// query panel, the batch copy dialog or the record editor puts a typed value (or the module's
// code) into a statement gets the whole corpus of support/HostileValues.h. Each value must come
// back exactly, in the window and in a fresh read of the file, and change nothing else; a value
// longer than its column is refused in one message with what was typed kept.
#include <gtest/gtest.h>

#include <QItemSelectionModel>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "base/Dispatch.h"
#include "basic/uBasicPropEditForm.h"
#include "basic/uDataCopyForm.h"
#include "basic/uMultiBasicRibbonForm.h"
#include "basic/uSingleBasicRibbonForm.h"
#include "core/uJoinTableObject.h"
#include "support/CoreTest.h"
#include "support/HostileValues.h"
#include "sys/uPlugItem.h"
#include "ui/editors/Editors.h"
#include "ui/grid/Grid.h"

using namespace Qd::Core;
using namespace Qd::Test;

namespace {

const char* kEmployees = R"({
  "mainsql": "select t1.* from qd_b_ygbmk t1 where t1.orgid = :orgid and t1.isdel = 0",
  "sort": "t1.id", "tablename": "qd_b_ygbmk", "key": "id", "ignoreFields": [],
  "validation": [{"datatype": "unique", "ele": "code", "errormsg": "编号已存在",
    "checksql": "select id from qd_b_ygbmk where orgid = '%s' and code = '%s' and id <> %d"}]})";

const char* kEmployeeColumns = R"([{"fieldname": "code", "label": "编号"},
  {"fieldname": "name", "label": "姓名"}, {"fieldname": "id", "label": "ID", "visiable": "false"}])";

const char* kItems = R"({
  "mainsql": "select t1.* from qd_b_xmbmk t1 where t1.orgid = :orgid and t1.isdel = 0",
  "sort": "t1.code", "tablename": "qd_b_xmbmk", "key": "id", "ignoreFields": [],
  "validation": [{"datatype": "unique", "ele": "code", "errormsg": "编号已存在",
    "checksql": "select id from qd_b_xmbmk where orgid = '%s' and code = '%s' and id <> %d"}],
  "params": [
    {"name": "name", "title": "名称", "type": "text", "paramsql": "and t1.name like N'%%%s%%'"},
    {"name": "unit", "title": "单位", "type": "text", "paramsql": "and t1.baseunit = N'%s'"}],
  "filter": {"mainsql": "select t1.* from qd_b_xmbmk t1 where t1.orgid = :orgid and t1.isdel = 0"}})";

// The first level lookup names the module's categories through ":iclass" between quotes.
const char* kItemColumns = R"([{"fieldname": "code", "label": "编号"},
  {"fieldname": "name", "label": "名称"}, {"fieldname": "baseunit", "label": "单位"},
  {"fieldname": "p1", "label": "一级", "type": "lookupcombobox",
   "join": {"sql": "select id, code, name from qd_b_category where iclass = ':iclass' and pid = 0 and orgid = :orgid",
            "keyfieldnames": "id", "listfieldnames": "name",
            "fields": [{"fieldname": "name", "caption": "名称", "target": "itemno"}]}},
  {"fieldname": "id", "label": "ID", "visiable": "false"}])";

class Injection : public CoreTest {
protected:
    void SetUp() override {
        CoreTest::SetUp();
        ASSERT_TRUE(db().execSQL(
            "insert into qd_b_category(orgid, pid, code, name, iclass) values(1, 0, '01', N'甲', "
            "'XM')\n"
            "insert into qd_b_xmbmk(orgid, p1, p2, code, name, baseunit) values(1, 1, 0, 'A01', "
            "N'名片', N'盒')"));
        ASSERT_NO_FATAL_FAILURE(login(QStringLiteral("1001"), 5));
    }

    template <class Form>
    std::unique_ptr<Form> open(const QString& module, const char* descriptor, const char* columns) {
        for (const char* s : {"_01", "_02"})
            grant(11, module + QLatin1String(s));
        plug = std::make_unique<Sys::TPlugItemSingleBasic>();
        plug->code = module;
        plug->name = plug->title = QStringLiteral("资料");
        plug->setTexts(QString::fromUtf8(descriptor), QString::fromUtf8(columns), QString());
        return std::unique_ptr<Form>(static_cast<Form*>(Base::TBaseRibbonForm::create(
            nullptr, [](QWidget* o, Sys::TPlugItem* d) { return new Form(o, d); }, plug.get())));
    }

    // Types `value` into the current row's cell of `field`, as the grid's editor commits it.
    static void type(Ui::GridView* view, Db::RecordSet& rs, const char* field,
                     const QString& value) {
        QAbstractItemModel* m = view->model();
        ASSERT_TRUE(m->setData(m->index(rs.recNo(), rs.fieldIndex(field)), value, Qt::EditRole));
    }
    // What the grid shows in the current row's cell of `field`.
    static QString shown(Ui::GridView* view, const Db::RecordSet& rs, const char* field) {
        return view->model()->index(rs.recNo(), rs.fieldIndex(field)).data().toString();
    }
    QString stored(const char* table, const char* column, qint64 id) {
        return freshText(dbPath(),
                         QStringLiteral("select %1 from %2 where id = :id")
                             .arg(QLatin1String(column), QLatin1String(table)),
                         {{QStringLiteral("id"), id}});
    }
    int width(const char* table, const char* column) {
        return columnWidth(dbPath(), QLatin1String(table), QLatin1String(column));
    }
    // Posts the row as the grid does when it is left. A value too long for its column must be
    // refused in one message naming the truncation, the row kept in editing with what was
    // typed and the database as it was; true when the row was saved.
    bool postRow(Ui::GridView* view, Db::RecordSet& rs, bool fits, const DbSnapshot& before) {
        const std::size_t asked = prompts().asked().size();
        if (!fits)
            prompts().answer(Ui::mrOk);
        view->model()->submit();
        if (fits) {
            EXPECT_EQ(prompts().asked().size(), asked);
            EXPECT_EQ(rs.state(), Db::DataSetState::Browse);
            return true;
        }
        EXPECT_EQ(prompts().asked().size(), asked + 1);
        EXPECT_TRUE(prompts().last().text.contains("would be truncated"))
            << prompts().last().text.toStdString();
        EXPECT_NE(rs.state(), Db::DataSetState::Browse);
        EXPECT_EQ(DbSnapshot(dbPath()).changesSince(before), QString());
        rs.cancel();
        rs.cancelUpdates();
        return false;
    }
    qint64 insertItem(const QString& code, const QString& name, const QString& unit) {
        EXPECT_TRUE(db().execSQL(
            QStringLiteral("insert into qd_b_xmbmk(orgid, p1, p2, code, name, baseunit) "
                           "values(1, 1, 0, :c, :n, :u)"),
            {{QStringLiteral("c"), code},
             {QStringLiteral("n"), name},
             {QStringLiteral("u"), unit}}));
        return scalar(QStringLiteral("select max(id) from qd_b_xmbmk")).toLongLong();
    }

    // Posts the category being typed, as the tree's editor does when it is left.
    static void postCategory(Base::TMultiBasicRibbonForm& f) {
        Sys::dispatch([&] { f.cdsCategory.post(); });
    }

    std::unique_ptr<Sys::TPlugItemSingleBasic> plug;
};

}  // namespace

TEST_F(Injection, ARowAddedEditedOrCopiedInAListKeepsTheValue) {
    auto f = open<Base::TSingleBasicRibbonForm>("YG", kEmployees, kEmployeeColumns);
    Ui::GridView* view = f->cxgMainDBTableView1;
    Db::RecordSet& rs = f->cdsMain;
    const int codeWidth = width("qd_b_ygbmk", "code");
    const int nameWidth = width("qd_b_ygbmk", "name");
    // The current row's `field` as the grid shows it and as a fresh read of the file has it.
    const auto expectKept = [&](const char* field, const HostileValue& v) {
        EXPECT_EQ(shown(view, rs, field), v.stored());
        EXPECT_EQ(stored("qd_b_ygbmk", field, rs.field("id").asLargeInt()), v.stored());
    };
    int copies = 0;
    forEachHostileValue([&](const HostileValue& v) {
        DbSnapshot before(dbPath());
        f->actAdd->trigger();
        type(view, rs, "code", v.text);
        type(view, rs, "name", v.text);
        if (postRow(view, rs, v.fits(codeWidth), before)) {
            expectKept("code", v);
            expectKept("name", v);
            EXPECT_EQ(DbSnapshot(dbPath()).changesSince(before), "qd_b_ygbmk: 1 added");

            // The same code again is found by the "unique" rule, which pastes it between quotes.
            before = DbSnapshot(dbPath());
            f->actAdd->trigger();
            type(view, rs, "code", v.text);
            prompts().answer(Ui::mrOk);
            view->model()->submit();
            EXPECT_EQ(prompts().last().text, QStringLiteral("编号已存在"));
            EXPECT_EQ(DbSnapshot(dbPath()).changesSince(before), QString());
            rs.cancel();
            rs.cancelUpdates();
        }

        // 修改 of a saved row, then 复制, which takes the name along to a code of its own.
        ASSERT_TRUE(rs.locate("code", "Y01"));
        before = DbSnapshot(dbPath());
        type(view, rs, "name", v.text);
        if (!postRow(view, rs, v.fits(nameWidth), before))
            return;
        expectKept("name", v);
        EXPECT_EQ(DbSnapshot(dbPath()).changesSince(before), "qd_b_ygbmk: 1 changed");
        before = DbSnapshot(dbPath());
        f->actCopy->trigger();
        type(view, rs, "code", QStringLiteral("CP%1").arg(++copies));
        ASSERT_TRUE(postRow(view, rs, true, before));
        expectKept("name", v);
        EXPECT_EQ(DbSnapshot(dbPath()).changesSince(before), "qd_b_ygbmk: 1 added");
    });
    EXPECT_EQ(prompts().pending(), 0);
}

TEST_F(Injection, ACategoryKeepsItsCodeAndName) {
    auto f = open<Base::TMultiBasicRibbonForm>("XM", kItems, kItemColumns);
    const int codeWidth = width("qd_b_category", "code");
    forEachHostileValue([&](const HostileValue& v) {
        const DbSnapshot before(dbPath());
        f->actCategory_Add->trigger();
        ASSERT_EQ(f->cdsCategory.state(), Db::DataSetState::Insert);
        // What the tree's cell editors write.
        f->cdsCategory.field("code").setValue(v.text);
        f->cdsCategory.field("name").setValue(v.text);
        const std::size_t asked = prompts().asked().size();
        if (!v.fits(codeWidth)) {
            prompts().answer(Ui::mrOk);
            postCategory(*f);
            EXPECT_EQ(prompts().asked().size(), asked + 1);
            EXPECT_NE(f->cdsCategory.state(), Db::DataSetState::Browse);
            EXPECT_EQ(f->cdsCategory.field("name").asString(), v.stored());
            EXPECT_EQ(DbSnapshot(dbPath()).changesSince(before), QString());
            // Cancelling saves the category again (and is refused again): the user would have
            // to correct it. The window goes instead, without asking.
            f = open<Base::TMultiBasicRibbonForm>("XM", kItems, kItemColumns);
            return;
        }
        postCategory(*f);
        EXPECT_EQ(prompts().asked().size(), asked);
        // The tree is loaded again and shows it.
        ASSERT_TRUE(f->cdsCategory.locate("name", v.stored()));
        EXPECT_EQ(f->cdsCategory.field("code").asString(), v.stored());
        const qint64 id = f->cdsCategory.field("id").asLargeInt();
        EXPECT_EQ(stored("qd_b_category", "code", id), v.stored());
        EXPECT_EQ(stored("qd_b_category", "name", id), v.stored());
        EXPECT_EQ(DbSnapshot(dbPath()).changesSince(before), "qd_b_category: 1 added");
    });
    EXPECT_EQ(prompts().pending(), 0);
}

TEST_F(Injection, TheModuleCodeFilesCategoriesFeedsLookupsAndKeepsTheLayout) {
    const int moduleWidth = width("qd_sys_plugins", "code");
    forEachHostileValue([&](const HostileValue& v) {
        // No module can have a code its registry column does not hold.
        if (!v.fits(moduleWidth))
            return;
        auto f = open<Base::TMultiBasicRibbonForm>(v.text, kItems, kItemColumns);
        ASSERT_TRUE(f->cdsMain.active());
        const DbSnapshot before(dbPath());
        f->actCategory_Add->trigger();
        f->cdsCategory.field("code").setValue("T1");
        f->cdsCategory.field("name").setValue(QStringLiteral("顶层"));
        postCategory(*f);
        // The tree lists the module's category, and the lookup naming ":iclass" finds it.
        ASSERT_EQ(f->cdsCategory.recordCount(), 1);
        const qint64 top = f->cdsCategory.field("id").asLargeInt();
        EXPECT_EQ(stored("qd_b_category", "iclass", top), v.stored());
        const Db::RecordSet* lookup =
            f->cxgMainDBTableView1->columnAt(f->cdsMain.fieldIndex("p1"))->props.listSource;
        ASSERT_TRUE(lookup && lookup->active());
        EXPECT_EQ(lookup->recordCount(), 1);
        // A second level under it, for the batch copy dialog's level lists.
        f->actCategory_AddChild->trigger();
        f->cdsCategory.field("code").setValue("C1");
        f->cdsCategory.field("name").setValue(QStringLiteral("子类"));
        postCategory(*f);
        f->actColSet->trigger();
        EXPECT_EQ(freshText(dbPath(),
                            "select count(*) from qd_sys_columnconfig where billcode = :b and "
                            "cxgname = 'cxgMain.cxgMainDBTableView1'",
                            {{"b", v.stored()}}),
                  "1");
        EXPECT_EQ(DbSnapshot(dbPath()).changesSince(before),
                  "qd_b_category: 2 added; qd_sys_columnconfig: 1 added");

        // The record editor fills the same lookup the same way.
        QJsonObject info = QJsonDocument::fromJson(kItems).object();
        info.insert("columns", QJsonDocument::fromJson(kItemColumns).array());
        Base::TBasicPropEditForm editor(nullptr, v.text, 0, int(top), 0, info,
                                        Db::DataSetState::Insert);
        ASSERT_EQ(editor.joinTableList.count("p1"), 1u);
        EXPECT_EQ(editor.joinTableList.at("p1")->Fcds->recordCount(), 1);

        Base::Tdatacopyform copy(nullptr, plug.get(), "[]");
        ASSERT_EQ(copy.cdsp1.recordCount(), 1);
        EXPECT_EQ(copy.cdsp1.field("code").asString(), "T1");
        copy._initlevelP2(int(top));
        ASSERT_TRUE(copy.cdsp2.active());
        ASSERT_EQ(copy.cdsp2.recordCount(), 1);
        EXPECT_EQ(copy.cdsp2.field("code").asString(), "C1");
    });
    EXPECT_EQ(prompts().pending(), 0);
}

// "%" and "_" keep their like meaning in a text condition: the row holding the value exactly is
// always among what is found, and a value without them finds only rows that hold it.
TEST_F(Injection, TheQueryPanelFindsWhatWasStoredAndChangesNothing) {
    const int nameWidth = width("qd_b_xmbmk", "name");
    const int unitWidth = width("qd_b_xmbmk", "baseunit");
    std::map<QString, qint64> ids;
    forEachHostileValue([&](const HostileValue& v) {
        if (v.fits(nameWidth))
            ids[v.name] = insertItem(QStringLiteral("S%1").arg(ids.size()), v.text,
                                     v.fits(unitWidth) ? v.text : QStringLiteral("个"));
    });
    auto f = open<Base::TMultiBasicRibbonForm>("XM", kItems, kItemColumns);
    Db::RecordSet& rs = f->cdsMain;
    auto found = [&] {
        std::set<qint64> out;
        for (int pos = 0; pos < rs.recordCount(); ++pos)
            out.insert(rs.intAt(rs.rowAt(pos), rs.fieldIndex("id")));
        return out;
    };
    forEachHostileValue([&](const HostileValue& v) {
        const DbSnapshot before(dbPath());
        f->cxgParams->setValue("unit", QVariant());
        f->cxgParams->setValue("name", v.text);
        f->actFindSQL->trigger();
        ASSERT_TRUE(rs.active());
        if (v.fits(nameWidth)) {
            EXPECT_TRUE(found().count(ids[v.name]));
        }
        const bool wildcards = v.text.contains(u'%') || v.text.contains(u'_');
        for (int pos = 0; pos < rs.recordCount() && !wildcards; ++pos)
            EXPECT_TRUE(rs.textAt(rs.rowAt(pos), rs.fieldIndex("name")).contains(v.stored()));

        f->cxgParams->setValue("name", QVariant());
        f->cxgParams->setValue("unit", v.text);
        f->actFindSQL->trigger();
        ASSERT_TRUE(rs.active());
        if (v.fits(unitWidth))
            EXPECT_EQ(found(), std::set<qint64>{ids[v.name]});
        else
            EXPECT_TRUE(found().empty());
        EXPECT_EQ(DbSnapshot(dbPath()).changesSince(before), QString());
    });
    EXPECT_EQ(prompts().pending(), 0);
}

TEST_F(Injection, TheBatchCopyLoadsChecksAndSavesCodesAsTheyAre) {
    const int codeWidth = width("qd_b_xmbmk", "code");
    auto f = open<Base::TMultiBasicRibbonForm>("XM", kItems, kItemColumns);
    forEachHostileValue([&](const HostileValue& v) {
        // The sources' codes and the copies' codes are the value with a letter after it.
        if (!v.fits(codeWidth - 1))
            return;
        const qint64 a = insertItem(v.text + "a", v.text, QStringLiteral("个"));
        const qint64 b = insertItem(v.text + "b", v.text, QStringLiteral("个"));
        const DbSnapshot before(dbPath());
        QJsonArray codes{v.text + "a", v.text + "b"};
        Base::Tdatacopyform copy(nullptr, plug.get(),
                                 QString::fromUtf8(QJsonDocument(codes).toJson()));
        ASSERT_EQ(copy.cdsMain.recordCount(), 2);
        int n = 0;
        for (copy.cdsMain.first(); !copy.cdsMain.eof(); copy.cdsMain.next()) {
            EXPECT_EQ(copy.cdsMain.field("name").asString(), v.stored());
            copy.cdsMain.edit();
            copy.cdsMain.field("code").setValue(v.text + QChar(u'c' + n++));
            copy.cdsMain.post();
        }
        // A code taken is found, quotes and all: the first copy takes a source's code.
        copy.cdsMain.first();
        copy.cdsMain.edit();
        copy.cdsMain.field("code").setValue(v.text + "a");
        copy.cdsMain.post();
        prompts().answer(Ui::mrOk);
        copy.actok->trigger();
        EXPECT_EQ(prompts().last().text,
                  QStringLiteral("编号") + v.stored() + QStringLiteral("a重复，请重新输入"));
        EXPECT_EQ(DbSnapshot(dbPath()).changesSince(before), QString());
        copy.cdsMain.edit();
        copy.cdsMain.field("code").setValue(v.text + "c");
        copy.cdsMain.post();
        copy.actok->trigger();
        EXPECT_EQ(copy.result(), QDialog::Accepted);
        EXPECT_EQ(freshText(dbPath(),
                            "select count(*) from qd_b_xmbmk where name = :n and code in (:c, :d) "
                            "and id > :b",
                            {{"n", v.stored()},
                             {"c", v.stored() + "c"},
                             {"d", v.stored() + "d"},
                             {"b", std::max(a, b)}}),
                  "2");
        EXPECT_EQ(DbSnapshot(dbPath()).changesSince(before), "qd_b_xmbmk: 2 added");
    });
    EXPECT_EQ(prompts().pending(), 0);
}

TEST_F(Injection, TheRecordEditorChecksAndSavesCodeNameAndExtendedInformation) {
    ASSERT_TRUE(
        db().execSQL("insert into qd_b_khbmk(orgid, ck_id, p1, p2, code, name) "
                     "values(1, 5, 7, 0, 'K1', N'甲公司')"));
    for (const char* s : {"_01", "_02"})
        grant(11, QStringLiteral("KH") + s);
    QJsonObject info = QJsonDocument::fromJson(R"({
      "mainsql": "select t1.* from qd_b_khbmk t1 where t1.orgid = :orgid and t1.isdel = 0",
      "sort": "t1.code", "tablename": "qd_b_khbmk", "key": "id", "ignoreFields": [],
      "validation": [], "expand": [{"key": "税号"}]})")
                           .object();
    const qint64 id = scalar("select id from qd_b_khbmk where code = 'K1'").toLongLong();
    Base::TBasicPropEditForm f(nullptr, "KH", int(id), 7, 0, info, Db::DataSetState::Browse);
    const int codeWidth = width("qd_b_khbmk", "code");
    forEachHostileValue([&](const HostileValue& v) {
        const DbSnapshot before(dbPath());
        EXPECT_TRUE(f.cxDBTextEdit1PropertiesValidate(v.text));
        f.cdsMain.edit();
        f.cdsMain.field("code").setValue(v.text);
        f.cdsMain.field("name").setValue(v.text);
        f.cxgextend->setValue("extend0", v.text);
        const std::size_t asked = prompts().asked().size();
        if (!v.fits(codeWidth)) {
            prompts().answer(Ui::mrOk);
            f.doSave();
            EXPECT_EQ(prompts().asked().size(), asked + 1);
            EXPECT_EQ(f.cdsMain.field("name").asString(), v.stored());
            EXPECT_EQ(DbSnapshot(dbPath()).changesSince(before), QString());
            if (f.cdsMain.state() != Db::DataSetState::Browse)
                f.cdsMain.cancel();
            f.cdsMain.cancelUpdates();
            return;
        }
        f.doSave();
        EXPECT_EQ(prompts().asked().size(), asked);
        EXPECT_EQ(f.cdsMain.field("code").asString(), v.stored());
        EXPECT_EQ(stored("qd_b_khbmk", "code", id), v.stored());
        EXPECT_EQ(stored("qd_b_khbmk", "name", id), v.stored());
        EXPECT_EQ(QJsonDocument::fromJson(stored("qd_b_khbmk", "extend", id).toUtf8())
                      .object()
                      .value(QStringLiteral("税号"))
                      .toString(),
                  v.stored());
        EXPECT_EQ(DbSnapshot(dbPath()).changesSince(before), "qd_b_khbmk: 1 changed");
        // Its own code is free for it; another record's is not.
        EXPECT_TRUE(f.cxDBTextEdit1PropertiesValidate(v.text));
    });
    EXPECT_EQ(prompts().pending(), 0);
}
