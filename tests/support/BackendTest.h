#pragma once

// Runs the tests of a DbTest-derived fixture on each backend of the data services: the embedded
// database's own (parameter false, "Embedded") and the ODBC ones on the embedded database's ODBC
// driver (true, "Odbc"), installed as the data services in force on the same database file.

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "db/odbc/OdbcDataServices.h"
#include "support/OdbcTestEnv.h"

namespace Qd::Test {

template <typename Fixture>
class OnEachBackend : public Fixture, public ::testing::WithParamInterface<bool> {
protected:
    void SetUp() override {
        Fixture::SetUp();
        if (!GetParam())
            return;
        QString why;
        ASSERT_TRUE(registerSqliteOdbcDriver(&why)) << why.toStdString();
        m_odbc =
            std::make_unique<Core::Db::OdbcDataServices>(sqliteOdbcConnection(Fixture::dbPath()));
        Core::Db::setDataServices(m_odbc.get());
    }
    void TearDown() override {
        if (m_odbc) {
            Core::Db::setDataServices(&Fixture::db());
            m_odbc.reset();
        }
        Fixture::TearDown();
    }
    // The backend under test, with the calls that throw.
    Core::Db::BackendDataServices& backend() {
        return m_odbc ? static_cast<Core::Db::BackendDataServices&>(*m_odbc) : Fixture::db();
    }

private:
    std::unique_ptr<Core::Db::OdbcDataServices> m_odbc;
};

inline std::string backendName(const ::testing::TestParamInfo<bool>& info) {
    return info.param ? "Odbc" : "Embedded";
}

}  // namespace Qd::Test
