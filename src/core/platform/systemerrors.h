#pragma once

#include "core/coreexport.h"

#include <QFileDevice>
#include <QString>
#include <system_error>

namespace verola {

// Why a file operation failed, in Russian, for the end of a message: "нет такого файла или
// каталога", "это каталог", "файловая система только для чтения" …
VEROLA_CORE_EXPORT QString systemErrorReason(int errorNumber);
VEROLA_CORE_EXPORT QString systemErrorReason(const std::error_code& error);
// The reason of a failed QFile call: from the error number the call left (errno right after
// it) when there is one, else from the kind of the file's error.
VEROLA_CORE_EXPORT QString fileErrorReason(QFileDevice::FileError error, int errorNumber = 0);

// Why a file that exists cannot be read ("это каталог", "нет прав доступа" …), worked out by
// trying to open it; empty when it can be opened after all.
VEROLA_CORE_EXPORT QString readFailureReason(const QString& path);

// Why no file can be created in the folder ("файловая система только для чтения", "нет такого
// файла или каталога" …); empty when one can.
VEROLA_CORE_EXPORT QString folderWriteFailureReason(const QString& folder);

} // namespace verola
