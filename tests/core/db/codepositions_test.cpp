// The positions a record is still tested against when the level's test compares codes: none
// that the test could pass may be left out, whatever the format and the codes.
#include "core/db/codepositions.h"
#include "core/db/recordreader.h"
#include "core/platform/conversions.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace verola;

namespace {

const FormatSettings kRussian = FormatSettings::russian();

const std::vector<TCodePositions::Position> kPositions = {
    {true, "J10"},
    {true, "j10"}, // the same code in other letters: a position of its own
    {false, ""},   // a group node
    {true, "10-20"},
    {true, "12"},
    {true, "Ж1"},
    {true, "01.01.1990-31.12.1990"},
    {true, "20-30"},
    {true, "K\xF0\x9F\x98\x80"}, // a code with a character outside the Basic Multilingual Plane
    {true, "1990"},
};

TEST(CodePositionsTest, NoPositionTheTestCouldPassIsLeftOut)
{
    const TDateType year1990{encodeDate(1990, 1, 1), encodeDate(1990, 12, 31)};
    const QStringList values = {"J10", "j10", "k10", "12", "15", "25", "20-30", "ж1", "Ж1", "15.03.1990", "1990",
        "", "K\xF0\x9F\x98\x80"};
    for (const char* format : {"String", "Boolean", "Integer", "Float", "DateTime", "Disease"}) {
        TCodePositions positions;
        positions.build(kPositions, format);
        for (const QString& value : values) {
            for (int after : {-1, 0, 3, 9}) {
                SCOPED_TRACE(std::string(format) + " value " + value.toStdString() + " after " + std::to_string(after));
                std::vector<int> tested;
                if (!positions.positionsToTest(value, after, tested))
                    continue; // everything is tested
                EXPECT_TRUE(std::is_sorted(tested.begin(), tested.end()));
                EXPECT_TRUE(std::all_of(tested.begin(), tested.end(), [&](int p) { return p > after; }));
                for (int p = after + 1; p < static_cast<int>(kPositions.size()); ++p) {
                    const TCodePositions::Position& position = kPositions[static_cast<size_t>(p)];
                    const bool listed = std::find(tested.begin(), tested.end(), p) != tested.end();
                    const bool passes = position.leaf && MatchValue(format, value, position.code, year1990, kRussian);
                    EXPECT_TRUE(listed || (position.leaf && !passes)) << "position " << p;
                }
            }
        }
    }
}

TEST(CodePositionsTest, APlainCodeLeavesOutTheOtherPlainCodes)
{
    TCodePositions positions;
    positions.build(kPositions, "Integer");
    std::vector<int> tested;
    ASSERT_TRUE(positions.positionsToTest("j10", -1, tested));
    // Both spellings of the code, the group, the ranges and the code of surrogates; not 12, Ж1, 1990.
    EXPECT_EQ(tested, (std::vector<int>{0, 1, 2, 3, 6, 7, 8}));
    ASSERT_TRUE(positions.positionsToTest("ж1", 4, tested));
    EXPECT_EQ(tested, (std::vector<int>{5, 6, 7, 8}));

    positions.build(kPositions, "String"); // ranges are plain codes too when texts only compare
    ASSERT_TRUE(positions.positionsToTest("12", -1, tested));
    EXPECT_EQ(tested, (std::vector<int>{2, 4, 8}));
    // A value of surrogates cannot be looked up: every position is tested.
    EXPECT_FALSE(positions.positionsToTest("K\xF0\x9F\x98\x80", -1, tested));
}

} // namespace
