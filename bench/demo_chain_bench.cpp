// The demo study's whole chain, as "verola-cli run … --save" would run it: open the
// configuration, select every block from the generated databases, summarize, hand the emissions
// to the concentration block, compute doses and risks, save. Wall time per step and the
// resident peak go into the counters.
#include "core/app/blockactions.h"
#include "core/app/configuration.h"
#include "core/app/processstate.h"
#include "core/app/selectionsteps.h"
#include "core/app/transfer.h"
#include "core/app/workspace.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <functional>
#include <stdexcept>
#include <vector>

using namespace verola;

namespace {

const QString kDataDir = QStringLiteral(VEROLA_PROGRAM_DIR "/eco/work");
const QString kSystemDir = QStringLiteral(VEROLA_DEMO_SYSTEM_DIR);

double peakMegabytes()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

// A copy of the demo configuration, so that saving leaves the generated one as it was.
QString copyOfDemo(const QTemporaryDir& folder)
{
    for (const QString& name : QDir(kDataDir).entryList({QStringLiteral("Demo.*")}, QDir::Files))
        QFile::copy(kDataDir + u'/' + name, folder.filePath(name));
    if (!QFile::exists(folder.filePath(QStringLiteral("Demo.DES"))))
        throw std::runtime_error("the demo study was not generated");
    return folder.filePath(QStringLiteral("Demo.DES"));
}

bool holdsValues(const TTab& table)
{
    for (std::int64_t offset = 0; offset < table.FCellCount; ++offset)
        if (!isMissing(table.cellAt(offset)))
            return true;
    return false;
}

struct Step {
    const char* name;
    std::function<void(TWorkspace&)> run;
};

std::vector<Step> chain()
{
    const auto select = [](int n) { return [n](TWorkspace& w) { DBGeneralPanelClick(w, *w.block(n), workbenchBlockSteps()); }; };
    const auto extr = [](int n) { return [n](TWorkspace& w) { ExtrPanelClick(w, *w.block(n)); }; };
    return {
        {"select0", select(kPolBlock)},
        {"extr0", extr(kPolBlock)},
        {"select1", select(kConcBlock)},
        {"extr1", extr(kConcBlock)},
        {"transfer", [](TWorkspace& w) { TablePanelDragDrop(w, w.block(kConcBlock)->Calc, w.block(kPolBlock)->Extr); }},
        {"est1", [](TWorkspace& w) { EstPanelClick(w, *w.block(kConcBlock)); }},
        {"dose", [](TWorkspace& w) {
             w.block(kConcBlock)->Switch->SetTermIn(2);
             CalcDosePanelClick(w, BlockSteps{});
         }},
        {"est2", [](TWorkspace& w) { EstPanelClick(w, *w.block(kRiskBlock)); }},
        {"select3", select(kDesBlock)},
        {"extr3", extr(kDesBlock)},
        {"select4", select(kDeathBlock)},
        {"extr4", extr(kDeathBlock)},
    };
}

void BM_DemoFullChain(benchmark::State& state)
{
    qputenv("VEROLA_SYSTEM_DIR", QFile::encodeName(kSystemDir));
    const std::vector<Step> steps = chain();
    std::vector<double> stepSeconds(steps.size(), 0.0);
    double openSeconds = 0;
    double saveSeconds = 0;
    for (auto _ : state) {
        state.PauseTiming();
        QTemporaryDir folder;
        const QString config = copyOfDemo(folder);
        state.ResumeTiming();

        QElapsedTimer timer;
        timer.start();
        ProcessState process;
        initialiseProcessState(process, QStringLiteral(VEROLA_PROGRAM_DIR "/verola-cli"));
        process.format = FormatSettings::russian();
        process.format.decimalSeparator = u'.';
        TWorkspace workspace(process);
        if (!OpenConfiguration(workspace, config))
            throw std::runtime_error("the demo configuration could not be read");
        openSeconds += timer.nsecsElapsed() * 1e-9;
        for (size_t i = 0; i < steps.size(); ++i) {
            timer.restart();
            steps[i].run(workspace);
            stepSeconds[i] += timer.nsecsElapsed() * 1e-9;
        }
        timer.restart();
        SaveFileSet(workspace);
        saveSeconds += timer.nsecsElapsed() * 1e-9;
        // The chain must have computed something: the dose block's summary holds values.
        if (!holdsValues(workspace.block(kRiskBlock)->Est->Table()))
            throw std::runtime_error("the dose block's summary is empty");
    }
    const double runs = static_cast<double>(state.iterations());
    state.counters["open_s"] = openSeconds / runs;
    for (size_t i = 0; i < steps.size(); ++i)
        state.counters[std::string(steps[i].name) + "_s"] = stepSeconds[i] / runs;
    state.counters["save_s"] = saveSeconds / runs;
    state.counters["peak_MB"] = peakMegabytes();
}
BENCHMARK(BM_DemoFullChain)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
