#include "basic/uBasicPropEditForm.h"

#include <QCloseEvent>
#include <QDateTime>
#include <QFormLayout>
#include <QJsonDocument>
#include <QStyle>
#include <QTabWidget>
#include <QVBoxLayout>
#include <map>

#include "base/Dispatch.h"
#include "base/EAbort.h"
#include "basic/ListRules.h"
#include "core/GridHelpers.h"
#include "core/Messages.h"
#include "core/ModuleList.h"
#include "core/RightsGate.h"
#include "core/uJoinTableObject.h"
#include "db/DataServices.h"
#include "db/DbError.h"
#include "db/Trace.h"
#include "sys/SystemServices.h"
#include "ui/editors/Editors.h"

namespace Qd::Core::Base {

namespace {

QString F(const char* name) {
    return QString::fromLatin1(name);
}

// The name of the extended-information row for the i-th key.
QString extendRow(int i) {
    return QStringLiteral("extend%1").arg(i);
}

}  // namespace

TBasicPropEditForm::TBasicPropEditForm(QWidget* AOwner, const QString& _PlugItemCode, int _id,
                                       int _category_p1, int _category_p2,
                                       const QJsonObject& _pluginfo, Db::DataSetState state)
    : TBaseRibbonForm(AOwner, nullptr),
      id(_id),
      category_p1(_category_p1),
      category_p2(_category_p2),
      PlugItemCode(_PlugItemCode),
      Fstate(state),
      m_pluginfo(_pluginfo) {
    setObjectName(QStringLiteral("TBasicPropEditForm"));
    pluginfo = _pluginfo;
    setJoinTableList();
    tableName = m_pluginfo.value(F("tablename")).toString();
    if (m_pluginfo.value(F("expand")).isArray())
        extendinfo = m_pluginfo.value(F("expand")).toArray();

    struct ActionDef {
        QAction** target;
        const char* name;
        const char* caption;
        QStyle::StandardPixmap icon;
        void (TBasicPropEditForm::*handler)();
    };
    const ActionDef defs[] = {
        {&actPrev, "actPrev", "上一条", QStyle::SP_ArrowUp, nullptr},
        {&actNext, "actNext", "下一条", QStyle::SP_ArrowDown, nullptr},
        {&actSaveAndNew, "actSaveAndNew", "保存后新增", QStyle::SP_FileIcon,
         &TBasicPropEditForm::actSaveAndNewExecute},
        {&actSaveEdit, "actSaveEdit", "保存后编辑", QStyle::SP_DialogSaveButton,
         &TBasicPropEditForm::actSaveEditExecute},
        {&actcancel, "actcancel", "取消", QStyle::SP_DialogCancelButton,
         &TBasicPropEditForm::actcancelExecute},
        {&actCopy, "actCopy", "复制", QStyle::SP_FileDialogNewFolder,
         &TBasicPropEditForm::actCopyExecute},
    };
    BarManagerBar1->removeAction(actclose);
    for (const ActionDef& d : defs) {
        QAction* a = addAction(QString::fromLatin1(d.name), QString::fromUtf8(d.caption));
        a->setIcon(style()->standardIcon(d.icon));
        if (d.handler)
            connect(a, &QAction::triggered, this, [this, h = d.handler] { run(h); });
        *d.target = a;
        if (a != actPrev)
            BarManagerBar1->insertSeparator(a);
    }
    connect(actPrev, &QAction::triggered, this, [this] { Sys::dispatch([this] { step(false); }); });
    connect(actNext, &QAction::triggered, this, [this] { Sys::dispatch([this] { step(true); }); });
    BarManagerBar1->addSeparator();
    BarManagerBar1->addAction(actclose);

    cxPageControl1 = new QTabWidget(this);
    cxTabSheet1 = new QWidget;
    cxTabSheet1->setObjectName(QStringLiteral("cxTabSheet1"));
    cxPageControl1->addTab(cxTabSheet1, QStringLiteral("基础资料"));
    cxgextend = new Ui::PropertyGrid;
    cxPageControl1->addTab(cxgextend, QStringLiteral("扩展信息"));
    cxPageControl1->setTabVisible(1, extendinfo.has_value());
    setCentralWidget(cxPageControl1);
    resize(720, 520);

    cdsMain.beforePost = [this](Db::RecordSet&) { cdsMainBeforePost(); };
    // Without the right to change, the record is shown, not edited.
    cdsMain.beforeEdit = [this](Db::RecordSet&) {
        if (!rightProbe(PlugItemCode, F("_02")))
            Sys::Abort();
    };
    cdsMain.onDataChange = [](Db::RecordSet& rs, int field) { Base::fillHelpCode(rs, field); };
    // The caption and the actions follow the record's state, however it changes.
    for (Db::RecordSet::Event* e : {&cdsMain.afterScroll, &cdsMain.afterEdit, &cdsMain.afterInsert,
                                    &cdsMain.afterPost, &cdsMain.afterCancel})
        *e = [this](Db::RecordSet&) { updateState(); };
    FormCreate();
}

TBasicPropEditForm::~TBasicPropEditForm() = default;

void TBasicPropEditForm::run(void (TBasicPropEditForm::*handler)()) {
    Sys::dispatch([&] { (this->*handler)(); });
    updateState();
}

void TBasicPropEditForm::setJoinTableList() {
    for (const QJsonValue& v : m_pluginfo.value(F("columns")).toArray()) {
        const QJsonObject column = v.toObject();
        const QString type = column.value(F("type")).toString();
        const QJsonObject join = column.value(F("join")).toObject();
        if ((type != F("lookupcombobox") && type != F("lookupcomboboxl2")) || join.isEmpty())
            continue;
        auto table = std::make_unique<TjoinTableObject>(true);
        table->setName(PlugItemCode + QLatin1Char('.') + column.value(F("fieldname")).toString());
        table->jo = join;
        table->Fsql = Sys::lookupSql(join.value(F("sql")).toString(), PlugItemCode);
        table->updatefields = join.value(F("fields")).toArray();
        Db::LogMsg(table->Fsql);
        if (type == F("lookupcombobox"))
            openQuietly(*table);
        joinTableList[column.value(F("fieldname")).toString()] = std::move(table);
    }
}

void TBasicPropEditForm::_init() {
    setWindowTitle(QStringLiteral("详细信息"));
    _initexpandInfo();
    getMainData(category_p1, category_p2);
    cxPageControl1->setCurrentIndex(0);
    cdsMain.locate(F("id"), id);
    if (Fstate == Db::DataSetState::Insert)
        cdsMain.append();
    else if (Fstate == Db::DataSetState::Edit && !cdsMain.isEmpty())
        Sys::dispatch([this] { cdsMain.edit(); });  // without the right it opens to be read
    cdsMainOnAfterScroll();
}

void TBasicPropEditForm::getMainData(int p1, int p2) {
    loadCategoryRows(cdsMain, m_pluginfo, p1, p2);
    updateState();
}

void TBasicPropEditForm::_initexpandInfo() {
    if (!extendinfo)
        return;
    cxgextend->clear();
    for (int i = 0; i < extendinfo->size(); ++i)
        cxgextend->addRow(extendRow(i), extendinfo->at(i).toObject().value(F("key")).toString(),
                          Ui::EditorProps{});
}

void TBasicPropEditForm::cdsMainOnAfterScroll() {
    updateState();
    if (!extendinfo || !cdsMain.active() || !cdsMain.hasField(F("extend")))
        return;
    for (int i = 0; i < extendinfo->size(); ++i)
        cxgextend->setValue(extendRow(i), QVariant());
    const QString text = cdsMain.isEmpty() ? QString() : cdsMain.field(F("extend")).asString();
    if (text.trimmed().isEmpty())
        return;
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(text.toUtf8(), &error);
    if (!doc.isObject()) {
        // Shown, not fixed: the next save writes the grid's rows as a proper object.
        showError(QStringLiteral("模块“%1”记录“%2”的扩展信息不是 JSON 对象（%3），已忽略。")
                      .arg(PlugItemCode, cdsMain.field(F("code")).asString(),
                           error.error == QJsonParseError::NoError ? QStringLiteral("不是对象")
                                                                   : error.errorString()));
        return;
    }
    const QJsonObject values = doc.object();
    for (int i = 0; i < extendinfo->size(); ++i) {
        const QString key = extendinfo->at(i).toObject().value(F("key")).toString();
        if (values.contains(key))
            cxgextend->setValue(extendRow(i), values.value(key).toVariant());
    }
}

QString TBasicPropEditForm::getOnAfterPostSQL() {
    if (cdsMain.hasField(F("p1")))
        category_p1 = cdsMain.field(F("p1")).asInteger();
    return {};
}

void TBasicPropEditForm::cdsMainBeforePost() {
    // Every save path posts: the right of the moment, before anything is checked or changed.
    gateRowChange(cdsMain, PlugItemCode);
    checkFiledRecord(cdsMain);
    if (cdsMain.hasField(F("lastupdate")))
        cdsMain.field(F("lastupdate")).setValue(QDateTime::currentDateTime());
    const Sys::TAuth* auth = Sys::sysAuth();
    cdsMain.field(F("orgid")).setValue(auth ? auth->orgId : QString());
    applyValidationRules(m_pluginfo, PlugItemCode, cdsMain, cdsCheckError, Ui::MsgKind::Error);
}

void TBasicPropEditForm::doSave() {
    QJsonObject extend;
    if (extendinfo) {
        for (int i = 0; i < extendinfo->size(); ++i) {
            // Kept as every text of the record is kept, through UTF-8 (a lone surrogate becomes
            // "?"), rather than through JSON's escapes.
            const QVariant v = cxgextend->value(extendRow(i));
            extend.insert(extendinfo->at(i).toObject().value(F("key")).toString(),
                          v.isNull() ? QString() : QString::fromUtf8(v.toString().toUtf8()));
        }
    }
    const QString afterSql = getOnAfterPostSQL();
    // The extended information goes in with the record's own post; a record not being edited
    // is edited for it only when it changed (which takes the right to change it).
    if (extendinfo && cdsMain.hasField(F("extend")) && !cdsMain.isEmpty()) {
        const QString text =
            QString::fromUtf8(QJsonDocument(extend).toJson(QJsonDocument::Compact));
        if (cdsMain.field(F("extend")).asString() != text) {
            if (cdsMain.state() == Db::DataSetState::Browse)
                cdsMain.edit();
            cdsMain.field(F("extend")).setValue(text);
        }
    }
    if (cdsMain.state() != Db::DataSetState::Browse)
        cdsMain.post();
    QStringList statements;
    if (cdsMain.changeCount() > 0) {
        QStringList ignored;
        for (const QJsonValue& v : m_pluginfo.value(F("ignoreFields")).toArray())
            ignored << v.toString();
        Db::GetUpDataSQLList(tableName, m_pluginfo.value(F("key")).toString(), ignored, cdsMain,
                             statements, 0);
    }
    if (!afterSql.isEmpty())
        statements << afterSql;
    const QString sql = statements.join(F("\r\n"));
    if (sql.trimmed().isEmpty())
        return;
    Db::LogMsg(sql);
    if (!Db::dataServices().execSQL(sql))
        return;  // posted and logged still: the next save sends them again
    cdsMain.mergeChangeLog();
    getMainData(category_p1, category_p2);
}

// ---- actions
// -------------------------------------------------------------------------------------

void TBasicPropEditForm::step(bool forward) {
    if (cdsMain.state() != Db::DataSetState::Browse) {
        if (confirmOk(QStringLiteral("数据未保存，是否保存？")))
            run(&TBasicPropEditForm::doSave);
        else
            cdsMain.cancel();
    } else if (forward) {
        cdsMain.next();
    } else {
        cdsMain.prior();
    }
    cdsMainOnAfterScroll();
}

void TBasicPropEditForm::actSaveAndNewExecute() {
    rightsGate(PlugItemCode, F("_01"));
    doSave();
    cdsMain.append();
    cdsMainOnAfterScroll();
}

void TBasicPropEditForm::actSaveEditExecute() {
    const QString code =
        cdsMain.hasField(F("code")) ? cdsMain.field(F("code")).asString() : QString();
    Db::LogMsg(QStringLiteral("新添加的编号：") + code);
    doSave();
    if (!code.isEmpty())
        cdsMain.locate(F("code"), code);
    cdsMainOnAfterScroll();
}

void TBasicPropEditForm::actcancelExecute() {
    if (Db::MessageMyDlg(QStringLiteral("数据未保存，是否确定要取消"),
                         QString::fromUtf8(kHintTitle), int(Ui::MsgKind::Information),
                         Ui::MsgButtons::OkCancel) == Ui::mrOk)
        cdsMain.cancel();
    cdsMainOnAfterScroll();
}

void TBasicPropEditForm::actCopyExecute() {
    rightsGate(PlugItemCode, F("_01"));
    if (!cdsMain.active() || cdsMain.isEmpty())
        return;
    copyRecord(cdsMain);
    cdsMainOnAfterScroll();
    Ui::AlertWindow::showAlert(this, QStringLiteral("提示"),
                               QStringLiteral("复制成功，请修改编号后保存。"), 3000);
}

void TBasicPropEditForm::updateState() {
    const Db::DataSetState state = cdsMain.state();
    const bool open = cdsMain.active() && !cdsMain.isEmpty();
    actPrev->setEnabled(open && cdsMain.recNo() > 0);
    actNext->setEnabled(open && cdsMain.recNo() < cdsMain.recordCount() - 1);
    actcancel->setEnabled(state == Db::DataSetState::Edit || state == Db::DataSetState::Insert);
    actCopy->setEnabled(state == Db::DataSetState::Browse);
    setWindowTitle(state == Db::DataSetState::Edit     ? QStringLiteral("详细信息[编辑]")
                   : state == Db::DataSetState::Insert ? QStringLiteral("详细信息[新增]")
                                                       : QStringLiteral("详细信息"));
}

// ---- for descendants
// -----------------------------------------------------------------------------

void TBasicPropEditForm::BindLookupComboboxProperties(Ui::LookupComboBox* combo,
                                                      const QString& fieldName) {
    const auto it = joinTableList.find(fieldName);
    if (it == joinTableList.end())
        throw Db::DbError(
            QStringLiteral("模块“%1”没有字段“%2”的查询列").arg(PlugItemCode, fieldName));
    const TjoinTableObject& table = *it->second;
    Ui::EditorProps props;
    setLookupProps(props, table, table.jo, table.updatefields);
    props.onEditValueChanged = [this](QWidget* editor) {
        onDbLookupComboBoxEditValueChange(editor);
    };
    combo->setProps(props);
    new Ui::FieldBinding(&cdsMain, fieldName, combo);
}

void TBasicPropEditForm::onDbLookupComboBoxEditValueChange(QWidget* Sender) {
    auto* combo = qobject_cast<Ui::LookupComboBox*>(Sender);
    const Db::DataSetState state = cdsMain.state();
    if (!combo || (state != Db::DataSetState::Edit && state != Db::DataSetState::Insert))
        return;
    // The chosen row is the list's current row, whatever the lookup's key field is.
    Db::RecordSet* list = combo->listSource();
    const QString target = combo->toolTip();
    if (!list || !list->active() || list->isEmpty() || !list->hasField(F("id")) ||
        target.isEmpty() || !cdsMain.hasField(target))
        return;
    if (list->hasField(F("code")))
        Db::LogMsg(list->field(F("code")).asString());
    cdsMain.field(target).setValue(list->field(F("id")).asInteger());
}

QWidget* TBasicPropEditForm::addFieldEditor(QFormLayout* form, const QString& fieldName,
                                            const QString& caption, Ui::EditorKind kind) {
    Ui::EditorProps props;
    props.kind = kind;
    QWidget* editor = Ui::createEditor(props, cxTabSheet1);
    editor->setObjectName(fieldName);
    new Ui::FieldBinding(&cdsMain, fieldName, editor);
    form->addRow(caption, editor);
    return editor;
}

bool TBasicPropEditForm::cxDBTextEdit1PropertiesValidate(const QString& value) {
    if (value.isEmpty()) {
        showError(QStringLiteral("编号不能为空"));
        return false;
    }
    const qint64 self = cdsMain.hasField(F("id")) ? cdsMain.field(F("id")).asLargeInt() : 0;
    const QString sql =
        Format(Sys::sqlTemplate(QStringLiteral("select count(1) from ") + tableName +
                                QStringLiteral(" where orgid=:orgid and id<>%d and code='%s'")),
               {self, value});
    Db::LogMsg(sql);
    if (Db::dataServices().openDataToCDS(cdsCheckError, sql) && !cdsCheckError.isEmpty() &&
        cdsCheckError.field(0).asInteger() > 0) {
        showError(QStringLiteral("编号不能重复"));
        return false;
    }
    return true;
}

void TBasicPropEditForm::closeEvent(QCloseEvent* e) {
    // Pending edits and unsaved changes go without asking.
    if (cdsMain.active()) {
        if (cdsMain.state() != Db::DataSetState::Browse)
            cdsMain.cancel();
        cdsMain.cancelUpdates();
    }
    TBaseRibbonForm::closeEvent(e);
}

namespace {

std::map<QString, PropEditFormClass>& propEditForms() {
    static std::map<QString, PropEditFormClass> forms;
    return forms;
}

}  // namespace

void registerPropEditForm(const QString& moduleCode, PropEditFormClass make) {
    if (!make) {
        propEditForms().erase(moduleCode);
        return;
    }
    propEditForms()[moduleCode] = std::move(make);
}

const PropEditFormClass* propEditForm(const QString& moduleCode) {
    const auto it = propEditForms().find(moduleCode);
    return it == propEditForms().end() ? nullptr : &it->second;
}

}  // namespace Qd::Core::Base
