// The demo study's map: its ten districts as the demo's settings name them, matched to the region
// axis of the demo's tables, tiling the city without overlaps, and drawn at one and two device
// pixels per pixel. With VEROLA_MAP_GRAB_DIR set the drawings are saved there as PNG files.
#include "plugins/mapview/mapcanvas.h"
#include "plugins/mapview/mapsettings.h"
#include "plugins/mapview/mapwindow.h"

#include "core/platform/textfile.h"
#include "core/tables/lineutils.h"
#include "testsupport.h"

#include <QDir>
#include <QImage>
#include <QPainter>
#include <QTest>
#include <gtest/gtest.h>

using namespace verola;
using namespace verola::mapview;

namespace {

const QString kDataDir = QStringLiteral(VEROLA_PROGRAM_DIR "/eco/work");

// The districts: the leaves of the demo's region tree (block 1's summary list), below its header.
QStringList demoDistricts()
{
    QStringList names;
    for (const QString& line : readTextLines(kDataDir + "/Demo.o11").mid(1))
        if (!line.contains("GROUP:"))
            names.append(LineName(line));
    return names;
}

double areaOf(const QPainterPath& path)
{
    double area = 0;
    for (const QPolygonF& ring : path.toFillPolygons()) {
        double twice = 0;
        for (qsizetype i = 0; i + 1 < ring.size(); ++i)
            twice += ring[i].x() * ring[i + 1].y() - ring[i + 1].x() * ring[i].y();
        area += std::abs(twice) / 2;
    }
    return area;
}

} // namespace

TEST(DemoMapTest, TheDemoSettingsNameTheMapOfTheTenDistricts)
{
    const MapSettings defaults = readMapSettings(readTextLines(kDataDir + "/Default.map"));
    EXPECT_EQ(readMapSettings(readTextLines(kDataDir + "/Demo.map")), defaults);
    const RegionShapes shapes = readRegionShapes(shapePath(kDataDir, defaults.shape), defaults.nameField);
    QStringList names;
    for (const MapRegion& region : shapes.regions)
        names.append(region.name);
    const QStringList districts = demoDistricts();
    ASSERT_EQ(districts.size(), 10);
    names.sort();
    QStringList expected = districts;
    expected.sort();
    EXPECT_EQ(names, expected);

    // No two districts overlap (shared borders have no area).
    for (size_t a = 0; a < shapes.regions.size(); ++a)
        for (size_t b = a + 1; b < shapes.regions.size(); ++b) {
            const double overlap = areaOf(shapes.regions[a].outline.intersected(shapes.regions[b].outline));
            EXPECT_LT(overlap, 1.0) << shapes.regions[a].name.toStdString() << " / "
                                    << shapes.regions[b].name.toStdString(); // square metres
        }
}

TEST(DemoMapTest, TheDistrictsAreDrawnAtOneAndTwoDevicePixelsPerPixel)
{
    // A slice of the demo's region tree: each district's value is its place in the list, but
    // Луговой has none.
    TTab table;
    std::array<QStringList, kAxisCount> lists;
    lists[1] = readTextLines(kDataDir + "/Demo.o11");
    test::shapeTable(table, lists);
    for (int p = 0; p < table.FDims[1]; ++p)
        if (LineName(table.PositionText(1, p)).trimmed() != "Луговой")
            table.SetCell(test::at({0, p}), float(p));

    QWidget mainWindow;
    auto* window = new MapWindow(&mainWindow);
    window->setTables(&table, &table, 0);
    window->setMapFromTable(1, nullptr, nullptr, "Загрязнения", "мг/м³");
    window->loadMap(kDataDir, nullptr);
    window->resize(900, 640);
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
    MapModel& model = window->model();
    ASSERT_EQ(model.regions().size(), size_t(10));
    for (int r = 0; r < 10; ++r)
        EXPECT_GE(model.positionOf(r), 0) << model.regions()[r].name.toStdString();

    MapCanvas& canvas = window->canvas();
    auto inside = [&](const char* name) { return canvas.labelPointOf(model.regionNamed(name)) + QPoint(0, 15); };
    QTest::mouseClick(canvas.viewport(), Qt::LeftButton, {}, inside("Центральный"));
    // Its value is its position.
    const int centre = model.positionOf(model.regionNamed("Центральный"));
    EXPECT_EQ(window->statusText(), "Центральный: " + QString::number(centre));
    EXPECT_EQ(model.showObjectFlag(), centre);

    const QString grabs = qEnvironmentVariable("VEROLA_MAP_GRAB_DIR");
    for (int ratio : {1, 2}) {
        QImage image(window->size() * ratio, QImage::Format_ARGB32);
        image.setDevicePixelRatio(ratio);
        image.fill(Qt::white);
        window->render(&image);
        auto pixel = [&](const char* name) { return image.pixelColor(canvas.mapTo(window, inside(name)) * ratio); };
        // The district of the largest value has the darkest class, the one without a value none.
        EXPECT_EQ(model.classOf(model.regionNamed("Южный")), ColourScale::kClasses - 1);
        EXPECT_EQ(pixel("Южный"), model.scale().colourOf(ColourScale::kClasses - 1)) << ratio;
        EXPECT_EQ(pixel("Луговой"), noDataColour()) << ratio;
        if (!grabs.isEmpty())
            image.save(QDir(grabs).filePath(QStringLiteral("mapview-demo-%1x.png").arg(ratio)));
    }
}
