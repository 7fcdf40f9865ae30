// The lookup combo box, its drop-down model, and the key index behind lookup display texts.

#include <QAbstractProxyModel>
#include <QAction>
#include <QApplication>
#include <QHBoxLayout>
#include <QHash>
#include <QHeaderView>
#include <QKeyEvent>
#include <QPointer>
#include <QScrollBar>
#include <QSet>
#include <QTableView>
#include <QTimer>
#include <utility>

#include "db/LookupRows.h"
#include "db/RecordSetModel.h"
#include "ui/editors/Editors.h"
#include "ui/editors/EditorsInternal.h"

namespace Qd::Core::Ui {

namespace Internal {

namespace {

// Positions of the list rows by key, one map per key field, dropped whenever the list
// changes. Grid cells of a lookup column ask for their text on every paint; a scan of the list
// per cell would make scrolling a long bill slow.
class KeyIndex final : public Db::RecordSetObserver {
public:
    explicit KeyIndex(Db::RecordSet* rs) : m_rs(rs) { m_rs->addObserver(this); }

    int find(int field, const QVariant& value) {
        const Db::LookupKey wanted(m_rs->fieldDef(field).type, value);
        if (wanted.isNull())
            return -1;
        // While controls are disabled changes are not reported: the index may be stale.
        if (m_rs->controlsDisabled()) {
            for (int pos = 0; pos < m_rs->recordCount(); ++pos)
                if (Db::LookupKey::at(*m_rs, m_rs->rowAt(pos), field) == wanted)
                    return pos;
            return -1;
        }
        auto map = m_maps.find(field);
        if (map == m_maps.end()) {
            map = m_maps.insert(field, {});
            map->reserve(m_rs->recordCount());
            for (int pos = 0; pos < m_rs->recordCount(); ++pos)
                add(*map, field, pos);
        }
        return map->value(wanted, -1);
    }

private:
    void invalidate() {
        m_maps.clear();
        m_appended = -1;
    }
    void endReset() override { invalidate(); }
    // A row appended at the end joins the maps once posted; any other change drops them.
    void beginInsertRow(int pos) override {
        if (pos == m_rs->recordCount())
            m_appended = pos;
        else
            invalidate();
    }
    void endRemoveRow() override { invalidate(); }
    void rowChanged(int pos) override {
        if (pos != m_appended) {
            invalidate();
        } else if (m_rs->state() == Db::DataSetState::Browse) {
            add(pos);
            m_appended = -1;
        }
    }
    // Rows appended at once (a page or keyed rows of a lookup cache) join the maps.
    void endAppendRows(int first, int last) override {
        for (int pos = first; pos <= last; ++pos)
            add(pos);
    }
    // The keys of the row at `pos` join the maps, unless an earlier row has them.
    void add(int pos) {
        for (auto map = m_maps.begin(); map != m_maps.end(); ++map)
            add(*map, map.key(), pos);
    }
    void add(QHash<Db::LookupKey, int>& map, int field, int pos) {
        if (Db::LookupKey key = Db::LookupKey::at(*m_rs, m_rs->rowAt(pos), field);
            !key.isNull() && !map.contains(key))
            map.insert(std::move(key), pos);
    }
    void recordSetDestroyed() override;

    Db::RecordSet* m_rs;  // not owned: the index lives as long as the record set
    QHash<int, QHash<Db::LookupKey, int>> m_maps;
    int m_appended = -1;  // the position of a row appended and not yet posted
};

// Never destroyed: record sets may outlive static destruction order.
QHash<Db::RecordSet*, KeyIndex*>& keyIndexes() {
    static auto* indexes = new QHash<Db::RecordSet*, KeyIndex*>;
    return *indexes;
}

void KeyIndex::recordSetDestroyed() {
    keyIndexes().remove(m_rs);
    delete this;
}

// Keys missed while a DeferLookupKeys was open, by list, and the widgets to repaint once they
// are fetched. The lists are found again by their record sets when the keys are fetched, so a
// list gone meanwhile is skipped.
struct PendingKeys {
    QHash<const Db::RecordSet*, QSet<Db::LookupKey>> keys;
    QList<QPointer<QWidget>> widgets;
    bool queued = false;

