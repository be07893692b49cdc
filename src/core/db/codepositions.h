#pragma once

// The positions of a level looked up by the code a record holds, for a level whose test is a
// plain comparison of codes (equal, ignoring letter case): a record need not be tested against
// the positions whose code differs from its own, as every such test fails.

#include "core/coreexport.h"

#include <QString>
#include <cstddef>
#include <utility>
#include <vector>

namespace verola {

class VEROLA_CORE_EXPORT TCodePositions {
public:
    struct Position {
        bool leaf = false;
        QString code; // the code the record's value is compared with
    };

    // `format` is the level's FormatCoord: a code that is a range ("a-b") matches more than
    // its own text unless the format compares texts only ("String", "Boolean").
    void build(const std::vector<Position>& positions, const QString& format);
    void clear();

    // The positions after `after`, ascending, that a record holding `value` still has to be
    // tested against: those whose code equals the value and those a plain comparison cannot
    // settle (group nodes, ranges, codes outside the Basic Multilingual Plane). False when the
    // value itself cannot be looked up: then every position has to be tested.
    bool positionsToTest(const QString& value, int after, std::vector<int>& out) const;

private:
    std::vector<std::pair<std::size_t, int>> m_byCode; // (key of the code, position), sorted
    std::vector<QString> m_codes;                       // by position
    std::vector<int> m_alwaysTested;                    // ascending
};

} // namespace verola
