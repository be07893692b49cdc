#include "core/db/internal/sqlcache.h"

#include "core/db/dbfdriver.h"
#include "core/db/dberrors.h"
#include "core/db/session.h"
#include "core/db/internal/sqlnames.h"
#include "core/db/internal/sqltranslator.h"
#include "core/db/internal/sqlvtab.h"
#include "core/db/tablefiles.h"
#include "core/platform/conversions.h"

#include <QDateTime>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>
#include <QSet>
#include <algorithm>
#include <sqlite3.h>
#include <vector>

namespace verola {

namespace {

struct Statement {
    sqlite3_stmt* handle = nullptr;
    ~Statement() { sqlite3_finalize(handle); }
};

// SQLite's reason for the user: its common faults in Russian, the others as SQLite words them.
// The module's own messages are Russian already.
QString sqliteReason(const QString& text)
{
    static const std::pair<QRegularExpression, QString> known[] = {
        {QRegularExpression(QStringLiteral("^no such column: (.*)$")), QStringLiteral("нет поля %1")},
        {QRegularExpression(QStringLiteral("^no such table: (.*)$")), QStringLiteral("нет таблицы %1")},
        {QRegularExpression(QStringLiteral("^no such function: (.*)$")), QStringLiteral("нет функции %1")},
        {QRegularExpression(QStringLiteral("^ambiguous column name: (.*)$")),
            QStringLiteral("поле %1 есть в нескольких таблицах запроса")},
        {QRegularExpression(QStringLiteral("^near \"(.*)\": syntax error$")), QStringLiteral("ошибка в запросе около \"%1\"")},
        {QRegularExpression(QStringLiteral("^incomplete input$")), QStringLiteral("запрос оборван")},
    };
    static const QRegularExpression cyrillic(QStringLiteral("[А-Яа-яЁё]"));
    if (text.contains(cyrillic))
        return text;
    for (const auto& [pattern, russian] : known)
        if (const auto match = pattern.match(text); match.hasMatch())
            return pattern.captureCount() > 0 ? russian.arg(match.captured(1)) : russian;
    return QStringLiteral("ошибка SQLite: %1").arg(text);
}

// A result's number as shown in a field of the given type.
QString numberDisplayText(double value, TFieldType type, const FormatSettings& format)
{
    if (type == TFieldType::ftDate) {
        int y = 0, m = 0, d = 0;
        decodeDate(value, y, m, d);
        return formatShortDate(y, m, d, format);
    }
    if (type == TFieldType::ftBoolean)
        return value != 0 ? QStringLiteral("True") : QStringLiteral("False");
    return floatToStr(value, format);
}

// The rows of one result, held compactly: numbers inline, texts in one UTF-8 buffer.
class ResultTable : public RecordSource {
public:
    struct TextSpan {
        quint32 offset;
        quint32 length;
    };
    // A number or the place of a text, never both: sixteen bytes a cell.
    struct Cell {
        union {
            double number = 0;
            TextSpan text;
        };
        unsigned char kind = SQLITE_NULL;
    };

    static_assert(sizeof(Cell) == 16);

    ResultTable(QString statement, TFieldDefs defs) : m_statement(std::move(statement)), m_defs(std::move(defs)) {}

    void appendRow(sqlite3_stmt* stmt)
    {
        const int columns = m_defs.Count();
        for (int c = 0; c < columns; ++c) {
            Cell cell;
            cell.kind = static_cast<unsigned char>(sqlite3_column_type(stmt, c));
            if (cell.kind == SQLITE_INTEGER || cell.kind == SQLITE_FLOAT) {
                cell.number = sqlite3_column_double(stmt, c);
            } else if (cell.kind == SQLITE_TEXT || cell.kind == SQLITE_BLOB) {
                const char* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, c));
                cell.kind = SQLITE_TEXT;
                cell.text.length = static_cast<quint32>(sqlite3_column_bytes(stmt, c));
                cell.text.offset = static_cast<quint32>(m_texts.size());
                m_texts.append(text, cell.text.length);
            }
            pushCell(cell);
        }
        ++m_rows;
    }

