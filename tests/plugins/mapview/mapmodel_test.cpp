// The map's model: regions read from a shapefile, matched by name to the region axis of a table,
// coloured by the values of a slice; the selection by click or by name; the settings lines.
#include "mapfixture.h"

#include "plugins/mapview/mapmodel.h"
#include "plugins/mapview/mapsettings.h"

#include "core/platform/errors.h"
#include "plugins/mapview/mapcanvas.h"

#include <shapefil.h>

#include <QFile>
#include <QFileInfo>
#include <QTest>
#include <QtEndian>
#include <gtest/gtest.h>

using namespace verola;
using namespace verola::mapview;
using namespace verola::mapview::test;

namespace {

class MapModelTest : public ::testing::Test {
protected:
    MapModelTest()
    {
        model.setRegions(readRegionShapes(study.data.file("regions.shp"), "NAME"));
        model.setTable(&study.table, &study.table, 0);
    }
    int region(const char* name) const { return model.regionNamed(QString::fromUtf8(name)); }

    SmallStudy study;
    MapModel model;
};

QStringList namesOf(const RegionShapes& shapes)
{
    QStringList names;
    for (const MapRegion& region : shapes.regions)
        names.append(region.name);
    return names;
}

} // namespace

TEST(RegionShapesTest, RegionsAreNamedInTheCodePageOfTheirTable)
{
    for (const char* codePage : {"LDID/201", "UTF-8"}) {
        verola::test::TempFolder folder;
        writeRegionShapefile(folder.file("map"), studyRegions(), "DISTRICT", codePage);
        const RegionShapes shapes = readRegionShapes(folder.file("map.shp"), "district");
        EXPECT_EQ(namesOf(shapes), (QStringList{"Северный", "Южный", "Восточный", "Озёрный"})) << codePage;
        EXPECT_EQ(shapes.bounds, QRectF(0, 0, 25, 20)) << codePage;
        // Each label lies inside its own region.
        for (const MapRegion& region : shapes.regions)
            EXPECT_TRUE(region.outline.contains(region.labelPoint)) << region.name.toStdString();
    }
}

// A map saved without its ".cpg" keeps no mark of its code page: its names are read as UTF-8
// when they are UTF-8, else in code page 1251.
TEST(RegionShapesTest, NamesOfATableWithoutItsCodePageFileAreReadAsTheyWereWritten)
{
    for (const char* codePage : {"UTF-8", "CP1251"}) {
        SCOPED_TRACE(codePage);
        verola::test::TempFolder folder;
        writeRegionShapefile(folder.file("map"), studyRegions(), "NAME", codePage);
        ASSERT_TRUE(QFile::exists(folder.file("map.cpg")));
        ASSERT_TRUE(QFile::remove(folder.file("map.cpg")));
        const RegionShapes shapes = readRegionShapes(folder.file("map.shp"), "NAME");
        EXPECT_EQ(namesOf(shapes), (QStringList{"Северный", "Южный", "Восточный", "Озёрный"}));
    }
}

// A ring around a lake, and a horseshoe whose centroid lies outside it: each label is written
// on the land, where a click selects the region.
TEST(RegionShapesTest, TheLabelOfARingOrAHorseshoeIsOnItsLand)
{
    verola::test::TempFolder folder;
    const QByteArray stem = QFile::encodeName(folder.file("rings"));
    SHPHandle shapes = SHPCreate(stem.constData(), SHPT_POLYGON);
    DBFHandle table = DBFCreateEx((stem + ".dbf").constData(), "LDID/201");
    ASSERT_TRUE(shapes && table);
    ASSERT_GE(DBFAddField(table, "NAME", FTString, 20, 0), 0);
    // The ring: outer square 0..30 clockwise, the hole 8..22 counter-clockwise.
    double ringX[] = {0, 0, 30, 30, 0, 8, 22, 22, 8, 8};
    double ringY[] = {0, 30, 30, 0, 0, 8, 8, 22, 22, 8};
    int ringParts[] = {0, 5};
    // The horseshoe, open to the north, east of the ring.
    double shoeX[] = {40, 40, 45, 45, 55, 55, 60, 60, 40};
    double shoeY[] = {0, 30, 30, 5, 5, 30, 30, 0, 0};
    SHPObject* ring = SHPCreateObject(SHPT_POLYGON, -1, 2, ringParts, nullptr, 10, ringX, ringY, nullptr, nullptr);
    SHPObject* shoe = SHPCreateSimpleObject(SHPT_POLYGON, 9, shoeX, shoeY, nullptr);
    DBFWriteStringAttribute(table, SHPWriteObject(shapes, -1, ring), 0, "Ring");
    DBFWriteStringAttribute(table, SHPWriteObject(shapes, -1, shoe), 0, "Shoe");
    SHPDestroyObject(ring);
    SHPDestroyObject(shoe);
    SHPClose(shapes);
    DBFClose(table);

    const RegionShapes read = readRegionShapes(folder.file("rings.shp"), "NAME");
    ASSERT_EQ(read.regions.size(), 2u);
    for (const MapRegion& region : read.regions) {
        SCOPED_TRACE(region.name.toStdString());
        EXPECT_TRUE(region.outline.contains(region.labelPoint));
        // Not at the very edge: the name has land around it.
        for (const QPointF step : {QPointF(2, 0), QPointF(-2, 0), QPointF(0, 2), QPointF(0, -2)})
            EXPECT_TRUE(region.outline.contains(region.labelPoint + step));
    }
    EXPECT_FALSE(QRectF(8, 8, 14, 14).contains(read.regions[0].labelPoint)) << "not in the lake";

    MapModel model;
    model.setRegions(read);
    MapCanvas canvas(model, nullptr);
    canvas.resize(600, 300);
    canvas.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&canvas));
    for (int region = 0; region < 2; ++region)
        EXPECT_EQ(canvas.regionAt(canvas.labelPointOf(region)), region);
}

