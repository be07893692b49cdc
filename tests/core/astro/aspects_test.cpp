#include "core/astro/aspects.h"
#include "core/astro/horoscope.h"
#include "core/astro/orbitmath.h"

#include <gtest/gtest.h>
#include <set>
#include <utility>
#include <vector>

using namespace verola;

namespace {

constexpr int kConjunction = 0, kBisextile = 1, kBiquadrate = 3, kSextile = 4, kTrin = 7, kOpposition = 11;

// Longitudes with every body at 0° but the ones given (those at 0° are all in conjunction).
std::array<double, kBodyCount> longitudesWith(std::initializer_list<std::pair<int, double>> degrees)
{
    std::array<double, kBodyCount> longitudes{};
    for (const auto& [body, value] : degrees)
        longitudes[body] = value * kRadiansPerDegree;
    return longitudes;
}

std::set<std::pair<int, int>> pairsOf(const TAspectList& list)
{
    std::set<std::pair<int, int>> pairs;
    for (int i = 0; i < list.count; ++i)
        pairs.insert({list.pairs[i].first, list.pairs[i].second});
    return pairs;
}

// Whether Mercury (2) and Venus (3) stand in the aspect.
bool inKind(double degreesA, double degreesB, int kind)
{
    const auto longitudes = longitudesWith({{kMercury, degreesA}, {kVenus, degreesB}});
    return pairsOf(BuildAspectTable(longitudes)[kind]).count({2, 3}) == 1;
}

TEST(AspectKinds, AnglesAndOrbsToTenDecimals)
{
    const auto& kinds = aspectKinds();
    const std::vector<std::pair<double, double>> degrees = {{0, 6}, {30, 2}, {36, 2}, {45, 2}, {60, 6}, {72, 6},
        {90, 6}, {120, 6}, {135, 2}, {144, 2}, {150, 2}, {180, 6}};
    for (int k = 0; k < kAspectKindCount; ++k) {
        EXPECT_NEAR(kinds[k].angle, degrees[k].first * kRadiansPerDegree, 5e-11) << kinds[k].name;
        EXPECT_NEAR(kinds[k].orb, degrees[k].second * kRadiansPerDegree, 5e-11) << kinds[k].name;
    }
    EXPECT_STREQ(kinds[0].name, "Conjunction");
    EXPECT_STREQ(kinds[9].name, "144");
    EXPECT_STREQ(kinds[11].name, "Opposition");
}

TEST(BuildAspectTable, OrbIsStrictAndWrapsAtZero)
{
    struct Case {
        double a, b;
        int kind;
        bool expected;
    };
    const std::vector<Case> cases = {
        {359, 1, kConjunction, true},  // 2° apart across 0°
        {1, 359, kConjunction, true},
        {0, 6, kConjunction, false},   // exactly the orb
        {0, 5.99, kConjunction, true},
        {0, 32, kBisextile, false},    // |32 − 30| is not less than 2
        {0, 31.9, kBisextile, true},
        {0, 28.1, kBisextile, true},
        {345, 15, kBisextile, true},   // 30° across 0°
        {10, 191, kOpposition, true},
        {191, 10, kOpposition, true},
        {350, 175, kOpposition, true},
        {0, 240, kTrin, true},         // 120° the other way round
        {300, 0, kSextile, true},
        {0, 186.5, kOpposition, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(inKind(c.a, c.b, c.kind), c.expected) << c.a << "° and " << c.b << "°, kind " << c.kind;
}

TEST(BuildAspectTable, DifferenceEqualToTheOrbIsOutside)
{
    // In radians as held: a difference of exactly the orb (0.1047197551) is not less than it.
    // (Across 0° the difference carries the rounding of 2π, so only the direct one can be exact.)
    const double orb = aspectKinds()[kConjunction].orb;
    struct Case {
        double a, b;
        bool expected;
    };
    const std::vector<Case> cases = {
        {0, orb, false}, {orb, 0, false}, {0, 0.1047197550, true}, {0.1047197550, 0, true},
        {kTwoPi - 0.1047197550, 0, true}, {0, kTwoPi - 0.1047197550, true}, {0, kTwoPi - 0.1047197552, false},
    };
    for (const Case& c : cases) {
        std::array<double, kBodyCount> longitudes{};
        longitudes.fill(kPi / 2);
        longitudes[kMercury] = c.a;
        longitudes[kVenus] = c.b;
        EXPECT_EQ(pairsOf(BuildAspectTable(longitudes)[kConjunction]).count({2, 3}), c.expected ? 1u : 0u)
            << c.a << " and " << c.b;
    }
}

TEST(BuildAspectTable, BodiesAreNumberedFromTwoInListOrder)
{
    // Mercury at 100° and the Sun at 280° are in opposition; both are clear of the twelve
    // others at 0°, which are in conjunction with each other: 66 pairs.
    const TAspectTable table = BuildAspectTable(longitudesWith({{kMercury, 100}, {kSun, 280}}));
    EXPECT_EQ(pairsOf(table[kOpposition]), (std::set<std::pair<int, int>>{{2, 12}}));
    EXPECT_EQ(table[kConjunction].count, 66);
    EXPECT_EQ(pairsOf(table[kConjunction]).count({3, 15}), 1u);
    EXPECT_EQ(pairsOf(table[kConjunction]).count({2, 3}), 0u);
    EXPECT_EQ(table[kConjunction].pairs[0].first, 3);
    EXPECT_EQ(table[kConjunction].pairs[0].second, 4);
    for (int k = 1; k < kOpposition; ++k)
        EXPECT_EQ(table[k].count, 0) << aspectKinds()[k].name;
}

TEST(BuildAspectTable, EveryPairInOneKindIsKeptBeyondSixtySixPairs)
{
    // All fourteen together: 91 pairs in conjunction, more than the 66 slots the table used to have.
    std::array<double, kBodyCount> longitudes{};
    longitudes.fill(100 * kRadiansPerDegree);
    const TAspectTable table = BuildAspectTable(longitudes);
    EXPECT_EQ(table[kConjunction].count, 91);
    std::set<std::pair<int, int>> expected;
    for (int a = kFirstAspectBody; a <= kLastAspectBody; ++a)
        for (int b = a + 1; b <= kLastAspectBody; ++b)
            expected.insert({a, b});
    EXPECT_EQ(pairsOf(table[kConjunction]), expected);
    for (int k = 1; k < kAspectKindCount; ++k)
        EXPECT_EQ(table[k].count, 0) << aspectKinds()[k].name;

    THoroscope horoscope;
    horoscope.longitudes = longitudes;
    horoscope.aspects = table;
    EXPECT_TRUE(MatchHoroscope(horoscope, QStringLiteral("HORO,ASPECT,AscNode,Ascendent,Conjunction")));
}

class MatchHoroscopeTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        // Mars 10° (Aries), Venus 130°, Jupiter 190°, Sun 140° (Leo), the rest at 0°:
        // Mars–Venus trine, Mars–Jupiter opposition, Venus–Jupiter sextile, the Sun in no aspect.
        const auto longitudes = longitudesWith({{kMars, 10}, {kVenus, 130}, {kJupiter, 190}, {kSun, 140}});
        horoscope.longitudes = longitudes;
        for (int body = 0; body < kBodyCount; ++body)
            horoscope.signs[body] = signOfLongitude(longitudes[body]);
        horoscope.aspects = BuildAspectTable(longitudes);
    }

    THoroscope horoscope;
};

TEST_F(MatchHoroscopeTest, AnswersAspectAndZodiacQuestions)
{
    struct Case {
        const char* codes;
        bool expected;
    };
    const std::vector<Case> cases = {
        {"HORO,ASPECT,Mars,Venus,Trin", true},
        {"HORO,ASPECT,Venus,Mars,Trin", true},        // either order
        {"HORO,ASPECT,Mars,Venus,Opposition", false},
        {"HORO,ASPECT,Mars,Venus", true},             // any recorded aspect
        {"HORO,ASPECT,Mars,Venus,", true},            // empty fifth field
        {"HORO,ASPECT,Mars,Jupiter,Opposition", true},
        {"HORO,ASPECT,Mars,Sun", false},
        {"HORO,ASPECT,Jupiter,Venus,Sextile", true},
        {"HORO,ASPECT,Venus,Sun", false},
        {"HORO,ASPECT, Mars,Venus,Trin", false},      // fields are compared as written
        {"HORO,ASPECT,mars,Venus,Trin", false},       // letter case counts
        {"HORO,ASPECT,Mars,Venus,trin", false},
        {"HORO,Aspect,Mars,Venus,Trin", true},
        {"HORO,aspect,Mars,Venus,Trin", false},       // neither question
        {"HORO,ZODIAC,Sun,Leo", true},
        {"HORO,Zodiac,Sun,Leo", true},
        {"HORO,ZODIAC,Sun,Virgo", false},
        {"HORO,ZODIAC,Mars,Aries", true},
        {"HORO,ZODIAC, Mars,Aries", false},
        {"HORO,ZODIAC,Pallas,Aries", false},          // no such body
        {"HORO,ZODIAC,Sun", false},
        {"HORO,ASPECT,Mars,Venus,Trin,ZODIAC", true}, // both words: an aspect question
        {"HORO,ZODIAC,Mars,Venus,Trin,ASPECT", true},
        {"HORO,ZODIAC,Sun,Leo,ASPECT", false},        // an aspect question between Sun and Leo
        {"HORO", false},
        {"", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(MatchHoroscope(horoscope, QString::fromLatin1(c.codes)), c.expected) << c.codes;
}

TEST_F(MatchHoroscopeTest, KindsWithoutPairsAreSkippedEvenWhenNamed)
{
    EXPECT_EQ(horoscope.aspects[kBiquadrate].count, 0);
    EXPECT_FALSE(MatchHoroscope(horoscope, QStringLiteral("HORO,ASPECT,Mars,Venus,Biquadrate")));
}

} // namespace
