// The demo study that the build generates (tools/demo_study): its source tables, the levels of
// its database description, the dose and risk of its concentrations, and its whole chain, each
// checked through verola-cli against numbers this test works out from the dBase files itself.
#include "core/app/fileset.h"
#include "core/platform/textfile.h"
#include "core/tables/tablefile.h"
#include "core/tables/ttab.h"
#include "testsupport.h"

#include <shapefil.h>

#include <QDir>
#include <QFile>
#include <QMap>
#include <QProcess>
#include <algorithm>
#include <cmath>
#include <functional>
#include <gtest/gtest.h>
#include <numeric>

using namespace verola;
using namespace verola::test;

namespace {

const QString kDataDir = QStringLiteral(VEROLA_PROGRAM_DIR "/eco/work");
const QString kSystemDir = QStringLiteral(VEROLA_DEMO_SYSTEM_DIR);
const QString kDbDir = kDataDir + "/db";
const QString kRiskDir = kDataDir + "/risk";
// The demo's dates are written day.month.year; the numbers below are read with a point.
const QStringList kFormats = {"--date-format", "dd.MM.yyyy", "--decimal", "."};

const QStringList kDistrictCodes = {"11", "12", "13", "14", "15", "16", "17", "18", "19", "20"};
const QStringList kYears = {"2018", "2019", "2020", "2021", "2022"};
const QStringList kConcentrationFields = {"BENZENE", "BUTADIENE", "ACETALD", "TOLUENE", "XYLENES", "H2S"};

// A dBase table read with shapelib, every field as text.
struct DbfTable {
    QStringList fields;
    std::vector<QStringList> rows;

    int column(const QString& name) const { return int(fields.indexOf(name)); }
    QString at(size_t row, const QString& name) const { return rows.at(row).at(column(name)); }
    size_t count(const std::function<bool(const QStringList&)>& accept) const
    {
        return size_t(std::count_if(rows.begin(), rows.end(), accept));
    }
    // The first row whose fields hold the given values.
    size_t rowWhere(const std::vector<std::pair<QString, QString>>& values) const
    {
        for (size_t i = 0; i < rows.size(); ++i)
            if (std::all_of(values.begin(), values.end(), [&](const auto& v) { return at(i, v.first) == v.second; }))
                return i;
        ADD_FAILURE() << "no such row";
        return 0;
    }
};

DbfTable readDbf(const QString& path)
{
    DbfTable table;
    DBFHandle handle = DBFOpen(QFile::encodeName(path).constData(), "rb");
    if (!handle) {
        ADD_FAILURE() << "cannot open " << path.toStdString();
        return table;
    }
    for (int f = 0; f < DBFGetFieldCount(handle); ++f) {
        char name[12] = {};
        DBFGetFieldInfo(handle, f, name, nullptr, nullptr);
        table.fields.append(QString::fromLatin1(name));
    }
    for (int r = 0; r < DBFGetRecordCount(handle); ++r) {
        QStringList row;
        for (int f = 0; f < table.fields.size(); ++f)
            row.append(decodeCp1251(QByteArray(DBFReadStringAttribute(handle, r, f))).trimmed());
        table.rows.push_back(row);
    }
    DBFClose(handle);
    return table;
}

// A dBase date "YYYYMMDD" and its year.
int yearOf(const QString& dbfDate)
{
    return dbfDate.left(4).toInt();
}

double mean(const std::vector<double>& values)
{
    return std::accumulate(values.begin(), values.end(), 0.0) / double(values.size());
}

// "Name,Name,…,Value" lines of a dump: the names joined by commas mapped to the value.
QMap<QString, double> cellsOf(const QString& dump)
{
    QMap<QString, double> cells;
    const QStringList lines = dump.split(u'\n', Qt::SkipEmptyParts);
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const qsizetype comma = lines[i].lastIndexOf(u',');
        cells.insert(lines[i].left(comma), lines[i].mid(comma + 1).toDouble());
    }
    return cells;
}

void expectNear(const QMap<QString, double>& cells, const QString& key, double expected)
{
    ASSERT_TRUE(cells.contains(key)) << key.toStdString();
    EXPECT_NEAR(cells.value(key), expected, std::abs(expected) * 1e-4) << key.toStdString();
}

