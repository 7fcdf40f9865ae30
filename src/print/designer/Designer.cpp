#include "print/designer/Designer.h"

#include <QAction>
#include <QApplication>
#include <QBuffer>
#include <QGraphicsScene>
#include <QGraphicsSimpleTextItem>
#include <QHBoxLayout>
#include <QImageReader>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QSplitter>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "base/Prompter.h"
#include "print/designer/DesignerProperties.h"
#include "print/designer/DesignerView.h"
#include "print/engine/Expression.h"
#include "print/engine/Preview.h"
#include "ui/editors/Editors.h"

namespace Qd::Print {

using Core::Ui::prompter;
using Internal::BandItem;
using Internal::kScenePerMm;
using Internal::ObjectItem;

namespace {

constexpr double kGapMm = 3;  // between bands, and above the first
constexpr double kZoomStep = 1.25;
const QString kTitle = QStringLiteral("报表设计");

constexpr BandKind kBandKinds[] = {
    BandKind::ReportTitle,  BandKind::PageHeader,    BandKind::GroupHeader,
    BandKind::MasterData,   BandKind::DetailData,    BandKind::GroupFooter,
    BandKind::ColumnFooter, BandKind::ReportSummary, BandKind::PageFooter,
};
struct ObjectAction {
    ObjectKind kind;
    const char* name;
};
constexpr ObjectAction kObjectActions[] = {
    {ObjectKind::Text, "addText"},           {ObjectKind::Line, "addLine"},
    {ObjectKind::Rectangle, "addRectangle"}, {ObjectKind::Picture, "addPicture"},
    {ObjectKind::Barcode, "addBarcode"},
};

// The data tree hands what an item puts in (its UserRole) to drags as plain text.
class DataTree : public QTreeWidget {
public:
    using QTreeWidget::QTreeWidget;

protected:
    QMimeData* mimeData(const QList<QTreeWidgetItem*>& items) const override {
        const QString text =
            items.isEmpty() ? QString() : items[0]->data(0, Qt::UserRole).toString();
        if (text.isEmpty())
            return nullptr;
        auto* data = new QMimeData;
        data->setText(text);
        return data;
    }
};

QTreeWidgetItem* branch(QTreeWidgetItem* parent, const QString& caption) {
    auto* item = new QTreeWidgetItem(parent, {caption});
    item->setFlags(Qt::ItemIsEnabled);
    return item;
}

QTreeWidgetItem* leaf(QTreeWidgetItem* parent, const QString& caption, const QString& insert,
                      const QString& tip = {}) {
    auto* item = new QTreeWidgetItem(parent, {caption});
    item->setData(0, Qt::UserRole, insert);
    item->setToolTip(0, tip.isEmpty() ? insert : tip);
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled);
    return item;
}

// What the data tree puts in for a user function: a call by its name, "[MoneyCn()]", whose
// arguments the author fills in.
QString functionCall(const UserFunction& f) {
    return QStringLiteral("[%1()]").arg(f.name);
}

}  // namespace

DesignerDialog::DesignerDialog(const ReportTemplate& report, const ReportData* data,
                               QWidget* parent)
    : QDialog(parent),
      m_doc(report, data ? data->datasetNames() : QStringList()),
      m_data(data),
      m_saved(report) {
    setObjectName(QStringLiteral("reportDesigner"));
    resize(1180, 760);
    buildActions();
    buildLayout();
    fillDataTree();
    refresh();
}

DesignerDialog::~DesignerDialog() {
    // The scene outlives the members its selection signal reads.
    disconnect(m_scene, nullptr, this, nullptr);
}

QAction* DesignerDialog::action(const QString& name) const {
    for (QAction* a : m_actions) {
        if (a->objectName() == name)
            return a;
    }
    return nullptr;
}

