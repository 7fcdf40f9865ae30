// The file explorer and the store's default customer: the stored-path mapping both ways, joins
// and refused names, drops on a taken name, the view style kept in config.ini; the store dialog's
// picker replies, 确认 enabling, and a failing update.
#include <gtest/gtest.h>

#include <QActionGroup>
#include <QDir>
#include <QFile>
#include <QFileSystemModel>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QSettings>
#include <QStackedWidget>
#include <QTest>
#include <QToolButton>
#include <QTreeView>

#include "support/CoreTest.h"
#include "support/Render.h"
#include "sys/uAuth.h"
#include "sys/uPlugItem.h"
#include "tools/ExplorerFolders.h"
#include "tools/uckbmkdefkhinfoform.h"
#include "tools/ufileExplorerform.h"

using namespace Qd::Core;
using namespace Qd::Core::Tools;

namespace {

QString S(const char* text) {
    return QString::fromUtf8(text);
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

QByteArray readFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

class ExplorerTest : public Qd::Test::LoggedInTest {
protected:
    QString home() const { return QDir::cleanPath(dir()); }
    QString configIni() const { return dir() + S("/config.ini"); }
};

TEST_F(ExplorerTest, StoredPathsMapToLocalFoldersAndBack) {
    struct Case {
        const char* stored;
        QString local;
        const char* back;  // the stored form the local folder maps back to
    };
    const Case cases[] = {
        {"D:\\订单\\2026", home() + S("/drives/D/订单/2026"), "D:\\订单\\2026"},
        {"d:/a\\b\\", home() + S("/drives/D/a/b"), "D:\\a\\b"},
        {"E:", home() + S("/drives/E"), "E:\\"},
        {"D:\\..\\..\\etc", home() + S("/drives/D/etc"), "D:\\etc"},
        {"\\\\srv\\共享\\x", home() + S("/unc/srv/共享/x"), "\\\\srv\\共享\\x"},
        {"订单\\2026", home() + S("/订单/2026"), "订单\\2026"},
        {"/srv/files/", S("/srv/files"), "/srv/files"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.stored);
        EXPECT_EQ(localFolder(S(c.stored)), c.local);
        EXPECT_EQ(storedFolder(c.local), S(c.back));
    }

    const QString mnt = home() + S("/mnt");
    {
        QSettings ini(configIni(), QSettings::IniFormat);
        ini.setValue(S("drives/D"), mnt + S("/d"));
        ini.setValue(S("drives/srv/files"), mnt + S("/share"));
    }
    EXPECT_EQ(localFolder(S("d:\\a")), mnt + S("/d/a"));
    EXPECT_EQ(localFolder(S("\\\\SRV\\files\\x")), mnt + S("/share/x"));
    EXPECT_EQ(localFolder(S("E:\\a")), home() + S("/drives/E/a"));
    EXPECT_EQ(storedFolder(mnt + S("/d/a")), S("D:\\a"));
    EXPECT_EQ(storedFolder(mnt + S("/share/x")), S("\\\\srv\\files\\x"));
}

TEST_F(ExplorerTest, NewFolderNamesJoinWithOneSeparatorOrAreRefused) {
    EXPECT_EQ(joinFolder(S("D:\\a"), S("新")), S("D:\\a\\新"));
    EXPECT_EQ(joinFolder(S("D:\\a\\"), S("新")), S("D:\\a\\新"));
    EXPECT_EQ(joinFolder(S("/srv/a"), S("新")), S("/srv/a/新"));
    EXPECT_EQ(joinFolder(S("/srv/a/"), S("新")), S("/srv/a/新"));
    EXPECT_EQ(joinFolder(QString(), S("新")), S("新"));

    for (const char* bad :
         {"", " ", ".", "..", "a/b", "a\\b", "c:", "a*", "a?", "\"a\"", "<a>", "a|b"}) {
        SCOPED_TRACE(bad);
        const QString fault = folderNameFault(S(bad));
        EXPECT_FALSE(fault.isEmpty());
        if (!S(bad).trimmed().isEmpty()) {
            EXPECT_TRUE(fault.contains(S(bad)));
        }
    }
    for (const char* good : {"2026年订单", "a.b", "a b", "...x"})
        EXPECT_TRUE(folderNameFault(S(good)).isEmpty()) << good;
}

TEST_F(ExplorerTest, DroppedFilesAreCopiedUnderAFreeName) {
    const QString src = dir() + S("/src");
    writeFile(src + S("/a.txt"), "new");
    writeFile(src + S("/说明"), "plain");
    const QString folder = dir() + S("/drives/D/orders/X1");
    writeFile(folder + S("/a.txt"), "old");
    writeFile(folder + S("/a (2).txt"), "older");

    TfileExplorerform form(nullptr, QString(), S("D:\\orders\\X1"));
    EXPECT_EQ(form.dropFiles({src + S("/a.txt"), src + S("/说明"), src + S("/missing.txt")}),
              (QStringList{S("a (3).txt"), S("说明")}));
    EXPECT_EQ(readFile(folder + S("/a.txt")), "old");
    EXPECT_EQ(readFile(folder + S("/a (3).txt")), "new");
    EXPECT_EQ(QDir(folder).entryList(QDir::Files | QDir::Hidden).size(), 4);  // no temporary left

    // A missing folder lists empty, without a message, and a drop creates it.
    form.edtPath->setText(S("D:\\orders\\X2"));
    form.showFolder();
    EXPECT_EQ(form.folderPages->currentWidget(), static_cast<QWidget*>(form.missingLabel));
    EXPECT_EQ(form.dropFiles({src + S("/a.txt")}), QStringList{S("a.txt")});
    EXPECT_EQ(form.folderPages->currentWidget(), static_cast<QWidget*>(form.detailsView));
    EXPECT_TRUE(prompts().messages().isEmpty());
}

TEST_F(ExplorerTest, TheViewStyleIsReadFromConfigAndWrittenOnClose) {
    EXPECT_EQ(readListStyle(), 3);  // missing
    for (const char* bad : {"x", "7", "-1", ""}) {
        QSettings(configIni(), QSettings::IniFormat).setValue(S("main/liststyle"), S(bad));
        EXPECT_EQ(readListStyle(), 3) << bad;
    }
    QFile::remove(configIni());
    {
        TfileExplorerform form(nullptr, QString(), QString());
        EXPECT_EQ(form._style, 3);
        EXPECT_EQ(form.btnView->text(), S("详细列表"));
        EXPECT_EQ(form.viewStyles->checkedAction()->data().toInt(), 3);
        EXPECT_FALSE(QFile::exists(configIni()));
        form.viewStyles->actions().at(0)->trigger();
        EXPECT_EQ(form._style, 0);
        EXPECT_EQ(form.btnView->text(), S("大图标"));
        EXPECT_EQ(form.btnView->width(),
                  form.btnView->fontMetrics().horizontalAdvance(S("大图标AAA")));
        form.done(QDialog::Rejected);
    }
    EXPECT_EQ(QSettings(configIni(), QSettings::IniFormat).value(S("main/liststyle")).toInt(), 0);
    EXPECT_TRUE(Qd::Test::isOwnerOnly(configIni()));
    TfileExplorerform again(nullptr, QString(), QString());
    EXPECT_EQ(again._style, 0);
    EXPECT_EQ(again.viewStyles->checkedAction()->text(), S("大图标"));
}

TEST_F(ExplorerTest, TheCaptionAndPathFollowTheOrderOrTheStoreFolder) {
    db().exec(
        S("insert into qd_x_xmzzk(orgid, ck_id, billno, filedir) values(1, 5, 'X1', "
          "N'D:\\订单\\X1')\n"
          "insert into qd_x_xmzzk(orgid, ck_id, billno) values(1, 5, 'X2')"));
    Sys::sysAuth()->defaultPath = S("D:\\店");
    {
        TfileExplorerform form(nullptr, S("X1"), S("ignored"));
        EXPECT_EQ(form.windowTitle(), S("文件选择器(浏览) 订单编号：X1"));
        EXPECT_EQ(form.edtPath->text(), S("D:\\订单\\X1"));
    }
    EXPECT_EQ(TfileExplorerform(nullptr, S("X2"), QString()).edtPath->text(), QString());
    TfileExplorerform created(nullptr, QString(), QString());
    EXPECT_EQ(created.windowTitle(), S("文件选择器(创建) 默认路径：D:\\店"));
    EXPECT_EQ(created.edtPath->text(), S("D:\\店"));
    EXPECT_EQ(TfileExplorerform(nullptr, QString(), S("E:\\x")).edtPath->text(), S("E:\\x"));
    Sys::sysAuth()->defaultPath.clear();
    EXPECT_EQ(TfileExplorerform(nullptr, QString(), QString()).windowTitle(),
              S("文件选择器(创建) 当前门店未设置默认路径"));
}

TEST_F(ExplorerTest, NewFolderCreatesItWithItsParentsOrNamesTheFault) {
    TfileExplorerform form(nullptr, QString(), S("D:\\orders"));
    EXPECT_EQ(form.folderPages->currentWidget(), static_cast<QWidget*>(form.missingLabel));
    prompts().answerText(S("新建"));
    form.actNewDirExecute();
    EXPECT_EQ(prompts().last().title, S("请输入新建目录名称："));
    EXPECT_EQ(prompts().last().text, S("新目录："));
    EXPECT_EQ(form.edtPath->text(), S("D:\\orders\\新建"));
    EXPECT_TRUE(QFileInfo(dir() + S("/drives/D/orders/新建")).isDir());
    EXPECT_EQ(form.folderPages->currentWidget(), static_cast<QWidget*>(form.detailsView));

    prompts().answerText(S("a:b"));
    prompts().answer(Ui::mrOk);
    form.actNewDirExecute();
    EXPECT_TRUE(prompts().messages().value(0).contains(S("a:b")));
    EXPECT_EQ(form.edtPath->text(), S("D:\\orders\\新建"));

    // The path is shown even when the folder cannot be made.
    writeFile(dir() + S("/drives/D/file"), "x");
    form.edtPath->setText(S("D:\\file"));
    prompts().answerText(S("sub"));
    form.actNewDirExecute();
    EXPECT_EQ(form.edtPath->text(), S("D:\\file\\sub"));
    EXPECT_EQ(form.folderPages->currentWidget(), static_cast<QWidget*>(form.missingLabel));
}

TEST_F(ExplorerTest, RendersDetailsAndLargeIcons) {
    for (const char* name : {"设计稿.pdf", "报价单.xlsx", "照片.jpg"})
        writeFile(dir() + S("/drives/D/orders/X1/") + S(name), "x");
    QDir().mkpath(dir() + S("/drives/D/orders/X1/初稿"));
    TfileExplorerform form(nullptr, QString(), S("D:\\orders\\X1"));
    // The list is filled in the background, as the folder is read.
    QTRY_COMPARE(form.folderModel->rowCount(form.detailsView->rootIndex()), 4);
    Qd::Test::keepRender(form, S("file_explorer_details.png"));
    form.setStyle(0);
    Qd::Test::keepRender(form, S("file_explorer_large_icons.png"));
    EXPECT_EQ(form.folderPages->currentWidget(), static_cast<QWidget*>(form.iconsView));
}

// The store dialog on store 5 (MD05 五号店), customers 7 (K07 老客户) and 8.
class StoreCustomerTest : public Qd::Test::LoggedInTest {
protected:
    void SetUp() override {
        LoggedInTest::SetUp();
        db().exec(
            S("insert into qd_b_khbmk(orgid, code, name) values(1, 'K07', N'老客户')\n"
              "update qd_b_khbmk set id = 7 where code = 'K07'\n"
              "update qd_b_ckbmk set rootdir = N'\\\\srv\\files' where id = 5"));
        Sys::TPlugsPool::registerSelectEntry(
            S("TPickerStandIn"),
            [this](QWidget*, Sys::TPlugItem&, const QString&, const QString&) { return reply; });
    }
    void TearDown() override {
        Sys::TPlugsPool::registerSelectEntry(S("TPickerStandIn"), Sys::SelectEntry());
        LoggedInTest::TearDown();
    }
    void addPicker() {
        db().exec(
            S("insert into qd_sys_plugins(orgid, code, name, title, groupname, formclass, "
              "plugininfo, isort) values(1, 'KHCX', N'客户会员查询', N'客户会员查询', "
              "N'基础资料', 'TPickerStandIn', '{}', 1)"));
        sys->plugs().load();
    }
    QString reply;
};

TEST_F(StoreCustomerTest, PickerRepliesDecideTheCustomerAndConfirm) {
    Tckbmkdefkhinfoform form(nullptr, 5);
    EXPECT_EQ(form.lblStore->text(), S("五号店(MD05)"));
    EXPECT_EQ(form.edtRootdir->text(), S("\\\\srv\\files"));
    EXPECT_FALSE(form.actOK->isEnabled());

    prompts().answer(Ui::mrOk);
    form.chooseCustomer();  // no picker registered
    EXPECT_TRUE(prompts().messages().value(0).contains(S("客户会员查询")));
    addPicker();
    struct Case {
        const char* reply;
        const char* code;
        qint64 id;
    };
    const Case cases[] = {
        {"", "", 0},
        {"not json", "", 0},
        {"{\"id\":7}", "", 0},
        {"[]", "", 0},
        {"[{\"id\":\"abc\",\"code\":\"K99\",\"name\":\"x\"}]", "K99", 0},
        {"[{\"id\":1.5,\"code\":\"K98\",\"name\":\"x\"}]", "K98", 0},
        {"[{\"id\":\"8\",\"code\":\"K08\",\"name\":\"y\"}]", "K08", 8},
        {"[{\"id\":7,\"code\":\"K07\",\"name\":\"老客户\"},{\"id\":9}]", "K07", 7},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.reply);
        form.edtKhCode->clear();
        form.kh_id = 0;
        reply = S(c.reply);
        form.chooseCustomer();
        EXPECT_EQ(form.edtKhCode->text(), S(c.code));
        EXPECT_EQ(form.kh_id, c.id);
        EXPECT_EQ(form.actOK->isEnabled(), c.id >= 1);
    }
    EXPECT_EQ(form.edtKhName->text(), S("老客户"));
    Qd::Test::keepRender(form, S("store_default_customer.png"));

    form.edtRootdir->setText(S("D:\\共享"));
    form.actOK->trigger();
    EXPECT_EQ(form.result(), QDialog::Accepted);
    EXPECT_EQ(scalar(S("select kh_id, rootdir from qd_b_ckbmk where id = 5")), S("7 | D:\\共享"));
    EXPECT_EQ(Sys::sysAuth()->defaultPath, S("D:\\共享"));
}

TEST_F(StoreCustomerTest, AFailingUpdateKeepsTheDialogAndTheSessionFolder) {
    addPicker();
    Sys::sysAuth()->defaultPath = S("\\\\srv\\files");
    Tckbmkdefkhinfoform form(nullptr, 5);
    reply = S("[{\"id\":7,\"code\":\"K07\",\"name\":\"老客户\"}]");
    form.chooseCustomer();
    form.edtRootdir->setText(S("D:\\新"));
    db().exec(S("drop table qd_b_ckbmk"));
    prompts().acceptAllMessages(true);
    form.actOK->trigger();
    EXPECT_NE(form.result(), QDialog::Accepted);
    EXPECT_EQ(Sys::sysAuth()->defaultPath, S("\\\\srv\\files"));
}

TEST_F(StoreCustomerTest, AStoreWithoutARowIsNamedAndCannotBeConfirmed) {
    Tckbmkdefkhinfoform form(nullptr, 99);
    EXPECT_TRUE(form.lblStore->text().contains(S("99")));
    EXPECT_FALSE(form.actOK->isEnabled());
    EXPECT_FALSE(form.actChoose->isEnabled());
}

}  // namespace
