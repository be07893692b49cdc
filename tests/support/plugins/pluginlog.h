#pragma once

// What the test plug-in libraries were called with, kept outside them so that it outlives their
// unloading: the tests and the libraries link this one shared library.

#include "plugins/api/verolaplugin.h"

#include <QString>
#include <QStringList>
#include <functional>

#if defined(_WIN32)
#if defined(VEROLA_PLUGIN_LOG_LIBRARY)
#define VEROLA_PLUGIN_LOG_EXPORT __declspec(dllexport)
#else
#define VEROLA_PLUGIN_LOG_EXPORT __declspec(dllimport)
#endif
#else
#define VEROLA_PLUGIN_LOG_EXPORT __attribute__((visibility("default")))
#endif

namespace verola::test {

struct VEROLA_PLUGIN_LOG_EXPORT PluginLog {
    // Entry points in the order they were called ("DllTableCreate", "DllSetDes", …).
    QStringList calls;

    // The last arguments of the entry points.
    QString desName;
    QString desDirectory;
    VerolaHandle createdWith = nullptr;
    VerolaTable* table = nullptr;
    VerolaTable* partner = nullptr;
    int mode = -1;
    QString kindName;
    QString unitText;
    VerolaBlock* block = nullptr;
    VerolaPanel* panel = nullptr;
    QString mapText;
    int p1 = 0;
    int index[12] = {};
    int p3 = 0;
    int p4 = 0;
    QString p5;
    QString p6;
    QString nodeName;
    VerolaSender sender = nullptr;
    int showObject = 0;
    QString modelName;
    QString modelDirectory;
    VerolaTable* modelTables[3] = {};
    VerolaList* modelList = nullptr;
    int modelMode = -1;
    int callBackFirst = 0;
    int databaseCovers[4] = {};

    // The callbacks handed over.
    VerolaSetMapFromTableCallback a = nullptr;
    VerolaNameToNodeCallback b = nullptr;
    VerolaSetListCallback c = nullptr;
    VerolaMapListCallback d = nullptr;
    VerolaShowTableCallback e = nullptr;
    VerolaFunctionCallback f = nullptr;
    VerolaFunctionCallback g = nullptr;
    VerolaFunctionCallback h = nullptr;
    VerolaProgressCallback progress = nullptr;

    // What the libraries answer.
    int node = 7;
    int showObjectFlag = 5;
    bool showsTable = true; // DllTabEQTable
    double optimum = 42.5;  // Optimize
    double modelValue = 3.25; // DllModelSingleFunction

    // A model run reports progress until it is stopped (or gives up after maxSteps).
    int progressSteps = 0;
    int maxSteps = 100000;
    bool stopped = false;
    // Called at every progress step of a run, after the progress callback returned.
    std::function<void(int step)> onStep;

    void clear() { *this = PluginLog(); }
    int count(const QString& call) const { return static_cast<int>(calls.count(call)); }
};

VEROLA_PLUGIN_LOG_EXPORT PluginLog& pluginLog();

#if defined(VEROLA_TEST_PLUGIN_DIR)
// A folder of the test libraries built for the tests ("complete", "partial", "oldapi").
inline QString pluginFolder(const char* variant)
{
    return QStringLiteral(VEROLA_TEST_PLUGIN_DIR "/") + QString::fromLatin1(variant);
}
#endif

} // namespace verola::test
