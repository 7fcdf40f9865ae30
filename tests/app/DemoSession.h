#pragma once

// The demo organisation in a temporary program folder, logged in as 王经理 (1001) in its first
// store. The process-wide services point at it while the test runs and are cleared afterwards,
// also when an assertion stops the test early, so no later test sees a destroyed database.
#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <memory>

#include "DemoDatabase.h"
#include "base/ProgramHome.h"
#include "core/uBaseRibbonForm.h"
#include "db/SqliteDataServices.h"
#include "support/ScriptedPrompter.h"
#include "sys/SystemServices.h"
#include "sys/uPlugItem.h"

namespace Qd::Test {

class DemoSession : public ::testing::Test {
protected:
    void SetUp() override {
        Core::Sys::setProgramHome(dir.path());
        demo = App::openDemoDatabase(dir.filePath(QStringLiteral("demo.db")));
        Core::Db::setDataServices(demo.get());
        sys = std::make_unique<Core::Sys::SystemServices>(*demo);
        Core::Sys::setSystemServices(sys.get());
        ASSERT_TRUE(
            sys->login(QStringLiteral("1001"), QStringLiteral("123456"), sys->stores().front().id)
                .ok);
    }
    void TearDown() override {
        Core::Sys::setSystemServices(nullptr);
        Core::Db::setDataServices(nullptr);
        Core::Sys::setProgramHome(QString());
    }

    // Opens into `form` the bill window of the module named `module` on bill `no` ("" the
    // newest), shown: the header editors are bound when it is first shown. `no` is a copy, as
    // it may be the old window's, which goes first.
    template <class Form>
    void openBill(std::unique_ptr<Form>& form, const QString& module, QString no, QSize size) {
        form.reset();
        Core::Sys::TPlugItem* item = sys->plugs().plugbyName(module, false);
        EXPECT_NE(item, nullptr);
        const auto make = [&no](QWidget* owner, Core::Sys::TPlugItem* data) {
            auto* f = new Form(owner, data);
            f->setOpening(QString(), no);
            return f;
        };
        form.reset(static_cast<Form*>(Core::Base::TBaseRibbonForm::create(nullptr, make, item)));
        form->resize(size);
        form->show();
    }

    QTemporaryDir dir;
    ScriptedPrompter prompts;
    std::unique_ptr<Core::Db::SqliteDataServices> demo;
    std::unique_ptr<Core::Sys::SystemServices> sys;
};

}  // namespace Qd::Test
