#pragma once

#include <QString>
#include <utility>

namespace verola {

class TDataSet;
class TTable;

// The field of the current record as text, read as a number in the user's
// format; -999 when the text is empty, not a number, or the field cannot be read.
double FieldAsNumber(const QString& fieldName, TDataSet& table);

// Points the table (its DatabaseName set by the caller) at tableName and opens
// it; the first record whose keyField text equals key or SwapWords(key) gives
// FieldAsNumber of firstField and secondField; (-999, -999) when none matches.
// A table that cannot be opened raises its error.
std::pair<double, double> LookupPair(TTable& table, const QString& tableName, const QString& key,
    const QString& firstField, const QString& secondField, const QString& keyField);

} // namespace verola
