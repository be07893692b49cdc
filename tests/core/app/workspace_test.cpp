#include "core/app/blockactions.h"
#include "core/app/configuration.h"
#include "core/app/transfer.h"
#include "core/platform/textfile.h"
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

namespace {

// What the notifier told, one line per signal.
struct ChangeLog {
    explicit ChangeLog(TWorkspace& workspace)
    {
        FlowNotifier& notifier = workspace.notifier();
        QObject::connect(&notifier, &FlowNotifier::componentChanged, &context,
            [this](TFluxComponent* component, FlowChange change) {
                lines.append(QStringLiteral("%1 %2").arg(component->Name).arg(static_cast<int>(change)));
            });
        QObject::connect(&notifier, &FlowNotifier::tableChanged, &context,
            [this](TTablePanel* panel) { lines.append(QStringLiteral("table %1").arg(panel->Name)); });
        QObject::connect(&notifier, &FlowNotifier::activeBlockChanged, &context,
            [this](int block) { lines.append(QStringLiteral("active %1").arg(block)); });
        QObject::connect(&notifier, &FlowNotifier::workspaceReloaded, &context,
            [this] { lines.append(QStringLiteral("reloaded")); });
    }
    bool has(const QString& line) const { return lines.contains(line); }

    QObject context;
    QStringList lines;
};

QString statusLine(const TFluxComponent& component)
{
    return QStringLiteral("%1 %2").arg(component.Name).arg(static_cast<int>(FlowChange::Status));
}

} // namespace

TEST_F(WorkspaceTest, ObserversHearOfEveryStatusAndTerminalChangeDownTheChain)
{
    ChangeLog log(workspace);
    block(2).Switch->Click();
    const QString terminals = QStringLiteral("%1 %2").arg(block(2).Switch->Name).arg(static_cast<int>(FlowChange::Terminals));
    EXPECT_TRUE(log.has(terminals)) << log.lines.join(u';').toStdString();
    for (const TFluxComponent* changed : {static_cast<TFluxComponent*>(block(3).Calc), static_cast<TFluxComponent*>(block(3).Est)})
        EXPECT_TRUE(log.has(statusLine(*changed))) << changed->Name.toStdString();

    // Setting a status a component already has tells nothing.
    log.lines.clear();
    block(3).Calc->SetStatus(block(3).Calc->Status());
    block(3).Rule->SetCapt(block(3).Rule->Capt());
    EXPECT_TRUE(log.lines.isEmpty()) << log.lines.join(u';').toStdString();

    block(3).Rule->SetCapt(QStringLiteral("Новая"));
    EXPECT_EQ(log.lines, QStringList{QStringLiteral("%1 %2").arg(block(3).Rule->Name).arg(static_cast<int>(FlowChange::Caption))});
}

TEST_F(WorkspaceTest, ObserversHearWhichTableAnActionChangedAndWhichBlockIsActive)
{
    ChangeLog log(workspace);
    const int before = state.ActiveBlock;
    ASSERT_NE(before, 3);
    ExtrPanelClick(workspace, block(3));
    EXPECT_EQ(log.lines, (QStringList{QStringLiteral("active 3"), QStringLiteral("table ") + block(3).Extr->Name}));

    log.lines.clear();
    CalcPanelClick(workspace, block(3)); // already active: no second announcement
    EXPECT_FALSE(log.has(QStringLiteral("active 3")));
    TablePanelDragDrop(workspace, block(4).Calc, block(3).Extr);
    EXPECT_TRUE(log.has(QStringLiteral("table ") + block(4).Calc->Name)) << log.lines.join(u';').toStdString();
}

TEST_F(WorkspaceTest, ObserversHearWhenAConfigurationIsOpened)
{
    writeTextLines(config.path() + QStringLiteral("/Study.DES"), {QStringLiteral("Проба")});
    ChangeLog log(workspace);
    ASSERT_TRUE(OpenConfiguration(workspace, config.path() + QStringLiteral("/Study.DES")));
    EXPECT_TRUE(log.has(QStringLiteral("reloaded")));
}

TEST_F(WorkspaceTest, DestroyingTheWorkspaceTellsNobody)
{
    auto owned = std::make_unique<TWorkspace>(state);
    int heard = 0;
    QObject context;
    QObject::connect(&owned->notifier(), &FlowNotifier::componentChanged, &context, [&heard] { ++heard; });
    owned.reset();
    EXPECT_EQ(heard, 0);
}
