#include "core/app/flux.h"
#include "core/app/workspace.h"

#include <gtest/gtest.h>

using namespace verola;

// Components belong to their owner, which deletes them; the tests make them on the heap.
TEST(FluxComponents, TerminalRulesAndOwnership)
{
    ProcessState state;
    TWorkspace owner(state);
    auto* block = new TCompPanel(&owner);
    auto* single = new TSwitchFlux(block);
    auto* a = new TFluxPanel(block);
    auto* b = new TFluxPanel(block);
    a->SetStatus(fpsReady);
    single->SetInputComp1(a);
    single->SetInputComp2(b);
    single->Click(); // one input terminal: ignored
    EXPECT_EQ(single->TermIn(), 1);
    EXPECT_EQ(single->Status(), fpsReady);
    single->SetTermIn(3); // out of range: ignored
    EXPECT_EQ(single->TermIn(), 1);

    single->SetTermInNo(2);
    single->SetTermIn(2);
    EXPECT_EQ(single->InputComponent(), b);
    EXPECT_EQ(single->Status(), fpsEmpty);
    single->SetTermInNo(1);
    EXPECT_EQ(single->TermIn(), 1);
    EXPECT_EQ(single->InputComponent(), a);
    single->SetTermInNo(3);
    EXPECT_EQ(single->TermInNo(), 1);

    // A panel of another owner is refused as input; the link becomes none.
    auto* stranger = new TFluxPanel(&owner);
    b->SetInputComponent(stranger);
    EXPECT_EQ(b->InputComponent(), nullptr);
    b->SetOutputComponent(a);
    EXPECT_EQ(a->Status(), fpsEmpty); // given b's status

    auto* doomed = new TFluxPanel(block);
    doomed->SetInputComponent(b);
    b->SetOutputComponent(doomed);
    single->SetInputComp2(doomed);
    delete doomed;
    EXPECT_EQ(b->OutputComponent(), nullptr);
    EXPECT_EQ(single->InputComp2(), nullptr);
}

TEST(FluxComponents, SettingTheSameStatusPassesNothing)
{
    ProcessState state;
    TWorkspace owner(state);
    auto* block = new TCompPanel(&owner);
    auto* source = new TFluxPanel(block);
    auto* sink = new TFluxPanel(block);
    source->SetOutputComponent(sink);
    sink->SetStatus(fpsBusy);
    source->SetStatus(fpsEmpty); // unchanged: sink keeps its own status
    EXPECT_EQ(sink->Status(), fpsBusy);
    source->SetStatus(fpsSelected);
    EXPECT_EQ(sink->Status(), fpsSelected);
}
