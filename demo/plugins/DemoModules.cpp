#include "DemoModules.h"

#include "DemoCustomerEditor.h"
#include "DemoOrderBill.h"
#include "DemoOrderTracking.h"

namespace Qd::App {

void registerDemoModules() {
    registerDemoEditors();
    registerDemoBills();
    registerDemoOrderTracking();
}

}  // namespace Qd::App
