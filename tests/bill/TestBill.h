#pragma once
// The smallest bill module and the fixture the bill window tests share: a master table t_bill
// (with a print count) and a line table t_bill_mx, bills B001 (draft), B002 (audited) and B003
// (draft) of store 5, and the manager 1001 logged in there with every right of module TB.
#include <gtest/gtest.h>

#include <QApplication>
#include <QPlainTextEdit>
#include <functional>
#include <memory>

#include "base/Dispatch.h"
#include "bill/uAuditingDataForm.h"
#include "bill/uBaseBillEditRibbonForm.h"
#include "db/DataServices.h"
#include "support/CoreTest.h"
#include "support/Rows.h"
#include "support/ScriptedPrompter.h"
#include "sys/uPlugItem.h"
#include "ui/editors/Editors.h"

namespace Qd::Test::Bills {

using namespace Qd::Core;
using Bill::TAuditingDataForm;
using Bill::TBaseBillEditRibbonForm;
inline const char kDescriptor[] =
    R"({"title": "测试单", "data": {"master": {"tablename": "t_bill", "ignorefields": ["kdr_name"]}}})";

// A bill module as small as one can be: a master table and a line table, the neighbours by
// number, a new bill numbered B001, B002, ... in the saving batch. Its hooks can be made to fail.
class TTestBill : public TBaseBillEditRibbonForm {
public:
    using TBaseBillEditRibbonForm::TBaseBillEditRibbonForm;

    int failInserts = 0;  // hooks that fail before any SQL, counted down
    int failUpdates = 0;
    int failDeletes = 0;
    QString failingStatement;   // appended to the next write (a statement the database refuses)
    QString auditHook;          // generateSqlAuditing_1
    bool makerAndStore = true;  // the master query has kdr_*/ck_*
    bool withNeighbours = true;
    QString extraColumns;  // appended to the master query's columns, ", b.printcount" say
    QStringList opened;    // numbers OpenBillData was given
    QList<bool> readOnly;
    Ui::CurrencyEdit* edtTotal = nullptr;

    void _init() override {
        TBaseBillEditRibbonForm::_init();
        edtTotal = new Ui::CurrencyEdit(2, S("#,##0.00"), this);
        new Ui::FieldBinding(&cdsMaster, S("je"), edtTotal);
        setCentralWidget(edtTotal);
        Sys::dispatch([this] { OpenBillData(openParams()); });
    }

    void OpenBillData(const QString& no) override {
        opened << no;
        LoadBillData(no, cdsMaster, cdsDetail);
        if (cdsMaster.isEmpty())
            ComponentReadOnly(true);
        else
            fillMasterData();
    }

    bool LoadBillData(const QString& no, Db::RecordSet& master, Db::RecordSet& detail) override {
        const QString where = no.isEmpty() ? S("b.id = (select max(id) from t_bill)")
                                           : S("b.billno = ") + Db::quotedSql(no);
        QString columns =
            S("b.id, b.orgid, b.billno, b.billdate, b.status, b.version, b.je, "
              "b.beizhu, b.auditdate, b.shy_id");
        if (makerAndStore)
            columns += S(", b.kdr_id, isnull(u.name, '') kdr_name, b.ck_id, s.name ck_name");
        if (withNeighbours)
            columns +=
                S(", isnull((select top 1 p.billno from t_bill p where p.billno < "
                  "b.billno order by p.billno desc), '') prevBillNo, isnull((select top 1 "
                  "n.billno from t_bill n where n.billno > b.billno order by n.billno), "
                  "'') NextBillNo");
        columns += extraColumns;
        Db::dataServices().openDataToCDS(
            master, S("select ") + columns +
                        S(" from t_bill b left join qd_b_ygbmk u on u.id = b.kdr_id left join "
                          "qd_b_ckbmk s on s.id = b.ck_id where ") +
                        where);
        const QString loaded = master.isEmpty() ? QString() : master.field(S("billno")).asString();
        return Db::dataServices().openDataToCDS(
            detail, S("select * from t_bill_mx where billno = ") + Db::quotedSql(loaded) +
                        S(" order by id"));
    }

    void ComponentReadOnly(bool on) override { readOnly << on; }

