// Compiles arbitrary text as an expression and, when it compiles, evaluates it: any input
// must end in a value, a compile error or a floating-point error.
#include "core/expr/parser.h"

#include <QString>
#include <cmath>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size)
{
    // The first byte chooses the number format, the rest is the expression.
    if (size == 0)
        return 0;
    verola::TParser parser;
    parser.SetDotNumberFormat((data[0] & 1) == 0);
    parser.A = 1.5;
    parser.B = -2;
    parser.X = 1e300;
    const QString text = QString::fromLatin1(reinterpret_cast<const char*>(data + 1), static_cast<qsizetype>(size - 1));
    try {
        parser.SetExpression(text);
    } catch (const verola::EMathParserError&) {
        return 0;
    }
    try {
        const double value = parser.Value();
        if (!std::isfinite(value))
            std::abort(); // faults must raise, never leak out as values
    } catch (const verola::EFloatingPointError&) {
    }
    return 0;
}
