// Opening and saving a configuration whose 25 tables hold 40 million cells, next to copying
// the same files with cp.
#include "core/app/configuration.h"
#include "core/app/fileset.h"
#include "core/app/processstate.h"
#include "core/app/workspace.h"
#include "core/platform/feedback.h"
#include "core/platform/textfile.h"
#include "core/tables/tablefile.h"
#include "core/tables/ttab.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <cstdlib>

using namespace verola;

namespace {

// 100 x 100 x 160 = 1,600,000 cells per table, 25 tables: 40,000,000 cells.
constexpr int kLines[3] = {100, 100, 160};

QStringList axisList(int axis)
{
    QStringList lines{QStringLiteral("Ось %1").arg(axis)};
    for (int i = 0; i < kLines[axis]; ++i)
        lines.append(QStringLiteral("\tЗначение %1|C").arg(i));
    return lines;
}

void writeTable(const ConfigLocation& location, int block, TableKind kind)
{
    TTab table;
    readTableFromFileSet(table, location, block, kind);
    for (std::int64_t i = 0; i < table.FCellCount; ++i)
        table.setCellAt(i, static_cast<float>((i * 7 + block) % 1000) / 8.0f);
    SaveToFile(table, location.filePath(tableFileExtension(kind, block)));
}

// The configuration's folder, written once per run.
struct Study {
    QTemporaryDir folder;
    QTemporaryDir data;
    QTemporaryDir copy;
    std::int64_t bytes = 0;

    Study()
    {
        const ConfigLocation location{folder.path(), QStringLiteral("big")};
        writeTextLines(location.filePath(QStringLiteral(".DES")), {QStringLiteral("40 million cells")});
        writeTextLines(location.filePath(QStringLiteral(".map")), {QStringLiteral("object")});
        for (int n = 0; n < kBlockCount; ++n) {
            for (int a = 0; a < kAxisCount; ++a) {
                const QStringList list = a < 3 ? axisList(a) : QStringList{};
                for (TableKind kind : {TableKind::Rule, TableKind::Calc, TableKind::Block})
                    if (!list.isEmpty())
                        writeTextLines(location.filePath(listFileExtension(kind, n, a)), list);
            }
            for (TableKind kind : {TableKind::Rule, TableKind::Extr, TableKind::Calc, TableKind::Est, TableKind::Block})
                writeTable(location, n, kind);
        }
        // Opening once creates the whole-set lists of the other axes, so every run sees 207 files.
        ProcessState state;
        SilentFeedback feedback;
        state.feedback = &feedback;
        TWorkspace workspace(state);
        OpenConfiguration(workspace, location.filePath(QStringLiteral(".DES")));
        for (const QFileInfo& info : QDir(folder.path()).entryInfoList(QDir::Files))
            bytes += info.size();
    }

    QString desPath() const { return folder.filePath(QStringLiteral("big.DES")); }
};

Study& study()
{
    static Study* s = new Study;
    return *s;
}

constexpr std::int64_t kCellsInAll = 25LL * kLines[0] * kLines[1] * kLines[2];

std::int64_t loadedCells(TWorkspace& workspace)
{
    std::int64_t cells = 0;
    for (int n = 0; n < kBlockCount; ++n)
        for (int kind = 0; kind <= 4; ++kind)
            cells += workspace.block(n)->tableOfKind(kind).FCellCount;
    return cells;
}

void setBytes(benchmark::State& state)
{
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * study().bytes);
    state.counters["files"] = static_cast<double>(QDir(study().folder.path()).entryList(QDir::Files).size());
}

void BM_OpenConfiguration(benchmark::State& state)
{
    Study& s = study();
    SilentFeedback feedback;
    for (auto _ : state) {
        ProcessState process;
        process.feedback = &feedback;
        TWorkspace workspace(process);
        if (!OpenConfiguration(workspace, s.desPath()) || loadedCells(workspace) != kCellsInAll)
            state.SkipWithError("the configuration did not open with every cell");
    }
    setBytes(state);
}

void BM_SaveFileSet(benchmark::State& state)
{
    Study& s = study();
    SilentFeedback feedback;
    ProcessState process;
    process.feedback = &feedback;
    process.DataDirectory = s.data.path();
    TWorkspace workspace(process);
    OpenConfiguration(workspace, s.desPath());
    for (auto _ : state)
        SaveFileSet(workspace);
    setBytes(state);
}

void BM_CopyWithCp(benchmark::State& state)
{
    Study& s = study();
    const QByteArray command = QStringLiteral("cp %1/big.* %2/").arg(s.folder.path(), s.copy.path()).toLocal8Bit();
    for (auto _ : state)
        if (std::system(command.constData()) != 0)
            state.SkipWithError("cp failed");
    setBytes(state);
}

} // namespace

BENCHMARK(BM_OpenConfiguration)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_SaveFileSet)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_CopyWithCp)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_MAIN();
