// Aliases, table lists and the lookup helpers over the engine.
#include "core/db/dberrors.h"
#include "core/db/fieldlookup.h"
#include "core/db/session.h"
#include "core/db/ttable.h"
#include "dbfixtures.h"
#include "core/platform/privateprofile.h"
#include "testsupport.h"

#include <QDir>
#include <gtest/gtest.h>

using namespace verola;
using namespace verola::test;

namespace {

class CatalogueTest : public ::testing::Test {
protected:
    TempFolder system;
    TempFolder data;
    ScopedSystemDirectory systemDir{system.path()};
    TSession session{FormatSettings::russian(), QStringLiteral("Aliases.ini")};
};

TEST_F(CatalogueTest, AliasesLiveInTheIniFile)
{
    EXPECT_TRUE(session.GetAliasNames().isEmpty());
    session.AddStandardAlias(QStringLiteral("Morbidity"), data.path(), QStringLiteral("DBASE"));
    session.AddStandardAlias(QStringLiteral("Air"), QStringLiteral("/srv/air"));
    EXPECT_EQ(session.GetAliasNames(), (QStringList{QStringLiteral("Air"), QStringLiteral("Morbidity")}));
    EXPECT_EQ(session.GetAliasParams(QStringLiteral("morbidity")).value(0), QStringLiteral("PATH=") + data.path());
    EXPECT_TRUE(session.GetAliasParams(QStringLiteral("none")).isEmpty());
    EXPECT_EQ(PrivateProfile(system.file(QStringLiteral("Aliases.ini"))).readString(QStringLiteral("Air"), QStringLiteral("PATH"), QString()),
        QStringLiteral("/srv/air"));
    session.DeleteAlias(QStringLiteral("Air"));
    EXPECT_EQ(session.GetAliasNames(), QStringList{QStringLiteral("Morbidity")});
}

TEST_F(CatalogueTest, TablesAreListedAndOpenedThroughAnAlias)
{
    writeDbf(data.file(QStringLiteral("b.dbf")), {{"KEY", 'C', 5}}, {{QStringLiteral("x")}});
    writeBytes(data.file(QStringLiteral("a.txt")), "KEY\ny\n");
    writeBytes(data.file(QStringLiteral("c.db")), "");
    writeBytes(data.file(QStringLiteral("notes.doc")), "");
    session.AddStandardAlias(QStringLiteral("Work"), data.path());
    const QStringList expected{QStringLiteral("a.txt"), QStringLiteral("b.dbf"), QStringLiteral("c.db")};
    EXPECT_EQ(session.GetTableNames(QStringLiteral("Work")), expected);
    EXPECT_EQ(session.GetTableNames(data.path()), expected);

    TTable table(session);
    table.SetDatabaseName(QStringLiteral("Work"));
    table.SetTableName(QStringLiteral("b"));
    table.Open();
    EXPECT_EQ(table.FieldByName(QStringLiteral("KEY")).AsString(), QStringLiteral("x"));
}

// Folders written on the desktop system ("Path=data\\sub") use the backslash as
// the separator, in "Aliases.ini" as in a description's own folder.
TEST_F(CatalogueTest, BackslashFoldersOpenTables)
{
    QDir(data.path()).mkpath(QStringLiteral("sub/inner"));
    writeDbf(data.file(QStringLiteral("sub/inner/b.dbf")), {{"KEY", 'C', 5}}, {{QStringLiteral("x")}});
    const QString backslashed = data.path() + QStringLiteral("\\sub\\inner");
    session.AddStandardAlias(QStringLiteral("Desk"), backslashed);
    for (const QString& databaseName : {QStringLiteral("Desk"), backslashed}) {
        SCOPED_TRACE(databaseName.toStdString());
        EXPECT_EQ(session.GetTableNames(databaseName), QStringList{QStringLiteral("b.dbf")});
        TTable table(session);
        table.SetDatabaseName(databaseName);
        table.SetTableName(QStringLiteral("b"));
        table.Open();
        EXPECT_EQ(table.FieldByName(QStringLiteral("KEY")).AsString(), QStringLiteral("x"));
    }
}

TEST_F(CatalogueTest, FieldAsNumberAndLookupPair)
{
    writeDbf(data.file(QStringLiteral("subs.dbf")), {{"NAME", 'C', 30}, {"RFD", 'N', 12, 5}, {"SF", 'C', 10}},
        {{QStringLiteral("АЗОТА ДИОКСИД"), QStringLiteral("0.04"), QStringLiteral("1,5")},
            {QStringLiteral("СВИНЕЦ"), QString(), QStringLiteral("н/д")},
            {QStringLiteral("СВИНЕЦ"), QStringLiteral("7"), QStringLiteral("8")}});
    TTable table(session);
    table.SetDatabaseName(data.path());
    struct Case {
        QString key;
        double first;
        double second;
    };
    const std::vector<Case> cases = {
        {QStringLiteral("АЗОТА ДИОКСИД"), 0.04, 1.5},
        {QStringLiteral("ДИОКСИД АЗОТА"), 0.04, 1.5}, // words swapped
        {QStringLiteral("СВИНЕЦ"), -999, -999},       // first match: empty and not a number
        {QStringLiteral("РТУТЬ"), -999, -999},
        {QStringLiteral(" СВИНЕЦ"), -999, -999},
    };
    for (const Case& c : cases) {
        const auto [first, second] = LookupPair(table, QStringLiteral("subs.dbf"), c.key, QStringLiteral("RFD"),
            QStringLiteral("SF"), QStringLiteral("NAME"));
        EXPECT_DOUBLE_EQ(first, c.first) << c.key.toStdString();
        EXPECT_DOUBLE_EQ(second, c.second) << c.key.toStdString();
    }
    table.First();
    EXPECT_DOUBLE_EQ(FieldAsNumber(QStringLiteral("NOFIELD"), table), -999.0);
    EXPECT_THROW(LookupPair(table, QStringLiteral("missing"), QStringLiteral("x"), QStringLiteral("A"), QStringLiteral("B"),
                     QStringLiteral("C")),
        EDatabaseError);
}

} // namespace
