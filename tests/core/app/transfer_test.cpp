// Moving tables between panels and the operations offered to outside callers.
#include "core/app/transfer.h"
#include "workspacefixture.h"

using namespace verola;
using namespace verola::test;

namespace {

const float M = kMissing;

// A table whose axes have the given numbers of lines (0: no list; 2: the whole set).
void shapeLines(TTab& table, const std::array<int, kAxisCount>& lines)
{
    for (int axis = 0; axis < kAxisCount; ++axis) {
        QStringList list;
        if (lines[axis] > 0)
            list.append(QStringLiteral("Header"));
        for (int i = 1; i < lines[axis]; ++i)
            list.append(QStringLiteral("\tv%1|T").arg(i));
        table.FLists[axis] = list;
        table.BuildIndex(axis);
    }
}

// Every axis with `common` lines, except the ones given.
std::array<int, kAxisCount> linesOf(int common, std::initializer_list<std::pair<int, int>> axes)
{
    std::array<int, kAxisCount> lines;
    lines.fill(common);
    for (auto [axis, count] : axes)
        lines[axis] = count;
    return lines;
}

} // namespace

TEST_F(WorkspaceTest, ActivePanelNameFollowsTheActiveBlock)
{
    const std::vector<std::pair<int, const char*>> cases = {{0, "Выбросы"}, {1, "Загрязнения"}, {2, "Риск"},
        {3, "Заболеваемость"}, {4, "Смертность"}, {5, ""}, {-1, ""}};
    for (const auto& [number, name] : cases) {
        state.ActiveBlock = number;
        EXPECT_EQ(GetActivePanelName(workspace), QString::fromUtf8(name)) << number;
        EXPECT_EQ(GetActiveNum(workspace), number);
    }
}

TEST_F(WorkspaceTest, CoordinateNamesAndNumbers)
{
    const std::vector<std::pair<int, const char*>> names = {{0, "Загрязнитель"}, {1, "Регион"}, {9, "Среда"},
        {10, ""}, {11, ""}, {-1, ""}, {12, ""}};
    for (const auto& [axis, name] : names)
        EXPECT_EQ(GetCoordName(workspace, axis), QString::fromUtf8(name)) << axis;

    const std::vector<std::pair<const char*, int>> numbers = {{"Регион", 1}, {"регион", 1}, {"РЕГИОН", 1},
        {"Среда", 9}, {"Meteo", -1}, {"", -1}, {"Регион ", -1}};
    for (const auto& [name, axis] : numbers)
        EXPECT_EQ(GetCoordNum(workspace, QString::fromUtf8(name)), axis) << name;
}

TEST_F(WorkspaceTest, SetActiveNumMakesThatBlockActive)
{
    workspace.activate(&block(kConcBlock));
    state.UpstreamBlock = 99; // the block's own number must not recompute it
    SetActiveNum(workspace, kConcBlock);
    EXPECT_EQ(state.ActiveBlock, kConcBlock);
    EXPECT_EQ(state.UpstreamBlock, 99);

    SetActiveNum(workspace, kDesBlock);
    EXPECT_EQ(state.ActiveBlock, kDesBlock);
    EXPECT_EQ(state.UpstreamBlock, kRiskBlock);

    SetActiveNum(workspace, kPolBlock);
    EXPECT_EQ(state.ActiveBlock, kPolBlock);
    EXPECT_EQ(state.UpstreamBlock, -1);

    for (int absent : {5, 11, -1}) {
        SetActiveNum(workspace, absent);
        EXPECT_EQ(state.ActiveBlock, kPolBlock);
        EXPECT_EQ(state.UpstreamBlock, -1);
    }
}

TEST_F(WorkspaceTest, ListCoordNamesTheStructuredAxesOfTheDataSummary)
{
    TTab& summary = block(kRiskBlock).Extr->Table();
    setList(summary, 0, {"Вещества", "\ta|T", "\tb|T", "\tc|T", "\td|T"});
    QStringList names{"old"};
    QStringList counts{"old"};
    GetListCoord(workspace, kRiskBlock, names, counts);
    EXPECT_EQ(names, QStringList{"Загрязнитель"});
    EXPECT_EQ(counts, QStringList{"4"});

    setList(summary, 4, {"Болезни", "\tгрипп|T", "\tОРЗ|T"});
    setList(summary, 10, {"Метео", "\tштиль|T", "\tветер|T", "\tбуря|T"}); // no caption: left out
    GetListCoord(workspace, kRiskBlock, names, counts);
    EXPECT_EQ(names, (QStringList{"Загрязнитель", "Заболевание"}));
    EXPECT_EQ(counts, (QStringList{"4", "2"}));

    for (int number : {-1, 5}) {
        GetListCoord(workspace, number, names, counts);
        EXPECT_TRUE(names.isEmpty());
        EXPECT_TRUE(counts.isEmpty());
    }
}

