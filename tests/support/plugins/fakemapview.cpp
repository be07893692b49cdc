// A map window library for the tests: records its calls; FAKE_PARTIAL leaves out
// DllGetShowObjectFlag, DllSetCallBack, DllMapNameToNode and DllSetMapFromTable.
#include "fakewindow.h"
#include "pluginlog.h"
#include "plugins/api/pluginhandles.h"

#include <algorithm>

using verola::test::pluginLog;
using namespace verola::plugin;

extern "C" {

VEROLA_PLUGIN_EXPORT int VerolaPluginApiVersion(void)
{
    return FAKE_API_VERSION;
}

VEROLA_PLUGIN_EXPORT VerolaWindow DllMapCreate(VerolaHandle application)
{
    return fake::createRecorded("DllMapCreate", application, VEROLA_NOTIFY_MAP_CLOSE, VEROLA_NOTIFY_MAP_HIDE);
}

VEROLA_PLUGIN_EXPORT void DllMapClose(VerolaWindow window)
{
    pluginLog().calls.append(QStringLiteral("DllMapClose"));
    fake::close(window);
}

VEROLA_PLUGIN_EXPORT void DllMapHide(VerolaWindow window)
{
    pluginLog().calls.append(QStringLiteral("DllMapHide"));
    fake::hide(window);
}

VEROLA_PLUGIN_EXPORT void DllMapSetTables(VerolaWindow, VerolaTable* table, VerolaTable* partner, int mode)
{
    fake::setTablesRecorded("DllMapSetTables", table, partner, mode);
}

VEROLA_PLUGIN_EXPORT void DllMapLoadMap(VerolaWindow, char* text256, VerolaBlock* block)
{
    pluginLog().calls.append(QStringLiteral("DllMapLoadMap"));
    pluginLog().mapText = fromText(text256);
    pluginLog().block = block;
}

VEROLA_PLUGIN_EXPORT void DllSetDes(const char* name, const char* directory)
{
    fake::setDesRecorded(name, directory);
}

#if !defined(FAKE_PARTIAL)
VEROLA_PLUGIN_EXPORT int DllGetShowObjectFlag(VerolaWindow, VerolaSender sender)
{
    pluginLog().calls.append(QStringLiteral("DllGetShowObjectFlag"));
    pluginLog().sender = sender;
    return pluginLog().showObjectFlag;
}

VEROLA_PLUGIN_EXPORT void DllSetCallBack(VerolaWindow, VerolaSetListCallback c, VerolaMapListCallback d,
    VerolaShowTableCallback e)
{
    pluginLog().calls.append(QStringLiteral("DllSetCallBack"));
    pluginLog().c = c;
    pluginLog().d = d;
    pluginLog().e = e;
}

VEROLA_PLUGIN_EXPORT int DllMapNameToNode(VerolaWindow, VerolaString name)
{
    pluginLog().calls.append(QStringLiteral("DllMapNameToNode"));
    pluginLog().nodeName = fromString(name);
    return pluginLog().node;
}

VEROLA_PLUGIN_EXPORT void DllSetMapFromTable(VerolaWindow, int p1, VerolaBlock* block, int* index12, int p3, int p4,
    VerolaString p5, VerolaString p6)
{
    pluginLog().calls.append(QStringLiteral("DllSetMapFromTable"));
    pluginLog().p1 = p1;
    pluginLog().block = block;
    std::copy(index12, index12 + 12, pluginLog().index);
    index12[0] = -99; // the program hands a copy: this must not reach the caller's index
    pluginLog().p3 = p3;
    pluginLog().p4 = p4;
    pluginLog().p5 = fromString(p5);
    pluginLog().p6 = fromString(p6);
}
#endif

} // extern "C"
