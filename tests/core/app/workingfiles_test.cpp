// Working files of the blocks' coordinate lists: names, loading, the reference line, primary
// lists built from a summary structure, reference values from databases and the plug-ins'
// replacement of a list.
#include "core/app/workingfiles.h"
#include "core/db/dberrors.h"
#include "core/db/session.h"
#include "core/platform/errors.h"
#include "core/tables/compare.h"
#include "workspacefixture.h"

#include <QDateTime>
#include <QFile>
#include <shapefil.h>

using namespace verola;
using namespace verola::test;

namespace {

const float M = kMissing;

std::vector<int> mapOf(const TTab& table, int axis)
{
    const auto& positions = table.FMap[axis].FLinePos;
    return std::vector<int>(positions.begin(), positions.end());
}

// A dBase reference table of a text key and a numeric value, written with shapelib.
void writeReferenceDbf(const QString& path, const char* keyField, const char* valueField,
    const std::vector<std::pair<const char*, double>>& rows)
{
    DBFHandle dbf = DBFCreateEx(QFile::encodeName(path).constData(), "LDID/201");
    ASSERT_NE(dbf, nullptr);
    DBFAddField(dbf, keyField, FTString, 20, 0);
    DBFAddField(dbf, valueField, FTDouble, 12, 4);
    for (int row = 0; row < static_cast<int>(rows.size()); ++row) {
        DBFWriteStringAttribute(dbf, row, 0, rows[row].first);
        DBFWriteDoubleAttribute(dbf, row, 1, rows[row].second);
    }
    DBFClose(dbf);
}

} // namespace

TEST(WorkingFileNames, CarryTheBlockAndTheAxis)
{
    const QString dir = QStringLiteral("/data");
    const struct {
        QString name;
        QString expected;
    } cases[] = {
        {workingListFileName(dir, u'd', 2, 11), QStringLiteral("/data/temp.d2B")},
        {workingListFileName(dir, u'c', 2, 11), QStringLiteral("/data/temp.c2B")},
        {workingListFileName(dir, u'o', 2, 11), QStringLiteral("/data/temp.o2B")},
        {workingListFileName(dir, u'o', 0, 0), QStringLiteral("/data/temp.o00")},
        {workingListFileName(QStringLiteral("/data/"), u'd', 1, 10), QStringLiteral("/data/temp.d1A")},
        {totalSourceListFileName(dir, 2, 11), QStringLiteral("/data/Total.o211")},
        {totalSourceListFileName(dir, 0, 10), QStringLiteral("/data/Total.o010")},
        {referenceFileName(dir), QStringLiteral("/data/Total.ref")},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.name, c.expected);
}

TEST_F(WorkspaceTest, PrimaryDataListIsReadAndTheSummaryMapFollowsIt)
{
    TCompPanel& conc = block(kConcBlock);
    setList(conc.Extr->Table(), 0, {"Вещества", "\tГруппа|T,GROUP:SUM", "\t\tSO2|T", "\t\tNO2|T"});
    const QStringList list{"Вещества", "\tNO2|D", "\tSO2|D", "\tПыль|D"};
    writeTextLines(workingListFileName(data.path(), u'd', kConcBlock, 0), list);

    LoadPrimaryDataList(workspace, 0, conc, data.path());

    TTab& primary = conc.Rule->Table();
    EXPECT_EQ(primary.FLists[0], list);
    EXPECT_EQ(primary.FDims[0], 3);
    EXPECT_EQ(primary.GetCell(at({2})), M);
    EXPECT_EQ(mapOf(conc.Extr->Table(), 0), (std::vector<int>{kAbsentPosition, 1, 0}));
}

