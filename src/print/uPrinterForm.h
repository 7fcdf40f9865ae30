#pragma once

#include <QList>
#include <QPair>
#include <QString>
#include <functional>
#include <memory>

#include "core/uBaseForm.h"
#include "db/RecordSet.h"
#include "print/engine/Preview.h"
#include "print/engine/Template.h"
#include "print/uDataSetCollection.h"

class QLabel;
class QPushButton;
class QToolButton;

namespace Qd::Core::Ui {
class GridView;
}

namespace Qd::Core::Fr4 {

using TUserVariables = QList<QPair<QString, QString>>;
using onPrintDoneEvent = std::function<void()>;

// What a caller knows about reprints of the one document it prints (a bill). Without it (other
// callers) no job is a reprint. With it a job is a reprint when the document was printed before
// the window opened or an earlier job of the window printed; a reprint's pages carry the
// template's reprint stamp and, with `needsRight`, the job needs the reprint right.
struct TReprintPolicy {
    bool printedBefore = false;
    bool needsRight = false;  // module code + "_062" (Base::reprintGate)
};

// The print template window: lists the templates of a module key that the current store may
// use, previews or prints the chosen one with the caller's record sets and variables, and, with
// the module's design right ("_061"), adds, edits, deletes and designs templates.
class TPrinterForm : public Base::TBaseForm {
    Q_OBJECT
public:
    // The collection and the variables are not owned and must outlive the dialog.
    TPrinterForm(QWidget* AOwner, const QString& AModuleCode, TDataSetCollection* DataSets,
                 const TUserVariables* _userVar);
    ~TPrinterForm() override;

    // Stores `ms` as the `docfile` of template `_id`; false when the statement failed.
    bool postDocsFile(qint64 _id, const QByteArray& ms);

    // Reloads the template list, keeping the cursor on the same position.
    bool loadRptDocs();  // false when the list could not be read (the error was shown)
    // Writes the current template's file, loads it and sets the variables; returns the file
    // name. Aborts (EAbort) with "未定义打印样式。" when the list is empty.
    QString LoaddingPrintDocs();
    void DesignReport();

    // The local file of a template: reports folder + module_code_name.fr3, the name made safe
    // (Sys::safeFileName), so that it never leaves the reports folder.
    static QString templateFileName(const QString& moduleCode, const QString& code,
                                    const QString& docName);

    QString FModuleCode;
    TDataSetCollection* Fdatasets;                  // not owned
    const TUserVariables* FuserVariables;           // not owned; may be null
    onPrintDoneEvent FonPrintDone;                  // may be empty
    const TReprintPolicy* reprintPolicy = nullptr;  // not owned; may be null
    bool qx = false;

    Db::RecordSet cdsMain;
    Print::ReportTemplate frxReport1;  // the template prepared last

    QAction* actPreview;  // owned by the dialog
    QAction* actPrint;    // owned by the dialog
    QAction* actExit;     // owned by the dialog
    QAction* actDesign;   // owned by the dialog
    QAction* actAdd;      // owned by the dialog
    QAction* actEdit;     // owned by the dialog
    QAction* actDel;      // owned by the dialog

    Ui::GridView* cxgMain;  // owned by the dialog

    // Opens the designer on a template; returns whether it was changed. Unset: the report
    // designer, with this window's datasets, variables and functions in its data tree.
    std::function<bool(Print::ReportTemplate&)> designer;
    // The printer used by direct print and by the preview; the system's own when unset.
    Print::PrintJob::PrinterFactory printerFactory;
    // What new dialogs start with, so that the host (and tests) can equip the dialogs opened by
    // OpenSetPrintReportForm.
    static inline std::function<bool(Print::ReportTemplate&)> defaultDesigner;
    static inline Print::PrintJob::PrinterFactory defaultPrinterFactory;

private:
    void actPreviewExecute();
    void actPrintExecute();
    void actExitExecute();
    void actDesignExecute();
    void actAddExecute();
    void actEditExecute();
    void actDelExecute();
    void cdsMainBeforePost();
    void cdsMainAfterPost();
    void cdsMainAfterInsert();
    // Runs an action handler, ending it silently on EAbort.
    void run(void (TPrinterForm::*handler)());
    void editRow(bool adding);
    void updateActions();
    // Prepares the current template with the data, or returns false after showing why.
    bool prepareReport(Print::PreparedReport& out);
    void connectJob(Print::PrintJob& job);
    void frxReport1BeginDoc();
    void frxReport1AfterPrintReport();
    // Whether the next job is a reprint, and whether it may print (the reprint right, asked at
    // the moment of the job).
    bool nextJobIsReprint() const;
    bool mayPrintNextJob();

    std::unique_ptr<PrintData> m_printData;  // the engine datasets and functions; owned
    int m_jobsPrinted = 0;                   // jobs of this window the printer took
};

// Shows the print template window modally for `ModuleCode` and returns its modal result: 1 when
// a preview or print was started, 2 otherwise.
int OpenSetPrintReportForm(QWidget* AOwner, const QString& ModuleCode, TDataSetCollection* DataSets,
                           const TUserVariables* _userVar = nullptr,
                           onPrintDoneEvent onPrintDone = {},
                           const TReprintPolicy* reprint = nullptr);

}  // namespace Qd::Core::Fr4
