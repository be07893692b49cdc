// The plug-in bridge without windows: test libraries of every kind loaded from a test folder,
// driven through the bridge's commands and the callbacks the libraries receive.
#include "core/models/pluginbridge.h"

#include "core/app/configuration.h"
#include "core/app/transfer.h"
#include "core/app/workspace.h"
#include "core/platform/errors.h"
#include "plugins/api/pluginhandles.h"
#include "pluginlog.h"
#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <QObject>
#include <gtest/gtest.h>

#include <functional>
#include <vector>

using namespace verola;
using namespace verola::test;
using plugin::handleOf;

namespace {

// The window side, as the bridge sees it: what it was asked to do.
class RecordingHost : public PluginHost {
public:
    TTablePanel* currentTablePanel() const override { return panel; }
    void bringToFront(VerolaWindow window) override { fronted.push_back(window); }
    void frontMainWindow(bool showAndFocus) override { mainFronted.push_back(showAndFocus); }
    void setWaitCursor(bool wait) override { cursors.push_back(wait); }

    TTablePanel* panel = nullptr;
    std::vector<VerolaWindow> fronted;
    std::vector<bool> mainFronted;
    std::vector<bool> cursors;
};

// Remembers the status texts and lets a test act where the window would process its events.
class StatusFeedback : public RecordingFeedback {
public:
    void progressStatus(int panel, const QString& text) override { statuses[panel] = text; }
    void processEvents() override
    {
        ++eventRounds;
        if (onEvents)
            onEvents();
    }
    QString statuses[3];
    int eventRounds = 0;
    std::function<void()> onEvents;
};

VerolaString counted(const QByteArray& bytes)
{
    return plugin::toString(bytes);
}

class PluginBridgeTest : public ::testing::Test {
protected:
    PluginBridgeTest()
    {
        pluginLog().clear();
        state.DataDirectory = data.path();
        state.ConfigDirectory = config.path();
        state.ConfigName = QStringLiteral("study");
        state.StagingTab = std::make_unique<TTab>();
        state.feedback = &feedback;
        workspace = std::make_unique<TWorkspace>(state);
        bridge = std::make_unique<PluginBridge>(*workspace, host);
        state.plugins = bridge.get();
    }
    ~PluginBridgeTest() override
    {
        bridge->shutdown();
        state.plugins = nullptr;
        bridge.reset();
        pluginLog().clear();
    }

    void startIn(const QString& folder)
    {
        bridge->setProgramDirectory(folder);
        bridge->start(&mainWindow);
    }
    TCompPanel& block(int number) { return *workspace->block(number); }
    // The table popup menu opened on a panel: it is current and its block active.
    TTablePanel* choose(TTablePanel* panel)
    {
        host.panel = panel;
        workspace->activate(dynamic_cast<TCompPanel*>(panel->Owner()));
        return panel;
    }