// Reference values of the risk tables, by key.
struct RiskReferences {
    QMap<QString, QStringList> substances; // NAME -> RFD, SF
    QMap<QString, QStringList> constants;  // NAME -> ANOV, BNOV
    QMap<QString, QStringList> factors;    // ID_EXP -> EXP_FL, EXP_FC

    static RiskReferences read()
    {
        RiskReferences r;
        const DbfTable subs = readDbf(kRiskDir + "/subs.dbf");
        for (size_t i = 0; i < subs.rows.size(); ++i)
            r.substances.insert(subs.at(i, "NAME"), {subs.at(i, "RFD"), subs.at(i, "SF")});
        const DbfTable condrisk = readDbf(kRiskDir + "/condrisk.dbf");
        for (size_t i = 0; i < condrisk.rows.size(); ++i)
            r.constants.insert(condrisk.at(i, "NAME"), {condrisk.at(i, "ANOV"), condrisk.at(i, "BNOV")});
        const DbfTable expf = readDbf(kRiskDir + "/expf.dbf");
        for (size_t i = 0; i < expf.rows.size(); ++i)
            r.factors.insert(expf.at(i, "ID_EXP"), {expf.at(i, "EXP_FL"), expf.at(i, "EXP_FC")});
        return r;
    }
    double rfd(const QString& key) const { return substances.value(key).value(0).toDouble(); }
    double sf(const QString& key) const { return substances.value(key).value(1).toDouble(); }
    double a(const QString& key) const { return constants.value(key).value(0).toDouble(); }
    double b(const QString& key) const { return constants.value(key).value(1).toDouble(); }
    double lifetime(int group) const { return factors.value(QString::number(group)).value(0).toDouble(); }
    double chronic(int group) const { return factors.value(QString::number(group)).value(1).toDouble(); }
};

// The yearly mean of a pollutant in a district, over the months and the posts.
double yearlyMean(const QString& district, const QString& field, int year)
{
    const DbfTable table = readDbf(kDbDir + "/conc" + district + ".dbf");
    std::vector<double> values;
    for (size_t i = 0; i < table.rows.size(); ++i)
        if (yearOf(table.at(i, "DAT")) == year)
            values.push_back(table.at(i, field).toDouble());
    return mean(values);
}

// The mean over the five years, as the year tree of the concentration summary averages.
double periodMean(const QString& district, const QString& field)
{
    std::vector<double> years;
    for (const QString& year : kYears)
        years.push_back(yearlyMean(district, field, year.toInt()));
    return mean(years);
}

// The city's value of the concentration summary: the mean of its three parts' means.
double cityPeriodMean(const QString& field)
{
    const QList<QStringList> parts = {{"11", "12", "13", "14"}, {"15", "16", "17"}, {"18", "19", "20"}};
    std::vector<double> partMeans;
    for (const QStringList& part : parts) {
        std::vector<double> districts;
        for (const QString& code : part)
            districts.push_back(periodMean(code, field));
        partMeans.push_back(mean(districts));
    }
    return mean(partMeans);
}

class DemoStudyTest : public ::testing::Test {
protected:
    // The configuration is run on a copy; the databases and risk tables are only read.
    void SetUp() override
    {
        for (const QString& name : QDir(kDataDir).entryList({"Demo.*"}, QDir::Files))
            ASSERT_TRUE(QFile::copy(kDataDir + "/" + name, folder.file(name))) << name.toStdString();
        ASSERT_TRUE(QFile::exists(folder.file("Demo.DES"))) << "the demo study was not generated";
    }

    CliResult cli(const QStringList& arguments) const { return runCli(kFormats + arguments, kSystemDir); }

    QString config() const { return folder.file("Demo.DES"); }

    CliResult runSteps(const QStringList& steps) const
    {
        return cli(QStringList{"run", config()} + steps + QStringList{"--risk-dir", kRiskDir, "--save"});
    }

    QMap<QString, double> dump(int block, const char* table) const
    {
        const CliResult result = cli({"dump", config(), "--block", QString::number(block), "--table", table});
        EXPECT_EQ(result.status, 0) << result.err.toStdString();
        return cellsOf(result.out);
    }

