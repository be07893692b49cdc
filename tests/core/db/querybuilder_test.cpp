#include "core/db/querybuilder.h"
#include "core/platform/errors.h"
#include "testsupport.h"

#include <gtest/gtest.h>

using namespace verola;
using namespace verola::test;

namespace {

enum Level { kRegionLevel = 0, kIndustryLevel = 1, kTimeLevel = 2, kSexAgeLevel = 3 };

// Region, Industry (the query level), Time, SexAgeGroup over a folder of empty table files.
class QueryBuilderTest : public ::testing::Test {
protected:
    QueryBuilderTest()
    {
        for (const char* name : {"EMIS.DBF", "zones.db", "Emis Data.dbf", "plain"})
            writeBytes(folder.file(name), QByteArray());
        auto& items = sources.description.CoordItems;
        items.resize(4);
        items[kRegionLevel].NameCoord = "Region";
        items[kIndustryLevel].NameCoord = "Industry";
        items[kIndustryLevel].Type = kQuerySource;
        items[kIndustryLevel].Path = folder.path();
        items[kTimeLevel].NameCoord = "Time";
        items[kTimeLevel].AxisCaption = "Время";
        items[kSexAgeLevel].NameCoord = "SexAgeGroup";
        sources.currentCodes = {"77", "2", "01.01.1990", "105"};
    }
    TCoordItem& coord(int level) { return sources.description.CoordItems[static_cast<size_t>(level)]; }

