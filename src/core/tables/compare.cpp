#include "core/tables/compare.h"

#include "core/tables/lineutils.h"
#include "core/tables/summary.h"

#include <QHash>
#include <QSet>
#include <algorithm>
#include <cmath>

namespace verola {

namespace {

// One past this table's last position on every axis with more than one position, else 0:
// where the block table keeps its reference values.
CoordIndex marginIndex(const TTab& table)
{
    CoordIndex w;
    for (int k = 0; k < kAxisCount; ++k)
        w[k] = table.FIndex[k].FGroups > 1 ? table.FIndex[k].FGroups : 0;
    return w;
}

float sumOfMargins(TTab& table, TTab& blockTable, const CoordIndex& v, bool ratio)
{
    const CoordIndex margin = marginIndex(table);
    float q = ratio ? 1.0f : 0.0f;
    for (int i = 0; i < kAxisCount; ++i) {
        CoordIndex w = margin;
        w[i] = v[i];
        const float r = blockTable.GetCell(w);
        if (isMissing(r))
            return kMissing;
        q = ratio ? q * r : q + r;
        if (isMissing(q))
            return kMissing;
    }
    return q;
}

QString positionName(const QStringList& list, const TIndex& index, int position)
{
    if (position < 0 || position >= static_cast<int>(index.FPosLine.size()))
        return QString();
    const int line = index.FPosLine[position] - 1;
    return line >= 0 && line < list.size() ? LineName(list.at(line)) : QString();
}

bool isWildcard(const QString& name)
{
    return name == QStringLiteral("Всегда") || name == QStringLiteral("Везде") || name == QStringLiteral("Все");
}

std::int64_t strideOf(const TTab& table, int axis)
{
    return axis == 0 ? 1 : table.FStride[axis - 1];
}

// Copies `length` cells between two tables, chunk piece by chunk piece.
void copyCells(TTab& source, std::int64_t from, TTab& target, std::int64_t to, std::int64_t length)
{
    while (length > 0) {
        std::int64_t sourceRun = 0;
        std::int64_t targetRun = 0;
        const float* in = source.cellRun(from, sourceRun);
        float* out = target.cellRun(to, targetRun);
        const std::int64_t n = std::min({length, sourceRun, targetRun});
        std::copy_n(in, n, out);
        from += n;
        to += n;
        length -= n;
    }
}

// For every target position of every axis: the source position, or -1 when it is skipped.
std::array<std::vector<std::int32_t>, kAxisCount> mappedPositions(const TTab& target, const CoordIndex& dims)
{
    std::array<std::vector<std::int32_t>, kAxisCount> mapped;
    for (int k = 0; k < kAxisCount; ++k) {
        const TIndex& map = target.FMap[k];
        mapped[k].resize(static_cast<size_t>(dims[k]));
        for (int p = 0; p < dims[k]; ++p) {
            const int entry = p < static_cast<int>(map.FLinePos.size()) ? map.FLinePos[p] : kAbsentPosition;
            mapped[k][p] = entry >= kAbsentPosition ? -1 : entry;
        }
    }
    return mapped;
}

void fillThroughMaps(TTab& target, TTab& source)
{
    const CoordIndex dims = target.FDims;
    const auto mapped = mappedPositions(target, dims);
    const bool plain = source.FCompareMode == 0;

    // Leading axes mapped one to one onto a source of the same shape are copied as whole runs.
    int runAxes = 0;
    std::int64_t runLength = 1;
    if (plain) {
        while (runAxes < kAxisCount && dims[runAxes] == source.FDims[runAxes]) {
            bool identity = true;
            for (int p = 0; p < dims[runAxes] && identity; ++p)
                identity = mapped[runAxes][p] == p;
            if (!identity)
                break;
            runLength *= dims[runAxes];
            ++runAxes;
        }
    }
    const int firstOuter = std::max(runAxes, 1);

    CoordIndex pos{};
    while (true) {
        bool skip = false;
        std::int64_t targetOffset = 0;
        std::int64_t sourceOffset = 0;
        CoordIndex w{};
        for (int k = firstOuter; k < kAxisCount && !skip; ++k) {
            const int m = mapped[k][pos[k]];
            skip = m < 0 || (plain && m >= source.FDims[k]);
            w[k] = m;
            targetOffset += pos[k] * strideOf(target, k);
            sourceOffset += std::int64_t(m) * strideOf(source, k);
        }
        if (!skip) {
            if (runAxes > 0) {
                copyCells(source, sourceOffset, target, targetOffset, runLength);
            } else {
                for (int p = 0; p < dims[0]; ++p) {
                    const int m = mapped[0][p];
                    if (m < 0)
                        continue;
                    float value;
                    if (plain)
                        value = m < source.FDims[0] ? source.cellAt(sourceOffset + m) : kMissing;
                    else {
                        w[0] = m;
                        value = CompareRead(source, w);
                    }
                    target.setCellAt(targetOffset + p, value);
                }
            }
        }
        int k = firstOuter;
        while (k < kAxisCount && ++pos[k] >= dims[k])
            pos[k++] = 0;
        if (k == kAxisCount)
            break;
    }
}

} // namespace

bool readsArePlain(const TTab& table)
{
    if (table.FCompareMode != 0)
        return false;
    for (const TIndex& index : table.FIndex)
        if (index.FShift != 0)
            return false;
    return true;
}

float CompareRead(TTab& table, const CoordIndex& v)
{
    const float p = table.GetCell(v);
    if (table.FCompareMode == 0)
        return p;
    const bool ratio = table.FCompareMode == 2;
    float q = kMissing;
    switch (table.FCompareSource) {
    case 0:
        if (!table.FBackground)
            return p;
        q = table.FBackground->GetCell(v);
        break;
    case 1:
    case 2:
    case 3: {
        // A table outside a block has no block table to compare with: it reads plainly.
        if (!table.FBlockTable)
            return p;
        TTab& blockTable = *table.FBlockTable;
        if (table.FCompareSource == 1) {
            q = blockTable.GetCell(v);
        } else if (table.FCompareSource == 2) {
            q = sumOfMargins(table, blockTable, v, ratio);
        } else {
            CoordIndex w = marginIndex(table);
            if (table.FCompareAxis < kAxisCount)
                w[table.FCompareAxis] = v[table.FCompareAxis];
            q = blockTable.GetCell(w);
        }
        break;
    }
    case 4: {
        CoordIndex w = v;
        if (table.FCompareAxis < kAxisCount)
            w[table.FCompareAxis] = table.FComparePos;
        q = table.GetCell(w);
        break;
    }
    default:
        return p;
    }
    if (isMissing(p) || isMissing(q))
        return kMissing;
    if (!ratio && table.FCompareMode != 1)
        return p; // an unknown mode compares with nothing
    if (ratio && q == 0)
        return kMissing;
    const float result = ratio ? p / q : p - q;
    return std::isfinite(result) ? result : kMissing;
}

float ShiftedRead(TTab& table, const CoordIndex& v, const CoordIndex& first, const CoordIndex& last)
{
    CoordIndex w = v;
    for (int i = 0; i < kAxisCount; ++i) {
        const TIndex& index = table.FIndex[i];
        const int s = index.FShiftAxis;
        std::int64_t shifted;
        if (s < 0 || s >= kAxisCount) // -999: no multiplying axis
            shifted = std::int64_t(v[i]) + index.FShift;
        else
            shifted = std::int64_t(v[i]) + std::int64_t(w[s]) * index.FShift;
        w[i] = (shifted < INT32_MIN || shifted > INT32_MAX) ? -1 : static_cast<std::int32_t>(shifted);
        if (first[i] > 0 && (w[i] < first[i] || w[i] > last[i]))
            return kMissing;
    }
    return CompareRead(table, w);
}

void MapPositions(const QStringList& sourceList, const TIndex& sourceIndex, const QStringList& targetList,
    TIndex& targetMap, const TIndex& targetIndex)
{
    targetMap.reset();
    targetMap.FCount = targetIndex.FGroups;
    if (targetMap.FCount == 0)
        return;
    QHash<QString, int> firstSource;
    int firstWildcard = kAbsentPosition;
    for (int p = 0; p < sourceIndex.FGroups; ++p) {
        const QString name = positionName(sourceList, sourceIndex, p);
        firstSource.insert(name, std::min(firstSource.value(name, p), p));
        if (isWildcard(name) && firstWildcard == kAbsentPosition)
            firstWildcard = p;
    }
    targetMap.FLinePos.resize(targetMap.FCount);
    for (int p = 0; p < targetMap.FCount; ++p) {
        const QString name = positionName(targetList, targetIndex, p);
        int source = isWildcard(name) ? 0 : std::min(firstSource.value(name, kAbsentPosition), firstWildcard);
        targetMap.FLinePos[p] = static_cast<std::uint16_t>(source);
    }
}

void CopyFrom(TTab& target, TTab& source, const FormatSettings& format)
{
    target.Dimension(target.positionCounts());
    if (target.FCellCount > 0)
        fillThroughMaps(target, source);
    Summarize(target, format);
}

void CopyStructureFrom(TTab& target, TTab& source, const FormatSettings& format)
{
    for (int k = 0; k < kAxisCount; ++k) {
        target.FLists[k] = source.FLists[k];
        target.BuildIndex(k);
        MapPositions(source.FLists[k], source.FIndex[k], target.FLists[k], target.FMap[k], target.FIndex[k]);
    }
    CopyFrom(target, source, format);
    target.FSlice = source.FSlice;
}

void MergeStructure(TTab& target, TTab& a, TTab& b)
{
    for (int i = 0; i < kAxisCount; ++i) {
        const bool manyA = a.FDims[i] > 1;
        const bool manyB = b.FDims[i] > 1;
        const QStringList listA = a.FLists[i];
        const QStringList listB = b.FLists[i];
        QStringList merged;
        if (manyA && manyB) {
            QSet<QString> inB;
            for (const QString& line : listB)
                inB.insert(line.toCaseFolded());
            // The header stays even when the two headers differ: it is not a position.
            for (qsizetype j = 0; j < listA.size(); ++j)
                if (j == 0 || inB.contains(listA.at(j).toCaseFolded()))
                    merged.append(listA.at(j));
        } else if (manyA) {
            merged = listA;
        } else if (manyB) {
            merged = listB;
        } else {
            AddWholeSet(merged, QStringLiteral("T"));
        }
        target.FLists[i] = merged;
        target.BuildIndex(i);
        if (manyA)
            MapPositions(a.FLists[i], a.FIndex[i], target.FLists[i], target.FMap[i], target.FIndex[i]);
        if (manyB)
            MapPositions(target.FLists[i], target.FIndex[i], b.FLists[i], b.FMap[i], b.FIndex[i]);
    }
}

} // namespace verola
