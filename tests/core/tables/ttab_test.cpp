#include "core/platform/errors.h"
#include "core/tables/ttab.h"
#include "testsupport.h"

#include <gtest/gtest.h>

using namespace verola;
using namespace verola::test;

namespace {

CoordIndex dims(std::initializer_list<int> values)
{
    CoordIndex d;
    d.fill(1);
    int k = 0;
    for (int v : values)
        d[k++] = v;
    return d;
}

} // namespace

TEST(TTab, NewTableHasOneMissingCell)
{
    TTab table;
    EXPECT_EQ(table.FCellCount, 1);
    EXPECT_EQ(table.FPageCount, 1);
    EXPECT_EQ(table.FLastPageCells, 1);
    EXPECT_TRUE(isMissing(table.GetCell(at({0}))));
    EXPECT_EQ(table.FOption1, 3);
    EXPECT_EQ(table.FOption2, 0);
    EXPECT_EQ(table.FFactors[13][11], 1.0f);
    EXPECT_EQ(table.FIndex[0].FShiftAxis, -999);
    EXPECT_EQ(table.FCompareMode, 0);
}

TEST(TTab, DimensionComputesStridesAndPages)
{
    struct Case {
        CoordIndex d;
        int cells;
        int pages;
        int lastPage;
    };
    const std::vector<Case> cases = {
        {dims({1024}), 1024, 2, 0},
        {dims({2, 3, 4}), 24, 1, 24},
        {dims({1000, 3}), 3000, 3, 952},
        {dims({5, 0, 7}), 0, 1, 0},
    };
    for (const Case& c : cases) {
        TTab table;
        table.Dimension(c.d);
        EXPECT_EQ(table.FCellCount, c.cells);
        EXPECT_EQ(table.FPagedCount, c.cells);
        EXPECT_EQ(table.FPageCount, c.pages);
        EXPECT_EQ(table.FLastPageCells, c.lastPage);
    }
    TTab table;
    table.Dimension(dims({2, 3, 4}));
    EXPECT_EQ(table.FStride[0], 2);
    EXPECT_EQ(table.FStride[1], 6);
    EXPECT_EQ(table.FStride[2], 24);
    EXPECT_EQ(table.FStride[10], 24);
}

TEST(TTab, CellsAreAddressedAxisZeroFastest)
{
    TTab table;
    table.Dimension(dims({3, 2, 1, 1, 1, 1, 1, 1, 1, 1, 1, 2}));
    table.SetCell(at({2, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1}), 7.5f);
    EXPECT_EQ(table.GetCell(at({2, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1})), 7.5f);
    EXPECT_EQ(table.FLastOffset, 2 + 1 * 3 + 1 * 6);
    EXPECT_EQ(table.cellAt(11), 7.5f);
    EXPECT_TRUE(isMissing(table.GetCell(at({1, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1}))));
}

TEST(TTab, OutOfRangeIndexesReadMissingAndNeverWrite)
{
    TTab table;
    table.Dimension(dims({4, 4}));
    for (int i = 0; i < 16; ++i)
        table.setCellAt(i, 1.0f);
    const std::vector<CoordIndex> outside = {
        at({-1, 0}), at({0, -1}), at({4, 0}), at({0, 4}), at({0, 0, 1}), at({0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, -5})};
    for (const CoordIndex& v : outside) {
        EXPECT_TRUE(isMissing(table.GetCell(v)));
        table.SetCell(v, 99.0f);
    }
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(table.cellAt(i), 1.0f) << i;

    TTab empty;
    empty.Dimension(dims({3, 0}));
    empty.SetCell(at({0, 0}), 5.0f);
    EXPECT_TRUE(isMissing(empty.GetCell(at({0, 0}))));
}

// An axis of zero positions makes a table with no cells, whatever the size of the others.
TEST(TTab, AnAxisWithoutPositionsGivesATableWithoutCells)
{
    for (const CoordIndex& d : {dims({100000, 100000, 0}), dims({0, 100000, 100000}), dims({60000, 60000, 60000, 0}),
             dims({3, 0})}) {
        TTab table;
        table.Dimension(dims({2, 2}));
        ASSERT_NO_THROW(table.Dimension(d));
        EXPECT_EQ(table.FCellCount, 0);
        EXPECT_EQ(table.FDims, d);
        table.SetCell(at({0, 0}), 5.0f);
        EXPECT_TRUE(isMissing(table.GetCell(at({0, 0}))));
    }
}

