#include "core/expr/expressioncompiler.h"

#include "core/platform/conversions.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <numbers>
#include <string>
#include <utility>

namespace verola {

namespace {

QString upperAsciiTrimmed(const QString& source)
{
    QString text = source;
    for (QChar& c : text)
        if (c >= u'a' && c <= u'z')
            c = QChar(c.unicode() - 32);
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text.at(begin).unicode() <= 32)
        ++begin;
    while (end > begin && text.at(end - 1).unicode() <= 32)
        --end;
    return text.mid(begin, end - begin);
}

bool isDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

} // namespace

// Reads the text; false when it is empty. Throws for blanks and unmatched brackets.
bool ExpressionCompiler::prepare(const QString& source)
{
    m_text = upperAsciiTrimmed(source);
    for (const auto& entry : m_parser.m_variables)
        m_longestVariable = std::max(m_longestVariable, static_cast<int>(entry.first.size()));
    for (const auto& entry : m_parser.m_functionsOne)
        m_longestFunction = std::max(m_longestFunction, static_cast<int>(entry.first.size()));
    for (const auto& entry : m_parser.m_functionsTwo)
        m_longestFunction = std::max(m_longestFunction, static_cast<int>(entry.first.size()));
    if (m_text.isEmpty())
        return false;
    if (m_text.contains(u' '))
        throw EExpressionHasBlanks(QStringLiteral("Expression has blanks"));
    const int n = static_cast<int>(m_text.size());
    m_prefixBalance.assign(static_cast<size_t>(n) + 1, 0);
    for (int i = 0; i < n; ++i) {
        const QChar c = m_text.at(i);
        m_prefixBalance[i + 1] = m_prefixBalance[i] + (c == u'(' ? 1 : (c == u')' ? -1 : 0));
    }
    if (m_prefixBalance[n] != 0)
        throw EMissMatchingBracket(QStringLiteral("Missing brackets in expression"));
    buildLookupTables();
    return true;
}

void ExpressionCompiler::compile(const QString& source, std::vector<TOperationRec>& chain,
    std::unique_ptr<double[]>& slots)
{
    if (!prepare(source))
        return;
    const int n = static_cast<int>(m_text.size());

    // Classify level by level, root first.
    const Range root = stripBrackets({0, n}, 0);
    std::vector<std::vector<int>> levels;
    levels.push_back({classify(root, 0)});
    for (size_t level = 0; level < levels.size(); ++level) {
        std::vector<int> next;
        int operations = 0;
        for (const int index : levels[level]) {
            Term term = m_terms[index];
            if (term.kind != TermKind::Variable && term.kind != TermKind::Number)
                ++operations;
            if (operations > TCustomParser::kMaxOperationsPerLevel)
                throw EExpressionTooComplex(QStringLiteral("Expression is too complex"));
            for (const int operand : {term.operand1, term.operand2})
                if (operand >= 0)
                    next.push_back(operand);
        }
        if (!next.empty()) {
            if (static_cast<int>(level) + 1 > TCustomParser::kMaxLevel)
                throw ETooManyNestings(QStringLiteral("Expression contains too many nestings"));
            levels.push_back(std::move(next));
        }
    }

    // Storage for constants and result slots, then the records deepest level first.
    std::unique_ptr<double[]> storage(new double[m_terms.size()]());
    for (size_t i = 0; i < m_terms.size(); ++i) {
        Term& term = m_terms[i];
        if (term.kind == TermKind::Variable)
            term.slot = term.variable;
        else {
            term.slot = &storage[i];
            *term.slot = term.kind == TermKind::Number ? term.number : 0.0;
        }
    }
    std::vector<TOperationRec> records;
    for (auto level = levels.rbegin(); level != levels.rend(); ++level) {
        for (const int index : *level) {
            const Term& term = m_terms[index];
            const bool leaf = term.kind == TermKind::Variable || term.kind == TermKind::Number;
            if (leaf && index != 0)
                continue;
            TOperationRec record;
            record.kind = term.kind;
            record.result = term.slot;
            record.first = leaf ? term.slot : m_terms[term.operand1].slot;
            record.second = term.operand2 >= 0 ? m_terms[term.operand2].slot : nullptr;
            record.functionOne = term.functionOne;
            record.functionTwo = term.functionTwo;
            if ((term.kind == TermKind::FunctionOne && !record.functionOne)
                || (term.kind == TermKind::FunctionTwo && !record.functionTwo) || (!leaf && !record.first))
                throw EParserInternalError(QStringLiteral("TParser internal error"));
            records.push_back(record);
        }
    }
    slots = std::move(storage);
    chain = std::move(records);
}

