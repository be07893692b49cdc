#pragma once

#include "core/coreexport.h"

#include <QChar>
#include <QString>

namespace verola {

// The user's number and date formats. Initialised from the system locale and
// settable; the demo data and the tests use the Russian settings.
struct VEROLA_CORE_EXPORT FormatSettings {
    QString shortDateFormat = QStringLiteral("dd.MM.yyyy"); // Qt date format letters
    QChar dateSeparator = u'.';
    QChar decimalSeparator = u',';
    QChar thousandSeparator = QChar(0x00A0);
    QChar timeSeparator = u':';

    static FormatSettings fromSystemLocale();
    static FormatSettings russian();

    // Sets the format and takes the separator from it (the first character that is not a letter).
    void setShortDateFormat(const QString& format);
};

} // namespace verola