    TempFolder folder;
    RecordingFeedback feedback;
    TSelectionSources sources{FormatSettings::russian(), feedback};
};

struct QueryCase {
    const char* title;
    QStringList templates;
    const char* regionFormat;
    int useYear;
    const char* timeCode;
    QStringList sql;
    bool built;
};

TEST_F(QueryBuilderTest, WorkedQueries)
{
    const std::vector<QueryCase> cases = {
        {"year range", {"WHERE YEAR_F = :Year"}, "String", 0, "01.01.1990-31.12.1991",
            {" WHERE YEAR_F >= 1990 and YEAR_F <= 1991"}, true},
        {"single year", {"WHERE YEAR_F = :Year"}, "String", 0, "01.01.1990", {" WHERE YEAR_F = 1990"}, true},
        {"years since 1900", {"WHERE YEAR_F = :Year"}, "String", 1, "01.01.1990-31.12.1991",
            {" WHERE YEAR_F >= 90 and YEAR_F <= 91"}, true},
        {"years since 1900 after 1999", {"WHERE YEAR_F = :Year"}, "String", 1, "01.01.1999-31.12.2005",
            {" WHERE YEAR_F >= 99 and YEAR_F <= 105"}, true},
        {"year 2005 since 1900", {"WHERE YEAR_F = :Year"}, "String", 1, "01.01.2005", {" WHERE YEAR_F = 105"}, true},
        {"equal bounds are one value", {"WHERE YEAR_F = :Year"}, "String", 0, "01.01.1990-01.01.1990",
            {" WHERE YEAR_F = 1990"}, true},
        {"excluded parameter", {"AND REG = :Region -(Region)"}, "String", 0, "01.01.1990", {}, false},
        {"where-only line disappears", {"SELECT * FROM emis", "WHERE REG = :Region -(Region)"}, "String", 0,
            "01.01.1990", {"SELECT * FROM emis"}, true},
        {"excluded comparison with its and",
            {"SELECT * FROM emis", "WHERE YEAR_F = :Year", "AND REG = :Region -(Region)"}, "String", 0,
            "01.01.1990", {"SELECT * FROM emis", " WHERE YEAR_F = 1990"}, true},
        {"excluded value", {"WHERE YEAR_F = :Year", "AND REG = :Region -(99, 77)"}, "Integer", 0, "01.01.1990",
            {" WHERE YEAR_F = 1990"}, true},
        {"where is no table", {"SELECT * FROM emis where X = 1"}, "String", 0, "01.01.1990", {}, false},
        {"missing table stops the lines", {"SELECT * FROM nosuch", "WHERE YEAR_F = :Year"}, "String", 0,
            "01.01.1990", {}, false},
        {"joined integer region", {"WHERE CODE = :Raion+:Year"}, "Integer", 0, "01.01.1990",
            {" WHERE CODE = '771990'"}, true},
        {"joined string region", {"WHERE CODE = :Raion+:Year"}, "String", 0, "01.01.1990",
            {" WHERE CODE = ''77'1990'"}, true},
        {"quoted region and several tables",
            {"SELECT * FROM emis, zones", "WHERE REG = :Region AND YEAR_F = :Year"}, "String", 0, "01.01.1990",
            {"SELECT * FROM emis, zones", " WHERE REG = '77'  AND YEAR_F = 1990"}, true},
        {"quoted table names", {"SELECT * FROM \"Emis Data\", \"plain\""}, "String", 0, "01.01.1990",
            {"SELECT * FROM \"Emis Data\", \"plain\""}, true},
        {"sex and age", {"WHERE SEX = :Sex", "AND AGE = :Age"}, "String", 0, "01.01.1990",
            {" WHERE SEX = 1", " AND AGE = 6"}, true},
        {"no lines", {}, "String", 0, "01.01.1990", {}, false},
    };
    for (const QueryCase& c : cases) {
        SCOPED_TRACE(c.title);
        coord(kIndustryLevel).SqlItems = c.templates;
        coord(kRegionLevel).FormatCoord = c.regionFormat;
        coord(kTimeLevel).UseYear = static_cast<std::uint8_t>(c.useYear);
        sources.currentCodes[kTimeLevel] = c.timeCode;
        EXPECT_EQ(sources.BuildQuery(kIndustryLevel), c.built);
        EXPECT_EQ(sources.sqlLines(), c.sql);
    }
    EXPECT_TRUE(feedback.messages.isEmpty());
}

TEST_F(QueryBuilderTest, AgeRangeRewritesTheComparison)
{
    coord(kIndustryLevel).SqlItems = QStringList{"SELECT * FROM emis", "WHERE AGE = :Age"};
    sources.currentCodes[kSexAgeLevel] = "12-13";
    EXPECT_TRUE(sources.BuildQuery(kIndustryLevel));
    EXPECT_EQ(sources.sqlLines(), (QStringList{"SELECT * FROM emis", " WHERE AGE >= 8 and AGE <= 20"}));
}

TEST_F(QueryBuilderTest, ShowSqlMessage)
{
    sources.showSql = true;
    coord(kIndustryLevel).SqlItems = QStringList{"SELECT * FROM emis", "WHERE YEAR_F = :Year"};
    EXPECT_TRUE(sources.BuildQuery(kIndustryLevel));
    ASSERT_EQ(feedback.messages.size(), 1);
    EXPECT_EQ(feedback.messages[0],
        "Текст SQL-запроса:\r\n\r\nSELECT * FROM emis\r\n WHERE YEAR_F = 1990\r\nLen 38");
}

struct ConvertCase {
    const char* title;
    int level;
    const char* field;
    const char* lower;
    const char* upper;
    const char* lowerOut;
    const char* upperOut;
};

TEST_F(QueryBuilderTest, ConvertValueByCoordinate)
{
    coord(kTimeLevel).FormatCoord = "DateTime";
    const std::vector<ConvertCase> cases = {
        {"sex of a group code", kSexAgeLevel, "Sex", "105", "", "1", ""},
        {"sex of a two-digit code", kSexAgeLevel, "Sex", "21", "12", "2", "1"},
        {"no sex", kSexAgeLevel, "Sex", "5", "", "5", ""},
        {"age band", kSexAgeLevel, "Age", "12", "12", "8", "15"},
        {"age above 100", kSexAgeLevel, "Age", "105", "", "6", ""},
        {"last band", kSexAgeLevel, "Age", "10", "19", "0", "150"},
        {"age of band 10 takes the last band", kSexAgeLevel, "Age", "9", "", "61", ""},
        {"plain sex-age value", kSexAgeLevel, "SexAgeGroup", "105", "", "'105'", ""},
        {"date", kTimeLevel, "Time", "01.02.1990", "03.04.1991", "'01.02.1990'", "'03.04.1991'"},
        {"month", kTimeLevel, "Month", "01.02.1990", "03.11.1991", "02", "11"},
        {"day", kTimeLevel, "Day", "05.02.1990", "", "05", ""},
        {"bare year", kTimeLevel, "Year", "1995", "", "1995", ""},
        {"other field of the time", kTimeLevel, "Season", "01.02.1990", "", "01.02.1990", ""},
        {"region quoted", kRegionLevel, "Raion", "77", "78", "'77'", "'78'"},
        {"empty lower does nothing", kRegionLevel, "Region", "", "5", "", "5"},
        {"other coordinate unquoted", kIndustryLevel, "Branch", "12", "", "12", ""},
        {"plain string coordinate", kIndustryLevel, "industry", "12", "13", "'12'", "'13'"},
        {"no coordinate", -1, "Industry", "12", "", "12", ""},
    };
    for (const ConvertCase& c : cases) {
        SCOPED_TRACE(c.title);
        QString lower = c.lower;
        QString upper = c.upper;
        sources.ConvertValue(c.level, c.field, lower, upper);
        EXPECT_EQ(lower, QString(c.lowerOut));
        EXPECT_EQ(upper, QString(c.upperOut));
    }
}

TEST_F(QueryBuilderTest, SexCodesComeFromTheDescription)
{
    coord(kSexAgeLevel).Man = "М";
    coord(kSexAgeLevel).Woman = "Ж";
    QString lower = "205";
    QString upper;
    sources.ConvertValue(kSexAgeLevel, "Sex", lower, upper);
    EXPECT_EQ(lower, "Ж");
    coord(kSexAgeLevel).Man = "Grp";
    lower = "205";
    sources.ConvertValue(kSexAgeLevel, "Sex", lower, upper);
    EXPECT_EQ(lower, "2");
}

TEST_F(QueryBuilderTest, RegionCodeConversions)
{
    struct Case {
        int set;
        int use;
        const char* field;
        const char* lower;
        const char* lowerOut;
    };
    const std::vector<Case> cases = {
        {1, 0, "Region", "77001", "77"},
        {2, 0, "Region", "77001,12", "77"},
        {2, 1, "City", "77,12", "77"},
        {2, 1, "Raion", "77,12", "12"},
        {1, 1, "Region", "77", "'77'"},
        {0, 1, "Region", "77", "77"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.set) + "/" + std::to_string(c.use) + " " + c.field);
        coord(kRegionLevel).SetRegionType = static_cast<std::uint8_t>(c.set);
        coord(kRegionLevel).UseRegionType = static_cast<std::uint8_t>(c.use);
        QString lower = c.lower;
        QString upper;
        sources.ConvertValue(kRegionLevel, c.field, lower, upper);
        EXPECT_EQ(lower, QString(c.lowerOut));
    }
}