    QString origin() const override { return QStringLiteral("результате SQL-запроса:\n") + m_statement; }
    const TFieldDefs& fieldDefs() const override { return m_defs; }
    int recordCount() const override { return m_rows; }
    void readRecord(int record) override
    {
        if (record < 0 || record >= m_rows)
            throw EDatabaseError(QStringLiteral("Записи %1 нет в результате SQL-запроса:\n%2").arg(record + 1).arg(m_statement));
        m_current = record;
    }
    bool isNull(int field) const override
    {
        const Cell& c = cell(field);
        return c.kind == SQLITE_NULL || (c.kind == SQLITE_TEXT && c.text.length == 0);
    }
    double number(int field) const override
    {
        const Cell& c = cell(field);
        if (c.kind == SQLITE_TEXT)
            return QString::fromUtf8(m_texts.constData() + c.text.offset, c.text.length).trimmed().toDouble();
        return c.kind == SQLITE_NULL ? 0.0 : c.number;
    }
    QString text(int field) const override
    {
        const Cell& c = cell(field);
        if (c.kind == SQLITE_TEXT)
            return QString::fromUtf8(m_texts.constData() + c.text.offset, c.text.length);
        if (c.kind == SQLITE_NULL)
            return QString();
        return formatGeneral(c.number, 15, u'.');
    }
    void utf8Text(int field, std::string& out) const override
    {
        const Cell& c = cell(field);
        if (c.kind == SQLITE_TEXT)
            out.assign(m_texts.constData() + c.text.offset, c.text.length);
        else
            RecordSource::utf8Text(field, out);
    }
    QString displayText(int field, const FormatSettings& format) const override
    {
        const Cell& c = cell(field);
        if (c.kind == SQLITE_TEXT)
            return text(field);
        if (c.kind == SQLITE_NULL)
            return QString();
        return numberDisplayText(c.number, m_defs[field].DataType, format);
    }

private:
    // Cells are kept in fixed blocks: a growing result is never moved, and holds at most one
    // block more than it needs.
    static constexpr size_t kBlockCells = 16384;

    void pushCell(const Cell& cell)
    {
        if (m_blocks.empty() || m_blocks.back().size() == kBlockCells) {
            m_blocks.emplace_back();
            m_blocks.back().reserve(kBlockCells);
        }
        m_blocks.back().push_back(cell);
    }

    const Cell& cell(int field) const
    {
        const size_t index = static_cast<size_t>(m_current) * static_cast<size_t>(m_defs.Count()) + static_cast<size_t>(field);
        return m_blocks[index / kBlockCells][index % kBlockCells];
    }

    QString m_statement;
    TFieldDefs m_defs;
    std::vector<std::vector<Cell>> m_blocks;
    QByteArray m_texts;
    int m_rows = 0;
    int m_current = -1;
};

// The rows of a result that shows one table's records whole: their record numbers, the fields
// read from the table in place when asked for. Reads give what a ResultTable holding copies of
// the same rows would give.
class TableRecordsResult : public RecordSource {
public:
    TableRecordsResult(QString statement, TFieldDefs defs, std::shared_ptr<DriverTableData> table)
        : m_statement(std::move(statement)), m_defs(std::move(defs)), m_table(std::move(table))
    {
    }

    void append(int record) { m_records.push_back(record); }

