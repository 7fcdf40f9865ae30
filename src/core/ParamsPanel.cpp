#include "core/ParamsPanel.h"

#include <QApplication>
#include <QButtonGroup>
#include <QDateTimeEdit>
#include <QGridLayout>
#include <QJsonDocument>
#include <QRadioButton>

#include "base/Prompter.h"
#include "core/GridHelpers.h"
#include "core/Messages.h"
#include "db/Trace.h"
#include "sys/SystemServices.h"
#include "sys/uAuth.h"
#include "sys/uPlugItem.h"
#include "ui/editors/Editors.h"

namespace Qd::Core::Base {

namespace {

QString text(const QJsonObject& o, const char* key) {
    return o.value(QLatin1String(key)).toString();
}

// A JSON value as the text a row holds: null stays null, numbers and Booleans as written.
QVariant jsonText(const QJsonValue& v) {
    if (v.isNull() || v.isUndefined())
        return {};
    if (v.isString())
        return v.toString();
    if (v.isBool())
        return v.toBool() ? QStringLiteral("true") : QStringLiteral("false");
    if (v.isDouble())
        return QString::number(v.toDouble(), 'g', 17);
    return QString::fromUtf8(v.isArray()
                                 ? QJsonDocument(v.toArray()).toJson(QJsonDocument::Compact)
                                 : QJsonDocument(v.toObject()).toJson(QJsonDocument::Compact));
}

QString dateFormat() {
    return Sys::VaGlobalmtSettings().dateFormat;
}

// The editor of a parameter by its "type"; anything unknown is a text edit.
Ui::EditorKind editorKind(const QString& type) {
    if (type == QLatin1String("date"))
        return Ui::EditorKind::Date;
    if (type == QLatin1String("combo"))
        return Ui::EditorKind::Combo;
    if (type == QLatin1String("lookupcombobox"))
        return Ui::EditorKind::LookupCombo;
    if (type == QLatin1String("button"))
        return Ui::EditorKind::Button;
    return Ui::EditorKind::Text;
}

// "required" counts when its text is exactly "true"; JSON true qualifies.
bool isRequired(const QJsonObject& p) {
    const QJsonValue v = p.value(QLatin1String("required"));
    return v.isBool() ? v.toBool() : v.toString() == QLatin1String("true");
}

bool isLookup(const QJsonObject& p) {
    return text(p, "type") == QLatin1String("lookupcombobox");
}

// The stores the user may access, and their employees: the lists of the store and clerk
// parameters of every report, whatever their descriptor says.
const char* kStoreLookupSql =
    "select id, code, name from qd_b_ckbmk where orgid=:orgid and isDel =0 and id in(select "
    "ck_id from dbo.qd_auth_ck_access where uid=:userid) order by isort desc, code";
const char* kClerkLookupSql =
    "select id, code, name from qd_b_ygbmk where orgid=:orgid and isdel = 0 and ck_id in(select "
    "ck_id from dbo.qd_auth_ck_access where uid=:userid) order by isort desc, code";

std::function<QDate()>& todaySource() {
    static std::function<QDate()> source;
    return source;
}

}  // namespace

// ---- the panel -------------------------------------------------------------------------------

ParamsPanel::ParamsPanel(Ui::PropertyGrid* grid, JoinTableList* joinTables, Options options)
    : m_grid(grid), m_joinTables(joinTables), m_opt(std::move(options)) {
    m_grid->setCaptionLayout(92, Qt::AlignRight | Qt::AlignVCenter);
    m_grid->setRowHeight(25);
}

void ParamsPanel::problem(int position, const QString& what) {
    const QString text = QStringLiteral("%1（%2）的第 %3 个查询参数%4")
                             .arg(m_opt.title, m_opt.moduleCode)
                             .arg(position)
                             .arg(what);
    m_problems << text;
    Db::LogError(text);
}

void ParamsPanel::reportProblems() {
    if (m_problems.isEmpty())
        return;
    Db::MessageMyDlg(m_problems.join(QLatin1Char('\n')), QString::fromUtf8(kHintTitle),
                     int(Ui::MsgKind::Error), Ui::MsgButtons::Ok);
    m_problems.clear();
}

void ParamsPanel::build(const QJsonArray& params) {
    m_grid->clear();
    m_rows.clear();
    m_problems.clear();
    int position = 0;
    for (const QJsonValue& v : params) {
        ++position;
        if (!v.isObject()) {
            problem(position, QStringLiteral("不是 JSON 对象"));
            continue;
        }
        const QJsonObject p = v.toObject();
        Ui::EditorProps props;
        const bool wellFormed = describeEditor(p, position, props);
        const QString name = text(p, "name");
        if (name.isEmpty())
            continue;  // no row can be addressed without its name
        m_grid->addRow(name, text(p, "title") + QStringLiteral("： "), props);
        m_rows.push_back({p, name});
        setValue(name, getDefValue(text(p, "deftype"), text(p, "defvalue"), panelToday()));
        if (m_opt.reportSpecials && wellFormed && isLookup(p))
            applyScopeLock(name);
    }
}

bool ParamsPanel::describeEditor(const QJsonObject& p, int position, Ui::EditorProps& props) {
    QStringList missing;
    for (const char* key : {"name", "title", "type"})
        if (!p.value(QLatin1String(key)).isString() || text(p, key).isEmpty())
            missing << QStringLiteral("“%1”").arg(QLatin1String(key));
    if (!missing.isEmpty())
        problem(position, QStringLiteral("缺少") + missing.join(QStringLiteral("、")));
    const QString name = text(p, "name");
    props.kind = editorKind(text(p, "type"));
    switch (props.kind) {
        case Ui::EditorKind::Combo:
            for (const QJsonValue& item : p.value(QLatin1String("items")).toArray())
                props.items << item.toString();
            break;
        case Ui::EditorKind::Button:
            props.onButtonClick = [this, name](QWidget* editor) {
                pick(name, m_opt.pickerOwner ? m_opt.pickerOwner : editor->window());
            };
            break;
        case Ui::EditorKind::LookupCombo:
            if (!p.value(QLatin1String("join")).isObject()) {
                if (missing.isEmpty())  // each element is named once
                    problem(position, QStringLiteral("类型为 lookupcombobox，却没有“join”"));
                props.kind = Ui::EditorKind::Text;
                return false;
            }
            if (!name.isEmpty())
                bindLookup(name, p.value(QLatin1String("join")).toObject(), props);
            break;
        default:
            break;
    }
    return missing.isEmpty();
}

void ParamsPanel::bindLookup(const QString& name, QJsonObject join, Ui::EditorProps& props) {
    if (m_opt.reportSpecials && name == QLatin1String("ck_code"))
        join.insert(QLatin1String("sql"), QString::fromUtf8(kStoreLookupSql));
    else if (m_opt.reportSpecials && name == QLatin1String("kdr_code"))
        join.insert(QLatin1String("sql"), QString::fromUtf8(kClerkLookupSql));
    const QJsonArray fields = join.value(QLatin1String("fields")).toArray();
    std::unique_ptr<TjoinTableObject>& table = (*m_joinTables)[name];
    if (!table) {
        table = std::make_unique<TjoinTableObject>(true);
        table->setName(m_opt.moduleCode + QLatin1Char('.') + name);
        table->Fsql = Sys::sqlTemplate(text(join, "sql"));
        table->jo = join;
        table->updatefields = fields;
    }
    setLookupProps(props, *table, join, fields);
    openQuietly(*table);
}

void ParamsPanel::applyScopeLock(const QString& name) {
    const Sys::TAuth* auth = Sys::sysAuth();
    if (!auth)
        return;
    // The lock matches the list rows by their key, which is the store's (or employee's) code:
    // report descriptors give these lookups "code" as their key field.
    if (name == QLatin1String("ck_code") && auth->dataScope < 2) {
        setValue(name, auth->storeCode);
        m_grid->setReadOnly(name, true);
    } else if (name == QLatin1String("kdr_code") && auth->dataScope < 1) {
        setValue(name, auth->userCode);
        m_grid->setReadOnly(name, true);
    }
}

const ParamRow* ParamsPanel::row(const QString& name) const {
    for (const ParamRow& r : m_rows)
        if (r.name == name)
            return &r;
    return nullptr;
}

const ParamRow* ParamsPanel::btRow() const {
    return m_opt.reportSpecials ? row(QStringLiteral("bt")) : nullptr;
}

const ParamRow* ParamsPanel::etRow() const {
    return m_opt.reportSpecials ? row(QStringLiteral("et")) : nullptr;
}

QVariant ParamsPanel::value(const QString& name) const {
    if (!row(name))
        return {};
    const QVariant v = m_grid->value(name);
    if (v.typeId() == QMetaType::QDate || v.typeId() == QMetaType::QDateTime)
        return v.toDate().toString(dateFormat());
    const QString t = v.isNull() ? QString() : v.toString();
    return t.isEmpty() ? QVariant() : QVariant(t);
}

void ParamsPanel::setValue(const QString& name, const QVariant& v) {
    if (!row(name))
        return;
    // A date row reads its text in the client's short date format.
    QVariant shown = v;
    if (qobject_cast<QDateTimeEdit*>(m_grid->editor(name)) && v.typeId() == QMetaType::QString)
        if (const QDate d = QDate::fromString(v.toString().trimmed(), dateFormat()); d.isValid())
            shown = d;
    m_grid->setValue(name, shown);
}

void ParamsPanel::applyDateRange(int index, const QDate& today) {
    const DateRange range = dateRangePreset(index, today);
    if (!range.bt.isValid() || !hasDateRange())
        return;
    setValue(btRow()->name, range.bt.toString(dateFormat()));
    setValue(etRow()->name, range.et.toString(dateFormat()));
}

void ParamsPanel::applyIncoming(const QString& json) {
    if (json.trimmed().isEmpty())
        return;
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(json.toUtf8(), &error);
    if (error.error != QJsonParseError::NoError || !doc.isArray()) {
        Db::LogError(QStringLiteral("%1（%2）收到的参数值不是 JSON 数组，未采用：%3")
                         .arg(m_opt.title, m_opt.moduleCode, json));
        return;
    }
    for (const QJsonValue& v : doc.array()) {
        const QJsonObject o = v.toObject();
        setValue(text(o, "name"), jsonText(o.value(QLatin1String("value"))));
    }
}

void ParamsPanel::commitEditorInHand() {
    if (m_rows.empty())
        return;
    QWidget* first = m_grid->editor(m_rows.front().name);
    first->setFocus();
    QWidget* focus = QApplication::focusWidget();
    if (focus && m_grid->isAncestorOf(focus) && focus != first && !first->isAncestorOf(focus))
        focus->clearFocus();
}

std::optional<Db::Params> ParamsPanel::sqlParams() {
    commitEditorInHand();
    Db::Params params;
    for (const ParamRow& r : m_rows) {
        const QVariant v = value(r.name);
        if (v.isNull() && isRequired(r.descriptor)) {
            Db::MessageMyDlg(QStringLiteral("请输入") + text(r.descriptor, "title"),
                             QStringLiteral(" 提示"), int(Ui::MsgKind::Information),
                             Ui::MsgButtons::Ok);
            return std::nullopt;
        }
        params.push_back({r.name, v});
    }
    return params;
}

void ParamsPanel::pick(const QString& name, QWidget* owner) {
    const ParamRow* r = row(name);
    if (!r)
        return;
    Sys::TPlugItem* item = Sys::plugsPool().plugbyName(text(r->descriptor, "event"), false);
    if (!item)
        return;
    const QString chosen = item->select(owner, QString(), QStringLiteral("{\"model\":\"single\"}"));
    if (chosen.isEmpty())
        return;
    const QJsonArray rows = QJsonDocument::fromJson(chosen.toUtf8()).array();
    if (!rows.isEmpty())
        setValue(name, jsonText(rows.first().toObject().value(QLatin1String("code"))));
}

// ---- date ranges -----------------------------------------------------------------------------

DateRange dateRangePreset(int index, const QDate& today) {
    const auto monday = [](const QDate& d) { return d.addDays(1 - d.dayOfWeek()); };
    // QDate::addMonths takes the month's last day when the day does not exist in it.
    const QDate monthBack = today.addMonths(-1);
    switch (index) {
        case 0:
            return {today, today};
        case 1:
            return {today.addDays(-7), today};
        case 2:
            return {monday(today), today};
        case 3:
            return {QDate(today.year(), today.month(), 1), today};
        case 4:
            return {today.addDays(-1), today.addDays(-1)};
        case 5:
            return {monthBack, today};
        case 6: {
            const QDate start = monday(today.addDays(-7));
            return {start, start.addDays(6)};
        }
        case 7: {
            const QDate start(monthBack.year(), monthBack.month(), 1);
            return {start, start.addDays(monthBack.daysInMonth() - 1)};
        }
        default:
            return {};
    }
}

QDate panelToday() {
    return todaySource() ? todaySource()() : QDate::currentDate();
}

void setPanelToday(std::function<QDate()> today) {
    todaySource() = std::move(today);
}

DateRangeGroup::DateRangeGroup(QWidget* parent)
    : QGroupBox(QStringLiteral("选择时间范围"), parent), m_items(new QButtonGroup(this)) {
    setObjectName(QStringLiteral("rgDateRange"));
    static const char* const kCaptions[] = {"今天", "一星期内", "本周", "本月",
                                            "昨天", "一个月内", "上周", "上月"};
    constexpr int kRows = 4;  // two columns, filled one after the other
    auto* layout = new QGridLayout(this);
    layout->setContentsMargins(8, 4, 8, 6);
    layout->setVerticalSpacing(2);
    for (int i = 0; i < 8; ++i) {
        auto* item = new QRadioButton(QString::fromUtf8(kCaptions[i]), this);
        m_items->addButton(item, i);
        layout->addWidget(item, i % kRows, i / kRows);
    }
    setItemIndex(kInitialIndex);
    // Clicks, not toggles: choosing the chosen item again is told too.
    connect(m_items, &QButtonGroup::idClicked, this, &DateRangeGroup::itemClicked);
}

int DateRangeGroup::itemIndex() const {
    return m_items->checkedId();
}

void DateRangeGroup::setItemIndex(int index) {
    if (QAbstractButton* b = m_items->button(index))
        b->setChecked(true);
}

QAbstractButton* DateRangeGroup::item(int index) const {
    return m_items->button(index);
}

}  // namespace Qd::Core::Base
