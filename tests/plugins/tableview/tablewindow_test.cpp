// The table window driven offscreen as a person would: combos, the grid, the tool bar.
#include "plugins/tableview/tablewindow.h"

#include "plugins/api/pluginhandles.h"
#include "plugins/tableview/slicechart.h"
#include "tablefixtures.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QFileDialog>
#include <QHeaderView>
#include <QLineEdit>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <gtest/gtest.h>

using namespace verola;
using namespace verola::test;
using verola::tableview::TableSliceModel;
using verola::tableview::TableWindow;
using verola::tableview::displayText;

namespace {

// Stands for the main window: remembers the notifications a plug-in window posts to it.
class ApplicationWindow : public QWidget {
public:
    QList<int> notifications;

protected:
    bool event(QEvent* event) override
    {
        if (event->type() >= QEvent::User + 100) {
            notifications.append(event->type() - VEROLA_NOTIFY_EVENT_BASE);
            return true;
        }
        return QWidget::event(event);
    }
};

// What the window told the map window through callbacks A and B.
struct MapCalls {
    struct SetMap {
        int p1;
        CoordIndex index;
        int p3;
        int p4;
        QString kind;
        QString unit;
    };
    std::vector<SetMap> setMap;
    QStringList names;
};
MapCalls* mapCalls = nullptr;

void recordSetMap(int p1, const int* index12, int p3, int p4, VerolaString p5, VerolaString p6)
{
    CoordIndex index{};
    std::copy(index12, index12 + kAxisCount, index.begin());
    mapCalls->setMap.push_back({p1, index, p3, p4, plugin::fromString(p5), plugin::fromString(p6)});
}

int recordName(VerolaString name)
{
    mapCalls->names.append(plugin::fromString(name));
    return 0;
}

// Moves a combo to the item of that text with the keyboard, as a user would.
void chooseItem(QComboBox* box, const QString& text)
{
    ASSERT_NE(box, nullptr);
    QTest::keyClick(box, Qt::Key_Home);
    for (int i = 0; i < box->count() && box->currentText().trimmed() != text; ++i)
        QTest::keyClick(box, Qt::Key_Down);
    ASSERT_EQ(box->currentText().trimmed(), text);
}

void clickToolButton(QMainWindow& window, QAction* action)
{
    QWidget* button = nullptr;
    for (QToolBar* bar : window.findChildren<QToolBar*>())
        if (QWidget* w = bar->widgetForAction(action))
            button = w;
    ASSERT_NE(button, nullptr) << action->text().toStdString();
    QTest::mouseClick(button, Qt::LeftButton);
}

void clickCell(QTableView* grid, int row, int column, Qt::KeyboardModifiers modifiers = {})
{
    const QRect rect = grid->visualRect(grid->model()->index(row, column));
    ASSERT_TRUE(rect.isValid());
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, modifiers, rect.center());
}

class TableWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        table = makeRegionTable();
        showRegionsByYears(*table);
        background = makeRegionTable();
        mapCalls = &calls;
        TableWindow::setDescription(QStringLiteral("Demo"), folder.path());
        window = new TableWindow(&application);
        window->setTables(table.get(), background.get(), 0);
        window->loadTable(QStringLiteral("Загрязнения"), QStringLiteral("мг/м³"), nullptr, nullptr);
        window->setCallbacks(recordSetMap, recordName);
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
    }
    void TearDown() override
    {
        delete window;
        mapCalls = nullptr;
    }

    TempFolder folder;
    ApplicationWindow application;
    std::unique_ptr<TTab> table;
    std::unique_ptr<TTab> background;
    MapCalls calls;
    TableWindow* window = nullptr;
};

} // namespace

