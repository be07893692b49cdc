// A small study driven through "verola-cli run": emissions summarized, handed to the
// concentration block by a transfer, and carried down to the dose block.
#include "core/app/fileset.h"
#include "core/platform/textfile.h"
#include "core/tables/tablefile.h"
#include "core/tables/ttab.h"
#include "testsupport.h"

#include <QDir>
#include <gtest/gtest.h>

using namespace verola;
using namespace verola::test;

namespace {

class RunStudyTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        writeTextLines(file(".DES"), {"Emission study", "three blocks"});
        writeTextLines(data.file("Default.map"), {"map object"});

        // Emission block: the primary table from the databases and its summary.
        writeTextLines(file(".d00"), {"Вещества", "NO2|l", "SO2|l", "Пыль|l"});
        writeTextLines(file(".d01"), {"Районы", "Область|g,GROUP:SUM", "\tСевер|l", "\tЮг|l"});
        writeTextLines(file(".o00"), {"Вещества", "Газы|g,GROUP:AVER", "\tSO2|l", "\tNO2|l", "Бензол|l"});
        writeTextLines(file(".o01"), {"Районы", "Юг|l", "Север|l", "Область|l"});
        writeTextLines(file(".o02"), {"Годы", "Всегда|l"});

        // Concentration block: a model input over other substances and two years.
        writeTextLines(file(".c10"), {"Вещества", "NO2|l", "Пыль|l", "Все|l"});
        writeTextLines(file(".c11"), {"Районы", "Север|l", "Юг|l"});
        writeTextLines(file(".c12"), {"Годы", "1990|l", "1991|l"});
        writeTextLines(file(".o10"), {"Вещества", "Сумма|g,GROUP:SUM", "\tNO2|l", "\tПыль|l"});
        writeTextLines(file(".o11"), {"Районы", "Север|l", "Юг|l"});
        writeTextLines(file(".o12"), {"Годы", "1991|l"});

        // Dose block: reads the concentration summary; its own summary is a formula.
        writeTextLines(file(".c20"), {"Вещества", "Сумма|l", "NO2|l"});
        writeTextLines(file(".c21"), {"Районы", "Юг|l", "Север|l"});
        writeTextLines(file(".c22"), {"Годы", "1991|l"});
        writeTextLines(file(".o20"), {"Вещества", "Индекс|g,GROUP:CALC,NO2*10+Сумма", "\tСумма|l", "\tNO2|l"});
        writeTextLines(file(".o21"), {"Районы", "Север|l"});
        writeTextLines(file(".o22"), {"Годы", "1991|l"});

        writeEmissionCells();
    }

    // Substances NO2, SO2, Пыль down; Область (stale, to be summed), Север, Юг across.
    void writeEmissionCells()
    {
        TTab table;
        readTableFromFileSet(table, ConfigLocation{folder.path(), "study"}, 0, TableKind::Rule);
        const float M = kMissing;
        const float cells[3][3] = {{99, 2, 4}, {99, 1, 5}, {99, 10, M}};
        for (int substance = 0; substance < 3; ++substance)
            for (int region = 0; region < 3; ++region)
                table.SetCell(at({substance, region}), cells[substance][region]);
        SaveToFile(table, file(".d0"));
    }

    QString file(const QString& extension) const { return folder.file("study" + extension); }

    QString dump(int block, const char* table) const
    {
        const CliResult result = runCli(
            {"dump", file(".DES"), "--block", QString::number(block), "--table", table, "--missing"});
        EXPECT_EQ(result.status, 0) << result.err.toStdString();
        return result.out;
    }

    TempFolder folder;
    TempFolder data;
};

} // namespace

