#include "bill/BillWrites.h"

#include "bill/uBaseBillEditRibbonForm.h"
#include "bill/uCustBillRuleObj.h"
#include "db/DataServices.h"
#include "sys/uAuth.h"

namespace Qd::Core::Bill {

namespace {

QString F(const char* text) {
    return QString::fromUtf8(text);
}

QString catchRaise() {
    return F(
        "end try\r\nbegin catch\r\nif (@@trancount>0) rollback tran\r\n"
        "declare @err nvarchar(2048)\r\nset @err = error_message()\r\n"
        "raiserror('%s', 16, 1, @err)\r\nend catch\r\n"
        "if (@@trancount>0) commit tran");
}

// A line being typed is posted first, so that the change log holds it.
void postOpenLine(Db::RecordSet& detail) {
    if (detail.active() && detail.state() != Db::DataSetState::Browse)
        detail.post();
}

QStringList detailStatements(const QString& table, Db::RecordSet& detail,
                             const QStringList& ignored) {
    QStringList out;
    Db::GetUpDataSQLList(table, F("id"), ignored, detail, out, 0);
    return out;
}

}  // namespace

QString billNumberStem(const QString& prefix, int rule, const QDate& billDate,
                       const QString& storeTag) {
    return prefix + (rule == 0 ? billDate.toString(QStringLiteral("yyMMdd")) : QString()) +
           storeTag;
}

// The column list holds names only, so the first ") values(" ends it; no literal is touched.
QString withBillnoVariable(const QString& insert) {
    const qsizetype open = insert.indexOf(QLatin1Char('('));
    if (open < 0)  // "insert into t default values"
        return insert.left(insert.indexOf(QLatin1String(" default values"))) +
               QStringLiteral("(billno) values(@billno)");
    QString s = insert;
    s.insert(open + 1, QStringLiteral("billno, "));
    const QString values = QStringLiteral(") values(");
    const qsizetype at = s.indexOf(values, open);
    s.insert(at + values.size(), QStringLiteral("@billno, "));
    return s;
}

bool runBillBatch(const QString& declarations, const QStringList& statements) {
    QString script = declarations + F("begin tran\r\nbegin try\r\n");
    for (const QString& s : statements)
        script += s + F("\r\n");
    script += catchRaise();
    return Db::dataServices().execSQL(script);  // traced by the data services as sent
}

int insertNumberedBill(TBaseBillEditRibbonForm& form, const QString& detailTable) {
    if (!form.CustBillRule)
        return -1;
    postOpenLine(form.cdsDetail);
    const TCustBillRule& rule = *form.CustBillRule;
    Db::RecordSet& master = form.cdsMaster;
    const int ckId = master.field(F("ck_id")).asInteger();
    const int orgId = master.field(F("orgid")).asString().toInt();
    const QString prefix = billNumberStem(rule.Ftag, rule.Fistyle,
                                          master.field(F("billdate")).asDateTime().date(), {});
    const int width = qMax(rule.Fseekcount, 1);
    const QString module = Db::quotedSql(form.moduleCode());
    const QString where = F("orgid = %1 and ck_id = %2 and billcode = %3 and seqkey = @stem")
                              .arg(orgId)
                              .arg(ckId)
                              .arg(module);

    QStringList statements;
    // The stem takes the store's tag; the serial is the next of this store, bill and stem,
    // passing over a number some other way already gave.
    statements << F("select @stem = %1 + isnull(billtag, '') from qd_b_ckbmk where id = %2")
                      .arg(Db::quotedSql(prefix))
                      .arg(ckId);
    statements << F("if not exists(select 1 from qd_sys_billnoseq where %1) insert into "
                    "qd_sys_billnoseq(orgid, ck_id, billcode, seqkey, lastno) values(%2, %3, "
                    "%4, @stem, 0)")
                      .arg(where)
                      .arg(orgId)
                      .arg(ckId)
                      .arg(module);
    statements << F("select @serial = lastno from qd_sys_billnoseq where %1").arg(where);
    statements << F("set @billno = ''");
    statements << F("while @billno = '' or exists(select 1 from %1 where orgid = %2 and billno "
                    "= @billno)\r\nbegin\r\nset @serial = @serial + 1\r\n"
                    "set @s = cast(@serial as varchar(10))\r\n"
                    "set @billno = @stem + case when len(@s) >= %3 then @s else "
                    "right(replicate('0', %3) + @s, %3) end\r\nend")
                      .arg(form.masterTableName)
                      .arg(orgId)
                      .arg(width);
    statements << F("update qd_sys_billnoseq set lastno = @serial, lastupdate = getdate() where "
                    "%1")
                      .arg(where);

    // Master and lines from their change logs, the real number in place of the temporary one.
    QStringList ignored = form.MasterIgnorefields;
    ignored << F("id") << F("billno");
    QStringList writes;
    Db::GetUpDataSQLList(form.masterTableName, F("id"), ignored, master, writes, 0);
    writes << detailStatements(detailTable, form.cdsDetail, {F("id"), F("billno")});
    for (const QString& s : writes)
        statements << (s.startsWith(QLatin1String("insert into ")) ? withBillnoVariable(s) : s);
    return runBillBatch(F("declare @billno varchar(50), @stem varchar(30), @serial int, "
                          "@s varchar(10)\r\n"),
                        statements)
               ? 0
               : -1;
}

int updateBill(TBaseBillEditRibbonForm& form, const QString& detailTable) {
    postOpenLine(form.cdsDetail);
    QStringList statements;
    Db::GetUpDataSQLList(form.masterTableName, F("id"), form.MasterIgnorefields, form.cdsMaster,
                         statements, 0);
    statements << detailStatements(detailTable, form.cdsDetail, {F("id")});
    return runBillBatch(QString(), statements) ? 0 : -1;
}

int deleteDraftBill(TBaseBillEditRibbonForm& form, const QString& detailTable) {
    if (!form.billShown())
        return -1;
    const qint64 id = form.cdsMaster.field(F("id")).asLargeInt();
    // Only the loaded draft goes: a bill audited or saved elsewhere since stays whole.
    const QStringList statements = {
        F("delete from %1 where id = %2 and status < %3 and version = %4")
            .arg(form.masterTableName)
            .arg(id)
            .arg(form.auditstate)
            .arg(form.version),
        F("if @@rowcount > 0 delete from %1 where orgid = %2 and billno = %3")
            .arg(detailTable)
            .arg(form.cdsMaster.field(F("orgid")).asInteger())
            .arg(Db::quotedSql(form.billno))};
    if (!runBillBatch(QString(), statements))
        return -1;
    Db::DataPacket left = Db::dataServices().openData(
        F("select count(*) from %1 where id = %2").arg(form.masterTableName).arg(id));
    return left.active() && left.field(0).asInteger() == 0 ? 0 : 1;
}

}  // namespace Qd::Core::Bill
