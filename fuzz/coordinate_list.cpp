// Reads arbitrary bytes as the coordinate lists of axes 0 and 1 of a table of a configuration
// (the first byte chooses the table kind, the rest is split in two), dimensions the table from
// them, names every position and, for a table of modest size, computes the group positions by
// the rules the lists hold. Any input must end in a table or in a refusal.
#include "core/app/fileset.h"
#include "core/tables/summary.h"
#include "core/tables/ttab.h"
#include "fuzzsupport.h"

namespace {

constexpr int kTableKinds = 5;
constexpr int kBlock = 1;
// Bigger tables are fine to read but would make every run slow to summarise.
constexpr std::int32_t kSummarisedCells = 1 << 16;

void nameEveryPosition(const verola::TTab& table)
{
    for (int axis = 0; axis < verola::kAxisCount; ++axis)
        for (int pos = 0; pos < table.FDims[axis]; ++pos)
            table.PositionText(axis, pos);
}

void summarise(verola::TTab& table)
{
    if (table.FCellCount > kSummarisedCells)
        return;
    for (std::int32_t offset = 0; offset < table.FCellCount; ++offset)
        table.setCellAt(offset, static_cast<float>(offset % 7) - 1.0f);
    verola::Summarize(table, verola::FormatSettings(), 0);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    const verola::ConfigLocation location{verola::fuzz::scratchFolder(), QStringLiteral("lists")};
    const auto kind = static_cast<verola::TableKind>(data[0] % kTableKinds);
    const size_t rest = size - 1;
    verola::fuzz::writeFile(location.filePath(verola::listFileExtension(kind, kBlock, 0)), data + 1, rest / 2);
    verola::fuzz::writeFile(
        location.filePath(verola::listFileExtension(kind, kBlock, 1)), data + 1 + rest / 2, rest - rest / 2);
    verola::fuzz::refusalsAllowed([&] {
        verola::TTab table;
        verola::readTableFromFileSet(table, location, kBlock, kind);
        nameEveryPosition(table);
        summarise(table);
    });
    return 0;
}
