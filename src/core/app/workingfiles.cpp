#include "core/app/workingfiles.h"

#include "core/app/fileset.h"
#include "core/db/session.h"
#include "core/db/tquery.h"
#include "core/platform/paths.h"
#include "core/platform/textfile.h"
#include "core/tables/compare.h"
#include "core/tables/lineutils.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <cmath>

namespace verola {

namespace {

// The file of that name ignoring letter case, as the system's file names always were: lists
// copied from elsewhere, or written under the configuration files' lower-case digits, keep
// working. Of several such files the one written last is the one meant. The path itself when
// there is none.
QString existingFile(const QString& path)
{
    const QFileInfo info(path);
    QString newest = info.isFile() ? path : QString();
    QDateTime newestTime = info.isFile() ? info.lastModified() : QDateTime();
    const QStringList entries = info.dir().entryList(QDir::Files);
    for (const QString& entry : entries) {
        if (entry == info.fileName() || entry.compare(info.fileName(), Qt::CaseInsensitive) != 0)
            continue;
        const QFileInfo candidate(info.dir().filePath(entry));
        if (newest.isEmpty() || candidate.lastModified() > newestTime) {
            newest = candidate.filePath();
            newestTime = candidate.lastModified();
        }
    }
    return newest.isEmpty() ? path : newest;
}

QStringList readList(const QString& path)
{
    return readTextLines(existingFile(path));
}

// Gives one axis of the table a new list and re-dimensions the table. When that fails (too many
// lines or cells) the old list and index come back and the cells are untouched.
void replaceList(TTab& table, int axis, const QStringList& list)
{
    const QStringList previous = table.FLists[axis];
    table.FLists[axis] = list;
    try {
        table.Redimension(axis);
    } catch (...) {
        table.FLists[axis] = previous;
        table.BuildIndex(axis);
        throw;
    }
}

// Depth of the structure line that holds a position of the summary table; -1 when unknown.
int depthOfPosition(const QStringList& structure, const TIndex& index, int position)
{
    if (position < 0 || position >= static_cast<int>(index.FPosLine.size()))
        return -1;
    const int line = index.FPosLine[position] - 1;
    if (line < 0 || line >= structure.size())
        return -1;
    return TabLevel(structure.at(line));
}

// A leaf of the summary structure as a line of a primary list: marked and flat at depth 1.
QString asPrimaryLine(QString line, int depth, QChar mark)
{
    const qsizetype bar = line.indexOf(u'|');
    if (bar >= 0) {
        if (bar + 1 < line.size())
            line[bar + 1] = mark;
        else
            line.append(mark);
    }
    return Reindent(depth, 1, line);
}

// What a reference line names: the database file, its key field (with the text to remove from
// every key) and its value field.
struct ReferenceSource {
    QString fileName;
    QString keyField;
    QString removal;
    QString valueField;
};

ReferenceSource parseReferenceLine(const QString& line)
{
    ReferenceSource source;
    source.fileName = FirstItem(line).trimmed();
    QString key = SecondItem(line);
    const qsizetype minus = key.indexOf(u'-');
    if (minus >= 0) {
        QString removal = key.mid(minus + 1).trimmed();
        if (removal.startsWith(u'"')) {
            removal.remove(0, 1);
            if (removal.endsWith(u'"'))
                removal.chop(1);
            source.removal = removal;
            key = key.left(minus);
        }
    }
    source.keyField = key.trimmed();
    source.valueField = ThirdItem(line).trimmed();
    return source;
}

// The reference database in the configuration's folder, else in the data folder; empty when
// it is in neither.
QString locateReferenceDatabase(const ProcessState& state, const QString& fileName)
{
    if (fileName.isEmpty())
        return QString();
    for (const QString& directory : {state.ConfigDirectory, state.DataDirectory}) {
        if (directory.isEmpty())
            continue;
        const QString path = existingFile(QDir(directory).filePath(fileName));
        if (QFileInfo(path).isFile())
            return path;
    }
    return QString();
}

QString quotedLiteral(const QString& text)
{
    QString doubled = text;
    doubled.replace(u'"', QStringLiteral("\"\""));
    return u'"' + doubled + u'"';
}

// The value of the first record whose key is the given one or "*"; missing when there is none.
float lookUpReference(TSession& session, const QString& file, const ReferenceSource& source, const QString& key)
{
    TQuery query(session);
    query.SQL() << QStringLiteral("SELECT * FROM ") + quotedLiteral(QDir::toNativeSeparators(file))
                << QStringLiteral("Where ") + source.keyField + u'=' + quotedLiteral(key)
                << QStringLiteral("OR ") + source.keyField + QStringLiteral("=\"*\"");
    query.Open();
    if (query.RecordCount() == 0)
        return kMissing;
    query.First();
    TField& field = query.FieldByName(source.valueField);
    if (field.IsNull())
        return kMissing;
    const float value = static_cast<float>(field.AsFloat());
    return std::isfinite(value) ? value : kMissing;
}

// Every axis at its last position; 0 where an axis has fewer than two.
CoordIndex lastPositions(const TTab& table)
{
    CoordIndex w;
    for (int k = 0; k < kAxisCount; ++k)
        w[k] = table.FIndex[k].FGroups >= 2 ? table.FIndex[k].FGroups - 1 : 0;
    return w;
}

void fillReferenceAxis(TWorkspace& workspace, TTab& blockTable, int axis, TSession& session)
{
    const TIndex& index = blockTable.FIndex[axis];
    const QStringList& list = blockTable.FLists[axis];
    if (index.FGroups < 2 || !endsWithReferenceLine(list))
        return;
    const ReferenceSource source = parseReferenceLine(list.last());
    const QString file = locateReferenceDatabase(workspace.state(), source.fileName);
    if (file.isEmpty())
        return;
    CoordIndex w = lastPositions(blockTable);
    const int referencePosition = index.FLinePos[index.FCount - 1];
    for (int i = 0; i < index.FGroups; ++i) {
        if (i == referencePosition)
            continue;
        QString key = ThirdItem(blockTable.PositionText(axis, i)).toUpper();
        if (!source.removal.isEmpty())
            key.remove(source.removal);
        if (key.isEmpty())
            continue;
        w[axis] = i;
        blockTable.SetCell(w, lookUpReference(session, file, source, key));
    }
}

} // namespace

QString workingListFileName(const QString& directory, QChar letter, int block, int axis)
{
    const QString name = QStringLiteral("temp.") + letter + QString::number(block, 16).toUpper()
        + QString::number(axis, 16).toUpper();
    return fileInDirectory(directory, name);
}

QString totalSourceListFileName(const QString& directory, int block, int axis)
{
    return fileInDirectory(directory, QStringLiteral("Total.o") + QString::number(block) + QString::number(axis));
}

QString referenceFileName(const QString& directory)
{
    return fileInDirectory(directory, QStringLiteral("Total.ref"));
}

void LoadPrimaryDataList(TWorkspace&, int axis, TCompPanel& block, const QString& directory)
{
    if (!validAxis(axis))
        return;
    const QStringList list = readList(workingListFileName(directory, u'd', block.number(), axis));
    TTab& primary = block.Rule->Table();
    replaceList(primary, axis, list);
    mapAxis(primary, block.Extr->Table(), axis);
}

void LoadPrimaryCalcList(TWorkspace& workspace, int axis, TCompPanel& block, const QString& directory)
{
    if (!validAxis(axis))
        return;
    const QStringList list = readList(workingListFileName(directory, u'c', block.number(), axis));
    TTab& primary = block.Calc->Table();
    replaceList(primary, axis, list);
    mapAxis(primary, block.Est->Table(), axis);
    // The block's own upstream block: the active block's one would map a block that is not
    // active onto the wrong summary.
    workspace.mapModelInput(block, axis);
}

void LoadSummaryLists(TWorkspace&, int axis, TCompPanel& block, const QString& directory)
{
    if (!validAxis(axis))
        return;
    QStringList list = readList(workingListFileName(directory, u'o', block.number(), axis));
    if (endsWithReferenceLine(list))
        list.removeLast();
    replaceList(block.Extr->Table(), axis, list);
    replaceList(block.Est->Table(), axis, list);
}

void LoadBlockTableList(TWorkspace&, int axis, TCompPanel& block, const QString& directory)
{
    if (!validAxis(axis))
        return;
    const QStringList reference = readList(referenceFileName(directory));
    QStringList list = readList(workingListFileName(directory, u'o', block.number(), axis));

    TTab& table = block.BlockTable();
    const QString bareReferenceLine = referenceLineName() + u'|';
    for (int k = 0; k < kAxisCount; ++k) {
        if (table.FIndex[k].FGroups > 1 && !table.FLists[k].last().contains(bareReferenceLine)) {
            table.FLists[k].append(bareReferenceLine);
            table.BuildIndex(k);
        }
    }
    const bool structuredBefore = table.FIndex[axis].FGroups > 1;
    if (structuredBefore && !endsWithReferenceLine(list))
        list.append(bareReferenceLine + LineAttributes(reference.value(axis)));
    replaceList(table, axis, list);
}

void BuildPrimaryFromSummary(TWorkspace&, int axis, const QStringList& structure, TCompPanel& block,
    bool fromDatabases)
{
    if (!validAxis(axis))
        return;
    const TTab& summary = (fromDatabases ? block.Extr : block.Est)->Table();
    TTab& primary = (fromDatabases ? block.Rule : block.Calc)->Table();
    const QChar mark = fromDatabases ? u'D' : u'C';

    QStringList list;
    if (structure.isEmpty()) {
        // Nothing to build from: the list a primary table gets when its file cannot be read.
        AddWholeSet(list, mark);
    } else {
        list.append(structure.first());
        const TIndex& index = summary.FIndex[axis];
        for (int i = 0; i < index.FGroups; ++i) {
            const int depth = depthOfPosition(structure, index, i);
            if (depth < 0 || depth < depthOfPosition(structure, index, i + 1))
                continue; // a group: its children follow one level deeper
            list.append(asPrimaryLine(structure.at(index.FPosLine[i] - 1), depth, mark));
        }
    }
    replaceList(primary, axis, list);
}

void FillReferenceValues(TWorkspace& workspace, TTab& blockTable, TSession& session)
{
    for (int axis = 0; axis < kAxisCount; ++axis)
        fillReferenceAxis(workspace, blockTable, axis, session);
}

void FillReferenceValues(TWorkspace& workspace, TTab& blockTable)
{
    FillReferenceValues(workspace, blockTable, TSession::Default());
}

namespace {

// The value positions of a list that are no group: lines not followed by a deeper one.
int leafCount(const QStringList& list)
{
    int leaves = 0;
    for (qsizetype i = 1; i < list.size(); ++i)
        if (i + 1 == list.size() || TabLevel(list.at(i + 1)) <= TabLevel(list.at(i)))
            ++leaves;
    return leaves;
}

// "3 района", "5 позиций": the count with its noun, as the object of "Оставить".
QString countedPositions(int count, int axis)
{
    static const char16_t* const kRegions[3] = {u"район", u"района", u"районов"};
    static const char16_t* const kPositions[3] = {u"позицию", u"позиции", u"позиций"};
    const char16_t* const* forms = axis == kRegionAxis ? kRegions : kPositions;
    const int tens = count % 100;
    const int units = count % 10;
    const int form = (units == 1 && tens != 11) ? 0 : (units >= 2 && units <= 4 && (tens < 12 || tens > 14)) ? 1 : 2;
    // A no-break space: the count and its noun stay on one line of the question box.
    return QStringLiteral("%1\u00A0%2").arg(count).arg(QString::fromUtf16(forms[form]));
}

} // namespace

bool ConfirmListFromPlugin(TWorkspace& workspace, int axis, const QStringList& lines, const QString& kindWord,
    TCompPanel& block)
{
    const bool fromDatabases = kindWord == QStringLiteral("Extr");
    if (!validAxis(axis) || (!fromDatabases && kindWord != QStringLiteral("Est")))
        return false;
    const QStringList& current = (fromDatabases ? block.Rule : block.Calc)->Table().FLists[axis];
    const QString question = QStringLiteral("Оставить %1 блока «%2» %3 из\u00A0%4?")
                                 .arg(fromDatabases ? QStringLiteral("в выборке") : QStringLiteral("в расчете"),
                                     blockPanelKindName(block.number()), countedPositions(leafCount(lines), axis))
                                 .arg(leafCount(current));
    return workspace.state().ui().question(question);
}

TTab* SetListFromPlugin(TWorkspace& workspace, int axis, const QStringList& lines, const QString& kindWord,
    TCompPanel& block)
{
    const bool fromDatabases = kindWord == QStringLiteral("Extr");
    if (!validAxis(axis) || (!fromDatabases && kindWord != QStringLiteral("Est")))
        return nullptr;
    ProcessState& state = workspace.state();
    if (!state.StagingTab)
        state.StagingTab = std::make_unique<TTab>();
    TTab& staging = *state.StagingTab;
    TTab& primary = (fromDatabases ? block.Rule : block.Calc)->Table();

    // The plain cells are what must survive; a comparison view set by the table window would
    // come back as differences or ratios.
    const std::int32_t compareMode = primary.FCompareMode;
    primary.FCompareMode = 0;
    try {
        CopyStructureFrom(staging, primary, state.format);
    } catch (...) {
        primary.FCompareMode = compareMode;
        throw;
    }
    primary.FCompareMode = compareMode;

    const QString directory = state.DataDirectory;
    writeTextLines(workingListFileName(directory, fromDatabases ? u'd' : u'c', block.number(), axis), lines);
    if (fromDatabases)
        LoadPrimaryDataList(workspace, axis, block, directory);
    else
        LoadPrimaryCalcList(workspace, axis, block, directory);
    // Every axis, not only the changed one: the others map one to one, and a map left from an
    // earlier copy would lose their values.
    for (int k = 0; k < kAxisCount; ++k)
        mapAxis(staging, primary, k);
    CopyFrom(primary, staging, state.format);
    if (!fromDatabases)
        for (int k = 0; k < kAxisCount; ++k)
            workspace.mapModelInput(block, k);
    return &primary;
}

} // namespace verola
