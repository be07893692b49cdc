#pragma once

#include "core/coreexport.h"
#include "core/platform/textfile.h"

#include <QString>
#include <QStringList>

namespace verola {

class TTab;

// The five tables of a block: kinds 0..3 held by the Rule, Extr, Calc and Est panels, and the block table.
enum class TableKind { Rule = 0, Extr = 1, Calc = 2, Est = 3, Block = 4 };

// Where a configuration's files are: directory (no trailing separator) and name.
struct VEROLA_CORE_EXPORT ConfigLocation {
    QString directory;
    QString name;

    // From the path of the ".DES" or of any file of the set: the name is the file name up to its first ".".
    static ConfigLocation fromPath(const QString& path);
    QString filePath(const QString& extension) const;
    // The same path, refused with EInOutError when it leads out of the directory (a link to a
    // file elsewhere): reading it would take in a file that is not the set's, writing it would
    // replace one.
    QString checkedFilePath(const QString& extension) const;
    // checkedFilePath of a table file, its double-precision form ("NAME_") checked as well.
    QString checkedTableFilePath(const QString& extension) const;
};

// ".x1", ".d0", ".b4": the table file of a table of block n.
QString tableFileExtension(TableKind kind, int block);
// ".o1a", ".d00", ".c4b": the coordinate list of axis a of a table of block n.
QString listFileExtension(TableKind kind, int block, int axis);
// The extensions of every file of a set: ".DES", ".map", the lists and the table files
// (207), then the backups ".map.bak", ".x1.bak" … kept of files that could not be read (206).
QStringList fileSetExtensions();
// The backup kept of a file of the set that could not be read when it is saved over: "study.x1.bak".
QString backupFilePath(const QString& filePath);
// The lock file a save holds for its whole run, beside the ".DES": "study.lock".
QString fileSetLockPath(const ConfigLocation& location);
// Removes what a save killed part-way left behind: the temporary files beside the set's own
// files ("study.x1.~0a1b2c3d"). No other file is touched. Returns the names removed. Only for
// a caller that holds the set's lock: the temporary files of a running save look the same.
QStringList removeStaleTemporaries(const ConfigLocation& location);

// Code of the whole-set list that replaces a list file that cannot be read.
QString replacementListCode(TableKind kind);

// The label of the reference line a summary list may end with: "СО".
QString referenceLineName();
bool endsWithReferenceLine(const QStringList& list);

// The lines of a list file, or the whole-set list with the given code when there is no such
// file. A file that is there but cannot be read throws EInOutError naming it and why. Nothing
// is written.
TextFileContents readListFile(const QString& path, const QString& replacementCode);
// Drops the "СО" line a list of a summary table (kinds 1 and 3) must not hold.
void dropReferenceLine(QStringList& list);

// Reads the list of one axis of a table of a file set, leaving out the reference line for kinds 1
// and 3; returns the encoding it was read in. A missing file gives the whole-set list (code page
// 1251); nothing is written. A file that is there but cannot be read, a path that leads out of the
// directory and one that is not a regular file (a FIFO, a device, a folder) throw EInOutError.
TextEncoding readListFromFileSet(QStringList& list, const ConfigLocation& location, int block, TableKind kind, int axis);

// Reads one table of a file set without writing anything: its twelve lists (a missing
// list counts as the whole-set list; the "СО" last line is left out for kinds 1 and 3),
// the indexes, then the cells when the table file exists. A list file that cannot be read
// throws EInOutError.
void readTableFromFileSet(TTab& table, const ConfigLocation& location, int block, TableKind kind);

} // namespace verola
