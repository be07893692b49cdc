#include "core/expr/parser.h"

#include "core/expr/expressioncompiler.h"
#include "core/expr/parserfunctions.h"

namespace verola {

namespace {

std::uint32_t g_randomSeed = 0;

[[noreturn]] void raiseInvalidOperation()
{
    throw EFloatingPointError(QStringLiteral("Недопустимая операция с плавающей точкой"));
}

[[noreturn]] void raiseOverflow()
{
    throw EFloatingPointError(QStringLiteral("Переполнение при вычислении с плавающей точкой"));
}


std::int64_t truncToInt64(double value)
{
    // 2^63: the first value that does not fit a signed 64-bit integer.
    if (!(std::fabs(value) < 9223372036854775808.0))
        raiseInvalidOperation();
    return static_cast<std::int64_t>(value);
}

// DIV and MOD work on the integral parts; the remainder takes the sign of the dividend.
double integerDivision(double a, double b, bool remainder)
{
    const std::int64_t dividend = truncToInt64(a);
    const std::int64_t divisor = truncToInt64(b);
    if (divisor == 0)
        throw EFloatingPointError(QStringLiteral("Деление на ноль"));
    if (divisor == -1) // avoids the one overflowing case, INT64_MIN div -1
        return remainder ? 0.0 : -static_cast<double>(dividend);
    return remainder ? static_cast<double>(dividend % divisor) : static_cast<double>(dividend / divisor);
}

} // namespace

std::uint32_t randomSeed()
{
    return g_randomSeed;
}

void setRandomSeed(std::uint32_t seed)
{
    g_randomSeed = seed;
}

double nextRandom()
{
    g_randomSeed = g_randomSeed * 134775813u + 1u;
    return static_cast<double>(g_randomSeed) / 4294967296.0;
}

double integerPower(double base, double exponent)
{
    const double whole = std::trunc(exponent);
    if (std::fabs(whole) > 2147483647.0) {
        // Beyond any repeated multiplication worth doing: the result is 0, 1 or out of range.
        const double result = std::pow(base, whole);
        if (!std::isfinite(result))
            raiseOverflow();
        if (result == 0 && whole < 0)
            throw EFloatingPointError(QStringLiteral("Деление на ноль при вычислении с плавающей точкой"));
        return result;
    }
    std::int64_t n = static_cast<std::int64_t>(whole);
    const bool reciprocal = n < 0;
    if (reciprocal)
        n = -n;
    double result = 1;
    double factor = base;
    while (n > 0) {
        if (n & 1)
            result *= factor;
        n >>= 1;
        if (n > 0)
            factor *= factor;
    }
    if (!std::isfinite(result))
        raiseOverflow();
    return reciprocal ? checkedQuotient(1.0, result) : result;
}

double generalPower(double base, double exponent)
{
    if (exponent == 0)
        return 1;
    if (base == 0 && exponent > 0)
        return 0;
    if (exponent == std::trunc(exponent))
        return integerPower(base, exponent);
    if (base < 0)
        raiseInvalidOperation();
    if (base == 0)
        throw EFloatingPointError(QStringLiteral("Деление на ноль при вычислении с плавающей точкой"));
    return std::exp(exponent * std::log(base));
}

double checkedQuotient(double a, double b)
{
    if (b == 0) {
        if (a == 0 || std::isnan(a))
            raiseInvalidOperation();
        throw EFloatingPointError(QStringLiteral("Деление на ноль при вычислении с плавающей точкой"));
    }
    return a / b;
}

double naturalLogarithm(double x)
{
    if (x < 0 || std::isnan(x))
        raiseInvalidOperation();
    if (x == 0)
        throw EFloatingPointError(QStringLiteral("Деление на ноль при вычислении с плавающей точкой"));
    return std::log(x);
}

double squareRoot(double x)
{
    if (x < 0 || std::isnan(x))
        raiseInvalidOperation();
    return std::sqrt(x);
}

namespace {

double fnTan(double x) { return std::tan(x); }
double fnSin(double x) { return std::sin(x); }
double fnCos(double x) { return std::cos(x); }
double fnSinh(double x) { return (std::exp(x) - std::exp(-x)) / 2; }
double fnCosh(double x) { return (std::exp(x) + std::exp(-x)) / 2; }
double fnArctan(double x) { return std::atan(x); }
double fnExp(double x) { return std::exp(x); }
double fnAbs(double x) { return std::fabs(x); }
double fnHeav(double x) { return x >= 0 ? 1 : 0; }
double fnSign(double x) { return x > 0 ? 1 : (x < 0 ? -1 : 0); }
double fnZero(double x) { return x == 0 ? 0 : 1; }
double fnPh(double x)
{
    const double y = x / 0.6366197723675813431;
    return (y - std::nearbyint(y)) * 6.283185307179586477; // nearest integer, halves to even
}
double fnRnd(double x) { return std::trunc(x) * nextRandom(); }
double fnMax(double x, double y) { return x >= y ? x : y; }
double fnMin(double x, double y) { return x >= y ? y : x; }

} // namespace

TCustomParser::TCustomParser(QObject* owner) : QObject(owner) {}

TCustomParser::~TCustomParser() = default;

void TCustomParser::AddVariable(const QString& name, double* address)
{
    m_variables.try_emplace(name.toUpper(), address);
}

bool TCustomParser::AddFunctionOneParam(const QString& name, ParserFunctionOne routine)
{
    return m_functionsOne.try_emplace(name.toUpper(), routine).second;
}

bool TCustomParser::AddFunctionTwoParam(const QString& name, ParserFunctionTwo routine)
{
    return m_functionsTwo.try_emplace(name.toUpper(), routine).second;
}

void TCustomParser::freeChain()
{
    m_chain.clear();
    m_slots.reset();
}

void TCustomParser::SetExpression(const QString& text)
{
    freeChain();
    m_expression = text;
    m_parserError = false;
    try {
        compile(text);
    } catch (const EMathParserError& error) {
        freeChain();
        m_parserError = true;
        if (!OnParserError)
            throw;
        OnParserError(this, error);
    }
}

void TCustomParser::compile(const QString& text)
{
    ExpressionCompiler compiler(*this);
    compiler.compile(text, m_chain, m_slots);
}

double TCustomParser::Value()
{
    if (m_chain.empty())
        return 0;
    for (const TOperationRec& op : m_chain) {
        const double a = op.first ? *op.first : 0;
        const double b = op.second ? *op.second : 0;
        double r;
        switch (op.kind) {
        case TermKind::Variable:
        case TermKind::Number:
            r = a;
            break;
        case TermKind::Negation: r = -a; break;
        case TermKind::Sum: r = a + b; break;
        case TermKind::Difference: r = a - b; break;
        case TermKind::Product: r = a * b; break;
        case TermKind::Quotient: r = checkedQuotient(a, b); break;
        case TermKind::Mod: r = integerDivision(a, b, true); break;
        case TermKind::Div: r = integerDivision(a, b, false); break;
        case TermKind::IntegerPower: r = integerPower(a, b); break;
        case TermKind::Power: r = generalPower(a, b); break;
        case TermKind::Square: r = a * a; break;
        case TermKind::Cube: r = a * (a * a); break;
        case TermKind::FourthPower: r = (a * a) * (a * a); break;
        case TermKind::FunctionOne: r = op.functionOne(a); break;
        case TermKind::FunctionTwo: r = op.functionTwo(a, b); break;
        default: throw EParserInternalError(QStringLiteral("TParser internal error"));
        }
        if (!std::isfinite(r)) {
            if (std::isnan(r))
                raiseInvalidOperation();
            raiseOverflow();
        }
        *op.result = r;
    }
    return *m_chain.back().result;
}

TParser::TParser(QObject* owner) : TCustomParser(owner)
{
    AddVariable(QStringLiteral("A"), &A);
    AddVariable(QStringLiteral("B"), &B);
    AddVariable(QStringLiteral("C"), &C);
    AddVariable(QStringLiteral("D"), &D);
    AddVariable(QStringLiteral("E"), &E);
    AddVariable(QStringLiteral("X"), &X);
    AddVariable(QStringLiteral("Y"), &Y);
    AddVariable(QStringLiteral("T"), &T);

    AddFunctionOneParam(QStringLiteral("TAN"), fnTan);
    AddFunctionOneParam(QStringLiteral("SIN"), fnSin);
    AddFunctionOneParam(QStringLiteral("COS"), fnCos);
    AddFunctionOneParam(QStringLiteral("SINH"), fnSinh);
    AddFunctionOneParam(QStringLiteral("COSH"), fnCosh);
    AddFunctionOneParam(QStringLiteral("ARCTAN"), fnArctan);
    AddFunctionOneParam(QStringLiteral("EXP"), fnExp);
    AddFunctionOneParam(QStringLiteral("LN"), naturalLogarithm);
    AddFunctionOneParam(QStringLiteral("SQRT"), squareRoot);
    AddFunctionOneParam(QStringLiteral("ABS"), fnAbs);
    AddFunctionOneParam(QStringLiteral("HEAV"), fnHeav);
    AddFunctionOneParam(QStringLiteral("SIGN"), fnSign);
    AddFunctionOneParam(QStringLiteral("ZERO"), fnZero);
    AddFunctionOneParam(QStringLiteral("PH"), fnPh);
    AddFunctionOneParam(QStringLiteral("RND"), fnRnd);

    AddFunctionTwoParam(QStringLiteral("MAX"), fnMax);
    AddFunctionTwoParam(QStringLiteral("MIN"), fnMin);
}

} // namespace verola