void DesignerDialog::buildActions() {
    auto add = [this](const QString& name, const QString& text, auto slot, QKeySequence keys = {}) {
        auto* a = new QAction(text, this);
        a->setObjectName(name);
        a->setShortcut(keys);
        connect(a, &QAction::triggered, this, slot);
        m_actions.push_back(a);
        return a;
    };
    add(
        QStringLiteral("save"), QStringLiteral("保存"), [this] { save(); }, QKeySequence::Save);
    add(
        QStringLiteral("undo"), QStringLiteral("撤销"), [this] { apply(m_doc.undo()); },
        QKeySequence::Undo);
    add(
        QStringLiteral("redo"), QStringLiteral("重做"), [this] { apply(m_doc.redo()); },
        QKeySequence::Redo);
    add(QStringLiteral("delete"), QStringLiteral("删除"),
        [this] { apply(m_doc.removeSelection()); });
    for (const ObjectAction& a : kObjectActions) {
        add(QString::fromLatin1(a.name), DesignerDocument::kindCaption(a.kind),
            [this, kind = a.kind] { addObject(kind); });
    }
    for (BandKind kind : kBandKinds) {
        add(QStringLiteral("addBand.") + nameBase(kind), DesignerDocument::kindCaption(kind),
            [this, kind] {
                m_doc.addBand(kind);
                apply(true);
            });
    }
    add(QStringLiteral("preview"), QStringLiteral("预览"), [this] { preview(); });
    add(
        QStringLiteral("zoomIn"), QStringLiteral("放大"),
        [this] { m_view->setZoom(m_view->zoom() * kZoomStep); }, QKeySequence::ZoomIn);
    add(
        QStringLiteral("zoomOut"), QStringLiteral("缩小"),
        [this] { m_view->setZoom(m_view->zoom() / kZoomStep); }, QKeySequence::ZoomOut);
    add(QStringLiteral("close"), QStringLiteral("关闭"), [this] { reject(); });
    addActions(QList<QAction*>(m_actions.begin(), m_actions.end()));
}

void DesignerDialog::buildLayout() {
    auto* bar = new QToolBar(this);
    bar->setToolButtonStyle(Qt::ToolButtonTextOnly);
    for (const char* name : {"save", "undo", "redo"})
        bar->addAction(action(QString::fromLatin1(name)));
    bar->addSeparator();
    auto* bands = new QToolButton(bar);
    bands->setText(QStringLiteral("添加区"));
    bands->setPopupMode(QToolButton::InstantPopup);
    auto* menu = new QMenu(bands);
    for (BandKind kind : kBandKinds)
        menu->addAction(action(QStringLiteral("addBand.") + nameBase(kind)));
    bands->setMenu(menu);
    bar->addWidget(bands);
    for (const ObjectAction& a : kObjectActions)
        bar->addAction(action(QString::fromLatin1(a.name)));
    bar->addAction(action(QStringLiteral("delete")));
    bar->addSeparator();
    for (const char* name : {"zoomIn", "zoomOut", "preview", "close"})
        bar->addAction(action(QString::fromLatin1(name)));
    action(QStringLiteral("preview"))->setEnabled(m_data != nullptr);

    m_tree = new DataTree(this);
    m_tree->setObjectName(QStringLiteral("dataTree"));
    m_tree->setHeaderLabel(QStringLiteral("数据"));
    m_tree->setDragEnabled(true);
    m_tree->setDragDropMode(QAbstractItemView::DragOnly);
    connect(m_tree, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem* item) {
        const QString text = item->data(0, Qt::UserRole).toString();
        if (text.isEmpty())
            return;
        if (!m_doc.insertText(text)) {
            prompter().message(QStringLiteral("请先选择一个区或文本对象。"), kTitle,
                               Core::Ui::MsgKind::Information, Core::Ui::MsgButtons::Ok);
            return;
        }
        apply(true);
    });

    m_scene = new QGraphicsScene(this);
    connect(m_scene, &QGraphicsScene::selectionChanged, this,
            &DesignerDialog::syncSelectionFromScene);
    m_view = new Internal::DesignView(m_scene, this);
    m_view->setObjectName(QStringLiteral("designView"));
    m_view->installEventFilter(this);
    m_view->dropped = [this](const QPointF& at, const QString& text) { dropText(at, text); };

    auto* side = new QWidget(this);
    auto* sideLayout = new QVBoxLayout(side);
    sideLayout->setContentsMargins(0, 0, 0, 0);
    m_gridTitle = new QLabel(side);
    m_gridTitle->setObjectName(QStringLiteral("propertyTitle"));
    m_gridTitle->setStyleSheet(QStringLiteral("padding: 4px; font-weight: bold;"));
    m_grid = new Core::Ui::PropertyGrid(side);
    connect(m_grid, &Core::Ui::PropertyGrid::valueChanged, this, &DesignerDialog::propertyChanged);
    sideLayout->addWidget(m_gridTitle);
    sideLayout->addWidget(m_grid, 1);

    auto* split = new QSplitter(this);
    split->addWidget(m_tree);
    split->addWidget(m_view);
    split->addWidget(side);
    split->setStretchFactor(1, 1);
    split->setSizes({220, 640, 300});

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addWidget(bar);
    layout->addWidget(split, 1);
}

