#pragma once

// Whole table files kept in memory for the length of a selection run. The selection reopens a
// level's table once for every combination of outer positions; within a run each file is read
// from disk once, and again only when its size or modification time changes. Outside a run
// every open reads the file afresh.

#include "core/coreexport.h"
#include <QByteArray>
#include <QString>
#include <functional>
#include <memory>

namespace verola {

struct MemoryTableData;

// The bytes of a file; false when it cannot be read.
bool readTableFileBytes(const QString& path, QByteArray& bytes);

// The decoded records of a table file that is read whole (Paradox, text), kept like the bytes
// above. `variant` names whatever else the decoding depends on (number and date formats, a
// schema file), asked only within a run; `read` decodes the file and may throw, in which case
// nothing is kept.
std::shared_ptr<const MemoryTableData> readTableFileRecords(const QString& path,
    const std::function<QString()>& variant, const std::function<std::shared_ptr<const MemoryTableData>()>& read);

// While an object of this class lives, readTableFileBytes keeps what it reads; the last one
// to go forgets everything.
class VEROLA_CORE_EXPORT TTableFileCacheScope {
public:
    TTableFileCacheScope();
    ~TTableFileCacheScope();
    TTableFileCacheScope(const TTableFileCacheScope&) = delete;
    TTableFileCacheScope& operator=(const TTableFileCacheScope&) = delete;
};

// How many files (bytes or decoded records) the cache holds (for tests).
int cachedTableFileCount();

} // namespace verola
