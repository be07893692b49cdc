#pragma once

#include "core/coreexport.h"
#include "core/astro/aspects.h"
#include "core/astro/orbitfile.h"
#include "core/platform/formatsettings.h"

#include <QString>
#include <array>
#include <optional>

namespace verola {

// The fourteen bodies and points, in this order.
enum BodyNumber {
    kMercury, kVenus, kMars, kJupiter, kSaturn, kUranus, kNeptune, kPluto, kChiron, kMoon, kSun,
    kDescNode, kAscNode, kAscendent
};
constexpr int kSignCount = 12;

// "Mercury" … "Ascendent"; empty outside 0 … 13.
QString bodyName(int body);
// "Aries" (1) … "Pisces" (12); empty outside 1 … 12.
QString signName(int sign);
// Sign 1 … 12 of a longitude in radians: its whole degrees div 30, plus 1. A longitude that
// should be a whole degree (as the Ascendent always is) is not pushed below it by rounding.
int signOfLongitude(double longitude);

struct VEROLA_CORE_EXPORT THoroscope {
    std::array<double, kBodyCount> longitudes{}; // radians, 0 … 2π
    std::array<int, kBodyCount> signs{};         // 1 … 12
    TAspectTable aspects{};
};

// The Ascendent, whole degrees, for 06:00 of a Julian day number, observer at 0° latitude and longitude.
int AscendentDegrees(long dayNumber);

// The horoscope for 06:00 of the day with the given Julian day number.
THoroscope horoscopeForDay(long dayNumber, const TOrbitElements& elements);

// Julian day number of a birth date text in the user's short date format; throws EConvertError.
long birthDayNumber(const QString& birthDate, const FormatSettings& format);

// Whether the horoscope answers yes to the question in a position's codes
// (HORO,ASPECT,body,body[,aspect] or HORO,ZODIAC,body,sign).
bool MatchHoroscope(const THoroscope& horoscope, const QString& codes);

// The horoscope of one selection run: the orbit file is read the first time it is needed
// (again only when the data directory changes), and the latest horoscope is kept.
class VEROLA_CORE_EXPORT THoroscopeState {
public:
    // Throws EInOutError (missing or short orbit file), EConvertError (not a date) or
    // EFloatingPointError (orbit elements that give no orbit).
    const THoroscope& ComputeHoroscope(const QString& birthDate, const QString& dataDirectory,
                                       const FormatSettings& format);
    bool MatchHoroscope(const QString& codes) const { return verola::MatchHoroscope(m_horoscope, codes); }
    const THoroscope& horoscope() const { return m_horoscope; }

private:
    const TOrbitElements& orbitElements(const QString& dataDirectory);

    QString m_orbitPath;
    std::optional<TOrbitElements> m_elements;
    THoroscope m_horoscope;
};

} // namespace verola