TEST_F(TableWindowTest, IsAWindowOfTheMainWindowTitledWithKindUnitAndConfiguration)
{
    EXPECT_TRUE(window->isWindow());
    EXPECT_EQ(window->parentWidget(), &application);
    EXPECT_TRUE(window->windowTitle().contains(QStringLiteral("Загрязнения")));
    EXPECT_TRUE(window->windowTitle().contains(QStringLiteral("мг/м³")));
    EXPECT_TRUE(window->windowTitle().contains(QStringLiteral("Demo")));
    TableWindow::setDescription(QStringLiteral("Other"), folder.path());
    EXPECT_TRUE(window->windowTitle().contains(QStringLiteral("Other")));
    EXPECT_EQ(window->defaultCsvFile(), folder.file(QStringLiteral("Other.csv")));
}

TEST_F(TableWindowTest, ChoosingAnAxisInTheComboShowsItDownTheGridAndOffersTheOthersAsSlices)
{
    EXPECT_EQ(window->RowAxisBox->currentText(), QStringLiteral("Период времени (3)"));
    EXPECT_EQ(window->ColumnAxisBox->currentText(), QStringLiteral("Регион (4)"));
    ASSERT_NE(window->SliceBoxes[0], nullptr);
    EXPECT_EQ(window->SliceBoxes[2], nullptr);

    chooseItem(window->RowAxisBox, QStringLiteral("Загрязнитель (2)"));
    EXPECT_EQ(table->FYAxis, 0);
    EXPECT_EQ(table->FXAxis, 1);
    EXPECT_EQ(window->Grid->model()->rowCount(), 2);
    EXPECT_EQ(window->SliceBoxes[0], nullptr);
    ASSERT_NE(window->SliceBoxes[2], nullptr);
    EXPECT_EQ(window->SliceBoxes[2]->count(), 3);

    // Choosing the column axis for the rows turns the grid over.
    chooseItem(window->RowAxisBox, QStringLiteral("Регион (4)"));
    EXPECT_EQ(table->FYAxis, 1);
    EXPECT_EQ(table->FXAxis, 0);
    EXPECT_EQ(window->ColumnAxisBox->currentText(), QStringLiteral("Загрязнитель (2)"));
    EXPECT_EQ(window->Grid->model()->headerData(1, Qt::Vertical).toString(), QStringLiteral("  Север"));
}

TEST_F(TableWindowTest, ChangingASliceShowsThatPositionsCells)
{
    QComboBox* pollutants = window->SliceBoxes[0];
    ASSERT_NE(pollutants, nullptr);
    EXPECT_EQ(pollutants->currentText(), QStringLiteral("NO2"));
    chooseItem(pollutants, QStringLiteral("SO2"));
    EXPECT_EQ(table->FSlice[0], 1);
    const QAbstractItemModel* grid = window->Grid->model();
    EXPECT_EQ(grid->data(grid->index(2, 3)).toString(), displayText(table->GetCell(at({1, 3, 2}))));
    EXPECT_EQ(grid->data(grid->index(2, 3)).toString(), QStringLiteral("1302.5"));
}

TEST_F(TableWindowTest, TheModeComboSetsTheTablesComparisonMode)
{
    background->SetCell(at({0, 2, 1}), 2.0f);
    chooseItem(window->ModeBox, QStringLiteral("Относительно фона"));
    EXPECT_EQ(table->FCompareMode, 2);
    const QAbstractItemModel* grid = window->Grid->model();
    EXPECT_EQ(grid->data(grid->index(1, 2)).toString(), QStringLiteral("100.75")); // 201.5 / 2
    chooseItem(window->ModeBox, QStringLiteral("Минус фон"));
    EXPECT_EQ(table->FCompareMode, 1);
    EXPECT_EQ(grid->data(grid->index(1, 2)).toString(), QStringLiteral("199.5"));

    // A mode handed over with the tables is shown in the combo.
    window->setTables(table.get(), background.get(), 0);
    EXPECT_EQ(window->ModeBox->currentText(), QStringLiteral("Таблица"));
    EXPECT_EQ(table->FCompareMode, 0);
}

