// Tables: opening by name, reading fields, navigation, errors.
#include "core/db/dberrors.h"
#include "core/db/session.h"
#include "core/db/ttable.h"
#include "dbfixtures.h"
#include "testsupport.h"

#include <QFile>
#include <shapefil.h>
#include <gtest/gtest.h>

using namespace verola;
using namespace verola::test;

namespace {

const std::vector<FixtureField> kPeopleFields = {
    {"NAME", 'C', 20}, {"AGE", 'N', 3, 0}, {"WEIGHT", 'N', 8, 2}, {"BORN", 'D', 8}, {"SMOKER", 'L', 1}, {"NOTE", 'M', 10}};

const std::vector<QStringList> kPeople = {
    {QStringLiteral("Иванов"), QStringLiteral("34"), QStringLiteral("81.5"), QStringLiteral("19900115"), QStringLiteral("T"), QString()},
    {QStringLiteral("Петров"), QStringLiteral("7"), QStringLiteral("25.25"), QStringLiteral("20170301"), QStringLiteral("F"), QString()},
    {QStringLiteral("Сидоров"), QString(), QString(), QString(), QString(), QString()},
};

class TableTest : public ::testing::Test {
protected:
    TempFolder folder;
    TSession session{FormatSettings::russian(), QStringLiteral("Aliases.ini")};

    void SetUp() override { writeDbf(folder.file(QStringLiteral("people.dbf")), kPeopleFields, kPeople); }

