#include "core/models/pluginbridge.h"

#include "core/app/transfer.h"
#include "core/app/workingfiles.h"
#include "core/app/workspace.h"
#include "core/platform/errors.h"
#include "plugins/api/pluginhandles.h"

#include <QDir>
#include <QFileInfo>
#include <QLibrary>
#include <algorithm>
#include <exception>
#include <new>

namespace verola {

using plugin::handleOf;
using plugin::TextBuffer;

namespace {

// What the model runs pass as the show-object value and the exposure command without a map
// window: the libraries give it no meaning of their own.
constexpr int kNoShowObject = 111;

PluginBridge* s_current = nullptr;

int slot(PluginLibrary library)
{
    return static_cast<int>(library);
}

// Where a library's file is (or would be) in a directory.
QString libraryPath(const QString& directory, const QString& stem)
{
    return QDir::cleanPath(directory + u'/' + pluginFileName(stem));
}

// The library's name as the messages write it.
QString messageName(PluginLibrary library)
{
    return pluginStem(library) + QStringLiteral(".dll");
}

template <typename Entry>
void lookUp(QLibrary& library, const char* name, Entry& entry, QStringList* missing = nullptr,
    const char* listedAs = nullptr)
{
    entry = reinterpret_cast<Entry>(library.resolve(name));
    if (!entry && missing)
        missing->append(QString::fromLatin1(listedAs ? listedAs : name));
}

TTab* partnerTable(TTablePanel& panel)
{
    auto* block = dynamic_cast<TCompPanel*>(panel.Owner());
    if (!block)
        return nullptr;
    switch (panel.Tag) {
    case 0:
    case 2:
        return &panel.Table();
    case 1:
        return &block->Est->Table();
    case 3:
        return &block->Extr->Table();
    default:
        return nullptr; // the Sel panel has no partner
    }
}

// A callback must not let an exception unwind into the library that called it.
template <typename Result, typename Call>
Result guarded(Result fallback, Call call)
{
    PluginBridge* bridge = PluginBridge::current();
    if (!bridge)
        return fallback;
    try {
        return call(*bridge);
    } catch (const EPlatformError& error) {
        bridge->report(error.message());
    } catch (const std::bad_alloc&) {
        bridge->report(outOfMemoryMessage(QStringLiteral("вызов из библиотеки окна или модели")));
    } catch (const std::exception& error) {
        bridge->report(QString::fromLocal8Bit(error.what()));
    } catch (...) {
        bridge->report(QStringLiteral("Неизвестная ошибка"));
    }
    return fallback;
}

} // namespace

// --- The callbacks handed to the libraries ------------------------------------------------------

extern "C" {

static void setMapFromTableCallback(int p1, const int* index12, int p3, int p4, VerolaString p5, VerolaString p6)
{
    guarded(0, [&](PluginBridge& bridge) {
        bridge.setMapFromTable(p1, index12, p3, p4, p5, p6);
        return 0;
    });
}

static int nameToNodeCallback(VerolaString name)
{
    return guarded(-1, [&](PluginBridge& bridge) { return bridge.nameToNode(name); });
}

static VerolaTable* setListCallback(int axis, VerolaList* lines, VerolaString kind)
{
    return guarded<VerolaTable*>(nullptr, [&](PluginBridge& bridge) { return bridge.setList(axis, lines, kind); });
}

static void mapListCallback(VerolaList* list, int toMapList)
{
    guarded(0, [&](PluginBridge& bridge) {
        bridge.mapList(list, toMapList != 0);
        return 0;
    });
}

static void showTableCallback(void)
{
    guarded(0, [](PluginBridge& bridge) {
        bridge.showTable();
        return 0;
    });
}

// F: the dispersion model's function, for the optimizer.
static double modelFunctionCallback(double x)
{
    return guarded(0.0, [x](PluginBridge& bridge) { return bridge.modelFunction(x); });
}

// G and G': nothing the libraries may rely on.
static double noValueCallback(double)
{
    return 0.0;
}

// H: the optimizer, for the models.
static double optimizeCallback(double x)
{
    return guarded(0.0, [x](PluginBridge& bridge) { return bridge.optimize(x); });
}

static void progressCallback(VerolaString s1, VerolaString s2, int percent)
{
    guarded(0, [&](PluginBridge& bridge) {
        bridge.progress(s1, s2, percent);
        return 0;
    });
}

} // extern "C"

// --- Library files ---------------------------------------------------------------------------------

QString pluginStem(PluginLibrary library)
{
    static const char* const stems[kPluginLibraryCount] = {"TableView", "MapView", "Optimizer", "DispersionModel",
        "ExposureModel", "DbSetup"};
    return QString::fromLatin1(stems[slot(library)]);
}

QString pluginFileName(const QString& stem)
{
#if defined(Q_OS_WIN)
    return stem + QStringLiteral(".dll");
#else
    return stem + QStringLiteral(".so");
#endif
}

bool pluginPresent(const QString& directory, const QString& stem)
{
    return QFileInfo::exists(libraryPath(directory, stem));
}

QString missingEntriesMessage(const QStringList& names)
{
    QString text = QStringLiteral("Не могу найти: \r\n") + QString(26, u'-') + QStringLiteral("\r\n");
    for (const QString& name : names)
        text += name + QStringLiteral("\r\n");
    return text;
}

// --- The entry points found ----------------------------------------------------------------------

struct PluginBridge::Entries {
    struct Table {
        DllTableCreateFn DllTableCreate = nullptr;
        DllTableCloseFn DllTableClose = nullptr;
        DllTableHideFn DllTableHide = nullptr;
        DllTableSetTablesFn DllTableSetTables = nullptr;
        DllTableLoadTableFn DllTableLoadTable = nullptr;
        DllTabEQTableFn DllTabEQTable = nullptr;
        DllSetDesFn DllSetDes = nullptr;
        DllTableSetCallBackFn DllSetCallBack = nullptr;
    };
    struct Map {
        DllMapCreateFn DllMapCreate = nullptr;
        DllMapCloseFn DllMapClose = nullptr;
        DllMapHideFn DllMapHide = nullptr;
        DllMapSetTablesFn DllMapSetTables = nullptr;
        DllMapLoadMapFn DllMapLoadMap = nullptr;
        DllSetDesFn DllSetDes = nullptr;
        DllGetShowObjectFlagFn DllGetShowObjectFlag = nullptr;
        DllMapSetCallBackFn DllSetCallBack = nullptr;
        DllMapNameToNodeFn DllMapNameToNode = nullptr;
        DllSetMapFromTableFn DllSetMapFromTable = nullptr;
    };
    struct Optimizer {
        OptimizeFn Optimize = nullptr;
        OptSetCallBackFn OptSetCallBack = nullptr;
    };

