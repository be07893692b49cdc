#pragma once

// The user's number format for the windows of our own plug-ins: that of the workspace the table
// belongs to (the command line's or the system's), found through the table's block.

#include "core/app/workspace.h"
#include "core/platform/conversions.h"
#include "core/platform/formatsettings.h"
#include "core/tables/ttab.h"

#include <QLocale>

namespace verola::plugin {

inline FormatSettings userFormatOf(const TTab* table)
{
    TFluxComponent* component = table ? table->FBlock : nullptr;
    while (component && component->Owner())
        component = component->Owner();
    if (auto* workspace = dynamic_cast<TWorkspace*>(component))
        return workspace->state().format;
    return FormatSettings::fromSystemLocale();
}

inline QChar decimalSeparatorOf(const TTab* table)
{
    return userFormatOf(table).decimalSeparator;
}

// A value as the windows write it: six significant digits with the user's decimal separator.
inline QString shownNumber(double value, QChar decimalSeparator)
{
    return formatGeneral(value, 6, decimalSeparator);
}

// A locale that writes numbers with that decimal separator, for the widgets that format them
// themselves (the chart's value axis).
inline QLocale localeWithDecimal(QChar decimalSeparator)
{
    QLocale locale = decimalSeparator == u',' ? QLocale(QLocale::Russian, QLocale::Russia) : QLocale::c();
    locale.setNumberOptions(QLocale::OmitGroupSeparator);
    return locale;
}

} // namespace verola::plugin
