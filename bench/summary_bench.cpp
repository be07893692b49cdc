// Summary and copy of a table of about 16 million cells with tree-shaped lists on two axes.
//
// With VEROLA_BENCH_EXPORT=DIR the program also writes the leaf cells (cells.f32), the group
// layout (layout.txt) and its own summary (summary.f32) there, for bench/summary_numpy.py.
#include "core/platform/formatsettings.h"
#include "core/tables/compare.h"
#include "core/tables/summary.h"
#include "core/tables/tablefile.h"
#include "core/tables/ttab.h"

#include <benchmark/benchmark.h>

#include <QDir>
#include <QFile>
#include <QTextStream>
#include <random>

using namespace verola;

namespace {

constexpr int kTopGroups = 20;
constexpr int kLeavesPerGroup = 20; // 400 leaves, 421 positions per tree axis
constexpr int kFlatPositions = 90;

// "All" → 20 groups → 20 leaves each, every group with the given rule.
QStringList treeList(const QString& rule, const QString& prefix)
{
    QStringList list{QStringLiteral("Весь набор"), QStringLiteral("All|g,GROUP:") + rule};
    for (int g = 0; g < kTopGroups; ++g) {
        list.append(QStringLiteral("\t%1%2|g,GROUP:%3").arg(prefix).arg(g).arg(rule));
        for (int leaf = 0; leaf < kLeavesPerGroup; ++leaf)
            list.append(QStringLiteral("\t\t%1%2_%3|l").arg(prefix).arg(g).arg(leaf));
    }
    return list;
}

QStringList flatList(int positions)
{
    QStringList list{QStringLiteral("Годы")};
    for (int p = 0; p < positions; ++p)
        list.append(QStringLiteral("\t%1|l").arg(1930 + p));
    return list;
}

void shape(TTab& table, int flatPositions = kFlatPositions)
{
    table.FLists[0] = treeList(QStringLiteral("SUM"), QStringLiteral("P"));
    table.FLists[1] = treeList(QStringLiteral("AVER"), QStringLiteral("R"));
    table.FLists[2] = flatList(flatPositions);
    for (int k = 3; k < kAxisCount; ++k) {
        table.FLists[k].clear();
        AddWholeSet(table.FLists[k], QStringLiteral("T"));
    }
    for (int k = 0; k < kAxisCount; ++k)
        table.BuildIndex(k);
    table.Dimension(table.positionCounts());
}

bool isLeaf(const TTab& table, int axis, int position)
{
    const QString text = table.PositionText(axis, position);
    return text.endsWith(QStringLiteral("|l")) || axis >= 2;
}

// Leaf cells random, one in ten missing; group cells missing.
TTab& benchTable()
{
    static TTab* table = [] {
        auto* t = new TTab;
        shape(*t);
        std::mt19937 random(2026);
        const int d0 = t->FDims[0];
        const int d1 = t->FDims[1];
        std::vector<bool> leaf0(d0), leaf1(d1);
        for (int p = 0; p < d0; ++p)
            leaf0[p] = isLeaf(*t, 0, p);
        for (int p = 0; p < d1; ++p)
            leaf1[p] = isLeaf(*t, 1, p);
        for (std::int64_t o = 0; o < t->FCellCount; ++o) {
            const int p0 = static_cast<int>(o % d0);
            const int p1 = static_cast<int>(o / d0 % d1);
            const bool present = leaf0[p0] && leaf1[p1] && random() % 10 != 0;
            t->setCellAt(o, present ? static_cast<float>(random() % 10000) / 16 : kMissing);
        }
        return t;
    }();
    return *table;
}

// Child reads of one Summarize: per group, its children times the cells of the other axes.
double childReadsPerSummary(const TTab& table)
{
    double reads = 0;
    for (int axis = 0; axis < 2; ++axis) {
        const double others = double(table.FCellCount) / table.FDims[axis];
        int children = 0;
        for (int p = 0; p < table.FDims[axis]; ++p)
            children += table.PositionText(axis, p).startsWith(u'\t') ? 1 : 0;
        reads += children * others;
    }
    return reads;
}

void exportForNumpy(TTab& table)
{
    const QByteArray dir = qgetenv("VEROLA_BENCH_EXPORT");
    if (dir.isEmpty())
        return;
    const QString folder = QString::fromLocal8Bit(dir);
    QDir().mkpath(folder);
    SaveToFile(table, folder + QStringLiteral("/cells.f32"));
    QFile layout(folder + QStringLiteral("/layout.txt"));
    if (!layout.open(QIODevice::WriteOnly | QIODevice::Text))
        return;
    QTextStream out(&layout);
    out << table.FDims[0] << ' ' << table.FDims[1] << ' ' << table.FDims[2] << '\n';
    // One line per group: axis, rule, group position, child positions.
    for (int axis = 0; axis < 2; ++axis) {
        const QStringList& list = table.FLists[axis];
        for (int line = 1; line < list.size(); ++line) {
            const QString& text = list.at(line);
            if (!text.contains(QStringLiteral("GROUP:")))
                continue;
            out << axis << ' ' << (axis == 0 ? "SUM" : "AVER") << ' ' << table.FIndex[axis].FLinePos[line - 1];
            for (int child = line + 1; child < list.size(); ++child) {
                int childDepth = 0;
                while (childDepth < list.at(child).size() && list.at(child).at(childDepth) == u'\t')
                    ++childDepth;
                int ownDepth = 0;
                while (ownDepth < text.size() && text.at(ownDepth) == u'\t')
                    ++ownDepth;
                if (childDepth <= ownDepth)
                    break;
                if (childDepth == ownDepth + 1)
                    out << ' ' << table.FIndex[axis].FLinePos[child - 1];
            }
            out << '\n';
        }
    }
    out.flush();
    TTab summary;
    shape(summary);
    for (std::int64_t o = 0; o < table.FCellCount; ++o)
        summary.setCellAt(o, table.cellAt(o));
    Summarize(summary, FormatSettings::russian());
    SaveToFile(summary, folder + QStringLiteral("/summary.f32"));
}

void BM_Summarize(benchmark::State& state)
{
    TTab& table = benchTable();
    const FormatSettings format = FormatSettings::russian();
    for (auto _ : state)
        Summarize(table, format);
    const double reads = childReadsPerSummary(table);
    state.counters["cells"] = table.FCellCount;
    state.counters["child_reads_per_s"] =
        benchmark::Counter(reads * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_Summarize)->Unit(benchmark::kMillisecond)->MinTime(2.0);

void BM_CopyFromIdentityMaps(benchmark::State& state)
{
    TTab& source = benchTable();
    TTab target;
    for (int k = 0; k < kAxisCount; ++k) {
        target.FLists[k] = source.FLists[k];
        target.BuildIndex(k);
        MapPositions(source.FLists[k], source.FIndex[k], target.FLists[k], target.FMap[k], target.FIndex[k]);
    }
    const FormatSettings format = FormatSettings::russian();
    for (auto _ : state)
        CopyFrom(target, source, format);
    state.counters["cells_per_s"] = benchmark::Counter(
        double(source.FCellCount) * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_CopyFromIdentityMaps)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// The same summary read through a difference view (a tenth of the cells): every child read
// goes through CompareRead, cell by cell.
void BM_SummarizeThroughComparison(benchmark::State& state)
{
    TTab table;
    TTab background;
    shape(table, kFlatPositions / 10);
    shape(background, kFlatPositions / 10);
    TTab& full = benchTable();
    for (std::int64_t o = 0; o < table.FCellCount; ++o) {
        table.setCellAt(o, full.cellAt(o));
        background.setCellAt(o, 1);
    }
    table.FBackground = &background;
    table.FCompareMode = 1;
    const FormatSettings format = FormatSettings::russian();
    for (auto _ : state)
        Summarize(table, format);
    state.counters["cells"] = table.FCellCount;
    state.counters["child_reads_per_s"] = benchmark::Counter(
        childReadsPerSummary(table) * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_SummarizeThroughComparison)->Unit(benchmark::kMillisecond)->MinTime(2.0);

} // namespace

int main(int argc, char** argv)
{
    exportForNumpy(benchTable());
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
