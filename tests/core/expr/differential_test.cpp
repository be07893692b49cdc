// Random well-formed expressions, each evaluated by the parser and by a small recursive
// evaluator over the generated tree.
#include "core/expr/parser.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <random>
#include <stdexcept>

using namespace verola;

namespace {

enum class Node { Variable, Number, Negation, Sum, Difference, Product, Quotient, Div, Mod, Power, Function1, Function2 };

struct Expr {
    Node node = Node::Number;
    double number = 0;
    std::string text; // number literal, variable or function name
    int variable = 0;
    std::unique_ptr<Expr> left;
    std::unique_ptr<Expr> right;
};

const char* const kVariables[8] = {"A", "B", "C", "D", "E", "X", "Y", "T"};
const char* const kFunctions1[] = {"SIN", "COS", "TAN", "ARCTAN", "EXP", "LN", "SQRT", "ABS", "HEAV", "SIGN", "ZERO",
    "SINH", "COSH", "PH"};
const char* const kFunctions2[] = {"MAX", "MIN"};

class Generator {
public:
    explicit Generator(unsigned seed) : m_random(seed) {}

    std::unique_ptr<Expr> make(int depth)
    {
        auto e = std::make_unique<Expr>();
        const int choice = depth <= 0 ? pick(2) : pick(12);
        switch (choice) {
        case 0: {
            e->node = Node::Variable;
            e->variable = pick(8);
            e->text = kVariables[e->variable];
            break;
        }
        case 1: makeNumber(*e); break;
        case 2:
            e->node = Node::Negation;
            e->left = make(depth - 1);
            break;
        case 9:
            e->node = Node::Power;
            e->left = make(depth - 2);
            if (pick(2) == 0) {
                e->right = std::make_unique<Expr>();
                e->right->node = Node::Number;
                e->right->number = pick(9) - 3; // -3 .. 5, literal powers included
                e->right->text = std::to_string(static_cast<int>(e->right->number));
            } else {
                e->right = make(0);
            }
            break;
        case 10:
            e->node = Node::Function1;
            e->text = kFunctions1[pick(std::size(kFunctions1))];
            e->left = make(depth - 1);
            break;
        case 11:
            e->node = Node::Function2;
            e->text = kFunctions2[pick(2)];
            e->left = make(depth - 1);
            e->right = make(depth - 1);
            break;
        default: {
            static const Node binary[] = {Node::Sum, Node::Difference, Node::Product, Node::Quotient, Node::Div,
                Node::Mod};
            e->node = binary[choice - 3];
            e->left = make(depth - 1);
            e->right = make(depth - 1);
            break;
        }
        }
        return e;
    }

    int pick(size_t n) { return static_cast<int>(std::uniform_int_distribution<size_t>(0, n - 1)(m_random)); }
    double uniform(double a, double b) { return std::uniform_real_distribution<double>(a, b)(m_random); }

private:
    void makeNumber(Expr& e)
    {
        e.node = Node::Number;
        const int whole = pick(20) - 5;
        const int fraction = pick(4) == 0 ? pick(1000) : 0;
        char buffer[32];
        std::snprintf(buffer, sizeof buffer, fraction ? "%d.%03d" : "%d", whole, fraction);
        e.text = buffer;
        e.number = std::stod(e.text);
        if (whole == 0 && fraction && pick(2) == 0) { // a negative literal below one
            e.text = "-" + e.text;
            e.number = -e.number;
        }
    }

