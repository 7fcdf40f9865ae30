// Module plug-ins that must not load, for the loader's tests: one built for another framework
// version (QD_CASE_IID), one that needs a symbol no library gives (QD_CASE_MISSING_SYMBOL).
#include <QObject>

#include "core/ModulePlugin.h"

#ifdef QD_CASE_MISSING_SYMBOL
extern "C" int qd_symbol_nobody_defines;
#endif

class TCasePlugin : public QObject, public Qd::Core::Base::IQdModulePlugin {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID QD_CASE_IID)
    Q_INTERFACES(Qd::Core::Base::IQdModulePlugin)

public:
    QString moduleName() const override { return QStringLiteral("测试"); }
    void registerModules() override {
#ifdef QD_CASE_MISSING_SYMBOL
        ++qd_symbol_nobody_defines;
#endif
    }
};

#include "CasePlugin.moc"