void ExpressionCompiler::spendWork()
{
    // Long chains that can never fit the nesting limit would otherwise be searched at length;
    // anything that needs this much searching is beyond what the limits allow anyway.
    if (++m_work > kWorkLimit)
        throw EExpressionTooComplex(QStringLiteral("Expression is too complex"));
}

void ExpressionCompiler::buildLookupTables()
{
    const int n = static_cast<int>(m_text.size());
    m_nextOpen.assign(static_cast<size_t>(n) + 1, n);
    for (int i = n - 1; i >= 0; --i)
        m_nextOpen[i] = m_text.at(i) == u'(' ? i : m_nextOpen[i + 1];
    // Sparse table of prefix-balance minima over index ranges.
    m_minimum.clear();
    m_minimum.push_back(m_prefixBalance);
    for (int width = 1; 2 * width <= n + 1; width *= 2) {
        const std::vector<int>& previous = m_minimum.back();
        std::vector<int> next(previous.size() - static_cast<size_t>(width));
        for (size_t i = 0; i < next.size(); ++i)
            next[i] = std::min(previous[i], previous[i + static_cast<size_t>(width)]);
        m_minimum.push_back(std::move(next));
    }
    const std::pair<Recogniser, const char*> operators[] = {{RSum, "+"}, {RDifference, "-"}, {RProduct, "*"},
        {RDiv, "DIV"}, {RMod, "MOD"}, {RQuotient, "/"}, {RPower, "^"}};
    for (const auto& [r, symbol] : operators) {
        OperatorPositions& positions = m_operators[r];
        const QString op = QString::fromLatin1(symbol);
        positions.length = static_cast<int>(op.size());
        for (qsizetype at = m_text.indexOf(op); at >= 0; at = m_text.indexOf(op, at + 1)) {
            positions.all.push_back(static_cast<int>(at));
            positions.byBalance[m_prefixBalance[at]].push_back(static_cast<int>(at));
        }
    }
}

bool ExpressionCompiler::properlyNested(int b, int e) const
{
    if (m_prefixBalance[e] != m_prefixBalance[b])
        return false;
    // minimum of m_prefixBalance[b .. e]
    const int count = e - b + 1;
    int k = 0;
    while ((2 << k) <= count)
        ++k;
    const int low = std::min(m_minimum[k][b], m_minimum[k][e + 1 - (1 << k)]);
    return low >= m_prefixBalance[b];
}

ExpressionCompiler::Range ExpressionCompiler::stripBrackets(Range range, int level)
{
    while (isBracketedValid(range.begin, range.end, level))
        range = {range.begin + 1, range.end - 1};
    return range;
}

// Whether the text would be a term with no limit on the nesting: only then is the
// nesting limit the fault. The search is the same, its answers then hold at any level.
bool ExpressionCompiler::validAtAnyDepth() const
{
    ExpressionCompiler unlimited(m_parser);
    unlimited.m_levelLimit = kNoLevelLimit;
    unlimited.prepare(m_text);
    try {
        return unlimited.isValid(0, static_cast<int>(m_text.size()), 0);
    } catch (const EExpressionTooComplex&) {
        return true; // too long or too deep to tell: the limit that was met stays the fault
    }
}

void ExpressionCompiler::raiseSyntaxError(Range whole) const
{
    if (m_tooDeep && validAtAnyDepth())
        throw ETooManyNestings(QStringLiteral("Expression contains too many nestings"));
    if (m_splitTried)
        throw ESyntaxError(QStringLiteral("Error parsing expression:\r%1\r%2")
                               .arg(text(m_lastSplit.left.begin, m_lastSplit.left.end),
                                   text(m_lastSplit.right.begin, m_lastSplit.right.end)));
    throw ESyntaxError(QStringLiteral("Error parsing expression:\r%1").arg(text(whole.begin, whole.end)));
}

