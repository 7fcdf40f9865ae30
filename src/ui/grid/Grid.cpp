#include "ui/grid/Grid.h"

#include <QAbstractButton>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QScopedValueRollback>
#include <QScrollBar>
#include <QStackedWidget>
#include <QTabBar>
#include <QVBoxLayout>
#include <algorithm>

#include "base/Dispatch.h"
#include "db/DataServices.h"
#include "ui/editors/Editors.h"
#include "ui/grid/GridInternal.h"

namespace Qd::Core::Ui {

namespace {

using Sys::dispatch;

// The one place grid views get their cell delegate.
void installDelegate(GridView* view) {
    view->setItemDelegate(new ColumnDelegate(view));
}

}  // namespace

// ---- GridColumn -----------------------------------------------------------------------------

GridColumn::GridColumn(GridView* view, const QString& name) : QObject(view), m_view(view) {
    setObjectName(name);
}

int GridColumn::index() const {
    return m_view ? int(m_view->columns().indexOf(const_cast<GridColumn*>(this))) : -1;
}

// ---- GridView -------------------------------------------------------------------------------

struct GridView::Impl {
    explicit Impl(GridView* view) : q(view) {}

    GridView* q;
    Db::RecordSetModel* model = nullptr;             // owned by q
    Internal::ColumnHeader* header = nullptr;        // owned by q
    Internal::IndicatorHeader* indicator = nullptr;  // owned by q
    Internal::FooterBar* footer = nullptr;           // owned by q
    Internal::NewItemBar* newItemBar = nullptr;      // owned by q
    QAbstractButton* corner = nullptr;               // owned by q (the table's corner button)
    MemoPopup* memoPopup = nullptr;                  // owned by q, made on first use

    QList<GridColumn*> columns;  // owned by q as its QObject children; display order
    QList<GridColumn*> byField;  // the column shown for each model column, or null
    QStringList syncedFields;    // the record set's fields when the sections were last placed
    QStringList bands;
    bool bandHeaderVisible = true;
    QString emptyText;
    bool columnChooser = false;
    bool footerVisible = false;
    bool newItemRowVisible = false;
    bool autoWidth = false;
    bool enterMovesToNextCell = false;
    std::function<bool(int)> rowEditable;
    std::function<RowStyle(int)> rowStyle;
    Internal::GroupedRows* groups = nullptr;  // owned by q; null when not grouped
    RowStyle groupStyle;
    int indicatorWidth = 0;  // 0: as wide as the row numbers need

    // Re-entrancy guards: our own section changes are not user changes; while the model
    // changes shape the view must not move the cursor; a cursor move that came from the record
    // set must not be sent back to it.
    bool syncing = false;
    bool modelChanging = false;
    bool followingCursor = false;
    bool inGeometries = false;
    bool geometriesPending = false;  // a hidden view places its parts when shown or resized
    bool placeHidden = false;        // set while a resize or show places a hidden view
    bool applyQueued = false;
    bool wasActive = false;

    mutable QHash<const GridColumn*, QString> footerCache;

    Db::RecordSet* rs() const { return model->recordSet(); }
    int fieldOf(const GridColumn* c) const {
        return rs() && !c->fieldName.isEmpty() ? rs()->fieldIndex(c->fieldName) : -1;
    }
    bool bandsShown() const { return bandHeaderVisible && !bands.isEmpty(); }

