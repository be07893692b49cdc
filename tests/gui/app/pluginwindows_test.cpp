// The plug-in libraries' windows and models driven from the main window as a person would,
// with the test libraries (tests/support/plugins) and, when the build made them, the real ones.
#include "gui/app/dialogfeedback.h"
#include "gui/app/navigatorform.h"
#include "gui/flow/navigatordiagram.h"
#include "core/app/workspace.h"
#include "core/platform/privateprofile.h"
#include "core/platform/textfile.h"
#include "core/tables/tablefile.h"
#include "plugins/api/pluginhandles.h"
#include "modals.h"
#include "pluginlog.h"
#include "testsupport.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QPointer>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <gtest/gtest.h>

#include <functional>

using namespace verola;
using namespace verola::test;

namespace {

// Closes every modal window that comes up while it lives, remembering the message boxes' texts.
class ModalCloser {
public:
    ModalCloser()
    {
        m_timer.setInterval(10);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            if (QWidget* modal = QApplication::activeModalWidget()) {
                if (auto* box = qobject_cast<QMessageBox*>(modal))
                    texts.append(box->text());
                modal->close();
            }
        });
        m_timer.start();
    }
    QStringList texts;

private:
    QTimer m_timer;
};

// Answers each question box that comes up while it lives with the given button, remembering
// its text.
class QuestionAnswerer {
public:
    explicit QuestionAnswerer(QMessageBox::StandardButton answer)
    {
        m_timer.setInterval(10);
        QObject::connect(&m_timer, &QTimer::timeout, [this, answer] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box || !box->button(answer))
                return;
            texts.append(box->text());
            box->button(answer)->click();
        });
        m_timer.start();
    }
    QStringList texts;

private:
    QTimer m_timer;
};

class PluginWindows : public ::testing::Test {
protected:
    PluginWindows() : scope(system.path()) { pluginLog().clear(); }
    ~PluginWindows() override
    {
        form.reset();
        state.feedback = nullptr;
        pluginLog().clear();
    }

    // The workbench started from a program folder, with the program's own dialog feedback.
    void start(const QString& programFolder)
    {
        form = std::make_unique<TNavigatorForm>(state, programFolder + QStringLiteral("/verola"));
        feedback = std::make_unique<DialogFeedback>(form.get());
        state.feedback = feedback.get();
        form->show();
    }
    CompPanelWidget& view(int number) { return *form->FlowDiagram->blockWidget(number); }
    // Opens the table popup menu on a panel, as the right mouse button does, and leaves it.
    void choose(QWidget* panel)
    {
        QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(4, 4), panel->mapToGlobal(QPoint(4, 4)));
        QApplication::sendEvent(panel, &event);
        form->PopupMenu0->hide();
    }
    QWidget* tableWindow() { return static_cast<QWidget*>(form->plugins().tableWindow()); }
    QWidget* mapWindow() { return static_cast<QWidget*>(form->plugins().mapWindow()); }
    QStringList statusTexts()
    {
        return {form->StatusPanel(0)->text(), form->StatusPanel(1)->text(), form->StatusPanel(2)->text()};
    }
    // Runs the program's event loop, chooses the menu item in it and tells whether the loop
    // then ended by itself, as the program does when its last window closes.
    bool programEndsAfter(QAction* item)
    {
        bool timedOut = false;
        QTimer::singleShot(0, item, &QAction::trigger);
        QTimer watchdog;
        watchdog.setSingleShot(true);
        QObject::connect(&watchdog, &QTimer::timeout, [&timedOut] {
            timedOut = true;
            QApplication::exit(1);
        });
        watchdog.start(5000);
        const int status = QApplication::exec();
        return !timedOut && status == 0;
    }

    TempFolder system;
    ScopedSystemDirectory scope;
    ProcessState state;
    std::unique_ptr<TNavigatorForm> form;
    std::unique_ptr<DialogFeedback> feedback;
};