    // The concentration block's primary table filled with the yearly means the SQL engine
    // computes from the monthly tables, as its selection would fill it.
    void fillConcentrationsThroughSql()
    {
        QStringList statement;
        for (const QString& district : kDistrictCodes)
            for (const QString& year : kYears) {
                QString line = statement.isEmpty() ? QStringLiteral("SELECT ") : QStringLiteral("UNION ALL SELECT ");
                line += QStringLiteral("'%1', %2").arg(district, year);
                for (const QString& field : kConcentrationFields)
                    line += QStringLiteral(", AVG(%1)").arg(field);
                line += QStringLiteral(" FROM conc%1 WHERE DAT >= '01.01.%2' AND DAT <= '31.12.%2'").arg(district, year);
                statement.append(line);
            }
        const CliResult result = cli(QStringList{"sql", "--db", kDbDir} + statement);
        ASSERT_EQ(result.status, 0) << result.err.toStdString();
        const QStringList rows = result.out.split(u'\n', Qt::SkipEmptyParts).mid(1);
        ASSERT_EQ(rows.size(), kDistrictCodes.size() * kYears.size());

        TTab table;
        readTableFromFileSet(table, ConfigLocation{folder.path(), "Demo"}, 1, TableKind::Rule);
        ASSERT_EQ(table.FDims[0], kConcentrationFields.size());
        for (const QString& row : rows) {
            const QStringList values = row.split(u',');
            const int district = int(kDistrictCodes.indexOf(values[0]));
            const int year = int(kYears.indexOf(values[1]));
            for (int p = 0; p < kConcentrationFields.size(); ++p)
                table.SetCell(at({p, district, year}), values[2 + p].toFloat());
        }
        SaveToFile(table, folder.file("Demo.d1"));
    }

    TempFolder folder;
};

TEST_F(DemoStudyTest, TheGeneratedTablesHoldTheStudy)
{
    EXPECT_EQ(readDbf(kDbDir + "/appeals.dbf").rows.size(), 100000u);
    EXPECT_EQ(readDbf(kDbDir + "/deaths.dbf").rows.size(), 10000u);
    EXPECT_EQ(readDbf(kDbDir + "/districts.dbf").rows.size(), size_t(kDistrictCodes.size()));
    const DbfTable plants = readDbf(kDbDir + "/plants.dbf");
    EXPECT_EQ(readDbf(kDbDir + "/emis.dbf").rows.size(), plants.rows.size() * kConcentrationFields.size());
    // Every month of five years at two posts, every concentration above zero (the dose
    // block's logarithms need it).
    for (const QString& district : kDistrictCodes) {
        const DbfTable conc = readDbf(kDbDir + "/conc" + district + ".dbf");
        EXPECT_EQ(conc.rows.size(), 120u) << district.toStdString();
        for (const QString& field : kConcentrationFields)
            EXPECT_EQ(conc.count([&](const QStringList& row) { return row.at(conc.column(field)).toDouble() <= 0; }), 0u)
                << district.toStdString() << " " << field.toStdString();
    }
    // Every pollutant has its reference dose and dose–response constants, every group its factors.
    const RiskReferences references = RiskReferences::read();
    EXPECT_EQ(references.substances.size(), kConcentrationFields.size());
    for (const QString& key : references.substances.keys()) {
        EXPECT_GT(references.rfd(key), 0) << key.toStdString();
        EXPECT_GT(references.b(key), 0) << key.toStdString();
    }
    for (int group : {1, 2, 3})
        EXPECT_GT(references.lifetime(group), 0);
}

TEST_F(DemoStudyTest, TheGeneratorWritesTheSameFilesEveryTime)
{
    TempFolder data;
    TempFolder system;
    QProcess generator;
    generator.start(QStringLiteral(VEROLA_PROGRAM_DIR "/demo_study"), {data.path(), system.path()});
    ASSERT_TRUE(generator.waitForFinished(60000));
    ASSERT_EQ(generator.exitCode(), 0) << generator.readAllStandardError().toStdString();
    for (const char* name : {"db/appeals.dbf", "db/deaths.dbf", "db/conc15.dbf", "db/emis.dbf", "risk/subs.dbf",
             "Demo.d31", "total.cnn", "Demo.map", "maps/districts.shp", "maps/districts.shx",
             "maps/districts.dbf"})
        EXPECT_EQ(readBytes(data.file(name)), readBytes(kDataDir + "/" + name)) << name;
}

TEST_F(DemoStudyTest, TheDescriptionDescribesEveryPanelKind)
{
    const CliResult result = cli({"describe"});
    ASSERT_EQ(result.status, 0) << result.err.toStdString();
    EXPECT_EQ(result.out, QStringLiteral("Верхнереченск DEMO: PolPanel, ConcPanel, DesPanel, DeathPanel\n"));
}

