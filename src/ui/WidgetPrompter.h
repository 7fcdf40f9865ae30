#pragma once

#include <memory>

#include "base/Prompter.h"

class QFileDialog;

namespace Qd::Core::Ui {

// The client's prompter: real Qt dialogs. It is the default prompter of the library.
class WidgetPrompter : public IPrompter {
public:
    int message(const QString& text, const QString& title, MsgKind kind,
                MsgButtons buttons) override;
    std::optional<QString> input(const QString& title, const QString& label,
                                 const QString& initial) override;
    QString openFileName(const QString& title, const QString& dir, const QString& filter) override;
    QString saveFileName(const QString& title, const QString& dir, const QString& filter,
                         const QString& defaultSuffix) override;
    QString folder(const QString& title, const QString& dir) override;
    QStringList openFileNames(const QString& title, const QString& dir,
                              const QList<FileFilter>& filters) override;
    bool openDocument(const QString& path) override;
    int exec(QDialog& dialog) override;
};

// The dialog openFileNames runs (tests show it without its modal loop): Qt's own dialog, not the
// platform's, choosing several existing files. Qt reads a filter's patterns from the text in its
// last parentheses, split at blanks, so a caption passed through would filter by its own text
// ("图像文件(*.jpg;*.png)" is one pattern and lists nothing). Each filter is therefore given to Qt
// as "caption (patterns of the mask)" with the parenthesised details hidden: the list shows the
// caption, the mask picks the files.
std::unique_ptr<QFileDialog> makeOpenFilesDialog(QWidget* parent, const QString& title,
                                                 const QString& dir,
                                                 const QList<FileFilter>& filters);

}  // namespace Qd::Core::Ui
