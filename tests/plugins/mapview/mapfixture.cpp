#include "mapfixture.h"

#include "core/platform/textfile.h"

#include <shapefil.h>

#include <QFile>
#include <gtest/gtest.h>

namespace verola::mapview::test {

void writeRegionShapefile(const QString& stem, const std::vector<TestRegion>& regions, const char* field,
    const char* codePage)
{
    const QByteArray path = QFile::encodeName(stem);
    SHPHandle shapes = SHPCreate(path.constData(), SHPT_POLYGON);
    DBFHandle table = DBFCreateEx((path + ".dbf").constData(), codePage);
    ASSERT_TRUE(shapes && table);
    ASSERT_GE(DBFAddField(table, field, FTString, 30, 0), 0);
    const bool utf8 = QByteArray(codePage) == "UTF-8";
    for (const TestRegion& region : regions) {
        const QRectF& b = region.box;
        // Clockwise, as outer rings are.
        double x[] = {b.left(), b.left(), b.right(), b.right(), b.left()};
        double y[] = {b.top(), b.bottom(), b.bottom(), b.top(), b.top()};
        SHPObject* object = SHPCreateSimpleObject(SHPT_POLYGON, 5, x, y, nullptr);
        const int record = SHPWriteObject(shapes, -1, object);
        SHPDestroyObject(object);
        const QByteArray name = utf8 ? region.name.toUtf8() : encodeCp1251(region.name);
        DBFWriteStringAttribute(table, record, 0, name.constData());
    }
    SHPClose(shapes);
    DBFClose(table);
}

const std::vector<TestRegion>& studyRegions()
{
    // QRectF(x, y, width, height) with y the southern edge.
    static const std::vector<TestRegion> regions = {
        {QStringLiteral("Северный"), QRectF(0, 10, 10, 10)},
        {QStringLiteral("Южный"), QRectF(0, 0, 10, 10)},
        {QStringLiteral("Восточный"), QRectF(10, 0, 10, 20)},
        {QStringLiteral("Озёрный"), QRectF(20, 0, 5, 5)},
    };
    return regions;
}

SmallStudy::SmallStudy()
{
    writeRegionShapefile(data.file(QStringLiteral("regions")), studyRegions());
    std::array<QStringList, kAxisCount> lists;
    lists[1] = verola::test::makeList(QStringLiteral("Районы"),
        {QStringLiteral("Город|T,GROUP:SUM"), QStringLiteral("\tСеверный|T"), QStringLiteral("\tЮжный|T"),
            QStringLiteral("\tВосточный|T")});
    lists[2] = verola::test::makeList(QStringLiteral("Годы"), {QStringLiteral("2020|T"), QStringLiteral("2021|T")});
    verola::test::shapeTable(table, lists);
    for (int y = 0; y < 2; ++y)
        for (int r = 0; r < 3; ++r) {
            CoordIndex v = year(y);
            v[1] = kNorth + r;
            table.SetCell(v, kValues[y][r]);
        }
}

CoordIndex SmallStudy::year(int y)
{
    CoordIndex v{};
    v[2] = y;
    return v;
}

} // namespace verola::mapview::test