TEST(TTab, LimitsAreRefusedAndLeaveTheTableAsItWas)
{
    TTab table;
    table.Dimension(dims({10, 10}));
    table.SetCell(at({3, 3}), 4.0f);
    const std::vector<CoordIndex> refused = {
        dims({65536, 1024}),                  // 67,108,864 cells
        dims({kMaxCells + 1}),                 // one cell too many
        dims({-1, 5}),
    };
    for (const CoordIndex& d : refused) {
        EXPECT_THROW(table.Dimension(d), ELimitError);
        EXPECT_EQ(table.FCellCount, 100);
        EXPECT_EQ(table.GetCell(at({3, 3})), 4.0f);
    }
    table.Dimension(dims({static_cast<int>(kMaxCells)}));
    EXPECT_EQ(table.FPageCount, 65535);
    EXPECT_EQ(table.FLastPageCells, 1023);

    TTab lines;
    QStringList list{"H"};
    for (int i = 0; i <= kMaxAxisLines; ++i)
        list.append(QStringLiteral("v%1|D").arg(i));
    lines.FLists[0] = QStringList{"H", "a|D", "b|D"};
    lines.BuildIndex(0);
    lines.FLists[0] = list;
    EXPECT_THROW(lines.BuildIndex(0), ELimitError);
    EXPECT_EQ(lines.FIndex[0].FGroups, 2);
    list.removeLast();
    lines.FLists[0] = list;
    lines.BuildIndex(0);
    EXPECT_EQ(lines.FIndex[0].FGroups, kMaxAxisLines);
    EXPECT_EQ(lines.FIndex[0].FPosLine.back(), 32767);
}

TEST(TTab, BuildIndexJoinsEqualKeysIgnoringCaseAndTabs)
{
    TTab table;
    table.FLists[1] = {"Регионы", "\tAbc|D", "\t\tABC|D", "\tМосква|D", "\t\tмосква|d", "\tOther|X"};
    table.BuildIndex(1);
    const TIndex& index = table.FIndex[1];
    EXPECT_EQ(index.FCount, 5);
    EXPECT_EQ(index.FGroups, 3);
    EXPECT_EQ(index.FLinePos, (std::vector<std::uint16_t>{0, 0, 1, 1, 2}));
    EXPECT_EQ(index.FPosLine, (std::vector<std::int16_t>{3, 5, 6}));
    EXPECT_EQ(table.PositionText(1, 0), QStringLiteral("\t\tABC|D"));
    EXPECT_EQ(table.PositionText(1, 2), QStringLiteral("\tOther|X"));
    EXPECT_EQ(table.PositionText(1, 3), QString());
    EXPECT_EQ(table.PositionText(1, -1), QString());
    EXPECT_EQ(table.PositionText(12, 0), QString());

    table.FLists[2] = {"Header only"};
    table.BuildIndex(2);
    EXPECT_EQ(table.FIndex[2].FGroups, 0);
    table.FLists[3].clear();
    table.BuildIndex(3);
    EXPECT_EQ(table.FIndex[3].FCount, 0);
}

TEST(TTab, RedimensionTakesEveryAxisPositionCount)
{
    TTab table;
    for (int k = 0; k < kAxisCount; ++k) {
        AddWholeSet(table.FLists[k], QStringLiteral("C"));
        table.BuildIndex(k);
    }
    table.FLists[4] = {"Diseases", "\tA|D", "\tB|D", "\tC|D"};
    table.Redimension(4);
    EXPECT_EQ(table.FDims[4], 3);
    EXPECT_EQ(table.FCellCount, 3);
    EXPECT_TRUE(isMissing(table.GetCell(at({0, 0, 0, 0, 2}))));
}

TEST(TTab, SetViewAxesMarksAxesAndMapsLines)
{
    TTab table;
    table.FLists[0] = {"H", "a|D", "A|D", "b|D"};
    table.BuildIndex(0);
    CoordIndex v{};
    v[1] = -1;
    v[2] = -2;
    v[0] = 2;
    v[5] = 3; // an axis without value lines
    table.SetViewAxes(v);
    EXPECT_EQ(table.FXAxis, 1);
    EXPECT_EQ(table.FYAxis, 2);
    EXPECT_EQ(table.FSlice[1], -1);
    EXPECT_EQ(table.FSlice[2], -2);
    EXPECT_EQ(table.FSlice[0], 1);
    EXPECT_EQ(table.FSlice[5], 0);
}

TEST(TTab, WholeSetAndNames)
{
    QStringList list;
    AddWholeSet(list, QStringLiteral("T"));
    EXPECT_EQ(list, (QStringList{"Весь набор", "\tВесь набор|T"}));
    EXPECT_TRUE(IsWholeSet(list));
    list.append(QStringLiteral("Весь набор"));
    EXPECT_FALSE(IsWholeSet(list));
    EXPECT_FALSE(IsWholeSet(QStringList{"Весь набор", "Другой"}));
    EXPECT_EQ(CoordFieldName(0), QStringLiteral("Pollutant"));
    EXPECT_EQ(CoordFieldName(11), QStringLiteral("Result"));
    EXPECT_EQ(CoordFieldName(12), QString());
    EXPECT_EQ(CoordFieldName(-1), QString());
    EXPECT_EQ(coordinateCaptions().size(), 10);
    EXPECT_EQ(coordinateCaptions().at(9), QStringLiteral("Среда"));
    EXPECT_EQ(tableKindTitles().at(3), QStringLiteral("Итоговая таблица расчета"));
}
