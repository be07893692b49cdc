// The database selection of a morbidity block over 1,000,000 appeal records held in a dBase
// file: region x year x sex-age group x diagnosis, the year and the group chosen through the
// hash lists, next to one SQLite GROUP BY over the same records as the peer.
#include "core/db/description.h"
#include "core/db/filecache.h"
#include "core/db/selection.h"
#include "core/db/session.h"
#include "core/db/ttable.h"
#include "core/platform/conversions.h"
#include "core/platform/feedback.h"
#include "core/platform/textfile.h"
#include "core/tables/ttab.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <chrono>
#include <ctime>
#include <cstring>
#include <map>
#include <optional>
#include <random>
#include <shapefil.h>
#include <sqlite3.h>
#include <sys/resource.h>
#include <tuple>
#include <vector>

using namespace verola;

namespace {

const int kRecords = qEnvironmentVariableIsSet("VEROLA_BENCH_RECORDS") ? qEnvironmentVariableIntValue("VEROLA_BENCH_RECORDS") : 1'000'000;
constexpr int kRegions = 20;
constexpr int kFirstYear = 1990;
constexpr int kYears = 5;
constexpr int kDiagnoses = 30;
constexpr int kAgeGroups = 8; // 0-9, 10-19, ..., 70-99; two sexes: 16 groups

struct Appeal {
    int region;
    int year;
    int month;
    int day;
    int birthYear;
    int sex; // 1 or 2
    int diagnosis;
};

QString regionCode(int n)
{
    return QStringLiteral("R%1").arg(n, 2, 10, QChar(u'0'));
}

QString diagnosisCode(int n)
{
    return QStringLiteral("D%1").arg(n, 2, 10, QChar(u'0'));
}

int ageGroup(int age)
{
    return std::min(age / 10, kAgeGroups - 1);
}

const std::vector<Appeal>& appeals()
{
    static const std::vector<Appeal> list = [] {
        std::mt19937 random(7);
        std::vector<Appeal> out;
        out.reserve(kRecords);
        for (int r = 0; r < kRecords; ++r) {
            Appeal a{};
            a.region = static_cast<int>(random() % kRegions);
            a.year = kFirstYear + static_cast<int>(random() % kYears);
            a.month = 1 + static_cast<int>(random() % 12);
            a.day = 1 + static_cast<int>(random() % 28);
            a.birthYear = a.year - static_cast<int>(random() % 100);
            a.sex = 1 + static_cast<int>(random() % 2);
            a.diagnosis = static_cast<int>(random() % kDiagnoses);
            out.push_back(a);
        }
        return out;
    }();
    return list;
}

struct Folders {
    QTemporaryDir system;
    QTemporaryDir sources;
    QString dbf;
};

void writeAppealsDbf(const QString& file)
{
    DBFHandle h = DBFCreateEx(QFile::encodeName(file).constData(), "LDID/201");
    DBFAddNativeFieldType(h, "REG", 'C', 4, 0);
    DBFAddNativeFieldType(h, "CALLD", 'D', 8, 0);
    DBFAddNativeFieldType(h, "BIRTH", 'D', 8, 0);
    DBFAddNativeFieldType(h, "SEX", 'C', 1, 0);
    DBFAddNativeFieldType(h, "DIAG", 'C', 4, 0);
    std::vector<char> tuple(static_cast<size_t>(h->nRecordLength));
    int r = 0;
    for (const Appeal& a : appeals()) {
        const QByteArray text = QStringLiteral(" %1%2%3%4%5")
                                    .arg(regionCode(a.region), -4)
                                    .arg(QStringLiteral("%1%2%3").arg(a.year).arg(a.month, 2, 10, QChar(u'0')).arg(a.day, 2, 10, QChar(u'0')))
                                    .arg(QStringLiteral("%1%2%3").arg(a.birthYear).arg(a.month, 2, 10, QChar(u'0')).arg(a.day, 2, 10, QChar(u'0')))
                                    .arg(a.sex)
                                    .arg(diagnosisCode(a.diagnosis), -4)
                                    .toLatin1();
        std::memcpy(tuple.data(), text.constData(), std::min(tuple.size(), static_cast<size_t>(text.size())));
        DBFWriteTuple(h, r++, tuple.data());
    }
    DBFClose(h);
}

void writeDescription(const QString& systemDir, const QString& sourceDir)
{
    const QStringList ini = {"[PanelsStruct]", "Panels=4", "Panel0=PolPanel,x", "Panel1=ConcPanel,x", "Panel2=DesPanel,x",
        "Panel3=DeathPanel,x", "[DesPanel]", "Coords=4", "[ModelStruct]", "Models=1", "Model0=Bench",
        "[CoordsStruct]", "Region=Регион", "Time=Период времени", "SexAgeGroup=Половозр. группа",
        "Disease=Заболевание", "[Bench DesPanel Loop0]", "NameCoord=Region", "Type=1", "Path=" + sourceDir, "Len=5",
        "Item0=CALLD,Time,Value", "Item1=SEX,Sex,Value", "Item2=BIRTH,BirthDate,Value", "Item3=CALLD,CallDate,Value",
        "Item4=DIAG,Disease,Value", "SQLLen=2", "SQLItem0=SELECT * FROM appeals", "SQLItem1=WHERE REG = :Region",
        "[Bench DesPanel Loop1]", "NameCoord=Time", "FormatCoord=DateTime", "SetTime=Date", "UseTime=Date",
        "MinValue=01.01.1990", "MaxValue=31.12.1994", "[Bench DesPanel Loop2]", "NameCoord=SexAgeGroup", "Man=1",
        "Woman=2", "AgeType=0", "MinValue=0", "MaxValue=99", "[Bench DesPanel Loop3]", "NameCoord=Disease"};
    QFile file(QDir(systemDir).filePath(kDescriptionFile));
    file.open(QIODevice::WriteOnly);
    file.write(encodeCp1251(ini.join("\r\n") + "\r\n"));
}

const Folders& folders()
{
    static Folders f = [] {
        Folders made;
        made.dbf = QDir(made.sources.path()).filePath("appeals.dbf");
        writeAppealsDbf(made.dbf);
        writeDescription(made.system.path(), made.sources.path());
        qputenv("VEROLA_SYSTEM_DIR", made.system.path().toLocal8Bit());
        return made;
    }();
    return f;
}

void shapeMorbidityTable(TTab& table)
{
    QStringList regions{"Районы"}, years{"Годы"}, groups{"Группы"}, diseases{"Болезни"};
    for (int r = 0; r < kRegions; ++r)
        regions.append(QStringLiteral("%1|l,Bench,%1").arg(regionCode(r)));
    for (int y = 0; y < kYears; ++y)
        years.append(QStringLiteral("%1|l,01.01.%1-31.12.%1").arg(kFirstYear + y));
    for (int sex = 1; sex <= 2; ++sex)
        for (int g = 0; g < kAgeGroups; ++g)
            groups.append(QStringLiteral("%1 %2|l,%3-%4")
                              .arg(sex == 1 ? "М" : "Ж")
                              .arg(g * 10)
                              .arg(sex * 100 + g * 10)
                              .arg(sex * 100 + (g == kAgeGroups - 1 ? 99 : g * 10 + 9)));
    for (int d = 0; d < kDiagnoses; ++d)
        diseases.append(QStringLiteral("%1|l,%1").arg(diagnosisCode(d)));
    table.FLists[1] = regions;
    table.FLists[2] = years;
    table.FLists[3] = groups;
    table.FLists[4] = diseases;
    for (int axis = 0; axis < kAxisCount; ++axis) {
        if (table.FLists[axis].isEmpty())
            AddWholeSet(table.FLists[axis], QStringLiteral("C"));
        table.BuildIndex(axis);
    }
    table.Dimension(table.positionCounts());
}

// CPU seconds of the process: the machine may be shared, so wall time alone can mislead.
double cpuSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

using CellKey = std::tuple<int, int, int, int>; // region, year, group (sex * 8 + age group), diagnosis

// The peer: the records in an in-memory SQLite table, counted by one GROUP BY.
std::map<CellKey, long> sqliteCounts(double& querySeconds, double& queryCpuSeconds)
{
    sqlite3* db = nullptr;
    sqlite3_open(":memory:", &db);
    sqlite3_exec(db, "CREATE TABLE appeals(reg INTEGER, year INTEGER, birth INTEGER, sex INTEGER, diag INTEGER)",
                 nullptr, nullptr, nullptr);
    sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
    sqlite3_stmt* insert = nullptr;
    sqlite3_prepare_v2(db, "INSERT INTO appeals VALUES(?,?,?,?,?)", -1, &insert, nullptr);
    for (const Appeal& a : appeals()) {
        sqlite3_bind_int(insert, 1, a.region);
        sqlite3_bind_int(insert, 2, a.year);
        sqlite3_bind_int(insert, 3, a.birthYear);
        sqlite3_bind_int(insert, 4, a.sex);
        sqlite3_bind_int(insert, 5, a.diagnosis);
        sqlite3_step(insert);
        sqlite3_reset(insert);
    }
    sqlite3_finalize(insert);
    sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);

