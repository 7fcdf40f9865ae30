#pragma once

#include "core/uBaseForm.h"

class QActionGroup;
class QFileSystemModel;
class QLabel;
class QLineEdit;
class QListView;
class QStackedWidget;
class QToolButton;
class QTreeView;

namespace Qd::Core::Tools {

// 文件选择器: browses, creates and fills the folder of a production order (or the store's
// default folder). The path field holds the folder in its stored form; the list below shows
// the local folder it maps to (ExplorerFolders.h). Files dropped on the list are copied into it.
class TfileExplorerform : public Base::TBaseForm {
    Q_OBJECT
public:
    TfileExplorerform(QWidget* AOwner, const QString& _billno, const QString& _dir);

    // Shows `style` (0 large icons, 1 small icons, 2 list, 3 details) and checks its entry.
    void setStyle(int style);
    // Shows the folder the path field names; a missing one lists empty.
    void showFolder();
    void actNewDirExecute();
    void actHomeExecute();
    void actOptionsExecute();
    // Copies the files into the shown folder (made when missing); the names they got.
    QStringList dropFiles(const QStringList& paths);
    void WriteIniSettings() override;

    QString billno;
    QString fileDir;
    int _style = 3;

    QLineEdit* edtPath;
    QToolButton* btnView;
    QActionGroup* viewStyles;
    QFileSystemModel* folderModel;
    QStackedWidget* folderPages;
    QTreeView* detailsView;
    QListView* iconsView;
    QLabel* missingLabel;
    QAction* actNewDir;
    QAction* actHome;
    QAction* actOptions;
    QAction* actOK;
    QAction* actCancel;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void _init();
    void openEntry(const QModelIndex& index);
};

// Shows the file explorer for an order (or none) and a proposed folder; the path chosen when it
// closes with OK, else an empty text.
QString openFileExplorer(QWidget* AOwner, const QString& billno, const QString& dir);
// The order's folder chosen in the file explorer and stored with the order (filedir): true when
// the explorer closed with OK on a path and the order took it. A failed update has shown its
// error; nothing is stored for an empty path.
bool chooseOrderFolder(QWidget* AOwner, const QString& billno);

}  // namespace Qd::Core::Tools
