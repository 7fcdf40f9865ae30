#pragma once
// The prompter of the test programs that write as a client writes (batch_writer, order_worker):
// every question is answered at once, so that a program never waits for a user. Message boxes
// are written to standard error and answered OK, the last one kept; a dialog goes to `onDialog`
// (rejected when there is none).
#include <QDialog>
#include <QString>
#include <cstdio>
#include <functional>

#include "base/Prompter.h"

namespace Qd::Test {

class StreamPrompter : public Core::Ui::IPrompter {
public:
    QString lastMessage;
    int messages = 0;
    std::function<int(QDialog&)> onDialog;

    int message(const QString& text, const QString&, Core::Ui::MsgKind,
                Core::Ui::MsgButtons) override {
        lastMessage = text;
        ++messages;
        std::fprintf(stderr, "message: %s\n", text.toUtf8().constData());
        return Core::Ui::mrOk;
    }
    std::optional<QString> input(const QString&, const QString&, const QString&) override {
        return std::nullopt;
    }
    QString openFileName(const QString&, const QString&, const QString&) override { return {}; }
    QString saveFileName(const QString&, const QString&, const QString&, const QString&) override {
        return {};
    }
    QString folder(const QString&, const QString&) override { return {}; }
    QStringList openFileNames(const QString&, const QString&,
                              const QList<Core::Ui::FileFilter>&) override {
        return {};
    }
    bool openDocument(const QString&) override { return false; }
    int exec(QDialog& dialog) override { return onDialog ? onDialog(dialog) : 0; }
};

}  // namespace Qd::Test