TEST_F(QueryBuilderTest, CodesThatDoNotConvertAreErrors)
{
    const std::vector<std::pair<int, QString>> cases = {{kSexAgeLevel, "Sex"}, {kSexAgeLevel, "Age"},
        {kTimeLevel, "Year"}};
    for (const auto& [level, field] : cases) {
        QString lower = "x1";
        QString upper;
        try {
            sources.ConvertValue(level, field, lower, upper);
            ADD_FAILURE() << field.toStdString() << " converted";
        } catch (const EConvertError& error) {
            // The message names the level and the field, not only the code.
            const QString where = QStringLiteral("Уровень %1 (%2), поле %3").arg(level).arg(coord(level).NameCoord, field);
            EXPECT_TRUE(error.message().contains(where)) << error.message().toStdString();
        }
    }
    coord(kTimeLevel).FormatCoord = "DateTime";
    QString year = "1990";
    QString upper;
    EXPECT_THROW(sources.ConvertValue(kTimeLevel, "Time", year, upper), EConvertError);
}

TEST(QueryText, TrimDanglingClause)
{
    const std::vector<std::pair<QString, QString>> cases = {
        {" AND REG = ", ""},
        {" WHERE REG = ", ""},
        {"WHERE", ""},
        {" where ", ""},
        {" x = 1 AND ", " x = 1"},
        {"WHERE YEAR_F = 1990 AND", "WHERE YEAR_F = 1990"},
        {" x = 'ab' and", " x = 'ab'"},
        {" x = 7 AND ", " x = 7"},
        {" AND", ""},
        {" WHERE NAME = 'Holland'", " WHERE NAME = 'Holland'"},
        {" WHERE A = 1", " WHERE A = 1"},
        {"ab", "ab"},
        {"", ""},
        {" = ", ""},
    };
    for (const auto& [line, trimmed] : cases)
        EXPECT_EQ(TrimDanglingClause(line), trimmed) << line.toStdString();
}

TEST(QueryText, MapFieldToCoord)
{
    const std::vector<std::pair<QString, QString>> cases = {{"Age", "SexAgeGroup"}, {"CallDate", "SexAgeGroup"},
        {"BirthDate", "SexAgeGroup"}, {"DeathDate", "SexAgeGroup"}, {"Sex", "SexAgeGroup"},
        {"SexAgeGroup", "SexAgeGroup"}, {"Year", "Time"}, {"Month", "Time"}, {"Day", "Time"}, {"Time", "Time"},
        {"City", "Region"}, {"Raion", "Region"}, {"Region", "Region"}, {"year", "year"}, {"Pollutant", "Pollutant"}};
    for (const auto& [field, coordinate] : cases)
        EXPECT_EQ(MapFieldToCoord(field), coordinate) << field.toStdString();
}

