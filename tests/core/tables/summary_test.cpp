#include "core/tables/compare.h"
#include "core/tables/summary.h"
#include "testsupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

using namespace verola;
using verola::test::at;
using verola::test::makeList;
using verola::test::shapeTable;

namespace {

const FormatSettings kRussian = FormatSettings::russian();

// A table whose axis 0 is one group line followed by its children, child k holding values[k].
void groupWithChildren(TTab& table, const QString& groupLine, const std::vector<float>& values)
{
    QStringList lines{groupLine};
    for (size_t k = 0; k < values.size(); ++k)
        lines.append(QStringLiteral("\tc%1|l").arg(k));
    std::array<QStringList, kAxisCount> lists;
    lists[0] = makeList(QStringLiteral("Вещества"), lines);
    shapeTable(table, lists);
    for (size_t k = 0; k < values.size(); ++k)
        table.SetCell(at({static_cast<int>(k) + 1}), values[k]);
}

struct RuleCase {
    const char* name;
    QString groupLine;
    std::vector<float> children;
    float expected;
};

TEST(Summarize, EachRuleAggregatesTheDirectChildren)
{
    const float M = kMissing;
    const std::vector<RuleCase> cases = {
        {"mean skips missing", QStringLiteral("G|g,GROUP:AVER"), {2, M, 4}, 3},
        {"geometric mean counts a zero", QStringLiteral("G|g,GROUP:GEOM"), {0, 100}, 10},
        {"angle wraps only above 360", QStringLiteral("G|g,GROUP:ANGLE"), {350, 10}, 360},
        {"angle mean of close directions", QStringLiteral("G|g,GROUP:ANGLE"), {10, 20}, 15},
        {"logarithmic sum", QStringLiteral("G|g,GROUP:LOGSUM"), {1, 1}, static_cast<float>(std::log10(20.0) / 2)},
        {"deviation of one value", QStringLiteral("G|g,GROUP:DISP"), {5}, M},
        {"deviation", QStringLiteral("G|g,GROUP:DISP"), {2, 4, 4, 4, 5, 5, 7, 9}, 2.13808994f},
        {"minimum", QStringLiteral("G|g,GROUP:MIN"), {M, 5, 7}, 5},
        {"maximum", QStringLiteral("G|g,GROUP:MAX"), {-3, M, -8}, -3},
        {"SUM word", QStringLiteral("G|g,GROUP:SUM"), {1, 2, 3.5f}, 6.5f},
        {"no GROUP item sums", QStringLiteral("G|g"), {1, 2}, 3},
        {"empty GROUP word sums", QStringLiteral("G|g,GROUP:"), {1, 2}, 3},
        {"last GROUP item counts", QStringLiteral("G|g,GROUP:MAX,GROUP:MIN"), {1, 2}, 1},
        {"constant is the next item only", QStringLiteral("G|g,GROUP:CONST,2,5"), {1, M}, 2},
        {"constant with all children missing", QStringLiteral("G|g,GROUP:CONST,2,5"), {M, M}, M},
        {"sum with all children missing", QStringLiteral("G|g,GROUP:SUM"), {M, M}, M},
        {"mean with all children missing", QStringLiteral("G|g,GROUP:AVER"), {M}, M},
        {"formula over child names", QStringLiteral("G|g,GROUP:CALC,c0*2+MAX(c1,c2)"), {1.5f, 4, 3}, 7},
        {"negative child raised to a power", QStringLiteral("G|g,GROUP:CALC,c0^2"), {-5}, 25},
        {"negative child subtracted", QStringLiteral("G|g,GROUP:CALC,c1-c0"), {-2, 1}, 3},
        {"formula with a missing child", QStringLiteral("G|g,GROUP:CALC,c0+c1"), {1, M}, M},
        {"formula that does not compile", QStringLiteral("G|g,GROUP:CALC,c0+"), {1, 2}, M},
        {"formula that faults", QStringLiteral("G|g,GROUP:CALC,c0/c1"), {1, 0}, M},
        {"formula nested thousands deep",
            QStringLiteral("G|g,GROUP:CALC,") + QStringLiteral("SIN(").repeated(15000) + QStringLiteral("c0")
                + QStringLiteral(")").repeated(15000),
            {1}, M},
        {"special function over children", QStringLiteral("G|g,GROUP:CALC,@Устойчивость по Screen2(c0_c1_c2)"),
            {3, 0.5f, 0.2f}, 2},
        {"current field without a value line", QStringLiteral("G|g,GROUP:FORM,c0+Текущее поле"), {1, 2}, M},
    };
    for (const RuleCase& c : cases) {
        TTab table;
        groupWithChildren(table, c.groupLine, c.children);
        Summarize(table, kRussian);
        const float value = table.GetCell(at({0}));
        if (isMissing(c.expected)) {
            EXPECT_TRUE(isMissing(value)) << c.name << ": " << value;
        } else {
            EXPECT_NEAR(value, c.expected, 1e-5 * std::max(1.0f, std::fabs(c.expected))) << c.name;
        }
        for (size_t k = 0; k < c.children.size(); ++k)
            EXPECT_EQ(table.GetCell(at({static_cast<int>(k) + 1})), c.children[k]) << c.name << ": leaves never change";
    }
}

TEST(Summarize, CurrentFieldFormulaReadsTheCurrentValueLine)
{
    TTab table;
    groupWithChildren(table, QStringLiteral("G|g,GROUP:FORM,c0*10+Текущее поле"), {2, 7});
    Summarize(table, kRussian, 2); // value line 2 is c1
    EXPECT_EQ(table.GetCell(at({0})), 27);
}

TEST(Summarize, ChildTenIsReachedByTheMarkerOfChildOne)
{
    // "#10" is replaced while child 1 is written in, as "#1" followed by "0".
    std::vector<float> values(11, 1);
    values[1] = 7;
    values[10] = 3;
    TTab table;
    groupWithChildren(table, QStringLiteral("G|g,GROUP:CALC,c10"), values);
    Summarize(table, kRussian);
    EXPECT_EQ(table.GetCell(at({0})), 70);
}

TEST(Summarize, GroupsOfGroupsAndGroupsOnTwoAxes)
{
    std::array<QStringList, kAxisCount> lists;
    lists[0] = makeList(QStringLiteral("h"), {QStringLiteral("All|g,GROUP:SUM"), QStringLiteral("\tNorth|g,GROUP:AVER"),
                                                  QStringLiteral("\t\ta|l"), QStringLiteral("\t\tb|l"),
                                                  QStringLiteral("\tSouth|g,GROUP:SUM"), QStringLiteral("\t\tc|l")});
    lists[1] = makeList(QStringLiteral("h"),
        {QStringLiteral("Max|g,GROUP:MAX"), QStringLiteral("\tx|l"), QStringLiteral("\ty|l")});
    TTab table;
    shapeTable(table, lists);
    // positions on axis 0: All 0, North 1, a 2, b 3, South 4, c 5; axis 1: Max 0, x 1, y 2
    const float x[] = {2, 4, 10};
    const float y[] = {6, 1, 1};
    for (int i = 0; i < 3; ++i) {
        const int leaf = i == 2 ? 5 : 2 + i;
        table.SetCell(at({leaf, 1}), x[i]);
        table.SetCell(at({leaf, 2}), y[i]);
    }
    Summarize(table, kRussian);
    EXPECT_EQ(table.GetCell(at({1, 1})), 3);  // North at x: mean of 2, 4
    EXPECT_EQ(table.GetCell(at({0, 1})), 13); // All at x: 3 + 10
    EXPECT_EQ(table.GetCell(at({0, 2})), 4.5f);
    EXPECT_EQ(table.GetCell(at({2, 0})), 6);  // a: max of 2, 6
    // All at Max: axis 0 comes last and aggregates the maxima: North mean(6, 4) + South 10.
    EXPECT_EQ(table.GetCell(at({1, 0})), 5);
    EXPECT_EQ(table.GetCell(at({0, 0})), 15);
}

TEST(Summarize, APositionWhoseLastLineHasNoChildrenIsLeftAlone)
{
    std::array<QStringList, kAxisCount> lists;
    lists[0] = makeList(QStringLiteral("h"), {QStringLiteral("G|g,GROUP:SUM"), QStringLiteral("\ta|l"),
                                                  QStringLiteral("\tb|l"), QStringLiteral("G|g,GROUP:SUM")});
    TTab table;
    shapeTable(table, lists);
    table.SetCell(at({0}), 42);
    table.SetCell(at({1}), 1);
    table.SetCell(at({2}), 2);
    Summarize(table, kRussian);
    EXPECT_EQ(table.GetCell(at({0})), 42);
}

TEST(Summarize, IndividualAxisRulesReplaceTheGroupRule)
{
    std::array<QStringList, kAxisCount> lists;
    lists[0] = makeList(QStringLiteral("h"), {QStringLiteral("G|g,GROUP:SUM"), QStringLiteral("\ta|l"),
                                                  QStringLiteral("\tb|l")});
    lists[1] = makeList(QStringLiteral("h"), {QStringLiteral("plain|l"), QStringLiteral("mean|AXIS:AVER")});
    lists[2] = makeList(QStringLiteral("h"), {QStringLiteral("p|l"), QStringLiteral("top|AXIS:MAX")});
    TTab table;
    shapeTable(table, lists);
    for (int k1 = 0; k1 < 2; ++k1)
        for (int k2 = 0; k2 < 2; ++k2) {
            table.SetCell(at({1, k1, k2}), 2);
            table.SetCell(at({2, k1, k2}), 6);
        }
    Summarize(table, kRussian);
    EXPECT_EQ(table.GetCell(at({0, 0, 0})), 8);
    EXPECT_EQ(table.GetCell(at({0, 1, 0})), 4);
    EXPECT_EQ(table.GetCell(at({0, 0, 1})), 6);
    EXPECT_EQ(table.GetCell(at({0, 1, 1})), 6); // the highest axis with a rule wins
}

TEST(Summarize, StoppingErrorsKeepTheCellsComputedBefore)
{
    struct StopCase {
        const char* name;
        QString rule;
        std::vector<float> children;
        bool floatingPoint;
    };
    const std::vector<StopCase> cases = {
        {"constant that is not a number", QStringLiteral("GROUP:CONST,abc"), {1}, false},
        {"position marker without a digit", QStringLiteral("GROUP:CALC,c0+###x"), {1}, false},
        {"fault in a special function", QStringLiteral("GROUP:CALC,@Устойчивость по ветру(c0_c1_c2_1_0)"), {1, 0, 2},
            true},
        {"special function overflowing", QStringLiteral("GROUP:CALC,@ОНД-Скорость(c0_c1_c2_c3)"), {1, 1, 1e30f, 1e30f},
            true},
    };
    for (const StopCase& c : cases) {
        // Position order: Second (computed first, being last), then First.
        QStringList lines{QStringLiteral("First|g,") + c.rule};
        for (size_t k = 0; k < c.children.size(); ++k)
            lines.append(QStringLiteral("\tc%1|l").arg(k));
        lines.append(QStringLiteral("Second|g,GROUP:SUM"));
        lines.append(QStringLiteral("\tz|l"));
        std::array<QStringList, kAxisCount> lists;
        lists[0] = makeList(QStringLiteral("h"), lines);
        TTab table;
        shapeTable(table, lists);
        for (size_t k = 0; k < c.children.size(); ++k)
            table.SetCell(at({static_cast<int>(k) + 1}), c.children[k]);
        const int second = static_cast<int>(c.children.size()) + 1;
        table.SetCell(at({second + 1}), 9);
        if (c.floatingPoint) {
            EXPECT_THROW(Summarize(table, kRussian), EFloatingPointError) << c.name;
        } else {
            EXPECT_THROW(Summarize(table, kRussian), EConvertError) << c.name;
        }
        EXPECT_EQ(table.GetCell(at({second})), 9) << c.name;
        EXPECT_TRUE(isMissing(table.GetCell(at({0})))) << c.name;
    }
}

TEST(Summarize, PositionMarkersTakeThePositionText)
{
    std::array<QStringList, kAxisCount> lists;
    lists[0] = makeList(QStringLiteral("h"), {QStringLiteral("G|g,GROUP:CALC,c0*###1"), QStringLiteral("\tc0|l")});
    lists[1] = makeList(QStringLiteral("h"), {QStringLiteral("3"), QStringLiteral("###1")});
    TTab table;
    shapeTable(table, lists);
    table.SetCell(at({1, 0}), 2);
    table.SetCell(at({1, 1}), 2);
    Summarize(table, kRussian);
    EXPECT_EQ(table.GetCell(at({0, 0})), 6);
    // A position text holding a marker is inserted once, not expanded for ever.
    EXPECT_TRUE(isMissing(table.GetCell(at({0, 1}))));
}

// The run-by-run computation must give what the cell-by-cell one gives.
TEST(Summarize, FastPathMatchesTheCellByCellComputation)
{
    std::array<QStringList, kAxisCount> lists;
    const char* rules[] = {"SUM", "AVER", "MIN", "MAX"};
    for (int axis : {0, 2}) {
        QStringList lines;
        for (int g = 0; g < 4; ++g) {
            lines.append(QStringLiteral("G%1|g,GROUP:%2").arg(g).arg(QLatin1String(rules[(g + axis) % 4])));
            for (int leaf = 0; leaf < 3 + g; ++leaf)
                lines.append(QStringLiteral("\tL%1_%2|l").arg(g).arg(leaf));
        }
        // A child that repeats an earlier position lies before the group's first child:
        // the shifted read leaves it out.
        lines.append(QStringLiteral("\tL0_0|l"));
        lists[axis] = makeList(QStringLiteral("h"), QStringList{QStringLiteral("Top|g,GROUP:AVER")} + [&] {
            QStringList indented;
            for (const QString& line : lines)
                indented.append(u'\t' + line);
            return indented;
        }());
    }
    lists[1] = makeList(QStringLiteral("h"), {QStringLiteral("u|l"), QStringLiteral("v|l"), QStringLiteral("w|l")});
    TTab fast;
    TTab slow;
    shapeTable(fast, lists);
    shapeTable(slow, lists);
    std::mt19937 random(7);
    for (std::int64_t o = 0; o < fast.FCellCount; ++o) {
        const float value = random() % 5 == 0 ? kMissing : static_cast<float>(random() % 1000) / 8;
        fast.setCellAt(o, value);
        slow.setCellAt(o, value);
    }
    // A difference from a missing background table reads the plain cell, but takes the cell-by-cell way.
    slow.FCompareMode = 1;
    Summarize(fast, kRussian);
    Summarize(slow, kRussian);
    for (std::int64_t o = 0; o < fast.FCellCount; ++o)
        ASSERT_EQ(fast.cellAt(o), slow.cellAt(o)) << "offset " << o;
}

struct ParseCase {
    QString line;
    QStringList children;
    QString rule;
};

TEST(ParseGroupRule, NormalisesTheRuleOfAGroupLine)
{
    const QStringList ab{QStringLiteral("\t\ta|l"), QStringLiteral("\t\tb|l")};
    const std::vector<ParseCase> cases = {
        {QStringLiteral("\tG|g,GROUP:AVER"), ab, QStringLiteral("AVER")},
        {QStringLiteral("G|g,GROUP:SUM"), ab, QStringLiteral("SUMMARY")},
        {QStringLiteral("G|g"), ab, QString()},
        {QStringLiteral("G"), ab, QString()},
        {QStringLiteral("G|GROUP:MAX"), ab, QString()}, // the first item is the kind mark
        {QStringLiteral("G|g,GROUP:MAXIMUM"), ab, QStringLiteral("MAX")},
        {QStringLiteral("G|g,GROUP:AVERMIN"), ab, QStringLiteral("AVER")},
        {QStringLiteral("G|g,GROUP:MAX,x,GROUP:LOGSUM"), ab, QStringLiteral("LOGSUM")},
        {QStringLiteral("G|g,GROUP:CONST,12,5"), ab, QStringLiteral("CONST12")},
        {QStringLiteral("G|g,GROUP:CALC,MAX(a,b)*Регион+Среда"), ab, QStringLiteral("CALCMAX(#0,#1)*###1+###9")},
        {QStringLiteral("G|g,GROUP:FORM,a*Текущее поле"), ab, QStringLiteral("FORM#0*##")},
    };
    for (const ParseCase& c : cases)
        EXPECT_EQ(ParseGroupRule(c.line, c.children), c.rule) << c.line.toStdString();
}

TEST(EvaluateFormula, EvaluatorOrSpecialFunction)
{
    SummaryState state(kRussian);
    const std::vector<std::pair<QString, float>> cases = {
        {QStringLiteral("2+2*2"), 6},
        {QStringLiteral("1/0"), kMissing},
        {QStringLiteral("(1"), kMissing},
        {QStringLiteral("1E300*1E300"), kMissing},
        {QStringLiteral("1E300"), kMissing}, // beyond single precision
        {QStringLiteral("@Инверсия-Nozaki(1_2_3_4_5)"), kMissing},
        {QStringLiteral("@Нет такой(1)"), kMissing},
        {QStringLiteral("@Устойчивость по Screen2(12)"), 4},
        {QStringLiteral("@Устойчивость по Screen2(1_0,5_0,2)"), 1},
        {QStringLiteral("@Устойчивость по Screen2(1_0,5_0,2)x"), 4}, // ")" not last: no arguments
    };
    for (const auto& [text, expected] : cases)
        EXPECT_EQ(EvaluateFormula(text, state), expected) << text.toStdString();
}

} // namespace

