// Paradox and text tables behind the same record interface.
#include "db/dberrors.h"
#include "db/session.h"
#include "db/ttable.h"
#include "dbfixtures.h"
#include "testsupport.h"

#include <gtest/gtest.h>

using namespace verola;
using namespace verola::test;

namespace {

class OtherKindsTest : public ::testing::Test {
protected:
    TempFolder folder;
    TSession session{FormatSettings::russian(), QStringLiteral("Aliases.ini")};

    // Every record as "v1|v2|…", after the header "f1|f2|…".
    QStringList dump(const QString& name)
    {
        TTable table(session);
        table.SetDatabaseName(folder.path());
        table.SetTableName(name);
        table.Open();
        QStringList lines{table.FieldNames().join(u'|')};
        for (table.First(); !table.Eof(); table.Next()) {
            QStringList values;
            for (int f = 0; f < table.FieldCount(); ++f)
                values.append(table.Fields(f).AsString());
            lines.append(values.join(u'|'));
        }
        return lines;
    }

    void expectError(const QString& name, const QString& fragment)
    {
        try {
            dump(name);
            ADD_FAILURE() << "opened " << name.toStdString();
        } catch (const EDatabaseError& error) {
            EXPECT_TRUE(error.message().contains(fragment)) << error.message().toStdString();
        }
    }
};

TEST_F(OtherKindsTest, ParadoxTablesRead)
{
    writeParadox(folder.file(QStringLiteral("morb.db")),
        {{"REG", 'A', 6}, {"CASES", 'I'}, {"AGE", 'S'}, {"RATE", 'N'}, {"CALLDATE", 'D'}, {"MALE", 'L'}},
        {{QStringLiteral("Химки"), QStringLiteral("120"), QStringLiteral("45"), QStringLiteral("0.25"), QStringLiteral("1990-01-15"), QStringLiteral("T")},
            {QStringLiteral("77"), QString(), QString(), QString(), QString(), QString()}});
    EXPECT_EQ(dump(QStringLiteral("morb")),
        (QStringList{QStringLiteral("REG|CASES|AGE|RATE|CALLDATE|MALE"), QStringLiteral("Химки|120|45|0,25|15.01.1990|True"),
            QStringLiteral("77|||||")}));

    TTable table(session);
    table.SetDatabaseName(folder.path());
    table.SetTableName(QStringLiteral("morb.db"));
    table.Open();
    EXPECT_DOUBLE_EQ(table.FieldByName(QStringLiteral("CALLDATE")).AsFloat(), 32888.0);
    EXPECT_EQ(table.FieldByName(QStringLiteral("CASES")).AsInteger(), 120);
}

TEST_F(OtherKindsTest, DamagedParadoxTablesRaise)
{
    writeParadox(folder.file(QStringLiteral("good.db")), {{"REG", 'A', 6}}, {{QStringLiteral("a")}, {QStringLiteral("b")}});
    const QByteArray good = readBytes(folder.file(QStringLiteral("good.db")));
    QByteArray claims = good;
    claims[6] = 0x7f; // record count, low bytes
    claims[7] = 0x7f;
    const std::vector<std::pair<const char*, QByteArray>> damaged = {
        {"claims", claims}, {"cut", good.left(good.size() / 2)}, {"tiny", good.left(20)}, {"junk", QByteArray(4096, 'x')}};
    for (const auto& [name, bytes] : damaged) {
        const QString file = folder.file(QLatin1String(name) + QStringLiteral(".db"));
        writeBytes(file, bytes);
        expectError(QLatin1String(name), file);
    }
}

TEST_F(OtherKindsTest, TextTablesFindTheirDelimiter)
{
    struct Case {
        const char* content;
        QStringList expected;
    };
    const std::vector<Case> cases = {
        {"REG,NAME,N\r\n77,Moscow,1\r\n50,\"Oblast, near\",2\r\n",
            {QStringLiteral("REG|NAME|N"), QStringLiteral("77|Moscow|1"), QStringLiteral("50|Oblast, near|2")}},
        {"REG;NAME;N\n77;Mos,cow;1,5\n\n", {QStringLiteral("REG|NAME|N"), QStringLiteral("77|Mos,cow|1,5")}},
        {"REG\tNAME\n77\t\"say \"\"hi\"\"\"\n", {QStringLiteral("REG|NAME"), QStringLiteral("77|say \"hi\"")}},
        {"\xd0\xc5\xc3\xc8\xce\xcd\n\xcc\xee\xf1\xea\xe2\xe0\n", {QStringLiteral("РЕГИОН"), QStringLiteral("Москва")}},
    };
    int n = 0;
    for (const Case& c : cases) {
        const QString name = QStringLiteral("t%1").arg(++n);
        writeBytes(folder.file(name + QStringLiteral(".txt")), QByteArray(c.content));
        EXPECT_EQ(dump(name), c.expected) << c.content;
    }
}

TEST_F(OtherKindsTest, SchemaGivesFieldsTypesAndDelimiter)
{
    writeBytes(folder.file(QStringLiteral("conc.sch")),
        "[CONC]\r\nFILETYPE = VARYING\r\nCHARSET = ascii\r\nDELIMITER = \"\r\nSEPARATOR = |\r\n"
        "Field1 = STATION,CHAR,10,00,00\r\nField2 = VALUE,FLOAT,10,02,10\r\nField3 = DAY,DATE,10,00,20\r\n");
    writeBytes(folder.file(QStringLiteral("conc.txt")), "\"A1\"|0.5|01.02.1990\r\nB2|12|\r\n");
    EXPECT_EQ(dump(QStringLiteral("conc")),
        (QStringList{QStringLiteral("STATION|VALUE|DAY"), QStringLiteral("A1|0,5|01.02.1990"), QStringLiteral("B2|12|")}));
    TTable table(session);
    table.SetDatabaseName(folder.path());
    table.SetTableName(QStringLiteral("conc"));
    table.Open();
    EXPECT_EQ(table.FieldByName(QStringLiteral("DAY")).DataType(), TFieldType::ftDate);
    EXPECT_DOUBLE_EQ(table.FieldByName(QStringLiteral("VALUE")).AsFloat(), 0.5);

    // A header line repeating the schema's names is skipped.
    writeBytes(folder.file(QStringLiteral("conc.txt")), "STATION|VALUE|DAY\r\nC3|1|\r\n");
    EXPECT_EQ(dump(QStringLiteral("conc")), (QStringList{QStringLiteral("STATION|VALUE|DAY"), QStringLiteral("C3|1|")}));
}

TEST_F(OtherKindsTest, RaggedOrBadTextTablesRaise)
{
    writeBytes(folder.file(QStringLiteral("ragged.txt")), "A,B,C\n1,2,3\n4,5\n");
    expectError(QStringLiteral("ragged"), QStringLiteral("line 3"));
    writeBytes(folder.file(QStringLiteral("long.txt")), "A,B\n1,2,3\n");
    expectError(QStringLiteral("long"), folder.file(QStringLiteral("long.txt")));
    writeBytes(folder.file(QStringLiteral("empty.txt")), "");
    expectError(QStringLiteral("empty"), folder.file(QStringLiteral("empty.txt")));
    writeBytes(folder.file(QStringLiteral("quote.txt")), "A,B\n\"open,2\n");
    expectError(QStringLiteral("quote"), QStringLiteral("line 2"));
    writeBytes(folder.file(QStringLiteral("typed.sch")), "[T]\nSEPARATOR = ,\nField1 = N,FLOAT,5,0,0\n");
    writeBytes(folder.file(QStringLiteral("typed.txt")), "1\nabc\n");
    expectError(QStringLiteral("typed"), QStringLiteral("abc"));
}

} // namespace
