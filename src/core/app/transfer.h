#pragma once

#include "core/app/workspace.h"

#include <QString>
#include <QStringList>
#include <cstdint>

namespace verola {

// Moving tables between the panels of the flow diagram, and the operations the main window
// offers outside callers (the plug-ins): questions about the active block, the coordinates and
// the tables, and the axes a table is shown on.

// --- Drag and drop between table panels -------------------------------------------------------

// Whether a component is one of the four table panels of a block (Rule, Extr, Calc, Est): the
// only panels whose tables are dragged and dropped. The Sel panel and transfer panels are not.
bool isBlockTablePanel(const TFluxComponent* component);
// A block's table panel accepts any other table panel of a block.
bool TablePanelDragOver(const TFluxComponent* target, const TFluxComponent* dragged);
// Fills the target panel's table from the dragged panel's table, position by position of equal
// names, and summarizes it; the target's lists stay as they are. Unless both are different
// table panels of blocks, nothing happens.
void TablePanelDragDrop(TWorkspace& workspace, TTablePanel* target, TFluxComponent* dragged);

// --- Transfer panels between blocks ----------------------------------------------------------

// A transfer panel from one block to another: a table panel of the diagram whose table merges
// the structure of the source block's data summary and the target block's model input. The
// target's kind 2 maps then point at the transfer table, so the panel is kept (owned by the
// workspace) for TransTabClick to use.
TTablePanel* makeTransferPanel(TWorkspace& workspace, TCompPanel& source, TCompPanel& target);
// Fills the transfer panel's table from its input block's selected summary, when that is
// ready, and then its output block's kind 2 table from it.
void TransTabClick(TWorkspace& workspace, TTablePanel& panel);

// --- Published operations --------------------------------------------------------------------

// "Выбросы", "Загрязнения", "Риск", "Заболеваемость" or "Смертность" by the active block.
QString GetActivePanelName(TWorkspace& workspace);
// The caption of an axis; empty when it has none.
QString GetCoordName(TWorkspace& workspace, int axis);
// The axis of a caption, ignoring letter case; -1 when there is none.
int GetCoordNum(TWorkspace& workspace, const QString& name);
int GetActiveNum(TWorkspace& workspace);
// Makes the block of that number the active one; the active block's own number changes nothing.
void SetActiveNum(TWorkspace& workspace, int number);
// The captions of the structured axes (lists of more than two lines) of a block's kind 1 table,
// with their value-line counts. Axes 10 and 11 have no caption and are left out.
void GetListCoord(TWorkspace& workspace, int number, QStringList& names, QStringList& counts);
// Shows the table across axis x and down axis y, from position 0 of every other axis. Without a
// table it says "Таблица не определена"; axes that are not two different numbers 0..11 change nothing.
void SetXYCoord(TWorkspace& workspace, int x, int y, TTab* table);
// Compares the line counts of the structured axes of two tables: type 0 asks B to have at least
// as many lines as A, type 1 at least one more, type 2 as many; other types pass every axis.
bool CanDoReference(const TTab* a, const TTab* b, std::uint8_t type);
// As type 1, except that the one axis k only needs as many lines.
bool CanDoOneCoordRef(const TTab* a, const TTab* b, int axis);

// --- For the sample structure editor ---------------------------------------------------------

// Maps the model input of the block downstream of the active one onto the active block's data
// summary on one axis.
void RemapDownstream(TWorkspace& workspace, int axis);

} // namespace verola
