#include "core/uMyCxGrid.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPalette>

#include "base/OwnerOnly.h"
#include "base/ProgramHome.h"
#include "base/SafeName.h"
#include "core/GridHelpers.h"
#include "db/DataServices.h"
#include "db/Trace.h"
#include "sys/SystemServices.h"
#include "ui/grid/Grid.h"

namespace Qd::Core::Base {

namespace {

const char* const kSaveBatch =
    "declare\r\n@orgid varchar(10),\r\n@billcode varchar(50),\r\n@ck_id int,\r\n@cxgname "
    "varchar(100)\r\nset @orgid=:orgid\r\nset @billcode=:billcode\r\nset @ck_id = :ck_id\r\nset "
    "@cxgname = :cxgname\r\ndelete from qd_sys_columnconfig where orgid=@orgid and "
    "billcode=@billcode and ck_id=@ck_id and cxgname=@cxgname\r\ninsert into "
    "qd_sys_columnconfig(orgid,billcode,ck_id,cxgname,columnstyle)\r\nvalues(@orgid, @billcode, "
    "@ck_id,@cxgname,:columnstyle)";

const char* const kRestoreQuery =
    "select top 1 columnstyle from qd_sys_columnconfig where orgid=:orgid and billcode='%s' and "
    "(ck_id=0 or ck_id = %d) and cxgname='%s'";

QString cxgName(const Ui::Grid* grid, const Ui::GridView* view) {
    return grid->objectName() + QLatin1Char('.') + view->objectName();
}

}  // namespace

QString TMyCxGrid::cacheFile(const QString& billcode, const QString& cxgname) {
    // Module codes come from the registry: they name a file, never a path.
    return Sys::fileUnder(Sys::programPath(QStringLiteral("cache/grid")),
                          billcode + QLatin1Char('_') + cxgname + QStringLiteral(".ini"));
}

bool TMyCxGrid::storeGridColumnStyle(Ui::Grid* comp, const QString& _billcode) {
    const Sys::TAuth* auth = Sys::sysAuth();
    for (Ui::GridView* view : comp->views()) {
        const QString cxgname = cxgName(comp, view);
        // The database row is the layout's authority, and what is stored and shown comes from
        // it: the cache file is only a copy, one that cannot be written (a read-only program
        // folder) changes nothing.
        const QByteArray layout = view->saveLayout();
        Sys::writeOwnerOnlyFile(cacheFile(_billcode, cxgname), layout);
        if (!Db::dataServices().execSQL(QString::fromUtf8(kSaveBatch),
                                        {{QStringLiteral("orgid"), auth ? auth->orgId : QString()},
                                         {QStringLiteral("billcode"), _billcode},
                                         {QStringLiteral("ck_id"), auth ? auth->storeId : 0},
                                         {QStringLiteral("cxgname"), cxgname},
                                         {QStringLiteral("columnstyle"), layout}}))
            return false;
    }
    return true;
}

void TMyCxGrid::restoreGridColumnStyle(Ui::Grid* comp, const QString& _billcode) {
    const Sys::TAuth* auth = Sys::sysAuth();
    for (Ui::GridView* view : comp->views()) {
        const QString cxgname = cxgName(comp, view);
        // The store's own row wins over the all-stores row (ck_id 0).
        const QString sql = Format(Sys::sqlTemplate(QString::fromUtf8(kRestoreQuery)),
                                   {_billcode, auth ? auth->storeId : 0, cxgname}) +
                            QStringLiteral(" order by ck_id desc");
        Db::LogMsg(sql);
        Db::RecordSet scratch;
        if (!Db::dataServices().openDataToCDS(scratch, sql) || scratch.isEmpty())
            continue;
        const QByteArray layout = scratch.field(0).asBytes();
        Sys::writeOwnerOnlyFile(cacheFile(_billcode, cxgname), layout);
        view->restoreLayout(layout);
    }
}

void TMyCxGrid::setGridProp(Ui::Grid* comp) {
    const QFontMetrics fm(comp->font());
    const int h = fm.boundingRect(QStringLiteral("测试AaBb123")).height();
    const int w = fm.horizontalAdvance(QStringLiteral("99999")) + 5;
    for (Ui::GridView* view : comp->views()) {
        view->setDataRowHeight(2 * h);
        view->setHeaderHeight(2 * h + 3);
        view->setIndicatorVisible(true);
        view->setIndicatorWidth(w);
        view->setColumnChooserEnabled(true);
        view->setIndicatorPainter(&TMyCxGrid::DrawIndicatorCell);
        view->setEmptyText(QStringLiteral("<暂无记录>"));
    }
}

void TMyCxGrid::DrawIndicatorCell(QPainter& painter, const QRect& cell, int row, bool focused,
                                  bool editing) {
    const QPalette palette;
    painter.save();
    painter.fillRect(cell, palette.color(QPalette::Button));
    painter.setPen(palette.color(QPalette::Mid));
    const QRect r = cell.adjusted(0, 0, -1, -1);
    if (row < 0) {  // the corner cell: empty, all four borders
        painter.drawRect(r);
        painter.restore();
        return;
    }
    painter.drawLine(r.topLeft(), r.bottomLeft());
    painter.drawLine(r.topRight(), r.bottomRight());
    painter.drawLine(r.bottomLeft(), r.bottomRight());
    QFont font = painter.font();
    font.setBold(focused);
    painter.setFont(font);
    if (editing) {
        painter.setPen(Qt::red);
        painter.drawText(cell, Qt::AlignCenter, QStringLiteral("*"));
    } else {
        painter.setPen(focused ? QColor(Qt::red) : palette.color(QPalette::WindowText));
        painter.drawText(cell, Qt::AlignCenter, QString::number(row + 1));
    }
    painter.restore();
}

}  // namespace Qd::Core::Base
