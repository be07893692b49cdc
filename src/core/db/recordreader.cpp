#include "core/db/recordreader.h"

#include "core/db/dataset.h"
#include "core/db/ttable.h"
#include "core/platform/conversions.h"
#include "core/platform/errors.h"
#include "core/platform/feedback.h"
#include "core/tables/lineutils.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <iterator>

namespace verola {

namespace {

const QString kString = QStringLiteral("String");
const QString kValue = QStringLiteral("Value");
const QString kTitle = QStringLiteral("Title");
const QString kResult = QStringLiteral("Result");
const QString kComplex = QStringLiteral("Complex");
const QString kAlways = QStringLiteral("Всегда");
const QString kNoCodes;
constexpr int kNoYear = -1'000'000;
constexpr int kTextYear = -2'000'000;

struct AgeBand {
    int lower;
    int upper;
};
constexpr AgeBand kAgeBands[] = {{0, 1}, {0, 3}, {4, 7}, {8, 15}, {16, 20}, {21, 30}, {31, 40}, {41, 50},
    {51, 60}, {61, 150}};

bool tryInt(const QString& text, int& value)
{
    bool ok = false;
    value = text.trimmed().toInt(&ok);
    return ok;
}

int intOr(const QString& text, int fallback)
{
    int value = 0;
    return tryInt(text, value) ? value : fallback;
}

double floatOr(const QString& text, double fallback, const FormatSettings& format)
{
    double value = 0;
    return tryStrToFloat(text, format, value) ? value : fallback;
}

bool tryDate(const QString& text, const FormatSettings& format, double& value)
{
    return tryStrToDateTime(text.trimmed(), format, value);
}

int yearOf(double dayNumber)
{
    int year = 0, month = 0, day = 0;
    decodeDate(dayNumber, year, month, day);
    return year;
}

// Date texts are recognised by "/" and, as the user writes dates, by the user's date separator.
bool looksLikeDate(const QString& text, const FormatSettings& format)
{
    return text.contains(u'/') || text.contains(format.dateSeparator);
}

// The year of a birth or event text: a year (below 100: 19xx), a date, or `fallback`.
int yearOfText(const QString& text, int fallback, const FormatSettings& format)
{
    if (!looksLikeDate(text, format)) {
        int year = intOr(text, fallback);
        return year < 100 ? year + 1900 : year;
    }
    return yearOf(strToDateTime(text.trimmed(), format));
}

// The year of a birth text as yearOfText reads it; false when the text holds no year.
bool tryBirthYear(const QString& text, const FormatSettings& format, int& year)
{
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return false;
    if (looksLikeDate(trimmed, format)) {
        double day = 0;
        if (!tryDate(trimmed, format, day))
            return false;
        year = yearOf(day);
        return true;
    }
    if (!tryInt(trimmed, year) || year < 0)
        return false;
    if (year < 100)
        year += 1900;
    return true;
}

// The age of a record from its age text, or from its birth text and event date; none when it
// cannot be known.
std::optional<double> knownAge(const QString& age, const QString& event, const FormatSettings& format)
{
    double years = 0;
    if (event.isEmpty()) {
        if (!tryStrToFloat(age.trimmed(), format, years))
            return std::nullopt;
    } else {
        int birthYear = 0;
        if (!tryBirthYear(age, format, birthYear))
            return std::nullopt;
        years = yearOfText(event, 1996, format) - birthYear;
    }
    if (years < 0)
        return std::nullopt;
    return years;
}

// A Russian month name ("Январь" ... "Декабрь") or a month number; 0 when it is neither.
int monthNumberOf(const QString& text)
{
    const int named = intOr(MonthNumber(text.trimmed()), 0);
    return named > 0 ? named : intOr(text, 0);
}

// A date or a plain number; 0 when it is neither.
double dateOrNumber(const QString& text, const FormatSettings& format)
{
    double value = 0;
    if (tryDate(text, format, value))
        return value;
    return intOr(text, 0);
}

double dayOrNoDate(const QString& text, const FormatSettings& format)
{
    double value = 0;
    if (tryDate(text, format, value))
        return value;
    return floatOr(text, kNoDate, format);
}

// The codes of men and women in a record's sex field: the sex-age coordinate's, or 1 and 2
// when it has none or its codes are groups ("Grp").
struct SexCodes {
    const QString& men;
    const QString& women;
};

SexCodes sexCodesOf(const TCoordItem* coordinate)
{
    static const QString one = QStringLiteral("1");
    static const QString two = QStringLiteral("2");
    if (!coordinate || coordinate->Man.contains(QLatin1String("Grp")))
        return {one, two};
    return {coordinate->Man, coordinate->Woman};
}

QString fieldText(TField* field)
{
    try {
        return field ? field->AsString() : QString();
    } catch (const EPlatformError&) {
        return QString();
    }
}

QString fieldText(TDataSet& source, const QString& name)
{
    return name.isEmpty() ? QString() : fieldText(source.FindField(name));
}

bool fieldFloat(TDataSet& source, const QString& name, double& value)
{
    try {
        TField* field = source.FindField(name);
        if (!field || field->IsNull()) // a blank is no value, not a 0
            return false;
        value = field->AsFloat();
        return true;
    } catch (const EPlatformError&) {
        return false;
    }
}

int lineParent(const QStringList& tree, int line)
{
    const int level = TabLevel(tree.at(line));
    for (int k = line - 1; k > 0; --k)
        if (TabLevel(tree.at(k)) < level)
            return k;
    return 0;
}

// Days or units a leaf stands for: 1, or |a - b| + 1 for a range a-b of integers or dates.
double leafSpan(const QString& line, const FormatSettings& format)
{
    const ValueRange range = SplitRange(LastItem(codesPart(line)));
    if (range.upper.isEmpty())
        return 1;
    int a = 0, b = 0;
    if (tryInt(range.lower, a) && tryInt(range.upper, b))
        return std::abs(a - b) + 1;
    double da = 0, db = 0;
    if (tryDate(range.lower, format, da) && tryDate(range.upper, format, db))
        return std::fabs(std::trunc(da) - std::trunc(db)) + 1;
    return 1;
}

double leavesBelow(const QStringList& tree, int line, const FormatSettings& format)
{
    double count = 0;
    const int level = TabLevel(tree.at(line));
    for (int k = line + 1; k < tree.size() && TabLevel(tree.at(k)) > level; ++k)
        if (!nodeHasChildren(tree, k))
            count += leafSpan(tree.at(k), format);
    return count;
}

QString firstEntryField(const std::vector<ItemEntry>& entries, const QString& coordinate)
{
    for (const ItemEntry& entry : entries)
        if (entry.coordinate.compare(coordinate, Qt::CaseInsensitive) == 0)
            return entry.field;
    return QString();
}

bool hasEntryFor(const std::vector<ItemEntry>& entries, const QString& coordinate)
{
    for (const ItemEntry& entry : entries)
        if (entry.coordinate.compare(coordinate, Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

} // namespace

// --- Date and group ranges ------------------------------------------------------------------

bool nodeHasChildren(const QStringList& tree, int line)
{
    return line >= 0 && line + 1 < tree.size() && TabLevel(tree.at(line + 1)) > TabLevel(tree.at(line));
}

QString codesPart(const QString& line)
{
    return LineAttributes(line);
}

namespace {

template <typename Item, typename Make>
std::vector<Item> rangesOfAxis(const TTab& table, int axis, Make make)
{
    std::vector<Item> list;
    if (!validAxis(axis))
        return list;
    const QStringList& lines = table.FLists[axis];
    const TIndex& index = table.FIndex[axis];
    for (int p = 0; p < index.FGroups && p < static_cast<int>(index.FPosLine.size()); ++p) {
        const int line = index.FPosLine[p] - 1;
        const QString codes = line >= 0 && line < lines.size() ? LastItem(codesPart(lines.at(line))) : QString();
        list.push_back(make(SplitRange(codes)));
    }
    return list;
}

} // namespace

TDateList BuildDateList(const TTab& table, int axis, const FormatSettings& format)
{
    return rangesOfAxis<TDateType>(table, axis, [&](const ValueRange& range) {
        TDateType item;
        item.Lower = dayOrNoDate(range.lower, format);
        item.Upper = range.upper.isEmpty() ? item.Lower : dayOrNoDate(range.upper, format);
        return item;
    });
}

TGroupList BuildGroupList(const TTab& table, int axis)
{
    return rangesOfAxis<TGroupItem>(table, axis, [](const ValueRange& range) {
        TGroupItem item;
        item.Lower = static_cast<std::int16_t>(intOr(range.lower, kNoGroup));
        item.Upper = range.upper.isEmpty() ? item.Lower : static_cast<std::int16_t>(intOr(range.upper, -999));
        return item;
    });
}

TDateType DateRangeOf(const TDateList* list, int p)
{
    if (!list || p < 0 || p >= static_cast<int>(list->size()))
        return TDateType{};
    return (*list)[static_cast<size_t>(p)];
}

TGroupItem GroupRangeOf(const TGroupList* list, int p)
{
    if (!list || p < 0 || p >= static_cast<int>(list->size()))
        return TGroupItem{};
    return (*list)[static_cast<size_t>(p)];
}

// --- Tests by value type, time, sex and age -------------------------------------------------

bool MatchValue(const QString& format, const QString& value, const QString& positionText, const TDateType& range,
                const FormatSettings& formatSettings)
{
    const bool equal = value.compare(positionText, Qt::CaseInsensitive) == 0;
    if (format == kString || format == QStringLiteral("Boolean") || equal)
        return equal;
    const ValueRange bounds = SplitRange(positionText);
    if (bounds.upper.isEmpty())
        return false;
    if (format == QStringLiteral("Integer")) {
        const int v = intOr(value, -999);
        return intOr(bounds.lower, -999) <= v && v <= intOr(bounds.upper, -999);
    }
    if (format == QStringLiteral("Float")) {
        const double v = floatOr(value, -999, formatSettings);
        return floatOr(bounds.lower, -999, formatSettings) <= v && v <= floatOr(bounds.upper, -999, formatSettings);
    }
    bool inside = bounds.lower <= value && value <= bounds.upper;
    if (format == QStringLiteral("DateTime")) {
        // Dates compare as days: "15.03.1991" lies outside "01.01.1990-31.12.1990" although its text
        // sorts between them.
        double v = 0, lower = 0, upper = 0;
        if (tryDate(value, formatSettings, v) && tryDate(bounds.lower, formatSettings, lower)
            && tryDate(bounds.upper, formatSettings, upper))
            inside = lower <= v && v <= upper;
        if (!inside)
            return MatchTime(value, range.Lower, range.Upper, formatSettings);
    }
    return inside;
}

bool MatchTime(const QString& spec, double lower, double upper, const FormatSettings& format)
{
    if (spec == kAlways)
        return true;
    int y1 = 0, m1 = 0, d1 = 0, y2 = 0, m2 = 0, d2 = 0;
    decodeDate(lower, y1, m1, d1);
    decodeDate(upper, y2, m2, d2);
    if (const qsizetype dash = spec.indexOf(u'-'); dash >= 0) {
        const double a = dateOrNumber(spec.left(dash), format);
        const double b = dateOrNumber(spec.mid(dash + 1), format);
        return (lower == upper && lower >= a && upper <= b) || (lower <= a && upper >= b);
    }
    if (looksLikeDate(spec, format)) {
        double day = 0;
        if (!tryDate(spec, format, day))
            day = 0;
        return (lower == upper && lower == day) || (lower <= day && day <= upper);
    }
    if (const qsizetype semicolon = spec.indexOf(u';'); semicolon >= 0) {
        const int month = monthNumberOf(spec.left(semicolon));
        const int year = intOr(spec.mid(semicolon + 1), 0);
        return (y1 == y2 && y1 == year && m1 <= month && month <= m2)
            || (y1 < y2 && y1 <= year && year <= y2 && month >= m1);
    }
    const int year = intOr(spec, 0);
    return (y1 == y2 && y1 == year) || (y1 <= year && year <= y2);
}

double AgeFromDates(const QString& birth, const QString& event, const FormatSettings& format)
{
    return yearOfText(event, 1996, format) - yearOfText(birth, 1900, format);
}

int bandLowerAge(int band)
{
    return band >= 0 && band < 10 ? kAgeBands[band].lower : 0;
}

int bandUpperAge(int band)
{
    return band >= 0 && band < 10 ? kAgeBands[band].upper : 0;
}

SexAgeResult MatchSexAge(int sex, const QString& age, const QString& event, const TDateType& timeRange,
                         const TGroupItem& groups, const FormatSettings& format)
{
    if (!event.isEmpty() && !MatchTime(event, timeRange.Lower, timeRange.Upper, format))
        return {false, 1};
    const int g1 = static_cast<std::uint16_t>(groups.Lower);
    const int g2 = static_cast<std::uint16_t>(groups.Upper);
    if (sex != g1 / 10 && sex != g2 / 10 && sex != g1 / 100 && sex != g2 / 100)
        return {false, 2};
    const int lowAge = bandLowerAge(g1 % 10);
    const int highAge = bandUpperAge(g2 % 10);
    const std::optional<double> a = knownAge(age, event, format);
    if (!a)
        return {false, 2, true};
    return {lowAge <= *a && *a <= highAge, 2};
}

// --- Weights --------------------------------------------------------------------------------

double LookupWeight(TSession& session, const QString& database, const QString& table, const QString& keyField,
                    const QString& key, const QString& valueField)
{
    try {
        TTable weights(session);
        weights.SetDatabaseName(database);
        weights.SetTableName(table);
        weights.Open();
        weights.First();
        const int count = weights.RecordCount();
        for (int i = 0; i < count; ++i, weights.Next()) {
            if (weights.FieldByName(keyField).AsString().compare(key, Qt::CaseInsensitive) == 0)
                return weights.FieldByName(valueField).AsFloat();
        }
    } catch (const EPlatformError&) {
    }
    return -1;
}

double WeightOf(TSession& session, const QStringList& tree, int line, const QString& weightText,
                const FormatSettings& format)
{
    if (weightText.isEmpty())
        return 1;
    const QStringList parts = weightText.split(u',');
    auto part = [&](int i) { return i < parts.size() ? parts.at(i).trimmed() : QString(); };
    const double divisor = strToFloat(part(4), format);
    if (line <= 0 || line >= tree.size())
        return 1;
    auto lookup = [&](int node) {
        return LookupWeight(session, part(0), part(1), part(2), LineName(tree.at(node)), part(3));
    };
    int node = line;
    double weight = lookup(node);
    while (weight <= 0 && node != 0) {
        node = lineParent(tree, node);
        if (node != 0)
            weight = lookup(node);
    }
    if (weight <= 0)
        return 1; // no weight found: the divisor is never used
    if (divisor == 0)
        throw EConvertError(QStringLiteral("Текст веса \"%1\" делит на 0").arg(weightText));
    const double leaves = leavesBelow(tree, node, format);
    if (leaves > 0)
        weight /= leaves;
    const double result = weight / divisor;
    if (!std::isfinite(result))
        throw EFloatingPointError(QStringLiteral("Вес \"%1\" для \"%2\" не конечное число: %3 / %4")
                                      .arg(weightText, LineName(tree.at(node)))
                                      .arg(weight)
                                      .arg(divisor));
    return result;
}

// --- Entries of a level ---------------------------------------------------------------------

TDatabaseFields databaseFieldsOf(const QStringList& items)
{
    std::vector<ItemEntry> entries;
    for (const QString& item : items)
        entries.push_back(SplitItemEntry(item));
    TDatabaseFields fields;
    fields.time = firstEntryField(entries, kTime);
    fields.sexAge = firstEntryField(entries, kSexAgeGroup);
    if (!fields.sexAge.isEmpty())
        return fields;
    fields.sex = firstEntryField(entries, QStringLiteral("Sex"));
    const bool hasAge = hasEntryFor(entries, QStringLiteral("Age"));
    fields.ageOrBirth = firstEntryField(entries, hasAge ? QStringLiteral("Age") : QStringLiteral("BirthDate"));
    if (!hasAge) {
        const bool hasCall = hasEntryFor(entries, QStringLiteral("CallDate"));
        fields.event = firstEntryField(entries, hasCall ? QStringLiteral("CallDate") : QStringLiteral("DeathDate"));
    }
    return fields;
}

bool isCountMode(const QStringList& items)
{
    for (const QString& item : items)
        if (item.contains(kTitle) || item.contains(kResult))
            return false;
    return true;
}

std::vector<TRecordEntry> recordEntriesOf(const TPanelInfoStruct& description, const QStringList& items)
{
    std::vector<TRecordEntry> entries;
    for (const QString& item : items) {
        const ItemEntry split = SplitItemEntry(item);
        TRecordEntry entry{split.field, split.coordinate, split.role, QString(), -1, kString, {}};
        entry.isValue = split.role == kValue;
        entry.isTitle = split.role == kTitle;
        entry.isBirthDate = split.coordinate == QStringLiteral("BirthDate");
        entry.isCallDate = split.coordinate == QStringLiteral("CallDate");
        entry.namesSexAgeGroup = split.coordinate == kSexAgeGroup;
        if (split.coordinate.contains(u'+')) {
            entry.isComplex = true;
            entry.name = kComplex;
            entry.parts = split.coordinate.split(u'+');
        } else {
            entry.name = MapFieldToCoord(split.coordinate);
            entry.isTime = entry.name == kTime;
            entry.isSexAge = entry.name == kSexAgeGroup;
            if (entry.name == kResult) {
                entry.isResult = true;
                entry.isValue = false;
                entry.isTitle = false;
                entry.role.clear();
            } else {
                entry.level = IndexOfCoord(description, entry.name);
                if (entry.level >= 0)
                    entry.format = description.CoordItems[static_cast<size_t>(entry.level)].FormatCoord;
            }
        }
        entries.push_back(std::move(entry));
    }
    return entries;
}

// --- The per-record step --------------------------------------------------------------------

TRecordReader::TRecordReader(TSelectionSources& sources, Feedback& feedback, const FormatSettings& format,
                             TSession& session)
    : sources(sources), feedback(feedback), format(format), session(session)
{
}

CoordIndex TRecordReader::currentIndex() const
{
    CoordIndex index{};
    index[1] = positions[0];
    index[static_cast<size_t>(axes[1])] = positions[1];
    index[static_cast<size_t>(axes[2])] = positions[2];
    if (coords == 4)
        index[static_cast<size_t>(axes[3])] = positions[3];
    return index;
}

void TRecordReader::AddToCell(float x)
{
    const CoordIndex index = currentIndex();
    const float previous = primary->GetCell(index);
    primary->SetCell(index, (isMissing(previous) ? 0.0f : previous) + x);
}

void TRecordReader::SetCurrentCell(float x)
{
    primary->SetCell(currentIndex(), x);
}

// Writes a record's value over the cell, noting a cell that already had one from this run.
void TRecordReader::writeValue(float x)
{
    const CoordIndex index = currentIndex();
    const std::int64_t offset = primary->offsetOf(index);
    if (m_writtenCells.contains(offset))
        m_overwrittenCells.insert(offset);
    else
        m_writtenCells.insert(offset);
    primary->SetCell(index, x);
}

void TRecordReader::SumAccumulate(TTempList* list, int n, float x)
{
    if (x == kMissing || !list || (anyCountMode() && !sources.masterLink))
        return;
    TOneTempItem* item = accumulatorAt(*list, n, feedback);
    if (!item)
        return;
    item->Sum = item->Count == 0 ? x : item->Sum + x;
    ++item->Count;
}

void TRecordReader::FlushAccumulators(TTempList* list, int p, int& counter)
{
    if (!list || !dataType() || anyCountMode() || p < 0 || p >= static_cast<int>(list->size()))
        return;
    const TOneTempItem& item = (*list)[static_cast<size_t>(p)];
    if (item.Count <= 0 || item.Sum == kMissing)
        return;
    primary->SetCell(currentIndex(), item.Sum / static_cast<float>(item.Count));
    ++counter;
}

TField* TRecordReader::findField(TDataSet& source, const QString& name, FieldSlot& slot)
{
    if (name.isEmpty())
        return nullptr;
    if (slot.dataSet != &source || slot.opening != source.openingStamp() || slot.name != name) {
        slot.dataSet = &source;
        slot.opening = source.openingStamp();
        slot.name = name;
        slot.field = source.FindField(name);
        if (!slot.field)
            noteMissingField(source, name);
    }
    return slot.field;
}

TField* TRecordReader::databaseField(const QString TDatabaseFields::*field)
{
    const QString TDatabaseFields::*const kinds[] = {&TDatabaseFields::time, &TDatabaseFields::sexAge,
        &TDatabaseFields::sex, &TDatabaseFields::ageOrBirth, &TDatabaseFields::event};
    const size_t slot = static_cast<size_t>(std::find(std::begin(kinds), std::end(kinds), field) - std::begin(kinds));
    const bool fromTable = !(tableFields.*field).isEmpty();
    TDataSet& source = fromTable ? static_cast<TDataSet&>(sources.table) : sources.query;
    return findField(source, fromTable ? tableFields.*field : queryFields.*field, m_databaseFieldSlots.at(slot));
}

QString TRecordReader::ReadField(const QString TDatabaseFields::*field)
{
    return fieldText(databaseField(field));
}

double TRecordReader::regionWeight(const std::array<double, kLevelCount>& weights) const
{
    const int level = IndexOfCoord(sources.description, kRegion);
    return level >= 0 && level < kLevelCount ? weights[static_cast<size_t>(level)] : 1.0;
}

void TRecordReader::ProcessRecord(TDataSet& source, int level, TLevelAccumulators& accumulators, double w3,
                                  double w2, double w1, double w0)
{
    if (level < 0 || level > coords || level >= kLevelCount || !accumulators.list || accumulators.list->empty())
        return;
    const std::vector<TRecordEntry>& list = entries[static_cast<size_t>(level)];
    const std::array<double, kLevelCount> weights{w0, w1, w2, w3};
    const int n = coords == 3 ? positions[2] : positions[3];
    bool match = true;
    m_lastSexAgePart = 0;
    m_recordLeftOut = false;
    for (size_t e = 0; e < list.size(); ++e) {
        const TRecordEntry& entry = list[e];
        QString composite;
        const QString* text = &composite;
        double weight = 1;
        int position = -1;
        if (entry.isComplex) {
            composite = compositeText(entry);
        } else if (entry.level >= 0 && entry.level < kLevelCount) {
            text = &sources.currentCodes[static_cast<size_t>(entry.level)];
            weight = weights[static_cast<size_t>(entry.level)];
            position = positions[static_cast<size_t>(entry.level)];
        }
        const QString& positionText = *text;
        if (entry.isValue) {
            if (static_cast<int>(e) == plainCode.entry && match && &source == &sources.query) {
                plainCode.reached = true;
                if (const QString& value = entryValue(source, level, e); !plainCode.value.isSharedWith(value))
                    plainCode.value = value;
            }
            if (testValue(source, level, e, positionText, position, match) == Step::Finished)
                return;
            if (match && (!anyCountMode() || e + 1 < list.size()))
                continue;
        }
        if (entry.isTitle)
            match = true;
        if (match && anyCountMode()) {
            AddToCell(static_cast<float>(1.0 / regionWeight(weights)));
            ++accumulators.direct;
            return;
        }
        if (!(match && (entry.isTitle || entry.isResult)))
            continue;
        if (IsWindOrTempField(positionText)) {
            readWindOrTemperature(source, positionText, weight, n, accumulators);
            return;
        }
        double x = 0;
        if (!fieldFloat(source, positionText, x) && !fieldFloat(source, entry.field + positionText, x))
            continue;
        x /= weight;
        if (dataType()) {
            SumAccumulate(accumulators.list.get(), n, static_cast<float>(x));
        } else {
            writeValue(static_cast<float>(x));
            ++accumulators.direct;
        }
        return;
    }
}

const QString& TRecordReader::entryValue(TDataSet& source, int level, size_t entry)
{
    const quint64 masterStamp = &source == &sources.table ? sources.query.scrollStamp() : 0;
    if (m_values.source != &source || m_values.level != level || m_values.stamp != source.scrollStamp()
        || m_values.masterStamp != masterStamp) {
        m_values.source = &source;
        m_values.level = level;
        m_values.stamp = source.scrollStamp();
        m_values.masterStamp = masterStamp;
        m_values.values.assign(entries[static_cast<size_t>(level)].size(), std::nullopt);
    }
    std::optional<QString>& value = m_values.values[entry];
    if (!value) {
        std::vector<FieldSlot>& slots = m_entryFieldSlots[static_cast<size_t>(level)];
        if (slots.size() <= entry)
            slots.resize(entry + 1);
        value = fieldText(findField(source, entries[static_cast<size_t>(level)][entry].field, slots[entry]));
    }
    return *value;
}

TRecordReader::Step TRecordReader::testValue(TDataSet& source, int level, size_t e, const QString& positionText,
                                             int position, bool& match)
{
    const TRecordEntry& entry = entries[static_cast<size_t>(level)][e];
    const bool hashed = (timeHash && entry.isTime) || (sexAgeHash && entry.isSexAge);
    if (hashed && !horoscopeInTrees)
        return Step::Next; // the hashed walk chose matching positions already; nothing needs the value
    const QString& value = entryValue(source, level, e);
    const QString& codes = innermostCodes ? *innermostCodes : kNoCodes;
    if (entry.isBirthDate && value != lastBirthDate && IsHoroscopeMarked(codes)) {
        lastBirthDate = value;
        horoscope.ComputeHoroscope(value, dataDirectory, format);
    } else if (entry.isCallDate && !lastEventDate.isSharedWith(value)) {
        lastEventDate = value;
    }
    if (hashed)
        return Step::Next;
    if (entry.isComplex) {
        match = match && MatchValue(kString, value, positionText, TDateType{}, format);
        return Step::Next;
    }
    if ((entry.isSexAge && !entry.namesSexAgeGroup) || !match)
        return testSexAge(level, match);
    match = MatchValue(entry.format, value, positionText, DateRangeOf(dateList.get(), position), format);
    if (lastBirthDate != lastEventDate && IsHoroscopeMarked(codes) && horoscope.MatchHoroscope(codes))
        AddToCell(1);
    if (match)
        return Step::Next;
    stopLevel(entry.level, level);
    return Step::Finished;
}

// A failed test of level `flagged` leaves that level's position for the record. The records of
// a source at a deeper level are walked inside that position, in no order known to the walk:
// there the failure leaves only the record itself.
void TRecordReader::stopLevel(int flagged, int level)
{
    if (flagged < 0 || flagged >= kLevelCount)
        return;
    if (flagged < level)
        m_recordLeftOut = true;
    else
        stopFlags[static_cast<size_t>(flagged)] = true;
}

TRecordReader::Step TRecordReader::testSexAge(int level, bool& match)
{
    const TCoordItem* sexAge = sources.coordinate(sexAgeLevel);
    if (!sexAge || sexAgeLevel >= kLevelCount)
        throw EConvertError(QStringLiteral("Для поля пола или возраста нужна координата SexAgeGroup, а у панели её нет"));
    const QString sexText = ReadField(&TDatabaseFields::sex);
    QString age;
    QString event;
    if (sexAge->AgeType == 0 || sexAge->AgeType == 1) {
        event = ReadField(&TDatabaseFields::event);
        age = ReadField(&TDatabaseFields::ageOrBirth);
    } else if (sexAge->AgeType == 2) {
        age = ReadField(&TDatabaseFields::ageOrBirth);
    }
    const SexCodes codes = sexCodesOf(sexAge);
    const int sex = sexText.startsWith(codes.men) ? 1 : sexText.startsWith(codes.women) ? 2 : 0;
    SexAgeResult result{false, m_lastSexAgePart};
    if (match) {
        const int timePosition = timeLevel >= 0 && timeLevel < kLevelCount ? positions[static_cast<size_t>(timeLevel)] : 0;
        result = MatchSexAge(sex, age, event, DateRangeOf(dateList.get(), timePosition),
                             GroupRangeOf(groupList.get(), positions[static_cast<size_t>(sexAgeLevel)]), format);
        m_lastSexAgePart = result.part;
        if (result.ageUnknown)
            noteUnknownAge();
    }
    match = result.ok;
    if (result.ok)
        return Step::Next;
    if (result.part == 1)
        stopLevel(timeLevel, level);
    else if (result.part == 2)
        stopLevel(sexAgeLevel, level);
    return Step::Finished;
}

QString TRecordReader::compositeText(const TRecordEntry& entry) const
{
    QString text;
    for (const QString& part : entry.parts) {
        if (part == QStringLiteral("Raion")) {
            text += LastItem(sources.currentCodes[0]);
            continue;
        }
        const bool datePart = part == QStringLiteral("Year") || part == QStringLiteral("Month")
            || part == QStringLiteral("Day");
        if (!datePart)
            continue;
        const TCoordItem* time = sources.coordinate(timeLevel);
        const QString code = timeLevel >= 0 && timeLevel < kLevelCount
            ? sources.currentCodes[static_cast<size_t>(timeLevel)] : QString();
        int year = 0, month = 0, day = 0;
        decodeDate(strToDateTime(code, format), year, month, day);
        if (part == QStringLiteral("Year"))
            text += QString::number(time && time->UseYear == 1 ? year - 1900 : year);
        else if (part == QStringLiteral("Month"))
            text += QString::number(month);
        else
            text += QString::number(day);
    }
    return text;
}

void TRecordReader::readWindOrTemperature(TDataSet& source, const QString& field, double weight, int n,
                                          TLevelAccumulators& accumulators)
{
    const QString text = fieldText(source, field);
    const SectorReading reading = SectorDegrees(text, 0);
    double degrees = reading.degrees;
    if (!reading.isSector && degrees != -999) {
        try {
            TField* f = source.FindField(field);
            degrees = f ? f->AsInteger() : -999;
        } catch (const EPlatformError&) {
            degrees = -999;
        }
    }
    const double x = degrees == -999 ? degrees : degrees / weight;
    if (reading.isSector)
        AngleAccumulate(accumulators.list.get(), n, static_cast<float>(x), feedback);
    else
        SumAccumulate(accumulators.list.get(), n, static_cast<float>(x));
}

// --- Hashed levels --------------------------------------------------------------------------

int TRecordReader::RecordTimeIndex()
{
    if (!timeHash)
        return -1;
    TField* field = databaseField(&TDatabaseFields::time); // null without a time field: no index
    try {
        if (field && field->DataType() == TFieldType::ftDate && !field->IsNull())
            return HashIndex(*timeHash, kTimeHash, field->AsFloat());
    } catch (const EPlatformError&) {
        return -1;
    }
    const QString value = fieldText(field);
    if (value.isEmpty())
        return -1;
    if (value == kAlways)
        return static_cast<int>(timeHash->size()) - 1;
    return HashIndex(*timeHash, kTimeHash, strToDate(value, format));
}

int TRecordReader::RecordSexAgeIndex()
{
    if (!sexAgeHash)
        return -1;
    const QString sexAge = ReadField(&TDatabaseFields::sexAge);
    if (!sexAge.isEmpty())
        return HashIndex(*sexAgeHash, kSexAgeHash, strToInt(sexAge));
    const SexCodes codes = sexCodesOf(sources.coordinate(sexAgeLevel));
    const QString sex = ReadField(&TDatabaseFields::sex);
    const int base = sex.startsWith(codes.men) ? 100 : sex.startsWith(codes.women) ? 200 : -1;
    if (base < 0)
        return -1;
    // Dates stored as dates give their years without a text in between.
    const int eventYear = yearOfField(&TDatabaseFields::event);
    const int birthYear = eventYear == kNoYear ? kNoYear : yearOfField(&TDatabaseFields::ageOrBirth);
    if (eventYear != kNoYear && birthYear != kNoYear && eventYear != kTextYear && birthYear != kTextYear
        && eventYear >= birthYear)
        return sexAgeIndexOf(base, eventYear - birthYear);
    const std::optional<double> age
        = knownAge(ReadField(&TDatabaseFields::ageOrBirth), ReadField(&TDatabaseFields::event), format);
    if (!age) {
        noteUnknownAge();
        return -1;
    }
    return sexAgeIndexOf(base, *age);
}

// A field the description names but the source lacks: no record passes its test. Said once
// per model, level and field.
void TRecordReader::noteMissingField(TDataSet& source, const QString& name)
{
    const int level = &source == &sources.query ? sources.queryLevel : sources.tableLevel;
    const QString text = sources.levelText(level) + QStringLiteral("в источнике нет поля «%1»").arg(name);
    if (!m_missingFields.contains(text)) {
        m_missingFields.insert(text);
        feedback.message(text);
    }
}

// A record is known by its source's name and its number there, so that a record read again
// for another position is not counted twice.
void TRecordReader::noteUnknownAge()
{
    const bool fromTable = !tableFields.ageOrBirth.isEmpty();
    QString key;
    int number = 0;
    if (fromTable) {
        key = sources.table.DatabaseName() + u'/' + sources.table.TableName();
        if (sources.masterLink)
            key += u'#' + QString::number(sources.query.RecNo());
        number = sources.table.RecNo();
    } else {
        key = sources.query.SQL().join(u' ');
        for (int level = 0; level <= sources.queryLevel && level < kLevelCount; ++level)
            key += u'|' + sources.currentCodes[static_cast<size_t>(level)];
        number = sources.query.RecNo();
    }
    m_unknownAgeRecords.insert(key + u'#' + QString::number(number));
}

// A sex-age code holds the age in its last two digits: older people count at the oldest age
// the codes can hold, so that the age never runs into the sex digit.
int TRecordReader::sexAgeIndexOf(int base, double age) const
{
    constexpr double kOldestCodedAge = 99;
    return HashIndex(*sexAgeHash, kSexAgeHash, base + std::min(age, kOldestCodedAge));
}

// The year of a date field that holds a date; kNoYear when the field is empty or absent,
// kTextYear when it is no date field and its text has to be read.
int TRecordReader::yearOfField(const QString TDatabaseFields::*field)
{
    try {
        TField* f = databaseField(field);
        if (!f)
            return kNoYear;
        if (f->DataType() != TFieldType::ftDate)
            return kTextYear;
        return f->IsNull() ? kNoYear : yearOf(f->AsFloat());
    } catch (const EPlatformError&) {
        return kNoYear;
    }
}

TRecordReader::HashedCount TRecordReader::HashedPositionCount(int level, int count)
{
    int index = -1;
    if (timeHash && level == timeLevel)
        index = RecordTimeIndex();
    else if (sexAgeHash && level == sexAgeLevel)
        index = RecordSexAgeIndex();
    else
        return {-1, count};
    const THashList& list = level == timeLevel ? *timeHash : *sexAgeHash;
    return {index, index < 0 ? 0 : static_cast<int>(list[static_cast<size_t>(index)].Positions.size())};
}

int TRecordReader::HashedPosition(int level, int index, int k) const
{
    const THashList* list = timeHash && level == timeLevel ? timeHash.get()
        : sexAgeHash && level == sexAgeLevel              ? sexAgeHash.get()
                                                          : nullptr;
    if (!list || index < 0)
        return k;
    return (*list)[static_cast<size_t>(index)].Positions.at(k).toInt();
}

} // namespace verola
