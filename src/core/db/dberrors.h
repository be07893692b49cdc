#pragma once

#include "core/coreexport.h"
#include "core/platform/errors.h"
#include "core/platform/regularfile.h"

namespace verola {

// A table or query that cannot be opened, a bad SQL statement, an absent field or
// index, a corrupt table file. The message names the file or the statement.
class VEROLA_CORE_EXPORT EDatabaseError : public EPlatformError {
public:
    using EPlatformError::EPlatformError;
};

// Refuses a table file that is there but is not a regular file: a FIFO would keep the selection
// waiting for a writer forever, a device would never end.
inline void refuseIrregularTable(const QString& path)
{
    try {
        refuseIrregularFile(path);
    } catch (const EInOutError& error) {
        throw EDatabaseError(error.message());
    }
}

} // namespace verola
