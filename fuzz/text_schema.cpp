// Reads arbitrary bytes as the ".sch" schema beside a small text table (the first byte
// chooses a delimited or a fixed-width table) and reads every field: records or
// EDatabaseError, never a crash or a hang.
#include "core/db/textdriver.h"
#include "fuzzsupport.h"

#include <cstring>

namespace {

const char kDelimitedTable[] = "NAME;VALUE;DAY;FLAG\n"
                               "\"Alpha; beta\";1.5;01.02.2003;T\n"
                               "Gamma;-2;31.12.1999;N\n";
const char kFixedTable[] = "Alpha     1.5   01.02.2003T\n"
                           "Gamma     -2    31.12.1999N\n";

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    const QString table = verola::fuzz::scratchFile(QStringLiteral("schema.txt"));
    const char* body = (data[0] & 1) ? kFixedTable : kDelimitedTable;
    verola::fuzz::writeFile(table, body, std::strlen(body));
    verola::fuzz::writeFile(verola::fuzz::scratchFile(QStringLiteral("schema.sch")), data + 1, size - 1);
    const verola::FormatSettings format;
    verola::fuzz::readEveryField([&] { return verola::openTextTable(table, format); }, format);
    return 0;
}
