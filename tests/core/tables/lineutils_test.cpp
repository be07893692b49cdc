#include "core/platform/conversions.h"
#include "core/tables/lineutils.h"
#include "testsupport.h"

#include <QFile>
#include <gtest/gtest.h>

using namespace verola;

TEST(LineUtils, ItemsOfALine)
{
    struct Case {
        const char* line;
        const char* first;
        const char* rest;
        const char* second;
        const char* last;
    };
    const std::vector<Case> cases = {
        {"A|B,C", "B", "C", "C", "C"},
        {"A", "A", "", "", "A"},
        {"A|", "", "", "", ""},
        {"A|B,C,D", "B", "C,D", "C", "D"},
        {"A|B", "B", "", "", ""}, // the walk ends on the empty rest
        {"A|B,,C", "B", ",C", "", ""},
        {"\t\tName|x,y|z", "x", "y|z", "z", ""},
    };
    for (const Case& c : cases) {
        const QString line = QString::fromLatin1(c.line);
        EXPECT_EQ(FirstItem(line), QString::fromLatin1(c.first)) << c.line;
        EXPECT_EQ(RestItems(line), QString::fromLatin1(c.rest)) << c.line;
        EXPECT_EQ(SecondItem(line), QString::fromLatin1(c.second)) << c.line;
        EXPECT_EQ(LastItem(line), QString::fromLatin1(c.last)) << c.line;
    }
    EXPECT_EQ(ThirdItem(QStringLiteral("n|a,b,c,d")), QStringLiteral("c"));
    EXPECT_EQ(FourthItem(QStringLiteral("n|a,b,c,d")), QStringLiteral("d"));
    EXPECT_EQ(FourthItem(QStringLiteral("n|a,b")), QString());
}

TEST(LineUtils, NamesLevelsAndAttributes)
{
    const QString line = QStringLiteral("\t\tMoscow|T,GROUP:SUM");
    EXPECT_EQ(LineName(line), QStringLiteral("Moscow"));
    EXPECT_EQ(LineAttributes(line), QStringLiteral("T,GROUP:SUM"));
    EXPECT_EQ(LineAttributes(QStringLiteral("\tA|")), QString());
    EXPECT_EQ(LineAttributes(QStringLiteral("\tA")), QStringLiteral("A"));
    EXPECT_EQ(LineName(QStringLiteral("\tA")), QStringLiteral("A"));
    EXPECT_EQ(TabLevel(QString()), -1);
    EXPECT_EQ(TabLevel(QStringLiteral("\t\t")), 2);
    EXPECT_EQ(TabLevel(QStringLiteral("x\t")), 0);
    EXPECT_EQ(StripTabs(QStringLiteral("\t\tx\t")), QStringLiteral("x\t"));
}

TEST(LineUtils, Replacing)
{
    QString s = QStringLiteral("a--b---c");
    ReplaceAll(s, QStringLiteral("--"), QStringLiteral("-"));
    EXPECT_EQ(s, QStringLiteral("a-b-c"));
    QString empty;
    ReplaceAll(empty, QStringLiteral("x"), QStringLiteral("y"));
    EXPECT_TRUE(empty.isEmpty());
    // A replacement holding the searched text is replaced once per occurrence instead of forever.
    QString growing = QStringLiteral("a.b");
    ReplaceAll(growing, QStringLiteral("."), QStringLiteral(".."));
    EXPECT_EQ(growing, QStringLiteral("a..b"));
    EXPECT_EQ(ReplaceEach(QStringLiteral("x+y+z"), QStringLiteral("+"), QStringLiteral("++")), QStringLiteral("x++y++z"));
    EXPECT_EQ(ReplaceEach(QStringLiteral("aaa"), QStringLiteral("aa"), QStringLiteral("b")), QStringLiteral("ba"));
}

