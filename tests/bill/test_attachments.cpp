// 附件列表: adding files under their content's name (shared by copies), deleting, remarks written
// as they are posted, previews of pictures and documents, and the size texts.
#include <gtest/gtest.h>

#include <sqlite3.h>

#include <QApplication>
#include <QFile>
#include <QImage>
#include <QKeyEvent>
#include <QPlainTextEdit>

#include "bill/BillDialogs.h"
#include "bill/uImgAttachListForm.h"
#include "support/CoreTest.h"
#include "support/Rows.h"
#include "support/ScriptedPrompter.h"
#include "ui/ImageBox.h"
#include "ui/editors/Editors.h"
#include "ui/grid/Grid.h"

using namespace Qd::Core;
using Bill::TImgAttachListForm;
using Qd::Test::S;

namespace {

class Attachments : public Qd::Test::CoreTest {
protected:
    void SetUp() override {
        CoreTest::SetUp();
        ASSERT_NO_FATAL_FAILURE(login(S("1001"), 5));
        QImage picture(64, 48, QImage::Format_RGB32);
        picture.fill(Qt::darkCyan);
        ASSERT_TRUE(picture.save(file("图 1.png")));
        ASSERT_TRUE(QFile::copy(file("图 1.png"), file("copy'\" of.PNG")));
        write("报价.tar.gz", "quotation");
        write("README", "no extension");
        write("单.pdf", "%PDF-1.4 not a picture");
        prompts().acceptAllMessages(true);
    }