    int _Insert() override {
        if (failInserts > 0 && failInserts--)
            return 1;
        // The new number replaces the temporary one in every statement.
        const QString temp = S("N'") + tempBillno + S("'");
        return write(S("declare @no varchar(50) = (select 'B' + right('000' + "
                       "cast(count(*) + 1 as varchar(10)), 3) from t_bill)\r\n") +
                     changes().replace(temp, S("@no")));
    }
    int _Update() override {
        if (failUpdates > 0 && failUpdates--)
            return 1;
        return write(changes());
    }
    int _delete() override {
        if (failDeletes > 0 && failDeletes--)
            return 1;
        const QString no = Db::quotedSql(billno);
        return write(S("delete from t_bill_mx where billno = ") + no +
                     S("\r\ndelete from t_bill where billno = ") + no);
    }
    QString generateSqlAuditing_1() override { return auditHook; }

private:
    QString changes() {
        QStringList sql;
        QStringList ignored = MasterIgnorefields;
        ignored << S("id") << S("prevBillNo") << S("NextBillNo") << S("ck_name");
        Db::GetUpDataSQLList(S("t_bill"), S("id"), ignored, cdsMaster, sql, 0);
        Db::GetUpDataSQLList(S("t_bill_mx"), S("id"), {S("id")}, cdsDetail, sql, 0);
        return sql.join(S("\r\n"));
    }
    int write(const QString& body) {
        QString batch = S("begin tran\r\nbegin try\r\n") + body + S("\r\n") + failingStatement +
                        S("\r\nend try\r\nbegin catch\r\nif (@@trancount>0) rollback tran\r\n"
                          "raiserror('数据错误异常.', 16, 1)\r\nend catch\r\n"
                          "if (@@trancount>0) commit tran");
        failingStatement.clear();
        if (!Db::dataServices().execSQL(batch))
            return 1;
        cdsMaster.mergeChangeLog();
        cdsDetail.mergeChangeLog();
        return 0;
    }
};

class BillTest : public Qd::Test::CoreTest {
protected:
    void SetUp() override {
        CoreTest::SetUp();
        ASSERT_TRUE(db().execSQL(S(
            "create table t_bill(id int identity(1,1) primary key, orgid int not null default 0,"
            " ck_id int not null default 0, billno varchar(50) not null default '',"
            " billdate datetime null, status int not null default 0,"
            " version int not null default 0, kdr_id int not null default 0, je money null,"
            " beizhu nvarchar(200) null, auditdate datetime null, shy_id int not null default 0,"
            " printcount int null)\n"
            "create table t_bill_mx(id int identity(1,1) primary key, orgid int not null default 0,"
            " billno varchar(50) not null default '', uid varchar(50) null, sl decimal(18,4) null,"
            " je money null)\n"
            "insert into t_bill(orgid, ck_id, billno, billdate, status, version, kdr_id, je)"
            " values(1, 5, 'B001', '2026-11-01 09:00:00', 0, 1, 11, 30)\n"
            "insert into t_bill(orgid, ck_id, billno, billdate, status, version, kdr_id, je)"
            " values(1, 5, 'B002', '2026-11-02 09:00:00', 1, 3, 11, 7)\n"
            "insert into t_bill(orgid, ck_id, billno, billdate, status, version, kdr_id, je)"
            " values(1, 5, 'B003', '2026-11-03 09:00:00', 0, 1, 11, 0)\n"
            "insert into t_bill_mx(orgid, billno, uid, sl, je) values(1, 'B001', 'u1', 1, 10)\n"
            "insert into t_bill_mx(orgid, billno, uid, sl, je) values(1, 'B001', 'u2', 2, 20)\n"
            "insert into t_bill_mx(orgid, billno, uid, sl, je) values(1, 'B002', 'u3', 1, 7)")));
        ASSERT_NO_FATAL_FAILURE(login(S("1001"), 5));
        for (const char* right : {"_01", "_02", "_03", "_04", "_05", "_06", "_10", "_20"})
            grant(11, S("TB") + S(right));
        item.code = S("TB");
        item.title = S("测试单");
        item.setTexts(S(kDescriptor), QString(), QString());
        prompts().acceptAllMessages(true);
    }

    QString stored(const char* sql) { return scalar(S(sql)); }
    void bumpVersion(const char* no) {
        ASSERT_TRUE(db().execSQL(
            S("update t_bill set version = version + 1 where billno = '%1'").arg(S(no))));
    }
    // Confirms the audit dialog, with `note` typed in when given.
    void confirmAudit(const QString* note = nullptr, std::function<void()> meanwhile = {}) {
        prompts().answerDialog([note, meanwhile](QDialog& d) {
            auto& dialog = dynamic_cast<TAuditingDataForm&>(d);
            if (note)
                dialog.Memo1->setPlainText(*note);
            if (meanwhile)
                meanwhile();
            return int(QDialog::Accepted);
        });
    }

    Sys::TPlugItemSingleBasic item;
};

// The window on bill `no` ("" the newest), given as its parameters, actions set as when idle.
inline std::unique_ptr<TTestBill> openOn(Sys::TPlugItemSingleBasic& item, const QString& no,
                                         const std::function<void(TTestBill&)>& prepare = {}) {
    auto* form = new TTestBill(nullptr, &item);
    if (prepare)
        prepare(*form);
    form->setOpening(QString(), no);
    form->FormCreate();
    QApplication::processEvents();
    return std::unique_ptr<TTestBill>(form);
}

}  // namespace Qd::Test::Bills
