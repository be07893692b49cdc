#include "core/app/blockactions.h"
#include "core/app/publishedoperations.h"
#include "core/app/workspace.h"
#include "testsupport.h"

#include <QRegularExpression>
#include <gtest/gtest.h>

#include <functional>
#include <utility>
#include <vector>

using namespace verola;
using namespace verola::test;

namespace {

class BlockActionsTest : public ::testing::Test {
protected:
    TCompPanel& block(int n) { return *workspace.block(n); }

    // Regions: a group over two districts in the summary table, the districts alone in the primary one.
    void shapeRegions(TCompPanel& b)
    {
        TTab& primary = b.Rule->Table();
        primary.FLists[1] = {"Регионы", "\tЦентр|D", "\tСевер|D"};
        primary.Redimension(1);
        TTab& summary = b.Extr->Table();
        summary.FLists[1] = {"Регионы", "\tМосква|T,GROUP:SUM", "\t\tЦентр|T", "\t\tСевер|T"};
        summary.Redimension(1);
        mapAxis(primary, summary, 1);
        primary.SetCell(at({0, 0}), 2.0f);
        primary.SetCell(at({0, 1}), 3.0f);
    }

    ProcessState state;
    TWorkspace workspace{state};
    BlockSteps steps;
};

} // namespace

TEST_F(BlockActionsTest, ExtrFillsTheSummaryAndMakesTheBlockActive)
{
    shapeRegions(block(3));
    const ActionResult result = ExtrPanelClick(workspace, block(3));
    EXPECT_TRUE(result.done);
    EXPECT_EQ(state.ActiveBlock, 3);
    EXPECT_EQ(state.UpstreamBlock, 2);
    TTab& summary = block(3).Extr->Table();
    EXPECT_EQ(summary.GetCell(at({0, 0})), 5.0f);
    EXPECT_EQ(summary.GetCell(at({0, 1})), 2.0f);
    EXPECT_EQ(summary.GetCell(at({0, 2})), 3.0f);
}

TEST_F(BlockActionsTest, EachPanelActionSaysHowLongItTook)
{
    shapeRegions(block(3));
    steps.doseCalculation = [](TWorkspace&) {};
    const std::vector<std::pair<const char*, std::function<ActionResult()>>> actions = {
        {"rule", [&] { return RulePanelClick(workspace, block(3)); }},
        {"extr", [&] { return ExtrPanelClick(workspace, block(3)); }},
        {"calc", [&] { return CalcPanelClick(workspace, block(3)); }},
        {"est", [&] { return EstPanelClick(workspace, block(3)); }},
        {"dose", [&] { return CalcDosePanelClick(workspace, steps); }},
    };
    const QRegularExpression duration(QStringLiteral("^\\d+,\\d\\d с$"));
    for (const auto& [name, action] : actions) {
        const ActionResult result = action();
        EXPECT_TRUE(duration.match(result.details).hasMatch()) << name << ": " << result.details.toStdString();
    }
}

TEST_F(BlockActionsTest, CalcTakesTheUpstreamSelectedSummaryOnlyWhenReady)
{
    EXPECT_FALSE(CalcPanelClick(workspace, block(0)).done); // the emission block has no upstream block
    EXPECT_EQ(state.UpstreamBlock, -1);

    block(0).Extr->Table().SetCell(at({}), 4.0f);
    for (int axis = 0; axis < kAxisCount; ++axis) // as the structure editor re-maps the downstream block
        mapAxis(block(0).Extr->Table(), block(1).Calc->Table(), axis);
    EXPECT_TRUE(CalcPanelClick(workspace, block(1)).done);
    EXPECT_EQ(block(1).Calc->Table().GetCell(at({})), 4.0f);

    // The emission switch on its grey Est panel: nothing is copied.
    block(0).Switch->SetTermIn(1);
    block(1).Calc->Table().SetCell(at({}), 1.0f);
    const ActionResult refused = CalcPanelClick(workspace, block(1));
    EXPECT_FALSE(refused.done);
    EXPECT_EQ(refused.text, QStringLiteral("блок 1: выбранная итоговая таблица блока 0 (Est) не готова, ничего не скопировано"));
    EXPECT_EQ(block(1).Calc->Table().GetCell(at({})), 1.0f);
}

TEST_F(BlockActionsTest, MissingStepsSaySoAndTheChainGoesOn)
{
    shapeRegions(block(4));
    workspace.activate(&block(4));
    FullRecalculation(workspace, steps); // selection unavailable, then Rule and Extr still run
    EXPECT_EQ(block(4).Extr->Table().GetCell(at({0, 0})), 5.0f);
    EXPECT_FALSE(DBGeneralPanelClick(workspace, block(4), steps).done);

    int selections = 0;
    steps.databaseSelection = [&](TWorkspace&, TCompPanel& b) {
        ++selections;
        b.Rule->Table().SetCell(at({0, 0}), 10.0f);
        return SelectionOutcome::Completed;
    };
    block(4).Rule->Table().FSlice.fill(5);
    FullRecalculation(workspace, steps);
    EXPECT_EQ(selections, 1);
    EXPECT_EQ(block(4).Rule->Table().FSlice[3], 0);
    EXPECT_EQ(block(4).Extr->Table().GetCell(at({0, 0})), 13.0f);
}

