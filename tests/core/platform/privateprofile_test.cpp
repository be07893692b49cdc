#include "core/platform/errors.h"
#include "core/platform/privateprofile.h"
#include "core/platform/textfile.h"
#include "testsupport.h"

#include <gtest/gtest.h>

using namespace verola;
using namespace verola::test;

namespace {

class PrivateProfileTest : public ::testing::Test {
protected:
    TempFolder folder;
    ScopedSystemDirectory system{folder.path()};
    QString path() const { return folder.file(QStringLiteral("Test.ini")); }
};

} // namespace

TEST_F(PrivateProfileTest, ReadsWithDefaultsAndIgnoresLetterCase)
{
    writeBytes(path(), encodeCp1251(QStringLiteral(
        "; comment=ignored\r\n[General]\r\n  DataDirectory = D:\\data\\ \r\nFontSize=12\r\nBad=12x\r\n"
        "[Видимость]\r\nКлюч=1\r\nQuoted=\"a b\"\r\n")));
    const PrivateProfile ini(QStringLiteral("Test.ini"));
    EXPECT_EQ(ini.path(), path());
    EXPECT_EQ(ini.readString("GENERAL", "datadirectory", "x"), QStringLiteral("D:\\data\\"));
    EXPECT_EQ(ini.readString("General", "Missing", "def"), QStringLiteral("def"));
    EXPECT_EQ(ini.readString("Nowhere", "FontSize", "def"), QStringLiteral("def"));
    EXPECT_EQ(ini.readInteger("general", "fontsize", 8), 12);
    EXPECT_EQ(ini.readInteger("General", "Bad", 8), 8);
    EXPECT_TRUE(ini.readBool("ВИДИМОСТЬ", "ключ", false));
    EXPECT_FALSE(ini.readBool("General", "Bad", false));
    EXPECT_EQ(ini.readString("Видимость", "Quoted", ""), QStringLiteral("a b"));
    EXPECT_EQ(ini.sections(), (QStringList{"General", "Видимость"}));
    EXPECT_EQ(ini.keys("general"), (QStringList{"DataDirectory", "FontSize", "Bad"}));
}

TEST_F(PrivateProfileTest, MissingFileGivesDefaults)
{
    const PrivateProfile ini(QStringLiteral("Absent.ini"));
    EXPECT_EQ(ini.readString("General", "DataDirectory", "d"), QStringLiteral("d"));
    EXPECT_EQ(ini.readInteger("General", "FontSize", 8), 8);
    EXPECT_TRUE(ini.sections().isEmpty());
}

TEST_F(PrivateProfileTest, WritingKeepsEveryOtherLineByteForByte)
{
    const QByteArray original("; keep me\n[General]\r\nA=1\r\n\r\n[Other]\nB=2\n");
    writeBytes(path(), original);
    PrivateProfile ini(QStringLiteral("Test.ini"));

    ini.writeString("general", "a", "10");
    EXPECT_EQ(readBytes(path()), QByteArray("; keep me\n[General]\r\na=10\r\n\r\n[Other]\nB=2\n"));

    ini.writeInteger("GENERAL", "C", 3);
    EXPECT_EQ(readBytes(path()), QByteArray("; keep me\n[General]\r\na=10\r\nC=3\n\r\n[Other]\nB=2\n"));

    ini.writeString("Новая", "Ключ", "Значение");
    const QStringList lines = readTextLines(path());
    EXPECT_EQ(lines.mid(lines.size() - 2), (QStringList{"[Новая]", "Ключ=Значение"}));
    EXPECT_EQ(ini.readString("НОВАЯ", "КЛЮЧ", ""), QStringLiteral("Значение"));
    EXPECT_EQ(ini.readInteger("Other", "B", 0), 2);
}

TEST_F(PrivateProfileTest, EraseSectionAndDeleteKey)
{
    writeBytes(path(), QByteArray("[FileHistory]\r\nMaxFiles=9\r\nFile1=a\r\n[General]\r\nX=1\r\n"));
    PrivateProfile ini(QStringLiteral("Test.ini"));
    ini.eraseSection("filehistory");
    EXPECT_EQ(readBytes(path()), QByteArray("[General]\r\nX=1\r\n"));
    ini.deleteKey("General", "x");
    EXPECT_FALSE(ini.hasKey("General", "X"));
    EXPECT_EQ(ini.sections(), QStringList{"General"});
}

TEST_F(PrivateProfileTest, PathWithFolderIsNotRedirected)
{
    TempFolder other;
    PrivateProfile ini(other.file("Local.Ini"));
    ini.writeString("S", "K", "V");
    EXPECT_EQ(ini.path(), other.file("Local.Ini"));
    EXPECT_EQ(readBytes(other.file("Local.Ini")), QByteArray("[S]\r\nK=V\r\n"));
}

TEST_F(PrivateProfileTest, UnwritableFileRaisesInputOutputError)
{
    PrivateProfile ini(folder.file("no/such/folder/x.ini"));
    EXPECT_THROW(ini.writeString("S", "K", "V"), EInOutError);
}

// The document answers from an index of its keys; it must answer as the file reader does,
// also after its own writes.
TEST_F(PrivateProfileTest, DocumentReadsEveryKeyAsTheFileDoes)
{
    writeBytes(path(), encodeCp1251(QStringLiteral(
        "Before=any section\r\n[A]\r\nKey=first\r\nkey=second\r\n; Gone=comment\r\n[Б]\r\nЯ = 1\r\n"
        "[a]\r\nKey=repeated section\r\nOnly=in repeated section\r\n[ b ]\r\nЯ=2\r\n  Spaced  =  x  \r\n")));
    const PrivateProfile file(QStringLiteral("Test.ini"));
    PrivateProfileDocument document(QStringLiteral("Test.ini"));
    const std::vector<std::pair<QString, QString>> lookups = {{"A", "KEY"}, {"a", "Only"}, {"A", "Gone"},
        {"", "Before"}, {"б", "я"}, {"B", "Я"}, {"B", "spaced"}, {"C", "Key"}};
    for (const auto& [section, key] : lookups)
        EXPECT_EQ(document.readString(section, key, "-"), file.readString(section, key, "-")) << section.toStdString()
                                                                                               << "/" << key.toStdString();
    EXPECT_EQ(document.readString("A", "Key", "-"), QStringLiteral("first"));
    EXPECT_EQ(document.readString("B", "Spaced", "-"), QStringLiteral("x"));

    document.writeString("A", "Key", "changed");
    document.writeString("C", "New", "added");
    EXPECT_EQ(document.readString("a", "key", "-"), QStringLiteral("changed"));
    EXPECT_EQ(document.readString("c", "new", "-"), QStringLiteral("added"));
    document.eraseSection("Б");
    EXPECT_EQ(document.readString("Б", "Я", "-"), QStringLiteral("-"));
}
