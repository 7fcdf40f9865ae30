#include "tools/ufileExplorerform.h"

#include <QActionGroup>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QStackedWidget>
#include <QToolButton>
#include <QTreeView>
#include <QVBoxLayout>

#include "base/OwnerOnly.h"
#include "base/Prompter.h"
#include "db/DataServices.h"
#include "db/RecordSet.h"
#include "sys/SystemServices.h"
#include "sys/uAuth.h"
#include "tools/ExplorerFolders.h"
#include "tools/uckbmkdefkhinfoform.h"

namespace Qd::Core::Tools {

namespace {

QString F(const char* text) {
    return QString::fromUtf8(text);
}

const char* const kStyleNames[] = {"大图标", "小图标", "列表", "详细列表"};
const QString kFileDir = QStringLiteral("filedir");

// The folder list, with its column headings in the client's language.
class FolderModel : public QFileSystemModel {
public:
    using QFileSystemModel::QFileSystemModel;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
        static const char* const headings[] = {"名称", "大小", "类型", "修改日期"};
        if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < 4)
            return F(headings[section]);
        return QFileSystemModel::headerData(section, orientation, role);
    }
};

QLabel* linkTo(QAction* action, QWidget* parent) {
    auto* link = new QLabel(QStringLiteral("<a href=\"#\">%1</a>").arg(action->text()), parent);
    QObject::connect(link, &QLabel::linkActivated, action, &QAction::trigger);
    return link;
}

// The order numbered `billno` of the session's organisation, as statement parameters.
Db::Params orderParams(const QString& billno) {
    const Sys::TAuth* auth = Sys::sysAuth();
    return {{QStringLiteral("billno"), billno},
            {QStringLiteral("orgid"), auth ? auth->orgId : QString()}};
}

// The folder stored for the order numbered `billno`; empty when it has none.
QString storedFolderOf(const QString& sql, const QString& billno) {
    const Db::Params params = orderParams(billno);
    Db::RecordSet rs;
    if (!Db::dataServices().openDataToCDS(rs, sql, params) || rs.isEmpty())
        return {};
    return rs.fieldByName(kFileDir).asString();
}

}  // namespace

