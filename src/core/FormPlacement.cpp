#include "core/FormPlacement.h"

#include <QGuiApplication>
#include <QScreen>
#include <QSettings>
#include <QWidget>
#include <algorithm>

#include "base/OwnerOnly.h"
#include "core/GridHelpers.h"

namespace Qd::Core::Base {

namespace {
QSize screenSize(const QWidget* form) {
    const QScreen* screen = form->screen() ? form->screen() : QGuiApplication::primaryScreen();
    return screen ? screen->geometry().size() : QSize(1024, 768);
}

// The main window's stored height carries 31 pixels more than its normal rectangle (a frame
// that Qt's geometry does not include): added when written, taken off again when read, so that
// the window keeps its size from session to session.
int heightAllowance(const QWidget* form) {
    return QByteArray(form->metaObject()->className()).endsWith("TMainForm") ? 31 : 0;
}

// The section's keys and values for the form as it is: the normal rectangle, whatever the
// maximised state.
QList<QPair<QString, int>> placementOf(QWidget* form) {
    const QRect normal = form->isMaximized() ? form->normalGeometry() : form->geometry();
    return {{QStringLiteral("Left"), normal.left()},
            {QStringLiteral("Top"), normal.top()},
            {QStringLiteral("Width"), normal.width()},
            {QStringLiteral("Height"), normal.height() + heightAllowance(form)},
            {QStringLiteral("Maximized"), form->isMaximized() ? 1 : 0}};
}

}  // namespace

void readPlacement(QWidget* form) {
    QSettings ini(GetIniFilePath(), QSettings::IniFormat);
    ini.beginGroup(form->objectName());
    const QSize screen = screenSize(form);
    const QSize design = form->size();
    int left = ini.value(QStringLiteral("Left"), (screen.width() - design.width()) / 2).toInt();
    int top = ini.value(QStringLiteral("Top"), (screen.height() - design.height()) / 2).toInt();
    const int width = std::max(ini.value(QStringLiteral("Width"), 0).toInt(), design.width());
    const int stored = ini.contains(QStringLiteral("Height"))
                           ? ini.value(QStringLiteral("Height")).toInt() - heightAllowance(form)
                           : 0;
    const int height = std::max(stored, design.height());
    if (left > screen.width())
        left -= screen.width();
    if (top > screen.height())
        top -= screen.height();
    form->setGeometry(left, top, width, height);
    if (ini.value(QStringLiteral("Maximized"), 0).toInt() != 0)
        form->setWindowState(form->windowState() | Qt::WindowMaximized);
}

void writePlacement(QWidget* form) {
    const QString path = GetIniFilePath();
    Sys::ownerOnlyFolderOf(path);
    {
        QSettings ini(path, QSettings::IniFormat);
        ini.beginGroup(form->objectName());
        const QList<QPair<QString, int>> placement = placementOf(form);
        // A dialog closed where it opened (most are) leaves the file alone.
        if (std::all_of(placement.begin(), placement.end(), [&](const QPair<QString, int>& kv) {
                const QVariant stored = ini.value(kv.first);
                return stored.isValid() && stored.toInt() == kv.second;
            }))
            return;
        for (const auto& [key, value] : placement)
            ini.setValue(key, value);
    }
    Sys::ownerOnly(path);
}

}  // namespace Qd::Core::Base
