#pragma once

#include "core/coreexport.h"
#include "core/app/flownotifier.h"
#include "core/app/flux.h"
#include "core/app/processstate.h"
#include "core/platform/textfile.h"

#include <QHash>
#include <QString>
#include <vector>

namespace verola {

// The navigator's five blocks in their fixed chain, wired as the main window wires them,
// with the active and upstream block of the process state. Everything the main window
// does to its blocks runs here, without widgets.
class VEROLA_CORE_EXPORT TWorkspace : public TFluxComponent {
public:
    explicit TWorkspace(ProcessState& state);
    ~TWorkspace() override;

    TfpStatus Status() const override { return fpsReady; }
    void SetStatus(TfpStatus) override {}
    void forget(TFluxComponent*) override {}
    void announce(TFluxComponent* component, FlowChange change) override;

    // Where observers connect to hear of changes in the blocks.
    FlowNotifier& notifier() { return m_notifier; }
    // Tells observers that a configuration was opened or saved under a new name.
    void announceReloaded() { Q_EMIT m_notifier.workspaceReloaded(); }

    ProcessState& state() { return m_state; }
    // The block of a number 0..4, or null.
    TCompPanel* block(int number) const;
    // Mortality, concentration, dose, emission, morbidity: the order blocks are read and written.
    const std::vector<TCompPanel*>& blocksInComponentOrder() const { return m_componentOrder; }

    TCompPanel* activeBlock() const { return block(m_state.ActiveBlock); }
    TCompPanel* upstreamBlock() const { return block(m_state.UpstreamBlock); }
    // Makes a block the active one and recomputes the upstream block.
    void activate(TCompPanel* block);
    // The upstream block of a block number: the block numbered n - 1 (or n + 11); -1 when none.
    int upstreamOf(int number) const;
    // Maps one axis of the block's model input (its Calc table) onto its upstream block's data
    // summary by position name; nothing for a block without an upstream block.
    void mapModelInput(TCompPanel& block, int axis) const;

    // Empties every table of a block whose files could not be read (whole-set lists, one
    // missing cell each) and records why; the steps on the block are refused from then on.
    void setBlockNotLoaded(TCompPanel& block, const QString& reason);

    // The caption the main window shows.
    QString caption;
    // The files of the set the last open could not read completely (tables, lists, the map
    // list). Saving over one keeps the file as it was beside the new one ("study.x1.bak").
    QStringList unreadFiles;
    // The encoding each text file of the configuration held was read in, by the file's extension
    // (".o1a", ".map"): saving, under this name or another, writes each in its own. A file not in
    // it, holding what was made in memory, is written in code page 1251.
    QHash<QString, TextEncoding> textEncodings;

private:
    void wire();
    void resetDefaultLists();

    ProcessState& m_state;
    std::vector<TCompPanel*> m_componentOrder;
    FlowNotifier m_notifier;
};

// Block kind texts by block number.
QString blockComponentName(int number); // "PolPanel1" …
QString blockUnitText(int number);      // " мг/м3 " …; twelve entries
QString blockPanelKindName(int number);  // "Выбросы" …; empty beyond 4
QString blockValueFieldName(int number); // "POL", "CONC", "DOSE", "DES", "DEATH"

// MapPositions of one axis from a source table to a target table.
void mapAxis(TTab& source, TTab& target, int axis);

// Refuses a step on a block whose files could not be read at the last open: EInOutError
// naming the block and why.
VEROLA_CORE_EXPORT void requireBlockLoaded(const TCompPanel& block);
// The same for the block a table panel belongs to; nothing for a panel outside the blocks.
VEROLA_CORE_EXPORT void requireBlockLoaded(const TFluxComponent* panel);

} // namespace verola
