#pragma once

#include "core/coreexport.h"

#include <QString>
#include <QStringList>
#include <array>
#include <cstdint>
#include <memory>
#include <vector>

namespace verola {

class TCompPanel;

constexpr int kAxisCount = 12;
// The axis of the regions ("Регион"), which the dose calculation and the map windows walk.
constexpr int kRegionAxis = 1;
inline bool validAxis(int axis)
{
    return axis >= 0 && axis < kAxisCount;
}
constexpr float kMissing = -999.0f;
constexpr int kPageCells = 1024;
constexpr std::int64_t kMaxCells = 67107839;   // 65,534 full pages and one partial page
constexpr int kMaxAxisLines = 32766;
constexpr std::uint16_t kAbsentPosition = 32767; // a position missing from the source, in a map

using CoordIndex = std::array<std::int32_t, kAxisCount>;

inline bool isMissing(float value) { return value == kMissing; }

// English name of an axis; empty outside 0..11.
QString CoordFieldName(int axis);
// The ten Russian axis captions, in axis order (axes 10 and 11 have none).
QStringList coordinateCaptions();
// Titles of the table kinds 0..3.
QStringList tableKindTitles();
// File-type letter of the table kinds 0..3: d, x, c, s.
QChar tableKindLetter(int kind);

// Per-axis line-to-position index (FIndex) or position map to a source table (FMap).
struct VEROLA_CORE_EXPORT TIndex {
    std::uint16_t FCount = 0;
    std::uint16_t FGroups = 0;
    std::vector<std::uint16_t> FLinePos;
    std::vector<std::int16_t> FPosLine;
    // Table-window settings of the axis; only kept, never interpreted here.
    std::uint8_t FSetting1 = 0;
    std::int16_t FSetting2 = 0;
    std::uint8_t FSetting3 = 2;
    std::int16_t FSetting4 = 1;
    std::uint8_t FSetting5 = 0;
    std::uint8_t FSetting6 = 1;
    std::int32_t FShift = 0;
    std::int32_t FShiftAxis = -999;

    void reset();
};

// A dense twelve-axis table of single-precision cells, stored in pages of 1,024 cells,
// whose axes take their positions from tab-indented coordinate lists.
class VEROLA_CORE_EXPORT TTab {
public:
    TTab();
    ~TTab();
    TTab(const TTab&) = delete;
    TTab& operator=(const TTab&) = delete;

    // Discards every cell and allocates the given shape, all missing. Throws ELimitError
    // (table unchanged) for a negative dimension or more cells than a table can hold.
    void Dimension(const CoordIndex& dims);
    // As Dimension, but the cells hold whatever was there: for a loader that writes every one.
    void DimensionUnfilled(const CoordIndex& dims) { dimension(dims, false); }
    // Sets cells [from, FCellCount) missing.
    void fillMissingFrom(std::int64_t from);
    void Clear();
    float GetCell(const CoordIndex& v)
    {
        if (!inside(v))
            return kMissing;
        const std::int64_t offset = offsetOf(v);
        FLastOffset = static_cast<std::int32_t>(offset);
        return cellAt(offset);
    }
    void SetCell(const CoordIndex& v, float value)
    {
        if (inside(v))
            setCellAt(offsetOf(v), value);
    }
    bool inside(const CoordIndex& v) const
    {
        bool ok = true;
#pragma GCC unroll 12
        for (int i = 0; i < kAxisCount; ++i)
            ok &= static_cast<std::uint32_t>(v[i]) < static_cast<std::uint32_t>(FDims[i]);
        return ok;
    }
    // Rebuilds the line-to-position index of one axis. Throws ELimitError (index unchanged)
    // when the list has more value lines than an axis can hold.
    void BuildIndex(int axis);
    void Redimension(int axis);
    QString PositionText(int axis, int pos) const;
    void SetViewAxes(const CoordIndex& v);

    // Position counts of every axis from the line indexes.
    CoordIndex positionCounts() const;
    // Offset of an index that is inside the dimensions.
    std::int64_t offsetOf(const CoordIndex& v) const
    {
        std::int64_t offset = v[0];
#pragma GCC unroll 11
        for (int i = 1; i < kAxisCount; ++i)
            offset += static_cast<std::int64_t>(v[i]) * FStride[i - 1];
        return offset;
    }
    float cellAt(std::int64_t offset) const { return m_chunks[offset >> kChunkShift][offset & kChunkMask]; }
    void setCellAt(std::int64_t offset, float value) { m_chunks[offset >> kChunkShift][offset & kChunkMask] = value; }
    // Consecutive storage holding cell `offset`, and how many cells follow it there.
    float* cellRun(std::int64_t offset, std::int64_t& length);

    std::array<std::int32_t, kAxisCount - 1> FStride{};
    std::int32_t FCellCount = 0;
    std::int32_t FPagedCount = 0;
    std::uint16_t FPageCount = 0;
    std::uint16_t FLastPageCells = 0;
    std::array<QStringList, kAxisCount> FLists;
    std::array<TIndex, kAxisCount> FIndex;
    std::array<TIndex, kAxisCount> FMap;
    CoordIndex FDims{};
    std::uint16_t FXAxis = 0;
    std::uint16_t FYAxis = 1;
    CoordIndex FSlice{};
    std::int32_t FLastOffset = 0;
    TCompPanel* FBlock = nullptr;
    // The block table of FBlock, read by the comparison views; set by the block that owns the table.
    TTab* FBlockTable = nullptr;
    TTab* FBackground = nullptr;
    std::int32_t FCompareMode = 0;
    std::uint32_t FCompareSource = 0;
    std::uint16_t FCompareAxis = 0;
    std::uint16_t FComparePos = 0;
    std::array<std::array<float, kAxisCount>, 14> FFactors{};
    std::uint8_t FOption1 = 3;
    std::uint8_t FOption2 = 0;

private:
    void dimension(const CoordIndex& dims, bool fill);

    // Pages are grouped into chunks of 256 so that big tables read and write in large runs;
    // page k is the k-th run of 1,024 cells, as in the file.
    static constexpr int kChunkShift = 18;
    static constexpr std::int64_t kChunkCells = std::int64_t(1) << kChunkShift;
    static constexpr std::int64_t kChunkMask = kChunkCells - 1;
    std::vector<std::unique_ptr<float[]>> m_chunks;
};

// The whole-set list: the header "Весь набор" and one value line "\tВесь набор|" + code.
void AddWholeSet(QStringList& list, const QString& code);
bool IsWholeSet(const QStringList& list);
QString wholeSetName();

} // namespace verola
