#pragma once

namespace Qd::App {

// Registers the demo's own windows with the framework: the customer editor, the order and receipt
// bills and order tracking. The demo module plug-in does this when the client loads it; tests that
// link the windows directly call it themselves.
void registerDemoModules();

}  // namespace Qd::App
