#pragma once

#include "core/app/processstate.h"
#include "core/app/workspace.h"
#include "core/platform/textfile.h"
#include "testsupport.h"

#include <gtest/gtest.h>

namespace verola::test {

// A workspace of five blocks over a data folder and a configuration folder of its own.
class WorkspaceTest : public ::testing::Test {
protected:
    WorkspaceTest()
    {
        state.DataDirectory = data.path();
        state.ConfigDirectory = config.path();
        state.format = FormatSettings::russian();
        state.coordinateCaptionList = coordinateCaptions();
        state.StagingTab = std::make_unique<TTab>();
        state.feedback = &feedback;
    }

    TCompPanel& block(int number) { return *workspace.block(number); }

    // Gives a table one list on an axis and dimensions it, all cells missing.
    static void setList(TTab& table, int axis, const QStringList& list)
    {
        table.FLists[axis] = list;
        table.BuildIndex(axis);
        table.Dimension(table.positionCounts());
    }

    TempFolder data;
    TempFolder config;
    RecordingFeedback feedback;
    ProcessState state;
    TWorkspace workspace{state};
};

} // namespace verola::test
