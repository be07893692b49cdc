#pragma once

// A small study for the map window's tests: a shapefile of four rectangular regions written with
// shapelib, and a table over two of the axes whose region axis names three of them.

#include "core/tables/ttab.h"
#include "testsupport.h"

#include <QRectF>
#include <QString>
#include <vector>

namespace verola::mapview::test {

struct TestRegion {
    QString name;
    QRectF box; // map units, Y up
};

// Writes stem.shp/.shx/.dbf: one rectangle per region, named in field `field` of a table in the
// code page `codePage` ("LDID/201" code page 1251, "UTF-8").
void writeRegionShapefile(const QString& stem, const std::vector<TestRegion>& regions,
    const char* field = "NAME", const char* codePage = "LDID/201");

// Северный, Южный and Восточный of the table, and Озёрный that the table does not know.
const std::vector<TestRegion>& studyRegions();

// The region axis: "Город" (position 0, a group), Северный 1, Южный 2, Восточный 3; the time
// axis 2: "2020" and "2021".
constexpr int kNorth = 1;
constexpr int kSouth = 2;
constexpr int kEast = 3;

struct SmallStudy {
    SmallStudy();

    // The data directory holding "regions.shp".
    verola::test::TempFolder data;
    TTab table;
    // Values of Северный, Южный, Восточный in 2020 and in 2021.
    static constexpr float kValues[2][3] = {{10, 20, 60}, {60, 20, 10}};
    // The index of a year's slice (the region axis at 0).
    static CoordIndex year(int y);
};

} // namespace verola::mapview::test
