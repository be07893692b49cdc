#pragma once

// What the fictional city of the demo study is made of: its districts, plants, pollutants,
// diagnoses, causes of death and exposure groups, with the toxicity values of the pollutants.

#include <string>
#include <vector>

namespace demo {

constexpr int kFirstYear = 2018;
constexpr int kYearCount = 5;
constexpr int kAppealCount = 100000;
constexpr int kDeathCount = 10000;
constexpr int kPostsPerDistrict = 2;

// The model the region codes name ("DEMO") and its full name in the database description.
inline const std::string kModelCode = "DEMO";
inline const std::string kModelName = "Верхнереченск DEMO";
inline const std::string kCity = "Верхнереченск";

struct District {
    std::string code; // the territory code of the region lines and the REG fields
    std::string name;
    std::string area; // the part of the city: the middle level of the region tree
    int population;
    double squareKm;
};

struct Industry {
    std::string code;
    std::string name;
};

struct Pollutant {
    std::string name;  // Russian name, the position name in every block
    std::string cas;   // CAS registry number
    std::string field; // the column of the concentration tables and the SUBST code of emissions
    std::string key;   // the reference key of the risk tables
    double background; // urban background concentration, mg/m³
    double rfc;        // reference concentration, mg/m³
    double unitRisk;   // inhalation unit risk, per µg/m³ (0: not a carcinogen by inhalation)
};

struct Plant {
    int id;
    std::string district;
    std::string industry;
    std::string name;
    int stacks;
    double size; // scales the industry's emission profile
};

struct Diagnosis {
    std::string code; // ICD-10
    std::string name;
    std::string chapter;
    double weight;        // share among appeals
    double meanAge;
    double ageSpread;
    double pollutionGain; // extra share per unit of a district's pollution load
    bool seasonal;        // more frequent in the cold months
};

struct ExposureGroup {
    int id;
    std::string name;
    double inhalationRate; // m³/day
    double frequency;      // days/year
    double duration;       // years
    double bodyWeight;     // kg
};

const std::vector<District>& districts();
const std::vector<std::string>& areas();
const std::vector<Industry>& industries();
const std::vector<Pollutant>& pollutants();
const std::vector<Plant>& plants();
// Emission of pollutant p of a plant, tonnes per year.
double plantEmission(const Plant& plant, size_t p);
const std::vector<Diagnosis>& diagnoses();
const std::vector<Diagnosis>& deathCauses();
const std::vector<ExposureGroup>& exposureGroups();

// The sex-age groups of the morbidity and mortality axes: name and code range ("100-114").
struct SexAgeGroup {
    std::string name;
    std::string codes;
};
const std::vector<SexAgeGroup>& sexAgeGroups();

constexpr double kLifetimeYears = 70;
// Exposure factors (m³/kg-day): lifetime-averaged and averaged over the exposure duration.
double lifetimeFactor(const ExposureGroup& g);
double chronicFactor(const ExposureGroup& g);
// Inhalation reference dose (mg/kg-day) and slope factor (per mg/kg-day) of a 70 kg adult
// breathing 20 m³ a day.
double referenceDose(const Pollutant& p);
double slopeFactor(const Pollutant& p);
// Dose–response ("nov") constants: Prob = A + B·lg C with Prob = −2 + 3.32·lg(C / RfC).
double probitA(const Pollutant& p);
double probitB(const Pollutant& p);

} // namespace demo
