// The new-item row of a grid view.
#include <QCoreApplication>
#include <QKeyEvent>
#include <QPainter>

#include "ui/grid/GridInternal.h"

namespace Qd::Core::Ui::Internal {

NewItemBar::NewItemBar(GridView* view)
    : QWidget(view), text(QStringLiteral("点击这里添加新记录")), m_view(view) {
    setObjectName(QStringLiteral("newItemRow"));
    setFocusPolicy(Qt::StrongFocus);
    setCursor(Qt::PointingHandCursor);
}

void NewItemBar::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const QPalette& pal = palette();
    // The indicator's part is an empty indicator cell, the cells' part holds the text.
    const int dataLeft = m_view->viewport()->geometry().left() - geometry().left();
    const QRect indicator(0, 0, dataLeft, height());
    const QRect cells(dataLeft, 0, width() - dataLeft, height());
    p.fillRect(indicator, pal.color(QPalette::Button));
    p.fillRect(cells, hasFocus() ? pal.color(QPalette::Highlight) : pal.color(QPalette::Base));
    p.setPen(pal.color(QPalette::Mid));
    p.drawLine(0, 0, width() - 1, 0);
    p.drawLine(0, height() - 1, width() - 1, height() - 1);
    if (dataLeft > 0)
        p.drawLine(dataLeft - 1, 0, dataLeft - 1, height() - 1);
    p.setPen(hasFocus() ? pal.color(QPalette::HighlightedText)
                        : pal.color(QPalette::PlaceholderText));
    const QRect textRect = cells.adjusted(4, 0, -4, 0);
    p.drawText(textRect, Qt::AlignCenter,
               fontMetrics().elidedText(text, Qt::ElideRight, textRect.width()));
}

void NewItemBar::mousePressEvent(QMouseEvent* e) {
    e->accept();  // the release inside the row is the click
}

void NewItemBar::mouseReleaseEvent(QMouseEvent* e) {
    e->accept();
    if (e->button() == Qt::LeftButton && rect().contains(e->position().toPoint()))
        m_view->appendNewItem();
}

void NewItemBar::keyPressEvent(QKeyEvent* e) {
    switch (e->key()) {
        case Qt::Key_Up:
            m_view->setFocus(Qt::TabFocusReason);
            return;
        case Qt::Key_Return:
        case Qt::Key_Enter:
        case Qt::Key_Space:
        case Qt::Key_F2:
        case Qt::Key_Insert:
            m_view->appendNewItem();
            return;
        default:
            break;
    }
    // Typed text starts the new record: the key goes on to its first cell, which opens its
    // editor with it.
    if (!e->text().isEmpty() && e->text().at(0).isPrint() &&
        !(e->modifiers() & (Qt::ControlModifier | Qt::AltModifier))) {
        if (m_view->appendNewItem()) {
            QKeyEvent typed(e->type(), e->key(), e->modifiers(), e->text());
            QCoreApplication::sendEvent(m_view, &typed);
        }
        return;
    }
    QWidget::keyPressEvent(e);
}

}  // namespace Qd::Core::Ui::Internal
