// What the table-reader fuzz targets share: a scratch folder for the input bytes and a read
// of every field of every record.
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

inline QString scratchFile(const QString& name)
{
    static QTemporaryDir dir;
    return QDir(dir.path()).filePath(name);
}

inline void writeFile(const QString& path, const char* bytes, size_t size)
{
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(bytes, static_cast<qint64>(size));
}

// Opens the table with `open` and reads every field in every form; a refusal must be an
// EPlatformError, anything else reaches the fuzzer.
template <typename Open>
void readEveryField(Open open, const FormatSettings& format)
{
    try {
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
    } catch (const EPlatformError&) {
    }
}

} // namespace verola::fuzz