void DesignerDialog::fillDataTree() {
    const ReportTemplate& report = m_doc.report();
    auto* datasets = new QTreeWidgetItem(m_tree, {QStringLiteral("数据集")});
    for (const QString& name : m_doc.datasets()) {
        QTreeWidgetItem* set = branch(datasets, name);
        const IDataset* d = m_data ? m_data->dataset(name) : nullptr;
        for (const QString& field : d ? d->fieldNames() : QStringList())
            leaf(set, field, QStringLiteral("[%1.\"%2\"]").arg(name, field));
    }
    auto* variables = new QTreeWidgetItem(m_tree, {QStringLiteral("变量")});
    // Every variable of the data under its own category, even one named like a variable of
    // another category (a caller's 电话 beside the global one); the template's own only where
    // the data has none of that name, since the data's hide them.
    QStringList listed;
    auto addVariable = [&](const QString& category, const QString& name) {
        listed << name;
        QTreeWidgetItem* parent = nullptr;
        for (int i = 0; i < variables->childCount() && !parent; ++i) {
            if (variables->child(i)->text(0) == category)
                parent = variables->child(i);
        }
        leaf(parent ? parent : branch(variables, category), name, QStringLiteral("[%1]").arg(name));
    };
    if (m_data) {
        for (const QString& category : m_data->categories()) {
            for (const QString& name : m_data->variableNames(category))
                addVariable(category, name);
        }
    }
    for (const VariableCategory& category : report.variables) {
        for (const Variable& v : category.variables) {
            if (!listed.contains(v.name, Qt::CaseInsensitive))
                addVariable(category.name, v.name);
        }
    }
    auto* functions = new QTreeWidgetItem(m_tree, {QStringLiteral("函数")});
    if (m_data) {
        for (const UserFunction& f : m_data->functions()) {
            QTreeWidgetItem* parent = nullptr;
            const QString category = f.category.isEmpty() ? QStringLiteral("其他") : f.category;
            for (int i = 0; i < functions->childCount() && !parent; ++i) {
                if (functions->child(i)->text(0) == category)
                    parent = functions->child(i);
            }
            leaf(parent ? parent : branch(functions, category), f.name, functionCall(f),
                 f.declaration + QStringLiteral("\n") + f.description);
        }
    }
    auto* system = new QTreeWidgetItem(m_tree, {QStringLiteral("系统变量")});
    const std::pair<const char*, const char*> specials[] = {
        {"页码", "[Page#]"}, {"总页数", "[TotalPages#]"}, {"行号", "[Line#]"},
        {"日期", "[Date]"},  {"时间", "[Time]"},
    };
    for (const auto& [caption, insert] : specials)
        leaf(system, QString::fromUtf8(caption), QString::fromLatin1(insert));
    m_tree->expandToDepth(1);
}

