#pragma once

// Whole table files kept in memory for the length of a selection run. The selection reopens a
// level's table once for every combination of outer positions; within a run each file is read
// from disk once, and again only when its size or modification time changes. Outside a run
// every open reads the file afresh.

#include "core/coreexport.h"
#include <QByteArray>
#include <QString>

namespace verola {

// The bytes of a file; false when it cannot be read.
bool readTableFileBytes(const QString& path, QByteArray& bytes);

// While an object of this class lives, readTableFileBytes keeps what it reads; the last one
// to go forgets everything.
class VEROLA_CORE_EXPORT TTableFileCacheScope {
public:
    TTableFileCacheScope();
    ~TTableFileCacheScope();
    TTableFileCacheScope(const TTableFileCacheScope&) = delete;
    TTableFileCacheScope& operator=(const TTableFileCacheScope&) = delete;
};

// How many files the cache holds (for tests).
int cachedTableFileCount();

} // namespace verola
