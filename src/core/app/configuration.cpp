#include "core/app/configuration.h"

#include "core/app/blockactions.h"
#include "core/app/fileset.h"
#include "core/app/workspace.h"
#include "core/models/pluginbridge.h"
#include "core/platform/atomicfile.h"
#include "core/platform/errors.h"
#include "core/platform/filelock.h"
#include "core/platform/systemerrors.h"
#include "core/platform/textfile.h"
#include "core/tables/lineutils.h"
#include "core/tables/tablefile.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <algorithm>
#include <chrono>
#include <vector>

namespace verola {

namespace {

ConfigLocation currentLocation(const ProcessState& state)
{
    return ConfigLocation{state.ConfigDirectory, state.ConfigName};
}

void setLocation(ProcessState& state, const ConfigLocation& location)
{
    state.ConfigDirectory = location.directory;
    state.ConfigName = location.name;
}

// A set without a name would be written as ".x1", ".map" … among the user's files.
void requireName(const ConfigLocation& location)
{
    if (location.name.isEmpty())
        throw EInOutError(QStringLiteral("Конфигурация без имени не сохраняется в каталог \"%1\": "
                                         "сохраните её под именем командой \"Сохранить как\"")
                              .arg(location.directory));
}

QString descriptionPath(const ConfigLocation& location)
{
    return location.filePath(QStringLiteral(".DES"));
}

// Why a file cannot be read, for a message.
QString unreadableReason(const QString& path)
{
    const QString reason = readFailureReason(path);
    return reason.isEmpty() ? QStringLiteral("ошибка чтения") : reason;
}

// How long a save waits for another program's save of the same set to end.
constexpr std::chrono::milliseconds kSaveLockWait{2000};

// A save holds the set's lock from its first file to its last rename. Throws when another
// program saves the same set, naming that program.
void lockForSaving(FileLock& lock, const ConfigLocation& location)
{
    switch (lock.tryLock(kSaveLockWait)) {
    case FileLock::Result::Locked:
        return;
    case FileLock::Result::HeldByOther: {
        const QString holder = lock.holderText();
        throw EInOutError(
            QStringLiteral("Конфигурация \"%1\" не сохранена: её сейчас сохраняет другая программа (%2). "
                           "Повторите сохранение, когда та закончит; если её уже нет, удалите файл \"%3\".")
                .arg(descriptionPath(location), holder.isEmpty() ? QStringLiteral("какая, неизвестно") : holder,
                    lock.path()));
    }
    case FileLock::Result::Unavailable:
        break;
    }
    throw EInOutError(QStringLiteral("Конфигурация \"%1\" не сохранена: в каталог \"%2\" нельзя записать файлы: %3")
                          .arg(descriptionPath(location), location.directory, lock.unavailableReason()));
}

// Temporary files a killed save left are removed; those of a save running in another program
// are not: that save holds the set's lock.
void removeStaleTemporariesUnlessSaving(const ConfigLocation& location)
{
    if (location.name.isEmpty())
        return;
    FileLock lock(fileSetLockPath(location));
    if (lock.tryLock() == FileLock::Result::Locked)
        removeStaleTemporaries(location);
}

const QString kMapListExtension = QStringLiteral(".map");

// The order in which a block's tables are read and written.
constexpr TableKind kFileSetOrder[]
    = {TableKind::Extr, TableKind::Est, TableKind::Rule, TableKind::Calc, TableKind::Block};

// Hides the progress window however the operation ends.
struct ProgressGuard {
    Feedback& feedback;
    ~ProgressGuard() { feedback.progressHide(); }
};

void showProgress(Feedback& feedback, const QString& caption, int maximum)
{
    feedback.progressShow(caption, maximum);
    feedback.progressPosition(0);
    feedback.processEvents();
}

// The files an open could not read completely (kept in the workspace), each with why.
struct UnreadFiles {
    QStringList& paths;
    QStringList reasons;

