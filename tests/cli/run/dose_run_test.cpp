// The dose step of "verola-cli run": the dose block's calculation over the reference tables of
// the risk data directory.
#include "core/app/fileset.h"
#include "core/platform/textfile.h"
#include "core/tables/tablefile.h"
#include "core/tables/ttab.h"
#include "dbfixtures.h"
#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <QMap>
#include <gtest/gtest.h>

using namespace verola;
using namespace verola::test;

namespace {

class RunDoseTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        writeTextLines(file(".DES"), {"Dose study"});
        writeTextLines(data.file("Default.map"), {"map object"});

        // Concentration block: its summary from the databases, over two pollutants and regions.
        writeTextLines(file(".o10"), {"Вещества", "Уксусная кислота|V,1", "Бензол|V,2"});
        writeTextLines(file(".o11"), {"Районы", "Север|T", "Юг|T"});
        // Dose block: the same pollutants with their reference keys, one group, three risk types.
        writeTextLines(file(".c20"), {"Вещества", "Уксусная кислота|V,1,ACETIC ACID", "Бензол|V,2,BENZENE"});
        writeTextLines(file(".c21"), {"Районы", "Север|T", "Юг|T"});
        writeTextLines(file(".c26"), {"Группы", "Взрослые|E,1"});
        writeTextLines(file(".c28"), {"Риски", "LADI|R,ladi", "HI|R,hi", "Нов0|R,nov,0"});
        writeConcentrations({{10, 100}, {4, 0}});

        // Acetic acid is filed with its words the other way round; benzene has B = 0 and RFD = 0.
        writeDbf(risk.file("condrisk.dbf"), {{"NAME", 'C', 40}, {"ANOV", 'N', 16, 6}, {"BNOV", 'N', 16, 6}},
            {{"ACID ACETIC", "1", "2"}, {"BENZENE", "1", "0"}});
        writeDbf(risk.file("subs.dbf"), {{"NAME", 'C', 40}, {"RFD", 'N', 16, 6}, {"SF", 'N', 16, 6}},
            {{"ACETIC ACID", "0.05", "0.1"}, {"BENZENE", "0", "0.1"}});
        writeDbf(risk.file("expf.dbf"), {{"ID_EXP", 'N', 5}, {"EXP_FL", 'N', 16, 6}, {"EXP_FC", 'N', 16, 6}},
            {{"1", "0.5", "0.25"}});
    }

    // Pollutants down, regions across.
    void writeConcentrations(const std::vector<std::vector<float>>& cells)
    {
        TTab table;
        readTableFromFileSet(table, ConfigLocation{folder.path(), "study"}, 1, TableKind::Extr);
        for (size_t i = 0; i < cells.size(); ++i)
            for (size_t p = 0; p < cells[i].size(); ++p)
                table.SetCell(at({int(i), int(p)}), cells[i][p]);
        SaveToFile(table, file(".x1"));
    }

    QString file(const QString& extension) const { return folder.file("study" + extension); }

    CliResult run(const QStringList& extra, const QString& systemDir)
    {
        return runCli(QStringList{"run", file(".DES"), "dose", "--data-dir", data.path()} + extra, systemDir);
    }

    QMap<QString, QByteArray> filesOnDisk() const { return filesWithBytes(folder.path()); }

    TempFolder folder;
    TempFolder data;
    TempFolder risk;
    TempFolder system; // no settings file
};

} // namespace

TEST_F(RunDoseTest, TheDoseStepComputesAndSavesTheDoseTable)
{
    const CliResult result = run({"--risk-dir", risk.path(), "--save"}, system.path());
    ASSERT_EQ(result.status, 0) << result.err.toStdString();
    EXPECT_EQ(result.out, QStringLiteral("открыта конфигурация study Dose study\nблок 2: дозы и риски рассчитаны\nсохранено\n"));

    const CliResult dump = runCli({"dump", file(".DES"), "--block", "2", "--table", "calc", "--missing"});
    ASSERT_EQ(dump.status, 0) << dump.err.toStdString();
    // Acetic acid: c = 10 and 100, EXP_FL 0.5, EXP_FC 0.25, RFD 0.05, A 1, B 2.
    // Benzene: RFD = 0 gives no hi and B = 0 no formula; a concentration of 0 gives nothing.
    EXPECT_EQ(dump.out, QStringLiteral("Pollutant,Region,RiskType,Value\n"
                                       "Уксусная кислота,Север,LADI,5\n"
                                       "Уксусная кислота,Север,HI,50\n"
                                       "Уксусная кислота,Север,Нов0,3\n"
                                       "Уксусная кислота,Юг,LADI,50\n"
                                       "Уксусная кислота,Юг,HI,500\n"
                                       "Уксусная кислота,Юг,Нов0,5\n"
                                       "Бензол,Север,LADI,2\n"
                                       "Бензол,Север,HI,-999\n"
                                       "Бензол,Север,Нов0,-999\n"
                                       "Бензол,Юг,LADI,-999\n"
                                       "Бензол,Юг,HI,-999\n"
                                       "Бензол,Юг,Нов0,-999\n"));
}

