// The table window's model: a two-axis slice of a table, read through its comparison view.
#include "plugins/tableview/tableslicemodel.h"

#include "core/tables/compare.h"
#include "tablefixtures.h"

#include <QAbstractItemModelTester>
#include <QFont>
#include <QSignalSpy>
#include <gtest/gtest.h>

using namespace verola;
using namespace verola::test;
using verola::tableview::TableSliceModel;
using verola::tableview::displayText;

namespace {

QStringList headerTexts(const TableSliceModel& model, Qt::Orientation orientation)
{
    QStringList texts;
    const int count = orientation == Qt::Horizontal ? model.columnCount() : model.rowCount();
    for (int i = 0; i < count; ++i)
        texts.append(model.headerData(i, orientation).toString());
    return texts;
}

// The grid's text of every cell, against the table's own cell at an index built here.
void expectGridReadsTable(const TableSliceModel& model, TTab& table, int rowAxis, int columnAxis)
{
    for (int row = 0; row < model.rowCount(); ++row)
        for (int column = 0; column < model.columnCount(); ++column) {
            CoordIndex v{};
            for (int axis = 0; axis < kAxisCount; ++axis)
                v[axis] = table.FSlice[axis] < 0 ? 0 : table.FSlice[axis];
            v[rowAxis] = row;
            v[columnAxis] = column;
            const float expected = table.GetCell(v);
            const QVariant shown = model.data(model.index(row, column));
            if (isMissing(expected))
                EXPECT_FALSE(shown.isValid()) << row << "," << column;
            else
                EXPECT_EQ(shown.toString(), displayText(expected)) << row << "," << column;
        }
}

class TableSliceModelTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        table = makeRegionTable();
        showRegionsByYears(*table);
        model.setTable(table.get());
    }

    std::unique_ptr<TTab> table;
    TableSliceModel model;
    QAbstractItemModelTester tester{&model, QAbstractItemModelTester::FailureReportingMode::Fatal};
};

} // namespace

TEST_F(TableSliceModelTest, ShowsTheTablesViewAxesWithCaptionsFromTheLists)
{
    EXPECT_EQ(model.rowAxis(), 2);
    EXPECT_EQ(model.columnAxis(), 1);
    EXPECT_EQ(model.rowCount(), 3);
    EXPECT_EQ(model.columnCount(), 4);
    EXPECT_EQ(headerTexts(model, Qt::Horizontal), (QStringList{"Город", "Север", "Юг", "Пригород"}));
    EXPECT_EQ(headerTexts(model, Qt::Vertical), (QStringList{"2018", "2019", "2020"}));
    expectGridReadsTable(model, *table, 2, 1);
    EXPECT_EQ(model.data(model.index(1, 2)).toString(), QStringLiteral("201.5"));
    EXPECT_EQ(model.data(model.index(1, 2), TableSliceModel::ValueRole).toDouble(), 201.5);
}

TEST_F(TableSliceModelTest, AMissingCellIsBlank)
{
    const QModelIndex missing = model.index(2, 3); // 2020, Пригород, NO2
    EXPECT_FALSE(model.data(missing).isValid());
    EXPECT_FALSE(model.data(missing, TableSliceModel::ValueRole).isValid());
    EXPECT_TRUE(model.data(model.index(1, 3)).isValid());
}

TEST_F(TableSliceModelTest, GroupPositionsStandOutFromLeaves)
{
    const QStringList names = headerTexts(model, Qt::Horizontal);
    for (int column = 0; column < model.columnCount(); ++column) {
        const bool group = names[column] == QStringLiteral("Город");
        EXPECT_EQ(model.headerData(column, Qt::Horizontal, TableSliceModel::GroupRole).toBool(), group);
        const QVariant font = model.headerData(column, Qt::Horizontal, Qt::FontRole);
        EXPECT_EQ(font.isValid() && font.value<QFont>().bold(), group) << names[column].toStdString();
        EXPECT_EQ(model.data(model.index(0, column), Qt::BackgroundRole).isValid(), group);
    }
    // Down the grid the tree shows by indentation.
    model.setAxes(1, 2);
    EXPECT_EQ(headerTexts(model, Qt::Vertical), (QStringList{"Город", "  Север", "  Юг", "Пригород"}));
    EXPECT_EQ(model.headerData(1, Qt::Vertical, Qt::ToolTipRole).toString(), QStringLiteral("Север|D"));
}

