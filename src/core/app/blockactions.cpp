#include "core/app/blockactions.h"

#include "core/app/workspace.h"
#include "core/models/dose.h"
#include "core/tables/compare.h"
#include "core/tables/summary.h"

#include <QElapsedTimer>

namespace verola {

namespace {

QString blockLabel(const TCompPanel& block)
{
    return QStringLiteral("блок %1").arg(block.number());
}

ActionResult copyInto(TWorkspace& workspace, TCompPanel& block, TTablePanel& target, TTab& source, const QString& what)
{
    requireBlockLoaded(block);
    workspace.activate(&block);
    CopyFrom(target.Table(), source, workspace.state().format);
    target.tableChanged();
    return {true, QStringLiteral("%1: %2").arg(blockLabel(block), what)};
}

// How a selection ended, for the step's line. A selection that ended early keeps what it
// selected until then.
QString selectionOutcomeText(SelectionOutcome outcome)
{
    switch (outcome) {
    case SelectionOutcome::Completed:
        break;
    case SelectionOutcome::StoppedByUser:
        return QStringLiteral("выборка прервана запросом остановки, выбранное до того остается");
    case SelectionOutcome::StoppedAtModel:
        return QStringLiteral("выборка остановлена на ненайденной модели, выбранное до того остается");
    case SelectionOutcome::HeadingMissing:
        return QStringLiteral("выборка закончена на заголовке оси, которого нет в списке заголовков, "
                              "выбранное до того остается");
    }
    return QStringLiteral("выборка из баз данных выполнена");
}

ActionResult summarizeRule(TWorkspace& workspace, TCompPanel& block)
{
    requireBlockLoaded(block);
    workspace.activate(&block);
    ProcessState& state = workspace.state();
    Summarize(block.Rule->Table(), state.format, state.currentValueLine);
    block.Rule->tableChanged();
    return {true, QStringLiteral("%1: итоги первичной таблицы из баз данных рассчитаны").arg(blockLabel(block))};
}

ActionResult fillExtr(TWorkspace& workspace, TCompPanel& block)
{
    return copyInto(workspace, block, *block.Extr, block.Rule->Table(),
        QStringLiteral("итоговая таблица из баз данных заполнена из первичной таблицы"));
}

ActionResult fillEst(TWorkspace& workspace, TCompPanel& block)
{
    return copyInto(workspace, block, *block.Est, block.Calc->Table(),
        QStringLiteral("итоговая таблица расчета заполнена из первичной таблицы расчета"));
}

ActionResult fillCalc(TWorkspace& workspace, TCompPanel& block)
{
    requireBlockLoaded(block);
    workspace.activate(&block);
    TCompPanel* upstream = workspace.upstreamBlock();
    if (!upstream)
        return {false, QStringLiteral("%1: нет предыдущего блока, ничего не скопировано").arg(blockLabel(block))};
    requireBlockLoaded(*upstream);
    TTablePanel* summary = upstream->SelectedSummary();
    const QString source = QStringLiteral("блока %1 (%2)")
                               .arg(upstream->number())
                               .arg(summary == upstream->Est ? QStringLiteral("Est") : QStringLiteral("Extr"));
    if (summary->Status() != fpsReady)
        return {false, QStringLiteral("%1: выбранная итоговая таблица %2 не готова, ничего не скопировано")
                           .arg(blockLabel(block), source)};
    CopyFrom(block.Calc->Table(), summary->Table(), workspace.state().format);
    block.Calc->tableChanged();
    return {true,
        QStringLiteral("%1: первичная таблица расчета заполнена из итоговой таблицы %2").arg(blockLabel(block), source)};
}

} // namespace

QString durationText(qint64 milliseconds)
{
    return QStringLiteral("%1 с").arg(QString::number(milliseconds / 1000.0, 'f', 2).replace(u'.', u','));
}

namespace {

std::int64_t filledCells(const TTab& table)
{
    std::int64_t filled = 0;
    for (std::int64_t offset = 0; offset < table.FCellCount; ++offset)
        filled += isMissing(table.cellAt(offset)) ? 0 : 1;
    return filled;
}

} // namespace

ActionResult DBGeneralPanelClick(TWorkspace& workspace, TCompPanel& block, const BlockSteps& steps)
{
    QElapsedTimer timer;
    timer.start();
    requireBlockLoaded(block);
    workspace.activate(&block);
    block.Rule->Table().FSlice.fill(0);
    if (!steps.databaseSelection)
        return {false, QStringLiteral("%1: выборка из баз данных здесь недоступна").arg(blockLabel(block))};
    const SelectionResult result = steps.databaseSelection(workspace, block);
    block.Rule->tableChanged();
    const TTab& table = block.Rule->Table();
    return {true, QStringLiteral("%1: %2").arg(blockLabel(block), selectionOutcomeText(result.outcome)),
        QStringLiteral("принято записей: %1, заполнено ячеек первичной таблицы: %2 из %3, %4")
            .arg(result.accepted)
            .arg(filledCells(table))
            .arg(table.FCellCount)
            .arg(durationText(timer.elapsed()))};
}

namespace {

ActionResult calculateDoses(TWorkspace& workspace, const BlockSteps& steps)
{
    // The doses are computed from the concentration block's summary into the dose block.
    requireBlockLoaded(*workspace.block(kRiskBlock));
    requireBlockLoaded(*workspace.block(kConcBlock));
    TCompPanel& risk = *workspace.block(kRiskBlock);
    workspace.activate(&risk);
    if (steps.doseCalculation) {
        steps.doseCalculation(workspace);
        risk.Calc->tableChanged();
        return {true, QStringLiteral("блок 2: дозы и риски рассчитаны")};
    }
    const DoseOutcome outcome = CalculateDoseBlock(workspace);
    risk.Calc->tableChanged();
    switch (outcome) {
    case DoseOutcome::AxisWithoutValues:
        return {false, QStringLiteral("блок 2: у оси таблицы доз нет значений, рассчитаны только итоги")};
    case DoseOutcome::NoPollutantInSource:
        return {false, QStringLiteral("блок 2: ни одного вещества таблицы доз нет в итоговой таблице концентраций, "
                                      "дозы не рассчитаны, рассчитаны только итоги")};
    case DoseOutcome::Computed:
        break;
    }
    return {true, QStringLiteral("блок 2: дозы и риски рассчитаны")};
}

} // namespace

// The panel actions, each with the time it took for the status line.
namespace {

template <class Action>
ActionResult timed(Action&& action)
{
    QElapsedTimer timer;
    timer.start();
    ActionResult result = action();
    if (result.details.isEmpty())
        result.details = durationText(timer.elapsed());
    return result;
}

} // namespace

ActionResult RulePanelClick(TWorkspace& workspace, TCompPanel& block)
{
    return timed([&] { return summarizeRule(workspace, block); });
}

ActionResult ExtrPanelClick(TWorkspace& workspace, TCompPanel& block)
{
    return timed([&] { return fillExtr(workspace, block); });
}

ActionResult CalcPanelClick(TWorkspace& workspace, TCompPanel& block)
{
    return timed([&] { return fillCalc(workspace, block); });
}

ActionResult EstPanelClick(TWorkspace& workspace, TCompPanel& block)
{
    return timed([&] { return fillEst(workspace, block); });
}

ActionResult CalcDosePanelClick(TWorkspace& workspace, const BlockSteps& steps)
{
    return timed([&] { return calculateDoses(workspace, steps); });
}

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
    // A loop rather than a recursion through actOnEditorChoice: a flag above the block numbers
    // keeps the active block, so the walk comes back to it for as long as the editor is left
    // without calculation.
    EditorChoice choice = EditorChoice::NoCalculation;
    while (choice == EditorChoice::NoCalculation) {
        if (state.ActiveBlock >= 0 && state.ActiveBlock < kAxisCount)
            state.blockSelectionFlags[static_cast<size_t>(state.ActiveBlock)] = false;
        int next = -1;
        for (int i = 0; i < kAxisCount && next < 0; ++i)
            if (state.blockSelectionFlags[static_cast<size_t>(i)])
                next = i;
        if (next < 0 || !structureEditor)
            return;
        if (next < kBlockCount)
            workspace.activate(workspace.block(next));
        else
            state.UpstreamBlock = workspace.upstreamOf(state.ActiveBlock);
        choice = structureEditor(workspace);
    }
    actOnEditorChoice(workspace, steps, choice, structureEditor);
}

} // namespace verola
