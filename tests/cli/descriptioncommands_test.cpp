#include "core/db/ttable.h"
#include "core/platform/textfile.h"
#include "testsupport.h"

#include <gtest/gtest.h>

using namespace verola;
using namespace verola::test;

namespace {

// A system directory with a description of one model, and a data folder with its tables.
class DescriptionCommandsTest : public ::testing::Test {
protected:
    DescriptionCommandsTest()
    {
        writeTextLines(system.file("Local.Ini"), {
            "[PanelsStruct]", "Panel0=PolPanel,Выбросы", "Panel1=ConcPanel,Концентрации",
            "[PolPanel]", "Coords=3", "[ConcPanel]", "Coords=3",
            "[ModelStruct]", "Models=2", "Model0=Москва ЦАО", "Model1=Пусто",
            "[CoordsStruct]", "Time=Время",
            "[Москва ЦАО PolPanel Loop0]", "NameCoord=Region", "FormatCoord=Integer",
            "[Москва ЦАО PolPanel Loop1]", "NameCoord=Industry", "Type=1", "Path=" + data.path(), "SQLLen=3",
            "SQLItem0=SELECT * FROM emis", "SQLItem1=WHERE YEAR_F = :Year", "SQLItem2=AND REG = :Region",
            "[Москва ЦАО PolPanel Loop2]", "NameCoord=Time", "DataType=1",
            "[Москва ЦАО ConcPanel Loop0]", "NameCoord=Region",
            "[Москва ЦАО ConcPanel Loop1]", "NameCoord=Pollutant", "Type=2", "Path=" + data.path(),
            "File=conc.dbf",
            "[Москва ЦАО ConcPanel Loop2]", "NameCoord=Time",
            "[DataBaseStruct]", "DBLen=1", "DataBase0.Name=Conc", "DataBase0.Path=" + data.path(),
            "DataBase0.CodeLen=1", "DataBase0.Code0.ConcPanel=conc<Year>",
        });
        writeEmissions();
    }
    void writeEmissions()
    {
        TTable table;
        table.SetDatabaseName(data.path());
        table.SetTableName("emis.dbf");
        table.FieldDefs().Add("REG", TFieldType::ftInteger);
        table.FieldDefs().Add("YEAR_F", TFieldType::ftInteger);
        table.CreateTable();
        table.Open();
        for (const auto& [region, year] : std::vector<std::pair<int, int>>{{77, 1990}, {77, 1991}, {78, 1990}}) {
            table.Insert();
            table.Fields(0).SetAsInteger(region);
            table.Fields(1).SetAsInteger(year);
            table.Post();
        }
        table.Close();
    }
    CliResult run(QStringList arguments)
    {
        arguments.prepend("--date-format");
        arguments.insert(1, "dd.MM.yyyy");
        return runCli(arguments, system.path());
    }

