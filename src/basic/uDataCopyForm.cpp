#include "basic/uDataCopyForm.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "base/Dispatch.h"
#include "core/Messages.h"
#include "core/ModuleList.h"
#include "db/DataServices.h"
#include "db/Trace.h"
#include "sys/SystemServices.h"
#include "sys/uPlugItem.h"
#include "ui/editors/Editors.h"
#include "ui/grid/Grid.h"

namespace Qd::Core::Base {

namespace {

QString F(const char* name) {
    return QString::fromLatin1(name);
}

// A lookup of categories by code, showing code and name.
Ui::EditorProps categoryLookup(Db::RecordSet* list) {
    Ui::EditorProps props;
    props.kind = Ui::EditorKind::LookupCombo;
    props.listSource = list;
    props.keyField = F("code");
    props.listFields = F("name");
    props.dropDownColumns = {{F("code"), QStringLiteral("编号"), 80},
                             {F("name"), QStringLiteral("名称"), 120}};
    return props;
}

}  // namespace

Tdatacopyform::Tdatacopyform(QWidget* AOwner, Sys::TPlugItem* _plugItem, const QString& _fromID)
    : TBaseForm(AOwner), fromID(_fromID), PlugItem(_plugItem) {
    setObjectName(QStringLiteral("Tdatacopyform"));
    setWindowTitle(QStringLiteral("批量复制"));
    resize(820, 480);
    if (auto* item = dynamic_cast<Sys::TPlugItemSingleBasic*>(PlugItem))
        m_descriptor = QJsonDocument::fromJson(item->getplugInfo().toUtf8()).object();

    cxgMain = new Ui::Grid(QStringLiteral("cxgMain"), this);
    cxgMainDBTableView1 = cxgMain->addLevel(QStringLiteral("cxgMainDBTableView1"));
    cxgMainDBTableView1->setRecordSet(&cdsMain);
    cxgMainDBTableView1->setAutoWidth(true);

    cxLookupComboBox1 = new Ui::LookupComboBox(categoryLookup(&cdsp1), this);
    Ui::EditorProps second = categoryLookup(&cdsp2);
    second.onInitPopup = [this](QWidget*) {
        if (cdsp1.locate(F("code"), cxLookupComboBox1->keyValue()))
            _initlevelP2(cdsp1.field(F("id")).asInteger());
    };
    cxLookupComboBox2 = new Ui::LookupComboBox(second, this);
    // Another first level: the second level chosen under the old one no longer applies.
    connect(cxLookupComboBox1, &Ui::LookupComboBox::editValueChanged, this, [this] {
        cxLookupComboBox2->clear();
        cdsp2.close();
    });

    actedtLevel = new QAction(QStringLiteral("更新"), this);
    actok = new QAction(QStringLiteral("确定"), this);
    actCancel = new QAction(QStringLiteral("取消"), this);
    actautocode = new QAction(QStringLiteral("更新编号"), this);
    actCancel->setEnabled(false);
    actautocode->setEnabled(false);
    connect(actedtLevel, &QAction::triggered, this,
            [this] { Sys::dispatch([this] { actedtLevelExecute(); }); });
    connect(actok, &QAction::triggered, this,
            [this] { Sys::dispatch([this] { actokExecute(); }); });
    actList << actedtLevel << actok << actCancel << actautocode;

    auto* group = new QGroupBox(QStringLiteral("请设置要复制到指定的分类"), this);
    auto* levels = new QHBoxLayout(group);
    levels->addWidget(new QLabel(QStringLiteral("一级分类："), group));
    levels->addWidget(cxLookupComboBox1, 1);
    levels->addWidget(new QLabel(QStringLiteral("二级分类："), group));
    levels->addWidget(cxLookupComboBox2, 1);
    levels->addWidget(buttonFor(actedtLevel, group));
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(buttonFor(actautocode, this));
    buttons->addStretch();
    buttons->addWidget(buttonFor(actok, this));
    buttons->addWidget(buttonFor(actCancel, this));
    auto* main = new QVBoxLayout(this);
    main->addWidget(group);
    main->addWidget(cxgMain, 1);
    main->addLayout(buttons);

    FormCreate();
    m_loaded = _initlevelP1();
    buildListColumns(cxgMain, cxgMainDBTableView1,
                     dynamic_cast<Sys::TPlugItemSingleBasic*>(PlugItem), moduleCode(),
                     joinTableList, {});  // lookups copy nothing in the copy dialog
    m_loaded = m_loaded && openSourceData();
}

Tdatacopyform::~Tdatacopyform() {
    cxgMainDBTableView1->setRecordSet(nullptr);
}

QString Tdatacopyform::moduleCode() const {
    return PlugItem ? PlugItem->code : QString();
}

QString Tdatacopyform::categorySql(const QString& parentCondition) const {
    return Sys::sqlTemplate(QStringLiteral("select * from qd_b_category where orgid=:orgid and ") +
                            parentCondition +
                            QStringLiteral(" and iclass=:iclass and isdel=0 order by isort"));
}

// The module code and the first level are bound: a code holding ":p1" or a quote stays a code.
bool Tdatacopyform::_initlevelP1() {
    return Db::dataServices().openDataToCDS(cdsp1, categorySql(QStringLiteral("pid =0")),
                                            {{F("iclass"), moduleCode()}});
}

void Tdatacopyform::_initlevelP2(int pid) {
    Db::dataServices().openDataToCDS(cdsp2, categorySql(QStringLiteral("pid =:p1")),
                                     {{F("iclass"), moduleCode()}, {F("p1"), pid}});
}

bool Tdatacopyform::openSourceData() {
    const QString mainsql = m_descriptor.value(F("mainsql")).toString();
    const QString key = m_descriptor.value(F("key")).toString();
    if (!Db::dataServices().openDataToCDS(cdsMain,
                                          Sys::sqlTemplate(mainsql + QStringLiteral(" and 1=2"))))
        return false;
    // The chosen codes are bound, one parameter each, after the session's values are filled in:
    // a code is never statement text.
    QStringList names;
    Db::Params codes;
    for (const QJsonValue& v : QJsonDocument::fromJson(fromID.toUtf8()).array()) {
        names << QStringLiteral(":code%1").arg(codes.size());
        codes.push_back({names.back().mid(1), v.toString()});
    }
    if (!codes.empty()) {
        Db::DataPacket source = Db::dataServices().openData(
            Sys::sqlTemplate(mainsql) + QStringLiteral(" and t1.code in(") + names.join(u',') +
                QStringLiteral(")"),
            codes);
        if (!source.active())
            return false;
        for (source.first(); !source.eof(); source.next()) {
            cdsMain.append();
            for (int f = 0; f < source.fieldCount(); ++f) {
                const QString name = source.fieldDef(f).name;
                if (name.compare(key, Qt::CaseInsensitive) != 0 && cdsMain.hasField(name))
                    cdsMain.field(name).setValue(source.field(f).value());
            }
            cdsMain.post();
        }
    }
    // Codes go on from the highest the table has, deleted rows included.
    Db::DataPacket highest = Db::dataServices().openData(Sys::sqlTemplate(
        QStringLiteral("select code from ") + m_descriptor.value(F("tablename")).toString() +
        QStringLiteral(" where orgid=:orgid order by code desc")));
    if (!highest.active())
        return false;
    const QString top = highest.isEmpty() ? QString() : highest.field(0).asString();
    cxgMainDBTableView1->setUpdatesEnabled(false);
    int n = 0;
    for (cdsMain.first(); !cdsMain.eof(); cdsMain.next()) {
        cdsMain.edit();
        cdsMain.field(F("code")).setValue(Sys::iteratorNextS(top, ++n));
        cdsMain.post();
    }
    cdsMain.first();
    cxgMainDBTableView1->setUpdatesEnabled(true);
    cxgMainDBTableView1->applyColumns();
    return true;
}

void Tdatacopyform::actedtLevelExecute() {
    if (cxLookupComboBox1->keyValue().isNull() ||
        !cdsp1.locate(F("code"), cxLookupComboBox1->keyValue()))
        return;
    const bool second = !cxLookupComboBox2->keyValue().isNull() && cdsp2.active() &&
                        cdsp2.locate(F("code"), cxLookupComboBox2->keyValue());
    auto set = [this](const char* field, const QVariant& value) {
        if (cdsMain.hasField(F(field)))
            cdsMain.field(F(field)).setValue(value);
    };
    for (cdsMain.first(); !cdsMain.eof(); cdsMain.next()) {
        cdsMain.edit();
        set("p1", cdsp1.field(F("id")).value());
        set("p1_code", cdsp1.field(F("code")).value());
        set("p1_name", cdsp1.field(F("name")).value());
        set("p2", second ? cdsp2.field(F("id")).value() : QVariant(0));
        set("p2_code", second ? cdsp2.field(F("code")).value() : QVariant(QString()));
        set("p2_name", second ? cdsp2.field(F("name")).value() : QVariant(QString()));
        cdsMain.post();
    }
    cdsMain.first();
}

bool Tdatacopyform::checkError() {
    const QString table = m_descriptor.value(F("tablename")).toString();
    for (cdsMain.first(); !cdsMain.eof(); cdsMain.next()) {
        const QString code = cdsMain.field(F("code")).asString();
        Db::DataPacket taken = Db::dataServices().openData(
            Sys::sqlTemplate(QStringLiteral("select id from ") + table +
                             QStringLiteral(" where orgid=:orgid and code = :code")),
            {{F("code"), code}});
        if (taken.active() && !taken.isEmpty()) {
            showHint(QStringLiteral("编号") + code + QStringLiteral("重复，请重新输入"));
            return false;
        }
    }
    return true;
}

void Tdatacopyform::actokExecute() {
    cdsMain.checkBrowseMode();
    if (!checkError())
        return;
    QStringList ignored{F("card_id")};
    for (const QJsonValue& v : m_descriptor.value(F("ignoreFields")).toArray()) {
        const QString name = v.toString();
        ignored << (name.compare(F("isdel"), Qt::CaseInsensitive) == 0 ? QString() : name);
    }
    QStringList statements;
    Db::GetUpDataSQLList(m_descriptor.value(F("tablename")).toString(),
                         m_descriptor.value(F("key")).toString(), ignored, cdsMain, statements, 0);
    const QString sql = statements.join(F("\r\n"));
    if (sql.isEmpty())
        return;
    Db::LogMsg(sql);
    if (Db::dataServices().execSQL(sql))
        done(QDialog::Accepted);
}

}  // namespace Qd::Core::Base
