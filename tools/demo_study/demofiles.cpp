#include "demofiles.h"

#include <cmath>
#include <cstdio>
#include <fstream>
#include <stdexcept>

namespace demo {

std::uint64_t Random::next()
{
    std::uint64_t z = (m_state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

double Random::uniform()
{
    return double(next() >> 11) * (1.0 / 9007199254740992.0);
}

int Random::below(int n)
{
    return int(next() % std::uint64_t(n));
}

// Irwin–Hall: twelve uniforms less six, close enough to a standard normal for the demo and
// made of additions only, so that no library function can round differently elsewhere.
double Random::normal()
{
    double sum = 0;
    for (int i = 0; i < 12; ++i)
        sum += uniform();
    return sum - 6.0;
}

int Random::pick(const std::vector<double>& weights)
{
    double total = 0;
    for (double w : weights)
        total += w;
    double r = uniform() * total;
    for (size_t i = 0; i < weights.size(); ++i) {
        if (r < weights[i])
            return int(i);
        r -= weights[i];
    }
    return int(weights.size()) - 1;
}

// Howard Hinnant's days_from_civil, shifted to 1 January 1970.
long daysFromCivil(const Date& date)
{
    const int y = date.year - (date.month <= 2 ? 1 : 0);
    const long era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = unsigned(y - era * 400);
    const unsigned doy = unsigned((153 * (date.month + (date.month > 2 ? -3 : 9)) + 2) / 5 + date.day - 1);
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + long(doe) - 719468;
}

Date civilFromDays(long days)
{
    days += 719468;
    const long era = (days >= 0 ? days : days - 146096) / 146097;
    const unsigned doe = unsigned(days - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    Date date;
    date.day = int(doy - (153 * mp + 2) / 5 + 1);
    date.month = int(mp < 10 ? mp + 3 : mp - 9);
    date.year = int(long(yoe) + era * 400 + (date.month <= 2 ? 1 : 0));
    return date;
}

int daysInMonth(int year, int month)
{
    const Date next = month == 12 ? Date{year + 1, 1, 1} : Date{year, month + 1, 1};
    return int(daysFromCivil(next) - daysFromCivil(Date{year, month, 1}));
}

std::string dbfDate(const Date& date)
{
    char text[16];
    std::snprintf(text, sizeof text, "%04d%02d%02d", date.year, date.month, date.day);
    return text;
}

std::string textDate(const Date& date)
{
    char text[16];
    std::snprintf(text, sizeof text, "%02d.%02d.%04d", date.day, date.month, date.year);
    return text;
}

std::string fixed(double value, int decimals)
{
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

namespace {

unsigned decodeUtf8(const std::string& text, size_t& i)
{
    const unsigned char c = static_cast<unsigned char>(text[i++]);
    if (c < 0x80)
        return c;
    int extra = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : 1;
    unsigned code = c & (0x3F >> extra);
    while (extra-- > 0 && i < text.size())
        code = (code << 6) | (static_cast<unsigned char>(text[i++]) & 0x3F);
    return code;
}

char cp1251Of(unsigned code)
{
    if (code < 0x80)
        return char(code);
    if (code >= 0x410 && code <= 0x44F) // А … я
        return char(0xC0 + (code - 0x410));
    switch (code) {
    case 0x401: return char(0xA8); // Ё
    case 0x451: return char(0xB8); // ё
    case 0x2116: return char(0xB9); // №
    case 0xAB: return char(0xAB);  // «
    case 0xBB: return char(0xBB);  // »
    case 0x2013: return char(0x96); // –
    case 0x2014: return char(0x97); // —
    }
    throw std::runtime_error("no code page 1251 letter for U+" + std::to_string(code));
}

} // namespace

std::string toCp1251(const std::string& utf8)
{
    std::string out;
    for (size_t i = 0; i < utf8.size();)
        out += cp1251Of(decodeUtf8(utf8, i));
    return out;
}

void writeTextFile(const std::string& path, const std::vector<std::string>& lines)
{
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    for (const std::string& line : lines)
        file << toCp1251(line) << "\r\n";
    if (!file)
        throw std::runtime_error("cannot write " + path);
}

DbfWriter::DbfWriter(const std::string& path, const std::vector<Field>& fields)
    : m_handle(DBFCreateEx(path.c_str(), "LDID/201")), m_fields(fields)
{
    if (!m_handle)
        throw std::runtime_error("cannot create " + path);
    for (const Field& field : fields) {
        const int width = field.type == 'D' ? 8 : field.width;
        if (DBFAddNativeFieldType(m_handle, field.name.c_str(), field.type, width, field.decimals) < 0)
            throw std::runtime_error("cannot add field " + field.name + " to " + path);
    }
}

DbfWriter::~DbfWriter()
{
    DBFClose(m_handle);
}

void DbfWriter::add(const std::vector<std::string>& values)
{
    for (size_t i = 0; i < m_fields.size(); ++i) {
        const std::string& value = values.at(i);
        const int field = int(i);
        if (value.empty()) {
            DBFWriteNULLAttribute(m_handle, m_records, field);
        } else if (m_fields[i].type == 'N') {
            DBFWriteDoubleAttribute(m_handle, m_records, field, std::stod(value));
        } else if (m_fields[i].type == 'C') {
            DBFWriteStringAttribute(m_handle, m_records, field, toCp1251(value).c_str());
        } else {
            std::string text = value;
            DBFWriteAttributeDirectly(m_handle, m_records, field, text.data());
        }
    }
    ++m_records;
}

} // namespace demo
