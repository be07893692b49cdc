// What the fuzz targets share: a scratch folder for the input bytes, a guard that lets the
// readers' own refusals pass, and a read of every field of every record of a table.
#pragma once

#include "core/db/dberrors.h"
#include "core/db/recordsource.h"
#include "core/platform/formatsettings.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cstdint>
#include <string>

namespace verola::fuzz {

inline QString scratchFolder()
{
    static QTemporaryDir dir;
    return dir.path();
}

inline QString scratchFile(const QString& name)
{
    return QDir(scratchFolder()).filePath(name);
}

inline void writeFile(const QString& path, const char* bytes, size_t size)
{
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(bytes, static_cast<qint64>(size));
}

inline void writeFile(const QString& path, const std::uint8_t* bytes, size_t size)
{
    writeFile(path, reinterpret_cast<const char*>(bytes), size);
}

// Runs `read`; a refusal of the input must be an EPlatformError, anything else reaches the fuzzer.
template <typename Read>
void refusalsAllowed(Read read)
{
    try {
        read();
    } catch (const EPlatformError&) {
    }
}

// Opens the table with `open` and reads every field in every form; a refusal must be an
// EPlatformError, anything else reaches the fuzzer.
template <typename Open>
void readEveryField(Open open, const FormatSettings& format)
{
    refusalsAllowed([&] {
        auto table = open();
        std::string utf8;
        for (int r = 0; r < table->recordCount(); ++r) {
            table->readRecord(r);
            for (int f = 0; f < table->fieldDefs().Count(); ++f) {
                table->isNull(f);
                table->number(f);
                table->displayText(f, format);
                table->utf8Text(f, utf8);
            }
        }
    });
}

} // namespace verola::fuzz