TEST_F(RunStudyTest, ValuesFlowDownTheChainAndAcrossATransfer)
{
    const CliResult run = runCli({"run", file(".DES"), "rule:0", "extr:0", "calc:0", "transfer:0.extr>1.calc",
        "est:1", "switch:1=1", "calc:2", "est:2", "calc:3", "--save", "--data-dir", data.path()});
    ASSERT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_EQ(run.out,
        QStringLiteral("открыта конфигурация study Emission study\n"
                       "блок 0: итоги первичной таблицы из баз данных рассчитаны\n"
                       "блок 0: итоговая таблица из баз данных заполнена из первичной таблицы\n"
                       "блок 0: нет предыдущего блока, ничего не скопировано\n"
                       "блок 1: таблица Calc заполнена из блока 0 (Extr), позиции сопоставлены по именам\n"
                       "блок 1: итоговая таблица расчета заполнена из первичной таблицы расчета\n"
                       "блок 1: переключатель берет панель Est\n"
                       "блок 2: первичная таблица расчета заполнена из итоговой таблицы блока 1 (Est)\n"
                       "блок 2: итоговая таблица расчета заполнена из первичной таблицы расчета\n"
                       "блок 3: выбранная итоговая таблица блока 2 (Extr) не готова, ничего не скопировано\n"
                       "сохранено\n"));

    // The group of regions sums its children; a missing child is skipped.
    EXPECT_EQ(dump(0, "rule"), QStringLiteral("Pollutant,Region,Value\n"
                                              "NO2,Область,6\nNO2,Север,2\nNO2,Юг,4\n"
                                              "SO2,Область,6\nSO2,Север,1\nSO2,Юг,5\n"
                                              "Пыль,Область,10\nПыль,Север,10\nПыль,Юг,-999\n"));
    // Positions found by name in another order; Газы averages its gases; Бензол has no data.
    EXPECT_EQ(dump(0, "extr"), QStringLiteral("Pollutant,Region,Value\n"
                                              "Газы,Юг,4.5\nГазы,Север,1.5\nГазы,Область,6\n"
                                              "SO2,Юг,5\nSO2,Север,1\nSO2,Область,6\n"
                                              "NO2,Юг,4\nNO2,Север,2\nNO2,Область,6\n"
                                              "Бензол,Юг,-999\nБензол,Север,-999\nБензол,Область,-999\n"));
    // Across the transfer: Пыль is absent upstream, "Все" takes the first upstream substance,
    // and every year reads the upstream "Всегда".
    EXPECT_EQ(dump(1, "calc"), QStringLiteral("Pollutant,Region,Time,Value\n"
                                              "NO2,Север,1990,2\nNO2,Север,1991,2\nNO2,Юг,1990,4\nNO2,Юг,1991,4\n"
                                              "Пыль,Север,1990,-999\nПыль,Север,1991,-999\n"
                                              "Пыль,Юг,1990,-999\nПыль,Юг,1991,-999\n"
                                              "Все,Север,1990,1.5\nВсе,Север,1991,1.5\n"
                                              "Все,Юг,1990,4.5\nВсе,Юг,1991,4.5\n"));
    EXPECT_EQ(dump(1, "est"), QStringLiteral("Pollutant,Region,Value\n"
                                             "Сумма,Север,2\nСумма,Юг,4\n"
                                             "NO2,Север,2\nNO2,Юг,4\n"
                                             "Пыль,Север,-999\nПыль,Юг,-999\n"));
    EXPECT_EQ(dump(2, "calc"), QStringLiteral("Pollutant,Region,Value\n"
                                              "Сумма,Юг,4\nСумма,Север,2\nNO2,Юг,4\nNO2,Север,2\n"));
    // Индекс = NO2 * 10 + Сумма in the north: 2 * 10 + 2.
    EXPECT_EQ(dump(2, "est"), QStringLiteral("Pollutant,Value\nИндекс,22\nСумма,2\nNO2,2\n"));
}

TEST_F(RunStudyTest, BadStepsAreRefusedBeforeAnythingIsOpened)
{
    const QStringList before = QDir(folder.path()).entryList(QDir::Files);
    for (const char* step : {"transfer:0.extr>9.calc", "transfer:0.sel>1.calc", "transfer:0.extr", "calc:5",
             "switch:1=3", "rule:0=1", "op:NoSuchOperation", "op:"}) {
        const CliResult run = runCli({"run", file(".DES"), "rule:0", step, "--save", "--data-dir", data.path()});
        EXPECT_NE(run.status, 0) << step;
        EXPECT_TRUE(run.err.startsWith(QStringLiteral("verola-cli: неверный шаг \"%1\"").arg(QString::fromUtf8(step))))
            << step << ": " << run.err.toStdString();
        EXPECT_TRUE(run.out.isEmpty()) << step;
    }
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files), before);
}

TEST_F(RunStudyTest, ATableIsNotTransferredOntoItself)
{
    const CliResult run = runCli({"run", file(".DES"), "transfer:0.rule>0.rule", "--data-dir", data.path()});
    ASSERT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_TRUE(run.out.contains(QStringLiteral("блок 0: таблица не переносится сама на себя, ничего не сделано\n")));
}

TEST_F(RunStudyTest, RecalculationsAndSaveAsSayWhatWasDone)
{
    const QString copy = folder.file("copy.DES");
    const CliResult run = runCli({"run", file(".DES"), "summary:0", "full:0", "switch:1=2", "--save-as", copy,
        "--data-dir", data.path()});
    ASSERT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_EQ(run.out, QStringLiteral("открыта конфигурация study Emission study\n"
                                      "блок 0: итоговые таблицы пересчитаны\n"
                                      "блок 0: полный пересчет выполнен\n"
                                      "блок 1: переключатель берет панель Extr\n"
                                      "сохранено как %1\n")
                           .arg(copy));
}

TEST_F(RunStudyTest, PublishedOperationsRunByNameOnTheBlockTheStepsMadeActive)
{
    const CliResult run = runCli({"run", file(".DES"), "rule:0", "op:GetActiveNum", "op:SetActiveNum=3",
        "op:GetActivePanelName", "op:CanDoReference=0.extr,1.calc,2", "op:EmissGroupOperClick", "--data-dir",
        data.path()});
    ASSERT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_TRUE(run.out.contains(QStringLiteral("op GetActiveNum: 0\nop SetActiveNum: выполнено\n"
                                                "op GetActivePanelName: Заболеваемость\n")))
        << run.out.toStdString();
    EXPECT_TRUE(run.out.contains(QStringLiteral("op CanDoReference: false\nop EmissGroupOperClick: выполнено\n")));

    const CliResult bad = runCli({"run", file(".DES"), "op:SetActiveNum=x", "--data-dir", data.path()});
    EXPECT_NE(bad.status, 0);
    EXPECT_EQ(bad.err, QStringLiteral("verola-cli: SetActiveNum: аргумент 1 (\"x\") не является целым числом\n"));
}
