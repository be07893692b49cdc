#pragma once

#include "core/coreexport.h"

namespace verola {

// The steps of a body's position: day numbers and time, obliquity and precession, Kepler's
// equation, and the rotations from an orbit to ecliptic longitudes of the equinox of 2000 January 1.5.

constexpr double kPi = 3.14159265358979323846;
constexpr double kTwoPi = 2 * kPi;
constexpr double kRadiansPerDegree = kPi / 180;
constexpr double kRadiansPerArcsecond = kRadiansPerDegree / 3600;

// Julian day number of a Gregorian date (Fliegel and Van Flandern), integer arithmetic.
long FliegelVanFlandern(int year, int month, int day);

// Julian centuries from the start of the day numbered `epochDayNumber` (a day number less 0.5)
// to 06:00 of the day numbered `dayNumber`.
double centuriesAt0600(long dayNumber, double epochDayNumber);

// Mean obliquity of the ecliptic and the precession angles, radians, for T centuries.
struct VEROLA_CORE_EXPORT TPrecessionAngles {
    double obliquity = 0;
    double zeta = 0;
    double z = 0;
    double theta = 0;
};
TPrecessionAngles precessionAngles(double T);
// The obliquity at T = 0: 23°26′21.448″.
double obliquityJ2000();

// Solves E = M + e·sin E by iteration from E = M, to successive values 10⁻⁶ apart.
// Throws EFloatingPointError when e is not in 0 … 1 (exclusive) or M is not a number.
double SolveKepler(double meanAnomaly, double eccentricity);

struct VEROLA_CORE_EXPORT TVector {
    double x = 0;
    double y = 0;
    double z = 0;
};
inline TVector operator-(const TVector& a, const TVector& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }

// Elements of one orbit: angles in radians, a in any unit of length.
struct VEROLA_CORE_EXPORT TOrbit {
    double meanAnomaly = 0;
    double perihelionArgument = 0; // ω
    double node = 0;               // Ω
    double inclination = 0;
    double eccentricity = 0;
    double semiMajorAxis = 0;
};

// Rectangular position in the ecliptic the elements are referred to.
TVector eclipticPosition(const TOrbit& orbit);

// Ecliptic of the date (T centuries) → equator of the date → precession to the equator of
// 2000 January 1.5 → ecliptic of 2000 January 1.5, as one matrix.
class VEROLA_CORE_EXPORT TEquinoxReduction {
public:
    explicit TEquinoxReduction(double T);
    TVector apply(const TVector& v) const;

private:
    double m_[3][3];
};

// Direction angle of (x, y) from the x axis, 0 … 2π; 0 for the origin.
double directionAngle(double x, double y);
// Brings an angle into 0 … 2π (2π itself becomes 0).
double normalizeAngle(double angle);

} // namespace verola