TEST_F(TableWindowTest, CopyPutsTheSelectedCellsOnTheClipboardAsTabSeparatedLines)
{
    QApplication::clipboard()->clear();
    clickCell(window->Grid, 1, 2);
    clickCell(window->Grid, 2, 3, Qt::ShiftModifier);
    QTest::keyClick(window->Grid, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("201.5\t301.5\n202.5\t")); // (2, 3) is missing

    // The grid shows six digits; a copy carries the whole single-precision value.
    table->SetCell(at({0, 0, 0}), 2.0f / 3.0f);
    const QAbstractItemModel* grid = window->Grid->model();
    EXPECT_EQ(grid->data(grid->index(0, 0)).toString(), QStringLiteral("0.666667"));
    clickCell(window->Grid, 0, 0);
    clickToolButton(*window, window->CopyAction);
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("0.6666667"));
}

TEST_F(TableWindowTest, CsvExportWritesTheGridToTheChosenFile)
{
    table->SetCell(at({0, 1, 0}), 2.0f / 3.0f); // written whole, not as the grid shows it
    const QString file = folder.file(QStringLiteral("grid.csv"));
    bool dialogSeen = false;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        dialogSeen = true;
        EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Сохранить таблицу как CSV файл"));
        EXPECT_EQ(dialog->selectedFiles().value(0), folder.file(QStringLiteral("Demo.csv")));
        auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        ASSERT_NE(name, nullptr);
        name->setText(file);
        QTest::keyClick(name, Qt::Key_Return);
    });
    clickToolButton(*window, window->ExportAction);
    ASSERT_TRUE(dialogSeen);
    const QByteArray bytes = readBytes(file);
    ASSERT_TRUE(bytes.startsWith("\xEF\xBB\xBF"));
    const QStringList lines = QString::fromUtf8(bytes.mid(3)).split(QStringLiteral("\r\n"));
    EXPECT_EQ(lines, (QStringList{"Период времени,Город,Север,Юг,Пригород", "2018,0.5,0.6666667,200.5,300.5",
                         "2019,1.5,101.5,201.5,301.5", "2020,2.5,102.5,202.5,", ""}));
}

TEST_F(TableWindowTest, ACsvFileThatCannotBeWrittenIsReported)
{
    EXPECT_FALSE(window->exportCsv(folder.file(QStringLiteral("no/such/folder/grid.csv"))));
    EXPECT_TRUE(window->exportCsv(folder.file(QStringLiteral("grid.csv"))));
}

TEST_F(TableWindowTest, TheChartFollowsTheCurrentRowOrColumn)
{
    clickCell(window->Grid, 2, 1);
    EXPECT_EQ(window->Chart->title(), QStringLiteral("Период времени: 2020"));
    EXPECT_EQ(window->Chart->points(), (QList<QPointF>{{0, 2.5}, {1, 102.5}, {2, 202.5}})); // Пригород missing
    chooseItem(window->ChartAlongBox, QStringLiteral("График столбца"));
    EXPECT_EQ(window->Chart->title(), QStringLiteral("Регион: Север"));
    EXPECT_EQ(window->Chart->points(), (QList<QPointF>{{0, 100.5}, {1, 101.5}, {2, 102.5}}));
    chooseItem(window->SliceBoxes[0], QStringLiteral("SO2"));
    EXPECT_EQ(window->Chart->points(), (QList<QPointF>{{0, 1100.5}, {1, 1101.5}, {2, 1102.5}}));
}

