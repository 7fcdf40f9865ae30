#include "core/FormHost.h"

#include "db/DbError.h"
#include "sys/SystemServices.h"
#include "sys/uPlugItem.h"

namespace Qd::Core::Base {

namespace {

FormHost& host() {
    static FormHost h;
    return h;
}

}  // namespace

void setFormHost(const FormHost& h) {
    host() = h;
}

const FormHost& formHost() {
    return host();
}

void registerDockedForm(const QString& className, RibbonFormClass make, DockedFormOpened docked) {
    Sys::TPlugsPool::registerOpenEntry(
        className, [make = std::move(make), docked = std::move(docked)](
                       QWidget* owner, Sys::TPlugItem& item, const QString& title,
                       const QString& params, QString&, int) {
            if (!host().pageControl)
                throw Db::DbError(QStringLiteral("没有可停靠工作窗口的页面"));
            // The form learns what it was opened with before its creation steps read it.
            const RibbonFormClass opened = [&](QWidget* o, Sys::TPlugItem* data) {
                TBaseRibbonForm* form = make(o, data);
                form->setOpening(title, params);
                return form;
            };
            TBaseRibbonForm* form = TBaseRibbonForm::generateForm(
                owner, opened, host().pageControl, host().barManager, host().ribbon, &item);
            if (docked)
                docked(form, title, params);
        });
}

}  // namespace Qd::Core::Base