    void groupByBand();
    void syncSections();
    void fitColumns();
    void followCursor(int row);
    int firstShownColumn() const;  // logical index; 0 when none is shown
    void queueApply();
    void updateSortIndicator();
    bool fieldsAsSynced() const;
    void footerChanged();
    void onSectionResized(int logical, int oldSize, int newSize);
    void onSectionMoved();
    void onSectionClicked(int logical);
    void showColumnChooser(const QPoint& pos);
    void onRecordStateChanged();
    void showModel(QAbstractItemModel* shown);
    void paintGroupRows(QPainter& p) const;
    int rowOf(int record) const { return groups ? groups->rowOfRecord(record) : record; }
    int recordOf(int row) const { return groups ? groups->recordAt(row) : row; }
    QModelIndex viewIndex(int record, int column) const {
        return q->model()->index(rowOf(record), column);
    }
};

// Columns stay together under their bands: a stable ordering by band, columns without a band
// after the banded ones.
void GridView::Impl::groupByBand() {
    if (!bandsShown())
        return;
    const int none = int(bands.size());
    auto bandKey = [none](const GridColumn* c) {
        return c->band >= 0 && c->band < none ? c->band : none;
    };
    std::stable_sort(columns.begin(), columns.end(), [&](const GridColumn* a, const GridColumn* b) {
        return bandKey(a) < bandKey(b);
    });
}

// Puts the header's sections into the columns' order and shows, hides and sizes them. Model
// columns without a column (and columns whose field is already shown) stay hidden at the end.
void GridView::Impl::syncSections() {
    QScopedValueRollback guard(syncing, true);
    const int n = model->columnCount();
    syncedFields.clear();
    if (const Db::RecordSet* set = rs(); set && set->fieldCount() == n)  // none while closed
        for (int f = 0; f < n; ++f)
            syncedFields << set->fieldDef(f).name;
    byField = QList<GridColumn*>(n, nullptr);
    std::vector<int> order;
    order.reserve(n);
    for (GridColumn* c : columns) {
        const int f = fieldOf(c);
        if (f >= 0 && f < n && !byField[f]) {
            byField[f] = c;
            order.push_back(f);
        }
    }
    for (int f = 0; f < n; ++f)
        if (!byField[f])
            order.push_back(f);
    for (int visual = 0; visual < int(order.size()); ++visual) {
        const int from = header->visualIndex(order[visual]);
        if (from != visual)
            header->moveSection(from, visual);
    }
    for (int f = 0; f < n; ++f) {
        const GridColumn* c = byField[f];
        header->setSectionHidden(f, !c || !c->visible);
        if (c && c->visible && !autoWidth)
            header->resizeSection(f, qMax(c->width, header->minimumSectionSize()));
    }
    fitColumns();
    updateSortIndicator();
    header->updateGeometry();
    header->viewport()->update();
}

// Whether the record set has the fields the sections were placed for, in the same order. The
// header keeps its sections through a reset that leaves their number alone, so a record set
// opened again on the same statement needs them placed no further.
bool GridView::Impl::fieldsAsSynced() const {
    const Db::RecordSet* set = rs();
    if (!set || set->fieldCount() != syncedFields.size() ||
        model->columnCount() != set->fieldCount())
        return false;
    for (int f = 0; f < set->fieldCount(); ++f)
        if (set->fieldDef(f).name != syncedFields[f])
            return false;
    return true;
}

// Auto width: the visible columns share the viewport's width in proportion to their widths.
void GridView::Impl::fitColumns() {
    if (!autoWidth || byField.isEmpty())
        return;
    const int available = q->viewport()->width();
    if (available <= 0)
        return;
    std::vector<int> shown;
    double total = 0;
    for (int visual = 0; visual < header->count(); ++visual) {
        const int logical = header->logicalIndex(visual);
        if (logical < byField.size() && byField[logical] && !header->isSectionHidden(logical)) {
            shown.push_back(logical);
            total += qMax(1, byField[logical]->width);
        }
    }
    if (shown.empty())
        return;
    QScopedValueRollback guard(syncing, true);
    int used = 0;
    double share = 0;
    for (std::size_t i = 0; i < shown.size(); ++i) {
        share += qMax(1, byField[shown[i]]->width) * available / total;
        // Rounded cumulatively so that the columns end exactly at the viewport's edge.
        const int end = i + 1 == shown.size() ? available : int(share + 0.5);
        header->resizeSection(shown[i], qMax(end - used, 1));
        used = end;
    }
}

void GridView::Impl::followCursor(int row) {
    QScopedValueRollback guard(followingCursor, true);
    QItemSelectionModel* sel = q->selectionModel();
    if (row < 0 || row >= model->rowCount()) {
        sel->clearCurrentIndex();
        return;
    }
    int column = q->currentIndex().isValid() ? q->currentIndex().column() : -1;
    if (column < 0 || header->isSectionHidden(column))
        column = firstShownColumn();
    if (q->currentIndex().row() == rowOf(row))
        return;
    const auto flags = q->selectionBehavior() == QAbstractItemView::SelectRows
                           ? QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows
                           : QItemSelectionModel::ClearAndSelect;
    sel->setCurrentIndex(viewIndex(row, column), flags);
}

int GridView::Impl::firstShownColumn() const {
    for (int visual = 0; visual < header->count(); ++visual)
        if (!header->isSectionHidden(header->logicalIndex(visual)))
            return header->logicalIndex(visual);
    return 0;
}

void GridView::Impl::queueApply() {
    if (applyQueued)
        return;
    applyQueued = true;
    QMetaObject::invokeMethod(
        q,
        [this] {
            if (applyQueued)
                q->applyColumns();
        },
        Qt::QueuedConnection);
}

void GridView::Impl::updateSortIndicator() {
    const GridColumn* primary = nullptr;
    for (const GridColumn* c : columns)
        if (c->sortIndex >= 0 && fieldOf(c) >= 0 && (!primary || c->sortIndex < primary->sortIndex))
            primary = c;
    // The header's own indicator only marks the primary column for the style; the arrows of
    // every sorted column are drawn from the columns (ColumnHeader).
    header->setSortIndicator(primary ? fieldOf(primary) : -1,
                             primary ? primary->sortOrder : Qt::AscendingOrder);
}

void GridView::Impl::footerChanged() {
    footerCache.clear();
    if (footerVisible)
        footer->update();
}

void GridView::Impl::onSectionResized(int logical, int oldSize, int newSize) {
    footer->update();
    header->viewport()->update();  // band captions are centred over their columns
    if (syncing || newSize <= 0 || logical >= byField.size() || !byField[logical])
        return;
    if (autoWidth) {
        // The next visible column gives or takes the difference, so that the columns still
        // fill the width; the shares become the sizes now shown.
        for (int visual = header->visualIndex(logical) + 1; visual < header->count(); ++visual) {
            const int next = header->logicalIndex(visual);
            if (!header->isSectionHidden(next)) {
                QScopedValueRollback guard(syncing, true);
                header->resizeSection(next, qMax(header->minimumSectionSize(),
                                                 header->sectionSize(next) - (newSize - oldSize)));
                break;
            }
        }
        for (int f = 0; f < byField.size(); ++f)
            if (byField[f] && !header->isSectionHidden(f))
                byField[f]->width = header->sectionSize(f);
    } else {
        byField[logical]->width = newSize;
    }
    Q_EMIT q->columnsChanged();
}

// The user dragged a column: the list takes the header's order (columns without a section keep
// their places), then bands regroup it.
void GridView::Impl::onSectionMoved() {
    if (syncing)
        return;
    QList<GridColumn*> shown;
    for (int visual = 0; visual < header->count(); ++visual) {
        const int logical = header->logicalIndex(visual);
        if (logical < byField.size() && byField[logical])
            shown << byField[logical];
    }
    QList<GridColumn*> reordered;
    auto next = shown.cbegin();
    for (GridColumn* c : columns)
        reordered << (shown.contains(c) ? *next++ : c);
    columns = reordered;
    groupByBand();
    syncSections();
    footer->update();
    Q_EMIT q->columnsChanged();
}

// A click sorts by the column, a second click reverses it; with Ctrl the column is added to
// (or reversed within) the current sort.
void GridView::Impl::onSectionClicked(int logical) {
    GridColumn* clicked = logical < byField.size() ? byField[logical] : nullptr;
    if (!clicked)
        return;
    const bool adding = header->clickModifiers() & Qt::ControlModifier;
    const bool wasSorted = clicked->sortIndex >= 0;
    clicked->sortOrder = wasSorted && clicked->sortOrder == Qt::AscendingOrder ? Qt::DescendingOrder
                                                                               : Qt::AscendingOrder;
    if (adding) {
        if (!wasSorted) {
            int last = -1;
            for (const GridColumn* c : columns)
                last = qMax(last, c->sortIndex);
            clicked->sortIndex = last + 1;
        }
    } else {
        for (GridColumn* c : columns)
            c->sortIndex = -1;
        clicked->sortIndex = 0;
    }
    q->applySort();
    Q_EMIT q->columnsChanged();
}

void GridView::Impl::showColumnChooser(const QPoint& pos) {
    if (!columnChooser || columns.isEmpty())
        return;
    // Shown with popup(), not exec(): the menu lives on its own and goes when closed.
    auto* menu = new QMenu(q);
    menu->setObjectName(QStringLiteral("columnChooser"));
    menu->setAttribute(Qt::WA_DeleteOnClose);
    for (GridColumn* c : columns) {
        QAction* a = menu->addAction(c->caption.isEmpty() ? c->fieldName : c->caption);
        a->setCheckable(true);
        a->setChecked(c->visible);
        QObject::connect(a, &QAction::toggled, q,
                         [this, column = QPointer<GridColumn>(c)](bool on) {
                             if (!column)
                                 return;
                             column->visible = on;
                             q->applyColumns();
                             Q_EMIT q->columnsChanged();
                         });
    }
    menu->popup(header->mapToGlobal(pos));
}

// A view with sort columns sorts its record set again each time the record set is opened, so
// that reloaded rows appear in the order the header shows.
void GridView::Impl::onRecordStateChanged() {
    const bool active = rs() && rs()->active();
    const bool opened = active && !wasActive;
    wasActive = active;
    if (opened && std::any_of(columns.cbegin(), columns.cend(),
                              [](const GridColumn* c) { return c->sortIndex >= 0; })) {
        q->applySort();
        dispatch([this] { rs()->first(); });
    }
    q->viewport()->update();
}

GridView::GridView(const QString& name, QWidget* parent)
    : QTableView(parent), d(std::make_unique<Impl>(this)) {
    setObjectName(name);
    d->model = new Db::RecordSetModel(nullptr, this);
    d->footer = new Internal::FooterBar(this);  // first: the geometry pass below places it
    d->footer->hide();
    d->newItemBar = new Internal::NewItemBar(this);
    d->newItemBar->hide();

    // Connected before the view's own connections: the selection model moves the current index
    // while rows are being removed, and by then the guard must be up.
    Db::RecordSetModel* m = d->model;
    auto changing = [this] { d->modelChanging = true; };
    connect(m, &QAbstractItemModel::rowsAboutToBeRemoved, this, changing);
    connect(m, &QAbstractItemModel::rowsAboutToBeInserted, this, changing);
    connect(m, &QAbstractItemModel::modelAboutToBeReset, this, [this] {
        d->modelChanging = true;
        d->syncing = true;  // the header re-initialises its sections
    });

    d->header = new Internal::ColumnHeader(this);
    d->indicator = new Internal::IndicatorHeader(this);
    setHorizontalHeader(d->header);
    setVerticalHeader(d->indicator);
    d->showModel(m);
    installDelegate(this);

    connect(m, &QAbstractItemModel::rowsRemoved, this, [this] {
        d->modelChanging = false;
        if (d->groups)
            d->groups->settle();
        d->footerChanged();
    });
    connect(m, &QAbstractItemModel::rowsInserted, this, [this] {
        d->modelChanging = false;
        if (d->groups)
            d->groups->settle();
        d->footerChanged();
    });
    connect(m, &QAbstractItemModel::modelReset, this, [this] {
        if (d->groups)
            d->groups->settle();
        d->modelChanging = false;
        d->syncing = false;
        if (d->fieldsAsSynced())
            d->updateSortIndicator();
        else
            d->syncSections();
        d->footerChanged();
        if (d->rs())
            d->followCursor(d->rs()->recNo());
    });
    connect(m, &QAbstractItemModel::dataChanged, this, [this] { d->footerChanged(); });
    connect(m, &Db::RecordSetModel::currentRowChanged, this, [this](int row) {
        if (!d->modelChanging)
            d->followCursor(row);
    });
    connect(m, &Db::RecordSetModel::recordStateChanged, this,
            [this] { d->onRecordStateChanged(); });

    // Header presses sort (below); they do not select columns.
    disconnect(d->header, &QHeaderView::sectionPressed, this, nullptr);
    disconnect(d->header, &QHeaderView::sectionEntered, this, nullptr);
    d->header->setMinimumSectionSize(16);  // narrow check and colour columns
    d->header->setSectionsClickable(true);
    d->header->setSectionsMovable(true);
    d->header->setHighlightSections(false);
    d->header->setSortIndicatorShown(true);
    d->header->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(d->header, &QHeaderView::sectionClicked, this,
            [this](int logical) { d->onSectionClicked(logical); });
    connect(d->header, &QHeaderView::sectionResized, this,
            [this](int logical, int oldSize, int newSize) {
                d->onSectionResized(logical, oldSize, newSize);
            });
    connect(d->header, &QHeaderView::sectionMoved, this, [this] { d->onSectionMoved(); });
    connect(d->header, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& pos) { d->showColumnChooser(pos); });

