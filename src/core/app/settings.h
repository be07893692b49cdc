#pragma once

#include "core/coreexport.h"

#include <QString>

namespace verola {

struct ProcessState;

inline const QString kSettingsFile = QStringLiteral("RuzUzo.ini");

// programDirectory + "eco/work": where the data directory is when the settings name none.
QString defaultDataDirectory(const QString& programDirectory);

void LoadSettings(ProcessState& state, const QString& programPath);
void SaveSettings(const ProcessState& state);

struct VEROLA_CORE_EXPORT FontSettings {
    QString face;
    int pointSize = 8;
};
FontSettings LoadFontSettings();
QString ReadEditorProgram();
// The command line of the user's editor: $VISUAL, else $EDITOR, else General/IniEdit when the
// settings file names one; empty when none is set (the desktop's default program then opens files).
QString userEditorCommand();
bool ReadBlockVisible(const QString& kindCode);

// At the end of the run: drop one trailing separator from DataDirectory and write the
// directories back only when the data directory is not the default one.
void writeBackSettingsAtExit(ProcessState& state);
// The scratch files "~temp.", "~tmp." and "tmp.map" of the scratch directory.
void deleteScratchFiles();

} // namespace verola
