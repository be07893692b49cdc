#include "core/app/blockactions.h"

#include "core/app/workspace.h"
#include "core/models/dose.h"
#include "core/tables/compare.h"
#include "core/tables/summary.h"

#include <QMap>

namespace verola {

namespace {

QString blockLabel(const TCompPanel& block)
{
    return QStringLiteral("block %1").arg(block.number());
}

ActionResult copyInto(TWorkspace& workspace, TCompPanel& block, TTab& target, TTab& source, const QString& what)
{
    workspace.activate(&block);
    CopyFrom(target, source, workspace.state().format);
    return {true, QStringLiteral("%1: %2").arg(blockLabel(block), what)};
}

} // namespace

ActionResult RulePanelClick(TWorkspace& workspace, TCompPanel& block)
{
    workspace.activate(&block);
    ProcessState& state = workspace.state();
    Summarize(block.Rule->Table(), state.format, state.currentValueLine);
    return {true, QStringLiteral("%1: primary table from the databases summarized").arg(blockLabel(block))};
}

ActionResult ExtrPanelClick(TWorkspace& workspace, TCompPanel& block)
{
    return copyInto(workspace, block, block.Extr->Table(), block.Rule->Table(),
        QStringLiteral("summary table from the databases filled from the primary table"));
}

ActionResult EstPanelClick(TWorkspace& workspace, TCompPanel& block)
{
    return copyInto(workspace, block, block.Est->Table(), block.Calc->Table(),
        QStringLiteral("summary table of the calculation filled from its primary table"));
}

ActionResult CalcPanelClick(TWorkspace& workspace, TCompPanel& block)
{
    workspace.activate(&block);
    TCompPanel* upstream = workspace.upstreamBlock();
    if (!upstream)
        return {false, QStringLiteral("%1: no upstream block, nothing copied").arg(blockLabel(block))};
    TTablePanel* summary = upstream->SelectedSummary();
    const QString source = QStringLiteral("block %1 (%2)")
                               .arg(upstream->number())
                               .arg(summary == upstream->Est ? QStringLiteral("Est") : QStringLiteral("Extr"));
    if (summary->Status() != fpsReady)
        return {false, QStringLiteral("%1: the selected summary of %2 is not ready, nothing copied")
                           .arg(blockLabel(block), source)};
    CopyFrom(block.Calc->Table(), summary->Table(), workspace.state().format);
    return {true, QStringLiteral("%1: primary table of the calculation filled from %2").arg(blockLabel(block), source)};
}

ActionResult DBGeneralPanelClick(TWorkspace& workspace, TCompPanel& block, const BlockSteps& steps)
{
    workspace.activate(&block);
    block.Rule->Table().FSlice.fill(0);
    if (!steps.databaseSelection)
        return {false, QStringLiteral("%1: database selection is not available here").arg(blockLabel(block))};
    steps.databaseSelection(workspace, block);
    return {true, QStringLiteral("%1: selected from the databases").arg(blockLabel(block))};
}

ActionResult CalcDosePanelClick(TWorkspace& workspace, const BlockSteps& steps)
{
    workspace.activate(workspace.block(kRiskBlock));
    if (steps.doseCalculation) {
        steps.doseCalculation(workspace);
        return {true, QStringLiteral("block 2: dose and risk calculated")};
    }
    if (!CalculateDoseBlock(workspace))
        return {false, QStringLiteral("block 2: an axis of the dose table has no values, only summarized")};
    return {true, QStringLiteral("block 2: dose and risk calculated")};
}

namespace {

void selectionRuleExtr(TWorkspace& workspace, const BlockSteps& steps, int number)
{
    TCompPanel& block = *workspace.block(number);
    DBGeneralPanelClick(workspace, block, steps);
    RulePanelClick(workspace, block);
    ExtrPanelClick(workspace, block);
}

void doseAndEst(TWorkspace& workspace, const BlockSteps& steps)
{
    CalcDosePanelClick(workspace, steps);
    EstPanelClick(workspace, *workspace.block(kRiskBlock));
}

} // namespace

void FullRecalculation(TWorkspace& workspace, const BlockSteps& steps)
{
    TCompPanel* active = workspace.activeBlock();
    if (!active)
        return;
    switch (active->number()) {
    case kRiskBlock:
        doseAndEst(workspace, steps);
        break;
    case kConcBlock:
        selectionRuleExtr(workspace, steps, kConcBlock);
        CalcPanelClick(workspace, *active);
        EstPanelClick(workspace, *active);
        break;
    default:
        selectionRuleExtr(workspace, steps, active->number());
        break;
    }
}

void SummaryRecalculation(TWorkspace& workspace)
{
    TCompPanel* active = workspace.activeBlock();
    if (!active)
        return;
    const int number = active->number();
    if (number != kRiskBlock)
        ExtrPanelClick(workspace, *active);
    if (number == kConcBlock || number == kRiskBlock)
        EstPanelClick(workspace, *active);
}

void actOnEditorChoice(TWorkspace& workspace, const BlockSteps& steps, EditorChoice choice,
    const std::function<EditorChoice(TWorkspace&)>& structureEditor)
{
    switch (choice) {
    case EditorChoice::FullCalculation:
        FullRecalculation(workspace, steps);
        break;
    case EditorChoice::SummaryCalculation:
        SummaryRecalculation(workspace);
        break;
    case EditorChoice::NoCalculation:
        NextFlaggedBlock(workspace, steps, structureEditor);
        break;
    case EditorChoice::Cancel:
        break;
    }
}

void NextFlaggedBlock(TWorkspace& workspace, const BlockSteps& steps,
    const std::function<EditorChoice(TWorkspace&)>& structureEditor)
{
    ProcessState& state = workspace.state();
    if (state.ActiveBlock >= 0 && state.ActiveBlock < kAxisCount)
        state.blockSelectionFlags[static_cast<size_t>(state.ActiveBlock)] = false;
    int next = -1;
    for (int i = 0; i < kAxisCount && next < 0; ++i)
        if (state.blockSelectionFlags[static_cast<size_t>(i)])
            next = i;
    if (next < 0 || !structureEditor)
        return;
    // A flag above the block numbers never belongs to the active block, so it is cleared
    // here; otherwise the walk would come back to it for ever.
    if (next >= kBlockCount)
        state.blockSelectionFlags[static_cast<size_t>(next)] = false;
    if (next < kBlockCount)
        workspace.activate(workspace.block(next));
    else
        state.UpstreamBlock = workspace.upstreamOf(state.ActiveBlock);
    actOnEditorChoice(workspace, steps, structureEditor(workspace), structureEditor);
}

namespace {

using Operation = std::function<void(TWorkspace&, const BlockSteps&)>;

int termIn(TWorkspace& workspace, int number)
{
    return workspace.block(number)->Switch->TermIn();
}

void toTableConc(TWorkspace& w, const BlockSteps& s)
{
    selectionRuleExtr(w, s, kConcBlock);
}

void fromTableConcCalc(TWorkspace& w, const BlockSteps& s)
{
    doseAndEst(w, s);
}

void fromDBConcCalc(TWorkspace& w, const BlockSteps& s)
{
    toTableConc(w, s);
    if (termIn(w, kConcBlock) == 2)
        fromTableConcCalc(w, s);
}

void fromtablePolCalc(TWorkspace& w, const BlockSteps& s)
{
    if (termIn(w, kPolBlock) == 2) {
        fromDBConcCalc(w, s);
        w.state().doseChainPending = true;
    }
}

void fromDBPolCalc(TWorkspace& w, const BlockSteps& s)
{
    selectionRuleExtr(w, s, kPolBlock);
    fromtablePolCalc(w, s);
}

Operation selectionOf(int number)
{
    return [number](TWorkspace& w, const BlockSteps& s) { DBGeneralPanelClick(w, *w.block(number), s); };
}

Operation summarizeOf(int number)
{
    return [number](TWorkspace& w, const BlockSteps&) { RulePanelClick(w, *w.block(number)); };
}

Operation groupDataOf(int number)
{
    return [number](TWorkspace& w, const BlockSteps&) { ExtrPanelClick(w, *w.block(number)); };
}

Operation groupModelOf(int number)
{
    return [number](TWorkspace& w, const BlockSteps&) { EstPanelClick(w, *w.block(number)); };
}

Operation selectionRuleExtrOf(int number)
{
    return [number](TWorkspace& w, const BlockSteps& s) { selectionRuleExtr(w, s, number); };
}

Operation setFlags(int last)
{
    return [last](TWorkspace& w, const BlockSteps&) {
        auto& flags = w.state().blockSelectionFlags;
        for (int i = 0; i < kAxisCount; ++i)
            flags[static_cast<size_t>(i)] = i <= last;
    };
}

const QMap<QString, Operation>& operations()
{
    static const QMap<QString, Operation> table = {
        {QStringLiteral("DBPolPanelClick"), selectionOf(kPolBlock)},
        {QStringLiteral("DBConcPanelClick"), selectionOf(kConcBlock)},
        {QStringLiteral("DBDesPanelClick"), selectionOf(kDesBlock)},
        {QStringLiteral("DBDeathPanelClick"), selectionOf(kDeathBlock)},
        {QStringLiteral("CalculateItemClick"), [](TWorkspace& w, const BlockSteps& s) { FullRecalculation(w, s); }},
        {QStringLiteral("ToTableConcItemClick"), toTableConc},
        {QStringLiteral("FromDBDesCalcItemClick"), selectionRuleExtrOf(kDesBlock)},
        {QStringLiteral("ToTableDesItemClick"), selectionRuleExtrOf(kDesBlock)},
        {QStringLiteral("FromDBDeathCalcItemClick"), selectionRuleExtrOf(kDeathBlock)},
        {QStringLiteral("FromDBPolCalcItemClick"), fromDBPolCalc},
        {QStringLiteral("FromtablePolCalcItemClick"), fromtablePolCalc},
        {QStringLiteral("FromDBConcCalcItemClick"), fromDBConcCalc},
        {QStringLiteral("FromTableConcCalcItemClick"), fromTableConcCalc},
        {QStringLiteral("ToModelConcItemClick"),
            [](TWorkspace& w, const BlockSteps& s) {
                if (termIn(w, kPolBlock) == 2)
                    selectionRuleExtr(w, s, kPolBlock);
                toTableConc(w, s);
                EstPanelClick(w, *w.block(kConcBlock));
            }},
        {QStringLiteral("ToModelRiskItemClick"),
            [](TWorkspace& w, const BlockSteps& s) {
                if (termIn(w, kConcBlock) == 2)
                    fromDBConcCalc(w, s);
                else
                    fromDBPolCalc(w, s);
            }},
        {QStringLiteral("FromISCModel"),
            [](TWorkspace& w, const BlockSteps& s) {
                EstPanelClick(w, *w.block(kConcBlock));
                if (w.state().doseChainPending && termIn(w, kConcBlock) == 1) {
                    fromTableConcCalc(w, s);
                    w.state().doseChainPending = false;
                }
            }},
        {QStringLiteral("DBOperClick"), selectionOf(kConcBlock)},
        {QStringLiteral("DBEmissMeteoOperClick"),
            [](TWorkspace& w, const BlockSteps& s) {
                DBGeneralPanelClick(w, *w.block(kPolBlock), s);
                DBGeneralPanelClick(w, *w.block(kConcBlock), s);
            }},
        {QStringLiteral("DBToTabOperClick"), summarizeOf(kConcBlock)},
        {QStringLiteral("LoadEmissAndMeteoOperClick"), summarizeOf(kPolBlock)},
        {QStringLiteral("GroupSrcDataOperClick"), groupDataOf(kConcBlock)},
        {QStringLiteral("EmissGroupOperClick"), groupDataOf(kPolBlock)},
        {QStringLiteral("GroupModelConcOperClick"), groupModelOf(kConcBlock)},
        {QStringLiteral("GroupModelResultOperClick"), groupModelOf(kRiskBlock)},
        {QStringLiteral("RiscCalcOperClick"), [](TWorkspace&, const BlockSteps&) {}},
        {QStringLiteral("SpeedButtonRiskModelClick"), setFlags(1)},
        {QStringLiteral("SpeedButtonRiskExpertClick"), setFlags(4)},
    };
    return table;
}

} // namespace

bool RunPublishedOperation(TWorkspace& workspace, const BlockSteps& steps, const QString& name)
{
    const auto it = operations().constFind(name);
    if (it == operations().constEnd())
        return false;
    it.value()(workspace, steps);
    return true;
}

QStringList publishedOperationNames()
{
    return operations().keys();
}

} // namespace verola
