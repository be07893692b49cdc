#include "core/db/description.h"
#include "core/db/hashlist.h"
#include "core/platform/conversions.h"
#include "core/platform/errors.h"
#include "testsupport.h"

#include <gtest/gtest.h>

using namespace verola;
using namespace verola::test;

namespace {

constexpr int kSexAgeAxis = 3;
constexpr int kTimeAxis = 2;

TEST(HashList, TimeListWithDefaultBounds)
{
    const HashBounds bounds = hashBoundsOf(TCoordItem(), kTimeHash, FormatSettings::russian());
    const THashListPtr list = BuildHashList(kTimeHash, bounds.lower, bounds.upper);
    ASSERT_TRUE(list);
    ASSERT_EQ(list->size(), 5479u);
    EXPECT_EQ(list->front().HashValue, encodeDate(1985, 1, 1));
    EXPECT_EQ(list->back().HashValue, encodeDate(2000, 1, 1));
    EXPECT_EQ(HashIndex(*list, kTimeHash, encodeDate(1985, 1, 1)), 0);
    EXPECT_EQ(HashIndex(*list, kTimeHash, encodeDate(1985, 2, 1)), 31);
    EXPECT_EQ(HashIndex(*list, kTimeHash, encodeDate(1999, 12, 31)), 5477);
    EXPECT_EQ(HashIndex(*list, kTimeHash, encodeDate(2000, 1, 1)), -1); // past the range: the all-positions item
    EXPECT_EQ(HashIndex(*list, kTimeHash, encodeDate(2000, 1, 2)), -1);
    EXPECT_EQ(HashIndex(*list, kTimeHash, encodeDate(1984, 12, 31)), -1);
}

TEST(HashList, BoundsFromTheDescription)
{
    TCoordItem time;
    time.MinValue = "01.01.1990";
    time.MaxValue = "31.12.1990";
    const HashBounds dates = hashBoundsOf(time, kTimeHash, FormatSettings::russian());
    EXPECT_EQ(dates.lower, encodeDate(1990, 1, 1));
    EXPECT_EQ(dates.upper, encodeDate(1990, 12, 31));
    TCoordItem ages;
    ages.MinValue = "20";
    const HashBounds sexAge = hashBoundsOf(ages, kSexAgeHash, FormatSettings::russian());
    EXPECT_EQ(sexAge.lower, 20);
    EXPECT_EQ(sexAge.upper, 99);
    time.MinValue = "not a date";
    EXPECT_THROW(hashBoundsOf(time, kTimeHash, FormatSettings::russian()), EConvertError);
}

TEST(HashList, SexAgeListRunsAndIndexes)
{
    const THashListPtr list = BuildHashList(kSexAgeHash, 1, 99);
    ASSERT_TRUE(list);
    ASSERT_EQ(list->size(), 200u);
    EXPECT_EQ((*list)[0].HashValue, 101);
    EXPECT_EQ((*list)[99].HashValue, 200);
    EXPECT_EQ((*list)[100].HashValue, 201);
    EXPECT_EQ((*list)[199].HashValue, 300);
    const std::vector<std::pair<double, int>> cases = {{105, 4}, {205, 104}, {199, 98}, {101, 0}, {299, 198},
        {100, -1}, {305, -1}, {5, -1}};
    for (const auto& [value, index] : cases)
        EXPECT_EQ(HashIndex(*list, kSexAgeHash, value), index) << value;
}

TEST(HashList, NoListForReversedBoundsAndAnErrorForAHugeRange)
{
    EXPECT_FALSE(BuildHashList(kTimeHash, 10, 9));
    EXPECT_TRUE(BuildHashList(kTimeHash, 9, 9));
    EXPECT_THROW(BuildHashList(kTimeHash, 0, 1e12), ELimitError);
    THashListPtr list = BuildHashList(kTimeHash, 1, 2);
    FreeHashList(list);
    EXPECT_FALSE(list);
}

class FillHashListTest : public ::testing::Test {
protected:
    void shape(int axis, const QStringList& lines)
    {
        std::array<QStringList, kAxisCount> lists;
        lists[axis] = lines;
        shapeTable(table, lists);
    }
    TTab table;
    FormatSettings format = FormatSettings::russian();
};

TEST_F(FillHashListTest, SexAgeLeavesRangesAndGroups)
{
    shape(kSexAgeAxis, {"Группы",
                           "\tМужчины|M",           // position 0: a group, skipped
                           "\t\tДети|M,12-13",      // 1: sex 1, ages 2 and 3
                           "\t\tВзрослые|M,105",    // 2
                           "\tЖенщины|F,25",        // 3: sex 2, age 5
                           "\tВсе|A,12-12"});       // 4: equal bounds are no range
    THashListPtr list = BuildHashList(kSexAgeHash, 1, 99);
    FillHashList(*list, kSexAgeAxis, kSexAgeHash, table, format);
    const auto positionsOf = [&](double value) { return (*list)[HashIndex(*list, kSexAgeHash, value)].Positions; };
    EXPECT_EQ(positionsOf(102), (QStringList{"1", "4"}));
    EXPECT_EQ(positionsOf(103), (QStringList{"1"}));
    EXPECT_EQ(positionsOf(105), (QStringList{"2"}));
    EXPECT_EQ(positionsOf(205), (QStringList{"3"}));
    EXPECT_EQ(positionsOf(101), QStringList());
    // The last item collects every position once; no value selects it, nor the men's last item.
    EXPECT_EQ(list->back().Positions, (QStringList{"1", "2", "3", "4"}));
    EXPECT_EQ(HashIndex(*list, kSexAgeHash, 300), -1);
    EXPECT_EQ(HashIndex(*list, kSexAgeHash, 200), -1);
}

TEST_F(FillHashListTest, TimeLeavesByDayAndRange)
{
    shape(kTimeAxis, {"Годы", "\t1990|01.01.1990", "\tНачало 1991|30.12.1990-01.01.1991",
                         "\tДо начала|01.01.1980", "\tС временем|31.12.1990"});
    THashListPtr list = BuildHashList(kTimeHash, encodeDate(1990, 1, 1), encodeDate(1990, 12, 31));
    FillHashList(*list, kTimeAxis, kTimeHash, table, format);
    const auto positionsOn = [&](int y, int m, int d) {
        const int i = HashIndex(*list, kTimeHash, encodeDate(y, m, d));
        return i < 0 ? QStringList{"none"} : (*list)[i].Positions;
    };
    EXPECT_EQ(positionsOn(1990, 1, 1), (QStringList{"0"}));
    EXPECT_EQ(positionsOn(1990, 12, 30), (QStringList{"1"}));
    EXPECT_EQ(positionsOn(1990, 12, 31), (QStringList{"1", "3"}));
    // The all-positions item holds each position once; 1 January 1991 lies past the range.
    EXPECT_EQ(list->back().Positions, (QStringList{"0", "1", "3"}));
    EXPECT_EQ(positionsOn(1991, 1, 1), (QStringList{"none"}));
    EXPECT_EQ(positionsOn(1990, 6, 1), QStringList());
}

TEST_F(FillHashListTest, ALastCodeThatIsNeitherNumberNorDateIsAConversionError)
{
    shape(kSexAgeAxis, {"Группы", "\tСтранная|M,abc"});
    THashListPtr list = BuildHashList(kSexAgeHash, 1, 99);
    EXPECT_THROW(FillHashList(*list, kSexAgeAxis, kSexAgeHash, table, format), EConvertError);
}

} // namespace