TEST(TableSliceModelCaptions, FollowTheTreeOfTheListAndNumberPositionsWithoutLines)
{
    TTab table;
    std::array<QStringList, kAxisCount> lists;
    lists[0] = makeList(QStringLiteral("Болезни"),
        {QStringLiteral("\tВсе|T,GROUP:SUM"), QStringLiteral("\t\tОрганы дыхания|T,GROUP:AVER"),
            QStringLiteral("\t\t\tJ00|D"), QStringLiteral("\t\t\tJ01|D"), QStringLiteral("\t\tПрочие|D"),
            QStringLiteral("\t\t\tj00|D")}); // the same key as J00: one position
    shapeTable(table, lists);
    const auto captions = tableview::positionCaptions(table, 0);
    ASSERT_EQ(captions.size(), 5u);
    struct Expected {
        const char* name;
        int depth;
        bool group;
    };
    const Expected expected[] = {{"Все", 1, true}, {"Органы дыхания", 2, true}, {"j00", 3, false},
        {"J01", 3, false}, {"Прочие", 2, true}};
    for (size_t i = 0; i < captions.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(captions[i].name, QString::fromUtf8(expected[i].name));
        EXPECT_EQ(captions[i].depth, expected[i].depth);
        EXPECT_EQ(captions[i].group, expected[i].group);
    }

    TTab unlisted; // cells without lines of their own
    unlisted.Dimension(at({3}));
    const auto numbers = tableview::positionCaptions(unlisted, 0);
    ASSERT_EQ(numbers.size(), 3u);
    EXPECT_EQ(numbers[2].name, QStringLiteral("3"));
    EXPECT_FALSE(numbers[2].group);
}

TEST_F(TableSliceModelTest, ComparisonModesReadThroughTheTablesOwnSetting)
{
    auto background = makeRegionTable();
    background->SetCell(at({0, 0, 0}), 0.0f);       // ratio to zero: missing
    background->SetCell(at({0, 1, 0}), kMissing);   // no background: missing
    background->SetCell(at({0, 2, 0}), 4.0f);
    table->FBackground = background.get();
    struct Case {
        int mode;
        int column; // year 2018, pollutant NO2
        const char* expected; // empty: blank
    };
    const Case cases[] = {
        {0, 0, "0.5"}, {0, 2, "200.5"},
        {1, 0, "0.5"}, {1, 1, ""}, {1, 2, "196.5"}, {1, 3, "0"},
        {2, 0, ""}, {2, 1, ""}, {2, 2, "50.125"}, {2, 3, "1"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "mode " << c.mode << " column " << c.column);
        model.setCompareMode(c.mode);
        EXPECT_EQ(table->FCompareMode, c.mode);
        EXPECT_EQ(model.data(model.index(0, c.column)).toString(), QString::fromUtf8(c.expected));
        EXPECT_EQ(model.value(0, c.column), CompareRead(*table, model.cellIndex(0, c.column)));
    }
    // The window keeps no mode of its own: a change in the table is what the grid shows next.
    table->FCompareMode = 0;
    EXPECT_EQ(model.compareMode(), 0);
    EXPECT_EQ(model.data(model.index(0, 2)).toString(), QStringLiteral("200.5"));
}