    void fetch() {
        const auto asked = std::exchange(keys, {});
        const auto repaint = std::exchange(widgets, {});
        queued = false;
        int came = 0;
        for (auto it = asked.begin(); it != asked.end(); ++it)
            if (Db::LookupRows* rows = Db::lookupRowsOf(it.key()))
                came += rows->resolve(it.value().values());
        for (const QPointer<QWidget>& w : repaint)
            if (w && came > 0)
                w->update();
    }
};

PendingKeys& pendingKeys() {
    static PendingKeys pending;
    return pending;
}

thread_local DeferLookupKeys* t_defer = nullptr;

}  // namespace

DeferLookupKeys::DeferLookupKeys(QWidget* widget, const QModelIndex& cell)
    : m_widget(widget), m_cell(cell), m_outer(t_defer) {
    t_defer = this;
}

QVariantList DeferLookupKeys::keysAhead() const {
    QVariantList keys;
    const QAbstractItemModel* model = m_cell.model();
    if (!model)
        return keys;
    const int end = std::min(model->rowCount(), m_cell.row() + 1 + kReadAhead);
    for (int r = m_cell.row() + 1; r < end; ++r)
        keys << model->index(r, m_cell.column()).data(Qt::EditRole);
    return keys;
}

DeferLookupKeys::~DeferLookupKeys() {
    t_defer = m_outer;
}

int lookupRow(Db::RecordSet* list, const QString& keyField, const QVariant& key) {
    if (!list || !list->active() || key.isNull())
        return -1;
    const int field = list->fieldIndex(keyField);
    if (field < 0)
        return -1;
    const auto indexed = [&] {
        KeyIndex*& index = keyIndexes()[list];
        if (!index)
            index = new KeyIndex(list);
        return index->find(field, key);
    };
    Db::LookupRows* rows = Db::lookupRowsOf(list);
    if (!rows || rows->keyField().compare(keyField, Qt::CaseInsensitive) != 0)
        return indexed();
    // A lookup cache knows where its keys are (a position whose row no longer holds its key,
    // the cache's rows changed by other hands, is left to the index).
    const Db::FieldType type = list->fieldDef(field).type;
    const Db::LookupKey wanted(type, key);
    const auto cached = [&] {
        const int pos = rows->position(wanted);
        if (pos >= 0 && (pos >= list->recordCount() ||
                         Db::LookupKey::at(*list, list->rowAt(pos), field) != wanted))
            return indexed();
        return pos;
    };
    if (const int pos = cached(); pos >= 0 || !rows->mayResolve(wanted))
        return pos;
    if (!t_defer) {
        rows->resolve({wanted});
        return cached();
    }
    PendingKeys& pending = pendingKeys();
    QSet<Db::LookupKey>& asked = pending.keys[list];
    if (!asked.contains(wanted)) {
        asked.insert(wanted);
        for (const QVariant& next : t_defer->keysAhead())
            if (Db::LookupKey ahead(type, next); rows->mayResolve(ahead))
                asked.insert(std::move(ahead));
    }
    if (!pending.widgets.contains(t_defer->widget()))
        pending.widgets << t_defer->widget();
    if (!std::exchange(pending.queued, true))
        QTimer::singleShot(0, qApp, [] { pendingKeys().fetch(); });
    return -1;
}

QString shownListFields(const EditorProps& props) {
    if (props.listFieldIndex < 0)
        return props.listFields;
    const QStringList names = props.listFields.split(u';', Qt::SkipEmptyParts);
    if (names.isEmpty())
        return QString();
    return names.value(props.listFieldIndex, names.first()).trimmed();
}

QString lookupRowText(Db::RecordSet* list, int pos, const QString& listFields,
                      const QString& keyField) {
    if (!list || pos < 0 || pos >= list->recordCount())
        return QString();
    const std::uint32_t row = list->rowAt(pos);
    QString text;
    bool named = false;
    const auto append = [&](const QString& name) {
        const int field = list->fieldIndex(name);
        if (field < 0)
            return;
        const QString part = list->textAt(row, field);
        if (part.isEmpty())
            return;
        if (!text.isEmpty())
            text += u' ';
        text += part;
    };
    // Cells ask on every paint: the names are taken out of the list without splitting it (a
    // single name is the list itself, shared, not copied).
    for (qsizetype from = 0; from < listFields.size();) {
        qsizetype end = listFields.indexOf(u';', from);
        if (end < 0)
            end = listFields.size();
        if (const QString name = listFields.mid(from, end - from).trimmed(); !name.isEmpty()) {
            named = true;
            append(name);
        }
        from = end + 1;
    }
    if (!named)
        append(keyField);
    return text;
}

}  // namespace Internal

namespace {

using Internal::lookupRow;
using Internal::lookupRowText;

constexpr int kMaxVisibleRows = 12;
// Rows a typed text lists at most.
constexpr int kSearchLimit = 200;

// The list record set as the drop-down shows it: only the drop-down columns, in their order,
// with their captions. A plain list shows its rows as they are. A list that fetches on demand
// (Db::LookupRows) shows a chosen run of its rows: the recent picks (marked) and then the rows
// in the statement's order as far as fetched, growing as the view fetches more; or the rows a
// typed text found. Values come from the record set's model unchanged.
class LookupListModel final : public QAbstractProxyModel {
public:
    LookupListModel(Db::RecordSetModel* source, QObject* parent) : QAbstractProxyModel(parent) {
        setSourceModel(source);
        connect(source, &QAbstractItemModel::modelAboutToBeReset, this,
                [this] { beginResetModel(); });
        connect(source, &QAbstractItemModel::modelReset, this, [this] {
            resolve();
            relist({}, false);
            endResetModel();
        });
        connect(source, &QAbstractItemModel::rowsAboutToBeInserted, this,
                [this](const QModelIndex&, int first, int last) {
                    if (!rows())
                        beginInsertRows(QModelIndex(), first, last);
                });
        connect(source, &QAbstractItemModel::rowsInserted, this, [this] {
            if (!rows())
                endInsertRows();
        });
        connect(source, &QAbstractItemModel::rowsAboutToBeRemoved, this,
                [this](const QModelIndex&, int first, int last) {
                    if (!rows())
                        beginRemoveRows(QModelIndex(), first, last);
                });
        connect(source, &QAbstractItemModel::rowsRemoved, this, [this] {
            if (!rows())
                endRemoveRows();
        });
        connect(source, &QAbstractItemModel::dataChanged, this,
                [this](const QModelIndex& tl, const QModelIndex& br) {
                    if (m_columns.isEmpty() || rowCount() == 0)
                        return;
                    if (rows())  // rows of the cache may show anywhere
                        Q_EMIT dataChanged(index(0, 0),
                                           index(rowCount() - 1, int(m_columns.size()) - 1));
                    else
                        Q_EMIT dataChanged(index(tl.row(), 0),
                                           index(br.row(), int(m_columns.size()) - 1));
                });
        connect(source, &QAbstractItemModel::layoutAboutToBeChanged, this,
                [this] { Q_EMIT layoutAboutToBeChanged(); });
        connect(source, &QAbstractItemModel::layoutChanged, this,
                [this] { Q_EMIT layoutChanged(); });
        relist({}, false);
    }

