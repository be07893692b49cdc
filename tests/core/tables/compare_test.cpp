#include "core/tables/compare.h"
#include "core/tables/summary.h"
#include "testsupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>

using namespace verola;
using verola::test::at;
using verola::test::makeList;
using verola::test::shapeTable;

namespace {

const FormatSettings kRussian = FormatSettings::russian();

QStringList leaves(std::initializer_list<const char*> names)
{
    QStringList lines;
    for (const char* name : names)
        lines.append(u'\t' + QString::fromUtf8(name) + QStringLiteral("|l"));
    return lines;
}

// Two axes of two positions; the block table has the reference position "СО" after them.
struct Fixture {
    TTab table;
    TTab background;
    TTab blockTable;

    Fixture()
    {
        std::array<QStringList, kAxisCount> lists;
        lists[0] = makeList(QStringLiteral("h"), leaves({"a", "b"}));
        lists[1] = makeList(QStringLiteral("h"), leaves({"x", "y"}));
        shapeTable(table, lists);
        shapeTable(background, lists);
        lists[0].append(QStringLiteral("\tСО|r"));
        lists[1].append(QStringLiteral("\tСО|r"));
        shapeTable(blockTable, lists);
        table.FBlockTable = &blockTable;
        for (int i = 0; i < 2; ++i)
            for (int j = 0; j < 2; ++j) {
                table.SetCell(at({i, j}), 20 + 10 * i + j);
                background.SetCell(at({i, j}), 4);
                blockTable.SetCell(at({i, j}), 5);
            }
        blockTable.SetCell(at({0, 2}), 1);   // margin of a
        blockTable.SetCell(at({1, 2}), 3);   // margin of b
        blockTable.SetCell(at({2, 0}), 2);   // margin of x
        blockTable.SetCell(at({2, 1}), 4);   // margin of y
        blockTable.SetCell(at({2, 2}), 0.5f); // the all-axes margin
    }
};

struct CompareCase {
    const char* name;
    int mode;
    unsigned source;
    std::function<void(Fixture&)> setup;
    CoordIndex v;
    float expected;
};

TEST(CompareRead, EachSourceAndMode)
{
    constexpr float M = kMissing;
    auto none = [](Fixture&) {};
    auto withBackground = [](Fixture& f) { f.table.FBackground = &f.background; };
    const std::vector<CompareCase> cases = {
        {"no comparison", 0, 0, withBackground, at({1, 1}), 31},
        {"difference without background is plain", 1, 0, none, at({1, 1}), 31},
        {"difference from the background", 1, 0, withBackground, at({1, 1}), 27},
        {"ratio to the background", 2, 0, withBackground, at({1, 0}), 7.5f},
        {"ratio to a zero background", 2, 0,
            [](Fixture& f) {
                f.table.FBackground = &f.background;
                f.background.SetCell(at({1, 0}), 0);
            },
            at({1, 0}), M},
        {"ratio to a missing background", 2, 0,
            [](Fixture& f) {
                f.table.FBackground = &f.background;
                f.background.SetCell(at({1, 0}), M);
            },
            at({1, 0}), M},
        {"missing cell stays missing", 1, 0,
            [](Fixture& f) {
                f.table.FBackground = &f.background;
                f.table.SetCell(at({0, 0}), M);
            },
            at({0, 0}), M},
        {"difference from the block table", 1, 1, none, at({0, 1}), 16},
        // q = margin(a) + margin(y) + ten times the all-axes margin for axes 2..11.
        {"sum of margins", 1, 2, none, at({0, 1}), 21 - (1 + 4 + 10 * 0.5f)},
        {"product of margins", 2, 2, none, at({0, 1}), static_cast<float>(21 / (1 * 4 * std::pow(0.5, 10)))},
        {"one missing margin", 1, 2, [](Fixture& f) { f.blockTable.SetCell(at({2, 1}), M); }, at({0, 1}), M},
        {"margin of one axis", 1, 3, [](Fixture& f) { f.table.FCompareAxis = 1; }, at({1, 0}), 30 - 2},
        {"other slice of the same table", 2, 4,
            [](Fixture& f) {
                f.table.FCompareAxis = 0;
                f.table.FComparePos = 0;
            },
            at({1, 1}), 31.0f / 21},
        {"no block table reads plainly", 1, 1, [](Fixture& f) { f.table.FBlockTable = nullptr; }, at({1, 1}), 31},
    };
    for (const CompareCase& c : cases) {
        Fixture f;
        f.table.FCompareMode = c.mode;
        f.table.FCompareSource = c.source;
        c.setup(f);
        const float value = CompareRead(f.table, c.v);
        if (isMissing(c.expected)) {
            EXPECT_TRUE(isMissing(value)) << c.name << ": " << value;
        } else {
            EXPECT_FLOAT_EQ(value, c.expected) << c.name;
        }
    }
}

TEST(ShiftedRead, ShiftsRestrictionsAndMultiplyingAxes)
{
    std::array<QStringList, kAxisCount> lists;
    lists[0] = makeList(QStringLiteral("h"), leaves({"a", "b", "c"}));
    lists[2] = makeList(QStringLiteral("h"), leaves({"t0", "t1", "t2", "t3", "t4", "t5", "t6", "t7"}));
    TTab table;
    shapeTable(table, lists);
    for (int i = 0; i < 3; ++i)
        for (int t = 0; t < 8; ++t)
            table.SetCell(at({i, 0, t}), 10 * i + t);
    CoordIndex none;
    none.fill(-1);

    table.FIndex[2].FShift = 1;
    EXPECT_EQ(ShiftedRead(table, at({0, 0, 3}), none, none), 4);
    EXPECT_TRUE(isMissing(ShiftedRead(table, at({0, 0, 7}), none, none))) << "past the last position";
    CoordIndex first = none, last = none;
    first[2] = 3;
    last[2] = 5;
    EXPECT_EQ(ShiftedRead(table, at({0, 0, 4}), first, last), 5);
    EXPECT_TRUE(isMissing(ShiftedRead(table, at({0, 0, 5}), first, last))) << "shifted to 6, outside 3..5";

    // Axis 2 moves by its shift times the (already shifted) position on axis 0.
    table.FIndex[0].FShift = 1;
    table.FIndex[2].FShift = 2;
    table.FIndex[2].FShiftAxis = 0;
    EXPECT_EQ(ShiftedRead(table, at({0, 0, 1}), none, none), 10 + 1 + 2 * 1);
    // A multiplying axis that comes later is taken unshifted: w0 = 0 + v2, not the shifted 2.
    table.FIndex[0].FShift = 1;
    table.FIndex[0].FShiftAxis = 2;
    table.FIndex[2].FShift = 1;
    table.FIndex[2].FShiftAxis = -999;
    EXPECT_EQ(ShiftedRead(table, at({0, 0, 1}), none, none), 12);
}

struct MapCase {
    const char* name;
    QStringList source;
    QStringList target;
    std::vector<int> expected;
};

TEST(MapPositions, NamesAndWildcards)
{
    const int absent = kAbsentPosition;
    const std::vector<MapCase> cases = {
        {"same names", leaves({"a", "b", "c"}), leaves({"c", "a"}), {2, 0}},
        {"absent name", leaves({"a", "b"}), leaves({"b", "z"}), {1, absent}},
        {"case matters", leaves({"a"}), leaves({"A"}), {absent}},
        {"target wildcard takes position 0", leaves({"a", "b"}), leaves({"Все", "Везде", "Всегда"}), {0, 0, 0}},
        {"source wildcard catches the rest", leaves({"a", "Всегда", "b"}), leaves({"b", "a", "z"}), {1, 0, 1}},
        {"attributes are not part of the name", {QStringLiteral("\ta|x,1")}, {QStringLiteral("\t\ta|y")}, {0}},
    };
    for (const MapCase& c : cases) {
        TTab source, target;
        source.FLists[0] = makeList(QStringLiteral("h"), c.source);
        target.FLists[0] = makeList(QStringLiteral("h"), c.target);
        source.BuildIndex(0);
        target.BuildIndex(0);
        MapPositions(source.FLists[0], source.FIndex[0], target.FLists[0], target.FMap[0], target.FIndex[0]);
        EXPECT_EQ(target.FMap[0].FCount, c.expected.size()) << c.name;
        EXPECT_EQ(target.FMap[0].FGroups, 0) << c.name;
        std::vector<int> map(target.FMap[0].FLinePos.begin(), target.FMap[0].FLinePos.end());
        EXPECT_EQ(map, c.expected) << c.name;
    }
}

TEST(CopyFrom, FillsThroughTheMapsThenSummarizes)
{
    TTab source;
    std::array<QStringList, kAxisCount> lists;
    lists[0] = makeList(QStringLiteral("h"), leaves({"a", "b", "c"}));
    lists[3] = makeList(QStringLiteral("h"), leaves({"m", "f"}));
    shapeTable(source, lists);
    for (int i = 0; i < 3; ++i)
        for (int s = 0; s < 2; ++s)
            source.SetCell(at({i, 0, 0, s}), 1 + i + 10 * s);

    TTab target;
    target.FLists[0] = makeList(QStringLiteral("h"), {QStringLiteral("T|g,GROUP:SUM"), QStringLiteral("\tc|l"),
                                                       QStringLiteral("\tz|l"), QStringLiteral("\ta|l")});
    target.FLists[3] = lists[3];
    for (int k = 0; k < kAxisCount; ++k) {
        if (target.FLists[k].isEmpty())
            AddWholeSet(target.FLists[k], QStringLiteral("T"));
        target.BuildIndex(k);
        if (source.FLists[k].isEmpty())
            AddWholeSet(source.FLists[k], QStringLiteral("T"));
        source.BuildIndex(k);
        MapPositions(source.FLists[k], source.FIndex[k], target.FLists[k], target.FMap[k], target.FIndex[k]);
    }
    CopyFrom(target, source, kRussian);
    EXPECT_EQ(target.FDims[0], 4);
    EXPECT_EQ(target.GetCell(at({1, 0, 0, 0})), 3);
    EXPECT_TRUE(isMissing(target.GetCell(at({2, 0, 0, 1})))) << "z is not in the source";
    EXPECT_EQ(target.GetCell(at({3, 0, 0, 1})), 11);
    EXPECT_EQ(target.GetCell(at({0, 0, 0, 0})), 4);  // c + a
    EXPECT_EQ(target.GetCell(at({0, 0, 0, 1})), 24);

    // The source is read through its comparison view.
    TTab background;
    shapeTable(background, lists);
    for (std::int64_t o = 0; o < background.FCellCount; ++o)
        background.setCellAt(o, 2);
    source.FBackground = &background;
    source.FCompareMode = 2;
    CopyFrom(target, source, kRussian);
    EXPECT_EQ(target.GetCell(at({1, 0, 0, 0})), 1.5f);
    EXPECT_EQ(target.GetCell(at({0, 0, 0, 1})), 12);
}

TEST(CopyFrom, CopyStructureGivesTheTargetTheSourceShape)
{
    TTab source;
    std::array<QStringList, kAxisCount> lists;
    lists[1] = makeList(QStringLiteral("h"),
        {QStringLiteral("All|g,GROUP:AVER"), QStringLiteral("\tr1|l"), QStringLiteral("\tr2|l")});
    lists[2] = makeList(QStringLiteral("h"), leaves({"2001", "2002"}));
    shapeTable(source, lists);
    source.SetCell(at({0, 1, 0}), 2);
    source.SetCell(at({0, 2, 0}), 6);
    source.SetCell(at({0, 2, 1}), 7);
    source.FSlice = at({0, -1, -2});
    TTab target;
    CopyStructureFrom(target, source, kRussian);
    EXPECT_EQ(target.FLists[1], source.FLists[1]);
    EXPECT_EQ(target.FDims, source.FDims);
    EXPECT_EQ(target.GetCell(at({0, 0, 0})), 4);
    EXPECT_EQ(target.GetCell(at({0, 0, 1})), 7);
    EXPECT_EQ(target.FSlice, source.FSlice);
}

TEST(MergeStructure, BuildsListsAndMapsByAxis)
{
    TTab a, b;
    std::array<QStringList, kAxisCount> listsA, listsB;
    listsA[0] = makeList(QStringLiteral("Вещества"), leaves({"NO2", "SO2", "CO"}));
    listsB[0] = makeList(QStringLiteral("Другой заголовок"), leaves({"co", "NO2", "Pb"}));
    listsA[1] = makeList(QStringLiteral("h"), leaves({"r1", "r2"}));
    listsB[2] = makeList(QStringLiteral("h"), leaves({"t1", "t2"}));
    shapeTable(a, listsA);
    shapeTable(b, listsB);
    TTab target;
    const std::int32_t cellsBefore = target.FCellCount;
    MergeStructure(target, a, b);

    // Both many: A's lines that B holds too, ignoring case; the header stays.
    EXPECT_EQ(target.FLists[0], QStringList({QStringLiteral("Вещества"), QStringLiteral("\tNO2|l"),
                                    QStringLiteral("\tCO|l")}));
    EXPECT_EQ(std::vector<int>(target.FMap[0].FLinePos.begin(), target.FMap[0].FLinePos.end()),
        std::vector<int>({0, 2}));
    EXPECT_EQ(std::vector<int>(b.FMap[0].FLinePos.begin(), b.FMap[0].FLinePos.end()),
        std::vector<int>({kAbsentPosition, 0, kAbsentPosition})) << "names compare exactly";
    EXPECT_EQ(target.FLists[1], a.FLists[1]);
    EXPECT_EQ(target.FMap[1].FCount, 2);
    EXPECT_EQ(target.FLists[2], b.FLists[2]);
    EXPECT_EQ(b.FMap[2].FCount, 2);
    EXPECT_TRUE(IsWholeSet(target.FLists[5]));
    EXPECT_TRUE(target.FLists[5].last().endsWith(QStringLiteral("|T")));
    EXPECT_EQ(target.FIndex[5].FGroups, 1);
    EXPECT_EQ(target.FCellCount, cellsBefore) << "cells are left alone";
}

} // namespace
