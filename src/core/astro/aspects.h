#pragma once

#include "core/coreexport.h"

#include <QString>
#include <array>
#include <cstdint>

namespace verola {

constexpr int kBodyCount = 14;
constexpr int kAspectKindCount = 12;
// Body numbers of the aspect table: a body's place among the fourteen plus 2 (1 is the Earth).
constexpr int kFirstAspectBody = 2;
constexpr int kLastAspectBody = kFirstAspectBody + kBodyCount - 1;
// Every pair of the fourteen bodies fits, so a crowded kind never loses a pair.
constexpr int kAspectPairCapacity = kBodyCount * (kBodyCount - 1) / 2;

struct VEROLA_CORE_EXPORT TAspectKind {
    const char* name;
    double angle; // radians
    double orb;   // radians
};
// "Conjunction" … "Opposition" in table order.
const std::array<TAspectKind, kAspectKindCount>& aspectKinds();

struct VEROLA_CORE_EXPORT TAspectPair {
    std::uint8_t first = 0;  // body numbers 2 … 15
    std::uint8_t second = 0;
};

struct VEROLA_CORE_EXPORT TAspectList {
    std::uint8_t count = 0;
    std::array<TAspectPair, kAspectPairCapacity> pairs{};
};

using TAspectTable = std::array<TAspectList, kAspectKindCount>;

// The pairs of bodies in each aspect, from the fourteen longitudes (radians).
TAspectTable BuildAspectTable(const std::array<double, kBodyCount>& longitudes);

} // namespace verola
