// "verola-cli run" with the database selection and review of the morbidity block, over an
// appeals table written with the engine and a description in the system directory.
#include "core/app/fileset.h"
#include "core/db/description.h"
#include "core/platform/textfile.h"
#include "core/tables/tablefile.h"
#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <csignal>
#include <gtest/gtest.h>

using namespace verola;
using namespace verola::test;

namespace {

void writeAppeals(const QString& folder, const std::vector<QStringList>& rows, TFieldType callDateType)
{
    writeDbaseTable(folder, "appeals.dbf",
        {{"REG", TFieldType::ftString, 4}, {"CALLD", callDateType, callDateType == TFieldType::ftString ? 12 : 0},
            {"BIRTH", TFieldType::ftDate}, {"SEX", TFieldType::ftString, 1}, {"DIAG", TFieldType::ftString, 5}},
        rows);
}

class RunSelectionCliTest : public ::testing::Test {
protected:
    RunSelectionCliTest()
    {
        const QString path = sources.path();
        const QStringList ini = {"[PanelsStruct]", "Panels=4", "Panel0=PolPanel,Выбросы", "Panel1=ConcPanel,Загрязнения",
            "Panel2=DesPanel,Заболеваемость", "Panel3=DeathPanel,Смертность", "[DesPanel]", "Coords=4",
            "[ModelStruct]", "Models=1", "Model0=Город Alpha", "[CoordsStruct]", "Region=Регион",
            "Time=Период времени", "SexAgeGroup=Половозр. группа", "Disease=Заболевание",
            "[Город Alpha DesPanel Loop0]", "NameCoord=Region", "Type=1", "Path=" + path, "Len=5",
            "Item0=CALLD,Time,Value", "Item1=SEX,Sex,Value", "Item2=BIRTH,BirthDate,Value",
            "Item3=CALLD,CallDate,Value", "Item4=DIAG,Disease,Value", "SQLLen=2", "SQLItem0=SELECT * FROM appeals",
            "SQLItem1=WHERE REG = :Region", "[Город Alpha DesPanel Loop1]", "NameCoord=Time", "FormatCoord=DateTime",
            "SetTime=Date", "UseTime=Date", "MinValue=01.01.1990", "MaxValue=31.12.1991",
            "[Город Alpha DesPanel Loop2]", "NameCoord=SexAgeGroup", "Man=1", "Woman=2", "AgeType=0", "MinValue=0",
            "MaxValue=99", "[Город Alpha DesPanel Loop3]", "NameCoord=Disease"};
        writeBytes(system.file(kDescriptionFile), encodeCp1251(ini.join("\r\n") + "\r\n"));
        writeAppeals(path,
            {{"77", "15.03.1990", "10.05.1985", "1", "J10"}, {"77", "20.06.1990", "01.01.1980", "1", "J10"},
                {"77", "01.02.1991", "01.01.1960", "2", "J03"}, {"78", "11.11.1990", "01.01.1950", "1", "J03"}},
            TFieldType::ftDate);
        writeTextLines(file(".DES"), {"Morbidity study"});
        writeTextLines(data.file("Default.map"), {"map object"});
        writeTextLines(file(".d31"), {"Районы", "Нет|l,Gamma,90", "Север|l,Alpha,77", "Юг|l,alpha,78"});
        writeTextLines(file(".d32"), {"Годы", "1990|l,01.01.1990-31.12.1990", "1991|l,01.01.1991-31.12.1991"});
        writeTextLines(file(".d33"), {"Группы", "М 0-15|l,100-115", "Ж 16+|l,216-299", "М 16+|l,116-199"});
        writeTextLines(file(".d34"), {"Болезни", "Грипп|l,J10", "Ангина|l,J03"});
        writeEmptyPrimaryTable();
    }

    // The kind 0 table of the morbidity block, shaped by its lists, every cell missing.
    void writeEmptyPrimaryTable()
    {
        QFile::remove(file(".d3"));
        TTab table;
        readTableFromFileSet(table, ConfigLocation{folder.path(), "study"}, 3, TableKind::Rule);
        SaveToFile(table, file(".d3"));
    }

    QString file(const QString& extension) const { return folder.file("study" + extension); }

    CliResult run(QStringList arguments) const
    {
        arguments.prepend(file(".DES"));
        arguments.prepend("run");
        arguments << "--data-dir" << data.path() << "--date-format" << "dd.MM.yyyy" << "--decimal" << ",";
        return runCli(arguments, system.path());
    }

    QString dump() const
    {
        const CliResult result = runCli({"dump", file(".DES"), "--block", "3", "--table", "rule"}, system.path());
        EXPECT_EQ(result.status, 0) << result.err.toStdString();
        return result.out;
    }

    QMap<QString, QByteArray> configurationFiles() const { return filesWithBytes(folder.path()); }

