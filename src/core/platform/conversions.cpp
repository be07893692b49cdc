#include "core/platform/conversions.h"

#include "core/platform/errors.h"

#include <QTime>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

namespace verola {

namespace {

constexpr qint64 kDayZeroJulian = 2415019; // 30 December 1899

// `what` names the kind of value in the instrumental case: "целым числом".
[[noreturn]] void conversionFailed(const QString& text, const QString& what)
{
    throw EConvertError(QStringLiteral("\"%1\" не является %2").arg(text, what));
}

// Reads an unsigned decimal run starting at pos; false when there is none.
bool readNumber(const QString& text, qsizetype& pos, int& value, int& digits)
{
    value = 0;
    digits = 0;
    while (pos < text.size() && text.at(pos).isDigit() && text.at(pos).unicode() < 128) {
        if (digits >= 9)
            return false;
        value = value * 10 + (text.at(pos).unicode() - u'0');
        ++pos;
        ++digits;
    }
    return digits > 0;
}

void skipBlanks(const QString& text, qsizetype& pos)
{
    while (pos < text.size() && text.at(pos) == u' ')
        ++pos;
}

// Order of day, month and year in the short date format: "DMY", "MDY" or "YMD".
QString dateOrder(const QString& format)
{
    QString order;
    for (const QChar c : format) {
        const QChar key = c == u'd' ? u'D' : c == u'M' ? u'M' : c == u'y' ? u'Y' : QChar();
        if (!key.isNull() && !order.contains(key))
            order.append(key);
    }
    return order.size() == 3 ? order : QStringLiteral("DMY");
}

int expandTwoDigitYear(int year)
{
    const int current = QDate::currentDate().year();
    int full = current / 100 * 100 + year;
    if (full <= current - 50)
        full += 100;
    else if (full > current + 50)
        full -= 100;
    return full;
}

// Parses a date at pos; on success pos stands after it.
bool scanDate(const QString& text, qsizetype& pos, const FormatSettings& format, double& dayNumber)
{
    int numbers[3] = {0, 0, 0};
    int digits[3] = {0, 0, 0};
    int count = 0;
    skipBlanks(text, pos);
    while (count < 3) {
        if (!readNumber(text, pos, numbers[count], digits[count]))
            return false;
        ++count;
        if (count == 3 || pos >= text.size() || text.at(pos) != format.dateSeparator)
            break;
        ++pos;
    }
    if (count < 2)
        return false;
    const QString order = dateOrder(format.shortDateFormat);
    int year = 0;
    int month = 0;
    int day = 0;
    if (count == 2) {
        // Day and month only, in the order they have in the format; the year is this year.
        // (The current date is asked for only here: it reads the time zone, which is slow.)
        year = QDate::currentDate().year();
        const bool monthFirst = order.indexOf(u'M') < order.indexOf(u'D');
        month = monthFirst ? numbers[0] : numbers[1];
        day = monthFirst ? numbers[1] : numbers[0];
    } else {
        int yearDigits = 0;
        for (int i = 0; i < 3; ++i) {
            const QChar part = order.at(i);
            if (part == u'D')
                day = numbers[i];
            else if (part == u'M')
                month = numbers[i];
            else {
                year = numbers[i];
                yearDigits = digits[i];
            }
        }
        if (yearDigits <= 2)
            year = expandTwoDigitYear(year);
    }
    return tryEncodeDate(year, month, day, dayNumber);
}

bool scanTime(const QString& text, qsizetype& pos, const FormatSettings& format, double& time)
{
    int parts[3] = {0, 0, 0};
    int count = 0;
    skipBlanks(text, pos);
    while (count < 3) {
        int digits = 0;
        if (!readNumber(text, pos, parts[count], digits))
            return false;
        ++count;
        if (pos >= text.size() || text.at(pos) != format.timeSeparator)
            break;
        ++pos;
    }
    if (parts[0] > 23 || parts[1] > 59 || parts[2] > 59)
        return false;
    time = encodeTime(parts[0], parts[1], parts[2], 0);
    return true;
}

} // namespace

int strToInt(const QString& text)
{
    const QString t = text.trimmed();
    bool ok = false;
    int value = t.startsWith(u'$') ? t.mid(1).toInt(&ok, 16) : t.toInt(&ok, 10);
    if (!ok || t.isEmpty())
        conversionFailed(text, QStringLiteral("целым числом"));
    return value;
}

bool tryStrToFloat(const QString& text, const FormatSettings& format, double& value)
{
    const QString t = text.trimmed();
    std::string plain;
    plain.reserve(static_cast<size_t>(t.size()));
    bool seenDigit = false;
    for (qsizetype i = 0; i < t.size(); ++i) {
        const QChar c = t.at(i);
        if (c == format.decimalSeparator)
            plain += '.';
        else if (c.unicode() < 128 && (c.isDigit() || c == u'+' || c == u'-' || c == u'e' || c == u'E')) {
            plain += static_cast<char>(c.unicode());
            seenDigit = seenDigit || c.isDigit();
        } else
            return false;
    }
    if (!seenDigit)
        return false;
    const char* begin = plain.data();
    const char* end = begin + plain.size();
    if (*begin == '+')
        ++begin;
    const auto result = std::from_chars(begin, end, value);
    return result.ec == std::errc() && result.ptr == end && std::isfinite(value);
}

double strToFloat(const QString& text, const FormatSettings& format)
{
    double value = 0;
    if (!tryStrToFloat(text, format, value))
        conversionFailed(text, QStringLiteral("числом"));
    return value;
}

double strToDate(const QString& text, const FormatSettings& format)
{
    qsizetype pos = 0;
    double dayNumber = 0;
    if (!scanDate(text, pos, format, dayNumber))
        conversionFailed(text, QStringLiteral("датой"));
    skipBlanks(text, pos);
    if (pos != text.size())
        conversionFailed(text, QStringLiteral("датой"));
    return dayNumber;
}

bool tryStrToDateTime(const QString& text, const FormatSettings& format, double& value)
{
    qsizetype pos = 0;
    double dayNumber = 0;
    if (!scanDate(text, pos, format, dayNumber)) {
        // A time alone is a time on day 0.
        pos = 0;
        double time = 0;
        if (!scanTime(text, pos, format, time))
            return false;
        skipBlanks(text, pos);
        value = time;
        return pos == text.size();
    }
    skipBlanks(text, pos);
    double time = 0;
    if (pos < text.size() && !scanTime(text, pos, format, time))
        return false;
    skipBlanks(text, pos);
    if (pos != text.size())
        return false;
    value = dayNumber >= 0 ? dayNumber + time : dayNumber - time;
    return true;
}

double strToDateTime(const QString& text, const FormatSettings& format)
{
    double value = 0;
    if (!tryStrToDateTime(text, format, value))
        conversionFailed(text, QStringLiteral("датой и временем"));
    return value;
}

QString formatGeneral(double value, int precision, QChar decimalSeparator)
{
    if (std::isnan(value))
        return QStringLiteral("NAN");
    if (std::isinf(value))
        return value > 0 ? QStringLiteral("INF") : QStringLiteral("-INF");
    if (value == 0)
        return QStringLiteral("0");
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.*e", precision - 1, value);
    // buffer: [-]d.ddddde[+-]xx
    std::string text(buffer);
    const bool negative = text[0] == '-';
    if (negative)
        text.erase(0, 1);
    const size_t ePos = text.find('e');
    const int exponent = std::stoi(text.substr(ePos + 1));
    std::string digits = text.substr(0, 1) + text.substr(2, ePos - 2);
    while (digits.size() > 1 && digits.back() == '0')
        digits.pop_back();

    QString result = negative ? QStringLiteral("-") : QString();
    const QString dec(decimalSeparator);
    if (exponent >= precision || exponent < -4) {
        result += QChar(digits[0]);
        if (digits.size() > 1)
            result += dec + QString::fromLatin1(digits.substr(1));
        result += u'E';
        result += QString::number(exponent);
    } else if (exponent < 0) {
        result += u'0' + dec + QString(-exponent - 1, u'0') + QString::fromLatin1(digits);
    } else {
        const size_t intDigits = static_cast<size_t>(exponent) + 1;
        if (digits.size() <= intDigits) {
            result += QString::fromLatin1(digits) + QString(static_cast<qsizetype>(intDigits - digits.size()), u'0');
        } else {
            result += QString::fromLatin1(digits.substr(0, intDigits)) + dec
                + QString::fromLatin1(digits.substr(intDigits));
        }
    }
    return result;
}

QString floatToStr(double value, const FormatSettings& format)
{
    return formatGeneral(value, 15, format.decimalSeparator);
}

namespace {

// Dates of the years 1 to 9999 of the Gregorian calendar (also before its introduction, as
// QDate counts them) by arithmetic alone: the selection reads a date or two per record.
constexpr qint64 kUnixEpoch = 25569; // day number of 1 January 1970
constexpr qint64 kFirstDay = -693593; // 1 January 1
constexpr qint64 kLastDay = 2958465;  // 31 December 9999

bool isLeapYear(int year)
{
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int daysInMonth(int year, int month)
{
    static constexpr int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && isLeapYear(year) ? 29 : days[month - 1];
}

// Days from 1 January 1970 (the civil-from-days algorithms of H. Hinnant, for years >= 1).
qint64 daysFromCivil(int year, int month, int day)
{
    const int y = year - (month <= 2 ? 1 : 0);
    const int era = y / 400;
    const int yearOfEra = y - era * 400;
    const int dayOfYear = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
    const int dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return static_cast<qint64>(era) * 146097 + dayOfEra - 719468;
}

void civilFromDays(qint64 days, int& year, int& month, int& day)
{
    days += 719468;
    const qint64 era = days / 146097;
    const int dayOfEra = static_cast<int>(days - era * 146097);
    const int yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const int dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const int shiftedMonth = (5 * dayOfYear + 2) / 153;
    day = dayOfYear - (153 * shiftedMonth + 2) / 5 + 1;
    month = shiftedMonth < 10 ? shiftedMonth + 3 : shiftedMonth - 9;
    year = static_cast<int>(yearOfEra + era * 400) + (month <= 2 ? 1 : 0);
}

} // namespace

bool tryEncodeDate(int year, int month, int day, double& dayNumber)
{
    if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 || day > daysInMonth(year, month))
        return false;
    dayNumber = static_cast<double>(daysFromCivil(year, month, day) + kUnixEpoch);
    return true;
}

double encodeDate(int year, int month, int day)
{
    double dayNumber = 0;
    if (!tryEncodeDate(year, month, day, dayNumber))
        throw EConvertError(QStringLiteral("Нет такой даты: день %1, месяц %2, год %3").arg(day).arg(month).arg(year));
    return dayNumber;
}

double encodeTime(int hour, int minute, int second, int millisecond)
{
    return (hour * 3600000.0 + minute * 60000.0 + second * 1000.0 + millisecond) / 86400000.0;
}

QDate dayNumberToDate(double dayNumber)
{
    return QDate::fromJulianDay(static_cast<qint64>(std::trunc(dayNumber)) + kDayZeroJulian);
}

double dateToDayNumber(const QDate& date)
{
    return static_cast<double>(date.toJulianDay() - kDayZeroJulian);
}

void decodeDate(double dayNumber, int& year, int& month, int& day)
{
    const double whole = std::trunc(dayNumber);
    if (whole >= kFirstDay && whole <= kLastDay) {
        civilFromDays(static_cast<qint64>(whole) - kUnixEpoch, year, month, day);
        return;
    }
    dayNumberToDate(dayNumber).getDate(&year, &month, &day);
}

void decodeTime(double dayNumber, int& hour, int& minute, int& second, int& millisecond)
{
    const double fraction = std::fabs(dayNumber - std::trunc(dayNumber));
    qint64 ms = std::llround(fraction * 86400000.0);
    if (ms >= 86400000)
        ms = 86399999;
    hour = static_cast<int>(ms / 3600000);
    minute = static_cast<int>(ms / 60000 % 60);
    second = static_cast<int>(ms / 1000 % 60);
    millisecond = static_cast<int>(ms % 1000);
}

QString dateToStr(double dayNumber, const FormatSettings& format)
{
    return dayNumberToDate(dayNumber).toString(format.shortDateFormat);
}

QString dateTimeToStr(double dayNumber, const FormatSettings& format)
{
    QString text = dateToStr(dayNumber, format);
    int h, m, s, ms;
    decodeTime(dayNumber, h, m, s, ms);
    if (h || m || s) {
        const auto two = [](int value) { return QStringLiteral("%1").arg(value, 2, 10, QChar(u'0')); };
        text += u' ' + QString::number(h) + format.timeSeparator + two(m) + format.timeSeparator + two(s);
    }
    return text;
}

} // namespace verola
