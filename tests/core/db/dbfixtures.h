#pragma once

#include <QString>
#include <QStringList>
#include <vector>

namespace verola::test {

// One field of a fixture table: name, native type letter, width, decimals.
struct FixtureField {
    const char* name;
    char type;
    int width = 0;
    int decimals = 0;
};

// Writes a dBase table with shapelib: each row gives the fields' values as
// text (empty: blank). codePage is shapelib's mark ("LDID/201", "LDID/101", or
// anything else, which shapelib writes to a ".cpg" file).
void writeDbf(const QString& path, const std::vector<FixtureField>& fields, const std::vector<QStringList>& rows,
    const char* codePage = "LDID/201", const char* codec = "windows-1251");

// Writes a Paradox table with pxlib. Types: 'A' alpha, 'N' number, 'S' short,
// 'I' long integer, 'D' date (values as yyyy-MM-dd), 'L' logical (T/F),
// 'B' BCD number with the given decimals (values as -123.45).
void writeParadox(const QString& path, const std::vector<FixtureField>& fields, const std::vector<QStringList>& rows);

} // namespace verola::test
