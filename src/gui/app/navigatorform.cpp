#include "gui/app/navigatorform.h"

#include "core/app/configuration.h"
#include "gui/app/recentfiles.h"
#include "core/app/workspace.h"
#include "core/app/settings.h"
#include "core/platform/errors.h"

#include <QFileDialog>
#include <QMenuBar>
#include <QMessageBox>

namespace verola {

TNavigatorForm::TNavigatorForm(ProcessState& state, const QString& programPath, QWidget* parent)
    : QMainWindow(parent), m_state(state)
{
    setObjectName(QStringLiteral("NavigatorForm"));
    setWindowTitle(productTitle());
    resize(800, 560);

    FileItem = menuBar()->addMenu(QStringLiteral("&Файл"));
    FileItem->setObjectName(QStringLiteral("FileItem"));
    OpenItem = FileItem->addAction(QStringLiteral("&Открыть"), this, &TNavigatorForm::OpenItemClick);
    OpenItem->setObjectName(QStringLiteral("OpenItem"));
    SaveItem = FileItem->addAction(QStringLiteral("&Сохранить"), this, &TNavigatorForm::SaveItemClick);
    SaveItem->setObjectName(QStringLiteral("SaveItem"));
    SaveAsItem = FileItem->addAction(QStringLiteral("Сохранить &как"), this, &TNavigatorForm::SaveAsItemClick);
    SaveAsItem->setObjectName(QStringLiteral("SaveAsItem"));
    ExitWithoutItem
        = FileItem->addAction(QStringLiteral("Выход &без сохранения"), this, &TNavigatorForm::ExitWithoutItemClick);
    ExitWithoutItem->setObjectName(QStringLiteral("ExitWithoutItem"));
    ExitItem = FileItem->addAction(QStringLiteral("&Выход с сохранением"), this, &TNavigatorForm::ExitItemClick);
    ExitItem->setObjectName(QStringLiteral("ExitItem"));

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
    m_workspace = std::make_unique<TWorkspace>(m_state);
    RecentFiles = new TRecentFiles(this);
    RecentFiles->SetMenu(FileItem);
    RecentFiles->SetMaxFiles(9);
    RecentFiles->SetIniFileName(m_state.SettingsFileName);
    RecentFiles->LoadFromIni();
    connect(RecentFiles, &TRecentFiles::OnClick, this, [this](const QString& path) {
        Q_EMIT configurationChosen(path);
        openConfiguration(path);
    });
}

void TNavigatorForm::FormDestroy()
{
    try {
        RecentFiles->SaveToIni();
        m_state.coordinateCaptionList.clear();
        writeBackSettingsAtExit(m_state);
    } catch (const EPlatformError&) {
        // The window is going away; an unwritable settings file must not stop the shutdown.
    }
    m_workspace.reset();
    m_state.StagingTab.reset();
    deleteScratchFiles();
    m_state.MapList.clear();
}

void TNavigatorForm::openConfiguration(const QString& path)
{
    OpenConfiguration(*m_workspace, path);
    if (!m_workspace->caption.isEmpty())
        setWindowTitle(m_workspace->caption);
}

void TNavigatorForm::OpenItemClick()
{
    const QString path = QFileDialog::getOpenFileName(
        this, QStringLiteral("Открытие конфигурации"), m_state.ConfigDirectory, QStringLiteral("Описания (*.DES)"));
    if (path.isEmpty())
        return;
    RecentFiles->AddFile(path);
    openConfiguration(path);
}

bool TNavigatorForm::trySave(const std::function<void()>& save)
{
    try {
        save();
        return true;
    } catch (const EPlatformError& error) {
        QMessageBox::critical(this, windowTitle(), error.message());
        return false;
    }
}

void TNavigatorForm::SaveItemClick()
{
    // Without a configuration there is no name to save under: the user chooses one.
    if (m_state.ConfigName.isEmpty()) {
        SaveAsItemClick();
        return;
    }
    trySave([this] { SaveFileSet(*m_workspace); });
}

void TNavigatorForm::SaveAsItemClick()
{
    QFileDialog dialog(this, QStringLiteral("Сохранение конфигурации"), m_state.ConfigDirectory,
        QStringLiteral("Описания (*.DES)"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(QStringLiteral("DES"));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return;
    const QString path = dialog.selectedFiles().first();
    trySave([this, &path] { SaveConfigurationAs(*m_workspace, path); });
    setWindowTitle(m_workspace->caption);
}

void TNavigatorForm::ExitItemClick()
{
    const QString directory = m_state.ConfigDirectory;
    const QString name = m_state.ConfigName;
    m_state.ConfigDirectory = m_state.DataDirectory;
    m_state.ConfigName = QStringLiteral("temp");
    if (trySave([this] { SaveFileSet(*m_workspace); })) {
        close();
        return;
    }
    // The window stays open so that no work is lost, and a later save still goes to the
    // configuration the user opened, not to the scratch name.
    m_state.ConfigDirectory = directory;
    m_state.ConfigName = name;
}

void TNavigatorForm::ExitWithoutItemClick()
{
    close();
}

} // namespace verola
