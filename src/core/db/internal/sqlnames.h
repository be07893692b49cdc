#pragma once

#include <QString>

namespace verola {

// A table or column name as SQLite reads it: in double quotes, inner quotes doubled.
inline QString quoteSqlName(const QString& name)
{
    QString text = name;
    text.replace(u'"', QStringLiteral("\"\""));
    return u'"' + text + u'"';
}

} // namespace verola
