#include "report/uquickfilterform.h"

#include <QHBoxLayout>
#include <QJsonDocument>
#include <QJsonObject>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include "base/Dispatch.h"
#include "core/uMyCxGrid.h"
#include "db/Trace.h"
#include "report/FilterColumns.h"
#include "report/ListSearch.h"
#include "sys/uPlugItem.h"
#include "ui/grid/Grid.h"

namespace Qd::Core::Report {

namespace {

QString F(const char* text) {
    return QString::fromUtf8(text);
}

}  // namespace

Tquickfilterform::Tquickfilterform(QWidget* AOwner, Sys::TPlugItem* _plugitem, const QPoint& _pos)
    : TBaseForm(AOwner), pos(_pos), PlugItem(_plugitem), m_searchTimer(new QTimer(this)) {
    setObjectName(F("Tquickfilterform"));
    setWindowTitle(F("快速查询"));
    setWindowFlags(Qt::Tool | Qt::FramelessWindowHint);
    setAttribute(Qt::WA_DeleteOnClose);
    resize(520, 320);

    actok = new QAction(F("确定"), this);
    connect(actok, &QAction::triggered, this,
            [this] { Sys::dispatch([this] { actokExecute(); }); });
    actcancel = new QAction(F("取消(&C)"), this);
    connect(actcancel, &QAction::triggered, this, [this] { done(QDialog::Rejected); });
    actList << actok << actcancel;

    auto* keywordRow = new QHBoxLayout;
    keywordRow->addWidget(new QLabel(F("关键字："), this));
    edtKeyword = new QLineEdit(this);
    edtKeyword->setObjectName(F("edtKeyword"));
    keywordRow->addWidget(edtKeyword, 1);
    auto* find = new QPushButton(F("查询"), this);
    find->setAutoDefault(false);
    keywordRow->addWidget(find);
    cxgMain = new Ui::Grid(F("cxgMain"), this);
    cxgMainView = cxgMain->addLevel(F("cxgMainDBTableView1"));
    cxgMainView->setEditTriggers(QAbstractItemView::NoEditTriggers);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    for (QAction* a : {actok, actcancel}) {
        QPushButton* b = Base::buttonFor(a, this);
        b->setAutoDefault(false);
        buttons->addWidget(b);
    }
    auto* frame = new QVBoxLayout(this);
    frame->setContentsMargins(4, 4, 4, 4);
    frame->addLayout(keywordRow);
    frame->addWidget(cxgMain, 1);
    frame->addLayout(buttons);

    m_searchTimer->setSingleShot(true);
    m_searchTimer->setInterval(kSearchDelayMs);
    connect(m_searchTimer, &QTimer::timeout, this,
            [this] { Sys::dispatch([this] { searchNow(); }); });
    connect(edtKeyword, &QLineEdit::textChanged, m_searchTimer, qOverload<>(&QTimer::start));
    connect(find, &QPushButton::clicked, this, [this] { Sys::dispatch([this] { searchNow(); }); });
    connect(cxgMainView, &QAbstractItemView::doubleClicked, actok, &QAction::trigger);
    edtKeyword->installEventFilter(this);
    cxgMainView->installEventFilter(this);

    cxgMainView->setRecordSet(&cdsMain);
    FormCreate();
    // The pop-up opens where it is asked to, whatever placement was stored.
    move(pos);
    _init();
    buildFilterColumns(cxgMainView, PlugItem);
    Base::TMyCxGrid::restoreGridColumnStyle(cxgMain, filterLayoutKey(objectName(), PlugItem));
}

Tquickfilterform::~Tquickfilterform() {
    cxgMainView->setRecordSet(nullptr);
}

void Tquickfilterform::_init() {
    const auto* basic = dynamic_cast<const Sys::TPlugItemSingleBasic*>(PlugItem);
    const QJsonObject info =
        QJsonDocument::fromJson(basic ? basic->getplugInfo().toUtf8() : QByteArray()).object();
    mainSQL = Sys::sqlTemplate(info.value(F("filter")).toObject().value(F("mainsql")).toString());
    if (!mainSQL.isEmpty())
        mainSQL = F("select * from (") + mainSQL + F(") t1 where 1=1");
    Db::LogMsg(mainSQL);
}

QString Tquickfilterform::condition() {
    return listSearch(m_fields, F("t1."), edtKeyword->text()).condition;
}

Db::Params Tquickfilterform::conditionParams() {
    return listSearch(m_fields, F("t1."), edtKeyword->text()).params;
}

bool Tquickfilterform::searchPending() const {
    return m_searchTimer->isActive();
}

void Tquickfilterform::searchNow() {
    m_searchTimer->stop();
    if (mainSQL.isEmpty())
        return;
    if (m_fields.isEmpty()) {
        // The statement's fields, without rows, so that the search names only fields it has.
        const Db::DataPacket probe = Db::dataServices().openData(mainSQL + F(" and 1=0"));
        if (!probe.active())
            return;
        m_fields = probe.fieldNames();
    }
    getMainData(condition());
}

void Tquickfilterform::getMainData(const QString& condition) {
    if (mainSQL.isEmpty())
        return;
    if (Db::dataServices().openDataToCDS(cdsMain, mainSQL + F("\r\n") + condition,
                                         conditionParams()))
        cxgMainView->applyColumns();
}

void Tquickfilterform::actokExecute() {
    if (!cdsMain.active() || cdsMain.isEmpty() || !FOnQuickFilterChange)
        return;
    const QString json = Db::TJsonDB::ClientDataSetToJSON(cdsMain, true);
    // The handler may move the focus (into the owner): the window is closing by then.
    m_closing = true;
    FOnQuickFilterChange(parent(), json);
    done(QDialog::Accepted);
}

void Tquickfilterform::paintEvent(QPaintEvent* e) {
    TBaseForm::paintEvent(e);
    QPainter p(this);
    p.setPen(palette().color(QPalette::Dark));
    p.drawRect(rect().adjusted(0, 0, -1, -1));
}

bool Tquickfilterform::event(QEvent* e) {
    // A click elsewhere takes the focus away: the pop-up goes without choosing.
    if (e->type() == QEvent::WindowDeactivate && isVisible() && !m_closing) {
        m_closing = true;
        QTimer::singleShot(0, this, [this] { done(QDialog::Rejected); });
    }
    return TBaseForm::event(e);
}

bool Tquickfilterform::eventFilter(QObject* watched, QEvent* e) {
    if (e->type() != QEvent::KeyPress)
        return TBaseForm::eventFilter(watched, e);
    const int key = static_cast<QKeyEvent*>(e)->key();
    const bool enter = key == Qt::Key_Return || key == Qt::Key_Enter;
    if (watched == edtKeyword && (key == Qt::Key_Down || enter)) {
        if (searchPending())
            Sys::dispatch([this] { searchNow(); });
        cxgMainView->setFocus(Qt::OtherFocusReason);
        return true;
    }
    if (watched == cxgMainView) {
        if (key == Qt::Key_Up && cxgMainView->currentIndex().row() <= 0) {
            edtKeyword->setFocus(Qt::OtherFocusReason);
            return true;
        }
        if (enter) {
            actok->trigger();
            return true;
        }
    }
    return TBaseForm::eventFilter(watched, e);
}

void Tquickfilterform::done(int r) {
    if (m_done)
        return;
    m_done = true;
    m_closing = true;
    m_searchTimer->stop();
    Base::TMyCxGrid::storeGridColumnStyle(cxgMain, filterLayoutKey(objectName(), PlugItem));
    TBaseForm::done(r);
    // Modeless: done() hides; the window goes with its close.
    close();
}

Tquickfilterform* showQuickFilter(QWidget* owner, Sys::TPlugItem* item, const QPoint& pos,
                                  Sys::TOnQuickFilterChange handler) {
    auto* form = new Tquickfilterform(owner, item, pos);
    form->setOnQuickFilterChange(std::move(handler));
    form->show();
    form->activateWindow();
    form->edtKeyword->setFocus(Qt::OtherFocusReason);
    return form;
}

}  // namespace Qd::Core::Report
