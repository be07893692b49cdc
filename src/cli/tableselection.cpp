#include "tableselection.h"

#include "core/app/processstate.h"

#include <QDir>
#include <QFileInfo>

namespace verola::cli {

namespace {

TableKind parseTableKind(const QString& text)
{
    static const QStringList names = {QStringLiteral("rule"), QStringLiteral("extr"), QStringLiteral("calc"),
        QStringLiteral("est"), QStringLiteral("block")};
    const qsizetype index = names.indexOf(text);
    if (index < 0)
        throw UsageError(QStringLiteral("--table takes rule, extr, calc, est or block, not \"%1\"").arg(text));
    return static_cast<TableKind>(index);
}

} // namespace

TableSelection selectTable(Arguments& args)
{
    TableSelection selection;
    selection.block = args.intOption(QStringLiteral("--block"), -1, 0, kBlockCount - 1);
    if (selection.block < 0)
        throw UsageError(QStringLiteral("option --block is required"));
    selection.kind = parseTableKind(args.requiredOption(QStringLiteral("--table")));
    return selection;
}

QString takeConfigPath(const Arguments& args)
{
    const QStringList rest = args.positionals();
    if (rest.size() != 1)
        throw UsageError(QStringLiteral("give exactly one configuration path"));
    return rest.first();
}

QString descriptionPathOf(const QString& configPath)
{
    return ConfigLocation::fromPath(configPath).filePath(QStringLiteral(".DES"));
}

void requireConfiguration(const QString& configPath, const QString& hint)
{
    if (!QFileInfo(configPath).absoluteDir().exists())
        throw UsageError(QStringLiteral("no such folder: %1").arg(QFileInfo(configPath).absolutePath()));
    const QString description = descriptionPathOf(configPath);
    if (!QFileInfo(description).isFile())
        throw UsageError(QStringLiteral("no such configuration: %1 does not exist%2").arg(description, hint));
}

void locateSelection(TableSelection& selection, const QString& configPath)
{
    requireConfiguration(configPath);
    selection.location = ConfigLocation::fromPath(configPath);
}

void readSelection(TTab& table, TableSelection& selection, const QString& configPath)
{
    locateSelection(selection, configPath);
    readTableFromFileSet(table, selection.location, selection.block, selection.kind);
}

} // namespace verola::cli
