#include "core/ColumnBuilder.h"

#include <QJsonDocument>

#include "db/Trace.h"
#include "sys/SystemServices.h"
#include "ui/editors/Editors.h"

namespace Qd::Core::Base {

namespace {

QString text(const QJsonObject& o, const char* key) {
    const QJsonValue v = o.value(QLatin1String(key));
    return v.isString() ? v.toString() : (v.isDouble() ? QString::number(v.toDouble()) : QString());
}

std::optional<int> wholeNumber(const QJsonValue& v) {
    if (v.isDouble() && v.toDouble() == double(v.toInt()))
        return v.toInt();
    bool ok = false;
    const int n = v.toString().trimmed().toInt(&ok);
    return ok ? std::optional<int>(n) : std::nullopt;
}

}  // namespace

bool descriptorBool(const QJsonValue& v, bool fallback) {
    if (v.isBool())
        return v.toBool();
    const QString s = v.isDouble() ? QString::number(v.toDouble()) : v.toString().trimmed();
    if (s.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0)
        return true;
    if (s.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0)
        return false;
    bool ok = false;
    const double d = s.toDouble(&ok);
    return ok ? d != 0.0 : fallback;
}

QSet<QString> ColumnBuilder::listTypes() {
    return {"lookupcombobox", "lookupcomboboxl2", "combo", "money", "date", "check", "color"};
}

ColumnBuilder::ColumnBuilder(Options options) : m_opt(std::move(options)) {}

void ColumnBuilder::problem(const QString& text) {
    m_problems << text;
    Db::LogError(text);
}

void ColumnBuilder::reportProblems() {
    if (m_problems.isEmpty())
        return;
    Db::MessageMyDlg(m_problems.join(QLatin1Char('\n')), QStringLiteral("提示"),
                     int(Ui::MsgKind::Error), Ui::MsgButtons::Ok);
    m_problems.clear();
}

std::optional<ColumnDescriptor> ColumnBuilder::parse(const QJsonValue& v, int position) {
    if (!v.isObject()) {
        problem(QStringLiteral("模块 %1 的第 %2 个列定义不是 JSON 对象")
                    .arg(m_opt.moduleCode)
                    .arg(position));
        return std::nullopt;
    }
    const QJsonObject o = v.toObject();
    ColumnDescriptor c;
    c.raw = o;
    c.fieldName = text(o, "fieldname");
    c.label = text(o, "label");
    if (c.fieldName.isEmpty() || !o.contains(QLatin1String("label"))) {
        problem(QStringLiteral("模块 %1 的第 %2 个列定义缺少 \"%3\"")
                    .arg(m_opt.moduleCode)
                    .arg(position)
                    .arg(c.fieldName.isEmpty() ? QStringLiteral("fieldname")
                                               : QStringLiteral("label")));
        return std::nullopt;
    }
    c.width = wholeNumber(o.value(QLatin1String("width"))).value_or(100);
    if (o.contains(QLatin1String("visiable")))
        c.visible = descriptorBool(o.value(QLatin1String("visiable")), true);
    if (o.contains(QLatin1String("editing")))
        c.editing = descriptorBool(o.value(QLatin1String("editing")), true);
    c.type = text(o, "type");
    c.type = m_opt.typeAliases.value(c.type, c.type);
    c.hasJoin = o.value(QLatin1String("join")).isObject();
    c.join = o.value(QLatin1String("join")).toObject();
    for (const QJsonValue& item : o.value(QLatin1String("items")).toArray())
        c.items << item.toString();
    if (o.contains(QLatin1String("decimal")))
        c.decimal = wholeNumber(o.value(QLatin1String("decimal"))).value_or(4);
    c.format = text(o, "format");
    c.footerSum = descriptorBool(o.value(QLatin1String("footer")), false) &&
                  text(o, "kind") == QLatin1String("sum");
    return c;
}

TjoinTableObject* ColumnBuilder::bindLookup(const ColumnDescriptor& c, Ui::EditorProps& props) {
    if (!m_opt.joinTableList) {
        problem(
            QStringLiteral("模块 %1 的列 \"%2\" 不能使用查询").arg(m_opt.moduleCode, c.fieldName));
        return nullptr;
    }
    if (m_opt.joinTableList->count(c.fieldName)) {
        problem(QStringLiteral("模块 %1 的列 \"%2\" 重复定义了查询")
                    .arg(m_opt.moduleCode, c.fieldName));
        return nullptr;
    }
    const bool secondLevel = c.type == QLatin1String("lookupcomboboxl2");
    auto table = std::make_unique<TjoinTableObject>(!secondLevel);
    table->jo = c.join;
    table->setName(c.fieldName);
    table->Fsql = Sys::lookupSql(text(c.join, "sql"), m_opt.moduleCode);
    Db::LogMsg(table->Fsql);

    props.kind = secondLevel ? Ui::EditorKind::LookupComboL2 : Ui::EditorKind::LookupCombo;
    props.alwaysShowButton = true;
    props.keyField = text(c.join, "keyfieldnames");
    props.listFields = text(c.join, "listfieldnames");
    props.dropDownColumns.clear();
    for (const QJsonValue& v : c.join.value(QLatin1String("fields")).toArray()) {
        const QJsonObject f = v.toObject();
        if (text(f, "fieldname").isEmpty() || text(f, "target").isEmpty()) {
            problem(QStringLiteral("模块 %1 的列 \"%2\" 的查询字段缺少 \"%3\"")
                        .arg(m_opt.moduleCode, c.fieldName,
                             text(f, "fieldname").isEmpty() ? QStringLiteral("fieldname")
                                                            : QStringLiteral("target")));
            continue;
        }
        table->updatefields.append(f);  // hidden entries still take part in the value copy
    }
    props.dropDownColumns = dropDownColumns(table->updatefields);
    props.listSource = table->Fcds.get();
    props.gridMode = true;
    props.autoSize = true;
    props.onEditValueChanged = m_opt.onEditValueChange;
    if (secondLevel)
        props.onInitPopup = m_opt.onInitPopupL2;

    TjoinTableObject* raw = table.get();
    m_opt.joinTableList->emplace(c.fieldName, std::move(table));
    try {
        if (secondLevel) {
            const Db::Params p1 = {{QStringLiteral("p1"), 0}};
            raw->open(&p1);
        } else {
            raw->open();
        }
    } catch (const Db::DbError&) {
        // The data services have shown the query's error; the column stays, its list empty.
    }
    return raw;
}

void ColumnBuilder::build(Ui::GridView* view, const QString& columnsText) {
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(columnsText.toUtf8(), &error);
    if (!doc.isArray()) {
        if (!columnsText.trimmed().isEmpty())
            problem(QStringLiteral("模块 %1 的列定义不是 JSON 数组：%2（位置 %3）")
                        .arg(m_opt.moduleCode, error.errorString())
                        .arg(error.offset));
        view->clearColumns();
        view->applyColumns();
        return;
    }
    build(view, doc.array());
}

void ColumnBuilder::build(Ui::GridView* view, const QJsonArray& columns) {
    view->clearColumns();
    int position = 0;
    for (const QJsonValue& v : columns) {
        const std::optional<ColumnDescriptor> c = parse(v, ++position);
        if (!c)
            continue;
        Ui::GridColumn* column = view->addColumn(view->objectName() + c->fieldName);
        column->fieldName = c->fieldName;
        column->caption = c->label;
        column->width = c->width;
        if (c->visible)
            column->visible = *c->visible;
        if (c->editing)
            column->editing = *c->editing;
        if (c->footerSum)
            column->footerKind = Ui::SummaryKind::Sum;
        if (!m_opt.types.contains(c->type))
            continue;  // a plain text column
        Ui::EditorProps& props = column->props;
        if (c->type.startsWith(QLatin1String("lookupcombobox"))) {
            if (c->hasJoin)
                bindLookup(*c, props);
        } else if (c->type == QLatin1String("combo")) {
            props.kind = Ui::EditorKind::Combo;
            props.alwaysShowButton = true;
            props.items = c->items;
        } else if (c->type == QLatin1String("money")) {
            props.kind = Ui::EditorKind::Money;
            props.decimals = c->decimal.value_or(-1);
            props.displayFormat = c->format.isEmpty() ? m_opt.defaultMoneyFormat : c->format;
            column->footerFormat = props.displayFormat;
        } else if (c->type == QLatin1String("date")) {
            props.kind = Ui::EditorKind::Date;
            props.displayFormat = m_opt.dateFormat;
        } else if (c->type == QLatin1String("check")) {
            props.kind = Ui::EditorKind::Check;
        } else if (c->type == QLatin1String("color")) {
            props.kind = Ui::EditorKind::Color;
        } else if (c->type == QLatin1String("button")) {
            props.kind = Ui::EditorKind::Button;
        }
    }
    view->applyColumns();
}

TjoinTableObject* joinTableOf(JoinTableList& tables, QWidget* editor) {
    auto* lookup = qobject_cast<Ui::LookupComboBox*>(editor);
    if (!lookup)
        return nullptr;
    for (auto& [field, t] : tables)
        if (t->Fcds.get() == lookup->listSource())
            return t.get();
    return nullptr;
}

void reopenSecondLevel(JoinTableList& tables, QWidget* editor, int p1) {
    TjoinTableObject* table = joinTableOf(tables, editor);
    if (!table || table->FautoFix)
        return;
    const Db::Params params = {{QStringLiteral("p1"), p1}};
    table->open(&params);
}

QList<Ui::LookupColumn> dropDownColumns(const QJsonArray& fields) {
    QList<Ui::LookupColumn> columns;
    for (const QJsonValue& v : fields) {
        const QJsonObject f = v.toObject();
        if (descriptorBool(f.value(QLatin1String("visiable")), true))
            columns.append({text(f, "fieldname"), text(f, "caption"),
                            wholeNumber(f.value(QLatin1String("width"))).value_or(80)});
    }
    return columns;
}

void copyLookupValues(JoinTableList& tables, QWidget* editor, Db::RecordSet& target) {
    auto* lookup = qobject_cast<Ui::LookupComboBox*>(editor);
    TjoinTableObject* table = joinTableOf(tables, editor);
    if (!table)
        return;
    if (target.state() == Db::DataSetState::Browse)
        target.edit();
    const bool picked = !lookup->text().isEmpty();
    const QString keyField = text(table->jo, "keyfieldnames");
    if (picked && !table->Fcds->locate(keyField, lookup->keyValue()))
        return;
    for (const QJsonValue& v : table->updatefields) {
        const QJsonObject f = v.toObject();
        Db::Field to = target.field(text(f, "target"));
        if (picked)
            to.setValue(table->Fcds->field(text(f, "fieldname")).value());
        else
            to.setValue(to.type() == Db::FieldType::Integer ? QVariant(0) : QVariant(QString()));
    }
}

void refreshJoinTables(JoinTableList& tables) {
    for (auto& [field, t] : tables)
        if (t->FautoFix)
            t->open();
}

}  // namespace Qd::Core::Base
