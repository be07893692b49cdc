#pragma once

#include "gui/guiexport.h"
#include "core/app/blockactions.h"
#include "core/app/processstate.h"
#include "core/models/pluginbridge.h"

#include <QMainWindow>
#include <QPointer>
#include <array>
#include <functional>
#include <memory>

class QAction;
class QActionGroup;
class QComboBox;
class QLabel;
class QMenu;
class QStatusBar;
class QToolBar;

namespace verola {

class HelpForm;
class NavigatorDiagram;
class TCompPanel;
class TRecentFiles;
class TTablePanel;
class TWorkspace;

// The main window: the flow diagram of the five blocks and the commands acting on them. It owns
// the bridge to the plug-in libraries and shows their windows for it.
class VEROLA_GUI_EXPORT TNavigatorForm : public QMainWindow, private PluginHost {
    Q_OBJECT
public:
    TNavigatorForm(ProcessState& state, const QString& programPath, QWidget* parent = nullptr);
    ~TNavigatorForm() override;

    static QString productTitle();
    // The product's web page, opened by "Страница в Internet".
    static QString productPage();
    // What a command whose window a later version brings says meanwhile.
    static QString windowNotBuiltText(const QString& what);

    // --- Menus, tool bar and popup menus -------------------------------------------------------
    QMenu* FileItem = nullptr;
    QAction* OpenItem = nullptr;
    QAction* SaveItem = nullptr;
    QAction* SaveAsItem = nullptr;
    QAction* ExitItem = nullptr;
    QAction* ExitWithoutItem = nullptr;
    TRecentFiles* RecentFiles = nullptr;

    QMenu* ModelsItem = nullptr;
    QAction* ExpertISCItem = nullptr;
    QAction* CalcISCItem = nullptr;
    QAction* ExpertRiskItem = nullptr;
    QAction* CalcRiskItem = nullptr;

    QMenu* DataBaseItem = nullptr;
    QAction* ShowIniItem = nullptr;
    QAction* DBDefineItem = nullptr;
    QAction* IntervalsItem = nullptr;

    QMenu* WindowItem = nullptr;
    QAction* TableWindowItem = nullptr;
    QAction* MapWindowItem = nullptr;
    QAction* ISCWindowItem = nullptr;
    QAction* RiskWindowItem = nullptr;
    QAction* DesWindowItem = nullptr;

    QMenu* HelpMenuItem = nullptr;
    QAction* AboutItem = nullptr;
    QAction* HelpItem = nullptr;
    QAction* Internet1 = nullptr;

    QToolBar* ToolBar1 = nullptr;
    QAction* ToolButton5 = nullptr;
    QAction* ToolButton6 = nullptr;
    QAction* ToolButton2 = nullptr;
    QAction* ToolButtonISCWindow = nullptr;
    QAction* ToolButtonRiskWindow = nullptr;
    QAction* ToolButton14 = nullptr;
    QAction* ToolButton15 = nullptr;
    QAction* ToolButton3 = nullptr;
    QAction* ToolButtonTableWindow = nullptr;
    QAction* ToolButtonMapWindow = nullptr;
    QAction* ToolButtonDesWindow = nullptr;
    QComboBox* DBReviewComboBox = nullptr;

    QMenu* PopupMenu0 = nullptr;
    QActionGroup* TableModeGroup = nullptr; // "Таблица", "Минус фон", "Относительно фона"
    QAction* SaveTableItem = nullptr;
    QAction* LoadTableItem = nullptr;
    QMenu* DBFItem = nullptr;
    QAction* DBFNameItem = nullptr; // "Имена"
    QAction* DBFCodeItem = nullptr; // "Коды"
    QMenu* DBDisPopup = nullptr;
    QMenu* DBMortalPopup = nullptr;

    NavigatorDiagram* FlowDiagram = nullptr;
    // The three panels of the status bar, where the model libraries report their progress.
    QStatusBar* StatusBar1 = nullptr;
    QLabel* StatusPanel(int panel) const { return m_statusPanels.at(panel); }