    d->indicator->setSectionResizeMode(QHeaderView::Fixed);
    d->indicator->setDefaultAlignment(Qt::AlignCenter);
    d->corner = findChild<QAbstractButton*>(QString(), Qt::FindDirectChildrenOnly);
    if (d->corner)
        d->corner->installEventFilter(d->indicator);

    connect(horizontalScrollBar(), &QScrollBar::valueChanged, d->footer,
            qOverload<>(&QWidget::update));
    // Band captions are centred over the visible part of their band: scrolling moves them.
    connect(horizontalScrollBar(), &QScrollBar::valueChanged, d->header->viewport(),
            qOverload<>(&QWidget::update));

    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                    QAbstractItemView::AnyKeyPressed | QAbstractItemView::SelectedClicked);
    setWordWrap(false);
}

GridView::~GridView() {
    // The model, the header and the columns outlive this part of the view; their signals must
    // not reach the handlers above.
    d->model->disconnect(this);
    d->header->disconnect(this);
    for (GridColumn* c : d->columns)
        c->disconnect(this);
}

void GridView::setRecordSet(Db::RecordSet* rs) {
    d->model->setRecordSet(rs);  // resets: sections and cursor follow in the reset handler
    d->wasActive = rs && rs->active();
}

Db::RecordSet* GridView::recordSet() const {
    return d->rs();
}