TEST_F(DemoStudyTest, EachQueryLevelOpensTheRecordsOfItsPosition)
{
    const DbfTable appeals = readDbf(kDbDir + "/appeals.dbf");
    const DbfTable deaths = readDbf(kDbDir + "/deaths.dbf");
    const DbfTable plants = readDbf(kDbDir + "/plants.dbf");
    const DbfTable emissions = readDbf(kDbDir + "/emis.dbf");
    auto inDistrict = [](const DbfTable& table, const QString& code) {
        return table.count([&](const QStringList& row) { return row.at(table.column("REG")) == code; });
    };
    const QString refinery = plants.at(plants.rowWhere({{"REG", "11"}, {"IND", "NP"}}), "ID");
    const struct {
        const char* panel;
        int level;
        QStringList codes;
        size_t expected;
    } cases[] = {
        {"DesPanel", 0, {"0=11"}, inDistrict(appeals, "11")},
        {"DesPanel", 0, {"0=19"}, inDistrict(appeals, "19")},
        {"DeathPanel", 0, {"0=15"}, inDistrict(deaths, "15")},
        {"PolPanel", 1, {"0=11", "1=NP"},
            plants.count([&](const QStringList& r) { return r.at(1) == "11" && r.at(2) == "NP"; })},
        // The emissions of the plant the level above stands on (the first refinery of district 11).
        {"PolPanel", 2, {"0=11", "1=NP"},
            emissions.count([&](const QStringList& r) { return r.at(emissions.column("PLANT")) == refinery; })},
        {"ConcPanel", 2, {"0=13", "1=BENZENE", "2=01.01.2018-31.12.2018"}, 120},
    };
    for (const auto& c : cases) {
        QStringList arguments = {"query", "--model", "DEMO", "--panel", c.panel, "--level", QString::number(c.level),
            "--open"};
        for (const QString& code : c.codes)
            arguments += {"--code", code};
        const CliResult result = cli(arguments);
        SCOPED_TRACE(QStringLiteral("%1 level %2 %3").arg(c.panel).arg(c.level).arg(c.codes.join(' ')).toStdString());
        ASSERT_EQ(result.status, 0) << result.err.toStdString();
        EXPECT_GT(c.expected, 0u);
        EXPECT_TRUE(result.out.endsWith(QStringLiteral("Записей: %1\n").arg(c.expected))) << result.out.toStdString();
    }
}

TEST_F(DemoStudyTest, DoseAndRiskFollowFromTheMonthlyConcentrations)
{
    fillConcentrationsThroughSql();
    const CliResult result = runSteps({"extr:1", "switch:1=2", "dose", "est:2"});
    ASSERT_EQ(result.status, 0) << result.err.toStdString();

    const RiskReferences ref = RiskReferences::read();
    const QMap<QString, double> calc = dump(2, "calc");
    // Benzene in the refinery district in 2018, adults: lifetime dose and cancer risk.
    const double benzene = yearlyMean("11", "BENZENE", 2018);
    expectNear(calc, "Бензол,Заводской,2018,Взрослые,LADI", benzene * ref.lifetime(1));
    expectNear(calc, "Бензол,Заводской,2018,Взрослые,ILCR", benzene * ref.lifetime(1) * ref.sf("BENZENE"));
    // Hydrogen sulfide over the whole city and period, children: the hazard index.
    const double sulfide = cityPeriodMean("H2S");
    const double sulfideHi = sulfide * ref.chronic(2) / ref.rfd("HYDROGEN SULFIDE");
    expectNear(calc, "Сероводород,Верхнереченск,2018-2022,Дети,HI", sulfideHi);
    // Toluene in the centre in 2020, workers: the probit of the dose–response model.
    const double toluene = yearlyMean("15", "TOLUENE", 2020);
    expectNear(calc, "Толуол,Центральный,2020,Работающие,Пробит",
        ref.a("TOLUENE") + ref.b("TOLUENE") * std::log10(toluene));
    // Toluene is no carcinogen: no slope factor, no cancer risk.
    EXPECT_FALSE(calc.contains("Толуол,Центральный,2020,Работающие,ILCR"));

    // The summary adds the hazard indices of all pollutants.
    double total = 0;
    for (const QString& field : kConcentrationFields) {
        const QString key = field == "H2S" ? "HYDROGEN SULFIDE" : field == "ACETALD" ? "ACETALDEHYDE" : field;
        total += yearlyMean("17", field, 2021) * ref.chronic(1) / ref.rfd(key);
    }
    expectNear(dump(2, "est"), "Все вещества,Речной,2021,Взрослые,HI", total);
}

