// Paradox and text tables behind the same record interface.
#include "core/db/dberrors.h"
#include "core/db/paradoxdriver.h"
#include "core/db/session.h"
#include "core/db/ttable.h"
#include "dbfixtures.h"
#include "testsupport.h"

#include <QFile>
#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <memory>
#include <thread>

using namespace verola;
using namespace verola::test;

namespace {

struct OpenOutcome {
    bool finished = false;
    bool opened = false;
    QString error;
};

// Opens a Paradox table on a thread of its own, so that a reader stuck in a loop
// fails the test after the limit instead of stalling the whole run. A stuck
// thread is left behind; it touches nothing but its own copy of the path.
OpenOutcome openParadoxWithin(const QString& path, std::chrono::seconds limit)
{
    auto promise = std::make_shared<std::promise<OpenOutcome>>();
    std::future<OpenOutcome> future = promise->get_future();
    std::thread([promise, path] {
        try {
            openParadoxTable(path);
            promise->set_value({true, true, {}});
        } catch (const EDatabaseError& error) {
            promise->set_value({true, false, error.message()});
        } catch (...) {
            promise->set_exception(std::current_exception());
        }
    }).detach();
    if (future.wait_for(limit) != std::future_status::ready)
        return {};
    return future.get();
}

void putLe16(QByteArray& bytes, qsizetype at, int value)
{
    bytes[at] = static_cast<char>(value & 0xff);
    bytes[at + 1] = static_cast<char>((value >> 8) & 0xff);
}

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

// A BCD field takes 17 bytes of the record whatever its number of decimals.
TEST_F(OtherKindsTest, ParadoxBcdFieldsRead)
{
    writeParadox(folder.file(QStringLiteral("dose.db")), {{"REG", 'A', 4}, {"DOSE", 'B', 0, 2}, {"RISK", 'B', 0, 4}},
        {{QStringLiteral("77"), QStringLiteral("12.34"), QStringLiteral("0.0015")},
            {QStringLiteral("50"), QStringLiteral("-5.5"), QString()}});
    EXPECT_EQ(dump(QStringLiteral("dose")),
        (QStringList{QStringLiteral("REG|DOSE|RISK"), QStringLiteral("77|12,34|0,0015"), QStringLiteral("50|-5,5|")}));
}

TEST_F(OtherKindsTest, DamagedParadoxTablesRaise)
{
    writeParadox(folder.file(QStringLiteral("good.db")), {{"REG", 'A', 6}}, {{QStringLiteral("a")}, {QStringLiteral("b")}});
    const QByteArray good = readBytes(folder.file(QStringLiteral("good.db")));
    QByteArray claims = good;
    claims[6] = 0x7f; // record count, low bytes
    claims[7] = 0x7f;
    // Two numbers of four bytes each: the record size fits, the size of a number does not.
    writeParadox(folder.file(QStringLiteral("pair.db")), {{"N", 'I'}, {"M", 'I'}}, {{QStringLiteral("1"), QStringLiteral("2")}});
    QByteArray halfNumbers = readBytes(folder.file(QStringLiteral("pair.db")));
    ASSERT_EQ(halfNumbers.mid(0x78, 4), QByteArray("\x04\x04\x04\x04", 4)) << "field list: type, size";
    halfNumbers[0x78] = 0x06;
    halfNumbers[0x7a] = 0x06;
    const std::vector<std::pair<const char*, QByteArray>> damaged = {{"claims", claims}, {"cut", good.left(good.size() / 2)},
        {"tiny", good.left(20)}, {"junk", QByteArray(4096, 'x')}, {"halfnumbers", halfNumbers}};
    for (const auto& [name, bytes] : damaged) {
        const QString file = folder.file(QLatin1String(name) + QStringLiteral(".db"));
        writeBytes(file, bytes);
        expectError(QLatin1String(name), file);
    }
}

// Damage that sends pxlib into an endless loop. Data blocks form a chain through
// the first two bytes of each block: a chain that comes back on itself, or runs on
// past the blocks the header counts, is refused even when the header claims no
// records at all. A version without the second header part leaves pxlib reading
// its password mark from memory it never filled.
TEST_F(OtherKindsTest, DamageThatLoopsTheReaderRaises)
{
    const QString goodFile = folder.file(QStringLiteral("good.db"));
    writeParadox(goodFile, {{"REG", 'A', 6}}, {{QStringLiteral("a")}, {QStringLiteral("b")}});
    const QByteArray good = readBytes(goodFile);
    const int headerSize = static_cast<unsigned char>(good[2]) | (static_cast<unsigned char>(good[3]) << 8);
    const int blockSize = static_cast<unsigned char>(good[5]) * 1024;
    ASSERT_EQ(good[12], 1) << "the fixture should hold one data block";
    ASSERT_EQ(good.size(), headerSize + blockSize);

    TTable open(session);
    open.SetDatabaseName(folder.path());
    open.SetTableName(QStringLiteral("good"));
    open.Open();

    auto withoutRecords = [](QByteArray bytes) {
        bytes.replace(6, 4, QByteArray(4, '\0'));
        return bytes;
    };
    QByteArray selfLinked = good;
    putLe16(selfLinked, headerSize, 1);
    QByteArray runsPastEnd = good; // block 1 -> block 2, which the header does not count, -> block 1
    putLe16(runsPastEnd, headerSize, 2);
    QByteArray extraBlock(blockSize, '\0');
    putLe16(extraBlock, 0, 1);
    runsPastEnd.append(extraBlock);
    QByteArray unknownVersion = good;
    unknownVersion[0x39] = 13;
    ASSERT_EQ(good.mid(0x25, 4), QByteArray("\x00\xff\x00\xff", 4)) << "pxlib marks a second password field";
    // Version 4 has no second header part: the field list follows the first at 0x58.
    auto asVersion4 = [&](QByteArray bytes) {
        bytes = bytes.left(0x58) + bytes.mid(0x78, headerSize - 0x78) + QByteArray(0x20, '\0') + bytes.mid(headerSize);
        bytes[0x39] = 4;
        return bytes;
    };
    const QByteArray markWithoutSecondPart = asVersion4(good);
    const std::vector<std::pair<const char*, QByteArray>> cases = {
        {"unknownversion", unknownVersion},
        {"markwithoutsecondpart", markWithoutSecondPart},
        {"selflinked", selfLinked},
        {"emptyselflinked", withoutRecords(selfLinked)},
        {"pastend", runsPastEnd},
        {"emptypastend", withoutRecords(runsPastEnd)},
    };
    for (const auto& [name, bytes] : cases) {
        const QString file = folder.file(QLatin1String(name) + QStringLiteral(".db"));
        writeBytes(file, bytes);
        const OpenOutcome outcome = openParadoxWithin(file, std::chrono::seconds(10));
        ASSERT_TRUE(outcome.finished) << name << ": still reading after 10 s";
        EXPECT_FALSE(outcome.opened) << name;
        EXPECT_TRUE(outcome.error.contains(file)) << name << ": " << outcome.error.toStdString();
    }

    QByteArray version4 = asVersion4(good);
    version4.replace(0x25, 4, QByteArray(4, '\0'));
    const QString version4File = folder.file(QStringLiteral("version4.db"));
    writeBytes(version4File, version4);
    const OpenOutcome clearVersion4 = openParadoxWithin(version4File, std::chrono::seconds(10));
    EXPECT_TRUE(clearVersion4.opened) << clearVersion4.error.toStdString();

    QStringList values;
    for (open.First(); !open.Eof(); open.Next())
        values.append(open.Fields(0).AsString());
    EXPECT_EQ(values, (QStringList{QStringLiteral("a"), QStringLiteral("b")}));
}

// The head of a data block gives the offset of its last record, negative when the
// block is empty. pxlib counts an empty block as full, so records after one would
// be read from the wrong place; an empty block at the end of the chain is harmless.
TEST_F(OtherKindsTest, DataBlocksMustHoldWhatTheyClaim)
{
    std::vector<QStringList> rows;
    for (int r = 0; r < 400; ++r)
        rows.push_back({QString::number(r)});
    const QString goodFile = folder.file(QStringLiteral("good.db"));
    writeParadox(goodFile, {{"REG", 'A', 6}}, rows);
    const QByteArray good = readBytes(goodFile);
    const int headerSize = static_cast<unsigned char>(good[2]) | (static_cast<unsigned char>(good[3]) << 8);
    const int blockSize = static_cast<unsigned char>(good[5]) * 1024;
    ASSERT_EQ(good[12], 2) << "the fixture should fill one data block and start a second";
    const int perBlock = (blockSize - 6) / 6;

    auto withBlockHolding = [&](int block, int added, int records) {
        QByteArray bytes = good;
        putLe16(bytes, headerSize + (block - 1) * blockSize + 4, added);
        putLe16(bytes, 6, records);
        return bytes;
    };
    const std::vector<std::pair<const char*, QByteArray>> damaged = {
        {"emptyfirst", withBlockHolding(1, -6, 400 - perBlock)},
        // the records counted from the overfull block add up to the header's count
        {"overfull", withBlockHolding(1, blockSize, blockSize / 6 + 1 + 400 - perBlock)},
    };
    for (const auto& [name, bytes] : damaged) {
        const QString file = folder.file(QLatin1String(name) + QStringLiteral(".db"));
        writeBytes(file, bytes);
        expectError(QLatin1String(name), file);
    }

    writeBytes(folder.file(QStringLiteral("emptylast.db")), withBlockHolding(2, -6, perBlock));
    const QStringList lines = dump(QStringLiteral("emptylast"));
    ASSERT_EQ(lines.size(), 1 + perBlock);
    EXPECT_EQ(lines.at(1), QStringLiteral("0"));
    EXPECT_EQ(lines.last(), QString::number(perBlock - 1));
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

// Reading grows with the size of the files: a schema of twenty thousand fields and a value of
// two hundred thousand quotes are read in moments (reading the schema key by key, or looking
// back over the value at every quote, took minutes).
TEST_F(OtherKindsTest, LongSchemasAndValuesAreReadInOnePass)
{
    constexpr int kFields = 20000;
    QByteArray schema("[WIDE]\r\nSEPARATOR = ;\r\n");
    QByteArray values;
    for (int n = 1; n <= kFields; ++n) {
        schema += QByteArray("Field") + QByteArray::number(n) + " = F" + QByteArray::number(n) + ",CHAR,10\r\n";
        values += (n > 1 ? ";" : "") + QByteArray::number(n);
    }
    writeBytes(folder.file(QStringLiteral("wide.sch")), schema);
    writeBytes(folder.file(QStringLiteral("wide.txt")), values + "\r\n");
    TTable wide(session);
    wide.SetDatabaseName(folder.path());
    wide.SetTableName(QStringLiteral("wide"));
    wide.Open();
    ASSERT_EQ(wide.FieldCount(), kFields);
    EXPECT_EQ(wide.Fields(kFields - 1).FieldName(), QStringLiteral("F20000"));
    EXPECT_EQ(wide.Fields(kFields - 1).AsString(), QStringLiteral("20000"));

    const QByteArray quotes = QByteArray("x") + QByteArray(200000, '"');
    writeBytes(folder.file(QStringLiteral("quotes.txt")), "V\r\n" + quotes + "\r\n");
    const QStringList lines = dump(QStringLiteral("quotes"));
    ASSERT_EQ(lines.size(), 2);
    EXPECT_EQ(lines.at(1), QString::fromLatin1(quotes));
}

TEST_F(OtherKindsTest, FixedWidthSchemaCutsEachFieldAtItsOffset)
{
    writeBytes(folder.file(QStringLiteral("fixed.txt")), "Alpha 12  x\r\nBeta  7   y\r\n");
    // Without an offset a field starts where the one before it ends; an offset or a width
    // past the end of the line (however large) gives an empty field.
    struct Case {
        const char* fields;
        QStringList expected;
    };
    const std::vector<Case> cases = {
        {"Field1 = NAME,CHAR,6\nField2 = N,CHAR,4\nField3 = F,CHAR,1,0,10\n",
            {QStringLiteral("NAME|N|F"), QStringLiteral("Alpha|12|x"), QStringLiteral("Beta|7|y")}},
        {"Field1 = NAME,CHAR,2147483647,0,2147483647\nField2 = N,CHAR,5\n",
            {QStringLiteral("NAME|N"), QStringLiteral("|"), QStringLiteral("|")}},
    };
    for (const Case& c : cases) {
        writeBytes(folder.file(QStringLiteral("fixed.sch")), QByteArray("[F]\nFILETYPE = FIXED\n") + c.fields);
        EXPECT_EQ(dump(QStringLiteral("fixed")), c.expected) << c.fields;
    }
    writeBytes(folder.file(QStringLiteral("fixed.sch")), "[F]\nFILETYPE = FIXED\nField1 = NAME,CHAR,-5\n");
    expectError(QStringLiteral("fixed"), QStringLiteral("отрицательная ширина"));
}

TEST_F(OtherKindsTest, RaggedOrBadTextTablesRaise)
{
    writeBytes(folder.file(QStringLiteral("ragged.txt")), "A,B,C\n1,2,3\n4,5\n");
    expectError(QStringLiteral("ragged"), QStringLiteral("строка 3"));
    writeBytes(folder.file(QStringLiteral("long.txt")), "A,B\n1,2,3\n");
    expectError(QStringLiteral("long"), folder.file(QStringLiteral("long.txt")));
    writeBytes(folder.file(QStringLiteral("empty.txt")), "");
    expectError(QStringLiteral("empty"), folder.file(QStringLiteral("empty.txt")));
    writeBytes(folder.file(QStringLiteral("quote.txt")), "A,B\n\"open,2\n");
    expectError(QStringLiteral("quote"), QStringLiteral("строка 2"));
    writeBytes(folder.file(QStringLiteral("typed.sch")), "[T]\nSEPARATOR = ,\nField1 = N,FLOAT,5,0,0\n");
    writeBytes(folder.file(QStringLiteral("typed.txt")), "1\nabc\n");
    expectError(QStringLiteral("typed"), QStringLiteral("abc"));
}

} // namespace

namespace {

// A FIFO in a data folder would keep the selection waiting for a writer forever: no kind of
// table (nor a text table's schema) opens one, and the error names the file and what it is.
TEST_F(OtherKindsTest, AFifoAsATableIsRefusedWithoutWaiting)
{
    writeBytes(folder.file(QStringLiteral("schemed.txt")), "A,B\n1,2\n");
    const struct {
        const char* table;
        const char* fifo;
    } cases[] = {{"chan.dbf", "chan.dbf"}, {"chan.db", "chan.db"}, {"chan.txt", "chan.txt"},
        {"schemed.txt", "schemed.sch"}};
    for (const auto& c : cases) {
        const QString fifo = folder.file(QLatin1String(c.fifo));
        ASSERT_TRUE(makeFifo(fifo)) << c.fifo;
        QString message;
        const bool ended = endsWithin(std::chrono::seconds(10), [&] {
            try {
                dump(QLatin1String(c.table));
            } catch (const EDatabaseError& error) {
                message = error.message();
            }
        }, fifo);
        EXPECT_TRUE(ended) << c.table << " kept the reader waiting";
        EXPECT_TRUE(message.contains(fifo) && message.contains(QStringLiteral("канал (FIFO)")))
            << c.table << ": " << message.toStdString();
        QFile::remove(fifo);
    }
}

} // namespace
