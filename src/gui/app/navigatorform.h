#pragma once

#include "gui/guiexport.h"
#include "core/app/processstate.h"

#include <QMainWindow>
#include <functional>
#include <memory>

class QMenu;
class QAction;

namespace verola {

class TRecentFiles;
class TWorkspace;

// The main window: the flow diagram of the five blocks and the commands acting on them.
class VEROLA_GUI_EXPORT TNavigatorForm : public QMainWindow {
    Q_OBJECT
public:
    TNavigatorForm(ProcessState& state, const QString& programPath, QWidget* parent = nullptr);
    ~TNavigatorForm() override;

    static QString productTitle();

    QMenu* FileItem = nullptr;
    QAction* OpenItem = nullptr;
    QAction* SaveItem = nullptr;
    QAction* SaveAsItem = nullptr;
    QAction* ExitItem = nullptr;
    QAction* ExitWithoutItem = nullptr;
    TRecentFiles* RecentFiles = nullptr;

    void OpenItemClick();
    void SaveItemClick();
    void SaveAsItemClick();
    void ExitItemClick();
    void ExitWithoutItemClick();
    // Opens a configuration by path, as the command line and the recent-files list do.
    void openConfiguration(const QString& path);
    TWorkspace& workspace() { return *m_workspace; }

Q_SIGNALS:
    // A configuration was chosen from the recent-files list.
    void configurationChosen(const QString& path);

private:
    void FormCreate(const QString& programPath);
    void FormDestroy();
    // Runs a save; a failure is shown and reported as false.
    bool trySave(const std::function<void()>& save);

    ProcessState& m_state;
    std::unique_ptr<TWorkspace> m_workspace;
};

} // namespace verola
