#include "print/engine/Template.h"

#include <QHash>
#include <QSet>
#include <algorithm>

namespace Qd::Print {

namespace {

// Objects may touch their band's edges; this much over is rounding, not a misplaced object.
constexpr double kEdgeToleranceMm = 0.01;

bool sameName(const QString& a, const QString& b) {
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

QString mm(double value) {
    return QString::number(value, 'g', 6);
}

}  // namespace

QSizeF paperSizeMm(PaperSize size) {
    switch (size) {
        case PaperSize::A3:
            return {297, 420};
        case PaperSize::A4:
            return {210, 297};
        case PaperSize::A5:
            return {148, 210};
        case PaperSize::B5:
            return {176, 250};
        case PaperSize::Letter:
            return {215.9, 279.4};
        case PaperSize::Legal:
            return {215.9, 355.6};
        case PaperSize::Custom:
            break;
    }
    return {};
}

void PageSetup::setPaper(PaperSize size) {
    paper = size;
    if (size == PaperSize::Custom)
        return;
    const QSizeF standard = paperSizeMm(size);
    widthMm = standard.width();
    heightMm = standard.height();
}

void PageSetup::setCustomSize(double width, double height) {
    paper = PaperSize::Custom;
    widthMm = width;
    heightMm = height;
}

QSizeF PageSetup::pageSizeMm() const {
    return orientation == Orientation::Portrait ? QSizeF(widthMm, heightMm)
                                                : QSizeF(heightMm, widthMm);
}

double PageSetup::printableWidthMm() const {
    return pageSizeMm().width() - margins.left - margins.right;
}

QString nameBase(ObjectKind kind) {
    switch (kind) {
        case ObjectKind::Text:
            return QStringLiteral("Memo");
        case ObjectKind::Line:
            return QStringLiteral("Line");
        case ObjectKind::Rectangle:
            return QStringLiteral("Shape");
        case ObjectKind::Picture:
            return QStringLiteral("Picture");
        case ObjectKind::Barcode:
            return QStringLiteral("Barcode");
    }
    return QStringLiteral("Object");
}

QString nameBase(BandKind kind) {
    switch (kind) {
        case BandKind::ReportTitle:
            return QStringLiteral("ReportTitle");
        case BandKind::PageHeader:
            return QStringLiteral("PageHeader");
        case BandKind::MasterData:
            return QStringLiteral("MasterData");
        case BandKind::DetailData:
            return QStringLiteral("DetailData");
        case BandKind::GroupHeader:
            return QStringLiteral("GroupHeader");
        case BandKind::GroupFooter:
            return QStringLiteral("GroupFooter");
        case BandKind::ColumnFooter:
            return QStringLiteral("ColumnFooter");
        case BandKind::ReportSummary:
            return QStringLiteral("ReportSummary");
        case BandKind::PageFooter:
            return QStringLiteral("PageFooter");
    }
    return QStringLiteral("Band");
}

QStringList keyFields(const QString& key) {
    QStringList fields;
    for (const QString& field : key.split(u';')) {
        if (const QString name = field.trimmed(); !name.isEmpty())
            fields << name;
    }
    return fields;
}

QString Band::keyProblem() const {
    const qsizetype master = keyFields(masterKey).size();
    const qsizetype detail = keyFields(detailKey).size();
    if ((master == 0) != (detail == 0))
        return QStringLiteral("主表关联字段与明细关联字段应同时设置");
    if (master != detail)
        return QStringLiteral("主表关联字段有 %1 个，明细关联字段有 %2 个，个数应相同")
            .arg(master)
            .arg(detail);
    return {};
}

Band* ReportTemplate::findBand(const QString& bandName) {
    return const_cast<Band*>(std::as_const(*this).findBand(bandName));
}

const Band* ReportTemplate::findBand(const QString& bandName) const {
    for (const Band& band : bands) {
        if (sameName(band.name, bandName))
            return &band;
    }
    return nullptr;
}

ReportObject* ReportTemplate::findObject(const QString& objectName) {
    return const_cast<ReportObject*>(std::as_const(*this).findObject(objectName));
}

const ReportObject* ReportTemplate::findObject(const QString& objectName) const {
    for (const Band& band : bands) {
        for (const ReportObject& object : band.objects) {
            if (sameName(object.name, objectName))
                return &object;
        }
    }
    return nullptr;
}

const Variable* ReportTemplate::findVariable(const QString& variableName) const {
    for (const VariableCategory& category : variables) {
        for (const Variable& variable : category.variables) {
            if (sameName(variable.name, variableName))
                return &variable;
        }
    }
    return nullptr;
}

QString ReportTemplate::uniqueName(const QString& base) const {
    // One pass collecting the numbers in use, so that naming the n-th object is not quadratic.
    QSet<int> used;
    auto note = [&](const QString& taken) {
        if (taken.size() <= base.size() || !taken.startsWith(base, Qt::CaseInsensitive))
            return;
        bool ok = false;
        const int n = taken.mid(base.size()).toInt(&ok);
        if (ok && n > 0)
            used.insert(n);
    };
    for (const Band& band : bands) {
        note(band.name);
        for (const ReportObject& object : band.objects)
            note(object.name);
    }
    int n = 1;
    while (used.contains(n))
        ++n;
    return base + QString::number(n);
}

std::vector<TemplateProblem> ReportTemplate::validate() const {
    std::vector<TemplateProblem> problems;
    auto report = [&](const QString& where, const QString& message) {
        problems.push_back({where, message});
    };

    const QSizeF sheet = page.pageSizeMm();
    const double bandWidth = page.printableWidthMm();
    if (sheet.width() <= 0 || sheet.height() <= 0)
        report(QStringLiteral("页面"), QStringLiteral("纸张尺寸无效"));
    else if (bandWidth <= 0 || sheet.height() - page.margins.top - page.margins.bottom <= 0)
        report(QStringLiteral("页面"), QStringLiteral("页边距超出纸张"));

    // Bands and objects share one name space: expressions refer to either by name.
    QHash<QString, int> nameCounts;
    auto countName = [&](const QString& name) {
        if (!name.isEmpty())
            ++nameCounts[name.toCaseFolded()];
    };
    for (const Band& band : bands) {
        countName(band.name);
        for (const ReportObject& object : band.objects)
            countName(object.name);
    }
    QSet<QString> reportedDuplicates;
    auto checkName = [&](const QString& name, const QString& what) {
        if (name.isEmpty()) {
            report(what, QStringLiteral("没有名称"));
            return;
        }
        const QString key = name.toCaseFolded();
        if (nameCounts.value(key) > 1 && !reportedDuplicates.contains(key)) {
            reportedDuplicates.insert(key);
            report(name, QStringLiteral("名称重复"));
        }
    };

    for (int b = 0; b < int(bands.size()); ++b) {
        const Band& band = bands[b];
        const QString bandWhere =
            band.name.isEmpty() ? QStringLiteral("第 %1 个区").arg(b + 1) : band.name;
        checkName(band.name, bandWhere);
        if (band.heightMm < 0)
            report(bandWhere, QStringLiteral("高度为负"));
        if (band.isDataBand()) {
            if (band.dataset.isEmpty())
                report(bandWhere, QStringLiteral("数据区没有指定数据集"));
            else if (!datasets.contains(band.dataset, Qt::CaseInsensitive))
                report(bandWhere, QStringLiteral("数据集“%1”不在报表的数据集中").arg(band.dataset));
        }
        if (const QString problem = band.keyProblem(); !problem.isEmpty())
            report(bandWhere, problem);
        if (band.kind == BandKind::GroupHeader && band.condition.trimmed().isEmpty())
            report(bandWhere, QStringLiteral("分组头没有分组条件"));

        for (int o = 0; o < int(band.objects.size()); ++o) {
            const ReportObject& object = band.objects[o];
            const QString where =
                object.name.isEmpty()
                    ? QStringLiteral("%1 的第 %2 个对象").arg(bandWhere).arg(o + 1)
                    : object.name;
            checkName(object.name, where);
            const QRectF r = object.boundsMm();
            if (r.left() < -kEdgeToleranceMm || r.top() < -kEdgeToleranceMm ||
                r.right() > bandWidth + kEdgeToleranceMm ||
                r.bottom() > band.heightMm + kEdgeToleranceMm) {
                report(where, QStringLiteral("超出所在区 %1（%2 × %3 mm）")
                                  .arg(bandWhere, mm(bandWidth), mm(band.heightMm)));
            }
            if (const auto* picture = std::get_if<PictureObject>(&object.content)) {
                static const QByteArray pngSignature("\x89PNG\r\n\x1a\n", 8);
                if (!picture->png.isEmpty() && !picture->png.startsWith(pngSignature))
                    report(where, QStringLiteral("图片不是 PNG 格式"));
            }
        }
    }

    QSet<QString> variableNames;
    for (const VariableCategory& category : variables) {
        for (const Variable& variable : category.variables) {
            const QString key = variable.name.toCaseFolded();
            if (variable.name.isEmpty())
                report(category.name, QStringLiteral("变量没有名称"));
            else if (variableNames.contains(key))
                report(variable.name, QStringLiteral("变量名称重复"));
            variableNames.insert(key);
        }
    }
    return problems;
}

}  // namespace Qd::Print
