#pragma once

// Plain helpers of the demo study generator: a fixed-seed random source, calendar days, code
// page 1251 text files and dBase tables written through shapelib.

#include <shapefil.h>

#include <cstdint>
#include <string>
#include <vector>

namespace demo {

// splitmix64: the same numbers on every machine and compiler.
class Random {
public:
    explicit Random(std::uint64_t seed) : m_state(seed) {}
    std::uint64_t next();
    double uniform();                        // [0, 1)
    int below(int n);                        // 0 … n − 1
    double normal();                         // about standard normal, within ±6
    int pick(const std::vector<double>& weights); // index drawn by weight

private:
    std::uint64_t m_state;
};

// Calendar dates as day numbers counted from 1 January 1970.
struct Date {
    int year = 1970;
    int month = 1;
    int day = 1;
};
long daysFromCivil(const Date& date);
Date civilFromDays(long days);
int daysInMonth(int year, int month);
std::string dbfDate(const Date& date);  // "YYYYMMDD"
std::string textDate(const Date& date); // "dd.MM.yyyy"

// UTF-8 source text (Latin and Cyrillic) to code page 1251.
std::string toCp1251(const std::string& utf8);

// A text file in code page 1251 with lines ended by CR LF.
void writeTextFile(const std::string& path, const std::vector<std::string>& lines);

struct Field {
    std::string name;
    char type;     // 'C', 'N' or 'D'
    int width = 0; // ignored for 'D'
    int decimals = 0;
};

// A dBase table in code page 1251; values are given as UTF-8 text, an empty text is left blank.
class DbfWriter {
public:
    DbfWriter(const std::string& path, const std::vector<Field>& fields);
    ~DbfWriter();
    DbfWriter(const DbfWriter&) = delete;
    DbfWriter& operator=(const DbfWriter&) = delete;

    void add(const std::vector<std::string>& values);

private:
    DBFHandle m_handle;
    std::vector<Field> m_fields;
    int m_records = 0;
};

// A number with a fixed count of decimals, "." as the point.
std::string fixed(double value, int decimals);

} // namespace demo
