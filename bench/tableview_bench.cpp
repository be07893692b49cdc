// The table window's grid over a 1,000 × 1,000 slice of an eight-slice table (8,000,000 cells):
// switching the slice, fetching a screenful of cells, switching axes, and the grid repainted
// offscreen after a scroll or a slice switch.
#include "core/tables/compare.h"
#include "plugins/tableview/tableslicemodel.h"

#include <QApplication>
#include <QHeaderView>
#include <QScrollBar>
#include <QTableView>
#include <benchmark/benchmark.h>
#include <cstdlib>

using namespace verola;
using verola::tableview::TableSliceModel;

namespace {

constexpr int kSide = 1000;    // regions (axis 1) and periods (axis 2)
constexpr int kSlices = 8;     // pollutants (axis 0)
constexpr int kScreenRows = 40; // what a full-screen grid shows
constexpr int kScreenColumns = 16;

TTab& bigTable()
{
    static TTab* table = [] {
        auto* t = new TTab;
        const int lines[3] = {kSlices, kSide, kSide};
        for (int axis = 0; axis < kAxisCount; ++axis) {
            if (axis < 3) {
                t->FLists[axis] = {QStringLiteral("Список")};
                for (int i = 0; i < lines[axis]; ++i)
                    t->FLists[axis].append(QStringLiteral("\tP%1_%2|D").arg(axis).arg(i));
            } else {
                AddWholeSet(t->FLists[axis], QStringLiteral("C"));
            }
            t->BuildIndex(axis);
        }
        t->Dimension(t->positionCounts());
        for (std::int64_t i = 0; i < t->FCellCount; ++i)
            t->setCellAt(i, i % 7 == 0 ? kMissing : static_cast<float>(i % 9973));
        CoordIndex view{};
        view[1] = -1;
        view[2] = -2;
        t->SetViewAxes(view);
        return t;
    }();
    return *table;
}

// Reads a screenful of cell texts from (top, left), as a view paints them; checks one cell
// against the table's comparison view.
void fetchScreen(const TableSliceModel& model, int top, int left, benchmark::State& state)
{
    int shown = 0;
    for (int row = top; row < top + kScreenRows; ++row)
        for (int column = left; column < left + kScreenColumns; ++column) {
            const QVariant text = model.data(model.index(row, column));
            shown += text.isValid();
            benchmark::DoNotOptimize(text);
        }
    benchmark::DoNotOptimize(shown);
    TTab& table = *model.table();
    const float expected = CompareRead(table, model.cellIndex(top, left));
    const QVariant first = model.data(model.index(top, left));
    if (isMissing(expected) ? first.isValid() : first.toString() != tableview::displayText(expected))
        state.SkipWithError("the grid does not read the table");
}

void BM_SwitchSliceAndFetchScreen(benchmark::State& state)
{
    TableSliceModel model;
    model.setTable(&bigTable());
    int slice = 0;
    for (auto _ : state) {
        slice = (slice + 1) % kSlices;
        model.setSlicePosition(0, slice);
        fetchScreen(model, 480, 480, state);
    }
    model.setSlicePosition(0, 0);
}

void BM_FetchScreenWhileScrolling(benchmark::State& state)
{
    TableSliceModel model;
    model.setTable(&bigTable());
    bigTable().FCompareMode = static_cast<int>(state.range(0));
    bigTable().FBackground = &bigTable();
    bigTable().FCompareSource = 0;
    int top = 0;
    for (auto _ : state) {
        top = (top + 37) % (kSide - kScreenRows);
        fetchScreen(model, top, (top * 3) % (kSide - kScreenColumns), state);
    }
    bigTable().FCompareMode = 0;
    state.SetLabel(state.range(0) == 0 ? "plain" : "minus background");
}

void BM_SwitchAxes(benchmark::State& state)
{
    TableSliceModel model;
    model.setTable(&bigTable());
    bool turned = false;
    for (auto _ : state) {
        turned = !turned;
        if (turned)
            model.setAxes(1, 2);
        else
            model.setAxes(2, 1);
        fetchScreen(model, 0, 0, state);
    }
    model.setAxes(2, 1);
}

// A full-screen grid (1600 × 1000) repainted offscreen after the change.
struct Grid {
    TableSliceModel model;
    QTableView view;
    Grid()
    {
        model.setTable(&bigTable());
        view.setModel(&model);
        view.verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
        view.horizontalHeader()->setDefaultSectionSize(88);
        view.resize(1600, 1000);
        view.show();
    }
    void repaint() { benchmark::DoNotOptimize(view.viewport()->grab()); }
};

void BM_GridRepaintAfterScroll(benchmark::State& state)
{
    Grid grid;
    int step = 0;
    for (auto _ : state) {
        step = (step + 1) % 50;
        grid.view.verticalScrollBar()->setValue(step * 19);
        grid.view.horizontalScrollBar()->setValue(step * 17);
        grid.repaint();
    }
}

void BM_GridRepaintAfterSliceSwitch(benchmark::State& state)
{
    Grid grid;
    grid.view.scrollTo(grid.model.index(500, 500));
    int slice = 0;
    for (auto _ : state) {
        slice = (slice + 1) % kSlices;
        grid.model.setSlicePosition(0, slice);
        grid.repaint();
    }
    grid.model.setSlicePosition(0, 0);
}

} // namespace

BENCHMARK(BM_SwitchSliceAndFetchScreen)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FetchScreenWhileScrolling)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SwitchAxes)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_GridRepaintAfterScroll)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GridRepaintAfterSliceSwitch)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
