#include "core/expr/parser.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <typeinfo>

using namespace verola;

namespace {

struct ValueCase {
    const char* expression;
    double expected;
};

double evaluate(const QString& text, TParser& parser)
{
    parser.SetExpression(text);
    return parser.Value();
}

TEST(Parser, EvaluatesWithTheGrammarsPrecedenceAndGrouping)
{
    const std::vector<ValueCase> cases = {
        {"2+3*4", 14},
        {"(2+3)*4", 20},
        {"8-3-2", 3},
        {"16/4/2", 2},
        {"2^(3^2)", 512},
        {"-2^2", -4},
        {"2*-3", -6},
        {"A*(-B)", -6},
        {"7MOD2", 1},
        {"-7MOD2", -1},
        {"7.9DIV2", 3},
        {"-7.9DIV2", -3},
        {"pi", std::numbers::pi},
        {"-PI", -std::numbers::pi},
        {"sin(pi/2)", 1},
        {"MAX(1,2)", 2},
        {"MIN(3,3)", 3},
        {"MAX(MIN(1,2),MAX(-3,-4))", 1},
        {"HEAV(0)", 1},
        {"HEAV(-0.5)", 0},
        {"SIGN(0)", 0},
        {"SIGN(-2)", -1},
        {"ZERO(5)", 1},
        {"ZERO(0)", 0},
        {"((((1))))", 1},
        {"  a+b  ", 5},
        {"1-2+3", 2},
        {"1-2-3+4", 0},
        {"2^-1", 0.5},
        {"2^0", 1},
        {"0^0.5", 0},
        {"4^0.5", 2},
        {"E^2", 9},
        {"1.5E2+.5+5.", 155.5},
        {"1E+2", 100},
        {"SINH(0)+COSH(0)", 1},
        {"ABS(-2)*SQRT(16)", 8},
        {"LN(EXP(2))", 2},
        {"ARCTAN(1)*4", std::numbers::pi},
        {"-(A+B)", -5},
        {"-SIN(0)", 0},
        {"X", 0},
    };
    for (const ValueCase& c : cases) {
        TParser parser;
        parser.A = 2;
        parser.B = 3;
        parser.E = 3;
        EXPECT_NEAR(evaluate(QString::fromLatin1(c.expression), parser), c.expected, 1e-12) << c.expression;
    }
}

TEST(Parser, PhReducesByTheFullTurnRoundingHalvesToEven)
{
    const double unit = 0.6366197723675813431;
    const std::vector<std::pair<double, double>> cases = {
        {0.0, 0.0},
        {0.25 * unit, 0.25 * 6.283185307179586477},
        {1.5 * unit, -0.5 * 6.283185307179586477}, // 1.5 rounds to 2
        {2.5 * unit, 0.5 * 6.283185307179586477},  // 2.5 rounds to 2
        {-0.5 * unit, -0.5 * 6.283185307179586477}, // -0.5 rounds to -0
    };
    for (const auto& [x, expected] : cases) {
        TParser parser;
        parser.X = x;
        EXPECT_NEAR(evaluate(QStringLiteral("PH(X)"), parser), expected, 1e-12) << x;
    }
}

struct ErrorCase {
    const char* expression;
    const char* className;
    const char* message;
};

TEST(Parser, CompileErrorsRaiseTheirClassAndMessage)
{
    const std::vector<ErrorCase> cases = {
        {"7 MOD 2", "EExpressionHasBlanks", "Expression has blanks"},
        {"(1+2", "EMissMatchingBracket", "Missing brackets in expression"},
        {"1+2)", "EMissMatchingBracket", "Missing brackets in expression"},
        {")1+2(", "ESyntaxError", "Error parsing expression:\r)1\r2("},
        {"2^3^2", "ESyntaxError", "Error parsing expression:\r2^3\r2"},
        {"A*-B", "ESyntaxError", "Error parsing expression:\rA\r-B"},
        {"1,5", "ESyntaxError", "Error parsing expression:\r1,5"},
        {"FOO(1)", "ESyntaxError", "Error parsing expression:\rFOO(1)"},
        {"--2", "ESyntaxError", "Error parsing expression:\r-\r2"},
        {"1E400", "ESyntaxError", "Error parsing expression:\r1E400"},
        {"INF", "ESyntaxError", "Error parsing expression:\rINF"},
        {"()", "ESyntaxError", "Error parsing expression:\r()"},
    };
    for (const ErrorCase& c : cases) {
        TParser parser;
        try {
            parser.SetExpression(QString::fromLatin1(c.expression));
            ADD_FAILURE() << c.expression << " compiled";
        } catch (const EMathParserError& error) {
            EXPECT_STREQ(error.className(), c.className) << c.expression;
            EXPECT_EQ(error.message(), QString::fromLatin1(c.message)) << c.expression;
            EXPECT_TRUE(parser.ParserError());
            EXPECT_EQ(parser.Value(), 0) << "a failed compile leaves no chain";
        }
    }
}

QString chain(const QString& op, int count)
{
    QString text = QStringLiteral("1");
    for (int i = 0; i < count; ++i)
        text += op + QString::number(i + 2);
    return text;
}

QString nestedNegations(int depth)
{
    QString text = QStringLiteral("A");
    for (int i = 0; i < depth; ++i)
        text = QStringLiteral("-(") + text + u')';
    return text;
}

TEST(Parser, NestingAndComplexityLimits)
{
    TParser parser;
    parser.A = 1;
    // Twenty negations put A on level 20, the deepest allowed; one more is too deep.
    parser.SetExpression(nestedNegations(20));
    EXPECT_EQ(parser.Value(), 1);
    EXPECT_THROW(parser.SetExpression(nestedNegations(21)), ETooManyNestings);
    // Sums group to the right, one level per "+": 20 of them reach level 20.
    parser.SetExpression(chain(QStringLiteral("+"), 20));
    EXPECT_EQ(parser.Value(), 231);
    EXPECT_THROW(parser.SetExpression(chain(QStringLiteral("+"), 21)), ETooManyNestings);
    // A chain too deep that is wrong anyway is reported for what is wrong with it.
    for (const QString& faulty : {QStringLiteral("$+") + chain(QStringLiteral("+"), 25), chain(QStringLiteral("+"), 25) + QStringLiteral("+$"),
             chain(QStringLiteral("+"), 25) + QStringLiteral("+FOO(1)"), QStringLiteral("-(") + nestedNegations(21) + QStringLiteral("+)")})
        EXPECT_THROW(parser.SetExpression(faulty), ESyntaxError) << faulty.toStdString();

    // A balanced tree of products doubles the operations on each level.
    QString level = QStringLiteral("A");
    for (int i = 0; i < 7; ++i)
        level = u'(' + level + QStringLiteral(")*(") + level + u')';
    EXPECT_THROW(parser.SetExpression(level), EExpressionTooComplex); // 64 products on level 6
    QString fits = QStringLiteral("A");
    for (int i = 0; i < 6; ++i)
        fits = u'(' + fits + QStringLiteral(")*(") + fits + u')';
    parser.SetExpression(fits); // 32 products on level 5
    EXPECT_EQ(parser.Value(), 1);
}

// Thousands of levels of calls, negations or bracketed sums: the nesting limit is the fault
// reported (even when the innermost term is broken too), and compiling never runs out of stack.
TEST(Parser, ThousandsOfNestingsFailAsTooManyNestings)
{
    const int depth = 15000;
    struct DeepCase {
        const char* name;
        QString open;
        QString inner;
        QString close;
    };
    const std::vector<DeepCase> cases = {
        {"one-argument calls", QStringLiteral("SIN("), QStringLiteral("1"), QStringLiteral(")")},
        {"two-argument calls", QStringLiteral("MAX(1,"), QStringLiteral("A"), QStringLiteral(")")},
        {"negations", QStringLiteral("-("), QStringLiteral("A"), QStringLiteral(")")},
        {"bracketed sums", QStringLiteral("1+("), QStringLiteral("1"), QStringLiteral(")")},
        {"calls around a broken term", QStringLiteral("SIN("), QStringLiteral("1+"), QStringLiteral(")")},
    };
    TParser parser;
    for (const DeepCase& c : cases) {
        const QString text = c.open.repeated(depth) + c.inner + c.close.repeated(depth);
        try {
            parser.SetExpression(text);
            ADD_FAILURE() << c.name << ": compiled";
        } catch (const ETooManyNestings& error) {
            EXPECT_EQ(error.message(), QStringLiteral("Expression contains too many nestings")) << c.name;
        }
    }
    // Brackets alone add no level, however many.
    parser.SetExpression(QStringLiteral("(").repeated(depth) + u'1' + QStringLiteral(")").repeated(depth));
    EXPECT_EQ(parser.Value(), 1);
}

TEST(Parser, LiteralPowersTwoThreeFourCompileToMultiplications)
{
    const std::vector<std::pair<const char*, TermKind>> cases = {
        {"A^2", TermKind::Square}, {"A^3", TermKind::Cube}, {"A^4", TermKind::FourthPower},
        {"A^5", TermKind::IntegerPower}, {"A^-2", TermKind::IntegerPower}, {"A^2.0", TermKind::Square},
        {"A^2.5", TermKind::Power}, {"A^B", TermKind::Power}, {"A^(2)", TermKind::Power},
        {"A^SQRT(4)", TermKind::Power},
    };
    for (const auto& [text, kind] : cases) {
        TParser parser;
        parser.A = -1.5;
        parser.B = 2;
        parser.SetExpression(QString::fromLatin1(text));
        ASSERT_FALSE(parser.operations().empty()) << text;
        EXPECT_EQ(parser.operations().back().kind, kind) << text;
    }
    TParser parser;
    parser.A = -1.5;
    EXPECT_DOUBLE_EQ(evaluate(QStringLiteral("A^3"), parser), -3.375);
    EXPECT_DOUBLE_EQ(evaluate(QStringLiteral("A^-2"), parser), 1 / 2.25);
}

TEST(Parser, TheChainIsCompiledOnceAndEvaluatedWithCurrentVariables)
{
    TParser parser;
    parser.SetExpression(QStringLiteral("x*x+y"));
    const size_t records = parser.operations().size();
    EXPECT_EQ(records, 2u);
    for (int i = 0; i < 5; ++i) {
        parser.X = i;
        parser.Y = 0.5;
        EXPECT_EQ(parser.Value(), i * i + 0.5);
    }
    EXPECT_EQ(parser.operations().size(), records);
    parser.SetExpression(QString());
    EXPECT_EQ(parser.Value(), 0);
    EXPECT_TRUE(parser.operations().empty());
}

TEST(Parser, ArithmeticFaultsRaiseTheFloatingPointError)
{
    const std::vector<std::pair<const char*, const char*>> cases = {
        {"1/0", "Деление на ноль при вычислении с плавающей точкой"},
        {"0/0", "Недопустимая операция с плавающей точкой"},
        {"LN(0)", "Деление на ноль при вычислении с плавающей точкой"},
        {"LN(-1)", "Недопустимая операция с плавающей точкой"},
        {"SQRT(-1)", "Недопустимая операция с плавающей точкой"},
        {"EXP(1000)", "Переполнение при вычислении с плавающей точкой"},
        {"10^400", "Переполнение при вычислении с плавающей точкой"},
        {"1E300*1E300", "Переполнение при вычислении с плавающей точкой"},
        {"0^-1", "Деление на ноль при вычислении с плавающей точкой"},
        {"(-8)^(1/3)", "Недопустимая операция с плавающей точкой"},
        {"1DIV0", "Деление на ноль"},
        {"1MOD0.5", "Деление на ноль"},
        {"1E30MOD2", "Недопустимая операция с плавающей точкой"},
        {"SINH(800)", "Переполнение при вычислении с плавающей точкой"},
    };
    for (const auto& [text, message] : cases) {
        TParser parser;
        parser.SetExpression(QString::fromLatin1(text));
        try {
            const double value = parser.Value();
            ADD_FAILURE() << text << " gave " << value;
        } catch (const EFloatingPointError& error) {
            EXPECT_EQ(error.message(), QString::fromUtf8(message)) << text;
        }
    }
}

TEST(Parser, NumberFormatFollowsDotNumberFormat)
{
    TParser parser;
    EXPECT_TRUE(parser.DotNumberFormat());
    EXPECT_THROW(parser.SetExpression(QStringLiteral("1,5*2")), ESyntaxError);
    parser.SetDotNumberFormat(false);
    FormatSettings russian = FormatSettings::russian();
    parser.SetFormatSettings(russian);
    parser.SetExpression(QStringLiteral("1,5*2"));
    EXPECT_EQ(parser.Value(), 3);
    EXPECT_THROW(parser.SetExpression(QStringLiteral("1.5*2")), ESyntaxError);
}

TEST(Parser, OnParserErrorReceivesCompileErrorsInsteadOfTheCaller)
{
    TParser parser;
    QStringList seen;
    parser.OnParserError = [&](TCustomParser* sender, const EMathParserError& error) {
        EXPECT_EQ(sender, &parser);
        seen.append(QString::fromLatin1(error.className()));
    };
    EXPECT_NO_THROW(parser.SetExpression(QStringLiteral("(1")));
    EXPECT_NO_THROW(parser.SetExpression(QStringLiteral("1 2")));
    EXPECT_EQ(seen, QStringList({QStringLiteral("EMissMatchingBracket"), QStringLiteral("EExpressionHasBlanks")}));
    EXPECT_TRUE(parser.ParserError());
    EXPECT_EQ(parser.Value(), 0);
    parser.SetExpression(QStringLiteral("2"));
    EXPECT_FALSE(parser.ParserError());
}

TEST(Parser, RndDrawsFromTheLinearCongruentialGenerator)
{
    setRandomSeed(0);
    TParser parser;
    parser.SetExpression(QStringLiteral("RND(1000)"));
    // seed 1, then 1 * 134775813 + 1
    EXPECT_DOUBLE_EQ(parser.Value(), 1000.0 * 1 / 4294967296.0);
    EXPECT_DOUBLE_EQ(parser.Value(), 1000.0 * 134775814.0 / 4294967296.0);
    EXPECT_EQ(randomSeed(), 134775814u);
    parser.SetExpression(QStringLiteral("RND(-2.7)"));
    const double value = parser.Value();
    EXPECT_LE(value, 0);
    EXPECT_GT(value, -2);
}

TEST(Parser, NameTablesIgnoreCaseAndRejectDuplicateFunctions)
{
    TParser parser;
    EXPECT_FALSE(parser.AddFunctionOneParam(QStringLiteral("sin"), [](double x) { return x; }));
    EXPECT_FALSE(parser.AddFunctionTwoParam(QStringLiteral("Max"), [](double x, double) { return x; }));
    EXPECT_TRUE(parser.AddFunctionOneParam(QStringLiteral("twice"), [](double x) { return 2 * x; }));
    double other = 7;
    parser.AddVariable(QStringLiteral("a"), &other); // A exists already: ignored
    parser.A = 1;
    parser.SetExpression(QStringLiteral("Twice(a)+sin(0)"));
    EXPECT_EQ(parser.Value(), 2);
}

} // namespace
