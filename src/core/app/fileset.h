#pragma once

#include "core/coreexport.h"

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
};

// ".x1", ".d0", ".b4": the table file of a table of block n.
QString tableFileExtension(TableKind kind, int block);
// ".o1a", ".d00", ".c4b": the coordinate list of axis a of a table of block n.
QString listFileExtension(TableKind kind, int block, int axis);
// The extensions of every file of a set: ".DES", ".map", the lists and the table files
// (207), then the backups ".x1.bak", ".o11.bak" … kept of table and list files that could not
// be read (205).
QStringList fileSetExtensions();
// The backup kept of a file that could not be read when it is saved over: "study.x1.bak".
QString backupFilePath(const QString& filePath);
// Removes what a save killed part-way left behind: the temporary files beside the set's own
// files ("study.x1.~0a1b2c3d"). No other file is touched. Returns the names removed.
QStringList removeStaleTemporaries(const ConfigLocation& location);

// Code of the whole-set list that replaces a list file that cannot be read.
QString replacementListCode(TableKind kind);

// The label of the reference line a summary list may end with: "СО".
QString referenceLineName();
bool endsWithReferenceLine(const QStringList& list);

// Reads the list of one axis of a table of a file set, leaving out the reference line for kinds 1
// and 3. A file that cannot be read gives the whole-set list, written back to it when writeBack is set.
void readListFromFileSet(QStringList& list, const ConfigLocation& location, int block, TableKind kind, int axis,
    bool writeBack);

// Reads one table of a file set without writing anything: its twelve lists (a missing
// list counts as the whole-set list; the "СО" last line is left out for kinds 1 and 3),
// the indexes, then the cells when the table file exists.
void readTableFromFileSet(TTab& table, const ConfigLocation& location, int block, TableKind kind);

} // namespace verola
