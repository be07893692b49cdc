#include "core/astro/orbitfile.h"
#include "core/astro/orbitmath.h"
#include "core/platform/errors.h"
#include "testsupport.h"

#include <QFileInfo>
#include <QtEndian>
#include <gtest/gtest.h>
#include <cstring>
#include <limits>
#include <vector>

using namespace verola;
using verola::test::TempFolder;

namespace {

const QString kShippedOrbitFile = QStringLiteral(VEROLA_PROGRAM_DIR "/eco/work/Planets.orb");

QByteArray littleEndianDoubles(const std::vector<double>& values)
{
    QByteArray bytes;
    for (double value : values) {
        quint64 bits = 0;
        std::memcpy(&bits, &value, sizeof bits);
        char raw[8];
        qToLittleEndian(bits, raw);
        bytes.append(raw, 8);
    }
    return bytes;
}

std::vector<double> numberedValues(int count)
{
    std::vector<double> values(count);
    for (int i = 0; i < count; ++i)
        values[i] = i;
    return values;
}

TEST(OrbitFileLayout, BlocksHoldTheEightBodiesWithTheirCoefficientsTogether)
{
    // Value i of the file is i, so every coefficient names its place in the file.
    const TOrbitElements elements = parseOrbitElements(littleEndianDoubles(numberedValues(176)), QStringLiteral("x"));
    for (int b = 0; b < kOrbitBodyCount; ++b) {
        for (int k = 0; k < 4; ++k) {
            EXPECT_EQ(elements[b].meanLongitude.c[k], 4 * b + k);
            EXPECT_EQ(elements[b].perihelion.c[k], 32 + 4 * b + k);
            EXPECT_EQ(elements[b].node.c[k], 64 + 4 * b + k);
            EXPECT_EQ(elements[b].inclination.c[k], 96 + 4 * b + k);
        }
        for (int k = 0; k < 3; ++k)
            EXPECT_EQ(elements[b].eccentricity.c[k], 128 + 3 * b + k);
        EXPECT_EQ(elements[b].eccentricity.c[3], 0);
        for (int k = 0; k < 2; ++k)
            EXPECT_EQ(elements[b].semiMajorAxis.c[k], 152 + 2 * b + k);
        EXPECT_EQ(elements[b].semiMajorAxis.c[2], 0);
    }
}

TEST(OrbitFileLayout, PolynomialsRunToTheThirdPower)
{
    TOrbitPolynomial p;
    p.c = {1, 2, 3, 4};
    EXPECT_DOUBLE_EQ(p.at(0), 1);
    EXPECT_DOUBLE_EQ(p.at(2), 1 + 4 + 12 + 32);
}

TEST(ShippedOrbitFile, Holds176Doubles)
{
    ASSERT_TRUE(QFileInfo::exists(kShippedOrbitFile)) << "generated at build time";
    EXPECT_EQ(QFileInfo(kShippedOrbitFile).size(), kOrbitFileSize);
    EXPECT_EQ(kOrbitFileSize, 1408);
}

TEST(ShippedOrbitFile, ReadsAsTheMeanElementsOfTheEightBodies)
{
    // Elements at T = 0 (Meeus, Astronomical Algorithms, table 31.A): the reader must find each
    // body's own values, so a shifted block or a swapped body shows here.
    struct Case {
        const char* body;
        double meanLongitudeDegrees, perihelionDegrees, inclinationDegrees, eccentricity, semiMajorAxis;
    };
    const std::vector<Case> cases = {
        {"Earth", 100.466457, 102.937348, 0, 0.01670863, 1.000001018},
        {"Mercury", 252.250906, 77.456119, 7.004986, 0.20563175, 0.387098310},
        {"Venus", 181.979801, 131.563703, 3.394662, 0.00677192, 0.723329820},
        {"Mars", 355.433000, 336.060234, 1.849726, 0.09340065, 1.523679342},
        {"Jupiter", 34.351519, 14.331207, 1.303267, 0.04849793, 5.202603209},
        {"Saturn", 50.077444, 93.057237, 2.488879, 0.05554814, 9.554909192},
        {"Uranus", 314.055005, 173.005291, 0.773197, 0.04638122, 19.218446062},
        {"Neptune", 304.348665, 48.120276, 1.769953, 0.00945575, 30.110386869},
    };
    const TOrbitElements elements = readOrbitFile(kShippedOrbitFile);
    for (int b = 0; b < kOrbitBodyCount; ++b) {
        const Case& c = cases[b];
        const TOrbitBody& body = elements[b];
        EXPECT_NEAR(body.meanLongitude.at(0) / kRadiansPerDegree, c.meanLongitudeDegrees, 1e-9) << c.body;
        EXPECT_NEAR(body.perihelion.at(0) / kRadiansPerDegree, c.perihelionDegrees, 1e-9) << c.body;
        EXPECT_NEAR(body.inclination.at(0) / kRadiansPerDegree, c.inclinationDegrees, 1e-9) << c.body;
        EXPECT_DOUBLE_EQ(body.eccentricity.at(0), c.eccentricity) << c.body;
        EXPECT_DOUBLE_EQ(body.semiMajorAxis.at(0), c.semiMajorAxis) << c.body;
    }
    // Mean motions in degrees per century: a planet's year follows from them.
    EXPECT_NEAR(36000 / (elements[0].meanLongitude.c[1] / kRadiansPerDegree), 1.0, 1e-4);   // Earth
    EXPECT_NEAR(36000 / (elements[4].meanLongitude.c[1] / kRadiansPerDegree), 11.86, 1e-2); // Jupiter
}

TEST(ShippedOrbitFile, SeventhBlockIsZero)
{
    const QByteArray bytes = verola::test::readBytes(kShippedOrbitFile);
    ASSERT_EQ(bytes.size(), kOrbitFileSize);
    for (int i = 168; i < 176; ++i)
        EXPECT_EQ(qFromLittleEndian<quint64>(bytes.constData() + 8 * i), 0u) << "value " << i;
}

TEST(OrbitFileErrors, MissingOrShortFileRaisesInOutError)
{
    TempFolder folder;
    const QString missing = folder.file(QStringLiteral("Planets.orb"));
    try {
        readOrbitFile(missing);
        FAIL() << "no error for a missing file";
    } catch (const EInOutError& error) {
        EXPECT_TRUE(error.message().contains(missing)) << error.message().toStdString();
    }

    for (int count : {0, 1, 175}) {
        const QString path = folder.file(QStringLiteral("short%1.orb").arg(count));
        verola::test::writeBytes(path, littleEndianDoubles(numberedValues(count)));
        try {
            readOrbitFile(path);
            FAIL() << "no error for " << count << " values";
        } catch (const EInOutError& error) {
            EXPECT_TRUE(error.message().contains(QStringLiteral("слишком короткий"))) << error.message().toStdString();
        }
    }
    // One byte short of the last value.
    const QString path = folder.file(QStringLiteral("cut.orb"));
    verola::test::writeBytes(path, littleEndianDoubles(numberedValues(176)).left(kOrbitFileSize - 1));
    EXPECT_THROW(readOrbitFile(path), EInOutError);
}

TEST(OrbitFileErrors, ValueThatIsNotANumberRaisesInOutError)
{
    TempFolder folder;
    for (double bad : {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity()}) {
        std::vector<double> values = numberedValues(176);
        values[153] = bad; // Mercury's semi-major axis
        const QString path = folder.file(QStringLiteral("bad.orb"));
        verola::test::writeBytes(path, littleEndianDoubles(values));
        try {
            readOrbitFile(path);
            FAIL() << "no error for " << bad;
        } catch (const EInOutError& error) {
            EXPECT_TRUE(error.message().contains(QStringLiteral("значение 154"))) << error.message().toStdString();
        }
    }
}

TEST(OrbitFileErrors, BytesAfterTheLastValueAreIgnored)
{
    TempFolder folder;
    const QString path = folder.file(QStringLiteral("long.orb"));
    verola::test::writeBytes(path, littleEndianDoubles(numberedValues(180)));
    EXPECT_EQ(readOrbitFile(path)[7].semiMajorAxis.c[1], 167);
}

TEST(OrbitFilePath, JoinsTheDataDirectoryAndTheFileName)
{
    EXPECT_EQ(orbitFilePath(QStringLiteral("/data/work")), QStringLiteral("/data/work/Planets.orb"));
    EXPECT_EQ(orbitFilePath(QStringLiteral("/data/work/")), QStringLiteral("/data/work/Planets.orb"));
}

} // namespace
