#include "core/app/configuration.h"

#include "core/app/fileset.h"
#include "core/app/workspace.h"
#include "core/models/pluginbridge.h"
#include "core/platform/atomicfile.h"
#include "core/platform/errors.h"
#include "core/platform/textfile.h"
#include "core/tables/lineutils.h"
#include "core/tables/tablefile.h"

#include <QFileInfo>
#include <vector>

namespace verola {

namespace {

ConfigLocation currentLocation(const ProcessState& state)
{
    return ConfigLocation{state.ConfigDirectory, state.ConfigName};
}

void setLocationFromPath(ProcessState& state, const QString& path)
{
    const ConfigLocation location = ConfigLocation::fromPath(path);
    state.ConfigDirectory = location.directory;
    state.ConfigName = location.name;
}

// A set without a name would be written as ".x1", ".map" … among the user's files.
void requireName(const ConfigLocation& location)
{
    if (location.name.isEmpty())
        throw EInOutError(QStringLiteral("Cannot save a configuration without a name: save it under a name first"));
}

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

void readBlockLists(TCompPanel& block, const ConfigLocation& location)
{
    for (int a = 0; a < kAxisCount; ++a)
        for (TableKind kind : kFileSetOrder)
            readListFromFileSet(block.tableOfKind(static_cast<int>(kind)).FLists[a], location, block.number(), kind, a,
                true);
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

// The table files an open could not read completely (kept in the workspace), each with why.
struct UnreadTableFiles {
    QStringList& paths;
    QStringList reasons;

    void add(const QString& path, const QString& reason)
    {
        paths.append(path);
        reasons.append(reason);
    }
};

void loadBlockTables(TCompPanel& block, const ConfigLocation& location, Feedback& feedback, UnreadTableFiles& unread)
{
    forEachTableFile(block, feedback, [&](TTab& table, const QString& extension) {
        const QString path = location.filePath(extension);
        try {
            if (!LoadFromFile(table, path))
                fitCellsToLists(table);
        } catch (const EPlatformError& error) {
            // A table file that cannot be read leaves only that table as it was.
            unread.add(path, error.message());
            return;
        }
        if (const std::int64_t surplus = TableFileSurplusCells(table, path); surplus > 0)
            unread.add(path, QStringLiteral("File longer than its table \"%1\": %2 cells beyond the table's %3")
                                 .arg(path)
                                 .arg(surplus)
                                 .arg(table.FCellCount));
    });
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
    UnreadTableFiles& unread)
{
    const QStringList overlong = overlongListFiles(block, location);
    // The reason follows a colon in the messages.
    QString reason = why;
    if (!reason.isEmpty())
        reason[0] = reason[0].toLower();
    if (!overlong.isEmpty())
        reason += QStringLiteral(" (%1)").arg(overlong.join(QStringLiteral(", ")));
    const QStringList files = filesOfUnreadBlock(block, location);
    unread.paths.append(files);
    unread.reasons.append(QStringLiteral("Блок %1 (%2) не прочитан, его таблицы оставлены пустыми: %3")
                              .arg(block.number())
                              .arg(blockPanelKindName(block.number()), reason));
    if (!files.isEmpty())
        unread.reasons.append(QStringLiteral("Не прочитаны файлы блока %1: %2")
                                  .arg(block.number())
                                  .arg(files.join(QStringLiteral(", "))));
    workspace.setBlockNotLoaded(block, reason);
}

void reportUnreadTableFiles(Feedback& feedback, const UnreadTableFiles& unread)
{
    if (unread.paths.isEmpty())
        return;
    feedback.message(QStringLiteral("Не удалось полностью прочитать файлы таблиц:\n%1\n"
                                    "При сохранении прежние файлы останутся рядом с окончанием \".bak\".")
                         .arg(unread.reasons.join(u'\n')));
}

// Keeps a table file that could not be read beside the file about to replace it.
void keepUnreadFile(TWorkspace& workspace, const QString& path)
{
    if (!workspace.unreadTableFiles.contains(path) || !QFileInfo::exists(path))
        return;
    copyFileAtomically(path, backupFilePath(path));
    workspace.unreadTableFiles.removeAll(path);
}

void saveBlockFiles(TWorkspace& workspace, TCompPanel& block, const ConfigLocation& location, Feedback& feedback)
{
    forEachTableFile(block, feedback, [&](TTab& table, const QString& extension) {
        const QString path = location.filePath(extension);
        keepUnreadFile(workspace, path);
        SaveToFile(table, path);
    });
    for (int a = 0; a < kAxisCount; ++a)
        for (TableKind kind : {TableKind::Block, TableKind::Rule, TableKind::Calc}) {
            const QString path = location.filePath(listFileExtension(kind, block.number(), a));
            keepUnreadFile(workspace, path);
            writeTextLines(path, block.tableOfKind(static_cast<int>(kind)).FLists[a]);
        }
}

} // namespace

QStringList readDescription(const QString& directory, const QString& name)
{
    try {
        const QStringList lines = readTextLines(ConfigLocation{directory, name}.filePath(QStringLiteral(".DES")));
        return lines.isEmpty() ? QStringList{QString()} : lines;
    } catch (const EInOutError&) {
        return QStringList{QString()};
    }
}

bool OpenConfiguration(TWorkspace& workspace, const QString& path)
{
    ProcessState& state = workspace.state();
    setLocationFromPath(state, path);
    const QStringList description = readDescription(state.ConfigDirectory, state.ConfigName);
    if (!state.ui().confirmDescription(description))
        return false;
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
    removeStaleTemporaries(location);
    workspace.unreadTableFiles.clear();
    UnreadTableFiles unread{workspace.unreadTableFiles, {}};
    // Blocks whose lists were read and not yet indexed: a reading that stops leaves them empty.
    std::vector<TCompPanel*> pending;
    try {
        ProgressGuard guard{feedback};
        showProgress(feedback, QStringLiteral("Чтение файлов координат"), 5);
        for (TCompPanel* block : workspace.blocksInComponentOrder()) {
            feedback.progressStep();
            pending.push_back(block);
            readBlockLists(*block, location);
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
            loadBlockTables(*block, location, feedback, unread);
        }
        mapModelInputsUpstream(workspace);
    } catch (const std::exception&) {
        for (TCompPanel* block : pending)
            workspace.setBlockNotLoaded(*block, QStringLiteral("чтение конфигурации прервано"));
        throw;
    }
    reportUnreadTableFiles(feedback, unread);
    try {
        state.MapList = readTextLines(location.filePath(QStringLiteral(".map")));
    } catch (const EInOutError&) {
        state.MapList.clear();
    }
}

namespace {

void writeFileSet(TWorkspace& workspace, const ConfigLocation& location)
{
    ProcessState& state = workspace.state();
    Feedback& feedback = state.ui();
    {
        ProgressGuard guard{feedback};
        showProgress(feedback, QStringLiteral("Сохранение файлов координат и данных"), 20);
        for (TCompPanel* block : workspace.blocksInComponentOrder())
            saveBlockFiles(workspace, *block, location, feedback);
    }
    if (state.MapList.isEmpty())
        state.MapList = readTextLines(state.DataDirectory + QStringLiteral("/Default.map"));
    writeTextLines(location.filePath(QStringLiteral(".map")), state.MapList);
}

} // namespace

void SaveFileSet(TWorkspace& workspace)
{
    const ConfigLocation location = currentLocation(workspace.state());
    requireName(location);
    removeStaleTemporaries(location);
    // Every file reaches the disk before its rename, all of them with one wait for the device;
    // when a file fails, those written before it are still put in place.
    SyncBatch batch;
    try {
        writeFileSet(workspace, location);
    } catch (...) {
        try {
            batch.finish();
        } catch (const EPlatformError&) {
            // the first failure is the one to report
        }
        throw;
    }
    batch.finish();
    // This makes the renames themselves last.
    syncFolder(location.directory);
}

void SaveConfigurationAs(TWorkspace& workspace, const QString& path)
{
    ProcessState& state = workspace.state();
    const ConfigLocation previous = currentLocation(state);
    const ConfigLocation chosen = ConfigLocation::fromPath(path);
    requireName(chosen);
    setLocationFromPath(state, path);
    // A new name starts from the description of the configuration being saved.
    const QString descriptionPath = chosen.filePath(QStringLiteral(".DES"));
    const ConfigLocation source = QFileInfo::exists(descriptionPath) ? chosen : previous;
    const QStringList description = state.ui().editDescription(readDescription(source.directory, source.name));
    writeTextLines(descriptionPath, description);
    workspace.caption = QStringLiteral("Система обработки информации \"Верола\" (выборка: %1)").arg(state.ConfigName);
    workspace.announceReloaded();
    SaveFileSet(workspace);
}

} // namespace verola
