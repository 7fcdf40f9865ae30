#pragma once

#include <QString>

class QPainter;
class QRect;

namespace Qd::Core::Ui {
class Grid;
}

namespace Qd::Core::Base {

// The grids' shared look and the users' column layouts, kept per organisation, layout key
// (module, bill or report code), store and view in the database (qd_sys_columnconfig), with
// a local cache file per view under the program home's cache/grid/.
class TMyCxGrid {
public:
    // Saves the layout of every top-level view of `comp` under `_billcode` for the current
    // store (never as the all-stores row). Each view's layout is saved whole in a batch of its
    // own; the first that fails stops the save (the data services have said why) and gives
    // false, the views keeping the layout shown.
    static bool storeGridColumnStyle(Ui::Grid* comp, const QString& _billcode);
    // Restores the saved layout of every top-level view: the store's own row, else the
    // all-stores row; without either the view keeps the layout it was built with.
    static void restoreGridColumnStyle(Ui::Grid* comp, const QString& _billcode);
    // The common look: row heights from the grid's font, the row indicator, the column chooser
    // and "<暂无记录>" on empty views.
    static void setGridProp(Ui::Grid* comp);
    // Draws an indicator cell: the corner cell (row -1) or a row's 1-based number, bold red for
    // the focused row, a red "*" while a cell is being edited.
    static void DrawIndicatorCell(QPainter& painter, const QRect& cell, int row, bool focused,
                                  bool editing);

    // The cache file of one view's layout.
    static QString cacheFile(const QString& billcode, const QString& cxgname);
};

}  // namespace Qd::Core::Base
