#pragma once

#include "core/coreexport.h"

#include <QByteArray>
#include <QString>
#include <array>

namespace verola {

// "Planets.orb": 176 little-endian doubles in seven blocks, each listing the eight bodies
// Earth, Mercury, Venus, Mars, Jupiter, Saturn, Uranus, Neptune.
constexpr int kOrbitBodyCount = 8;
constexpr int kOrbitFileValueCount = 176;
constexpr qint64 kOrbitFileSize = kOrbitFileValueCount * 8;
extern const QString kOrbitFileName; // "Planets.orb"

// c0 + c1·T + c2·T² + c3·T³, T in Julian centuries; unused coefficients are zero.
struct VEROLA_CORE_EXPORT TOrbitPolynomial {
    std::array<double, 4> c{};
    double at(double T) const { return c[0] + T * (c[1] + T * (c[2] + T * c[3])); }
};

struct VEROLA_CORE_EXPORT TOrbitBody {
    TOrbitPolynomial meanLongitude; // radians
    TOrbitPolynomial perihelion;    // longitude of perihelion, radians
    TOrbitPolynomial node;          // longitude of the ascending node, radians
    TOrbitPolynomial inclination;   // radians
    TOrbitPolynomial eccentricity;
    TOrbitPolynomial semiMajorAxis; // astronomical units
};

// Index 0 is the Earth, 1 … 7 Mercury … Neptune.
using TOrbitElements = std::array<TOrbitBody, kOrbitBodyCount>;

// The orbit file of a data directory.
QString orbitFilePath(const QString& dataDirectory);

// Throws EInOutError when the bytes are fewer than the file holds or a value is not a finite
// number; bytes after the last value are ignored.
TOrbitElements parseOrbitElements(const QByteArray& bytes, const QString& path);
// Throws EInOutError when the file is missing, unreadable, short or holds a value that is not a number.
TOrbitElements readOrbitFile(const QString& path);

} // namespace verola