TEST_F(TableWindowTest, TheChartLeavesAGapAtAMissingCell)
{
    // Year 2020 of NO2: Город 2.5, Север missing, Юг 202.5, Пригород missing; 2019 has no gap.
    table->SetCell(at({0, 1, 2}), kMissing);
    window->model().reload();
    clickCell(window->Grid, 2, 0);
    EXPECT_EQ(window->Chart->runs(), (QList<QList<QPointF>>{{{0, 2.5}}, {{2, 202.5}}}));
    EXPECT_EQ(window->Chart->chart()->series().size(), 2) << "no line joins Город to Юг";
    clickCell(window->Grid, 1, 0);
    EXPECT_EQ(window->Chart->chart()->series().size(), 1);
    EXPECT_EQ(window->Chart->points(), (QList<QPointF>{{0, 1.5}, {1, 101.5}, {2, 201.5}, {3, 301.5}}));
}

// Names too long for the room under the chart are written upright, cut, and at every few
// positions when even upright they would overlap; with room enough they stand across, whole.
TEST(SliceChartLabels, PositionNamesAreWrittenSoThatTheyFitTheChart)
{
    TTab table;
    std::array<QStringList, kAxisCount> lists;
    QStringList districts;
    for (int i = 0; i < 24; ++i)
        districts.append(QStringLiteral("\tМикрорайон Заречный-Промышленный %1|D").arg(i));
    lists[1] = makeList(QStringLiteral("Регионы"), districts);
    lists[2] = makeList(QStringLiteral("Годы"), {QStringLiteral("\t2018|D")});
    shapeTable(table, lists);
    showRegionsByYears(table);
    for (int r = 0; r < 24; ++r)
        table.SetCell(at({0, r, 0}), float(r));
    TableSliceModel model;
    model.setTable(&table);
    verola::tableview::SliceChart chart;
    const struct {
        QSize size;
        int angle;
        bool everyName;
    } cases[] = {{{300, 260}, -90, false}, {{3000, 700}, -90, true}, {{600, 150}, 0, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.size.width());
        chart.resize(c.size);
        chart.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&chart));
        chart.plot(model, Qt::Horizontal, 0, QString());
        const QStringList labels = chart.axisLabels();
        ASSERT_EQ(labels.size(), 24);
        EXPECT_EQ(chart.axisLabelAngle(), c.angle);
        const QFontMetrics metrics(chart.chart()->axes(Qt::Horizontal).first()->labelsFont());
        // Upright a name has a quarter of the height; across, the room of the positions up to
        // the next name written.
        const double perPosition = (chart.viewport()->width() - 90.0) / 24;
        int written = 0;
        int step = 0;
        for (int i = 0; i < 24; ++i) {
            if (labels[i].isEmpty())
                continue;
            if (written == 1)
                step = i;
            ++written;
            EXPECT_TRUE(labels[i].startsWith(QStringLiteral("Ми"))) << labels[i].toStdString();
            if (c.angle != 0)
                EXPECT_LE(metrics.horizontalAdvance(labels[i]), chart.viewport()->height() / 4);
        }
        if (c.angle == 0)
            for (const QString& label : labels)
                EXPECT_LE(metrics.horizontalAdvance(label), std::max(1, step) * perPosition);
        EXPECT_FALSE(labels[0].isEmpty());
        if (c.everyName)
            EXPECT_EQ(written, 24);
        else
            EXPECT_LT(written, 24);
    }
    chart.resize(1200, 400);
    model.setAxes(1, 2); // the years across: one short name
    chart.plot(model, Qt::Horizontal, 0, QString());
    EXPECT_EQ(chart.axisLabels(), QStringList{QStringLiteral("2018")});
    EXPECT_EQ(chart.axisLabelAngle(), 0);
}