// ---- keeping the scene and the grid in step with the document --------------------------------

void DesignerDialog::apply(bool changed) {
    if (changed)
        refresh();
}

void DesignerDialog::scheduleRefresh() {
    // Items report from inside their own mouse handlers; rebuilding the scene there would
    // delete the item still handling the event.
    if (std::exchange(m_refreshPending, true))
        return;
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_refreshPending = false;
            refresh();
        },
        Qt::QueuedConnection);
}

void DesignerDialog::refresh() {
    const ReportTemplate& report = m_doc.report();
    m_syncing = true;
    m_scene->clear();
    m_bandItems.clear();
    const QSizeF sheet = report.page.pageSizeMm();
    const double left = report.page.margins.left;
    const double width = report.page.printableWidthMm();
    double y = kGapMm;
    for (const Band& band : report.bands) {
        const QString name = band.name;
        auto* item = new BandItem(band, width, [this, name](double heightMm) {
            m_doc.setBandHeight(name, heightMm);
            scheduleRefresh();
        });
        item->setPos(QPointF(left, y) * kScenePerMm);
        m_scene->addItem(item);
        m_bandItems.push_back(item);
        item->setSelected(m_doc.selectedObjectName().isEmpty() &&
                          m_doc.selectedBandName().compare(name, Qt::CaseInsensitive) == 0);
        for (const ReportObject& object : band.objects) {
            const QString objectName = object.name;
            auto* o = new ObjectItem(object, [this, objectName](const QRectF& rectMm) {
                objectDragged(objectName, rectMm);
            });
            o->setPos(item->areaOrigin() + object.boundsMm().topLeft() * kScenePerMm);
            m_scene->addItem(o);
            o->setSelected(m_doc.selectedObjectName().compare(objectName, Qt::CaseInsensitive) ==
                           0);
        }
        y += BandItem::kCaptionMm + band.heightMm + kGapMm;
    }
    if (report.bands.empty()) {
        auto* hint = m_scene->addSimpleText(QStringLiteral("请用“添加区”放入报表标题、数据区等。"));
        hint->setPos(QPointF(left, kGapMm) * kScenePerMm);
        hint->setBrush(QColor(0x80, 0x80, 0x80));
        y += 10;
    }
    auto* page = m_scene->addRect(
        QRectF(QPointF(0, 0), QSizeF(sheet.width(), std::max(y, 20.0)) * kScenePerMm),
        QPen(QColor(0x9a, 0xa5, 0xb4)), QBrush(QColor(0xf7, 0xf8, 0xfa)));
    page->setZValue(-1);
    m_scene->setSceneRect(m_scene->itemsBoundingRect().adjusted(-20, -20, 20, 20));
    m_syncing = false;

    loadProperties();
    action(QStringLiteral("undo"))->setEnabled(m_doc.canUndo());
    action(QStringLiteral("redo"))->setEnabled(m_doc.canRedo());
    action(QStringLiteral("delete"))->setEnabled(!m_doc.selectedBandName().isEmpty());
    setWindowTitle(
        QStringLiteral("%1 - %2%3")
            .arg(kTitle, report.name, m_doc.isModified() ? QStringLiteral(" *") : QString()));
}

void DesignerDialog::syncSelectionFromScene() {
    if (m_syncing)
        return;
    const QList<QGraphicsItem*> selected = m_scene->selectedItems();
    if (selected.isEmpty()) {
        m_doc.select({});
    } else if (auto* o = dynamic_cast<ObjectItem*>(selected.first())) {
        m_doc.selectObject(o->name());
    } else if (auto* b = dynamic_cast<BandItem*>(selected.first())) {
        m_doc.select(b->name());
    }
    loadProperties();
    action(QStringLiteral("delete"))->setEnabled(!m_doc.selectedBandName().isEmpty());
}

