#pragma once

#include "core/coreexport.h"

// Hash lists: from a record's date or sex-age value straight to the axis positions that hold it.

#include "core/platform/formatsettings.h"

#include <QStringList>
#include <memory>
#include <vector>

namespace verola {

struct TCoordItem;
class TTab;

struct VEROLA_CORE_EXPORT THashItem {
    double HashValue = -999.0;
    QStringList Positions; // decimal axis positions, in the order added, duplicates allowed
};

using THashList = std::vector<THashItem>;
using THashListPtr = std::unique_ptr<THashList>;

enum HashKind { kTimeHash = 0, kSexAgeHash = 2 };

// Lists longer than this are refused: a description whose bounds are far apart would
// otherwise exhaust memory.
constexpr double kMaxHashItems = 4'000'000;

// None when lower > upper. Throws ELimitError when the bounds are too far apart.
THashListPtr BuildHashList(int kind, double lower, double upper);
// Adds the positions of axis `axis` of `table` to the list. Throws EConvertError for a leaf
// whose last code is neither a number nor a date.
void FillHashList(THashList& list, int axis, int kind, const TTab& table, const FormatSettings& format);
int HashIndex(const THashList& list, int kind, double value);
void FreeHashList(THashListPtr& list);

struct VEROLA_CORE_EXPORT HashBounds {
    double lower = 0;
    double upper = 0;
};
// The bounds of a coordinate's list from its MinValue and MaxValue: dates for a time list
// (default 1 January 1985 to 31 December 1999), ages for a sex-age list (default 1 to 99).
HashBounds hashBoundsOf(const TCoordItem& item, int kind, const FormatSettings& format);

} // namespace verola
