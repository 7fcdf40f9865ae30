#include "ui/WidgetPrompter.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDialog>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QUrl>

namespace Qd::Core::Ui {

namespace {
QMessageBox::Icon iconOf(MsgKind kind) {
    switch (kind) {
        case MsgKind::Error:
            return QMessageBox::Critical;
        case MsgKind::Confirmation:
            return QMessageBox::Question;
        case MsgKind::Information:
            break;
    }
    return QMessageBox::Information;
}
// The widget prompter answers while no other is installed.
[[maybe_unused]] const bool registered = [] {
    static WidgetPrompter widgets;
    setDefaultPrompter(&widgets);
    return true;
}();
}  // namespace

int WidgetPrompter::message(const QString& text, const QString& title, MsgKind kind,
                            MsgButtons buttons) {
    QMessageBox box(iconOf(kind), title, text, QMessageBox::NoButton, QApplication::activeWindow());
    switch (buttons) {
        case MsgButtons::Ok:
            box.addButton(QStringLiteral("确定"), QMessageBox::AcceptRole);
            break;
        case MsgButtons::OkCancel:
            box.setDefaultButton(box.addButton(QStringLiteral("确定"), QMessageBox::AcceptRole));
            box.addButton(QStringLiteral("取消"), QMessageBox::RejectRole);
            break;
        case MsgButtons::YesNo:
            box.setDefaultButton(box.addButton(QStringLiteral("是"), QMessageBox::YesRole));
            box.addButton(QStringLiteral("否"), QMessageBox::NoRole);
            break;
        case MsgButtons::YesNoCancel:
            box.setDefaultButton(box.addButton(QStringLiteral("是"), QMessageBox::YesRole));
            box.addButton(QStringLiteral("否"), QMessageBox::NoRole);
            box.addButton(QStringLiteral("取消"), QMessageBox::RejectRole);
            break;
    }
    box.exec();
    const QMessageBox::ButtonRole role = box.buttonRole(box.clickedButton());
    if (buttons == MsgButtons::YesNo)
        return role == QMessageBox::YesRole ? mrYes : mrNo;
    if (buttons == MsgButtons::YesNoCancel)
        return role == QMessageBox::YesRole ? mrYes : role == QMessageBox::NoRole ? mrNo : mrCancel;
    if (buttons == MsgButtons::OkCancel)
        return role == QMessageBox::AcceptRole ? mrOk : mrCancel;
    return mrOk;
}

std::optional<QString> WidgetPrompter::input(const QString& title, const QString& label,
                                             const QString& initial) {
    bool ok = false;
    const QString text = QInputDialog::getText(QApplication::activeWindow(), title, label,
                                               QLineEdit::Normal, initial, &ok);
    if (!ok)
        return std::nullopt;
    return text;
}

QString WidgetPrompter::openFileName(const QString& title, const QString& dir,
                                     const QString& filter) {
    return QFileDialog::getOpenFileName(QApplication::activeWindow(), title, dir, filter);
}

QString WidgetPrompter::saveFileName(const QString& title, const QString& dir,
                                     const QString& filter, const QString& defaultSuffix) {
    // The dialog adds the suffix before its overwrite question, so the file it asks about is
    // the file that will be written.
    QFileDialog dialog(QApplication::activeWindow(), title, dir, filter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(defaultSuffix);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    return dialog.selectedFiles().constFirst();
}

QString WidgetPrompter::folder(const QString& title, const QString& dir) {
    return QFileDialog::getExistingDirectory(QApplication::activeWindow(), title, dir);
}

QStringList WidgetPrompter::openFileNames(const QString& title, const QString& dir,
                                          const QList<FileFilter>& filters) {
    const std::unique_ptr<QFileDialog> dialog =
        makeOpenFilesDialog(QApplication::activeWindow(), title, dir, filters);
    if (dialog->exec() != QDialog::Accepted)
        return {};
    return dialog->selectedFiles();
}

bool WidgetPrompter::openDocument(const QString& path) {
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

std::unique_ptr<QFileDialog> makeOpenFilesDialog(QWidget* parent, const QString& title,
                                                 const QString& dir,
                                                 const QList<FileFilter>& filters) {
    auto dialog = std::make_unique<QFileDialog>(parent, title, dir);
    dialog->setOption(QFileDialog::DontUseNativeDialog);
    dialog->setOption(QFileDialog::HideNameFilterDetails);
    dialog->setFileMode(QFileDialog::ExistingFiles);
    dialog->setAcceptMode(QFileDialog::AcceptOpen);
    QStringList nameFilters;
    for (const FileFilter& f : filters)
        nameFilters << qtFileFilter(f);
    if (!nameFilters.isEmpty())
        dialog->setNameFilters(nameFilters);
    return dialog;
}

int WidgetPrompter::exec(QDialog& dialog) {
    return dialog.exec();
}

}  // namespace Qd::Core::Ui
