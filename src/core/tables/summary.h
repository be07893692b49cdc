#pragma once

#include "core/coreexport.h"
#include "core/expr/parser.h"
#include "core/platform/formatsettings.h"
#include "core/tables/ttab.h"

#include <QStringList>
#include <vector>

namespace verola {

// What one summary computation works with: the evaluator of its formulas, the user's
// formats, the current value line of FORM rules (-1: none) and the first/last position
// arrays of the shifted read.
struct VEROLA_CORE_EXPORT SummaryState {
    explicit SummaryState(const FormatSettings& userFormat, int valueLine = -1)
        : format(userFormat), currentValueLine(valueLine)
    {
        first.fill(-1);
        last.fill(-1);
    }
    TParser parser;
    FormatSettings format;
    int currentValueLine = -1;
    CoordIndex first;
    CoordIndex last;
};

// Fills the cell of every group position from its direct children by the group's rule.
// A "CONST" operand that is not a number, a "###" not followed by a digit and a fault inside
// a special function stop the computation (EConvertError, EFloatingPointError); the cells
// computed until then keep their values.
void Summarize(TTab& table, const FormatSettings& format, int currentValueLine = -1);

// One group cell: `index` holds -1 on the aggregation axis; `plain` reads through CompareRead
// instead of ShiftedRead.
float Aggregate(TTab& table, const std::vector<int>& children, CoordIndex index, bool plain, const QString& rule,
    SummaryState& state);

// The normalised rule of a group line: "SUMMARY", "AVER", ..., or "CALC"/"FORM"/"CONST"
// followed by its operand; empty when the line has no GROUP item.
QString ParseGroupRule(const QString& line, const QStringList& childLines);

// A formula's value: "@name(args)" goes to the special functions, anything else to the
// evaluator, where every failure gives missing.
float EvaluateFormula(const QString& text, SummaryState& state);

} // namespace verola
