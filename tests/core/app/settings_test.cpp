#include "core/app/processstate.h"
#include "core/app/settings.h"
#include "core/platform/paths.h"
#include "core/platform/privateprofile.h"
#include "core/platform/textfile.h"
#include "testsupport.h"

#include <QFile>
#include <gtest/gtest.h>

using namespace verola;
using namespace verola::test;

namespace {

class SettingsTest : public ::testing::Test {
protected:
    TempFolder system;
    ScopedSystemDirectory scope{system.path()};
    const QString programPath = QStringLiteral("/opt/verola/bin/verola");
    QString settingsPath() const { return system.file("RuzUzo.ini"); }
};

} // namespace

TEST_F(SettingsTest, NoSettingsFileGivesTheDefaults)
{
    ProcessState state;
    initialiseProcessState(state, programPath);
    EXPECT_EQ(state.programDirectory, QStringLiteral("/opt/verola/bin/"));
    EXPECT_EQ(state.DataDirectory, QStringLiteral("/opt/verola/bin/eco/work"));
    EXPECT_EQ(state.DataDBFRiskDirectory, QStringLiteral("/opt/verola/bin/eco/work/risk"));
    EXPECT_EQ(state.ConfigDirectory, state.DataDirectory);
    EXPECT_EQ(state.SettingsFileName, QStringLiteral("RuzUzo.ini"));
    EXPECT_EQ(state.ActiveBlock, kConcBlock);
    EXPECT_EQ(state.UpstreamBlock, kPolBlock);
    EXPECT_EQ(state.currentValueLine, -1);
    EXPECT_EQ(state.coordinateCaptionList.size(), 10);
    ASSERT_NE(state.StagingTab, nullptr);
    EXPECT_EQ(state.StagingTab->FCellCount, 1);
    for (int block = 0; block < kBlockCount; ++block)
        EXPECT_FALSE(ReadBlockVisible(blockKindCode(block)));
    const FontSettings font = LoadFontSettings();
    EXPECT_EQ(font.face, QStringLiteral("MS Sans Serif"));
    EXPECT_EQ(font.pointSize, 8);
    EXPECT_EQ(ReadEditorProgram(), QStringLiteral("notepad.exe"));

    writeBackSettingsAtExit(state);
    EXPECT_FALSE(QFile::exists(settingsPath()));
}

TEST_F(SettingsTest, ValuesComeFromTheSettingsFile)
{
    writeBytes(settingsPath(), QByteArray("[general]\r\ndatadirectory=/data/\r\nDataDBFRiskDirectory=/risk\r\n"
                                          "FontName=Arial\r\nFontSize=11\r\nIniEdit=kate\r\n"
                                          "[Visible]\r\nConc=1\r\nDes=0\r\nDeath=yes\r\n"));
    ProcessState state;
    state.ConfigDirectory = QStringLiteral("/configs");
    LoadSettings(state, programPath);
    EXPECT_EQ(state.DataDirectory, QStringLiteral("/data/"));
    EXPECT_EQ(state.DataDBFRiskDirectory, QStringLiteral("/risk"));
    EXPECT_EQ(state.ConfigDirectory, QStringLiteral("/configs")); // an open configuration keeps its folder
    EXPECT_EQ(LoadFontSettings().face, QStringLiteral("Arial"));
    EXPECT_EQ(LoadFontSettings().pointSize, 11);
    EXPECT_EQ(ReadEditorProgram(), QStringLiteral("kate"));
    EXPECT_TRUE(ReadBlockVisible("Conc"));
    EXPECT_FALSE(ReadBlockVisible("Des"));
    EXPECT_FALSE(ReadBlockVisible("Death")); // not a number: the default
    EXPECT_FALSE(ReadBlockVisible("Pol"));
}

TEST_F(SettingsTest, ExitWritesBackOnlyADataDirectoryOtherThanTheDefault)
{
    struct Case {
        const char* dataDirectory;
        bool written;
        const char* writtenValue;
    };
    const std::vector<Case> cases = {
        {"/data/", true, "/data"},
        {"/opt/verola/bin/eco/work", false, ""},
        {"/OPT/Verola/bin/ECO/work/", false, ""},
    };
    for (const Case& c : cases) {
        QFile::remove(settingsPath());
        writeBytes(settingsPath(), QByteArray("[General]\r\nDataDirectory=") + c.dataDirectory + "\r\n");
        const QByteArray before = readBytes(settingsPath());
        ProcessState state;
        LoadSettings(state, programPath);
        writeBackSettingsAtExit(state);
        const PrivateProfile ini(QStringLiteral("RuzUzo.ini"));
        if (c.written) {
            EXPECT_EQ(ini.readString("General", "DataDirectory", ""), QString::fromLatin1(c.writtenValue));
            EXPECT_EQ(ini.readString("General", "DataDBFRiskDirectory", ""),
                QStringLiteral("/opt/verola/bin/eco/work/risk"));
        } else {
            EXPECT_EQ(readBytes(settingsPath()), before) << c.dataDirectory;
        }
    }
}

TEST_F(SettingsTest, ScratchFilesAreDeletedWhenPresent)
{
    TempFolder scratch;
    qputenv("VEROLA_SCRATCH_DIR", scratch.path().toLocal8Bit());
    writeBytes(scratch.file("~temp."), "x");
    writeBytes(scratch.file("tmp.map"), "x");
    writeBytes(scratch.file("keep.map"), "x");
    deleteScratchFiles();
    EXPECT_FALSE(QFile::exists(scratch.file("~temp.")));
    EXPECT_FALSE(QFile::exists(scratch.file("tmp.map")));
    EXPECT_TRUE(QFile::exists(scratch.file("keep.map")));
    qunsetenv("VEROLA_SCRATCH_DIR");
}

TEST_F(SettingsTest, StartUpEndsWithTheBlockConnectionOfTheDataDirectory)
{
    TempFolder data;
    writeBytes(settingsPath(), ("[General]\r\nDataDirectory=" + data.path() + "\r\n").toUtf8());
    writeTextLines(data.file("total.cnn"), {"Блоки", "\tГород", "\t\tРайон|"});
    ProcessState state;
    initialiseProcessState(state, programPath);
    createBlockConnection(state);
    ASSERT_NE(state.blockConnection, nullptr);
    state.blockConnection->CoordinateNames(0);
    ASSERT_EQ(state.blockConnection->CoordinateNameList().size(), 1u);
    EXPECT_EQ(state.blockConnection->CoordinateNameList().front().name, QStringLiteral("Район"));

    // Without the file the built-in tree serves.
    QFile::remove(data.file("total.cnn"));
    createBlockConnection(state);
    state.blockConnection->CoordinateNames(0);
    EXPECT_EQ(state.blockConnection->CoordinateNameList().size(), 4u);
}