    std::unique_ptr<TTable> openTable(const QString& name)
    {
        auto table = std::make_unique<TTable>(session);
        table->SetDatabaseName(folder.path());
        table->SetTableName(name);
        table->Open();
        return table;
    }
};

TEST_F(TableTest, ReadsEveryFieldKindAsTextAndNumber)
{
    auto table = openTable(QStringLiteral("people"));
    ASSERT_EQ(table->RecordCount(), 3);
    EXPECT_EQ(table->FieldByName(QStringLiteral("name")).AsString(), QStringLiteral("Иванов"));
    EXPECT_EQ(table->FieldByName(QStringLiteral("AGE")).AsInteger(), 34);
    EXPECT_EQ(table->FieldByName(QStringLiteral("WEIGHT")).AsString(), QStringLiteral("81,5"));
    EXPECT_DOUBLE_EQ(table->FieldByName(QStringLiteral("WEIGHT")).AsFloat(), 81.5);
    EXPECT_EQ(table->FieldByName(QStringLiteral("BORN")).AsString(), QStringLiteral("15.01.1990"));
    EXPECT_DOUBLE_EQ(table->FieldByName(QStringLiteral("BORN")).AsFloat(), 32888.0); // 15 January 1990
    EXPECT_EQ(table->FieldByName(QStringLiteral("SMOKER")).AsString(), QStringLiteral("True"));
    EXPECT_EQ(table->FieldByName(QStringLiteral("NOTE")).AsString(), QString());

    table->Next();
    EXPECT_EQ(table->FieldByName(QStringLiteral("WEIGHT")).AsString(), QStringLiteral("25,25"));
    EXPECT_EQ(table->FieldByName(QStringLiteral("SMOKER")).AsString(), QStringLiteral("False"));

    table->Next();
    for (const char* name : {"AGE", "WEIGHT", "BORN", "SMOKER"}) {
        EXPECT_TRUE(table->FieldByName(QLatin1String(name)).IsNull()) << name;
        EXPECT_EQ(table->FieldByName(QLatin1String(name)).AsString(), QString()) << name;
    }
    table->Next();
    EXPECT_TRUE(table->Eof());
}

TEST_F(TableTest, FirstAndNextVisitRecordCountRecordsOnce)
{
    auto table = openTable(QStringLiteral("people.dbf"));
    QStringList names;
    for (table->First(); !table->Eof(); table->Next())
        names.append(table->FieldByName(QStringLiteral("NAME")).AsString());
    EXPECT_EQ(names.size(), table->RecordCount());
    EXPECT_EQ(names, (QStringList{QStringLiteral("Иванов"), QStringLiteral("Петров"), QStringLiteral("Сидоров")}));
}

TEST_F(TableTest, DateFieldsFollowTheUserFormat)
{
    FormatSettings us;
    us.setShortDateFormat(QStringLiteral("M/d/yyyy"));
    us.decimalSeparator = u'.';
    session.setFormatSettings(us);
    auto table = openTable(QStringLiteral("people"));
    EXPECT_EQ(table->FieldByName(QStringLiteral("BORN")).AsString(), QStringLiteral("1/15/1990"));
    EXPECT_EQ(table->FieldByName(QStringLiteral("WEIGHT")).AsString(), QStringLiteral("81.5"));
}

TEST_F(TableTest, ExtensionsAreTriedInOrder)
{
    writeBytes(folder.file(QStringLiteral("both.txt")), "NAME\ntext\n");
    writeDbf(folder.file(QStringLiteral("both.dbf")), {{"NAME", 'C', 10}}, {{QStringLiteral("dbase")}});
    writeBytes(folder.file(QStringLiteral("only.txt")), "NAME\ntext\n");
    EXPECT_EQ(openTable(QStringLiteral("both"))->FieldByName(QStringLiteral("NAME")).AsString(), QStringLiteral("dbase"));
    EXPECT_EQ(openTable(QStringLiteral("only"))->FieldByName(QStringLiteral("NAME")).AsString(), QStringLiteral("text"));
    EXPECT_EQ(openTable(QStringLiteral("both.txt"))->FieldByName(QStringLiteral("NAME")).AsString(), QStringLiteral("text"));
    // Names from systems that ignore letter case.
    EXPECT_EQ(openTable(QStringLiteral("BOTH"))->FieldByName(QStringLiteral("NAME")).AsString(), QStringLiteral("dbase"));
    EXPECT_EQ(openTable(QStringLiteral("Only.TXT"))->FieldByName(QStringLiteral("NAME")).AsString(), QStringLiteral("text"));
}

TEST_F(TableTest, ErrorsNameTheFileOrField)
{
    TTable missing(session);
    missing.SetDatabaseName(folder.path());
    missing.SetTableName(QStringLiteral("nosuch"));
    try {
        missing.Open();
        FAIL() << "opened a missing table";
    } catch (const EDatabaseError& error) {
        EXPECT_TRUE(error.message().contains(QStringLiteral("nosuch"))) << error.message().toStdString();
    }
    EXPECT_FALSE(missing.Active());

    auto table = openTable(QStringLiteral("people"));
    EXPECT_THROW(table->FieldByName(QStringLiteral("ABSENT")), EDatabaseError);
    EXPECT_THROW(table->FieldByName(QStringLiteral("NAME")).AsFloat(), EConvertError);
    EXPECT_THROW(table->FieldByName(QStringLiteral("NAME")).AsInteger(), EConvertError);
    EXPECT_THROW(table->SetTableName(QStringLiteral("other")), EDatabaseError);
    table->Next();
    table->Next();
    table->Next();
    EXPECT_THROW(table->FieldByName(QStringLiteral("NAME")).AsString(), EDatabaseError);
}

TEST_F(TableTest, DeletedRecordsAreNotShown)
{
    const QString path = folder.file(QStringLiteral("people.dbf"));
    DBFHandle handle = DBFOpen(QFile::encodeName(path).constData(), "rb+");
    DBFMarkRecordDeleted(handle, 1, 1);
    DBFClose(handle);
    auto table = openTable(QStringLiteral("people"));
    EXPECT_EQ(table->RecordCount(), 2);
    table->Next();
    EXPECT_EQ(table->FieldByName(QStringLiteral("NAME")).AsString(), QStringLiteral("Сидоров"));
}

} // namespace
