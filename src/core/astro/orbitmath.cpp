#include "core/astro/orbitmath.h"

#include "core/platform/errors.h"

#include <cmath>

namespace verola {

namespace {

constexpr double kDaysPerCentury = 36525;
constexpr double kKeplerTolerance = 1e-6;
// Simple iteration converges slowly when e is close to 1; past this many steps Newton's
// method finishes the same root.
constexpr int kKeplerIterations = 1000;

using Matrix = double[3][3];

void multiply(const Matrix& a, const Matrix& b, Matrix& out)
{
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            out[i][j] = a[i][0] * b[0][j] + a[i][1] * b[1][j] + a[i][2] * b[2][j];
}

void copy(const Matrix& from, Matrix& to)
{
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            to[i][j] = from[i][j];
}

// Turns a vector by `angle` about the x or the z axis, counterclockwise seen from the axis's tip.
void turnAboutX(double angle, Matrix& m)
{
    const double c = std::cos(angle), s = std::sin(angle);
    const Matrix r = {{1, 0, 0}, {0, c, -s}, {0, s, c}};
    copy(r, m);
}

void turnAboutZ(double angle, Matrix& m)
{
    const double c = std::cos(angle), s = std::sin(angle);
    const Matrix r = {{c, -s, 0}, {s, c, 0}, {0, 0, 1}};
    copy(r, m);
}

// The precession's middle turn: by θ from the x axis towards the z axis.
void turnTowardsPole(double theta, Matrix& m)
{
    const double c = std::cos(theta), s = std::sin(theta);
    const Matrix r = {{c, 0, -s}, {0, 1, 0}, {s, 0, c}};
    copy(r, m);
}

double newtonKepler(double M, double e, double E)
{
    for (int i = 0; i < 100; ++i) {
        const double step = (E - e * std::sin(E) - M) / (1 - e * std::cos(E));
        E -= step;
        if (std::fabs(step) < 1e-12)
            break;
    }
    return E;
}

} // namespace

long FliegelVanFlandern(int year, int month, int day)
{
    const long D = day, M = month, Y = year;
    return D - 32075 + 1461 * (Y + 4800 + (M - 14) / 12) / 4 + 367 * (M - 2 - (M - 14) / 12 * 12) / 12
        - 3 * ((Y + 4900 + (M - 14) / 12) / 100) / 4;
}

double centuriesAt0600(long dayNumber, double epochDayNumber)
{
    return (static_cast<double>(dayNumber) - 0.5 + 6.0 / 24 - epochDayNumber) / kDaysPerCentury;
}

double obliquityJ2000()
{
    return (23 * 3600 + 26 * 60 + 21.448) * kRadiansPerArcsecond;
}

TPrecessionAngles precessionAngles(double T)
{
    const double T2 = T * T, T3 = T2 * T;
    TPrecessionAngles a;
    a.obliquity = obliquityJ2000() + (-46.815 * T - 0.00059 * T2 + 0.001813 * T3) * kRadiansPerArcsecond;
    a.zeta = (2306.2181 * T + 0.30188 * T2 + 0.017988 * T3) * kRadiansPerArcsecond;
    a.z = (2306.2181 * T + 1.09468 * T2 + 0.018203 * T3) * kRadiansPerArcsecond;
    a.theta = (2004.3109 * T - 0.42665 * T2 - 0.041833 * T3) * kRadiansPerArcsecond;
    return a;
}

double SolveKepler(double meanAnomaly, double eccentricity)
{
    if (!std::isfinite(meanAnomaly) || !(eccentricity >= 0 && eccentricity < 1))
        throw EFloatingPointError(
            QStringLiteral("Уравнение Кеплера не решается при эксцентриситете %1 и средней аномалии %2")
                .arg(eccentricity).arg(meanAnomaly));
    double E = meanAnomaly;
    for (int i = 0; i < kKeplerIterations; ++i) {
        const double next = meanAnomaly + eccentricity * std::sin(E);
        if (std::fabs(next - E) < kKeplerTolerance)
            return next;
        E = next;
    }
    return newtonKepler(meanAnomaly, eccentricity, E);
}

TVector eclipticPosition(const TOrbit& orbit)
{
    const double E = SolveKepler(orbit.meanAnomaly, orbit.eccentricity);
    const double e = orbit.eccentricity, a = orbit.semiMajorAxis;
    const double xp = a * (std::cos(E) - e);
    const double yp = a * std::sqrt(1 - e * e) * std::sin(E);
    // Turn by ω in the orbit plane, tilt by i about the line of nodes, turn by Ω.
    const double cw = std::cos(orbit.perihelionArgument), sw = std::sin(orbit.perihelionArgument);
    const double x1 = xp * cw - yp * sw, y1 = xp * sw + yp * cw;
    const double ci = std::cos(orbit.inclination), si = std::sin(orbit.inclination);
    const double y2 = y1 * ci, z2 = y1 * si;
    const double cn = std::cos(orbit.node), sn = std::sin(orbit.node);
    return {x1 * cn - y2 * sn, x1 * sn + y2 * cn, z2};
}

TEquinoxReduction::TEquinoxReduction(double T)
{
    const TPrecessionAngles a = precessionAngles(T);
    // Precession from 2000 to the date turns by ζ, θ and z; the way back undoes them in reverse.
    Matrix toEquator, turnZ, tilt, turnZeta, toEcliptic, step1, step2, step3;
    turnAboutX(a.obliquity, toEquator);
    turnAboutZ(-a.z, turnZ);
    turnTowardsPole(-a.theta, tilt);
    turnAboutZ(-a.zeta, turnZeta);
    turnAboutX(-obliquityJ2000(), toEcliptic);
    multiply(turnZ, toEquator, step1);
    multiply(tilt, step1, step2);
    multiply(turnZeta, step2, step3);
    multiply(toEcliptic, step3, m_);
}

TVector TEquinoxReduction::apply(const TVector& v) const
{
    return {m_[0][0] * v.x + m_[0][1] * v.y + m_[0][2] * v.z, m_[1][0] * v.x + m_[1][1] * v.y + m_[1][2] * v.z,
        m_[2][0] * v.x + m_[2][1] * v.y + m_[2][2] * v.z};
}

double directionAngle(double x, double y)
{
    if (x == 0 && y == 0)
        return 0;
    return normalizeAngle(std::atan2(y, x));
}

double normalizeAngle(double angle)
{
    double a = std::fmod(angle, kTwoPi);
    if (a < 0)
        a += kTwoPi;
    if (a >= kTwoPi) // a tiny negative angle plus 2π rounds to 2π
        a = 0;
    return a + 0.0; // no negative zero
}

} // namespace verola