    void add(const QString& path, const QString& reason)
    {
        if (paths.contains(path))
            return;
        paths.append(path);
        reasons.append(reason);
    }
};

// Reads the block's list files, each ".o" list once for the three tables that share it. A missing
// file gives the whole-set list and nothing is written. A file that cannot be read is named in
// unread and its list is the whole-set list too; false then. The encoding each file was read in
// goes to encodings.
bool readBlockLists(TCompPanel& block, const ConfigLocation& location, UnreadFiles& unread,
    QHash<QString, TextEncoding>& encodings)
{
    const int n = block.number();
    bool complete = true;
    const auto read = [&](TableKind fileKind, TableKind codeKind, int a) {
        const QString extension = listFileExtension(fileKind, n, a);
        const QString path = location.filePath(extension);
        try {
            TextFileContents contents = readListFile(location.checkedFilePath(extension), replacementListCode(codeKind));
            encodings.insert(extension, contents.encoding);
            return contents.lines;
        } catch (const EInOutError& error) {
            unread.add(path, error.message());
            complete = false;
            QStringList whole;
            AddWholeSet(whole, replacementListCode(codeKind));
            return whole;
        }
    };
    for (int a = 0; a < kAxisCount; ++a) {
        // The summary tables' code: the one a missing shared list gets.
        const QStringList shared = read(TableKind::Block, TableKind::Extr, a);
        QStringList summary = shared;
        dropReferenceLine(summary);
        block.Extr->Table().FLists[a] = summary;
        block.Est->Table().FLists[a] = summary;
        block.Rule->Table().FLists[a] = read(TableKind::Rule, TableKind::Rule, a);
        block.Calc->Table().FLists[a] = read(TableKind::Calc, TableKind::Calc, a);
        block.BlockTable().FLists[a] = shared;
    }
    return complete;
}

void indexBlock(TCompPanel& block)
{
    for (int a = 0; a < kAxisCount; ++a) {
        block.Extr->Table().BuildIndex(a);
        block.Est->Table().BuildIndex(a);
        block.Rule->Table().BuildIndex(a);
        mapAxis(block.Rule->Table(), block.Extr->Table(), a);
        block.Calc->Table().BuildIndex(a);
        mapAxis(block.Calc->Table(), block.Est->Table(), a);
        block.BlockTable().BuildIndex(a);
    }
}

// The model input of each block reads its upstream block's summary by position name. Without
// these maps a calculation step right after opening would copy nothing but missing cells.
void mapModelInputsUpstream(TWorkspace& workspace)
{
    for (TCompPanel* block : workspace.blocksInComponentOrder())
        for (int a = 0; a < kAxisCount; ++a)
            workspace.mapModelInput(*block, a);
}

// The table files of a block in file-set order, with a progress step before each but the
// block table's.
template <typename TableFileAction>
void forEachTableFile(TCompPanel& block, Feedback& feedback, TableFileAction action)
{
    for (TableKind kind : kFileSetOrder) {
        if (kind != TableKind::Block)
            feedback.progressStep();
        action(block.tableOfKind(static_cast<int>(kind)), tableFileExtension(kind, block.number()));
    }
}

// A table without a file keeps its cells while they still fit its lists. Cells that no longer
// do would be saved as a file its own lists cannot read: the table gets missing cells instead.
void fitCellsToLists(TTab& table)
{
    if (table.FDims == table.positionCounts())
        return;
    try {
        table.Dimension(table.positionCounts());
    } catch (const EPlatformError&) {
        // Lists beyond the table's limits: the table stays as it was.
    }
}

void loadBlockTables(TCompPanel& block, const ConfigLocation& location, Feedback& feedback, UnreadFiles& unread)
{
    forEachTableFile(block, feedback, [&](TTab& table, const QString& extension) {
        const QString path = location.filePath(extension);
        try {
            if (!LoadFromFile(table, location.checkedTableFilePath(extension)))
                fitCellsToLists(table);
        } catch (const EPlatformError& error) {
            // A table file that cannot be read leaves only that table as it was.
            unread.add(path, error.message());
            return;
        }
        if (const QString problem = TableFileSizeProblem(table, path); !problem.isEmpty())
            unread.add(path, problem);
    });
}

// A block whose lists could not be read loads none of its table files.
void noteTablesNotLoaded(TCompPanel& block, const ConfigLocation& location, const QString& why, UnreadFiles& unread)
{
    for (TableKind kind : kFileSetOrder) {
        const QString path = location.filePath(tableFileExtension(kind, block.number()));
        if (QFileInfo::exists(path) || QFileInfo::exists(path + u'_'))
            unread.add(path, QStringLiteral("Файл \"%1\" не прочитан: %2").arg(path, why));
    }
}

// The list files of a block longer than an axis holds.
QStringList overlongListFiles(TCompPanel& block, const ConfigLocation& location)
{
    QStringList paths;
    for (TableKind kind : kFileSetOrder)
        for (int a = 0; a < kAxisCount; ++a)
            if (block.tableOfKind(static_cast<int>(kind)).FLists[a].size() - 1 > kMaxAxisLines) {
                const QString path = location.filePath(listFileExtension(kind, block.number(), a));
                if (!paths.contains(path))
                    paths.append(path);
            }
    return paths;
}

// The files of a block that the open leaves unread and a save would replace: its table files,
// and its list files that held more than the whole-set list.
QStringList filesOfUnreadBlock(TCompPanel& block, const ConfigLocation& location)
{
    QStringList paths;
    for (TableKind kind : kFileSetOrder) {
        const QString path = location.filePath(tableFileExtension(kind, block.number()));
        if (QFileInfo::exists(path) || QFileInfo::exists(path + u'_'))
            paths.append(path);
    }
    for (TableKind kind : kFileSetOrder)
        for (int a = 0; a < kAxisCount; ++a) {
            const QString path = location.filePath(listFileExtension(kind, block.number(), a));
            if (!IsWholeSet(block.tableOfKind(static_cast<int>(kind)).FLists[a]) && !paths.contains(path))
                paths.append(path);
        }
    return paths;
}

// A block whose indexes could not be built loads none of its table files; it is left with empty
// tables, and the steps on it are refused until a configuration is read again.
void setBlockNotLoaded(TWorkspace& workspace, TCompPanel& block, const ConfigLocation& location, const QString& why,
    UnreadFiles& unread)
{
    const QStringList overlong = overlongListFiles(block, location);
    // The reason follows a colon in the messages.
    QString reason = why;
    if (!reason.isEmpty())
        reason[0] = reason[0].toLower();
    if (!overlong.isEmpty())
        reason += QStringLiteral(" (%1)").arg(overlong.join(QStringLiteral(", ")));
    const QStringList files = filesOfUnreadBlock(block, location);
    for (const QString& path : files)
        if (!unread.paths.contains(path))
            unread.paths.append(path);
    unread.reasons.append(QStringLiteral("Блок %1 (%2) не прочитан, его таблицы оставлены пустыми: %3")
                              .arg(block.number())
                              .arg(blockPanelKindName(block.number()), reason));
    if (!files.isEmpty())
        unread.reasons.append(QStringLiteral("Не прочитаны файлы блока %1: %2")
                                  .arg(block.number())
                                  .arg(files.join(QStringLiteral(", "))));
    workspace.setBlockNotLoaded(block, reason);
}

// The tables of a block whose table files are not read get missing cells of their lists' shape:
// the cells they held belong to the configuration open before.
void clearBlockCells(TCompPanel& block)
{
    for (TableKind kind : kFileSetOrder) {
        TTab& table = block.tableOfKind(static_cast<int>(kind));
        try {
            table.Dimension(table.positionCounts());
        } catch (const EPlatformError&) {
            // Lists beyond the table's limits: the table stays as it was.
        }
    }
}

// An unreadable map list is kept like the other files; a missing one empties the list.
void readMapList(TWorkspace& workspace, const ConfigLocation& location, UnreadFiles& unread)
{
    ProcessState& state = workspace.state();
    const QString path = location.filePath(kMapListExtension);
    state.MapList.clear();
    try {
        const QString checked = location.checkedFilePath(kMapListExtension);
        if (!QFileInfo::exists(checked))
            return;
        TextFileContents contents = readTextFile(checked);
        state.MapList = std::move(contents.lines);
        workspace.textEncodings.insert(kMapListExtension, contents.encoding);
    } catch (const EInOutError& error) {
        unread.add(path, QStringLiteral("Не удалось прочитать список объектов карты: %1").arg(error.message()));
    }
}

void reportUnreadFiles(Feedback& feedback, const UnreadFiles& unread)
{
    if (unread.paths.isEmpty())
        return;
    feedback.message(QStringLiteral("Не удалось полностью прочитать файлы конфигурации:\n%1\n"
                                    "При сохранении прежние файлы останутся рядом с окончанием \".bak\".")
                         .arg(unread.reasons.join(u'\n')));
}

// Files of the set the open could not read are kept beside their new versions as "NAME.bak".
struct UnreadFileKeeper {
    const QStringList& unread;
    SyncBatch& batch;
    QStringList kept;

