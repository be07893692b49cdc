#include "core/platform/errors.h"
#include "core/platform/textfile.h"
#include "core/tables/tablefile.h"
#include "core/tables/ttab.h"
#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QtEndian>
#include <gtest/gtest.h>
#include <limits>
#include <shapefil.h>

using namespace verola;
using namespace verola::test;

namespace {

// Pollutant x Region table with every cell set from its offset.
void makeTable(TTab& table, int pollutants, int regions)
{
    std::array<QStringList, kAxisCount> lists;
    lists[0] = {"Загрязнители"};
    for (int p = 0; p < pollutants; ++p)
        lists[0].append(QStringLiteral("\tP%1|D").arg(p));
    lists[1] = {"Регионы"};
    for (int r = 0; r < regions; ++r)
        lists[1].append(QStringLiteral("\tR%1|D").arg(r));
    shapeTable(table, lists);
    for (int i = 0; i < table.FCellCount; ++i)
        table.setCellAt(i, static_cast<float>(i) * 0.5f + 0.25f);
}

QByteArray floatsLE(const std::vector<float>& values)
{
    QByteArray bytes(static_cast<qsizetype>(values.size() * 4), 0);
    for (size_t i = 0; i < values.size(); ++i)
        qToLittleEndian(values[i], bytes.data() + i * 4);
    return bytes;
}

} // namespace

TEST(TableFile, SaveAndLoadRoundTrip)
{
    TempFolder folder;
    const QString path = folder.file("a.d1");
    TTab original;
    makeTable(original, 700, 3); // 2,100 cells: two full pages and a partial one
    original.setCellAt(5, kMissing);
    SaveToFile(original, path);
    EXPECT_EQ(QFileInfo(path).size(), 2100 * 4);

    TTab copy;
    makeTable(copy, 700, 3);
    copy.Dimension(copy.positionCounts());
    ASSERT_TRUE(LoadFromFile(copy, path));
    for (int i = 0; i < original.FCellCount; ++i)
        ASSERT_EQ(copy.cellAt(i), original.cellAt(i)) << i;
}

TEST(TableFile, FileIsLittleEndianSinglePrecisionInOffsetOrder)
{
    TempFolder folder;
    TTab table;
    makeTable(table, 2, 2);
    SaveToFile(table, folder.file("t.x0"));
    EXPECT_EQ(readBytes(folder.file("t.x0")), floatsLE({0.25f, 0.75f, 1.25f, 1.75f}));

    TTab page;
    makeTable(page, 1024, 1);
    SaveToFile(page, folder.file("page.x0"));
    EXPECT_EQ(QFileInfo(folder.file("page.x0")).size(), 4096);
}

TEST(TableFile, DoublePrecisionFileIsReadOnlyWhenTheSingleOneIsAbsent)
{
    TempFolder folder;
    const QString path = folder.file("X.d1");
    QByteArray doubles(3 * 8, 0);
    const double values[3] = {1.5, -999.0, 1e10};
    for (int i = 0; i < 3; ++i)
        qToLittleEndian(values[i], doubles.data() + i * 8);
    writeBytes(path + "_", doubles);

    TTab table;
    makeTable(table, 3, 1);
    ASSERT_TRUE(LoadFromFile(table, path));
    EXPECT_EQ(table.cellAt(0), 1.5f);
    EXPECT_TRUE(isMissing(table.cellAt(1)));
    EXPECT_EQ(table.cellAt(2), 1e10f);

    writeBytes(path, floatsLE({7, 8, 9}));
    ASSERT_TRUE(LoadFromFile(table, path));
    EXPECT_EQ(table.cellAt(0), 7.0f);
}

TEST(TableFile, MissingFileLeavesTheTableUntouched)
{
    TempFolder folder;
    TTab table;
    makeTable(table, 2, 2);
    EXPECT_FALSE(LoadFromFile(table, folder.file("none.d0")));
    EXPECT_EQ(table.cellAt(3), 1.75f);
}

