// The tests of one record against the positions: by value type, time, sex and age; the
// special wind and temperature readings; the weights; the date and group ranges of an axis.
#include "core/db/recordreader.h"
#include "core/db/specialcoords.h"
#include "core/db/ttable.h"
#include "core/platform/conversions.h"
#include "core/platform/errors.h"
#include "testsupport.h"

#include <gtest/gtest.h>

using namespace verola;
using namespace verola::test;

namespace {

const FormatSettings kRussian = FormatSettings::russian();

TDateType days(int y1, int m1, int d1, int y2, int m2, int d2)
{
    return {encodeDate(y1, m1, d1), encodeDate(y2, m2, d2)};
}

TEST(MatchValueTest, ComparesByFormat)
{
    struct Case {
        const char* format;
        const char* value;
        const char* position;
        bool expected;
    };
    const TDateType year1990 = days(1990, 1, 1, 1990, 12, 31);
    for (const Case& c : std::vector<Case>{
             {"String", "abc", "ABC", true},
             {"String", "b", "a-c", false}, // strings match by equality only
             {"Boolean", "T", "T-U", false},
             {"Integer", "5", "3-7", true},
             {"Integer", "x", "3-7", false}, // x counts as -999
             {"Integer", "8", "3-7", false},
             {"Integer", "05", "5", false}, // a single value compares as text
             {"Float", "2,5", "1-3", true},
             {"Float", "3,5", "1-3", false},
             {"Pollutant", "b", "a-c", true}, // any other format: character codes
             {"DateTime", "15.03.1990", "01.01.1990-31.12.1990", true},
             // Sorts between the bounds as text, yet lies a year later.
             {"DateTime", "15.03.1991", "01.01.1990-31.12.1990", false},
             {"DateTime", "1990", "01.01.1990-31.12.1990", true}, // a year, through the time test
         }) {
        SCOPED_TRACE(std::string(c.format) + " " + c.value + " in " + c.position);
        EXPECT_EQ(MatchValue(c.format, c.value, c.position, year1990, kRussian), c.expected);
    }
}

TEST(MatchTimeTest, ReadsYearsMonthsDatesAndRanges)
{
    struct Case {
        const char* spec;
        TDateType range;
        bool expected;
    };
    for (const Case& c : std::vector<Case>{
             {"1990", days(1990, 1, 1, 1991, 12, 31), true},
             {"1992", days(1990, 1, 1, 1991, 12, 31), false},
             {"Всегда", days(1900, 1, 1, 1900, 1, 1), true},
             {"3;1990", days(1990, 1, 1, 1990, 12, 31), true},
             {"Март;1990", days(1990, 1, 1, 1990, 12, 31), true},
             {"Март;1990", days(1990, 4, 1, 1990, 12, 31), false},
             {"Январь;1991", days(1990, 1, 1, 1990, 12, 31), false},
             {"Январь;1991", days(1990, 6, 1, 1991, 12, 31), false}, // January is before June
             {"Июль;1991", days(1990, 6, 1, 1991, 12, 31), true},
             {"15.03.1990", days(1990, 1, 1, 1990, 12, 31), true},
             {"15.03.1991", days(1990, 1, 1, 1990, 12, 31), false},
             {"01.01.1990-31.12.1990", days(1990, 3, 15, 1990, 3, 15), true},
             {"01.01.1990-31.12.1990", days(1990, 1, 1, 1991, 12, 31), true},
             {"01.01.1990-31.12.1990", days(1990, 6, 1, 1990, 8, 1), false},
         }) {
        SCOPED_TRACE(c.spec);
        EXPECT_EQ(MatchTime(c.spec, c.range.Lower, c.range.Upper, kRussian), c.expected);
    }
}

TEST(AgeFromDatesTest, YearsOfBirthAndEvent)
{
    struct Case {
        const char* birth;
        const char* event;
        double age;
    };
    for (const Case& c : std::vector<Case>{{"85", "91", 6}, {"x", "y", 96}, {"1985", "1991", 6},
             {"01.02.1985", "15.03.1991", 6}, {"85", "15.03.1991", 6}, {"", "", 96}}) {
        SCOPED_TRACE(std::string(c.birth) + " / " + c.event);
        EXPECT_EQ(AgeFromDates(c.birth, c.event, kRussian), c.age);
    }
}

TEST(MatchSexAgeTest, SexDigitsAgeBandsAndTheEventDate)
{
    const TGroupItem boys4to7{12, 12};
    const TDateType year1990 = days(1990, 1, 1, 1990, 12, 31);
    struct Case {
        const char* title;
        int sex;
        const char* age;
        const char* event;
        TGroupItem groups;
        SexAgeResult expected;
    };
    for (const Case& c : std::vector<Case>{
             {"a man of 4", 1, "4", "", boys4to7, {true, 2}},
             {"a man of 7", 1, "7", "", boys4to7, {true, 2}},
             {"a man of 8", 1, "8", "", boys4to7, {false, 2}},
             {"neither sex: 12 div 100 is 0", 0, "5", "", boys4to7, {true, 2}},
             {"a woman", 2, "5", "", boys4to7, {false, 2}},
             {"age from a birth year and the event", 1, "84", "15.03.1990", boys4to7, {true, 2}},
             {"an event outside the time position", 1, "84", "15.03.1991", boys4to7, {false, 1}},
             {"women 21 to 60: codes 25-28", 2, "40", "", {25, 28}, {true, 2}},
             {"no group: code 101 takes sex 1 and band 1", 1, "2", "", TGroupItem{}, {true, 2}},
         }) {
        SCOPED_TRACE(c.title);
        const SexAgeResult result = MatchSexAge(c.sex, c.age, c.event, year1990, c.groups, kRussian);
        EXPECT_EQ(result.ok, c.expected.ok);
        EXPECT_EQ(result.part, c.expected.part);
    }
    // An age that cannot be known matches no group and says so.
    for (const auto& [age, event] : std::vector<std::pair<const char*, const char*>>{
             {"", ""}, {"x", ""}, {"-3", ""}, {"", "15.03.1990"}, {"x", "15.03.1990"}, {"01.01.1995", "15.03.1990"}}) {
        SCOPED_TRACE(std::string(age) + " / " + event);
        const SexAgeResult result = MatchSexAge(1, age, event, year1990, boys4to7, kRussian);
        EXPECT_FALSE(result.ok);
        EXPECT_EQ(result.part, 2);
        EXPECT_TRUE(result.ageUnknown);
    }
}

TEST(SectorTest, CompassTextsAndTheirDegrees)
{
    struct Case {
        QString text;
        bool isSector;
        int degrees;
    };
    for (const Case& c : std::vector<Case>{
             {"С", true, 0}, {"СВ", true, 45}, {"В", true, 90}, {"ЮВ", true, 135}, {"PВ", true, 135},
             {"Ю", true, 180}, {"P", true, 180}, {"ЮЗ", true, 225}, {"PЗ", true, 225}, {"З", true, 270},
             {"СЗ", true, 315},
             {"св", false, 7}, // lower case is no sector: degrees stay as given
             {" С", false, 7}, {"C", false, 7}, // spaces, and a Latin C, are no sector
             {"", false, -999},
         }) {
        SCOPED_TRACE(c.text.toStdString());
        const SectorReading reading = SectorDegrees(c.text, 7);
        EXPECT_EQ(reading.isSector, c.isSector);
        EXPECT_EQ(reading.degrees, c.degrees);
    }
    EXPECT_TRUE(IsWindOrTempField("Направление ветра"));
    EXPECT_TRUE(IsWindOrTempField("VETER"));
    EXPECT_TRUE(IsWindOrTempField("TEMPER_AIR"));
    EXPECT_TRUE(IsWindOrTempField("Температура"));
    EXPECT_FALSE(IsWindOrTempField("temper"));
    EXPECT_TRUE(IsHoroscopeMarked("HORO,ZODIAC,Sun,Leo"));
    EXPECT_TRUE(IsHoroscopeMarked("x,Horo"));
    EXPECT_FALSE(IsHoroscopeMarked("horo"));
}

TEST(AngleAccumulateTest, RunningAngularMeans)
{
    struct Case {
        std::vector<float> angles;
        float mean;
    };
    RecordingFeedback feedback;
    for (const Case& c : std::vector<Case>{{{270, 0}, 135}, {{0, 315}, 157.5f}, {{90}, 90}, {{-999, 45}, 45}}) {
        TTempList list(2);
        for (float angle : c.angles)
            AngleAccumulate(&list, 1, angle, feedback);
        EXPECT_FLOAT_EQ(list[1].Sum / static_cast<float>(list[1].Count), c.mean);
        EXPECT_EQ(list[0].Count, 0);
    }
    TTempList list(2);
    AngleAccumulate(&list, 2, 10, feedback);
    EXPECT_EQ(feedback.messages, QStringList{"Максимальный номер 1\r\nтекущий номер 2"});
    AngleAccumulate(nullptr, 0, 10, feedback); // no list: nothing happens
}

TEST(RangeListTest, DateAndGroupRangesOfEveryPosition)
{
    TTab table;
    std::array<QStringList, kAxisCount> lists;
    lists[2] = makeList("Годы", {"1990|l,01.01.1990-31.12.1990", "Все|g", "\t1991|l,01.01.1991", "\tбез даты|l,x"});
    lists[3] = makeList("Группы", {"Мальчики|l,12", "Женщины|l,25-28", "Прочие|l,x-y"});
    shapeTable(table, lists);
    const TDateList dates = BuildDateList(table, 2, kRussian);
    ASSERT_EQ(dates.size(), 4u);
    EXPECT_EQ(dates[0].Lower, encodeDate(1990, 1, 1));
    EXPECT_EQ(dates[0].Upper, encodeDate(1990, 12, 31));
    EXPECT_EQ(dates[1].Lower, kNoDate); // a group node has a position too
    EXPECT_EQ(dates[2].Upper, encodeDate(1991, 1, 1));
    EXPECT_EQ(dates[3].Lower, kNoDate);
    EXPECT_EQ(DateRangeOf(&dates, 4).Lower, kNoDate);
    EXPECT_EQ(DateRangeOf(nullptr, 0).Upper, kNoDate);
    EXPECT_EQ(kNoDate, 1.0 / 96);

    const TGroupList groups = BuildGroupList(table, 3);
    ASSERT_EQ(groups.size(), 3u);
    EXPECT_EQ(groups[0].Lower, 12);
    EXPECT_EQ(groups[0].Upper, 12);
    EXPECT_EQ(groups[1].Upper, 28);
    EXPECT_EQ(groups[2].Lower, 101);
    EXPECT_EQ(groups[2].Upper, -999);
    EXPECT_EQ(GroupRangeOf(&groups, 3).Lower, kNoGroup);
    EXPECT_EQ(GroupRangeOf(nullptr, 0).Upper, kNoGroup);
}

TEST(EntriesTest, CountModeAndTheFieldsOfTheTimeAndSexAgeTests)
{
    EXPECT_TRUE(isCountMode({"SEX,Sex,Value", "AGE,Age,Value"}));
    EXPECT_FALSE(isCountMode({"SEX,Sex,Value", "X,Pollutant,Title"}));
    EXPECT_FALSE(isCountMode({"VAL,Result"}));

    const TDatabaseFields withAge = databaseFieldsOf({"D,Time,Value", "S,Sex,Value", "A,Age,Value", "C,CallDate"});
    EXPECT_EQ(withAge.time, "D");
    EXPECT_EQ(withAge.sex, "S");
    EXPECT_EQ(withAge.ageOrBirth, "A");
    EXPECT_EQ(withAge.event, ""); // an age needs no event date
    const TDatabaseFields withDates = databaseFieldsOf({"S,Sex,Value", "B,BirthDate,Value", "X,DeathDate"});
    EXPECT_EQ(withDates.ageOrBirth, "B");
    EXPECT_EQ(withDates.event, "X");
    const TDatabaseFields grouped = databaseFieldsOf({"G,SexAgeGroup,Value", "S,Sex,Value"});
    EXPECT_EQ(grouped.sexAge, "G");
    EXPECT_EQ(grouped.sex, ""); // a sex-age field gives the group itself
}

class WeightTest : public ::testing::Test {
protected:
    WeightTest()
    {
        TTable table;
        table.SetDatabaseName(folder.path());
        table.SetTableName("weights.dbf");
        table.SetTableType(TTableType::ttDBase);
        table.FieldDefs().Add("NAME", TFieldType::ftString, 20);
        table.FieldDefs().Add("POP", TFieldType::ftFloat, 0);
        table.CreateTable();
        table.Open();
        for (const auto& [name, population] : std::vector<std::pair<QString, QString>>{
                 {"Север", "5000"}, {"Область", "9000"}, {"Пусто", "0"}}) {
            table.Insert();
            table.Fields(0).SetAsString(name);
            table.Fields(1).SetAsString(population);
            table.Post();
        }
        table.Close();
    }
    QString weightText(const char* divisor = "1000") const
    {
        return folder.path() + ",weights.dbf,NAME,POP," + divisor;
    }

