#include "core/app/selectionsteps.h"
#include "core/app/workspace.h"
#include "testsupport.h"

#include <gtest/gtest.h>

using namespace verola;
using namespace verola::test;

namespace {

// Notes the review flag while the run asks its question about the region's model.
class ReviewWatch : public RecordingFeedback {
public:
    explicit ReviewWatch(ProcessState& state) : m_state(state) {}
    bool question(const QString& text) override
    {
        reviewFlagWhileAsked.push_back(m_state.databaseReview);
        return RecordingFeedback::question(text);
    }
    std::vector<bool> reviewFlagWhileAsked;

private:
    ProcessState& m_state;
};

TEST(SelectionStepsTest, AReviewKeepsTheActiveBlockAndClearsItsFlagAfterwards)
{
    TempFolder system;
    ScopedSystemDirectory systemDir(system.path()); // no description: no region names a model
    ProcessState state;
    ReviewWatch feedback(state);
    state.feedback = &feedback;
    TWorkspace workspace(state);
    workspace.activate(workspace.block(kConcBlock));
    TTab& primary = workspace.block(kDeathBlock)->Rule->Table();
    primary.FLists[1] = {"Районы", "Север|l,Alpha,77"};
    primary.Redimension(1);
    primary.FSlice.fill(3);

    TReviewList review{{"old entry"}, false};
    const ActionResult result = DBMortalItemClick(workspace, review);
    EXPECT_TRUE(result.done);
    EXPECT_EQ(feedback.questions, QStringList{"Модель Alpha не найдена. Остановить?"});
    EXPECT_EQ(feedback.reviewFlagWhileAsked, std::vector<bool>{true});
    EXPECT_FALSE(state.databaseReview);
    EXPECT_EQ(state.ActiveBlock, kConcBlock);
    EXPECT_TRUE(review.visible);
    EXPECT_TRUE(review.entries.isEmpty());
    EXPECT_EQ(primary.FSlice[1], 0);
    EXPECT_EQ(primary.FSlice[5], 0);
}

TEST(SelectionStepsTest, TheWorkbenchStepsSelectForReal)
{
    TempFolder system;
    ScopedSystemDirectory systemDir(system.path());
    ProcessState state;
    RecordingFeedback feedback;
    feedback.answer = false;
    state.feedback = &feedback;
    TWorkspace workspace(state);
    TTab& primary = workspace.block(kDesBlock)->Rule->Table();
    primary.FLists[1] = {"Районы", "Север|l,Alpha,77", "Юг|l,Beta,78"};
    primary.Redimension(1);
    const ActionResult result = DBGeneralPanelClick(workspace, *workspace.block(kDesBlock), workbenchBlockSteps());
    EXPECT_TRUE(result.done);
    EXPECT_EQ(state.ActiveBlock, kDesBlock);
    // Answered No, the run asks about every region in turn.
    EXPECT_EQ(feedback.questions,
        QStringList({"Модель Alpha не найдена. Остановить?", "Модель Beta не найдена. Остановить?"}));
}

} // namespace
