#include "core/app/blockactions.h"
#include "core/app/configuration.h"
#include "core/app/fileset.h"
#include "core/app/transfer.h"
#include "core/app/workspace.h"
#include "core/platform/atomicfile.h"
#include "core/platform/errors.h"
#include "core/platform/textfile.h"
#include "core/tables/tablefile.h"
#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>

using namespace verola;
using namespace verola::test;

namespace {

class ConfigurationTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        state.feedback = &feedback;
        state.DataDirectory = data.path();
        writeTextLines(data.file("Default.map"), {"map line 1", "map line 2"});
    }
    QStringList files() const { return QDir(folder.path()).entryList(QDir::Files, QDir::Name); }
    QString path(const QString& name) const { return folder.file(name); }

    TempFolder folder;
    TempFolder data;
    RecordingFeedback feedback;
    ProcessState state;
    TWorkspace workspace{state};
};

// Fills every list file and table file of a configuration with distinct content.
void writeFullConfiguration(const QString& dir, const QString& name)
{
    const ConfigLocation location{dir, name};
    writeTextLines(location.filePath(".DES"), {"Full study", "second line"});
    writeTextLines(location.filePath(".map"), {"object 1"});
    for (int n = 0; n < 5; ++n) {
        for (int a = 0; a < 12; ++a) {
            const bool big = a < 2;
            const auto list = [&](const QString& mark) {
                QStringList lines{QStringLiteral("Ось %1.%2").arg(n).arg(a)};
                for (int i = 0; i < (big ? 3 : 1); ++i)
                    lines.append(QStringLiteral("\tЗначение %1|%2,%3").arg(i).arg(mark).arg(i));
                return lines;
            };
            writeTextLines(location.filePath(listFileExtension(TableKind::Block, n, a)), list("T"));
            writeTextLines(location.filePath(listFileExtension(TableKind::Rule, n, a)), list("D"));
            writeTextLines(location.filePath(listFileExtension(TableKind::Calc, n, a)), list("C"));
        }
        for (TableKind kind : {TableKind::Rule, TableKind::Extr, TableKind::Calc, TableKind::Est, TableKind::Block}) {
            QByteArray bytes;
            for (int i = 0; i < 9; ++i) {
                const float value = float(n * 100 + int(kind) * 10 + i) + 0.5f;
                bytes.append(reinterpret_cast<const char*>(&value), 4);
            }
            writeBytes(location.filePath(tableFileExtension(kind, n)), bytes);
        }
    }
}

// Every table of a block holds whole-set lists, indexes built from them and one missing cell.
void expectEmptyBlock(TCompPanel& block)
{
    for (int kind = 0; kind < 5; ++kind) {
        TTab& table = block.tableOfKind(kind);
        for (int a = 0; a < kAxisCount; ++a) {
            EXPECT_TRUE(IsWholeSet(table.FLists[a])) << "kind " << kind << ", axis " << a;
            EXPECT_EQ(table.FIndex[a].FCount, table.FLists[a].size() - 1) << "kind " << kind << ", axis " << a;
            EXPECT_EQ(table.FIndex[a].FLinePos.size(), table.FIndex[a].FCount) << "kind " << kind << ", axis " << a;
        }
        EXPECT_EQ(table.FDims, table.positionCounts()) << "kind " << kind;
        ASSERT_EQ(table.FCellCount, 1) << "kind " << kind;
        EXPECT_TRUE(isMissing(table.cellAt(0))) << "kind " << kind;
    }
    for (int a = 0; a < kAxisCount; ++a)
        EXPECT_EQ(block.Extr->Table().FMap[a].FCount, block.Extr->Table().FIndex[a].FGroups) << "axis " << a;
}

} // namespace