    QString file(const char* name) const { return dir() + S("/") + S(name); }
    void write(const char* name, const QByteArray& content) {
        QFile f(file(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(content);
    }
    void add(TImgAttachListForm& form, const QStringList& names) {
        QStringList paths;
        for (const QString& n : names)
            paths << dir() + S("/") + n;
        prompts().answerFiles(paths);
        form.actadd->trigger();
    }
    QStringList listed(TImgAttachListForm& form, const char* field) {
        return Qd::Test::rowTexts(form.cdsResult, {S(field)});
    }
    int storedFiles() { return scalar(S("select count(*) from qd_sys_filestore")).toInt(); }
};

TEST_F(Attachments, FilesAreAddedInOrderUnderTheirContentsName) {
    TImgAttachListForm form(nullptr, S("XMZZK"), S("D1"));
    const qsizetype before = traced().size();
    add(form, {S("图 1.png"), S("报价.tar.gz"), S("copy'\" of.PNG"), S("README")});
    EXPECT_EQ(listed(form, "fileName"),
              (QStringList{S("图 1.png"), S("报价.tar.gz"), S("copy'\" of.PNG"), S("README")}));
    EXPECT_EQ(listed(form, "remark"), listed(form, "fileName"));
    EXPECT_EQ(listed(form, "suffix"), (QStringList{S(".png"), S(".gz"), S(".PNG"), S("")}));
    const QStringList real = listed(form, "realName");
    const QString digest = Db::MD5Print(Db::MD5File(file("图 1.png")));
    EXPECT_EQ(real[0], digest + S(".png"));
    EXPECT_EQ(real[2], digest + S(".PNG"));  // the copy's content, its own extension
    EXPECT_EQ(real[3], Db::MD5Print(Db::MD5File(file("README"))));
    EXPECT_EQ(listed(form, "filesize")[1], S("9"));
    // Each row is written before the next file goes up.
    const QString sql = traced().mid(before);
    const qsizetype firstRow = sql.indexOf(S("qd_sys_attachList"));
    const qsizetype secondUpload = sql.indexOf(Db::MD5Print(Db::MD5File(file("报价.tar.gz"))));
    EXPECT_GE(firstRow, 0);
    EXPECT_LT(firstRow, secondUpload);
    EXPECT_TRUE(prompts().messages().isEmpty());
}

TEST_F(Attachments, CopiesShareOneStoredFileThatGoesWithTheLast) {
    TImgAttachListForm form(nullptr, S("XMZZK"), S("D1"));
    add(form, {S("图 1.png"), S("报价.tar.gz"), S("图 1.png")});
    EXPECT_EQ(form.cdsResult.recordCount(), 3);
    EXPECT_EQ(storedFiles(), 2);
    form.cdsResult.first();
    form.actdel->trigger();  // no question asked
    EXPECT_EQ(form.cdsResult.recordCount(), 2);
    EXPECT_EQ(storedFiles(), 2);  // the other copy still has it
    ASSERT_TRUE(form.cdsResult.locate(S("fileName"), S("图 1.png")));
    form.actpreview->trigger();
    EXPECT_TRUE(form.imgPreview->hasImage());
    form.actdel->trigger();
    EXPECT_EQ(storedFiles(), 1);
    EXPECT_EQ(listed(form, "fileName"), QStringList{S("报价.tar.gz")});
    EXPECT_TRUE(prompts().messages().isEmpty());
}

TEST_F(Attachments, AFileThatCannotBeReadOrStoredAddsNoRow) {
    TImgAttachListForm form(nullptr, S("XMZZK"), S("D1"));
    add(form, {S("不存在.png"), S("README")});
    ASSERT_EQ(prompts().messages().size(), 1);
    EXPECT_TRUE(prompts().messages()[0].contains(file("不存在.png")));
    EXPECT_EQ(listed(form, "fileName"), QStringList{S("README")});

    // The store refuses: its own report is all the user hears, and the list stays.
    ASSERT_EQ(sqlite3_exec(db().handle(),
                           "create trigger no_files before insert on qd_sys_filestore "
                           "begin select raise(abort, 'disk full'); end",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    prompts().clear();
    add(form, {S("报价.tar.gz")});
    EXPECT_LE(prompts().messages().size(), 1);  // the store's report, nothing of the dialog's own
    EXPECT_EQ(listed(form, "fileName"), QStringList{S("README")});
    EXPECT_EQ(scalar(S("select count(*) from qd_sys_attachList")), S("1"));
}

TEST_F(Attachments, RemarksAreWrittenBySavingAndByMovingOn) {
    TImgAttachListForm form(nullptr, S("XMZZK"), S("D1"));
    add(form, {S("图 1.png"), S("报价.tar.gz"), S("README")});
    form.cdsResult.first();
    form.edtRemark->setPlainText(S("设计稿 ' 😀"));
    form.actsave->trigger();
    EXPECT_EQ(scalar(S("select remark from qd_sys_attachList where fileName = N'图 1.png'")),
              S("设计稿 ' 😀"));

    form.show();
    form.cdsResult.moveTo(1);
    form.edtRemark->setPlainText(S("报价单"));
    Ui::GridView* v = form.cxgResultView;
    v->setCurrentIndex(v->model()->index(2, 0));  // the user clicks the third row
    EXPECT_EQ(scalar(S("select remark from qd_sys_attachList where fileName = N'报价.tar.gz'")),
              S("报价单"));
    EXPECT_EQ(form.cdsResult.field(S("fileName")).asString(), S("README"));
}

TEST_F(Attachments, ClosingOverAnUnsavedRemarkAsks) {
    TImgAttachListForm form(nullptr, S("XMZZK"), S("D1"));
    add(form, {S("README")});
    form.edtRemark->setPlainText(S("还没保存"));
    prompts().clear();
    prompts().answer(Ui::mrYes);
    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(&form, &escape);
    ASSERT_EQ(prompts().messages(), QStringList{S("数据未保存，是否保存？")});
    EXPECT_EQ(form.result(), QDialog::Rejected);
    EXPECT_EQ(scalar(S("select remark from qd_sys_attachList")), S("还没保存"));
}

TEST_F(Attachments, PreviewShowsPicturesAndOpensDocuments) {
    TImgAttachListForm form(nullptr, S("XMZZK"), S("D1"));
    add(form, {S("图 1.png"), S("单.pdf"), S("README")});
    form.cdsResult.first();
    form.actpreview->trigger();
    EXPECT_TRUE(form.imgPreview->hasImage());
    const QString picture = form.imgPreview->hint();
    EXPECT_TRUE(QFile::exists(picture));
    Q_EMIT form.imgPreview->doubleClicked();
    EXPECT_EQ(prompts().documents(), QStringList{picture});

    form.cdsResult.moveTo(1);
    form.actpreview->trigger();
    EXPECT_FALSE(form.imgPreview->hasImage());  // the placeholder
    EXPECT_TRUE(form.imgPreview->hint().isEmpty());
    ASSERT_EQ(prompts().documents().size(), 2);
    EXPECT_TRUE(prompts().documents()[1].endsWith(S(".pdf")));

    // A document no program takes is named; a file gone from the store shows the placeholder.
    form.cdsResult.moveTo(2);
    prompts().answerDocuments(false);
    form.actpreview->trigger();
    ASSERT_EQ(prompts().messages().size(), 1);
    EXPECT_TRUE(prompts().messages()[0].contains(form.cdsResult.field(S("realName")).asString()));
    db().exec(S("delete from qd_sys_filestore"));
    form.cdsResult.first();
    prompts().clear();
    form.actpreview->trigger();
    EXPECT_FALSE(form.imgPreview->hasImage());
    EXPECT_TRUE(prompts().documents().isEmpty());
}

TEST(AttachmentSize, TextsByRange) {
    const std::pair<qint64, const char*> rows[] = {
        {0, "0B"},          {1023, "1023B"},          {1024, "1.00KB"},
        {1152, "1.13KB"},   {1048575, "1024.00KB"},   {1048576, "1.00M"},
        {1572864, "1.50M"}, {1073741823, "1024.00M"}, {1073741824, "1073741824"},
    };
    for (const auto& [n, text] : rows)
        EXPECT_EQ(Bill::attachmentSizeText(n), S(text)) << n;
}

}  // namespace
