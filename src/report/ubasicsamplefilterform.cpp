#include "report/ubasicsamplefilterform.h"

#include <QHBoxLayout>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "base/Dispatch.h"
#include "base/Prompter.h"
#include "db/DataServices.h"
#include "db/Trace.h"
#include "sys/SystemServices.h"
#include "ui/grid/Grid.h"

namespace Qd::Core::Report {

namespace {

QString F(const char* text) {
    return QString::fromUtf8(text);
}

// The dialog's built-in descriptors, by index.
const char* const kDescriptors[] = {
    R"({"title": "摘要查询", "mainsql": "select * from (select  name from qd_b_zybmk where orgid=:orgid group by name) t1", "sort": "order by name", "columns": [{"fieldname": "name", "label": "名称", "width": 200}]})",
    R"({"title": "历史工程项目名称", "mainsql": "select name from (select gcxmmc as name, count(1) as n from qd_x_xmzzk where orgid=:orgid and isnull(gcxmmc, '') <> '' group by gcxmmc) t1", "sort": "order by n desc, name", "columns": [{"fieldname": "name", "label": "名称", "width": 200}]})",
};

QString chosenName(int tag, QWidget* owner) {
    Tbasicsamplefilterform dialog(owner, tag);
    if (Ui::prompter().exec(dialog) != QDialog::Accepted)
        return QString();
    const QJsonArray rows =
        QJsonDocument::fromJson(Db::TJsonDB::ClientDataSetToJSON(dialog.cdsMain, true).toUtf8())
            .array();
    return rows.isEmpty() ? QString() : rows.first().toObject().value(F("name")).toString();
}

}  // namespace

QString Tbasicsamplefilterform::descriptor(int tag) {
    return tag == 0 || tag == 1 ? F(kDescriptors[tag]) : QString();
}

QString Tbasicsamplefilterform::searchCondition(const QString& text) {
    // Unicode text on the server: N'...'; the user's "%" and "_" stay wildcards.
    return F(" where name like N") + Db::quotedSql(F("%") + text + F("%")) + F(" ");
}

Tbasicsamplefilterform::Tbasicsamplefilterform(QWidget* AOwner, int _tag)
    : TBaseForm(AOwner), resTag(_tag) {
    setObjectName(F("Tbasicsamplefilterform"));
    setWindowTitle(F("单表数据查询"));
    resize(360, 460);

    actok = new QAction(F("确定"), this);
    connect(actok, &QAction::triggered, this, [this] {
        if (cdsMain.active() && !cdsMain.isEmpty())
            done(QDialog::Accepted);
    });
    actcancel = new QAction(F("取消"), this);
    connect(actcancel, &QAction::triggered, this, [this] { done(QDialog::Rejected); });
    actList << actok << actcancel;

    auto* searchRow = new QHBoxLayout;
    searchRow->addWidget(new QLabel(F("查询条件："), this));
    edtSearch = new QLineEdit(this);
    edtSearch->setObjectName(F("edtSearch"));
    searchRow->addWidget(edtSearch, 1);
    cxgMain = new Ui::Grid(F("cxgMain"), this);
    cxgMainView = cxgMain->addLevel(F("cxgMainDBTableView1"));
    cxgMainView->setEditTriggers(QAbstractItemView::NoEditTriggers);
    cxgMainView->setAutoWidth(true);
    QHBoxLayout* buttons = Base::closingButtons(this, actok, actcancel);
    auto* main = new QVBoxLayout(this);
    main->addLayout(searchRow);
    main->addWidget(cxgMain, 1);
    main->addLayout(buttons);

    connect(edtSearch, &QLineEdit::textChanged, this, [this](const QString& text) {
        Sys::dispatch([&] { openData(searchCondition(text)); });
    });
    connect(cxgMainView, &QAbstractItemView::doubleClicked, actok, &QAction::trigger);

    cxgMainView->setRecordSet(&cdsMain);
    FormCreate();
    _init();
    openData(QString());
}

Tbasicsamplefilterform::~Tbasicsamplefilterform() {
    cxgMainView->setRecordSet(nullptr);
}

void Tbasicsamplefilterform::_init() {
    const QJsonObject d = QJsonDocument::fromJson(descriptor(resTag).toUtf8()).object();
    mainSQL = Sys::sqlTemplate(d.value(F("mainsql")).toString());
    sortSQL = d.value(F("sort")).toString();
    setWindowTitle(d.value(F("title")).toString());
    cxgMainView->clearColumns();
    for (const QJsonValue& v : d.value(F("columns")).toArray()) {
        const QJsonObject c = v.toObject();
        cxgMainView->addFieldColumn(c.value(F("fieldname")).toString(),
                                    c.value(F("label")).toString(), c.value(F("width")).toInt(100));
    }
    cxgMainView->applyColumns();
}

void Tbasicsamplefilterform::openData(const QString& where) {
    if (mainSQL.isEmpty())
        return;
    const QString sql = mainSQL + F("\r\n") + where + F("\r\n") + sortSQL;
    Db::LogMsg(sql);
    if (Db::dataServices().openDataToCDS(cdsMain, sql))
        cxgMainView->applyColumns();
}

QString openzybmkfilterform(QWidget* AOwner) {
    return chosenName(0, AOwner);
}

QString opengcxmmcfilterform(QWidget* AOwner) {
    return chosenName(1, AOwner);
}

}  // namespace Qd::Core::Report
