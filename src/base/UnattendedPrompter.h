#pragma once

#include <QString>
#include <functional>

#include "base/Prompter.h"

namespace Qd::Core::Ui {

// The prompter of a program that runs without a user (a fuzz target, a benchmark, a test's
// writer process): every question is answered at once. A message box is answered with its
// accepting button (OK, or Yes) or, declining, with its refusing one (OK where it is the only
// one, else No or Cancel); it can be echoed to standard error. No file, folder or input is
// chosen and no document opened; a dialog goes to `onDialog`, and is rejected without one.
class UnattendedPrompter : public IPrompter {
public:
    enum class Answer { Accept, Decline };
    explicit UnattendedPrompter(Answer answer = Answer::Accept, bool echo = true)
        : m_answer(answer), m_echo(echo) {}

    QString lastMessage;
    int messages = 0;
    std::function<int(QDialog&)> onDialog;

    int message(const QString& text, const QString& title, MsgKind kind,
                MsgButtons buttons) override;
    std::optional<QString> input(const QString&, const QString&, const QString&) override {
        return std::nullopt;
    }
    QString openFileName(const QString&, const QString&, const QString&) override { return {}; }
    QString saveFileName(const QString&, const QString&, const QString&, const QString&) override {
        return {};
    }
    QString folder(const QString&, const QString&) override { return {}; }
    QStringList openFileNames(const QString&, const QString&, const QList<FileFilter>&) override {
        return {};
    }
    bool openDocument(const QString&) override { return false; }
    int exec(QDialog& dialog) override { return onDialog ? onDialog(dialog) : 0; }

private:
    Answer m_answer;
    bool m_echo;
};

}  // namespace Qd::Core::Ui