TEST(TableFile, ShortFileKeepsWhatWasReadAndRaises)
{
    TempFolder folder;
    const QString path = folder.file("short.d0");
    QByteArray bytes = floatsLE({1, 2, 3});
    bytes.append("\x01\x02", 2); // half a record
    writeBytes(path, bytes);
    TTab table;
    makeTable(table, 5, 1);
    EXPECT_THROW(LoadFromFile(table, path), EInOutError);
    EXPECT_EQ(table.cellAt(0), 1.0f);
    EXPECT_EQ(table.cellAt(2), 3.0f);
    EXPECT_TRUE(isMissing(table.cellAt(3)));
    EXPECT_TRUE(isMissing(table.cellAt(4)));

    writeBytes(path + "_", QByteArray(8, 0));
    QFile::remove(path);
    EXPECT_THROW(LoadFromFile(table, path), EInOutError);
    EXPECT_EQ(table.cellAt(0), 0.0f);
    EXPECT_TRUE(isMissing(table.cellAt(1)));
}

// A FIFO as a table file would keep the open waiting for a writer forever, a device would be
// read as cells: neither is opened, in either precision, and the error says which file and why.
TEST(TableFile, OnlyRegularFilesAreRead)
{
    TempFolder folder;
    const QString fifo = folder.file("fifo.x1");
    ASSERT_TRUE(makeFifo(fifo));
    const QString doubleFifo = folder.file("double.x1");
    ASSERT_TRUE(makeFifo(doubleFifo + u'_'));
    const QString zero = folder.file("zero.x1");
    ASSERT_TRUE(QFile::link(QStringLiteral("/dev/zero"), zero));
    const QString directory = folder.file("folder.x1");
    ASSERT_TRUE(QDir(folder.path()).mkdir("folder.x1"));
    const struct {
        QString name;
        QString shown;
        QString why;
        QString fifo;
    } cases[] = {
        {fifo, fifo, QStringLiteral("канал (FIFO)"), fifo},
        {doubleFifo, doubleFifo + u'_', QStringLiteral("канал (FIFO)"), doubleFifo + u'_'},
        {zero, zero, QStringLiteral("устройство"), fifo},
        {directory, directory, QStringLiteral("папка"), fifo},
    };
    for (const auto& c : cases) {
        TTab table;
        makeTable(table, 2, 2);
        QString loadError;
        QString surplusError;
        const bool ended = endsWithin(std::chrono::seconds(10), [&] {
            try {
                LoadFromFile(table, c.name);
            } catch (const EInOutError& error) {
                loadError = error.message();
            }
            try {
                TableFileSizeProblem(table, c.name);
            } catch (const EInOutError& error) {
                surplusError = error.message();
            }
        }, c.fifo);
        EXPECT_TRUE(ended) << c.name.toStdString() << " kept the reader waiting";
        for (const QString& message : {loadError, surplusError}) {
            EXPECT_TRUE(message.contains(c.shown)) << c.name.toStdString() << ": " << message.toStdString();
            EXPECT_TRUE(message.contains(c.why)) << c.name.toStdString() << ": " << message.toStdString();
        }
        EXPECT_EQ(table.cellAt(3), 1.75f) << "a refused file leaves the table as it was";
    }
}

