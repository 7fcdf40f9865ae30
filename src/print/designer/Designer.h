#pragma once

// The report designer: a modal window over one template. The page shows the bands top to bottom
// with their objects drawn as they print; objects are added from the toolbar, moved and sized
// with the mouse or the arrow keys, edited in the property grid, and fields, variables and
// functions are put in from the data tree (double-click, or drag onto a band). Every change can
// be undone; 保存 hands the template back to the caller.

#include <QDialog>
#include <memory>

#include "print/designer/DesignerDocument.h"
#include "print/engine/Engine.h"

class QAction;
class QGraphicsScene;
class QLabel;
class QTreeWidget;

namespace Qd::Core::Ui {
class PropertyGrid;
}

namespace Qd::Print {

namespace Internal {
class DesignView;
class BandItem;
struct Property;
}  // namespace Internal

class DesignerDialog : public QDialog {
    Q_OBJECT
public:
    // `data` (not owned, may be null) lists the fields, variables and functions to put in and
    // feeds 预览; it must outlive the dialog.
    DesignerDialog(const ReportTemplate& report, const ReportData* data, QWidget* parent = nullptr);
    ~DesignerDialog() override;

    DesignerDocument& document() { return m_doc; }
    // Whether 保存 was used; savedReport() is the template as last saved.
    bool wasSaved() const { return m_wasSaved; }
    const ReportTemplate& savedReport() const { return m_saved; }

    // Actions by object name: save, undo, redo, delete, preview, zoomIn, zoomOut, close,
    // addText, addLine, addRectangle, addPicture, addBarcode, and addBand.<kind> for each band
    // kind by its name base (addBand.MasterData, addBand.PageHeader...).
    QAction* action(const QString& name) const;
    QGraphicsScene* scene() const { return m_scene; }
    Internal::DesignView* view() const { return m_view; }
    QTreeWidget* dataTree() const { return m_tree; }
    Core::Ui::PropertyGrid* properties() const { return m_grid; }

    // Checks the template (names, places, expressions) and keeps it as saved; problems are
    // shown first, and saving them anyway is the user's choice. False when not saved.
    bool save();
    // Redraws the page and reloads the property grid from the document.
    void refresh();
    // The top-left corner of a band's printing area in scene coordinates; null when absent.
    QPointF bandOrigin(const QString& band) const;
    // Puts a field, variable or function (as the data tree offers it) where `scenePos` is: into
    // the text object there, or as a new text in the band there.
    bool dropText(const QPointF& scenePos, const QString& text);

protected:
    void reject() override;
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildActions();
    void buildLayout();
    void fillDataTree();
    void apply(bool changed);
    void scheduleRefresh();
    void syncSelectionFromScene();
    void loadProperties();
    void propertyChanged(const QString& name);
    void objectDragged(const QString& name, const QRectF& sceneRectMm);
    void addObject(ObjectKind kind);
    void pickPicture();
    void preview();
    void nudge(int key, bool resize);
    // The band whose area holds scene height `y` (scene units), or the nearest one.
    const Internal::BandItem* bandAt(double y) const;
    std::vector<QString> problems() const;

    DesignerDocument m_doc;
    const ReportData* m_data;  // not owned; may be null
    ReportTemplate m_saved;
    bool m_wasSaved = false;
    bool m_syncing = false;  // the scene is being rebuilt; its selection signals are ours
    bool m_refreshPending = false;
    bool m_shown = false;

    std::vector<QAction*> m_actions;               // owned by the dialog
    std::vector<Internal::BandItem*> m_bandItems;  // owned by the scene
    QGraphicsScene* m_scene = nullptr;
    Internal::DesignView* m_view = nullptr;
    QTreeWidget* m_tree = nullptr;
    Core::Ui::PropertyGrid* m_grid = nullptr;
    QLabel* m_gridTitle = nullptr;
    std::vector<Internal::Property> m_properties;
    QString m_propertiesFor;  // what the grid rows were made for: "", band or object name
};

// Opens the designer on `report` through the prompter and, when the user saved, puts the saved
// template into `report`. Returns whether it was saved.
bool designTemplate(ReportTemplate& report, const ReportData* data, QWidget* parent = nullptr);

}  // namespace Qd::Print
