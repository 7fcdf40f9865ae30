// The main of every test program: a QApplication on the offscreen platform, so that real
// widgets can be created, laid out and rendered without a display. Password hashes get few
// iterations, so that the many logins of the tests stay fast (the client keeps the full count).
#include <gtest/gtest.h>

#include <QApplication>

#include "sys/SystemServices.h"

namespace {
constexpr int kTestPasswordIterations = 1000;
}

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    Qd::Core::Sys::setPasswordIterationsForTests(kTestPasswordIterations);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
