// Indexes, key search and the master link.
#include "core/db/dberrors.h"
#include "core/db/session.h"
#include "core/db/tquery.h"
#include "core/db/ttable.h"
#include "dbfixtures.h"
#include "testsupport.h"

#include <gtest/gtest.h>

using namespace verola;
using namespace verola::test;

namespace {

class IndexTest : public ::testing::Test {
protected:
    TempFolder folder;
    TSession session{FormatSettings::russian(), QStringLiteral("Aliases.ini")};
    TTable regions{session};
    TTable cases{session};

    void SetUp() override
    {
        writeDbf(folder.file(QStringLiteral("regions.dbf")), {{"REG", 'C', 4}, {"TITLE", 'C', 20}},
            {{QStringLiteral("77"), QStringLiteral("Москва")}, {QStringLiteral("50"), QStringLiteral("Область")},
                {QStringLiteral("99"), QStringLiteral("Пусто")}});
        writeDbf(folder.file(QStringLiteral("cases.dbf")), {{"REG", 'C', 4}, {"YEAR_F", 'N', 4, 0}, {"N", 'N', 6, 0}},
            {{QStringLiteral("50"), QStringLiteral("1991"), QStringLiteral("5")},
                {QStringLiteral("77"), QStringLiteral("1990"), QStringLiteral("1")},
                {QStringLiteral("50"), QStringLiteral("1990"), QStringLiteral("4")},
                {QStringLiteral("77"), QStringLiteral("1991"), QStringLiteral("2")},
                {QStringLiteral("77"), QStringLiteral("1990"), QStringLiteral("3")}});
        for (TTable* table : {&regions, &cases})
            table->SetDatabaseName(folder.path());
        regions.SetTableName(QStringLiteral("regions"));
        cases.SetTableName(QStringLiteral("cases"));
    }

    static QStringList column(TDataSet& data, const QString& field)
    {
        QStringList values;
        for (data.First(); !data.Eof(); data.Next())
            values.append(data.FieldByName(field).AsString());
        return values;
    }
};

TEST_F(IndexTest, SelectingAMissingIndexRaisesAndAddingOneMakesItSelectable)
{
    EXPECT_THROW(cases.SetIndexName(QStringLiteral("Reg")), EDatabaseError);
    cases.AddIndex(QStringLiteral("Reg"), QStringLiteral("REG"), static_cast<int>(TIndexOption::ixPrimary));
    EXPECT_TRUE(cases.IndexName().isEmpty()); // adding does not select
    cases.SetIndexName(QStringLiteral("REG"));
    cases.Open();
    EXPECT_EQ(column(cases, QStringLiteral("N")),
        (QStringList{QStringLiteral("5"), QStringLiteral("4"), QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3")}));
    // The definition stays with the table across closing and reopening.
    cases.Close();
    cases.SetIndexName(QString());
    cases.SetIndexName(QStringLiteral("reg"));
    EXPECT_EQ(cases.IndexFieldNames(), QStringList{QStringLiteral("REG")});
}

TEST_F(IndexTest, FindKeyPositionsOnTheFirstMatchingRecord)
{
    cases.AddIndex(QStringLiteral("RegYear"), QStringLiteral("REG;YEAR_F"));
    cases.SetIndexName(QStringLiteral("RegYear"));
    cases.Open();
    struct Case {
        QStringList key;
        bool found;
        QString n;
    };
    const std::vector<Case> cases_ = {
        {{QStringLiteral("77")}, true, QStringLiteral("1")},
        {{QStringLiteral("77"), QStringLiteral("1991")}, true, QStringLiteral("2")},
        {{QStringLiteral("50"), QStringLiteral("1990")}, true, QStringLiteral("4")},
        {{QStringLiteral("7")}, false, QString()},
        {{QStringLiteral("77"), QStringLiteral("1989")}, false, QString()},
        {{QStringLiteral("77"), QStringLiteral("x")}, false, QString()},
    };
    for (const Case& c : cases_) {
        EXPECT_EQ(cases.FindKey(c.key), c.found) << c.key.join(u'+').toStdString();
        if (c.found) {
            EXPECT_EQ(cases.FieldByName(QStringLiteral("N")).AsString(), c.n) << c.key.join(u'+').toStdString();
        }
    }
    TTable plain(session);
    plain.SetDatabaseName(folder.path());
    plain.SetTableName(QStringLiteral("cases"));
    plain.Open();
    EXPECT_THROW(plain.FindKey({QStringLiteral("77")}), EDatabaseError);
}

TEST_F(IndexTest, DetailFollowsTheMasterTable)
{
    cases.AddIndex(QStringLiteral("Reg"), QStringLiteral("REG"));
    cases.SetIndexName(QStringLiteral("Reg"));
    TDataSource source(&regions);
    cases.SetMasterSource(&source);
    cases.SetMasterFields(QStringLiteral("REG"));
    regions.Open();
    cases.Open();

    EXPECT_EQ(regions.FieldByName(QStringLiteral("REG")).AsString(), QStringLiteral("77"));
    EXPECT_EQ(cases.RecordCount(), 3);
    EXPECT_EQ(column(cases, QStringLiteral("N")), (QStringList{QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3")}));
    regions.Next();
    EXPECT_EQ(cases.RecordCount(), 2);
    EXPECT_EQ(cases.FieldByName(QStringLiteral("N")).AsString(), QStringLiteral("5"));
    regions.Next();
    EXPECT_EQ(cases.RecordCount(), 0);
    EXPECT_TRUE(cases.Eof());
    regions.First();
    EXPECT_EQ(cases.RecordCount(), 3);
}

TEST_F(IndexTest, DetailFollowsAQuery)
{
    cases.AddIndex(QStringLiteral("Reg"), QStringLiteral("REG"));
    cases.SetIndexName(QStringLiteral("Reg"));
    TQuery query(session);
    query.SetDatabaseName(folder.path());
    query.SQL() << QStringLiteral("SELECT REG FROM regions") << QStringLiteral("WHERE REG <= '77'");
    TDataSource source(&query);
    cases.SetMasterSource(&source);
    cases.SetMasterFields(QStringLiteral("REG"));
    query.Open();
    cases.Open();
    QStringList seen;
    for (; !query.Eof(); query.Next())
        seen.append(query.FieldByName(QStringLiteral("REG")).AsString() + u':' + column(cases, QStringLiteral("N")).join(u','));
    EXPECT_EQ(seen, (QStringList{QStringLiteral("77:1,2,3"), QStringLiteral("50:5,4")}));
}

TEST_F(IndexTest, MasterLinkWithoutIndexRaisesAndTheTableReadsUnlinked)
{
    TDataSource source(&regions);
    cases.SetMasterSource(&source);
    EXPECT_THROW(cases.SetMasterFields(QStringLiteral("REG")), EDatabaseError);
    regions.Open();
    cases.Open();
    EXPECT_EQ(cases.RecordCount(), 5);
}

} // namespace
