#pragma once

#include <QString>
#include <cstdio>

#include "ClientOptions.h"

class QWidget;

namespace Qd::App {

// Runs the client once its command line is read: opens the database (a file through
// openDemoDatabase; an ODBC connection as it is, refused when it lacks the framework's tables),
// logs in (with the login dialog, or from the options) and shows the main window until it closes.
// Returns the program's exit code: 1 when it could not start. A database it cannot start on is
// reported once, in a message box (a client started from the desktop has no console to read)
// and on standard error; other troubles with the options only on standard error. `vfs` as for
// SqliteDataServices (tests).
int runClient(const ClientOptions& options, const char* vfs = nullptr);

// Loads the module plug-ins of the plug-in folders (core/ModulePlugins.h); one message for each
// that cannot be loaded, naming it and why.
void loadPlugins();

// Writes a line of text to standard output or standard error in the local encoding.
void printLine(std::FILE* to, const QString& text);

// Saves what `window` shows as a PNG picture; false (and said on standard error) when it cannot.
bool savePicture(QWidget& window, const QString& file);

}  // namespace Qd::App
