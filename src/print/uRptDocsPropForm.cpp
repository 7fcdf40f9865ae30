#include "print/uRptDocsPropForm.h"

#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>
#include <limits>

#include "db/DataServices.h"
#include "db/RecordSet.h"

namespace Qd::Core::Fr4 {

namespace {

// The type list's index is the template's `owner` value.
constexpr int ownerShared = 2;

}  // namespace

TRptDocsPropForm::TRptDocsPropForm(QWidget* AOwner, Db::RecordSet* dataset, const QString& code,
                                   Sys::TOperateState OperateState)
    : Base::TBaseForm(AOwner), OperateState(OperateState), dataset(dataset), code(code) {
    setObjectName(QStringLiteral("TRptDocsPropForm"));  // its section in the placement ini
    setWindowTitle(QStringLiteral("模板属性"));

    actOK = new QAction(QStringLiteral("确定"), this);
    actCancel = new QAction(QStringLiteral("取消"), this);
    connect(actOK, &QAction::triggered, this, &TRptDocsPropForm::actOKExecute);
    connect(actCancel, &QAction::triggered, this, &TRptDocsPropForm::actCancelExecute);
    actList << actOK << actCancel;

    edtCode = new QLineEdit(this);
    edtDocName = new QLineEdit(this);
    // A spin box refuses what is not an integer and shows 0 for an empty value.
    edtSort = new QSpinBox(this);
    edtSort->setRange(std::numeric_limits<int>::min(), std::numeric_limits<int>::max());
    cbbType = new QComboBox(this);
    cbbType->addItems({QStringLiteral("共享（所有门店）"), QStringLiteral("私有（当前门店）"),
                       QStringLiteral("分享（指定门店）")});
    cbbType->setCurrentIndex(0);
    lstStores = new QListWidget(this);

    m_form = new QFormLayout;
    m_form->addRow(QStringLiteral("编号："), edtCode);
    m_form->addRow(QStringLiteral("模板名称："), edtDocName);
    m_form->addRow(QStringLiteral("排序："), edtSort);
    m_form->addRow(QStringLiteral("类型："), cbbType);
    m_form->addRow(QStringLiteral("门店权限："), lstStores);

    QHBoxLayout* buttons = Base::closingButtons(this, actOK, actCancel);

    auto* main = new QVBoxLayout(this);
    main->addLayout(m_form);
    main->addLayout(buttons);

    connect(cbbType, &QComboBox::currentIndexChanged, this,
            &TRptDocsPropForm::updateStoreListVisibility);

    // Without the store list, or the stores shared with, the shares could be neither shown nor
    // chosen: the dialog is not to be opened, and the template is left as it was.
    m_loaded = _initcklist() && (OperateState != Sys::TOperateState::edit || checkSharedStores());
    if (m_loaded && OperateState == Sys::TOperateState::edit) {
        const int owner = dataset->field(QStringLiteral("owner")).asInteger();
        if (owner >= 0 && owner < cbbType->count()) {
            cbbType->setCurrentIndex(owner);
        } else {
            // A sharing value this dialog does not offer (another program wrote it): no type is
            // chosen, and unless the user chooses one OK keeps the value.
            cbbType->setPlaceholderText(QStringLiteral("其他（%1）").arg(owner));
            cbbType->setCurrentIndex(-1);
        }
        dataset->edit();
    } else if (m_loaded) {
        // The caller's append handler fills orgid, modulecode, ck_id and isort.
        dataset->append();
    }
    loadEditors();
    updateStoreListVisibility();

    FormCreate();
}

QString TRptDocsPropForm::getck_ids() const {
    QStringList ids;
    for (int i = 0; i < lstStores->count(); ++i) {
        const QListWidgetItem* it = lstStores->item(i);
        if (it->checkState() == Qt::Checked)
            ids << QString::number(it->data(Qt::UserRole).toInt());
    }
    return ids.join(QLatin1Char(','));
}

void TRptDocsPropForm::reject() {
    if (m_finished)
        QDialog::reject();
    else
        actCancel->trigger();
}

void TRptDocsPropForm::actOKExecute() {
    dataset->field(QStringLiteral("code")).setValue(edtCode->text());
    dataset->field(QStringLiteral("docname")).setValue(edtDocName->text());
    dataset->field(QStringLiteral("isort")).setValue(edtSort->value());
    if (cbbType->currentIndex() >= 0)
        dataset->field(QStringLiteral("owner")).setValue(cbbType->currentIndex());
    // The checks count even while the list is hidden; the caller decides what they mean.
    dataset->field(QStringLiteral("ck_ids")).setValue(getck_ids());
    m_finished = true;
    done(QDialog::Accepted);
}

void TRptDocsPropForm::actCancelExecute() {
    dataset->cancel();
    m_finished = true;
    done(QDialog::Rejected);
}

bool TRptDocsPropForm::_initcklist() {
    lstStores->clear();
    Db::RecordSet stores;
    if (!Db::dataServices().openDataToCDS(
            stores, Sys::sqlTemplate(QStringLiteral(
                        "select id, code, name from qd_b_ckbmk where orgid=:orgid and isdel = 0 "
                        "order by isort desc, id"))))
        return false;
    for (stores.first(); !stores.eof(); stores.next()) {
        auto* it = new QListWidgetItem(stores.field(QStringLiteral("code")).asString() +
                                           QStringLiteral(" - ") +
                                           stores.field(QStringLiteral("name")).asString(),
                                       lstStores);
        it->setData(Qt::UserRole, stores.field(QStringLiteral("id")).asInteger());
        it->setFlags(it->flags() | Qt::ItemIsUserCheckable);
        it->setCheckState(Qt::Unchecked);
    }
    return true;
}

// Checks the stores the template is shared with: those chosen for a change not saved yet (a save
// that failed keeps them), else those stored. A share row whose store is not listed (deleted,
// another organisation) is skipped.
bool TRptDocsPropForm::checkSharedStores() {
    QList<int> stores;
    const QString pending = dataset->field(QStringLiteral("ck_ids")).asString();
    if (!pending.isEmpty()) {
        for (const QString& id : pending.split(QLatin1Char(','), Qt::SkipEmptyParts))
            stores << id.trimmed().toInt();
    } else {
        Db::RecordSet shares;
        if (!Db::dataServices().openDataToCDS(
                shares, QStringLiteral("select ck_id from qd_sys_printdocs_ck where rpt_id=") +
                            QString::number(dataset->field(QStringLiteral("id")).asLargeInt())))
            return false;
        for (shares.first(); !shares.eof(); shares.next())
            stores << shares.field(0).asInteger();
    }
    for (int i = 0; i < lstStores->count(); ++i) {
        QListWidgetItem* it = lstStores->item(i);
        if (stores.contains(it->data(Qt::UserRole).toInt()))
            it->setCheckState(Qt::Checked);
    }
    return true;
}

void TRptDocsPropForm::loadEditors() {
    edtCode->setText(dataset->field(QStringLiteral("code")).asString());
    edtDocName->setText(dataset->field(QStringLiteral("docname")).asString());
    edtSort->setValue(dataset->field(QStringLiteral("isort")).asInteger());
}

void TRptDocsPropForm::updateStoreListVisibility() {
    m_form->setRowVisible(lstStores, cbbType->currentIndex() == ownerShared);
}

}  // namespace Qd::Core::Fr4
