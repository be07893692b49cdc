#include "astro/aspects.h"

#include "astro/orbitmath.h"

#include <cmath>

namespace verola {

const std::array<TAspectKind, kAspectKindCount>& aspectKinds()
{
    // Angles and orbs to ten decimals, as the system has always held them.
    static const std::array<TAspectKind, kAspectKindCount> kinds = {{
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
    return kinds;
}

namespace {

// Strictly within the orb, the difference taken directly and across 0°/360° either way.
bool inAspect(double a, double b, const TAspectKind& kind)
{
    return std::fabs(std::fabs(a - b) - kind.angle) < kind.orb
        || std::fabs(std::fabs(a + kTwoPi - b) - kind.angle) < kind.orb
        || std::fabs(std::fabs(a - b - kTwoPi) - kind.angle) < kind.orb;
}

} // namespace

TAspectTable BuildAspectTable(const std::array<double, kBodyCount>& longitudes)
{
    TAspectTable table{};
    for (int k = 0; k < kAspectKindCount; ++k) {
        TAspectList& list = table[k];
        for (int a = 0; a < kBodyCount; ++a)
            for (int b = a + 1; b < kBodyCount; ++b)
                if (inAspect(longitudes[a], longitudes[b], aspectKinds()[k]))
                    list.pairs[list.count++] = {static_cast<std::uint8_t>(a + kFirstAspectBody),
                        static_cast<std::uint8_t>(b + kFirstAspectBody)};
    }
    return table;
}

} // namespace verola