    void setColumns(const QList<LookupColumn>& columns) {
        beginResetModel();
        m_columns = columns;
        resolve();
        endResetModel();
    }
    const QList<LookupColumn>& columns() const { return m_columns; }

    // The cache behind the list; null for a plain list.
    Db::LookupRows* rows() const { return Db::lookupRowsOf(recordSet()); }
    Db::RecordSet* recordSet() const {
        return static_cast<Db::RecordSetModel*>(sourceModel())->recordSet();
    }

    // Lists `recent` (cache positions, marked) and then the rows in the statement's order.
    void showList(const std::vector<int>& recent) {
        beginResetModel();
        relist(recent, false);
        endResetModel();
    }
    // Lists the cache positions a typed text found.
    void showFound(const std::vector<int>& found) {
        beginResetModel();
        relist(found, true);
        endResetModel();
    }
    bool showsFound() const { return m_found; }

    // The record set position of a row of the list, and the first row showing a position.
    int positionOf(int row) const { return rows() ? m_map[std::size_t(row)] : row; }
    int rowOf(int pos) const {
        if (!rows())
            return pos;
        const auto it = std::find(m_map.begin() + m_recent, m_map.end(), pos);
        if (it != m_map.end())
            return int(it - m_map.begin());
        const auto recent = std::find(m_map.begin(), m_map.begin() + m_recent, pos);
        return recent != m_map.begin() + m_recent ? int(recent - m_map.begin()) : -1;
    }

