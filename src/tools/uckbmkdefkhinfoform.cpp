#include "tools/uckbmkdefkhinfoform.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QToolButton>
#include <QVBoxLayout>
#include <cmath>

#include "base/Dispatch.h"
#include "base/Prompter.h"
#include "db/DataServices.h"
#include "db/RecordSet.h"
#include "sys/SystemServices.h"
#include "sys/uAuth.h"
#include "sys/uPlugItem.h"

namespace Qd::Core::Tools {

namespace {

QString F(const char* text) {
    return QString::fromUtf8(text);
}

const QString kLoad = QStringLiteral("load");
const QString kSave = QStringLiteral("save");
const char* const kPicker = "客户会员查询";

// A picked row's id: a whole number, or a text holding one; 0 for anything else.
qint64 integerOf(const QJsonValue& v) {
    if (v.isDouble()) {
        const double d = v.toDouble();
        return d == std::floor(d) && std::abs(d) < 9e15 ? qint64(d) : 0;
    }
    bool ok = false;
    const qint64 id = v.toString().trimmed().toLongLong(&ok);
    return ok ? id : 0;
}

}  // namespace

Tckbmkdefkhinfoform::Tckbmkdefkhinfoform(QWidget* AOwner, qint32 _ck_id)
    : TBaseForm(AOwner), ck_id(_ck_id) {
    setObjectName(F("Tckbmkdefkhinfoform"));
    setWindowTitle(F("默认客户设置（用于零散业务单）"));
    resize(460, 220);
    SQLStore.insert(kLoad, F("select t1.id, t1.code, t1.name, kh_id, rootdir, t2.code kh_code, "
                             "t2.name kh_name from qd_b_ckbmk t1 left join qd_b_khbmk t2 on "
                             "t1.kh_id = t2.id where t1.orgid=:orgid and t1.id="));
    SQLStore.insert(kSave, F("update qd_b_ckbmk set kh_id=:kh_id, rootdir=:rootdir where "
                             "id=:ck_id"));

    actChoose = new QAction(F("选择客户"), this);
    actChoose->setIconText(F("..."));
    // A picker that fails (its window class cannot pick) says so; the dialog stays as it was.
    connect(actChoose, &QAction::triggered, this,
            [this] { Sys::dispatch([this] { chooseCustomer(); }); });
    actOK = new QAction(F("确认"), this);
    connect(actOK, &QAction::triggered, this, [this] { actOKExecute(); });
    actCancel = new QAction(F("取消"), this);
    connect(actCancel, &QAction::triggered, this, [this] { done(QDialog::Rejected); });
    actList << actChoose << actOK << actCancel;

    lblStore = new QLabel(this);
    lblStore->setObjectName(F("lblStore"));
    edtKhCode = new QLineEdit(this);
    edtKhCode->setObjectName(F("edtKhCode"));
    edtKhCode->setReadOnly(true);
    auto* choose = new QToolButton(this);
    choose->setDefaultAction(actChoose);
    edtKhName = new QLineEdit(this);
    edtKhName->setObjectName(F("edtKhName"));
    edtKhName->setReadOnly(true);
    edtRootdir = new QLineEdit(this);
    edtRootdir->setObjectName(F("edtRootdir"));

    auto* customer = new QHBoxLayout;
    customer->addWidget(edtKhCode, 1);
    customer->addWidget(choose);
    customer->addWidget(edtKhName, 2);
    auto* fields = new QFormLayout;
    fields->addRow(F("当前门店："), lblStore);
    fields->addRow(F("默认客户："), customer);
    fields->addRow(F("默认路径："), edtRootdir);
    auto* hint = new QLabel(
        F("默认路径是设置所在分店的文件存储路径，一般为共享目录。如：\\\\计算机名\\共享目录"),
        this);
    hint->setWordWrap(true);
    fields->addRow(QString(), hint);

    auto* main = new QVBoxLayout(this);
    main->addLayout(fields);
    main->addStretch(1);
    main->addLayout(Base::closingButtons(this, actOK, actCancel));

    FormCreate();
    loadStore();
}

void Tckbmkdefkhinfoform::loadStore() {
    Db::RecordSet rs;
    storeFound = Db::dataServices().openDataToCDS(
                     rs, Sys::sqlTemplate(SQLStore.value(kLoad) + QString::number(ck_id))) &&
                 !rs.isEmpty();
    if (storeFound) {
        lblStore->setText(QStringLiteral("%1(%2)").arg(rs.fieldByName(F("name")).asString(),
                                                       rs.fieldByName(F("code")).asString()));
        edtKhCode->setText(rs.fieldByName(F("kh_code")).asString());
        kh_id = rs.fieldByName(F("kh_id")).asLargeInt();
        edtKhName->setText(rs.fieldByName(F("kh_name")).asString());
        edtRootdir->setText(rs.fieldByName(F("rootdir")).asString());
    } else {
        lblStore->setText(F("门店（id %1）不存在").arg(ck_id));
    }
    updateActions();
}

void Tckbmkdefkhinfoform::updateActions() {
    actOK->setEnabled(storeFound && kh_id >= 1);
    actChoose->setEnabled(storeFound);
}

void Tckbmkdefkhinfoform::chooseCustomer() {
    Sys::TPlugItem* picker = Sys::plugsPool().plugbyName(F(kPicker), false);
    if (!picker) {
        Ui::prompter().message(F("未找到插件“%1”，不能选择客户").arg(F(kPicker)), F("提示"),
                               Ui::MsgKind::Error, Ui::MsgButtons::Ok);
        return;
    }
    const QJsonDocument reply =
        QJsonDocument::fromJson(picker->select(this, QString(), QString()).toUtf8());
    if (!reply.isArray() || reply.array().isEmpty())
        return;
    const QJsonObject row = reply.array().first().toObject();
    edtKhCode->setText(row.value(QStringLiteral("code")).toVariant().toString());
    kh_id = integerOf(row.value(QStringLiteral("id")));
    edtKhName->setText(row.value(QStringLiteral("name")).toVariant().toString());
    updateActions();
}

void Tckbmkdefkhinfoform::actOKExecute() {
    if (kh_id < 1) {
        Ui::prompter().message(F("未设置默认客户"), F("提示"), Ui::MsgKind::Information,
                               Ui::MsgButtons::Ok);
        return;
    }
    const QString rootdir = edtRootdir->text();
    if (!Db::dataServices().execSQL(
            SQLStore.value(kSave),
            {{F("kh_id"), kh_id}, {F("rootdir"), rootdir}, {F("ck_id"), ck_id}}))
        return;
    if (Sys::TAuth* auth = Sys::sysAuth())
        auth->defaultPath = rootdir;
    done(QDialog::Accepted);
}

}  // namespace Qd::Core::Tools