TEST_F(PluginWindows, TheStartLoadsTheOptimizerAndEnablesTheCommandsOfTheLibrariesThere)
{
    TempFolder empty;
    const struct {
        QString folder;
        QStringList messages;
        bool enabled;
    } cases[] = {
        {pluginFolder("complete"), {}, true},
        {empty.path(), {"Не могу загрузить Optimizer.dll"}, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.folder.toStdString());
        pluginLog().clear();
        RecordingFeedback early; // what the window's creation says
        state.feedback = &early;
        TNavigatorForm navigator(state, c.folder + QStringLiteral("/verola"));
        EXPECT_EQ(early.messages, c.messages);
        EXPECT_EQ(navigator.plugins().isLoaded(PluginLibrary::Optimizer), c.enabled);
        EXPECT_EQ(pluginLog().calls.contains("OptSetCallBack"), c.enabled);
        for (QAction* action : {navigator.ToolButtonTableWindow, navigator.ToolButtonMapWindow,
                 navigator.ToolButtonISCWindow, navigator.ExpertISCItem, navigator.ToolButtonRiskWindow,
                 navigator.ExpertRiskItem, navigator.DBDefineItem, navigator.ToolButton15,
                 navigator.PopupMenu0->actions().first()})
            EXPECT_EQ(action->isEnabled(), c.enabled) << action->objectName().toStdString();
        EXPECT_EQ(navigator.FlowDiagram->ButtonISC3->isEnabled(), c.enabled);
        EXPECT_EQ(navigator.FlowDiagram->ButtonRisk->isEnabled(), c.enabled);
        state.feedback = nullptr;
    }
}

TEST_F(PluginWindows, AMessageOfTheStartWaitsForTheWindowAndHoldsNothingUp)
{
    TempFolder empty;
    DialogFeedback startFeedback(nullptr);
    startFeedback.holdMessages();
    state.feedback = &startFeedback;
    form = std::make_unique<TNavigatorForm>(state, empty.file("verola"));
    startFeedback.setParentWindow(form.get());
    form->show();
    EXPECT_TRUE(form->findChildren<QMessageBox*>().isEmpty()) << "nothing is shown before the window";
    startFeedback.releaseMessages();
    const QList<QMessageBox*> boxes = form->findChildren<QMessageBox*>();
    ASSERT_EQ(boxes.size(), 1);
    EXPECT_EQ(boxes.first()->text(), QStringLiteral("Не могу загрузить Optimizer.dll"));
    EXPECT_TRUE(boxes.first()->isVisible());
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    boxes.first()->close();
    state.feedback = nullptr;
}

TEST_F(PluginWindows, TheTableWindowOpensFromThePopupMenuAndClosesAsAWindowDoes)
{
    start(pluginFolder("complete"));
    QAction* minusBackground = form->PopupMenu0->actions().at(1);
    // Round after round: the library is unloaded with its window, charts and all, and loads again.
    for (int round = 0; round < 3; ++round) {
        SCOPED_TRACE(round);
        choose(view(kConcBlock).Extr);
        minusBackground->trigger();
        QPointer<QWidget> window = tableWindow();
        ASSERT_NE(window, nullptr);
        EXPECT_TRUE(window->isVisible());
        EXPECT_TRUE(window->isWindow());
        EXPECT_EQ(window->parentWidget(), form.get());
        EXPECT_EQ(pluginLog().mode, 1) << "the item's tag, whichever way its check mark turned";
        EXPECT_EQ(pluginLog().kindName, QStringLiteral("Загрязнения"));

        QTest::keyClick(window, Qt::Key_Escape); // the window asks to be hidden
        QApplication::processEvents();
        ASSERT_NE(window, nullptr);
        EXPECT_FALSE(window->isVisible());
        EXPECT_EQ(pluginLog().calls.last(), QStringLiteral("DllTableHide"));

        form->ToolButtonTableWindow->trigger();
        EXPECT_TRUE(window->isVisible()) << "the tool button brings it back to the front";
        window->close(); // as the window's close button does
        QApplication::processEvents();
        EXPECT_EQ(window, nullptr);
        EXPECT_EQ(tableWindow(), nullptr);
        EXPECT_FALSE(form->plugins().isLoaded(PluginLibrary::TableView));
        EXPECT_TRUE(form->isVisible());
    }
    EXPECT_EQ(pluginLog().count("DllTableClose"), 3);
}

TEST_F(PluginWindows, TheMapWindowFollowsTheTableWindowsCallbacks)
{
    start(pluginFolder("complete"));
    choose(view(kConcBlock).Est);
    form->ToolButtonTableWindow->trigger();
    ASSERT_NE(pluginLog().a, nullptr);
    const QByteArray kind = "Загрязнения";
    int index[12] = {};
    pluginLog().a(1, index, 2, -1, plugin::toString(kind), plugin::toString(kind)); // the table's "Карта" button
    QPointer<QWidget> map = mapWindow();
    ASSERT_NE(map, nullptr);
    EXPECT_TRUE(map->isVisible());
    EXPECT_EQ(pluginLog().calls.last(), QStringLiteral("DllSetMapFromTable"));

    pluginLog().e(); // the map asks for the table window
    EXPECT_EQ(pluginLog().count("DllTableCreate"), 1);
    map->close();
    QApplication::processEvents();
    EXPECT_EQ(map, nullptr);
    EXPECT_FALSE(form->plugins().isLoaded(PluginLibrary::MapView));
    EXPECT_NE(tableWindow(), nullptr) << "the table window stays";
}

