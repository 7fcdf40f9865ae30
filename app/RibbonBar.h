#pragma once

#include <QTabWidget>

class QAction;
class QHBoxLayout;

namespace Qd::App {

// The ribbon of the main window: tabs of labelled groups, each group a row of large buttons
// (icon above caption) that show and trigger the form's actions.
class RibbonBar : public QTabWidget {
    Q_OBJECT
public:
    explicit RibbonBar(QWidget* parent = nullptr);

    // The group `group` of tab `tab`, both made on first use, in the order they are first named.
    QWidget* group(const QString& tab, const QString& group);
    // A large button for `action` at the end of the group.
    void addLargeButton(const QString& tab, const QString& group, QAction* action);

private:
    QWidget* tabPage(const QString& tab);
    QHBoxLayout* buttonRow(QWidget* group) const;
};

}  // namespace Qd::App
