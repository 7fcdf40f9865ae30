#pragma once

class QWidget;

namespace Qd::Core::Base {

// Window placement in the window-settings file (GetIniFilePath), one section per form named by
// its component name: Left, Top, Width, Height, Maximized. A window is never restored smaller
// than it was designed, and a left or top beyond the screen comes back by one screen size. The
// main window's (class TMainForm) stored Height is 31 pixels more than its own; reading takes
// them off.
void readPlacement(QWidget* form);
void writePlacement(QWidget* form);

}  // namespace Qd::Core::Base
