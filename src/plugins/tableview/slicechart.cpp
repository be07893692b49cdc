#include "plugins/tableview/slicechart.h"

#include "plugins/api/userformat.h"
#include "plugins/tableview/tableslicemodel.h"

#include <QCategoryAxis>
#include <QFontMetrics>
#include <QChart>
#include <QLineSeries>
#include <QValueAxis>
#include <algorithm>
#include <cmath>

namespace verola::tableview {

namespace {

// Up to this many positions each gets its name under the axis; beyond, only numbers fit.
constexpr int kNamedPositions = 40;
// From this height of the chart on, names that do not fit across are written upright.
constexpr int kUprightHeight = 200;

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
    m_runs.clear();
    m_categories = nullptr;
    m_names.clear();
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

    const int count = static_cast<int>(positions.size());
    QList<QList<QPointF>> runs;
    bool inRun = false;
    for (int i = 0; i < count; ++i) {
        const float v = row ? model.value(section, i) : model.value(i, section);
        if (isMissing(v)) {
            inRun = false;
            continue;
        }
        if (!inRun)
            runs.append(QList<QPointF>());
        runs.last().append(QPointF(i, v));
        inRun = true;
    }
    const QColor colour = QColor(0x20, 0x9f, 0xdf);
    for (const QList<QPointF>& points : std::as_const(runs)) {
        auto* series = new QLineSeries;
        series->setPointsVisible(true);
        series->setColor(colour);
        series->append(points);
        m_runs.append(series);
    }
    QChart* c = chart();
    c->setLocalizeNumbers(true);
    c->setLocale(plugin::localeWithDecimal(model.decimalSeparator()));
    for (QLineSeries* series : std::as_const(m_runs))
        c->addSeries(series);
    c->setTitle(axisCaption(row ? model.rowAxis() : model.columnAxis()) + QStringLiteral(": ")
        + sectionCaptions[section].name);

    QAbstractAxis* xAxis = nullptr;
    if (count <= kNamedPositions) {
        auto* categories = new QCategoryAxis;
        categories->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
        for (int i = 0; i < count; ++i)
            m_names.append(positions[i].name);
        categories->setRange(-0.5, count - 0.5);
        m_categories = categories;
        fitAxisLabels();
        xAxis = categories;
    } else {
        auto* numbers = new QValueAxis;
        numbers->setRange(0, count - 1);
        numbers->setLabelFormat(QStringLiteral("%d"));
        xAxis = numbers;
    }
    xAxis->setTitleText(axisCaption(across));
    c->addAxis(xAxis, Qt::AlignBottom);
    for (QLineSeries* series : std::as_const(m_runs))
        series->attachAxis(xAxis);

    auto* yAxis = new QValueAxis;
    yAxis->setTitleText(unit);
    c->addAxis(yAxis, Qt::AlignLeft);
    for (QLineSeries* series : std::as_const(m_runs))
        series->attachAxis(yAxis);
    const QList<QPointF> drawn = points();
    if (!drawn.isEmpty()) {
        qreal low = drawn.first().y();
        qreal high = low;
        for (const QPointF& p : drawn) {
            low = qMin(low, p.y());
            high = qMax(high, p.y());
        }
        const qreal pad = high > low ? (high - low) * 0.05 : qMax<qreal>(1.0, qAbs(high) * 0.05);
        // Values that are all positive keep zero as the floor rather than a negative margin.
        yAxis->setRange(low >= 0 ? qMax<qreal>(0, low - pad) : low - pad, high + pad);
        yAxis->applyNiceNumbers();
    }
}

void SliceChart::fitAxisLabels()
{
    if (!m_categories || m_names.isEmpty())
        return;
    const QFontMetrics metrics(m_categories->labelsFont());
    const int count = static_cast<int>(m_names.size());
    // The plot area is what the value axis, its title and the margins leave.
    const double room = std::max(60.0, double(viewport()->width()) - 90.0) / count;
    int widest = 0;
    for (const QString& name : std::as_const(m_names))
        widest = std::max(widest, metrics.horizontalAdvance(name));
    // Upright names need height the chart gives its axis only when it is tall enough; a low
    // chart writes them across, cut to the room of every few positions.
    const bool fitsAcross = widest + 8 <= room;
    const bool upright = !fitsAcross && viewport()->height() >= kUprightHeight;
    const int tallest = viewport()->height() / 4;
    int step = 1;
    int longest = widest;
    if (upright) {
        step = std::max(1, int(std::ceil(metrics.height() * 1.2 / room)));
        longest = tallest;
    } else if (!fitsAcross) {
        const int shortest = std::min(widest, metrics.horizontalAdvance(QStringLiteral("Ааааа…")));
        step = std::max(1, int(std::ceil((shortest + 8) / room)));
        longest = std::max(metrics.horizontalAdvance(QStringLiteral("А…")), int(room * step) - 8);
    }
    for (const QString& label : m_categories->categoriesLabels())
        m_categories->remove(label);
    for (int i = 0; i < count; ++i) {
        QString label;
        if (i % step == 0)
            label = fitsAcross ? m_names[i] : metrics.elidedText(m_names[i], Qt::ElideRight, longest);
        // The axis wants labels that differ: a left-out one is as many invisible spaces as its
        // position needs.
        label += QString(i + 1, QChar(0x200B));
        m_categories->append(label, i);
    }
    m_categories->setLabelsAngle(upright ? -90 : 0);
}

void SliceChart::resizeEvent(QResizeEvent* event)
{
    QChartView::resizeEvent(event);
    fitAxisLabels();
}

QStringList SliceChart::axisLabels() const
{
    QStringList labels;
    if (!m_categories)
        return labels;
    for (QString label : m_categories->categoriesLabels())
        labels.append(label.remove(QChar(0x200B)));
    return labels;
}

int SliceChart::axisLabelAngle() const
{
    return m_categories ? m_categories->labelsAngle() : 0;
}

QList<QPointF> SliceChart::points() const
{
    QList<QPointF> all;
    for (const QList<QPointF>& run : runs())
        all.append(run);
    return all;
}

QList<QList<QPointF>> SliceChart::runs() const
{
    QList<QList<QPointF>> lines;
    for (const QLineSeries* series : m_runs)
        lines.append(series->points());
    return lines;
}

QString SliceChart::title() const
{
    return chart()->title();
}

} // namespace verola::tableview
