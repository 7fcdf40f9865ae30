#pragma once

#include <QString>

#include "core/uBaseRibbonForm.h"

namespace Qd::Core::Base {

// Where working forms opened from the plug-in registry are docked: the client's page control,
// bar manager and ribbon (not owned).
struct FormHost {
    QTabWidget* pageControl = nullptr;
    Ui::BarManager* barManager = nullptr;
    Ui::Ribbon* ribbon = nullptr;
};
void setFormHost(const FormHost& host);
const FormHost& formHost();

// Registers the open entry of a working-form class with the plug-in pool: opening a module of
// that class docks a new form into the form host through generateForm. The title and the
// parameters text given to the entry reach the form (setOpening): the title becomes its
// caption, the parameters are there for the form to read.
// `docked`, when given, runs on the docked form with the title and parameters (a form that loads
// what it shows after docking).
using DockedFormOpened =
    std::function<void(TBaseRibbonForm* form, const QString& title, const QString& params)>;
void registerDockedForm(const QString& className, RibbonFormClass make,
                        DockedFormOpened docked = {});

// Registers every working form of the framework (TGridRibbonForm, TSingleBasicRibbonForm, ...).
void registerFrameworkForms();

}  // namespace Qd::Core::Base
