// An optimizer library for the tests; FAKE_PARTIAL leaves out OptSetCallBack.
#include "fakewindow.h"
#include "pluginlog.h"

using verola::test::pluginLog;

extern "C" {

VEROLA_PLUGIN_EXPORT int VerolaPluginApiVersion(void)
{
    return FAKE_API_VERSION;
}

VEROLA_PLUGIN_EXPORT double Optimize(int a, int b, double* scratch, double x)
{
    pluginLog().calls.append(QStringLiteral("Optimize %1 %2 %3").arg(a).arg(b).arg(x));
    *scratch = x;
    return pluginLog().optimum;
}

#if !defined(FAKE_PARTIAL)
VEROLA_PLUGIN_EXPORT void OptSetCallBack(int a, VerolaFunctionCallback f, VerolaFunctionCallback g, void*)
{
    pluginLog().calls.append(QStringLiteral("OptSetCallBack"));
    pluginLog().callBackFirst = a;
    pluginLog().f = f;
    pluginLog().g = g;
}
#endif

} // extern "C"
