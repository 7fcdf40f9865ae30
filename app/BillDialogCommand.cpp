#include "BillDialogCommand.h"

#include <QApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTimer>
#include <QWidget>
#include <optional>

#include "ClientOptions.h"
#include "ClientStart.h"
#include "bill/BillDialogs.h"
#include "core/RightsGate.h"
#include "db/DataServices.h"
#include "sys/SystemServices.h"
#include "sys/uAuth.h"
#include "sys/uPlugItem.h"

namespace Qd::App {

namespace {

QString F(const char* text) {
    return QString::fromUtf8(text);
}

int fail(const QString& message) {
    printLine(stderr, message);
    return 1;
}

// The right a dialog's action needs; empty when it needs none.
QString rightSuffixOf(const QString& dialog) {
    if (dialog == F("单据设置"))
        return F("_20");
    if (dialog == F("附件"))
        return F("_10");
    return {};
}

// Saves the modal dialog the program shows next, once it is laid out, then closes it.
void screenshotNextDialog(const QString& file, bool* saved) {
    QTimer::singleShot(300, qApp, [file, saved] {
        QWidget* dialog = QApplication::activeModalWidget();
        if (!dialog)
            return;
        *saved = savePicture(*dialog, file);
        dialog->close();
    });
}

// The number of the bill whose master row in `table` has `id`; none when there is none.
std::optional<QString> billnoOf(const QString& table, qint64 id) {
    const Core::Db::DataPacket bill = Core::Db::dataServices().openData(
        F("select billno from %1 where id=:id and orgid=:orgid").arg(table),
        {{F("id"), id}, {F("orgid"), Core::Sys::sysAuth()->orgId}});
    if (!bill.active() || bill.isEmpty())
        return std::nullopt;
    return bill.textAt(bill.rowAt(0), 0);
}

}  // namespace

int runBillDialog(Core::Sys::SystemServices& sys, const ClientOptions& options) {
    auto* item = dynamic_cast<Core::Sys::TPlugItemSingleBasic*>(
        sys.plugs().plugbyName(options.module, true));
    if (!item)
        return fail(F("没有名为 %1 的模块").arg(options.module));
    const QString descriptor = item->getplugInfo();
    const QString table = QJsonDocument::fromJson(descriptor.toUtf8())
                              .object()
                              .value(F("data"))
                              .toObject()
                              .value(F("master"))
                              .toObject()
                              .value(F("tablename"))
                              .toString();
    static const QRegularExpression plainName(F("^(dbo\\.)?[A-Za-z_][A-Za-z0-9_]*$"));
    if (!plainName.match(table).hasMatch())
        return fail(
            F("模块 %1 的描述中没有可用的主表名（\"data/master/tablename\"）").arg(item->title));
    bool numeric = false;
    const qint64 id = options.bill.toLongLong(&numeric);
    const std::optional<QString> found = numeric ? billnoOf(table, id) : std::nullopt;
    if (!found)
        return fail(F("模块 %1 中没有 id 为 %2 的单据").arg(item->title, options.bill));
    const QString& billno = *found;

    const QString suffix = rightSuffixOf(options.dialog);
    if (!suffix.isEmpty() && !Core::Base::rightProbe(item->code, suffix))
        return fail(F(Core::Base::kRefusalText));

    bool saved = false;
    if (!options.screenshot.isEmpty())
        screenshotNextDialog(options.screenshot, &saved);
    if (options.dialog == F("单据设置"))
        Core::Bill::showBillOptions(nullptr, item->code, descriptor);
    else if (options.dialog == F("附件"))
        Core::Bill::showAttachments(nullptr, item->code, billno);
    else if (options.dialog == F("反馈"))
        Core::Bill::showTickets(nullptr, item->title, id);
    else if (options.dialog == F("审核日志"))
        Core::Bill::showAuditLog(nullptr, item->code, billno);
    else
        Core::Bill::showPrintLog(nullptr, item->code, billno);
    return options.screenshot.isEmpty() || saved ? 0 : 1;
}

}  // namespace Qd::App
