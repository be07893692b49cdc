#include "core/db/internal/sqlvtab.h"

#include "core/db/dberrors.h"
#include "core/db/internal/sqlnames.h"

#include <QHash>
#include <QSet>
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <exception>
#include <new>
#include <sqlite3.h>
#include <unordered_map>
#include <utility>

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
    // Constraints SQLite left to the table: the records must have this key over these columns.
    bool checksKey = false;
    std::vector<int> keyColumns;
    std::string wantedKey;
    std::string recordKey;

    int record() const { return indexed ? entry->second : row; }
    bool atEnd() const { return indexed ? entry >= entryEnd : row >= count; }
    void advance()
    {
        if (indexed)
            ++entry;
        else
            ++row;
    }
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

// Keys over columns as bytes: a text column's UTF-8 followed by 0xFF (which UTF-8 never holds),
// a number column's eight bytes, in the order of the columns; hashed as the index hashes them.
void appendText(std::string& key, quint64& hash, const char* text, size_t length)
{
    hash = mixBytes(hash, text, length) ^ 0xff;
    key.append(text, length);
    key.push_back('\xff');
}

void appendNumber(std::string& key, quint64& hash, double value)
{
    if (value == 0)
        value = 0;
    hash = mixNumber(hash, value);
    key.append(reinterpret_cast<const char*>(&value), sizeof value);
}

// The current record's key; false when a number column is blank (such records match no key).
bool keyOfRecord(DriverTableData& data, const std::vector<int>& columns, std::string& key, quint64& hash,
                 std::string& text)
{
    RecordSource& records = *data.records;
    key.clear();
    hash = kFnvOffset;
    for (int c : columns) {
        if (data.textual[static_cast<size_t>(c)]) {
            records.utf8Text(c, text);
            appendText(key, hash, text.data(), text.size());
        } else if (records.isNull(c)) {
            return false;
        } else {
            appendNumber(key, hash, records.number(c));
        }
    }
    return true;
}

// The key SQLite compares the columns with: a value given to a text column as its text (the
// column's text affinity), to a number column as its number; false when no record can match
// (a null, or a text that is no number for a number column).
bool keyOfArguments(const DriverTableData& data, const std::vector<int>& columns, int argc, sqlite3_value** argv,
                    std::string& key, quint64& hash)
{
    key.clear();
    hash = kFnvOffset;
    for (int i = 0; i < argc && i < static_cast<int>(columns.size()); ++i) {
        sqlite3_value* value = argv[i];
        if (sqlite3_value_type(value) == SQLITE_NULL)
            return false;
        if (data.textual[static_cast<size_t>(columns[static_cast<size_t>(i)])]) {
            const auto* text = reinterpret_cast<const char*>(sqlite3_value_text(value));
            appendText(key, hash, text ? text : "", static_cast<size_t>(sqlite3_value_bytes(value)));
            continue;
        }
        const int type = sqlite3_value_numeric_type(value);
        if (type != SQLITE_INTEGER && type != SQLITE_FLOAT)
            return false;
        appendNumber(key, hash, sqlite3_value_double(value));
    }
    return true;
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
        setError(message, QStringLiteral("Неизвестная ошибка в таблице запроса"));
        return SQLITE_ERROR;
    }
}

