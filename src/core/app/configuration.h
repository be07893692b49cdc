#pragma once

#include "core/coreexport.h"

#include <QString>
#include <QStringList>

namespace verola {

class TWorkspace;

// Opens the configuration a path names (its ".DES" or any file of its set): shows the
// description through the feedback and, when the user continues, takes its name and folder
// and reads the file set. Refused, nothing changes: the configuration open before stays the
// current one. Returns true when the file set was read.
bool OpenConfiguration(TWorkspace& workspace, const QString& path);

// Reads every block's lists and tables of the current configuration without writing anything:
// a missing list file gives the whole-set list (the next save writes it). A list file that is
// there but cannot be read gives the whole-set list too, and its block's table files are not
// read; a table file that cannot be read completely leaves its table as far as it was read. All
// such files are named in one message and remembered for the next save. Temporary files a
// killed save left are removed unless another program is saving the set. Throws on a failure
// that stops the reading.
void ReadFileSet(TWorkspace& workspace);

// Writes the tables, lists and map list of the current configuration, all or nothing: every
// file is written beside the old one and reaches the disk, then all of them replace the old
// ones. A file the open could not read is kept as "NAME.bak". The save holds the set's lock
// ("NAME.lock") throughout; temporary files a killed save left are removed. Throws, with every
// old file as it was, when a file fails, when another program is saving the set and when the
// configuration has no name.
struct VEROLA_CORE_EXPORT SaveSummary {
    int files = 0;             // files written and put in place
    qint64 milliseconds = 0;
    QString text() const;      // "сохранено файлов: 45, 0,31 с"
};
SaveSummary SaveFileSet(TWorkspace& workspace);

// Saves under a new name: the description (as the user edits it) goes to the new ".DES",
// with the file set, all or nothing. The description offered is the new name's own ".DES"
// when there is one, else the current configuration's. Failed, the name, folder and caption
// stay those of the configuration saved.
SaveSummary SaveConfigurationAs(TWorkspace& workspace, const QString& path);

// The description of the current configuration; one empty line when it cannot be read.
QStringList readDescription(const QString& directory, const QString& name);

} // namespace verola