    QString origin() const override { return QStringLiteral("результате SQL-запроса:\n") + m_statement; }
    const TFieldDefs& fieldDefs() const override { return m_defs; }
    int recordCount() const override { return static_cast<int>(m_records.size()); }
    void readRecord(int record) override
    {
        if (record < 0 || record >= recordCount())
            throw EDatabaseError(QStringLiteral("Записи %1 нет в результате SQL-запроса:\n%2").arg(record + 1).arg(m_statement));
        m_current = record;
        // Results are mostly walked in order: the records a little ahead are asked for now.
        constexpr int kAhead = 2;
        if (record + kAhead < recordCount())
            m_table->records->prefetch(m_records[static_cast<size_t>(record + kAhead)]);
    }
    void prefetch(int record) const override
    {
        if (record >= 0 && record < recordCount())
            m_table->records->prefetch(m_records[static_cast<size_t>(record)]);
    }
    bool isNull(int field) const override
    {
        const RecordSource& records = current();
        return textual(field) ? records.text(field).isEmpty() : records.isNull(field);
    }
    double number(int field) const override
    {
        const RecordSource& records = current();
        if (textual(field))
            return records.text(field).trimmed().toDouble();
        return records.isNull(field) ? 0.0 : records.number(field);
    }
    QString text(int field) const override
    {
        const RecordSource& records = current();
        if (textual(field))
            return records.text(field);
        return records.isNull(field) ? QString() : formatGeneral(records.number(field), 15, u'.');
    }
    void utf8Text(int field, std::string& out) const override
    {
        const RecordSource& records = current();
        if (textual(field))
            records.utf8Text(field, out);
        else
            RecordSource::utf8Text(field, out);
    }
    QString displayText(int field, const FormatSettings& format) const override
    {
        const RecordSource& records = current();
        if (textual(field))
            return records.text(field);
        if (records.isNull(field))
            return QString();
        return numberDisplayText(records.number(field), m_defs[field].DataType, format);
    }

private:
    // The table may have moved to another record for a statement or another result since.
    const RecordSource& current() const
    {
        m_table->read(m_records[static_cast<size_t>(m_current)]);
        return *m_table->records;
    }
    bool textual(int field) const { return m_table->textual[static_cast<size_t>(field)]; }

    QString m_statement;
    TFieldDefs m_defs;
    std::shared_ptr<DriverTableData> m_table; // kept alive should the cache drop the table meanwhile
    std::vector<int> m_records;
    int m_current = -1;
};

} // namespace

struct LoadedTable {
    QString sqlName;
    qint64 size = -1;
    QDateTime modified;
    TFieldDefs fields;
};

struct SqlCache::Impl {
    sqlite3* db = nullptr;
    QHash<QString, LoadedTable> tables; // by absolute file path
    DriverTableRegistry registry;       // by SQLite table name
    int nextTable = 0;

    ~Impl()
    {
        if (db)
            sqlite3_close(db);
    }

    [[noreturn]] void fail(const QString& what, const QString& statement) const
    {
        throw EDatabaseError(QStringLiteral("%1. SQL-запрос:\n%2").arg(what, statement));
    }

    // The connection's last fault; running out of memory is not a fault of the statement.
    [[noreturn]] void failOfEngine(const QString& reason, const QString& statement) const
    {
        if (sqlite3_errcode(db) == SQLITE_NOMEM)
            throw EOutOfMemory(outOfMemoryMessage(QStringLiteral("SQL-запрос")) + QStringLiteral(":\n") + statement);
        fail(sqliteReason(reason), statement);
    }
    [[noreturn]] void failOfEngine(const QString& statement) const
    {
        failOfEngine(QString::fromUtf8(sqlite3_errmsg(db)), statement);
    }

    bool prepare(const QString& sql, Statement& statement) const
    {
        const QByteArray utf8 = sql.toUtf8();
        return sqlite3_prepare_v2(db, utf8.constData(), -1, &statement.handle, nullptr) == SQLITE_OK;
    }

    // Why a translated statement does not prepare, told of the user's statement: the
    // fault is looked for without the order added to it first.
    QString prepareError(const SqlTranslation& translated) const
    {
        const QString withOrder = QString::fromUtf8(sqlite3_errmsg(db));
        if (translated.naturalOrder.isEmpty())
            return withOrder;
        Statement plain;
        return prepare(translated.statement, plain) ? withOrder : QString::fromUtf8(sqlite3_errmsg(db));
    }

