#include "core/app/fileset.h"
#include "core/platform/textfile.h"
#include "core/tables/tablefile.h"
#include "core/tables/ttab.h"
#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>
#include <shapefil.h>

using namespace verola;
using namespace verola::test;

namespace {

// A configuration "study" with a block 1 summary table: pollutants x regions, one "СО" tail line.
class TableCliTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        writeTextLines(folder.file("study.DES"), {"Demo study"});
        writeTextLines(folder.file("study.o10"), {"Загрязнители", "\tNO2|T", "\tSO2, \"sulfur\"|T", "\tСО|T"});
        writeTextLines(folder.file("study.o11"), {"Регионы", "\tМосква|T,7", "\t\tЦентр|T,8"});
        TTab table;
        readTableFromFileSet(table, ConfigLocation{folder.path(), "study"}, 1, TableKind::Extr);
        for (int i = 0; i < table.FCellCount; ++i)
            table.setCellAt(i, 1.0f / float(i + 1));
        table.setCellAt(1, kMissing);
        SaveToFile(table, folder.file("study.x1"));
        before = QDir(folder.path()).entryList(QDir::Files);
    }
    QStringList filesNow() const { return QDir(folder.path()).entryList(QDir::Files); }

    TempFolder folder;
    QStringList before;
};

} // namespace

TEST_F(TableCliTest, DumpPrintsPresentCellsAsCsv)
{
    const CliResult result = runCli({"dump", folder.file("study.DES"), "--block", "1", "--table", "extr"});
    ASSERT_EQ(result.status, 0) << result.err.toStdString();
    EXPECT_EQ(result.out, QStringLiteral("Pollutant,Region,Value\n"
                                         "NO2,Москва,1\n"
                                         "NO2,Центр,0.333333343\n"
                                         "\"SO2, \"\"sulfur\"\"\",Центр,0.25\n"));
    EXPECT_EQ(filesNow(), before);
}

TEST_F(TableCliTest, DumpWithMissingAndOtherTables)
{
    const CliResult missing
        = runCli({"dump", folder.file("study.x1"), "--block", "1", "--table", "extr", "--missing"});
    ASSERT_EQ(missing.status, 0);
    EXPECT_TRUE(missing.out.contains(QStringLiteral("\"SO2, \"\"sulfur\"\"\",Москва,-999\n")));
    // The block table shares the lists but keeps the "СО" line; it has no cells file: all missing.
    const CliResult block
        = runCli({"dump", folder.file("study.DES"), "--block", "1", "--table", "block", "--missing"});
    ASSERT_EQ(block.status, 0);
    EXPECT_EQ(block.out.count(u'\n'), 1 + 3 * 2);
    EXPECT_TRUE(block.out.contains(QStringLiteral("СО,Москва,-999")));
    // Block 0 has no lists at all: whole-set lists give one missing cell.
    const CliResult empty = runCli({"dump", folder.file("study.DES"), "--block", "0", "--table", "rule", "--missing"});
    EXPECT_EQ(empty.out, QStringLiteral("Value\n-999\n"));
    EXPECT_EQ(filesNow(), before);
}

TEST_F(TableCliTest, ExportDbfWritesNamesOrCodes)
{
    const QString out = folder.file("out/export.dbf");
    QDir().mkpath(folder.file("out"));
    CliResult result = runCli({"export-dbf", folder.file("study.DES"), "--block", "1", "--table", "extr", "--out", out});
    ASSERT_EQ(result.status, 0) << result.err.toStdString();
    DBFHandle dbf = DBFOpen(QFile::encodeName(out).constData(), "rb");
    ASSERT_NE(dbf, nullptr);
    EXPECT_EQ(DBFGetRecordCount(dbf), 3);
    char name[12] = {};
    DBFGetFieldInfo(dbf, 2, name, nullptr, nullptr);
    EXPECT_STREQ(name, "CONC");
    EXPECT_EQ(decodeCp1251(DBFReadStringAttribute(dbf, 1, 1)), QStringLiteral("Центр"));
    EXPECT_EQ(QString::fromLatin1(DBFReadStringAttribute(dbf, 1, 2)).trimmed(), QStringLiteral("0.3333333433"));
    DBFClose(dbf);

    result = runCli({"export-dbf", folder.file("study.DES"), "--block", "1", "--table", "extr", "--out", out,
        "--field", "LEVEL"});
    ASSERT_EQ(result.status, 0);
    dbf = DBFOpen(QFile::encodeName(out).constData(), "rb");
    DBFGetFieldInfo(dbf, 2, name, nullptr, nullptr);
    EXPECT_STREQ(name, "LEVEL");
    DBFClose(dbf);
}

