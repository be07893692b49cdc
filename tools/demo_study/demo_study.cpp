// demo_study: writes the demo study of the fictional city of Verkhnerechensk, ten districts over
// the years 2018–2022, so that a new user can run the whole chain of the workbench on it.
//
//   demo_study DATA_DIR SYSTEM_DIR
//
// DATA_DIR (the program's data directory) receives
//   db/    districts.dbf, plants.dbf, stacks.dbf, emis.dbf, conc<district>.dbf (monthly means
//          at two monitoring posts), appeals.dbf (100,000 clinic appeals), deaths.dbf (10,000)
//   risk/  condrisk.dbf, subs.dbf, expf.dbf: the reference tables of the dose block
//   maps/  districts.shp, .shx, .dbf: the map of the ten districts (NAME the district's name)
//   Demo.DES and its coordinate lists, its map list Demo.map, total.cnn
// SYSTEM_DIR receives the database description "Local.Ini", "Aliases.ini" and the settings
// "RuzUzo.ini" pointing at DATA_DIR. Paths in them are absolute, so the files belong to the
// build that made them.
//
// Every number comes from one splitmix64 sequence with a fixed seed and is written with a fixed
// number of decimals: the files are the same on every machine. The toxicity values and exposure
// factors, with their sources, are in demodata.cpp.
#include "demodata.h"
#include "demofiles.h"
#include "demomap.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <map>

namespace fs = std::filesystem;
using namespace demo;

