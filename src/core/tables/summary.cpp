#include "core/tables/summary.h"

#include "core/platform/conversions.h"
#include "core/platform/errors.h"
#include "core/tables/compare.h"
#include "core/tables/lineutils.h"
#include "core/tables/specialfunctions.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>

namespace verola {

namespace {

constexpr double kFloatMax = std::numeric_limits<float>::max();

enum class Rule { Sum, Aver, Disp, Min, Max, Geom, Angle, LogSum, Calc, Form, Const };

// How Aggregate treats a rule text: formula and constant rules by the word they contain,
// the others by their exact word; anything else sums.
Rule aggregateRule(const QString& rule)
{
    if (rule.contains(QStringLiteral("CALC")))
        return Rule::Calc;
    if (rule.contains(QStringLiteral("FORM")))
        return Rule::Form;
    if (rule.contains(QStringLiteral("CONST")))
        return Rule::Const;
    static const std::pair<const char*, Rule> words[] = {{"AVER", Rule::Aver}, {"DISP", Rule::Disp},
        {"MIN", Rule::Min}, {"MAX", Rule::Max}, {"GEOM", Rule::Geom}, {"ANGLE", Rule::Angle},
        {"LOGSUM", Rule::LogSum}};
    for (const auto& [word, kind] : words)
        if (rule == QLatin1String(word))
            return kind;
    return Rule::Sum;
}

// The rule word a GROUP item names, tested in this order; no hit sums.
QString groupRuleWord(const QString& text)
{
    static const char* const words[] = {"AVER", "DISP", "MAX", "MIN", "GEOM", "ANGLE", "LOGSUM", "CALC", "FORM",
        "CONST"};
    for (const char* word : words)
        if (text.contains(QLatin1String(word)))
            return QString::fromLatin1(word);
    return QStringLiteral("SUMMARY");
}

float finiteOrMissing(double value)
{
    return std::isfinite(value) && std::fabs(value) <= kFloatMax ? static_cast<float>(value) : kMissing;
}

// A child value written into a formula: special functions read the user's format, the
// evaluator its own number format. For the evaluator a negative value stands in brackets,
// so that "A^2" or "B-A" keep their meaning.
QString valueText(float value, const QString& formula, const SummaryState& state)
{
    const bool specialFunction = formula.startsWith(u'@');
    const bool userFormat = specialFunction || !state.parser.DotNumberFormat();
    const QString text = formatGeneral(value, 15, userFormat ? state.format.decimalSeparator : QChar(u'.'));
    return value < 0 && !specialFunction ? u'(' + text + u')' : text;
}

// Replaces each "###k" by the text of the current position on axis k. Inserted texts are not
// scanned again, so a position text holding a marker cannot make the loop endless.
QString replacePositionMarkers(TTab& table, const QString& formula, const CoordIndex& index)
{
    const QString marker = QStringLiteral("###");
    QString result = formula;
    qsizetype from = 0;
    qsizetype at;
    while ((at = result.indexOf(marker, from)) >= 0) {
        const QString digit = result.mid(at + marker.size(), 1);
        const int axis = strToInt(digit); // not a digit: EConvertError stops the computation
        const QString text = validAxis(axis) ? table.PositionText(axis, index[axis])
                                                            : QStringLiteral("-999");
        result.replace(at, marker.size() + 1, text);
        from = at + text.size();
    }
    return result;
}

float evaluateCurrentField(TTab& table, QString formula, CoordIndex index, int f, SummaryState& state)
{
    if (state.currentValueLine < 0 || state.currentValueLine >= table.FIndex[f].FCount)
        return kMissing;
    index[f] = table.FIndex[f].FLinePos[state.currentValueLine];
    const float value = CompareRead(table, index);
    ReplaceAll(formula, QStringLiteral("##"), valueText(value, formula, state));
    if (isMissing(value))
        return kMissing;
    return EvaluateFormula(formula, state);
}

struct GroupShape {
    int line = 0; // list line of the group's last line
    std::vector<int> children;
    QStringList childLines;
    bool grandchildren = false;
};

// The direct children of position s on axis g, read below its last line; nothing when that
// line has no line one level deeper right after it.
std::optional<GroupShape> groupShape(const TTab& table, int g, int s)
{
    const QStringList& list = table.FLists[g];
    const TIndex& index = table.FIndex[g];
    GroupShape shape;
    shape.line = index.FPosLine[s] - 1;
    if (shape.line < 1 || shape.line >= list.size() - 1)
        return std::nullopt;
    const int depth = TabLevel(list.at(shape.line));
    if (TabLevel(list.at(shape.line + 1)) != depth + 1)
        return std::nullopt;
    for (qsizetype j = shape.line + 1; j < list.size(); ++j) {
        const int level = TabLevel(list.at(j));
        if (level <= depth)
            break;
        if (level == depth + 1) {
            shape.children.push_back(index.FLinePos[j - 1]);
            shape.childLines.append(list.at(j));
        } else {
            shape.grandchildren = true;
        }
    }
    return shape;
}

// A rule as Aggregate uses it: its kind and the text after its word (formula or constant).
struct ParsedRule {
    Rule kind = Rule::Sum;
    QString operand;
};

ParsedRule parseRule(const QString& ruleText)
{
    ParsedRule parsed{aggregateRule(ruleText), QString()};
    if (parsed.kind == Rule::Calc)
        parsed.operand = ruleText.mid(ruleText.indexOf(QStringLiteral("CALC")) + 4);
    else if (parsed.kind == Rule::Form)
        parsed.operand = ruleText.mid(ruleText.indexOf(QStringLiteral("FORM")) + 4);
    else if (parsed.kind == Rule::Const)
        parsed.operand = ruleText.mid(ruleText.indexOf(QStringLiteral("CONST")) + 5);
    return parsed;
}

float aggregateParsed(TTab& table, const std::vector<int>& children, CoordIndex index, bool plain,
    const ParsedRule& parsed, SummaryState& state)
{
    if (children.empty())
        return kMissing;
    const Rule rule = parsed.kind;
    QString formula = parsed.operand;

    const auto axis = std::find(index.begin(), index.end(), -1);
    if (axis == index.end())
        return kMissing;
    const int f = static_cast<int>(axis - index.begin());
    state.first[f] = children.front();
    state.last[f] = children.back();

    float m = 0, q = 0, s = 0, extreme = 0;
    int n = 0;
    for (size_t e = 0; e < children.size(); ++e) {
        index[f] = children[e];
        float v = plain ? CompareRead(table, index) : ShiftedRead(table, index, state.first, state.last);
        if (isMissing(v))
            continue;
        switch (rule) {
        case Rule::Disp:
            m = m + (v - m) / (n + 1);
            q = q + v * v;
            break;
        case Rule::Min:
            if (n == 0 || v < extreme)
                extreme = v;
            break;
        case Rule::Max:
            if (n == 0 || v > extreme)
                extreme = v;
            break;
        case Rule::Geom:
            if (v > 0)
                s = static_cast<float>(s + std::log(double(v)));
            break;
        case Rule::Angle:
            if (v - m > 180)
                v = v - 360;
            else if (m - v > 180)
                v = v + 360;
            m = m + (v - m) / (n + 1);
            if (m > 360)
                m = m - 360;
            else if (m < 0)
                m = m + 360;
            break;
        case Rule::LogSum: {
            double term = std::pow(10.0, double(v));
            if (!std::isfinite(term) || term > kFloatMax)
                term = 0; // an overflowing term counts as nothing
            s = static_cast<float>(s + term);
            break;
        }
        case Rule::Calc:
        case Rule::Form:
            ReplaceAll(formula, u'#' + QString::number(e), valueText(v, formula, state));
            break;
        default:
            s = s + v;
            break;
        }
        ++n;
    }
    if (n == 0)
        return kMissing;

    switch (rule) {
    case Rule::Aver: return finiteOrMissing(s / n);
    case Rule::Geom: return finiteOrMissing(std::exp(double(s) / n));
    case Rule::Disp: {
        const double spread = double(q) - n * double(m) * double(m);
        return spread >= 0 && n >= 2 ? finiteOrMissing(std::sqrt(spread / (n - 1))) : kMissing;
    }
    case Rule::LogSum: return s > 0 ? finiteOrMissing(std::log10(double(s)) / n) : kMissing;
    case Rule::Calc: return EvaluateFormula(replacePositionMarkers(table, formula, index), state);
    case Rule::Form: return evaluateCurrentField(table, formula, index, f, state);
    case Rule::Const: return finiteOrMissing(strToFloat(formula, state.format));
    case Rule::Angle: return finiteOrMissing(m);
    case Rule::Min:
    case Rule::Max: return extreme;
    default: return finiteOrMissing(s);
    }
}

// Individual rules: per axis and position, the rule word of a first item "AXIS:word".
using IndividualRules = std::array<std::vector<std::optional<ParsedRule>>, kAxisCount>;

IndividualRules collectIndividualRules(const TTab& table)
{
    IndividualRules rules;
    for (int axis = 0; axis < kAxisCount; ++axis) {
        const int positions = table.FIndex[axis].FGroups;
        for (int p = 0; p < positions; ++p) {
            const QString item = FirstItem(table.PositionText(axis, p));
            if (!item.contains(QStringLiteral("AXIS:")))
                continue;
            rules[axis].resize(static_cast<size_t>(positions));
            rules[axis][p] = parseRule(item.mid(item.indexOf(u':') + 1));
        }
    }
    return rules;
}

bool hasIndividualRulesBesides(const IndividualRules& rules, int axis)
{
    for (int k = 0; k < kAxisCount; ++k)
        if (k != axis && !rules[k].empty())
            return true;
    return false;
}

// Every combination of the other axes' positions, one Aggregate each.
void summarizeGroupByCell(TTab& table, int g, int s, const GroupShape& shape, const QString& groupRule,
    const IndividualRules& individual, SummaryState& state)
{
    const CoordIndex counts = table.positionCounts();
    for (int k = 0; k < kAxisCount; ++k)
        if (k != g && counts[k] <= 0)
            return;
    const ParsedRule parsedGroupRule = parseRule(groupRule);
    CoordIndex combo{};
    combo[g] = s;
    while (true) {
        const ParsedRule* rule = &parsedGroupRule;
        for (int k = 0; k < kAxisCount; ++k)
            if (k != g && !individual[k].empty() && individual[k][combo[k]])
                rule = &*individual[k][combo[k]];
        CoordIndex index = combo;
        index[g] = -1;
        state.first.fill(-1);
        state.last.fill(-1);
        const float result = aggregateParsed(table, shape.children, index, shape.grandchildren, *rule, state);
        table.SetCell(combo, result);

        int k = 0;
        while (k < kAxisCount && (k == g || ++combo[k] >= counts[k])) {
            if (k != g)
                combo[k] = 0;
            ++k;
        }
        if (k == kAxisCount)
            return;
    }
}

// The common case, no comparison, no shift and no individual rules: the group's cells are
// computed run by run, a tile of cells of the lower axes at a time.
template <Rule R>
struct RunAccumulator {
    static void addOne(float v, float& acc, std::int32_t& count)
    {
        const bool present = v != kMissing;
        if constexpr (R == Rule::Sum || R == Rule::Aver) {
            acc += present ? v : 0.0f;
        } else {
            const bool better = R == Rule::Min ? v < acc : v > acc;
            acc = present && (count == 0 || better) ? v : acc;
        }
        count += present;
    }