    TempFolder folder;
    TSession session{kRussian};
    const QStringList tree{"Районы", "Север|l,1", "Область|g", "\tЮг|l,2", "\tЗапад|l,3-5", "Восток|l,9"};
};

TEST_F(WeightTest, LookupByKeyIgnoringCase)
{
    EXPECT_EQ(LookupWeight(session, folder.path(), "weights.dbf", "NAME", "север", "POP"), 5000);
    EXPECT_EQ(LookupWeight(session, folder.path(), "weights.dbf", "NAME", "Юг", "POP"), -1);
    EXPECT_EQ(LookupWeight(session, folder.path(), "absent.dbf", "NAME", "Север", "POP"), -1);
    EXPECT_EQ(LookupWeight(session, folder.path(), "weights.dbf", "NOFIELD", "Север", "POP"), -1);
}

TEST_F(WeightTest, WeightsFoundForANodeOrItsParentSpreadOverLeaves)
{
    struct Case {
        const char* title;
        int line;
        QString text;
        double weight;
    };
    for (const Case& c : std::vector<Case>{
             {"5000 with divisor 1000 divides by 5", 1, weightText(), 5},
             {"no weight text", 1, "", 1},
             {"no record for the leaf or its parents", 5, weightText(), 1},
             // Юг is not in the table: Область's 9000 spread over Юг (1) and Запад (3-5: 3).
             {"found for the parent, spread over its leaves", 3, weightText(), 9000.0 / 4 / 1000},
             {"a table that cannot be opened", 1, folder.path() + ",absent.dbf,NAME,POP,1000", 1},
             // A divisor of 0 divides nothing when no weight is found.
             {"no weight found, divisor 0", 5, weightText("0"), 1},
         }) {
        SCOPED_TRACE(c.title);
        EXPECT_DOUBLE_EQ(WeightOf(session, tree, c.line, c.text, kRussian), c.weight);
    }
    EXPECT_THROW(WeightOf(session, tree, 1, folder.path() + ",weights.dbf,NAME,POP,x", kRussian), EConvertError);
    EXPECT_THROW(WeightOf(session, tree, 1, folder.path() + ",weights.dbf,NAME,POP", kRussian), EConvertError);
    EXPECT_THROW(WeightOf(session, tree, 1, weightText("0"), kRussian), EConvertError);
    // A weight too large to hold would write infinite cells.
    EXPECT_THROW(WeightOf(session, tree, 1, weightText("1E-320"), kRussian), EFloatingPointError);
}

} // namespace
