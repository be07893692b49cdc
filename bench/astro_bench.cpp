// Horoscopes per second: the selection computes one whenever a record's birth date changes.
#include "core/astro/horoscope.h"
#include "core/platform/conversions.h"

#include <benchmark/benchmark.h>
#include <QStringList>

using namespace verola;

namespace {

const QString kDataDirectory = QStringLiteral(VEROLA_PROGRAM_DIR "/eco/work");

// Birth dates spread over 1900 … 2050, as texts in the user's format.
QStringList birthDates(int count)
{
    QStringList dates;
    const FormatSettings format = FormatSettings::russian();
    const double first = encodeDate(1900, 1, 1);
    for (int i = 0; i < count; ++i)
        dates.append(dateToStr(first + (i * 5477L) % 55000, format));
    return dates;
}

// Orbit file read once per run, as the selection does.
void BM_ComputeHoroscope(benchmark::State& state)
{
    const QStringList dates = birthDates(1024);
    const FormatSettings format = FormatSettings::russian();
    THoroscopeState horoscope;
    qsizetype i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(horoscope.ComputeHoroscope(dates[i], kDataDirectory, format).longitudes[0]);
        i = (i + 1) % dates.size();
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ComputeHoroscope);

// The computation alone, from a day number.
void BM_HoroscopeForDay(benchmark::State& state)
{
    const TOrbitElements elements = readOrbitFile(orbitFilePath(kDataDirectory));
    long N = 2415021;
    for (auto _ : state) {
        benchmark::DoNotOptimize(horoscopeForDay(N, elements).longitudes[0]);
        N = N < 2470172 ? N + 37 : 2415021;
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_HoroscopeForDay);

// Reading "Planets.orb" afresh for every horoscope, for comparison.
void BM_ComputeHoroscopeReadingTheFileEachTime(benchmark::State& state)
{
    const QStringList dates = birthDates(1024);
    const FormatSettings format = FormatSettings::russian();
    qsizetype i = 0;
    for (auto _ : state) {
        THoroscopeState horoscope;
        benchmark::DoNotOptimize(horoscope.ComputeHoroscope(dates[i], kDataDirectory, format).longitudes[0]);
        i = (i + 1) % dates.size();
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ComputeHoroscopeReadingTheFileEachTime);

// The question asked of every record under a horoscope position.
void BM_MatchHoroscope(benchmark::State& state)
{
    THoroscopeState horoscope;
    horoscope.ComputeHoroscope(QStringLiteral("01.01.2000"), kDataDirectory, FormatSettings::russian());
    const QStringList codes = {QStringLiteral("HORO,ASPECT,Mars,Venus,Trin"), QStringLiteral("HORO,ASPECT,Moon,Sun"),
        QStringLiteral("HORO,ZODIAC,Sun,Leo")};
    qsizetype i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(horoscope.MatchHoroscope(codes[i]));
        i = (i + 1) % codes.size();
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_MatchHoroscope);

} // namespace

BENCHMARK_MAIN();
