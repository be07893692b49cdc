/*
 * The one interface between the workbench and its plug-in libraries ("TableView", "MapView",
 * "Optimizer", "DispersionModel", "ExposureModel", "DbSetup"). Both sides include this header: the
 * program looks the entry points up by name with the types below, a library defines them with
 * C linkage and exports VerolaPluginApiVersion(), which the program checks on load.
 *
 * Handles are opaque here. In this program they are:
 *   VerolaHandle  the main window (a QWidget*), the window plug-in windows are shown for and that
 *                 receives their notifications;
 *   VerolaWindow  a window a create entry point returned, owned by the library until its close;
 *   VerolaTable   a multi-axis table (verola::TTab*);
 *   VerolaList    a string list (QStringList*);
 *   VerolaBlock   a block of the flow diagram (verola::TCompPanel*);
 *   VerolaPanel   a table panel of the flow diagram (verola::TTablePanel*);
 *   VerolaSender  the control a command came from (a QObject*, or null).
 * Texts are zero-terminated UTF-8 in buffers of VEROLA_TEXT_SIZE bytes; strings are counted UTF-8.
 */
#ifndef VEROLA_PLUGIN_H
#define VEROLA_PLUGIN_H

#ifdef __cplusplus
extern "C" {
#endif

#define VEROLA_PLUGIN_API_VERSION 1
#define VEROLA_TEXT_SIZE 256

#if defined(_WIN32)
#define VEROLA_PLUGIN_EXPORT __declspec(dllexport)
#else
#define VEROLA_PLUGIN_EXPORT __attribute__((visibility("default")))
#endif

typedef void* VerolaHandle;
typedef void* VerolaWindow;
typedef void* VerolaSender;
typedef struct VerolaTable VerolaTable;
typedef struct VerolaList VerolaList;
typedef struct VerolaBlock VerolaBlock;
typedef struct VerolaPanel VerolaPanel;

typedef struct VerolaString {
    const char* data;
    int length;
} VerolaString;

/*
 * Notifications a plug-in window sends to the main window: post a QEvent of type
 * VEROLA_NOTIFY_EVENT_BASE + number to the VerolaHandle it was created with.
 */
#define VEROLA_NOTIFY_EVENT_BASE 1000 /* QEvent::User */
#define VEROLA_NOTIFY_TABLE_CLOSE 1124
#define VEROLA_NOTIFY_TABLE_HIDE 1134
#define VEROLA_NOTIFY_MAP_CLOSE 1174
#define VEROLA_NOTIFY_MAP_HIDE 1184
#define VEROLA_NOTIFY_1204 1204
#define VEROLA_NOTIFY_1214 1214

/* Compare modes of the set-tables entry points. */
#define VEROLA_MODE_PLAIN 0
#define VEROLA_MODE_MINUS_BACKGROUND 1
#define VEROLA_MODE_RELATIVE_TO_BACKGROUND 2

/* Every library. */
typedef int (*VerolaPluginApiVersionFn)(void);

/* Callbacks the program hands to the libraries. */
typedef void (*VerolaSetMapFromTableCallback)(int p1, const int* index12, int p3, int p4, VerolaString p5,
    VerolaString p6);                                                                  /* A */
typedef int (*VerolaNameToNodeCallback)(VerolaString name);                            /* B */
typedef VerolaTable* (*VerolaSetListCallback)(int axis, VerolaList* lines, VerolaString kind); /* C */
typedef void (*VerolaMapListCallback)(VerolaList* list, int toMapList);                /* D */
typedef void (*VerolaShowTableCallback)(void);                                         /* E */
typedef double (*VerolaFunctionCallback)(double x);                                    /* F, G, H */
typedef void (*VerolaProgressCallback)(VerolaString s1, VerolaString s2, int percent);

/* Table window, "TableView". */
typedef VerolaWindow (*DllTableCreateFn)(VerolaHandle application);
typedef void (*DllTableCloseFn)(VerolaWindow window);
typedef void (*DllTableHideFn)(VerolaWindow window);
typedef void (*DllTableSetTablesFn)(VerolaWindow window, VerolaTable* table, VerolaTable* partner, int mode);
typedef void (*DllTableLoadTableFn)(VerolaWindow window, const char* kindName, const char* unitText,
    VerolaBlock* block, VerolaPanel* panel);
typedef int (*DllTabEQTableFn)(VerolaWindow window, VerolaTable* table);
typedef void (*DllSetDesFn)(const char* name, const char* directory);
typedef void (*DllTableSetCallBackFn)(VerolaWindow window, VerolaSetMapFromTableCallback a,
    VerolaNameToNodeCallback b, void* none);

/* Map window, "MapView" (DllSetDes as above). */
typedef VerolaWindow (*DllMapCreateFn)(VerolaHandle application);
typedef void (*DllMapCloseFn)(VerolaWindow window);
typedef void (*DllMapHideFn)(VerolaWindow window);
typedef void (*DllMapSetTablesFn)(VerolaWindow window, VerolaTable* table, VerolaTable* partner, int mode);
typedef void (*DllMapLoadMapFn)(VerolaWindow window, char* text256, VerolaBlock* block);
typedef int (*DllGetShowObjectFlagFn)(VerolaWindow window, VerolaSender sender);
typedef void (*DllMapSetCallBackFn)(VerolaWindow window, VerolaSetListCallback c, VerolaMapListCallback d,
    VerolaShowTableCallback e);
typedef int (*DllMapNameToNodeFn)(VerolaWindow window, VerolaString name);
typedef void (*DllSetMapFromTableFn)(VerolaWindow window, int p1, VerolaBlock* activeBlock, int* index12, int p3,
    int p4, VerolaString p5, VerolaString p6);

/* Optimizer, "Optimizer". */
typedef double (*OptimizeFn)(int a, int b, double* scratch, double x);
typedef void (*OptSetCallBackFn)(int a, VerolaFunctionCallback f, VerolaFunctionCallback g, void* none);

/* Dispersion model, "DispersionModel". */
typedef double (*DllModelSingleFunctionFn)(double x);
typedef void (*DllModelCallBackFn)(int a, VerolaFunctionCallback h, VerolaFunctionCallback g,
    VerolaProgressCallback progress);
typedef void (*DllModelShowAllFn)(VerolaHandle application, const char* name, const char* directory, int showObject,
    VerolaTable* concentrationKind1, VerolaTable* concentrationKind2, VerolaTable* emissionKind1, int i1, int i2,
    int i3, int i4, VerolaList* mapList, int mode);
typedef void (*DllModelStopFn)(VerolaHandle application, VerolaSender sender);

/* Exposure model, "ExposureModel". */
typedef void (*DllRiskCallBackFn)(int a, VerolaFunctionCallback h, VerolaFunctionCallback g,
    VerolaProgressCallback progress);
typedef void (*RiskModelShowAllFn)(VerolaHandle application, const char* name, const char* directory, int showObject,
    VerolaTable* doseKind0, VerolaTable* doseKind2, VerolaTable* concentrationSummary, int i1, int i2, int i3, int i4,
    VerolaList* mapList, int mode);
typedef void (*DllRiskStopFn)(VerolaHandle application, VerolaSender sender);

/* Database definition, "DbSetup". */
typedef void (*SetDBParamFn)(VerolaHandle application, int emission, int concentration, int morbidity,
    int mortality);

#ifdef __cplusplus
}
#endif

#endif
