// A table window library for the tests: records its calls; FAKE_PARTIAL leaves out DllTableHide,
// DllTabEQTable and DllSetCallBack.
#include "fakewindow.h"
#include "pluginlog.h"
#include "plugins/api/pluginhandles.h"

using verola::test::pluginLog;
using namespace verola::plugin;

extern "C" {

VEROLA_PLUGIN_EXPORT int VerolaPluginApiVersion(void)
{
    return FAKE_API_VERSION;
}

VEROLA_PLUGIN_EXPORT VerolaWindow DllTableCreate(VerolaHandle application)
{
    return fake::createRecorded("DllTableCreate", application, VEROLA_NOTIFY_TABLE_CLOSE, VEROLA_NOTIFY_TABLE_HIDE);
}

VEROLA_PLUGIN_EXPORT void DllTableClose(VerolaWindow window)
{
    pluginLog().calls.append(QStringLiteral("DllTableClose"));
    fake::close(window);
}

#if !defined(FAKE_PARTIAL)
VEROLA_PLUGIN_EXPORT void DllTableHide(VerolaWindow window)
{
    pluginLog().calls.append(QStringLiteral("DllTableHide"));
    fake::hide(window);
}
#endif

VEROLA_PLUGIN_EXPORT void DllTableSetTables(VerolaWindow, VerolaTable* table, VerolaTable* partner, int mode)
{
    fake::setTablesRecorded("DllTableSetTables", table, partner, mode);
}

VEROLA_PLUGIN_EXPORT void DllTableLoadTable(VerolaWindow, const char* kindName, const char* unitText,
    VerolaBlock* block, VerolaPanel* panel)
{
    pluginLog().calls.append(QStringLiteral("DllTableLoadTable"));
    pluginLog().kindName = fromText(kindName);
    pluginLog().unitText = fromText(unitText);
    pluginLog().block = block;
    pluginLog().panel = panel;
}

#if !defined(FAKE_PARTIAL)
VEROLA_PLUGIN_EXPORT int DllTabEQTable(VerolaWindow, VerolaTable* table)
{
    pluginLog().calls.append(QStringLiteral("DllTabEQTable"));
    return pluginLog().showsTable && table == pluginLog().table;
}
#endif

VEROLA_PLUGIN_EXPORT void DllSetDes(const char* name, const char* directory)
{
    fake::setDesRecorded(name, directory);
}

#if !defined(FAKE_PARTIAL)
VEROLA_PLUGIN_EXPORT void DllSetCallBack(VerolaWindow, VerolaSetMapFromTableCallback a, VerolaNameToNodeCallback b,
    void*)
{
    pluginLog().calls.append(QStringLiteral("DllSetCallBack"));
    pluginLog().a = a;
    pluginLog().b = b;
}
#endif

} // extern "C"
