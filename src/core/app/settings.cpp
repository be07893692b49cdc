#include "core/app/settings.h"

#include "core/app/processstate.h"
#include "core/platform/paths.h"
#include "core/platform/privateprofile.h"
#include "core/tables/lineutils.h"

namespace verola {

namespace {

const QString kGeneral = QStringLiteral("General");

} // namespace

QString defaultDataDirectory(const QString& programDirectory)
{
    return programDirectory + QStringLiteral("eco/work");
}

void LoadSettings(ProcessState& state, const QString& programPath)
{
    const PrivateProfile settings(kSettingsFile);
    state.programDirectory = programDirectoryOf(programPath);
    const QString dataDefault = defaultDataDirectory(state.programDirectory);
    state.DataDirectory = settings.readString(kGeneral, QStringLiteral("DataDirectory"), dataDefault);
    if (state.ConfigDirectory.isEmpty())
        state.ConfigDirectory = state.DataDirectory;
    state.DataDBFRiskDirectory
        = settings.readString(kGeneral, QStringLiteral("DataDBFRiskDirectory"), dataDefault + QStringLiteral("/risk"));
    state.SettingsFileName = settings.fileName();
}

void SaveSettings(const ProcessState& state)
{
    PrivateProfile settings(kSettingsFile);
    settings.writeString(kGeneral, QStringLiteral("DataDirectory"), state.DataDirectory);
    settings.writeString(kGeneral, QStringLiteral("DataDBFRiskDirectory"), state.DataDBFRiskDirectory);
}

FontSettings LoadFontSettings()
{
    const PrivateProfile settings(kSettingsFile);
    return FontSettings{settings.readString(kGeneral, QStringLiteral("FontName"), QStringLiteral("MS Sans Serif")),
        settings.readInteger(kGeneral, QStringLiteral("FontSize"), 8)};
}

QString ReadEditorProgram()
{
    return PrivateProfile(kSettingsFile).readString(kGeneral, QStringLiteral("IniEdit"), QStringLiteral("notepad.exe"));
}

QString userEditorCommand()
{
    for (const char* variable : {"VISUAL", "EDITOR"}) {
        const QString command = qEnvironmentVariable(variable).trimmed();
        if (!command.isEmpty())
            return command;
    }
    // "notepad.exe", the default of the key, is no editor here: only a program the settings name.
    return PrivateProfile(kSettingsFile).readString(kGeneral, QStringLiteral("IniEdit"), QString()).trimmed();
}

bool ReadBlockVisible(const QString& kindCode)
{
    return PrivateProfile(kSettingsFile).readBool(QStringLiteral("Visible"), kindCode, false);
}

void writeBackSettingsAtExit(ProcessState& state)
{
    state.DataDirectory = withoutTrailingSeparator(state.DataDirectory);
    const QString dataDefault = defaultDataDirectory(state.programDirectory);
    if (state.DataDirectory.toLower() != dataDefault.toLower())
        SaveSettings(state);
}

void deleteScratchFiles()
{
    const QString dir = scratchDirectory() + u'/';
    for (const char* name : {"~temp.", "~tmp.", "tmp.map"})
        DeleteFileIfExists(dir + QString::fromLatin1(name));
}

} // namespace verola