TfileExplorerform::TfileExplorerform(QWidget* AOwner, const QString& _billno, const QString& _dir)
    : TBaseForm(AOwner), billno(_billno), fileDir(_dir) {
    setObjectName(F("TfileExplorerform"));
    resize(760, 480);
    SQLStore.insert(kFileDir,
                    F("select filedir from qd_x_xmzzk where billno =:billno and orgid=:orgid"));

    actNewDir = new QAction(F("新建目录"), this);
    connect(actNewDir, &QAction::triggered, this, [this] { actNewDirExecute(); });
    actHome = new QAction(F("主目录"), this);
    connect(actHome, &QAction::triggered, this, [this] { actHomeExecute(); });
    actOptions = new QAction(F("选项(&O)"), this);
    connect(actOptions, &QAction::triggered, this, [this] { actOptionsExecute(); });
    actOK = new QAction(F("确定(&D)"), this);
    connect(actOK, &QAction::triggered, this, [this] { done(QDialog::Accepted); });
    actCancel = new QAction(F("取消(&C)"), this);
    connect(actCancel, &QAction::triggered, this, [this] { done(QDialog::Rejected); });
    actList << actNewDir << actHome << actOptions << actOK << actCancel;

    edtPath = new QLineEdit(this);
    edtPath->setObjectName(F("edtPath"));
    connect(edtPath, &QLineEdit::editingFinished, this, [this] { showFolder(); });

    btnView = new QToolButton(this);
    btnView->setObjectName(F("btnView"));
    btnView->setText(F("视图"));
    btnView->setPopupMode(QToolButton::InstantPopup);
    auto* menu = new QMenu(btnView);
    viewStyles = new QActionGroup(this);
    viewStyles->setExclusive(true);
    for (int tag = 0; tag < 4; ++tag) {
        QAction* entry = menu->addAction(F(kStyleNames[tag]));
        entry->setCheckable(true);
        entry->setData(tag);
        viewStyles->addAction(entry);
    }
    connect(viewStyles, &QActionGroup::triggered, this,
            [this](QAction* entry) { setStyle(entry->data().toInt()); });
    btnView->setMenu(menu);

    auto* top = new QHBoxLayout;
    top->addWidget(new QLabel(F("路径："), this));
    top->addWidget(edtPath, 1);
    top->addWidget(linkTo(actNewDir, this));
    top->addWidget(linkTo(actHome, this));
    top->addWidget(btnView);

    folderModel = new FolderModel(this);
    folderModel->setFilter(QDir::AllEntries | QDir::NoDotAndDotDot);
    detailsView = new QTreeView(this);
    detailsView->setObjectName(F("detailsView"));
    detailsView->setModel(folderModel);
    detailsView->setRootIsDecorated(false);
    detailsView->setItemsExpandable(false);
    detailsView->header()->resizeSection(0, 300);
    iconsView = new QListView(this);
    iconsView->setObjectName(F("iconsView"));
    iconsView->setModel(folderModel);
    iconsView->setResizeMode(QListView::Adjust);
    missingLabel = new QLabel(F("<文件夹不存在>"), this);
    missingLabel->setAlignment(Qt::AlignCenter);
    missingLabel->setAutoFillBackground(true);
    missingLabel->setBackgroundRole(QPalette::Base);
    folderPages = new QStackedWidget(this);
    for (QAbstractItemView* view : {static_cast<QAbstractItemView*>(detailsView),
                                    static_cast<QAbstractItemView*>(iconsView)}) {
        view->setEditTriggers(QAbstractItemView::NoEditTriggers);
        view->setSelectionMode(QAbstractItemView::ExtendedSelection);
        view->viewport()->setAcceptDrops(true);
        view->viewport()->installEventFilter(this);
        connect(view, &QAbstractItemView::doubleClicked, this,
                [this](const QModelIndex& index) { openEntry(index); });
        folderPages->addWidget(view);
    }
    missingLabel->setAcceptDrops(true);
    missingLabel->installEventFilter(this);
    folderPages->addWidget(missingLabel);

    auto* bottom = Base::closingButtons(this, actOK, actCancel);
    bottom->insertWidget(0, new QLabel(F("提示：可将文件直接拖到这里保存到指定的目录"), this));
    bottom->insertStretch(1, 1);
    bottom->insertWidget(2, Base::buttonFor(actOptions, this));

    auto* main = new QVBoxLayout(this);
    main->addLayout(top);
    main->addWidget(folderPages, 1);
    main->addLayout(bottom);

    FormCreate();
    _init();
}

void TfileExplorerform::_init() {
    QString caption = F("文件选择器");
    const Sys::TAuth* auth = Sys::sysAuth();
    const QString defaultPath = auth ? auth->defaultPath : QString();
    if (!billno.isEmpty()) {
        caption += F("(浏览) 订单编号：") + billno;
        edtPath->setText(storedFolderOf(SQLStore.value(kFileDir), billno));
    } else {
        caption += F("(创建)");
        caption +=
            defaultPath.isEmpty() ? F(" 当前门店未设置默认路径") : F(" 默认路径：") + defaultPath;
        edtPath->setText(fileDir.isEmpty() ? defaultPath : fileDir);
    }
    setWindowTitle(caption);
    setStyle(readListStyle());
}

void TfileExplorerform::setStyle(int style) {
    _style = style;
    iconsView->setViewMode(style == 2 ? QListView::ListMode : QListView::IconMode);
    iconsView->setFlow(style == 2 ? QListView::TopToBottom : QListView::LeftToRight);
    iconsView->setWrapping(true);
    iconsView->setIconSize(style == 0 ? QSize(48, 48) : QSize(16, 16));
    iconsView->setGridSize(style == 0 ? QSize(96, 80) : QSize());
    iconsView->setMovement(QListView::Static);
    for (QAction* entry : viewStyles->actions())
        entry->setChecked(entry->data().toInt() == style);
    const QString name = F(kStyleNames[style]);
    btnView->setText(name);
    btnView->setFixedWidth(btnView->fontMetrics().horizontalAdvance(name + QStringLiteral("AAA")));
    showFolder();
}

