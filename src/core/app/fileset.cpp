#include "core/app/fileset.h"

#include "core/app/processstate.h"
#include "core/platform/atomicfile.h"
#include "core/platform/errors.h"
#include "core/platform/paths.h"
#include "core/platform/textfile.h"
#include "core/tables/lineutils.h"
#include "core/tables/tablefile.h"
#include "core/tables/ttab.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>

namespace verola {

namespace {

QString hex(int value)
{
    return QString::number(value, 16);
}

} // namespace

ConfigLocation ConfigLocation::fromPath(const QString& path)
{
    const QFileInfo info(path);
    const QString fileName = info.fileName();
    const qsizetype dot = fileName.indexOf(u'.');
    return ConfigLocation{withoutTrailingSeparator(info.absolutePath()), dot < 0 ? QString() : fileName.left(dot)};
}

QString ConfigLocation::filePath(const QString& extension) const
{
    return directory + u'/' + name + extension;
}

QString tableFileExtension(TableKind kind, int block)
{
    static const char letters[5] = {'d', 'x', 'c', 's', 'b'};
    return u'.' + QChar(letters[static_cast<int>(kind)]) + hex(block);
}

QString listFileExtension(TableKind kind, int block, int axis)
{
    static const char letters[5] = {'d', 'o', 'c', 'o', 'o'};
    return u'.' + QChar(letters[static_cast<int>(kind)]) + hex(block) + hex(axis);
}

QStringList fileSetExtensions()
{
    const TableKind tableKinds[] = {TableKind::Extr, TableKind::Est, TableKind::Rule, TableKind::Calc, TableKind::Block};
    const TableKind listKinds[] = {TableKind::Block, TableKind::Rule, TableKind::Calc};
    QStringList extensions{QStringLiteral(".DES"), QStringLiteral(".map")};
    QStringList backups;
    for (int n = 0; n < kBlockCount; ++n) {
        for (TableKind kind : tableKinds) {
            extensions.append(tableFileExtension(kind, n));
            backups.append(backupFilePath(tableFileExtension(kind, n)));
        }
        for (int a = 0; a < kAxisCount; ++a)
            for (TableKind kind : listKinds) {
                extensions.append(listFileExtension(kind, n, a));
                backups.append(backupFilePath(listFileExtension(kind, n, a)));
            }
    }
    return extensions + backups;
}

QString backupFilePath(const QString& filePath)
{
    return filePath + QStringLiteral(".bak");
}

QStringList removeStaleTemporaries(const ConfigLocation& location)
{
    if (location.name.isEmpty())
        return {};
    QSet<QString> ownNames;
    for (const QString& extension : fileSetExtensions())
        ownNames.insert(location.name + extension);
    QDir folder(location.directory);
    QStringList removed;
    for (const QString& fileName : folder.entryList(QDir::Files | QDir::Hidden | QDir::System)) {
        if (ownNames.contains(temporaryFileTarget(fileName)) && folder.remove(fileName))
            removed.append(fileName);
    }
    return removed;
}

QString replacementListCode(TableKind kind)
{
    switch (kind) {
    case TableKind::Extr:
    case TableKind::Est:
        return QStringLiteral("T");
    case TableKind::Rule:
        return QStringLiteral("D");
    default:
        return QStringLiteral("C");
    }
}

QString referenceLineName()
{
    return QStringLiteral("СО");
}

bool endsWithReferenceLine(const QStringList& list)
{
    return !list.isEmpty() && LineName(list.last()) == referenceLineName();
}

void readListFromFileSet(QStringList& list, const ConfigLocation& location, int block, TableKind kind, int axis,
    bool writeBack)
{
    const QString path = location.filePath(listFileExtension(kind, block, axis));
    list.clear();
    try {
        list = readTextLines(path);
    } catch (const EInOutError&) {
        AddWholeSet(list, replacementListCode(kind));
        if (writeBack)
            writeTextLines(path, list);
        return;
    }
    const bool summary = kind == TableKind::Extr || kind == TableKind::Est;
    if (summary && endsWithReferenceLine(list))
        list.removeLast();
}

void readTableFromFileSet(TTab& table, const ConfigLocation& location, int block, TableKind kind)
{
    for (int axis = 0; axis < kAxisCount; ++axis) {
        readListFromFileSet(table.FLists[axis], location, block, kind, axis, false);
        try {
            table.BuildIndex(axis);
        } catch (const ELimitError& error) {
            throw ELimitError(QStringLiteral("Список \"%1\" не прочитан: %2")
                                  .arg(location.filePath(listFileExtension(kind, block, axis)), error.message()));
        }
    }
    if (!LoadFromFile(table, location.filePath(tableFileExtension(kind, block))))
        table.Dimension(table.positionCounts());
}

} // namespace verola
