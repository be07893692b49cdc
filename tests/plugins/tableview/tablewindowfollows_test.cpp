// The table window as the workbench shows it, through the bridge and the real library: it follows
// every recalculation of the table it shows without a click on "Обновить".
#include "plugins/tableview/tablewindow.h"

#include "core/app/blockactions.h"
#include "core/app/workspace.h"
#include "core/models/pluginbridge.h"
#include "plugins/tableview/slicechart.h"
#include "tablefixtures.h"

#include <QTableView>
#include <QTest>
#include <gtest/gtest.h>

using namespace verola;
using namespace verola::test;
using verola::tableview::TableSliceModel;
using verola::tableview::TableWindow;

namespace {

class Host : public PluginHost {
public:
    TTablePanel* currentTablePanel() const override { return panel; }
    void bringToFront(VerolaWindow) override {}
    void frontMainWindow(bool) override {}
    void setWaitCursor(bool) override {}
    TTablePanel* panel = nullptr;
};

// Gives a block table the lists and cells of the small region table.
void fillLikeRegionTable(TTab& table)
{
    const auto source = makeRegionTable();
    shapeTable(table, source->FLists);
    for (int p = 0; p < 2; ++p)
        for (int r = 0; r < 4; ++r)
            for (int t = 0; t < 3; ++t)
                table.SetCell(at({p, r, t}), source->GetCell(at({p, r, t})));
}

class TableWindowFollowsTest : public ::testing::Test {
protected:
    TableWindowFollowsTest()
    {
        state.ConfigDirectory = config.path();
        state.ConfigName = QStringLiteral("study");
        state.StagingTab = std::make_unique<TTab>();
        state.feedback = &feedback;
        workspace = std::make_unique<TWorkspace>(state);
        bridge = std::make_unique<PluginBridge>(*workspace, host);
        state.plugins = bridge.get();
        bridge->setProgramDirectory(QStringLiteral(VEROLA_PROGRAM_DIR));
        bridge->start(&application);
    }
    ~TableWindowFollowsTest() override
    {
        bridge->shutdown();
        state.plugins = nullptr;
    }

    TableWindow* show(TTablePanel* panel)
    {
        host.panel = panel;
        workspace->activate(dynamic_cast<TCompPanel*>(panel->Owner()));
        bridge->showTableWindow(panel, 0, false);
        auto* window = static_cast<TableWindow*>(bridge->tableWindow());
        EXPECT_NE(window, nullptr);
        if (window)
            EXPECT_TRUE(QTest::qWaitForWindowExposed(window));
        return window;
    }

    // Every cell of the grid holds what the core reads at its index, and the chart the current row.
    static void expectGridShows(TableWindow& window, TTab& table)
    {
        QAbstractItemModel& grid = *window.Grid->model();
        ASSERT_EQ(grid.rowCount(), table.FDims[window.model().rowAxis()]);
        ASSERT_EQ(grid.columnCount(), table.FDims[window.model().columnAxis()]);
        for (int row = 0; row < grid.rowCount(); ++row)
            for (int column = 0; column < grid.columnCount(); ++column) {
                const float core = table.GetCell(window.model().cellIndex(row, column));
                const QVariant shown = grid.index(row, column).data(TableSliceModel::ValueRole);
                if (isMissing(core))
                    EXPECT_FALSE(shown.isValid()) << row << "," << column;
                else
                    EXPECT_EQ(shown.toFloat(), core) << row << "," << column;
            }
        const int row = qMax(0, window.Grid->currentIndex().row());
        QList<QPointF> points;
        for (int column = 0; column < grid.columnCount(); ++column) {
            const float core = table.GetCell(window.model().cellIndex(row, column));
            if (!isMissing(core))
                points.append(QPointF(column, core));
        }
        EXPECT_EQ(window.Chart->points(), points);
    }

    QWidget application;
    TempFolder config;
    RecordingFeedback feedback;
    ProcessState state;
    Host host;
    std::unique_ptr<TWorkspace> workspace;
    std::unique_ptr<PluginBridge> bridge;
};

} // namespace

