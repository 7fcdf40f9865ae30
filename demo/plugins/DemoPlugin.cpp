// The demo's module plug-in: the client loads it from its plug-in folder and it registers the
// demo's own windows, as a module author's plug-in registers theirs.
#include <QObject>

#include "DemoModules.h"
#include "core/ModulePlugin.h"

namespace Qd::App {

class TDemoModulePlugin : public QObject, public Core::Base::IQdModulePlugin {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID QdModulePlugin_iid)
    Q_INTERFACES(Qd::Core::Base::IQdModulePlugin)

public:
    QString moduleName() const override { return QStringLiteral("演示模块"); }
    void registerModules() override { registerDemoModules(); }
};

}  // namespace Qd::App

#include "DemoPlugin.moc"
