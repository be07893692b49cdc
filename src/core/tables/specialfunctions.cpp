#include "core/tables/specialfunctions.h"

#include "core/expr/parserfunctions.h"
#include "core/platform/conversions.h"
#include "core/platform/errors.h"
#include "core/tables/ttab.h"

#include <array>
#include <cmath>

namespace verola {

namespace {

constexpr int kArgumentSlots = 10;
using Arguments = std::array<float, kArgumentSlots>;

// The cube-root exponent as the single-precision literal it always was.
constexpr float kThird = 0.333f;

struct ParsedArguments {
    Arguments values;
    int separators = 0;
};

ParsedArguments readArguments(const QString& text, const FormatSettings& format)
{
    ParsedArguments parsed;
    parsed.values.fill(kMissing);
    const QStringList pieces = text.split(u'_');
    parsed.separators = static_cast<int>(pieces.size()) - 1;
    for (int i = 0; i < pieces.size() && i < kArgumentSlots; ++i) {
        double value = 0;
        if (tryStrToFloat(pieces.at(i), format, value) || tryStrToDateTime(pieces.at(i), format, value))
            parsed.values[i] = static_cast<float>(value);
    }
    return parsed;
}

double checkedLog(double x, bool decimal)
{
    const double natural = naturalLogarithm(x); // raises for zero, negative and NaN
    return decimal ? std::log10(x) : natural;
}

float checkedResult(double value)
{
    if (!std::isfinite(value) || std::fabs(value) > 3.4028234663852886e38)
        throw EFloatingPointError(QStringLiteral("Переполнение при вычислении с плавающей точкой"));
    return static_cast<float>(value);
}

enum class DispersionResult { Concentration, Distance, WindSpeed };

// Maximum ground-level concentration, its distance and the dangerous wind speed of a stack.
float dispersion(DispersionResult what, const ParsedArguments& args)
{
    if (args.separators < 3)
        return kMissing;
    const float height = args.values[0];
    const float diameter = args.values[1];
    const float temperature = args.values[2];
    const float volume = args.values[3];
    const float coefficientA = isMissing(args.values[4]) ? 120.0f : args.values[4];
    if (!(height > 0) || !(temperature > 0) || isMissing(volume))
        return kMissing;
    const float vm = static_cast<float>(0.65 * SignedPower(kThird, static_cast<float>(volume * temperature / height)));
    if (!(diameter > 0))
        return kMissing;
    const float w = static_cast<float>(volume / 3.14 / std::sqrt(double(diameter)));
    const float f = static_cast<float>(1000.0 * w * w * diameter / height / height / temperature);
    const float um = vm <= 2 ? vm : static_cast<float>(vm * (1 + 0.12 * std::sqrt(double(f))));
    if (what == DispersionResult::WindSpeed)
        return um;
    const float m = static_cast<float>(
        checkedQuotient(1.0, 0.67 + 0.1 * SignedPower(0.5f, f) + 0.34 * SignedPower(kThird, f)));
    float n;
    if (vm < 0.3f)
        n = 3;
    else if (vm > 2)
        n = 1;
    else
        n = static_cast<float>(3 - std::sqrt((4.36 - vm) * (vm - 0.3)));
    if (what == DispersionResult::Concentration) {
        double c = checkedQuotient(0.001 * coefficientA * 1 * m * n, vm);
        c = checkedQuotient(c, vm);
        c = checkedQuotient(c, SignedPower(kThird, volume * temperature));
        return checkedResult(c);
    }
    const double d = vm < 2 ? 4.95 * vm * (1 + 0.28 * std::sqrt(double(f)))
                            : 7 * std::sqrt(double(vm)) * (1 + 0.28 * SignedPower(kThird, f));
    return checkedResult(d * height);
}

struct StabilityRows {
    std::array<float, 6> lower;
    std::array<float, 6> upper;
};

const StabilityRows kDayClear = {{0, 2, 6, 100, 100, 100}, {3.5f, 6, 11, 100, 100, 100}};
const StabilityRows kDayCloudy = {{-0.1f, 0, 2, 2, 100, 100}, {-0.1f, 3.5f, 6, 3.5f, 100, 100}};
const StabilityRows kNightClear = {{-0.1f, -0.1f, -0.1f, 6, 3.5f, 0}, {-0.1f, -0.1f, -0.1f, 100, 6, 3.5f}};
const StabilityRows kNightCloudy = {{-0.1f, -0.1f, -0.1f, 6, 3.5f, 0}, {-0.1f, -0.1f, -0.1f, 11, 8, 3.5f}};

// Stability class from wind speed, the hour of the observation and the cloud cover.
float stabilityByScreen(const ParsedArguments& args)
{
    const float wind = args.values[0];
    if (isMissing(wind))
        return 4;
    int hour = 12;
    if (!isMissing(args.values[1])) {
        int minute = 0, second = 0, millisecond = 0;
        decodeTime(args.values[1], hour, minute, second, millisecond);
        if (hour < 0 || hour > 23)
            hour = 12;
    }
    const float cloud = isMissing(args.values[2]) ? 0.2f : args.values[2];
    const bool day = hour > 6 && hour < 18;
    const StabilityRows& rows = day ? (cloud < 0.5f ? kDayClear : kDayCloudy) : (cloud < 0.5f ? kNightClear : kNightCloudy);
    int counted = 0;
    float mean = 0;
    for (int k = 1; k <= 6; ++k) {
        if (rows.lower[k - 1] < wind && wind <= rows.upper[k - 1]) {
            ++counted;
            mean = mean + (k - mean) / counted;
        } else if (counted > 0) {
            break;
        }
    }
    return counted > 0 ? static_cast<float>(std::nearbyint(mean)) : 4.0f; // halves to even
}

const std::array<float, 6> kVillageExponents = {0.07f, 0.07f, 0.1f, 0.15f, 0.35f, 0.55f};
const std::array<float, 6> kTownExponents = {0.15f, 0.15f, 0.2f, 0.25f, 0.3f, 0.3f};

// Stability class from the wind profile at three heights (1, 10 and 50 times the first).
float stabilityByWind(const ParsedArguments& args)
{
    const float w0 = args.values[0];
    const float w1 = args.values[1];
    const float w2 = args.values[2];
    const float hour = args.values[3];
    const float surface = args.values[4];
    if (w0 < 0 || w1 < 0 || w2 < 0 || isMissing(w0) || isMissing(w1) || isMissing(w2))
        return kMissing;
    if (w0 == 0)
        return (!isMissing(hour) && hour > 7 && hour <= 19) ? 1.0f : 6.0f;
    const float s = static_cast<float>(
        (checkedLog(double(w1) / w0, true) + checkedLog(double(w2) / w0, false) / std::log(50.0)) / 2);
    if (isMissing(surface) || surface < 0)
        return kMissing;
    const std::array<float, 6>& t = surface == 0 ? kVillageExponents : kTownExponents;
    for (int k = 1; k <= 6; ++k) {
        const bool fits = (k == 1 && s < t[0]) || (k == 6 && s > t[5]) || (k < 6 && t[k - 1] < s && s < t[k]);
        if (fits)
            return static_cast<float>(k);
    }
    return kMissing;
}

} // namespace

float SignedPower(float p, float x)
{
    if (x > 0)
        return static_cast<float>(std::pow(double(x), double(p)));
    if (x == 0)
        return 0;
    return static_cast<float>(-std::pow(-double(x), double(p)));
}

namespace {

float specialFunctionValue(const QString& name, const ParsedArguments& args)
{
    if (name == QStringLiteral("ОНД-Концентрация"))
        return dispersion(DispersionResult::Concentration, args);
    if (name == QStringLiteral("ОНД-Расстояние"))
        return dispersion(DispersionResult::Distance, args);
    if (name == QStringLiteral("ОНД-Скорость"))
        return dispersion(DispersionResult::WindSpeed, args);
    if (name == QStringLiteral("Устойчивость по Screen2"))
        return stabilityByScreen(args);
    if (name == QStringLiteral("Устойчивость по ветру"))
        return stabilityByWind(args);
    // "Инверсия-Nozaki", "Инверсия-Screen2" and unknown names give no value.
    return kMissing;
}

} // namespace

float SpecialFunction(const QString& name, const QString& arguments, const FormatSettings& format)
{
    // Whatever the function, no infinity or NaN may reach a cell.
    return checkedResult(specialFunctionValue(name, readArguments(arguments, format)));
}

} // namespace verola
