#pragma once

// A fixture of DbTest with the embedded database's ODBC driver registered: tests that reach
// database files through ODBC as they would reach a server.

#include "support/OdbcTestEnv.h"
#include "support/TestEnv.h"

namespace Qd::Test {

class OdbcDbTest : public DbTest {
protected:
    void SetUp() override {
        DbTest::SetUp();
        QString why;
        if (!registerSqliteOdbcDriver(&why))
            GTEST_FAIL() << why.toStdString();
    }
};

}  // namespace Qd::Test