TEST_F(ConfigurationTest, OpeningOnlyADescriptionCreatesEveryListFile)
{
    writeTextLines(path("study.DES"), {"Описание"});
    ASSERT_TRUE(OpenConfiguration(workspace, path("study.DES")));
    EXPECT_EQ(files().size(), 1 + 180);
    EXPECT_EQ(readTextLines(path("study.o1b")), (QStringList{"Весь набор", "\tВесь набор|T"}));
    EXPECT_EQ(readTextLines(path("study.d1b")), (QStringList{"Весь набор", "\tВесь набор|D"}));
    EXPECT_EQ(readTextLines(path("study.c1b")), (QStringList{"Весь набор", "\tВесь набор|C"}));
    EXPECT_EQ(workspace.block(1)->BlockTable().FLists[11], (QStringList{"Весь набор", "\tВесь набор|T"}));
    EXPECT_TRUE(state.MapList.isEmpty());
    EXPECT_EQ(workspace.caption, QStringLiteral("study Описание"));
    EXPECT_EQ(feedback.captions, (QStringList{"Чтение файлов координат", "Чтение файлов данных"}));
    EXPECT_EQ(feedback.maxima, (std::vector<int>{5, 20}));
    EXPECT_EQ(feedback.steps, 5 + 5 * 4);

    SaveFileSet(workspace);
    EXPECT_EQ(files().size(), 1 + 180 + 25 + 1);
    EXPECT_EQ(readTextLines(path("study.map")), (QStringList{"map line 1", "map line 2"}));
    EXPECT_EQ(QFileInfo(path("study.x1")).size(), 4);
    EXPECT_EQ(feedback.captions.last(), QStringLiteral("Сохранение файлов координат и данных"));
}

TEST_F(ConfigurationTest, AFullConfigurationSavesToTheSameBytes)
{
    writeFullConfiguration(folder.path(), "full");
    QMap<QString, QByteArray> before;
    for (const QString& name : files())
        before[name] = readBytes(path(name));
    ASSERT_EQ(before.size(), 207);
    ASSERT_TRUE(OpenConfiguration(workspace, path("full.DES")));
    EXPECT_EQ(workspace.caption, QStringLiteral("full Full study"));
    EXPECT_EQ(state.MapList, QStringList{"object 1"});
    for (const QString& name : files())
        if (name != QStringLiteral("full.DES"))
            QFile::remove(path(name));
    SaveConfigurationAs(workspace, path("full.DES"));
    EXPECT_EQ(files(), QStringList(before.keys()));
    for (const QString& name : files())
        EXPECT_EQ(readBytes(path(name)), before[name]) << name.toStdString();
    EXPECT_EQ(workspace.caption, QStringLiteral("Система обработки информации \"Верола\" (выборка: full)"));
}

TEST_F(ConfigurationTest, ReferenceLineStaysOnlyInTheBlockTable)
{
    writeTextLines(path("r.o20"), {"Вещества", "\tNO2|T", "\tСО|subs.dbf,KOD,VAL"});
    ASSERT_TRUE(OpenConfiguration(workspace, path("r.DES")));
    TCompPanel& block = *workspace.block(2);
    EXPECT_EQ(block.Extr->Table().FLists[0], (QStringList{"Вещества", "\tNO2|T"}));
    EXPECT_EQ(block.Est->Table().FLists[0], (QStringList{"Вещества", "\tNO2|T"}));
    EXPECT_EQ(block.BlockTable().FLists[0].size(), 3);
    SaveFileSet(workspace);
    EXPECT_EQ(readTextLines(path("r.o20")).last(), QStringLiteral("\tСО|subs.dbf,KOD,VAL"));
}

TEST_F(ConfigurationTest, NamesDescriptionsAndRefusal)
{
    writeBytes(path("a.b.DES"), QByteArray()); // zero bytes: the caption is the name and a blank
    ASSERT_TRUE(OpenConfiguration(workspace, path("a.b.DES")));
    EXPECT_EQ(state.ConfigName, QStringLiteral("a"));
    EXPECT_EQ(state.ConfigDirectory, folder.path());
    EXPECT_EQ(workspace.caption, QStringLiteral("a "));
    EXPECT_TRUE(QFile::exists(path("a.o1b")));

    // Refusing the description reads nothing but keeps the chosen name for a following save.
    struct Refusing : RecordingFeedback {
        bool confirmDescription(const QStringList&) override { return false; }
    } refusing;
    state.feedback = &refusing;
    TempFolder other;
    EXPECT_FALSE(OpenConfiguration(workspace, other.file("b.DES")));
    EXPECT_EQ(state.ConfigName, QStringLiteral("b"));
    EXPECT_TRUE(QDir(other.path()).entryList(QDir::Files).isEmpty());
    EXPECT_EQ(workspace.caption, QStringLiteral("a "));
    SaveFileSet(workspace);
    EXPECT_TRUE(QFile::exists(other.file("b.x1")));
}

