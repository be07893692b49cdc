#include "core/db/description.h"
#include "core/platform/errors.h"
#include "core/platform/privateprofile.h"
#include "core/platform/textfile.h"
#include "testsupport.h"

#include <gtest/gtest.h>

#include <QFile>
#include <algorithm>

using namespace verola;
using namespace verola::test;

namespace {

class DescriptionTest : public ::testing::Test {
protected:
    void writeIni(const QStringList& lines)
    {
        writeBytes(folder.file(kDescriptionFile), encodeCp1251(lines.join(QStringLiteral("\r\n")) + "\r\n"));
    }
    QStringList sortedKeys(const QString& section) const
    {
        QStringList keys = PrivateProfile(kDescriptionFile).keys(section);
        keys.sort();
        return keys;
    }

    TempFolder folder;
    ScopedSystemDirectory systemDir{folder.path()};
};

TCoordItem named(const QString& name)
{
    TCoordItem item;
    item.NameCoord = name;
    return item;
}

struct PresenceCase {
    const char* title;
    TCoordItem item;
    QStringList keys;       // exactly the keys the section must hold
    TCoordItem readBack;    // what LoadPanelInfo gives for it (AxisCaption aside)
};

std::vector<PresenceCase> presenceCases()
{
    std::vector<PresenceCase> cases;
    {
        TCoordItem item = named("Industry");
        cases.push_back({"defaults write the name only", item, {"NameCoord"}, item});
    }
    {
        TCoordItem item = named("Industry");
        item.Type = kQuerySource;
        item.File = "emis.dbf";
        item.Items = QStringList{"Отрасль|IND,Industry,Value", "YEAR_F,Time"};
        item.SqlItems = QStringList{"SELECT * FROM emis", "", "WHERE YEAR_F = :Year"};
        cases.push_back({"query level: empty Path written, empty SQL line kept", item,
            {"NameCoord", "Type", "Path", "File", "Len", "Item0", "Item1", "SQLLen", "SQLItem0", "SQLItem1",
                "SQLItem2"},
            item});
    }
    {
        TCoordItem item = named("Time");
        item.FormatCoord = "DateTime";
        item.UseYear = 1;
        item.SetTime = "Year";
        cases.push_back({"time with UseYear 1", item, {"NameCoord", "FormatCoord", "SetTime", "UseTime", "UseYear"},
            item});
    }
    {
        TCoordItem item = named("Time");
        item.SetYear = 2; // only 1 is written
        TCoordItem back = item;
        back.SetYear = 0;
        cases.push_back({"time: a year flag other than 1 is not written", item, {"NameCoord", "SetTime", "UseTime"},
            back});
    }
    {
        TCoordItem item = named("time");
        item.UseYear = 1;
        TCoordItem back = item;
        back.UseYear = 0;
        cases.push_back({"time keys need the exact name", item, {"NameCoord"}, back});
    }
    {
        TCoordItem item = named("SexAgeGroup");
        cases.push_back({"sex-age keys always", item, {"NameCoord", "Man", "Woman", "AgeType"}, item});
    }
    {
        TCoordItem item = named("Region");
        item.SetRegionType = 2;
        cases.push_back({"region type only when not 0", item, {"NameCoord", "SetRegionType"}, item});
    }
    {
        TCoordItem item = named("Pollutant");
        item.Type = kKeyedTable;
        item.Path = "/data/conc";
        item.Index = "CODE";
        item.MasterField = "CODE;YEAR";
        item.Code = "c1";
        cases.push_back({"keyed table without a key", item,
            {"NameCoord", "Type", "Index", "Path", "MasterField", "Code"}, item});
    }
    {
        TCoordItem item = named("Pollutant");
        item.Path = "/data";
        item.File = "subs.dbf";
        item.Index = "CODE";
        item.Items = QStringList{"CODE,Pollutant"};
        cases.push_back({"no database: source keys are neither written nor read", item, {"NameCoord"},
            named("Pollutant")});
    }
    {
        TCoordItem item = named("Disease");
        item.Type = kNoRecords;
        item.Uniq = true;
        item.CodeTable = "codes";
        item.WeightTable = "weights";
        item.ResultValue = "VAL";
        item.MinValue = "1";
        item.MaxValue = "9";
        cases.push_back({"optional texts and Uniq", item,
            {"NameCoord", "Type", "Uniq", "CodeTable", "WeightTable", "ResultValue", "MinValue", "MaxValue",
                "Path"},
            item});
    }
    for (auto& c : cases)
        c.keys.sort();
    return cases;
}

TEST_F(DescriptionTest, WriteCoordItemsFollowsThePresenceRulesAndReadsBack)
{
    writeIni({"[PanelsStruct]", "Panel0=PolPanel,Выбросы", "[PolPanel]", "Coords=1"});
    for (const PresenceCase& c : presenceCases()) {
        SCOPED_TRACE(c.title);
        WriteCoordItems(kDescriptionFile, "M PolPanel", 1, {c.item});
        EXPECT_EQ(sortedKeys("M PolPanel Loop0"), c.keys);
        TPanelInfoStruct info;
        LoadPanelInfo(info, kDescriptionFile, "PolPanel", "M");
        ASSERT_EQ(info.CoordItems.size(), 1u);
        EXPECT_EQ(info.CoordItems[0], c.readBack);
    }
}

TEST_F(DescriptionTest, HandWrittenFileLoadsWithDefaults)
{
    writeIni({
        "; written by hand",
        "[panelsstruct]",
        "PANELS=2",
        "panel0=PolPanel,Выбросы",
        "",
        "Panel1=ConcPanel,Концентрации",
        "[MODELSTRUCT]",
        "models=1",
        "MODEL0=Москва ЦАО",
        "[coordsstruct]",
        "TIME=Время",
        "[polpanel]",
        "COORDS=3",
        "",
        "[москва цао POLPANEL loop0]",
        "namecoord=Region",
        "DATATYPE=1",
        "[Москва ЦАО PolPanel LOOP1]",
        "NameCoord=Industry",
        "type=1",
        "path=/data",
        "; a comment among the keys",
        "sqllen=2",
        "SQLITEM0=SELECT * FROM emis",
        "sqlitem1=WHERE YEAR_F = :Year",
        "",
        "[Москва ЦАО PolPanel Loop2]",
        "NameCoord=Time",
        "MinValue=01.01.1990",
        "[DATABASESTRUCT]",
        "dblen=2",
        "database0.name=Emis",
        "DataBase0.PATH=/data",
        "database0.codelen=2",
        "DATABASE0.CODE0.POLPANEL=emis<Year>",
        "DataBase0.Code1.ConcPanel=conc<Year>",
        "DataBase1.Name=EMIS",
        "DataBase1.Path=/elsewhere",
        "DataBase1.CodeLen=1",
        "DataBase1.Code0.PolPanel=old<Year>",
    });
    TPanelInfoStruct info;
    LoadPanelInfo(info, kDescriptionFile, "PolPanel", "Москва ЦАО");
    EXPECT_EQ(info.PanelSection, "PolPanel");
    EXPECT_EQ(info.PanelText, "Выбросы");
    EXPECT_EQ(info.ModelName, "Москва ЦАО");
    EXPECT_TRUE(info.DataType);
    ASSERT_EQ(info.CoordItems.size(), 3u);

    TCoordItem region = named("Region");
    EXPECT_EQ(info.CoordItems[0], region);

    TCoordItem industry = named("Industry");
    industry.Type = kQuerySource;
    industry.Path = "/data";
    industry.SqlItems = QStringList{"SELECT * FROM emis", "WHERE YEAR_F = :Year"};
    EXPECT_EQ(info.CoordItems[1], industry);

    TCoordItem time = named("Time");
    time.AxisCaption = "Время";
    time.MinValue = "01.01.1990";
    EXPECT_EQ(info.CoordItems[2], time);
    EXPECT_EQ(time.SetTime, "Date");
    EXPECT_EQ(time.FormatCoord, "String");

    // Databases of equal names merge into the first, keeping its path.
    ASSERT_EQ(info.Aliases.size(), 1u);
    EXPECT_EQ(info.Aliases[0].Name, "Emis");
    EXPECT_EQ(info.Aliases[0].Path, "/data");
    EXPECT_EQ(info.Aliases[0].Codes, (QStringList{"emis<Year>", "old<Year>"}));
}

TEST_F(DescriptionTest, ItemListsAndAbsentType)
{
    writeIni({"[PanelsStruct]", "Panel0=PolPanel,Выбросы", "[PolPanel]", "Coords=2",
        "[M PolPanel Loop0]", "NameCoord=Industry", "Path=/data", "File=emis.dbf", "Len=1", "Item0=IND,Industry",
        "[M PolPanel Loop1]", "NameCoord=Pollutant", "Type=1", "Len=3", "Item0=A,Pollutant", "Item1=",
        "Item2=C,Pollutant", "SQLLen=3", "SQLItem0=SELECT * FROM emis", "SQLItem2=WHERE A = 1"});
    TPanelInfoStruct info;
    LoadPanelInfo(info, kDescriptionFile, "PolPanel", "M");
    ASSERT_EQ(info.CoordItems.size(), 2u);
    EXPECT_EQ(info.CoordItems[0].Type, kNoDatabase);
    EXPECT_TRUE(info.CoordItems[0].Path.isEmpty());
    EXPECT_TRUE(info.CoordItems[0].File.isEmpty());
    EXPECT_TRUE(info.CoordItems[0].Items.isEmpty());
    EXPECT_EQ(info.CoordItems[1].Items, (QStringList{"A,Pollutant", "C,Pollutant"}));
    EXPECT_EQ(info.CoordItems[1].SqlItems, (QStringList{"SELECT * FROM emis", "", "WHERE A = 1"}));
}

TEST_F(DescriptionTest, PanelKindMissingFromThePanelListGivesFourEmptyCoordinates)
{
    writeIni({"[PanelsStruct]", "Panels=1", "Panel0=ConcPanel,x", "[M PolPanel Loop0]", "NameCoord=Region"});
    TPanelInfoStruct info;
    LoadPanelInfo(info, kDescriptionFile, "PolPanel", "M");
    EXPECT_TRUE(info.PanelSection.isEmpty());
    ASSERT_EQ(info.CoordItems.size(), 4u);
    for (const TCoordItem& item : info.CoordItems)
        EXPECT_EQ(item, TCoordItem());
}

TEST_F(DescriptionTest, MissingFileGivesDefaultsEverywhere)
{
    TPanelInfoStruct info;
    LoadPanelInfo(info, kDescriptionFile, "PolPanel", "M");
    EXPECT_EQ(info.CoordItems.size(), 4u);
    EXPECT_TRUE(info.Aliases.empty());
    EXPECT_EQ(ReadCoordCount(kDescriptionFile, "PolPanel"), 0);
    EXPECT_TRUE(FindModel(kDescriptionFile, "a").isEmpty());
    QStringList models{"stale"};
    ListModels(kDescriptionFile, models);
    EXPECT_TRUE(models.isEmpty());
}

TEST_F(DescriptionTest, DataTypeIsOnlyEverWrittenTrueAndCoordinateWritingErasesIt)
{
    WriteDataType(kDescriptionFile, "M", "DesPanel", true);
    WriteDataType(kDescriptionFile, "M", "DesPanel", false);
    PrivateProfile ini(kDescriptionFile);
    EXPECT_TRUE(ini.readBool("M DesPanel Loop0", "DataType", false));

    WriteCoordItems(kDescriptionFile, "M DesPanel", 1, {named("Region")});
    EXPECT_FALSE(ini.hasKey("M DesPanel Loop0", "DataType"));
    EXPECT_EQ(ini.readString("M DesPanel Loop0", "NameCoord", ""), "Region");
}

TEST_F(DescriptionTest, WriteCoordItemsReplacesWholeSectionsAndKeepsOthers)
{
    writeIni({"[Other]", "Keep=1", "[M PolPanel Loop1]", "NameCoord=Old", "Type=2", "File=old.dbf"});
    WriteCoordItems(kDescriptionFile, "M PolPanel", 3, {named("Region"), named("Time")});
    EXPECT_EQ(sortedKeys("M PolPanel Loop1"), (QStringList{"NameCoord", "SetTime", "UseTime"}));
    EXPECT_TRUE(PrivateProfile(kDescriptionFile).sections().contains("Other"));
    // A count beyond the edit list erases the section without inventing an item.
    EXPECT_FALSE(PrivateProfile(kDescriptionFile).sections().contains("M PolPanel Loop2"));
}

TEST_F(DescriptionTest, ModelsAreFoundListedAndAdded)
{
    writeIni({"[ModelStruct]", "Models=4", "Model0=Север", "Model1=XAbY", "Model2=", "Model3=ZaBq"});
    struct Case {
        const char* code;
        const char* model;
    };
    for (const Case& c : std::vector<Case>{{"ab", "XAbY"}, {"сев", "Север"}, {"", ""}, {"nothing", ""},
             {"q", "ZaBq"}}) {
        SCOPED_TRACE(c.code);
        EXPECT_EQ(FindModel(kDescriptionFile, c.code), QString(c.model));
    }
    QStringList models;
    ListModels(kDescriptionFile, models);
    EXPECT_EQ(models, (QStringList{"Север", "XAbY", "ZaBq"}));

    AddModel(kDescriptionFile, "XAbY");
    EXPECT_EQ(PrivateProfile(kDescriptionFile).readInteger("ModelStruct", "Models", 0), 4);
    AddModel(kDescriptionFile, "xaby");
    EXPECT_EQ(PrivateProfile(kDescriptionFile).readInteger("ModelStruct", "Models", 0), 5);
    EXPECT_EQ(PrivateProfile(kDescriptionFile).readString("ModelStruct", "Model4", ""), "xaby");
}

TEST_F(DescriptionTest, ModelPanelKindsNeedANamedFirstCoordinate)
{
    writeIni({"[M PolPanel Loop0]", "NameCoord=Region", "[M ConcPanel Loop0]", "Type=1", "[M DeathPanel Loop0]",
        "NameCoord=Region", "[N DesPanel Loop0]", "NameCoord=Region"});
    const std::array<bool, 4> expected{true, false, false, true};
    EXPECT_EQ(ModelPanelKinds(kDescriptionFile, "M"), expected);
}

TEST_F(DescriptionTest, IndexOfCoordMatchesNameOrCaptionIgnoringCase)
{
    TPanelInfoStruct info;
    info.CoordItems = {named("Region"), named("Time"), named("SexAgeGroup")};
    info.CoordItems[1].AxisCaption = "Время";
    struct Case {
        const char* name;
        int index;
    };
    for (const Case& c : std::vector<Case>{{"region", 0}, {"ВРЕМЯ", 1}, {"TIME", 1}, {"sexagegroup", 2},
             {"Pollutant", -1}, {"", -1}}) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(IndexOfCoord(info, c.name), c.index);
    }
}

