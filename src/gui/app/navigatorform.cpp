#include "app/navigatorform.h"

#include "app/recentfiles.h"
#include "app/settings.h"
#include "platform/errors.h"

#include <QMenuBar>

namespace verola {

TNavigatorForm::TNavigatorForm(ProcessState& state, const QString& programPath, QWidget* parent)
    : QMainWindow(parent), m_state(state)
{
    setObjectName(QStringLiteral("NavigatorForm"));
    setWindowTitle(productTitle());
    resize(800, 560);

    FileItem = menuBar()->addMenu(QStringLiteral("&Файл"));
    FileItem->setObjectName(QStringLiteral("FileItem"));
    ExitItem = FileItem->addAction(QStringLiteral("&Выход с сохранением"), this, &TNavigatorForm::ExitItemClick);
    ExitItem->setObjectName(QStringLiteral("ExitItem"));
    ExitWithoutItem
        = FileItem->addAction(QStringLiteral("Выход &без сохранения"), this, &TNavigatorForm::ExitWithoutItemClick);
    ExitWithoutItem->setObjectName(QStringLiteral("ExitWithoutItem"));

    FormCreate(programPath);
}

TNavigatorForm::~TNavigatorForm()
{
    FormDestroy();
}

QString TNavigatorForm::productTitle()
{
    return QStringLiteral("Система обработки информации \"Верола\"");
}

void TNavigatorForm::FormCreate(const QString& programPath)
{
    initialiseProcessState(m_state, programPath);
    RecentFiles = new TRecentFiles(this);
    RecentFiles->setMenu(FileItem);
    RecentFiles->setMaxFiles(9);
    RecentFiles->setIniFileName(m_state.SettingsFileName);
    RecentFiles->LoadFromIni();
    RecentFiles->OnClick = [this](TRecentFiles*, const QString& path) { Q_EMIT configurationChosen(path); };
}

void TNavigatorForm::FormDestroy()
{
    try {
        RecentFiles->SaveToIni();
        delete RecentFiles;
        RecentFiles = nullptr;
        m_state.coordinateCaptionList.clear();
        writeBackSettingsAtExit(m_state);
    } catch (const EPlatformError&) {
        // The window is going away; an unwritable settings file must not stop the shutdown.
    }
    m_state.StagingTab.reset();
    deleteScratchFiles();
    m_state.MapList.clear();
}

void TNavigatorForm::ExitItemClick()
{
    m_state.ConfigDirectory = m_state.DataDirectory;
    m_state.ConfigName = QStringLiteral("temp");
    close();
}

void TNavigatorForm::ExitWithoutItemClick()
{
    close();
}

} // namespace verola
