// What the commands that take a configuration do with a missing one, with table files that
// cannot be read, and with a new name.
#include "core/platform/textfile.h"
#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

using namespace verola;
using namespace verola::test;

namespace {

class ConfigurationCliTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        writeTextLines(data.file("Default.map"), {"map object"});
        writeTextLines(file("study.DES"), {"Исследование", "вторая строка"});
        writeTextLines(file("study.d00"), {"Вещества", "\tNO2|D", "\tSO2|D"});
    }
    QString file(const QString& name) const { return folder.file(name); }
    QStringList filesNow() const { return QDir(folder.path()).entryList(QDir::Files, QDir::Name); }

    TempFolder folder;
    TempFolder data;
};

} // namespace

TEST_F(ConfigurationCliTest, AMissingConfigurationIsRefusedByEveryCommand)
{
    const QString misspelt = file("studdy.DES");
    const std::vector<QStringList> commands = {
        {"run", misspelt, "rule:0", "--save", "--data-dir", data.path()},
        {"run", file("studdy.x1"), "--save", "--data-dir", data.path()},
        {"dump", misspelt, "--block", "0", "--table", "rule", "--missing"},
        {"dump", misspelt, "--block", "0", "--table", "rule", "--compare", "1"},
        {"export-dbf", misspelt, "--block", "0", "--table", "rule", "--out", file("out.dbf")},
        {"summarize", misspelt, "--block", "0", "--table", "rule"},
    };
    const QStringList before = filesNow();
    for (const QStringList& arguments : commands) {
        const CliResult result = runCli(arguments);
        const std::string line = arguments.join(' ').toStdString();
        EXPECT_NE(result.status, 0) << line;
        EXPECT_TRUE(result.err.contains(misspelt)) << line << ": " << result.err.toStdString();
        EXPECT_TRUE(result.out.isEmpty()) << line << ": " << result.out.toStdString();
        EXPECT_EQ(filesNow(), before) << line;
    }
    EXPECT_TRUE(runCli(commands.front()).err.contains(QStringLiteral("--create")));
}

TEST_F(ConfigurationCliTest, RunCreatesANewConfigurationWhenAsked)
{
    const CliResult run = runCli({"run", file("new.DES"), "--create", "--save", "--data-dir", data.path()});
    ASSERT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_TRUE(QFile::exists(file("new.DES")));
    EXPECT_TRUE(QFile::exists(file("new.x1")));
    EXPECT_EQ(readTextLines(file("new.map")), QStringList{"map object"});
    const CliResult dump = runCli({"dump", file("new.DES"), "--block", "1", "--table", "extr", "--missing"});
    EXPECT_EQ(dump.status, 0) << dump.err.toStdString();
    EXPECT_EQ(dump.out, QStringLiteral("Value\n-999\n"));

    // On a configuration that exists, --create changes nothing of its description.
    ASSERT_EQ(runCli({"run", file("study.DES"), "--create", "--data-dir", data.path()}).status, 0);
    EXPECT_EQ(readTextLines(file("study.DES")), (QStringList{"Исследование", "вторая строка"}));
}

TEST_F(ConfigurationCliTest, RunNamesTableFilesItCannotReadAndKeepsThemOnSave)
{
    const QByteArray truncated(6, 0); // one and a half of two cells
    writeBytes(file("study.d0"), truncated);
    const CliResult run = runCli({"run", file("study.DES"), "rule:0", "--save", "--data-dir", data.path()});
    ASSERT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_TRUE(run.err.contains(file("study.d0"))) << run.err.toStdString();
    EXPECT_EQ(readBytes(file("study.d0.bak")), truncated);
    EXPECT_EQ(readBytes(file("study.d0")).size(), 8);
}

// A list of block 1 longer than an axis holds: the open says so, and the first step on the block
// is refused with the reason and a failing status, before anything is saved.
TEST_F(ConfigurationCliTest, StepsOnABlockThatCouldNotBeReadAreRefused)
{
    QStringList tooLong{"Районы", "\tВсе|T,GROUP:SUM"};
    for (int i = 0; i < 40000; ++i)
        tooLong.append(QStringLiteral("\t\tР%1|T").arg(i));
    writeTextLines(file("study.o11"), tooLong);
    writeTextLines(file("study.d11"), tooLong);
    for (const QString& step : {"rule:1", "extr:1", "summary:1", "calc:2", "transfer:1.extr>2.calc"}) {
        const CliResult run
            = runCli({"run", file("study.DES"), "rule:0", step, "extr:1", "--save", "--data-dir", data.path()});
        EXPECT_EQ(run.status, 1) << step.toStdString() << ": " << run.err.toStdString();
        EXPECT_TRUE(run.out.contains(QStringLiteral("block 0:"))) << step.toStdString() << ": " << run.out.toStdString();
        EXPECT_FALSE(run.out.contains(QStringLiteral("block 1:"))) << step.toStdString() << ": " << run.out.toStdString();
        EXPECT_FALSE(run.out.contains(QStringLiteral("saved"))) << step.toStdString();
        const QString refusal = QStringLiteral("verola-cli: Блок 1 (Загрязнения) не прочитан при открытии конфигурации");
        EXPECT_TRUE(run.err.contains(refusal)) << step.toStdString() << ": " << run.err.toStdString();
        EXPECT_TRUE(run.err.contains(file("study.o11"))) << step.toStdString() << ": " << run.err.toStdString();
        EXPECT_EQ(readTextLines(file("study.o11")), tooLong) << step.toStdString();
    }
}

TEST_F(ConfigurationCliTest, SaveAsCarriesTheDescriptionOver)
{
    const CliResult run
        = runCli({"run", file("study.DES"), "rule:0", "--save-as", file("copy.DES"), "--data-dir", data.path()});
    ASSERT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_EQ(readTextLines(file("copy.DES")), (QStringList{"Исследование", "вторая строка"}));
    EXPECT_TRUE(QFile::exists(file("copy.d0")));
}
