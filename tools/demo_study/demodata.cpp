#include "demodata.h"

#include <cmath>

namespace demo {

const std::vector<District>& districts()
{
    static const std::vector<District> list = {
        {"11", "Заводской", "Левобережье", 86400, 31.5},
        {"12", "Нефтяников", "Левобережье", 63800, 24.2},
        {"13", "Промышленный", "Левобережье", 71900, 38.7},
        {"14", "Северный", "Левобережье", 57600, 29.1},
        {"15", "Центральный", "Правобережье", 109500, 18.4},
        {"16", "Октябрьский", "Правобережье", 95700, 22.8},
        {"17", "Речной", "Правобережье", 76800, 26.3},
        {"18", "Сосновый", "Пригород", 41200, 54.0},
        {"19", "Луговой", "Пригород", 35800, 47.6},
        {"20", "Южный", "Пригород", 52300, 40.9},
    };
    return list;
}

const std::vector<std::string>& areas()
{
    static const std::vector<std::string> list = {"Левобережье", "Правобережье", "Пригород"};
    return list;
}

const std::vector<Industry>& industries()
{
    static const std::vector<Industry> list = {
        {"NP", "Нефтепереработка"},
        {"CH", "Химическая промышленность"},
        {"EN", "Энергетика"},
    };
    return list;
}

// Toxicity values: US EPA Integrated Risk Information System (IRIS), as listed in 2024; the year
// of each assessment follows the value. Reference concentrations (RfC) in mg/m³, inhalation unit
// risks (IUR) per µg/m³:
//   benzene           RfC 3E-2 (2003), IUR 7.8E-6 (2000; the upper end of the range 2.2E-6 – 7.8E-6)
//   1,3-butadiene     RfC 2E-3 (2002), IUR 3E-5 (2002)
//   acetaldehyde      RfC 9E-3 (1991), IUR 2.2E-6 (1988)
//   toluene           RfC 5 (2005)
//   xylenes           RfC 1E-1 (2003)
//   hydrogen sulfide  RfC 2E-3 (2003)
// The dose block multiplies a concentration by an exposure factor (m³/kg-day) into a dose in
// mg/kg-day, so the tables carry the route-to-route inhalation equivalents for a 70 kg adult
// breathing 20 m³ a day (US EPA, Risk Assessment Guidance for Superfund, Part A, 1989):
//   RFD = RfC · 20 / 70 (mg/kg-day), SF = IUR · 1000 · 70 / 20 (per mg/kg-day).
// Backgrounds are typical urban annual means of the same order as published monitoring data;
// they are the generator's own choice, not measurements.
const std::vector<Pollutant>& pollutants()
{
    static const std::vector<Pollutant> list = {
        {"Бензол", "71-43-2", "BENZENE", "BENZENE", 0.0021, 3e-2, 7.8e-6},
        {"1,3-Бутадиен", "106-99-0", "BUTADIENE", "BUTADIENE", 0.00032, 2e-3, 3e-5},
        {"Ацетальдегид", "75-07-0", "ACETALD", "ACETALDEHYDE", 0.0024, 9e-3, 2.2e-6},
        {"Толуол", "108-88-3", "TOLUENE", "TOLUENE", 0.0095, 5, 0},
        {"Ксилолы", "1330-20-7", "XYLENES", "XYLENES", 0.0068, 1e-1, 0},
        {"Сероводород", "7783-06-4", "H2S", "HYDROGEN SULFIDE", 0.00075, 2e-3, 0},
    };
    return list;
}

const std::vector<Plant>& plants()
{
    static const std::vector<Plant> list = {
        {1, "11", "NP", "Верхнереченский НПЗ", 5, 1.0},
        {2, "11", "EN", "ТЭЦ-1", 3, 1.2},
        {3, "12", "CH", "Завод синтетического каучука", 4, 1.0},
        {4, "12", "EN", "ТЭЦ-2", 2, 0.9},
        {5, "13", "CH", "Химкомбинат Азот", 3, 0.7},
        {6, "13", "NP", "Нефтебаза Промышленная", 2, 0.25},
        {7, "14", "EN", "Котельная Северная", 1, 0.3},
        {8, "15", "EN", "ТЭЦ-3", 2, 0.8},
        {9, "16", "CH", "Лакокрасочный завод", 2, 0.35},
        {10, "20", "NP", "Нефтебаза Южная", 1, 0.15},
    };
    return list;
}

double plantEmission(const Plant& plant, size_t p)
{
    // Tonnes a year of a plant of size 1, in the order of pollutants().
    static const double refinery[] = {42, 3.1, 2.4, 63, 47, 26};
    static const double chemical[] = {16, 31, 21, 27, 22, 1.8};
    static const double energy[] = {3.2, 0.45, 4.1, 5.3, 2.9, 0.9};
    const double* profile = plant.industry == "NP" ? refinery : plant.industry == "CH" ? chemical : energy;
    return profile[p] * plant.size;
}

const std::vector<Diagnosis>& diagnoses()
{
    static const std::vector<Diagnosis> list = {
        {"J06", "ОРВИ", "Болезни органов дыхания", 30, 18, 16, 0.4, true},
        {"J20", "Острый бронхит", "Болезни органов дыхания", 11, 30, 22, 0.8, true},
        {"J45", "Астма", "Болезни органов дыхания", 5, 32, 20, 1.5, false},
        {"J44", "ХОБЛ", "Болезни органов дыхания", 4, 63, 11, 1.2, false},
        {"I10", "Гипертензия", "Болезни системы кровообращения", 20, 61, 12, 0.1, false},
        {"I25", "Ишемическая болезнь сердца", "Болезни системы кровообращения", 14, 67, 10, 0.2, false},
        {"C34", "Рак легкого", "Новообразования", 1.5, 64, 9, 1.0, false},
        {"K29", "Гастрит", "Болезни органов пищеварения", 14.5, 42, 17, 0, false},
    };
    return list;
}

const std::vector<Diagnosis>& deathCauses()
{
    static const std::vector<Diagnosis> list = {
        {"I21", "Инфаркт миокарда", "Болезни системы кровообращения", 12, 70, 11, 0.1, true},
        {"I25", "Ишемическая болезнь сердца", "Болезни системы кровообращения", 30, 76, 9, 0.1, false},
        {"I63", "Инсульт", "Болезни системы кровообращения", 17, 75, 10, 0.1, true},
        {"C34", "Рак легкого", "Новообразования", 7, 66, 9, 0.8, false},
        {"J44", "ХОБЛ", "Болезни органов дыхания", 5, 71, 9, 1.0, false},
        {"J18", "Пневмония", "Болезни органов дыхания", 5, 68, 18, 0.6, true},
        {"V89", "Транспортные происшествия", "Внешние причины", 4, 38, 16, 0, false},
        {"R99", "Прочие причины", "Прочие", 20, 69, 16, 0, false},
    };
    return list;
}

const std::vector<ExposureGroup>& exposureGroups()
{
    // US EPA standard default exposure factors (OSWER Directive 9285.6-03, 1991) for residents and
    // workers; for children 1–6 years the body weight and duration of the same guidance with an
    // inhalation rate of 10 m³ a day.
    static const std::vector<ExposureGroup> list = {
        {1, "Взрослые", 20, 350, 30, 70},
        {2, "Дети", 10, 350, 6, 15},
        {3, "Работающие", 20, 250, 25, 70},
    };
    return list;
}

const std::vector<SexAgeGroup>& sexAgeGroups()
{
    static const std::vector<SexAgeGroup> list = {
        {"М 0-14", "100-114"},
        {"М 15-39", "115-139"},
        {"М 40-59", "140-159"},
        {"М 60+", "160-199"},
        {"Ж 0-14", "200-214"},
        {"Ж 15-39", "215-239"},
        {"Ж 40-59", "240-259"},
        {"Ж 60+", "260-299"},
    };
    return list;
}

double lifetimeFactor(const ExposureGroup& g)
{
    return g.inhalationRate * g.frequency * g.duration / (g.bodyWeight * kLifetimeYears * 365);
}

double chronicFactor(const ExposureGroup& g)
{
    return g.inhalationRate * g.frequency / (g.bodyWeight * 365);
}

double referenceDose(const Pollutant& p)
{
    return p.rfc * 20 / 70;
}

double slopeFactor(const Pollutant& p)
{
    return p.unitRisk * 1000 * 70 / 20;
}

double probitA(const Pollutant& p)
{
    return -2 - 3.32 * std::log10(p.rfc);
}

double probitB(const Pollutant&)
{
    return 3.32;
}

} // namespace demo