    QObject mainWindow; // the handle the libraries get
    TempFolder data;
    TempFolder config;
    StatusFeedback feedback;
    ProcessState state;
    RecordingHost host;
    std::unique_ptr<TWorkspace> workspace;
    std::unique_ptr<PluginBridge> bridge;
};

// --- Loading -------------------------------------------------------------------------------------

TEST_F(PluginBridgeTest, LibrariesThatCannotBeLoadedAreNamedAsTheMessagesWriteThem)
{
    TempFolder empty;
    startIn(empty.path());
    EXPECT_EQ(feedback.messages, QStringList{"Не могу загрузить Optimizer.dll"});
    feedback.messages.clear();

    const struct {
        std::function<void()> command;
        QString message;
    } cases[] = {
        {[&] { bridge->showTableWindow(choose(block(kConcBlock).Extr), 0, true); }, "Не могу загрузить TableView.dll"},
        {[&] { bridge->showMapWindow(choose(block(kConcBlock).Extr), true); }, "Не могу загрузить MapView.dll"},
        {[&] { bridge->dispersionModel(false, nullptr); }, "Не загружено DispersionModel.dll"},
        {[&] { bridge->exposureModel(false, nullptr); }, "Не загружено ExposureModel.dll"},
        {[&] { bridge->defineDatabases(true, true, true, true); }, "Не загружено DbSetup.dll"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message.toStdString());
        feedback.messages.clear();
        c.command();
        EXPECT_EQ(feedback.messages, QStringList{c.message});
    }
    EXPECT_EQ(bridge->tableWindow(), nullptr);
    EXPECT_EQ(bridge->mapWindow(), nullptr);
    EXPECT_TRUE(pluginLog().calls.isEmpty());
}

TEST_F(PluginBridgeTest, OnlyTheStemWithThePlatformSuffixOfTheCurrentInterfaceIsLoaded)
{
    TempFolder folder;
    // Another name of the same stem, a file that is no library, and a library of another version.
    QFile::copy(pluginFolder("complete") + u'/' + pluginFileName("Optimizer"), folder.file("lib" + pluginFileName("Optimizer")));
    writeBytes(folder.file(pluginFileName("MapView")), "not a library");
    QFile::copy(pluginFolder("oldapi") + u'/' + pluginFileName("TableView"), folder.file(pluginFileName("TableView")));
    startIn(folder.path());
    EXPECT_FALSE(bridge->isLoaded(PluginLibrary::Optimizer));
    EXPECT_TRUE(bridge->present(PluginLibrary::TableView));
    EXPECT_TRUE(bridge->present(PluginLibrary::MapView));
    EXPECT_FALSE(bridge->present(PluginLibrary::Optimizer));

    bridge->showTableWindow(choose(block(kConcBlock).Extr), 0, false);
    bridge->showMapWindow(block(kConcBlock).Extr, false);
    EXPECT_EQ(feedback.messages, (QStringList{"Не могу загрузить Optimizer.dll", "Не могу загрузить TableView.dll",
                                     "Не могу загрузить MapView.dll"}));
    EXPECT_FALSE(bridge->isLoaded(PluginLibrary::TableView));
    EXPECT_TRUE(pluginLog().calls.isEmpty()) << "nothing of the old library was called";
}

TEST_F(PluginBridgeTest, MissingEntryPointsAreListedOnceAndNeverCalled)
{
    startIn(pluginFolder("partial"));
    const QString dashes = QString(26, u'-');
    EXPECT_EQ(feedback.messages, QStringList{"Не могу найти: \r\n" + dashes + "\r\nOptSetCallBack\r\n"});
    feedback.messages.clear();

    bridge->showTableWindow(choose(block(kConcBlock).Extr), 0, false);
    bridge->showMapWindow(block(kConcBlock).Extr, false);
    EXPECT_EQ(feedback.messages,
        (QStringList{"Не могу найти: \r\n" + dashes + "\r\nDllTableHide\r\nDllTabEQTable\r\nSetCallBack\r\n",
            "Не могу найти: \r\n" + dashes + "\r\nDllGetShowObjectFlag\r\nSetCallBack\r\nMapNameToNode\r\nSetMapFromTable\r\n"}));
    ASSERT_NE(bridge->tableWindow(), nullptr);
    ASSERT_NE(bridge->mapWindow(), nullptr);
    EXPECT_EQ(pluginLog().a, nullptr) << "no callback registration without its entry point";

    feedback.messages.clear();
    bridge->notify(VEROLA_NOTIFY_TABLE_HIDE);
    bridge->exposureModel(false, nullptr); // would ask the map for its show-object flag
    bridge->dispersionModel(false, nullptr);
    bridge->defineDatabases(true, true, true, true);
    EXPECT_EQ(feedback.messages, (QStringList{"Не могу выполнить RiskModelShowAll", "Не могу выполнить DllModelShowAll",
                                     "Не могу выполнить SetDBParam"}));
    for (const char* absent : {"DllTableHide", "DllGetShowObjectFlag", "RiskModelShowAll", "DllModelShowAll", "SetDBParam"})
        EXPECT_FALSE(pluginLog().calls.contains(QString::fromLatin1(absent))) << absent;
    EXPECT_FALSE(bridge->isLoaded(PluginLibrary::DispersionModel));
    EXPECT_FALSE(bridge->isLoaded(PluginLibrary::DbSetup));
}

// --- Table and map windows -------------------------------------------------------------------------

// A block whose files the open could not read is shown in neither window: its tables are empty.
TEST_F(PluginBridgeTest, ABlockThatWasNotReadIsShownInNeitherWindow)
{
    startIn(pluginFolder("complete"));
    workspace->setBlockNotLoaded(block(kConcBlock), QStringLiteral("строк значений 40001"));
    pluginLog().calls.clear();
    for (TTablePanel* panel : {block(kConcBlock).Extr, block(kConcBlock).Rule}) {
        EXPECT_THROW(bridge->showTableWindow(choose(panel), 0, true), EInOutError);
        EXPECT_THROW(bridge->showMapWindow(choose(panel), true), EInOutError);
    }
    EXPECT_TRUE(pluginLog().calls.isEmpty()) << pluginLog().calls.join(' ').toStdString();
    bridge->showTableWindow(choose(block(kPolBlock).Extr), 0, false);
    EXPECT_TRUE(pluginLog().calls.contains(QStringLiteral("DllTableSetTables")));
}

TEST_F(PluginBridgeTest, TheTableWindowIsCreatedOnceAndShownEveryTableWithItsPartner)
{
    startIn(pluginFolder("complete"));
    EXPECT_TRUE(feedback.messages.isEmpty()) << feedback.messages.join(' ').toStdString();
    TCompPanel& concentration = block(kConcBlock);
    bridge->showTableWindow(choose(concentration.Extr), 1, true);
    EXPECT_EQ(pluginLog().calls, (QStringList{"OptSetCallBack", "DllSetDes", "DllTableCreate", "DllSetCallBack",
                                     "DllTableSetTables", "DllTableLoadTable"}));
    EXPECT_EQ(pluginLog().desName, QStringLiteral("study"));
    EXPECT_EQ(pluginLog().desDirectory, config.path());
    EXPECT_EQ(pluginLog().createdWith, &mainWindow);
    ASSERT_NE(bridge->tableWindow(), nullptr);
    EXPECT_EQ(host.fronted, std::vector<VerolaWindow>{bridge->tableWindow()});
    EXPECT_EQ(concentration.Extr->Table().FSlice[1], -1) << "shown across the regions";
    EXPECT_EQ(concentration.Extr->Table().FSlice[2], -2) << "and down the time";

    struct Case {
        int block;
        TTablePanel* TCompPanel::*panel;
        TTablePanel* TCompPanel::*partner;
        int mode;
        QString kind;
    };
    const Case cases[] = {
        {kConcBlock, &TCompPanel::Extr, &TCompPanel::Est, 1, "Загрязнения"},
        {kConcBlock, &TCompPanel::Est, &TCompPanel::Extr, 2, "Загрязнения"},
        {kPolBlock, &TCompPanel::Rule, &TCompPanel::Rule, 0, "Выбросы"},
        {kDeathBlock, &TCompPanel::Calc, &TCompPanel::Calc, 0, "Смертность"},
        {kRiskBlock, &TCompPanel::Est, &TCompPanel::Extr, 1, "Риск"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.kind.toStdString());
        pluginLog().calls.clear();
        TCompPanel& owner = block(c.block);
        bridge->showTableWindow(choose(owner.*c.panel), c.mode, false);
        EXPECT_EQ(pluginLog().calls, (QStringList{"DllTableSetTables", "DllTableLoadTable"}));
        EXPECT_EQ(pluginLog().table, handleOf(&(owner.*c.panel)->Table()));
        EXPECT_EQ(pluginLog().partner, handleOf(&(owner.*c.partner)->Table()));
        EXPECT_EQ(pluginLog().mode, c.mode);
        EXPECT_EQ(pluginLog().kindName, c.kind);
        EXPECT_EQ(pluginLog().unitText, blockUnitText(c.block));
        EXPECT_EQ(pluginLog().block, handleOf(&owner));
        EXPECT_EQ(pluginLog().panel, handleOf(owner.*c.panel));
    }
    EXPECT_EQ(host.fronted.size(), 1u) << "only the tool button brings the window to the front";

    pluginLog().calls.clear();
    bridge->showTableWindow(choose(concentration.Sel), 0, true);
    EXPECT_TRUE(pluginLog().calls.isEmpty()) << "the Sel panel has no partner: nothing is given";
    EXPECT_EQ(host.fronted.size(), 2u);
}

TEST_F(PluginBridgeTest, TheMapWindowGetsTheTableInItsComparisonModeAndTheDataDirectory)
{
    startIn(pluginFolder("complete"));
    TCompPanel& concentration = block(kConcBlock);
    concentration.Est->Table().FCompareMode = 2;
    bridge->showMapWindow(choose(concentration.Est), false);
    EXPECT_EQ(pluginLog().calls.mid(1), (QStringList{"DllSetDes", "DllMapCreate", "DllSetCallBack", "DllMapSetTables",
                                            "DllMapLoadMap"}));
    EXPECT_EQ(pluginLog().table, handleOf(&concentration.Est->Table()));
    EXPECT_EQ(pluginLog().partner, handleOf(&concentration.Extr->Table()));
    EXPECT_EQ(pluginLog().mode, 2);
    EXPECT_EQ(pluginLog().mapText, data.path());
    EXPECT_EQ(pluginLog().block, handleOf(&concentration));
    EXPECT_TRUE(host.fronted.empty());
    bridge->showMapWindow(concentration.Est, true);
    EXPECT_EQ(pluginLog().count("DllMapCreate"), 1);
    EXPECT_EQ(host.fronted, std::vector<VerolaWindow>{bridge->mapWindow()});
}

TEST_F(PluginBridgeTest, CommandsBeforeAnyTablePanelDoNothing)
{
    startIn(pluginFolder("complete"));
    bridge->showTableWindow(nullptr, 0, true);
    bridge->showMapWindow(nullptr, true);
    pluginLog().calls.removeAll("OptSetCallBack");
    EXPECT_TRUE(pluginLog().calls.isEmpty());
    EXPECT_FALSE(bridge->isLoaded(PluginLibrary::TableView));
    // Without a table panel the map cannot be opened for the table window either.
    EXPECT_EQ(bridge->nameToNode(counted("Центральный")), -1);
}

TEST_F(PluginBridgeTest, NotificationsCloseOrHideTheWindowsAndUnloadTheirLibraries)
{
    startIn(pluginFolder("complete"));
    TTablePanel* panel = choose(block(kConcBlock).Extr);
    // Several rounds: a library unloaded must load again as new.
    for (int round = 0; round < 3; ++round) {
        SCOPED_TRACE(round);
        pluginLog().calls.clear();
        host.mainFronted.clear();
        bridge->showTableWindow(panel, 0, false);
        bridge->showMapWindow(panel, false);
        ASSERT_TRUE(bridge->isLoaded(PluginLibrary::TableView));
        ASSERT_TRUE(bridge->isLoaded(PluginLibrary::MapView));
        EXPECT_TRUE(pluginLog().calls.contains("DllTableCreate"));

        EXPECT_TRUE(bridge->notify(VEROLA_NOTIFY_TABLE_HIDE));
        EXPECT_TRUE(bridge->notify(VEROLA_NOTIFY_MAP_HIDE));
        EXPECT_NE(bridge->tableWindow(), nullptr) << "hiding keeps the window";
        EXPECT_TRUE(bridge->isLoaded(PluginLibrary::TableView));
        EXPECT_TRUE(bridge->notify(1204));
        EXPECT_TRUE(bridge->notify(1214));

        EXPECT_TRUE(bridge->notify(VEROLA_NOTIFY_TABLE_CLOSE));
        EXPECT_EQ(bridge->tableWindow(), nullptr);
        EXPECT_FALSE(bridge->isLoaded(PluginLibrary::TableView));
        EXPECT_TRUE(bridge->isLoaded(PluginLibrary::MapView));
        EXPECT_TRUE(bridge->notify(VEROLA_NOTIFY_MAP_CLOSE));
        EXPECT_EQ(bridge->mapWindow(), nullptr);
        EXPECT_FALSE(bridge->isLoaded(PluginLibrary::MapView));

        EXPECT_EQ(pluginLog().calls.mid(pluginLog().calls.indexOf("DllTableHide")),
            (QStringList{"DllTableHide", "DllMapHide", "DllTableClose", "DllMapClose"}));
        EXPECT_EQ(host.mainFronted, (std::vector<bool>{false, false, true, true}));
        EXPECT_EQ(bridge->applicationHandle(), &mainWindow);
    }
    EXPECT_FALSE(bridge->notify(1000));
    EXPECT_FALSE(bridge->notify(1125));
    EXPECT_TRUE(mainWindow.children().isEmpty()) << "every window the libraries made is gone";
    EXPECT_TRUE(feedback.messages.isEmpty()) << feedback.messages.join(' ').toStdString();
}

TEST_F(PluginBridgeTest, ShutdownClosesTheTableThenTheMapAndUnloadsEverything)
{
    startIn(pluginFolder("complete"));
    TTablePanel* panel = choose(block(kConcBlock).Extr);
    bridge->showMapWindow(panel, false);
    bridge->showTableWindow(panel, 0, false);
    pluginLog().calls.clear();
    bridge->shutdown();
    EXPECT_EQ(pluginLog().calls, (QStringList{"DllTableClose", "DllMapClose"}));
    for (PluginLibrary library : {PluginLibrary::TableView, PluginLibrary::MapView, PluginLibrary::Optimizer})
        EXPECT_FALSE(bridge->isLoaded(library)) << pluginStem(library).toStdString();
    EXPECT_TRUE(mainWindow.children().isEmpty());
}

TEST_F(PluginBridgeTest, OpeningAConfigurationTellsTheLoadedWindowLibrariesItsName)
{
    startIn(pluginFolder("complete"));
    writeBytes(config.file("other.DES"), "Другая выборка\r\n");
    OpenConfiguration(*workspace, config.file("other.DES"));
    EXPECT_FALSE(pluginLog().calls.contains("DllSetDes")) << "no window library is loaded yet";

    bridge->showTableWindow(choose(block(kConcBlock).Extr), 0, false);
    bridge->showMapWindow(block(kConcBlock).Extr, false);
    pluginLog().calls.clear();
    writeBytes(config.file("third.DES"), "Третья\r\n");
    OpenConfiguration(*workspace, config.file("third.DES"));
    EXPECT_EQ(pluginLog().calls.count("DllSetDes"), 2) << "the table's and the map's";
    EXPECT_EQ(pluginLog().desName, QStringLiteral("third"));
    EXPECT_EQ(pluginLog().desDirectory, config.path());
}

TEST_F(PluginBridgeTest, ATransferReloadsTheTableWindowOnlyWhenItShowsTheTarget)
{
    startIn(pluginFolder("complete"));
    TCompPanel& concentration = block(kConcBlock);
    bridge->showTableWindow(choose(concentration.Est), 0, false);
    pluginLog().calls.clear();
    TablePanelDragDrop(*workspace, concentration.Calc, concentration.Extr);
    EXPECT_EQ(pluginLog().calls, QStringList{"DllTabEQTable"});

    TablePanelDragDrop(*workspace, concentration.Est, concentration.Extr);
    EXPECT_EQ(pluginLog().calls, (QStringList{"DllTabEQTable", "DllTabEQTable", "DllTableLoadTable"}));
    EXPECT_EQ(pluginLog().kindName, QStringLiteral("Загрязнения"));
    EXPECT_EQ(pluginLog().unitText, blockUnitText(kConcBlock));
    EXPECT_EQ(pluginLog().panel, handleOf(concentration.Est));
}

// --- Callbacks ------------------------------------------------------------------------------------

TEST_F(PluginBridgeTest, TheTableWindowsCallbacksOpenTheMapAndPassItsSlice)
{
    startIn(pluginFolder("complete"));
    TCompPanel& concentration = block(kConcBlock);
    bridge->showTableWindow(choose(concentration.Extr), 0, false);
    ASSERT_NE(pluginLog().a, nullptr);
    int index[12] = {0, -1, 3, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    const QByteArray kind = "Загрязнения";
    const QByteArray unit = " мг/м3 ";

    pluginLog().a(1, index, 2, 0, counted(kind), counted(unit));
    EXPECT_EQ(bridge->mapWindow(), nullptr) << "only p4 < 0 opens the map";
    EXPECT_FALSE(pluginLog().calls.contains("DllSetMapFromTable"));

    pluginLog().a(1, index, 2, -1, counted(kind), counted(unit));
    ASSERT_NE(bridge->mapWindow(), nullptr);
    EXPECT_EQ(pluginLog().calls.last(), QStringLiteral("DllSetMapFromTable"));
    EXPECT_EQ(pluginLog().p1, 1);
    EXPECT_EQ(pluginLog().index[2], 3);
    EXPECT_EQ(index[0], 0) << "the map got a copy of the index";
    EXPECT_EQ(pluginLog().p3, 2);
    EXPECT_EQ(pluginLog().p4, -1);
    EXPECT_EQ(pluginLog().p5, QStringLiteral("Загрязнения"));
    EXPECT_EQ(pluginLog().p6, QStringLiteral(" мг/м3 "));
    EXPECT_EQ(pluginLog().block, handleOf(&concentration));

    EXPECT_EQ(pluginLog().b(counted("Центральный")), pluginLog().node);
    EXPECT_EQ(pluginLog().nodeName, QStringLiteral("Центральный"));
}

TEST_F(PluginBridgeTest, NameToNodeOpensTheMapWhenThereIsNone)
{
    startIn(pluginFolder("complete"));
    bridge->showTableWindow(choose(block(kDesBlock).Extr), 0, false);
    pluginLog().node = 4;
    EXPECT_EQ(pluginLog().b(counted("Северный")), 4);
    EXPECT_NE(bridge->mapWindow(), nullptr);
    EXPECT_EQ(pluginLog().count("DllMapCreate"), 1);
}

TEST_F(PluginBridgeTest, TheMapWindowsCallbacksKeepTheMapListAndBringTheTable)
{
    startIn(pluginFolder("complete"));
    choose(block(kConcBlock).Est);
    bridge->showMapWindow(host.panel, false);
    ASSERT_NE(pluginLog().d, nullptr);

    state.MapList = QStringList{"Shape=old.shp"};
    QStringList given{"Shape=districts.shp", "NameField=NAME"};
    pluginLog().d(handleOf(&given), 1);
    EXPECT_EQ(state.MapList, given);
    QStringList asked{"stale line"};
    pluginLog().d(handleOf(&asked), 0);
    EXPECT_EQ(asked, given);

    EXPECT_EQ(bridge->tableWindow(), nullptr);
    pluginLog().e();
    ASSERT_NE(bridge->tableWindow(), nullptr) << "the table window command ran";
    EXPECT_EQ(pluginLog().table, handleOf(&block(kConcBlock).Est->Table()));
    EXPECT_EQ(host.fronted, std::vector<VerolaWindow>{bridge->tableWindow()});
    pluginLog().e();
    EXPECT_EQ(pluginLog().count("DllTableCreate"), 1);
    EXPECT_EQ(host.fronted.size(), 2u);
}

TEST_F(PluginBridgeTest, TheListCallbackReplacesAPrimaryListOfTheActiveBlock)
{
    startIn(pluginFolder("complete"));
    TCompPanel& concentration = block(kConcBlock);
    bridge->showMapWindow(choose(concentration.Extr), false);
    ASSERT_NE(pluginLog().c, nullptr);
    QStringList lines{"Вещества|D", "\tNO2|D", "\tSO2|D"};
    const QByteArray extr = "Extr";
    EXPECT_EQ(pluginLog().c(0, handleOf(&lines), counted(extr)), handleOf(&concentration.Rule->Table()));
    EXPECT_EQ(concentration.Rule->Table().FLists[0].size(), 3);
    EXPECT_TRUE(concentration.Rule->Table().FLists[0].at(2).contains("SO2"));
    const QByteArray other = "Rule";
    EXPECT_EQ(pluginLog().c(0, handleOf(&lines), counted(other)), nullptr);
}

TEST_F(PluginBridgeTest, TheListCallbackAsksBeforeItReplacesTheSamplesList)
{
    startIn(pluginFolder("complete"));
    TCompPanel& concentration = block(kConcBlock);
    TTab& rule = concentration.Rule->Table();
    // Ten districts in two parts of the city: the groups are no districts.
    QStringList regions{"Районы", "\tЛевый берег|D,GROUP:SUM"};
    for (int i = 1; i <= 6; ++i)
        regions.append(QStringLiteral("\t\tРайон %1|D,DEMO,%1").arg(i));
    regions.append("\tПравый берег|D,GROUP:SUM");
    for (int i = 7; i <= 10; ++i)
        regions.append(QStringLiteral("\t\tРайон %1|D,DEMO,%1").arg(i));
    rule.FLists[1] = regions;
    rule.BuildIndex(1);
    rule.Dimension(rule.positionCounts());
    bridge->showMapWindow(choose(concentration.Extr), false);
    ASSERT_NE(pluginLog().c, nullptr);
    const QByteArray extr = "Extr";
    const struct {
        QStringList lines;
        const char* question;
    } cases[] = {
        {{"Районы", "\tРайон 2|D,DEMO,2", "\tРайон 5|D,DEMO,5", "\tРайон 9|D,DEMO,9"},
            "Оставить в выборке блока «Загрязнения» 3\u00A0района из\u00A010?"},
        {{"Районы", "\tРайон 2|D,DEMO,2"}, "Оставить в выборке блока «Загрязнения» 1\u00A0район из\u00A010?"},
    };
    for (const auto& c : cases) {
        QStringList lines = c.lines;
        feedback.questions.clear();
        feedback.answer = false;
        EXPECT_EQ(pluginLog().c(1, handleOf(&lines), counted(extr)), nullptr);
        EXPECT_EQ(feedback.questions, QStringList{QString::fromUtf8(c.question)});
        EXPECT_EQ(rule.FLists[1], regions) << "No keeps the block's list";
    }
    feedback.answer = true;
    QStringList kept = cases[0].lines;
    EXPECT_EQ(pluginLog().c(1, handleOf(&kept), counted(extr)), handleOf(&rule));
    EXPECT_EQ(rule.FIndex[1].FGroups, 3);
    EXPECT_TRUE(rule.FLists[1].at(3).contains("Район 9"));
}

TEST_F(PluginBridgeTest, FunctionCallbacksReachTheOptimizerAndTheRunningModel)
{
    startIn(pluginFolder("complete"));
    ASSERT_NE(pluginLog().f, nullptr);
    EXPECT_EQ(pluginLog().callBackFirst, 1);
    EXPECT_FALSE(pluginLog().calls.contains("DllModelSingleFunction"));
    pluginLog().f(1.0); // no model loaded: no defined value, and nothing called
    EXPECT_FALSE(pluginLog().calls.contains("DllModelSingleFunction"));

    double during = 0;
    double optimum = 0;
    pluginLog().maxSteps = 1;
    pluginLog().onStep = [&](int) {
        during = pluginLog().f(0.5);
        optimum = pluginLog().h(2.0);
    };
    bridge->dispersionModel(true, nullptr);
    EXPECT_EQ(during, pluginLog().modelValue + 0.5);
    EXPECT_EQ(optimum, pluginLog().optimum);
    EXPECT_TRUE(pluginLog().calls.contains("Optimize 0 30 2"));
}

TEST_F(PluginBridgeTest, CallbacksReachOnlyALivingBridge)
{
    startIn(pluginFolder("complete"));
    bridge->showTableWindow(choose(block(kConcBlock).Extr), 0, false);
    VerolaNameToNodeCallback b = pluginLog().b;
    EXPECT_EQ(PluginBridge::current(), bridge.get());
    bridge->shutdown();
    state.plugins = nullptr;
    bridge.reset();
    EXPECT_EQ(PluginBridge::current(), nullptr);
    EXPECT_EQ(b(counted("Центральный")), -1);
    bridge = std::make_unique<PluginBridge>(*workspace, host); // for the fixture's end
}

// --- Models and the database definition ------------------------------------------------------------

struct ModelCase {
    const char* name;
    PluginLibrary library;
    void (PluginBridge::*command)(bool, VerolaSender);
    bool ProcessState::*running;
    const char* callBack;
    const char* showAll;
    const char* stop;
};

const ModelCase kModels[] = {
    {"dispersion", PluginLibrary::DispersionModel, &PluginBridge::dispersionModel, &ProcessState::dispersionModelRunning, "DllModelCallBack",
        "DllModelShowAll", "DllModelStop"},
    {"exposure", PluginLibrary::ExposureModel, &PluginBridge::exposureModel, &ProcessState::exposureModelRunning, "DllRiskCallBack",
        "RiskModelShowAll", "DllRiskStop"},
};

TEST_F(PluginBridgeTest, ASecondClickDuringARunStopsTheModel)
{
    startIn(pluginFolder("complete"));
    for (const ModelCase& model : kModels) {
        SCOPED_TRACE(model.name);
        pluginLog().clear();
        host.cursors.clear();
        QObject button;
        QString duringRun[3];
        bool runningDuringRun = false;
        pluginLog().onStep = [&](int step) {
            if (step == 2) {
                std::copy(std::begin(feedback.statuses), std::end(feedback.statuses), duringRun);
                runningDuringRun = state.*model.running;
            }
            if (step == 3)
                (bridge.get()->*model.command)(true, &button); // the second click
        };
        (bridge.get()->*model.command)(true, &button);

        EXPECT_EQ(pluginLog().progressSteps, 3);
        EXPECT_EQ(pluginLog().count(model.stop), 1);
        EXPECT_EQ(pluginLog().sender, &button);
        EXPECT_EQ(pluginLog().modelMode, 1);
        EXPECT_NE(pluginLog().progress, nullptr);
        EXPECT_TRUE(runningDuringRun);
        EXPECT_FALSE(state.*model.running);
        EXPECT_EQ(duringRun[0], QStringLiteral("Расчет"));
        EXPECT_EQ(duringRun[1], QStringLiteral("Источник 2"));
        EXPECT_EQ(duringRun[2], QStringLiteral("20%"));
        for (const QString& status : feedback.statuses)
            EXPECT_TRUE(status.isEmpty()) << "the status bar is reset after the run";
        EXPECT_GE(feedback.eventRounds, 3);
        EXPECT_EQ(host.cursors, (std::vector<bool>{true, false}));
        EXPECT_FALSE(bridge->isLoaded(model.library));
        EXPECT_EQ(pluginLog().calls.indexOf(model.callBack), 0) << "the callbacks are registered first";
    }
}

TEST_F(PluginBridgeTest, AModelGetsItsTablesTheConfigurationAndTheMapList)
{
    startIn(pluginFolder("complete"));
    TCompPanel& pollution = block(kPolBlock);
    TCompPanel& concentration = block(kConcBlock);
    TCompPanel& dose = block(kRiskBlock);
    concentration.Switch->SetTermIn(1); // the concentration block's summary is its Est table
    const struct {
        const ModelCase& model;
        TTab* tables[3];
    } cases[] = {
        {kModels[0], {&concentration.Extr->Table(), &concentration.Calc->Table(), &pollution.Extr->Table()}},
        {kModels[1], {&dose.Rule->Table(), &dose.Calc->Table(), &concentration.Est->Table()}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.model.name);
        pluginLog().clear();
        host.cursors.clear();
        (bridge.get()->*c.model.command)(false, nullptr); // the interactive command
        EXPECT_EQ(pluginLog().calls, (QStringList{c.model.callBack, c.model.showAll}));
        EXPECT_EQ(pluginLog().callBackFirst, 1);
        EXPECT_EQ(pluginLog().progress, nullptr) << "no progress for the interactive command";
        EXPECT_EQ(pluginLog().modelMode, 0);
        EXPECT_EQ(pluginLog().createdWith, &mainWindow);
        EXPECT_EQ(pluginLog().modelName, QStringLiteral("study"));
        EXPECT_EQ(pluginLog().modelDirectory, config.path());
        for (int k = 0; k < 3; ++k)
            EXPECT_EQ(pluginLog().modelTables[k], handleOf(c.tables[k])) << k;
        EXPECT_EQ(pluginLog().modelList, handleOf(&state.MapList));
        EXPECT_FALSE(state.*c.model.running);
        EXPECT_TRUE(host.cursors.empty());
        EXPECT_FALSE(bridge->isLoaded(c.model.library)) << "unloaded after the command";
        // What the library wrote is still there after its unload.
        EXPECT_EQ(state.MapList.last(), QStringLiteral("Model=written by the model"));
    }
    concentration.Switch->SetTermIn(2);
    bridge->exposureModel(false, nullptr);
    EXPECT_EQ(pluginLog().modelTables[2], handleOf(&concentration.Extr->Table()));
}

TEST_F(PluginBridgeTest, TheInteractiveExposureCommandAsksTheMapForItsShowObjectValue)
{
    startIn(pluginFolder("complete"));
    QObject button;
    bridge->exposureModel(false, &button);
    const int withoutMap = pluginLog().showObject;
    EXPECT_EQ(withoutMap, 111);
    bridge->showMapWindow(choose(block(kConcBlock).Extr), false);
    pluginLog().showObjectFlag = 6;
    bridge->exposureModel(false, &button);
    EXPECT_EQ(pluginLog().showObject, 6);
    EXPECT_EQ(pluginLog().sender, &button);
}

TEST_F(PluginBridgeTest, ARunWhoseLibraryIsMissingLeavesItsFlagForTheNextClickToClear)
{
    TempFolder empty;
    startIn(empty.path());
    for (const ModelCase& model : kModels) {
        SCOPED_TRACE(model.name);
        feedback.messages.clear();
        host.cursors.clear();
        (bridge.get()->*model.command)(true, nullptr);
        EXPECT_EQ(feedback.messages.size(), 1);
        EXPECT_TRUE(state.*model.running);
        (bridge.get()->*model.command)(true, nullptr);
        EXPECT_EQ(feedback.messages.size(), 1) << "the second click only clears the flag";
        EXPECT_FALSE(state.*model.running);
        EXPECT_EQ(host.cursors, (std::vector<bool>{true, false})) << "the cursor comes back after the failure";
    }
}

TEST_F(PluginBridgeTest, TheDatabaseDefinitionToolLearnsWhichBlocksAreUncovered)
{
    startIn(pluginFolder("complete"));
    bridge->defineDatabases(true, false, true, false);
    EXPECT_EQ(pluginLog().calls.last(), QStringLiteral("SetDBParam"));
    EXPECT_EQ(pluginLog().createdWith, &mainWindow);
    EXPECT_EQ(std::vector<int>(pluginLog().databaseCovers, pluginLog().databaseCovers + 4),
        (std::vector<int>{1, 0, 1, 0}));
    EXPECT_FALSE(bridge->isLoaded(PluginLibrary::DbSetup));
}

} // namespace
