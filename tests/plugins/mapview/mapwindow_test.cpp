// The map window driven as a person would: clicks on the map, the settings dialog, the tool bar,
// closing; and the slice the table window asks for.
#include "mapfixture.h"

#include "plugins/api/pluginhandles.h"
#include "plugins/mapview/mapcanvas.h"
#include "plugins/mapview/mapwindow.h"

#include "core/app/flux.h"
#include "core/platform/textfile.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

using namespace verola;
using namespace verola::mapview;
using namespace verola::mapview::test;

namespace {

// What the program keeps for the map: MapList, and the list replacements asked for.
QStringList g_mapList;
struct ListRequest {
    int axis;
    QStringList lines;
    QString kind;
};
std::vector<ListRequest> g_listRequests;

void keepMapList(VerolaList* list, int toMapList)
{
    QStringList* lines = plugin::listOf(list);
    if (toMapList)
        g_mapList = *lines;
    else
        *lines = g_mapList;
}

VerolaTable* replaceList(int axis, VerolaList* lines, VerolaString kind)
{
    g_listRequests.push_back({axis, *plugin::listOf(lines), plugin::fromString(kind)});
    return nullptr;
}

// The main window: remembers the notifications it receives.
class MainWindowStandIn : public QWidget {
public:
    QList<int> notifications;

protected:
    bool event(QEvent* e) override
    {
        if (e->type() > VEROLA_NOTIFY_EVENT_BASE + 1000) {
            notifications.append(e->type() - VEROLA_NOTIFY_EVENT_BASE);
            return true;
        }
        return QWidget::event(e);
    }
};

class MapWindowTest : public ::testing::Test {
protected:
    MapWindowTest()
    {
        g_mapList = QStringList{"object 1", "Shape=regions.shp", "NameField=NAME"};
        g_listRequests.clear();
        window = new MapWindow(&mainWindow);
        window->setCallbacks(replaceList, keepMapList, nullptr);
        window->setTables(&study.table, &study.table, 0);
        window->loadMap(study.data.path(), nullptr);
        window->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(window));
    }

    int region(const char* name) { return window->model().regionNamed(QString::fromUtf8(name)); }
    void clickOn(const char* name, Qt::KeyboardModifiers modifiers = {})
    {
        MapCanvas& canvas = window->canvas();
        // Beside the label, inside the region.
        const QPoint point = canvas.labelPointOf(region(name)) + QPoint(0, 15);
        ASSERT_EQ(canvas.regionAt(point), region(name));
        QTest::mouseClick(canvas.viewport(), Qt::LeftButton, modifiers, point);
    }
    QAction* action(const char* name) { return window->findChild<QAction*>(name); }

    SmallStudy study;
    MainWindowStandIn mainWindow;
    MapWindow* window;
};

} // namespace

TEST_F(MapWindowTest, AClickOnARegionSelectsItAndShowsItsNameAndValue)
{
    clickOn("Восточный");
    EXPECT_EQ(window->statusText(), "Восточный: 60");
    EXPECT_EQ(window->model().selection(), QList<int>{region("Восточный")});
    EXPECT_EQ(window->model().showObjectFlag(), kEast);

    clickOn("Северный", Qt::ControlModifier);
    EXPECT_EQ(window->model().selection(), (QList<int>{region("Восточный"), region("Северный")}));

    clickOn("Озёрный");
    EXPECT_EQ(window->statusText(), "Озёрный: нет данных");
    EXPECT_EQ(window->model().selection(), QList<int>{region("Озёрный")});
    EXPECT_EQ(window->model().showObjectFlag(), kNothingSelected);
}

TEST_F(MapWindowTest, TheMapFollowsTheSliceTheTableWindowAsksFor)
{
    CoordIndex index = SmallStudy::year(1);
    index[1] = kSouth; // the current cell's region: the whole axis is shown anyway
    window->setMapFromTable(1, nullptr, index.data(), "Загрязнения", "мг/м³");
    EXPECT_EQ(window->model().valueOf(region("Северный")), 60.0);
    EXPECT_EQ(window->model().valueOf(region("Восточный")), 10.0);
    EXPECT_EQ(window->headingText(), "Загрязнения — 2021");
    clickOn("Северный");
    EXPECT_EQ(window->statusText(), "Северный: 60");
}

