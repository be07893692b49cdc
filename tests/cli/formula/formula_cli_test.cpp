#include "core/platform/textfile.h"
#include "testsupport.h"

#include <gtest/gtest.h>

#include <QDataStream>
#include <QFile>

using namespace verola;
using verola::test::runCli;
using verola::test::TempFolder;

namespace {

struct EvalCase {
    QStringList arguments;
    int status;
    QString out;
    QString err;
};

TEST(EvalCommand, PrintsTheValueOrTheErrorWithItsStatus)
{
    const std::vector<EvalCase> cases = {
        {{QStringLiteral("2+3*4")}, 0, QStringLiteral("14\n"), QString()},
        {{QStringLiteral("-2^2")}, 0, QStringLiteral("-4\n"), QString()},
        {{QStringLiteral("x*y+t"), QStringLiteral("X=1.5"), QStringLiteral("y=4"), QStringLiteral("T=-0.25")}, 0,
            QStringLiteral("5.75\n"), QString()},
        {{QStringLiteral("1/3")}, 0, QStringLiteral("0.333333333333333\n"), QString()},
        {{QStringLiteral("10^20")}, 0, QStringLiteral("1E20\n"), QString()},
        {{QStringLiteral("2^3^2")}, 2, QString(), QStringLiteral("ESyntaxError: Error parsing expression: 2^3 2\n")},
        {{QStringLiteral("7 MOD 2")}, 2, QString(), QStringLiteral("EExpressionHasBlanks: Expression has blanks\n")},
        {{QStringLiteral("(1")}, 2, QString(), QStringLiteral("EMissMatchingBracket: Missing brackets in expression\n")},
        {{QStringLiteral("1/0")}, 3, QString(), QStringLiteral("ошибка вычисления с плавающей точкой: Деление на ноль при вычислении с плавающей точкой\n")},
        {{QStringLiteral("ln(a)"), QStringLiteral("A=-1")}, 3, QString(),
            QStringLiteral("ошибка вычисления с плавающей точкой: Недопустимая операция с плавающей точкой\n")},
        {{QStringLiteral("1"), QStringLiteral("Q=1")}, 1, QString(),
            QStringLiteral("verola-cli: \"Q\" не является переменной: допустимы A, B, C, D, E, X, Y и T\n")},
        {{QStringLiteral("1"), QStringLiteral("A=1,5")}, 1, QString(),
            QStringLiteral("verola-cli: \"1,5\" не является числом (десятичный разделитель \".\")\n")},
        {{QStringLiteral("--formula"), QStringLiteral("MAX(2,7)/2")}, 0, QStringLiteral("3.5\n"), QString()},
        {{QStringLiteral("--formula"), QStringLiteral("1/0")}, 0, QStringLiteral("-999\n"), QString()},
        {{QStringLiteral("--formula"), QStringLiteral("0.1")}, 0, QStringLiteral("0.100000001490116\n"), QString()},
        {{QStringLiteral("--formula"), QStringLiteral("@Устойчивость по Screen2(3_12:00_0,2)")}, 0,
            QStringLiteral("2\n"), QString()},
        {{QStringLiteral("--formula"), QStringLiteral("@Инверсия-Nozaki(1_2)")}, 0, QStringLiteral("-999\n"),
            QString()},
        {{QStringLiteral("--formula"), QStringLiteral("@Устойчивость по ветру(1_0_1_12_0)")}, 3, QString(),
            QStringLiteral("ошибка вычисления с плавающей точкой: Деление на ноль при вычислении с плавающей точкой\n")},
    };
    for (const EvalCase& c : cases) {
        const test::CliResult result =
            runCli(QStringList{QStringLiteral("--decimal"), QStringLiteral(","), QStringLiteral("eval")} + c.arguments);
        const std::string label = c.arguments.join(u' ').toStdString();
        EXPECT_EQ(result.status, c.status) << label << "\n" << result.err.toStdString();
        EXPECT_EQ(result.out, c.out) << label;
        if (!c.err.isEmpty()) {
            EXPECT_EQ(result.err, c.err) << label;
        }
        if (c.status == 1) {
            EXPECT_FALSE(result.err.isEmpty()) << label;
        }
    }
}

void writeCells(const QString& path, const std::vector<float>& cells)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    QDataStream out(&file);
    out.setByteOrder(QDataStream::LittleEndian);
    out.setFloatingPointPrecision(QDataStream::SinglePrecision);
    for (float cell : cells)
        out << cell;
}

// The summary table of block 1: axis 0 holds a mean over two leaves and a constant.
class SummarizeCommand : public ::testing::Test {
protected:
    void SetUp() override
    {
        writeTextLines(folder.file(QStringLiteral("study.DES")), {QStringLiteral("Summaries")});
        writeTextLines(folder.file(QStringLiteral("study.o10")),
            {QStringLiteral("Вещества"), QStringLiteral("Mean|g,GROUP:AVER"), QStringLiteral("\ta|l"),
                QStringLiteral("\tb|l"), QStringLiteral("Fixed|g,GROUP:CONST,7"), QStringLiteral("\tc|l"),
                QStringLiteral("СО|r")});
        writeCells(folder.file(QStringLiteral("study.x1")), {-999, 2, 4, -999, 1});
    }