Db::RecordSetModel* GridView::recordSetModel() const {
    return d->model;
}

// ---- columns --------------------------------------------------------------------------------

GridColumn* GridView::addFieldColumn(const QString& field, const QString& caption, int width,
                                     EditorKind kind, bool editing) {
    GridColumn* c = addColumn(objectName() + field);
    c->fieldName = field;
    c->caption = caption;
    c->width = width;
    c->props.kind = kind;
    c->editing = editing;
    return c;
}

GridColumn* GridView::addColumn(const QString& name) {
    auto* c = new GridColumn(this, name);
    d->columns << c;
    // A column deleted directly (not through removeColumn) leaves the view too.
    connect(c, &QObject::destroyed, this, [this, c] {
        d->columns.removeAll(c);
        std::replace(d->byField.begin(), d->byField.end(), c, static_cast<GridColumn*>(nullptr));
        d->footerCache.remove(c);
    });
    d->queueApply();  // in case the caller does not apply the columns it builds
    return c;
}

void GridView::removeColumn(GridColumn* column) {
    if (!column || !d->columns.contains(column))
        return;
    d->columns.removeAll(column);
    d->footerCache.remove(column);
    delete column;
    applyColumns();
}

void GridView::clearColumns() {
    const QList<GridColumn*> old = d->columns;
    d->columns.clear();
    d->footerCache.clear();
    qDeleteAll(old);
    applyColumns();
}

const QList<GridColumn*>& GridView::columns() const {
    return d->columns;
}

GridColumn* GridView::columnByName(const QString& name) const {
    for (GridColumn* c : d->columns)
        if (c->name().compare(name, Qt::CaseInsensitive) == 0)
            return c;
    return nullptr;
}

GridColumn* GridView::columnByField(const QString& fieldName) const {
    for (GridColumn* c : d->columns)
        if (c->fieldName.compare(fieldName, Qt::CaseInsensitive) == 0)
            return c;
    return nullptr;
}

GridColumn* GridView::columnAt(int modelColumn) const {
    return modelColumn >= 0 && modelColumn < d->byField.size() ? d->byField[modelColumn] : nullptr;
}

void GridView::applyColumns() {
    d->applyQueued = false;
    d->groupByBand();
    d->syncSections();
    d->footerChanged();
    updateGeometries();
    viewport()->update();
    Q_EMIT columnsChanged();
}

// ---- bands ----------------------------------------------------------------------------------

int GridView::addBand(const QString& caption) {
    d->bands << caption;
    d->queueApply();
    return int(d->bands.size()) - 1;
}

QStringList GridView::bands() const {
    return d->bands;
}

void GridView::clearBands() {
    d->bands.clear();
    d->queueApply();
}

void GridView::setBandHeaderVisible(bool on) {
    d->bandHeaderVisible = on;
    d->queueApply();
}

bool GridView::bandHeaderVisible() const {
    return d->bandHeaderVisible;
}

// ---- look -----------------------------------------------------------------------------------

void GridView::setDataRowHeight(int h) {
    if (h <= 0)
        return;
    d->indicator->setMinimumSectionSize(qMin(h, d->indicator->minimumSectionSize()));
    d->indicator->setDefaultSectionSize(h);
    updateGeometries();  // the footer is as high as a row
}

void GridView::setHeaderHeight(int h) {
    d->header->setRowHeight(h);
    updateGeometries();
}

void GridView::setIndicatorVisible(bool on) {
    d->indicator->setVisible(on);
    updateGeometries();
}

void GridView::setIndicatorWidth(int w) {
    d->indicatorWidth = qMax(0, w);
    updateGeometries();
}

int GridView::indicatorWidth() const {
    if (d->indicator->isHidden())
        return 0;
    return d->indicatorWidth > 0 ? d->indicatorWidth : d->indicator->sizeHint().width();
}

