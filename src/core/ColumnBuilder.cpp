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

ColumnBuilder::Options ColumnBuilder::billDetailOptions() {
    Options o;
    o.types = {"lookupcombobox", "combo", "money", "date", "button", "color"};
    o.typeAliases = {{QStringLiteral("金额"), QStringLiteral("money")},
                     {QStringLiteral("日期"), QStringLiteral("date")}};
    o.defaultMoneyFormat = QStringLiteral("0.0000");
    o.defaultMoneyDecimals = 4;
    o.requireWidth = true;
    o.readVisible = false;
    o.footerAnyKind = true;
    o.shareLookups = true;
    o.lookupValues = Sys::LookupValues::Plain;
    o.editButtonsAlways = true;
    o.readDateFormat = true;
    return o;
}

ColumnBuilder::Options ColumnBuilder::reportOptions() {
    Options o;
    o.types = {"combo", "money", "date", "color"};
    // Minutes, not months: the descriptors' "hh:MM" is the minutes of their notation.
    o.dateFormat = QStringLiteral("yyyy-MM-dd hh:mm");
    o.readVisible = false;
    o.footerAnyKind = true;
    return o;
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
    const char* missing = c.fieldName.isEmpty()                                       ? "fieldname"
                          : !o.contains(QLatin1String("label"))                       ? "label"
                          : m_opt.requireWidth && !o.contains(QLatin1String("width")) ? "width"
                                                                                      : nullptr;
    if (missing) {
        problem(QStringLiteral("模块 %1 的第 %2 个列定义缺少 \"%3\"")
                    .arg(m_opt.moduleCode)
                    .arg(position)
                    .arg(QLatin1String(missing)));
        return std::nullopt;
    }
    c.width = wholeNumber(o.value(QLatin1String("width"))).value_or(100);
    if (m_opt.readVisible && o.contains(QLatin1String("visiable")))
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
    if (m_opt.footerAnyKind) {
        if (text(o, "footer").compare(QLatin1String("true"), Qt::CaseInsensitive) == 0) {
            const bool sum =
                !o.contains(QLatin1String("kind")) ||
                text(o, "kind").compare(QLatin1String("sum"), Qt::CaseInsensitive) == 0;
            c.footer = sum ? Ui::SummaryKind::Sum : Ui::SummaryKind::None;
        }
    } else if (descriptorBool(o.value(QLatin1String("footer")), false) &&
               text(o, "kind") == QLatin1String("sum")) {
        c.footer = Ui::SummaryKind::Sum;
    }
    return c;
}

TjoinTableObject* ColumnBuilder::bindLookup(const ColumnDescriptor& c, Ui::EditorProps& props) {
    if (!m_opt.joinTableList) {
        problem(
            QStringLiteral("模块 %1 的列 \"%2\" 不能使用查询").arg(m_opt.moduleCode, c.fieldName));
        return nullptr;
    }
    const bool shared = m_opt.joinTableList->count(c.fieldName) != 0;
    if (shared && !m_opt.shareLookups) {
        problem(QStringLiteral("模块 %1 的列 \"%2\" 重复定义了查询")
                    .arg(m_opt.moduleCode, c.fieldName));
        return nullptr;
    }
    const bool secondLevel = c.type == QLatin1String("lookupcomboboxl2");
    std::unique_ptr<TjoinTableObject>& table = (*m_opt.joinTableList)[c.fieldName];
    if (!shared) {
        table = std::make_unique<TjoinTableObject>(!secondLevel);
        table->setName(m_opt.moduleCode + QLatin1Char('.') + c.fieldName);
        table->jo = c.join;
        table->Fsql = Sys::lookupSql(text(c.join, "sql"), m_opt.moduleCode, m_opt.lookupValues);
        Db::LogMsg(table->Fsql);
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
        if (secondLevel) {
            const Db::Params p1 = {{QStringLiteral("p1"), 0}};
            openQuietly(*table, &p1);
        } else {
            openQuietly(*table);
        }
    }

    setLookupProps(props, *table, c.join, table->updatefields);
    props.kind = secondLevel ? Ui::EditorKind::LookupComboL2 : Ui::EditorKind::LookupCombo;
    props.onEditValueChanged = m_opt.onEditValueChange;
    if (secondLevel)
        props.onInitPopup = m_opt.onInitPopupL2;
    // A bill's lookup is opened again once its editor is made; one whose statement failed is
    // not, so that its error is shown once.
    if (m_opt.shareLookups && table->Fcds->active())
        openQuietly(*table);
    return table.get();
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
        if (const std::optional<ColumnDescriptor> c = parse(v, ++position))
            addColumn(view, *c, -1);
    }
    view->applyColumns();
}

