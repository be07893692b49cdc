// Whole selections over small source tables written with the engine: a morbidity model counted
// into region x year x sex-age x disease, a concentration model averaged per cell, the review,
// the questions and the stops.
#include "dbfixtures.h"
#include "core/db/description.h"
#include "core/db/filecache.h"
#include "core/db/selection.h"
#include "core/db/session.h"
#include "core/platform/errors.h"
#include "core/platform/textfile.h"
#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <functional>
#include <gtest/gtest.h>

using namespace verola;
using namespace verola::test;

namespace {

const FormatSettings kRussian = FormatSettings::russian();

class StatusFeedback : public RecordingFeedback {
public:
    void progressStatus(int panel, const QString& text) override { status.append(QString::number(panel) + text); }
    void progressCaption(const QString& caption) override
    {
        progress.append(caption);
        cachedFiles = std::max(cachedFiles, cachedTableFileCount());
    }
    void processEvents() override
    {
        ++events;
        if (stopAfterEvents > 0 && events >= stopAfterEvents)
            requestStop();
    }
    void progressHide() override { lastCall = "hide"; }
    void progressPosition(int position) override
    {
        lastCall = "position";
        positions.push_back(position);
    }
    std::vector<int> positions;
    QStringList status;
    QStringList progress;
    QString lastCall;
    int cachedFiles = 0;
    int events = 0;
    int stopAfterEvents = 0;
};

// Region REG, call date CALLD, birth date BIRTH, sex SEX, diagnosis DIAG.
const std::vector<QStringList> kAppeals = {
    {"77", "15.03.1990", "10.05.1985", "1", "J10"}, // man of 5, 1990, flu
    {"77", "20.06.1990", "01.01.1980", "1", "J10"}, // man of 10, same cell
    {"77", "01.02.1991", "01.01.1960", "2", "J03"}, // woman of 31, 1991, angina
    {"77", "05.05.1991", "01.01.1990", "2", "J45"}, // girl of 1, asthma under a group node
    {"77", "05.05.1992", "01.01.1990", "2", "J45"}, // a year the time axis does not hold
    {"77", "10.10.1990", "01.01.1970", "1", "Z99"}, // a diagnosis the axis does not hold
    {"78", "11.11.1990", "01.01.1950", "1", "J03"}, // man of 40
    {"78", "12.12.1990", "01.01.1950", "1", "J03"},
    {"78", "01.01.1991", "01.01.2000", "3", "J10"}, // neither sex
    {"79", "01.01.1991", "01.01.2000", "1", "J10"}, // a region of no position
};

enum class SourceKind { DBase, Paradox, Text };

class SelectionTest : public ::testing::Test {
protected:
    SelectionTest()
    {
        TSession::Default().setFormatSettings(kRussian);
        writeDescription();
        shapePrimary();
        request.primary = &primary;
        request.feedback = &feedback;
        request.format = kRussian;
        request.dataDirectory = data.path();
    }

    void writeIni(const QStringList& lines)
    {
        writeBytes(system.file(kDescriptionFile), encodeCp1251(lines.join(QStringLiteral("\r\n")) + "\r\n"));
    }

