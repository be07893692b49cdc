#pragma once

// The database selection behind the block actions: the selection of a block into its kind 0
// table and the database review of the morbidity and mortality blocks.

#include "core/app/blockactions.h"
#include "core/db/selection.h"

namespace verola {

class TCompPanel;
class TWorkspace;

// Runs the selection for a block into its kind 0 table, with the process's feedback, formats
// and data directory. The active block is left as it is.
SelectionResult SelectFromDatabases(TWorkspace& workspace, TCompPanel& block, TReviewList* reviewList = nullptr);

// The block steps of the workbench: the database selection runs for real.
BlockSteps workbenchBlockSteps();

// Database review of the morbidity block (DBReviewItemClick) and of the mortality block
// (DBMortalItemClick): the list is shown and cleared, then filled with the count of records
// the query level finds for each of its positions.
ActionResult DBReviewItemClick(TWorkspace& workspace, TReviewList& reviewList);
ActionResult DBMortalItemClick(TWorkspace& workspace, TReviewList& reviewList);

} // namespace verola
