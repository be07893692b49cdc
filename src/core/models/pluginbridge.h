#pragma once

#include "core/coreexport.h"
#include "plugins/api/verolaplugin.h"

#include <QString>
#include <QStringList>
#include <array>
#include <memory>

class QLibrary;
class QObject;

namespace verola {

class TTab;
class TTablePanel;
class TWorkspace;

// The six outside libraries, by the stem of their file name.
enum class PluginLibrary { TableView, MapView, Optimizer, DispersionModel, ExposureModel, DbSetup };
constexpr int kPluginLibraryCount = 6;

// "TableView" …
VEROLA_CORE_EXPORT QString pluginStem(PluginLibrary library);
// The file the program loads: the stem with this platform's suffix ("TableView.so", "TableView.dll").
VEROLA_CORE_EXPORT QString pluginFileName(const QString& stem);
// Whether a library's file is in a directory (with or without its trailing separator).
VEROLA_CORE_EXPORT bool pluginPresent(const QString& directory, const QString& stem);

// What the bridge needs of the window side: the windows are QWidgets the core cannot touch.
class VEROLA_CORE_EXPORT PluginHost {
public:
    virtual ~PluginHost() = default;
    // The table panel the table and map commands act on; null until one was chosen.
    virtual TTablePanel* currentTablePanel() const = 0;
    // Raises a plug-in window above the others and activates it.
    virtual void bringToFront(VerolaWindow window) = 0;
    // Brings the main window to the front; with showAndFocus it is also shown and focused.
    virtual void frontMainWindow(bool showAndFocus) = 0;
    // The hourglass while a model runs.
    virtual void setWaitCursor(bool wait) = 0;
};

// The bridge to the plug-in libraries: loads them by name from the program directory, looks
// their entry points up, calls them when they were found, and answers their callbacks. The main
// window owns one; while it lives it is the bridge the callbacks (plain C functions) reach.
class VEROLA_CORE_EXPORT PluginBridge {
public:
    PluginBridge(TWorkspace& workspace, PluginHost& host);
    ~PluginBridge();
    PluginBridge(const PluginBridge&) = delete;
    PluginBridge& operator=(const PluginBridge&) = delete;

    // The bridge the callbacks act on: the one created last that still lives; null when none.
    static PluginBridge* current();

    // Where the libraries are looked for; the program directory unless set otherwise.
    QString programDirectory() const { return m_directory; }
    void setProgramDirectory(const QString& directory);
    bool present(PluginLibrary library) const;

    // Start: remembers the main window's handle and loads the optimizer, registering its callbacks.
    void start(VerolaHandle application);
    // End: closes the table window and unloads its library, then the map's, then the optimizer.
    void shutdown();
    // Closes the table window and unloads its library, then the map's: the windows never close
    // themselves, so the program cannot end while they are open.
    void closeWindows();

    // --- Commands of the main window -------------------------------------------------------
    // The table window command: shows the panel's table (with its partner table and mode).
    void showTableWindow(TTablePanel* panel, int mode, bool bringToFront);
    // The map window command: shows the panel's table as a map of the regions.
    void showMapWindow(TTablePanel* panel, bool bringToFront);
    // A configuration was opened: the loaded window libraries learn its name and directory.
    void configurationOpened();
    // The cells or lists of a table changed: the table window reloads it when it shows that table,
    // the map window when it shows it or its partner. The bridge hears every change the
    // workspace announces by itself.
    void tableChanged(TTab& table);
    // A notification a plug-in window sent; false for a number that is none of them.
    bool notify(int number);
    // The model commands: a run (mode 1, with progress and stop) or the interactive command.
    void dispersionModel(bool run, VerolaSender sender);
    void exposureModel(bool run, VerolaSender sender);
    // The database definition tool, told which block kinds are uncovered.
    void defineDatabases(bool emission, bool concentration, bool morbidity, bool mortality);

    // --- State -----------------------------------------------------------------------------
    bool isLoaded(PluginLibrary library) const;
    VerolaWindow tableWindow() const { return m_tableWindow; }
    VerolaWindow mapWindow() const { return m_mapWindow; }
    VerolaHandle applicationHandle() const { return m_handle; }

    // --- Callbacks, reached through current() ------------------------------------------------
    void setMapFromTable(int p1, const int* index12, int p3, int p4, VerolaString p5, VerolaString p6);
    int nameToNode(VerolaString name);
    VerolaTable* setList(int axis, VerolaList* lines, VerolaString kind);
    void mapList(VerolaList* list, bool toMapList);
    void showTable();
    double modelFunction(double x);
    double optimize(double x);
    void progress(VerolaString s1, VerolaString s2, int percent);
    // Says something to the user through the feedback.
    void report(const QString& text);

private:
    struct Entries;
    struct ModelCall;

    bool load(PluginLibrary library);
    // Loads the table or map library and looks its entries up, unless it is loaded; says when it cannot.
    bool openWindowLibrary(PluginLibrary library);
    // Unloads a window library: the entries are forgotten only when it really went.
    void unloadWindowLibrary(PluginLibrary library);
    bool unload(PluginLibrary library);
    void lookUpTableEntries();
    void lookUpMapEntries();
    void lookUpOptimizerEntries();
    void createTableWindow();
    void createMapWindow();
    // Closes the table or map window, then unloads its library.
    void closeWindow(PluginLibrary library);
    void runModel(const ModelCall& call, bool run, VerolaSender sender);
    void restoreHandle() { m_handle = m_savedHandle; }
    // Every table of the blocks may have changed (a configuration was opened).
    void allTablesChanged();
    void refreshMapWindow(const TTab& changed);

    TWorkspace& m_workspace;
    PluginHost& m_host;
    QString m_directory;
    VerolaHandle m_savedHandle = nullptr;
    VerolaHandle m_handle = nullptr;
    std::array<std::unique_ptr<QLibrary>, kPluginLibraryCount> m_libraries;
    std::unique_ptr<Entries> m_entries;
    VerolaWindow m_tableWindow = nullptr;
    VerolaWindow m_mapWindow = nullptr;
    // What the map window was last given, so that it is given again when it changes.
    TTab* m_mapTable = nullptr;
    TTab* m_mapPartner = nullptr;
    PluginBridge* m_previous = nullptr;
    // The context of the connections to the workspace's notifier: they end with the bridge.
    std::unique_ptr<QObject> m_listener;
};

// The message that lists entry points a library lacks: "Не могу найти: ", a line of dashes,
// then each name on its own line.
VEROLA_CORE_EXPORT QString missingEntriesMessage(const QStringList& names);

} // namespace verola
