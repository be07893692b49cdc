// Reads arbitrary bytes as the settings file "RuzUzo.ini" and as the alias file "Aliases.ini"
// of the system directory, as the start-up, the main window and the table engine read them:
// any input must end in values or defaults.
#include "core/app/processstate.h"
#include "core/app/settings.h"
#include "core/db/session.h"
#include "fuzzsupport.h"

namespace {

void readSettings()
{
    verola::ProcessState state;
    verola::LoadSettings(state, QStringLiteral("/opt/verola/verola"));
    verola::LoadFontSettings();
    verola::ReadEditorProgram();
    for (int block = 0; block < verola::kBlockCount; ++block)
        verola::ReadBlockVisible(verola::blockKindCode(block));
}

void readAliases()
{
    static const verola::TSession session;
    const QStringList names = session.GetAliasNames();
    for (const QString& name : names) {
        session.GetAliasParams(name);
        session.databaseFolder(name);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size)
{
    // Bare file names resolve in the system directory.
    static const bool systemDirectorySet = qputenv("VEROLA_SYSTEM_DIR", verola::fuzz::scratchFolder().toLocal8Bit());
    (void)systemDirectorySet;
    verola::fuzz::writeFile(verola::fuzz::scratchFile(verola::kSettingsFile), data, size);
    verola::fuzz::writeFile(verola::fuzz::scratchFile(QStringLiteral("Aliases.ini")), data, size);
    verola::fuzz::refusalsAllowed(readSettings);
    verola::fuzz::refusalsAllowed(readAliases);
    return 0;
}
