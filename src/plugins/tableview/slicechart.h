#pragma once

#include <QChartView>
#include <QList>
#include <QPointF>

class QCategoryAxis;
class QLineSeries;

namespace verola::tableview {

class TableSliceModel;

// A line chart of one row or one column of the grid: the values along it against the
// positions of the other shown axis. Missing cells leave a gap: each run of cells with values
// is a line of its own.
class SliceChart : public QChartView {
    Q_OBJECT
public:
    explicit SliceChart(QWidget* parent = nullptr);

    // Plots row `section` (orientation Horizontal: its values across the columns) or column
    // `section` (Vertical) of the model; a section outside the model clears the chart.
    void plot(const TableSliceModel& model, Qt::Orientation along, int section, const QString& unit);
    void clear();
    // The points drawn: x the position, y the value.
    QList<QPointF> points() const;
    // The same points as the lines they are drawn in.
    QList<QList<QPointF>> runs() const;
    QString title() const;
    // The position names under the axis as they are written (shortened, or left out between
    // every few when there is no room for them all); empty when the axis is numbered.
    QStringList axisLabels() const;
    // The angle the names are written at.
    int axisLabelAngle() const;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    // Writes the names so that they fit the chart's present size: across when they do; else,
    // in a chart tall enough, upright, cut to a quarter of its height; in a low one across, cut
    // to the room of every few positions; and only every few when there is no room for all.
    void fitAxisLabels();

    QList<QLineSeries*> m_runs;
    QCategoryAxis* m_categories = nullptr;
    QStringList m_names;
};

} // namespace verola::tableview
