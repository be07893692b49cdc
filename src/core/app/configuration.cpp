#include "core/app/configuration.h"

#include "core/app/fileset.h"
#include "core/app/workspace.h"
#include "core/platform/errors.h"
#include "core/platform/textfile.h"
#include "core/tables/lineutils.h"
#include "core/tables/tablefile.h"

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
    const TableKind order[] = {TableKind::Extr, TableKind::Est, TableKind::Rule, TableKind::Calc, TableKind::Block};
    for (int a = 0; a < kAxisCount; ++a)
        for (TableKind kind : order)
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
    const TableKind order[] = {TableKind::Extr, TableKind::Est, TableKind::Rule, TableKind::Calc, TableKind::Block};
    for (TableKind kind : order) {
        if (kind != TableKind::Block)
            feedback.progressStep();
        action(block.tableOfKind(static_cast<int>(kind)), tableFileExtension(kind, block.number()));
    }
}

void loadBlockTables(TCompPanel& block, const ConfigLocation& location, Feedback& feedback)
{
    forEachTableFile(block, feedback, [&](TTab& table, const QString& extension) {
        try {
            LoadFromFile(table, location.filePath(extension));
        } catch (const EPlatformError&) {
            // A table file that cannot be read leaves only that table as it was.
        }
    });
}

void saveBlockFiles(TCompPanel& block, const ConfigLocation& location, Feedback& feedback)
{
    forEachTableFile(block, feedback, [&](TTab& table, const QString& extension) {
        SaveToFile(table, location.filePath(extension));
    });
    const int n = block.number();
    for (int a = 0; a < kAxisCount; ++a) {
        writeTextLines(location.filePath(listFileExtension(TableKind::Block, n, a)), block.BlockTable().FLists[a]);
        writeTextLines(location.filePath(listFileExtension(TableKind::Rule, n, a)), block.Rule->Table().FLists[a]);
        writeTextLines(location.filePath(listFileExtension(TableKind::Calc, n, a)), block.Calc->Table().FLists[a]);
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
    {
        ProgressGuard guard{feedback};
        showProgress(feedback, QStringLiteral("Чтение файлов координат"), 5);
        for (TCompPanel* block : workspace.blocksInComponentOrder()) {
            feedback.progressStep();
            readBlockLists(*block, location);
        }
        showProgress(feedback, QStringLiteral("Чтение файлов данных"), 20);
        for (TCompPanel* block : workspace.blocksInComponentOrder()) {
            try {
                indexBlock(*block);
            } catch (const EPlatformError&) {
                continue; // the rest of this block is abandoned; the next block is read
            }
            loadBlockTables(*block, location, feedback);
        }
        mapModelInputsUpstream(workspace);
    }
    try {
        state.MapList = readTextLines(location.filePath(QStringLiteral(".map")));
    } catch (const EInOutError&) {
        state.MapList.clear();
    }
}

void SaveFileSet(TWorkspace& workspace)
{
    ProcessState& state = workspace.state();
    Feedback& feedback = state.ui();
    const ConfigLocation location = currentLocation(state);
    {
        ProgressGuard guard{feedback};
        showProgress(feedback, QStringLiteral("Сохранение файлов координат и данных"), 20);
        for (TCompPanel* block : workspace.blocksInComponentOrder())
            saveBlockFiles(*block, location, feedback);
    }
    if (state.MapList.isEmpty())
        state.MapList = readTextLines(state.DataDirectory + QStringLiteral("/Default.map"));
    writeTextLines(location.filePath(QStringLiteral(".map")), state.MapList);
}

void SaveConfigurationAs(TWorkspace& workspace, const QString& path)
{
    ProcessState& state = workspace.state();
    setLocationFromPath(state, path);
    const QStringList description
        = state.ui().editDescription(readDescription(state.ConfigDirectory, state.ConfigName));
    writeTextLines(currentLocation(state).filePath(QStringLiteral(".DES")), description);
    workspace.caption = QStringLiteral("Система обработки информации \"Верола\" (выборка: %1)").arg(state.ConfigName);
    workspace.announceReloaded();
    SaveFileSet(workspace);
}

} // namespace verola