    // Morbidity: a query per region over the appeals, then year, sex-age group and disease
    // chosen by the record's own values. Concentrations: a table per region, averaged per cell.
    void writeDescription()
    {
        const QString path = sources.path();
        writeIni({
            "[PanelsStruct]", "Panels=4", "Panel0=PolPanel,Выбросы", "Panel1=ConcPanel,Загрязнения",
            "Panel2=DesPanel,Заболеваемость", "Panel3=DeathPanel,Смертность",
            "[PolPanel]", "Coords=3", "[ConcPanel]", "Coords=3", "[DesPanel]", "Coords=4", "[DeathPanel]", "Coords=3",
            "[ModelStruct]", "Models=3", "Model0=Город Alpha", "Model1=Beta", "Model2=Delta",
            "[CoordsStruct]", "Region=Регион", "Time=Период времени", "SexAgeGroup=Половозр. группа",
            "Disease=Заболевание", "Pollutant=Загрязнитель", "Industry=Отрасль", "Death=Причина смерти",
            "[DataBaseStruct]", "DBLen=1", "DataBase0.Name=src", "DataBase0.Path=" + path, "DataBase0.CodeLen=1",
            "DataBase0.Code0.ConcPanel=conc<Region>",
            "[Город Alpha DesPanel Loop0]", "NameCoord=Region", "Type=1", "Path=" + path, "Len=5",
            "Item0=CALLD,Time,Value", "Item1=SEX,Sex,Value", "Item2=BIRTH,BirthDate,Value",
            "Item3=CALLD,CallDate,Value", "Item4=DIAG,Disease,Value", "SQLLen=2", "SQLItem0=SELECT * FROM appeals",
            "SQLItem1=WHERE REG = :Region",
            "[Город Alpha DesPanel Loop1]", "NameCoord=Time", "FormatCoord=DateTime", "SetTime=Date", "UseTime=Date",
            "MinValue=01.01.1990", "MaxValue=31.12.1991",
            "[Город Alpha DesPanel Loop2]", "NameCoord=SexAgeGroup", "Man=1", "Woman=2", "AgeType=0", "MinValue=0",
            "MaxValue=99",
            "[Город Alpha DesPanel Loop3]", "NameCoord=Disease",
            "[Город Alpha ConcPanel Loop0]", "NameCoord=Region", "FormatCoord=Integer", "DataType=1",
            "[Город Alpha ConcPanel Loop1]", "NameCoord=Pollutant",
            "[Город Alpha ConcPanel Loop2]", "NameCoord=Time", "FormatCoord=DateTime", "Type=2", "Path=" + path,
            "File=conc.dbf", "Len=2", "Item0=DAT,Time,Value", "Item1=X,Pollutant,Title",
            // Emissions: plants of a region and industry from a query, their amounts from a linked table.
            "[Город Alpha PolPanel Loop0]", "NameCoord=Region",
            "[Город Alpha PolPanel Loop1]", "NameCoord=Industry", "Type=1", "Path=" + path, "Len=1",
            "Item0=IND,Industry,Value", "SQLLen=3", "SQLItem0=SELECT * FROM plants", "SQLItem1=WHERE REG = :Region",
            "SQLItem2=AND IND = :Industry",
            "[Город Alpha PolPanel Loop2]", "NameCoord=Pollutant", "Type=3", "Path=" + path, "File=emis.dbf",
            "Index=PLANT", "MasterField=ID", "Len=2", "Item0=SUBST,Pollutant,Value", "Item1=AMOUNT,Result",
            // Deaths counted by sex and age, each divided by the region's population in thousands.
            "[Город Alpha DeathPanel Loop0]", "NameCoord=Region", "WeightTable=" + path + ",pop.dbf,NAME,POP,1000",
            "[Город Alpha DeathPanel Loop1]", "NameCoord=Time", "FormatCoord=DateTime", "SetTime=Date", "UseTime=Date",
            "[Город Alpha DeathPanel Loop2]", "NameCoord=SexAgeGroup", "Type=2", "Path=" + path, "File=deaths.dbf",
            "Man=1", "Woman=2", "AgeType=2", "Len=2", "Item0=SEX,Sex,Value", "Item1=AGE,Age,Value",
            // Morbidity by the sign of the Sun at birth: the horoscope positions are the innermost level.
            "[Beta DesPanel Loop0]", "NameCoord=Region", "Type=1", "Path=" + path, "Len=4", "Item0=SEX,Sex,Value",
            "Item1=BIRTH,BirthDate,Value", "Item2=CALLD,CallDate,Value", "Item3=DIAG,Disease,Value", "SQLLen=2",
            "SQLItem0=SELECT * FROM people", "SQLItem1=WHERE REG = :Region",
            "[Beta DesPanel Loop1]", "NameCoord=SexAgeGroup", "Man=1", "Woman=2", "AgeType=0", "MinValue=0",
            "MaxValue=99",
            "[Beta DesPanel Loop2]", "NameCoord=Disease",
            "[Beta DesPanel Loop3]", "NameCoord=Death",
            // Records counted by a composite code: the region's code and the year, less 1900.
            "[Beta ConcPanel Loop0]", "NameCoord=Region",
            "[Beta ConcPanel Loop1]", "NameCoord=Time", "FormatCoord=DateTime", "SetTime=Date", "UseTime=Date",
            "UseYear=1",
            "[Beta ConcPanel Loop2]", "NameCoord=Pollutant", "Type=2", "Path=" + path, "File=codes.dbf", "Len=1",
            "Item0=CODE,Raion+Year,Value",
            // Appeals counted by a query of the innermost level, opened for every year and disease.
            "[Delta DeathPanel Loop0]", "NameCoord=Region",
            "[Delta DeathPanel Loop1]", "NameCoord=Time", "FormatCoord=DateTime", "SetTime=Date", "UseTime=Date",
            "[Delta DeathPanel Loop2]", "NameCoord=Disease", "Type=1", "Path=" + path, "Len=2", "Item0=CALLD,Time,Value",
            "Item1=DIAG,Disease,Value", "SQLLen=2", "SQLItem0=SELECT * FROM appeals", "SQLItem1=WHERE REG = :Region",
        });
    }

    void shapePrimary(const QStringList& regions = {"Alpha|g", "\tСевер|l,Alpha,77", "\tЮг|l,alpha,78"})
    {
        std::array<QStringList, kAxisCount> lists;
        lists[0] = makeList("Вещества", {"Газы|g", "\tNO2|l,NO2", "\tSO2|l,SO2", "Ветер|l,VETER", "Температура|l,TEMPER"});
        lists[1] = makeList("Районы", regions);
        lists[2] = makeList("Годы", {"1990|l,01.01.1990-31.12.1990", "1991|l,01.01.1991-31.12.1991"});
        lists[3] = makeList("Группы", {"М 0-15|l,100-115", "Ж 0-15|l,200-215", "М 16+|l,116-199", "Ж 16+|l,216-299"});
        lists[4] = makeList("Болезни", {"Грипп|l,J10", "Ангина|l,J03", "Прочие|g", "\tАстма|l,J45"});
        shapeTable(primary, lists);
    }

