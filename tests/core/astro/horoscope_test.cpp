#include "core/astro/horoscope.h"
#include "core/astro/orbitmath.h"
#include "core/platform/errors.h"
#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>
#include <algorithm>
#include <cmath>
#include <vector>

using namespace verola;
using verola::test::TempFolder;

namespace {

const QString kShippedDataDirectory = QStringLiteral(VEROLA_PROGRAM_DIR "/eco/work");

const TOrbitElements& shippedElements()
{
    static const TOrbitElements elements = readOrbitFile(orbitFilePath(kShippedDataDirectory));
    return elements;
}

double degreesOf(double radians)
{
    return radians / kRadiansPerDegree;
}

// Signed difference a − b of two longitudes in degrees, −180 … 180.
double longitudeDifference(double a, double b)
{
    return std::remainder(a - b, 360.0);
}

TEST(Signs, WholeDegreesDivThirtyPlusOne)
{
    struct Case {
        double degrees;
        int sign;
    };
    const std::vector<Case> cases = {
        {0, 1}, {29.9999, 1}, {30, 2}, {59.99, 2}, {60, 3}, {120, 5}, {149.5, 5}, {330, 12}, {359.9, 12},
        {360, 1}, {390, 2}, {-0.5, 12}, {-30, 12},
    };
    for (const Case& c : cases)
        EXPECT_EQ(signOfLongitude(c.degrees * kRadiansPerDegree), c.sign) << c.degrees << "°";
}

TEST(Signs, EveryWholeDegreeSurvivesTheRadianRoundTrip)
{
    // The Ascendent is a whole number of degrees A held as A·π/180; each of them, boundaries
    // included, must land in sign A div 30 + 1.
    for (int degrees = 0; degrees <= 360; ++degrees)
        EXPECT_EQ(signOfLongitude(degrees * kPi / 180), degrees % 360 / 30 + 1) << degrees << "°";
}

TEST(Signs, NamesInOrder)
{
    EXPECT_EQ(signName(1), QStringLiteral("Aries"));
    EXPECT_EQ(signName(5), QStringLiteral("Leo"));
    EXPECT_EQ(signName(8), QStringLiteral("Scorpius"));
    EXPECT_EQ(signName(12), QStringLiteral("Pisces"));
    EXPECT_TRUE(signName(0).isEmpty());
    EXPECT_TRUE(signName(13).isEmpty());
    EXPECT_EQ(bodyName(kMercury), QStringLiteral("Mercury"));
    EXPECT_EQ(bodyName(kDescNode), QStringLiteral("DescNode"));
    EXPECT_EQ(bodyName(kAscendent), QStringLiteral("Ascendent"));
    EXPECT_TRUE(bodyName(14).isEmpty());
}

TEST(BirthDate, ReadInTheUsersShortDateFormat)
{
    EXPECT_EQ(birthDayNumber(QStringLiteral("01.01.2000"), FormatSettings::russian()), 2451545);
    EXPECT_EQ(birthDayNumber(QStringLiteral("29.02.1988"), FormatSettings::russian()), 2447221);
    FormatSettings iso;
    iso.setShortDateFormat(QStringLiteral("yyyy-MM-dd"));
    EXPECT_EQ(birthDayNumber(QStringLiteral("1950-01-01"), iso), 2433283);
}

TEST(BirthDate, TextThatIsNotADateRaisesConvertError)
{
    for (const char* text : {"", "abc", "31.02.2000", "2000-01-01", "01.13.2000", "01.01.2000x"}) {
        try {
            birthDayNumber(QString::fromLatin1(text), FormatSettings::russian());
            ADD_FAILURE() << "no error for \"" << text << '"';
        } catch (const EConvertError& error) {
            EXPECT_TRUE(error.message().contains(QStringLiteral("не является датой"))) << error.message().toStdString();
        }
    }
}

TEST(Horoscope, LunarNodesStandOppositeWithSignsSixApart)
{
    for (long N = 2415021; N < 2470172; N += 997) {
        const THoroscope h = horoscopeForDay(N, shippedElements());
        EXPECT_NEAR(std::fabs(longitudeDifference(degreesOf(h.longitudes[kAscNode]), degreesOf(h.longitudes[kDescNode]))),
            180, 1e-9) << N;
        EXPECT_EQ((h.signs[kAscNode] + 6 - 1) % 12 + 1, h.signs[kDescNode]) << N;
    }
}

TEST(Horoscope, LongitudesAndSignsAreInRange)
{
    for (long N = 2415021; N < 2470172; N += 1009) {
        const THoroscope h = horoscopeForDay(N, shippedElements());
        for (int body = 0; body < kBodyCount; ++body) {
            EXPECT_GE(h.longitudes[body], 0) << N << ' ' << body;
            EXPECT_LE(h.longitudes[body], kTwoPi) << N << ' ' << body;
            EXPECT_EQ(h.signs[body], signOfLongitude(h.longitudes[body])) << N << ' ' << body;
        }
        const double ascendent = degreesOf(h.longitudes[kAscendent]);
        EXPECT_NEAR(ascendent, std::round(ascendent), 1e-9) << N;
        EXPECT_EQ(AscendentDegrees(N), std::lround(ascendent));
        // Opposition of the nodes is always recorded.
        const TAspectList& oppositions = h.aspects[11];
        bool nodes = false;
        for (int i = 0; i < oppositions.count; ++i)
            nodes |= oppositions.pairs[i].first == kDescNode + 2 && oppositions.pairs[i].second == kAscNode + 2;
        EXPECT_TRUE(nodes) << N;
    }
}

TEST(Horoscope, TheSunMovesAboutADegreeADay)
{
    const long N = 2451545;
    const double today = degreesOf(horoscopeForDay(N, shippedElements()).longitudes[kSun]);
    const double tomorrow = degreesOf(horoscopeForDay(N + 1, shippedElements()).longitudes[kSun]);
    EXPECT_NEAR(longitudeDifference(tomorrow, today), 1.019, 0.01); // near perihelion in January
}

TEST(Horoscope, AscendentIsTheEclipticDegreeRisingOnTheEquator)
{
    // Independently: Greenwich mean sidereal time at 06:00 UT (Meeus, Astronomical Algorithms,
    // formula 12.4) and the degree of the ecliptic on the eastern horizon at latitude 0°,
    // λ = atan2(cos θ, −sin θ·cos ε). The horoscope's Ascendent sums three house widths laid out
    // with 3.14 for π, each rounded to whole degrees, and rounds the result: it stays within 2.5°.
    const double obliquity = obliquityJ2000();
    double worst = 0;
    for (long N = 2415021; N < 2470172; N += 11) {
        const double jd = N - 0.5 + 0.25, T = (jd - 2451545) / 36525;
        const double gmst = 280.46061837 + 360.98564736629 * (jd - 2451545) + 0.000387933 * T * T - T * T * T / 38710000;
        const double theta = std::fmod(gmst, 360.0) * kRadiansPerDegree;
        const double rising = degreesOf(directionAngle(-std::sin(theta) * std::cos(obliquity), std::cos(theta)));
        const double difference = std::fabs(longitudeDifference(AscendentDegrees(N), rising));
        worst = std::max(worst, difference);
        EXPECT_LT(difference, 2.5) << "day number " << N;
    }
    EXPECT_GT(worst, 0.5); // the rounding to whole degrees shows
}

TEST(Horoscope, AgreesWithThePublishedEphemeris)
{
    // Geocentric ecliptic longitudes referred to the mean equinox and ecliptic of J2000, at
    // 06:00 of each date, from the VSOP87 planetary theory (P. Bretagnon and G. Francou,
    // Astronomy and Astrophysics 202, 309, 1988) as evaluated by PyEphem 4.1.4 (astrometric
    // positions, light-time included).
    //
    // The horoscope moves each planet on a fixed Kepler ellipse from mean elements, leaving out
    // the planets' pulls on each other. What that leaves out sets the tolerances:
    // - Sun: the Earth's orbit is perturbed by the Moon, Venus and Jupiter by at most about
    //   0.01°; tolerance 0.02°.
    // - Mars: perturbations of a few hundredths of a degree in the heliocentric longitude, up to
    //   about three times larger as seen from the Earth near opposition; tolerance 0.1°.
    // - Jupiter: the great inequality with Saturn (period about 900 years) moves Jupiter by up
    //   to 0.33° from its mean orbit, about 1.25 times that as seen from the Earth; tolerance 0.45°.
    struct Case {
        int year, month, day;
        double sun, mars, jupiter;
    };
    const std::vector<Case> cases = {
        {1900, 1, 1, 281.8058, 285.4579, 242.5811},
        {1925, 3, 10, 350.2186, 52.1809, 288.1814},
        {1950, 1, 1, 280.9647, 183.0017, 307.2662},
        {1962, 8, 20, 147.2717, 89.0845, 339.7101},
        {1975, 11, 5, 222.5366, 92.9839, 17.1294},
        {2000, 1, 1, 280.1237, 327.7772, 25.2454},
        {2012, 7, 4, 102.4962, 180.2054, 64.7729},
        {2025, 5, 1, 40.7736, 125.3543, 81.0702},
        {2050, 12, 31, 279.0238, 4.2757, 154.9951},
    };
    for (const Case& c : cases) {
        const THoroscope h = horoscopeForDay(FliegelVanFlandern(c.year, c.month, c.day), shippedElements());
        const QString date = QStringLiteral("%1-%2-%3").arg(c.year).arg(c.month).arg(c.day);
        EXPECT_NEAR(longitudeDifference(degreesOf(h.longitudes[kSun]), c.sun), 0, 0.02) << date.toStdString();
        EXPECT_NEAR(longitudeDifference(degreesOf(h.longitudes[kMars]), c.mars), 0, 0.1) << date.toStdString();
        EXPECT_NEAR(longitudeDifference(degreesOf(h.longitudes[kJupiter]), c.jupiter), 0, 0.45) << date.toStdString();
    }
}

TEST(HoroscopeState, ComputesForTheBirthDateText)
{
    THoroscopeState state;
    const THoroscope& h = state.ComputeHoroscope(QStringLiteral("01.01.2000"), kShippedDataDirectory, FormatSettings::russian());
    const THoroscope expected = horoscopeForDay(2451545, shippedElements());
    EXPECT_EQ(h.longitudes, expected.longitudes);
    EXPECT_EQ(h.signs, expected.signs);
    EXPECT_EQ(h.signs[kSun], 10); // Capricornus
    EXPECT_EQ(&h, &state.horoscope());
    EXPECT_EQ(state.MatchHoroscope(QStringLiteral("HORO,ZODIAC,Sun,Capricornus")), true);
    EXPECT_EQ(state.MatchHoroscope(QStringLiteral("HORO,ASPECT,DescNode,AscNode,Opposition")), true);
}

TEST(HoroscopeState, ReadsTheOrbitFileOncePerDataDirectory)
{
    TempFolder folder;
    const QString orbitFile = orbitFilePath(folder.path());
    ASSERT_TRUE(QFile::copy(orbitFilePath(kShippedDataDirectory), orbitFile));
    THoroscopeState state;
    const auto first = state.ComputeHoroscope(QStringLiteral("15.06.1975"), folder.path(), FormatSettings::russian()).longitudes;
    ASSERT_TRUE(QFile::remove(orbitFile));
    const auto again = state.ComputeHoroscope(QStringLiteral("15.06.1975"), folder.path(), FormatSettings::russian()).longitudes;
    EXPECT_EQ(first, again);
    // Another data directory is read afresh.
    TempFolder other;
    EXPECT_THROW(state.ComputeHoroscope(QStringLiteral("15.06.1975"), other.path(), FormatSettings::russian()), EInOutError);
}

TEST(HoroscopeState, MissingOrShortOrbitFileOrBadDateRaisesAnError)
{
    TempFolder folder;
    const FormatSettings format = FormatSettings::russian();
    THoroscopeState state;
    try {
        state.ComputeHoroscope(QStringLiteral("01.01.2000"), folder.path(), format);
        FAIL() << "no error without Planets.orb";
    } catch (const EInOutError& error) {
        EXPECT_TRUE(error.message().contains(QStringLiteral("Planets.orb"))) << error.message().toStdString();
    }
    verola::test::writeBytes(orbitFilePath(folder.path()), QByteArray(1000, '\0'));
    EXPECT_THROW(state.ComputeHoroscope(QStringLiteral("01.01.2000"), folder.path(), format), EInOutError);
    EXPECT_THROW(state.ComputeHoroscope(QStringLiteral("1 января"), kShippedDataDirectory, format), EConvertError);
}

TEST(HoroscopeState, OrbitWithoutAnEllipseRaisesFloatingPointError)
{
    // An all-zero file gives zero semi-major axes, which still solve; an eccentricity of 1 does not.
    TempFolder folder;
    QByteArray bytes(kOrbitFileSize, '\0');
    const double one = 1.0;
    std::memcpy(bytes.data() + 8 * 128, &one, 8); // the Earth's eccentricity, little-endian host
    verola::test::writeBytes(orbitFilePath(folder.path()), bytes);
    THoroscopeState state;
    EXPECT_THROW(state.ComputeHoroscope(QStringLiteral("01.01.2000"), folder.path(), FormatSettings::russian()), EFloatingPointError);
}

TEST(Horoscope, PositionsThatOverflowRaiseFloatingPointError)
{
    // Mars on the Earth's orbit scaled by −1.7·10³⁰⁸, the Earth by +1.7·10³⁰⁸: both are finite,
    // their difference is not.
    TOrbitElements elements = shippedElements();
    elements[3] = elements[0];
    elements[0].semiMajorAxis.c = {1.7e308, 0, 0, 0};
    elements[3].semiMajorAxis.c = {-1.7e308, 0, 0, 0};
    try {
        horoscopeForDay(2451545, elements);
        FAIL() << "no error";
    } catch (const EFloatingPointError& error) {
        EXPECT_TRUE(error.message().contains(QStringLiteral("Mars"))) << error.message().toStdString();
    }
}

} // namespace
