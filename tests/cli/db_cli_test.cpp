// verola-cli sql and table.
#include "core/db/session.h"
#include "core/db/ttable.h"
#include "testsupport.h"

#include <QProcess>
#include <gtest/gtest.h>
#include <sys/resource.h>

using namespace verola;
using namespace verola::test;

namespace {

class DbCliTest : public ::testing::Test {
protected:
    TempFolder folder;
    TempFolder system;

    void SetUp() override
    {
        TSession session(FormatSettings::russian(), QStringLiteral("Aliases.ini"));
        TTable table(session);
        table.SetDatabaseName(folder.path());
        table.SetTableName(QStringLiteral("emis"));
        table.FieldDefs().Add(QStringLiteral("REG"), TFieldType::ftString, 10);
        table.FieldDefs().Add(QStringLiteral("VAL"), TFieldType::ftBCD, 2);
        table.FieldDefs().Add(QStringLiteral("DATE_F"), TFieldType::ftDate);
        table.CreateTable();
        table.Open();
        const QStringList rows[] = {{QStringLiteral("77"), QStringLiteral("1,5"), QStringLiteral("15.01.1990")},
            {QStringLiteral("Химки, МО"), QStringLiteral("2"), QStringLiteral("01.03.1991")}};
        for (const QStringList& row : rows) {
            table.Insert();
            for (int f = 0; f < row.size(); ++f)
                table.Fields(f).SetAsString(row.at(f));
            table.Post();
        }
    }

    CliResult run(const QStringList& args) { return runCli(args, system.path()); }
};

TEST_F(DbCliTest, SqlPrintsCsvWithTheUserFormats)
{
    const CliResult russian = run({QStringLiteral("--date-format"), QStringLiteral("dd.MM.yyyy"), QStringLiteral("--decimal"),
        QStringLiteral(","), QStringLiteral("sql"), QStringLiteral("--db"), folder.path(), QStringLiteral("SELECT REG, VAL, DATE_F FROM emis"),
        QStringLiteral("WHERE DATE_F >= '01.01.1991'")});
    EXPECT_EQ(russian.status, 0) << russian.err.toStdString();
    EXPECT_EQ(russian.out, QStringLiteral("REG,VAL,DATE_F\n\"Химки, МО\",2,01.03.1991\n"));

    const CliResult us = run({QStringLiteral("sql"), QStringLiteral("--db"), folder.path(), QStringLiteral("SELECT * FROM emis"),
        QStringLiteral("WHERE DATE_F <= '1/31/1990'"), QStringLiteral("--date-format"), QStringLiteral("M/d/yyyy"),
        QStringLiteral("--decimal"), QStringLiteral(".")});
    EXPECT_EQ(us.status, 0) << us.err.toStdString();
    EXPECT_EQ(us.out, QStringLiteral("REG,VAL,DATE_F\n77,1.5,1/15/1990\n"));
}

TEST_F(DbCliTest, TablePrintsEveryRecord)
{
    const CliResult result = run({QStringLiteral("--date-format"), QStringLiteral("dd.MM.yyyy"), QStringLiteral("--decimal"),
        QStringLiteral(","), QStringLiteral("table"), QStringLiteral("--db"), folder.path(), QStringLiteral("emis")});
    EXPECT_EQ(result.status, 0) << result.err.toStdString();
    EXPECT_EQ(result.out, QStringLiteral("REG,VAL,DATE_F\n77,\"1,5\",15.01.1990\n\"Химки, МО\",2,01.03.1991\n"));
}

TEST_F(DbCliTest, ErrorsExitWithAMessage)
{
    struct Case {
        QStringList args;
        QString fragment;
    };
    const std::vector<Case> cases = {
        {{QStringLiteral("sql"), QStringLiteral("--db"), folder.path(), QStringLiteral("SELECT * FROM nosuch")}, QStringLiteral("SELECT * FROM nosuch")},
        {{QStringLiteral("sql"), QStringLiteral("--db"), folder.path(), QStringLiteral("SELECT FROM WHERE")}, QStringLiteral("SELECT FROM WHERE")},
        {{QStringLiteral("table"), QStringLiteral("--db"), folder.path(), QStringLiteral("nosuch")}, QStringLiteral("nosuch")},
        {{QStringLiteral("sql"), folder.path()}, QStringLiteral("--db")},
    };
    for (const Case& c : cases) {
        const CliResult result = run(c.args);
        EXPECT_EQ(result.status, 1) << c.args.join(u' ').toStdString();
        EXPECT_TRUE(result.err.contains(c.fragment)) << result.err.toStdString();
        EXPECT_TRUE(result.out.isEmpty());
    }
}

// A result that does not fit the memory the process may take ends with a Russian message naming
// the command, not with the name of the exception.
TEST_F(DbCliTest, RunningOutOfMemoryIsToldInRussian)
{
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the address sanitizer reserves more address space than the limit allows";
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
    GTEST_SKIP() << "the address sanitizer reserves more address space than the limit allows";
#endif
#endif
    QByteArray rows("A;B\n");
    for (int n = 0; n < 2000; ++n)
        rows += QByteArray::number(n) + ";x" + QByteArray::number(n) + "\n";
    writeBytes(folder.file(QStringLiteral("many.txt")), rows);
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("VEROLA_SYSTEM_DIR"), system.path());
    process.setProcessEnvironment(environment);
    // Four million rows of the cross join need more than the 200 MB of address space the
    // command may take.
    process.setChildProcessModifier([] {
        const rlimit limit{200u << 20, 200u << 20};
        setrlimit(RLIMIT_AS, &limit);
    });
    process.start(QStringLiteral(VEROLA_PROGRAM_DIR "/verola-cli"),
        {QStringLiteral("sql"), QStringLiteral("--db"), folder.path(), QStringLiteral("SELECT * FROM many, many AS other")});
    ASSERT_TRUE(process.waitForFinished(60000));
    const QString err = QString::fromUtf8(process.readAllStandardError());
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(process.exitCode(), 1) << err.toStdString();
    EXPECT_TRUE(err.startsWith(QStringLiteral("verola-cli: Недостаточно памяти: операция \""))) << err.toStdString();
    EXPECT_FALSE(err.contains(QStringLiteral("bad_alloc"))) << err.toStdString();
}

} // namespace
