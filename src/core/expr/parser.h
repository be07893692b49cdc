#pragma once

#include "core/coreexport.h"
#include "core/platform/errors.h"
#include "core/platform/formatsettings.h"

#include <QObject>
#include <QString>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <vector>

namespace verola {

// Compile errors of the evaluator; their messages are the evaluator's own English texts.
class VEROLA_CORE_EXPORT EMathParserError : public EPlatformError {
public:
    using EPlatformError::EPlatformError;
    // Name of the concrete class, for reports ("ESyntaxError", ...).
    virtual const char* className() const { return "EMathParserError"; }
};

#define VEROLA_PARSER_ERROR(Name)                                                                                      \
    class Name : public EMathParserError {                                                                            \
    public:                                                                                                            \
        using EMathParserError::EMathParserError;                                                                      \
        const char* className() const override { return #Name; }                                                       \
    };
VEROLA_PARSER_ERROR(ESyntaxError)
VEROLA_PARSER_ERROR(EExpressionHasBlanks)
VEROLA_PARSER_ERROR(EExpressionTooComplex)
VEROLA_PARSER_ERROR(ETooManyNestings)
VEROLA_PARSER_ERROR(EMissMatchingBracket)
VEROLA_PARSER_ERROR(EParserInternalError)
#undef VEROLA_PARSER_ERROR

class TCustomParser;
using TParserExceptionEvent = std::function<void(TCustomParser* sender, const EMathParserError& error)>;

using ParserFunctionOne = double (*)(double);
using ParserFunctionTwo = double (*)(double, double);

// Term kinds as the compiler classifies them; the numbers are those of the operation records.
enum class TermKind : std::uint8_t {
    Variable = 0,
    Number = 1,
    Negation = 2,
    Sum = 3,
    Difference = 4,
    Product = 5,
    Quotient = 6,
    Mod = 7,
    Div = 8,
    IntegerPower = 9,
    Power = 10,
    Square = 11,
    Cube = 12,
    FourthPower = 13,
    FunctionOne = 14,
    FunctionTwo = 15,
};

// One step of a compiled expression: result = routine(first, second).
struct VEROLA_CORE_EXPORT TOperationRec {
    const double* first = nullptr;
    const double* second = nullptr;
    double* result = nullptr;
    TermKind kind = TermKind::Number;
    ParserFunctionOne functionOne = nullptr;
    ParserFunctionTwo functionTwo = nullptr;
};

// Compiles an arithmetic expression once into a chain of operation records and evaluates
// the chain as often as needed. Arithmetic faults while evaluating raise EFloatingPointError.
class VEROLA_CORE_EXPORT TCustomParser : public QObject {
public:
    explicit TCustomParser(QObject* owner = nullptr);
    ~TCustomParser() override;

    double Value();
    QString Expression() const { return m_expression; }
    // Compiles the text; a compile error is raised, or handed to OnParserError when set.
    void SetExpression(const QString& text);
    bool DotNumberFormat() const { return m_dotNumberFormat; }
    void SetDotNumberFormat(bool value) { m_dotNumberFormat = value; }
    // The user's number format, used when DotNumberFormat is false.
    void SetFormatSettings(const FormatSettings& format) { m_format = format; }
    bool ParserError() const { return m_parserError; }

    TParserExceptionEvent OnParserError;

    // Name tables, looked up without regard to letter case. Variables: a repeated name is
    // ignored. Functions: a repeated name is rejected (false).
    void AddVariable(const QString& name, double* address);
    bool AddFunctionOneParam(const QString& name, ParserFunctionOne routine);
    bool AddFunctionTwoParam(const QString& name, ParserFunctionTwo routine);

    const std::vector<TOperationRec>& operations() const { return m_chain; }

    static constexpr int kMaxLevel = 20;
    static constexpr int kMaxOperationsPerLevel = 50;

private:
    friend class ExpressionCompiler;
    void compile(const QString& text);
    void freeChain();

    QString m_expression;
    bool m_dotNumberFormat = true;
    bool m_parserError = false;
    FormatSettings m_format;
    std::map<QString, double*> m_variables;
    std::map<QString, ParserFunctionOne> m_functionsOne;
    std::map<QString, ParserFunctionTwo> m_functionsTwo;
    std::vector<TOperationRec> m_chain;
    // Constants and result slots of the chain, at addresses that stay put while it lives.
    std::unique_ptr<double[]> m_slots;
};

// The evaluator with the eight variables and the standard functions.
class VEROLA_CORE_EXPORT TParser : public TCustomParser {
public:
    explicit TParser(QObject* owner = nullptr);

    double A = 0, B = 0, C = 0, D = 0, E = 0, X = 0, Y = 0, T = 0;
};

// The run-time's pseudo-random generator behind RND: seed <- seed * 134775813 + 1 (mod 2^32),
// number = seed / 2^32. The seed is 0 at program start.
std::uint32_t randomSeed();
void setRandomSeed(std::uint32_t seed);
double nextRandom();

} // namespace verola
