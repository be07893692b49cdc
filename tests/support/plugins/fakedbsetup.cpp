// The database definition library for the tests; FAKE_PARTIAL leaves out SetDBParam.
#include "fakewindow.h"
#include "pluginlog.h"

#include <algorithm>

using verola::test::pluginLog;

extern "C" {

VEROLA_PLUGIN_EXPORT int VerolaPluginApiVersion(void)
{
    return FAKE_API_VERSION;
}

#if !defined(FAKE_PARTIAL)
VEROLA_PLUGIN_EXPORT void SetDBParam(VerolaHandle application, int emission, int concentration, int morbidity,
    int mortality)
{
    pluginLog().calls.append(QStringLiteral("SetDBParam"));
    pluginLog().createdWith = application;
    const int covers[4] = {emission, concentration, morbidity, mortality};
    std::copy(covers, covers + 4, pluginLog().databaseCovers);
}
#endif

} // extern "C"
