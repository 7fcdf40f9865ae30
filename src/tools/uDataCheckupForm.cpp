#include "tools/uDataCheckupForm.h"

#include <QCloseEvent>
#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QMovie>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include "base/Dispatch.h"
#include "base/ProgramHome.h"
#include "core/Messages.h"
#include "core/RightsGate.h"
#include "db/DataServices.h"
#include "db/Trace.h"
#include "sys/SystemServices.h"
#include "sys/uPlugItem.h"
#include "ui/grid/Grid.h"

namespace Qd::Core::Tools {

Tdatacheckupform* datacheckupform = nullptr;

namespace {

QString F(const char* utf8) {
    return QString::fromUtf8(utf8);
}

const char* const kLoadSql =
    "select *, cast(null as varchar(50)) as checkcount, cast(null as varchar(50)) as status "
    "from qd_sys_checkitems order by category, isort desc, id";

constexpr int kDetailRows = 1000;  // rows a detail list shows at most

// Row colours: passed green, any other verdict maroon; group rows bold red.
const QColor kPassedColor(0, 128, 0);
const QColor kFoundColor(128, 0, 0);
const QColor kGroupColor(255, 0, 0);

QString severityText(const QVariant& value) {
    switch (value.isNull() ? -1 : value.toInt()) {
        case 0:
            return F("提示");
        case 1:
            return F("警告");
        case 2:
            return F("严重");
        default:
            return QString();
    }
}

// The verdict of a count by the check's rule.
QString verdict(int rule, qint64 count) {
    if (rule == 0)
        return F(count == 0 ? kCheckPassed : kCheckFailed);
    if (rule == 1)
        return F(count > 0 ? kCheckPassed : kCheckFailed);
    return F(kRuleInvalid);
}

}  // namespace

Tdatacheckupform::Tdatacheckupform(QWidget* AOwner, const QString& moduleCode)
    : TBaseForm(AOwner), m_moduleCode(moduleCode) {
    setObjectName(QStringLiteral("Tdatacheckupform"));
    setWindowTitle(F("数据检测|数据体检|数据有效性评估"));
    resize(640, 560);

    imgBanner = new QLabel(this);
    imgBanner->setAlignment(Qt::AlignCenter);
    bannerMovie = new QMovie(bannerFile(), QByteArray(), this);
    imgBanner->setMovie(bannerMovie);
    lblRunning = new QLabel(F("正在进行数据检测,请稍后..."), this);
    QFont big = lblRunning->font();
    big.setPointSizeF(big.pointSizeF() * 1.3);
    big.setBold(true);
    lblRunning->setFont(big);
    lblWaiting = new QLabel(F("尚未发现问题项目，请继续等待体检完成"), this);
    pbProgress = new QProgressBar(this);
    pbProgress->setRange(0, 100);

    actdoStart = new QAction(F("开始检测"), this);
    actdoStart->setData(0);
    actDetail = new QAction(F("查看明细"), this);
    actFix = new QAction(F("修复…"), this);
    connect(actdoStart, &QAction::triggered, this, [this] { actdoStartExecute(); });
    connect(actDetail, &QAction::triggered, this,
            [this] { Sys::dispatch([this] { actDetailExecute(); }); });
    connect(actFix, &QAction::triggered, this,
            [this] { Sys::dispatch([this] { actFixExecute(); }); });
    actList << actdoStart << actDetail << actFix;
    btnStart = Base::buttonFor(actdoStart, this);
    btnDetail = Base::buttonFor(actDetail, this);
    btnFix = Base::buttonFor(actFix, this);

    tvCheckItems = new Ui::GridView(QStringLiteral("tvCheckItems"), this);
    tvCheckItems->setRecordSet(&cdsCheck);
    tvCheckItems->addFieldColumn(QStringLiteral("title"), F("检测项目"), 260);
    tvCheckItems->addFieldColumn(QStringLiteral("checkcount"), F("检测结果"), 130);
    tvCheckItems->addFieldColumn(QStringLiteral("status"), F("状态"), 90);
    Ui::GridColumn* severity =
        tvCheckItems->addFieldColumn(QStringLiteral("severity"), F("级别"), 60);
    severity->props.shownText = severityText;
    tvCheckItems->setRowStyle([this](int row) {
        Ui::RowStyle style;
        const int status = cdsCheck.fieldIndex(QStringLiteral("status"));
        const QString text =
            status >= 0 && row >= 0 ? cdsCheck.textAt(cdsCheck.rowAt(row), status) : QString();
        if (!text.isEmpty())
            style.color = text == F(kCheckPassed) ? kPassedColor : kFoundColor;
        return style;
    });
    tvCheckItems->setEditTriggers(QAbstractItemView::NoEditTriggers);
    connect(tvCheckItems->recordSetModel(), &Db::RecordSetModel::currentRowChanged, this,
            [this] { updateRowActions(); });

    auto* top = new QHBoxLayout;
    auto* texts = new QVBoxLayout;
    texts->addWidget(lblRunning);
    texts->addWidget(lblWaiting);
    texts->addWidget(pbProgress);
    top->addLayout(texts, 1);
    top->addWidget(btnStart, 0, Qt::AlignBottom);
    auto* rowButtons = new QHBoxLayout;
    rowButtons->addWidget(new QLabel(F("数据检测项目列表："), this));
    rowButtons->addStretch();
    rowButtons->addWidget(btnDetail);
    rowButtons->addWidget(btnFix);
    auto* main = new QVBoxLayout(this);
    main->addWidget(imgBanner);
    main->addLayout(top);
    main->addLayout(rowButtons);
    main->addWidget(tvCheckItems, 1);

    FormCreate();
    _init();
    bannerMovie->start();
}

Tdatacheckupform::~Tdatacheckupform() {
    if (datacheckupform == this)
        datacheckupform = nullptr;
}

QString Tdatacheckupform::bannerFile() {
    const QString own =
        QDir(Sys::programHome()).filePath(QStringLiteral("locales/assets/img/scan.gif"));
    return QFileInfo::exists(own) ? own : QStringLiteral(":/qd/img/scan.gif");
}

void Tdatacheckupform::_init() {
    Db::dataServices().openDataToCDS(cdsCheck, QString::fromLatin1(kLoadSql));
    if (cdsCheck.active() && tvCheckItems->groupField().isEmpty())
        tvCheckItems->groupBy(QStringLiteral("category"), {true, kGroupColor});
    tvCheckItems->applyColumns();
    pbProgress->setValue(0);
    updateRowActions();
}

void Tdatacheckupform::actdoStartExecute() {
    if (actdoStart->data().toInt() == 0)
        _doStart();
    else
        _doStop();
}

void Tdatacheckupform::setRunning(bool on) {
    bStart = on;
    actdoStart->setText(on ? F("停止检测") : F("开始检测"));
    actdoStart->setData(on ? 1 : 0);
    tvCheckItems->setEnabled(!on);
    updateRowActions();
}

void Tdatacheckupform::_doStart() {
    if (m_inRun)
        return;  // a stopped run is still finishing the check in hand
    _init();
    if (cdsCheck.isEmpty())
        return;
    setRunning(true);
    const int n = cdsCheck.recordCount();
    cdsCheck.first();
    m_inRun = true;
    bool failed = false;
    for (int i = 1; !cdsCheck.eof() && bStart; ++i) {
        if (!currentText("checksql").trimmed().isEmpty() &&
            checkCurrent() == CheckOutcome::Failed) {
            failed = true;  // the window stays running until the button is clicked
            break;
        }
        pbProgress->setValue(i * 100 / n);
        Db::LogMsg(F("数据检测进度 %1%").arg(pbProgress->value()));
        pause();
        if (m_closeRequested)
            break;
        cdsCheck.next();
    }
    m_inRun = false;
    if (!failed || m_closeRequested)
        _doStop();
    updateRowActions();
    if (m_closeRequested)
        close();
}

void Tdatacheckupform::_doStop() {
    setRunning(false);
}

void Tdatacheckupform::pause() {
    QCoreApplication::processEvents();
    if (checkWaitMs > 0) {
        QEventLoop wait;
        QTimer::singleShot(checkWaitMs, &wait, &QEventLoop::quit);
        wait.exec();
    }
    QCoreApplication::processEvents();
}

QString Tdatacheckupform::currentText(const char* field) const {
    const int f = cdsCheck.fieldIndex(QString::fromLatin1(field));
    return f >= 0 && cdsCheck.recNo() >= 0 ? cdsCheck.textAt(cdsCheck.rowAt(cdsCheck.recNo()), f)
                                           : QString();
}

std::optional<qint64> Tdatacheckupform::countOf(const QString& checksql) {
    const QString sql = Sys::sqlTemplate(checksql);
    Db::LogMsg(sql);
    const QString which = F("数据检测项目 %1「%2」").arg(currentText("id"), currentText("title"));
    Db::RecordSet scratch;
    if (!Db::dataServices().openDataToCDS(scratch, sql)) {
        Db::LogError(which + F(" 执行失败"));
        return std::nullopt;
    }
    if (scratch.isEmpty() || scratch.fieldCount() == 0 || scratch.isNullAt(scratch.rowAt(0), 0))
        return 0;
    bool ok = false;
    const qint64 count = scratch.textAt(scratch.rowAt(0), 0).trimmed().toLongLong(&ok);
    if (!ok) {
        const QString message =
            which + F(" 的结果不是整数：") + scratch.textAt(scratch.rowAt(0), 0);
        Db::LogError(message);
        Base::showError(message);
        return std::nullopt;
    }
    return count;
}

Tdatacheckupform::CheckOutcome Tdatacheckupform::checkCurrent() {
    const std::optional<qint64> count = countOf(currentText("checksql"));
    if (!count)
        return CheckOutcome::Failed;
    cdsCheck.edit();
    cdsCheck.field(QStringLiteral("checkcount")).setValue(F("检测%1条数据").arg(*count));
    cdsCheck.field(QStringLiteral("status"))
        .setValue(verdict(currentText("resultrule").toInt(), *count));
    cdsCheck.post();
    return CheckOutcome::Counted;
}

bool Tdatacheckupform::closeAfterRun() {
    if (m_inRun) {
        // The run loop is on the stack: it ends first and closes the window as it unwinds.
        m_closeRequested = true;
        bStart = false;
        return true;
    }
    if (actdoStart->data().toInt() == 1)
        _doStop();  // a run that ended at a failing check
    return false;
}

void Tdatacheckupform::closeEvent(QCloseEvent* e) {
    if (closeAfterRun())
        e->ignore();
    else
        TBaseForm::closeEvent(e);
}

void Tdatacheckupform::done(int r) {
    if (!closeAfterRun())
        TBaseForm::done(r);
}

// ---- detail and repair --------------------------------------------------------------------

bool Tdatacheckupform::rowFoundSomething() const {
    return !bStart && !m_inRun && currentText("status") == F(kCheckFailed);
}

void Tdatacheckupform::updateRowActions() {
    const bool found = rowFoundSomething();
    actDetail->setEnabled(found && !currentText("detailsql").trimmed().isEmpty());
    actFix->setEnabled(found && !currentText("fixsql").trimmed().isEmpty());
}

int Tdatacheckupform::loadDetail(Db::RecordSet& rows) {
    Db::RecordSet all;
    const QString sql = Sys::sqlTemplate(currentText("detailsql"));
    Db::LogMsg(sql);
    if (!Db::dataServices().openDataToCDS(all, sql))
        return -1;
    rows.cloneStructure(all);
    rows.createDataSet();
    std::vector<std::uint32_t> first;
    for (int pos = 0; pos < std::min(all.recordCount(), kDetailRows); ++pos)
        first.push_back(all.rowAt(pos));
    rows.appendRows(all, first);
    rows.first();
    rows.setReadOnly(true);
    return all.recordCount();
}

bool Tdatacheckupform::showDetail(Db::RecordSet& rows, int total, bool fixing) {
    Base::TBaseForm dialog(this);
    dialog.setObjectName(QStringLiteral("TdatacheckupDetailForm"));
    dialog.setWindowTitle(F("查看明细") + QStringLiteral(" - ") + currentText("title"));
    dialog.resize(640, 420);
    auto* count =
        new QLabel(total > kDetailRows ? F("共%1条数据，显示前%2条").arg(total).arg(kDetailRows)
                                       : F("共%1条数据").arg(total),
                   &dialog);
    auto* view = new Ui::GridView(QStringLiteral("tvDetail"), &dialog);
    view->setRecordSet(&rows);
    for (const QString& name : rows.fieldNames())
        view->addFieldColumn(name, rows.fieldDef(rows.fieldIndex(name)).label(), 100);
    view->applyColumns();
    auto* ok = new QAction(fixing ? F("修复") : F("确定"), &dialog);
    auto* cancel = new QAction(F("取消"), &dialog);
    connect(ok, &QAction::triggered, &dialog, &QDialog::accept);
    connect(cancel, &QAction::triggered, &dialog, &QDialog::reject);
    auto* layout = new QVBoxLayout(&dialog);
    layout->addWidget(count);
    layout->addWidget(view, 1);
    layout->addLayout(Base::closingButtons(&dialog, ok, fixing ? cancel : nullptr));
    dialog.FormCreate();
    return Ui::prompter().exec(dialog) == QDialog::Accepted;
}

void Tdatacheckupform::actDetailExecute() {
    if (!rowFoundSomething() || currentText("detailsql").trimmed().isEmpty())
        return;
    Db::RecordSet rows;
    if (const int total = loadDetail(rows); total >= 0)
        showDetail(rows, total, false);
}

void Tdatacheckupform::actFixExecute() {
    if (!rowFoundSomething() || currentText("fixsql").trimmed().isEmpty())
        return;
    Base::rightsGate(m_moduleCode, QStringLiteral("_02"));
    const QString title = currentText("title");
    qint64 found = currentText("checkcount").remove(F("检测")).remove(F("条数据")).toLongLong();
    if (!currentText("detailsql").trimmed().isEmpty()) {
        Db::RecordSet rows;
        const int total = loadDetail(rows);
        if (total < 0 || !showDetail(rows, total, true))
            return;
        found = total;
    }
    if (!Base::confirmOk(F("将修复「%1」发现的%2条数据，是否继续？").arg(title).arg(found)))
        return;

    // One transaction: the repair, then the check itself; kept only when the check passes.
    Db::IDataServices& db = Db::dataServices();
    const QString fix = Sys::sqlTemplate(currentText("fixsql"));
    Db::LogMsg(fix);
    if (!db.execSQL(QStringLiteral("begin tran\r\n") + fix))
        return;  // a failed batch leaves nothing behind
    const std::optional<qint64> left = countOf(currentText("checksql"));
    const bool passes =
        left && verdict(currentText("resultrule").toInt(), *left) == F(kCheckPassed);
    if (!db.execSQL(passes ? QStringLiteral("commit tran")
                           : QStringLiteral("if @@trancount > 0 rollback tran")))
        return;
    if (!passes) {
        if (left)
            Base::showError(F("修复后「%1」仍未通过检测，所做的修改已全部撤销。").arg(title));
        return;
    }
    Sys::logger(m_moduleCode, windowTitle(), QString(), F("数据修复"),
                F("%1 %2：修复%3条数据").arg(currentText("id"), title).arg(found));
    checkCurrent();
    updateRowActions();
    tvCheckItems->viewport()->update();
}

// ---- opening --------------------------------------------------------------------------------

Tdatacheckupform* openDataCheckup(QWidget* owner, const QString& moduleCode) {
    if (!datacheckupform) {
        datacheckupform = new Tdatacheckupform(owner, moduleCode);
        datacheckupform->setAttribute(Qt::WA_DeleteOnClose);
        QObject::connect(datacheckupform, &QDialog::finished, datacheckupform,
                         &QObject::deleteLater);
    }
    datacheckupform->show();
    datacheckupform->raise();
    datacheckupform->activateWindow();
    return datacheckupform;
}

void registerDataCheckup() {
    Sys::TPlugsPool::registerOpenEntry(
        QStringLiteral("Tdatacheckupform"),
        [](QWidget* owner, Sys::TPlugItem& item, const QString&, const QString&, QString&, int) {
            openDataCheckup(owner, item.code);
        });
}

}  // namespace Qd::Core::Tools
