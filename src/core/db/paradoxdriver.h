#pragma once

#include "core/db/recordsource.h"

#include <QString>
#include <memory>

namespace verola {

// Reads a Paradox ".db" table whole through pxlib. Texts are decoded in the
// table's code page (1251 when it names none); dates become day numbers.
// Throws EDatabaseError naming the file when it is missing, unreadable or damaged.
std::unique_ptr<RecordSource> openParadoxTable(const QString& path);

} // namespace verola
