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
#include <bit>
#include <functional>
#include <sys/stat.h>

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

TEST_F(ConfigurationTest, OpeningOnlyADescriptionWritesNothingAndTheSaveWritesEveryFile)
{
    writeTextLines(path("study.DES"), {"Описание"});
    ASSERT_TRUE(OpenConfiguration(workspace, path("study.DES")));
    EXPECT_EQ(files(), QStringList{"study.DES"});
    const QStringList wholeSetT{"Весь набор", "\tВесь набор|T"};
    EXPECT_EQ(workspace.block(1)->BlockTable().FLists[11], wholeSetT);
    EXPECT_EQ(workspace.block(1)->Extr->Table().FLists[11], wholeSetT);
    EXPECT_EQ(workspace.block(1)->Est->Table().FLists[11], wholeSetT);
    EXPECT_EQ(workspace.block(1)->Rule->Table().FLists[11], (QStringList{"Весь набор", "\tВесь набор|D"}));
    EXPECT_EQ(workspace.block(1)->Calc->Table().FLists[11], (QStringList{"Весь набор", "\tВесь набор|C"}));
    EXPECT_TRUE(state.MapList.isEmpty());
    EXPECT_EQ(workspace.caption, QStringLiteral("study Описание"));
    EXPECT_EQ(feedback.captions, (QStringList{"Чтение файлов координат", "Чтение файлов данных"}));
    EXPECT_EQ(feedback.maxima, (std::vector<int>{5, 20}));
    EXPECT_EQ(feedback.steps, 5 + 5 * 4);

    SaveFileSet(workspace);
    EXPECT_EQ(files().size(), 1 + 180 + 25 + 1);
    EXPECT_EQ(readTextLines(path("study.o1b")), wholeSetT);
    EXPECT_EQ(readTextLines(path("study.d1b")), (QStringList{"Весь набор", "\tВесь набор|D"}));
    EXPECT_EQ(readTextLines(path("study.c1b")), (QStringList{"Весь набор", "\tВесь набор|C"}));
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
    EXPECT_FALSE(QFile::exists(path("a.o1b"))) << "opening writes nothing";

    // Refusing the description reads nothing and changes nothing: the configuration still open
    // keeps its name, folder and caption, and a following save writes its own files.
    struct Refusing : RecordingFeedback {
        bool confirmDescription(const QStringList&) override { return false; }
    } refusing;
    state.feedback = &refusing;
    TempFolder other;
    writeTextLines(other.file("b.DES"), {"Другая"});
    EXPECT_FALSE(OpenConfiguration(workspace, other.file("b.DES")));
    EXPECT_EQ(state.ConfigName, QStringLiteral("a"));
    EXPECT_EQ(state.ConfigDirectory, folder.path());
    EXPECT_EQ(workspace.caption, QStringLiteral("a "));
    SaveFileSet(workspace);
    EXPECT_TRUE(QFile::exists(path("a.x1")));
    EXPECT_EQ(QDir(other.path()).entryList(QDir::Files), QStringList{"b.DES"});
}

TEST_F(ConfigurationTest, OpeningANamelessSetWritesNothing)
{
    const auto allFiles = [this] { return QDir(folder.path()).entryList(QDir::Files | QDir::Hidden, QDir::Name); };
    writeTextLines(path(".DES"), {"без имени"});
    ASSERT_TRUE(OpenConfiguration(workspace, path(".DES")));
    EXPECT_EQ(state.ConfigName, QString());
    EXPECT_EQ(allFiles(), QStringList{".DES"});
    EXPECT_EQ(workspace.block(0)->Rule->Table().FLists[0], (QStringList{"Весь набор", "\tВесь набор|D"}));
}

TEST_F(ConfigurationTest, FailuresWhileOpening)
{
    // A folder that does not exist gives missing lists only; nothing is made there.
    EXPECT_TRUE(OpenConfiguration(workspace, folder.file("missing/x.DES")));
    EXPECT_EQ(workspace.caption, QStringLiteral("x "));
    EXPECT_FALSE(QFileInfo::exists(folder.file("missing")));

    // A table file shorter than its table is skipped alone; the others are read.
    writeTextLines(path("s.d00"), {"H", "\ta|D", "\tb|D"});
    writeBytes(path("s.d0"), QByteArray(3, 0));
    const float value = 7.0f;
    writeBytes(path("s.x0"), QByteArray(reinterpret_cast<const char*>(&value), 4));
    ASSERT_TRUE(OpenConfiguration(workspace, path("s.DES")));
    EXPECT_EQ(workspace.block(0)->Extr->Table().cellAt(0), 7.0f);
    EXPECT_TRUE(isMissing(workspace.block(0)->Rule->Table().cellAt(0)));
}