TEST_F(TableWindowTest, TheMapFollowsTheCurrentCellAndTheMapButtonOpensIt)
{
    clickCell(window->Grid, 1, 2);
    ASSERT_FALSE(calls.setMap.empty());
    const MapCalls::SetMap& moved = calls.setMap.back();
    EXPECT_EQ(moved.p1, 1);
    EXPECT_EQ(moved.index, at({0, 2, 1}));
    EXPECT_EQ(moved.p3, 2);
    EXPECT_EQ(moved.p4, 1);
    EXPECT_EQ(moved.kind, QStringLiteral("Загрязнения"));
    EXPECT_EQ(moved.unit, QStringLiteral("мг/м³"));

    QTest::keyClick(window->Grid, Qt::Key_Right);
    EXPECT_EQ(calls.setMap.back().index, at({0, 3, 1}));
    EXPECT_GE(calls.setMap.back().p4, 0);

    const size_t before = calls.setMap.size();
    clickToolButton(*window, window->MapAction);
    ASSERT_EQ(calls.setMap.size(), before + 1);
    EXPECT_EQ(calls.setMap.back().p4, -1);
    EXPECT_EQ(calls.setMap.back().index, at({0, 3, 1}));
}

TEST_F(TableWindowTest, ClickingARegionCaptionAsksTheMapForThatRegion)
{
    QHeaderView* regions = window->Grid->horizontalHeader();
    QTest::mouseClick(regions->viewport(), Qt::LeftButton, {},
        QPoint(regions->sectionViewportPosition(2) + regions->sectionSize(2) / 2, regions->height() / 2));
    EXPECT_EQ(calls.names, QStringList{"Юг"});
    // Years are not regions.
    QHeaderView* years = window->Grid->verticalHeader();
    QTest::mouseClick(years->viewport(), Qt::LeftButton, {},
        QPoint(years->width() / 2, years->sectionViewportPosition(0) + years->sectionSize(0) / 2));
    EXPECT_EQ(calls.names, QStringList{"Юг"});
}

TEST_F(TableWindowTest, ClosingAndHidingAreLeftToTheMainWindow)
{
    window->close();
    clickToolButton(*window, window->HideAction);
    QCoreApplication::sendPostedEvents(&application);
    EXPECT_EQ(application.notifications, (QList<int>{VEROLA_NOTIFY_TABLE_CLOSE, VEROLA_NOTIFY_TABLE_HIDE}));
    EXPECT_TRUE(window->isVisible());
}

TEST(TableWindowAlone, ClosesAndHidesByItselfWithoutAMainWindow)
{
    TableWindow window;
    window.show();
    window.hideClick();
    EXPECT_FALSE(window.isVisible());
    window.show();
    EXPECT_TRUE(window.close());
    EXPECT_FALSE(window.isVisible());
}

TEST_F(TableWindowTest, ATableRefilledInTheBackgroundIsReadAgainWhenTheWindowIsLoaded)
{
    table->FLists[1].append(QStringLiteral("\tЗаречье|D"));
    table->Redimension(1);
    window->loadTable(QStringLiteral("Загрязнения"), QStringLiteral("мг/м³"), nullptr, nullptr);
    EXPECT_EQ(window->Grid->model()->columnCount(), 5);
    EXPECT_EQ(window->ColumnAxisBox->currentText(), QStringLiteral("Регион (5)"));
}

TEST_F(TableWindowTest, ViewAxesSetBehindItsBackAreShownWhenTheWindowComesToTheFrontAgain)
{
    QWidget mainWindow;
    mainWindow.show();
    QApplication::setActiveWindow(&mainWindow);
    CoordIndex view{}; // as the main window's dBase export sets them: across 0, down 1
    view[0] = -1;
    view[1] = -2;
    table->SetViewAxes(view);
    QApplication::setActiveWindow(window);
    ASSERT_TRUE(window->isActiveWindow());
    EXPECT_EQ(window->Grid->model()->rowCount(), 4);
    EXPECT_EQ(window->Grid->model()->columnCount(), 2);
    EXPECT_EQ(window->RowAxisBox->currentText(), QStringLiteral("Регион (4)"));
    EXPECT_EQ(window->SliceBoxes[0], nullptr);
    ASSERT_NE(window->SliceBoxes[2], nullptr);
    EXPECT_EQ(window->SliceBoxes[2]->currentText().trimmed(), QStringLiteral("2018"));
}
