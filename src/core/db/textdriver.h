#pragma once

#include "core/db/recordsource.h"
#include "core/platform/formatsettings.h"

#include <QString>
#include <QStringList>
#include <memory>

namespace verola {

// Delimited text tables (".txt"). The first line names the fields; the
// delimiter (tab, semicolon or comma) is the one the header holds most of.
// A value may be enclosed in double quotes. When a schema file of the same
// name with the extension ".sch" exists, its field list, types and delimiter
// are used; a first line repeating the schema's field names is then skipped.
// Every line must hold as many values as there are fields: a ragged line
// raises EDatabaseError naming the file and the line.
std::unique_ptr<RecordSource> openTextTable(const QString& path, const FormatSettings& format);

// Splits one line at the delimiter, honouring quotes ("" inside quotes is one quote).
QStringList splitDelimited(const QString& line, QChar delimiter, QChar quote = u'"');

} // namespace verola
