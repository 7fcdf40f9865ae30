#pragma once

// A framework database in a temporary program home for a benchmark: the services installed,
// store MD01 and the administrator "1001" (password 123456, employee Y01), signed in by login()
// once the benchmark's own rows are in.

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QTabWidget>
#include <QTemporaryDir>
#include <memory>

#include "core/uBaseRibbonForm.h"
#include "ui/Ribbon.h"

#include "base/ProgramHome.h"
#include "db/Schema.h"
#include "db/SqliteDataServices.h"
#include "sys/SystemServices.h"

namespace Qd::Bench {

struct BenchSession {
    QTemporaryDir dir;
    std::unique_ptr<Core::Db::SqliteDataServices> db;
    std::unique_ptr<Core::Sys::SystemServices> sys;

    BenchSession() {
        Core::Sys::setProgramHome(dir.path());
        db = std::make_unique<Core::Db::SqliteDataServices>(dir.filePath("bench.db"));
        Core::Db::setDataServices(db.get());
        Core::Db::ensureFrameworkSchema(*db);
        db->exec(
            QStringLiteral("insert into qd_b_ckbmk(orgid, code, name) values(1, 'MD01', N'总店')\n"
                           "insert into qd_b_ygbmk(orgid, code, name) values(1, 'Y01', N'王经理')\n"
                           "insert into qd_sys_users(orgid, code, name, yg_id, datascope, isadmin) "
                           "values(1, '1001', N'王经理', 1, 2, 1)\n"
                           "insert into qd_auth_ck_access(orgid, uid, ck_id) values(1, 1, 1)"));
    }
    void login() {
        sys = std::make_unique<Core::Sys::SystemServices>(*db);
        Core::Sys::setSystemServices(sys.get());
        sys->setPassword(1, QStringLiteral("123456"));
        sys->login(QStringLiteral("1001"), QStringLiteral("123456"), 1);
    }
};

// Times opening a working form of class Form for `item`, docked as the client docks it, from
// generateForm to its first painted screen; counts the rows it loaded.
template <class Form>
void openDockedForm(benchmark::State& state, Core::Sys::TPlugItem& item) {
    QTabWidget pages;
    pages.resize(1200, 800);
    pages.show();
    Core::Ui::Ribbon ribbon;
    Core::Ui::BarManager bars;
    for (auto _ : state) {
        auto* form = Core::Base::TBaseRibbonForm::generateForm(
            nullptr, [](QWidget* o, Core::Sys::TPlugItem* d) { return new Form(o, d); }, &pages,
            &bars, &ribbon, &item);
        benchmark::DoNotOptimize(pages.grab());  // the first painted screen
        state.PauseTiming();
        state.counters["rows"] = static_cast<Form*>(form)->cdsMain.recordCount();
        form->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        state.ResumeTiming();
    }
}

}  // namespace Qd::Bench
