#include "core/db/codepositions.h"

#include "core/db/description.h"

#include <algorithm>

namespace verola {

namespace {

// A hash of the text's characters folded as a comparison ignoring letter case folds them, so
// that texts equal in that comparison get one key. False for a text with surrogates, whose
// characters fold as pairs.
bool foldedKey(const QString& text, std::size_t& key)
{
    std::size_t hash = 1469598103934665603ull;
    for (const QChar c : text) {
        char16_t unit = c.unicode();
        if (c.isSurrogate())
            return false;
        if (unit < 0x80)
            unit = unit >= u'A' && unit <= u'Z' ? static_cast<char16_t>(unit + 32) : unit;
        else
            unit = static_cast<char16_t>(QChar::toCaseFolded(static_cast<char32_t>(unit)));
        hash = (hash ^ unit) * 1099511628211ull;
    }
    key = hash;
    return true;
}

bool comparesTextsOnly(const QString& format)
{
    return format == QStringLiteral("String") || format == QStringLiteral("Boolean");
}

} // namespace

void TCodePositions::clear()
{
    m_byCode.clear();
    m_codes.clear();
    m_alwaysTested.clear();
}

void TCodePositions::build(const std::vector<Position>& positions, const QString& format)
{
    clear();
    const int count = static_cast<int>(positions.size());
    m_codes.resize(positions.size());
    for (int p = 0; p < count; ++p) {
        const Position& position = positions[static_cast<size_t>(p)];
        std::size_t key = 0;
        const bool plain = position.leaf && (comparesTextsOnly(format) || SplitRange(position.code).upper.isEmpty());
        if (plain && foldedKey(position.code, key)) {
            m_byCode.push_back({key, p});
            m_codes[static_cast<size_t>(p)] = position.code;
        } else {
            m_alwaysTested.push_back(p);
        }
    }
    std::sort(m_byCode.begin(), m_byCode.end());
}

bool TCodePositions::positionsToTest(const QString& value, int after, std::vector<int>& out) const
{
    out.clear();
    std::size_t key = 0;
    if (!foldedKey(value, key))
        return false;
    const auto equal = std::equal_range(m_byCode.begin(), m_byCode.end(), std::pair<std::size_t, int>{key, after},
        [](const auto& a, const auto& b) { return a.first < b.first; });
    auto always = std::upper_bound(m_alwaysTested.begin(), m_alwaysTested.end(), after);
    for (auto it = equal.first; it != equal.second; ++it) {
        const int p = it->second;
        if (p <= after || value.compare(m_codes[static_cast<size_t>(p)], Qt::CaseInsensitive) != 0)
            continue;
        for (; always != m_alwaysTested.end() && *always < p; ++always)
            out.push_back(*always);
        out.push_back(p);
    }
    out.insert(out.end(), always, m_alwaysTested.end());
    return true;
}

} // namespace verola