    TempFolder system;
    TempFolder data;
};

TEST_F(DescriptionCommandsTest, DescribeListsModelsWithTheirPanelKinds)
{
    const CliResult result = run({"describe"});
    ASSERT_EQ(result.status, 0) << result.err.toStdString();
    EXPECT_EQ(result.out, "Москва ЦАО: PolPanel, ConcPanel\nПусто: \n");
}

TEST_F(DescriptionCommandsTest, DescribeOnePanel)
{
    const CliResult result = run({"describe", "--model", "цао", "--panel", "ConcPanel"});
    ASSERT_EQ(result.status, 0) << result.err.toStdString();
    const QStringList lines = result.out.split(u'\n');
    for (const QString& expected : {QString("Model: Москва ЦАО"), QString("PanelText: Концентрации"),
             QString("Coordinate 1"), QString("  NameCoord: Pollutant"), QString("  File: conc.dbf"),
             QString("  AxisCaption: Время"), QString("Aliases: 1"), "  Conc: " + data.path(),
             QString("    conc<Year>")})
        EXPECT_TRUE(lines.contains(expected)) << expected.toStdString();
    EXPECT_EQ(lines.count("  NameCoord: Time"), 1);
}

TEST_F(DescriptionCommandsTest, QueryPrintsTheBuiltStatementAndCounts)
{
    struct Case {
        QStringList codes;
        QString sql;
        QString count;
    };
    const std::vector<Case> cases = {
        {{"0=77", "2=01.01.1990"}, "SELECT * FROM emis\n WHERE YEAR_F = 1990\n AND REG = 77\n", "Записей: 1\n"},
        {{"0=77", "2=01.01.1990-31.12.1991"}, "SELECT * FROM emis\n WHERE YEAR_F >= 1990 and YEAR_F <= 1991\n AND REG = 77\n",
            "Записей: 2\n"},
        {{"0=78", "2=01.01.1991"}, "SELECT * FROM emis\n WHERE YEAR_F = 1991\n AND REG = 78\n", "Записей: 0\n"},
    };
    for (const Case& c : cases) {
        QStringList arguments{"query", "--model", "Москва ЦАО", "--panel", "PolPanel", "--level", "1", "--open"};
        for (const QString& code : c.codes)
            arguments << "--code" << code;
        const CliResult result = run(arguments);
        ASSERT_EQ(result.status, 0) << result.err.toStdString();
        EXPECT_EQ(result.out, c.sql + c.count);
    }
}

TEST_F(DescriptionCommandsTest, QueryOfATableLevelPrintsTheTemplatedName)
{
    const CliResult result =
        run({"query", "--model", "Москва ЦАО", "--panel", "ConcPanel", "--level", "1", "--code", "2=01.01.1993"});
    ASSERT_EQ(result.status, 0) << result.err.toStdString();
    EXPECT_EQ(result.out, "conc1993.dbf\n");
}

// Emissions keyed by year: the table is level 0, its key is the time of level 1.
TEST_F(DescriptionCommandsTest, QueryOpensTheOuterLevelsBeforeAnInnerKeyLevel)
{
    writeTextLines(system.file("Local.Ini"), {
        "[PanelsStruct]", "Panel0=PolPanel,Выбросы", "[PolPanel]", "Coords=2",
        "[ModelStruct]", "Models=1", "Model0=По годам",
        "[По годам PolPanel Loop0]", "NameCoord=Industry", "Type=3", "Path=" + data.path(), "File=emis.dbf",
        "Index=YEAR_F", "Key=Year",
        "[По годам PolPanel Loop1]", "NameCoord=Time", "DataType=1",
    });
    struct Case {
        const char* time;
        int status;
        QString out;
        QString err;
    };
    const std::vector<Case> cases = {
        {"01.01.1991", 0, "Записей: 1\nКлюч 1991: найден\n", ""},
        {"01.01.1995", 0, "Записей: 1\nКлюч 1995: не найден\n", ""},
        {"середина", 1, "", "Уровень 1 (Time), поле Year"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.time);
        const CliResult result = run({"query", "--model", "По годам", "--panel", "PolPanel", "--level", "1", "--open",
            "--code", QStringLiteral("1=") + c.time});
        EXPECT_EQ(result.status, c.status) << result.err.toStdString();
        EXPECT_FALSE(result.err.contains("не открыт")) << result.err.toStdString();
        if (c.status == 0) {
            EXPECT_EQ(result.out, QStringLiteral("у уровня 1 (Time) нет базы данных: Type 4\n") + c.out);
        }
        EXPECT_TRUE(result.err.contains(c.err)) << result.err.toStdString();
    }
}

TEST_F(DescriptionCommandsTest, BadArguments)
{
    const QStringList query{"query", "--model", "Москва ЦАО", "--panel", "PolPanel"};
    const struct {
        QStringList arguments;
        QString err;
    } cases[] = {
        {{"describe", "--model", "Нет такой"},
            QStringLiteral("нет модели \"Нет такой\" в %1").arg(system.file("Local.Ini"))},
        {{"describe", "--panel", "PolPanel"}, "--panel задается только вместе с --model"},
        {{"describe", "--model", "Москва ЦАО", "--panel", "Pol"},
            "--panel принимает PolPanel|ConcPanel|DesPanel|DeathPanel, а не \"Pol\""},
        {{"describe", "Local.Ini"}, "команда describe не принимает файл: она читает Local.Ini системной папки"},
        {query, "не задан обязательный параметр --level"},
        {query + QStringList{"--level", "1", "--code", "7=1"},
            "--code принимает LEVEL=CODE с уровнем от 0 до 3, а не \"7=1\""},
        {query + QStringList{"--level", "1", "--code", "x"},
            "--code принимает LEVEL=CODE с уровнем от 0 до 3, а не \"x\""},
        {query + QStringList{"--level", "3"}, "уровня 3 нет: PolPanel модели Москва ЦАО описывает координат: 3"},
        {query + QStringList{"--level", "1", "--data-dir", data.file("absent")},
            QStringLiteral("нет такой папки: %1").arg(data.file("absent"))},
        {query + QStringList{"--level", "1", "extra"},
            "команда query не принимает файл: она читает Local.Ini системной папки"},
    };
    for (const auto& c : cases) {
        const CliResult result = run(c.arguments);
        EXPECT_EQ(result.status, 1) << c.arguments.join(' ').toStdString();
        EXPECT_EQ(result.err, QStringLiteral("verola-cli: ") + c.err + u'\n') << c.arguments.join(' ').toStdString();
    }
}

} // namespace
