// The two headers of a grid view: column captions with the band row, and the row indicator.
#include <QMouseEvent>
#include <QPainter>
#include <QStyleOptionHeader>

#include "ui/grid/GridInternal.h"

namespace Qd::Core::Ui::Internal {

// ---- ColumnHeader ---------------------------------------------------------------------------

ColumnHeader::ColumnHeader(GridView* view) : QHeaderView(Qt::Horizontal, view), m_view(view) {}

void ColumnHeader::setRowHeight(int h) {
    m_rowHeight = qMax(0, h);
    updateGeometry();
    viewport()->update();
}

// The style's height of a caption row; also when no section is shown (the header keeps its
// height over an empty or not yet bound view).
int ColumnHeader::naturalRowHeight() const {
    const int fromSections = QHeaderView::sizeHint().height();
    const int fromFont =
        fontMetrics().height() + 2 * style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, this);
    return qMax(fromSections, fromFont);
}

int ColumnHeader::bandHeight() const {
    return m_view->bandHeaderVisible() && !m_view->bands().isEmpty() ? naturalRowHeight() : 0;
}

QSize ColumnHeader::sizeHint() const {
    QSize s = QHeaderView::sizeHint();
    s.setHeight((m_rowHeight > 0 ? m_rowHeight : naturalRowHeight()) + bandHeight());
    return s;
}

void ColumnHeader::paintEvent(QPaintEvent* e) {
    QHeaderView::paintEvent(e);
    if (bandHeight() > 0) {
        QPainter p(viewport());
        paintBands(p);
    }
}

// The caption row sits under the band row.
void ColumnHeader::paintSection(QPainter* p, const QRect& rect, int logicalIndex) const {
    QRect r = rect;
    r.setTop(rect.top() + bandHeight());
    QHeaderView::paintSection(p, r, logicalIndex);
}

void ColumnHeader::initStyleOptionForIndex(QStyleOptionHeader* option, int logicalIndex) const {
    QHeaderView::initStyleOptionForIndex(option, logicalIndex);
    const GridColumn* c = m_view->columnAt(logicalIndex);
    if (!c)
        return;
    if (!c->caption.isEmpty())
        option->text = c->caption;
    // Every sorted column shows its arrow (the header itself knows only one), pointing up for
    // ascending as the users' grids always have.
    if (c->sortIndex < 0)
        option->sortIndicator = QStyleOptionHeader::None;
    else
        option->sortIndicator = c->sortOrder == Qt::AscendingOrder ? QStyleOptionHeader::SortUp
                                                                   : QStyleOptionHeader::SortDown;
}

// One band cell over each run of adjacent visible columns of the same band; columns without a
// band get an empty cell.
void ColumnHeader::paintBands(QPainter& p) const {
    const int height = bandHeight();
    const QStringList bands = m_view->bands();
    int start = 0, end = 0, band = -2;
    auto flush = [&] {
        if (band == -2 || end <= start)
            return;
        QStyleOptionHeader opt;
        initStyleOption(&opt);
        // Cut to what is visible (borders just outside), so that a band scrolled partly out
        // of view still shows its caption over its visible columns.
        opt.rect = QRect(start, 0, end - start, height)
                       .intersected(viewport()->rect().adjusted(-2, 0, 2, 0));
        opt.text = band >= 0 ? bands[band] : QString();
        opt.textAlignment = Qt::AlignCenter;
        opt.position = QStyleOptionHeader::Middle;
        opt.section = 0;
        opt.sortIndicator = QStyleOptionHeader::None;
        opt.state |= QStyle::State_Raised;
        style()->drawControl(QStyle::CE_Header, &opt, &p, this);
    };
    for (int visual = 0; visual < count(); ++visual) {
        const int logical = logicalIndex(visual);
        if (isSectionHidden(logical))
            continue;
        const GridColumn* c = m_view->columnAt(logical);
        const int b = c && c->band >= 0 && c->band < bands.size() ? c->band : -1;
        const int x = sectionViewportPosition(logical);
        if (b != band) {
            flush();
            band = b;
            start = x;
        }
        end = x + sectionSize(logical);
    }
    flush();
}

void ColumnHeader::mousePressEvent(QMouseEvent* e) {
    m_pressInBands = e->position().y() < bandHeight();
    if (!m_pressInBands)
        QHeaderView::mousePressEvent(e);
}

void ColumnHeader::mouseMoveEvent(QMouseEvent* e) {
    if (m_pressInBands)
        return;
    if (e->buttons() == Qt::NoButton && e->position().y() < bandHeight()) {
        unsetCursor();  // no resize handles on the band row
        return;
    }
    QHeaderView::mouseMoveEvent(e);
}

void ColumnHeader::mouseReleaseEvent(QMouseEvent* e) {
    if (m_pressInBands) {
        m_pressInBands = false;
        return;
    }
    m_clickModifiers = e->modifiers();
    QHeaderView::mouseReleaseEvent(e);
}

void ColumnHeader::mouseDoubleClickEvent(QMouseEvent* e) {
    if (e->position().y() < bandHeight())
        return;
    QHeaderView::mouseDoubleClickEvent(e);
}

// ---- IndicatorHeader ------------------------------------------------------------------------

IndicatorHeader::IndicatorHeader(GridView* view) : QHeaderView(Qt::Vertical, view), m_view(view) {}

void IndicatorHeader::setPainter(GridView::IndicatorPainter painter) {
    m_painter = std::move(painter);
    viewport()->update();
}

void IndicatorHeader::paintSection(QPainter* p, const QRect& rect, int logicalIndex) const {
    if (!m_painter) {
        QHeaderView::paintSection(p, rect, logicalIndex);
        return;
    }
    int focused = m_view->currentIndex().row();
    if (focused < 0 && m_view->recordSet())
        focused = m_view->recordSet()->recNo();
    p->save();
    m_painter(*p, rect, logicalIndex, logicalIndex == focused, m_view->isEditing());
    p->restore();
}

bool IndicatorHeader::eventFilter(QObject* watched, QEvent* e) {
    if (e->type() == QEvent::Paint && m_painter && watched->isWidgetType()) {
        auto* corner = static_cast<QWidget*>(watched);
        QPainter p(corner);
        m_painter(p, corner->rect(), -1, false, m_view->isEditing());
        return true;
    }
    return QHeaderView::eventFilter(watched, e);
}

}  // namespace Qd::Core::Ui::Internal
