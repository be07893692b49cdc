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
        throw UsageError(QStringLiteral("--table принимает rule, extr, calc, est или block, а не \"%1\"").arg(text));
    return static_cast<TableKind>(index);
}

} // namespace

TableSelection selectTable(Arguments& args)
{
    TableSelection selection;
    selection.block = args.intOption(QStringLiteral("--block"), -1, 0, kBlockCount - 1);
    if (selection.block < 0)
        throw UsageError(QStringLiteral("не задан обязательный параметр --block"));
    selection.kind = parseTableKind(args.requiredOption(QStringLiteral("--table")));
    return selection;
}

QString takeConfigPath(const Arguments& args)
{
    const QStringList rest = args.positionals();
    if (rest.size() != 1)
        throw UsageError(QStringLiteral("укажите ровно один путь к конфигурации"));
    return rest.first();
}

QString descriptionPathOf(const QString& configPath)
{
    return ConfigLocation::fromPath(configPath).filePath(QStringLiteral(".DES"));
}

void requireConfiguration(const QString& configPath, const QString& hint)
{
    if (!QFileInfo(configPath).absoluteDir().exists())
        throw UsageError(QStringLiteral("нет такой папки: %1").arg(QFileInfo(configPath).absolutePath()));
    const QString description = descriptionPathOf(configPath);
    if (!QFileInfo(description).isFile())
        throw UsageError(QStringLiteral("нет такой конфигурации: файла %1 не существует%2").arg(description, hint));
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