    std::mt19937 m_random;
};

// Which kinds may stand as an operand without brackets, by operator and side.
bool standsBare(Node parent, bool leftSide, const Expr& child)
{
    using enum Node;
    const Node c = child.node;
    if (c == Variable)
        return true;
    if (c == Number) // "-2^2" is the negation of a power, so a negative base needs brackets
        return parent != Negation && !(parent == Power && leftSide && child.number < 0);
    auto among = [c](std::initializer_list<Node> kinds) {
        for (Node k : kinds)
            if (k == c)
                return true;
        return false;
    };
    const bool function = c == Function1 || c == Function2;
    switch (parent) {
    case Negation: return c == Power || function;
    case Sum:
        return leftSide ? among({Negation, Difference, Product, Div, Mod, Quotient, Power}) || function
                        : among({Sum, Difference, Product, Div, Mod, Quotient, Power}) || function;
    case Difference:
        return leftSide ? among({Negation, Difference, Product, Div, Mod, Quotient, Power}) || function
                        : among({Product, Div, Mod, Quotient, Power}) || function;
    case Product:
        return leftSide ? among({Negation, Div, Mod, Quotient, Power}) || function
                        : among({Product, Div, Mod, Quotient, Power}) || function;
    case Div:
    case Mod:
    case Quotient:
        return leftSide ? among({Negation, Div, Mod, Quotient, Power}) || function : c == Power || function;
    case Power: return function;
    default: return true;
    }
}

std::string render(const Expr& e);

// Every eighth operand (by a hash of its text) gets brackets it does not need.
bool extraBrackets(const std::string& text)
{
    return std::hash<std::string>{}(text) % 8 == 0;
}

std::string operand(Node parent, bool leftSide, const Expr& child)
{
    const std::string text = render(child);
    return standsBare(parent, leftSide, child) && !extraBrackets(text) ? text : "(" + text + ")";
}

std::string render(const Expr& e)
{
    switch (e.node) {
    case Node::Variable:
    case Node::Number: return e.text;
    case Node::Negation: return "-" + operand(e.node, true, *e.left);
    case Node::Function1: {
        const std::string argument = render(*e.left);
        return e.text + (extraBrackets(argument) ? "((" + argument + "))" : "(" + argument + ")");
    }
    case Node::Function2: return e.text + "(" + render(*e.left) + "," + render(*e.right) + ")";
    default: break;
    }
    static const std::map<Node, std::string> symbols = {{Node::Sum, "+"}, {Node::Difference, "-"},
        {Node::Product, "*"}, {Node::Quotient, "/"}, {Node::Div, "DIV"}, {Node::Mod, "MOD"}, {Node::Power, "^"}};
    return operand(e.node, true, *e.left) + symbols.at(e.node) + operand(e.node, false, *e.right);
}

struct Fault : std::runtime_error {
    Fault() : std::runtime_error("fault") {}
};

double checked(double v)
{
    if (!std::isfinite(v))
        throw Fault();
    return v;
}

long long whole(double v)
{
    if (!(std::fabs(v) < 9.2e18))
        throw Fault();
    return static_cast<long long>(v);
}

// Integral powers by repeated squaring, so that results match to the last bit and an
// ill-conditioned function around them (TAN near a pole) cannot magnify a rounding difference.
double repeatedPower(double base, long long n)
{
    double r = 1;
    double square = base;
    for (long long k = n < 0 ? -n : n; k > 0; k /= 2) {
        if (k % 2)
            r = checked(r * square);
        if (k > 1)
            square = square * square;
    }
    if (n < 0) {
        if (r == 0)
            throw Fault();
        r = 1 / r;
    }
    return r;
}

double reference(const Expr& e, const double* variables)
{
    auto l = [&] { return reference(*e.left, variables); };
    auto r = [&] { return reference(*e.right, variables); };
    switch (e.node) {
    case Node::Variable: return variables[e.variable];
    case Node::Number: return e.number;
    case Node::Negation: return -l();
    case Node::Sum: return checked(l() + r());
    case Node::Difference: return checked(l() - r());
    case Node::Product: return checked(l() * r());
    case Node::Quotient: {
        const double a = l(), b = r();
        if (b == 0)
            throw Fault();
        return checked(a / b);
    }
    case Node::Div:
    case Node::Mod: {
        const long long a = whole(l()), b = whole(r());
        if (b == 0)
            throw Fault();
        if (b == -1)
            return e.node == Node::Div ? -double(a) : 0.0;
        return e.node == Node::Div ? double(a / b) : double(a % b);
    }
    case Node::Power: {
        const double a = l(), b = r();
        const bool literal = e.right->node == Node::Number;
        if (literal && b == std::trunc(b)) {
            if (b == 2)
                return checked(a * a);
            if (b == 3)
                return checked(a * (a * a));
            if (b == 4)
                return checked((a * a) * (a * a));
            return repeatedPower(a, static_cast<long long>(b));
        }
        if (b == 0)
            return 1;
        if (a == 0 && b > 0)
            return 0;
        if (b == std::trunc(b))
            return repeatedPower(a, static_cast<long long>(b));
        if (a <= 0)
            throw Fault();
        return checked(std::exp(b * std::log(a)));
    }
    case Node::Function1: {
        const double x = l();
        const std::string& f = e.text;
        if (f == "SIN") return std::sin(x);
        if (f == "COS") return std::cos(x);
        if (f == "TAN") return checked(std::tan(x));
        if (f == "ARCTAN") return std::atan(x);
        if (f == "EXP") return checked(std::exp(x));
        if (f == "LN") {
            if (x <= 0)
                throw Fault();
            return std::log(x);
        }
        if (f == "SQRT") {
            if (x < 0)
                throw Fault();
            return std::sqrt(x);
        }
        if (f == "ABS") return std::fabs(x);
        if (f == "HEAV") return x >= 0 ? 1 : 0;
        if (f == "SIGN") return x > 0 ? 1 : (x < 0 ? -1 : 0);
        if (f == "ZERO") return x == 0 ? 0 : 1;
        if (f == "SINH") return checked((checked(std::exp(x)) - checked(std::exp(-x))) / 2);
        if (f == "COSH") return checked((checked(std::exp(x)) + checked(std::exp(-x))) / 2);
        if (f == "PH") {
            const double y = x / 0.6366197723675813431;
            return (y - std::nearbyint(y)) * 6.283185307179586477;
        }
        throw std::logic_error(f);
    }
    case Node::Function2: {
        const double x = l(), y = r();
        if (e.text == "MAX")
            return x >= y ? x : y;
        return x >= y ? y : x;
    }
    }
    throw std::logic_error("node");
}

TEST(ParserDifferential, RandomExpressionsAgreeWithARecursiveEvaluator)
{
    Generator generator(20261210);
    int compared = 0;
    int bothFailed = 0;
    for (int i = 0; i < 4000; ++i) {
        const std::unique_ptr<Expr> tree = generator.make(1 + generator.pick(5));
        const std::string text = render(*tree);
        // Lower case now and then: the evaluator upper-cases letters.
        QString expression = QString::fromStdString(text);
        if (i % 3 == 0)
            expression = expression.toLower();
        double variables[8];
        for (double& v : variables)
            v = generator.uniform(-4, 4);

        TParser parser;
        double* slots[8] = {&parser.A, &parser.B, &parser.C, &parser.D, &parser.E, &parser.X, &parser.Y, &parser.T};
        for (int k = 0; k < 8; ++k)
            *slots[k] = variables[k];
        ASSERT_NO_THROW(parser.SetExpression(expression)) << text;

        std::optional<double> expected;
        try {
            expected = checked(reference(*tree, variables));
        } catch (const Fault&) {
        }
        std::optional<double> actual;
        try {
            actual = parser.Value();
        } catch (const EFloatingPointError&) {
        }
        ASSERT_EQ(expected.has_value(), actual.has_value())
            << text << " reference " << expected.value_or(-1) << " parser " << actual.value_or(-1);
        if (!expected) {
            ++bothFailed;
            continue;
        }
        const double scale = std::max({std::fabs(*expected), std::fabs(*actual), 1e-300});
        EXPECT_LE(std::fabs(*expected - *actual), 1e-12 * scale) << text;
        ++compared;
    }
    // The generator must exercise both outcomes for the comparison to mean something.
    EXPECT_GT(compared, 2000);
    EXPECT_GT(bothFailed, 20);
}

} // namespace
