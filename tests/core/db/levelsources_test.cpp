#include "core/db/querybuilder.h"
#include "core/db/ttable.h"
#include "testsupport.h"

#include <gtest/gtest.h>

using namespace verola;
using namespace verola::test;

namespace {

class CaptionFeedback : public RecordingFeedback {
public:
    void progressCaption(const QString& caption) override { progress.append(caption); }
    QStringList progress;
};

enum Level { kRegionLevel = 0, kSourceLevel = 1, kTimeLevel = 2 };

// Region, a source level, Time; emissions by region and year, and region names.
class LevelSourcesTest : public ::testing::Test {
protected:
    LevelSourcesTest()
    {
        writeDbaseTable(folder.path(), "emis.dbf", {{"REG", TFieldType::ftString, 10}, {"YEAR_F", TFieldType::ftInteger, 0},
                                                  {"VAL", TFieldType::ftString, 10}},
            {{"77", "1990", "a"}, {"77", "1991", "b"}, {"78", "1990", "c"}, {"79", "1992", "d"}});
        writeDbaseTable(folder.path(), "regions.dbf", {{"REG", TFieldType::ftString, 10}, {"NAME", TFieldType::ftString, 20}},
            {{"78", "Питер"}, {"77", "Москва"}});
        writeDbaseTable(folder.path(), "emis1991.dbf", {{"REG", TFieldType::ftString, 10}}, {{"77"}, {"78"}, {"79"}});
        auto& items = sources.description.CoordItems;
        items.resize(3);
        items[kRegionLevel].NameCoord = "Region";
        items[kRegionLevel].AxisCaption = "Регион";
        items[kSourceLevel].NameCoord = "Industry";
        items[kSourceLevel].AxisCaption = "Отрасль";
        items[kTimeLevel].NameCoord = "Time";
        items[kTimeLevel].AxisCaption = "Время";
        sources.currentCodes = {"77", "5", "01.01.1990"};
    }
    TCoordItem& coord(int level) { return sources.description.CoordItems[static_cast<size_t>(level)]; }
    void makeQueryLevel(int level, const QStringList& sql)
    {
        coord(level).Type = kQuerySource;
        coord(level).Path = folder.path();
        coord(level).SqlItems = sql;
    }
    void makeTableLevel(int level, std::int32_t type, const QString& file, const QString& index = QString())
    {
        coord(level).Type = type;
        coord(level).Path = folder.path();
        coord(level).File = file;
        coord(level).Index = index;
    }
    QStringList readAll(TDataSet& data, const QString& field, int count)
    {
        QStringList values;
        for (int i = 0; i < count; ++i, data.Next())
            values.append(data.FieldByName(field).AsString().trimmed());
        return values;
    }

