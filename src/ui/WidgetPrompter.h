#pragma once

#include "base/Prompter.h"

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
    int exec(QDialog& dialog) override;
};

}  // namespace Qd::Core::Ui