TEST_F(BlockActionsTest, PublishedOperations)
{
    EXPECT_TRUE(RunPublishedOperation(workspace, steps, "SpeedButtonRiskModelClick"));
    EXPECT_TRUE(state.blockSelectionFlags[0] && state.blockSelectionFlags[1] && !state.blockSelectionFlags[2]);
    EXPECT_TRUE(RunPublishedOperation(workspace, steps, "SpeedButtonRiskExpertClick"));
    EXPECT_TRUE(state.blockSelectionFlags[4] && !state.blockSelectionFlags[5]);
    EXPECT_FALSE(RunPublishedOperation(workspace, steps, "NoSuchOperation"));

    shapeRegions(block(1));
    EXPECT_TRUE(RunPublishedOperation(workspace, steps, "GroupSrcDataOperClick"));
    EXPECT_EQ(block(1).Extr->Table().GetCell(at({0, 0})), 5.0f);
    EXPECT_EQ(state.ActiveBlock, 1);

    // The emission switch takes Extr: the dose chain runs and stays pending for the model. (The
    // dose step is counted here: this test has no risk database for the real one.)
    int doses = 0;
    steps.doseCalculation = [&doses](TWorkspace&) { ++doses; };
    EXPECT_TRUE(RunPublishedOperation(workspace, steps, "FromDBPolCalcItemClick"));
    EXPECT_TRUE(state.doseChainPending);
    EXPECT_EQ(doses, 1) << "the concentration switch takes Extr";
    block(1).Switch->SetTermIn(1);
    EXPECT_TRUE(RunPublishedOperation(workspace, steps, "FromISCModel"));
    EXPECT_FALSE(state.doseChainPending);
    EXPECT_EQ(doses, 2);
}

TEST_F(BlockActionsTest, NextFlaggedBlockWalksTheFlags)
{
    state.blockSelectionFlags[1] = true;
    state.blockSelectionFlags[3] = true;
    state.blockSelectionFlags[7] = true;
    workspace.activate(&block(1));
    std::vector<int> asked;
    std::vector<EditorChoice> answers{EditorChoice::NoCalculation, EditorChoice::NoCalculation,
        EditorChoice::NoCalculation, EditorChoice::Cancel};
    const auto editor = [&](TWorkspace& w) {
        asked.push_back(w.state().ActiveBlock);
        return answers.at(asked.size() - 1);
    };
    NextFlaggedBlock(workspace, steps, editor);
    // Block 3 becomes active; flag 7 keeps block 3 active and is visited until the editor is
    // left some other way: it is never the active block's flag, so it stays set.
    EXPECT_EQ(asked, (std::vector<int>{3, 3, 3, 3}));
    EXPECT_EQ(state.ActiveBlock, 3);
    EXPECT_EQ(state.UpstreamBlock, 2);
    EXPECT_FALSE(state.blockSelectionFlags[1]);
    EXPECT_FALSE(state.blockSelectionFlags[3]);
    EXPECT_TRUE(state.blockSelectionFlags[7]);

    asked.clear();
    state.blockSelectionFlags[7] = false;
    NextFlaggedBlock(workspace, steps, editor); // nothing flagged: the editor is not opened again
    EXPECT_TRUE(asked.empty());
}

TEST_F(BlockActionsTest, ASelectionThatEndsEarlySaysSoAndKeepsWhatItSelected)
{
    const struct {
        SelectionOutcome outcome;
        const char* text;
    } cases[] = {
        {SelectionOutcome::Completed, "блок 3: выборка из баз данных выполнена"},
        {SelectionOutcome::StoppedByUser,
            "блок 3: выборка прервана запросом остановки, выбранное до того остается"},
        {SelectionOutcome::StoppedAtModel,
            "блок 3: выборка остановлена на ненайденной модели, выбранное до того остается"},
        {SelectionOutcome::HeadingMissing, "блок 3: выборка закончена на заголовке оси, которого нет в "
                                           "списке заголовков, выбранное до того остается"},
    };
    shapeRegions(block(3));
    for (const auto& c : cases) {
        steps.databaseSelection = [&c](TWorkspace&, TCompPanel& b) {
            b.Rule->Table().SetCell(at({0, 0}), 10.0f);
            return c.outcome;
        };
        block(3).Rule->Table().SetCell(at({0, 0}), 1.0f);
        const ActionResult result = DBGeneralPanelClick(workspace, block(3), steps);
        EXPECT_EQ(result.text, QString::fromUtf8(c.text));
        EXPECT_EQ(block(3).Rule->Table().GetCell(at({0, 0})), 10.0f) << c.text;
    }
}