// Classifies one term (already stripped of redundant brackets) and, recursively, the terms
// it is made of; returns its index in m_terms.
int ExpressionCompiler::classify(Range range, int level)
{
    const int index = static_cast<int>(m_terms.size());
    m_terms.emplace_back();
    Term term;
    term.range = range;
    term.level = level;
    const int b = range.begin;
    const int e = range.end;

    auto operands = [&](Range first, Range second) {
        const int op1 = classify(stripBrackets(first, level + 1), level + 1);
        const int op2 = second.end > second.begin ? classify(stripBrackets(second, level + 1), level + 1) : -1;
        term.operand1 = op1;
        term.operand2 = op2;
    };

    Split split;
    Range argument;
    if (e > b && level <= m_levelLimit && isVariable(b, e, &term.variable)) {
        term.kind = TermKind::Variable;
    } else if (e > b && level <= m_levelLimit && isNumber(b, e, &term.number)) {
        term.kind = TermKind::Number;
    } else if (recognise(RNegation, b, e, level)) {
        term.kind = TermKind::Negation;
        operands({b + 1, e}, {0, 0});
    } else if (findPlainBinarySplit(b, e, level, &split, &term.kind)) {
        operands(split.left, split.right);
    } else if (findBinarySplit(RPower, b, e, level, &split)) {
        double exponent = 0;
        term.kind = TermKind::Power;
        if (isNumber(split.right.begin, split.right.end, &exponent) && exponent == std::trunc(exponent)) {
            term.kind = exponent == 2 ? TermKind::Square
                : exponent == 3       ? TermKind::Cube
                : exponent == 4       ? TermKind::FourthPower
                                      : TermKind::IntegerPower;
        }
        operands(split.left, split.right);
    } else if (findFunctionOne(b, e, level, &argument, &term.functionOne)) {
        term.kind = TermKind::FunctionOne;
        operands(argument, {0, 0});
    } else if (findFunctionTwo(b, e, level, &split, &term.functionTwo)) {
        term.kind = TermKind::FunctionTwo;
        operands(split.left, split.right);
    } else {
        if (level > 0)
            throw EParserInternalError(QStringLiteral("TParser internal error"));
        raiseSyntaxError(range);
    }
    m_terms[index] = term;
    return index;
}

// The binary operators without special forms, in the order they are tried.
bool ExpressionCompiler::findPlainBinarySplit(int b, int e, int level, Split* split, TermKind* kind)
{
    static constexpr std::pair<Recogniser, TermKind> kOperators[] = {{RSum, TermKind::Sum},
        {RDifference, TermKind::Difference}, {RProduct, TermKind::Product}, {RDiv, TermKind::Div},
        {RMod, TermKind::Mod}, {RQuotient, TermKind::Quotient}};
    for (const auto& [recogniser, termKind] : kOperators) {
        if (findBinarySplit(recogniser, b, e, level, split)) {
            *kind = termKind;
            return true;
        }
    }
    return false;
}

bool ExpressionCompiler::recognise(Recogniser r, int b, int e, int level)
{
    if (e <= b)
        return false;
    if (level > m_levelLimit) {
        m_tooDeep = true;
        return false;
    }
    // Only the search without a level limit gets here: it walks one level per call chain of a
    // few frames, so thousands of nested calls would exhaust the stack.
    if (level > kDeepestSearch)
        throw EExpressionTooComplex(QStringLiteral("Expression is too complex"));
    if (!properlyNested(b, e))
        return false; // every valid term has its brackets matched
    const std::uint64_t key = memoKey(b, e, level);
    std::uint32_t& entry = m_memo[key];
    const std::uint32_t known = 1u << (2 * r);
    const std::uint32_t yes = known << 1;
    if (entry & known)
        return (entry & yes) != 0;
    const bool result = compute(r, b, e, level);
    std::uint32_t& after = m_memo[key]; // the map may have grown meanwhile
    after |= known | (result ? yes : 0);
    return result;
}

bool ExpressionCompiler::compute(Recogniser r, int b, int e, int level)
{
    spendWork();
    switch (r) {
    case RVariable: return isVariable(b, e);
    case RNumber: return isNumber(b, e);
    case RNegation:
        if (m_text.at(b) != u'-' || e - b < 2)
            return false;
        if (level + 1 > m_levelLimit) {
            m_tooDeep = true;
            return false;
        }
        return isBracketedValid(b + 1, e, level + 1) || isVariable(b + 1, e) || recognise(RPower, b + 1, e, level + 1)
            || recognise(RFunctionOne, b + 1, e, level + 1) || recognise(RFunctionTwo, b + 1, e, level + 1);
    case RSum:
    case RDifference:
    case RProduct:
    case RDiv:
    case RMod:
    case RQuotient:
    case RPower: return findBinarySplit(r, b, e, level, nullptr);
    case RFunctionOne: return findFunctionOne(b, e, level, nullptr, nullptr);
    case RFunctionTwo: return findFunctionTwo(b, e, level, nullptr, nullptr);
    case RValid: {
        // Any kind; brackets are handled by isValid.
        for (int k = RVariable; k <= RFunctionTwo; ++k)
            if (recognise(static_cast<Recogniser>(k), b, e, level))
                return true;
        return false;
    }
    default: return false;
    }
}

