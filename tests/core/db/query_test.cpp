// Local SQL: the statements the selection, the working files and the interval window issue.
#include "core/db/dberrors.h"
#include "core/db/session.h"
#include "core/db/internal/sqlcache.h"
#include "core/db/internal/sqlvtab.h"
#include "core/db/tquery.h"
#include "dbfixtures.h"
#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <QThread>
#include <functional>
#include <gtest/gtest.h>
#include <new>
#include <sqlite3.h>
#include <stdexcept>

using namespace verola;
using namespace verola::test;

namespace {

class QueryTest : public ::testing::Test {
protected:
    TempFolder folder;
    TSession session{FormatSettings::russian(), QStringLiteral("Aliases.ini")};

    void SetUp() override
    {
        writeDbf(folder.file(QStringLiteral("emis.dbf")),
            {{"REG", 'C', 4}, {"YEAR_F", 'N', 4, 0}, {"SUBST", 'C', 20}, {"VAL", 'N', 10, 3}, {"DATE_F", 'D', 8}},
            {{QStringLiteral("77"), QStringLiteral("1989"), QStringLiteral("Пыль"), QStringLiteral("1.5"), QStringLiteral("19891231")},
                {QStringLiteral("77"), QStringLiteral("1990"), QStringLiteral("Пыль"), QStringLiteral("2.25"), QStringLiteral("19900101")},
                {QStringLiteral("77"), QStringLiteral("1991"), QStringLiteral("Сажа"), QStringLiteral("3"), QStringLiteral("19910615")},
                {QStringLiteral("50"), QStringLiteral("1990"), QStringLiteral("пыль"), QStringLiteral("4"), QStringLiteral("19900301")},
                {QStringLiteral("50"), QStringLiteral("1992"), QStringLiteral("Сажа"), QString(), QString()}});
        writeDbf(folder.file(QStringLiteral("regions.dbf")), {{"REG", 'C', 4}, {"TITLE", 'C', 20}},
            {{QStringLiteral("77"), QStringLiteral("Москва")}, {QStringLiteral("50"), QStringLiteral("Область")}});
        writeDbf(folder.file(QStringLiteral("condrisk.dbf")), {{"NAME", 'C', 30}, {"ANOV", 'N', 10, 4}},
            {{QStringLiteral("ДИОКСИД АЗОТА"), QStringLiteral("0.5")}, {QStringLiteral("*"), QStringLiteral("9")}});
    }