void GridView::setIndicatorPainter(IndicatorPainter painter) {
    d->indicator->setPainter(std::move(painter));
    if (d->corner)
        d->corner->update();
}

void GridView::setEmptyText(const QString& text) {
    d->emptyText = text;
    viewport()->update();
}

QString GridView::emptyText() const {
    return d->emptyText;
}

void GridView::setColumnChooserEnabled(bool on) {
    d->columnChooser = on;
}

void GridView::setFooterVisible(bool on) {
    d->footerVisible = on;
    d->footer->setVisible(on);
    updateGeometries();
}

bool GridView::footerVisible() const {
    return d->footerVisible;
}

void GridView::refreshFooter() {
    d->footerChanged();
}

bool GridView::autoWidth() const {
    return d->autoWidth;
}

void GridView::setAutoWidth(bool on) {
    d->autoWidth = on;
    setHorizontalScrollBarPolicy(on ? Qt::ScrollBarAlwaysOff : Qt::ScrollBarAsNeeded);
    d->syncSections();
    updateGeometries();
}

void GridView::setEnterMovesToNextCell(bool on) {
    d->enterMovesToNextCell = on;
}

void GridView::setMultiSelect(bool on) {
    setSelectionMode(on ? QAbstractItemView::ExtendedSelection
                        : QAbstractItemView::SingleSelection);
}

void GridView::setRowEditable(std::function<bool(int row)> editable) {
    d->rowEditable = std::move(editable);
}

void GridView::setRowStyle(std::function<RowStyle(int row)> style) {
    d->rowStyle = std::move(style);
    viewport()->update();
}

RowStyle GridView::rowStyle(int row) const {
    return d->rowStyle ? d->rowStyle(row) : RowStyle{};
}

// The view shows the record set's model itself, or the grouping proxy over it.
void GridView::Impl::showModel(QAbstractItemModel* shown) {
    q->setModel(shown);
    // The item view submits its model whenever the current row changes. Here the record set's
    // cursor decides: a row the user leaves is posted by the cursor move (currentChanged), and
    // a row the record set moved to (a new record) must not be posted by the view following it.
    disconnect(q->selectionModel(), &QItemSelectionModel::currentRowChanged, shown, nullptr);
}

// Group rows span the width: drawn over their cells, from the first shown column on.
void GridView::Impl::paintGroupRows(QPainter& p) const {
    const int first = q->rowAt(0);
    if (first < 0)
        return;
    const int last = q->rowAt(q->viewport()->height() - 1);
    const int left = header->sectionViewportPosition(firstShownColumn());
    const int right = header->length() - header->offset();
    QFont font = q->font();
    font.setBold(groupStyle.bold);
    p.save();
    p.setFont(font);
    for (int row = first; row <= (last < 0 ? groups->rowCount() - 1 : last); ++row) {
        if (!groups->isGroupRow(row))
            continue;
        const QRect band(left, q->rowViewportPosition(row), right - left, q->rowHeight(row) - 1);
        p.fillRect(band, q->palette().color(QPalette::AlternateBase));
        p.setPen(groupStyle.color.isValid() ? groupStyle.color
                                            : q->palette().color(QPalette::Text));
        const int margin = q->fontMetrics().averageCharWidth();
        p.drawText(band.adjusted(margin, 0, -margin, 0), Qt::AlignLeft | Qt::AlignVCenter,
                   groups->index(row, 0).data().toString());
    }
    p.restore();
}

bool GridView::groupBy(const QString& fieldName, RowStyle style) {
    const int field = d->rs() ? d->rs()->fieldIndex(fieldName) : -1;
    if (field < 0)
        return false;
    clearGrouping();
    d->groupStyle = style;
    d->groups = new Internal::GroupedRows(d->model, field, this);
    d->showModel(d->groups);
    // A regrouping (rows added or removed, a record moving to another group) resets the rows:
    // the view goes back to the record set's cursor, once the view itself has been reset.
    connect(d->groups, &QAbstractItemModel::modelReset, this, [this] {
        if (!d->modelChanging && d->rs())
            d->followCursor(d->rs()->recNo());
    });
    d->syncSections();
    if (d->rs())
        d->followCursor(d->rs()->recNo());
    return true;
}

void GridView::clearGrouping() {
    if (!d->groups)
        return;
    d->showModel(d->model);
    delete d->groups;
    d->groups = nullptr;
    d->syncSections();
    if (d->rs())
        d->followCursor(d->rs()->recNo());
}

QString GridView::groupField() const {
    return d->groups && d->rs() ? d->rs()->fieldDef(d->groups->field()).name : QString();
}

int GridView::recordAt(int viewRow) const {
    return viewRow >= 0 && viewRow < model()->rowCount() ? d->recordOf(viewRow) : -1;
}

QList<int> GridView::selectedRowPositions() const {
    QList<int> rows;
    for (const QModelIndex& index : selectionModel()->selectedIndexes()) {
        const int record = d->recordOf(index.row());
        if (record >= 0 && !rows.contains(record))
            rows << record;
    }
    if (rows.isEmpty() && d->recordOf(currentIndex().row()) >= 0)
        rows << d->recordOf(currentIndex().row());
    return rows;
}

void GridView::setCellSelection(bool on) {
    setSelectionBehavior(on ? QAbstractItemView::SelectItems : QAbstractItemView::SelectRows);
    setMultiSelect(on);
}