bool ExpressionCompiler::isValid(int b, int e, int level)
{
    // Brackets around a valid term add no level; walk them without recursion and remember
    // the answer for every bracketed range on the way.
    std::vector<Range> visited;
    bool result = false;
    while (e > b) {
        std::uint32_t& entry = m_memo[memoKey(b, e, level)];
        const std::uint32_t known = 1u << (2 * RTerm);
        if (entry & known) {
            result = (entry & (known << 1)) != 0;
            break;
        }
        visited.push_back({b, e});
        if (recognise(RValid, b, e, level)) {
            result = true;
            break;
        }
        if (e - b < 3 || m_text.at(b) != u'(' || m_text.at(e - 1) != u')')
            break;
        ++b;
        --e;
    }
    const std::uint32_t known = 1u << (2 * RTerm);
    for (const Range& range : visited)
        m_memo[memoKey(range.begin, range.end, level)] |= known | (result ? known << 1 : 0);
    return result;
}

bool ExpressionCompiler::isBracketedValid(int b, int e, int level)
{
    if (e - b < 3 || m_text.at(b) != u'(' || m_text.at(e - 1) != u')')
        return false;
    return isValid(b + 1, e - 1, level);
}

bool ExpressionCompiler::isAllowedPart(int b, int e, int level, Mask mask)
{
    if (e <= b)
        return false;
    if (level > m_levelLimit) {
        m_tooDeep = true;
        return false;
    }
    if (isVariable(b, e) || isNumber(b, e) || isBracketedValid(b, e, level))
        return true;
    for (int k = RNegation; k <= RFunctionTwo; ++k)
        if ((mask & bit(static_cast<Recogniser>(k))) && recognise(static_cast<Recogniser>(k), b, e, level))
            return true;
    return false;
}

bool ExpressionCompiler::isVariable(int b, int e, double** address) const
{
    if (e - b > m_longestVariable)
        return false;
    const auto found = m_parser.m_variables.find(text(b, e));
    if (found == m_parser.m_variables.end())
        return false;
    if (address)
        *address = found->second;
    return true;
}

bool ExpressionCompiler::isNumber(int b, int e, double* value) const
{
    if (e <= b)
        return false;
    const QStringView t = QStringView(m_text).mid(b, e - b);
    double result = 0;
    if (t == u"PI" || t == u"-PI") {
        result = t.startsWith(u'-') ? -std::numbers::pi : std::numbers::pi;
    } else {
        // sign, digits, point, digits, exponent: "-1.5E+3", ".5", "2."; the point is "." or
        // the user's decimal separator. Checked here so that long texts are refused early.
        const QChar point = m_parser.m_dotNumberFormat ? QChar(u'.') : m_parser.m_format.decimalSeparator;
        int i = 0;
        const int n = static_cast<int>(t.size());
        if (i < n && (t[i] == u'+' || t[i] == u'-'))
            ++i;
        int digits = 0;
        while (i < n && isDigit(t[i]))
            ++i, ++digits;
        if (i < n && t[i] == point) {
            ++i;
            while (i < n && isDigit(t[i]))
                ++i, ++digits;
        }
        if (digits == 0)
            return false;
        if (i < n && t[i] == u'E') {
            ++i;
            if (i < n && (t[i] == u'+' || t[i] == u'-'))
                ++i;
            int exponentDigits = 0;
            while (i < n && isDigit(t[i]))
                ++i, ++exponentDigits;
            if (exponentDigits == 0)
                return false;
        }
        if (i != n)
            return false;
        if (m_parser.m_dotNumberFormat) {
            const std::string latin = t.toString().toStdString();
            const char* first = latin.data();
            if (*first == '+')
                ++first;
            const auto parsed = std::from_chars(first, latin.data() + latin.size(), result);
            if (parsed.ec != std::errc() || !std::isfinite(result))
                return false;
        } else if (!tryStrToFloat(t.toString(), m_parser.m_format, result)) {
            return false;
        }
    }
    if (value)
        *value = result;
    return true;
}

