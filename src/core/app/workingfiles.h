#pragma once

#include "core/app/workspace.h"

#include <QString>
#include <QStringList>

namespace verola {

class TSession;

// Working files of a block's coordinate lists in the data directory. While the program runs,
// the structure editor, the import of intervals and the plug-ins write a block's lists into
// these files; the operations below read them back into the tables and rebuild the indexes,
// dimensions and position maps that depend on them.
//
// Every operation that reads a file raises EInOutError when it cannot be read, before the
// table is touched. File names compare ignoring letter case when read (of several such files
// the last written is read). An axis outside 0..11 changes nothing.

// directory/temp.<letter><block><axis>, block and axis as one hexadecimal digit each, the
// axis in upper case ("temp.d2B"). letter: 'd' primary list from the databases, 'c' primary
// list of the calculation, 'o' summary structure.
QString workingListFileName(const QString& directory, QChar letter, int block, int axis);
// directory/Total.o<block><axis> in decimal ("Total.o211"): the source list of all values of an axis.
QString totalSourceListFileName(const QString& directory, int block, int axis);
// directory/Total.ref: line a holds the reference line of axis a.
QString referenceFileName(const QString& directory);

// Reads the kind 0 list of the axis from its temp.d file, re-dimensions the table and rebuilds
// the kind 1 map of the axis towards kind 0.
void LoadPrimaryDataList(TWorkspace& workspace, int axis, TCompPanel& block, const QString& directory);
// Reads the kind 2 list from its temp.c file, re-dimensions, rebuilds the kind 3 map towards kind 2
// and, when the block has an upstream block, the kind 2 map towards the upstream kind 1 table.
void LoadPrimaryCalcList(TWorkspace& workspace, int axis, TCompPanel& block, const QString& directory);
// Reads the kind 1 and the kind 3 list from the temp.o file, each without a last "СО" line,
// and re-dimensions both tables.
void LoadSummaryLists(TWorkspace& workspace, int axis, TCompPanel& block, const QString& directory);
// Reads the block table's list of the axis from the temp.o file, keeping a reference line last
// on every axis with more than one position, and re-dimensions the block table.
void LoadBlockTableList(TWorkspace& workspace, int axis, TCompPanel& block, const QString& directory);
// Makes the primary list of the axis (kind 0 with mark "D" from the databases, else kind 2 with
// mark "C") the header and the leaves of the summary structure, flat at depth 1. The positions
// are those of the kind 1 (kind 3) table, which must have been read from the same structure.
void BuildPrimaryFromSummary(TWorkspace& workspace, int axis, const QStringList& structure, TCompPanel& block,
    bool fromDatabases);
// Fills the reference position of every axis of the block table from the reference database its
// reference line names ("СО|file,key field[-"text to remove"],value field"), looked up by each
// position's reference key (item 3, in upper case). The database is taken from the configuration
// folder, else the data folder; an axis whose database is in neither is left alone. A key
// without a record gives missing; a field the database lacks raises EDatabaseError.
void FillReferenceValues(TWorkspace& workspace, TTab& blockTable, TSession& session);
void FillReferenceValues(TWorkspace& workspace, TTab& blockTable);
// The plug-ins' replacement of a primary list. kindWord "Extr" replaces the kind 0 list of the
// axis, "Est" the kind 2 list; the cells keep their values wherever the names match. Returns the
// changed table, or null (and changes nothing) for any other word.
TTab* SetListFromPlugin(TWorkspace& workspace, int axis, const QStringList& lines, const QString& kindWord,
    TCompPanel& block);
// Asks through the feedback whether the plug-in's list may replace the block's list of the axis,
// naming the block and how many positions of how many are kept ("Оставить в выборке блока
// «Загрязнения» 3 района из 10?"). False, without asking, for what SetListFromPlugin refuses.
bool ConfirmListFromPlugin(TWorkspace& workspace, int axis, const QStringList& lines, const QString& kindWord,
    TCompPanel& block);

} // namespace verola