    Table table;
    Map map;
    Optimizer optimizer;
    // DispersionModel, while one of its commands runs
    DllModelSingleFunctionFn DllModelSingleFunction = nullptr;
    DllModelStopFn DllModelStop = nullptr;
    // ExposureModel, while its run runs
    DllRiskStopFn DllRiskStop = nullptr;

    void forget(PluginLibrary library)
    {
        switch (library) {
        case PluginLibrary::TableView:
            table = {};
            break;
        case PluginLibrary::MapView:
            map = {};
            break;
        case PluginLibrary::Optimizer:
            optimizer = {};
            break;
        case PluginLibrary::DispersionModel:
            DllModelSingleFunction = nullptr;
            DllModelStop = nullptr;
            break;
        case PluginLibrary::ExposureModel:
            DllRiskStop = nullptr;
            break;
        case PluginLibrary::DbSetup:
            break;
        }
    }
};

// --- The bridge ----------------------------------------------------------------------------------

PluginBridge::PluginBridge(TWorkspace& workspace, PluginHost& host)
    : m_workspace(workspace), m_host(host), m_directory(workspace.state().programDirectory),
      m_entries(std::make_unique<Entries>()), m_previous(s_current), m_listener(std::make_unique<QObject>())
{
    s_current = this;
    FlowNotifier& notifier = m_workspace.notifier();
    QObject::connect(&notifier, &FlowNotifier::tableChanged, m_listener.get(), [this](TTablePanel* panel) {
        if (panel)
            tableChanged(panel->Table());
    });
    QObject::connect(&notifier, &FlowNotifier::workspaceReloaded, m_listener.get(), [this] { allTablesChanged(); });
}

PluginBridge::~PluginBridge()
{
    if (s_current == this)
        s_current = m_previous;
}

PluginBridge* PluginBridge::current()
{
    return s_current;
}

void PluginBridge::setProgramDirectory(const QString& directory)
{
    m_directory = directory;
}

bool PluginBridge::present(PluginLibrary library) const
{
    return pluginPresent(m_directory, pluginStem(library));
}

bool PluginBridge::isLoaded(PluginLibrary library) const
{
    const auto& loaded = m_libraries[slot(library)];
    return loaded && loaded->isLoaded();
}

void PluginBridge::report(const QString& text)
{
    m_workspace.state().ui().message(text);
}

bool PluginBridge::load(PluginLibrary library)
{
    if (isLoaded(library))
        return true;
    const QString path = libraryPath(m_directory, pluginStem(library));
    // QLibrary would also try other names ("libTableView.so"); only this file is the library.
    if (!QFileInfo::exists(path))
        return false;
    auto loaded = std::make_unique<QLibrary>(path);
    // Unloading forgets the library, but its code and constant data stay mapped: a string, a
    // meta-object or a function of it may have reached objects that outlive it (a line of the
    // map list, a table's coordinate list, Qt's type registry), and must not dangle.
    loaded->setLoadHints(QLibrary::PreventUnloadHint);
    if (!loaded->load())
        return false;
    VerolaPluginApiVersionFn version = nullptr;
    lookUp(*loaded, "VerolaPluginApiVersion", version);
    if (!version || version() != VEROLA_PLUGIN_API_VERSION) {
        loaded->unload(); // a library of another interface version cannot be called
        return false;
    }
    m_libraries[slot(library)] = std::move(loaded);
    return true;
}

bool PluginBridge::unload(PluginLibrary library)
{
    auto& loaded = m_libraries[slot(library)];
    if (!loaded)
        return true;
    if (!loaded->unload())
        return false;
    loaded.reset();
    m_entries->forget(library);
    restoreHandle();
    return true;
}

void PluginBridge::unloadWindowLibrary(PluginLibrary library)
{
    if (!isLoaded(library))
        return;
    // A window of the library's own classes must be gone before its code is.
    const VerolaWindow window = library == PluginLibrary::TableView ? m_tableWindow : m_mapWindow;
    if (window)
        return;
    if (!unload(library))
        report(QStringLiteral("Не могу выгрузить библиотеку ") + messageName(library));
}

void PluginBridge::lookUpTableEntries()
{
    QLibrary& library = *m_libraries[slot(PluginLibrary::TableView)];
    Entries& e = *m_entries;
    QStringList missing;
    lookUp(library, "DllTableCreate", e.table.DllTableCreate, &missing);
    lookUp(library, "DllTableClose", e.table.DllTableClose, &missing);
    lookUp(library, "DllTableHide", e.table.DllTableHide, &missing);
    lookUp(library, "DllTableSetTables", e.table.DllTableSetTables, &missing);
    lookUp(library, "DllTableLoadTable", e.table.DllTableLoadTable, &missing);
    lookUp(library, "DllTabEQTable", e.table.DllTabEQTable, &missing);
    lookUp(library, "DllSetDes", e.table.DllSetDes, &missing);
    lookUp(library, "DllSetCallBack", e.table.DllSetCallBack, &missing, "SetCallBack");
    if (!missing.isEmpty())
        report(missingEntriesMessage(missing));
}

void PluginBridge::lookUpMapEntries()
{
    QLibrary& library = *m_libraries[slot(PluginLibrary::MapView)];
    Entries& e = *m_entries;
    QStringList missing;
    lookUp(library, "DllMapCreate", e.map.DllMapCreate, &missing);
    lookUp(library, "DllMapClose", e.map.DllMapClose, &missing);
    lookUp(library, "DllMapHide", e.map.DllMapHide, &missing);
    lookUp(library, "DllMapSetTables", e.map.DllMapSetTables, &missing);
    lookUp(library, "DllMapLoadMap", e.map.DllMapLoadMap, &missing);
    lookUp(library, "DllSetDes", e.map.DllSetDes, &missing);
    lookUp(library, "DllGetShowObjectFlag", e.map.DllGetShowObjectFlag, &missing);
    lookUp(library, "DllSetCallBack", e.map.DllSetCallBack, &missing, "SetCallBack");
    lookUp(library, "DllMapNameToNode", e.map.DllMapNameToNode, &missing, "MapNameToNode");
    lookUp(library, "DllSetMapFromTable", e.map.DllSetMapFromTable, &missing, "SetMapFromTable");
    if (!missing.isEmpty())
        report(missingEntriesMessage(missing));
}

void PluginBridge::lookUpOptimizerEntries()
{
    QLibrary& library = *m_libraries[slot(PluginLibrary::Optimizer)];
    Entries& e = *m_entries;
    QStringList missing;
    lookUp(library, "Optimize", e.optimizer.Optimize, &missing);
    lookUp(library, "OptSetCallBack", e.optimizer.OptSetCallBack, &missing);
    if (!missing.isEmpty())
        report(missingEntriesMessage(missing));
}

// --- Start and end ---------------------------------------------------------------------------------

void PluginBridge::start(VerolaHandle application)
{
    m_savedHandle = application;
    m_handle = application;
    m_tableWindow = nullptr;
    m_mapWindow = nullptr;
    if (!load(PluginLibrary::Optimizer)) {
        report(QStringLiteral("Не могу загрузить ") + messageName(PluginLibrary::Optimizer));
        return;
    }
    lookUpOptimizerEntries();
    if (m_entries->optimizer.OptSetCallBack)
        m_entries->optimizer.OptSetCallBack(1, &modelFunctionCallback, &noValueCallback, nullptr);
}

void PluginBridge::shutdown()
{
    closeWindows();
    if (isLoaded(PluginLibrary::Optimizer) && !unload(PluginLibrary::Optimizer))
        report(QStringLiteral("Не могу выгрузить библиотеку ") + messageName(PluginLibrary::Optimizer));
}

void PluginBridge::closeWindows()
{
    closeWindow(PluginLibrary::TableView);
    closeWindow(PluginLibrary::MapView);
}

// --- Table and map windows -------------------------------------------------------------------------

bool PluginBridge::openWindowLibrary(PluginLibrary library)
{
    if (isLoaded(library))
        return true;
    if (!load(library)) {
        report(QStringLiteral("Не могу загрузить ") + messageName(library));
        return false;
    }
    if (library == PluginLibrary::TableView)
        lookUpTableEntries();
    else
        lookUpMapEntries();
    return true;
}

void PluginBridge::createTableWindow()
{
    if (!openWindowLibrary(PluginLibrary::TableView))
        return;
    const Entries& e = *m_entries;
    const ProcessState& state = m_workspace.state();
    if (e.table.DllSetDes)
        e.table.DllSetDes(TextBuffer(state.ConfigName).data, TextBuffer(state.ConfigDirectory).data);
    if (e.table.DllTableCreate)
        m_tableWindow = e.table.DllTableCreate(m_handle);
    if (m_tableWindow && e.table.DllSetCallBack)
        e.table.DllSetCallBack(m_tableWindow, &setMapFromTableCallback, &nameToNodeCallback, nullptr);
}

void PluginBridge::createMapWindow()
{
    if (!openWindowLibrary(PluginLibrary::MapView))
        return;
    const Entries& e = *m_entries;
    const ProcessState& state = m_workspace.state();
    if (e.map.DllSetDes)
        e.map.DllSetDes(TextBuffer(state.ConfigName).data, TextBuffer(state.ConfigDirectory).data);
    if (e.map.DllMapCreate)
        m_mapWindow = e.map.DllMapCreate(m_handle);
    if (m_mapWindow && e.map.DllSetCallBack)
        e.map.DllSetCallBack(m_mapWindow, &setListCallback, &mapListCallback, &showTableCallback);
}

void PluginBridge::closeWindow(PluginLibrary library)
{
    const bool table = library == PluginLibrary::TableView;
    VerolaWindow& window = table ? m_tableWindow : m_mapWindow;
    const DllTableCloseFn closeEntry = table ? m_entries->table.DllTableClose : m_entries->map.DllMapClose;
    // Without its close entry the window cannot be closed, so it and its library stay.
    if (window && closeEntry) {
        closeEntry(window);
        window = nullptr;
    }
    unloadWindowLibrary(library);
}

void PluginBridge::showTableWindow(TTablePanel* panel, int mode, bool bringToFront)
{
    if (!panel)
        return;
    requireBlockLoaded(panel);
    TTab& table = panel->Table();
    SetXYCoord(m_workspace, 1, 2, &table);
    if (!m_tableWindow)
        createTableWindow();
    const Entries& e = *m_entries;
    TTab* partner = partnerTable(*panel);
    if (m_tableWindow && e.table.DllTableSetTables && e.table.DllTableLoadTable && partner) {
        const int active = m_workspace.state().ActiveBlock;
        e.table.DllTableSetTables(m_tableWindow, handleOf(&table), handleOf(partner), mode);
        e.table.DllTableLoadTable(m_tableWindow, TextBuffer(blockPanelKindName(active)).data,
            TextBuffer(blockUnitText(active)).data, handleOf(m_workspace.activeBlock()), handleOf(panel));
    }
    if (bringToFront && m_tableWindow)
        m_host.bringToFront(m_tableWindow);
}

void PluginBridge::showMapWindow(TTablePanel* panel, bool bringToFront)
{
    if (!panel)
        return;
    requireBlockLoaded(panel);
    TTab& table = panel->Table();
    const int mode = table.FCompareMode;
    if (!m_mapWindow)
        createMapWindow();
    const Entries& e = *m_entries;
    TTab* partner = partnerTable(*panel);
    if (m_mapWindow && e.map.DllMapSetTables && e.map.DllMapLoadMap && partner) {
        m_mapTable = &table;
        m_mapPartner = partner;
        e.map.DllMapSetTables(m_mapWindow, handleOf(&table), handleOf(partner), mode);
        TextBuffer directory(m_workspace.state().DataDirectory);
        e.map.DllMapLoadMap(m_mapWindow, directory.data, handleOf(m_workspace.activeBlock()));
    }
    if (bringToFront && m_mapWindow)
        m_host.bringToFront(m_mapWindow);
}

void PluginBridge::configurationOpened()
{
    const ProcessState& state = m_workspace.state();
    const TextBuffer name(state.ConfigName);
    const TextBuffer directory(state.ConfigDirectory);
    if (isLoaded(PluginLibrary::TableView) && m_entries->table.DllSetDes)
        m_entries->table.DllSetDes(name.data, directory.data);
    if (isLoaded(PluginLibrary::MapView) && m_entries->map.DllSetDes)
        m_entries->map.DllSetDes(name.data, directory.data);
}

void PluginBridge::allTablesChanged()
{
    for (int number = 0; number < kBlockCount; ++number) {
        TCompPanel* block = m_workspace.block(number);
        for (TTablePanel* panel : {block->Rule, block->Extr, block->Calc, block->Est})
            tableChanged(panel->Table());
    }
}

void PluginBridge::refreshMapWindow(const TTab& changed)
{
    if (!m_mapWindow || !m_mapTable || !m_entries->map.DllMapSetTables)
        return;
    if (&changed == m_mapTable || &changed == m_mapPartner)
        m_entries->map.DllMapSetTables(m_mapWindow, handleOf(m_mapTable), handleOf(m_mapPartner), m_mapTable->FCompareMode);
}

void PluginBridge::tableChanged(TTab& table)
{
    refreshMapWindow(table);
    const Entries& e = *m_entries;
    if (!m_tableWindow || !e.table.DllTabEQTable || !e.table.DllTableLoadTable || !e.table.DllTabEQTable(m_tableWindow, handleOf(&table)))
        return;
    const QString kind = GetActivePanelName(m_workspace);
    e.table.DllTableLoadTable(m_tableWindow, TextBuffer(kind).data, TextBuffer(blockUnitText(m_workspace.state().ActiveBlock)).data,
        handleOf(m_workspace.activeBlock()), handleOf(m_host.currentTablePanel()));
}

bool PluginBridge::notify(int number)
{
    switch (number) {
    case VEROLA_NOTIFY_TABLE_CLOSE:
        closeWindow(PluginLibrary::TableView);
        m_host.frontMainWindow(true);
        return true;
    case VEROLA_NOTIFY_TABLE_HIDE:
        if (m_tableWindow && m_entries->table.DllTableHide)
            m_entries->table.DllTableHide(m_tableWindow);
        m_host.frontMainWindow(false);
        return true;
    case VEROLA_NOTIFY_MAP_CLOSE:
        closeWindow(PluginLibrary::MapView);
        m_host.frontMainWindow(true);
        return true;
    case VEROLA_NOTIFY_MAP_HIDE:
        if (m_mapWindow && m_entries->map.DllMapHide)
            m_entries->map.DllMapHide(m_mapWindow);
        m_host.frontMainWindow(false);
        return true;
    case VEROLA_NOTIFY_1204:
    case VEROLA_NOTIFY_1214:
        return true;
    default:
        return false;
    }
}

// --- Models and the database definition ------------------------------------------------------------

// What differs between the two model libraries.
struct PluginBridge::ModelCall {
    PluginLibrary library;
    const char* callBackName;
    const char* showAllName;
    const char* stopName;
    bool ProcessState::*running;
    DllModelStopFn Entries::*stop;
};

void PluginBridge::dispersionModel(bool run, VerolaSender sender)
{
    static const ModelCall call{PluginLibrary::DispersionModel, "DllModelCallBack", "DllModelShowAll", "DllModelStop",
        &ProcessState::dispersionModelRunning, &Entries::DllModelStop};
    runModel(call, run, sender);
}

void PluginBridge::exposureModel(bool run, VerolaSender sender)
{
    static const ModelCall call{PluginLibrary::ExposureModel, "DllRiskCallBack", "RiskModelShowAll", "DllRiskStop",
        &ProcessState::exposureModelRunning, &Entries::DllRiskStop};
    runModel(call, run, sender);
}

void PluginBridge::runModel(const ModelCall& call, bool run, VerolaSender sender)
{
    ProcessState& state = m_workspace.state();
    Entries& e = *m_entries;
    bool& running = state.*call.running;
    DllModelStopFn& stop = e.*call.stop;
    if (run && running) {
        // The second click of a run: it stops the model that is still running.
        if (stop)
            stop(m_handle, sender);
        running = false;
        return;
    }
    if (run) {
        m_host.setWaitCursor(true);
        running = true;
    }
    const auto done = [&] {
        restoreHandle();
        if (run)
            m_host.setWaitCursor(false);
    };
    if (!load(call.library)) {
        report(QStringLiteral("Не загружено ") + messageName(call.library));
        done(); // the running flag stays: the next click only clears it
        return;
    }
    QLibrary& library = *m_libraries[slot(call.library)];
    const bool dispersion = call.library == PluginLibrary::DispersionModel;
    DllModelCallBackFn callBack = nullptr;
    DllModelShowAllFn showAll = nullptr;
    if (dispersion)
        lookUp(library, "DllModelSingleFunction", e.DllModelSingleFunction);
    lookUp(library, call.callBackName, callBack);
    lookUp(library, call.showAllName, showAll);
    if (run)
        lookUp(library, call.stopName, stop);
    if (!showAll) {
        report(QStringLiteral("Не могу выполнить ") + QString::fromLatin1(call.showAllName));
        unload(call.library);
        done();
        return;
    }
    if (callBack)
        callBack(1, &optimizeCallback, &noValueCallback, run ? &progressCallback : nullptr);

    TCompPanel& concentration = *m_workspace.block(kConcBlock);
    int showObject = kNoShowObject;
    TTab* first;
    TTab* second;
    TTab* third;
    if (dispersion) {
        first = &concentration.Extr->Table();
        second = &concentration.Calc->Table();
        third = &m_workspace.block(kPolBlock)->Extr->Table();
    } else {
        TCompPanel& dose = *m_workspace.block(kRiskBlock);
        first = &dose.Rule->Table();
        second = &dose.Calc->Table();
        third = &concentration.SelectedSummary()->Table();
        if (!run && m_mapWindow && e.map.DllGetShowObjectFlag)
            showObject = e.map.DllGetShowObjectFlag(m_mapWindow, sender);
    }
    showAll(m_handle, TextBuffer(state.ConfigName).data, TextBuffer(state.ConfigDirectory).data, showObject,
        handleOf(first), handleOf(second), handleOf(third), 1, 1, 1, 1, handleOf(&state.MapList), run ? 1 : 0);

    if (run) {
        const QByteArray empty;
        progress(plugin::toString(empty), plugin::toString(empty), 100);
        running = false;
    }
    if (!unload(call.library))
        report(QStringLiteral("Не могу выгрузить ") + messageName(call.library));
    e.forget(call.library);
    done();
}

void PluginBridge::defineDatabases(bool emission, bool concentration, bool morbidity, bool mortality)
{
    if (!load(PluginLibrary::DbSetup)) {
        report(QStringLiteral("Не загружено ") + messageName(PluginLibrary::DbSetup));
        return;
    }
    SetDBParamFn setParameters = nullptr;
    lookUp(*m_libraries[slot(PluginLibrary::DbSetup)], "SetDBParam", setParameters);
    if (setParameters)
        setParameters(m_handle, emission, concentration, morbidity, mortality);
    else
        report(QStringLiteral("Не могу выполнить SetDBParam"));
    unload(PluginLibrary::DbSetup);
    restoreHandle();
}

// --- What the callbacks do -------------------------------------------------------------------------

void PluginBridge::setMapFromTable(int p1, const int* index12, int p3, int p4, VerolaString p5, VerolaString p6)
{
    if (!m_mapWindow && p4 < 0)
        showMapWindow(m_host.currentTablePanel(), false);
    if (!m_mapWindow || !m_entries->map.DllSetMapFromTable)
        return;
    int index[kAxisCount] = {};
    if (index12)
        std::copy(index12, index12 + kAxisCount, index);
    m_entries->map.DllSetMapFromTable(m_mapWindow, p1, handleOf(m_workspace.activeBlock()), index, p3, p4, p5, p6);
}

int PluginBridge::nameToNode(VerolaString name)
{
    if (!m_mapWindow)
        showMapWindow(m_host.currentTablePanel(), false);
    if (!m_mapWindow || !m_entries->map.DllMapNameToNode)
        return -1;
    return m_entries->map.DllMapNameToNode(m_mapWindow, name);
}

VerolaTable* PluginBridge::setList(int axis, VerolaList* lines, VerolaString kind)
{
    TCompPanel* block = m_workspace.activeBlock();
    if (!block || !lines)
        return nullptr;
    const QStringList& given = *plugin::listOf(lines);
    const QString word = plugin::fromString(kind);
    // The block's own list is gone once replaced: the person says first whether to keep only these.
    if (!ConfirmListFromPlugin(m_workspace, axis, given, word, *block))
        return nullptr;
    TTab* changed = SetListFromPlugin(m_workspace, axis, given, word, *block);
    if (changed)
        (changed == &block->Rule->Table() ? block->Rule : block->Calc)->tableChanged();
    return changed ? handleOf(changed) : nullptr;
}

void PluginBridge::mapList(VerolaList* list, bool toMapList)
{
    if (!list)
        return;
    QStringList& given = *plugin::listOf(list);
    QStringList& kept = m_workspace.state().MapList;
    if (toMapList)
        kept = given;
    else
        given = kept;
}

void PluginBridge::showTable()
{
    if (!m_tableWindow) {
        TTablePanel* panel = m_host.currentTablePanel();
        showTableWindow(panel, panel ? panel->Table().FCompareMode : 0, false);
    }
    if (m_tableWindow)
        m_host.bringToFront(m_tableWindow);
}

double PluginBridge::modelFunction(double x)
{
    if (isLoaded(PluginLibrary::DispersionModel) && m_entries->DllModelSingleFunction)
        return m_entries->DllModelSingleFunction(x);
    return 0.0;
}

double PluginBridge::optimize(double x)
{
    if (!isLoaded(PluginLibrary::Optimizer) || !m_entries->optimizer.Optimize)
        return 0.0;
    double scratch = 0.0;
    return m_entries->optimizer.Optimize(0, 30, &scratch, x);
}

void PluginBridge::progress(VerolaString s1, VerolaString s2, int percent)
{
    Feedback& ui = m_workspace.state().ui();
    ui.progressStatus(0, plugin::fromString(s1));
    ui.progressStatus(1, plugin::fromString(s2));
    ui.progressStatus(2, percent >= 100 ? QString() : QString::number(percent) + u'%');
    ui.processEvents();
}

} // namespace verola
