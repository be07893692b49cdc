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
// Sets the selection's location from the path; UsageError when its folder does not exist.
void locateSelection(TableSelection& selection, const QString& configPath);
// Locates the selection and reads the table from the file set.
void readSelection(TTab& table, TableSelection& selection, const QString& configPath);

} // namespace verola::cli