TEST_F(DescriptionTest, DefaultCoordItemsByPanelKind)
{
    writeIni({"[PolPanel]", "Coords=4", "[ConcPanel]", "Coords=3", "[DesPanel]", "Coords=3"});
    struct Expected {
        const char* name;
        std::int32_t type;
        const char* format;
    };
    struct Case {
        const char* kind;
        std::vector<Expected> items;
    };
    const std::vector<Case> cases = {
        {"PolPanel", {{"Region", 4, "String"}, {"Industry", 1, "String"}, {"Time", 4, "DateTime"},
                         {"Pollutant", 4, "Float"}}},
        {"ConcPanel", {{"Region", 4, "String"}, {"Pollutant", 1, "Float"}, {"Time", 4, "DateTime"}}},
        {"DesPanel", {{"Region", 4, "String"}, {"", 1, "String"}, {"Time", 4, "DateTime"}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.kind);
        TCoordItemList list{named("stale")};
        DefaultCoordItems(kDescriptionFile, c.kind, list);
        ASSERT_EQ(list.size(), c.items.size());
        for (size_t n = 0; n < list.size(); ++n) {
            EXPECT_EQ(list[n].NameCoord, c.items[n].name);
            EXPECT_EQ(list[n].Type, c.items[n].type);
            EXPECT_EQ(list[n].FormatCoord, c.items[n].format);
        }
    }
    TCoordItemList untouched{named("stale")};
    DefaultCoordItems(kDescriptionFile, "DeathPanel", untouched);
    ASSERT_EQ(untouched.size(), 1u);
    EXPECT_EQ(untouched[0].NameCoord, "stale");
}

TEST_F(DescriptionTest, PanelKindNameSkipsTheDoseBlock)
{
    writeIni({"[PanelsStruct]", "Panel0=PolPanel,Выбросы", "Panel1=ConcPanel", "Panel2=DesPanel,a,b",
        "Panel3=DeathPanel,Смертность"});
    const std::vector<std::pair<int, QString>> cases = {{0, "PolPanel"}, {1, "ConcPanel"}, {2, ""},
        {3, "DesPanel"}, {4, "DeathPanel"}, {5, ""}, {-1, ""}};
    for (const auto& [block, kind] : cases)
        EXPECT_EQ(PanelKindName(kDescriptionFile, block), kind) << block;
}

TEST(DescriptionText, CommonPrefix)
{
    struct Case {
        const char* a;
        const char* b;
        const char* prefix;
    };
    for (const Case& c : std::vector<Case>{{"emis1990", "EMIS1991", "EMIS"}, {"ab", "abc", "ab"},
             {"abc", "ab", "ab"}, {"", "x", ""}, {"x", "", ""}, {"Data12", "dato12", "dat"},
             {"conc1990", "conc2000", "conc"}, {"12ab", "12ac", ""}}) {
        SCOPED_TRACE(std::string(c.a) + " / " + c.b);
        EXPECT_EQ(CommonPrefix(c.a, c.b), QString(c.prefix));
    }
}

TEST(DescriptionText, SplitRangeAndItemEntries)
{
    struct RangeCase {
        const char* text;
        const char* lower;
        const char* upper;
    };
    for (const RangeCase& c : std::vector<RangeCase>{{"01.01.1990-31.12.1991", "01.01.1990", "31.12.1991"},
             {"77", "77", ""}, {"12-", "12", ""}, {"-5", "", "5"}, {"", "", ""}, {"1-2-3", "1", "2-3"}}) {
        const ValueRange range = SplitRange(c.text);
        EXPECT_EQ(range.lower, QString(c.lower)) << c.text;
        EXPECT_EQ(range.upper, QString(c.upper)) << c.text;
    }
    const ItemEntry full = SplitItemEntry("Код района|RAION,Region,Value");
    EXPECT_EQ(full.field, "RAION");
    EXPECT_EQ(full.coordinate, "Region");
    EXPECT_EQ(full.role, "Value");
    const ItemEntry bare = SplitItemEntry("YEAR_F,Time");
    EXPECT_EQ(bare.field, "YEAR_F");
    EXPECT_EQ(bare.coordinate, "Time");
    EXPECT_TRUE(bare.role.isEmpty());
}

TEST(DescriptionText, DefaultAxisRolesAndPanelKinds)
{
    const std::vector<std::pair<int, QString>> roles = {{0, "Value"}, {1, "Value"}, {2, "Value"}, {3, ""},
        {7, "Value"}, {8, ""}, {9, "Title"}, {11, "Title"}, {12, ""}};
    for (const auto& [axis, role] : roles) {
        EXPECT_EQ(DefaultAxisRole(axis).role, role) << axis;
        EXPECT_EQ(DefaultAxisRole(axis).axisName, CoordFieldName(axis)) << axis;
    }
    EXPECT_EQ(panelKindOfComponent("PolPanel1"), "PolPanel");
    EXPECT_EQ(panelKindOfComponent("DeathPanel"), "DeathPanel");
    EXPECT_EQ(panelKindOfComponent("Conc2Panel12"), "Conc2Panel");
}

} // namespace

