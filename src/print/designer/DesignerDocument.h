#pragma once

// The template a designer edits: every change is one step that undo takes back whole, the
// selection is kept by name so that it survives undo and redo, and bands go where their kind
// prints. No widgets here; the designer dialog draws and edits through this class.

#include <QRectF>
#include <QString>
#include <QStringList>
#include <functional>
#include <utility>
#include <vector>

#include "print/engine/Template.h"

namespace Qd::Print {

class DesignerDocument {
public:
    // `datasets`: the names the report can print from, offered to new data bands.
    explicit DesignerDocument(ReportTemplate report, QStringList datasets = {});

    const ReportTemplate& report() const { return m_report; }
    const QStringList& datasets() const { return m_datasets; }

    // Applies `edit` as one undo step; false (and no step) when it changed nothing. Changes
    // with the same non-empty `mergeKey` in a row make one step, so typing a text is undone
    // whole rather than a character at a time.
    bool change(const std::function<void(ReportTemplate&)>& edit, const QString& mergeKey = {});
    bool undo();
    bool redo();
    bool canUndo() const { return !m_undo.empty(); }
    bool canRedo() const { return !m_redo.empty(); }
    // Whether the template differs from what markSaved last saw (or from the one opened).
    bool isModified() const { return m_report != m_saved; }
    void markSaved() { m_saved = m_report; }

    // The selection: an object and its band, a band alone, or nothing (the page). Names of
    // bands or objects that no longer exist read as not selected.
    void select(const QString& band, const QString& object = {});
    void selectObject(const QString& object);
    const Band* selectedBand() const;
    const ReportObject* selectedObject() const;
    Band* selectedBand() { return const_cast<Band*>(std::as_const(*this).selectedBand()); }
    ReportObject* selectedObject() {
        return const_cast<ReportObject*>(std::as_const(*this).selectedObject());
    }
    QString selectedBandName() const;
    QString selectedObjectName() const;

    // Adds a band where its kind prints (a new group footer closes the newest group header),
    // selects it and returns its name. A data band takes the first dataset no other data band
    // prints yet.
    QString addBand(BandKind kind);
    // Adds an object to the selected band (the band of the selected object), at `rectMm` or
    // a default place and size for its kind; selects it and returns its name. Empty when no
    // band is selected.
    QString addObject(ObjectKind kind, const QRectF& rectMm = {});
    // Appends `text` (a field, a variable, a function call) to the selected text object, or
    // adds a text showing it to the selected band, at `rectMm` when given. One undo step; false
    // when neither is selected.
    bool insertText(const QString& text, const QRectF& rectMm = {});
    // Removes the selected object, or the selected band with its objects.
    bool removeSelection();
    // Puts an object into `band` at `rectMm` (band coordinates), kept inside the band.
    bool placeObject(const QString& object, const QString& band, const QRectF& rectMm);
    bool setBandHeight(const QString& band, double heightMm);

    // A band's kind in Chinese, as the designer labels it: "主数据", "页眉"...
    static QString kindCaption(BandKind kind);
    static QString kindCaption(ObjectKind kind);

private:
    ReportTemplate m_report;
    ReportTemplate m_saved;
    QStringList m_datasets;
    std::vector<ReportTemplate> m_undo;
    std::vector<ReportTemplate> m_redo;
    QString m_lastMergeKey;
    QString m_band;
    QString m_object;
};

}  // namespace Qd::Print
