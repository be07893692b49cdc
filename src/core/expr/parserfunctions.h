#pragma once

#include <cmath>

namespace verola {

// Arithmetic of the evaluator that can fault; each raises EFloatingPointError instead of
// giving an infinity or NaN.
double integerPower(double base, double exponent); // base ^ trunc(exponent); negative gives the reciprocal
double generalPower(double base, double exponent);
double checkedQuotient(double a, double b);
double naturalLogarithm(double x);
double squareRoot(double x);

} // namespace verola