// The load a person asks for takes only a file of the table's own size: another table's file
// (or one a few bytes off) is refused before a cell changes, naming the sizes.
TEST(TableFile, AChosenFileOfAnotherSizeIsRefusedAndTheTableKept)
{
    TempFolder folder;
    const QByteArray three = floatsLE({1, 2, 3}); // the table's three cells
    QByteArray threeDoubles(3 * 8, 0);
    for (int i = 0; i < 3; ++i)
        qToLittleEndian(double(i + 4), threeDoubles.data() + i * 8);
    const struct {
        const char* name;
        QByteArray bytes;
        bool fits;
        float first;
    } cases[] = {
        {"whole.x1", three, true, 1},
        {"whole2.x1_", threeDoubles, true, 4},      // the double-precision form, chosen itself
        {"plus1.x1", three + QByteArray(1, 7), false, 0},
        {"plus3.x1", three + QByteArray(3, 7), false, 0},
        {"cell.x1", floatsLE({1, 2, 3, 4}), false, 0},
        {"short.x1", floatsLE({1, 2}), false, 0},
        {"doubles.x1", threeDoubles, false, 0},     // doubles without the "_" that says so
        {"plus1.x1_", threeDoubles + QByteArray(1, 7), false, 0},
        {"empty.x1", QByteArray(), false, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = folder.file(QString::fromLatin1(c.name));
        writeBytes(path, c.bytes);
        TTab table;
        makeTable(table, 3, 1); // 0.25, 0.75, 1.25
        if (c.fits) {
            EXPECT_TRUE(LoadTableFileOfItsSize(table, path));
            EXPECT_EQ(table.cellAt(0), c.first);
            continue;
        }
        try {
            LoadTableFileOfItsSize(table, path);
            ADD_FAILURE() << "the file was taken";
        } catch (const EInOutError& error) {
            const QString text = error.message();
            EXPECT_TRUE(text.contains(path)) << text.toStdString();
            EXPECT_TRUE(text.contains(QStringLiteral("%1 байт").arg(c.bytes.size()))) << text.toStdString();
            EXPECT_TRUE(text.contains(QStringLiteral("12 байт"))) << text.toStdString();
            EXPECT_TRUE(text.contains(QStringLiteral("24 байт"))) << text.toStdString();
        }
        EXPECT_EQ(table.cellAt(0), 0.25f);
        EXPECT_EQ(table.cellAt(2), 1.25f);
    }
    // A file that is not there is no refusal: nothing to load.
    TTab table;
    makeTable(table, 3, 1);
    EXPECT_FALSE(LoadTableFileOfItsSize(table, folder.file("none.x1")));
    EXPECT_TRUE(TableFileSizeProblem(table, folder.file("none.x1")).isEmpty());
}

// What the configuration's open reads as far as it goes and then names: a file one to three
// bytes too long is read whole cells first, like any other longer file, but does not fit.
TEST(TableFile, AFewBytesBeyondTheCellsDoNotFit)
{
    TempFolder folder;
    for (int extra = 0; extra <= 4; ++extra) {
        SCOPED_TRACE(extra);
        const QString path = folder.file(QStringLiteral("t%1.x1").arg(extra));
        writeBytes(path, floatsLE({1, 2}) + QByteArray(extra, 0));
        TTab table;
        makeTable(table, 2, 1);
        ASSERT_TRUE(LoadFromFile(table, path));
        EXPECT_EQ(table.cellAt(1), 2.0f);
        EXPECT_EQ(TableFileSizeProblem(table, path).isEmpty(), extra == 0);
    }
}

TEST(TableFile, LoadIntoZeroCellsReadsNothing)
{
    TempFolder folder;
    writeBytes(folder.file("z.d0"), floatsLE({1, 2}));
    TTab table;
    table.FLists[0] = {"Header only"};
    for (int k = 0; k < kAxisCount; ++k)
        table.BuildIndex(k);
    ASSERT_TRUE(LoadFromFile(table, folder.file("z.d0")));
    EXPECT_EQ(table.FCellCount, 0);
}

TEST(TableFile, FailedSaveKeepsTheEarlierFile)
{
    TempFolder folder;
    TTab table;
    makeTable(table, 2, 2);
    EXPECT_THROW(SaveToFile(table, folder.file("missing-folder/t.d0")), EInOutError);

    // A read-only folder refuses the temporary file: the old table file must stay whole.
    const QString path = folder.file("t.d0");
    writeBytes(path, floatsLE({9, 9, 9, 9}));
    QFile::setPermissions(folder.path(), QFile::ReadOwner | QFile::ExeOwner);
    const bool canStillWrite = QFile(folder.file("probe")).open(QIODevice::WriteOnly); // root ignores permissions
    if (!canStillWrite) {
        EXPECT_THROW(SaveToFile(table, path), EInOutError);
        EXPECT_EQ(readBytes(path), floatsLE({9, 9, 9, 9}));
    }
    QFile::setPermissions(folder.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

namespace {

struct DbfRecord {
    QStringList texts;
    double value;
};

std::vector<DbfRecord> readDbf(const QString& path, QStringList& fieldNames)
{
    std::vector<DbfRecord> records;
    DBFHandle dbf = DBFOpen(QFile::encodeName(path).constData(), "rb");
    if (!dbf)
        return records;
    const int fields = DBFGetFieldCount(dbf);
    fieldNames.clear();
    for (int f = 0; f < fields; ++f) {
        char name[12] = {};
        DBFGetFieldInfo(dbf, f, name, nullptr, nullptr);
        fieldNames.append(QString::fromLatin1(name));
    }
    for (int r = 0; r < DBFGetRecordCount(dbf); ++r) {
        DbfRecord record;
        for (int f = 0; f < fields - 1; ++f)
            record.texts.append(decodeCp1251(DBFReadStringAttribute(dbf, r, f)));
        record.value = DBFReadDoubleAttribute(dbf, r, fields - 1);
        records.push_back(record);
    }
    DBFClose(dbf);
    return records;
}

} // namespace

TEST(TableFile, ExportDbfWritesOneRecordPerPresentCell)
{
    TempFolder folder;
    TTab table;
    std::array<QStringList, kAxisCount> lists;
    lists[1] = {"Регионы", "\tМосква|D", "\tОчень длинное название региона|D"};
    lists[7] = {"Отрасли", "\tТЭЦ|T,12", "\tЗавод|T,7,45"};
    shapeTable(table, lists);
    table.SetCell(at({0, 0, 0, 0, 0, 0, 0, 0}), 1.5f);
    table.SetCell(at({0, 1, 0, 0, 0, 0, 0, 1}), -998.4f);
    table.SetCell(at({0, 0, 0, 0, 0, 0, 0, 1}), -999.4f); // rounds to -999: not exported
    table.SetCell(at({0, 1, 0, 0, 0, 0, 0, 0}), -998.6f); // rounds to -999 too

    RecordingFeedback feedback;
    const QString path = folder.file("export.dbf");
    const DbfExportResult names
        = ExportDbf(table, path, "POL", true, 7, 10, 1024 * 1024, 20, &feedback, QStringLiteral("Труба"));
    EXPECT_TRUE(names.created);
    EXPECT_EQ(names.records, 2);
    QStringList fields;
    std::vector<DbfRecord> records = readDbf(path, fields);
    EXPECT_EQ(fields, (QStringList{"RegionId", "IndustryId", "POL"}));
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].texts, (QStringList{"Москва", "ТЭЦ"}));
    EXPECT_DOUBLE_EQ(records[0].value, 1.5);
    EXPECT_EQ(records[1].texts, (QStringList{"Очень длинное назван", "Завод"}));
    EXPECT_NEAR(records[1].value, -998.4, 1e-4);

    ExportDbf(table, path, "POL", false, 7, 10, 1024 * 1024, 20, &feedback, QStringLiteral("Труба"));
    records = readDbf(path, fields);
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].texts.at(1), QStringLiteral("Труба_12"));
    EXPECT_EQ(records[1].texts.at(1), QStringLiteral("Труба_45"));

    // The language driver byte marks code page 1251 for other dBase readers.
    EXPECT_EQ(static_cast<unsigned char>(readBytes(path).at(29)), 0xC9);
    EXPECT_TRUE(feedback.messages.isEmpty());
}

