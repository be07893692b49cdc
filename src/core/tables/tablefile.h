#pragma once

#include "core/coreexport.h"

#include <QString>
#include <cstdint>

namespace verola {

class Feedback;
class TTab;

// Writes every cell as a little-endian single-precision value in offset order,
// replacing the file in one step. Throws EInOutError.
void SaveToFile(TTab& table, const QString& fileName);

// Dimensions the table from its position counts and fills it from the file, or from
// the double-precision file named fileName + "_" when only that one exists. Returns
// false, leaving the table untouched, when neither exists. A file shorter than the
// table keeps the cells read so far and throws EInOutError; of a longer one the cells
// beyond the table are left out.
bool LoadFromFile(TTab& table, const QString& fileName);

// The load of a file a person chose: as LoadFromFile (a name ending in "_" is the
// double-precision form itself), but a file whose length is not the table's cell count in
// its precision is refused with EInOutError naming its size and the sizes the table
// expects, before the table changes.
bool LoadTableFileOfItsSize(TTab& table, const QString& fileName);

// Why the file LoadFromFile would read does not fit the table (its position counts) byte
// for byte, naming its size and the sizes the table expects; empty when it fits or when
// there is no such file. A file a few bytes too long does not fit either.
QString TableFileSizeProblem(const TTab& table, const QString& fileName);

struct VEROLA_CORE_EXPORT DbfExportResult {
    bool created = false;
    std::int64_t records = 0;
    bool stoppedAtLimit = false;
    std::int64_t unstorableValues = 0; // infinite, not a number or too wide: written as -999
};

// One dBase record per cell that is not missing, with a text field per axis of
// dimension above 1 and the value field; the file is marked as code page 1251.
// Throws EInOutError when the folder does not exist or the value field name is not
// one a dBase field can have.
DbfExportResult ExportDbf(TTab& table, const QString& fileName, const QString& valueFieldName, bool names,
    int codeAxis, int valueDecimals, std::int64_t freeSpaceLimit, int textWidth, Feedback* owner,
    const QString& codePrefix);

// The dBase field name of an axis: its English name cut to 8 characters, then "Id".
QString dbfAxisFieldName(int axis);

} // namespace verola
