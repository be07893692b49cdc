#pragma once

#include "core/platform/formatsettings.h"

#include <QString>

namespace verola {

// x^p for x > 0, 0 for x = 0, -((-x)^p) for x < 0.
float SignedPower(float p, float x);

// The special functions of rule formulas ("@name(a0_a1_...)"): the ОНД dispersion functions,
// the stability classes and the inversion names. Arguments are read as numbers, else as
// date-times, in the user's format; missing (-999) when the function gives no value.
// A floating-point fault raises EFloatingPointError.
float SpecialFunction(const QString& name, const QString& arguments, const FormatSettings& format);

} // namespace verola
