// The alert window and the property grid.

#include <QCheckBox>
#include <QDateTimeEdit>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QScreen>
#include <QScrollArea>
#include <QTextEdit>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include "ui/editors/Editors.h"
#include "ui/editors/EditorsInternal.h"

namespace Qd::Core::Ui {

// ---- AlertWindow -----------------------------------------------------------------------------

namespace {

constexpr int kAlertWidth = 300;
constexpr int kAlertMargin = 12;

// Stacks the open alerts of a window upwards from its bottom-right corner, oldest lowest.
void placeAlerts(QWidget* host, const QWidget* leaving = nullptr) {
    int bottom = host->height() - kAlertMargin;
    for (AlertWindow* alert : host->findChildren<AlertWindow*>(Qt::FindDirectChildrenOnly)) {
        if (alert == leaving || alert->isHidden())
            continue;
        alert->move(host->width() - kAlertMargin - alert->width(), bottom - alert->height());
        bottom -= alert->height() + 6;
    }
}

}  // namespace

AlertWindow* AlertWindow::showAlert(QWidget* parent, const QString& caption, const QString& text,
                                    int ms) {
    auto* alert = new AlertWindow(parent, caption, text, ms);
    alert->show();
    alert->raise();
    if (QWidget* host = alert->parentWidget())
        placeAlerts(host);
    return alert;
}

AlertWindow::AlertWindow(QWidget* parent, const QString& caption, const QString& text, int ms)
    : QWidget(parent ? parent->window() : nullptr) {
    setObjectName(QStringLiteral("alertWindow"));
    setAttribute(Qt::WA_DeleteOnClose);
    setAttribute(Qt::WA_StyledBackground);
    if (!parentWidget())
        setWindowFlags(Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    setStyleSheet(QStringLiteral(
        "#alertWindow { background: #fbfcfe; border: 1px solid #8fa9cc; border-radius: 4px; }"
        "#alertWindow QLabel { background: transparent; }"
        "#alertWindow QLabel#alertCaption { color: #1f4e8c; }"
        "#alertWindow QLabel#alertText { color: #333333; }"
        "#alertWindow QToolButton { border: none; color: #5a6b80; font-size: 14px; }"
        "#alertWindow QToolButton:hover { color: #c0392b; }"));

    m_caption = new QLabel(caption, this);
    m_caption->setObjectName(QStringLiteral("alertCaption"));
    QFont bold = m_caption->font();
    bold.setBold(true);
    m_caption->setFont(bold);
    auto* close = new QToolButton(this);
    close->setObjectName(QStringLiteral("alertClose"));
    close->setText(QStringLiteral("×"));
    close->setToolTip(QStringLiteral("关闭"));
    close->setCursor(Qt::PointingHandCursor);
    connect(close, &QToolButton::clicked, this, &QWidget::close);
    m_text = new QLabel(text, this);
    m_text->setObjectName(QStringLiteral("alertText"));
    m_text->setWordWrap(true);
    m_text->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    auto* top = new QHBoxLayout;
    top->setSpacing(6);
    top->addWidget(m_caption, 1);
    top->addWidget(close, 0, Qt::AlignTop);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(12, 8, 8, 12);
    column->setSpacing(6);
    column->addLayout(top);
    column->addWidget(m_text);
    setFixedWidth(kAlertWidth);
    setFixedHeight(column->heightForWidth(kAlertWidth));

    m_timer = new QTimer(this);
    m_timer->setSingleShot(true);
    m_timer->setInterval(std::max(ms, 0));
    connect(m_timer, &QTimer::timeout, this, &QWidget::close);
    m_timer->start();

    // It waits while the pointer is over it; the others close up when it goes.
    installEventFilter(new Internal::EventHook(this, [this](QObject*, QEvent* e) {
        if (e->type() == QEvent::Enter)
            m_timer->stop();
        else if (e->type() == QEvent::Leave)
            m_timer->start();
        else if (e->type() == QEvent::Hide && parentWidget())
            placeAlerts(parentWidget(), this);
        return false;
    }));
    if (QWidget* host = parentWidget()) {
        host->installEventFilter(new Internal::EventHook(this, [host](QObject*, QEvent* e) {
            if (e->type() == QEvent::Resize)
                placeAlerts(host);
            return false;
        }));
    } else if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        move(area.right() - kAlertMargin - width(), area.bottom() - kAlertMargin - height());
    }
}

QString AlertWindow::caption() const {
    return m_caption->text();
}

QString AlertWindow::text() const {
    return m_text->text();
}

// ---- PropertyGrid ----------------------------------------------------------------------------

namespace {
constexpr int kCaptionWidth = 110;
constexpr int kRowHeight = 24;      // at least, so check-box rows line up with the others
constexpr int kTallRowHeight = 64;  // memo and rich-text rows
}  // namespace

struct PropertyGrid::Impl {
    struct Row {
        QString name;
        QWidget* row;     // owned by the body
        QWidget* editor;  // owned by the row
        bool readOnly = false;
    };
    QScrollArea* scroll = nullptr;  // child
    QWidget* body = nullptr;        // owned by scroll
    QVBoxLayout* rows = nullptr;    // the body's
    std::vector<Row> items;
    std::vector<QWidget*> headings;  // owned by the body
    bool loading = false;            // setValue is filling an editor
    int captionWidth = kCaptionWidth;
    int rowHeight = 0;  // fixed height of one-line rows; 0: at least kRowHeight
    Qt::Alignment captionAlignment = Qt::AlignLeft | Qt::AlignVCenter;