void TfileExplorerform::showFolder() {
    const QString local = localFolder(edtPath->text());
    if (local.isEmpty() || !QFileInfo(local).isDir()) {
        folderPages->setCurrentWidget(missingLabel);
        return;
    }
    const QModelIndex root = folderModel->setRootPath(local);
    detailsView->setRootIndex(root);
    iconsView->setRootIndex(root);
    folderPages->setCurrentWidget(_style == 3 ? static_cast<QWidget*>(detailsView) : iconsView);
}

void TfileExplorerform::openEntry(const QModelIndex& index) {
    if (!folderModel->isDir(index))
        return;
    edtPath->setText(storedFolder(folderModel->filePath(index)));
    showFolder();
}

void TfileExplorerform::actNewDirExecute() {
    const std::optional<QString> name =
        Ui::prompter().input(F("请输入新建目录名称："), F("新目录："), QString());
    if (!name)
        return;
    const QString fault = folderNameFault(*name);
    if (!fault.isEmpty()) {
        Ui::prompter().message(fault, F("提示"), Ui::MsgKind::Error, Ui::MsgButtons::Ok);
        return;
    }
    const QString path = joinFolder(edtPath->text(), *name);
    Sys::ownerOnlyFolder(localFolder(path));
    edtPath->setText(path);
    showFolder();
}

void TfileExplorerform::actHomeExecute() {
    const Sys::TAuth* auth = Sys::sysAuth();
    edtPath->setText(auth ? auth->defaultPath : QString());
    showFolder();
}

void TfileExplorerform::actOptionsExecute() {
    const Sys::TAuth* auth = Sys::sysAuth();
    Tckbmkdefkhinfoform options(this, auth ? auth->storeId : 0);
    Ui::prompter().exec(options);
}

QStringList TfileExplorerform::dropFiles(const QStringList& paths) {
    const QString folder = localFolder(edtPath->text());
    QStringList stored;
    QStringList faults;
    if (folder.isEmpty())
        return stored;
    for (const QString& path : paths) {
        if (!QFileInfo(path).isFile())
            continue;
        QString error;
        const QString name = copyIntoFolder(path, folder, &error);
        if (name.isEmpty())
            faults << error;
        else
            stored << name;
    }
    showFolder();
    if (!faults.isEmpty())
        Ui::prompter().message(faults.join(QLatin1Char('\n')), F("提示"), Ui::MsgKind::Error,
                               Ui::MsgButtons::Ok);
    return stored;
}

bool TfileExplorerform::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::DragEnter || event->type() == QEvent::DragMove) {
        auto* drag = static_cast<QDropEvent*>(event);
        if (drag->mimeData()->hasUrls()) {
            drag->acceptProposedAction();
            return true;
        }
    } else if (event->type() == QEvent::Drop) {
        auto* drop = static_cast<QDropEvent*>(event);
        QStringList paths;
        for (const QUrl& url : drop->mimeData()->urls())
            if (url.isLocalFile())
                paths << url.toLocalFile();
        drop->acceptProposedAction();
        dropFiles(paths);
        return true;
    }
    return TBaseForm::eventFilter(watched, event);
}

void TfileExplorerform::WriteIniSettings() {
    TBaseForm::WriteIniSettings();
    writeListStyle(_style);
}

QString openFileExplorer(QWidget* AOwner, const QString& billno, const QString& dir) {
    TfileExplorerform form(AOwner, billno, dir);
    return Ui::prompter().exec(form) == QDialog::Accepted ? form.edtPath->text() : QString();
}

bool chooseOrderFolder(QWidget* AOwner, const QString& billno) {
    const QString dir = openFileExplorer(AOwner, billno, QString());
    if (billno.isEmpty() || dir.isEmpty())
        return false;
    Db::Params params = orderParams(billno);
    params.push_back({kFileDir, dir});
    return Db::dataServices().execSQL(
        F("update qd_x_xmzzk set filedir = :filedir where billno = :billno and orgid = :orgid"),
        params);
}

}  // namespace Qd::Core::Tools
