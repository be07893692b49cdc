#include "core/astro/aspects.h"

#include "core/astro/orbitmath.h"

#include <cmath>

namespace verola {

namespace {

// Angles and orbs to ten decimals, as the system has always held them.
constexpr std::array<TAspectKind, kAspectKindCount> kAspectKinds = {{
    {"Conjunction", 0.0, 0.1047197551},
    {"Bisextile", 0.5235987756, 0.0349065850},
    {"Biquintile", 0.6283185307, 0.0349065850},
    {"Biquadrate", 0.7853981634, 0.0349065850},
    {"Sextile", 1.0471975512, 0.1047197551},
    {"Quintile", 1.2566370614, 0.1047197551},
    {"Quadrate", 1.5707963268, 0.1047197551},
    {"Trin", 2.0943951024, 0.1047197551},
    {"Sesquiquadrate", 2.3561944902, 0.0349065850},
    {"144", 2.5132741229, 0.0349065850},
    {"150", 2.6179938780, 0.0349065850},
    {"Opposition", 3.1415926536, 0.1047197551},
}};

} // namespace

const std::array<TAspectKind, kAspectKindCount>& aspectKinds()
{
    return kAspectKinds;
}

TAspectTable BuildAspectTable(const std::array<double, kBodyCount>& longitudes)
{
    // Pairs are visited in the same order for every kind, so taking each pair once and
    // appending it to every kind it stands in gives each kind's list in pair order.
    TAspectTable table{};
    for (int a = 0; a < kBodyCount; ++a) {
        for (int b = a + 1; b < kBodyCount; ++b) {
            // The difference taken directly and across 0°/360° either way.
            const double direct = std::fabs(longitudes[a] - longitudes[b]);
            const double wrappedUp = std::fabs(longitudes[a] + kTwoPi - longitudes[b]);
            const double wrappedDown = std::fabs(longitudes[a] - longitudes[b] - kTwoPi);
            for (int k = 0; k < kAspectKindCount; ++k) {
                const TAspectKind& kind = kAspectKinds[k];
                // Strictly within the orb; the three tests are combined without branches, as
                // nearly every pair fails all of them.
                const bool inAspect = (std::fabs(direct - kind.angle) < kind.orb)
                    | (std::fabs(wrappedUp - kind.angle) < kind.orb) | (std::fabs(wrappedDown - kind.angle) < kind.orb);
                if (inAspect) {
                    TAspectList& list = table[k];
                    list.pairs[list.count++] = {static_cast<std::uint8_t>(a + kFirstAspectBody),
                        static_cast<std::uint8_t>(b + kFirstAspectBody)};
                }
            }
        }
    }
    return table;
}

} // namespace verola