TEST_F(ConfigurationTest, FailuresWhileOpening)
{
    // A folder where missing lists cannot be created stops the reading; the block whose lists
    // it was reading is left empty and refuses its steps.
    EXPECT_FALSE(OpenConfiguration(workspace, folder.file("missing/x.DES")));
    EXPECT_EQ(workspace.caption, QStringLiteral("x "));
    TCompPanel& first = *workspace.blocksInComponentOrder().front();
    expectEmptyBlock(first);
    EXPECT_THROW(RulePanelClick(workspace, first), EInOutError);

    // A table file shorter than its table is skipped alone; the others are read.
    writeTextLines(path("s.d00"), {"H", "\ta|D", "\tb|D"});
    writeBytes(path("s.d0"), QByteArray(3, 0));
    const float value = 7.0f;
    writeBytes(path("s.x0"), QByteArray(reinterpret_cast<const char*>(&value), 4));
    ASSERT_TRUE(OpenConfiguration(workspace, path("s.DES")));
    EXPECT_EQ(workspace.block(0)->Extr->Table().cellAt(0), 7.0f);
    EXPECT_TRUE(isMissing(workspace.block(0)->Rule->Table().cellAt(0)));
}

TEST_F(ConfigurationTest, FailedSaveKeepsWhatWasWrittenAndNeedsDefaultMap)
{
    writeTextLines(path("m.DES"), {"x"});
    ASSERT_TRUE(OpenConfiguration(workspace, path("m.DES")));
    QFile::remove(data.file("Default.map"));
    EXPECT_THROW(SaveFileSet(workspace), EInOutError);
    EXPECT_TRUE(QFile::exists(path("m.b3")));
    EXPECT_FALSE(QFile::exists(path("m.map")));
    EXPECT_TRUE(feedback.captions.contains(QStringLiteral("Сохранение файлов координат и данных")));

    state.ConfigDirectory = folder.file("gone");
    EXPECT_THROW(SaveFileSet(workspace), EInOutError);
}

namespace {

QByteArray floats(std::initializer_list<float> values)
{
    QByteArray bytes;
    for (float value : values)
        bytes.append(reinterpret_cast<const char*>(&value), 4);
    return bytes;
}

} // namespace

TEST_F(ConfigurationTest, TableFilesThatCannotBeReadAreNamedAndKeptOnSave)
{
    writeTextLines(path("s.DES"), {"x"});
    writeTextLines(path("s.d00"), {"H", "\ta|D", "\tb|D"});
    const QByteArray truncated(6, 0);       // one and a half of the table's two cells
    const QByteArray longer = floats({1, 2, 3}); // three cells for a table of one
    writeBytes(path("s.d0"), truncated);
    writeBytes(path("s.c0"), longer);
    writeBytes(path("s.x0"), floats({7}));
    ASSERT_TRUE(OpenConfiguration(workspace, path("s.DES")));

    // Both tables are read as far as they go, and one message names both files.
    EXPECT_EQ(workspace.block(0)->Rule->Table().cellAt(0), 0.0f);
    EXPECT_TRUE(isMissing(workspace.block(0)->Rule->Table().cellAt(1)));
    EXPECT_EQ(workspace.block(0)->Calc->Table().cellAt(0), 1.0f);
    ASSERT_EQ(feedback.messages.size(), 1) << feedback.messages.join('\n').toStdString();
    EXPECT_TRUE(feedback.messages.first().contains(path("s.d0")));
    EXPECT_TRUE(feedback.messages.first().contains(path("s.c0")));
    EXPECT_FALSE(feedback.messages.first().contains(path("s.x0")));

    // Saving keeps each of them beside the new file, once: a second save keeps the first backup.
    for (int save = 0; save < 2; ++save) {
        SaveFileSet(workspace);
        EXPECT_EQ(readBytes(path("s.d0.bak")), truncated);
        EXPECT_EQ(readBytes(path("s.c0.bak")), longer);
        EXPECT_EQ(QFileInfo(path("s.d0")).size(), 8);
        EXPECT_EQ(QFileInfo(path("s.c0")).size(), 4);
        EXPECT_FALSE(QFile::exists(path("s.x0.bak")));
    }

    // Read again, the saved files are whole: nothing to report, nothing more to keep.
    feedback.messages.clear();
    ASSERT_TRUE(OpenConfiguration(workspace, path("s.DES")));
    EXPECT_TRUE(feedback.messages.isEmpty()) << feedback.messages.join('\n').toStdString();
}