    Row* find(const QString& name) {
        for (Row& r : items)
            if (r.name.compare(name, Qt::CaseInsensitive) == 0)
                return &r;
        return nullptr;
    }
    const Row* find(const QString& name) const { return const_cast<Impl*>(this)->find(name); }
};

PropertyGrid::PropertyGrid(QWidget* parent) : QWidget(parent), d(std::make_unique<Impl>()) {
    setObjectName(QStringLiteral("propertyGrid"));
    d->scroll = new QScrollArea(this);
    d->scroll->setWidgetResizable(true);
    d->scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    d->body = new QWidget;
    d->body->setObjectName(QStringLiteral("propertyBody"));
    d->body->setAttribute(Qt::WA_StyledBackground);
    d->rows = new QVBoxLayout(d->body);
    d->rows->setContentsMargins(0, 0, 0, 0);
    d->rows->setSpacing(0);
    d->rows->addStretch(1);
    d->scroll->setWidget(d->body);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(d->scroll);
    setStyleSheet(
        QStringLiteral("#propertyBody { background: white; }"
                       "QWidget#propertyRow { border-bottom: 1px solid #e1e6ee; }"
                       "QWidget#propertyRow[odd=\"true\"] { background: #f4f7fb; }"
                       "QWidget#propertyRow[odd=\"false\"] { background: white; }"
                       "QLabel#propertyHeading { background: #dde7f3; color: #1f4e8c;"
                       " font-weight: bold; padding-left: 6px; border-bottom: 1px solid #c3d1e2; }"
                       "QLabel#propertyCaption { color: #33475e; border-right: 1px solid #e1e6ee;"
                       " padding-left: 6px; }"));
}

PropertyGrid::~PropertyGrid() = default;

QWidget* PropertyGrid::addRow(const QString& name, const QString& caption,
                              const EditorProps& props) {
    auto* row = new QWidget(d->body);
    row->setObjectName(QStringLiteral("propertyRow"));
    row->setAttribute(Qt::WA_StyledBackground);
    row->setProperty("odd", d->items.size() % 2 == 1);
    auto* line = new QHBoxLayout(row);
    line->setContentsMargins(0, 0, 4, 0);
    line->setSpacing(4);
    auto* label = new QLabel(caption, row);
    label->setObjectName(QStringLiteral("propertyCaption"));
    label->setFixedWidth(d->captionWidth);
    label->setAlignment(d->captionAlignment);
    label->setToolTip(caption);
    QWidget* editor = createEditor(props, row);
    editor->setObjectName(name);
    // Rows keep their own height; the space left over stays below the last one.
    row->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    row->setMinimumHeight(kRowHeight);
    const bool tall = qobject_cast<QPlainTextEdit*>(editor) || qobject_cast<QTextEdit*>(editor);
    if (tall) {
        editor->setFixedHeight(kTallRowHeight);
        label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        label->setContentsMargins(0, 6, 0, 0);
        label->setFixedHeight(kTallRowHeight + 4);
    } else if (d->rowHeight > 0) {
        row->setFixedHeight(d->rowHeight);
        editor->setMaximumHeight(d->rowHeight - 1);  // the row's bottom line stays in sight
    }
    line->addWidget(label);
    line->addWidget(editor, 1, Qt::AlignVCenter);
    d->rows->insertWidget(d->rows->count() - 1, row);
    d->items.push_back({name, row, editor});
    watch(name, editor);
    return editor;
}

void PropertyGrid::addHeading(const QString& text) {
    auto* heading = new QLabel(text, d->body);
    heading->setObjectName(QStringLiteral("propertyHeading"));
    heading->setMinimumHeight(kRowHeight);
    heading->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    heading->setWordWrap(true);
    d->rows->insertWidget(d->rows->count() - 1, heading);
    d->headings.push_back(heading);
}

void PropertyGrid::setCaptionLayout(int width, Qt::Alignment alignment) {
    d->captionWidth = width;
    d->captionAlignment = alignment;
}

void PropertyGrid::setRowHeight(int height) {
    d->rowHeight = height;
}

void PropertyGrid::watch(const QString& name, QWidget* editor) {
    onEditorChanged(editor, this, [this, name] {
        if (!d->loading)
            emit valueChanged(name);
    });
}

QWidget* PropertyGrid::editor(const QString& name) const {
    const Impl::Row* r = d->find(name);
    return r ? r->editor : nullptr;
}

QStringList PropertyGrid::names() const {
    QStringList out;
    for (const Impl::Row& r : d->items)
        out << r.name;
    return out;
}

QVariant PropertyGrid::value(const QString& name) const {
    const Impl::Row* r = d->find(name);
    return r ? editorValue(r->editor) : QVariant();
}

void PropertyGrid::setValue(const QString& name, const QVariant& value) {
    if (const Impl::Row* r = d->find(name)) {
        d->loading = true;
        setEditorValue(r->editor, value);
        d->loading = false;
    }
}

void PropertyGrid::setReadOnly(const QString& name, bool readOnly) {
    if (Impl::Row* r = d->find(name)) {
        r->readOnly = readOnly;
        setEditorReadOnly(r->editor, readOnly);
    }
}

bool PropertyGrid::isReadOnly(const QString& name) const {
    const Impl::Row* r = d->find(name);
    return r && r->readOnly;
}

void PropertyGrid::clear() {
    for (const Impl::Row& r : d->items)
        delete r.row;
    d->items.clear();
    qDeleteAll(d->headings);
    d->headings.clear();
}

}  // namespace Qd::Core::Ui
