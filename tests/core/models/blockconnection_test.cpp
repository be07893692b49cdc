#include "core/models/blockconnection.h"
#include "core/platform/textfile.h"
#include "core/tables/ttab.h"
#include "testsupport.h"

#include <gtest/gtest.h>

using namespace verola;
using namespace verola::test;

namespace {

using Names = std::vector<std::pair<QString, int>>;

Names namesOf(const TCoordinateNameList& list)
{
    Names names;
    for (const TNamedPosition& entry : list)
        names.emplace_back(entry.name, entry.position);
    return names;
}

TEST(BuiltInConnection, NameListsPerBlockAndForAll)
{
    TBlockConnectForm connection;
    connection.CoordinateNames(kAllBlocks);
    TCoordinateNameList all = connection.CoordinateNameList();
    sortByPositions(all);
    EXPECT_EQ(namesOf(all), (Names{{"Загрязнитель", 0}, {"Территория", 1}, {"Время", 2},
                                {"Половозрастная группа", 3}, {"Диагноз", 4}, {"Экспозиционная группа", 6},
                                {"Источник", 7}, {"Тип риска", 8}}));
    const std::vector<std::pair<int, Names>> cases = {
        {0, {{"Загрязнитель", 0}, {"Территория", 1}, {"Время", 2}, {"Источник", 7}}},
        {1, {{"Загрязнитель", 0}, {"Территория", 1}, {"Время", 2}}},
        {4, {{"Территория", 1}, {"Время", 2}, {"Половозрастная группа", 3}, {"Диагноз", 5}}},
        {5, {}},
        {11, {}},
        {-1, {}},
    };
    for (const auto& [block, names] : cases) {
        connection.CoordinateNames(block);
        EXPECT_EQ(namesOf(connection.CoordinateNameList()), names) << block;
    }
}

TEST(BuiltInConnection, TreeShape)
{
    const auto tree = TBlockConnectForm::builtInTree();
    ASSERT_EQ(tree.size(), 1u);
    EXPECT_EQ(tree[0].text, "Блоки");
    ASSERT_EQ(tree[0].children.size(), 12u);
    for (const TConnectionNode& block : tree[0].children)
        EXPECT_EQ(block.children.size(), 10u) << block.text.toStdString();
    EXPECT_EQ(tree[0].children[11].text, "Технология (охрана здоровья)");
    EXPECT_EQ(tree[0].children[0].children[3].text, "Переменная 3|");
}

TEST(BuiltInConnection, LinksAndLookUps)
{
    const TBlockConnectForm connection;
    struct Case {
        int block;
        int position;
        TBlockCoordinate linked;
    };
    for (const Case& c : std::vector<Case>{{3, 3, {2, 6}}, {4, 5, {3, 4}}, {1, 0, {0, 0}}, {2, 2, {1, 2}},
             {0, 0, {-1, -1}}, {2, 10, {-1, -1}}, {3, 0, {-1, -1}}, {-1, 0, {-1, -1}}, {0, -1, {-1, -1}},
             {12, 0, {-1, -1}}}) {
        SCOPED_TRACE(std::to_string(c.block) + "," + std::to_string(c.position));
        EXPECT_EQ(connection.LinkedCoordinate(c.block, c.position), c.linked);
    }
    EXPECT_EQ(connection.FindCoordinate("Риск", "Тип риска"), (TBlockCoordinate{2, 8}));
    EXPECT_EQ(connection.FindCoordinate("риск", "Тип риска"), TBlockCoordinate{});
    EXPECT_EQ(connection.FindCoordinate("Риск", "Тип"), TBlockCoordinate{});
    EXPECT_EQ(connection.FindCoordinate("", "Время"), TBlockCoordinate{});
}

class ConnectionFileTest : public ::testing::Test {
protected:
    void writeTree(const QStringList& lines) { writeTextLines(folder.file(kConnectionTreeFile), lines); }
    TempFolder folder;
};

TEST_F(ConnectionFileTest, TabsOrBlanksGiveTheDepth)
{
    writeTree({"Корень", "\tA", "\t\tX|", " \tY|A,X", "\tB", "\t Y|b,X", "\t\tZ|A,X", "\tC", "\t\tW|", "Второй корень",
        "\tD"});
    TBlockConnectForm connection(folder.path());
    ASSERT_EQ(connection.tree().size(), 2u);
    const auto& blocks = connection.tree()[0].children;
    ASSERT_EQ(blocks.size(), 3u);
    EXPECT_EQ(blocks[0].children.size(), 2u);
    EXPECT_EQ(blocks[1].children.size(), 2u);
    EXPECT_EQ(connection.LinkedCoordinate(0, 1), (TBlockCoordinate{0, 0}));
    EXPECT_EQ(connection.LinkedCoordinate(1, 1), (TBlockCoordinate{0, 0}));
    // A link names its block with the exact letter case.
    EXPECT_EQ(connection.LinkedCoordinate(1, 0), TBlockCoordinate{});
    // Asking for block 4 of a tree of three gives the last block walked.
    connection.CoordinateNames(4);
    EXPECT_EQ(namesOf(connection.CoordinateNameList()), (Names{{"W", 0}}));
    // Across all blocks a name keeps its first position.
    connection.CoordinateNames(kAllBlocks);
    EXPECT_EQ(namesOf(connection.CoordinateNameList()), (Names{{"X", 0}, {"Y", 1}, {"Z", 1}, {"W", 0}}));
}

// Each node as its depth and text, depth first.
QStringList flattened(const std::vector<TConnectionNode>& nodes, int depth = 0)
{
    QStringList lines;
    for (const TConnectionNode& node : nodes) {
        lines.append(QString::number(depth) + u' ' + node.text);
        lines += flattened(node.children, depth + 1);
    }
    return lines;
}

// Depth counts from the first line: a file whose lines all carry the same extra indent is
// the same tree, and a line shallower than the first ends the reading.
TEST_F(ConnectionFileTest, DepthCountsFromTheFirstLine)
{
    const QStringList lines = {"Корень", "\tA", "\t\tX|", "\t\tY|A,X", "\tB", "\t\tZ|A,X"};
    const QStringList expected = {"0 Корень", "1 A", "2 X|", "2 Y|A,X", "1 B", "2 Z|A,X"};
    for (const QString& extra : {QString(), QStringLiteral("\t"), QStringLiteral("  "), QStringLiteral("\t ")}) {
        QStringList indented;
        for (const QString& line : lines)
            indented.append(extra + line);
        writeTree(indented);
        const TBlockConnectForm connection(folder.path());
        EXPECT_EQ(flattened(connection.tree()), expected) << extra.size();
        EXPECT_EQ(connection.LinkedCoordinate(1, 0), (TBlockCoordinate{0, 0})) << extra.size();
    }
    writeTree({"\tКорень", "\t\tA", "B"});
    EXPECT_EQ(flattened(TBlockConnectForm(folder.path()).tree()), (QStringList{"0 Корень", "1 A"}));
}

TEST_F(ConnectionFileTest, InvalidLineKeepsWhatWasReadBeforeIt)
{
    writeTree({"Корень", "\tA", "\t\tX|", "\t\t\t\tdeep", "\t\tY|"});
    const TBlockConnectForm connection(folder.path());
    ASSERT_EQ(connection.tree().size(), 1u);
    ASSERT_EQ(connection.tree()[0].children.size(), 1u);
    EXPECT_EQ(connection.tree()[0].children[0].children.size(), 1u);
}

TEST_F(ConnectionFileTest, MissingOrEmptyFile)
{
    const TBlockConnectForm missing(folder.path());
    EXPECT_EQ(missing.tree()[0].children.size(), 12u);
    writeTree({});
    TBlockConnectForm empty(folder.path());
    EXPECT_TRUE(empty.tree().empty());
    empty.CoordinateNames(kAllBlocks);
    EXPECT_TRUE(empty.CoordinateNameList().empty());
    EXPECT_EQ(empty.LinkedCoordinate(0, 0), TBlockCoordinate{});
}

TEST(ComparePositions, UnsignedSixteenBitOrder)
{
    const TCoordinateNameList list = {{"a", 3}, {"b", 3}, {"c", 7}, {"d", -1}, {"e", 65536 + 2}};
    EXPECT_EQ(ComparePositions(list, 0, 1), 0);
    EXPECT_EQ(ComparePositions(list, 0, 2), -1);
    EXPECT_EQ(ComparePositions(list, 2, 0), 1);
    EXPECT_EQ(ComparePositions(list, 3, 2), 1);  // -1 is 65535
    EXPECT_EQ(ComparePositions(list, 4, 0), -1); // 65538 is 2
}

TEST(MoveCoordinateList, LinesTakeTheDepthOfTheTargetsLastLine)
{
    TTab table;
    table.FLists[4] = QStringList{"Весь набор", "\tA|1", "\t\tB|2", "\t\t\tC|3"};
    table.FLists[5] = QStringList{"Диагнозы", "\tX|x", "\t\tY|y"};
    MoveCoordinateList(&table, 4, 5);
    EXPECT_EQ(table.FLists[5], (QStringList{"Диагнозы", "\tX|x", "\t\tY|y", "\t\tA|1", "\t\tB|2", "\t\tC|3"}));
    EXPECT_EQ(table.FLists[4], (QStringList{"Весь набор", "\tВесь набор|"}));
}

TEST(MoveCoordinateList, OntoAnEmptyListLinesKeepTheirDepth)
{
    TTab table;
    table.FLists[2] = QStringList{"Годы", "\t1990|01.01.1990", "\tВесь набор|C", "\t\tЯнварь|01.01.1990"};
    MoveCoordinateList(&table, 2, 3);
    EXPECT_EQ(table.FLists[3], (QStringList{"Годы", "\t1990|01.01.1990", "\t\tЯнварь|01.01.1990"}));
    EXPECT_EQ(table.FLists[2], (QStringList{"Весь набор", "\tВесь набор|"}));
    MoveCoordinateList(nullptr, 2, 3);
    MoveCoordinateList(&table, 3, 3);
    EXPECT_EQ(table.FLists[3].size(), 3);
}

} // namespace
