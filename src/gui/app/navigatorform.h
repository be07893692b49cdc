#pragma once

#include "app/processstate.h"

#include <QMainWindow>

class QMenu;
class QAction;

namespace verola {

class TRecentFiles;

// The main window: the flow diagram of the five blocks and the commands acting on them.
class TNavigatorForm : public QMainWindow {
    Q_OBJECT
public:
    TNavigatorForm(ProcessState& state, const QString& programPath, QWidget* parent = nullptr);
    ~TNavigatorForm() override;

    static QString productTitle();

    QMenu* FileItem = nullptr;
    QAction* ExitItem = nullptr;
    QAction* ExitWithoutItem = nullptr;
    TRecentFiles* RecentFiles = nullptr;

    void ExitItemClick();
    void ExitWithoutItemClick();

Q_SIGNALS:
    // A configuration was chosen from the recent-files list.
    void configurationChosen(const QString& path);

private:
    void FormCreate(const QString& programPath);
    void FormDestroy();

    ProcessState& m_state;
};

} // namespace verola
