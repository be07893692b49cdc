// Opens arbitrary bytes as a dBase table and reads every field of every record:
// any input must end in records or in EDatabaseError, never in a crash or a hang.
#include "db/dbfdriver.h"
#include "db/dberrors.h"
#include "platform/formatsettings.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cstdint>

namespace {

const QString& scratchFile()
{
    static QTemporaryDir dir;
    static const QString path = QDir(dir.path()).filePath(QStringLiteral("fuzz.dbf"));
    return path;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size)
{
    QFile file(scratchFile());
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return 0;
    file.write(reinterpret_cast<const char*>(data), static_cast<qint64>(size));
    file.close();
    const verola::FormatSettings format;
    try {
        auto table = verola::DbfTable::open(scratchFile());
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
    } catch (const verola::EPlatformError&) {
    }
    return 0;
}