    void execute(const QString& sql, const QString& statement)
    {
        char* message = nullptr;
        if (sqlite3_exec(db, sql.toUtf8().constData(), nullptr, nullptr, &message) != SQLITE_OK) {
            const QString text = QString::fromUtf8(message ? message : sqlite3_errmsg(db));
            sqlite3_free(message);
            failOfEngine(text, statement);
        }
    }

    void ensureOpen()
    {
        if (db)
            return;
        if (sqlite3_open_v2(":memory:", &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr)
            != SQLITE_OK)
            throw EDatabaseError(QStringLiteral("Не удалось запустить машину SQL-запросов (SQLite)"));
        if (registerDriverTableModule(db, &registry) != SQLITE_OK) {
            sqlite3_close(db);
            db = nullptr;
            throw EDatabaseError(QStringLiteral("Не удалось запустить машину SQL-запросов (SQLite)"));
        }
    }

    // A table SQLite would not drop keeps its registry entry, so that it stays readable while
    // SQLite still knows it; the caller decides whether that is a failure.
    bool drop(const QString& sqlName)
    {
        const QByteArray sql = QStringLiteral("DROP TABLE IF EXISTS %1").arg(quoteSqlName(sqlName)).toUtf8();
        if (sqlite3_exec(db, sql.constData(), nullptr, nullptr, nullptr) != SQLITE_OK)
            return false;
        registry.remove(sqlName);
        return true;
    }

    // Forgets every table by closing the connection: nothing can stay behind in SQLite.
    void reset()
    {
        if (db)
            sqlite3_close(db);
        db = nullptr;
        registry.clear();
        tables.clear();
    }

    const LoadedTable& load(const QString& path, const QString& statement, const FormatSettings& format);

    // The rows of a statement selecting one table's records whole, as record numbers of the
    // table; null when that statement cannot be run so (the ordinary way then runs it).
    std::unique_ptr<RecordSource> runForRecords(const QString& sql, const QString& statement, const TFieldDefs& defs,
                                                const QString& sqlName)
    {
        const auto table = registry.constFind(sqlName);
        if (table == registry.constEnd() || (*table)->records->fieldDefs().Count() != defs.Count())
            return nullptr;
        Statement select;
        if (!prepare(sql, select) || sqlite3_column_count(select.handle) != 1)
            return nullptr;
        auto result = std::make_unique<TableRecordsResult>(statement, defs, *table);
        int rc;
        while ((rc = sqlite3_step(select.handle)) == SQLITE_ROW)
            result->append(sqlite3_column_int(select.handle, 0));
        if (rc != SQLITE_DONE)
            failOfEngine(statement);
        return result;
    }
};

// A table is opened with its driver once and shown to SQLite as a virtual
// table; it is opened again when its file changes.
const LoadedTable& SqlCache::Impl::load(const QString& path, const QString& statement, const FormatSettings& format)
{
    const QFileInfo info(path);
    const QString key = info.absoluteFilePath();
    auto it = tables.find(key);
    if (it != tables.end() && it->size == info.size() && it->modified == info.lastModified())
        return *it;
    std::unique_ptr<RecordSource> records;
    try {
        records = openTableFile(path, format);
    } catch (const EDatabaseError& error) {
        fail(error.message(), statement);
    }
    if (it != tables.end()) {
        if (!drop(it->sqlName))
            failOfEngine(statement);
        tables.erase(it);
    }
    LoadedTable table;
    table.sqlName = QStringLiteral("t%1").arg(++nextTable);
    table.size = info.size();
    table.modified = info.lastModified();
    table.fields = records->fieldDefs();
    auto data = std::make_shared<DriverTableData>();
    for (const TFieldDef& def : table.fields.list())
        data->textual.push_back(def.DataType == TFieldType::ftString || def.DataType == TFieldType::ftMemo);
    data->records = std::move(records);
    registry.insert(table.sqlName, data);
    try {
        execute(QStringLiteral("CREATE VIRTUAL TABLE %1 USING verola_table(%2)").arg(quoteSqlName(table.sqlName), table.sqlName),
            statement);
    } catch (...) {
        registry.remove(table.sqlName);
        throw;
    }
    return *tables.insert(key, table);
}

