#include "core/platform/formatsettings.h"

#include <QLocale>

namespace verola {

FormatSettings FormatSettings::fromSystemLocale()
{
    const QLocale locale = QLocale::system();
    FormatSettings settings;
    settings.setShortDateFormat(locale.dateFormat(QLocale::ShortFormat));
    settings.decimalSeparator = locale.decimalPoint().isEmpty() ? QChar(u'.') : locale.decimalPoint().at(0);
    settings.thousandSeparator = locale.groupSeparator().isEmpty() ? QChar(u',') : locale.groupSeparator().at(0);
    return settings;
}

FormatSettings FormatSettings::russian()
{
    return FormatSettings{};
}

void FormatSettings::setShortDateFormat(const QString& format)
{
    shortDateFormat = format;
    for (const QChar c : format) {
        if (!c.isLetter() && c != u'\'') {
            dateSeparator = c;
            return;
        }
    }
}

} // namespace verola
