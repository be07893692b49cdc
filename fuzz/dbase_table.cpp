// Opens arbitrary bytes as a dBase table and reads every field of every record:
// any input must end in records or in EDatabaseError, never in a crash or a hang.
#include "core/db/dbfdriver.h"
#include "fuzzsupport.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size)
{
    const QString path = verola::fuzz::scratchFile(QStringLiteral("fuzz.dbf"));
    verola::fuzz::writeFile(path, reinterpret_cast<const char*>(data), size);
    verola::fuzz::readEveryField([&] { return verola::DbfTable::open(path); }, verola::FormatSettings());
    return 0;
}