// Values the N 20.10 field cannot hold are written as -999 and counted in a warning on stderr.
TEST_F(TableCliTest, ExportDbfSaysWhatItWroteAndWhatDidNotFit)
{
    TTab table;
    readTableFromFileSet(table, ConfigLocation{folder.path(), "study"}, 1, TableKind::Extr);
    table.setCellAt(0, 2e9f);
    table.setCellAt(2, -3e8f);
    SaveToFile(table, folder.file("study.x1"));
    const QString out = folder.file("export.dbf");
    const CliResult result = runCli({"export-dbf", folder.file("study.DES"), "--block", "1", "--table", "extr", "--out", out});
    ASSERT_EQ(result.status, 0) << result.err.toStdString();
    EXPECT_EQ(result.out, QStringLiteral("в файл %1 записано записей: 3\n").arg(out));
    EXPECT_EQ(result.err, QStringLiteral("предупреждение: значений, которые не помещаются в поле значения (N 20.10) "
                                         "и записаны как -999: 2\n"));
}

// A folder that does not exist and a field name a dBase field cannot hold are reported as
// what they are, and nothing is written.
TEST_F(TableCliTest, ExportDbfRefusesMissingFoldersAndNonLatinFieldNames)
{
    struct Case {
        QString out;
        QString field;
        const char* said;
    };
    const std::vector<Case> cases = {{folder.file("no/such/export.dbf"), "LEVEL", "такой папки нет"},
        {folder.file("export.dbf"), "УРОВЕНЬ", "не может быть именем поля dBase"}};
    for (const Case& c : cases) {
        const CliResult result = runCli(
            {"export-dbf", folder.file("study.DES"), "--block", "1", "--table", "extr", "--out", c.out, "--field", c.field});
        EXPECT_NE(result.status, 0) << c.said;
        EXPECT_TRUE(result.err.contains(QString::fromUtf8(c.said))) << result.err.toStdString();
        EXPECT_FALSE(result.err.contains(QStringLiteral("Мало места"))) << result.err.toStdString();
        EXPECT_FALSE(QFile::exists(c.out));
    }
    EXPECT_EQ(filesNow(), before);
}

TEST(TableCli, BadArgumentsGiveOneLineAndFailure)
{
    TempFolder folder;
    const struct {
        QStringList args;
        QString err;
    } bad[] = {
        {{"nonsense"}, "неизвестная команда \"nonsense\""},
        {{"dump"}, "не задан обязательный параметр --block"},
        {{"dump", folder.file("x.DES"), "--block", "7", "--table", "rule"},
            "параметр --block принимает целое число от 0 до 4, а не \"7\""},
        {{"dump", folder.file("x.DES"), "--block", "1", "--table", "wrong"},
            "--table принимает rule, extr, calc, est или block, а не \"wrong\""},
        {{"dump", folder.file("x.DES"), "--block", "1"}, "не задан обязательный параметр --table"},
        {{"dump", folder.file("x.DES"), "--block", "1", "--table", "rule", "--bogus"}, "неизвестный параметр --bogus"},
        {{"dump", "/no/such/folder/x.DES", "--block", "1", "--table", "rule"}, "нет такой папки: /no/such/folder"},
        {{"export-dbf", folder.file("x.DES"), "--block", "1", "--table", "rule"}, "не задан обязательный параметр --out"},
        {{"dump", folder.file("x.DES"), "--block", "1", "--table", "rule", "--decimal"},
            "у параметра --decimal не задано значение"},
    };
    for (const auto& c : bad) {
        const CliResult result = runCli(c.args);
        EXPECT_EQ(result.status, 1) << c.args.join(' ').toStdString();
        EXPECT_EQ(result.err, QStringLiteral("verola-cli: ") + c.err + u'\n') << c.args.join(' ').toStdString();
        EXPECT_TRUE(result.out.isEmpty()) << c.args.join(' ').toStdString();
    }
}

TEST(TableCli, UnreadableTableFileIsReported)
{
    TempFolder folder;
    writeTextLines(folder.file("s.DES"), {"x"});
    writeTextLines(folder.file("s.d00"), {"H", "\ta|D", "\tb|D"});
    writeBytes(folder.file("s.d0"), QByteArray(6, 0)); // shorter than two cells
    const CliResult result = runCli({"dump", folder.file("s.DES"), "--block", "0", "--table", "rule"});
    EXPECT_EQ(result.status, 1);
    EXPECT_TRUE(result.err.contains(QStringLiteral("короче таблицы"))) << result.err.toStdString();
    EXPECT_TRUE(result.err.contains(folder.file("s.d0"))) << result.err.toStdString();
}
