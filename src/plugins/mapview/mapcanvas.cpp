#include "plugins/mapview/mapcanvas.h"

#include "plugins/mapview/mapmodel.h"

#include <QGraphicsPathItem>
#include <QGraphicsScene>
#include <QGraphicsSimpleTextItem>
#include <QMouseEvent>

namespace verola::mapview {
namespace {

constexpr int kRegionKey = 0; // item data: the region's number
const QColor kOutline(0x55, 0x55, 0x55);
const QColor kSelectedOutline(0x12, 0x4e, 0xa8);

} // namespace

MapCanvas::MapCanvas(MapModel& model, QWidget* parent)
    : QGraphicsView(parent), m_model(model)
{
    setObjectName(QStringLiteral("mapCanvas"));
    setScene(new QGraphicsScene(this));
    setRenderHint(QPainter::Antialiasing);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setBackgroundBrush(Qt::white);
    setMinimumSize(240, 180);
    connect(&m_model, &MapModel::regionsChanged, this, &MapCanvas::rebuild);
    connect(&m_model, &MapModel::valuesChanged, this, &MapCanvas::recolour);
    connect(&m_model, &MapModel::selectionChanged, this, &MapCanvas::showSelection);
    rebuild();
}

void MapCanvas::rebuild()
{
    scene()->clear();
    m_items.clear();
    m_labels.clear();
    const std::vector<MapRegion>& regions = m_model.regions();
    for (size_t r = 0; r < regions.size(); ++r) {
        auto* item = scene()->addPath(regions[r].outline);
        item->setData(kRegionKey, static_cast<int>(r));
        item->setZValue(0);
        m_items.push_back(item);
        // Names stay upright and of one size whatever the scale.
        auto* label = scene()->addSimpleText(regions[r].name);
        label->setFlag(QGraphicsItem::ItemIgnoresTransformations);
        label->setZValue(2);
        const QRectF box = label->boundingRect();
        label->setPos(regions[r].labelPoint);
        label->setTransform(QTransform::fromTranslate(-box.width() / 2, -box.height() / 2));
        m_labels.push_back(label);
    }
    scene()->setSceneRect(m_model.bounds());
    recolour();
    showSelection();
    fit();
}

void MapCanvas::recolour()
{
    for (size_t r = 0; r < m_items.size(); ++r) {
        const int region = static_cast<int>(r);
        m_items[r]->setBrush(m_model.fillOf(region));
        m_items[r]->setToolTip(m_model.describe(region));
    }
}

void MapCanvas::showSelection()
{
    const QList<int>& selection = m_model.selection();
    for (size_t r = 0; r < m_items.size(); ++r) {
        const bool selected = selection.contains(static_cast<int>(r));
        QPen pen(selected ? kSelectedOutline : kOutline, selected ? 3 : 1);
        pen.setCosmetic(true);
        pen.setJoinStyle(Qt::RoundJoin);
        m_items[r]->setPen(pen);
        // A selected region's outline is drawn over its neighbours'.
        m_items[r]->setZValue(selected ? 1 : 0);
    }
}

void MapCanvas::fit()
{
    // Map units grow northwards, the screen's downwards.
    resetTransform();
    scale(1, -1);
    if (!m_model.bounds().isEmpty())
        fitInView(m_model.bounds(), Qt::KeepAspectRatio);
}

void MapCanvas::resizeEvent(QResizeEvent* event)
{
    QGraphicsView::resizeEvent(event);
    fit();
}

void MapCanvas::showEvent(QShowEvent* event)
{
    QGraphicsView::showEvent(event);
    fit();
}

int MapCanvas::regionAt(const QPoint& viewportPoint) const
{
    const QPointF point = mapToScene(viewportPoint);
    // The topmost region whose area holds the point (labels do not count).
    for (QGraphicsItem* item : scene()->items(point, Qt::IntersectsItemShape, Qt::DescendingOrder)) {
        const QVariant region = item->data(kRegionKey);
        if (region.isValid())
            return region.toInt();
    }
    return -1;
}

QPoint MapCanvas::labelPointOf(int region) const
{
    const std::vector<MapRegion>& regions = m_model.regions();
    if (region < 0 || region >= static_cast<int>(regions.size()))
        return QPoint();
    return mapFromScene(regions[region].labelPoint);
}

void MapCanvas::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        QGraphicsView::mousePressEvent(event);
        return;
    }
    const int region = regionAt(event->position().toPoint());
    m_model.select(region, event->modifiers().testFlag(Qt::ControlModifier));
    Q_EMIT regionClicked(region);
}

} // namespace verola::mapview