TEST_F(RunDoseTest, TheRiskDirectoryComesFromTheSettingsUnlessTheOptionSaysOtherwise)
{
    TempFolder configured;
    writeTextLines(configured.file("RuzUzo.ini"),
        {"[General]", "DataDBFRiskDirectory=" + QDir::toNativeSeparators(risk.path())});
    TempFolder misconfigured;
    writeTextLines(misconfigured.file("RuzUzo.ini"), {"[General]", "DataDBFRiskDirectory=" + risk.file("absent")});

    const struct {
        const char* what;
        QString systemDir;
        QStringList options;
        bool found;
    } cases[] = {
        {"from the settings", configured.path(), {}, true},
        {"the option overrides the settings", misconfigured.path(), {"--risk-dir", risk.path()}, true},
        {"a settings folder without the tables", misconfigured.path(), {}, false},
    };
    for (const auto& c : cases) {
        const CliResult result = run(c.options, c.systemDir);
        EXPECT_EQ(result.status == 0, c.found) << c.what << ": " << result.err.toStdString();
        if (!c.found) {
            EXPECT_TRUE(result.err.contains(QStringLiteral("condrisk.dbf"))) << c.what << ": " << result.err.toStdString();
        }
    }
}

TEST_F(RunDoseTest, AnArithmeticFaultEndsTheRunWithoutSaving)
{
    writeConcentrations({{-5, 100}, {4, 0}}); // log10 of a negative concentration
    // Opening writes the lists the set lacks; what is compared is what the failing step leaves.
    ASSERT_EQ(runCli({"run", file(".DES")}, system.path()).status, 0);
    const QMap<QString, QByteArray> before = filesOnDisk();
    const CliResult result = run({"--risk-dir", risk.path(), "--save"}, system.path());
    EXPECT_NE(result.status, 0);
    // Where it stopped and why: the pollutant, the region and the other positions of the cell.
    EXPECT_TRUE(result.err.contains(QStringLiteral("Загрязнитель «Уксусная кислота» (позиция 1), Регион «Север» "
                                                   "(позиция 1)")))
        << result.err.toStdString();
    EXPECT_TRUE(result.err.contains(QStringLiteral("Тип риска «Нов0» (позиция 3)"))) << result.err.toStdString();
    EXPECT_TRUE(result.err.contains(QStringLiteral("логарифм отрицательного числа -5"))) << result.err.toStdString();
    EXPECT_FALSE(result.out.contains(QStringLiteral("сохранено")));
    EXPECT_EQ(filesOnDisk(), before);

    const CliResult saveAs = run({"--risk-dir", risk.path(), "--save-as", folder.file("copy.DES")}, system.path());
    EXPECT_NE(saveAs.status, 0);
    EXPECT_EQ(filesOnDisk(), before);
}

TEST_F(RunDoseTest, TheDoseStepTakesNoBlockNumber)
{
    for (const char* step : {"dose:2", "Dose"}) {
        const CliResult result = runCli({"run", file(".DES"), step, "--risk-dir", risk.path()}, system.path());
        EXPECT_NE(result.status, 0) << step;
        EXPECT_TRUE(result.err.startsWith(QStringLiteral("verola-cli: неверный шаг \"%1\" (ожидается, например, select:3")
                                               .arg(QString::fromUtf8(step))))
            << step << ": " << result.err.toStdString();
    }
}

TEST_F(RunDoseTest, WithoutAPollutantOfTheConcentrationsTheStepSaysNothingWasCalculated)
{
    // The dose block's pollutants are none of the concentration block's.
    writeTextLines(file(".c20"), {"Вещества", "Ксилол|V,3,XYLENE"});
    const CliResult result = run({"--risk-dir", risk.path()}, system.path());
    ASSERT_EQ(result.status, 0) << result.err.toStdString();
    EXPECT_EQ(result.out, QStringLiteral("открыта конфигурация study Dose study\nблок 2: ни одного вещества таблицы доз нет в "
                                         "итоговой таблице концентраций, дозы не рассчитаны, рассчитаны только итоги\n"));

    // The exposure factors are read all the same: their table missing is said.
    QFile::remove(risk.file("expf.dbf"));
    const CliResult missing = run({"--risk-dir", risk.path(), "--save"}, system.path());
    EXPECT_NE(missing.status, 0);
    EXPECT_TRUE(missing.err.contains(QStringLiteral("expf.dbf"))) << missing.err.toStdString();
    EXPECT_FALSE(missing.out.contains(QStringLiteral("рассчитаны"))) << missing.out.toStdString();
    EXPECT_FALSE(missing.out.contains(QStringLiteral("сохранено")));
}
