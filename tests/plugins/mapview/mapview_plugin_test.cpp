// The library "MapView" as the program loads it: every entry point found by name and the map
// window driven through them.
#include "mapfixture.h"

#include "plugins/api/pluginhandles.h"

#include <QAction>
#include <QLibrary>
#include <QPointer>
#include <QWidget>
#include <gtest/gtest.h>

using namespace verola;
using namespace verola::mapview::test;

namespace {

QStringList g_mapList;
int g_tableRequests = 0;

void keepMapList(VerolaList* list, int toMapList)
{
    QStringList* lines = plugin::listOf(list);
    if (toMapList)
        g_mapList = *lines;
    else
        *lines = g_mapList;
}

VerolaTable* replaceList(int, VerolaList*, VerolaString)
{
    return nullptr;
}

void showTable()
{
    ++g_tableRequests;
}

class MapViewLibraryTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        library.setFileName(QStringLiteral(VEROLA_PROGRAM_DIR "/MapView.so"));
        ASSERT_TRUE(library.load()) << library.errorString().toStdString();
    }
    void TearDown() override { library.unload(); }

    template <typename Fn> Fn entry(const char* name)
    {
        auto fn = reinterpret_cast<Fn>(library.resolve(name));
        EXPECT_NE(fn, nullptr) << name;
        return fn;
    }

    QLibrary library;
};

} // namespace

TEST_F(MapViewLibraryTest, EveryEntryPointOfTheMapWindowIsFoundAndTheVersionMatches)
{
    for (const char* name : {"VerolaPluginApiVersion", "DllMapCreate", "DllMapClose", "DllMapHide", "DllMapSetTables",
             "DllMapLoadMap", "DllSetDes", "DllGetShowObjectFlag", "DllSetCallBack", "DllMapNameToNode",
             "DllSetMapFromTable"})
        EXPECT_NE(library.resolve(name), nullptr) << name;
    EXPECT_EQ(entry<VerolaPluginApiVersionFn>("VerolaPluginApiVersion")(), VEROLA_PLUGIN_API_VERSION);
}

TEST_F(MapViewLibraryTest, TheProgramDrivesTheMapThroughTheEntryPoints)
{
    SmallStudy study;
    g_mapList = QStringList{"Shape=regions.shp", "NameField=NAME"};
    g_tableRequests = 0;
    QWidget mainWindow;

    entry<DllSetDesFn>("DllSetDes")(plugin::TextBuffer("study").data, plugin::TextBuffer("/data").data);
    QPointer<QWidget> window = static_cast<QWidget*>(entry<DllMapCreateFn>("DllMapCreate")(&mainWindow));
    ASSERT_TRUE(window);
    EXPECT_EQ(window->parentWidget(), &mainWindow);
    EXPECT_TRUE(window->isWindow());
    EXPECT_EQ(window->windowTitle(), "Карта — study");
    entry<DllMapSetCallBackFn>("DllSetCallBack")(window, replaceList, keepMapList, showTable);
    VerolaTable* table = plugin::handleOf(&study.table);
    entry<DllMapSetTablesFn>("DllMapSetTables")(window, table, table, 0);
    plugin::TextBuffer dataDirectory(study.data.path());
    entry<DllMapLoadMapFn>("DllMapLoadMap")(window, dataDirectory.data, nullptr);

    auto showObject = entry<DllGetShowObjectFlagFn>("DllGetShowObjectFlag");
    EXPECT_EQ(showObject(window, nullptr), 111);
    auto nameToNode = entry<DllMapNameToNodeFn>("DllMapNameToNode");
    const QByteArray south = QStringLiteral("Южный").toUtf8();
    EXPECT_EQ(nameToNode(window, plugin::toString(south)), kSouth);
    EXPECT_EQ(showObject(window, nullptr), kSouth);
    const QByteArray city = QStringLiteral("Город").toUtf8();
    EXPECT_EQ(nameToNode(window, plugin::toString(city)), -1);

    CoordIndex index = SmallStudy::year(1);
    const QByteArray kind = QStringLiteral("Загрязнения").toUtf8();
    const QByteArray unit = QStringLiteral("мг/м³").toUtf8();
    entry<DllSetMapFromTableFn>("DllSetMapFromTable")(window, 1, nullptr, index.data(), 0, 2, plugin::toString(kind),
        plugin::toString(unit));
    // The heading names the slice the table window asked for.
    auto* heading = window->findChild<QWidget*>("heading");
    ASSERT_NE(heading, nullptr);
    EXPECT_EQ(heading->property("text").toString(), "Загрязнения — 2021");

    window->findChild<QAction*>("tableAction")->trigger();
    EXPECT_EQ(g_tableRequests, 1);

    window->show();
    entry<DllMapHideFn>("DllMapHide")(window);
    EXPECT_FALSE(window->isVisible());
    entry<DllMapCloseFn>("DllMapClose")(window);
    EXPECT_TRUE(window.isNull());
}
