#pragma once

// A module plug-in: a shared library that brings a module's own windows (bill, list and report
// windows, property editors, pickers) to the client. The client loads every plug-in of its
// plug-in folders at start (loadModulePlugins) and asks each to register its window classes,
// open and select entries and property editors by name with the framework; the registry rows
// (qd_sys_plugins) then name those classes as they name the framework's own.
//
// A plug-in class derives from QObject and IQdModulePlugin:
//
//   class TShopPlugin : public QObject, public Qd::Core::Base::IQdModulePlugin {
//       Q_OBJECT
//       Q_PLUGIN_METADATA(IID QdModulePlugin_iid)
//       Q_INTERFACES(Qd::Core::Base::IQdModulePlugin)
//   public:
//       QString moduleName() const override { return QStringLiteral("门店扩展"); }
//       void registerModules() override { Base::registerDockedForm(...); ... }
//   };

#include <QString>
#include <QtPlugin>

// The framework version the library and its plug-ins are built with; a plug-in of another is
// refused when it is loaded (its interface id carries the version it was built against). While
// the version is 0.x, a minor version may change the binary interface.
#define QD_FRAMEWORK_VERSION "0.1"

namespace Qd::Core::Base {

class IQdModulePlugin {
public:
    virtual ~IQdModulePlugin() = default;
    // For people: what the plug-in brings ("演示模块").
    virtual QString moduleName() const = 0;
    // Registers the plug-in's window classes and entries with the framework.
    virtual void registerModules() = 0;
};

}  // namespace Qd::Core::Base

#define QdModulePlugin_iid_base "org.qdforms.ModulePlugin/"
#define QdModulePlugin_iid QdModulePlugin_iid_base QD_FRAMEWORK_VERSION
Q_DECLARE_INTERFACE(Qd::Core::Base::IQdModulePlugin, QdModulePlugin_iid)