TEST(TableFile, ExportDbfRefusals)
{
    TempFolder folder;
    RecordingFeedback feedback;
    TTab single;
    shapeTable(single, {});
    single.SetCell(at({}), 3.0f);
    EXPECT_FALSE(ExportDbf(single, folder.file("one.dbf"), "V", true, 7, 10, 1024, 20, &feedback, "T").created);
    EXPECT_FALSE(QFile::exists(folder.file("one.dbf")));

    TTab table;
    std::array<QStringList, kAxisCount> lists;
    lists[0] = {"H", "\ta|D", "\tb|D"};
    shapeTable(table, lists);
    EXPECT_FALSE(ExportDbf(table, folder.file("none.dbf"), "", true, 7, 10, 1024, 20, &feedback, "T").created);
    EXPECT_FALSE(ExportDbf(table, folder.file("none.dbf"), "V", true, 7, 10, 1024, 20, nullptr, "T").created);

    const std::int64_t huge = std::int64_t(1) << 60;
    EXPECT_FALSE(ExportDbf(table, folder.file("full.dbf"), "V", true, 7, 10, huge, 20, &feedback, "T").created);
    EXPECT_EQ(feedback.messages, QStringList{"Мало места на выбранном диске"});
}

// The value field is one classic dBase readers take (N, 20 wide, 10 decimals); what it cannot
// hold, infinity and NaN included, is written as -999.
TEST(TableFile, ExportDbfWritesValuesItCannotStoreAsMissing)
{
    struct Case {
        float cell;
        const char* stored;
    };
    const std::vector<Case> cases = {{std::numeric_limits<float>::infinity(), "-999"},
        {-std::numeric_limits<float>::infinity(), "-999"}, {std::numeric_limits<float>::quiet_NaN(), "-999"},
        {3.0e9f, "-999"}, {123456.5f, "123456.5000000000"}, {-2.25f, "-2.2500000000"}};
    TempFolder folder;
    TTab table;
    std::array<QStringList, kAxisCount> lists;
    lists[0] = {"H"};
    for (size_t i = 0; i < cases.size(); ++i)
        lists[0].append(QStringLiteral("\tv%1|D").arg(i));
    shapeTable(table, lists);
    for (size_t i = 0; i < cases.size(); ++i)
        table.setCellAt(static_cast<int>(i), cases[i].cell);
    RecordingFeedback feedback;
    const QString path = folder.file("values.dbf");
    const DbfExportResult result = ExportDbf(table, path, "V", true, 7, 10, 1024 * 1024, 20, &feedback, "T");
    EXPECT_EQ(result.records, static_cast<std::int64_t>(cases.size()));
    EXPECT_EQ(result.unstorableValues, 4);

    DBFHandle dbf = DBFOpen(QFile::encodeName(path).constData(), "rb");
    ASSERT_NE(dbf, nullptr);
    int width = 0, decimals = 0;
    EXPECT_EQ(DBFGetFieldInfo(dbf, 1, nullptr, &width, &decimals), FTDouble);
    EXPECT_EQ(DBFGetNativeFieldType(dbf, 1), 'N');
    EXPECT_LE(width, 20);
    EXPECT_EQ(decimals, 10);
    for (size_t i = 0; i < cases.size(); ++i)
        EXPECT_EQ(QString::fromLatin1(DBFReadStringAttribute(dbf, static_cast<int>(i), 1)).trimmed(),
            QString::fromLatin1(cases[i].stored)) << i;
    DBFClose(dbf);
}