TEST_F(ConfigurationTest, TableFilesOfABlockThatCannotBeIndexedAreKeptOnSave)
{
    writeTextLines(path("s.DES"), {"x"});
    QStringList tooLong{"H"};
    for (int i = 0; i <= kMaxAxisLines; ++i)
        tooLong.append(QStringLiteral("\tv%1|D").arg(i));
    writeTextLines(path("s.d30"), tooLong);
    const QByteArray cells = floats({5, 6});
    writeBytes(path("s.x3"), cells);
    ASSERT_TRUE(OpenConfiguration(workspace, path("s.DES")));
    ASSERT_EQ(feedback.messages.size(), 1);
    EXPECT_TRUE(feedback.messages.first().contains(path("s.x3")));
    SaveFileSet(workspace);
    EXPECT_EQ(readBytes(path("s.x3.bak")), cells);
}

// A list longer than an axis holds: the block is left empty, the open says which block and why,
// every step on the block is refused, and saving keeps the files it could not read.
TEST_F(ConfigurationTest, ABlockThatCannotBeReadIsLeftEmptyAndItsStepsAreRefused)
{
    writeTextLines(path("s.DES"), {"x"});
    QStringList tooLong{"Районы", "\tВсе|T,GROUP:SUM"};
    for (int i = 0; i < 40000; ++i)
        tooLong.append(QStringLiteral("\t\tР%1|T").arg(i));
    writeTextLines(path("s.o31"), tooLong);
    writeTextLines(path("s.d31"), tooLong);
    writeBytes(path("s.x3"), floats({5, 6}));
    ASSERT_TRUE(OpenConfiguration(workspace, path("s.DES")));

    TCompPanel& broken = *workspace.block(kDesBlock);
    ASSERT_EQ(feedback.messages.size(), 1);
    const QString& report = feedback.messages.first();
    EXPECT_TRUE(report.contains(QStringLiteral("Блок 3 (Заболеваемость) не прочитан"))) << report.toStdString();
    EXPECT_TRUE(report.contains(QStringLiteral("строк значений 40001"))) << report.toStdString();
    EXPECT_TRUE(report.contains(path("s.o31"))) << report.toStdString();
    EXPECT_TRUE(report.contains(path("s.x3"))) << report.toStdString();
    EXPECT_FALSE(broken.loadFailure().isEmpty());
    expectEmptyBlock(broken);

    TCompPanel& death = *workspace.block(kDeathBlock);
    const std::vector<std::pair<const char*, std::function<void()>>> steps = {
        {"rule", [&] { RulePanelClick(workspace, broken); }},
        {"extr", [&] { ExtrPanelClick(workspace, broken); }},
        {"calc", [&] { CalcPanelClick(workspace, broken); }},
        {"est", [&] { EstPanelClick(workspace, broken); }},
        {"selection", [&] { DBGeneralPanelClick(workspace, broken, BlockSteps{}); }},
        {"calc downstream", [&] { CalcPanelClick(workspace, death); }},
        {"transfer out", [&] { TablePanelDragDrop(workspace, death.Calc, broken.Extr); }},
        {"transfer in", [&] { TablePanelDragDrop(workspace, broken.Calc, death.Extr); }},
        {"summaries", [&] {
             workspace.activate(&broken);
             SummaryRecalculation(workspace);
         }},
    };
    for (const auto& [name, step] : steps) {
        try {
            step();
            ADD_FAILURE() << name << " ran on the block";
        } catch (const EInOutError& error) {
            EXPECT_TRUE(error.message().startsWith(QStringLiteral("Блок 3 (Заболеваемость) не прочитан")))
                << name << ": " << error.message().toStdString();
        }
    }
    expectEmptyBlock(broken);
    EXPECT_NO_THROW(RulePanelClick(workspace, *workspace.block(kPolBlock)));

    // Saving keeps the unread files beside the new ones; read again, the block is whole.
    SaveFileSet(workspace);
    EXPECT_EQ(readTextLines(path("s.o31.bak")), tooLong);
    EXPECT_EQ(readTextLines(path("s.d31.bak")), tooLong);
    EXPECT_EQ(readBytes(path("s.x3.bak")), floats({5, 6}));
    EXPECT_FALSE(QFile::exists(path("s.o30.bak")));
    feedback.messages.clear();
    ASSERT_TRUE(OpenConfiguration(workspace, path("s.DES")));
    EXPECT_TRUE(feedback.messages.isEmpty()) << feedback.messages.join('\n').toStdString();
    EXPECT_TRUE(broken.loadFailure().isEmpty());
    EXPECT_NO_THROW(RulePanelClick(workspace, broken));
}