TEST_F(PluginWindows, ASecondClickOnTheBlockButtonStopsTheRunningModel)
{
    start(pluginFolder("complete"));
    const struct {
        const char* name;
        QToolButton* button;
        bool ProcessState::*running;
        const char* stop;
    } cases[] = {
        {"dispersion", form->FlowDiagram->ButtonISC3, &ProcessState::dispersionModelRunning, "DllModelStop"},
        {"exposure", form->FlowDiagram->ButtonRisk, &ProcessState::exposureModelRunning, "DllRiskStop"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        pluginLog().clear();
        QStringList duringRun;
        bool waitCursor = false;
        pluginLog().onStep = [&](int step) {
            if (step != 2)
                return;
            duringRun = statusTexts();
            waitCursor = QApplication::overrideCursor() && QApplication::overrideCursor()->shape() == Qt::WaitCursor;
            // The person clicks again; the click arrives while the model reports its progress.
            QTimer::singleShot(0, c.button, [&c] { QTest::mouseClick(c.button, Qt::LeftButton); });
        };
        QTest::mouseClick(c.button, Qt::LeftButton);
        EXPECT_EQ(pluginLog().count(c.stop), 1);
        EXPECT_EQ(pluginLog().sender, c.button);
        EXPECT_EQ(pluginLog().progressSteps, 3) << "stopped at the next step";
        EXPECT_EQ(duringRun, (QStringList{"Расчет", "Источник 2", "20%"}));
        EXPECT_TRUE(waitCursor);
        EXPECT_EQ(statusTexts(), (QStringList{"", "", ""}));
        EXPECT_FALSE(state.*c.running);
        EXPECT_FALSE(c.button->isChecked()) << "pressed by the first click, released by the second";
        EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    }
}

TEST_F(PluginWindows, TheDatabaseDefinitionToolLearnsWhichBlocksAreUncovered)
{
    PrivateProfile ini(QStringLiteral("RuzUzo.ini"));
    ini.writeBool("Visible", "Pol", true);
    ini.writeBool("Visible", "Des", true);
    start(pluginFolder("complete"));
    form->ToolButton15->trigger();
    EXPECT_EQ(pluginLog().calls.last(), QStringLiteral("SetDBParam"));
    EXPECT_EQ(pluginLog().createdWith, static_cast<QWidget*>(form.get()));
    EXPECT_EQ(std::vector<int>(pluginLog().databaseCovers, pluginLog().databaseCovers + 4),
        (std::vector<int>{1, 0, 1, 0}));
}

TEST_F(PluginWindows, ATableLoadedFromItsFileIsShownAgainByTheTableWindowShowingIt)
{
    start(pluginFolder("complete"));
    TempFolder files;
    state.ConfigDirectory = files.path();
    state.ConfigName = QStringLiteral("study");
    TCompPanel& concentration = *form->workspace().block(kConcBlock);
    SaveToFile(concentration.Est->Table(), files.file("study.s1"));
    SaveToFile(concentration.Calc->Table(), files.file("study.c1"));
    choose(view(kConcBlock).Est);
    form->TableWindowItem->trigger();
    ASSERT_NE(tableWindow(), nullptr);

    // The load dialog offers the configuration's file of the table; the person takes it.
    const auto loadOffered = [this](QWidget* panel) {
        choose(panel);
        answerNextModal(QString());
        pluginLog().calls.clear();
        form->LoadTableItem->trigger();
    };
    loadOffered(view(kConcBlock).Calc);
    EXPECT_EQ(pluginLog().calls, QStringList{"DllTabEQTable"}) << "the window shows another table";
    loadOffered(view(kConcBlock).Est);
    EXPECT_EQ(pluginLog().calls, (QStringList{"DllTabEQTable", "DllTableLoadTable"}));
    EXPECT_EQ(pluginLog().panel, plugin::handleOf(concentration.Est));
}

TEST_F(PluginWindows, ClosingTheWorkbenchClosesTheTableWindowThenTheMap)
{
    start(pluginFolder("complete"));
    choose(view(kPolBlock).Rule);
    form->MapWindowItem->trigger();
    form->TableWindowItem->trigger();
    QPointer<QWidget> table = tableWindow();
    QPointer<QWidget> map = mapWindow();
    ASSERT_NE(table, nullptr);
    ASSERT_NE(map, nullptr);
    pluginLog().calls.clear();
    form.reset();
    EXPECT_EQ(pluginLog().calls, (QStringList{"DllTableClose", "DllMapClose"}));
    EXPECT_EQ(table, nullptr);
    EXPECT_EQ(map, nullptr);
}

TEST_F(PluginWindows, EitherExitEndsTheProgramWithTheTableAndMapWindowsOpen)
{
    TempFolder data; // the data directory, where the temp set is saved
    writeTextLines(data.file("Default.map"), {"map object"});
    for (QAction* TNavigatorForm::*exit : {&TNavigatorForm::ExitWithoutItem, &TNavigatorForm::ExitItem}) {
        start(pluginFolder("complete"));
        state.DataDirectory = data.path();
        SCOPED_TRACE((form.get()->*exit)->objectName().toStdString());
        choose(view(kConcBlock).Extr);
        form->TableWindowItem->trigger();
        form->MapWindowItem->trigger();
        QPointer<QWidget> table = tableWindow();
        QPointer<QWidget> map = mapWindow();
        ASSERT_NE(table, nullptr);
        ASSERT_NE(map, nullptr);
        pluginLog().calls.clear();

        EXPECT_TRUE(programEndsAfter(form.get()->*exit)) << "the program is still running";
        EXPECT_EQ(pluginLog().calls, (QStringList{"DllTableClose", "DllMapClose"}));
        EXPECT_EQ(table, nullptr);
        EXPECT_EQ(map, nullptr);
        EXPECT_FALSE(form->isVisible()) << "the main window came back";
        EXPECT_FALSE(form->plugins().isLoaded(PluginLibrary::TableView));
        EXPECT_FALSE(form->plugins().isLoaded(PluginLibrary::MapView));
        state.feedback = nullptr;
        form.reset();
    }
    EXPECT_TRUE(QFile::exists(data.file("temp.DES")) || QFile::exists(data.file("temp.x1")))
        << "exit with saving saved the temp set";
}

// The table and map windows the build makes, when it made them: each loads with every entry
// point, opens for a table and, closed as a window is, goes with its library, round after round.
class TheWorkbenchsOwnWindows : public PluginWindows {
protected:
    void openAndClose(PluginLibrary library, QAction* TNavigatorForm::*toolButton)
    {
        const QString program = QStringLiteral(VEROLA_PROGRAM_DIR);
        const QString stem = pluginStem(library);
        if (!pluginPresent(program, stem))
            GTEST_SKIP() << stem.toStdString() << " is not built in " << program.toStdString();
        start(program); // the demo study is the data directory there
        ModalCloser closer; // whatever a window of theirs asks is answered
        for (int round = 0; round < 3; ++round) {
            SCOPED_TRACE(round);
            choose(view(kConcBlock).Extr);
            (form.get()->*toolButton)->trigger();
            QPointer<QWidget> shown = library == PluginLibrary::TableView ? tableWindow() : mapWindow();
            ASSERT_NE(shown, nullptr);
            EXPECT_TRUE(shown->isVisible());
            shown->close(); // as the window's close button does
            QApplication::processEvents();
            EXPECT_EQ(shown, nullptr);
            EXPECT_FALSE(form->plugins().isLoaded(library));
        }
        EXPECT_EQ(closer.texts, QStringList()) << "the library loads with every entry point";
    }
};

TEST_F(TheWorkbenchsOwnWindows, TableWindow)
{
    openAndClose(PluginLibrary::TableView, &TNavigatorForm::ToolButtonTableWindow);
}

TEST_F(TheWorkbenchsOwnWindows, TheTableWindowsMapButtonOpensTheMapWindow)
{
    const QString program = QStringLiteral(VEROLA_PROGRAM_DIR);
    for (const char* stem : {"TableView", "MapView"})
        if (!pluginPresent(program, QString::fromLatin1(stem)))
            GTEST_SKIP() << stem << " is not built in " << program.toStdString();
    start(program);
    ModalCloser closer;
    choose(view(kConcBlock).Extr);
    form->ToolButtonTableWindow->trigger();
    ASSERT_NE(tableWindow(), nullptr);
    QAction* mapButton = nullptr;
    for (QAction* action : tableWindow()->findChildren<QAction*>())
        if (action->text() == QStringLiteral("Карта"))
            mapButton = action;
    ASSERT_NE(mapButton, nullptr);
    mapButton->trigger();
    ASSERT_NE(mapWindow(), nullptr);
    EXPECT_TRUE(mapWindow()->isVisible());
    EXPECT_EQ(closer.texts, QStringList());
}

TEST_F(TheWorkbenchsOwnWindows, EitherExitEndsTheProgramWithBothWindowsOpen)
{
    const QString program = QStringLiteral(VEROLA_PROGRAM_DIR);
    for (const char* stem : {"TableView", "MapView"})
        if (!pluginPresent(program, QString::fromLatin1(stem)))
            GTEST_SKIP() << stem << " is not built in " << program.toStdString();
    TempFolder data; // the data directory, where the temp set is saved
    writeTextLines(data.file("Default.map"), {"map object"});
    for (QAction* TNavigatorForm::*exit : {&TNavigatorForm::ExitItem, &TNavigatorForm::ExitWithoutItem}) {
        start(program);
        SCOPED_TRACE((form.get()->*exit)->objectName().toStdString());
        ModalCloser closer;
        choose(view(kConcBlock).Extr);
        form->ToolButtonTableWindow->trigger();
        form->ToolButtonMapWindow->trigger();
        QPointer<QWidget> table = tableWindow();
        QPointer<QWidget> map = mapWindow();
        ASSERT_NE(table, nullptr);
        ASSERT_NE(map, nullptr);
        const QString demoStudy = state.DataDirectory;
        state.DataDirectory = data.path(); // the temp set is not saved into the demo study

        EXPECT_TRUE(programEndsAfter(form.get()->*exit)) << "the program is still running";
        EXPECT_EQ(table, nullptr);
        EXPECT_EQ(map, nullptr);
        EXPECT_FALSE(form->isVisible()) << "the main window came back";
        EXPECT_EQ(closer.texts, QStringList());
        state.feedback = nullptr;
        form.reset();
        state.DataDirectory = demoStudy;
    }
}

TEST_F(TheWorkbenchsOwnWindows, TheMapsSelectionReplacesTheSamplesDistrictsOnlyOnYes)
{
    const QString program = QStringLiteral(VEROLA_PROGRAM_DIR);
    if (!pluginPresent(program, QStringLiteral("MapView")))
        GTEST_SKIP() << "MapView is not built in " << program.toStdString();
    start(program);
    // The concentration block samples the demo's ten districts.
    TTab& rule = form->workspace().block(kConcBlock)->Rule->Table();
    const QStringList districts = readTextLines(state.DataDirectory + QStringLiteral("/Demo.d11"));
    ASSERT_EQ(districts.size(), 11);
    rule.FLists[1] = districts;
    rule.BuildIndex(1);
    rule.Dimension(rule.positionCounts());
    choose(view(kConcBlock).Rule);
    form->ToolButtonMapWindow->trigger();
    ASSERT_NE(mapWindow(), nullptr);
    // The table window's callback picks the district on the map, as a click there would.
    const QByteArray centre = QStringLiteral("Центральный").toUtf8();
    ASSERT_GE(form->plugins().nameToNode(plugin::toString(centre)), 0);
    auto* toSample = mapWindow()->findChild<QAction*>(QStringLiteral("sampleAction"));
    ASSERT_NE(toSample, nullptr);
    ASSERT_TRUE(toSample->isEnabled());
    const QString question = QStringLiteral("Оставить в выборке блока «Загрязнения» 1\u00A0район из\u00A010?");
    {
        QuestionAnswerer no(QMessageBox::No);
        toSample->trigger();
        EXPECT_EQ(no.texts, QStringList{question});
    }
    EXPECT_EQ(rule.FLists[1], districts) << "No keeps the ten districts";
    auto* status = mapWindow()->findChild<QLabel*>(QStringLiteral("statusLine"));
    ASSERT_NE(status, nullptr);
    EXPECT_EQ(status->text(), QStringLiteral("Список районов выборки не изменён"));
    {
        QuestionAnswerer yes(QMessageBox::Yes);
        toSample->trigger();
        EXPECT_EQ(yes.texts, QStringList{question});
    }
    ASSERT_EQ(rule.FLists[1].size(), 2);
    EXPECT_TRUE(rule.FLists[1].at(1).startsWith(QStringLiteral("\tЦентральный|"))) << rule.FLists[1].at(1).toStdString();
    EXPECT_EQ(status->text(), QStringLiteral("Районы выборки: Центральный"));
}

TEST_F(TheWorkbenchsOwnWindows, MapWindow)
{
    openAndClose(PluginLibrary::MapView, &TNavigatorForm::ToolButtonMapWindow);
}

} // namespace