GridView::CellBlock GridView::selectedBlock() const {
    CellBlock block;
    const QItemSelection selection = selectionModel()->selection();
    if (selection.isEmpty()) {
        if (d->recordOf(currentIndex().row()) >= 0)
            block = {{d->recordOf(currentIndex().row())}, {currentIndex().column()}};
        return block;
    }
    // Rows as the union of the ranges' spans: a range over 10^6 rows costs two numbers.
    std::vector<std::pair<int, int>> spans;
    for (const QItemSelectionRange& range : selection) {
        spans.emplace_back(range.top(), range.bottom());
        std::vector<std::pair<int, int>> shown;  // (visual, logical) of the range's columns
        for (int c = range.left(); c <= range.right(); ++c)
            if (!isColumnHidden(c))
                shown.emplace_back(horizontalHeader()->visualIndex(c), c);
        std::sort(shown.begin(), shown.end());
        for (const auto& [visual, logical] : shown)
            if (!block.columns.contains(logical))
                block.columns << logical;
    }
    std::sort(spans.begin(), spans.end());
    int next = -1;  // the first row not yet taken
    for (const auto& [top, bottom] : spans) {
        for (int row = std::max(top, next); row <= bottom; ++row)
            if (const int record = d->recordOf(row); record >= 0)
                block.rows << record;
        next = std::max(next, bottom + 1);
    }
    return block;
}

bool GridView::showMemoPopup(const QModelIndex& index) {
    const GridColumn* column = index.isValid() ? columnAt(index.column()) : nullptr;
    if (!column || column->props.kind != EditorKind::PopupMemo)
        return false;
    if (!d->memoPopup)
        d->memoPopup = new MemoPopup(viewport());
    scrollTo(index);
    d->memoPopup->showText(wholeText(column->props, index.data(Qt::EditRole)), visualRect(index));
    return true;
}

void GridView::keyPressEvent(QKeyEvent* e) {
    const bool dropDown = (e->key() == Qt::Key_F4 && e->modifiers() == Qt::NoModifier) ||
                          (e->key() == Qt::Key_Down && e->modifiers() == Qt::AltModifier);
    if (dropDown && showMemoPopup(currentIndex())) {
        e->accept();
        return;
    }
    if (e->key() == Qt::Key_Down && e->modifiers() == Qt::NoModifier && d->newItemRowVisible &&
        currentIndex().row() == model()->rowCount() - 1) {
        d->newItemBar->setFocus(Qt::TabFocusReason);
        e->accept();
        return;
    }
    const bool enter = e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter;
    if (enter && d->enterMovesToNextCell && e->modifiers() == Qt::NoModifier) {
        const QModelIndex next = moveCursor(MoveNext, Qt::NoModifier);
        if (next.isValid())
            setCurrentIndex(next);
        e->accept();
        return;
    }
    QTableView::keyPressEvent(e);
}

bool GridView::isEditing() const {
    return state() == QAbstractItemView::EditingState;
}

QString GridView::footerText(const GridColumn* column) const {
    if (!column || column->footerKind == SummaryKind::None || !d->rs() || !d->rs()->active())
        return QString();
    const int field = d->fieldOf(column);
    if (field < 0)
        return QString();
    if (d->rs()->rowsPending())  // a summary of the rows so far would be a wrong answer
        return QStringLiteral("…");
    auto it = d->footerCache.constFind(column);
    if (it == d->footerCache.cend())
        it = d->footerCache.insert(column, Internal::summaryText(*d->rs(), field, *column));
    return *it;
}

// ---- new-item row ---------------------------------------------------------------------------

void GridView::setNewItemRowVisible(bool on) {
    // Bill windows set it on every load: the geometry is worked out again only on a change.
    if (d->newItemRowVisible == on && d->newItemBar->isVisibleTo(this) == on)
        return;
    d->newItemRowVisible = on;
    d->newItemBar->setVisible(on);
    updateGeometries();
}

bool GridView::newItemRowVisible() const {
    return d->newItemRowVisible;
}

void GridView::setNewItemRowText(const QString& text) {
    d->newItemBar->text = text;
    d->newItemBar->update();
}

QString GridView::newItemRowText() const {
    return d->newItemBar->text;
}

bool GridView::appendNewItem() {
    Db::RecordSet* rs = d->rs();
    if (!rs || !rs->active() || !dispatch([rs] { rs->append(); }))
        return false;
    setCurrentIndex(d->viewIndex(rs->recNo(), d->firstShownColumn()));
    setFocus();
    return true;
}

// ---- layout ---------------------------------------------------------------------------------

QByteArray GridView::saveLayout() const {
    QList<Internal::LayoutSection> sections;
    for (int i = 0; i < d->columns.size(); ++i) {
        const GridColumn* c = d->columns[i];
        Internal::LayoutSection s{c->name(), {}};
        s.keys.insert(QStringLiteral("Index"), QString::number(i));
        s.keys.insert(QStringLiteral("FieldName"), c->fieldName);
        s.keys.insert(QStringLiteral("Caption"), c->caption);
        s.keys.insert(QStringLiteral("Width"), QString::number(c->width));
        s.keys.insert(QStringLiteral("Visible"),
                      c->visible ? QStringLiteral("True") : QStringLiteral("False"));
        s.keys.insert(QStringLiteral("SortOrder"), c->sortOrder == Qt::AscendingOrder
                                                       ? QStringLiteral("Ascending")
                                                       : QStringLiteral("Descending"));
        s.keys.insert(QStringLiteral("SortIndex"), QString::number(c->sortIndex));
        sections << s;
    }
    return Internal::writeLayoutText(sections);
}

