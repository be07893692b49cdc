// The map window as the workbench shows it, through the bridge and the real library: it is
// recoloured by every recalculation of the table it shows.
#include "mapfixture.h"

#include "plugins/mapview/mapwindow.h"

#include "core/app/blockactions.h"
#include "core/app/workspace.h"
#include "core/models/pluginbridge.h"

#include <QTest>
#include <gtest/gtest.h>

using namespace verola;
using namespace verola::mapview;
using namespace verola::mapview::test;
using verola::test::at;

namespace {

class Host : public PluginHost {
public:
    TTablePanel* currentTablePanel() const override { return panel; }
    void bringToFront(VerolaWindow) override {}
    void frontMainWindow(bool) override {}
    void setWaitCursor(bool) override {}
    TTablePanel* panel = nullptr;
};

// The workbench of a small study with the bridge started over the real map library; the
// emission block's Rule table holds the study's table shape.
class MapWindowFollowsTest : public ::testing::Test {
protected:
    MapWindowFollowsTest() : workspace(state), bridge(workspace, host)
    {
        state.plugins = &bridge;
        bridge.setProgramDirectory(QStringLiteral(VEROLA_PROGRAM_DIR));
        bridge.start(&application);
        verola::test::shapeTable(rule, study.table.FLists);
        host.panel = block.Rule;
    }
    ~MapWindowFollowsTest() override
    {
        bridge.shutdown();
        state.plugins = nullptr;
    }

    // The process state is complete before the workspace is made over it.
    bool prepareState()
    {
        state.DataDirectory = study.data.path();
        state.MapList = QStringList{QStringLiteral("Shape=regions.shp"), QStringLiteral("NameField=NAME")};
        state.StagingTab = std::make_unique<TTab>();
        state.feedback = &feedback;
        return true;
    }

    SmallStudy study;
    QWidget application;
    verola::test::RecordingFeedback feedback;
    ProcessState state;
    bool m_statePrepared = prepareState();
    TWorkspace workspace;
    Host host;
    PluginBridge bridge;
    TCompPanel& block = *workspace.block(kConcBlock);
    TTab& rule = block.Rule->Table();
};

} // namespace

TEST_F(MapWindowFollowsTest, ARecalculationOfTheShownTableRecoloursTheMap)
{
    for (int r = kNorth; r <= kEast; ++r)
        rule.SetCell(at({0, r, 0}), study.table.GetCell(at({0, r, 0})));
    workspace.activate(&block);
    bridge.showMapWindow(block.Rule, false);
    auto* window = static_cast<MapWindow*>(bridge.mapWindow());
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
    const MapModel& map = window->model();
    const int north = map.regionNamed(QStringLiteral("Северный"));
    const int east = map.regionNamed(QStringLiteral("Восточный"));
    ASSERT_GE(north, 0);
    EXPECT_EQ(map.valueOf(north), 10.0);
    const QColor eastBefore = map.fillOf(east);

    rule.SetCell(at({0, kNorth, 0}), 90.0f);
    RulePanelClick(workspace, block);
    EXPECT_EQ(map.valueOf(north), 90.0);
    EXPECT_EQ(map.valueOf(east), rule.GetCell(at({0, kEast, 0})));
    EXPECT_NE(map.fillOf(east), eastBefore) << "the classes follow the new values";
}

TEST_F(MapWindowFollowsTest, ValuesAreWrittenWithTheUsersDecimalSeparator)
{
    rule.SetCell(at({0, kNorth, 0}), 203.72f);
    rule.SetCell(at({0, kSouth, 0}), 10.5f);
    workspace.activate(&block);
    for (const QChar decimal : {QChar(u','), QChar(u'.')}) {
        SCOPED_TRACE(QString(decimal).toStdString());
        state.format.decimalSeparator = decimal;
        bridge.showMapWindow(block.Rule, false);
        auto* window = static_cast<MapWindow*>(bridge.mapWindow());
        ASSERT_NE(window, nullptr);
        const MapModel& map = window->model();
        EXPECT_EQ(map.describe(map.regionNamed(QStringLiteral("Северный"))),
            QStringLiteral("Северный: 203") + decimal + QStringLiteral("72"));
        const std::vector<LegendEntry> legend = map.legend();
        ASSERT_FALSE(legend.empty());
        EXPECT_EQ(legend.back().text, QStringLiteral("нет данных"));
        EXPECT_EQ(legend[legend.size() - 2].text.left(5), QStringLiteral("10") + decimal + QStringLiteral("5 "));
    }
}
