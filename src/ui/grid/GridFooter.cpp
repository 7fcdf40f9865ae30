// The footer of a grid view and the column summaries it shows.
#include <QHeaderView>
#include <QPainter>
#include <cmath>

#include "ui/editors/Editors.h"
#include "ui/grid/GridInternal.h"

namespace Qd::Core::Ui::Internal {

using Db::FieldType;

QString plainNumber(double value, int decimals) {
    if (decimals >= 0) {
        const QString s = QString::number(value, 'f', decimals);
        // "-0.00" for a value that rounds to zero reads as a sign error.
        return s.startsWith(QLatin1Char('-')) && s.toDouble() == 0 ? s.mid(1) : s;
    }
    QString s = QString::number(value, 'f', 4);
    while (s.endsWith(QLatin1Char('0')))
        s.chop(1);
    if (s.endsWith(QLatin1Char('.')))
        s.chop(1);
    return s == QLatin1String("-0") ? QStringLiteral("0") : s;
}

namespace {

bool integral(FieldType type) {
    return type == FieldType::Integer || type == FieldType::BigInt;
}

QString formatted(double value, bool isIntegral, const GridColumn& column) {
    if (!column.footerFormat.isEmpty())
        return formatNumber(value, column.footerFormat);
    return plainNumber(value, isIntegral ? 0 : column.props.decimals);
}

// Min or max of a field that is not a number: dates by time, text in the locale's order.
QString extremeText(const Db::RecordSet& rs, int field, bool wantMax) {
    const bool isDate = rs.fieldDef(field).type == FieldType::DateTime;
    std::uint32_t best = UINT32_MAX;
    for (int pos = 0, n = rs.recordCount(); pos < n; ++pos) {
        const std::uint32_t row = rs.rowAt(pos);
        if (rs.isNullAt(row, field))
            continue;
        if (best == UINT32_MAX) {
            best = row;
            continue;
        }
        int c = 0;
        if (isDate) {
            const qint64 a = rs.intAt(row, field), b = rs.intAt(best, field);
            c = a < b ? -1 : (a > b ? 1 : 0);
        } else {
            c = QString::localeAwareCompare(rs.textAt(row, field), rs.textAt(best, field));
        }
        if (wantMax ? c > 0 : c < 0)
            best = row;
    }
    return best == UINT32_MAX ? QString() : rs.textAt(best, field);
}

}  // namespace

QString summaryText(const Db::RecordSet& rs, int field, const GridColumn& column) {
    const FieldType type = rs.fieldDef(field).type;
    const bool numeric = Db::isNumeric(type);
    const int n = rs.recordCount();
    switch (column.footerKind) {
        case SummaryKind::None:
            return QString();
        case SummaryKind::Count: {
            int count = 0;
            for (int pos = 0; pos < n; ++pos)
                count += !rs.isNullAt(rs.rowAt(pos), field);
            return formatted(count, true, column);
        }
        case SummaryKind::Min:
        case SummaryKind::Max:
            if (!numeric)
                return extremeText(rs, field, column.footerKind == SummaryKind::Max);
            [[fallthrough]];
        case SummaryKind::Sum:
        case SummaryKind::Average: {
            if (!numeric)
                return QString();
            // Money is summed in its stored fixed-point units, so that a long column of cents
            // adds up exactly.
            bool exact = type == FieldType::Currency;
            double sum = 0, best = 0;
            qint64 units = 0;
            int count = 0;
            for (int pos = 0; pos < n; ++pos) {
                const std::uint32_t row = rs.rowAt(pos);
                if (rs.isNullAt(row, field))
                    continue;
                const double v = rs.floatAt(row, field);
                sum += v;
                exact = exact && std::abs(sum) < 9e14;  // within what the units hold
                if (exact)
                    units += std::llround(v * 10000);
                if (count == 0 || (column.footerKind == SummaryKind::Max ? v > best : v < best))
                    best = v;
                ++count;
            }
            if (exact)
                sum = double(units) / 10000;
            if (column.footerKind == SummaryKind::Sum)
                return formatted(sum, integral(type), column);
            if (count == 0)
                return QString();
            if (column.footerKind == SummaryKind::Average)
                return formatted(sum / count, false, column);
            return formatted(best, integral(type), column);
        }
    }
    return QString();
}

// ---- FooterBar ------------------------------------------------------------------------------

FooterBar::FooterBar(GridView* view) : QWidget(view), m_view(view) {
    setObjectName(QStringLiteral("footer"));
}

int FooterBar::preferredHeight() const {
    return qMax(fontMetrics().height() + 10, m_view->verticalHeader()->defaultSectionSize());
}

void FooterBar::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const QPalette& pal = palette();
    p.fillRect(rect(), pal.color(QPalette::Button));
    p.setPen(pal.color(QPalette::Mid));
    p.drawLine(0, 0, width() - 1, 0);

    const QHeaderView* header = m_view->horizontalHeader();
    const Db::RecordSet* rs = m_view->recordSet();
    const int dataLeft = header->geometry().left() - geometry().left();
    p.setClipRect(QRect(dataLeft, 0, header->width(), height()));
    for (int visual = 0; visual < header->count(); ++visual) {
        const int logical = header->logicalIndex(visual);
        const GridColumn* c = m_view->columnAt(logical);
        if (!c || header->isSectionHidden(logical) || c->footerKind == SummaryKind::None)
            continue;
        const QRect cell(dataLeft + header->sectionViewportPosition(logical) + 1, 3,
                         header->sectionSize(logical) - 3, height() - 6);
        if (cell.right() < dataLeft || cell.left() > dataLeft + header->width())
            continue;
        p.setPen(pal.color(QPalette::Mid));
        p.setBrush(pal.color(QPalette::Base));
        p.drawRect(cell.adjusted(0, 0, -1, -1));
        const bool right =
            c->footerKind == SummaryKind::Count ||
            (rs && logical < rs->fieldCount() && Db::isNumeric(rs->fieldDef(logical).type));
        const QRect textRect = cell.adjusted(4, 0, -4, 0);
        p.setPen(pal.color(QPalette::Text));
        p.drawText(
            textRect, (right ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter,
            fontMetrics().elidedText(m_view->footerText(c), Qt::ElideRight, textRect.width()));
    }
}

}  // namespace Qd::Core::Ui::Internal
