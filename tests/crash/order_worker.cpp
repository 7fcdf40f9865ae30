// The order worker: a client that logs in to the demo, opens the order window offscreen on one
// draft and edits it round after round, as a user would, while another worker does the same
// (test_order_race.cpp).
//
//   order_worker DATABASE ROLE ROUNDS BILLNO
//
// ROLE A changes 摘要 and its line "race-A" and writes 备注 on even rounds; ROLE B changes 项目名称
// and its line "race-B" and writes 备注 on odd rounds. Each round also adds a line "<ROLE>-<n>".
// A conflict is settled with 全部用我的. After "ready" the worker waits for a line on standard
// input, then prints for each stored round
//   saved <n> version=<version written> note=<1 when the save wrote 备注>
// and at the end "done saves=S dropped=D conflicts=C". Message boxes go to standard error.
#include <QApplication>
#include <cstdio>
#include <iostream>
#include <string>

#include "DemoOrderBill.h"
#include "base/ProgramHome.h"
#include "base/UnattendedPrompter.h"
#include "bill/uBillMergeForm.h"
#include "bill/uCustBillRuleObj.h"
#include "db/DataServices.h"
#include "db/SqliteDataServices.h"
#include "sys/SystemServices.h"

using namespace Qd::Core;

namespace {

QString F(const char* text) {
    return QString::fromUtf8(text);
}

void say(const QString& line) {
    std::fputs((line + QLatin1Char('\n')).toUtf8().constData(), stdout);
    std::fflush(stdout);
}

// The order window, telling what each successful update wrote.
class RaceOrder : public Qd::App::TOrderBillForm {
public:
    using TOrderBillForm::TOrderBillForm;

    int writtenVersion = -1;  // of the last successful update; -1 after a failed one
    bool wroteNote = false;

    int _Update() override {
        const int note = cdsMaster.fieldIndex(F("beizhu"));
        bool changesNote = false;
        for (const Db::RowChange& c : cdsMaster.changes())
            changesNote =
                changesNote || (c.kind == Db::ChangeKind::Modified &&
                                !Db::sameValue(cdsMaster, c.row, cdsMaster, c.original, note));
        const int version = cdsMaster.field(F("version")).asInteger();
        const int result = TOrderBillForm::_Update();
        writtenVersion = result == 0 ? version : -1;
        wroteNote = result == 0 && changesNote;
        return result;
    }
};

constexpr int kAttempts = 50;

int run(const QString& database, const QString& role, int rounds, const QString& billno) {
    Ui::UnattendedPrompter prompter;
    int conflicts = 0;
    prompter.onDialog = [&conflicts](QDialog& dialog) {
        auto* merge = dynamic_cast<Bill::TBillMergeForm*>(&dialog);
        if (!merge)
            return int(QDialog::Rejected);
        conflicts += merge->cdsConflicts.recordCount();
        merge->chooseAll(Bill::MergeSide::Mine);
        merge->actok->trigger();
        return dialog.result();
    };
    Ui::setPrompter(&prompter);
    Db::SqliteDataServices db(database);
    Db::setDataServices(&db);
    Sys::SystemServices sys(db);
    Sys::setSystemServices(&sys);
    const Sys::LoginResult login = sys.login(F("1001"), F("123456"), sys.stores().front().id);
    if (!login.ok) {
        std::fprintf(stderr, "%s\n", login.message.toUtf8().constData());
        return 1;
    }
    RaceOrder form(nullptr, sys.plugs().plugbyName(F("订单"), true));
    form.setOpening(QString(), billno);
    form.FormCreate();
    form.CustBillRule->Fflag.fill(QLatin1Char('0'));  // no audit after a save here
    if (form.billno != billno) {
        std::fprintf(stderr, "bill %s not found\n", billno.toUtf8().constData());
        return 1;
    }
    say(F("ready"));
    std::string go;
    std::getline(std::cin, go);

    const bool isA = role == QLatin1String("A");
    const QString ownField = isA ? F("zy") : F("gcxmmc");
    const QString ownLine = F("race-") + role;
    int saves = 0;
    int dropped = 0;
    for (int round = 1; round <= rounds; ++round) {
        for (int i = 0; i < kAttempts && form.FDataOperateState != Sys::TOperateState::edit; ++i)
            form.actEdit->trigger();  // a bill moved meanwhile is reloaded first
        if (form.FDataOperateState != Sys::TOperateState::edit) {
            ++dropped;
            continue;
        }
        const QString value = role + F("-") + QString::number(round);
        form.cdsMaster.field(ownField).setValue(value);
        if (round % 2 == (isA ? 0 : 1))
            form.cdsMaster.field(F("beizhu")).setValue(value);
        if (form.cdsDetail.locate(F("uid"), ownLine)) {
            form.cdsDetail.edit();
            form.cdsDetail.field(F("sl")).setValue(round);
            form.cdsDetail.post();
        }
        form.cdsDetail.append();
        form.cdsDetail.field(F("uid")).setValue(value);
        form.cdsDetail.field(F("gcxmmc")).setValue(value);
        form.cdsDetail.field(F("sl")).setValue(1);
        form.cdsDetail.post();

        form.writtenVersion = -1;
        for (int i = 0; i < kAttempts && form.FDataOperateState != Sys::TOperateState::browse; ++i)
            form.actSave->trigger();
        if (form.FDataOperateState != Sys::TOperateState::browse) {
            // Given up: the edit is dropped, as 取消 drops it.
            form.FDataOperateState = Sys::TOperateState::browse;
            form.cdsMaster.cancel();
            form.OpenBillData(billno);
            ++dropped;
            continue;
        }
        ++saves;
        say(F("saved %1 version=%2 note=%3")
                .arg(round)
                .arg(form.writtenVersion)
                .arg(form.wroteNote ? 1 : 0));
    }
    say(F("done saves=%1 dropped=%2 conflicts=%3").arg(saves).arg(dropped).arg(conflicts));
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 5) {
        std::fputs("usage: order_worker DATABASE A|B ROUNDS BILLNO\n", stderr);
        return 2;
    }
    Sys::setProgramHome(qEnvironmentVariable("QD_HOME"));
    try {
        return run(args[1], args[2], args[3].toInt(), args[4]);
    } catch (const Db::DbError& e) {
        std::fprintf(stderr, "%s\n", e.message().toUtf8().constData());
        return 1;
    }
}
