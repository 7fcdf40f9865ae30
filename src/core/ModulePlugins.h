#pragma once

// Loading the module plug-ins (see ModulePlugin.h).

#include <QStringList>

namespace Qd::Core::Base {

// The folders plug-ins are loaded from, those that exist, in order: QD_PLUGIN_PATH (folders
// separated as on the platform's PATH), the program's own "plugins" folder beside its
// executable (a build or a portable copy), the installed lib/qdforms/plugins, and "plugins"
// under the program home.
QStringList modulePluginFolders();

struct PluginLoad {
    QStringList loaded;    // the plug-ins registered: "<file>: <module name>"
    QStringList failures;  // one message per file that could not be, naming it and why
};

// Loads every shared library in `folders` (each file once, by its canonical path, also across
// calls) and lets each plug-in register its modules. A file that is no plug-in of this
// framework, was built against another version, or lacks a symbol is refused with a message
// naming it and the reason; the others load all the same.
PluginLoad loadModulePlugins(const QStringList& folders);

}  // namespace Qd::Core::Base