int ColumnBuilder::buildBands(Ui::GridView* view, const QJsonArray& bands) {
    view->clearColumns();
    view->clearBands();
    view->setBandHeaderVisible(bands.size() > 1);
    int built = 0;
    int position = 0;
    for (const QJsonValue& b : bands) {
        const QJsonObject band = b.toObject();
        const int index = view->addBand(band.value(QLatin1String("band")).toString());
        for (const QJsonValue& v : band.value(QLatin1String("columns")).toArray()) {
            if (const std::optional<ColumnDescriptor> c = parse(v, ++position)) {
                addColumn(view, *c, index);
                ++built;
            }
        }
    }
    view->applyColumns();
    return built;
}

void ColumnBuilder::addColumn(Ui::GridView* view, const ColumnDescriptor& c, int band) {
    const ColumnOverride* override =
        m_opt.columnOverride ? m_opt.columnOverride(c.fieldName) : nullptr;
    Ui::GridColumn* column = view->addColumn(view->objectName() + c.fieldName);
    column->fieldName = c.fieldName;
    column->caption = override ? override->caption : c.label;
    column->width = c.width;
    column->band = band;
    if (c.visible)
        column->visible = *c.visible;
    if (override)
        column->visible = override->visible;
    if (c.footer) {
        view->setFooterVisible(true);
        column->footerKind = *c.footer;
    }
    if (c.editing)
        column->editing = *c.editing;
    setEditor(column, c, override);
    if (m_opt.editButtonsAlways)
        column->props.alwaysShowButton = column->editing;
}

// The editor steps in order, a later one replacing what an earlier one made: the descriptor's
// type, then the store's field type ("整数", "小数", "文件" last, over any type).
void ColumnBuilder::setEditor(Ui::GridColumn* column, const ColumnDescriptor& c,
                              const ColumnOverride* override) {
    Ui::EditorProps& props = column->props;
    const QString type = m_opt.types.contains(c.type) ? c.type : QString();
    const QString ruleType = override ? override->fieldType : QString();
    auto is = [](const QString& value, const char* name) {
        return value == QString::fromUtf8(name);
    };
    // A button whose click hands the column's descriptor, as JSON text, to `hook`.
    auto button = [&](const std::function<void(QWidget*, const QString&)>& hook) {
        props.kind = Ui::EditorKind::Button;
        if (!hook)
            return;
        const QString descriptor =
            QString::fromUtf8(QJsonDocument(c.raw).toJson(QJsonDocument::Compact));
        props.onButtonClick = [hook, descriptor](QWidget* editor) { hook(editor, descriptor); };
    };
    auto money = [&](int decimals, const QString& format) {
        props.kind = Ui::EditorKind::Money;
        props.decimals = decimals;
        props.displayFormat = format;
        column->footerFormat = format;
    };

    if (type.startsWith(QLatin1String("lookupcombobox")) && c.hasJoin)
        bindLookup(c, props);
    if (is(type, "combo")) {
        props.kind = Ui::EditorKind::Combo;
        props.alwaysShowButton = true;
        props.items = c.items;
    }
    if (is(type, "money") || is(ruleType, "金额")) {
        if (override)
            money(std::max(2, override->decimalCount), override->displayFormat);
        else
            money(c.decimal.value_or(m_opt.defaultMoneyDecimals),
                  c.format.isEmpty() ? m_opt.defaultMoneyFormat : c.format);
    }
    if (is(type, "date") || is(ruleType, "日期")) {
        props.kind = Ui::EditorKind::Date;
        const bool ownFormat = m_opt.readDateFormat && !c.format.isEmpty();
        props.displayFormat = override    ? override->displayFormat
                              : ownFormat ? c.format
                                          : m_opt.dateFormat;
        // A format with hours shows the time of day too.
        if (props.displayFormat.contains(QLatin1Char('h'), Qt::CaseInsensitive))
            props.kind = Ui::EditorKind::DateTime;
    }
    if (is(type, "check"))
        props.kind = Ui::EditorKind::Check;
    if (is(type, "button"))
        button(m_opt.onButtonClick);
    if (is(type, "color"))
        props.kind = Ui::EditorKind::Color;
    if (is(ruleType, "整数"))
        money(0, QString());
    if (is(ruleType, "小数"))
        money(std::max(0, override->decimalCount), override->displayFormat);
    if (is(ruleType, "文件") && m_opt.onFileClick)
        button(m_opt.onFileClick);
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

void setLookupProps(Ui::EditorProps& props, const TjoinTableObject& table,
                    const QJsonObject& definition, const QJsonArray& columns) {
    props.kind = Ui::EditorKind::LookupCombo;
    props.alwaysShowButton = true;
    props.keyField = text(definition, "keyfieldnames");
    props.listFields = text(definition, "listfieldnames");
    props.dropDownColumns = dropDownColumns(columns);
    props.listSource = table.Fcds.get();
    props.gridMode = true;
    props.autoSize = true;
}

void openQuietly(TjoinTableObject& table, const Db::Params* params) {
    try {
        table.open(params);
    } catch (const Db::DbError&) {
        // The data services have shown the statement's error; the lookup stays without rows.
    }
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