    TempFolder system;
    TempFolder sources;
    TempFolder folder;
    TempFolder data;
};

const QString kSelectedCells = QStringLiteral("Region,Time,SexAgeGroup,Disease,Value\n"
                                              "Север,1990,М 0-15,Грипп,2\n"
                                              "Север,1991,Ж 16+,Ангина,1\n"
                                              "Юг,1990,М 16+,Ангина,1\n");

TEST_F(RunSelectionCliTest, SelectsIntoTheBlockAndSavesWhatWasSelected)
{
    const CliResult result = run({"select:3", "--save", "--progress"});
    ASSERT_EQ(result.status, 0) << result.err.toStdString();
    EXPECT_EQ(result.out, "открыта конфигурация study Morbidity study\nблок 3: выборка из баз данных выполнена\nсохранено\n");
    // The missing model is asked about, answered No, and the run goes on with the next region.
    EXPECT_TRUE(result.err.contains("Модель Gamma не найдена. Остановить?\n")) << result.err.toStdString();
    EXPECT_TRUE(result.err.contains("Выборка из базы данных (всего 3)\n")) << result.err.toStdString();
    EXPECT_TRUE(result.err.contains("Принято: 3\nВсего: 3\n")) << result.err.toStdString();
    EXPECT_TRUE(result.err.contains("Всего: 4\n")) << result.err.toStdString();
    EXPECT_EQ(dump(), kSelectedCells);

    // Selecting again into the saved table gives the same cells, not twice the counts.
    ASSERT_EQ(run({"select:3", "--save"}).status, 0);
    EXPECT_EQ(dump(), kSelectedCells);
}

TEST_F(RunSelectionCliTest, StopOnAMissingModelEndsTheRunWithoutFailing)
{
    writeTextLines(file(".d31"), {"Районы", "Север|l,Alpha,77", "Нет|l,Gamma,90", "Юг|l,alpha,78"});
    writeEmptyPrimaryTable();
    const CliResult result = run({"select:3", "--save", "--stop-on-missing-model"});
    ASSERT_EQ(result.status, 0) << result.err.toStdString();
    EXPECT_TRUE(result.err.contains("Модель Gamma не найдена. Остановить?\n"));
    EXPECT_FALSE(result.err.contains("Принято")); // no progress lines without --progress
    EXPECT_EQ(result.out, "открыта конфигурация study Morbidity study\nблок 3: выборка остановлена на ненайденной модели, "
                          "выбранное до того остается\nсохранено\n");
    // The north was selected before the question; the south never was.
    EXPECT_EQ(dump(), "Region,Time,SexAgeGroup,Disease,Value\nСевер,1990,М 0-15,Грипп,2\nСевер,1991,Ж 16+,Ангина,1\n");
}

TEST_F(RunSelectionCliTest, ReviewPrintsOneEntryPerQueryPosition)
{
    const CliResult result = run({"review:3"});
    ASSERT_EQ(result.status, 0) << result.err.toStdString();
    EXPECT_EQ(result.out, "открыта конфигурация study Morbidity study\nРегион 77,3\nРегион 78,1\n");
    const CliResult refused = run({"review:2"});
    EXPECT_NE(refused.status, 0);
    EXPECT_EQ(refused.err, "verola-cli: неверный шаг \"review:2\": обзор баз данных есть только у блоков 3 и 4\n");
}

TEST_F(RunSelectionCliTest, AFailingRunLeavesTheConfigurationFilesUntouched)
{
    ASSERT_EQ(run({"select:3", "--save"}).status, 0);
    const QMap<QString, QByteArray> before = configurationFiles();
    writeAppeals(sources.path(), {{"77", "15.03.1990", "10.05.1985", "1", "J10"}, {"77", "no date", "10.05.1985", "1", "J10"}},
        TFieldType::ftString);
    const CliResult result = run({"select:3", "--save"});
    EXPECT_EQ(result.status, 1);
    EXPECT_TRUE(result.err.endsWith("verola-cli: \"no date\" не является датой\n")) << result.err.toStdString();
    EXPECT_FALSE(result.out.contains("сохранено"));
    EXPECT_EQ(configurationFiles(), before);
}

TEST_F(RunSelectionCliTest, CtrlCStopsTheRunAndNothingIsSaved)
{
    QStringList regions{"Районы"};
    for (int i = 0; i < 5000; ++i)
        regions.append(QStringLiteral("Район %1|l,Alpha,77").arg(i));
    writeTextLines(file(".d31"), regions);
    writeEmptyPrimaryTable();
    const QMap<QString, QByteArray> before = configurationFiles();

    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("VEROLA_SYSTEM_DIR", system.path());
    process.setProcessEnvironment(environment);
    process.setReadChannel(QProcess::StandardError);
    process.start(VEROLA_PROGRAM_DIR "/verola-cli",
        {"run", file(".DES"), "select:3", "--save", "--progress", "--data-dir", data.path(), "--date-format",
            "dd.MM.yyyy", "--decimal", ","});
    QByteArray err;
    while (!err.contains("Всего:") && process.waitForReadyRead(20000))
        err += process.readAllStandardError();
    ASSERT_TRUE(err.contains("Всего:")) << err.toStdString();
    ::kill(static_cast<pid_t>(process.processId()), SIGINT);
    ASSERT_TRUE(process.waitForFinished(20000));
    err += process.readAllStandardError();
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(process.exitCode(), 130) << err.toStdString();
    EXPECT_TRUE(err.endsWith("verola-cli: прервано, ничего не сохранено\n")) << err.right(200).toStdString();
    const QByteArray out = process.readAllStandardOutput();
    EXPECT_FALSE(out.contains("сохранено\n"));
    EXPECT_TRUE(out.contains("блок 3: выборка прервана запросом остановки, выбранное до того остается\n"))
        << out.toStdString();
    EXPECT_FALSE(out.contains("выборка из баз данных выполнена")) << out.toStdString();
    // Opening adds the missing list files; nothing that was there is written.
    const QMap<QString, QByteArray> after = configurationFiles();
    for (auto it = before.cbegin(); it != before.cend(); ++it)
        EXPECT_EQ(after.value(it.key()), it.value()) << it.key().toStdString();
}

} // namespace
