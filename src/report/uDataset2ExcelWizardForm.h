#pragma once

#include <QDate>

#include "core/uBaseForm.h"
#include "db/RecordSet.h"
#include "ui/WizardControl.h"
#include "ui/export/Export.h"

class QPushButton;
class QRadioButton;

namespace Qd::Core::Ui {
class Grid;
class GridView;
}  // namespace Qd::Core::Ui

namespace Qd::Core::Report {

// A file format the wizard offers: the option's caption, the pattern of the save dialog's
// filter, the extension added to a name typed without one, and the writer's format.
struct ExportChoice {
    const char* caption;
    const char* pattern;
    const char* extension;
    Ui::ExportFormat format;
};

// 导出向导: exports a data grid to a file. The user exports the grid as shown, or builds the
// export from the grid's record set: which fields go out, under which titles and widths, seen
// first in a preview. Pages: 0 the source, 1 the field list and 2 the preview (both only when
// exporting from the record set), 3 the file format. The creator runs it through the prompter's
// exec and frees it: Accepted after a written file, Rejected otherwise.
class Tdataset2excelwizardform : public Base::TBaseForm {
    Q_OBJECT
public:
    enum Page { pgSource = 0, pgColumns = 1, pgPreview = 2, pgFormat = 3 };

    // The four formats in the order the format page lists them; xlsx is the one preselected.
    static const QList<ExportChoice>& exportChoices();
    // The name the save dialog proposes: `filename` + "_" + `day` in the short date format of
    // the global settings, the characters a file name cannot hold in the date turned into "-".
    static QString proposedFileName(const QString& filename, const QDate& day);

    // `_grid` is not owned; its first view's record set is the one exported from.
    Tdataset2excelwizardform(QWidget* AOwner, Ui::Grid* _grid, const QString& _filename);
    ~Tdataset2excelwizardform() override;

    // Before the wizard acts on a button: pages 1 and 2 follow the chosen source; 取消 closes
    // with Cancel, 开始 runs doExport.
    void dxWizardControl1ButtonClick(Ui::WizardControl::Button AKind, bool* AHandled);
    // Entering the field list builds it (the first time only); entering the preview rebuilds its
    // columns from the checked fields.
    void dxWizardControl1PageChanged(int index);
    // Asks for the file and writes the chosen source in the chosen format; a written file closes
    // the wizard with OK. True when a file was written.
    bool doExport();

    bool exportsFromDataSet() const;
    const ExportChoice& chosenFormat() const;
    // The view that doExport writes: the caller's grid or the preview.
    Ui::GridView* exportSource() const;

    // Fills mdColumns with one row per field of the record set (see the unit).
    void buildColumnList();
    // The preview's columns: the checked rows of mdColumns in list order.
    void buildPreviewColumns();
    // Sets `checked` of every row of the field list.
    void checkAllColumns(bool on);

    Ui::Grid* _grid;  // not owned: the caller's
    QString _filename;
    Db::RecordSet* FDataSet;  // not owned: the record set of the grid's first view, or null
    bool FColumnsBuilt = false;

    Db::RecordSet mdColumns;  // id, fieldname, caption, length, checked

    Ui::WizardControl* dxWizardControl1;  // owned by the dialog
    QRadioButton* rbFromGrid;             // owned by the dialog
    QRadioButton* rbFromDataSet;          // owned by the dialog
    Ui::Grid* cxgColumns;                 // owned by the dialog
    Ui::GridView* cxgColumnsView;         // owned by cxgColumns
    QPushButton* btnSelectAll;            // owned by the dialog
    QPushButton* btnSelectNone;           // owned by the dialog
    Ui::Grid* cxgPreview;                 // owned by the dialog
    Ui::GridView* cxgPreviewView;         // owned by cxgPreview
    QList<QRadioButton*> rbFormats;       // owned by the dialog, in exportChoices() order

private:
    void buildSourcePage(Ui::WizardPage* page);
    void buildColumnsPage(Ui::WizardPage* page);
    void buildPreviewPage(Ui::WizardPage* page);
    void buildFormatPage(Ui::WizardPage* page);
    bool dataSetOpen() const;
};

}  // namespace Qd::Core::Report