    void writeAppeals(SourceKind kind)
    {
        if (kind == SourceKind::DBase) {
            writeDbaseTable(sources.path(), "appeals.dbf",
                {{"REG", TFieldType::ftString, 4}, {"CALLD", TFieldType::ftDate}, {"BIRTH", TFieldType::ftDate},
                    {"SEX", TFieldType::ftString, 1}, {"DIAG", TFieldType::ftString, 5}},
                kAppeals);
        } else if (kind == SourceKind::Paradox) {
            std::vector<QStringList> rows;
            for (QStringList row : kAppeals) {
                for (int i : {1, 2})
                    row[i] = QDate::fromString(row[i], "dd.MM.yyyy").toString("yyyy-MM-dd");
                rows.push_back(row);
            }
            writeParadox(sources.file("appeals.db"), {{"REG", 'A', 4}, {"CALLD", 'D'}, {"BIRTH", 'D'}, {"SEX", 'A', 1},
                {"DIAG", 'A', 5}}, rows);
        } else {
            QStringList lines{"REG;CALLD;BIRTH;SEX;DIAG"};
            for (const QStringList& row : kAppeals)
                lines.append(row.join(u';'));
            writeBytes(sources.file("appeals.txt"), encodeCp1251(lines.join("\r\n") + "\r\n"));
        }
    }

    // Every cell that is not missing, as "name,name,...=value" over the given axes.
    QStringList filledCells(std::initializer_list<int> shown = {1, 2, 3, 4})
    {
        QStringList cells;
        const CoordIndex dims = primary.FDims;
        for (std::int64_t offset = 0; offset < primary.FCellCount; ++offset) {
            const float value = primary.cellAt(offset);
            if (isMissing(value))
                continue;
            CoordIndex index{};
            std::int64_t rest = offset;
            for (int axis = 0; axis < kAxisCount; ++axis) {
                index[axis] = static_cast<int>(rest % dims[axis]);
                rest /= dims[axis];
            }
            QString text;
            for (int axis : shown)
                text += LineNameOf(axis, index[axis]) + u',';
            cells.append(text.chopped(1) + u'=' + QString::number(value));
        }
        cells.sort();
        return cells;
    }

    QString LineNameOf(int axis, int position) const
    {
        QString text = primary.PositionText(axis, position).trimmed();
        return text.left(text.indexOf(u'|'));
    }

