#include "core/astro/orbitmath.h"
#include "core/platform/errors.h"

#include <gtest/gtest.h>
#include <cmath>
#include <limits>
#include <vector>

using namespace verola;

namespace {

constexpr double kArcsecondsPerRadian = 180.0 * 3600 / kPi;

double eclipticLongitude(const TVector& v)
{
    return directionAngle(v.x, v.y);
}

TEST(DayNumber, FliegelVanFlandernGivesJulianDayNumbers)
{
    struct Case {
        int year, month, day;
        long expected;
    };
    // 1957 October 4 is Meeus's example 7.a (JD 2436116.31); the others are the epochs the
    // horoscope uses and the ends of the Julian and Gregorian centuries.
    const std::vector<Case> cases = {
        {2000, 1, 1, 2451545},
        {1999, 12, 31, 2451544},
        {1950, 1, 1, 2433283},
        {1899, 12, 31, 2415020},
        {1900, 1, 1, 2415021},
        {1957, 10, 4, 2436116},
        {2000, 2, 29, 2451604},
        {2000, 3, 1, 2451605},
        {1900, 3, 1, 2415080}, // 1900 has no 29 February
        {2050, 12, 31, 2470172},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FliegelVanFlandern(c.year, c.month, c.day), c.expected) << c.year << '-' << c.month << '-' << c.day;
}

TEST(DayNumber, CenturiesAt0600OfFirstJanuary2000)
{
    EXPECT_DOUBLE_EQ(centuriesAt0600(2451545, 2451545), -0.25 / 36525);
    EXPECT_DOUBLE_EQ(centuriesAt0600(2451545 + 36525, 2451545), (36525 - 0.25) / 36525);
}

TEST(Obliquity, AtEpochIs23Degrees26Minutes21Point448Seconds)
{
    const double expected = (23.0 + 26.0 / 60 + 21.448 / 3600) * kRadiansPerDegree;
    EXPECT_NEAR(obliquityJ2000(), expected, 1e-15);
    const TPrecessionAngles a = precessionAngles(0);
    EXPECT_DOUBLE_EQ(a.obliquity, expected);
    EXPECT_EQ(a.zeta, 0);
    EXPECT_EQ(a.z, 0);
    EXPECT_EQ(a.theta, 0);
}

TEST(Obliquity, DecreasesBy46Point815ArcsecondsPerCentury)
{
    const double change = (precessionAngles(1).obliquity - precessionAngles(0).obliquity) * kArcsecondsPerRadian;
    EXPECT_NEAR(change, -46.815 - 0.00059 + 0.001813, 1e-6);
}

TEST(Kepler, MeeusExample30a)
{
    // Astronomical Algorithms, example 30.a: e = 0.1, M = 5° gives E = 5.554589°.
    EXPECT_NEAR(SolveKepler(5 * kRadiansPerDegree, 0.1) / kRadiansPerDegree, 5.554589, 1e-5);
}

TEST(Kepler, SolvesTheEquationUpToHighEccentricity)
{
    for (double e : {0.0, 0.2, 0.5, 0.9, 0.97, 0.99, 0.999}) {
        for (double M : {-3.0, -0.5, 0.0, 0.001, 0.05, 1.0, 3.1, 6.0, 1000.0}) {
            const double E = SolveKepler(M, e);
            ASSERT_TRUE(std::isfinite(E)) << "e=" << e << " M=" << M;
            // The iteration stops when steps are below 10⁻⁶; near e = 1 the remaining error is
            // a step divided by 1 − e·cos E, so the equation holds to 10⁻⁴ in the worst case.
            EXPECT_NEAR(E - e * std::sin(E), M, 1e-4) << "e=" << e << " M=" << M;
        }
    }
}

TEST(Kepler, RefusesElementsThatGiveNoEllipse)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    EXPECT_THROW(SolveKepler(1.0, 1.0), EFloatingPointError);
    EXPECT_THROW(SolveKepler(1.0, 1.5), EFloatingPointError);
    EXPECT_THROW(SolveKepler(1.0, -0.1), EFloatingPointError);
    EXPECT_THROW(SolveKepler(1.0, nan), EFloatingPointError);
    EXPECT_THROW(SolveKepler(nan, 0.1), EFloatingPointError);
}

