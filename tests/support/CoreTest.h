#pragma once

#include <memory>

#include "base/EAbort.h"
#include "support/TestEnv.h"
#include "sys/SystemServices.h"

namespace Qd::Test {

// A database built from the framework schema with one organisation: stores 5 and 6, and the
// manager "1001" (password 123456, employee 11, code Y01) who may work in both. The system
// services are installed; login() starts a session.
class CoreTest : public DbTest {
protected:
    void SetUp() override;
    void TearDown() override;

    void login(const QString& user, qint32 store);
    void grant(qint32 employee, const QString& right);
    // The first row of a query, its columns joined by " | ".
    QString scalar(const QString& sql);

    std::unique_ptr<Core::Sys::SystemServices> sys;
};

// The same database with the manager "1001" logged in at store 5.
class LoggedInTest : public CoreTest {
protected:
    void SetUp() override;
};

}  // namespace Qd::Test
