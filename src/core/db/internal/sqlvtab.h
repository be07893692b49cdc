#pragma once

#include "core/db/recordsource.h"

#include <QHash>
#include <QString>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

struct sqlite3;

namespace verola {

// A hash index over some columns: the records of each key's hash in file order and, while the
// keys are few and no two share a hash, the key each hash stands for, so that a lookup knows
// its records without reading them.
struct DriverTableIndex {
    std::vector<std::pair<quint64, int>> entries; // (hash of the key, record number), sorted
    std::unordered_map<quint64, std::string> keys; // by hash; empty unless exact
    bool exact = false;
};

// A table file as SQLite sees it: a virtual table reading the driver's records
// in place. Equality constraints are served by a hash index over the compared
// columns, built on the first statement that needs it and kept with the table; an
// equality with a literal compared unchanged is checked by the table, not again by SQLite.
struct DriverTableData {
    std::unique_ptr<RecordSource> records;
    std::vector<bool> textual; // per field: compared and returned as text
    int currentRecord = -1;
    // By column list ("0,2").
    std::map<std::string, DriverTableIndex> indexes;

    void read(int record);
};

using DriverTableRegistry = QHash<QString, std::shared_ptr<DriverTableData>>;

// Registers the module on a connection; "CREATE VIRTUAL TABLE name USING verola_table(key)"
// then shows the registry's entry key.
// Returns SQLite's result code.
int registerDriverTableModule(sqlite3* db, DriverTableRegistry* registry);

// Column declarations for the records' fields, carrying the engine's field types.
QString driverTableSchema(const TFieldDefs& fields);

// Declared column types carry the engine's field types through SQLite: the
// declaration of a type and, for a result column, the type back from its declaration
// (false for a declaration this module does not write, or none).
const char* declaredType(TFieldType type);
bool typeFromDeclared(const char* declared, TFieldType& type);

} // namespace verola