TEST_F(WorkspaceTest, ListFileNameIgnoresLetterCaseAndTheLastWrittenWins)
{
    // Lists named the way configuration files are (lower-case hexadecimal) load too; of two
    // names that differ only in case, the file written last is read.
    const QDateTime earlier = QDateTime::currentDateTime().addSecs(-60);
    const QDateTime later = QDateTime::currentDateTime();
    const struct {
        const char* name;
        std::vector<std::pair<const char*, QDateTime>> files; // each file holds its own name as a value
        const char* expected;
    } cases[] = {
        {"other case only", {{"temp.d0a", later}}, "temp.d0a"},
        {"other case written later", {{"temp.d0A", earlier}, {"temp.d0a", later}}, "temp.d0a"},
        {"exact name written later", {{"temp.d0A", later}, {"TEMP.D0A", earlier}}, "temp.d0A"},
    };
    TCompPanel& pol = block(kPolBlock);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempFolder folder;
        for (const auto& [name, time] : c.files) {
            const QString path = folder.file(QString::fromLatin1(name));
            writeTextLines(path, {"Метео", QStringLiteral("\t%1|D").arg(QString::fromLatin1(name))});
            QFile file(path);
            ASSERT_TRUE(file.open(QIODevice::ReadWrite));
            ASSERT_TRUE(file.setFileTime(time, QFileDevice::FileModificationTime));
        }
        LoadPrimaryDataList(workspace, 10, pol, folder.path());
        EXPECT_EQ(pol.Rule->Table().FLists[10],
            (QStringList{"Метео", QStringLiteral("\t%1|D").arg(QString::fromLatin1(c.expected))}));
    }
}

TEST_F(WorkspaceTest, MissingListFileRaisesAndLeavesTheTable)
{
    TCompPanel& des = block(kDesBlock);
    const QStringList before = des.Rule->Table().FLists[4];
    EXPECT_THROW(LoadPrimaryDataList(workspace, 4, des, data.path()), EInOutError);
    EXPECT_THROW(LoadPrimaryCalcList(workspace, 4, des, data.path()), EInOutError);
    EXPECT_THROW(LoadSummaryLists(workspace, 4, des, data.path()), EInOutError);
    EXPECT_EQ(des.Rule->Table().FLists[4], before);
    EXPECT_TRUE(IsWholeSet(des.Calc->Table().FLists[4]));
    EXPECT_TRUE(IsWholeSet(des.Extr->Table().FLists[4]));
}

TEST_F(WorkspaceTest, ListTooBigForTheTableRaisesAndLeavesTheTable)
{
    TCompPanel& conc = block(kConcBlock);
    TTab& primary = conc.Rule->Table();
    QStringList regions{"Регионы"};
    for (int i = 0; i < 10000; ++i)
        regions.append(QStringLiteral("\tР%1|D").arg(i));
    setList(primary, 1, regions);
    primary.SetCell(at({0, 5}), 3);
    QStringList substances{"Вещества"};
    for (int i = 0; i < 10000; ++i)
        substances.append(QStringLiteral("\tВ%1|D").arg(i));
    writeTextLines(workingListFileName(data.path(), u'd', kConcBlock, 0), substances);

    EXPECT_THROW(LoadPrimaryDataList(workspace, 0, conc, data.path()), ELimitError);
    EXPECT_TRUE(IsWholeSet(primary.FLists[0]));
    EXPECT_EQ(primary.FIndex[0].FGroups, 1);
    EXPECT_EQ(primary.FDims[0], 1);
    EXPECT_EQ(primary.GetCell(at({0, 5})), 3.0f);
}