void DesignerDialog::loadProperties() {
    const ReportObject* object = m_doc.selectedObject();
    const Band* band = m_doc.selectedBand();
    const QString target = object ? object->name : band ? band->name : QString();
    if (target != m_propertiesFor || m_grid->names().isEmpty()) {
        m_grid->clear();
        if (object) {
            m_properties = Internal::objectProperties(*object, [this] { pickPicture(); });
            m_gridTitle->setText(
                QStringLiteral("对象 %1（%2）")
                    .arg(object->name, DesignerDocument::kindCaption(object->kind())));
        } else if (band) {
            m_properties = Internal::bandProperties(*band, m_doc.datasets());
            m_gridTitle->setText(QStringLiteral("区 %1（%2）")
                                     .arg(band->name, DesignerDocument::kindCaption(band->kind)));
        } else {
            m_properties = Internal::pageProperties();
            m_gridTitle->setText(QStringLiteral("页面"));
        }
        for (const Internal::Property& p : m_properties)
            m_grid->addRow(p.name, p.caption, p.editor);
        m_propertiesFor = target;
    }
    // Only rows that differ are filled, so the one being typed in keeps its cursor.
    for (const Internal::Property& p : m_properties) {
        const QVariant value = p.get(m_doc.report());
        if (m_grid->value(p.name) != value)
            m_grid->setValue(p.name, value);
    }
}

void DesignerDialog::propertyChanged(const QString& name) {
    const auto p = std::find_if(m_properties.begin(), m_properties.end(),
                                [&](const Internal::Property& r) { return r.name == name; });
    if (p == m_properties.end())
        return;
    const QVariant value = m_grid->value(name);
    if (name == QLatin1String("name")) {
        const QString newName = value.toString().trimmed();
        const bool taken = newName.compare(m_propertiesFor, Qt::CaseInsensitive) != 0 &&
                           (m_doc.report().findBand(newName) || m_doc.report().findObject(newName));
        if (newName.isEmpty() || taken) {
            prompter().message(newName.isEmpty()
                                   ? QStringLiteral("名称不能为空。")
                                   : QStringLiteral("名称“%1”已被使用。").arg(newName),
                               kTitle, Core::Ui::MsgKind::Error, Core::Ui::MsgButtons::Ok);
            m_grid->setValue(name, m_propertiesFor);
            return;
        }
        const bool isObject = !m_doc.selectedObjectName().isEmpty();
        const QString band = m_doc.selectedBandName();
        if (!m_doc.change([&](ReportTemplate& r) { p->set(r, newName); }))
            return;
        if (isObject)
            m_doc.select(band, newName);
        else
            m_doc.select(newName);
        scheduleRefresh();
        return;
    }
    if (m_doc.change([&](ReportTemplate& r) { p->set(r, value); }, m_propertiesFor + u'.' + name))
        scheduleRefresh();
    else
        loadProperties();  // refused (an emptied number): show the value kept
}

// ---- editing on the page ----------------------------------------------------------------------

const BandItem* DesignerDialog::bandAt(double y) const {
    const BandItem* nearest = nullptr;
    double distance = 0;
    for (const BandItem* band : m_bandItems) {
        const double top = band->areaOrigin().y();
        const double bottom = top + band->areaHeightMm() * kScenePerMm;
        const double d = y < top ? top - y : y > bottom ? y - bottom : 0;
        if (!nearest || d < distance) {
            nearest = band;
            distance = d;
        }
    }
    return nearest;
}

QPointF DesignerDialog::bandOrigin(const QString& band) const {
    for (const BandItem* item : m_bandItems) {
        if (item->name().compare(band, Qt::CaseInsensitive) == 0)
            return item->areaOrigin();
    }
    return {};
}

