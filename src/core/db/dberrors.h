#pragma once

#include "core/coreexport.h"
#include "core/platform/errors.h"

namespace verola {

// A table or query that cannot be opened, a bad SQL statement, an absent field or
// index, a corrupt table file. The message names the file or the statement.
class VEROLA_CORE_EXPORT EDatabaseError : public EPlatformError {
public:
    using EPlatformError::EPlatformError;
};

} // namespace verola
