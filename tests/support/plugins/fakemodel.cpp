// The dispersion model library for the tests, or with FAKE_EXPOSURE the exposure model's. A run
// (mode 1) reports progress until its stop entry point is called; FAKE_PARTIAL leaves out the
// show-all entry point.
#include "fakewindow.h"
#include "pluginlog.h"
#include "plugins/api/pluginhandles.h"

using verola::test::pluginLog;

#if defined(FAKE_EXPOSURE)
#define FAKE_CALLBACK DllRiskCallBack
#define FAKE_SHOW_ALL RiskModelShowAll
#define FAKE_STOP DllRiskStop
#else
#define FAKE_CALLBACK DllModelCallBack
#define FAKE_SHOW_ALL DllModelShowAll
#define FAKE_STOP DllModelStop
#endif
#define FAKE_NAME(entry) QStringLiteral(#entry)
#define FAKE_TEXT(entry) FAKE_NAME(entry)

extern "C" {

VEROLA_PLUGIN_EXPORT int VerolaPluginApiVersion(void)
{
    return FAKE_API_VERSION;
}

#if !defined(FAKE_EXPOSURE)
VEROLA_PLUGIN_EXPORT double DllModelSingleFunction(double x)
{
    pluginLog().calls.append(QStringLiteral("DllModelSingleFunction"));
    return pluginLog().modelValue + x;
}
#endif

VEROLA_PLUGIN_EXPORT void FAKE_CALLBACK(int a, VerolaFunctionCallback h, VerolaFunctionCallback g,
    VerolaProgressCallback progress)
{
    pluginLog().calls.append(FAKE_TEXT(FAKE_CALLBACK));
    pluginLog().callBackFirst = a;
    pluginLog().h = h;
    pluginLog().g = g;
    pluginLog().progress = progress;
}

#if !defined(FAKE_PARTIAL)
VEROLA_PLUGIN_EXPORT void FAKE_SHOW_ALL(VerolaHandle application, const char* name, const char* directory,
    int showObject, VerolaTable* t1, VerolaTable* t2, VerolaTable* t3, int, int, int, int, VerolaList* mapList, int mode)
{
    verola::test::PluginLog& log = pluginLog();
    log.calls.append(FAKE_TEXT(FAKE_SHOW_ALL));
    log.createdWith = application;
    log.modelName = QString::fromUtf8(name);
    log.modelDirectory = QString::fromUtf8(directory);
    log.showObject = showObject;
    log.modelTables[0] = t1;
    log.modelTables[1] = t2;
    log.modelTables[2] = t3;
    log.modelList = mapList;
    log.modelMode = mode;
    log.stopped = false;
    // A line of this library's own constant data, as a model writes its map settings.
    verola::plugin::listOf(mapList)->append(QStringLiteral("Model=" "written by the model"));
    if (mode != 1 || !log.progress)
        return;
    const QByteArray what = QByteArrayLiteral("Расчет");
    while (!log.stopped && log.progressSteps < log.maxSteps) {
        const int step = ++log.progressSteps;
        const QByteArray source = QByteArrayLiteral("Источник ") + QByteArray::number(step);
        log.progress(VerolaString{what.constData(), static_cast<int>(what.size())},
            VerolaString{source.constData(), static_cast<int>(source.size())}, step * 10);
        if (log.onStep)
            log.onStep(step);
    }
}
#endif

VEROLA_PLUGIN_EXPORT void FAKE_STOP(VerolaHandle, VerolaSender sender)
{
    pluginLog().calls.append(FAKE_TEXT(FAKE_STOP));
    pluginLog().sender = sender;
    pluginLog().stopped = true;
}

} // extern "C"
