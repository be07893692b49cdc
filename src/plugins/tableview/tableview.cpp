// The entry points of the table window library, as the program looks them up by name.
#include "plugins/api/pluginhandles.h"
#include "plugins/api/verolaplugin.h"
#include "plugins/tableview/tablewindow.h"

#include <QWidget>
#include <type_traits>

using verola::tableview::TableWindow;
namespace plugin = verola::plugin;

namespace {

TableWindow* windowOf(VerolaWindow window)
{
    return static_cast<TableWindow*>(window);
}

} // namespace

extern "C" {

VEROLA_PLUGIN_EXPORT int VerolaPluginApiVersion(void)
{
    return VEROLA_PLUGIN_API_VERSION;
}

VEROLA_PLUGIN_EXPORT VerolaWindow DllTableCreate(VerolaHandle application)
{
    auto* window = new TableWindow(static_cast<QWidget*>(application));
    window->show();
    return window;
}

// Deletes the window at once: the library may be unloaded right after.
VEROLA_PLUGIN_EXPORT void DllTableClose(VerolaWindow window)
{
    delete windowOf(window);
}

VEROLA_PLUGIN_EXPORT void DllTableHide(VerolaWindow window)
{
    if (window)
        windowOf(window)->hide();
}

VEROLA_PLUGIN_EXPORT void DllTableSetTables(VerolaWindow window, VerolaTable* table, VerolaTable* partner, int mode)
{
    if (window)
        windowOf(window)->setTables(plugin::tableOf(table), plugin::tableOf(partner), mode);
}

VEROLA_PLUGIN_EXPORT void DllTableLoadTable(VerolaWindow window, const char* kindName, const char* unitText,
    VerolaBlock* block, VerolaPanel* panel)
{
    if (window)
        windowOf(window)->loadTable(plugin::fromText(kindName), plugin::fromText(unitText), plugin::blockOf(block),
            plugin::panelOf(panel));
}

VEROLA_PLUGIN_EXPORT int DllTabEQTable(VerolaWindow window, VerolaTable* table)
{
    return window && windowOf(window)->showsTable(plugin::tableOf(table)) ? 1 : 0;
}

VEROLA_PLUGIN_EXPORT void DllSetDes(const char* name, const char* directory)
{
    TableWindow::setDescription(plugin::fromText(name), plugin::fromText(directory));
}

VEROLA_PLUGIN_EXPORT void DllSetCallBack(VerolaWindow window, VerolaSetMapFromTableCallback a,
    VerolaNameToNodeCallback b, void*)
{
    if (window)
        windowOf(window)->setCallbacks(a, b);
}

} // extern "C"

static_assert(std::is_same_v<decltype(&VerolaPluginApiVersion), VerolaPluginApiVersionFn>);
static_assert(std::is_same_v<decltype(&DllTableCreate), DllTableCreateFn>);
static_assert(std::is_same_v<decltype(&DllTableClose), DllTableCloseFn>);
static_assert(std::is_same_v<decltype(&DllTableHide), DllTableHideFn>);
static_assert(std::is_same_v<decltype(&DllTableSetTables), DllTableSetTablesFn>);
static_assert(std::is_same_v<decltype(&DllTableLoadTable), DllTableLoadTableFn>);
static_assert(std::is_same_v<decltype(&DllTabEQTable), DllTabEQTableFn>);
static_assert(std::is_same_v<decltype(&DllSetDes), DllSetDesFn>);
static_assert(std::is_same_v<decltype(&DllSetCallBack), DllTableSetCallBackFn>);
