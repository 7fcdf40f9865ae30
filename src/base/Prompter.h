#pragma once

#include <QString>
#include <QStringList>
#include <memory>
#include <optional>

class QDialog;
class QWidget;

namespace Qd::Core::Ui {

// Kinds and buttons of a message box, numbered as module code passes them.
enum class MsgKind { Error = 1, Information = 2, Confirmation = 3 };
enum class MsgButtons { Ok, OkCancel, YesNo, YesNoCancel };

// Results of a message box: the button pressed.
inline constexpr int mrOk = 1;
inline constexpr int mrCancel = 2;
inline constexpr int mrYes = 6;
inline constexpr int mrNo = 7;

// One file type of a file-open question: the caption the dialog shows, exactly as given, and the
// mask that picks its files, patterns separated by ';' ("*.jpg;*.jpeg;*.png"; "*.*" is every
// file, with or without an extension).
struct FileFilter {
    QString caption;
    QString mask;
};

// A file type as the file dialog takes it: the caption, then the mask's patterns between
// parentheses, separated by blanks. "*.*" means every file, also one without an extension.
QString qtFileFilter(const FileFilter& filter);
// The same for a filter text of captions and masks separated by '|' ("所有文件|*.*" or
// "图片|*.jpg;*.png|所有文件|*.*"), the types joined by ";;".
QString qtFileFilter(const QString& captionsAndMasks);

// Every modal question the framework asks goes through the installed prompter: message boxes,
// input boxes, file and folder choices, and the exec() of every dialog. The client installs the
// widget prompter, which shows real dialogs; tests install a scripted one that records each
// question and answers it, so no test ever enters a modal loop.
class IPrompter {
public:
    virtual ~IPrompter() = default;

    // A message box; returns the button pressed (mrOk, mrCancel, mrYes, mrNo).
    virtual int message(const QString& text, const QString& title, MsgKind kind,
                        MsgButtons buttons) = 0;
    // A one-line input box; nullopt when cancelled.
    virtual std::optional<QString> input(const QString& title, const QString& label,
                                         const QString& initial) = 0;
    // File choices; an empty text when cancelled. filter as QFileDialog takes it.
    virtual QString openFileName(const QString& title, const QString& dir,
                                 const QString& filter) = 0;
    // The name chosen to save under, with defaultSuffix (no dot) added when the user typed none;
    // the question whether to overwrite an existing file is part of the choice.
    virtual QString saveFileName(const QString& title, const QString& dir, const QString& filter,
                                 const QString& defaultSuffix = QString()) = 0;
    virtual QString folder(const QString& title, const QString& dir) = 0;
    // Several files at once, offered by the types of `filters` (the first chosen first); the
    // chosen paths in the order the dialog gives them, empty when cancelled.
    virtual QStringList openFileNames(const QString& title, const QString& dir,
                                      const QList<FileFilter>& filters) = 0;
    // Opens a file in the program the desktop associates with it (the shell's "open"); false
    // when no program takes it.
    virtual bool openDocument(const QString& path) = 0;
    // Runs a modal dialog and returns its result code (QDialog::Accepted = 1, Rejected = 0).
    virtual int exec(QDialog& dialog) = 0;
};

// The prompter in force: the installed one, else the default one (the widget kit registers its
// widget prompter as the default when the library loads).
IPrompter& prompter();
// Installs a prompter (not owned) and returns the previous one; nullptr restores the default.
IPrompter* setPrompter(IPrompter* p);
// Sets the prompter used while none is installed (not owned; it must outlive its use).
void setDefaultPrompter(IPrompter* p);

}  // namespace Qd::Core::Ui
