#pragma once

#include "core/db/recordsource.h"
#include "core/platform/formatsettings.h"

#include <QString>
#include <memory>

namespace verola {

// Opens a table file with the driver of its kind: ".db" Paradox, ".txt" text,
// anything else dBase. Throws EDatabaseError naming the file.
std::unique_ptr<RecordSource> openTableFile(const QString& path, const FormatSettings& format);

} // namespace verola
