#pragma once

#include "core/coreexport.h"

#include <QByteArray>
#include <QFile>
#include <QString>

namespace verola {

// Reading is for regular files only (links followed): a FIFO would keep the reader waiting for a
// writer forever and a device such as /dev/zero never ends, so neither is ever opened. Each
// function throws EInOutError naming the file and why: it does not exist, it is a FIFO, a
// device, a socket or a folder, it may not be read, or it is longer than the bound.

// Opens the file for reading (ReadOnly and the further flags of the mode, Unbuffered say). The
// file may be opened by its handle, leaving fileName() empty: messages name it by the path.
VEROLA_CORE_EXPORT void openRegularFile(QFile& file, const QString& path,
    QIODevice::OpenMode mode = QIODevice::ReadOnly);

// The whole file, refused when it holds more than maxBytes.
VEROLA_CORE_EXPORT QByteArray readRegularFile(const QString& path, qint64 maxBytes);

// Refuses a path that exists but is not a regular file; a missing path passes.
VEROLA_CORE_EXPORT void refuseIrregularFile(const QString& path);

// "64 МБ", "1 ГБ", "100 байт": a bound as the messages show it.
QString byteCountText(qint64 bytes);

} // namespace verola
