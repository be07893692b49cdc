#pragma once

#include "core/platform/formatsettings.h"
#include "core/tables/ttab.h"

#include <QStringList>

namespace verola {

// The comparison view of a table: the plain cell, or its difference from or ratio to the
// background chosen by FCompareMode / FCompareSource.
float CompareRead(TTab& table, const CoordIndex& v);

// Reads through the per-axis shifts (FShift, FShiftAxis). An axis whose first entry is above 0
// restricts the shifted position to first..last; outside it the read is missing.
float ShiftedRead(TTab& table, const CoordIndex& v, const CoordIndex& first, const CoordIndex& last);

// Builds a target map: for each target position the source position of the same name, 32767
// when there is none. "Всегда", "Везде" and "Все" are wildcards.
void MapPositions(const QStringList& sourceList, const TIndex& sourceIndex, const QStringList& targetList,
    TIndex& targetMap, const TIndex& targetIndex);

// Dimensions the target, fills it from the source through the target's maps (reading the
// source's comparison view), then summarizes it.
void CopyFrom(TTab& target, TTab& source, const FormatSettings& format);
// Gives the target the source's coordinate lists and maps, then CopyFrom.
void CopyStructureFrom(TTab& target, TTab& source, const FormatSettings& format);
// Builds the target's coordinate lists from those of two tables; cells are left alone.
void MergeStructure(TTab& target, TTab& a, TTab& b);

// True when every read of the table through CompareRead/ShiftedRead is its plain cell
// (no comparison, no shift).
bool readsArePlain(const TTab& table);

} // namespace verola