    bool canFetchMore(const QModelIndex& parent) const override {
        return !m_found && QAbstractProxyModel::canFetchMore(parent);
    }
    void fetchMore(const QModelIndex& parent) override {
        if (m_found)
            return;
        QAbstractProxyModel::fetchMore(parent);
        Db::LookupRows* cache = rows();
        if (!cache)
            return;
        const std::vector<int>& ordered = cache->ordered();
        const std::size_t shown = m_map.size() - std::size_t(m_recent);
        if (ordered.size() <= shown)
            return;
        beginInsertRows(QModelIndex(), int(m_map.size()), int(m_recent + ordered.size()) - 1);
        m_map.insert(m_map.end(), ordered.begin() + std::ptrdiff_t(shown), ordered.end());
        endInsertRows();
    }

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override {
        if (parent.isValid() || row < 0 || column < 0 || row >= rowCount() ||
            column >= columnCount())
            return QModelIndex();
        return createIndex(row, column);
    }
    QModelIndex parent(const QModelIndex&) const override { return QModelIndex(); }
    bool hasChildren(const QModelIndex& parent) const override { return !parent.isValid(); }
    int rowCount(const QModelIndex& parent = {}) const override {
        if (parent.isValid())
            return 0;
        return rows() ? int(m_map.size()) : sourceModel()->rowCount();
    }
    int columnCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : int(m_columns.size());
    }
    QModelIndex mapToSource(const QModelIndex& proxy) const override {
        if (!proxy.isValid() || proxy.column() >= m_fields.size() || m_fields[proxy.column()] < 0)
            return QModelIndex();
        return sourceModel()->index(positionOf(proxy.row()), m_fields[proxy.column()]);
    }
    QModelIndex mapFromSource(const QModelIndex& source) const override {
        const int column = int(m_fields.indexOf(source.column()));
        const int row = source.isValid() ? rowOf(source.row()) : -1;
        return row >= 0 && column >= 0 ? index(row, column) : QModelIndex();
    }
    QVariant data(const QModelIndex& proxy, int role) const override {
        if (proxy.isValid() && proxy.row() < m_recent) {
            if (role == Qt::BackgroundRole)
                return QColor(255, 243, 205);
            if (role == Qt::ToolTipRole)
                return QStringLiteral("最近选过");
            if (role == RecentRole)
                return true;
        }
        return QAbstractProxyModel::data(proxy, role);
    }
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
        if (orientation == Qt::Horizontal && section >= 0 && section < m_columns.size()) {
            if (role == Qt::DisplayRole)
                return m_columns[section].caption;
            if (role == Db::RecordSetModel::FieldNameRole)
                return m_columns[section].fieldName;
            return QVariant();
        }
        return sourceModel()->headerData(section, orientation, role);
    }
    Qt::ItemFlags flags(const QModelIndex& index) const override {
        return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
    }

    // True for the rows of recent picks.
    static constexpr int RecentRole = Qt::UserRole + 100;

private:
    // Field positions of the columns; a list reloaded with other fields is read anew.
    void resolve() {
        m_fields.clear();
        const Db::RecordSet* rs = recordSet();
        for (const LookupColumn& c : std::as_const(m_columns))
            m_fields << (rs ? rs->fieldIndex(c.fieldName) : -1);
    }
    void relist(const std::vector<int>& first, bool found) {
        m_found = found;
        m_map = first;
        m_recent = found ? 0 : int(first.size());
        if (Db::LookupRows* cache = rows(); cache && !found)
            m_map.insert(m_map.end(), cache->ordered().begin(), cache->ordered().end());
    }

    QList<LookupColumn> m_columns;
    QList<int> m_fields;
    std::vector<int> m_map;  // record set positions of the rows shown (lists on demand)
    int m_recent = 0;        // leading rows of m_map that are recent picks
    bool m_found = false;    // m_map holds the rows a typed text found
};

