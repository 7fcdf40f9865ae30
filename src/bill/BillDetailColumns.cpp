// The bill window's detail grid and header lookups: the columns from the descriptor with the
// store's settings over them, the lookups that fill a line or a header column, and the button
// and file cells.

#include <QAbstractItemView>
#include <QFileInfo>
#include <QJsonDocument>
#include <QLineEdit>

#include "base/Prompter.h"
#include "bill/uBaseBillEditRibbonForm.h"
#include "bill/uCustBillRuleObj.h"
#include "core/Messages.h"
#include "core/uMyCxGrid.h"
#include "db/DbError.h"
#include "db/Trace.h"
#include "sys/uPlugItem.h"
#include "ui/editors/Editors.h"

namespace Qd::Core::Bill {

namespace {

QString F(const char* s) {
    return QString::fromUtf8(s);
}

bool adding(Sys::TOperateState state) {
    return state == Sys::TOperateState::add || state == Sys::TOperateState::edit;
}

// Closes a grid's cell editor without writing its text back, so that a cancelled change
// stays cancelled.
void dropCellEditor(QWidget* editor) {
    for (QWidget* w = editor ? editor->parentWidget() : nullptr; w; w = w->parentWidget()) {
        if (auto* view = qobject_cast<QAbstractItemView*>(w)) {
            QMetaObject::invokeMethod(
                view, "closeEditor", Q_ARG(QWidget*, editor),
                Q_ARG(QAbstractItemDelegate::EndEditHint, QAbstractItemDelegate::NoHint));
            return;
        }
    }
}

}  // namespace

void TBaseBillEditRibbonForm::_initColumns(const QString&, Ui::Grid* grid) {
    Ui::GridView* view = grid->view(0);
    if (!view)
        return;
    view->setAutoWidth(CustBillRule && CustBillRule->Fautowidth);
    if (view->recordSet() != &cdsDetail)
        view->setRecordSet(&cdsDetail);

    // The store's settings, by field; kept while the columns are built.
    std::map<QString, Base::ColumnOverride> overrides;
    if (CustBillRule)
        for (const auto& [field, config] : CustBillRule->Fgrids)
            overrides[field] = {config->Fcusttitle, config->Fdisplay, config->Ffieldtype,
                                config->Fdecimalcount, config->Fdispformat};

    Base::ColumnBuilder::Options options = Base::ColumnBuilder::billDetailOptions();
    options.moduleCode = moduleCode();
    options.joinTableList = &joinTableList;
    options.columnOverride = [&overrides](const QString& field) -> const Base::ColumnOverride* {
        const auto it = overrides.find(field);
        return it == overrides.end() ? nullptr : &it->second;
    };
    options.onEditValueChange = [this](QWidget* e) { onDetailDbLookupComboBoxEditValueChange(e); };
    options.onButtonClick = [this](QWidget* e, const QString& d) { onButtonEditClick(e, d); };
    options.onFileClick = [this](QWidget* e, const QString& d) { onFileButtonEditClick(e, d); };
    Base::ColumnBuilder builder(options);
    builder.build(view, pluginfo.value(F("data"))
                            .toObject()
                            .value(F("detail"))
                            .toObject()
                            .value(F("columns"))
                            .toArray());
    builder.reportProblems();
    Base::TMyCxGrid::restoreGridColumnStyle(grid, moduleCode());
}

void TBaseBillEditRibbonForm::BindLookupComboboxProperties(Ui::LookupComboBox* editor,
                                                           const QString& name) {
    const QJsonValue member = pluginfo.value(F("properties")).toObject().value(name);
    if (!member.isObject() || !editor)
        return;
    const QJsonObject def = member.toObject();
    for (const char* key : {"sql", "columns", "keyfieldnames", "listfieldnames", "listfieldindex"})
        if (!def.contains(QLatin1String(key))) {
            const QString text = QStringLiteral("模块 %1 的 \"properties\" 成员 \"%2\" 缺少 \"%3\"")
                                     .arg(moduleCode(), name, QLatin1String(key));
            Db::LogError(text);
            Base::showError(text);
            break;
        }

    std::unique_ptr<Base::TjoinTableObject>& table = joinTableList[name];
    if (!table) {
        table = std::make_unique<Base::TjoinTableObject>(true);
        table->setName(moduleCode() + QLatin1Char('.') + name);
        table->Fsql =
            Sys::lookupSql(def.value(F("sql")).toString(), moduleCode(), Sys::LookupValues::Plain);
        table->updatefields = def.value(F("columns")).toArray();
        table->jo = def;  // its key and list fields: the cache pages instead of loading whole
        Db::LogMsg(table->Fsql);
        Base::openQuietly(*table);
    }
    Ui::EditorProps props;
    Base::setLookupProps(props, *table, def, table->updatefields);
    const QJsonValue index = def.value(F("listfieldindex"));
    props.listFieldIndex = index.isDouble() && index.toDouble() == index.toInt()
                               ? std::max(0, index.toInt())
                               : std::max(0, index.toString().toInt());
    props.onEditValueChanged = [this](QWidget* e) { onDbLookupComboBoxEditValueChange(e); };
    const QVariant key = editor->keyValue();
    editor->setProps(props);
    editor->setKeyValue(key);
}

void TBaseBillEditRibbonForm::onDbLookupComboBoxEditValueChange(QWidget* Sender) {
    auto* editor = qobject_cast<Ui::LookupComboBox*>(Sender);
    const Db::DataSetState state = cdsMaster.state();
    if (!editor || (state != Db::DataSetState::Edit && state != Db::DataSetState::Insert))
        return;
    const QString column = editor->toolTip();
    if (column.isEmpty() || !cdsMaster.hasField(column))
        return;
    Db::RecordSet* list = editor->listSource();
    if (editor->text().isEmpty()) {
        cdsMaster.field(column).setValue(0);
        return;
    }
    if (!list || !list->active() || list->isEmpty() || !list->hasField(F("id")))
        return;
    if (list->hasField(F("code")))
        Db::LogMsg(list->field(F("code")).asString());
    cdsMaster.field(column).setValue(list->field(F("id")).asInteger());
}

void TBaseBillEditRibbonForm::onDetailDbLookupComboBoxEditValueChange(QWidget* Sender) {
    Base::copyLookupValues(joinTableList, Sender, cdsDetail);
}

void TBaseBillEditRibbonForm::onButtonEditClick(QWidget* Sender, const QString& descriptor) {
    if (!adding(FDataOperateState))
        return;
    auto* edit = qobject_cast<QLineEdit*>(Sender);
    const QString text = edit ? edit->text() : QString();
    // The line's pending change goes, an unfinished new line with it; the cell editor closes
    // without writing its text back over that.
    dropCellEditor(Sender);
    if (cdsDetail.state() != Db::DataSetState::Browse)
        cdsDetail.cancel();
    const QJsonObject column = QJsonDocument::fromJson(descriptor.toUtf8()).object();
    if (column.isEmpty() || column.value(F("event")).toString() != F("select"))
        return;
    const QString field = column.value(F("fieldname")).toString();
    const QString target = column.value(F("target")).toString();
    Sys::TPlugItem* item = Sys::plugsPool().plugbyName(target, false);
    QString selection;
    try {
        if (!item)
            throw Db::DbError(QStringLiteral("没有名为 %1 的模块").arg(target));
        selection = item->select(this, text, QString());
    } catch (const Db::DbError& e) {
        const QString message = QStringLiteral("模块 %1 的列 \"%2\" 不能从模块 \"%3\" 选择：%4")
                                    .arg(moduleCode(), field, target, e.message());
        Db::LogError(message);
        Base::showError(message);
        return;
    }
    SelectedxmbmkToDetail(selection);
}

void TBaseBillEditRibbonForm::onFileButtonEditClick(QWidget* Sender, const QString& descriptor) {
    if (!adding(FDataOperateState))
        return;
    const QString path = Ui::prompter().openFileName(QStringLiteral("打开"), QString(),
                                                     Ui::qtFileFilter(F("所有文件|*.*")));
    if (path.isEmpty())
        return;
    const QString name = QFileInfo(path).fileName();
    const QString field =
        QJsonDocument::fromJson(descriptor.toUtf8()).object().value(F("fieldname")).toString();
    if (auto* edit = qobject_cast<QLineEdit*>(Sender))
        edit->setText(name);  // what the cell editor writes back when it closes
    if (field.isEmpty() || !cdsDetail.hasField(field) || cdsDetail.isEmpty())
        return;
    if (cdsDetail.state() == Db::DataSetState::Browse)
        cdsDetail.edit();
    cdsDetail.field(field).setValue(name);
    cdsDetail.post();
}

}  // namespace Qd::Core::Bill
