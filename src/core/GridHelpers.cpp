#include "core/GridHelpers.h"

#include <QDate>
#include <QGuiApplication>
#include <QRegularExpression>
#include <QScreen>

#include "base/ProgramHome.h"
#include "base/Prompter.h"
#include "base/SafeName.h"
#include "base/TextFormat.h"
#include "core/Messages.h"
#include "core/RightsGate.h"
#include "db/DataServices.h"
#include "sys/SystemServices.h"
#include "ui/export/XlsxExport.h"

namespace Qd::Core::Base {

QString getDefValue(const QString& deftype, const QString& defvalue) {
    return getDefValue(deftype, defvalue, QDate::currentDate());
}

QString getDefValue(const QString& deftype, const QString& defvalue, const QDate& today) {
    // The pattern fixes the separators to "-", whatever the client's date format says.
    const QString dateFormat = QStringLiteral("yyyy-MM-dd");
    if (deftype == QLatin1String("str"))
        return defvalue;
    if (deftype == QLatin1String("var")) {
        const Sys::TAuth* auth = Sys::sysAuth();
        return defvalue == QLatin1String("usercode") && auth ? auth->userCode : QString();
    }
    if (deftype == QLatin1String("fun")) {
        if (defvalue == QLatin1String("bt"))
            return today.addMonths(-1).toString(dateFormat);  // 31 March -> end of February
        if (defvalue == QLatin1String("et"))
            return today.toString(dateFormat);
    }
    return QString();
}

void copyRecord(Db::RecordSet& cds) {
    // Only the field named exactly "id" stays behind: a key named "ID" is copied too.
    auto copy = [](Db::RecordSet& from, Db::RecordSet& to) {
        for (int f = 0; f < from.fieldCount(); ++f)
            if (from.fieldDef(f).name != QLatin1String("id"))
                to.field(from.fieldDef(f).name).setValue(from.field(f).value());
    };
    Db::RecordSet scratch;
    scratch.cloneStructure(cds);
    for (int f = 0; f < scratch.fieldCount(); ++f)
        scratch.fieldDef(f).required = false;
    scratch.createDataSet();
    scratch.setLogChanges(false);
    scratch.append();
    copy(cds, scratch);
    scratch.post();
    cds.append();
    copy(scratch, cds);
}

void showReportForm(QWidget* owner, const QString& title, const QString& params) {
    Db::RecordSet scratch;
    const QString sql =
        QStringLiteral("select code, title from dbo.qd_sys_rptmain where title = '") +
        Db::quoteSql(title) + QLatin1Char('\'');
    if (!Db::dataServices().openDataToCDS(scratch, sql))
        return;
    if (scratch.isEmpty()) {
        Db::MessageMyDlg(QStringLiteral("该功能正在开发，尽请期待"), QStringLiteral("提示"),
                         int(Ui::MsgKind::Information), Ui::MsgButtons::Ok);
        return;
    }
    reportRightsGate(scratch.field(QStringLiteral("code")).asString());
    Sys::TPlugItem* item = Sys::plugsPool().plugbyName(title, true);
    if (!item)
        item = Sys::plugsPool().plugbyName(QStringLiteral("报表查询"), false);
    if (!item)
        return;
    QString result;
    item->open(owner, title, params, result, -1);
}

QString Format(const QString& format, const QVariantList& args) {
    static const QRegularExpression placeholder(QStringLiteral("%(?:(\\d+):)?([sdf])|%%"));
    int next = 0;
    return Sys::substitute(format, placeholder, [&](const QRegularExpressionMatch& m) {
        if (m.captured(0) == QLatin1String("%%"))
            return QStringLiteral("%");
        const int index = m.captured(1).isEmpty() ? next++ : m.captured(1).toInt();
        const QVariant value = index < args.size() ? args[index] : QVariant();
        switch (m.captured(2).at(0).unicode()) {
            case 'd':
                return QString::number(value.toLongLong());
            case 'f':
                return QString::number(value.toDouble(), 'f', 2);
            default:
                return Db::quoteSql(value.toString());
        }
    });
}

void exportViewToXlsx(const Ui::GridView& view, const QString& title) {
    // A date format with "/" must not turn the proposed name into a path.
    const QString proposed =
        Sys::safeFileName(title + QLatin1Char('_') +
                          QDate::currentDate().toString(Sys::VaGlobalmtSettings().dateFormat) +
                          QStringLiteral(".xlsx"));
    const QString file =
        Ui::prompter().saveFileName(QStringLiteral("导出"), proposed,
                                    QStringLiteral("导出excel (*.xlsx)"), QStringLiteral("xlsx"));
    if (file.isEmpty())
        return;
    QString error;
    if (!Ui::exportToXlsx(view, file, &error))
        return showError(QStringLiteral("导出失败：%1").arg(error));
    showHint(QStringLiteral("导出成功"));
}

QString GetIniFilePath() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    const int dpi = screen ? qRound(screen->logicalDotsPerInchX()) : 96;
    return Sys::programPath(QStringLiteral("mainlayout_%1.ini").arg(dpi));
}

}  // namespace Qd::Core::Base