// A value field name a dBase field cannot hold, or a folder that does not exist, is refused
// as the file error it is, before anything is written.
TEST(TableFile, ExportDbfRefusesFieldNamesAndFoldersItCannotUse)
{
    TempFolder folder;
    TTab table;
    std::array<QStringList, kAxisCount> lists;
    lists[0] = {"H", "\ta|D", "\tb|D"};
    shapeTable(table, lists);
    table.setCellAt(0, 1.0f);
    struct Case {
        QString file;
        QString field;
    };
    const std::vector<Case> cases = {{folder.file("missing/out.dbf"), "V"}, {folder.file("a.dbf"), "ПОЛЕ"},
        {folder.file("b.dbf"), "1ST"}, {folder.file("c.dbf"), "A B"}, {folder.file("d.dbf"), "VAL-1"}};
    for (const Case& c : cases) {
        RecordingFeedback feedback;
        EXPECT_THROW(ExportDbf(table, c.file, c.field, true, 7, 10, 1024, 20, &feedback, "T"), EInOutError)
            << c.field.toStdString();
        EXPECT_TRUE(feedback.messages.isEmpty()) << feedback.messages.join(' ').toStdString();
        EXPECT_FALSE(QFile::exists(c.file));
    }
    RecordingFeedback feedback;
    EXPECT_TRUE(ExportDbf(table, folder.file("ok.dbf"), "Value_2", true, 7, 10, 1024, 20, &feedback, "T").created);
}

TEST(TableFile, ExportDbfStopsAtTheSizeLimitKeepingWhatWasWritten)
{
    TempFolder folder;
    TTab table;
    std::array<QStringList, kAxisCount> lists;
    lists[0] = {"H"};
    for (int i = 0; i < 100; ++i)
        lists[0].append(QStringLiteral("\tv%1|D").arg(i));
    shapeTable(table, lists);
    for (int i = 0; i < 100; ++i)
        table.setCellAt(i, float(i));
    RecordingFeedback feedback;
    // Header 32 + 2 * 32 + 1 bytes, records 1 + 20 + 20 bytes: the limit allows 10 records.
    const std::int64_t limit = 97 + 10 * 41;
    const DbfExportResult result
        = ExportDbf(table, folder.file("limit.dbf"), "V", true, 7, 10, limit, 20, &feedback, "T");
    EXPECT_TRUE(result.stoppedAtLimit);
    EXPECT_EQ(result.records, 11);
    QStringList fields;
    EXPECT_EQ(readDbf(folder.file("limit.dbf"), fields).size(), 11u);
}