TEST_F(ConfigurationTest, ASaveWithoutADefaultMapOrAFolderWritesNothing)
{
    writeTextLines(path("m.DES"), {"x"});
    ASSERT_TRUE(OpenConfiguration(workspace, path("m.DES")));
    QFile::remove(data.file("Default.map"));
    const auto failure = [this] {
        try {
            SaveFileSet(workspace);
        } catch (const EInOutError& error) {
            return error.message();
        }
        return QString();
    };
    const QString noMap = failure();
    EXPECT_TRUE(noMap.contains(QStringLiteral("Конфигурация \"%1\" не сохранена").arg(path("m.DES"))))
        << noMap.toStdString();
    EXPECT_TRUE(noMap.contains(QStringLiteral("\"%1\": нет такого файла или каталога").arg(data.file("Default.map"))))
        << noMap.toStdString();
    EXPECT_EQ(files(), QStringList{"m.DES"});

    state.ConfigDirectory = folder.file("gone");
    const QString noFolder = failure();
    EXPECT_TRUE(noFolder.contains(QStringLiteral("\"%1\"").arg(folder.file("gone")))) << noFolder.toStdString();
    EXPECT_TRUE(noFolder.endsWith(QStringLiteral("нет такого файла или каталога"))) << noFolder.toStdString();
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
        EXPECT_EQ(error.message(), QStringLiteral("Конфигурация без имени не сохраняется в каталог \"%1\": "
                                                  "сохраните её под именем командой \"Сохранить как\"")
                                       .arg(folder.path()));
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

namespace {

const QByteArray kUtf8Bom("\xEF\xBB\xBF");

QByteArray utf8File(const QStringList& lines)
{
    return kUtf8Bom + (lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n")).toUtf8();
}

// The message of the error an action throws; empty when it throws none.
template <typename Action>
QString failureOf(Action action)
{
    try {
        action();
    } catch (const EPlatformError& error) {
        return error.message();
    }
    return QString();
}

// The names of the files that differ between two states of a folder, for a readable failure.
QStringList differingFiles(const QMap<QString, QByteArray>& before, const QMap<QString, QByteArray>& after)
{
    QStringList names;
    for (auto it = before.begin(); it != before.end(); ++it)
        if (!after.contains(it.key()) || after.value(it.key()) != it.value())
            names.append(it.key());
    for (auto it = after.begin(); it != after.end(); ++it)
        if (!before.contains(it.key()))
            names.append(it.key());
    return names;
}

struct stat statusOf(const QString& path)
{
    struct stat status {};
    EXPECT_EQ(::stat(QFile::encodeName(path).constData(), &status), 0) << path.toStdString();
    return status;
}

} // namespace

TEST_F(ConfigurationTest, ASaveThatFailsHalfWayLeavesTheWholeOldSet)
{
    writeFullConfiguration(folder.path(), "full");
    ASSERT_TRUE(OpenConfiguration(workspace, path("full.DES")));
    const QString caption = workspace.caption;
    for (TCompPanel* block : workspace.blocksInComponentOrder())
        block->Extr->Table().setCellAt(0, 42.0f); // the new set differs from the old one
    // A folder named like the last list the save writes: every other file is written before it.
    const QMap<QString, QByteArray> before = filesWithBytes(folder.path());
    ASSERT_TRUE(QFile::remove(path("full.c3b")));
    ASSERT_TRUE(QDir(folder.path()).mkdir("full.c3b"));

    const QString message = failureOf([&] { SaveFileSet(workspace); });
    EXPECT_TRUE(message.startsWith(QStringLiteral("Конфигурация \"%1\" не сохранена.").arg(path("full.DES"))))
        << message.toStdString();
    EXPECT_TRUE(message.contains(QStringLiteral("\"%1\": это каталог").arg(path("full.c3b")))) << message.toStdString();
    EXPECT_TRUE(message.endsWith(QStringLiteral("Прежние файлы конфигурации не изменены."))) << message.toStdString();
    QMap<QString, QByteArray> unchanged = before;
    unchanged.remove("full.c3b");
    EXPECT_EQ(differingFiles(unchanged, filesWithBytes(folder.path())), QStringList())
        << "no file replaced, no temporary file left";

    // Under a new name: nothing of it is written, not even its description, and the name,
    // the folder and the caption stay those of the configuration saved.
    ASSERT_TRUE(QDir(folder.path()).mkdir("copy.map"));
    const QString asMessage = failureOf([&] { SaveConfigurationAs(workspace, path("copy.DES")); });
    EXPECT_TRUE(asMessage.contains(QStringLiteral("\"%1\": это каталог").arg(path("copy.map"))))
        << asMessage.toStdString();
    EXPECT_EQ(state.ConfigName, QStringLiteral("full"));
    EXPECT_EQ(state.ConfigDirectory, folder.path());
    EXPECT_EQ(workspace.caption, caption);
    EXPECT_EQ(differingFiles(unchanged, filesWithBytes(folder.path())), QStringList());
}

TEST_F(ConfigurationTest, ASaveInAnotherProcessKeepsItsTemporaryFilesAndTheSet)
{
    writeTextLines(path("study.DES"), {"x"});
    ASSERT_TRUE(OpenConfiguration(workspace, path("study.DES")));
    SaveFileSet(workspace);
    const QStringList temporaries{"study.x1.~0a1b2c3d", "study.o1b.~deadbeef"};
    for (const QString& name : temporaries)
        writeBytes(path(name), "being written");
    const QMap<QString, QByteArray> before = filesWithBytes(folder.path());
    {
        LockHolderProcess saver(path("study.lock"));
        ASSERT_TRUE(saver.holds());

        ASSERT_TRUE(OpenConfiguration(workspace, path("study.DES")));
        EXPECT_EQ(differingFiles(before, filesWithBytes(folder.path())), QStringList{"study.lock"})
            << "the other save's temporary files are its own";

        const QString message = failureOf([&] { SaveFileSet(workspace); });
        EXPECT_TRUE(message.contains(QStringLiteral("её сейчас сохраняет другая программа (программа "
                                                    "verola_test_lockholder, процесс %1 на компьютере")
                                         .arg(saver.pid())))
            << message.toStdString();
        EXPECT_EQ(differingFiles(before, filesWithBytes(folder.path())), QStringList{"study.lock"});

        // A save killed half way leaves its temporary files and its lock: both are taken over.
        saver.kill();
    }
    ASSERT_TRUE(OpenConfiguration(workspace, path("study.DES")));
    for (const QString& name : temporaries)
        EXPECT_FALSE(QFile::exists(path(name))) << name.toStdString();
    SaveFileSet(workspace);
    EXPECT_FALSE(QFile::exists(path("study.lock")));
}

TEST_F(ConfigurationTest, AnUnreadTableFileIsKeptWithoutCopyingItsBytes)
{
    writeTextLines(path("s.DES"), {"x"});
    writeTextLines(path("s.d00"), {"H", "\ta|D", "\tb|D"});
    // Three gibibytes the file system holds as a hole: a copy would write them all.
    {
        QFile sparse(path("s.d0"));
        ASSERT_TRUE(sparse.open(QIODevice::WriteOnly));
        ASSERT_TRUE(sparse.resize(qint64(3) << 30));
    }
    const ino_t oldFile = statusOf(path("s.d0")).st_ino;
    ASSERT_TRUE(OpenConfiguration(workspace, path("s.DES")));
    ASSERT_EQ(feedback.messages.size(), 1);
    EXPECT_TRUE(
        feedback.messages.first().contains(QStringLiteral("«%1» — 3221225472 байт").arg(path("s.d0"))))
        << feedback.messages.first().toStdString();

    SaveFileSet(workspace);
    const struct stat backup = statusOf(path("s.d0.bak"));
    EXPECT_EQ(backup.st_ino, oldFile) << "the old file itself is the backup";
    EXPECT_EQ(backup.st_size, qint64(3) << 30);
    EXPECT_LT(qint64(backup.st_blocks) * 512, qint64(1) << 20) << "still a hole";
    EXPECT_EQ(QFileInfo(path("s.d0")).size(), 8);
}

TEST_F(ConfigurationTest, AListFileThatCannotBeReadIsNamedAndNothingIsWrittenOverIt)
{
    writeFullConfiguration(folder.path(), "full");
    const QMap<QString, QByteArray> before = filesWithBytes(folder.path());
    ASSERT_TRUE(OpenConfiguration(workspace, path("full.DES")));
    ASSERT_EQ(workspace.block(3)->Extr->Table().cellAt(0), 310.5f);
    // A folder in the list's place: a file there that even root cannot read as a list.
    ASSERT_TRUE(QFile::remove(path("full.d30")));
    ASSERT_TRUE(QDir(folder.path()).mkpath("full.d30/inside"));

    ASSERT_TRUE(OpenConfiguration(workspace, path("full.DES")));
    ASSERT_EQ(feedback.messages.size(), 1);
    const QString message = feedback.messages.first();
    EXPECT_TRUE(message.contains(
        QStringLiteral("Не могу прочитать файл \"%1\": это папка").arg(path("full.d30"))))
        << message.toStdString();
    // The block is read without its table files: cells read against a list put in the
    // unreadable one's place would land on wrong positions.
    for (const char* table : {"full.x3", "full.s3", "full.d3", "full.c3", "full.b3"})
        EXPECT_TRUE(message.contains(QStringLiteral("Файл \"%1\" не прочитан").arg(path(table)))) << table;
    TCompPanel& block = *workspace.block(3);
    EXPECT_EQ(block.Rule->Table().FLists[0], (QStringList{"Весь набор", "\tВесь набор|D"}));
    EXPECT_EQ(block.Rule->Table().FLists[1], readTextLines(path("full.d31")));
    EXPECT_TRUE(isMissing(block.Extr->Table().cellAt(0))) << "no cell stays from before";
    EXPECT_EQ(workspace.block(1)->Extr->Table().cellAt(0), 110.5f) << "the other blocks are read";
    EXPECT_TRUE(QFileInfo(path("full.d30/inside")).isDir());
    TTab table;
    EXPECT_THROW(readTableFromFileSet(table, ConfigLocation{folder.path(), "full"}, 3, TableKind::Rule), EInOutError);

    // A save cannot put a file in the folder's place, and changes nothing.
    EXPECT_TRUE(failureOf([&] { SaveFileSet(workspace); }).contains(QStringLiteral("это каталог")));
    EXPECT_TRUE(QFileInfo(path("full.d30/inside")).isDir());
    // Once the folder is gone, the save keeps the block's table files it could not read.
    ASSERT_TRUE(QDir(path("full.d30")).removeRecursively());
    SaveFileSet(workspace);
    for (const char* table : {"full.x3", "full.s3", "full.d3", "full.c3", "full.b3"})
        EXPECT_EQ(readBytes(path(table) + ".bak"), before.value(table)) << table;
}

// Saved in code page 1251, the two names below would both become "\x1A" and one position.
TEST_F(ConfigurationTest, FilesReadAsUtf8AreSavedAsUtf8)
{
    writeFullConfiguration(folder.path(), "study");
    const QStringList list{QStringLiteral("Ось 1.0"), QStringLiteral("\t中|T,0"), QStringLiteral("\t文|T,1"),
        QStringLiteral("\tŁódź|T,2")};
    const QStringList mapList{QStringLiteral("объект ł")};
    const QStringList description{QStringLiteral("Исследование № 1 — Łódź")};
    writeBytes(path("study.o10"), utf8File(list));
    writeBytes(path("study.map"), utf8File(mapList));
    writeBytes(path("study.DES"), utf8File(description));
    ASSERT_TRUE(OpenConfiguration(workspace, path("study.DES")));
    SaveFileSet(workspace);
    EXPECT_EQ(readBytes(path("study.o10")), utf8File(list));
    EXPECT_EQ(readBytes(path("study.map")), utf8File(mapList));
    EXPECT_EQ(readBytes(path("study.o11")).left(3), QByteArray("\xCE\xf1\xfc")) << "the others stay in 1251";

    ProcessState again;
    again.feedback = &feedback;
    again.DataDirectory = data.path();
    TWorkspace reopened{again};
    ASSERT_TRUE(OpenConfiguration(reopened, path("study.DES")));
    EXPECT_EQ(reopened.block(1)->BlockTable().FLists[0], list);
    EXPECT_EQ(reopened.block(1)->BlockTable().FDims[0], 3);

    // Under a new name the files keep the encoding their contents were read in.
    TempFolder copy;
    SaveConfigurationAs(reopened, copy.file("copy.DES"));
    EXPECT_EQ(readBytes(copy.file("copy.o10")), utf8File(list));
    EXPECT_EQ(readBytes(copy.file("copy.map")), utf8File(mapList));
    EXPECT_EQ(readBytes(copy.file("copy.DES")), utf8File(description));
}

TEST_F(ConfigurationTest, ASaveRefusesATextCodePage1251CannotHold)
{
    writeFullConfiguration(folder.path(), "study");
    ASSERT_TRUE(OpenConfiguration(workspace, path("study.DES")));
    const QByteArray before = readBytes(path("study.d10"));
    workspace.block(1)->Rule->Table().FLists[0][2] = QStringLiteral("\tŁódź|D,1");
    const QString message = failureOf([&] { SaveFileSet(workspace); });
    for (const QString& part : {path("study.d10"), QStringLiteral("строка 3"), QStringLiteral("Ł")})
        EXPECT_TRUE(message.contains(part)) << message.toStdString();
    EXPECT_EQ(readBytes(path("study.d10")), before);
}

// A link in the folder that leads out of it would let an open create a file elsewhere and a
// save overwrite one.
TEST_F(ConfigurationTest, LinksLeadingOutOfTheFolderAreNeitherReadNorWritten)
{
    TempFolder outside;
    const QString victimList = outside.file("victim.o10");
    const QString victimTable = outside.file("victim.x1");
    writeTextLines(victimList, {QStringLiteral("Чужой список"), QStringLiteral("\tчужое|T")});
    writeBytes(victimTable, QByteArray(36, '\x7f'));
    writeFullConfiguration(folder.path(), "study");
    const auto linkOut = [&](const QString& name, const QString& target) {
        QFile::remove(path(name));
        ASSERT_TRUE(QFile::link(target, path(name)));
    };

    // Reading: a list linked out, even one whose target is not there yet, is not read but named,
    // and nothing is created outside.
    linkOut("study.d10", outside.file("created.d10"));
    ASSERT_TRUE(OpenConfiguration(workspace, path("study.DES")));
    EXPECT_FALSE(QFileInfo::exists(outside.file("created.d10")));
    const QString named = feedback.messages.join(u'\n');
    EXPECT_TRUE(named.contains(path("study.d10")) && named.contains(QStringLiteral("за пределы папки")))
        << named.toStdString();
    QStringList list;
    const QString refusal = failureOf([&] {
        readListFromFileSet(list, ConfigLocation{folder.path(), "study"}, 1, TableKind::Rule, 0);
    });
    EXPECT_TRUE(refusal.contains(path("study.d10"))) << refusal.toStdString();
    EXPECT_TRUE(refusal.contains(QStringLiteral("за пределы папки"))) << refusal.toStdString();
    feedback.messages.clear();

    // A table file linked out is not read: the open names it as not read.
    QFile::remove(path("study.d10"));
    writeFullConfiguration(folder.path(), "study");
    linkOut("study.x1", victimTable);
    ASSERT_TRUE(OpenConfiguration(workspace, path("study.DES")));
    EXPECT_TRUE(feedback.messages.join(u'\n').contains(path("study.x1"))) << feedback.messages.join(u'\n').toStdString();
    EXPECT_NE(workspace.block(1)->Extr->Table().cellAt(0), std::bit_cast<float>(0x7f7f7f7f));

    // Saving: neither the table file nor the list linked out is written.
    EXPECT_TRUE(failureOf([&] { SaveFileSet(workspace); }).contains(path("study.x1")));
    QFile::remove(path("study.x1"));
    linkOut("study.o10", victimList);
    EXPECT_TRUE(failureOf([&] { SaveFileSet(workspace); }).contains(path("study.o10")));
    EXPECT_EQ(readBytes(victimTable), QByteArray(36, '\x7f'));
    EXPECT_EQ(readTextLines(victimList), (QStringList{QStringLiteral("Чужой список"), QStringLiteral("\tчужое|T")}));
}

// A link to a file in the folder is read; saving puts a file of its own in place of the link.
TEST_F(ConfigurationTest, ALinkWithinTheFolderIsReadAndReplacedBySaving)
{
    writeFullConfiguration(folder.path(), "study");
    ASSERT_TRUE(QDir(folder.path()).mkdir("kept"));
    const QStringList kept{QStringLiteral("Ось"), QStringLiteral("\tодин|T"), QStringLiteral("\tдва|T"),
        QStringLiteral("\tтри|T")};
    writeTextLines(path("kept/shared.o10"), kept);
    QFile::remove(path("study.o10"));
    ASSERT_TRUE(QFile::link(QStringLiteral("kept/shared.o10"), path("study.o10")));
    ASSERT_TRUE(OpenConfiguration(workspace, path("study.DES")));
    EXPECT_EQ(workspace.block(1)->BlockTable().FLists[0], kept);
    workspace.block(1)->BlockTable().FLists[0][1] = QStringLiteral("\tпервый|T");
    SaveFileSet(workspace);
    EXPECT_FALSE(QFileInfo(path("study.o10")).isSymLink());
    EXPECT_EQ(readTextLines(path("study.o10")).at(1), QStringLiteral("\tпервый|T"));
    EXPECT_EQ(readTextLines(path("kept/shared.o10")), kept);
}

// A FIFO would keep the open waiting for a writer forever.
TEST_F(ConfigurationTest, AFifoInTheSetIsRefusedWithoutWaiting)
{
    writeFullConfiguration(folder.path(), "study");
    QFile::remove(path("study.x1"));
    ASSERT_TRUE(makeFifo(path("study.x1")));
    bool opened = false;
    EXPECT_TRUE(endsWithin(std::chrono::seconds(20), [&] { opened = OpenConfiguration(workspace, path("study.DES")); },
        path("study.x1")));
    EXPECT_TRUE(opened) << "only that table is left unread";
    const QString said = feedback.messages.join(u'\n');
    EXPECT_TRUE(said.contains(path("study.x1")) && said.contains(QStringLiteral("канал (FIFO)"))) << said.toStdString();
    // Saving puts the table file in the FIFO's place, keeping no copy of a FIFO.
    EXPECT_TRUE(endsWithin(std::chrono::seconds(20), [&] { SaveFileSet(workspace); }, path("study.x1")));
    EXPECT_TRUE(QFileInfo(path("study.x1")).isFile());
    EXPECT_FALSE(QFileInfo::exists(backupFilePath(path("study.x1"))));

    QFile::remove(path("study.x1"));
    QFile::remove(path("study.o10"));
    ASSERT_TRUE(makeFifo(path("study.o10")));
    feedback.messages.clear();
    EXPECT_TRUE(endsWithin(std::chrono::seconds(20), [&] { opened = OpenConfiguration(workspace, path("study.DES")); },
        path("study.o10")));
    const QString listSaid = feedback.messages.join(u'\n');
    EXPECT_TRUE(listSaid.contains(path("study.o10")) && listSaid.contains(QStringLiteral("канал (FIFO)")))
        << listSaid.toStdString();
    EXPECT_TRUE(QFileInfo(path("study.o10")).exists() && !QFileInfo(path("study.o10")).isFile()) << "the FIFO stays";
}

TEST_F(ConfigurationTest, ATableFileAFewBytesTooLongIsNamedAndKeptOnSave)
{
    writeTextLines(path("s.DES"), {"x"});
    writeTextLines(path("s.d00"), {"H", "\ta|D", "\tb|D"});
    for (int extra = 1; extra <= 3; ++extra) {
        SCOPED_TRACE(extra);
        QFile::remove(path("s.d0.bak"));
        const QByteArray longer = floats({1, 2}) + QByteArray(extra, 9);
        writeBytes(path("s.d0"), longer);
        feedback.messages.clear();
        ASSERT_TRUE(OpenConfiguration(workspace, path("s.DES")));
        // Read as far as it goes: both cells, in their places.
        EXPECT_EQ(workspace.block(0)->Rule->Table().cellAt(0), 1.0f);
        EXPECT_EQ(workspace.block(0)->Rule->Table().cellAt(1), 2.0f);
        ASSERT_EQ(feedback.messages.size(), 1);
        EXPECT_TRUE(feedback.messages.first().contains(path("s.d0"))) << feedback.messages.first().toStdString();
        EXPECT_TRUE(feedback.messages.first().contains(QStringLiteral("%1 байт").arg(8 + extra)))
            << feedback.messages.first().toStdString();
        SaveFileSet(workspace);
        EXPECT_EQ(readBytes(path("s.d0.bak")), longer);
        EXPECT_EQ(readBytes(path("s.d0")), floats({1, 2}));
    }
}
