#include "basic/uRecycleBinForm.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "base/Dispatch.h"
#include "core/Messages.h"
#include "db/DataServices.h"
#include "db/Trace.h"
#include "sys/SystemServices.h"

namespace Qd::Core::Base {

TRecycleBinForm::TRecycleBinForm(QWidget* AOwner, const QJsonObject* _pluginfo)
    : TBaseForm(AOwner), plugInfo(_pluginfo) {
    setObjectName(QStringLiteral("TRecycleBinForm"));
    setWindowTitle(QStringLiteral("回收站"));
    resize(600, 420);

    Image1 = new QLabel(this);
    Image1->setFixedSize(48, 48);
    Image1->setPixmap(style()->standardIcon(QStyle::SP_TrashIcon).pixmap(48, 48));
    cxLabel1 = new QLabel(
        QStringLiteral("回收站存放的是被删除或误操作删除的项目，回收站中的项目无法被选择或使用。"),
        this);
    cxLabel1->setWordWrap(true);
    QFont big = cxLabel1->font();
    big.setPointSizeF(big.pointSizeF() * 1.25);
    cxLabel1->setFont(big);
    cxLabel2 = new QLabel(QStringLiteral("为防止误删除，系统将删除的项目保存在回收站中，"
                                         "您可以在这里把它们恢复，或者彻底删除。"),
                          this);
    cxLabel2->setWordWrap(true);

    lstData = new QTreeWidget(this);
    lstData->setObjectName(QStringLiteral("lstData"));
    lstData->setRootIsDecorated(false);
    lstData->setHeaderLabels(
        {QStringLiteral("项目名称"), QStringLiteral("编号"), QStringLiteral("删除时间")});
    lstData->header()->setStretchLastSection(false);
    lstData->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    lstData->setColumnWidth(1, 120);
    lstData->setColumnWidth(2, 150);

    cxCheckBox1 = new QCheckBox(QStringLiteral("全选"), this);
    connect(cxCheckBox1, &QCheckBox::clicked, this, [this](bool on) {
        for (int i = 0; i < lstData->topLevelItemCount(); ++i)
            lstData->topLevelItem(i)->setCheckState(0, on ? Qt::Checked : Qt::Unchecked);
    });

    actDel = new QAction(QStringLiteral("彻底删除"), this);
    actRestore = new QAction(QStringLiteral("恢复 "), this);
    actclose = new QAction(QStringLiteral("退出"), this);
    connect(actDel, &QAction::triggered, this,
            [this] { Sys::dispatch([this] { actDelExecute(); }); });
    connect(actRestore, &QAction::triggered, this,
            [this] { Sys::dispatch([this] { actRestoreExecute(); }); });
    connect(actclose, &QAction::triggered, this, &QDialog::reject);
    actList << actDel << actRestore << actclose;
    cxButton1 = buttonFor(actDel, this);
    cxButton2 = buttonFor(actRestore, this);
    cxButton3 = buttonFor(actclose, this);

    auto* top = new QHBoxLayout;
    top->addWidget(Image1, 0, Qt::AlignTop);
    auto* labels = new QVBoxLayout;
    labels->addWidget(cxLabel1);
    labels->addWidget(cxLabel2);
    top->addLayout(labels, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(cxCheckBox1);
    buttons->addStretch();
    buttons->addWidget(cxButton1);
    buttons->addWidget(cxButton2);
    buttons->addWidget(cxButton3);
    auto* main = new QVBoxLayout(this);
    main->addLayout(top);
    main->addWidget(lstData, 1);
    main->addLayout(buttons);

    FormCreate();
    _init();
}

QString TRecycleBinForm::tableName() const {
    return plugInfo ? plugInfo->value(QStringLiteral("tablename")).toString() : QString();
}

void TRecycleBinForm::_init() {
    lstData->setUpdatesEnabled(false);
    lstData->clear();
    const QString sql = Sys::sqlTemplate(QStringLiteral("select * from ") + tableName() +
                                         QStringLiteral(" where orgid=:orgid and isdel = 1"));
    Db::LogMsg(sql);
    if (Db::dataServices().openDataToCDS(cdsResult, sql)) {
        const int name = cdsResult.fieldIndex(QStringLiteral("name"));
        const int code = cdsResult.fieldIndex(QStringLiteral("code"));
        const int id = cdsResult.fieldIndex(QStringLiteral("id"));
        for (int pos = 0; pos < cdsResult.recordCount(); ++pos) {
            const std::uint32_t row = cdsResult.rowAt(pos);
            auto* item = new QTreeWidgetItem(lstData);
            item->setText(0, name >= 0 ? cdsResult.textAt(row, name) : QString());
            item->setText(1, code >= 0 ? cdsResult.textAt(row, code) : QString());
            item->setData(0, Qt::UserRole, id >= 0 ? int(cdsResult.intAt(row, id)) : 0);
            item->setCheckState(0, Qt::Unchecked);
        }
    }
    lstData->setUpdatesEnabled(true);
}

QString TRecycleBinForm::checkedBatch(const QString& statement) const {
    QString batch;
    for (int i = lstData->topLevelItemCount() - 1; i >= 0; --i) {
        const QTreeWidgetItem* item = lstData->topLevelItem(i);
        if (item->checkState(0) == Qt::Checked)
            batch += statement + QString::number(item->data(0, Qt::UserRole).toInt()) +
                     QStringLiteral("\r\n");
    }
    return batch;
}

void TRecycleBinForm::runBatch(const QString& batch, const QString& none, const QString& question) {
    if (batch.isEmpty()) {
        showHint(none);
        return;
    }
    Db::LogMsg(batch);
    if (!confirmOk(question))
        return;
    if (Db::dataServices().execSQL(batch))
        _init();
}

void TRecycleBinForm::actRestoreExecute() {
    runBatch(checkedBatch(QStringLiteral("update ") + tableName() +
                          QStringLiteral(" set isDel = 0 where id=")),
             QStringLiteral("请选择要恢复的项目"), QStringLiteral("是否确定要恢复选中的项目"));
}

void TRecycleBinForm::actDelExecute() {
    runBatch(
        checkedBatch(QStringLiteral("delete from ") + tableName() + QStringLiteral("  where id=")),
        QStringLiteral("请选择要删除的项目"), QStringLiteral("是否确定要删除选中的项目"));
}

}  // namespace Qd::Core::Base
