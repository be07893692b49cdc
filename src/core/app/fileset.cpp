#include "core/app/fileset.h"

#include "core/app/processstate.h"
#include "core/platform/atomicfile.h"
#include "core/platform/errors.h"
#include "core/platform/paths.h"
#include "core/platform/regularfile.h"
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

QString ConfigLocation::checkedFilePath(const QString& extension) const
{
    const QString path = filePath(extension);
    if (!leadsIntoFolder(path, directory))
        throw EInOutError(QStringLiteral("Файл \"%1\" ведёт за пределы папки конфигурации \"%2\" (в \"%3\"): "
                                         "файлы конфигурации читаются и пишутся только в её папке")
                              .arg(path, directory, resolvedPath(path)));
    return path;
}

QString ConfigLocation::checkedTableFilePath(const QString& extension) const
{
    checkedFilePath(extension + u'_');
    return checkedFilePath(extension);
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
    for (int n = 0; n < kBlockCount; ++n) {
        for (TableKind kind : tableKinds)
            extensions.append(tableFileExtension(kind, n));
        for (int a = 0; a < kAxisCount; ++a)
            for (TableKind kind : listKinds)
                extensions.append(listFileExtension(kind, n, a));
    }
    QStringList backups;
    for (qsizetype i = 1; i < extensions.size(); ++i)
        backups.append(backupFilePath(extensions.at(i)));
    return extensions + backups;
}

QString backupFilePath(const QString& filePath)
{
    return filePath + QStringLiteral(".bak");
}

QString fileSetLockPath(const ConfigLocation& location)
{
    return location.filePath(QStringLiteral(".lock"));
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

TextFileContents readListFile(const QString& path, const QString& replacementCode)
{
    if (!QFileInfo::exists(path)) {
        TextFileContents whole;
        AddWholeSet(whole.lines, replacementCode);
        return whole;
    }
    return readTextFile(path);
}

void dropReferenceLine(QStringList& list)
{
    if (endsWithReferenceLine(list))
        list.removeLast();
}

TextEncoding readListFromFileSet(QStringList& list, const ConfigLocation& location, int block, TableKind kind, int axis)
{
    TextFileContents contents
        = readListFile(location.checkedFilePath(listFileExtension(kind, block, axis)), replacementListCode(kind));
    list = std::move(contents.lines);
    if (kind == TableKind::Extr || kind == TableKind::Est)
        dropReferenceLine(list);
    return contents.encoding;
}

void readTableFromFileSet(TTab& table, const ConfigLocation& location, int block, TableKind kind)
{
    for (int axis = 0; axis < kAxisCount; ++axis) {
        readListFromFileSet(table.FLists[axis], location, block, kind, axis);
        try {
            table.BuildIndex(axis);
        } catch (const ELimitError& error) {
            throw ELimitError(QStringLiteral("Список \"%1\" не прочитан: %2")
                                  .arg(location.filePath(listFileExtension(kind, block, axis)), error.message()));
        }
    }
    if (!LoadFromFile(table, location.checkedTableFilePath(tableFileExtension(kind, block))))
        table.Dimension(table.positionCounts());
}

} // namespace verola