TEST_F(MapWindowTest, TheSettingsDialogWritesTheMapListBack)
{
    writeRegionShapefile(study.data.file("other"), {{"Западный", QRectF(0, 0, 4, 4)}, {"Южный", QRectF(4, 0, 4, 4)}},
        "NAZV");
    bool answered = false;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        auto* shape = dialog->findChild<QLineEdit*>("shapeEdit");
        auto* field = dialog->findChild<QComboBox*>("nameFieldBox");
        EXPECT_EQ(shape->text(), "regions.shp");
        EXPECT_EQ(field->currentText(), "NAME");
        shape->selectAll();
        QTest::keyClicks(shape, "other.shp");
        // The fields of the new map's table are offered.
        EXPECT_GE(field->findText("NAZV"), 0);
        field->setCurrentText("NAZV");
        QTest::mouseClick(dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok), Qt::LeftButton);
        answered = true;
    });
    action("settingsAction")->trigger();
    ASSERT_TRUE(answered);
    EXPECT_EQ(g_mapList, (QStringList{"object 1", "Shape=other.shp", "NameField=NAZV"}));
    ASSERT_EQ(window->model().regions().size(), size_t(2));
    EXPECT_EQ(window->model().positionOf(region("Южный")), kSouth);
}

TEST_F(MapWindowTest, WithoutSettingsInTheMapListTheDataDirectorysDefaultMapIsUsed)
{
    writeRegionShapefile(study.data.file("default"), {{"Южный", QRectF(0, 0, 4, 4)}}, "NAZV");
    writeTextLines(study.data.file("Default.map"), {"Shape=default.shp", "NameField=NAZV"});
    g_mapList = QStringList{"object 1"};
    window->loadMap(study.data.path(), nullptr);
    ASSERT_EQ(window->model().regions().size(), size_t(1));
    EXPECT_EQ(window->model().regions()[0].name, "Южный");
    // A map that cannot be read says why, and leaves the map empty.
    g_mapList = QStringList{"Shape=absent.shp"};
    window->loadMap(study.data.path(), nullptr);
    EXPECT_TRUE(window->model().regions().empty());
    EXPECT_TRUE(window->statusText().startsWith("Не могу открыть карту")) << window->statusText().toStdString();
}

TEST_F(MapWindowTest, TheSelectedRegionsBecomeTheSamplesRegionList)
{
    TCompPanel block(nullptr);
    block.Rule->Table().FLists[1] = QStringList{"Районы", "\tЮжный|D,DEMO,12", "\tЗападный|D,DEMO,19"};
    window->loadMap(study.data.path(), &block);
    EXPECT_FALSE(action("sampleAction")->isEnabled());
    clickOn("Южный");
    clickOn("Северный", Qt::ControlModifier);
    ASSERT_TRUE(action("sampleAction")->isEnabled());
    action("sampleAction")->trigger();
    ASSERT_EQ(g_listRequests.size(), size_t(1));
    EXPECT_EQ(g_listRequests[0].axis, 1);
    EXPECT_EQ(g_listRequests[0].kind, "Extr");
    // In map order; the sample's own line of a region keeps its codes.
    EXPECT_EQ(g_listRequests[0].lines, (QStringList{"Районы", "\tСеверный|D", "\tЮжный|D,DEMO,12"}));
}

TEST_F(MapWindowTest, ClosingAndHidingAreAskedOfTheMainWindow)
{
    window->close();
    action("hideAction")->trigger();
    QCoreApplication::processEvents();
    EXPECT_EQ(mainWindow.notifications, (QList<int>{VEROLA_NOTIFY_MAP_CLOSE, VEROLA_NOTIFY_MAP_HIDE}));
    // The window stays until the main window closes it.
    EXPECT_TRUE(window->isVisible());
}
