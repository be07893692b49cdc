#pragma once

#include "core/coreexport.h"
#include "core/expr/parser.h"

#include <QString>
#include <array>
#include <limits>
#include <memory>
#include <unordered_map>
#include <vector>

namespace verola {

// Turns an expression text into the operation chain of a TCustomParser.
//
// Every term is a range [begin, end) of the upper-cased text. The recognisers decide whether
// a range is a term of a given kind; their answers are memoised per range and nesting level,
// so that no input makes the search exponential, and a range deeper than the nesting limit
// is never explored (the compile then fails with ETooManyNestings). A text that needs more
// than a fixed amount of searching fails with EExpressionTooComplex.
class VEROLA_CORE_EXPORT ExpressionCompiler {
public:
    explicit ExpressionCompiler(const TCustomParser& parser) : m_parser(parser) {}

    void compile(const QString& text, std::vector<TOperationRec>& chain,
        std::unique_ptr<double[]>& slots);

private:
    enum Recogniser {
        RVariable,
        RNumber,
        RNegation,
        RSum,
        RDifference,
        RProduct,
        RDiv,
        RMod,
        RQuotient,
        RPower,
        RFunctionOne,
        RFunctionTwo,
        RValid, // any kind
        RTerm,  // any kind, or a valid term in brackets
        RecogniserCount
    };
    using Mask = unsigned;
    static constexpr Mask bit(Recogniser r) { return 1u << r; }

    struct Range {
        int begin = 0;
        int end = 0;
    };

    struct Term {
        Range range;
        int level = 0;
        TermKind kind = TermKind::Number;
        int operand1 = -1; // index into m_terms
        int operand2 = -1;
        double number = 0;
        double* variable = nullptr;
        ParserFunctionOne functionOne = nullptr;
        ParserFunctionTwo functionTwo = nullptr;
        double* slot = nullptr;
    };

    struct Split {
        Range left;
        Range right;
    };

    bool recognise(Recogniser r, int b, int e, int level);
    bool compute(Recogniser r, int b, int e, int level);
    bool isValid(int b, int e, int level);
    bool isBracketedValid(int b, int e, int level);
    bool isAllowedPart(int b, int e, int level, Mask mask);
    bool isVariable(int b, int e, double** address = nullptr) const;
    bool isNumber(int b, int e, double* value = nullptr) const;
    bool findBinarySplit(Recogniser r, int b, int e, int level, Split* split);
    bool findPlainBinarySplit(int b, int e, int level, Split* split, TermKind* kind);
    bool findFunctionOne(int b, int e, int level, Range* argument, ParserFunctionOne* routine);
    bool findFunctionTwo(int b, int e, int level, Split* arguments, ParserFunctionTwo* routine);
    void buildLookupTables();
    void spendWork();
    std::uint64_t memoKey(int b, int e, int level) const
    {
        // Without a level limit an answer does not depend on the level.
        const int keyLevel = m_levelLimit == kNoLevelLimit ? 0 : level;
        return ((static_cast<std::uint64_t>(b) * (m_text.size() + 1) + static_cast<std::uint64_t>(e)) << 5)
            | static_cast<std::uint64_t>(keyLevel);
    }
    bool properlyNested(int b, int e) const;
    int balance(int b, int e) const { return m_prefixBalance[e] - m_prefixBalance[b]; }
    QString text(int b, int e) const { return m_text.mid(b, e - b); }
    Range stripBrackets(Range range, int level);

    bool prepare(const QString& source);
    bool validAtAnyDepth() const;
    int classify(Range range, int level);
    [[noreturn]] void raiseSyntaxError(Range whole) const;

    static constexpr int kNoLevelLimit = std::numeric_limits<int>::max() - 1;
    // How deep the search without a level limit goes before it gives up; far beyond the
    // nesting limit, far below what the stack holds.
    static constexpr int kDeepestSearch = 200;

    const TCustomParser& m_parser;
    int m_levelLimit = TCustomParser::kMaxLevel;
    QString m_text;
    std::vector<int> m_prefixBalance;
    std::vector<std::vector<int>> m_minimum; // m_minimum[k][i]: least prefix balance in i .. i + 2^k - 1
    struct OperatorPositions {
        int length = 1;
        std::vector<int> all;
        std::unordered_map<int, std::vector<int>> byBalance;
    };
    std::array<OperatorPositions, RecogniserCount> m_operators;
    std::unordered_map<std::uint64_t, std::uint32_t> m_memo;
    std::vector<Term> m_terms;
    static constexpr std::int64_t kWorkLimit = 2'000'000;
    std::int64_t m_work = 0;
    int m_longestVariable = 0;
    int m_longestFunction = 0;
    std::vector<int> m_nextOpen; // index of the first "(" at or after i; the text length when none
    bool m_tooDeep = false;
    bool m_splitTried = false;
    Split m_lastSplit;
};

} // namespace verola