namespace {

constexpr std::uint64_t kSeed = 20260214;

std::string yearText(int year)
{
    return std::to_string(year);
}

std::string allYears()
{
    return yearText(kFirstYear) + "-" + yearText(kFirstYear + kYearCount - 1);
}

// ---- the source databases ----------------------------------------------------------------

// How much of each pollutant a district's own plants add to the background, relative to the
// largest single plant's emission of that pollutant.
std::map<std::string, std::vector<double>> industrialLoads()
{
    const size_t count = pollutants().size();
    std::vector<double> largest(count, 0);
    for (const Plant& plant : plants())
        for (size_t p = 0; p < count; ++p)
            largest[p] = std::max(largest[p], plantEmission(plant, p));
    std::map<std::string, std::vector<double>> loads;
    for (const District& d : districts())
        loads[d.code].assign(count, 0);
    for (const Plant& plant : plants())
        for (size_t p = 0; p < count; ++p)
            loads[plant.district][p] += plantEmission(plant, p) / largest[p];
    // Neighbours share a part of their area's load.
    std::map<std::string, std::vector<double>> areaMeans;
    for (const std::string& area : areas()) {
        std::vector<double> sum(count, 0);
        int n = 0;
        for (const District& d : districts())
            if (d.area == area) {
                for (size_t p = 0; p < count; ++p)
                    sum[p] += loads[d.code][p];
                ++n;
            }
        for (double& s : sum)
            s /= n;
        areaMeans[area] = sum;
    }
    for (const District& d : districts())
        for (size_t p = 0; p < count; ++p)
            loads[d.code][p] = 2.5 * loads[d.code][p] + 0.5 * areaMeans[d.area][p];
    return loads;
}

// One number per district: the mean relative load over the pollutants, for the health data.
std::map<std::string, double> pollutionIndex(const std::map<std::string, std::vector<double>>& loads)
{
    std::map<std::string, double> index;
    for (const auto& [code, values] : loads) {
        double sum = 0;
        for (double v : values)
            sum += v;
        index[code] = sum / double(values.size());
    }
    return index;
}

void writeDistricts(const fs::path& db)
{
    DbfWriter table((db / "districts.dbf").string(),
        {{"CODE", 'C', 2}, {"NAME", 'C', 30}, {"AREA", 'C', 20}, {"POP", 'N', 8}, {"SQKM", 'N', 8, 1}});
    for (const District& d : districts())
        table.add({d.code, d.name, d.area, std::to_string(d.population), fixed(d.squareKm, 1)});
}

void writePlants(const fs::path& db, Random& random)
{
    DbfWriter plantTable((db / "plants.dbf").string(),
        {{"ID", 'N', 4}, {"REG", 'C', 2}, {"IND", 'C', 2}, {"NAME", 'C', 40}, {"STACKS", 'N', 3}});
    DbfWriter stackTable((db / "stacks.dbf").string(),
        {{"PLANT", 'N', 4}, {"STACK", 'N', 3}, {"HEIGHT", 'N', 6, 1}, {"DIAM", 'N', 5, 2}, {"SHARE", 'N', 6, 3}});
    DbfWriter emissionTable((db / "emis.dbf").string(),
        {{"PLANT", 'N', 4}, {"SUBST", 'C', 10}, {"AMOUNT", 'N', 12, 3}});
    for (const Plant& plant : plants()) {
        plantTable.add({std::to_string(plant.id), plant.district, plant.industry, plant.name, std::to_string(plant.stacks)});
        std::vector<double> shares(plant.stacks);
        double total = 0;
        for (double& s : shares)
            total += (s = 0.5 + random.uniform());
        for (int s = 0; s < plant.stacks; ++s) {
            const double height = 30 + 10 * random.below(13);
            stackTable.add({std::to_string(plant.id), std::to_string(s + 1), fixed(height, 1),
                fixed(1.0 + height / 80.0 + 0.5 * random.uniform(), 2), fixed(shares[s] / total, 3)});
        }
        for (size_t p = 0; p < pollutants().size(); ++p)
            emissionTable.add({std::to_string(plant.id), pollutants()[p].field, fixed(plantEmission(plant, p), 3)});
    }
}

// e^x as (1 + x/1024)^1024, made of multiplications only (see Random::normal).
double exponential(double x)
{
    double y = 1 + x / 1024;
    for (int i = 0; i < 10; ++i)
        y *= y;
    return y;
}

// Monthly means at the district's posts: background × local load × season × trend × noise.
void writeConcentrations(const fs::path& db, Random& random, const std::map<std::string, std::vector<double>>& loads)
{
    static const char* const kSectors[] = {"С", "СВ", "В", "ЮВ", "Ю", "ЮЗ", "З", "СЗ"};
    static const int kMonthlyTemperature[] = {-14, -12, -5, 4, 12, 17, 19, 17, 10, 3, -5, -11};
    // 1 + 0.25·cos(2π(month − 1)/12): a quarter more in January, a quarter less in July.
    static const double kSeason[] = {1.25, 1.2165, 1.125, 1.0, 0.875, 0.7835, 0.75, 0.7835, 0.875, 1.0, 1.125, 1.2165};
    for (const District& d : districts()) {
        std::vector<Field> fields = {{"DAT", 'D'}, {"POST", 'N', 2}};
        for (const Pollutant& p : pollutants())
            fields.push_back({p.field, 'N', 12, 7});
        fields.push_back({"VETER", 'C', 2});
        fields.push_back({"TEMPER", 'N', 4});
        DbfWriter table((db / ("conc" + d.code + ".dbf")).string(), fields);
        for (int year = kFirstYear; year < kFirstYear + kYearCount; ++year)
            for (int month = 1; month <= 12; ++month)
                for (int post = 1; post <= kPostsPerDistrict; ++post) {
                    const double season = kSeason[month - 1];
                    const double trend = 1 - 0.03 * (year - kFirstYear);
                    const double postFactor = post == 1 ? 1.0 : 0.8;
                    std::vector<std::string> row = {dbfDate({year, month, 15}), std::to_string(post)};
                    for (size_t p = 0; p < pollutants().size(); ++p) {
                        const double noise = exponential(0.3 * random.normal() - 0.045);
                        const double c = pollutants()[p].background * (1 + loads.at(d.code)[p]) * season * trend
                            * postFactor * noise;
                        row.push_back(fixed(c, 7));
                    }
                    row.push_back(kSectors[random.pick({1, 0.6, 0.5, 0.7, 1.2, 1.6, 1.9, 1.3})]);
                    row.push_back(std::to_string(kMonthlyTemperature[month - 1] + random.below(5) - 2));
                    table.add(row);
                }
    }
}

// A day of the study period; seasonal events come more often from October to March.
Date eventDate(Random& random, bool seasonal)
{
    std::vector<double> monthWeights(12, 1.0);
    if (seasonal)
        for (int m : {0, 1, 2, 9, 10, 11})
            monthWeights[m] = 1.8;
    const int year = kFirstYear + random.below(kYearCount);
    const int month = random.pick(monthWeights) + 1;
    return {year, month, 1 + random.below(daysInMonth(year, month))};
}

struct Person {
    std::string district;
    Date event;
    Date birth;
    std::string sex;
    std::string code;
};

Person drawPerson(Random& random, const std::vector<Diagnosis>& codes, const std::map<std::string, double>& index,
    double maxAge)
{
    std::vector<double> populations;
    for (const District& d : districts())
        populations.push_back(d.population * (1 + 0.3 * index.at(d.code)));
    const District& d = districts()[random.pick(populations)];
    std::vector<double> weights;
    for (const Diagnosis& c : codes)
        weights.push_back(c.weight * (1 + c.pollutionGain * index.at(d.code)));
    const Diagnosis& diagnosis = codes[random.pick(weights)];
    Person person;
    person.district = d.code;
    person.code = diagnosis.code;
    person.event = eventDate(random, diagnosis.seasonal);
    const double age = std::clamp(diagnosis.meanAge + diagnosis.ageSpread * random.normal(), 0.0, maxAge);
    const long birth = daysFromCivil(person.event) - long(age * 365.25) - random.below(365);
    person.birth = civilFromDays(std::min(birth, daysFromCivil(person.event)));
    person.sex = random.uniform() < 0.48 ? "1" : "2";
    return person;
}

void writePeople(const fs::path& file, const std::string& dateField, const std::string& codeField, int count,
    const std::vector<Diagnosis>& codes, const std::map<std::string, double>& index, double maxAge, Random& random)
{
    DbfWriter table(file.string(),
        {{"REG", 'C', 2}, {dateField, 'D'}, {"BIRTH", 'D'}, {"SEX", 'C', 1}, {codeField, 'C', 5}});
    for (int i = 0; i < count; ++i) {
        const Person p = drawPerson(random, codes, index, maxAge);
        table.add({p.district, dbfDate(p.event), dbfDate(p.birth), p.sex, p.code});
    }
}

// ---- the risk reference tables -------------------------------------------------------------

void writeRiskTables(const fs::path& risk)
{
    DbfWriter constants((risk / "condrisk.dbf").string(), {{"NAME", 'C', 40}, {"ANOV", 'N', 12, 4}, {"BNOV", 'N', 12, 4}});
    DbfWriter substances((risk / "subs.dbf").string(),
        {{"NAME", 'C', 40}, {"CAS", 'C', 12}, {"RFC", 'N', 14, 8}, {"IUR", 'N', 14, 10}, {"RFD", 'N', 16, 10},
            {"SF", 'N', 16, 10}});
    for (const Pollutant& p : pollutants()) {
        constants.add({p.key, fixed(probitA(p), 4), fixed(probitB(p), 4)});
        const bool carcinogen = p.unitRisk > 0;
        substances.add({p.key, p.cas, fixed(p.rfc, 8), carcinogen ? fixed(p.unitRisk, 10) : "",
            fixed(referenceDose(p), 10), carcinogen ? fixed(slopeFactor(p), 10) : ""});
    }
    DbfWriter factors((risk / "expf.dbf").string(),
        {{"ID_EXP", 'N', 4}, {"NAME", 'C', 30}, {"IR", 'N', 6, 1}, {"EF", 'N', 5}, {"ED", 'N', 4}, {"BW", 'N', 5, 1},
            {"EXP_FL", 'N', 14, 8}, {"EXP_FC", 'N', 14, 8}});
    for (const ExposureGroup& g : exposureGroups())
        factors.add({std::to_string(g.id), g.name, fixed(g.inhalationRate, 1), fixed(g.frequency, 0),
            fixed(g.duration, 0), fixed(g.bodyWeight, 1), fixed(lifetimeFactor(g), 8), fixed(chronicFactor(g), 8)});
}

// ---- the configuration "Demo" ------------------------------------------------------------

using Lines = std::vector<std::string>;

// One line per item, as `line` writes it.
template <class Item, class Format>
Lines linesOf(const std::vector<Item>& items, Format line)
{
    Lines lines;
    for (const Item& item : items)
        lines.push_back(line(item));
    return lines;
}

// A group that adds up its children, the names given.
Lines sumTree(const std::string& total, const Lines& children)
{
    Lines lines = {total + "|T,GROUP:SUM"};
    for (const std::string& child : children)
        lines.push_back("\t" + child + "|T");
    return lines;
}

Lines pollutantNames()
{
    return linesOf(pollutants(), [](const Pollutant& p) { return p.name; });
}

void writeList(const fs::path& dir, char kind, int block, int axis, const std::string& header, const Lines& values)
{
    char name[16];
    std::snprintf(name, sizeof name, "Demo.%c%x%x", kind, block, axis);
    Lines lines = {header};
    for (const std::string& v : values)
        lines.push_back("\t" + v);
    writeTextFile((dir / name).string(), lines);
}

Lines pollutantLines(const std::string& mark, bool referenceKey)
{
    return linesOf(pollutants(), [&](const Pollutant& p) {
        return p.name + "|" + mark + "," + p.cas + "," + (referenceKey ? p.key : p.field);
    });
}

// District leaves of a primary table from the databases: the model code and the territory.
Lines selectedDistricts()
{
    return linesOf(districts(), [](const District& d) { return d.name + "|D," + kModelCode + "," + d.code; });
}

// The city, its parts and their districts as a tree; groups aggregate by `rule`.
Lines regionTree(const std::string& rule)
{
    Lines lines = {kCity + "|T,GROUP:" + rule};
    for (const std::string& area : areas()) {
        lines.push_back("\t" + area + "|T,GROUP:" + rule);
        for (const District& d : districts())
            if (d.area == area)
                lines.push_back("\t\t" + d.name + "|T");
    }
    return lines;
}

// The same names without the tree: every level of the city is a position of its own.
Lines flatRegions(const std::string& mark)
{
    Lines lines = {kCity + "|" + mark};
    for (const std::string& area : areas())
        lines.push_back(area + "|" + mark);
    for (const District& d : districts())
        lines.push_back(d.name + "|" + mark);
    return lines;
}

Lines selectedYears()
{
    Lines lines;
    for (int year = kFirstYear; year < kFirstYear + kYearCount; ++year)
        lines.push_back(yearText(year) + "|D," + textDate({year, 1, 1}) + "-" + textDate({year, 12, 31}));
    return lines;
}

Lines yearTree(const std::string& rule)
{
    Lines lines = {allYears() + "|T,GROUP:" + rule};
    for (int year = kFirstYear; year < kFirstYear + kYearCount; ++year)
        lines.push_back("\t" + yearText(year) + "|T");
    return lines;
}

Lines flatYears(const std::string& mark)
{
    Lines lines;
    for (int year = kFirstYear; year < kFirstYear + kYearCount; ++year)
        lines.push_back(yearText(year) + "|" + mark);
    lines.push_back(allYears() + "|" + mark);
    return lines;
}

Lines selectedSexAge()
{
    return linesOf(sexAgeGroups(), [](const SexAgeGroup& g) { return g.name + "|D," + g.codes; });
}

Lines sexAgeTree()
{
    Lines lines;
    for (const std::string& sex : {std::string("Мужчины"), std::string("Женщины")}) {
        lines.push_back(sex + "|T,GROUP:SUM");
        for (const SexAgeGroup& g : sexAgeGroups())
            if ((sex == "Мужчины") == (g.codes[0] == '1'))
                lines.push_back("\t" + g.name + "|T");
    }
    return lines;
}

Lines selectedCodes(const std::vector<Diagnosis>& codes)
{
    return linesOf(codes, [](const Diagnosis& c) { return c.name + "|D," + c.code; });
}

// Codes grouped by their chapter, in the order the chapters first appear.
Lines codeTree(const std::vector<Diagnosis>& codes, const std::string& total)
{
    Lines lines = {total + "|T,GROUP:SUM"};
    std::vector<std::string> chapters;
    for (const Diagnosis& c : codes)
        if (std::find(chapters.begin(), chapters.end(), c.chapter) == chapters.end())
            chapters.push_back(c.chapter);
    for (const std::string& chapter : chapters) {
        lines.push_back("\t" + chapter + "|T,GROUP:SUM");
        for (const Diagnosis& c : codes)
            if (c.chapter == chapter)
                lines.push_back("\t\t" + c.name + "|T");
    }
    return lines;
}


void writeEmissionBlock(const fs::path& dir)
{
    writeList(dir, 'd', 0, 0, "Загрязнители", pollutantLines("D", false));
    writeList(dir, 'd', 0, 1, "Районы", selectedDistricts());
    writeList(dir, 'd', 0, 7, "Отрасли", linesOf(industries(), [](const Industry& i) { return i.name + "|D," + i.code; }));
    writeList(dir, 'o', 0, 0, "Загрязнители", sumTree("Все вещества", pollutantNames()));
    writeList(dir, 'o', 0, 1, "Районы", regionTree("SUM"));
    writeList(dir, 'o', 0, 7, "Отрасли", sumTree("Все отрасли", linesOf(industries(), [](const Industry& i) { return i.name; })));
}

void writeConcentrationBlock(const fs::path& dir)
{
    writeList(dir, 'd', 1, 0, "Загрязнители", pollutantLines("D", false));
    writeList(dir, 'd', 1, 1, "Районы", selectedDistricts());
    writeList(dir, 'd', 1, 2, "Годы", selectedYears());
    writeList(dir, 'o', 1, 0, "Загрязнители", linesOf(pollutants(), [](const Pollutant& p) { return p.name + "|T"; }));
    writeList(dir, 'o', 1, 1, "Районы", regionTree("AVER"));
    writeList(dir, 'o', 1, 2, "Годы", yearTree("AVER"));
    writeList(dir, 'o', 1, 7, "Отрасли", {"Все|T"});
    // The calculation side holds the emissions handed over from the emission block.
    writeList(dir, 'c', 1, 0, "Загрязнители", pollutantLines("C", false));
    writeList(dir, 'c', 1, 1, "Районы", flatRegions("C"));
    writeList(dir, 'c', 1, 7, "Отрасли", {"Все|C"});
}

void writeDoseBlock(const fs::path& dir)
{
    writeList(dir, 'c', 2, 0, "Загрязнители", pollutantLines("C", true));
    writeList(dir, 'c', 2, 1, "Районы", flatRegions("C"));
    writeList(dir, 'c', 2, 2, "Годы", flatYears("C"));
    writeList(dir, 'c', 2, 6, "Группы экспозиции",
        linesOf(exposureGroups(), [](const ExposureGroup& g) { return g.name + "|C," + std::to_string(g.id); }));
    const Lines risks = {"LADI|C,ladi", "CADI|C,cadi", "ILCR|C,ilcr", "HI|C,hi", "Пробит|C,nov,0", "lg L|C,nov,3"};
    writeList(dir, 'c', 2, 8, "Показатели риска", risks);
    writeList(dir, 'o', 2, 0, "Загрязнители", sumTree("Все вещества", pollutantNames()));
    writeList(dir, 'o', 2, 1, "Районы", flatRegions("T"));
    writeList(dir, 'o', 2, 2, "Годы", flatYears("T"));
    writeList(dir, 'o', 2, 6, "Группы экспозиции",
        linesOf(exposureGroups(), [](const ExposureGroup& g) { return g.name + "|T"; }));
    writeList(dir, 'o', 2, 8, "Показатели риска", {"LADI|T", "CADI|T", "ILCR|T", "HI|T"});
}

// Counts add up over districts; rates per 1000 residents of a district are averaged over them.
void writeHealthBlock(const fs::path& dir, int block, int codeAxis, const std::vector<Diagnosis>& codes,
    const std::string& codesHeader, const std::string& total, const std::string& regionRule)
{
    writeList(dir, 'd', block, 1, "Районы", selectedDistricts());
    writeList(dir, 'd', block, 2, "Годы", selectedYears());
    writeList(dir, 'd', block, 3, "Половозрастные группы", selectedSexAge());
    writeList(dir, 'd', block, codeAxis, codesHeader, selectedCodes(codes));
    writeList(dir, 'o', block, 1, "Районы", regionTree(regionRule));
    writeList(dir, 'o', block, 2, "Годы", yearTree("SUM"));
    writeList(dir, 'o', block, 3, "Половозрастные группы", sexAgeTree());
    writeList(dir, 'o', block, codeAxis, codesHeader, codeTree(codes, total));
}

void writeConfiguration(const fs::path& dir)
{
    writeTextFile((dir / "Demo.DES").string(),
        {"Демонстрационное исследование: г. " + kCity + ", " + allYears(),
            "Выбросы предприятий, среднемесячные концентрации на постах наблюдения, обращения в поликлиники",
            "и смертность по десяти районам города; дозы и риски для трех групп экспозиции.",
            "Цепочка: выборка из БД (блоки 0, 1, 3, 4), итоговые таблицы, перенос выбросов в блок",
            "концентраций, расчет доз и рисков по концентрациям (переключатель блока 1 на Extr)."});
    writeEmissionBlock(dir);
    writeConcentrationBlock(dir);
    writeDoseBlock(dir);
    writeHealthBlock(dir, 3, 4, diagnoses(), "Диагнозы", "Все обращения", "SUM");
    writeHealthBlock(dir, 4, 5, deathCauses(), "Причины смерти", "Все причины", "AVER");
    // The map window's settings: the same lines as the data directory's "Default.map".
    writeTextFile((dir / "Demo.map").string(), {"Shape=maps/districts.shp", "NameField=NAME"});
}

// The block connection tree: the five blocks with the coordinates they link.
void writeConnectionTree(const fs::path& dir)
{
    struct BlockNode {
        std::string name;
        std::map<int, std::string> coordinates;
    };
    const std::vector<BlockNode> blocks = {
        {"Выброс", {{0, "Загрязнитель|"}, {1, "Территория|"}, {2, "Время|"}, {7, "Источник|"}}},
        {"Концентрация",
            {{0, "Загрязнитель|Выброс,Загрязнитель"}, {1, "Территория|Выброс,Территория"}, {2, "Время|Выброс,Время"}}},
        {"Риск", {{0, "Загрязнитель|Концентрация,Загрязнитель"}, {1, "Территория|Концентрация,Территория"},
                     {2, "Время|Концентрация,Время"}, {6, "Экспозиционная группа|"}, {8, "Тип риска|"}}},
        {"Заболеваемость", {{1, "Территория|Риск,Территория"}, {2, "Время|Риск,Время"},
                               {3, "Половозрастная группа|Риск,Экспозиционная группа"}, {4, "Диагноз|Риск,Тип риска"}}},
        {"Смертность", {{1, "Территория|Заболеваемость,Территория"}, {2, "Время|Заболеваемость,Время"},
                           {3, "Половозрастная группа|Заболеваемость,Половозрастная группа"},
                           {5, "Диагноз|Заболеваемость,Диагноз"}}},
    };
    Lines lines = {"Блоки"};
    for (const BlockNode& block : blocks) {
        lines.push_back("\t" + block.name);
        for (int position = 0; position < 10; ++position) {
            const auto found = block.coordinates.find(position);
            lines.push_back("\t\t"
                + (found != block.coordinates.end() ? found->second : "Переменная " + std::to_string(position) + "|"));
        }
    }
    writeTextFile((dir / "total.cnn").string(), lines);
}

// ---- the system directory ------------------------------------------------------------------

Lines section(const std::string& name, const Lines& keys)
{
    Lines lines = {"[" + name + "]"};
    lines.insert(lines.end(), keys.begin(), keys.end());
    return lines;
}

void append(Lines& lines, const Lines& more)
{
    lines.insert(lines.end(), more.begin(), more.end());
}

Lines healthModel(const std::string& kind, const std::string& db, const std::string& table, const std::string& dateField,
    const std::string& eventRole, const std::string& codeField, const std::string& codeCoord, const std::string& weight)
{
    const std::string prefix = kModelName + " " + kind + " Loop";
    Lines region = {"NameCoord=Region", "Type=1", "Path=" + db, "Len=5", "Item0=" + dateField + ",Time,Value",
        "Item1=SEX,Sex,Value", "Item2=BIRTH,BirthDate,Value", "Item3=" + dateField + "," + eventRole + ",Value",
        "Item4=" + codeField + "," + codeCoord + ",Value", "SQLLen=2", "SQLItem0=SELECT * FROM " + table,
        "SQLItem1=WHERE REG = :Region"};
    if (!weight.empty())
        region.push_back("WeightTable=" + weight);
    Lines lines = section(prefix + "0", region);
    append(lines, section(prefix + "1",
        {"NameCoord=Time", "FormatCoord=DateTime", "SetTime=Date", "UseTime=Date",
            "MinValue=" + textDate({kFirstYear, 1, 1}), "MaxValue=" + textDate({kFirstYear + kYearCount - 1, 12, 31})}));
    append(lines, section(prefix + "2",
        {"NameCoord=SexAgeGroup", "Man=1", "Woman=2", "AgeType=0", "MinValue=0", "MaxValue=99"}));
    append(lines, section(prefix + "3", {"NameCoord=" + codeCoord}));
    return lines;
}

void writeDescription(const fs::path& system, const std::string& db)
{
    Lines lines;
    append(lines, section("PanelsStruct", {"Panels=4", "Panel0=PolPanel,Выбросы", "Panel1=ConcPanel,Концентрации",
        "Panel2=DesPanel,Заболеваемость", "Panel3=DeathPanel,Смертность"}));
    append(lines, section("PolPanel", {"Coords=3"}));
    append(lines, section("ConcPanel", {"Coords=3"}));
    append(lines, section("DesPanel", {"Coords=4"}));
    append(lines, section("DeathPanel", {"Coords=4"}));
    append(lines, section("ModelStruct", {"Models=1", "Model0=" + kModelName}));
    append(lines, section("CoordsStruct", {"Region=Регион", "Time=Период времени", "SexAgeGroup=Половозр. группа",
        "Disease=Заболевание", "Death=Причина смерти", "Pollutant=Загрязнитель", "Industry=Отрасль"}));
    append(lines, section("DataBaseStruct", {"DBLen=1", "DataBase0.Name=DEMO", "DataBase0.Path=" + db,
        "DataBase0.CodeLen=1", "DataBase0.Code0.ConcPanel=conc<Region>"}));
    const std::string pol = kModelName + " PolPanel Loop";
    // Emissions: the plants of a district and industry, each plant's emissions from its keyed table.
    append(lines, section(pol + "0", {"NameCoord=Region"}));
    append(lines, section(pol + "1", {"NameCoord=Industry", "Type=1", "Path=" + db, "Len=1", "Item0=IND,Industry,Value",
        "SQLLen=3", "SQLItem0=SELECT * FROM plants", "SQLItem1=WHERE REG = :Region", "SQLItem2=AND IND = :Industry"}));
    append(lines, section(pol + "2", {"NameCoord=Pollutant", "Type=3", "Path=" + db, "File=emis.dbf", "Index=PLANT",
        "MasterField=ID", "Len=2", "Item0=SUBST,Pollutant,Value", "Item1=AMOUNT,Result"}));
    // Concentrations: the district's own table, the monthly means of a year averaged per cell.
    const std::string conc = kModelName + " ConcPanel Loop";
    append(lines, section(conc + "0", {"NameCoord=Region", "FormatCoord=Integer", "DataType=1"}));
    append(lines, section(conc + "1", {"NameCoord=Pollutant"}));
    append(lines, section(conc + "2", {"NameCoord=Time", "Type=2", "FormatCoord=DateTime", "Path=" + db,
        "File=conc.dbf", "Len=2", "Item0=DAT,Time,Value", "Item1=X,Pollutant,Title", "SetTime=Date", "UseTime=Date"}));
    // Morbidity counted; mortality counted per 1000 residents of the district.
    append(lines, healthModel("DesPanel", db, "appeals", "CALLD", "CallDate", "DIAG", "Disease", ""));
    append(lines, healthModel("DeathPanel", db, "deaths", "DDATE", "DeathDate", "CAUSE", "Death",
        db + ",districts.dbf,NAME,POP,1000"));
    writeTextFile((system / "Local.Ini").string(), lines);
}

void writeSettings(const fs::path& system, const fs::path& data)
{
    Lines aliases = section("DEMO", {"PATH=" + (data / "db").string()});
    append(aliases, section("RISK", {"PATH=" + (data / "risk").string()}));
    writeTextFile((system / "Aliases.ini").string(), aliases);
    Lines settings = section("General",
        {"DataDirectory=" + data.string(), "DataDBFRiskDirectory=" + (data / "risk").string()});
    append(settings, section("Visible", {"Pol=1", "Conc=1", "Risk=1", "Des=1", "Death=1"}));
    writeTextFile((system / "RuzUzo.ini").string(), settings);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::cerr << "usage: demo_study DATA_DIR SYSTEM_DIR\n";
        return 2;
    }
    try {
        const fs::path data = fs::absolute(argv[1]);
        const fs::path system = fs::absolute(argv[2]);
        const fs::path db = data / "db";
        const fs::path risk = data / "risk";
        const fs::path maps = data / "maps";
        for (const fs::path& dir : {data, system, db, risk, maps})
            fs::create_directories(dir);

        Random random(kSeed);
        const auto loads = industrialLoads();
        const auto index = pollutionIndex(loads);
        writeDistricts(db);
        writePlants(db, random);
        writeConcentrations(db, random, loads);
        writePeople(db / "appeals.dbf", "CALLD", "DIAG", kAppealCount, diagnoses(), index, 95, random);
        writePeople(db / "deaths.dbf", "DDATE", "CAUSE", kDeathCount, deathCauses(), index, 98, random);
        writeRiskTables(risk);
        writeConfiguration(data);
        writeConnectionTree(data);
        writeDistrictMap(maps / "districts");
        writeDescription(system, db.string());
        writeSettings(system, data);
    } catch (const std::exception& e) {
        std::cerr << "demo_study: " << e.what() << '\n';
        return 1;
    }
    return 0;
}