TEST_F(WorkspaceTest, PrimaryCalcListMapsTowardsTheBlocksOwnUpstreamSummary)
{
    TCompPanel& pol = block(kPolBlock);
    TCompPanel& conc = block(kConcBlock);
    setList(pol.Extr->Table(), 0, {"Вещества", "\tCO|T", "\tSO2|T", "\tNO2|T"});
    setList(conc.Est->Table(), 0, {"Вещества", "\tNO2|T", "\tPb|T"});
    writeTextLines(workingListFileName(data.path(), u'c', kConcBlock, 0), {"Вещества", "\tNO2|C", "\tSO2|C"});
    // Another block is active: the map still follows the emission block, the concentration block's upstream.
    workspace.activate(&block(kDeathBlock));

    LoadPrimaryCalcList(workspace, 0, conc, data.path());

    EXPECT_EQ(conc.Calc->Table().FDims[0], 2);
    EXPECT_EQ(mapOf(conc.Est->Table(), 0), (std::vector<int>{0, kAbsentPosition}));
    EXPECT_EQ(mapOf(conc.Calc->Table(), 0), (std::vector<int>{2, 1}));
}

TEST_F(WorkspaceTest, EmissionBlockHasNoUpstreamToMapTowards)
{
    TCompPanel& pol = block(kPolBlock);
    writeTextLines(workingListFileName(data.path(), u'c', kPolBlock, 2), {"Время", "\t1990|C", "\t1991|C"});
    LoadPrimaryCalcList(workspace, 2, pol, data.path());
    EXPECT_EQ(pol.Calc->Table().FDims[2], 2);
    EXPECT_EQ(pol.Calc->Table().FMap[2].FCount, 0);
    EXPECT_EQ(mapOf(pol.Est->Table(), 2), (std::vector<int>{kAbsentPosition}));
}

TEST_F(WorkspaceTest, SummaryListsDropTheReferenceLineTheBlockTableKeeps)
{
    TCompPanel& conc = block(kConcBlock);
    TTab& blockTable = conc.BlockTable();
    setList(blockTable, 0, {"Вещества", "\tA|C", "\tB|C"});
    writeTextLines(referenceFileName(data.path()), {"СО|subs.dbf,NAME,VAL"});
    const QStringList values{"Вещества", "\tNO2|T,,NO2", "\tSO2|T,,SO2"};
    writeTextLines(workingListFileName(data.path(), u'o', kConcBlock, 0), values + QStringList{"\tСО|own.dbf,K,V"});

    LoadSummaryLists(workspace, 0, conc, data.path());
    LoadBlockTableList(workspace, 0, conc, data.path());

    EXPECT_EQ(conc.Extr->Table().FLists[0], values);
    EXPECT_EQ(conc.Est->Table().FLists[0], values);
    EXPECT_EQ(conc.Extr->Table().FDims[0], 2);
    EXPECT_EQ(conc.Est->Table().FDims[0], 2);
    EXPECT_EQ(blockTable.FLists[0], values + QStringList{"\tСО|own.dbf,K,V"});
    EXPECT_EQ(blockTable.FDims[0], 3);
}

TEST_F(WorkspaceTest, BlockTableListGetsTheReferenceLineOfItsAxis)
{
    TCompPanel& risk = block(kRiskBlock);
    TTab& table = risk.BlockTable();
    setList(table, 1, {"Регионы", "\tМосква|C", "\tОбласть|C"});
    setList(table, 3, {"Группы", "\tм|C", "\tж|C", "СО|sex.dbf,G,V"});
    setList(table, 5, {"Причины", "\ta|C", "\tb|C"});
    setList(table, 6, {"Когорты", "\tвсе|C"});
    QStringList reference;
    for (int a = 0; a < kAxisCount; ++a)
        reference.append(QStringLiteral("СО|ref%1.dbf,KEY%1,VAL%1").arg(a));
    writeTextLines(referenceFileName(data.path()), reference);
    const QStringList regions{"Регионы", "\tМосква|T,,77", "\tТверь|T,,69", "\tОбласть|T,,50"};
    writeTextLines(workingListFileName(data.path(), u'o', kRiskBlock, 1), regions);
    const QStringList cohorts{"Когорты", "\tдети|T", "\tвзрослые|T"};
    writeTextLines(workingListFileName(data.path(), u'o', kRiskBlock, 6), cohorts);

    LoadBlockTableList(workspace, 1, risk, data.path());

    EXPECT_EQ(table.FLists[1], regions + QStringList{"СО|ref1.dbf,KEY1,VAL1"});
    // Other structured axes keep a reference line last: bare where it was missing.
    EXPECT_EQ(table.FLists[3].last(), QStringLiteral("СО|sex.dbf,G,V"));
    EXPECT_EQ(table.FLists[5].last(), QStringLiteral("СО|"));
    EXPECT_EQ(table.positionCounts(), (CoordIndex{0, 4, 0, 3, 0, 3, 1, 0, 0, 0, 0, 0}));
    EXPECT_EQ(table.FDims, table.positionCounts());

    // An axis of one position before the reading gets no reference line.
    LoadBlockTableList(workspace, 6, risk, data.path());
    EXPECT_EQ(table.FLists[6], cohorts);
    EXPECT_EQ(table.FDims[6], 2);
}