// The drop-down columns of the props; without any, the list fields with their labels.
QList<LookupColumn> dropDownColumnsOf(const EditorProps& props) {
    if (!props.dropDownColumns.isEmpty())
        return props.dropDownColumns;
    QList<LookupColumn> columns;
    QStringList names = props.listFields.split(u';', Qt::SkipEmptyParts);
    if (names.isEmpty())
        names << props.keyField;
    for (const QString& name : std::as_const(names)) {
        LookupColumn c;
        c.fieldName = name.trimmed();
        const int field = props.listSource ? props.listSource->fieldIndex(c.fieldName) : -1;
        c.caption = field >= 0 ? props.listSource->fieldDef(field).label() : c.fieldName;
        c.width = 120;
        columns << c;
    }
    return columns;
}

bool isNavigationKey(int key) {
    switch (key) {
        case Qt::Key_Up:
        case Qt::Key_Down:
        case Qt::Key_PageUp:
        case Qt::Key_PageDown:
        case Qt::Key_Home:
        case Qt::Key_End:
            return true;
        default:
            return false;
    }
}

}  // namespace

struct LookupComboBox::Impl {
    LookupComboBox* q = nullptr;
    EditorProps props;
    QLineEdit* edit = nullptr;             // child
    QAction* dropButton = nullptr;         // owned by edit
    Db::RecordSetModel* source = nullptr;  // child; forgets the list when it is destroyed
    LookupListModel* list = nullptr;       // child
    QTableView* popup = nullptr;           // child window, made on first use
    QVariant key;
    QString listText;
    int searchRow = -1;  // the row incremental search found, chosen when typing ends

    Db::RecordSet* listSet() const { return source->recordSet(); }

    QTableView* ensurePopup() {
        if (popup)
            return popup;
        popup = new QTableView(q);
        popup->setObjectName(QStringLiteral("lookupPopup"));
        popup->setWindowFlags(Qt::Popup | Qt::FramelessWindowHint);
        popup->setModel(list);
        popup->setSelectionBehavior(QAbstractItemView::SelectRows);
        popup->setSelectionMode(QAbstractItemView::SingleSelection);
        popup->setEditTriggers(QAbstractItemView::NoEditTriggers);
        popup->setWordWrap(false);
        popup->setAlternatingRowColors(true);
        popup->setMouseTracking(true);
        popup->setFrameShape(QFrame::Box);
        popup->setLineWidth(1);
        popup->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        popup->verticalHeader()->hide();
        popup->verticalHeader()->setDefaultSectionSize(popup->fontMetrics().height() + 6);
        popup->horizontalHeader()->setHighlightSections(false);
        popup->horizontalHeader()->setSectionsClickable(false);
        popup->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        QObject::connect(popup, &QAbstractItemView::entered, popup,
                         [this](const QModelIndex& i) { popup->setCurrentIndex(i); });
        QObject::connect(popup, &QAbstractItemView::clicked, q, [this](const QModelIndex& i) {
            hide();
            q->choose(i.row());
        });
        popup->installEventFilter(
            new Internal::EventHook(popup, [this](QObject*, QEvent* e) { return popupEvent(e); }));
        return popup;
    }

    // Keys reach the drop-down while it is open: it moves, chooses and closes; what is typed
    // goes on into the text.
    bool popupEvent(QEvent* e) {
        if (e->type() != QEvent::KeyPress)
            return false;
        auto* key = static_cast<QKeyEvent*>(e);
        switch (key->key()) {
            case Qt::Key_Return:
            case Qt::Key_Enter: {
                const int row = popup->currentIndex().row();
                hide();
                if (row >= 0)
                    q->choose(row);
                return true;
            }
            case Qt::Key_Escape:
            case Qt::Key_F4:
                hide();
                edit->setText(listText);
                searchRow = -1;
                if (list->showsFound())
                    list->showList({});
                return true;
            case Qt::Key_Tab:
            case Qt::Key_Backtab:
                hide();
                return false;
            default:
                if (isNavigationKey(key->key()))
                    return false;
                QApplication::sendEvent(edit, e);
                return true;
        }
    }

    void hide() {
        if (popup)
            popup->hide();
    }

    // The hook may reload the list (second-level lookups narrow it to the current master).
    void initPopup() {
        if (props.onInitPopup)
            Internal::runHook(props.onInitPopup, q);
    }