TEST_F(WorkspaceTest, SetXYCoordChoosesTheAxesShown)
{
    TTab& table = block(kConcBlock).Extr->Table();
    setList(table, 0, {"Вещества", "\ta|T", "\tb|T"});
    table.FSlice[0] = 1;

    SetXYCoord(workspace, 1, 2, &table);
    EXPECT_EQ(table.FXAxis, 1);
    EXPECT_EQ(table.FYAxis, 2);
    EXPECT_EQ(table.FSlice, (CoordIndex{0, -1, -2, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_TRUE(feedback.messages.isEmpty());

    // Axes that are not two different numbers 0..11 leave the view.
    for (auto [x, y] : {std::pair{3, 3}, std::pair{-1, 2}, std::pair{1, 12}}) {
        SetXYCoord(workspace, x, y, &table);
        EXPECT_EQ(table.FXAxis, 1);
        EXPECT_EQ(table.FYAxis, 2);
    }

    SetXYCoord(workspace, 1, 2, nullptr);
    EXPECT_EQ(feedback.messages, QStringList{"Таблица не определена"});
    state.feedback = nullptr;
    SetXYCoord(workspace, 1, 2, nullptr);
}

struct ReferenceCase {
    const char* name;
    std::array<int, kAxisCount> a;
    std::array<int, kAxisCount> b;
    std::uint8_t type;
    bool expected;
};

TEST(CanDoReference, ComparesTheLineCountsOfStructuredAxes)
{
    const std::vector<ReferenceCase> cases = {
        {"B one longer everywhere, type 1", linesOf(2, {{0, 4}, {3, 5}}), linesOf(2, {{0, 5}, {3, 6}}), 1, true},
        {"one axis equal, type 1", linesOf(2, {{0, 4}, {3, 5}}), linesOf(2, {{0, 5}, {3, 5}}), 1, false},
        {"no structured axes", linesOf(2, {}), linesOf(0, {}), 1, true},
        {"structured in one table only", linesOf(2, {{0, 9}}), linesOf(2, {{1, 3}}), 2, true},
        {"equal, type 0", linesOf(2, {{5, 4}}), linesOf(2, {{5, 4}}), 0, true},
        {"B shorter, type 0", linesOf(2, {{5, 4}}), linesOf(2, {{5, 3}}), 0, false},
        {"equal, type 2", linesOf(3, {}), linesOf(3, {}), 2, true},
        {"B longer, type 2", linesOf(3, {}), linesOf(3, {{11, 4}}), 2, false},
        {"other types pass", linesOf(9, {}), linesOf(3, {}), 7, true},
    };
    for (const ReferenceCase& c : cases) {
        TTab a;
        TTab b;
        shapeLines(a, c.a);
        shapeLines(b, c.b);
        EXPECT_EQ(CanDoReference(&a, &b, c.type), c.expected) << c.name;
    }
    TTab a;
    EXPECT_FALSE(CanDoReference(&a, nullptr, 7));
    EXPECT_FALSE(CanDoReference(nullptr, &a, 7));
}

TEST(CanDoOneCoordRef, OneAxisMayBeEqual)
{
    const struct {
        const char* name;
        std::array<int, kAxisCount> b;
        int axis;
        bool expected;
    } cases[] = {
        {"equal on the axis, longer elsewhere", linesOf(2, {{3, 4}, {0, 6}, {7, 4}}), 3, true},
        {"longer on the axis too", linesOf(2, {{3, 5}, {0, 6}, {7, 4}}), 3, true},
        {"shorter on the axis", linesOf(2, {{3, 3}, {0, 6}, {7, 4}}), 3, false},
        {"equal on another axis", linesOf(2, {{3, 4}, {0, 5}, {7, 4}}), 3, false},
        {"axis 12", linesOf(2, {{3, 4}, {0, 6}, {7, 4}}), 12, false},
        {"axis -1", linesOf(2, {{3, 4}, {0, 6}, {7, 4}}), -1, false},
    };
    TTab a;
    shapeLines(a, linesOf(2, {{3, 4}, {0, 5}, {7, 3}}));
    for (const auto& c : cases) {
        TTab b;
        shapeLines(b, c.b);
        EXPECT_EQ(CanDoOneCoordRef(&a, &b, c.axis), c.expected) << c.name;
    }
    EXPECT_FALSE(CanDoOneCoordRef(&a, nullptr, 3));
}

TEST_F(WorkspaceTest, TablePanelsAcceptOtherTablePanels)
{
    TCompPanel& conc = block(kConcBlock);
    TCompPanel& des = block(kDesBlock);
    TTablePanel* transfer = makeTransferPanel(workspace, conc, des);
    EXPECT_TRUE(TablePanelDragOver(conc.Est, conc.Extr));
    EXPECT_TRUE(TablePanelDragOver(conc.Rule, des.Calc));
    EXPECT_FALSE(TablePanelDragOver(conc.Est, conc.Est));
    EXPECT_FALSE(TablePanelDragOver(conc.Est, conc.Search));
    EXPECT_FALSE(TablePanelDragOver(conc.Est, conc.Switch));
    EXPECT_FALSE(TablePanelDragOver(conc.Est, &conc));
    EXPECT_FALSE(TablePanelDragOver(conc.Est, nullptr));
    // The Sel panel and a transfer panel hold tables too, but no table of the study.
    EXPECT_FALSE(TablePanelDragOver(conc.Rule, conc.Sel));
    EXPECT_FALSE(TablePanelDragOver(conc.Sel, conc.Rule));
    EXPECT_FALSE(TablePanelDragOver(des.Calc, transfer));
    EXPECT_FALSE(TablePanelDragOver(transfer, conc.Extr));
    EXPECT_FALSE(TablePanelDragOver(nullptr, conc.Extr));
}

class TableDropTest : public WorkspaceTest {
protected:
    TableDropTest()
    {
        setList(extr(), 0, {"Вещества", "\tNO2|T", "\tSO2|T"});
        extr().SetCell(at({0}), 1);
        extr().SetCell(at({1}), 2);
        setList(est(), 0, estList);
        est().SetCell(at({3}), 77);
    }
    TTab& extr() { return block(kConcBlock).Extr->Table(); }
    TTab& est() { return block(kConcBlock).Est->Table(); }

    const QStringList estList{"Вещества", "\tВсе вещества|T,GROUP:SUM", "\t\tSO2|T", "\t\tNO2|T", "\tCO|T"};
};

TEST_F(TableDropTest, DropFillsTheTargetByNamesAndSummarizesIt)
{
    TablePanelDragDrop(workspace, block(kConcBlock).Est, block(kConcBlock).Extr);
    EXPECT_EQ(est().FLists[0], estList);
    EXPECT_EQ(est().GetCell(at({0})), 3.0f);
    EXPECT_EQ(est().GetCell(at({1})), 2.0f);
    EXPECT_EQ(est().GetCell(at({2})), 1.0f);
    EXPECT_EQ(est().GetCell(at({3})), M); // no CO in the source
    EXPECT_EQ(extr().GetCell(at({1})), 2.0f);
}

TEST_F(TableDropTest, DropOfAnythingButAnotherTablePanelDoesNothing)
{
    TCompPanel& conc = block(kConcBlock);
    for (TFluxComponent* dragged : std::initializer_list<TFluxComponent*>{conc.Search, conc.Switch, &conc,
             conc.Est, conc.Sel, nullptr}) {
        TablePanelDragDrop(workspace, conc.Est, dragged);
        EXPECT_EQ(est().GetCell(at({3})), 77.0f);
        EXPECT_EQ(est().FLists[0], estList);
    }
    TablePanelDragDrop(workspace, nullptr, conc.Extr);
}

TEST_F(TableDropTest, TheSelPanelNeitherGivesNorTakesATable)
{
    TCompPanel& conc = block(kConcBlock);
    // The Sel panel's table is shaped like any other; a drop must not copy its cells over.
    setList(conc.Sel->Table(), 0, {"Вещества", "	CO|T"});
    conc.Sel->Table().SetCell(at({0}), 5);
    TablePanelDragDrop(workspace, conc.Est, conc.Sel);
    EXPECT_EQ(est().GetCell(at({3})), 77.0f) << "the Sel panel wiped the table it was dropped on";
    TablePanelDragDrop(workspace, conc.Sel, conc.Extr);
    EXPECT_EQ(conc.Sel->Table().FLists[0], (QStringList{"Вещества", "	CO|T"}));
    EXPECT_EQ(conc.Sel->Table().GetCell(at({0})), 5.0f);
}

class TransferPanelTest : public WorkspaceTest {
protected:
    TransferPanelTest()
    {
        setList(conc().Extr->Table(), 0, {"Вещества", "\tNO2|T", "\tSO2|T"});
        conc().Extr->Table().SetCell(at({0}), 1);
        conc().Extr->Table().SetCell(at({1}), 2);
        setList(des().Calc->Table(), 0, {"Вещества", "\tSO2|T", "\tNO2|T", "\tCO|T"});
        des().Calc->Table().SetCell(at({2}), 55);
    }
    TCompPanel& conc() { return block(kConcBlock); }
    TCompPanel& des() { return block(kDesBlock); }
};

TEST_F(TransferPanelTest, PanelJoinsTheTwoBlocks)
{
    TTablePanel* panel = makeTransferPanel(workspace, conc(), des());
    EXPECT_EQ(panel->Name, QStringLiteral("ConcPanel1_to_DesPanel1_Transfer"));
    EXPECT_EQ(panel->Hint, QStringLiteral("Передача данных от блока к блоку"));
    EXPECT_EQ(panel->Tag, -1);
    EXPECT_EQ(panel->Status(), fpsReady);
    EXPECT_EQ(panel->InputComponent(), &conc());
    EXPECT_EQ(panel->OutputComponent(), &des());
    EXPECT_EQ(panel->Table().FBackground, &panel->Table());
    EXPECT_EQ(panel->Table().FLists[0], (QStringList{"Вещества", "\tNO2|T", "\tSO2|T"}));
}

TEST_F(TransferPanelTest, ClickCarriesTheSelectedSummaryIntoTheModelInput)
{
    TTablePanel* panel = makeTransferPanel(workspace, conc(), des());
    TransTabClick(workspace, *panel);
    TTab& input = des().Calc->Table();
    EXPECT_EQ(input.GetCell(at({0})), 2.0f);
    EXPECT_EQ(input.GetCell(at({1})), 1.0f);
    EXPECT_EQ(input.GetCell(at({2})), M);
    EXPECT_EQ(panel->Table().GetCell(at({1})), 2.0f);
}

TEST_F(TransferPanelTest, ClickDoesNothingWhileTheSummaryIsNotReady)
{
    TTablePanel* panel = makeTransferPanel(workspace, conc(), des());
    conc().Extr->SetStatus(fpsEmpty);
    TransTabClick(workspace, *panel);
    EXPECT_EQ(des().Calc->Table().GetCell(at({2})), 55.0f);
    EXPECT_EQ(panel->Table().GetCell(at({0})), M);
}

TEST_F(WorkspaceTest, RemapDownstreamMapsTheNextBlocksModelInput)
{
    TCompPanel& conc = block(kConcBlock);
    TCompPanel& risk = block(kRiskBlock);
    setList(conc.Extr->Table(), 2, {"Время", "\t1990|T", "\t1991|T"});
    setList(risk.Calc->Table(), 2, {"Время", "\t1991|C", "\t1992|C"});
    workspace.activate(&conc);

    RemapDownstream(workspace, 2);
    EXPECT_EQ(risk.Calc->Table().FMap[2].FLinePos, (std::vector<std::uint16_t>{1, kAbsentPosition}));

    // The last block has none downstream; an axis outside 0..11 is ignored.
    workspace.activate(&block(kDeathBlock));
    RemapDownstream(workspace, 2);
    workspace.activate(&conc);
    RemapDownstream(workspace, 12);
    EXPECT_EQ(risk.Calc->Table().FMap[2].FLinePos, (std::vector<std::uint16_t>{1, kAbsentPosition}));
}