    // Runs the statement and gives its rows as "v1|v2|…".
    QStringList rows(const QStringList& sql)
    {
        TQuery query(session);
        query.SetDatabaseName(folder.path());
        query.SQL() = sql;
        query.Open();
        QStringList result;
        for (query.First(); !query.Eof(); query.Next()) {
            QStringList values;
            for (int f = 0; f < query.FieldCount(); ++f)
                values.append(query.Fields(f).AsString());
            result.append(values.join(u'|'));
        }
        EXPECT_EQ(result.size(), query.RecordCount());
        return result;
    }
};

TEST_F(QueryTest, StatementsGiveTheirRows)
{
    const QString path = QDir::toNativeSeparators(folder.file(QStringLiteral("condrisk.dbf")));
    struct Case {
        QStringList sql;
        QStringList expected;
    };
    const std::vector<Case> cases = {
        {{QStringLiteral("SELECT * FROM emis"), QStringLiteral(" WHERE YEAR_F = 1990")},
            {QStringLiteral("77|1990|Пыль|2,25|01.01.1990"), QStringLiteral("50|1990|пыль|4|01.03.1990")}},
        {{QStringLiteral("SELECT REG, VAL FROM emis"), QStringLiteral(" WHERE YEAR_F >= 1990 and YEAR_F <= 1991"),
             QStringLiteral("AND REG = '77'")},
            {QStringLiteral("77|2,25"), QStringLiteral("77|3")}},
        {{QStringLiteral("SELECT VAL FROM emis.dbf WHERE SUBST = 'Пыль'")}, {QStringLiteral("1,5"), QStringLiteral("2,25")}},
        {{QStringLiteral("SELECT YEAR_F FROM emis WHERE REG = '50' OR YEAR_F <= 1989")},
            {QStringLiteral("1989"), QStringLiteral("1990"), QStringLiteral("1992")}},
        {{QStringLiteral("SELECT YEAR_F FROM emis WHERE DATE_F >= '01.01.1990'"), QStringLiteral("AND DATE_F <= '31.12.1990'")},
            {QStringLiteral("1990"), QStringLiteral("1990")}},
        {{QStringLiteral("SELECT YEAR_F FROM emis WHERE '15.06.1991' = DATE_F")}, {QStringLiteral("1991")}},
        {{QStringLiteral("SELECT YEAR_F FROM emis WHERE DATE_F BETWEEN '01.01.1990' AND '31.12.1990'")},
            {QStringLiteral("1990"), QStringLiteral("1990")}},
        {{QStringLiteral("SELECT YEAR_F FROM emis e WHERE e.DATE_F not between '01.01.1990' and '31.12.1990'")},
            {QStringLiteral("1989"), QStringLiteral("1991")}},
        {{QStringLiteral("SELECT YEAR_F FROM emis WHERE DATE_F IN ('01.01.1990', '15.06.1991')")},
            {QStringLiteral("1990"), QStringLiteral("1991")}},
        {{QStringLiteral("SELECT YEAR_F FROM emis WHERE DATE_F NOT IN ('31.12.1989') AND REG = '77'")},
            {QStringLiteral("1990"), QStringLiteral("1991")}},
        {{QStringLiteral("SELECT * FROM \"%1\"").arg(path), QStringLiteral("Where NAME=\"ДИОКСИД АЗОТА\""),
             QStringLiteral("OR NAME=\"*\"")},
            {QStringLiteral("ДИОКСИД АЗОТА|0,5"), QStringLiteral("*|9")}},
        {{QStringLiteral("SELECT * FROM \"%1\"").arg(path), QStringLiteral("Where NAME=\"НЕТ\""), QStringLiteral("OR NAME=\"*\"")},
            {QStringLiteral("*|9")}},
        {{QStringLiteral("SELECT emis.YEAR_F, regions.TITLE FROM emis, regions"),
             QStringLiteral("WHERE emis.REG = regions.REG AND emis.SUBST = 'Сажа'")},
            {QStringLiteral("1991|Москва"), QStringLiteral("1992|Область")}},
        {{QStringLiteral("SELECT e.YEAR_F FROM emis e, regions AS r WHERE e.REG = r.REG AND r.TITLE = \"Область\"")},
            {QStringLiteral("1990"), QStringLiteral("1992")}},
        {{QStringLiteral("SELECT * FROM emis WHERE SUBST = 'ПЫЛЬ'")}, {}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(rows(c.sql), c.expected) << c.sql.join(u'\n').toStdString();
}

// A reference value is looked up by its key, with the "*" record as the fallback,
// in a three-line statement on the table's full path.
TEST_F(QueryTest, KeyOrFallbackLookupGivesEachRecordOnce)
{
    const QString path = QDir::toNativeSeparators(folder.file(QStringLiteral("refs.dbf")));
    writeDbf(path, {{"KEY", 'C', 12}, {"VAL", 'N', 6, 1}},
        {{QStringLiteral("САЖА"), QStringLiteral("1")}, {QStringLiteral("*"), QStringLiteral("2")},
            {QStringLiteral("ПЫЛЬ"), QStringLiteral("3")}});
    auto lookup = [&](const QString& select, const QString& field, const QString& key) {
        return QStringList{select + QStringLiteral(" FROM \"%1\"").arg(path),
            QStringLiteral("Where %1=\"%2\"").arg(field, key), QStringLiteral("OR %1=\"*\"").arg(field)};
    };
    struct Case {
        QStringList sql;
        QStringList expected;
    };
    const std::vector<Case> cases = {
        {lookup(QStringLiteral("SELECT *"), QStringLiteral("KEY"), QStringLiteral("ПЫЛЬ")),
            {QStringLiteral("*|2"), QStringLiteral("ПЫЛЬ|3")}},
        // the "*" record answers both sides of the OR
        {lookup(QStringLiteral("SELECT *"), QStringLiteral("KEY"), QStringLiteral("*")), {QStringLiteral("*|2")}},
        {lookup(QStringLiteral("SELECT *"), QStringLiteral("KEY"), QStringLiteral("УГОЛЬ")), {QStringLiteral("*|2")}},
        // double-quoted names of fields are the fields, the other double-quoted texts are values
        {lookup(QStringLiteral("SELECT \"VAL\""), QStringLiteral("\"KEY\""), QStringLiteral("САЖА")),
            {QStringLiteral("1"), QStringLiteral("2")}},
        {lookup(QStringLiteral("SELECT \"VAL\", KEY"), QStringLiteral("\"key\""), QStringLiteral("*")),
            {QStringLiteral("2|*")}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(rows(c.sql), c.expected) << c.sql.join(u'\n').toStdString();
}

TEST_F(QueryTest, FieldsOfAResultKeepTheirTypes)
{
    TQuery query(session);
    query.SetDatabaseName(folder.path());
    query.SQL() << QStringLiteral("SELECT * FROM emis WHERE YEAR_F = 1991");
    query.Open();
    EXPECT_EQ(query.FieldNames(),
        (QStringList{QStringLiteral("REG"), QStringLiteral("YEAR_F"), QStringLiteral("SUBST"), QStringLiteral("VAL"), QStringLiteral("DATE_F")}));
    EXPECT_EQ(query.FieldByName(QStringLiteral("DATE_F")).DataType(), TFieldType::ftDate);
    EXPECT_DOUBLE_EQ(query.FieldByName(QStringLiteral("DATE_F")).AsFloat(), 33404.0); // 15 June 1991
    EXPECT_EQ(query.FieldByName(QStringLiteral("year_f")).AsInteger(), 1991);
    EXPECT_DOUBLE_EQ(query.FieldByName(QStringLiteral("VAL")).AsFloat(), 3.0);
    EXPECT_EQ(query.FieldByName(QStringLiteral("REG")).AsString(), QStringLiteral("77"));
    EXPECT_THROW(query.FieldByName(QStringLiteral("NOPE")), EDatabaseError);
}

// "SELECT *" over one table reads the records in place; naming the fields copies the rows.
// Both must read alike, field by field, blanks included.
TEST_F(QueryTest, AWholeRecordReadsAsTheRowOfItsFieldsDoes)
{
    writeDbf(folder.file(QStringLiteral("mixed.dbf")),
        {{"NAME", 'C', 10}, {"COUNT_F", 'N', 5, 0}, {"AMOUNT", 'N', 12, 4}, {"DAY_F", 'D', 8}, {"FLAG", 'L', 1}},
        {{QStringLiteral("  Пыль"), QStringLiteral("12"), QStringLiteral("0.1250"), QStringLiteral("19900101"), QStringLiteral("T")},
            {QString(), QString(), QString(), QString(), QString()},
            {QStringLiteral("12.5"), QStringLiteral("-3"), QStringLiteral("-0.0000"), QStringLiteral("20001231"), QStringLiteral("F")},
            {QStringLiteral("x"), QStringLiteral("0"), QStringLiteral("123456.7891"), QStringLiteral("19900101"), QStringLiteral("?")}});
    const QString fields = QStringLiteral("NAME, COUNT_F, AMOUNT, DAY_F, FLAG");
    for (const QString& where : {QString(), QStringLiteral(" WHERE DAY_F = '01.01.1990'"), QStringLiteral(" WHERE NAME <> 'x'")}) {
        SCOPED_TRACE(where.toStdString());
        TQuery whole(session), named(session);
        for (TQuery* query : {&whole, &named}) {
            query->SetDatabaseName(folder.path());
            query->SQL() << QStringLiteral("SELECT %1 FROM mixed%2").arg(query == &whole ? QStringLiteral("*") : fields, where);
            query->Open();
        }
        ASSERT_EQ(whole.RecordCount(), named.RecordCount());
        ASSERT_EQ(whole.FieldNames(), named.FieldNames());
        for (whole.First(), named.First(); !named.Eof(); whole.Next(), named.Next()) {
            for (int f = 0; f < named.FieldCount(); ++f) {
                SCOPED_TRACE("record " + std::to_string(named.RecNo()) + " field " + std::to_string(f));
                const TField& a = whole.Fields(f);
                const TField& b = named.Fields(f);
                EXPECT_EQ(a.DataType(), b.DataType());
                EXPECT_EQ(a.IsNull(), b.IsNull());
                EXPECT_EQ(a.AsString(), b.AsString());
                auto number = [](const TField& field) {
                    try {
                        return QString::number(field.AsFloat(), 'g', 17);
                    } catch (const EPlatformError&) {
                        return QStringLiteral("error");
                    }
                };
                EXPECT_EQ(number(a), number(b));
            }
        }
    }
}

TEST_F(QueryTest, AnOpenResultKeepsTheRecordsItFoundWhenTheFileChanges)
{
    TQuery query(session);
    query.SetDatabaseName(folder.path());
    query.SQL() << QStringLiteral("SELECT * FROM regions WHERE REG = '77'");
    query.Open();
    QThread::msleep(20);
    writeDbf(folder.file(QStringLiteral("regions.dbf")), {{"REG", 'C', 4}, {"TITLE", 'C', 20}},
        {{QStringLiteral("78"), QStringLiteral("Город")}, {QStringLiteral("77"), QStringLiteral("Столица")}});
    EXPECT_EQ(rows({QStringLiteral("SELECT * FROM regions WHERE REG = '77'")}), QStringList{QStringLiteral("77|Столица")});
    ASSERT_EQ(query.RecordCount(), 1);
    EXPECT_EQ(query.FieldByName(QStringLiteral("TITLE")).AsString(), QStringLiteral("Москва"));
}

// Equalities with literals are checked by the table's index; whether its keys are few (each
// hash known to stand for one key) or many (each record checked), the rows are those SQLite
// finds comparing the values itself.
TEST_F(QueryTest, KeysLookedUpByTheIndexGiveTheRowsOfTheComparison)
{
    std::vector<QStringList> rows;
    for (int i = 0; i <= 5000; ++i) // more codes than an index keeps; K7 twice
        rows.push_back({i == 5000 ? QStringLiteral("K7") : QStringLiteral("K%1").arg(i), QString::number(i % 7),
            QString::number(i % 50)});
    writeDbf(folder.file(QStringLiteral("codes.dbf")), {{"CODE", 'C', 8}, {"NUM", 'N', 3, 0}, {"DIG", 'C', 3}}, rows);
    // Rows whose CODE, NUM and DIG texts pass the test.
    using Test = std::function<bool(const QString& code, const QString& num, const QString& dig)>;
    struct Case {
        const char* where;
        Test test;
    };
    for (const Case& c : std::vector<Case>{
             {"CODE = 'K7'", [](auto& code, auto&, auto&) { return code == "K7"; }},
             {"CODE = 'K4999'", [](auto& code, auto&, auto&) { return code == "K4999"; }},
             {"CODE = 'K5000'", [](auto& code, auto&, auto&) { return code == "K5000"; }},
             {"CODE = 'k7' COLLATE NOCASE", [](auto& code, auto&, auto&) { return code == "K7"; }},
             {"NUM = 3", [](auto&, auto& num, auto&) { return num == "3"; }},
             {"NUM = 3.0", [](auto&, auto& num, auto&) { return num == "3"; }},
             {"NUM = '3'", [](auto&, auto& num, auto&) { return num == "3"; }},
             {"NUM = 3.5", [](auto&, auto&, auto&) { return false; }},
             {"NUM = -0.0", [](auto&, auto& num, auto&) { return num == "0"; }}, // minus zero equals zero
             {"NUM = '-0.0'", [](auto&, auto& num, auto&) { return num == "0"; }},
             {"DIG = '7'", [](auto&, auto&, auto& dig) { return dig == "7"; }},
             {"DIG = 7", [](auto&, auto&, auto& dig) { return dig == "7"; }}, // the number compares as its text
             {"DIG = '7' AND NUM = 1", [](auto&, auto& num, auto& dig) { return dig == "7" && num == "1"; }},
             {"CODE = 'K7' AND DIG = '7'", [](auto& code, auto&, auto& dig) { return code == "K7" && dig == "7"; }},
         }) {
        SCOPED_TRACE(c.where);
        const long expected = std::count_if(rows.begin(), rows.end(),
            [&](const QStringList& row) { return c.test(row.at(0), row.at(1), row.at(2)); });
        QStringList sql{QStringLiteral("SELECT * FROM codes WHERE %1").arg(QLatin1String(c.where))};
        EXPECT_EQ(this->rows(sql).size(), expected);
        sql = {QStringLiteral("SELECT CODE, NUM FROM codes WHERE %1").arg(QLatin1String(c.where))};
        EXPECT_EQ(this->rows(sql).size(), expected);
    }
}

TEST_F(QueryTest, BadStatementsAndMissingTablesRaiseWithTheStatement)
{
    const std::vector<QStringList> bad = {
        {QStringLiteral("SELECT * FROM nosuch")},
        {QStringLiteral("SELECT * FROM emis WHERE")},
        {QStringLiteral("SELEKT * FROM emis")},
        {QStringLiteral("SELECT * FROM emis WHERE REG = 'open")},
        {QStringLiteral("SELECT NOFIELD FROM emis")},
        {QStringLiteral("SELECT * FROM pol:Region")},
        {QStringLiteral("SELECT * FROM emis WHERE DATE_F >= 'not a date'")},
        {QStringLiteral("SELECT * FROM emis WHERE DATE_F BETWEEN '01.01.1990' AND 'later'")},
        {QStringLiteral("SELECT * FROM emis WHERE DATE_F IN ('01.01.1990', 'soon')")},
        {QStringLiteral("SELECT * FROM emis; DELETE FROM emis")},
        {QStringLiteral("SELECT * FROM emis WHERE REG = '77';"), QStringLiteral("SELECT * FROM regions")},
        {QStringLiteral("DELETE FROM emis")},
        {QString()},
    };
    for (const QStringList& sql : bad) {
        TQuery query(session);
        query.SetDatabaseName(folder.path());
        query.SQL() = sql;
        try {
            query.Open();
            ADD_FAILURE() << "opened: " << sql.join(u' ').toStdString();
        } catch (const EDatabaseError& error) {
            EXPECT_TRUE(error.message().contains(sql.join(u' ').trimmed())) << error.message().toStdString();
        }
        EXPECT_FALSE(query.Active());
    }
    EXPECT_EQ(rows({QStringLiteral("SELECT REG FROM regions WHERE REG = '50'")}), QStringList{QStringLiteral("50")});
}

// The engine orders a statement by the files; a fault of the statement is told without
// the order it did not write.
TEST_F(QueryTest, SyntaxErrorsSpeakOfTheUsersStatement)
{
    for (const QString& sql : {QStringLiteral("SELECT * FROM emis WHERE"), QStringLiteral("SELECT * FROM emis WHERE REG ="),
             QStringLiteral("SELECT * FROM emis WHERE (REG = '77'"), QStringLiteral("SELECT REG, FROM emis")}) {
        TQuery query(session);
        query.SetDatabaseName(folder.path());
        query.SQL() << sql;
        try {
            query.Open();
            ADD_FAILURE() << "opened: " << sql.toStdString();
        } catch (const EDatabaseError& error) {
            EXPECT_FALSE(error.message().contains(QStringLiteral("ORDER"), Qt::CaseInsensitive))
                << error.message().toStdString();
            EXPECT_FALSE(error.message().contains(QStringLiteral("rowid"))) << error.message().toStdString();
        }
    }
}

TEST_F(QueryTest, DamagedTablesRaiseWithTheFileAndTheStatement)
{
    QByteArray bytes = readBytes(folder.file(QStringLiteral("regions.dbf")));
    bytes[4] = 90; // more records than the file holds
    writeBytes(folder.file(QStringLiteral("broken.dbf")), bytes);
    writeBytes(folder.file(QStringLiteral("ragged.txt")), "A;B\n1;2\n3\n");
    for (const QString& name : {QStringLiteral("broken"), QStringLiteral("ragged")}) {
        const QString sql = QStringLiteral("SELECT * FROM emis, %1 WHERE emis.REG = '77'").arg(name);
        TQuery query(session);
        query.SetDatabaseName(folder.path());
        query.SQL() << sql;
        try {
            query.Open();
            ADD_FAILURE() << "opened " << name.toStdString();
        } catch (const EDatabaseError& error) {
            EXPECT_TRUE(error.message().contains(sql)) << error.message().toStdString();
            EXPECT_TRUE(error.message().contains(folder.file(name))) << error.message().toStdString();
        }
    }
    EXPECT_EQ(rows({QStringLiteral("SELECT REG FROM emis WHERE YEAR_F = 1992")}), QStringList{QStringLiteral("50")});
}

// What the engine refuses is told in Russian with the statement: a table SQLite cannot show (more
// fields than a statement takes), a field or a function that is not there, a statement cut short.
TEST_F(QueryTest, TheEnginesRefusalsAreToldWithTheirReason)
{
    QByteArray header;
    for (int n = 0; n < 2100; ++n)
        header += (n ? ";F" : "F") + QByteArray::number(n);
    writeBytes(folder.file(QStringLiteral("wide.txt")), header + "\n");
    const std::vector<std::pair<QString, QString>> cases = {
        {QStringLiteral("SELECT * FROM wide"), QStringLiteral("Не удалось открыть таблицу \"%1\" для SQL-запроса: "
                                                              "полей в ней 2100, а запрос принимает не больше 2000")
                                                   .arg(folder.file(QStringLiteral("wide.txt")))},
        {QStringLiteral("SELECT NOFIELD FROM emis"), QStringLiteral("нет поля NOFIELD")},
        {QStringLiteral("SELECT * FROM emis WHERE (REG = '77'"), QStringLiteral("запрос оборван")},
        {QStringLiteral("SELECT emis.REG, x.TITLE FROM emis"), QStringLiteral("нет поля x.TITLE")},
        {QStringLiteral("SELECT NOSUCH(REG) FROM emis"), QStringLiteral("нет функции NOSUCH")},
    };
    for (const auto& [sql, reason] : cases) {
        TQuery query(session);
        query.SetDatabaseName(folder.path());
        query.SQL() << sql;
        try {
            query.Open();
            ADD_FAILURE() << "opened: " << sql.toStdString();
        } catch (const EDatabaseError& error) {
            EXPECT_EQ(error.message(), reason + QStringLiteral(". SQL-запрос:\n") + sql);
        }
    }
}

TEST_F(QueryTest, ChangedFilesAreReadAgain)
{
    EXPECT_EQ(rows({QStringLiteral("SELECT TITLE FROM regions WHERE REG = '77'")}), QStringList{QStringLiteral("Москва")});
    QThread::msleep(20);
    writeDbf(folder.file(QStringLiteral("regions.dbf")), {{"REG", 'C', 4}, {"TITLE", 'C', 20}},
        {{QStringLiteral("77"), QStringLiteral("Столица")}, {QStringLiteral("78"), QStringLiteral("Город")},
            {QStringLiteral("79"), QStringLiteral("Край")}});
    EXPECT_EQ(rows({QStringLiteral("SELECT TITLE FROM regions WHERE REG = '77'")}), QStringList{QStringLiteral("Столица")});
    EXPECT_EQ(session.sqlCache().loadedTableCount(), 1);
}

TEST_F(QueryTest, TablesOfOtherKindsTakePartInStatements)
{
    writeBytes(folder.file(QStringLiteral("codes.txt")), "REG;NAME\r\n77;Moscow\r\n50;Region\r\n");
    writeParadox(folder.file(QStringLiteral("pop.db")), {{"REG", 'A', 4}, {"PEOPLE", 'I'}},
        {{QStringLiteral("77"), QStringLiteral("12000")}, {QStringLiteral("50"), QStringLiteral("7000")}});
    EXPECT_EQ(rows({QStringLiteral("SELECT codes.NAME, pop.PEOPLE FROM codes, pop WHERE codes.REG = pop.REG"),
                  QStringLiteral("AND pop.PEOPLE >= 10000")}),
        QStringList{QStringLiteral("Moscow|12000")});
}

// A text field compared with a number field compares as SQLite converts, also when
// the text field's table is the one looked up by its index (a large one).
TEST_F(QueryTest, TextFieldsJoinNumberFields)
{
    std::vector<QStringList> codes;
    for (int i = 0; i < 200; ++i)
        codes.push_back({QString::number(i), QStringLiteral("n%1").arg(i)});
    writeDbf(folder.file(QStringLiteral("codes.dbf")), {{"CODE", 'C', 6}, {"NAME", 'C', 10}}, codes);
    writeDbf(folder.file(QStringLiteral("counts.dbf")), {{"NUM", 'N', 4, 0}, {"QTY", 'N', 6, 0}},
        {{QStringLiteral("12"), QStringLiteral("120")}, {QStringLiteral("5"), QStringLiteral("50")}});
    const QStringList expected = {QStringLiteral("n5|50"), QStringLiteral("n12|120")};
    for (const QString& from : {QStringLiteral("codes c, counts n"), QStringLiteral("counts n, codes c")}) {
        const QString where = QStringLiteral(" WHERE c.CODE = n.NUM ORDER BY n.NUM");
        EXPECT_EQ(rows({QStringLiteral("SELECT c.NAME, n.QTY FROM ") + from + where}), expected) << from.toStdString();
    }
    EXPECT_EQ(rows({QStringLiteral("SELECT NAME FROM codes WHERE CODE = 5")}), QStringList{QStringLiteral("n5")});
}

// Subqueries have tables and ordering words of their own; the outer statement keeps
// the order of its files even when the plan reads the small table first.
TEST_F(QueryTest, SubqueriesKeepTheOuterOrderOfTheFiles)
{
    std::vector<QStringList> readings;
    for (int i = 0; i < 200; ++i)
        readings.push_back({i % 2 ? QStringLiteral("77") : QStringLiteral("50"), QString::number(199 - i)});
    writeDbf(folder.file(QStringLiteral("readings.dbf")), {{"REG", 'C', 4}, {"N", 'N', 4, 0}}, readings);
    writeDbf(folder.file(QStringLiteral("towns.dbf")), {{"REG", 'C', 4}, {"TOWN", 'C', 20}},
        {{QStringLiteral("50"), QStringLiteral("Химки")}, {QStringLiteral("77"), QStringLiteral("Москва")}});
    const QString join = QStringLiteral("SELECT r.N FROM readings r, towns t WHERE r.REG = t.REG AND ");
    const QStringList fileOrder = {QStringLiteral("5"), QStringLiteral("4"), QStringLiteral("3"), QStringLiteral("2"),
        QStringLiteral("1"), QStringLiteral("0")};
    struct Case {
        QString sql;
        QStringList expected;
    };
    const std::vector<Case> cases = {
        {QStringLiteral("SELECT YEAR_F FROM emis WHERE REG IN (SELECT REG FROM regions WHERE TITLE = 'Москва')"),
            {QStringLiteral("1989"), QStringLiteral("1990"), QStringLiteral("1991")}},
        {join + QStringLiteral("r.N IN (SELECT N FROM readings ORDER BY N LIMIT 6)"), fileOrder},
        {join + QStringLiteral("r.N IN (SELECT MIN(N) FROM readings GROUP BY N HAVING N < 6)"), fileOrder},
        {join + QStringLiteral("r.N < 6 AND r.REG IN (SELECT REG FROM regions UNION SELECT REG FROM towns)"), fileOrder},
        {join + QStringLiteral("r.N < 6 ORDER BY t.TOWN, r.N"),
            {QStringLiteral("0"), QStringLiteral("2"), QStringLiteral("4"), QStringLiteral("1"), QStringLiteral("3"),
                QStringLiteral("5")}},
    };
    for (const Case& c : cases) {
        QStringList result;
        EXPECT_NO_THROW(result = rows({c.sql})) << c.sql.toStdString();
        EXPECT_EQ(result, c.expected) << c.sql.toStdString();
    }
}

// Records that fail to read in ways other than a database error.
class FailingRecords : public RecordSource {
public:
    explicit FailingRecords(std::function<void()> fail) : m_fail(std::move(fail))
    {
        m_defs.Add(QStringLiteral("A"), TFieldType::ftString, 4);
    }
    QString origin() const override { return QStringLiteral("failing"); }
    const TFieldDefs& fieldDefs() const override { return m_defs; }
    int recordCount() const override { return 3; }
    void readRecord(int) override { m_fail(); }
    bool isNull(int) const override { return false; }
    double number(int) const override { return 0; }
    QString text(int) const override { return QStringLiteral("a"); }

private:
    std::function<void()> m_fail;
    TFieldDefs m_defs;
};

// Whatever a table throws, SQLite gets an error code back: nothing unwinds through it.
TEST(DriverTableModule, FailuresOfATableBecomeSqlErrors)
{
    struct Case {
        const char* name;
        std::function<void()> fail;
        int code;
        QString message;
    };
    const std::vector<Case> cases = {
        {"database error", [] { throw EDatabaseError(QStringLiteral("record 1 unreadable")); }, SQLITE_ERROR,
            QStringLiteral("record 1 unreadable")},
        {"no memory", [] { throw std::bad_alloc(); }, SQLITE_NOMEM, QString()},
        {"standard exception", [] { throw std::runtime_error("disk gone"); }, SQLITE_ERROR, QStringLiteral("disk gone")},
        {"anything else", [] { throw 42; }, SQLITE_ERROR, QString()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(":memory:", &db), SQLITE_OK);
        DriverTableRegistry registry;
        auto data = std::make_shared<DriverTableData>();
        data->records = std::make_unique<FailingRecords>(c.fail);
        data->textual = {true};
        registry.insert(QStringLiteral("t"), data);
        registerDriverTableModule(db, &registry);
        ASSERT_EQ(sqlite3_exec(db, "CREATE VIRTUAL TABLE t USING verola_table(t)", nullptr, nullptr, nullptr), SQLITE_OK);
        for (const char* sql : {"SELECT A FROM t", "SELECT A FROM t WHERE A = 'a'"}) {
            sqlite3_stmt* statement = nullptr;
            ASSERT_EQ(sqlite3_prepare_v2(db, sql, -1, &statement, nullptr), SQLITE_OK);
            int rc = SQLITE_OK;
            EXPECT_NO_THROW(rc = sqlite3_step(statement)) << sql;
            EXPECT_EQ(rc, c.code) << sql;
            if (!c.message.isEmpty()) {
                EXPECT_TRUE(QString::fromUtf8(sqlite3_errmsg(db)).contains(c.message)) << sqlite3_errmsg(db);
            }
            sqlite3_finalize(statement);
        }
        sqlite3_close(db);
    }
}

// An SQLite connection that shows the records as the virtual table "t" of one text field.
struct OneTableDb {
    explicit OneTableDb(std::unique_ptr<RecordSource> records)
    {
        sqlite3_open(":memory:", &db);
        auto data = std::make_shared<DriverTableData>();
        data->records = std::move(records);
        data->textual = {true};
        registry.insert(QStringLiteral("t"), data);
        registerDriverTableModule(db, &registry);
        created = sqlite3_exec(db, "CREATE VIRTUAL TABLE t USING verola_table(t)", nullptr, nullptr, nullptr) == SQLITE_OK;
    }
    ~OneTableDb() { sqlite3_close(db); }
    OneTableDb(const OneTableDb&) = delete;
    OneTableDb& operator=(const OneTableDb&) = delete;

    DriverTableRegistry registry;
    sqlite3* db = nullptr;
    bool created = false;
};

} // namespace

// The added file order costs no sort where a table is scanned whole, in record order anyway.
TEST(DriverTableModule, AWholeScanNeedsNoSortForTheFileOrder)
{
    OneTableDb table(std::make_unique<FailingRecords>([] {}));
    ASSERT_TRUE(table.created);
    sqlite3* db = table.db;
    const auto plan = [db](const char* sql) {
        QString text;
        sqlite3_stmt* statement = nullptr;
        EXPECT_EQ(sqlite3_prepare_v2(db, sql, -1, &statement, nullptr), SQLITE_OK);
        while (sqlite3_step(statement) == SQLITE_ROW)
            text += QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(statement, 3))) + u'\n';
        sqlite3_finalize(statement);
        return text;
    };
    EXPECT_FALSE(plan("EXPLAIN QUERY PLAN SELECT A FROM t ORDER BY \"t\".rowid").contains("ORDER BY"));
    // Descending, or on a field, SQLite still sorts.
    EXPECT_TRUE(plan("EXPLAIN QUERY PLAN SELECT A FROM t ORDER BY \"t\".rowid DESC").contains("ORDER BY"));
    EXPECT_TRUE(plan("EXPLAIN QUERY PLAN SELECT A FROM t ORDER BY A").contains("ORDER BY"));
}

namespace {

// One text field "A" holding the given codes, one a record.
class CodeRecords : public RecordSource {
public:
    explicit CodeRecords(QStringList codes) : m_codes(std::move(codes))
    {
        m_defs.Add(QStringLiteral("A"), TFieldType::ftString, 4);
    }
    QString origin() const override { return QStringLiteral("codes"); }
    const TFieldDefs& fieldDefs() const override { return m_defs; }
    int recordCount() const override { return static_cast<int>(m_codes.size()); }
    void readRecord(int record) override { m_current = record; }
    bool isNull(int) const override { return false; }
    double number(int) const override { return 0; }
    QString text(int) const override { return m_codes.at(m_current); }

private:
    QStringList m_codes;
    TFieldDefs m_defs;
    int m_current = 0;
};

} // namespace

// A key looked up in the hash index gives its records in file order: the file order added to a
// statement is then kept without a sort.
TEST(DriverTableModule, AnIndexedLookupKeepsTheFileOrderWithoutASort)
{
    OneTableDb table(std::make_unique<CodeRecords>(QStringList{"b", "a", "b", "c", "a", "b", "b", "a"}));
    ASSERT_TRUE(table.created);
    sqlite3* db = table.db;
    const auto rows = [db](const char* sql, int column = 0) {
        QStringList out;
        sqlite3_stmt* statement = nullptr;
        EXPECT_EQ(sqlite3_prepare_v2(db, sql, -1, &statement, nullptr), SQLITE_OK) << sql;
        while (sqlite3_step(statement) == SQLITE_ROW)
            out.append(QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(statement, column))));
        sqlite3_finalize(statement);
        return out;
    };
    EXPECT_EQ(rows("SELECT rowid FROM t WHERE A = 'b' ORDER BY \"t\".rowid"), (QStringList{"0", "2", "5", "6"}));
    EXPECT_EQ(rows("SELECT rowid FROM t WHERE A = 'a' ORDER BY \"t\".rowid"), (QStringList{"1", "4", "7"}));
    EXPECT_TRUE(rows("SELECT rowid FROM t WHERE A = 'z' ORDER BY \"t\".rowid").isEmpty());
    const QString plan = rows("EXPLAIN QUERY PLAN SELECT A FROM t WHERE A = 'b' ORDER BY \"t\".rowid", 3).join(u'\n');
    EXPECT_FALSE(plan.isEmpty());
    EXPECT_FALSE(plan.contains("ORDER BY")) << plan.toStdString();
    EXPECT_TRUE(rows("EXPLAIN QUERY PLAN SELECT A FROM t WHERE A = 'b' ORDER BY \"t\".rowid DESC", 3).join(u'\n').contains("ORDER BY"));
}
