#pragma once

#include <QString>
#include <QStringList>

namespace verola {

class TWorkspace;

// Opens the configuration a path names (its ".DES" or any file of its set): shows the
// description through the feedback and, when the user continues, reads the file set.
// Returns true when the file set was read completely.
bool OpenConfiguration(TWorkspace& workspace, const QString& path);

// Reads every block's lists and tables of the current configuration; a list file that
// cannot be read is replaced by the whole-set list and written back. A table file that
// cannot be read completely leaves its table as far as it was read; all such files are named
// in one message and remembered for the next save. Throws on a failure that stops the reading.
void ReadFileSet(TWorkspace& workspace);

// Writes the tables, lists and map list of the current configuration; each file is replaced
// in one step and reaches the disk before it does. A table file the open could not read is
// first kept as "NAME.bak"; temporary files a killed save left are removed. Throws on the
// first failure, keeping the files written before it, and when the configuration has no name.
void SaveFileSet(TWorkspace& workspace);

// Saves under a new name: the description (as the user edits it) goes to the new ".DES",
// then the file set. The description offered is the new name's own ".DES" when there is one,
// else the current configuration's.
void SaveConfigurationAs(TWorkspace& workspace, const QString& path);

// The description of the current configuration; one empty line when it cannot be read.
QStringList readDescription(const QString& directory, const QString& name);

} // namespace verola
