#pragma once

#include <QIcon>

namespace Qd::App {

// The client's own icons, drawn rather than shipped as files, so they look the same on every
// platform and style.
enum class ClientIcon { Refresh, ClosePage, CloseAll, Exit, Module, Group };

QIcon clientIcon(ClientIcon which);

}  // namespace Qd::App
