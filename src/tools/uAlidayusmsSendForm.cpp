#include "tools/uAlidayusmsSendForm.h"

#include <QComboBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTimer>
#include <QVBoxLayout>

#include "base/Dispatch.h"
#include "base/Prompter.h"
#include "core/Messages.h"
#include "db/DataServices.h"
#include "db/Trace.h"
#include "sys/SystemServices.h"
#include "sys/uAlidayuUtils.h"
#include "sys/uPlugItem.h"
#include "ui/editors/Editors.h"

namespace Qd::Core::Tools {

namespace {

QString F(const char* name) {
    return QString::fromLatin1(name);
}

const QString kBulkCaption = QStringLiteral("短信通知|业务提醒|短信群发");
constexpr int kBulkGroup = 99;

// A fixed hint under a field: wrapped, in the hints' colour.
QLabel* hintLabel(const QString& text, const QString& name, QWidget* parent) {
    auto* hint = new QLabel(text, parent);
    hint->setObjectName(name);
    hint->setWordWrap(true);
    hint->setStyleSheet(QStringLiteral("color: #6b5a2a;"));
    return hint;
}

}  // namespace

// ---- shared ------------------------------------------------------------------------------------

TSmsComposeForm::TSmsComposeForm(QWidget* AOwner, const QString& caption) : TBaseForm(AOwner) {
    setWindowTitle(caption);
    cbbtplList = new QComboBox(this);
    cbbtplList->setObjectName(F("cbbtplList"));
    cbbtplList->setEditable(false);  // only its items
    edtMobile = new QLineEdit(this);
    edtMobile->setObjectName(F("edtMobile"));
    mmoPreview = new QPlainTextEdit(this);
    mmoPreview->setObjectName(F("mmoPreview"));
    mmoPreview->setReadOnly(true);
    mmoPreview->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    mmoPreview->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    lblCount = new QLabel(this);
    lblCount->setObjectName(F("lblCount"));
    showPreview(QString());

    actOK = new QAction(QStringLiteral("发送"), this);
    actOK->setObjectName(F("actOK"));
    actCancel = new QAction(QStringLiteral("取消"), this);
    actCancel->setObjectName(F("actCancel"));
    connect(actOK, &QAction::triggered, this,
            [this] { Sys::dispatch([this] { actOKExecute(); }); });
    connect(actCancel, &QAction::triggered, this, &QDialog::reject);
    actList << actOK << actCancel;
    connect(cbbtplList, &QComboBox::currentIndexChanged, this,
            [this] { Sys::dispatch([this] { cbbtplListPropertiesChange(); }); });
}

void TSmsComposeForm::buildLayout(QLayout* extra) {
    auto* fields = new QFormLayout;
    fields->addRow(QStringLiteral("短信模板："), cbbtplList);
    fields->addRow(QStringLiteral("手机号码："), edtMobile);
    auto* main = new QVBoxLayout(this);
    main->addLayout(fields);
    if (extra)
        main->addLayout(extra);
    main->addWidget(new QLabel(QStringLiteral("短信预览："), this));
    main->addWidget(mmoPreview, 1);
    main->addWidget(lblCount);
    main->addWidget(hintLabel(
        QStringLiteral("提示：短信字数<=70个字数，按照70个字数一条短信计算，短信字数>70个字数，即为"
                       "长短信，按照67个字数记为一条短信计算。"),
        F("lblHint"), this));
    main->addLayout(Base::closingButtons(this, actOK, actCancel));
}

void TSmsComposeForm::loadTemplates(int group) {
    const QString sql = QStringLiteral("select * from qd_sys_alidayu where  tpltype = ") +
                        QString::number(group) + QStringLiteral(" order by id");
    if (!Db::dataServices().openDataToCDS(cdsResult, sql))
        return;
    const QSignalBlocker quiet(cbbtplList);
    for (cdsResult.first(); !cdsResult.eof(); cdsResult.next())
        cbbtplList->addItem(cdsResult.field(F("tplname")).asString(),
                            cdsResult.field(F("id")).asInteger());
    cbbtplList->setCurrentIndex(-1);
}

void TSmsComposeForm::showPreview(const QString& text) {
    mmoPreview->setPlainText(text);
    lblCount->setText(smsCounterText(text));
}

bool TSmsComposeForm::locateChosen() {
    return cbbtplList->currentIndex() >= 0 && cdsResult.locate(F("id"), cbbtplList->currentData());
}

std::optional<TplParams> TSmsComposeForm::chosenParams() {
    QString fault;
    std::optional<TplParams> params =
        parseTplParams(cdsResult.field(F("tplparams")).asString(), &fault);
    if (!params)
        Base::showError(QStringLiteral("短信模板“%1”的参数有误：%2")
                            .arg(cdsResult.field(F("tplname")).asString(), fault));
    return params;
}

void TSmsComposeForm::sendMessage(const QString& mobiles, const QString& params) {
    Sys::TAlidayuUtils gateway;
    if (gateway.send(mobiles, ftplid, params)) {
        Base::showHint(QStringLiteral("发送成功"));
        accept();
    } else {
        Base::showError(QStringLiteral("发送失败"));
    }
}

// ---- single ------------------------------------------------------------------------------------

TAlidayusmsSendForm::TAlidayusmsSendForm(QWidget* AOwner, int _iType, const QString& mobile,
                                         SmsValues* _data)
    : TSmsComposeForm(AOwner, QStringLiteral("短信通知|业务提醒")),
      fiType(_iType),
      fMobile(mobile),
      fvalues(_data) {
    setObjectName(F("TAlidayusmsSendForm"));
    if (fvalues)
        for (const CompanyValue& c : kCompanyValues)
            fvalues->insert(QLatin1String(c.key), *companyValue(QLatin1String(c.key)));
    resize(460, 380);
    edtMobile->setText(fMobile);
    edtMobile->setReadOnly(true);
    buildLayout(nullptr);
    FormCreate();
    loadTemplates(fiType);
    if (cbbtplList->count() > 0)
        cbbtplList->setCurrentIndex(0);
}

void TAlidayusmsSendForm::cbbtplListPropertiesChange() {
    if (!locateChosen())
        return;
    Db::LogMsg(QStringLiteral("短信模板：") + cbbtplList->currentText());
    ftplid = cdsResult.field(F("tplid")).asString();
    const std::optional<TplParams> params = chosenParams();
    showPreview(params ? generateSMS(cdsResult.field(F("tpltxt")).asString(), *params,
                                     fvalues ? *fvalues : SmsValues())
                       : QString());
}

void TAlidayusmsSendForm::actOKExecute() {
    if (!locateChosen()) {
        Base::showHint(QStringLiteral("没有可用的短信模板，短信未发送。"));
        return;
    }
    const std::optional<TplParams> params = chosenParams();
    if (!params)
        return;
    sendMessage(fMobile, generateSMSParams(*params, fvalues ? *fvalues : SmsValues(),
                                           MissingValues::LeaveOut));
}

// ---- bulk --------------------------------------------------------------------------------------

TAlidayusmsSendMutilForm::TAlidayusmsSendMutilForm(QWidget* AOwner)
    : TSmsComposeForm(AOwner, kBulkCaption) {
    setObjectName(F("TAlidayusmsSendMutilForm"));
    resize(520, 560);
    vgParams = new Ui::PropertyGrid(this);
    vgParams->setObjectName(F("vgParams"));
    vgParams->setCaptionLayout(170, Qt::AlignLeft | Qt::AlignVCenter);
    connect(vgParams, &Ui::PropertyGrid::valueChanged, this,
            [this] { Sys::dispatch([this] { vgParamsEdited(); }); });
    auto* extra = new QVBoxLayout;
    extra->addWidget(hintLabel(
        QStringLiteral(
            "手机号码可以单个或多个， 多个号码请以英文逗号分割。如：13912345678,13887654321"),
        F("lblMobileHint"), this));
    extra->addWidget(new QLabel(QStringLiteral("参数："), this));
    extra->addWidget(vgParams, 2);
    buildLayout(extra);
    FormCreate();
    loadTemplates(kBulkGroup);
    actOK->setEnabled(false);
    if (cbbtplList->count() > 0)
        cbbtplList->setCurrentIndex(0);
}

void TAlidayusmsSendMutilForm::cbbtplListPropertiesChange() {
    actOK->setEnabled(cbbtplList->currentIndex() >= 0);
    if (!locateChosen())
        return;
    Db::LogMsg(QStringLiteral("短信模板：") + cbbtplList->currentText());
    ftplid = cdsResult.field(F("tplid")).asString();
    ftpltxt = cdsResult.field(F("tpltxt")).asString();
    ftplParams = cdsResult.field(F("tplparams")).asString();
    generateParams(chosenParams().value_or(TplParams()));
    showPreview(ftpltxt);
}

void TAlidayusmsSendMutilForm::generateParams(const TplParams& tplparams) {
    vgParams->clear();
    m_rowKeys.clear();
    vgParams->addHeading(QStringLiteral("请设置列表中的参数，所有参数都为必填项"));
    for (const TplParam& p : tplparams) {
        const QString row = QStringLiteral("p%1").arg(m_rowKeys.size());
        vgParams->addRow(row, p.desc + QLatin1Char('(') + p.param + QStringLiteral("):"),
                         Ui::EditorProps{});
        m_rowKeys << p.key;
        if (const std::optional<QString> company = companyValue(p.key))
            vgParams->setValue(row, *company);
    }
}

SmsValues TAlidayusmsSendMutilForm::enteredValues() const {
    SmsValues values;
    for (qsizetype i = 0; i < m_rowKeys.size(); ++i) {
        const QString text = vgParams->value(QStringLiteral("p%1").arg(i)).toString();
        if (!text.isEmpty())
            values.insert(m_rowKeys[i], text);
    }
    return values;
}

void TAlidayusmsSendMutilForm::vgParamsEdited() {
    QString fault;
    const std::optional<TplParams> params = parseTplParams(ftplParams, &fault);
    showPreview(generateSMS(ftpltxt, params.value_or(TplParams()), enteredValues()));
}

void TAlidayusmsSendMutilForm::actOKExecute() {
    if (!locateChosen())
        return;
    const std::optional<TplParams> params = chosenParams();
    if (!params)
        return;
    fMobile = edtMobile->text();
    sendMessage(fMobile, generateSMSParams(*params, enteredValues(), MissingValues::SendEmpty));
}

// ---- client ------------------------------------------------------------------------------------

void registerSmsTools(QObject* client) {
    Sys::TPlugsPool::registerOpenEntry(
        F("TAlidayusmsSendMutilForm"),
        [](QWidget* owner, Sys::TPlugItem&, const QString&, const QString&, QString&, int) {
            TAlidayusmsSendMutilForm dialog(owner);
            Ui::prompter().exec(dialog);
        });
    auto* timer = new QTimer(client);
    auto running = std::make_shared<bool>(false);
    QObject::connect(timer, &QTimer::timeout, client, [timer, running] {
        timer->setInterval(60 * 1000);
        if (*running)
            return;
        *running = true;
        Sys::TAlidayuUtils().deliverDue([running](int) { *running = false; });
    });
    timer->start(5 * 1000);
}

}  // namespace Qd::Core::Tools
