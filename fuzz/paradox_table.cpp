// Opens arbitrary bytes as a Paradox table and reads every field: records or
// EDatabaseError, never a crash or a hang (pxlib itself trusts what it reads).
#include "core/db/paradoxdriver.h"
#include "fuzzsupport.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size)
{
    const QString path = verola::fuzz::scratchFile(QStringLiteral("fuzz.db"));
    verola::fuzz::writeFile(path, reinterpret_cast<const char*>(data), size);
    verola::fuzz::readEveryField([&] { return verola::openParadoxTable(path); }, verola::FormatSettings());
    return 0;
}
