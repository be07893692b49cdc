#pragma once

#include "core/coreexport.h"

#include <QString>
#include <stdexcept>

namespace verola {

// Base of the errors the platform raises: conversions, file input/output,
// floating-point faults and allocation failures. Callers catch them by class;
// the GUI shows an uncaught one in a message box.
class VEROLA_CORE_EXPORT EPlatformError : public std::runtime_error {
public:
    explicit EPlatformError(const QString& message)
        : std::runtime_error(message.toStdString()), m_message(message) {}
    const QString& message() const { return m_message; }

private:
    QString m_message;
};

class VEROLA_CORE_EXPORT EConvertError : public EPlatformError {
public:
    using EPlatformError::EPlatformError;
};

class VEROLA_CORE_EXPORT EInOutError : public EPlatformError {
public:
    using EPlatformError::EPlatformError;
};

class VEROLA_CORE_EXPORT EFloatingPointError : public EPlatformError {
public:
    using EPlatformError::EPlatformError;
};

class VEROLA_CORE_EXPORT EOutOfMemory : public EPlatformError {
public:
    using EPlatformError::EPlatformError;
};

// What the user reads when an operation ran out of memory (std::bad_alloc), the operation
// named as "открытие конфигурации".
inline QString outOfMemoryMessage(const QString& operation)
{
    return QStringLiteral("Недостаточно памяти: операция \"%1\" не выполнена").arg(operation);
}

// A request the data model refuses because it would break its limits
// (too many cells, too many lines on an axis, a negative dimension).
class VEROLA_CORE_EXPORT ELimitError : public EPlatformError {
public:
    using EPlatformError::EPlatformError;
};

} // namespace verola
