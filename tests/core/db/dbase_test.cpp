// dBase files: creating them, code pages, damaged files.
#include "core/db/dberrors.h"
#include "core/db/session.h"
#include "core/db/ttable.h"
#include "dbfixtures.h"
#include "testsupport.h"

#include <QFile>
#include <gtest/gtest.h>
#include <shapefil.h>

using namespace verola;
using namespace verola::test;

namespace {

class DbaseTest : public ::testing::Test {
protected:
    TempFolder folder;
    TSession session{FormatSettings::russian(), QStringLiteral("Aliases.ini")};

    QString firstValue(const QString& table, const QString& field)
    {
        TTable t(session);
        t.SetDatabaseName(folder.path());
        t.SetTableName(table);
        t.Open();
        return t.FieldByName(field).AsString();
    }
};

TEST_F(DbaseTest, CreatedTablesOpenInShapelib)
{
    TTable table(session);
    table.SetDatabaseName(folder.path());
    table.SetTableName(QStringLiteral("export"));
    table.SetTableType(TTableType::ttDBase);
    table.FieldDefs().Add(QStringLiteral("RegionId"), TFieldType::ftString, 20);
    table.FieldDefs().Add(QStringLiteral("POL"), TFieldType::ftBCD, 10);
    table.CreateTable();
    table.Open();
    const std::vector<std::pair<QString, double>> records = {
        {QStringLiteral("Москва"), 1.25}, {QStringLiteral("очень длинное название района"), -3.0}};
    for (const auto& [name, value] : records) {
        table.Insert();
        table.Fields(0).SetAsString(name);
        table.Fields(1).SetAsString(QString::number(value).replace(u'.', u','));
        table.Post();
    }
    EXPECT_EQ(table.RecordCount(), 2);
    table.Close();

    DBFHandle handle = DBFOpen(QFile::encodeName(folder.file(QStringLiteral("export.dbf"))).constData(), "rb");
    ASSERT_NE(handle, nullptr);
    EXPECT_EQ(DBFGetRecordCount(handle), 2);
    EXPECT_STREQ(DBFGetCodePage(handle), "LDID/201");
    char name[12];
    int width = 0, decimals = 0;
    EXPECT_EQ(DBFGetFieldInfo(handle, 1, name, &width, &decimals), FTDouble);
    EXPECT_STREQ(name, "POL");
    EXPECT_EQ(decimals, 10);
    EXPECT_DOUBLE_EQ(DBFReadDoubleAttribute(handle, 0, 1), 1.25);
    EXPECT_EQ(QByteArray(DBFReadStringAttribute(handle, 0, 0)), QByteArray("\xcc\xee\xf1\xea\xe2\xe0")); // cp1251
    EXPECT_EQ(QByteArray(DBFReadStringAttribute(handle, 1, 0)).size(), 20); // cut to the field
    DBFClose(handle);

    EXPECT_EQ(firstValue(QStringLiteral("export"), QStringLiteral("POL")), QStringLiteral("1,25"));
}

TEST_F(DbaseTest, TextsAreDecodedInTheFilesCodePage)
{
    struct Case {
        const char* file;
        const char* mark;
        const char* codec;
    };
    const std::vector<Case> cases = {
        {"ansi", "LDID/201", "windows-1251"},
        {"unmarked", "LDID/0", "windows-1251"},
        {"dos", "LDID/101", "IBM866"},
        {"utf", "UTF-8", "UTF-8"},
        {"cpg866", "866", "IBM866"},
    };
    for (const Case& c : cases) {
        writeDbf(folder.file(QLatin1String(c.file) + QStringLiteral(".dbf")), {{"NAME", 'C', 40}},
            {{QStringLiteral("Пыль угольная")}}, c.mark, c.codec);
        EXPECT_EQ(firstValue(QLatin1String(c.file), QStringLiteral("NAME")), QStringLiteral("Пыль угольная")) << c.file;
    }
}

TEST_F(DbaseTest, DamagedFilesRaiseErrorsNamingThem)
{
    writeDbf(folder.file(QStringLiteral("good.dbf")), {{"NAME", 'C', 10}, {"N", 'N', 5, 0}},
        {{QStringLiteral("a"), QStringLiteral("1")}, {QStringLiteral("b"), QStringLiteral("2")}, {QStringLiteral("c"), QStringLiteral("3")}});
    const QByteArray good = readBytes(folder.file(QStringLiteral("good.dbf")));
    TTable open(session);
    open.SetDatabaseName(folder.path());
    open.SetTableName(QStringLiteral("good"));
    open.Open();

    QByteArray claimsMore = good;
    claimsMore[4] = 100; // record count
    QByteArray brokenField = good;
    brokenField[32 + 16] = static_cast<char>(250); // width of the first field beyond the record
    QByteArray shortHeader = good.left(40);
    QByteArray headerTooLong = good;
    headerTooLong[8] = static_cast<char>(0xff);
    headerTooLong[9] = static_cast<char>(0x7f);
    const std::vector<std::pair<const char*, QByteArray>> damaged = {
        {"claims", claimsMore},
        {"truncated", good.left(good.size() - 12)},
        {"fieldwidth", brokenField},
        {"short", shortHeader},
        {"header", headerTooLong},
        {"empty", QByteArray()},
        {"text", QByteArray("this is not a table at all, just some text")},
    };
    for (const auto& [name, bytes] : damaged) {
        const QString file = folder.file(QLatin1String(name) + QStringLiteral(".dbf"));
        writeBytes(file, bytes);
        TTable table(session);
        table.SetDatabaseName(folder.path());
        table.SetTableName(QLatin1String(name));
        try {
            table.Open();
            ADD_FAILURE() << "opened damaged table " << name;
        } catch (const EDatabaseError& error) {
            EXPECT_TRUE(error.message().contains(file)) << error.message().toStdString();
        }
    }
    // The table opened before still reads.
    open.Next();
    EXPECT_EQ(open.FieldByName(QStringLiteral("N")).AsInteger(), 2);
}

} // namespace