    const auto start = std::chrono::steady_clock::now();
    const double cpuStart = cpuSeconds();
    sqlite3_stmt* query = nullptr;
    sqlite3_prepare_v2(db,
        "SELECT reg, year, (sex - 1) * 8 + MIN((year - birth) / 10, 7) AS grp, diag, COUNT(*) FROM appeals "
        "GROUP BY reg, year, grp, diag",
        -1, &query, nullptr);
    std::map<CellKey, long> counts;
    while (sqlite3_step(query) == SQLITE_ROW)
        counts[{sqlite3_column_int(query, 0), sqlite3_column_int(query, 1) - kFirstYear, sqlite3_column_int(query, 2),
            sqlite3_column_int(query, 3)}] = sqlite3_column_int(query, 4);
    sqlite3_finalize(query);
    querySeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    queryCpuSeconds = cpuSeconds() - cpuStart;
    sqlite3_close(db);
    return counts;
}

// Cells that differ from the peer's counts (a cell the peer lacks must be missing).
long differingCells(TTab& table, const std::map<CellKey, long>& counts)
{
    long differing = 0;
    CoordIndex index{};
    for (int r = 0; r < kRegions; ++r)
        for (int y = 0; y < kYears; ++y)
            for (int g = 0; g < 2 * kAgeGroups; ++g)
                for (int d = 0; d < kDiagnoses; ++d) {
                    index[1] = r, index[2] = y, index[3] = g, index[4] = d;
                    const float cell = table.GetCell(index);
                    const auto it = counts.find({r, y, g, d});
                    const float expected = it == counts.end() ? kMissing : static_cast<float>(it->second);
                    differing += cell == expected ? 0 : 1;
                }
    return differing;
}

