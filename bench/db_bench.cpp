// The table engine on a dBase table of 1,000,000 records: a full scan, the selection's
// parametrised SELECTs next to SQLite on an indexed in-memory copy, and the first
// statement on a freshly opened file. Also: reopening a text table of 100,000 records, as the
// selection does once per position combination, with and without the run's file cache.
#include "core/db/filecache.h"
#include "core/db/session.h"
#include "core/db/tablefiles.h"
#include "core/db/tquery.h"
#include "core/db/ttable.h"

#include <QDir>
#include <QFile>
#include <QStringEncoder>
#include <cstring>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <optional>
#include <random>
#include <shapefil.h>
#include <sqlite3.h>
#include <vector>

using namespace verola;

namespace {

constexpr int kRecords = 1'000'000;
constexpr int kYears = 20;   // 1990 … 2009
constexpr int kRegions = 50; // "R00" … "R49": each (year, region) pair holds about 0.1 % of the records
constexpr int kStatements = 1000;

const QString& tableFolder()
{
    static QTemporaryDir dir;
    static const QString path = dir.path();
    return path;
}

QString regionCode(int n)
{
    return QStringLiteral("R%1").arg(n, 2, 10, QChar(u'0'));
}

// Writes emis.dbf once: REG C(4), NAME C(20), YEAR_F N(4,0), VAL N(12,3), DATE_F D.
const QString& benchTable()
{
    static const QString path = [] {
        const QString file = QDir(tableFolder()).filePath(QStringLiteral("emis.dbf"));
        DBFHandle h = DBFCreateEx(QFile::encodeName(file).constData(), "LDID/201");
        DBFAddNativeFieldType(h, "REG", 'C', 4, 0);
        DBFAddNativeFieldType(h, "NAME", 'C', 20, 0);
        DBFAddNativeFieldType(h, "YEAR_F", 'N', 4, 0);
        DBFAddNativeFieldType(h, "VAL", 'N', 12, 3);
        DBFAddNativeFieldType(h, "DATE_F", 'D', 8, 0);
        std::mt19937 random(42);
        std::vector<char> tuple(static_cast<size_t>(h->nRecordLength));
        for (int r = 0; r < kRecords; ++r) {
            const int year = 1990 + static_cast<int>(random() % kYears);
            const int region = static_cast<int>(random() % kRegions);
            const QString text = QStringLiteral(" %1%2%3%4%5")
                                        .arg(regionCode(region), -4)
                                        .arg(QStringLiteral("Источник %1").arg(random() % 5000), -20)
                                        .arg(year, 4)
                                        .arg(static_cast<double>(random() % 10000000) / 1000.0, 12, 'f', 3)
                                        .arg(QStringLiteral("%1%2%3")
                                                 .arg(year)
                                                 .arg(1 + random() % 12, 2, 10, QChar(u'0'))
                                                 .arg(1 + random() % 28, 2, 10, QChar(u'0')));
            const QByteArray encoded = QStringEncoder("windows-1251")(text);
            std::memcpy(tuple.data(), encoded.constData(), std::min(tuple.size(), static_cast<size_t>(encoded.size())));
            DBFWriteTuple(h, r, tuple.data());
        }
        DBFClose(h);
        return file;
    }();
    return path;
}

QStringList statementFor(int n)
{
    return {QStringLiteral("SELECT * FROM emis"),
        QStringLiteral(" WHERE YEAR_F = %1 AND REG = '%2'").arg(1990 + n % kYears).arg(regionCode(n / kYears % kRegions))};
}

void BM_FullScan(benchmark::State& state)
{
    benchTable();
    TSession session;
    TTable table(session);
    table.SetDatabaseName(tableFolder());
    table.SetTableName(QStringLiteral("emis"));
    table.Open();
    qint64 characters = 0;
    for (auto _ : state) {
        for (table.First(); !table.Eof(); table.Next())
            for (int f = 0; f < 5; ++f)
                characters += table.Fields(f).AsString().size();
    }
    benchmark::DoNotOptimize(characters);
    state.counters["records_per_s"] = benchmark::Counter(kRecords, benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_FullScan)->Unit(benchmark::kMillisecond)->Iterations(3);

// The 1,000 statements through TQuery; the table is loaded by one statement before timing.
void BM_SelectsEngine(benchmark::State& state)
{
    benchTable();
    TSession session;
    auto run = [&session](int n) {
        TQuery query(session);
        query.SetDatabaseName(tableFolder());
        query.SQL() = statementFor(n);
        query.Open();
        int rows = 0;
        for (query.First(); !query.Eof(); query.Next())
            ++rows;
        return rows;
    };
    run(0);
    qint64 rows = 0;
    for (auto _ : state)
        for (int n = 0; n < kStatements; ++n)
            rows += run(n);
    state.counters["rows_per_statement"] = static_cast<double>(rows) / kStatements / state.iterations();
}
BENCHMARK(BM_SelectsEngine)->Unit(benchmark::kMillisecond)->Iterations(3);

// The same statements by SQLite directly on an in-memory copy with an index on (YEAR_F, REG).
void BM_SelectsSqliteDirect(benchmark::State& state)
{
    benchTable();
    sqlite3* db = nullptr;
    sqlite3_open(":memory:", &db);
    sqlite3_exec(db, "CREATE TABLE emis (REG TEXT, NAME TEXT, YEAR_F REAL, VAL REAL, DATE_F REAL)", nullptr, nullptr, nullptr);
    {
        TSession session;
        TTable table(session);
        table.SetDatabaseName(tableFolder());
        table.SetTableName(QStringLiteral("emis"));
        table.Open();
        sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
        sqlite3_stmt* insert = nullptr;
        sqlite3_prepare_v2(db, "INSERT INTO emis VALUES (?,?,?,?,?)", -1, &insert, nullptr);
        for (table.First(); !table.Eof(); table.Next()) {
            for (int f = 0; f < 2; ++f) {
                const QByteArray text = table.Fields(f).AsString().toUtf8();
                sqlite3_bind_text(insert, f + 1, text.constData(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
            }
            for (int f = 2; f < 5; ++f)
                sqlite3_bind_double(insert, f + 1, table.Fields(f).AsFloat());
            sqlite3_step(insert);
            sqlite3_reset(insert);
        }
        sqlite3_finalize(insert);
        sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
        sqlite3_exec(db, "CREATE INDEX emis_year_reg ON emis (YEAR_F, REG)", nullptr, nullptr, nullptr);
    }
    qint64 rows = 0;
    for (auto _ : state) {
        for (int n = 0; n < kStatements; ++n) {
            const QByteArray sql = statementFor(n).join(u' ').toUtf8();
            sqlite3_stmt* select = nullptr;
            sqlite3_prepare_v2(db, sql.constData(), -1, &select, nullptr);
            while (sqlite3_step(select) == SQLITE_ROW) {
                for (int c = 0; c < 5; ++c)
                    benchmark::DoNotOptimize(sqlite3_column_type(select, c) == SQLITE_TEXT ? sqlite3_column_text(select, c)
                                                                                           : nullptr);
                ++rows;
            }
            sqlite3_finalize(select);
        }
    }
    sqlite3_close(db);
    state.counters["rows_per_statement"] = static_cast<double>(rows) / kStatements / state.iterations();
}
BENCHMARK(BM_SelectsSqliteDirect)->Unit(benchmark::kMillisecond)->Iterations(3);

// The first statement of a fresh session pays for loading the table.
void BM_FirstStatement(benchmark::State& state)
{
    benchTable();
    for (auto _ : state) {
        TSession session;
        TQuery query(session);
        query.SetDatabaseName(tableFolder());
        query.SQL() = statementFor(7);
        query.Open();
        benchmark::DoNotOptimize(query.RecordCount());
    }
}
BENCHMARK(BM_FirstStatement)->Unit(benchmark::kMillisecond)->Iterations(3);


// A text table of 100,000 concentration records: post, date, value.
const QString& textTable()
{
    static const QString path = [] {
        const QString file = QDir(tableFolder()).filePath(QStringLiteral("conc.txt"));
        QFile out(file);
        out.open(QIODevice::WriteOnly);
        out.write("POST;DAT;VAL\n");
        std::mt19937 random(7);
        for (int r = 0; r < 100'000; ++r)
            out.write(QStringLiteral("P%1;%2.%3.%4;%5\n")
                          .arg(random() % 40)
                          .arg(1 + random() % 28, 2, 10, QChar(u'0'))
                          .arg(1 + random() % 12, 2, 10, QChar(u'0'))
                          .arg(1990 + random() % 20)
                          .arg(static_cast<double>(random() % 100000) / 1000.0, 0, 'f', 3)
                          .toLatin1());
        return file;
    }();
    return path;
}

// Arg 0: every open decodes the file; arg 1: within a selection run, where the records are kept.
void BM_ReopenTextTable(benchmark::State& state)
{
    const QString& path = textTable();
    const FormatSettings format = FormatSettings::russian();
    std::optional<TTableFileCacheScope> run;
    if (state.range(0) == 1)
        run.emplace();
    qint64 records = 0;
    for (auto _ : state)
        records += openTableFile(path, format)->recordCount();
    benchmark::DoNotOptimize(records);
}
BENCHMARK(BM_ReopenTextTable)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(20);

} // namespace

BENCHMARK_MAIN();
