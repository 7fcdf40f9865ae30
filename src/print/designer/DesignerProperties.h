#pragma once

// Internal to the designer: the rows of its property grid for the page, a band or an object,
// each reading its value from the template and writing it back, so that the dialog edits every
// property the same way (one undo step, the scene redrawn).

#include <QVariant>
#include <functional>
#include <vector>

#include "print/engine/Template.h"
#include "ui/grid/Grid.h"

namespace Qd::Print::Internal {

struct Property {
    QString name;     // the editor's object name: "x", "font.size", "text"...
    QString caption;  // Chinese, as the grid shows it
    Core::Ui::EditorProps editor;
    std::function<QVariant(const ReportTemplate&)> get;
    std::function<void(ReportTemplate&, const QVariant&)> set;
};

std::vector<Property> pageProperties();
// `datasets`: the choices of a data band's dataset.
std::vector<Property> bandProperties(const Band& band, const QStringList& datasets);
// `pickPicture` runs when the picture row's button is clicked.
std::vector<Property> objectProperties(const ReportObject& object,
                                       std::function<void()> pickPicture);

}  // namespace Qd::Print::Internal
