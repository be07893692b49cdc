#include "core/app/processstate.h"

#include "core/app/settings.h"

namespace verola {

QString blockKindCode(int block)
{
    static const char* const codes[kBlockCount] = {"Pol", "Conc", "Risk", "Des", "Death"};
    return (block >= 0 && block < kBlockCount) ? QString::fromLatin1(codes[block]) : QString();
}

void initialiseProcessState(ProcessState& state, const QString& programPath)
{
    LoadSettings(state, programPath);
    state.coordinateCaptionList = coordinateCaptions();
    state.doseChainPending = false;
    state.databaseReview = false;
    state.blockSelectionFlags.fill(false);
    state.currentValueLine = -1;
    state.StagingTab = std::make_unique<TTab>();
    state.ActiveBlock = kConcBlock;
    state.UpstreamBlock = kPolBlock;
    state.MapList.clear();
    state.dispersionModelRunning = false;
    state.exposureModelRunning = false;
}

void createBlockConnection(ProcessState& state)
{
    state.blockConnection = std::make_unique<TBlockConnectForm>(state.DataDirectory);
}

} // namespace verola
