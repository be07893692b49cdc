#include "core/db/filecache.h"
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

} // namespace
