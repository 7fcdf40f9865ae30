// Choosing several files: the widget prompter's real dialog, shown without its modal loop on a
// folder of files.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QImage>
#include <QListView>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include "ui/WidgetPrompter.h"

using namespace Qd::Core::Ui;

namespace {

const QList<FileFilter> kAttachmentFilters = {
    {QStringLiteral("所有文件"), QStringLiteral("*.*")},
    {QStringLiteral("图像文件(*.jpg;*.jpg;*.jpeg;*.gif;*.png)"),
     QStringLiteral("*.jpg;*.jpeg;*.gif;*.png")},
};

class OpenFilesDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(QImage(8, 8, QImage::Format_RGB32).save(dir.filePath("样品.png")));
        for (const char* name : {"说明.txt", "README", "报价 单.JPG"}) {
            QFile f(dir.filePath(QString::fromUtf8(name)));
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            f.write("x");
        }
    }
    // Shows the dialog (no modal loop) and waits until it has read the folder.
    void open(const QList<FileFilter>& filters) {
        dialog = makeOpenFilesDialog(nullptr, QStringLiteral("选择附件"), dir.path(), filters);
        auto* model = dialog->findChild<QFileSystemModel*>();
        ASSERT_NE(model, nullptr);
        QSignalSpy loaded(model, &QFileSystemModel::directoryLoaded);
        dialog->show();
        ASSERT_TRUE(loaded.count() > 0 || loaded.wait(10000));
    }
    // The captions the file-type list shows.
    QStringList captions() const {
        auto* combo = dialog->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
        QStringList out;
        for (int i = 0; combo && i < combo->count(); ++i)
            out << combo->itemText(i);
        return out;
    }
    void chooseType(int i) {
        auto* combo = dialog->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
        combo->setCurrentIndex(i);
        Q_EMIT combo->activated(i);  // as a choice made by the user
    }
    // The files the list shows, sorted, once it shows `count` of them (the folder is read and
    // filtered in the background), or what it shows when it never does.
    QStringList listedWhen(int count) const {
        (void)QTest::qWaitFor([&] { return listed().size() == count; }, 10000);
        return listed();
    }
    QStringList listed() const {
        auto* view = dialog->findChild<QListView*>(QStringLiteral("listView"));
        QStringList out;
        QAbstractItemModel* model = view->model();
        for (int r = 0; r < model->rowCount(view->rootIndex()); ++r)
            out << model->index(r, 0, view->rootIndex()).data().toString();
        out.sort();
        return out;
    }

    QTemporaryDir dir;
    std::unique_ptr<QFileDialog> dialog;
};

}  // namespace

// Each type shows its caption exactly and lists the files of its mask: "*.*" every file, with an
// extension or without; the image type by its patterns, whatever the case of the extension,
// although its caption holds a parenthesised text Qt would read as one pattern.
TEST_F(OpenFilesDialogTest, CaptionsShowAsGivenAndMasksPickTheFiles) {
    open(kAttachmentFilters);
    EXPECT_EQ(captions(),
              QStringList({kAttachmentFilters[0].caption, kAttachmentFilters[1].caption}));
    EXPECT_EQ(listedWhen(4), QStringList({"README", "报价 单.JPG", "样品.png", "说明.txt"}));

    chooseType(1);
    EXPECT_EQ(listedWhen(2), QStringList({"报价 单.JPG", "样品.png"}));

    chooseType(0);
    EXPECT_EQ(listedWhen(4).size(), 4);

    // A type without a mask lists every file; no types at all leave the dialog's own.
    open({{QStringLiteral("文本"), QStringLiteral("*.txt")}, {QStringLiteral("其他"), QString()}});
    EXPECT_EQ(listedWhen(1), QStringList({"说明.txt"}));
    chooseType(1);
    EXPECT_EQ(listedWhen(4).size(), 4);

    open({});
    EXPECT_EQ(listedWhen(4).size(), 4);
}
