#include "print/designer/DesignerDocument.h"

#include <algorithm>
#include <utility>

namespace Qd::Print {

namespace {

// The order bands print in, top to bottom; the designer keeps them so.
int rank(BandKind kind) {
    switch (kind) {
        case BandKind::ReportTitle:
            return 0;
        case BandKind::PageHeader:
            return 1;
        case BandKind::GroupHeader:
            return 2;
        case BandKind::MasterData:
            return 3;
        case BandKind::DetailData:
            return 4;
        case BandKind::GroupFooter:
            return 5;
        case BandKind::ColumnFooter:
            return 6;
        case BandKind::ReportSummary:
            return 7;
        case BandKind::PageFooter:
            return 8;
    }
    return 9;
}

double defaultHeight(BandKind kind) {
    switch (kind) {
        case BandKind::ReportTitle:
            return 15;
        case BandKind::PageHeader:
        case BandKind::ReportSummary:
            return 10;
        default:
            return 8;
    }
}

QSizeF defaultSize(ObjectKind kind) {
    switch (kind) {
        case ObjectKind::Text:
            return {30, 6};
        case ObjectKind::Line:
            return {40, 0};
        case ObjectKind::Rectangle:
            return {30, 10};
        case ObjectKind::Picture:
            return {30, 20};
        case ObjectKind::Barcode:
            return {50, 15};
    }
    return {30, 6};
}

ReportObject::Content defaultContent(ObjectKind kind) {
    switch (kind) {
        case ObjectKind::Text:
            return TextObject{};
        case ObjectKind::Line:
            return LineObject{};
        case ObjectKind::Rectangle:
            return RectangleObject{};
        case ObjectKind::Picture:
            return PictureObject{};
        case ObjectKind::Barcode:
            return BarcodeObject{QStringLiteral("123456")};
    }
    return TextObject{};
}

// Moves `r` (normalised) inside a band of the given size as far as it fits.
QRectF keptInside(QRectF r, double width, double height) {
    const QRectF n = r.normalized();
    const double dx = std::clamp(n.left(), 0.0, std::max(0.0, width - n.width())) - n.left();
    const double dy = std::clamp(n.top(), 0.0, std::max(0.0, height - n.height())) - n.top();
    r.translate(dx, dy);
    return r;
}

}  // namespace

DesignerDocument::DesignerDocument(ReportTemplate report, QStringList datasets)
    : m_report(std::move(report)), m_saved(m_report), m_datasets(std::move(datasets)) {
    for (const QString& name : m_report.datasets) {
        if (!m_datasets.contains(name, Qt::CaseInsensitive))
            m_datasets << name;
    }
}

bool DesignerDocument::change(const std::function<void(ReportTemplate&)>& edit,
                              const QString& mergeKey) {
    ReportTemplate before = m_report;
    edit(m_report);
    if (m_report == before)
        return false;
    const bool merge = !mergeKey.isEmpty() && mergeKey == m_lastMergeKey && !m_undo.empty();
    if (!merge)
        m_undo.push_back(std::move(before));
    m_redo.clear();
    m_lastMergeKey = mergeKey;
    return true;
}

bool DesignerDocument::undo() {
    if (m_undo.empty())
        return false;
    m_redo.push_back(std::move(m_report));
    m_report = std::move(m_undo.back());
    m_undo.pop_back();
    m_lastMergeKey.clear();
    return true;
}

bool DesignerDocument::redo() {
    if (m_redo.empty())
        return false;
    m_undo.push_back(std::move(m_report));
    m_report = std::move(m_redo.back());
    m_redo.pop_back();
    m_lastMergeKey.clear();
    return true;
}

void DesignerDocument::select(const QString& band, const QString& object) {
    m_band = band;
    m_object = object;
    m_lastMergeKey.clear();
}

void DesignerDocument::selectObject(const QString& object) {
    for (const Band& band : m_report.bands) {
        for (const ReportObject& o : band.objects) {
            if (o.name.compare(object, Qt::CaseInsensitive) == 0)
                return select(band.name, o.name);
        }
    }
    select({});
}

const Band* DesignerDocument::selectedBand() const {
    return m_band.isEmpty() ? nullptr : m_report.findBand(m_band);
}

const ReportObject* DesignerDocument::selectedObject() const {
    const Band* band = selectedBand();
    if (!band || m_object.isEmpty())
        return nullptr;
    for (const ReportObject& o : band->objects) {
        if (o.name.compare(m_object, Qt::CaseInsensitive) == 0)
            return &o;
    }
    return nullptr;
}

QString DesignerDocument::selectedBandName() const {
    return selectedBand() ? m_band : QString();
}

QString DesignerDocument::selectedObjectName() const {
    return selectedObject() ? m_object : QString();
}

QString DesignerDocument::addBand(BandKind kind) {
    Band band;
    band.kind = kind;
    band.name = m_report.uniqueName(nameBase(kind));
    band.heightMm = defaultHeight(kind);
    if (band.isDataBand()) {
        for (const QString& name : m_datasets) {
            const bool used =
                std::any_of(m_report.bands.begin(), m_report.bands.end(), [&](const Band& b) {
                    return b.isDataBand() && b.dataset.compare(name, Qt::CaseInsensitive) == 0;
                });
            if (!used) {
                band.dataset = name;
                break;
            }
        }
    }
    change([&](ReportTemplate& r) {
        // After the bands that print above it; a group footer before the other footers, since
        // the first footer closes the innermost (newest) group.
        auto at = kind == BandKind::GroupFooter
                      ? std::find_if(r.bands.begin(), r.bands.end(),
                                     [&](const Band& b) { return rank(b.kind) >= rank(kind); })
                      : std::find_if(r.bands.begin(), r.bands.end(),
                                     [&](const Band& b) { return rank(b.kind) > rank(kind); });
        if (!band.dataset.isEmpty() && !r.datasets.contains(band.dataset, Qt::CaseInsensitive))
            r.datasets << band.dataset;
        r.bands.insert(at, band);
    });
    select(band.name);
    return band.name;
}

QString DesignerDocument::addObject(ObjectKind kind, const QRectF& rectMm) {
    Band* band = selectedBand();
    if (!band)
        return {};
    const double width = m_report.page.printableWidthMm();
    QRectF rect = rectMm;
    if (rect.isNull()) {
        // Along the band's top row, after what is there, so a row of captions builds itself.
        const QSizeF size = defaultSize(kind);
        double x = 0;
        for (const ReportObject& o : band->objects) {
            if (o.boundsMm().top() < size.height())
                x = std::max(x, o.boundsMm().right());
        }
        if (x + size.width() > width)
            x = 0;
        rect = QRectF(QPointF(x, 0), size);
    }
    rect = keptInside(rect, width, std::max(band->heightMm, rect.normalized().height()));
    ReportObject object;
    object.name = m_report.uniqueName(nameBase(kind));
    object.content = defaultContent(kind);
    object.rectMm = rect;
    const QString bandName = band->name;
    change([&](ReportTemplate& r) {
        Band* b = r.findBand(bandName);
        if (object.boundsMm().bottom() > b->heightMm)
            b->heightMm = object.boundsMm().bottom();
        b->objects.push_back(object);
    });
    select(bandName, object.name);
    return object.name;
}

bool DesignerDocument::insertText(const QString& text, const QRectF& rectMm) {
    if (ReportObject* object = selectedObject()) {
        if (object->kind() != ObjectKind::Text)
            return false;
        const QString name = object->name;
        return change([&](ReportTemplate& r) {
            std::get<TextObject>(r.findObject(name)->content).text += text;
        });
    }
    if (addObject(ObjectKind::Text, rectMm).isEmpty())
        return false;
    const QString name = m_object;
    // One step with the object's creation: undo takes away the whole insertion.
    std::get<TextObject>(m_report.findObject(name)->content).text = text;
    return true;
}

bool DesignerDocument::removeSelection() {
    const QString bandName = selectedBandName();
    const QString objectName = selectedObjectName();
    if (bandName.isEmpty())
        return false;
    change([&](ReportTemplate& r) {
        auto& bands = r.bands;
        auto band = std::find_if(bands.begin(), bands.end(), [&](const Band& b) {
            return b.name.compare(bandName, Qt::CaseInsensitive) == 0;
        });
        if (objectName.isEmpty()) {
            bands.erase(band);
            return;
        }
        std::erase_if(band->objects, [&](const ReportObject& o) {
            return o.name.compare(objectName, Qt::CaseInsensitive) == 0;
        });
    });
    select(objectName.isEmpty() ? QString() : bandName);
    return true;
}

bool DesignerDocument::placeObject(const QString& objectName, const QString& bandName,
                                   const QRectF& rectMm) {
    if (!m_report.findObject(objectName) || !m_report.findBand(bandName))
        return false;
    const bool changed = change([&](ReportTemplate& r) {
        ReportObject moved;
        for (Band& b : r.bands) {
            auto it = std::find_if(b.objects.begin(), b.objects.end(), [&](const ReportObject& o) {
                return o.name.compare(objectName, Qt::CaseInsensitive) == 0;
            });
            if (it != b.objects.end()) {
                moved = std::move(*it);
                b.objects.erase(it);
                break;
            }
        }
        Band* target = r.findBand(bandName);
        moved.rectMm = keptInside(rectMm, r.page.printableWidthMm(), target->heightMm);
        target->objects.push_back(std::move(moved));
    });
    select(bandName, objectName);
    return changed;
}

bool DesignerDocument::setBandHeight(const QString& bandName, double heightMm) {
    return change([&](ReportTemplate& r) {
        if (Band* b = r.findBand(bandName))
            b->heightMm = std::max(0.0, heightMm);
    });
}

QString DesignerDocument::kindCaption(BandKind kind) {
    switch (kind) {
        case BandKind::ReportTitle:
            return QStringLiteral("报表标题");
        case BandKind::PageHeader:
            return QStringLiteral("页眉");
        case BandKind::MasterData:
            return QStringLiteral("主数据");
        case BandKind::DetailData:
            return QStringLiteral("明细数据");
        case BandKind::GroupHeader:
            return QStringLiteral("分组头");
        case BandKind::GroupFooter:
            return QStringLiteral("分组尾");
        case BandKind::ColumnFooter:
            return QStringLiteral("栏脚");
        case BandKind::ReportSummary:
            return QStringLiteral("报表合计");
        case BandKind::PageFooter:
            return QStringLiteral("页脚");
    }
    return {};
}

QString DesignerDocument::kindCaption(ObjectKind kind) {
    switch (kind) {
        case ObjectKind::Text:
            return QStringLiteral("文本");
        case ObjectKind::Line:
            return QStringLiteral("线条");
        case ObjectKind::Rectangle:
            return QStringLiteral("矩形");
        case ObjectKind::Picture:
            return QStringLiteral("图片");
        case ObjectKind::Barcode:
            return QStringLiteral("条码");
    }
    return {};
}

}  // namespace Qd::Print