double peakMegabytes()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

void BM_MorbiditySelection(benchmark::State& state)
{
    const Folders& f = folders();
    TSession::Default().setFormatSettings(FormatSettings::russian());
    SilentFeedback feedback;
    TTab table;
    SelectionRequest request;
    request.primary = &table;
    request.panelKind = QStringLiteral("DesPanel");
    request.feedback = &feedback;
    request.format = FormatSettings::russian();
    double seconds = 0;
    double cpu = 0;
    const double peakBefore = peakMegabytes();
    for (auto _ : state) {
        shapeMorbidityTable(table);
        const auto start = std::chrono::steady_clock::now();
        const double cpuStart = cpuSeconds();
        RunSelection(request);
        cpu += cpuSeconds() - cpuStart;
        seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }
    const double peakAfterSelection = peakMegabytes();
    double sqliteSeconds = 0;
    double sqliteCpu = 0;
    const long differing = differingCells(table, sqliteCounts(sqliteSeconds, sqliteCpu));
    if (differing != 0)
        state.SkipWithError(QStringLiteral("%1 cells differ from the counts of SQLite").arg(differing).toStdString().c_str());
    const double perRun = seconds / static_cast<double>(state.iterations());
    state.counters["records_per_s"] = kRecords / perRun;
    state.counters["sqlite_group_by_s"] = sqliteSeconds;
    state.counters["times_sqlite"] = perRun / sqliteSeconds;
    state.counters["cpu_records_per_s"] = kRecords / (cpu / static_cast<double>(state.iterations()));
    state.counters["sqlite_group_by_cpu_s"] = sqliteCpu;
    // Resident peaks of the process: before the selection (the generated records are held for the
    // peer) and right after it, before the peer loads its own copy.
    state.counters["peak_before_MB"] = peakBefore;
    state.counters["peak_after_selection_MB"] = peakAfterSelection;
    state.counters["source_MB"] = static_cast<double>(QFileInfo(f.dbf).size()) / (1024.0 * 1024.0);
    state.counters["table_MB"] = static_cast<double>(table.FCellCount) * 4 / (1024.0 * 1024.0);
}
BENCHMARK(BM_MorbiditySelection)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();

// A table level is opened again for every combination of outer positions: 100 opens of the
// appeals file, read from disk each time (argument 0) or kept for the run (argument 1).
void BM_TableReopen(benchmark::State& state)
{
    const Folders& f = folders();
    std::optional<TTableFileCacheScope> run;
    if (state.range(0) == 1)
        run.emplace();
    TTable table;
    table.SetDatabaseName(f.sources.path());
    table.SetTableName(QStringLiteral("appeals.dbf"));
    long records = 0;
    for (auto _ : state) {
        for (int i = 0; i < 100; ++i) {
            table.Open();
            records += table.RecordCount();
            table.Close();
        }
    }
    benchmark::DoNotOptimize(records);
    state.counters["opens_per_s"] = benchmark::Counter(100, benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_TableReopen)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace

BENCHMARK_MAIN();
