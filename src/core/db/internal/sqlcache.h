#pragma once

#include "core/db/recordsource.h"
#include "core/platform/formatsettings.h"

#include <QString>
#include <memory>

namespace verola {

class TSession;

// Runs SELECT statements with SQLite. A table a statement names is opened with
// its driver on first use and shown to SQLite as a virtual table, kept while its
// file is unchanged (same size and modification time); columns compared with "="
// get a hash index the first time a statement needs it. Results are held in memory: the
// whole records of one table as their record numbers, read from the table when asked for;
// any other rows as copies.
class SqlCache {
public:
    SqlCache();
    ~SqlCache();
    SqlCache(const SqlCache&) = delete;
    SqlCache& operator=(const SqlCache&) = delete;

    // Throws EDatabaseError with the statement's text on a bad statement or a missing table.
    std::unique_ptr<RecordSource> run(const QString& statement, const QString& databaseName, TSession& session);

    // Forgets every loaded table.
    void clear();
    int loadedTableCount() const;

    struct Impl;

private:
    std::unique_ptr<Impl> d;
};

} // namespace verola