    QString config() const { return folder.file(QStringLiteral("study.DES")); }
    test::CliResult dump(const QString& path) const
    {
        return runCli({QStringLiteral("dump"), path, QStringLiteral("--block"), QStringLiteral("1"),
            QStringLiteral("--table"), QStringLiteral("extr")});
    }

    TempFolder folder;
};

TEST_F(SummarizeCommand, WritesTheSummaryIntoTheTablesOwnFile)
{
    const test::CliResult result = runCli({QStringLiteral("summarize"), config(), QStringLiteral("--block"),
        QStringLiteral("1"), QStringLiteral("--table"), QStringLiteral("extr")});
    ASSERT_EQ(result.status, 0) << result.err.toStdString();
    EXPECT_EQ(result.out, QStringLiteral("в файл %1 записано ячеек: 5\n").arg(folder.file(QStringLiteral("study.x1"))));
    const test::CliResult shown = dump(config());
    ASSERT_EQ(shown.status, 0);
    EXPECT_EQ(shown.out, QStringLiteral("Pollutant,Value\nMean,3\na,2\nb,4\nFixed,7\nc,1\n"));
}

TEST_F(SummarizeCommand, OutWritesElsewhereAndLeavesTheTableFile)
{
    const QByteArray before = test::readBytes(folder.file(QStringLiteral("study.x1")));
    const QString out = folder.file(QStringLiteral("other.x1"));
    const test::CliResult result = runCli({QStringLiteral("summarize"), config(), QStringLiteral("--block"),
        QStringLiteral("1"), QStringLiteral("--table"), QStringLiteral("extr"), QStringLiteral("--out"), out});
    ASSERT_EQ(result.status, 0) << result.err.toStdString();
    EXPECT_EQ(test::readBytes(folder.file(QStringLiteral("study.x1"))), before);
    EXPECT_EQ(test::readBytes(out).size(), 20);
}

TEST_F(SummarizeCommand, AStoppingErrorKeepsTheCellsComputedBefore)
{
    writeTextLines(folder.file(QStringLiteral("study.o10")),
        {QStringLiteral("Вещества"), QStringLiteral("Mean|g,GROUP:CONST,много"), QStringLiteral("\ta|l"),
            QStringLiteral("\tb|l"), QStringLiteral("Sum|g,GROUP:SUM"), QStringLiteral("\tc|l")});
    const test::CliResult result = runCli({QStringLiteral("summarize"), config(), QStringLiteral("--block"),
        QStringLiteral("1"), QStringLiteral("--table"), QStringLiteral("extr")});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err, QStringLiteral("ошибка преобразования: \"много\" не является числом\n"));
    EXPECT_EQ(dump(config()).out, QStringLiteral("Pollutant,Value\na,2\nb,4\nSum,1\nc,1\n"));
}

TEST_F(SummarizeCommand, ValueLineFeedsTheCurrentFieldOfFormRules)
{
    writeTextLines(folder.file(QStringLiteral("study.o10")),
        {QStringLiteral("Вещества"), QStringLiteral("Share|g,GROUP:FORM,a/Текущее поле"), QStringLiteral("\ta|l"),
            QStringLiteral("\tb|l"), QStringLiteral("Fixed|g,GROUP:SUM"), QStringLiteral("\tc|l")});
    QStringList arguments{QStringLiteral("summarize"), config(), QStringLiteral("--block"), QStringLiteral("1"),
        QStringLiteral("--table"), QStringLiteral("extr")};
    ASSERT_EQ(runCli(arguments).status, 0);
    EXPECT_EQ(dump(config()).out, QStringLiteral("Pollutant,Value\na,2\nb,4\nFixed,1\nc,1\n"));
    ASSERT_EQ(runCli(arguments + QStringList{QStringLiteral("--value-line"), QStringLiteral("2")}).status, 0);
    EXPECT_EQ(dump(config()).out, QStringLiteral("Pollutant,Value\nShare,0.5\na,2\nb,4\nFixed,1\nc,1\n"));
}

TEST_F(SummarizeCommand, RejectsBadArguments)
{
    EXPECT_EQ(runCli({QStringLiteral("summarize"), config(), QStringLiteral("--block"), QStringLiteral("9"),
                  QStringLiteral("--table"), QStringLiteral("extr")})
                  .status,
        1);
    EXPECT_EQ(runCli({QStringLiteral("summarize"), config(), QStringLiteral("--block"), QStringLiteral("1"),
                  QStringLiteral("--table"), QStringLiteral("sum")})
                  .status,
        1);
}

} // namespace
