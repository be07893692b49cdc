#pragma once

#include "core/app/fileset.h"
#include "cli.h"

namespace verola::cli {

// Which table of a configuration a command reads: "--block N --table rule|extr|calc|est|block".
struct TableSelection {
    ConfigLocation location;
    int block = 0;
    TableKind kind = TableKind::Rule;
};

// Takes --block and --table out of the arguments.
TableSelection selectTable(Arguments& args);
// The one positional argument left: the ".DES" or any file of the set.
QString takeConfigPath(const Arguments& args);
// The ".DES" of the configuration a path names (the path itself or any file of the set).
QString descriptionPathOf(const QString& configPath);
// UsageError when the path's folder or the configuration's ".DES" does not exist, so that a
// misspelt name is refused rather than read as an empty configuration.
void requireConfiguration(const QString& configPath, const QString& hint = QString());
// Sets the selection's location from an existing configuration's path (requireConfiguration).
void locateSelection(TableSelection& selection, const QString& configPath);
// Locates the selection and reads the table from the file set.
void readSelection(TTab& table, TableSelection& selection, const QString& configPath);

} // namespace verola::cli