    TempFolder folder;
    CaptionFeedback feedback;
    TSelectionSources sources{FormatSettings::russian(), feedback};
};

TEST_F(LevelSourcesTest, QueryLevelOpensWithTheBuiltStatement)
{
    makeQueryLevel(kSourceLevel, {"SELECT * FROM emis", "WHERE YEAR_F = :Year"});
    sources.setLevelsFromDescription(3);
    struct Case {
        const char* timeCode;
        QStringList values;
    };
    for (const Case& c : std::vector<Case>{{"01.01.1990", {"a", "c"}}, {"01.01.1990-31.12.1991", {"a", "b", "c"}},
             {"01.01.1993", {}}}) {
        SCOPED_TRACE(c.timeCode);
        sources.currentCodes[kTimeLevel] = c.timeCode;
        sources.PrepareLevel(kSourceLevel);
        const int count = sources.OpenLevel(kSourceLevel);
        EXPECT_EQ(count, c.values.size());
        QStringList values = readAll(sources.query, "VAL", count);
        values.sort(); // SQL without ORDER BY promises no order
        EXPECT_EQ(values, c.values);
        EXPECT_EQ(sources.dataSource.DataSet(), &sources.query);
        sources.CloseLevel(kSourceLevel);
        EXPECT_FALSE(sources.query.Active());
        ASSERT_FALSE(feedback.progress.isEmpty());
        EXPECT_EQ(feedback.progress.last(),
            QStringLiteral(" Регион : 77 Отрасль : 5 Найдено: %1").arg(c.values.size()));
    }
    EXPECT_TRUE(feedback.messages.isEmpty());
}

TEST_F(LevelSourcesTest, QueryThatCannotBeBuiltOrOpened)
{
    sources.model = "Тест";
    makeQueryLevel(kSourceLevel, {"SELECT * FROM nosuch"});
    sources.setLevelsFromDescription(3);
    sources.PrepareLevel(kSourceLevel);
    EXPECT_EQ(sources.OpenLevel(kSourceLevel), 0);
    EXPECT_EQ(feedback.messages,
        QStringList{"Модель «Тест», уровень 1 (Industry): в папке «" + folder.path() + "» нет таблицы «nosuch»"});
    EXPECT_EQ(feedback.progress, QStringList{" Регион : 77 Отрасль : 5 Найдено: 0"});

    feedback.messages.clear();
    coord(kSourceLevel).SqlItems = QStringList{"SELECT * FROM emis", "WHERE NOSUCH = :Year"};
    sources.PrepareLevel(kSourceLevel);
    EXPECT_EQ(sources.OpenLevel(kSourceLevel), 0);
    ASSERT_EQ(feedback.messages.size(), 1);
    EXPECT_EQ(feedback.messages[0], "Ошибка при открытии SQL-запроса для БД " + folder.path()
                                        + "\r\nSELECT * FROM emis\r\n WHERE NOSUCH = 1990\r\n"
                                          "Модель «Тест», уровень 1 (Industry): нет поля NOSUCH");
    EXPECT_EQ(feedback.progress.size(), 1); // no caption after a failure
}

TEST_F(LevelSourcesTest, ReviewHandsTheCountOverAndWalksNothing)
{
    makeQueryLevel(kSourceLevel, {"SELECT * FROM emis", "WHERE REG = :Region"});
    sources.setLevelsFromDescription(3);
    sources.review = true;
    std::vector<int> counts;
    sources.reviewCount = [&](int count) { counts.push_back(count); };
    sources.PrepareLevel(kSourceLevel);
    EXPECT_EQ(sources.OpenLevel(kSourceLevel), 0);
    EXPECT_EQ(counts, std::vector<int>{2});
    EXPECT_FALSE(sources.query.Active());
    EXPECT_TRUE(feedback.progress.isEmpty());
}

TEST_F(LevelSourcesTest, PlainTableLevelWalksEveryRecord)
{
    makeTableLevel(kTimeLevel, kTableSource, "emis.dbf");
    sources.setLevelsFromDescription(3);
    sources.PrepareLevel(kTimeLevel);
    const int count = sources.OpenLevel(kTimeLevel);
    ASSERT_EQ(count, 4);
    QStringList values;
    for (int i = 0; i < count; ++i, sources.NextRecord(kTimeLevel))
        values.append(sources.table.FieldByName("VAL").AsString().trimmed());
    EXPECT_EQ(values, (QStringList{"a", "b", "c", "d"}));
    EXPECT_TRUE(sources.PositionByKey(kTimeLevel));
    EXPECT_EQ(feedback.progress.last(), " Регион : 77 Отрасль : 5 Время : 01.01.1990 Найдено: 4");
    sources.CloseLevel(kTimeLevel);
    EXPECT_FALSE(sources.table.Active());
}

TEST_F(LevelSourcesTest, KeyedTableIsPositionedAtTheKeyLevelOnly)
{
    makeTableLevel(kTimeLevel, kKeyedTable, "emis.dbf", "YEAR_F");
    coord(kTimeLevel).Key = "Year";
    sources.setLevelsFromDescription(3);
    EXPECT_EQ(sources.keyLevel, kTimeLevel);
    sources.PrepareLevel(kTimeLevel);
    // The index did not exist: it was created over its field and selected.
    EXPECT_EQ(sources.table.IndexName(), "Year_f");
    EXPECT_EQ(sources.OpenLevel(kTimeLevel), 1);

    EXPECT_FALSE(sources.PositionByKey(-1));
    sources.currentCodes[kTimeLevel] = "01.01.1995";
    EXPECT_TRUE(sources.PositionByKey(kSourceLevel));
    EXPECT_FALSE(sources.PositionByKey(kTimeLevel));
    sources.currentCodes[kTimeLevel] = "01.01.1992";
    EXPECT_TRUE(sources.PositionByKey(kTimeLevel));
    EXPECT_EQ(sources.table.FieldByName("VAL").AsString().trimmed(), "d");
}

// A coordinate of format "String" is quoted in SQL, but the key searched in the index
// is the code itself.
TEST_F(LevelSourcesTest, KeyedTableMatchesStringCodes)
{
    struct Case {
        int level;
        const char* key;
        const char* file;
        const char* index;
        const char* code;
        const char* field;
        const char* value;
    };
    for (const Case& c : std::vector<Case>{{kRegionLevel, "Region", "regions.dbf", "REG", "78", "NAME", "Питер"},
             {kSourceLevel, "Industry", "emis.dbf", "VAL", "c", "REG", "78"}}) {
        SCOPED_TRACE(c.key);
        const TCoordItem plain = coord(c.level);
        makeTableLevel(c.level, kKeyedTable, c.file, c.index);
        coord(c.level).Key = c.key;
        coord(c.level).FormatCoord = "String";
        sources.setLevelsFromDescription(c.level + 1);
        ASSERT_EQ(sources.keyLevel, c.level);
        sources.currentCodes[static_cast<size_t>(c.level)] = c.code;
        EXPECT_EQ(sources.KeyValue(), c.code);
        sources.PrepareLevel(c.level);
        ASSERT_EQ(sources.OpenLevel(c.level), 1);
        EXPECT_TRUE(sources.PositionByKey(c.level));
        EXPECT_EQ(sources.table.FieldByName(c.field).AsString().trimmed(), c.value);
        sources.CloseLevel(c.level);
        coord(c.level) = plain;
    }
}

TEST_F(LevelSourcesTest, MasterLinkMakesTheTableFollowTheQuery)
{
    makeQueryLevel(kSourceLevel, {"SELECT * FROM emis", "WHERE YEAR_F = :Year"});
    makeTableLevel(kTimeLevel, kTableSource, "regions.dbf", "REG");
    coord(kTimeLevel).MasterField = "REG";
    sources.setLevelsFromDescription(3);
    ASSERT_TRUE(sources.masterLink);
    sources.PrepareLevel(kSourceLevel);
    ASSERT_EQ(sources.OpenLevel(kSourceLevel), 2);
    sources.PrepareLevel(kTimeLevel);
    QStringList names;
    for (int i = 0; i < 2; ++i, sources.NextRecord(kSourceLevel)) {
        ASSERT_EQ(sources.OpenLevel(kTimeLevel), 1);
        names.append(sources.table.FieldByName("NAME").AsString().trimmed());
    }
    EXPECT_EQ(names, (QStringList{"Москва", "Питер"}));
    EXPECT_TRUE(feedback.messages.isEmpty());
}

TEST_F(LevelSourcesTest, MasterLinkThatCannotBeSetReadsTheTableUnlinked)
{
    makeQueryLevel(kSourceLevel, {"SELECT * FROM emis", "WHERE YEAR_F = :Year"});
    makeTableLevel(kTimeLevel, kTableSource, "regions.dbf", "REG");
    coord(kTimeLevel).MasterField = "NOSUCH";
    sources.setLevelsFromDescription(3);
    sources.PrepareLevel(kSourceLevel);
    ASSERT_EQ(sources.OpenLevel(kSourceLevel), 2);
    sources.PrepareLevel(kTimeLevel);
    EXPECT_EQ(feedback.messages, QStringList{"Не могу установить соответствие по полю NOSUCH"});
    EXPECT_EQ(sources.OpenLevel(kTimeLevel), 2);
}

TEST_F(LevelSourcesTest, TableThatCannotBeOpened)
{
    sources.model = "Тест";
    struct Case {
        std::int32_t type;
        const char* file;
        const char* index;
        QString message;
    };
    const QString prefix = "Невозможно открыть базу данных для:\r\n" + folder.path();
    const auto tagNote = [](const QString& index) {
        return "\r\nИндекс \"" + index
            + "\" - не список полей таблицы, а, видимо, тег индексного файла; такие теги не читаются. "
              "Укажите в \"Index\" поля ключа через \";\" (поля таблицы: REG;YEAR_F;VAL)";
    };
    // The index is named as the description writes it, here and in the note on index tags.
    const std::vector<Case> cases = {
        {kTableSource, "nosuch.dbf", "", prefix + "/nosuch.dbf\r\n\r\n"},
        {kKeyedTable, "nosuch.dbf", "REG", prefix + "/nosuch.dbf\r\nREG\r\n"},
        {kKeyedTable, "emis.dbf", "NOFIELD", prefix + "/emis.dbf\r\nNOFIELD\r\n" + tagNote("NOFIELD")},
        {kKeyedTable, "emis.dbf", "REG;NOFIELD", prefix + "/emis.dbf\r\nREG;NOFIELD\r\n" + tagNote("REG;NOFIELD")},
        // An index tag of the desktop's index files rather than a field list is told as such.
        {kKeyedTable, "emis.dbf", "BYREGYEAR", prefix + "/emis.dbf\r\nBYREGYEAR\r\n" + tagNote("BYREGYEAR")},
        {kTableSource, "emis.dbf", "TAG1", prefix + "/emis.dbf\r\nTAG1\r\n" + tagNote("TAG1")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message.toStdString());
        feedback.messages.clear();
        makeTableLevel(kTimeLevel, c.type, c.file, c.index);
        sources.setLevelsFromDescription(3);
        sources.PrepareLevel(kTimeLevel);
        EXPECT_EQ(sources.OpenLevel(kTimeLevel), 0);
        // The level and the engine's reason follow.
        ASSERT_EQ(feedback.messages.size(), 1);
        EXPECT_TRUE(feedback.messages[0].startsWith(c.message + "\r\nМодель «Тест», уровень 2 (Time): "))
            << feedback.messages[0].toStdString();
    }
    EXPECT_TRUE(feedback.progress.isEmpty());
}

TEST_F(LevelSourcesTest, TemplatedTableLevel)
{
    makeTableLevel(kSourceLevel, kTableSource, "emis.dbf");
    sources.description.Aliases = {{"Emis", folder.path(), {"emis<Year>"}}};
    sources.currentCodes[kTimeLevel] = "01.01.1991";
    sources.setLevelsFromDescription(3);
    ASSERT_TRUE(sources.UsesTemplatedTable(kSourceLevel));
    sources.PrepareTemplatedLevel(kSourceLevel);
    EXPECT_EQ(sources.table.TableName(), "emis1991.dbf");
    EXPECT_EQ(sources.OpenLevel(kSourceLevel), 3);
}

TEST_F(LevelSourcesTest, LevelsWithoutADatabase)
{
    coord(kSourceLevel).Type = kNoDatabase;
    coord(kTimeLevel).Type = kNoRecords;
    sources.setLevelsFromDescription(3);
    EXPECT_EQ(sources.OpenLevel(kSourceLevel), 1);
    EXPECT_EQ(sources.OpenLevel(kTimeLevel), 0);
    EXPECT_EQ(sources.OpenLevel(7), 0);
    EXPECT_TRUE(sources.PositionByKey(kTimeLevel));
}

} // namespace