    void open() {
        if (!listSet())
            return;
        ensurePopup();
        sizeAndPlace();
        popup->show();
        popup->setFocus(Qt::PopupFocusReason);
        const int row =
            searchRow >= 0 ? searchRow : list->rowOf(lookupRow(listSet(), props.keyField, key));
        selectRow(std::max(row, 0));
    }

    void sizeAndPlace() {
        const QList<LookupColumn>& columns = list->columns();
        int width = 2 * popup->frameWidth();
        for (int c = 0; c < columns.size(); ++c) {
            popup->setColumnWidth(c, columns[c].width);
            width += columns[c].width;
        }
        const int rows = std::clamp(list->rowCount(), 1, kMaxVisibleRows);
        const int height = 2 * popup->frameWidth() +
                           popup->horizontalHeader()->sizeHint().height() +
                           rows * popup->verticalHeader()->defaultSectionSize();
        if (list->rowCount() > kMaxVisibleRows)
            width += popup->verticalScrollBar()->sizeHint().width();
        // Sized to its columns, or as wide as the box with the last column taking the rest.
        popup->horizontalHeader()->setStretchLastSection(!props.autoSize);
        if (!props.autoSize)
            width = std::max(width, q->width());

        const QSize size(width, height);
        popup->setGeometry(QRect(Internal::dropDownPosition(q, q->rect(), size), size));
    }

    void selectRow(int row) {
        if (!popup || row < 0 || row >= list->rowCount())
            return;
        const QModelIndex index = list->index(row, 0);
        popup->setCurrentIndex(index);
        popup->scrollTo(index, QAbstractItemView::PositionAtCenter);
    }

    // Typing: a list that fetches on demand lists the rows the whole table has for the text;
    // a plain list shows the first row whose first list field starts with it.
    void search(const QString& typed) {
        searchRow = -1;
        if (Db::LookupRows* rows = list->rows()) {
            if (typed.trimmed().isEmpty()) {
                list->showList({});
                return;
            }
            if (!q->popupVisible())
                initPopup();
            list->showFound(rows->searchPositions(typed.trimmed(), kSearchLimit));
            if (list->rowCount() == 0) {
                hide();
                return;
            }
            searchRow = 0;
            if (q->popupVisible())
                sizeAndPlace();
            else
                open();
            selectRow(searchRow);
            return;
        }
        Db::RecordSet* rs = listSet();
        const QString first = Internal::shownListFields(props).section(u';', 0, 0).trimmed();
        const int field = rs ? rs->fieldIndex(first.isEmpty() ? props.keyField : first) : -1;
        if (typed.isEmpty() || field < 0)
            return;
        for (int pos = 0; pos < rs->recordCount(); ++pos) {
            if (rs->textAt(rs->rowAt(pos), field).startsWith(typed, Qt::CaseInsensitive)) {
                searchRow = pos;
                break;
            }
        }
        if (searchRow < 0)
            return;
        if (!q->popupVisible())
            q->showPopup();
        selectRow(searchRow);
    }

    // Typing ended (Return or focus gone): empty text clears, a found row is chosen, anything
    // else is undone.
    void typingFinished() {
        if (q->popupVisible() || edit->text() == listText)
            return;
        if (edit->text().trimmed().isEmpty())
            q->clear();
        else if (searchRow >= 0)
            q->choose(searchRow);
        else
            edit->setText(listText);
        searchRow = -1;
    }

    void setKey(const QVariant& value, bool notify) {
        const bool changed = !Internal::sameValue(value, key) || value.isNull() != key.isNull();
        key = value;
        if (list->showsFound())
            list->showList({});
        listText = lookupRowText(listSet(), lookupRow(listSet(), props.keyField, key),
                                 Internal::shownListFields(props), props.keyField);
        edit->setText(listText);
        edit->setCursorPosition(0);
        searchRow = -1;
        if (!notify || !changed)
            return;
        QPointer<LookupComboBox> alive(q);
        Q_EMIT q->editValueChanged();
        if (alive && props.onEditValueChanged)
            Internal::runHook(props.onEditValueChanged, q);
    }
};

void LookupComboBox::setProps(const EditorProps& props) {
    d->props = props;
    d->dropButton->setVisible(props.alwaysShowButton);
    d->source->setRecordSet(props.listSource);
    d->list->setColumns(dropDownColumnsOf(props));
    setKeyValue(d->key);  // shown again from the new list
}

