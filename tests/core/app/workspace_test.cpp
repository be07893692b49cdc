#include "workspacefixture.h"

#include <gtest/gtest.h>

using namespace verola;
using verola::test::WorkspaceTest;

TEST_F(WorkspaceTest, BlocksAreWiredInTheirOrderWithNamesAndNumbers)
{
    std::vector<int> numbers;
    for (TCompPanel* b : workspace.blocksInComponentOrder())
        numbers.push_back(b->number());
    EXPECT_EQ(numbers, (std::vector<int>{4, 1, 2, 0, 3}));
    EXPECT_EQ(block(0).Name, QStringLiteral("PolPanel1"));
    EXPECT_EQ(block(0).Rule->Name, QStringLiteral("PolPanel1_Rule"));
    EXPECT_EQ(block(4).Sel->Name, QStringLiteral("DeathPanel1_Sel"));
    EXPECT_EQ(block(1).Search->Hint, QStringLiteral("Поиск в базе данных"));
    EXPECT_EQ(workspace.upstreamOf(0), -1);
    EXPECT_EQ(workspace.upstreamOf(3), 2);
    EXPECT_EQ(blockValueFieldName(2), QStringLiteral("DOSE"));
    EXPECT_EQ(blockValueFieldName(3), QStringLiteral("DES"));
    EXPECT_EQ(blockUnitText(11), QStringLiteral(" мг/кг-день "));
    for (TCompPanel* b : workspace.blocksInComponentOrder()) {
        EXPECT_EQ(b->Switch->TermIn(), 2);
        EXPECT_EQ(b->Extr->Table().FBackground, &b->Est->Table());
        EXPECT_EQ(b->Est->Table().FBackground, &b->Extr->Table());
        EXPECT_EQ(b->Rule->Table().FBackground, &b->Rule->Table());
        EXPECT_EQ(b->BlockTable().FBackground, &b->BlockTable());
        EXPECT_EQ(b->Rule->Table().FBlock, b);
        EXPECT_EQ(b->Rule->Table().FLists[5], (QStringList{"Весь набор", "\tВесь набор|T"}));
        EXPECT_EQ(b->Extr->Table().FMap[5].FCount, 1);
        EXPECT_TRUE(b->BlockTable().FLists[0].isEmpty());
    }
}

TEST_F(WorkspaceTest, InitialStatusesFollowTheWiring)
{
    struct Case {
        int block;
        TfpStatus rule, extr, calc, est, flowSwitch;
    };
    // The emission block's calculation side is fed by nothing; the dose block has no database,
    // so its switch (on Extr) is empty and so are the morbidity block's Calc and Est.
    const std::vector<Case> cases = {
        {0, fpsReady, fpsReady, fpsEmpty, fpsEmpty, fpsReady},
        {1, fpsReady, fpsReady, fpsReady, fpsReady, fpsReady},
        {2, fpsReady, fpsEmpty, fpsReady, fpsReady, fpsEmpty},
        {3, fpsReady, fpsReady, fpsEmpty, fpsEmpty, fpsReady},
        {4, fpsReady, fpsReady, fpsReady, fpsReady, fpsReady},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(block(c.block).Rule->Status(), c.rule) << c.block;
        EXPECT_EQ(block(c.block).Extr->Status(), c.extr) << c.block;
        EXPECT_EQ(block(c.block).Calc->Status(), c.calc) << c.block;
        EXPECT_EQ(block(c.block).Est->Status(), c.est) << c.block;
        EXPECT_EQ(block(c.block).Switch->Status(), c.flowSwitch) << c.block;
    }
}

TEST_F(WorkspaceTest, SwitchClickCarriesTheOtherInputsStatusDownstream)
{
    // Block 2's switch on Est (ready) makes morbidity's calculation side ready.
    block(2).Switch->Click();
    EXPECT_EQ(block(2).Switch->TermIn(), 1);
    EXPECT_EQ(block(3).Calc->Status(), fpsReady);
    EXPECT_EQ(block(3).Est->Status(), fpsReady);
    // Back on the empty Extr: grey again down the chain.
    block(2).Switch->Click();
    EXPECT_EQ(block(3).Calc->Status(), fpsEmpty);
    EXPECT_EQ(block(3).Est->Status(), fpsEmpty);
    // The emission switch on its empty Est empties the concentration block's Calc and Est.
    block(0).Switch->SetTermIn(1);
    EXPECT_EQ(block(1).Calc->Status(), fpsEmpty);
    EXPECT_EQ(block(1).Est->Status(), fpsEmpty);
    // Busy Extr of block 1 does not pass its switch while the switch takes Est.
    block(1).Switch->SetTermIn(1);
    block(1).Extr->SetStatus(fpsBusy);
    EXPECT_EQ(block(1).Switch->Status(), fpsEmpty);
    block(1).Switch->SetTermIn(2);
    EXPECT_EQ(block(2).Calc->Status(), fpsBusy);
}
