#include "core/models/dose.h"

#include "core/app/workspace.h"
#include "core/db/fieldlookup.h"
#include "core/platform/conversions.h"
#include "core/platform/errors.h"
#include "core/platform/feedback.h"
#include "core/tables/lineutils.h"
#include "core/tables/summary.h"
#include "core/tables/ttab.h"

#include <cfloat>
#include <cmath>
#include <optional>
#include <tuple>
#include <vector>

namespace verola {

namespace {

constexpr int kPollutantAxis = 0;
constexpr int kTimeAxis = 2;
constexpr int kGroupAxis = 6;
constexpr int kRiskTypeAxis = 8;
constexpr double kMissingReference = -999.0;

// --- Arithmetic with the faults of the desktop's floating-point unit ------------------------
// Intermediate values are extended precision; a fault ends the calculation.

using Extended = long double;

[[noreturn]] void raiseOverflow()
{
    throw EFloatingPointError(QStringLiteral("переполнение: число вне допустимого диапазона"));
}

[[noreturn]] void raiseInvalidOperation(const QString& what)
{
    throw EFloatingPointError(QStringLiteral("недопустимая операция: %1").arg(what));
}

[[noreturn]] void raiseZeroDivide(const QString& what)
{
    throw EFloatingPointError(QStringLiteral("деление на ноль: %1").arg(what));
}

QString number(Extended value)
{
    return QString::number(static_cast<double>(value), 'g', 7);
}

Extended checked(Extended value)
{
    if (std::isnan(value))
        raiseInvalidOperation(QStringLiteral("результат не является числом"));
    if (std::isinf(value))
        raiseOverflow();
    return value;
}

// Storing into single precision overflows beyond its range.
float toSingle(Extended value)
{
    if (std::fabs(checked(value)) > FLT_MAX)
        raiseOverflow();
    return static_cast<float>(value);
}

double toDouble(Extended value)
{
    if (std::fabs(checked(value)) > DBL_MAX)
        raiseOverflow();
    return static_cast<double>(value);
}

Extended divide(Extended a, Extended b)
{
    if (b == 0) {
        if (a == 0)
            raiseInvalidOperation(QStringLiteral("0 / 0"));
        raiseZeroDivide(number(a) + QStringLiteral(" / 0"));
    }
    return checked(a / b);
}

Extended log10Of(Extended x)
{
    if (std::isnan(x) || x < 0)
        raiseInvalidOperation(QStringLiteral("логарифм отрицательного числа %1").arg(number(x)));
    if (x == 0)
        raiseZeroDivide(QStringLiteral("логарифм нуля"));
    return std::log10(x);
}

Extended power10(Extended exponent)
{
    return checked(std::pow(Extended(10), checked(exponent)));
}

const Extended kLn10 = std::log(Extended(10));

// --- The indicators of the risk-type axis -------------------------------------------------

enum class Indicator { None, Ladi, Cadi, Ilcr, Hi, Nov0, Nov1, Nov2, Nov3, Missing };

// The indicator of a risk-type line: the text after its first item, tested in this order.
Indicator indicatorOf(const QString& line)
{
    const QString text = RestItems(line);
    if (text.isEmpty())
        return Indicator::None;
    const QString lower = text.toLower();
    if (lower.contains(u"ladi"))
        return Indicator::Ladi;
    if (lower.contains(u"cadi"))
        return Indicator::Cadi;
    if (lower.contains(u"ilcr"))
        return Indicator::Ilcr;
    if (lower.contains(u"hi"))
        return Indicator::Hi;
    if (!lower.contains(u"nov"))
        return Indicator::Missing;
    const QString code = RestItems(text);
    static const Indicator kByCode[] = {Indicator::Nov0, Indicator::Nov1, Indicator::Nov2, Indicator::Nov3};
    for (int n = 0; n < 4; ++n)
        if (code == QString::number(n))
            return kByCode[n];
    return Indicator::Missing; // a code outside 0..3 has no formula
}

bool isNov(Indicator indicator)
{
    return indicator == Indicator::Nov0 || indicator == Indicator::Nov1 || indicator == Indicator::Nov2
        || indicator == Indicator::Nov3;
}

// --- One cell of the calculation ----------------------------------------------------------

bool missing(double value)
{
    return value == kMissingReference;
}

// The five quantities of one concentration, pollutant and exposure group.
struct Quantities {
    float ladi = kMissing;
    float cadi = kMissing;
    float ilcr = kMissing;
    float hi = kMissing;
    double L = kMissingReference; // kept in double precision
};

// Computes one quantity; a fault names the quantity and how it is formed.
template <typename Compute>
auto forming(const char* formula, Compute compute)
{
    try {
        return compute();
    } catch (const EFloatingPointError& fault) {
        throw EFloatingPointError(QStringLiteral("%1 (%2)").arg(fault.message(), QString::fromUtf8(formula)));
    }
}

Quantities quantitiesOf(float c, const PollutantReference& p, const ExposureReference& g)
{
    Quantities q;
    const bool noC = isMissing(c);
    if (!noC && !missing(g.lifetime))
        q.ladi = forming("LADI = c × EXP_FL", [&] { return toSingle(Extended(c) * g.lifetime); });
    if (!noC && !missing(g.chronic))
        q.cadi = forming("CADI = c × EXP_FC", [&] { return toSingle(Extended(c) * g.chronic); });
    if (!isMissing(q.ladi) && !missing(p.SF))
        q.ilcr = forming("ILCR = LADI × SF", [&] { return toSingle(Extended(q.ladi) * p.SF); });
    if (!isMissing(q.cadi) && !missing(p.RFD) && p.RFD != 0)
        q.hi = forming("HI = CADI / RFD", [&] { return toSingle(divide(q.cadi, p.RFD)); });
    if (!noC && !missing(p.A) && !missing(p.B) && p.B != 0)
        q.L = forming("L = c / 10^(−A / B)", [&] { return toDouble(divide(c, power10(divide(-Extended(p.A), p.B)))); });
    return q;
}

// The dose-response ("nov") formula of a code; L is not missing, so B is not 0.
float novFormula(Indicator code, float c, const PollutantReference& p, double L)
{
    const Extended A = p.A;
    const Extended B = p.B;
    switch (code) {
    case Indicator::Nov0:
        return forming("A + B × lg c", [&] { return toSingle(A + B * log10Of(c)); });
    case Indicator::Nov1:
        return forming("B × (L − 1) / ln 10", [&] { return toSingle(divide(B * (Extended(L) - 1), kLn10)); });
    case Indicator::Nov2:
        return forming("0.1 + B × (c / 10^((0.1 − A) / B) − 1) / ln 10",
            [&] { return toSingle(0.1L + divide(B * (divide(c, power10(divide(0.1L - A, B))) - 1), kLn10)); });
    default:
        return forming("lg L", [&] { return toSingle(log10Of(L)); });
    }
}

float indicatorValue(Indicator indicator, float c, const PollutantReference& p, const Quantities& q)
{
    switch (indicator) {
    case Indicator::Ladi:
        return q.ladi;
    case Indicator::Cadi:
        return q.cadi;
    case Indicator::Ilcr:
        return q.ilcr;
    case Indicator::Hi:
        return q.hi;
    default:
        return isNov(indicator) && !missing(q.L) ? novFormula(indicator, c, p, q.L) : kMissing;
    }
}

// --- The walk over the table --------------------------------------------------------------

// The source position of a position of the dose table, or nothing when it is not mapped.
std::optional<int> mappedPosition(const TTab& table, int axis, int position)
{
    const auto& map = table.FMap[axis].FLinePos;
    if (position >= static_cast<int>(map.size()) || map[position] >= kAbsentPosition)
        return std::nullopt;
    return map[position];
}

std::vector<int> mappedPositions(const TTab& table, int axis, int count)
{
    std::vector<int> positions;
    for (int p = 0; p < count; ++p)
        if (mappedPosition(table, axis, p))
            positions.push_back(p);
    return positions;
}

struct DoseInputs {
    std::vector<int> pollutants; // mapped pollutant positions
    std::vector<PollutantReference> pollutantValues; // by pollutant position
    std::vector<ExposureReference> groups;           // by exposure-group position
    std::vector<Indicator> indicators;               // by risk-type position
};

DoseInputs readInputs(const TTab& dose, const CoordIndex& counts, DoseReferenceTables& references)
{
    DoseInputs in;
    in.pollutants = mappedPositions(dose, kPollutantAxis, counts[kPollutantAxis]);
    in.pollutantValues.resize(static_cast<size_t>(counts[kPollutantAxis]));
    in.groups.resize(static_cast<size_t>(counts[kGroupAxis]));
    for (int j = 0; j < counts[kRiskTypeAxis]; ++j)
        in.indicators.push_back(indicatorOf(dose.PositionText(kRiskTypeAxis, j)));
    for (int i : in.pollutants)
        in.pollutantValues[static_cast<size_t>(i)]
            = references.pollutant(ThirdItem(dose.PositionText(kPollutantAxis, i)).toUpper());
    // The exposure factors are read even when no pollutant is found in the source, so that a
    // missing "expf.dbf" is said at once rather than after the next change of the source.
    for (int k = 0; k < counts[kGroupAxis]; ++k)
        in.groups[static_cast<size_t>(k)] = references.exposureGroup(RestItems(dose.PositionText(kGroupAxis, k)));
    return in;
}

// The cell a fault stopped at, by the captions of its axes, the names and the numbers of its
// positions; the risk type only when the fault came from one.
QString faultCell(const TTab& dose, const CoordIndex& index, float c, bool atRiskType)
{
    const QStringList captions = coordinateCaptions();
    QStringList parts;
    for (int axis : {kPollutantAxis, kRegionAxis, kTimeAxis, kGroupAxis, kRiskTypeAxis}) {
        if (axis == kRiskTypeAxis && !atRiskType)
            continue;
        parts.append(QStringLiteral("%1 «%2» (позиция %3)")
                         .arg(captions.value(axis), LineName(dose.PositionText(axis, index[axis])).trimmed())
                         .arg(index[axis] + 1));
    }
    return parts.join(QStringLiteral(", ")) + QStringLiteral(", концентрация %1").arg(number(c));
}

// Writes every indicator of every exposure group for one pollutant, region and time.
void writeIndicators(TTab& dose, CoordIndex index, float c, const PollutantReference& p, const DoseInputs& in)
{
    for (size_t k = 0; k < in.groups.size(); ++k) {
        index[kGroupAxis] = static_cast<int>(k);
        bool atRiskType = false;
        try {
            const Quantities q = quantitiesOf(c, p, in.groups[k]);
            atRiskType = true;
            for (size_t j = 0; j < in.indicators.size(); ++j) {
                if (in.indicators[j] == Indicator::None)
                    continue;
                index[kRiskTypeAxis] = static_cast<int>(j);
                dose.SetCell(index, indicatorValue(in.indicators[j], c, p, q));
            }
        } catch (const EFloatingPointError& fault) {
            throw EFloatingPointError(QStringLiteral("Расчет дозы и риска остановлен в ячейке: %1. Причина: %2")
                                          .arg(faultCell(dose, index, c, atRiskType), fault.message()));
        }
    }
}

// Hides the progress when the calculation ends, also by a fault.
class ProgressShown {
public:
    ProgressShown(ProgressFeedback& progress, int maximum) : m_progress(progress)
    {
        m_progress.progressShow(QStringLiteral("Расчет данных по риску"), maximum);
        m_progress.processEvents();
        m_progress.progressPosition(0);
    }
    ~ProgressShown() { m_progress.progressHide(); }
    ProgressShown(const ProgressShown&) = delete;
    ProgressShown& operator=(const ProgressShown&) = delete;

private:
    ProgressFeedback& m_progress;
};

} // namespace

// --- Reference tables ---------------------------------------------------------------------

DoseReferenceTables::DoseReferenceTables(const QString& folder, const FormatSettings& format)
    : m_session(format), m_pollutantTable(m_session), m_exposureTable(m_session)
{
    m_pollutantTable.SetDatabaseName(folder);
    m_exposureTable.SetDatabaseName(folder);
}

PollutantReference DoseReferenceTables::pollutant(const QString& key)
{
    PollutantReference p;
    const QString name = QStringLiteral("NAME");
    std::tie(p.A, p.B) = LookupPair(
        m_pollutantTable, kDoseResponseTable, key, QStringLiteral("ANOV"), QStringLiteral("BNOV"), name);
    std::tie(p.RFD, p.SF)
        = LookupPair(m_pollutantTable, kToxicityTable, key, QStringLiteral("RFD"), QStringLiteral("SF"), name);
    return p;
}

ExposureReference DoseReferenceTables::exposureGroup(const QString& identifier)
{
    if (m_exposureTable.TableName() != kExposureTable) {
        m_exposureTable.Close();
        m_exposureTable.SetTableName(kExposureTable);
    }
    m_exposureTable.Open();
    int id = 0;
    try {
        id = strToInt(identifier);
    } catch (const EConvertError&) {
        return {};
    }
    for (m_exposureTable.First(); !m_exposureTable.Eof(); m_exposureTable.Next()) {
        try {
            if (m_exposureTable.FieldByName(QStringLiteral("ID_EXP")).AsInteger() == id)
                return {FieldAsNumber(QStringLiteral("EXP_FL"), m_exposureTable),
                    FieldAsNumber(QStringLiteral("EXP_FC"), m_exposureTable)};
        } catch (const EPlatformError&) {
            // A record whose identifier cannot be read is passed over.
        }
    }
    return {};
}

// --- The calculation ----------------------------------------------------------------------

DoseOutcome ComputeDoses(TTab& dose, TTab& concentration, DoseReferenceTables& references, ProgressFeedback& progress)
{
    const CoordIndex counts = dose.positionCounts();
    for (int axis : {kRegionAxis, kTimeAxis, kGroupAxis, kRiskTypeAxis})
        if (counts[axis] == 0)
            return DoseOutcome::AxisWithoutValues;
    const DoseInputs in = readInputs(dose, counts, references);

    const int regions = counts[kRegionAxis];
    const int times = counts[kTimeAxis];
    ProgressShown shown(progress, regions * times);
    dose.Dimension(counts);
    for (int p : mappedPositions(dose, kRegionAxis, regions)) {
        for (int t : mappedPositions(dose, kTimeAxis, times)) {
            progress.progressPosition(times * p + t);
            for (int i : in.pollutants) {
                CoordIndex source{};
                source[kPollutantAxis] = *mappedPosition(dose, kPollutantAxis, i);
                source[kRegionAxis] = *mappedPosition(dose, kRegionAxis, p);
                source[kTimeAxis] = *mappedPosition(dose, kTimeAxis, t);
                const float c = concentration.GetCell(source);
                // A concentration of exactly 0 is no measurement: its cells stay missing.
                if (c == 0.0f)
                    continue;
                CoordIndex target{};
                target[kPollutantAxis] = i;
                target[kRegionAxis] = p;
                target[kTimeAxis] = t;
                writeIndicators(dose, target, c, in.pollutantValues[static_cast<size_t>(i)], in);
            }
        }
    }
    return in.pollutants.empty() ? DoseOutcome::NoPollutantInSource : DoseOutcome::Computed;
}

DoseOutcome CalculateDoseBlock(TWorkspace& workspace)
{
    workspace.activate(workspace.block(kRiskBlock));
    ProcessState& state = workspace.state();
    TTab& dose = workspace.block(kRiskBlock)->Calc->Table();
    TTab& concentration = workspace.block(kConcBlock)->SelectedSummary()->Table();
    DoseReferenceTables references(state.DataDBFRiskDirectory, state.format);
    const DoseOutcome outcome = ComputeDoses(dose, concentration, references, state.ui());
    Summarize(dose, state.format, state.currentValueLine);
    return outcome;
}

} // namespace verola
