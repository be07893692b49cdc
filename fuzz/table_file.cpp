// Reads arbitrary bytes as the table file of a table whose two lists hold 1..16 positions each
// (the first byte chooses the single-precision file or the double-precision one named with a
// trailing "_", the next two the position counts) and reads every cell: cells or EInOutError,
// never a crash.
#include "core/app/fileset.h"
#include "core/tables/ttab.h"
#include "fuzzsupport.h"

namespace {

constexpr verola::TableKind kKind = verola::TableKind::Extr;
constexpr int kBlock = 1;
constexpr size_t kHeaderBytes = 3;

QByteArray listOf(int positions)
{
    QByteArray text("Positions\r\n");
    for (int pos = 0; pos < positions; ++pos)
        text += "\tP" + QByteArray::number(pos) + "|\r\n";
    return text;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size)
{
    if (size < kHeaderBytes)
        return 0;
    const verola::ConfigLocation location{verola::fuzz::scratchFolder(), QStringLiteral("cells")};
    for (int axis = 0; axis < 2; ++axis) {
        const QByteArray list = listOf(1 + data[1 + axis] % 16);
        verola::fuzz::writeFile(location.filePath(verola::listFileExtension(kKind, kBlock, axis)), list.constData(),
            static_cast<size_t>(list.size()));
    }
    const QString single = location.filePath(verola::tableFileExtension(kKind, kBlock));
    const QString doubled = single + u'_';
    QFile::remove(single);
    QFile::remove(doubled);
    verola::fuzz::writeFile((data[0] & 1) ? doubled : single, data + kHeaderBytes, size - kHeaderBytes);
    verola::fuzz::refusalsAllowed([&] {
        verola::TTab table;
        verola::readTableFromFileSet(table, location, kBlock, kKind);
        volatile float sum = 0;
        for (std::int32_t offset = 0; offset < table.FCellCount; ++offset)
            sum = sum + table.cellAt(offset);
    });
    return 0;
}