// The whole chain through "verola-cli run", checked against the generated sources.
TEST_F(DemoStudyTest, TheFullChainGivesTheNumbersOfTheSources)
{
    const QStringList chain = {"select:0", "extr:0", "select:1", "extr:1", "transfer:0.extr>1.calc", "est:1",
        "switch:1=2", "dose", "est:2", "select:3", "extr:3", "select:4", "extr:4"};
    const CliResult result = runSteps(chain);
    ASSERT_EQ(result.status, 0) << result.err.toStdString();

    // Emissions: the refinery's benzene in its own district and industry, and the city total.
    const DbfTable emissions = readDbf(kDbDir + "/emis.dbf");
    double benzeneTotal = 0;
    for (size_t i = 0; i < emissions.rows.size(); ++i)
        if (emissions.at(i, "SUBST") == "BENZENE")
            benzeneTotal += emissions.at(i, "AMOUNT").toDouble();
    const DbfTable plants = readDbf(kDbDir + "/plants.dbf");
    const QString refinery = plants.at(plants.rowWhere({{"REG", "11"}, {"IND", "NP"}}), "ID");
    const size_t refineryBenzene = emissions.rowWhere({{"PLANT", refinery}, {"SUBST", "BENZENE"}});
    expectNear(dump(0, "rule"), "Бензол,Заводской,Нефтепереработка", emissions.at(refineryBenzene, "AMOUNT").toDouble());
    expectNear(dump(0, "extr"), "Бензол,Верхнереченск,Все отрасли", benzeneTotal);

    // Concentrations: a yearly mean of the monthly tables; emissions handed over beside them.
    expectNear(dump(1, "rule"), "Ксилолы,Промышленный,2019", yearlyMean("13", "XYLENES", 2019));
    const QMap<QString, double> handedOver = dump(1, "calc");
    expectNear(handedOver, "Бензол,Верхнереченск", benzeneTotal);

    // Morbidity: appeals counted by district, year, sex and age (in years of the calendar), diagnosis.
    const DbfTable appeals = readDbf(kDbDir + "/appeals.dbf");
    const size_t asthma = appeals.count([&](const QStringList& r) {
        const int age = yearOf(r.at(1)) - yearOf(r.at(2));
        return r.at(0) == "11" && yearOf(r.at(1)) == 2019 && r.at(3) == "1" && age >= 15 && age <= 39 && r.at(4) == "J45";
    });
    EXPECT_GT(asthma, 0u);
    expectNear(dump(3, "rule"), "Заводской,2019,М 15-39,Астма", double(asthma));
    const size_t men = appeals.count([](const QStringList& r) { return r.at(3) == "1"; });
    expectNear(dump(3, "extr"), "Верхнереченск,2018-2022,Мужчины,Все обращения", double(men));

    // Mortality per 1000 residents of the district.
    const DbfTable deaths = readDbf(kDbDir + "/deaths.dbf");
    const size_t strokes = deaths.count([&](const QStringList& r) {
        const int age = yearOf(r.at(1)) - yearOf(r.at(2));
        return r.at(0) == "15" && yearOf(r.at(1)) == 2020 && r.at(3) == "2" && age >= 60 && r.at(4) == "I63";
    });
    EXPECT_GT(strokes, 0u);
    const DbfTable districts = readDbf(kDbDir + "/districts.dbf");
    const double centre = districts.at(districts.rowWhere({{"CODE", "15"}}), "POP").toDouble() / 1000;
    expectNear(dump(4, "rule"), "Центральный,2020,Ж 60+,Инсульт", double(strokes) / centre);

    // Dose and risk from the selected concentrations.
    const RiskReferences ref = RiskReferences::read();
    const double benzene = yearlyMean("12", "BENZENE", 2022);
    expectNear(dump(2, "calc"), "Бензол,Нефтяников,2022,Дети,CADI", benzene * ref.chronic(2));
    expectNear(dump(2, "calc"), "Бензол,Нефтяников,2022,Взрослые,ILCR", benzene * ref.lifetime(1) * ref.sf("BENZENE"));
}

} // namespace