namespace {

TEST(Aggregate, ShiftedReadsKeepToTheFirstAndLastChildPlainReadsDoNot)
{
    std::array<QStringList, kAxisCount> lists;
    lists[1] = makeList(QStringLiteral("h"), {QStringLiteral("p0"), QStringLiteral("p1"), QStringLiteral("p2"),
                                                  QStringLiteral("p3")});
    TTab table;
    shapeTable(table, lists);
    for (int p = 0; p < 4; ++p)
        table.SetCell(at({0, p}), 1 + p);
    const std::vector<int> children{2, 0, 3};
    CoordIndex index{};
    index[1] = -1;
    SummaryState state(kRussian);
    EXPECT_EQ(Aggregate(table, children, index, false, QStringLiteral("SUMMARY"), state), 3 + 4);
    EXPECT_EQ(state.first[1], 2);
    EXPECT_EQ(state.last[1], 3);
    EXPECT_EQ(Aggregate(table, children, index, true, QStringLiteral("SUMMARY"), state), 3 + 1 + 4);
    // A shift moves every child read along the axis, but not past the last child: child 1 reads
    // position 2, child 2 would read position 3 and is missing.
    table.FIndex[1].FShift = 1;
    EXPECT_EQ(Aggregate(table, {1, 2}, index, false, QStringLiteral("AVER"), state), 3);
    EXPECT_EQ(Aggregate(table, {1, 2}, index, true, QStringLiteral("AVER"), state), (2 + 3) / 2.0f);
    EXPECT_TRUE(isMissing(Aggregate(table, {}, index, false, QStringLiteral("SUMMARY"), state)));
}

} // namespace

namespace {

TEST(Summarize, ChildReadsGoThroughTheComparisonView)
{
    TTab table;
    groupWithChildren(table, QStringLiteral("G|g,GROUP:SUM"), {5, 7, kMissing});
    TTab background;
    groupWithChildren(background, QStringLiteral("G|g,GROUP:SUM"), {1, 2, 3});
    table.FBackground = &background;
    table.FCompareMode = 1;
    Summarize(table, kRussian);
    EXPECT_EQ(table.GetCell(at({0})), (5 - 1) + (7 - 2));
    table.FCompareMode = 2;
    Summarize(table, kRussian);
    EXPECT_EQ(table.GetCell(at({0})), 5.0f / 1 + 7.0f / 2);
}

} // namespace