SqlCache::SqlCache() : d(std::make_unique<Impl>()) {}

SqlCache::~SqlCache() = default;

void SqlCache::clear()
{
    for (const LoadedTable& table : std::as_const(d->tables)) {
        if (!d->drop(table.sqlName)) {
            d->reset();
            return;
        }
    }
    d->tables.clear();
}

int SqlCache::loadedTableCount() const
{
    return static_cast<int>(d->tables.size());
}

std::unique_ptr<RecordSource> SqlCache::run(const QString& statement, const QString& databaseName, TSession& session)
{
    QString text = statement.trimmed();
    while (text.endsWith(u';'))
        text = text.chopped(1).trimmed();
    if (text.isEmpty())
        throw EDatabaseError(QStringLiteral("Пустой SQL-запрос"));
    d->ensureOpen();
    const QList<SqlTableRef> refs = SqlTranslator::tablesOf(text);
    QList<SqlBoundTable> bound;
    for (const SqlTableRef& ref : refs) {
        const QString path = session.findTableFile(databaseName, ref.name);
        if (path.isEmpty())
            d->fail(QStringLiteral("Таблица \"%1\" не найдена").arg(ref.name), text);
        const LoadedTable& table = d->load(path, text, session.formatSettings());
        bound.append({ref.alias, table.sqlName, table.fields});
    }
    const SqlTranslation translated = SqlTranslator::translate(text, bound, session.formatSettings());

    Statement select;
    if (!d->prepare(translated.text(), select))
        d->failOfEngine(d->prepareError(translated), text);
    if (!sqlite3_stmt_readonly(select.handle))
        d->fail(QStringLiteral("Выполнять можно только запросы SELECT"), text);
    TFieldDefs defs;
    const int columns = sqlite3_column_count(select.handle);
    for (int c = 0; c < columns; ++c) {
        TFieldDef def;
        def.Name = QString::fromUtf8(sqlite3_column_name(select.handle, c));
        if (!typeFromDeclared(sqlite3_column_decltype(select.handle, c), def.DataType))
            def.DataType = TFieldType::ftFloat; // settled from the first row below
        defs.append(def);
    }
    std::vector<bool> typeOpen(static_cast<size_t>(columns));
    for (int c = 0; c < columns; ++c)
        typeOpen[static_cast<size_t>(c)] = !sqlite3_column_decltype(select.handle, c);
    if (!translated.recordNumbers.isEmpty() && bound.size() == 1
        && std::none_of(typeOpen.begin(), typeOpen.end(), [](bool open) { return open; }))
        if (auto records = d->runForRecords(translated.recordNumbers, text, defs, bound.at(0).sqlName))
            return records;
    auto result = std::make_unique<ResultTable>(text, defs);
    bool firstRow = true;
    int rc;
    while ((rc = sqlite3_step(select.handle)) == SQLITE_ROW) {
        if (firstRow) {
            for (int c = 0; c < columns; ++c)
                if (typeOpen[static_cast<size_t>(c)] && sqlite3_column_type(select.handle, c) == SQLITE_TEXT)
                    defs[c].DataType = TFieldType::ftString;
            result = std::make_unique<ResultTable>(text, defs);
            firstRow = false;
        }
        result->appendRow(select.handle);
    }
    if (rc != SQLITE_DONE)
        d->failOfEngine(text);
    return result;
}

} // namespace verola
