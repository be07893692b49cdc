#pragma once

#include "core/coreexport.h"
#include "core/models/blockconnection.h"
#include "core/platform/feedback.h"
#include "core/platform/formatsettings.h"
#include "core/tables/ttab.h"

#include <QString>
#include <QStringList>
#include <array>
#include <memory>

namespace verola {

class PluginBridge;

// Block numbers of the five blocks of the chain.
enum BlockNumber { kPolBlock = 0, kConcBlock = 1, kRiskBlock = 2, kDesBlock = 3, kDeathBlock = 4 };
constexpr int kBlockCount = 5;
// Block kind codes in block-number order: "Pol", "Conc", "Risk", "Des", "Death".
QString blockKindCode(int block);

// The process-wide values of a running workbench. The application creates one and
// hands it down; tests create their own.
struct VEROLA_CORE_EXPORT ProcessState {
    QString programDirectory; // with its trailing separator
    QString DataDirectory;
    QString DataDBFRiskDirectory;
    QString SettingsFileName;
    QString ConfigDirectory;
    QString ConfigName;

    int ActiveBlock = kConcBlock;
    int UpstreamBlock = kPolBlock;
    QStringList MapList;
    QStringList coordinateCaptionList;
    std::array<bool, kAxisCount> blockSelectionFlags{};
    bool doseChainPending = false;
    bool databaseReview = false;
    int currentValueLine = -1;
    std::unique_ptr<TTab> StagingTab;
    bool dispersionModelRunning = false;
    bool exposureModelRunning = false;
    // The coordinate names of the blocks and their links, from the data directory's "total.cnn".
    std::unique_ptr<TBlockConnectForm> blockConnection;
    // The bridge to the plug-in libraries, owned by the main window; null without one.
    PluginBridge* plugins = nullptr;

    FormatSettings format = FormatSettings::fromSystemLocale();
    Feedback* feedback = nullptr;
    // The feedback to use: the one given, else one that says nothing and agrees.
    Feedback& ui() { return feedback ? *feedback : m_silent; }

private:
    SilentFeedback m_silent;
};

// The start-up steps that need no window: settings, caption list, flags, staging table,
// active and upstream blocks.
void initialiseProcessState(ProcessState& state, const QString& programPath);
// The last start-up step: the block connection read from the data directory ("total.cnn"),
// or the built-in one when that file cannot be read.
void createBlockConnection(ProcessState& state);

} // namespace verola
