// The map window library "MapView": the entry points the workbench looks up by name.
//
// DllGetShowObjectFlag answers the position on the region axis of the selected region (the first
// selected one that the table has), or 111 when no such region is selected.
// DllMapNameToNode selects the region of the name and answers its position on the region axis,
// -1 when the map has no region of that name or the table no position of it.
// DllMapLoadMap reads the map from the data directory the program writes into the text buffer; the
// buffer is left as it is.
#include "plugins/api/pluginhandles.h"
#include "plugins/api/verolaplugin.h"
#include "plugins/mapview/mapwindow.h"

#include <QPointer>
#include <QWidget>
#include <type_traits>

using verola::mapview::MapWindow;
namespace plugin = verola::plugin;

namespace {

// The configuration's name and folder as last given; a window created later takes them too.
QString g_configName;
QString g_configDirectory;
QList<QPointer<MapWindow>> g_windows;

MapWindow* mapWindowOf(VerolaWindow window)
{
    return static_cast<MapWindow*>(window);
}

} // namespace

extern "C" {

VEROLA_PLUGIN_EXPORT int VerolaPluginApiVersion(void)
{
    return VEROLA_PLUGIN_API_VERSION;
}

VEROLA_PLUGIN_EXPORT void DllSetDes(const char* name, const char* directory)
{
    g_configName = plugin::fromText(name);
    g_configDirectory = plugin::fromText(directory);
    g_windows.removeAll(nullptr);
    for (const QPointer<MapWindow>& window : g_windows)
        window->setDescription(g_configName, g_configDirectory);
}

VEROLA_PLUGIN_EXPORT VerolaWindow DllMapCreate(VerolaHandle application)
{
    auto* window = new MapWindow(static_cast<QWidget*>(application));
    window->setDescription(g_configName, g_configDirectory);
    g_windows.append(window);
    // Shown as it is made: the menu item and the table window's callbacks open the map without
    // bringing it to the front.
    window->show();
    return window;
}

VEROLA_PLUGIN_EXPORT void DllMapClose(VerolaWindow window)
{
    // Deleted at once: the library may be unloaded right after.
    delete mapWindowOf(window);
    g_windows.removeAll(nullptr);
}

VEROLA_PLUGIN_EXPORT void DllMapHide(VerolaWindow window)
{
    if (window)
        mapWindowOf(window)->hide();
}

VEROLA_PLUGIN_EXPORT void DllMapSetTables(VerolaWindow window, VerolaTable* table, VerolaTable* partner, int mode)
{
    if (window)
        mapWindowOf(window)->setTables(plugin::tableOf(table), plugin::tableOf(partner), mode);
}

VEROLA_PLUGIN_EXPORT void DllMapLoadMap(VerolaWindow window, char* text256, VerolaBlock* block)
{
    if (window)
        mapWindowOf(window)->loadMap(plugin::fromText(text256), plugin::blockOf(block));
}

VEROLA_PLUGIN_EXPORT int DllGetShowObjectFlag(VerolaWindow window, VerolaSender)
{
    return window ? mapWindowOf(window)->model().showObjectFlag() : verola::mapview::kNothingSelected;
}

VEROLA_PLUGIN_EXPORT void DllSetCallBack(VerolaWindow window, VerolaSetListCallback c, VerolaMapListCallback d,
    VerolaShowTableCallback e)
{
    if (window)
        mapWindowOf(window)->setCallbacks(c, d, e);
}

VEROLA_PLUGIN_EXPORT int DllMapNameToNode(VerolaWindow window, VerolaString name)
{
    return window ? mapWindowOf(window)->nameToNode(plugin::fromString(name)) : -1;
}

VEROLA_PLUGIN_EXPORT void DllSetMapFromTable(VerolaWindow window, int p1, VerolaBlock* activeBlock, int* index12,
    int, int, VerolaString p5, VerolaString p6)
{
    if (window)
        mapWindowOf(window)->setMapFromTable(p1, plugin::blockOf(activeBlock), index12, plugin::fromString(p5),
            plugin::fromString(p6));
}

} // extern "C"

static_assert(std::is_same_v<decltype(&VerolaPluginApiVersion), VerolaPluginApiVersionFn>);
static_assert(std::is_same_v<decltype(&DllSetDes), DllSetDesFn>);
static_assert(std::is_same_v<decltype(&DllMapCreate), DllMapCreateFn>);
static_assert(std::is_same_v<decltype(&DllMapClose), DllMapCloseFn>);
static_assert(std::is_same_v<decltype(&DllMapHide), DllMapHideFn>);
static_assert(std::is_same_v<decltype(&DllMapSetTables), DllMapSetTablesFn>);
static_assert(std::is_same_v<decltype(&DllMapLoadMap), DllMapLoadMapFn>);
static_assert(std::is_same_v<decltype(&DllGetShowObjectFlag), DllGetShowObjectFlagFn>);
static_assert(std::is_same_v<decltype(&DllSetCallBack), DllMapSetCallBackFn>);
static_assert(std::is_same_v<decltype(&DllMapNameToNode), DllMapNameToNodeFn>);
static_assert(std::is_same_v<decltype(&DllSetMapFromTable), DllSetMapFromTableFn>);
