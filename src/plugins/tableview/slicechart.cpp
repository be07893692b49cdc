#include "plugins/tableview/slicechart.h"

#include "plugins/tableview/tableslicemodel.h"

#include <QCategoryAxis>
#include <QChart>
#include <QLineSeries>
#include <QValueAxis>

namespace verola::tableview {

namespace {

// Up to this many positions each gets its name under the axis; beyond, only numbers fit.
constexpr int kNamedPositions = 40;

} // namespace

SliceChart::SliceChart(QWidget* parent)
    : QChartView(parent)
{
    setRenderHint(QPainter::Antialiasing);
    setMinimumHeight(160);
    clear();
}

// Each plot draws on a chart of its own: axes taken off a chart leave their labels behind.
void SliceChart::clear()
{
    auto* fresh = new QChart;
    fresh->legend()->hide();
    fresh->setMargins(QMargins(4, 4, 4, 4));
    QChart* old = chart();
    setChart(fresh);
    delete old;
    m_series = nullptr;
}

void SliceChart::plot(const TableSliceModel& model, Qt::Orientation along, int section, const QString& unit)
{
    clear();
    const bool row = along == Qt::Horizontal;
    const int sections = row ? model.rowCount() : model.columnCount();
    if (section < 0 || section >= sections)
        return;
    const auto& positions = row ? model.columnCaptions() : model.rowCaptions();
    const auto& sectionCaptions = row ? model.rowCaptions() : model.columnCaptions();
    const int across = row ? model.columnAxis() : model.rowAxis();

    m_series = new QLineSeries;
    m_series->setPointsVisible(true);
    const int count = static_cast<int>(positions.size());
    for (int i = 0; i < count; ++i) {
        const float v = row ? model.value(section, i) : model.value(i, section);
        if (!isMissing(v))
            m_series->append(i, v);
    }
    QChart* c = chart();
    c->addSeries(m_series);
    c->setTitle(axisCaption(row ? model.rowAxis() : model.columnAxis()) + QStringLiteral(": ")
        + sectionCaptions[section].name);

    QAbstractAxis* xAxis = nullptr;
    if (count <= kNamedPositions) {
        auto* categories = new QCategoryAxis;
        categories->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
        for (int i = 0; i < count; ++i)
            categories->append(positions[i].name, i);
        categories->setRange(-0.5, count - 0.5);
        categories->setLabelsAngle(count > 8 ? -60 : 0);
        xAxis = categories;
    } else {
        auto* numbers = new QValueAxis;
        numbers->setRange(0, count - 1);
        numbers->setLabelFormat(QStringLiteral("%d"));
        xAxis = numbers;
    }
    xAxis->setTitleText(axisCaption(across));
    c->addAxis(xAxis, Qt::AlignBottom);
    m_series->attachAxis(xAxis);

    auto* yAxis = new QValueAxis;
    yAxis->setTitleText(unit);
    c->addAxis(yAxis, Qt::AlignLeft);
    m_series->attachAxis(yAxis);
    if (m_series->count() > 0) {
        qreal low = m_series->at(0).y();
        qreal high = low;
        for (const QPointF& p : m_series->points()) {
            low = qMin(low, p.y());
            high = qMax(high, p.y());
        }
        const qreal pad = high > low ? (high - low) * 0.05 : qMax<qreal>(1.0, qAbs(high) * 0.05);
        // Values that are all positive keep zero as the floor rather than a negative margin.
        yAxis->setRange(low >= 0 ? qMax<qreal>(0, low - pad) : low - pad, high + pad);
        yAxis->applyNiceNumbers();
    }
}

QList<QPointF> SliceChart::points() const
{
    return m_series ? m_series->points() : QList<QPointF>();
}

QString SliceChart::title() const
{
    return chart()->title();
}

} // namespace verola::tableview