TEST_F(WorkspaceTest, BlockTableListNeedsTheReferenceFile)
{
    TCompPanel& risk = block(kRiskBlock);
    writeTextLines(workingListFileName(data.path(), u'o', kRiskBlock, 1), {"Регионы", "\tМосква|T"});
    EXPECT_THROW(LoadBlockTableList(workspace, 1, risk, data.path()), EInOutError);
    EXPECT_TRUE(risk.BlockTable().FLists[1].isEmpty());
}

struct StructureCase {
    const char* name;
    QStringList structure;
    QStringList expectedData; // mark D; the calculation list has C in its place
};

TEST_F(WorkspaceTest, PrimaryListsAreTheLeavesOfTheSummaryStructure)
{
    const std::vector<StructureCase> cases = {
        {"one group", {"root", "\tGroup|T,GROUP:SUM", "\t\ta1|T", "\t\ta2|T"}, {"root", "\ta1|D", "\ta2|D"}},
        {"nested groups and attributes",
            {"root", "\tG1|T,GROUP:SUM", "\t\tG2|T,GROUP:AVER", "\t\t\tx|T,,KX", "\t\ty|S", "\tz|T"},
            {"root", "\tx|D,,KX", "\ty|D", "\tz|D"}},
        {"a line without attributes stays unmarked", {"root", "\tplain", "\tq|"}, {"root", "\tplain", "\tq|D"}},
        {"the reference line is no leaf", {"root", "\tG|T,GROUP:SUM", "\t\ta|T", "\tСО|subs.dbf,K,V"},
            {"root", "\ta|D"}},
    };
    TCompPanel& des = block(kDesBlock);
    for (const StructureCase& c : cases) {
        SCOPED_TRACE(c.name);
        writeTextLines(workingListFileName(data.path(), u'o', kDesBlock, 4), c.structure);
        LoadSummaryLists(workspace, 4, des, data.path());

        BuildPrimaryFromSummary(workspace, 4, c.structure, des, true);
        BuildPrimaryFromSummary(workspace, 4, c.structure, des, false);

        QStringList expectedCalc = c.expectedData;
        for (qsizetype i = 1; i < expectedCalc.size(); ++i)
            expectedCalc[i].replace(QStringLiteral("|D"), QStringLiteral("|C"));
        EXPECT_EQ(des.Rule->Table().FLists[4], c.expectedData);
        EXPECT_EQ(des.Calc->Table().FLists[4], expectedCalc);
        EXPECT_EQ(des.Rule->Table().FDims[4], c.expectedData.size() - 1);
        EXPECT_EQ(des.Calc->Table().FDims[4], c.expectedData.size() - 1);
    }
}

TEST_F(WorkspaceTest, EmptyStructureGivesTheWholeSet)
{
    TCompPanel& des = block(kDesBlock);
    BuildPrimaryFromSummary(workspace, 4, {}, des, true);
    EXPECT_EQ(des.Rule->Table().FLists[4], (QStringList{"Весь набор", "\tВесь набор|D"}));
    EXPECT_EQ(des.Rule->Table().FDims[4], 1);
}