TEST(RegionShapesTest, AMapThatCannotBeReadIsReportedWithItsReason)
{
    verola::test::TempFolder folder;
    writeRegionShapefile(folder.file("map"), studyRegions());
    verola::test::writeBytes(folder.file("broken.shp"), QByteArray(40, 'x'));
    verola::test::writeBytes(folder.file("broken.shx"), QByteArray(40, 'x'));
    const struct {
        QString file;
        QString field;
        QString message;
    } cases[] = {
        {"absent.shp", "NAME", "Не могу открыть карту"},
        {"broken.shp", "NAME", "Не могу открыть карту"},
        {"map.shp", "NAZVANIE", "нет поля NAZVANIE"},
    };
    for (const auto& c : cases) {
        try {
            readRegionShapes(folder.file(c.file), c.field);
            ADD_FAILURE() << c.file.toStdString() << " was read";
        } catch (const EInOutError& error) {
            EXPECT_TRUE(error.message().contains(c.message)) << error.message().toStdString();
        }
    }
}

// A damaged index: entries that point outside the ".shp" or into a record read already are left
// out, so a million entries pointing at one record cost that record once, not a million copies.
TEST(RegionShapesTest, IndexEntriesOutsideTheFileOrIntoARecordReadAlreadyAreLeftOut)
{
    verola::test::TempFolder folder;
    writeRegionShapefile(folder.file("map"), studyRegions());
    const QByteArray index = verola::test::readBytes(folder.file("map.shx"));
    auto entry = [&](int record) { return index.mid(100 + 8 * record, 8); };
    auto bigEndian = [](quint32 value) {
        QByteArray bytes(4, 0);
        qToBigEndian(value, bytes.data());
        return bytes;
    };
    const quint32 shpWords = static_cast<quint32>(QFileInfo(folder.file("map.shp")).size() / 2);
    // Северный, Южный, an entry past the end of the file, Озёрный, then Северный over and over,
    // and a last entry starting inside Южный.
    QByteArray entries = entry(0) + entry(1) + bigEndian(shpWords + 100) + entry(1).mid(4) + entry(3);
    for (int n = 4; n < 999'999; ++n)
        entries += entry(0);
    const quint32 insideSouth = qFromBigEndian<quint32>(entry(1).constData()) + 4;
    entries += bigEndian(insideSouth) + entry(1).mid(4);
    QByteArray patched = index.left(100) + entries;
    const QByteArray words = bigEndian(static_cast<quint32>(patched.size() / 2));
    patched.replace(24, 4, words);
    verola::test::writeBytes(folder.file("map.shx"), patched);

    const RegionShapes shapes = readRegionShapes(folder.file("map.shp"), "NAME");
    EXPECT_EQ(namesOf(shapes), (QStringList{"Северный", "Южный", "Озёрный"}));
    EXPECT_EQ(shapes.bounds, QRectF(0, 0, 25, 20));
}

TEST_F(MapModelTest, TheColourOfARegionFollowsItsValueInTheSlice)
{
    // Five classes of equal width between 10 and 60: 10 is the first, 20 the second, 60 the last.
    const struct {
        int year;
        int north, south, east;
    } cases[] = {{0, 0, 1, 4}, {1, 4, 1, 0}};
    for (const auto& c : cases) {
        model.setSlice(kRegionAxis, SmallStudy::year(c.year));
        EXPECT_EQ(model.classOf(region("Северный")), c.north) << c.year;
        EXPECT_EQ(model.classOf(region("Южный")), c.south) << c.year;
        EXPECT_EQ(model.classOf(region("Восточный")), c.east) << c.year;
        EXPECT_EQ(model.valueOf(region("Северный")), SmallStudy::kValues[c.year][0]);
    }
    // Larger values are darker.
    model.setSlice(kRegionAxis, SmallStudy::year(0));
    const int north = model.fillOf(region("Северный")).lightness();
    const int south = model.fillOf(region("Южный")).lightness();
    const int east = model.fillOf(region("Восточный")).lightness();
    EXPECT_GT(north, south);
    EXPECT_GT(south, east);
}

TEST_F(MapModelTest, ARegionWithoutAValueStaysUncolouredAndTheLegendSaysSo)
{
    const int lake = region("Озёрный");
    EXPECT_EQ(model.positionOf(lake), -1);
    EXPECT_EQ(model.valueOf(lake), std::nullopt);
    EXPECT_EQ(model.fillOf(lake), noDataColour());

    // A region the table knows whose cell is missing is shown the same way.
    CoordIndex v = SmallStudy::year(0);
    v[1] = kSouth;
    study.table.SetCell(v, kMissing);
    model.refresh();
    EXPECT_EQ(model.positionOf(region("Южный")), kSouth);
    EXPECT_EQ(model.fillOf(region("Южный")), noDataColour());

    const std::vector<LegendEntry> legend = model.legend();
    ASSERT_EQ(legend.size(), size_t(ColourScale::kClasses + 1));
    EXPECT_EQ(legend.front().text, "50 – 60");
    EXPECT_EQ(legend.back().text, "нет данных");
    EXPECT_EQ(legend.back().colour, noDataColour());
}

TEST_F(MapModelTest, TheSliceIsReadThroughTheTablesComparisonView)
{
    TTab background;
    std::array<QStringList, kAxisCount> lists;
    lists[1] = study.table.FLists[1];
    lists[2] = study.table.FLists[2];
    verola::test::shapeTable(background, lists);
    CoordIndex v = SmallStudy::year(0);
    for (int r : {kNorth, kSouth, kEast}) {
        v[1] = r;
        background.SetCell(v, 5);
    }
    study.table.FBackground = &background;
    study.table.FCompareMode = 1; // minus background
    study.table.FCompareSource = 0;
    model.setTable(&study.table, &study.table, 1);
    EXPECT_EQ(model.valueOf(region("Северный")), 5.0);
    EXPECT_EQ(model.valueOf(region("Восточный")), 55.0);
}

TEST_F(MapModelTest, NameToNodeSelectsTheRegionAndAnswersItsPosition)
{
    EXPECT_EQ(model.showObjectFlag(), kNothingSelected);
    const struct {
        QString name;
        int position;
        QList<int> selection;
    } cases[] = {
        {"южный", kSouth, {region("Южный")}},
        {"Восточный", kEast, {region("Восточный")}},
        // On the map, not in the table: selected, without a position.
        {"Озёрный", -1, {region("Озёрный")}},
        // Neither: the selection stays.
        {"Город", -1, {region("Озёрный")}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(model.selectByName(c.name), c.position) << c.name.toStdString();
        EXPECT_EQ(model.selection(), c.selection) << c.name.toStdString();
    }
    EXPECT_EQ(model.showObjectFlag(), kNothingSelected);
    model.select(region("Северный"), true);
    EXPECT_EQ(model.showObjectFlag(), kNorth);
}

TEST_F(MapModelTest, TheHeadingNamesTheOtherAxesPositions)
{
    model.setSlice(kRegionAxis, SmallStudy::year(1));
    EXPECT_EQ(model.sliceText(), "2021");
    EXPECT_EQ(model.describe(region("Северный")), "Северный: 60");
    EXPECT_EQ(model.describe(region("Озёрный")), "Озёрный: нет данных");
}

TEST(MapSettingsTest, TheSettingsAreLinesOfTheMapListAmongOthers)
{
    const MapSettings chosen{"maps/city.shp", "NAZV"};
    const struct {
        QStringList lines;
        MapSettings read;
        QStringList written;
    } cases[] = {
        {{}, MapSettings(), {"Shape=maps/city.shp", "NameField=NAZV"}},
        {{"object 1", "shape = other.shp", "object 2"}, {"other.shp", "NAME"},
            {"object 1", "Shape=maps/city.shp", "object 2", "NameField=NAZV"}},
        {{"NAMEFIELD=KOD", "Shape=a.shp", "Shape=b.shp", "x=1"}, {"a.shp", "KOD"},
            {"NameField=NAZV", "Shape=maps/city.shp", "x=1"}},
        {{"Shape=", "NameField= "}, MapSettings(), {"Shape=maps/city.shp", "NameField=NAZV"}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(readMapSettings(c.lines), c.read) << c.lines.join('/').toStdString();
        EXPECT_EQ(withMapSettings(c.lines, chosen), c.written) << c.lines.join('/').toStdString();
    }
    EXPECT_TRUE(holdsMapSettings({"a", "SHAPE=x.shp"}));
    EXPECT_FALSE(holdsMapSettings({"a", "NameField=x"}));
}

TEST(MapSettingsTest, TheShapefileIsFoundFromTheDataDirectory)
{
    EXPECT_EQ(shapePath("/data/work", "maps\\city.shp"), "/data/work/maps/city.shp");
    EXPECT_EQ(shapePath("/data/work", "city.shp"), "/data/work/city.shp");
    EXPECT_EQ(shapePath("/data/work", "/srv/maps/city.shp"), "/srv/maps/city.shp");
}
