#include "core/platform/errors.h"
#include "core/tables/specialfunctions.h"
#include "core/tables/ttab.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace verola;

namespace {

const FormatSettings kRussian = FormatSettings::russian();

struct Case {
    const char* name;
    QString function;
    QString arguments;
    float expected;
};

void expectCases(const std::vector<Case>& cases)
{
    for (const Case& c : cases) {
        const float value = SpecialFunction(c.function, c.arguments, kRussian);
        if (isMissing(c.expected)) {
            EXPECT_TRUE(isMissing(value)) << c.name << ": " << value;
        } else {
            EXPECT_NEAR(value, c.expected, 1e-5 * std::max(1.0f, std::fabs(c.expected))) << c.name;
        }
    }
}

TEST(SpecialFunction, StabilityFromWindHourAndCloudCover)
{
    const QString screen = QStringLiteral("Устойчивость по Screen2");
    expectCases({
        {"calm day", screen, QStringLiteral("1_12:00_0,2"), 1},
        {"classes 1 and 2, mean 1.5 rounds to 2", screen, QStringLiteral("3_12:00_0,2"), 2},
        {"no class fits", screen, QStringLiteral("12_12:00_0,2"), 4},
        {"night", screen, QStringLiteral("2_23:00_0,2"), 6},
        {"cloudy night, classes 4 and 5, mean 4.5 rounds to even 4", screen, QStringLiteral("7_23:00_0,8"), 4},
        {"cloudy day", screen, QStringLiteral("1_12:00_0,8"), 2},
        {"hour 18 is night", screen, QStringLiteral("2_18:00_0,2"), 6},
        {"hour 7 is day", screen, QStringLiteral("1_07:30_0,2"), 1},
        {"date-time argument", screen, QStringLiteral("1_10.12.2026 12:00_0,2"), 1},
        {"time as a day fraction", screen, QStringLiteral("1_0,5_0,2"), 1},
        {"missing hour counts as noon", screen, QStringLiteral("1_x_0,2"), 1},
        {"missing cloud counts as 0.2", screen, QStringLiteral("1_12:00"), 1},
        {"missing wind", screen, QString(), 4},
    });
}

TEST(SpecialFunction, StabilityFromTheWindProfile)
{
    const QString wind = QStringLiteral("Устойчивость по ветру");
    // s = (log10(a1/a0) + ln(a2/a0)/ln 50) / 2; a1 = 10^0.12 and a2 = 50^0.12 give s = 0.12.
    const QString s012 = QStringLiteral("1_1,31825674_1,59910286");
    expectCases({
        {"calm at noon", wind, QStringLiteral("0_1_1_12_0"), 1},
        {"calm at night", wind, QStringLiteral("0_1_1_3_0"), 6},
        {"calm without an hour", wind, QStringLiteral("0_1_1"), 6},
        {"village profile", wind, s012 + QStringLiteral("_12_0"), 3},
        {"town profile", wind, s012 + QStringLiteral("_12_1"), 1},
        {"steep town profile", wind, QStringLiteral("1_10_50_12_1"), 6},
        {"negative surface kind", wind, s012 + QStringLiteral("_12_-1"), kMissing},
        {"missing surface kind", wind, s012 + QStringLiteral("_12"), kMissing},
        {"negative speed", wind, QStringLiteral("1_-1_1_12_0"), kMissing},
        {"missing speed", wind, QStringLiteral("1_1"), kMissing},
        {"flat profile", wind, QStringLiteral("2_2_2_12_1"), 1},
    });
}

TEST(SpecialFunction, WindProfileFaultsRaiseTheFloatingPointError)
{
    const QString wind = QStringLiteral("Устойчивость по ветру");
    EXPECT_THROW(SpecialFunction(wind, QStringLiteral("1_0_1_12_0"), kRussian), EFloatingPointError);
    EXPECT_THROW(SpecialFunction(wind, QStringLiteral("1_1_0_12_0"), kRussian), EFloatingPointError);
}

// The dispersion formulas, written out in double precision.
struct Stack {
    double height, diameter, temperature, volume, a = 120;
};

double signedPower(double p, double x)
{
    return x > 0 ? std::pow(x, p) : (x == 0 ? 0 : -std::pow(-x, p));
}

void dispersion(const Stack& s, double& concentration, double& distance, double& speed)
{
    const double third = 0.333f;
    const double vm = 0.65 * signedPower(third, s.volume * s.temperature / s.height);
    const double w = s.volume / 3.14 / std::sqrt(s.diameter);
    const double f = 1000 * w * w * s.diameter / s.height / s.height / s.temperature;
    speed = vm <= 2 ? vm : vm * (1 + 0.12 * std::sqrt(f));
    const double m = 1 / (0.67 + 0.1 * std::sqrt(f) + 0.34 * signedPower(third, f));
    const double n = vm < 0.3 ? 3 : (vm > 2 ? 1 : 3 - std::sqrt((4.36 - vm) * (vm - 0.3)));
    concentration = 0.001 * s.a * m * n / vm / vm / signedPower(third, s.volume * s.temperature);
    const double d = vm < 2 ? 4.95 * vm * (1 + 0.28 * std::sqrt(f)) : 7 * std::sqrt(vm) * (1 + 0.28 * signedPower(third, f));
    distance = d * s.height;
}

TEST(SpecialFunction, DispersionOfAStack)
{
    const std::vector<std::pair<Stack, QString>> stacks = {
        {{50, 1, 10, 1}, QStringLiteral("50_1_10_1")},                  // vm <= 2: the speed is vm
        {{30, 1.5, 120, 40}, QStringLiteral("30_1,5_120_40")},          // vm > 2
        {{100, 2, 80, 5, 200}, QStringLiteral("100_2_80_5_200")},       // coefficient A given
        {{20, 0.5, 5, 0.01}, QStringLiteral("20_0,5_5_0,01")},          // vm < 0.3
    };
    for (const auto& [stack, arguments] : stacks) {
        double concentration, distance, speed;
        dispersion(stack, concentration, distance, speed);
        expectCases({
            {"concentration", QStringLiteral("ОНД-Концентрация"), arguments, static_cast<float>(concentration)},
            {"distance", QStringLiteral("ОНД-Расстояние"), arguments, static_cast<float>(distance)},
            {"speed", QStringLiteral("ОНД-Скорость"), arguments, static_cast<float>(speed)},
        });
    }
    const double vm = 0.65 * std::pow(0.2, double(0.333f));
    EXPECT_NEAR(SpecialFunction(QStringLiteral("ОНД-Скорость"), QStringLiteral("50_1_10_1"), kRussian), vm, 1e-6);
}

TEST(SpecialFunction, DispersionNeedsFourArgumentsAndPositiveKeys)
{
    const QString c = QStringLiteral("ОНД-Концентрация");
    expectCases({
        {"three arguments", c, QStringLiteral("50_1_10"), kMissing},
        {"zero height", c, QStringLiteral("0_1_10_1"), kMissing},
        {"zero temperature", c, QStringLiteral("50_1_0_1"), kMissing},
        {"missing volume", c, QStringLiteral("50_1_10_x"), kMissing},
        {"zero diameter", c, QStringLiteral("50_0_10_1"), kMissing},
        {"inversion Nozaki", QStringLiteral("Инверсия-Nozaki"), QStringLiteral("1_2_3_4_5"), kMissing},
        {"inversion Screen2", QStringLiteral("Инверсия-Screen2"), QStringLiteral("1_0"), kMissing},
        {"unknown name", QStringLiteral("ОНД"), QStringLiteral("50_1_10_1"), kMissing},
    });
    // A zero volume makes the maximum speed 0 and the concentration a division by zero.
    EXPECT_THROW(SpecialFunction(c, QStringLiteral("50_1_10_0"), kRussian), EFloatingPointError);
}

// Arguments that overflow single precision give infinity on the way; no function may hand
// it on to a cell.
TEST(SpecialFunction, OverflowRaisesTheFloatingPointErrorInEveryFunction)
{
    const std::vector<std::pair<QString, QString>> cases = {
        {QStringLiteral("ОНД-Скорость"), QStringLiteral("1_1_1E30_1E30")},
        {QStringLiteral("ОНД-Расстояние"), QStringLiteral("1_1_1E30_1E30")},
        {QStringLiteral("ОНД-Скорость"), QStringLiteral("1E-30_1_1E30_1E30")},
    };
    for (const auto& [name, arguments] : cases)
        EXPECT_THROW(SpecialFunction(name, arguments, kRussian), EFloatingPointError)
            << name.toStdString() << "(" << arguments.toStdString() << ")";
}

TEST(SpecialFunction, SignedPowerKeepsTheSign)
{
    EXPECT_FLOAT_EQ(SignedPower(0.5f, 4), 2);
    EXPECT_FLOAT_EQ(SignedPower(0.5f, -4), -2);
    EXPECT_EQ(SignedPower(0.5f, 0), 0);
    // 0.333 is the single-precision literal, so the "cube root" of 8 is not quite 2.
    EXPECT_FLOAT_EQ(SignedPower(0.333f, 8), static_cast<float>(std::pow(8.0, 0.3330000042915344)));
    EXPECT_NE(SignedPower(0.333f, 8), 2.0f);
}

} // namespace
