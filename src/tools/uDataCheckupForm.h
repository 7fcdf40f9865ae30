#pragma once

// The data checkup: runs the stored consistency checks of qd_sys_checkitems one by one and
// shows per check the rows it found and whether that passes. A check that knows its severity
// and carries a detail and a fix statement can list what it found and repair it.

#include <optional>

#include "core/uBaseForm.h"
#include "db/RecordSet.h"

class QLabel;
class QMovie;
class QProgressBar;
class QPushButton;

namespace Qd::Core::Ui {
class GridView;
}

namespace Qd::Core::Tools {

// Texts the window shows and judges by.
inline constexpr const char* kCheckPassed = "检测通过";
inline constexpr const char* kCheckFailed = "发现异常";
inline constexpr const char* kRuleInvalid = "规则无效";

class Tdatacheckupform : public Base::TBaseForm {
    Q_OBJECT
public:
    // `moduleCode`: the module it was opened for (its right codes: module code + "_02" repairs).
    explicit Tdatacheckupform(QWidget* AOwner, const QString& moduleCode = QString());
    ~Tdatacheckupform() override;

    // Reloads the check list with its working columns empty, progress 0.
    void _init();
    void actdoStartExecute();  // tag 0 starts a run, tag 1 ends the one in progress
    void _doStart();
    void _doStop();

    // The checks of the current row: its rows (detailsql, first 1,000 and the total) and its
    // repair (fixsql committed only when the check then passes). Each does nothing unless the
    // window is idle and the row found something.
    void actDetailExecute();
    void actFixExecute();

    // The banner's picture: the program home's locales/assets/img/scan.gif, else ours.
    static QString bannerFile();

    bool bStart = false;
    int checkWaitMs = 100;  // the pause between two checks (the benchmark sets 0)
    Db::RecordSet cdsCheck;

    QLabel* imgBanner;           // owned by the window
    QMovie* bannerMovie;         // child
    QLabel* lblRunning;          // owned by the window
    QLabel* lblWaiting;          // owned by the window
    QProgressBar* pbProgress;    // owned by the window
    QAction* actdoStart;         // child; its data is the tag
    QAction* actDetail;          // child
    QAction* actFix;             // child
    QPushButton* btnStart;       // owned by the window
    QPushButton* btnDetail;      // owned by the window
    QPushButton* btnFix;         // owned by the window
    Ui::GridView* tvCheckItems;  // owned by the window

protected:
    void closeEvent(QCloseEvent* e) override;
    void done(int r) override;

private:
    enum class CheckOutcome { Counted, Failed };
    // Runs the current row's statement and writes its count and verdict into the row.
    CheckOutcome checkCurrent();
    // The count of a check statement: first column of the first row, no row or NULL as 0;
    // nullopt (traced and shown) when the statement fails or the value is not an integer.
    std::optional<qint64> countOf(const QString& checksql);
    // True when a close has to wait for the run loop to unwind (it is remembered and the run
    // asked to end); otherwise ends a run left running and lets the close go on.
    bool closeAfterRun();
    void setRunning(bool on);
    void pause();
    void updateRowActions();
    bool rowFoundSomething() const;
    QString currentText(const char* field) const;
    // The rows of the current check's detailsql for a dialog: the first 1,000 in `rows`;
    // returns the total, -1 when the statement failed.
    int loadDetail(Db::RecordSet& rows);
    // Shows the rows in a dialog; with `fixing` its OK button asks to go on with the repair.
    bool showDetail(Db::RecordSet& rows, int total, bool fixing);

    QString m_moduleCode;
    bool m_inRun = false;           // inside the run loop
    bool m_closeRequested = false;  // a close arrived inside the run loop
};

// The one checkup window while it is open (cleared when it goes).
extern Tdatacheckupform* datacheckupform;

// Opens the checkup as a free-standing window that frees itself when closed; a second call
// brings the open one to the front.
Tdatacheckupform* openDataCheckup(QWidget* owner, const QString& moduleCode);

// Registers the window's open entry under the module's window class.
void registerDataCheckup();

}  // namespace Qd::Core::Tools