TEST(LineUtils, NthField)
{
    struct Case {
        int n;
        const char* text;
        const char* field;
        int start;
    };
    const std::vector<Case> cases = {
        {2, "x|a;b;c", "b", 3},
        {0, "x|a;b;c", "c", 5},
        {7, "x|a;b;c", "c", 5},
        {1, "a;b", "a", 1},
        {2, "x|a;;c", "", 3},
    };
    for (const Case& c : cases) {
        const auto result = NthField(c.n, QString::fromLatin1(c.text), u';');
        ASSERT_TRUE(result.has_value()) << c.text;
        EXPECT_EQ(result->field, QString::fromLatin1(c.field)) << c.n << " " << c.text;
        EXPECT_EQ(result->start, c.start) << c.n << " " << c.text;
    }
    EXPECT_FALSE(NthField(-1, QStringLiteral("a;b"), u';').has_value());
    EXPECT_FALSE(NthField(1, QString(), u';').has_value());
}

TEST(LineUtils, ReindentMonthsAndSwaps)
{
    EXPECT_EQ(Reindent(3, 1, QStringLiteral("\t\t\tx")), QStringLiteral("\tx"));
    EXPECT_EQ(Reindent(3, 1, QStringLiteral("abcd")), QStringLiteral("cd"));
    EXPECT_EQ(Reindent(1, 3, QStringLiteral("x")), QStringLiteral("\t\tx"));
    EXPECT_EQ(Reindent(-1, 3, QStringLiteral("x")), QStringLiteral("x"));
    EXPECT_EQ(MonthNumber(QStringLiteral("Январь")), QStringLiteral("01"));
    EXPECT_EQ(MonthNumber(QStringLiteral("Декабрь")), QStringLiteral("12"));
    EXPECT_EQ(MonthNumber(QStringLiteral("январь")), QStringLiteral("??"));
    EXPECT_EQ(SwapWords(QStringLiteral("Иванов Иван")), QStringLiteral("Иван Иванов"));
    EXPECT_EQ(SwapWords(QStringLiteral(" x")), QStringLiteral(" x"));
    EXPECT_EQ(SwapWords(QStringLiteral("x ")), QStringLiteral("x "));
    EXPECT_EQ(SwapWords(QStringLiteral("one")), QStringLiteral("one"));
}

TEST(LineUtils, SubListCollectsTheChildrenOfALine)
{
    const QStringList list = {"H", "A", "\tA1", "\t\tA11", "\tA2", "B", "\tB1", "", "\tB2"};
    QStringList out;
    EXPECT_EQ(SubList(list, 1, out), 3);
    EXPECT_EQ(out, (QStringList{"\tA1", "\t\tA11", "\tA2"}));
    EXPECT_EQ(SubList(list, 5, out), -7); // an empty line stops the walk
    EXPECT_EQ(out, QStringList{"\tB1"});
    EXPECT_EQ(SubList(list, 8, out), 0); // the last line
    EXPECT_EQ(SubList(list, 3, out), 0); // no deeper line follows
    EXPECT_EQ(SubList(list, 7, out), 0); // an empty line has level -1
    EXPECT_EQ(SubList(list, 42, out), 0);
}

TEST(LineUtils, DateSortAndMdyDates)
{
    const FormatSettings format = FormatSettings::russian();
    EXPECT_EQ(FormatDateMDY(encodeDate(1995, 3, 7)), QStringLiteral("03/07/1995"));
    const QStringList sorted = {"01.02.1990|x", "05.03.1990|y", "10.11.1991|z"};
    QStringList out;
    EXPECT_EQ(DateSort(sorted, out, true, format), 0);
    EXPECT_EQ(out, sorted);
    // Keys are compared as month/day/year text, so March 1990 comes after February 1991.
    const QStringList mixed = {"x| 05.03.1990", "y|01.02.1991", "z|10.01.1992"};
    EXPECT_EQ(DateSort(mixed, out, false, format), 0);
    EXPECT_EQ(out, (QStringList{"z|10.01.1992", "y|01.02.1991", "x| 05.03.1990"}));
    const QStringList broken = {"a|01.01.1990", "b|not a date"};
    EXPECT_NE(DateSort(broken, out, false, format), 0);
    EXPECT_EQ(out, broken);
}

TEST(LineUtils, DeleteFileIfExists)
{
    verola::test::TempFolder folder;
    const QString path = folder.file("x.tmp");
    verola::test::writeBytes(path, "x");
    DeleteFileIfExists(path);
    EXPECT_FALSE(QFile::exists(path));
    DeleteFileIfExists(path); // nothing to delete is fine
}
