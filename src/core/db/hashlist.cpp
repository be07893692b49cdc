#include "core/db/hashlist.h"

#include "core/db/description.h"
#include "core/platform/conversions.h"
#include "core/platform/errors.h"
#include "core/tables/lineutils.h"
#include "core/tables/ttab.h"

#include <cmath>

namespace verola {

namespace {

long long nint(double x)
{
    return std::llround(x);
}

bool nodeHasChildren(const QStringList& list, int line)
{
    return line + 1 < list.size() && TabLevel(list.at(line + 1)) > TabLevel(list.at(line));
}

double numberOrDate(const QString& text, const FormatSettings& format)
{
    double value = 0;
    if (tryStrToFloat(text, format, value))
        return value;
    return strToDate(text, format);
}

// Sex-age codes below 100 are written sex digit first ("12": sex 1, age 2).
double sexAgeValue(double v)
{
    if (v >= 100)
        return v;
    const long long n = nint(v);
    return static_cast<double>(n % 10 + 100 * (n / 10));
}

long long itemIndexFor(const THashList& list, int kind, double x)
{
    const long long count = static_cast<long long>(list.size());
    if (kind == kSexAgeHash && nint(x) >= 200)
        return nint(x - list[static_cast<size_t>(count / 2)].HashValue) + count / 2;
    return nint(x - list.front().HashValue);
}

void addPosition(THashList& list, int kind, int position, double v, double w)
{
    const QString text = QString::number(position);
    THashItem& all = list.back();
    double x = v;
    while (list.front().HashValue <= x && x <= list.back().HashValue && (w == kMissingValue || x <= w)) {
        const long long i = itemIndexFor(list, kind, x);
        if (i < 0 || i >= static_cast<long long>(list.size()))
            return;
        THashItem& item = list[static_cast<size_t>(i)];
        if (item.HashValue == x && !item.Positions.contains(text))
            item.Positions.append(text);
        // Positions come in order: the all-positions item holds each of them once.
        if (all.Positions.isEmpty() || all.Positions.constLast() != text)
            all.Positions.append(text);
        if (w == kMissingValue)
            return;
        x += 1;
    }
}

} // namespace

THashListPtr BuildHashList(int kind, double lower, double upper)
{
    if (lower > upper)
        return nullptr;
    const int runs = kind == kSexAgeHash ? 2 : 1;
    const double perRun = static_cast<double>(nint(upper - lower)) + 2;
    if (perRun * runs > kMaxHashItems)
        throw ELimitError(QStringLiteral("Диапазон значений от %1 до %2 слишком широк для списка быстрого поиска").arg(lower).arg(upper));
    auto list = std::make_unique<THashList>();
    list->reserve(static_cast<size_t>(perRun * runs));
    for (int r = 1; r <= runs; ++r) {
        const double base = kind == kSexAgeHash ? 100.0 * r + lower : lower;
        for (long long k = 0; k < static_cast<long long>(perRun); ++k)
            list->push_back({base + static_cast<double>(k), {}});
    }
    return list;
}

void FillHashList(THashList& list, int axis, int kind, const TTab& table, const FormatSettings& format)
{
    if (list.empty() || axis < 0 || axis >= kAxisCount)
        return;
    const QStringList& lines = table.FLists[axis];
    const TIndex& index = table.FIndex[axis];
    for (int p = 0; p < index.FGroups && p < static_cast<int>(index.FPosLine.size()); ++p) {
        const int line = index.FPosLine[p] - 1;
        if (line < 0 || line >= lines.size() || nodeHasChildren(lines, line))
            continue;
        ValueRange range = SplitRange(LastItem(LineAttributes(lines.at(line))));
        if (range.upper.compare(range.lower, Qt::CaseInsensitive) == 0)
            range.upper.clear();
        double v = numberOrDate(range.lower, format);
        double w = range.upper.isEmpty() ? kMissingValue : numberOrDate(range.upper, format);
        if (kind == kSexAgeHash) {
            v = sexAgeValue(v);
            if (!range.upper.isEmpty())
                w = sexAgeValue(w);
        }
        addPosition(list, kind, p, v, w);
    }
}

int HashIndex(const THashList& list, int kind, double value)
{
    if (list.empty())
        return -1;
    const long long count = static_cast<long long>(list.size());
    long long i = -1;
    if (kind == kSexAgeHash) {
        const long long m = (count - 1) / 2;
        const long long low = nint(list.front().HashValue) % 100;
        const long long high = nint(list[static_cast<size_t>(m)].HashValue) - 100;
        const long long sex = nint(value) / 100;
        const long long age = nint(value) % 100;
        // The last item of each run lies past the upper bound: no value maps there.
        if (low <= age && age < high)
            i = (age - low) + (sex - 1) * (m + 1);
    } else if (list.front().HashValue <= value && value <= list.back().HashValue) {
        i = nint(value - list.front().HashValue);
        if (i == count - 1)
            i = -1; // the day after the last: the all-positions item, which no date selects
    }
    return i >= 0 && i < count ? static_cast<int>(i) : -1;
}

void FreeHashList(THashListPtr& list)
{
    list.reset();
}

HashBounds hashBoundsOf(const TCoordItem& item, int kind, const FormatSettings& format)
{
    if (kind == kSexAgeHash) {
        return {item.MinValue.isEmpty() ? 1.0 : strToInt(item.MinValue),
            item.MaxValue.isEmpty() ? 99.0 : strToInt(item.MaxValue)};
    }
    return {item.MinValue.isEmpty() ? encodeDate(1985, 1, 1) : strToDate(item.MinValue, format),
        item.MaxValue.isEmpty() ? encodeDate(1999, 12, 31) : strToDate(item.MaxValue, format)};
}

} // namespace verola
