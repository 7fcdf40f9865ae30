#pragma once

// Icons of the framework's own actions that the platform's standard set lacks, drawn rather
// than shipped as files so they look the same with every style.

#include <QIcon>

namespace Qd::Core::Ui {

// A printer with a sheet going in and one coming out.
QIcon printIcon();

}  // namespace Qd::Core::Ui
