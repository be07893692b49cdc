#include "core/platform/errors.h"
#include "core/platform/textfile.h"
#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>
#include <functional>

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
    // Written without an encoding, the lines go to code page 1251.
    writeTextLines(path, readTextLines(path));
    EXPECT_EQ(readBytes(path), QByteArray("\xD0\xE5\xE3\xE8\xEE\xED\r\n\xCC\xEE\xF1\xEA\xE2\xE0\r\n"));
    EXPECT_EQ(readTextFile(path).encoding, TextEncoding::Cp1251);
}

TEST(TextFile, AFileIsWrittenBackInTheEncodingItWasReadIn)
{
    TempFolder folder;
    const QString path = folder.file("list.o00");
    const QStringList lines = {QStringLiteral("Весь набор"), QStringLiteral("\tŁódź 中文 €|T")};
    writeBytes(path, QByteArray("\xEF\xBB\xBF") + lines.join(u'\n').toUtf8());
    const TextFileContents contents = readTextFile(path);
    EXPECT_EQ(contents.encoding, TextEncoding::Utf8Bom);
    EXPECT_EQ(contents.lines, lines);
    writeTextLines(path, contents.lines, contents.encoding);
    EXPECT_EQ(readBytes(path), QByteArray("\xEF\xBB\xBF") + (lines.join(QStringLiteral("\r\n")) + "\r\n").toUtf8());
    EXPECT_EQ(readTextFile(path).lines, lines);
}

// A character code page 1251 lacks would be written as 0x1A without a word, and two lines that
// differ only there would become one position on the next open.
TEST(TextFile, ATextCodePage1251CannotHoldIsNotWrittenInIt)
{
    TempFolder folder;
    const QString path = folder.file("list.d10");
    writeTextLines(path, {QStringLiteral("Весь набор"), QStringLiteral("\tКиев|D")});
    const QByteArray before = readBytes(path);
    try {
        writeTextLines(path, {QStringLiteral("Весь набор"), QStringLiteral("\tКиев|D"), QStringLiteral("\tŁódź|D")});
        ADD_FAILURE() << "a text with a character 1251 lacks was written";
    } catch (const EPlatformError& error) {
        for (const QString& part : {path, QStringLiteral("строка 3"), QStringLiteral("символ 2"), QStringLiteral("Ł")})
            EXPECT_TRUE(error.message().contains(part)) << error.message().toStdString();
    }
    EXPECT_EQ(readBytes(path), before);
    // Every character the code page has, the euro and the numero sign among them, is written.
    const QString all = QStringLiteral("€‚„…†‡‰‹›‘’“”•–—™№ЁЂЃЄЅІЇЈЉЊЋЌЎЏёђѓєѕіїјљњћќўџҐґ¤¦§©«¬®°±µ¶·»");
    writeTextLines(path, {all});
    EXPECT_EQ(readTextLines(path), QStringList{all});
}

TEST(TextFile, FailuresRaiseInputOutputErrorAndKeepTheOldFile)
{
    TempFolder folder;
    EXPECT_THROW(readTextLines(folder.file("missing.txt")), EInOutError);
    EXPECT_THROW(writeTextLines(folder.file("no/folder/x.txt"), {"a"}), EInOutError);
}

namespace {

// What refusing a file has to say: the file and why.
void expectRefused(const std::function<void()>& read, const QString& path, const QString& why)
{
    try {
        read();
        ADD_FAILURE() << "read " << path.toStdString();
    } catch (const EInOutError& error) {
        EXPECT_TRUE(error.message().contains(path)) << error.message().toStdString();
        EXPECT_TRUE(error.message().contains(why)) << error.message().toStdString();
    }
}

} // namespace

// Reading a FIFO waits for a writer forever, a device such as /dev/zero never ends: only
// regular files are read, and none longer than a list or a description can sanely be.
TEST(TextFile, OnlyRegularFilesOfASaneSizeAreRead)
{
    TempFolder folder;
    const QString fifo = folder.file("fifo.o00");
    ASSERT_TRUE(makeFifo(fifo));
    const QString zero = folder.file("zero.o00");
    ASSERT_TRUE(QFile::link(QStringLiteral("/dev/zero"), zero));
    const QString directory = folder.file("folder.o00");
    ASSERT_TRUE(QDir(folder.path()).mkdir("folder.o00"));
    const QString huge = folder.file("huge.o00");
    {
        QFile file(huge);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_TRUE(file.resize(kTextFileByteLimit + 1)); // sparse: no disk is filled
    }
    const struct {
        QString path;
        QString why;
    } cases[] = {
        {fifo, QStringLiteral("канал (FIFO)")},
        {zero, QStringLiteral("устройство")},
        {directory, QStringLiteral("папка")},
        {huge, QStringLiteral("64 МБ")},
        {folder.file("missing.o00"), QStringLiteral("нет такого файла")},
    };
    for (const auto& c : cases) {
        const bool ended = endsWithin(std::chrono::seconds(10),
            [&] { expectRefused([&] { readTextLines(c.path); }, c.path, c.why); }, fifo);
        EXPECT_TRUE(ended) << c.path.toStdString() << " kept the reader waiting";
    }

    // The bound is the caller's: a smaller one refuses a smaller file.
    const QString small = folder.file("small.txt");
    writeBytes(small, QByteArray(100, 'a'));
    EXPECT_EQ(readTextFile(small, 100).lines, QStringList{QString(100, u'a')});
    expectRefused([&] { readTextFile(small, 99); }, small, QStringLiteral("больше"));
}
