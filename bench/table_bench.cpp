// Cell access and table files of a 16.7-million-cell table, next to a plain vector and plain stdio.
#include "core/tables/tablefile.h"
#include "core/tables/ttab.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <vector>

using namespace verola;

namespace {

constexpr int kSide = 256; // 256^3 = 16,777,216 cells
constexpr std::int64_t kCells = std::int64_t(kSide) * kSide * kSide;

TTab& bigTable()
{
    static TTab* table = [] {
        auto* t = new TTab;
        for (int k = 0; k < kAxisCount; ++k) {
            t->FLists[k] = {QStringLiteral("Axis")};
            const int lines = k < 3 ? kSide : 1;
            for (int i = 0; i < lines; ++i)
                t->FLists[k].append(QStringLiteral("\tv%1|C").arg(i));
            t->BuildIndex(k);
        }
        t->Dimension(t->positionCounts());
        for (std::int64_t i = 0; i < kCells; ++i)
            t->setCellAt(i, static_cast<float>(i % 1000));
        return t;
    }();
    return *table;
}

void setRate(benchmark::State& state)
{
    state.counters["cells_per_s"]
        = benchmark::Counter(static_cast<double>(kCells), benchmark::Counter::kIsIterationInvariantRate);
}

void BM_GetCell(benchmark::State& state)
{
    TTab& table = bigTable();
    for (auto _ : state) {
        double sum = 0;
        CoordIndex v{};
        for (v[2] = 0; v[2] < kSide; ++v[2])
            for (v[1] = 0; v[1] < kSide; ++v[1])
                for (v[0] = 0; v[0] < kSide; ++v[0])
                    sum += table.GetCell(v);
        benchmark::DoNotOptimize(sum);
    }
    setRate(state);
}

void BM_SetCell(benchmark::State& state)
{
    TTab& table = bigTable();
    for (auto _ : state) {
        CoordIndex v{};
        for (v[2] = 0; v[2] < kSide; ++v[2])
            for (v[1] = 0; v[1] < kSide; ++v[1])
                for (v[0] = 0; v[0] < kSide; ++v[0])
                    table.SetCell(v, static_cast<float>(v[0]));
        benchmark::ClobberMemory();
    }
    setRate(state);
}

// The same walk over a plain vector, the offset computed from the three positions.
void BM_PlainVectorRead(benchmark::State& state)
{
    std::vector<float> cells(kCells);
    for (std::int64_t i = 0; i < kCells; ++i)
        cells[i] = static_cast<float>(i % 1000);
    for (auto _ : state) {
        double sum = 0;
        for (int z = 0; z < kSide; ++z)
            for (int y = 0; y < kSide; ++y)
                for (int x = 0; x < kSide; ++x)
                    sum += cells[x + kSide * (y + kSide * std::int64_t(z))];
        benchmark::DoNotOptimize(sum);
    }
    setRate(state);
}

void BM_PlainVectorWrite(benchmark::State& state)
{
    std::vector<float> cells(kCells);
    for (auto _ : state) {
        for (int z = 0; z < kSide; ++z)
            for (int y = 0; y < kSide; ++y)
                for (int x = 0; x < kSide; ++x)
                    cells[x + kSide * (y + kSide * std::int64_t(z))] = static_cast<float>(x);
        benchmark::ClobberMemory();
    }
    setRate(state);
}

QString scratchFile(const char* name)
{
    static QTemporaryDir dir;
    return dir.filePath(QString::fromLatin1(name));
}

void BM_SaveToFile(benchmark::State& state)
{
    TTab& table = bigTable();
    const QString path = scratchFile("table.x0");
    for (auto _ : state)
        SaveToFile(table, path);
    setRate(state);
}

void BM_LoadFromFile(benchmark::State& state)
{
    TTab& table = bigTable();
    const QString path = scratchFile("table.x0");
    SaveToFile(table, path);
    for (auto _ : state)
        LoadFromFile(table, path);
    setRate(state);
}

void BM_PlainFwrite(benchmark::State& state)
{
    std::vector<float> cells(kCells, 1.0f);
    const QByteArray path = QFile::encodeName(scratchFile("plain.bin"));
    for (auto _ : state) {
        FILE* file = std::fopen(path.constData(), "wb");
        std::fwrite(cells.data(), 4, cells.size(), file);
        std::fclose(file);
    }
    setRate(state);
}

void BM_PlainFread(benchmark::State& state)
{
    std::vector<float> cells(kCells, 1.0f);
    const QByteArray path = QFile::encodeName(scratchFile("plain.bin"));
    FILE* out = std::fopen(path.constData(), "wb");
    std::fwrite(cells.data(), 4, cells.size(), out);
    std::fclose(out);
    for (auto _ : state) {
        FILE* file = std::fopen(path.constData(), "rb");
        benchmark::DoNotOptimize(std::fread(cells.data(), 4, cells.size(), file));
        std::fclose(file);
    }
    setRate(state);
}

} // namespace

BENCHMARK(BM_GetCell)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PlainVectorRead)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_SetCell)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PlainVectorWrite)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_SaveToFile)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PlainFwrite)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_LoadFromFile)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PlainFread)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_MAIN();