TEST_F(ConfigurationTest, StaleTemporaryFilesOfTheSetAreRemovedOnOpenAndSave)
{
    writeTextLines(path("study.DES"), {"x"});
    const struct {
        const char* name;
        bool stale;
    } files[] = {
        {"study.x1.~0a1b2c3d", true},
        {"study.o1b.~deadbeef", true},
        {"study.DES.~01234567", true},
        {"study.map.~89abcdef", true},
        {"study.d0.bak.~00000000", true},
        {"other.x1.~0a1b2c3d", false},  // another set
        {"study.x1.~0a1b2c3", false},   // not a temporary name
        {"study.zz.~0a1b2c3d", false},  // not a file of the set
        {"study.x1.~0A1B2C3D", false},
        {"studyx.x1.~0a1b2c3d", false},
        {"notes.txt", false},
    };
    const auto writeAll = [&] {
        for (const auto& f : files)
            writeBytes(path(f.name), "half");
    };
    const auto check = [&](const char* when) {
        for (const auto& f : files)
            EXPECT_EQ(QFile::exists(path(f.name)), !f.stale) << when << ": " << f.name;
    };
    writeAll();
    ASSERT_TRUE(OpenConfiguration(workspace, path("study.DES")));
    check("open");
    writeAll();
    SaveFileSet(workspace);
    check("save");
}

TEST_F(ConfigurationTest, ASaveForcesEveryFileToTheDiskBeforeItsRenameThenTheFolder)
{
    writeTextLines(path("study.DES"), {"x"});
    ASSERT_TRUE(OpenConfiguration(workspace, path("study.DES")));
    QStringList synced;
    setDiskSyncObserver([&](const QString& synchronized) { synced.append(synchronized); });
    struct StopWatching {
        ~StopWatching() { setDiskSyncObserver({}); }
    } stopWatching;
    SaveFileSet(workspace);

    ASSERT_FALSE(synced.isEmpty());
    EXPECT_EQ(synced.last(), folder.path());
    synced.removeLast();
    QStringList targets;
    for (const QString& temporary : synced)
        targets.append(QFileInfo(temporaryFileTarget(temporary)).fileName());
    targets.sort();
    QStringList written = files();
    written.removeAll(QStringLiteral("study.DES"));
    EXPECT_EQ(targets, written);
    EXPECT_EQ(written.size(), 25 + 180 + 1);
}