class ReferenceValuesTest : public WorkspaceTest {
protected:
    ReferenceValuesTest()
    {
        for (int axis = 0; axis < kAxisCount; ++axis) {
            table.FLists[axis].clear();
            AddWholeSet(table.FLists[axis], QStringLiteral("C"));
            table.BuildIndex(axis);
        }
        // Axis 0 looks its keys up in subs.dbf with "RU-" removed; the "*" record answers for the rest.
        writeReferenceDbf(data.file(QStringLiteral("subs.dbf")), "NAME", "VAL",
            {{"NO2", 0.5}, {"SO2", 2}, {"*", 9}});
        setList(table, 0,
            {"Вещества", "\tДиоксид азота|T,,no2", "\tСера|T,,RU-SO2", "\tПыль|T,,DUST", "\tБез ключа|T",
                "СО|subs.dbf,NAME-\"RU-\",VAL"});
        // Axis 3 has no "*" record.
        writeReferenceDbf(data.file(QStringLiteral("groups.dbf")), "CODE", "R", {{"A1", 1.25}});
        setList(table, 3, {"Группы", "\tдети|T,,A1", "\tвзрослые|T,,B9", "СО|groups.dbf,CODE,R"});
        for (int i = 0; i < 5; ++i)
            for (int j = 0; j < 3; ++j)
                table.SetCell(at({i, 0, 0, j}), 42);
    }

    float onAxis0(int position) { return table.GetCell(at({position, 0, 0, 2})); }
    float onAxis3(int position) { return table.GetCell(at({4, 0, 0, position})); }

    ScopedSystemDirectory system{config.path()};
    TSession session{FormatSettings::russian(), QStringLiteral("Aliases.ini")};
    TTab& table = block(kConcBlock).BlockTable();
};

TEST_F(ReferenceValuesTest, EachPositionTakesTheValueOfItsKey)
{
    FillReferenceValues(workspace, table, session);
    EXPECT_FLOAT_EQ(onAxis0(0), 0.5f);
    EXPECT_FLOAT_EQ(onAxis0(1), 2.0f);     // key with the removal text taken out
    EXPECT_FLOAT_EQ(onAxis0(2), 9.0f);     // no record of its own: the "*" record
    EXPECT_EQ(onAxis0(3), 42.0f);          // no key: left alone
    EXPECT_FLOAT_EQ(onAxis3(0), 1.25f);
    EXPECT_EQ(onAxis3(1), M);              // no record at all
    EXPECT_EQ(table.GetCell(at({0, 0, 0, 0})), 42.0f); // only the reference margin is written
}

TEST_F(ReferenceValuesTest, ConfigurationFolderComesFirst)
{
    writeReferenceDbf(config.file(QStringLiteral("subs.dbf")), "NAME", "VAL", {{"NO2", 7}});
    FillReferenceValues(workspace, table, session);
    EXPECT_FLOAT_EQ(onAxis0(0), 7.0f);
    EXPECT_EQ(onAxis0(1), M);
    EXPECT_FLOAT_EQ(onAxis3(0), 1.25f); // groups.dbf only in the data folder
}

TEST_F(ReferenceValuesTest, DatabaseInNeitherFolderLeavesTheAxis)
{
    QFile::remove(data.file(QStringLiteral("subs.dbf")));
    FillReferenceValues(workspace, table, session);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(onAxis0(i), 42.0f);
    EXPECT_FLOAT_EQ(onAxis3(0), 1.25f);
}

TEST_F(ReferenceValuesTest, FieldTheDatabaseLacksRaises)
{
    table.FLists[3].last() = QStringLiteral("СО|groups.dbf,CODE,RATE");
    EXPECT_THROW(FillReferenceValues(workspace, table, session), EDatabaseError);
}

