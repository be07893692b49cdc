// Reads arbitrary bytes as the connection file "total.cnn" of a data directory and asks the
// tree what the workbench asks it: every block's coordinate names and the coordinate each
// position takes its values from. Any input must end in a tree, never in a crash or a hang.
#include "core/models/blockconnection.h"
#include "fuzzsupport.h"

namespace {

constexpr int kBlocksAsked = 13;
constexpr int kPositionsAsked = 12;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size)
{
    verola::fuzz::writeFile(verola::fuzz::scratchFile(verola::kConnectionTreeFile), data, size);
    verola::fuzz::refusalsAllowed([] {
        verola::TBlockConnectForm form(verola::fuzz::scratchFolder());
        form.CoordinateNames(verola::kAllBlocks);
        for (int block = 0; block < kBlocksAsked; ++block) {
            form.CoordinateNames(block);
            verola::TCoordinateNameList names = form.CoordinateNameList();
            verola::sortByPositions(names);
            for (int position = 0; position < kPositionsAsked; ++position)
                form.LinkedCoordinate(block, position);
        }
    });
    return 0;
}