LookupComboBox::LookupComboBox(const EditorProps& props, QWidget* parent)
    : QWidget(parent), d(std::make_shared<Impl>()) {
    d->q = this;
    d->props = props;
    d->edit = new QLineEdit(this);
    d->edit->setObjectName(QStringLiteral("lookupText"));
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(d->edit);
    setFocusProxy(d->edit);
    setSizePolicy(d->edit->sizePolicy());

    d->dropButton = d->edit->addAction(
        Internal::glyphIcon(Internal::Glyph::DropDown, palette().color(QPalette::Text)),
        QLineEdit::TrailingPosition);
    d->dropButton->setObjectName(QStringLiteral("dropDownButton"));
    d->dropButton->setVisible(props.alwaysShowButton);
    connect(d->dropButton, &QAction::triggered, this,
            [this] { popupVisible() ? hidePopup() : showPopup(); });

    d->source = new Db::RecordSetModel(props.listSource, this);
    d->list = new LookupListModel(d->source, this);
    d->list->setColumns(dropDownColumnsOf(props));

    connect(d->edit, &QLineEdit::textEdited, this, [this](const QString& t) { d->search(t); });
    connect(d->edit, &QLineEdit::editingFinished, this, [this] { d->typingFinished(); });
    d->edit->installEventFilter(new Internal::EventHook(this, [this](QObject*, QEvent* e) {
        switch (e->type()) {
            case QEvent::KeyPress: {
                auto* key = static_cast<QKeyEvent*>(e);
                const bool altDown =
                    key->key() == Qt::Key_Down && key->modifiers() & Qt::AltModifier;
                if (key->key() == Qt::Key_F4 || altDown) {
                    showPopup();
                    return true;
                }
                return false;
            }
            case QEvent::FocusIn:
                d->dropButton->setVisible(true);
                return false;
            case QEvent::FocusOut: {
                auto* focus = static_cast<QFocusEvent*>(e);
                d->dropButton->setVisible(d->props.alwaysShowButton);
                // The box is what item views and forms watch: tell it when the focus has left
                // it (and its drop-down) for good.
                const QWidget* now = QApplication::focusWidget();
                if (focus->reason() != Qt::PopupFocusReason && !(now && isAncestorOf(now))) {
                    // What was typed is settled before anyone reads the value.
                    d->typingFinished();
                    QFocusEvent out(QEvent::FocusOut, focus->reason());
                    QApplication::sendEvent(this, &out);
                }
                return false;
            }
            default:
                return false;
        }
    }));
}

QVariant LookupComboBox::keyValue() const {
    return d->key;
}

void LookupComboBox::setKeyValue(const QVariant& key) {
    d->setKey(key, false);
}

QString LookupComboBox::text() const {
    return d->listText;
}

Db::RecordSet* LookupComboBox::listSource() const {
    return d->listSet();
}

void LookupComboBox::showPopup() {
    d->initPopup();
    // Opened without a typed text, a list on demand shows the user's recent picks first.
    if (Db::LookupRows* rows = d->list->rows(); rows && !d->list->showsFound())
        d->list->showList(rows->recentPositions());
    d->open();
}

void LookupComboBox::hidePopup() {
    d->hide();
}

bool LookupComboBox::popupVisible() const {
    return d->popup && d->popup->isVisible();
}

QTableView* LookupComboBox::popupView() const {
    return d->ensurePopup();
}

void LookupComboBox::choose(int row) {
    Db::RecordSet* rs = d->listSet();
    if (!rs || row < 0 || row >= d->list->rowCount())
        return;
    const int keyField = rs->fieldIndex(d->props.keyField);
    const int pos = d->list->positionOf(row);
    if (keyField < 0 || pos < 0 || pos >= rs->recordCount())
        return;
    if (Db::LookupRows* rows = d->list->rows())
        rows->picked(pos);
    // Hooks read the rest of the chosen row through the list's cursor.
    if (rs->state() == Db::DataSetState::Browse)
        rs->moveTo(pos);
    d->setKey(rs->valueAt(rs->rowAt(pos), keyField), true);
}

void LookupComboBox::clear() {
    d->setKey(QVariant(), true);
}

}  // namespace Qd::Core::Ui