int connectTable(sqlite3* db, void* aux, int argc, const char* const* argv, sqlite3_vtab** out, char** error)
{
    auto* registry = static_cast<DriverTableRegistry*>(aux);
    if (argc < 4) {
        *error = sqlite3_mprintf("%s", "Таблице запроса не передан её ключ");
        return SQLITE_ERROR;
    }
    const auto it = registry->constFind(QString::fromUtf8(argv[3]));
    if (it == registry->constEnd()) {
        *error = sqlite3_mprintf("Таблица %s запроса не загружена", argv[3]);
        return SQLITE_ERROR;
    }
    const RecordSource& records = *(*it)->records;
    const int fields = records.fieldDefs().Count();
    const int mostColumns = sqlite3_limit(db, SQLITE_LIMIT_COLUMN, -1);
    const QString cannotOpen = QStringLiteral("Не удалось открыть таблицу \"%1\" для SQL-запроса: ").arg(records.origin());
    if (fields == 0 || fields > mostColumns) {
        setError(error, cannotOpen
                + (fields == 0 ? QStringLiteral("в ней нет полей")
                               : QStringLiteral("полей в ней %1, а запрос принимает не больше %2").arg(fields).arg(mostColumns)));
        return SQLITE_ERROR;
    }
    const QByteArray schema = (QStringLiteral("CREATE TABLE x(") + driverTableSchema(records.fieldDefs()) + u')').toUtf8();
    const int rc = sqlite3_declare_vtab(db, schema.constData());
    if (rc != SQLITE_OK) {
        setError(error, cannotOpen + QString::fromUtf8(sqlite3_errmsg(db)));
        return rc;
    }
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

// An equality whose right side is a literal that SQLite compares with the column's values
// unchanged: text by its bytes with a text column, a number with a number column.
bool comparesPlainly(const DriverTableData& data, sqlite3_index_info* info, int column, int constraint)
{
    sqlite3_value* value = nullptr;
    if (sqlite3_vtab_rhs_value(info, constraint, &value) != SQLITE_OK || !value)
        return false;
    const char* collation = sqlite3_vtab_collation(info, constraint);
    if (!collation || sqlite3_stricmp(collation, "BINARY") != 0)
        return false;
    const int type = sqlite3_value_type(value);
    if (data.textual[static_cast<size_t>(column)])
        return type == SQLITE_TEXT;
    return type == SQLITE_INTEGER || type == SQLITE_FLOAT;
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
        // The index holds texts by their bytes: a comparison under another collation scans.
        const char* collation = sqlite3_vtab_collation(info, i);
        if (table->data->textual[static_cast<size_t>(c.iColumn)] && (!collation || sqlite3_stricmp(collation, "BINARY") != 0))
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
    // Literal values compared by bytes or as numbers: the table checks the keys itself, and
    // SQLite need not read the compared columns of every row again.
    const bool checkedHere = std::all_of(columns.begin(), columns.end(), [&](const auto& pair) {
        return comparesPlainly(*table->data, info, pair.first, pair.second);
    });
    QStringList list;
    int argument = 0;
    for (const auto& [column, constraint] : columns) {
        list.append(QString::number(column));
        info->aConstraintUsage[constraint].argvIndex = ++argument;
        info->aConstraintUsage[constraint].omit = checkedHere ? 1 : 0; // else SQLite checks again: the index is by hash
    }
    info->idxNum = checkedHere ? 2 : 1;
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

// Builds the index over the columns: one scan of the records. While the keys are few, each
// record notes only the number of its key, and the records are put in their key's place in file
// order afterwards, without a sort.
const DriverTableIndex& indexFor(DriverTableData& data, const std::string& name, const std::vector<int>& columns)
{
    auto it = data.indexes.find(name);
    if (it != data.indexes.end())
        return it->second;
    constexpr std::uint16_t kNoKey = 0xFFFF;
    constexpr size_t kMostKeysKept = 4096;
    DriverTableIndex index;
    std::vector<std::uint16_t> keyOf; // per record, while the keys are kept
    std::vector<quint64> hashOfKey;   // by key number
    std::unordered_map<quint64, std::pair<std::uint16_t, std::string>> keys; // by hash: number and key
    const int count = data.records->recordCount();
    keyOf.reserve(static_cast<size_t>(count));
    bool exact = true;
    std::string key, text;
    for (int r = 0; r < count; ++r) {
        data.read(r);
        quint64 hash = 0;
        const bool keyed = keyOfRecord(data, columns, key, hash, text);
        if (exact && keyed) {
            const auto [kept, added] = keys.try_emplace(hash);
            if (added && hashOfKey.size() < kMostKeysKept) {
                kept->second = {static_cast<std::uint16_t>(hashOfKey.size()), key};
                hashOfKey.push_back(hash);
            }
            exact = !added ? kept->second.second == key : hashOfKey.size() == keys.size();
            if (!exact) {
                // Too many keys, or two sharing a hash: every record notes its hash from here on.
                index.entries.reserve(static_cast<size_t>(count));
                for (int done = 0; done < r; ++done)
                    if (keyOf[static_cast<size_t>(done)] != kNoKey)
                        index.entries.push_back({hashOfKey[keyOf[static_cast<size_t>(done)]], done});
                std::vector<std::uint16_t>().swap(keyOf);
                keys.clear();
            } else {
                keyOf.push_back(kept->second.first);
                continue;
            }
        }
        if (exact)
            keyOf.push_back(kNoKey);
        else if (keyed)
            index.entries.push_back({hash, r});
    }
    for (auto& [hash, numberedKey] : keys)
        index.keys.emplace(hash, std::move(numberedKey.second));
    index.exact = exact;
    if (exact) {
        std::vector<std::uint16_t> byHash(hashOfKey.size());
        for (size_t k = 0; k < byHash.size(); ++k)
            byHash[k] = static_cast<std::uint16_t>(k);
        std::sort(byHash.begin(), byHash.end(), [&](auto a, auto b) { return hashOfKey[a] < hashOfKey[b]; });
        std::vector<size_t> next(hashOfKey.size(), 0);
        for (const std::uint16_t k : keyOf)
            if (k != kNoKey)
                ++next[k];
        size_t offset = 0;
        for (const std::uint16_t k : byHash)
            offset += std::exchange(next[k], offset);
        index.entries.resize(offset);
        for (size_t r = 0; r < keyOf.size(); ++r)
            if (const std::uint16_t k = keyOf[r]; k != kNoKey)
                index.entries[next[k]++] = {hashOfKey[k], static_cast<int>(r)};
    } else {
        std::sort(index.entries.begin(), index.entries.end());
    }
    return data.indexes.emplace(name, std::move(index)).first->second;
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

// Moves past the records whose key is not the one asked for, when the table checks keys.
void skipOtherKeys(DriverCursor& cursor)
{
    if (!cursor.checksKey)
        return;
    for (; !cursor.atEnd(); cursor.advance()) {
        cursor.data->read(cursor.record());
        quint64 hash = 0;
        if (keyOfRecord(*cursor.data, cursor.keyColumns, cursor.recordKey, hash, cursor.text)
            && cursor.recordKey == cursor.wantedKey)
            return;
    }
}

// Points the cursor at the index's records of `hash`, or at none.
void pointAtHash(DriverCursor& cursor, const DriverTableIndex& index, quint64 hash, bool none)
{
    const auto range = std::equal_range(index.entries.begin(), index.entries.end(), std::pair<quint64, int>{hash, 0},
        [](const auto& a, const auto& b) { return a.first < b.first; });
    cursor.indexed = true;
    cursor.entry = index.entries.data() + (none ? 0 : range.first - index.entries.begin());
    cursor.entryEnd = none ? cursor.entry : index.entries.data() + (range.second - index.entries.begin());
}

// The rows of a key SQLite left to the table to check: from an exact index the records of its
// hash, when that hash stands for the key; else the records of the hash, each checked.
void filterChecked(DriverCursor& cursor, const char* idxStr, int argc, sqlite3_value** argv)
{
    DriverTableData& data = *cursor.data;
    std::vector<int> columns = parseColumns(idxStr);
    quint64 hash = 0;
    std::string wanted;
    const auto& index = indexFor(data, idxStr, columns);
    const bool matches = keyOfArguments(data, columns, argc, argv, wanted, hash);
    const auto kept = index.keys.find(hash);
    const bool none = !matches || (index.exact && (kept == index.keys.end() || kept->second != wanted));
    pointAtHash(cursor, index, hash, none);
    cursor.checksKey = !none && !index.exact;
    if (cursor.checksKey) {
        cursor.keyColumns = std::move(columns);
        cursor.wantedKey = std::move(wanted);
        skipOtherKeys(cursor);
    }
}

int filter(sqlite3_vtab_cursor* base, int idxNum, const char* idxStr, int argc, sqlite3_value** argv) noexcept
{
    auto* cursor = static_cast<DriverCursor*>(base);
    DriverTableData& data = *cursor->data;
    return guarded(&base->pVtab->zErrMsg, [&] {
        cursor->indexed = false;
        cursor->checksKey = false;
        cursor->row = 0;
        cursor->count = data.records->recordCount();
        if (idxNum == 2) {
            filterChecked(*cursor, idxStr, argc, argv);
            return SQLITE_OK;
        }
        if (idxNum != 1)
            return SQLITE_OK;
        const std::vector<int> columns = parseColumns(idxStr);
        if (!hashable(data, columns, argc, argv))
            return SQLITE_OK; // SQLite checks every row: the constraints are not omitted
        const auto& index = indexFor(data, idxStr, columns);
        quint64 hash = 0;
        std::string key;
        const bool matches = keyOfArguments(data, columns, argc, argv, key, hash);
        pointAtHash(*cursor, index, hash, !matches);
        return SQLITE_OK;
    });
}

int next(sqlite3_vtab_cursor* base) noexcept
{
    auto* cursor = static_cast<DriverCursor*>(base);
    return guarded(&base->pVtab->zErrMsg, [&] {
        cursor->advance();
        skipOtherKeys(*cursor);
        return SQLITE_OK;
    });
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