    TempFolder system;
    TempFolder sources;
    TempFolder data;
    ScopedSystemDirectory systemDir{system.path()};
    StatusFeedback feedback;
    TTab primary;
    SelectionRequest request;
};

const QStringList kMorbidityCells = {
    "Север,1990,М 0-15,Грипп=2",
    "Север,1991,Ж 0-15,Астма=1",
    "Север,1991,Ж 16+,Ангина=1",
    "Юг,1990,М 16+,Ангина=2",
};

TEST_F(SelectionTest, MorbidityRecordsAreCountedIntoTheirCells)
{
    writeAppeals(SourceKind::DBase);
    request.panelKind = "DesPanel";
    const SelectionResult result = RunSelection(request);
    EXPECT_EQ(result.outcome, SelectionOutcome::Completed);
    EXPECT_EQ(filledCells(), kMorbidityCells);
    EXPECT_TRUE(feedback.messages.isEmpty()) << feedback.messages.join("\n").toStdString();
    // "alpha" names the same model: it is loaded once, so the total runs over both regions.
    EXPECT_EQ(result.total, 6);
    EXPECT_EQ(result.accepted, 6);
    EXPECT_EQ(feedback.status, QStringList({"0Принято: 4", "1Всего: 4", "0Принято: 2", "1Всего: 6"}));
    EXPECT_EQ(feedback.captions.first(), "Выборка из базы данных");
    EXPECT_EQ(feedback.maxima.front(), 3); // the region positions, the group included
    EXPECT_TRUE(feedback.progress.contains("Выборка из базы данных для модели Город Alpha для территории 78"));
    EXPECT_EQ(primary.FSlice[1], 2);

    // A second run starts from an empty table: the cells are the same, not doubled.
    RunSelection(request);
    EXPECT_EQ(filledCells(), kMorbidityCells);
}

TEST_F(SelectionTest, DiseasePositionsOfPlainCodesRangesAndGroupsTakeTheRecordsTheirTestsPass)
{
    // Men of 5 in the north in 1990, differing by diagnosis only.
    std::vector<QStringList> appeals;
    for (const char* diagnosis : {"12", "25", "25", "j7", "J7", "40", "7", "20-30"})
        appeals.push_back({"77", "15.03.1990", "10.05.1985", "1", diagnosis});
    writeDbaseTable(sources.path(), "appeals.dbf",
        {{"REG", TFieldType::ftString, 4}, {"CALLD", TFieldType::ftDate}, {"BIRTH", TFieldType::ftDate},
            {"SEX", TFieldType::ftString, 1}, {"DIAG", TFieldType::ftString, 5}},
        appeals);
    primary.FLists[4] = makeList("Болезни", {"Семь|l,J7", "От 10 до 20|l,10-20", "Прочие|g", "\tДвадцать пять|l,25",
        "\tОт 20 до 30|l,20-30", "Двенадцать|l,12", "Ещё семь|l,j7"});
    primary.Redimension(4);
    struct Case {
        const char* format;
        QStringList cells;
    };
    for (const Case& c : std::vector<Case>{
             // Texts compare: a range is a code like any other.
             {"String", {"Север,1990,М 0-15,Двадцать пять=2", "Север,1990,М 0-15,Двенадцать=1",
                            "Север,1990,М 0-15,Ещё семь=2", "Север,1990,М 0-15,От 20 до 30=1",
                            "Север,1990,М 0-15,Семь=2"}},
             // Numbers compare: 12 lies in 10-20, 25 in 20-30; the text 20-30 is no number, yet equals its code.
             {"Integer", {"Север,1990,М 0-15,Двадцать пять=2", "Север,1990,М 0-15,Двенадцать=1",
                             "Север,1990,М 0-15,Ещё семь=2", "Север,1990,М 0-15,От 10 до 20=1",
                             "Север,1990,М 0-15,От 20 до 30=3", "Север,1990,М 0-15,Семь=2"}},
         }) {
        SCOPED_TRACE(c.format);
        QStringList lines = decodeCp1251(readBytes(system.file(kDescriptionFile))).split("\r\n");
        const qsizetype loop3 = lines.indexOf("[Город Alpha DesPanel Loop3]");
        ASSERT_GE(loop3, 0);
        lines.insert(loop3 + 1, QStringLiteral("FormatCoord=") + c.format);
        writeIni(lines);
        primary.Dimension(primary.positionCounts());
        request.panelKind = "DesPanel";
        EXPECT_EQ(RunSelection(request).outcome, SelectionOutcome::Completed);
        EXPECT_EQ(filledCells(), c.cells);
        writeDescription();
    }
}

// One appeal of the north at a time, its dates written as texts; the years and the sex-age
// groups are walked by the record's own values.
TEST_F(SelectionTest, OneAppealLandsInTheCellsItsDateAndAgeGive)
{
    struct Case {
        const char* call;
        const char* birth;
        const char* sex;
        QStringList cells;
        QStringList messages = {};
    };
    const QString leftOut = "Записей, возраст в которых нельзя узнать (нет даты рождения или возраста), "
                            "не учтено в половозрастных группах: 1";
    for (const Case& c : std::vector<Case>{
             {"15.03.1990", "10.05.1985", "1", {"Север,1990,М 0-15,Грипп=1"}},
             // The day after the last day the years hold, and a later one: in no year.
             {"01.01.1992", "10.05.1985", "1", {}},
             {"05.05.1992", "10.05.1985", "1", {}},
             // Always valid: once in every year (the age counts from 1996).
             {"Всегда", "10.05.1985", "1", {"Север,1990,М 0-15,Грипп=1", "Север,1991,М 0-15,Грипп=1"}},
             // The codes hold ages up to 99: a man of 105 counts among the oldest men, not as a girl of 5.
             {"15.03.1990", "01.01.1885", "1", {"Север,1990,М 16+,Грипп=1"}},
             {"15.03.1990", "01.01.1890", "2", {"Север,1990,Ж 16+,Грипп=1"}},
             // No birth date, none that reads, or one after the call: no age, no group; the run says so.
             {"15.03.1990", "", "1", {}, {leftOut}},
             {"15.03.1990", "x", "1", {}, {leftOut}},
             {"15.03.1990", "01.01.1995", "1", {}, {leftOut}},
         }) {
        SCOPED_TRACE(c.call);
        writeDbaseTable(sources.path(), "appeals.dbf",
            {{"REG", TFieldType::ftString, 4}, {"CALLD", TFieldType::ftString, 12}, {"BIRTH", TFieldType::ftString, 12},
                {"SEX", TFieldType::ftString, 1}, {"DIAG", TFieldType::ftString, 5}},
            {{"77", c.call, c.birth, c.sex, "J10"}});
        feedback.messages.clear();
        request.panelKind = "DesPanel";
        EXPECT_EQ(RunSelection(request).outcome, SelectionOutcome::Completed);
        EXPECT_EQ(filledCells(), c.cells);
        EXPECT_EQ(feedback.messages, c.messages);
    }
}

// The query's records come in no order of their years: one of another year leaves only itself.
TEST_F(SelectionTest, AnInnermostQueryRecordOfAnotherYearLeavesOnlyItself)
{
    writeDbaseTable(sources.path(), "appeals.dbf",
        {{"REG", TFieldType::ftString, 4}, {"CALLD", TFieldType::ftDate}, {"DIAG", TFieldType::ftString, 5}},
        {{"77", "15.03.1990", "J10"}, {"77", "15.03.1991", "J10"}, {"77", "16.03.1990", "J10"},
            {"77", "17.03.1990", "J03"}, {"78", "15.03.1990", "J10"}});
    std::array<QStringList, kAxisCount> lists;
    lists[1] = makeList("Районы", {"Север|l,Delta,77"});
    lists[2] = makeList("Годы", {"1990|l,01.01.1990-31.12.1990", "1991|l,01.01.1991-31.12.1991"});
    lists[4] = makeList("Болезни", {"Грипп|l,J10", "Ангина|l,J03"});
    shapeTable(primary, lists);
    request.panelKind = "DeathPanel";
    EXPECT_EQ(RunSelection(request).outcome, SelectionOutcome::Completed);
    EXPECT_TRUE(feedback.messages.isEmpty()) << feedback.messages.join("\n").toStdString();
    EXPECT_EQ(filledCells({2, 4}), QStringList({"1990,Ангина=1", "1990,Грипп=2", "1991,Грипп=1"}));
}

// A source that is not there, or cannot be read, is named with its model, level and reason.
TEST_F(SelectionTest, AMissingOrDamagedSourceIsNamedWithItsModelLevelAndReason)
{
    struct Case {
        const char* title;
        const char* panel;
        std::function<void()> setUp;
        QString expected; // the text every message of the run ends in
    };
    const QString folder = sources.path();
    const auto moveSources = [&] {
        QStringList lines = decodeCp1251(readBytes(system.file(kDescriptionFile))).split("\r\n");
        lines.replaceInStrings("Path=" + folder, "Path=" + folder + "/нет");
        writeIni(lines);
    };
    const std::vector<Case> cases = {
        {"no table", "DesPanel", [] {},
            "Модель «Город Alpha», уровень 0 (Region): в папке «" + folder + "» нет таблицы «appeals»"},
        {"no folder", "DesPanel", moveSources,
            "Модель «Город Alpha», уровень 0 (Region): нет папки базы данных «" + folder + "/нет»"},
        {"no field", "DesPanel",
            [&] {
                writeDbaseTable(folder, "appeals.dbf",
                    {{"REG", TFieldType::ftString, 4}, {"CALLD", TFieldType::ftDate}, {"BIRTH", TFieldType::ftDate},
                        {"SEX", TFieldType::ftString, 1}},
                    {{"77", "15.03.1990", "10.05.1985", "1"}});
            },
            "Модель «Город Alpha», уровень 0 (Region): в источнике нет поля «DIAG»"},
        {"a damaged table", "DesPanel",
            [&] { writeBytes(sources.file("appeals.dbf"), QByteArray("not a dBase table, not at all")); },
            "Модель «Город Alpha», уровень 0 (Region): Файл таблицы \"" + folder + "/appeals.dbf\" повреждён"},
        {"no table of a table level", "ConcPanel", moveSources,             "Модель «Город Alpha», уровень 2 (Time): Таблица \"" + folder + "/нет/conc7"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.title);
        for (const QString& name : QDir(folder).entryList(QDir::Files))
            QFile::remove(sources.file(name));
        writeDescription();
        c.setUp();
        feedback.messages.clear();
        request.panelKind = c.panel;
        EXPECT_EQ(RunSelection(request).outcome, SelectionOutcome::Completed);
        EXPECT_TRUE(filledCells().isEmpty());
        ASSERT_FALSE(feedback.messages.isEmpty());
        for (const QString& message : feedback.messages)
            EXPECT_TRUE(message.contains(c.expected)) << message.toStdString();
    }
}

TEST_F(SelectionTest, TheSameSourceAsDBaseParadoxOrTextGivesTheSameCells)
{
    for (SourceKind kind : {SourceKind::DBase, SourceKind::Paradox, SourceKind::Text}) {
        SCOPED_TRACE(static_cast<int>(kind));
        for (const QString& name : QDir(sources.path()).entryList({"appeals.*"}, QDir::Files))
            QFile::remove(sources.file(name));
        writeAppeals(kind);
        primary.Dimension(primary.positionCounts());
        request.panelKind = "DesPanel";
        RunSelection(request);
        EXPECT_EQ(filledCells(), kMorbidityCells);
    }
}

// Two million empty lines in the description change nothing of what is selected, and the run
// reads them once: looking the model up for each of two dozen regions took a minute.
TEST_F(SelectionTest, ADescriptionPaddedWithEmptyLinesSelectsTheSameCells)
{
    const QString path = system.file(kDescriptionFile);
    QByteArray padded = readBytes(path);
    padded.replace("[ModelStruct]", QByteArray("\r\n").repeated(1'000'000) + "[ModelStruct]");
    padded += QByteArray("\n").repeated(1'000'000);
    writeBytes(path, padded);
    ASSERT_GT(QFileInfo(path).size(), 3'000'000);
    writeAppeals(SourceKind::DBase);
    QStringList regions{"Alpha|g", "\tСевер|l,Alpha,77", "\tЮг|l,alpha,78"};
    for (int n = 0; n < 20; ++n)
        regions.append(QStringLiteral("\tПустой %1|l,Alpha,%2").arg(n).arg(n + 10));
    shapePrimary(regions);
    request.panelKind = "DesPanel";
    const SelectionResult result = RunSelection(request);
    EXPECT_EQ(result.outcome, SelectionOutcome::Completed);
    EXPECT_EQ(filledCells(), kMorbidityCells);
    EXPECT_EQ(result.total, 6);
    EXPECT_TRUE(feedback.messages.isEmpty()) << feedback.messages.join("\n").toStdString();
}

TEST_F(SelectionTest, AMissingModelIsAskedAboutAndYesEndsTheRun)
{
    writeAppeals(SourceKind::DBase);
    request.panelKind = "DesPanel";
    shapePrimary({"\tНет|l,Gamma,90", "\tСевер|l,Alpha,77", "\tПусто|l", "\tЮг|l,alpha,78"});
    feedback.answer = false; // go on with the next region
    EXPECT_EQ(RunSelection(request).outcome, SelectionOutcome::Completed);
    EXPECT_EQ(feedback.questions, QStringList({"Модель Gamma не найдена. Остановить?", "Модель  не найдена. Остановить?"}));
    EXPECT_EQ(filledCells(), kMorbidityCells);

    primary.Dimension(primary.positionCounts());
    feedback.questions.clear();
    feedback.answer = true;
    EXPECT_EQ(RunSelection(request).outcome, SelectionOutcome::StoppedAtModel);
    EXPECT_EQ(feedback.questions, QStringList{"Модель Gamma не найдена. Остановить?"});
    EXPECT_TRUE(filledCells().isEmpty());
}

TEST_F(SelectionTest, AStopRequestEndsTheRunAtTheNextCheck)
{
    writeAppeals(SourceKind::DBase);
    request.panelKind = "DesPanel";
    // The first check follows the group position; the second the first year of the first record.
    feedback.stopAfterEvents = 2;
    EXPECT_EQ(RunSelection(request).outcome, SelectionOutcome::StoppedByUser);
    EXPECT_EQ(filledCells(), QStringList{"Север,1990,М 0-15,Грипп=1"});
    EXPECT_EQ(feedback.events, 2);
    EXPECT_EQ(feedback.lastCall, "hide");
}

TEST_F(SelectionTest, TheReviewCountsTheQueryRecordsOfEachPosition)
{
    writeAppeals(SourceKind::DBase);
    TReviewList review;
    review.entries = {"x", "Регион 77,3"}; // left from an earlier review: the counts add up
    request.panelKind = "DesPanel";
    request.review = true;
    request.reviewList = &review;
    const SelectionResult result = RunSelection(request);
    EXPECT_EQ(result.outcome, SelectionOutcome::Completed);
    // Position 1 (77) finds 6 appeals, 3 already there; position 2 (78) finds 3 and is appended.
    EXPECT_EQ(review.entries, QStringList({"x", "Регион 77,9", "Регион 78,3"}));
    EXPECT_EQ(result.total, 9);
    EXPECT_TRUE(filledCells().isEmpty());

    review.entries = {"x", "Регион 77,y"};
    RunSelection(request);
    EXPECT_EQ(review.entries, QStringList({"x", "Регион 77,6", "Регион 78,3"})); // y is no number: 0

    review.visible = false;
    RunSelection(request);
    EXPECT_EQ(review.entries, QStringList({"x", "Регион 77,6", "Регион 78,3"}));

    // A review leaves the cells of an earlier selection as they are.
    request.review = false;
    RunSelection(request);
    request.review = true;
    RunSelection(request);
    EXPECT_EQ(filledCells(), kMorbidityCells);
}

TEST_F(SelectionTest, ConcentrationsAreAveragedPerCellAndWindAsAngles)
{
    writeDbaseTable(sources.path(), "conc77.dbf",
        {{"DAT", TFieldType::ftDate}, {"NO2", TFieldType::ftFloat, 2}, {"SO2", TFieldType::ftFloat, 2},
            {"VETER", TFieldType::ftString, 3}, {"TEMPER", TFieldType::ftInteger}},
        {{"10.01.1990", "1", "2", "З", "10"}, {"10.06.1990", "3", "6", "С", "14"}, {"10.01.1991", "5", "4", "СВ", ""},
            {"20.01.1991", "", "", "", ""}, // blanks are no values: they leave the means alone
            {"10.01.1995", "100", "100", "Ю", "100"}});
    request.panelKind = "ConcPanel";
    const SelectionResult result = RunSelection(request);
    EXPECT_EQ(result.outcome, SelectionOutcome::Completed);
    EXPECT_EQ(filledCells({0, 1, 2}), QStringList({"NO2,Север,1990=2", "NO2,Север,1991=5", "SO2,Север,1990=4",
                                 "SO2,Север,1991=4", "Ветер,Север,1990=135", "Ветер,Север,1991=45",
                                 "Температура,Север,1990=12"}));
    // The south has no table of its own: its open failure is shown and the run goes on.
    ASSERT_FALSE(feedback.messages.isEmpty());
    EXPECT_TRUE(feedback.messages.first().startsWith("Невозможно открыть базу данных для:\r\n"));
    EXPECT_TRUE(feedback.messages.first().contains("conc78")) << feedback.messages.first().toStdString();
    // The table opened for every pollutant and year was read from disk once and kept for the run.
    EXPECT_EQ(feedback.cachedFiles, 1);
    EXPECT_EQ(cachedTableFileCount(), 0);
}

TEST_F(SelectionTest, ADetailTableFollowsTheQueryRecordsOfItsMaster)
{
    writeDbaseTable(sources.path(), "plants.dbf",
        {{"ID", TFieldType::ftInteger}, {"REG", TFieldType::ftString, 4}, {"IND", TFieldType::ftString, 4}},
        {{"1", "77", "A"}, {"2", "77", "B"}, {"3", "77", "A"}, {"4", "78", "A"}});
    writeDbaseTable(sources.path(), "emis.dbf",
        {{"PLANT", TFieldType::ftInteger}, {"SUBST", TFieldType::ftString, 5}, {"AMOUNT", TFieldType::ftFloat, 2}},
        {{"1", "NO2", "10"}, {"1", "SO2", "5"}, {"2", "NO2", "7"}, {"3", "SO2", "8"}, {"3", "NO2", ""}, {"4", "NO2", "1"},
            {"9", "NO2", "99"}});
    primary.FLists[7] = makeList("Отрасли", {"Энергетика|l,A", "Химия|l,B"});
    primary.Redimension(7);
    request.panelKind = "PolPanel";
    EXPECT_EQ(RunSelection(request).outcome, SelectionOutcome::Completed);
    // Plants 1 and 3 are both of industry A in the north: the later record overwrites SO2, and
    // the run says so and how to average instead.
    EXPECT_EQ(feedback.messages, QStringList{"Ячеек, в которые попало больше одного значения: 1; в каждой осталось "
                                             "последнее. Чтобы усреднить их, включите DataType=1 в разделе "
                                             "[Город Alpha PolPanel Loop0] описания баз данных Local.Ini"});
    int written = 0;
    for (std::int64_t offset = 0; offset < primary.FCellCount; ++offset)
        written += isMissing(primary.cellAt(offset)) ? 0 : 1;
    CoordIndex index{};
    auto cell = [&](int pollutant, int region, int industry) {
        index[0] = pollutant, index[1] = region, index[7] = industry;
        return primary.GetCell(index);
    };
    EXPECT_EQ(cell(1, 1, 0), 10.0f); // plant 3's blank NO2 writes nothing over it
    EXPECT_EQ(cell(2, 1, 0), 8.0f);
    EXPECT_EQ(cell(1, 1, 1), 7.0f);
    EXPECT_TRUE(isMissing(cell(2, 1, 1)));
    EXPECT_EQ(cell(1, 2, 0), 1.0f);
    EXPECT_TRUE(isMissing(cell(2, 2, 0)));
    EXPECT_TRUE(isMissing(cell(0, 1, 0))); // the group position of the substances is skipped
    EXPECT_EQ(written, 4); // and nothing else was written
}

TEST_F(SelectionTest, CountModeDividesEachRecordByTheRegionWeight)
{
    writeDbaseTable(sources.path(), "pop.dbf", {{"NAME", TFieldType::ftString, 20}, {"POP", TFieldType::ftFloat, 0}},
        {{"Север", "2000"}});
    writeDbaseTable(sources.path(), "deaths.dbf", {{"SEX", TFieldType::ftString, 1}, {"AGE", TFieldType::ftInteger}},
        {{"1", "5"}, {"1", "10"}, {"2", "30"}, {"2", "70"}, {"1", "40"}, {"2", "12"}});
    primary.FLists[3] = makeList("Группы", {"М 0-15|l,10-13", "Ж 16+|l,24-29", "М 16+|l,14-19"});
    primary.Redimension(3);
    request.panelKind = "DeathPanel";
    const SelectionResult result = RunSelection(request);
    EXPECT_EQ(result.outcome, SelectionOutcome::Completed);
    EXPECT_TRUE(feedback.messages.isEmpty()) << feedback.messages.join("\n").toStdString();
    // Five deaths fall in a group for each region and year: 20 in all, each counted once.
    EXPECT_EQ(result.total, 20);
    ASSERT_FALSE(feedback.status.isEmpty());
    EXPECT_EQ(feedback.status.last(), "1Всего: 20");
    EXPECT_EQ(feedback.status.mid(0, 6), QStringList({"0Принято: 2", "1Всего: 2", "0Принято: 4", "1Всего: 4",
                                              "0Принято: 5", "1Всего: 5"}));
    // The north weighs 2000 / 1000 = 2; the south has no population and weighs 1.
    EXPECT_EQ(filledCells({1, 2, 3}),
        QStringList({"Север,1990,Ж 16+=1", "Север,1990,М 0-15=1", "Север,1990,М 16+=0.5", "Север,1991,Ж 16+=1",
            "Север,1991,М 0-15=1", "Север,1991,М 16+=0.5", "Юг,1990,Ж 16+=2", "Юг,1990,М 0-15=2", "Юг,1990,М 16+=1",
            "Юг,1991,Ж 16+=2", "Юг,1991,М 0-15=2", "Юг,1991,М 16+=1"}));
}

TEST_F(SelectionTest, HoroscopePositionsAddForTheSignOfTheBirthDate)
{
    ASSERT_TRUE(QFile::copy(VEROLA_PROGRAM_DIR "/eco/work/Planets.orb", data.file("Planets.orb")));
    writeDbaseTable(sources.path(), "people.dbf",
        {{"REG", TFieldType::ftString, 4}, {"CALLD", TFieldType::ftDate}, {"BIRTH", TFieldType::ftDate},
            {"SEX", TFieldType::ftString, 1}, {"DIAG", TFieldType::ftString, 5}},
        {{"77", "15.03.1990", "05.08.1960", "1", "J10"}, {"77", "16.03.1990", "01.07.1960", "1", "J10"}});
    std::array<QStringList, kAxisCount> lists;
    lists[1] = makeList("Районы", {"Запад|l,Beta,77"});
    lists[3] = makeList("Группы", {"М|l,100-199", "Ж|l,200-299"});
    lists[4] = makeList("Болезни", {"Грипп|l,J10", "Ангина|l,J03"});
    lists[5] = makeList("Знаки", {"Лев|HORO,ZODIAC,Sun,Leo", "Рак|HORO,ZODIAC,Sun,Cancer"});
    shapeTable(primary, lists);
    request.panelKind = "DesPanel";
    EXPECT_EQ(RunSelection(request).outcome, SelectionOutcome::Completed);
    EXPECT_TRUE(feedback.messages.isEmpty()) << feedback.messages.join("\n").toStdString();
    // Each record counts once in its disease; a sign that holds for its birth date adds 1 more,
    // also at the position of a disease that does not match, which then ends the record's walk.
    EXPECT_EQ(filledCells({3, 4, 5}), QStringList({"М,Ангина,Лев=1", "М,Грипп,Лев=3", "М,Грипп,Рак=3"}));

    QFile::remove(data.file("Planets.orb"));
    primary.Dimension(primary.positionCounts());
    EXPECT_THROW(RunSelection(request), EInOutError); // no orbit file: the run ends with the error
}

TEST_F(SelectionTest, ACompositeEntryMatchesTheRegionCodeAndTheYearWrittenTogether)
{
    writeDbaseTable(sources.path(), "codes.dbf", {{"CODE", TFieldType::ftString, 6}},
        {{"7790"}, {"7790"}, {"7791"}, {"7890"}, {"771990"}});
    std::array<QStringList, kAxisCount> lists;
    lists[0] = makeList("Вещества", {"NO2|l,NO2", "SO2|l,SO2"});
    lists[1] = makeList("Районы", {"Восток|l,Beta,77"});
    lists[2] = makeList("Годы", {"1990|l,01.01.1990", "1991|l,01.01.1991"});
    shapeTable(primary, lists);
    request.panelKind = "ConcPanel";
    EXPECT_EQ(RunSelection(request).outcome, SelectionOutcome::Completed);
    EXPECT_TRUE(feedback.messages.isEmpty()) << feedback.messages.join("\n").toStdString();
    EXPECT_EQ(filledCells({0, 2}), QStringList({"NO2,1990=2", "NO2,1991=1", "SO2,1990=2", "SO2,1991=1"}));

    // A time position that is a range has no single year to write: the run ends with the error.
    lists[2] = makeList("Годы", {"1990|l,01.01.1990-31.12.1990"});
    shapeTable(primary, lists);
    EXPECT_THROW(RunSelection(request), EConvertError);
}

TEST_F(SelectionTest, OneRegionTakesTheProgressOfItsFirstTwoLevels)
{
    writeAppeals(SourceKind::DBase);
    shapePrimary({"Север|l,Alpha,77"});
    request.panelKind = "DesPanel";
    RunSelection(request);
    // One region: the gauge is shown again for years x groups (2 x 4).
    EXPECT_EQ(feedback.maxima, (std::vector<int>{1, 8}));
    // After each year a record is walked in, the gauge grows by the groups times the year's position.
    EXPECT_EQ(feedback.positions, (std::vector<int>{0, 0, 0, 0, 4, 8, 8}));
    EXPECT_EQ(filledCells().size(), 3);
}

TEST_F(SelectionTest, APanelOfNeitherThreeNorFourCoordinatesSelectsNothing)
{
    writeAppeals(SourceKind::DBase);
    QStringList lines = decodeCp1251(readBytes(system.file(kDescriptionFile))).split("\r\n");
    lines.replaceInStrings("[DesPanel]", "[DesPanel]\r\nCoords=5");
    lines.removeAll("Coords=4");
    writeIni(lines);
    request.panelKind = "DesPanel";
    EXPECT_EQ(RunSelection(request).outcome, SelectionOutcome::Completed);
    EXPECT_TRUE(filledCells().isEmpty());
    EXPECT_TRUE(feedback.messages.isEmpty());
    // The regions are still walked and their model loaded.
    EXPECT_TRUE(feedback.progress.contains("Выборка из базы данных для модели Город Alpha для территории 78"));
}

TEST_F(SelectionTest, AMissingAxisCaptionEndsTheRunWithItsMessage)
{
    writeAppeals(SourceKind::DBase);
    QStringList lines = decodeCp1251(readBytes(system.file(kDescriptionFile))).split("\r\n");
    lines.replaceInStrings("Disease=Заболевание", "Disease=Болезнь");
    writeIni(lines);
    request.panelKind = "DesPanel";
    EXPECT_EQ(RunSelection(request).outcome, SelectionOutcome::HeadingMissing);
    EXPECT_EQ(feedback.messages, QStringList{"Проверьте заголовокDisease:Болезнь"});
    EXPECT_TRUE(filledCells().isEmpty());
}

TEST_F(SelectionTest, AConversionErrorEndsTheRunAndClosesItsSources)
{
    writeDbaseTable(sources.path(), "appeals.dbf",
        {{"REG", TFieldType::ftString, 4}, {"CALLD", TFieldType::ftString, 12}, {"BIRTH", TFieldType::ftDate},
            {"SEX", TFieldType::ftString, 1}, {"DIAG", TFieldType::ftString, 5}},
        {{"77", "15.03.1990", "10.05.1985", "1", "J10"}, {"77", "not a date", "10.05.1985", "1", "J10"}});
    request.panelKind = "DesPanel";
    EXPECT_THROW(RunSelection(request), EConvertError);
    EXPECT_EQ(filledCells(), QStringList{"Север,1990,М 0-15,Грипп=1"}); // what came before the error stays
    EXPECT_EQ(feedback.lastCall, "hide");
}

} // namespace
