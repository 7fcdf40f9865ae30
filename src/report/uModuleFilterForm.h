#pragma once

#include "report/uBasicFilterForm.h"

class QTimer;

namespace Qd::Core::Report {

// The framework's picker of a module: the quick-search box searches the module's list (code
// prefix, pinyin initials prefix, or name containing the text; see listSearch) within the
// chosen category, a moment after the last key (kSearchDelayMs), and Enter in the box picks
// the one row found before it moves to the list. What the select entries of the list windows
// show.
class TModuleFilterForm : public TBasicFilterForm {
    Q_OBJECT
public:
    static constexpr int kSearchDelayMs = 250;

    TModuleFilterForm(QWidget* AOwner, Sys::TPlugItem* Data, TFilterModel model);

    // Starts (or restarts) the wait before the search.
    void LocateData() override;
    // The search of the quick-search text now, within the chosen category.
    void searchNow();
    // True while a search waits for the typing to pause.
    bool searchPending() const;
    // The search text set as if typed, and searched at once.
    void seedSearch(const QString& text);

protected:
    // A category chosen: the search runs again within it.
    void refreshList() override;
    // A search waiting runs first; then QuickSearch, else to the list.
    void quickSearchEntered() override;

private:
    QTimer* m_searchTimer;  // owned by the dialog
};

// Shows the picker of `item` modally: "{"model":"single"}" in `options` picks one row, anything
// else several; `text` starts the quick search. The chosen rows as a JSON array text, or the
// empty text when cancelled. The select entry of the framework's list windows.
QString pickModuleRows(QWidget* owner, Sys::TPlugItem& item, const QString& text,
                       const QString& options);

// Registers pickModuleRows as the select entry of TSingleBasicRibbonForm and
// TMultiBasicRibbonForm modules.
void registerFrameworkPickers();

}  // namespace Qd::Core::Report