TEST_F(TableSliceModelTest, AChangeOfModeOrSliceAnnouncesEveryCell)
{
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    model.setCompareMode(1);
    model.setSlicePosition(0, 1);
    ASSERT_EQ(changed.count(), 2);
    for (const QList<QVariant>& arguments : changed) {
        EXPECT_EQ(arguments[0].toModelIndex(), model.index(0, 0));
        EXPECT_EQ(arguments[1].toModelIndex(), model.index(2, 3));
    }
    model.setCompareMode(7);     // no such mode
    model.setSlicePosition(0, 2); // no such pollutant
    model.setSlicePosition(1, 1); // a shown axis has no slice position
    EXPECT_EQ(changed.count(), 2);
    EXPECT_EQ(table->FCompareMode, 1);
    EXPECT_EQ(table->FSlice[0], 1);
}

TEST_F(TableSliceModelTest, SwitchingTheSliceReadsTheOtherPositionOfThatAxis)
{
    model.setSlicePosition(0, 1);
    EXPECT_EQ(table->FSlice[0], 1);
    EXPECT_EQ(model.slicePosition(0), 1);
    expectGridReadsTable(model, *table, 2, 1);
    EXPECT_EQ(model.data(model.index(2, 3)).toString(), QStringLiteral("1302.5")); // SO2 has that cell
}

TEST_F(TableSliceModelTest, SwitchingAxesWritesTheTablesViewFields)
{
    model.setSlicePosition(0, 1);
    model.setAxes(0, 2); // pollutants down, years across; the regions stand at their first
    EXPECT_EQ(table->FYAxis, 0);
    EXPECT_EQ(table->FXAxis, 2);
    EXPECT_EQ(table->FSlice[0], -2);
    EXPECT_EQ(table->FSlice[2], -1);
    EXPECT_EQ(table->FSlice[1], 0);
    EXPECT_EQ(model.rowCount(), 2);
    EXPECT_EQ(model.columnCount(), 3);
    EXPECT_EQ(headerTexts(model, Qt::Vertical), (QStringList{"NO2", "SO2"}));
    expectGridReadsTable(model, *table, 0, 2);

    model.setSlicePosition(1, 3);
    expectGridReadsTable(model, *table, 0, 2);
    EXPECT_FALSE(model.data(model.index(0, 2)).isValid());

    model.setAxes(2, 0); // turned over
    EXPECT_EQ(model.rowCount(), 3);
    EXPECT_EQ(model.columnCount(), 2);
    expectGridReadsTable(model, *table, 2, 0);

    model.setAxes(2, 2);  // one axis cannot be both
    model.setAxes(2, 12); // nor can an axis that is not there
    EXPECT_EQ(table->FYAxis, 2);
    EXPECT_EQ(table->FXAxis, 0);
}

TEST(TableSliceModelView, ATableWithUnusableViewFieldsIsShownOnTwoDifferentAxesAtPositionsItHas)
{
    auto table = makeRegionTable();
    table->FXAxis = 2;
    table->FYAxis = 2;
    table->FSlice[0] = 5; // there are two pollutants
    table->FSlice[1] = -1;
    TableSliceModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    model.setTable(table.get());
    EXPECT_EQ(model.columnAxis(), 2);
    EXPECT_EQ(model.rowAxis(), 1);
    EXPECT_EQ(table->FSlice[0], 0);
    EXPECT_EQ(table->FSlice[1], -2);
    expectGridReadsTable(model, *table, 1, 2);
}

TEST(TableSliceModelView, ReloadFollowsATableThatWasReshaped)
{
    auto table = makeRegionTable();
    showRegionsByYears(*table);
    TableSliceModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    model.setTable(table.get());
    table->FLists[2].append(QStringLiteral("\t2021|D"));
    table->Redimension(2);
    table->SetCell(at({0, 1, 3}), 7.0f);
    model.reload();
    EXPECT_EQ(model.rowCount(), 4);
    EXPECT_EQ(model.headerData(3, Qt::Vertical).toString(), QStringLiteral("2021"));
    EXPECT_EQ(model.data(model.index(3, 1)).toString(), QStringLiteral("7"));
    model.setTable(nullptr);
    EXPECT_EQ(model.rowCount(), 0);
    EXPECT_EQ(model.columnCount(), 0);
}