bool GridView::restoreLayout(const QByteArray& ini) {
    const std::optional<QList<Internal::LayoutSection>> sections = Internal::readLayoutText(ini);
    if (!sections)
        return false;
    auto number = [](const QMap<QString, QString>& keys, const QString& key) -> std::optional<int> {
        bool ok = false;
        const int v = keys.value(key).trimmed().toInt(&ok);
        return ok ? std::optional<int>(v) : std::nullopt;
    };
    // Place of each column in the restored order: named columns at their Index, the others
    // just behind the column now before them.
    QHash<GridColumn*, double> place;
    for (int i = 0; i < d->columns.size(); ++i)
        place.insert(d->columns[i], i + 0.5);
    for (const Internal::LayoutSection& s : *sections) {
        GridColumn* c = columnByName(s.name);
        if (!c) {
            const QString field = s.keys.value(QStringLiteral("FieldName"));
            if (s.name.isEmpty() || field.isEmpty())
                continue;
            c = addColumn(s.name);
            c->fieldName = field;
            c->caption = s.keys.value(QStringLiteral("Caption"));
            place.insert(c, d->columns.size());
        }
        if (const auto index = number(s.keys, QStringLiteral("Index")))
            place[c] = *index;
        if (const auto width = number(s.keys, QStringLiteral("Width")); width && *width > 0)
            c->width = *width;
        const QString visible = s.keys.value(QStringLiteral("Visible")).trimmed().toLower();
        if (visible == QLatin1String("true") || visible == QLatin1String("1"))
            c->visible = true;
        else if (visible == QLatin1String("false") || visible == QLatin1String("0"))
            c->visible = false;
        const QString order = s.keys.value(QStringLiteral("SortOrder")).trimmed().toLower();
        if (order == QLatin1String("ascending") || order == QLatin1String("0"))
            c->sortOrder = Qt::AscendingOrder;
        else if (order == QLatin1String("descending") || order == QLatin1String("1"))
            c->sortOrder = Qt::DescendingOrder;
        if (const auto index = number(s.keys, QStringLiteral("SortIndex")))
            c->sortIndex = qMax(-1, *index);
    }
    std::stable_sort(d->columns.begin(), d->columns.end(),
                     [&](GridColumn* a, GridColumn* b) { return place[a] < place[b]; });
    applyColumns();
    if (std::any_of(d->columns.cbegin(), d->columns.cend(),
                    [](const GridColumn* c) { return c->sortIndex >= 0; }))
        applySort();
    return true;
}

void GridView::applySort() {
    QList<const GridColumn*> sorted;
    for (const GridColumn* c : d->columns)
        if (c->sortIndex >= 0 && d->fieldOf(c) >= 0)
            sorted << c;
    std::stable_sort(sorted.begin(), sorted.end(), [](const GridColumn* a, const GridColumn* b) {
        return a->sortIndex < b->sortIndex;
    });
    d->updateSortIndicator();
    d->header->viewport()->update();
    Db::RecordSet* rs = d->rs();
    if (sorted.isEmpty() || !rs || !rs->active())
        return;
    std::vector<Db::RecordSet::SortKey> keys;
    for (const GridColumn* c : sorted)
        keys.push_back({d->fieldOf(c), c->sortOrder == Qt::DescendingOrder});
    dispatch([&] { rs->sortBy(keys); });
}

// ---- the QTableView machinery ---------------------------------------------------------------

void GridView::paintEvent(QPaintEvent* e) {
    QTableView::paintEvent(e);
    QPainter p(viewport());
    if (d->groups)
        d->paintGroupRows(p);
    if (d->emptyText.isEmpty() || d->model->rowCount() > 0)
        return;
    p.setPen(palette().color(QPalette::Disabled, QPalette::Text));
    const int margin = fontMetrics().height() / 2;
    p.drawText(viewport()->rect().adjusted(margin, margin, -margin, -margin),
               Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap, d->emptyText);
}

void GridView::resizeEvent(QResizeEvent* e) {
    {
        QScopedValueRollback place(d->placeHidden, true);
        QTableView::resizeEvent(e);
    }
    d->fitColumns();
}

void GridView::showEvent(QShowEvent* e) {
    QTableView::showEvent(e);
    if (d->geometriesPending)
        updateGeometries();
}

// The table's own geometry pass, with room for the footer under the viewport: margins, the
// headers, the corner, the footer, auto widths and the scroll bar ranges.
namespace {
// Sets a scroll bar's range and steps for the sections of one header in a viewport of
// `viewportLength` pixels (the table view's own rule, for either direction).
void fitScrollBar(QHeaderView* header, QScrollBar* bar, QAbstractItemView::ScrollMode mode,
                  int viewportLength, int headerLength) {
    const int count = header->count();
    int inViewport = 0;
    for (int used = 0, section = count - 1; section >= 0; --section) {
        const int logical = header->logicalIndex(section);
        if (header->isSectionHidden(logical))
            continue;
        used += header->sectionSize(logical);
        if (used > viewportLength)
            break;
        ++inViewport;
    }
    inViewport = qMax(inViewport, 1);
    if (mode == QAbstractItemView::ScrollPerItem) {
        const int visible = count - header->hiddenSectionCount();
        bar->setRange(0, visible - inViewport);
        bar->setPageStep(inViewport);
        if (inViewport >= visible)
            header->setOffset(0);
        bar->setSingleStep(1);
    } else {
        bar->setPageStep(viewportLength);
        bar->setRange(0, headerLength - viewportLength);
        bar->setSingleStep(qMax(viewportLength / (inViewport + 1), 2));
    }
}
}  // namespace

