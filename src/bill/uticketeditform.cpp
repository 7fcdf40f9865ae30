#include "bill/uticketeditform.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTextEdit>
#include <QVBoxLayout>

#include "base/Dispatch.h"
#include "db/ColumnStore.h"
#include "db/DataServices.h"
#include "sys/SystemServices.h"
#include "sys/uAuth.h"
#include "ui/grid/Grid.h"

namespace Qd::Core::Bill {

namespace {

QString F(const char* text) {
    return QString::fromUtf8(text);
}

// The field 查看 shows: the message again, in a drop-down memo.
const char kViewField[] = "msg_view";

// The packet's rows with one more field holding each message again (a grid shows a field once).
Db::DataPacket withViewField(Db::DataPacket& packet) {
    std::vector<Db::FieldDef> defs;
    for (int f = 0; f < packet.fieldCount(); ++f)
        defs.push_back(packet.fieldDef(f));
    Db::FieldDef view;
    view.name = F(kViewField);
    view.type = Db::FieldType::Text;
    defs.push_back(view);
    const int fields = packet.fieldCount();
    const int msg = packet.fieldIndex(F("msg"));

    Db::DataPacket out;
    out.setFields(std::move(defs));
    out.reserveRows(std::size_t(packet.recordCount()));
    for (int pos = 0; pos < packet.recordCount(); ++pos) {
        const std::uint32_t from = packet.rowAt(pos), row = out.loadRow();
        for (int f = 0; f < fields; ++f)
            out.columnForLoad(f).copyFrom(row, packet.columnForLoad(f), from);
        if (msg >= 0 && packet.fieldDef(msg).type == Db::FieldType::Text)
            out.columnForLoad(fields).copyFrom(row, packet.columnForLoad(msg), from);
    }
    out.open();
    return out;
}

}  // namespace

Tticketeditform::Tticketeditform(QWidget* AOwner, const QString& _biztype, qint64 _bizid)
    : TBaseForm(AOwner), biztype(_biztype), bizid(_bizid) {
    setObjectName(F("Tticketeditform"));
    setWindowTitle(F("工单系统|交流中心|提交沟通内容"));
    resize(760, 520);
    SQLStore.insert(F("list"),
                    F("select t1.*, t2.code czy_code, t2.name czy_name from qd_sys_tickets t1 \r\n "
                      "left join qd_b_ygbmk t2 on t1.czy_id = t2.id \r\n where t1.orgid=:orgid and "
                      "t1.bizid=:bizid and t1.biztype=:biztype order by t1.id"));
    SQLStore.insert(F("insert"), F("insert into  "
                                   "qd_sys_tickets(orgid,biztype,bizid,czy_id,lastupdate,msg)\r\n"
                                   "values(:orgid,:biztype,:bizid,:czy_id,getdate(),:msg)"));

    actsubmit = new QAction(F("提交"), this);
    connect(actsubmit, &QAction::triggered, this,
            [this] { Sys::dispatch([this] { actsubmitExecute(); }); });
    actList << actsubmit;

    cxgResult = new Ui::Grid(F("cxgResult"), this);
    cxgResultView = cxgResult->addLevel(F("cxgResultDBTableView1"));
    cxgResultView->addFieldColumn(F("czy_name"), F("操作员"), 80);
    cxgResultView->addFieldColumn(F("lastupdate"), F("发布时间"), 140, Ui::EditorKind::DateTime);
    cxgResultView->addFieldColumn(F("msg"), F("反馈内容"), 300);
    cxgResultView->addFieldColumn(F(kViewField), F("查看"), 160, Ui::EditorKind::PopupMemo);
    cxgResultView->setSelectionBehavior(QAbstractItemView::SelectRows);
    cxgResultView->setTextElideMode(Qt::ElideRight);

    edtReply = new QTextEdit(this);
    edtReply->setAcceptRichText(true);
    edtReply->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(Base::buttonFor(actsubmit, this));
    auto* main = new QVBoxLayout(this);
    main->addWidget(new QLabel(F("沟通记录："), this));
    main->addWidget(cxgResult, 3);
    main->addWidget(new QLabel(F("我要反馈："), this));
    main->addWidget(edtReply, 2);
    main->addLayout(buttons);

    FormCreate();
    m_loaded = _initData();
}

Tticketeditform::~Tticketeditform() {
    cxgResultView->setRecordSet(nullptr);
}

bool Tticketeditform::_initData() {
    edtReply->clear();
    Db::DataPacket packet = Db::dataServices().openData(
        SQLStore.value(F("list")),
        {{F("orgid"), Sys::sysAuth()->orgId}, {F("bizid"), bizid}, {F("biztype"), biztype}});
    if (!packet.active())
        return false;
    cdsResult.setData(withViewField(packet));
    cdsResult.setReadOnly(true);
    if (!cxgResultView->recordSet()) {
        cxgResultView->setRecordSet(&cdsResult);
        cxgResultView->applyColumns();
    }
    cdsResult.last();  // the newest message in view
    return true;
}

void Tticketeditform::actsubmitExecute() {
    // Line breaks as other clients store them.
    const QString msg = edtReply->toPlainText().replace(QLatin1Char('\n'), F("\r\n"));
    if (!Db::dataServices().execSQL(SQLStore.value(F("insert")),
                                    {{F("orgid"), Sys::sysAuth()->orgId},
                                     {F("biztype"), biztype},
                                     {F("bizid"), bizid},
                                     {F("czy_id"), Sys::sysAuth()->userId},
                                     {F("msg"), msg}}))
        return;
    Db::MessageMyDlg(F("提示成功"), F("提示"), 2, Ui::MsgButtons::Ok);
    _initData();
}

}  // namespace Qd::Core::Bill