void DesignerDialog::objectDragged(const QString& name, const QRectF& sceneRectMm) {
    const ReportObject* object = m_doc.report().findObject(name);
    const BandItem* band = bandAt(sceneRectMm.normalized().center().y() * kScenePerMm);
    if (!object || !band)
        return;
    QRectF r = sceneRectMm.translated(-band->areaOrigin() / kScenePerMm);
    r.moveTopLeft(QPointF(Internal::snapped(r.left()), Internal::snapped(r.top())));
    if (r.size() != object->rectMm.size())
        r.setSize(QSizeF(Internal::snapped(r.width()), Internal::snapped(r.height())));
    m_doc.placeObject(name, band->name(), r);
    scheduleRefresh();
}

bool DesignerDialog::dropText(const QPointF& scenePos, const QString& text) {
    for (QGraphicsItem* item : m_scene->items(scenePos)) {
        auto* o = dynamic_cast<ObjectItem*>(item);
        const ReportObject* object = o ? m_doc.report().findObject(o->name()) : nullptr;
        if (object && object->kind() == ObjectKind::Text) {
            m_doc.selectObject(o->name());
            apply(m_doc.insertText(text));
            return true;
        }
    }
    const BandItem* band = bandAt(scenePos.y());
    if (!band)
        return false;
    const double top = band->areaOrigin().y();
    if (scenePos.y() < top || scenePos.y() > top + band->areaHeightMm() * kScenePerMm)
        return false;
    m_doc.select(band->name());
    const QPointF at = (scenePos - band->areaOrigin()) / kScenePerMm;
    const QRectF rect(QPointF(Internal::snapped(at.x()), Internal::snapped(at.y())), QSizeF(30, 6));
    apply(m_doc.insertText(text, rect));
    return true;
}

void DesignerDialog::addObject(ObjectKind kind) {
    if (m_doc.selectedBandName().isEmpty()) {
        prompter().message(QStringLiteral("请先选择要放置对象的区。"), kTitle,
                           Core::Ui::MsgKind::Information, Core::Ui::MsgButtons::Ok);
        return;
    }
    m_doc.addObject(kind);
    apply(true);
    if (kind == ObjectKind::Picture)
        pickPicture();
}

void DesignerDialog::pickPicture() {
    const QString name = m_doc.selectedObjectName();
    if (name.isEmpty())
        return;
    const QString file = prompter().openFileName(QStringLiteral("选择图片"), QString(),
                                                 QStringLiteral("图片 (*.png *.jpg *.jpeg *.bmp)"));
    if (file.isEmpty())
        return;
    QImageReader reader(file);
    const QImage image = reader.read();
    if (image.isNull()) {
        prompter().message(QStringLiteral("无法读取图片“%1”：%2").arg(file, reader.errorString()),
                           kTitle, Core::Ui::MsgKind::Error, Core::Ui::MsgButtons::Ok);
        return;
    }
    // Kept as PNG whatever it was, so the template holds one picture format.
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    apply(m_doc.change([&](ReportTemplate& r) {
        if (auto* p = std::get_if<PictureObject>(&r.findObject(name)->content))
            p->png = png;
    }));
}

void DesignerDialog::nudge(int key, bool resize) {
    const ReportObject* object = m_doc.selectedObject();
    if (!object)
        return;
    const double step = Internal::kSnapMm;
    QPointF d;
    switch (key) {
        case Qt::Key_Left:
            d = {-step, 0};
            break;
        case Qt::Key_Right:
            d = {step, 0};
            break;
        case Qt::Key_Up:
            d = {0, -step};
            break;
        default:
            d = {0, step};
            break;
    }
    const QString name = object->name;
    QRectF r = object->rectMm;
    if (resize)
        r.setSize(QSizeF(std::max(step, r.width() + d.x()), std::max(0.0, r.height() + d.y())));
    else
        r.translate(d);
    // A run of key presses is one step to undo.
    apply(m_doc.change([&](ReportTemplate& t) { t.findObject(name)->rectMm = r; },
                       QStringLiteral("nudge.") + name));
}

void DesignerDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (std::exchange(m_shown, true))
        return;
    // The whole width of the sheet in view, never larger than its real size; once the layout
    // has given the view its width.
    QMetaObject::invokeMethod(
        this,
        [this] {
            const double width = m_scene->sceneRect().width();
            if (width > 0)
                m_view->setZoom(std::min(1.0, (m_view->viewport()->width() - 4) / width));
        },
        Qt::QueuedConnection);
}

bool DesignerDialog::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_view && event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        switch (key->key()) {
            case Qt::Key_Delete:
                apply(m_doc.removeSelection());
                return true;
            case Qt::Key_Left:
            case Qt::Key_Right:
            case Qt::Key_Up:
            case Qt::Key_Down:
                nudge(key->key(), key->modifiers() & Qt::ShiftModifier);
                return true;
            default:
                break;
        }
    }
    return QDialog::eventFilter(watched, event);
}

// ---- saving and previewing --------------------------------------------------------------------

std::vector<QString> DesignerDialog::problems() const {
    std::vector<QString> out;
    const ReportTemplate& report = m_doc.report();
    for (const TemplateProblem& p : report.validate())
        out.push_back(QStringLiteral("%1：%2").arg(p.where, p.message));
    for (const Band& band : report.bands) {
        if (band.kind == BandKind::GroupHeader && !band.condition.trimmed().isEmpty()) {
            try {
                Expression::parse(band.condition);
            } catch (const ExpressionError& e) {
                out.push_back(QStringLiteral("%1：%2").arg(band.name, e.message()));
            }
        }
        for (const ReportObject& object : band.objects) {
            const QString* text = nullptr;
            if (const auto* t = std::get_if<TextObject>(&object.content))
                text = &t->text;
            else if (const auto* c = std::get_if<BarcodeObject>(&object.content))
                text = &c->text;
            try {
                if (text)
                    TextTemplate::parse(*text);
            } catch (const ExpressionError& e) {
                out.push_back(QStringLiteral("%1：%2（第 %3 个字符附近）")
                                  .arg(object.name, e.message())
                                  .arg(e.position() + 1));
            }
        }
    }
    return out;
}

bool DesignerDialog::save() {
    const std::vector<QString> found = problems();
    if (!found.empty()) {
        QStringList lines(found.begin(), found.end());
        const QString text =
            QStringLiteral("模板有以下问题：\n%1\n\n是否仍然保存？").arg(lines.join(u'\n'));
        if (prompter().message(text, kTitle, Core::Ui::MsgKind::Confirmation,
                               Core::Ui::MsgButtons::YesNo) != Core::Ui::mrYes)
            return false;
    }
    m_saved = m_doc.report();
    m_wasSaved = true;
    m_doc.markSaved();
    refresh();
    return true;
}

void DesignerDialog::preview() {
    if (!m_data)
        return;
    PreparedReport prepared;
    try {
        prepared = prepare(m_doc.report(), *m_data);
    } catch (const std::exception& e) {
        prompter().message(QString::fromUtf8(e.what()), kTitle, Core::Ui::MsgKind::Error,
                           Core::Ui::MsgButtons::Ok);
        return;
    }
    PreviewDialog dialog(std::move(prepared), this);
    prompter().exec(dialog);
}

void DesignerDialog::reject() {
    if (m_doc.isModified() &&
        prompter().message(QStringLiteral("模板已修改，是否保存？"), kTitle,
                           Core::Ui::MsgKind::Confirmation,
                           Core::Ui::MsgButtons::YesNo) == Core::Ui::mrYes &&
        !save())
        return;  // problems found and not saved: stay to fix them
    QDialog::reject();
}

bool designTemplate(ReportTemplate& report, const ReportData* data, QWidget* parent) {
    DesignerDialog dialog(report, data, parent);
    prompter().exec(dialog);
    if (dialog.wasSaved())
        report = dialog.savedReport();
    return dialog.wasSaved();
}

}  // namespace Qd::Print
