#pragma once

#include "core/coreexport.h"
#include "core/db/selection.h"

#include <QString>
#include <functional>

namespace verola {

class TCompPanel;
class TWorkspace;

// Steps that other subsystems provide: the database selection into a block's kind 0 table
// (answering how it ended), and the dose and risk calculation into the dose block's kind 2
// table. Until a step is provided, running it does nothing and says so.
// Without a dose step, CalcDosePanelClick runs the dose block's own calculation (models/dose.h).
struct VEROLA_CORE_EXPORT BlockSteps {
    std::function<SelectionResult(TWorkspace&, TCompPanel&)> databaseSelection;
    std::function<void(TWorkspace&)> doseCalculation;
};

// What a block action did, in a line for the user.
struct VEROLA_CORE_EXPORT ActionResult {
    bool done = false;
    QString text;
    // What the action amounted to, for a status line ("заполнено ячеек: 120 из 400, 0,3 с");
    // empty when there is nothing to count.
    QString details;
};

// "1,25 с" (the decimal separator of the user's formats aside: always a comma, as Russian writes it).
QString durationText(qint64 milliseconds);

// The panel actions of a block. Each first makes the block the active one.
ActionResult RulePanelClick(TWorkspace& workspace, TCompPanel& block); // summarize the kind 0 table
ActionResult ExtrPanelClick(TWorkspace& workspace, TCompPanel& block); // kind 0 into kind 1
ActionResult CalcPanelClick(TWorkspace& workspace, TCompPanel& block); // upstream summary into kind 2
ActionResult EstPanelClick(TWorkspace& workspace, TCompPanel& block);  // kind 2 into kind 3
ActionResult DBGeneralPanelClick(TWorkspace& workspace, TCompPanel& block, const BlockSteps& steps);
ActionResult CalcDosePanelClick(TWorkspace& workspace, const BlockSteps& steps);

// Steps of the chains: a block's selection, Rule and Extr; the dose calculation and the dose
// block's Est.
void selectionRuleExtr(TWorkspace& workspace, const BlockSteps& steps, int number);
void doseAndEst(TWorkspace& workspace, const BlockSteps& steps);

// The recalculations the structure editor asks for, by the active block.
void FullRecalculation(TWorkspace& workspace, const BlockSteps& steps);
void SummaryRecalculation(TWorkspace& workspace);

// What the structure editor was closed with.
enum class EditorChoice { FullCalculation, SummaryCalculation, NoCalculation, Cancel };
// Clears the active block's selection flag and, while a flagged block remains, makes the
// lowest one active and asks the editor again, acting on each answer.
void NextFlaggedBlock(TWorkspace& workspace, const BlockSteps& steps,
    const std::function<EditorChoice(TWorkspace&)>& structureEditor);
void actOnEditorChoice(TWorkspace& workspace, const BlockSteps& steps, EditorChoice choice,
    const std::function<EditorChoice(TWorkspace&)>& structureEditor);


} // namespace verola