bool ExpressionCompiler::findBinarySplit(Recogniser r, int b, int e, int level, Split* split)
{
    static const Mask kSumLeft = bit(RNegation) | bit(RDifference) | bit(RProduct) | bit(RDiv) | bit(RMod)
        | bit(RQuotient) | bit(RPower) | bit(RFunctionOne) | bit(RFunctionTwo);
    static const Mask kSumRight = bit(RSum) | bit(RDifference) | bit(RProduct) | bit(RDiv) | bit(RMod)
        | bit(RQuotient) | bit(RPower) | bit(RFunctionOne) | bit(RFunctionTwo);
    static const Mask kDifferenceRight
        = bit(RProduct) | bit(RDiv) | bit(RMod) | bit(RQuotient) | bit(RPower) | bit(RFunctionOne) | bit(RFunctionTwo);
    static const Mask kFactorLeft = bit(RNegation) | bit(RDiv) | bit(RMod) | bit(RQuotient) | bit(RPower)
        | bit(RFunctionOne) | bit(RFunctionTwo);
    static const Mask kProductRight = kDifferenceRight;
    static const Mask kFunctionOrPower = bit(RPower) | bit(RFunctionOne) | bit(RFunctionTwo);
    static const Mask kFunction = bit(RFunctionOne) | bit(RFunctionTwo);

    Mask left = 0;
    Mask right = 0;
    switch (r) {
    case RSum: left = kSumLeft, right = kSumRight; break;
    case RDifference: left = kSumLeft, right = kDifferenceRight; break;
    case RProduct: left = kFactorLeft, right = kProductRight; break;
    case RDiv:
    case RMod:
    case RQuotient: left = kFactorLeft, right = kFunctionOrPower; break;
    case RPower: left = kFunction, right = kFunction; break;
    default: return false;
    }
    const OperatorPositions& positions = m_operators[r];
    const int length = positions.length;
    // Candidates are the occurrences in b+1 .. e-length-1, from the left; only those with a
    // balanced left part can succeed, so only they are looked at.
    const auto sameBalance = positions.byBalance.find(m_prefixBalance[b]);
    if (sameBalance != positions.byBalance.end()) {
        const std::vector<int>& list = sameBalance->second;
        for (auto it = std::lower_bound(list.begin(), list.end(), b + 1); it != list.end() && *it + length < e; ++it) {
            spendWork();
            const Range l{b, *it};
            const Range rr{*it + length, e};
            if (balance(rr.begin, rr.end) != 0)
                continue;
            // The right part first: in long chains it is the one that fails cheaply.
            if (!isAllowedPart(rr.begin, rr.end, level + 1, right) || !isAllowedPart(l.begin, l.end, level + 1, left))
                continue;
            m_splitTried = true;
            m_lastSplit = {l, rr};
            if (split)
                *split = {l, rr};
            return true;
        }
    }
    // Failed: the last occurrence was the last split tried.
    auto last = std::lower_bound(positions.all.begin(), positions.all.end(), e - length);
    if (last != positions.all.begin() && *std::prev(last) >= b + 1) {
        const int at = *std::prev(last);
        m_splitTried = true;
        m_lastSplit = {{b, at}, {at + length, e}};
    }
    return false;
}

bool ExpressionCompiler::findFunctionOne(int b, int e, int level, Range* argument, ParserFunctionOne* routine)
{
    const int open = m_nextOpen[b];
    if (open <= b || open >= e || m_text.at(e - 1) != u')' || open - b > m_longestFunction)
        return false;
    const auto found = m_parser.m_functionsOne.find(text(b, open));
    if (found == m_parser.m_functionsOne.end())
        return false;
    if (!isValid(open + 1, e - 1, level + 1))
        return false;
    if (argument)
        *argument = {open + 1, e - 1};
    if (routine)
        *routine = found->second;
    return true;
}

bool ExpressionCompiler::findFunctionTwo(int b, int e, int level, Split* arguments, ParserFunctionTwo* routine)
{
    const int open = m_nextOpen[b];
    if (open <= b || open >= e || m_text.at(e - 1) != u')' || open - b > m_longestFunction)
        return false;
    const auto found = m_parser.m_functionsTwo.find(text(b, open));
    if (found == m_parser.m_functionsTwo.end())
        return false;
    for (int comma = open + 2; comma < e - 2; ++comma) {
        if (m_text.at(comma) != u',')
            continue;
        if (isValid(open + 1, comma, level + 1) && isValid(comma + 1, e - 1, level + 1)) {
            if (arguments)
                *arguments = {{open + 1, comma}, {comma + 1, e - 1}};
            if (routine)
                *routine = found->second;
            return true;
        }
    }
    return false;
}

} // namespace verola