class TemplatedTableTest : public QueryBuilderTest {
protected:
    TemplatedTableTest()
    {
        coord(kIndustryLevel).Type = kTableSource;
        coord(kIndustryLevel).Path = "/data/emis";
        coord(kRegionLevel).FormatCoord = "Integer";
        sources.currentCodes[kTimeLevel] = "01.01.1993";
        sources.description.Aliases = {{"Other", "/data/other", {"emis<Month>"}},
            {"Emis", "/DATA/EMIS", {"conc<Year>", "emis<Year>", "emis<Region>_x_<Year>tail"}},
            {"Emis2", "/data/emis", {"emis<Month>"}}};
    }
};

TEST_F(TemplatedTableTest, NamesFromTheFirstDatabaseOfTheLevelsFolder)
{
    struct Case {
        std::int32_t type;
        const char* file;
        bool templated;
        const char* name;
    };
    const std::vector<Case> cases = {
        {kTableSource, "emis.dbf", true, "emis1993.dbf"},
        {kKeyedTable, "EMIS.DB", true, "emis1993.DB"},
        {kTableSource, "emis", true, "emis1993."},
        {kTableSource, "conc.dbf", true, "conc1993.dbf"},
        {kTableSource, "zones.dbf", false, "zones.dbf"},
        {kQuerySource, "emis.dbf", false, "emis1993.dbf"},
        {kNoDatabase, "emis.dbf", false, "emis1993.dbf"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        coord(kIndustryLevel).Type = c.type;
        coord(kIndustryLevel).File = c.file;
        EXPECT_EQ(sources.UsesTemplatedTable(kIndustryLevel), c.templated);
        EXPECT_EQ(sources.TemplatedTableName(kIndustryLevel), QString(c.name));
    }
}

TEST_F(TemplatedTableTest, GroupsAreJoinedAndTheTextBetweenThemIsDropped)
{
    sources.description.Aliases = {{"Emis", "/data/emis", {"emis<Region>_x_<Year>tail"}}};
    coord(kIndustryLevel).File = "emis.dbf";
    EXPECT_EQ(sources.TemplatedTableName(kIndustryLevel), "emis771993.dbf");
    sources.description.Aliases.clear();
    EXPECT_FALSE(sources.UsesTemplatedTable(kIndustryLevel));
    EXPECT_EQ(sources.TemplatedTableName(kIndustryLevel), "emis.dbf");
}

TEST_F(QueryBuilderTest, KeyLevelKeyValueAndMasterLink)
{
    coord(kRegionLevel).FormatCoord = "Integer";
    coord(kTimeLevel).Type = kKeyedTable;
    coord(kTimeLevel).Index = "REGYEAR";
    coord(kTimeLevel).Key = "Region+Year";
    coord(kTimeLevel).MasterField = "REG";
    sources.setLevelsFromDescription(4);
    EXPECT_EQ(sources.queryLevel, kIndustryLevel);
    EXPECT_EQ(sources.tableLevel, kTimeLevel);
    EXPECT_EQ(sources.keyLevel, kTimeLevel);
    EXPECT_TRUE(sources.masterLink);
    EXPECT_EQ(sources.KeyValue(), "771990");

    coord(kTimeLevel).Key = "Region+Unknown";
    EXPECT_EQ(sources.KeyLevel(), kRegionLevel);
    EXPECT_EQ(sources.KeyValue(), "77");
    coord(kTimeLevel).Index.clear();
    EXPECT_EQ(sources.KeyLevel(), -1);

    coord(kTimeLevel).MasterField.clear();
    sources.setLevelsFromDescription(4);
    EXPECT_FALSE(sources.masterLink);
    // Only the coordinates the panel counts take part.
    sources.setLevelsFromDescription(2);
    EXPECT_EQ(sources.tableLevel, -1);
    sources.resetLevels();
    EXPECT_EQ(sources.queryLevel, -1);
}

TEST_F(QueryBuilderTest, LevelValuesSplitTheCurrentCode)
{
    sources.currentCodes[kTimeLevel] = "01.01.1990-31.12.1991";
    const LevelValue time = sources.LevelValues("Year");
    EXPECT_EQ(time.level, kTimeLevel);
    EXPECT_EQ(time.lower, "01.01.1990");
    EXPECT_EQ(time.upper, "31.12.1991");
    const LevelValue byCaption = sources.LevelValues("время");
    EXPECT_EQ(byCaption.level, kTimeLevel);
    const LevelValue none = sources.LevelValues("Pollutant");
    EXPECT_EQ(none.level, -1);
    EXPECT_TRUE(none.lower.isEmpty());
}

} // namespace
