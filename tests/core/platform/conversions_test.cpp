#include "core/platform/conversions.h"
#include "core/platform/errors.h"
#include "testsupport.h"

#include <gtest/gtest.h>

#include <QDate>
#include <cmath>
#include <tuple>
#include <vector>

using namespace verola;

namespace {

FormatSettings russian()
{
    return FormatSettings::russian();
}

FormatSettings american()
{
    FormatSettings f;
    f.setShortDateFormat(QStringLiteral("M/d/yyyy"));
    f.decimalSeparator = u'.';
    return f;
}

} // namespace

TEST(Conversions, GeneralFormatWith15Digits)
{
    struct Case {
        double value;
        const char* text;
    };
    const std::vector<Case> cases = {
        {0, "0"},
        {1.5, "1,5"},
        {-2, "-2"},
        {100, "100"},
        {0.1, "0,1"},
        {1.0 / 3.0, "0,333333333333333"},
        {0.0001, "0,0001"},
        {0.00001, "1E-5"},
        {0.000015, "1,5E-5"},
        {123456789012345.0, "123456789012345"},
        {1e15, "1E15"},
        {1.5e20, "1,5E20"},
        {-999, "-999"},
        {static_cast<double>(0.1f), "0,100000001490116"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(floatToStr(c.value, russian()), QString::fromLatin1(c.text)) << c.value;
    EXPECT_EQ(formatGeneral(1234.5678, 6, u'.'), QStringLiteral("1234.57"));
    EXPECT_EQ(formatGeneral(9.9999999999, 9, u'.'), QStringLiteral("10"));
}

TEST(Conversions, TextToNumber)
{
    EXPECT_EQ(strToInt(QStringLiteral(" 42")), 42);
    EXPECT_EQ(strToInt(QStringLiteral("-7")), -7);
    EXPECT_DOUBLE_EQ(strToFloat(QStringLiteral("1,5"), russian()), 1.5);
    EXPECT_DOUBLE_EQ(strToFloat(QStringLiteral(" -2,5E3 "), russian()), -2500);
    EXPECT_DOUBLE_EQ(strToFloat(QStringLiteral("1.5"), american()), 1.5);
    for (const char* bad : {"", " ", "1.5", "abc", "1,5,5", "1 000", "--1", "1e999"})
        EXPECT_THROW(strToFloat(QString::fromLatin1(bad), russian()), EConvertError) << bad;
    for (const char* bad : {"", "1.5", "x", "99999999999"})
        EXPECT_THROW(strToInt(QString::fromLatin1(bad)), EConvertError) << bad;
    try {
        strToFloat(QStringLiteral("abc"), russian());
        FAIL();
    } catch (const EConvertError& error) {
        EXPECT_EQ(error.message(), QStringLiteral("\"abc\" не является числом"));
    }
}

TEST(Conversions, DayNumbersCountFrom30December1899)
{
    EXPECT_EQ(encodeDate(1899, 12, 30), 0);
    EXPECT_EQ(encodeDate(1900, 1, 1), 2);
    EXPECT_EQ(encodeDate(2000, 1, 1), 36526);
    EXPECT_EQ(encodeDate(1800, 1, 1), -36522);
    int y, m, d;
    decodeDate(36526.75, y, m, d);
    EXPECT_EQ(QDate(y, m, d), QDate(2000, 1, 1));
    int h, mi, s, ms;
    decodeTime(36526.75, h, mi, s, ms);
    EXPECT_EQ(h, 18);
    EXPECT_EQ(mi, 0);
    EXPECT_DOUBLE_EQ(encodeTime(6, 0, 0, 0), 0.25);
    EXPECT_THROW(encodeDate(2001, 2, 29), EConvertError);
    EXPECT_THROW(encodeDate(0, 1, 1), EConvertError);
}

// Every day of the years 1 to 9999 gives the day number and the parts QDate gives, and the
// days around them too (fractions, before and after the range); no other date is one.
TEST(Conversions, DayNumbersOfEveryDateAgreeWithQDate)
{
    const qint64 dayZero = QDate(1899, 12, 30).toJulianDay();
    int failures = 0;
    for (QDate date(1, 1, 1); date.isValid() && date.year() <= 9999 && failures < 5; date = date.addDays(1)) {
        double dayNumber = 0;
        const bool encoded = tryEncodeDate(date.year(), date.month(), date.day(), dayNumber);
        int y = 0, m = 0, d = 0;
        // A time of day does not change the date (day numbers truncate towards 0).
        const double whole = static_cast<double>(date.toJulianDay() - dayZero);
        decodeDate(whole + (whole >= 0 ? 0.75 : -0.75), y, m, d);
        if (!encoded || dayNumber != static_cast<double>(date.toJulianDay() - dayZero) || QDate(y, m, d) != date) {
            ++failures;
            ADD_FAILURE() << date.toString(Qt::ISODate).toStdString();
        }
    }
    for (const double dayNumber : {-693594.0, -693594.5, -693592.5, -0.5, 2958466.0, -1e7, 1e9}) {
        int y = 0, m = 0, d = 0, qy = 0, qm = 0, qd = 0;
        decodeDate(dayNumber, y, m, d);
        QDate::fromJulianDay(static_cast<qint64>(std::trunc(dayNumber)) + dayZero).getDate(&qy, &qm, &qd);
        EXPECT_EQ(std::tie(y, m, d), std::tie(qy, qm, qd)) << dayNumber;
    }
    double unused = 0;
    for (const auto& [y, m, d] : std::vector<std::tuple<int, int, int>>{{1900, 2, 29}, {2001, 2, 29}, {2000, 13, 1},
             {2000, 0, 1}, {2000, 4, 31}, {2000, 1, 0}, {2000, 1, 32}, {0, 1, 1}, {10000, 1, 1}, {-5, 3, 1}})
        EXPECT_FALSE(tryEncodeDate(y, m, d, unused)) << y << "-" << m << "-" << d;
    EXPECT_TRUE(tryEncodeDate(2000, 2, 29, unused));
    EXPECT_TRUE(tryEncodeDate(1600, 2, 29, unused));
}

TEST(Conversions, TextToDateFollowsTheShortDateFormat)
{
    struct Case {
        const char* text;
        FormatSettings format;
        QDate expected;
    };
    const int thisYear = QDate::currentDate().year();
    const std::vector<Case> cases = {
        {"01.01.1990", russian(), {1990, 1, 1}},
        {"1.2.1990", russian(), {1990, 2, 1}},
        {" 31.12.2000 ", russian(), {2000, 12, 31}},
        {"15.06.99", russian(), {1999, 6, 15}},
        {"15.06.05", russian(), {2005, 6, 15}},
        {"15.06", russian(), {thisYear, 6, 15}},
        {"2/1/1990", american(), {1990, 2, 1}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(dayNumberToDate(strToDate(QString::fromLatin1(c.text), c.format)), c.expected) << c.text;
    for (const char* bad : {"", "31.02.1990", "1990", "01/01/1990", "01.01.1990x", "aa.bb.cccc", "32.01.2000"})
        EXPECT_THROW(strToDate(QString::fromLatin1(bad), russian()), EConvertError) << bad;
}

TEST(Conversions, DateTimeAndBack)
{
    const double value = strToDateTime(QStringLiteral("02.01.2000 12:30"), russian());
    EXPECT_DOUBLE_EQ(value, 36527.5 + 30.0 / 1440.0);
    EXPECT_EQ(dateToStr(value, russian()), QStringLiteral("02.01.2000"));
    EXPECT_EQ(dateTimeToStr(value, russian()), QStringLiteral("02.01.2000 12:30:00"));
    EXPECT_EQ(dateToStr(36526, american()), QStringLiteral("1/1/2000"));
    EXPECT_THROW(strToDateTime(QStringLiteral("02.01.2000 25:00"), russian()), EConvertError);
}
