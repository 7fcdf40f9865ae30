#include "report/FilterColumns.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "core/ColumnBuilder.h"
#include "db/DataServices.h"
#include "db/Trace.h"
#include "sys/uPlugItem.h"
#include "ui/grid/Grid.h"

namespace Qd::Core::Report {

namespace {

QString F(const char* text) {
    return QString::fromLatin1(text);
}

// A lookup column rewritten to show the text its lookup copies, or hidden when it copies none.
QJsonObject lookupAsText(QJsonObject column) {
    const QJsonObject join = column.value(F("join")).toObject();
    const QString listField = join.value(F("listfieldnames")).toString();
    QString target;
    for (const QJsonValue& v : join.value(F("fields")).toArray()) {
        const QJsonObject f = v.toObject();
        if (!listField.isEmpty() && f.value(F("fieldname")).toString() == listField)
            target = f.value(F("target")).toString();
    }
    column.remove(F("type"));
    column.remove(F("join"));
    if (target.isEmpty())
        column.insert(F("visiable"), F("false"));
    else
        column.insert(F("fieldname"), target);
    return column;
}

}  // namespace

QString filterLayoutKey(const QString& componentName, const Sys::TPlugItem* item) {
    return item ? componentName + QLatin1Char('.') + item->code : componentName;
}

void buildFilterColumns(Ui::GridView* view, Sys::TPlugItem* item) {
    const auto* basic = dynamic_cast<const Sys::TPlugItemSingleBasic*>(item);
    const QString module = item ? item->code : QString();
    QJsonArray columns;
    const QJsonDocument doc =
        QJsonDocument::fromJson(basic ? basic->GetColumnsJson().toUtf8() : QByteArray());
    for (const QJsonValue& v : doc.array()) {
        const QString type = v.toObject().value(F("type")).toString();
        columns.append(type.startsWith(F("lookupcombobox")) ? lookupAsText(v.toObject()) : v);
    }

    Base::ColumnBuilder::Options options;
    options.moduleCode = module;
    options.types = {F("combo"), F("money"), F("date")};
    Base::ColumnBuilder builder(options);
    if (doc.isArray())
        builder.build(view, columns);
    else
        builder.build(view, basic ? basic->GetColumnsJson() : QString());
    QStringList problems = builder.problems();

    // The builder names columns by field; this member names them by label.
    QStringList labels;
    for (Ui::GridColumn* column : view->columns()) {
        if (labels.contains(column->caption)) {
            const QString problem =
                QStringLiteral("模块 %1 的列标题 \"%2\" 重复").arg(module, column->caption);
            Db::LogError(problem);
            problems << problem;
            continue;
        }
        labels << column->caption;
        column->setObjectName(view->objectName() + column->caption);
    }
    view->applyColumns();
    if (!problems.isEmpty())
        Db::MessageMyDlg(problems.join(QLatin1Char('\n')), QStringLiteral("提示"),
                         int(Ui::MsgKind::Error), Ui::MsgButtons::Ok);
}

}  // namespace Qd::Core::Report