void GridView::updateGeometries() {
    if (d->inGeometries)
        return;
    // Columns and rows change many times while a window is being built; measuring the headers
    // each time would be wasted on a view nobody sees yet.
    if (!isVisible() && !d->placeHidden) {
        d->geometriesPending = true;
        return;
    }
    d->geometriesPending = false;
    QScopedValueRollback guard(d->inGeometries, true);
    QHeaderView* vh = d->indicator;
    QHeaderView* hh = d->header;

    int width = 0;
    if (!vh->isHidden()) {
        width = d->indicatorWidth > 0
                    ? d->indicatorWidth
                    : qBound(vh->minimumWidth(), vh->sizeHint().width(), vh->maximumWidth());
    }
    int height = 0;
    if (!hh->isHidden())
        height = qBound(hh->minimumHeight(), hh->sizeHint().height(), hh->maximumHeight());
    const int footer = d->footerVisible ? d->footer->preferredHeight() : 0;
    const int newItem = d->newItemRowVisible ? vh->defaultSectionSize() : 0;
    const bool reverse = isRightToLeft();
    setViewportMargins(reverse ? 0 : width, height, reverse ? width : 0, newItem + footer);

    const QRect vg = viewport()->geometry();
    const int verticalLeft = reverse ? vg.right() + 1 : vg.left() - width;
    vh->setGeometry(verticalLeft, vg.top(), width, vg.height());
    if (vh->isHidden())
        QMetaObject::invokeMethod(vh, "updateGeometries");
    hh->setGeometry(vg.left(), vg.top() - height, vg.width(), height);
    if (hh->isHidden())
        QMetaObject::invokeMethod(hh, "updateGeometries");
    if (d->corner) {
        const bool cornerShown = !hh->isHidden() && !vh->isHidden();
        d->corner->setHidden(!cornerShown);
        if (cornerShown)
            d->corner->setGeometry(verticalLeft, vg.top() - height, width, height);
    }
    // Under the records: the new-item row, then the footer.
    if (d->newItemRowVisible)
        d->newItemBar->setGeometry(reverse ? vg.left() : verticalLeft, vg.bottom() + 1,
                                   vg.width() + width, newItem);
    if (d->footerVisible)
        d->footer->setGeometry(reverse ? vg.left() : verticalLeft, vg.bottom() + 1 + newItem,
                               vg.width() + width, footer);

    d->fitColumns();

    // Scroll bar ranges, per item or per pixel as the table computes them.
    QSize vsize = viewport()->size();
    const QSize max = maximumViewportSize();
    const int horizontalLength = hh->length();
    const int verticalLength = vh->length();
    if (max.width() >= horizontalLength && max.height() >= verticalLength)
        vsize = max;

    fitScrollBar(hh, horizontalScrollBar(), horizontalScrollMode(), vsize.width(),
                 horizontalLength);
    fitScrollBar(vh, verticalScrollBar(), verticalScrollMode(), vsize.height(), verticalLength);
    d->footer->update();
    QAbstractItemView::updateGeometries();
}

void GridView::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
    QTableView::currentChanged(current, previous);
    d->indicator->viewport()->update();
    Db::RecordSet* rs = d->rs();
    const int record = current.isValid() ? d->recordOf(current.row()) : -1;
    if (d->followingCursor || d->modelChanging || !rs || !rs->active() || record < 0 ||
        rs->recNo() == record)
        return;
    // The record set's cursor follows the view (posting a pending edit); when it cannot leave
    // its record the view goes back to it.
    if (!dispatch([&] { rs->moveTo(record); }))
        d->followCursor(rs->recNo());
}

bool GridView::edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) {
    // A click on a drop-down memo cell drops it down, in read-only grids too.
    if (event && event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton && showMemoPopup(index))
        return false;
    if (const GridColumn* c = index.isValid() ? columnAt(index.column()) : nullptr;
        c && !c->editing)
        return false;
    if (index.isValid() && d->recordOf(index.row()) < 0)
        return false;  // a group row
    if (index.isValid() && d->rowEditable && !d->rowEditable(d->recordOf(index.row())))
        return false;
    const bool opened = QTableView::edit(index, trigger, event);
    if (opened)
        d->indicator->viewport()->update();
    return opened;
}

// An editor closed with Enter asks the view to submit its model, which would post the record
// after every cell; the record is posted when the row is left instead, so that its checks see
// the whole record. Where Enter moves on, it opens the next cell as Tab does.
void GridView::closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) {
    if (hint == QAbstractItemDelegate::SubmitModelCache)
        hint = d->enterMovesToNextCell ? QAbstractItemDelegate::EditNextItem
                                       : QAbstractItemDelegate::NoHint;
    QTableView::closeEditor(editor, hint);
    d->indicator->viewport()->update();
}

// ---- Grid -----------------------------------------------------------------------------------

Grid::Grid(const QString& name, QWidget* parent)
    : QWidget(parent), m_tabs(new QTabBar(this)), m_stack(new QStackedWidget(this)) {
    setObjectName(name);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_tabs);
    layout->addWidget(m_stack, 1);
    m_tabs->setExpanding(false);
    m_tabs->hide();
    connect(m_tabs, &QTabBar::currentChanged, m_stack, &QStackedWidget::setCurrentIndex);
}

GridView* Grid::addLevel(const QString& viewName, const QString& caption) {
    auto* view = new GridView(viewName, m_stack);
    m_stack->addWidget(view);
    m_tabs->addTab(caption.isEmpty() ? viewName : caption);
    m_views << view;
    m_tabs->setVisible(m_views.size() > 1);
    return view;
}

QList<GridView*> Grid::views() const {
    return m_views;
}

GridView* Grid::view(int level) const {
    return m_views.value(level);
}

void Grid::setActiveLevel(int level) {
    if (level < 0 || level >= m_views.size())
        return;
    m_tabs->setCurrentIndex(level);
    m_stack->setCurrentIndex(level);
}

}  // namespace Qd::Core::Ui
