// The working forms the framework offers to modules, by the class names modules give.

#include "basic/uMultiBasicRibbonForm.h"
#include "basic/uSingleBasicRibbonForm.h"
#include "core/FormHost.h"
#include "core/uGridRibbonForm.h"

namespace Qd::Core::Base {

void registerFrameworkForms() {
    registerDockedForm(QStringLiteral("TGridRibbonForm"), [](QWidget* o, Sys::TPlugItem* data) {
        return new TGridRibbonForm(o, data);
    });
    registerDockedForm(
        QStringLiteral("TSingleBasicRibbonForm"),
        [](QWidget* o, Sys::TPlugItem* data) { return new TSingleBasicRibbonForm(o, data); });
    registerDockedForm(
        QStringLiteral("TMultiBasicRibbonForm"),
        [](QWidget* o, Sys::TPlugItem* data) { return new TMultiBasicRibbonForm(o, data); });
}

}  // namespace Qd::Core::Base
