#pragma once

#include "core/platform/formatsettings.h"

#include <QDate>
#include <QString>

namespace verola {

// Text to number and date in the user's formats. Each throws EConvertError
// with the desktop's message when the text does not convert.
int strToInt(const QString& text);
double strToFloat(const QString& text, const FormatSettings& format);
bool tryStrToFloat(const QString& text, const FormatSettings& format, double& value);
double strToDate(const QString& text, const FormatSettings& format);
double strToDateTime(const QString& text, const FormatSettings& format);
bool tryStrToDateTime(const QString& text, const FormatSettings& format, double& value);

// General format: the shorter of fixed and scientific notation with `precision`
// significant digits, trailing zeros dropped ("1.5", "1E20", "2.5E-7").
QString formatGeneral(double value, int precision, QChar decimalSeparator);
// General format with 15 significant digits and the user's decimal separator.
QString floatToStr(double value, const FormatSettings& format);

// Day numbers: whole days since 30 December 1899, time of day as the fraction.
constexpr double kMissingValue = -999.0;
double encodeDate(int year, int month, int day); // throws EConvertError for an impossible date
bool tryEncodeDate(int year, int month, int day, double& dayNumber);
double encodeTime(int hour, int minute, int second, int millisecond);
void decodeDate(double dayNumber, int& year, int& month, int& day);
void decodeTime(double dayNumber, int& hour, int& minute, int& second, int& millisecond);
QDate dayNumberToDate(double dayNumber);
double dateToDayNumber(const QDate& date);
QString dateToStr(double dayNumber, const FormatSettings& format);
QString dateTimeToStr(double dayNumber, const FormatSettings& format);

} // namespace verola