TEST_F(TableWindowFollowsTest, EveryRecalculationOfTheShownTableIsShownAtOnce)
{
    TCompPanel& block = *workspace->block(kConcBlock);
    fillLikeRegionTable(block.Rule->Table());
    TTab& rule = block.Rule->Table();
    showRegionsByYears(rule);
    TableWindow* window = show(block.Rule);
    ASSERT_NE(window, nullptr);
    expectGridShows(*window, rule);

    // The summary: the group "Город" becomes the sum of its districts.
    rule.SetCell(at({0, 1, 0}), 7.0f);
    RulePanelClick(*workspace, block);
    ASSERT_EQ(rule.GetCell(at({0, 0, 0})), 7.0f + rule.GetCell(at({0, 2, 0})));
    expectGridShows(*window, rule);

    // A selection that gives the table other lists: one more district, one year less.
    BlockSteps steps;
    steps.databaseSelection = [](TWorkspace&, TCompPanel& selected) {
        TTab& table = selected.Rule->Table();
        auto lists = table.FLists;
        lists[1].append(QStringLiteral("\tЗаречье|D"));
        lists[2].removeLast();
        shapeTable(table, lists);
        showRegionsByYears(table);
        for (int r = 0; r < 5; ++r)
            for (int t = 0; t < 2; ++t)
                table.SetCell(at({0, r, t}), 10.0f * r + t);
        return SelectionOutcome::Completed;
    };
    DBGeneralPanelClick(*workspace, block, steps);
    EXPECT_EQ(window->Grid->model()->columnCount(), 5);
    EXPECT_EQ(window->Grid->model()->rowCount(), 2);
    expectGridShows(*window, rule);
}

TEST_F(TableWindowFollowsTest, TheDoseCalculationIsShownInTheDoseTable)
{
    TCompPanel& risk = *workspace->block(kRiskBlock);
    fillLikeRegionTable(risk.Calc->Table());
    showRegionsByYears(risk.Calc->Table());
    TableWindow* window = show(risk.Calc);
    ASSERT_NE(window, nullptr);
    BlockSteps steps;
    steps.doseCalculation = [](TWorkspace& workspace) {
        TTab& dose = workspace.block(kRiskBlock)->Calc->Table();
        dose.SetCell(at({0, 3, 0}), 0.25f);
        dose.SetCell(at({0, 1, 0}), kMissing);
    };
    CalcDosePanelClick(*workspace, steps);
    expectGridShows(*window, risk.Calc->Table());
}

TEST_F(TableWindowFollowsTest, NumbersAreWrittenWithTheUsersDecimalSeparator)
{
    TCompPanel& block = *workspace->block(kConcBlock);
    TTab& rule = block.Rule->Table();
    fillLikeRegionTable(rule);
    showRegionsByYears(rule);
    rule.SetCell(at({0, 2, 1}), 203.72f);
    rule.SetCell(at({0, 1, 1}), 0.000125f);
    for (const QChar decimal : {QChar(u','), QChar(u'.')}) {
        SCOPED_TRACE(QString(decimal).toStdString());
        state.format.decimalSeparator = decimal;
        TableWindow* window = show(block.Rule);
        ASSERT_NE(window, nullptr);
        const QAbstractItemModel& grid = *window->Grid->model();
        EXPECT_EQ(grid.index(1, 2).data().toString(), QStringLiteral("203") + decimal + QStringLiteral("72"));
        EXPECT_EQ(grid.index(1, 1).data().toString(), QStringLiteral("0") + decimal + QStringLiteral("000125"));
        EXPECT_EQ(grid.index(1, 0).data().toString(), QStringLiteral("1") + decimal + QStringLiteral("5"));
        EXPECT_EQ(window->Chart->chart()->locale().decimalPoint(), QString(decimal));
        EXPECT_TRUE(window->Chart->chart()->localizeNumbers());
    }
}
