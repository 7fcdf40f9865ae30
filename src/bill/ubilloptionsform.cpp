#include "bill/ubilloptionsform.h"

#include <QAbstractItemDelegate>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QToolButton>
#include <QVBoxLayout>

#include "base/Dispatch.h"
#include "base/EAbort.h"
#include "db/DataServices.h"
#include "db/Json.h"
#include "ui/grid/Grid.h"

namespace Qd::Core::Bill {

namespace {

QString F(const char* text) {
    return QString::fromUtf8(text);
}

const QString kColumnTypes[] = {F("默认"), F("字符"), F("整数"), F("小数"),
                                F("金额"), F("日期"), F("文件")};

const char* const kSwitchCaptions[] = {
    "打开单据后进入添加模式",
    "单据保存后自动审核（项目订单自动完工）",
    "单据打印后自动审核（项目订单自动完工）",
};

// The descriptor's detail columns; null when it names none (`why` then says what it is).
std::optional<QJsonArray> detailColumns(const QString& pluginfo, QString* why) {
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(pluginfo.toUtf8(), &error);
    const QJsonValue columns =
        doc.object().value(F("data")).toObject().value(F("detail")).toObject().value(F("columns"));
    if (error.error != QJsonParseError::NoError)
        *why = F("描述不是 JSON：%1").arg(error.errorString());
    else if (!doc.isObject())
        *why = F("描述不是 JSON 对象");
    else if (!columns.isArray())
        *why = F("没有这一项或不是数组");
    else
        return columns.toArray();
    return std::nullopt;
}

QFont markedFont(QFont f, bool marked) {
    f.setBold(marked);
    return f;
}

}  // namespace

QString Tbilloptionsform::columnTemplateSql() {
    return QStringList{F("select top 0 cast('' as varchar(50)) as fieldname, cast('' as "
                         "varchar(50)) deftitle, cast('' as varchar(50)) custtitle , "),
                       F("cast('' as varchar(50)) fieldtype, cast('' as varchar(50)) "
                         "dispformat,cast(0 as smallint) as decimalcount,"),
                       F("cast(1 as bit) display")}
        .join(F("\r\n"));
}

Tbilloptionsform::Tbilloptionsform(QWidget* AOwner, const QString& _billcode,
                                   const QString& _pluginfo)
    : TBaseForm(AOwner), billcode(_billcode), pluginfo(_pluginfo) {
    setObjectName(F("Tbilloptionsform"));
    setWindowTitle(F("单据设置"));
    resize(720, 460);
    SQLStore.insert(F("columns"), columnTemplateSql());

    CustBillRule = std::make_unique<TCustBillRule>(billcode);

    actok = new QAction(F("确定(&D)"), this);
    actCancel = new QAction(F("取消(&C)"), this);
    actResetColumn = new QAction(F("恢复默认"), this);
    connect(actok, &QAction::triggered, this,
            [this] { Sys::dispatch([this] { actokExecute(); }); });
    connect(actCancel, &QAction::triggered, this, [this] { done(QDialog::Rejected); });
    connect(actResetColumn, &QAction::triggered, this,
            [this] { Sys::dispatch([this] { resetColumnRow(); }); });
    actList << actok << actCancel << actResetColumn;

    pages = new QTabWidget(this);
    buildGeneralPage();
    buildColumnsPage();

    QHBoxLayout* buttons = Base::closingButtons(this, actok, actCancel);
    auto* main = new QVBoxLayout(this);
    main->addWidget(pages, 1);
    main->addLayout(buttons);

    FormCreate();
    if (loaded())
        _init();
}

Tbilloptionsform::~Tbilloptionsform() {
    cxgColumnsView->setRecordSet(nullptr);
}

bool Tbilloptionsform::loaded() const {
    return CustBillRule->loaded();
}

Tbilloptionsform::Marker Tbilloptionsform::addMarker(QLabel* caption, QWidget* editor,
                                                     std::function<void()> reset) {
    Marker m;
    m.caption = caption;
    m.reset = new QToolButton(editor->parentWidget());
    m.reset->setText(F("恢复默认"));
    m.reset->setVisible(false);
    connect(m.reset, &QToolButton::clicked, this, [this, reset] {
        reset();
        markGeneralOverrides();
    });
    m_markers << m;
    return m;
}

void Tbilloptionsform::buildGeneralPage() {
    tabGeneral = new QWidget(pages);
    pages->addTab(tabGeneral, F("常规设置"));
    auto* grid = new QGridLayout(tabGeneral);
    auto hint = [this](const char* text) {
        auto* l = new QLabel(F(text), tabGeneral);
        l->setStyleSheet(F("color: gray"));
        return l;
    };
    auto caption = [this](const char* text) {
        auto* l = new QLabel(F(text), tabGeneral);
        l->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        return l;
    };

    edtCaption = new QLineEdit(tabGeneral);
    edtCaption->setMaxLength(50);
    edtTag = new QLineEdit(tabGeneral);
    edtTag->setMaxLength(5);
    cbbRule = new QComboBox(tabGeneral);
    cbbRule->addItems(billNumberRules());
    lblSample = new QLabel(F("D17030101AA001"), tabGeneral);
    edtSeekcount = new QSpinBox(tabGeneral);
    edtSeekcount->setRange(0, 999);

    struct Row {
        const char* caption;
        QWidget* editor;
        QLabel* hint;
        std::function<void()> reset;
    };
    const Row rows[] = {
        {"单据名称：", edtCaption, nullptr,
         [this] { edtCaption->setText(m_default ? m_default->caption : QString()); }},
        {"单据前缀：", edtTag, hint("单据前缀必填，一般为1个字符。"),
         [this] { edtTag->setText(m_default ? m_default->tag : QString()); }},
        {"单号规则：", cbbRule, nullptr,
         [this] { cbbRule->setCurrentIndex(m_default ? m_default->istyle : -1); }},
        {"单号示例：", lblSample, nullptr, nullptr},
        {"流水号长度：", edtSeekcount, hint("如果单号规则不加年月日，建议长度为8位"),
         [this] { edtSeekcount->setValue(m_default ? m_default->seekcount : 0); }},
    };
    int r = 0;
    for (const Row& row : rows) {
        QLabel* label = caption(row.caption);
        label->setBuddy(row.editor);
        grid->addWidget(label, r, 0);
        grid->addWidget(row.editor, r, 1);
        if (row.hint)
            grid->addWidget(row.hint, r, 2);
        if (row.reset)
            grid->addWidget(addMarker(label, row.editor, row.reset).reset, r, 3);
        ++r;
    }
    for (int pos = 1; pos <= 3; ++pos) {
        auto* box = new QCheckBox(F(kSwitchCaptions[pos - 1]), tabGeneral);
        box->setProperty("tag", pos);
        switches << box;
        grid->addWidget(box, r, 1, 1, 2);
        grid->addWidget(addMarker(nullptr, box, [box] { box->setChecked(false); }).reset, r, 3);
        connect(box, &QCheckBox::toggled, this, &Tbilloptionsform::markGeneralOverrides);
        ++r;
    }
    grid->setColumnStretch(2, 1);
    grid->setRowStretch(r, 1);
    connect(edtCaption, &QLineEdit::textChanged, this, &Tbilloptionsform::markGeneralOverrides);
    connect(edtTag, &QLineEdit::textChanged, this, &Tbilloptionsform::markGeneralOverrides);
    connect(cbbRule, &QComboBox::currentIndexChanged, this,
            &Tbilloptionsform::markGeneralOverrides);
    connect(edtSeekcount, &QSpinBox::valueChanged, this, &Tbilloptionsform::markGeneralOverrides);
}

void Tbilloptionsform::buildColumnsPage() {
    tabColumns = new QWidget(pages);
    pages->addTab(tabColumns, F("列设置"));
    chkAutowidth = new QCheckBox(F("表格列宽是否自适应"), tabColumns);
    lblColumnsHint =
        new QLabel(F("显示名称必填，格式一般为金额或小数类型才许要设置。"), tabColumns);
    lblColumnsHint->setStyleSheet(F("color: red; font-weight: bold"));

    cxgColumns = new Ui::Grid(F("cxgColumns"), tabColumns);
    cxgColumnsView = cxgColumns->addLevel(F("cxgColumnsDBTableView1"));
    struct Col {
        const char* field;
        const char* caption;
        int width;
        Ui::EditorKind kind;
    };
    const Col cols[] = {
        {"deftitle", "字段名", 120, Ui::EditorKind::Text},
        {"custtitle", "显示名称", 140, Ui::EditorKind::Text},
        {"fieldtype", "字段类型", 80, Ui::EditorKind::Combo},
        {"decimalcount", "小数位数", 70, Ui::EditorKind::Integer},
        {"dispformat", "显示格式", 110, Ui::EditorKind::Text},
        {"display", "显示状态", 70, Ui::EditorKind::Check},
    };
    for (const Col& c : cols) {
        const QString field = F(c.field);
        // 字段名 is the descriptor's label: shown, never edited.
        const bool editing = field != QLatin1String("deftitle");
        Ui::GridColumn* column =
            cxgColumnsView->addFieldColumn(field, F(c.caption), c.width, c.kind, editing);
        if (c.kind == Ui::EditorKind::Combo)
            column->props.items = QStringList(std::begin(kColumnTypes), std::end(kColumnTypes));
        if (editing)
            column->props.cellNote = [this, field](int row) { return columnCellNote(row, field); };
    }
    cxgColumnsView->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(cxgColumnsView, &QWidget::customContextMenuRequested, this, [this](const QPoint& p) {
        const QModelIndex at = cxgColumnsView->indexAt(p);
        if (!at.isValid())
            return;
        cdsColumns.moveTo(at.row());
        QMenu menu(this);
        menu.addAction(actResetColumn);
        menu.exec(cxgColumnsView->viewport()->mapToGlobal(p));
    });

    auto* layout = new QVBoxLayout(tabColumns);
    layout->addWidget(chkAutowidth);
    layout->addWidget(lblColumnsHint);
    layout->addWidget(cxgColumns, 1);
}

bool Tbilloptionsform::readModuleDefault() {
    const Db::DataPacket r = Db::dataServices().openData(
        F("select caption, tag, istyle, seekcount from qd_sys_billnorule where billcode=:billcode"),
        {{F("billcode"), billcode}});
    if (!r.active() || r.isEmpty())
        return false;
    const std::uint32_t row = r.rowAt(0);
    m_default = GeneralDefaults{r.textAt(row, 0), r.textAt(row, 1), int(r.intAt(row, 2)),
                                int(r.intAt(row, 3))};
    return true;
}

void Tbilloptionsform::_init() {
    TCustBillRule& rule = *CustBillRule;
    if (billcode == QLatin1String("1101")) {
        pages->setTabVisible(pages->indexOf(tabGeneral), false);
        pages->setCurrentWidget(tabColumns);
    } else {
        pages->setCurrentWidget(tabGeneral);
    }
    readModuleDefault();

    edtCaption->setText(rule.Fcaption);
    edtTag->setText(rule.Ftag);
    if (rule.Fistyle >= 0 && rule.Fistyle < cbbRule->count()) {
        cbbRule->setCurrentIndex(rule.Fistyle);
    } else {
        // A rule this dialog does not offer (another client wrote it) is kept unless one is
        // chosen.
        cbbRule->setPlaceholderText(F("其他（%1）").arg(rule.Fistyle));
        cbbRule->setCurrentIndex(-1);
    }
    edtSeekcount->setValue(rule.Fseekcount);
    for (QCheckBox* box : switches)
        box->setChecked(rule.switchOn(box->property("tag").toInt()));
    chkAutowidth->setChecked(rule.Fautowidth);

    fillColumns();
    markGeneralOverrides();
    if (!rule.gridconfigError().isEmpty())
        Db::MessageMyDlg(F("单据 %1 保存的列设置无法读取（%2），确定后将被替换。")
                             .arg(billcode, rule.gridconfigError()),
                         F("提示"), 2, Ui::MsgButtons::Ok);
}

void Tbilloptionsform::fillColumns() {
    cdsColumns.beforeInsert = nullptr;
    cdsColumns.beforeDelete = nullptr;
    if (!Db::dataServices().openDataToCDS(cdsColumns, SQLStore.value(F("columns"))))
        return;
    QString error;
    const std::optional<QJsonArray> columns = detailColumns(pluginfo, &error);
    m_columnsValid = columns.has_value();
    cdsColumns.disableControls();
    for (const QJsonValue& v : columns.value_or(QJsonArray())) {
        const Db::JObject c(v.toObject());
        const QString name = c.S(F("fieldname"));
        m_columnDefaults.insert(name, {c.S(F("label")), c.S(F("format"))});
        cdsColumns.append();
        cdsColumns.field(F("fieldname")).setValue(name);
        cdsColumns.field(F("deftitle")).setValue(c.S(F("label")));
        cdsColumns.field(F("custtitle")).setValue(c.S(F("label")));
        cdsColumns.field(F("fieldtype")).setValue(kColumnTypes[0]);
        cdsColumns.field(F("dispformat")).setValue(c.S(F("format")));
        cdsColumns.field(F("display")).setValue(true);
        if (const TcustBIllRuleGridConfig* s = CustBillRule->gridConfig(name)) {
            cdsColumns.field(F("custtitle")).setValue(s->Fcusttitle);
            cdsColumns.field(F("fieldtype")).setValue(s->Ffieldtype);
            cdsColumns.field(F("dispformat")).setValue(s->Fdispformat);
            cdsColumns.field(F("decimalcount")).setValue(s->Fdecimalcount);
            cdsColumns.field(F("display")).setValue(s->Fdisplay);
        }
        cdsColumns.post();
    }
    cdsColumns.mergeChangeLog();
    cdsColumns.first();
    cdsColumns.enableControls();
    // The rows are the descriptor's columns: none is added or removed here.
    cdsColumns.beforeInsert = [](Db::RecordSet&) { Sys::Abort(); };
    cdsColumns.beforeDelete = [](Db::RecordSet&) { Sys::Abort(); };
    cxgColumnsView->setRecordSet(&cdsColumns);
    cxgColumnsView->applyColumns();
    if (!m_columnsValid)
        Db::MessageMyDlg(F("单据 %1 的描述中没有可用的明细列 \"data/detail/columns\"（%2），"
                           "列设置为空，保存时保留原有的列设置。")
                             .arg(billcode, error),
                         F("提示"), 1, Ui::MsgButtons::Ok);
}

bool Tbilloptionsform::columnCellOverridden(int pos, const QString& field) const {
    if (pos < 0 || pos >= cdsColumns.recordCount())
        return false;
    const std::uint32_t row = cdsColumns.rowAt(pos);
    auto text = [&](const char* name) {
        return cdsColumns.textAt(row, cdsColumns.fieldIndex(F(name)));
    };
    const ColumnDefault def = m_columnDefaults.value(text("fieldname"));
    if (field == QLatin1String("custtitle"))
        return text("custtitle") != def.label;
    if (field == QLatin1String("fieldtype"))
        return text("fieldtype") != kColumnTypes[0];
    if (field == QLatin1String("dispformat"))
        return text("dispformat") != def.format;
    if (field == QLatin1String("decimalcount"))
        return cdsColumns.intAt(row, cdsColumns.fieldIndex(field)) != 0;
    if (field == QLatin1String("display")) {
        const int f = cdsColumns.fieldIndex(field);
        return !cdsColumns.isNullAt(row, f) && !cdsColumns.valueAt(row, f).toBool();
    }
    return false;
}

QString Tbilloptionsform::columnCellNote(int pos, const QString& field) const {
    if (!columnCellOverridden(pos, field))
        return QString();
    const ColumnDefault def = m_columnDefaults.value(
        cdsColumns.textAt(cdsColumns.rowAt(pos), cdsColumns.fieldIndex(F("fieldname"))));
    QString value;
    if (field == QLatin1String("custtitle"))
        value = def.label;
    else if (field == QLatin1String("fieldtype"))
        value = kColumnTypes[0];
    else if (field == QLatin1String("dispformat"))
        value = def.format.isEmpty() ? F("（无）") : def.format;
    else if (field == QLatin1String("decimalcount"))
        value = F("0");
    else
        value = F("显示");
    return F("默认：%1").arg(value);
}

void Tbilloptionsform::resetColumnRow() {
    if (cdsColumns.isEmpty())
        return;
    const ColumnDefault def = m_columnDefaults.value(cdsColumns.field(F("fieldname")).asString());
    cdsColumns.edit();
    cdsColumns.field(F("custtitle")).setValue(def.label);
    cdsColumns.field(F("fieldtype")).setValue(kColumnTypes[0]);
    cdsColumns.field(F("dispformat")).setValue(def.format);
    cdsColumns.field(F("decimalcount")).setValue(0);
    cdsColumns.field(F("display")).setValue(true);
    cdsColumns.post();
}

void Tbilloptionsform::showMarker(const Marker& m, bool overridden, const QString& defaultText) {
    const QString tip = overridden ? F("默认：%1").arg(defaultText) : QString();
    if (m.caption) {
        m.caption->setFont(markedFont(m.caption->font(), overridden));
        m.caption->setStyleSheet(overridden ? F("color: #1f5fbf") : QString());
        m.caption->setToolTip(tip);
    }
    m.reset->setToolTip(tip);
    m.reset->setVisible(overridden);
}

void Tbilloptionsform::markGeneralOverrides() {
    if (m_markers.size() < 7)
        return;
    const bool has = m_default.has_value();
    const GeneralDefaults d = m_default.value_or(GeneralDefaults());
    const QStringList rules = billNumberRules();
    showMarker(m_markers[0], has && edtCaption->text() != d.caption, d.caption);
    showMarker(m_markers[1], has && edtTag->text() != d.tag, d.tag);
    showMarker(m_markers[2], has && cbbRule->currentIndex() != d.istyle,
               rules.value(d.istyle, QString::number(d.istyle)));
    showMarker(m_markers[3], has && edtSeekcount->value() != d.seekcount,
               QString::number(d.seekcount));
    for (int i = 0; i < switches.size(); ++i) {
        const bool on = switches[i]->isChecked();
        switches[i]->setFont(markedFont(switches[i]->font(), on));
        switches[i]->setToolTip(on ? F("默认：关") : QString());
        showMarker(m_markers[4 + i], on, F("关"));
    }
}

void Tbilloptionsform::commitOpenEditor() {
    if (!cxgColumnsView->isEditing())
        return;
    // Cell editors sit on the view's viewport; the view ignores widgets that are none.
    const QList<QWidget*> editors =
        cxgColumnsView->viewport()->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
    for (QWidget* editor : editors) {
        Q_EMIT cxgColumnsView->itemDelegate()->commitData(editor);
        Q_EMIT cxgColumnsView->itemDelegate()->closeEditor(editor);
    }
}

void Tbilloptionsform::actokExecute() {
    TCustBillRule& rule = *CustBillRule;
    rule.Fcaption = edtCaption->text();
    rule.Ftag = edtTag->text();
    if (cbbRule->currentIndex() >= 0)
        rule.Fistyle = cbbRule->currentIndex();
    rule.Fseekcount = edtSeekcount->value();
    commitOpenEditor();
    cdsColumns.checkBrowseMode();
    // A descriptor that names no columns leaves the stored settings as they are.
    if (m_columnsValid)
        rule.Fgridconfig = Db::TJsonDB::ClientDataSetToJSON(cdsColumns, false);
    rule.Fautowidth = chkAutowidth->isChecked();
    QString flag(TCustBillRule::kFlagLength, QLatin1Char('0'));
    for (QCheckBox* box : switches)
        if (box->isChecked())
            flag[box->property("tag").toInt() - 1] = QLatin1Char('1');
    rule.Fflag = flag;
    if (!rule.save())
        return;
    Db::MessageMyDlg(F("保存成功"), F("提示"), 2, Ui::MsgButtons::Ok);
    done(QDialog::Accepted);
}

}  // namespace Qd::Core::Bill
