#include "bill/uImgAttachListForm.h"

#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "base/Dispatch.h"
#include "base/Prompter.h"
#include "db/DataServices.h"
#include "sys/SystemServices.h"
#include "sys/uAuth.h"
#include "ui/ImageBox.h"
#include "ui/editors/Editors.h"
#include "ui/grid/Grid.h"

namespace Qd::Core::Bill {

namespace {

QString F(const char* text) {
    return QString::fromUtf8(text);
}

// The extension of a file name with its dot, case kept ("报价.tar.gz" -> ".gz"); empty without one.
QString extensionOf(const QString& fileName) {
    const QString suffix = QFileInfo(fileName).suffix();
    return suffix.isEmpty() ? QString() : QLatin1Char('.') + suffix;
}

}  // namespace

QString attachmentSizeText(qint64 n) {
    if (n < 1024)
        return F("%1B").arg(n);
    if (n < 1048576)
        return QString::number(n / 1024.0, 'f', 2) + F("KB");
    if (n < 1073741824)
        return QString::number(n / 1024.0 / 1024.0, 'f', 2) + F("M");
    return QString::number(n);
}

TImgAttachListForm::TImgAttachListForm(QWidget* AOwner, const QString& _BillCode,
                                       const QString& _billno)
    : TBaseForm(AOwner), billcode(_BillCode), billno(_billno) {
    setObjectName(F("TImgAttachListForm"));
    setWindowTitle(F("附件列表"));
    resize(900, 520);
    SQLStore.insert(F("list"), F("select * from qd_sys_attachList where orgid=:orgid and "
                                 "billcode=:billcode and billno = :billno"));

    auto action = [this](const char* caption, void (TImgAttachListForm::*run)()) {
        auto* a = new QAction(F(caption), this);
        if (run)
            connect(a, &QAction::triggered, this,
                    [this, run] { Sys::dispatch([this, run] { (this->*run)(); }); });
        actList << a;
        return a;
    };
    actadd = action("添加", &TImgAttachListForm::actaddExecute);
    actdel = action("删除", &TImgAttachListForm::actdelExecute);
    actsave = action("保存修改", &TImgAttachListForm::actsaveExecute);
    actpreview = action("显示预览", &TImgAttachListForm::actpreviewExecute);
    actreplace = action("附件替换", nullptr);
    actrotate = action("图片旋转", nullptr);
    actreturn = action("返回", nullptr);
    connect(actreturn, &QAction::triggered, this, &TImgAttachListForm::reject);

    cxgResult = new Ui::Grid(F("cxgResult"), this);
    cxgResultView = cxgResult->addLevel(F("cxgResultDBTableView1"));
    cxgResultView->addFieldColumn(F("filename"), F("文件名"), 220);
    cxgResultView->addFieldColumn(F("filesize"), F("文件大小"), 80);
    cxgResultView->addFieldColumn(F("createtime"), F("更新时间"), 140);
    cxgResultView->addFieldColumn(F("suffixInfo"), F("类型"), 60);
    cxgResultView->columnByField(F("filesize"))->props.shownText = [](const QVariant& v) {
        return v.isNull() ? QString() : attachmentSizeText(v.toLongLong());
    };
    cxgResultView->setSelectionBehavior(QAbstractItemView::SelectRows);
    cxgResultView->setEditTriggers(QAbstractItemView::NoEditTriggers);
    connect(cxgResultView, &QAbstractItemView::doubleClicked, actpreview, &QAction::trigger);

    Ui::EditorProps memo;
    memo.kind = Ui::EditorKind::Memo;
    edtRemark = qobject_cast<QPlainTextEdit*>(Ui::createEditor(memo, this));
    new Ui::FieldBinding(&cdsResult, F("remark"), edtRemark);
    edtRemark->setMaximumHeight(80);

    imgPreview = new Ui::ImageBox(this);
    imgPreview->setMinimumSize(360, 300);
    pic = imgPreview->placeholder();
    connect(imgPreview, &Ui::ImageBox::doubleClicked, this, [this] {
        if (!imgPreview->hint().isEmpty())
            openDocument(imgPreview->hint());
    });

    auto* listGroup = new QGroupBox(F("附件列表( 双击预览或打开文档)"), this);
    auto* listButtons = new QHBoxLayout;
    for (QAction* a : {actadd, actdel, actsave, actreplace, actrotate}) {
        QPushButton* b = Base::buttonFor(a, listGroup);
        b->setVisible(a != actreplace && a != actrotate);
        listButtons->addWidget(b);
    }
    listButtons->addStretch();
    auto* listLayout = new QVBoxLayout(listGroup);
    listLayout->addWidget(cxgResult, 1);
    listLayout->addLayout(listButtons);
    listLayout->addWidget(edtRemark);

    auto* previewGroup = new QGroupBox(F("预览"), this);
    auto* previewLayout = new QVBoxLayout(previewGroup);
    previewLayout->addWidget(imgPreview, 1);
    previewLayout->addWidget(Base::buttonFor(actpreview, previewGroup));

    auto* panes = new QHBoxLayout;
    panes->addWidget(listGroup, 3);
    panes->addWidget(previewGroup, 2);
    auto* bottom = new QHBoxLayout;
    bottom->addStretch();
    bottom->addWidget(Base::buttonFor(actreturn, this));
    auto* main = new QVBoxLayout(this);
    main->addLayout(panes, 1);
    main->addLayout(bottom);

    // Added rows and remark edits are written as they are posted.
    cdsResult.afterPost = [this](Db::RecordSet&) { writeChanges(); };

    FormCreate();
    m_loaded = _initData();
}

TImgAttachListForm::~TImgAttachListForm() {
    cdsResult.afterPost = nullptr;
    cxgResultView->setRecordSet(nullptr);
}

bool TImgAttachListForm::_initData() {
    if (!Db::dataServices().openDataToCDS(cdsResult, SQLStore.value(F("list")),
                                          {{F("orgid"), Sys::sysAuth()->orgId},
                                           {F("billcode"), billcode},
                                           {F("billno"), billno}}))
        return false;
    if (!cxgResultView->recordSet()) {
        cxgResultView->setRecordSet(&cdsResult);
        cxgResultView->applyColumns();
    }
    return true;
}

void TImgAttachListForm::writeChanges() {
    QStringList statements;
    Db::GetUpDataSQLList(F("qd_sys_attachList"), F("id"), {}, cdsResult, statements, 0);
    if (statements.isEmpty())
        return;
    if (!Db::dataServices().execSQL(statements.join(F("\r\n"))))
        return;  // the list stays as it was
    // The row the user is moving to stays current after the list is read again.
    const QVariant id = cdsResult.field(F("id")).value();
    const int pos = cdsResult.recNo();
    _initData();
    if (!cdsResult.locate(F("id"), id))
        cdsResult.moveTo(qMin(pos, cdsResult.recordCount() - 1));
}

bool TImgAttachListForm::addFile(const QString& path) {
    const QFileInfo info(path);
    const QByteArray digest = Db::MD5File(path);
    if (digest.isEmpty()) {
        Db::MessageMyDlg(F("无法读取文件“%1”，未添加。").arg(path), F("提示"), 1,
                         Ui::MsgButtons::Ok);
        return false;
    }
    const QString suffix = extensionOf(info.fileName());
    const QString realName = Db::MD5Print(digest) + suffix;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const qint64 size = file.size();
    const bool stored = Db::dataServices().putFile(realName, file);
    file.close();
    if (!stored)
        return false;
    cdsResult.append();
    cdsResult.field(F("fileName")).setValue(info.fileName());
    cdsResult.field(F("realName")).setValue(realName);
    cdsResult.field(F("orgid")).setValue(Sys::sysAuth()->orgId);
    cdsResult.field(F("billcode")).setValue(billcode);
    cdsResult.field(F("billno")).setValue(billno);
    cdsResult.field(F("filesize")).setValue(size);
    cdsResult.field(F("suffix")).setValue(suffix);
    cdsResult.field(F("suffixInfo")).setValue(suffix);
    cdsResult.field(F("remark")).setValue(info.fileName());
    cdsResult.post();
    return true;
}

void TImgAttachListForm::actaddExecute() {
    const QStringList files = Ui::prompter().openFileNames(
        F("添加附件"), Sys::sysAuth()->defaultPath,
        {{F("所有文件"), F("*.*")},
         {F("图像文件(*.jpg;*.jpg;*.jpeg;*.gif;*.png)"), F("*.jpg;*.jpeg;*.gif;*.png")}});
    cdsResult.checkBrowseMode();
    for (const QString& path : files)
        addFile(path);
}

void TImgAttachListForm::actdelExecute() {
    if (cdsResult.isEmpty())
        return;
    cdsResult.checkBrowseMode();
    const QString realName = cdsResult.field(F("realName")).asString();
    const qint64 id = cdsResult.field(F("id")).asLargeInt();
    if (!Db::dataServices().delAttachFile(realName))
        return;
    if (Db::dataServices().execSQL(F("delete from qd_sys_attachList where id=") +
                                   QString::number(id)))
        _initData();
}

void TImgAttachListForm::actsaveExecute() {
    if (cdsResult.state() == Db::DataSetState::Edit)
        cdsResult.post();
}

void TImgAttachListForm::openDocument(const QString& path) {
    if (!Ui::prompter().openDocument(path))
        Db::MessageMyDlg(F("没有可以打开“%1”的程序。").arg(path), F("提示"), 1, Ui::MsgButtons::Ok);
}

void TImgAttachListForm::actpreviewExecute() {
    imgPreview->setHint(QString());
    if (cdsResult.isEmpty())
        return;
    const QString path = Db::dataServices().downloadFile(cdsResult.field(F("realName")).asString());
    if (path.isEmpty() || !QFileInfo::exists(path)) {
        imgPreview->clear();  // the placeholder, pic
        return;
    }
    if (imgPreview->loadFile(path)) {
        imgPreview->setHint(path);
        return;
    }
    imgPreview->clear();  // the placeholder, pic
    openDocument(path);
}

void TImgAttachListForm::reject() {
    if (m_closing)
        return;
    if (cdsResult.state() == Db::DataSetState::Edit && cdsResult.modified()) {
        const int answer = Db::MessageMyDlg(F("数据未保存，是否保存？"), F("提示"), 3,
                                            Ui::MsgButtons::YesNoCancel);
        if (answer == Ui::mrCancel)
            return;
        if (answer == Ui::mrYes) {
            if (!Sys::dispatch([this] { cdsResult.post(); }) ||
                cdsResult.state() == Db::DataSetState::Edit)
                return;
        } else {
            cdsResult.cancel();
        }
    }
    m_closing = true;
    done(QDialog::Rejected);
    m_closing = false;
}

}  // namespace Qd::Core::Bill
