#include "core/astro/horoscope.h"

#include "core/astro/orbitmath.h"
#include "core/platform/conversions.h"
#include "core/platform/errors.h"

#include <QStringList>
#include <cmath>

namespace verola {

namespace {

const std::array<const char*, kBodyCount> kBodyNames = {"Mercury", "Venus", "Mars", "Jupiter", "Saturn", "Uranus",
    "Neptune", "Pluto", "Chiron", "Moon", "Sun", "DescNode", "AscNode", "Ascendent"};
const std::array<const char*, kSignCount> kSignNames = {"Aries", "Taurus", "Gemini", "Cancer", "Leo", "Virgo",
    "Libra", "Scorpius", "Sagittarius", "Capricornus", "Aquarius", "Pisces"};

constexpr long kJ2000DayNumber = 2451545;
// Epochs of the built-in elements, as Julian day numbers (1 January 1950, 31 December 1899,
// 20 September 1930, 1 December 1985).
const long kDay1950 = FliegelVanFlandern(1950, 1, 1);
const long kDay1900 = FliegelVanFlandern(1899, 12, 31);
const long kPlutoEpoch = FliegelVanFlandern(1930, 9, 20);
const long kChironEpoch = FliegelVanFlandern(1985, 12, 1);

double degrees(double d, double m = 0, double s = 0)
{
    return (d + m / 60 + s / 3600) * kRadiansPerDegree;
}

// Mercury … Neptune are file bodies 1 … 7; the Earth is file body 0.
TVector fileBodyPosition(const TOrbitBody& body, double T)
{
    const double L = normalizeAngle(body.meanLongitude.at(T));
    const double perihelion = body.perihelion.at(T);
    const double node = body.node.at(T);
    TOrbit orbit;
    orbit.meanAnomaly = L - perihelion;
    orbit.perihelionArgument = perihelion - node;
    orbit.node = node;
    orbit.inclination = body.inclination.at(T);
    orbit.eccentricity = body.eccentricity.at(T);
    orbit.semiMajorAxis = body.semiMajorAxis.at(T);
    return eclipticPosition(orbit);
}

TVector plutoPosition(long N)
{
    const double d = static_cast<double>(N) - 0.5 - static_cast<double>(kPlutoEpoch);
    TOrbit orbit;
    orbit.node = degrees(109, 37, 55.99);
    orbit.perihelionArgument = degrees(112, 39, 29.74);
    orbit.inclination = degrees(17, 6, 35.34);
    orbit.eccentricity = 0.24706226;
    orbit.semiMajorAxis = 39.672599;
    orbit.meanAnomaly = normalizeAngle(degrees(275, 15, 27.03) + 14.19946 * d * kRadiansPerArcsecond);
    return eclipticPosition(orbit);
}

TVector chironPosition(long N)
{
    const double d = static_cast<double>(N) - 0.5 - static_cast<double>(kChironEpoch);
    TOrbit orbit;
    orbit.node = degrees(208.68372);
    orbit.perihelionArgument = degrees(339.68614);
    orbit.inclination = degrees(6.9382);
    orbit.eccentricity = 0.3800218;
    orbit.semiMajorAxis = 13.6321665;
    orbit.meanAnomaly = normalizeAngle(degrees(286.83704 + 0.01958199 * d));
    return eclipticPosition(orbit);
}

struct TMoon {
    TVector position;
    double node = 0; // Ω, radians
};

TMoon moonPosition(long N)
{
    const double d = static_cast<double>(N) - 0.5 + 6.0 / 24 - static_cast<double>(kDay1900);
    const double t = d / 36525, t2 = t * t, t3 = t2 * t;
    const double L = 270.434164 + 13.1763965269 * d - 0.001133 * t2 + 0.0000019 * t3;
    const double node = 259.183275 - 0.0529532222 * d + 0.002078 * t2 + 0.000002 * t3;
    const double perigee = 334.329556 + 0.1114040803 * d - 0.010325 * t2 - 0.000012 * t3;
    TOrbit orbit;
    orbit.node = degrees(node);
    orbit.perihelionArgument = degrees(perigee - node);
    orbit.meanAnomaly = normalizeAngle(degrees(L - perigee));
    orbit.inclination = degrees(5, 8, 43.427);
    orbit.eccentricity = 0.054900489;
    orbit.semiMajorAxis = 60.267675512621416;
    return {eclipticPosition(orbit), orbit.node};
}

double longitudeSeenFrom(const TVector& earth, const TVector& position, int body)
{
    const TVector v = position - earth;
    if (!std::isfinite(v.x) || !std::isfinite(v.y))
        throw EFloatingPointError(QStringLiteral("Элементы орбиты не дают положения для %1").arg(bodyName(body)));
    return directionAngle(v.x, v.y);
}

QString codeField(const QStringList& fields, int number)
{
    return number <= fields.size() ? fields.at(number - 1) : QString();
}

int bodyNumberOf(const QString& name)
{
    for (int body = 0; body < kBodyCount; ++body)
        if (name == QLatin1StringView(kBodyNames[body]))
            return body;
    return -1;
}

bool matchAspect(const THoroscope& horoscope, const QStringList& fields)
{
    // Names that are no body's name match no pair.
    const int p1 = bodyNumberOf(codeField(fields, 3)) + kFirstAspectBody;
    const int p2 = bodyNumberOf(codeField(fields, 4)) + kFirstAspectBody;
    if (p1 < kFirstAspectBody || p2 < kFirstAspectBody)
        return false;
    const QString aspect = codeField(fields, 5);
    for (int k = 0; k < kAspectKindCount; ++k) {
        const TAspectList& list = horoscope.aspects[k];
        if (list.count == 0 || (!aspect.isEmpty() && aspect != QLatin1StringView(aspectKinds()[k].name)))
            continue;
        for (int i = 0; i < list.count; ++i) {
            const TAspectPair& pair = list.pairs[i];
            if ((pair.first == p1 && pair.second == p2) || (pair.first == p2 && pair.second == p1))
                return true;
        }
    }
    return false;
}

bool matchZodiac(const THoroscope& horoscope, const QStringList& fields)
{
    const int body = bodyNumberOf(codeField(fields, 3));
    return body >= 0 && signName(horoscope.signs[body]) == codeField(fields, 4);
}

} // namespace

QString bodyName(int body)
{
    return body >= 0 && body < kBodyCount ? QString::fromLatin1(kBodyNames[body]) : QString();
}

QString signName(int sign)
{
    return sign >= 1 && sign <= kSignCount ? QString::fromLatin1(kSignNames[sign - 1]) : QString();
}

int signOfLongitude(double longitude)
{
    // 30° comes back from radians as 29.999999999999996°; a billionth of a degree absorbs that.
    const double wholeDegrees = std::floor(normalizeAngle(longitude) / kRadiansPerDegree + 1e-9);
    const int g = static_cast<int>(wholeDegrees) % 360;
    return g / 30 + 1;
}

int AscendentDegrees(long dayNumber)
{
    const double t = (static_cast<double>(dayNumber) - 0.5 - 2415020) / 36525;
    // Sidereal angle at 06:00 for longitude 0°.
    const double d = kPi * (2 * (0.276919398 + 100.0021359 * t + 0.000001075 * t * t) + (6 + 0 / 60.0) * 1.002737908 / 12);
    std::array<double, 13> r{};
    for (int i = 1; i <= 12; ++i) {
        const double l = (30 * i + 60) * 3.14 / 180; // 3.14, not π: the houses were laid out so
        r[i] = std::atan(std::sin(d + l) / (0.91743695 * std::cos(d + l)));
    }
    const auto delta = [](double p, double q) {
        const double q1 = q < 0 && p >= 0 ? q + kPi : q;
        return std::nearbyint((q1 - p) * 57.32484076433121);
    };
    const double S = delta(r[10], r[11]) + delta(r[11], r[12]) + delta(r[12], r[1]);
    double phi = std::atan(std::tan(d) / 0.91743695);
    if (std::cos(d) > 0)
        phi -= kPi;
    int A = static_cast<int>(std::nearbyint((S * kPi / 180 + phi) * 180 / kPi + 180));
    if (A > 360)
        A -= 360;
    if (A < 0)
        A += 360;
    return A;
}

THoroscope horoscopeForDay(long N, const TOrbitElements& elements)
{
    const double T = centuriesAt0600(N, kJ2000DayNumber);
    const TEquinoxReduction ofDate(T);
    const TVector earth = ofDate.apply(fileBodyPosition(elements[0], T));

    THoroscope h;
    for (int body = kMercury; body <= kNeptune; ++body)
        h.longitudes[body] = longitudeSeenFrom(earth, ofDate.apply(fileBodyPosition(elements[body + 1], T)), body);

    // The built-in elements are reduced with T counted from their own epochs (1950 for Pluto and
    // Chiron, 1900 for the Moon) rather than from 2000, and the Moon's geocentric orbit, in Earth
    // radii, is taken relative to the Earth's heliocentric position like the planets. Both shift
    // those bodies by a degree or two; they are kept so that horoscopes stay what they always were.
    const TEquinoxReduction of1950(centuriesAt0600(N, kDay1950));
    h.longitudes[kPluto] = longitudeSeenFrom(earth, of1950.apply(plutoPosition(N)), kPluto);
    h.longitudes[kChiron] = longitudeSeenFrom(earth, of1950.apply(chironPosition(N)), kChiron);

    const TMoon moon = moonPosition(N);
    h.longitudes[kMoon] = longitudeSeenFrom(earth, TEquinoxReduction(centuriesAt0600(N, kDay1900)).apply(moon.position), kMoon);
    h.longitudes[kSun] = longitudeSeenFrom(earth, TVector{}, kSun);
    h.longitudes[kAscNode] = normalizeAngle(moon.node);
    h.longitudes[kDescNode] = normalizeAngle(moon.node + kPi);
    h.longitudes[kAscendent] = AscendentDegrees(N) * kPi / 180;

    for (int body = 0; body < kBodyCount; ++body)
        h.signs[body] = signOfLongitude(h.longitudes[body]);
    h.aspects = BuildAspectTable(h.longitudes);
    return h;
}

long birthDayNumber(const QString& birthDate, const FormatSettings& format)
{
    int year = 0, month = 0, day = 0;
    decodeDate(strToDate(birthDate, format), year, month, day);
    return FliegelVanFlandern(year, month, day);
}

bool MatchHoroscope(const THoroscope& horoscope, const QString& codes)
{
    const QStringList fields = codes.split(u',');
    if (codes.contains(QStringLiteral("ASPECT")) || codes.contains(QStringLiteral("Aspect")))
        return matchAspect(horoscope, fields);
    if (codes.contains(QStringLiteral("ZODIAC")) || codes.contains(QStringLiteral("Zodiac")))
        return matchZodiac(horoscope, fields);
    return false;
}

const TOrbitElements& THoroscopeState::orbitElements(const QString& dataDirectory)
{
    const QString path = orbitFilePath(dataDirectory);
    if (!m_elements || path != m_orbitPath) {
        m_elements.reset();
        m_elements = readOrbitFile(path);
        m_orbitPath = path;
    }
    return *m_elements;
}

const THoroscope& THoroscopeState::ComputeHoroscope(const QString& birthDate, const QString& dataDirectory,
                                                    const FormatSettings& format)
{
    const long N = birthDayNumber(birthDate, format);
    m_horoscope = horoscopeForDay(N, orbitElements(dataDirectory));
    return m_horoscope;
}

} // namespace verola