TEST_F(ConfigurationTest, SavingWithoutANameIsRefused)
{
    // Files without a name (".x1") are hidden ones.
    const auto files = [this] { return QDir(folder.path()).entryList(QDir::Files | QDir::Hidden, QDir::Name); };
    state.ConfigDirectory = folder.path();
    state.ConfigName.clear();
    try {
        SaveFileSet(workspace);
        ADD_FAILURE() << "a set without a name was saved";
    } catch (const EInOutError& error) {
        EXPECT_TRUE(error.message().contains(QStringLiteral("without a name"))) << error.message().toStdString();
    }
    EXPECT_TRUE(files().isEmpty()) << files().join(' ').toStdString();

    // Nor is a new name that is no name at all; the current one stays.
    writeTextLines(path("study.DES"), {"x"});
    ASSERT_TRUE(OpenConfiguration(workspace, path("study.DES")));
    const QStringList opened = files();
    EXPECT_THROW(SaveConfigurationAs(workspace, path(".DES")), EInOutError);
    EXPECT_EQ(state.ConfigName, QStringLiteral("study"));
    EXPECT_EQ(files(), opened);
}

TEST_F(ConfigurationTest, SaveAsOffersTheDescriptionOfTheNewNameOrElseTheCurrentOne)
{
    const QStringList studyDescription{"Исследование выбросов", "вторая строка"};
    writeTextLines(path("study.DES"), studyDescription);
    writeTextLines(path("kept.DES"), {"Своё описание"});
    ASSERT_TRUE(OpenConfiguration(workspace, path("study.DES")));

    SaveConfigurationAs(workspace, path("copy.DES"));
    EXPECT_EQ(readTextLines(path("copy.DES")), studyDescription);
    EXPECT_TRUE(QFile::exists(path("copy.x1")));

    SaveConfigurationAs(workspace, path("kept.DES"));
    EXPECT_EQ(readTextLines(path("kept.DES")), QStringList{"Своё описание"});
}

TEST_F(ConfigurationTest, ATableWithoutAFileKeepsItsCellsOnlyWhileTheyFitItsLists)
{
    const QStringList threeRegions{"Регионы", "\ta|T", "\tb|T", "\tc|T"};
    writeTextLines(path("a.DES"), {"a"});
    writeTextLines(path("a.o11"), threeRegions);
    writeBytes(path("a.x1"), floats({1, 2, 3}));
    ASSERT_TRUE(OpenConfiguration(workspace, path("a.DES")));
    TTab& extr = workspace.block(1)->Extr->Table();
    ASSERT_EQ(extr.cellAt(2), 3.0f);

    // The same shape without a table file: the cells stay as they were.
    writeTextLines(path("same.DES"), {"same"});
    writeTextLines(path("same.o11"), threeRegions);
    ASSERT_TRUE(OpenConfiguration(workspace, path("same.DES")));
    EXPECT_EQ(extr.cellAt(2), 3.0f);

    // Another shape: missing cells of that shape, so that what is saved can be read again.
    writeTextLines(path("other.DES"), {"other"});
    writeTextLines(path("other.o11"), {"Регионы", "\ta|T", "\tb|T", "\tc|T", "\td|T"});
    ASSERT_TRUE(OpenConfiguration(workspace, path("other.DES")));
    EXPECT_EQ(extr.FCellCount, 4);
    EXPECT_TRUE(isMissing(extr.cellAt(2)));
    SaveFileSet(workspace);
    EXPECT_EQ(QFileInfo(path("other.x1")).size(), 16);
    EXPECT_EQ(QFileInfo(path("other.s1")).size(), 16);
    EXPECT_EQ(QFileInfo(path("other.b1")).size(), 16);
    feedback.messages.clear();
    ASSERT_TRUE(OpenConfiguration(workspace, path("other.DES")));
    EXPECT_TRUE(feedback.messages.isEmpty()) << feedback.messages.join('\n').toStdString();
}
