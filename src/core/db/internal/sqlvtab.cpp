#include "core/db/internal/sqlvtab.h"

#include "core/db/dberrors.h"
#include "core/db/internal/sqlnames.h"

#include <QHash>
#include <QSet>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <exception>
#include <new>
#include <sqlite3.h>

namespace verola {

namespace {

struct DriverTable : sqlite3_vtab {
    std::shared_ptr<DriverTableData> data;
};

struct DriverCursor : sqlite3_vtab_cursor {
    DriverTableData* data = nullptr;
    const std::pair<quint64, int>* entry = nullptr; // indexed walk
    const std::pair<quint64, int>* entryEnd = nullptr;
    int row = 0; // full walk
    int count = 0;
    bool indexed = false;
    std::string text;

    int record() const { return indexed ? entry->second : row; }
    bool atEnd() const { return indexed ? entry >= entryEnd : row >= count; }
};

constexpr quint64 kFnvOffset = 1469598103934665603ull;
constexpr quint64 kFnvPrime = 1099511628211ull;

quint64 mixBytes(quint64 hash, const void* bytes, size_t length)
{
    const auto* p = static_cast<const unsigned char*>(bytes);
    for (size_t i = 0; i < length; ++i)
        hash = (hash ^ p[i]) * kFnvPrime;
    return hash;
}

quint64 mixNumber(quint64 hash, double value)
{
    if (value == 0)
        value = 0; // -0 and 0 are one key
    return mixBytes(hash, &value, sizeof value);
}

void setError(char** slot, const QString& message) noexcept
{
    sqlite3_free(*slot);
    *slot = nullptr;
    try {
        *slot = sqlite3_mprintf("%s", message.toUtf8().constData());
    } catch (...) {
        // no memory left for the message: the error code alone tells
    }
}

// Runs one of the module's methods: no exception may unwind through SQLite's C frames.
template <typename Work>
int guarded(char** message, Work&& work) noexcept
{
    try {
        return work();
    } catch (const EPlatformError& error) {
        setError(message, error.message());
        return SQLITE_ERROR;
    } catch (const std::bad_alloc&) {
        return SQLITE_NOMEM;
    } catch (const std::exception& error) {
        setError(message, QString::fromUtf8(error.what()));
        return SQLITE_ERROR;
    } catch (...) {
        setError(message, QStringLiteral("Unknown error in a table of the statement"));
        return SQLITE_ERROR;
    }
}

int connectTable(sqlite3* db, void* aux, int argc, const char* const* argv, sqlite3_vtab** out, char** error)
{
    auto* registry = static_cast<DriverTableRegistry*>(aux);
    if (argc < 4) {
        *error = sqlite3_mprintf("verola_table needs the table's key");
        return SQLITE_ERROR;
    }
    const auto it = registry->constFind(QString::fromUtf8(argv[3]));
    if (it == registry->constEnd()) {
        *error = sqlite3_mprintf("no loaded table %s", argv[3]);
        return SQLITE_ERROR;
    }
    const QByteArray schema = (QStringLiteral("CREATE TABLE x(") + driverTableSchema((*it)->records->fieldDefs())
                                  + u')').toUtf8();
    const int rc = sqlite3_declare_vtab(db, schema.constData());
    if (rc != SQLITE_OK)
        return rc;
    auto* table = new DriverTable;
    std::memset(static_cast<sqlite3_vtab*>(table), 0, sizeof(sqlite3_vtab));
    table->data = *it;
    *out = table;
    return SQLITE_OK;
}

int connect(sqlite3* db, void* aux, int argc, const char* const* argv, sqlite3_vtab** out, char** error) noexcept
{
    return guarded(error, [&] { return connectTable(db, aux, argc, argv, out, error); });
}

int disconnect(sqlite3_vtab* vtab) noexcept
{
    auto* table = static_cast<DriverTable*>(vtab);
    sqlite3_free(table->zErrMsg);
    delete table;
    return SQLITE_OK;
}

bool asksForRowidOrder(const sqlite3_index_info& info)
{
    return info.nOrderBy == 1 && info.aOrderBy[0].iColumn == -1 && !info.aOrderBy[0].desc;
}

int chooseIndex(sqlite3_vtab* vtab, sqlite3_index_info* info)
{
    auto* table = static_cast<DriverTable*>(vtab);
    const double rows = std::max(1, table->data->records->recordCount());
    std::vector<std::pair<int, int>> columns; // (column, constraint)
    for (int i = 0; i < info->nConstraint; ++i) {
        const auto& c = info->aConstraint[i];
        if (!c.usable || c.op != SQLITE_INDEX_CONSTRAINT_EQ || c.iColumn < 0)
            continue;
        if (std::none_of(columns.begin(), columns.end(), [&](const auto& p) { return p.first == c.iColumn; }))
            columns.push_back({c.iColumn, i});
    }
    if (columns.empty()) {
        info->idxNum = 0;
        info->estimatedCost = rows;
        info->estimatedRows = static_cast<sqlite3_int64>(rows);
        // A whole scan gives the records in file order, the order statements ask for by rowid.
        if (asksForRowidOrder(*info))
            info->orderByConsumed = 1;
        return SQLITE_OK;
    }
    std::sort(columns.begin(), columns.end());
    QStringList list;
    int argument = 0;
    for (const auto& [column, constraint] : columns) {
        list.append(QString::number(column));
        info->aConstraintUsage[constraint].argvIndex = ++argument;
        info->aConstraintUsage[constraint].omit = 0; // SQLite checks again: the index is by hash
    }
    info->idxNum = 1;
    // The index keeps the records of one key in file order, and a key it cannot serve falls back
    // to a whole scan: either way the rows come in rowid order.
    if (asksForRowidOrder(*info))
        info->orderByConsumed = 1;
    info->idxStr = sqlite3_mprintf("%s", list.join(u',').toLatin1().constData());
    info->needToFreeIdxStr = 1;
    info->estimatedCost = 10.0 + rows / std::pow(100.0, static_cast<double>(columns.size()));
    info->estimatedRows = std::max<sqlite3_int64>(1, static_cast<sqlite3_int64>(rows / std::pow(100.0, columns.size())));
    return SQLITE_OK;
}

int bestIndex(sqlite3_vtab* vtab, sqlite3_index_info* info) noexcept
{
    return guarded(&vtab->zErrMsg, [&] { return chooseIndex(vtab, info); });
}

int open(sqlite3_vtab* vtab, sqlite3_vtab_cursor** out) noexcept
{
    return guarded(&vtab->zErrMsg, [&] {
        auto* cursor = new DriverCursor;
        cursor->data = static_cast<DriverTable*>(vtab)->data.get();
        *out = cursor;
        return SQLITE_OK;
    });
}

int close(sqlite3_vtab_cursor* cursor) noexcept
{
    delete static_cast<DriverCursor*>(cursor);
    return SQLITE_OK;
}

std::vector<int> parseColumns(const char* text)
{
    std::vector<int> columns;
    for (const QString& part : QString::fromLatin1(text).split(u',', Qt::SkipEmptyParts))
        columns.push_back(part.toInt());
    return columns;
}

// Builds the index over the columns: one scan of the records.
const std::vector<std::pair<quint64, int>>& indexFor(DriverTableData& data, const std::string& key,
    const std::vector<int>& columns)
{
    auto it = data.indexes.find(key);
    if (it != data.indexes.end())
        return it->second;
    std::vector<std::pair<quint64, int>> entries;
    RecordSource& records = *data.records;
    const int count = records.recordCount();
    entries.reserve(static_cast<size_t>(count));
    std::string text;
    for (int r = 0; r < count; ++r) {
        data.read(r);
        quint64 hash = kFnvOffset;
        bool null = false;
        for (int c : columns) {
            if (data.textual[static_cast<size_t>(c)]) {
                records.utf8Text(c, text);
                hash = mixBytes(hash, text.data(), text.size()) ^ 0xff;
            } else if (records.isNull(c)) {
                null = true;
                break;
            } else {
                hash = mixNumber(hash, records.number(c));
            }
        }
        if (!null)
            entries.push_back({hash, r});
    }
    std::sort(entries.begin(), entries.end());
    return data.indexes.emplace(key, std::move(entries)).first->second;
}

// A text column is indexed by its bytes; a number compared with it converts
// in SQLite's comparison, which the hash of the number's text would miss.
bool hashable(const DriverTableData& data, const std::vector<int>& columns, int argc, sqlite3_value** argv)
{
    for (int i = 0; i < argc && i < static_cast<int>(columns.size()); ++i) {
        const int type = sqlite3_value_type(argv[i]);
        const bool textual = data.textual[static_cast<size_t>(columns[static_cast<size_t>(i)])];
        if (textual && type != SQLITE_TEXT && type != SQLITE_NULL)
            return false;
    }
    return true;
}

int filter(sqlite3_vtab_cursor* base, int idxNum, const char* idxStr, int argc, sqlite3_value** argv) noexcept
{
    auto* cursor = static_cast<DriverCursor*>(base);
    DriverTableData& data = *cursor->data;
    return guarded(&base->pVtab->zErrMsg, [&] {
        cursor->indexed = idxNum == 1;
        cursor->row = 0;
        cursor->count = data.records->recordCount();
        if (!cursor->indexed)
            return SQLITE_OK;
        const std::vector<int> columns = parseColumns(idxStr);
        if (!hashable(data, columns, argc, argv)) {
            cursor->indexed = false; // SQLite checks every row: the constraints are not omitted
            return SQLITE_OK;
        }
        const auto& entries = indexFor(data, idxStr, columns);
        quint64 hash = kFnvOffset;
        bool matchesNothing = false;
        for (int i = 0; i < argc && i < static_cast<int>(columns.size()); ++i) {
            sqlite3_value* value = argv[i];
            if (sqlite3_value_type(value) == SQLITE_NULL) {
                matchesNothing = true;
            } else if (data.textual[static_cast<size_t>(columns[static_cast<size_t>(i)])]) {
                const unsigned char* text = sqlite3_value_text(value);
                hash = mixBytes(hash, text, static_cast<size_t>(sqlite3_value_bytes(value))) ^ 0xff;
            } else {
                const int type = sqlite3_value_numeric_type(value);
                if (type == SQLITE_INTEGER || type == SQLITE_FLOAT)
                    hash = mixNumber(hash, sqlite3_value_double(value));
                else
                    matchesNothing = true;
            }
        }
        const auto range = std::equal_range(entries.begin(), entries.end(), std::pair<quint64, int>{hash, 0},
            [](const auto& a, const auto& b) { return a.first < b.first; });
        cursor->entry = matchesNothing ? entries.data() : entries.data() + (range.first - entries.begin());
        cursor->entryEnd = matchesNothing ? entries.data() : entries.data() + (range.second - entries.begin());
        return SQLITE_OK;
    });
}

int next(sqlite3_vtab_cursor* base) noexcept
{
    auto* cursor = static_cast<DriverCursor*>(base);
    if (cursor->indexed)
        ++cursor->entry;
    else
        ++cursor->row;
    return SQLITE_OK;
}

int eof(sqlite3_vtab_cursor* base) noexcept
{
    return static_cast<DriverCursor*>(base)->atEnd() ? 1 : 0;
}

int column(sqlite3_vtab_cursor* base, sqlite3_context* context, int field) noexcept
{
    auto* cursor = static_cast<DriverCursor*>(base);
    DriverTableData& data = *cursor->data;
    return guarded(&base->pVtab->zErrMsg, [&] {
        data.read(cursor->record());
        RecordSource& records = *data.records;
        if (data.textual[static_cast<size_t>(field)]) {
            records.utf8Text(field, cursor->text);
            sqlite3_result_text(context, cursor->text.data(), static_cast<int>(cursor->text.size()), SQLITE_TRANSIENT);
        } else if (records.isNull(field)) {
            sqlite3_result_null(context);
        } else {
            sqlite3_result_double(context, records.number(field));
        }
        return SQLITE_OK;
    });
}

int rowid(sqlite3_vtab_cursor* base, sqlite3_int64* id) noexcept
{
    *id = static_cast<DriverCursor*>(base)->record();
    return SQLITE_OK;
}

const sqlite3_module kModule = {
    0, connect, connect, bestIndex, disconnect, disconnect, open, close, filter, next, eof, column, rowid,
    nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
};

} // namespace

const char* declaredType(TFieldType type)
{
    switch (type) {
    case TFieldType::ftString: return "TEXT";
    case TFieldType::ftMemo: return "MEMO_TEXT";
    case TFieldType::ftDate: return "DATE";
    case TFieldType::ftBoolean: return "BOOLEAN";
    case TFieldType::ftInteger: return "INTEGER";
    case TFieldType::ftBCD: return "BCD_FLOAT";
    default: return "FLOAT";
    }
}

bool typeFromDeclared(const char* declared, TFieldType& type)
{
    if (!declared)
        return false;
    const QString name = QString::fromLatin1(declared).toUpper();
    static const QHash<QString, TFieldType> types = {{QStringLiteral("TEXT"), TFieldType::ftString},
        {QStringLiteral("MEMO_TEXT"), TFieldType::ftMemo}, {QStringLiteral("DATE"), TFieldType::ftDate},
        {QStringLiteral("BOOLEAN"), TFieldType::ftBoolean}, {QStringLiteral("INTEGER"), TFieldType::ftInteger},
        {QStringLiteral("BCD_FLOAT"), TFieldType::ftBCD}, {QStringLiteral("FLOAT"), TFieldType::ftFloat}};
    const auto it = types.constFind(name);
    if (it == types.constEnd())
        return false;
    type = *it;
    return true;
}

void DriverTableData::read(int record)
{
    if (record != currentRecord) {
        currentRecord = -1;
        records->readRecord(record);
        currentRecord = record;
    }
}

int registerDriverTableModule(sqlite3* db, DriverTableRegistry* registry)
{
    return sqlite3_create_module(db, "verola_table", &kModule, registry);
}

QString driverTableSchema(const TFieldDefs& fields)
{
    QStringList columns;
    QSet<QString> seen;
    for (const TFieldDef& def : fields.list()) {
        QString name = def.Name;
        while (seen.contains(name.toUpper()))
            name += u'_';
        seen.insert(name.toUpper());
        columns.append(quoteSqlName(name) + u' ' + QLatin1String(declaredType(def.DataType)));
    }
    return columns.join(u',');
}

} // namespace verola