    static void add(const float* in, float* acc, std::int32_t* count, std::int64_t n)
    {
        for (std::int64_t i = 0; i < n; ++i)
            addOne(in[i], acc[i], count[i]);
    }

    static float result(float acc, std::int32_t count)
    {
        if (count == 0)
            return kMissing;
        if constexpr (R == Rule::Aver)
            return finiteOrMissing(acc / static_cast<float>(count));
        return finiteOrMissing(acc);
    }
};

// A group of the fast way: its position, the children it reads and its rule.
struct RunGroup {
    int position = 0;
    std::vector<int> children;
    Rule rule = Rule::Sum;
};

bool runsCanCompute(Rule rule)
{
    return rule == Rule::Sum || rule == Rule::Aver || rule == Rule::Min || rule == Rule::Max;
}

RunGroup runGroup(int s, const GroupShape& shape, Rule rule)
{
    RunGroup group{s, shape.children, rule};
    if (!shape.grandchildren && group.children.front() > 0) {
        // The shifted read limits the aggregation axis to the first..last child positions.
        const int first = group.children.front();
        const int last = group.children.back();
        std::erase_if(group.children, [&](int p) { return p < first || p > last; });
    }
    return group;
}

// Working storage of the fast way: one tile of accumulators.
struct Tiles {
    explicit Tiles(std::int64_t size) : acc(static_cast<size_t>(size)), count(static_cast<size_t>(size)) {}
    std::vector<float> acc;
    std::vector<std::int32_t> count;
};

// One group within one slab (all positions of the aggregation axis for one combination of
// the higher axes): the runs of the lower axes, a tile at a time.
template <Rule R>
void summarizeSlab(TTab& table, const RunGroup& group, std::int64_t base, std::int64_t inner, float* slabCells,
    Tiles& tiles)
{
    if (slabCells && inner < 8) {
        for (std::int64_t i = 0; i < inner; ++i) {
            float acc = 0;
            std::int32_t n = 0;
            for (const int child : group.children)
                RunAccumulator<R>::addOne(slabCells[child * inner + i], acc, n);
            slabCells[group.position * inner + i] = RunAccumulator<R>::result(acc, n);
        }
        return;
    }
    const std::int64_t tile = static_cast<std::int64_t>(tiles.acc.size());
    float* acc = tiles.acc.data();
    std::int32_t* count = tiles.count.data();
    for (std::int64_t t = 0; t < inner; t += tile) {
        const std::int64_t n = std::min(tile, inner - t);
        std::fill_n(acc, n, 0.0f);
        std::fill_n(count, n, 0);
        for (const int child : group.children) {
            const std::int64_t offset = base + child * inner + t;
            if (slabCells) {
                RunAccumulator<R>::add(slabCells + (offset - base), acc, count, n);
                continue;
            }
            for (std::int64_t done = 0; done < n;) {
                std::int64_t length = 0;
                const float* cells = table.cellRun(offset + done, length);
                length = std::min(length, n - done);
                RunAccumulator<R>::add(cells, acc + done, count + done, length);
                done += length;
            }
        }
        const std::int64_t target = base + std::int64_t(group.position) * inner + t;
        if (slabCells) {
            float* out = slabCells + (target - base);
            for (std::int64_t i = 0; i < n; ++i)
                out[i] = RunAccumulator<R>::result(acc[i], count[i]);
        } else {
            for (std::int64_t i = 0; i < n; ++i)
                table.setCellAt(target + i, RunAccumulator<R>::result(acc[i], count[i]));
        }
    }
}

// The common case, no comparison, no shift and no individual rules, and only rules the
// runs can compute: slab by slab, every group of the axis (in the order of the positions)
// while the slab is in cache. The cells of one line of the axis depend on nothing outside it,
// so this gives what the group-by-group order gives.
void summarizeAxisByRuns(TTab& table, int g, const std::vector<RunGroup>& groups)
{
    const std::int64_t inner = g == 0 ? 1 : table.FStride[g - 1];
    const std::int64_t slab = inner * table.FDims[g];
    if (slab == 0 || groups.empty())
        return;
    const std::int64_t outer = table.FCellCount / slab;
    Tiles tiles(std::min<std::int64_t>(2048, inner));
    for (std::int64_t o = 0; o < outer; ++o) {
        const std::int64_t base = o * slab;
        std::int64_t run = 0;
        float* slabCells = table.cellRun(base, run);
        if (run < slab)
            slabCells = nullptr; // the slab crosses storage chunks: go piece by piece
        for (const RunGroup& group : groups) {
            switch (group.rule) {
            case Rule::Sum: summarizeSlab<Rule::Sum>(table, group, base, inner, slabCells, tiles); break;
            case Rule::Aver: summarizeSlab<Rule::Aver>(table, group, base, inner, slabCells, tiles); break;
            case Rule::Min: summarizeSlab<Rule::Min>(table, group, base, inner, slabCells, tiles); break;
            case Rule::Max: summarizeSlab<Rule::Max>(table, group, base, inner, slabCells, tiles); break;
            default: break;
            }
        }
    }
}

struct AxisGroup {
    int position;
    GroupShape shape;
    QString rule;
};

// The groups of an axis in the order they are computed: positions from the last to the first.
std::vector<AxisGroup> axisGroups(const TTab& table, int g)
{
    std::vector<AxisGroup> groups;
    for (int s = table.FIndex[g].FGroups - 1; s >= 0; --s) {
        std::optional<GroupShape> shape = groupShape(table, g, s);
        if (!shape)
            continue;
        const QString rule = ParseGroupRule(table.FLists[g].at(shape->line), shape->childLines);
        groups.push_back({s, std::move(*shape), rule});
    }
    return groups;
}

} // namespace

QString ParseGroupRule(const QString& line, const QStringList& childLines)
{
    const QString text = StripTabs(line);
    const qsizetype bar = text.indexOf(u'|');
    if (bar < 0)
        return QString();
    const QStringList items = text.mid(bar + 1).split(u',');
    QString rule;
    for (qsizetype i = 1; i < items.size(); ++i) {
        const QString& item = items.at(i);
        if (!item.contains(QStringLiteral("GROUP")))
            continue;
        const QString word = groupRuleWord(item.mid(item.indexOf(u':') + 1));
        if (word == QStringLiteral("CALC") || word == QStringLiteral("FORM")) {
            QString formula = items.mid(i + 1).join(u',');
            if (word == QStringLiteral("CALC")) {
                const QStringList captions = coordinateCaptions();
                for (int axis = 0; axis < captions.size(); ++axis)
                    ReplaceAll(formula, captions.at(axis), QStringLiteral("###") + QString::number(axis));
            }
            for (qsizetype n = 0; n < childLines.size(); ++n)
                ReplaceAll(formula, LineName(childLines.at(n)), u'#' + QString::number(n));
            if (word == QStringLiteral("FORM"))
                ReplaceAll(formula, QStringLiteral("Текущее поле"), QStringLiteral("##"));
            return word + formula;
        }
        rule = word == QStringLiteral("CONST") ? word + (i + 1 < items.size() ? items.at(i + 1) : QString()) : word;
    }
    return rule;
}

float EvaluateFormula(const QString& text, SummaryState& state)
{
    if (text.startsWith(u'@')) {
        const qsizetype open = text.indexOf(u'(');
        const QString name = open < 0 ? text.mid(1) : text.mid(1, open - 1);
        QString arguments;
        if (open >= 0 && text.indexOf(u')', open) == text.size() - 1)
            arguments = text.mid(open + 1, text.size() - open - 2);
        return SpecialFunction(name, arguments, state.format);
    }
    try {
        state.parser.SetExpression(text);
        return finiteOrMissing(state.parser.Value());
    } catch (const std::exception&) {
        return kMissing;
    }
}

float Aggregate(TTab& table, const std::vector<int>& children, CoordIndex index, bool plain, const QString& ruleText,
    SummaryState& state)
{
    return aggregateParsed(table, children, index, plain, parseRule(ruleText), state);
}

void Summarize(TTab& table, const FormatSettings& format, int currentValueLine)
{
    SummaryState state(format, currentValueLine);
    const IndividualRules individual = collectIndividualRules(table);
    const bool shapeMatches = table.FDims == table.positionCounts();
    const bool plainReads = readsArePlain(table);
    for (int g = kAxisCount - 1; g >= 0; --g) {
        if (table.FLists[g].size() < 3)
            continue;
        const std::vector<AxisGroup> groups = axisGroups(table, g);
        bool byRuns = shapeMatches && plainReads && !hasIndividualRulesBesides(individual, g);
        for (const AxisGroup& group : groups)
            byRuns = byRuns && runsCanCompute(aggregateRule(group.rule));
        if (byRuns) {
            std::vector<RunGroup> runGroups;
            for (const AxisGroup& group : groups)
                runGroups.push_back(runGroup(group.position, group.shape, aggregateRule(group.rule)));
            summarizeAxisByRuns(table, g, runGroups);
            continue;
        }
        for (const AxisGroup& group : groups)
            summarizeGroupByCell(table, g, group.position, group.shape, group.rule, individual, state);
    }
}

} // namespace verola
