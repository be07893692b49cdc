// Reference values looked up one position at a time through local SQL, the plug-ins'
// replacement of a primary list, and a table-to-table transfer through position maps.
#include "core/app/transfer.h"
#include "core/app/workingfiles.h"
#include "core/db/session.h"
#include "core/platform/paths.h"

#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <shapefil.h>

using namespace verola;

namespace {

QStringList listOf(const QString& header, int values, const QString& attributes)
{
    QStringList list{header};
    for (int i = 0; i < values; ++i)
        list.append(QStringLiteral("\tP%1|").arg(i) + QString(attributes).replace(QStringLiteral("%1"), QString::number(i)));
    return list;
}

void setList(TTab& table, int axis, const QStringList& list)
{
    table.FLists[axis] = list;
    table.BuildIndex(axis);
}

void writeReferenceDbf(const QString& path, int rows)
{
    DBFHandle dbf = DBFCreateEx(QFile::encodeName(path).constData(), "LDID/201");
    DBFAddField(dbf, "NAME", FTString, 20, 0);
    DBFAddField(dbf, "VAL", FTDouble, 12, 4);
    for (int row = 0; row < rows; ++row) {
        DBFWriteStringAttribute(dbf, row, 0, QStringLiteral("K%1").arg(row).toLatin1().constData());
        DBFWriteDoubleAttribute(dbf, row, 1, row * 0.5);
    }
    DBFWriteStringAttribute(dbf, rows, 0, "*");
    DBFWriteDoubleAttribute(dbf, rows, 1, -1);
    DBFClose(dbf);
}

struct Bench {
    QTemporaryDir folder;
    ProcessState state;
    std::unique_ptr<TWorkspace> workspace;

    Bench()
    {
        qputenv("VEROLA_SYSTEM_DIR", folder.path().toLocal8Bit());
        state.DataDirectory = folder.path();
        state.ConfigDirectory = folder.path();
        state.format = FormatSettings::russian();
        state.coordinateCaptionList = coordinateCaptions();
        state.StagingTab = std::make_unique<TTab>();
        workspace = std::make_unique<TWorkspace>(state);
    }
};

// One query per position of an axis, against a reference table of 2,000 records.
void BM_FillReferenceValues(benchmark::State& run)
{
    Bench bench;
    writeReferenceDbf(bench.folder.filePath(QStringLiteral("subs.dbf")), 2000);
    TTab& table = bench.workspace->block(kConcBlock)->BlockTable();
    for (int axis = 0; axis < kAxisCount; ++axis) {
        table.FLists[axis].clear();
        AddWholeSet(table.FLists[axis], QStringLiteral("C"));
        table.BuildIndex(axis);
    }
    const int positions = static_cast<int>(run.range(0));
    QStringList list = listOf(QStringLiteral("Вещества"), positions, QStringLiteral("T,,K%1"));
    list.append(QStringLiteral("СО|subs.dbf,NAME,VAL"));
    setList(table, 0, list);
    table.Dimension(table.positionCounts());
    TSession session(FormatSettings::russian());
    for (auto _ : run)
        FillReferenceValues(*bench.workspace, table, session);
    run.SetItemsProcessed(run.iterations() * positions);
}
BENCHMARK(BM_FillReferenceValues)->Arg(50)->Arg(500)->Unit(benchmark::kMillisecond);

// A primary table of 200 × 100 × 12 cells gets a new list on its first axis.
void BM_SetListFromPlugin(benchmark::State& run)
{
    Bench bench;
    TCompPanel& conc = *bench.workspace->block(kConcBlock);
    TTab& primary = conc.Rule->Table();
    setList(primary, 0, listOf(QStringLiteral("Вещества"), 200, QStringLiteral("D")));
    setList(primary, 1, listOf(QStringLiteral("Регионы"), 100, QStringLiteral("D")));
    setList(primary, 2, listOf(QStringLiteral("Время"), 12, QStringLiteral("D")));
    primary.Dimension(primary.positionCounts());
    for (std::int64_t offset = 0; offset < primary.FCellCount; ++offset)
        primary.setCellAt(offset, static_cast<float>(offset % 1000));
    QStringList lines = listOf(QStringLiteral("Вещества"), 200, QStringLiteral("D"));
    std::reverse(lines.begin() + 1, lines.end());
    for (auto _ : run)
        benchmark::DoNotOptimize(SetListFromPlugin(*bench.workspace, 0, lines, QStringLiteral("Extr"), conc));
    run.SetItemsProcessed(run.iterations() * primary.FCellCount);
}
BENCHMARK(BM_SetListFromPlugin)->Unit(benchmark::kMillisecond);

// Dropping a data summary of 240,000 cells on a model summary whose first axis is in reverse order.
void BM_TablePanelDragDrop(benchmark::State& run)
{
    Bench bench;
    TCompPanel& conc = *bench.workspace->block(kConcBlock);
    TTab& source = conc.Extr->Table();
    TTab& target = conc.Est->Table();
    QStringList substances = listOf(QStringLiteral("Вещества"), 200, QStringLiteral("T"));
    setList(source, 0, substances);
    setList(source, 1, listOf(QStringLiteral("Регионы"), 100, QStringLiteral("T")));
    setList(source, 2, listOf(QStringLiteral("Время"), 12, QStringLiteral("T")));
    source.Dimension(source.positionCounts());
    for (std::int64_t offset = 0; offset < source.FCellCount; ++offset)
        source.setCellAt(offset, static_cast<float>(offset % 1000));
    std::reverse(substances.begin() + 1, substances.end());
    setList(target, 0, substances);
    for (int axis = 1; axis < kAxisCount; ++axis)
        setList(target, axis, source.FLists[axis]);
    for (auto _ : run)
        TablePanelDragDrop(*bench.workspace, conc.Est, conc.Extr);
    run.SetItemsProcessed(run.iterations() * source.FCellCount);
}
BENCHMARK(BM_TablePanelDragDrop)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
