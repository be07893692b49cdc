// Command lines verola-cli cannot carry out: one Russian line on stderr saying what is wrong,
// nothing on stdout, status 1.
#include "core/platform/textfile.h"
#include "testsupport.h"

#include <gtest/gtest.h>

using namespace verola;
using namespace verola::test;

namespace {

TEST(UsageCli, EachKindOfBadCommandLineIsNamedInOneLine)
{
    TempFolder folder;
    const QString config = folder.file("study.DES");
    writeTextLines(config, {"Study"});
    const QString table = QStringLiteral("--table");
    const struct {
        QStringList args;
        QString err;
    } cases[] = {
        {{"--decimal", ","}, "не задана команда"},
        {{"--decimal", ",,", "eval", "1"}, "--decimal принимает один символ, а не \",,\""},
        {{"eval", "1", "--system-dir"}, "у параметра --system-dir не задано значение"},
        {{"sql", "--db"}, "у параметра --db не задано значение"},
        {{"sql", "--db", folder.path()}, "команде sql нужен оператор SQL"},
        {{"table", "--db", folder.path()}, "команде table нужно ровно одно имя таблицы"},
        {{"table", "--db", folder.path(), "a", "b"}, "команде table нужно ровно одно имя таблицы"},
        {{"table", "a"}, "не задан обязательный параметр --db"},
        {{"dump", config, folder.file("other.DES"), "--block", "1", table, "rule"},
            "укажите ровно один путь к конфигурации"},
        {{"dump", config, "--block", "x", table, "rule"}, "параметр --block принимает целое число от 0 до 4, а не \"x\""},
        {{"dump", config, "--block", "1", table, "rule", "--compare", "1,2,3"},
            "--compare принимает MODE[,SOURCE[,AXIS,POS]], а не \"1,2,3\""},
        {{"dump", config, "--block", "1", table, "rule", "--compare", "3"},
            "--compare: \"3\" вне допустимых пределов в \"3\""},
        {{"summarize", config, "--block", "1", table, "rule", "--value-line", "-2"},
            "параметр --value-line принимает целое число от -1 до 32765, а не \"-2\""},
        {{"run"}, "укажите путь к конфигурации, затем шаги"},
        {{"run", config, "extr:7"},
            "неверный шаг \"extr:7\" (ожидается, например, select:3, review:4, rule:0, switch:1=2, "
            "transfer:0.extr>1.calc, op:GetActiveNum)"},
        {{"run", config, "review:1"}, "неверный шаг \"review:1\": обзор баз данных есть только у блоков 3 и 4"},
        {{"run", config, "op:NoSuch"}, "неверный шаг \"op:NoSuch\": нет опубликованной операции \"NoSuch\""},
        {{"run", folder.file("absent.DES"), "rule:0"},
            QStringLiteral("нет такой конфигурации: файла %1 не существует (новую конфигурацию создает параметр --create)")
                .arg(folder.file("absent.DES"))},
        {{"run", folder.path() + "/", "--create"},
            QStringLiteral("--create требует имени конфигурации, как в NAME.DES, а не %1/").arg(folder.path())},
        {{"eval"}, "укажите выражение"},
        {{"eval", "--formula", "1", "2"}, "после --formula других аргументов не бывает"},
        {{"eval", "A", "A"}, "переменные задаются как NAME=VALUE, а не \"A\""},
        {{"horoscope", "01.01.2000", "02.01.2000"}, "укажите ровно одну дату рождения"},
    };
    for (const auto& c : cases) {
        const CliResult result = runCli(c.args);
        const std::string line = c.args.join(u' ').toStdString();
        EXPECT_EQ(result.status, 1) << line;
        EXPECT_EQ(result.err, QStringLiteral("verola-cli: ") + c.err + u'\n') << line;
        EXPECT_TRUE(result.out.isEmpty()) << line << ": " << result.out.toStdString();
    }
}

TEST(UsageCli, WithoutArgumentsTheCommandsAreListedAndTheRunFails)
{
    const CliResult bare = runCli({});
    EXPECT_EQ(bare.status, 1);
    EXPECT_TRUE(bare.err.startsWith(QStringLiteral("вызов: verola-cli [--date-format FORMAT] [--decimal CHAR] "
                                                   "[--system-dir DIR] COMMAND ...\nкоманды:\n  dump CONFIG ")))
        << bare.err.toStdString();
    EXPECT_TRUE(bare.err.contains(QStringLiteral("\n  eval EXPR [NAME=VALUE ...] | eval --formula TEXT\n")));
    const CliResult help = runCli({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.err, bare.err);
}

} // namespace