    // --- Commands ------------------------------------------------------------------------------
    void OpenItemClick();
    void SaveItemClick();
    void SaveAsItemClick();
    void ExitItemClick();
    void ExitWithoutItemClick();
    // Opens a configuration by path, as the command line and the recent-files list do.
    void openConfiguration(const QString& path);

    void DBGeneralPanelClick(TCompPanel& block);
    void RulePanelClick(TCompPanel& block);
    void ExtrPanelClick(TCompPanel& block);
    void CalcPanelClick(TCompPanel& block);
    void EstPanelClick(TCompPanel& block);
    void CalcDosePanelClick();
    void ConfigButtonClick(TCompPanel& block);
    void DBReviewItemClick();
    void DBMortalItemClick();

    // Makes the panel the current table panel and its block the active one.
    void PopupMenu0Popup(TTablePanel* panel);
    TTablePanel* currentTablePanel() const override { return m_currentPanel; }
    // From a mode item when it is given, else from the tool button or a plug-in.
    void TableItemClick(QAction* modeItem = nullptr, bool bringToFront = false);
    void MapWindowItemClick(bool bringToFront = false);
    void SaveTableItemClick();
    void LoadTableItemClick();
    void DBFNameClick(QAction* item);
    void TablePanelDragDrop(TTablePanel* target, TTablePanel* dragged);

    // The model commands; sender is the control clicked.
    void ExpertISCItemClick(QObject* sender);
    void CalcISCItemClick(QObject* sender);
    void ExpertRiskItemClick(QObject* sender);
    void CalcRiskItemClick(QObject* sender);
    void SetPanelBtnClick();

    void ShowIniBtnClick();
    void DesWindowItemClick();
    void AboutItemClick();
    void HelpItemClick(); // the help window, created at the first call
    HelpForm* helpWindow() const;
    void Internet1Click();

    // The steps behind the panels: the database selection of the workbench unless others are set.
    void setBlockSteps(const BlockSteps& steps) { m_steps = steps; }
    TWorkspace& workspace() { return *m_workspace; }
    PluginBridge& plugins() { return *m_plugins; }

Q_SIGNALS:
    // A configuration was chosen from the recent-files list.
    void configurationChosen(const QString& path);

protected:
    // The notifications of the plug-in windows arrive as events of their own types.
    bool event(QEvent* event) override;
    // The table and map windows go first: they refuse to close by themselves, and the
    // program would not end while one of them is open.
    void closeEvent(QCloseEvent* event) override;

    // The windows later versions bring. Each says meanwhile that it is not built.
    virtual EditorChoice openStructureEditor(); // "Структура выборки"
    virtual bool openIntervalWindow();          // intervals from the databases
    void windowNotBuilt(const QString& what);

private:
    void FormCreate(const QString& programPath);
    void FormDestroy();
    void createMenus();
    void createToolBar();
    void createPopupMenus();
    void createStatusBar();
    void wireDiagram();
    void enableByPlugins();
    // Runs a command with the wait cursor; a failure is shown in a message box and reported as
    // false. The operation ("открытие конфигурации") names the command when memory runs out.
    bool runCommand(const QString& operation, const std::function<void()>& command);
    // Runs a save; a failure is shown and reported as false.
    bool trySave(const QString& operation, const std::function<void()>& save) { return runCommand(operation, save); }
    void databaseSelection(TCompPanel& block);
    void databaseReview(int number);
    bool pluginPresent(PluginLibrary library) const;
    QString tableFileExtension(const TTablePanel& panel) const;
    void updateTitle();
    // What a command did, in the status bar, so that a quick one is not taken for nothing.
    void showDone(const ActionResult& result);

    // PluginHost
    void bringToFront(VerolaWindow window) override;
    void frontMainWindow(bool showAndFocus) override;
    void setWaitCursor(bool wait) override;

    ProcessState& m_state;
    std::unique_ptr<TWorkspace> m_workspace;
    BlockSteps m_steps;
    TTablePanel* m_currentPanel = nullptr;
    QAction* m_reviewAction = nullptr;
    std::array<QLabel*, 3> m_statusPanels{};
    std::unique_ptr<PluginBridge> m_plugins;
    QPointer<HelpForm> m_help;
};

} // namespace verola
