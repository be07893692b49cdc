#include "core/platform/errors.h"
#include "core/platform/textfile.h"
#include "testsupport.h"

#include <gtest/gtest.h>

using namespace verola;
using namespace verola::test;

TEST(TextFile, AnyLineBreakEndsALine)
{
    struct Case {
        const char* text;
        QStringList lines;
    };
    const std::vector<Case> cases = {
        {"", {}},
        {"a", {"a"}},
        {"a\r\nb\r\n", {"a", "b"}},
        {"a\rb\nc", {"a", "b", "c"}},
        {"a\n\r\nb", {"a", "", "b"}},
        {"\r\n\r\n", {"", ""}},
        {"a\n\rb", {"a", "", "b"}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(splitLines(QString::fromLatin1(c.text)), c.lines) << c.text;
}

TEST(TextFile, WritesCodePage1251WithCrLfAndReadsItBack)
{
    TempFolder folder;
    const QString path = folder.file("list.o00");
    const QStringList lines = {QStringLiteral("Весь набор"), QStringLiteral("\tМосква|T,GROUP:SUM"), QString()};
    writeTextLines(path, lines);
    const QByteArray bytes = readBytes(path);
    EXPECT_EQ(bytes, QByteArray("\xC2\xE5\xF1\xFC \xED\xE0\xE1\xEE\xF0\r\n\t\xCC\xEE\xF1\xEA\xE2\xE0|T,GROUP:SUM\r\n\r\n"));
    EXPECT_EQ(readTextLines(path), lines);
}

TEST(TextFile, ReadsUtf8WhenTheFileStartsWithAByteOrderMark)
{
    TempFolder folder;
    const QString path = folder.file("utf8.txt");
    writeBytes(path, QByteArray("\xEF\xBB\xBF") + QStringLiteral("Регион\nМосква").toUtf8());
    EXPECT_EQ(readTextLines(path), (QStringList{"Регион", "Москва"}));
    writeTextLines(path, readTextLines(path));
    EXPECT_FALSE(readBytes(path).startsWith("\xEF\xBB\xBF"));
    EXPECT_EQ(readTextLines(path), (QStringList{"Регион", "Москва"}));
}

TEST(TextFile, FailuresRaiseInputOutputErrorAndKeepTheOldFile)
{
    TempFolder folder;
    EXPECT_THROW(readTextLines(folder.file("missing.txt")), EInOutError);
    EXPECT_THROW(writeTextLines(folder.file("no/folder/x.txt"), {"a"}), EInOutError);
}
