#include "core/app/selectionsteps.h"

#include "core/app/workspace.h"
#include "core/db/description.h"

namespace verola {

namespace {

// Keeps the process's review flag set for the length of a review, also when it fails.
class ReviewFlag {
public:
    explicit ReviewFlag(ProcessState& state) : m_state(state) { m_state.databaseReview = true; }
    ~ReviewFlag() { m_state.databaseReview = false; }
    ReviewFlag(const ReviewFlag&) = delete;
    ReviewFlag& operator=(const ReviewFlag&) = delete;

private:
    ProcessState& m_state;
};

ActionResult reviewBlock(TWorkspace& workspace, int number, TReviewList& reviewList)
{
    TCompPanel& block = *workspace.block(number);
    requireBlockLoaded(block);
    reviewList.visible = true;
    reviewList.entries.clear();
    ReviewFlag flag(workspace.state());
    block.Rule->Table().FSlice.fill(0);
    const SelectionResult result = SelectFromDatabases(workspace, block, &reviewList);
    return {true, QStringLiteral("блок %1: записей в базах данных: %2").arg(number).arg(result.total)};
}

} // namespace

SelectionResult SelectFromDatabases(TWorkspace& workspace, TCompPanel& block, TReviewList* reviewList)
{
    ProcessState& state = workspace.state();
    SelectionRequest request;
    request.primary = &block.Rule->Table();
    request.panelKind = panelKindOfComponent(blockComponentName(block.number()));
    request.feedback = &state.ui();
    request.format = state.format;
    request.dataDirectory = state.DataDirectory;
    request.review = state.databaseReview;
    request.reviewList = reviewList;
    return RunSelection(request);
}

BlockSteps workbenchBlockSteps()
{
    BlockSteps steps;
    steps.databaseSelection = [](TWorkspace& workspace, TCompPanel& block) {
        return SelectFromDatabases(workspace, block);
    };
    return steps;
}

ActionResult DBReviewItemClick(TWorkspace& workspace, TReviewList& reviewList)
{
    return reviewBlock(workspace, kDesBlock, reviewList);
}

ActionResult DBMortalItemClick(TWorkspace& workspace, TReviewList& reviewList)
{
    return reviewBlock(workspace, kDeathBlock, reviewList);
}

} // namespace verola
