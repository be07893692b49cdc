// Opens arbitrary bytes as a delimited text table (the first byte chooses whether a
// schema file stands beside it, taken from the second half of the input) and reads
// every field: records or EDatabaseError, never a crash or a hang.
#include "core/db/textdriver.h"
#include "fuzzsupport.h"

using verola::fuzz::scratchFile;
using verola::fuzz::writeFile;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    const char* bytes = reinterpret_cast<const char*>(data + 1);
    const size_t rest = size - 1;
    const QString table = scratchFile(QStringLiteral("fuzz.txt"));
    const QString schema = scratchFile(QStringLiteral("fuzz.sch"));
    if (data[0] & 1) {
        writeFile(table, bytes, rest / 2);
        writeFile(schema, bytes + rest / 2, rest - rest / 2);
    } else {
        QFile::remove(schema);
        writeFile(table, bytes, rest);
    }
    const verola::FormatSettings format;
    verola::fuzz::readEveryField([&] { return verola::openTextTable(table, format); }, format);
    return 0;
}
