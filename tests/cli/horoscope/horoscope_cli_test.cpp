#include "testsupport.h"

#include <QRegularExpression>
#include <QStringList>
#include <gtest/gtest.h>

using verola::test::runCli;
using verola::test::TempFolder;

namespace {

const QStringList kBodies = {"Mercury", "Venus", "Mars", "Jupiter", "Saturn", "Uranus", "Neptune", "Pluto", "Chiron",
    "Moon", "Sun", "DescNode", "AscNode", "Ascendent"};
const QStringList kAspects = {"Conjunction", "Bisextile", "Biquintile", "Biquadrate", "Sextile", "Quintile",
    "Quadrate", "Trin", "Sesquiquadrate", "144", "150", "Opposition"};

QStringList lines(const QString& text)
{
    return text.split(u'\n', Qt::SkipEmptyParts);
}

// An empty system directory: no settings file, so the data directory is the shipped one.
class HoroscopeCli : public ::testing::Test {
protected:
    verola::test::CliResult run(const QStringList& arguments) { return runCli(arguments, system.path()); }
    TempFolder system;
};

TEST_F(HoroscopeCli, PrintsBodiesInOrderThenAspectPairsInTableOrder)
{
    const auto result = run({"--date-format", "dd.MM.yyyy", "horoscope", "01.01.2000"});
    ASSERT_EQ(result.status, 0) << result.err.toStdString();
    const QStringList out = lines(result.out);
    ASSERT_GT(out.size(), 14);

    const QRegularExpression bodyLine(QStringLiteral("^([A-Za-z]+),(\\d{1,3}\\.\\d{4}),(\\d{1,2}),([A-Za-z]+)$"));
    for (int i = 0; i < 14; ++i) {
        const auto match = bodyLine.match(out[i]);
        ASSERT_TRUE(match.hasMatch()) << out[i].toStdString();
        EXPECT_EQ(match.captured(1), kBodies[i]);
        const double degrees = match.captured(2).toDouble();
        EXPECT_EQ(match.captured(3).toInt(), int(degrees) % 360 / 30 + 1) << out[i].toStdString();
    }
    // The Sun at 06:00 on 1 January 2000: 280.12° (VSOP87), in Capricornus.
    EXPECT_TRUE(out[10].startsWith(QStringLiteral("Sun,280.1"))) << out[10].toStdString();
    EXPECT_TRUE(out[10].endsWith(QStringLiteral(",10,Capricornus")));
    EXPECT_TRUE(out[13].contains(QStringLiteral(".0000,"))) << "the Ascendent is whole degrees";

    int lastKind = 0;
    for (int i = 14; i < out.size(); ++i) {
        const QStringList fields = out[i].split(u',');
        ASSERT_EQ(fields.size(), 3) << out[i].toStdString();
        const int kind = kAspects.indexOf(fields[0]);
        ASSERT_GE(kind, lastKind) << out[i].toStdString();
        lastKind = kind;
        EXPECT_LT(kBodies.indexOf(fields[1]), kBodies.indexOf(fields[2])) << out[i].toStdString();
        EXPECT_GE(kBodies.indexOf(fields[1]), 0);
    }
    EXPECT_TRUE(out.contains(QStringLiteral("Opposition,DescNode,AscNode")));
}

TEST_F(HoroscopeCli, DateFormatOptionAndOrbFileGiveTheSameHoroscope)
{
    const auto shipped = run({"--date-format", "dd.MM.yyyy", "horoscope", "20.07.1969"});
    const auto iso = run({"horoscope", "1969-07-20", "--date-format", "yyyy-MM-dd", "--orb",
        QStringLiteral(VEROLA_PROGRAM_DIR "/eco/work/Planets.orb")});
    ASSERT_EQ(shipped.status, 0) << shipped.err.toStdString();
    ASSERT_EQ(iso.status, 0) << iso.err.toStdString();
    EXPECT_EQ(shipped.out, iso.out);
    const auto otherDay = run({"--date-format", "dd.MM.yyyy", "horoscope", "21.07.1969"});
    EXPECT_NE(shipped.out, otherDay.out);
}

TEST_F(HoroscopeCli, ErrorsEndWithAMessageAndStatusOne)
{
    TempFolder folder;
    const QString shortFile = folder.file(QStringLiteral("short.orb"));
    verola::test::writeBytes(shortFile, QByteArray(100, '\0'));
    struct Case {
        QStringList arguments;
        QString message;
    };
    const std::vector<Case> cases = {
        {{"--date-format", "dd.MM.yyyy", "horoscope", "32.01.2000"}, "не является датой"},
        {{"--date-format", "dd.MM.yyyy", "horoscope", "01.01.2000", "--orb", shortFile}, "слишком короткий"},
        {{"--date-format", "dd.MM.yyyy", "horoscope", "01.01.2000", "--orb", folder.file("none.orb")}, "none.orb"},
        {{"horoscope"}, "verola-cli: укажите ровно одну дату рождения\n"},
    };
    for (const Case& c : cases) {
        const auto result = run(c.arguments);
        EXPECT_EQ(result.status, 1) << c.arguments.join(' ').toStdString();
        EXPECT_TRUE(result.out.isEmpty()) << result.out.toStdString();
        EXPECT_TRUE(result.err.contains(c.message)) << result.err.toStdString();
    }
}

TEST_F(HoroscopeCli, DataDirectoryComesFromTheSettings)
{
    TempFolder data;
    verola::test::writeBytes(system.file(QStringLiteral("RuzUzo.ini")),
        QStringLiteral("[General]\r\nDataDirectory=%1\r\n").arg(data.path()).toLocal8Bit());
    const auto result = run({"--date-format", "dd.MM.yyyy", "horoscope", "01.01.2000"});
    EXPECT_EQ(result.status, 1);
    EXPECT_TRUE(result.err.contains(data.path() + QStringLiteral("/Planets.orb"))) << result.err.toStdString();
}

} // namespace
