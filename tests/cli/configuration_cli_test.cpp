// What the commands that take a configuration do with a missing one, with table files that
// cannot be read, and with a new name.
#include "core/platform/filelock.h"
#include "core/platform/textfile.h"
#include "testsupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <gtest/gtest.h>
#include <unistd.h>

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
        const QString hint = arguments.first() == QStringLiteral("run")
            ? QStringLiteral(" (новую конфигурацию создает параметр --create)")
            : QString();
        EXPECT_EQ(result.err, QStringLiteral("verola-cli: нет такой конфигурации: файла %1 не существует%2\n")
                                  .arg(misspelt, hint))
            << line;
        EXPECT_TRUE(result.out.isEmpty()) << line << ": " << result.out.toStdString();
        EXPECT_EQ(filesNow(), before) << line;
    }
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
        EXPECT_TRUE(run.out.contains(QStringLiteral("блок 0:"))) << step.toStdString() << ": " << run.out.toStdString();
        EXPECT_FALSE(run.out.contains(QStringLiteral("блок 1:"))) << step.toStdString() << ": " << run.out.toStdString();
        EXPECT_FALSE(run.out.contains(QStringLiteral("сохранено"))) << step.toStdString();
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

TEST_F(ConfigurationCliTest, RunLeavesTheFilesOfASaveInAnotherProgramAlone)
{
    ASSERT_EQ(runCli({"run", file("study.DES"), "--save", "--data-dir", data.path()}).status, 0);
    const QString temporary = file("study.x1.~0a1b2c3d");
    writeBytes(temporary, "being written");
    const QMap<QString, QByteArray> before = filesWithBytes(folder.path());
    {
        // This process saves the set: it holds the set's lock.
        FileLock saving(file("study.lock"));
        ASSERT_EQ(saving.tryLock(), FileLock::Result::Locked);

        const CliResult open = runCli({"run", file("study.DES"), "--data-dir", data.path()});
        EXPECT_EQ(open.status, 0) << open.err.toStdString();
        EXPECT_TRUE(QFile::exists(temporary)) << "the running save's temporary file is its own";

        const CliResult save = runCli({"run", file("study.DES"), "rule:0", "--save", "--data-dir", data.path()});
        EXPECT_EQ(save.status, 1);
        EXPECT_TRUE(save.err.contains(QStringLiteral("не сохранена: её сейчас сохраняет другая программа")))
            << save.err.toStdString();
        EXPECT_TRUE(save.err.contains(QStringLiteral("процесс %1").arg(::getpid()))) << save.err.toStdString();
        QStringList withLock = before.keys() + QStringList{"study.lock"};
        withLock.sort();
        EXPECT_EQ(filesWithBytes(folder.path()).keys(), withLock);
        for (const QString& name : before.keys())
            EXPECT_EQ(readBytes(file(name)), before.value(name)) << name.toStdString();
    }
    // With no save running, the temporary file is a killed save's: it goes.
    ASSERT_EQ(runCli({"run", file("study.DES"), "--data-dir", data.path()}).status, 0);
    EXPECT_FALSE(QFile::exists(temporary));
}

TEST_F(ConfigurationCliTest, RunSaysInRussianWhyASaveFailedAndChangesNothing)
{
    ASSERT_EQ(runCli({"run", file("study.DES"), "--save", "--data-dir", data.path()}).status, 0);
    const struct {
        const char* what;
        std::function<void()> arrange;
        QString reason;
        std::function<void()> undo;
    } cases[] = {
        {"a folder in a file's place",
            [&] {
                QFile::remove(file("study.c4b"));
                QDir(folder.path()).mkdir("study.c4b");
            },
            QStringLiteral("Не удалось записать файл \"%1\": это каталог").arg(file("study.c4b")),
            [&] { QDir(folder.path()).rmdir("study.c4b"); }},
        {"a read-only file", [&] { QFile::setPermissions(file("study.x1"), QFileDevice::ReadOwner); },
            QStringLiteral("Не удалось записать файл \"%1\": файл только для чтения").arg(file("study.x1")),
            [&] { QFile::setPermissions(file("study.x1"), QFileDevice::ReadOwner | QFileDevice::WriteOwner); }},
    };
    for (const auto& c : cases) {
        c.arrange();
        const QMap<QString, QByteArray> before = filesWithBytes(folder.path());
        const CliResult save = runCli({"run", file("study.DES"), "rule:0", "--save", "--data-dir", data.path()});
        EXPECT_EQ(save.status, 1) << c.what;
        // The open may have named the file first; the save's message ends the output.
        EXPECT_TRUE(save.err.endsWith(QStringLiteral("verola-cli: Конфигурация \"%1\" не сохранена.\n%2\n"
                                                     "Прежние файлы конфигурации не изменены.\n")
                                          .arg(file("study.DES"), c.reason)))
            << c.what << ": " << save.err.toStdString();
        EXPECT_EQ(filesWithBytes(folder.path()), before) << c.what;
        c.undo();
    }
}

TEST_F(ConfigurationCliTest, RunNamesAReadOnlyFileSystemAsSuch)
{
    if (QProcess::execute(QStringLiteral("unshare"), {"-m", "true"}) != 0)
        GTEST_SKIP() << "no mount namespace for a read-only file system here";
    ASSERT_EQ(runCli({"run", file("study.DES"), "--save", "--data-dir", data.path()}).status, 0);
    // The set copied into a file system of this process alone, mounted read-only.
    TempFolder mount;
    const QString script = QStringLiteral(
        "mount -t tmpfs tmpfs \"$1\" && cp -a \"$2\"/. \"$1\"/ && mount -o remount,ro \"$1\" && "
        "exec \"$3\" run \"$1/study.DES\" rule:0 --save --data-dir \"$4\"");
    QProcess run;
    run.start(QStringLiteral("unshare"), {"-m", "sh", "-c", script, "sh", mount.path(), folder.path(),
                                             QStringLiteral(VEROLA_PROGRAM_DIR "/verola-cli"), data.path()});
    ASSERT_TRUE(run.waitForFinished(60000));
    const QString err = QString::fromUtf8(run.readAllStandardError());
    EXPECT_EQ(run.exitCode(), 1) << err.toStdString();
    EXPECT_EQ(err, QStringLiteral("verola-cli: Конфигурация \"%1/study.DES\" не сохранена: в каталог \"%1\" "
                                  "нельзя записать файлы: файловая система только для чтения\n")
                       .arg(mount.path()));
}