namespace {

TEST_F(DescriptionTest, OperationsThatChangeNothingWriteNothing)
{
    const QString path = folder.file(kDescriptionFile);
    WriteDataType(kDescriptionFile, "M", "PolPanel", false);
    EXPECT_FALSE(QFile::exists(path));

    writeIni({"[ModelStruct]", "Models=1", "Model0=ModelA", "; kept as written"});
    const QByteArray before = readBytes(path);
    AddModel(kDescriptionFile, "ModelA");
    EXPECT_EQ(readBytes(path), before);
    AddModel(kDescriptionFile, "ModelB");
    EXPECT_EQ(readBytes(path), "[ModelStruct]\r\nModels=2\r\nModel0=ModelA\r\n; kept as written\r\nModel1=ModelB\r\n");
}

} // namespace

namespace {

TEST_F(DescriptionTest, ImpossibleCountsAreRefused)
{
    const std::vector<std::pair<QStringList, const char*>> cases = {
        {{"[PolPanel]", "Coords=100000"}, "Coords"},
        {{"[ModelStruct]", "Models=2000000000"}, "Models"},
        {{"[M PolPanel Loop0]", "Type=1", "SQLLen=999999999"}, "SQLLen"},
        {{"[DataBaseStruct]", "DBLen=1", "DataBase0.CodeLen=50000"}, "DataBase0.CodeLen"},
        {{"[DataBaseStruct]", "DBLen=3", "DataBase0.CodeLen=6000", "DataBase1.CodeLen=6000"}, "шаблонов имён таблиц"},
    };
    for (const auto& [lines, key] : cases) {
        SCOPED_TRACE(key);
        writeIni(QStringList{"[PanelsStruct]", "Panel0=PolPanel"} + lines);
        try {
            TPanelInfoStruct info;
            LoadPanelInfo(info, kDescriptionFile, "PolPanel", "M");
            QStringList models;
            ListModels(kDescriptionFile, models);
            ADD_FAILURE() << "no error";
        } catch (const ELimitError& error) {
            EXPECT_TRUE(error.message().contains(key)) << error.message().toStdString();
        }
    }
    TCoordItemList list;
    writeIni({"[PolPanel]", "Coords=13"});
    EXPECT_THROW(DefaultCoordItems(kDescriptionFile, "PolPanel", list), ELimitError);
    // Negative counts read nothing.
    writeIni({"[PanelsStruct]", "Panel0=PolPanel", "[PolPanel]", "Coords=-3"});
    TPanelInfoStruct info;
    LoadPanelInfo(info, kDescriptionFile, "PolPanel", "M");
    EXPECT_TRUE(info.CoordItems.empty());
}

} // namespace
