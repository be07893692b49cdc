// Opens arbitrary bytes as a Paradox table and reads every field: records or
// EDatabaseError, never a crash or a hang (pxlib itself trusts what it reads).
#include "db/dberrors.h"
#include "db/paradoxdriver.h"
#include "platform/formatsettings.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cstdint>

namespace {

const QString& scratchFile()
{
    static QTemporaryDir dir;
    static const QString path = QDir(dir.path()).filePath(QStringLiteral("fuzz.db"));
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
        auto table = verola::openParadoxTable(scratchFile());
        for (int r = 0; r < table->recordCount(); ++r) {
            table->readRecord(r);
            for (int f = 0; f < table->fieldDefs().Count(); ++f)
                table->displayText(f, format);
        }
    } catch (const verola::EPlatformError&) {
    }
    return 0;
}
