#include "core/db/dberrors.h"
#include "core/db/filecache.h"
#include "core/db/tablefiles.h"
#include "dbfixtures.h"
#include "testsupport.h"

#include <gtest/gtest.h>

using namespace verola;
using namespace verola::test;

namespace {

TEST(TableFileCacheTest, KeepsFilesOnlyWithinARunAndRereadsAChangedFile)
{
    TempFolder folder;
    const QString path = folder.file("t.dbf");
    writeBytes(path, "first");
    QByteArray bytes;
    ASSERT_TRUE(readTableFileBytes(path, bytes));
    EXPECT_EQ(bytes, "first");
    EXPECT_EQ(cachedTableFileCount(), 0); // no run: nothing is kept

    {
        TTableFileCacheScope run;
        ASSERT_TRUE(readTableFileBytes(path, bytes));
        QByteArray again;
        ASSERT_TRUE(readTableFileBytes(path, again));
        EXPECT_EQ(again.constData(), bytes.constData()); // the same bytes, not a second copy
        EXPECT_EQ(cachedTableFileCount(), 1);

        writeBytes(path, "second, longer");
        ASSERT_TRUE(readTableFileBytes(path, again));
        EXPECT_EQ(again, "second, longer");
        EXPECT_FALSE(readTableFileBytes(folder.file("absent.dbf"), again));
        {
            TTableFileCacheScope nested;
        }
        EXPECT_EQ(cachedTableFileCount(), 1); // an inner scope does not empty the cache
    }
    EXPECT_EQ(cachedTableFileCount(), 0);
}

// Every record of a table file as "a|b" lines.
QStringList records(const QString& path, const FormatSettings& format)
{
    const auto table = openTableFile(path, format);
    QStringList lines;
    for (int r = 0; r < table->recordCount(); ++r) {
        table->readRecord(r);
        QStringList values;
        for (int f = 0; f < table->fieldDefs().Count(); ++f)
            values.append(table->fieldDefs()[f].DataType == TFieldType::ftString ? table->text(f)
                                                                                  : QString::number(table->number(f)));
        lines.append(values.join(u'|'));
    }
    return lines;
}

TEST(TableFileCacheTest, ParadoxAndTextTablesAreDecodedOncePerRunAndAgainWhenTheyChange)
{
    TempFolder folder;
    const QString text = folder.file("conc.txt");
    const QString paradox = folder.file("conc.db");
    writeBytes(text, "ST;V\nA;1,5\n");
    writeParadox(paradox, {{"ST", 'A', 4}, {"V", 'N'}}, {{"A", "2"}});
    FormatSettings point = FormatSettings::russian();
    point.decimalSeparator = u'.';

    EXPECT_EQ(records(text, FormatSettings::russian()), QStringList{"A|1,5"});
    EXPECT_EQ(cachedTableFileCount(), 0); // no run: nothing is kept
    {
        TTableFileCacheScope run;
        for (int round = 0; round < 2; ++round) {
            EXPECT_EQ(records(text, FormatSettings::russian()), QStringList{"A|1,5"});
            EXPECT_EQ(records(paradox, FormatSettings::russian()), QStringList{"A|2"});
        }
        EXPECT_EQ(cachedTableFileCount(), 2);

        // Other number formats decode the same file differently: a second entry, not the first's records.
        EXPECT_EQ(records(text, point), QStringList{"A|1,5"});
        EXPECT_EQ(cachedTableFileCount(), 3);

        writeBytes(text, "ST;V\nB;7\nC;8\n");
        EXPECT_EQ(records(text, FormatSettings::russian()), (QStringList{"B|7", "C|8"}));

        // A file that fails to decode raises its error each time and leaves nothing behind.
        writeBytes(text, "ST;V\nB;7;9\n");
        for (int round = 0; round < 2; ++round)
            EXPECT_THROW(records(text, FormatSettings::russian()), EDatabaseError);
        EXPECT_EQ(cachedTableFileCount(), 3);
    }
    EXPECT_EQ(cachedTableFileCount(), 0);
}

} // namespace
