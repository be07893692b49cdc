#pragma once

// The legend beside the map: the unit, then one swatch per colour class from the largest values
// down, and "нет данных" when some region has no value.

#include <QWidget>

namespace verola::mapview {

class MapModel;

class MapLegend : public QWidget {
    Q_OBJECT
public:
    MapLegend(const MapModel& model, QWidget* parent);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString title() const;
    QFont titleFont() const;
    int rowHeight() const;

    const MapModel& m_model;
};

} // namespace verola::mapview