class PluginListTest : public WorkspaceTest {
protected:
    // Two substances over two years, each cell 10 × substance + year.
    void fill(TTab& table, const QString& mark)
    {
        setList(table, 0, {"Вещества", "\tNO2|" + mark, "\tSO2|" + mark});
        setList(table, 2, {"Время", "\t1990|" + mark, "\t1991|" + mark});
        for (int s = 0; s < 2; ++s)
            for (int y = 0; y < 2; ++y)
                table.SetCell(at({s, 0, y}), static_cast<float>(10 * (s + 1) + y));
    }
};

TEST_F(PluginListTest, DataListKeepsTheValuesOfNamesThatStay)
{
    TCompPanel& conc = block(kConcBlock);
    TTab& primary = conc.Rule->Table();
    fill(primary, QStringLiteral("D"));
    primary.FCompareMode = 1; // a difference view must not reach the stored cells
    const QStringList lines{"Вещества", "\tSO2|D", "\tCO|D", "\tNO2|D"};

    TTab* changed = SetListFromPlugin(workspace, 0, lines, QStringLiteral("Extr"), conc);

    ASSERT_EQ(changed, &primary);
    EXPECT_EQ(readTextLines(workingListFileName(data.path(), u'd', kConcBlock, 0)), lines);
    EXPECT_EQ(primary.FLists[0], lines);
    EXPECT_EQ(primary.FCompareMode, 1);
    primary.FCompareMode = 0;
    const float expected[3][2] = {{20, 21}, {M, M}, {10, 11}};
    for (int s = 0; s < 3; ++s)
        for (int y = 0; y < 2; ++y)
            EXPECT_EQ(primary.GetCell(at({s, 0, y})), expected[s][y]) << s << ' ' << y;
}

TEST_F(PluginListTest, CalculationListAlsoMapsTowardsTheUpstreamSummary)
{
    TCompPanel& pol = block(kPolBlock);
    TCompPanel& conc = block(kConcBlock);
    setList(pol.Extr->Table(), 2, {"Время", "\t1991|T", "\t1990|T"});
    TTab& primary = conc.Calc->Table();
    fill(primary, QStringLiteral("C"));
    const QStringList lines{"Время", "\t1991|C", "\t1992|C"};

    TTab* changed = SetListFromPlugin(workspace, 2, lines, QStringLiteral("Est"), conc);

    ASSERT_EQ(changed, &primary);
    EXPECT_EQ(readTextLines(workingListFileName(data.path(), u'c', kConcBlock, 2)), lines);
    EXPECT_EQ(primary.GetCell(at({0, 0, 0})), 11.0f);
    EXPECT_EQ(primary.GetCell(at({1, 0, 0})), 21.0f);
    EXPECT_EQ(primary.GetCell(at({0, 0, 1})), M);
    EXPECT_EQ(mapOf(primary, 2), (std::vector<int>{0, kAbsentPosition}));
    EXPECT_EQ(mapOf(primary, 0), (std::vector<int>{kAbsentPosition, kAbsentPosition}));
}

TEST_F(PluginListTest, OtherKindWordsChangeNothing)
{
    TCompPanel& conc = block(kConcBlock);
    fill(conc.Rule->Table(), QStringLiteral("D"));
    for (const char* word : {"Rule", "Calc", "extr", ""})
        EXPECT_EQ(SetListFromPlugin(workspace, 0, {"X", "\ta|D"}, QString::fromLatin1(word), conc), nullptr);
    EXPECT_EQ(SetListFromPlugin(workspace, 12, {"X", "\ta|D"}, QStringLiteral("Extr"), conc), nullptr);
    EXPECT_EQ(conc.Rule->Table().FLists[0].size(), 3);
    EXPECT_EQ(conc.Rule->Table().GetCell(at({1, 0, 1})), 21.0f);
    EXPECT_FALSE(QFile::exists(workingListFileName(data.path(), u'd', kConcBlock, 0)));
}