    void keepIfUnread(const QString& path)
    {
        if (!unread.contains(path) || !QFileInfo(path).isFile())
            return; // a FIFO or a device holds nothing to keep
        batch.keepPreviousAs(path, backupFilePath(path));
        kept.append(path);
    }
};

// Writes a text file of the set in the encoding its contents were read in.
void saveTextFile(const TWorkspace& workspace, const QString& path, const QString& extension, const QStringList& lines)
{
    writeTextLines(path, lines, workspace.textEncodings.value(extension, TextEncoding::Cp1251));
}

void saveBlockFiles(TWorkspace& workspace, TCompPanel& block, const ConfigLocation& location, Feedback& feedback,
    UnreadFileKeeper& keeper)
{
    forEachTableFile(block, feedback, [&](TTab& table, const QString& extension) {
        const QString path = location.checkedFilePath(extension);
        keeper.keepIfUnread(path);
        SaveToFile(table, path);
    });
    const int n = block.number();
    const auto writeList = [&](TableKind kind, int a, const QStringList& list) {
        const QString extension = listFileExtension(kind, n, a);
        const QString path = location.checkedFilePath(extension);
        keeper.keepIfUnread(path);
        saveTextFile(workspace, path, extension, list);
    };
    for (int a = 0; a < kAxisCount; ++a) {
        writeList(TableKind::Block, a, block.BlockTable().FLists[a]);
        writeList(TableKind::Rule, a, block.Rule->Table().FLists[a]);
        writeList(TableKind::Calc, a, block.Calc->Table().FLists[a]);
    }
}

// The description with the encoding it was read in; one empty line when it cannot be read.
TextFileContents descriptionFile(const QString& directory, const QString& name)
{
    try {
        TextFileContents contents = readTextFile(descriptionPath(ConfigLocation{directory, name}));
        if (contents.lines.isEmpty())
            contents.lines = QStringList{QString()};
        return contents;
    } catch (const EInOutError&) {
        return {QStringList{QString()}, TextEncoding::Cp1251};
    }
}

} // namespace

QStringList readDescription(const QString& directory, const QString& name)
{
    return descriptionFile(directory, name).lines;
}

bool OpenConfiguration(TWorkspace& workspace, const QString& path)
{
    ProcessState& state = workspace.state();
    const ConfigLocation chosen = ConfigLocation::fromPath(path);
    const QStringList description = readDescription(chosen.directory, chosen.name);
    // Refused, the configuration still open keeps its name and folder: a save writes its files.
    if (!state.ui().confirmDescription(description))
        return false;
    setLocation(state, chosen);
    bool read = true;
    try {
        if (state.plugins)
            state.plugins->configurationOpened();
        workspace.caption = state.ConfigName + u' ' + description.first();
        ReadFileSet(workspace);
    } catch (const std::exception&) {
        workspace.caption = state.ConfigName + u' ';
        read = false;
    }
    workspace.announceReloaded();
    return read;
}

void ReadFileSet(TWorkspace& workspace)
{
    ProcessState& state = workspace.state();
    Feedback& feedback = state.ui();
    const ConfigLocation location = currentLocation(state);
    removeStaleTemporariesUnlessSaving(location);
    workspace.unreadFiles.clear();
    workspace.textEncodings.clear();
    UnreadFiles unread{workspace.unreadFiles, {}};
    std::vector<TCompPanel*> listsNotRead;
    // Blocks whose lists were read and not yet indexed: a reading that stops leaves them empty.
    std::vector<TCompPanel*> pending;
    try {
        ProgressGuard guard{feedback};
        showProgress(feedback, QStringLiteral("Чтение файлов координат"), 5);
        for (TCompPanel* block : workspace.blocksInComponentOrder()) {
            feedback.progressStep();
            pending.push_back(block);
            if (!readBlockLists(*block, location, unread, workspace.textEncodings))
                listsNotRead.push_back(block);
        }
        showProgress(feedback, QStringLiteral("Чтение файлов данных"), 20);
        for (TCompPanel* block : workspace.blocksInComponentOrder()) {
            std::erase(pending, block);
            try {
                indexBlock(*block);
            } catch (const EPlatformError& error) {
                // The rest of this block is abandoned; the next block is read.
                setBlockNotLoaded(workspace, *block, location, error.message(), unread);
                continue;
            }
            block->setLoadFailure(QString());
            if (std::find(listsNotRead.begin(), listsNotRead.end(), block) != listsNotRead.end()) {
                // Cells read against a list put in place of the unreadable one would land on wrong positions.
                noteTablesNotLoaded(*block, location, QStringLiteral("не прочитаны файлы координат блока"), unread);
                clearBlockCells(*block);
                continue;
            }
            loadBlockTables(*block, location, feedback, unread);
        }
        mapModelInputsUpstream(workspace);
    } catch (const std::exception&) {
        for (TCompPanel* block : pending)
            workspace.setBlockNotLoaded(*block, QStringLiteral("чтение конфигурации прервано"));
        throw;
    }
    readMapList(workspace, location, unread);
    reportUnreadFiles(feedback, unread);
}

namespace {

// The map list a save writes: "Default.map" of the data directory when the list is empty, read
// before anything is written, with the encoding it is to be written in.
TextFileContents mapListToSave(TWorkspace& workspace)
{
    const ProcessState& state = workspace.state();
    if (!state.MapList.isEmpty())
        return {state.MapList, workspace.textEncodings.value(kMapListExtension, TextEncoding::Cp1251)};
    const QString path = state.DataDirectory + QStringLiteral("/Default.map");
    try {
        return readTextFile(path);
    } catch (const EInOutError&) {
        throw EInOutError(QStringLiteral("Не удалось прочитать список объектов карты по умолчанию \"%1\": %2")
                              .arg(path, unreadableReason(path)));
    }
}

void writeFileSet(TWorkspace& workspace, const ConfigLocation& location, const TextFileContents& mapList,
    UnreadFileKeeper& keeper)
{
    Feedback& feedback = workspace.state().ui();
    {
        ProgressGuard guard{feedback};
        showProgress(feedback, QStringLiteral("Сохранение файлов координат и данных"), 20);
        for (TCompPanel* block : workspace.blocksInComponentOrder())
            saveBlockFiles(workspace, *block, location, feedback, keeper);
    }
    const QString mapPath = location.checkedFilePath(kMapListExtension);
    keeper.keepIfUnread(mapPath);
    writeTextLines(mapPath, mapList.lines, mapList.encoding);
}

// Writes every file of the set (and the description when one is given) beside the old one,
// then puts them all in place at once: a failure leaves every old file as it was.
SaveSummary saveWholeSet(TWorkspace& workspace, const ConfigLocation& location, const TextFileContents* description)
{
    QElapsedTimer timer;
    timer.start();
    int files = 0;
    requireName(location);
    FileLock lock(fileSetLockPath(location));
    lockForSaving(lock, location);
    removeStaleTemporaries(location);
    ProcessState& state = workspace.state();
    // Every file reaches the disk before its rename, all of them with one wait for the device.
    SyncBatch batch;
    UnreadFileKeeper keeper{workspace.unreadFiles, batch, {}};
    try {
        const TextFileContents mapList = mapListToSave(workspace);
        if (description)
            writeTextLines(descriptionPath(location), description->lines, description->encoding);
        writeFileSet(workspace, location, mapList, keeper);
        files = batch.fileCount();
        batch.finish();
        state.MapList = mapList.lines;
        workspace.textEncodings.insert(kMapListExtension, mapList.encoding);
    } catch (const EPlatformError& error) {
        throw EInOutError(QStringLiteral("Конфигурация \"%1\" не сохранена.\n%2\n%3")
                              .arg(descriptionPath(location), error.message(),
                                  batch.partlyPlaced() ? QStringLiteral("Часть её файлов уже заменена новыми.")
                                                       : QStringLiteral("Прежние файлы конфигурации не изменены.")));
    }
    for (const QString& path : keeper.kept)
        workspace.unreadFiles.removeAll(path);
    // This makes the renames themselves last.
    syncFolder(location.directory);
    return {files, timer.elapsed()};
}

} // namespace

QString SaveSummary::text() const
{
    return QStringLiteral("сохранено файлов: %1, %2").arg(files).arg(durationText(milliseconds));
}

SaveSummary SaveFileSet(TWorkspace& workspace)
{
    return saveWholeSet(workspace, currentLocation(workspace.state()), nullptr);
}

SaveSummary SaveConfigurationAs(TWorkspace& workspace, const QString& path)
{
    ProcessState& state = workspace.state();
    const ConfigLocation previous = currentLocation(state);
    const QString previousCaption = workspace.caption;
    const ConfigLocation chosen = ConfigLocation::fromPath(path);
    requireName(chosen);
    setLocation(state, chosen);
    SaveSummary summary;
    try {
        // A new name starts from the description of the configuration being saved.
        const ConfigLocation source = QFileInfo::exists(descriptionPath(chosen)) ? chosen : previous;
        const TextFileContents sourceDescription = descriptionFile(source.directory, source.name);
        const TextFileContents description{
            state.ui().editDescription(sourceDescription.lines), sourceDescription.encoding};
        workspace.caption
            = QStringLiteral("Система обработки информации \"Верола\" (выборка: %1)").arg(state.ConfigName);
        summary = saveWholeSet(workspace, chosen, &description);
    } catch (...) {
        // Nothing was saved: the configuration is still the one it was, under its own name.
        setLocation(state, previous);
        workspace.caption = previousCaption;
        throw;
    }
    workspace.announceReloaded();
    return summary;
}

} // namespace verola
