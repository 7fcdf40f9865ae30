// The client's tests link the demo's windows directly (the client itself loads them as a
// plug-in): they are registered once, before any test runs.
#include <gtest/gtest.h>

#include "DemoModules.h"

namespace {

class DemoModules : public ::testing::Environment {
public:
    void SetUp() override { Qd::App::registerDemoModules(); }
};

[[maybe_unused]] ::testing::Environment* const registered =
    ::testing::AddGlobalTestEnvironment(new DemoModules);

}  // namespace
