#pragma once

// The map drawing: one item per region, filled by the model's colours, scaled to fit the view
// with its aspect ratio kept and the Y axis pointing up. A click selects the region under the
// pointer (with Ctrl held it is added to the selection or taken out of it).

#include <QGraphicsView>
#include <vector>

class QGraphicsPathItem;
class QGraphicsSimpleTextItem;

namespace verola::mapview {

class MapModel;

class MapCanvas : public QGraphicsView {
    Q_OBJECT
public:
    MapCanvas(MapModel& model, QWidget* parent);

    // The region drawn at a point of the viewport, -1 when none.
    int regionAt(const QPoint& viewportPoint) const;
    // Where the region's name is written, in viewport coordinates.
    QPoint labelPointOf(int region) const;

Q_SIGNALS:
    void regionClicked(int region);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    void rebuild();
    void recolour();
    void showSelection();
    void fit();

    MapModel& m_model;
    std::vector<QGraphicsPathItem*> m_items;
    std::vector<QGraphicsSimpleTextItem*> m_labels;
};

} // namespace verola::mapview
