#pragma once

#include <QString>
#include <deque>
#include <functional>
#include <vector>

#include "base/Prompter.h"

namespace Qd::Test {

// A prompter for tests: every question is recorded; answers come from a script queued in
// advance. A question with no scripted answer fails the current test and is answered with the
// cancelling choice, so a test never blocks.
class ScriptedPrompter : public Core::Ui::IPrompter {
public:
    struct Question {
        // "message", "input", "open", "openFiles", "save", "overwrite", "folder", "exec",
        // "document"
        QString what;
        QString text;  // open: the filter; openFiles: the filters, "caption|mask" each, one a
                       // line; document: path
        QString title;
        int kind = 0;
        QString filter;  // save: the filter and the default suffix offered
        QString suffix;
    };

    ScriptedPrompter();            // installs itself
    ~ScriptedPrompter() override;  // restores the previous prompter

    // Queues the answer to the next question (a button for messages, 1/0 for dialogs).
    void answer(int result);
    void answerText(const QString& text);  // input, file and folder questions
    // The files chosen in the next openFileNames, in the dialog's order; none cancels.
    void answerFiles(const QStringList& paths);
    // What openDocument answers from now on (true until told otherwise); it never runs anything
    // and takes nothing from the script.
    void answerDocuments(bool opened) { m_documentsOpen = opened; }
    // The paths openDocument was asked to open, in order.
    QStringList documents() const;
    // Answers with OK every message box asked when no scripted answer is waiting, or when the
    // next one is for a dialog (a message shown before the dialog opens does not take it).
    void acceptAllMessages(bool on) { m_acceptAll = on; }
    // Runs code on the dialog that exec() receives, then returns `result`.
    void answerDialog(std::function<int(QDialog&)> f);

    const std::vector<Question>& asked() const { return m_asked; }
    const Question& last() const;
    // The texts of the message boxes asked, in order.
    QStringList messages() const;
    int pending() const { return int(m_script.size()); }
    void clear();

    int message(const QString& text, const QString& title, Core::Ui::MsgKind kind,
                Core::Ui::MsgButtons buttons) override;
    std::optional<QString> input(const QString& title, const QString& label,
                                 const QString& initial) override;
    QString openFileName(const QString& title, const QString& dir, const QString& filter) override;
    // As the save dialog does: the scripted name gets defaultSuffix when it has none, and an
    // existing file is asked about ("overwrite", answered mrYes or mrNo; No cancels).
    QString saveFileName(const QString& title, const QString& dir, const QString& filter,
                         const QString& defaultSuffix) override;
    QString folder(const QString& title, const QString& dir) override;
    QStringList openFileNames(const QString& title, const QString& dir,
                              const QList<Core::Ui::FileFilter>& filters) override;
    bool openDocument(const QString& path) override;
    int exec(QDialog& dialog) override;

private:
    struct Answer {
        int result = 0;
        QString text;
        bool isText = false;
        std::function<int(QDialog&)> dialog;
        QStringList files;
        bool isFiles = false;
    };
    bool take(const QString& what, Answer& a);
    // Appends a question to asked() and returns it.
    Question& record(const QString& what, const QString& text, const QString& title, int kind = 0);

    Core::Ui::IPrompter* m_previous = nullptr;
    std::deque<Answer> m_script;
    std::vector<Question> m_asked;
    bool m_acceptAll = false;
    bool m_documentsOpen = true;
};

}  // namespace Qd::Test
