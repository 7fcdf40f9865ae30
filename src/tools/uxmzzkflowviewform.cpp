#include "tools/uxmzzkflowviewform.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "base/Prompter.h"
#include "db/DataServices.h"
#include "db/Trace.h"
#include "sys/SystemServices.h"
#include "ui/grid/Grid.h"

namespace Qd::Core::Tools {

namespace {

QString F(const char* text) {
    return QString::fromUtf8(text);
}

const QString kFinished = QStringLiteral("订单完工");

// The status of the row at `pos` of the list.
QString statusAt(const Db::RecordSet& rs, int pos) {
    return rs.textAt(rs.rowAt(pos), rs.fieldIndex(QStringLiteral("status")));
}

}  // namespace

// The steps go into a table variable in the order they happen within one minute: the order
// taken, each record's start, each finished record's end, then the step still to come or the
// finish. Rows of equal time keep that order through `seq`; sorting by time alone could put
// 完工 before the 完成 of the same minute, and a finished order would read as running.
// The 待处理 rows are selected from the order itself, so an order that does not exist gives
// its 下单 row only.
QString Txmzzkflowviewform::flowSql(qint64 id) {
    const QString n = QString::number(id);
    return F("declare @table table (seq int identity(1, 1), flow_name varchar(10), dt datetime, "
             "czy_id int, status varchar(10))\n"
             "declare @status int, @billdate datetime, @kdr_id int\n"
             "declare @dt datetime, @isdone int, @czy_id int\n"
             "select @status = status, @billdate = billdate, @kdr_id = kdr_id "
             "from qd_x_xmzzk where id = %1\n"
             "set @status = isnull(@status, 0)\n"
             "insert into @table (flow_name, dt, czy_id, status) "
             "values ('下单', @billdate, @kdr_id, '下单完成')\n"
             "insert into @table (flow_name, dt, czy_id, status) "
             "select f.name, w.bt, w.czy_id, '处理中' from qd_sys_doworks w "
             "left join qd_b_flow f on f.id = w.flow_id where w.xmzzk_id = %1 order by w.id\n"
             "insert into @table (flow_name, dt, czy_id, status) "
             "select f.name, w.et, w.czy_id, '完成' from qd_sys_doworks w "
             "left join qd_b_flow f on f.id = w.flow_id where w.xmzzk_id = %1 and w.isdone = 1 "
             "order by w.id\n"
             "set @dt = @billdate\n"
             "set @czy_id = @kdr_id\n"
             "select top 1 @dt = et, @isdone = isdone, @czy_id = czy_id from qd_sys_doworks "
             "where xmzzk_id = %1 order by id desc\n"
             "if @status = 0 or (@status = 1 and @isdone = 1)\n"
             "  insert into @table (flow_name, dt, czy_id, status) "
             "select f.name, @dt, null, '待处理' from qd_x_xmzzk o "
             "left join qd_b_flow f on f.id = o.flow_id where o.id = %1\n"
             "if @status >= 2\n"
             "  insert into @table (flow_name, dt, czy_id, status) "
             "values ('完工', @dt, @czy_id, '订单完工')\n"
             "select t.flow_name, t.dt, t.czy_id, t.status, y.name as czy_name from @table t "
             "left join qd_b_ygbmk y on y.id = t.czy_id order by t.dt, t.seq")
        .arg(n);
}

Txmzzkflowviewform::Txmzzkflowviewform(QWidget* AOwner, qint64 _id) : TBaseForm(AOwner), id(_id) {
    setObjectName(F("Txmzzkflowviewform"));
    setWindowTitle(F("生产流程跟踪"));
    resize(560, 420);

    actok = new QAction(F("确定"), this);
    connect(actok, &QAction::triggered, this, [this] { done(QDialog::Accepted); });
    actList << actok;

    auto* heading = new QLabel(F("订单生产流程情况跟踪"), this);
    QFont big = heading->font();
    big.setPointSizeF(big.pointSizeF() * 1.4);
    big.setBold(true);
    heading->setFont(big);

    cxgflowlist = new Ui::Grid(F("cxgflowlist"), this);
    cxgflowlistView = cxgflowlist->addLevel(F("cxgflowlistDBTableView1"));
    cxgflowlistView->addFieldColumn(F("flow_name"), F("流程节点"), 110);
    cxgflowlistView->addFieldColumn(F("dt"), F("操作时间"), 150, Ui::EditorKind::DateTime);
    cxgflowlistView->addFieldColumn(F("czy_name"), F("操作员"), 100);
    cxgflowlistView->addFieldColumn(F("status"), F("状态"), 100);
    cxgflowlistView->setSelectionBehavior(QAbstractItemView::SelectRows);
    cxgflowlistView->setEditTriggers(QAbstractItemView::NoEditTriggers);
    cxgflowlistView->setRowStyle([this](int row) { return stepStyle(row); });

    pnlDiff = new QWidget(this);
    auto* sentence = new QHBoxLayout(pnlDiff);
    sentence->setContentsMargins(0, 0, 0, 0);
    sentence->setSpacing(0);
    lblDiff = new QLabel(F("0天"), pnlDiff);
    lblDiff->setStyleSheet(F("color: red; font-weight: bold;"));
    lblAdvice = new QLabel(F(" 请注意合理安排进度。"), pnlDiff);
    sentence->addWidget(new QLabel(F("当前订单从下单到现在已经过了"), pnlDiff));
    sentence->addWidget(lblDiff);
    sentence->addWidget(lblAdvice);
    sentence->addStretch(1);

    auto* main = new QVBoxLayout(this);
    main->addWidget(heading);
    main->addWidget(cxgflowlist, 1);
    main->addWidget(pnlDiff);
    main->addLayout(Base::closingButtons(this, actok));

    FormCreate();
    cxgflowlistView->setEmptyText(F("<未找到相关记录>"));  // after the grids' common look
    cxgflowlistView->setRecordSet(&cdsflowlist);
    openflowdata();
}

Txmzzkflowviewform::~Txmzzkflowviewform() {
    cxgflowlistView->setRecordSet(nullptr);
}

void Txmzzkflowviewform::openflowdata() {
    Db::LogMsg(F("订单跟踪"));
    cxgflowlistView->setRecordSet(nullptr);
    Db::dataServices().openDataToCDS(cdsflowlist, flowSql(id));
    cdsflowlist.setReadOnly(true);
    cxgflowlistView->setRecordSet(&cdsflowlist);
    cxgflowlistView->applyColumns();
    showElapsed();
}

// The latest step bold; the finish bold green wherever it stands.
Ui::RowStyle Txmzzkflowviewform::stepStyle(int row) const {
    Ui::RowStyle style;
    if (row < 0 || row >= cdsflowlist.recordCount())
        return style;
    const QString name =
        cdsflowlist.textAt(cdsflowlist.rowAt(row), cdsflowlist.fieldIndex(F("flow_name")));
    if (name == F("完工")) {
        style.bold = true;
        style.color = QColor(0, 128, 0);
    } else {
        style.bold = row == cdsflowlist.recordCount() - 1;
    }
    return style;
}

// From the order taken to the finish, or to now while the order runs.
void Txmzzkflowviewform::showElapsed() {
    if (cdsflowlist.isEmpty())
        return;
    const int last = cdsflowlist.recordCount() - 1;
    const int dt = cdsflowlist.fieldIndex(F("dt"));
    const bool finished = statusAt(cdsflowlist, last) == kFinished;
    const QDateTime start = cdsflowlist.valueAt(cdsflowlist.rowAt(0), dt).toDateTime();
    const QDateTime end =
        finished ? cdsflowlist.valueAt(cdsflowlist.rowAt(last), dt).toDateTime() : m_now();
    const QString elapsed = Sys::diffBetween(start, end);
    lblDiff->setText(elapsed);
    pnlDiff->setVisible(!elapsed.isEmpty());
    lblAdvice->setVisible(!finished);
}

void Txmzzkflowviewform::reject() {
    done(QDialog::Accepted);  // Escape answers as 确定 does
}

void showflowview(qint64 id) {
    Txmzzkflowviewform form(nullptr, id);
    Ui::prompter().exec(form);
}

}  // namespace Qd::Core::Tools
