// Opens arbitrary bytes as a delimited text table (the first byte chooses whether a
// schema file stands beside it, taken from the second half of the input) and reads
// every field: records or EDatabaseError, never a crash or a hang.
#include "db/dberrors.h"
#include "db/textdriver.h"
#include "platform/formatsettings.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cstdint>

namespace {

QString scratch(const QString& name)
{
    static QTemporaryDir dir;
    return QDir(dir.path()).filePath(name);
}

void writeFile(const QString& path, const char* bytes, size_t size)
{
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(bytes, static_cast<qint64>(size));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    const char* bytes = reinterpret_cast<const char*>(data + 1);
    const size_t rest = size - 1;
    const QString table = scratch(QStringLiteral("fuzz.txt"));
    const QString schema = scratch(QStringLiteral("fuzz.sch"));
    if (data[0] & 1) {
        writeFile(table, bytes, rest / 2);
        writeFile(schema, bytes + rest / 2, rest - rest / 2);
    } else {
        QFile::remove(schema);
        writeFile(table, bytes, rest);
    }
    const verola::FormatSettings format;
    try {
        auto records = verola::openTextTable(table, format);
        for (int r = 0; r < records->recordCount(); ++r) {
            records->readRecord(r);
            for (int f = 0; f < records->fieldDefs().Count(); ++f)
                records->displayText(f, format);
        }
    } catch (const verola::EPlatformError&) {
    }
    return 0;
}
