#pragma once

#include <QAction>
#include <QDialog>
#include <QMap>

class QPushButton;

class QHBoxLayout;

namespace Qd::Core::Base {

// The base of every dialog and tool window: placement restored on creation and saved when it
// closes, the controls' common look, and Enter moving to the next field.
class TBaseForm : public QDialog {
    Q_OBJECT
public:
    explicit TBaseForm(QWidget* owner = nullptr);
    ~TBaseForm() override;

    // The creation steps: placement, then the common look. Call once the dialog is built (the
    // constructor of the most derived class, or its creator).
    void FormCreate();

    // Dialogs always keep their placement: WriteIniSettings runs each time the dialog closes
    // (accepted, rejected or closed), while the object is whole; a dialog deleted without
    // closing runs it from the destructor, where only this class's WriteIniSettings is left.
    virtual void ReadIniSettings();
    virtual void WriteIniSettings();
    virtual void setComponentsProp();

    void done(int r) override;

    QList<QAction*> actList;
    QMap<QString, QString> SQLStore;

protected:
    void keyPressEvent(QKeyEvent* e) override;

private:
    bool m_created = false;
    bool m_placementSaved = false;  // by a close
};

// A push button captioned as `action` that triggers it and follows its enabled state.
QPushButton* buttonFor(QAction* action, QWidget* parent);
// The row of a window's closing buttons, at its right: `ok` (the default button), then `cancel`
// when given. A window's own buttons go in front with insertWidget.
QHBoxLayout* closingButtons(QWidget* parent, QAction* ok, QAction* cancel = nullptr);

// Moves focus on from the focused control when Enter is pressed in it, unless it takes line
// breaks (a memo or rich text). Returns true when it moved.
bool enterMovesToNextField(QWidget* window);

// The common look of the controls a form owns: data grids get the grids' look (setGridProp),
// data-bound tree lists a row height of kTreeRowHeight.
inline constexpr int kTreeRowHeight = 25;
void setCommonLook(QWidget* form);

}  // namespace Qd::Core::Base