TEST(OrbitPosition, CircularOrbitInTheEcliptic)
{
    TOrbit orbit;
    orbit.semiMajorAxis = 2;
    orbit.meanAnomaly = 30 * kRadiansPerDegree;
    orbit.perihelionArgument = 20 * kRadiansPerDegree;
    orbit.node = 10 * kRadiansPerDegree;
    const TVector v = eclipticPosition(orbit);
    EXPECT_NEAR(std::hypot(v.x, v.y), 2, 1e-12);
    EXPECT_NEAR(v.z, 0, 1e-12);
    EXPECT_NEAR(eclipticLongitude(v) / kRadiansPerDegree, 60, 1e-9);
}

TEST(OrbitPosition, PerihelionAndAphelionDistances)
{
    TOrbit orbit;
    orbit.semiMajorAxis = 1;
    orbit.eccentricity = 0.5;
    orbit.inclination = 30 * kRadiansPerDegree;
    const TVector perihelion = eclipticPosition(orbit);
    EXPECT_NEAR(std::hypot(perihelion.x, perihelion.y, perihelion.z), 0.5, 1e-12);
    orbit.meanAnomaly = kPi;
    const TVector aphelion = eclipticPosition(orbit);
    EXPECT_NEAR(std::hypot(aphelion.x, aphelion.y, aphelion.z), 1.5, 1e-9);
}

TEST(OrbitPosition, InclinationLiftsThePointNinetyDegreesFromTheNode)
{
    TOrbit orbit;
    orbit.semiMajorAxis = 1;
    orbit.inclination = 10 * kRadiansPerDegree;
    orbit.perihelionArgument = kPi / 2;
    const TVector v = eclipticPosition(orbit);
    EXPECT_NEAR(std::asin(v.z) / kRadiansPerDegree, 10, 1e-9);
}

TEST(EquinoxReduction, IsTheIdentityAtTheEpochBarTheObliquityRoundTrip)
{
    const TEquinoxReduction reduction(0);
    const TVector v = reduction.apply({0.3, -0.4, 0.2});
    EXPECT_NEAR(v.x, 0.3, 1e-15);
    EXPECT_NEAR(v.y, -0.4, 1e-15);
    EXPECT_NEAR(v.z, 0.2, 1e-15);
}

TEST(EquinoxReduction, TakesOffTheGeneralPrecessionOfTheCentury)
{
    // General precession in longitude is 5029.0966″ per Julian century (IAU 1976); a point on
    // the ecliptic of the date a century after 2000 lies that much further west in the frame of
    // 2000, and a century before, that much further east.
    struct Case {
        double T;
        double expectedShiftArcseconds;
    };
    const std::vector<Case> cases = {{1, -5029.0966}, {-1, 5029.0966}, {0.5, -2514.55}};
    for (const Case& c : cases) {
        for (double lambda : {0.0, 90.0, 200.0}) {
            const double l = lambda * kRadiansPerDegree;
            const TVector v = TEquinoxReduction(c.T).apply({std::cos(l), std::sin(l), 0});
            double shift = (eclipticLongitude(v) - l) * kArcsecondsPerRadian;
            shift = std::remainder(shift, 360.0 * 3600);
            EXPECT_NEAR(shift, c.expectedShiftArcseconds, 3) << "T=" << c.T << " lambda=" << lambda;
            EXPECT_NEAR(std::hypot(v.x, v.y, v.z), 1, 1e-12);
        }
    }
}

TEST(Angles, DirectionAngleCoversTheWholeCircle)
{
    struct Case {
        double x, y, expectedDegrees;
    };
    const std::vector<Case> cases = {
        {1, 0, 0}, {0, 1, 90}, {-1, 0, 180}, {0, -1, 270}, {0, 0, 0}, {-1, -0.0, 180}, {1, -1, 315}, {1, -0.0, 0},
    };
    for (const Case& c : cases) {
        const double angle = directionAngle(c.x, c.y);
        EXPECT_NEAR(angle / kRadiansPerDegree, c.expectedDegrees, 1e-12) << c.x << ',' << c.y;
        EXPECT_FALSE(std::signbit(angle)) << c.x << ',' << c.y;
    }
}

TEST(Angles, NormalizeBringsIntoZeroToTwoPi)
{
    EXPECT_DOUBLE_EQ(normalizeAngle(-kPi / 2), 1.5 * kPi);
    EXPECT_DOUBLE_EQ(normalizeAngle(5 * kPi), kPi);
    EXPECT_EQ(normalizeAngle(kTwoPi), 0);
    EXPECT_EQ(normalizeAngle(-1e-20), 0); // would round to 2π
    EXPECT_LT(normalizeAngle(-1e-9), kTwoPi);
}

} // namespace
