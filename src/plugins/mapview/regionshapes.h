#pragma once

// The regions of a polygon shapefile (".shp" with its ".shx" and ".dbf"), each named by a field
// of the shapefile's table.

#include <QPainterPath>
#include <QPointF>
#include <QRectF>
#include <QString>
#include <QStringList>
#include <vector>

namespace verola::mapview {

struct MapRegion {
    QString name;
    QPainterPath outline; // every ring of the record; holes by the odd-even rule; map units, Y up
    QPointF labelPoint;   // where the name is written: inside the region, not in a hole, away from its lines
};

struct RegionShapes {
    std::vector<MapRegion> regions; // in record order
    QRectF bounds;                  // of every region
};

// Reads the polygons of `shpPath` and names each by `nameField` of the table beside it (code
// page 1251 unless the table is marked UTF-8, or has no mark of 1251 and its names read as
// UTF-8). Records that are not polygons are left out, and so
// are index entries pointing outside the ".shp" or into a record read already.
// Throws EInOutError with a message for the user when the files cannot be read, the field does
// not exist, or the file holds no polygon.
RegionShapes readRegionShapes(const QString& shpPath, const QString& nameField);

// The field names of the table beside a shapefile; empty when it cannot be read.
QStringList shapeTableFields(const QString& shpPath);

} // namespace verola::mapview
