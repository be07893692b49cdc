// Loading a panel's description and building a level's SQL text, as the selection does
// whenever the model changes and for every combination of outer positions.
#include "core/db/description.h"
#include "core/db/querybuilder.h"
#include "core/platform/feedback.h"
#include "core/platform/textfile.h"

#include <QDir>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

using namespace verola;

namespace {

// A description of 20 models, each describing the four panel kinds with four coordinates.
QStringList descriptionLines(const QString& dataDir)
{
    QStringList lines{"[PanelsStruct]", "Panels=4", "Panel0=PolPanel,Выбросы", "Panel1=ConcPanel,Концентрации",
        "Panel2=DesPanel,Заболеваемость", "Panel3=DeathPanel,Смертность", "[CoordsStruct]", "Region=Территория",
        "Time=Время", "Industry=Источник", "Pollutant=Загрязнитель", "[ModelStruct]", "Models=20"};
    for (int m = 0; m < 20; ++m)
        lines << QStringLiteral("Model%1=Модель %1").arg(m);
    for (const QString& kind : panelKinds()) {
        lines << "[" + kind + "]" << "Coords=4";
        for (int m = 0; m < 20; ++m) {
            const QString prefix = QStringLiteral("Модель %1 %2 Loop").arg(m).arg(kind);
            lines << "[" + prefix + "0]" << "NameCoord=Region";
            lines << "[" + prefix + "1]" << "NameCoord=Industry" << "Type=1" << "Path=" + dataDir << "Len=2"
                  << "Item0=IND,Industry" << "Item1=VAL,Result" << "SQLLen=4" << "SQLItem0=SELECT * FROM emis"
                  << "SQLItem1=WHERE YEAR_F = :Year" << "SQLItem2=AND REG = :Region" << "SQLItem3=AND IND = :Industry";
            lines << "[" + prefix + "2]" << "NameCoord=Time" << "FormatCoord=DateTime" << "SetTime=Date";
            lines << "[" + prefix + "3]" << "NameCoord=Pollutant" << "FormatCoord=Float";
        }
    }
    lines << "[DataBaseStruct]" << "DBLen=1" << "DataBase0.Name=Emis" << "DataBase0.Path=" + dataDir
          << "DataBase0.CodeLen=1" << "DataBase0.Code0.PolPanel=emis<Year>";
    return lines;
}

struct Fixture {
    // `emptyLines` empty lines end the description, as an editor may leave them.
    explicit Fixture(int emptyLines = 0)
    {
        qputenv("VEROLA_SYSTEM_DIR", dir.path().toLocal8Bit());
        QStringList lines = descriptionLines(dir.path());
        for (int n = 0; n < emptyLines; ++n)
            lines.append(QString());
        writeTextLines(dir.filePath(kDescriptionFile), lines);
        writeTextLines(dir.filePath("emis.dbf"), {});
    }
    QTemporaryDir dir;
};

// Argument: the empty lines after the description (2,000,000: about 4 MB of line ends).
void LoadPanelInfoOfOneModel(benchmark::State& state)
{
    Fixture fixture(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        TPanelInfoStruct info;
        LoadPanelInfo(info, kDescriptionFile, "PolPanel", "Модель 17");
        if (info.CoordItems.size() != 4)
            state.SkipWithError("the model's four coordinates were not read");
        benchmark::DoNotOptimize(info.CoordItems.size());
    }
}
BENCHMARK(LoadPanelInfoOfOneModel)->Arg(0)->Arg(2'000'000)->Unit(benchmark::kMillisecond);

void BuildQueryOfALevel(benchmark::State& state)
{
    Fixture fixture;
    SilentFeedback feedback;
    TSelectionSources sources(FormatSettings::russian(), feedback);
    LoadPanelInfo(sources.description, kDescriptionFile, "PolPanel", "Модель 3");
    sources.currentCodes = {"77", "1200", "01.01.1990-31.12.1991", "5.5"};
    for (auto _ : state)
        benchmark::DoNotOptimize(sources.BuildQuery(1));
}
BENCHMARK(BuildQueryOfALevel)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
