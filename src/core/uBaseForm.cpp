#include "core/uBaseForm.h"

#include <QHBoxLayout>

#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextEdit>

#include "core/FormPlacement.h"
#include "core/uMyCxGrid.h"
#include "ui/grid/Grid.h"

namespace Qd::Core::Base {

bool enterMovesToNextField(QWidget* window) {
    QWidget* focused = window->focusWidget();
    if (!focused)
        return false;
    // Multi-line editors take the key as a line break (their viewport may hold the focus).
    for (QWidget* w = focused; w && w != window; w = w->parentWidget())
        if (qobject_cast<QPlainTextEdit*>(w) || qobject_cast<QTextEdit*>(w))
            return false;
    // The same move as the Tab key.
    QWidget* next = focused->nextInFocusChain();
    while (next && next != focused &&
           (!(next->focusPolicy() & Qt::TabFocus) || !next->isVisibleTo(window) ||
            !next->isEnabled() || !window->isAncestorOf(next)))
        next = next->nextInFocusChain();
    if (!next || next == focused)
        return false;
    next->setFocus(Qt::TabFocusReason);
    return true;
}

void setCommonLook(QWidget* form) {
    for (Ui::Grid* grid : form->findChildren<Ui::Grid*>())
        TMyCxGrid::setGridProp(grid);
    for (Ui::GridTreeView* tree : form->findChildren<Ui::GridTreeView*>())
        tree->setDataRowHeight(kTreeRowHeight);
}

TBaseForm::TBaseForm(QWidget* owner) : QDialog(owner) {}

TBaseForm::~TBaseForm() {
    if (m_created && !m_placementSaved)
        WriteIniSettings();
}

void TBaseForm::done(int r) {
    if (m_created) {
        WriteIniSettings();
        m_placementSaved = true;
    }
    QDialog::done(r);
}

void TBaseForm::FormCreate() {
    if (m_created)
        return;
    m_created = true;
    ReadIniSettings();
    setComponentsProp();
}

void TBaseForm::ReadIniSettings() {
    readPlacement(this);
}
void TBaseForm::WriteIniSettings() {
    writePlacement(this);
}

void TBaseForm::setComponentsProp() {
    setCommonLook(this);
}

void TBaseForm::keyPressEvent(QKeyEvent* e) {
    // Enter moves on, before the dialog would take it for its default button.
    if ((e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) && enterMovesToNextField(this)) {
        e->accept();
        return;
    }
    QDialog::keyPressEvent(e);
}

QHBoxLayout* closingButtons(QWidget* parent, QAction* ok, QAction* cancel) {
    auto* row = new QHBoxLayout;
    row->addStretch();
    QPushButton* okButton = buttonFor(ok, parent);
    okButton->setDefault(true);
    row->addWidget(okButton);
    if (cancel)
        row->addWidget(buttonFor(cancel, parent));
    return row;
}

QPushButton* buttonFor(QAction* action, QWidget* parent) {
    auto* b = new QPushButton(action->text(), parent);
    b->setEnabled(action->isEnabled());
    QObject::connect(b, &QPushButton::clicked, action, &QAction::trigger);
    QObject::connect(action, &QAction::changed, b,
                     [b, action] { b->setEnabled(action->isEnabled()); });
    return b;
}

}  // namespace Qd::Core::Base
